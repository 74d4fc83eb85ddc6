// Rotated and scaled drawing: the inverse mapping of the destination onto the source in 16.16
// fixed point, walked by additions only. For each destination row the span of pixels whose source
// position lies inside the source rectangle is found by exact integer arithmetic first, so the
// inner loop reads the source without further tests and gives the same pixels as testing each
// pixel of the rotated bounding box.
#include <cmath>

#include "graphics/dibx.h"
#include "graphics/dibx_xf_ops.h"

namespace kova {

using namespace xf;

namespace {

constexpr int64_t kOne = 65536;

// Narrows [i0, i1) to the i for which lo <= a + i * d <= hi.
void NarrowSpan(int64_t a, int64_t d, int64_t lo, int64_t hi, int64_t& i0, int64_t& i1) {
  if (d == 0) {
    if (a < lo || a > hi) i1 = i0;
    return;
  }
  int64_t first, last;
  if (d > 0) {
    first = CeilDiv(lo - a, d);
    last = FloorDiv(hi - a, d);
  } else {
    first = CeilDiv(hi - a, d);
    last = FloorDiv(lo - a, d);
  }
  i0 = std::max(i0, first);
  i1 = std::min(i1, last + 1);
}

// The walk of one draw: the source position of the area's top-left pixel and the steps per
// destination column and row, already turned so that (u >> 16, v >> 16) is the source pixel
// (mirrored axes walk backwards from the rectangle's far edge).
struct TWalk {
  TRect area;
  int64_t u = 0, v = 0;
  int64_t du_dx = 0, dv_dx = 0, du_dy = 0, dv_dy = 0;
  // Allowed positions before mirroring, inclusive.
  int64_t u_lo = 0, u_hi = 0, v_lo = 0, v_hi = 0;
  // Mirroring: position' = flip - position.
  bool mirror_x = false, mirror_y = false;
  int64_t flip_u = 0, flip_v = 0;
};

template <class F, class Op>
void RotateRows(const TSurfaceLock& dl, const TSurfaceLock& sl, const TSurfaceLock* ml, const TWalk& w,
                const Op& op) {
  const int32_t width = w.area.Width();
  for (int32_t j = 0; j < w.area.Height(); ++j) {
    const int64_t u0 = w.u + j * w.du_dy, v0 = w.v + j * w.dv_dy;
    int64_t i0 = 0, i1 = width;
    NarrowSpan(u0, w.du_dx, w.u_lo, w.u_hi, i0, i1);
    NarrowSpan(v0, w.dv_dx, w.v_lo, w.v_hi, i0, i1);
    if (i0 >= i1) continue;
    int64_t u = u0 + i0 * w.du_dx, v = v0 + i0 * w.dv_dx, du = w.du_dx, dv = w.dv_dx;
    if (w.mirror_x) {
      u = w.flip_u - u;
      du = -du;
    }
    if (w.mirror_y) {
      v = w.flip_v - v;
      dv = -dv;
    }
    uint8_t* p = dl.Row(w.area.Top + j) + ptrdiff_t(w.area.Left + i0) * F::kBytes;
    for (int64_t i = i0; i < i1; ++i, p += F::kBytes, u += du, v += dv) {
      const ptrdiff_t c = ptrdiff_t(u >> 16), r = ptrdiff_t(v >> 16);
      uint32_t m = 0;
      if constexpr (Op::kMask) m = ml->Row(int32_t(r))[c];
      op.template Put<F>(p, F::Load(sl.Base() + r * sl.Pitch() + c * F::kBytes), m);
    }
  }
}

template <class Op>
void RunRotate(TCustomDIBX& dst, TFormatId fmt, TCustomDIBX& src, TCustomDIBX* mask, const TWalk& w, const Op& op) {
  TSurfaceLock dl(dst);
  if (!dl.Base()) return;
  TSurfaceLock sl(src);
  if (!sl.Base()) return;
  if constexpr (Op::kMask) {
    if (!mask) return;
    TSurfaceLock ml(*mask);
    if (!ml.Base()) return;
    VisitFormat(fmt, [&](auto f) { RotateRows<decltype(f)>(dl, sl, &ml, w, op); });
  } else {
    VisitFormat(fmt, [&](auto f) { RotateRows<decltype(f)>(dl, sl, nullptr, w, op); });
  }
}

void RotateCommon(TCustomDIBX& dst, int32_t x, int32_t y, int32_t scale_x, int32_t scale_y, TCustomDIBX& source,
                  const TRect& src_rect, int32_t pivot_x, int32_t pivot_y, int32_t angle, bool transparent,
                  bool mirror_x, bool mirror_y, TCustomDIBX* mask, int32_t level) {
  if (level <= 0 || scale_x < 1 || scale_y < 1) return;
  level = std::min(level, 511);
  const uint32_t l = uint32_t(level & 255);
  if (level >= 256 && l == 0) return;
  TFormatId fmt = FormatOf(dst);
  if (fmt == TFormatId::None || fmt == TFormatId::P8 || !SameBytesPerPixel(dst, source)) return;
  const TRect valid = CutRect(src_rect, source.BoundsRect());
  if (RectEmpty(valid) || (mask && !MaskCovers(*mask, valid))) return;

  const double a = angle * 2.0 * M_PI / 256.0;
  const double sx = scale_x / 256.0, sy = scale_y / 256.0;
  const double ca = std::cos(a), sa = std::sin(a);
  TWalk w;
  w.du_dx = int64_t(kOne * ca / sx);
  w.dv_dx = int64_t(-kOne * sa / sy);
  w.du_dy = int64_t(kOne * sa / sx);
  w.dv_dy = int64_t(kOne * ca / sy);

  const TRect box = CalcRotatedBounds(x, y, pivot_x, pivot_y, angle, src_rect, scale_x, scale_y, 0, 0, false, false);
  const TRect clip = CutRect(dst.GetClipRect(), dst.BoundsRect());
  w.area = CutRect(box, clip);
  if (RectEmpty(w.area)) return;
  w.u = int64_t(pivot_x) * kOne + (w.area.Left - int64_t(x)) * w.du_dx + (w.area.Top - int64_t(y)) * w.du_dy;
  w.v = int64_t(pivot_y) * kOne + (w.area.Left - int64_t(x)) * w.dv_dx + (w.area.Top - int64_t(y)) * w.dv_dy;

  // Columns c = u >> 16 (u >= 0) that land inside the valid source area: directly, or mirrored as
  // src_rect.Right - 1 - c. Rows likewise.
  int64_t c_lo = valid.Left, c_hi = valid.Right;
  if (mirror_x) {
    c_lo = int64_t(src_rect.Right) - valid.Right;
    c_hi = int64_t(src_rect.Right) - valid.Left;
  }
  int64_t r_lo = valid.Top, r_hi = valid.Bottom;
  if (mirror_y) {
    r_lo = int64_t(src_rect.Bottom) - valid.Bottom;
    r_hi = int64_t(src_rect.Bottom) - valid.Top;
  }
  c_lo = std::max<int64_t>(c_lo, 0);
  r_lo = std::max<int64_t>(r_lo, 0);
  if (c_lo >= c_hi || r_lo >= r_hi) return;
  w.u_lo = c_lo * kOne;
  w.u_hi = c_hi * kOne - 1;
  w.v_lo = r_lo * kOne;
  w.v_hi = r_hi * kOne - 1;
  w.mirror_x = mirror_x;
  w.mirror_y = mirror_y;
  w.flip_u = int64_t(src_rect.Right) * kOne - 1;
  w.flip_v = int64_t(src_rect.Bottom) * kOne - 1;

  if (mask) {
    // Weight m at level 255, else m * level >> 8; a full weight copies.
    if (level < 256) {
      RunRotate(dst, fmt, source, mask, w, OpMaskBlend{l, l == 255, true, false});
    } else {
      RunRotate(dst, fmt, source, mask, w, OpMaskAdd{l, l == 255});
    }
    return;
  }
  const TKey key = TKey::Of(transparent, source.TransparentColor);
  if (level == 255) {
    if (key.on) {
      RunRotate(dst, fmt, source, nullptr, w, OpCopyKey{key.value});
    } else {
      RunRotate(dst, fmt, source, nullptr, w, OpCopy{});
    }
  } else if (level < 255) {
    RunRotate(dst, fmt, source, nullptr, w, OpBlend{key, l, false});
  } else {
    RunRotate(dst, fmt, source, nullptr, w, OpAdd{key, l, false});
  }
}

}  // namespace

void TCustomDIBX::DrawRotate(int32_t x, int32_t y, int32_t scale_x, int32_t scale_y, TCustomDIBX& source,
                             const TRect& src_rect, int32_t pivot_x, int32_t pivot_y, int32_t angle, bool transparent,
                             bool mirror_x, bool mirror_y, int32_t level) {
  RotateCommon(*this, x, y, scale_x, scale_y, source, src_rect, pivot_x, pivot_y, angle, transparent, mirror_x,
               mirror_y, nullptr, level);
}

void TCustomDIBX::DrawRotateMask(int32_t x, int32_t y, int32_t scale_x, int32_t scale_y, TCustomDIBX& source,
                                 const TRect& src_rect, int32_t pivot_x, int32_t pivot_y, int32_t angle,
                                 bool mirror_x, bool mirror_y, TCustomDIBX& mask, int32_t level) {
  RotateCommon(*this, x, y, scale_x, scale_y, source, src_rect, pivot_x, pivot_y, angle, false, mirror_x, mirror_y,
               &mask, level);
}

}  // namespace kova
