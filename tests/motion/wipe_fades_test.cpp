#include "motion/wipe_fades.h"

#include <gtest/gtest.h>

#include "core/vocabulary.h"
#include "wipe_scene.h"

namespace kova {
namespace {

using wipetest::AddSat;
using wipetest::Blend;
using wipetest::FirstDifference;
using wipetest::Grey;
using wipetest::Picture;
using wipetest::SubSat;
using wipetest::TWipeScene;

constexpr int32_t kDepths[] = {15, 16, 32};

TEST(WipeFadeTest, NewPictureBlendsInAtPosTimes256DivLength) {
  for (int32_t bits : kDepths) {
    TWipeScene s(WP_FADE, 12, 9, bits, 1000);
    ASSERT_TRUE(dynamic_cast<TWipeFade*>(s.wipe.get()));
    // Alpha 0 draws nothing: the old picture alone.
    EXPECT_FALSE(s.StepAt(0));
    EXPECT_EQ(FirstDifference(*s.dest, *s.from), "") << bits;
    for (int32_t pos : {500, 999}) {
      const uint32_t alpha = uint32_t(pos * 256 / 1000);  // 128, then 255 (never a plain copy)
      EXPECT_FALSE(s.StepAt(pos));
      for (int32_t y = 0; y < 9; y += 4)
        for (int32_t x = 0; x < 12; x += 5)
          EXPECT_EQ(s.At(x, y), Blend(*s.dest, s.Old(x, y), s.New(x, y), alpha)) << bits << " " << pos;
    }
  }
}

TEST(WipeFadeTest, ParametersSlideTheNewPictureInFromTheirOffset) {
  for (int32_t bits : kDepths) {
    TWipeScene s(WP_FADE, 32, 24, bits, 10);
    s.wipe->SetParam(0, 40);
    s.wipe->SetParam(1, -20);
    // r = (10 - 1 - 5) / 10: offset (Round(16), Round(-8)), alpha 128.
    s.StepAt(5);
    for (int32_t y = 0; y < 24; y += 3)
      for (int32_t x = 0; x < 32; x += 3) {
        const bool covered = x >= 16 && y < 16;
        const uint32_t want = covered ? Blend(*s.dest, s.Old(x, y), s.New(x - 16, y + 8), 128) : s.Old(x, y);
        ASSERT_EQ(s.At(x, y), want) << bits << " (" << x << ", " << y << ")";
      }
    // r = (10 - 1 - 4) / 10 = 0.5 with p0 = 5: Round(2.5) is 2 (halves to even).
    TWipeScene t(WP_FADE, 8, 4, bits, 10);
    t.wipe->SetParam(0, 5);
    t.StepAt(4);
    EXPECT_EQ(t.At(1, 0), t.Old(1, 0));
    EXPECT_EQ(t.At(2, 0), Blend(*t.dest, t.Old(2, 0), t.New(0, 0), 4 * 256 / 10)) << bits;
  }
}

TEST(WipeGreyPassTest, WhiteAndBlackRunThroughTheGreySequence) {
  // Length 511: v = pos; grey v over the old picture below 256, grey 511 - v over the new one
  // after.
  struct Case {
    int32_t pos;
    bool old_picture;
    int32_t grey;
  };
  const Case cases[] = {{0, true, 0}, {100, true, 100}, {255, true, 255}, {256, false, 255}, {300, false, 211},
                        {510, false, 1}};
  for (int32_t kind : {int32_t(WP_WHITE), int32_t(WP_BLACK)})
    for (int32_t bits : kDepths)
      for (const Case& c : cases) {
        TWipeScene s(kind, 10, 7, bits, 511);
        EXPECT_FALSE(s.StepAt(c.pos));
        const uint32_t g = Grey(*s.dest, c.grey);
        for (int32_t y = 0; y < 7; y += 3)
          for (int32_t x = 0; x < 10; x += 3) {
            const uint32_t p = c.old_picture ? s.Old(x, y) : s.New(x, y);
            const uint32_t want = kind == WP_WHITE ? AddSat(*s.dest, p, g) : SubSat(*s.dest, p, g);
            ASSERT_EQ(s.At(x, y), want) << kind << " " << bits << " pos " << c.pos;
          }
      }
}

TEST(WipeGreyPassTest, FullGreyTurnsThePictureWhiteOrBlack) {
  for (int32_t bits : kDepths) {
    TWipeScene white(WP_WHITE, 6, 4, bits, 511), black(WP_BLACK, 6, 4, bits, 511);
    white.StepAt(256);
    black.StepAt(255);
    const uint32_t full = white.dest->RedMask() | white.dest->GreenMask() | white.dest->BlueMask();
    EXPECT_EQ(white.At(3, 2), full) << bits;
    EXPECT_EQ(black.At(3, 2), 0u) << bits;
    black.StepAt(256);
    EXPECT_EQ(black.At(5, 3), 0u) << bits;
  }
}

TEST(WipeFlashTest, NewPictureUnderAWhiteFlashThatFades) {
  for (int32_t bits : kDepths) {
    TWipeScene s(WP_FLASH, 9, 6, bits, 100);
    s.StepAt(0);
    const uint32_t full = s.dest->RedMask() | s.dest->GreenMask() | s.dest->BlueMask();
    EXPECT_EQ(s.At(4, 4), full) << bits;
    for (int32_t pos : {37, 99}) {
      s.StepAt(pos);
      const uint32_t g = Grey(*s.dest, 255 - pos * 255 / 100);
      for (int32_t y = 0; y < 6; y += 2)
        for (int32_t x = 0; x < 9; x += 4) EXPECT_EQ(s.At(x, y), AddSat(*s.dest, s.New(x, y), g)) << bits << " " << pos;
    }
  }
}

// 5-6-5 <-> 5-5-5 as the 16-bit blur goes: green loses its lowest bit, and comes back with its top
// bit repeated as the lowest.
uint32_t Through555(uint32_t p) {
  const uint32_t r = p >> 11 & 31, g = p >> 5 & 63, b = p & 31;
  const uint32_t g5 = g >> 1;
  return r << 11 | (g5 << 1 | g5 >> 4) << 5 | b;
}

TEST(WipeBlurTest, AmountIsTheShorterSideDiv20) {
  TWipeScene large(WP_BLURWHITE, 640, 480, 32, 100);
  auto* blur = dynamic_cast<TWipeBlurWhite*>(large.wipe.get());
  ASSERT_TRUE(blur);
  EXPECT_EQ(blur->BlurAmount(), 24);
  for (int32_t bits : kDepths) {
    // 1 x 1: no blur, the copies are the pictures themselves (at 16 bits as they come back from
    // 15 bits).
    TWipeScene tiny(WP_BLURBLACK, 1, 1, bits, 100);
    auto* b = dynamic_cast<TWipeBlurWhite*>(tiny.wipe.get());
    ASSERT_TRUE(dynamic_cast<TWipeBlurBlack*>(tiny.wipe.get()));
    EXPECT_EQ(b->BlurAmount(), 0);
    const uint32_t old_pixel = tiny.Old(0, 0), new_pixel = tiny.New(0, 0);
    EXPECT_EQ(b->BlurOld().GetPixel(0, 0), bits == 16 ? Through555(old_pixel) : old_pixel) << bits;
    EXPECT_EQ(b->BlurNew().GetPixel(0, 0), bits == 16 ? Through555(new_pixel) : new_pixel) << bits;
  }
}

TEST(WipeBlurTest, CopiesSpreadAPointOverTheReachAndNoFurther) {
  // 40 x 40: amount 2. A white dot in black spreads over the 5 x 5 box around it.
  for (int32_t bits : kDepths) {
    auto dot = [](int32_t x, int32_t y) { return x == 20 && y == 20 ? 0xFFFFFF : 0; };
    TWipeScene s(WP_BLURWHITE, Picture(40, 40, bits, dot), Picture(40, 40, bits, dot),
                 Picture(40, 40, bits, [](int32_t, int32_t) { return 0x204060; }), 100);
    auto* b = dynamic_cast<TWipeBlurWhite*>(s.wipe.get());
    ASSERT_EQ(b->BlurAmount(), 2);
    EXPECT_EQ(b->BlurOld().BitCount(), bits);
    const uint32_t white = b->BlurOld().RedMask() | b->BlurOld().GreenMask() | b->BlurOld().BlueMask();
    const uint32_t centre = b->BlurOld().GetPixel(20, 20);
    EXPECT_NE(centre, 0u) << bits;
    EXPECT_NE(centre, white) << bits;
    EXPECT_EQ(b->BlurOld().GetPixel(22, 18), centre) << bits;  // a box blur: the same weight
    EXPECT_EQ(b->BlurOld().GetPixel(23, 20), 0u) << bits;
    EXPECT_EQ(b->BlurOld().GetPixel(20, 17), 0u) << bits;
    // A plain picture stays as it is.
    EXPECT_EQ(b->BlurNew().GetPixel(5, 30), s.New(5, 30)) << bits;
  }
}

TEST(WipeBlurTest, SixteenBitCopiesAreBlurredAtFifteenBits) {
  // A plain 16-bit picture keeps its colour but for the green channel's lowest bit.
  auto plain = Picture(30, 20, 16, [](int32_t, int32_t) { return 0; });
  plain->Fill(0x0400 | 0x801F);  // green 0x20 (6 bits), red 16, blue 31
  auto plain_new = Picture(30, 20, 16, [](int32_t, int32_t) { return 0; });
  plain_new->Fill(0x07E0);  // full green stays full green
  TWipeScene s(WP_BLURWHITE, Picture(30, 20, 16, wipetest::OldColour), std::move(plain), std::move(plain_new), 10);
  auto* b = dynamic_cast<TWipeBlurWhite*>(s.wipe.get());
  ASSERT_EQ(b->BlurAmount(), 1);
  EXPECT_EQ(b->BlurOld().BitCount(), 16);
  EXPECT_EQ(b->BlurOld().GetPixel(7, 7), 0x0420u | 0x801Fu);
  EXPECT_EQ(b->BlurNew().GetPixel(29, 19), 0x07E0u);

  // A patterned picture: the blur of its 5-5-5 form, brought back to 5-6-5.
  TWipeScene p(WP_BLURBLACK, 40, 30, 16, 10);
  TDIBX work;
  work.SetSize(40, 30, 15);
  for (int32_t y = 0; y < 30; ++y)
    for (int32_t x = 0; x < 40; ++x) {
      const uint32_t v = p.Old(x, y);
      work.SetPixel(x, y, (v >> 11 & 31) << 10 | (v >> 6 & 31) << 5 | (v & 31));
    }
  work.Surface().Blur(16, 1);
  auto* pb = dynamic_cast<TWipeBlurWhite*>(p.wipe.get());
  for (int32_t y = 0; y < 30; y += 3)
    for (int32_t x = 0; x < 40; x += 3) {
      const uint32_t v = work.GetPixel(x, y);
      const uint32_t want = Through555((v >> 10 & 31) << 11 | (v >> 5 & 31) << 6 | (v & 31));
      ASSERT_EQ(pb->BlurOld().GetPixel(x, y), want) << "(" << x << ", " << y << ")";
    }
}

TEST(WipeBlurTest, StepsThroughBlurGreyAndSharpening) {
  // Length 639: v = pos.
  for (int32_t kind : {int32_t(WP_BLURWHITE), int32_t(WP_BLURBLACK)})
    for (int32_t bits : kDepths) {
      TWipeScene s(kind, 48, 40, bits, 639);
      auto* b = dynamic_cast<TWipeBlurWhite*>(s.wipe.get());
      ASSERT_EQ(b->BlurAmount(), 2);
      auto grey = [&](uint32_t p, int32_t g) {
        return kind == WP_BLURWHITE ? AddSat(*s.dest, p, Grey(*s.dest, g)) : SubSat(*s.dest, p, Grey(*s.dest, g));
      };
      for (int32_t v : {0, 100, 255, 256, 290, 319, 320, 350, 383, 384, 500, 638}) {
        EXPECT_FALSE(s.StepAt(v));
        for (int32_t y = 1; y < 40; y += 13)
          for (int32_t x = 2; x < 48; x += 15) {
            uint32_t want;
            if (v < 256)
              want = Blend(*s.dest, s.Old(x, y), b->BlurOld().GetPixel(x, y), uint32_t(v));
            else if (v < 320)
              want = grey(b->BlurOld().GetPixel(x, y), (v - 256) * 4);
            else if (v < 384)
              want = grey(b->BlurNew().GetPixel(x, y), (383 - v) * 4);
            else
              want = Blend(*s.dest, s.New(x, y), b->BlurNew().GetPixel(x, y), uint32_t(639 - v));
            ASSERT_EQ(s.At(x, y), want) << kind << " " << bits << " v " << v << " (" << x << ", " << y << ")";
          }
      }
      // The stretches' ends: v 319 and 320 both carry grey 252.
      s.StepAt(319);
      EXPECT_EQ(s.At(5, 5), grey(b->BlurOld().GetPixel(5, 5), 252));
      s.StepAt(320);
      EXPECT_EQ(s.At(5, 5), grey(b->BlurNew().GetPixel(5, 5), 252));
    }
}

}  // namespace
}  // namespace kova
