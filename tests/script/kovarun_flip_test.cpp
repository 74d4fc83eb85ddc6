// The flip of a game run by the kovarun program: a game shows one picture on its layer, prepares
// another on the hidden layer and flips with a transition; shots after chosen frame counts (16 ms
// of the virtual clock each) hold the mixture that the transition's formula gives at that point,
// computed here from the shots of the start and the end picture.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "core/stream.h"
#include "core/vocabulary.h"
#include "graphics/dib.h"
#include "graphics/dibx.h"
#include "graphics/pictures/png_loader.h"
#include "motion/wipe_factory.h"
#include "script/test_game.h"
#include "support/bmp_writer.h"
#include "support/expr_builder.h"
#include "support/game_tree.h"
#include "support/page_writer.h"

extern char** environ;

namespace kova::test {
namespace {

constexpr int32_t kWidth = 24, kHeight = 16;

using Picture = std::vector<uint32_t>;  // 0xRRGGBB, row by row

// The mixture of the start picture `from` and the end picture `to` at `position` of `length`.
using Formula = std::function<Picture(const Picture& from, const Picture& to, int32_t position, int32_t length)>;

// The cross-fade: the start picture, then the end picture over it at the level position x 256 div
// length; per channel (d x (255 - a) + s x a) shr 8, a pixel equal in both kept.
Picture Fade(const Picture& from, const Picture& to, int32_t position, int32_t length) {
  const uint32_t a = uint32_t(position) * 256 / uint32_t(length);
  Picture out(from.size());
  for (size_t i = 0; i < from.size(); ++i) {
    const uint32_t d = from[i], s = to[i];
    if (a == 0 || d == s) {
      out[i] = d;
      continue;
    }
    uint32_t v = 0;
    for (int shift : {0, 8, 16}) v |= (((d >> shift & 0xFF) * (255 - a) + (s >> shift & 0xFF) * a) >> 8) << shift;
    out[i] = v;
  }
  return out;
}

// Grey g added to (or, with `subtract`, taken from) every channel, saturated.
Picture AddGrey(const Picture& picture, uint32_t g, bool subtract) {
  Picture out(picture.size());
  for (size_t i = 0; i < picture.size(); ++i) {
    uint32_t v = 0;
    for (int shift : {0, 8, 16}) {
      const int32_t c = int32_t(picture[i] >> shift & 0xFF) + (subtract ? -int32_t(g) : int32_t(g));
      v |= uint32_t(c < 0 ? 0 : c > 255 ? 255 : c) << shift;
    }
    out[i] = v;
  }
  return out;
}

// Through white or black: v := position x 511 div length; below 256 the start picture with grey v
// added (taken), then the end picture with grey 511 - v.
Picture PassThrough(const Picture& from, const Picture& to, int32_t position, int32_t length, bool black) {
  const uint32_t v = uint32_t(position) * 511 / uint32_t(length);
  return v < 256 ? AddGrey(from, v, black) : AddGrey(to, 511 - v, black);
}
Picture White(const Picture& from, const Picture& to, int32_t position, int32_t length) {
  return PassThrough(from, to, position, length, false);
}
Picture Black(const Picture& from, const Picture& to, int32_t position, int32_t length) {
  return PassThrough(from, to, position, length, true);
}

// The flash: the end picture with grey 255 - position x 255 div length added.
Picture Flash(const Picture&, const Picture& to, int32_t position, int32_t length) {
  return AddGrey(to, 255 - uint32_t(position) * 255 / uint32_t(length), false);
}

// The horizontal scroll: the start picture moved o := W x position div length to the left, the
// end picture following it from the right.
Picture ScrollH(const Picture& from, const Picture& to, int32_t position, int32_t length) {
  const int32_t o = kWidth * position / length;
  Picture out(from.size());
  for (int32_t y = 0; y < kHeight; ++y) {
    for (int32_t x = 0; x < kWidth; ++x) {
      const int32_t sx = x + o;
      out[size_t(y * kWidth + x)] = sx < kWidth ? from[size_t(y * kWidth + sx)] : to[size_t(y * kWidth + sx - kWidth)];
    }
  }
  return out;
}

// A kind, its length, the frames after which a shot is taken (counted from the flip's entry step:
// 0 is that step), and its formula. Other kinds join the table as they are built.
struct KindCase {
  const char* name;
  int32_t kind;
  int32_t length;
  std::vector<int32_t> frames;
  Formula formula;
};

const std::vector<KindCase>& Cases() {
  static const std::vector<KindCase> cases = {
      {"fade", WP_FADE, 480, {0, 1, 2, 11, 16, 30}, Fade},
      {"white", WP_WHITE, 480, {2, 10, 16, 17, 30}, White},
      {"black", WP_BLACK, 480, {2, 16, 17, 25}, Black},
      {"flash", WP_FLASH, 320, {0, 2, 9, 20}, Flash},
      {"scroll", WP_SCROLLH, 480, {2, 11, 21, 30}, ScrollH},
  };
  return cases;
}

// A picture with every channel varying, so that a mixture differs at each pixel.
std::vector<uint8_t> Gradient(int32_t w, int32_t h, uint32_t base) {
  BmpFields bmp;
  bmp.width = w;
  bmp.height = h;
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) bmp.pixels.push_back(base ^ uint32_t(x * 23 << 16 | y * 41 << 8 | (x + y) * 13));
  }
  return BuildBmp(bmp);
}

