// The sound component over fake media managers: the manager of a source, the item's level, the
// fades, the scrap rename, stop, the end, repeat, balance, measuring, and save and load.
#include "media/kova_sound.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/stream.h"
#include "core/stream_records.h"
#include "media/media_item.h"
#include "media/media_layer.h"
#include "motion/film_manager.h"
#include "support/film_writer.h"
#include "support/fake_script_host.h"
#include "support/scene_driver.h"

namespace kova {
namespace {

using test::FakeScriptHost;
using test::SceneDriver;

// An item whose state the test sets and reads; it reports its end while `end` is set.
class FakeItem : public TDMediaItem {
 public:
  FakeItem(TMediaManager& owner, bool midi, int32_t len) : TDMediaItem(owner), midi(midi), len(len) {}
  void SetAutoRepeat(bool v) override { auto_repeat = v; }
  int32_t GetVol() override { return vol; }
  void SetVol(int32_t v) override { vol = v; }
  void SetPan(int32_t v) override { pan = v; }
  int32_t GetPosition() override { return pos; }
  void SetPosition(int32_t v) override {
    pos = v;
    ++seeks;
  }
  int32_t GetLen() override { return len; }
  bool IsEnd() override { return end; }
  bool IsPlaying() override { return playing; }
  void Play() override { playing = true; }
  void Pause() override { playing = false; }
  bool IsMidi() const override { return midi; }

  bool midi;
  int32_t len;
  int32_t vol = 0, pan = 0, pos = 0, seeks = 0;
  bool auto_repeat = false, end = false, playing = false;
};

class FakeManager : public TMediaManager {
 public:
  explicit FakeManager(bool midi) : midi_(midi) {}
  FakeItem* Last() const { return Items().empty() ? nullptr : static_cast<FakeItem*>(Items().back().get()); }
  std::vector<std::string> added;
  int32_t length = 10000;

 protected:
  std::unique_ptr<TDMediaItem> CreateItem(const std::string& name) override {
    added.push_back(name);
    return std::make_unique<FakeItem>(*this, midi_, length);
  }

 private:
  bool midi_;
};

constexpr int32_t kVersion = 129;

class SoundTest : public ::testing::Test {
 protected:
  SoundTest() {
    host.project_files = {"a.ogg", "b.WAV", "c.wma", "d.asf", "e.wmv", "f.mid", "g.SGT", "h.mp3", "other.ogg"};
    RegisterSoundKind(scene.globals.Kinds(), media);
    for (TMediaKind kind : {TMediaKind::Wmp, TMediaKind::Ogg, TMediaKind::Cdda, TMediaKind::Midi}) {
      auto manager = std::make_unique<FakeManager>(kind == TMediaKind::Midi);
      managers[size_t(kind)] = manager.get();
      media.Install(kind, std::move(manager));
    }
  }

  FakeManager& Manager(TMediaKind kind) { return *managers[size_t(kind)]; }
  TKovaSound* Sound(const std::string& name, const std::string& source) {
    auto* sound = static_cast<TKovaSound*>(scene.root.CreateComponent(KT_SOUND));
    sound->SetName(name);
    sound->SetSource(source);
    return sound;
  }
  FakeItem* Item(const TKovaSound* sound) { return static_cast<FakeItem*>(sound->Item()); }
  // Frames of 16 ms until `ms` have passed.
  std::vector<std::string> Run(int32_t ms) {
    std::vector<std::string> events;
    for (int32_t t = 0; t < ms; t += 16) {
      for (std::string& e : scene.Frame(16)) events.push_back(std::move(e));
    }
    return events;
  }
  bool Alive(const TKovaObject* c) { return scene.root.Contains(c) && !scene.root.IsPendingDelete(c); }

