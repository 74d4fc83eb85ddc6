#include <gtest/gtest.h>

#include <vector>

#include "graphics/dib_surface.h"

namespace kova {
namespace {

TDIBSurface Filled(int32_t w, int32_t h, int32_t bits, uint32_t pixel) {
  TDIBSurface s;
  s.SetSize(w, h, bits);
  s.FillRect(TRect{0, 0, w, h}, pixel);
  return s;
}

TDIBSurface Row(int32_t bits, const std::vector<uint32_t>& pixels) {
  TDIBSurface s;
  s.SetSize(int32_t(pixels.size()), 1, bits);
  for (size_t i = 0; i < pixels.size(); ++i) s.SetPixel(int32_t(i), 0, pixels[i]);
  return s;
}

std::vector<uint32_t> RowOf(const TDIBSurface& s, int32_t y = 0) {
  std::vector<uint32_t> out;
  for (int32_t x = 0; x < s.Width(); ++x) out.push_back(s.GetPixel(x, y));
  return out;
}

TEST(DibSurfaceBlit, DrawClipsAtEveryEdge) {
  for (int32_t bits : {1, 4, 8, 15, 16, 24, 32}) {
    SCOPED_TRACE(bits);
    const uint32_t one = bits == 1 ? 1 : 9;
    std::vector<uint32_t> src_pixels(10, 0);
    src_pixels[5] = one;  // column 5 of the source
    src_pixels[9] = one;
    const TDIBSurface src = Row(bits, src_pixels);
    TDIBSurface dst = Filled(4, 1, bits, 0);
    dst.Draw(-5, 0, src);  // starts 5 columns into the source
    EXPECT_EQ(RowOf(dst), (std::vector<uint32_t>{one, 0, 0, 0}));
    dst.Draw(3, 0, TRect{9, 0, 10, 1}, src);
    EXPECT_EQ(RowOf(dst), (std::vector<uint32_t>{one, 0, 0, one}));
    dst.Draw(0, 0, TRect{-2, 0, 1, 1}, src);  // cut to the source: pixel 0 lands at x = 2
    EXPECT_EQ(RowOf(dst), (std::vector<uint32_t>{one, 0, 0, one}));
    dst.Draw(0, 1, src);  // below the target
    dst.Draw(4, 0, src);  // right of the target
    EXPECT_EQ(RowOf(dst), (std::vector<uint32_t>{one, 0, 0, one}));
  }
  // 1-bit rows at different bit offsets.
  TDIBSurface src = Row(1, {1, 0, 1, 1, 0, 1, 1, 1, 0, 1});
  TDIBSurface dst = Filled(12, 1, 1, 0);
  dst.Draw(3, 0, TRect{1, 0, 10, 1}, src);
  EXPECT_EQ(RowOf(dst), (std::vector<uint32_t>{0, 0, 0, 0, 1, 1, 0, 1, 1, 1, 0, 1}));
  // Another depth draws nothing.
  TDIBSurface deep = Filled(2, 1, 32, 0);
  deep.Draw(0, 0, Filled(2, 1, 24, 0xFFFFFF));
  EXPECT_EQ(deep.GetPixel(0, 0), 0u);
}

TEST(DibSurfaceBlit, KeyedCopyAtEachDepth) {
  struct Case {
    int32_t bits;
    std::vector<uint32_t> src;
    int64_t key;
    std::vector<uint32_t> expected;  // over a target of 3s (1 bit: 0s)
  } cases[] = {
      {8, {1, 5, 2}, 5, {1, 3, 2}},
      {4, {1, 5, 2}, 5, {1, 3, 2}},
      {16, {0xF800, 0x1F, 0x7E0}, 0x1F, {0xF800, 3, 0x7E0}},
      {15, {0x7C00, 0x1F, 0x3E0}, 0x1F, {0x7C00, 3, 0x3E0}},
      {32, {0xFF000000, 0x123456, 7}, 0x123456, {0xFF000000, 3, 7}},
      {32, {0xFFFFFFFF, 0, 7}, -1, {0xFFFFFFFF, 0, 7}},  // no key: all copied
      {24, {0xFFFFFF, 0x123456, 7}, 0x123456, {0xFFFFFF, 3, 7}},
      {24, {0xFFFFFF, 0, 7}, -1, {0xFFFFFF, 0, 7}},
      {24, {0x000001, 0, 7}, 0x1000001, {1, 0, 7}},  // the whole key counts at 24 bits
      {1, {1, 0, 1}, 1, {0, 0, 0}},                   // key not 0: set bits skipped
      {1, {1, 0, 1}, 0, {1, 0, 1}},                   // key 0: clear bits skipped
      {1, {1, 0, 1}, -1, {1, 0, 1}},                  // no key: all copied
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.bits << " key " << c.key);
    TDIBSurface dst = Filled(3, 1, c.bits, c.bits == 1 ? 0 : 3);
    dst.DrawKeyed(0, 0, c.key, TRect{0, 0, 3, 1}, Row(c.bits, c.src));
    EXPECT_EQ(RowOf(dst), c.expected);
  }
}

TEST(DibSurfaceBlit, TranslucentBlendsPerDepth) {
  struct Case {
    int32_t bits;
    uint32_t dst, src;
    int32_t opacity;
    uint32_t expected;
  } cases[] = {
      // 5-6-5 white over black at 128: (channel x 128) div 255, masked: 15, 31, 15.
      {16, 0x0000, 0xFFFF, 128, 0x7BEF},
      // 5-5-5: red (0x7C00 x 128) div 255 = 0x3E3E -> 0x3C00; green 0x1F0 -> 0x1E0; blue 15.
      {15, 0x0000, 0x7FFF, 128, 0x3DEF},
      // red (0xF800 x 254) div 255 = 0xF707 -> 0xF000; green 0x7D8 -> 0x7C0; blue 30.
      {16, 0xFFFF, 0x0000, 1, 0xF7DE},
      {24, 0x000000, 0xFFFFFF, 200, 0xC8C8C8},  // 255 x 200 div 255 = 200
      {24, 0xFFFFFF, 0x000000, 1, 0xFEFEFE},
      {32, 0x000000, 0xFFFFFF, 200, 0xC7C7C7},  // 255 x 200 shr 8 = 199
      {32, 0xFF000000, 0xFF102030, 128, 0x00081018},  // top byte 0; 0x10 x 128 shr 8 = 8
      {32, 0x00FFFFFF, 0x00000000, 254, 0x00000000},  // 255 x 1 shr 8 = 0
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.bits << " opacity " << c.opacity);
    TDIBSurface dst = Filled(20, 1, c.bits, c.dst);
    dst.DrawTranslucent(0, 0, c.opacity, -1, TRect{0, 0, 20, 1}, Filled(20, 1, c.bits, c.src));
    EXPECT_EQ(dst.GetPixel(0, 0), c.expected);
    EXPECT_EQ(dst.GetPixel(19, 0), c.expected);
  }
}

