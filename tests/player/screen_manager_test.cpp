// The screen manager: which display modes a game sees and which it picks for full screen, the back
// buffer's depth, the switch with its fall-back to the window, and what a present hands on.
#include "player/screen_manager.h"

#include <gtest/gtest.h>

#include "components/scene/scene_parts.h"
#include "components/scene/kova_base_list.h"
#include "platform/window/headless_video.h"

namespace kova {
namespace {

using plat::TDisplayMode;

TEST(ScreenModes, TheListAndTheChoice) {
  const std::vector<TDisplayMode> offered = {
      {1280, 1024, 32, 60}, {640, 480, 32, 75}, {320, 240, 32, 60}, {640, 480, 8, 50},
      {640, 480, 16, 50},   {640, 480, 32, 60}, {800, 600, 32, 60}, {640, 480, 32, 60},
  };
  struct Case {
    const char* what;
    int32_t preferred_width, preferred_height, preferred_bits;
    int32_t chosen;
  } cases[] = {
      // Listed: 1280x1024, 640x480@75, 640x480x16, 640x480@60, 800x600, 640x480@60 again.
      {"the preferred size and depth at the lowest rate, the earliest of equals", 640, 480, 32, 3},
      {"the preferred size in another depth when the depth has none", 640, 480, 24, 1},
      {"no mode of the preferred size: the first listed", 1024, 768, 32, 0},
      {"the exact size only", 800, 600, 32, 4},
  };
  for (const Case& c : cases) {
    const TModeChoice choice = ChooseModes(offered, 640, 480, c.preferred_width, c.preferred_height, c.preferred_bits);
    ASSERT_EQ(choice.modes.size(), 6u) << c.what;  // smaller modes and 8 bits are left out
    EXPECT_EQ(choice.modes[2], (TDisplayMode{640, 480, 16, 50}));
    EXPECT_EQ(choice.chosen, c.chosen) << c.what;
  }
  EXPECT_EQ(ChooseModes(offered, 2000, 480, 0, 0, 32).chosen, -1);
  EXPECT_TRUE(ChooseModes({}, 640, 480, 640, 480, 32).modes.empty());
}

TEST(ScreenModes, TheBackBufferTakesTheDesktopsDepth) {
  const std::pair<plat::TDesktopMode, int32_t> cases[] = {
      {{{1024, 768, 16, 60}, true}, 15},
      {{{1024, 768, 16, 60}, false}, 16},
      {{{1024, 768, 8, 60}, false}, 16},
      {{{1024, 768, 24, 60}, false}, 32},
      {{{1024, 768, 32, 60}, false}, 32},
  };
  for (const auto& [desktop, bits] : cases) {
    EXPECT_EQ(BackBufferBits(desktop), bits) << desktop.mode.BitCount << (desktop.masks555 ? " 5-5-5" : "");
    plat::TConfigurableDisplay display;
    display.SetDesktop(desktop);
    plat::THeadlessWindow window;
    plat::THeadlessPresenter presenter({40, 30});
    TScreenManager screen(display, window, presenter, 40, 30, 0, 0);
    EXPECT_EQ(screen.BitCount(), bits);
    EXPECT_EQ(screen.BackBuffer().BitCount(), bits);
    EXPECT_EQ(screen.BackBuffer().Width(), 40);
    EXPECT_EQ(screen.PreferredBitCount(), desktop.mode.BitCount);
  }
}

// A scene over the screen manager's back buffer, with a transition that reports a fixed area.
class PresentTest : public ::testing::Test {
 protected:
  class Host : public TSceneHost, public ISceneMakers {
   public:
    explicit Host(TScreenManager& screen) : screen_(screen) {}
    std::unique_ptr<ISceneFilm> LoadFilm(const std::string&, TKovaControl&) override { return nullptr; }

    TCustomDIBX* ScreenSurface() override { return &screen_.BackBuffer(); }
    int32_t ScreenBitCount() override { return screen_.BitCount(); }
    std::unique_ptr<ISceneWipe> CreateWipe(int32_t, TCustomDIBX&, TCustomDIBX&, TCustomDIBX&, int32_t,
                                           bool) override {
      class Wipe : public ISceneWipe {
       public:
        int32_t GetLength() const override { return 100; }
        void SetPosition(int32_t) override {}
        int32_t GetParam(int32_t) const override { return 0; }
        void SetParam(int32_t, int32_t) override {}
        void SetMaskName(std::string) override {}
        void Prepare() override {}
        bool Step() override { return false; }
        TRect UpdateArea() const override { return TRect{2, 3, 12, 13}; }
      };
      return std::make_unique<Wipe>();
    }

   private:
    TScreenManager& screen_;
  };

  PresentTest()
      : screen(display, window, presenter, 40, 30, 0, 0), host(screen), globals(TSceneInputs{.host = &host}) {
    globals.Makers().Register(host);
    globals.Root().SetWidth(40);
    globals.Root().SetHeight(30);
  }

