#include "support/fake_glyph_fonts.h"

#include <algorithm>

#include "platform/text/font_aliases.h"
#include "platform/text/text_codec.h"

namespace kova::test {

using plat::TGlyphFormat;

class FakeGlyphFont : public plat::IGlyphFont {
 public:
  FakeGlyphFont(FakeGlyphFonts& owner, std::string family, int32_t cell, uint8_t style)
      : owner_(owner), family_(std::move(family)), style_(style) {
    plat::TTextMetrics& t = metrics_.tm;
    t.Height = cell;
    t.Descent = cell / 4;
    t.Ascent = cell - t.Descent;
    t.AveCharWidth = std::max(1, cell / 2) + Bold();
    t.MaxCharWidth = cell + Bold();
    t.Weight = Bold() ? 700 : 400;
    t.Italic = (style & plat::kFontItalic) ? 255 : 0;
    t.Underlined = (style & plat::kFontUnderline) ? 255 : 0;
    t.StruckOut = (style & plat::kFontStrikeOut) ? 255 : 0;
    t.PitchAndFamily = plat::kTmVector | plat::kTmOutline | plat::kTmVariablePitch;
    metrics_.EmSquare = 1000;
    const int32_t bar = std::max(1, cell / 16);
    metrics_.UnderscoreSize = bar;
    metrics_.UnderscorePosition = std::max(-(t.Descent / 2), bar - t.Descent);
    metrics_.StrikeoutSize = static_cast<uint32_t>(bar);
    metrics_.StrikeoutPosition = std::clamp(t.Ascent / 2, bar - t.Descent, t.Ascent);
  }

  const plat::TFontMetrics& Metrics() const override { return metrics_; }
  const std::string& Family() const override { return family_; }

  bool Glyph(uint16_t code, TGlyphFormat format, plat::TGlyphBitmap& out) override {
    ++owner_.glyphs_made[format];
    out = plat::TGlyphBitmap{};
    if (owner_.fail_grey && format != TGlyphFormat::Mono) return false;
    const FakeGlyphFonts::Shape shape = ShapeOf(code);
    out.advance = shape.advance;
    if (shape.width <= 0 || shape.height <= 0) return true;
    out.width = shape.width;
    out.height = shape.height;
    out.origin_x = shape.origin_x;
    out.origin_y = shape.origin_y;
    const int max = plat::MaxLevel(format);
    for (uint8_t c : shape.coverage) {
      uint8_t level = plat::CoverageToLevel(c, max);
      if (owner_.overshoot_levels && c == 255) level = static_cast<uint8_t>(max + 1);
      out.levels.push_back(level);
    }
    return true;
  }

  plat::TAbcWidths AbcWidths(uint16_t code) override {
    const FakeGlyphFonts::Shape shape = ShapeOf(code);
    if (shape.width <= 0 || shape.height <= 0) return {0, 0, shape.advance};
    return {shape.origin_x, shape.width, shape.advance - shape.origin_x - shape.width};
  }

  int32_t Advance(uint16_t code) override { return ShapeOf(code).advance; }

 private:
  int32_t Bold() const { return (style_ & plat::kFontBold) ? plat::kBoldWidening : 0; }

  // A code of the code page: a printable single byte or a lead and a trail byte.
  static bool IsCharacter(uint16_t code) {
    if (code < 0x100) return (code >= 0x20 && code <= 0x7E) || (code >= 0xA1 && code <= 0xDF);
    const unsigned lead = code >> 8, trail = code & 0xFF;
    return ((lead >= 0x81 && lead <= 0x9F) || (lead >= 0xE0 && lead <= 0xFC)) && trail >= 0x40 &&
           trail <= 0xFC && trail != 0x7F;
  }

  FakeGlyphFonts::Shape ShapeOf(uint16_t code) const {
    const int32_t cell = metrics_.tm.Height;
    if (!IsCharacter(code) || owner_.missing_.count(code)) return {0, 0, 0, 0, cell / 2, {}};
    auto it = owner_.shapes_.find(code);
    if (it == owner_.shapes_.end()) return FakeGlyphFonts::BoxShape(code, cell, style_);
    FakeGlyphFonts::Shape s = it->second;
    if (Bold() && s.width > 0 && s.height > 0) {
      // Widen by one column: each row takes its last pixel once more.
      std::vector<uint8_t> wide;
      for (int32_t y = 0; y < s.height; ++y) {
        const auto row = s.coverage.begin() + y * s.width;
        wide.insert(wide.end(), row, row + s.width);
        wide.push_back(row[s.width - 1]);
      }
      s.coverage = std::move(wide);
      s.width += 1;
    }
    s.advance += Bold();
    return s;
  }

  FakeGlyphFonts& owner_;
  std::string family_;
  uint8_t style_;
  plat::TFontMetrics metrics_;
};

FakeGlyphFonts::Shape FakeGlyphFonts::BoxShape(uint16_t code, int32_t cell_height, uint8_t style) {
  const int32_t cell = plat::ClampCellHeight(cell_height);
  const int32_t bold = (style & plat::kFontBold) ? plat::kBoldWidening : 0;
  Shape s;
  s.advance = (code > 0xFF ? cell : cell / 2) + bold;
  if (code == 0x20 || code == 0x8140) return s;
  const int32_t ascent = cell - cell / 4;
  s.width = std::max(1, s.advance - bold - 2) + bold;
  s.height = std::max(1, ascent - 1);
  s.origin_x = 1;
  s.origin_y = s.height;
  s.coverage.assign(static_cast<size_t>(s.width) * static_cast<size_t>(s.height), 255);
  for (int32_t y = 0; y < s.height; ++y) {
    for (int32_t x = 0; x < s.width; ++x) {
      if (x == 0 || y == 0 || x == s.width - 1 || y == s.height - 1) {
        s.coverage[static_cast<size_t>(y * s.width + x)] = 128;
      }
    }
  }
  return s;
}

std::shared_ptr<plat::IGlyphFont> FakeGlyphFonts::OpenFont(const plat::TFontRequest& request) {
  std::string face(request.face);
  if (!faces.empty() && std::find(faces.begin(), faces.end(), face) == faces.end()) {
    face = plat::Utf8ToCp932(plat::kFallbackFace);
  }
  // An em height is the cell height less nothing: the fake fonts have no internal leading.
  const int32_t cell = plat::ClampCellHeight(request.height);
  const uint8_t style = request.style & 0x0F;
  auto& font = fonts_[{face, cell, style}];
  if (!font) {
    font = std::make_shared<FakeGlyphFont>(*this, plat::Cp932ToUtf8(face), cell, style);
    ++fonts_made;
  }
  return font;
}

}  // namespace kova::test
