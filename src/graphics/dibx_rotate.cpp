// Rotated and scaled drawing: the inverse mapping of the destination onto the source in 16.16
// fixed point, walked by additions only. For each destination row the span of pixels whose source
// position lies inside the source rectangle is found by exact integer arithmetic first, so the
// inner loop reads the source without further tests and gives the same pixels as testing each
// pixel of the rotated bounding box.
#include <cmath>

#include <algorithm>

#include "graphics/dibx.h"
#include "graphics/dibx_draw.h"

namespace kova {

using draw::TFormat;
using draw::TOp;
using draw::TOpArgs;

namespace {

constexpr int64_t kOne = 65536;

// Integer division rounding toward minus infinity and toward plus infinity (q != 0).
int64_t FloorDiv(int64_t p, int64_t q) {
  int64_t r = p / q;
  if ((p % q != 0) && ((p < 0) != (q < 0))) --r;
  return r;
}
int64_t CeilDiv(int64_t p, int64_t q) { return -FloorDiv(-p, q); }

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
struct TRotation {
  TRect area;
  int64_t u = 0, v = 0;
  int64_t du_dx = 0, dv_dx = 0, du_dy = 0, dv_dy = 0;
  // Allowed positions before mirroring, inclusive.
  int64_t u_lo = 0, u_hi = 0, v_lo = 0, v_hi = 0;
  // Mirroring: position' = flip - position.
  bool mirror_x = false, mirror_y = false;
  int64_t flip_u = 0, flip_v = 0;
};

// The rows of a rotated draw: per row the span of pixels that read inside the source, gathered by
// the walk routine (straight into the destination for a copy) and combined by the operation.
void RunRotate(TCustomDIBX& dst, TFormat f, TCustomDIBX& src, TCustomDIBX* mask, const TRotation& w, TOp op,
               const TOpArgs& a) {
  draw::TDrawScope scope(dst, f, &src, mask);
  if (!scope.Ok()) return;
  const int32_t bytes = scope.Bytes(), width = w.area.Width();
  const pixels::TWalkFn walk = scope.Ops().walks[bytes];
  const pixels::TWalkFn walk_mask = scope.Ops().walks[1];
  const pixels::TRowFn row = scope.Row(op);
  const bool copy = op == TOp::Copy;
  uint8_t* s_row = copy ? nullptr : draw::ScratchPixels(dst, width);
  uint8_t* m_row = mask ? draw::ScratchBytes(dst, width) : nullptr;
  for (int32_t j = 0; j < w.area.Height(); ++j) {
    const int64_t u0 = w.u + j * w.du_dy, v0 = w.v + j * w.dv_dy;
    int64_t i0 = 0, i1 = width;
    NarrowSpan(u0, w.du_dx, w.u_lo, w.u_hi, i0, i1);
    NarrowSpan(v0, w.dv_dx, w.v_lo, w.v_hi, i0, i1);
    if (i0 >= i1) continue;
    pixels::TWalk step{u0 + i0 * w.du_dx, v0 + i0 * w.dv_dx, w.du_dx, w.dv_dx};
    if (w.mirror_x) {
      step.u = w.flip_u - step.u;
      step.du = -step.du;
    }
    if (w.mirror_y) {
      step.v = w.flip_v - step.v;
      step.dv = -step.dv;
    }
    const int32_t n = int32_t(i1 - i0);
    uint8_t* d = scope.dst.Row(w.area.Top + j) + ptrdiff_t(w.area.Left + i0) * bytes;
    if (copy) {
      walk(d, scope.src.base, scope.src.pitch, step, n);
      continue;
    }
    walk(s_row, scope.src.base, scope.src.pitch, step, n);
    if (mask) walk_mask(m_row, scope.mask.base, scope.mask.pitch, step, n);
    row(d, s_row, m_row, n, 1, a);
  }
}

void RotateCommon(TCustomDIBX& dst, int32_t x, int32_t y, int32_t scale_x, int32_t scale_y, TCustomDIBX& source,
                  const TRect& src_rect, int32_t pivot_x, int32_t pivot_y, int32_t angle, bool transparent,
                  bool mirror_x, bool mirror_y, TCustomDIBX* mask, int32_t level) {
  if (level <= 0 || scale_x < 1 || scale_y < 1) return;
  level = std::min(level, 511);
  const uint32_t l = uint32_t(level & 255);
  if (level >= 256 && l == 0) return;
  const TFormat fmt = draw::FormatOf(dst);
  if (fmt == TFormat::None || fmt == TFormat::P8 || source.BytesPerPixel() != dst.BytesPerPixel()) return;
  const TRect valid = draw::SourceArea(source, src_rect);
  if (draw::IsEmpty(valid) || (mask && !draw::MaskCovers(*mask, valid))) return;

  const double a = angle * 2.0 * M_PI / 256.0;
  const double sx = scale_x / 256.0, sy = scale_y / 256.0;
  const double ca = std::cos(a), sa = std::sin(a);
  TRotation w;
  w.du_dx = int64_t(kOne * ca / sx);
  w.dv_dx = int64_t(-kOne * sa / sy);
  w.du_dy = int64_t(kOne * sa / sx);
  w.dv_dy = int64_t(kOne * ca / sy);

  const TRect box = CalcRotatedBounds(x, y, pivot_x, pivot_y, angle, src_rect, scale_x, scale_y, 0, 0, false, false);
  const draw::TBox area = draw::TBox::Of(box).Cut(draw::DrawableBox(dst));
  if (area.Empty()) return;
  w.area = area.Rect();
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

  TOpArgs args;
  if (mask) {
    // Weight m at level 255 (a full weight copies), else m * level >> 8; every pixel the mask
    // touches is drawn, a weight of 0 included.
    if (level < 256) {
      args.level = l;
      RunRotate(dst, fmt, source, mask, w, l == 255 ? TOp::Mask : TOp::MaskBlend, args);
    } else {
      args.level = l == 255 ? 256 : l;
      RunRotate(dst, fmt, source, mask, w, TOp::MaskAdd, args);
    }
    return;
  }
  args.keyed = transparent && source.TransparentColor >= 0;
  args.key = uint32_t(source.TransparentColor);
  args.level = l;
  if (level == 255) {
    RunRotate(dst, fmt, source, nullptr, w, args.keyed ? TOp::Key : TOp::Copy, args);
  } else {
    RunRotate(dst, fmt, source, nullptr, w, level < 255 ? TOp::Blend : TOp::Add, args);
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
