// The interpreter's event dispatch, state machine and levels, trace lines, page cache, stop flag
// and its game-save section.
#include <gtest/gtest.h>

#include "core/errors.h"
#include "core/format.h"
#include "script/call_man.h"
#include "script/commands_flow.h"
#include "script/page.h"
#include "script/script_errors.h"
#include "script/script_test_util.h"
#include "support/frame_driver.h"
#include "support/le_writer.h"
#include "support/record_round_trip.h"

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
using E = ExprBuilder;
using Lines = std::vector<std::string>;

ExprBuilder Set(std::string_view var, int32_t v) { return test::Assign(var, I(v)); }
ExprBuilder Inc(std::string_view var) { return test::Step(var, E::Plus, I(1)); }
ExprBuilder Eq(std::string_view var, int32_t v) { return Compare(E::Equal, V(var), I(v)); }
// Waits (time 0) while the variable is 0.
PageWriter& WaitFor(PageWriter& w, std::string_view var, const ExprBuilder& hold = NoResult()) {
  return w.Wait(Eq(var, 0), NoResult(), hold);
}

TArrayString Params(std::initializer_list<const char*> items) {
  TArrayString a;
  for (const char* s : items) a.Add(s);
  return a;
}

// A main page that counts frames in a Wait of 200 ms and then sets "done".
void MainWithWait(FrameDriver& d) {
  d.SetInt("done", 0);
  PageWriter main;
  main.Calc(Set("done", 0)).Wait(NoResult(), test::Value(I(200))).Calc(Set("done", 1));
  d.AddPage("main.ksb", main);
  d.callman.Start("main.ksb");
}

TEST(Events, HandlerRunsBeforeTheNextCommandWithArgumentsSenderAndLabel) {
  FrameDriver d;
  MainWithWait(d);
  d.SetInt("pc", 0);
  d.SetInt("x", 0);
  d.store.Declare("snd", PT_STR, TVarScope::Global);
  PageWriter h;
  h.Calc(Set("x", 99)).Label("click").Calc(test::Assign("pc", V("@ParamCount"))).Calc(test::Assign("snd", V("@Sender")));
  d.AddPage("h.ksb", h);
  d.Frame();  // main: Calc, Wait entered
  EXPECT_EQ(d.TakeLines(), (Lines{"main.ksb(1)", "main.ksb(2)"}));
  const TObjectHandle button = d.scene.Add("Btn1");
  const TArrayString params = Params({"12", "34"});
  d.queue.AddEvent(button, "h.kss:click", &params, 36);
  d.Frame();
  EXPECT_EQ(d.TakeLines(), (Lines{"<Event>h.ksb(2)", "h.ksb(2)", "h.ksb(3)", "h.ksb(4)", "main.ksb(2)"}));
  EXPECT_EQ(d.Int("x"), 0);  // started at the label
  EXPECT_EQ(d.Int("pc"), 2);
  EXPECT_EQ(d.Str("snd"), "Btn1");
  EXPECT_EQ(d.queue.Count(), 0);
  EXPECT_EQ(d.callman.State(), 0);
  EXPECT_EQ(d.callman.Stack().Count(), 0);
  EXPECT_EQ(d.callman.GetSenderName(), "");
  // The Wait went on with its remaining time: 200 ms need the entry frame and 13 counted frames.
  int frames = 2;
  while (d.Int("done") == 0 && frames < 40) {
    d.Frame();
    ++frames;
  }
  EXPECT_EQ(frames, 14);
}

TEST(Events, AMissingLabelStartsAtTheTopAndTheTraceCarriesTheClock) {
  FrameDriver d;
  d.SetInt("x", 0);
  PageWriter h;
  h.Calc(Set("x", 5));
  d.AddPage("dir\\h.ksb", h);
  d.AddPage("dir/h.ksb", h);
  PageWriter main;
  WaitFor(main, "never");
  d.AddPage("main.ksb", main);
  d.SetInt("never", 0);
  d.callman.Start("main.ksb");
  d.Frame(0x20);
  d.queue.AddEvent({}, "dir\\h.kss:nolabel", nullptr, 36);
  d.trace.clear();
  d.Frame(0x10);
  EXPECT_EQ(d.Int("x"), 5);
  ASSERT_GE(d.trace.size(), 2u);
  EXPECT_EQ(d.trace[0], "00000030 : <Event>dir\\h.ksb(1)");
  EXPECT_EQ(d.trace[1], "00000030 : dir\\h.ksb(1)");
}

