#include "platform/fields/text_fields.h"

#include <algorithm>
#include <cstdlib>

#include "platform/text/text_codec.h"

namespace kova::plat {

namespace {

// Windows virtual-key codes the fields act on.
enum : int32_t {
  kVkBack = 0x08, kVkReturn = 0x0D, kVkShift = 0x10, kVkControl = 0x11, kVkEnd = 0x23, kVkHome = 0x24,
  kVkLeft = 0x25, kVkUp = 0x26, kVkRight = 0x27, kVkDown = 0x28, kVkDelete = 0x2E,
};

bool IsLead(char c) { return IsCp932LeadByte(static_cast<unsigned char>(c)); }

uint16_t CodeAt(std::string_view text, size_t i, size_t n) {
  const auto b = static_cast<unsigned char>(text[i]);
  return n == 2 && IsLead(text[i]) ? uint16_t(b << 8 | static_cast<unsigned char>(text[i + 1])) : b;
}

bool IsBreak(std::string_view text, size_t i) { return text[i] == '\r' || text[i] == '\n'; }

bool Inside(const TScreenRect& r, TPoint p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

// Typed text as a field of `kind` takes it: control characters left out, a memo's line feeds
// (alone or after a CR) made CR LF.
std::string Filter(std::string_view in, TTextFieldKind kind) {
  std::string out;
  for (size_t i = 0; i < in.size();) {
    const size_t n = FieldCharLength(in, i);
    const auto c = static_cast<unsigned char>(in[i]);
    if (kind == TTextFieldKind::MultiLine && (c == '\r' || c == '\n')) {
      out += "\r\n";
    } else if ((n == 2 && IsLead(in[i])) || (c >= 0x20 && c != 0x7F)) {
      out.append(in.substr(i, n));
    }
    i += n;
  }
  return out;
}

}  // namespace

size_t FieldCharLength(std::string_view text, size_t i) {
  if (i >= text.size()) return 0;
  if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') return 2;
  if (IsLead(text[i]) && i + 1 < text.size()) return 2;
  return 1;
}

size_t FieldCharBefore(std::string_view text, size_t i) {
  size_t prev = 0;
  for (size_t p = 0; p < i && p < text.size();) {
    prev = p;
    p += FieldCharLength(text, p);
  }
  return prev;
}

int32_t TFieldFont::CellHeight() const {
  const int32_t h = height == 0 ? kDefaultFieldFontHeight : std::abs(height);
  return std::max(h, 1);
}

int32_t TTextFieldLook::RowLeft(size_t r) const {
  int32_t x = content.left - scroll_x;
  if (kind != TTextFieldKind::MultiLine || r >= rows.size()) return x;
  const int32_t spare = content.Width() - rows[r].width;
  if (alignment == kFieldAlignRight) x += spare;
  if (alignment == kFieldAlignCenter) x += spare / 2;
  return x;
}

int32_t TTextFieldLook::RowsInView() const { return std::max(content.Height() / std::max(row_height, 1), 1); }

int32_t TTextFieldLook::LastFirstRow() const { return std::max(int32_t(rows.size()) - RowsInView(), 0); }

TFieldScrollBar TTextFieldLook::ScrollBar() const {
  TFieldScrollBar s;
  if (kind != TTextFieldKind::MultiLine || bounds.IsEmpty()) return s;
  s.bar = TScreenRect{std::max(bounds.right - kFieldScrollBarWidth, bounds.left), bounds.top, bounds.right, bounds.bottom};
  const int32_t arrow = std::min(kFieldScrollBarWidth, s.bar.Height() / 2);
  s.up = TScreenRect{s.bar.left, s.bar.top, s.bar.right, s.bar.top + arrow};
  s.down = TScreenRect{s.bar.left, s.bar.bottom - arrow, s.bar.right, s.bar.bottom};
  s.track = TScreenRect{s.bar.left, s.up.bottom, s.bar.right, s.down.top};
  const int32_t count = int32_t(rows.size()), in_view = RowsInView(), length = s.track.Height();
  s.active = count > in_view;
  if (s.active && length >= kScrollThumbMin) {
    const int32_t thumb = std::clamp(int32_t(int64_t(length) * in_view / count), kScrollThumbMin, length);
    const int32_t last = LastFirstRow();
    const int32_t top = int32_t(int64_t(length - thumb) * std::clamp(first_row, 0, last) / last);
    s.thumb = TScreenRect{s.bar.left, s.track.top + top, s.bar.right, s.track.top + top + thumb};
  }
  return s;
}

// ---- The link between fields and their set (a field may outlive the set) ----

struct TTextFieldSet::TLink {
  TTextFieldSet* set = nullptr;
};

class TTextFieldSet::TField : public ITextField {
 public:
  TField(std::shared_ptr<TLink> link, TTextFieldKind kind) : link_(std::move(link)), kind_(kind) {}
  ~TField() override {
    if (link_->set) link_->set->Remove(this);
  }

