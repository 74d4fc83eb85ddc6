// The drawing surface: every picture, text plane, film frame, transition layer and the screen back
// buffer is one. TCustomDIBX owns no pixels; it keeps a size, a clip rectangle and a colour key and
// implements every drawing operation once, on top of the primitives a surface kind supplies (depth,
// channel masks and shifts, row pitch, locked pixel address, raw get/set pixel). TDIBX is the
// memory surface over a TDIBSurface.
//
// Conventions of every drawing operation:
// - Colour arguments are raw PIXEL values of the destination's format (convert with ColorToPixel).
// - Sources, patterns and masks are other surfaces; sources and patterns must have the
//   destination's bytes per pixel, masks must be 8-bit and cover the source area used, or nothing
//   is drawn. Source rectangles are cut to the source's bounds (a mirrored axis keeps its mapping).
// - The colour key of a draw is the SOURCE's TransparentColor, compared with the zero-extended
//   pixel value: -1 never matches.
// - Opacity levels run 0..255 (0 draws nothing); the blend per channel with mask M is
//   ((d & M) * (255 - a) + (s & M) * a) >> 8 & M, so 255 is not an exact copy. Levels above
//   255 count as 255 (FillRectAdd and FrameRectAdd: above 256 as 256).
// - Drawing is clipped to GetClipRect() cut to the surface bounds; nothing raises, failures draw
//   nothing.
// - The destination's RowResults selects the row results (15, 16 and 32 bits) or the per-pixel
//   results; see DrawResultRule.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "core/stream.h"
#include "core/types.h"
#include "graphics/dib_surface.h"
#include "graphics/pixel_format.h"
#include "graphics/pixel_view.h"

namespace kova {

class TCustomDIBX;

// The result rule of an operation on a destination. With the destination's RowResults true (the
// default), 15-, 16- and 32-bit destinations give the row results of the blends (a destination
// pixel equal to the colour or source is left, FillMask weighs by the mask value alone at level
// 255 and above, DrawAlpha honours the key only when asked, and the top byte of a 32-bit pixel
// goes through the arithmetic like a channel). With it false, and at 8 and 24 bits always: the
// per-pixel results. The choice of SIMD instructions (simd_dispatch.h) never changes a result.
enum class TDrawRule { Row, PerPixel };
TDrawRule DrawResultRule(const TCustomDIBX& dst);

namespace draw {
struct TScratch;
}

class TCustomDIBX {
 public:
  TCustomDIBX();
  virtual ~TCustomDIBX();
  TCustomDIBX(const TCustomDIBX&) = delete;
  TCustomDIBX& operator=(const TCustomDIBX&) = delete;

  // ---- Fields ----
  // Clip rectangle of all drawing into this surface; Right == 0 means none (the bounds apply).
  TRect ClipRect;
  // The colour key of this surface when it is the source of a draw (a raw pixel value); -1: none.
  int32_t TransparentColor = -1;
  // Content rectangles carried from a layered picture's frame; no drawing operation reads them.
  std::vector<TRect> Rects1;
  std::vector<TRect> Rects2;
  // The row results of drawing into this surface (true) or the per-pixel ones (false); see
  // DrawResultRule. Set before drawing into the surface; tests compare both.
  bool RowResults = true;

  // The scratch rows and sampling tables of drawing into this surface (graphics/dibx_draw.h),
  // made on first use and kept, so that the steady state of drawing allocates nothing.
  draw::TScratch& DrawScratch();

