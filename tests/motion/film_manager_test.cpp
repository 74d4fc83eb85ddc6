// The film manager on a real headless root container: the clock reaching the tracks, the wipe
// tracks run through the root's flip (layers 0 -> 1 -> 0, seeking into a wipe), the initial state
// given to the owner, and controls' motion films loaded from ".kmt" files.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "components/scene/kova_motion.h"
#include "components/widgets/kova_box.h"
#include "core/errors.h"
#include "motion/film_manager.h"
#include "motion/film_tracks.h"
#include "motion/motion_film.h"
#include "motion/motion_subsystem.h"
#include "support/film_writer.h"
#include "support/picture_fixtures.h"
#include "support/scene_driver.h"

namespace kova {
namespace {

using test::FilmWriter;

// Transitions that write what is asked of them into one log.
struct WipeLog {
  std::vector<std::string> lines;
};

class LoggedWipe : public ISceneWipe {
 public:
  LoggedWipe(WipeLog& log, int32_t length) : log_(log), length_(length) {}
  int32_t GetLength() const override { return length_; }
  void SetPosition(int32_t p) override { log_.lines.push_back("pos " + std::to_string(p)); }
  int32_t GetParam(int32_t) const override { return 0; }
  void SetParam(int32_t i, int32_t v) override {
    log_.lines.push_back("param " + std::to_string(i) + "=" + std::to_string(v));
  }
  void SetMaskName(std::string name) override { log_.lines.push_back("mask " + name); }
  void Prepare() override { log_.lines.push_back("prepare"); }
  bool Step() override { return false; }
  TRect UpdateArea() const override { return {}; }

 private:
  WipeLog& log_;
  int32_t length_;
};

class LoggedMakers : public ISceneMakers {
 public:
  explicit LoggedMakers(WipeLog& log) : log_(log) {}
  std::unique_ptr<ISceneFilm> LoadFilm(const std::string&, TKovaControl&) override { return nullptr; }
  std::unique_ptr<ISceneWipe> CreateWipe(int32_t kind, TCustomDIBX&, TCustomDIBX&, TCustomDIBX&, int32_t length,
                                         bool reverse) override {
    log_.lines.push_back("wipe " + std::to_string(kind) + " len " + std::to_string(length) +
                         (reverse ? " reverse" : ""));
    return std::make_unique<LoggedWipe>(log_, length);
  }

