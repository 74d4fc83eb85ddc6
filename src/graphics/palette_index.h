// The nearest entry of a palette to a colour: the sum of the channel distances decides, an exact
// match returns at once, and among equal distances the first entry wins.
#pragma once

#include <cstdint>
#include <span>

#include "core/types.h"

namespace kova {

// One palette entry in logical-palette order.
struct TPaletteEntry {
  uint8_t Red = 0;
  uint8_t Green = 0;
  uint8_t Blue = 0;
  uint8_t Flags = 0;
  friend bool operator==(const TPaletteEntry&, const TPaletteEntry&) = default;
};

// Index of the entry nearest to `color` ($00BBGGRR) among the first `count` entries; 0 for none.
int32_t NearestPaletteIndex(const TPaletteEntry* entries, TColor color, int32_t count);
// The nearest index over up to 256 entries of a palette; -1 when the palette has no entries.
int32_t PaletteIndexOf(std::span<const TPaletteEntry> palette, TColor color);

}  // namespace kova
