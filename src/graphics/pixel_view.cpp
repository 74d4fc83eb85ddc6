#include "graphics/pixel_view.h"

#include <cstring>
#include <vector>

#include "graphics/palette_index.h"

namespace kova {

uint32_t ReadViewPixel(const uint8_t* row, int32_t x, int32_t bit_count) {
  switch (bit_count) {
    case 1:
    case 4: return ReadPackedPixel(row, x, bit_count);
    case 8: return row[x];
    case 15:
    case 16: {
      uint16_t v;
      std::memcpy(&v, row + 2 * x, 2);
      return v;
    }
    case 24: {
      const uint8_t* p = row + 3 * x;
      return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
    }
    case 32: {
      uint32_t v;
      std::memcpy(&v, row + 4 * x, 4);
      return v;
    }
    default: return 0;
  }
}

void WriteViewPixel(uint8_t* row, int32_t x, int32_t bit_count, uint32_t value) {
  switch (bit_count) {
    case 1:
    case 4: WritePackedPixel(row, x, bit_count, value); break;
    case 8: row[x] = uint8_t(value); break;
    case 15:
    case 16: {
      uint16_t v = uint16_t(value);
      std::memcpy(row + 2 * x, &v, 2);
      break;
    }
    case 24: {
      uint8_t* p = row + 3 * x;
      p[0] = uint8_t(value);
      p[1] = uint8_t(value >> 8);
      p[2] = uint8_t(value >> 16);
      break;
    }
    case 32: std::memcpy(row + 4 * x, &value, 4); break;
    default: break;
  }
}

uint32_t ViewPixelToRgb(const TPixelView& view, uint32_t raw) {
  uint8_t r, g, b;
  switch (view.BitCount) {
    case 1:
    case 4:
    case 8: {
      if (!view.Palette || int32_t(raw) >= view.PaletteCount) return 0;
      const TRGBQuad& q = view.Palette[raw];
      return uint32_t(q.Red) << 16 | uint32_t(q.Green) << 8 | q.Blue;
    }
    case 15: UnpackPixel(kFormat555, raw, r, g, b); break;
    case 16: UnpackPixel(kFormat565, raw, r, g, b); break;
    default: return raw & 0xFFFFFF;
  }
  return uint32_t(r) << 16 | uint32_t(g) << 8 | b;
}

uint32_t RgbToViewPixel(const TPixelView& view, uint32_t rgb) {
  const uint32_t r = (rgb >> 16) & 0xFF, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
  switch (view.BitCount) {
    case 1:
    case 4:
    case 8: {
      TPaletteEntry entries[256];
      int32_t count = view.PaletteCount > 256 ? 256 : view.PaletteCount;
      for (int32_t i = 0; i < count; ++i)
        entries[i] = {view.Palette[i].Red, view.Palette[i].Green, view.Palette[i].Blue, 0};
      return uint32_t(NearestPaletteIndex(entries, r | g << 8 | b << 16, count));
    }
    case 15: return PackPixel(kFormat555, r, g, b);
    case 16: return PackPixel(kFormat565, r, g, b);
    default: return rgb & 0xFFFFFF;
  }
}

namespace {

bool IsPaletted(int32_t bit_count) { return bit_count <= 8; }

int32_t BytesPerPixel(int32_t bit_count) {
  switch (bit_count) {
    case 8: return 1;
    case 15:
    case 16: return 2;
    case 24: return 3;
    case 32: return 4;
    default: return 0;  // 1 and 4 bits are not whole bytes
  }
}

// Maps colours to the destination's raw values; remembers the palette and the last colour seen,
// since pictures repeat colours in runs.
class TColorMapper {
 public:
  explicit TColorMapper(const TPixelView& dst) : dst_(dst) {
    if (IsPaletted(dst.BitCount)) {
      count_ = dst.PaletteCount > 256 ? 256 : dst.PaletteCount;
      for (int32_t i = 0; i < count_; ++i)
        entries_[i] = {dst.Palette[i].Red, dst.Palette[i].Green, dst.Palette[i].Blue, 0};
    }
  }
  uint32_t Map(uint32_t rgb) {
    if (!IsPaletted(dst_.BitCount)) return RgbToViewPixel(dst_, rgb);
    if (rgb == last_rgb_) return last_raw_;
    last_rgb_ = rgb;
    TColor ref = (rgb >> 16 & 0xFF) | (rgb & 0xFF00) | (rgb & 0xFF) << 16;
    last_raw_ = uint32_t(NearestPaletteIndex(entries_, ref, count_));
    return last_raw_;
  }

