// How the platform's own drawn controls (the text fields and the message boxes) put a glyph on
// their pictures (0xAARRGGBB): a level l of the glyph's coverage, 0..max (levels above count as
// max), moves each of a pixel's red, green and blue from its value b toward the ink's f by
// (f - b) l / max, the quotient taken toward zero, and makes the pixel opaque; level 0 leaves it.
//
// This is the look of a native control's text, written once here for both controls. It is not
// the game's text look: the game maps a glyph's levels through its alpha tables and lays them with
// the pixel tables' Cover operation (graphics/pixels/ops.h), whose blend rounds differently, and
// the platform lies below graphics, so neither could use the other's without changing pixels.
#pragma once

#include <cstdint>

#include "platform/geometry.h"
#include "platform/text/glyph_fonts.h"
#include "platform/window/video.h"

namespace kova::plat {

// The glyph with its box's top-left at (x, y) of the picture, in the ink `rgb` (0xRRGGBB), on the
// pixels that lie in both the picture and `clip` (picture coordinates); max is the highest level
// of the glyph's format.
void LayGlyph(TImageArgb& image, const TGlyphBitmap& glyph, int32_t x, int32_t y, const TScreenRect& clip,
              uint32_t rgb, int32_t max);

}  // namespace kova::plat
