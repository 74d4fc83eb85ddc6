#include "platform/window/drawn_message_box.h"

#include <algorithm>

#include "platform/fields/drawn_glyphs.h"
#include "platform/text/text_codec.h"

namespace kova::plat {

namespace {

constexpr uint32_t kHighlight = 0xFFFFFF, kShadow = 0x808080, kDarkShadow = 0x404040;
constexpr int32_t kKeyTab = 0x09, kKeyEnter = 0x0D, kKeyEscape = 0x1B, kKeySpace = 0x20, kKeyLeft = 0x25,
                  kKeyUp = 0x26, kKeyRight = 0x27, kKeyDown = 0x28;

void Fill(TImageArgb& image, TScreenRect r, uint32_t rgb) {
  r.left = std::max(r.left, 0);
  r.top = std::max(r.top, 0);
  r.right = std::min(r.right, image.width);
  r.bottom = std::min(r.bottom, image.height);
  for (int32_t y = r.top; y < r.bottom; ++y) {
    uint32_t* row = image.pixels.data() + size_t(y) * size_t(image.width);
    for (int32_t x = r.left; x < r.right; ++x) row[x] = 0xFF000000u | rgb;
  }
}

// A one-pixel edge: `top_left` along the top and left, `bottom_right` along the bottom and right.
void Edge(TImageArgb& image, const TScreenRect& r, uint32_t top_left, uint32_t bottom_right) {
  Fill(image, TScreenRect{r.left, r.top, r.right - 1, r.top + 1}, top_left);
  Fill(image, TScreenRect{r.left, r.top, r.left + 1, r.bottom - 1}, top_left);
  Fill(image, TScreenRect{r.left, r.bottom - 1, r.right, r.bottom}, bottom_right);
  Fill(image, TScreenRect{r.right - 1, r.top, r.right, r.bottom}, bottom_right);
}

TScreenRect Inflate(const TScreenRect& r, int32_t d) {
  return TScreenRect{r.left - d, r.top - d, r.right + d, r.bottom + d};
}

void Dotted(TImageArgb& image, const TScreenRect& r, uint32_t rgb) {
  for (int32_t x = r.left; x < r.right; x += 2) {
    Fill(image, TScreenRect{x, r.top, x + 1, r.top + 1}, rgb);
    Fill(image, TScreenRect{x, r.bottom - 1, x + 1, r.bottom}, rgb);
  }
  for (int32_t y = r.top; y < r.bottom; y += 2) {
    Fill(image, TScreenRect{r.left, y, r.left + 1, y + 1}, rgb);
    Fill(image, TScreenRect{r.right - 1, y, r.right, y + 1}, rgb);
  }
}

bool Inside(const TScreenRect& r, TPoint p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

}  // namespace

TDrawnMessageBox::TDrawnMessageBox(IGlyphFonts& fonts, const TMessageBoxStyle& style, const TMessageBox& box)
    : style_(style), kind_(box.buttons) {
  font_ = fonts.OpenFont(TFontRequest{style_.face, style_.em_height, 0, true});
  row_height_ = std::max(font_->Metrics().tm.Height, 1) + 2;
  Layout(std::string(box.text));
}

uint16_t TDrawnMessageBox::CodeAt(const std::string& text, size_t& i) const {
  const auto c = static_cast<unsigned char>(text[i++]);
  if (IsCp932LeadByte(c) && i < text.size()) return uint16_t(c << 8 | static_cast<unsigned char>(text[i++]));
  return c;
}

int32_t TDrawnMessageBox::TextWidth(const std::string& text) {
  int32_t width = 0;
  for (size_t i = 0; i < text.size();) width += font_->Advance(CodeAt(text, i));
  return width;
}

void TDrawnMessageBox::Layout(const std::string& text) {
  std::string row;
  int32_t width = 0;
  size_t last_space = std::string::npos;  // in `row`
  auto end_row = [&] {
    rows_.push_back(row);
    row.clear();
    width = 0;
    last_space = std::string::npos;
  };
  for (size_t i = 0; i < text.size() && int32_t(rows_.size()) < kMaxRows;) {
    if (text[i] == '\r' || text[i] == '\n') {
      i += text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n' ? 2 : 1;
      end_row();
      continue;
    }
    const size_t start = i;
    const uint16_t code = CodeAt(text, i);
    const int32_t advance = font_->Advance(code);
    if (width + advance > kMaxTextWidth && !row.empty()) {
      if (last_space != std::string::npos && code != ' ') {
        // The words after the row's last space start the next row.
        const std::string rest = row.substr(last_space + 1);
        row.resize(last_space);
        end_row();
        row = rest;
        width = TextWidth(row);
      } else {
        end_row();
      }
      if (int32_t(rows_.size()) >= kMaxRows) break;
      if (code == ' ' && row.empty()) continue;  // a space at a wrap is left out
    }
    if (code == ' ') last_space = row.size();
    row.append(text, start, i - start);
    width += advance;
  }
  if (!row.empty() && int32_t(rows_.size()) < kMaxRows) rows_.push_back(row);
  if (rows_.empty()) rows_.emplace_back();

  int32_t text_width = 0;
  for (const std::string& r : rows_) text_width = std::max(text_width, TextWidth(r));
  const int32_t count = kind_ == TMessageButtons::OkCancel ? 2 : 1;
  int32_t button_width = kButtonWidth;
  for (const std::string* caption : {&style_.ok, &style_.cancel}) {
    button_width = std::max(button_width, TextWidth(*caption) + 16);
  }
  const int32_t buttons_width = count * button_width + (count - 1) * kButtonGap;
  size_.width = std::max({text_width, buttons_width, kMinWidth - 2 * kMargin}) + 2 * kMargin;
  const int32_t buttons_top = kMargin + int32_t(rows_.size()) * row_height_ + 16;
  size_.height = buttons_top + kButtonHeight + kMargin;
  int32_t left = (size_.width - buttons_width) / 2;
  for (int32_t b = 0; b < count; ++b) {
    buttons_.push_back(TScreenRect{left, buttons_top, left + button_width, buttons_top + kButtonHeight});
    left += button_width + kButtonGap;
  }
}

void TDrawnMessageBox::PaintText(TImageArgb& image, int32_t x, int32_t top, const std::string& text, uint32_t rgb) {
  const int32_t baseline = top + font_->Metrics().tm.Ascent;
  const int32_t max = MaxLevel(TGlyphFormat::Grey8);
  const TScreenRect whole{0, 0, image.width, image.height};
  for (size_t i = 0; i < text.size();) {
    const uint16_t code = CodeAt(text, i);
    if (font_->Glyph(code, TGlyphFormat::Grey8, glyph_)) {
      LayGlyph(image, glyph_, x + glyph_.origin_x, baseline - glyph_.origin_y, whole, rgb, max);
    }
    x += font_->Advance(code);
  }
}

TImageArgb TDrawnMessageBox::Paint() {
  TImageArgb image;
  image.width = size_.width;
  image.height = size_.height;
  image.pixels.assign(size_t(image.width) * size_t(image.height), 0xFF000000u | kBoxFaceRgb);
  const TPoint origin = TextOrigin();
  for (size_t r = 0; r < rows_.size(); ++r) {
    PaintText(image, origin.x, origin.y + int32_t(r) * row_height_, rows_[r], kBoxTextRgb);
  }
  const int32_t text_height = font_->Metrics().tm.Height;
  for (int32_t b = 0; b < ButtonCount(); ++b) {
    const TScreenRect& r = buttons_[size_t(b)];
    const bool pressed = pressed_ == b && pressed_inside_;
    TScreenRect body = r;
    if (focus_ == b) {  // the default button: the focused one
      Edge(image, body, kBoxTextRgb, kBoxTextRgb);
      body = Inflate(body, -1);
    }
    if (pressed) {
      Edge(image, body, kShadow, kShadow);
    } else {
      Edge(image, body, kHighlight, kDarkShadow);
      Edge(image, Inflate(body, -1), kBoxFaceRgb, kShadow);
    }
    const std::string& caption = b == 0 ? style_.ok : style_.cancel;
    const int32_t shift = pressed ? 1 : 0;
    PaintText(image, (r.left + r.right - TextWidth(caption)) / 2 + shift, (r.top + r.bottom - text_height) / 2 + shift,
              caption, kBoxTextRgb);
    if (focus_ == b) Dotted(image, Inflate(r, -4), kBoxTextRgb);
  }
  return image;
}

void TDrawnMessageBox::Press(int32_t button) {
  answer_ = button == 1 ? TMessageAnswer::Cancel : TMessageAnswer::Ok;
}

void TDrawnMessageBox::Close() { Press(ButtonCount() - 1); }

void TDrawnMessageBox::KeyDown(int32_t key) {
  switch (key) {
    case kKeyEnter:
    case kKeySpace:
      Press(focus_);
      break;
    case kKeyEscape:
      Close();
      break;
    case kKeyTab:
    case kKeyLeft:
    case kKeyUp:
    case kKeyRight:
    case kKeyDown:
      focus_ = (focus_ + 1) % ButtonCount();
      break;
    default:
      break;
  }
}

int32_t TDrawnMessageBox::ButtonAt(TPoint p) const {
  for (int32_t b = 0; b < ButtonCount(); ++b) {
    if (Inside(buttons_[size_t(b)], p)) return b;
  }
  return -1;
}

void TDrawnMessageBox::MouseDown(TPoint p) {
  pressed_ = ButtonAt(p);
  pressed_inside_ = pressed_ >= 0;
  if (pressed_ >= 0) focus_ = pressed_;
}

void TDrawnMessageBox::MouseMove(TPoint p) {
  if (pressed_ >= 0) pressed_inside_ = ButtonAt(p) == pressed_;
}

void TDrawnMessageBox::MouseUp(TPoint p) {
  MouseMove(p);
  const int32_t pressed = pressed_;
  const bool inside = pressed_inside_;
  pressed_ = -1;
  pressed_inside_ = false;
  if (pressed >= 0 && inside) Press(pressed);
}

}  // namespace kova::plat
