// Plain screen geometry shared by the platform services: points, sizes and rectangles in pixels.
#pragma once

#include <cstdint>

namespace kova::plat {

struct TPoint {
  int32_t x = 0;
  int32_t y = 0;
  friend bool operator==(const TPoint&, const TPoint&) = default;
};

struct TSize {
  int32_t width = 0;
  int32_t height = 0;
  friend bool operator==(const TSize&, const TSize&) = default;
};

// Right and bottom are exclusive.
struct TScreenRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
  int32_t Width() const { return right - left; }
  int32_t Height() const { return bottom - top; }
  bool IsEmpty() const { return right <= left || bottom <= top; }
  friend bool operator==(const TScreenRect&, const TScreenRect&) = default;
};

}  // namespace kova::plat
