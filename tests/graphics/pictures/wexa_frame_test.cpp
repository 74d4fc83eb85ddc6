// What the image cache does with a loaded frame: masks from the colour key, trimming to the
// visible area with its rectangle lists, and copies into drawing surfaces of other depths.
#include <gtest/gtest.h>

#include "graphics/dibx.h"
#include "graphics/pictures/wexa_test_util.h"

namespace kova::test {
namespace {

constexpr uint32_t K = 0xFF00FF;

// A 24-bit frame loaded from a one-layer file.
void LoadFrame(TWexaFrameList& list, int32_t w, int32_t h, std::vector<uint32_t> pixels, int32_t key,
               std::vector<uint8_t> alpha = {}, int32_t bits = 24) {
  WexaFileDesc desc = OneLayer(106, w, h, bits, std::move(pixels));
  desc.frames[0].transparent_index = key;
  desc.frames[0].layers[0].alpha = std::move(alpha);
  desc.frames[0].layers[0].use_alpha = !desc.frames[0].layers[0].alpha.empty();
  desc.frames[0].rects1 = {{0, 0, 4, 3}, {0, 0, 1, 1}, {2, 1, 3, 2}};
  desc.frames[0].rects2 = {{3, 2, 4, 3}};
  LoadBytes(list, BuildWexa(desc));
}

TEST(WexaFrame, MakeMaskFromTheKey) {
  TWexaFrameList list;
  LoadFrame(list, 3, 1, {K, 1, K}, int32_t(K));
  list.MakeMasks();
  const TWexaFrame& f = list.GetFrame(0);
  ASSERT_TRUE(f.HasAlpha());
  EXPECT_EQ(PixelsOf(*f.Surface.Alpha()), (std::vector<uint32_t>{0, 255, 0}));

  // No key: all opaque; an existing alpha plane is left alone.
  TWexaFrameList plain, with_alpha;
  LoadFrame(plain, 2, 1, {K, K}, -1);
  plain.MakeMasks();
  EXPECT_EQ(PixelsOf(*plain.GetFrame(0).Surface.Alpha()), (std::vector<uint32_t>{255, 255}));
  LoadFrame(with_alpha, 2, 1, {K, K}, int32_t(K), {7, 9});
  with_alpha.MakeMasks();
  EXPECT_EQ(PixelsOf(*with_alpha.GetFrame(0).Surface.Alpha()), (std::vector<uint32_t>{7, 9}));
}

TEST(WexaFrame, OpaqueRectByKeyCutsTheRectangleLists) {
  // 4 x 3, visible pixels only at (1..2, 1..2).
  TWexaFrameList list;
  LoadFrame(list, 4, 3, {K, K, K, K, K, 1, 2, K, K, 3, 4, K}, int32_t(K));
  TWexaFrame& f = list.GetFrame(0);
  EXPECT_EQ(f.GetOpaqueRect(), (TRect{1, 1, 3, 3}));
  EXPECT_EQ(PixelsOf(f.Surface), (std::vector<uint32_t>{1, 2, 3, 4}));
  // (0,0,4,3) -> whole; (0,0,1,1) misses and goes; (2,1,3,2) -> (1,0,2,1); (3,2,4,3) misses.
  EXPECT_EQ(f.Rects1, (std::vector<TRect>{{0, 0, 2, 2}, {1, 0, 2, 1}}));
  EXPECT_TRUE(f.Rects2.empty());
}

TEST(WexaFrame, OpaqueRectByAlpha) {
  TWexaFrameList list;
  LoadFrame(list, 3, 2, {1, 2, 3, 4, 5, 6}, -1, {0, 0, 0, 0, 9, 0});
  TWexaFrame& f = list.GetFrame(0);
  EXPECT_EQ(f.GetOpaqueRect(), (TRect{1, 1, 2, 2}));
  EXPECT_EQ(PixelsOf(f.Surface), (std::vector<uint32_t>{5}));
  EXPECT_EQ(PixelsOf(*f.Surface.Alpha()), (std::vector<uint32_t>{9}));
}

TEST(WexaFrame, OpaqueRectEdgeCases) {
  // Neither alpha nor key: the bounds, nothing changes.
  TWexaFrameList plain;
  LoadFrame(plain, 4, 3, Pattern(4, 3), -1);
  EXPECT_EQ(plain.GetFrame(0).GetOpaqueRect(), (TRect{0, 0, 4, 3}));
  EXPECT_EQ(plain.GetFrame(0).Rects1.size(), 3u);
  // Everything keyed: the 1 x 1 corner.
  TWexaFrameList empty;
  LoadFrame(empty, 4, 3, std::vector<uint32_t>(12, K), int32_t(K));
  EXPECT_EQ(empty.GetFrame(0).GetOpaqueRect(), (TRect{0, 0, 1, 1}));
  EXPECT_EQ(empty.GetFrame(0).Surface.Width(), 1);
}

TEST(WexaFrame, CopyToDIBXAtTheTargetDepth) {
  TWexaFrameList list;
  LoadFrame(list, 2, 2, {0xFF0000, 0x00FF00, 0x0000FF, 0x123456}, -1);
  const TWexaFrame& f = list.GetFrame(0);

  TDIBX wide;
  wide.SetSize(1, 1, 32);
  f.CopyToDIBX(wide);
  EXPECT_EQ(wide.Width(), 2);
  EXPECT_EQ(wide.BitCount(), 32);
  EXPECT_EQ(wide.GetPixel(0, 0), 0xFF0000u);
  EXPECT_EQ(wide.GetPixel(1, 1), 0x123456u);
  EXPECT_EQ(wide.Rects1, f.Rects1);
  EXPECT_EQ(wide.Rects2, f.Rects2);

  TDIBX narrow;
  narrow.SetSize(1, 1, 16);
  f.CopyToDIBX(narrow);
  EXPECT_EQ(narrow.BitCount(), 16);
  EXPECT_EQ(narrow.GetPixel(0, 0), 0xF800u);
  EXPECT_EQ(narrow.GetPixel(1, 1), 0x11AAu);  // 0x12 >> 3, 0x34 >> 2, 0x56 >> 3
}

TEST(WexaFrame, ThirtyTwoBitFramesLoseTheirTopByte) {
  // Conversion to 32 bits sets the top byte; the copy into a surface clears it.
  WexaFileDesc desc = OneLayer(106, 2, 1, 24, {0x102030, 0x405060});
  TWexaFrameList list;
  list.TargetBitCount = 32;
  LoadBytes(list, BuildWexa(desc));
  EXPECT_EQ(list.GetFrame(0).Surface.GetPixel(0, 0), 0xFF102030u);
  TDIBX target;
  target.SetSize(1, 1, 32);
  list.GetFrame(0).CopyToDIBX(target);
  EXPECT_EQ(target.GetPixel(0, 0), 0x102030u);
  EXPECT_EQ(target.GetPixel(1, 0), 0x405060u);
}

// The key the image cache derives from the frame's colour reference matches the converted pixels.
TEST(WexaFrame, KeyStaysConsistentThroughTheCopy) {
  for (int32_t bits : {15, 16}) {
    const uint32_t key = bits == 15 ? 0x4A52 : 0x94B2;
    TWexaFrameList list;
    LoadFrame(list, 2, 1, {key, 0x0001}, int32_t(key), {}, bits);
    for (int32_t target_bits : {15, 16, 24, 32}) {
      TDIBX target;
      target.SetSize(1, 1, target_bits);
      list.GetFrame(0).CopyToDIBX(target);
      EXPECT_EQ(int64_t(target.GetPixel(0, 0)), int64_t(target.ColorToPixel(list.GetFrame(0).TransparentColor)))
          << bits << " -> " << target_bits;
    }
  }
}

TEST(WexaFrame, AlphaCopies) {
  TWexaFrameList list;
  LoadFrame(list, 3, 1, {1, 2, 3}, -1, {10, 20, 30});
  const TWexaFrame& f = list.GetFrame(0);
  TDIBX mask;
  f.CopyAlphaToDIBX(mask);
  EXPECT_EQ(mask.BitCount(), 8);
  EXPECT_EQ(mask.Width(), 3);
  EXPECT_EQ(mask.GetPixel(2, 0), 30u);
  TDIBSurface plane;
  f.CopyAlphaToSurface(plane);
  EXPECT_EQ(PixelsOf(plane), (std::vector<uint32_t>{10, 20, 30}));

  // Without alpha plane nothing changes.
  TWexaFrameList plain;
  LoadFrame(plain, 3, 1, {1, 2, 3}, -1);
  TDIBX untouched;
  untouched.SetSize(5, 5, 32);
  plain.GetFrame(0).CopyAlphaToDIBX(untouched);
  EXPECT_EQ(untouched.Width(), 5);
}

}  // namespace
}  // namespace kova::test
