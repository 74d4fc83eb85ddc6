// Pictures and expected pixels for the transitions' tests: surfaces filled from a colour function,
// and the per-channel arithmetic of the drawing operations written out from their definitions
// (blend ((d & M) (255 - a) + (s & M) a) >> 8, saturating add and subtract).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "graphics/dibx.h"

namespace kova::wipetest {

// $00BBGGRR from channels.
inline int32_t Rgb(int32_t r, int32_t g, int32_t b) { return (r & 0xFF) | (g & 0xFF) << 8 | (b & 0xFF) << 16; }

// A memory surface whose pixel (x, y) is ColorToPixel(colour(x, y)).
inline std::unique_ptr<TDIBX> Picture(int32_t w, int32_t h, int32_t bits,
                                      const std::function<int32_t(int32_t, int32_t)>& colour) {
  auto s = std::make_unique<TDIBX>();
  s->SetSize(w, h, bits);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) s->SetPixel(x, y, uint32_t(s->ColorToPixel(colour(x, y))));
  return s;
}

// Distinct, never black or white colours for the "old" and "new" pictures.
inline int32_t OldColour(int32_t x, int32_t y) { return Rgb(40 + 7 * x, 60 + 5 * y, 200 - 3 * (x + y)); }
inline int32_t NewColour(int32_t x, int32_t y) { return Rgb(220 - 6 * y, 30 + 9 * x, 90 + 4 * (x ^ y)); }

template <typename Op>
uint32_t PerChannel(const TCustomDIBX& s, uint32_t d, uint32_t x, Op op) {
  uint32_t out = 0;
  for (uint32_t m : {s.RedMask(), s.GreenMask(), s.BlueMask()})
    out |= uint32_t(op(uint64_t(d & m), uint64_t(x & m), m)) & m;
  return out;
}

// The row results of a blend: level 0 draws nothing, and a destination pixel equal to the source
// stays.
inline uint32_t Blend(const TCustomDIBX& s, uint32_t d, uint32_t src, uint32_t a) {
  if (a == 0 || d == src) return d;
  return PerChannel(s, d, src, [a](uint64_t dc, uint64_t sc, uint32_t) { return (dc * (255 - a) + sc * a) >> 8; });
}

inline uint32_t AddSat(const TCustomDIBX& s, uint32_t d, uint32_t c) {
  return PerChannel(s, d, c, [](uint64_t dc, uint64_t cc, uint32_t m) { return dc + cc > m ? m : dc + cc; });
}

inline uint32_t SubSat(const TCustomDIBX& s, uint32_t d, uint32_t c) {
  return PerChannel(s, d, c, [](uint64_t dc, uint64_t cc, uint32_t) { return dc > cc ? dc - cc : 0; });
}

inline uint32_t Grey(const TCustomDIBX& s, int32_t g) { return uint32_t(s.ColorToPixel(g * 0x010101)); }

// The first pixel where two surfaces differ, as text; empty when they are equal.
inline std::string FirstDifference(const TCustomDIBX& a, const TCustomDIBX& b) {
  if (a.Width() != b.Width() || a.Height() != b.Height()) return "sizes differ";
  for (int32_t y = 0; y < a.Height(); ++y)
    for (int32_t x = 0; x < a.Width(); ++x)
      if (a.GetPixel(x, y) != b.GetPixel(x, y))
        return "(" + std::to_string(x) + ", " + std::to_string(y) + "): " + std::to_string(a.GetPixel(x, y)) +
               " != " + std::to_string(b.GetPixel(x, y));
  return {};
}

}  // namespace kova::wipetest