TEST(Events, HoldFlagKeepsEventsWaiting) {
  FrameDriver d;
  d.SetInt("go", 0);
  d.SetInt("x", 0);
  PageWriter main;
  WaitFor(main, "go", Yes()).Calc(Set("y", 1));
  d.SetInt("y", 0);
  d.AddPage("main.ksb", main);
  PageWriter h;
  h.Calc(Set("x", 1));
  d.AddPage("h.ksb", h);
  d.callman.Start("main.ksb");
  d.Frame();
  d.queue.AddEvent({}, "h.kss", nullptr, 36);
  d.Frames(3);
  EXPECT_EQ(d.Int("x"), 0);
  EXPECT_TRUE(d.callman.HoldsEvents());
  d.trace.clear();
  d.SetInt("go", 1);
  d.Frame();  // the Wait ends; the event runs before the next command
  EXPECT_EQ(d.TakeLines(), (Lines{"<Event>h.ksb(1)", "h.ksb(1)", "main.ksb(2)"}));
  EXPECT_EQ(d.Int("x"), 1);
  EXPECT_EQ(d.Int("y"), 1);
}

TEST(Events, ADoEventLetsQueuedEventsRunFirst) {
  FrameDriver d;
  d.SetInt("order", 0);
  PageWriter main;
  main.DoEvent().Calc(test::Step("order", E::Mul, I(10)));
  d.AddPage("main.ksb", main);
  PageWriter h;
  h.Calc(Set("order", 1));
  d.AddPage("h.ksb", h);
  d.callman.Start("main.ksb");
  d.queue.AddEvent({}, "h.kss", nullptr, 36);
  d.Frame();  // the event runs before the DoEvent, which ends the frame's work
  EXPECT_EQ(d.Int("order"), 1);
  d.Frame();
  EXPECT_EQ(d.Int("order"), 10);
}

TEST(Events, AWaitInAHandlerLetsTheNextEventRunAtTheNextLevel) {
  FrameDriver d;
  d.SetInt("go", 0);
  d.SetInt("a", 0);
  d.SetInt("b", 0);
  PageWriter main;
  WaitFor(main, "never");
  d.SetInt("never", 0);
  d.AddPage("main.ksb", main);
  PageWriter ha;
  ha.Calc(Set("a", 1));
  WaitFor(ha, "go").Calc(Set("a", 2));
  d.AddPage("a.ksb", ha);
  PageWriter hb;
  hb.Calc(Set("b", 1));
  d.AddPage("b.ksb", hb);
  d.callman.Start("main.ksb");
  d.Frame();
  d.queue.AddEvent({}, "a.kss", nullptr, 36);
  d.Frame();
  EXPECT_EQ(d.Int("a"), 1);
  EXPECT_EQ(d.callman.State(), 2);
  EXPECT_EQ(d.queue.Items(0)->Level, 1);
  d.queue.AddEvent({}, "b.kss", nullptr, 37);
  d.Frame();
  // b ran at level 2 while a waits, and its event is gone; a's event stays handled.
  EXPECT_EQ(d.Int("b"), 1);
  EXPECT_EQ(d.Int("a"), 1);
  ASSERT_EQ(d.queue.Count(), 1);
  EXPECT_EQ(d.queue.Items(0)->Level, 1);
  EXPECT_EQ(d.callman.Stack().Count(), 1);
  d.SetInt("go", 1);
  d.Frame();  // the Wait ends; as it allows events, the handler's step ends with it
  EXPECT_EQ(d.Int("a"), 1);
  d.Frame();
  EXPECT_EQ(d.Int("a"), 2);
  EXPECT_EQ(d.queue.Count(), 0);
  EXPECT_EQ(d.callman.State(), 0);
  EXPECT_EQ(d.callman.Stack().Count(), 0);
}

