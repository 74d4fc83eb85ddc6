// The smoothed glyph cache over the glyph layer (the fake fonts): the level tables, the cache's
// identity and least-recently-used drop, the fall back to mono, blank glyphs, and exact pixels of
// the drawing routines at 16 and 32 bits.
#include "text/font_pixel.h"

#include <gtest/gtest.h>

#include "graphics/dibx.h"
#include "support/fake_glyph_fonts.h"
#include "text/glyph_layer_font.h"

namespace kova::test {
namespace {

// A cell of height 8 (ascent 6): a 3 x 3 glyph at the cell's top, one pixel right of the pen,
// advancing 5. 'o' is a ring with a half-covered centre; 'x' is that centre alone.
constexpr int32_t kCell = 8;

FakeGlyphFonts::Shape Ring(uint8_t centre) {
  return FakeGlyphFonts::Shape{3, 3, 1, 6, 5, {255, 255, 255, 255, centre, 255, 255, 255, 255}};
}

struct Rig {
  Rig() {
    fonts.SetShape('o', Ring(128));
    fonts.SetShape('x', FakeGlyphFonts::Shape{3, 3, 1, 6, 5, {0, 0, 0, 0, 255, 0, 0, 0, 0}});
  }
  FakeGlyphFonts fonts;
  TGlyphLayerFont font{fonts};
  TFontPixelManager cache{font};
};

// The alpha of the ring's centre at quality 3.
uint8_t CentreAlpha() { return GlyphLevelAlpha(3, plat::CoverageToLevel(128, 64)); }

TEST(GlyphLevels, TablesMapExactly) {
  const struct {
    int32_t quality, level;
    uint8_t alpha;
  } cases[] = {
      {0, 0, 0},    {0, 1, 255},  {1, 1, 79},   {1, 2, 127},  {1, 3, 207},  {1, 4, 255},   {2, 1, 43},
      {2, 7, 115},  {2, 8, 159},  {2, 16, 255}, {3, 1, 18},   {3, 7, 36},   {3, 8, 55},    {3, 23, 100},
      {3, 24, 119}, {3, 32, 143}, {3, 39, 164}, {3, 40, 183}, {3, 63, 252}, {3, 64, 255},
      // A level past the table (a faulty platform) counts as the last.
      {1, 9, 255},  {3, 65, 255}, {0, 2, 255},
  };
  for (const auto& c : cases) EXPECT_EQ(GlyphLevelAlpha(c.quality, c.level), c.alpha) << c.quality << "/" << c.level;
}

TEST(GlyphCache, SameObjectAgainAndLeastRecentlyUsedDropped) {
  Rig rig;
  const std::string face = "F";
  TFontPixelRef first = rig.cache.GetGlyph('A', face, 16, 0);
  EXPECT_EQ(rig.cache.GetGlyph('A', face, 16, 0), first);
  // Another height, style or face is another glyph.
  EXPECT_NE(rig.cache.GetGlyph('A', face, 17, 0), first);
  EXPECT_NE(rig.cache.GetGlyph('A', face, 16, kStyleBold), first);
  EXPECT_NE(rig.cache.GetGlyph('A', "G", 16, 0), first);
  TFontPixelRef second = rig.cache.GetGlyph('B', face, 16, 0);
  // 256 more distinct glyphs, touching 'A' now and then: 'B' is the least recently used.
  for (uint16_t c = 0x8140; c < 0x8140 + 256; ++c) {
    rig.cache.GetGlyph(c, face, 16, 0);
    if (c % 16 == 0) rig.cache.GetGlyph('A', face, 16, 0);
  }
  EXPECT_EQ(rig.cache.Count(), TFontPixelManager::kMaxGlyphs);
  EXPECT_EQ(rig.cache.FindGlyph('A', face, 16, 0, 3), first);
  EXPECT_EQ(rig.cache.FindGlyph('B', face, 16, 0, 3), nullptr);
  // A dropped glyph a caller still holds stays whole.
  EXPECT_EQ(second->Code, 'B');
  EXPECT_GT(second->GetWidth(), 0);
}

TEST(GlyphCache, FontsWithoutSmoothingDropToMonoForGood) {
  Rig rig;
  rig.fonts.fail_grey = true;
  TFontPixelRef g = rig.cache.GetGlyph('o', "F", kCell, 0);
  EXPECT_EQ(rig.cache.Quality(), 0);
  EXPECT_EQ(g->Quality, 0);
  // Mono: every covered pixel is fully covered.
  EXPECT_EQ(g->At(1, 1), 255);
  rig.cache.SetQuality(3);
  EXPECT_EQ(rig.cache.Quality(), 0);
  rig.cache.GetGlyph('x', "F", kCell, 0);
  EXPECT_EQ(rig.fonts.glyphs_made[plat::TGlyphFormat::Grey8], 1);
  EXPECT_EQ(rig.fonts.glyphs_made[plat::TGlyphFormat::Mono], 2);
}

TEST(GlyphCache, BlankAndMissingCharactersAdvance) {
  Rig rig;
  rig.fonts.SetMissing(0x889F);
  const struct {
    uint16_t code;
    int32_t height;
    int32_t advance;
  } cases[] = {
      {' ', 16, 8},      // a space: its own advance
      {0x8140, 16, 16},  // the double-byte space
      {0x889F, 16, 8},   // a character the font lacks: half the cell
      {'A', 0, 0},       // a zero size is made at the smallest cell
  };
  for (const auto& c : cases) {
    TFontPixelRef g = rig.cache.GetGlyph(c.code, "F", c.height, 0);
    if (c.code == 'A') continue;
    EXPECT_EQ(g->GetWidth(), 0) << c.code;
    EXPECT_EQ(g->AdvanceRemainder, c.advance) << c.code;
  }
  // A huge size is clamped by the glyph layer and still draws.
  TFontPixelRef huge = rig.cache.GetGlyph('A', "F", 10000, 0);
  EXPECT_GT(huge->GetWidth(), 0);
  EXPECT_LE(huge->GetHeight(), plat::kMaxCellHeight);
}

TEST(GlyphCache, HorizontalPlacementInTheCell) {
  Rig rig;
  TFontPixelRef g = rig.cache.GetGlyph('o', "F", kCell, 0);
  ASSERT_EQ(g->LeftBearing, 1);
  ASSERT_EQ(g->AdvanceRemainder, 1);
  // A cell as wide as the advance leaves no room: the bitmap sits at its bearing.
  EXPECT_EQ(g->Placement(TRect{10, 20, 15, 28}, 0), (TPoint{11, 20}));
  // A wider cell (free 5): shift round((B div 2 + A) * free / (A + B + C)) - A = 1.
  EXPECT_EQ(g->Placement(TRect{10, 20, 18, 28}, 0), (TPoint{12, 20}));
  // The border moves the bitmap in by its width.
  EXPECT_EQ(g->Placement(TRect{10, 20, 15, 28}, 2), (TPoint{13, 22}));
  // Spacing that adds up to nothing centres the bitmap instead of dividing by zero.
  rig.fonts.SetShape('z', FakeGlyphFonts::Shape{3, 3, 2, 6, 0, std::vector<uint8_t>(9, 255)});
  TFontPixelRef z = rig.cache.GetGlyph('z', "F", kCell, 0);
  EXPECT_EQ(z->Placement(TRect{0, 0, 8, 8}, 0).X, 2);
}

// Exact pixels of the routines, at 5-6-5 and 8-8-8.
struct Depth {
  int32_t bits;
  uint32_t red, blue, green;
  uint32_t ring_centre_over_blue;  // (red x a + blue x (255 - a)) >> 8 for the centre's alpha
  uint32_t red_times_255;          // red x 255 >> 8
};
const Depth kDepths[] = {
    {16, 0xF800, 0x001F, 0x07E0, 0x880D, 0xF000},
    {32, 0xFF0000, 0x0000FF, 0x00FF00, 0x8E006F, 0xFE0000},
};

struct Surfaces {
  explicit Surfaces(int32_t bits) {
    color.SetSize(16, 16, bits);
    cover.SetSize(16, 16, 8);
    color.Fill(0);
    cover.Fill(0);
  }
  TDIBX color, cover;
};

TEST(GlyphDraw, PlainGlyphIsSolidWithCoverageMax) {
  ASSERT_EQ(CentreAlpha(), 143);
  for (const Depth& d : kDepths) {
    Rig rig;
    Surfaces s(d.bits);
    s.cover.SetPixel(3, 3, 200);  // higher than the centre's coverage: kept
    TFontPixelRef g = rig.cache.GetGlyph('o', "F", kCell, 0);
    TGlyphDrawArgs a;
    a.Cell = TRect{1, 2, 6, 10};
    a.Colors = {d.red, d.green, d.blue};
    const TRect touched = g->Draw(s.color, s.cover, a);
    EXPECT_EQ(touched, (TRect{2, 2, 5, 5})) << d.bits;
    EXPECT_EQ(s.color.GetPixel(2, 2), d.red);
    EXPECT_EQ(s.color.GetPixel(3, 3), d.red);  // any coverage: the colour itself
    EXPECT_EQ(s.cover.GetPixel(2, 2), 255u);
    EXPECT_EQ(s.cover.GetPixel(3, 3), 200u);
    EXPECT_EQ(s.color.GetPixel(5, 2), 0u);
    EXPECT_EQ(s.cover.GetPixel(1, 2), 0u);
  }
}

TEST(GlyphDraw, ShadowFirstThenBodyOver) {
  for (const Depth& d : kDepths) {
    Rig rig;
    Surfaces s(d.bits);
    TFontPixelRef g = rig.cache.GetGlyph('o', "F", kCell, 0);
    TGlyphDrawArgs a;
    a.Cell = TRect{0, 0, 6, 9};  // 5 + the shadow
    a.Colors = {d.red, d.green, d.blue};
    a.Shadow = 1;
    const TRect touched = g->Draw(s.color, s.cover, a);
    // The bitmap at (1, 0) and its shadow at (2, 1).
    EXPECT_EQ(touched, (TRect{1, 0, 5, 4})) << d.bits;
    EXPECT_EQ(s.color.GetPixel(4, 3), d.blue);  // shadow only
    EXPECT_EQ(s.cover.GetPixel(4, 3), 255u);
    EXPECT_EQ(s.color.GetPixel(1, 0), d.red);  // body at full coverage
    // The ring's centre (2, 1) lies over the shadow's corner: coverage stays full and the body
    // mixes in by its own alpha.
    EXPECT_EQ(s.color.GetPixel(2, 1), d.ring_centre_over_blue);
    EXPECT_EQ(s.cover.GetPixel(2, 1), 255u);
  }
  // Over nothing, a partly covered pixel takes its coverage and the whole colour (w = 255).
  Rig rig;
  Surfaces s(32);
  rig.fonts.SetShape('y', FakeGlyphFonts::Shape{1, 1, 1, 6, 5, {128}});
  TFontPixelRef y = rig.cache.GetGlyph('y', "F", kCell, 0);
  TGlyphDrawArgs a;
  a.Cell = TRect{0, 0, 6, 9};
  a.Colors = {0xFF0000, 0, 0x0000FF};
  a.Shadow = 1;
  y->Draw(s.color, s.cover, a);
  EXPECT_EQ(s.cover.GetPixel(1, 0), 143u);
  EXPECT_EQ(s.color.GetPixel(1, 0), 0xFE0000u);
}

TEST(GlyphDraw, BorderSquareAndTwoColourBody) {
  for (const Depth& d : kDepths) {
    Rig rig;
    Surfaces s(d.bits);
    TFontPixelRef x = rig.cache.GetGlyph('x', "F", kCell, 0);
    TFontPixelRef o = rig.cache.GetGlyph('o', "F", kCell, 0);
    TGlyphDrawArgs a;
    a.Cell = TRect{0, 0, 9, 12};
    a.Colors = {d.red, d.blue, d.green};
    a.Border = 2;
    // The bitmap lands at (4, 2) (shifted 1 in the wider cell, then in by the border); 'x' covers
    // one pixel, (5, 3): its border is the 5 x 5 square around it.
    const TRect touched = x->Draw(s.color, s.cover, a);
    EXPECT_EQ(touched, (TRect{2, 0, 9, 7})) << d.bits;
    for (int32_t yy = 0; yy < 8; ++yy) {
      for (int32_t xx = 0; xx < 10; ++xx) {
        const bool in = xx >= 3 && xx <= 7 && yy >= 1 && yy <= 5;
        const uint32_t want = xx == 5 && yy == 3 ? d.red : in ? d.blue : 0;
        ASSERT_EQ(s.color.GetPixel(xx, yy), want) << d.bits << " " << xx << "," << yy;
        ASSERT_EQ(s.cover.GetPixel(xx, yy), in ? 255u : 0u) << xx << "," << yy;
      }
    }
    // The ring's centre blends the text colour over the border colour.
    Surfaces t(d.bits);
    a.Border = 1;
    o->Draw(t.color, t.cover, a);
    EXPECT_EQ(t.color.GetPixel(4, 2), d.ring_centre_over_blue);
    EXPECT_EQ(t.cover.GetPixel(4, 2), 255u);
  }
}

TEST(GlyphDraw, BorderedShadowCarriesTheBorder) {
  Rig rig;
  Surfaces s(32);
  TFontPixelRef x = rig.cache.GetGlyph('x', "F", kCell, 0);
  TGlyphDrawArgs a;
  a.Cell = TRect{0, 0, 9, 12};
  a.Colors = {0xFF0000, 0x0000FF, 0x00FF00};
  a.Border = 1;
  a.Shadow = 2;
  // The pixel at (4, 2); its border square (3..5, 1..3); the shadow's square at (5..7, 3..5).
  EXPECT_EQ(x->Draw(s.color, s.cover, a), (TRect{2, 0, 9, 7}));
  EXPECT_EQ(s.color.GetPixel(7, 5), 0x00FF00u);  // shadow
  EXPECT_EQ(s.color.GetPixel(5, 3), 0x0000FFu);  // the border over the shadow
  EXPECT_EQ(s.color.GetPixel(4, 2), 0xFF0000u);
  EXPECT_EQ(s.color.GetPixel(8, 5), 0u);
}

TEST(GlyphDraw, BarsJoinTheTouchedRectangle) {
  Rig rig;
  // Underline: top 1 below the baseline (row 7 of the cell), one pixel thick.
  const struct {
    uint8_t style;
    uint16_t code;
    int32_t shadow;
    bool left_differs, right_differs;
    TRect touched;
    int32_t bar_row;
    int32_t bar_left, bar_right;  // columns of the body's bar
  } cases[] = {
      {kStyleUnderline, 'o', 0, true, true, TRect{0, 0, 5, 8}, 7, 0, 5},
      {kStyleStrikeOut, 'o', 0, true, true, TRect{0, 0, 5, 4}, 3, 0, 5},
      // A blank glyph still draws its bar.
      {kStyleUnderline, ' ', 0, true, true, TRect{0, 7, 5, 8}, 7, 0, 5},
      // With a shadow the bar stops short of a differing right neighbour by the shadow.
      {kStyleUnderline, ' ', 1, true, true, TRect{0, 7, 5, 9}, 7, 0, 4},
      {kStyleUnderline, ' ', 1, false, false, TRect{0, 7, 6, 9}, 7, 0, 5},
  };
  for (const auto& c : cases) {
    Surfaces s(32);
    TFontPixelRef g = rig.cache.GetGlyph(c.code, "F", kCell, c.style);
    TGlyphDrawArgs a;
    a.Cell = TRect{0, 0, 5, kCell};
    a.Colors = {0xFF0000, 0x0000FF, 0x00FF00};
    a.Shadow = c.shadow;
    a.LeftDiffers = c.left_differs;
    a.RightDiffers = c.right_differs;
    EXPECT_EQ(g->Draw(s.color, s.cover, a), c.touched) << int(c.style) << " " << c.code << " " << c.shadow;
    for (int32_t x = 0; x < 7; ++x) {
      const bool in = x >= c.bar_left && x < c.bar_right;
      EXPECT_EQ(s.cover.GetPixel(x, c.bar_row), in ? 255u : 0u) << x;
      if (in) {
        EXPECT_EQ(s.color.GetPixel(x, c.bar_row), 0xFF0000u) << x;
      }
    }
  }
}

TEST(GlyphDraw, ClippedToTheSurfacesAndOtherDepthsDrawNothing) {
  Rig rig;
  TFontPixelRef g = rig.cache.GetGlyph('o', "F", kCell, 0);
  Surfaces s(32);
  TGlyphDrawArgs a;
  a.Cell = TRect{14, 14, 19, 22};
  a.Colors = {0xFF0000, 0, 0};
  a.Border = 3;
  EXPECT_EQ(g->Draw(s.color, s.cover, a), (TRect{15, 14, 16, 16}));
  a.Cell = TRect{-100, -100, -95, -92};
  EXPECT_EQ(g->Draw(s.color, s.cover, a), TRect{});
  TDIBX wide, cover;
  wide.SetSize(8, 8, 24);
  cover.SetSize(8, 8, 8);
  a.Cell = TRect{0, 0, 5, 8};
  EXPECT_EQ(g->Draw(wide, cover, a), TRect{});
}

}  // namespace
}  // namespace kova::test
