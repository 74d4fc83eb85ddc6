// The session: its frame step with the script's time budget, what its script engine reaches (the
// real millisecond clock, the frame's date, the installed fonts), the mailbox of the worker
// threads, the main-thread check, and two sessions side by side in one process.
#include "player/session.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "platform/clock.h"
#include "script/datetime.h"
#include "script/script_ports.h"
#include "script/test_game.h"
#include "support/fake_platform.h"
#include "support/frame_driver.h"
#include "support/game_tree.h"

namespace kova::test {
namespace {

using E = ExprBuilder;

ExprBuilder Inc(std::string_view var) { return Step(var, E::Plus, I(1)); }

// Pages that never give the frame back by themselves.
struct Endless {
  const char* what;
  PageWriter page;
};

std::vector<Endless> EndlessPages() {
  std::vector<Endless> pages(2);
  pages[0].what = "a jump to itself";
  pages[0].page.Calc(Inc("n")).Jump("p.ksb", 0);
  pages[1].what = "a While without a wait";
  pages[1].page.While(Yes(), 3).Calc(Inc("n")).WhileLoop(NoResult(), 0);
  return pages;
}

TEST(SessionStep, AScriptThatNeverWaitsGivesTheFrameBackAndGoesOn) {
  for (Endless& e : EndlessPages()) {
    SCOPED_TRACE(e.what);
    FrameDriver d;
    d.callman.SetTimeBudget(20);
    d.SetInt("n", 0);
    d.AddPage("p.ksb", e.page);
    d.callman.Start("p.ksb");
    ASSERT_TRUE(d.session.Step(16));
    EXPECT_TRUE(d.callman.OutOfTime());
    const int32_t after_one = d.Int("n");
    EXPECT_GT(after_one, 0);
    // The next frame resumes where the script was: the count goes on from there.
    ASSERT_TRUE(d.session.Step(16));
    EXPECT_GT(d.Int("n"), after_one);
    EXPECT_EQ(d.session.Clock().GameClock, 32);
    // A close request is served, and a frame limit ends the run.
    EXPECT_EQ(d.session.Run(2, 16), 2);
    EXPECT_EQ(d.session.StopReason(), TStopReason::FramesRunOut);
  }
  FrameDriver d;
  d.callman.SetTimeBudget(20);
  d.AddPage("p.ksb", EndlessPages()[0].page);
  d.callman.Start("p.ksb");
  ASSERT_TRUE(d.session.Step(16));
  d.session.RequestClose();
  EXPECT_FALSE(d.session.Step(16));
  EXPECT_EQ(d.session.StopReason(), TStopReason::Closed);
  EXPECT_FALSE(d.session.Step(16));  // a stopped session runs nothing more
  EXPECT_EQ(d.session.Clock().GameClock, 32);
}

TEST(SessionStep, RealTimeStepsDropLongGaps) {
  FrameDriver d;
  d.session.StepRealTime();  // the first step only starts the clock
  EXPECT_EQ(d.session.Clock().FrameDelta, 0);
  std::this_thread::sleep_for(std::chrono::milliseconds(5));
  d.session.StepRealTime();
  EXPECT_GE(d.session.Clock().FrameDelta, 5);
  d.session.Clock().LastFrameTime -= 5000;  // as after a long pause
  d.session.StepRealTime();
  EXPECT_EQ(d.session.Clock().FrameDelta, 0);
}

TEST(SessionHost, ServesTheMillisecondClockTheFrameDateAndTheFonts) {
  // A script waiting for "@PCTickCount" to grow comes to its end.
  FrameDriver d;
  PageWriter w;
  w.VarNew("t", 1, Value(V("@PCTickCount")))                   // 0
      .While(Compare(E::Equal, V("@PCTickCount"), V("t")), 3)  // 1
      .WhileLoop(NoResult(), 1)                                 // 2
      .Calc(Assign("done", I(1)));                              // 3
  d.SetInt("done", 0);
  d.AddPage("p.ksb", w);
  d.callman.Start("p.ksb");
  for (int frame = 0; frame < 100 && d.Int("done") == 0; ++frame) d.Frame();
  EXPECT_EQ(d.Int("done"), 1);

  // The date variables read the frame's local date, taken from the platform clock each frame.
  const int32_t year = DecodeDateTime(plat::TSystemClock().Now()).Year;
  d.Frame();
  EXPECT_NEAR(d.store.FindParam("@Year")->GetInt(), year, 1);
  plat::THeadlessServices services;
  plat::TVirtualClock clock(0, plat::DayCount(2000, 1, 1, 12));
  services.clock = &clock;
  TSession dated(services);
  dated.Step(16);
  EXPECT_EQ(dated.Store().FindParam("@Year")->GetInt(), 2000);
  EXPECT_EQ(dated.Store().FindParam("@Hour")->GetInt(), 12);
  clock.Advance(3600 * 1000);
  dated.Step(16);
  EXPECT_EQ(dated.Store().FindParam("@Hour")->GetInt(), 13);

  // The fonts are the session's font service's, sorted, without vertical faces.
  FakePlatform platform;
  platform.fonts.SetFamilies({{"Zeta", false, true}, {"@Zeta", false, true}, {"Alpha", true, true},
                              {"Latin", true, false}});
  TSession session(platform.Services());
  EXPECT_EQ(session.Store().FindParam("@Fonts")->GetStr(), "Alpha\r\nZeta\r\n");
  EXPECT_EQ(session.Store().FindParam("@FixedFonts")->GetStr(), "Alpha\r\n");
}

// A platform clock whose every reading is a second later than the one before.
class LeapingClock : public plat::IClock {
 public:
  uint32_t TickMs() override { return tick_ += 1000; }
  void SleepMs(uint32_t) override {}
  double Now() override { return 0; }

