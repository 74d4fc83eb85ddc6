// A font with known glyphs for text tests: every character is a box of the cell's half width
// and three quarters of its height, its edge pixels one step below full coverage; the space and
// characters outside the printable range are blank with an advance of half the cell. It can fail
// every grey-level request, as a platform without smoothed outlines does.
#pragma once

#include <algorithm>

#include "text/text_font.h"

namespace kova::test {

class FakeTextFont : public TTextFont {
 public:
  bool FailGrey = false;
  int Selects = 0;

  bool Select(const TTextFontKey& key) override {
    ++Selects;
    key_ = key;
    const int32_t h = key.Height > 0 ? key.Height : 12;
    metrics_ = {};
    metrics_.Height = h;
    metrics_.Ascent = h * 7 / 8;
    metrics_.Descent = h - metrics_.Ascent;
    metrics_.AveCharWidth = h / 2;
    metrics_.MaxCharWidth = h;
    metrics_.Weight = key.Style & kStyleBold ? 700 : 400;
    metrics_.FixedPitch = true;
    metrics_.EmSquare = 2048;
    metrics_.UnderscoreSize = 1;
    metrics_.UnderscorePosition = -1;
    metrics_.StrikeoutSize = 1;
    metrics_.StrikeoutPosition = h / 3;
    return true;
  }
  const TTextFontMetrics& Metrics() const override { return metrics_; }
  bool Glyph(uint16_t code, TGlyphFormat format, TGlyphBitmap& out) override {
    if (FailGrey && format != TGlyphFormat::Mono) return false;
    out = {};
    out.CellIncX = Advance(code);
    if (Blank(code)) return true;
    out.BlackBoxX = std::max(1, metrics_.Height / 2);
    out.BlackBoxY = std::max(1, metrics_.Height * 3 / 4);
    out.OriginX = 1;
    out.OriginY = metrics_.Ascent;
    const uint8_t full = uint8_t(GlyphFormatMaxLevel(format));
    out.Levels.assign(size_t(out.BlackBoxX * out.BlackBoxY), full);
    for (int32_t y = 0; y < out.BlackBoxY; ++y) {
      for (int32_t x = 0; x < out.BlackBoxX; ++x) {
        if (x == 0 || y == 0 || x == out.BlackBoxX - 1 || y == out.BlackBoxY - 1) {
          out.Levels[size_t(y * out.BlackBoxX + x)] = uint8_t(full > 1 ? full - 1 : full);
        }
      }
    }
    return true;
  }
  TAbcWidths AbcWidths(uint16_t code) override {
    if (Blank(code)) return {0, 0, Advance(code)};
    const int32_t b = std::max(1, metrics_.Height / 2);
    return {1, b, Advance(code) - 1 - b};
  }
  int32_t TextWidth(uint16_t code) override { return Advance(code); }

 private:
  static bool Blank(uint16_t code) { return code <= 0x20 || code == 0x7F; }
  int32_t Advance(uint16_t code) const { return code < 256 ? metrics_.Height / 2 : metrics_.Height; }

  TTextFontKey key_;
  TTextFontMetrics metrics_;
};

}  // namespace kova::test