class KovarunFlipTest : public ::testing::Test {
 protected:
  // Writes the game: the start layer in one colour with one picture, the hidden layer in another
  // with another picture; after a few frames the flip of `kind` over `length` ms, then a long wait.
  void WriteGame(int32_t kind, int32_t length) {
    ProjectBuilder p = TestGameProject();
    p.screen_width = kWidth;
    p.screen_height = kHeight;
    tree.WriteFile("flip/kova.kpb", p.Build());
    tree.WriteFile("flip/install.dat", TestGameInstallSet());
    tree.WriteFile("flip/old.wxa", Gradient(12, 8, 0x204060));
    tree.WriteFile("flip/new.wxa", Gradient(16, 10, 0xC08010));
    constexpr int32_t kImgNew = 9;
    PageWriter start;
    start.Calc(ExprBuilder().Call(3, "____0", {S("BASE0"), I(PR_COLOR), I(0x302010)}));
    start.Calc(ExprBuilder().Call(3, "____0", {S("BASE1"), I(PR_COLOR), I(0x1080F0)}));
    start.Component(kImgNew, {{PR_NAME, Value(S("old"))}, {PR_SOURCE, Value(S("old.wxa"))}, {PR_LEFT, Value(I(2))},
                              {PR_TOP, Value(I(3))}});
    // On the hidden layer (the one-byte name 1).
    start.Component(kImgNew, {{PR_NAME, Value(S("new"))}, {PR_PARENT, Value(S("\x01"))},
                              {PR_SOURCE, Value(S("new.wxa"))}, {PR_LEFT, Value(I(7))}, {PR_TOP, Value(I(5))}});
    start.Wait(NoResult(), Value(I(40)));
    flip_line = start.Next() + 1;
    start.Flip(Value(I(kind)), Value(I(length)));
    start.Wait(NoResult(), Value(I(100000)));
    tree.WriteFile("flip/start.ksb", start.Bytes());
  }

  struct Shot {
    int status = -1;
    std::string err;
    Picture picture;
    // The game clock at which the flip was entered (-1 when the trace does not show it).
    int64_t flip_clock = -1;
    std::vector<std::string> log;
  };

