// A motion film played on a control: the end is reported once, repeats continue from the loop
// start, a moved control re-anchors a relative film, pauses hold the frame; and the control's
// reaction to the end (finishing, or the play-end event).
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "components/scene/kova_motion.h"
#include "support/scene_driver.h"

namespace kova {
namespace {

using test::SceneDriver;
using test::StubBox;

class FakeFilm : public ISceneFilm {
 public:
  FakeFilm(int32_t length, int32_t loop_start, bool relative) : length_(length), loop_(loop_start), relative_(relative) {}
  int32_t Length() const override { return length_; }
  int32_t LoopStart() const override { return loop_; }
  bool Relative() const override { return relative_; }
  void SetOrigin(int32_t x, int32_t y) override { origins.push_back(TPoint{x, y}); }
  void SetBasePriority(int32_t) override {}
  int32_t CurrentTick() const override { return tick_; }
  void SetTime(int32_t tick) override {
    tick_ = tick;
    times.push_back(tick);
  }
  std::vector<int32_t> times;
  std::vector<TPoint> origins;

 private:
  int32_t length_, loop_;
  bool relative_;
  int32_t tick_ = -1;
};

struct Played {
  TKovaMotion* motion;
  FakeFilm* film;
};

Played Play(StubBox& box, int32_t length, int32_t loop_start = 0, bool relative = false) {
  box.LoadMotion("walk.kmt");  // no film from the headless host
  auto film = std::make_unique<FakeFilm>(length, loop_start, relative);
  FakeFilm* raw = film.get();
  box.GetMotion()->SetFilm(std::move(film));
  return {box.GetMotion(), raw};
}

TEST(MotionTest, EndsOnceAndHoldsTheLastFrame) {
  SceneDriver scene;
  StubBox* box = scene.Box("b", TRect{0, 0, 4, 4});
  auto [motion, film] = Play(*box, 60);
  int ends = 0, end_step = -1;
  for (int step = 0; step < 90; ++step) {
    if (motion->Step(16)) {
      ++ends;
      end_step = step;
    }
  }
  EXPECT_EQ(ends, 1);
  // Steps 0 and 1 start the film; from step 2 on each adds 16 ms: tick 60 comes at 992 ms.
  EXPECT_EQ(end_step, 2 + 61);
  EXPECT_EQ(motion->Frame(), 59);
  EXPECT_EQ(film->times.back(), 59);
  EXPECT_TRUE(motion->Ended());
}

TEST(MotionTest, RepeatContinuesFromTheLoopStart) {
  SceneDriver scene;
  StubBox* box = scene.Box("b", TRect{0, 0, 4, 4});
  box->repeat = true;
  auto [motion, film] = Play(*box, 60, 10);
  for (int step = 0; step < 2 + 62; ++step) EXPECT_FALSE(motion->Step(16));
  // 62 steps of 16 ms = 992 ms = tick 60 (past the end): 60 mod 60 + 10.
  EXPECT_EQ(motion->Frame(), 10);
  EXPECT_EQ(motion->Elapsed(), 167);
  EXPECT_FALSE(motion->Ended());
}

TEST(MotionTest, EmptyRepeatingFilmHoldsWithoutDividing) {
  SceneDriver scene;
  StubBox* box = scene.Box("b", TRect{0, 0, 4, 4});
  box->repeat = true;
  auto [motion, film] = Play(*box, 0);
  for (int step = 0; step < 10; ++step) EXPECT_FALSE(motion->Step(16));
  EXPECT_TRUE(film->times.empty());
  EXPECT_EQ(motion->Frame(), 0);
}

TEST(MotionTest, PausedAnimationKeepsItsFrame) {
  SceneDriver scene;
  StubBox* box = scene.Box("b", TRect{0, 0, 4, 4});
  auto [motion, film] = Play(*box, 60);
  for (int step = 0; step < 10; ++step) motion->Step(16);
  const int32_t elapsed = motion->Elapsed();
  box->SetAniPaused(true);
  for (int step = 0; step < 10; ++step) motion->Step(16);
  EXPECT_EQ(motion->Elapsed(), elapsed);
  EXPECT_TRUE(box->GetAniPaused());
  EXPECT_FALSE(box->GetPlaying());
}

TEST(MotionTest, MovingTheControlReanchorsARelativeFilm) {
  SceneDriver scene;
  StubBox* box = scene.Box("b", TRect{5, 6, 9, 9});
  auto [motion, film] = Play(*box, 600, 0, true);
  motion->Step(16);
  motion->Step(16);
  EXPECT_EQ(film->origins, (std::vector<TPoint>{{5, 6}}));
  box->SetLeft(20);
  const size_t times = film->times.size();
  motion->Step(0);  // no time passes, but the frame is applied again at the new place
  EXPECT_EQ(film->origins.back(), (TPoint{20, 6}));
  EXPECT_EQ(film->times.size(), times + 1);
}

TEST(MotionTest, ControlFinishesOrQueuesPlayEndAndMotionResetsItsOffsets) {
  SceneDriver scene;
  StubBox* scrap = scene.Box("scrap", TRect{0, 0, 4, 4});
  scrap->auto_scrap = true;
  Play(*scrap, 1);
  StubBox* tell = scene.Box("tell", TRect{0, 0, 4, 4});
  tell->on_play_end = "ended";
  Play(*tell, 1);
  tell->SetMotionX(3);
  tell->SetOrder(2);
  std::vector<std::string> events;
  for (int f = 0; f < 4; ++f) {
    scene.Frame();
    // What the update pass queued.
    for (const std::string& e : scene.TakeEvents()) events.push_back(e);
  }
  EXPECT_EQ(events, (std::vector<std::string>{"tell 43 ended"}));
  EXPECT_EQ(scene.root.FindComponent("scrap"), nullptr);
  EXPECT_NE(scene.root.FindComponent("tell"), nullptr);
  scene.Frame();
  EXPECT_EQ(tell->GetPlaying(), false);
  tell->LoadMotion("again.kmt");  // replaces the old motion, which resets the offsets
  EXPECT_EQ(tell->GetMotionX(), 0);
  EXPECT_EQ(tell->Order(), 0);
}

}  // namespace
}  // namespace kova
