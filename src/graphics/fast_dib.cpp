#include "graphics/fast_dib.h"

#include <cstring>

#include "graphics/graphics_errors.h"
#include "graphics/pixel_view.h"

namespace kova {
void TFastDIB::SetSize(int32_t width, int32_t height, int32_t format, int32_t bpp) {
  if (height < 0) height = -height;
  if (bpp == 0) bpp = DisplayBitCount();
  if (bpp == 16 && format == 0) format = Display16BitFormat();
  if (bpp == 32 && format == 0) format = 888;
  if (bpp != 16 && bpp != 32) format = 0;
  if (store_ && width == Width && height == Height && format == Format && bpp == Bpp) return;
  switch (bpp) {
    case 1: case 4: case 8: case 16: case 24: case 32: break;
    default: Raise<EDIBError>(TMsg::DibInvalidBitCount, int(bpp));
  }
  if (width < 0) width = 0;
  const int64_t stride = ((int64_t(bpp) * width + 31) & ~int64_t(31)) / 8;
  const int64_t size = stride * height;
  if (size > 0x7FFFFFFF) Raise<EDIBError>(TMsg::DibCannotCreate, "DIB");
  store_ = std::make_unique<uint8_t[]>(size_t(size) + 1);
  Bits = store_.get();
  Width = width;
  Height = height;
  Bpp = bpp;
  Format = format;
  Stride = int32_t(stride);
  Gap = int32_t(stride - (int64_t(bpp) * width + 7) / 8);
  Size = int32_t(size);
  RMask = GMask = BMask = 0;
  RShr = GShr = BShr = RPos = GPos = BPos = 0;
  if (format != 0) {
    const int32_t rw = format / 100, gw = format / 10 % 10, bw = format % 10;
    BPos = 0;
    GPos = bw;
    RPos = bw + gw;
    RShr = 8 - rw;
    GShr = 8 - gw;
    BShr = 8 - bw;
    RMask = ((1u << rw) - 1) << RPos;
    GMask = ((1u << gw) - 1) << GPos;
    BMask = (1u << bw) - 1;
  }
}

uint8_t TFastDIB::Pixels8(int32_t y, int32_t x) const {
  const uint8_t* row = Scanline(y);
  return Bpp == 1 || Bpp == 4 ? uint8_t(ReadPackedPixel(row, x, Bpp)) : row[x];
}

void TFastDIB::SetPixels8(int32_t y, int32_t x, uint8_t index) {
  uint8_t* row = Scanline(y);
  if (Bpp == 1 || Bpp == 4) {
    WritePackedPixel(row, x, Bpp, index);
  } else {
    row[x] = index;
  }
}

uint32_t TFastDIB::PixelRgb(int32_t y, int32_t x) const {
  const uint8_t* row = Scanline(y);
  switch (Bpp) {
    case 1:
    case 4:
    case 8: {
      const TRGBQuad& q = Colors[Pixels8(y, x)];
      return uint32_t(q.Red) << 16 | uint32_t(q.Green) << 8 | q.Blue;
    }
    case 16: {
      uint16_t v;
      std::memcpy(&v, row + 2 * x, 2);
      uint8_t r, g, b;
      UnpackPixel(Format == 555 ? kFormat555 : kFormat565, v, r, g, b);
      return uint32_t(r) << 16 | uint32_t(g) << 8 | b;
    }
    case 24: return uint32_t(row[3 * x]) | uint32_t(row[3 * x + 1]) << 8 | uint32_t(row[3 * x + 2]) << 16;
    default: {
      uint32_t v;
      std::memcpy(&v, row + 4 * x, 4);
      return v & 0xFFFFFF;
    }
  }
}

int32_t TFastDIB::ColorCount() const {
  int32_t count = 0;
  if (Bpp <= 8) {
    bool seen[256] = {};
    for (int32_t y = 0; y < Height; ++y)
      for (int32_t x = 0; x < Width; ++x) {
        uint8_t i = Pixels8(y, x);
        if (!seen[i]) {
          seen[i] = true;
          ++count;
        }
      }
    return count;
  }
  if (Bpp == 16) {
    std::vector<uint8_t> seen(65536, 0);
    for (int32_t y = 0; y < Height; ++y) {
      const uint8_t* row = Scanline(y);
      for (int32_t x = 0; x < Width; ++x) {
        uint16_t v;
        std::memcpy(&v, row + 2 * x, 2);
        if (!seen[v]) {
          seen[v] = 1;
          ++count;
        }
      }
    }
    return count;
  }
  std::vector<uint64_t> seen(size_t(1) << 18, 0);  // 2^24 bits
  for (int32_t y = 0; y < Height; ++y)
    for (int32_t x = 0; x < Width; ++x) {
      const uint32_t v = PixelRgb(y, x);
      uint64_t& word = seen[v >> 6];
      const uint64_t bit = uint64_t(1) << (v & 63);
      if (!(word & bit)) {
        word |= bit;
        ++count;
      }
    }
  return count;
}

}  // namespace kova