TEST(Events, AReturnFromACallInsideANestedHandlerEndsThatHandlersLevel) {
  // Kept as games see it: the Call's return inside the nested handler counts as the handler's
  // end, so its event goes and the rest of its page runs at the outer level.
  FrameDriver d;
  d.SetInt("never", 0);
  d.SetInt("go", 0);
  d.SetInt("after", 0);
  PageWriter main;
  WaitFor(main, "never");
  d.AddPage("main.ksb", main);
  PageWriter ha;
  WaitFor(ha, "go");
  d.AddPage("a.ksb", ha);
  PageWriter sub;
  sub.Calc(NoResult());
  d.AddPage("sub.ksb", sub);
  PageWriter hb;
  hb.Call("sub.ksb").Calc(Set("after", 1));
  WaitFor(hb, "never");
  d.AddPage("b.ksb", hb);
  const TObjectHandle btn = d.scene.Add("btn");
  d.callman.Start("main.ksb");
  d.Frame();
  d.queue.AddEvent(btn, "a.kss", nullptr, 36);
  d.Frame();
  d.queue.AddEvent(btn, "b.kss", nullptr, 37);
  d.Frame();
  EXPECT_EQ(d.Int("after"), 1);
  // b's event was removed when sub returned although b's page goes on.
  ASSERT_EQ(d.queue.Count(), 1);
  EXPECT_EQ(d.queue.Items(0)->Code, 36);
  EXPECT_EQ(d.callman.GetPageName(), "b.ksb");
  EXPECT_EQ(d.callman.Level(), 2);
}

TEST(Events, AMissingOrBrokenHandlerPageIsDroppedWithTheErrorAndUnblocksLaterEvents) {
  FrameDriver d;
  d.SetInt("x", 0);
  d.SetInt("never", 0);
  PageWriter main;
  WaitFor(main, "never");
  d.AddPage("main.ksb", main);
  PageWriter bad;
  bad.Calc(NoResult()).CountField(1000);
  d.AddPage("bad.ksb", bad);
  PageWriter ok;
  ok.Calc(Inc("x"));
  d.AddPage("ok.ksb", ok);
  d.callman.Start("main.ksb");
  d.Frame();
  d.queue.AddEvent({}, "gone.kss", nullptr, 36);
  d.queue.AddEvent({}, "bad.kss", nullptr, 36);
  d.queue.AddEvent({}, "ok.kss", nullptr, 36);
  EXPECT_EQ(ErrorOf<EReadError>([&] { d.Frame(); }), Format(MsgText(TMsg::FileNotFound).c_str(), "gone.ksb"));
  EXPECT_EQ(ErrorOf<EReadError>([&] { d.Frame(); }), Format(MsgText(TMsg::PageCorrupt).c_str(), "bad.ksb"));
  EXPECT_EQ(d.callman.Stack().Count(), 0);
  EXPECT_EQ(d.callman.State(), 0);
  d.Frame();
  EXPECT_EQ(d.Int("x"), 1);
  EXPECT_EQ(d.queue.Count(), 0);
}

TEST(Events, SenderNameOnlyWhileHandlingAndWhileTheSenderLives) {
  FrameDriver d;
  d.SetInt("go", 0);
  PageWriter h;
  WaitFor(h, "go");
  d.AddPage("h.ksb", h);
  PageWriter main;
  main.Calc(NoResult());
  WaitFor(main, "go");
  d.AddPage("main.ksb", main);
  const TObjectHandle obj = d.scene.Add("Img");
  d.callman.Start("main.ksb");
  EXPECT_EQ(d.callman.GetSenderName(), "");
  d.queue.AddEvent(obj, "h.kss", nullptr, 36);
  d.Frame();
  EXPECT_EQ(d.callman.GetSenderName(), "Img");
  d.scene.Remove(obj);
  EXPECT_EQ(d.callman.GetSenderName(), "");
}

