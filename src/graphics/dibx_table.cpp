// Code pictures drawn through a table of pixel values: 4-bit codes (16 entries) written, blended
// or added, and 8-bit codes (256 entries) added at a level.
#include "graphics/dibx.h"
#include "graphics/dibx_xf_ops.h"

namespace kova {

using namespace xf;

namespace {

// The unscaled set-up: the source rectangle cut to the source, then clipped at (x, y).
bool ClipUnscaled(const TCustomDIBX& dst, int32_t x, int32_t y, const TCustomDIBX& source, TRect src, bool mirror_x,
                  bool mirror_y, TRect& d, TRect& s) {
  if (!CutSourceRect(x, y, src, source.Width(), source.Height(), mirror_x, mirror_y)) return false;
  d = TRect{x, y, x + src.Width(), y + src.Height()};
  s = src;
  return dst.ClipBlit(d, s, mirror_x, mirror_y);
}

// Visits every destination pixel of `d` with the source column and row that land on it.
template <class Visit>
void WalkUnscaled(const TRect& d, const TRect& s, bool mirror_x, bool mirror_y, Visit&& visit) {
  const int32_t c0 = mirror_x ? s.Right - 1 : s.Left, dc = mirror_x ? -1 : 1;
  const int32_t r0 = mirror_y ? s.Bottom - 1 : s.Top, dr = mirror_y ? -1 : 1;
  for (int32_t j = 0; j < d.Height(); ++j) {
    for (int32_t i = 0; i < d.Width(); ++i) visit(d.Left + i, d.Top + j, c0 + i * dc, r0 + j * dr);
  }
}

inline uint32_t Nibble(const uint8_t* row, int32_t c) {
  const uint8_t b = row[c >> 1];
  return (c & 1) ? b & 15u : b >> 4;
}

}  // namespace

void TCustomDIBX::DrawTable(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect, bool,
                            bool mirror_x, bool mirror_y, int32_t level, std::span<const uint32_t> table) {
  if (level <= 0 || table.size() < 16 || source.BitCount() != 4) return;
  level = std::min(level, 511);
  if (level > 255 && (level & 255) == 0) return;
  // 15 and 16 bits always; 32 bits only with the row results.
  const TFormatId fmt = FormatOf(*this);
  if (fmt != TFormatId::P555 && fmt != TFormatId::P565 && fmt != TFormatId::P32Row) return;
  TRect d, s;
  if (!ClipUnscaled(*this, x, y, source, src_rect, mirror_x, mirror_y, d, s)) return;
  TSurfaceLock dl(*this);
  if (!dl.Base()) return;
  TSurfaceLock sl(source);
  if (!sl.Base()) return;
  const int64_t key = source.TransparentColor;
  VisitFormat(fmt, [&](auto f) {
    using F = decltype(f);
    const uint32_t low = F::kBytes == 2 ? 0xFFFFu : 0xFFFFFFFFu;
    const uint32_t full = F::kBytes == 2 ? 0xFFFFu : 0xFFFFFFu;
    const uint32_t add_level = uint32_t(level & 255);
    WalkUnscaled(d, s, mirror_x, mirror_y, [&](int32_t dx, int32_t dy, int32_t sc, int32_t sr) {
      const uint32_t code = Nibble(sl.Row(sr), sc);
      if (int64_t(code) == key) return;
      const uint32_t t = table[code] & low;
      uint8_t* p = dl.Row(dy) + ptrdiff_t(dx) * F::kBytes;
      if (level == 255) {
        F::Store(p, t);
        return;
      }
      const uint32_t dv = F::Load(p);
      if (level > 255) {
        if (t != 0 && dv < full) F::Store(p, F::Add(dv, t, add_level));
      } else if (dv != t) {
        F::Store(p, F::Blend(dv, t, uint32_t(level)));
      }
    });
  });
}

void TCustomDIBX::DrawTableAdd(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect, int32_t threshold,
                               bool mirror_x, bool mirror_y, int32_t level, std::span<const uint32_t> table) {
  if (level <= 0 || table.size() < 256 || source.BitCount() != 8) return;
  const uint32_t l = uint32_t(std::min(level, 255));
  const TFormatId fmt = FormatOf(*this);
  if (fmt == TFormatId::None) return;
  TRect d, s;
  if (!ClipUnscaled(*this, x, y, source, src_rect, mirror_x, mirror_y, d, s)) return;
  TSurfaceLock dl(*this);
  if (!dl.Base()) return;
  TSurfaceLock sl(source);
  if (!sl.Base()) return;
  VisitFormat(fmt, [&](auto f) {
    using F = decltype(f);
    WalkUnscaled(d, s, mirror_x, mirror_y, [&](int32_t dx, int32_t dy, int32_t sc, int32_t sr) {
      const uint32_t code = sl.Row(sr)[sc];
      if (int32_t(code) < threshold) return;
      uint8_t* p = dl.Row(dy) + ptrdiff_t(dx) * F::kBytes;
      F::Store(p, F::Add(F::Load(p), table[code], l));
    });
  });
}

}  // namespace kova