 private:
  const TPixelView& dst_;
  TPaletteEntry entries_[256];
  int32_t count_ = 0;
  uint32_t last_rgb_ = 0xFFFFFFFF;
  uint32_t last_raw_ = 0;
};

}  // namespace

void ConvertBlit(const TPixelView& dst, TRect dst_rect, const TPixelView& src, TRect src_rect) {
  const int32_t dw = dst_rect.Width(), dh = dst_rect.Height();
  const int32_t sw = src_rect.Width(), sh = src_rect.Height();
  if (dw <= 0 || dh <= 0 || sw <= 0 || sh <= 0 || !dst.Bits || !src.Bits) return;
  if (BytesPerPixel(dst.BitCount) == 0 && !IsPaletted(dst.BitCount)) return;

  // Source column of every destination column (centre sampling), -1 outside the source.
  std::vector<int32_t> columns;
  int32_t x0 = dst_rect.Left < 0 ? 0 : dst_rect.Left;
  int32_t x1 = dst_rect.Right > dst.Width ? dst.Width : dst_rect.Right;
  if (x0 >= x1) return;
  columns.resize(size_t(x1 - x0));
  for (int32_t x = x0; x < x1; ++x) {
    int64_t sx = src_rect.Left + (int64_t(2 * (int64_t(x) - dst_rect.Left) + 1) * sw) / (2 * int64_t(dw));
    columns[size_t(x - x0)] = (sx >= 0 && sx < src.Width) ? int32_t(sx) : -1;
  }
  const bool same_depth = src.BitCount == dst.BitCount;
  const bool unscaled = sw == dw;
  const int32_t bpp = BytesPerPixel(dst.BitCount);
  TColorMapper mapper(dst);

  for (int32_t y = dst_rect.Top < 0 ? 0 : dst_rect.Top; y < dst_rect.Bottom && y < dst.Height; ++y) {
    int64_t sy = src_rect.Top + (int64_t(2 * (int64_t(y) - dst_rect.Top) + 1) * sh) / (2 * int64_t(dh));
    if (sy < 0 || sy >= src.Height) continue;
    const uint8_t* srow = src.Row(int32_t(sy));
    uint8_t* drow = dst.Row(y);
    if (same_depth && unscaled && bpp > 0) {
      // A run of whole source pixels: one block move.
      int32_t first = 0;
      while (first < x1 - x0 && columns[size_t(first)] < 0) ++first;
      int32_t last = x1 - x0;
      while (last > first && columns[size_t(last - 1)] < 0) --last;
      if (first < last)
        std::memmove(drow + size_t(x0 + first) * bpp, srow + size_t(columns[size_t(first)]) * bpp,
                     size_t(last - first) * bpp);
      continue;
    }
    for (int32_t x = x0; x < x1; ++x) {
      int32_t sx = columns[size_t(x - x0)];
      if (sx < 0) continue;
      uint32_t raw = ReadViewPixel(srow, sx, src.BitCount);
      uint32_t out;
      if (same_depth) {
        out = raw;
      } else if (IsPaletted(src.BitCount) && IsPaletted(dst.BitCount) && src.Palette == dst.Palette) {
        out = raw;
      } else {
        out = mapper.Map(ViewPixelToRgb(src, raw));
      }
      WriteViewPixel(drow, x, dst.BitCount, out);
    }
  }
}

}  // namespace kova
