// The glyph layer's shared pieces: the stored outline-metrics record, the coverage levels and the
// code page 932 character table.
#include "platform/text/glyph_fonts.h"

#include <gtest/gtest.h>

#include "platform/text/sjis_unicode.h"

namespace kova::plat {
namespace {

int32_t I32At(const std::array<uint8_t, kOutlineMetricsRecordSize>& r, size_t at) {
  return static_cast<int32_t>(r[at] | r[at + 1] << 8 | r[at + 2] << 16 |
                              static_cast<uint32_t>(r[at + 3]) << 24);
}

TEST(OutlineMetricsRecord, PutsEveryFieldAtItsOffset) {
  TFontMetrics m;
  TTextMetrics& t = m.tm;
  t.Height = 101, t.Ascent = 102, t.Descent = -103, t.InternalLeading = 104,
  t.ExternalLeading = 105;
  t.AveCharWidth = 106, t.MaxCharWidth = 107, t.Weight = 700, t.Overhang = 109;
  t.DigitizedAspectX = 110, t.DigitizedAspectY = 111;
  t.FirstChar = 0xA1, t.LastChar = 0xA2, t.DefaultChar = 0xA3, t.BreakChar = 0xA4, t.Italic = 0xA5;
  t.Underlined = 0xA6, t.StruckOut = 0xA7, t.PitchAndFamily = 0xA8, t.CharSet = 0xA9;
  for (size_t i = 0; i < m.Panose.size(); ++i) m.Panose[i] = static_cast<uint8_t>(0xB0 + i);
  m.FsSelection = 201, m.FsType = 202, m.CharSlopeRise = 203, m.CharSlopeRun = 204;
  m.ItalicAngle = -205, m.EmSquare = 2048, m.TypoAscent = 207, m.TypoDescent = -208,
  m.LineGap = 209;
  m.CapEmHeight = 210, m.XHeight = 211, m.FontBoxLeft = -212, m.FontBoxTop = 213;
  m.FontBoxRight = 214, m.FontBoxBottom = -215, m.MacAscent = 216, m.MacDescent = -217;
  m.MacLineGap = 218, m.MinimumPpem = 219, m.SubscriptSizeX = 220, m.SubscriptSizeY = 221;
  m.SubscriptOffsetX = 222, m.SubscriptOffsetY = 223, m.SuperscriptSizeX = 224;
  m.SuperscriptSizeY = 225, m.SuperscriptOffsetX = 226, m.SuperscriptOffsetY = 227;
  m.StrikeoutSize = 228, m.StrikeoutPosition = 229, m.UnderscoreSize = 230,
  m.UnderscorePosition = -231;

  const auto r = OutlineMetricsRecord(m);
  const struct {
    size_t at;
    int32_t value;
  } ints[] = {{0, 212},    {4, 101},   {8, 102},    {12, -103}, {16, 104},  {20, 105},   {24, 106},
              {28, 107},   {32, 700},  {36, 109},   {40, 110},  {44, 111},  {72, 201},   {76, 202},
              {80, 203},   {84, 204},  {88, -205},  {92, 2048}, {96, 207},  {100, -208}, {104, 209},
              {108, 210},  {112, 211}, {116, -212}, {120, 213}, {124, 214}, {128, -215}, {132, 216},
              {136, -217}, {140, 218}, {144, 219},  {148, 220}, {152, 221}, {156, 222},  {160, 223},
              {164, 224},  {168, 225}, {172, 226},  {176, 227}, {180, 228}, {184, 229},  {188, 230},
              {192, -231}, {196, 0},   {200, 0},    {204, 0},   {208, 0}};
  for (const auto& c : ints) EXPECT_EQ(I32At(r, c.at), c.value) << "offset " << c.at;
  for (size_t i = 0; i < 9; ++i) EXPECT_EQ(r[48 + i], 0xA1 + i) << "byte " << 48 + i;
  for (size_t i = 57; i < 61; ++i) EXPECT_EQ(r[i], 0) << "padding " << i;
  for (size_t i = 0; i < 10; ++i) EXPECT_EQ(r[61 + i], 0xB0 + i) << "panose " << i;
  EXPECT_EQ(r[71], 0);
}

TEST(GlyphLevels, RoundCoverageToTheNearestLevelNeverAboveTheMaximum) {
  const struct {
    TGlyphFormat format;
    int max;
    uint8_t at_127, at_128;
  } cases[] = {{TGlyphFormat::Mono, 1, 0, 1},
               {TGlyphFormat::Grey2, 4, 2, 2},
               {TGlyphFormat::Grey4, 16, 8, 8},
               {TGlyphFormat::Grey8, 64, 32, 32}};
  for (const auto& c : cases) {
    EXPECT_EQ(MaxLevel(c.format), c.max);
    const int max = MaxLevel(c.format);
    EXPECT_EQ(CoverageToLevel(0, max), 0);
    EXPECT_EQ(CoverageToLevel(255, max), max);
    EXPECT_EQ(CoverageToLevel(127, max), c.at_127);
    EXPECT_EQ(CoverageToLevel(128, max), c.at_128);
    for (int v = 1; v < 256; ++v) {
      EXPECT_LE(CoverageToLevel(static_cast<uint8_t>(v), max), max);
      EXPECT_GE(CoverageToLevel(static_cast<uint8_t>(v), max),
                CoverageToLevel(static_cast<uint8_t>(v - 1), max));
    }
  }
  // Qualities pick the formats; out-of-range qualities clamp.
  EXPECT_EQ(FormatOfQuality(-1), TGlyphFormat::Mono);
  EXPECT_EQ(FormatOfQuality(0), TGlyphFormat::Mono);
  EXPECT_EQ(FormatOfQuality(1), TGlyphFormat::Grey2);
  EXPECT_EQ(FormatOfQuality(2), TGlyphFormat::Grey4);
  EXPECT_EQ(FormatOfQuality(3), TGlyphFormat::Grey8);
  EXPECT_EQ(FormatOfQuality(9), TGlyphFormat::Grey8);
}

TEST(SjisUnicodeTable, MapsCodesAsTheJapaneseSystemDrawsThem) {
  const TSjisUnicodeTable table;
  const struct {
    uint16_t code;
    char32_t ch;
  } cases[] = {
      {'A', U'A'},         {0x5C, U'\u00A5'},  // yen sign, not the backslash
      {0x7E, U'~'},        {0xB1, U'\uFF71'},  // half-width katakana a
      {0x82A0, U'\u3042'}, {0x8140, U'\u3000'}, {0x815F, U'\uFF3C'},
      {0x889F, U'\u4E9C'}, {0x8740, U'\u2460'},  // a circled one of the code page's extensions
      {0xFA40, U'\u2170'},                       // a small roman one of the extensions
      {0x80, 0},           {0xA0, 0},           {0xFD, 0},
      {0x81, 0},  // a lone lead byte
      {0x1F, 0},           {0x0D, 0},           {0x817F, 0},
      {0x8130, 0},  // bad trail bytes
      {0x4142, 0},  // two single-byte characters are no code
  };
  for (const auto& c : cases) EXPECT_EQ(table(c.code), c.ch) << std::hex << c.code;
}

}  // namespace
}  // namespace kova::plat
