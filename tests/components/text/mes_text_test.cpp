// Message windows on the session's own scene, driven by pages: TextIns shows a compiled text by
// reference (waiting while the window shows it, recording it for the history and the read marks),
// TextClr empties the window, CallHist clips its range and recalls the history as one page of
// stacked rows, and missing page files end a rebuild silently.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "components/scene/kova_base_list.h"
#include "components/text/kova_history.h"
#include "components/text/kova_mes.h"
#include "components/text/kova_read_marks.h"
#include "core/stream.h"
#include "core/vocabulary.h"
#include "support/frame_driver.h"
#include "support/glyph_list_writer.h"

namespace kova {
namespace {

using test::FrameDriver;
using test::GlyphListWriter;
using test::I;
using test::NoResult;
using test::PageWriter;
using test::S;
using test::Value;
using test::Yes;

// `rows` rows of three letters, each letter revealed after 10 ms.
std::string RowsText(int rows) {
  GlyphListWriter w(kGlyphListVersion);
  w.Decorate({});
  for (int r = 0; r < rows; ++r) {
    for (int k = 0; k < 3; ++k) w.Char(uint16_t('A' + r), 0, 10);
    if (r + 1 < rows) w.Return();
  }
  const std::vector<uint8_t> b = w.Bytes();
  return std::string(b.begin(), b.end());
}

class MesTextTest : public ::testing::Test {
 protected:
  MesTextTest() : d(true), root(d.session.SceneRoot()) {
    mes = static_cast<TKovaMes*>(d.session.Ports().scene.CreateComponent(KT_MES, "mes", ""));
    mes->SetBounds(0, 0, 64, 32);  // 16-pixel rows: two to a page
    mes->SetFontHeight(16);
  }
  void Run(const std::string& name, const PageWriter& page, int frames = 1) {
    d.AddPage(name, page);
    d.callman.Start(name);
    d.Frames(frames);
  }
  // Shows every page of the window to its end.
  void ReadThrough() {
    for (int32_t i = 0; i < mes->GetCount(); ++i) {
      mes->SetIndex(i);
      d.Frames(20);
    }
  }

