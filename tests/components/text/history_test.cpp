// The message history and the read marks on a real scene: notes committed in the new form
// (pages laid out again and grouped by the history's page height) and in the legacy form, the
// limit, the silent failures, the compiled text the history keeps across pages read anew, the
// message data's caches, and the stored forms of the history, the message data and the read marks
// against records written byte by byte here.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "components/scene/kova_base_list.h"
#include "components/text/kova_history.h"
#include "components/text/kova_mes_data.h"
#include "components/text/kova_read_marks.h"
#include "core/errors.h"
#include "core/stream_records.h"
#include "core/vocabulary.h"
#include "support/frame_driver.h"
#include "support/glyph_list_writer.h"
#include "support/le_writer.h"

namespace kova {
namespace {

using test::FrameDriver;
using test::GlyphListWriter;
using test::LeWriter;
using test::NoResult;
using test::PageWriter;
using test::S;
using test::Value;

// A compiled text of `rows` rows of `chars` letters each, in the document's own size.
std::string RowsText(int rows, int chars = 3) {
  GlyphListWriter w(kGlyphListVersion);
  w.Decorate({});
  for (int r = 0; r < rows; ++r) {
    for (int k = 0; k < chars; ++k) w.Char('A', 0);
    if (r + 1 < rows) w.Return();
  }
  const std::vector<uint8_t> b = w.Bytes();
  return std::string(b.begin(), b.end());
}

// A page whose command i shows a text of rows[i] rows.
PageWriter TextPage(const std::vector<int>& rows) {
  PageWriter page;
  for (int n : rows) page.TextIns(RowsText(n), Value(S("mes")), NoResult(), NoResult());
  return page;
}

std::vector<uint8_t> Saved(const auto& object) {
  TMemoryStream out;
  object.SaveToStream(out);
  return {out.Bytes().begin(), out.Bytes().end()};
}

class HistoryTest : public ::testing::Test {
 protected:
  HistoryTest() : d(true), history(*d.session.SceneRoot().History()) {
    window = d.session.Ports().scene.CreateComponent(KT_BOX, "mes", "");
    window->SetWidth(320);
    window->SetHeight(120);
  }
  // The history layout: 16-pixel text, wrap width 200, line space 4 (rows 20 pixels apart).
  void NewForm(int32_t page_height) { d.store.Globals.HistFormat = {16, 0, 0, 200, page_height, 4}; }
  void Show(const std::string& page, int32_t command, int32_t page_index = 0, std::string_view mes = "mes") {
    history.Note(*window, page, "", page_index, -1, 0, command);
    history.Commit(mes);
  }
  std::vector<int32_t> EntryHeights() const {
    std::vector<int32_t> out;
    for (int32_t i = 0; i < history.Entries.Count(); ++i) out.push_back(history.Entries.Items(i).TotalHeight);
    return out;
  }

