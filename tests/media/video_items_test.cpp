// Video items over fake decoders (fake_video_codecs.h) on a clock the test moves: where a name's
// bytes come from, the picture of each time, pause, seeking, repeat and the end, the video that
// cannot be decoded, the sound track's voice following the item, waiting for a slow decoder,
// freeing a playing item, and the overlay's scaled drawing into the presented picture; then a
// real clip through the FFmpeg decoders, its pictures and its sound on the bus.
#include "media/video_items.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/file_manager.h"
#include "graphics/dibx.h"
#include "media/media_backend.h"
#include "media/audio_bus.h"
#include "media/fake_video_codecs.h"
#include "platform/audio_device.h"
#include "platform/media/media_codecs.h"
#include "platform/media/video_decoder.h"
#include "support/game_tree.h"
#include "support/video_writer.h"

namespace kova::test {
namespace {

// The calls the items make on the backend's voices.
class RecordingBackend : public IMediaBackend {
 public:
  TVoiceHandle WmpAdd(std::vector<uint8_t>) override { return 0; }
  TVoiceHandle OggAdd(std::unique_ptr<TStream>, bool) override { return 0; }
  TVoiceHandle PcmAdd(std::unique_ptr<plat::IPcmDecoder> decoder) override {
    if (!decoder) return 0;
    log.push_back("add");
    return ++last;
  }
  void Del(TVoiceHandle v) override { log.push_back("del " + std::to_string(v)); }
  bool GetAutoRepeat(TVoiceHandle) override { return false; }
  void SetAutoRepeat(TVoiceHandle, bool r) override { log.push_back(std::string("repeat ") + (r ? "on" : "off")); }
  int32_t GetPan(TVoiceHandle) override { return 0; }
  int32_t GetVol(TVoiceHandle) override { return 0; }
  void SetPan(TVoiceHandle, int32_t p) override { log.push_back("pan " + std::to_string(p)); }
  void SetVol(TVoiceHandle, int32_t v) override { log.push_back("vol " + std::to_string(v)); }
  int32_t GetPosition(TVoiceHandle) override { return 0; }
  void SetPosition(TVoiceHandle, int32_t ms) override { log.push_back("seek " + std::to_string(ms)); }
  int32_t GetLen(TVoiceHandle) override { return 0; }
  bool IsEnd(TVoiceHandle) override { return false; }
  bool IsPlaying(TVoiceHandle) override { return false; }
  bool IsPaused(TVoiceHandle) override { return false; }
  void Play(TVoiceHandle) override { log.push_back("play"); }
  void Pause(TVoiceHandle) override { log.push_back("pause"); }
  void Restore() override {}

  std::vector<std::string> log;
  TVoiceHandle last = 0;
};

class VideoItemsTest : public ::testing::Test {
 protected:
  VideoItemsTest() {
    tree.WriteFile("game/clip.avi", "VID 8 4 5 100 sound");  // 500 ms
    tree.WriteFile("game/clip.wmv", "VID 8 4 5 100");
    tree.WriteFile("game/plain", "VID 8 4 5 100");
    tree.WriteFile("game/broken.avi", "not a video");
    tree.WriteFile("disk/Film.AVI", "VID 8 4 5 100");
    files.SetFolder(tree.Path("game"));
  }
  TVideoManager& Manager() {
    if (!manager) {
      TVideoManagerParts parts;
      parts.files = &files;
      parts.codecs = &codecs;
      parts.backend = &backend;
      parts.clock_ms = [this] { return now; };
      parts.wait_for_pictures = wait;
      manager = std::make_unique<TVideoManager>(parts);
    }
    return *manager;
  }
  TVideoItem& Add(const std::string& name, bool not_overlay = false) { return *Manager().Add(name, not_overlay); }
  // The left half's colour of the picture due now (0 for none), taken.
  static uint32_t Shown(TVideoItem& item) {
    const plat::TVideoPicture* p = item.GetPicture();
    return p ? p->pixels[0] : 0;
  }

