#include "platform/text/blank_glyph_fonts.h"

#include <algorithm>

namespace kova::plat {
namespace {

class TBlankFont : public IGlyphFont {
 public:
  TBlankFont(int32_t cell, uint8_t style) {
    TTextMetrics& t = metrics_.tm;
    t.Height = cell;
    t.Ascent = cell * 4 / 5;
    t.Descent = cell - t.Ascent;
    t.AveCharWidth = t.MaxCharWidth = std::max(1, cell / 2);
    t.Weight = (style & kFontBold) ? 700 : 400;
    t.Italic = (style & kFontItalic) ? 255 : 0;
    t.Underlined = (style & kFontUnderline) ? 255 : 0;
    t.StruckOut = (style & kFontStrikeOut) ? 255 : 0;
    t.PitchAndFamily = kTmVector | kTmOutline | kTmFamilyModern;
    metrics_.EmSquare = 1000;
    // One-pixel bars inside the cell.
    metrics_.StrikeoutPosition = std::min(t.Ascent, std::max(1, t.Ascent / 3));
    metrics_.UnderscorePosition = 1 - std::max(1, t.Descent);
  }
  const TFontMetrics& Metrics() const override { return metrics_; }
  const std::string& Family() const override { return family_; }
  bool Glyph(uint16_t, TGlyphFormat, TGlyphBitmap& out) override {
    out.width = out.height = out.origin_x = out.origin_y = 0;
    out.levels.clear();
    out.advance = Half();
    return true;
  }
  TAbcWidths AbcWidths(uint16_t) override { return {0, 0, Half()}; }
  int32_t Advance(uint16_t) override { return Half(); }

 private:
  int32_t Half() const { return metrics_.tm.Height / 2; }

  TFontMetrics metrics_;
  std::string family_;
};

}  // namespace

std::shared_ptr<IGlyphFont> TBlankGlyphFonts::MakeFont(int32_t cell_height, uint8_t style) {
  return std::make_shared<TBlankFont>(ClampCellHeight(cell_height), style);
}

std::shared_ptr<IGlyphFont> TBlankGlyphFonts::OpenFont(const TFontRequest& request) {
  return MakeFont(request.height, request.style);
}

}  // namespace kova::plat
