// A software view of pixel memory (what a device context is to the windowing system) and the one
// routine that copies pixels between views of any depths, scaling to the nearest pixel.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/types.h"
#include "graphics/pixel_format.h"

namespace kova {

struct TPixelView {
  uint8_t* Bits = nullptr;  // the top row
  ptrdiff_t Pitch = 0;      // signed byte step from one row to the row below it
  int32_t Width = 0;
  int32_t Height = 0;
  // 1, 4, 8 (palette indexes), 15 (5-5-5 in 16-bit words), 16 (5-6-5), 24 (blue, green, red
  // bytes) or 32 (blue in the low byte, top byte unused).
  int32_t BitCount = 0;
  const TRGBQuad* Palette = nullptr;  // the colour table at 8 bits or fewer
  int32_t PaletteCount = 0;

  uint8_t* Row(int32_t y) const { return Bits + ptrdiff_t(y) * Pitch; }
  TRect Bounds() const { return TRect{0, 0, Width, Height}; }
};

// Pixels of 1 bit (most significant bit first) and of 4 bits (high nibble first) within a row;
// `bits` is 1 or 4.
inline uint32_t ReadPackedPixel(const uint8_t* row, int32_t x, int32_t bits) {
  if (bits == 1) return (row[x >> 3] >> (7 - (x & 7))) & 1u;
  return (x & 1) ? row[x >> 1] & 0x0Fu : uint32_t(row[x >> 1] >> 4);
}
inline void WritePackedPixel(uint8_t* row, int32_t x, int32_t bits, uint32_t value) {
  if (bits == 1) {
    const uint8_t bit = uint8_t(0x80 >> (x & 7));
    row[x >> 3] = (value & 1) ? uint8_t(row[x >> 3] | bit) : uint8_t(row[x >> 3] & ~bit);
  } else {
    row[x >> 1] = (x & 1) ? uint8_t((row[x >> 1] & 0xF0) | (value & 0x0F))
                          : uint8_t((row[x >> 1] & 0x0F) | (value & 0x0F) << 4);
  }
}

// The raw value of pixel x of a row (index, 16-bit word, 24-bit value, 32-bit word).
uint32_t ReadViewPixel(const uint8_t* row, int32_t x, int32_t bit_count);
void WriteViewPixel(uint8_t* row, int32_t x, int32_t bit_count, uint32_t value);
// The colour of a raw pixel as $RRGGBB: through the palette at 8 bits or fewer, 5- and 6-bit
// channels widened by bit replication.
uint32_t ViewPixelToRgb(const TPixelView& view, uint32_t raw);
// The raw pixel of a colour $RRGGBB: the nearest palette entry at 8 bits or fewer, channels cut to
// their top bits at 15 and 16 bits, the top byte 0 at 32 bits.
uint32_t RgbToViewPixel(const TPixelView& view, uint32_t rgb);

// Copies `src_rect` of `src` into `dst_rect` of `dst`. Sizes that differ scale to the nearest
// pixel; pixels falling outside either view are left out. Equal depths copy raw values (at 8 bits
// or fewer the indexes); otherwise each pixel goes through its colour as described above, so a
// colour converted to another depth and back keeps its raw value wherever that depth can hold it.
void ConvertBlit(const TPixelView& dst, TRect dst_rect, const TPixelView& src, TRect src_rect);

}  // namespace kova
