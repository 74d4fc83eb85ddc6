// Stretched drawing and the scaled pattern fills: a source column for every destination column and
// a source row (or none) for every destination row, sampled to the nearest pixel in 16.16 fixed
// point, then one pixel operation per destination pixel.
#include <cmath>
#include <type_traits>
#include <vector>

#include "graphics/dibx.h"
#include "graphics/dibx_xf_ops.h"

namespace kova {

using namespace xf;

namespace {

constexpr int64_t kOne = 65536;

// Where each destination pixel of `dst` reads: cols[i] for columns dst.Left + i (only i0..i1-1
// are drawn), rows[j] for row dst.Top + j (-1: the row is left).
struct TSampling {
  TRect dst;
  int32_t i0 = 0, i1 = 0;
  std::vector<int32_t> cols;
  std::vector<int32_t> rows;
};

// One scratch sampling per thread, so that repeated small draws (tiles) do not allocate.
TSampling& Scratch() {
  thread_local TSampling sampling;
  return sampling;
}

template <class F, class S, class Op>
void SampledRows(const TSurfaceLock& dl, const TSurfaceLock& sl, const TSurfaceLock* ml, const TSampling& smp,
                 const Op& op) {
  const TRect& d = smp.dst;
  const int32_t* cols = smp.cols.data();
  const uint8_t* prev = nullptr;
  const size_t span_bytes = size_t(smp.i1 - smp.i0) * F::kBytes;
  for (int32_t j = 0; j < d.Height(); ++j) {
    const int32_t r = smp.rows[size_t(j)];
    if (r < 0) {
      prev = nullptr;
      continue;
    }
    uint8_t* drow = dl.Row(d.Top + j) + ptrdiff_t(d.Left + smp.i0) * F::kBytes;
    if constexpr (std::is_same_v<Op, OpCopy>) {
      // A plain copy of the same source row gives the same pixels as the row above.
      if (prev && smp.rows[size_t(j) - 1] == r) {
        std::memcpy(drow, prev, span_bytes);
        prev = drow;
        continue;
      }
    }
    const uint8_t* srow = sl.Row(r);
    const uint8_t* mrow = nullptr;
    if constexpr (Op::kMask) mrow = ml->Row(r);
    uint8_t* p = drow;
    for (int32_t i = smp.i0; i < smp.i1; ++i, p += F::kBytes) {
      const int32_t c = cols[i];
      uint32_t m = 0;
      if constexpr (Op::kMask) m = mrow[c];
      op.template Put<F>(p, S::Load(srow + ptrdiff_t(c) * S::kBytes), m);
    }
    prev = drow;
  }
}

// Locks the three surfaces and runs the operation in the destination's format (sources of the
// same format, or 8-bit codes when `Codes` is set).
template <class Op, bool Codes = false>
void RunSampled(TCustomDIBX& dst, TFormatId fmt, TCustomDIBX& src, TCustomDIBX* mask, const TSampling& smp,
                const Op& op) {
  TSurfaceLock dl(dst);
  if (!dl.Base()) return;
  TSurfaceLock sl(src);
  if (!sl.Base()) return;
  if constexpr (Op::kMask) {
    if (!mask) return;
    TSurfaceLock ml(*mask);
    if (!ml.Base()) return;
    VisitFormat(fmt, [&](auto f) {
      using F = decltype(f);
      SampledRows<F, F>(dl, sl, &ml, smp, op);
    });
  } else {
    VisitFormat(fmt, [&](auto f) {
      using F = decltype(f);
      using S = std::conditional_t<Codes, Fmt8, F>;
      SampledRows<F, S>(dl, sl, nullptr, smp, op);
    });
  }
}

// What a stretched or pattern draw does with each sample.
enum class TMode { Alpha, Add, MaskAlpha, MaskAdd };

void RunMode(TCustomDIBX& dst, TFormatId fmt, TCustomDIBX& src, TCustomDIBX* mask, const TSampling& smp,
             TMode mode, int32_t level, TKey key) {
  const bool row = DrawResultRule(dst.BitCount()) == TDrawRule::Row;
  const uint32_t l = uint32_t(std::min(level, 255));
  switch (mode) {
    case TMode::Alpha:
      if (level >= 255) {
        if (key.on) {
          RunSampled(dst, fmt, src, nullptr, smp, OpCopyKey{key.value});
        } else {
          RunSampled(dst, fmt, src, nullptr, smp, OpCopy{});
        }
      } else {
        RunSampled(dst, fmt, src, nullptr, smp, OpBlend{key, l, row});
      }
      break;
    case TMode::Add:
      RunSampled(dst, fmt, src, nullptr, smp, OpAdd{key, l, row && dst.BitCount() == 32});
      break;
    case TMode::MaskAlpha:
      if (row && level >= 255) {
        RunSampled(dst, fmt, src, mask, smp, OpMaskBlend{255, true, true, true});
      } else {
        RunSampled(dst, fmt, src, mask, smp, OpMaskBlend{l, false, false, row});
      }
      break;
    case TMode::MaskAdd:
      RunSampled(dst, fmt, src, mask, smp, OpMaskAdd{l, false});
      break;
  }
}

// The stretch set-up: PrepareStretch against the clip, then the column and row tables. Samples
// that fall outside the source rectangle (cut to the source's bounds) are not drawn, so mirrored
// and clipped stretches never read outside the source.
bool PrepareStretchSampling(const TCustomDIBX& dst, const TRect& dst_rect, const TRect& src_rect,
                            const TRect& valid, bool mirror_x, bool mirror_y, TSampling& smp) {
  TRect d = dst_rect, s = src_rect;
  double step_x, step_y, frac_x, frac_y;
  if (!dst.PrepareStretch(d, s, mirror_x, mirror_y, step_x, step_y, frac_x, frac_y)) return false;
  const int64_t step_u = int64_t(step_x * kOne), step_v = int64_t(step_y * kOne);
  const int64_t fu = int64_t(frac_x * kOne), fv = int64_t(frac_y * kOne);
  const int64_t u0 = mirror_x ? int64_t(s.Right) * kOne - 1 - fu : int64_t(s.Left) * kOne + fu;
  const int64_t v0 = mirror_y ? int64_t(s.Bottom) * kOne - 1 - fv : int64_t(s.Top) * kOne + fv;
  const int32_t dw = d.Width(), dh = d.Height();
  smp.dst = d;
  smp.cols.resize(size_t(dw));
  int32_t first = -1, last = -1;
  for (int32_t i = 0; i < dw; ++i) {
    const int32_t c = int32_t((u0 + i * step_u) / kOne);
    smp.cols[size_t(i)] = c;
    if (c >= valid.Left && c < valid.Right) {
      if (first < 0) first = i;
      last = i;
    }
  }
  if (first < 0) return false;
  smp.i0 = first;
  smp.i1 = last + 1;
  smp.rows.resize(size_t(dh));
  bool any = false;
  for (int32_t j = 0; j < dh; ++j) {
    const int32_t r = int32_t((v0 + j * step_v) / kOne);
    const bool in = r >= valid.Top && r < valid.Bottom;
    smp.rows[size_t(j)] = in ? r : -1;
    any = any || in;
  }
  return any;
}

void StretchCommon(TCustomDIBX& dst, const TRect& dst_rect, TCustomDIBX& source, const TRect& src_rect,
                   bool mirror_x, bool mirror_y, TCustomDIBX* mask, TMode mode, int32_t level, TKey key) {
  if (level <= 0) return;
  const TFormatId fmt = FormatOf(dst);
  if (fmt == TFormatId::None || !SameBytesPerPixel(dst, source)) return;
  const TRect valid = CutRect(src_rect, source.BoundsRect());
  if (RectEmpty(valid) || (mask && !MaskCovers(*mask, valid))) return;
  TSampling& smp = Scratch();
  if (!PrepareStretchSampling(dst, dst_rect, src_rect, valid, mirror_x, mirror_y, smp)) return;
  RunMode(dst, fmt, source, mask, smp, mode, level, key);
}

// The scaled pattern set-up: a wrapping column table and row table over the pattern.
bool PreparePatternSampling(const TCustomDIBX& dst, const TRect& rect, int32_t scale_x, int32_t scale_y,
                            int32_t pw, int32_t ph, int32_t offset_x, int32_t offset_y, bool mirror_x,
                            bool mirror_y, TSampling& smp) {
  if (scale_x < 1 || scale_y < 1 || pw < 1 || ph < 1) return false;
  TRect d = rect;
  if (!dst.ClipPattern(d, offset_x, offset_y)) return false;
  // One axis: the table of `n` pattern positions starting at the phase of `offset`.
  auto axis = [](std::vector<int32_t>& out, int32_t n, int32_t scale, int32_t size, int32_t offset, bool mirror) {
    const int64_t wrap = int64_t(size) * kOne;
    int64_t step = std::min(int64_t(256.0 / scale * kOne), wrap);
    if (mirror) step = -step;
    const double q = offset / (double(scale) * size / 256.0);
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
  smp.dst = d;
  axis(smp.cols, d.Width(), scale_x, pw, offset_x, mirror_x);
  axis(smp.rows, d.Height(), scale_y, ph, offset_y, mirror_y);
  smp.i0 = 0;
  smp.i1 = d.Width();
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
  const TFormatId fmt = FormatOf(dst);
  if (fmt == TFormatId::None || !SameBytesPerPixel(dst, pattern)) return;
  const int32_t pw = pattern.Width(), ph = pattern.Height();
  if (mask && !MaskCovers(*mask, TRect{0, 0, pw, ph})) return;
  TSampling& smp = Scratch();
  if (!PreparePatternSampling(dst, rect, scale_x, scale_y, pw, ph, offset_x, offset_y, mirror_x, mirror_y, smp))
    return;
  RunMode(dst, fmt, pattern, mask, smp, mode, level, TKey::Of(transparent && !mask, pattern.TransparentColor));
}

// 8-bit codes through a table, added at a level; codes below the threshold are left.
struct OpTableAdd {
  static constexpr bool kMask = false;
  const uint32_t* table;
  int32_t threshold;
  uint32_t level;
  template <class F>
  void Put(uint8_t* p, uint32_t code, uint32_t) const {
    if (int32_t(code) < threshold) return;
    F::Store(p, F::Add(F::Load(p), table[code], level));
  }
};

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
  if (DrawResultRule(BitCount()) != TDrawRule::Row) return;
  const TFormatId fmt = FormatOf(*this);
  const TRect valid = CutRect(src_rect, source.BoundsRect());
  if (RectEmpty(valid)) return;
  TSampling& smp = Scratch();
  if (!PrepareStretchSampling(*this, dst_rect, src_rect, valid, mirror_x, mirror_y, smp)) return;
  RunSampled<OpTableAdd, true>(*this, fmt, source, nullptr, smp,
                               OpTableAdd{table.data(), threshold, uint32_t(std::min(level, 255))});
}

}  // namespace kova
