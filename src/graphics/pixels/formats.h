// The pixel formats in which drawing combines pixels, with their per-channel arithmetic. Every
// formula of the drawing code is written here once:
//   Blend(d, s, a)    ((d & M) * (255 - a) + (s & M) * a) >> 8 & M per channel, a 0..255
//   Blend255(d, s, a) the same divided by 255 (the alpha surface's translucency)
//   Scale(s, l)       (s & M) * l >> 8 & M per channel, l 0..256 (256 keeps s)
//   AddSat(d, x)      (d & M) + (x & M), M when above M
//   SubSat(d, x)      (d & M) - (x & M), 0 when below 0
// and the coverage of text (one byte 0..255 a pixel, no channels):
//   CoverUnion(c, m)  c + (255 - c) m / 255: coverage m laid over coverage c
//   CoverWeight(c, m) m 255 / CoverUnion(c, m), 255 where that is 0: the share of what is laid
// The channels of a pixel are its masks M left in place; the results of the channels are or-ed.
//
// The 32-bit pixel comes in two formats: P32 has three channels, so arithmetic writes its top
// byte 0 (the per-pixel results); P32Bytes treats all four bytes as channels (the row results of
// the 15-, 16- and 32-bit drawing rows, see DrawResultRule).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace kova::pixels {

enum class TFormat : uint8_t {
  P8,        // one 8-bit value, one channel (palette index or grey level)
  P555,      // 5-5-5 in a 16-bit word
  P565,      // 5-6-5 in a 16-bit word
  P24,       // blue, green, red bytes
  P32,       // 8-8-8 in the low 24 bits of a 32-bit word; arithmetic writes the top byte 0
  P32Bytes,  // a 32-bit word whose four bytes are each a channel
  None,      // nothing draws in this depth
};
constexpr size_t kFormatCount = 6;

constexpr int BytesOf(TFormat f) {
  switch (f) {
    case TFormat::P8: return 1;
    case TFormat::P555:
    case TFormat::P565: return 2;
    case TFormat::P24: return 3;
    case TFormat::P32:
    case TFormat::P32Bytes: return 4;
    default: return 0;
  }
}

// Internal linkage: the SIMD files are compiled for other instruction sets, and their copies of
// these helpers must never stand in for the plain ones.
namespace {

template <int Bytes>
inline uint32_t LoadPixel(const uint8_t* p) {
  if constexpr (Bytes == 1) {
    return *p;
  } else if constexpr (Bytes == 2) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
  } else if constexpr (Bytes == 3) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
  } else {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
  }
}

template <int Bytes>
inline void StorePixel(uint8_t* p, uint32_t v) {
  if constexpr (Bytes == 1) {
    *p = uint8_t(v);
  } else if constexpr (Bytes == 2) {
    const uint16_t w = uint16_t(v);
    std::memcpy(p, &w, 2);
  } else if constexpr (Bytes == 3) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
  } else {
    std::memcpy(p, &v, 4);
  }
}

inline uint32_t CoverUnion(uint32_t c, uint32_t m) { return c + (255 - c) * m / 255; }
inline uint32_t CoverWeight(uint32_t c, uint32_t m) {
  // No division at the ends: over full coverage the union is 255, over none it is m (and 0 for
  // m 0, which gives 255). In between the union is at least c, never 0.
  if (c == 255) return m;
  if (c == 0) return 255;
  return m * 255 / CoverUnion(c, m);
}

// Three channels R, G, B (masks in place) in a pixel of `Bytes` bytes.
template <int Bytes, uint32_t R, uint32_t G, uint32_t B>
struct TRgbFormat {
  static constexpr int kBytes = Bytes;
  // The bits a pixel of this size holds.
  static constexpr uint32_t kPixelMask = Bytes == 4 ? 0xFFFFFFFFu : (1u << (8 * Bytes)) - 1;
  static constexpr int kChannels = 3;
  static constexpr uint32_t kMasks[3] = {R, G, B};
  static constexpr bool kRgb888 = R == 0xFF0000 && G == 0xFF00 && B == 0xFF;
  static constexpr bool kEveryBitAChannel = ((R | G | B) & kPixelMask) == kPixelMask;

  static uint32_t Load(const uint8_t* p) { return LoadPixel<Bytes>(p); }
  static void Store(uint8_t* p, uint32_t v) { StorePixel<Bytes>(p, v); }

