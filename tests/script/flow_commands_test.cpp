// Flow commands run by the interpreter over frames on a fake clock, observed through variables
// and the trace lines.
#include <gtest/gtest.h>

#include "core/errors.h"
#include "core/format.h"
#include "script/call_man.h"
#include "script/commands_flow.h"
#include "script/page.h"
#include "script/script_errors.h"
#include "script/script_test_util.h"
#include "support/frame_driver.h"

namespace kova {
namespace {

using test::Compare;
using test::ErrorOf;
using test::ExprBuilder;
using test::FrameDriver;
using test::I;
using test::NoResult;
using test::PageWriter;
using test::S;
using test::V;
using test::Yes;
using test::No;
using E = ExprBuilder;
using Lines = std::vector<std::string>;

ExprBuilder Set(std::string_view var, int32_t v) { return test::Assign(var, I(v)); }
ExprBuilder Inc(std::string_view var) { return test::Step(var, E::Plus, I(1)); }
ExprBuilder Eq(std::string_view var, int32_t v) { return Compare(E::Equal, V(var), I(v)); }
// A condition that counts its evaluations in `counter` and gives TRUE.
ExprBuilder CountingYes(std::string_view counter) {
  ExprBuilder e;
  e.Op(E::Plus, counter, {V(counter), I(1)}).Result(test::B(true));
  return e;
}

TEST(IfBlocks, ChainsRunOneBranch) {
  struct Case {
    const char* name;
    bool c0, c1, c2;
    int32_t a;
    Lines trace;
  };
  const Case cases[] = {
      {"second elseif", false, false, true, 3, {"p.ksb(1)", "p.ksb(6)", "p.ksb(7)", "p.ksb(9)"}},
      {"if taken", true, true, true, 1, {"p.ksb(1)", "p.ksb(2)", "p.ksb(3)", "p.ksb(5)", "p.ksb(7)", "p.ksb(9)"}},
      {"else", false, false, false, 4, {"p.ksb(1)", "p.ksb(8)", "p.ksb(9)"}},
  };
  for (const Case& c : cases) {
    FrameDriver d;
    d.SetInt("a", 0);
    d.SetInt("b", 0);
    PageWriter w;
    w.If(c.c0 ? Yes() : No()).Indent(1).Calc(Set("a", 1)).Indent(0);
    w.Elseif(c.c1 ? Yes() : No()).Indent(1).Calc(Set("a", 2)).Indent(0);
    w.Elseif(c.c2 ? Yes() : No()).Indent(1).Calc(Set("a", 3)).Indent(0);
    w.Else().Indent(1).Calc(Set("a", 4)).Indent(0);
    w.Calc(Set("b", 1));
    d.AddPage("p.ksb", w);
    d.callman.Start("p.ksb");
    d.Frame();
    EXPECT_EQ(d.Int("a"), c.a) << c.name;
    EXPECT_EQ(d.Int("b"), 1) << c.name;
    EXPECT_EQ(d.Lines(), c.trace) << c.name;
  }
}

TEST(IfBlocks, FalseIfWithoutElseContinuesAtTheSameOrSmallerIndent) {
  FrameDriver d;
  d.SetInt("a", 0);
  PageWriter w;
  w.Indent(1).If(No()).Indent(2).Calc(Set("a", 1)).Indent(3).Calc(Set("a", 2)).Indent(0).Calc(Inc("a"));
  d.AddPage("p.ksb", w);
  d.callman.Start("p.ksb");
  d.Frame();
  EXPECT_EQ(d.Int("a"), 1);
  EXPECT_EQ(d.Lines(), (Lines{"p.ksb(1)", "p.ksb(4)"}));
}

TEST(Loops, WhileBreakContinue) {
  FrameDriver d;
  d.SetInt("i", 0);
  d.SetInt("n", 0);
  d.SetInt("done", 0);
  PageWriter w;
  w.WhileInit(Set("i", 0));                              // 0
  w.While(Compare(E::Small, V("i"), I(10)), 6);          // 1
  w.Break(Eq("i", 5), 6);                                // 2
  w.Continue(Eq("i", 2), 5);                             // 3
  w.Calc(Inc("n"));                                      // 4
  w.WhileLoop(Inc("i"), 1);                              // 5
  w.Calc(Set("done", 1));                                // 6
  d.AddPage("p.ksb", w);
  d.callman.Start("p.ksb");
  d.Frame();
  EXPECT_EQ(d.Int("i"), 5);
  EXPECT_EQ(d.Int("n"), 4);  // 0, 1, 3, 4
  EXPECT_EQ(d.Int("done"), 1);
  EXPECT_EQ(d.callman.Page(), nullptr);
  EXPECT_FALSE(d.callman.Running());
}

TEST(Loops, NegativeTargetsEndThePage) {
  for (bool use_break : {true, false}) {
    FrameDriver d;
    d.SetInt("x", 0);
    d.SetInt("back", 0);
    PageWriter sub;
    if (use_break) {
      sub.Break(Yes(), -1);
    } else {
      sub.Continue(Yes(), -1);
    }
    sub.Calc(Set("x", 1));
    d.AddPage("sub.ksb", sub);
    PageWriter main;
    main.Call("sub.ksb").Calc(Set("back", 1));
    d.AddPage("main.ksb", main);
    d.callman.Start("main.ksb");
    d.Frame();
    EXPECT_EQ(d.Int("x"), 0) << use_break;
    EXPECT_EQ(d.Int("back"), 1) << use_break;
  }
}

TEST(Jumps, ToAnotherPageAtAnIndexOrOnlyAdvanceWhenMissing) {
  FrameDriver d;
  d.SetInt("a", 0);
  PageWriter other;
  other.Calc(Set("a", 100)).Calc(Inc("a"));
  d.AddPage("other.ksb", other);
  PageWriter main;
  main.Jump("missing.ksb", 0).Calc(Set("a", 10)).Jump("other.ksb", 1).Calc(Set("a", 50));
  d.AddPage("main.ksb", main);
  d.callman.Start("main.ksb");
  d.Frame();
  EXPECT_EQ(d.Int("a"), 11);
  EXPECT_EQ(d.callman.Stack().Count(), 0);
  EXPECT_EQ(d.Lines(), (Lines{"main.ksb(1)", "main.ksb(2)", "main.ksb(3)", "other.ksb(2)"}));
}

TEST(Calls, ArgumentsResultLocalsAndReturn) {
  FrameDriver d;
  d.SetInt("r", -1);
  d.SetInt("go", 0);
  d.SetInt("after", 0);
  PageWriter sub(109, 1);
  sub.VarNew("loc", 1, test::Value(I(5)), 2).VarNew("auto", 1, test::Value(I(6)), 1).VarNew("glob", 1, test::Value(I(7)), 0);
  sub.Calc(test::Assign("@Result", V("@ParamCount")));
  sub.Wait(Eq("go", 0), NoResult());
  d.AddPage("sub.ksb", sub);
  PageWriter main;
  main.Call("sub.ksb", 0, "r", {test::Value(I(7)), NoResult(), test::Value(S("x"))}).Calc(Set("after", 1));
  d.AddPage("main.ksb", main);
  d.callman.Start("main.ksb");
  d.Frame();
  // Inside the called page: one frame, its arguments, its locals.
  ASSERT_EQ(d.callman.GetPageName(), "sub.ksb");
  EXPECT_EQ(d.callman.Stack().Count(), 1);
  EXPECT_EQ(d.store.CurrentDepth, 1);
  EXPECT_EQ(d.callman.ArgCount(), 2);
  EXPECT_EQ(d.callman.GetArg(0), "7");
  EXPECT_EQ(d.callman.GetArg(1), "x");
  EXPECT_EQ(d.callman.GetArg(2), "");
  EXPECT_EQ(d.Int("loc"), 5);
  EXPECT_EQ(d.Int("after"), 0);
  d.SetInt("go", 1);
  d.Frame();
  EXPECT_EQ(d.Int("r"), 2);
  EXPECT_EQ(d.Int("after"), 1);
  EXPECT_EQ(d.store.CurrentDepth, 0);
  EXPECT_EQ(d.callman.ArgCount(), 0);
  EXPECT_FALSE(d.Has("loc"));
  EXPECT_FALSE(d.Has("auto"));
  EXPECT_EQ(d.Int("glob"), 7);
  EXPECT_EQ(ErrorOf<EScriptError>([&] { d.callman.PopFrame(); }), MsgText(TMsg::CallStackError));
}

TEST(Calls, TraceShowsTheCallAndTheReturn) {
  FrameDriver d;
  PageWriter sub;
  sub.Calc(NoResult()).Line(40).Calc(NoResult());
  d.AddPage("sub.ksb", sub);
  PageWriter main;
  main.Calc(NoResult()).Call("sub.ksb", 1).Calc(NoResult());
  d.AddPage("main.ksb", main);
  d.callman.Start("main.ksb");
  d.Frame();
  EXPECT_EQ(d.Lines(), (Lines{"main.ksb(1)", "main.ksb(2)", "sub.ksb(40)", "main.ksb(3)"}));
}

TEST(Calls, ResultConvertsToTheCallersVariable) {
  FrameDriver d;
  d.store.Declare("s", PT_STR, TVarScope::Global);
  PageWriter sub(109, 2);  // a float result
  sub.Calc(test::Assign("@Result", test::F(2.5L)));
  d.AddPage("sub.ksb", sub);
  PageWriter main;
  main.Call("sub.ksb", 0, "s");
  d.AddPage("main.ksb", main);
  d.callman.Start("main.ksb");
  d.Frame();
  EXPECT_EQ(d.Str("s"), "2.5");
}

TEST(Calls, APageThatFailsToLoadLeavesNoFrameBehind) {
  FrameDriver d;
  d.SetInt("n", 0);
  PageWriter bad;
  bad.Raw(61);
  d.AddPage("bad.ksb", bad);
  PageWriter main;
  main.Call("bad.ksb").Calc(Inc("n")).Exit().Calc(Set("n", 99));
  d.AddPage("main.ksb", main);
  d.callman.Start("main.ksb");
  EXPECT_EQ(ErrorOf<EScriptError>([&] { d.Frame(); }), MsgText(TMsg::CommandInvalid));
  EXPECT_EQ(d.callman.Stack().Count(), 0);
  EXPECT_EQ(d.callman.CacheCount(), 1);
  d.Frame();
  d.Frame();
  EXPECT_EQ(d.Int("n"), 1);
  EXPECT_EQ(d.callman.Page(), nullptr);
}

TEST(Exit, EndsThePageWhenItsConditionHolds) {
  FrameDriver d;
  d.SetInt("a", 0);
  PageWriter w;
  w.Exit(No()).Calc(Inc("a")).Exit(NoResult()).Calc(Inc("a")).Exit(Yes()).Calc(Inc("a"));
  d.AddPage("p.ksb", w);
  d.callman.Start("p.ksb");
  d.Frame();
  EXPECT_EQ(d.Int("a"), 2);
  EXPECT_EQ(d.callman.Page(), nullptr);
  EXPECT_FALSE(d.callman.Running());
  d.Frames(3);
  EXPECT_EQ(d.Int("a"), 2);
}

TEST(Wait, CountsTheFrameDeltasAfterTheEntryFrame) {
  FrameDriver d;
  d.SetInt("done", 0);
  d.SetInt("frames", 0);
  PageWriter w;
  w.Wait(NoResult(), test::Value(I(100))).Calc(Set("done", 1));
  d.AddPage("p.ksb", w);
  d.callman.Start("p.ksb");
  int frames = 0;
  while (d.Int("done") == 0 && frames < 50) {
    d.Frame(16);
    ++frames;
  }
  // Entry frame, then 100 - 16k > 0 for k = 1..6, the 7th subtraction ends it: frame 8.
  EXPECT_EQ(frames, 8);
  EXPECT_EQ(d.Lines(), (Lines{"p.ksb(1)", "p.ksb(2)"}));  // traced once while it waits
}

// The remaining time counts in 32 bits: the lowest time wraps to about 2^31 ms and waits on,
// never overflowing (the sanitizer build would stop at an overflow).
TEST(Wait, TheLowestTimeWraps) {
  FrameDriver d;
  d.SetInt("done", 0);
  PageWriter w;
  w.Wait(NoResult(), test::Value(I(INT32_MIN))).Calc(Set("done", 1));
  d.AddPage("p.ksb", w);
  d.callman.Start("p.ksb");
  d.Frames(5, 16);
  EXPECT_EQ(d.Int("done"), 0);
}

TEST(Wait, TimeZeroWaitsWhileTheConditionHolds) {
  FrameDriver d;
  d.SetInt("go", 0);
  d.SetInt("evals", 0);
  d.SetInt("done", 0);
  ExprBuilder cond;  // evals += 1; ____arg := (go = 0)
  cond.Op(E::Plus, "evals", {V("evals"), I(1)}).Op(E::Equal, "____0", {V("go"), I(0)}).Result(V("____0"));
  PageWriter w;
  w.Wait(cond, test::Value(I(0))).Calc(Set("done", 1));
  d.AddPage("p.ksb", w);
  d.callman.Start("p.ksb");
  d.Frames(5);
  EXPECT_EQ(d.Int("evals"), 5);  // once per frame
  EXPECT_EQ(d.Int("done"), 0);
  d.SetInt("go", 1);
  d.Frame();
  EXPECT_EQ(d.Int("done"), 1);
}

TEST(RunNext, AClearFlagEndsTheFramesWork) {
  FrameDriver d;
  d.SetInt("a", 0);
  PageWriter w;
  w.Calc(Inc("a")).NoRunNext().Calc(Inc("a")).Calc(Inc("a")).DoEvent().Calc(Inc("a"));
  d.AddPage("p.ksb", w);
  d.callman.Start("p.ksb");
  d.Frame();
  EXPECT_EQ(d.Int("a"), 2);
  d.Frame();
  EXPECT_EQ(d.Int("a"), 3);  // DoEvent ends the frame too
  d.Frame();
  EXPECT_EQ(d.Int("a"), 4);
}

TEST(Robustness, ACommandThatStaysRunsOncePerFrame) {
  // A jump onto itself keeps page and pc: the frame's work ends instead of spinning.
  FrameDriver d;
  d.SetInt("n", 0);
  PageWriter w;
  w.Jump("p.ksb", 0, CountingYes("n"));
  d.AddPage("p.ksb", w);
  d.callman.Start("p.ksb");
  d.Frames(3);
  EXPECT_EQ(d.Int("n"), 3);
  // The same inside an event handler.
  PageWriter h;
  h.Jump("h.ksb", 0, CountingYes("m"));
  d.SetInt("m", 0);
  d.AddPage("h.ksb", h);
  d.queue.AddEvent({}, "h.kss", nullptr, 36);
  d.Frames(3);
  EXPECT_EQ(d.Int("m"), 3);
  EXPECT_EQ(d.callman.State(), 1);
}

TEST(Robustness, AnExceptionLeavesTheNextCommandRunningNormally) {
  FrameDriver d;
  d.SetInt("done", 0);
  PageWriter w;
  w.VarNew("", 1, NoResult()).Wait(NoResult(), test::Value(I(40))).Calc(Set("done", 1));
  d.AddPage("p.ksb", w);
  d.callman.Start("p.ksb");
  EXPECT_EQ(ErrorOf<EScriptError>([&] { d.Frame(); }), MsgText(TMsg::VarNameMissing));
  EXPECT_FALSE(d.callman.Entered());
  EXPECT_EQ(d.callman.PC(), 1);
  // The Wait is prepared on entry: entry frame, then 40 - 16 - 16 > 0, then done.
  d.Frames(3);
  EXPECT_EQ(d.Int("done"), 0);
  d.Frame();
  EXPECT_EQ(d.Int("done"), 1);
}

TEST(VarNew, ScopesAndStatusValues) {
  FrameDriver d;
  TParamCollectionItem* status = d.store.Declare("st", PT_INT, TVarScope::Status);
  status->SetInt(42);
  d.SetInt("g", 1);
  PageWriter w;
  w.VarNew("st", 1, test::Value(I(0)), 3).VarNew("g", 1, test::Value(I(9)), 0);
  w.VarNew("s", 4, test::Value(I(12)), 0).VarNew("nr", 1, NoResult(), 0).VarDel("g").VarDel("@Result");
  d.AddPage("p.ksb", w);
  d.callman.Start("p.ksb");
  d.Frame();
  EXPECT_EQ(d.Int("st"), 42);
  EXPECT_EQ(d.Str("s"), "12");
  EXPECT_TRUE(d.Has("nr"));
  EXPECT_FALSE(d.Has("g"));
  EXPECT_TRUE(d.Has("@Result"));
  // A bad name leaves no nameless variable behind.
  const int32_t count = d.store.Count();
  PageWriter bad;
  bad.VarNew("1abc", 1, NoResult());
  d.AddPage("bad.ksb", bad);
  d.callman.Start("bad.ksb");
  EXPECT_THROW(d.Frame(), EKovaError);
  EXPECT_EQ(d.store.Count(), count);
}

}  // namespace
}  // namespace kova
