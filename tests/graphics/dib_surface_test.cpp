#include "graphics/dib_surface.h"

#include <gtest/gtest.h>

#include <vector>

namespace kova {
namespace {

TEST(DibSurface, DepthsAndPackRgb) {
  TDIBSurface s;
  s.SetSize(2, 2, 15);
  EXPECT_EQ(s.StorageBitCount(), 15);
  EXPECT_EQ(s.BitCount(), 16);
  EXPECT_EQ(s.PackRGB(255, 128, 8), 0x7E01u);
  s.SetSize(2, 2, 16);
  EXPECT_EQ(s.StorageBitCount(), 16);
  EXPECT_EQ(s.PackRGB(255, 128, 8), 0xFC01u);
  s.SetSize(2, 2, 32);
  EXPECT_EQ(s.PackRGB(255, 128, 8), 0xFF8008u);
  s.SetSize(2, 2, 8);  // grey table: the nearest grey by channel distance
  EXPECT_EQ(s.PackRGB(30, 40, 50), 40u);
}

TEST(DibSurface, AlphaPlaneFollowsTheImage) {
  TDIBSurface s;
  s.SetSize(3, 2, 32);
  EXPECT_EQ(s.Alpha(), nullptr);
  s.NeedAlpha();
  ASSERT_NE(s.Alpha(), nullptr);
  EXPECT_EQ(s.Alpha()->BitCount(), 8);
  s.FillAlpha();
  EXPECT_EQ(s.Alpha()->GetPixel(2, 1), 255u);
  s.SetSize(5, 4, 32);
  EXPECT_EQ(s.Alpha()->Width(), 5);
  EXPECT_EQ(s.Alpha()->Height(), 4);

  TDIB mask;
  mask.SetSize(5, 4, 8);
  mask.SetPixel(4, 3, 77);
  s.SetAlphaFrom(mask);
  EXPECT_EQ(s.Alpha()->GetPixel(4, 3), 77u);

  TDIBSurface part;
  part.SetSize(2, 2, 32);
  part.NeedAlpha();
  part.CopyAlphaRect(s, TRect{3, 2, 5, 4});
  EXPECT_EQ(part.Alpha()->GetPixel(1, 1), 77u);
  s.Clear();
  EXPECT_EQ(s.Alpha(), nullptr);
}

TEST(DibSurface, FillRectClampsAndMasks) {
  TDIBSurface s;
  s.SetSize(4, 3, 15);
  s.FillRect(TRect{-2, 1, 2, 9}, 0xFFFF);
  EXPECT_EQ(s.GetPixel(0, 1), 0x7FFFu);
  EXPECT_EQ(s.GetPixel(1, 2), 0x7FFFu);
  EXPECT_EQ(s.GetPixel(2, 1), 0u);
  EXPECT_EQ(s.GetPixel(0, 0), 0u);
  TDIBSurface four;
  four.SetSize(3, 1, 4);
  four.FillRect(TRect{1, 0, 3, 1}, 0x1E);
  EXPECT_EQ(four.GetPixel(0, 0), 0u);
  EXPECT_EQ(four.GetPixel(2, 0), 14u);
  TDIBSurface deep;
  deep.SetSize(2, 1, 24);
  deep.FillRect(TRect{1, 0, 2, 1}, 0x123456);
  EXPECT_EQ(deep.GetPixel(1, 0), 0x123456u);
}

TEST(DibSurface, ContentRectTrimAndCrop) {
  TDIBSurface s;
  s.SetSize(6, 5, 8);
  s.ColorTable()[3] = {9, 9, 9, 0};
  s.FillRect(TRect{0, 0, 6, 5}, 3);
  EXPECT_EQ(s.ContentRect(3), (TRect{0, 0, 0, 0}));
  EXPECT_EQ(s.ContentRect(-1), (TRect{0, 0, 6, 5}));
  s.SetPixel(1, 2, 7);
  s.SetPixel(4, 3, 8);
  EXPECT_EQ(s.ContentRect(3), (TRect{1, 2, 5, 4}));
  s.NeedAlpha();
  s.Alpha()->SetPixel(4, 3, 200);
  s.Trim(3);
  EXPECT_EQ(s.Width(), 4);
  EXPECT_EQ(s.Height(), 2);
  EXPECT_EQ(s.GetPixel(0, 0), 7u);
  EXPECT_EQ(s.GetPixel(3, 1), 8u);
  EXPECT_EQ(s.Alpha()->GetPixel(3, 1), 200u);
  EXPECT_EQ(s.ColorTable()[3], (TRGBQuad{9, 9, 9, 0}));  // own table kept
  s.Trim(8);                                                 // nothing to cut away: unchanged
  EXPECT_EQ(s.Width(), 4);

  TDIBSurface flat;
  flat.SetSize(5, 5, 32);
  flat.Trim(0);
  EXPECT_EQ(flat.Width(), 1);
  EXPECT_EQ(flat.Height(), 1);
}

TEST(DibSurface, CopyRectAndAssignSurface) {
  TDIBSurface src;
  src.SetSize(4, 4, 16);
  src.SetPixel(2, 3, 0xBEEF);
  src.NeedAlpha();
  src.Alpha()->SetPixel(2, 3, 99);
  TDIBSurface dst;
  dst.SetSize(1, 1, 32);
  dst.CopyRect(src, TRect{1, 2, 10, 10}, true);  // cut to the source
  EXPECT_EQ(dst.StorageBitCount(), 16);
  EXPECT_EQ(dst.Width(), 3);
  EXPECT_EQ(dst.Height(), 2);
  EXPECT_EQ(dst.GetPixel(1, 1), 0xBEEFu);
  EXPECT_EQ(dst.Alpha()->GetPixel(1, 1), 99u);

  TDIBSurface copy;
  copy.AssignSurface(src);
  src.Alpha()->SetPixel(2, 3, 1);
  EXPECT_EQ(copy.Alpha()->GetPixel(2, 3), 99u);
  EXPECT_EQ(copy.GetPixel(2, 3), 0xBEEFu);
  TDIBSurface plain;
  plain.SetSize(1, 1, 16);
  copy.AssignSurface(plain);
  EXPECT_EQ(copy.Alpha(), nullptr);
}

TEST(DibSurface, StretchToDcConverts) {
  TDIBSurface s;
  s.SetSize(2, 2, 16);
  s.SetPixel(0, 0, 0xF800);
  s.SetPixel(1, 0, 0x001F);
  s.SetPixel(0, 1, 0x07E0);
  std::vector<uint32_t> out(16, 0xDEADBEEF);
  TPixelView dc{reinterpret_cast<uint8_t*>(out.data()), 16, 4, 4, 32};
  s.StretchToDC(dc, 0, 0, 4, 2, 0, 0, 2, 1);  // the top row, doubled
  EXPECT_EQ(out[0], 0xFF0000u);
  EXPECT_EQ(out[1], 0xFF0000u);
  EXPECT_EQ(out[2], 0x0000FFu);
  EXPECT_EQ(out[7], 0x0000FFu);
  EXPECT_EQ(out[8], 0xDEADBEEFu);
  s.StretchToDC(dc, 0, 3, 1, 1, 0, 1, 1, 1);
  EXPECT_EQ(out[12], 0x00FF00u);
}

}  // namespace
}  // namespace kova
