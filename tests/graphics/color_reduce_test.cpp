#include "graphics/color_reduce.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "graphics/dib_surface.h"

namespace kova {
namespace {

// A 24-bit work image from $RRGGBB colours, top row first.
void Fill24(TFastDIB& dib, int32_t w, int32_t h, const std::vector<uint32_t>& colors) {
  dib.SetSize(w, h, 0, 24);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const uint32_t c = colors[size_t(y * w + x)];
      uint8_t* p = dib.Scanline(y) + 3 * x;
      p[0] = uint8_t(c);
      p[1] = uint8_t(c >> 8);
      p[2] = uint8_t(c >> 16);
    }
}

uint32_t Word16(const TFastDIB& dib, int32_t y, int32_t x) {
  uint16_t v;
  std::memcpy(&v, dib.Scanline(y) + 2 * x, 2);
  return v;
}

TEST(FastDib, LayoutAndColourCount) {
  TFastDIB dib;
  dib.SetSize(5, -3, 0, 4);
  EXPECT_EQ(dib.Height, 3);
  EXPECT_EQ(dib.Stride, 4);
  EXPECT_EQ(dib.Gap, 1);
  dib.SetPixels8(2, 3, 9);
  EXPECT_EQ(dib.Scanline(2)[1], 0x09);
  EXPECT_EQ(dib.Pixels8(2, 3), 9);
  EXPECT_EQ(dib.ColorCount(), 2);
  TFastDIB deep;
  deep.SetSize(3, 1, 0, 32);
  EXPECT_EQ(deep.Format, 888);
  uint32_t* row = reinterpret_cast<uint32_t*>(deep.Scanline(0));
  row[0] = 0xFF123456;
  row[1] = 0x00123456;  // the same colour: the top byte is no channel
  row[2] = 0x00654321;
  EXPECT_EQ(deep.ColorCount(), 2);
  TFastDIB words;
  words.SetSize(2, 1, 0, 16);
  EXPECT_EQ(words.Format, 565);
  EXPECT_EQ(words.RMask, 0xF800u);
  EXPECT_EQ(words.GShr, 2);
}

TEST(FastQuant, SixteenBitsPlainAndDithered) {
  TFastDIB src;
  Fill24(src, 3, 2, std::vector<uint32_t>(6, 0x646464));  // grey 100
  TFastDIB plain;
  plain.SetSize(3, 2, 565, 16);
  FastQuant(plain, src, false, 0);
  EXPECT_EQ(Word16(plain, 0, 0), 0x632Cu);  // 12, 25, 12
  TFastDIB dith;
  dith.SetSize(3, 2, 565, 16);
  FastQuant(dith, src, true, 0);
  // Red and blue 100: the dropped bits (4) are half a step, so 13; green 25 exactly. The error
  // -4 x 7/16 makes the next pixel 98: 12 with error 2.
  EXPECT_EQ(Word16(dith, 0, 0), 0x6B2Du);
  EXPECT_EQ(Word16(dith, 0, 1), 0x632Cu);
  // Pixel 2 of row 0: 100 x 16 + 2 x 7 = 1614 -> 100 -> 13 again.
  EXPECT_EQ(Word16(dith, 0, 2), 0x6B2Du);
  // Row 1 runs right to left; its right pixel holds 1600 + 2 x 1 (from x 1) - 4 x 5 (from above)
  // = 1582 sixteenths: 98, so 12.
  EXPECT_EQ(Word16(dith, 1, 2), 0x632Cu);
  TFastDIB five;
  five.SetSize(1, 1, 555, 16);
  TFastDIB white;
  Fill24(white, 1, 1, {0xFFFFFF});
  FastQuant(five, white, true, 0);
  EXPECT_EQ(Word16(five, 0, 0), 0x7FFFu);  // a full channel is never raised past its top
}

TEST(FastQuant, DirectConversions) {
  TFastDIB src;
  Fill24(src, 4, 1, {0x102030, 0x102030, 0x102030, 0x102030});
  TFastDIB eight;
  eight.SetSize(4, 1, 0, 8);
  FastQuant(eight, src, true, 255);
  EXPECT_EQ(eight.Colors[0], (TRGBQuad{0x30, 0x20, 0x10, 0}));
  EXPECT_EQ(eight.Colors[1], (TRGBQuad{}));
  for (int32_t x = 0; x < 4; ++x) EXPECT_EQ(eight.Pixels8(0, x), 0);

  Fill24(src, 4, 1, {0xAA0000, 0x00BB00, 0xAA0000, 0x0000CC});
  FastQuant(eight, src, false, 255);  // numbered in order of first appearance
  EXPECT_EQ(eight.Pixels8(0, 0), 0);
  EXPECT_EQ(eight.Pixels8(0, 1), 1);
  EXPECT_EQ(eight.Pixels8(0, 2), 0);
  EXPECT_EQ(eight.Pixels8(0, 3), 2);
  EXPECT_EQ(eight.Colors[2], (TRGBQuad{0xCC, 0, 0, 0}));
  TFastDIB four;
  four.SetSize(4, 1, 0, 4);
  FastQuant(four, src, false, 15);
  EXPECT_EQ(four.Pixels8(0, 3), 2);

  Fill24(src, 4, 1, {0x111111, 0x111111, 0xEEEEEE, 0x111111});
  TFastDIB one;
  one.SetSize(4, 1, 0, 1);
  FastQuant(one, src, false, 0);
  EXPECT_EQ(one.Scanline(0)[0], 0x20);  // the third pixel's bit, leftmost pixel highest
  EXPECT_EQ(one.Colors[0], (TRGBQuad{0x11, 0x11, 0x11, 0}));
  EXPECT_EQ(one.Colors[1], (TRGBQuad{0xEE, 0xEE, 0xEE, 0}));
  Fill24(src, 4, 1, std::vector<uint32_t>(4, 0x333333));
  FastQuant(one, src, false, 0);  // one colour: both entries hold it, every bit 0
  EXPECT_EQ(one.Scanline(0)[0], 0x00);
  EXPECT_EQ(one.Colors[1], (TRGBQuad{0x33, 0x33, 0x33, 0}));
}

// Colours all in one 5-6-5 cell: one box that cannot be split, one entry (cell centre).
TEST(FastQuant, PaletteBuilderSingleCell) {
  TFastDIB src;
  Fill24(src, 3, 1, {0x646464, 0x656464, 0x666564});
  TFastDIB eight;
  eight.SetSize(3, 1, 0, 8);
  FastQuant(eight, src, false, 1);  // three colours, at most two entries: the builder
  EXPECT_EQ(eight.Colors[0], (TRGBQuad{96, 100, 96, 0}));
  EXPECT_EQ(eight.Colors[1], (TRGBQuad{}));
  for (int32_t x = 0; x < 3; ++x) EXPECT_EQ(eight.Pixels8(0, x), 0);
}

// White, black and green with two entries: the green axis (63) is split first; the lower box
// holds black alone, the upper white and green: entry 1 = (124, 252, 124).
TEST(FastQuant, PaletteBuilderSplitsTheLongestAxis) {
  TFastDIB src;
  Fill24(src, 3, 1, {0xFFFFFF, 0x000000, 0x00FF00});
  for (bool dither : {false, true}) {
    SCOPED_TRACE(dither);
    TFastDIB eight;
    eight.SetSize(3, 1, 0, 8);
    FastQuant(eight, src, dither, 1);
    EXPECT_EQ(eight.Colors[0], (TRGBQuad{0, 0, 0, 0}));
    EXPECT_EQ(eight.Colors[1], (TRGBQuad{124, 252, 124, 0}));
    // Dithered: black receives white's error (131, 3, 131) x 7/16 = (57, 1, 57), a cell outside
    // both boxes whose nearest entry is black; green then gets (57, 1, 57) x 7/16 and stays in box 1.
    EXPECT_EQ(eight.Pixels8(0, 0), 1);
    EXPECT_EQ(eight.Pixels8(0, 1), 0);
    EXPECT_EQ(eight.Pixels8(0, 2), 1);
  }
  // Four bits from an 8-bit source always take the builder; entries stay within the depth.
  TFastDIB eight_src;
  eight_src.SetSize(3, 1, 0, 8);
  eight_src.Colors[1] = {255, 255, 255, 0};
  eight_src.SetPixels8(0, 1, 1);
  TFastDIB four;
  four.SetSize(3, 1, 0, 4);
  FastQuant(four, eight_src, false, 0);
  EXPECT_EQ(four.Pixels8(0, 0), four.Pixels8(0, 2));
  EXPECT_NE(four.Pixels8(0, 0), four.Pixels8(0, 1));
  EXPECT_EQ(four.Colors[four.Pixels8(0, 1)], (TRGBQuad{248, 252, 248, 0}));
}

TEST(FastQuant, DeepTargets) {
  TFastDIB src;
  src.SetSize(2, 1, 565, 16);
  const uint16_t words[2] = {0xF800, 0x07FF};
  std::memcpy(src.Scanline(0), words, 4);
  TFastDIB d32;
  d32.SetSize(2, 1, 888, 32);
  FastQuant(d32, src, true, 0);
  EXPECT_EQ(reinterpret_cast<uint32_t*>(d32.Scanline(0))[0], 0x00FF0000u);
  EXPECT_EQ(reinterpret_cast<uint32_t*>(d32.Scanline(0))[1], 0x0000FFFFu);
  TFastDIB d24;
  d24.SetSize(2, 1, 0, 24);
  FastQuant(d24, src, false, 0);
  EXPECT_EQ(d24.Scanline(0)[5], 0x00);
  EXPECT_EQ(d24.Scanline(0)[4], 0xFF);
}

TEST(PaletteIndex, NearestBySumOfDistances) {
  const TPaletteEntry entries[] = {{10, 10, 10, 0}, {0, 0, 25, 0}, {0, 0, 25, 0}, {5, 6, 7, 0}};
  EXPECT_EQ(NearestPaletteIndex(entries, 0x000000, 3), 1);  // 25 beats 30 (squares would not)
  EXPECT_EQ(NearestPaletteIndex(entries, 0x070605, 4), 3);  // exact
  EXPECT_EQ(NearestPaletteIndex(entries, 0x000000, 0), 0);
  EXPECT_EQ(PaletteIndexOf({}, 0x123456), -1);
  EXPECT_EQ(PaletteIndexOf(entries, 0x190000), 1);  // blue 25
}

TEST(ConvertBitCount, DepthsAlphaAndTopByte) {
  TDIBSurface s;
  s.SetSize(3, 2, 24);
  s.FillRect(TRect{0, 0, 3, 2}, 0x646464);
  s.NeedAlpha();
  s.Alpha()->SetPixel(2, 1, 77);
  TDIBSurface fifteen = s;
  fifteen.ConvertBitCount(15, 0, false);
  EXPECT_EQ(fifteen.StorageBitCount(), 15);
  EXPECT_EQ(fifteen.BitCount(), 16);
  EXPECT_EQ(fifteen.GetPixel(0, 0), 0x318Cu);  // 12, 12, 12
  EXPECT_EQ(fifteen.Alpha()->GetPixel(2, 1), 77u);
  TDIBSurface sixteen = s;
  sixteen.ConvertBitCount(16, 0, true);
  EXPECT_EQ(sixteen.GetPixel(0, 0), 0x6B2Du);
  TDIBSurface wide = s;
  wide.ConvertBitCount(32, 0, true);
  EXPECT_EQ(wide.GetPixel(1, 1), 0xFF646464u);
  wide.ConvertBitCount(24, 0, true);
  EXPECT_EQ(wide.GetPixel(1, 1), 0x646464u);
  TDIBSurface eight = s;
  eight.ConvertBitCount(8, 0, true);
  EXPECT_EQ(eight.GetPixel(2, 1), 0u);
  EXPECT_EQ(eight.ColorTable()[0], (TRGBQuad{100, 100, 100, 0}));
  eight.SetPixel(0, 0, 1);
  eight.ColorTable()[1] = {255, 255, 255, 0};
  // Through four bits: an 8-bit source always takes the palette builder, whose entries are the
  // centres of 5-6-5 cells, so white comes back as (248, 252, 248).
  eight.ConvertBitCount(1, 0, false);
  EXPECT_EQ(eight.BitCount(), 1);
  EXPECT_NE(eight.GetPixel(0, 0), eight.GetPixel(1, 0));
  EXPECT_EQ(eight.ColorTable()[eight.GetPixel(0, 0)], (TRGBQuad{248, 252, 248, 0}));
  EXPECT_EQ(eight.Alpha()->GetPixel(2, 1), 77u);
}

}  // namespace
}  // namespace kova
