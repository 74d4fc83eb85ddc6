// What the text drawing relies on from every glyph layer, checked on the deterministic fake and on
// the FreeType layer with the fonts installed here (skipped where no Japanese face exists).
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "platform/fonts/fontconfig_source.h"
#include "platform/fonts/freetype_fonts.h"
#include "platform/text/glyph_fonts.h"
#include "platform/text/text_codec.h"
#include "support/fake_glyph_fonts.h"

namespace kova::plat {
namespace {

constexpr uint16_t kKanji = 0x8ABF;      // 漢
constexpr uint16_t kHiraganaA = 0x82A0;  // あ
constexpr uint16_t kWideSpace = 0x8140;

const TGlyphFormat kFormats[] = {TGlyphFormat::Mono, TGlyphFormat::Grey2, TGlyphFormat::Grey4,
                                 TGlyphFormat::Grey8};

// One glyph layer under test, made fresh for each test.
struct TLayer {
  std::unique_ptr<TFontconfigSource> source;
  std::unique_ptr<IGlyphFonts> fonts;
};

struct TLayerKind {
  const char* name;
  std::function<TLayer()> make;
};

TLayer MakeFake() { return {nullptr, std::make_unique<test::FakeGlyphFonts>()}; }

TLayer MakeFreeType() {
  TLayer l;
  l.source = std::make_unique<TFontconfigSource>();
  if (l.source->JapaneseFamilies().empty()) return l;
  l.fonts = std::make_unique<TFreeTypeFonts>(*l.source);
  return l;
}

class GlyphLayer : public ::testing::TestWithParam<TLayerKind> {
 protected:
  void SetUp() override {
    layer_ = GetParam().make();
    if (!layer_.fonts) GTEST_SKIP() << "no Japanese-capable font installed";
  }
  std::shared_ptr<IGlyphFont> Open(int32_t height, uint8_t style = 0, bool em = false) {
    face_ = Utf8ToCp932("ＭＳ ゴシック");
    return layer_.fonts->OpenFont({face_, height, style, em});
  }
  TLayer layer_;
  std::string face_;
};

TEST_P(GlyphLayer, SizesAreCellHeightsClampedIntoRange) {
  const struct {
    int32_t asked, cell;
  } cases[] = {{12, 12}, {25, 25}, {0, 1}, {-7, 1}, {1, 1}, {10000, kMaxCellHeight}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.asked);
    const auto font = Open(c.asked);
    const TFontMetrics& m = font->Metrics();
    EXPECT_EQ(m.tm.Height, c.cell);
    EXPECT_EQ(m.tm.Ascent + m.tm.Descent, c.cell);
    EXPECT_GE(m.tm.Descent, 0);
    EXPECT_EQ(m.tm.CharSet, 128);
    // The bars lie inside the cell.
    EXPECT_GE(m.UnderscoreSize, 1);
    EXPECT_GE(m.tm.Ascent - m.UnderscorePosition, 0);
    EXPECT_LE(m.tm.Ascent - m.UnderscorePosition + m.UnderscoreSize, c.cell);
    EXPECT_GE(m.StrikeoutSize, 1u);
    EXPECT_GE(m.tm.Ascent - m.StrikeoutPosition, 0);
    EXPECT_LE(m.tm.Ascent - m.StrikeoutPosition + static_cast<int32_t>(m.StrikeoutSize), c.cell);
    TGlyphBitmap g;
    EXPECT_TRUE(font->Glyph(kKanji, TGlyphFormat::Grey8, g));
    EXPECT_LE(g.width, 2 * c.cell + 2);
    EXPECT_LE(g.height, 2 * c.cell + 2);
  }
}

TEST_P(GlyphLayer, LevelsStayWithinEveryFormatAndReachItsMaximum) {
  const auto font = Open(24);
  TGlyphBitmap g;
  for (TGlyphFormat format : kFormats) {
    for (uint16_t code : {uint16_t{'A'}, kKanji, kHiraganaA}) {
      SCOPED_TRACE(testing::Message() << int(format) << " " << std::hex << code);
      ASSERT_TRUE(font->Glyph(code, format, g));
      ASSERT_FALSE(g.Blank());
      ASSERT_EQ(g.levels.size(), static_cast<size_t>(g.width * g.height));
      int top = 0;
      for (uint8_t v : g.levels) top = std::max<int>(top, v);
      EXPECT_EQ(top, MaxLevel(format));
    }
  }
}

TEST_P(GlyphLayer, BlankAndMissingCharactersAdvanceWithoutInk) {
  const auto font = Open(20);
  const struct {
    uint16_t code;
    int32_t advance;  // 0: any positive advance
  } cases[] = {{0x20, 0},  {kWideSpace, 0}, {0x80, 10}, {0xFD, 10},
               {0x0D, 10}, {0x8130, 10},    {0x81, 10}};
  TGlyphBitmap g;
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.code);
    for (TGlyphFormat format : kFormats) {
      g.levels.assign(7, 1);  // what a previous glyph left
      EXPECT_TRUE(font->Glyph(c.code, format, g));
      EXPECT_TRUE(g.Blank());
      EXPECT_TRUE(g.levels.empty());
      if (c.advance) {
        EXPECT_EQ(g.advance, c.advance);
      }
      EXPECT_GT(g.advance, 0);
      EXPECT_EQ(font->Advance(c.code), g.advance);
      EXPECT_EQ(font->AbcWidths(c.code), (TAbcWidths{0, 0, g.advance}));
    }
  }
}

