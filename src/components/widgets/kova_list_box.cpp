#include "components/widgets/kova_list_box.h"

#include <algorithm>
#include <cmath>

#include "components/scene/image_cache.h"
#include "components/scene/kova_base.h"
#include "components/scene/kova_base_list.h"
#include "core/array_string.h"
#include "core/record_io.h"
#include "core/stream_records.h"
#include "core/string_list.h"
#include "core/utils.h"
#include "core/vocabulary.h"
#include "graphics/dibx.h"
#include "script/param_collection.h"
#include "text/text_limits.h"

namespace kova {
namespace {

// Virtual-key codes of the keys the list box reads.
constexpr int32_t kVkPageUp = 33, kVkPageDown = 34, kVkUp = 38, kVkDown = 40;

bool ValidCell(int32_t cell) { return cell >= 0 && cell < 9; }

int32_t Clamp32(int64_t v) { return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

// Where the first tile of a border cell starts, as the tiling phase: 0 from the near edge, 1
// centred, 2 against the far edge. A picture smaller than the cell repeats with the remainder
// split (or put) before the first whole tile; a larger one is cut at both ends (or the near end).
int32_t TilePhase(uint8_t align, int32_t cell, int32_t picture) {
  if (picture <= 0 || cell <= 0) return 0;
  int32_t origin = 0;
  if (align == 1) {
    origin = picture < cell ? (cell % picture) / 2 : (cell - picture) / 2;
  } else if (align == 2) {
    origin = picture < cell ? cell % picture : cell - picture;
  }
  return -origin;
}

// Draws the level the list box's alpha asks for: blend below 255, copy at 255, add above.
void FillAtLevel(TCustomDIBX& target, const TRect& r, int32_t color, int32_t level) {
  const uint32_t pixel = uint32_t(target.ColorToPixel(color));
  if (level < 255) {
    target.FillRectAlpha(r, pixel, level);
  } else if (level == 255) {
    target.FillRect(r, pixel);
  } else {
    target.FillRectAdd(r, pixel, level - 256);
  }
}

// The text without control characters at either end (a trailing byte below 32 is never the
// second byte of a double-byte character, whose second bytes start at 0x40).
std::string TrimControls(const std::string& v) {
  size_t first = 0, last = v.size();
  while (first < last && uint8_t(v[first]) < 32) ++first;
  while (last > first && uint8_t(v[last - 1]) < 32) --last;
  return v.substr(first, last - first);
}

// The largest size, margin, spacing or row count the geometry works with: whatever a script
// stores, the arithmetic on screen positions stays far from overflowing.
constexpr int32_t kGeometryLimit = 1 << 20;

int32_t Limited(int32_t v) { return std::clamp(v, -kGeometryLimit, kGeometryLimit); }

}  // namespace

int32_t TKovaCustomListBox::Mx() const { return Limited(margin_x_); }
int32_t TKovaCustomListBox::My() const { return Limited(margin_y_); }
int32_t TKovaCustomListBox::Ls() const { return Limited(line_space_); }
int32_t TKovaCustomListBox::Bw() const { return Limited(border_width_); }
int32_t TKovaCustomListBox::Rows() const { return Limited(row_count_); }
int32_t TKovaCustomListBox::Fh() const { return Limited(normal_.FontHeight); }

TKovaCustomListBox::TKovaCustomListBox(TKovaObject* owner) : TKovaControl(owner) {
  SetColor(-1);
  UseGlyphCache();
}

TKovaCustomListBox::~TKovaCustomListBox() {
  Invalidate();
  if (scroll_item_) scroll_item_->Release(&scroll_item_);
  if (check_item_) check_item_->Release(&check_item_);
}

void TKovaCustomListBox::UseGlyphCache() {
  TKovaBaseList* root = Root();
  TFontPixelManager* glyphs = root ? root->GlyphCache() : nullptr;
  if (normal_.Glyphs() != glyphs) {
    normal_.SetGlyphs(glyphs);
    hover_.SetGlyphs(glyphs);
    normal_.Invalidate();
    hover_.Invalidate();
  }
}

void TKovaCustomListBox::Relayout() {
  Invalidate();
  needs_layout_ = true;
}

// ---- Properties ----

void TKovaCustomListBox::SetText(const std::string& v) {
  CheckTextBytes(v.size(), kMaxCaptionBytes);
  CheckTextLines(v, kMaxListItems);
  if (v == text_) return;
  Invalidate();
  text_ = v;
  normal_.Clear();
  hover_.Clear();
  TStringList lines;
  lines.SetText(TrimControls(v));
  for (int i = 0; i < lines.Count(); ++i) {
    normal_.Add()->SetText(lines[i]);
    hover_.Add()->SetText(lines[i]);
  }
  check_flags_.assign(size_t(lines.Count()), 0);
  top_index_ = 0;
  needs_layout_ = true;
}

#define KOVA_LISTBOX_LABEL_SETTER(Name, Type, expr_field, both, layout) \
  void TKovaCustomListBox::Set##Name(Type v) {                          \
    if (v == expr_field) return;                                        \
    both;                                                               \
    Invalidate();                                                       \
    if (layout) needs_layout_ = true;                                   \
  }

KOVA_LISTBOX_LABEL_SETTER(FontName, const std::string&, normal_.FontName,
                          (normal_.FontName = v, hover_.FontName = v, normal_.Invalidate(), hover_.Invalidate()), true)
KOVA_LISTBOX_LABEL_SETTER(FontHeight, int32_t, normal_.FontHeight,
                          (normal_.SetFontHeight(v), hover_.SetFontHeight(v)), true)
KOVA_LISTBOX_LABEL_SETTER(FontColor, int32_t, normal_.Color, (normal_.Color = v, normal_.Invalidate()), false)
KOVA_LISTBOX_LABEL_SETTER(FontBorderColor, int32_t, normal_.BorderColor,
                          (normal_.BorderColor = v, normal_.Invalidate()), false)
KOVA_LISTBOX_LABEL_SETTER(FontShadowColor, int32_t, normal_.ShadowColor,
                          (normal_.ShadowColor = v, normal_.Invalidate()), false)
KOVA_LISTBOX_LABEL_SETTER(FontBorder, int32_t, normal_.BorderWidth, (normal_.BorderWidth = v, normal_.Invalidate()),
                          true)
KOVA_LISTBOX_LABEL_SETTER(FontShadow, int32_t, normal_.ShadowWidth, (normal_.ShadowWidth = v, normal_.Invalidate()),
                          true)
KOVA_LISTBOX_LABEL_SETTER(FontHoverBorder, int32_t, hover_.BorderWidth, (hover_.BorderWidth = v, hover_.Invalidate()),
                          true)
KOVA_LISTBOX_LABEL_SETTER(FontHoverShadow, int32_t, hover_.ShadowWidth, (hover_.ShadowWidth = v, hover_.Invalidate()),
                          true)
KOVA_LISTBOX_LABEL_SETTER(FontHoverBorderColor, int32_t, hover_.BorderColor,
                          (hover_.BorderColor = v, hover_.Invalidate()), false)
KOVA_LISTBOX_LABEL_SETTER(FontHoverShadowColor, int32_t, hover_.ShadowColor,
                          (hover_.ShadowColor = v, hover_.Invalidate()), false)
KOVA_LISTBOX_LABEL_SETTER(LineSpace, int32_t, line_space_, line_space_ = v, true)
KOVA_LISTBOX_LABEL_SETTER(MarginX, int32_t, margin_x_, margin_x_ = v, true)
KOVA_LISTBOX_LABEL_SETTER(MarginY, int32_t, margin_y_, margin_y_ = v, true)
KOVA_LISTBOX_LABEL_SETTER(BorderWidth, int32_t, border_width_, border_width_ = v, true)
KOVA_LISTBOX_LABEL_SETTER(RowCount, int32_t, row_count_, row_count_ = v, true)
KOVA_LISTBOX_LABEL_SETTER(BorderColor, int32_t, border_color_, border_color_ = v, false)
KOVA_LISTBOX_LABEL_SETTER(HAlign, uint8_t, h_align_, h_align_ = v, false)
#undef KOVA_LISTBOX_LABEL_SETTER

void TKovaCustomListBox::SetFontStyle(TFontStyles v) {
  if (v.bits == normal_.Style) return;
  normal_.Style = v.bits;
  normal_.Invalidate();
  Relayout();
}

void TKovaCustomListBox::SetAntialias(bool v) {
  if (v == GetAntialias()) return;
  normal_.Quality = hover_.Quality = v ? 3 : 0;
  normal_.Invalidate();
  hover_.Invalidate();
  Relayout();
}

void TKovaCustomListBox::SetAlpha(int32_t v) {
  if (v == alpha_) return;
  alpha_ = v;
  normal_.Alpha = hover_.Alpha = v;
  Invalidate();
}

uint8_t TKovaCustomListBox::GetBorderHAlign(int32_t cell) const { return ValidCell(cell) ? border_halign_[size_t(cell)] : 0; }
uint8_t TKovaCustomListBox::GetBorderVAlign(int32_t cell) const { return ValidCell(cell) ? border_valign_[size_t(cell)] : 0; }

void TKovaCustomListBox::SetBorderHAlign(int32_t cell, uint8_t v) {
  if (!ValidCell(cell) || border_halign_[size_t(cell)] == v) return;
  border_halign_[size_t(cell)] = v;
  Invalidate();
}

void TKovaCustomListBox::SetBorderVAlign(int32_t cell, uint8_t v) {
  if (!ValidCell(cell) || border_valign_[size_t(cell)] == v) return;
  border_valign_[size_t(cell)] = v;
  Invalidate();
}

std::string TKovaCustomListBox::GetBorderSource(int32_t cell) const {
  return ValidCell(cell) ? border_source_[size_t(cell)] : std::string();
}

TPoint TKovaCustomListBox::BorderCellSize(int32_t cell) const {
  return ValidCell(cell) ? border_cell_[size_t(cell)] : TPoint{};
}

void TKovaCustomListBox::SetBorderSource(int32_t cell, const std::string& v) {
  if (!ValidCell(cell) || v == border_source_[size_t(cell)]) return;
  const size_t i = size_t(cell);
  Invalidate();
  border_source_[i] = v;
  TKovaImageList& list = border_images_[i];
  TKovaBaseList* root = Root();
  TWexaCollection* cache = root ? root->ImageCache() : nullptr;
  if (cache && cache->Source() && !v.empty() && cache->Source()->PictureExists(v)) {
    list.Load(*cache, &list, v, false);
  } else {
    list.Clear();
  }
  const TKovaImageData* first = list.GetItem(0);
  border_cell_[i] = first ? TPoint{first->GetDIB()->Width(), first->GetDIB()->Height()} : TPoint{};
  needs_layout_ = true;
}

void TKovaCustomListBox::LoadSizedImage(const std::string& name, TWexaItem*& item, TPoint& cell, int32_t cells) {
  TKovaBaseList* root = Root();
  TWexaCollection* cache = root ? root->ImageCache() : nullptr;
  // A missing file keeps the picture held before.
  if (!cache || !cache->Source() || name.empty() || !cache->Source()->PictureExists(name)) return;
  TWexaItem* acquired = cache->Acquire(&item, name, false, false);
  if (item && item != acquired) item->Release(&item);
  item = acquired;
  cell = TPoint{item->Width / cells, item->Height};
}

void TKovaCustomListBox::SetScrollSource(const std::string& v) {
  if (v == scroll_source_) return;
  Invalidate();
  scroll_source_ = v;
  LoadSizedImage(v, scroll_item_, scroll_cell_, 7);
  needs_layout_ = true;
}

void TKovaCustomListBox::SetCheckSource(const std::string& v) {
  if (v == check_source_) return;
  Invalidate();
  check_source_ = v;
  LoadSizedImage(v, check_item_, check_cell_, 2);
  needs_layout_ = true;
}

void TKovaCustomListBox::MoveTop(int32_t v) {
  const int32_t most = GetCount() - Rows();
  const int32_t top = most <= 0 || v < 0 ? 0 : std::min(v, most);
  if (top == top_index_) return;
  top_index_ = top;
  Invalidate();
}

void TKovaCustomListBox::SetTopIndex(int32_t v) { MoveTop(v); }

void TKovaCustomListBox::SetPaused(bool v) {
  if (v == paused_) return;
  paused_ = v;
  Invalidate();
  TKovaBaseList* root = Root();
  if (!root) return;
  TKovaControl* focus = root->FocusControl();
  if (v) {
    if (focus && (focus == this || ContainsControl(focus))) {
      root->SetFocusControl(nullptr);
      root->RequestFocusRecalc(true);
    }
  } else if (!focus) {
    root->RequestFocusRecalc(true);
  }
}

bool TKovaCustomListBox::GetItemChecked(int32_t i) const {
  return i >= 0 && size_t(i) < check_flags_.size() && check_flags_[size_t(i)] != 0;
}

void TKovaCustomListBox::SetItemChecked(int32_t i, bool v) {
  if (i < 0 || size_t(i) >= check_flags_.size() || (check_flags_[size_t(i)] != 0) == v) return;
  check_flags_[size_t(i)] = v;
  Invalidate();
}

void TKovaCustomListBox::SetHoverIndex(int32_t v) {
  if (v == hover_index_) return;
  hover_index_ = v;
  index_ = -1;
  Invalidate();
}

// ---- Geometry ----

int32_t TKovaCustomListBox::LeftWidth() const {
  return std::max({border_cell_[0].X, border_cell_[3].X, border_cell_[6].X});
}
int32_t TKovaCustomListBox::RightWidth() const {
  return std::max({border_cell_[2].X, border_cell_[5].X, border_cell_[8].X});
}
int32_t TKovaCustomListBox::TopHeight() const {
  return std::max({border_cell_[0].Y, border_cell_[1].Y, border_cell_[2].Y});
}
int32_t TKovaCustomListBox::BottomHeight() const {
  return std::max({border_cell_[6].Y, border_cell_[7].Y, border_cell_[8].Y});
}

void TKovaCustomListBox::Layout() {
  UseGlyphCache();
  normal_.Measure();
  hover_.Measure();
  normal_.Invalidate();
  hover_.Invalidate();
  const int64_t scroll = Scrolls() ? scroll_cell_.X : 0;
  const int64_t width = int64_t(std::max(normal_.MaxWidth(), hover_.MaxWidth())) + 2 * int64_t(Bw()) +
                        LeftWidth() + RightWidth() + 2 * int64_t(Mx()) + scroll + check_cell_.X;
  // No rows (an empty list, no row count) take no line spacing either.
  const int64_t rows = std::max(0, std::min(Rows(), GetCount()));
  const int64_t height = int64_t(Fh()) * rows + std::max<int64_t>(rows - 1, 0) * Ls() +
                         2 * int64_t(Bw()) + TopHeight() + BottomHeight() + 2 * int64_t(My());
  SetBounds(GetLeft(), GetTop(), std::max(0, Clamp32(width)), std::max(0, Clamp32(height)));
  needs_layout_ = false;
  Invalidate();
}

TRect TKovaCustomListBox::PartRect(int32_t cell, const TRect& r) const {
  if (!ValidCell(cell)) return TRect{};
  const TPoint size = border_cell_[size_t(cell)];
  const int32_t lw = LeftWidth(), rw = RightWidth(), th = TopHeight(), bh = BottomHeight();
  TRect out;
  switch (cell % 3) {
    case 0: out.Left = r.Left + lw - size.X; out.Right = out.Left + size.X; break;
    case 1: out.Left = r.Left + lw; out.Right = r.Right - rw; break;
    default: out.Left = r.Right - rw; out.Right = out.Left + size.X; break;
  }
  switch (cell / 3) {
    case 0: out.Top = r.Top + th - size.Y; out.Bottom = out.Top + size.Y; break;
    case 1: out.Top = r.Top + th; out.Bottom = r.Bottom - bh; break;
    default:
      if (th <= r.Height()) {
        out.Top = r.Bottom - bh;
        out.Bottom = out.Top + size.Y;
      } else {
        out.Top = out.Bottom = 0;
      }
      break;
  }
  out.Top = std::clamp(out.Top, r.Top, r.Bottom);
  out.Bottom = std::clamp(out.Bottom, r.Top, r.Bottom);
  return out;
}

int32_t TKovaCustomListBox::ItemAt(TPoint p) const {
  const TRect r = GetBoundsRect();
  const int32_t half = std::min(Ls() / 2, My());
  TRect area{r.Left + LeftWidth() + Bw(), r.Top + TopHeight() + Bw() + My(),
             r.Right - RightWidth() - Bw() - (Scrolls() ? scroll_cell_.X : 0),
             r.Bottom - BottomHeight() - Bw() - My()};
  area.Top -= half;
  area.Bottom += half;
  if (!PointInRect(p, area)) return -1;
  int32_t index = top_index_ - 1;
  int64_t line_top = int64_t(area.Top) + half - Ls() / 2;
  for (int64_t n = 0; n <= int64_t(Rows()); ++n) {
    if (line_top > p.Y) break;
    ++index;
    line_top += int64_t(Fh()) + Ls();
  }
  return index;
}

int32_t TKovaCustomListBox::ThumbTop() const {
  const TRect r = GetBoundsRect();
  const int32_t cell = scroll_cell_.Y;
  const int64_t h = int64_t(GetHeight()) - 2 * int64_t(Bw()) - TopHeight() - BottomHeight();
  const int64_t range = GetCount() - Rows();
  const int64_t travel = range > 0 ? (h - 3 * int64_t(cell)) * top_index_ / range : 0;
  return Clamp32(int64_t(r.Top) + TopHeight() + Bw() + cell + travel);
}

int32_t TKovaCustomListBox::TopIndexAt(int32_t y) const {
  const int32_t cell = scroll_cell_.Y;
  const int64_t h = int64_t(GetHeight()) - 2 * int64_t(Bw()) - TopHeight() - BottomHeight();
  const int64_t span = h - 3 * int64_t(cell);
  // A column too short for its three cells has no track to map from.
  if (span <= 0) return top_index_;
  const int64_t range = GetCount() - Rows();
  if (range <= 0) return 0;
  const double ratio =
      double(int64_t(y) - GetBoundsRect().Top - Bw() - TopHeight() - cell - cell / 2) / double(span);
  // Halves round to the even neighbour.
  const double top = std::nearbyint(double(range) * ratio);
  return int32_t(std::clamp<double>(top, 0, double(range)));
}

TKovaCustomListBox::TScrollRects TKovaCustomListBox::ScrollRects() const {
  const TRect r = GetBoundsRect();
  const int32_t cw = scroll_cell_.X, ch = scroll_cell_.Y;
  const int32_t right = r.Right - RightWidth();
  const int32_t left = right - cw;
  TScrollRects s;
  s.Up = TRect{left, r.Top + TopHeight(), right, r.Top + TopHeight() + ch};
  s.Down = TRect{left, r.Bottom - BottomHeight() - ch, right, r.Bottom - BottomHeight()};
  const int32_t thumb = ThumbTop();
  s.Thumb = TRect{left, thumb, right, thumb + ch};
  s.TrackAbove = TRect{left, s.Up.Bottom, right, thumb};
  s.TrackBelow = TRect{left, thumb + ch, right, s.Down.Top};
  return s;
}

// ---- Update ----

bool TKovaCustomListBox::Update() {
  if (needs_layout_) Layout();
  if (!GetAniPaused()) {
    TKovaBaseList* root = Root();
    const int32_t delta = root ? root->FrameDelta() : 0;
    bool changed = false;
    for (TKovaImageList& list : border_images_) changed |= list.Step(delta);
    if (changed) Invalidate();
  }
  return false;
}

// ---- Mouse ----

void TKovaCustomListBox::StartHold(int32_t state) {
  TKovaBaseList* root = Root();
  mouse_state_ = state;
  repeat_clock_ = root ? root->GameClock() : 0;
  repeat_left_ = 0;
  HoldStep();
  repeat_left_ = kRepeatDelay;
}

void TKovaCustomListBox::MouseLDown() {
  if (paused_) {
    TKovaControl::MouseLDown();
    return;
  }
  TKovaBase* base = GetBase();
  if (!base) return;
  const TPoint p = base->MousePos();
  mouse_state_ = kPressItems;
  if (Scrolls()) {
    const TScrollRects s = ScrollRects();
    if (PointInRect(p, s.Thumb)) {
      mouse_state_ = kDragThumb;
      drag_offset_ = p.Y - (s.Thumb.Top + scroll_cell_.Y / 2);
    } else if (PointInRect(p, s.Up)) {
      StartHold(kHoldUp);
    } else if (PointInRect(p, s.Down)) {
      StartHold(kHoldDown);
    } else if (PointInRect(p, s.TrackAbove)) {
      StartHold(kHoldPageUp);
    } else if (PointInRect(p, s.TrackBelow)) {
      StartHold(kHoldPageDown);
    }
  }
  base->ButtonBits |= 4;
  base->LeftClick = false;
}

void TKovaCustomListBox::HoldStep() {
  if (mouse_state_ < kHoldUp || mouse_state_ > kHoldPageDown) return;
  TKovaBase* base = GetBase();
  TKovaBaseList* root = Root();
  if (!base || !root) return;
  const TPoint p = base->MousePos();
  const TScrollRects s = ScrollRects();
  const bool button = mouse_state_ <= kHoldDown;
  const TRect& over = mouse_state_ == kHoldUp     ? s.Up
                      : mouse_state_ == kHoldDown ? s.Down
                      : mouse_state_ == kHoldPageUp ? s.TrackAbove
                                                    : s.TrackBelow;
  bool& lit = button ? button_lit_ : page_lit_;
  const bool now = PointInRect(p, over);
  if (now != lit) {
    lit = now;
    Invalidate();
  }
  repeat_left_ = Clamp32(int64_t(repeat_left_) - (int64_t(root->GameClock()) - repeat_clock_));
  repeat_clock_ = root->GameClock();
  if (repeat_left_ >= 1) return;
  repeat_left_ += kRepeatInterval;
  if (!lit) return;
  switch (mouse_state_) {
    case kHoldUp:
      if (top_index_ >= 1) MoveTop(top_index_ - 1);
      break;
    case kHoldDown:
      if (GetCount() > top_index_ + Rows()) MoveTop(top_index_ + 1);
      break;
    case kHoldPageUp: MoveTop(top_index_ - Rows()); break;
    default: MoveTop(top_index_ + Rows()); break;
  }
}

void TKovaCustomListBox::MouseCancel() {
  if (!paused_) HoldStep();
}

void TKovaCustomListBox::MouseMove() {
  if (paused_) {
    TKovaControl::MouseMove();
    return;
  }
  TKovaBase* base = GetBase();
  if (!base) return;
  const TPoint p = base->MousePos();
  if (mouse_state_ == kDragThumb) {
    MoveTop(TopIndexAt(p.Y - drag_offset_));
    return;
  }
  if (mouse_state_ == kIdle || mouse_state_ == kPressItems) {
    SetHoverIndex(ItemAt(p));
    TKovaControl::MouseMove();
  }
}

void TKovaCustomListBox::MouseOut(TKovaControl* next) {
  if (!paused_ && GetIgnoreMouse() != 1 && hover_index_ != -1) {
    hover_index_ = -1;
    Invalidate();
  }
  TKovaControl::MouseOut(next);
}

void TKovaCustomListBox::MouseLUp() {
  if (paused_) {
    mouse_state_ = kIdle;
    TKovaControl::MouseLUp();
    return;
  }
  const int32_t state = mouse_state_;
  mouse_state_ = kIdle;
  button_lit_ = page_lit_ = false;
  Invalidate();
  if (TKovaBase* base = GetBase()) base->ButtonBits &= uint8_t(~4u);
  if (!GetEventLock() && state == kPressItems && hover_index_ >= 0) SelectItem();
}

// ---- Keys ----

void TKovaCustomListBox::KeyRepeat(int32_t key) {
  TKovaBaseList* root = Root();
  const int32_t count = GetCount();
  if (root && count > 0) {
    int32_t h = hover_index_;
    if (root->GetKeyRepeat(kVkUp)) {
      if (h >= 1) {
        --h;
      } else if (h == -1) {
        h = count - 1;
      }
    }
    if (root->GetKeyRepeat(kVkDown)) {
      if (h == -1) {
        h = 0;
      } else if (h < count - 1) {
        ++h;
      }
    }
    if (root->GetKeyRepeat(kVkPageUp)) {
      if (h > 0) {
        h = std::max(0, h - Rows());
      } else if (h == -1) {
        h = count - 1;
      }
    }
    if (root->GetKeyRepeat(kVkPageDown)) {
      if (h == -1) {
        h = 0;
      } else if (h >= 0 && h < count - 1) {
        h = Clamp32(std::min<int64_t>(count - 1, int64_t(h) + Rows()));
      }
    }
    if (h != hover_index_) {
      SetHoverIndex(h);
      if (h < top_index_) {
        MoveTop(h);
      } else if (int64_t(h) >= int64_t(top_index_) + Rows()) {
        MoveTop(Clamp32(int64_t(h) - Rows() + 1));
      }
    }
  }
  TKovaControl::KeyRepeat(key);
}

// ---- Selection ----

void TKovaCustomListBox::SetSelection(const std::string& text, int32_t index) {
  TKovaBaseList* root = Root();
  if (TParamCollection* store = root ? root->Store() : nullptr) {
    store->SelStr = text;
    store->SelIndex = index;
  }
}

void TKovaCustomListBox::SelectItem() {
  if (!HoverIsItem()) return;
  index_ = hover_index_;
  const std::string text = normal_.Items(index_)->Text;
  SetSelection(text, index_);
  if (!on_select_.empty() && !EventQueued(PR_ONSELECT)) {
    TArrayString params;
    params.Add(text);
    params.Add(std::to_string(index_));
    QueueEvent(on_select_, PR_ONSELECT, &params);
  }
}

// ---- Drawing ----

void TKovaCustomListBox::Draw() {
  TCustomDIBX* target = GetTargetDIB();
  const TRect r = GetBoundsRect();
  if (target && alpha_ > 0 && GetWidth() > 0 && GetHeight() > 0 &&
      !IsRectEmpty(IntersectRects(r, target->GetClipRect()))) {
    UseGlyphCache();
    const int32_t level = std::min(alpha_, 511);
    normal_.Target = hover_.Target = target;
    const int32_t bw = Bw();
    if (bw > 0 && border_color_ != -1 && bw <= r.Width()) {
      const uint32_t pixel = uint32_t(target->ColorToPixel(border_color_));
      if (level < 255) {
        target->FrameRectAlpha(r, bw, pixel, level);
      } else if (level == 255) {
        target->FrameRect(r, bw, pixel);
      } else {
        target->FrameRectAdd(r, bw, pixel, level - 256);
      }
    }
    const TRect inner{r.Left + std::max(bw, 0), r.Top + std::max(bw, 0), r.Right - std::max(bw, 0),
                      r.Bottom - std::max(bw, 0)};
    if (!IsRectEmpty(inner)) {
      const TRect saved = target->ClipRect;
      const TRect clip = IntersectRects(target->GetClipRect(), inner);
      if (!IsRectEmpty(clip)) {
        target->ClipRect = clip;
        if (GetColor() != -1) FillAtLevel(*target, inner, GetColor(), level);
        DrawBorderCells(*target, inner, level);
        DrawScrollColumn(*target, level);
        DrawRows(*target, inner, level);
        target->ClipRect = saved;
      }
    }
  }
  DrawChildren();
}

void TKovaCustomListBox::DrawBorderCells(TCustomDIBX& target, const TRect& inner, int32_t level) {
  for (int32_t cell = 0; cell < 9; ++cell) {
    const TKovaImageList& list = border_images_[size_t(cell)];
    const TKovaImageData* data = list.GetItem(std::max(0, list.Index()));
    if (!data) continue;
    TRect rect = PartRect(cell, inner);
    if (cell == 4 && Scrolls() && menu_state_ == 0) rect.Right -= scroll_cell_.X;
    if (IsRectEmpty(rect)) continue;
    const TWexaItemFrame& frame = data->CacheFrame();
    const TRect src = frame.Surface().BoundsRect();
    int32_t phase_x = 0, phase_y = 0;
    if (cell % 3 == 1) phase_x = TilePhase(border_halign_[size_t(cell)], rect.Width(), src.Width());
    if (cell / 3 == 1) phase_y = TilePhase(border_valign_[size_t(cell)], rect.Height(), src.Height());
    frame.DrawTiled(target, rect, src, phase_x, phase_y, false, false, level);
  }
}

void TKovaCustomListBox::DrawScrollColumn(TCustomDIBX& target, int32_t level) {
  if (menu_state_ != 0 || !Scrolls() || !scroll_item_ || scroll_item_->GetFrameCount() == 0) return;
  const int32_t cw = scroll_cell_.X, ch = scroll_cell_.Y;
  if (cw <= 0 || ch <= 0) return;
  const TWexaItemFrame& frame = scroll_item_->Frame(0);
  auto cell = [&](int32_t i) { return TRect{i * cw, 0, (i + 1) * cw, ch}; };
  const TScrollRects s = ScrollRects();
  const bool held_up = mouse_state_ == kHoldUp && button_lit_;
  const bool held_down = mouse_state_ == kHoldDown && button_lit_;
  frame.DrawTiled(target, s.Up, cell(held_up ? 1 : 0), 0, 0, false, false, level);
  frame.DrawTiled(target, s.Down, cell(held_down ? 3 : 2), 0, 0, false, false, level);
  frame.DrawTiled(target, s.TrackAbove, cell(mouse_state_ == kHoldPageUp && page_lit_ ? 5 : 4), 0, 0, false, false,
                  level);
  frame.DrawTiled(target, s.TrackBelow, cell(mouse_state_ == kHoldPageDown && page_lit_ ? 5 : 4), 0, 0, false, false,
                  level);
  frame.DrawTiled(target, s.Thumb, cell(6), 0, 0, false, false, level);
}

void TKovaCustomListBox::DrawRows(TCustomDIBX& target, const TRect& inner, int32_t level) {
  const int32_t lw = LeftWidth();
  const int32_t left = inner.Left + lw + Mx();
  const int32_t text_left = left + check_cell_.X;
  const int32_t top = inner.Top + TopHeight() + My();
  const int32_t avail = inner.Right - RightWidth() - Mx() - text_left - (Scrolls() ? scroll_cell_.X : 0);
  const int32_t half = std::min(Ls() / 2, My());
  const int32_t fh = Fh();
  const int32_t hover_fill = HoverFillColor();
  const bool checks = check_item_ && check_item_->GetFrameCount() > 0 && check_cell_.X > 0 && check_cell_.Y > 0;
  const int32_t count = GetCount();
  for (int32_t i = 0; i < Rows() && int64_t(top_index_) + i < count; ++i) {
    const int32_t item = top_index_ + i;
    const int64_t y64 = int64_t(top) + int64_t(i) * (int64_t(fh) + Ls());
    if (y64 > inner.Bottom) break;
    const int32_t y = Clamp32(y64);
    const bool hovered = item == hover_index_;
    if (hovered && hover_fill != -1) {
      const TRect fill{inner.Left + lw + 1, y - half, inner.Left + lw + 1 + avail + check_cell_.X + 2 * Mx() - 2,
                       y + fh + half};
      if (!IsRectEmpty(fill)) FillAtLevel(target, fill, hover_fill, level);
    }
    TXrLabelDIB* label = (hovered ? hover_ : normal_).Items(item);
    if (label) {
      int32_t x = text_left;
      if (h_align_ == 1) {
        x = text_left + (avail - label->Width) / 2;
      } else if (h_align_ == 2) {
        x = text_left + avail - label->Width;
      }
      label->Draw(x, y);
    }
    if (checks && check_flags_[size_t(item)]) {
      const int32_t c = hovered ? 1 : 0;
      const TRect src{c * check_cell_.X, 0, (c + 1) * check_cell_.X, check_cell_.Y};
      check_item_->Frame(0).Draw(target, left, y + (fh - check_cell_.Y) / 2, src, false, false, level);
    }
  }
}

// ---- Surfaces ----

void TKovaCustomListBox::FreeDIB() {
  for (TKovaImageList& list : border_images_) list.FreeDIBs();
}

void TKovaCustomListBox::RecreateDIB() {
  for (TKovaImageList& list : border_images_) list.RecreateDIBs();
  normal_.Invalidate();
  hover_.Invalidate();
  Invalidate();
}

// ---- Save form ----

template <class IO, class R>
void TKovaCustomListBox::Transfer(IO& io, R& r) {
  io.Versioned(r.normal_);
  io.Versioned(r.hover_);
  io.Str(r.text_, [&](auto v) { r.SetText(v); });
  io.Int(r.line_space_, [&](auto v) { r.SetLineSpace(v); });
  io.Int(r.alpha_, [&](auto v) { r.SetAlpha(v); });
  io.Int(r.margin_x_, [&](auto v) { r.SetMarginX(v); });
  io.Int(r.margin_y_, [&](auto v) { r.SetMarginY(v); });
  io.Int(r.border_width_, [&](auto v) { r.SetBorderWidth(v); });
  io.Int(r.border_color_, [&](auto v) { r.SetBorderColor(v); });
  io.Int(r.row_count_, [&](auto v) { r.SetRowCount(v); });
  // The label lists' alpha was stored with them; the control's own follows the field.
  for (int32_t cell = 0; cell < 9; ++cell) {
    const size_t i = size_t(cell);
    io.Str(r.border_source_[i], [&](auto v) { r.SetBorderSource(cell, v); });
    io.Byte(r.border_halign_[i], [&](auto v) { r.SetBorderHAlign(cell, v); });
    io.Byte(r.border_valign_[i], [&](auto v) { r.SetBorderVAlign(cell, v); });
  }
  io.Str(r.scroll_source_, [&](auto v) { r.SetScrollSource(v); });
  io.Str(r.check_source_, [&](auto v) { r.SetCheckSource(v); });
  int32_t top = r.top_index_;
  io.Int(top);
  if (io.Before(104)) {
    uint8_t dropped = 0;
    io.Byte(dropped);
  }
  io.Byte(r.h_align_, [&](auto v) { r.SetHAlign(v); });
  for (auto& flag : r.check_flags_) io.Byte(flag, [&](auto v) { flag = v != 0; });
  if constexpr (IO::kLoading) r.SetTopIndex(top);
  io.Str(r.on_select_);
  io.Bool(r.paused_, [&](auto v) { r.SetPaused(v); });
  io.Int(r.index_);
  io.Int(r.menu_state_);
}

void TKovaCustomListBox::SaveToStream(TStream& stream) const {
  TKovaControl::SaveToStream(stream);
  TRecordSaver io(stream);
  Transfer(io, *this);
}

void TKovaCustomListBox::LoadFromStream(TStream& stream, int32_t version) {
  TKovaControl::LoadFromStream(stream, version);
  UseGlyphCache();
  TRecordLoader io(stream, version);
  Transfer(io, *this);
}

}  // namespace kova