  FakeScriptHost host;
  TParamCollection store{host.Ports(), &host.Interpreter()};
  TMediaLayer media;
  SceneDriver scene{test::SceneWiring{.store = &store}};
  std::array<FakeManager*, kMediaKinds> managers{};
};

TEST_F(SoundTest, TheSourcesExtensionChoosesTheManager) {
  struct Case {
    const char* source;
    int kind;  // -1: no item anywhere
  };
  const Case cases[] = {
      {"f.mid", int(TMediaKind::Midi)}, {"g.SGT", int(TMediaKind::Midi)}, {"c.wma", int(TMediaKind::Wmp)},
      {"d.asf", int(TMediaKind::Wmp)},  {"e.wmv", int(TMediaKind::Wmp)},  {"a.ogg", int(TMediaKind::Ogg)},
      {"b.WAV", int(TMediaKind::Ogg)},  {"CD_3", int(TMediaKind::Cdda)},  {"h.mp3", -1},
      {"missing.ogg", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.source);
    TKovaSound* sound = Sound("s", c.source);
    sound->SetPlayState(TKovaSound::kPlay);
    for (TMediaKind kind : {TMediaKind::Wmp, TMediaKind::Ogg, TMediaKind::Cdda, TMediaKind::Midi}) {
      EXPECT_EQ(Manager(kind).Items().size(), size_t(int(kind) == c.kind ? 1 : 0));
    }
    EXPECT_EQ(sound->Item() != nullptr, c.kind >= 0);
    sound->SetPlayState(TKovaSound::kStopped);
    scene.Frame();
  }
  // An absent manager plays nothing.
  media.Install(TMediaKind::Midi, nullptr);
  TKovaSound* sound = Sound("s", "f.mid");
  sound->SetPlayState(TKovaSound::kPlay);
  EXPECT_EQ(sound->Item(), nullptr);
}

TEST_F(SoundTest, TheVolumeBecomesTheItemsLevel) {
  struct Case {
    int32_t volume;
    bool midi;
    int32_t level;
  };
  const Case cases[] = {{0, false, -10000}, {1, false, -4995}, {1, true, -9990}, {500, false, -2500},
                        {1000, false, 0},   {1200, false, 0},   {1200, true, 0},   {-3, true, -10000}};
  TKovaSound* stream = Sound("s", "a.ogg");
  TKovaSound* midi = Sound("m", "f.mid");
  stream->SetPlayState(TKovaSound::kPlay);
  midi->SetPlayState(TKovaSound::kPlay);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.volume);
    TKovaSound* sound = c.midi ? midi : stream;
    sound->SetVolume(c.volume);
    EXPECT_EQ(Item(sound)->vol, c.level);
    EXPECT_EQ(TKovaSound::ItemLevel(c.volume, c.midi), c.level);
  }
}

TEST_F(SoundTest, AFadeInWithoutDelayPlaysAtOnceAtFullLevel) {
  TKovaSound* sound = Sound("s", "a.ogg");
  sound->SetBalance(-300);
  sound->SetPlayState(TKovaSound::kFadeIn);
  EXPECT_EQ(sound->GetPlayState(), TKovaSound::kPlay);
  EXPECT_EQ(sound->Fader(), nullptr);
  ASSERT_NE(Item(sound), nullptr);
  EXPECT_TRUE(Item(sound)->playing);
  EXPECT_EQ(Item(sound)->vol, 0);
  EXPECT_EQ(Item(sound)->pan, -300);
}

