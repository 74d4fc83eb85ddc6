#include "graphics/pictures/wexa_frame.h"

#include <algorithm>
#include <cstring>

#include "core/utils.h"
#include "graphics/dibx.h"

namespace kova {

void TWexaFrame::MakeMask() {
  if (HasAlpha() || Surface.Empty()) return;
  Surface.NeedAlpha();
  Surface.FillAlpha();
  if (TransparentIndex < 0) return;
  TDIBSurface& alpha = *Surface.Alpha();
  const int32_t bits = Surface.BitCount();
  for (int32_t y = 0; y < Surface.Height(); ++y) {
    const uint8_t* row = Surface.RowAddress(y);
    uint8_t* mask = alpha.RowAddress(y);
    for (int32_t x = 0; x < Surface.Width(); ++x)
      if (int64_t(ReadViewPixel(row, x, bits)) == TransparentIndex) mask[x] = 0;
  }
}

void TWexaFrame::CopyToDIBX(TCustomDIBX& target) const {
  const int32_t w = Surface.Width(), h = Surface.Height();
  target.SetSize(w, h, target.BitCount());
  const int32_t bits = Surface.BitCount();
  if (!Surface.Empty() && !target.IsEmpty()) {
    if ((bits == 24 || bits == 32) && target.BitCount() == 32) {
      if (uint8_t* top = target.PixelAddress(0, 0)) {
        const ptrdiff_t pitch = target.Pitch();
        for (int32_t y = 0; y < h; ++y) {
          const uint8_t* from = Surface.RowAddress(y);
          uint8_t* to = top + ptrdiff_t(y) * pitch;
          if (bits == 24) {
            for (int32_t x = 0; x < w; ++x, from += 3, to += 4) {
              to[0] = from[0];
              to[1] = from[1];
              to[2] = from[2];
              to[3] = 0;
            }
          } else {
            for (int32_t x = 0; x < w; ++x) {
              uint32_t v;
              std::memcpy(&v, from + 4 * x, 4);
              v &= 0xFFFFFF;
              std::memcpy(to + 4 * x, &v, 4);
            }
          }
        }
        target.Unlock();
      }
    } else {
      const TPixelView dc = target.GetDC();
      if (dc.Bits) Surface.StretchToDC(dc, 0, 0, w, h, 0, 0, w, h);
      target.ReleaseDC();
    }
  }
  if (auto* memory = dynamic_cast<TDIBX*>(&target)) memory->Unshare();
  target.Rects1 = Rects1;
  target.Rects2 = Rects2;
}

void TWexaFrame::CopyAlphaToDIBX(TDIBX& target) const {
  const TDIBSurface* alpha = Surface.Alpha();
  if (!alpha) return;
  target.SetSize(alpha->Width(), alpha->Height(), 8);
  TDIBSurface& to = target.Surface();
  if (to.Empty()) return;
  for (int32_t y = 0; y < alpha->Height(); ++y)
    std::memcpy(to.RowAddress(y), alpha->RowAddress(y), size_t(alpha->Width()));
}

void TWexaFrame::CopyAlphaToSurface(TDIBSurface& target) const {
  const TDIBSurface* alpha = Surface.Alpha();
  if (!alpha) return;
  target.PixelFormat = MakeDIBPixelFormat(8, 8, 8);
  target.SetSize(alpha->Width(), alpha->Height(), 8);
  if (target.Empty()) return;
  for (int32_t y = 0; y < alpha->Height(); ++y)
    std::memcpy(target.RowAddress(y), alpha->RowAddress(y), size_t(alpha->Width()));
}

namespace {

// Keeps the rectangles that meet `r`, cut to it and moved to its origin.
void CutRects(std::vector<TRect>& rects, const TRect& r) {
  std::vector<TRect> kept;
  kept.reserve(rects.size());
  for (const TRect& rect : rects) {
    if (!RectsOverlap(rect, r)) continue;
    const TRect c = IntersectRects(rect, r);
    kept.push_back(TRect{c.Left - r.Left, c.Top - r.Top, c.Right - r.Left, c.Bottom - r.Top});
  }
  rects = std::move(kept);
}

}  // namespace

TRect TWexaFrame::GetOpaqueRect() {
  const TRect whole{0, 0, Surface.Width(), Surface.Height()};
  TRect r;
  if (const TDIBSurface* alpha = Surface.Alpha()) {
    r = alpha->ContentRect(0);
  } else if (TransparentColor < 0) {
    return whole;
  } else {
    r = Surface.ContentRect(TransparentIndex);
  }
  if (r.Left >= r.Right || r.Top >= r.Bottom) r = TRect{0, 0, 1, 1};
  if (r == whole || Surface.Empty()) return whole;
  Surface.Crop(r);
  CutRects(Rects1, r);
  CutRects(Rects2, r);
  return r;
}

}  // namespace kova
