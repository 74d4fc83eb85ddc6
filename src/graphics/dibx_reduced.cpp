// Reduced drawing of supersampled glyph pictures: every destination pixel covers a factor x factor
// block of a 1-bit (ink = 0 bits) or 4-bit (two-bit colour codes) source and mixes the colours by
// their share of the block. Source bits outside the source count as background.
#include "graphics/dibx.h"
#include "graphics/dibx_xf_ops.h"

namespace kova {

using namespace xf;

namespace {

// The channels of a destination format: bit position and full value.
struct TChannels {
  int32_t count = 0;
  int32_t shift[4] = {};
  uint32_t max[4] = {};
};

TChannels ChannelsOf(TFormatId fmt) {
  switch (fmt) {
    case TFormatId::P555: return TChannels{3, {10, 5, 0}, {31, 31, 31}};
    case TFormatId::P565: return TChannels{3, {11, 5, 0}, {31, 63, 31}};
    case TFormatId::P32: return TChannels{3, {16, 8, 0}, {255, 255, 255}};
    case TFormatId::P32Row: return TChannels{4, {24, 16, 8, 0}, {255, 255, 255, 255}};
    default: return TChannels{};
  }
}

// The reduction set-up: the destination is the source rectangle's size div factor; the source
// rectangle keeps whole blocks from the end where the walk starts (left and top, or right and
// bottom on mirrored axes), then both are clipped.
bool PrepareBlocks(const TCustomDIBX& dst, int32_t x, int32_t y, const TRect& src_rect, int32_t factor,
                   bool mirror_x, bool mirror_y, TRect& d, TRect& s) {
  if (factor < 1) return false;
  const int32_t w = src_rect.Width() / factor, h = src_rect.Height() / factor;
  if (w < 1 || h < 1) return false;
  d = TRect{x, y, x + w, y + h};
  s = src_rect;
  if (mirror_x) s.Left = s.Right - w * factor; else s.Right = s.Left + w * factor;
  if (mirror_y) s.Top = s.Bottom - h * factor; else s.Bottom = s.Top + h * factor;
  int32_t fx, fy;
  return dst.PrepareReduced(d, s, mirror_x, mirror_y, fx, fy);
}

// Calls count(column, row) for every source pixel of the block of destination pixel (i, j) that
// lies inside the source; returns how many lay outside.
template <class Count>
int32_t ForBlock(const TRect& s, int32_t i, int32_t j, int32_t factor, bool mirror_x, bool mirror_y, int32_t sw,
                 int32_t sh, Count&& count) {
  const int32_t c0 = mirror_x ? s.Right - (i + 1) * factor : s.Left + i * factor;
  const int32_t r0 = mirror_y ? s.Bottom - (j + 1) * factor : s.Top + j * factor;
  int32_t outside = 0;
  for (int32_t r = r0; r < r0 + factor; ++r) {
    for (int32_t c = c0; c < c0 + factor; ++c) {
      if (r < 0 || c < 0 || r >= sh || c >= sw) {
        ++outside;
      } else {
        count(c, r);
      }
    }
  }
  return outside;
}

uint32_t LoadPixel(const uint8_t* p, int32_t bytes) {
  uint32_t v = 0;
  std::memcpy(&v, p, size_t(bytes));
  return v;
}
void StorePixel(uint8_t* p, int32_t bytes, uint32_t v) { std::memcpy(p, &v, size_t(bytes)); }

}  // namespace

void TCustomDIBX::DrawMonoReduced(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect, uint32_t color,
                                  bool mirror_x, bool mirror_y, int32_t level, int32_t factor) {
  if (level <= 0 || source.BitCount() != 1) return;
  const TChannels ch = ChannelsOf(FormatOf(*this));
  if (ch.count == 0) return;
  TRect d, s;
  if (!PrepareBlocks(*this, x, y, src_rect, factor, mirror_x, mirror_y, d, s)) return;
  TSurfaceLock dl(*this);
  if (!dl.Base()) return;
  TSurfaceLock sl(source);
  if (!sl.Base()) return;
  const int32_t bytes = BytesPerPixel(), sw = source.Width(), sh = source.Height();
  const uint64_t area = uint64_t(factor) * uint64_t(factor);
  for (int32_t j = 0; j < d.Height(); ++j) {
    for (int32_t i = 0; i < d.Width(); ++i) {
      uint64_t n = 0;
      ForBlock(s, i, j, factor, mirror_x, mirror_y, sw, sh, [&](int32_t c, int32_t r) {
        n += ((sl.Row(r)[c >> 3] >> (7 - (c & 7))) & 1) == 0;
      });
      if (n == 0) continue;
      if (level < 255) n = (n * uint64_t(level)) >> 8;
      uint8_t* p = dl.Row(d.Top + j) + ptrdiff_t(d.Left + i) * bytes;
      const uint32_t dv = LoadPixel(p, bytes);
      uint32_t out = 0;
      for (int32_t k = 0; k < ch.count; ++k) {
        const uint64_t cc = (color >> ch.shift[k]) & ch.max[k], dc = (dv >> ch.shift[k]) & ch.max[k];
        out |= uint32_t((cc * n + dc * (area - n)) / area) << ch.shift[k];
      }
      StorePixel(p, bytes, out);
    }
  }
}

void TCustomDIBX::DrawMonoReducedColors(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect,
                                        const std::array<uint32_t, 3>& colors, int32_t, bool mirror_x,
                                        bool mirror_y, int32_t level, int32_t factor) {
  if (level <= 0 || source.BitCount() != 4) return;
  level = std::min(level, 511);
  const TChannels ch = ChannelsOf(FormatOf(*this));
  if (ch.count == 0) return;
  TRect d, s;
  if (!PrepareBlocks(*this, x, y, src_rect, factor, mirror_x, mirror_y, d, s)) return;
  TSurfaceLock dl(*this);
  if (!dl.Base()) return;
  TSurfaceLock sl(source);
  if (!sl.Base()) return;
  const int32_t bytes = BytesPerPixel(), sw = source.Width(), sh = source.Height();
  const uint64_t area = uint64_t(factor) * uint64_t(factor), whole = area * 256;
  for (int32_t j = 0; j < d.Height(); ++j) {
    for (int32_t i = 0; i < d.Width(); ++i) {
      uint64_t c[4] = {0, 0, 0, 0};
      c[0] += uint64_t(ForBlock(s, i, j, factor, mirror_x, mirror_y, sw, sh, [&](int32_t col, int32_t r) {
        const uint8_t b = sl.Row(r)[col >> 1];
        ++c[((col & 1) ? b : b >> 4) & 3];
      }));
      if (c[0] == area) continue;
      uint8_t* p = dl.Row(d.Top + j) + ptrdiff_t(d.Left + i) * bytes;
      if (level == 255 && (c[1] == area || c[2] == area)) {
        StorePixel(p, bytes, colors[c[1] == area ? 0 : 1]);
        continue;
      }
      const uint64_t weight = level == 255 ? 256 : uint64_t(level & 255);
      for (int k = 1; k < 4; ++k) c[k] *= weight;
      const uint64_t b = level > 255 ? whole : whole - c[1] - c[2] - c[3];
      const uint32_t dv = LoadPixel(p, bytes);
      uint32_t out = 0;
      for (int32_t k = 0; k < ch.count; ++k) {
        const int32_t sh_k = ch.shift[k];
        const uint64_t m = ch.max[k];
        const uint64_t sum = ((colors[0] >> sh_k) & m) * c[1] + ((colors[1] >> sh_k) & m) * c[2] +
                             ((colors[2] >> sh_k) & m) * c[3] + ((dv >> sh_k) & m) * b;
        out |= uint32_t(std::min(sum / whole, m)) << sh_k;
      }
      StorePixel(p, bytes, out);
    }
  }
}

}  // namespace kova
