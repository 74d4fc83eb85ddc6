// The glyph cache over the FreeType glyph layer with the IPA faces the set-up script installs:
// the faces games ask for, glyphs with ink where the font has it, styles, and bad sizes and
// characters. Properties only (font versions differ); skipped where the IPA Gothic faces are
// missing, the Mincho case where the Mincho faces are.
#include <gtest/gtest.h>

#include "graphics/dibx.h"
#include "platform/fonts/fontconfig_source.h"
#include "platform/fonts/freetype_fonts.h"
#include "platform/text/text_codec.h"
#include "text/font_pixel.h"
#include "text/glyph_layer_font.h"

namespace kova {
namespace {

class RealFontGlyphs : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!source.FindFamily("IPAGothic") || !source.FindFamily("IPAPGothic")) {
      GTEST_SKIP() << "the IPA Gothic fonts are not installed";
    }
  }
  static uint16_t Code(std::string_view utf8) {
    const std::string s = plat::Utf8ToCp932(utf8);
    return s.size() == 1 ? uint8_t(s[0]) : uint16_t(uint8_t(s[0]) << 8 | uint8_t(s[1]));
  }
  static int Ink(const TFontPixel& g) {
    int n = 0;
    for (uint8_t a : g.Coverage()) n += a > 0;
    return n;
  }
  plat::TFontconfigSource source;
  plat::TFreeTypeFonts fonts{source};
  TGlyphLayerFont font{fonts};
  TFontPixelManager cache{font};
};

TEST_F(RealFontGlyphs, FacesGamesAskFor) {
  const struct {
    const char* asked;
    const char* family;
    bool fixed;
    bool mincho;
  } cases[] = {
      {"ＭＳ ゴシック", "IPAGothic", true, false},
      {"ＭＳ Ｐゴシック", "IPAPGothic", false, false},
      {"ＭＳ 明朝", "IPAMincho", true, true},
      {"no such face at all", "IPAGothic", true, false},
  };
  const bool mincho = source.FindFamily("IPAMincho").has_value();
  for (const auto& c : cases) {
    if (c.mincho && !mincho) continue;
    ASSERT_TRUE(font.Select(TTextFontKey{plat::Utf8ToCp932(c.asked), 24, 0})) << c.asked;
    EXPECT_EQ(font.Family(), c.family) << c.asked;
    EXPECT_EQ(font.Metrics().Height, 24);
    EXPECT_EQ(font.Metrics().FixedPitch, c.fixed) << c.asked;
  }
}

TEST_F(RealFontGlyphs, GlyphsHaveInkInTheirCell) {
  const std::string gothic = plat::Utf8ToCp932("ＭＳ ゴシック");
  for (const char* ch : {"あ", "漢", "A", "g"}) {
    TFontPixelRef g = cache.GetGlyph(Code(ch), gothic, 24, 0);
    EXPECT_GT(Ink(*g), 10) << ch;
    EXPECT_LE(g->TopOffset + g->GetHeight(), 24 + 2) << ch;
    EXPECT_LE(g->LeftBearing + g->GetWidth(), 24) << ch;
  }
  // Synthesised bold has more ink; the space and the yen sign.
  TFontPixelRef regular = cache.GetGlyph(Code("あ"), gothic, 24, 0);
  TFontPixelRef bold = cache.GetGlyph(Code("あ"), gothic, 24, kStyleBold);
  EXPECT_GT(Ink(*bold), Ink(*regular));
  TFontPixelRef space = cache.GetGlyph(' ', gothic, 24, 0);
  EXPECT_EQ(space->GetWidth(), 0);
  EXPECT_GT(space->AdvanceRemainder, 8);
  EXPECT_GT(Ink(*cache.GetGlyph(0x5C, gothic, 24, 0)), 10);

  // Drawn with a border into 32-bit surfaces: ink inside the cell only.
  TDIBX color, cover;
  color.SetSize(40, 40, 32);
  cover.SetSize(40, 40, 8);
  color.Fill(0);
  cover.Fill(0);
  TGlyphDrawArgs a;
  a.Cell = TRect{4, 4, 4 + 26, 4 + 26};
  a.Colors = {0xFFFFFF, 0x000080, 0};
  a.Border = 1;
  const TRect r = regular->Draw(color, cover, a);
  EXPECT_GE(r.Left, 4);
  EXPECT_GE(r.Top, 4);
  EXPECT_LE(r.Right, 30);
  EXPECT_LE(r.Bottom, 30);
  int covered = 0;
  for (int32_t y = 0; y < 40; ++y) {
    for (int32_t x = 0; x < 40; ++x) covered += cover.GetPixel(x, y) > 0;
  }
  EXPECT_GT(covered, Ink(*regular));
}

TEST_F(RealFontGlyphs, BadSizesAndCharactersNeverFail) {
  const std::string gothic = plat::Utf8ToCp932("ＭＳ ゴシック");
  TFontPixelRef zero = cache.GetGlyph(Code("あ"), gothic, 0, 0);
  EXPECT_LE(zero->GetWidth(), 2);
  TFontPixelRef huge = cache.GetGlyph(Code("あ"), gothic, 10000, 0);
  EXPECT_LE(huge->GetHeight(), plat::kMaxCellHeight);
  EXPECT_GT(Ink(*huge), 1000);
  // Not a character of the code page: blank, half a cell.
  TFontPixelRef bad = cache.GetGlyph(0x8540 - 1, gothic, 24, 0);
  EXPECT_EQ(bad->GetWidth(), 0);
  EXPECT_EQ(bad->AdvanceRemainder, 12);
}

}  // namespace
}  // namespace kova