  plat::TConfigurableDisplay display;
  plat::THeadlessWindow window;
  plat::THeadlessPresenter presenter{{40, 30}};
  TScreenManager screen;
  Host host;
  TSceneParts globals;
};

TEST_F(PresentTest, OnlyTheActiveLayersDirtyRectanglesOrTheTransitionsArea) {
  TKovaBaseList& root = globals.Root();
  root.Draw();
  root.EndFrame();
  root.Bases(root.ActiveIndex() ^ 1)->InvalidateRect(TRect{0, 0, 40, 30});
  root.ActiveBase()->InvalidateRect(TRect{1, 1, 5, 5});
  root.ActiveBase()->InvalidateRect(TRect{30, 20, 38, 28});
  root.Draw();
  screen.Present(root);
  EXPECT_EQ(presenter.PresentCount(), 1);
  EXPECT_EQ(presenter.LastRects(),
            (std::vector<plat::TScreenRect>{{1, 1, 5, 5}, {30, 20, 38, 28}}));
  root.EndFrame();
  root.Draw();
  screen.Present(root);  // nothing changed: nothing shown
  EXPECT_EQ(presenter.PresentCount(), 1);

  root.Flip(root.ActiveIndex() ^ 1, 1, 100, 0, true, false);
  root.Draw();
  screen.Present(root);
  EXPECT_EQ(presenter.LastRects(), (std::vector<plat::TScreenRect>{{2, 3, 12, 13}}));
}

TEST_F(PresentTest, TheSwitchFallsBackToTheWindow) {
  const plat::TWindowPlacement before = window.SavePlacement();
  window.RefuseFullScreen(true);
  screen.SetMode(0);
  EXPECT_FALSE(screen.FullScreen());
  EXPECT_EQ(screen.CurrentMode(), -1);
  EXPECT_EQ(window.SavePlacement(), before);
  window.RefuseFullScreen(false);
  screen.SetMode(1);  // the display lists one mode only
  EXPECT_FALSE(screen.FullScreen());
  screen.SetMode(-5);
  EXPECT_FALSE(window.IsFullScreen());
  screen.SetMode(0);
  EXPECT_TRUE(screen.FullScreen());
  EXPECT_TRUE(window.IsFullScreen());
  EXPECT_EQ(screen.BitCount(), 32);  // the display's mode never changes
  screen.SetMode(-1);
  EXPECT_FALSE(window.IsFullScreen());
  EXPECT_EQ(window.SavePlacement(), before);
}

// An overlay that fills one rectangle with one colour while it shows.
class SquareOverlay : public IScreenOverlay {
 public:
  bool Visible() override { return shown; }
  void Draw(TCustomDIBX& picture, std::vector<TRect>& areas) override {
    for (int32_t y = area.Top; y < area.Bottom; ++y) {
      for (int32_t x = area.Left; x < area.Right; ++x) picture.SetPixel(x, y, colour);
    }
    areas.push_back(area);
  }
  bool shown = true;
  TRect area{4, 4, 8, 8};
  uint32_t colour = 0xff0000;
};

TEST_F(PresentTest, OverlaysAreDrawnOverThePresentedPictureNotIntoTheBackBuffer) {
  TKovaBaseList& root = globals.Root();
  SquareOverlay overlay;
  screen.SetOverlay(&overlay);
  auto fill = [&](uint32_t colour) {
    TDIBX& back = screen.BackBuffer();
    for (int32_t y = 0; y < back.Height(); ++y) {
      for (int32_t x = 0; x < back.Width(); ++x) back.SetPixel(x, y, colour);
    }
  };
  auto shown = [&](int32_t x, int32_t y) { return presenter.Pixel(x, y) & 0xffffff; };
  root.Draw();
  root.EndFrame();
  // The scene's picture is painted here by hand; each present shows the rectangles marked dirty.
  fill(0x000080);
  screen.Present(root);  // the first composed picture is shown whole
  EXPECT_EQ(shown(5, 5), 0xff0000u);
  EXPECT_EQ(shown(20, 20), 0x000080u);
  EXPECT_EQ(screen.BackBuffer().GetPixel(5, 5) & 0xffffff, 0x000080u);
  EXPECT_NE(&screen.Shown(), static_cast<TCustomDIBX*>(&screen.BackBuffer()));
  root.EndFrame();

  // The overlay moves: its old place shows the scene again, its new one the overlay.
  overlay.area = TRect{10, 10, 14, 14};
  screen.Present(root);
  EXPECT_EQ(shown(5, 5), 0x000080u);
  EXPECT_EQ(shown(11, 11), 0xff0000u);
  EXPECT_EQ(presenter.LastRects(), (std::vector<plat::TScreenRect>{{4, 4, 8, 8}, {10, 10, 14, 14}}));
  root.EndFrame();

  // The scene draws under the overlay: the overlay stays on top.
  fill(0x008000);
  root.ActiveBase()->InvalidateRect(TRect{0, 0, 40, 30});
  screen.Present(root);
  EXPECT_EQ(shown(11, 11), 0xff0000u);
  EXPECT_EQ(shown(0, 0), 0x008000u);
  root.EndFrame();

  // Hidden: its place is given back to the scene's picture, and the back buffer is shown again.
  overlay.shown = false;
  screen.Present(root);
  EXPECT_EQ(shown(11, 11), 0x008000u);
  EXPECT_EQ(&screen.Shown(), static_cast<TCustomDIBX*>(&screen.BackBuffer()));
  const int32_t presents = presenter.PresentCount();
  root.EndFrame();
  screen.Present(root);  // nothing changed and nothing over it: nothing shown
  EXPECT_EQ(presenter.PresentCount(), presents);
}

}  // namespace
}  // namespace kova
