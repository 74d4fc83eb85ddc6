// The one interface through which text reaches font outlines and metrics. The platform's font
// layer implements it over the installed outline fonts; tests use a fake with known glyphs. Faces
// are named and characters given as code-page 932, heights are cell heights in pixels (the
// font's ascent plus descent).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace kova {

// The style bits of text: 1 bold, 2 italic, 4 underline, 8 strike-out.
enum : uint8_t { kStyleBold = 1, kStyleItalic = 2, kStyleUnderline = 4, kStyleStrikeOut = 8 };

struct TTextFontKey {
  std::string Name;  // code page 932; empty = the system's default face
  int32_t Height = 12;
  uint8_t Style = 0;
  friend bool operator==(const TTextFontKey&, const TTextFontKey&) = default;
};

// The metrics of the selected font, in pixels.
struct TTextFontMetrics {
  int32_t Height = 0;  // the cell height asked for
  int32_t Ascent = 0;
  int32_t Descent = 0;
  int32_t InternalLeading = 0;
  int32_t ExternalLeading = 0;
  int32_t AveCharWidth = 0;
  int32_t MaxCharWidth = 0;
  int32_t Weight = 400;  // 700 when bold
  int32_t Overhang = 0;
  bool FixedPitch = false;
  int32_t EmSquare = 0;
  int32_t UnderscoreSize = 0;
  int32_t UnderscorePosition = 0;  // above the baseline (negative below)
  int32_t StrikeoutSize = 0;
  int32_t StrikeoutPosition = 0;   // above the baseline
};

// The coverage formats of a glyph request and their highest level: 1 (two levels), 4, 16, 64.
enum class TGlyphFormat : uint8_t { Mono = 1, Gray2 = 4, Gray4 = 5, Gray8 = 6 };
constexpr int32_t GlyphFormatMaxLevel(TGlyphFormat f) {
  return f == TGlyphFormat::Mono ? 1 : f == TGlyphFormat::Gray2 ? 4 : f == TGlyphFormat::Gray4 ? 16 : 64;
}

struct TGlyphBitmap {
  int32_t BlackBoxX = 0;  // bitmap width; 0 for a blank glyph
  int32_t BlackBoxY = 0;
  int32_t OriginX = 0;    // left of the bitmap from the pen position
  int32_t OriginY = 0;    // top of the bitmap above the baseline
  int32_t CellIncX = 0;   // the advance
  // BlackBoxX * BlackBoxY levels, rows top first, each in 0 .. GlyphFormatMaxLevel(format).
  std::vector<uint8_t> Levels;
};

struct TAbcWidths {
  int32_t A = 0;  // left bearing
  int32_t B = 0;  // black-box width
  int32_t C = 0;  // advance - A - B
};

class TTextFont {
 public:
  virtual ~TTextFont() = default;
  // Selects the face, height and style; false when no outline face can be had for it (a bitmap
  // face, or no face at all).
  virtual bool Select(const TTextFontKey& key) = 0;
  // The selected font's metrics.
  virtual const TTextFontMetrics& Metrics() const = 0;
  // The coverage of one character of the selected font; false when the request fails (the format
  // is not supported). A character the font cannot show gives a blank glyph whose advance is
  // half the cell height.
  virtual bool Glyph(uint16_t code, TGlyphFormat format, TGlyphBitmap& out) = 0;
  virtual TAbcWidths AbcWidths(uint16_t code) = 0;
  // The advance of one character of the selected font.
  virtual int32_t TextWidth(uint16_t code) = 0;
  // The selected font's metrics as the 212-byte outline-metrics record that label lists store.
  // Base: the record of Metrics().
  virtual std::array<uint8_t, 212> OutlineRecord() const;
};

}  // namespace kova
