// The wave-effect surface: bands of equal row offsets, row-clipped forwarding for operations whose
// rows cannot be split by source rows, and row-by-row forwarding for the code tables and reductions.
#include "graphics/dibx_wave.h"

#include <algorithm>

#include "graphics/dibx_draw.h"

namespace kova {

using draw::Saturate;
using draw::TBox;

namespace {

// The source rows of a band of `n` destination rows starting `k` rows below the top of an
// unscaled draw: from the top, or from the bottom when the draw is mirrored vertically. k + n never
// passes the source rectangle's height, so the rows stay inside it.
TRect BandSource(const TRect& src, int64_t k, int64_t n, bool mirror_y) {
  if (mirror_y) return TBox{src.Left, src.Bottom - k - n, src.Right, src.Bottom - k}.Rect();
  return TBox{src.Left, src.Top + k, src.Right, src.Top + k + n}.Rect();
}

// A rectangle or point moved sideways; edges beyond the int32 range lie outside every surface
// and are held to it.
TRect Shifted(const TRect& r, int64_t dx) { return TBox{r.Left + dx, r.Top, r.Right + dx, r.Bottom}.Rect(); }
TRect Band(int64_t left, int64_t right, int64_t dx, int32_t y, int32_t n) {
  return TBox{left + dx, y, right + dx, int64_t(y) + n}.Rect();
}
int32_t Moved(int32_t x, int64_t dx) { return Saturate(x + dx); }

int64_t HeightOf(const TRect& r) { return int64_t(r.Bottom) - r.Top; }

}  // namespace

int32_t TDIBXWave::SameOffsetRun(int32_t r, int32_t end_index) const {
  int32_t n = 1;
  const int32_t size = int32_t(RowOffsets.size());
  while (r + n < end_index && r + n < size && RowOffsets[size_t(r + n)] == RowOffsets[size_t(r)]) ++n;
  return n;
}

std::vector<TRect> TDIBXWave::Reach() const {
  std::vector<TRect> areas;
  if (!target_ || RowOffsets.empty()) return areas;
  const TBox clip = draw::DrawableBox(*target_);
  if (clip.Empty()) return areas;
  std::vector<int32_t> offsets = RowOffsets;
  std::sort(offsets.begin(), offsets.end());
  offsets.erase(std::unique(offsets.begin(), offsets.end()), offsets.end());
  const int64_t top = WaveOrigin.Y, bottom = top + int64_t(RowOffsets.size());
  // Column l reaches the clip when l + offset lies in it; the largest offsets reach furthest left.
  TBox run{};
  for (auto it = offsets.rbegin(); it != offsets.rend(); ++it) {
    const TBox cols{clip.l - *it, top, clip.r - *it, bottom};
    if (it != offsets.rbegin() && cols.l <= run.r) {
      run.r = std::max(run.r, cols.r);
      continue;
    }
    if (it != offsets.rbegin()) areas.push_back(run.Rect());
    run = cols;
  }
  areas.push_back(run.Rect());
  return areas;
}

template <class Band>
void TDIBXWave::ForBands(int64_t top, int64_t bottom, Band&& band) {
  if (!target_) return;
  const int64_t origin = WaveOrigin.Y;
  const int64_t stop = std::min(bottom, origin + int64_t(RowOffsets.size()));
  int64_t y = std::max(top, origin);
  while (y < stop) {
    const int32_t r = int32_t(y - origin);
    const int32_t n = SameOffsetRun(r, int32_t(stop - origin));
    band(int32_t(y), n, RowOffsets[size_t(r)], y - top);
    y += n;
  }
}

template <class Row>
void TDIBXWave::ForClippedRows(const TRect& area, Row&& row) {
  if (!target_) return;
  const TBox a = TBox::Of(area).Cut(draw::DrawableBox(*target_));
  if (a.Empty()) return;
  const TRect saved = target_->ClipRect;
  for (int64_t y = a.t; y < a.b; ++y) {
    const int64_t r = y - WaveOrigin.Y;
    if (r < 0 || r >= int64_t(RowOffsets.size())) continue;
    target_->ClipRect = TBox{a.l, y, a.r, y + 1}.Rect();
    row(RowOffsets[size_t(r)]);
  }
  target_->ClipRect = saved;
}

template <class Row>
void TDIBXWave::ForSingleRows(int32_t top, int64_t count, Row&& row) {
  if (!target_) return;
  const int64_t first = std::max<int64_t>(0, int64_t(WaveOrigin.Y) - top);
  const int64_t stop = std::min<int64_t>(count, int64_t(WaveOrigin.Y) + int64_t(RowOffsets.size()) - top);
  for (int64_t k = first; k < stop; ++k) row(int32_t(top + k), RowOffsets[size_t(top + k - WaveOrigin.Y)], k);
}

void TDIBXWave::SetSize(int32_t width, int32_t height, int32_t bit_count) {
  TCustomDIBX::SetSize(width, height, bit_count);
  RowOffsets.assign(size_t(Height()), 0);
}

TCustomDIBX* TDIBXWave::BaseSurface() { return target_; }
int32_t TDIBXWave::BitCount() const { return target_ ? target_->BitCount() : 0; }
int32_t TDIBXWave::StorageBitCount() const { return target_ ? target_->StorageBitCount() : 0; }
int32_t TDIBXWave::ColorToPixel(int32_t color) const {
  return target_ ? target_->ColorToPixel(color) : TCustomDIBX::ColorToPixel(color);
}

void TDIBXWave::ResetClipRect() {
  TCustomDIBX::ResetClipRect();
  if (target_) target_->ResetClipRect();
}

TRect TDIBXWave::Area() const {
  return TBox{WaveOrigin.X, WaveOrigin.Y, int64_t(WaveOrigin.X) + Width(), int64_t(WaveOrigin.Y) + Height()}.Rect();
}

void TDIBXWave::AddClipRect(const TRect& rect) {
  const TBox cut = TBox::Of(rect).Cut(TBox::Of(Area()));
  if (cut.Empty()) return;
  const TRect r = cut.Rect();
  if (ClipRect.Right == 0) {
    ClipRect = r;
  } else {
    ClipRect = TRect{std::min(ClipRect.Left, r.Left), std::min(ClipRect.Top, r.Top),
                     std::max(ClipRect.Right, r.Right), std::max(ClipRect.Bottom, r.Bottom)};
  }
  if (target_) target_->AddClipRect(ClipRect);
}

void TDIBXWave::Fill(uint32_t color) {
  FillRect(Area(), color);
}

void TDIBXWave::Assign(TCustomDIBX& source) {
  Draw(WaveOrigin.X, WaveOrigin.Y, source, source.BoundsRect(), false, false, false);
}

// ---- Bands ----

void TDIBXWave::FillRect(const TRect& rect, uint32_t color) {
  ForBands(rect.Top, rect.Bottom, [&](int32_t y, int32_t n, int32_t off, int64_t) {
    target_->FillRect(Band(rect.Left, rect.Right, off, y, n), color);
  });
}

void TDIBXWave::FillRectAlpha(const TRect& rect, uint32_t color, int32_t alpha) {
  ForBands(rect.Top, rect.Bottom, [&](int32_t y, int32_t n, int32_t off, int64_t) {
    target_->FillRectAlpha(Band(rect.Left, rect.Right, off, y, n), color, alpha);
  });
}

void TDIBXWave::FillRectAdd(const TRect& rect, uint32_t color, int32_t level) {
  ForBands(rect.Top, rect.Bottom, [&](int32_t y, int32_t n, int32_t off, int64_t) {
    target_->FillRectAdd(Band(rect.Left, rect.Right, off, y, n), color, level);
  });
}

void TDIBXWave::FillRectSub(const TRect& rect, uint32_t color) {
  ForBands(rect.Top, rect.Bottom, [&](int32_t y, int32_t n, int32_t off, int64_t) {
    target_->FillRectSub(Band(rect.Left, rect.Right, off, y, n), color);
  });
}

void TDIBXWave::FillMask(int32_t x, int32_t y, TCustomDIBX& mask, const TRect& src_rect, bool mirror_x,
                         bool mirror_y, uint32_t color, int32_t level) {
  ForBands(y, y + HeightOf(src_rect), [&](int32_t yy, int32_t n, int32_t off, int64_t k) {
    target_->FillMask(Moved(x, off), yy, mask, BandSource(src_rect, k, n, mirror_y), mirror_x, mirror_y, color, level);
  });
}

// The whole rectangle in bands of its own width; the vertical phase continues from band to band.
void TDIBXWave::FillPattern(const TRect& rect, TCustomDIBX& pattern, int32_t offset_x, int32_t offset_y,
                            bool mirror_x, bool mirror_y) {
  ForBands(rect.Top, rect.Bottom, [&](int32_t y, int32_t n, int32_t off, int64_t k) {
    target_->FillPattern(Band(rect.Left, rect.Right, off, y, n), pattern, offset_x, int32_t(offset_y + k),
                         mirror_x, mirror_y);
  });
}

void TDIBXWave::Draw(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect, bool transparent,
                     bool mirror_x, bool mirror_y) {
  ForBands(y, y + HeightOf(src_rect), [&](int32_t yy, int32_t n, int32_t off, int64_t k) {
    target_->Draw(Moved(x, off), yy, source, BandSource(src_rect, k, n, mirror_y), transparent, mirror_x, mirror_y);
  });
}

void TDIBXWave::DrawMask(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect, bool mirror_x,
                         bool mirror_y, TCustomDIBX& mask) {
  ForBands(y, y + HeightOf(src_rect), [&](int32_t yy, int32_t n, int32_t off, int64_t k) {
    target_->DrawMask(Moved(x, off), yy, source, BandSource(src_rect, k, n, mirror_y), mirror_x, mirror_y, mask);
  });
}

void TDIBXWave::DrawAlpha(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect, bool transparent,
                          bool mirror_x, bool mirror_y, int32_t alpha) {
  ForBands(y, y + HeightOf(src_rect), [&](int32_t yy, int32_t n, int32_t off, int64_t k) {
    target_->DrawAlpha(Moved(x, off), yy, source, BandSource(src_rect, k, n, mirror_y), transparent, mirror_x, mirror_y,
                       alpha);
  });
}

void TDIBXWave::DrawMaskAlpha(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect, bool mirror_x,
                              bool mirror_y, TCustomDIBX& mask, int32_t alpha) {
  ForBands(y, y + HeightOf(src_rect), [&](int32_t yy, int32_t n, int32_t off, int64_t k) {
    target_->DrawMaskAlpha(Moved(x, off), yy, source, BandSource(src_rect, k, n, mirror_y), mirror_x, mirror_y, mask,
                           alpha);
  });
}

void TDIBXWave::DrawAdd(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect, bool transparent,
                        bool mirror_x, bool mirror_y, int32_t level) {
  ForBands(y, y + HeightOf(src_rect), [&](int32_t yy, int32_t n, int32_t off, int64_t k) {
    target_->DrawAdd(Moved(x, off), yy, source, BandSource(src_rect, k, n, mirror_y), transparent, mirror_x, mirror_y,
                     level);
  });
}

void TDIBXWave::DrawMaskAdd(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect, bool mirror_x,
                            bool mirror_y, TCustomDIBX& mask, int32_t level) {
  ForBands(y, y + HeightOf(src_rect), [&](int32_t yy, int32_t n, int32_t off, int64_t k) {
    target_->DrawMaskAdd(Moved(x, off), yy, source, BandSource(src_rect, k, n, mirror_y), mirror_x, mirror_y, mask,
                         level);
  });
}

// ---- Row-clipped ----

void TDIBXWave::StretchDraw(const TRect& dst_rect, TCustomDIBX& source, const TRect& src_rect, bool transparent,
                            bool mirror_x, bool mirror_y, int32_t alpha) {
  ForClippedRows(dst_rect, [&](int32_t off) {
    target_->StretchDraw(Shifted(dst_rect, off), source, src_rect, transparent, mirror_x, mirror_y, alpha);
  });
}

void TDIBXWave::StretchDrawMask(const TRect& dst_rect, TCustomDIBX& source, const TRect& src_rect, bool mirror_x,
                                bool mirror_y, TCustomDIBX& mask, int32_t alpha) {
  ForClippedRows(dst_rect, [&](int32_t off) {
    target_->StretchDrawMask(Shifted(dst_rect, off), source, src_rect, mirror_x, mirror_y, mask, alpha);
  });
}

void TDIBXWave::StretchDrawAdd(const TRect& dst_rect, TCustomDIBX& source, const TRect& src_rect, bool transparent,
                               bool mirror_x, bool mirror_y, int32_t level) {
  ForClippedRows(dst_rect, [&](int32_t off) {
    target_->StretchDrawAdd(Shifted(dst_rect, off), source, src_rect, transparent, mirror_x, mirror_y, level);
  });
}

void TDIBXWave::StretchDrawMaskAdd(const TRect& dst_rect, TCustomDIBX& source, const TRect& src_rect,
                                   bool mirror_x, bool mirror_y, TCustomDIBX& mask, int32_t level) {
  ForClippedRows(dst_rect, [&](int32_t off) {
    target_->StretchDrawMaskAdd(Shifted(dst_rect, off), source, src_rect, mirror_x, mirror_y, mask, level);
  });
}

void TDIBXWave::DrawRotate(int32_t x, int32_t y, int32_t scale_x, int32_t scale_y, TCustomDIBX& source,
                           const TRect& src_rect, int32_t pivot_x, int32_t pivot_y, int32_t angle, bool transparent,
                           bool mirror_x, bool mirror_y, int32_t level) {
  const TRect area =
      CalcRotatedBounds(x, y, pivot_x, pivot_y, angle, src_rect, scale_x, scale_y, 0, 0, false, false);
  ForClippedRows(area, [&](int32_t off) {
    target_->DrawRotate(Moved(x, off), y, scale_x, scale_y, source, src_rect, pivot_x, pivot_y, angle, transparent,
                        mirror_x, mirror_y, level);
  });
}

void TDIBXWave::DrawRotateMask(int32_t x, int32_t y, int32_t scale_x, int32_t scale_y, TCustomDIBX& source,
                               const TRect& src_rect, int32_t pivot_x, int32_t pivot_y, int32_t angle, bool mirror_x,
                               bool mirror_y, TCustomDIBX& mask, int32_t level) {
  const TRect area =
      CalcRotatedBounds(x, y, pivot_x, pivot_y, angle, src_rect, scale_x, scale_y, 0, 0, false, false);
  ForClippedRows(area, [&](int32_t off) {
    target_->DrawRotateMask(Moved(x, off), y, scale_x, scale_y, source, src_rect, pivot_x, pivot_y, angle, mirror_x,
                            mirror_y, mask, level);
  });
}

void TDIBXWave::StretchDrawTableAdd(const TRect& dst_rect, TCustomDIBX& source, const TRect& src_rect,
                                    int32_t threshold, bool mirror_x, bool mirror_y, int32_t level,
                                    std::span<const uint32_t> table) {
  ForClippedRows(dst_rect, [&](int32_t off) {
    target_->StretchDrawTableAdd(Shifted(dst_rect, off), source, src_rect, threshold, mirror_x, mirror_y, level,
                                 table);
  });
}

void TDIBXWave::DrawPatternTable(const TRect& rect, int32_t scale_x, int32_t scale_y, TCustomDIBX& pattern,
                                 int32_t offset_x, int32_t offset_y, bool transparent, bool mirror_x, bool mirror_y,
                                 int32_t level) {
  ForClippedRows(rect, [&](int32_t off) {
    target_->DrawPatternTable(Shifted(rect, off), scale_x, scale_y, pattern, offset_x, offset_y, transparent,
                              mirror_x, mirror_y, level);
  });
}

void TDIBXWave::DrawPatternTableMask(const TRect& rect, int32_t scale_x, int32_t scale_y, TCustomDIBX& pattern,
                                     int32_t offset_x, int32_t offset_y, bool mirror_x, bool mirror_y,
                                     TCustomDIBX& mask, int32_t level) {
  ForClippedRows(rect, [&](int32_t off) {
    target_->DrawPatternTableMask(Shifted(rect, off), scale_x, scale_y, pattern, offset_x, offset_y, mirror_x,
                                  mirror_y, mask, level);
  });
}

void TDIBXWave::FramePattern(const TRect& rect, int32_t thickness, TCustomDIBX& pattern, const TRect& ignored_rect,
                             int32_t ignored_value, int32_t offset_x, int32_t offset_y) {
  ForClippedRows(rect, [&](int32_t off) {
    target_->FramePattern(Shifted(rect, off), thickness, pattern, ignored_rect, ignored_value, offset_x, offset_y);
  });
}

// ---- Single rows ----

void TDIBXWave::DrawTable(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect, bool transparent,
                          bool mirror_x, bool mirror_y, int32_t level, std::span<const uint32_t> table) {
  ForSingleRows(y, HeightOf(src_rect), [&](int32_t yy, int32_t off, int64_t k) {
    target_->DrawTable(Moved(x, off), yy, source, BandSource(src_rect, k, 1, mirror_y), transparent, mirror_x, mirror_y,
                       level, table);
  });
}

void TDIBXWave::DrawTableAdd(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect, int32_t threshold,
                             bool mirror_x, bool mirror_y, int32_t level, std::span<const uint32_t> table) {
  ForSingleRows(y, HeightOf(src_rect), [&](int32_t yy, int32_t off, int64_t k) {
    target_->DrawTableAdd(Moved(x, off), yy, source, BandSource(src_rect, k, 1, mirror_y), threshold, mirror_x, mirror_y,
                          level, table);
  });
}

void TDIBXWave::DrawMonoReduced(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect, uint32_t color,
                                bool mirror_x, bool mirror_y, int32_t level, int32_t factor) {
  if (factor < 1) return;
  ForSingleRows(y, HeightOf(src_rect) / factor, [&](int32_t yy, int32_t off, int64_t k) {
    target_->DrawMonoReduced(Moved(x, off), yy, source, BandSource(src_rect, k * factor, factor, mirror_y), color,
                             mirror_x, mirror_y, level, factor);
  });
}

void TDIBXWave::DrawMonoReducedColors(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect,
                                      const std::array<uint32_t, 3>& colors, int32_t ignored_value, bool mirror_x,
                                      bool mirror_y, int32_t level, int32_t factor) {
  if (factor < 1) return;
  ForSingleRows(y, HeightOf(src_rect) / factor, [&](int32_t yy, int32_t off, int64_t k) {
    target_->DrawMonoReducedColors(Moved(x, off), yy, source, BandSource(src_rect, k * factor, factor, mirror_y), colors,
                                   ignored_value, mirror_x, mirror_y, level, factor);
  });
}

}  // namespace kova
