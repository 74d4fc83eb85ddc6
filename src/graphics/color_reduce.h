// Colour reduction between work images: down to 16-bit formats (optionally with error-diffusion
// dithering), across 24 and 32 bits, and down to palettes of 1, 4 or 8 bits built from the
// picture's own colours.
#pragma once

#include <cstdint>

#include "graphics/fast_dib.h"
#include "graphics/palette_index.h"

namespace kova {

// Converts `src` into `dst` (same width and height; `dst` already sized to the wanted depth and
// format). `max_index` is the highest palette index the palette builder makes (0 counts as 255);
// palettes never hold more entries than the target depth.
void FastQuant(TFastDIB& dst, const TFastDIB& src, bool dither, uint8_t max_index);

}  // namespace kova
