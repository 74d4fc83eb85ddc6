// Fills and frames: the pixel values of every fill at each depth under both result rules, band
// geometry of frames, the colour-through-mask fill and pattern phases.
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

enum class TFillOp { Alpha, Add, AddLevel, Sub, Mask };

struct TFillCase {
  TFillOp op;
  int32_t bits;
  bool row;  // RowResults
  uint32_t d, color, m;
  int32_t level;
  uint32_t want;
};

// White per depth.
constexpr uint32_t W8 = 0xFF, W15 = 0x7FFF, W16 = 0xFFFF, W24 = 0xFFFFFF;

TEST(DibxFill, PixelTableAtEveryDepthAndRule) {
  const TFillCase cases[] = {
      // Alpha 128 of white over black: each channel M * 128 >> 8 & M.
      {TFillOp::Alpha, 8, true, 0, W8, 0, 128, 0x7F},
      {TFillOp::Alpha, 15, true, 0, W15, 0, 128, 0x3DEF},
      {TFillOp::Alpha, 15, false, 0, W15, 0, 128, 0x3DEF},
      {TFillOp::Alpha, 16, true, 0, W16, 0, 128, 0x7BEF},
      {TFillOp::Alpha, 16, false, 0, W16, 0, 128, 0x7BEF},
      {TFillOp::Alpha, 24, true, 0, W24, 0, 128, 0x7F7F7F},
      {TFillOp::Alpha, 32, true, 0, W24, 0, 128, 0x7F7F7F},
      {TFillOp::Alpha, 32, false, 0, W24, 0, 128, 0x7F7F7F},
      // Alpha 255 is not a copy.
      {TFillOp::Alpha, 16, true, 0, W16, 0, 255, 0xF7DE},
      {TFillOp::Alpha, 32, true, 0, W24, 0, 255, 0xFEFEFE},
      // A pixel already equal to the colour stays, at every alpha.
      {TFillOp::Alpha, 16, true, W16, W16, 0, 255, W16},
      {TFillOp::Alpha, 24, false, W24, W24, 0, 100, W24},
      // The top byte of a 32-bit pixel: the row results treat it as a channel, the per-pixel
      // results write 0.
      {TFillOp::Alpha, 32, true, 0xFF000000, W24, 0, 128, 0x7E7F7F7F},
      {TFillOp::Alpha, 32, false, 0xFF000000, W24, 0, 128, 0x7F7F7F},
      // Additive and subtractive fills saturate per channel.
      {TFillOp::Add, 16, true, 0xFFFF, 0x0821, 0, 256, 0xFFFF},
      {TFillOp::Add, 16, false, 0x7BEF, 0x0821, 0, 256, 0x8410},
      {TFillOp::Add, 15, true, 0x7C00, 0x0421, 0, 256, 0x7C21},
      {TFillOp::Add, 8, false, 200, 100, 0, 256, 255},
      {TFillOp::Add, 24, false, 0x10F020, 0x202020, 0, 256, 0x30FF40},
      {TFillOp::Add, 32, true, 0x10F020, 0x202020, 0, 256, 0x30FF40},
      {TFillOp::Add, 32, false, 0x10F020, 0x202020, 0, 256, 0x30FF40},
      {TFillOp::AddLevel, 32, true, 0x000000, 0x80FF40, 0, 128, 0x407F20},
      {TFillOp::AddLevel, 16, true, 0x0000, 0xFFFF, 0, 128, 0x7BEF},
      {TFillOp::Sub, 16, true, 0x0000, 0x0821, 0, 256, 0x0000},
      {TFillOp::Sub, 16, false, 0x8410, 0x0821, 0, 256, 0x7BEF},
      {TFillOp::Sub, 8, false, 100, 200, 0, 256, 0},
      {TFillOp::Sub, 24, false, 0x30FF40, 0x40FF20, 0, 256, 0x000020},
      {TFillOp::Sub, 32, true, 0x30FF40, 0x40FF20, 0, 256, 0x000020},
      // FillMask at level 255 with mask 128: the row results weigh by 128, the per-pixel ones by
      // 128 * 255 >> 8 = 127.
      {TFillOp::Mask, 16, true, 0, 0x1042, 128, 255, 0x0821},
      {TFillOp::Mask, 16, false, 0, 0x1042, 128, 255, 0x0000},
      {TFillOp::Mask, 32, true, 0, W24, 128, 255, 0x7F7F7F},
      {TFillOp::Mask, 32, false, 0, W24, 128, 255, 0x7E7E7E},
      {TFillOp::Mask, 24, true, 0, W24, 128, 255, 0x7E7E7E},
      {TFillOp::Mask, 8, true, 0, W8, 128, 255, 0x7E},
      // Below 255 both weigh by m * level >> 8; a mask value 0 leaves the pixel.
      {TFillOp::Mask, 32, true, 0, W24, 255, 128, 0x7E7E7E},
      {TFillOp::Mask, 15, false, 0, W15, 255, 128, 0x3DEF},
      {TFillOp::Mask, 32, true, 0x123456, W24, 0, 255, 0x123456},
      // The row results leave a pixel equal to the colour; the per-pixel ones blend it.
      {TFillOp::Mask, 16, true, W16, W16, 200, 255, W16},
      {TFillOp::Mask, 16, false, W16, W16, 255, 255, 0xF7DE},
  };
  for (const TFillCase& c : cases) {
    SCOPED_TRACE(testing::Message() << "op " << int(c.op) << " bits " << c.bits << " row " << c.row
                                    << " d " << std::hex << c.d);
    TDIBX s;
    SetRowResults(c.row, s);
    // Wide enough for the vector rows and their scalar ends.
    Make(s, 19, 2, c.bits, c.d);
    const TRect all = s.BoundsRect();
    switch (c.op) {
      case TFillOp::Alpha: s.FillRectAlpha(all, c.color, c.level); break;
      case TFillOp::Add: s.FillRectAdd(all, c.color); break;
      case TFillOp::AddLevel: s.FillRectAdd(all, c.color, c.level); break;
      case TFillOp::Sub: s.FillRectSub(all, c.color); break;
      case TFillOp::Mask: {
        TDIBX mask;
        Make(mask, 19, 2, 8, c.m);
        s.FillMask(0, 0, mask, mask.BoundsRect(), false, false, c.color, c.level);
        break;
      }
    }
    for (uint32_t p : PixelsOf(s)) ASSERT_EQ(p, c.want) << std::hex << p;
  }
}