  // ---- Primitives supplied by the surface kind ----
  virtual bool IsEmpty() const;  // Width() == 0 || Height() == 0
  virtual int32_t BitCount() const;  // 8, 15, 16, 24, 32 (1 and 4 carried only); base 0
  virtual void SetBitCount(int32_t bit_count);
  virtual uint32_t RedMask() const;
  virtual uint32_t GreenMask() const;
  virtual uint32_t BlueMask() const;
  // Signed byte step from row y to row y + 1 (negative for bottom-up storage).
  virtual ptrdiff_t Pitch() const;
  // Raw pixel values; 0 and no effect outside the surface.
  virtual uint32_t GetPixel(int32_t x, int32_t y) const;
  virtual void SetPixel(int32_t x, int32_t y, uint32_t value);
  // Bit positions of the channels.
  virtual int32_t BlueShift() const;
  virtual int32_t GreenShift() const;
  virtual int32_t RedShift() const;
  virtual int32_t Height() const;
  virtual int32_t Width() const;
  // The surface that really holds the pixels (a proxy answers with its target).
  virtual TCustomDIBX* BaseSurface();
  // The depth of the storage (16 for both 15- and 16-bit surfaces); base: BitCount().
  virtual int32_t StorageBitCount() const;
  // Base: records width and height (the kind re-makes its storage first).
  virtual void SetSize(int32_t width, int32_t height, int32_t bit_count);
  // Address of pixel (x, y); locks the storage. Nullptr when the surface cannot be locked (the
  // operation then draws nothing). Every non-null result is followed by exactly one Unlock.
  virtual uint8_t* PixelAddress(int32_t x, int32_t y);
  virtual void Unlock();
  // A software "device context": a view of the pixels (empty when the kind has none).
  virtual TPixelView GetDC();
  virtual void ReleaseDC();
  virtual void ResetClipRect();
  // Clamps the rectangle to the surface; an empty result changes nothing; otherwise the clip
  // rectangle becomes it, or grows to the bounding box of both when one is set.
  virtual void AddClipRect(const TRect& rect);
  // A colour reference ($00BBGGRR) as a raw pixel value; -1 for a negative colour. Base: unchanged.
  virtual int32_t ColorToPixel(int32_t color) const;

  // ---- Fills and frames ----
  // The bounds (clip applies) with the pixel value.
  virtual void Fill(uint32_t color);
  virtual void FillRect(const TRect& rect, uint32_t color);
  // Pixels equal to `color` stay; Alpha 0 draws nothing.
  virtual void FillRectAlpha(const TRect& rect, uint32_t color, int32_t alpha);
  // Saturating add per channel of the colour scaled by level / 256 (256, the default, adds the
  // colour itself; 0 draws nothing; levels above 256 count as 256).
  virtual void FillRectAdd(const TRect& rect, uint32_t color, int32_t level = 256);
  // Per channel d - c, clamped at 0.
  virtual void FillRectSub(const TRect& rect, uint32_t color);
  // Bands inside the rectangle: top, bottom, then left and right between them when room is left.
  virtual void FrameRect(const TRect& rect, int32_t thickness, uint32_t color);
  virtual void FrameRectAlpha(const TRect& rect, int32_t thickness, uint32_t color, int32_t alpha);
  virtual void FrameRectAdd(const TRect& rect, int32_t thickness, uint32_t color, int32_t level = 256);
  // `color` through an 8-bit mask (coverage 0..255) at Level 0..255; the mask rectangle src_rect
  // lands at (x, y).
  virtual void FillMask(int32_t x, int32_t y, TCustomDIBX& mask, const TRect& src_rect, bool mirror_x,
                        bool mirror_y, uint32_t color, int32_t level);
  // Repeats the whole pattern over the rectangle, raw, phase (offset_x, offset_y) at its top-left.
  virtual void FillPattern(const TRect& rect, TCustomDIBX& pattern, int32_t offset_x, int32_t offset_y,
                           bool mirror_x, bool mirror_y);
  // Four bands (side bands full height), each a FillPattern restarting the phase at its corner.
  // `ignored_rect` and `ignored_value` are accepted for callers that pass them.
  virtual void FramePattern(const TRect& rect, int32_t thickness, TCustomDIBX& pattern,
                            const TRect& ignored_rect, int32_t ignored_value, int32_t offset_x,
                            int32_t offset_y);

  // Copies the source's pixel memory when both are memory surfaces of the same width, height and
  // pitch; otherwise draws it at (0, 0) without key. The destination is never resized and keeps
  // its colour key.
  virtual void Assign(TCustomDIBX& source);
  // Takes the source's size, depth, palette, pixels and colour key (SetSize, then Assign).
  void CopyFrom(TCustomDIBX& source);

  // ---- Unscaled blits ----
  // (x, y): destination of the unmirrored source rectangle's top-left.
  virtual void Draw(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect, bool transparent,
                    bool mirror_x, bool mirror_y);
  virtual void DrawMask(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect, bool mirror_x,
                        bool mirror_y, TCustomDIBX& mask);
  virtual void DrawAlpha(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect,
                         bool transparent, bool mirror_x, bool mirror_y, int32_t alpha);
  virtual void DrawMaskAlpha(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect,
                             bool mirror_x, bool mirror_y, TCustomDIBX& mask, int32_t alpha);
  // `transparent` is ignored: the key always applies.
  virtual void DrawAdd(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect, bool transparent,
                       bool mirror_x, bool mirror_y, int32_t level);
  virtual void DrawMaskAdd(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect,
                           bool mirror_x, bool mirror_y, TCustomDIBX& mask, int32_t level);

