// The player program on a real X server: an Xvfb server of the test's own, SDL's X11 driver, the
// demo game written by kovademo. Buttons are clicked with xdotool, the screen is grabbed with xwd
// and its pixels checked after each click (the scene's background, its buttons' pictures and the
// title's clip playing over the title), in a window and in full screen (the picture scaled to the
// desktop); the second scene's Save writes the save file and its Load brings the game back where
// it was saved; the window manager's close request (WM_DELETE_WINDOW) ends the player with status
// 0. Run bare and under a window manager; skipped, with the reason, only where Xvfb cannot run.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "close_request.h"
#include "support/demo_game.h"
#include "support/game_tree.h"
#include "support/x_desktop_test.h"

namespace kova::test {
namespace {

constexpr int32_t kStrip = 9;  // rows above the picture in a window

void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

class PlayerOnX : public XDesktopTest {
 protected:
  void SetUp() override {
    XDesktopTest::SetUp();
    if (!Ready()) return;
    display_ = "DISPLAY=" + server_->Display();
    ASSERT_EQ(RunProgram({KOVADEMO_PATH, tree_.Path("demo")}), 0);
  }
  void TearDown() override {
    if (player_ > 0) Stop(player_);
    XDesktopTest::TearDown();
  }

  // Starts the player on the demo; its standard error goes to a file the failures show.
  void StartPlayer() {
    const std::string run = tree_.MakeDir("run"), home = tree_.MakeDir("home");
    const std::string command = std::string("exec '") + KOVAPLAYER_PATH + "' '" + tree_.Path("demo") + "' 2>'" +
                                tree_.Path("player.err") + "'";
    player_ = Spawn({"sh", "-c", command}, -1,
                    {display_, "SDL_VIDEODRIVER=x11", "XDG_RUNTIME_DIR=" + run, "HOME=" + home,
                     "XDG_DATA_HOME=" + home + "/data"});
    ASSERT_GT(player_, 0);
  }
  std::string PlayerErrors() const {
    const std::vector<uint8_t> bytes = GameTree::ReadHostFile(tree_.Path("player.err"));
    return std::string(bytes.begin(), bytes.end());
  }

  // The player's window (the one its process shows) and its client area on the screen.
  bool FindWindow() {
    for (int i = 0; i < 200; ++i) {
      const std::string ids = ProgramOutput({"xdotool", "search", "--onlyvisible", "--pid", std::to_string(player_)});
      if (!ids.empty()) {
        window_ = std::stoul(ids);
        if (Geometry()) return true;
      }
      Pause(50);
    }
    return false;
  }
  bool Geometry() {
    std::istringstream info(ProgramOutput({"xwininfo", "-id", std::to_string(window_)}));
    std::string line;
    int found = 0;
    // (sscanf gives -1 for a blank line: only whole matches count.)
    while (std::getline(info, line)) {
      found += std::sscanf(line.c_str(), " Absolute upper-left X: %d", &origin_x_) == 1;
      found += std::sscanf(line.c_str(), " Absolute upper-left Y: %d", &origin_y_) == 1;
      found += std::sscanf(line.c_str(), " Width: %d", &width_) == 1;
      found += std::sscanf(line.c_str(), " Height: %d", &height_) == 1;
    }
    return found == 4;
  }

  // Grabs the screen until `at` (screen pixels) shows `colour`; false after about 10 s. A scene
  // change runs a transition, which may show the colour there before it ends: the screen is
  // grabbed again once a transition's time has passed, and it must still show the colour.
  bool WaitForColour(int32_t x, int32_t y, uint32_t colour, Screen& screen) {
    const auto shows = [&] {
      return Grab(server_->Display(), tree_.Path("shot.xwd"), screen) && screen.Has(x, y) && screen.At(x, y) == colour;
    };
    for (int i = 0; i < 100; ++i) {
      if (shows()) {
        Pause(demo::kTransitionMs + 200);
        if (shows()) return true;
      }
      Pause(100);
    }
    return false;
  }
  // The screen position of a game pixel: 1:1 below the strip in a window, scaled in full screen.
  // The title's clip shows one of its colours at its centre (within the encoder's loss); waits
  // up to about 5 s for it.
  bool ClipShows(Screen& s) {
    const int32_t x = ScreenX(demo::kClip.CentreX()), y = ScreenY(demo::kClip.CentreY());
    for (int i = 0; i < 50; ++i) {
      if (Grab(server_->Display(), tree_.Path("shot.xwd"), s) && s.Has(x, y) && IsClipColour(s.At(x, y))) return true;
      Pause(100);
    }
    return false;
  }
  static bool IsClipColour(uint32_t c) {
    for (uint32_t k : demo::kClipColours) {
      bool near = true;
      for (int shift : {0, 8, 16}) near = near && std::abs(int((c >> shift) & 0xff) - int((k >> shift) & 0xff)) <= 40;
      if (near) return true;
    }
    return false;
  }