  FrameDriver d;
  TKovaNewHistory& history;
  TKovaObject* window = nullptr;
};

// ---- The segments ----

TEST(HistDataTest, NamesAreStoredOncePerRunOfOneFile) {
  TKovaHistData data;
  data.AddText("a.ksb", 1, "x=1", 20, -1, 0);
  data.AddText("A.KSB", 2, "", 30, 9, 4);
  data.AddText("b.ksb", 3, "", 5, -1, 0);
  data.AddText("a.ksb", 4, "", 5, -1, 0);
  EXPECT_EQ(data.PageFile, (std::vector<std::string>{"a.ksb", "", "b.ksb", "a.ksb"}));
  EXPECT_EQ(data.PageFileAt(1), "a.ksb");
  EXPECT_EQ(data.PageFileAt(4), "");
  EXPECT_EQ(data.TotalHeight, 60);
  EXPECT_EQ(data.First[1], 4);
  EXPECT_EQ(data.Last[1], 9);

  // The legacy list keeps a run's name when the entry that held it is trimmed away.
  THistoryOldDataList legacy;
  legacy.Add("a.ksb", 1, 0, {320, 120});
  legacy.Add("a.ksb", 2, 1, {320, 120});
  legacy.Add("a.ksb", 3, 0, {320, 120});
  EXPECT_EQ(legacy.Items(1).PageFile, "");
  legacy.DeleteFirst();
  EXPECT_EQ(legacy.PageFileAt(0), "a.ksb");
  EXPECT_EQ(legacy.PageFileAt(1), "a.ksb");
  legacy.Add("A.ksb", 4, 0, {320, 120});
  EXPECT_EQ(legacy.Items(2).PageFile, "");
}

// ---- Note and commit ----

TEST_F(HistoryTest, NewFormGroupsLaidOutPagesByThePageHeight) {
  d.AddPage("t.ksb", TextPage({1, 5, 1, 1}));
  NewForm(50);
  // One row: 16 + 4. Two short texts share an entry; a third overflows into a new one.
  Show("t.ksb", 0);
  Show("t.ksb", 2);
  Show("t.ksb", 3);
  EXPECT_EQ(EntryHeights(), (std::vector<int32_t>{40, 20}));
  EXPECT_EQ(history.Entries.Items(0).PageFile, (std::vector<std::string>{"t.ksb", ""}));
  EXPECT_EQ(history.GetCount(), 60);
  EXPECT_EQ(history.EntryCount(), 2);
  EXPECT_TRUE(history.PageFile.empty());

  // Five rows lay out as pages of two, two and one rows; each page is a segment with the text
  // positions of its first and last glyph (3 letters and a line break per row).
  history.Clear();
  Show("t.ksb", 1);
  ASSERT_EQ(EntryHeights(), (std::vector<int32_t>{40, 40, 20}));
  std::vector<int32_t> firsts, lasts;
  for (int32_t i = 0; i < 3; ++i) {
    firsts.push_back(history.Entries.Items(i).First[0]);
    lasts.push_back(history.Entries.Items(i).Last[0]);
  }
  EXPECT_EQ(firsts, (std::vector<int32_t>{0, 8, 16}));
  EXPECT_EQ(lasts, (std::vector<int32_t>{7, 15, 18}));

  // A page taller than the page height is an entry of its own, and so is the next one.
  history.Clear();
  NewForm(10);
  Show("t.ksb", 0);
  Show("t.ksb", 0);
  EXPECT_EQ(EntryHeights(), (std::vector<int32_t>{20, 20}));
}

TEST_F(HistoryTest, TheLayoutFollowsTheSettingsOnlyWhileTheHistoryIsEmpty) {
  d.AddPage("t.ksb", TextPage({1}));
  NewForm(100);
  Show("t.ksb", 0);
  d.store.Globals.HistFormat = {32, 1, 2, 400, 300, 8};
  Show("t.ksb", 0);
  EXPECT_EQ(history.Word.FontSize, 16);
  EXPECT_EQ(EntryHeights(), (std::vector<int32_t>{40}));
  history.Clear();
  Show("t.ksb", 0);
  EXPECT_EQ(history.Word.FontSize, 32);
  EXPECT_EQ(history.Word.PageHeight, 300);
  EXPECT_EQ(EntryHeights(), (std::vector<int32_t>{32 + 8}));
}

TEST_F(HistoryTest, TheLimitDropsTheOldestEntriesInBothForms) {
  d.AddPage("t.ksb", TextPage({1, 1, 1, 1, 1}));
  struct Case {
    bool new_form;
    int32_t limit;
    std::vector<int32_t> kept;  // command indices of the entries left
  };
  const std::vector<Case> cases = {
      {true, 3, {2, 3, 4}}, {true, 0, {0, 1, 2, 3, 4}}, {true, -1, {0, 1, 2, 3, 4}},
      {false, 3, {2, 3, 4}}, {false, 0, {0, 1, 2, 3, 4}}, {false, -2, {0, 1, 2, 3, 4}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.new_form) + " " + std::to_string(c.limit));
    history.Reset();
    if (c.new_form) {
      NewForm(10);  // one entry per text
    } else {
      d.store.Globals.HistFormat = {};
    }
    history.Limit = c.limit;
    for (int32_t i = 0; i < 5; ++i) Show("t.ksb", i, i);
    std::vector<int32_t> kept;
    for (int32_t i = 0; i < history.EntryCount(); ++i) {
      kept.push_back(c.new_form ? history.Entries.Items(i).CommandIndex[0] : history.LegacyEntries.Items(i).CommandIndex);
    }
    EXPECT_EQ(kept, c.kept);
    if (!c.new_form) {
      // The first entry left names its file, the window size and the page index were noted.
      EXPECT_EQ(history.LegacyEntries.Items(0).PageFile, "t.ksb");
      EXPECT_EQ(history.LegacyEntries.Items(0).Size, (TPoint{320, 120}));
      EXPECT_EQ(history.LegacyEntries.Items(0).PageIndex, c.kept[0]);
      EXPECT_EQ(history.GetCount(), int32_t(c.kept.size()));
    }
  }
}

// What a commit does with a note it cannot lay out, or that is not its window's.
TEST_F(HistoryTest, CommitsThatAddNothing) {
  PageWriter page = TextPage({1});
  page.Comment("not a text");
  d.AddPage("t.ksb", page);
  NewForm(100);
  struct Case {
    const char* what;
    std::string page;
    int32_t command;
    std::string committer;
    bool stays_pending;
  };
  const std::vector<Case> cases = {
      {"a page file that does not exist", "gone.ksb", 0, "mes", false},
      {"a command index past the page", "t.ksb", 2, "mes", true},
      {"a negative command index", "t.ksb", -1, "mes", true},
      {"a command of another kind", "t.ksb", 1, "mes", true},
      {"another window's commit", "t.ksb", 0, "other", true},
      {"the window's name in another case", "t.ksb", 0, "MES", true},
  };
  for (const Case& c : cases) {
    history.Clear();
    history.Note(*window, c.page, "", 0, -1, 0, c.command);
    history.Commit(c.committer);
    EXPECT_EQ(history.Entries.Count(), 0) << c.what;
    EXPECT_EQ(history.PageFile.empty(), !c.stays_pending) << c.what;
  }
  history.Clear();
  history.Commit("mes");  // nothing pending
  EXPECT_EQ(history.Entries.Count(), 0);
}

// The same page shown twice is in the history twice; the pending note is committed only once.
TEST_F(HistoryTest, APageShownTwiceIsAddedTwice) {
  d.AddPage("t.ksb", TextPage({1}));
  NewForm(100);
  Show("t.ksb", 0);
  history.Commit("mes");
  Show("t.ksb", 0);
  EXPECT_EQ(history.Entries.Last().Count(), 2);
}

// The history keeps the compiled text it laid out last, but never for another page's text: pages
// read for one commit are freed after it, so the next page read may sit where the last one was.
TEST_F(HistoryTest, TheKeptTextIsNeverAnotherPagesText) {
  d.AddPage("a.ksb", TextPage({1}));
  d.AddPage("b.ksb", TextPage({3}));
  NewForm(1000);
  Show("a.ksb", 0);
  Show("b.ksb", 0);
  Show("a.ksb", 0);
  EXPECT_EQ(history.Entries.Last().Height, (std::vector<int32_t>{20, 60, 20}));
  // A page the interpreter holds is taken from its cache.
  d.callman.Start("b.ksb");
  Show("b.ksb", 0);
  EXPECT_EQ(history.Entries.Last().Height.back(), 60);
}

// VAR tags show the variables' values at the time of the commit, and the segment keeps the
// window's snapshot.
TEST_F(HistoryTest, VariablesAreExpandedWhenThePageIsCommitted) {
  GlyphListWriter w(kGlyphListVersion);
  w.Decorate({}).Char('A', 0).Var(0, 0, "", "who");
  const std::vector<uint8_t> bytes = w.Bytes();
  PageWriter page;
  page.TextIns(std::string(bytes.begin(), bytes.end()), Value(S("mes")), NoResult(), NoResult());
  d.AddPage("v.ksb", page);
  d.store.Declare("who", PT_STR, TVarScope::Global)->SetStr(std::string(40, 'B'));  // wraps at 200
  NewForm(1000);
  history.Note(*window, "v.ksb", "who=x", 0, -1, 0, 0);
  history.Commit("mes");
  ASSERT_EQ(history.Entries.Count(), 1);
  EXPECT_GE(history.Entries.Items(0).TotalHeight, 40);
  EXPECT_EQ(history.Entries.Items(0).VarText[0], "who=x");
  EXPECT_EQ(history.Word.GlyphCount(), 2);  // the expansion is taken out again
}

TEST_F(HistoryTest, ClearResetAndTheScriptsView) {
  d.AddPage("t.ksb", TextPage({1}));
  d.store.Globals.HistFormat = {};
  Show("t.ksb", 0);
  history.Note(*window, "t.ksb", "v=1", 0, -1, 0, 0);
  THistoryPort& port = d.session.Ports().history;
  port.SetHistoryMaxCount(5);
  EXPECT_EQ(history.Limit, 5);
  EXPECT_EQ(port.HistoryCount(), 1);
  port.ClearHistory();
  EXPECT_EQ(history.EntryCount(), 0);
  EXPECT_TRUE(history.PageFile.empty());
  EXPECT_EQ(port.HistoryMaxCount(), 5);
  port.ResetHistory();
  EXPECT_EQ(port.HistoryMaxCount(), 0);
}

// The script's side: FormatHist copies a component's appearance into the layout settings,
// "@HistoryMaxCount" and "@HistoryCount" are the history's, ClrHist and ClrRead empty the stores,
// and the reset command also drops the limit and the layout settings.
TEST_F(HistoryTest, TheHistoryAndTextCommands) {
  TKovaObject* label = d.session.Ports().scene.CreateComponent(KT_LABEL, "look", "");
  ASSERT_NE(label, nullptr);
  label->SetFontHeight(20);
  label->SetLineSpace(3);
  label->SetText("ABCDEFGH");
  d.AddPage("t.ksb", TextPage({1}));
  int runs = 0;
  auto run = [&](const PageWriter& page) {
    const std::string name = "run" + std::to_string(++runs) + ".ksb";
    d.AddPage(name, page);
    d.callman.Start(name);
    d.Frame();
  };
  d.store.Globals.HistFormat = {1, 2, 3, 4, 5, 6};
  run(PageWriter().FormatHist(Value(S("nobody"))));
  EXPECT_EQ(d.store.Globals.HistFormat, (std::array<int32_t, 6>{1, 2, 3, 4, 5, 6}));
  run(PageWriter().FormatHist(Value(S("look"))).Calc(test::Assign("@HistoryMaxCount", test::I(4))));
  EXPECT_GT(label->GetWidth(), 30);
  EXPECT_EQ(d.store.Globals.HistFormat,
            (std::array<int32_t, 6>{20, 0, 0, label->GetWidth(), label->GetHeight(), 3}));
  EXPECT_EQ(history.Limit, 4);

  Show("t.ksb", 0);
  Show("t.ksb", 0);
  TKovaReadList& marks = *d.session.SceneRoot().ReadMarks();
  marks.Note("mes", "t.ksb", 0, 0);
  marks.Commit("mes");
  PageWriter clear;
  clear.VarNew("count", 1, Value(test::V("@HistoryCount")));
  clear.ClrHist().ClrRead();
  clear.VarNew("after", 1, Value(test::V("@HistoryCount")));
  run(clear);
  EXPECT_EQ(d.Int("count"), 2 * (20 + 3));
  EXPECT_EQ(d.Int("after"), 0);
  EXPECT_FALSE(marks.IsRead("t.ksb", 0, 0));
  EXPECT_EQ(history.Limit, 4);

  d.AddPage("idle.ksb", PageWriter().Comment("after the reset"));
  run(PageWriter().Reset("idle.ksb", 0));
  EXPECT_EQ(history.Limit, 0);
  EXPECT_EQ(d.store.Globals.HistFormat, (std::array<int32_t, 6>{}));
}

// ---- The message data's caches ----

TEST_F(HistoryTest, TheMessageDataCachesKeepTheMostRecentPagesAndTexts) {
  for (const char* name : {"p1.ksb", "p2.ksb", "p3.ksb", "p4.ksb", "p5.ksb"}) d.AddPage(name, TextPage({1}));
  PageWriter many = TextPage(std::vector<int>(17, 1));
  many.Comment("no text");
  d.AddPage("many.ksb", many);
  TKovaNewMesData data;
  TVrFileManager& files = d.session.Files();
  for (const char* name : {"p1.ksb", "p2.ksb", "p3.ksb", "p4.ksb", "P2.KSB", "p5.ksb"}) {
    ASSERT_NE(data.Cache.Lookup(files, name, 0), nullptr) << name;
  }
  std::vector<std::string> order;
  for (int32_t i = 0; i < data.Cache.Count(); ++i) order.push_back(data.Cache.Items(i).Page->Name);
  EXPECT_EQ(order, (std::vector<std::string>{"p5.ksb", "p2.ksb", "p4.ksb", "p3.ksb"}));

  for (int32_t i = 0; i < 17; ++i) data.Cache.Lookup(files, "many.ksb", i);
  const TMesDataCache& cache = data.Cache.Items(0);
  ASSERT_EQ(cache.Words.size(), 16u);
  EXPECT_EQ(cache.Words.front().CommandIndex, 16);
  EXPECT_EQ(cache.Words.back().CommandIndex, 1);  // 0 was pushed out
  EXPECT_NE(data.Cache.Lookup(files, "many.ksb", 0), nullptr);
  EXPECT_EQ(data.Cache.Lookup(files, "many.ksb", 17), nullptr);  // a comment
  EXPECT_EQ(data.Cache.Lookup(files, "many.ksb", 18), nullptr);  // past the end
  EXPECT_EQ(data.Cache.Lookup(files, "many.ksb", -1), nullptr);
  EXPECT_THROW(data.Cache.Lookup(files, "gone.ksb", 0), EKovaError);
  EXPECT_EQ(data.Cache.Count(), 4);
}

// ---- Stored forms ----

// A history record of the current save version as the format describes it.
std::vector<uint8_t> HistoryRecord(int32_t version) {
  LeWriter w;
  const bool var_text = version >= 124;
  w.I32(2).Str("old.ksb").I32(1).I32(0).I32(320).I32(120).Str("").I32(2).I32(1).I32(320).I32(120);
  w.Str("now.ksb").I32(3).I32(1).I32(640).I32(200).Str("mes");
  w.I32(9);
  for (int32_t v : {16, 1, 2, 200, 50, 4}) w.I32(v);
  w.I32(4).I32(11);
  w.I32(2);
  w.I32(2).Str("a.ksb").I32(0).I32(0).I32(7).I32(20);
  if (var_text) w.Str("x=1");
  w.Str("").I32(1).I32(8).I32(-1).I32(20);
  if (var_text) w.Str("");
  w.I32(40);
  w.I32(1).Str("b.ksb").I32(5).I32(0).I32(-1).I32(30);
  if (var_text) w.Str("y=2");
  w.I32(30);
  if (var_text) w.Str("z=3");
  return w.Bytes();
}

TEST_F(HistoryTest, TheHistoryRecordRoundTripsByteForByte) {
  const std::vector<uint8_t> bytes = HistoryRecord(129);
  TSpanStream in(bytes);
  history.LoadFromStream(in, 129);
  EXPECT_EQ(in.Remaining(), 0);
  EXPECT_EQ(Saved(history), bytes);
  EXPECT_EQ(history.LegacyEntries.PageFileAt(1), "old.ksb");
  EXPECT_EQ(history.PageFile, "now.ksb");
  EXPECT_EQ(history.Size, (TPoint{640, 200}));
  EXPECT_EQ(history.Limit, 9);
  EXPECT_EQ(history.Word.WrapWidth, 200);
  EXPECT_EQ(history.Word.LineSpace, 4);
  EXPECT_EQ(history.GetCount(), 70);
  EXPECT_EQ(history.Entries.Items(0).PageFileAt(1), "a.ksb");
  EXPECT_EQ(history.VarText, "z=3");

  // Before 124 the variable texts are absent.
  const std::vector<uint8_t> old = HistoryRecord(123);
  TSpanStream in123(old);
  history.LoadFromStream(in123, 123);
  EXPECT_EQ(in123.Remaining(), 0);
  EXPECT_EQ(history.Entries.Items(0).VarText[0], "");
  EXPECT_EQ(history.VarText, "");
  EXPECT_EQ(history.Entries.Items(1).TotalHeight, 30);
}

// Before 113: a dropped string, the legacy entries as parallel arrays, the pending note; the
// limit, the layout and the entries of the new form keep their values.
TEST_F(HistoryTest, ALegacyHistoryRecordReplacesOnlyWhatItHolds) {
  const std::vector<uint8_t> current = HistoryRecord(129);
  TSpanStream in(current);
  history.LoadFromStream(in, 129);
  LeWriter w;
  w.Str("dropped").I32(2).Str("x.ksb").Str("").I32(4).I32(5).I32(0).I32(1).I32(300).I32(100).I32(301).I32(101);
  w.Str("y.ksb").I32(6).I32(2).I32(640).I32(480).Str("win");
  const std::vector<uint8_t> bytes = w.Bytes();
  TSpanStream legacy(bytes);
  history.LoadFromStream(legacy, 112);
  EXPECT_EQ(legacy.Remaining(), 0);
  ASSERT_EQ(history.LegacyEntries.Count(), 2);
  EXPECT_EQ(history.LegacyEntries.PageFileAt(1), "x.ksb");
  EXPECT_EQ(history.LegacyEntries.Items(1).CommandIndex, 5);
  EXPECT_EQ(history.LegacyEntries.Items(1).PageIndex, 1);
  EXPECT_EQ(history.LegacyEntries.Items(1).Size, (TPoint{301, 101}));
  EXPECT_EQ(history.PageFile, "y.ksb");
  EXPECT_EQ(history.MesName, "win");
  EXPECT_EQ(history.Limit, 9);
  EXPECT_EQ(history.Entries.Count(), 2);
  EXPECT_EQ(history.Word.WrapWidth, 200);
}

// A record cut anywhere, or with a count its bytes cannot hold, raises and changes nothing.
TEST_F(HistoryTest, ABadHistoryRecordRaisesAndLeavesTheHistory) {
  const std::vector<uint8_t> bytes = HistoryRecord(129);
  TSpanStream in(bytes);
  history.LoadFromStream(in, 129);
  const std::vector<uint8_t> before = Saved(history);
  for (size_t n = 0; n < bytes.size(); n += 3) {
    TSpanStream cut(std::span<const uint8_t>(bytes).first(n));
    EXPECT_THROW(history.LoadFromStream(cut, 129), EReadError) << n;
  }
  // Absurd counts: legacy entries, entries, segments of an entry.
  for (size_t at : {size_t(0), size_t(121), size_t(125)}) {
    std::vector<uint8_t> bad = bytes;
    bad[at] = 0xFF, bad[at + 1] = 0xFF, bad[at + 2] = 0xFF, bad[at + 3] = 0x7F;
    TSpanStream s(bad);
    EXPECT_THROW(history.LoadFromStream(s, 129), EReadError) << at;
  }
  for (int32_t v : {112, 123, 129}) {
    LeWriter w;
    if (v < 113) w.Str("");
    w.I32(-1);
    TSpanStream s(w.Bytes());
    EXPECT_THROW(history.LoadFromStream(s, v), EReadError) << v;
  }
  EXPECT_EQ(Saved(history), before);
}

TEST(MesDataTest, TheRecordRoundTripsAndLoadsByItsGate) {
  LeWriter w;
  w.I32(2).Str("a.ksb").Str("").I32(3).I32(4).I32(0).I32(1).I32(320).I32(120).I32(321).I32(121);
  w.I32(1).Str("b.ksb").I32(7).I32(2).I32(9).I32(0).Str("v=1").I32(0);
  const std::vector<uint8_t> bytes = w.Bytes();
  TKovaNewMesData data;
  EXPECT_TRUE(data.Empty());
  TSpanStream in(bytes);
  data.LoadFromStream(in, 129);
  EXPECT_EQ(in.Remaining(), 0);
  EXPECT_EQ(Saved(data), bytes);
  EXPECT_FALSE(data.Empty());
  EXPECT_EQ(data.LegacySize[1], (TPoint{321, 121}));
  EXPECT_EQ(data.Segments.VarText[0], "v=1");

  // Before 113 the record ends after the arrays; a truncated record raises and changes nothing.
  TKovaNewMesData old;
  TSpanStream in112(bytes);
  old.LoadFromStream(in112, 112);
  EXPECT_EQ(old.LegacyCount(), 2);
  EXPECT_TRUE(old.Segments.Empty());
  EXPECT_EQ(in112.GetPosition(), 4 + 2 * 4 + 5 + 16 + 16);
  for (size_t n = 0; n < bytes.size(); ++n) {
    TSpanStream cut(std::span<const uint8_t>(bytes).first(n));
    EXPECT_THROW(data.LoadFromStream(cut, 129), EReadError) << n;
  }
  EXPECT_EQ(Saved(data), bytes);
  LeWriter absurd;
  absurd.I32(0x10000000).Str("a.ksb");
  TSpanStream s(absurd.Bytes());
  EXPECT_THROW(data.LoadFromStream(s, 129), EReadError);
}

// ---- Read marks ----

TEST(ReadMarksTest, APageIsMarkedOnceWhenItsRevealCompletes) {
  TKovaReadList marks;
  marks.Note("mes", "a.ksb", 0, 3);
  EXPECT_FALSE(marks.IsRead("a.ksb", 3, 0));
  marks.Commit("other");
  EXPECT_FALSE(marks.IsRead("a.ksb", 3, 0));
  marks.Commit("mes");
  EXPECT_TRUE(marks.IsRead("A.KSB", 3, 0));
  EXPECT_FALSE(marks.IsRead("a.ksb", 3, 1));
  EXPECT_FALSE(marks.IsRead("a.ksb", 0, 3));
  EXPECT_TRUE(marks.PageFile.empty());

  // Shown again: not added twice, and the mark stays pending.
  marks.Note("mes", "a.ksb", 0, 3);
  marks.Commit("mes");
  EXPECT_EQ(marks.Count(), 1);
  EXPECT_EQ(marks.Items(0)->CommandIndex.size(), 1u);
  EXPECT_EQ(marks.PageFile, "a.ksb");

  // A page the player left before its reveal completed is never marked.
  marks.Note("mes", "a.ksb", 1, 3);
  marks.Note("mes", "a.ksb", 2, 3);
  marks.Commit("mes");
  EXPECT_FALSE(marks.IsRead("a.ksb", 3, 1));
  EXPECT_TRUE(marks.IsRead("a.ksb", 3, 2));

  marks.Clear();
  EXPECT_FALSE(marks.IsRead("a.ksb", 3, 0));
  EXPECT_TRUE(marks.PageFile.empty());
}

TEST(ReadMarksTest, TheRecordRoundTripsAndBadOnesChangeNothing) {
  LeWriter w;
  w.I32(2).Str("a.ksb").I32(2).I32(3).I32(5).I32(0).I32(1).Str("b.ksb").I32(0);
  w.Str("c.ksb").I32(4).I32(2).Str("mes");
  const std::vector<uint8_t> bytes = w.Bytes();
  TKovaReadList marks;
  TSpanStream in(bytes);
  marks.LoadFromStream(in, 103);
  EXPECT_EQ(in.Remaining(), 0);
  EXPECT_EQ(Saved(marks), bytes);
  EXPECT_TRUE(marks.IsRead("a.ksb", 5, 1));
  EXPECT_EQ(marks.PageFile, "c.ksb");
  marks.Commit("mes");
  EXPECT_TRUE(marks.IsRead("c.ksb", 4, 2));

  for (size_t n = 0; n < bytes.size(); ++n) {
    TSpanStream cut(std::span<const uint8_t>(bytes).first(n));
    EXPECT_THROW(marks.LoadFromStream(cut, 103), EReadError) << n;
  }
  LeWriter absurd;
  absurd.I32(1).Str("a.ksb").I32(0x7FFFFFFF);
  TSpanStream s(absurd.Bytes());
  EXPECT_THROW(marks.LoadFromStream(s, 103), EReadError);
  EXPECT_TRUE(marks.IsRead("a.ksb", 5, 1));

  // Status data before 100 holds no marks: nothing is read and none are left.
  TSpanStream none(bytes);
  marks.LoadFromStream(none, 0);
  EXPECT_EQ(none.GetPosition(), 0);
  EXPECT_EQ(marks.Count(), 0);
}

}  // namespace
}  // namespace kova
