// Builds BMP file bytes field by field from the file format's description, for test fixtures:
// both header kinds, every depth, bit-field masks, top-down rows, RLE8/RLE4 streams and the
// damaged variants that loaders must refuse.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace kova::test {

struct BmpFields {
  int32_t width = 0;
  int32_t height = 0;  // negative: rows stored top-down
  uint16_t bit_count = 24;
  bool core_header = false;        // the 12-byte OS/2 header, 3-byte colour entries
  uint32_t compression = 0;        // 0 plain, 1 RLE8, 2 RLE4, 3 bit fields
  std::array<uint32_t, 3> masks{};  // red, green, blue (bit fields)
  std::vector<std::array<uint8_t, 3>> palette;  // red, green, blue
  uint32_t colors_used = 0;        // written as is into a 40-byte header
  std::vector<uint32_t> pixels;    // raw values, top row first (plain and bit fields)
  std::vector<uint8_t> rle;        // coded stream (RLE)
  uint32_t image_size = 0xFFFFFFFF;  // 0xFFFFFFFF: the true byte count
  uint32_t gap = 0;                // bytes between the tables and the pixels (offset follows)
};

std::vector<uint8_t> BuildBmp(const BmpFields& fields);

// RLE tokens.
class RleStream {
 public:
  RleStream& Run(uint8_t count, uint8_t value) { return Bytes({count, value}); }
  RleStream& EndOfLine() { return Bytes({0, 0}); }
  RleStream& EndOfBitmap() { return Bytes({0, 1}); }
  RleStream& Delta(uint8_t dx, uint8_t dy) { return Bytes({0, 2, dx, dy}); }
  // Literal run of 8-bit values, padded to an even byte count.
  RleStream& Literal8(const std::vector<uint8_t>& values);
  // Literal run of 4-bit values (two per byte, high nibble first), padded to an even byte count.
  RleStream& Literal4(const std::vector<uint8_t>& values);
  RleStream& Bytes(std::initializer_list<uint8_t> b) {
    bytes_.insert(bytes_.end(), b);
    return *this;
  }
  const std::vector<uint8_t>& Data() const { return bytes_; }

 private:
  std::vector<uint8_t> bytes_;
};

}  // namespace kova::test