TEST(DibSurfaceBlit, TranslucentKeysAndLimits) {
  // Key pixels are skipped at 16, 24 and 32 bits.
  TDIBSurface d32 = Filled(3, 1, 32, 0x000000);
  d32.DrawTranslucent(0, 0, 100, 0x00FFFFFF, TRect{0, 0, 3, 1}, Row(32, {0xFFFFFF, 0xFF, 0xFFFFFF}));
  EXPECT_EQ(RowOf(d32), (std::vector<uint32_t>{0, 0x63, 0}));  // 255 x 100 shr 8 = 99
  TDIBSurface d16 = Filled(2, 1, 16, 0);
  d16.DrawTranslucent(0, 0, 100, 0x1F, TRect{0, 0, 2, 1}, Row(16, {0x1F, 0xF800}));
  EXPECT_EQ(RowOf(d16), (std::vector<uint32_t>{0, 0x6000}));  // 0xF800 x 100 div 255 -> 12 << 11
  // 24 bits: a key's three low bytes; opacity 255 is the keyed copy.
  TDIBSurface d24 = Filled(3, 1, 24, 0x010101);
  d24.DrawTranslucent(0, 0, 255, 0x123456, TRect{0, 0, 3, 1}, Row(24, {0x123456, 0xABCDEF, 0x123457}));
  EXPECT_EQ(RowOf(d24), (std::vector<uint32_t>{0x010101, 0xABCDEF, 0x123457}));
  // 0 draws nothing; below 0 and above 255 are the keyed copy at every depth.
  for (int32_t bits : {8, 32}) {
    TDIBSurface t = Filled(2, 1, bits, 1);
    t.DrawTranslucent(0, 0, 0, -1, TRect{0, 0, 2, 1}, Row(bits, {2, 3}));
    EXPECT_EQ(RowOf(t), (std::vector<uint32_t>{1, 1}));
    t.DrawTranslucent(0, 0, -4, 3, TRect{0, 0, 2, 1}, Row(bits, {2, 3}));
    EXPECT_EQ(RowOf(t), (std::vector<uint32_t>{2, 1}));
    t.DrawTranslucent(0, 0, 300, 2, TRect{0, 0, 2, 1}, Row(bits, {2, 3}));
    EXPECT_EQ(RowOf(t), (std::vector<uint32_t>{2, 3}));
  }
}

