// Fonts of blank glyphs: every character draws nothing and advances half the cell height, as a
// character the font cannot show does. The glyph layer of a machine without any usable outline
// font (the FreeType layer falls back to it) and of a build without FreeType.
#pragma once

#include "platform/text/glyph_fonts.h"

namespace kova::plat {

class TBlankGlyphFonts : public IGlyphFonts {
 public:
  // An em request is taken as the cell height (blank fonts have no internal leading).
  std::shared_ptr<IGlyphFont> OpenFont(const TFontRequest& request) override;
  // A blank font of a cell height (clamped into 1..kMaxCellHeight) and style.
  static std::shared_ptr<IGlyphFont> MakeFont(int32_t cell_height, uint8_t style);
};

}  // namespace kova::plat