  // ---- Rotation and stretching (scales in 1/256, angles in 1/256 turn) ----
  // Level: 0 nothing, 1..254 blend, 255 copy, 256..511 add with level & 255. (x, y) is where the
  // pivot (a source pixel coordinate) lands.
  virtual void DrawRotate(int32_t x, int32_t y, int32_t scale_x, int32_t scale_y, TCustomDIBX& source,
                          const TRect& src_rect, int32_t pivot_x, int32_t pivot_y, int32_t angle,
                          bool transparent, bool mirror_x, bool mirror_y, int32_t level);
  virtual void DrawRotateMask(int32_t x, int32_t y, int32_t scale_x, int32_t scale_y, TCustomDIBX& source,
                              const TRect& src_rect, int32_t pivot_x, int32_t pivot_y, int32_t angle,
                              bool mirror_x, bool mirror_y, TCustomDIBX& mask, int32_t level);
  // Alpha: 0 nothing, 1..254 blend, 255 and above copy.
  virtual void StretchDraw(const TRect& dst_rect, TCustomDIBX& source, const TRect& src_rect,
                           bool transparent, bool mirror_x, bool mirror_y, int32_t alpha);
  virtual void StretchDrawMask(const TRect& dst_rect, TCustomDIBX& source, const TRect& src_rect,
                               bool mirror_x, bool mirror_y, TCustomDIBX& mask, int32_t alpha);
  virtual void StretchDrawAdd(const TRect& dst_rect, TCustomDIBX& source, const TRect& src_rect,
                              bool transparent, bool mirror_x, bool mirror_y, int32_t level);
  virtual void StretchDrawMaskAdd(const TRect& dst_rect, TCustomDIBX& source, const TRect& src_rect,
                                  bool mirror_x, bool mirror_y, TCustomDIBX& mask, int32_t level);