// Level L = opacity div 16 sets L + 1 cells of the 4 x 4 pattern, placed by the target position.
TEST(DibSurfaceBlit, TranslucentDithersAtEightBitsOrFewer) {
  for (int32_t bits : {1, 4, 8}) {
    for (int32_t level = 0; level < 16; ++level) {
      TDIBSurface dst = Filled(8, 8, bits, 0);
      dst.DrawTranslucent(0, 0, level * 16 + 5, -1, TRect{0, 0, 8, 8}, Filled(8, 8, bits, 1));
      int count = 0;
      for (int32_t y = 0; y < 8; ++y)
        for (int32_t x = 0; x < 8; ++x) count += dst.GetPixel(x, y) == 1;
      EXPECT_EQ(count, 4 * (level + 1)) << bits << " level " << level;
    }
  }
  // Level 0: only (0, 0) of each 4 x 4 block; level 1 adds column 2 of row 2.
  TDIBSurface dst = Filled(8, 4, 8, 0);
  dst.DrawTranslucent(0, 0, 8, -1, TRect{0, 0, 8, 4}, Filled(8, 4, 8, 1));
  EXPECT_EQ(RowOf(dst, 0), (std::vector<uint32_t>{1, 0, 0, 0, 1, 0, 0, 0}));
  EXPECT_EQ(RowOf(dst, 2), (std::vector<uint32_t>(8, 0)));
  // Drawn at x = 1 the pattern still follows the target's columns.
  TDIBSurface shifted = Filled(8, 4, 8, 0);
  shifted.DrawTranslucent(1, 0, 16, -1, TRect{0, 0, 7, 4}, Filled(8, 4, 8, 1));
  EXPECT_EQ(RowOf(shifted, 0), (std::vector<uint32_t>{0, 0, 0, 0, 1, 0, 0, 0}));
  EXPECT_EQ(RowOf(shifted, 2), (std::vector<uint32_t>{0, 0, 1, 0, 0, 0, 1, 0}));
  // Keyed source pixels stay out; 240 copies every other pixel.
  TDIBSurface keyed = Filled(2, 1, 8, 0);
  keyed.DrawTranslucent(0, 0, 240, 4, TRect{0, 0, 2, 1}, Row(8, {4, 6}));
  EXPECT_EQ(RowOf(keyed), (std::vector<uint32_t>{0, 6}));
}

