// Scene drawing into the display-format back buffer at 15, 16 and 32 bits: dirty rectangles,
// the layer colour, nested and clipped children, the inactive layer's own surface, and the flip.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "components/scene/kova_film_layers.h"
#include "support/scene_driver.h"

namespace kova {
namespace {

using test::SceneDriver;
using test::StubBox;

class SceneDrawTest : public ::testing::TestWithParam<TDisplayFormat> {};

INSTANTIATE_TEST_SUITE_P(Depths, SceneDrawTest, ::testing::Values(kDisplay8888, kDisplay565, kDisplay555),
                         [](const auto& info) { return std::to_string(info.param.BitCount) + "_" +
                                                       std::to_string(info.param.GreenMask); });

constexpr int32_t kRed = 0x0000FF, kGreen = 0x00FF00, kBlue = 0xFF0000, kGrey = 0x808080;

TEST_P(SceneDrawTest, LayersDrawOnlyInsideDirtyRectangles) {
  SceneDriver scene(GetParam());
  EXPECT_EQ(scene.root.Bases(0)->Surface()->BitCount(), GetParam() == kDisplay555 ? 15 : GetParam().BitCount);
  scene.Frame();  // nothing dirty yet: the back buffer is untouched
  EXPECT_EQ(scene.Pixel(0, 0), 0u);
  scene.root.SetColor(kGrey);  // a new colour repaints the layer
  scene.Frame();
  EXPECT_EQ(scene.Pixel(63, 47), scene.PixelOf(kGrey));
  scene.host.Screen().SetPixel(60, 44, scene.PixelOf(kBlue));

  StubBox* outer = scene.Box("outer", TRect{8, 8, 40, 40}, nullptr, kRed);
  StubBox* inner = scene.Box("inner", TRect{4, 4, 12, 12}, outer, kGreen);  // at (12, 12)-(20, 20)
  scene.Frame();
  EXPECT_EQ(scene.Pixel(8, 8), scene.PixelOf(kRed));
  EXPECT_EQ(scene.Pixel(12, 12), scene.PixelOf(kGreen));
  EXPECT_EQ(scene.Pixel(19, 19), scene.PixelOf(kGreen));
  EXPECT_EQ(scene.Pixel(20, 20), scene.PixelOf(kRed));
  EXPECT_EQ(scene.Pixel(60, 44), scene.PixelOf(kBlue));  // outside every dirty rectangle

  // A changed child redraws its own area only.
  scene.host.Screen().SetPixel(10, 10, scene.PixelOf(kBlue));
  inner->SetColor(kBlue);
  scene.Frame();
  EXPECT_EQ(scene.Pixel(15, 15), scene.PixelOf(kBlue));
  EXPECT_EQ(scene.Pixel(10, 10), scene.PixelOf(kBlue));

  // Moving the box clears its old place with the layer colour.
  outer->SetLeft(30);
  scene.Frame();
  EXPECT_EQ(scene.Pixel(8, 8), scene.PixelOf(kGrey));
  EXPECT_EQ(scene.Pixel(30, 8), scene.PixelOf(kRed));
  EXPECT_EQ(scene.Pixel(34, 12), scene.PixelOf(kBlue));
  EXPECT_EQ(scene.Pixel(34, 34), scene.PixelOf(kRed));
}

TEST_P(SceneDrawTest, ClipRectanglesCropWhatChildrenDraw) {
  SceneDriver scene(GetParam());
  StubBox* outer = scene.Box("outer", TRect{0, 0, 20, 20}, nullptr, kRed);
  StubBox* child = scene.Box("child", TRect{10, 0, 40, 20}, outer, kGreen);  // reaches past outer
  child->SetClipLeft(2);
  child->SetClipTop(0);
  child->SetClipWidth(4);
  child->SetClipHeight(20);
  scene.root.ActiveBase()->InvalidateAll();
  scene.Frame();
  EXPECT_EQ(scene.Pixel(11, 5), scene.PixelOf(kRed));    // left of the clip
  EXPECT_EQ(scene.Pixel(12, 5), scene.PixelOf(kGreen));  // inside
  EXPECT_EQ(scene.Pixel(15, 5), scene.PixelOf(kGreen));
  EXPECT_EQ(scene.Pixel(16, 5), scene.PixelOf(kRed));    // right of the clip
  EXPECT_EQ(scene.Pixel(25, 5), 0u);                     // outside the parent (layer colour 0)
}

TEST_P(SceneDrawTest, TheInactiveLayerDrawsIntoItsOwnSurfaceUntilFlipped) {
  SceneDriver scene(GetParam());
  scene.Box("hidden", TRect{0, 0, 10, 10}, scene.root.Bases(1), kRed);
  scene.Frame();
  EXPECT_EQ(scene.Pixel(5, 5), 0u);
  TCustomDIBX* own = scene.root.Bases(1)->Surface();
  EXPECT_EQ(own->GetPixel(5, 5), uint32_t(own->ColorToPixel(kRed)));
  scene.root.Flip(1, WP_NONE, 0, 0, true, false);
  scene.Frame();
  EXPECT_EQ(scene.Pixel(5, 5), scene.PixelOf(kRed));
  EXPECT_EQ(scene.Pixel(30, 30), 0u);  // the new active layer's colour (0) everywhere else
}

TEST(SceneSizeTest, ALayerSizeNoScreenHasKeepsItsSurfaces) {
  SceneDriver scene;
  TKovaBase* layer = scene.root.ActiveBase();
  layer->SetWidth(1000000);
  layer->SetHeight(1000000);
  EXPECT_EQ(layer->Surface()->Width(), 64);
  scene.Box("b", TRect{0, 0, 8, 8}, nullptr, kRed);
  scene.Frame();
  EXPECT_EQ(scene.Pixel(1, 1), scene.PixelOf(kRed));
}

TEST(SceneWithoutScreenTest, DrawsNothing) {
  TKovaBaseList root;  // no host: no back buffer
  root.SetWidth(16);
  root.SetHeight(16);
  auto* box = new test::StubBox(&root);
  box->SetParent(root.ActiveBase());
  box->SetBounds(0, 0, 4, 4);
  root.Draw();
  EXPECT_EQ(root.ActiveBase()->GetTargetDIB(), nullptr);
  EXPECT_EQ(root.Bases(1)->GetTargetDIB()->BitCount(), 15);
}

// A transition that records what it was made with.
struct RecordedWipe : ISceneWipe {
  int32_t length = 0, position = -1, steps = 0;
  int32_t GetLength() const override { return length; }
  void SetPosition(int32_t p) override { position = p; }
  int32_t GetParam(int32_t) const override { return 0; }
  void SetParam(int32_t, int32_t) override {}
  void SetMaskName(std::string) override {}
  void Prepare() override {}
  bool Step() override {
    ++steps;
    return false;
  }
  TRect UpdateArea() const override { return steps ? TRect{0, 0, 1, 1} : TRect{}; }
};

class WipeHost : public THeadlessSceneHost, public ISceneMakers {
 public:
  std::unique_ptr<ISceneFilm> LoadFilm(const std::string&, TKovaControl&) override { return nullptr; }
  std::unique_ptr<ISceneWipe> CreateWipe(int32_t kind, TCustomDIBX& dest, TCustomDIBX& from, TCustomDIBX& to,
                                         int32_t length, bool) override {
    made_kind = kind;
    made_dest = &dest;
    made_from = &from;
    made_to = &to;
    auto wipe = std::make_unique<RecordedWipe>();
    wipe->length = length;
    last = wipe.get();
    return wipe;
  }
  int32_t made_kind = 0;
  TCustomDIBX *made_dest = nullptr, *made_from = nullptr, *made_to = nullptr;
  RecordedWipe* last = nullptr;
};

TEST(FlipTest, TransitionGetsTheScreenAndBothLayersAndFocusMoves) {
  WipeHost host;
  host.SetScreenSize(32, 32);
  TKovaBaseList root(TSceneRootParts{.host = &host, .makers = &host});
  test::RegisterStubKinds(root);
  root.SetWidth(32);
  root.SetHeight(32);
  auto* box = static_cast<StubBox*>(root.CreateComponent(KT_BOX));
  box->SetParent(root.Bases(0));
  box->SetBounds(0, 0, 8, 8);
  box->SetColor(kRed);
  box->SetHandleKey(true);
  root.Process();
  root.Draw();
  ASSERT_EQ(root.FocusControl(), box);

  ISceneWipe* wipe = root.Flip(1, WP_FADE, 500, 100, true, false);
  ASSERT_NE(wipe, nullptr);
  EXPECT_EQ(host.made_kind, WP_FADE);
  EXPECT_EQ(host.made_dest, &host.Screen());
  // The layer made active is the picture at position 0; the other one is the end picture.
  EXPECT_EQ(host.made_from, root.Bases(1)->Surface());
  EXPECT_EQ(host.made_to, root.Bases(0)->Surface());
  EXPECT_EQ(host.last->position, 100);
  EXPECT_EQ(root.GetWipeLength(), 500);
  // The starting layer holds the picture on the screen.
  EXPECT_EQ(root.Bases(1)->Surface()->GetPixel(2, 2), uint32_t(host.Screen().ColorToPixel(kRed)));
  // While the transition runs both layers draw into their own surfaces.
  EXPECT_EQ(root.ActiveBase()->GetTargetDIB(), root.Bases(1)->Surface());
  EXPECT_EQ(root.FocusControl(), nullptr);
  EXPECT_TRUE(root.FocusRecalcRequested());
  root.Draw();
  EXPECT_EQ(host.last->steps, 1);
  EXPECT_EQ(root.TransitionArea(), (TRect{0, 0, 1, 1}));
  // Flipping back without a kind ends it.
  EXPECT_EQ(root.Flip(0, WP_NONE, 0, 0, true, false), nullptr);
  EXPECT_EQ(root.ActiveBase()->GetTargetDIB(), &host.Screen());
}

TEST(FilmLayerTest, AFilmSceneDrawsAtItsHostAndDirtiesTheHostsLayer) {
  SceneDriver scene;
  StubBox* host = scene.Box("cinema", TRect{20, 10, 40, 30}, nullptr, kRed);
  scene.Frame();
  TKovaBaseListCinema film(TSceneRootParts{.host = &scene.host}, host);
  test::RegisterStubKinds(film);
  film.SetWidth(20);
  film.SetHeight(20);
  EXPECT_EQ(film.DrawTarget(), film.RootSurface());
  auto* sprite = static_cast<StubBox*>(film.CreateComponent(KT_BOX));
  sprite->SetParent(film.Bases(0));
  sprite->SetBounds(2, 3, 4, 4);
  // The sprite sits at the host's screen place, and what it invalidates reaches the screen layer.
  EXPECT_EQ(sprite->GetBoundsRect(), (TRect{22, 13, 26, 17}));
  EXPECT_EQ(film.Bases(0)->GetTargetDIB(), &scene.host.Screen());
  scene.root.EndFrame();
  sprite->SetColor(kGreen);
  ASSERT_EQ(scene.root.ActiveBase()->DirtyList().Count(), 1);
  EXPECT_EQ(scene.root.ActiveBase()->DirtyList()[0], (TRect{22, 13, 26, 17}));
  film.Bases(0)->Draw();
  EXPECT_EQ(scene.Pixel(23, 14), scene.PixelOf(kGreen));
}

}  // namespace
}  // namespace kova