  void SetListener(ITextFieldListener* listener) override { listener_ = listener; }
  std::string Text() const override { return text_; }
  void SetText(std::string_view text) override {
    if (text == text_) return;
    text_ = text;
    caret_ = anchor_ = text_.size();
    follow_caret_ = true;
    Changed();
  }
  std::string FontName() const override { return font_.name; }
  void SetFontName(std::string_view name) override { Store(font_.name, std::string(name)); }
  int32_t FontHeight() const override { return font_.height; }
  void SetFontHeight(int32_t height) override { Store(font_.height, height); }
  uint8_t FontStyle() const override { return font_.style; }
  void SetFontStyle(uint8_t style) override { Store(font_.style, uint8_t(style & 15)); }
  int32_t FontColor() const override { return font_color_; }
  void SetFontColor(int32_t color) override { Store(font_color_, color); }
  int32_t Color() const override { return color_; }
  void SetColor(int32_t color) override { Store(color_, color); }
  bool ReadOnly() const override { return read_only_; }
  void SetReadOnly(bool read_only) override { Store(read_only_, read_only); }
  bool Enabled() const override { return enabled_; }
  void SetEnabled(bool enabled) override {
    Store(enabled_, enabled);
    if (!enabled) Blur();
  }
  uint8_t Alignment() const override { return alignment_; }
  void SetAlignment(uint8_t alignment) override { Store(alignment_, alignment); }
  TScreenRect Bounds() const override { return bounds_; }
  void SetBounds(const TScreenRect& bounds) override {
    if (bounds == bounds_) return;
    bounds_ = bounds;
    Changed();
    if (Focused() && link_->set->window_) link_->set->window_->BeginTextInput(bounds_);
  }
  bool Visible() const override { return visible_; }
  void SetVisible(bool visible) override {
    Store(visible_, visible);
    if (!visible) Blur();
  }
  bool CanFocus() const override { return visible_ && enabled_; }
  void Focus() override {
    if (CanFocus() && link_->set) link_->set->TakeFocus(this);
  }
  void Blur() override {
    if (link_->set) link_->set->DropFocus(this);
  }
  bool Focused() const override { return link_->set && link_->set->focused_ == this; }

 private:
  friend class TTextFieldSet;
  template <class T>
  void Store(T& field, T value) {
    if (field == value) return;
    field = std::move(value);
    Changed();
  }
  void Changed() {
    if (link_->set) link_->set->MarkChanged();
  }
  size_t SelStart() const { return std::min(caret_, anchor_); }
  size_t SelEnd() const { return std::max(caret_, anchor_); }

