// Sound tracks over a recording sound kind: the repeat rule, the drift seek, linked tracks, the
// film's last tick, the master volume and the pauses.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "components/scene/kova_object.h"
#include "core/vocabulary.h"
#include "motion/film_manager.h"
#include "motion/film_tracks.h"
#include "core/string_list.h"
#include "support/film_writer.h"
#include "support/picture_fixtures.h"
#include "support/scene_driver.h"

namespace kova {
namespace {

using test::FilmSound;
using test::FilmWriter;

// A sound kind that records what the track asks of it and plays nothing; Rewind unpauses it and
// goes to position 0.
class RecordingSound : public TKovaComponent {
 public:
  RecordingSound(TKovaObject* owner, std::vector<std::string>& log, int32_t length)
      : TKovaComponent(owner), log_(log), length_(length) {}
  uint8_t GetCompoType() const override { return KT_SOUND; }
  void SetSource(const std::string& v) override { Log("Source " + v); }
  void SetVolume(int32_t v) override { Log("Volume " + std::to_string(v)); }
  void SetBalance(int32_t v) override { Log("Balance " + std::to_string(v)); }
  void SetRepeat(bool v) override { Log(std::string("Repeat ") + (v ? "1" : "0")); }
  bool GetPaused() const override { return paused; }
  void SetPaused(bool v) override {
    paused = v;
    Log(std::string("Paused ") + (v ? "1" : "0"));
  }
  int32_t GetPlayState() const override { return state; }
  void SetPlayState(int32_t v) override {
    state = v;
    Log("PlayState " + std::to_string(v));
  }
  int32_t GetIndex() const override { return index; }
  void SetIndex(int32_t v) override {
    index = v;
    Log("Index " + std::to_string(v));
  }
  int32_t GetCount() const override { return length_; }
  void Rewind() override {
    paused = false;
    state = 0;
    index = 0;
    Log("Rewind");
  }

  bool paused = false;
  int32_t state = 2, index = 0;

 private:
  void Log(std::string s) { log_.push_back(std::move(s)); }
  std::vector<std::string>& log_;
  int32_t length_;
};

class FilmSoundTest : public ::testing::Test {
 protected:
  FilmSoundTest() {
    scene.root.Factory().Register(KT_SOUND, [this](TKovaObject* owner) -> TKovaObject* {
      return new RecordingSound(owner, log, length);
    });
    film.SetOwner(&scene.root);
  }
  void Load(const FilmWriter& w) {
    film.LoadFromStream(w.Bytes(), "f.kmt");
    film.ApplyInitialState();
  }
  static FilmSound Track(int32_t start, int32_t duration, int32_t link = -1) {
    FilmSound t;
    t.base.start = start;
    t.base.duration = duration;
    t.base.link = link;
    t.file_name = "bgm.ogg";
    return t;
  }
  std::vector<RecordingSound*> Sounds() {
    std::vector<RecordingSound*> out;
    for (int32_t i = 0; i < scene.root.GetComponentCount(); ++i) {
      TKovaObject* c = scene.root.GetComponent(i);
      if (c->GetCompoType() == KT_SOUND && !scene.root.IsPendingDelete(c)) {
        out.push_back(static_cast<RecordingSound*>(c));
      }
    }
    return out;
  }
  // The log since the last call.
  std::vector<std::string> Take() { return std::exchange(log, {}); }
  int Count(const std::vector<std::string>& l, const std::string& s) { return int(std::count(l.begin(), l.end(), s)); }

