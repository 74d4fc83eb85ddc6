// The memory surface's formats and life cycle, the clip rules, Assign and SaveToFile.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include <unistd.h>

#include "dibx_test_util.h"
#include "graphics/dib.h"
#include "graphics/dibx.h"

namespace kova {
namespace {

using test::Make;
using test::MakeRow;
using test::RowOf;

TEST(DibxMemory, StartsEmptyOverAOnePixelBitmap) {
  TDIBX s;
  EXPECT_TRUE(s.IsEmpty());
  EXPECT_EQ(s.Width(), 0);
  EXPECT_EQ(s.TransparentColor, -1);
  EXPECT_EQ(s.ClipRect.Right, 0);
  EXPECT_EQ(s.Surface().Width(), 1);
  EXPECT_EQ(s.BitCount(), 15);
  // Drawing into an empty surface draws nothing and touches nothing.
  s.FillRect(TRect{0, 0, 1, 1}, 0x7FFF);
  EXPECT_EQ(s.Surface().GetPixel(0, 0), 0u);
}

TEST(DibxMemory, FormatsByDepth) {
  struct Case {
    int32_t bits, storage;
    uint32_t r, g, b;
    int32_t red_shift, green_shift;
    ptrdiff_t pitch;  // of a 640-wide surface
    int32_t red_pixel;  // ColorToPixel of pure red
  };
  const Case cases[] = {
      {8, 8, 0xFF0000, 0xFF00, 0xFF, 16, 8, -640, 0xFF},
      {15, 16, 0x7C00, 0x3E0, 0x1F, 10, 5, -1280, 0x7C00},
      {16, 16, 0xF800, 0x7E0, 0x1F, 11, 5, -1280, 0xF800},
      {24, 24, 0xFF0000, 0xFF00, 0xFF, 16, 8, -1920, 0xFF0000},
      {32, 32, 0xFF0000, 0xFF00, 0xFF, 16, 8, -2560, 0xFF0000},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bits);
    TDIBX s;
    s.SetSize(640, 480, c.bits);
    EXPECT_EQ(s.BitCount(), c.bits);
    EXPECT_EQ(s.StorageBitCount(), c.storage);
    EXPECT_EQ(s.RedMask(), c.r);
    EXPECT_EQ(s.GreenMask(), c.g);
    EXPECT_EQ(s.BlueMask(), c.b);
    EXPECT_EQ(s.RedShift(), c.red_shift);
    EXPECT_EQ(s.GreenShift(), c.green_shift);
    EXPECT_EQ(s.BlueShift(), 0);
    EXPECT_EQ(s.Pitch(), c.pitch);
    EXPECT_EQ(s.ColorToPixel(0x0000FF), c.red_pixel);
    EXPECT_EQ(s.ColorToPixel(-5), -1);
    EXPECT_EQ(s.BytesPerPixel(), (c.bits + 7) / 8);
  }
}

TEST(DibxMemory, ColorToPixelTruncatesChannels) {
  TDIBX s;
  s.SetSize(1, 1, 16);
  EXPECT_EQ(s.ColorToPixel(0x0880FF), 0xFC01);  // red 255, green 128, blue 8
  s.SetSize(1, 1, 15);
  EXPECT_EQ(s.ColorToPixel(0x0880FF), 0x7E01);
  s.SetSize(1, 1, 32);
  EXPECT_EQ(s.ColorToPixel(0x123456), 0x563412);
}

TEST(DibxMemory, SetBitCountConvertsAndKeeps555) {
  TDIBX s;
  s.SetSize(2, 1, 16);
  s.SetPixel(0, 0, 0xF800);
  s.SetBitCount(15);
  EXPECT_EQ(s.BitCount(), 15);
  EXPECT_EQ(s.GetPixel(0, 0), 0x7C00u);
  s.SetBitCount(32);
  EXPECT_EQ(s.GetPixel(0, 0), 0xFF0000u);
}

TEST(DibxMemory, FillCoversTheSurfaceByDepth) {
  for (int32_t bits : {8, 15, 16, 24, 32}) {
    SCOPED_TRACE(bits);
    TDIBX s;
    s.SetSize(5, 3, bits);
    s.Fill(bits == 8 ? 0x42 : 0x1234);
    for (uint32_t p : test::PixelsOf(s)) EXPECT_EQ(p, bits == 8 ? 0x42u : 0x1234u);
  }
}

TEST(DibxMemory, ClearLeavesAnEightByEightBitmap) {
  TDIBX s;
  s.SetSize(20, 10, 32);
  s.Clear();
  EXPECT_TRUE(s.IsEmpty());
  EXPECT_EQ(s.Surface().Width(), 8);
  EXPECT_EQ(s.Surface().Height(), 8);
  EXPECT_EQ(s.BitCount(), 32);
}

TEST(DibxMemory, AssignSurfaceSendsTheAlphaPlaneToItsTarget) {
  TDIBSurface src;
  src.SetSize(3, 2, 24);
  src.SetPixel(1, 1, 0x112233);
  src.NeedAlpha();
  src.Alpha()->SetPixel(2, 0, 200);
  TDIBX colour, alpha;
  colour.AssignSurface(src, nullptr);
  EXPECT_EQ(colour.Width(), 3);
  EXPECT_EQ(colour.Height(), 2);
  EXPECT_EQ(colour.BitCount(), 24);
  EXPECT_EQ(colour.GetPixel(1, 1), 0x112233u);
  EXPECT_EQ(colour.Surface().Alpha(), nullptr);
  colour.AssignSurface(src, &alpha);
  EXPECT_EQ(alpha.BitCount(), 8);
  EXPECT_EQ(alpha.GetPixel(2, 0), 200u);
}

TEST(DibxClip, AddClipRectClampsAndGrowsToTheUnionBox) {
  TDIBX s;
  s.SetSize(100, 50, 16);
  s.AddClipRect(TRect{200, 200, 300, 300});  // wholly outside
  EXPECT_EQ(s.ClipRect.Right, 0);
  s.AddClipRect(TRect{0, 0, 10, 10});
  s.AddClipRect(TRect{20, 20, 30, 30});
  EXPECT_EQ(s.ClipRect, (TRect{0, 0, 30, 30}));
  s.AddClipRect(TRect{-5, 40, 500, 90});
  EXPECT_EQ(s.ClipRect, (TRect{0, 0, 100, 50}));
  s.ResetClipRect();
  EXPECT_EQ(s.GetClipRect(), (TRect{0, 0, 100, 50}));
}

TEST(DibxClip, ClipBlitMovesTheOppositeSourceEndWhenMirrored) {
  TDIBX s;
  s.SetSize(20, 20, 16);
  s.AddClipRect(TRect{5, 5, 15, 15});
  struct Case {
    int32_t x, y;
    bool mx, my;
    TRect src, want_dst, want_src;
  };
  const Case cases[] = {
      {0, 5, false, false, {0, 0, 10, 4}, {5, 5, 10, 9}, {5, 0, 10, 4}},
      {0, 5, true, false, {0, 0, 10, 4}, {5, 5, 10, 9}, {0, 0, 5, 4}},
      {10, 0, false, true, {0, 0, 4, 10}, {10, 5, 14, 10}, {0, 0, 4, 5}},
      {12, 12, false, false, {0, 0, 10, 10}, {12, 12, 15, 15}, {0, 0, 3, 3}},
      {12, 12, true, true, {0, 0, 10, 10}, {12, 12, 15, 15}, {7, 7, 10, 10}},
  };
  for (const Case& c : cases) {
    TRect dst{c.x, c.y, 0, 0}, src = c.src;
    ASSERT_TRUE(s.ClipBlit(dst, src, c.mx, c.my));
    EXPECT_EQ(dst, c.want_dst);
    EXPECT_EQ(src, c.want_src);
  }
  TRect dst{16, 0, 0, 0}, src{0, 0, 4, 4};
  EXPECT_FALSE(s.ClipBlit(dst, src, false, false));
}

TEST(DibxClip, AnUnclampedClipRectNeverLetsDrawingLeaveTheSurface) {
  TDIBX s;
  Make(s, 4, 4, 32);
  s.SetClipRect(TRect{-10, -10, 100, 100});
  s.FillRect(TRect{-50, -50, 50, 50}, 0x123456);  // must stay inside (checked by the sanitizers)
  for (uint32_t p : test::PixelsOf(s)) EXPECT_EQ(p, 0x123456u);
  TDIBX src;
  Make(src, 8, 8, 32, 7);
  s.Draw(-2, -2, src, src.BoundsRect(), false, false, false);
  EXPECT_EQ(s.GetPixel(3, 3), 7u);
}

TEST(DibxClip, ClipPatternKeepsThePhaseOfWhatWasCut) {
  TDIBX s;
  s.SetSize(20, 20, 16);
  s.AddClipRect(TRect{3, 4, 20, 20});
  TRect r{0, 0, 10, 10};
  int32_t ox = 1, oy = 2;
  ASSERT_TRUE(s.ClipPattern(r, ox, oy));
  EXPECT_EQ(r, (TRect{3, 4, 10, 10}));
  EXPECT_EQ(ox, 4);
  EXPECT_EQ(oy, 6);
  TRect empty{5, 5, 5, 9};
  EXPECT_FALSE(s.ClipPattern(empty, ox, oy));
}

TEST(DibxAssign, SameShapeCopiesMemoryOtherwiseDrawsTheOverlap) {
  TDIBX a, b;
  Make(a, 3, 2, 32, 0x010203);
  a.TransparentColor = 0x010203;
  Make(b, 3, 2, 32, 0);
  b.TransparentColor = 5;
  b.Assign(a);  // the key is not a's to give, and Draw without key copies all
  EXPECT_EQ(test::PixelsOf(b), test::PixelsOf(a));
  EXPECT_EQ(b.TransparentColor, 5);

  TDIBX wide;
  Make(wide, 5, 1, 32, 9);
  wide.AddClipRect(TRect{0, 0, 2, 1});
  wide.Assign(a);  // different pitch: Draw, clipped by the destination's clip
  EXPECT_EQ(RowOf(wide), (std::vector<uint32_t>{0x010203, 0x010203, 9, 9, 9}));
}

TEST(DibxAssign, CopyFromTakesSizeDepthAndKey) {
  TDIBX a, b;
  MakeRow(a, 16, {1, 2, 3});
  a.TransparentColor = 2;
  b.CopyFrom(a);
  EXPECT_EQ(b.BitCount(), 16);
  EXPECT_EQ(RowOf(b), (std::vector<uint32_t>{1, 2, 3}));
  EXPECT_EQ(b.TransparentColor, 2);
}

TEST(DibxSaveToFile, WritesBmpOnlyForTheBmpExtension) {
  const auto dir = std::filesystem::temp_directory_path() / ("dibx_save_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  TDIBX s;
  MakeRow(s, 16, {0xF800, 0x07E0, 0x001F});
  const std::string png = (dir / "out.png").string();
  s.SaveToFile(png);
  EXPECT_FALSE(std::filesystem::exists(png));
  const std::string bmp = (dir / "out.BMP").string();
  s.SaveToFile(bmp);
  TDIB back;
  back.LoadFromFile(bmp);
  EXPECT_EQ(back.BitCount(), 24);
  EXPECT_EQ(back.GetPixel(0, 0), 0xFF0000u);
  EXPECT_EQ(back.GetPixel(1, 0), 0x00FF00u);
  EXPECT_EQ(back.GetPixel(2, 0), 0x0000FFu);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace kova
