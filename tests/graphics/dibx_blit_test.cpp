// The six unscaled blits: pixel values at each depth under both result rules, keys, masks,
// mirrors, clipping and the guards on source and mask rectangles.
#include <gtest/gtest.h>

#include <vector>

#include "dibx_test_util.h"
#include "graphics/dibx.h"

namespace kova {
namespace {

using test::Make;
using test::MakeRow;
using test::PixelsOf;
using test::RowOf;
using test::SetRowResults;

enum class TBlitOp { Alpha, Add, Mask, MaskAlpha, MaskAdd };

struct TBlitCase {
  TBlitOp op;
  int32_t bits;
  bool row;  // RowResults
  uint32_t d, s, m;
  int32_t level;
  bool transparent;
  int32_t key;  // the source's TransparentColor
  uint32_t want;
};

constexpr uint32_t W8 = 0xFF, W15 = 0x7FFF, W16 = 0xFFFF, W24 = 0xFFFFFF;

TEST(DibxBlit, PixelTableAtEveryDepthAndRule) {
  const TBlitCase cases[] = {
      // DrawAlpha: opacity 255 is not a copy; 128 halves.
      {TBlitOp::Alpha, 16, true, 0, W16, 0, 255, false, -1, 0xF7DE},
      {TBlitOp::Alpha, 16, false, 0, W16, 0, 255, false, -1, 0xF7DE},
      {TBlitOp::Alpha, 15, true, 0, W15, 0, 128, false, -1, 0x3DEF},
      {TBlitOp::Alpha, 8, false, 0, W8, 0, 128, false, -1, 0x7F},
      {TBlitOp::Alpha, 24, false, 0, W24, 0, 128, false, -1, 0x7F7F7F},
      {TBlitOp::Alpha, 32, true, 0, 0xFF8040, 0, 128, false, -1, 0x7F4020},
      {TBlitOp::Alpha, 32, false, 0, 0xFF8040, 0, 128, false, -1, 0x7F4020},
      {TBlitOp::Alpha, 32, true, 0xFF000000, W24, 0, 128, false, -1, 0x7E7F7F7F},
      {TBlitOp::Alpha, 32, false, 0xFF000000, W24, 0, 128, false, -1, 0x7F7F7F},
      // Equal pixels are skipped on both paths.
      {TBlitOp::Alpha, 16, true, 0x1234, 0x1234, 0, 128, false, -1, 0x1234},
      {TBlitOp::Alpha, 24, false, 0x123456, 0x123456, 0, 128, false, -1, 0x123456},
      // The key: the row results honour it only with Transparent; the per-pixel ones always.
      {TBlitOp::Alpha, 16, true, 0, W16, 0, 255, false, 0xFFFF, 0xF7DE},
      {TBlitOp::Alpha, 16, true, 0, W16, 0, 255, true, 0xFFFF, 0},
      {TBlitOp::Alpha, 16, false, 0, W16, 0, 255, false, 0xFFFF, 0},
      {TBlitOp::Alpha, 24, true, 0, W24, 0, 255, false, 0xFFFFFF, 0},
      {TBlitOp::Alpha, 32, true, 0, W24, 0, 255, false, 0xFFFFFF, 0xFEFEFE},
      {TBlitOp::Alpha, 32, true, 0, W24, 0, 255, true, 0xFFFFFF, 0},
      {TBlitOp::Alpha, 32, false, 0, W24, 0, 255, false, 0xFFFFFF, 0},
      // DrawAdd: the key always applies; 8-bit planes add without the level.
      {TBlitOp::Add, 32, true, 0x808080, 0xFF00FF, 0, 128, false, -1, 0xFF80FF},
      {TBlitOp::Add, 32, false, 0x808080, 0xFF00FF, 0, 128, false, -1, 0xFF80FF},
      {TBlitOp::Add, 32, true, 0x808080, 0xFF00FF, 0, 128, false, 0xFF00FF, 0x808080},
      {TBlitOp::Add, 16, true, 0, W16, 0, 255, false, -1, 0xF7DE},
      {TBlitOp::Add, 16, false, 0x8410, W16, 0, 128, false, -1, W16},
      {TBlitOp::Add, 15, true, 0, W15, 0, 128, false, -1, 0x3DEF},
      {TBlitOp::Add, 24, false, 0x101010, 0x808080, 0, 128, false, -1, 0x505050},
      {TBlitOp::Add, 8, false, 200, 100, 0, 1, false, -1, 255},
      {TBlitOp::Add, 8, false, 20, 100, 0, 1, false, -1, 120},
      {TBlitOp::Add, 16, false, 7, W16, 0, 255, true, 0xFFFF, 7},
      // DrawMask: 255 copies exactly, 0 leaves; an equal pixel is left by the row results and
      // blended (darkened by a step) by the per-pixel ones.
      {TBlitOp::Mask, 16, true, 0, 0x1234, 255, 0, false, -1, 0x1234},
      {TBlitOp::Mask, 32, true, 0, 0x123456, 255, 0, false, -1, 0x123456},
      {TBlitOp::Mask, 32, true, 0x654321, 0x123456, 0, 0, false, -1, 0x654321},
      {TBlitOp::Mask, 32, true, 0, W24, 128, 0, false, -1, 0x7F7F7F},
      {TBlitOp::Mask, 24, true, 0, W24, 128, 0, false, -1, 0x7F7F7F},
      {TBlitOp::Mask, 16, true, W16, W16, 128, 0, false, -1, W16},
      {TBlitOp::Mask, 16, false, W16, W16, 128, 0, false, -1, 0xF7DE},
      {TBlitOp::Mask, 15, true, W15, W15, 128, 0, false, -1, W15},
      {TBlitOp::Mask, 32, true, W24, W24, 128, 0, false, -1, W24},
      {TBlitOp::Mask, 32, false, W24, W24, 128, 0, false, -1, 0xFEFEFE},
      {TBlitOp::Mask, 24, true, W24, W24, 128, 0, false, -1, 0xFEFEFE},
      {TBlitOp::Mask, 8, true, W8, W8, 128, 0, false, -1, 0xFE},
      // DrawMaskAlpha weighs by m * alpha >> 8.
      {TBlitOp::MaskAlpha, 32, true, 0, W24, 255, 128, false, -1, 0x7E7E7E},
      {TBlitOp::MaskAlpha, 16, false, 0, W16, 255, 255, false, -1, 0xF7DE},
      {TBlitOp::MaskAlpha, 16, true, W16, W16, 255, 128, false, -1, W16},
      {TBlitOp::MaskAlpha, 16, false, W16, W16, 255, 255, false, -1, 0xF7DE},
      {TBlitOp::MaskAlpha, 8, false, 0, W8, 128, 255, false, -1, 0x7E},
      // DrawMaskAdd: level 255 and mask 255 add s * 254 >> 8.
      {TBlitOp::MaskAdd, 32, true, 0, W24, 255, 255, false, -1, 0xFDFDFD},
      {TBlitOp::MaskAdd, 32, false, 0, W24, 255, 255, false, -1, 0xFDFDFD},
      {TBlitOp::MaskAdd, 24, false, 0, W24, 255, 255, false, -1, 0xFDFDFD},
      {TBlitOp::MaskAdd, 16, true, 0xF800, W16, 255, 255, false, -1, 0xFFDE},
      {TBlitOp::MaskAdd, 8, false, 1, W8, 255, 255, false, -1, 254},
      {TBlitOp::MaskAdd, 8, false, 10, W8, 255, 255, false, -1, 255},
      {TBlitOp::MaskAdd, 32, true, 0x10, W24, 0, 255, false, -1, 0x10},
  };
  for (const TBlitCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "op " << int(c.op) << " bits " << c.bits << " row " << c.row
                                    << " d " << std::hex << c.d << " s " << c.s);
    TDIBX dst, src, mask;
    SetRowResults(c.row, dst);
    // Wide enough for the vector rows and their scalar ends, both directions.
    Make(dst, 21, 2, c.bits, c.d);
    Make(src, 21, 2, c.bits, c.s);
    Make(mask, 21, 2, 8, c.m);
    src.TransparentColor = c.key;
    for (bool mirror : {false, true}) {
      Make(dst, 21, 2, c.bits, c.d);
      const TRect r = src.BoundsRect();
      switch (c.op) {
        case TBlitOp::Alpha: dst.DrawAlpha(0, 0, src, r, c.transparent, mirror, mirror, c.level); break;
        case TBlitOp::Add: dst.DrawAdd(0, 0, src, r, c.transparent, mirror, mirror, c.level); break;
        case TBlitOp::Mask: dst.DrawMask(0, 0, src, r, mirror, mirror, mask); break;
        case TBlitOp::MaskAlpha: dst.DrawMaskAlpha(0, 0, src, r, mirror, mirror, mask, c.level); break;
        case TBlitOp::MaskAdd: dst.DrawMaskAdd(0, 0, src, r, mirror, mirror, mask, c.level); break;
      }
      for (uint32_t p : PixelsOf(dst)) ASSERT_EQ(p, c.want) << std::hex << p << " mirror " << mirror;
    }
  }
}

// Each destination draws by its own rule, whatever the source's and in any order.
TEST(DibxBlit, TheRuleIsTheDestinations) {
  TDIBX src, row_dst, pixel_dst;
  Make(src, 21, 2, 32, W24);
  Make(row_dst, 21, 2, 32, 0xFF000000);
  Make(pixel_dst, 21, 2, 32, 0xFF000000);
  SetRowResults(false, src, pixel_dst);
  pixel_dst.DrawAlpha(0, 0, src, src.BoundsRect(), false, false, false, 128);
  row_dst.DrawAlpha(0, 0, src, src.BoundsRect(), false, false, false, 128);
  for (uint32_t p : PixelsOf(row_dst)) ASSERT_EQ(p, 0x7E7F7F7Fu) << std::hex << p;
  for (uint32_t p : PixelsOf(pixel_dst)) ASSERT_EQ(p, 0x7F7F7Fu) << std::hex << p;
}

TEST(DibxBlit, DrawKeysMatchZeroExtendedValuesOnly) {
  TDIBX src, dst;
  MakeRow(src, 16, {0xFFFF, 5, 0xFFFF});
  src.TransparentColor = -1;
  Make(dst, 3, 1, 16, 1);
  dst.Draw(0, 0, src, src.BoundsRect(), true, false, false);
  EXPECT_EQ(RowOf(dst), (std::vector<uint32_t>{0xFFFF, 5, 0xFFFF}));
  MakeRow(src, 8, {255, 5, 255});
  Make(dst, 3, 1, 8, 1);
  dst.Draw(0, 0, src, src.BoundsRect(), true, false, false);
  EXPECT_EQ(RowOf(dst), (std::vector<uint32_t>{255, 5, 255}));
  src.TransparentColor = 255;
  Make(dst, 3, 1, 8, 1);
  dst.Draw(0, 0, src, src.BoundsRect(), true, false, false);
  EXPECT_EQ(RowOf(dst), (std::vector<uint32_t>{1, 5, 1}));
}

TEST(DibxBlit, KeyedDrawSkipsRunsAtEveryDepthAndDirection) {
  for (int32_t bits : {8, 15, 16, 24, 32}) {
    for (bool mirror : {false, true}) {
      SCOPED_TRACE(testing::Message() << bits << " mirror " << mirror);
      TDIBX src, dst;
      src.SetSize(37, 1, bits);
      for (int32_t x = 0; x < 37; ++x) src.SetPixel(x, 0, (x / 5) % 2 ? 3 : uint32_t(x + 10));
      src.TransparentColor = 3;
      Make(dst, 37, 1, bits, 1);
      dst.Draw(0, 0, src, src.BoundsRect(), true, mirror, false);
      for (int32_t x = 0; x < 37; ++x) {
        const int32_t sx = mirror ? 36 - x : x;
        const uint32_t sp = src.GetPixel(sx, 0);
        ASSERT_EQ(dst.GetPixel(x, 0), sp == 3 ? 1u : sp) << x;
      }
    }
  }
}

TEST(DibxBlit, MirrorsReverseRowsAndColumnsAtEveryDepth) {
  for (int32_t bits : {8, 15, 16, 24, 32}) {
    SCOPED_TRACE(bits);
    TDIBX src, dst;
    src.SetSize(4, 2, bits);
    for (int32_t y = 0; y < 2; ++y)
      for (int32_t x = 0; x < 4; ++x) src.SetPixel(x, y, uint32_t(10 * y + x + 1));
    Make(dst, 4, 2, bits, 0);
    dst.Draw(0, 0, src, src.BoundsRect(), false, true, false);
    EXPECT_EQ(RowOf(dst, 0), (std::vector<uint32_t>{4, 3, 2, 1}));
    dst.Draw(0, 0, src, src.BoundsRect(), false, false, true);
    EXPECT_EQ(RowOf(dst, 0), (std::vector<uint32_t>{11, 12, 13, 14}));
    EXPECT_EQ(RowOf(dst, 1), (std::vector<uint32_t>{1, 2, 3, 4}));
  }
}

TEST(DibxBlit, ClippingAMirroredDrawDropsTheSourcesFarEnd) {
  TDIBX src, dst;
  MakeRow(src, 32, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
  Make(dst, 5, 1, 32, 0);
  dst.Draw(-5, 0, src, src.BoundsRect(), false, true, false);
  EXPECT_EQ(RowOf(dst), (std::vector<uint32_t>{5, 4, 3, 2, 1}));
  dst.Draw(-5, 0, src, src.BoundsRect(), false, false, false);
  EXPECT_EQ(RowOf(dst), (std::vector<uint32_t>{6, 7, 8, 9, 10}));
}

TEST(DibxBlit, SourceRectanglesAreCutToTheSource) {
  TDIBX src, dst;
  MakeRow(src, 32, {1, 2, 3, 4});
  Make(dst, 8, 1, 32, 0);
  dst.Draw(0, -1, src, TRect{-2, -1, 6, 3}, false, false, false);  // row 0 lands at y = 0
  EXPECT_EQ(RowOf(dst), (std::vector<uint32_t>{0, 0, 1, 2, 3, 4, 0, 0}));
  Make(dst, 8, 1, 32, 0);
  dst.Draw(0, 0, src, TRect{-2, 0, 6, 1}, false, true, false);
  EXPECT_EQ(RowOf(dst), (std::vector<uint32_t>{0, 0, 4, 3, 2, 1, 0, 0}));
}

TEST(DibxBlit, MasksAreReadAtTheSourceCoordinates) {
  TDIBX src, dst, mask;
  MakeRow(src, 32, {1, 2, 3, 4});
  MakeRow(mask, 8, {255, 0, 255, 0});
  Make(dst, 3, 1, 32, 9);
  dst.DrawMask(0, 0, src, TRect{1, 0, 4, 1}, false, false, mask);
  EXPECT_EQ(RowOf(dst), (std::vector<uint32_t>{9, 3, 9}));
  Make(dst, 3, 1, 32, 9);
  dst.DrawMask(0, 0, src, TRect{1, 0, 4, 1}, true, false, mask);
  EXPECT_EQ(RowOf(dst), (std::vector<uint32_t>{9, 3, 9}));
  Make(dst, 4, 1, 32, 9);
  dst.DrawMask(0, 0, src, src.BoundsRect(), true, false, mask);
  EXPECT_EQ(RowOf(dst), (std::vector<uint32_t>{9, 3, 9, 1}));
}

TEST(DibxBlit, BadInputsDrawNothing) {
  TDIBX src, dst, small_mask, mask24, src16;
  Make(src, 8, 8, 32, 0x123456);
  Make(src16, 8, 8, 16, 0x1234);
  Make(small_mask, 4, 8, 8, 255);
  Make(mask24, 8, 8, 24, 0xFFFFFF);
  Make(dst, 8, 8, 32, 7);
  const TRect r = src.BoundsRect();
  dst.DrawMask(0, 0, src, r, false, false, small_mask);      // mask too small
  dst.DrawMaskAlpha(0, 0, src, r, false, false, small_mask, 255);
  dst.DrawMaskAdd(0, 0, src, r, false, false, small_mask, 255);
  dst.DrawMask(0, 0, src, r, false, false, mask24);          // mask not 8-bit
  dst.Draw(0, 0, src16, r, false, false, false);             // another pixel size
  dst.Draw(0, 0, src, TRect{3, 3, 3, 9}, false, false, false);  // empty source rectangle
  dst.Draw(0, 0, src, TRect{9, 0, 12, 8}, false, false, false); // outside the source
  dst.DrawAlpha(0, 0, src, r, false, false, false, 0);
  dst.DrawAdd(0, 0, src, r, false, false, false, 0);
  dst.DrawMaskAlpha(0, 0, src, r, false, false, src, 0);
  dst.DrawMaskAdd(0, 0, src, r, false, false, src, 0);
  for (uint32_t p : PixelsOf(dst)) EXPECT_EQ(p, 7u);
  // The small mask still serves a source rectangle it covers.
  dst.DrawMask(0, 0, src, TRect{0, 0, 4, 8}, false, false, small_mask);
  EXPECT_EQ(dst.GetPixel(3, 0), 0x123456u);
  EXPECT_EQ(dst.GetPixel(4, 0), 7u);
}

TEST(DibxBlit, RowsOfAnyLength) {
  TDIBX src, dst;
  Make(src, 5000, 2, 32, 0x808080);
  Make(dst, 5000, 2, 32, 0x101010);
  dst.DrawAdd(0, 0, src, src.BoundsRect(), false, true, false, 255);
  EXPECT_EQ(dst.GetPixel(4999, 1), 0x8F8F8Fu);
  Make(src, 3000, 1, 24, 0x808080);
  Make(dst, 3000, 1, 24, 0);
  dst.Draw(0, 0, src, src.BoundsRect(), false, true, false);
  EXPECT_EQ(dst.GetPixel(2999, 0), 0x808080u);
}

}  // namespace
}  // namespace kova
