// The shared machinery of the drawing operations: formats, 64-bit clipping, the lock-and-dispatch
// helper, scratch rows, and the unscaled, filled and sampled row walks.
#include "graphics/dibx_draw.h"

#include <cmath>
#include <cstring>

namespace kova::draw {

TFormat FormatOf(const TCustomDIBX& s) {
  switch (s.BitCount()) {
    case 8: return TFormat::P8;
    case 15: return TFormat::P555;
    case 16: return s.GreenMask() == 0x3E0 ? TFormat::P555 : TFormat::P565;
    case 24: return TFormat::P24;
    case 32: return s.RowResults ? TFormat::P32Bytes : TFormat::P32;  // DrawResultRule at 32 bits
    default: return TFormat::None;
  }
}

TBox DrawableBox(const TCustomDIBX& s) {
  const TBox b = TBox::Of(s.GetClipRect()).Cut(TBox{0, 0, s.Width(), s.Height()});
  return b.Empty() ? TBox{} : b;
}

bool ClipBlitBox(const TBox& clip, int64_t x, int64_t y, TBox& src, bool mirror_x, bool mirror_y, TBox& dst) {
  if (clip.Empty()) return false;
  dst = TBox{x, y, x + src.W(), y + src.H()};
  if (dst.l < clip.l) {
    const int64_t d = clip.l - dst.l;
    if (mirror_x) src.r -= d; else src.l += d;
    dst.l = clip.l;
  }
  if (dst.t < clip.t) {
    const int64_t d = clip.t - dst.t;
    if (mirror_y) src.b -= d; else src.t += d;
    dst.t = clip.t;
  }
  if (dst.l + src.W() > clip.r) {
    const int64_t d = clip.r - dst.l;
    if (mirror_x) src.l = src.r - d; else src.r = src.l + d;
    dst.r = clip.r;
  } else {
    dst.r = dst.l + src.W();
  }
  if (dst.t + src.H() > clip.b) {
    const int64_t d = clip.b - dst.t;
    if (mirror_y) src.t = src.b - d; else src.b = src.t + d;
    dst.b = clip.b;
  } else {
    dst.b = dst.t + src.H();
  }
  return !dst.Empty();
}

bool ClipPatternBox(const TBox& clip, TBox& dst, int64_t& offset_x, int64_t& offset_y) {
  if (dst.W() < 1 || dst.H() < 1) return false;
  if (dst.l < clip.l) {
    offset_x += clip.l - dst.l;
    dst.l = clip.l;
  }
  if (dst.t < clip.t) {
    offset_y += clip.t - dst.t;
    dst.t = clip.t;
  }
  dst.r = std::min(dst.r, clip.r);
  dst.b = std::min(dst.b, clip.b);
  return !dst.Empty();
}

namespace {

// A source distance in whole pixels: beyond 2^40 any source rectangle (at most 2^32 wide) is cut
// away entirely, so larger values are held there.
int64_t WholePixels(double t) { return int64_t(std::min(t, 1099511627776.0)); }

}  // namespace

bool PrepareStretchBox(const TBox& clip, TBox& dst, TBox& src, bool mirror_x, bool mirror_y, double& step_x,
                       double& step_y, double& frac_x, double& frac_y) {
  frac_x = frac_y = 0;
  step_x = step_y = 0;
  const int64_t dw = dst.W(), dh = dst.H();
  if (dw < 1 || dh < 1) return false;
  step_x = double(src.W()) / double(dw);
  step_y = double(src.H()) / double(dh);
  if (clip.l - dst.l > 0) {
    const double t = double(clip.l - dst.l) * step_x;
    frac_x = t - std::trunc(t);
    if (mirror_x) src.r -= WholePixels(t); else src.l += WholePixels(t);
    dst.l = clip.l;
  }
  if (clip.t - dst.t > 0) {
    const double t = double(clip.t - dst.t) * step_y;
    frac_y = t - std::trunc(t);
    if (mirror_y) src.b -= WholePixels(t); else src.t += WholePixels(t);
    dst.t = clip.t;
  }
  if (dst.r > clip.r) {
    const double t = double(clip.r - dst.l) * step_x;
    if (mirror_x) src.l = src.r - WholePixels(t); else src.r = src.l + WholePixels(t);
    dst.r = clip.r;
  }
  if (dst.b > clip.b) {
    const double t = double(clip.b - dst.t) * step_y;
    if (mirror_y) src.t = src.b - WholePixels(t); else src.b = src.t + WholePixels(t);
    dst.b = clip.b;
  }
  const bool any = !dst.Empty();
  if (any) {
    if (mirror_x) step_x = -step_x;
    if (mirror_y) step_y = -step_y;
  }
  return any;
}

bool PrepareReducedBox(const TBox& clip, TBox& dst, TBox& src, bool mirror_x, bool mirror_y, int64_t& factor_x,
                       int64_t& factor_y) {
  factor_x = factor_y = 0;
  const int64_t dw = dst.W(), dh = dst.H();
  if (dw < 1 || dh < 1 || dst.Cut(clip).Empty()) return false;
  factor_x = src.W() / dw;
  factor_y = src.H() / dh;
  // The destination reaches into the clip, so every cut below is shorter than the destination and
  // its source length (cut x factor) at most the source's size.
  if (clip.l - dst.l > 0) {
    const int64_t d = (clip.l - dst.l) * factor_x;
    if (mirror_x) src.r -= d; else src.l += d;
    dst.l = clip.l;
  }
  if (clip.t - dst.t > 0) {
    const int64_t d = (clip.t - dst.t) * factor_y;
    if (mirror_y) src.b -= d; else src.t += d;
    dst.t = clip.t;
  }
  if (dst.r > clip.r) {
    const int64_t d = (clip.r - dst.l) * factor_x;
    if (mirror_x) src.l = src.r - d; else src.r = src.l + d;
    dst.r = clip.r;
  }
  if (dst.b > clip.b) {
    const int64_t d = (clip.b - dst.t) * factor_y;
    if (mirror_y) src.t = src.b - d; else src.b = src.t + d;
    dst.b = clip.b;
  }
  const bool any = !dst.Empty();
  if (any) {
    if (mirror_x) factor_x = -factor_x;
    if (mirror_y) factor_y = -factor_y;
  }
  return any;
}

namespace {

bool Finish(const TBox& d, const TBox& src, bool mirror_x, bool mirror_y, TBlit& out) {
  out.dst = d.Rect();
  out.sx = int32_t(mirror_x ? src.r - 1 : src.l);
  out.sy = int32_t(mirror_y ? src.b - 1 : src.t);
  out.dir_x = mirror_x ? -1 : 1;
  out.dir_y = mirror_y ? -1 : 1;
  return true;
}

}  // namespace

bool MaskCovers(const TCustomDIBX& mask, const TRect& area) {
  return mask.BitCount() == 8 && area.Left >= 0 && area.Top >= 0 && area.Right <= mask.Width() &&
         area.Bottom <= mask.Height();
}

bool PrepareBlit(const TCustomDIBX& dst, int32_t x, int32_t y, const TCustomDIBX& source, const TRect& src_rect,
                 bool mirror_x, bool mirror_y, const TCustomDIBX* mask, TBlit& out) {
  if (mask && mask->BitCount() != 8) return false;
  TBox src = TBox::Of(src_rect);
  int64_t px = x, py = y;
  const int64_t w = source.Width(), h = source.Height();
  if (src.l < 0) {
    if (!mirror_x) px -= src.l;
    src.l = 0;
  }
  if (src.r > w) {
    if (mirror_x) px += src.r - w;
    src.r = w;
  }
  if (src.t < 0) {
    if (!mirror_y) py -= src.t;
    src.t = 0;
  }
  if (src.b > h) {
    if (mirror_y) py += src.b - h;
    src.b = h;
  }
  if (src.Empty()) return false;
  TBox d;
  if (!ClipBlitBox(DrawableBox(dst), px, py, src, mirror_x, mirror_y, d)) return false;
  if (mask && !MaskCovers(*mask, src.Rect())) return false;
  return Finish(d, src, mirror_x, mirror_y, out);
}

bool PrepareMaskBlit(const TCustomDIBX& dst, int32_t x, int32_t y, const TCustomDIBX& mask, const TRect& src_rect,
                     bool mirror_x, bool mirror_y, TBlit& out) {
  if (mask.BitCount() != 8) return false;
  TBox src = TBox::Of(src_rect);
  TBox d;
  if (!ClipBlitBox(DrawableBox(dst), x, y, src, mirror_x, mirror_y, d)) return false;
  if (src.l < 0 || src.t < 0 || src.r > mask.Width() || src.b > mask.Height()) return false;
  return Finish(d, src, mirror_x, mirror_y, out);
}

// ---- Locks ----

TDrawScope::TDrawScope(TCustomDIBX& dst_surface, TFormat format, TCustomDIBX* src_surface, TCustomDIBX* mask_surface)
    : ops_(pixels::PixelOps()), format_(format) {
  ok_ = format != TFormat::None && Lock(&dst_surface, dst) && (!src_surface || Lock(src_surface, src)) &&
        (!mask_surface || Lock(mask_surface, mask));
}

TDrawScope::~TDrawScope() {
  for (int32_t i = count_ - 1; i >= 0; --i) locked_[i]->Unlock();
}

bool TDrawScope::Lock(TCustomDIBX* s, TPlane& plane) {
  for (int32_t i = 0; i < count_; ++i) {
    if (locked_[i] == s) {
      plane = planes_[i];
      return true;
    }
  }
  if (s->IsEmpty()) return false;
  uint8_t* p = s->PixelAddress(0, 0);
  if (!p) return false;
  plane = TPlane{p, s->Pitch()};
  locked_[count_] = s;
  planes_[count_++] = plane;
  return true;
}

// ---- Scratch ----

uint8_t* ScratchPixels(TCustomDIBX& dst, int32_t n) {
  std::vector<uint32_t>& v = dst.DrawScratch().pixels;
  if (v.size() < size_t(n) + 1) v.resize(size_t(n) + 1);
  return reinterpret_cast<uint8_t*>(v.data());
}

uint8_t* ScratchBytes(TCustomDIBX& dst, int32_t n) {
  std::vector<uint8_t>& v = dst.DrawScratch().bytes;
  if (v.size() < size_t(n) + 1) v.resize(size_t(n) + 1);
  return v.data();
}

TSampling& ScratchSampling(TCustomDIBX& dst) { return dst.DrawScratch().sampling; }

// ---- Walks ----

namespace {

// Whether h rows of w pixels `pitch` bytes apart lie end to end (and their pixels fit a row count).
bool OneRow(int32_t w, int32_t h, ptrdiff_t pitch, int32_t bytes) {
  return h > 1 && pitch == ptrdiff_t(w) * bytes && int64_t(w) * h <= INT32_MAX;
}

}  // namespace

void DrawBlit(TCustomDIBX& dst, TFormat f, TCustomDIBX* source, TCustomDIBX* mask, const TBlit& b, TOp op,
              const TOpArgs& a) {
  TDrawScope scope(dst, f, source, mask);
  if (!scope.Ok()) return;
  int32_t w = b.dst.Width(), h = b.dst.Height();
  uint8_t* d = scope.dst.Row(b.dst.Top) + ptrdiff_t(b.dst.Left) * scope.Bytes();
  ptrdiff_t d_pitch = scope.dst.pitch;
  const uint8_t* s = nullptr;
  const uint8_t* m = nullptr;
  ptrdiff_t s_pitch = 0, m_pitch = 0;
  if (source) {
    s = scope.src.Row(b.sy) + ptrdiff_t(b.sx) * source->BytesPerPixel();
    s_pitch = scope.src.pitch * b.dir_y;
  }
  if (mask) {
    m = scope.mask.Row(b.sy) + b.sx;
    m_pitch = scope.mask.pitch * b.dir_y;
  }
  // Bottom-up storage is walked bottom to top, in rising addresses (the prefetchers' best case);
  // a draw that reads the destination itself keeps the top-to-bottom order.
  if (d_pitch < 0 && h > 1 && source != &dst && mask != &dst) {
    const ptrdiff_t last = h - 1;
    d += last * d_pitch;
    d_pitch = -d_pitch;
    if (s) s += last * s_pitch;
    s_pitch = -s_pitch;
    if (m) m += last * m_pitch;
    m_pitch = -m_pitch;
  }
  // Rows that lie end to end in the destination, the source and the mask are one long row: a
  // whole-surface draw costs one call, not one a row. A surface drawn onto itself keeps its rows.
  if (b.dir_x > 0 && source != &dst && mask != &dst && OneRow(w, h, d_pitch, scope.Bytes()) &&
      (!s || (source->BitCount() >= 8 && OneRow(w, h, s_pitch, source->BytesPerPixel()))) &&
      (!m || OneRow(w, h, m_pitch, 1))) {
    w *= h;
    h = 1;
  }
  scope.Block(op)(pixels::TBlock{d, s, m, d_pitch, s_pitch, m_pitch, w, h, b.dir_x}, a);
}

void DrawFill(TCustomDIBX& dst, TFormat f, const TRect& rect, TOp op, const TOpArgs& a) {
  const TBox r = TBox::Of(rect).Cut(DrawableBox(dst));
  if (r.Empty()) return;
  TDrawScope scope(dst, f);
  if (!scope.Ok()) return;
  const int32_t w = int32_t(r.W()), h = int32_t(r.H());
  ptrdiff_t pitch = scope.dst.pitch;
  uint8_t* p = scope.dst.Row(int32_t(r.t)) + ptrdiff_t(r.l) * scope.Bytes();
  if (pitch < 0) {  // rising addresses, as in DrawBlit
    p += ptrdiff_t(h - 1) * pitch;
    pitch = -pitch;
  }
  pixels::TBlock block{p, nullptr, nullptr, pitch, 0, 0, w, h, 1};
  if (OneRow(w, h, pitch, scope.Bytes())) {
    block.n = w * h;
    block.rows = 1;
  }
  scope.Block(op)(block, a);
}

namespace {

// The samples of a row whose columns run up by one from `start` and wrap at `period`: the first
// period from the source row, then doubling copies of what is already written.
void CopyPeriodic(uint8_t* out, const uint8_t* row, int32_t start, int32_t period, int32_t n, int32_t bytes) {
  const size_t b = size_t(bytes);
  const int32_t head = std::min(period - start, n);
  std::memcpy(out, row + size_t(start) * b, size_t(head) * b);
  int32_t filled = head;
  if (filled < n) {
    const int32_t tail = std::min(start, n - filled);
    std::memcpy(out + size_t(filled) * b, row, size_t(tail) * b);
    filled += tail;
  }
  while (filled < n) {
    const int32_t chunk = std::min(filled / period * period, n - filled);
    std::memcpy(out + size_t(filled) * b, out, size_t(chunk) * b);
    filled += chunk;
  }
}

}  // namespace

void DrawSampled(TCustomDIBX& dst, TFormat f, TCustomDIBX& source, TCustomDIBX* mask, const TSampling& smp, TOp op,
                 const TOpArgs& a) {
  TDrawScope scope(dst, f, &source, mask);
  if (!scope.Ok()) return;
  const TRect& d = smp.dst;
  const int32_t n = smp.i1 - smp.i0, bytes = scope.Bytes();
  const int32_t* cols = smp.cols.data() + smp.i0;
  const int32_t src_bytes = source.BytesPerPixel();
  const pixels::TGatherFn gather_pixels = scope.Ops().gathers[src_bytes];
  const pixels::TGatherFn gather_masks = scope.Ops().gathers[1];
  const int32_t period = smp.period;
  auto gather = [&](uint8_t* out, const uint8_t* row, const int32_t* c, int32_t count) {
    if (period > 0) {
      CopyPeriodic(out, row, c[0], period, count, src_bytes);
    } else {
      gather_pixels(out, row, c, count);
    }
  };
  auto gather_mask = [&](uint8_t* out, const uint8_t* row, const int32_t* c, int32_t count) {
    if (period > 0) {
      CopyPeriodic(out, row, c[0], period, count, 1);
    } else {
      gather_masks(out, row, c, count);
    }
  };
  const pixels::TRowFn row = scope.Row(op);
  const bool copy = op == TOp::Copy;
  uint8_t* s_row = copy ? nullptr : ScratchPixels(dst, n);
  uint8_t* m_row = mask ? ScratchBytes(dst, n) : nullptr;
  int32_t last = -1;
  const uint8_t* prev = nullptr;
  for (int32_t j = 0; j < d.Height(); ++j) {
    const int32_t r = smp.rows[size_t(j)];
    if (r < 0) {
      prev = nullptr;
      continue;
    }
    uint8_t* d_row = scope.dst.Row(d.Top + j) + ptrdiff_t(d.Left + smp.i0) * bytes;
    if (copy) {
      // A copy of the same source row gives the pixels of the row above.
      if (prev && r == last) {
        std::memcpy(d_row, prev, size_t(n) * size_t(bytes));
      } else {
        gather(d_row, scope.src.Row(r), cols, n);
      }
      prev = d_row;
      last = r;
      continue;
    }
    if (r != last) {
      gather(s_row, scope.src.Row(r), cols, n);
      if (mask) gather_mask(m_row, scope.mask.Row(r), cols, n);
      last = r;
    }
    row(d_row, s_row, m_row, n, 1, a);
  }
}

}  // namespace kova::draw