  // Runs kovarun on the game `folder` for `frames` frames and reads its shot and trace.
  Shot Run(long frames, const std::string& folder = "flip") {
    const std::string shot = tree.Path("shot.png"), log = tree.Path("trace.txt"), err = tree.Path("err.txt");
    std::remove(shot.c_str());
    std::vector<std::string> args = {KOVARUN_PATH, tree.Path(folder), "--frames", std::to_string(frames),
                                     "--shot",     shot,              "--log",    log};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    Shot result;
    const int rc = posix_spawn(&pid, KOVARUN_PATH, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    EXPECT_EQ(rc, 0);
    if (rc != 0) return result;
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
    std::ifstream err_in(err);
    std::stringstream err_text;
    err_text << err_in.rdbuf();
    result.err = err_text.str();
    std::ifstream log_in(log);
    const std::string flip_trace = " : start.ksb(" + std::to_string(flip_line) + ")";
    for (std::string line; std::getline(log_in, line);) {
      if (line.size() > 11 && line.substr(8) == flip_trace) {
        result.flip_clock = std::stoll(line.substr(0, 8), nullptr, 16);
      }
      result.log.push_back(line);
    }
    if (result.status != 0) return result;
    TFileStream file(shot, plat::TFileMode::Read);
    TDIBSurface png;
    ReadPng(file, png);
    EXPECT_EQ(png.Width(), kWidth);
    EXPECT_EQ(png.Height(), kHeight);
    for (int32_t y = 0; y < png.Height(); ++y) {
      for (int32_t x = 0; x < png.Width(); ++x) result.picture.push_back(png.GetPixel(x, y) & 0xFFFFFF);
    }
    return result;
  }

  GameTree tree;
  int32_t flip_line = 0;
};

// Where two pictures differ first ("" when they are equal).
std::string FirstDifference(const Picture& got, const Picture& want) {
  if (got.size() != want.size()) return "sizes differ";
  for (size_t i = 0; i < got.size(); ++i) {
    if (got[i] != want[i]) {
      char text[96];
      std::snprintf(text, sizeof text, "at (%d, %d): %06X, computed %06X", int(i % kWidth), int(i / kWidth),
                    got[i], want[i]);
      return text;
    }
  }
  return {};
}

TEST_F(KovarunFlipTest, ShotsMidTransitionHoldTheKindsMixture) {
  int built = 0;
  for (const KindCase& c : Cases()) {
    SCOPED_TRACE(c.name);
    // A kind whose transition is not built yet flips without one: its row waits for it.
    TDIBX probe_dest, probe_from, probe_to;
    for (TDIBX* s : {&probe_dest, &probe_from, &probe_to}) s->SetSize(2, 2, 32);
    if (!CreateWipe(c.kind, TWipeEnv{}, probe_dest, probe_from, probe_to)) continue;
    ++built;
    WriteGame(c.kind, c.length);
    // The flip's entry step: the frame whose clock the trace gives for it.
    const Shot probe = Run(30);
    ASSERT_EQ(probe.status, 0) << probe.err;
    ASSERT_GT(probe.flip_clock, 0) << "the flip's trace line";
    const long entry = long(probe.flip_clock / 16);
    const Shot from = Run(entry - 1);
    // The swap comes in the first step whose time since the start time (the step after the
    // entry) reaches the length.
    const long swap = entry + 1 + (c.length + 15) / 16;
    const Shot to = Run(swap + 2);
    ASSERT_EQ(from.status, 0) << from.err;
    ASSERT_EQ(to.status, 0) << to.err;
    ASSERT_NE(from.picture, to.picture);
    for (const int32_t after : c.frames) {
      SCOPED_TRACE("frame " + std::to_string(after) + " after the entry");
      const Shot mid = Run(entry + after);
      ASSERT_EQ(mid.status, 0) << mid.err;
      // The position handed over at that frame: 0 in the entry step and the next, then the time
      // since the start time.
      const int32_t position = after < 2 ? 0 : 16 * (after - 1);
      ASSERT_LT(position, c.length);
      EXPECT_EQ(FirstDifference(mid.picture, c.formula(from.picture, to.picture, position, c.length)), "");
    }
    EXPECT_EQ(Run(swap).picture, to.picture) << "the swap";
    EXPECT_NE(Run(swap - 1).picture, to.picture) << "the step before the swap";
  }
  if (built == 0) GTEST_SKIP() << "no transition kind of the table is built yet";
}

// A game saved by an event handler while its flip runs, and loaded by a fresh run from its first
// frame: the loaded flip finds no transition, completes in its third run (the layers swap) and
// clears the old layer as the saved flag says; a second flip back shows that layer without the
// control it had. Both runs end on the same picture.
TEST_F(KovarunFlipTest, AFlipSavedMidwayEndsAfterTheLoadAsInTheSavingRun) {
  ProjectBuilder p = TestGameProject();
  p.screen_width = kWidth;
  p.screen_height = kHeight;
  tree.WriteFile("saves/kova.kpb", p.Build());
  tree.WriteFile("saves/install.dat", TestGameInstallSet());
  tree.WriteFile("saves/left.wxa", Gradient(6, 5, 0x204060));
  tree.WriteFile("saves/carried.wxa", Gradient(8, 6, 0xC08010));
  constexpr int32_t kImgNew = 9;
  constexpr uint32_t kColourA = 0x302010, kColourB = 0x1080F0;
  PageWriter start;
  start.GameLoad(Value(I(1)));  // nothing to load in the saving run
  start.Wait(NoResult(), Value(I(16)));
  start.Calc(ExprBuilder().Call(3, "____0", {S("BASE0"), I(PR_COLOR), I(kColourA)}));
  start.Calc(ExprBuilder().Call(3, "____0", {S("BASE1"), I(PR_COLOR), I(kColourB)}));
  start.Component(kImgNew, {{PR_NAME, Value(S("left"))}, {PR_SOURCE, Value(S("left.wxa"))}, {PR_LEFT, Value(I(2))},
                            {PR_TOP, Value(I(3))}});
  start.Component(kImgNew, {{PR_NAME, Value(S("carried"))}, {PR_SOURCE, Value(S("carried.wxa"))},
                            {PR_LEFT, Value(I(12))}, {PR_TOP, Value(I(6))}});
  start.Wait(NoResult(), Value(I(40)));
  // The idle event queued in the flip's entry step runs its handler before the flip's next run.
  start.SetProp(Value(S("left")), Value(I(PR_ONIDLE)), Value(S("save.ksb")));
  PageWriter::FlipRecord flip;
  flip.kind = Value(I(WP_FADE));
  flip.length = Value(I(200));
  flip.move_mode = Value(I(1));
  flip.names = {Value(S("carried"))};
  flip.clear = Yes();
  start.Flip(flip);
  const int32_t after_flip = start.Next() + 1;
  start.Calc(Assign("limit", I(1)));
  start.Flip(Value(I(WP_NONE)), Value(I(1)));  // back to the first layer
  start.Wait(NoResult(), Value(I(100)));
  start.Terminate();
  tree.WriteFile("saves/start.ksb", start.Bytes());
  PageWriter save;
  save.SetProp(Value(S("left")), Value(I(PR_ONIDLE)), Value(S("")));
  save.GameSave(Value(I(1)), "", 0, Value(S("mid-flip")));
  tree.WriteFile("saves/save.ksb", save.Bytes());

  const Shot saving = Run(200, "saves");
  ASSERT_EQ(saving.status, 0) << saving.err;
  ASSERT_NE(saving.err.find("terminated"), std::string::npos) << saving.err;
  ASSERT_TRUE(std::any_of(saving.log.begin(), saving.log.end(),
                          [](const std::string& l) { return l.ends_with(" : save.ksb(2)"); }));
  const Shot loading = Run(200, "saves");
  ASSERT_EQ(loading.status, 0) << loading.err;
  ASSERT_NE(loading.err.find("terminated"), std::string::npos) << loading.err;
  // The load is served in the first frame; the loaded flip runs in the next three and the
  // command after it in the third.
  const std::string after = " : start.ksb(" + std::to_string(after_flip) + ")";
  const auto first_after = std::find_if(loading.log.begin(), loading.log.end(),
                                        [&](const std::string& l) { return l.ends_with(after); });
  ASSERT_NE(first_after, loading.log.end());
  EXPECT_EQ(first_after->substr(0, 8), "00000040");
  EXPECT_FALSE(std::any_of(loading.log.begin(), loading.log.end(),
                           [](const std::string& l) { return l.ends_with(" : save.ksb(2)"); }));
  // The first layer shows again, without "left".
  EXPECT_EQ(loading.picture, saving.picture);
  ASSERT_EQ(saving.picture.size(), size_t(kWidth * kHeight));
  const uint32_t rgb_a = kColourA >> 16 | (kColourA & 0xFF00) | (kColourA & 0xFF) << 16;
  for (const uint32_t px : saving.picture) ASSERT_EQ(px, rgb_a);
}

}  // namespace
}  // namespace kova::test
