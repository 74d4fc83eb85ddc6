// The glyph layer: outline fonts opened by face name, cell height and style, that give text
// metrics, character widths and glyph coverage bitmaps for the player's text drawing. Character
// codes are code page 932: a single byte, or lead * 256 + trail for a double-byte character.
//
// Sizes are cell heights (ascent + descent, the height of a text row without extra leading) unless
// a request asks for an em height. Every request gives a usable font: a face that is not installed
// resolves to a fallback face, and sizes outside 1..kMaxCellHeight are clamped into it.
//
// Glyph bitmaps come in levels, as the text drawing's level tables want them: mono gives 0..1,
// the grey formats 0..4, 0..16 and 0..64. A level never exceeds its format's maximum.
//
// The real implementation (FreeType and fontconfig) lives in platform/fonts; tests use the
// deterministic fake of tests/support. Fonts are used on the main thread only.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kova::plat {

// Style bits of a font request (the text's own style bits): bold and italic are made from the
// regular face when the family has no such face; underline and strike-out only mark the metrics
// (the text drawing paints the bars from the bar metrics).
inline constexpr uint8_t kFontBold = 1;
inline constexpr uint8_t kFontItalic = 2;
inline constexpr uint8_t kFontUnderline = 4;
inline constexpr uint8_t kFontStrikeOut = 8;

// Synthesised styles: bold widens every stem by kBoldWidening pixels to the right and adds as
// much to the advance; italic shears the outline by kItalicShear (x += shear * y, about 11.3
// degrees) and keeps the advance.
inline constexpr int32_t kBoldWidening = 1;
inline constexpr double kItalicShear = 0.2;

// The largest cell height a font is made at; larger requests are made at this height.
inline constexpr int32_t kMaxCellHeight = 1024;

// Glyph bitmap formats; the values are the format numbers the text drawing's quality table uses.
enum class TGlyphFormat : uint8_t { Mono = 1, Grey2 = 4, Grey4 = 5, Grey8 = 6 };

// The highest level of a format: 1, 4, 16 or 64.
constexpr int MaxLevel(TGlyphFormat format) {
  switch (format) {
    case TGlyphFormat::Mono: return 1;
    case TGlyphFormat::Grey2: return 4;
    case TGlyphFormat::Grey4: return 16;
    case TGlyphFormat::Grey8: return 64;
  }
  return 1;
}

// The format of a smoothing quality (0 mono, 1..3 the grey formats; others clamp into 0..3).
constexpr TGlyphFormat FormatOfQuality(int quality) {
  return quality <= 0   ? TGlyphFormat::Mono
         : quality == 1 ? TGlyphFormat::Grey2
         : quality == 2 ? TGlyphFormat::Grey4
                        : TGlyphFormat::Grey8;
}

// The level of a pixel covered `coverage` / 255: rounded to the nearest level (never above `max`).
// Mono takes half coverage or more as set.
constexpr uint8_t CoverageToLevel(uint8_t coverage, int max) {
  return max <= 1 ? (coverage >= 128 ? 1 : 0) : static_cast<uint8_t>((coverage * max + 127) / 255);
}

// Font request. `face` is code page 932. `height` is the cell height in pixels, or the em height
// with `em` (the settings dialog asks for its font that way).
struct TFontRequest {
  std::string_view face;
  int32_t height = 12;
  uint8_t style = 0;
  bool em = false;
};

// Text metrics of a font, in pixels (the fields of the system's TEXTMETRIC record).
struct TTextMetrics {
  int32_t Height = 0;  // the cell height: Ascent + Descent
  int32_t Ascent = 0;
  int32_t Descent = 0;
  int32_t InternalLeading = 0;  // Height - em height
  int32_t ExternalLeading = 0;
  int32_t AveCharWidth = 0;
  int32_t MaxCharWidth = 0;
  int32_t Weight = 400;  // 400 regular, 700 bold
  int32_t Overhang = 0;  // always 0 (synthesised styles add no overhang)
  int32_t DigitizedAspectX = 96;
  int32_t DigitizedAspectY = 96;
  uint8_t FirstChar = 0x20;
  uint8_t LastChar = 0xFC;
  uint8_t DefaultChar = 0x20;
  uint8_t BreakChar = 0x20;
  uint8_t Italic = 0;      // 255 when italic
  uint8_t Underlined = 0;  // 255 when underlined
  uint8_t StruckOut = 0;   // 255 when struck out
  // Bit 0 set: variable pitch; bits 1 and 2: vector and outline font; the high nibble: family.
  uint8_t PitchAndFamily = 0;
  uint8_t CharSet = 128;  // Shift-JIS
};

// Pitch-and-family bits of TTextMetrics.
inline constexpr uint8_t kTmVariablePitch = 0x01;
inline constexpr uint8_t kTmVector = 0x02;
inline constexpr uint8_t kTmOutline = 0x04;
inline constexpr uint8_t kTmFamilyModern = 0x30;

