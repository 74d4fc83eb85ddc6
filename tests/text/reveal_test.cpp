// Timed reveal, fades, events, links, the page state, and the glyph tree operations they use.
#include <gtest/gtest.h>

#include "core/errors.h"
#include "core/stream_records.h"
#include "support/glyph_list_writer.h"
#include "support/record_round_trip.h"
#include "text/text_test_util.h"

namespace kova {
namespace {

using test::Sj;

// A laid-out one-page document with 16-pixel cells.
struct Shown {
  explicit Shown(const std::string& text, int32_t text_delay = 256, int32_t fade = 32) {
    doc.FontSize = 16;
    doc.WrapWidth = 160;
    doc.PageHeight = 100;
    doc.Paging = 1;
    doc.TextDelay = text_delay;
    doc.FadeTime = fade;
    doc.EventsOn = 1;
    doc.EventHook = [this](TXrWord&, const std::string& v) { events.push_back(v); };
    doc.Parse(text);
    Lay();
  }
  void Lay() {
    pages.clear();
    doc.Layout(pages);
    if (!pages.empty()) page().ResetTimer();
  }
  TWdPage& page() { return *pages[0]; }
  // One frame; returns the text it revealed.
  std::string Frame(int32_t ms) {
    std::string text;
    page().Progress(ms, finished, text);
    if (finished) ++finished_count;
    return text;
  }
  std::vector<int> Alphas() {
    std::vector<int> a;
    for (int i = 0; i < doc.GlyphCount(); ++i) a.push_back(doc.Glyphs(i)->GetAlpha());
    return a;
  }
  TXrWord doc;
  TPageList pages;
  std::vector<std::string> events;
  bool finished = false;
  int finished_count = 0;
};

TEST(Reveal, GlyphsCostTheirDelayScaledByTheTextDelay) {
  Shown s("<WAIT VALUE=50>abcdefgh");
  EXPECT_EQ(s.Frame(16), "");  // the start wait
  EXPECT_EQ(s.Frame(16), "a");  // the first active frame counts no time
  EXPECT_EQ(s.Frame(120), "bc");
  EXPECT_EQ(s.Frame(120), "de");  // one character per 50 ms over the frames
  EXPECT_EQ(s.Frame(9), "");
  EXPECT_EQ(s.Frame(1), "f");  // revealed once the budget reaches 0

  Shown half("<WAIT VALUE=50>abcdefgh", 128);
  half.Frame(16);
  half.Frame(16);
  EXPECT_EQ(half.Frame(100), "bcde");
}

TEST(Reveal, TextDelayZeroRevealsThePageAtOnceAndFadesIt) {
  Shown s(Sj("あいう<BR>え"), 0, 32);
  s.Frame(16);
  EXPECT_EQ(s.Frame(16), Sj("あいうえ"));
  EXPECT_EQ(s.Alphas(), (std::vector<int>{0, 0, 0, 255, 0}));  // the line break has no alpha
  s.Frame(16);
  EXPECT_EQ(s.doc.Glyphs(0)->GetAlpha(), 128);
  EXPECT_FALSE(s.doc.DirtyRects.empty());
  EXPECT_EQ(s.finished_count, 0);
  s.Frame(16);
  EXPECT_EQ(s.doc.Glyphs(0)->GetAlpha(), 255);
  EXPECT_TRUE(s.page().IsFinished());
  EXPECT_EQ(s.page().GetText(), Sj("あいう") + "\r\n" + Sj("え"));
  for (int i = 0; i < 3; ++i) s.Frame(16);
  EXPECT_EQ(s.finished_count, 1);  // reported once only
}

TEST(Reveal, FadeTimeZeroShowsGlyphsInTheirFrame) {
  Shown s("ab", 0, 0);
  EXPECT_EQ(s.Frame(16), "ab");  // no start wait without a fade
  EXPECT_EQ(s.Alphas(), (std::vector<int>{255, 255}));
}

TEST(Reveal, NegativeDelaysCostNothing) {
  Shown s("<WAIT VALUE=-100>abc");
  s.Frame(16);
  EXPECT_EQ(s.Frame(16), "abc");
  Shown t("<WAIT VALUE=100>abc", -256);
  t.Frame(16);
  EXPECT_EQ(t.Frame(16), "abc");
  Shown huge("<WAIT VALUE=2147483647>abc", 2147483647);
  huge.Frame(16);
  EXPECT_EQ(huge.Frame(16), "a");
  EXPECT_EQ(huge.Frame(1000), "");
}

TEST(Reveal, AdjacentEventsGoToTheHookTogetherAfterTheFade) {
  Shown s("a<EVENT VALUE=x><EVENT VALUE=y>b", 0, 32);
  s.Frame(16);
  EXPECT_EQ(s.Frame(16), "a");  // stops after the second event
  EXPECT_TRUE(s.events.empty());
  EXPECT_EQ(s.Frame(16), "");  // waits for the events to be handed
  EXPECT_TRUE(s.events.empty());
  s.Frame(16);
  EXPECT_EQ(s.events, (std::vector<std::string>{"x", "y"}));
  EXPECT_EQ(s.Frame(16), "b");
  EXPECT_EQ(s.doc.Glyphs(3)->GetAlpha(), 0);  // that frame's time was not counted

  Shown off("a<EVENT VALUE=x>b", 0, 32);
  off.doc.EventsOn = 0;
  off.Frame(16);
  EXPECT_EQ(off.Frame(16), "ab");
  for (int i = 0; i < 4; ++i) off.Frame(16);
  EXPECT_TRUE(off.events.empty());
}

// Operators join the fading list like every revealed glyph, so an event that opens the page waits
// for the first fade step, one frame after its reveal.
TEST(Reveal, AnEventAtThePageStartIsHandedOutAfterTheFirstFadeStep) {
  Shown s("<EVENT VALUE=x>ab", 0, 32);
  s.Frame(16);                 // the start wait
  EXPECT_EQ(s.Frame(16), "");  // the event is revealed; the first active frame counts no time
  EXPECT_TRUE(s.events.empty());
  s.Frame(16);
  EXPECT_EQ(s.events, (std::vector<std::string>{"x"}));
  EXPECT_EQ(s.Frame(16), "ab");

  Shown no_fade("<EVENT VALUE=x>ab", 0, 0);  // without a fade the step is whole at once
  EXPECT_EQ(no_fade.Frame(16), "");
  EXPECT_EQ(no_fade.events, (std::vector<std::string>{"x"}));
}

TEST(Reveal, EndOfEventStopsOnlyWhenStored) {
  // Parsed END: a 0x01 before the value and no stop, so the next event joins the same frame.
  Shown parsed("a<EVENT VALUE=go END><EVENT VALUE=on>b", 0, 0);
  EXPECT_EQ(parsed.Frame(16), "a");
  EXPECT_EQ(parsed.events, (std::vector<std::string>{"\x01" "go", "on"}));
  EXPECT_EQ(parsed.Frame(16), "b");

  test::GlyphListWriter w(102);
  w.Decorate({}).Char('a', 0).Event("\x01" "stop").Event("next").Char('b', 0);
  const auto bytes = w.Bytes();
  Shown stored("", 0, 0);
  TMemoryStream in{std::span<const uint8_t>(bytes)};
  stored.doc.LoadFromStream(in);
  stored.Lay();
  EXPECT_EQ(stored.Frame(16), "a");
  EXPECT_EQ(stored.events, (std::vector<std::string>{"stop"}));
  stored.Frame(16);
  EXPECT_EQ(stored.events, (std::vector<std::string>{"stop", "next"}));
  EXPECT_EQ(stored.Frame(16), "b");
}

TEST(Reveal, PausingStopsRevealsButNotFades) {
  Shown s("<WAIT VALUE=50>abc", 256, 32);
  s.Frame(16);
  s.Frame(16);
  s.doc.Paused = 1;
  EXPECT_TRUE(s.page().IsPlaying());  // still fading
  EXPECT_EQ(s.Frame(200), "");
  EXPECT_EQ(s.doc.Glyphs(0)->GetAlpha(), 255);
  EXPECT_FALSE(s.page().IsPlaying());
  s.doc.Paused = 0;
  EXPECT_EQ(s.Frame(50), "b");
}

TEST(Reveal, NonPagingPageWaitsForRoom) {
  Shown s(Sj("あ<BR>い<BR>う"), 0, 0);
  s.doc.Paging = 0;
  s.doc.PageHeight = 20;
  s.Lay();
  s.Frame(16);
  EXPECT_EQ(s.page().RowIndex, 2);  // rows below the page wait
  EXPECT_FALSE(s.page().IsPlaying());
  s.page().ScrollTop = 27;
  EXPECT_FALSE(s.page().IsPlaying());
  s.page().ScrollTop = 28;  // the owner scrolls until the next row fits
  EXPECT_TRUE(s.page().IsPlaying());
  EXPECT_EQ(s.Frame(16), Sj("う"));
  EXPECT_EQ(s.doc.Caret, (TPoint{16, 32 - 28}));
}

TEST(Links, HoverMarksTheWholeRunAndMovesOn) {
  Shown s("x<A HREF=one>ab</A><A HREF=two>cd</A>", 0, 0);
  s.doc.OriginX = 100;
  s.doc.OriginY = 50;
  s.Frame(16);
  TWdPage& page = s.page();
  page.LinkAt(100 + 16 * 2 + 3, 50 + 5);  // over "b"
  EXPECT_EQ(page.Hovered, s.doc.Glyphs(1));
  EXPECT_EQ(page.GetLinkText(), "ab");
  std::vector<int> hover;
  for (int i = 0; i < 5; ++i) hover.push_back(s.doc.Glyphs(i)->GetHover());
  EXPECT_EQ(hover, (std::vector<int>{0, 1, 1, 0, 0}));
  page.LinkAt(100 + 16 * 3 + 1, 50 + 1);  // over "c"
  hover.clear();
  for (int i = 0; i < 5; ++i) hover.push_back(s.doc.Glyphs(i)->GetHover());
  EXPECT_EQ(hover, (std::vector<int>{0, 0, 0, 1, 1}));
  EXPECT_EQ(page.GetLinkText(), "cd");
  page.LinkAt(100 + 1, 50 + 1);  // plain text
  EXPECT_EQ(page.Hovered, nullptr);
  EXPECT_EQ(page.GetLinkText(), "");
  page.LinkAt(-1, -1);
  EXPECT_EQ(page.GlyphAt(100 + 160, 50), nullptr);  // outside the page
}

TEST(PageState, RoundTripsAndRefusesIndexesThatDoNotFit) {
  Shown s("<WAIT VALUE=50>abcdef<IMG SRC=p>", 256, 32);
  s.Frame(16);
  s.Frame(16);
  s.Frame(60);  // "a" fading, "b" fading, "c" revealed
  TMemoryStream state;
  s.page().SaveState(state);

  Shown back("<WAIT VALUE=50>abcdef<IMG SRC=p>", 256, 32);
  state.SetPosition(0);
  back.page().LoadState(state);
  EXPECT_EQ(back.page().RowIndex, s.page().RowIndex);
  EXPECT_EQ(back.page().GlyphIndex, s.page().GlyphIndex);
  EXPECT_EQ(back.doc.Glyphs(0)->GetAlpha(), 255);  // fading glyphs are saved shown
  EXPECT_EQ(back.doc.Glyphs(5)->GetAlpha(), 0);

  for (int32_t bad_row : {-1, 5}) {
    test::LeWriter w;
    w.I32(0).I32(bad_row).I32(0).U8(0).Str("");
    for (int i = 0; i < 7; ++i) w.I32(255);
    TMemoryStream in{std::span<const uint8_t>(w.Bytes())};
    back.page().LoadState(in);
    EXPECT_EQ(back.page().RowIndex, 0) << bad_row;
    EXPECT_EQ(back.page().GlyphIndex, 0) << bad_row;
  }
  test::LeWriter bad_glyph;
  bad_glyph.I32(0).I32(0).I32(99).U8(0).Str("");
  for (int i = 0; i < 7; ++i) bad_glyph.I32(255);
  TMemoryStream in{std::span<const uint8_t>(bad_glyph.Bytes())};
  back.page().LoadState(in);
  EXPECT_EQ(back.page().GlyphIndex, 0);
  TMemoryStream cut{std::span<const uint8_t>(bad_glyph.Truncated(20))};
  EXPECT_THROW(back.page().LoadState(cut), EReadError);
}

TEST(PageState, BothWaysAgainstGoldenBytes) {
  // The page's fields, then the alphas of "abcdef" and the picture; the first three shown.
  test::LeWriter w;
  w.I32(0).I32(0).I32(3).U8(1).Str("e\tf");
  for (int32_t alpha : {255, 255, 255, 0, 0, 0, 0}) w.I32(alpha);
  Shown back("<WAIT VALUE=50>abcdef<IMG SRC=p>", 256, 32);
  test::ExpectRecordRoundTrip(
      w.Bytes(), [&](TStream& in) { back.page().LoadState(in); }, [&](TStream& out) { back.page().SaveState(out); });
  EXPECT_EQ(back.page().GlyphIndex, 3);
  EXPECT_EQ(back.page().EventText, "e\tf");
}

TEST(GlyphTree, ListAndAlphaBounds) {
  TXrWord doc;
  doc.Parse("ab");
  TPageList pages;
  doc.Layout(pages);
  const TWdRow& row = *pages[0]->Row(0);
  EXPECT_EQ(row.Items(-1), nullptr);
  EXPECT_EQ(row.Items(row.Count()), nullptr);
  EXPECT_EQ(doc.Glyphs(-1), nullptr);
  EXPECT_EQ(doc.Glyphs(2), nullptr);
  doc.Glyphs(0)->SetAlpha(300);
  EXPECT_EQ(doc.Glyphs(0)->GetAlpha(), 255);
  doc.Glyphs(0)->SetAlpha(-5);
  EXPECT_EQ(doc.Glyphs(0)->GetAlpha(), 0);
  EXPECT_EQ(doc.Glyphs(1)->GetPage(), pages[0].get());
  for (int kind : {1, 2, 3, 4, 5, 6, 7, 9, 0x81}) EXPECT_EQ(doc.CreateGlyph(kind)->Kind(), kind & 0x7F) << kind;
  for (int kind : {0, 8, 10, 0x7F}) EXPECT_EQ(doc.CreateGlyph(kind), nullptr) << kind;
}

TEST(GlyphTree, VarExpansionKeepsTextPositions) {
  struct Script : TTextScriptPort {
    int32_t TextDelay() const override { return 50; }
    std::optional<std::string> VariableText(std::string_view name) override {
      if (name == "live") return std::string("L\x01M");
      return std::nullopt;
    }
    std::optional<std::string> ExpressionText(TKovaParser&) override { return std::nullopt; }
  } script;
  TXrWord doc;
  doc.Script = &script;
  doc.Parse("<FONT SIZE=30>x<VAR NAME=v></FONT>y<VAR NAME=live><VAR NAME=none>z");
  const TWdGlyph* y = doc.Glyphs(2);
  const TWdGlyph* z = doc.Glyphs(5);
  const int y_pos = doc.CharPos(y), z_pos = doc.CharPos(z);
  doc.VarValues.Add("v=A\rB");
  doc.ExpandVars();
  ASSERT_EQ(doc.GlyphCount(), 9);
  EXPECT_EQ(doc.Glyphs(2)->Kind(), WK_CHAR);
  EXPECT_EQ(doc.Glyphs(2)->GetSize(), 30);  // the VAR's style
  EXPECT_EQ(doc.Glyphs(3)->Kind(), WK_RETURN);
  EXPECT_EQ(doc.CharPos(y), y_pos);
  EXPECT_EQ(doc.CharPos(z), z_pos);
  for (int i = 0; i < doc.GlyphCount(); ++i) {
    const TWdGlyph* g = doc.Glyphs(i);
    if (g->IsTextPos()) {
      EXPECT_EQ(doc.GlyphIndexAtTextPos(doc.CharPos(g)), i);
    }
  }
  TStringList vars;
  for (int i = 0; i < doc.GlyphCount(); ++i) doc.Glyphs(i)->CollectVars(vars);
  ASSERT_EQ(vars.Count(), 3);  // "live" took its value from the list, which has no line for it
  EXPECT_EQ(vars[0], "v=A\x01" "B");
  EXPECT_EQ(vars[1], "live=");
  doc.CollapseVars();
  EXPECT_EQ(doc.GlyphCount(), 6);

  doc.VarValues.Clear();  // the live variable: 0x01 is a line break there too
  doc.ExpandVars();
  ASSERT_EQ(doc.GlyphCount(), 9);
  EXPECT_EQ(doc.Glyphs(4)->Kind(), WK_CHAR);
  EXPECT_EQ(doc.Glyphs(5)->Kind(), WK_RETURN);
  doc.ExpandVars();  // again: the old glyphs go first
  EXPECT_EQ(doc.GlyphCount(), 9);
  TPageList pages;
  doc.Layout(pages);
  pages[0]->StoreVarValues();
  EXPECT_EQ(pages[0]->VarSnapshot, "v=\r\nlive=L\x01M\r\nnone=\r\n");
}

TEST(GlyphTree, CopiedGlyphsKeepTheirStyleInTheNewDocument) {
  TXrWord from;
  from.Parse("<FONT COLOR=#00FF00>ab</FONT><BR CLEAR><IMG SRC=p ALIGN=CENTER><EVENT VALUE=e>");
  TXrWord to;
  to.CopyGlyphs(from, 1, -1);
  ASSERT_EQ(to.GlyphCount(), 4);
  EXPECT_EQ(to.Glyphs(0)->GetColor(), 0x00FF00);
  EXPECT_NE(dynamic_cast<TWdChar*>(to.Glyphs(0))->Decoration, dynamic_cast<TWdChar*>(from.Glyphs(1))->Decoration);
  EXPECT_EQ(to.Glyphs(1)->GetClear(), 1);
  EXPECT_EQ(to.Glyphs(2)->GetAlign(), WA_CENTER);
  EXPECT_EQ(to.Glyphs(3)->GetValue(), "e");
  EXPECT_EQ(to.Decorations().Count(), 1);
}

TEST(GlyphTree, PicturesAnimateAndSuspend) {
  test::FakeImages images;
  images.sizes["anim"] = {8, 8, 3};
  Shown s("a<IMG SRC=anim>", 0, 0);
  s.doc.Images = &images;
  s.Lay();
  s.Frame(16);
  EXPECT_EQ(s.Frame(16), "");
  auto& img = dynamic_cast<TWdImg&>(*s.doc.Glyphs(1));
  auto* pic = static_cast<test::FakePicture*>(img.Pictures.get());
  EXPECT_EQ(pic->steps, 16);
  s.doc.SuspendImages();
  EXPECT_TRUE(pic->suspended);
  s.doc.ResumeImages();
  EXPECT_FALSE(pic->suspended);
}

}  // namespace
}  // namespace kova