// A component freed after its event was queued and before the interpreter took it: the event is
// dropped unhandled and the events behind it run as usual.
TEST(Events, AnEventWhoseTargetWasFreedIsDroppedUnhandled) {
  FrameDriver d;
  d.SetInt("x", 0);
  d.SetInt("y", 0);
  d.SetInt("never", 0);
  PageWriter main;
  WaitFor(main, "never");
  d.AddPage("main.ksb", main);
  PageWriter hx;
  hx.Calc(Inc("x"));
  d.AddPage("hx.ksb", hx);
  PageWriter hy;
  hy.Calc(Inc("y"));
  d.AddPage("hy.ksb", hy);
  const TObjectHandle gone = d.scene.Add("Gone");
  const TObjectHandle kept = d.scene.Add("Kept");
  d.callman.Start("main.ksb");
  d.Frame();
  d.queue.AddEvent(gone, "hx.kss", nullptr, 36);
  d.queue.AddEvent(kept, "hy.kss", nullptr, 36);
  d.queue.AddEvent(gone, "hx.kss", nullptr, 37);
  d.scene.Remove(gone);
  d.Frames(3);
  EXPECT_EQ(d.Int("x"), 0);
  EXPECT_EQ(d.Int("y"), 1);
  EXPECT_EQ(d.queue.Count(), 0);
  EXPECT_EQ(d.TakeLines(), (Lines{"main.ksb(1)", "<Event>hy.ksb(1)", "hy.ksb(1)", "main.ksb(1)"}));
}

// The sender's handle outlives its component: a new component in the freed one's slot is not it.
TEST(Events, AFreedSendersSlotTakenByAnotherComponentReadsAsNoSender) {
  FrameDriver d;
  d.SetInt("go", 0);
  d.store.Declare("snd", PT_STR, TVarScope::Global);
  PageWriter h;
  WaitFor(h, "go").Calc(test::Assign("snd", V("@Sender")));
  d.AddPage("h.ksb", h);
  PageWriter main;
  WaitFor(main, "go");
  d.AddPage("main.ksb", main);
  const TObjectHandle obj = d.scene.Add("Img");
  d.callman.Start("main.ksb");
  d.queue.AddEvent(obj, "h.kss", nullptr, 36);
  d.Frame();
  ASSERT_EQ(d.callman.GetSenderName(), "Img");
  d.scene.Remove(obj);
  const TObjectHandle other = d.scene.Add("Other");
  ASSERT_EQ(other.id, obj.id);
  EXPECT_EQ(d.callman.GetSenderName(), "");
  d.SetInt("go", 1);
  d.Frame();
  EXPECT_EQ(d.Str("snd"), "");
}

TEST(Start, RestartsAndRemovesHandledLevels) {
  FrameDriver d;
  d.SetInt("never", 0);
  PageWriter h;
  WaitFor(h, "never");
  d.AddPage("h.ksb", h);
  PageWriter main;
  WaitFor(main, "never");
  d.AddPage("main.ksb", main);
  d.callman.Start("main.ksb");
  d.queue.AddEvent({}, "h.kss", nullptr, 36);
  d.Frame();
  d.queue.AddEvent({}, "h.kss", nullptr, 37);
  d.Frame();
  ASSERT_EQ(d.callman.Level(), 3);
  d.queue.AddEvent({}, "h.kss", nullptr, 38);
  d.callman.Start("main.ksb");
  EXPECT_EQ(d.callman.Level(), 2);
  EXPECT_EQ(d.callman.State(), 0);
  EXPECT_EQ(d.callman.Stack().Count(), 0);
  EXPECT_EQ(d.store.CurrentDepth, 0);
  ASSERT_EQ(d.queue.Count(), 1);  // only the waiting event stays
  EXPECT_EQ(d.queue.Items(0)->Code, 38);
}