 private:
  uint32_t tick_ = 0;
};

TEST(SessionStep, TheTimeBudgetRunsOnThePlatformsClock) {
  // The budget is spent at its first look at the clock: the step gives the frame back after one
  // stride of turns, long before the real clock would have moved by the budget.
  LeapingClock clock;
  plat::THeadlessServices services;
  services.clock = &clock;
  GameTree tree;
  TSession session(services, TVrFileManagerOptions{{}, std::vector<std::string>{}});
  session.Files().SetFolder(tree.Root());
  tree.WriteFile("p.ksb", EndlessPages()[0].page.Bytes());
  session.Store().Declare("n", PT_INT, TVarScope::Global);
  session.Interpreter().SetTimeBudget(TSession::kScriptTimeBudgetMs);
  session.Interpreter().Start("p.ksb");
  ASSERT_TRUE(session.Step(16));
  EXPECT_TRUE(session.Interpreter().OutOfTime());
  const int32_t turns = session.Store().FindParam("n")->GetInt();
  EXPECT_GT(turns, 0);
  EXPECT_LE(turns, 1024);
}

TEST(SessionMailbox, AWorkersResultReachesTheScriptInTheNextFrame) {
  FrameDriver d;
  PageWriter main;
  main.Wait(NoResult(), Value(I(0)));
  PageWriter handler;
  handler.Calc(Assign("got", V("@ParamCount")));
  d.SetInt("got", 0);
  d.AddPage("main.ksb", main);
  d.AddPage("h.ksb", handler);
  d.callman.Start("main.ksb");
  d.Frame();
  std::thread worker([&d] {
    std::string result = "fetched";
    d.session.Mailbox().Post([result](TTimerList& events) {
      TArrayString params;
      params.Add(result);
      params.Add(result);
      events.AddEvent({}, "h.kss", &params, 0);
    });
  });
  worker.join();
  EXPECT_EQ(d.queue.Count(), 0);  // nothing reaches the queue between frames
  d.Frame();
  EXPECT_EQ(d.Int("got"), 2);
}

// A worker names the components its results are for by handle. One of them is freed between the
// posting and the drain: its deliveries do nothing (no delivery, no handler, no freed memory
// touched), the other's arrive with their component.
TEST(SessionMailbox, DeliveriesForAComponentFreedSincePostingDoNothing) {
  FrameDriver d(true);
  PageWriter main;
  main.Wait(NoResult(), Value(I(0)));
  PageWriter handler;
  handler.Calc(Inc("got")).Calc(Assign("snd", V("@Sender")));
  d.SetInt("got", 0);
  d.store.Declare("snd", PT_STR, TVarScope::Global);
  d.AddPage("main.ksb", main);
  d.AddPage("h.ksb", handler);
  d.callman.Start("main.ksb");
  d.Frame();
  TKovaBaseList& root = d.session.SceneRoot();
  TKovaObject* gone = root.CreateComponent(KT_BOX);
  gone->SetName("gone");
  TKovaObject* kept = root.CreateComponent(KT_BOX);
  kept->SetName("kept");
  const std::vector<TObjectHandle> targets{gone->Handle(), kept->Handle()};
  std::vector<std::string> reached;
  std::thread worker([&] {
    for (const TObjectHandle target : targets) {
      d.session.Mailbox().PostFor(target, [&reached](TTimerList&, TKovaObject& object) {
        reached.push_back(object.GetName());
      });
      d.session.Mailbox().Post([target](TTimerList& events) { events.AddEvent(target, "h.kss", nullptr, 0); });
    }
  });
  worker.join();
  root.DeleteComponent(gone);
  d.Frames(3);
  EXPECT_EQ(reached, std::vector<std::string>{"kept"});
  EXPECT_EQ(d.Int("got"), 1);
  EXPECT_EQ(d.Str("snd"), "kept");
}

#if defined(KOVA_THREAD_CHECKS)
TEST(SessionThreadsDeathTest, StepOffTheMainThreadIsRefused) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        FrameDriver d;
        std::thread other([&d] { d.session.Step(16); });
        other.join();
      },
      "off its main thread");
}
#endif

