// The unscaled blits of the drawing surface: copy with an optional key, through an 8-bit mask,
// translucent, additive, and the mask forms of the last two.
#include <algorithm>
#include <cstring>

#include "graphics/dibx.h"
#include "graphics/dibx_raster.h"
#include "graphics/kernels/pixel_ops.h"
#include "graphics/simd_dispatch.h"

namespace kova {

namespace raster {

bool CutToSource(const TCustomDIBX& source, TRect& src, int32_t& x, int32_t& y, bool mirror_x, bool mirror_y) {
  const int32_t w = source.Width(), h = source.Height();
  if (src.Left < 0) {
    if (!mirror_x) x -= src.Left;
    src.Left = 0;
  }
  if (src.Right > w) {
    if (mirror_x) x += src.Right - w;
    src.Right = w;
  }
  if (src.Top < 0) {
    if (!mirror_y) y -= src.Top;
    src.Top = 0;
  }
  if (src.Bottom > h) {
    if (mirror_y) y += src.Bottom - h;
    src.Bottom = h;
  }
  return src.Left < src.Right && src.Top < src.Bottom;
}

bool SetUpBlit(TCustomDIBX& dst, int32_t x, int32_t y, TCustomDIBX& source, TRect src, bool mirror_x,
               bool mirror_y, TCustomDIBX* mask, TBlitLocks& locks, TBlitJob& job) {
  const int32_t bits = dst.BitCount();
  if (!Drawable(bits) || source.BytesPerPixel() != dst.BytesPerPixel()) return false;
  if (mask && mask->BitCount() != 8) return false;
  if (!CutToSource(source, src, x, y, mirror_x, mirror_y)) return false;
  TRect d{x, y, 0, 0};
  if (!dst.ClipBlit(d, src, mirror_x, mirror_y)) return false;
  if (mask && (src.Right > mask->Width() || src.Bottom > mask->Height())) return false;
  const int32_t sx = mirror_x ? src.Right - 1 : src.Left;
  const int32_t sy = mirror_y ? src.Bottom - 1 : src.Top;
  if (!locks.dst.Acquire(dst, d.Left, d.Top)) return false;
  if (!locks.src.Acquire(source, sx, sy)) return false;
  if (mask && !locks.mask.Acquire(*mask, sx, sy)) return false;
  job.dst = locks.dst.get();
  job.dst_pitch = dst.Pitch();
  job.src = locks.src.get();
  job.src_pitch = mirror_y ? -source.Pitch() : source.Pitch();
  if (mask) {
    job.mask = locks.mask.get();
    job.mask_pitch = mirror_y ? -mask->Pitch() : mask->Pitch();
  }
  job.rev = mirror_x;
  job.width = d.Width();
  job.height = d.Height();
  job.bit_count = bits;
  if (&source != &dst && mask != &dst) job.RisingAddresses();
  return true;
}

}  // namespace raster

using raster::Load;
using raster::Store;
using raster::TBlitJob;
using raster::TBlitLocks;
using raster::TKey;

namespace {

// f(d, s, m) -> the new destination pixel, over every pixel of the job (m is 255 without a mask).
template <int Bpp, class F>
void MapPixels(const TBlitJob& j, F&& f) {
  uint8_t* d = j.dst;
  const uint8_t* s = j.src;
  const uint8_t* m = j.mask;
  const ptrdiff_t s_step = j.rev ? -Bpp : Bpp;
  for (int32_t y = 0; y < j.height; ++y) {
    uint8_t* dp = d;
    const uint8_t* sp = s;
    for (int32_t i = 0; i < j.width; ++i, dp += Bpp, sp += s_step) {
      const uint32_t mv = m ? (j.rev ? m[-i] : m[i]) : 255;
      Store<Bpp>(dp, f(Load<Bpp>(dp), Load<Bpp>(sp), mv));
    }
    d += j.dst_pitch;
    s += j.src_pitch;
    if (m) m += j.mask_pitch;
  }
}

// Calls row(d, s, m) with 32-bit row pointers for every row of the job.
template <class Row>
void Rows32(const TBlitJob& j, Row&& row) {
  uint8_t* d = j.dst;
  const uint8_t* s = j.src;
  const uint8_t* m = j.mask;
  for (int32_t y = 0; y < j.height; ++y) {
    row(reinterpret_cast<uint32_t*>(d), reinterpret_cast<const uint32_t*>(s), m);
    d += j.dst_pitch;
    s += j.src_pitch;
    if (m) m += j.mask_pitch;
  }
}

bool Row32(const TBlitJob& j) { return j.bit_count == 32 && DrawResultRule(32) == TDrawRule::Row; }
bool RowRule(const TBlitJob& j) { return DrawResultRule(j.bit_count) == TDrawRule::Row; }
uint32_t ClampLevel(int32_t v) { return uint32_t(std::clamp(v, 0, 255)); }

}  // namespace

void TCustomDIBX::Draw(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect, bool transparent,
                       bool mirror_x, bool mirror_y) {
  TBlitLocks locks;
  TBlitJob j;
  if (!raster::SetUpBlit(*this, x, y, source, src_rect, mirror_x, mirror_y, nullptr, locks, j)) return;
  const TKey key = TKey::Of(source.TransparentColor, transparent);
  const int32_t bpp = BytesPerPixel();
  if (j.bit_count == 32) {
    const auto& k = Row32Kernels();
    Rows32(j, [&](uint32_t* d, const uint32_t* s, const uint8_t*) {
      if (key.on) k.copy_key(d, s, j.rev, j.width, key.value);
      else if (j.rev) k.copy_rev(d, s, j.width);
      else std::memmove(d, s, size_t(j.width) * 4);
    });
    return;
  }
  if (!key.on && !j.rev) {
    uint8_t* d = j.dst;
    const uint8_t* s = j.src;
    for (int32_t y2 = 0; y2 < j.height; ++y2, d += j.dst_pitch, s += j.src_pitch)
      std::memmove(d, s, size_t(j.width) * bpp);
    return;
  }
  raster::ForDepth(j.bit_count, [&]<int Bpp, class Ch>() {
    MapPixels<Bpp>(j, [&](uint32_t d, uint32_t s, uint32_t) { return key.Match(s) ? d : s; });
  });
}

void TCustomDIBX::DrawMask(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect, bool mirror_x,
                           bool mirror_y, TCustomDIBX& mask) {
  TBlitLocks locks;
  TBlitJob j;
  if (!raster::SetUpBlit(*this, x, y, source, src_rect, mirror_x, mirror_y, &mask, locks, j)) return;
  if (Row32(j)) {
    const auto& k = Row32Kernels();
    Rows32(j, [&](uint32_t* d, const uint32_t* s, const uint8_t* m) { k.mask(d, s, m, j.rev, j.width); });
    return;
  }
  const bool row_rule = RowRule(j);
  raster::ForDepth(j.bit_count, [&]<int Bpp, class Ch>() {
    MapPixels<Bpp>(j, [&](uint32_t d, uint32_t s, uint32_t m) {
      if (m == 0 || (row_rule && d == s)) return d;
      return m == 255 ? s : Ch::Blend(d, s, m);
    });
  });
}

void TCustomDIBX::DrawAlpha(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect, bool transparent,
                            bool mirror_x, bool mirror_y, int32_t alpha) {
  if (alpha <= 0) return;
  TBlitLocks locks;
  TBlitJob j;
  if (!raster::SetUpBlit(*this, x, y, source, src_rect, mirror_x, mirror_y, nullptr, locks, j)) return;
  const uint32_t a = ClampLevel(alpha);
  // The row results honour the key only when asked; the per-pixel results always do.
  const TKey key = TKey::Of(source.TransparentColor, transparent || !RowRule(j));
  if (Row32(j)) {
    const auto& k = Row32Kernels();
    Rows32(j, [&](uint32_t* d, const uint32_t* s, const uint8_t*) {
      k.blend(d, s, j.rev, j.width, a, key.on, key.value);
    });
    return;
  }
  raster::ForDepth(j.bit_count, [&]<int Bpp, class Ch>() {
    MapPixels<Bpp>(j, [&](uint32_t d, uint32_t s, uint32_t) {
      return key.Match(s) || d == s ? d : Ch::Blend(d, s, a);
    });
  });
}

void TCustomDIBX::DrawMaskAlpha(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect,
                                bool mirror_x, bool mirror_y, TCustomDIBX& mask, int32_t alpha) {
  if (alpha <= 0) return;
  TBlitLocks locks;
  TBlitJob j;
  if (!raster::SetUpBlit(*this, x, y, source, src_rect, mirror_x, mirror_y, &mask, locks, j)) return;
  const uint32_t a = ClampLevel(alpha);
  if (Row32(j)) {
    const auto& k = Row32Kernels();
    Rows32(j, [&](uint32_t* d, const uint32_t* s, const uint8_t* m) { k.mask_alpha(d, s, m, j.rev, j.width, a); });
    return;
  }
  const bool row_rule = RowRule(j);
  raster::ForDepth(j.bit_count, [&]<int Bpp, class Ch>() {
    MapPixels<Bpp>(j, [&](uint32_t d, uint32_t s, uint32_t m) {
      if (m == 0 || (row_rule && d == s)) return d;
      return Ch::Blend(d, s, m * a >> 8);
    });
  });
}

void TCustomDIBX::DrawAdd(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect, bool,
                          bool mirror_x, bool mirror_y, int32_t level) {
  if (level <= 0) return;
  TBlitLocks locks;
  TBlitJob j;
  if (!raster::SetUpBlit(*this, x, y, source, src_rect, mirror_x, mirror_y, nullptr, locks, j)) return;
  const uint32_t lv = ClampLevel(level);
  const TKey key = TKey::Of(source.TransparentColor, true);
  if (Row32(j)) {
    const auto& k = Row32Kernels();
    Rows32(j, [&](uint32_t* d, const uint32_t* s, const uint8_t*) {
      k.add(d, s, j.rev, j.width, lv, key.on, key.value);
    });
    return;
  }
  if (j.bit_count == 8) {
    // Grey planes add without the level.
    MapPixels<1>(j, [&](uint32_t d, uint32_t s, uint32_t) { return key.Match(s) ? d : std::min(255u, d + s); });
    return;
  }
  raster::ForDepth(j.bit_count, [&]<int Bpp, class Ch>() {
    MapPixels<Bpp>(j, [&](uint32_t d, uint32_t s, uint32_t) {
      return key.Match(s) ? d : Ch::AddSat(d, Ch::Scale(s, lv));
    });
  });
}

void TCustomDIBX::DrawMaskAdd(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect, bool mirror_x,
                              bool mirror_y, TCustomDIBX& mask, int32_t level) {
  if (level <= 0) return;
  TBlitLocks locks;
  TBlitJob j;
  if (!raster::SetUpBlit(*this, x, y, source, src_rect, mirror_x, mirror_y, &mask, locks, j)) return;
  const uint32_t lv = ClampLevel(level);
  if (Row32(j)) {
    const auto& k = Row32Kernels();
    Rows32(j, [&](uint32_t* d, const uint32_t* s, const uint8_t* m) { k.mask_add(d, s, m, j.rev, j.width, lv); });
    return;
  }
  raster::ForDepth(j.bit_count, [&]<int Bpp, class Ch>() {
    MapPixels<Bpp>(j, [&](uint32_t d, uint32_t s, uint32_t m) {
      return m == 0 ? d : Ch::AddSat(d, Ch::Scale(s, m * lv >> 8));
    });
  });
}

}  // namespace kova
