// How a tile repeats its picture: the choice among the four drawing paths, the pitch of spaced
// copies, and the pixels each path gives on real 15-, 16- and 32-bit surfaces (scroll, mirror,
// colour key, gaps, overlapping copies, zoom, the clip).
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "components/widgets/tile_render.h"
#include "graphics/dibx.h"

namespace kova {
namespace {

constexpr int32_t kBack = 0x204060;

// A w x h picture whose pixels all differ: colour (40 + 25x, 30 + 50y, 200).
void MakePicture(TDIBX& pic, int32_t bits, int32_t w, int32_t h) {
  pic.SetSize(w, h, bits);
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) pic.SetPixel(x, y, uint32_t(pic.ColorToPixel((40 + 25 * x) | (30 + 50 * y) << 8 | 200 << 16)));
  }
}

void MakeTarget(TDIBX& target, int32_t bits, int32_t w, int32_t h) {
  target.SetSize(w, h, bits);
  target.FillRect(target.BoundsRect(), uint32_t(target.ColorToPixel(kBack)));
}

int32_t Mod(int32_t v, int32_t m) { return ((v % m) + m) % m; }

TEST(TileRenderTest, PitchAndPathFollowTheLook) {
  EXPECT_EQ(TileCell(10, 64), 64);   // below half the width: the copies touch
  EXPECT_EQ(TileCell(100, 64), 100);  // gaps of 36
  EXPECT_EQ(TileCell(32, 64), 32);   // the copies overlap
  EXPECT_EQ(TileCell(0, 64), 64);
  EXPECT_EQ(TileCell(-40, 64), 64);

  TDIBX pic, keyed, mask, framed, empty;
  MakePicture(pic, 32, 64, 64);
  MakePicture(keyed, 32, 64, 64);
  keyed.TransparentColor = int32_t(keyed.GetPixel(0, 0));
  mask.SetSize(64, 64, 8);
  MakePicture(framed, 32, 64, 64);
  framed.Rects1 = {TRect{0, 0, 64, 64}};
  struct Case {
    const char* name;
    TTileLook look;
    TCustomDIBX* picture;
    TCustomDIBX* mask;
    TTilePath path;
  };
  auto look = [](int32_t alpha, int32_t zoom_x = 256, int32_t distance_x = 0) {
    TTileLook l;
    l.Rect = TRect{0, 0, 200, 100};
    l.Alpha = alpha;
    l.ZoomX = zoom_x;
    l.DistanceX = distance_x;
    return l;
  };
  TTileLook no_height = look(255);
  no_height.Rect.Bottom = 0;
  const Case cases[] = {
      {"opaque, unzoomed, no key, no mask", look(255), &pic, nullptr, TTilePath::Pattern},
      {"blended", look(254), &pic, nullptr, TTilePath::PatternTable},
      {"added", look(300), &pic, nullptr, TTilePath::PatternTable},
      {"colour key", look(255), &keyed, nullptr, TTilePath::PatternTable},
      {"mask", look(255), &pic, &mask, TTilePath::PatternTable},
      {"zoomed", look(255, 512), &pic, nullptr, TTilePath::PatternTable},
      {"distance below half the width", look(255, 256, 10), &pic, nullptr, TTilePath::Pattern},
      {"spaced with content rectangles", look(255, 256, 100), &framed, nullptr, TTilePath::Spaced},
      {"spaced overlapping", look(255, 256, 32), &framed, nullptr, TTilePath::Spaced},
      {"spaced without content rectangles", look(255, 256, 100), &pic, nullptr, TTilePath::StretchTiles},
      {"spaced and zoomed", look(255, 512, 100), &framed, nullptr, TTilePath::StretchTiles},
      {"alpha 0", look(0), &pic, nullptr, TTilePath::None},
      {"zoom 0", look(255, 0), &pic, nullptr, TTilePath::None},
      {"no height", no_height, &pic, nullptr, TTilePath::None},
      {"empty picture", look(255), &empty, nullptr, TTilePath::None},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ChooseTilePath(c.look, *c.picture, c.mask), c.path);
  }
}

class TileRenderDepthTest : public ::testing::TestWithParam<int32_t> {};