TEST_F(SoundTest, FadeCurves) {
  struct Case {
    bool midi, fade_in;
    int32_t duration, elapsed, level;
  };
  // From silence to full (-10000 -> 0) and from full toward silence.
  const Case cases[] = {
      {false, true, 1000, 0, -5000},   {false, true, 1000, 250, -3750}, {false, true, 1000, 500, -2500},
      {false, true, 1000, 1000, 0},    {true, true, 1000, 0, -10000},   {true, true, 1000, 250, -7500},
      {true, true, 1000, 500, -5000},  {true, true, 1000, 1000, 0},     {false, false, 1000, 250, -1250},
      {false, false, 1000, 500, -2500}, {true, false, 1000, 250, -2500}, {true, false, 1000, 500, -5000},
      // A fade of ten minutes does not overflow.
      {true, true, 600000, 500000, -1667},
  };
  FakeManager manager(false);
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.midi << c.fade_in << " " << c.elapsed);
    FakeItem item(manager, c.midi, 10000);
    std::unique_ptr<TKovaMixer> fader;
    if (c.fade_in) {
      fader = std::make_unique<TKovaMixerFadein>(item, 0, c.duration);
    } else {
      fader = std::make_unique<TKovaMixerFadeout>(item, c.duration);
    }
    // Starting near the clock's wrap: the elapsed time is taken modulo 2^32.
    const int32_t start = INT32_MAX - 100;
    EXPECT_FALSE(fader->Step(start));
    if (c.fade_in) {
      EXPECT_EQ(item.vol, -10000);
      EXPECT_TRUE(item.playing);
    }
    const auto now = int32_t(uint32_t(start) + uint32_t(c.elapsed));
    EXPECT_EQ(fader->LevelAt(now), c.level);
    EXPECT_EQ(fader->Step(now), c.elapsed >= c.duration);
    if (c.fade_in || c.elapsed < c.duration) {
      EXPECT_EQ(item.vol, c.level);
    }
  }
}

TEST_F(SoundTest, AFadeOutRenamesTheSoundAndFreesItWhenItEnds) {
  TKovaSound* old = Sound("bgm", "a.ogg");
  old->SetPlayState(TKovaSound::kPlay);
  FakeItem* old_item = Item(old);
  old->SetDelay(480);
  old->SetPlayState(TKovaSound::kFadeOut);
  EXPECT_EQ(old->GetName(), "\x01SCRAP_bgm");
  EXPECT_EQ(scene.root.FindComponent("bgm"), nullptr);

  TKovaSound* next = Sound("bgm", "other.ogg");
  next->SetPlayState(TKovaSound::kPlay);
  EXPECT_TRUE(Alive(old));
  EXPECT_EQ(Manager(TMediaKind::Ogg).Items().size(), 2u);
  scene.Frame();  // the fade starts
  Run(240);
  EXPECT_TRUE(Alive(old));
  EXPECT_EQ(old_item->vol, -2500);
  Run(256);
  EXPECT_FALSE(scene.root.Contains(old));
  ASSERT_EQ(Manager(TMediaKind::Ogg).Items().size(), 1u);
  EXPECT_EQ(Manager(TMediaKind::Ogg).Last(), Item(next));
  EXPECT_EQ(scene.root.FindComponent("bgm"), next);
  EXPECT_TRUE(Item(next)->playing);

  // A fade-out without an item lets the sound go at once.
  TKovaSound* silent = Sound("x", "missing.ogg");
  silent->SetPlayState(TKovaSound::kFadeOut);
  EXPECT_FALSE(Alive(silent));
}

TEST_F(SoundTest, StopRemovesTheItemAndTheComponent) {
  TKovaSound* sound = Sound("s", "a.ogg");
  sound->SetPlayState(TKovaSound::kPlay);
  sound->SetPlayState(TKovaSound::kStopped);
  EXPECT_TRUE(Manager(TMediaKind::Ogg).Items().empty());
  scene.Frame();
  EXPECT_FALSE(scene.root.Contains(sound));
}

