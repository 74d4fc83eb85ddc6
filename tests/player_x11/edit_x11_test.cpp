// An edit in the player program on a real X server (Xvfb of the test's own, SDL's X11 driver): a
// small game makes an edit whose notify handler turns the picture green when the key is Enter and
// the text "abc". The field is drawn over the picture (its white face on the blue game); a click
// into it, "abc" and Enter typed with xdotool reach it as the window's keys and text input, and the
// handler runs. Run bare and under a window manager; skipped, with the reason, only where Xvfb
// cannot run.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "player/player_test_util.h"
#include "support/game_tree.h"
#include "support/x_desktop_test.h"

namespace kova::test {
namespace {

using E = ExprBuilder;

constexpr int32_t kStrip = 9;  // rows above the picture in a window
constexpr int32_t kWidth = 160, kHeight = 120;
constexpr int32_t kFieldLeft = 20, kFieldTop = 30, kFieldWidth = 100, kFieldHeight = 20;
constexpr uint32_t kBlue = 0x0000FF, kGreen = 0x00FF00, kWhite = 0xFFFFFF;

void Pause(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// The game: the edit over a blue picture, and its handler.
std::string WriteEditGame(const GameTree& tree) {
  constexpr int32_t kEditNew = 43, kName = 0, kWidthId = 3, kHeightId = 4, kLeft = 5, kTop = 6, kOnNotify = 33;
  PageWriter start;
  start.Component(kEditNew, {{kName, Value(S("name"))}, {kLeft, Value(I(kFieldLeft))}, {kTop, Value(I(kFieldTop))},
                             {kWidthId, Value(I(kFieldWidth))}, {kHeightId, Value(I(kFieldHeight))},
                             {kOnNotify, Value(S("typed.ksb"))}});
  start.Calc(SetLayerColour("BASE0", 0xFF0000));  // blue (0x00BBGGRR)
  start.Wait(NoResult(), Value(I(1000000)));
  const std::string folder = WriteLooseGame(tree, "game", start, kWidth, kHeight);
  PageWriter typed;
  typed.If(E().Op(E::DimTo, "____0", {V("@ParamStr"), I(0)})
               .Op(E::Equal, "____1", {V("____0"), S("13")})
               .Op(E::DimTo, "____2", {V("@ParamStr"), I(1)})
               .Op(E::Equal, "____3", {V("____2"), S("abc")})
               .Op(E::And, "____4", {V("____1"), V("____3")})
               .Result(V("____4")));
  typed.Indent(1).Calc(SetLayerColour("BASE0", 0x00FF00)).Indent(0);
  tree.WriteFile("game/typed.ksb", typed.Bytes());
  return folder;
}

class EditOnX : public XDesktopTest {
 protected:
  void TearDown() override {
    if (player_ > 0) Stop(player_);
    XDesktopTest::TearDown();
  }
  std::string Errors() const {
    const std::vector<uint8_t> bytes = GameTree::ReadHostFile(tree_.Path("player.err"));
    return std::string(bytes.begin(), bytes.end());
  }
  // The player's window and its client area's place on the screen.
  bool FindWindow() {
    for (int i = 0; i < 200; ++i) {
      const std::string ids = ProgramOutput({"xdotool", "search", "--onlyvisible", "--pid", std::to_string(player_)});
      if (!ids.empty()) {
        std::istringstream info(ProgramOutput({"xwininfo", "-id", std::to_string(std::stoul(ids))}));
        std::string line;
        int found = 0;
        while (std::getline(info, line)) {
          found += std::sscanf(line.c_str(), " Absolute upper-left X: %d", &x_) == 1;
          found += std::sscanf(line.c_str(), " Absolute upper-left Y: %d", &y_) == 1;
        }
        if (found == 2) return true;
      }
      Pause(50);
    }
    return false;
  }
  int32_t ScreenX(int32_t game_x) const { return x_ + game_x; }
  int32_t ScreenY(int32_t game_y) const { return y_ + kStrip + game_y; }
  // Grabs the screen until the game pixel shows `colour`; false after about 10 s.
  bool WaitForColour(int32_t gx, int32_t gy, uint32_t colour, Screen& s) {
    for (int i = 0; i < 100; ++i) {
      if (Grab(server_->Display(), tree_.Path("shot.xwd"), s) && s.Has(ScreenX(gx), ScreenY(gy)) &&
          s.At(ScreenX(gx), ScreenY(gy)) == colour) {
        return true;
      }
      Pause(100);
    }
    return false;
  }

  GameTree tree_;
  pid_t player_ = -1;
  int32_t x_ = 0, y_ = 0;
};

TEST_P(EditOnX, TypingAbcAndEnterQueuesTheNotifyEventWithTheText) {
  const std::string game = WriteEditGame(tree_);
  const std::string run = tree_.MakeDir("run"), home = tree_.MakeDir("home");
  const std::string command =
      std::string("exec '") + KOVAPLAYER_PATH + "' '" + game + "' 2>'" + tree_.Path("player.err") + "'";
  player_ = Spawn({"sh", "-c", command}, -1,
                  {"DISPLAY=" + server_->Display(), "SDL_VIDEODRIVER=x11", "XDG_RUNTIME_DIR=" + run, "HOME=" + home,
                   "XDG_DATA_HOME=" + home + "/data"});
  ASSERT_GT(player_, 0);
  ASSERT_TRUE(FindWindow()) << "no player window\n" << Errors();

  // The field's face lies over the blue picture.
  Screen s;
  ASSERT_TRUE(WaitForColour(5, 5, kBlue, s)) << Errors();
  ASSERT_TRUE(WaitForColour(kFieldLeft + kFieldWidth - 3, kFieldTop + kFieldHeight / 2, kWhite, s)) << Errors();
  EXPECT_EQ(s.At(ScreenX(kFieldLeft - 2), ScreenY(kFieldTop + 2)), kBlue);

  const std::string cx = std::to_string(ScreenX(kFieldLeft + 5)), cy = std::to_string(ScreenY(kFieldTop + 10));
  ASSERT_EQ(RunProgram({"xdotool", "mousemove", cx, cy, "click", "1"}), 0);
  Pause(200);
  ASSERT_EQ(RunProgram({"xdotool", "type", "--delay", "50", "abc"}), 0);
  Pause(200);
  ASSERT_EQ(RunProgram({"xdotool", "key", "Return"}), 0);
  ASSERT_TRUE(WaitForColour(5, 5, kGreen, s)) << "the handler did not run\n" << Errors();
  // The field still lies over the picture, with its text and caret in it.
  EXPECT_EQ(s.At(ScreenX(kFieldLeft + kFieldWidth - 3), ScreenY(kFieldTop + kFieldHeight / 2)), kWhite);
  int32_t ink = 0;
  for (int32_t x = kFieldLeft; x < kFieldLeft + kFieldWidth; ++x) {
    for (int32_t y = kFieldTop; y < kFieldTop + kFieldHeight; ++y) {
      const uint32_t p = s.At(ScreenX(x), ScreenY(y));
      if ((p & 0xFF) < 0x80 && (p >> 8 & 0xFF) < 0x80) ink = std::max(ink, x - kFieldLeft);
    }
  }
  EXPECT_GT(ink, 8) << "no text or caret right of the field's start";
}

INSTANTIATE_TEST_SUITE_P(Desktops, EditOnX, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "WithWindowManager" : "BareServer"; });

}  // namespace
}  // namespace kova::test