  int32_t ScreenX(int32_t game_x) const { return full_ ? game_x * width_ / demo::kWidth : origin_x_ + game_x; }
  int32_t ScreenY(int32_t game_y) const {
    return full_ ? game_y * height_ / demo::kHeight : origin_y_ + kStrip + game_y;
  }
  // The pixels of a button's picture (its border and its face beside the caption) when `shown`,
  // else the background.
  void ExpectButton(const Screen& s, const demo::Rect& button, bool shown, uint32_t background) {
    const int32_t inside = demo::kButtonBorderWidth - 1;
    EXPECT_EQ(s.At(ScreenX(button.left + inside), ScreenY(button.top + inside)),
              shown ? demo::kButtonBorder : background);
    EXPECT_EQ(s.At(ScreenX(button.left + demo::kButtonFaceInset), ScreenY(button.CentreY())),
              shown ? demo::kButtonFace : background);
  }
  // How wide (in game pixels) a button's caption is: the span of the pixels
  // over its face, around its middle, that are neither face nor border.
  int32_t CaptionWidth(const Screen& s, const demo::Rect& button) const {
    int32_t first = -1, last = -1;
    for (int32_t gy = button.CentreY() - 4; gy <= button.CentreY() + 4; ++gy) {
      for (int32_t x = ScreenX(button.left + demo::kButtonBorderWidth + 2);
           x < ScreenX(button.right - demo::kButtonBorderWidth - 2); ++x) {
        const uint32_t px = s.At(x, ScreenY(gy));
        if (px == demo::kButtonFace || px == demo::kButtonBorder) continue;
        first = first < 0 ? x : std::min(first, x);
        last = std::max(last, x);
      }
    }
    if (first < 0) return 0;
    return full_ ? (last - first + 1) * demo::kWidth / width_ : last - first + 1;
  }
  void Click(const demo::Rect& button) {
    ASSERT_EQ(RunProgram({"xdotool", "mousemove", std::to_string(ScreenX(button.CentreX())),
                          std::to_string(ScreenY(button.CentreY())), "click", "1"}),
              0);
  }

