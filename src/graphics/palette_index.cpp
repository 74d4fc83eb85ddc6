#include "graphics/palette_index.h"

#include <cstdlib>

namespace kova {

int32_t NearestPaletteIndex(const TPaletteEntry* entries, TColor color, int32_t count) {
  const int r = int(color & 0xFF), g = int((color >> 8) & 0xFF), b = int((color >> 16) & 0xFF);
  int32_t best = 0;
  int best_distance = 0x7FFFFFFF;
  for (int32_t i = 0; i < count; ++i) {
    const TPaletteEntry& e = entries[i];
    int d = std::abs(e.Red - r) + std::abs(e.Green - g) + std::abs(e.Blue - b);
    if (d == 0) return i;
    if (d < best_distance) {
      best_distance = d;
      best = i;
    }
  }
  return best;
}

int32_t PaletteIndexOf(std::span<const TPaletteEntry> palette, TColor color) {
  if (palette.empty()) return -1;
  int32_t count = palette.size() > 256 ? 256 : int32_t(palette.size());
  return NearestPaletteIndex(palette.data(), color, count);
}

}  // namespace kova
