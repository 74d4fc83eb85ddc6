// The game's picture as the platform takes it for presenting: a 15-, 16- or 32-bit buffer (5-5-5,
// 5-6-5 or X-8-8-8 with blue in the low bits, little-endian), with any row order, and the
// conversion of its rectangles into 32-bit X-8-8-8 rows. The 5- and 6-bit channels widen by bit
// replication, so black stays 0 and full intensity becomes 255.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/geometry.h"

namespace kova::plat {

struct TFrameBuffer {
  const uint8_t* top_row = nullptr;  // the first byte of the picture's top row
  ptrdiff_t pitch = 0;               // bytes from one row to the row below (negative: bottom-up)
  int32_t width = 0;
  int32_t height = 0;
  int32_t bits = 32;                 // 15, 16 or 32

  bool IsValid() const {
    return top_row && width > 0 && height > 0 && (bits == 15 || bits == 16 || bits == 32);
  }
  const uint8_t* Row(int32_t y) const { return top_row + pitch * y; }
};

// `rect` cut to the buffer (an empty rectangle when nothing is left).
TScreenRect ClipToFrame(const TFrameBuffer& frame, TScreenRect rect);

// Converts the pixels of `rect` (already inside the frame) to X-8-8-8 rows at `out`, `out_pitch`
// bytes apart (the top row first). Widened pixels get a top byte of 0; 32-bit pixels are copied
// as they are (the top byte is never shown).
void ConvertFrameRect(const TFrameBuffer& frame, const TScreenRect& rect, uint8_t* out,
                      ptrdiff_t out_pitch);

// One pixel of each format widened to X-8-8-8.
inline uint32_t Widen555(uint16_t p) {
  const uint32_t r = (p >> 10) & 31, g = (p >> 5) & 31, b = p & 31;
  return ((r << 3 | r >> 2) << 16) | ((g << 3 | g >> 2) << 8) | (b << 3 | b >> 2);
}
inline uint32_t Widen565(uint16_t p) {
  const uint32_t r = (p >> 11) & 31, g = (p >> 5) & 63, b = p & 31;
  return ((r << 3 | r >> 2) << 16) | ((g << 2 | g >> 4) << 8) | (b << 3 | b >> 2);
}

}  // namespace kova::plat