TEST(DibxFill, FillRectStoresTheValueAtEachDepthInsideTheClip) {
  for (int32_t bits : {8, 15, 16, 24, 32}) {
    SCOPED_TRACE(bits);
    TDIBX s;
    Make(s, 6, 3, bits, 1);
    s.AddClipRect(TRect{1, 0, 5, 3});
    const uint32_t v = bits == 8 ? 0xAB : bits <= 16 ? 0x1234 : 0xABCDEF;
    s.FillRect(TRect{-3, 1, 4, 9}, v);
    EXPECT_EQ(RowOf(s, 0), (std::vector<uint32_t>{1, 1, 1, 1, 1, 1}));
    EXPECT_EQ(RowOf(s, 1), (std::vector<uint32_t>{1, v, v, v, 1, 1}));
    EXPECT_EQ(RowOf(s, 2), (std::vector<uint32_t>{1, v, v, v, 1, 1}));
  }
}

TEST(DibxFill, ZeroLevelsAndEmptyRectsDrawNothing) {
  TDIBX s;
  Make(s, 4, 4, 32, 5);
  TDIBX mask;
  Make(mask, 4, 4, 8, 255);
  s.FillRectAlpha(s.BoundsRect(), 0xFFFFFF, 0);
  s.FillRectAdd(s.BoundsRect(), 0xFFFFFF, 0);
  s.FillRect(TRect{3, 3, 1, 1}, 0xFFFFFF);
  s.FillMask(0, 0, mask, mask.BoundsRect(), false, false, 0xFFFFFF, 0);
  s.FrameRectAlpha(s.BoundsRect(), 1, 0xFFFFFF, 0);
  for (uint32_t p : PixelsOf(s)) EXPECT_EQ(p, 5u);
}

// Counts how often each pixel is painted by an additive frame of 1s.
std::vector<uint32_t> FrameCoverage(int32_t w, int32_t h, const TRect& r, int32_t t) {
  TDIBX s;
  Make(s, w, h, 8, 0);
  s.FrameRectAdd(r, t, 1);
  return PixelsOf(s);
}

TEST(DibxFill, FrameBandsNeverPaintAPixelTwice) {
  // 6 x 5 frame of thickness 1: top and bottom rows, sides between them.
  EXPECT_EQ(FrameCoverage(6, 5, TRect{0, 0, 6, 5}, 1),
            (std::vector<uint32_t>{1, 1, 1, 1, 1, 1,  //
                                   1, 0, 0, 0, 0, 1,  //
                                   1, 0, 0, 0, 0, 1,  //
                                   1, 0, 0, 0, 0, 1,  //
                                   1, 1, 1, 1, 1, 1}));
  // Thickness above half the height: only the two (overlapping) horizontal bands.
  EXPECT_EQ(FrameCoverage(3, 4, TRect{0, 0, 3, 4}, 3),
            (std::vector<uint32_t>{1, 1, 1, 2, 2, 2, 2, 2, 2, 1, 1, 1}));
}

