// Layout: break rules, alignment, indent, pictures, floats, paging and the automatic width.
#include <gtest/gtest.h>

#include "support/glyph_list_writer.h"
#include "text/layout.h"
#include "text/text_test_util.h"

namespace kova {
namespace {

using test::PagedRows;
using test::Sj;

struct LayoutCase {
  const char* what;
  std::string text;
  int32_t wrap;
  std::vector<std::string> rows;
};

// 16-pixel square cells, no line spacing, no paging.
TEST(Layout, BreakTable) {
  const std::vector<LayoutCase> cases = {
      {"a full stop never starts a row", Sj("あいう。"), 48, {Sj("あい"), Sj("う。")}},
      {"closing brackets stay with the text", Sj("あいう」え"), 48, {Sj("あい"), Sj("う」え")}},
      {"an opening bracket goes with the next character", Sj("あい「う"), 48, {Sj("あい"), Sj("「う")}},
      {"words of single-byte letters are never split", "ab cd ef", 70, {"ab ", "cd ", "ef"}},
      {"a long word overflows its own row", "abcdefgh ij", 48, {"abcdefgh ", "ij"}},
      {"NOBR text stays on one row", Sj("あ<NOBR>いうえ</NOBR>お"), 48, {Sj("あ"), Sj("いうえ"), Sj("お")}},
      {"one ruby run stays on one row", Sj("あ<RUBY VALUE=るび>いうえ</RUBY>"), 48, {Sj("あ"), Sj("いうえ")}},
      {"Japanese and English mixed", Sj("今日はfine day。"), 96, {Sj("今日は"), "fine ", "day" + Sj("。")}},
      {"English after Japanese on one row", Sj("今日はfine"), 112, {Sj("今日は") + "fine"}},
      {"line breaks end rows", Sj("あ<BR>い<BR><BR>う"), 0, {Sj("あ"), Sj("い"), "", Sj("う")}},
      {"no wrap width: rows never wrap", Sj("あいうえおかきくけこ"), 0, {Sj("あいうえおかきくけこ")}},
  };
  for (const auto& c : cases) {
    TXrWord doc;
    doc.FontSize = 16;
    doc.WrapWidth = c.wrap;
    doc.Parse(c.text);
    TPageList pages;
    doc.Layout(pages);
    std::vector<std::string> rows = PagedRows(pages);
    for (auto& r : rows) {  // line breaks have no character text
      r.erase(std::remove(r.begin(), r.end(), '\0'), r.end());
    }
    EXPECT_EQ(rows, c.rows) << c.what;
  }
}

TEST(Layout, BreakRulesOfTheNamedCharacterSets) {
  TXrWord doc;
  doc.Parse(Sj("あ。、｣」』)）､｡!?！？】「｢『（([<【"));
  const TWdGlyph* kana = doc.Glyphs(0);
  for (int i = 1; i <= 14; ++i) EXPECT_FALSE(CanBreakBefore(*doc.Glyphs(i), kana)) << i;
  for (int i = 15; i < doc.GlyphCount(); ++i) {
    EXPECT_TRUE(CanBreakBefore(*doc.Glyphs(i), kana)) << i;
    EXPECT_FALSE(CanBreakAfter(*doc.Glyphs(i))) << i;
  }
  EXPECT_TRUE(CanBreakAfter(*kana));
}

TEST(Layout, CellsRowsAndAlignment) {
  TXrWord doc;
  doc.FontSize = 16;
  doc.WrapWidth = 100;
  doc.LineSpace = 4;
  doc.Parse(Sj("<DIV ALIGN=CENTER>あい</DIV><BR><DIV ALIGN=RIGHT>う</DIV><BR><I>え</I>"
               "<FONT SIZE=20 BORDER=2 SHADOW=3>お</FONT><RUBY VALUE=x>か</RUBY>"));
  TPageList pages;
  doc.Layout(pages);
  ASSERT_EQ(pages.size(), 1u);
  const TWdPage& page = *pages[0];
  ASSERT_EQ(page.RowCount(), 3);
  EXPECT_EQ(page.Row(0)->Items(0)->X, 34);  // (100 - 32) / 2
  EXPECT_EQ(page.Row(1)->Items(0)->X, 84);
  EXPECT_EQ(page.Row(1)->Y, 20);           // 16 + line spacing
  const TWdRow& row = *page.Row(2);
  EXPECT_EQ(row.Items(0)->W, 16 + 3);      // italic: size / 5 more
  EXPECT_EQ(row.Items(1)->W, 20 + 4 + 3);  // border on both sides, shadow once
  EXPECT_EQ(row.Items(1)->H, 20 + 4 + 3);
  EXPECT_EQ(row.Items(2)->H, 16 + 8);      // the ruby band
  EXPECT_EQ(row.H, 27);
  EXPECT_EQ(row.Items(0)->Y, 27 - 16);     // characters sit on the row's bottom
  EXPECT_EQ(page.H, row.Y + 27);
}

TEST(Layout, InlinePicturesAndEmptyLines) {
  test::FakeImages images;
  images.sizes["top"] = {10, 40};
  images.sizes["mid"] = {10, 30};
  TXrWord doc;
  doc.Images = &images;
  doc.FontSize = 16;
  doc.Parse(Sj("あ<IMG SRC=top ALIGN=TOP><BR>い<IMG SRC=mid ALIGN=CENTER><IMG SRC=gone><BR><BR>x<INDENT><BR><BR>"));
  TPageList pages;
  doc.Layout(pages);
  const TWdPage& page = *pages[0];
  ASSERT_EQ(page.RowCount(), 5);
  const TWdRow& top = *page.Row(0);
  EXPECT_EQ(top.H, 16 + 24);
  EXPECT_EQ(top.Below, 24);
  EXPECT_EQ(top.Items(1)->Y, 0);   // the picture's top on the row's top
  EXPECT_EQ(top.Items(0)->Y, 0);   // the text line above the room below
  const TWdRow& mid = *page.Row(1);
  EXPECT_EQ(mid.Above, 7);         // (30 - 16 + 1) / 2
  EXPECT_EQ(mid.Below, 7);
  EXPECT_EQ(mid.Items(1)->Y, (16 - 30) / 2 + 7);
  EXPECT_EQ(mid.Items(2)->W, 0);   // a missing picture takes no room
  EXPECT_EQ(page.Row(2)->H, 16);   // an empty line is as tall as the font
  EXPECT_EQ(page.Row(4)->H, 16);   // also under an indent
  EXPECT_EQ(page.Row(4)->Items(0)->W, 16);
}

// An empty line pushes the rows after it down by the font size (and the line spacing).
TEST(Layout, EmptyLinesMoveTheNextRowDown) {
  struct Case {
    const char* what;
    const char* text;
    int32_t line_space;
    std::vector<int32_t> row_y;
  };
  const std::vector<Case> cases = {
      {"one break", "A<BR>B", 0, {0, 16}},
      {"an empty line between", "A<BR><BR>B", 0, {0, 16, 32}},
      {"two empty lines", "A<BR><BR><BR>B", 0, {0, 16, 32, 48}},
      {"with line spacing", "A<BR><BR>B", 4, {0, 20, 40}},
      {"at the very start", "<BR>B", 0, {0, 16}},
      {"under an indent", "x<INDENT><BR><BR>y", 0, {0, 16, 32}},
  };
  for (const auto& c : cases) {
    TXrWord doc;
    doc.FontSize = 16;
    doc.LineSpace = c.line_space;
    doc.Parse(c.text);
    TPageList pages;
    doc.Layout(pages);
    ASSERT_EQ(pages.size(), 1u) << c.what;
    std::vector<int32_t> ys;
    for (int r = 0; r < pages[0]->RowCount(); ++r) ys.push_back(pages[0]->Row(r)->Y);
    EXPECT_EQ(ys, c.row_y) << c.what;
  }
}

TEST(Layout, EmptyLinesCountTowardsThePageHeight) {
  TXrWord doc;
  doc.FontSize = 16;
  doc.Paging = 1;
  doc.PageHeight = 40;
  doc.Parse("A<BR><BR>B");  // B's row would end at 48
  TPageList pages;
  doc.Layout(pages);
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_EQ(pages[0]->RowCount(), 2);
  EXPECT_EQ(PagedRows(pages).back(), "B");
}

TEST(Layout, IndentAndUndent) {
  TXrWord doc;
  doc.FontSize = 16;
  doc.WrapWidth = 64;
  doc.Parse(Sj("あ<INDENT>いうえおか<UNDENT><BR>き"));
  TPageList pages;
  doc.Layout(pages);
  const auto rows = test::RowTexts(*pages[0]);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[1], Sj("おか"));
  EXPECT_EQ(pages[0]->Row(1)->Items(0)->W, 16);  // the indent space
  EXPECT_EQ(pages[0]->Row(1)->Items(1)->X, 16);
  EXPECT_EQ(pages[0]->Row(2)->Items(0)->X, 0);
}

TEST(Layout, Paging) {
  TXrWord doc;
  doc.FontSize = 16;
  doc.WrapWidth = 32;
  doc.PageHeight = 40;
  doc.Paging = 1;
  doc.Parse(Sj("あいうえおか<CLEAR>き<FONT SIZE=90>く</FONT>"));
  TPageList pages;
  doc.Layout(pages);
  EXPECT_EQ(PagedRows(pages), (std::vector<std::string>{Sj("あい"), Sj("うえ"), "|", Sj("おか"), "|", Sj("き"), "|",
                                                          Sj("く")}));
  // The first row of a page stays, however tall.
  EXPECT_EQ(pages[3]->H, 90);
}

TEST(Layout, AutomaticWidthAlignsToTheWidestRow) {
  TXrWord doc;
  doc.FontSize = 16;
  doc.Parse(Sj("<DIV ALIGN=RIGHT>あ<BR></DIV>あいう"));
  TPageList pages;
  doc.Layout(pages);
  EXPECT_EQ(doc.WrapWidth, 48);
  EXPECT_EQ(pages[0]->Row(0)->Items(0)->X, 32);
}

TEST(Layout, LayingOutAgainKeepsEarlierPages) {
  TXrWord doc;
  doc.FontSize = 16;
  doc.WrapWidth = 100;
  doc.Parse(Sj("<DIV ALIGN=CENTER>あい<BR>う</DIV>"));
  TPageList pages;
  doc.Layout(pages, 0, 3);  // text positions 0..3: the DIV, two characters, the line break
  ASSERT_EQ(pages.size(), 1u);
  const int32_t x = pages[0]->Row(0)->Items(0)->X, w = pages[0]->Row(0)->W;
  doc.Layout(pages, 4);
  ASSERT_EQ(pages.size(), 2u);
  EXPECT_EQ(pages[0]->Row(0)->Items(0)->X, x);
  EXPECT_EQ(pages[0]->Row(0)->W, w);
}

TEST(Layout, FloatsNarrowTheRowsBesideThem) {
  test::FakeImages images;
  images.sizes["f"] = {30, 40};
  images.sizes["tall"] = {10, 500};
  test::GlyphListWriter w(102);
  w.Decorate({});
  w.Img("f", WA_LEFT).Img("f", WA_RIGHT);
  for (int i = 0; i < 6; ++i) w.Char('a' + i, 0).Char(' ', 0);
  w.Img("tall", WA_LEFT).Char('z', 0);
  TXrWord doc;
  doc.Images = &images;
  doc.FontSize = 16;
  doc.WrapWidth = 100;
  doc.PageHeight = 200;
  doc.Paging = 1;
  const auto bytes = w.Bytes();
  TMemoryStream s{std::span<const uint8_t>(bytes)};
  doc.LoadFromStream(s);
  TPageList pages;
  doc.Layout(pages);
  const TWdRow& first = *pages[0]->Row(0);
  EXPECT_EQ(first.RowLeft, 30);
  EXPECT_EQ(first.RowRight, 70);
  EXPECT_EQ(first.Items(0)->X, 0);
  EXPECT_EQ(first.Items(1)->X, 70);
  EXPECT_EQ(first.Items(2)->X, 30);  // text starts beside the left float
  EXPECT_EQ(first.H, 16);             // floats do not make the row taller
  // Rows below the floats have the whole width again.
  const TWdRow& below = *pages[0]->Row(pages[0]->RowCount() - 1);
  EXPECT_EQ(below.RowLeft, 0);
  EXPECT_EQ(below.Y, 48);
  EXPECT_EQ(below.CharText(), "d e f ");
  // A float taller than the page stands alone on its page.
  const TWdPage& last = *pages.back();
  EXPECT_EQ(last.Row(0)->Items(0)->H, 500);
  EXPECT_GE(last.H, 500);
}

TEST(Layout, OverwideRunsAndEmptyInput) {
  TXrWord doc;
  doc.FontSize = 16;
  doc.WrapWidth = 40;
  doc.Parse(Sj("あい<INDENT><NOBR>うえおかきくけこ</NOBR>さ"));
  TPageList pages;
  doc.Layout(pages);  // the run is wider than the room beside the indent: it overflows its row
  EXPECT_EQ(test::RowTexts(*pages[0]), (std::vector<std::string>{Sj("あい"), Sj("うえおかきくけこ"), Sj("さ")}));
  TXrWord empty;
  TPageList none;
  empty.Layout(none);
  EXPECT_TRUE(none.empty());
  EXPECT_EQ(empty.WrapWidth, 0);
}

}  // namespace
}  // namespace kova
