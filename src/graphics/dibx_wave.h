// The wave-effect surface: a drawing surface without pixels of its own that passes every drawing
// operation on to a target surface, moving each row sideways by that row's offset. Rows with equal
// offsets travel together as one band, so an unbent wave costs one call per operation.
//
// Coordinates passed in are the target's. Row r of the wave is target row WaveOrigin.Y + r; rows
// outside 0 .. RowOffsets.size() - 1 are not drawn. Without a target nothing is drawn.
#pragma once

#include <cstdint>
#include <vector>

#include "graphics/dibx.h"

namespace kova {

class TDIBXWave : public TCustomDIBX {
 public:
  TDIBXWave() = default;
  explicit TDIBXWave(TCustomDIBX* target) : target_(target) {}

  // The surface that receives the drawing (not owned; the owner keeps it alive).
  void SetTarget(TCustomDIBX* target) { target_ = target; }
  TCustomDIBX* Target() const { return target_; }

  // One x offset per row; SetSize gives it `height` entries of 0.
  std::vector<int32_t> RowOffsets;
  // Where the wave's row 0 and column 0 lie on the target.
  TPoint WaveOrigin;

  // 1 plus the number of rows after r, before end_index and inside the wave, with r's offset.
  int32_t SameOffsetRun(int32_t r, int32_t end_index) const;
  // The wave's area on the target: WaveOrigin and the wave's size.
  TRect Area() const;
  // The target coordinates whose drawing can reach the target's drawable area, as rectangles left
  // to right that do not touch: the wave's rows, and the columns that some row's offset moves
  // into it. None without a target.
  std::vector<TRect> Reach() const;

  void SetSize(int32_t width, int32_t height, int32_t bit_count) override;
  TCustomDIBX* BaseSurface() override;
  int32_t BitCount() const override;
  int32_t StorageBitCount() const override;
  int32_t ColorToPixel(int32_t color) const override;
  void ResetClipRect() override;
  // Cut to the wave's area on the target; the own clip grows to include it and the target's clip
  // grows by the whole own clip.
  void AddClipRect(const TRect& rect) override;
  // FillRect over the wave's area on the target.
  void Fill(uint32_t color) override;
  // Draws the whole source at the wave's origin, without key or mirroring.
  void Assign(TCustomDIBX& source) override;

  // Bands of equal offsets.
  void FillRect(const TRect& rect, uint32_t color) override;
  void FillRectAlpha(const TRect& rect, uint32_t color, int32_t alpha) override;
  void FillRectAdd(const TRect& rect, uint32_t color, int32_t level = 256) override;
  void FillRectSub(const TRect& rect, uint32_t color) override;
  void FillMask(int32_t x, int32_t y, TCustomDIBX& mask, const TRect& src_rect, bool mirror_x, bool mirror_y,
                uint32_t color, int32_t level) override;
  void FillPattern(const TRect& rect, TCustomDIBX& pattern, int32_t offset_x, int32_t offset_y, bool mirror_x,
                   bool mirror_y) override;
  void Draw(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect, bool transparent, bool mirror_x,
            bool mirror_y) override;
  void DrawMask(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect, bool mirror_x, bool mirror_y,
                TCustomDIBX& mask) override;
  void DrawAlpha(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect, bool transparent, bool mirror_x,
                 bool mirror_y, int32_t alpha) override;
  void DrawMaskAlpha(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect, bool mirror_x,
                     bool mirror_y, TCustomDIBX& mask, int32_t alpha) override;
  void DrawAdd(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect, bool transparent, bool mirror_x,
               bool mirror_y, int32_t level) override;
  void DrawMaskAdd(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect, bool mirror_x, bool mirror_y,
                   TCustomDIBX& mask, int32_t level) override;

  // One call per destination row, each clipped to its row.
  void StretchDraw(const TRect& dst_rect, TCustomDIBX& source, const TRect& src_rect, bool transparent,
                   bool mirror_x, bool mirror_y, int32_t alpha) override;
  void StretchDrawMask(const TRect& dst_rect, TCustomDIBX& source, const TRect& src_rect, bool mirror_x,
                       bool mirror_y, TCustomDIBX& mask, int32_t alpha) override;
  void StretchDrawAdd(const TRect& dst_rect, TCustomDIBX& source, const TRect& src_rect, bool transparent,
                      bool mirror_x, bool mirror_y, int32_t level) override;
  void StretchDrawMaskAdd(const TRect& dst_rect, TCustomDIBX& source, const TRect& src_rect, bool mirror_x,
                          bool mirror_y, TCustomDIBX& mask, int32_t level) override;
  void DrawRotate(int32_t x, int32_t y, int32_t scale_x, int32_t scale_y, TCustomDIBX& source, const TRect& src_rect,
                  int32_t pivot_x, int32_t pivot_y, int32_t angle, bool transparent, bool mirror_x, bool mirror_y,
                  int32_t level) override;
  void DrawRotateMask(int32_t x, int32_t y, int32_t scale_x, int32_t scale_y, TCustomDIBX& source,
                      const TRect& src_rect, int32_t pivot_x, int32_t pivot_y, int32_t angle, bool mirror_x,
                      bool mirror_y, TCustomDIBX& mask, int32_t level) override;
  void StretchDrawTableAdd(const TRect& dst_rect, TCustomDIBX& source, const TRect& src_rect, int32_t threshold,
                           bool mirror_x, bool mirror_y, int32_t level, std::span<const uint32_t> table) override;
  void DrawPatternTable(const TRect& rect, int32_t scale_x, int32_t scale_y, TCustomDIBX& pattern, int32_t offset_x,
                        int32_t offset_y, bool transparent, bool mirror_x, bool mirror_y, int32_t level) override;
  void DrawPatternTableMask(const TRect& rect, int32_t scale_x, int32_t scale_y, TCustomDIBX& pattern,
                            int32_t offset_x, int32_t offset_y, bool mirror_x, bool mirror_y, TCustomDIBX& mask,
                            int32_t level) override;
  void FramePattern(const TRect& rect, int32_t thickness, TCustomDIBX& pattern, const TRect& ignored_rect,
                    int32_t ignored_value, int32_t offset_x, int32_t offset_y) override;

  // One call per row without merging.
  void DrawTable(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect, bool transparent, bool mirror_x,
                 bool mirror_y, int32_t level, std::span<const uint32_t> table) override;
  void DrawTableAdd(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect, int32_t threshold,
                    bool mirror_x, bool mirror_y, int32_t level, std::span<const uint32_t> table) override;
  void DrawMonoReduced(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect, uint32_t color,
                       bool mirror_x, bool mirror_y, int32_t level, int32_t factor) override;
  void DrawMonoReducedColors(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect,
                             const std::array<uint32_t, 3>& colors, int32_t ignored_value, bool mirror_x,
                             bool mirror_y, int32_t level, int32_t factor) override;

 private:
  // Calls band(y, rows, offset, first) for the bands of target rows top .. bottom - 1 inside the
  // wave; `first` is the band's distance from `top`.
  template <class Band>
  void ForBands(int64_t top, int64_t bottom, Band&& band);
  // Calls row(y, offset) for each row of `area` (cut to the target's clip) inside the wave, with
  // the target clipped to that row; the target's clip rectangle is restored afterwards.
  template <class Row>
  void ForClippedRows(const TRect& area, Row&& row);
  // Calls row(y, offset, k) for rows top + k, k = 0 .. count - 1, inside the wave.
  template <class Row>
  void ForSingleRows(int32_t top, int64_t count, Row&& row);

  TCustomDIBX* target_ = nullptr;
};

}  // namespace kova
