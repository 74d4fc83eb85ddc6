// Page files: every command kind at every supported version, the version gates, property sets,
// the factory, labels, state tags and corrupt files.
#include <gtest/gtest.h>

#include "core/errors.h"
#include "core/file_manager.h"
#include "core/format.h"
#include "core/messages.h"
#include "script/call_man.h"
#include "script/commands_flow.h"
#include "script/commands_var.h"
#include "script/page.h"
#include "script/script_errors.h"
#include "script/script_test_util.h"
#include "script/subsystem_commands.h"
#include "support/frame_driver.h"
#include "support/game_tree.h"
#include "support/page_writer.h"

namespace kova {
namespace {

using test::ErrorOf;
using test::ExprBuilder;
using test::PageWriter;

// One command of every kind, in type-code order, with a few non-empty expressions.
PageWriter& AllKinds(PageWriter& w) {
  const ExprBuilder one = test::Value(test::I(1));
  for (int32_t type = 0; type < kCommandKindCount; ++type) {
    switch (type) {
      case 0: w.If(test::Yes()); break;
      case 1: w.Elseif(test::No()); break;
      case 2: w.Else(); break;
      case 3: w.Label("top"); break;
      case 4: w.Jump("a.ksb", 3); break;
      case 5: w.Call("b.ksb", 2, "res", {one, test::NoResult()}); break;
      case 6: w.Exit(); break;
      case 7: w.Wait(test::Yes(), one, test::Yes()); break;
      case 13: w.Flip(one, one, {test::Value(test::S("Mes1"))}); break;
      case 14: w.Calc(test::Assign("x", test::I(5))); break;
      case 15: w.VarNew("v", 1, one, 2); break;
      case 16: w.VarDel("v"); break;
      case 17: w.GetProp(one, one, "v"); break;
      case 18: w.SetProp(one, one, one); break;
      case 19: w.ObjDel(one); break;
      case 20: w.TextIns("\x82\xA0text", one, one, one, one); break;
      case 21: w.MovieStop(one, one, one, one); break;
      case 22: w.ClrHist(); break;
      case 26: w.MenuClose(one); break;
      case 27: w.Comment("note"); break;
      case 28: w.TextClr(one); break;
      case 29: w.CallHist(one, one, one, one); break;
      case 31: w.While(test::Yes(), 40); break;
      case 32: w.WhileInit(one); break;
      case 33: w.WhileLoop(one, 31); break;
      case 34: w.Break(test::No(), -1); break;
      case 35: w.Continue(test::No(), 31); break;
      case 38: w.GameSave(one, "resume.ksb", 4, test::Value(test::S("cap"))); break;
      case 39: w.GameLoad(one); break;
      case 40: w.PCReset("p.ksb", 1, true); break;
      case 41: w.Reset("p.ksb", 2); break;
      case 45: w.Terminate(); break;
      case 46: w.DoEvent(); break;
      case 47: w.ClrRead(); break;
      case 55: w.MediaPlay(one); break;
      case 57: w.PropMotion({one, one, one, one, one, one, one}); break;
      case 58: w.FormatHist(one); break;
      case 59:
      case 60: w.Cabinet(type, {{0, test::Value(test::S("cab"))}}, test::Yes(), {one, one}); break;
      default: w.Component(type, {{0, test::Value(test::S("name"))}}); break;
    }
  }
  return w;
}

// Parses page bytes as the file `name`.
void Parse(TPage& page, const std::vector<uint8_t>& bytes, std::string name = "p.ksb") {
  page.Name = std::move(name);
  TSpanStream s(bytes);
  page.LoadFromStream(s);
  EXPECT_EQ(s.Remaining(), 0);
}

class PageVersions : public ::testing::TestWithParam<int32_t> {};

TEST_P(PageVersions, EveryKindLoadsAndConsumesItsRecord) {
  PageWriter w(GetParam(), 3);
  AllKinds(w);
  TPage page;
  Parse(page, w.Bytes());
  EXPECT_EQ(page.Version, GetParam());
  EXPECT_EQ(page.ResultType, 3);
  ASSERT_EQ(page.Count(), kCommandKindCount);
  for (int32_t i = 0; i < kCommandKindCount; ++i) {
    EXPECT_EQ(static_cast<int32_t>(page.Command(i)->ComType()), i) << i;
    EXPECT_EQ(page.Command(i)->Line, i + 1);
    EXPECT_EQ(&page.Command(i)->Page(), &page);
  }
  // Version-gated fields.
  auto* wait = static_cast<TComWait*>(page.Command(7));
  EXPECT_EQ(wait->HoldExpr.Count() > 0, GetParam() >= 107);
  auto* save = static_cast<TComGameSave*>(page.Command(38));
  EXPECT_EQ(save->ResumePage, "resume.ksb");
  EXPECT_EQ(save->ResumeIndex, GetParam() >= 105 ? 4 : 0);
  auto* motion = static_cast<TComPropMotion*>(page.Command(57));
  EXPECT_EQ(motion->Paused.Count() > 0, GetParam() >= 108);
  auto* call = static_cast<TComCall*>(page.Command(5));
  EXPECT_EQ(call->PageName, "b.ksb");
  EXPECT_EQ(call->Target, 2);
  EXPECT_EQ(call->ResultVar, "res");
  EXPECT_EQ(call->Args.size(), 2u);
  auto* box = static_cast<TComComponent*>(page.Command(8));
  EXPECT_NE(box->Prop(0), nullptr);
  EXPECT_EQ(box->Prop(7), nullptr);
  EXPECT_EQ(static_cast<TComCabinet*>(page.Command(59))->Names.size(), 2u);
  EXPECT_EQ(static_cast<TComTextIns*>(page.Command(20))->Text, "\x82\xA0text");
}

INSTANTIATE_TEST_SUITE_P(Versions, PageVersions, ::testing::Range(103, 110));

TEST(PageLoad, BaseRecordFieldsAndFlagOverrides) {
  PageWriter w;
  w.Indent(2).Skip().NoRunNext().Line(77).Calc(test::NoResult());
  w.Indent(0).Else().WhileInit(test::NoResult()).WhileLoop(test::NoResult(), 0).Comment("c");
  w.NoRunNext().Else();
  w.DoEvent().GameSave(test::NoResult(), "", 0, test::NoResult()).GameLoad(test::NoResult());
  TPage page;
  Parse(page, w.Bytes());
  const TCommand& calc = *page.Command(0);
  EXPECT_EQ(calc.Indent, 2);
  EXPECT_TRUE(calc.GetSkip());
  EXPECT_FALSE(calc.GetRunNext());
  EXPECT_EQ(calc.Line, 77);
  struct Row {
    int index;
    bool run_next, skip, allows;
  };
  const Row rows[] = {
      {1, true, false, false},  // Else
      {2, true, false, false},  // WhileInit
      {3, true, false, false},  // WhileLoop shares the initialiser's class
      {4, false, true, false},  // Comment
      {5, true, false, false},  // Else whose record clears run-next
      {6, false, false, true},  // DoEvent
      {7, false, false, false}, // GameSave
      {8, false, false, false}, // GameLoad
  };
  for (const Row& r : rows) {
    const TCommand& c = *page.Command(r.index);
    EXPECT_EQ(c.GetRunNext(), r.run_next) << r.index;
    EXPECT_EQ(c.GetSkip(), r.skip) << r.index;
    EXPECT_EQ(c.AllowsEvents(), r.allows) << r.index;
    EXPECT_FALSE(c.HoldsEvents()) << r.index;
  }
}

// A page newer than this player is empty and silent; an older one stops the script after the
// rebuild message and closes the window.
TEST(PageLoad, TooNewPageIsEmptyTooOldPageStopsTheGame) {
  for (const int version : {110, 102}) {
    test::FrameDriver d;
    PageWriter w(version);
    w.Calc(test::NoResult());
    d.AddPage("p.ksb", w);
    TPage* page = d.callman.Start("p.ksb");
    EXPECT_EQ(page->Count(), 0) << version;
    const auto& shown = d.services.headless_dialogs.Log();
    if (version == 110) {
      EXPECT_TRUE(shown.empty());
      EXPECT_FALSE(d.callman.Stopped());
      EXPECT_EQ(d.services.headless_window.ClosePosts(), 0);
      continue;
    }
    EXPECT_TRUE(d.callman.Stopped());
    EXPECT_EQ(d.callman.StopError(), MsgText(TMsg::PageRebuild) + "\r\np.ksb");
    EXPECT_EQ(d.services.headless_window.ClosePosts(), 1);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, MsgText(TMsg::PageRebuild) + "\r\np.ksb");
    EXPECT_EQ(shown[0].title, MsgText(TMsg::PageWarningCaption));
    d.Frame();
    EXPECT_EQ(d.session.StopReason(), TStopReason::Failed);
  }
}

TEST(PropSets, NewPageHoldsTheBuiltInSets) {
  TPage page;
  EXPECT_EQ(page.Version, 104);
  EXPECT_EQ(page.ResultType, 1);
  for (int32_t t = 0; t < kPropSetCount; ++t) {
    EXPECT_EQ(page.PropSets[static_cast<size_t>(t)], test::DefaultPropWords()[static_cast<size_t>(t)]) << t;
  }
  EXPECT_TRUE(page.HasProp(59, 0));
  EXPECT_FALSE(page.HasProp(59, 1));
  EXPECT_TRUE(page.HasProp(8, 6));    // 0x7f7f: bit 6
  EXPECT_FALSE(page.HasProp(8, 7));
}

TEST(PropSets, RecordsReplaceTheirOwnTypesOnly) {
  struct Case {
    const char* name;
    int32_t count, size;
  };
  for (const Case c : {Case{"no records", 0, 20}, Case{"record for 61 skipped", 62, 20},
                       Case{"24-byte records", 10, 24}}) {
    PageWriter w;
    w.PropSet(8, {0x3, 0, 0, 0, 0}).PropRecords(c.count, c.size);
    // The box command carries expressions for the set the page ends up with.
    const bool replaced = c.count > 8;
    if (!replaced) w.PropSet(8, test::DefaultPropWords()[8]);
    w.Component(8).Calc(test::NoResult());
    TPage page;
    Parse(page, w.Bytes());
    ASSERT_EQ(page.Count(), 2) << c.name;
    EXPECT_EQ(page.PropSets[8], (replaced ? TPropSet{0x3, 0, 0, 0, 0} : test::DefaultPropWords()[8])) << c.name;
    EXPECT_EQ(page.PropSets[9], test::DefaultPropWords()[9]) << c.name;
    EXPECT_EQ(page.PropSets[0], (TPropSet{})) << c.name;
  }
}

// Empty property-set records are passed over at once, however many a page declares; bit 159 of a
// set names no property (ids end at 158) and carries no expression.
TEST(PropSets, EmptyRecordsAndBit159CostNothing) {
  {
    PageWriter w;
    w.PropRecords(0, 20).Calc(test::NoResult());
    std::vector<uint8_t> bytes = w.Bytes();
    const std::vector<uint8_t> header = test::LeWriter().I32(0x7FFFFFFF).I32(0).Bytes();
    std::copy(header.begin(), header.end(), bytes.begin() + 5);  // set count and set size
    TPage page;
    Parse(page, bytes);
    EXPECT_EQ(page.Count(), 1);
    EXPECT_EQ(page.PropSets[8], (TPropSet{}));  // an empty record clears its type's set
  }
  PageWriter w;
  w.PropSet(8, {0, 0, 0, 0, 0x80000001u}).PropRecords(9, 20);
  w.Component(8, {{128, test::Value(test::I(5))}}).Calc(test::NoResult());
  TPage page;
  Parse(page, w.Bytes());
  ASSERT_EQ(page.Count(), 2);
  const auto& box = dynamic_cast<const TComComponent&>(*page.Command(0));
  EXPECT_NE(box.Prop(128), nullptr);
  EXPECT_NE(dynamic_cast<const TComCalc*>(page.Command(1)), nullptr);  // read in step
}

TEST(Factory, HighBitIgnoredAndUnknownKindsRaise) {
  TPage page;
  EXPECT_EQ(CreateCommand(page, 128)->ComType(), TCommandKind::If);
  EXPECT_EQ(CreateCommand(page, 128 + 60)->ComType(), TCommandKind::LoadCabinet);
  EXPECT_EQ(ErrorOf<EScriptError>([&] { CreateCommand(page, 61); }), MsgText(TMsg::CommandInvalid));
  EXPECT_EQ(ErrorOf<EScriptError>([&] { CreateCommand(page, 127); }), MsgText(TMsg::CommandInvalid));
  // In a page, the load stops at that command and leaves no commands.
  PageWriter w;
  w.Calc(test::NoResult()).Raw(61);
  std::vector<uint8_t> bytes = w.Bytes();
  TSpanStream s(bytes);
  EXPECT_EQ(ErrorOf<EScriptError>([&] { page.LoadFromStream(s); }), MsgText(TMsg::CommandInvalid));
  EXPECT_EQ(page.Count(), 0);
}

TEST(Labels, FirstMatchExactCase) {
  PageWriter w;
  w.Calc(test::NoResult()).Label("a").Comment("b").Label("b").Label("a");
  TPage page;
  Parse(page, w.Bytes());
  EXPECT_EQ(page.FindLabel("a"), 1);
  EXPECT_EQ(page.FindLabel("b"), 3);  // a comment is no label
  EXPECT_EQ(page.FindLabel("A"), -1);
  EXPECT_EQ(page.FindLabel(""), -1);
}

TEST(StateTag, NumberOrRewind) {
  struct Case {
    std::string bytes;
    int32_t tag;
    int64_t pos;
  };
  for (const Case& c : {Case{"kova100rest", 100, 7}, Case{"kova042", 42, 7}, Case{"kovb100", 0, 0},
                        Case{"kova1x0", 0, 0}, Case{"kov", 0, 0}}) {
    std::vector<uint8_t> bytes(c.bytes.begin(), c.bytes.end());
    TSpanStream s(bytes);
    EXPECT_EQ(TCommand::ReadStateTag(s), c.tag) << c.bytes;
    EXPECT_EQ(s.GetPosition(), c.pos) << c.bytes;
  }
}

TEST(CorruptPages, TruncationAtEveryByteRaisesThePageError) {
  PageWriter w;
  const ExprBuilder one = test::Value(test::I(1));
  w.PropSet(8, {0x5, 0, 0, 0, 0x80000000}).PropRecords(9);
  w.If(test::Yes()).Label("l").Call("c.ksb", 0, "r", {one}).Wait(one, one, one).VarNew("v", 4, one, 1);
  w.Flip(one, one, {one}).Component(8, {{2, one}}).Cabinet(59, {}, one, {one}).GameSave(one, "r", 1, one);
  const std::vector<uint8_t> full = w.Bytes();
  const std::string expected = Format(MsgText(TMsg::PageCorrupt).c_str(), "cut.ksb");
  for (size_t n = 0; n < full.size(); ++n) {
    std::vector<uint8_t> cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n));
    TPage page;
    page.Name = "cut.ksb";
    TSpanStream s(cut);
    ASSERT_EQ(ErrorOf<EReadError>([&] { page.LoadFromStream(s); }), expected) << n;
    EXPECT_EQ(page.Count(), 0);
  }
}

