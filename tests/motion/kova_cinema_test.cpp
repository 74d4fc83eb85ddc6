#include "motion/kova_cinema.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "components/scene/kova_film_layers.h"
#include "core/errors.h"
#include "core/stream.h"
#include "core/stream_records.h"
#include "motion/film_manager.h"
#include "motion/motion_subsystem.h"
#include "support/film_writer.h"
#include "support/picture_fixtures.h"
#include "support/scene_driver.h"

namespace kova {
namespace {

using test::FilmBox;
using test::FilmWipe;
using test::FilmWriter;

// A film of `length` ticks: one box track; `color` its background.
std::vector<uint8_t> BoxFilm(int32_t length, int32_t color = 0, int32_t loop_start = 0) {
  FilmWriter w;
  w.width = 32;
  w.height = 24;
  w.color = color;
  w.loop_start = loop_start;
  FilmBox box;
  box.base.duration = length;
  box.rect.width_start = box.rect.width_end = 8;
  box.rect.height_start = box.rect.height_end = 8;
  box.alpha_start = box.alpha_end = 255;
  box.color_start = box.color_end = 0x0000FF;
  w.Add(box);
  return w.Bytes();
}

class CinemaTest : public ::testing::Test {
 protected:
  CinemaTest() { scene.globals.Kinds().Register(KT_CINEMA, &TComponentFactory::Make<TKovaCinema>); }

  TKovaCinema* Make(const std::string& source = "") {
    auto* c = static_cast<TKovaCinema*>(scene.root.CreateComponent(KT_CINEMA));
    c->SetName("cinema");
    c->SetParent(scene.root.ActiveBase());
    if (!source.empty()) c->SetSource(source);
    return c;
  }
  // Frames until the cinema shows a tick other than `tick` (at most `limit`).
  void Frames(int n) {
    for (int i = 0; i < n; ++i) scene.Frame();
  }