 private:
  WipeLog& log_;
};

struct WipeScene : test::SceneDriver {
  WipeScene() { globals.Makers().Register(makers); }
  WipeLog log;
  LoggedMakers makers{log};
};

// Wipe A covers ticks 10-19 (kind 5, its parameters and mask), wipe B ticks 30-39 (kind 6,
// reversed); a box track lasts the whole film.
std::vector<uint8_t> TwoWipes() {
  FilmWriter w;
  test::FilmWipe a;
  a.base.start = 10;
  a.base.duration = 10;
  a.wipe_kind = 5;
  a.param0 = 7;
  a.param1 = 3;
  a.mask_name = "m.wxa";
  w.Add(a);
  test::FilmWipe b;
  b.base.start = 30;
  b.base.duration = 10;
  b.wipe_kind = 6;
  b.reverse = true;
  w.Add(b);
  test::FilmBox box;
  box.base.duration = 50;
  w.Add(box);
  return w.Bytes();
}

TEST(FilmManagerTest, TwoWipesRunTheLayersZeroOneZero) {
  WipeScene scene;
  TFilmManager film;
  film.SetOwner(&scene.root);
  film.LoadFromStream(TwoWipes(), "f\\a.kmt");
  EXPECT_TRUE(film.NeedsOwnLayers());
  EXPECT_EQ(film.GetLength(), 50);
  struct Step {
    int32_t tick;
    int32_t layer;
    bool running;
    std::vector<std::string> log;
  } steps[] = {
      {0, 0, false, {}},
      {9, 0, false, {}},
      {10, 0, true, {"wipe 5 len 10", "pos 0", "param 0=7", "param 1=3", "mask f\\m.wxa", "prepare"}},
      {15, 0, true, {"pos 5"}},
      {19, 0, true, {"pos 9"}},
      {20, 1, false, {}},
      {25, 1, false, {}},
      {30, 1, true, {"wipe 6 len 10 reverse", "pos 0", "param 0=0", "param 1=0", "mask ", "prepare"}},
      {39, 1, true, {"pos 9"}},
      {40, 0, false, {}},
      {49, 0, false, {}},
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.tick);
    scene.log.lines.clear();
    film.SetTime(s.tick);
    EXPECT_EQ(film.Tick, s.tick);
    EXPECT_EQ(scene.root.ActiveIndex(), s.layer);
    EXPECT_EQ(scene.root.Transition() != nullptr, s.running);
    EXPECT_EQ(scene.log.lines, s.log);
  }
}

TEST(FilmManagerTest, SeekingIntoAWipeStartsItAtItsPosition) {
  WipeScene scene;
  TFilmManager film;
  film.SetOwner(&scene.root);
  film.LoadFromStream(TwoWipes(), "a.kmt");
  film.SetTime(0);
  film.SetTime(34);
  EXPECT_EQ(scene.log.lines.at(0), "wipe 6 len 10 reverse");
  EXPECT_EQ(scene.log.lines.at(1), "pos 4");
  EXPECT_EQ(scene.root.ActiveIndex(), 1);
  // Back into the first wipe: a new transition again, from layer 0.
  scene.log.lines.clear();
  film.SetTime(12);
  EXPECT_EQ(scene.log.lines.at(0), "wipe 5 len 10");
  EXPECT_EQ(scene.root.ActiveIndex(), 0);
}

TEST(FilmManagerTest, AFilmWithATargetOrInMotionModeRunsNoTransition) {
  WipeScene scene;
  test::StubBox* target = scene.Box("t", TRect{0, 0, 4, 4});
  for (bool motion : {false, true}) {
    TFilmManager film;
    film.SetOwner(&scene.root);
    if (motion) {
      film.SetMotion(target, 0);
    } else {
      film.SetTarget(target);
    }
    film.LoadFromStream(TwoWipes(), "a.kmt");
    film.SetTime(15);
    EXPECT_TRUE(scene.log.lines.empty());
    EXPECT_EQ(scene.root.ActiveIndex(), 0);
  }
}

TEST(FilmManagerTest, TheOwnerTakesTheFilmsSizeAndColourUnlessItDrawsATarget) {
  WipeScene scene;
  FilmWriter w;
  w.width = 40;
  w.height = 30;
  w.color = 0x112233;
  test::FilmBox box;
  box.base.other_layer = true;
  w.Add(box);
  TFilmManager film;
  film.SetOwner(&scene.root);
  film.LoadFromStream(w.Bytes(), "a.kmt");
  EXPECT_TRUE(film.NeedsOwnLayers());
  film.SetTarget(scene.Box("t", TRect{0, 0, 4, 4}));
  film.ApplyInitialState();
  EXPECT_EQ(scene.root.GetWidth(), 64);
  film.SetTarget(nullptr);
  film.ApplyInitialState();
  EXPECT_EQ(scene.root.GetWidth(), 40);
  EXPECT_EQ(scene.root.GetHeight(), 30);
  EXPECT_EQ(scene.root.Bases(0)->GetColor(), 0x112233);
  EXPECT_EQ(scene.root.Bases(1)->GetColor(), 0x112233);
}

TEST(FilmManagerTest, PausingReachesTheTracksAndClearResetsTheFilmFields) {
  FilmWriter w(108, "KovaMotion");
  w.relative = true;
  w.origin = {3, 4};
  w.loop_start = 9;
  test::FilmSound sound;
  w.Add(sound);
  test::FilmBox box;
  box.base.start = 2;
  w.Add(box);
  TFilmManager film;
  film.LoadFromStream(w.Bytes(), "a.kmt");
  EXPECT_FALSE(film.NeedsOwnLayers());
  EXPECT_EQ(film.FirstTrackAtZero(), film.GetTrack(0));
  film.SetPaused(true);
  EXPECT_TRUE(film.GetTrack(0)->GetPaused());
  film.SetPaused(false);
  EXPECT_FALSE(film.GetTrack(0)->GetPaused());
  EXPECT_EQ(film.GetTrack(2), nullptr);
  EXPECT_EQ(film.GetTrack(-1), nullptr);
  film.Clear();
  EXPECT_EQ(film.Count(), 0);
  EXPECT_FALSE(film.Relative());
  EXPECT_EQ(film.LoopStart, 0);
  EXPECT_EQ(film.Origin(), TPoint{});
}

// A box with a ".kmt" source loads its film through the motion subsystem's LoadFilm.
struct MotionScene {
  MotionScene() : scene(test::SceneWiring{.pictures = &files}), motion(scene.root, TWipeEnv{}) {
    scene.globals.Makers().Register(motion);
    scene.root.Factory().Register(KT_BOX, &TComponentFactory::Make<TKovaBox>);
  }
  TKovaBox* NewBox(TRect r) {
    auto* box = static_cast<TKovaBox*>(scene.root.CreateComponent(KT_BOX));
    box->SetName("b");
    box->SetParent(scene.root.ActiveBase());
    box->SetBounds(r.Left, r.Top, r.Width(), r.Height());
    return box;
  }
  test::MemoryPictures files;
  test::SceneDriver scene;
  TMotionSubsystem motion;
};

TEST(FilmManagerTest, AControlsMotionFileLoadsAMotionModeFilm) {
  MotionScene s;
  FilmWriter w(106, "KovaMotion");
  w.relative = true;
  w.loop_start = 5;
  test::FilmBox box;
  box.base.start = 2;
  box.base.duration = 20;
  w.Add(box);
  s.files.Add("anim\\move.kmt", w.Bytes());
  TKovaBox* target = s.NewBox(TRect{8, 6, 12, 10});
  target->SetSource("anim\\move.kmt");
  ASSERT_NE(target->GetMotion(), nullptr);
  auto* film = dynamic_cast<TMotionFilm*>(target->GetMotion()->Film());
  ASSERT_NE(film, nullptr);
  EXPECT_EQ(film->Length(), 44);
  EXPECT_EQ(film->LoopStart(), 10);
  EXPECT_TRUE(film->Relative());
  TFilmManager& manager = film->Film();
  EXPECT_TRUE(manager.MotionMode());
  EXPECT_EQ(manager.Control(), target);
  EXPECT_EQ(manager.Owner(), &s.scene.root);
  // The motion's steps give the film the control's place as its origin and reach its tracks.
  for (int i = 0; i < 3; ++i) s.scene.Frame();
  EXPECT_EQ(manager.Origin(), (TPoint{8, 6}));
  EXPECT_EQ(film->CurrentTick(), manager.Tick);
  EXPECT_GT(film->CurrentTick(), 0);
}

TEST(FilmManagerTest, AMissingMotionFileGivesNoFilmAndAMalformedOneRaises) {
  MotionScene s;
  TKovaBox* target = s.NewBox(TRect{0, 0, 4, 4});
  EXPECT_EQ(s.motion.LoadFilm("none.kmt", *target), nullptr);
  s.files.Add("bad.kmt", FilmWriter().Bytes(3));
  EXPECT_THROW(s.motion.LoadFilm("bad.kmt", *target), EReadError);
  // Neither signature: an empty film, which shows nothing.
  s.files.Add("other.kmt", std::vector<uint8_t>{'x'});
  std::unique_ptr<ISceneFilm> empty = s.motion.LoadFilm("other.kmt", *target);
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty->Length(), 0);
}

