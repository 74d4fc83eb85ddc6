// PNG files for test fixtures, written through libpng's own writer: every colour type and bit
// depth, palettes with transparency entries, a transparent colour, interlacing.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace kova::test {

struct PngDesc {
  int32_t width = 1;
  int32_t height = 1;
  // 0 grey, 2 RGB, 3 palette, 4 grey + alpha, 6 RGB + alpha (the file format's colour types).
  int color_type = 2;
  int bit_depth = 8;
  bool interlaced = false;
  // Samples of every pixel in file order (grey; R, G, B; index; grey, A; R, G, B, A), top row
  // first, each at the bit depth.
  std::vector<uint16_t> samples;
  std::vector<std::array<uint8_t, 3>> palette;  // red, green, blue
  std::vector<uint8_t> palette_alpha;           // tRNS of a palette picture
  std::optional<std::array<uint16_t, 3>> key;   // tRNS colour: red, green, blue (grey: [0])
};

std::vector<uint8_t> BuildPng(const PngDesc& desc);

}  // namespace kova::test
