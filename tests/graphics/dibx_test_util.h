// Helpers of the drawing-surface tests: memory surfaces from literal pixel rows, their pixels as
// vectors, and a guard that sets the result rule for one test.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "graphics/dibx.h"

namespace kova::test {

// A w x h surface of `bits` with every pixel `fill`.
inline void Make(TDIBX& s, int32_t w, int32_t h, int32_t bits, uint32_t fill = 0) {
  s.SetSize(w, h, bits);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) s.SetPixel(x, y, fill);
}

// One row of the given pixels.
inline void MakeRow(TDIBX& s, int32_t bits, std::initializer_list<uint32_t> pixels) {
  s.SetSize(int32_t(pixels.size()), 1, bits);
  int32_t x = 0;
  for (uint32_t p : pixels) s.SetPixel(x++, 0, p);
}

inline std::vector<uint32_t> RowOf(const TDIBX& s, int32_t y = 0) {
  std::vector<uint32_t> out;
  for (int32_t x = 0; x < s.Width(); ++x) out.push_back(s.GetPixel(x, y));
  return out;
}

inline std::vector<uint32_t> PixelsOf(const TDIBX& s) {
  std::vector<uint32_t> out;
  for (int32_t y = 0; y < s.Height(); ++y)
    for (int32_t x = 0; x < s.Width(); ++x) out.push_back(s.GetPixel(x, y));
  return out;
}

// Gives the surfaces drawn into the row results (true) or the per-pixel ones.
template <class... TSurface>
void SetRowResults(bool row, TSurface&... surfaces) {
  ((surfaces.RowResults = row), ...);
}

}  // namespace kova::test