INSTANTIATE_TEST_SUITE_P(Depths, TileRenderDepthTest, ::testing::Values(15, 16, 32),
                         [](const auto& info) { return std::to_string(info.param); });

// The picture pixel a touching, unzoomed tile shows at (i, j) of its rectangle.
uint32_t PatternPixel(const TDIBX& pic, const TTileLook& l, int32_t i, int32_t j) {
  int32_t x = Mod(l.ScrollX + i, pic.Width()), y = Mod(l.ScrollY + j, pic.Height());
  if (l.FlipH) x = pic.Width() - 1 - x;
  if (l.FlipV) y = pic.Height() - 1 - y;
  return pic.GetPixel(x, y);
}

TEST_P(TileRenderDepthTest, TouchingCopiesScrollAndMirror) {
  const int32_t bits = GetParam();
  TDIBX pic;
  MakePicture(pic, bits, 5, 3);
  for (const bool flip : {false, true}) {
    TTileLook l;
    l.Rect = TRect{2, 1, 19, 12};
    l.ScrollX = -7;
    l.ScrollY = 4;
    l.FlipH = flip;
    l.FlipV = flip;
    TDIBX target;
    MakeTarget(target, bits, 24, 16);
    RenderTile(target, pic, nullptr, l);
    for (int32_t y = 0; y < 16; ++y) {
      for (int32_t x = 0; x < 24; ++x) {
        const bool inside = x >= 2 && x < 19 && y >= 1 && y < 12;
        const uint32_t want = inside ? PatternPixel(pic, l, x - 2, y - 1) : uint32_t(target.ColorToPixel(kBack));
        ASSERT_EQ(target.GetPixel(x, y), want) << x << "," << y << " flip " << flip;
      }
    }
  }
}

TEST_P(TileRenderDepthTest, KeyedPixelsLetTheBackgroundThrough) {
  const int32_t bits = GetParam();
  TDIBX pic;
  MakePicture(pic, bits, 4, 4);
  pic.TransparentColor = int32_t(pic.GetPixel(1, 2));
  TTileLook l;
  l.Rect = TRect{0, 0, 12, 8};
  TDIBX target;
  MakeTarget(target, bits, 12, 8);
  RenderTile(target, pic, nullptr, l);
  for (int32_t y = 0; y < 8; ++y) {
    for (int32_t x = 0; x < 12; ++x) {
      const bool key = x % 4 == 1 && y % 4 == 2;
      ASSERT_EQ(target.GetPixel(x, y), key ? uint32_t(target.ColorToPixel(kBack)) : pic.GetPixel(x % 4, y % 4))
          << x << "," << y;
    }
  }
}

TEST_P(TileRenderDepthTest, SpacedCopiesOfTheWholePictureMatchThePatternFill) {
  const int32_t bits = GetParam();
  TDIBX pic;
  MakePicture(pic, bits, 8, 4);
  pic.Rects1 = {pic.BoundsRect()};
  TTileLook l;
  l.Rect = TRect{3, 2, 30, 17};
  l.ScrollX = -5;  // the copies start 5 pixels in: pitch 8, offset 3
  l.ScrollY = 9;
  l.DistanceX = 8;
  l.DistanceY = 4;
  ASSERT_EQ(ChooseTilePath(l, pic, nullptr), TTilePath::Spaced);
  TDIBX spaced, filled;
  MakeTarget(spaced, bits, 32, 20);
  MakeTarget(filled, bits, 32, 20);
  RenderTile(spaced, pic, nullptr, l);
  TTileLook touching = l;
  touching.DistanceX = touching.DistanceY = 0;
  RenderTile(filled, pic, nullptr, touching);
  for (int32_t y = 0; y < 20; ++y) {
    for (int32_t x = 0; x < 32; ++x) ASSERT_EQ(spaced.GetPixel(x, y), filled.GetPixel(x, y)) << x << "," << y;
  }
  EXPECT_EQ(spaced.GetPixel(3 + 5, 2), pic.GetPixel(0, 1));  // picture column 0 lands 5 pixels in
}

