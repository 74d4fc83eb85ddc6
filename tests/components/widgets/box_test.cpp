// The box: its fills and borders at every level on real 15-, 16- and 32-bit back buffers, the
// rectangles it reports to the clip manager, its motion source, and its save record.
#include <algorithm>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "components/widgets/kova_box.h"
#include "components/widgets/kova_list.h"
#include "components/scene/kova_motion.h"
#include "core/stream_records.h"
#include "support/scene_driver.h"

namespace kova {
namespace {

using test::SceneDriver;

constexpr int32_t kRed = 0x0000FF, kGreen = 0x00FF00, kGrey = 0x808080;

struct BoxScene : SceneDriver {
  explicit BoxScene(TDisplayFormat format = kDisplay8888) : SceneDriver(format) {
    root.Factory().Register(KT_BOX, &TComponentFactory::Make<TKovaBox>);
    root.SetColor(kGrey);
  }
  TKovaBox* NewBox(const std::string& name, TRect r, TKovaControl* parent = nullptr) {
    auto* box = static_cast<TKovaBox*>(root.CreateComponent(KT_BOX));
    box->SetName(name);
    box->SetParent(parent ? parent : root.ActiveBase());
    box->SetBounds(r.Left, r.Top, r.Width(), r.Height());
    return box;
  }
};

// What one pixel of the back buffer must hold: the layer's grey, changed by one fill.
struct Expect {
  enum Op { None, Copy, Blend, Add } op = None;
  int32_t color = 0;
  int32_t level = 0;
};

// The pixel a fill gives over the grey background, drawn on a memory surface of the same format.
uint32_t Reference(TDisplayFormat format, const Expect& e) {
  TDIBX s;
  s.SetSize(1, 1, format == kDisplay555 ? 15 : format.BitCount);
  s.FillRect(s.BoundsRect(), uint32_t(s.ColorToPixel(kGrey)));
  const uint32_t pixel = uint32_t(s.ColorToPixel(e.color));
  switch (e.op) {
    case Expect::None: break;
    case Expect::Copy: s.FillRect(s.BoundsRect(), pixel); break;
    case Expect::Blend: s.FillRectAlpha(s.BoundsRect(), pixel, e.level); break;
    case Expect::Add: s.FillRectAdd(s.BoundsRect(), pixel, e.level); break;
  }
  return s.GetPixel(0, 0);
}

struct BoxCase {
  const char* name;
  int32_t color, border_width, border_color, alpha;
  Expect edge;    // inside the border band
  Expect centre;  // inside the inner rectangle
};

const BoxCase kBoxCases[] = {
    {"fill", kRed, 0, -1, 255, {Expect::Copy, kRed}, {Expect::Copy, kRed}},
    {"blended fill", kRed, 0, -1, 128, {Expect::Blend, kRed, 128}, {Expect::Blend, kRed, 128}},
    {"added fill", kRed, 0, -1, 300, {Expect::Add, kRed, 44}, {Expect::Add, kRed, 44}},
    {"alpha 0", kRed, 3, kGreen, 0, {}, {}},
    {"alpha 512", kRed, 3, kGreen, 512, {}, {}},
    {"no colour", -1, 0, kGreen, 255, {}, {}},
    {"border colour without width", kRed, 0, kGreen, 255, {Expect::Copy, kRed}, {Expect::Copy, kRed}},
    {"frame only", -1, 3, kGreen, 255, {Expect::Copy, kGreen}, {}},
    {"frame and fill", kRed, 3, kGreen, 255, {Expect::Copy, kGreen}, {Expect::Copy, kRed}},
    {"blended frame and fill", kRed, 3, kGreen, 128, {Expect::Blend, kGreen, 128}, {Expect::Blend, kRed, 128}},
    {"added frame and fill", kRed, 3, kGreen, 300, {Expect::Add, kGreen, 44}, {Expect::Add, kRed, 44}},
    {"width without border colour", kRed, 3, -1, 255, {}, {Expect::Copy, kRed}},
};

class BoxDrawTest : public ::testing::TestWithParam<TDisplayFormat> {};

INSTANTIATE_TEST_SUITE_P(Depths, BoxDrawTest, ::testing::Values(kDisplay8888, kDisplay565, kDisplay555),
                         [](const auto& info) {
                           return std::to_string(info.param.BitCount) + "_" + std::to_string(info.param.GreenMask);
                         });

TEST_P(BoxDrawTest, FillsAndBordersAtEveryLevel) {
  for (const BoxCase& c : kBoxCases) {
    SCOPED_TRACE(c.name);
    BoxScene scene(GetParam());
    TKovaBox* box = scene.NewBox("b", TRect{8, 8, 28, 20});
    box->SetColor(c.color);
    box->SetBorderWidth(c.border_width);
    box->SetBorderColor(c.border_color);
    box->SetAlpha(c.alpha);
    scene.Frame();
    EXPECT_EQ(scene.Pixel(7, 7), Reference(GetParam(), {}));
    EXPECT_EQ(scene.Pixel(8, 8), Reference(GetParam(), c.edge));  // each pixel drawn once, corners too
    EXPECT_EQ(scene.Pixel(27, 19), Reference(GetParam(), c.edge));
    EXPECT_EQ(scene.Pixel(10, 12), Reference(GetParam(), c.edge));
    EXPECT_EQ(scene.Pixel(11, 11), Reference(GetParam(), c.centre));
    EXPECT_EQ(scene.Pixel(24, 16), Reference(GetParam(), c.centre));
    EXPECT_EQ(scene.Pixel(28, 20), Reference(GetParam(), {}));
  }
}

TEST_P(BoxDrawTest, ChangesRedrawTheBoxAndItsChildrenDrawOverIt) {
  BoxScene scene(GetParam());
  TKovaBox* box = scene.NewBox("b", TRect{0, 0, 20, 20});
  box->SetColor(kRed);
  TKovaBox* child = scene.NewBox("c", TRect{5, 5, 10, 10}, box);
  child->SetColor(kGreen);
  scene.Frame();
  EXPECT_EQ(scene.Pixel(2, 2), scene.PixelOf(kRed));
  EXPECT_EQ(scene.Pixel(6, 6), scene.PixelOf(kGreen));
  box->SetColor(-1);  // no fill: the layer shows through, the child stays
  scene.Frame();
  EXPECT_EQ(scene.Pixel(2, 2), scene.PixelOf(kGrey));
  EXPECT_EQ(scene.Pixel(6, 6), scene.PixelOf(kGreen));
  box->SetAlpha(300);
  box->SetColor(kRed);
  scene.Frame();
  EXPECT_EQ(scene.Pixel(2, 2), Reference(GetParam(), {Expect::Add, kRed, 44}));
}

struct FillRectsCase {
  const char* name;
  int32_t color, border_width, border_color, alpha, height;
  std::vector<TRect> drawn;
  bool opaque;
};

TEST(BoxTest, ReportsTheRectanglesItCovers) {
  // The box lies at (10, 20), 30 wide.
  const TRect r6{10, 20, 40, 26}, r7{10, 20, 40, 27};
  const FillRectsCase cases[] = {
      {"nothing to draw", -1, 0, kGreen, 255, 6, {}, false},
      {"fill", kRed, 0, -1, 255, 6, {r6}, true},
      {"blended fill", kRed, 0, -1, 254, 6, {r6}, false},
      {"added fill", kRed, 0, -1, 300, 6, {r6}, false},
      {"alpha 0", kRed, 0, -1, 0, 6, {}, false},
      {"alpha 512", kRed, 0, -1, 512, 6, {}, false},
      {"fill inside a width without colour", kRed, 3, -1, 255, 7, {TRect{13, 23, 37, 24}}, true},
      {"frame and fill", kRed, 3, kGreen, 255, 7, {r7}, true},
      {"frame of a 6 high box: two bands", -1, 3, kGreen, 255, 6, {TRect{10, 20, 40, 23}, TRect{10, 23, 40, 26}}, true},
      {"frame of a 7 high box: four bands", -1, 3, kGreen, 255, 7,
       {TRect{10, 20, 40, 23}, TRect{10, 24, 40, 27}, TRect{10, 20, 13, 27}, TRect{37, 20, 40, 27}}, true},
  };
  for (const FillRectsCase& c : cases) {
    SCOPED_TRACE(c.name);
    BoxScene scene;
    TKovaBox* box = scene.NewBox("b", TRect{10, 20, 40, 20 + c.height});
    box->SetColor(c.color);
    box->SetBorderWidth(c.border_width);
    box->SetBorderColor(c.border_color);
    box->SetAlpha(c.alpha);
    TClipData clip;
    box->BuildFillRects(clip);
    EXPECT_EQ(clip.Rects1, c.drawn);
    EXPECT_EQ(clip.Rects2, c.opaque ? c.drawn : std::vector<TRect>{});
  }
  BoxScene scene;
  TKovaBox* hidden = scene.NewBox("h", TRect{0, 0, 5, 5});
  hidden->SetColor(kRed);
  hidden->SetVisible(false);
  TClipData clip;
  hidden->BuildFillRects(clip);
  EXPECT_TRUE(clip.Rects1.empty());
}

// A film of a few ticks that the headless host cannot load, handed to the box's motion.
class TinyFilm : public ISceneFilm {
 public:
  int32_t Length() const override { return 3; }
  int32_t LoopStart() const override { return 0; }
  bool Relative() const override { return false; }
  void SetOrigin(int32_t, int32_t) override {}
  void SetBasePriority(int32_t) override {}
  int32_t CurrentTick() const override { return tick_; }
  void SetTime(int32_t tick) override { tick_ = tick; }

