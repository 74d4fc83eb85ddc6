// The wave-effect surface: band merging of equal row offsets, rows outside the wave, mirrored
// bands, row-clipped forwarding that restores the target's clip, one call per row for the code
// tables and reductions, clip rectangles, and no target.
#include <gtest/gtest.h>

#include <vector>

#include "dibx_test_util.h"
#include "dibx_xf_test_util.h"
#include "graphics/dibx_wave.h"

namespace kova {
namespace {

using test::FillNoise;
using test::Make;
using test::Pixels;
using test::TSpyDIBX;

// A wave of `offsets` at `origin` in front of `target`.
void MakeWave(TDIBXWave& wave, TCustomDIBX& target, std::vector<int32_t> offsets, TPoint origin = {}) {
  wave.SetTarget(&target);
  wave.SetSize(40, int32_t(offsets.size()), 32);
  wave.RowOffsets = std::move(offsets);
  wave.WaveOrigin = origin;
}

TEST(DibxWave, EqualOffsetsTravelAsOneBand) {
  TSpyDIBX target;
  Make(target, 60, 120, 32);
  TDIBX src;
  Make(src, 10, 100, 32, 5);
  TDIBXWave wave;
  MakeWave(wave, target, std::vector<int32_t>(120, 0));
  wave.Draw(3, 4, src, src.BoundsRect(), false, false, false);
  ASSERT_EQ(target.calls.size(), 1u);
  EXPECT_EQ(target.calls[0].dst, (TRect{3, 4, 3, 4}));
  EXPECT_EQ(target.calls[0].src, (TRect{0, 0, 10, 100}));
}

// Tiles through a wave whose rows move far apart: pieces are found for each part of the target the
// rows reach, and a piece reaching into two parts is drawn once.
TEST(DibxWave, TilesReachEveryRowOnce) {
  TDIBX target, src;
  Make(target, 16, 2, 32, 0);
  Make(src, 40, 1, 32, 0x10);
  TDIBXWave wave;
  MakeWave(wave, target, {20, 0});
  wave.DrawTileAdd(TRect{-25, 0, 40, 2}, 0, 0, src, src.BoundsRect(), false, 255, 0, 0);
  // Each target pixel gets the source added once: 0x10 * 255 >> 8.
  EXPECT_EQ(Pixels(target), std::vector<uint32_t>(32, 0x0F));
}

TEST(DibxWave, RunsOfOffsetsBecomeBands) {
  TSpyDIBX target;
  Make(target, 20, 10, 32);
  TDIBXWave wave;
  MakeWave(wave, target, {0, 0, 3, 3, 3, 0});
  wave.FillRect(TRect{2, 0, 6, 6}, 9);
  ASSERT_EQ(target.calls.size(), 3u);
  EXPECT_EQ(target.calls[0].dst, (TRect{2, 0, 6, 2}));
  EXPECT_EQ(target.calls[1].dst, (TRect{5, 2, 9, 5}));
  EXPECT_EQ(target.calls[2].dst, (TRect{2, 5, 6, 6}));
  // Rows above the origin or below the last offset are not drawn.
  Make(target, 20, 10, 32);
  target.calls.clear();
  wave.WaveOrigin = TPoint{0, 2};
  wave.FillRect(TRect{0, 0, 1, 10}, 9);
  ASSERT_EQ(target.calls.size(), 3u);
  EXPECT_EQ(target.calls[0].dst, (TRect{0, 2, 1, 4}));
  EXPECT_EQ(target.calls[2].dst, (TRect{0, 7, 1, 8}));
  for (int32_t y = 0; y < 10; ++y) EXPECT_EQ(target.GetPixel(y >= 4 && y < 7 ? 3 : 0, y), y >= 2 && y < 8 ? 9u : 0u);
}

TEST(DibxWave, MirroredBandsTakeTheirRowsFromTheBottom) {
  TDIBX src, direct, target;
  Make(src, 4, 6, 32);
  FillNoise(src, 3);
  Make(direct, 12, 8, 32);
  direct.Draw(1, 1, src, src.BoundsRect(), false, true, true);
  // With one bent row the draw splits into three bands; only that row moves.
  Make(target, 12, 8, 32);
  TDIBXWave wave;
  MakeWave(wave, target, {0, 0, 0, 2, 0, 0, 0, 0});
  wave.Draw(1, 1, src, src.BoundsRect(), false, true, true);
  for (int32_t y = 0; y < 8; ++y) {
    for (int32_t x = 0; x < 12; ++x) {
      const int32_t sx = y == 3 ? x - 2 : x;
      const uint32_t want = sx >= 0 ? direct.GetPixel(sx, y) : 0;
      ASSERT_EQ(target.GetPixel(x, y), want) << x << "," << y;
    }
  }
}

TEST(DibxWave, PatternFillsCoverTheWholeRectangleWithAContinuousPhase) {
  TDIBX pattern, direct, target;
  Make(pattern, 3, 2, 32);
  FillNoise(pattern, 4);
  Make(direct, 16, 9, 32);
  direct.FillPattern(TRect{1, 1, 15, 9}, pattern, 1, 1, false, true);
  Make(target, 16, 9, 32);
  TDIBXWave wave;
  MakeWave(wave, target, std::vector<int32_t>(9, 0));
  wave.RowOffsets[4] = 1;
  wave.FillPattern(TRect{1, 1, 15, 9}, pattern, 1, 1, false, true);
  for (int32_t y = 0; y < 9; ++y) {
    for (int32_t x = 0; x < 16; ++x) {
      const int32_t sx = y == 4 ? x - 1 : x;
      ASSERT_EQ(target.GetPixel(x, y), sx >= 0 ? direct.GetPixel(sx, y) : 0u) << x << "," << y;
    }
  }
}

TEST(DibxWave, RowClippedOperationsGoRowByRowAndRestoreTheClip) {
  TSpyDIBX target;
  Make(target, 20, 10, 32);
  target.SetClipRect(TRect{0, 1, 20, 9});
  TDIBX src;
  Make(src, 2, 2, 32, 7);
  TDIBXWave wave;
  MakeWave(wave, target, {0, 0, 0, 4, 4});
  wave.StretchDraw(TRect{2, 0, 10, 8}, src, src.BoundsRect(), false, false, false, 255);
  // Rows 1 .. 4 lie in both the clip and the wave.
  ASSERT_EQ(target.calls.size(), 4u);
  EXPECT_EQ(target.calls[0].clip, (TRect{2, 1, 10, 2}));
  EXPECT_EQ(target.calls[0].dst, (TRect{2, 0, 10, 8}));
  EXPECT_EQ(target.calls[3].clip, (TRect{2, 4, 10, 5}));
  EXPECT_EQ(target.calls[3].dst, (TRect{6, 0, 14, 8}));
  EXPECT_EQ(target.ClipRect, (TRect{0, 1, 20, 9}));
  // Moved rows stay cut to the unmoved area.
  EXPECT_EQ(target.GetPixel(9, 4), 7u);
  EXPECT_EQ(target.GetPixel(10, 4), 0u);
  EXPECT_EQ(target.GetPixel(5, 4), 0u);
  EXPECT_EQ(target.GetPixel(2, 2), 7u);
  // A rotation moves its pivot.
  target.calls.clear();
  wave.DrawRotate(5, 3, 256, 256, src, src.BoundsRect(), 0, 0, 0, false, false, false, 255);
  ASSERT_EQ(target.calls.size(), 2u);
  EXPECT_EQ(target.calls[0].dst, (TRect{9, 3, 9, 3}));
  EXPECT_EQ(target.ClipRect, (TRect{0, 1, 20, 9}));
}

TEST(DibxWave, TablesAndReductionsGoOneRowAtATime) {
  TSpyDIBX target;
  Make(target, 20, 10, 16);
  TDIBX codes, mono;
  codes.SetSize(3, 3, 4);
  mono.SetSize(8, 8, 1);
  std::vector<uint32_t> table(16, 0xFFFF);
  TDIBXWave wave;
  MakeWave(wave, target, {0, 0, 0, 0, 0, 0});
  wave.DrawTable(1, 1, codes, codes.BoundsRect(), false, false, true, 255, table);
  ASSERT_EQ(target.calls.size(), 3u);
  EXPECT_EQ(target.calls[0].src, (TRect{0, 2, 3, 3}));
  EXPECT_EQ(target.calls[2].src, (TRect{0, 0, 3, 1}));
  target.calls.clear();
  wave.DrawMonoReduced(0, 4, mono, mono.BoundsRect(), 0xFFFF, false, false, 255, 4);
  // Two destination rows, each from its own four source rows.
  ASSERT_EQ(target.calls.size(), 2u);
  EXPECT_EQ(target.calls[1].src, (TRect{0, 4, 8, 8}));
  EXPECT_EQ(target.calls[1].dst, (TRect{0, 5, 0, 5}));
}

TEST(DibxWave, ClipRectanglesAndSurfaceAnswers) {
  TDIBX target;
  Make(target, 50, 50, 16);
  TDIBXWave wave;
  MakeWave(wave, target, std::vector<int32_t>(10, 0), TPoint{5, 5});
  EXPECT_EQ(wave.BaseSurface(), &target);
  EXPECT_EQ(wave.BitCount(), 16);
  EXPECT_EQ(wave.ColorToPixel(0x0000FF), target.ColorToPixel(0x0000FF));
  // Wholly outside the wave's area: neither clip changes.
  wave.AddClipRect(TRect{0, 20, 50, 30});
  EXPECT_EQ(wave.ClipRect, TRect{});
  EXPECT_EQ(target.ClipRect, TRect{});
  wave.AddClipRect(TRect{0, 0, 10, 10});
  EXPECT_EQ(wave.ClipRect, (TRect{5, 5, 10, 10}));
  wave.AddClipRect(TRect{40, 12, 60, 14});
  EXPECT_EQ(wave.ClipRect, (TRect{5, 5, 45, 14}));
  EXPECT_EQ(target.ClipRect, (TRect{5, 5, 45, 14}));
  wave.ResetClipRect();
  EXPECT_EQ(wave.ClipRect.Right, 0);
  EXPECT_EQ(target.ClipRect.Right, 0);
  // SetSize gives zero offsets for every row.
  wave.SetSize(40, 7, 16);
  EXPECT_EQ(wave.RowOffsets, std::vector<int32_t>(7, 0));
  // Fill covers the wave's area on the target.
  wave.Fill(3);
  EXPECT_EQ(target.GetPixel(5, 5), 3u);
  EXPECT_EQ(target.GetPixel(44, 11), 3u);
  EXPECT_EQ(target.GetPixel(4, 5), 0u);
  EXPECT_EQ(target.GetPixel(5, 12), 0u);
}

TEST(DibxWave, WithoutATargetNothingIsDrawn) {
  TDIBXWave wave;
  wave.SetSize(10, 10, 32);
  TDIBX src;
  Make(src, 4, 4, 32, 1);
  wave.Draw(0, 0, src, src.BoundsRect(), false, false, false);
  wave.FillRect(TRect{0, 0, 5, 5}, 1);
  wave.StretchDraw(TRect{0, 0, 5, 5}, src, src.BoundsRect(), false, false, false, 255);
  wave.DrawTile(TRect{0, 0, 5, 5}, 0, 0, src, src.BoundsRect(), false, 0, 0);
  EXPECT_EQ(wave.BitCount(), 0);
  EXPECT_EQ(wave.BaseSurface(), nullptr);
}

}  // namespace
}  // namespace kova
