// The CD manager and its items over an in-memory drive set, played by the backend's voices on a
// bus pulled by the test (each pull waits for the voices' decoders).
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "media/audio_bus.h"
#include "media/cd_items.h"
#include "media/fake_cd.h"
#include "media/media_backend.h"
#include "media/media_layer.h"
#include "platform/audio_device.h"

namespace kova::test {
namespace {

class CdItemsTest : public ::testing::Test {
 protected:
  CdItemsTest() {
    std::string error;
    EXPECT_TRUE(bus_.Open(error)) << error;
  }

  // Makes the manager over the drives added so far, in a media layer.
  TCddaManager& Manager() {
    if (!layer_.Manager(TMediaKind::Cdda)) {
      TCddaParts parts{&drives_, &backend_, [this] { return setting_; }};
      layer_.Install(TMediaKind::Cdda, std::make_unique<TCddaManager>(parts));
    }
    return static_cast<TCddaManager&>(*layer_.Manager(TMediaKind::Cdda));
  }
  TCddaItem& Add(const std::string& name) { return static_cast<TCddaItem&>(*Manager().Add(name)); }

  // Plays `ms` of sound in frames of 20 ms, polling the player after each; the last frame pulled.
  std::pair<int16_t, int16_t> Play(int32_t ms) {
    std::pair<int16_t, int16_t> last{0, 0};
    for (int32_t done = 0; done < ms; done += 20) {
      const int32_t step = std::min(20, ms - done);
      std::vector<int16_t> samples(size_t(step) * 441 / 10 * 2);
      bus_.Mix(samples, true);
      now_ += uint32_t(step);
      Manager().Poll(now_);
      if (!samples.empty()) last = {samples[samples.size() - 2], samples.back()};
    }
    return last;
  }

