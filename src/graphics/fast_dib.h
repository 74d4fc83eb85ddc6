// A plain top-down image with a table of row pointers: the work image of the colour reduction.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "graphics/pixel_format.h"

namespace kova {

class TFastDIB {
 public:
  TFastDIB() = default;
  TFastDIB(const TFastDIB&) = delete;
  TFastDIB& operator=(const TFastDIB&) = delete;

  // Nothing when all four are unchanged; else a new image with pixels 0. `format` is 555, 565 or
  // 888 (0: 888, or at 16 bits the display's 16-bit format); `bpp` is 1, 4, 8, 16, 24 or 32
  // (0: the display's depth). A negative height counts as its absolute value.
  void SetSize(int32_t width, int32_t height, int32_t format, int32_t bpp);

  uint8_t* Scanline(int32_t y) { return Bits + static_cast<ptrdiff_t>(y) * Stride; }
  const uint8_t* Scanline(int32_t y) const { return Bits + static_cast<ptrdiff_t>(y) * Stride; }
  // Index pixels of 1, 4 and 8 bits (1 bit: bit 7 - (x and 7); 4 bits: high nibble for even x).
  uint8_t Pixels8(int32_t y, int32_t x) const;
  void SetPixels8(int32_t y, int32_t x, uint8_t index);
  // The exact number of distinct pixel values (the low 24 bits at 32 bits).
  int32_t ColorCount() const;
  // The colour of pixel (x, y) as $RRGGBB (palette lookup; 5- and 6-bit channels replicated).
  uint32_t PixelRgb(int32_t y, int32_t x) const;

  uint8_t* Bits = nullptr;
  int32_t Width = 0;
  int32_t Height = 0;
  int32_t Bpp = 0;
  int32_t Format = 0;  // 555, 565 or 888 at 16 and 32 bits, else 0
  int32_t Stride = 0;
  int32_t Gap = 0;
  int32_t Size = 0;
  // Channel masks, the right shifts that bring an 8-bit value to the channel width, and the
  // channel positions (16 and 32 bits).
  uint32_t RMask = 0, GMask = 0, BMask = 0;
  int32_t RShr = 0, GShr = 0, BShr = 0;
  int32_t RPos = 0, GPos = 0, BPos = 0;
  std::array<TRGBQuad, 256> Colors{};

 private:
  std::unique_ptr<uint8_t[]> store_;
};

// The display's properties used when a work image names none. The screen is 32 bits per pixel
// on this platform, so both are fixed: depth 32, and 565 as the 16-bit format.
constexpr int32_t DisplayBitCount() { return 32; }
constexpr int32_t Display16BitFormat() { return 565; }

}  // namespace kova
