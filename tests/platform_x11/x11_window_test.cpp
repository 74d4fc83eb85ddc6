// The real window on a real X server: an Xvfb server of our own (on a free display number), SDL's
// X11 driver, the screen grabbed with xwd, clicks sent with xdotool. Skipped, with the reason,
// only where Xvfb cannot run.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "platform/files/dirs.h"
#include "platform/sdl/sdl_video.h"
#include "support/x_desktop_test.h"

namespace kova::plat {
namespace {

using test::Grab;
using test::RunProgram;
using test::Screen;
using test::Stop;

constexpr uint32_t kRed = 0xFF0000, kBlue = 0x0000FF, kGreen = 0x00FF00, kWhite = 0xFFFFFF;

// The known picture, 400 x 240 at 32 bits: left half red, right half blue, a green square
// 40..79 x 40..79, and a one-pixel white/black checker at 300..307 x 100..107.
std::vector<uint32_t> Picture() {
  std::vector<uint32_t> px(400 * 240);
  for (int y = 0; y < 240; ++y) {
    for (int x = 0; x < 400; ++x) {
      uint32_t c = x < 200 ? kRed : kBlue;
      if (x >= 40 && x < 80 && y >= 40 && y < 80) c = kGreen;
      if (x >= 300 && x < 308 && y >= 100 && y < 108) c = ((x + y) & 1) ? kWhite : 0;
      px[size_t(y) * 400 + x] = c;
    }
  }
  return px;
}

// Runs with no window manager (a bare X server) and with one that follows the desktop conventions.
class X11WindowTest : public test::XDesktopTest {
 protected:
  static void SetUpTestSuite() {
    XDesktopTest::SetUpTestSuite();
    ::setenv("SDL_VIDEODRIVER", "x11", 1);
  }
  void SetUp() override {
    XDesktopTest::SetUp();
    if (!Ready()) return;
    folder_ = *MakePrivateDirectory(SystemTempFolder(), "x11test");
    std::string error;
    video_ = TSdlVideo::Open(&error);
    ASSERT_TRUE(video_) << error;
    ASSERT_EQ(video_->DriverName(), "x11");
    window_ = TSdlWindow::Create(*video_, "KovaPlayer", {400, 249}, {}, &error);
    ASSERT_TRUE(window_) << error;
    window_->SetTopStrip(9);
    presenter_ = TSdlPresenter::Create(*window_, {400, 240}, {}, &error);
    ASSERT_TRUE(presenter_) << error;
    events_ = std::make_unique<TSdlEvents>(*window_);
    pixels_ = Picture();
  }
  void TearDown() override {
    events_.reset();
    presenter_.reset();
    window_.reset();
    video_.reset();
    XDesktopTest::TearDown();
    if (!folder_.empty()) std::system(("rm -rf '" + folder_ + "'").c_str());
  }

  TFrameBuffer Frame() const {
    return TFrameBuffer{reinterpret_cast<const uint8_t*>(pixels_.data()), 400 * 4, 400, 240, 32};
  }
  // Presents until the screen shows `probe` at the client position `at`, and grabs it; `origin`
  // gets the client area's top-left on the screen (a window manager may still be placing it).
  Screen ShowAndGrab(TPoint at, uint32_t probe, TPoint& origin) {
    Screen screen;
    for (int attempt = 0; attempt < 100; ++attempt) {
      TEvent e;
      while (events_->Poll(e)) {
      }
      presenter_->RepaintAll(Frame());
      origin = Origin();
      const TPoint p{origin.x + at.x, origin.y + at.y};
      if (Grab(server_->Display(), folder_ + "/shot.xwd", screen) && p.x >= 0 && p.y >= 0 &&
          p.x < screen.width && p.y < screen.height && screen.At(p.x, p.y) == probe) {
        return screen;
      }
      SDL_Delay(50);
    }
    ADD_FAILURE() << "the picture never reached the screen";
    return screen;
  }
  TPoint Origin() const {  // the client area's top-left on the screen
    TPoint p;
    SDL_GetWindowPosition(window_->Handle(), &p.x, &p.y);
    return p;
  }
  std::vector<TEvent> EventsFor(int ms) {
    std::vector<TEvent> got;
    TEvent e;
    while (events_->Wait(e, ms)) got.push_back(e);
    return got;
  }

