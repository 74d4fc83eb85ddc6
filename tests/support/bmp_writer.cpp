#include "support/bmp_writer.h"

#include <cstdlib>

#include "support/le_writer.h"

namespace kova::test {

RleStream& RleStream::Literal8(const std::vector<uint8_t>& values) {
  bytes_.push_back(0);
  bytes_.push_back(uint8_t(values.size()));
  bytes_.insert(bytes_.end(), values.begin(), values.end());
  if (values.size() & 1) bytes_.push_back(0);
  return *this;
}

RleStream& RleStream::Literal4(const std::vector<uint8_t>& values) {
  bytes_.push_back(0);
  bytes_.push_back(uint8_t(values.size()));
  size_t n = 0;
  for (size_t i = 0; i < values.size(); i += 2, ++n) {
    uint8_t hi = values[i] & 0x0F, lo = i + 1 < values.size() ? values[i + 1] & 0x0F : 0;
    bytes_.push_back(uint8_t(hi << 4 | lo));
  }
  if (n & 1) bytes_.push_back(0);
  return *this;
}

namespace {

std::vector<uint8_t> PackRows(const BmpFields& s) {
  const int32_t rows = std::abs(s.height);
  const size_t stride = (size_t(s.width) * s.bit_count + 31) / 32 * 4;
  std::vector<uint8_t> out;
  for (int32_t i = 0; i < rows; ++i) {
    // Stored row i is picture row i when top-down, else counted from the bottom.
    const int32_t y = s.height < 0 ? i : rows - 1 - i;
    std::vector<uint8_t> row(stride, 0);
    for (int32_t x = 0; x < s.width; ++x) {
      const uint32_t v = s.pixels.at(size_t(y) * size_t(s.width) + size_t(x));
      switch (s.bit_count) {
        case 1: row[size_t(x / 8)] |= uint8_t((v & 1) << (7 - x % 8)); break;
        case 4: row[size_t(x / 2)] |= uint8_t((v & 15) << (x % 2 ? 0 : 4)); break;
        case 8: row[size_t(x)] = uint8_t(v); break;
        case 16:
          row[size_t(2 * x)] = uint8_t(v);
          row[size_t(2 * x + 1)] = uint8_t(v >> 8);
          break;
        case 24:
          for (int k = 0; k < 3; ++k) row[size_t(3 * x + k)] = uint8_t(v >> (8 * k));
          break;
        case 32:
          for (int k = 0; k < 4; ++k) row[size_t(4 * x + k)] = uint8_t(v >> (8 * k));
          break;
        default: break;
      }
    }
    out.insert(out.end(), row.begin(), row.end());
  }
  return out;
}

}  // namespace

std::vector<uint8_t> BuildBmp(const BmpFields& s) {
  const bool rle = s.compression == 1 || s.compression == 2;
  const std::vector<uint8_t> pixels = rle ? s.rle : PackRows(s);
  LeWriter info;
  if (s.core_header) {
    info.U32(12).U16(uint16_t(s.width)).U16(uint16_t(s.height)).U16(1).U16(s.bit_count);
  } else {
    info.U32(40).I32(s.width).I32(s.height).U16(1).U16(s.bit_count).U32(s.compression);
    info.U32(s.image_size == 0xFFFFFFFF ? uint32_t(pixels.size()) : s.image_size);
    info.I32(2835).I32(2835).U32(s.colors_used).U32(0);
  }
  if (s.compression == 3) info.U32(s.masks[0]).U32(s.masks[1]).U32(s.masks[2]);
  for (const auto& c : s.palette) {
    info.U8(c[2]).U8(c[1]).U8(c[0]);
    if (!s.core_header) info.U8(0);
  }
  info.Fill(s.gap, 0xEE);
  const uint32_t offset = 14 + uint32_t(info.Size());
  LeWriter file;
  file.Raw("BM").U32(offset + uint32_t(pixels.size())).U16(0).U16(0).U32(offset);
  file.Raw(info.Bytes()).Raw(pixels);
  return file.Bytes();
}

}  // namespace kova::test
