// Image components on a 32-bit headless screen: how the image base draws (copy, blend, add, mask,
// stretch, rotation, mirroring, content rectangles), hit tests, sizing, the image set's frame
// clock, play-end, brightness, the single picture, and the save form.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "components/scene/scene_parts.h"
#include "components/scene/scene_subsystem.h"
#include "components/widgets/kova_images.h"
#include "components/scene/kova_motion.h"
#include "core/stream.h"
#include "core/vocabulary.h"
#include "support/picture_fixtures.h"
#include "support/scene_driver.h"

namespace kova {
namespace {

using test::FrameSpec;
using test::LayeredPicture;
using test::Solid;

// A 4 x 2 picture whose red channel tells the pixel: 0x10 * (1 + x + 4 * y).
std::vector<uint32_t> Numbered(int32_t w, int32_t h) {
  std::vector<uint32_t> px;
  for (int32_t i = 0; i < w * h; ++i) px.push_back(uint32_t(0x10 * (1 + i)) << 16);
  return px;
}

class ImageTest : public ::testing::Test {
 protected:
  ImageTest() : scene(test::SceneWiring{.pictures = &files}) {
    scene.root.SetColor(0);
    files.Add("p.wxa", LayeredPicture(4, 2, {{Numbered(4, 2)}}));
  }
  TKovaImages* Images(const std::string& name, const std::string& source, int32_t left, int32_t top) {
    auto* c = static_cast<TKovaImages*>(scene.root.CreateComponent(KT_IMAGES));
    c->SetName(name);
    c->SetParent(scene.root.ActiveBase());
    c->SetSource(source);
    c->SetLeft(left);
    c->SetTop(top);
    return c;
  }
  // The red channel of a screen pixel.
  uint32_t Red(int32_t x, int32_t y) { return scene.Pixel(x, y) >> 16 & 0xFF; }
  static uint32_t Src(int32_t x, int32_t y) { return uint32_t(0x10 * (1 + x + 4 * y)); }

