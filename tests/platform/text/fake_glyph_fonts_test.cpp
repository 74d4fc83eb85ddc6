// The fake glyph layer's exact shapes and its switches, which the text drawing's pixel tests rely
// on.
#include "support/fake_glyph_fonts.h"

#include <gtest/gtest.h>

#include "platform/text/text_codec.h"

namespace kova::test {
namespace {

using plat::TGlyphBitmap;
using plat::TGlyphFormat;

TEST(FakeGlyphFonts, DrawsBoxesOfTheDocumentedSize) {
  FakeGlyphFonts fonts;
  const auto font = fonts.OpenFont({"x", 8, 0});
  EXPECT_EQ(font->Metrics().tm.Ascent, 6);
  EXPECT_EQ(font->Metrics().tm.Descent, 2);
  EXPECT_EQ(font->Metrics().UnderscorePosition, -1);
  EXPECT_EQ(font->Metrics().StrikeoutPosition, 3);
  TGlyphBitmap g;
  ASSERT_TRUE(font->Glyph(0x82A0, TGlyphFormat::Grey8, g));
  EXPECT_EQ((std::vector<int32_t>{g.width, g.height, g.origin_x, g.origin_y, g.advance}),
            (std::vector<int32_t>{6, 5, 1, 5, 8}));
  const std::vector<uint8_t> edge(6, 32);
  const std::vector<uint8_t> middle = {32, 64, 64, 64, 64, 32};
  for (int32_t y = 0; y < 5; ++y) {
    const std::vector<uint8_t> row(g.levels.begin() + y * 6, g.levels.begin() + y * 6 + 6);
    EXPECT_EQ(row, y == 0 || y == 4 ? edge : middle) << y;
  }
  ASSERT_TRUE(font->Glyph('A', TGlyphFormat::Mono, g));
  EXPECT_EQ((std::vector<int32_t>{g.width, g.height, g.advance}), (std::vector<int32_t>{2, 5, 4}));
  EXPECT_EQ(g.levels, std::vector<uint8_t>(10, 1));
  EXPECT_EQ(font->AbcWidths('A'), (plat::TAbcWidths{1, 2, 1}));
}

TEST(FakeGlyphFonts, SetShapesMapToTheLevelsOfEachFormat) {
  FakeGlyphFonts fonts;
  fonts.SetShape(0x41, {3, 1, 0, 4, 5, {64, 128, 255}});
  const auto font = fonts.OpenFont({"x", 16, 0});
  const struct {
    TGlyphFormat format;
    std::vector<uint8_t> levels;
  } cases[] = {{TGlyphFormat::Mono, {0, 1, 1}},
               {TGlyphFormat::Grey2, {1, 2, 4}},
               {TGlyphFormat::Grey4, {4, 8, 16}},
               {TGlyphFormat::Grey8, {16, 32, 64}}};
  TGlyphBitmap g;
  for (const auto& c : cases) {
    ASSERT_TRUE(font->Glyph(0x41, c.format, g));
    EXPECT_EQ(g.levels, c.levels) << int(c.format);
  }
  // Bold repeats the last column and widens the advance.
  ASSERT_TRUE(fonts.OpenFont({"x", 16, plat::kFontBold})->Glyph(0x41, TGlyphFormat::Grey8, g));
  EXPECT_EQ(g.levels, (std::vector<uint8_t>{16, 32, 64, 64}));
  EXPECT_EQ(g.advance, 6);
}

TEST(FakeGlyphFonts, SwitchesForFaultyPlatformsMissingCodesAndFaces) {
  FakeGlyphFonts fonts;
  fonts.faces = {"Known"};
  fonts.SetMissing(0x889F);
  const auto font = fonts.OpenFont({"Unknown", 10, 0});
  EXPECT_EQ(font->Family(), "ＭＳ ゴシック");
  EXPECT_EQ(fonts.OpenFont({"Known", 10, 0})->Family(), "Known");
  EXPECT_EQ(fonts.OpenFont({plat::Utf8ToCp932("ＭＳ ゴシック"), 10, 0}), font);
  EXPECT_EQ(fonts.fonts_made, 2);

  TGlyphBitmap g;
  ASSERT_TRUE(font->Glyph(0x889F, TGlyphFormat::Grey8, g));
  EXPECT_TRUE(g.Blank());
  EXPECT_EQ(g.advance, 5);

  fonts.overshoot_levels = true;
  ASSERT_TRUE(font->Glyph(0x88A0, TGlyphFormat::Grey2, g));
  EXPECT_EQ(*std::max_element(g.levels.begin(), g.levels.end()), 5);

  fonts.fail_grey = true;
  EXPECT_FALSE(font->Glyph(0x88A0, TGlyphFormat::Grey8, g));
  EXPECT_TRUE(g.Blank());
  EXPECT_TRUE(font->Glyph(0x88A0, TGlyphFormat::Mono, g));
  EXPECT_FALSE(g.Blank());
  EXPECT_EQ(fonts.glyphs_made[TGlyphFormat::Grey8], 2);
  EXPECT_EQ(fonts.glyphs_made[TGlyphFormat::Mono], 1);
}

}  // namespace
}  // namespace kova::test