  std::string folder_;
  std::unique_ptr<TSdlVideo> video_;
  std::unique_ptr<TSdlWindow> window_;
  std::unique_ptr<TSdlPresenter> presenter_;
  std::unique_ptr<TSdlEvents> events_;
  std::vector<uint32_t> pixels_;
};

// In a window of the game's size the picture lands 1:1 below the 9-row strip.
TEST_P(X11WindowTest, PresentsOneToOneInAWindow) {
  TPoint o;
  const Screen s = ShowAndGrab({60, 9 + 60}, kGreen, o);
  ASSERT_FALSE(s.pixels.empty());
  for (int x = 0; x < 400; x += 7) EXPECT_EQ(s.At(o.x + x, o.y + 4), 0u) << "strip at " << x;
  EXPECT_EQ(s.At(o.x, o.y + 9), kRed);
  EXPECT_EQ(s.At(o.x + 199, o.y + 9 + 239), kRed);
  EXPECT_EQ(s.At(o.x + 200, o.y + 9), kBlue);
  EXPECT_EQ(s.At(o.x + 399, o.y + 9 + 239), kBlue);
  EXPECT_EQ(s.At(o.x + 39, o.y + 9 + 40), kRed);
  EXPECT_EQ(s.At(o.x + 40, o.y + 9 + 40), kGreen);
  EXPECT_EQ(s.At(o.x + 79, o.y + 9 + 79), kGreen);
  EXPECT_EQ(s.At(o.x + 80, o.y + 9 + 79), kRed);
  for (int y = 100; y < 108; ++y) {
    for (int x = 300; x < 308; ++x) ASSERT_EQ(s.At(o.x + x, o.y + 9 + y), ((x + y) & 1) ? kWhite : 0u) << x << "," << y;
  }
}

// Full screen covers the 1024 x 768 desktop with the picture scaled to 1024 x 614 between black
// bars; a click on a bar reaches nothing, a click on the picture arrives in game pixels; leaving
// brings the window back.
TEST_P(X11WindowTest, ScalesInFullScreenAndMapsClicksBack) {
  const TWindowPlacement before = window_->SavePlacement();
  ASSERT_TRUE(window_->EnterFullScreen());
  window_->SetTopStrip(0);
  // Wait for the server to give the window the desktop's size.
  for (int i = 0; i < 100 && window_->Viewport().Picture() != TScreenRect{0, 77, 1024, 691}; ++i) {
    EventsFor(20);
  }
  ASSERT_EQ(window_->Viewport().Picture(), (TScreenRect{0, 77, 1024, 691}));
  const TPoint green = window_->Viewport().ToWindow({60, 60});
  TPoint o;
  const Screen s = ShowAndGrab(green, kGreen, o);
  ASSERT_FALSE(s.pixels.empty());
  EXPECT_EQ(o, (TPoint{0, 0}));
  for (int x = 0; x < 1024; x += 31) {
    EXPECT_EQ(s.At(x, 40), 0u) << "top bar at " << x;
    EXPECT_EQ(s.At(x, 730), 0u) << "bottom bar at " << x;
  }
  EXPECT_EQ(s.At(100, 300), kRed);   // game (39, 87)
  EXPECT_EQ(s.At(900, 600), kBlue);  // game (351, 204)

  EventsFor(100);
  ASSERT_EQ(RunProgram({"xdotool", "mousemove", "512", "20", "click", "1"}), 0);     // on the top bar
  ASSERT_EQ(RunProgram({"xdotool", "mousemove", "512", "400", "click", "1"}), 0);    // game (200, 126)
  ASSERT_EQ(RunProgram({"xdotool", "mousemove", "1023", "690", "click", "3"}), 0);   // game (399, 239)
  std::vector<TEvent> clicks;
  for (const TEvent& e : EventsFor(500)) {
    if (e.kind == TEventKind::MouseDown || e.kind == TEventKind::MouseUp) clicks.push_back(e);
  }
  ASSERT_EQ(clicks.size(), 4u);
  EXPECT_EQ(clicks[0].kind, TEventKind::MouseDown);
  EXPECT_EQ(clicks[0].button, TMouseButton::Left);
  EXPECT_EQ(clicks[0].pos, (TPoint{200, 126}));
  EXPECT_EQ(clicks[1].kind, TEventKind::MouseUp);
  EXPECT_EQ(clicks[2].button, TMouseButton::Right);
  EXPECT_EQ(clicks[2].pos, (TPoint{399, 239}));
  EXPECT_EQ(clicks[3].kind, TEventKind::MouseUp);

  // The pointer moves to the centre of a game pixel on the scaled picture.
  window_->WarpPointer({100, 100});
  TPoint pointer{-1, -1};
  for (int i = 0; i < 50 && pointer != window_->Viewport().ToWindow({100, 100}); ++i) {
    EventsFor(10);
    if (FILE* out = ::popen("xdotool getmouselocation --shell", "r")) {
      char line[64];
      while (std::fgets(line, sizeof line, out)) std::sscanf(line, "X=%d", &pointer.x), std::sscanf(line, "Y=%d", &pointer.y);
      ::pclose(out);
    }
  }
  EXPECT_EQ(pointer, window_->Viewport().ToWindow({100, 100}));
  TPoint game;
  EXPECT_TRUE(window_->Viewport().ToGame(pointer, game));
  EXPECT_EQ(game, (TPoint{100, 100}));

  window_->LeaveFullScreen();
  window_->SetTopStrip(9);
  for (int i = 0; i < 100 && window_->ClientSize() != before.client; ++i) EventsFor(20);
  EXPECT_EQ(window_->SavePlacement(), before);
  const Screen back = ShowAndGrab({60, 9 + 60}, kGreen, o);
  EXPECT_EQ(back.At(o.x + 80, o.y + 9 + 79), kRed);
}

INSTANTIATE_TEST_SUITE_P(Desktops, X11WindowTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "WithWindowManager" : "BareServer"; });

}  // namespace
}  // namespace kova::plat
