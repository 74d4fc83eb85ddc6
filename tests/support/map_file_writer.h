// Builds map files of the map image from their layout (little-endian): the region count, then per
// region its text, a kind byte (0 rectangle, 1 ellipse, 2 polygon) and the shape's numbers.
// `count` may be set by hand to describe more regions than are written.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kova::test {

class MapFileWriter {
 public:
  // Right and bottom inclusive, as the file holds them.
  MapFileWriter& Rect(const std::string& text, int32_t left, int32_t top, int32_t right, int32_t bottom);
  MapFileWriter& Ellipse(const std::string& text, int32_t left, int32_t top, int32_t right, int32_t bottom);
  MapFileWriter& Polygon(const std::string& text, const std::vector<std::pair<int32_t, int32_t>>& points,
                         uint8_t kind = 2);

  // The count written; by default the number of regions added.
  std::optional<int32_t> count;
  std::vector<uint8_t> Bytes() const;

 private:
  int32_t added_ = 0;
  std::vector<uint8_t> body_;
};

}  // namespace kova::test
