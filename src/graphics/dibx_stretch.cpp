// Stretched drawing and the scaled pattern fills: a source column for every destination column and
// a source row (or none) for every destination row, sampled to the nearest pixel in 16.16 fixed
// point, then one pixel operation per destination row.
#include <cmath>
#include <vector>

#include "graphics/dibx.h"
#include "graphics/dibx_draw.h"

namespace kova {

using draw::TBox;
using draw::TFormat;
using draw::TOp;
using draw::TOpArgs;
using draw::TSampling;

namespace {

constexpr int64_t kOne = 65536;

// What a stretched or pattern draw does with each sample.
enum class TMode { Alpha, Add, MaskAlpha, MaskAdd };

struct TKey {
  bool on = false;
  uint32_t value = 0;
  static TKey Of(bool use, int32_t key) { return TKey{use && key >= 0, uint32_t(key)}; }
};

void RunMode(TCustomDIBX& dst, TFormat f, TCustomDIBX& src, TCustomDIBX* mask, const TSampling& smp, TMode mode,
             int32_t level, TKey key) {
  const bool row = DrawResultRule(dst) == TDrawRule::Row;
  TOpArgs a;
  a.level = uint32_t(std::min(level, 255));
  a.keyed = key.on;
  a.key = key.value;
  TOp op = TOp::Copy;
  switch (mode) {
    case TMode::Alpha:
      if (level >= 255) {
        op = key.on ? TOp::Key : TOp::Copy;
      } else {
        op = TOp::Blend;
        a.skip_equal = row;
      }
      break;
    case TMode::Add:
      op = TOp::Add;
      a.skip_equal = row && dst.BitCount() == 32;
      break;
    case TMode::MaskAlpha:
      // The row results at 255 and above weigh by the mask alone and copy where it is full; below,
      // and in the per-pixel results, every pixel the mask touches blends with m * alpha >> 8 (a
      // weight of 0 included).
      op = row && level >= 255 ? TOp::Mask : TOp::MaskBlend;
      a.skip_equal = row;
      break;
    case TMode::MaskAdd: op = TOp::MaskAdd; break;
  }
  draw::DrawSampled(dst, f, src, mask, smp, op, a);
}

// The stretch set-up: PrepareStretch against the clip, then the column and row tables. Samples
// that fall outside the source rectangle cut to the source's bounds (`valid`) are not drawn, so
// mirrored and clipped stretches never read outside the source. The walk runs in 64 bits and stops
// at the end of the valid columns, so no coordinate overflows.
bool PrepareStretchSampling(const TCustomDIBX& dst, const TRect& dst_rect, const TRect& src_rect,
                            const TRect& valid, bool mirror_x, bool mirror_y, TSampling& smp) {
  TBox d = TBox::Of(dst_rect), s = TBox::Of(src_rect);
  double step_x, step_y, frac_x, frac_y;
  if (!draw::PrepareStretchBox(draw::DrawableBox(dst), d, s, mirror_x, mirror_y, step_x, step_y, frac_x, frac_y))
    return false;
  const int64_t step_u = int64_t(step_x * kOne), step_v = int64_t(step_y * kOne);
  const int64_t fu = int64_t(frac_x * kOne), fv = int64_t(frac_y * kOne);
  int64_t u = mirror_x ? s.r * kOne - 1 - fu : s.l * kOne + fu;
  int64_t v = mirror_y ? s.b * kOne - 1 - fv : s.t * kOne + fv;
  const int32_t dw = int32_t(d.W()), dh = int32_t(d.H());
  smp.dst = d.Rect();
  smp.period = 0;
  smp.cols.resize(size_t(dw));
  int32_t first = -1, last = -1;
  for (int32_t i = 0; i < dw; ++i, u += step_u) {
    const int64_t c = u / kOne;  // toward zero
    if (c >= valid.Left && c < valid.Right) {
      smp.cols[size_t(i)] = int32_t(c);
      if (first < 0) first = i;
      last = i;
    } else if (first >= 0 || (step_u > 0 ? c >= valid.Right : step_u < 0 ? c < valid.Left : true)) {
      break;  // past the valid columns, or moving away from them
    }
  }
  if (first < 0) return false;
  smp.i0 = first;
  smp.i1 = last + 1;
  smp.rows.resize(size_t(dh));
  bool any = false;
  for (int32_t j = 0; j < dh; ++j, v += step_v) {
    const int64_t r = v / kOne;
    const bool in = r >= valid.Top && r < valid.Bottom;
    smp.rows[size_t(j)] = in ? int32_t(r) : -1;
    any = any || in;
  }
  return any;
}

void StretchCommon(TCustomDIBX& dst, const TRect& dst_rect, TCustomDIBX& source, const TRect& src_rect,
                   bool mirror_x, bool mirror_y, TCustomDIBX* mask, TMode mode, int32_t level, TKey key) {
  if (level <= 0) return;
  const TFormat f = draw::FormatOf(dst);
  if (f == TFormat::None || source.BytesPerPixel() != dst.BytesPerPixel()) return;
  const TRect valid = draw::SourceArea(source, src_rect);
  if (draw::IsEmpty(valid) || (mask && !draw::MaskCovers(*mask, valid))) return;
  TSampling& smp = draw::ScratchSampling(dst);
  if (!PrepareStretchSampling(dst, dst_rect, src_rect, valid, mirror_x, mirror_y, smp)) return;
  RunMode(dst, f, source, mask, smp, mode, level, key);
}

// The scaled pattern set-up: a wrapping column table and row table over the pattern.
bool PreparePatternSampling(const TCustomDIBX& dst, const TRect& rect, int32_t scale_x, int32_t scale_y, int32_t pw,
                            int32_t ph, int32_t offset_x, int32_t offset_y, bool mirror_x, bool mirror_y,
                            TSampling& smp) {
  if (scale_x < 1 || scale_y < 1 || pw < 1 || ph < 1) return false;
  TBox d = TBox::Of(rect);
  int64_t ox = offset_x, oy = offset_y;
  if (!draw::ClipPatternBox(draw::DrawableBox(dst), d, ox, oy)) return false;
  // One axis: the table of `n` pattern positions starting at the phase of `offset`.
  auto axis = [](std::vector<int32_t>& out, int32_t n, int32_t scale, int32_t size, int64_t offset, bool mirror) {
    const int64_t wrap = int64_t(size) * kOne;
    int64_t step = std::min(int64_t(256.0 / scale * kOne), wrap);
    if (mirror) step = -step;
    const double q = double(offset) / (double(scale) * size / 256.0);
    double p = (q - std::trunc(q)) * size;
    if (offset < 0) p += size;
    if (mirror) p = size - p;
    if (p >= size) p -= size;
    int64_t u = std::clamp(int64_t(p * kOne), int64_t(0), wrap - 1);
    out.resize(size_t(n));
    for (int32_t i = 0; i < n; ++i) {
      out[size_t(i)] = int32_t(u >> 16);
      u += step;
      if (u >= wrap) u -= wrap;
      if (u < 0) u += wrap;
    }
  };
  smp.dst = d.Rect();
  axis(smp.cols, int32_t(d.W()), scale_x, pw, ox, mirror_x);
  axis(smp.rows, int32_t(d.H()), scale_y, ph, oy, mirror_y);
  smp.i0 = 0;
  smp.i1 = int32_t(d.W());
  // Unscaled and unmirrored, the columns step by exactly one pixel and wrap at the width.
  smp.period = scale_x == 256 && !mirror_x ? pw : 0;
  return true;
}

void PatternCommon(TCustomDIBX& dst, const TRect& rect, int32_t scale_x, int32_t scale_y, TCustomDIBX& pattern,
                   int32_t offset_x, int32_t offset_y, bool mirror_x, bool mirror_y, TCustomDIBX* mask,
                   bool transparent, int32_t level) {
  // Level: below 255 blend, 255 copy, 256 and above add with min(level - 256, 255).
  TMode mode = mask ? TMode::MaskAlpha : TMode::Alpha;
  if (level >= 256) {
    mode = mask ? TMode::MaskAdd : TMode::Add;
    level = std::min(level - 256, 255);
  }
  if (level <= 0) return;
  const TFormat f = draw::FormatOf(dst);
  if (f == TFormat::None || pattern.BytesPerPixel() != dst.BytesPerPixel()) return;
  const int32_t pw = pattern.Width(), ph = pattern.Height();
  if (mask && !draw::MaskCovers(*mask, TRect{0, 0, pw, ph})) return;
  TSampling& smp = draw::ScratchSampling(dst);
  if (!PreparePatternSampling(dst, rect, scale_x, scale_y, pw, ph, offset_x, offset_y, mirror_x, mirror_y, smp))
    return;
  RunMode(dst, f, pattern, mask, smp, mode, level, TKey::Of(transparent && !mask, pattern.TransparentColor));
}

}  // namespace

void TCustomDIBX::StretchDraw(const TRect& dst_rect, TCustomDIBX& source, const TRect& src_rect,
                              bool transparent, bool mirror_x, bool mirror_y, int32_t alpha) {
  StretchCommon(*this, dst_rect, source, src_rect, mirror_x, mirror_y, nullptr, TMode::Alpha, alpha,
                TKey::Of(transparent, source.TransparentColor));
}

void TCustomDIBX::StretchDrawMask(const TRect& dst_rect, TCustomDIBX& source, const TRect& src_rect,
                                  bool mirror_x, bool mirror_y, TCustomDIBX& mask, int32_t alpha) {
  StretchCommon(*this, dst_rect, source, src_rect, mirror_x, mirror_y, &mask, TMode::MaskAlpha, alpha, TKey{});
}

void TCustomDIBX::StretchDrawAdd(const TRect& dst_rect, TCustomDIBX& source, const TRect& src_rect,
                                 bool transparent, bool mirror_x, bool mirror_y, int32_t level) {
  StretchCommon(*this, dst_rect, source, src_rect, mirror_x, mirror_y, nullptr, TMode::Add, level,
                TKey::Of(transparent, source.TransparentColor));
}

void TCustomDIBX::StretchDrawMaskAdd(const TRect& dst_rect, TCustomDIBX& source, const TRect& src_rect,
                                     bool mirror_x, bool mirror_y, TCustomDIBX& mask, int32_t level) {
  StretchCommon(*this, dst_rect, source, src_rect, mirror_x, mirror_y, &mask, TMode::MaskAdd, level, TKey{});
}

void TCustomDIBX::DrawPatternTable(const TRect& rect, int32_t scale_x, int32_t scale_y, TCustomDIBX& pattern,
                                   int32_t offset_x, int32_t offset_y, bool transparent, bool mirror_x,
                                   bool mirror_y, int32_t level) {
  PatternCommon(*this, rect, scale_x, scale_y, pattern, offset_x, offset_y, mirror_x, mirror_y, nullptr,
                transparent, level);
}

void TCustomDIBX::DrawPatternTableMask(const TRect& rect, int32_t scale_x, int32_t scale_y, TCustomDIBX& pattern,
                                       int32_t offset_x, int32_t offset_y, bool mirror_x, bool mirror_y,
                                       TCustomDIBX& mask, int32_t level) {
  PatternCommon(*this, rect, scale_x, scale_y, pattern, offset_x, offset_y, mirror_x, mirror_y, &mask, false,
                level);
}

void TCustomDIBX::StretchDrawTableAdd(const TRect& dst_rect, TCustomDIBX& source, const TRect& src_rect,
                                      int32_t threshold, bool mirror_x, bool mirror_y, int32_t level,
                                      std::span<const uint32_t> table) {
  // Only the row form exists: 15-, 16- and 32-bit destinations with the row results.
  if (level <= 0 || table.size() < 256 || source.BitCount() != 8) return;
  if (DrawResultRule(*this) != TDrawRule::Row) return;
  const TRect valid = draw::SourceArea(source, src_rect);
  if (draw::IsEmpty(valid)) return;
  TSampling& smp = draw::ScratchSampling(*this);
  if (!PrepareStretchSampling(*this, dst_rect, src_rect, valid, mirror_x, mirror_y, smp)) return;
  TOpArgs a;
  a.table = table.data();
  a.table_mode = pixels::TTableMode::Add;
  a.threshold = threshold;
  a.level = uint32_t(std::min(level, 255));
  draw::DrawSampled(*this, draw::FormatOf(*this), source, nullptr, smp, TOp::Table, a);
}

}  // namespace kova