  GameTree tree;
  TVrFileManager files;
  FakeVideoCodecs codecs;
  RecordingBackend backend;
  uint32_t now = 1000;
  bool wait = true;
  std::unique_ptr<TVideoManager> manager;
};

TEST_F(VideoItemsTest, WhereANamesBytesComeFrom) {
  struct Case {
    std::string name;
    std::string host_path;  // empty: read from the game's files
  };
  const std::string disk = tree.Path("disk/film.avi");
  for (const Case& c : {Case{"clip.wmv", tree.Path("game/clip.wmv")}, Case{"plain", tree.Path("game/plain")},
                        Case{"clip.avi", ""}, Case{"/" + disk.substr(1), tree.Path("disk/Film.AVI")}}) {
    SCOPED_TRACE(c.name);
    TVideoItem& item = Add(c.name);
    EXPECT_EQ(TVideoManager::HostPathOf(item), c.host_path);
    EXPECT_EQ(item.GetSourceWidth(), 8);
    EXPECT_EQ(item.GetLen(), 500);
  }
  // A name no file answers raises the file system's error and adds nothing.
  const size_t before = Manager().Items().size();
  for (const std::string name : {"missing.wmv", "missing.avi", "C:clip.avi", "/nowhere/clip.avi"}) {
    SCOPED_TRACE(name);
    EXPECT_THROW(Add(name), EReadError);
  }
  EXPECT_EQ(Manager().Items().size(), before);
}

TEST_F(VideoItemsTest, ThePictureOfTheClocksTimePauseSeekAndEnd) {
  TVideoItem& item = Add("clip.avi");
  EXPECT_FALSE(item.IsPlaying());
  EXPECT_TRUE(item.IsPaused());
  item.Play();
  EXPECT_TRUE(item.NeedPaint());
  EXPECT_EQ(Shown(item), PictureColour(0));
  EXPECT_FALSE(item.NeedPaint());
  now += 250;
  EXPECT_TRUE(item.NeedPaint());
  EXPECT_EQ(Shown(item), PictureColour(2));
  EXPECT_EQ(item.GetPosition(), 250);
  // Paused, the picture and the position hold.
  item.Pause();
  now += 700;
  EXPECT_EQ(item.GetPosition(), 250);
  EXPECT_FALSE(item.NeedPaint());
  EXPECT_FALSE(item.IsPlaying());
  item.Play();
  now += 100;
  EXPECT_EQ(Shown(item), PictureColour(3));
  // A seek shows the picture of its time at once.
  item.SetPosition(120);
  EXPECT_EQ(Shown(item), PictureColour(1));
  EXPECT_EQ(item.GetPosition(), 120);
  now += 379;
  EXPECT_FALSE(item.IsEnd());
  EXPECT_EQ(Shown(item), PictureColour(4));
  now += 1;
  EXPECT_TRUE(item.IsEnd());
  EXPECT_FALSE(item.IsPlaying());
  now += 1000;
  EXPECT_EQ(item.GetPosition(), 500);
  EXPECT_EQ(Shown(item), PictureColour(4));
  // Played again after its end: from the start.
  item.Pause();
  item.Play();
  EXPECT_EQ(item.GetPosition(), 0);
  EXPECT_EQ(Shown(item), PictureColour(0));
  // Out-of-range seeks are held to the video.
  item.SetPosition(-50);
  EXPECT_EQ(item.GetPosition(), 0);
  item.SetPosition(9000);
  EXPECT_EQ(item.GetPosition(), 500);
}

TEST_F(VideoItemsTest, RepeatPlaysPassAfterPassUntilItIsTurnedOff) {
  TVideoItem& item = Add("clip.avi");
  item.SetAutoRepeat(true);
  item.Play();
  now += 730;
  EXPECT_FALSE(item.IsEnd());
  EXPECT_EQ(item.GetPosition(), 230);
  EXPECT_EQ(Shown(item), PictureColour(2));
  now += 1000;  // the fourth pass
  EXPECT_EQ(Shown(item), PictureColour(2));
  // Off: this pass is the last.
  item.SetAutoRepeat(false);
  now += 260;
  EXPECT_FALSE(item.IsEnd());
  EXPECT_EQ(Shown(item), PictureColour(4));
  now += 20;
  EXPECT_TRUE(item.IsEnd());
  // On again after the end: it goes on from the start.
  item.SetAutoRepeat(true);
  EXPECT_FALSE(item.IsEnd());
  now += 150;
  EXPECT_EQ(Shown(item), PictureColour(1));
}

TEST_F(VideoItemsTest, AVideoThatCannotBeDecodedShowsNothingAndEndsAtOnce) {
  TVideoItem& item = Add("broken.avi");
  EXPECT_EQ(item.GetSourceWidth(), 0);
  EXPECT_EQ(item.GetSourceHeight(), 0);
  EXPECT_EQ(item.GetLen(), 0);
  item.Play();
  EXPECT_TRUE(item.IsEnd());
  EXPECT_FALSE(item.IsPlaying());
  EXPECT_FALSE(item.NeedPaint());
  EXPECT_EQ(item.GetPicture(), nullptr);
  EXPECT_TRUE(backend.log.empty());  // no sound track looked for
}

TEST_F(VideoItemsTest, TheSoundTrackIsAVoiceThatFollowsTheItem) {
  TVideoItem& silent = Add("clip.wmv");  // no sound track: no voice
  silent.Play();
  EXPECT_TRUE(backend.log.empty());
  TVideoItem& item = Add("clip.avi");
  item.SetVol(-1200);
  item.SetPan(300);
  item.SetAutoRepeat(true);
  item.Play();
  item.SetPosition(200);
  item.Pause();
  Manager().Remove(&item);
  EXPECT_EQ(backend.log, (std::vector<std::string>{"add", "vol -1200", "pan 300", "repeat on", "play", "seek 200",
                                                   "pause", "del 1"}));
}

TEST_F(VideoItemsTest, ASlowDecoderIsWaitedForSoEveryRunShowsTheSamePictures) {
  codecs.delay_ms = 30;
  TVideoItem& item = Add("clip.avi");
  item.Play();
  for (int32_t i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(Shown(item), PictureColour(i));
    now += 100;
  }
}

TEST_F(VideoItemsTest, WithoutWaitingASlowDecodersPictureShowsWhenItIsReady) {
  wait = false;
  codecs.delay_ms = 50;
  TVideoItem& item = Add("clip.avi");
  item.Play();
  now += 420;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (Shown(item) != PictureColour(4) && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_EQ(Shown(item), PictureColour(4));
}

TEST_F(VideoItemsTest, FreeingAPlayingItemReturnsPromptly) {
  codecs.delay_ms = 100;
  tree.WriteFile("game/long.avi", "VID 8 4 100000 40");
  TVideoItem& item = Add("long.avi");
  item.Play();
  now += 1;
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  const auto start = std::chrono::steady_clock::now();
  Manager().Remove(&item);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
  EXPECT_TRUE(Manager().Items().empty());
}

TEST_F(VideoItemsTest, ADecoderThatFailsEndsThePicturesWithoutAWait) {
  codecs.throw_at = 2;
  TVideoItem& item = Add("clip.avi");
  item.Play();
  now += 150;
  EXPECT_EQ(Shown(item), PictureColour(1));
  // The failed picture and those after it never come; nothing waits for them, also after a seek.
  const auto start = std::chrono::steady_clock::now();
  now += 200;
  EXPECT_EQ(Shown(item), PictureColour(1));
  item.SetPosition(0);
  EXPECT_EQ(Shown(item), PictureColour(1));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

class OverlayTest : public VideoItemsTest, public ::testing::WithParamInterface<int32_t> {};

TEST_P(OverlayTest, VisibleOverlayItemsAreDrawnScaledAndCut) {
  const int32_t bits = GetParam();
  TDIBX target;
  target.SetSize(40, 30, bits);
  const uint32_t background = target.GetPixel(0, 0);
  TVideoItem& item = Add("clip.avi");
  item.Play();
  now += 150;  // picture 1
  // The 8 x 4 picture's right half (4 x 4) twice as large at (30, 24): cut at the target's edge.
  item.SetRect(TRect{30, 24, 38, 32}, TRect{4, 0, 8, 4});
  std::vector<TRect> areas;
  Manager().DrawOverlays(target, areas);
  EXPECT_TRUE(areas.empty());  // not visible yet
  item.SetVisible(true);
  Manager().DrawOverlays(target, areas);
  ASSERT_EQ(areas, (std::vector<TRect>{TRect{30, 24, 38, 30}}));
  auto at_depth = [&](uint32_t xrgb) {
    TDIBX one;
    one.SetSize(1, 1, bits);
    const uint32_t colorref = (xrgb >> 16 & 0xff) | (xrgb & 0xff00) | (xrgb & 0xff) << 16;
    one.SetPixel(0, 0, uint32_t(one.ColorToPixel(int32_t(colorref))));
    return one.GetPixel(0, 0);
  };
  EXPECT_EQ(target.GetPixel(30, 24), at_depth(PictureColour(1) ^ 0xffffff));
  EXPECT_EQ(target.GetPixel(37, 29), at_depth(PictureColour(1) ^ 0xffffff));
  EXPECT_EQ(target.GetPixel(29, 24), background);
  // The whole picture at half its size: the left half's colour left, the right's right.
  item.SetRect(TRect{0, 0, 4, 2}, TRect{0, 0, 8, 4});
  areas.clear();
  Manager().DrawOverlays(target, areas);
  EXPECT_EQ(target.GetPixel(1, 1), at_depth(PictureColour(1)));
  EXPECT_EQ(target.GetPixel(2, 1), at_depth(PictureColour(1) ^ 0xffffff));
  EXPECT_EQ(target.GetPixel(4, 0), background);
  // Suspended, of a component drawing through its surface, or with nothing to show: not drawn.
  Manager().SuspendVideo();
  areas.clear();
  Manager().DrawOverlays(target, areas);
  EXPECT_TRUE(areas.empty());
  Manager().ResumeVideo();
  TVideoItem& through_surface = Add("clip.avi", true);
  through_surface.Play();
  through_surface.SetVisible(true);
  through_surface.SetRect(TRect{10, 10, 18, 14}, TRect{0, 0, 8, 4});
  item.SetRect(TRect{0, 0, 0, 0}, TRect{0, 0, 8, 4});
  areas.clear();
  Manager().DrawOverlays(target, areas);
  EXPECT_TRUE(areas.empty());
  EXPECT_EQ(target.GetPixel(12, 12), background);
}

INSTANTIATE_TEST_SUITE_P(Depths, OverlayTest, ::testing::Values(32, 16, 15));

// A generated WMV clip through the real decoders and the real voices on a bus the test pulls.
TEST(VideoItemsReal, AClipShowsItsColoursAtTheirTimesAndSoundsOnTheBus) {
  VideoSpec wanted;  // 16 x 16, red, green, blue for 200 ms each, with a 440 Hz tone
  const std::vector<uint8_t> clip = VideoBytes(wanted);
  ASSERT_FALSE(clip.empty());
  GameTree tree;
  tree.WriteFile("game/clip.wmv", std::string(clip.begin(), clip.end()));
  TVrFileManager files;
  files.SetFolder(tree.Path("game"));
  plat::TMediaCodecs sound_codecs;
  plat::TMediaVideoCodecs video_codecs;
  plat::TNullAudioDevice device;
  TAudioBus bus(device);
  std::string error;
  ASSERT_TRUE(bus.Open(error)) << error;
  TMediaBackend backend(bus, BusVoiceDecoders(sound_codecs));
  uint32_t now = 0;
  TVideoManagerParts parts;
  parts.files = &files;
  parts.codecs = &video_codecs;
  parts.backend = &backend;
  parts.clock_ms = [&] { return now; };
  parts.wait_for_pictures = true;
  TVideoManager manager(parts);
  TVideoItem& item = *manager.Add("clip.wmv", true);
  EXPECT_EQ(item.GetSourceWidth(), 16);
  EXPECT_EQ(item.GetSourceHeight(), 16);
  EXPECT_NEAR(item.GetLen(), 600, 60);  // the container counts the sound's last block too
  item.Play();
  auto near = [](uint32_t a, uint32_t b) {
    for (int shift : {0, 8, 16}) {
      if (std::abs(int(a >> shift & 0xff) - int(b >> shift & 0xff)) > 40) return false;
    }
    return true;
  };
  std::vector<int16_t> sound;
  for (const auto& [ms, colour] : std::vector<std::pair<uint32_t, uint32_t>>{{100, 0xff0000}, {300, 0x00ff00}, {500, 0x0000ff}}) {
    SCOPED_TRACE(ms);
    bus.PullFrame(int32_t(ms - now), &sound);
    now = ms;
    ASSERT_TRUE(item.NeedPaint());
    const plat::TVideoPicture* picture = item.GetPicture();
    ASSERT_NE(picture, nullptr);
    EXPECT_PRED2(near, picture->pixels[size_t(8 * 16 + 8)] & 0xffffff, colour);
  }
  double sum = 0;
  for (int16_t v : sound) sum += double(v) * v;
  EXPECT_GT(std::sqrt(sum / double(std::max<size_t>(sound.size(), 1))), 1000.0) << "the tone plays on the bus";
  // Freed while it plays: the worker and the voice stop at once.
  const auto start = std::chrono::steady_clock::now();
  manager.Remove(&item);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

}  // namespace
}  // namespace kova::test
