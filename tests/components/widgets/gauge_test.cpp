// The gauge on a 32-bit headless screen: the filled and the trailing bar on the screen in both
// orientations and reversed, the fall (a pause, then the trail shrinks) and the rise on the game
// clock, the jump without delay, the guards of an empty or inverted range, and the save form.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "components/widgets/kova_gauge.h"
#include "components/widgets/kova_slider.h"
#include "core/stream.h"
#include "core/vocabulary.h"
#include "support/picture_fixtures.h"
#include "support/scene_driver.h"

namespace kova {
namespace {

using test::LayeredPicture;

constexpr uint32_t kFill = 0x00C000, kTrail = 0xC00000;

class GaugeTest : public ::testing::Test {
 protected:
  GaugeTest() : scene(kDisplay8888, 128, 64, {.pictures = &files}) {
    scene.root.SetColor(0);
    // Halves of 10 x 4: the left fills, the right trails.
    std::vector<uint32_t> px;
    for (int32_t y = 0; y < 4; ++y) {
      for (int32_t x = 0; x < 20; ++x) px.push_back(x < 10 ? kFill : kTrail);
    }
    files.Add("gauge.wxa", LayeredPicture(20, 4, {{px}}));
  }
  // A gauge at (4, 4) over 0 .. 100, 100 pixels long (one per unit), showing `value` still.
  TKovaGauge* Make(int32_t value, uint8_t orientation = 0) {
    auto* g = static_cast<TKovaGauge*>(scene.root.CreateComponent(KT_GAUGE));
    g->SetName("gauge");
    g->SetParent(scene.root.ActiveBase());
    g->SetLeft(4);
    g->SetTop(4);
    g->SetOrientation(orientation);
    g->SetBarSize(orientation == 0 ? 100 : 40);
    g->SetSource("gauge.wxa");
    g->SetMax(100);
    g->SetValue(value);
    scene.Frame();  // without delay: shown at once
    return g;
  }
  uint32_t Rgb(int32_t x, int32_t y) { return scene.Pixel(x, y) & 0xFFFFFF; }
  // The colours along the gauge's middle row, from x 4 to 4 + 100, as runs "colour x length".
  std::vector<std::string> Runs() {
    std::vector<std::string> runs;
    uint32_t last = 0xFFFFFFFF;
    int32_t n = 0;
    for (int32_t x = 4; x <= 104; ++x) {
      const uint32_t c = Rgb(x, 6);
      if (c != last && n > 0) {
        runs.push_back(std::to_string(last) + "x" + std::to_string(n));
        n = 0;
      }
      last = c;
      ++n;
    }
    runs.push_back(std::to_string(last) + "x" + std::to_string(n));
    return runs;
  }
  static std::string Run(uint32_t colour, int32_t n) { return std::to_string(colour) + "x" + std::to_string(n); }

