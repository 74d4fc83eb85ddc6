// The smoothed glyph cache: glyph coverage bitmaps of one character in one font, height, style
// and smoothing quality, made once through the text font and kept for the message windows, labels
// and list boxes, and the drawing of one such glyph into a pair of work surfaces (a colour surface
// and an 8-bit coverage surface) with a text colour, a border and a shadow.
//
// Coverage comes from the font in levels (two, five, 17 or 65 of them by quality) and is turned
// into alpha through fixed, non-linear tables that are part of the look of the text.
//
// Glyphs are shared: a caller may keep one across later requests, even when the cache has dropped
// it. The cache holds at most kMaxGlyphs glyphs (and at most kMaxCoverageBytes of bitmaps), the
// least recently used going first.
#pragma once

#include <array>
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "core/types.h"
#include "text/text_font.h"

namespace kova {

class TCustomDIBX;

// The alpha of a coverage level at a quality (0 mono, 1..3 the grey formats); levels past the
// table count as its last.
uint8_t GlyphLevelAlpha(int32_t quality, int32_t level);

// The widest border and shadow a glyph is drawn with; wider values count as this.
inline constexpr int32_t kMaxGlyphEdge = 64;

// The pixels (of the colour surface's format) a glyph is drawn with.
struct TGlyphColors {
  uint32_t Text = 0;
  uint32_t Border = 0;
  uint32_t Shadow = 0;
};

// How one glyph is drawn: its cell on the work surfaces, the colours, the widths, and whether the
// neighbours on either side are drawn differently (the ends of underline and strike-out bars).
struct TGlyphDrawArgs {
  TRect Cell;
  TGlyphColors Colors;
  int32_t Border = 0;
  int32_t Shadow = 0;
  bool LeftDiffers = true;
  bool RightDiffers = true;
};

class TFontPixel {
 public:
  uint16_t Code = 0;
  std::string FontName;
  int32_t Height = 0;  // the font's cell height
  uint8_t Style = 0;
  int32_t Quality = 0;
  int32_t LeftBearing = 0;       // max(0, the bitmap's left from the pen)
  int32_t TopOffset = 0;         // max(0, ascent - the bitmap's top above the baseline)
  int32_t UnderlineTop = 0;      // from the cell's top (style bit 4)
  int32_t UnderlineThickness = 0;
  int32_t StrikeOutTop = 0;      // from the cell's top (style bit 8)
  int32_t StrikeOutThickness = 0;
  // A blank glyph: its advance; else the cell advance beyond the bitmap and its left bearing.
  int32_t AdvanceRemainder = 0;
  TAbcWidths Abc;  // the character's spacing in this font

  // The coverage bitmap: GetWidth() x GetHeight() alpha values, top row first.
  int32_t GetWidth() const { return width_; }
  int32_t GetHeight() const { return height_; }
  const std::vector<uint8_t>& Coverage() const { return coverage_; }
  uint8_t At(int32_t x, int32_t y) const { return coverage_[size_t(y) * size_t(width_) + size_t(x)]; }
  // Sets the bitmap (width x height alpha values).
  void SetCoverage(int32_t width, int32_t height, std::vector<uint8_t> alpha);

  // Draws the glyph into the colour surface (15, 16 or 32 bits) and the 8-bit coverage surface:
  // the shadow, then the border, then the body, with the underline and strike-out bars of its
  // style. Returns the rectangle it touched (empty when it drew nothing).
  TRect Draw(TCustomDIBX& color, TCustomDIBX& cover, const TGlyphDrawArgs& args) const;

  // Where the bitmap's top-left lands in a cell with a border b.
  TPoint Placement(const TRect& cell, int32_t border) const;

 // The bitmap grown by b on every side: 1 where a covered pixel lies within b (rows of
  // GetWidth() + 2b). Made once per border width.
  const std::vector<uint8_t>& Dilated(int32_t b) const;

 private:

  int32_t width_ = 0, height_ = 0;
  std::vector<uint8_t> coverage_;
  mutable int32_t dilated_border_ = -1;
  mutable std::vector<uint8_t> dilated_;
};

using TFontPixelRef = std::shared_ptr<const TFontPixel>;

class TFontPixelManager {
 public:
  static constexpr size_t kMaxGlyphs = 256;
  static constexpr size_t kMaxCoverageBytes = size_t(64) << 20;

  // `font` must outlive the manager.
  explicit TFontPixelManager(TTextFont& font);
  ~TFontPixelManager();
  TFontPixelManager(const TFontPixelManager&) = delete;
  TFontPixelManager& operator=(const TFontPixelManager&) = delete;

  // The smoothing of new glyphs: 0 mono, 1..3 grey (others clamp). Once the font has failed a
  // grey request the quality stays 0.
  int32_t Quality() const { return quality_; }
  void SetQuality(int32_t quality);

  // The cached glyph with exactly these values, or nullptr (the cache's order is unchanged).
  TFontPixelRef FindGlyph(uint16_t code, const std::string& font_name, int32_t height, uint8_t style,
                          int32_t quality) const;
  // The glyph at the current quality, made when missing; it becomes the most recently used.
  TFontPixelRef GetGlyph(uint16_t code, const std::string& font_name, int32_t height, uint8_t style);

  // Selects the font of a key on the text font (only when it differs from the one selected last).
  // False when the font has no outline face for it.
  bool SelectFont(const std::string& font_name, int32_t height, uint8_t style);
  TTextFont& Font() { return font_; }
  // The 212-byte outline metrics of the font selected last.
  const std::array<uint8_t, 212>& OutlineRecord() const { return outline_; }

  size_t Count() const { return all_.size(); }

 private:
  void Drop(std::list<std::shared_ptr<TFontPixel>>::iterator it);
  void Make(TFontPixel& glyph);

  TTextFont& font_;
  int32_t quality_ = 3;
  bool smoothing_failed_ = false;
  bool selected_ = false;
  bool select_ok_ = false;
  TTextFontKey key_;
  std::array<uint8_t, 212> outline_{};
  // Most recently used first.
  std::list<std::shared_ptr<TFontPixel>> all_;
  // By the code's low byte: the glyphs and their places in `all_`.
  std::array<std::vector<std::list<std::shared_ptr<TFontPixel>>::iterator>, 256> buckets_;
  size_t coverage_bytes_ = 0;
  TGlyphBitmap scratch_;
};

}  // namespace kova