// Asked before the glyph is drawn, right after, and after another character was drawn: the same.
TEST_P(GlyphLayer, AbcWidthsDescribeTheGreyGlyph) {
  const uint16_t codes[] = {'A', 'g', 'i', kHiraganaA, kKanji};
  for (uint8_t style : {uint8_t{0}, kFontBold, kFontItalic, uint8_t(kFontBold | kFontItalic)}) {
    const auto font = Open(22, style);
    for (uint16_t code : codes) {
      SCOPED_TRACE(testing::Message() << "style " << int(style) << " code " << std::hex << code);
      const TAbcWidths before = font->AbcWidths(code);
      TGlyphBitmap g;
      ASSERT_TRUE(font->Glyph(code, TGlyphFormat::Grey8, g));
      const TAbcWidths abc = font->AbcWidths(code);
      EXPECT_EQ(abc, before);
      EXPECT_EQ(abc.A, g.origin_x);
      EXPECT_EQ(abc.B, g.width);
      EXPECT_EQ(abc.Advance(), g.advance);
      EXPECT_EQ(font->Advance(code), g.advance);
      TGlyphBitmap other;
      ASSERT_TRUE(font->Glyph(code == kKanji ? 'A' : kKanji, TGlyphFormat::Mono, other));
      EXPECT_EQ(font->AbcWidths(code), before);
    }
  }
}

TEST_P(GlyphLayer, BoldWidensTheAdvanceByItsWideningAndItalicKeepsIt) {
  const auto regular = Open(24);
  const auto bold = Open(24, kFontBold);
  const auto italic = Open(24, kFontItalic | kFontUnderline);
  EXPECT_EQ(regular->Metrics().tm.Weight, 400);
  EXPECT_EQ(bold->Metrics().tm.Weight, 700);
  EXPECT_EQ(italic->Metrics().tm.Italic, 255);
  EXPECT_EQ(italic->Metrics().tm.Underlined, 255);
  EXPECT_EQ(italic->Metrics().tm.StruckOut, 0);
  for (uint16_t code : {uint16_t{'A'}, uint16_t{' '}, kKanji}) {
    EXPECT_EQ(bold->Advance(code), regular->Advance(code) + kBoldWidening) << code;
    EXPECT_EQ(italic->Advance(code), regular->Advance(code)) << code;
  }
}

TEST_P(GlyphLayer, RepeatedRequestsShareOneFont) {
  const auto a = Open(16);
  EXPECT_EQ(Open(16), a);
  EXPECT_NE(Open(17), a);
  EXPECT_NE(Open(16, kFontBold), a);
  EXPECT_NE(Open(16, kFontUnderline), a);
  EXPECT_EQ(Open(16, kFontUnderline), Open(16, kFontUnderline));
}

INSTANTIATE_TEST_SUITE_P(Layers, GlyphLayer,
                         ::testing::Values(TLayerKind{"Fake", MakeFake},
                                           TLayerKind{"FreeType", MakeFreeType}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace kova::plat
