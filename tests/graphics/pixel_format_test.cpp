#include "graphics/pixel_format.h"

#include <gtest/gtest.h>

#include "graphics/pixel_view.h"

namespace kova {
namespace {

TEST(PixelFormat, RecordsFromWidthsAndMasks) {
  struct Case {
    int r, g, b;
    uint32_t rm, gm, bm;
    int rs, gs, bs, rf, gf, bf;
  } cases[] = {
      {5, 5, 5, 0x7C00, 0x3E0, 0x1F, 7, 2, 3, 3, 3, 3},
      {5, 6, 5, 0xF800, 0x7E0, 0x1F, 8, 3, 3, 3, 2, 3},
      {8, 8, 8, 0xFF0000, 0xFF00, 0xFF, 16, 8, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    const TDIBPixelFormat f = MakeDIBPixelFormat(c.r, c.g, c.b);
    EXPECT_EQ(f.RBitMask, c.rm);
    EXPECT_EQ(f.GBitMask, c.gm);
    EXPECT_EQ(f.BBitMask, c.bm);
    EXPECT_EQ(f.RBitCount, c.r);
    EXPECT_EQ(f.GBitCount, c.g);
    EXPECT_EQ(f.BBitCount, c.b);
    EXPECT_EQ(f.RShift, c.rs);
    EXPECT_EQ(f.GShift, c.gs);
    EXPECT_EQ(f.BShift, c.bs);
    EXPECT_EQ(f.RFill, c.rf);
    EXPECT_EQ(f.GFill, c.gf);
    EXPECT_EQ(f.BFill, c.bf);
    // Masks with stray bits above the run count only the run from the lowest set bit.
    EXPECT_EQ(MakeDIBPixelFormatFromMasks(c.rm, c.gm, c.bm), f);
  }
  EXPECT_EQ(MakeDIBPixelFormatFromMasks(0x7C00, 0x3E0 | 0x8000, 0x1F).GBitCount, 5);
}

TEST(PixelFormat, PackTruncatesAndUnpackReplicates) {
  EXPECT_EQ(PackPixel(kFormat555, 255, 128, 8), 0x7E01u);
  EXPECT_EQ(PackPixel(kFormat565, 255, 128, 8), 0xFC01u);
  EXPECT_EQ(PackPixel(kFormat888, 0x12, 0x34, 0x56), 0x123456u);
  uint8_t r, g, b;
  UnpackPixel(kFormat555, 24u << 10 | 1u << 5 | 31u, r, g, b);
  EXPECT_EQ(r, 198);  // 24 << 3 | 24 >> 2
  EXPECT_EQ(g, 8);
  EXPECT_EQ(b, 255);
  UnpackPixel(kFormat565, 33u << 5, r, g, b);
  EXPECT_EQ(g, 134);  // 33 << 2 | 33 >> 4
}

// A pixel unpacked and packed again is the same pixel, so colour keys survive a depth change.
TEST(PixelFormat, EveryChannelValueSurvivesARoundTrip) {
  for (uint32_t v = 0; v < 32; ++v) {
    uint8_t r, g, b;
    UnpackPixel(kFormat555, v << 10 | v << 5 | v, r, g, b);
    EXPECT_EQ(PackPixel(kFormat555, r, g, b), v << 10 | v << 5 | v) << v;
  }
  for (uint32_t v = 0; v < 64; ++v) {
    uint8_t r, g, b;
    UnpackPixel(kFormat565, v << 5, r, g, b);
    EXPECT_EQ(PackPixel(kFormat565, r, g, b), v << 5) << v;
  }
}

TEST(PixelView, ConvertBlitBetweenDepths) {
  uint16_t src16[3] = {0xF800, 0x07E0, 0x7E01};
  uint32_t dst32[3] = {0xAAAAAAAA, 0xAAAAAAAA, 0xAAAAAAAA};
  TPixelView s{reinterpret_cast<uint8_t*>(src16), 6, 3, 1, 16};
  TPixelView d{reinterpret_cast<uint8_t*>(dst32), 12, 3, 1, 32};
  ConvertBlit(d, d.Bounds(), s, s.Bounds());
  EXPECT_EQ(dst32[0], 0x00FF0000u);
  EXPECT_EQ(dst32[1], 0x0000FF00u);
  s.BitCount = 15;  // 0x7E01 as 5-5-5: red 31, green 16, blue 1
  ConvertBlit(d, d.Bounds(), s, s.Bounds());
  EXPECT_EQ(dst32[2], 0x00FF8408u);

  // Every 5-6-5 value taken to 32 bits and back is unchanged.
  std::vector<uint16_t> all(65536);
  for (uint32_t i = 0; i < 65536; ++i) all[i] = uint16_t(i);
  std::vector<uint32_t> wide(65536);
  std::vector<uint16_t> back(65536);
  TPixelView a{reinterpret_cast<uint8_t*>(all.data()), 2 * 65536, 65536, 1, 16};
  TPixelView w{reinterpret_cast<uint8_t*>(wide.data()), 4 * 65536, 65536, 1, 32};
  TPixelView r{reinterpret_cast<uint8_t*>(back.data()), 2 * 65536, 65536, 1, 16};
  ConvertBlit(w, w.Bounds(), a, a.Bounds());
  ConvertBlit(r, r.Bounds(), w, w.Bounds());
  EXPECT_EQ(back, all);
}

TEST(PixelView, ConvertBlitToPaletteAndScaling) {
  TRGBQuad palette[3] = {{0, 0, 0, 0}, {0, 0, 200, 0}, {255, 255, 255, 0}};
  uint32_t src[2] = {0x00C81010, 0x00F0F0F0};  // near red 200, near white
  uint8_t idx[4] = {9, 9, 9, 9};
  TPixelView s{reinterpret_cast<uint8_t*>(src), 8, 2, 1, 32};
  TPixelView d{idx, 4, 4, 1, 8, palette, 3};
  ConvertBlit(d, d.Bounds(), s, s.Bounds());  // 2 -> 4 columns: a a b b
  EXPECT_EQ(idx[0], 1);
  EXPECT_EQ(idx[1], 1);
  EXPECT_EQ(idx[2], 2);
  EXPECT_EQ(idx[3], 2);
}

}  // namespace
}  // namespace kova
