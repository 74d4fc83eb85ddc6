// libpng reports fatal errors through a callback that must not return; it jumps back into
// WriteRows, which holds no C++ objects with destructors.
#include "graphics/pictures/png_saver.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <vector>

#include "graphics/dibx.h"
#include "platform/window/frame_pixels.h"

namespace kova {
namespace {

extern "C" void PngWriteError(png_structp png, png_const_charp) { png_longjmp(png, 1); }
extern "C" void PngWriteWarning(png_structp, png_const_charp) {}

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
  const int32_t w = surface.Width(), h = surface.Height(), bits = surface.BitCount();
  if (surface.IsEmpty() || (bits != 15 && bits != 16 && bits != 32)) return false;
  // The platform's conversion of a picture into X-8-8-8 rows (narrow channels widened by bit
  // replication), then the rows packed to R, G, B bytes.
  std::vector<uint8_t> xrgb(size_t(w) * size_t(h) * 4);
  const uint8_t* top = surface.PixelAddress(0, 0);
  if (!top) return false;
  plat::TFrameBuffer frame{top, surface.Pitch(), w, h, bits};
  plat::ConvertFrameRect(frame, plat::TScreenRect{0, 0, w, h}, xrgb.data(), ptrdiff_t(w) * 4);
  surface.Unlock();
  std::vector<uint8_t> pixels(size_t(w) * size_t(h) * 3);
  std::vector<png_bytep> rows(static_cast<size_t>(h));
  for (size_t i = 0, n = size_t(w) * size_t(h); i < n; ++i) {
    pixels[3 * i] = xrgb[4 * i + 2];
    pixels[3 * i + 1] = xrgb[4 * i + 1];
    pixels[3 * i + 2] = xrgb[4 * i];
  }
  for (int32_t y = 0; y < h; ++y) rows[size_t(y)] = pixels.data() + size_t(y) * size_t(w) * 3;
  std::FILE* file = std::fopen(host_path.c_str(), "wb");
  if (!file) return false;
  bool ok = WriteRows(file, uint32_t(w), uint32_t(h), rows.data());
  ok = std::fclose(file) == 0 && ok;
  if (!ok) std::remove(host_path.c_str());
  return ok;
}

}  // namespace kova