TEST_F(SoundTest, TheEndQueuesOneEventRepeatsOrScraps) {
  TKovaSound* sound = Sound("s", "a.ogg");
  sound->SetOnPlayEnd("OnEnd");
  sound->SetPlayState(TKovaSound::kPlay);
  FakeItem* item = Item(sound);
  item->end = true;
  // Once for an end, however many frames the item reports it, handled or not (the events of a
  // frame's update are taken in the next frame).
  EXPECT_EQ(Run(160), std::vector<std::string>{"s 43 OnEnd"});
  EXPECT_TRUE(sound->Ended());
  scene.Frame(16, true);
  EXPECT_TRUE(scene.Frame(16, true).empty());
  // The item moves on and ends again: a new end.
  item->end = false;
  scene.Frame();
  item->end = true;
  EXPECT_EQ(Run(64), std::vector<std::string>{"s 43 OnEnd"});

  // Repeat rewinds without an event.
  item->end = false;
  scene.Frame();
  sound->SetRepeat(true);
  EXPECT_TRUE(item->auto_repeat);
  item->pos = 7000;
  item->end = true;
  EXPECT_TRUE(scene.Frame().empty());
  EXPECT_EQ(item->pos, 0);

  // Auto-scrap lets the sound go.
  sound->SetRepeat(false);
  sound->SetAutoScrap(true);
  scene.Frame();
  EXPECT_FALSE(scene.root.Contains(sound));
  EXPECT_TRUE(Manager(TMediaKind::Ogg).Items().empty());
}

TEST_F(SoundTest, RepeatOnAtTheEndRewinds) {
  TKovaSound* sound = Sound("s", "a.ogg");
  sound->SetPlayState(TKovaSound::kPlay);
  Item(sound)->pos = 9999;
  sound->SetRepeat(true);
  EXPECT_EQ(Item(sound)->pos, 0);
}

TEST_F(SoundTest, BalanceIsHeldToItsRange) {
  TKovaSound* sound = Sound("s", "a.ogg");
  sound->SetPlayState(TKovaSound::kPlay);
  sound->SetBalance(20000);
  EXPECT_EQ(sound->GetBalance(), 10000);
  EXPECT_EQ(Item(sound)->pan, 10000);
  sound->SetBalance(-20000);
  EXPECT_EQ(Item(sound)->pan, -10000);
}

TEST_F(SoundTest, ASourceChangeDuringAFadeFreesTheFader) {
  TKovaSound* sound = Sound("s", "a.ogg");
  sound->SetDelay(1000);
  sound->SetPlayState(TKovaSound::kFadeIn);
  scene.Frame();
  ASSERT_NE(sound->Fader(), nullptr);
  sound->SetSource("other.ogg");
  EXPECT_EQ(sound->Fader(), nullptr);
  EXPECT_EQ(sound->GetPlayState(), TKovaSound::kStopped);
  EXPECT_TRUE(Manager(TMediaKind::Ogg).Items().empty());
  // The freed item is never reached again (the sanitizer build would stop here).
  Run(64);
  // A manager that goes away takes its items: the sound forgets its own.
  sound->SetPlayState(TKovaSound::kPlay);
  media.Install(TMediaKind::Ogg, nullptr);
  EXPECT_EQ(sound->Item(), nullptr);
  EXPECT_EQ(sound->GetIndex(), 0);
}

TEST_F(SoundTest, TheLengthWithoutAnItemMeasuresATemporaryOne) {
  Manager(TMediaKind::Ogg).length = 4321;
  TKovaSound* sound = Sound("s", "a.ogg");
  EXPECT_EQ(sound->GetCount(), 4321);
  EXPECT_TRUE(Manager(TMediaKind::Ogg).Items().empty());
  EXPECT_EQ(Manager(TMediaKind::Ogg).added, std::vector<std::string>{"a.ogg"});
  sound->SetSource("missing.ogg");
  EXPECT_EQ(sound->GetCount(), 0);
}

TEST_F(SoundTest, PauseSilencesAndResumeRestartsTheFade) {
  TKovaSound* sound = Sound("s", "a.ogg");
  sound->SetDelay(1000);
  sound->SetPlayState(TKovaSound::kFadeIn);
  scene.Frame();
  sound->SetPaused(true);
  EXPECT_FALSE(Item(sound)->playing);
  EXPECT_EQ(Item(sound)->vol, -10000);
  sound->SetPaused(false);
  ASSERT_NE(sound->Fader(), nullptr);
  EXPECT_FALSE(sound->Fader()->Started());
  sound->Rewind();
  EXPECT_EQ(sound->GetPlayState(), TKovaSound::kFadeIn);
  EXPECT_EQ(Item(sound)->pos, 0);
}

