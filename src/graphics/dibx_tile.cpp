// Tiling a source rectangle over a destination rectangle: unscaled pieces through the blits, or
// scaled cells through the stretched draws. Every piece goes through the virtual operation, so a
// proxy surface (the wave surface) receives the pieces.
#include <cmath>
#include <vector>

#include <algorithm>

#include "graphics/dibx.h"
#include "graphics/dibx_draw.h"
#include "graphics/dibx_wave.h"

namespace kova {

using draw::TBox;

namespace {

// Sets the clip rectangle for the life of the guard and puts the old one back.
class TClipScope {
 public:
  TClipScope(TCustomDIBX& s, const TRect& clip) : surface_(s), saved_(s.ClipRect) { s.ClipRect = clip; }
  ~TClipScope() { surface_.ClipRect = saved_; }
  TClipScope(const TClipScope&) = delete;
  TClipScope& operator=(const TClipScope&) = delete;

 private:
  TCustomDIBX& surface_;
  TRect saved_;
};

// The clip of a tiled draw: the clip rectangle cut to the tiled rectangle.
bool TileClip(const TCustomDIBX& dst, const TRect& rect, TRect& clip) {
  const TBox c = TBox::Of(dst.GetClipRect()).Cut(TBox::Of(rect));
  clip = c.Rect();
  return !c.Empty();
}

// The areas whose pieces can draw, left to right: the tiled draw's clip on a surface with pixels of
// its own; on a proxy, which passes pieces on whatever its own clip says, the parts of the
// rectangle the proxy can move into its target (the wave's reach).
std::vector<TRect> ReachableAreas(TCustomDIBX& dst, const TRect& rect, const TRect& clip) {
  if (dst.BaseSurface() == &dst) return {clip};
  const auto* wave = dynamic_cast<const TDIBXWave*>(&dst);
  if (!wave) return {rect};
  std::vector<TRect> areas;
  for (const TRect& a : wave->Reach()) {
    const TBox part = TBox::Of(rect).Cut(TBox::Of(a));
    if (!part.Empty()) areas.push_back(part.Rect());
  }
  return areas;
}

// The rows all areas span together.
TRect RowsOf(const std::vector<TRect>& areas) {
  TRect rows{0, INT32_MAX, 0, INT32_MIN};
  for (const TRect& a : areas) {
    rows.Top = std::min(rows.Top, a.Top);
    rows.Bottom = std::max(rows.Bottom, a.Bottom);
  }
  return rows;
}

// One axis of a tile grid: (destination position, source position, length) of each piece that
// reaches into [lo, hi). The first piece runs from `first_src` to the source's end, the others are
// whole; each is cut at `end` and followed by `spacing` (a step never goes below one pixel). The
// pieces before `lo` are stepped over arithmetically.
struct TSpan {
  int32_t pos, src;
  int64_t len;
};
void AxisPieces(int32_t start, int32_t end, int32_t src_lo, int32_t src_hi, int32_t first_src, int32_t spacing,
                int32_t lo, int32_t hi, std::vector<TSpan>& out) {
  out.clear();
  const int64_t full = int64_t(src_hi) - src_lo, stop = std::min(end, hi);
  int64_t pos = start;
  if (pos >= stop) return;
  const int64_t w0 = std::min<int64_t>(int64_t(src_hi) - first_src, int64_t(end) - pos);
  if (pos + w0 > lo) out.push_back({int32_t(pos), first_src, w0});
  pos += std::max<int64_t>(1, w0 + spacing);
  const int64_t step = std::max<int64_t>(1, full + spacing);
  if (pos + full <= lo) pos += (lo - full - pos) / step * step;
  while (pos < stop) {
    const int64_t w = std::min<int64_t>(full, int64_t(end) - pos);
    if (pos + w > lo) out.push_back({int32_t(pos), src_lo, w});
    pos += std::max<int64_t>(1, w + spacing);
  }
}

// Walks the grid of pieces: piece(x, y, source rectangle). The first row and column start at the
// origin's phase.
template <class Piece>
void TileCommon(TCustomDIBX& dst, const TRect& rect, int32_t spacing_x, int32_t spacing_y, const TRect& src_rect,
                int32_t origin_x, int32_t origin_y, Piece&& piece) {
  if (src_rect.Left >= src_rect.Right || src_rect.Top >= src_rect.Bottom) return;
  TRect clip;
  if (!TileClip(dst, rect, clip)) return;
  TClipScope scope(dst, clip);
  const std::vector<TRect> areas = ReachableAreas(dst, rect, clip);
  if (areas.empty()) return;
  const TPoint o = TCustomDIBX::TileOrigin(origin_x, origin_y, src_rect);
  std::vector<TSpan> cols, part, rows;
  // The columns of each area; a piece reaching into two areas is drawn once.
  for (const TRect& a : areas) {
    AxisPieces(rect.Left, rect.Right, src_rect.Left, src_rect.Right, o.X, spacing_x, a.Left, a.Right, part);
    for (const TSpan& s : part)
      if (cols.empty() || s.pos > cols.back().pos) cols.push_back(s);
  }
  const TRect reach = RowsOf(areas);
  AxisPieces(rect.Top, rect.Bottom, src_rect.Top, src_rect.Bottom, o.Y, spacing_y, reach.Top, reach.Bottom, rows);
  for (const TSpan& r : rows) {
    for (const TSpan& c : cols)
      piece(c.pos, r.pos, TRect{c.src, r.src, int32_t(c.src + c.len), int32_t(r.src + r.len)});
  }
}

// First cell position (16.16) and cell pitch of one axis of a stretched tiling.
struct TCellAxis {
  int64_t start = 0;
  int64_t pitch = 0;
};

// Cells of 2^34 pixels or more reach past any rectangle: the pitch and phase are held there, which
// changes nothing that can be drawn.
TCellAxis CellAxis(int32_t rect_start, double cell, int32_t origin) {
  constexpr double kLimit = 1125899906842624.0;  // 2^50, in 16.16
  const double q = origin / cell;
  double phase = (q - std::trunc(q)) * cell;
  if (origin < 0) phase += cell;
  TCellAxis a;
  a.start = int64_t(rect_start) * 65536 - int64_t(std::nearbyint(std::min(phase * 65536, kLimit)));
  a.pitch = std::max<int64_t>(65536, int64_t(std::nearbyint(std::min(cell * 65536, kLimit))));
  return a;
}

// The cell positions (whole pixels) of one axis below `end` (16.16) whose cells of `size` reach
// into [lo, hi); cells before `lo` are stepped over arithmetically.
void CellPositions(const TCellAxis& a, int64_t end, int32_t size, int32_t lo, int32_t hi, std::vector<int64_t>& out) {
  out.clear();
  int64_t p = a.start;
  const int64_t first = (int64_t(lo) - size - 1) * 65536 - p;
  if (first > 0) p += first / a.pitch * a.pitch;
  for (; p < end; p += a.pitch) {
    const int64_t c = p / 65536;
    if (c >= hi) break;
    if (c + size > lo) out.push_back(c);
  }
}

template <class Cell>
void StretchTileCommon(TCustomDIBX& dst, const TRect& rect, int32_t step_x, int32_t step_y, int32_t scale_x,
                       int32_t scale_y, const TRect& src_rect, int32_t origin_x, int32_t origin_y, Cell&& cell) {
  const double px = double(step_x) * scale_x / 256.0, py = double(step_y) * scale_y / 256.0;
  const TBox s = TBox::Of(src_rect);
  if (!(px > 0) || !(py > 0) || s.Empty()) return;
  // Tiles wider than 2^30 pixels cover any surface; held there, their edges stay in range.
  constexpr double kMaxTile = 1073741824.0;
  const int32_t tw = std::max(1, int32_t(std::min(double(s.W()) * scale_x / 256.0, kMaxTile)));
  const int32_t th = std::max(1, int32_t(std::min(double(s.H()) * scale_y / 256.0, kMaxTile)));
  TRect clip;
  if (!TileClip(dst, rect, clip)) return;
  TClipScope scope(dst, clip);
  const std::vector<TRect> areas = ReachableAreas(dst, rect, clip);
  if (areas.empty()) return;
  std::vector<int64_t> xs, part, ys;
  const TCellAxis ax = CellAxis(rect.Left, px, origin_x);
  for (const TRect& a : areas) {
    CellPositions(ax, int64_t(rect.Right) * 65536, tw, a.Left, a.Right, part);
    for (int64_t x : part)
      if (xs.empty() || x > xs.back()) xs.push_back(x);
  }
  const TRect reach = RowsOf(areas);
  CellPositions(CellAxis(rect.Top, py, origin_y), int64_t(rect.Bottom) * 65536, th, reach.Top, reach.Bottom, ys);
  for (int64_t cy : ys) {
    for (int64_t cx : xs) cell(TBox{cx, cy, cx + tw, cy + th}.Rect());
  }
}

}  // namespace

void TCustomDIBX::DrawTile(const TRect& rect, int32_t spacing_x, int32_t spacing_y, TCustomDIBX& source,
                           const TRect& src_rect, bool transparent, int32_t origin_x, int32_t origin_y) {
  TileCommon(*this, rect, spacing_x, spacing_y, src_rect, origin_x, origin_y,
             [&](int32_t x, int32_t y, const TRect& s) { Draw(x, y, source, s, transparent, false, false); });
}

void TCustomDIBX::DrawTileAlpha(const TRect& rect, int32_t spacing_x, int32_t spacing_y, TCustomDIBX& source,
                                const TRect& src_rect, bool transparent, int32_t alpha, int32_t origin_x,
                                int32_t origin_y) {
  if (alpha <= 0) return;
  TileCommon(*this, rect, spacing_x, spacing_y, src_rect, origin_x, origin_y, [&](int32_t x, int32_t y, const TRect& s) {
    DrawAlpha(x, y, source, s, transparent, false, false, alpha);
  });
}

void TCustomDIBX::DrawTileAdd(const TRect& rect, int32_t spacing_x, int32_t spacing_y, TCustomDIBX& source,
                              const TRect& src_rect, bool transparent, int32_t level, int32_t origin_x,
                              int32_t origin_y) {
  if (level <= 0) return;
  TileCommon(*this, rect, spacing_x, spacing_y, src_rect, origin_x, origin_y, [&](int32_t x, int32_t y, const TRect& s) {
    DrawAdd(x, y, source, s, transparent, false, false, level);
  });
}

void TCustomDIBX::DrawTileMask(const TRect& rect, int32_t spacing_x, int32_t spacing_y, TCustomDIBX& source,
                               const TRect& src_rect, TCustomDIBX& mask, int32_t origin_x, int32_t origin_y) {
  TileCommon(*this, rect, spacing_x, spacing_y, src_rect, origin_x, origin_y,
             [&](int32_t x, int32_t y, const TRect& s) { DrawMask(x, y, source, s, false, false, mask); });
}

void TCustomDIBX::DrawTileMaskAlpha(const TRect& rect, int32_t spacing_x, int32_t spacing_y, TCustomDIBX& source,
                                    const TRect& src_rect, TCustomDIBX& mask, int32_t alpha, int32_t origin_x,
                                    int32_t origin_y) {
  if (alpha <= 0) return;
  TileCommon(*this, rect, spacing_x, spacing_y, src_rect, origin_x, origin_y, [&](int32_t x, int32_t y, const TRect& s) {
    DrawMaskAlpha(x, y, source, s, false, false, mask, alpha);
  });
}

void TCustomDIBX::DrawTileMaskAdd(const TRect& rect, int32_t spacing_x, int32_t spacing_y, TCustomDIBX& source,
                                  const TRect& src_rect, TCustomDIBX& mask, int32_t level, int32_t origin_x,
                                  int32_t origin_y) {
  if (level <= 0) return;
  TileCommon(*this, rect, spacing_x, spacing_y, src_rect, origin_x, origin_y, [&](int32_t x, int32_t y, const TRect& s) {
    DrawMaskAdd(x, y, source, s, false, false, mask, level);
  });
}

void TCustomDIBX::StretchTile(const TRect& rect, int32_t step_x, int32_t step_y, int32_t scale_x, int32_t scale_y,
                              TCustomDIBX& source, const TRect& src_rect, bool transparent, bool mirror_x,
                              bool mirror_y, int32_t level, int32_t origin_x, int32_t origin_y) {
  if (level <= 0) return;
  level = std::min(level, 511);
  if (level >= 256 && (level & 255) == 0) return;
  StretchTileCommon(*this, rect, step_x, step_y, scale_x, scale_y, src_rect, origin_x, origin_y, [&](const TRect& d) {
    if (level < 256) {
      StretchDraw(d, source, src_rect, transparent, mirror_x, mirror_y, level);
    } else {
      StretchDrawAdd(d, source, src_rect, transparent, mirror_x, mirror_y, level & 255);
    }
  });
}

void TCustomDIBX::StretchTileMask(const TRect& rect, int32_t step_x, int32_t step_y, int32_t scale_x,
                                  int32_t scale_y, TCustomDIBX& source, const TRect& src_rect, TCustomDIBX& mask,
                                  bool mirror_x, bool mirror_y, int32_t level, int32_t origin_x, int32_t origin_y) {
  if (level <= 0) return;
  level = std::min(level, 511);
  if (level >= 256 && (level & 255) == 0) return;
  StretchTileCommon(*this, rect, step_x, step_y, scale_x, scale_y, src_rect, origin_x, origin_y, [&](const TRect& d) {
    if (level < 256) {
      StretchDrawMask(d, source, src_rect, mirror_x, mirror_y, mask, level);
    } else {
      StretchDrawMaskAdd(d, source, src_rect, mirror_x, mirror_y, mask, level & 255);
    }
  });
}

}  // namespace kova