TEST_P(TileRenderDepthTest, SpacedCopiesLeaveGapsAndOverlapFromBeforeTheRectangle) {
  const int32_t bits = GetParam();
  TDIBX pic;
  MakePicture(pic, bits, 8, 2);
  const uint32_t back = [&] {
    TDIBX t;
    MakeTarget(t, bits, 1, 1);
    return t.GetPixel(0, 0);
  }();

  // Pitch 12: four columns of background after each copy.
  pic.Rects1 = {pic.BoundsRect()};
  TTileLook gaps;
  gaps.Rect = TRect{0, 0, 30, 2};
  gaps.DistanceX = 12;
  TDIBX target;
  MakeTarget(target, bits, 30, 2);
  RenderTile(target, pic, nullptr, gaps);
  for (int32_t x = 0; x < 30; ++x) {
    const int32_t in_cell = x % 12;
    ASSERT_EQ(target.GetPixel(x, 1), in_cell < 8 ? pic.GetPixel(in_cell, 1) : back) << x;
  }

  // Only the right half is content, pitch 6: the copy that starts before the rectangle still
  // shows its content at columns 0 and 1; columns 2 and 3 lie between copies.
  pic.Rects1 = {TRect{4, 0, 8, 2}};
  TTileLook overlap;
  overlap.Rect = TRect{0, 0, 16, 2};
  overlap.DistanceX = 6;
  MakeTarget(target, bits, 16, 2);
  RenderTile(target, pic, nullptr, overlap);
  std::vector<uint32_t> row, want;
  for (int32_t x = 0; x < 16; ++x) row.push_back(target.GetPixel(x, 0));
  for (int32_t x = 0; x < 16; ++x) {
    // The copy whose picture starts at 6k shows columns 4..7 at 6k + 4 .. 6k + 7.
    want.push_back(Mod(x - 4, 6) < 4 ? pic.GetPixel(4 + Mod(x - 4, 6), 0) : back);
  }
  EXPECT_EQ(row, want);
  EXPECT_EQ(row[0], pic.GetPixel(6, 0));
  EXPECT_EQ(row[1], pic.GetPixel(7, 0));
  EXPECT_EQ(row[2], back);
}

TEST_P(TileRenderDepthTest, SpacedCopiesMirrorTheirContentAndKeepTheClip) {
  const int32_t bits = GetParam();
  TDIBX pic;
  MakePicture(pic, bits, 6, 2);
  pic.Rects1 = {TRect{0, 0, 2, 2}};  // the left third only
  TTileLook l;
  l.Rect = TRect{0, 0, 20, 2};
  l.DistanceX = 10;
  l.FlipH = true;
  TDIBX target;
  MakeTarget(target, bits, 20, 2);
  const TRect clip{0, 0, 15, 2};
  target.ClipRect = clip;
  RenderTile(target, pic, nullptr, l);
  EXPECT_EQ(target.ClipRect, clip);
  // Mirrored, the content is the right third of each copy, its columns reversed.
  EXPECT_EQ(target.GetPixel(3, 0), uint32_t(target.ColorToPixel(kBack)));
  EXPECT_EQ(target.GetPixel(4, 0), pic.GetPixel(1, 0));
  EXPECT_EQ(target.GetPixel(5, 0), pic.GetPixel(0, 0));
  EXPECT_EQ(target.GetPixel(14, 0), pic.GetPixel(1, 0));
  EXPECT_EQ(target.GetPixel(15, 0), uint32_t(target.ColorToPixel(kBack)));  // outside the clip
}

TEST_P(TileRenderDepthTest, ZoomedSpacedCopiesAreStretched) {
  const int32_t bits = GetParam();
  TDIBX pic;
  MakePicture(pic, bits, 4, 2);
  TTileLook l;
  l.Rect = TRect{0, 0, 40, 4};
  l.ZoomX = l.ZoomY = 512;
  l.DistanceX = 8;  // pitch 16 on the screen, copies 8 wide
  TDIBX target;
  MakeTarget(target, bits, 40, 4);
  RenderTile(target, pic, nullptr, l);
  for (int32_t x = 0; x < 40; ++x) {
    const int32_t in_cell = x % 16;
    const uint32_t want = in_cell < 8 ? pic.GetPixel(in_cell / 2, 1) : uint32_t(target.ColorToPixel(kBack));
    ASSERT_EQ(target.GetPixel(x, 3), want) << x;
  }
}

}  // namespace
}  // namespace kova