TEST(DibxFill, FillMaskWalksMirroredMasksAndChecksTheirBounds) {
  TDIBX s;
  Make(s, 4, 2, 32, 0);
  TDIBX mask;
  mask.SetSize(3, 2, 8);
  for (int32_t y = 0; y < 2; ++y)
    for (int32_t x = 0; x < 3; ++x) mask.SetPixel(x, y, y == 0 && x == 0 ? 255 : 0);
  s.FillMask(1, 0, mask, mask.BoundsRect(), true, true, 0xFFFFFF, 255);
  // Mask pixel (0, 0) lands at the far corner of the mirrored rectangle.
  EXPECT_EQ(RowOf(s, 0), (std::vector<uint32_t>{0, 0, 0, 0}));
  EXPECT_EQ(RowOf(s, 1), (std::vector<uint32_t>{0, 0, 0, 0xFEFEFE}));  // a blend, not a copy
  // A mask rectangle reaching outside the mask draws nothing.
  TDIBX t;
  Make(t, 4, 2, 32, 0);
  t.FillMask(0, 0, mask, TRect{0, 0, 4, 2}, false, false, 0xFFFFFF, 255);
  for (uint32_t p : PixelsOf(t)) EXPECT_EQ(p, 0u);
  // So does a mask that is not 8-bit.
  TDIBX wide_mask;
  Make(wide_mask, 4, 2, 16, 0xFFFF);
  t.FillMask(0, 0, wide_mask, wide_mask.BoundsRect(), false, false, 0xFFFFFF, 255);
  for (uint32_t p : PixelsOf(t)) EXPECT_EQ(p, 0u);
}

TEST(DibxFill, FillPatternPhaseMirrorsAndClip) {
  for (int32_t bits : {8, 16, 24, 32}) {
    SCOPED_TRACE(bits);
    TDIBX pat;
    pat.SetSize(3, 2, bits);
    for (int32_t y = 0; y < 2; ++y)
      for (int32_t x = 0; x < 3; ++x) pat.SetPixel(x, y, uint32_t(10 * y + x + 1));
    TDIBX s;
    Make(s, 7, 2, bits, 0);
    s.FillPattern(s.BoundsRect(), pat, -1, 0, false, false);  // each row starts at the last column
    EXPECT_EQ(RowOf(s, 0), (std::vector<uint32_t>{3, 1, 2, 3, 1, 2, 3}));
    EXPECT_EQ(RowOf(s, 1), (std::vector<uint32_t>{13, 11, 12, 13, 11, 12, 13}));
    s.FillPattern(s.BoundsRect(), pat, 0, 1, true, true);
    EXPECT_EQ(RowOf(s, 0), (std::vector<uint32_t>{3, 2, 1, 3, 2, 1, 3}));  // row 1 mirrored = row 0
    EXPECT_EQ(RowOf(s, 1), (std::vector<uint32_t>{13, 12, 11, 13, 12, 11, 13}));
    // Clipped 3 pixels at the left: the phase of the unclipped rectangle is kept.
    Make(s, 7, 2, bits, 0);
    s.AddClipRect(TRect{3, 0, 7, 2});
    s.FillPattern(s.BoundsRect(), pat, 0, 0, false, false);
    EXPECT_EQ(RowOf(s, 0), (std::vector<uint32_t>{0, 0, 0, 1, 2, 3, 1}));
  }
}

TEST(DibxFill, PatternsOfAnotherPixelSizeOrNoSizeDrawNothing) {
  TDIBX pat15, s, empty;
  Make(pat15, 2, 2, 15, 0x7FFF);
  Make(s, 4, 4, 32, 9);
  s.FillPattern(s.BoundsRect(), pat15, 0, 0, false, false);
  s.FillPattern(s.BoundsRect(), empty, 0, 0, false, false);
  for (uint32_t p : PixelsOf(s)) EXPECT_EQ(p, 9u);
}

TEST(DibxFill, FramePatternRestartsThePhaseAtEachBand) {
  TDIBX pat;
  MakeRow(pat, 16, {1, 2, 3});
  TDIBX s;
  Make(s, 5, 4, 16, 0);
  s.FramePattern(s.BoundsRect(), 1, pat, TRect{}, 0, 0, 0);
  // The side bands run the full height, over the corners, each from the pattern's column 0.
  EXPECT_EQ(RowOf(s, 0), (std::vector<uint32_t>{1, 2, 3, 1, 1}));
  EXPECT_EQ(RowOf(s, 1), (std::vector<uint32_t>{1, 0, 0, 0, 1}));
  EXPECT_EQ(RowOf(s, 3), (std::vector<uint32_t>{1, 2, 3, 1, 1}));
}

}  // namespace
}  // namespace kova
