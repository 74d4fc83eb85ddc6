// What every drawing operation of the surfaces shares: the destination's pixel format, rectangles
// in 64 bits (so clip arithmetic never overflows, whatever coordinates callers pass), the
// lock-and-dispatch helper, and the row walks that feed the pixel operations (pixels/ops.h).
//
// A drawing operation: FormatOf(destination) (None: draw nothing); its geometry (PrepareBlit,
// the stretch or rotation set-up, or a clipped box); then one of the walks below, or its own rows
// inside a TDrawScope. Text, transitions and effects draw through the same pieces.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/types.h"
#include "graphics/dibx.h"
#include "graphics/pixels/ops.h"

namespace kova::draw {

using pixels::TFormat;
using pixels::TOp;
using pixels::TOpArgs;

// The format drawing combines a destination's pixels in: 15 and 16 bits by the green mask, 32 bits
// by the result rule (DrawResultRule); None for depths nothing draws into.
TFormat FormatOf(const TCustomDIBX& s);

// A value held to the int32 range.
inline int32_t Saturate(int64_t v) { return int32_t(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

// A rectangle in 64 bits: the sums of int32 coordinates and sizes never overflow here.
struct TBox {
  int64_t l = 0, t = 0, r = 0, b = 0;
  static TBox Of(const TRect& x) { return TBox{x.Left, x.Top, x.Right, x.Bottom}; }
  int64_t W() const { return r - l; }
  int64_t H() const { return b - t; }
  bool Empty() const { return l >= r || t >= b; }
  TBox Cut(const TBox& o) const {
    return TBox{std::max(l, o.l), std::max(t, o.t), std::min(r, o.r), std::min(b, o.b)};
  }
  // The box as a rectangle, each edge held to the int32 range (exact for boxes cut to a surface).
  TRect Rect() const { return TRect{Saturate(l), Saturate(t), Saturate(r), Saturate(b)}; }
};

// The area drawing into a surface may touch: its clip rectangle cut to its bounds.
TBox DrawableBox(const TCustomDIBX& s);

// ClipBlit in 64 bits: the destination (x, y) with the source box's size, clipped to `clip`; the
// source box loses what was cut (at the opposite end on mirrored axes). False: nothing left.
bool ClipBlitBox(const TBox& clip, int64_t x, int64_t y, TBox& src, bool mirror_x, bool mirror_y, TBox& dst);

// ClipPattern in 64 bits: what is cut at the left and top goes into the offsets.
bool ClipPatternBox(const TBox& clip, TBox& dst, int64_t& offset_x, int64_t& offset_y);
// PrepareStretch in 64 bits: the destination clipped, the source cut in proportion; source steps
// per destination pixel (negative on mirrored axes) and the fraction of a source pixel cut away at
// the left and top.
bool PrepareStretchBox(const TBox& clip, TBox& dst, TBox& src, bool mirror_x, bool mirror_y, double& step_x,
                       double& step_y, double& frac_x, double& frac_y);
// PrepareReduced in 64 bits: factors = source size div destination size (negative when mirrored).
bool PrepareReducedBox(const TBox& clip, TBox& dst, TBox& src, bool mirror_x, bool mirror_y, int64_t& factor_x,
                       int64_t& factor_y);

// An unscaled draw after clipping: the destination area, the source pixel that lands on its
// top-left corner, and the directions the source is walked in (-1 on mirrored axes).
struct TBlit {
  TRect dst;
  int32_t sx = 0, sy = 0;
  int32_t dir_x = 1, dir_y = 1;
};

// The set-up of an unscaled draw: the source rectangle cut to the source's bounds (the
// destination point moving with it, so the pixels left land where they would have), then clipped
// to the destination's drawable area. A mask must be 8-bit and cover the source pixels used.
// False: nothing to draw.
bool PrepareBlit(const TCustomDIBX& dst, int32_t x, int32_t y, const TCustomDIBX& source, const TRect& src_rect,
                 bool mirror_x, bool mirror_y, const TCustomDIBX* mask, TBlit& out);
// The same for a mask walked like a source (FillMask): not cut, but it must contain the clipped
// rectangle.
bool PrepareMaskBlit(const TCustomDIBX& dst, int32_t x, int32_t y, const TCustomDIBX& mask, const TRect& src_rect,
                     bool mirror_x, bool mirror_y, TBlit& out);

// The part of a source rectangle inside the source (maybe empty).
inline TRect SourceArea(const TCustomDIBX& source, const TRect& src_rect) {
  return TBox::Of(src_rect).Cut(TBox{0, 0, source.Width(), source.Height()}).Rect();
}
inline bool IsEmpty(const TRect& r) { return r.Left >= r.Right || r.Top >= r.Bottom; }

// An 8-bit mask that covers `area` of the source coordinates.
bool MaskCovers(const TCustomDIBX& mask, const TRect& area);

// One locked surface: pixel (0, 0) and the signed step between rows.
struct TPlane {
  uint8_t* base = nullptr;
  ptrdiff_t pitch = 0;
  uint8_t* Row(int32_t y) const { return base + ptrdiff_t(y) * pitch; }
};

// The lock-and-dispatch helper of every drawing operation: the row routines of the destination's
// format at the active instruction set, and the destination, source and mask locked at (0, 0) for
// the scope's life (released mask first, then source, then destination; a surface given twice is
// locked once). When a surface cannot be locked, Ok() is false and nothing may be drawn.
class TDrawScope {
 public:
  TDrawScope(TCustomDIBX& dst, TFormat format, TCustomDIBX* src = nullptr, TCustomDIBX* mask = nullptr);
  ~TDrawScope();
  TDrawScope(const TDrawScope&) = delete;
  TDrawScope& operator=(const TDrawScope&) = delete;

  bool Ok() const { return ok_; }
  TFormat Format() const { return format_; }
  int32_t Bytes() const { return pixels::BytesOf(format_); }
  const pixels::TPixelOps& Ops() const { return ops_; }
  pixels::TRowFn Row(TOp op) const { return ops_.Row(op, format_); }
  pixels::TBlockFn Block(TOp op) const { return ops_.Block(op, format_); }

  TPlane dst, src, mask;

 private:
  bool Lock(TCustomDIBX* s, TPlane& plane);

  const pixels::TPixelOps& ops_;
  TFormat format_;
  TCustomDIBX* locked_[3] = {};
  TPlane planes_[3];
  int32_t count_ = 0;
  bool ok_ = false;
};

// Scratch rows of a destination, reused from draw to draw into it: n pixels of up to 4 bytes
// (4-byte aligned), and n bytes. Valid until the next call for the same destination.
uint8_t* ScratchPixels(TCustomDIBX& dst, int32_t n);
uint8_t* ScratchBytes(TCustomDIBX& dst, int32_t n);

// Unscaled rows: `op` from the source (pixels, or 8-bit codes; none for fills through a mask) and
// the mask onto b.dst.
void DrawBlit(TCustomDIBX& dst, TFormat f, TCustomDIBX* source, TCustomDIBX* mask, const TBlit& b, TOp op,
              const TOpArgs& a);
// A fill operation over the rectangle cut to the drawable area.
void DrawFill(TCustomDIBX& dst, TFormat f, const TRect& rect, TOp op, const TOpArgs& a);

// Where each pixel of a scaled draw reads: column cols[i] for destination column dst.Left + i (only
// i0 .. i1 - 1 are drawn), row rows[j] for destination row dst.Top + j (-1: the row is left).
struct TSampling {
  TRect dst;
  int32_t i0 = 0, i1 = 0;
  std::vector<int32_t> cols;
  std::vector<int32_t> rows;
  // Above 0: the columns run up by one from cols[i0] and wrap at `period` (an unscaled, unmirrored
  // pattern), so a row's samples are copied in runs instead of gathered one by one.
  int32_t period = 0;
};
// The sampling of a destination, so that repeated small draws into it (tiles) do not allocate.
TSampling& ScratchSampling(TCustomDIBX& dst);

// What a destination keeps for its draws: the scratch rows and the sampling tables. Made on its
// first draw that needs them; grown, never shrunk.
struct TScratch {
  std::vector<uint32_t> pixels;
  std::vector<uint8_t> bytes;
  TSampling sampling;
};
// `op` from the sampled source pixels (or 8-bit codes) and mask values onto smp.dst.
void DrawSampled(TCustomDIBX& dst, TFormat f, TCustomDIBX& source, TCustomDIBX* mask, const TSampling& smp, TOp op,
                 const TOpArgs& a);

}  // namespace kova::draw