namespace kova {
namespace {

TEST(GlyphTree, PagesLetGoOfGlyphsTheDocumentFrees) {
  TXrWord doc;
  doc.VarValues.Add("v=xyz");
  doc.PageHeight = 100;
  doc.Parse("a<A HREF=l>b</A><VAR NAME=v>c");
  doc.ExpandVars();
  TPageList pages;
  doc.Layout(pages);
  doc.TextDelay = 0;
  doc.FadeTime = 0;
  pages[0]->ResetTimer();
  bool finished;
  std::string text;
  pages[0]->Progress(16, finished, text);
  pages[0]->LinkAt(12 + 2, 2);
  ASSERT_NE(pages[0]->Hovered, nullptr);
  doc.CollapseVars();
  EXPECT_EQ(pages[0]->Row(0)->Count(), 4);
  doc.Parse("new text");  // the old page is emptied, not left pointing at freed glyphs
  EXPECT_EQ(pages[0]->Row(0)->Count(), 0);
  EXPECT_EQ(pages[0]->Hovered, nullptr);
  pages[0]->Progress(16, finished, text);
  pages.clear();
  doc.Layout(pages);
  auto early = std::make_unique<TXrWord>();
  early->Parse("gone first");
  TPageList orphans;
  early->Layout(orphans);
  early.reset();  // pages may outlive their document; they only need freeing then
  EXPECT_EQ(orphans[0]->Row(0)->Count(), 0);
}

}  // namespace
}  // namespace kova