 private:
  int32_t tick_ = -1;
};

TEST(BoxTest, OnlyMotionFilesAreLoadedAndRepeatRestartsAnEndedMotion) {
  BoxScene scene;
  TKovaBox* box = scene.NewBox("b", TRect{0, 0, 4, 4});
  box->SetSource("fade.wxa");
  EXPECT_EQ(box->GetMotion(), nullptr);
  EXPECT_EQ(box->GetSource(), "fade.wxa");
  box->SetSource("fade.KMT");
  ASSERT_NE(box->GetMotion(), nullptr);
  box->SetOnPlayEnd("ended");
  box->GetMotion()->SetFilm(std::make_unique<TinyFilm>());
  std::vector<std::string> events;
  for (int i = 0; i < 8; ++i) {
    for (const std::string& e : scene.Frame()) events.push_back(e);
  }
  EXPECT_EQ(events, std::vector<std::string>{"b 43 ended"});
  ASSERT_TRUE(box->GetMotion()->Ended());
  box->SetRepeat(true);
  EXPECT_FALSE(box->GetMotion()->Ended());
  box->SetSource("plain.bmp");
  EXPECT_EQ(box->GetMotion(), nullptr);
}

TEST(BoxTest, SaveRecordRoundTripsAndOldRecordsStopAfterTheAlpha) {
  BoxScene scene;
  TKovaBox* box = scene.NewBox("b", TRect{1, 2, 30, 40});
  box->SetColor(kRed);
  box->SetBorderWidth(2);
  box->SetBorderColor(kGreen);
  box->SetAlpha(300);
  box->SetOnIdle("idle");
  box->SetSource("move.kmt");
  box->SetRepeat(true);
  box->SetAutoScrap(true);
  box->SetOnPlayEnd("end");
  box->SetPaused(true);
  box->SetAniPaused(true);
  TMemoryStream saved;
  box->SaveToStream(saved);

  BoxScene other;
  auto* loaded = static_cast<TKovaBox*>(other.root.CreateComponent(KT_BOX));
  saved.SetPosition(0);
  loaded->LoadFromStream(saved, 129);
  EXPECT_EQ(saved.GetPosition(), saved.Size());
  EXPECT_NE(loaded->GetMotion(), nullptr);  // the source went through its setter
  TMemoryStream again;
  loaded->SaveToStream(again);
  EXPECT_TRUE(std::ranges::equal(again.Bytes(), saved.Bytes()));

  // Data version 103: the object and control forms of that version, then only the three numbers.
  TMemoryStream old;
  WriteStreamString(old, "old");
  WriteStreamInteger(old, 0);                                     // priority
  for (int32_t v : {5, 6, 7, 8, 0, 0}) WriteStreamInteger(old, v);  // left .. offset Y
  WriteStreamBool(old, false);                                    // position-zoomed
  WriteStreamBool(old, true);                                     // visible
  WriteStreamInteger(old, kRed);
  WriteStreamRect(old, TRect{0, 0, 1, 1});
  WriteStreamByte(old, 0);                                        // mouse-ignore mode
  for (int i = 0; i < 10; ++i) WriteStreamString(old, "");        // cursor and mouse handlers
  WriteStreamInteger(old, 0);                                     // no children
  for (int32_t v : {4, kGreen, 128}) WriteStreamInteger(old, v);
  old.SetPosition(0);
  auto* from_old = static_cast<TKovaBox*>(other.root.CreateComponent(KT_BOX));
  from_old->LoadFromStream(old, 103);
  EXPECT_EQ(old.GetPosition(), old.Size());
  EXPECT_EQ(from_old->GetBorderWidth(), 4);
  EXPECT_EQ(from_old->GetBorderColor(), kGreen);
  EXPECT_EQ(from_old->GetAlpha(), 128);
  EXPECT_EQ(from_old->GetSource(), "");
}

}  // namespace
}  // namespace kova