  test::MemoryPictures files;
  test::SceneDriver scene{test::SceneWiring{.pictures = &files}};
};

TEST_F(CinemaTest, LoadsTheFilmOnceAndAMissingOneLeavesNone) {
  files.Add("a.kmt", BoxFilm(120));
  // The player's logo film has another extension: the content decides.
  files.Add("logo.kcm", BoxFilm(50));
  TKovaCinema* c = Make("a.kmt");
  ASSERT_NE(c->Film(), nullptr);
  EXPECT_EQ(c->GetCount(), 120);
  EXPECT_EQ(c->GetWidth(), 32);  // the private root took the film's size
  Frames(10);
  const int32_t time = c->Time();
  EXPECT_GT(time, 0);
  c->SetSource("a.kmt");  // the same name only invalidates
  EXPECT_EQ(c->Time(), time);
  EXPECT_EQ(files.Reads("a.kmt"), 1);
  c->SetSource("logo.kcm");
  EXPECT_EQ(c->GetCount(), 50);
  EXPECT_EQ(c->Time(), 0);
  c->SetSource("missing.kmt");
  EXPECT_EQ(c->Film(), nullptr);
  EXPECT_EQ(c->GetCount(), 0);
  EXPECT_EQ(c->GetIndex(), 0);
  EXPECT_FALSE(c->GetPlaying());
  Frames(2);  // nothing to play
}

TEST_F(CinemaTest, ABrokenFilmRaisesTheReadErrorAndLeavesNoFilm) {
  std::vector<uint8_t> bytes = BoxFilm(10);
  bytes.resize(20);  // the header and the width, then 3 bytes of the height
  files.Add("cut.kmt", bytes);
  TKovaCinema* c = Make();
  EXPECT_THROW(c->SetSource("cut.kmt"), EReadError);
  EXPECT_EQ(c->Film(), nullptr);
  Frames(1);
}

TEST_F(CinemaTest, WhereTheFilmPlays) {
  struct Case {
    const char* name;
    int32_t color;
    bool wipe, other_layer;
    bool on_private_root;
  };
  for (const Case& k : {Case{"background", 0x102030, false, false, true},
                        Case{"transparent", -1, false, false, false},
                        Case{"transparent with a wipe", -1, true, false, true},
                        Case{"transparent on the other layer", -1, false, true, true}}) {
    SCOPED_TRACE(k.name);
    FilmWriter w;
    w.width = 40;
    w.height = 30;
    w.color = k.color;
    if (k.wipe) {
      FilmWipe wipe;
      wipe.base.duration = 20;
      w.Add(wipe);
    } else {
      FilmBox box;
      box.base.duration = 20;
      box.base.other_layer = k.other_layer;
      w.Add(box);
    }
    files.Add("f.kmt", w.Bytes());
    TKovaCinema* c = Make("f.kmt");
    ASSERT_NE(c->Film(), nullptr);
    EXPECT_EQ(c->GetWidth(), 40);
    EXPECT_EQ(c->GetHeight(), 30);
    if (k.on_private_root) {
      EXPECT_EQ(c->Film()->Owner(), &c->PrivateRoot());
      EXPECT_EQ(c->Film()->Target(), nullptr);
    } else {
      EXPECT_EQ(c->Film()->Owner(), &scene.root);
      EXPECT_EQ(c->Film()->Target(), c);
    }
    Frames(3);
    scene.root.DeleteComponent(c);
  }
}

TEST_F(CinemaTest, SeekingWaitsTwoFramesBeforeTheTimeAdvances) {
  files.Add("a.kmt", BoxFilm(120));
  TKovaCinema* c = Make("a.kmt");
  c->SetIndex(1);
  EXPECT_EQ(c->Time(), 16);  // truncated
  c->SetIndex(60);
  EXPECT_EQ(c->Time(), 1000);
  EXPECT_EQ(c->StartFrames(), 2);
  scene.Frame();
  EXPECT_EQ(c->GetIndex(), 60);
  EXPECT_EQ(c->Time(), 1000);
  scene.Frame();
  EXPECT_EQ(c->Time(), 1000);
  scene.Frame();
  EXPECT_EQ(c->Time(), 1016);
  EXPECT_EQ(c->GetIndex(), 61);  // 60.96 rounded
  EXPECT_TRUE(c->GetPlaying());
}

TEST_F(CinemaTest, RepeatGoesBackToTheLoopStart) {
  files.Add("a.kmt", BoxFilm(120, 0, 30));
  TKovaCinema* c = Make("a.kmt");
  c->SetRepeat(true);
  c->SetIndex(119);  // 1983 ms
  Frames(2);
  EXPECT_EQ(c->GetIndex(), 119);
  scene.Frame();  // 1999 ms: tick 120, past the end
  EXPECT_EQ(c->GetIndex(), 30);
  EXPECT_EQ(c->Time(), 500);
  EXPECT_FALSE(c->Ended());
}

TEST_F(CinemaTest, TheEndQueuesThePlayEndEventUntilRepeatRestartsIt) {
  files.Add("a.kmt", BoxFilm(10));
  TKovaCinema* c = Make("a.kmt");
  c->SetOnPlayEnd("done");
  int ends = 0;
  for (int i = 0; i < 14; ++i) {
    for (const std::string& e : scene.Frame()) ends += e == "cinema " + std::to_string(PR_ONPLAYEND) + " done";
  }
  EXPECT_TRUE(c->Ended());
  EXPECT_EQ(c->GetIndex(), 9);
  EXPECT_FALSE(c->GetPlaying());
  // The end is reported in every frame it lasts (from the 11th frame's update on).
  EXPECT_GE(ends, 2);
  const int32_t time = c->Time();
  scene.Frame();
  EXPECT_EQ(c->Time(), time);  // an ended film's time stands still
  c->SetRepeat(true);
  EXPECT_FALSE(c->Ended());
}

TEST_F(CinemaTest, AutoScrapFreesTheCinemaWithoutAnEvent) {
  files.Add("a.kmt", BoxFilm(4));
  TKovaCinema* c = Make("a.kmt");
  c->SetOnPlayEnd("done");
  c->SetAutoScrap(true);
  std::vector<std::string> events;
  for (int i = 0; i < 10 && scene.root.Contains(c); ++i) {
    for (const std::string& e : scene.Frame()) events.push_back(e);
  }
  EXPECT_FALSE(scene.root.Contains(c));
  EXPECT_TRUE(events.empty());
}

TEST_F(CinemaTest, VolumePauseAndAnimationPause) {
  files.Add("a.kmt", BoxFilm(120));
  TKovaCinema* c = Make("a.kmt");
  c->SetVolume(-5);
  EXPECT_EQ(c->GetVolume(), 0);
  EXPECT_EQ(c->Film()->MasterVolume, 0);
  c->SetVolume(700);
  EXPECT_EQ(c->Film()->MasterVolume, 700);

  c->SetPaused(true);
  EXPECT_TRUE(c->Film()->Paused);
  EXPECT_FALSE(c->GetPlaying());
  c->SetPaused(false);
  EXPECT_FALSE(c->Film()->Paused);

  // Animation pause: the time stands still and the sounds are off, but the tick is still set.
  c->SetAniPaused(true);
  EXPECT_TRUE(c->Film()->Paused);
  c->SetIndex(60);
  Frames(5);
  EXPECT_EQ(c->Time(), 1000);
  EXPECT_EQ(c->GetIndex(), 60);
  EXPECT_FALSE(c->Film()->SoundEnabled);
  EXPECT_FALSE(c->GetPlaying());
  c->SetAniPaused(false);
  scene.Frame();
  EXPECT_TRUE(c->Film()->SoundEnabled);
  EXPECT_EQ(c->Time(), 1016);
}

TEST_F(CinemaTest, DrawsTheFilmIntoItsRectangleAndHitsItsOwnChildrenOnly) {
  files.Add("a.kmt", BoxFilm(60, 0x00FF00));
  TKovaCinema* c = Make("a.kmt");
  c->SetLeft(10);
  c->SetTop(8);
  Frames(3);
  // The film's background fills the cinema's rectangle, nothing beside it.
  EXPECT_EQ(scene.Pixel(12, 30), scene.PixelOf(0x00FF00));
  EXPECT_NE(scene.Pixel(9, 8), scene.PixelOf(0x00FF00));
  EXPECT_NE(scene.Pixel(42, 8), scene.PixelOf(0x00FF00));

  c->SetIgnoreMouse(0);
  EXPECT_EQ(c->HitTest(TPoint{12, 10}, kMaskLeftPress), c);
  EXPECT_EQ(c->HitTest(TPoint{50, 10}, kMaskLeftPress), nullptr);
  test::StubBox* child = scene.Box("child", TRect{0, 0, 4, 4}, c);
  EXPECT_EQ(c->HitTest(TPoint{11, 9}, kMaskLeftPress), child);
  child->StoreName("\x01hidden");
  EXPECT_EQ(c->HitTest(TPoint{11, 9}, kMaskLeftPress), c);
  c->RecreateDIB();
  scene.Frame();
}

// The object and control forms of data version `version`, for a control without children.
void WriteControlForm(TStream& s, int32_t version) {
  WriteStreamString(s, "old");
  WriteStreamInteger(s, 0);                          // priority
  if (version >= 104) WriteStreamInteger(s, 0);      // order
  if (version >= 120) WriteStreamString(s, "");      // tag
  for (int32_t v : {4, 6, 32, 24, 0, 0}) WriteStreamInteger(s, v);  // left .. offset Y
  WriteStreamBool(s, false);                         // position-zoomed
  if (version >= 104) {
    for (int i = 0; i < 4; ++i) WriteStreamInteger(s, 0);  // clip
    WriteStreamBool(s, false);                               // animation pause
  }
  WriteStreamBool(s, true);  // visible
  WriteStreamInteger(s, 0);
  WriteStreamRect(s, TRect{0, 0, 1, 1});
  WriteStreamByte(s, 0);                                      // mouse-ignore mode
  WriteStreamString(s, "");                                   // cursor
  const int handlers = version >= 102 ? 9 : 8;
  for (int i = 0; i < handlers; ++i) WriteStreamString(s, "");
  if (version >= 118) {
    WriteStreamBool(s, false);
    for (int i = 0; i < 5; ++i) WriteStreamString(s, "");
  }
  WriteStreamInteger(s, 0);  // no children
}

TEST_F(CinemaTest, SaveRecordRoundTripAndItsVersionGates) {
  files.Add("a.kmt", BoxFilm(120));
  TKovaCinema* c = Make("a.kmt");
  c->SetRepeat(true);
  c->SetOnPlayEnd("end");
  c->SetOnIdle("idle");
  c->SetVolume(600);
  c->SetIndex(45);
  scene.Frame();
  TMemoryStream saved;
  c->SaveToStream(saved);
  saved.SetPosition(0);
  TKovaCinema* loaded = Make();
  loaded->LoadFromStream(saved, 129);
  EXPECT_EQ(saved.GetPosition(), saved.Size());
  EXPECT_EQ(loaded->GetSource(), "a.kmt");
  EXPECT_TRUE(loaded->GetRepeat());
  EXPECT_EQ(loaded->GetOnPlayEnd(), "end");
  EXPECT_EQ(loaded->GetOnIdle(), "idle");
  EXPECT_EQ(loaded->GetVolume(), 600);
  EXPECT_EQ(loaded->Time(), 750);  // tick 45
  scene.Frame();
  EXPECT_EQ(loaded->GetIndex(), 45);
  TMemoryStream again;
  loaded->SaveToStream(again);
  EXPECT_EQ(std::vector<uint8_t>(again.Bytes().begin(), again.Bytes().end()),
            std::vector<uint8_t>(saved.Bytes().begin(), saved.Bytes().end()));

  struct Case {
    int32_t version;
    bool rewind, mute;
    int32_t time, volume;
    std::string on_idle;
  };
  for (const Case& k : {Case{129, false, false, 1000, 500, "i"}, Case{129, true, false, 0, 500, "i"},
                        Case{129, false, true, 1000, 0, "i"}, Case{117, false, true, 1000, 1000, "i"},
                        Case{116, false, false, 0, 1000, "i"}, Case{103, false, false, 0, 1000, ""}}) {
    SCOPED_TRACE(k.version);
    TMemoryStream s;
    WriteControlForm(s, k.version);
    WriteStreamString(s, "a.kmt");
    WriteStreamBool(s, false);  // repeat
    WriteStreamBool(s, false);  // paused
    WriteStreamBool(s, false);  // auto-scrap
    WriteStreamString(s, "");
    if (k.version >= 104) WriteStreamString(s, "i");
    if (k.version >= 117) {
      WriteStreamInteger(s, 60);
      WriteStreamBool(s, k.rewind);
    }
    if (k.version >= 129) {
      WriteStreamInteger(s, 500);
      WriteStreamBool(s, k.mute);
    }
    s.SetPosition(0);
    TKovaCinema* old = Make();
    old->LoadFromStream(s, k.version);
    EXPECT_EQ(s.GetPosition(), s.Size());
    EXPECT_EQ(old->Time(), k.time);
    EXPECT_EQ(old->GetVolume(), k.volume);
    EXPECT_EQ(old->Film()->MasterVolume, k.volume);
    EXPECT_EQ(old->GetOnIdle(), k.on_idle);
    EXPECT_FALSE(old->GetMuteOnLoad() && k.version < 129);
  }
}

TEST_F(CinemaTest, TheMotionSubsystemBringsTheCinemaKind) {
  // The Cinema command creates its component by kind: the kind comes with the subsystem.
  TComponentFactory kinds;
  TSubsystemRegistry registry;
  registry.kinds = &kinds;
  TMotionSubsystem motion(scene.root, TWipeEnv{});
  motion.Register(registry);
  ASSERT_TRUE(kinds.Has(KT_CINEMA));
  TKovaObject* made = kinds.Create(&scene.root, KT_CINEMA);
  EXPECT_NE(dynamic_cast<TKovaCinema*>(made), nullptr);
  scene.root.DeleteComponent(made);
}

}  // namespace
}  // namespace kova
