// Reduced drawing of supersampled glyph pictures: every destination pixel covers a factor x factor
// block of a 1-bit (ink = 0 bits) or 4-bit (two-bit colour codes) source and mixes the colours by
// their share of the block. Source bits outside the source count as background.
#include <algorithm>
#include <cstring>

#include "graphics/dibx.h"
#include "graphics/dibx_draw.h"
#include "graphics/pixel_view.h"

namespace kova {

using draw::TBox;
using draw::TFormat;

namespace {

// Factors reach 2^31, so a block holds up to 2^62 pixels and the weighted sums need 128 bits.
using TWide = unsigned __int128;

// The reduction set-up: the destination is the source rectangle's size div factor; the source
// rectangle keeps whole blocks from the end where the walk starts (left and top, or right and
// bottom on mirrored axes), then both are clipped.
bool PrepareBlocks(const TCustomDIBX& dst, int32_t x, int32_t y, const TRect& src_rect, int32_t factor,
                   bool mirror_x, bool mirror_y, TBox& d, TBox& s) {
  if (factor < 1) return false;
  s = TBox::Of(src_rect);
  const int64_t w = s.W() / factor, h = s.H() / factor;
  if (w < 1 || h < 1) return false;
  d = TBox{x, y, x + w, y + h};
  if (mirror_x) s.l = s.r - w * factor; else s.r = s.l + w * factor;
  if (mirror_y) s.t = s.b - h * factor; else s.b = s.t + h * factor;
  int64_t fx, fy;
  return draw::PrepareReducedBox(draw::DrawableBox(dst), d, s, mirror_x, mirror_y, fx, fy);
}

// The part of the block of destination pixel (i, j) that lies inside the source (maybe empty).
TBox BlockInside(const TBox& s, int64_t i, int64_t j, int64_t factor, bool mirror_x, bool mirror_y, int32_t sw,
                 int32_t sh) {
  const int64_t c0 = mirror_x ? s.r - (i + 1) * factor : s.l + i * factor;
  const int64_t r0 = mirror_y ? s.b - (j + 1) * factor : s.t + j * factor;
  return TBox{c0, r0, c0 + factor, r0 + factor}.Cut(TBox{0, 0, sw, sh});
}

// Calls count(column, row) for every pixel of the block that lies inside the source; returns how
// many of the block's pixels lie outside.
template <class Count>
int64_t ForBlock(const TBox& s, int64_t i, int64_t j, int64_t factor, bool mirror_x, bool mirror_y, int32_t sw,
                 int32_t sh, Count&& count) {
  const TBox inside = BlockInside(s, i, j, factor, mirror_x, mirror_y, sw, sh);
  if (inside.Empty()) return factor * factor;
  for (int64_t r = inside.t; r < inside.b; ++r)
    for (int64_t c = inside.l; c < inside.r; ++c) count(int32_t(c), int32_t(r));
  return factor * factor - inside.W() * inside.H();
}

// The 1 bits of pixels c0 .. c1 - 1 of a 1-bit row (most significant bit first), a byte at a time.
int64_t OnesIn(const uint8_t* row, int64_t c0, int64_t c1) {
  int64_t ones = 0;
  while (c0 < c1) {
    const int64_t byte = c0 >> 3, first = c0 & 7, last = std::min<int64_t>(8, c1 - (byte << 3));
    const uint32_t bits = uint32_t(row[byte]) & (0xFFu >> first) & (0xFFu << (8 - last));
    ones += __builtin_popcount(bits);
    c0 = (byte + 1) << 3;
  }
  return ones;
}

// x / d, by a shift when d is a power of two.
template <class T>
struct TDivider {
  T d;
  int shift = -1;
  explicit TDivider(T divisor) : d(divisor) {
    if ((d & (d - 1)) == 0)
      for (shift = 0; (T(1) << shift) != d; ++shift) {
      }
  }
  T operator()(T x) const { return shift >= 0 ? x >> shift : x / d; }
};

// The channels of the formats the reductions draw into; none for the others.
struct TChannels {
  int32_t count = 0;
  int32_t shift[4] = {};
  uint32_t max[4] = {};
};

TChannels ChannelsOf(TFormat f) {
  TChannels ch;
  if (f != TFormat::P555 && f != TFormat::P565 && f != TFormat::P32 && f != TFormat::P32Bytes) return ch;
  pixels::VisitFormat(f, [&](auto fmt) {
    using F = decltype(fmt);
    ch.count = F::kChannels;
    for (int32_t k = 0; k < F::kChannels; ++k) {
      const uint32_t m = F::kMasks[k];
      ch.shift[k] = __builtin_ctz(m);
      ch.max[k] = m >> ch.shift[k];
    }
  });
  return ch;
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
  const TFormat f = draw::FormatOf(*this);
  const TChannels ch = ChannelsOf(f);
  if (ch.count == 0) return;
  TBox d, s;
  if (!PrepareBlocks(*this, x, y, src_rect, factor, mirror_x, mirror_y, d, s)) return;
  draw::TDrawScope scope(*this, f, &source);
  if (!scope.Ok()) return;
  const int32_t bytes = scope.Bytes(), sw = source.Width(), sh = source.Height();
  // Blocks of up to 2^24 pixels mix in 64 bits; larger ones (factors above 4096) in 128.
  auto draw = [&]<class TMix>() {
    const TMix area = TMix(factor) * TMix(factor);
    const TDivider<TMix> per_area(area);
    for (int64_t j = 0; j < d.H(); ++j) {
      uint8_t* p = scope.dst.Row(int32_t(d.t + j)) + ptrdiff_t(d.l) * bytes;
      for (int64_t i = 0; i < d.W(); ++i, p += bytes) {
        // The ink: 0 bits of the block inside the source.
        const TBox inside = BlockInside(s, i, j, factor, mirror_x, mirror_y, sw, sh);
        uint64_t ink = 0;
        for (int64_t r = inside.t; r < inside.b && !inside.Empty(); ++r)
          ink += uint64_t(inside.W() - OnesIn(scope.src.Row(int32_t(r)), inside.l, inside.r));
        if (ink == 0) continue;
        TMix n = ink;
        if (level < 255) n = (n * uint32_t(level)) >> 8;
        const uint32_t dv = LoadPixel(p, bytes);
        uint32_t out = 0;
        for (int32_t k = 0; k < ch.count; ++k) {
          const TMix cc = (color >> ch.shift[k]) & ch.max[k], dc = (dv >> ch.shift[k]) & ch.max[k];
          out |= uint32_t(per_area(cc * n + dc * (area - n))) << ch.shift[k];
        }
        StorePixel(p, bytes, out);
      }
    }
  };
  if (factor <= 4096) {
    draw.template operator()<uint64_t>();
  } else {
    draw.template operator()<TWide>();
  }
}

void TCustomDIBX::DrawMonoReducedColors(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect,
                                        const std::array<uint32_t, 3>& colors, int32_t, bool mirror_x,
                                        bool mirror_y, int32_t level, int32_t factor) {
  if (level <= 0 || source.BitCount() != 4) return;
  level = std::min(level, 511);
  const TFormat f = draw::FormatOf(*this);
  const TChannels ch = ChannelsOf(f);
  if (ch.count == 0) return;
  TBox d, s;
  if (!PrepareBlocks(*this, x, y, src_rect, factor, mirror_x, mirror_y, d, s)) return;
  draw::TDrawScope scope(*this, f, &source);
  if (!scope.Ok()) return;
  const int32_t bytes = scope.Bytes(), sw = source.Width(), sh = source.Height();
  // Factors up to 4096 weigh in 64 bits (at most 2^42 per sum), larger ones in 128.
  auto draw = [&]<class TMix>() {
    const TMix area = TMix(factor) * TMix(factor), whole = area * 256;
    const TDivider<TMix> per_whole(whole);
    for (int64_t j = 0; j < d.H(); ++j) {
      uint8_t* p = scope.dst.Row(int32_t(d.t + j)) + ptrdiff_t(d.l) * bytes;
      for (int64_t i = 0; i < d.W(); ++i, p += bytes) {
        TMix c[4] = {0, 0, 0, 0};
        c[0] += uint64_t(ForBlock(s, i, j, factor, mirror_x, mirror_y, sw, sh, [&](int32_t col, int32_t r) {
          ++c[ReadPackedPixel(scope.src.Row(r), col, 4) & 3];
        }));
        if (c[0] == area) continue;
        if (level == 255 && (c[1] == area || c[2] == area)) {
          StorePixel(p, bytes, colors[c[1] == area ? 0 : 1]);
          continue;
        }
        const TMix weight = level == 255 ? 256 : uint32_t(level & 255);
        for (int k = 1; k < 4; ++k) c[k] *= weight;
        const TMix b = level > 255 ? whole : whole - c[1] - c[2] - c[3];
        const uint32_t dv = LoadPixel(p, bytes);
        uint32_t out = 0;
        for (int32_t k = 0; k < ch.count; ++k) {
          const int32_t sh_k = ch.shift[k];
          const TMix m = ch.max[k];
          const TMix sum = ((colors[0] >> sh_k) & ch.max[k]) * c[1] + ((colors[1] >> sh_k) & ch.max[k]) * c[2] +
                           ((colors[2] >> sh_k) & ch.max[k]) * c[3] + ((dv >> sh_k) & ch.max[k]) * b;
          out |= uint32_t(std::min(per_whole(sum), m)) << sh_k;
        }
        StorePixel(p, bytes, out);
      }
    }
  };
  if (factor <= 4096) {
    draw.template operator()<uint64_t>();
  } else {
    draw.template operator()<TWide>();
  }
}

}  // namespace kova
