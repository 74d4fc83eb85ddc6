// The main window: the headless twin's placement and full-screen rules, and the SDL window on the
// dummy driver (caption conversion, full screen on the desktop and back).
#include <gtest/gtest.h>

#include "platform/window/headless_video.h"
#include "platform/sdl/sdl_video.h"

namespace kova::plat {
namespace {

// Full screen covers the desktop without borders; leaving puts back the size, place and border
// the window had, also when they were changed while in full screen; a refusal changes nothing.
TEST(HeadlessWindow, FullScreenAndBack) {
  THeadlessWindow w({800, 609}, {1280, 1024});
  w.SetFrame({3, 24, 3, 3});
  w.SetPosition({240, 183});
  EXPECT_EQ(w.FrameSize(), (TSize{806, 636}));
  const TWindowPlacement before = w.SavePlacement();

  w.RefuseFullScreen(true);
  EXPECT_FALSE(w.EnterFullScreen());
  EXPECT_EQ(w.SavePlacement(), before);

  w.RefuseFullScreen(false);
  ASSERT_TRUE(w.EnterFullScreen());
  EXPECT_EQ(w.ClientSize(), (TSize{1280, 1024}));
  EXPECT_EQ(w.FrameSize(), (TSize{1280, 1024}));
  EXPECT_EQ(w.Position(), (TPoint{0, 0}));
  EXPECT_EQ(w.SavePlacement(), before);  // the placement to come back to
  w.SetClientSize({640, 489});               // changed while in full screen: for later
  EXPECT_EQ(w.ClientSize(), (TSize{1280, 1024}));
  w.SetClientSize(before.client);
  w.SetTopStrip(0);
  w.SetGameSize({800, 600});
  EXPECT_EQ(w.Viewport().Picture(), (TScreenRect{0, 32, 1280, 992}));

  w.LeaveFullScreen();
  EXPECT_EQ(w.SavePlacement(), before);
  w.SetTopStrip(9);
  EXPECT_EQ(w.Viewport().Picture(), (TScreenRect{0, 9, 800, 609}));

  w.WarpPointer({799, 0});
  EXPECT_EQ(w.Warps(), (std::vector<TPoint>{{799, 9}}));
}

class SdlWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    video_ = TSdlVideo::Open(&error);
    ASSERT_TRUE(video_) << error;
  }
  std::unique_ptr<TSdlVideo> video_;
};

TEST_F(SdlWindowTest, CaptionIsConvertedAtTheEdge) {
  std::string error;
  // "動作設定" in code page 932.
  const std::string caption = "\x93\xAE\x8D\xEC\x90\xDD\x92\xE8";
  auto w = TSdlWindow::Create(*video_, caption, {320, 249}, {}, &error);
  ASSERT_TRUE(w) << error;
  EXPECT_STREQ(SDL_GetWindowTitle(w->Handle()), "\xE5\x8B\x95\xE4\xBD\x9C\xE8\xA8\xAD\xE5\xAE\x9A");
  EXPECT_EQ(w->Caption(), caption);
  EXPECT_TRUE(w->HasFocus());  // the dummy driver has no focus to wait for
  w->SetCaption("Kova \x83\x51\x81\x5B\x83\x80");  // "Kova ゲーム"
  EXPECT_STREQ(SDL_GetWindowTitle(w->Handle()), "Kova \xE3\x82\xB2\xE3\x83\xBC\xE3\x83\xA0");
}

// The dummy display is 1024 x 768: full screen takes it whole and the picture scales into it;
// leaving brings back the window as it was.
TEST_F(SdlWindowTest, FullScreenTakesTheDesktopAndComesBack) {
  std::string error;
  auto w = TSdlWindow::Create(*video_, "fs", {320, 249}, {}, &error);
  ASSERT_TRUE(w) << error;
  w->SetTopStrip(9);
  w->SetGameSize({320, 240});
  w->SetPosition({30, 40});
  const TWindowPlacement before = w->SavePlacement();
  EXPECT_EQ(before.client, (TSize{320, 249}));
  EXPECT_EQ(w->Viewport().Picture(), (TScreenRect{0, 9, 320, 249}));

  ASSERT_TRUE(w->EnterFullScreen());
  EXPECT_TRUE(w->IsFullScreen());
  const TDesktopMode desktop = TSdlDisplay().DesktopMode();
  EXPECT_EQ(w->ClientSize(), (TSize{desktop.mode.Width, desktop.mode.Height}));
  w->SetTopStrip(0);
  EXPECT_EQ(w->Viewport().Picture(), (TScreenRect{0, 0, 1024, 768}));
  SDL_DisplayMode mode{};
  ASSERT_EQ(SDL_GetCurrentDisplayMode(0, &mode), 0);
  EXPECT_EQ(mode.w, desktop.mode.Width);  // the display's mode never changes

  w->LeaveFullScreen();
  w->SetTopStrip(9);
  EXPECT_FALSE(w->IsFullScreen());
  EXPECT_EQ(w->SavePlacement(), before);
}

TEST(SdlDisplay, ReportsTheDesktopAmongItsModes) {
  std::string error;
  auto video = TSdlVideo::Open(&error);
  ASSERT_TRUE(video) << error;
  TSdlDisplay display;
  const TDesktopMode desktop = display.DesktopMode();
  EXPECT_EQ(desktop.mode.BitCount, 32);  // X-8-8-8, which SDL calls 24 bits
  EXPECT_FALSE(desktop.masks555);
  const std::vector<TDisplayMode> modes = display.Modes();
  EXPECT_NE(std::find(modes.begin(), modes.end(), desktop.mode), modes.end());
  const TScreenRect area = display.WorkArea();
  EXPECT_FALSE(area.IsEmpty());
}

}  // namespace
}  // namespace kova::plat
