// What every fade, flash, slide, scale and twist kind shares: its class from the factory, the end
// of the transition drawing nothing, a length below 1 being over at once, and no read or write
// outside a surface for tiny, odd or mismatched sizes and parameters out of range.
#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <functional>
#include <typeinfo>

#include "core/vocabulary.h"
#include "motion/wipe_fades.h"
#include "motion/wipe_slides.h"
#include "wipe_scene.h"

namespace kova {
namespace {

using wipetest::FirstDifference;
using wipetest::Picture;
using wipetest::TWipeScene;

struct Kind {
  int32_t kind;
  std::function<bool(TCustomWipe*)> is;
};

template <typename T>
std::function<bool(TCustomWipe*)> Is() {
  return [](TCustomWipe* w) { return typeid(*w) == typeid(T); };
}

const Kind kKinds[] = {
    {WP_FADE, Is<TWipeFade>()},         {WP_WHITE, Is<TWipeWhite>()},     {WP_BLACK, Is<TWipeBlack>()},
    {WP_FLASH, Is<TWipeFlash>()},       {WP_BLURWHITE, Is<TWipeBlurWhite>()},
    {WP_BLURBLACK, Is<TWipeBlurBlack>()}, {WP_SCROLLH, Is<TWipeScrollH>()}, {WP_SCROLLV, Is<TWipeScrollV>()},
    {WP_SUDAREH, Is<TWipeSudareH>()},   {WP_SUDAREV, Is<TWipeSudareV>()}, {WP_TWISTH, Is<TWipeTwistH>()},
    {WP_TWISTV, Is<TWipeTwistV>()},     {WP_SMALL, Is<TWipeSmall>()},     {WP_BIG, Is<TWipeBig>()},
    {WP_ZOOMIN, Is<TWipeZoomin>()},     {WP_MOSAIC, Is<TWipeMosaic>()},
};

constexpr int32_t kDepths[] = {15, 16, 32};

TEST(WipeWholePictureKindsTest, FactoryMakesEachKindsClassWithNoParameters) {
  for (const Kind& k : kKinds) {
    TWipeScene s(k.kind, 8, 6, 32, 10);
    ASSERT_TRUE(s.wipe) << k.kind;
    EXPECT_TRUE(k.is(s.wipe.get())) << k.kind;
    EXPECT_EQ(s.wipe->GetParam(0), 0) << k.kind;
    EXPECT_EQ(s.wipe->GetParam(1), 0) << k.kind;
  }
}

TEST(WipeWholePictureKindsTest, DoneAtTheLengthLeavesDestUntouched) {
  for (const Kind& k : kKinds)
    for (int32_t bits : kDepths)
      for (bool rev : {false, true}) {
        TWipeScene s(k.kind, 20, 14, bits, 50, rev);
        s.wipe->SetParam(0, 64);
        s.wipe->SetParam(1, 7);
        EXPECT_FALSE(s.StepAt(25)) << k.kind;
        EXPECT_EQ(s.wipe->UpdateArea(), (TRect{0, 0, 20, 14}));
        // A picture only this test draws: the end must not change it.
        s.dest->Fill(uint32_t(s.dest->ColorToPixel(0x123456)));
        const auto before = Picture(20, 14, bits, [](int32_t, int32_t) { return 0x123456; });
        for (int32_t pos : {50, 51, INT32_MAX}) {
          EXPECT_TRUE(s.StepAt(pos)) << k.kind << " " << pos;
          EXPECT_EQ(s.wipe->UpdateArea(), (TRect{0, 0, 20, 14}));
          EXPECT_EQ(FirstDifference(*s.dest, *before), "") << k.kind << " " << bits << " pos " << pos;
        }
      }
}

TEST(WipeWholePictureKindsTest, LengthBelowOneIsDoneAtOnce) {
  for (const Kind& k : kKinds)
    for (int32_t length : {0, -1, INT32_MIN}) {
      TWipeScene s(k.kind, 9, 5, 16, length);
      EXPECT_TRUE(s.StepAt(0)) << k.kind << " " << length;
      EXPECT_EQ(s.At(4, 2), s.Marker()) << k.kind;
    }
}

TEST(WipeWholePictureKindsTest, TinyOddAndMismatchedSurfacesStayInBounds) {
  // Dest, old and new sizes (0 x 0: a surface never sized), with every position of a short
  // transition and parameters at the ends of their range: the sanitizers catch any access
  // outside a surface.
  struct Sizes {
    int32_t dw, dh, ow, oh, nw, nh;
  };
  const Sizes sizes[] = {{1, 1, 1, 1, 1, 1}, {3, 2, 3, 2, 3, 2}, {3, 2, 5, 4, 2, 7},
                         {7, 5, 2, 1, 9, 3}, {1, 1, 4, 4, 0, 0}, {2, 3, 0, 0, 1, 1}};
  const std::array<int32_t, 2> params[] = {{0, 0}, {INT32_MAX, INT32_MIN}, {INT32_MIN, INT32_MAX}, {-1, 3}};
  for (const Kind& k : kKinds)
    for (int32_t bits : kDepths)
      for (const Sizes& z : sizes)
        for (bool rev : {false, true})
          for (const auto& p : params) {
            auto sized = [bits](int32_t w, int32_t h, auto colour) {
              return w > 0 ? Picture(w, h, bits, colour) : std::make_unique<TDIBX>();
            };
            TWipeScene s(k.kind, sized(z.dw, z.dh, wipetest::OldColour), sized(z.ow, z.oh, wipetest::OldColour),
                         sized(z.nw, z.nh, wipetest::NewColour), 7, rev);
            s.wipe->SetParam(0, p[0]);
            s.wipe->SetParam(1, p[1]);
            for (int32_t pos = 0; pos < 7; ++pos) ASSERT_FALSE(s.StepAt(pos)) << k.kind << " pos " << pos;
            ASSERT_TRUE(s.StepAt(7));
          }
}

TEST(WipeWholePictureKindsTest, HugeLengthsAndLayersOfAnotherDepth) {
  for (const Kind& k : kKinds) {
    // Products of the position never overflow.
    TWipeScene s(k.kind, 6, 4, 32, INT32_MAX);
    s.wipe->SetParam(0, INT32_MAX);
    for (int32_t pos : {0, INT32_MAX / 2, INT32_MAX - 1}) EXPECT_FALSE(s.StepAt(pos)) << k.kind;
    // A 32-bit old layer and a 15-bit new one under a 16-bit destination: nothing to draw with
    // them, and nothing outside any surface.
    TWipeScene m(k.kind, Picture(5, 4, 16, wipetest::OldColour), Picture(6, 3, 32, wipetest::OldColour),
                 Picture(4, 5, 15, wipetest::NewColour), 9);
    for (int32_t pos = 0; pos < 9; ++pos) EXPECT_FALSE(m.StepAt(pos)) << k.kind;
  }
}

}  // namespace
}  // namespace kova