// The sound's record as the save form gives it, after the object's (name, priority, order, tag).
struct Record {
  std::string name = "s", source = "a.ogg";
  bool repeat = false, auto_scrap = false, paused = false, ani_paused = false, ended = false;
  int32_t volume = 1000, balance = 0, delay = 0, position = 0;
  uint8_t state = 0;
  std::string on_end;
  bool rewind = false, mute = false;
};

// A record with the defaults changed by `change`.
template <class F>
Record With(F change) {
  Record r;
  change(r);
  return r;
}

// In the form of data `version` (the tag from 120, the last two flags from 108 and 129).
TMemoryStream Write(const Record& r, int32_t version = kVersion) {
  TMemoryStream s;
  WriteStreamString(s, r.name);
  WriteStreamInteger(s, 0);
  WriteStreamInteger(s, 0);
  if (version >= 120) WriteStreamString(s, "");
  WriteStreamString(s, r.source);
  for (bool b : {r.repeat, r.auto_scrap, r.paused, r.ani_paused, r.ended}) WriteStreamBool(s, b);
  for (int32_t v : {r.volume, r.balance, r.delay, r.position}) WriteStreamInteger(s, v);
  WriteStreamByte(s, r.state);
  WriteStreamString(s, r.on_end);
  if (version >= 108) WriteStreamBool(s, r.rewind);
  if (version >= 129) WriteStreamBool(s, r.mute);
  s.SetPosition(0);
  return s;
}