  test::SceneDriver scene;
  test::MemoryPictures files;
};

TEST_F(ImageTest, TheLevelMirrorsAndZoomChooseHowThePictureIsDrawn) {
  struct Case {
    const char* what;
    int32_t alpha;
    bool flip_h, flip_v;
    int32_t zoom;
    // The expected red at picture position (x, y), given the source red there.
    uint32_t (*expect)(int32_t x, int32_t y);
  };
  const Case cases[] = {
      {"copy", 255, false, false, 256, [](int32_t x, int32_t y) { return Src(x, y); }},
      {"blend", 254, false, false, 256, [](int32_t x, int32_t y) { return Src(x, y) * 254 >> 8; }},
      {"add 44", 300, false, false, 256, [](int32_t x, int32_t y) { return Src(x, y) * 44 / 256; }},
      {"nothing", 0, false, false, 256, [](int32_t, int32_t) { return 0u; }},
      {"mirrored", 255, true, true, 256, [](int32_t x, int32_t y) { return Src(3 - x, 1 - y); }},
      {"zoomed", 255, false, false, 512, [](int32_t x, int32_t y) { return Src(x / 2, y / 2); }},
      {"zoomed blend", 128, false, false, 512, [](int32_t x, int32_t y) { return Src(x / 2, y / 2) * 128 >> 8; }},
  };
  for (const Case& c : cases) {
    test::SceneDriver fresh(test::SceneWiring{.pictures = &files});
    fresh.root.SetColor(0);
    auto* img = static_cast<TKovaImages*>(fresh.root.CreateComponent(KT_IMAGES));
    img->SetParent(fresh.root.ActiveBase());
    img->SetSource("P.WXA");
    img->SetLeft(10);
    img->SetTop(5);
    img->SetAlpha(c.alpha);
    img->SetFlipH(c.flip_h);
    img->SetFlipV(c.flip_v);
    img->SetZoomX(c.zoom);
    img->SetZoomY(c.zoom);
    fresh.Frame();
    const int32_t w = 4 * c.zoom / 256, h = 2 * c.zoom / 256;
    EXPECT_EQ(img->GetWidth(), w) << c.what;
    // A mirrored picture keeps its anchor (offset 0) on its far edge.
    const int32_t left = img->GetScreenLeft(), top = img->GetScreenTop();
    EXPECT_EQ(left, c.flip_h ? 10 - (w - 1) : 10) << c.what;
    EXPECT_EQ(top, c.flip_v ? 5 - (h - 1) : 5) << c.what;
    for (int32_t y = 0; y < h; ++y) {
      for (int32_t x = 0; x < w; ++x) {
        ASSERT_EQ(fresh.Pixel(left + x, top + y) >> 16 & 0xFF, c.expect(x, y)) << c.what << " at " << x << "," << y;
      }
    }
    EXPECT_EQ(fresh.Pixel(left + w, top), 0u) << c.what;
    EXPECT_EQ(fresh.Pixel(left - 1, top), 0u) << c.what;
  }
}

TEST_F(ImageTest, ATurnedPictureTurnsAboutItsAnchor) {
  files.Add("three.wxa", LayeredPicture(3, 3, {{Numbered(3, 3)}}));
  TKovaImages* img = Images("t", "three.wxa", 20, 20);
  img->SetOffsetX(1);
  img->SetOffsetY(1);
  img->SetAngle(128 + 256);  // half a turn; only the low 8 bits count
  scene.Frame();
  // Turned half a turn about the centre pixel, which stays at the anchor (20, 20).
  for (int32_t dy = -1; dy <= 1; ++dy) {
    for (int32_t dx = -1; dx <= 1; ++dx) {
      const uint32_t want = uint32_t(0x10 * (1 + (1 - dx) + 3 * (1 - dy)));
      EXPECT_EQ(Red(20 + dx, 20 + dy), want) << dx << "," << dy;
    }
  }
  const TRect bounds = img->GetBoundsRect();
  EXPECT_LE(bounds.Left, 19);
  EXPECT_GE(bounds.Right, 22);
}

TEST_F(ImageTest, ContentRectanglesLimitWhatIsDrawnAndFollowTheMirror) {
  FrameSpec f{Numbered(4, 2)};
  f.rects = {{0, 0, 1, 2}};  // only the first column has content
  files.Add("rects.wxa", LayeredPicture(4, 2, {f}));
  TKovaImages* img = Images("r", "rects.wxa", 10, 5);
  scene.Frame();
  EXPECT_EQ(Red(10, 5), Src(0, 0));
  EXPECT_EQ(Red(11, 5), 0u);
  img->SetFlipH(true);
  scene.Frame();
  const int32_t left = img->GetScreenLeft();
  EXPECT_EQ(Red(left + 3, 6), Src(0, 1));  // the column lands on the right edge
  EXPECT_EQ(Red(left, 6), 0u);
}

TEST_F(ImageTest, MasksBlendAndDecideHitsWhenCaptureMaskIsOn) {
  // A layered picture name holding a PNG: pictures are recognised by content.
  files.Add("soft.wxa", test::RgbaPng(3, 1, {0xF00000, 0xF00000, 0xF00000}, {127, 128, 255}));
  TKovaImages* img = Images("m", "soft.wxa", 20, 10);
  scene.Frame();
  EXPECT_EQ(Red(22, 10), 0xF0u);
  EXPECT_LT(Red(20, 10), 0xF0u);
  EXPECT_GT(Red(20, 10), 0u);

  const uint32_t all = 0xFF;
  EXPECT_EQ(img->HitTest(TPoint{20, 10}, all), img);  // capture mask off: the rectangle decides
  img->SetCaptureMask(true);
  EXPECT_EQ(img->HitTest(TPoint{20, 10}, all), nullptr);  // 127 misses
  EXPECT_EQ(img->HitTest(TPoint{21, 10}, all), img);      // 128 hits
  EXPECT_EQ(img->HitTest(TPoint{23, 10}, all), nullptr);  // outside
  img->SetIgnoreMouse(1);
  EXPECT_EQ(img->HitTest(TPoint{21, 10}, kMaskLeftPress), nullptr);
  img->SetIgnoreMouse(0);

  // A width set by hand leaves no zoom: the point maps by the size instead.
  img->SetWidth(6);
  EXPECT_EQ(img->GetZoomX(), 0);
  EXPECT_EQ(img->HitTest(TPoint{21, 10}, all), nullptr);  // column 0
  EXPECT_EQ(img->HitTest(TPoint{23, 10}, all), img);      // column 1

  // Turned half a turn about its first pixel, the picture lies left of the anchor.
  img->SetWidth(3);
  img->SetZoomX(256);
  img->SetCaptureMask(false);
  img->SetAngle(128);
  EXPECT_EQ(img->HitTest(TPoint{18, 10}, all), img);
  EXPECT_EQ(img->HitTest(TPoint{22, 10}, all), nullptr);
}

TEST_F(ImageTest, SizesFollowZoomUnlessSetByHand) {
  files.Add("two.wxa", LayeredPicture(4, 2, {{Solid(4, 2, 0x100000), 10}, {Solid(4, 2, 0x200000), 10}}));
  TKovaImages* img = Images("s", "two.wxa", 0, 0);
  EXPECT_EQ(img->GetWidth(), 4);
  EXPECT_EQ(img->GetOrigWidth(), 4);
  img->SetZoomX(-5);
  EXPECT_EQ(img->GetZoomX(), 1);
  img->SetZoomX(768);
  img->SetRepeat(true);
  scene.Frame();
  ASSERT_EQ(img->GetIndex(), 1);
  EXPECT_EQ(img->GetWidth(), 12);
  img->SetWidth(7);
  scene.Frame(16);  // back to the first frame, which sizes the set again
  ASSERT_EQ(img->GetIndex(), 0);
  EXPECT_EQ(img->GetWidth(), 7);  // a width set by hand stays
  EXPECT_EQ(img->GetHeight(), 2);
}

TEST_F(ImageTest, TheFrameClockDropsLeftoverTimeOnlyForTwoFrames) {
  files.Add("two.wxa", LayeredPicture(1, 1, {{Solid(1, 1, 1), 10}, {Solid(1, 1, 2), 10}}));
  files.Add("three.wxa", LayeredPicture(1, 1, {{Solid(1, 1, 1), 10}, {Solid(1, 1, 2), 10}, {Solid(1, 1, 3), 10}}));
  TKovaImages* two = Images("two", "two.wxa", 0, 0);
  TKovaImages* three = Images("three", "three.wxa", 0, 0);
  scene.Frame(16);
  EXPECT_EQ(two->GetIndex(), 1);
  EXPECT_EQ(two->RemainingTime(), 10);
  EXPECT_EQ(three->GetIndex(), 1);
  EXPECT_EQ(three->RemainingTime(), 4);  // 10 - 16 + 10
  EXPECT_TRUE(three->GetPlaying());
  three->SetPaused(true);
  scene.Frame(100);
  EXPECT_EQ(three->GetIndex(), 1);
  EXPECT_FALSE(three->GetPlaying());
}

TEST_F(ImageTest, PlayEndIsQueuedOnceWhileItWaitsAndAutoScrapFreesTheSet) {
  files.Add("two.wxa", LayeredPicture(1, 1, {{Solid(1, 1, 1), 10}, {Solid(1, 1, 2), 10}}));
  TKovaImages* img = Images("anim", "two.wxa", 0, 0);
  img->SetOnPlayEnd("end.ksb");
  scene.Frame(16, true);
  scene.Frame(16, true);
  scene.Frame(16, true);
  EXPECT_FALSE(img->GetPlaying());
  EXPECT_EQ(scene.TakeEvents(), (std::vector<std::string>{"anim 43 end.ksb"}));
  scene.Frame(16, true);  // handled and gone: the set, still at its end, says so again
  EXPECT_EQ(scene.TakeEvents(), (std::vector<std::string>{"anim 43 end.ksb"}));

  img->SetOnPlayEnd("");
  TKovaImages* looping = Images("loop", "two.wxa", 0, 0);
  looping->SetOnPlayEnd("end.ksb");
  looping->SetRepeat(true);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(scene.Frame(16), std::vector<std::string>{}) << i;
  EXPECT_TRUE(looping->GetPlaying());

  TKovaImages* scrap = Images("scrap", "two.wxa", 0, 0);
  scrap->SetAutoScrap(true);
  scene.Frame(16);
  scene.Frame(16);
  EXPECT_EQ(scene.root.FindComponent("scrap"), nullptr);
}

TEST_F(ImageTest, BrightnessShiftsColoursButKeepsTheKeyTransparent) {
  std::vector<uint32_t> px = Solid(2, 1, 0x606060);
  px[1] = 0xFF00FF;
  files.Add("key.wxa", LayeredPicture(2, 1, {{px, 0, 0xFF00FF}}));
  scene.root.SetColor(0x000010);  // a background to see through the key
  TKovaImages* img = Images("b", "key.wxa", 4, 4);
  scene.Frame();
  const uint32_t background = scene.Pixel(5, 4);
  for (int32_t shift : {40, -40, 0}) {
    img->SetBrightness(shift);
    scene.Frame();
    EXPECT_EQ(Red(4, 4), uint32_t(0x60 + shift)) << shift;
    EXPECT_EQ(scene.Pixel(5, 4), background) << shift;
  }
  img->SetBrightness(1000);  // beyond the limit counts as 255
  scene.Frame();
  EXPECT_EQ(Red(4, 4), 0xFFu);

  // The single picture: brightness 255 shows it as stored, 0 takes 255 from every channel.
  auto* single = new TKovaImage(&scene.root);
  single->SetParent(scene.root.ActiveBase());
  single->SetLeft(30);
  single->SetSource("key.wxa");
  EXPECT_EQ(single->GetWidth(), 2);
  EXPECT_EQ(scene.globals.ImageCache().FindItem("key.wxa")->OwnerCount(), 1);  // the set's: the picture let go at once
  scene.Frame();
  EXPECT_EQ(Red(30, 0), 0x60u);
  single->SetBrightness(0);
  scene.Frame();
  EXPECT_EQ(scene.Pixel(30, 0), 0u);
  EXPECT_EQ(scene.Pixel(31, 0), background);
}

TEST_F(ImageTest, OnlyLayeredPicturesAndMotionsAreSources) {
  files.Add("pic.png", test::RgbPng(2, 2, Solid(2, 2, 0xFFFFFF)));
  TKovaImages* img = Images("x", "pic.png", 0, 0);
  EXPECT_EQ(img->GetCount(), 0);
  EXPECT_EQ(img->GetWidth(), 0);
  img->SetSource("walk.KMT");  // no film can be read: the set stays empty and has no motion
  EXPECT_EQ(img->GetMotion(), nullptr);
  EXPECT_EQ(img->GetIndex(), -1);
  img->SetSource("p.wxa");
  EXPECT_EQ(img->GetIndex(), 0);
  img->SetIndex(5);  // past the end: the index is invalid and the picture stays
  EXPECT_EQ(img->GetIndex(), 5);
  scene.Frame();
  EXPECT_EQ(Red(0, 0), Src(0, 0));
  // A missing picture shows nothing.
  img->SetSource("gone.wxa");
  scene.Frame();
  EXPECT_EQ(scene.Pixel(0, 0), 0u);
}

TEST_F(ImageTest, TheSaveFormKeepsTheSetAndItsFrame) {
  files.Add("three.wxa", LayeredPicture(2, 1, {{Solid(2, 1, 0x100000), 50}, {Solid(2, 1, 0x200000), 50},
                                               {Solid(2, 1, 0x300000), 50}}));
  TKovaImages* img = Images("kept", "three.wxa", 7, 3);
  img->SetIndex(2);
  img->SetAlpha(300);
  img->SetFlipH(true);
  img->SetBrightness(-16);
  img->SetRepeat(true);
  img->SetOnPlayEnd("e.ksb");
  img->SetPaused(true);
  TMemoryStream saved;
  scene.root.SaveToStream(saved);

  test::SceneDriver other(test::SceneWiring{.pictures = &files});
  saved.SetPosition(0);
  other.root.LoadFromStream(saved, 129);
  auto* back = dynamic_cast<TKovaImages*>(other.root.FindComponent("kept"));
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->GetSource(), "three.wxa");
  EXPECT_EQ(back->GetIndex(), 2);
  EXPECT_EQ(back->GetAlpha(), 300);
  EXPECT_TRUE(back->GetFlipH());
  EXPECT_EQ(back->GetBrightness(), -16);
  EXPECT_TRUE(back->GetRepeat());
  EXPECT_TRUE(back->GetPaused());
  EXPECT_EQ(back->GetOnPlayEnd(), "e.ksb");
  EXPECT_EQ(back->GetLeft(), 7);
  EXPECT_EQ(back->RemainingTime(), img->RemainingTime());
  other.root.SetColor(0);
  other.Frame();
  EXPECT_EQ(other.Pixel(back->GetScreenLeft(), 3) >> 16 & 0xFF, uint32_t((0x30 - 16) * 44 / 256));  // added at 44
}

// A headless screen whose depth can change and whose films are fakes of a given length.
class FilmHost : public THeadlessSceneHost, public ISceneMakers {
 public:
  std::unique_ptr<ISceneWipe> CreateWipe(int32_t, TCustomDIBX&, TCustomDIBX&, TCustomDIBX&, int32_t, bool) override {
    return nullptr;
  }
  class Film : public ISceneFilm {
   public:
    explicit Film(int32_t length) : length_(length) {}
    int32_t Length() const override { return length_; }
    int32_t LoopStart() const override { return 0; }
    bool Relative() const override { return false; }
    void SetOrigin(int32_t, int32_t) override {}
    void SetBasePriority(int32_t) override {}
    int32_t CurrentTick() const override { return tick_; }
    void SetTime(int32_t tick) override { tick_ = tick; }