  test::MemoryPictures files;
  test::SceneDriver scene{test::SceneWiring{.pictures = &files}};
  std::vector<std::string> log;
  int32_t length = 60000;
  TFilmManager film;
};

TEST_F(FilmSoundTest, TheSoundRepeatsWhenTheTrackOutlastsItOrSpansTheLoopPoint) {
  struct Case {
    int32_t duration, length_ms, loop_start;
    bool repeat;
  };
  const Case cases[] = {
      {300, 10000, 0, false},  // 5 s of a 10 s sound
      {900, 10000, 0, true},   // 15 s
      {600, 20000, 120, true}, // the whole film, which loops from 599 back to 120
      {600, 20000, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.duration);
    length = c.length_ms;
    FilmWriter w;
    w.loop_start = c.loop_start;
    w.Add(Track(0, c.duration));
    Load(w);
    ASSERT_EQ(Sounds().size(), 1u);
    EXPECT_EQ(Sounds()[0]->GetName(), "\x01" "0");
    const std::string repeat = std::string("Repeat ") + (c.repeat ? "1" : "0");
    EXPECT_EQ(Take(), (std::vector<std::string>{"Source bgm.ogg", "Volume 1000", repeat, "Balance 0", "Paused 1",
                                                "PlayState 0"}));
    film.Clear();
    scene.Frame();
    EXPECT_TRUE(Sounds().empty());
  }
}

TEST_F(FilmSoundTest, TheSoundIsMovedOnlyWhenItDriftsThreeSecondsOrMore) {
  FilmWriter w;
  w.Add(Track(0, 1200));
  Load(w);
  Take();
  film.SetTime(0);
  EXPECT_EQ(Count(Take(), "Rewind"), 1);
  film.SetTime(1);
  EXPECT_EQ(Take(), (std::vector<std::string>{"Volume 1000", "Balance 0"}));
  struct Step {
    int32_t tick;
    const char* seek;  // nullptr: none
  };
  // The sound stands still: the film runs 5 s ahead, then 2 s, then 3 s beyond the last seek.
  const Step steps[] = {{300, "Index 5000"}, {420, nullptr}, {480, "Index 8000"}};
  for (const Step& s : steps) {
    SCOPED_TRACE(s.tick);
    film.SetTime(s.tick);
    const std::vector<std::string> l = Take();
    EXPECT_EQ(Count(l, "Rewind"), 0);
    EXPECT_EQ(Count(l, s.seek ? s.seek : "-"), s.seek ? 1 : 0);
    EXPECT_EQ(l.size(), s.seek ? 3u : 2u);
  }
}

TEST_F(FilmSoundTest, LinkedTracksShareOneSound) {
  FilmWriter w;
  FilmSound a = Track(0, 60);
  a.volume_start = 1000;
  a.volume_end = 500;
  a.balance_end = 2000;
  w.Add(a);
  FilmSound b = Track(0, 60, 0);
  b.volume_end = 200;
  b.balance_end = -1000;
  w.Add(b);
  FilmSound tail = Track(200, 10);
  w.Add(tail);
  Load(w);
  ASSERT_EQ(Sounds().size(), 2u);
  RecordingSound* shared = Sounds()[0];
  Take();
  int rewinds = 0;
  for (int32_t tick = 0; tick < 120; ++tick) {
    film.SetTime(tick);
    const std::vector<std::string> l = Take();
    rewinds += Count(l, "Rewind");
    if (tick == 60) {
      // The second takes over at the first's end values.
      EXPECT_EQ(Count(l, "Volume 500"), 1);
      EXPECT_EQ(Count(l, "Balance 2000"), 1);
    }
    if (tick == 119) {
      EXPECT_EQ(Count(l, "Volume 200"), 1);
    }
    EXPECT_EQ(Sounds().size(), 2u);
  }
  // Started once, at the chain's first tick.
  EXPECT_EQ(rewinds, 1);
  EXPECT_FALSE(shared->paused);
  // Past the chain's span the sound pauses.
  film.SetTime(150);
  EXPECT_TRUE(shared->paused);
  // A new file name lets the sound go.
  static_cast<TSoundFrameList*>(film.GetTrack(0))->SetFileName("other.ogg");
  EXPECT_EQ(Sounds().size(), 1u);
}

TEST_F(FilmSoundTest, TheFilmsLastTickIsOutsideEverySpanAndTheMasterVolumeScales) {
  FilmWriter w;
  FilmSound t = Track(0, 600);
  t.volume_start = t.volume_end = 801;
  w.Add(t);
  film.MasterVolume = 500;
  Load(w);
  EXPECT_EQ(Count(Take(), "Volume 400"), 1);
  film.SetTime(598);
  EXPECT_EQ(Count(Take(), "Volume 400"), 1);
  ASSERT_EQ(Sounds().size(), 1u);
  EXPECT_FALSE(Sounds()[0]->paused);
  EXPECT_FALSE(film.GetTrack(0)->Update(599));
  EXPECT_TRUE(Sounds()[0]->paused);
}

TEST_F(FilmSoundTest, TimeRunningBackAndSoundSwitchedOffPause) {
  FilmWriter w;
  w.Add(Track(0, 600));
  Load(w);
  film.SetTime(100);
  Take();
  film.SetTime(50);
  // Paused, then started again from the beginning (the drift rule then moves it).
  EXPECT_EQ(Take(), (std::vector<std::string>{"Paused 1", "Volume 1000", "Balance 0", "Rewind"}));
  film.SetSoundEnabled(false);
  EXPECT_EQ(Take(), std::vector<std::string>{"Paused 1"});
  film.SetTime(60);
  EXPECT_EQ(Take(), (std::vector<std::string>{"Volume 1000", "Balance 0", "Paused 1"}));
}

TEST_F(FilmSoundTest, TheFileIsListedOnceWhenTheGameHasIt) {
  files.Add("bgm.ogg", {1});
  FilmWriter w;
  w.Add(Track(0, 30));
  FilmSound gone = Track(0, 30);
  gone.file_name = "gone.ogg";
  w.Add(gone);
  Load(w);
  TStringList names;
  film.EnumFileNames(names);
  film.EnumFileNames(names);
  EXPECT_EQ(names.Text(), "bgm.ogg\r\n");
  // Loading the resources keeps the length and the sound.
  film.GetTrack(0)->LoadResources();
  EXPECT_EQ(film.GetTrack(0)->Duration, 30);
  EXPECT_EQ(Sounds().size(), 2u);
}

TEST(FilmSoundWithoutKind, AFilmWithoutTheSoundKindPlaysSilently) {
  test::SceneDriver scene;
  TFilmManager film;
  film.SetOwner(&scene.root);
  FilmWriter w;
  FilmSound t;
  t.base.duration = 100;
  t.file_name = "bgm.ogg";
  w.Add(t);
  film.LoadFromStream(w.Bytes(), "f.kmt");
  film.ApplyInitialState();
  for (int32_t tick = 0; tick < 100; ++tick) EXPECT_EQ(film.GetTrack(0)->Update(tick), tick < 99);
  EXPECT_EQ(scene.root.GetComponentCount(), 0);
}

}  // namespace
}  // namespace kova
