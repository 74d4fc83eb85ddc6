// Rotated and scaled drawing: a geometry table (angles, scales, pivots, mirrors, source
// rectangles, clipping) against a pixel-by-pixel walk of the rotated bounding box, hand-checked
// turns and scales, levels, keys and masks.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "dibx_test_util.h"
#include "dibx_xf_test_util.h"
#include "graphics/dibx.h"

namespace kova {
namespace {

using test::FillNoise;
using test::Make;
using test::Pixels;
using test::SetRowResults;

struct TRotateArgs {
  int32_t x, y, scale_x, scale_y;
  TRect src;
  int32_t pivot_x, pivot_y, angle;
  bool transparent, mirror_x, mirror_y;
  int32_t level;
};

// Per channel, on the masked values as the formulas are written.
uint32_t RefBlend(uint32_t d, uint32_t s, uint32_t a, const uint32_t* masks, int n) {
  uint32_t out = 0;
  for (int k = 0; k < n; ++k) {
    const uint64_t m = masks[k];
    out |= uint32_t((((d & m) * (255 - a) + (s & m) * a) >> 8) & m);
  }
  return out;
}
uint32_t RefAdd(uint32_t d, uint32_t s, uint32_t l, const uint32_t* masks, int n) {
  uint32_t out = 0;
  for (int k = 0; k < n; ++k) {
    const uint64_t m = masks[k];
    const uint64_t t = (d & m) + ((((s & m) * l) >> 8) & m);
    out |= uint32_t(t > m ? m : t);
  }
  return out;
}

// The rotated draw as described: walk every pixel of the bounding box cut to the clip, test each
// source position. Sources outside the source's bounds are skipped as well.
void ReferenceRotate(TDIBX& dst, TDIBX& src, const TRotateArgs& a) {
  const double ang = a.angle * 2.0 * M_PI / 256.0, sx = a.scale_x / 256.0, sy = a.scale_y / 256.0;
  const int64_t dudx = int64_t(65536 * std::cos(ang) / sx), dvdx = int64_t(-65536 * std::sin(ang) / sy);
  const int64_t dudy = int64_t(65536 * std::sin(ang) / sx), dvdy = int64_t(65536 * std::cos(ang) / sy);
  const TRect box = CalcRotatedBounds(a.x, a.y, a.pivot_x, a.pivot_y, a.angle, a.src, a.scale_x, a.scale_y, 0, 0,
                                      false, false);
  const TRect c = dst.GetClipRect();
  const int64_t key = a.transparent ? src.TransparentColor : -1;
  uint32_t masks[4] = {dst.RedMask(), dst.GreenMask(), dst.BlueMask(), 0xFF000000u};
  const int n = dst.BitCount() == 32 && dst.RowResults ? 4 : 3;
  for (int32_t by = std::max({box.Top, c.Top, 0}); by < std::min({box.Bottom, c.Bottom, dst.Height()}); ++by) {
    for (int32_t bx = std::max({box.Left, c.Left, 0}); bx < std::min({box.Right, c.Right, dst.Width()}); ++bx) {
      const int64_t u = int64_t(a.pivot_x) * 65536 + (bx - a.x) * dudx + (by - a.y) * dudy;
      const int64_t v = int64_t(a.pivot_y) * 65536 + (bx - a.x) * dvdx + (by - a.y) * dvdy;
      if (u < 0 || v < 0) continue;
      int64_t col = u >> 16, row = v >> 16;
      if (a.mirror_x) col = a.src.Right - col - 1;
      if (a.mirror_y) row = a.src.Bottom - row - 1;
      if (col < a.src.Left || col >= a.src.Right || row < a.src.Top || row >= a.src.Bottom) continue;
      if (col < 0 || row < 0 || col >= src.Width() || row >= src.Height()) continue;
      const uint32_t s = src.GetPixel(int32_t(col), int32_t(row));
      if (int64_t(s) == key) continue;
      const uint32_t d = dst.GetPixel(bx, by);
      if (a.level == 255) {
        dst.SetPixel(bx, by, s);
      } else if (a.level < 255) {
        dst.SetPixel(bx, by, RefBlend(d, s, uint32_t(a.level), masks, n));
      } else {
        dst.SetPixel(bx, by, RefAdd(d, s, uint32_t(a.level & 255), masks, n));
      }
    }
  }
}

TEST(DibxRotate, GeometryTableMatchesTheBoxWalk) {
  const TRotateArgs cases[] = {
      // x, y, scale x, y, source rectangle, pivot, angle, key, mirrors, level
      {20, 20, 256, 256, {0, 0, 13, 9}, 6, 4, 0, false, false, false, 255},
      {20, 20, 256, 256, {0, 0, 13, 9}, 6, 4, 64, false, false, false, 255},
      {20, 20, 256, 256, {0, 0, 13, 9}, 0, 0, 128, false, false, false, 255},
      {20, 20, 256, 256, {0, 0, 13, 9}, 6, 4, 192, false, true, false, 255},
      {20, 20, 384, 384, {0, 0, 13, 9}, 6, 4, 37, false, false, false, 255},
      {18, 22, 512, 200, {0, 0, 13, 9}, 3, 7, 200, false, true, true, 255},
      {21, 19, 100, 300, {0, 0, 13, 9}, 12, 8, -30, false, false, true, 255},
      {20, 20, 700, 700, {0, 0, 13, 9}, 6, 4, 11, false, false, false, 255},
      // A source rectangle away from (0, 0), and one reaching past the source.
      {20, 20, 256, 256, {3, 2, 11, 9}, 6, 4, 20, false, false, false, 255},
      {20, 20, 300, 256, {3, 2, 11, 9}, 6, 4, 90, false, true, false, 255},
      {20, 20, 256, 256, {-4, -3, 20, 15}, 6, 4, 45, false, true, true, 255},
      // Pivots far outside the destination, so the box is clipped on several sides.
      {-5, 3, 512, 512, {0, 0, 13, 9}, 6, 4, 17, false, false, false, 255},
      {44, 41, 512, 512, {0, 0, 13, 9}, 0, 0, 100, false, false, false, 255},
      // Keys, blends and additions.
      {20, 20, 320, 256, {0, 0, 13, 9}, 6, 4, 23, true, false, false, 255},
      {20, 20, 256, 320, {0, 0, 13, 9}, 6, 4, 160, true, true, false, 128},
      {20, 20, 256, 256, {0, 0, 13, 9}, 6, 4, 77, true, false, true, 300},
  };
  for (int32_t bits : {15, 16, 24, 32}) {
    for (bool row : {true, false}) {
      for (const TRotateArgs& a : cases) {
        for (bool clipped : {false, true}) {
          SCOPED_TRACE(testing::Message() << "bits " << bits << " row " << row << " angle " << a.angle << " scale "
                                          << a.scale_x << "x" << a.scale_y << " clipped " << clipped);
          TDIBX src, got, want;
          SetRowResults(row, got, want);
          Make(src, 13, 9, bits);
          FillNoise(src, 7);
          src.TransparentColor = int32_t(src.GetPixel(5, 4));
          Make(got, 41, 38, bits);
          FillNoise(got, 3);
          Make(want, 41, 38, bits);
          FillNoise(want, 3);
          if (clipped) {
            got.SetClipRect(TRect{9, 14, 30, 27});
            want.SetClipRect(TRect{9, 14, 30, 27});
          }
          got.DrawRotate(a.x, a.y, a.scale_x, a.scale_y, src, a.src, a.pivot_x, a.pivot_y, a.angle, a.transparent,
                         a.mirror_x, a.mirror_y, a.level);
          ReferenceRotate(want, src, a);
          ASSERT_EQ(Pixels(got), Pixels(want));
        }
      }
    }
  }
}

// A 3 x 2 source with distinct pixels: 1 2 3 / 4 5 6.
void MakeSmall(TDIBX& s, int32_t bits = 32) {
  Make(s, 3, 2, bits);
  for (int32_t y = 0; y < 2; ++y)
    for (int32_t x = 0; x < 3; ++x) s.SetPixel(x, y, uint32_t(1 + x + 3 * y));
}

// The 8 x 8 destination's pixels as rows of text, 0 for untouched.
std::vector<std::vector<uint32_t>> Grid(const TDIBX& d) {
  std::vector<std::vector<uint32_t>> g(size_t(d.Height()));
  for (int32_t y = 0; y < d.Height(); ++y)
    for (int32_t x = 0; x < d.Width(); ++x) g[size_t(y)].push_back(d.GetPixel(x, y));
  return g;
}

TEST(DibxRotate, TurnsAndScalesByHand) {
  TDIBX src;
  MakeSmall(src);
  using G = std::vector<std::vector<uint32_t>>;
  auto draw = [&](int32_t angle, int32_t sx, int32_t sy, bool mx = false) {
    TDIBX d;
    Make(d, 6, 6, 32);
    d.DrawRotate(2, 2, sx, sy, src, src.BoundsRect(), 1, 0, angle, false, mx, false, 255);
    return Grid(d);
  };
  // Angle 0, scale 1: unchanged, pivot (1, 0) at (2, 2).
  const G plain = {{0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0}, {0, 1, 2, 3, 0, 0},
                   {0, 4, 5, 6, 0, 0}, {0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0}};
  EXPECT_EQ(draw(0, 256, 256), plain);
  EXPECT_EQ(draw(256, 256, 256), plain);
  // A quarter turn clockwise: the top row runs downwards, the bottom row lies to its left.
  EXPECT_EQ(draw(64, 256, 256), (G{{0, 0, 0, 0, 0, 0}, {0, 4, 1, 0, 0, 0}, {0, 5, 2, 0, 0, 0},
                                   {0, 6, 3, 0, 0, 0}, {0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0}}));
  // ScaleX 512 doubles the width (pivot column 1 starts at x = 2).
  EXPECT_EQ(draw(0, 512, 256), (G{{0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0}, {1, 1, 2, 2, 3, 3},
                                  {4, 4, 5, 5, 6, 6}, {0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0}}));
  // Mirrored: the pivot column still lands at x = 2, the row reads backwards.
  EXPECT_EQ(draw(0, 256, 256, true), (G{{0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0}, {0, 3, 2, 1, 0, 0},
                                        {0, 6, 5, 4, 0, 0}, {0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0}}));
  // Zero scales draw nothing.
  const G empty(6, std::vector<uint32_t>(6, 0));
  EXPECT_EQ(draw(0, 0, 256), empty);
  EXPECT_EQ(draw(0, 256, 0), empty);
}

TEST(DibxRotate, LevelsKeysAndDepths) {
  TDIBX src, d;
  Make(src, 2, 2, 32, 0xFF8040);
  // Level 300 adds the source scaled by 44 / 256.
  Make(d, 4, 4, 32, 0x101010);
  d.DrawRotate(0, 0, 256, 256, src, src.BoundsRect(), 0, 0, 0, false, false, false, 300);
  EXPECT_EQ(d.GetPixel(1, 1), 0x101010u + ((0xFFu * 44) >> 8 << 16) + ((0x80u * 44) >> 8 << 8) + ((0x40u * 44) >> 8));
  EXPECT_EQ(d.GetPixel(2, 2), 0x101010u);
  // Level 128 blends; level 0 and level 256 draw nothing.
  Make(d, 4, 4, 32, 0);
  d.DrawRotate(0, 0, 256, 256, src, src.BoundsRect(), 0, 0, 0, false, false, false, 128);
  EXPECT_EQ(d.GetPixel(0, 0), 0x7F4020u);
  for (int32_t level : {0, 256, -5}) {
    Make(d, 4, 4, 32, 0x123456);
    d.DrawRotate(0, 0, 256, 256, src, src.BoundsRect(), 0, 0, 0, false, false, false, level);
    EXPECT_EQ(d.GetPixel(0, 0), 0x123456u) << level;
  }
  // The key is the source's and applies only with Transparent.
  src.TransparentColor = 0xFF8040;
  Make(d, 4, 4, 32, 7);
  d.DrawRotate(0, 0, 256, 256, src, src.BoundsRect(), 0, 0, 0, true, false, false, 255);
  EXPECT_EQ(d.GetPixel(0, 0), 7u);
  d.DrawRotate(0, 0, 256, 256, src, src.BoundsRect(), 0, 0, 0, false, false, false, 255);
  EXPECT_EQ(d.GetPixel(0, 0), 0xFF8040u);
  // 8-bit destinations and sources of another pixel size draw nothing.
  TDIBX src8, d8, src16;
  Make(src8, 2, 2, 8, 9);
  Make(d8, 4, 4, 8, 1);
  d8.DrawRotate(0, 0, 256, 256, src8, src8.BoundsRect(), 0, 0, 0, false, false, false, 255);
  EXPECT_EQ(d8.GetPixel(0, 0), 1u);
  Make(src16, 2, 2, 16, 9);
  Make(d, 4, 4, 32, 1);
  d.DrawRotate(0, 0, 256, 256, src16, src16.BoundsRect(), 0, 0, 0, false, false, false, 255);
  EXPECT_EQ(d.GetPixel(0, 0), 1u);
}

TEST(DibxRotate, MaskWeights) {
  TDIBX src, mask, d;
  Make(src, 3, 1, 32, 0xFFFFFF);
  Make(mask, 3, 1, 8);
  mask.SetPixel(0, 0, 255);
  mask.SetPixel(1, 0, 128);
  mask.SetPixel(2, 0, 0);
  auto row = [&](int32_t level, bool mirror) {
    Make(d, 3, 1, 32, 0);
    d.DrawRotateMask(0, 0, 256, 256, src, src.BoundsRect(), 0, 0, 0, mirror, false, mask, level);
    return test::RowOf(d);
  };
  // Level 255: weight m, a full mask copies.
  EXPECT_EQ(row(255, false), (std::vector<uint32_t>{0xFFFFFF, 0x7F7F7F, 0}));
  // Level 128: weight m * 128 >> 8.
  EXPECT_EQ(row(128, false), (std::vector<uint32_t>{0x7E7E7E, 0x3F3F3F, 0}));
  // The mask is read at the mirrored source position.
  EXPECT_EQ(row(255, true), (std::vector<uint32_t>{0, 0x7F7F7F, 0xFFFFFF}));
  // Additive: level 511 adds s * m >> 8.
  EXPECT_EQ(row(511, false), (std::vector<uint32_t>{0xFEFEFE, 0x7F7F7F, 0}));
  // A mask that does not cover the source draws nothing.
  TDIBX small_mask;
  Make(small_mask, 2, 1, 8, 255);
  Make(d, 3, 1, 32, 5);
  d.DrawRotateMask(0, 0, 256, 256, src, src.BoundsRect(), 0, 0, 0, false, false, small_mask, 255);
  EXPECT_EQ(test::RowOf(d), (std::vector<uint32_t>{5, 5, 5}));
}

TEST(DibxRotate, CalcRotatedBoundsMirrorsThePivot) {
  // 10 x 4 at scale 1, no turn: the pivot lands at (X, Y).
  EXPECT_EQ(CalcRotatedBounds(50, 60, 2, 1, 0, TRect{0, 0, 10, 4}, 256, 256, 10, 4, false, false),
            (TRect{48, 59, 58, 63}));
  // Mirrored, the pivot column counts from the right: 10 - 1 - 2 = 7.
  EXPECT_EQ(CalcRotatedBounds(50, 60, 2, 1, 0, TRect{0, 0, 10, 4}, 256, 256, 10, 4, true, true),
            (TRect{43, 58, 53, 62}));
  // A half turn puts the box on the other side of the pivot; edges truncate toward zero.
  EXPECT_EQ(CalcRotatedBounds(50, 60, 0, 0, 128, TRect{0, 0, 10, 4}, 256, 256, 10, 4, false, false),
            (TRect{41, 57, 51, 61}));
}

TEST(DibxRotate, ExtremeScalesDrawNothingAndStayDefined) {
  // A huge scale gives a box far beyond any surface: its edges stay in range and the draw is
  // clipped away instead of converting an out-of-range value.
  const TRect box = CalcRotatedBounds(0, 0, 0, 0, 37, TRect{0, 0, 30000, 30000}, INT32_MAX, INT32_MAX,
                                      30000, 30000, false, false);
  EXPECT_LE(box.Left, box.Right);
  EXPECT_LE(box.Top, box.Bottom);
  TDIBX src, d;
  Make(src, 4, 4, 32, 7);
  Make(d, 4, 4, 32, 5);
  d.DrawRotate(2, 2, INT32_MAX, INT32_MAX, src, src.BoundsRect(), 0, 0, 37, false, false, false, 255);
}

}  // namespace
}  // namespace kova
