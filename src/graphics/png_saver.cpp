// libpng reports fatal errors through a callback that must not return; it jumps back into
// WriteRows, which holds no C++ objects with destructors.
#include "graphics/png_saver.h"

#include <png.h>

#include <array>
#include <bit>
#include <csetjmp>
#include <cstdio>
#include <vector>

#include "graphics/dibx.h"

namespace kova {
namespace {

extern "C" void PngWriteError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
extern "C" void PngWriteWarning(png_structp, png_const_charp) {}

// One channel of a pixel widened to 8 bits by repeating its bits.
uint8_t Widen(uint32_t pixel, uint32_t mask) {
  if (mask == 0) return 0;
  const int shift = std::countr_zero(mask);
  const int bits = std::popcount(mask);
  uint32_t v = (pixel & mask) >> shift;
  if (bits >= 8) return uint8_t(v >> (bits - 8));
  uint32_t out = 0;
  int filled = 0;
  while (filled < 8) {
    out = (out << bits) | v;
    filled += bits;
  }
  return uint8_t(out >> (filled - 8));
}

bool WriteRows(std::FILE* file, uint32_t width, uint32_t height, png_bytep* rows) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, PngWriteError, PngWriteWarning);
  if (!png) return false;
  png_infop info = png_create_info_struct(png);
  if (!info || setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, info ? &info : nullptr);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  png_write_image(png, rows);
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
  return true;
}

}  // namespace

bool SaveSurfacePng(TCustomDIBX& surface, const std::string& host_path) {
  if (surface.IsEmpty()) return false;
  const int32_t w = surface.Width(), h = surface.Height();
  const int32_t bits = surface.BitCount();
  std::array<TRGBQuad, 256> palette{};
  if (bits <= 8) surface.GetPalette(palette);
  const uint32_t rm = surface.RedMask(), gm = surface.GreenMask(), bm = surface.BlueMask();
  std::vector<uint8_t> pixels(size_t(w) * size_t(h) * 3);
  std::vector<png_bytep> rows(static_cast<size_t>(h));
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* row = pixels.data() + size_t(y) * size_t(w) * 3;
    rows[size_t(y)] = row;
    for (int32_t x = 0; x < w; ++x) {
      const uint32_t p = surface.GetPixel(x, y);
      if (bits <= 8) {
        const TRGBQuad& c = palette[p & 255];
        row[3 * x] = c.Red;
        row[3 * x + 1] = c.Green;
        row[3 * x + 2] = c.Blue;
      } else {
        row[3 * x] = Widen(p, rm);
        row[3 * x + 1] = Widen(p, gm);
        row[3 * x + 2] = Widen(p, bm);
      }
    }
  }
  std::FILE* file = std::fopen(host_path.c_str(), "wb");
  if (!file) return false;
  bool ok = WriteRows(file, uint32_t(w), uint32_t(h), rows.data());
  ok = std::fclose(file) == 0 && ok;
  if (!ok) std::remove(host_path.c_str());
  return ok;
}

}  // namespace kova
