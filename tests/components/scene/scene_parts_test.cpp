// The scene parts' work surfaces and colour tables.
#include <gtest/gtest.h>

#include "components/scene/scene_parts.h"

namespace kova {
namespace {

TEST(ScenePartsTest, ColourTablesFollowTheScreenDepth) {
  TSceneParts early;  // before the screen exists: depth 15
  EXPECT_EQ(early.Grey16Table[255], 0x7FFFu);
  EXPECT_EQ(early.Pixel16Table[255], 0x7FFFu);  // the palette's white, 5-5-5
  EXPECT_EQ(early.Grey32Table[128], 0x808080u);

  THeadlessSceneHost host(kDisplay565);
  TSceneParts globals(TSceneInputs{.host = &host});
  EXPECT_EQ(globals.Grey16Table[255], 0xFFFFu);
  EXPECT_EQ(globals.Pixel16Table[255], 0xFFFFu);
  EXPECT_EQ(globals.Grey16Table[128], (16u << 11) | (32u << 5) | 16u);
}

TEST(ScenePartsTest, WorkSurfaces) {
  TSceneParts globals;
  TDIBX& pattern = globals.PatternSurface();
  EXPECT_EQ(pattern.BitCount(), 15);
  EXPECT_EQ(pattern.GetPixel(0, 0), 0x7FFFu);
  EXPECT_EQ(pattern.GetPixel(1, 0), 0u);
  EXPECT_EQ(pattern.GetPixel(1, 1), 0x7FFFu);
  TDIBX& backdrop = globals.BackdropSurface();
  EXPECT_EQ(backdrop.Width(), 32);
  EXPECT_EQ(backdrop.GetPixel(0, 0), uint32_t(backdrop.ColorToPixel(0xC0C0C0)));
  EXPECT_EQ(backdrop.GetPixel(20, 0), uint32_t(backdrop.ColorToPixel(0x808080)));
  EXPECT_EQ(backdrop.GetPixel(31, 31), uint32_t(backdrop.ColorToPixel(0xC0C0C0)));
  EXPECT_EQ(globals.Root().PatternSurface(), &pattern);
}

}  // namespace
}  // namespace kova