  GameTree tree_;
  std::string display_;
  pid_t player_ = -1;
  unsigned long window_ = 0;
  int32_t origin_x_ = 0, origin_y_ = 0, width_ = 0, height_ = 0;
  bool full_ = false;
};

TEST_P(PlayerOnX, PlaysTheDemoInAWindowAndInFullScreen) {
  StartPlayer();
  ASSERT_TRUE(FindWindow()) << "no player window\n" << PlayerErrors();
  // The window: the game's size and the strip above it.
  EXPECT_EQ(width_, demo::kWidth);
  EXPECT_EQ(height_, demo::kHeight + kStrip);
  Screen s;
  ASSERT_TRUE(WaitForColour(ScreenX(10), ScreenY(10), demo::kTitleColour, s)) << "no title screen\n" << PlayerErrors();
  EXPECT_EQ(s.At(ScreenX(demo::kWidth - 1), ScreenY(demo::kHeight - 1)), demo::kTitleColour);
  EXPECT_EQ(s.At(origin_x_ + 5, origin_y_ + 4), 0u);  // the strip
  for (const demo::Rect& b : {demo::kStartButton, demo::kFullScreenButton, demo::kQuitButton}) {
    ExpectButton(s, b, true, demo::kTitleColour);
  }
  for (const demo::Rect& b : {demo::kBackButton, demo::kSaveButton, demo::kLoadButton}) {
    ExpectButton(s, b, false, demo::kTitleColour);
  }
  // The title's clip plays over the title.
  EXPECT_TRUE(ClipShows(s)) << PlayerErrors();

  // Start: the second scene, with only its own buttons.
  Click(demo::kStartButton);
  ASSERT_TRUE(WaitForColour(ScreenX(10), ScreenY(10), demo::kSceneColour, s)) << PlayerErrors();
  EXPECT_EQ(s.At(ScreenX(demo::kClip.CentreX()), ScreenY(demo::kClip.CentreY())), demo::kSceneColour);
  EXPECT_EQ(s.At(ScreenX(demo::kWidth - 1), ScreenY(demo::kHeight - 1)), demo::kSceneColour);
  for (const demo::Rect& b : {demo::kBackButton, demo::kSaveButton, demo::kLoadButton}) {
    ExpectButton(s, b, true, demo::kSceneColour);
  }
  for (const demo::Rect& b : {demo::kStartButton, demo::kFullScreenButton, demo::kQuitButton}) {
    ExpectButton(s, b, false, demo::kSceneColour);
  }

  // Save writes the save file beside the game; Load brings back the second scene, whose Back
  // button still works.
  const std::string save = tree_.Path("demo/save.dat");
  EXPECT_FALSE(std::filesystem::exists(save));
  Click(demo::kSaveButton);
  for (int i = 0; i < 100 && !std::filesystem::exists(save); ++i) Pause(100);
  ASSERT_TRUE(std::filesystem::exists(save)) << "no save file\n" << PlayerErrors();
  Click(demo::kLoadButton);
  Pause(500);
  ASSERT_TRUE(WaitForColour(ScreenX(10), ScreenY(10), demo::kSceneColour, s)) << PlayerErrors();
  ExpectButton(s, demo::kSaveButton, true, demo::kSceneColour);
  ExpectButton(s, demo::kStartButton, false, demo::kSceneColour);

  // Back: the title again.
  Click(demo::kBackButton);
  ASSERT_TRUE(WaitForColour(ScreenX(10), ScreenY(10), demo::kTitleColour, s)) << PlayerErrors();

  // Full screen: the 640 x 480 picture scaled to the whole 1024 x 768 desktop; the button's
  // caption now offers the window ("Window", shorter than "Full screen").
  const int32_t full_screen_caption = CaptionWidth(s, demo::kFullScreenButton);
  EXPECT_GT(full_screen_caption, 40);
  Click(demo::kFullScreenButton);
  full_ = true;
  width_ = 1024;
  height_ = 768;
  ASSERT_TRUE(WaitForColour(1023, 767, demo::kTitleColour, s)) << "not in full screen\n" << PlayerErrors();
  EXPECT_EQ(s.At(0, 0), demo::kTitleColour);
  EXPECT_EQ(s.At(512, 3), demo::kTitleColour);
  // The clip, scaled with the picture.
  EXPECT_TRUE(ClipShows(s)) << PlayerErrors();
  Pause(300);
  ASSERT_TRUE(Grab(server_->Display(), tree_.Path("shot.xwd"), s));
  const int32_t window_caption = CaptionWidth(s, demo::kFullScreenButton);
  EXPECT_GT(window_caption, 20);
  EXPECT_LT(window_caption + 8, full_screen_caption) << window_caption << " " << full_screen_caption;
  Click(demo::kStartButton);
  ASSERT_TRUE(WaitForColour(5, 5, demo::kSceneColour, s)) << PlayerErrors();
  EXPECT_EQ(s.At(1020, 760), demo::kSceneColour);
  Click(demo::kBackButton);
  ASSERT_TRUE(WaitForColour(1020, 760, demo::kTitleColour, s)) << PlayerErrors();

  // Back to the window, which keeps its size and the strip.
  Click(demo::kFullScreenButton);
  full_ = false;
  for (int i = 0; i < 100 && (!Geometry() || width_ != demo::kWidth); ++i) Pause(50);
  EXPECT_EQ(width_, demo::kWidth);
  EXPECT_EQ(height_, demo::kHeight + kStrip);
  ASSERT_TRUE(WaitForColour(ScreenX(10), ScreenY(10), demo::kTitleColour, s)) << PlayerErrors();
  Pause(300);
  ASSERT_TRUE(Grab(server_->Display(), tree_.Path("shot.xwd"), s));
  EXPECT_NEAR(CaptionWidth(s, demo::kFullScreenButton), full_screen_caption, 2);
  Click(demo::kStartButton);
  ASSERT_TRUE(WaitForColour(ScreenX(10), ScreenY(10), demo::kSceneColour, s)) << PlayerErrors();

  // The close request: the player ends, with status 0.
  ASSERT_TRUE(SendCloseRequest(server_->Display(), window_));
  const int status = WaitExit(player_, 15000);
  EXPECT_EQ(status, 0) << PlayerErrors();
  if (status != -1) player_ = -1;
}

INSTANTIATE_TEST_SUITE_P(Desktops, PlayerOnX, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "WithWindowManager" : "BareServer"; });

}  // namespace
}  // namespace kova::test