// The outline metrics of a font (the system's OUTLINETEXTMETRIC record without its names), in
// pixels unless said otherwise. Positions are above the baseline (negative: below).
struct TFontMetrics {
  TTextMetrics tm;
  std::array<uint8_t, 10> Panose{};
  uint32_t FsSelection = 0;  // bits 0 italic, 1 underscore, 4 strike-out, 5 bold, 6 regular
  uint32_t FsType = 0;
  int32_t CharSlopeRise = 1;  // 1 and 0 upright; italic: 5 and 1 (the shear of kItalicShear)
  int32_t CharSlopeRun = 0;
  int32_t ItalicAngle = 0;  // tenths of a degree, negative leaning right
  uint32_t EmSquare = 0;    // design units per em
  int32_t TypoAscent = 0;
  int32_t TypoDescent = 0;  // negative
  uint32_t LineGap = 0;
  uint32_t CapEmHeight = 0;
  uint32_t XHeight = 0;
  int32_t FontBoxLeft = 0, FontBoxTop = 0, FontBoxRight = 0, FontBoxBottom = 0;
  int32_t MacAscent = 0;
  int32_t MacDescent = 0;  // negative
  uint32_t MacLineGap = 0;
  uint32_t MinimumPpem = 0;
  int32_t SubscriptSizeX = 0, SubscriptSizeY = 0, SubscriptOffsetX = 0, SubscriptOffsetY = 0;
  int32_t SuperscriptSizeX = 0, SuperscriptSizeY = 0, SuperscriptOffsetX = 0,
          SuperscriptOffsetY = 0;
  uint32_t StrikeoutSize = 1;      // at least 1
  int32_t StrikeoutPosition = 0;   // top of the bar above the baseline
  int32_t UnderscoreSize = 1;      // at least 1
  int32_t UnderscorePosition = 0;  // top of the bar above the baseline (negative: below)
};

// Size in bytes of the stored outline-metrics record.
inline constexpr size_t kOutlineMetricsRecordSize = 212;

// The metrics as the 212-byte little-endian outline-metrics record that label lists store: the
// record size at 0, the text metrics at 4, then the outline fields; the four name offsets at the
// end are 0 (the names are not part of the record).
std::array<uint8_t, kOutlineMetricsRecordSize> OutlineMetricsRecord(const TFontMetrics& m);

// A character's spacing: A (left bearing), B (black-box width), C (advance - A - B).
struct TAbcWidths {
  int32_t A = 0;
  int32_t B = 0;
  int32_t C = 0;
  int32_t Advance() const { return A + B + C; }
  friend bool operator==(const TAbcWidths&, const TAbcWidths&) = default;
};

// One glyph's bitmap. A blank glyph (a space, or a character the font cannot show) has width and
// height 0 and no levels, and still its advance.
struct TGlyphBitmap {
  int32_t width = 0;  // black box
  int32_t height = 0;
  int32_t origin_x = 0;  // left edge of the box right of the pen position (negative: left of it)
  int32_t origin_y = 0;  // top edge of the box above the baseline
  int32_t advance = 0;   // cell increment: where the next character's pen position is
  std::vector<uint8_t> levels;  // width * height levels, top row first, tightly packed

  bool Blank() const { return width <= 0 || height <= 0; }
  uint8_t At(int32_t x, int32_t y) const { return levels[static_cast<size_t>(y) * width + x]; }
};

// One face at one size and style.
class IGlyphFont {
 public:
  virtual ~IGlyphFont() = default;
  virtual const TFontMetrics& Metrics() const = 0;
  // The family the request resolved to (UTF-8), for logs and tests.
  virtual const std::string& Family() const = 0;
  // Renders a character. False when the format cannot be made (then `out` is blank); a character
  // the font cannot show gives a blank glyph whose advance is half the cell height. `out`'s level
  // storage is reused, so a caller passing the same bitmap allocates only when it grows.
  virtual bool Glyph(uint16_t code, TGlyphFormat format, TGlyphBitmap& out) = 0;
  // A character's spacing as its grey glyph has it, without making the bitmap.
  virtual TAbcWidths AbcWidths(uint16_t code) = 0;
  // A character's advance (its text width).
  virtual int32_t Advance(uint16_t code) = 0;
};

// Opens fonts. Repeated requests for the same font are cheap.
class IGlyphFonts {
 public:
  virtual ~IGlyphFonts() = default;
  virtual std::shared_ptr<IGlyphFont> OpenFont(const TFontRequest& request) = 0;
};

// The cell height a request is made at: clamped into 1..kMaxCellHeight.
constexpr int32_t ClampCellHeight(int32_t height) {
  return height < 1 ? 1 : height > kMaxCellHeight ? kMaxCellHeight : height;
}

}  // namespace kova::plat
