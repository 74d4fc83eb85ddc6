#include "platform/fields/drawn_glyphs.h"

#include <algorithm>

namespace kova::plat {

namespace {

// One pixel's red, green and blue (0xRRGGBB each) at `level` of `max` from `back` toward `fore`.
uint32_t MixLevel(uint32_t back, uint32_t fore, int32_t level, int32_t max) {
  auto channel = [&](int shift) {
    const int32_t b = int32_t(back >> shift & 0xFF), f = int32_t(fore >> shift & 0xFF);
    return uint32_t(b + (f - b) * level / max) << shift;
  };
  return channel(16) | channel(8) | channel(0);
}

}  // namespace

void LayGlyph(TImageArgb& image, const TGlyphBitmap& glyph, int32_t x, int32_t y, const TScreenRect& clip,
              uint32_t rgb, int32_t max) {
  if (glyph.Blank() || max <= 0) return;
  // The box cut to the picture and the clip, in 64 bits: positions and sizes are any int32.
  const int64_t left = std::max({int64_t(x), int64_t(clip.left), int64_t(0)});
  const int64_t top = std::max({int64_t(y), int64_t(clip.top), int64_t(0)});
  const int64_t right = std::min({int64_t(x) + glyph.width, int64_t(clip.right), int64_t(image.width)});
  const int64_t bottom = std::min({int64_t(y) + glyph.height, int64_t(clip.bottom), int64_t(image.height)});
  for (int64_t py = top; py < bottom; ++py) {
    const uint8_t* levels = glyph.levels.data() + size_t(py - y) * size_t(glyph.width) + size_t(left - x);
    uint32_t* row = image.pixels.data() + size_t(py) * size_t(image.width) + size_t(left);
    for (int64_t i = 0; i < right - left; ++i) {
      const int32_t level = std::min<int32_t>(levels[i], max);
      if (level != 0) row[i] = 0xFF000000u | MixLevel(row[i] & 0xFFFFFF, rgb, level, max);
    }
  }
}

}  // namespace kova::plat
