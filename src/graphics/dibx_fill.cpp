// Fills and frames of the drawing surface: solid, translucent, additive and subtractive
// rectangles, frames of bands, a colour through an 8-bit mask, and repeated patterns.
#include <algorithm>
#include <cstring>

#include "graphics/dibx.h"
#include "graphics/dibx_draw.h"

namespace kova {

using draw::TBox;
using draw::TFormat;
using draw::TOp;
using draw::TOpArgs;

namespace {

uint32_t Level(int32_t v) { return uint32_t(std::clamp(v, 0, 255)); }

void FillOp(TCustomDIBX& s, const TRect& rect, TOp op, const TOpArgs& a) {
  const TFormat f = draw::FormatOf(s);
  if (f != TFormat::None) draw::DrawFill(s, f, rect, op, a);
}

}  // namespace

void TCustomDIBX::Fill(uint32_t color) { FillRect(BoundsRect(), color); }

void TCustomDIBX::FillRect(const TRect& rect, uint32_t color) {
  TOpArgs a;
  a.color = color;
  FillOp(*this, rect, TOp::Fill, a);
}

void TCustomDIBX::FillRectAlpha(const TRect& rect, uint32_t color, int32_t alpha) {
  if (alpha <= 0) return;
  TOpArgs a;
  a.color = color;
  a.level = Level(alpha);
  FillOp(*this, rect, TOp::FillBlend, a);
}

void TCustomDIBX::FillRectAdd(const TRect& rect, uint32_t color, int32_t level) {
  if (level <= 0) return;
  const TFormat f = draw::FormatOf(*this);
  TOpArgs a;
  a.color = color;
  if (level < 256) pixels::VisitFormat(f, [&](auto fmt) { a.color = decltype(fmt)::Scale(color, uint32_t(level)); });
  FillOp(*this, rect, TOp::FillAdd, a);
}

void TCustomDIBX::FillRectSub(const TRect& rect, uint32_t color) {
  TOpArgs a;
  a.color = color;
  FillOp(*this, rect, TOp::FillSub, a);
}

namespace {

// The bands of a frame: top, bottom, then left and right between them when room is left. Edges
// beyond the int32 range lie outside every surface; they are held to it.
template <class Band>
void FrameBands(const TRect& rect, int32_t thickness, Band&& band) {
  const TBox r = TBox::Of(rect);
  const int64_t t = thickness;
  band(TBox{r.l, r.t, r.r, r.t + t}.Rect());
  band(TBox{r.l, r.b - t, r.r, r.b}.Rect());
  const int64_t h = r.b - r.t - 2 * t;
  if (h > 0) {
    band(TBox{r.l, r.t + t, r.l + t, r.t + t + h}.Rect());
    band(TBox{r.r - t, r.t + t, r.r, r.t + t + h}.Rect());
  }
}

}  // namespace

void TCustomDIBX::FrameRect(const TRect& rect, int32_t thickness, uint32_t color) {
  FrameBands(rect, thickness, [&](const TRect& b) { FillRect(b, color); });
}

void TCustomDIBX::FrameRectAlpha(const TRect& rect, int32_t thickness, uint32_t color, int32_t alpha) {
  if (alpha <= 0) return;
  FrameBands(rect, thickness, [&](const TRect& b) { FillRectAlpha(b, color, alpha); });
}

void TCustomDIBX::FrameRectAdd(const TRect& rect, int32_t thickness, uint32_t color, int32_t level) {
  if (level <= 0) return;
  FrameBands(rect, thickness, [&](const TRect& b) { FillRectAdd(b, color, level); });
}

void TCustomDIBX::FillMask(int32_t x, int32_t y, TCustomDIBX& mask, const TRect& src_rect, bool mirror_x,
                           bool mirror_y, uint32_t color, int32_t level) {
  if (level <= 0) return;
  const TFormat f = draw::FormatOf(*this);
  draw::TBlit b;
  if (f == TFormat::None || !draw::PrepareMaskBlit(*this, x, y, mask, src_rect, mirror_x, mirror_y, b)) return;
  const bool row_rule = DrawResultRule(*this) == TDrawRule::Row;
  TOpArgs a;
  a.color = color;
  // The row results weigh by the mask value alone from level 255 on (256: m unscaled) and leave
  // pixels already of the colour.
  a.level = row_rule && level >= 255 ? 256 : Level(level);
  a.skip_equal = row_rule;
  draw::DrawBlit(*this, f, nullptr, &mask, b, TOp::FillMask, a);
}

void TCustomDIBX::FillPattern(const TRect& rect, TCustomDIBX& pattern, int32_t offset_x, int32_t offset_y,
                              bool mirror_x, bool mirror_y) {
  const TFormat f = draw::FormatOf(*this);
  const int32_t pw = pattern.Width(), ph = pattern.Height();
  if (f == TFormat::None || pw < 1 || ph < 1 || pattern.BytesPerPixel() != BytesPerPixel()) return;
  TBox r = TBox::Of(rect);
  int64_t ox = offset_x, oy = offset_y;
  if (!draw::ClipPatternBox(draw::DrawableBox(*this), r, ox, oy)) return;
  int64_t px0 = ox % pw, py0 = oy % ph;
  if (px0 < 0) px0 += pw;
  if (py0 < 0) py0 += ph;
  draw::TDrawScope scope(*this, f, &pattern);
  if (!scope.Ok()) return;
  const int32_t bpp = scope.Bytes();
  const int32_t w = int32_t(r.W()), h = int32_t(r.H());
  uint8_t* d = scope.dst.Row(int32_t(r.t)) + ptrdiff_t(r.l) * bpp;
  for (int32_t j = 0; j < h; ++j, d += scope.dst.pitch) {
    int32_t prow = int32_t((py0 + j) % ph);
    if (mirror_y) prow = ph - 1 - prow;
    const uint8_t* src = scope.src.Row(prow);
    int32_t col = int32_t(px0);
    if (!mirror_x) {
      // Runs of the pattern row, copied as blocks.
      for (int32_t i = 0; i < w;) {
        const int32_t run = std::min(pw - col, w - i);
        std::memmove(d + ptrdiff_t(i) * bpp, src + ptrdiff_t(col) * bpp, size_t(run) * bpp);
        i += run;
        col = 0;
      }
    } else {
      uint8_t* dp = d;
      for (int32_t i = 0; i < w; ++i, dp += bpp) {
        std::memcpy(dp, src + ptrdiff_t(pw - 1 - col) * bpp, size_t(bpp));
        if (++col == pw) col = 0;
      }
    }
  }
}

void TCustomDIBX::FramePattern(const TRect& rect, int32_t thickness, TCustomDIBX& pattern, const TRect&,
                               int32_t, int32_t offset_x, int32_t offset_y) {
  const TBox r = TBox::Of(rect);
  const int64_t t = thickness;
  for (const TBox& band : {TBox{r.l, r.t, r.r, r.t + t}, TBox{r.l, r.b - t, r.r, r.b}, TBox{r.l, r.t, r.l + t, r.b},
                           TBox{r.r - t, r.t, r.r, r.b}})
    FillPattern(band.Rect(), pattern, offset_x, offset_y, false, false);
}

}  // namespace kova