  test::SceneDriver scene;
  test::MemoryPictures files;
};

TEST_F(GaugeTest, AFallShowsATrailThatWaitsDurationThenShrinksAtTheRangePerDelay) {
  TKovaGauge* g = Make(80);
  EXPECT_EQ(Runs(), (std::vector<std::string>{Run(kFill, 80), Run(0, 21)}));
  g->SetDelay(1000);    // 0.1 unit per millisecond: 1 per 10 ms frame
  g->SetDuration(100);  // ten frames
  g->SetValue(50);
  EXPECT_EQ(g->ShownValue(), 50);
  EXPECT_EQ(g->TrailAmount(), 30);
  EXPECT_TRUE(g->GetPlaying());
  std::vector<int32_t> trail;
  for (int i = 0; i < 40; ++i) {
    scene.Frame(10);
    trail.push_back(g->TrailAmount());
    if (i == 0) {
      EXPECT_EQ(Runs(), (std::vector<std::string>{Run(kFill, 50), Run(kTrail, 30), Run(0, 21)}));
    }
  }
  // The pause takes the first ten frames; then one unit goes per frame until none is left.
  EXPECT_EQ(trail[9], 30);
  EXPECT_EQ(trail[10], 29);
  EXPECT_EQ(trail[20], 19);
  EXPECT_EQ(trail[38], 1);
  EXPECT_EQ(trail[39], 0);
  EXPECT_FALSE(g->GetPlaying());
  EXPECT_EQ(Runs(), (std::vector<std::string>{Run(kFill, 50), Run(0, 51)}));
}

TEST_F(GaugeTest, ARiseGrowsTheFilledBarAtTheSameRate) {
  TKovaGauge* g = Make(50);
  g->SetDelay(1000);
  g->SetDuration(500);  // only a fall waits
  g->SetValue(80);
  EXPECT_EQ(g->TrailAmount(), 0);
  for (int i = 0; i < 10; ++i) scene.Frame(10);
  EXPECT_EQ(g->ShownValue(), 60);
  EXPECT_EQ(Runs(), (std::vector<std::string>{Run(kFill, 60), Run(0, 41)}));
  for (int i = 0; i < 19; ++i) scene.Frame(10);
  EXPECT_TRUE(g->GetPlaying());
  scene.Frame(10);
  EXPECT_FALSE(g->GetPlaying());
  EXPECT_EQ(g->ShownValue(), 80);
}

TEST_F(GaugeTest, WithoutDelayTheBarJumps) {
  TKovaGauge* g = Make(10);
  g->SetValue(90);
  scene.Frame();
  EXPECT_EQ(g->ShownValue(), 90);
  EXPECT_FALSE(g->GetPlaying());
  g->SetValue(30);  // a fall shows the new value at once; the trail goes after its pause (none)
  EXPECT_EQ(g->ShownValue(), 30);
  scene.Frame();
  EXPECT_EQ(g->TrailAmount(), 0);
  EXPECT_EQ(Runs(), (std::vector<std::string>{Run(kFill, 30), Run(0, 71)}));
}

TEST_F(GaugeTest, TheBarFillsFromMinAndAnEmptyOrInvertedRangeDrawsNothing) {
  TKovaGauge* g = Make(0);
  g->SetMin(100);
  g->SetMax(200);
  g->SetValue(150);
  scene.Frame();
  EXPECT_EQ(Runs(), (std::vector<std::string>{Run(kFill, 50), Run(0, 51)}));
  g->SetValue(900);  // read back clamped
  EXPECT_EQ(g->GetValue(), 200);
  for (int32_t max : {100, 40}) {
    g->SetMax(max);
    g->SetDelay(100);
    g->SetValue(120);
    g->SetValue(20);
    for (int i = 0; i < 3; ++i) scene.Frame();
    EXPECT_FALSE(g->GetPlaying()) << max;  // never stuck animating
    EXPECT_EQ(g->GetValue(), 100) << max;
    EXPECT_EQ(Runs(), (std::vector<std::string>{Run(0, 101)})) << max;
  }
}

TEST_F(GaugeTest, VerticalGaugesFillFromTheBottomOrReversedFromTheTopMirrored) {
  // Halves 2 x 4 whose rows differ: row y of the left half has blue 0x10 * (y + 1).
  std::vector<uint32_t> px;
  for (int32_t y = 0; y < 4; ++y) {
    for (int32_t x = 0; x < 4; ++x) px.push_back(x < 2 ? uint32_t(0x10 * (y + 1)) : uint32_t(0x10 * (y + 1)) << 16);
  }
  files.Add("rows.wxa", LayeredPicture(4, 4, {{px}}));
  TKovaGauge* g = Make(50, 1);  // 40 pixels high: 0.4 per unit
  g->SetSource("rows.wxa");
  EXPECT_EQ(g->GetWidth(), 2);
  EXPECT_EQ(g->GetHeight(), 40);
  g->SetDelay(1000);
  g->SetDuration(1000);
  g->SetValue(30);  // filled 12 pixels, trailing 8
  scene.Frame();
  for (bool reverse : {false, true}) {
    SCOPED_TRACE(reverse);
    g->SetReverse(reverse);
    scene.Frame();
    for (int32_t k = 0; k < 40; ++k) {
      // k counts from the start end: the bottom, or the top when reversed.
      const int32_t y = reverse ? 4 + k : 43 - k;
      const uint32_t level = uint32_t(0x10 * (4 - k % 4));  // the picture's bottom row at the start end
      const uint32_t want = k < 12 ? level : k < 20 ? level << 16 : 0;
      ASSERT_EQ(Rgb(4, y), want) << k;
    }
  }
}

TEST_F(GaugeTest, BarSizeZeroTakesTheLengthFromThePicture) {
  TKovaGauge* g = Make(10);
  EXPECT_EQ(g->GetWidth(), 100);
  g->SetBarSize(0);
  EXPECT_EQ(g->GetWidth(), 10);
  EXPECT_EQ(g->GetHeight(), 4);
  g->SetOrientation(1);
  g->SetBarSize(30);
  EXPECT_EQ(g->GetWidth(), 10);
  EXPECT_EQ(g->GetHeight(), 30);
  g->SetOrientation(0);
  g->SetBarSize(INT32_MAX);  // bounded, and drawn only where it shows
  EXPECT_EQ(g->GetWidth(), kMaxBarSize);
  scene.Frame();
  EXPECT_EQ(Rgb(4, 6), kFill);  // 10 of 100: filled far beyond the screen's edge
  EXPECT_EQ(Rgb(127, 6), kFill);
  g->SetBarSize(0);
  g->SetSource("");
  EXPECT_EQ(g->GetWidth(), 0);
  scene.Frame();
}

TEST_F(GaugeTest, ASavedGaugeLoadsStillAndOldVersionsLackIdleAndBarSize) {
  TKovaGauge* g = Make(80);
  g->SetDelay(1000);
  g->SetDuration(250);
  g->SetReverse(true);
  g->SetAlpha(128);
  g->SetOnIdle("i");
  g->SetValue(20);  // falling when saved
  TMemoryStream saved;
  scene.root.SaveToStream(saved);
  test::SceneDriver other(kDisplay8888, 128, 64, {.pictures = &files});
  saved.SetPosition(0);
  other.root.LoadFromStream(saved, 129);
  auto* back = dynamic_cast<TKovaGauge*>(other.root.FindComponent("gauge"));
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->GetValue(), 20);
  EXPECT_EQ(back->ShownValue(), 20);
  EXPECT_EQ(back->TrailAmount(), 0);
  EXPECT_FALSE(back->GetPlaying());
  EXPECT_EQ(back->GetDuration(), 250);
  EXPECT_TRUE(back->GetReverse());
  EXPECT_EQ(back->GetWidth(), 100);
  TMemoryStream again;
  other.root.SaveToStream(again);
  EXPECT_TRUE(std::ranges::equal(again.Bytes(), saved.Bytes()));

  TMemoryStream record;
  g->SaveToStream(record);
  const std::vector<uint8_t> full(record.Bytes().begin(), record.Bytes().end());
  // 127 lacks BarSize; 124 also the idle handler ("i": 5 bytes).
  for (int32_t version : {127, 124}) {
    SCOPED_TRACE(version);
    std::vector<uint8_t> old(full.begin(), full.end() - (version == 127 ? 4 : 9));
    TMemoryStream in;
    in.Write(old.data(), int64_t(old.size()));
    in.SetPosition(0);
    auto* loaded = static_cast<TKovaGauge*>(other.root.CreateComponent(KT_GAUGE));
    loaded->LoadFromStream(in, version);
    EXPECT_EQ(in.GetPosition(), in.Size());
    EXPECT_EQ(loaded->GetOnIdle(), version == 127 ? "i" : "");
    EXPECT_EQ(loaded->GetBarSize(), 0);
    EXPECT_EQ(loaded->GetWidth(), 10);
  }
}

}  // namespace
}  // namespace kova