TEST(DibSurfaceBlit, AlphaMaskPerDepth) {
  const std::vector<uint32_t> alpha = {0, 255, 128, 200, 127};
  auto masked = [&](int32_t bits, uint32_t src_pixel) {
    TDIBSurface s = Filled(5, 1, bits, src_pixel);
    s.NeedAlpha();
    for (int32_t x = 0; x < 5; ++x) s.Alpha()->SetPixel(x, 0, alpha[size_t(x)]);
    return s;
  };
  TDIBSurface d32 = Filled(5, 1, 32, 0);
  d32.DrawAlphaMask(0, 0, 255, TRect{0, 0, 5, 1}, masked(32, 0xFFFFFFFF));
  // 0 keeps, 255 copies the raw pixel, else the two-lane blend with top byte 0.
  EXPECT_EQ(RowOf(d32), (std::vector<uint32_t>{0, 0xFFFFFFFF, 0x7F7F7F, 0xC7C7C7, 0x7E7E7E}));
  TDIBSurface d16 = Filled(5, 1, 16, 0);
  d16.DrawAlphaMask(0, 0, 0, TRect{0, 0, 5, 1}, masked(16, 0xFFFF));
  // 200: red 0xF800 x 200 shr 8 -> 0xC000, green -> 0x620, blue 24; the opacity plays no part.
  EXPECT_EQ(RowOf(d16), (std::vector<uint32_t>{0, 0xFFFF, 0x7BEF, 0xC638, 0x7BEF}));
  TDIBSurface d24 = Filled(5, 1, 24, 0);
  d24.DrawAlphaMask(0, 0, 255, TRect{0, 0, 5, 1}, masked(24, 0xFFFFFF));
  EXPECT_EQ(RowOf(d24), (std::vector<uint32_t>{0, 0xFFFFFF, 0x7F7F7F, 0xC7C7C7, 0x7E7E7E}));
  // Opacity 128 scales alpha first: 255 -> 127 (a blend, not a copy), 128 -> 64, 200 -> 100, 127 -> 63.
  TDIBSurface half = Filled(5, 1, 24, 0);
  half.DrawAlphaMask(0, 0, 128, TRect{0, 0, 5, 1}, masked(24, 0xFFFFFF));
  EXPECT_EQ(RowOf(half), (std::vector<uint32_t>{0, 0x7E7E7E, 0x3F3F3F, 0x636363, 0x3E3E3E}));
  TDIBSurface d8 = Filled(5, 1, 8, 0);
  d8.DrawAlphaMask(0, 0, 255, TRect{0, 0, 5, 1}, masked(8, 9));
  EXPECT_EQ(RowOf(d8), (std::vector<uint32_t>{0, 9, 9, 9, 0}));
  // No alpha plane: nothing.
  TDIBSurface none = Filled(2, 1, 32, 0);
  none.DrawAlphaMask(0, 0, 255, TRect{0, 0, 2, 1}, Filled(2, 1, 32, 5));
  EXPECT_EQ(none.GetPixel(0, 0), 0u);
}

// Long rows take the whole-group paths for runs of transparent and opaque pixels.
TEST(DibSurfaceBlit, AlphaMaskLongRows) {
  TDIBSurface src = Filled(27, 2, 32, 0x00FF00FF);
  src.NeedAlpha();
  for (int32_t x = 0; x < 27; ++x) {
    const uint32_t v = x < 8 ? 0 : x < 16 ? 255 : x < 24 ? 128 : 255;
    src.Alpha()->SetPixel(x, 0, v);
    src.Alpha()->SetPixel(x, 1, v);
  }
  TDIBSurface dst = Filled(30, 2, 32, 0x00000100);
  dst.DrawAlphaMask(2, 1, 255, TRect{0, 0, 27, 2}, src);
  EXPECT_EQ(dst.GetPixel(9, 1), 0x100u);        // source x 7: alpha 0
  EXPECT_EQ(dst.GetPixel(10, 1), 0x00FF00FFu);  // source x 8: alpha 255
  // 128: red and blue 255 x 128 shr 8 = 127; green 1 x 127 shr 8 = 0.
  EXPECT_EQ(dst.GetPixel(18, 1), 0x007F007Fu);
  EXPECT_EQ(dst.GetPixel(28, 1), 0x00FF00FFu);
  EXPECT_EQ(dst.GetPixel(29, 1), 0x100u);
  EXPECT_EQ(dst.GetPixel(10, 0), 0x100u);
}

}  // namespace
}  // namespace kova
