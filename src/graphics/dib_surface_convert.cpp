// Conversion of an alpha surface to another depth through the colour reduction.
#include <cstring>

#include "graphics/color_reduce.h"
#include "graphics/dib_surface.h"
#include "graphics/graphics_errors.h"

namespace kova {

void TDIBSurface::ConvertBitCount(int32_t bits, uint8_t max_index, bool dither) {
  switch (bits) {
    case 1: case 4: case 8: case 15: case 16: case 24: case 32: break;
    default: Raise<EDIBError>(TMsg::DibInvalidBitCount, int(bits));
  }
  if (Empty()) return;
  const int32_t w = Width(), h = Height();
  const int32_t storage = StorageBitCount();

  // The pixels as a top-down work image of the same format.
  TFastDIB src;
  switch (storage) {
    case 15: src.SetSize(w, h, 555, 16); break;
    case 16: src.SetSize(w, h, 565, 16); break;
    case 24: src.SetSize(w, h, 0, 24); break;
    default: src.SetSize(w, h, 888, BitCount()); break;
  }
  if (storage <= 8) {
    std::memcpy(src.Colors.data(), ColorTable().data(), sizeof(TRGBQuad) * size_t(1 << storage));
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) src.SetPixels8(y, x, uint8_t(GetPixel(x, y)));
  } else {
    const size_t row_bytes = size_t(w) * size_t((BitCount() + 7) / 8);
    for (int32_t y = 0; y < h; ++y) std::memcpy(src.Scanline(y), RowAddress(y), row_bytes);
  }

  TFastDIB dst;
  switch (bits) {
    case 15: dst.SetSize(w, h, 555, 16); break;
    case 16: dst.SetSize(w, h, 565, 16); break;
    case 32: dst.SetSize(w, h, 888, 32); break;
    default: dst.SetSize(w, h, 0, bits); break;
  }
  if (bits == 1 && storage >= 8) {
    TFastDIB four;
    four.SetSize(w, h, 0, 4);
    FastQuant(four, src, dither, 16);
    FastQuant(dst, four, dither, max_index);
  } else {
    FastQuant(dst, src, dither, max_index);
  }

  TDIBSurface::SetSize(w, h, bits);
  if (bits <= 8) std::memcpy(ColorTable().data(), dst.Colors.data(), sizeof(TRGBQuad) * size_t(1 << bits));
  for (int32_t y = 0; y < h; ++y) {
    uint8_t* row = RowAddress(y);
    const uint8_t* from = dst.Scanline(y);
    switch (bits) {
      case 1:
      case 4:
      case 8:
        for (int32_t x = 0; x < w; ++x) WriteViewPixel(row, x, bits, dst.Pixels8(y, x));
        break;
      case 15:
      case 16: std::memcpy(row, from, size_t(w) * 2); break;
      case 24: std::memcpy(row, from, size_t(w) * 3); break;
      case 32: {
        for (int32_t x = 0; x < w; ++x) {
          uint32_t v;
          std::memcpy(&v, from + 4 * x, 4);
          v |= 0xFF000000u;
          std::memcpy(row + 4 * x, &v, 4);
        }
        break;
      }
      default: break;
    }
  }
}

}  // namespace kova
