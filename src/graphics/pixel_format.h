// Pixel formats of bitmaps: the channel widths, masks and shifts of a packed RGB pixel, and the
// rules that pack 8-bit channels into a pixel (truncation) and unpack them (bit replication).
#pragma once

#include <cstdint>

namespace kova {

// One colour-table entry, in file order.
struct TRGBQuad {
  uint8_t Blue = 0;
  uint8_t Green = 0;
  uint8_t Red = 0;
  uint8_t Reserved = 0;
  friend bool operator==(const TRGBQuad&, const TRGBQuad&) = default;
};

// The twelve values of a packed RGB format. A shift aligns the channel's top bit with bit 7 of an
// 8-bit value: packing shifts the 8-bit value left by it (right for blue), unpacking right.
struct TDIBPixelFormat {
  uint32_t RBitMask = 0, GBitMask = 0, BBitMask = 0;
  int32_t RBitCount = 0, GBitCount = 0, BBitCount = 0;
  int32_t RShift = 0, GShift = 0, BShift = 0;
  int32_t RFill = 0, GFill = 0, BFill = 0;
  friend bool operator==(const TDIBPixelFormat&, const TDIBPixelFormat&) = default;
};

// The format of channels R, G, B bits wide, red highest and blue lowest.
TDIBPixelFormat MakeDIBPixelFormat(int32_t r_bits, int32_t g_bits, int32_t b_bits);
// The format whose widths are the runs of one bits starting at each mask's lowest set bit.
TDIBPixelFormat MakeDIBPixelFormatFromMasks(uint32_t r_mask, uint32_t g_mask, uint32_t b_mask);

inline const TDIBPixelFormat kFormat555 = MakeDIBPixelFormat(5, 5, 5);
inline const TDIBPixelFormat kFormat565 = MakeDIBPixelFormat(5, 6, 5);
inline const TDIBPixelFormat kFormat888 = MakeDIBPixelFormat(8, 8, 8);

namespace detail {
constexpr uint32_t ShiftLeft(uint32_t v, int32_t s) {
  return s >= 32 || s <= -32 ? 0 : (s >= 0 ? v << s : v >> -s);
}
}  // namespace detail

// Packs 8-bit channels: each channel keeps its top bits (truncation).
inline uint32_t PackPixel(const TDIBPixelFormat& f, uint32_t r, uint32_t g, uint32_t b) {
  return (detail::ShiftLeft(r, f.RShift) & f.RBitMask) | (detail::ShiftLeft(g, f.GShift) & f.GBitMask) |
         (detail::ShiftLeft(b, -f.BShift) & f.BBitMask);
}

// Unpacks a pixel into 8-bit channels. The channel's bits are repeated below themselves, so a
// 5-bit v becomes (v << 3) | (v >> 2) and a 6-bit v (v << 2) | (v >> 4): full-scale values stay
// full scale and packing the result again gives back v.
inline void UnpackPixel(const TDIBPixelFormat& f, uint32_t pixel, uint8_t& r, uint8_t& g, uint8_t& b) {
  uint32_t rv = detail::ShiftLeft(pixel & f.RBitMask, -f.RShift) & 0xFF;
  uint32_t gv = detail::ShiftLeft(pixel & f.GBitMask, -f.GShift) & 0xFF;
  uint32_t bv = detail::ShiftLeft(pixel & f.BBitMask, f.BShift) & 0xFF;
  if (f.RBitCount > 0 && f.RBitCount < 8) rv |= rv >> f.RBitCount;
  if (f.GBitCount > 0 && f.GBitCount < 8) gv |= gv >> f.GBitCount;
  if (f.BBitCount > 0 && f.BBitCount < 8) bv |= bv >> f.BBitCount;
  r = uint8_t(rv);
  g = uint8_t(gv);
  b = uint8_t(bv);
}

}  // namespace kova
