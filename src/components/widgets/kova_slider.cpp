#include "components/widgets/kova_slider.h"

#include <algorithm>
#include <cmath>

#include "components/scene/image_cache.h"
#include "components/scene/kova_base.h"
#include "components/scene/kova_base_list.h"
#include "core/array_string.h"
#include "core/record_io.h"
#include "core/stream_records.h"
#include "core/utils.h"
#include "graphics/dibx.h"

namespace kova {
namespace {

constexpr int32_t kVkLeft = 0x25, kVkUp = 0x26, kVkRight = 0x27, kVkDown = 0x28;
enum : int32_t { kTrack = 0, kThumb = 1, kButtons = 2 };

// Rounds to the nearest integer, ties to even, kept inside int32.
int64_t RoundEven(double v) {
  const double r = std::nearbyint(v);
  return int64_t(std::clamp(r, double(INT32_MIN), double(INT32_MAX)));
}

int32_t FloorMod(int32_t a, int32_t m) {
  const int32_t r = a % m;
  return r < 0 ? r + m : r;
}

// The first frame of a held picture, nullptr without one.
const TWexaItemFrame* FirstFrame(const TWexaItem* item) {
  return item && item->GetFrameCount() > 0 ? &item->Frame(0) : nullptr;
}

// True when the picture has no alpha mask, or its mask is at least half opaque at (x, y).
bool MaskLets(const TWexaItem* item, int32_t x, int32_t y) {
  const TWexaItemFrame* frame = FirstFrame(item);
  const TDIBX* mask = frame ? frame->Mask() : nullptr;
  return !mask || mask->GetPixel(x, y) >= 128;
}

}  // namespace

TKovaSlider::TKovaSlider(TKovaObject* owner) : TKovaSlider(owner, false) {}

TKovaSlider::TKovaSlider(TKovaObject* owner, bool scroll_bar) : TKovaControl(owner), scroll_bar_(scroll_bar) {}

TKovaSlider::~TKovaSlider() {
  Invalidate();
  if (track_item_) track_item_->Release(&track_item_);
  if (thumb_item_) thumb_item_->Release(&thumb_item_);
  if (button_item_) button_item_->Release(&button_item_);
}

// ---- Properties ----

int32_t TKovaSlider::Clamp(int64_t v) const { return int32_t(std::max<int64_t>(min_, std::min<int64_t>(max_, v))); }

int32_t TKovaSlider::GetValue() const { return Clamp(value_); }

void TKovaSlider::SetPicture(int32_t part, const std::string& name) {
  TWexaItem** field = part == kTrack ? &track_item_ : part == kThumb ? &thumb_item_ : &button_item_;
  TPartSize& size = part == kTrack ? track_ : part == kThumb ? thumb_ : button_;
  sources_[size_t(part)] = name;
  Invalidate();
  if (*field) (*field)->Release(field);
  *field = nullptr;
  size = TPartSize{};
  TKovaBaseList* root = Root();
  TWexaCollection* cache = root ? root->ImageCache() : nullptr;
  if (!name.empty() && cache) {
    try {
      *field = cache->Acquire(field, name, false, false);
    } catch (...) {
      // A damaged picture leaves the part empty and the control laid out without it.
      if (part == kTrack) UpdateTrackSize();
      CalcLayout();
      throw;
    }
  }
  if (*field && part == kThumb) thumb_ = TPartSize{(*field)->Width / 3, (*field)->Height};
  if (*field && part == kButtons) button_ = TPartSize{(*field)->Width / 6, (*field)->Height};
  if (part == kTrack) UpdateTrackSize();
  CalcLayout();
}

void TKovaSlider::SetSource(const std::string& v) {
  if (v != sources_[kTrack]) SetPicture(kTrack, v);
}

void TKovaSlider::SetThumbSource(const std::string& v) {
  if (v != sources_[kThumb]) SetPicture(kThumb, v);
}

void TKovaSlider::SetButtonSource(const std::string& v) {
  if (v != sources_[kButtons]) SetPicture(kButtons, v);
}

void TKovaSlider::SetMin(int32_t v) {
  if (v == min_) return;
  min_ = v;
  // The thumb shows only over a range: it may come or go where it stands.
  Invalidate();
  ValueToThumb();
}

void TKovaSlider::SetMax(int32_t v) {
  if (v == max_) return;
  max_ = v;
  Invalidate();
  ValueToThumb();
}

void TKovaSlider::SetValue(int32_t v) {
  value_ = v;
  ValueToThumb();
}

void TKovaSlider::SetAlpha(int32_t v) {
  if (v == alpha_) return;
  alpha_ = v;
  Invalidate();
}

void TKovaSlider::SetOrientation(uint8_t v) {
  if (v == orientation_) return;
  Invalidate();
  orientation_ = v;
  UpdateTrackSize();
  CalcLayout();
  Invalidate();
}

void TKovaSlider::SetBarSize(int32_t v) {
  if (v == bar_size_) return;
  bar_size_ = v;
  UpdateTrackSize();
  CalcLayout();
}

// ---- Geometry ----

void TKovaSlider::UpdateTrackSize() {
  track_ = track_item_ ? TPartSize{track_item_->Width / 2, track_item_->Height} : TPartSize{};
  if (bar_size_ > 0) (Vertical() ? track_.cy : track_.cx) = std::min(bar_size_, kMaxBarSize);
}

void TKovaSlider::CalcLayout() {
  if (track_.cx < 1 || track_.cy < 1) {
    SetWidth(0);
    SetHeight(0);
  } else {
    // Parts of any size: the sums are kept inside int32.
    auto fit = [](int64_t v) { return int32_t(std::clamp<int64_t>(v, 0, INT32_MAX)); };
    const int64_t across = std::max({Vertical() ? track_.cx : track_.cy, Vertical() ? thumb_.cx : thumb_.cy,
                                     Vertical() ? button_.cx : button_.cy});
    int64_t along = int64_t(TrackLength()) + 2 * int64_t(Vertical() ? button_.cy : button_.cx);
    if (!scroll_bar_) along += ThumbLength();
    SetWidth(fit(Vertical() ? across : along));
    SetHeight(fit(Vertical() ? along : across));
  }
  ValueToThumb();
}

void TKovaSlider::ValueToThumb() {
  const int64_t range = int64_t(max_) - min_;
  int32_t pos = 0;
  if (range > 0) {
    const int32_t length = std::max(0, scroll_bar_ ? TrackLength() - ThumbLength() : TrackLength());
    pos = int32_t(RoundEven(double(int64_t(GetValue()) - min_) / double(range) * length));
  }
  if (pos == thumb_pos_) return;
  Invalidate();
  thumb_pos_ = pos;
  Invalidate();
}

TRect TKovaSlider::GetTrackRect() const {
  const int32_t x = GetScreenLeft(), y = GetScreenTop();
  TRect r;
  if (Vertical()) {
    r.Left = x + (GetWidth() - track_.cx) / 2;
    r.Top = y + button_.cy + (scroll_bar_ ? 0 : thumb_.cy / 2);
  } else {
    r.Left = x + button_.cx + (scroll_bar_ ? 0 : thumb_.cx / 2);
    r.Top = y + (GetHeight() - track_.cy) / 2;
  }
  r.Right = r.Left + track_.cx;
  r.Bottom = r.Top + track_.cy;
  return r;
}

TRect TKovaSlider::GetThumbRect() const {
  const int32_t x = GetScreenLeft(), y = GetScreenTop();
  TRect r;
  if (Vertical()) {
    r.Left = x + (GetWidth() - thumb_.cx) / 2;
    r.Top = y + button_.cy + (scroll_bar_ ? thumb_pos_ : track_.cy - thumb_pos_);
  } else {
    r.Left = x + button_.cx + thumb_pos_;
    r.Top = y + (GetHeight() - thumb_.cy) / 2;
  }
  r.Right = r.Left + thumb_.cx;
  r.Bottom = r.Top + thumb_.cy;
  return r;
}

TRect TKovaSlider::GetButtonRect(int32_t i) const {
  const int32_t x = GetScreenLeft(), y = GetScreenTop();
  TRect r;
  if (Vertical()) {
    r.Left = x + (GetWidth() - button_.cx) / 2;
    r.Top = i == 0 ? y : y + GetHeight() - button_.cy;
  } else {
    r.Left = i == 0 ? x : x + GetWidth() - button_.cx;
    r.Top = y + (GetHeight() - button_.cy) / 2;
  }
  r.Right = r.Left + button_.cx;
  r.Bottom = r.Top + button_.cy;
  return r;
}

// ---- Hit tests ----

bool TKovaSlider::OverTrack(TPoint p) const {
  const TRect r = GetTrackRect();
  if (!PointInRect(p, r)) return false;
  const TWexaItemFrame* frame = FirstFrame(track_item_);
  if (!frame || !frame->Mask()) return true;
  // The track picture's pixel drawn under the pointer: the half and the tiling of DrawTrack (the
  // scroll bar's track as drawn when not held).
  const int32_t half = track_item_->Width / 2, h = track_item_->Height;
  if (half < 1 || h < 1) return false;
  const int32_t dx = p.X - r.Left, dy = p.Y - r.Top;
  int32_t sx = dx % half, sy = dy % h;
  bool filled = false;
  if (!scroll_bar_) {
    if (Vertical()) {
      sy = FloorMod(dy - track_.cy, h);
      filled = dy >= track_.cy - thumb_pos_;
    } else {
      filled = dx < thumb_pos_;
    }
  }
  return MaskLets(track_item_, sx + (filled ? half : 0), sy);
}

bool TKovaSlider::OverThumb(TPoint p) const {
  const TRect r = GetThumbRect();
  if (!PointInRect(p, r)) return false;
  return !capture_mask_ || MaskLets(thumb_item_, p.X - r.Left, p.Y - r.Top);
}

bool TKovaSlider::OverButton(int32_t i, TPoint p) const {
  const TRect r = GetButtonRect(i);
  if (!PointInRect(p, r)) return false;
  return MaskLets(button_item_, p.X - r.Left + i * 3 * button_.cx, p.Y - r.Top);
}

// ---- Input ----

TPoint TKovaSlider::Pointer() {
  TKovaBase* base = GetBase();
  return base ? base->MousePos() : TPoint{};
}

int32_t TKovaSlider::Step(int32_t i) const {
  const int32_t up = IsVertical() ? -1 : 1;
  return i == 0 ? -up : up;
}

int32_t TKovaSlider::DragValue(TPoint p) const {
  const TRect track = GetTrackRect();
  const int64_t range = int64_t(max_) - min_;
  int64_t d = int64_t(Along(p)) - AlongStart(track) - drag_offset_;
  int32_t length = TrackLength();
  if (scroll_bar_) {
    length -= ThumbLength();
  } else if (Vertical()) {
    d = int64_t(track_.cy) - 1 - d;
  }
  // A track without length (or a scroll bar's thumb as long as its track) leaves the value.
  if (length <= 0) return GetValue();
  return Clamp(int64_t(min_) + RoundEven(double(range) / double(length) * double(d)));
}

void TKovaSlider::ChangeValue(int32_t v) {
  if (v == GetValue()) return;
  SetValue(v);
  if (on_notify_.empty()) return;
  TArrayString params;
  params.Add(std::to_string(GetValue()));
  QueueEvent(on_notify_, PR_ONNOTIFY, &params);
}

void TKovaSlider::SetThumbState(int32_t s) {
  if (s == thumb_state_) return;
  thumb_state_ = s;
  Invalidate();
}

void TKovaSlider::SetButtonState(int32_t i, int32_t s) {
  if (s == button_state_[size_t(i)]) return;
  button_state_[size_t(i)] = s;
  Invalidate();
}

void TKovaSlider::SetPageLit(bool v) {
  if (v == page_lit_) return;
  page_lit_ = v;
  Invalidate();
}

void TKovaSlider::UpdateHover(TPoint p) {
  const bool live = HasRange() && !paused_ && GetIgnoreMouse() != 1;
  SetThumbState(live && OverThumb(p) ? 1 : 0);
  for (int32_t i = 0; i < 2; ++i) SetButtonState(i, live && OverButton(i, p) ? 1 : 0);
}

void TKovaSlider::MouseMove() {
  const TPoint p = Pointer();
  if (mouse_state_ == kIdle) {
    UpdateHover(p);
  } else if (mouse_state_ == kDragging) {
    ChangeValue(DragValue(p));
  }
  TKovaControl::MouseMove();
}

void TKovaSlider::MouseOut(TKovaControl* next) {
  if (mouse_state_ == kIdle) {
    SetThumbState(0);
    SetButtonState(0, 0);
    SetButtonState(1, 0);
  }
  TKovaControl::MouseOut(next);
}

void TKovaSlider::MouseLDown() {
  TKovaControl::MouseLDown();
  const uint8_t ignore = GetIgnoreMouse();
  if (mouse_state_ != kIdle || (ignore != 0 && ignore != 4) || !HasRange()) return;
  TKovaBase* base = GetBase();
  auto capture = [base] {
    if (!base) return;
    base->ButtonBits |= 4;
    base->LeftClick = false;
  };
  const TPoint p = Pointer();
  if (thumb_state_ == 1) {
    if (!on_hold_.empty()) QueueEvent(on_hold_, PR_ONHOLD);
    capture();
    const TRect thumb = GetThumbRect();
    drag_offset_ = Along(p) - AlongStart(thumb) - (scroll_bar_ ? 0 : ThumbLength() / 2);
    SetThumbState(2);
    mouse_state_ = kDragging;
    return;
  }
  for (int32_t i = 0; i < 2; ++i) {
    if (button_state_[size_t(i)] != 1) continue;
    ChangeValue(Clamp(int64_t(GetValue()) + int64_t(Step(i)) * small_change_));
    capture();
    SetButtonState(i, 2);
    repeat_left_ = kRepeatDelay;
    mouse_state_ = kButton0Held + i;
    return;
  }
  if (!OverTrack(p)) return;
  if (scroll_bar_) {
    SetPageLit(true);
    repeat_left_ = kRepeatDelay;
    mouse_state_ = Along(p) < AlongStart(GetThumbRect()) ? kPageBefore : kPageAfter;
    const int64_t page = mouse_state_ == kPageBefore ? -int64_t(large_change_) : int64_t(large_change_);
    ChangeValue(Clamp(GetValue() + page));
  } else {
    if (!on_hold_.empty()) QueueEvent(on_hold_, PR_ONHOLD);
    SetThumbState(2);
    mouse_state_ = kDragging;
    drag_offset_ = 0;
    ChangeValue(DragValue(p));
  }
  capture();
}

void TKovaSlider::MouseCancel() {
  if (mouse_state_ < kButton0Held) return;
  TKovaBaseList* root = Root();
  repeat_left_ -= root ? root->FrameDelta() : 0;
  if (repeat_left_ >= 1) return;
  repeat_left_ += kRepeatInterval;
  const TPoint p = Pointer();
  if (mouse_state_ <= kButton1Held) {
    const int32_t i = mouse_state_ - kButton0Held;
    const bool over = OverButton(i, p);
    SetButtonState(i, over ? 2 : 0);
    if (over) ChangeValue(Clamp(int64_t(GetValue()) + int64_t(Step(i)) * small_change_));
    return;
  }
  // The held track pages towards the pointer until the thumb reaches it.
  const TRect thumb = GetThumbRect();
  const bool before = mouse_state_ == kPageBefore;
  const bool paging = OverTrack(p) && (before ? Along(p) < AlongStart(thumb) : Along(p) >= AlongEnd(thumb));
  if (paging) ChangeValue(Clamp(int64_t(GetValue()) + (before ? -int64_t(large_change_) : int64_t(large_change_))));
  SetPageLit(paging);
}

void TKovaSlider::MouseLUp() {
  TKovaControl::MouseLUp();
  if (mouse_state_ == kIdle) return;
  const bool dragged = mouse_state_ == kDragging;
  mouse_state_ = kIdle;
  if (dragged && !on_release_.empty()) QueueEvent(on_release_, PR_ONRELEASE);
  SetPageLit(false);
  UpdateHover(Pointer());
}

void TKovaSlider::KeyRepeat(int32_t key) {
  if (TKovaBaseList* root = Root()) {
    int32_t raise = kVkRight, lower = kVkLeft;
    if (scroll_bar_ && Vertical()) {
      raise = kVkDown;
      lower = kVkUp;
    } else if (IsVertical()) {
      raise = kVkUp;
      lower = kVkDown;
    }
    if (root->GetKeyRepeat(raise) && GetValue() < max_) {
      ChangeValue(int32_t(std::min<int64_t>(max_, int64_t(GetValue()) + small_change_)));
    }
    if (root->GetKeyRepeat(lower) && GetValue() > min_) {
      ChangeValue(int32_t(std::max<int64_t>(min_, int64_t(GetValue()) - small_change_)));
    }
  }
  TKovaControl::KeyRepeat(key);
}

// ---- Drawing ----

void TKovaSlider::Draw() {
  TCustomDIBX* target = GetTargetDIB();
  if (target && GetWidth() != 0 && GetHeight() != 0 && FirstFrame(track_item_)) {
    const TRect clip = IntersectRects(target->GetClipRect(), target->BoundsRect());
    if (!IsRectEmpty(IntersectRects(GetBoundsRect(), clip))) DrawParts();
  }
  DrawChildren();
}

void TKovaSlider::DrawTrack(TCustomDIBX& target) {
  const TWexaItemFrame& frame = *FirstFrame(track_item_);
  const int32_t half = track_item_->Width / 2, h = track_item_->Height;
  if (half < 1 || h < 1) return;
  const TRect left_half{0, 0, half, h};
  const TRect right_half{half, 0, 2 * half, h};
  const TRect r = GetTrackRect();
  auto tile = [&](const TRect& dest, const TRect& src, int32_t px, int32_t py) {
    if (!IsRectEmpty(dest)) frame.DrawTiled(target, dest, src, px, py, false, false, alpha_);
  };
  if (!scroll_bar_) {
    if (Vertical()) {
      // Anchored at the bottom end: the filled piece below the thumb, the rest above it.
      const int32_t filled = std::clamp(thumb_pos_, 0, track_.cy);
      const int32_t split = r.Bottom - filled;
      tile(TRect{r.Left, split, r.Right, r.Bottom}, right_half, 0, h - filled % h);
      tile(TRect{r.Left, r.Top, r.Right, split}, left_half, 0, h - track_.cy % h);
    } else {
      const int32_t filled = std::clamp(thumb_pos_, 0, track_.cx);
      tile(TRect{r.Left, r.Top, r.Left + filled, r.Bottom}, right_half, 0, 0);
      tile(TRect{r.Left + filled, r.Top, r.Right, r.Bottom}, left_half, filled, 0);
    }
    return;
  }
  if ((mouse_state_ != kPageBefore && mouse_state_ != kPageAfter) || !page_lit_) {
    tile(r, left_half, 0, 0);
    return;
  }
  // Split at the thumb's centre; the held side lights up; the second piece continues the tiling.
  const TRect thumb = GetThumbRect();
  const bool before = mouse_state_ == kPageBefore;
  if (Vertical()) {
    const int32_t c = std::clamp((thumb.Top + thumb.Bottom) / 2, r.Top, r.Bottom);
    tile(TRect{r.Left, r.Top, r.Right, c}, before ? right_half : left_half, 0, 0);
    tile(TRect{r.Left, c, r.Right, r.Bottom}, before ? left_half : right_half, 0, c - r.Top);
  } else {
    const int32_t c = std::clamp((thumb.Left + thumb.Right) / 2, r.Left, r.Right);
    tile(TRect{r.Left, r.Top, c, r.Bottom}, before ? right_half : left_half, 0, 0);
    tile(TRect{c, r.Top, r.Right, r.Bottom}, before ? left_half : right_half, c - r.Left, 0);
  }
}

void TKovaSlider::DrawParts() {
  TCustomDIBX* target = GetTargetDIB();
  if (!target || !FirstFrame(track_item_)) return;
  DrawTrack(*target);
  if (const TWexaItemFrame* frame = FirstFrame(thumb_item_); frame && thumb_.cx >= 1 && thumb_.cy >= 1 && HasRange()) {
    const TRect r = GetThumbRect();
    const int32_t cell = std::clamp(thumb_state_, 0, 2);
    frame->Draw(*target, r.Left, r.Top, TRect{cell * thumb_.cx, 0, (cell + 1) * thumb_.cx, thumb_.cy}, false, false,
                alpha_);
  }
  if (const TWexaItemFrame* frame = FirstFrame(button_item_); frame && button_.cx >= 1 && button_.cy >= 1) {
    for (int32_t i = 0; i < 2; ++i) {
      const TRect r = GetButtonRect(i);
      const int32_t cell = std::clamp(button_state_[size_t(i)], 0, 2) + 3 * i;
      frame->Draw(*target, r.Left, r.Top, TRect{cell * button_.cx, 0, (cell + 1) * button_.cx, button_.cy}, false,
                  false, alpha_);
    }
  }
}

// ---- Save form ----

template <class IO, class R>
void TKovaSlider::Transfer(IO& io, R& r) {
  io.Str(r.sources_[0], [&](auto v) { r.SetSource(v); });
  io.Str(r.sources_[1], [&](auto v) { r.SetThumbSource(v); });
  io.Str(r.sources_[2], [&](auto v) { r.SetButtonSource(v); });
  for (auto* v : {&r.min_, &r.max_, &r.value_, &r.small_change_, &r.alpha_}) io.Int(*v);
  io.Bool(r.paused_);
  io.Byte(r.orientation_);
  for (auto* s : {&r.on_notify_, &r.on_hold_, &r.on_release_, &r.on_idle_}) io.Str(*s);
  if (io.Since(119)) io.Bool(r.capture_mask_);
  if (io.Since(128)) io.Int(r.bar_size_, [&](auto v) { r.SetBarSize(v); });
}

void TKovaSlider::SaveToStream(TStream& stream) const {
  TKovaControl::SaveToStream(stream);
  TRecordSaver io(stream);
  Transfer(io, *this);
}

void TKovaSlider::LoadFromStream(TStream& stream, int32_t version) {
  TKovaControl::LoadFromStream(stream, version);
  TRecordLoader io(stream, version);
  Transfer(io, *this);
  UpdateTrackSize();
  CalcLayout();
}

template <class IO, class R>
void TKovaScrollbar::Transfer(IO& io, R& r) {
  io.Int(r.large_change_);
}

void TKovaScrollbar::SaveToStream(TStream& stream) const {
  TKovaSlider::SaveToStream(stream);
  TRecordSaver io(stream);
  Transfer(io, *this);
}

void TKovaScrollbar::LoadFromStream(TStream& stream, int32_t version) {
  TKovaSlider::LoadFromStream(stream, version);
  TRecordLoader io(stream, version);
  Transfer(io, *this);
}

}  // namespace kova
