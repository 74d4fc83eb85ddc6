// Screen pictures written as 8-bit RGB PNG files: narrow channels widen by bit replication.
#include <cstdio>
#include <string>

#include <gtest/gtest.h>

#include "core/stream.h"
#include "graphics/dibx.h"
#include "graphics/pictures/png_loader.h"
#include "graphics/pictures/png_saver.h"

namespace kova {
namespace {

TEST(PngSaverTest, WritesEveryDepthAsEightBitRgb) {
  const std::string path = ::testing::TempDir() + "kova_png_saver_test.png";
  for (int32_t bits : {15, 16, 32}) {
    SCOPED_TRACE(bits);
    TDIBX surface;
    surface.SetSize(3, 2, bits);
    surface.Fill(uint32_t(surface.ColorToPixel(0xFFFFFF)));
    surface.SetPixel(1, 0, uint32_t(surface.ColorToPixel(0x0000FF)));  // red
    surface.SetPixel(2, 1, uint32_t(surface.ColorToPixel(0x008400)));  // a green between steps
    ASSERT_TRUE(SaveSurfacePng(surface, path));

    TFileStream file(path, plat::TFileMode::Read);
    TDIBSurface read;
    ReadPng(file, read);
    ASSERT_EQ(read.Width(), 3);
    ASSERT_EQ(read.Height(), 2);
    EXPECT_EQ(read.GetPixel(0, 0), 0xFFFFFFu);  // full intensity stays 255 at every depth
    EXPECT_EQ(read.GetPixel(1, 0), 0xFF0000u);
    // 0x84 = 1000 0100: 5 bits keep 10000 -> 1000 0100; 6 bits keep 100001 -> 1000 0110.
    const uint32_t green = bits == 15 ? 0x84u : bits == 16 ? 0x86u : 0x84u;
    EXPECT_EQ(read.GetPixel(2, 1), green << 8);
  }
  std::remove(path.c_str());
}

TEST(PngSaverTest, EmptySurfaceOtherDepthOrUnwritablePathFails) {
  TDIBX empty;
  EXPECT_FALSE(SaveSurfacePng(empty, ::testing::TempDir() + "kova_empty.png"));
  TDIBX surface;
  surface.SetSize(2, 2, 32);
  EXPECT_FALSE(SaveSurfacePng(surface, "/nonexistent-folder/x.png"));
  TDIBX palette;
  palette.SetSize(2, 2, 8);
  EXPECT_FALSE(SaveSurfacePng(palette, ::testing::TempDir() + "kova_palette.png"));
}

}  // namespace
}  // namespace kova
