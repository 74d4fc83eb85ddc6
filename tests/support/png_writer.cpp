#include "support/png_writer.h"

#include <png.h>

#include <stdexcept>

namespace kova::test {
namespace {

extern "C" void WriteToVector(png_structp png, png_bytep data, size_t length) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

extern "C" void FlushNothing(png_structp) {}

int Channels(int color_type) {
  switch (color_type) {
    case 0: case 3: return 1;
    case 4: return 2;
    case 2: return 3;
    case 6: return 4;
    default: throw std::invalid_argument("colour type");
  }
}

// Packs the samples of one row at the bit depth, big-endian as the file stores them.
std::vector<uint8_t> PackRow(const PngDesc& desc, int32_t y) {
  const int channels = Channels(desc.color_type);
  const size_t per_row = size_t(desc.width) * size_t(channels);
  std::vector<uint8_t> row((per_row * size_t(desc.bit_depth) + 7) / 8, 0);
  for (size_t i = 0; i < per_row; ++i) {
    const uint16_t v = desc.samples.at(size_t(y) * per_row + i);
    switch (desc.bit_depth) {
      case 16:
        row[i * 2] = uint8_t(v >> 8);
        row[i * 2 + 1] = uint8_t(v);
        break;
      case 8: row[i] = uint8_t(v); break;
      default: {
        const size_t bit = i * size_t(desc.bit_depth);
        row[bit / 8] |= uint8_t((v & ((1 << desc.bit_depth) - 1)) << (8 - desc.bit_depth - bit % 8));
      }
    }
  }
  return row;
}

}  // namespace

std::vector<uint8_t> BuildPng(const PngDesc& desc) {
  std::vector<uint8_t> out;
  std::vector<std::vector<uint8_t>> rows;
  for (int32_t y = 0; y < desc.height; ++y) rows.push_back(PackRow(desc, y));
  std::vector<png_bytep> pointers;
  for (auto& r : rows) pointers.push_back(r.data());

  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  // Fixtures are built from valid specs only; libpng's own error handler aborts on misuse.
  png_set_write_fn(png, &out, WriteToVector, FlushNothing);
  png_set_IHDR(png, info, png_uint_32(desc.width), png_uint_32(desc.height), desc.bit_depth, desc.color_type,
               desc.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  std::vector<png_color> palette;
  for (const auto& c : desc.palette) palette.push_back(png_color{c[0], c[1], c[2]});
  if (!palette.empty()) png_set_PLTE(png, info, palette.data(), int(palette.size()));
  png_color_16 key{};
  if (desc.key) {
    key.red = (*desc.key)[0];
    key.green = (*desc.key)[1];
    key.blue = (*desc.key)[2];
    key.gray = (*desc.key)[0];
  }
  if (!desc.palette_alpha.empty() || desc.key) {
    png_set_tRNS(png, info, desc.palette_alpha.empty() ? nullptr : const_cast<png_bytep>(desc.palette_alpha.data()),
                 int(desc.palette_alpha.size()), desc.key ? &key : nullptr);
  }
  png_write_info(png, info);
  png_write_image(png, pointers.data());
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return out;
}

}  // namespace kova::test