TEST(StopFlag, EndsEveryStepAtOnce) {
  FrameDriver d;
  d.SetInt("a", 0);
  PageWriter w;
  w.Calc(Inc("a")).Terminate().Calc(Inc("a"));
  d.AddPage("p.ksb", w);
  d.callman.Start("p.ksb");
  d.Frames(3);
  EXPECT_TRUE(d.callman.Stopped());
  EXPECT_EQ(d.session.StopReason(), TStopReason::Terminated);
  EXPECT_EQ(d.Int("a"), 1);
  EXPECT_EQ(d.callman.PC(), 1);
}

TEST(PageCache, KeepsTenPagesButNeverTheCurrentOne) {
  FrameDriver d;
  PageWriter w;
  w.Calc(NoResult());
  for (int i = 0; i < 12; ++i) d.AddPage(Format("p%d.ksb", i), w);
  d.callman.Start("p0.ksb");
  for (int i = 1; i < 12; ++i) d.callman.GetPage(Format("p%d.ksb", i), true);
  // The current page p0 is the oldest: trimming stops at it, so the cache keeps growing.
  EXPECT_EQ(d.callman.CacheCount(), 12);
  EXPECT_EQ(d.callman.CachedPage(0)->Name, "p11.ksb");
  EXPECT_EQ(d.callman.CachedPage(11)->Name, "p0.ksb");
  // Once another page is current, the next load trims to ten.
  d.callman.Start("p11.ksb");
  d.AddPage("p12.ksb", w);
  d.callman.GetPage("p12.ksb", true);
  EXPECT_EQ(d.callman.CacheCount(), 10);
  EXPECT_EQ(d.callman.CachedPage(9)->Name, "p3.ksb");
  // A cached page moves to the front; names are compared exactly.
  TPage* p5 = d.callman.GetPage("p5.ksb", true);
  EXPECT_EQ(d.callman.CachedPage(0), p5);
  TPage* upper = d.callman.GetPage("P5.ksb", false);
  EXPECT_NE(upper, p5);
  EXPECT_EQ(d.callman.CachedPage(d.callman.CacheCount() - 1), upper);
  d.callman.SetPC(3);
  d.callman.GetPage("p6.ksb", false);
  EXPECT_EQ(d.callman.PC(), 3);
  d.callman.GetPage("p6.ksb", true);
  EXPECT_EQ(d.callman.PC(), 0);
}

TEST(PageCache, ATooNewPageEndsAtOnce) {
  FrameDriver d;
  PageWriter w(110);
  w.Calc(NoResult());
  d.AddPage("new.ksb", w);
  d.callman.Start("new.ksb");
  d.Frame();
  EXPECT_EQ(d.callman.Page(), nullptr);
  EXPECT_FALSE(d.callman.Running());
}

TEST(SaveState, AHandlerWaitingInAWaitRoundTrips) {
  FrameDriver d;
  d.SetInt("go", 0);
  d.SetInt("never", 0);
  PageWriter main;
  main.Wait(NoResult(), test::Value(I(500)));
  d.AddPage("main.ksb", main);
  PageWriter h;
  h.Calc(NoResult()).Wait(Eq("go", 0), test::Value(I(1000)));
  d.AddPage("h.ksb", h);
  const TObjectHandle btn = d.scene.Add("Btn");
  d.callman.Start("main.ksb");
  d.Frames(3);
  const TArrayString params = Params({"1"});
  d.queue.AddEvent(btn, "h.kss", &params, 36);
  d.Frames(2);
  ASSERT_EQ(d.callman.State(), 2);
  TMemoryStream saved;
  d.callman.SaveToStream(saved);
  d.queue.SaveToStream(saved);

  TCallMan restored = d.NewInterpreter(true);
  saved.SetPosition(0);
  restored.LoadFromStream(saved, 129);
  d.queue.LoadFromStream(saved, 129);
  EXPECT_EQ(saved.Remaining(), 0);
  EXPECT_EQ(restored.GetPageName(), "h.ksb");
  EXPECT_EQ(restored.PC(), 1);
  EXPECT_TRUE(restored.Entered());
  EXPECT_EQ(restored.State(), 2);
  EXPECT_EQ(restored.Level(), 2);
  EXPECT_EQ(restored.GetSenderName(), "Btn");
  EXPECT_EQ(restored.GetArg(0), "1");
  ASSERT_EQ(restored.Stack().Count(), 1);
  const TStack& frame = restored.Stack().Items(0);
  EXPECT_EQ(frame.PageName, "main.ksb");
  ASSERT_NE(frame.State, nullptr);
  auto* wait = static_cast<TComWait*>(restored.Page()->Command(1));
  EXPECT_EQ(wait->Remaining, 1000 - 16);
  // Saving the restored interpreter gives the same bytes.
  TMemoryStream again;
  restored.SaveToStream(again);
  d.queue.SaveToStream(again);
  EXPECT_EQ(test::StreamBytes(again), test::StreamBytes(saved));
  // A section of version 115 has no level.
  TMemoryStream old;
  TCallMan plain = d.NewInterpreter(false);
  plain.SaveToStream(old);
  const std::vector<uint8_t> bytes = test::StreamBytes(old);
  std::vector<uint8_t> no_level(bytes.begin(), bytes.end() - 4);
  TSpanStream s(no_level);
  TCallMan legacy = d.NewInterpreter(false);
  legacy.LoadFromStream(s, 115);
  EXPECT_EQ(legacy.Level(), 2);
}