   private:
    int32_t length_;
    int32_t tick_ = -1;
  };
  std::unique_ptr<ISceneFilm> LoadFilm(const std::string& name, TKovaControl&) override {
    return name == "walk.kmt" ? std::make_unique<Film>(60) : nullptr;
  }
  int32_t ScreenBitCount() override { return depth; }
  int32_t depth = 32;
};

class ImageHostTest : public ::testing::Test {
 protected:
  ImageHostTest() : globals(TSceneInputs{.host = &host, .pictures = &files}), root(globals.Root()) {
    RegisterSceneKinds(globals.Kinds());
    globals.Makers().Register(host);
    host.SetScreenSize(32, 24);
    root.SetWidth(32);
    root.SetHeight(24);
    files.Add("p.wxa", LayeredPicture(4, 2, {{Numbered(4, 2)}}));
    image = static_cast<TKovaImages*>(root.CreateComponent(KT_IMAGES));
    image->SetParent(root.ActiveBase());
  }
  FilmHost host;
  test::MemoryPictures files;
  TSceneParts globals;
  TKovaBaseList& root;
  TKovaImages* image = nullptr;
};

TEST_F(ImageHostTest, AMotionSourceGivesIndexAndCountInFrames) {
  image->SetSource("walk.kmt");
  ASSERT_NE(image->GetMotion(), nullptr);
  EXPECT_EQ(image->GetCount(), 60);
  image->SetIndex(30);  // 30 frames of 1/60 s
  EXPECT_EQ(image->GetMotion()->Elapsed(), 500);
  image->SetIndex(INT32_MAX);  // a script's huge index stays inside the clock's range
  EXPECT_EQ(image->GetMotion()->Elapsed(), INT32_MAX);
  image->SetIndex(30);
  root.SetClock(0, 0);
  root.Update();
  root.Update();
  EXPECT_EQ(image->GetIndex(), 30);
  EXPECT_TRUE(image->GetPlaying());
  image->SetAniPaused(true);
  EXPECT_FALSE(image->GetPlaying());
  image->SetSource("p.wxa");  // a picture again: the motion goes
  EXPECT_EQ(image->GetMotion(), nullptr);
  EXPECT_EQ(image->GetCount(), 1);
}

TEST_F(ImageHostTest, SurfacesComeBackAtTheNewDepthAfterADisplayChange) {
  image->SetSource("p.wxa");
  image->SetBrightness(16);
  root.FreeDIB();
  EXPECT_EQ(image->GetDIB(), nullptr);
  host.depth = 16;
  root.RecreateDIB();
  TCustomDIBX* s = image->GetDIB();
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->BitCount(), 16);
  EXPECT_EQ(s->GetPixel(1, 0), uint32_t(s->ColorToPixel(0x101030)));  // red 0x20 + 16, the others 0 + 16
}

}  // namespace
}  // namespace kova
