#include "platform/fields/drawn_text_fields.h"

#include <algorithm>
#include <cstdint>

#include "platform/fields/drawn_glyphs.h"

namespace kova::plat {

namespace {

// 0x00BBGGRR to 0xRRGGBB.
uint32_t RgbOf(int32_t color) {
  const auto c = static_cast<uint32_t>(color);
  return (c & 0xFF) << 16 | (c & 0xFF00) | (c >> 16 & 0xFF);
}

class TCanvas {
 public:
  TCanvas(TImageArgb& image, const TScreenRect& bounds) : image_(image), origin_{bounds.left, bounds.top} {}
  // Fills a rectangle given in game pixels (cut to the picture and to `clip`).
  void Fill(TScreenRect r, uint32_t rgb, const TScreenRect& clip) {
    r.left = std::max({r.left, clip.left, origin_.x});
    r.top = std::max({r.top, clip.top, origin_.y});
    r.right = std::min({r.right, clip.right, origin_.x + image_.width});
    r.bottom = std::min({r.bottom, clip.bottom, origin_.y + image_.height});
    for (int32_t y = r.top; y < r.bottom; ++y) {
      for (int32_t x = r.left; x < r.right; ++x) At(x, y) = 0xFF000000u | rgb;
    }
  }
  // Lays a glyph whose box's top-left is at (x, y) (cut to the picture and to `clip`).
  void Glyph(const TGlyphBitmap& glyph, int32_t x, int32_t y, const TScreenRect& clip, uint32_t rgb, int32_t max) {
    // Moved to the picture's coordinates in 64 bits and held to the int32 range: what is held lies
    // off the picture either way.
    const auto local = [](int32_t v, int32_t origin) {
      return int32_t(std::clamp<int64_t>(int64_t(v) - origin, INT32_MIN, INT32_MAX));
    };
    LayGlyph(image_, glyph, local(x, origin_.x), local(y, origin_.y),
             TScreenRect{local(clip.left, origin_.x), local(clip.top, origin_.y), local(clip.right, origin_.x),
                         local(clip.bottom, origin_.y)},
             rgb, max);
  }
  uint32_t& At(int32_t x, int32_t y) {
    return image_.pixels[size_t(y - origin_.y) * size_t(image_.width) + size_t(x - origin_.x)];
  }