  plat::TNullAudioDevice device_;
  TAudioBus bus_{device_};
  TMediaBackend backend_{bus_, TVoiceDecoders{}};
  TFakeCdDrives drives_;
  std::string setting_;
  uint32_t now_ = 1000;
  TMediaLayer layer_;  // freed first: its items' voices go before the backend
};

TEST_F(CdItemsTest, TheNameGivesTheTrackThatPlays) {
  drives_.Add("D:", {10, 10, 10, 10});
  struct Case {
    const char* name;
    int32_t track;
  };
  for (const Case& c : {Case{"CD_3", 3}, Case{"CD_1", 1}, Case{"CD_x", -1}, Case{"CD_", -1}, Case{"CD_3x", -1},
                        Case{"CD_0", 0}, Case{"CD_9", 9}}) {
    SCOPED_TRACE(c.name);
    TCddaItem& item = Add(c.name);
    EXPECT_EQ(item.TrackNumber(), c.track);
    item.Play();
    const bool sounds = c.track >= 1 && c.track <= 4;
    EXPECT_EQ(item.IsPlaying(), sounds);
    EXPECT_FALSE(item.IsEnd());
    const auto [left, right] = Play(50);
    EXPECT_EQ(left, sounds ? CdToneLeft(c.track) : 0);
    EXPECT_EQ(right, sounds ? CdToneRight(c.track) : 0);
    EXPECT_EQ(item.GetLen(), sounds ? 10000 : 0);
    Manager().Remove(&item);
  }
}

TEST_F(CdItemsTest, TheSettingsDriveIsTheOnlyOneTriedElseTheFirstWithTracks) {
  struct Case {
    std::string setting;
    std::vector<int32_t> opens;
    int32_t chosen;
  };
  const Case cases[] = {
      {"E", {0, 1, 0}, 1},    // a letter is read as "E:"
      {"E:", {0, 1, 0}, 1},   //
      {"F:", {0, 0, 1}, -2},  // the named drive has no disc: no other is tried
      {"", {1, 1, 0}, 1},     // the first drive with tracks
      {"Z", {1, 1, 0}, 1},    // a drive that is not there: all in order
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("setting '" + c.setting + "'");
    layer_.Install(TMediaKind::Cdda, nullptr);
    drives_ = TFakeCdDrives();
    drives_.Add("D:", {});
    drives_.Add("E:", {5});
    drives_.Add("F:", {});
    setting_ = c.setting;
    TCddaItem& item = Add("CD_1");
    item.Play();
    EXPECT_EQ(drives_.opens, c.opens);
    EXPECT_EQ(Manager().DriveIndex(), c.chosen);
    EXPECT_EQ(item.IsPlaying(), c.chosen >= 0);
  }
}

TEST_F(CdItemsTest, TheDriveIsChosenOncePerRun) {
  drives_.Add("D:", {});
  TCddaItem& a = Add("CD_1");
  a.Play();
  EXPECT_EQ(Manager().DriveIndex(), -2);
  EXPECT_EQ(drives_.opens, std::vector<int32_t>{1});
  TCddaItem& b = Add("CD_2");
  b.Play();
  EXPECT_EQ(b.GetLen(), 0);
  EXPECT_EQ(drives_.opens, std::vector<int32_t>{1});  // never tried again
}

TEST_F(CdItemsTest, ATrackPlaysToOneSecondBeforeItsEndThenStopsOrRepeats) {
  drives_.Add("D:", {3, 3});
  for (bool repeat : {false, true}) {
    SCOPED_TRACE(repeat ? "repeat" : "once");
    TCddaItem& item = Add("CD_2");
    item.SetAutoRepeat(repeat);
    item.Play();
    EXPECT_EQ(Play(1900).first, CdToneLeft(2));
    EXPECT_TRUE(item.IsPlaying());
    Play(200);  // past 2 s: the range ended
    EXPECT_EQ(item.IsEnd(), !repeat);
    EXPECT_EQ(item.IsPlaying(), repeat);
    EXPECT_EQ(item.GetPosition(), 0);
    EXPECT_EQ(Play(100).first, repeat ? CdToneLeft(2) : 0);
    Manager().Remove(&item);
  }
}

TEST_F(CdItemsTest, PauseResumesOneSecondEarlier) {
  drives_.Add("D:", {40});
  struct Case {
    int32_t played_ms, resumed_ms;
  };
  for (const Case& c : {Case{500, 0}, Case{30000, 29000}}) {
    SCOPED_TRACE(c.played_ms);
    TCddaItem& item = Add("CD_1");
    item.Play();
    Play(c.played_ms);
    item.Pause();
    EXPECT_TRUE(item.IsPaused());
    EXPECT_FALSE(item.IsPlaying());
    EXPECT_FALSE(item.IsEnd());
    EXPECT_EQ(Play(100).first, 0);
    item.Play();
    EXPECT_FALSE(item.IsPaused());
    EXPECT_EQ(item.GetPosition(), c.resumed_ms);
    EXPECT_EQ(Play(100).first, CdToneLeft(1));
    Manager().Remove(&item);
  }
}

TEST_F(CdItemsTest, VolumeScalesTheUsersLineLevelWhichTheWindowsAttentionSavesAndRestores) {
  drives_.Add("D:", {10});
  TCddaItem& item = Add("CD_1");
  item.Play();
  TAudioMixer& mixer = Manager().Mixer();
  int32_t mute = 0, left = 0, right = 0;
  mixer.GetVolume(0, 0, mute, left, right);
  EXPECT_EQ(left, 65535);  // the user's level starts full
  // The user sets the line while the window is elsewhere; activation reads it.
  layer_.Deactivate();
  mixer.SetVolume(0, 0, 0, 20000, 40000);
  layer_.Activate();
  item.SetVol(-2500);
  mixer.GetVolume(0, 0, mute, left, right);
  EXPECT_EQ(left, 20000);
  EXPECT_EQ(right, 10000);
  const auto [l, r] = Play(100);
  EXPECT_EQ(l, CdToneLeft(1) * 20000 / 65535);
  EXPECT_EQ(r, CdToneRight(1) * 10000 / 65535);
  item.SetVol(-6000);
  mixer.GetVolume(0, 0, mute, left, right);
  EXPECT_EQ(left, 0);
  item.SetVol(0);
  mixer.GetVolume(0, 0, mute, left, right);
  EXPECT_EQ(left, 40000);
  item.SetVol(-5000);
  layer_.Deactivate();  // the user's level back
  mixer.GetVolume(0, 0, mute, left, right);
  EXPECT_EQ(left, 40000);
  EXPECT_EQ(right, 20000);
  EXPECT_EQ(mute, 0);
}

TEST_F(CdItemsTest, WithoutDrivesItemsAreSilentAndThereIsNoCdLine) {
  TCddaItem& item = Add("CD_1");
  item.SetVol(-2500);
  item.Play();
  EXPECT_FALSE(item.IsPlaying());
  EXPECT_FALSE(item.IsEnd());
  EXPECT_EQ(item.GetLen(), 0);
  EXPECT_EQ(item.GetPosition(), 0);
  EXPECT_EQ(Play(50).first, 0);
  EXPECT_EQ(Manager().Mixer().DeviceCount(), 0);
}

TEST_F(CdItemsTest, ARemovedMediumStopsAndAnInsertedOneHoldsTheCurrentTrack) {
  std::shared_ptr<TFakeCdMedium> medium = drives_.Add("D:", {10, 10, 10});
  TCddaItem& item = Add("CD_2");
  int32_t removed = 0;
  Manager().Player().OnMediaRemoved = [&] { ++removed; };
  item.Play();
  Play(100);
  medium->present = false;
  Play(200);
  EXPECT_EQ(removed, 1);
  EXPECT_FALSE(item.IsPlaying());
  EXPECT_FALSE(item.IsEnd());
  EXPECT_TRUE(Manager().Player().PlayList.empty());
  EXPECT_EQ(Play(50).first, 0);
  medium->present = true;
  for (int i = 0; i < 5; ++i) Play(200);
  EXPECT_TRUE(Manager().Player().PlayList.empty());  // the medium is looked for every sixth tick
  Play(200);
  EXPECT_EQ(Manager().Player().PlayList, std::vector<int32_t>{2});
  item.Play();
  EXPECT_EQ(Play(100).first, CdToneLeft(2));
}

}  // namespace
}  // namespace kova::test