TEST(SaveState, CommandStatesBothWaysAgainstGoldenBytes) {
  FrameDriver d;
  PageWriter w;
  w.TextIns("ab", test::Value(S("Win")), Yes(), Yes()).Wait(NoResult(), test::Value(I(500)));
  d.AddPage("t.ksb", w);
  TPage* page = d.callman.GetPage("t.ksb", false);
  ASSERT_NE(page, nullptr);
  // The tag, then TextIns: target, wait, hold; Wait: the time left, the frames, hold.
  test::LeWriter text_ins;
  text_ins.Raw("kova100").Str("Win").U8(1).U8(0);
  test::LeWriter wait;
  wait.Raw("kova100").I32(250).I32(3).U8(1);
  // A state before tag version 100 has no hold flag: the command keeps the one it had (1, from
  // the case before) and saves in the tagged form.
  test::LeWriter old_wait;
  old_wait.Raw("kova099").I32(250).I32(3);
  test::LeWriter old_wait_saved;
  old_wait_saved.Raw("kova100").I32(250).I32(3).U8(1);
  const struct {
    int32_t command;
    const test::LeWriter* bytes;
    const test::LeWriter* saved;
  } cases[] = {{0, &text_ins, nullptr}, {1, &wait, nullptr}, {1, &old_wait, &old_wait_saved}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.command);
    TCommand* command = page->Command(c.command);
    test::ExpectRecordRoundTrip(
        c.bytes->Bytes(), [&](TStream& s) { command->LoadState(s); }, [&](TStream& s) { command->SaveState(s); },
        c.saved ? &c.saved->Bytes() : nullptr);
  }
}

TEST(SaveState, TruncatedSectionsRaise) {
  FrameDriver d;
  d.SetInt("go", 0);
  PageWriter main;
  main.Wait(Eq("go", 0), test::Value(I(300)));
  d.AddPage("main.ksb", main);
  PageWriter sub;
  sub.Wait(Eq("go", 0), NoResult());
  d.AddPage("sub.ksb", sub);
  PageWriter caller;
  caller.Call("sub.ksb", 0, "r");
  d.AddPage("caller.ksb", caller);
  d.SetInt("r", 0);
  d.callman.Start("caller.ksb");
  d.Frame();
  TMemoryStream saved;
  d.callman.SaveToStream(saved);
  const std::vector<uint8_t> full = test::StreamBytes(saved);
  for (size_t n = 0; n < full.size(); ++n) {
    std::vector<uint8_t> cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n));
    TSpanStream s(cut);
    TCallMan c = d.NewInterpreter(false);
    EXPECT_THROW(c.LoadFromStream(s, 129), EReadError) << n;
  }
}

}  // namespace
}  // namespace kova