  // ---- Reductions, tiles, tables ----
  // A 1-bit picture supersampled `factor` times: each destination pixel blends `color` by the
  // share of 0 bits of its factor x factor block.
  virtual void DrawMonoReduced(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect,
                               uint32_t color, bool mirror_x, bool mirror_y, int32_t level,
                               int32_t factor);
  // A 4-bit picture whose nibbles' low two bits are codes (0 background, 1..3 colors[0..2]).
  virtual void DrawMonoReducedColors(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect,
                                     const std::array<uint32_t, 3>& colors, int32_t ignored_value,
                                     bool mirror_x, bool mirror_y, int32_t level, int32_t factor);
  virtual void DrawTile(const TRect& rect, int32_t spacing_x, int32_t spacing_y, TCustomDIBX& source,
                        const TRect& src_rect, bool transparent, int32_t origin_x, int32_t origin_y);
  virtual void DrawTileAlpha(const TRect& rect, int32_t spacing_x, int32_t spacing_y, TCustomDIBX& source,
                             const TRect& src_rect, bool transparent, int32_t alpha, int32_t origin_x,
                             int32_t origin_y);
  virtual void DrawTileAdd(const TRect& rect, int32_t spacing_x, int32_t spacing_y, TCustomDIBX& source,
                           const TRect& src_rect, bool transparent, int32_t level, int32_t origin_x,
                           int32_t origin_y);
  virtual void DrawTileMask(const TRect& rect, int32_t spacing_x, int32_t spacing_y, TCustomDIBX& source,
                            const TRect& src_rect, TCustomDIBX& mask, int32_t origin_x, int32_t origin_y);
  virtual void DrawTileMaskAlpha(const TRect& rect, int32_t spacing_x, int32_t spacing_y,
                                 TCustomDIBX& source, const TRect& src_rect, TCustomDIBX& mask,
                                 int32_t alpha, int32_t origin_x, int32_t origin_y);
  virtual void DrawTileMaskAdd(const TRect& rect, int32_t spacing_x, int32_t spacing_y,
                               TCustomDIBX& source, const TRect& src_rect, TCustomDIBX& mask,
                               int32_t level, int32_t origin_x, int32_t origin_y);
  // Cells step_x x step_y (scaled by scale / 256) over the rectangle; level 0..255 blends,
  // 256..511 adds with level & 255.
  virtual void StretchTile(const TRect& rect, int32_t step_x, int32_t step_y, int32_t scale_x,
                           int32_t scale_y, TCustomDIBX& source, const TRect& src_rect, bool transparent,
                           bool mirror_x, bool mirror_y, int32_t level, int32_t origin_x,
                           int32_t origin_y);
  virtual void StretchTileMask(const TRect& rect, int32_t step_x, int32_t step_y, int32_t scale_x,
                               int32_t scale_y, TCustomDIBX& source, const TRect& src_rect,
                               TCustomDIBX& mask, bool mirror_x, bool mirror_y, int32_t level,
                               int32_t origin_x, int32_t origin_y);
  // 4-bit codes through a 16-entry table (transparent is ignored; the source's key code is).
  virtual void DrawTable(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect,
                         bool transparent, bool mirror_x, bool mirror_y, int32_t level,
                         std::span<const uint32_t> table);
  // 8-bit codes through a 256-entry table, added at `level`.
  virtual void DrawTableAdd(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect,
                            int32_t threshold, bool mirror_x, bool mirror_y, int32_t level,
                            std::span<const uint32_t> table);
  virtual void StretchDrawTableAdd(const TRect& dst_rect, TCustomDIBX& source, const TRect& src_rect,
                                   int32_t threshold, bool mirror_x, bool mirror_y, int32_t level,
                                   std::span<const uint32_t> table);
  // A scaled repeating pattern: level < 255 blend, 255 copy, 256.. add with min(level - 256, 255).
  virtual void DrawPatternTable(const TRect& rect, int32_t scale_x, int32_t scale_y, TCustomDIBX& pattern,
                                int32_t offset_x, int32_t offset_y, bool transparent, bool mirror_x,
                                bool mirror_y, int32_t level);
  virtual void DrawPatternTableMask(const TRect& rect, int32_t scale_x, int32_t scale_y,
                                    TCustomDIBX& pattern, int32_t offset_x, int32_t offset_y,
                                    bool mirror_x, bool mirror_y, TCustomDIBX& mask, int32_t level);

  // ---- Files, life cycle, palette ----
  // Picture loading by the file's magic bytes (BMP, PNG, layered picture); the picture is copied
  // in at the surface's own depth; nothing matching leaves the surface unchanged. These two are
  // defined with the picture loaders (pictures/picture_loader.cpp).
  void LoadFromFile(const std::string& host_path);
  void LoadFromStream(TStream* stream, int32_t seed);
  // Writes a 24-bit BMP when the name ends in ".bmp" (any case), replacing the file; any other
  // name writes nothing. Raises the bitmap layer's error when the file cannot be written.
  virtual void SaveToFile(const std::string& host_path);
  // Width and height 0.
  virtual void Clear();
  virtual void ReleaseSurface();
  // 256 entries, or `count` from `start`.
  virtual void GetPalette(std::span<TRGBQuad> entries) const;
  virtual void GetPaletteEntries(std::span<TRGBQuad> entries, int32_t start, int32_t count) const;
  virtual void SetPalette(std::span<const TRGBQuad> entries);
  virtual void SetPaletteEntries(std::span<const TRGBQuad> entries, int32_t start, int32_t count);
  // Copies (sx, sy, sw, sh) of the surface into (x, y, w, h) of `dc`, nearest pixel, converted.
  virtual void StretchToDC(const TPixelView& dc, int32_t x, int32_t y, int32_t w, int32_t h, int32_t sx,
                           int32_t sy, int32_t sw, int32_t sh);
  virtual void Unshare();
  // Memory surfaces take the bitmap's size, depth, colour table and pixels; its alpha plane goes
  // to `alpha_target` when one is given. Base: nothing.
  virtual void AssignSurface(const TDIBSurface& source, TCustomDIBX* alpha_target);