TEST_F(SoundTest, LoadingStartsTheSoundAsItWasSaved) {
  struct Case {
    const char* what;
    Record record;
    bool has_item, playing;
    int32_t state, position, level;
  };
  const Case cases[] = {
      {"playing, rewound", With([](Record& r) { r.position = 3000, r.rewind = true; }), true, true, 0, 0, 0},
      {"playing, at its place", With([](Record& r) { r.volume = 500, r.position = 3000; }), true, true, 0, 3000, -2500},
      {"muted", With([](Record& r) { r.volume = 800, r.mute = true; }), true, true, 0, 0, -10000},
      {"paused", With([](Record& r) { r.paused = true; }), true, false, 0, 0, -10000},
      {"ended", With([](Record& r) { r.ended = true; }), false, false, 0, 0, 0},
      {"stopped", With([](Record& r) { r.state = 2; }), false, false, 2, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TMemoryStream stream = Write(c.record);
    auto* sound = static_cast<TKovaSound*>(scene.root.CreateComponent(KT_SOUND));
    sound->LoadFromStream(stream, kVersion);
    EXPECT_EQ(stream.GetPosition(), stream.Size());
    EXPECT_EQ(sound->GetPlayState(), c.state);
    ASSERT_EQ(sound->Item() != nullptr, c.has_item);
    if (c.has_item) {
      EXPECT_EQ(Item(sound)->playing, c.playing);
      EXPECT_EQ(Item(sound)->pos, c.position);
      EXPECT_EQ(Item(sound)->vol, c.level);
    }
    if (c.record.mute) {
      EXPECT_EQ(sound->GetVolume(), 0);
    }
    sound->SetPlayState(TKovaSound::kStopped);
    scene.root.DeleteComponent(sound);
  }
}

TEST_F(SoundTest, ASavedFadeOutFadesOutAfterTheLoad) {
  TMemoryStream stream = Write(With([](Record& r) { r.delay = 300, r.state = 3; }));
  auto* sound = static_cast<TKovaSound*>(scene.root.CreateComponent(KT_SOUND));
  sound->LoadFromStream(stream, kVersion);
  EXPECT_EQ(sound->GetPlayState(), TKovaSound::kFadeOut);
  EXPECT_EQ(sound->GetName(), "\x01SCRAP_s");
  ASSERT_NE(sound->Fader(), nullptr);
  EXPECT_TRUE(sound->Fader()->IsFadeOut());
  EXPECT_EQ(sound->GetDelay(), 300);
  Run(400);
  EXPECT_FALSE(scene.root.Contains(sound));
}

TEST_F(SoundTest, TheRecordGatesItsLastFlagsByVersion) {
  const Record r = With([](Record& r) { r.rewind = true, r.mute = true; });
  // Version 107 has neither flag, 128 only rewind-on-load.
  for (int32_t version : {107, 128}) {
    SCOPED_TRACE(version);
    TMemoryStream stream = Write(r, version);
    auto* sound = static_cast<TKovaSound*>(scene.root.CreateComponent(KT_SOUND));
    sound->LoadFromStream(stream, version);
    EXPECT_EQ(stream.GetPosition(), stream.Size());
    EXPECT_EQ(sound->GetRewindOnLoad(), version >= 108);
    EXPECT_FALSE(sound->GetMuteOnLoad());
    sound->SetPlayState(TKovaSound::kStopped);
    scene.root.DeleteComponent(sound);
  }
}

TEST_F(SoundTest, ASoundPlayingAtTheSavePlaysAgainAfterTheSceneLoads) {
  TKovaSound* sound = Sound("bgm", "a.ogg");
  sound->SetVolume(600);
  sound->SetRepeat(true);
  sound->SetPlayState(TKovaSound::kPlay);
  Item(sound)->pos = 2500;
  TKovaSound* fading = Sound("old", "b.WAV");
  fading->SetPlayState(TKovaSound::kPlay);
  fading->SetDelay(1000);
  fading->SetPlayState(TKovaSound::kFadeOut);

  TMemoryStream saved;
  scene.root.SaveToStream(saved);
  TMemoryStream component;
  sound->SaveToStream(component);
  const Record expected = With([](Record& r) { r.name = "bgm", r.repeat = true, r.volume = 600, r.position = 2500; });
  TMemoryStream written = Write(expected);
  EXPECT_EQ(std::vector<uint8_t>(component.Bytes().begin(), component.Bytes().end()),
            std::vector<uint8_t>(written.Bytes().begin(), written.Bytes().end()));

  saved.SetPosition(0);
  scene.root.LoadFromStream(saved, kVersion);
  // The fading sound is not in the save; the other plays again where it was.
  ASSERT_EQ(Manager(TMediaKind::Ogg).Items().size(), 1u);
  auto* loaded = static_cast<TKovaSound*>(scene.root.FindComponent("bgm"));
  ASSERT_NE(loaded, nullptr);
  FakeItem* item = Item(loaded);
  ASSERT_NE(item, nullptr);
  EXPECT_TRUE(item->playing);
  EXPECT_TRUE(item->auto_repeat);
  EXPECT_EQ(item->pos, 2500);
  EXPECT_EQ(item->vol, -2000);
}

TEST_F(SoundTest, AFilmsSoundTrackPlaysThroughTheSoundComponent) {
  test::FilmWriter w;
  test::FilmSound track;
  track.base.duration = 120;
  track.file_name = "a.ogg";
  track.volume_start = track.volume_end = 500;
  w.Add(track);
  {
    TFilmManager film;
    film.SetOwner(&scene.root);
    film.LoadFromStream(w.Bytes(), "f.kmt");
    film.ApplyInitialState();
    // Made and waiting, paused.
    FakeItem* item = Manager(TMediaKind::Ogg).Last();
    ASSERT_NE(item, nullptr);
    EXPECT_FALSE(item->playing);
    film.SetTime(0);
    EXPECT_TRUE(item->playing);
    EXPECT_EQ(item->vol, -2500);
    EXPECT_EQ(item->pos, 0);
    // The last tick of the film is outside the span: paused and silent.
    film.SetTime(119);
    EXPECT_FALSE(item->playing);
    EXPECT_EQ(item->vol, -10000);
    film.SetTime(10);
    EXPECT_TRUE(item->playing);
  }
  // The film has gone, and its sound with it.
  scene.Frame();
  EXPECT_TRUE(Manager(TMediaKind::Ogg).Items().empty());
}

}  // namespace
}  // namespace kova