  static uint32_t Blend(uint32_t d, uint32_t s, uint32_t a) {
    const uint32_t na = 255 - a;
    if constexpr (kRgb888) {
      // Red and blue share one multiply: each 16-bit half holds at most 255 * 255.
      const uint32_t rb = (((d & 0xFF00FF) * na + (s & 0xFF00FF) * a) >> 8) & 0xFF00FF;
      const uint32_t g = (((d & 0xFF00) * na + (s & 0xFF00) * a) >> 8) & 0xFF00;
      return rb | g;
    } else {
      return ((((d & R) * na + (s & R) * a) >> 8) & R) | ((((d & G) * na + (s & G) * a) >> 8) & G) |
             ((((d & B) * na + (s & B) * a) >> 8) & B);
    }
  }
  // Worked on the channels shifted down, which gives the same bits as the masked form; every sum
  // x is at most 255 * 255, where x / 255 = (x + 1 + (x >> 8)) >> 8.
  static uint32_t Blend255(uint32_t d, uint32_t s, uint32_t a) {
    if constexpr (kRgb888) {
      // Red and blue in one multiply, each 16-bit half dividing on its own (no carry crosses).
      const uint32_t na = 255 - a;
      const uint32_t rb = (d & 0xFF00FF) * na + (s & 0xFF00FF) * a;
      const uint32_t g = ((d >> 8) & 0xFF) * na + ((s >> 8) & 0xFF) * a;
      return (((rb + 0x00010001 + ((rb >> 8) & 0x00FF00FF)) >> 8) & 0x00FF00FF) |
             (((g + 1 + (g >> 8)) >> 8) << 8);
    } else {
      return Ch255<R>(d, s, a) | Ch255<G>(d, s, a) | Ch255<B>(d, s, a);
    }
  }
  static uint32_t Scale(uint32_t s, uint32_t level) {
    if constexpr (kRgb888) {
      // Red and blue in one multiply: each 16-bit half holds at most 255 * 256.
      return (((s & 0xFF00FF) * level >> 8) & 0xFF00FF) | (((s & 0xFF00) * level >> 8) & 0xFF00);
    } else {
      return (((s & R) * level >> 8) & R) | (((s & G) * level >> 8) & G) | (((s & B) * level >> 8) & B);
    }
  }
  static uint32_t AddSat(uint32_t d, uint32_t x) {
    if constexpr (kRgb888) {
      // Red and blue side by side: a sum above 255 sets the bit above its byte, which becomes 255.
      uint32_t rb = (d & 0xFF00FF) + (x & 0xFF00FF);
      rb = (rb | (((rb & 0x01000100) >> 8) * 0xFF)) & 0xFF00FF;
      return rb | AddCh(d, x, G);
    } else {
      return AddCh(d, x, R) | AddCh(d, x, G) | AddCh(d, x, B);
    }
  }
  static uint32_t SubSat(uint32_t d, uint32_t x) {
    if constexpr (kRgb888) {
      // Each byte borrows from a bit set above it; where the bit is gone, the byte becomes 0.
      uint32_t rb = ((d & 0xFF00FF) | 0x01000100) - (x & 0xFF00FF);
      rb &= ((rb & 0x01000100) >> 8) * 0xFF;
      return (rb & 0xFF00FF) | SubCh(d, x, G);
    } else {
      return SubCh(d, x, R) | SubCh(d, x, G) | SubCh(d, x, B);
    }
  }

 private:
  template <uint32_t M>
  static uint32_t Ch255(uint32_t d, uint32_t s, uint32_t a) {
    constexpr int kShift = __builtin_ctz(M);
    const uint32_t x = ((d & M) >> kShift) * (255 - a) + ((s & M) >> kShift) * a;
    return ((x + 1 + (x >> 8)) >> 8) << kShift;
  }
  static uint32_t AddCh(uint32_t d, uint32_t x, uint32_t m) {
    const uint32_t t = (d & m) + (x & m);
    return t > m ? m : t;
  }
  static uint32_t SubCh(uint32_t d, uint32_t x, uint32_t m) { return (d & m) < (x & m) ? 0 : (d & m) - (x & m); }
};

using F8 = TRgbFormat<1, 0xFF0000, 0xFF00, 0xFF>;
using F555 = TRgbFormat<2, 0x7C00, 0x3E0, 0x1F>;
using F565 = TRgbFormat<2, 0xF800, 0x7E0, 0x1F>;
using F24 = TRgbFormat<3, 0xFF0000, 0xFF00, 0xFF>;
using F32 = TRgbFormat<4, 0xFF0000, 0xFF00, 0xFF>;

// The four bytes of a 32-bit pixel, each a channel; two bytes at a time in 16-bit halves, where
// nothing carries (each half holds at most 255 * 256).
struct F32Bytes {
  static constexpr int kBytes = 4;
  static constexpr uint32_t kPixelMask = 0xFFFFFFFFu;
  static constexpr int kChannels = 4;
  static constexpr uint32_t kMasks[4] = {0xFF000000u, 0xFF0000, 0xFF00, 0xFF};
  static constexpr bool kEveryBitAChannel = true;

  static uint32_t Load(const uint8_t* p) { return LoadPixel<4>(p); }
  static void Store(uint8_t* p, uint32_t v) { StorePixel<4>(p, v); }

  static uint32_t Blend(uint32_t d, uint32_t s, uint32_t a) {
    const uint32_t na = 255 - a;
    const uint32_t lo = ((d & 0x00FF00FF) * na + (s & 0x00FF00FF) * a) >> 8 & 0x00FF00FF;
    const uint32_t hi = (((d >> 8) & 0x00FF00FF) * na + ((s >> 8) & 0x00FF00FF) * a) & 0xFF00FF00;
    return lo | hi;
  }
  static uint32_t Blend255(uint32_t d, uint32_t s, uint32_t a) {
    uint32_t out = 0;
    for (int k = 0; k < 32; k += 8) out |= ((((d >> k) & 0xFF) * (255 - a) + ((s >> k) & 0xFF) * a) / 255) << k;
    return out;
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

// Calls visit(F{}) with the format's type; nothing for TFormat::None.
template <class Visit>
inline void VisitFormat(TFormat f, Visit&& visit) {
  switch (f) {
    case TFormat::P8: visit(F8{}); break;
    case TFormat::P555: visit(F555{}); break;
    case TFormat::P565: visit(F565{}); break;
    case TFormat::P24: visit(F24{}); break;
    case TFormat::P32: visit(F32{}); break;
    case TFormat::P32Bytes: visit(F32Bytes{}); break;
    case TFormat::None: break;
  }
}

}  // namespace
}  // namespace kova::pixels
