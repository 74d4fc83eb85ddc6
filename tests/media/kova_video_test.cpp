// The video component over a fake video manager: the overlay rectangle, the pictures taken into
// its own surface, the overlay switch, pause during a fade-in, a hand-set size, the fade-out's
// item, the end, save and load, and the Movie command.
#include "media/kova_video.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/stream.h"
#include "core/stream_records.h"
#include "media/media_layer.h"
#include "media/video_items.h"
#include "support/fake_script_host.h"
#include "support/frame_driver.h"
#include "support/record_round_trip.h"
#include "support/scene_driver.h"
#include "media/fake_video_item.h"

namespace kova {
namespace {

using test::FakeScriptHost;
using test::FakeVideoItem;
using test::FakeVideoManager;
using test::SceneDriver;

constexpr int32_t kVersion = 129;

class VideoTest : public ::testing::Test {
 public:
  explicit VideoTest(TDisplayFormat format = kDisplay8888)
      : scene(format, 64, 48, test::SceneWiring{.store = &store}) {
    host.project_files = {"m.mpg"};
    RegisterVideoKind(scene.globals.Kinds(), media);
    auto manager = std::make_unique<FakeVideoManager>();
    videos = manager.get();
    media.Install(TMediaKind::Video, std::move(manager));
  }