// Every kind that takes a ".kmt" source plays it on itself: after a few frames the film's box
// track has moved the control by its motion offset.
TEST(FilmManagerTest, EveryKindWithAMotionSourceIsMovedByItsFilm) {
  for (uint8_t kind : {KT_BOX, KT_BUTTON, KT_TILE, KT_LABEL, KT_IMAGES}) {
    SCOPED_TRACE(int(kind));
    MotionScene s;
    RegisterSceneKinds(s.scene.globals.Kinds());
    FilmWriter w(108, "KovaMotion");
    test::FilmBox box;
    box.base.duration = 31;
    box.rect.pos_start = {0, 0};
    box.rect.pos_end = {30, 60};
    box.rect.width_start = box.rect.width_end = 6;
    box.rect.height_start = box.rect.height_end = 4;
    w.Add(box);
    s.files.Add("m.kmt", w.Bytes());
    auto* control = dynamic_cast<TKovaControl*>(s.scene.root.CreateComponent(kind));
    ASSERT_NE(control, nullptr);
    control->SetName("c");
    control->SetParent(s.scene.root.ActiveBase());
    control->SetSource("m.kmt");
    ASSERT_NE(control->GetMotion(), nullptr);
    ASSERT_NE(control->GetMotion()->Film(), nullptr);
    EXPECT_EQ(control->GetMotion()->FrameCount(), 31);
    for (int i = 0; i < 12; ++i) s.scene.Frame();
    EXPECT_GT(control->GetMotionX(), 0);
    EXPECT_EQ(control->GetMotionY(), control->GetMotionX() * 2);
  }
}

}  // namespace
}  // namespace kova
