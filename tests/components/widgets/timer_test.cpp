// The timer on the game clock: periods over known frames, catching up after a late frame one
// event at a time, delay 0 and below 0, pause, auto-scrap, the save record and a wrapping clock.
#include <climits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "components/widgets/kova_timer.h"
#include "core/stream_records.h"
#include "support/scene_driver.h"

namespace kova {
namespace {

using test::SceneDriver;

struct TimerScene : SceneDriver {
  TimerScene() { root.Factory().Register(KT_TIMER, &TComponentFactory::Make<TKovaTimer>); }
  TKovaTimer* NewTimer(int32_t delay, const std::string& handler = "tick") {
    auto* t = static_cast<TKovaTimer*>(root.CreateComponent(KT_TIMER));
    t->SetName("t");
    t->SetOnNotify(handler);
    t->SetDelay(delay);
    return t;
  }
  // Frames of `delta` ms; the number of timer events the interpreter saw (each frame takes and
  // finishes the events queued so far, unless `keep`).
  int Run(int frames, int32_t delta = 16, bool keep = false) {
    int events = 0;
    for (int i = 0; i < frames; ++i) events += int(Frame(delta, keep).size());
    return events;
  }
};

TEST(TimerTest, FiresOncePerPeriodOverKnownFrames) {
  TimerScene scene;
  scene.NewTimer(1000);
  // 200 frames of 16 ms are 3200 ms: periods end at 1000, 2000 and 3000 ms.
  EXPECT_EQ(scene.Run(200), 3);
  std::vector<std::string> seen;
  while ((seen = scene.Frame()).empty()) {
  }
  // Queued by the update at 4000 ms, taken by the next frame's script step.
  EXPECT_EQ(scene.clock, 4016);
  EXPECT_EQ(seen, std::vector<std::string>{"t 33 tick"});
}

TEST(TimerTest, ALateFrameQueuesOneEventAndTheMissedPeriodsFollow) {
  TimerScene scene;
  scene.NewTimer(100);
  std::vector<size_t> per_frame;
  scene.Frame(450);  // four whole periods in one frame: one event
  for (int i = 0; i < 6; ++i) per_frame.push_back(scene.Frame(16).size());
  // The first event is seen now; the periods ending at 200, 300, 400 and 500 ms follow one by one.
  EXPECT_EQ(per_frame, (std::vector<size_t>{1, 1, 1, 1, 1, 0}));
}

TEST(TimerTest, NeverASecondEventWhileOneIsQueuedOrBeingHandled) {
  TimerScene scene;
  scene.NewTimer(0);
  // Delay 0: every update whose previous event was handled (the fifth frame's waits).
  EXPECT_EQ(scene.Run(5), 4);
  // The handler does not return: the event stays in the queue and no other is added.
  scene.root.Events().Items(0)->Level = 1;
  for (int i = 0; i < 5; ++i) scene.Frame(16, /*keep=*/true);
  EXPECT_EQ(scene.root.Events().Count(), 1);
}

TEST(TimerTest, NegativeDelayNeverFiresAndAMissingHandlerQueuesNothing) {
  TimerScene scene;
  scene.NewTimer(-1);
  EXPECT_EQ(scene.Run(100, 50), 0);
  TimerScene silent;
  TKovaTimer* t = silent.NewTimer(10, "");
  EXPECT_EQ(silent.Run(5), 0);
  EXPECT_TRUE(t->Fired());
}

TEST(TimerTest, PausingRemovesTheWaitingEventAndRestartsThePeriod) {
  TimerScene scene;
  TKovaTimer* t = scene.NewTimer(100);
  scene.Run(7, 16, true);  // clock 112: the event waits
  ASSERT_EQ(scene.root.Events().Count(), 1);
  t->SetPaused(true);
  EXPECT_EQ(scene.root.Events().Count(), 0);
  EXPECT_EQ(scene.Run(20), 0);  // a paused timer is not updated
  t->SetPaused(false);
  EXPECT_EQ(t->LastTime(), scene.clock);
  EXPECT_EQ(scene.Run(6), 0);  // 96 ms of the new period
  EXPECT_EQ(scene.Run(2), 1);
  // Setting the same delay again also restarts the period.
  scene.Run(3);
  t->SetDelay(100);
  EXPECT_EQ(t->LastTime(), scene.clock);
}

TEST(TimerTest, AutoScrapFiresOnceAndGoesAfterItsEventWasHandled) {
  TimerScene scene;
  TKovaTimer* t = scene.NewTimer(50);
  t->SetAutoScrap(true);
  scene.Run(4, 16, true);  // clock 64: queued
  ASSERT_EQ(scene.root.Events().Count(), 1);
  scene.Frame(16, true);  // still waiting for its handler: the timer stays
  EXPECT_GE(scene.root.IndexOfComponent(t), 0);
  scene.root.Events().Clear();  // the handler ran
  scene.Frame();
  EXPECT_EQ(scene.root.FindComponent("t"), nullptr);
}

TEST(TimerTest, SaveRecordRoundTripsAndOldRecordsKeepTheirDefaults) {
  TimerScene scene;
  TKovaTimer* t = scene.NewTimer(250, "on_tick");
  scene.Run(20);
  ASSERT_TRUE(t->Fired());
  t->SetAutoScrap(true);
  TMemoryStream saved;
  t->SaveToStream(saved);

  scene.Run(3);
  auto* loaded = static_cast<TKovaTimer*>(scene.root.CreateComponent(KT_TIMER));
  saved.SetPosition(0);
  loaded->LoadFromStream(saved, 129);
  EXPECT_EQ(saved.GetPosition(), saved.Size());
  EXPECT_EQ(loaded->GetOnNotify(), "on_tick");
  EXPECT_EQ(loaded->GetDelay(), 250);
  EXPECT_TRUE(loaded->GetAutoScrap());
  EXPECT_TRUE(loaded->Fired());
  EXPECT_EQ(loaded->LastTime(), scene.clock);  // the period restarts at the load

  // A record of data version 103: name and priority only, then handler, delay and paused.
  TMemoryStream old;
  WriteStreamString(old, "old");
  WriteStreamInteger(old, 4);
  WriteStreamString(old, "h");
  WriteStreamInteger(old, 30);
  WriteStreamBool(old, true);
  old.SetPosition(0);
  auto* from_old = static_cast<TKovaTimer*>(scene.root.CreateComponent(KT_TIMER));
  from_old->LoadFromStream(old, 103);
  EXPECT_EQ(old.GetPosition(), old.Size());
  EXPECT_EQ(from_old->GetName(), "old");
  EXPECT_EQ(from_old->GetDelay(), 30);
  EXPECT_TRUE(from_old->GetPaused());
  EXPECT_FALSE(from_old->GetAutoScrap());
  EXPECT_FALSE(from_old->Fired());
}

TEST(TimerTest, PeriodsSurviveTheGameClockWrapping) {
  TimerScene scene;
  scene.root.SetClock(INT_MAX - 10, 16);
  TKovaTimer* t = scene.NewTimer(100);
  scene.root.SetClock(INT_MIN + 80, 16);  // 91 ms later
  t->Update();
  EXPECT_EQ(scene.root.Events().Count(), 0);
  scene.root.SetClock(INT_MIN + 89, 16);  // 100 ms later
  t->Update();
  EXPECT_EQ(scene.root.Events().Count(), 1);
  EXPECT_EQ(t->LastTime(), INT_MIN + 89);
}

}  // namespace
}  // namespace kova
