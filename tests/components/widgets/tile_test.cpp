// The tile component on a 32-bit headless screen: its picture repeated over its own size from its
// own position (the offset does not move it), scrolled; an animated tile loops; only layered
// pictures and motions load; the save form. How each drawing path puts its pixels is the tile
// drawing's test.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "components/widgets/kova_tile.h"
#include "core/stream.h"
#include "core/vocabulary.h"
#include "support/picture_fixtures.h"
#include "support/scene_driver.h"

namespace kova {
namespace {

using test::LayeredPicture;
using test::Solid;

// A 4 x 2 picture whose red channel tells the pixel: 0x10 * (1 + x + 4 * y).
std::vector<uint32_t> Numbered() {
  std::vector<uint32_t> px;
  for (int32_t i = 0; i < 8; ++i) px.push_back(uint32_t(0x10 * (1 + i)) << 16);
  return px;
}
uint32_t Src(int32_t x, int32_t y) { return uint32_t(0x10 * (1 + x + 4 * y)); }
int32_t Mod(int32_t v, int32_t m) { return ((v % m) + m) % m; }

class TileTest : public ::testing::Test {
 protected:
  TileTest() : scene(test::SceneWiring{.pictures = &files}) {
    scene.root.SetColor(0);
    files.Add("t.wxa", LayeredPicture(4, 2, {{Numbered()}}));
    files.Add("anim.wxa", LayeredPicture(2, 2, {{Solid(2, 2, 0x100000), 30}, {Solid(2, 2, 0x200000), 30}}));
  }
  TKovaTile* Tile(const std::string& source, TRect r) {
    auto* t = static_cast<TKovaTile*>(scene.root.CreateComponent(KT_TILE));
    t->SetName("tile");
    t->SetParent(scene.root.ActiveBase());
    t->SetSource(source);
    t->SetBounds(r.Left, r.Top, r.Width(), r.Height());
    return t;
  }
  uint32_t Red(int32_t x, int32_t y) { return scene.Pixel(x, y) >> 16 & 0xFF; }

  test::SceneDriver scene;
  test::MemoryPictures files;
};

TEST_F(TileTest, RepeatsItsPictureOverItsOwnSizeScrolledAndIgnoresTheOffset) {
  TKovaTile* t = Tile("t.wxa", TRect{3, 5, 3 + 11, 5 + 7});
  t->SetScrollX(-5);
  t->SetScrollY(3);
  t->SetOffsetX(20);  // a tile is not moved by its drawing offset
  t->SetOffsetY(20);
  t->SetAngle(64);    // nor turned
  scene.Frame();
  EXPECT_EQ(t->GetWidth(), 11);  // its own size, not the picture's
  EXPECT_EQ(t->GetBoundsRect(), (TRect{3, 5, 14, 12}));
  for (int32_t y = 0; y < 7; ++y) {
    for (int32_t x = 0; x < 11; ++x) {
      ASSERT_EQ(Red(3 + x, 5 + y), Src(Mod(x - 5, 4), Mod(y + 3, 2))) << x << "," << y;
    }
  }
  EXPECT_EQ(Red(2, 5), 0u);
  EXPECT_EQ(Red(14, 5), 0u);
  EXPECT_EQ(Red(3, 12), 0u);
}

TEST_F(TileTest, AnAnimatedTileLoops) {
  TKovaTile* t = Tile("anim.wxa", TRect{0, 0, 6, 4});
  EXPECT_TRUE(t->GetRepeat());
  std::vector<uint32_t> seen;
  for (int i = 0; i < 8; ++i) {
    scene.Frame(20);
    seen.push_back(Red(5, 3));
  }
  // Frames of 30 ms seen at 20 ms steps: the two pictures take turns and never stop.
  EXPECT_EQ(std::count(seen.begin(), seen.end(), 0x10u) + std::count(seen.begin(), seen.end(), 0x20u), 8);
  EXPECT_EQ(seen.back() == 0x10u ? 0 : 1, t->GetIndex());
  EXPECT_GE(std::count(seen.begin() + 4, seen.end(), 0x10u), 1);
  EXPECT_GE(std::count(seen.begin() + 4, seen.end(), 0x20u), 1);
}

TEST_F(TileTest, OnlyLayeredPicturesAndMotionsLoad) {
  files.Add("t.png", test::RgbPng(2, 2, Solid(2, 2, 0xFF0000)));
  TKovaTile* t = Tile("t.png", TRect{0, 0, 8, 8});
  EXPECT_EQ(t->GetCount(), 0);
  EXPECT_EQ(files.Reads("t.png"), 0);
  scene.Frame();
  EXPECT_EQ(Red(1, 1), 0u);
  t->SetSource("t.wxa");
  EXPECT_EQ(t->GetCount(), 1);
  EXPECT_EQ(t->GetIndex(), 0);
  t->SetSource("");
  EXPECT_EQ(t->GetCount(), 0);
  scene.Frame();
  EXPECT_EQ(Red(1, 1), 0u);  // the old picture is gone from the screen too
}

TEST_F(TileTest, TheSaveFormKeepsScrollDistanceAndSource) {
  TKovaTile* t = Tile("anim.wxa", TRect{2, 1, 40, 30});
  t->SetScrollX(-7);
  t->SetScrollY(9);
  t->SetDistanceX(5);
  t->SetDistanceY(-3);
  t->SetOnIdle("idle");
  t->SetAlpha(200);
  t->SetIndex(1);
  TMemoryStream saved;
  scene.root.SaveToStream(saved);

  test::SceneDriver other(test::SceneWiring{.pictures = &files});
  saved.SetPosition(0);
  other.root.LoadFromStream(saved, 129);
  auto* back = dynamic_cast<TKovaTile*>(other.root.FindComponent("tile"));
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->GetSource(), "anim.wxa");
  EXPECT_EQ(back->GetIndex(), 1);
  EXPECT_EQ(back->GetScrollX(), -7);
  EXPECT_EQ(back->GetScrollY(), 9);
  EXPECT_EQ(back->GetDistanceX(), 5);
  EXPECT_EQ(back->GetDistanceY(), -3);
  EXPECT_EQ(back->GetOnIdle(), "idle");
  EXPECT_EQ(back->GetWidth(), 38);
  TMemoryStream again;
  other.root.SaveToStream(again);
  EXPECT_TRUE(std::ranges::equal(again.Bytes(), saved.Bytes()));
}

}  // namespace
}  // namespace kova