  // A video of "m.mpg" on `parent` (the active layer by default) at (left, top), not yet played.
  TKovaVideo* Video(int32_t left = 0, int32_t top = 0, TKovaControl* parent = nullptr) {
    auto* video = static_cast<TKovaVideo*>(scene.root.CreateComponent(KT_VIDEO));
    video->SetName("v");
    video->SetParent(parent ? parent : scene.root.ActiveBase());
    video->SetLeft(left);
    video->SetTop(top);
    video->SetVisible(true);
    video->SetSource("m.mpg");
    return video;
  }
  FakeVideoItem* Item(const TKovaVideo* video) { return static_cast<FakeVideoItem*>(video->Item()); }
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
  SceneDriver scene;
  FakeVideoManager* videos = nullptr;
};

TEST_F(VideoTest, TheOverlayShowsOnlyThePartInsideItsParentScaledForTheDisplay) {
  // The parent covers (10,10)-(30,30); the 16 x 8 video at zoom 512 x 256 covers (22,6)-(54,14):
  // its right part lies beyond the parent, its top half above it.
  struct Case {
    int32_t scale;
    TRect dest;
  };
  const Case cases[] = {{100, {22, 10, 30, 14}}, {150, {33, 15, 45, 21}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.scale);
    scene.root.SetDisplayScale(c.scale);
    test::StubBox* parent = scene.Box("p", {10, 10, 30, 30});
    TKovaVideo* video = Video(12, -4, parent);
    video->SetZoomX(512);
    video->SetPlayState(TKovaVideo::kPlay);
    ASSERT_NE(Item(video), nullptr);
    EXPECT_EQ(videos->added.back(), "m.mpg overlay");
    EXPECT_EQ(video->GetWidth(), 32);
    EXPECT_EQ(video->GetHeight(), 8);
    scene.Frame();
    EXPECT_TRUE(Item(video)->GetVisible());
    EXPECT_EQ(Item(video)->DestRect(), c.dest);
    // 8 of the 32 screen pixels at zoom 512 are 4 picture pixels; the lower 4 rows are shown.
    EXPECT_EQ(Item(video)->SourceRect(), (TRect{0, 4, 4, 8}));
    scene.root.DeleteComponent(parent);
    scene.Frame();
    EXPECT_TRUE(videos->Items().empty());
  }
}

TEST_F(VideoTest, TheOverlayIsHiddenWhenNothingOfItShows) {
  struct Case {
    const char* what;
    void (*change)(VideoTest&, TKovaVideo&);
  };
  const Case cases[] = {
      {"on the other layer",
       [](VideoTest& t, TKovaVideo& v) {
         v.SetParent(t.scene.root.Bases(t.scene.root.ActiveBase() == t.scene.root.Bases(0) ? 1 : 0));
       }},
      {"invisible", [](VideoTest&, TKovaVideo& v) { v.SetVisible(false); }},
      {"outside its parent", [](VideoTest&, TKovaVideo& v) { v.SetLeft(40); }},
      {"outside its clip rectangle",
       [](VideoTest&, TKovaVideo& v) {
         v.SetClipLeft(20);
         v.SetClipTop(0);
         v.SetClipWidth(5);
         v.SetClipHeight(5);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    test::StubBox* parent = scene.Box("p", {0, 0, 30, 30});
    TKovaVideo* video = Video(0, 0, parent);
    video->SetPlayState(TKovaVideo::kPlay);
    scene.Frame();
    ASSERT_TRUE(Item(video)->GetVisible());
    c.change(*this, *video);
    scene.Frame();
    EXPECT_FALSE(Item(video)->GetVisible());
    scene.root.DeleteComponent(video);
    scene.root.DeleteComponent(parent);
    scene.Frame();
  }
}

TEST_F(VideoTest, AHandSetSizeMapsThePictureByTheSizes) {
  // Width 32 set by hand leaves zoom X 0: half the control inside the parent is half the picture.
  test::StubBox* parent = scene.Box("p", {0, 0, 16, 30});
  TKovaVideo* video = Video(0, 0, parent);
  video->SetPlayState(TKovaVideo::kPlay);
  video->SetWidth(32);
  ASSERT_EQ(video->GetZoomX(), 0);
  scene.Frame();
  EXPECT_EQ(video->GetWidth(), 32);
  EXPECT_EQ(Item(video)->DestRect(), (TRect{0, 0, 16, 8}));
  EXPECT_EQ(Item(video)->SourceRect(), (TRect{0, 0, 8, 8}));
  // A hand-set width of 0 shows nothing and divides by nothing.
  video->SetWidth(0);
  scene.Frame();
  EXPECT_FALSE(Item(video)->GetVisible());
  // Stopping and playing again keeps the hand-set size.
  video->SetWidth(24);
  video->SetPlayState(TKovaVideo::kStopped);
  video->SetPlayState(TKovaVideo::kPlay);
  EXPECT_EQ(video->GetWidth(), 24);
}

class VideoSurfaceTest : public VideoTest, public ::testing::WithParamInterface<TDisplayFormat> {
 protected:
  VideoSurfaceTest() : VideoTest(GetParam()) {}
};

TEST_P(VideoSurfaceTest, ANewPictureIsTakenAtMostEvery33MsAndDrawn) {
  // Colours every depth holds exactly: the picture's words are XRGB, the layer's colours BGR.
  const uint32_t first = 0xF8FC08, second = 0x0804F8;
  const int32_t first_color = 0x08FCF8, second_color = 0xF80408;
  TKovaVideo* video = Video(2, 3);
  video->SetOverlay(false);
  video->SetPlayState(TKovaVideo::kPlay);
  FakeVideoItem* item = Item(video);
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(videos->added.back(), "m.mpg surface");
  ASSERT_NE(video->FrameSurface(), nullptr);
  EXPECT_EQ(video->FrameSurface()->Width(), 16);
  EXPECT_EQ(video->FrameSurface()->Height(), 8);
  item->Show(first);
  scene.Frame();
  EXPECT_EQ(item->log.back(), "GetPicture");
  EXPECT_EQ(video->FrameSurface()->GetPixel(15, 7), uint32_t(video->FrameSurface()->ColorToPixel(first_color)));
  EXPECT_EQ(scene.Pixel(2, 3), scene.PixelOf(first_color));
  EXPECT_EQ(scene.Pixel(17, 10), scene.PixelOf(first_color));
  EXPECT_NE(scene.Pixel(18, 11), scene.PixelOf(first_color));
  // A picture due at once waits for the check 33 ms after the last one.
  item->log.clear();
  item->Show(second);
  scene.Frame(16);
  scene.Frame(16);
  EXPECT_TRUE(item->log.empty());
  EXPECT_EQ(scene.Pixel(2, 3), scene.PixelOf(first_color));
  scene.Frame(1);
  EXPECT_EQ(item->log, std::vector<std::string>{"GetPicture"});
  EXPECT_EQ(scene.Pixel(2, 3), scene.PixelOf(second_color));
  // Without a new picture nothing is taken.
  item->log.clear();
  Run(100);
  EXPECT_TRUE(item->log.empty());
}

INSTANTIATE_TEST_SUITE_P(Depths, VideoSurfaceTest, ::testing::Values(kDisplay8888, kDisplay565));

TEST_F(VideoTest, ARecreatedSurfaceTakesThePictureAgain) {
  TKovaVideo* video = Video();
  video->SetOverlay(false);
  video->SetPlayState(TKovaVideo::kPlay);
  FakeVideoItem* item = Item(video);
  item->Show(0xFF0000);
  scene.Frame();
  video->FreeDIB();
  EXPECT_EQ(video->FrameSurface(), nullptr);
  EXPECT_EQ(video->Surface(), nullptr);
  scene.Frame();
  video->RecreateDIB();
  ASSERT_NE(video->FrameSurface(), nullptr);
  EXPECT_EQ(video->Surface(), video->FrameSurface());
  EXPECT_EQ(video->FrameSurface()->Width(), 16);
  scene.Frame();
  EXPECT_EQ(scene.Pixel(15, 7), scene.PixelOf(0x0000FF));
}

TEST_F(VideoTest, SwitchingTheOverlayOffRestartsAtTheSamePlaceThroughTheSurface) {
  TKovaVideo* video = Video();
  video->SetVolume(500);
  video->SetPlayState(TKovaVideo::kPlay);
  Item(video)->pos = 1234;
  video->SetOverlay(false);
  FakeVideoItem* item = Item(video);
  ASSERT_NE(item, nullptr);
  ASSERT_EQ(videos->Items().size(), size_t(1));
  EXPECT_TRUE(item->NotOverlay());
  EXPECT_EQ(videos->added, (std::vector<std::string>{"m.mpg overlay", "m.mpg surface"}));
  EXPECT_EQ(item->pos, 1234);
  EXPECT_TRUE(item->playing);
  EXPECT_EQ(item->vol, -2500);
  EXPECT_EQ(video->GetPlayState(), TKovaVideo::kPlay);
  item->Show(0xFF0000);
  scene.Frame();
  EXPECT_EQ(scene.Pixel(0, 0), scene.PixelOf(0x0000FF));
  EXPECT_FALSE(item->GetVisible());
}

TEST_F(VideoTest, PausingDuringAFadeInAndRunningAgainRestartsTheFade) {
  for (bool animation : {false, true}) {
    SCOPED_TRACE(animation);
    TKovaVideo* video = Video();
    video->SetDelay(1000);
    video->SetPlayState(TKovaVideo::kFadeIn);
    FakeVideoItem* item = Item(video);
    Run(496);
    ASSERT_LT(item->vol, 0);
    ASSERT_GT(item->vol, -10000);
    auto pause = [&](bool v) { animation ? video->SetAniPaused(v) : video->SetPaused(v); };
    pause(true);
    EXPECT_TRUE(item->paused);
    EXPECT_EQ(video->Fader(), nullptr);
    EXPECT_FALSE(video->GetPlaying());
    Run(2000);
    EXPECT_TRUE(item->paused);
    pause(false);
    scene.Frame();
    EXPECT_TRUE(item->playing);
    EXPECT_EQ(item->vol, -10000);
    Run(1008);
    EXPECT_EQ(item->vol, 0);
    EXPECT_EQ(video->Fader(), nullptr);
    scene.root.DeleteComponent(video);
    scene.Frame();
  }
}

TEST_F(VideoTest, AFadeOutGivesItsItemBackWhenItEndsOrTheVideoGoes) {
  TKovaVideo* video = Video();
  video->SetDelay(500);
  video->SetPlayState(TKovaVideo::kPlay);
  video->SetPlayState(TKovaVideo::kFadeOut);
  EXPECT_EQ(video->Item(), nullptr);
  ASSERT_NE(video->FadingItem(), nullptr);
  Run(256);
  EXPECT_TRUE(Alive(video));
  EXPECT_LT(static_cast<FakeVideoItem*>(videos->Last())->vol, 0);
  Run(400);
  EXPECT_FALSE(Alive(video));
  EXPECT_TRUE(videos->Items().empty());

  video = Video();
  video->SetDelay(500);
  video->SetPlayState(TKovaVideo::kPlay);
  video->SetPlayState(TKovaVideo::kFadeOut);
  scene.Frame();
  scene.root.DeleteComponent(video);
  scene.Frame();
  EXPECT_TRUE(videos->Items().empty());

  // A new source during a fade-in frees the fader with the item it steps.
  video = Video();
  video->SetDelay(500);
  video->SetPlayState(TKovaVideo::kFadeIn);
  scene.Frame();
  video->SetSource("other.mpg");
  EXPECT_EQ(video->Fader(), nullptr);
  EXPECT_TRUE(videos->Items().empty());
  Run(100);
}

TEST_F(VideoTest, TheEndQueuesOneEventPerEndOrScrapsTheVideo) {
  TKovaVideo* video = Video();
  video->SetOnPlayEnd("ended");
  video->SetPlayState(TKovaVideo::kPlay);
  FakeVideoItem* item = Item(video);
  item->end = true;
  EXPECT_EQ(Run(160), (std::vector<std::string>{"v 43 ended"}));
  item->end = false;
  scene.Frame();
  item->end = true;
  EXPECT_EQ(Run(160), (std::vector<std::string>{"v 43 ended"}));
  // An event still waiting (its handler not yet run) is not queued again.
  item->end = false;
  scene.Frame();
  item->end = true;
  scene.Frame(16, true);
  item->end = false;
  scene.Frame(16, true);
  item->end = true;
  scene.Frame(16, true);
  EXPECT_EQ(scene.TakeEvents(), (std::vector<std::string>{"v 43 ended"}));
  // Repeating, the end raises nothing.
  video->SetRepeat(true);
  EXPECT_TRUE(Run(100).empty());
  EXPECT_TRUE(video->GetPlaying());

  video->SetRepeat(false);
  video->SetAutoScrap(true);
  scene.Frame();
  EXPECT_FALSE(Alive(video));
  scene.Frame();
  EXPECT_TRUE(videos->Items().empty());
}

TEST_F(VideoTest, MediaPauseAndRewind) {
  TKovaVideo* video = Video();
  video->SetPlayState(TKovaVideo::kPlay);
  FakeVideoItem* item = Item(video);
  video->MediaPause();
  EXPECT_TRUE(item->paused);
  video->MediaResume();
  EXPECT_TRUE(item->playing);
  // A video paused by the script stays paused through the root's pause.
  video->SetPaused(true);
  video->MediaResume();
  EXPECT_TRUE(item->paused);
  item->pos = 5000;
  video->SetDelay(300);
  video->Rewind();
  EXPECT_FALSE(video->GetPaused());
  EXPECT_EQ(video->GetPlayState(), TKovaVideo::kFadeIn);
  EXPECT_EQ(item->pos, 0);
  ASSERT_NE(video->Fader(), nullptr);
  Run(400);
  EXPECT_TRUE(item->playing);
  EXPECT_EQ(item->vol, 0);
}

TEST_F(VideoTest, TheLengthOfAVideoNotPlayingIsMeasuredOnATemporaryItem) {
  videos->length = 4321;
  TKovaVideo* video = Video();
  EXPECT_EQ(video->GetCount(), 4321);
  EXPECT_TRUE(videos->Items().empty());
  video->SetSource("missing.mpg");
  EXPECT_EQ(video->GetCount(), 0);
  video->SetPlayState(TKovaVideo::kPlay);
  EXPECT_EQ(video->Item(), nullptr);
  EXPECT_TRUE(videos->Items().empty());
}

// ---- Save and load ----

struct Record {
  std::string source = "m.mpg";
  bool repeat = false, auto_scrap = false, paused = false;
  int32_t volume = 1000, balance = 0, delay = 0, position = 0;
  uint8_t state = 0;
  std::string on_end, on_idle;
  bool rewind = false, overlay = true, mute = false;
};

template <class F>
Record With(F change) {
  Record r;
  change(r);
  return r;
}

// The video's record in the form of data `version`, after the object's, the control's (at
// (0,0), 16 x 8, visible, no children) and the image's (zoom 256 x 256).
std::vector<uint8_t> Write(const Record& r, int32_t version = kVersion) {
  TMemoryStream s;
  WriteStreamString(s, "v");
  WriteStreamInteger(s, 0);
  if (version >= 104) WriteStreamInteger(s, 0);
  if (version >= 120) WriteStreamString(s, "");
  for (int32_t v : {0, 0, 16, 8, 0, 0}) WriteStreamInteger(s, v);
  WriteStreamBool(s, false);
  if (version >= 104) {
    for (int i = 0; i < 4; ++i) WriteStreamInteger(s, 0);
    WriteStreamBool(s, false);
  }
  WriteStreamBool(s, true);
  WriteStreamInteger(s, 0);
  for (int i = 0; i < 4; ++i) WriteStreamInteger(s, 0);
  WriteStreamByte(s, 0);
  for (int i = 0; i < 2 + (version >= 102 ? 1 : 0) + 7; ++i) WriteStreamString(s, "");
  if (version >= 118) {
    WriteStreamBool(s, false);
    for (int i = 0; i < 5; ++i) WriteStreamString(s, "");
  }
  WriteStreamInteger(s, 0);
  for (int32_t v : {255, 256, 0}) WriteStreamInteger(s, v);
  for (int i = 0; i < 3; ++i) WriteStreamBool(s, false);
  if (version >= 104) WriteStreamInteger(s, 256);
  WriteStreamString(s, r.source);
  for (bool b : {r.repeat, r.auto_scrap, r.paused}) WriteStreamBool(s, b);
  for (int32_t v : {r.volume, r.balance, r.delay, r.position}) WriteStreamInteger(s, v);
  WriteStreamByte(s, r.state);
  WriteStreamString(s, r.on_end);
  WriteStreamString(s, r.on_idle);
  if (version >= 108) WriteStreamBool(s, r.rewind);
  if (version >= 112) WriteStreamBool(s, r.overlay);
  if (version >= 129) WriteStreamBool(s, r.mute);
  return {s.Bytes().begin(), s.Bytes().end()};
}

TEST_F(VideoTest, TheRecordRoundTrips) {
  const Record saved = With([](Record& r) {
    r.repeat = true, r.volume = 500, r.balance = -300, r.delay = 250, r.position = 3000;
    r.on_end = "ended", r.on_idle = "idle", r.overlay = false;
  });
  TKovaVideo* video = nullptr;
  test::ExpectRecordRoundTrip(
      Write(saved),
      [&](TStream& in) {
        if (video) scene.root.DeleteComponent(video);
        video = static_cast<TKovaVideo*>(scene.root.CreateComponent(KT_VIDEO));
        video->SetParent(scene.root.ActiveBase());
        video->LoadFromStream(in, kVersion);
      },
      [&](TStream& out) { video->SaveToStream(out); });
  FakeVideoItem* item = Item(video);
  ASSERT_NE(item, nullptr);
  EXPECT_TRUE(item->NotOverlay());
  EXPECT_EQ(item->pos, 3000);
  EXPECT_EQ(item->vol, -2500);
  EXPECT_EQ(item->pan, -300);
  EXPECT_TRUE(item->auto_repeat);
  EXPECT_TRUE(item->playing);
  EXPECT_EQ(video->GetDelay(), 250);
  EXPECT_EQ(video->GetOnIdle(), "idle");
}

TEST_F(VideoTest, LoadingRestartsTheVideoAsSavedWithTheOlderForms) {
  struct Case {
    const char* what;
    Record record;
    int32_t version;
    bool overlay, playing, fading;
    int32_t position, volume;
  };
  const Record flags = With([](Record& r) {
    r.position = 3000, r.rewind = true, r.overlay = false, r.mute = true, r.volume = 800;
  });
  const Case cases[] = {
      {"107: no flags", flags, 107, true, true, false, 3000, 800},
      {"108: rewound", flags, 108, true, true, false, 0, 800},
      {"112: through the surface", flags, 112, false, true, false, 0, 800},
      {"129: muted", flags, 129, false, true, false, 0, 0},
      {"paused", With([](Record& r) { r.paused = true; }), 129, true, false, false, 0, 1000},
      {"fading out", With([](Record& r) { r.state = 3, r.delay = 500; }), 129, true, true, true, 0, 1000},
      {"fading in", With([](Record& r) { r.state = 1, r.delay = 500; }), 129, true, false, true, 0, 1000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::vector<uint8_t> bytes = Write(c.record, c.version);
    TSpanStream in(bytes);
    auto* video = static_cast<TKovaVideo*>(scene.root.CreateComponent(KT_VIDEO));
    video->SetParent(scene.root.ActiveBase());
    video->LoadFromStream(in, c.version);
    EXPECT_EQ(in.Remaining(), 0);
    EXPECT_EQ(video->GetOverlay(), c.overlay);
    EXPECT_EQ(video->GetVolume(), c.volume);
    EXPECT_EQ(video->GetRewindOnLoad(), c.record.rewind && c.version >= 108);
    EXPECT_EQ(video->GetMuteOnLoad(), c.record.mute && c.version >= 129);
    ASSERT_EQ(videos->Items().size(), size_t(1));
    auto* item = static_cast<FakeVideoItem*>(videos->Last());
    EXPECT_EQ(item->pos, c.position);
    EXPECT_EQ(item->playing, c.playing);
    EXPECT_EQ(video->Fader() != nullptr, c.fading);
    scene.root.DeleteComponent(video);
    scene.Frame();
    EXPECT_TRUE(videos->Items().empty());
  }
}

// ---- The Movie command ----

TEST(VideoCommandTest, TheMovieCommandPlaysTheVideo) {
  constexpr int32_t kMovie = 12;
  test::FrameDriver d(true);
  auto manager = std::make_unique<FakeVideoManager>();
  FakeVideoManager* videos = manager.get();
  d.session.Media().Layer().Install(TMediaKind::Video, std::move(manager));
  d.AddFile("m.mpg", std::vector<uint8_t>(16, 0));
  test::PageWriter page;
  page.Component(kMovie, {{PR_NAME, test::Value(test::S("mv"))},
                          {PR_SOURCE, test::Value(test::S("m.mpg"))},
                          {PR_OVERLAY, test::Value(test::I(0))}});
  d.AddPage("start.ksb", page);
  d.callman.Start("start.ksb");
  d.Frames(2);
  auto* video = dynamic_cast<TKovaVideo*>(d.session.SceneRoot().FindComponent("mv"));
  ASSERT_NE(video, nullptr);
  EXPECT_EQ(video->GetPlayState(), TKovaVideo::kPlay);
  EXPECT_EQ(videos->added, std::vector<std::string>{"m.mpg surface"});
  ASSERT_NE(video->Item(), nullptr);
  EXPECT_TRUE(static_cast<FakeVideoItem*>(video->Item())->playing);
}

}  // namespace
}  // namespace kova
