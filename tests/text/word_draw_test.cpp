// Documents drawn with the fake fonts: characters render into the work surfaces and compose onto
// the target (ruby over a run, links and hovered links, rows outside the update rectangle, the
// visible area), and pictures compose at the level of their alpha and the document's.
#include <gtest/gtest.h>

#include <set>

#include "graphics/dibx.h"
#include "support/fake_glyph_fonts.h"
#include "text/font_pixel.h"
#include "text/glyph_layer_font.h"
#include "text_test_util.h"

namespace kova::test {
namespace {

struct DocRig {
  explicit DocRig(int32_t bits) {
    target.SetSize(64, 48, bits);
    target.Fill(0);
    doc.FontSize = 16;
    doc.WrapWidth = 64;
    doc.PageHeight = 48;
    doc.Target = &target;
    doc.GlyphCache = &cache;
    doc.ScreenBits = bits;
    doc.TextColor = 0xFFFFFF;
    doc.LinkColor = 0xFF0000;   // blue
    doc.HoverColor = 0x0000FF;  // red
  }
  TWdPage& Show(const std::string& text) {
    doc.Parse(text);
    pages.clear();
    doc.Layout(pages);
    TWdPage& page = *pages[0];
    page.Render(false);
    page.SetAlphaAll(255);
    if (doc.UpdateRect == TRect{}) doc.UpdateRect = TRect{0, 0, 64, 48};
    page.Compose();
    return page;
  }
  // The columns holding ink in rows top..bottom - 1.
  std::set<int32_t> InkColumns(int32_t top, int32_t bottom) {
    std::set<int32_t> cols;
    for (int32_t y = top; y < bottom; ++y) {
      for (int32_t x = 0; x < target.Width(); ++x) {
        if (target.GetPixel(x, y)) cols.insert(x);
      }
    }
    return cols;
  }
  FakeGlyphFonts fonts;
  TGlyphLayerFont font{fonts};
  TFontPixelManager cache{font};
  TXrWord doc;
  TDIBX target;
  TPageList pages;
};

std::set<int32_t> Range(int32_t from, int32_t to) {
  std::set<int32_t> s;
  for (int32_t i = from; i <= to; ++i) s.insert(i);
  return s;
}

TEST(DocumentDraw, RubyOverTheRunAtBothDepths) {
  for (int32_t bits : {16, 32}) {
    DocRig rig(bits);
    rig.Show("<RUBY VALUE=ab>XY</RUBY>");
    // Ruby size 8 over a run 32 wide: step 8; 'a' at round(8) - 2 = 6, 'b' at round(24) - 2 = 22,
    // each 2 columns of ink 3 in from its 8-pixel cell. Only the run's first glyph draws them.
    std::set<int32_t> ruby = {9, 10, 25, 26};
    EXPECT_EQ(rig.InkColumns(0, 8), ruby) << bits;
    // The characters sit a ruby size lower, each 6 columns of ink placed in its 16-pixel cell.
    std::set<int32_t> text = Range(5, 10);
    text.merge(Range(21, 26));
    EXPECT_EQ(rig.InkColumns(8, 24), text) << bits;
  }
}

TEST(DocumentDraw, LinksAndHoveredLinks) {
  const struct {
    int32_t bits;
    uint32_t blue, red;  // the pixels a full mask at level 255 leaves over black
  } depths[] = {{16, 0x001E, 0xF000}, {32, 0x0000FE, 0xFE0000}};
  for (const auto& d : depths) {
    DocRig rig(d.bits);
    TWdPage& page = rig.Show("<A HREF=l>X</A>");
    EXPECT_EQ(rig.target.GetPixel(7, 5), d.blue) << d.bits;
    // The link is underlined (row 14 of the cell) across its cell.
    for (int32_t x = 0; x < 16; ++x) EXPECT_EQ(rig.target.GetPixel(x, 14), d.blue) << x;
    EXPECT_EQ(rig.target.GetPixel(16, 14), 0u);
    // Hovered: drawn again in the hover colour.
    TWdGlyph* g = page.Row(0)->FirstLaidGlyph();
    g->SetHover(1);
    g->Erase();
    g->Render(false);
    rig.target.Fill(0);
    page.Compose();
    EXPECT_EQ(rig.target.GetPixel(7, 5), d.red) << d.bits;
    EXPECT_EQ(rig.target.GetPixel(0, 14), d.red);
    EXPECT_EQ(rig.target.GetPixel(15, 14), d.red);
  }
}

TEST(DocumentDraw, UpdateRectangleAndVisibleArea) {
  {
    DocRig rig(32);
    rig.doc.UpdateRect = TRect{0, 0, 64, 16};
    rig.Show("X<BR>Y");
    EXPECT_FALSE(rig.InkColumns(0, 16).empty());
    EXPECT_TRUE(rig.InkColumns(16, 48).empty());  // the second row is outside the update rectangle
  }
  {
    DocRig rig(32);
    rig.doc.PageHeight = 20;
    rig.doc.OriginX = 8;
    rig.doc.OriginY = 4;
    rig.Show("X<BR>Y");
    // Moved to the origin; the second row (16 .. 32 on the page) is cut at the page height.
    EXPECT_EQ(rig.InkColumns(0, 48), Range(13, 18));
    EXPECT_FALSE(rig.InkColumns(20, 24).empty());
    EXPECT_TRUE(rig.InkColumns(24, 48).empty());
  }
  {
    // A translucent glyph with a border blends the colour surface through the coverage.
    DocRig rig(32);
    TWdPage& page = rig.Show("<FONT BORDER=1 BCOLOR=#0000FF>X</FONT>");
    const uint32_t opaque = rig.target.GetPixel(8, 6);
    EXPECT_NE(opaque, 0u);
    rig.target.Fill(0);
    page.SetAlphaAll(128);
    page.Compose();
    const uint32_t half = rig.target.GetPixel(8, 6);
    EXPECT_NE(half, 0u);
    EXPECT_LT(half & 0xFF, opaque & 0xFF);
  }
}

TEST(DocumentDraw, PictureLevels) {
  const struct {
    int32_t doc_alpha, glyph_alpha, level;  // level 0: not drawn
  } cases[] = {
      {255, 255, 255}, {255, 100, 100}, {128, 255, 127}, {384, 255, 383}, {511, 128, 383}, {0, 255, 0}, {256, 255, 0},
  };
  for (const auto& c : cases) {
    DocRig rig(32);
    FakeImages images;
    images.sizes["p"] = {10, 6};
    rig.doc.Images = &images;
    rig.doc.Alpha = c.doc_alpha;
    rig.doc.Parse("<IMG SRC=p>");
    TPageList pages;
    rig.doc.Layout(pages);
    auto* img = static_cast<TWdImg*>(rig.doc.Glyphs(0));
    ASSERT_EQ(img->Kind(), WK_IMG);
    img->SetAlpha(c.glyph_alpha);
    rig.doc.UpdateRect = TRect{0, 0, 64, 48};
    pages[0]->Compose();
    auto* picture = static_cast<FakePicture*>(img->Pictures.get());
    if (c.level == 0) {
      EXPECT_TRUE(picture->draws.empty()) << c.doc_alpha;
    } else {
      ASSERT_EQ(picture->draws.size(), 1u) << c.doc_alpha;
      EXPECT_EQ(picture->draws[0].level, c.level) << c.doc_alpha << "/" << c.glyph_alpha;
      EXPECT_EQ(picture->draws[0].x, img->AbsX());
    }
  }
}

TEST(DocumentDraw, NoGlyphCacheDrawsNothing) {
  DocRig rig(32);
  rig.doc.GlyphCache = nullptr;
  rig.Show("XY");
  EXPECT_TRUE(rig.InkColumns(0, 48).empty());
}

}  // namespace
}  // namespace kova::test
