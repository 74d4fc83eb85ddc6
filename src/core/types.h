// Small shared records: rectangles, points, colours and the font style set.
#pragma once

#include <cstdint>

namespace kova {

// Right and Bottom are exclusive.
struct TRect {
  int32_t Left = 0;
  int32_t Top = 0;
  int32_t Right = 0;
  int32_t Bottom = 0;
  int32_t Width() const { return Right - Left; }
  int32_t Height() const { return Bottom - Top; }
  friend bool operator==(const TRect&, const TRect&) = default;
};

struct TPoint {
  int32_t X = 0;
  int32_t Y = 0;
  friend bool operator==(const TPoint&, const TPoint&) = default;
};

// Red in bits 0-7, green in bits 8-15, blue in bits 16-23.
using TColor = uint32_t;

constexpr TRect MakeRect(int32_t left, int32_t top, int32_t right, int32_t bottom) {
  return TRect{left, top, right, bottom};
}

// The font style set; element i is bit i of its integer form (FS_BOLD .. FS_STRIKEOUT).
struct TFontStyles {
  uint8_t bits = 0;
  bool Has(int element) const { return element >= 0 && element < 4 && (bits >> element) & 1; }
  void Include(int element) { if (element >= 0 && element < 4) bits |= uint8_t(1u << element); }
  void Exclude(int element) { if (element >= 0 && element < 4) bits &= uint8_t(~(1u << element)); }
  friend bool operator==(const TFontStyles&, const TFontStyles&) = default;
};

}  // namespace kova
