#include "graphics/dib.h"

#include <gtest/gtest.h>

#include <cstring>

#include "graphics_test_util.h"

namespace kova {
namespace {

using test::DibErrorOf;

TEST(Dib, EmptyBitmapAndSizing) {
  TDIB dib;
  EXPECT_TRUE(dib.Empty());
  EXPECT_EQ(dib.ColorTable()[200], (TRGBQuad{200, 200, 200, 0}));
  dib.SetWidth(10);
  EXPECT_EQ(dib.Width(), 10);
  EXPECT_EQ(dib.Height(), 1);
  EXPECT_EQ(dib.BitCount(), 8);
  dib.SetHeight(4);
  EXPECT_EQ(dib.Height(), 4);
  dib.SetHeight(0);
  EXPECT_TRUE(dib.Empty());
  dib.SetBitCount(24);  // an empty bitmap becomes 1 x 1
  EXPECT_EQ(dib.Width(), 1);
  EXPECT_EQ(dib.Height(), 1);
  EXPECT_EQ(dib.BitCount(), 24);
}

// A resized bitmap is all zero, whether its bytes are new (small ones from the heap, large ones
// as fresh pages that are never written to clear them) or the old ones kept and cleared.
TEST(Dib, ResizedBitmapsReadAsZero) {
  TDIB dib;
  const int32_t sizes[][2] = {{4, 4}, {640, 480}, {600, 480}, {641, 480}, {16, 16}, {1024, 1024}, {1000, 1024}};
  for (const auto& size : sizes) {
    dib.SetSize(size[0], size[1], 32);
    ASSERT_EQ(dib.Width(), size[0]);
    const uint8_t* p = dib.PixelData();
    size_t nonzero = 0;
    for (size_t i = 0; i < dib.Size(); ++i) nonzero += p[i] != 0;
    EXPECT_EQ(nonzero, 0u) << size[0] << " x " << size[1];
    std::memset(dib.PixelData(), 0xA5, dib.Size());
  }
}

TEST(Dib, RowsAreStoredBottomUpInWholeWords) {
  struct Case {
    int32_t width, bits, width_bytes;
  } cases[] = {{3, 24, 12}, {33, 1, 8}, {3, 4, 4}, {5, 16, 12}, {1, 32, 4}, {7, 8, 8}};
  for (const Case& c : cases) {
    TDIB dib;
    if (c.bits == 16) dib.PixelFormat = kFormat565;
    dib.SetSize(c.width, 3, c.bits);
    EXPECT_EQ(dib.WidthBytes(), c.width_bytes) << c.bits;
    EXPECT_EQ(dib.Size(), size_t(3 * c.width_bytes));
    EXPECT_EQ(dib.NextLine(), -c.width_bytes);
    EXPECT_EQ(dib.RowAddress(2), dib.PixelData());
    EXPECT_EQ(dib.RowAddress(0), dib.TopRow());
    EXPECT_EQ(dib.RowAddress(0), dib.PixelData() + 2 * c.width_bytes);
  }
}

TEST(Dib, PixelAccessAtEachDepth) {
  TDIB one;
  one.SetSize(16, 2, 1);
  one.SetPixel(9, 1, 1);
  EXPECT_EQ(one.RowAddress(1)[1], 0x40);  // bit 7 - (9 and 7) of byte 1
  EXPECT_EQ(one.GetPixel(9, 1), 1u);
  TDIB four;
  four.SetSize(4, 1, 4);
  four.SetPixel(2, 0, 0xA);
  four.SetPixel(3, 0, 0x5);
  EXPECT_EQ(four.RowAddress(0)[1], 0xA5);  // even x in the high nibble
  TDIB deep;
  deep.SetSize(2, 1, 24);
  uint8_t* row = deep.RowAddress(0);
  row[3] = 0x11;
  row[4] = 0x22;
  row[5] = 0x33;
  EXPECT_EQ(deep.GetPixel(1, 0), 0x332211u);
  // Outside the image: 0 and nothing.
  EXPECT_EQ(deep.GetPixel(-1, 0), 0u);
  EXPECT_EQ(deep.GetPixel(2, 0), 0u);
  deep.SetPixel(0, 1, 0xFFFFFF);
  EXPECT_EQ(deep.GetPixel(0, 0), 0u);
}

TEST(Dib, ErrorsCarryTheirMessages) {
  TDIB dib;
  dib.SetSize(4, 3, 8);
  EXPECT_EQ(DibErrorOf([&] { dib.RowAddress(3); }), test::kMsgScanlineRangePrefix + "3)");
  EXPECT_EQ(DibErrorOf([&] { dib.RowAddress(-1); }), test::kMsgScanlineRangePrefix + "-1)");
  EXPECT_EQ(DibErrorOf([&] { dib.SetSize(4, 3, 7); }), test::kMsgInvalidBitCountPrefix + "7)");
  // The requested 8-8-8 format cannot hold 16-bit pixels; the bitmap stays as it was.
  EXPECT_EQ(DibErrorOf([&] { dib.SetSize(4, 3, 16); }), test::kMsgInvalidPixelFormat);
  EXPECT_EQ(dib.BitCount(), 8);
  EXPECT_EQ(dib.Width(), 4);
}

TEST(Dib, CopiesAreIndependent) {
  TDIB a;
  a.SetSize(2, 2, 32);
  a.SetPixel(0, 0, 0x123456);
  TDIB b;
  b.Assign(&a);
  b.SetPixel(0, 0, 0x654321);
  TDIB c = b;
  c.SetPixel(0, 0, 1);
  EXPECT_EQ(a.GetPixel(0, 0), 0x123456u);
  EXPECT_EQ(b.GetPixel(0, 0), 0x654321u);
  b.Assign(nullptr);
  EXPECT_TRUE(b.Empty());
}

TEST(Dib, DeeperConversionsUnpackAndPack) {
  TDIB dib;
  dib.SetSize(2, 1, 8);
  dib.ColorTable()[7] = {0x30, 0x20, 0x10, 0};  // blue 0x30, green 0x20, red 0x10
  dib.SetPixel(0, 0, 7);
  dib.SetBitCount(24);
  EXPECT_EQ(dib.GetPixel(0, 0), 0x102030u);
  EXPECT_EQ(dib.GetPixel(1, 0), 0u);  // entry 0 of the grey table

  dib.SetPixel(1, 0, 0xFF8008);
  dib.PixelFormat = kFormat565;
  dib.SetBitCount(16);
  EXPECT_EQ(dib.GetPixel(1, 0), 0xFC01u);  // channels truncated
  dib.SetBitCount(32);                     // 5-6-5 fits no 32-bit image: 8-8-8 is used
  EXPECT_EQ(dib.GetPixel(1, 0), 0xFF8208u);  // 31 -> 255, 32 -> 130, 1 -> 8
  EXPECT_EQ(dib.NowPixelFormat(), kFormat888);
  dib.SetBitCount(16);  // a 16-bit re-make without a 16-bit request takes 5-5-5
  EXPECT_EQ(dib.GetPixel(1, 0), 0x7E01u);
}

TEST(Dib, ReductionsUseColourCubes) {
  TDIB dib;
  dib.SetSize(4, 1, 24);
  dib.SetPixel(0, 0, 0xFF0000);
  dib.SetPixel(1, 0, 0x00FF00);
  dib.SetPixel(2, 0, 0x0000FF);
  dib.SetPixel(3, 0, 0xD0D0D0);
  TDIB eight = dib;
  eight.SetBitCount(8);  // 3-3-2 cube, red in the top bits
  EXPECT_EQ(eight.GetPixel(0, 0), 0xE0u);
  EXPECT_EQ(eight.GetPixel(1, 0), 0x1Cu);
  EXPECT_EQ(eight.GetPixel(2, 0), 0x03u);
  EXPECT_EQ(eight.GetPixel(3, 0), 0xDAu);  // 218, 218, 170: red 6, green 6, blue 2
  EXPECT_EQ(eight.ColorTable()[0xE0], (TRGBQuad{0, 0, 255, 0}));
  EXPECT_EQ(eight.ColorTable()[0xDA], (TRGBQuad{170, 218, 218, 0}));
  TDIB four = dib;
  four.SetBitCount(4);  // 1-2-1 cube
  EXPECT_EQ(four.GetPixel(0, 0), 8u);
  EXPECT_EQ(four.GetPixel(1, 0), 6u);
  EXPECT_EQ(four.GetPixel(2, 0), 1u);
  EXPECT_EQ(four.ColorTable()[6], (TRGBQuad{0, 255, 0, 0}));
  TDIB one = dib;
  one.SetBitCount(1);  // black and white
  EXPECT_EQ(one.GetPixel(3, 0), 1u);
  EXPECT_EQ(one.GetPixel(2, 0), 0u);
  // From fewer to more index bits the indexes stay.
  four.SetBitCount(8);
  EXPECT_EQ(four.GetPixel(0, 0), 8u);
  EXPECT_EQ(four.ColorTable()[8], (TRGBQuad{0, 0, 255, 0}));
}

}  // namespace
}  // namespace kova