TEST(CorruptPages, CountsLargerThanTheFileRaise) {
  const std::string expected = Format(MsgText(TMsg::PageCorrupt).c_str(), "big.ksb");
  std::vector<std::vector<uint8_t>> pages;
  {
    PageWriter w;
    w.Calc(test::NoResult()).CountField(0x7FFFFFFF);
    pages.push_back(w.Bytes());
  }
  {
    PageWriter w;
    w.PropRecords(0x10000000, 20);
    std::vector<uint8_t> b = test::LeWriter().I32(109).U8(1).I32(0x7FFFFFFF).I32(20).I32(0).Bytes();
    pages.push_back(b);
    pages.push_back(test::LeWriter().I32(109).U8(1).I32(1).I32(-5).I32(0).Bytes());
  }
  {
    // A call with a huge argument count, and a flip with a huge name-list count.
    test::LeWriter call;
    call.I32(109).U8(1).I32(0).I32(20).I32(1);
    call.U8(5).I32(0).U8(0).U8(1).I32(1).Str("x.ksb").I32(0).Str("").I32(0).I32(0x40000000);
    pages.push_back(call.Bytes());
    test::LeWriter flip;
    flip.I32(109).U8(1).I32(0).I32(20).I32(1);
    flip.U8(13).I32(0).U8(0).U8(1).I32(1).I32(0).I32(0).I32(0).I32(0).I32(-1);
    pages.push_back(flip.Bytes());
  }
  for (size_t i = 0; i < pages.size(); ++i) {
    TPage page;
    page.Name = "big.ksb";
    TSpanStream s(pages[i]);
    EXPECT_EQ(ErrorOf<EReadError>([&] { page.LoadFromStream(s); }), expected) << i;
  }
}

TEST(PageFile, LoadsThroughTheFileManagerAndReportsMissingFiles) {
  test::GameTree tree;
  TVrFileManager files;
  files.SetFolder(tree.Root());
  PageWriter w;
  w.Label("x").Calc(test::NoResult());
  tree.WriteFile("Scene/start.ksb", w.Bytes());
  TPage page;
  page.LoadFromFile(files, "Scene\\start.ksb");
  EXPECT_EQ(page.Name, "Scene\\start.ksb");
  EXPECT_EQ(page.Count(), 2);
  TPage missing;
  EXPECT_EQ(ErrorOf<EReadError>([&] { missing.LoadFromFile(files, "none.ksb"); }),
            Format(MsgText(TMsg::FileNotFound).c_str(), "none.ksb"));
}

}  // namespace
}  // namespace kova