 private:
  TImageArgb& image_;
  TPoint origin_;
};

uint16_t CodeAt(const std::string& text, size_t i, size_t n) {
  const auto b = static_cast<unsigned char>(text[i]);
  return n == 2 && text[i] != '\r' ? uint16_t(b << 8 | static_cast<unsigned char>(text[i + 1])) : b;
}

}  // namespace

IGlyphFont& TDrawnTextFieldSet::Font(const TFieldFont& font) {
  auto key = std::make_tuple(font.name, font.height, font.style);
  auto it = cache_.find(key);
  if (it == cache_.end()) {
    TFontRequest request;
    request.face = font.name;
    request.height = font.CellHeight();
    request.em = font.height < 0;
    request.style = font.style;
    it = cache_.emplace(key, fonts_.OpenFont(request)).first;
  }
  return *it->second;
}

int32_t TDrawnTextFieldSet::Advance(const TFieldFont& font, uint16_t code) { return Font(font).Advance(code); }

int32_t TDrawnTextFieldSet::RowHeight(const TFieldFont& font) {
  return std::max(Font(font).Metrics().tm.Height, 1);
}

std::vector<TPaintedField> TDrawnTextFieldSet::Paint() {
  std::vector<TPaintedField> out;
  for (const TTextFieldLook& look : VisibleLooks()) out.push_back(Paint(look));
  return out;
}

TPaintedField TDrawnTextFieldSet::Paint(const TTextFieldLook& look) {
  TPaintedField painted;
  painted.bounds = look.bounds;
  TImageArgb& image = painted.image;
  image.width = std::max(look.bounds.Width(), 0);
  image.height = std::max(look.bounds.Height(), 0);
  image.pixels.assign(size_t(image.width) * size_t(image.height), 0);
  if (image.pixels.empty()) return painted;
  TCanvas canvas(image, look.bounds);

  const uint32_t back = !look.enabled ? kFieldDisabledRgb : look.color < 0 ? kFieldWindowRgb : RgbOf(look.color);
  const uint32_t ink = look.enabled ? RgbOf(look.font_color) : kFieldGreyTextRgb;
  canvas.Fill(look.bounds, back, look.bounds);

  IGlyphFont& font = Font(look.font);
  const TFontMetrics& m = font.Metrics();
  const int32_t ascent = m.tm.Ascent;
  const TScreenRect& clip = look.content;
  const size_t sel_start = std::min(look.caret, look.anchor), sel_end = std::max(look.caret, look.anchor);
  const bool show_selection = look.focused && sel_start != sel_end;

  // One character at the pen; its cell filled with `cell` first when given.
  auto draw_char = [&](uint16_t code, int32_t pen, int32_t top, uint32_t fore, const uint32_t* cell) {
    const int32_t advance = font.Advance(code);
    if (cell) canvas.Fill(TScreenRect{pen, top, pen + advance, top + look.row_height}, *cell, clip);
    const int32_t baseline = top + ascent;
    if (font.Glyph(code, TGlyphFormat::Grey8, glyph_)) {
      canvas.Glyph(glyph_, pen + glyph_.origin_x, baseline - glyph_.origin_y, clip, fore,
                   MaxLevel(TGlyphFormat::Grey8));
    }
    // Underline and strike-out bars.
    auto bar = [&](int32_t position, int32_t size) {
      const int32_t y = baseline - position;
      canvas.Fill(TScreenRect{pen, y, pen + advance, y + std::max(size, 1)}, fore, clip);
    };
    if (look.font.style & kFontUnderline) bar(m.UnderscorePosition, m.UnderscoreSize);
    if (look.font.style & kFontStrikeOut) bar(m.StrikeoutPosition, int32_t(m.StrikeoutSize));
    return advance;
  };

  int32_t caret_x = -1, caret_top = 0;
  for (size_t r = 0; r < look.rows.size(); ++r) {
    const TFieldRow& row = look.rows[r];
    const int32_t top = look.RowTop(r);
    const bool caret_here = look.caret >= row.start && look.caret <= row.end &&
                            (r + 1 >= look.rows.size() || look.rows[r + 1].start > look.caret);
    int32_t pen = look.RowLeft(r);
    if (caret_here) caret_x = pen, caret_top = top;
    if (top + look.row_height <= clip.top || top >= clip.bottom) {
      if (!caret_here) continue;
    }
    for (size_t i = row.start; i < row.end;) {
      const size_t n = FieldCharLength(look.text, i);
      const bool selected = show_selection && i >= sel_start && i < sel_end;
      pen += draw_char(CodeAt(look.text, i, n), pen, top, selected ? kFieldSelectedTextRgb : ink,
                       selected ? &kFieldSelectionRgb : nullptr);
      i += n;
      if (caret_here && i == look.caret) caret_x = pen;
    }
  }

  if (look.focused && caret_x >= 0) {
    int32_t x = caret_x;
    if (!look.composition.empty()) {
      // The composition lies at the caret over the text, underlined; the caret after it.
      const int32_t bottom = caret_top + look.row_height;
      for (size_t i = 0; i < look.composition.size();) {
        const size_t n = FieldCharLength(look.composition, i);
        const int32_t advance = draw_char(CodeAt(look.composition, i, n), x, caret_top, ink, &back);
        canvas.Fill(TScreenRect{x, bottom - 1, x + advance, bottom}, ink, clip);
        x += advance;
        i += n;
      }
    }
    if (look.caret_on) canvas.Fill(TScreenRect{x, caret_top, x + 1, caret_top + look.row_height}, ink, clip);
  }

  if (look.kind == TTextFieldKind::MultiLine) {
    const TFieldScrollBar bar = look.ScrollBar();
    canvas.Fill(bar.bar, kFieldScrollTrackRgb, look.bounds);
    // Each arrow a small triangle in the middle of its square, pointing away from the track;
    // grey while there is nothing to scroll.
    const uint32_t arrow_rgb = bar.active ? kFieldScrollArrowRgb : kFieldScrollArrowOffRgb;
    auto arrow = [&](const TScreenRect& box, bool up) {
      constexpr int32_t kRows = 4;
      if (box.Height() < kRows || box.Width() < 2 * kRows - 1) return;
      const int32_t cx = box.left + box.Width() / 2, top = box.top + (box.Height() - kRows) / 2;
      for (int32_t i = 0; i < kRows; ++i) {
        const int32_t half = up ? i : kRows - 1 - i;
        canvas.Fill(TScreenRect{cx - half, top + i, cx + half + 1, top + i + 1}, arrow_rgb, look.bounds);
      }
    };
    arrow(bar.up, true);
    arrow(bar.down, false);
    if (!bar.thumb.IsEmpty()) {
      canvas.Fill(TScreenRect{bar.thumb.left + 2, bar.thumb.top, bar.thumb.right - 2, bar.thumb.bottom},
                  kFieldScrollThumbRgb, look.bounds);
    }
  }
  return painted;
}

}  // namespace kova::plat