  std::shared_ptr<TLink> link_;
  TTextFieldKind kind_;
  ITextFieldListener* listener_ = nullptr;
  std::string text_;
  TFieldFont font_;
  int32_t font_color_ = 0;
  int32_t color_ = 0xFFFFFF;
  bool read_only_ = false;
  bool enabled_ = true;
  uint8_t alignment_ = kFieldAlignLeft;
  TScreenRect bounds_;
  bool visible_ = false;
  size_t caret_ = 0;
  size_t anchor_ = 0;
  std::string composition_;
  // Scrolling kept between layouts; a memo scrolls its caret into view at its next layout only
  // after the caret moved or the text changed (its scroll bar scrolls away from the caret).
  int32_t first_row_ = 0;
  int32_t scroll_x_ = 0;
  bool follow_caret_ = true;
  // The x the caret keeps while it moves up and down (-1: none).
  int32_t goal_x_ = -1;
};

// ---- The set ----

TTextFieldSet::TTextFieldSet() : link_(std::make_shared<TLink>()) { link_->set = this; }

TTextFieldSet::~TTextFieldSet() {
  if (window_ && focused_) window_->EndTextInput();
  link_->set = nullptr;
}

std::unique_ptr<ITextField> TTextFieldSet::CreateField(TTextFieldKind kind) {
  auto field = std::make_unique<TField>(link_, kind);
  fields_.push_back(field.get());
  return field;
}

void TTextFieldSet::SetWindow(IWindow* window) {
  if (window_ && focused_) window_->EndTextInput();
  window_ = window;
  if (window_ && focused_) window_->BeginTextInput(focused_->bounds_);
}

void TTextFieldSet::Remove(TField* field) {
  DropFocus(field);
  if (held_field_ == field) {
    held_ = THeld::None;
    held_field_ = nullptr;
  }
  fields_.erase(std::remove(fields_.begin(), fields_.end(), field), fields_.end());
  if (field->visible_) MarkChanged();
}

void TTextFieldSet::TakeFocus(TField* field) {
  if (focused_ == field) return;
  focused_ = field;
  field->composition_.clear();
  blink_start_ = time_;
  caret_was_on_ = true;
  MarkChanged();
  if (window_) window_->BeginTextInput(field->bounds_);
}

void TTextFieldSet::DropFocus(TField* field) {
  if (focused_ != field || !field) return;
  focused_ = nullptr;
  field->composition_.clear();
  MarkChanged();
  if (window_) window_->EndTextInput();
}

ITextField* TTextFieldSet::FocusedField() const { return focused_; }

bool TTextFieldSet::TakeChanged() {
  const bool changed = changed_;
  changed_ = false;
  return changed;
}

int32_t TTextFieldSet::Advance(const TFieldFont& font, uint16_t code) {
  const int32_t cell = font.CellHeight();
  return code > 0xFF ? cell : std::max(cell / 2, 1);
}

int32_t TTextFieldSet::RowHeight(const TFieldFont& font) { return font.CellHeight(); }

std::vector<TTextFieldLook> TTextFieldSet::VisibleLooks() {
  std::vector<TTextFieldLook> looks;
  for (TField* f : fields_) {
    if (f->visible_ && !f->bounds_.IsEmpty()) looks.push_back(Look(*f));
  }
  return looks;
}

TTextFieldLook TTextFieldSet::Look(TField& f) {
  TTextFieldLook look;
  look.kind = f.kind_;
  look.bounds = f.bounds_;
  const bool memo = f.kind_ == TTextFieldKind::MultiLine;
  look.content = TScreenRect{f.bounds_.left + kFieldMargin, f.bounds_.top + kFieldMargin,
                             f.bounds_.right - kFieldMargin - (memo ? kFieldScrollBarWidth : 0),
                             f.bounds_.bottom - kFieldMargin};
  look.text = f.text_;
  look.font = f.font_;
  look.font_color = f.font_color_;
  look.color = f.color_;
  look.enabled = f.enabled_;
  look.read_only = f.read_only_;
  look.focused = focused_ == &f;
  look.alignment = memo ? f.alignment_ : kFieldAlignLeft;
  look.row_height = std::max(RowHeight(f.font_), 1);
  look.caret = f.caret_;
  look.anchor = f.anchor_;
  look.composition = f.composition_;
  look.caret_on = look.focused && CaretOn();

  // Rows: a single-line field is one row; a memo breaks at its line breaks and wraps at its width.
  const std::string_view text = f.text_;
  const int32_t width = std::max(look.content.Width(), 1);
  TFieldRow row;
  for (size_t i = 0; i < text.size();) {
    const size_t n = FieldCharLength(text, i);
    if (memo && IsBreak(text, i)) {
      row.end = i;
      look.rows.push_back(row);
      row = TFieldRow{i + n, i + n, 0};
      i += n;
      continue;
    }
    const int32_t advance = Advance(f.font_, CodeAt(text, i, n));
    if (memo && row.end > row.start && row.width + advance > width) {
      look.rows.push_back(row);
      row = TFieldRow{i, i, 0};
    }
    row.width += advance;
    row.end = i + n;
    i += n;
  }
  look.rows.push_back(row);

  // Scroll the caret into view.
  size_t caret_row = 0;
  for (size_t r = 0; r < look.rows.size(); ++r) {
    if (look.rows[r].start <= f.caret_) caret_row = r;
  }
  if (memo) {
    const int32_t visible_rows = look.RowsInView();
    if (f.follow_caret_) {
      if (int32_t(caret_row) < f.first_row_) f.first_row_ = int32_t(caret_row);
      if (int32_t(caret_row) >= f.first_row_ + visible_rows) f.first_row_ = int32_t(caret_row) - visible_rows + 1;
      f.follow_caret_ = false;
    }
    f.first_row_ = std::clamp(f.first_row_, 0, look.LastFirstRow());
    f.scroll_x_ = 0;
  } else {
    int32_t caret_x = 0;
    for (size_t i = 0; i < f.caret_ && i < text.size();) {
      const size_t n = FieldCharLength(text, i);
      caret_x += Advance(f.font_, CodeAt(text, i, n));
      i += n;
    }
    if (caret_x - f.scroll_x_ > width) f.scroll_x_ = caret_x - width;
    if (caret_x < f.scroll_x_) f.scroll_x_ = caret_x;
    f.scroll_x_ = std::max(std::min(f.scroll_x_, std::max(look.rows[0].width - width + 1, 0)), 0);
    f.first_row_ = 0;
  }
  look.first_row = f.first_row_;
  look.scroll_x = f.scroll_x_;
  return look;
}

bool TTextFieldSet::HandleEvent(const TEvent& e) {
  switch (e.kind) {
    case TEventKind::KeyDown: {
      if (e.key == kVkShift) shift_ = true;
      if (e.key == kVkControl) control_ = true;
      TField* f = focused_;
      if (!f || !f->CanFocus()) return false;
      if (f->listener_) f->listener_->TextFieldKeyDown(e.key);
      // The listener may have hidden or freed the field.
      if (focused_ == f) KeyDown(*f, e.key);
      return true;
    }
    case TEventKind::KeyUp:
      if (e.key == kVkShift) shift_ = false;
      if (e.key == kVkControl) control_ = false;
      return false;
    case TEventKind::Deactivate:
      shift_ = control_ = false;
      held_ = THeld::None;
      held_field_ = nullptr;
      return false;
    case TEventKind::Expose:
      // The window paints everything again (a lost renderer too): so are the fields.
      MarkChanged();
      return false;
    case TEventKind::TextInput: {
      TField* f = focused_;
      if (!f || !f->CanFocus()) return false;
      f->composition_.clear();
      if (!f->read_only_) Insert(*f, e.text);
      Touched(*f);
      return true;
    }
    case TEventKind::TextEditing: {
      TField* f = focused_;
      if (!f || !f->CanFocus()) return false;
      f->composition_ = f->read_only_ ? std::string() : e.text;
      Touched(*f);
      return true;
    }
    case TEventKind::MouseMove:
      pointer_ = e.pos;
      if (held_ == THeld::None) return false;
      // The scroll bar keeps the pointer while a part of it is held.
      if (held_ == THeld::Thumb) ScrollDrag(e.pos);
      return true;
    case TEventKind::MouseUp:
      pointer_ = e.pos;
      if (held_ == THeld::None || e.button != TMouseButton::Left) return held_ != THeld::None;
      held_ = THeld::None;
      held_field_ = nullptr;
      return true;
    case TEventKind::Wheel: {
      TField* f = FieldAt(pointer_);
      if (!f || f->kind_ != TTextFieldKind::MultiLine || !f->enabled_ || e.wheel == 0) return false;
      const TTextFieldLook look = Look(*f);
      const int64_t rows = int64_t(look.first_row) - int64_t(e.wheel) * kWheelRows;
      ScrollTo(*f, int32_t(std::clamp<int64_t>(rows, 0, look.LastFirstRow())));
      return true;
    }
    case TEventKind::MouseDown: {
      pointer_ = e.pos;
      if (held_ != THeld::None) {
        if (e.button != TMouseButton::Left) return true;
        held_ = THeld::None;  // a release we never saw
        held_field_ = nullptr;
      }
      if (e.button != TMouseButton::Left) return false;
      if (TField* f = FieldAt(e.pos)) {
        if (!f->enabled_) return false;
        if (f->kind_ == TTextFieldKind::MultiLine) {
          // The scroll bar scrolls; it neither takes the keyboard nor moves the caret.
          const TTextFieldLook look = Look(*f);
          if (Inside(look.ScrollBar().bar, e.pos)) {
            ScrollPress(*f, look, e.pos);
            return true;
          }
        }
        const bool took = focused_ != f;
        TakeFocus(f);
        PlaceCaret(*f, e.pos);
        if (took && f->listener_) f->listener_->TextFieldFocused();
        return true;
      }
      return false;
    }
    default:
      return false;
  }
}

void TTextFieldSet::Insert(TField& f, std::string text) {
  text = Filter(text, f.kind_);
  const size_t start = f.SelStart(), end = f.SelEnd();
  const size_t room = kMaxTypedBytes - std::min(kMaxTypedBytes, f.text_.size() - (end - start));
  if (text.size() > room) {
    size_t cut = 0;
    while (cut < text.size() && cut + FieldCharLength(text, cut) <= room) cut += FieldCharLength(text, cut);
    text.resize(cut);
  }
  f.text_.replace(start, end - start, text);
  f.caret_ = f.anchor_ = start + text.size();
  f.goal_x_ = -1;
  Touched(f);
}

void TTextFieldSet::PlaceCaret(TField& f, TPoint p) {
  const TTextFieldLook look = Look(f);
  int32_t r = look.first_row + (p.y - look.content.top) / look.row_height;
  if (p.y < look.content.top) r = look.first_row - 1;
  r = std::clamp(r, 0, int32_t(look.rows.size()) - 1);
  f.caret_ = f.anchor_ = CaretInRow(f, look, size_t(r), p.x);
  f.goal_x_ = -1;
  Touched(f);
}

size_t TTextFieldSet::CaretInRow(TField& f, const TTextFieldLook& look, size_t r, int32_t x_at) {
  const TFieldRow& row = look.rows[r];
  int32_t x = look.RowLeft(r);
  size_t caret = row.start;
  for (size_t i = row.start; i < row.end;) {
    const size_t n = FieldCharLength(f.text_, i);
    const int32_t advance = Advance(f.font_, CodeAt(f.text_, i, n));
    if (x_at < x + advance / 2) break;
    x += advance;
    i += n;
    caret = i;
  }
  return caret;
}

void TTextFieldSet::Touched(TField& f) {
  f.follow_caret_ = true;
  blink_start_ = time_;
  caret_was_on_ = true;
  MarkChanged();
}

bool TTextFieldSet::CaretOn() const { return (time_ - blink_start_) / kCaretBlinkMs % 2 == 0; }

void TTextFieldSet::SetTime(uint32_t ms) {
  time_ = ms;
  ScrollRepeat();
  const bool on = focused_ && CaretOn();
  if (on != caret_was_on_) MarkChanged();
  caret_was_on_ = on;
}

TTextFieldSet::TField* TTextFieldSet::FieldAt(TPoint p) {
  for (auto it = fields_.rbegin(); it != fields_.rend(); ++it) {
    if ((*it)->visible_ && Inside((*it)->bounds_, p)) return *it;
  }
  return nullptr;
}

void TTextFieldSet::ScrollTo(TField& f, int32_t first_row) {
  if (f.first_row_ == first_row) return;
  f.first_row_ = first_row;
  MarkChanged();
}

void TTextFieldSet::ScrollPress(TField& f, const TTextFieldLook& look, TPoint p) {
  const TFieldScrollBar bar = look.ScrollBar();
  held_ = THeld::None;
  if (!bar.active) return;
  const int32_t first = look.first_row, last = look.LastFirstRow(), page = look.RowsInView();
  if (Inside(bar.up, p)) {
    held_ = THeld::Up;
    ScrollTo(f, std::max(first - 1, 0));
  } else if (Inside(bar.down, p)) {
    held_ = THeld::Down;
    ScrollTo(f, std::min(first + 1, last));
  } else if (bar.thumb.IsEmpty() || !Inside(bar.track, p)) {
    return;
  } else if (Inside(bar.thumb, p)) {
    held_ = THeld::Thumb;
    grab_ = p.y - bar.thumb.top;
  } else if (p.y < bar.thumb.top) {
    held_ = THeld::PageUp;
    ScrollTo(f, std::max(first - page, 0));
  } else {
    held_ = THeld::PageDown;
    ScrollTo(f, std::min(first + page, last));
  }
  held_field_ = &f;
  next_repeat_ = time_ + kScrollRepeatDelayMs;
}

void TTextFieldSet::ScrollRepeat() {
  if (held_ == THeld::None || held_ == THeld::Thumb || !held_field_) return;
  TField& f = *held_field_;
  if (!f.visible_ || !f.enabled_) {
    held_ = THeld::None;
    held_field_ = nullptr;
    return;
  }
  // After a long gap (a stalled frame) the part repeats once, not for all the time missed.
  if (int32_t(time_ - next_repeat_) > int32_t(kScrollRepeatDelayMs)) next_repeat_ = time_;
  while (int32_t(time_ - next_repeat_) >= 0) {
    next_repeat_ += kScrollRepeatMs;
    const TTextFieldLook look = Look(f);
    const TFieldScrollBar bar = look.ScrollBar();
    const int32_t first = look.first_row, last = look.LastFirstRow(), page = look.RowsInView();
    const TPoint p = pointer_;
    switch (held_) {
      case THeld::Up:
        if (Inside(bar.up, p)) ScrollTo(f, std::max(first - 1, 0));
        break;
      case THeld::Down:
        if (Inside(bar.down, p)) ScrollTo(f, std::min(first + 1, last));
        break;
      // The track pages on until the thumb reaches the pointer.
      case THeld::PageUp:
        if (Inside(bar.track, p) && p.y < bar.thumb.top) ScrollTo(f, std::max(first - page, 0));
        break;
      case THeld::PageDown:
        if (Inside(bar.track, p) && p.y >= bar.thumb.bottom) ScrollTo(f, std::min(first + page, last));
        break;
      default:
        break;
    }
  }
}

void TTextFieldSet::ScrollDrag(TPoint p) {
  if (!held_field_) return;
  TField& f = *held_field_;
  const TTextFieldLook look = Look(f);
  const TFieldScrollBar bar = look.ScrollBar();
  const int64_t span = bar.track.Height() - bar.thumb.Height();
  if (bar.thumb.IsEmpty() || span <= 0) return;
  const int64_t y = std::clamp<int64_t>(int64_t(p.y) - grab_ - bar.track.top, 0, span);
  const int64_t last = look.LastFirstRow();
  ScrollTo(f, int32_t((y * last * 2 + span) / (2 * span)));
}

bool TTextFieldSet::KeyDown(TField& f, int32_t key) {
  const std::string_view text = f.text_;
  const bool memo = f.kind_ == TTextFieldKind::MultiLine;
  auto move = [&](size_t to) {
    f.caret_ = to;
    if (!shift_) f.anchor_ = to;
    Touched(f);
  };
  auto erase = [&](size_t from, size_t to) {
    if (f.read_only_ || from >= to) return;
    f.text_.erase(from, to - from);
    f.caret_ = f.anchor_ = from;
    Touched(f);
  };
  const bool selection = f.caret_ != f.anchor_;
  if (key != kVkUp && key != kVkDown) f.goal_x_ = -1;
  if (control_) {
    switch (key) {
      case 'A':
        f.anchor_ = 0;
        f.caret_ = text.size();
        Touched(f);
        return true;
      case 'C':
      case 'X':
        if (selection) {
          SetClipboardText(text.substr(f.SelStart(), f.SelEnd() - f.SelStart()));
          if (key == 'X') erase(f.SelStart(), f.SelEnd());
        }
        return true;
      case 'V':
        if (!f.read_only_) Insert(f, ClipboardText());
        return true;
      case kVkHome:
        move(0);
        return true;
      case kVkEnd:
        move(text.size());
        return true;
      default:
        break;
    }
  }
  switch (key) {
    case kVkBack:
      if (selection) {
        erase(f.SelStart(), f.SelEnd());
      } else {
        erase(FieldCharBefore(text, f.caret_), f.caret_);
      }
      return true;
    case kVkDelete:
      if (selection) {
        erase(f.SelStart(), f.SelEnd());
      } else {
        erase(f.caret_, f.caret_ + FieldCharLength(text, f.caret_));
      }
      return true;
    case kVkReturn:
      if (memo && !f.read_only_) Insert(f, "\r\n");
      return true;
    case kVkLeft:
      move(selection && !shift_ ? f.SelStart() : FieldCharBefore(text, f.caret_));
      return true;
    case kVkRight:
      move(selection && !shift_ ? f.SelEnd() : f.caret_ + FieldCharLength(text, f.caret_));
      return true;
    case kVkHome:
    case kVkEnd:
    case kVkUp:
    case kVkDown: {
      const TTextFieldLook look = Look(f);
      size_t r = 0;
      for (size_t i = 0; i < look.rows.size(); ++i) {
        if (look.rows[i].start <= f.caret_) r = i;
      }
      if (key == kVkHome) {
        move(look.rows[r].start);
        return true;
      }
      if (key == kVkEnd) {
        move(look.rows[r].end);
        return true;
      }
      if (!memo) {
        move(key == kVkUp ? FieldCharBefore(text, f.caret_) : f.caret_ + FieldCharLength(text, f.caret_));
        return true;
      }
      // Up and down keep the caret's x.
      if (f.goal_x_ < 0) {
        int32_t x = look.RowLeft(r);
        for (size_t i = look.rows[r].start; i < f.caret_;) {
          const size_t n = FieldCharLength(text, i);
          x += Advance(f.font_, CodeAt(text, i, n));
          i += n;
        }
        f.goal_x_ = x;
      }
      if ((key == kVkUp && r == 0) || (key == kVkDown && r + 1 >= look.rows.size())) return true;
      const size_t to_row = key == kVkUp ? r - 1 : r + 1;
      move(CaretInRow(f, look, to_row, f.goal_x_));
      return true;
    }
    default:
      return true;
  }
}

}  // namespace kova::plat
