#include <gtest/gtest.h>

#include "graphics/dib.h"

namespace kova {
namespace {

TDIB TwoPixels() {
  TDIB dib;
  dib.SetSize(2, 1, 32);
  dib.SetPixel(0, 0, 0xFFFFFF);
  dib.SetPixel(1, 0, 0x6432C8);  // red 100, green 50, blue 200
  return dib;
}

// Grey = round(r 0.3588) + round(g 0.402) + round(b 0.2392): white 91 + 103 + 61 = 255;
// (100, 50, 200) gives 36 + 20 + 48 = 104.
TEST(DibEffects, GreyscaleAtEachDepth) {
  struct Case {
    int32_t bits;
    uint32_t white, colour;
  } cases[] = {
      {32, 0xFFFFFF, 0x686868}, {24, 0xFFFFFF, 0x686868}, {16, 0x7FFF, 0x35AD},  // 5-5-5: 13, 13, 13
      {8, 255, 104},            {4, 15, 6},               {1, 1, 0},
  };
  for (const Case& c : cases) {
    TDIB dib = TwoPixels();
    dib.Greyscale(c.bits);
    EXPECT_EQ(dib.BitCount(), c.bits);
    EXPECT_EQ(dib.GetPixel(0, 0), c.white) << c.bits;
    EXPECT_EQ(dib.GetPixel(1, 0), c.colour) << c.bits;
  }
  TDIB four = TwoPixels();
  four.Greyscale(4);
  EXPECT_EQ(four.ColorTable()[6], (TRGBQuad{102, 102, 102, 0}));  // 96 | 96 >> 4
  EXPECT_EQ(four.ColorTable()[15], (TRGBQuad{255, 255, 255, 0}));
  TDIB one = TwoPixels();
  one.Greyscale(1);
  EXPECT_EQ(one.ColorTable()[1], (TRGBQuad{255, 255, 255, 0}));
  TDIB deep = TwoPixels();
  deep.PixelFormat = kFormat565;
  deep.Greyscale(16);
  EXPECT_EQ(deep.GetPixel(1, 0), 0x6B4Du);  // 13, 26, 13
}

// One coloured pixel (90, 180, 9) at (1, 1) of a black 4 x 4 picture, amount 1 (3 x 3 window).
TEST(DibEffects, BlurMeansTheWindowInsideThePicture) {
  TDIB dib;
  dib.SetSize(4, 4, 32);
  dib.SetPixel(1, 1, 0x5AB409);
  TDIB grey = dib;
  dib.Blur(32, -1);
  EXPECT_EQ(dib.GetPixel(0, 0), 0x162D02u);  // 4 pixels: 22, 45, 2
  EXPECT_EQ(dib.GetPixel(1, 1), 0x0A1401u);  // 9 pixels: 10, 20, 1
  EXPECT_EQ(dib.GetPixel(2, 2), 0x0A1401u);
  EXPECT_EQ(dib.GetPixel(2, 0), 0x0F1E01u);  // 6 pixels: 15, 30, 1
  EXPECT_EQ(dib.GetPixel(3, 3), 0u);
  EXPECT_EQ(dib.GetPixel(3, 0), 0u);
  grey.Blur(8, 1);  // (90 + 180 + 9) div count div 3
  EXPECT_EQ(grey.GetPixel(0, 0), 23u);
  EXPECT_EQ(grey.GetPixel(1, 1), 10u);
  EXPECT_EQ(grey.ColorTable()[23], (TRGBQuad{23, 23, 23, 0}));
  TDIB wide;
  wide.SetSize(3, 1, 24);
  wide.SetPixel(0, 0, 0x030303);
  wide.Blur(24, 0);
  EXPECT_EQ(wide.GetPixel(0, 0), 0x030303u);
  wide.Blur(24, 50);  // a window larger than the picture
  EXPECT_EQ(wide.GetPixel(2, 0), 0x010101u);
}

TEST(DibEffects, NegativeInvertsBytesOrTheColourTable) {
  TDIB dib;
  dib.SetSize(1, 1, 32);
  dib.SetPixel(0, 0, 0x00123456);
  dib.Negative();
  EXPECT_EQ(dib.GetPixel(0, 0), 0xFFEDCBA9u);
  TDIB eight;
  eight.SetSize(1, 1, 8);
  eight.SetPixel(0, 0, 5);
  eight.ColorTable()[5] = {1, 2, 3, 0};
  eight.Negative();
  EXPECT_EQ(eight.GetPixel(0, 0), 5u);
  EXPECT_EQ(eight.ColorTable()[5], (TRGBQuad{254, 253, 252, 0}));
}

}  // namespace
}  // namespace kova
