// Fills and frames of the drawing surface: solid, translucent, additive and subtractive
// rectangles, frames of bands, a colour through an 8-bit mask, and repeated patterns.
#include <algorithm>
#include <cstring>

#include "graphics/dibx.h"
#include "graphics/dibx_raster.h"
#include "graphics/kernels/pixel_ops.h"
#include "graphics/simd_dispatch.h"

namespace kova {

using raster::Load;
using raster::Store;
using raster::TLock;

namespace {

// The rectangle cut to the drawable area; false when nothing is left.
bool ClipFill(TRect& r, const TRect& drawable) {
  r.Left = std::max(r.Left, drawable.Left);
  r.Top = std::max(r.Top, drawable.Top);
  r.Right = std::min(r.Right, drawable.Right);
  r.Bottom = std::min(r.Bottom, drawable.Bottom);
  return r.Left < r.Right && r.Top < r.Bottom;
}

// Runs `row(uint8_t* first_pixel, int32_t count)` over the clipped rectangle's rows.
template <class Row>
void ForRows(TCustomDIBX& s, const TRect& r, Row&& row) {
  TLock lock(s, r.Left, r.Top);
  if (!lock) return;
  // Rows in rising addresses (bottom to top for bottom-up storage): the prefetchers' best case.
  ptrdiff_t pitch = s.Pitch();
  uint8_t* p = lock.get();
  if (pitch < 0) {
    p += ptrdiff_t(r.Height() - 1) * pitch;
    pitch = -pitch;
  }
  for (int32_t y = r.Top; y < r.Bottom; ++y, p += pitch) row(p, r.Width());
}

// Applies f(pixel) -> pixel to every pixel of the rows, for one byte width.
template <int Bpp, class F>
void MapRow(uint8_t* p, int32_t n, F&& f) {
  for (int32_t i = 0; i < n; ++i, p += Bpp) Store<Bpp>(p, f(Load<Bpp>(p)));
}

uint32_t ClampLevel(int32_t v) { return uint32_t(std::clamp(v, 0, 255)); }

}  // namespace

void TCustomDIBX::Fill(uint32_t color) { FillRect(BoundsRect(), color); }

void TCustomDIBX::FillRect(const TRect& rect, uint32_t color) {
  const int32_t bits = BitCount();
  TRect r = rect;
  if (!raster::Drawable(bits) || !ClipFill(r, DrawableRect())) return;
  const auto& k = Row32Kernels();
  ForRows(*this, r, [&](uint8_t* p, int32_t n) {
    switch (bits) {
      case 8: std::memset(p, int(color & 0xFF), size_t(n)); break;
      case 15:
      case 16: {
        const uint16_t v = uint16_t(color);
        if ((v & 0xFF) == (v >> 8)) {
          std::memset(p, v & 0xFF, size_t(n) * 2);
        } else {
          for (int32_t i = 0; i < n; ++i) std::memcpy(p + 2 * i, &v, 2);
        }
        break;
      }
      case 24: MapRow<3>(p, n, [&](uint32_t) { return color; }); break;
      case 32: k.fill(reinterpret_cast<uint32_t*>(p), n, color); break;
    }
  });
}

void TCustomDIBX::FillRectAlpha(const TRect& rect, uint32_t color, int32_t alpha) {
  const int32_t bits = BitCount();
  TRect r = rect;
  if (alpha <= 0 || !raster::Drawable(bits) || !ClipFill(r, DrawableRect())) return;
  const uint32_t a = ClampLevel(alpha);
  if (bits == 32 && DrawResultRule(bits) == TDrawRule::Row) {
    const auto& k = Row32Kernels();
    ForRows(*this, r, [&](uint8_t* p, int32_t n) { k.fill_alpha(reinterpret_cast<uint32_t*>(p), n, color, a); });
    return;
  }
  raster::ForDepth(bits, [&]<int Bpp, class Ch>() {
    const uint32_t c = Bpp == 4 ? color : color & ((1u << (8 * Bpp)) - 1);
    ForRows(*this, r, [&](uint8_t* p, int32_t n) {
      MapRow<Bpp>(p, n, [&](uint32_t d) { return d == c ? d : Ch::Blend(d, c, a); });
    });
  });
}

void TCustomDIBX::FillRectAdd(const TRect& rect, uint32_t color, int32_t level) {
  const int32_t bits = BitCount();
  TRect r = rect;
  if (level <= 0 || !raster::Drawable(bits) || !ClipFill(r, DrawableRect())) return;
  if (bits == 32 && DrawResultRule(bits) == TDrawRule::Row) {
    const uint32_t c = level >= 256 ? color : kernels::TBytes32::Scale(color, uint32_t(level));
    const auto& k = Row32Kernels();
    ForRows(*this, r, [&](uint8_t* p, int32_t n) { k.fill_add(reinterpret_cast<uint32_t*>(p), n, c); });
    return;
  }
  raster::ForDepth(bits, [&]<int Bpp, class Ch>() {
    const uint32_t c = level >= 256 ? color : Ch::Scale(color, uint32_t(level));
    ForRows(*this, r, [&](uint8_t* p, int32_t n) {
      MapRow<Bpp>(p, n, [&](uint32_t d) { return Ch::AddSat(d, c); });
    });
  });
}

void TCustomDIBX::FillRectSub(const TRect& rect, uint32_t color) {
  const int32_t bits = BitCount();
  TRect r = rect;
  if (!raster::Drawable(bits) || !ClipFill(r, DrawableRect())) return;
  if (bits == 32 && DrawResultRule(bits) == TDrawRule::Row) {
    const auto& k = Row32Kernels();
    ForRows(*this, r, [&](uint8_t* p, int32_t n) { k.fill_sub(reinterpret_cast<uint32_t*>(p), n, color); });
    return;
  }
  raster::ForDepth(bits, [&]<int Bpp, class Ch>() {
    ForRows(*this, r, [&](uint8_t* p, int32_t n) {
      MapRow<Bpp>(p, n, [&](uint32_t d) { return Ch::SubSat(d, color); });
    });
  });
}

namespace {

// The bands of a frame: top, bottom, then left and right between them when room is left.
template <class Band>
void FrameBands(const TRect& r, int32_t t, Band&& band) {
  band(TRect{r.Left, r.Top, r.Right, r.Top + t});
  band(TRect{r.Left, r.Bottom - t, r.Right, r.Bottom});
  const int32_t h = r.Bottom - r.Top - 2 * t;
  if (h > 0) {
    band(TRect{r.Left, r.Top + t, r.Left + t, r.Top + t + h});
    band(TRect{r.Right - t, r.Top + t, r.Right, r.Top + t + h});
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
  const int32_t bits = BitCount();
  if (level <= 0 || !raster::Drawable(bits) || mask.BitCount() != 8) return;
  TRect src = src_rect;
  TRect dst{x, y, 0, 0};
  if (!ClipBlit(dst, src, mirror_x, mirror_y)) return;
  if (src.Left < 0 || src.Top < 0 || src.Right > mask.Width() || src.Bottom > mask.Height()) return;
  const uint32_t lv = ClampLevel(level);
  TLock d_lock(*this, dst.Left, dst.Top);
  if (!d_lock) return;
  TLock m_lock(mask, mirror_x ? src.Right - 1 : src.Left, mirror_y ? src.Bottom - 1 : src.Top);
  if (!m_lock) return;
  ptrdiff_t d_pitch = Pitch();
  ptrdiff_t m_pitch = mirror_y ? -mask.Pitch() : mask.Pitch();
  const int32_t w = dst.Width(), h = dst.Height();
  uint8_t* d = d_lock.get();
  const uint8_t* m = m_lock.get();
  if (d_pitch < 0 && &mask != this) {  // rising addresses, as in ForRows
    d += ptrdiff_t(h - 1) * d_pitch;
    m += ptrdiff_t(h - 1) * m_pitch;
    d_pitch = -d_pitch;
    m_pitch = -m_pitch;
  }
  const bool rev = mirror_x;
  if (bits == 32 && DrawResultRule(bits) == TDrawRule::Row) {
    const auto& k = Row32Kernels();
    for (int32_t j = 0; j < h; ++j, d += d_pitch, m += m_pitch)
      k.fill_mask(reinterpret_cast<uint32_t*>(d), m, rev, w, color, lv);
    return;
  }
  const bool row_rule = DrawResultRule(bits) == TDrawRule::Row;
  raster::ForDepth(bits, [&]<int Bpp, class Ch>() {
    const uint32_t c = Bpp == 4 ? color : color & ((1u << (8 * Bpp)) - 1);
    for (int32_t j = 0; j < h; ++j, d += d_pitch, m += m_pitch) {
      uint8_t* dp = d;
      for (int32_t i = 0; i < w; ++i, dp += Bpp) {
        const uint32_t mv = rev ? m[-i] : m[i];
        if (mv == 0) continue;
        const uint32_t dv = Load<Bpp>(dp);
        uint32_t a;
        if (row_rule) {
          if (dv == c) continue;
          a = lv >= 255 ? mv : mv * lv >> 8;
        } else {
          a = mv * lv >> 8;
        }
        Store<Bpp>(dp, Ch::Blend(dv, c, a));
      }
    }
  });
}

void TCustomDIBX::FillPattern(const TRect& rect, TCustomDIBX& pattern, int32_t offset_x, int32_t offset_y,
                              bool mirror_x, bool mirror_y) {
  const int32_t bits = BitCount();
  const int32_t pw = pattern.Width(), ph = pattern.Height();
  if (!raster::Drawable(bits) || pw < 1 || ph < 1 || pattern.BytesPerPixel() != BytesPerPixel()) return;
  TRect r = rect;
  if (!ClipPattern(r, offset_x, offset_y)) return;
  int32_t px0 = offset_x % pw, py0 = offset_y % ph;
  if (px0 < 0) px0 += pw;
  if (py0 < 0) py0 += ph;
  TLock d_lock(*this, r.Left, r.Top);
  if (!d_lock) return;
  TLock p_lock(pattern, 0, 0);
  if (!p_lock) return;
  const int32_t bpp = BytesPerPixel();
  const ptrdiff_t d_pitch = Pitch(), p_pitch = pattern.Pitch();
  const int32_t w = r.Width(), h = r.Height();
  uint8_t* d = d_lock.get();
  const uint8_t* pbase = p_lock.get();
  raster::ForDepth(bits, [&]<int Bpp, class Ch>() {
    for (int32_t j = 0; j < h; ++j, d += d_pitch) {
      int32_t prow = (py0 + j) % ph;
      if (mirror_y) prow = ph - 1 - prow;
      const uint8_t* src = pbase + ptrdiff_t(prow) * p_pitch;
      if (!mirror_x) {
        // Runs of the pattern row, copied as blocks.
        int32_t col = px0, i = 0;
        while (i < w) {
          const int32_t run = std::min(pw - col, w - i);
          std::memmove(d + ptrdiff_t(i) * bpp, src + ptrdiff_t(col) * bpp, size_t(run) * bpp);
          i += run;
          col = 0;
        }
      } else {
        int32_t col = px0;
        uint8_t* dp = d;
        for (int32_t i = 0; i < w; ++i, dp += Bpp) {
          Store<Bpp>(dp, Load<Bpp>(src + ptrdiff_t(pw - 1 - col) * Bpp));
          if (++col == pw) col = 0;
        }
      }
    }
  });
}

void TCustomDIBX::FramePattern(const TRect& rect, int32_t thickness, TCustomDIBX& pattern, const TRect&,
                               int32_t, int32_t offset_x, int32_t offset_y) {
  const TRect& r = rect;
  const int32_t t = thickness;
  FillPattern(TRect{r.Left, r.Top, r.Right, r.Top + t}, pattern, offset_x, offset_y, false, false);
  FillPattern(TRect{r.Left, r.Bottom - t, r.Right, r.Bottom}, pattern, offset_x, offset_y, false, false);
  FillPattern(TRect{r.Left, r.Top, r.Left + t, r.Bottom}, pattern, offset_x, offset_y, false, false);
  FillPattern(TRect{r.Right - t, r.Top, r.Right, r.Bottom}, pattern, offset_x, offset_y, false, false);
}

}  // namespace kova
