#include "graphics/pixel_format.h"

namespace kova {
namespace {

uint32_t LowMask(int32_t bits) { return bits >= 32 ? 0xFFFFFFFFu : bits <= 0 ? 0u : (1u << bits) - 1; }

int32_t RunOfOnes(uint32_t mask) {
  if (mask == 0) return 0;
  while ((mask & 1) == 0) mask >>= 1;
  int32_t n = 0;
  while (mask & 1) {
    ++n;
    mask >>= 1;
  }
  return n;
}

}  // namespace

TDIBPixelFormat MakeDIBPixelFormat(int32_t r_bits, int32_t g_bits, int32_t b_bits) {
  TDIBPixelFormat f;
  f.RBitMask = detail::ShiftLeft(LowMask(r_bits), g_bits + b_bits);
  f.GBitMask = detail::ShiftLeft(LowMask(g_bits), b_bits);
  f.BBitMask = LowMask(b_bits);
  f.RBitCount = r_bits;
  f.GBitCount = g_bits;
  f.BBitCount = b_bits;
  f.RShift = g_bits + b_bits - (8 - r_bits);
  f.GShift = b_bits - (8 - g_bits);
  f.BShift = 8 - b_bits;
  f.RFill = 8 - r_bits;
  f.GFill = 8 - g_bits;
  f.BFill = 8 - b_bits;
  return f;
}

TDIBPixelFormat MakeDIBPixelFormatFromMasks(uint32_t r_mask, uint32_t g_mask, uint32_t b_mask) {
  return MakeDIBPixelFormat(RunOfOnes(r_mask), RunOfOnes(g_mask), RunOfOnes(b_mask));
}

}  // namespace kova