  // ---- Non-virtual helpers ----
  TRect BoundsRect() const { return TRect{0, 0, Width(), Height()}; }
  // ClipRect when set (Right != 0), else the bounds.
  TRect GetClipRect() const;
  // Stores the rectangle unchanged (drawing still never leaves the bounds).
  void SetClipRect(const TRect& rect) { ClipRect = rect; }
  int32_t BytesPerPixel() const { return (BitCount() + 7) / 8; }
  // Clips a destination rectangle (Left/Top given, size of `src`) and its source rectangle to the
  // clip rectangle; a mirrored axis loses source pixels at the opposite end. False: nothing left.
  bool ClipBlit(TRect& dst, TRect& src, bool mirror_x, bool mirror_y) const;
  // Clips a pattern rectangle, adding what was cut at the left and top to the offsets.
  bool ClipPattern(TRect& dst, int32_t& offset_x, int32_t& offset_y) const;
  // First source position of a tiled draw: (Left + origin_x mod W, Top + origin_y mod H), the mods
  // made non-negative; `src_rect` must not be empty.
  static TPoint TileOrigin(int32_t origin_x, int32_t origin_y, const TRect& src_rect);
  // Stretch set-up against the clip rectangle: source steps per destination pixel (negative for
  // mirrored axes) and the fractional source position cut away at the left and top.
  bool PrepareStretch(TRect& dst_rect, TRect& src_rect, bool mirror_x, bool mirror_y, double& step_x,
                      double& step_y, double& frac_x, double& frac_y) const;
  // The integer form for reductions: factors = source size div destination size.
  bool PrepareReduced(TRect& dst_rect, TRect& src_rect, bool mirror_x, bool mirror_y, int32_t& factor_x,
                      int32_t& factor_y) const;

 protected:
  int32_t width_ = 0;
  int32_t height_ = 0;

 private:
  std::unique_ptr<draw::TScratch> scratch_;
};

// The bounding rectangle of a rotated, scaled draw (the pivot is mirrored within width x height).
TRect CalcRotatedBounds(int32_t x, int32_t y, int32_t pivot_x, int32_t pivot_y, int32_t angle,
                        const TRect& src_rect, int32_t scale_x, int32_t scale_y, int32_t width,
                        int32_t height, bool mirror_x, bool mirror_y);

// The memory surface: pixels in an owned TDIBSurface (rows bottom-up, so Pitch is negative).
// Created reporting 0 x 0 over a 1 x 1 15-bit bitmap.
class TDIBX : public TCustomDIBX {
 public:
  TDIBX();
  ~TDIBX() override;

  int32_t BitCount() const override;  // 15 for 16-bit 5-5-5
  void SetBitCount(int32_t bit_count) override;
  uint32_t RedMask() const override;
  uint32_t GreenMask() const override;
  uint32_t BlueMask() const override;
  ptrdiff_t Pitch() const override;
  uint32_t GetPixel(int32_t x, int32_t y) const override;
  void SetPixel(int32_t x, int32_t y, uint32_t value) override;
  int32_t BlueShift() const override;
  int32_t GreenShift() const override;
  int32_t RedShift() const override;
  int32_t StorageBitCount() const override;  // 16 for both 15 and 16
  void SetSize(int32_t width, int32_t height, int32_t bit_count) override;
  uint8_t* PixelAddress(int32_t x, int32_t y) override;
  TPixelView GetDC() override;
  int32_t ColorToPixel(int32_t color) const override;
  // The whole pixel memory at 1 to 16 bits; FillRect over the bounds at 24 and 32.
  void Fill(uint32_t color) override;
  // Width and height 0; the bitmap becomes 8 x 8 (8 bits when it was empty).
  void Clear() override;
  void GetPalette(std::span<TRGBQuad> entries) const override;
  void GetPaletteEntries(std::span<TRGBQuad> entries, int32_t start, int32_t count) const override;
  void SetPalette(std::span<const TRGBQuad> entries) override;
  void SetPaletteEntries(std::span<const TRGBQuad> entries, int32_t start, int32_t count) override;
  void StretchToDC(const TPixelView& dc, int32_t x, int32_t y, int32_t w, int32_t h, int32_t sx, int32_t sy,
                   int32_t sw, int32_t sh) override;
  void AssignSurface(const TDIBSurface& source, TCustomDIBX* alpha_target) override;

  TDIBSurface& Surface() { return *surface_; }
  const TDIBSurface& Surface() const { return *surface_; }

 private:
  std::unique_ptr<TDIBSurface> surface_;
};

}  // namespace kova
