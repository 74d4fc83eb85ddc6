// Per-pixel formulas of the drawing operations. Two families:
// - TChannels<R, G, B>: the three channels with their masks, in place (d & M ...), the top byte of
//   a 32-bit pixel written 0; the per-pixel results, and the row results at 15 and 16 bits.
// - TBytes32: the four bytes of a 32-bit pixel, each treated as a channel (the top byte too); the
//   row results at 32 bits. The SIMD rows reproduce these bit for bit.
// Weights and levels are 0..255.
#pragma once

#include <cstdint>

namespace kova::kernels {
// Internal linkage: the SIMD files are compiled for other instruction sets, and their copies of
// these helpers must never stand in for the plain ones.
namespace {

template <uint32_t R, uint32_t G, uint32_t B>
struct TChannels {
  static constexpr uint32_t kR = R, kG = G, kB = B;

  static uint32_t Ch(uint32_t d, uint32_t s, uint32_t a, uint32_t m) {
    return (((d & m) * (255 - a) + (s & m) * a) >> 8) & m;
  }
  // ((d & M) * (255 - a) + (s & M) * a) >> 8 & M per channel.
  static uint32_t Blend(uint32_t d, uint32_t s, uint32_t a) { return Ch(d, s, a, R) | Ch(d, s, a, G) | Ch(d, s, a, B); }
  // (s & M) * level >> 8 & M per channel.
  static uint32_t Scale(uint32_t s, uint32_t level) {
    return (((s & R) * level >> 8) & R) | (((s & G) * level >> 8) & G) | (((s & B) * level >> 8) & B);
  }
  static uint32_t AddCh(uint32_t d, uint32_t x, uint32_t m) {
    const uint32_t t = (d & m) + (x & m);
    return t > m ? m : t;
  }
  // (d & M) + (x & M), M when above M.
  static uint32_t AddSat(uint32_t d, uint32_t x) { return AddCh(d, x, R) | AddCh(d, x, G) | AddCh(d, x, B); }
  static uint32_t SubCh(uint32_t d, uint32_t x, uint32_t m) {
    const int64_t t = int64_t(d & m) - int64_t(x & m);
    return t < 0 ? 0 : uint32_t(t) & m;
  }
  // (d & M) - (x & M), 0 when below 0.
  static uint32_t SubSat(uint32_t d, uint32_t x) { return SubCh(d, x, R) | SubCh(d, x, G) | SubCh(d, x, B); }
};

using T565 = TChannels<0xF800, 0x7E0, 0x1F>;
using T555 = TChannels<0x7C00, 0x3E0, 0x1F>;
using T888 = TChannels<0xFF0000, 0xFF00, 0xFF>;

struct TBytes32 {
  // Two bytes at a time in 16-bit halves: each half holds at most 255 * 255, so nothing carries.
  static uint32_t Blend(uint32_t d, uint32_t s, uint32_t a) {
    const uint32_t ia = 255 - a;
    const uint32_t lo = ((d & 0x00FF00FF) * ia + (s & 0x00FF00FF) * a) >> 8 & 0x00FF00FF;
    const uint32_t hi = (((d >> 8) & 0x00FF00FF) * ia + ((s >> 8) & 0x00FF00FF) * a) & 0xFF00FF00;
    return lo | hi;
  }
  static uint32_t Scale(uint32_t s, uint32_t level) {
    const uint32_t lo = ((s & 0x00FF00FF) * level >> 8) & 0x00FF00FF;
    const uint32_t hi = (((s >> 8) & 0x00FF00FF) * level) & 0xFF00FF00;
    return lo | hi;
  }
  static uint32_t AddSat(uint32_t d, uint32_t x) {
    uint32_t lo = (d & 0x00FF00FF) + (x & 0x00FF00FF);
    uint32_t hi = ((d >> 8) & 0x00FF00FF) + ((x >> 8) & 0x00FF00FF);
    lo = (lo | (((lo & 0x01000100) >> 8) * 0xFF)) & 0x00FF00FF;
    hi = (hi | (((hi & 0x01000100) >> 8) * 0xFF)) & 0x00FF00FF;
    return lo | (hi << 8);
  }
  static uint32_t SubSat(uint32_t d, uint32_t x) {
    uint32_t lo = ((d & 0x00FF00FF) | 0x01000100) - (x & 0x00FF00FF);
    uint32_t hi = (((d >> 8) & 0x00FF00FF) | 0x01000100) - ((x >> 8) & 0x00FF00FF);
    lo &= ((lo & 0x01000100) >> 8) * 0xFF;
    hi &= ((hi & 0x01000100) >> 8) * 0xFF;
    return (lo & 0x00FF00FF) | ((hi & 0x00FF00FF) << 8);
  }
};

// ---- Row results at 32 bits, one pixel (the reference of the SIMD rows) ----

inline uint32_t FillAlphaPx(uint32_t d, uint32_t color, uint32_t alpha) {
  return d == color ? d : TBytes32::Blend(d, color, alpha);
}
// Level 255 and above weighs by the mask value itself.
inline uint32_t FillMaskPx(uint32_t d, uint32_t m, uint32_t color, uint32_t level) {
  if (m == 0 || d == color) return d;
  const uint32_t a = level >= 255 ? m : m * level >> 8;
  return TBytes32::Blend(d, color, a);
}
inline uint32_t BlendPx(uint32_t d, uint32_t s, uint32_t alpha, bool keyed, uint32_t key) {
  if ((keyed && s == key) || d == s) return d;
  return TBytes32::Blend(d, s, alpha);
}
inline uint32_t MaskPx(uint32_t d, uint32_t s, uint32_t m) {
  if (m == 0 || d == s) return d;
  if (m == 255) return s;
  return TBytes32::Blend(d, s, m);
}
inline uint32_t MaskAlphaPx(uint32_t d, uint32_t s, uint32_t m, uint32_t alpha) {
  if (m == 0 || d == s) return d;
  return TBytes32::Blend(d, s, m * alpha >> 8);
}
inline uint32_t AddPx(uint32_t d, uint32_t s, uint32_t level, bool keyed, uint32_t key) {
  if (keyed && s == key) return d;
  return TBytes32::AddSat(d, TBytes32::Scale(s, level));
}
inline uint32_t MaskAddPx(uint32_t d, uint32_t s, uint32_t m, uint32_t level) {
  return TBytes32::AddSat(d, TBytes32::Scale(s, m * level >> 8));
}

}  // namespace
}  // namespace kova::kernels
