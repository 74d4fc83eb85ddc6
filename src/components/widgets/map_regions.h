// The regions of a map image and the map file that defines them. A region is a rectangle, an
// ellipse or a polygon filled with the winding rule; it covers the pixels whose centres lie inside
// it. Hit tests and painting both go through one routine (the covered runs of a row), so what the
// pointer finds and what the picture shows always agree. A region keeps only its shape, never a
// pixel mask: a huge or far-away shape costs nothing beyond the rows that are asked for.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/types.h"

namespace kova {

// A run of covered pixels of one row: [x0, x1).
struct TMapSpan {
  int32_t x0 = 0, x1 = 0;
};

// Working room of the row routine, kept by a caller that walks many rows.
struct TMapRowScratch {
  struct TCross {
    double x;
    int32_t dir;
  };
  std::vector<TCross> crossings;
};

class TMapRegion {
 public:
  enum class TShape : uint8_t { Rectangle, Ellipse, Polygon };

  // The rectangle or ellipse of the map file: right and bottom inclusive.
  static TMapRegion Rect(int32_t left, int32_t top, int32_t right, int32_t bottom);
  static TMapRegion Ellipse(int32_t left, int32_t top, int32_t right, int32_t bottom);
  static TMapRegion Polygon(std::vector<TPoint> points);

  TShape Shape() const { return shape_; }
  // The box around every covered pixel (right and bottom exclusive); empty when nothing can be.
  TRect Bounds() const { return box_; }
  // The covered runs of row `y`, left to right, into `out` (cleared first).
  void RowSpans(int32_t y, std::vector<TMapSpan>& out, TMapRowScratch& scratch) const;
  bool Contains(TPoint p) const;

 private:
  TShape shape_ = TShape::Rectangle;
  TRect box_;
  std::vector<TPoint> points_;
};

struct TMapEntry {
  std::string text;
  TMapRegion region;
};

// Reads a whole map file (little-endian): int32 count; per region its text (int32 length and the
// bytes), a kind byte (0 rectangle, 1 ellipse, any other polygon), then 4 x int32 left, top,
// right, bottom, or int32 n and n x (int32 x, int32 y). A file cut short, or a count or length
// beyond the bytes left, raises EReadError (nothing is allocated for it). Bytes after the last
// region are ignored.
std::vector<TMapEntry> ReadMapFile(std::span<const uint8_t> bytes);

}  // namespace kova