// A project whose screen no display can hold is a failed start with the display's message, not an
// error escaping the open.
TEST(SessionOpen, AnImpossibleScreenSizeIsAFailedStart) {
  for (const auto& [w, h] : {std::pair{100000, 100000}, std::pair{-5, 480}}) {
    SCOPED_TRACE(w);
    GameTree tree;
    ProjectBuilder p = TestGameProject();
    p.screen_width = w;
    p.screen_height = h;
    tree.WriteFile("game/kova.kpb", AsText(p.Build()));
    tree.WriteFile("game/install.dat", AsText(TestGameInstallSet()));
    tree.WriteFile("game/start.ksb", AsText(TestGamePages()["start.ksb"]));
    plat::THeadlessServices services;
    TSession session(services, TVrFileManagerOptions{{}, std::vector<std::string>{}});
    TLaunchInfo launch;
    launch.ProgramFolder = tree.Path("game") + "/";
    launch.Params = {tree.Path("game")};
    EXPECT_FALSE(session.Open(launch));
    EXPECT_EQ(session.StopReason(), TStopReason::FailedStart);
    EXPECT_FALSE(session.StopMessage().empty());
    EXPECT_FALSE(session.Step(16));
  }
}

TEST(Sessions, TwoInOneProcessShareNothing) {
  FrameDriver a, b;
  PageWriter ends;
  ends.Calc(Assign("x", I(1))).Terminate();
  PageWriter waits;
  waits.Calc(Assign("x", I(2))).Wait(NoResult(), Value(I(0)));
  a.SetInt("x", 0);
  b.SetInt("x", 0);
  a.AddPage("p.ksb", ends);
  b.AddPage("p.ksb", waits);
  a.store.Ports().tables.CreateTable("only-a", 0);
  a.store.Ports().random.seed(1);
  b.store.Ports().random.seed(1);
  a.callman.Start("p.ksb");
  b.callman.Start("p.ksb");
  a.Frames(2, 16);
  b.Frames(3, 10);
  EXPECT_EQ(a.session.StopReason(), TStopReason::Terminated);
  EXPECT_TRUE(b.session.Running());
  EXPECT_FALSE(b.callman.Stopped());
  EXPECT_EQ(a.Int("x"), 1);
  EXPECT_EQ(b.Int("x"), 2);
  EXPECT_EQ(a.session.Clock().GameClock, 16);
  EXPECT_EQ(b.session.Clock().GameClock, 30);
  EXPECT_EQ(b.store.Ports().tables.Count(), 0);
  EXPECT_EQ(a.services.headless_window.ClosePosts(), 1);
  EXPECT_EQ(b.services.headless_window.ClosePosts(), 0);
  // Each generator draws for its own session only.
  EXPECT_EQ(a.store.Ports().random(), b.store.Ports().random());
}

}  // namespace
}  // namespace kova::test