  FrameDriver d;
  TKovaBaseList& root;
  TKovaMes* mes = nullptr;
};

TEST_F(MesTextTest, TextInsShowsItsTextAndWaitsWhileTheWindowShowsIt) {
  PageWriter page;
  page.VarNew("after", 1, Value(I(0)));
  page.TextIns(RowsText(3), Value(S("mes")), Yes(), Yes());
  page.Calc(test::Assign("after", I(1)));
  Run("t.ksb", page, 3);
  EXPECT_EQ(mes->GetCount(), 2);
  EXPECT_EQ(mes->GetIndex(), 0);
  EXPECT_EQ(mes->GetText(), "AAABBB");  // the page of two rows
  EXPECT_EQ(mes->RecordMode(), 1);
  EXPECT_EQ(mes->PageFile(), "t.ksb");
  EXPECT_EQ(mes->CommandIndex(), 1);
  EXPECT_EQ(d.Int("after"), 0);  // still on the command
  // Read marks come when a page's reveal completes; the history holds the page once left.
  d.Frames(20);
  EXPECT_TRUE(root.ReadMarks()->IsRead("t.ksb", 1, 0));
  EXPECT_EQ(root.History()->PageFile, "t.ksb");
  mes->SetIndex(1);
  d.Frames(2);
  EXPECT_EQ(root.History()->EntryCount(), 1);
  EXPECT_FALSE(root.ReadMarks()->IsRead("t.ksb", 1, 1));
  // TextClr empties the window: the wait ends.
  Run("clr.ksb", PageWriter().TextClr(Value(S("mes"))));
  EXPECT_EQ(mes->GetCount(), 0);
  EXPECT_EQ(mes->RecordMode(), 0);
  d.callman.Start("t.ksb");
  d.Frames(2);
  EXPECT_EQ(d.Int("after"), 0);
  root.DeleteComponent(mes);  // a window that goes away ends the wait too
  d.Frames(2);
  EXPECT_EQ(d.Int("after"), 1);
}

TEST_F(MesTextTest, TextInsWithoutTextOrWindowAdvancesAtOnce) {
  d.session.Ports().scene.CreateComponent(KT_BOX, "box", "");
  PageWriter page;
  page.VarNew("after", 1, Value(I(0)));
  page.TextIns("", Value(S("mes")), Yes(), Yes());
  page.TextIns(RowsText(1), Value(S("box")), Yes(), Yes());
  page.TextIns(RowsText(1), Value(S("")), Yes(), Yes());
  page.Calc(test::Assign("after", I(1)));
  Run("t.ksb", page);
  EXPECT_EQ(d.Int("after"), 1);
  EXPECT_EQ(mes->GetCount(), 0);
}

TEST_F(MesTextTest, ATextWhosePageFileIsGoneShowsNothing) {
  PageWriter page;
  page.TextIns(RowsText(2), Value(S("mes")), NoResult(), NoResult());
  Run("t.ksb", page);
  ASSERT_EQ(mes->GetCount(), 1);
  // Saved, then loaded once the page file is gone: the window is empty, nothing raises.
  TMemoryStream saved;
  mes->SaveToStream(saved);
  std::remove(d.tree.Path("t.ksb").c_str());
  auto* copy = static_cast<TKovaMes*>(d.session.Ports().scene.CreateComponent(KT_MES, "copy", ""));
  saved.SetPosition(0);
  copy->LoadFromStream(saved, 129);
  EXPECT_EQ(copy->GetCount(), 0);
  EXPECT_EQ(copy->GetText(), "");
}

TEST_F(MesTextTest, CallHistRecallsTheHistoryAsStackedRows) {
  // The history lays pages out as the window does: 16-pixel rows, pages of 32.
  d.store.Globals.HistFormat = {16, 0, 0, 64, 32, 0};
  Run("a.ksb", PageWriter().TextIns(RowsText(3), Value(S("mes")), Yes(), NoResult()));  // rows 2 + 1
  ReadThrough();
  Run("b.ksb", PageWriter().TextIns(RowsText(2), Value(S("mes")), Yes(), NoResult()));  // rows 2
  ReadThrough();
  mes->SetText("");  // the last page joins the history
  TKovaNewHistory& history = *root.History();
  ASSERT_EQ(history.EntryCount(), 3);
  ASSERT_EQ(history.GetCount(), 32 + 16 + 32);

  // Pixels 20..60 overlap the first page's second row, the second page and the third page's first row.
  Run("recall.ksb", PageWriter().CallHist(Value(S("mes")), Value(I(20)), Value(I(40)), test::No()));
  EXPECT_EQ(mes->RecordMode(), 2);
  ASSERT_EQ(mes->GetCount(), 1);
  EXPECT_EQ(mes->GetIndex(), 0);
  EXPECT_EQ(mes->MesData().Segments.Count(), 3);
  EXPECT_EQ(mes->StartOffset(), -20);
  TWdPage& stacked = *mes->Pages()[0];
  std::vector<std::pair<std::string, int32_t>> rows;
  for (int r = 0; r < stacked.RowCount(); ++r) rows.emplace_back(stacked.Row(r)->CharText(), stacked.Row(r)->Y);
  const std::vector<std::pair<std::string, int32_t>> expected{
      {"AAA", -20}, {"BBB", -4}, {"CCC", 12}, {"AAA", 28}, {"BBB", 44}};
  EXPECT_EQ(rows, expected);

  // The command clips its range to the history: from 70 a count of 100 takes the last page only;
  // a first beyond the end recalls nothing.
  Run("clip.ksb", PageWriter().CallHist(Value(S("mes")), Value(I(70)), Value(I(100)), test::No()));
  EXPECT_EQ(mes->MesData().Segments.Count(), 1);
  EXPECT_EQ(mes->StartOffset(), -22);
  mes->SetText("x");
  Run("beyond.ksb", PageWriter().CallHist(Value(S("mes")), Value(I(80)), Value(I(10)), test::No()));
  EXPECT_EQ(mes->GetText(), "x");

  // A recalled window saves and loads back with its stacked page.
  Run("all.ksb", PageWriter().CallHist(Value(S("mes")), Value(I(0)), Value(I(80)), test::No()));
  TMemoryStream saved;
  mes->SaveToStream(saved);
  auto* copy = static_cast<TKovaMes*>(d.session.Ports().scene.CreateComponent(KT_MES, "copy", ""));
  saved.SetPosition(0);
  copy->LoadFromStream(saved, 129);
  ASSERT_EQ(copy->GetCount(), 1);
  EXPECT_EQ(copy->Pages()[0]->RowCount(), 5);
  TMemoryStream again;
  copy->SaveToStream(again);
  EXPECT_EQ(std::vector<uint8_t>(again.Bytes().begin(), again.Bytes().end()),
            std::vector<uint8_t>(saved.Bytes().begin(), saved.Bytes().end()));
}

}  // namespace
}  // namespace kova
