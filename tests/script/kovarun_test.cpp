// Runs the kovarun program on game folders built by the test writers, as a person checking a game
// would: the exit status, the messages on standard error and the trace written with --log.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "components/widgets/kova_label.h"
#include "core/messages.h"
#include "core/stream.h"
#include "core/utils.h"
#include "core/vocabulary.h"
#include "graphics/pictures/png_loader.h"
#include "platform/fonts/fontconfig_source.h"
#include "platform/fonts/freetype_fonts.h"
#include "platform/text/text_codec.h"
#include "script/test_game.h"
#include "support/run_program.h"
#include "support/demo_game.h"
#include "support/glyph_list_writer.h"
#include "support/map_file_writer.h"
#include "support/picture_fixtures.h"
#include "support/png_writer.h"
#include "support/scene_driver.h"
#include "support/text_cost_fixtures.h"
#include "support/wexa_writer.h"
#include "text/font_pixel.h"
#include "text/glyph_layer_font.h"


namespace kova::test {
namespace {

struct RunResult {
  int status = -1;  // the exit status, or -1 when the program did not exit normally
  std::string err;  // standard error
  std::vector<std::string> log;  // the --log file's lines
};

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

class KovarunTest : public ::testing::Test {
 protected:
  // Runs kovarun with the trace to "trace.txt" (removed first unless `keep_log`).
  RunResult Run(std::vector<std::string> args, bool keep_log = false) { return Run(KOVARUN_PATH, std::move(args), keep_log); }
  RunResult Run(const char* program, std::vector<std::string> args, bool keep_log) {
    const std::string err_path = tree.Path("stderr.txt");
    const std::string log_path = tree.Path("trace.txt");
    if (!keep_log) std::remove(log_path.c_str());
    if (program == std::string(KOVARUN_PATH)) {
      // These runs count their frames from the game's first script step.
      args.insert(args.begin(), "--no-logo");
      args.push_back("--log");
      args.push_back(log_path);
    }
    RunResult result;
    result.status = RunProgram(program, args, "", err_path);
    result.err = ReadText(err_path);
    result.log = Lines(ReadText(log_path));
    return result;
  }

  GameTree tree;
};

TEST_F(KovarunTest, RunsTheArchivedGameToItsEnd) {
  const std::string folder = WriteTestGame(tree, "game", false);
  const RunResult r = Run({folder, "--frames", "600"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("terminated at frame 5"), std::string::npos) << r.err;
  EXPECT_EQ(r.log, TestGameTrace());
}

TEST_F(KovarunTest, RunsTheSameGameFromLooseFiles) {
  const std::string folder = WriteTestGame(tree, "loose", true);
  const RunResult r = Run({folder});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("terminated at frame 5"), std::string::npos) << r.err;
  EXPECT_EQ(r.log, TestGameTrace());
}

TEST_F(KovarunTest, StopsAfterTheFramesAsked) {
  // A start page that waits for ever.
  PageWriter forever;
  forever.VarNew("x", 1, Value(I(1)));
  forever.Wait(NoResult(), Value(I(0)));
  tree.WriteFile("game/kova.kpb", TestGameProject().Build());
  tree.WriteFile("game/install.dat", TestGameInstallSet());
  tree.WriteFile("game/start.ksb", forever.Bytes());
  const RunResult r = Run({tree.Path("game"), "--frames", "30"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("30 frames run"), std::string::npos) << r.err;
  EXPECT_EQ(r.log, (std::vector<std::string>{"00000010 : start.ksb(1)", "00000010 : start.ksb(2)"}));
}

TEST_F(KovarunTest, AScriptThatNeverWaitsStillEndsAfterTheFramesAsked) {
  // A start page that jumps to itself for ever: each frame gives up after its time budget.
  PageWriter endless;
  endless.Calc(Assign("limit", I(0))).Jump("start.ksb", 0);
  tree.WriteFile("game/kova.kpb", TestGameProject().Build());
  tree.WriteFile("game/install.dat", TestGameInstallSet());
  tree.WriteFile("game/start.ksb", endless.Bytes());
  const RunResult r = Run({tree.Path("game"), "--frames", "3"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("3 frames run"), std::string::npos) << r.err;
  // The loop ran on in the later frames.
  ASSERT_GE(r.log.size(), 2u);
  EXPECT_EQ(r.log[0], "00000010 : start.ksb(1)");
  EXPECT_EQ(r.log[1], "00000010 : start.ksb(2)");
  EXPECT_EQ(r.log.back().substr(0, 8), "00000030");
}

// A run whose save could not be written (a folder stands where "save.dat" would go) says so with
// the system's message and ends with status 4; the same game saving normally ends with 0.
TEST_F(KovarunTest, AFailedSaveEndsTheRunWithStatusFour) {
  PageWriter saving;
  saving.GameSave(Value(I(1)), "", 0, Value(S("one")));
  saving.Terminate();
  tree.WriteFile("game/kova.kpb", TestGameProject().Build());
  tree.WriteFile("game/install.dat", TestGameInstallSet());
  tree.WriteFile("game/start.ksb", saving.Bytes());
  const RunResult ok = Run({tree.Path("game")});
  EXPECT_EQ(ok.status, 0) << ok.err;
  struct stat st {};
  ASSERT_EQ(::stat(tree.Path("game/save.dat").c_str(), &st), 0);
  ASSERT_EQ(::unlink(tree.Path("game/save.dat").c_str()), 0);
  tree.MakeDir("game/save.dat");
  const RunResult failed = Run({tree.Path("game")});
  EXPECT_EQ(failed.status, 4) << failed.err;
  const std::string message = plat::Cp932ToUtf8(MsgText(TMsg::FileCreateError).substr(2));  // without "%s"
  EXPECT_NE(failed.err.find("save.dat" + message), std::string::npos) << failed.err;
  EXPECT_NE(failed.err.find("1 save could not be written"), std::string::npos) << failed.err;
  EXPECT_NE(failed.err.find("terminated at frame"), std::string::npos) << failed.err;
}

TEST_F(KovarunTest, TheLogReplacesALinkInsteadOfWritingThroughIt) {
  const std::string folder = WriteTestGame(tree, "game", false);
  const std::string victim = tree.WriteFile("victim.txt", "keep");
  const std::string log = tree.Path("trace.txt");
  std::remove(log.c_str());
  ASSERT_EQ(::symlink(victim.c_str(), log.c_str()), 0);
  const RunResult r = Run({folder}, true);
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(ReadText(victim), "keep");
  EXPECT_EQ(r.log, TestGameTrace());
  struct stat st {};
  ASSERT_EQ(::lstat(log.c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
}

struct BadGame {
  const char* what;
  bool project;          // write kova.kpb
  int32_t version;
  const char* start;     // the project's start page
  bool install;          // write install.dat
  TMsg message;          // the text expected on standard error
  int32_t page_version = 109;  // of the start page
};

TEST_F(KovarunTest, EachFailedStartGivesItsMessage) {
  const BadGame cases[] = {
      {"no install set", true, 109, "start.ksb", false, TMsg::ReinstallGame},
      {"no project", false, 109, "start.ksb", true, TMsg::FileNotFound},
      {"bad version", true, 110, "start.ksb", true, TMsg::ProjectBadVersion},
      {"old version", true, 99, "start.ksb", true, TMsg::ProjectBadVersion},
      {"missing start page", true, 109, "gone.ksb", true, TMsg::StartPageMissing},
      {"start page too old", true, 109, "start.ksb", true, TMsg::PageRebuild, 102},
  };
  int n = 0;
  for (const BadGame& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string folder = "bad" + std::to_string(n++);
    ProjectBuilder p = TestGameProject();
    p.version = c.version;
    p.start_page = c.start;
    if (c.project) tree.WriteFile(folder + "/kova.kpb", p.Build());
    if (c.install) tree.WriteFile(folder + "/install.dat", TestGameInstallSet());
    PageWriter start(c.page_version);
    start.Calc(NoResult());
    tree.WriteFile(folder + "/start.ksb", c.page_version == 109 ? TestGamePages()["start.ksb"] : start.Bytes());
    const RunResult r = Run({tree.Path(folder)});
    EXPECT_EQ(r.status, 1);
    std::string expected = MsgTextUtf8(c.message);
    if (c.message == TMsg::ProjectBadVersion) expected = expected.substr(0, expected.find(" ("));
    if (c.message == TMsg::FileNotFound) expected = std::string("kova.kpb") + (expected.c_str() + 2);
    EXPECT_NE(r.err.find(expected), std::string::npos) << r.err;
    EXPECT_TRUE(r.log.empty());
  }
}

TEST_F(KovarunTest, AMissingFolderACorruptArchiveOrABadCommandLineFailCleanly) {
  EXPECT_EQ(Run({tree.Path("nowhere")}).status, 1);
  tree.WriteFile("broken/game.dat", std::string("vf\x66\x00\x00\x00\x05\x00\x00\x00", 10));
  const RunResult broken = Run({tree.Path("broken")});
  EXPECT_EQ(broken.status, 1);
  EXPECT_NE(broken.err.find(MsgTextUtf8(TMsg::ArchiveCorrupt) + 2), std::string::npos) << broken.err;
  EXPECT_EQ(Run({tree.Path("game"), "--frames", "-3"}).status, 2);
  EXPECT_EQ(Run({tree.Path("game"), "--bogus"}).status, 2);
}

// A game whose start page only sets the active layer's colour (through the SetProp function), waits
// and ends; with recorded input whose bad line is refused before the game starts.
// The opening logo kovarun carries: it plays before the script, centred on the screen, and a
// click beside its label, or Space, skips it; the game's start page runs after it.
TEST_F(KovarunTest, TheOpeningLogoPlaysFirstAndAClickOrSpaceSkipsIt) {
  ProjectBuilder p = TestGameProject();
  p.screen_width = 320;
  p.screen_height = 240;
  tree.WriteFile("logo/kova.kpb", p.Build());
  tree.WriteFile("logo/install.dat", TestGameInstallSet());
  PageWriter start;
  start.Calc(ExprBuilder().Call(3, "____0", {S("BASE0"), I(8), I(0x3080F0)}));  // SetProp: PR_COLOR
  start.Wait(NoResult(), Value(I(5000)));
  start.Terminate();
  tree.WriteFile("logo/start.ksb", start.Bytes());
  tree.WriteFile("space.txt", std::string("2 keydown 32\n3 keyup 32\n"));
  tree.WriteFile("click.txt", std::string("1 move 5 5\n2 ldown 5 5\n3 lup 5 5\n"));
  const std::string shot = tree.Path("shot.png");
  // The layer's colour at a corner and the picture's centre after a run without --no-logo.
  auto run = [&](std::vector<std::string> args) {
    std::remove(shot.c_str());
    args.insert(args.begin(), {tree.Path("logo"), "--shot", shot});
    const std::string err = tree.Path("logo_err.txt");
    EXPECT_EQ(RunProgram(KOVARUN_PATH, args, "", err), 0) << ReadText(err);
    TFileStream file(shot, plat::TFileMode::Read);
    TDIBSurface picture;
    ReadPng(file, picture);
    return std::pair<uint32_t, uint32_t>{picture.GetPixel(5, 5), picture.GetPixel(160, 120)};
  };
  constexpr uint32_t kLayer = 0xF08030;
  // Frame 40 lies inside the logo: the script has not set the colour yet.
  const auto inside = run({"--frames", "40"});
  EXPECT_NE(inside.first, kLayer);
  EXPECT_NE(inside.second, kLayer);
  // The logo's own picture lies at the centre.
  EXPECT_NE(inside.second & 0xFFFFFF, 0u);
  // A click on the logo's label (the film's label, which the logo step takes over) does not skip
  // it: at frame 60 the logo still plays.
  tree.WriteFile("label_click.txt", std::string("50 move 150 118\n51 ldown 150 118\n52 lup 150 118\n"));
  EXPECT_NE(run({"--frames", "60", "--input", tree.Path("label_click.txt")}).first, kLayer);
  // The logo ends by itself after about 1.5 s; then the start page runs.
  EXPECT_EQ(run({"--frames", "200"}).first, kLayer);
  // Space or a click beside the label skips it at once.
  EXPECT_EQ(run({"--frames", "40", "--input", tree.Path("space.txt")}).first, kLayer);
  EXPECT_EQ(run({"--frames", "40", "--input", tree.Path("click.txt")}).first, kLayer);
  // --no-logo starts the script in the first frame.
  EXPECT_EQ(run({"--frames", "3", "--no-logo"}).second, kLayer);
}

TEST_F(KovarunTest, ShotHoldsTheLayerColourAndInputFilesAreChecked) {
  ProjectBuilder p = TestGameProject();
  p.screen_width = 32;
  p.screen_height = 24;
  tree.WriteFile("colour/kova.kpb", p.Build());
  tree.WriteFile("colour/install.dat", TestGameInstallSet());
  PageWriter start;
  start.Calc(ExprBuilder().Call(3, "____0", {S("BASE0"), I(8), I(0x3080F0)}));  // SetProp: PR_COLOR
  start.Wait(NoResult(), Value(I(50)));
  start.Terminate();
  tree.WriteFile("colour/start.ksb", start.Bytes());
  tree.WriteFile("input.txt", std::string("# a click and a key\n1 move 3 4\n2 ldown 3 4\n3 lup 3 4\n4 keydown 13\n"));
  const std::string shot = tree.Path("shot.png");
  const RunResult r = Run({tree.Path("colour"), "--input", tree.Path("input.txt"), "--shot", shot});
  ASSERT_EQ(r.status, 0) << r.err;

  TFileStream file(shot, plat::TFileMode::Read);
  TDIBSurface picture;
  ReadPng(file, picture);
  ASSERT_EQ(picture.Width(), 32);
  ASSERT_EQ(picture.Height(), 24);
  for (int32_t y = 0; y < 24; ++y) {
    for (int32_t x = 0; x < 32; ++x) ASSERT_EQ(picture.GetPixel(x, y), 0xF08030u) << x << "," << y;
  }

  tree.WriteFile("bad_input.txt", std::string("1 move 3\n"));
  const RunResult bad = Run({tree.Path("colour"), "--input", tree.Path("bad_input.txt")});
  EXPECT_EQ(bad.status, 2);
  EXPECT_NE(bad.err.find("line 1: wrong number of arguments"), std::string::npos) << bad.err;
  EXPECT_EQ(Run({tree.Path("colour"), "--input", tree.Path("missing.txt")}).status, 1);
}

// Recorded input types into an edit and a memo as a player would: a click gives each the
// keyboard, "text" types (UTF-8, a character code page 932 cannot hold left out, "#" no comment
// there), Backspace takes a character back, Enter breaks the memo's line. The script reads both
// texts back and marks what it found by the pages it goes to.
TEST_F(KovarunTest, RecordedInputTypesIntoAnEditAndAMemo) {
  ProjectBuilder p = TestGameProject();
  p.screen_width = 80;
  p.screen_height = 64;
  p.Var(ProjectVariable::Str("t", ""));
  p.Var(ProjectVariable::Str("u", ""));
  tree.WriteFile("fields/kova.kpb", p.Build());
  tree.WriteFile("fields/install.dat", TestGameInstallSet());
  constexpr int32_t kEditNew = 43, kMemoNew = 44;
  PageWriter start;
  start.Component(kEditNew, {{PR_NAME, Value(S("name"))}, {PR_LEFT, Value(I(4))}, {PR_TOP, Value(I(4))},
                             {PR_WIDTH, Value(I(60))}, {PR_HEIGHT, Value(I(16))}});
  start.Component(kMemoNew, {{PR_NAME, Value(S("memo"))}, {PR_LEFT, Value(I(4))}, {PR_TOP, Value(I(24))},
                             {PR_WIDTH, Value(I(60))}, {PR_HEIGHT, Value(I(30))}});
  start.Wait(NoResult(), Value(I(400)));
  start.GetProp(Value(S("name")), Value(I(PR_TEXT)), "t");
  start.GetProp(Value(S("memo")), Value(I(PR_TEXT)), "u");
  start.Jump("edit_ok.ksb", 0, Compare(ExprBuilder::Equal, V("t"), S("\x82\xA0#b")));
  start.Terminate();
  tree.WriteFile("fields/start.ksb", start.Bytes());
  PageWriter edit_ok;
  edit_ok.Jump("memo_ok.ksb", 0, Compare(ExprBuilder::Equal, V("u"), S("x\r\ny")));
  edit_ok.Terminate();
  tree.WriteFile("fields/edit_ok.ksb", edit_ok.Bytes());
  PageWriter memo_ok;
  memo_ok.Terminate();
  tree.WriteFile("fields/memo_ok.ksb", memo_ok.Bytes());

  tree.WriteFile("typing.txt", std::string("2 move 10 10\n3 ldown 10 10\n4 lup 10 10\n"
                                           "5 text \xE3\x81\x82#bc\xF0\x9F\x98\x80\n"  // an emoji last
                                           "6 keydown 8\n7 keyup 8\n"
                                           "8 ldown 10 30\n9 lup 10 30\n"
                                           "10 text x\n11 keydown 13\n12 keyup 13\n13 text y\n"));
  const RunResult r = Run({tree.Path("fields"), "--input", tree.Path("typing.txt")});
  ASSERT_EQ(r.status, 0) << r.err;
  const auto ran = [&](const std::string& line) {
    return std::any_of(r.log.begin(), r.log.end(), [&](const std::string& l) { return l.size() > 11 && l.substr(11) == line; });
  };
  EXPECT_TRUE(ran("edit_ok.ksb(1)")) << r.err;
  EXPECT_TRUE(ran("memo_ok.ksb(1)")) << r.err;
}

// A 24-bit layered picture of w x h whose red channel numbers the pixels: 0x10 * (1 + x + w * y).
std::vector<uint8_t> NumberedPicture(int32_t w, int32_t h) {
  WexaFileDesc desc;
  WexaFrameDesc frame;
  frame.width = w;
  frame.height = h;
  WexaLayerDesc layer;
  for (int32_t i = 0; i < w * h; ++i) layer.pixels.push_back(uint32_t(0x10 * (1 + i)) << 16);
  frame.layers.push_back(layer);
  desc.frames.push_back(frame);
  return BuildWexa(desc);
}

TEST_F(KovarunTest, ShotShowsImagesTheScriptMovesZoomsTurnsFadesAndMirrors) {
  ProjectBuilder p = TestGameProject();
  p.screen_width = 64;
  p.screen_height = 48;
  tree.WriteFile("images/kova.kpb", p.Build());
  tree.WriteFile("images/install.dat", TestGameInstallSet());
  tree.WriteFile("images/a.wxa", NumberedPicture(4, 2));
  tree.WriteFile("images/three.wxa", NumberedPicture(3, 3));
  // A PNG file under a layered picture's name: pictures are read by their content.
  PngDesc png;
  png.width = 3;
  png.color_type = 2;
  png.samples = {0xFF, 0, 0, 0, 0xFF, 0, 0, 0, 0xFF};
  tree.WriteFile("images/b.wxa", BuildPng(png));

  constexpr int32_t kImgNew = 9;
  auto at = [](const char* name, const char* source, int32_t x, int32_t y) {
    return std::map<int32_t, ExprBuilder>{
        {0, Value(S(name))}, {2, Value(S(source))}, {3, Value(I(x))}, {4, Value(I(y))}};
  };
  PageWriter start;
  start.SetProp(Value(S("BASE0")), Value(I(8)), Value(I(0)));  // a black layer
  start.Component(kImgNew, at("plain", "a.wxa", 2, 2));
  start.Component(kImgNew, at("moved", "a.wxa", 0, 0));
  start.SetProp(Value(S("moved")), Value(I(3)), Value(I(10)));  // left
  start.SetProp(Value(S("moved")), Value(I(4)), Value(I(2)));   // top
  auto zoomed = at("zoomed", "a.wxa", 20, 2);
  zoomed[7] = Value(I(512));    // zoom x
  zoomed[132] = Value(I(512));  // zoom y
  start.Component(kImgNew, zoomed);
  auto turned = at("turned", "three.wxa", 40, 10);
  turned[13] = Value(I(1));  // offset x
  turned[14] = Value(I(1));  // offset y
  start.Component(kImgNew, turned);
  start.SetProp(Value(S("turned")), Value(I(31)), Value(I(128)));  // half a turn
  start.Component(kImgNew, at("faded", "a.wxa", 2, 20));
  start.SetProp(Value(S("faded")), Value(I(11)), Value(I(128)));  // alpha
  start.Component(kImgNew, at("mirrored", "a.wxa", 12, 20));
  start.SetProp(Value(S("mirrored")), Value(I(111)), Value(B(true)));  // flip H
  start.Component(kImgNew, at("png", "b.wxa", 30, 30));
  start.Wait(NoResult(), Value(I(50)));
  start.Terminate();
  tree.WriteFile("images/start.ksb", start.Bytes());

  const std::string shot = tree.Path("images.png");
  const RunResult r = Run({tree.Path("images"), "--shot", shot});
  ASSERT_EQ(r.status, 0) << r.err;
  TFileStream file(shot, plat::TFileMode::Read);
  TDIBSurface picture;
  ReadPng(file, picture);
  ASSERT_EQ(picture.Width(), 64);
  auto red = [&](int32_t x, int32_t y) { return picture.GetPixel(x, y) >> 16 & 0xFF; };
  auto src = [](int32_t x, int32_t y) { return uint32_t(0x10 * (1 + x + 4 * y)); };
  for (int32_t y = 0; y < 2; ++y) {
    for (int32_t x = 0; x < 4; ++x) {
      EXPECT_EQ(red(2 + x, 2 + y), src(x, y)) << "plain " << x << "," << y;
      EXPECT_EQ(red(10 + x, 2 + y), src(x, y)) << "moved " << x << "," << y;
      EXPECT_EQ(red(2 + x, 20 + y), src(x, y) * 128 >> 8) << "faded " << x << "," << y;
      // Mirrored with its anchor (offset 0) on the far edge: columns 9 .. 12.
      EXPECT_EQ(red(9 + x, 20 + y), src(3 - x, y)) << "mirrored " << x << "," << y;
    }
  }
  EXPECT_EQ(picture.GetPixel(0, 0), 0u);  // where "moved" was made
  for (int32_t y = 0; y < 4; ++y)
    for (int32_t x = 0; x < 8; ++x) EXPECT_EQ(red(20 + x, 2 + y), src(x / 2, y / 2)) << "zoomed " << x << "," << y;
  EXPECT_EQ(red(28, 2), 0u);
  for (int32_t dy = -1; dy <= 1; ++dy)
    for (int32_t dx = -1; dx <= 1; ++dx)
      EXPECT_EQ(red(40 + dx, 10 + dy), uint32_t(0x10 * (1 + (1 - dx) + 3 * (1 - dy)))) << "turned " << dx << "," << dy;
  EXPECT_EQ(picture.GetPixel(30, 30), 0xFF0000u);
  EXPECT_EQ(picture.GetPixel(31, 30), 0x00FF00u);
  EXPECT_EQ(picture.GetPixel(32, 30), 0x0000FFu);
}

// A game with a box and a button: the recorded click on the button runs its notify handler, which
// gives the box another colour; the shot shows the new colour and the button's picture.
TEST_F(KovarunTest, AClickedButtonsHandlerRecoloursABox) {
  ProjectBuilder p = TestGameProject();
  p.screen_width = 32;
  p.screen_height = 24;
  tree.WriteFile("buttons/kova.kpb", p.Build());
  tree.WriteFile("buttons/install.dat", TestGameInstallSet());
  tree.WriteFile("buttons/n.wxa", NumberedPicture(4, 2));

  constexpr int32_t kBoxNew = 8, kButton = 30;
  constexpr int32_t kLeft = 3, kTop = 4, kWidth = 5, kHeight = 6, kColor = 8, kSource = 2, kOnNotify = 33;
  PageWriter start;
  start.SetProp(Value(S("BASE0")), Value(I(kColor)), Value(I(0)));  // a black layer
  start.Component(kBoxNew, {{0, Value(S("box"))}});
  const int32_t box_props[][2] = {{kLeft, 16}, {kTop, 4}, {kWidth, 10}, {kHeight, 8}, {kColor, 0x0000FF}};
  for (const auto& [id, v] : box_props) start.SetProp(Value(S("box")), Value(I(id)), Value(I(v)));
  start.Component(kButton, {{0, Value(S("btn"))}});
  start.SetProp(Value(S("btn")), Value(I(kSource)), Value(S("n.wxa")));
  start.SetProp(Value(S("btn")), Value(I(kLeft)), Value(I(2)));
  start.SetProp(Value(S("btn")), Value(I(kTop)), Value(I(4)));
  start.SetProp(Value(S("btn")), Value(I(kOnNotify)), Value(S("click.ksb")));
  start.Wait(NoResult(), Value(I(400)));
  start.Terminate();
  tree.WriteFile("buttons/start.ksb", start.Bytes());
  PageWriter click;
  click.SetProp(Value(S("box")), Value(I(kColor)), Value(I(0x00FF00)));
  tree.WriteFile("buttons/click.ksb", click.Bytes());

  // Pressed and released on the button.
  tree.WriteFile("click.txt", std::string("3 move 3 5\n4 ldown 3 5\n5 lup 3 5\n"));
  const std::string shot = tree.Path("buttons.png");
  const RunResult r = Run({tree.Path("buttons"), "--input", tree.Path("click.txt"), "--shot", shot});
  ASSERT_EQ(r.status, 0) << r.err;
  TFileStream file(shot, plat::TFileMode::Read);
  TDIBSurface picture;
  ReadPng(file, picture);
  ASSERT_EQ(picture.Width(), 32);
  for (int32_t y = 4; y < 12; ++y) {
    for (int32_t x = 16; x < 26; ++x) ASSERT_EQ(picture.GetPixel(x, y), 0x00FF00u) << x << "," << y;
  }
  for (int32_t y = 0; y < 2; ++y) {
    for (int32_t x = 0; x < 4; ++x) EXPECT_EQ(picture.GetPixel(2 + x, 4 + y) >> 16 & 0xFF, uint32_t(0x10 * (1 + x + 4 * y)));
  }
  EXPECT_EQ(picture.GetPixel(0, 0), 0u);

  // Without the click the box keeps its colour.
  const RunResult idle = Run({tree.Path("buttons"), "--shot", shot});
  ASSERT_EQ(idle.status, 0) << idle.err;
  TFileStream again(shot, plat::TFileMode::Read);
  ReadPng(again, picture);
  EXPECT_EQ(picture.GetPixel(20, 8), 0xFF0000u);  // colours are written blue-green-red
}

// Two menus made by the creating command. The first takes the keys: Down twice and Enter select
// its second item, whose index the select handler paints into a box; it closes at once after the
// selection and its closed handler recolours the layer. The second is closed by MenuClose, and its
// closed handler recolours a second box. Both menus are gone from the last picture.
TEST_F(KovarunTest, AMenuIsChosenByKeysAndClosedByTheCommand) {
  ProjectBuilder p = TestGameProject();
  p.screen_width = 40;
  p.screen_height = 32;
  tree.WriteFile("menus/kova.kpb", p.Build());
  tree.WriteFile("menus/install.dat", TestGameInstallSet());
  constexpr int32_t kBoxNew = 8, kMenu = 25;
  PageWriter start;
  start.SetProp(Value(S("BASE0")), Value(I(PR_COLOR)), Value(I(0)));
  for (const auto& [name, left] : std::vector<std::pair<std::string, int32_t>>{{"box", 30}, {"box2", 20}}) {
    start.Component(kBoxNew, {{0, Value(S(name))}});
    const int32_t props[][2] = {{PR_LEFT, left}, {PR_TOP, 2}, {PR_WIDTH, 6}, {PR_HEIGHT, 6}, {PR_COLOR, 0x404040}};
    for (const auto& [id, v] : props) start.SetProp(Value(S(name)), Value(I(id)), Value(I(v)));
  }
  start.Component(kMenu, {{PR_NAME, Value(S("menu"))}, {PR_TEXT, Value(S("a\r\nb\r\nc"))},
                          {PR_LEFT, Value(I(2))}, {PR_TOP, Value(I(2))}, {PR_FONTHEIGHT, Value(I(6))},
                          {PR_ROWCOUNT, Value(I(3))}, {PR_COLOR, Value(I(0x202020))},
                          {PR_HANDLEKEY, Value(B(true))}, {PR_AUTOSCRAP, Value(B(true))},
                          {PR_ONSELECT, Value(S("pick.ksb"))}, {PR_ONCLOSED, Value(S("closed.ksb"))},
                          {PR_ONOPENING, Value(S("opening.ksb"))}, {PR_ONOPENED, Value(S("opened.ksb"))},
                          {PR_ONCLOSING, Value(S("closing.ksb"))}});
  start.Component(kMenu, {{PR_NAME, Value(S("m2"))}, {PR_TEXT, Value(S("x"))}, {PR_LEFT, Value(I(2))},
                          {PR_TOP, Value(I(24))}, {PR_FONTHEIGHT, Value(I(6))}, {PR_ROWCOUNT, Value(I(1))},
                          {PR_COLOR, Value(I(0x202020))}, {PR_ONCLOSED, Value(S("closed2.ksb"))}});
  start.Wait(NoResult(), Value(I(400)));
  start.MenuClose(Value(S("m2")));
  start.Wait(NoResult(), Value(I(200)));
  start.Terminate();
  tree.WriteFile("menus/start.ksb", start.Bytes());
  PageWriter pick;
  pick.Calc(ExprBuilder().Call(3, "____0", {S("box"), I(PR_COLOR), V("@SelIndex")}));  // SetProp
  tree.WriteFile("menus/pick.ksb", pick.Bytes());
  PageWriter closed;
  closed.SetProp(Value(S("BASE0")), Value(I(PR_COLOR)), Value(I(0x101010)));
  tree.WriteFile("menus/closed.ksb", closed.Bytes());
  PageWriter closed2;
  closed2.SetProp(Value(S("box2")), Value(I(PR_COLOR)), Value(I(0x00FF00)));
  tree.WriteFile("menus/closed2.ksb", closed2.Bytes());
  for (const char* name : {"opening", "opened", "closing"}) {
    PageWriter page;
    page.SetProp(Value(S("BASE0")), Value(I(PR_COLOR)), Value(I(0)));
    tree.WriteFile(std::string("menus/") + name + ".ksb", page.Bytes());
  }

  tree.WriteFile("keys.txt", std::string("3 keydown 40\n4 keyup 40\n5 keydown 40\n6 keyup 40\n7 keydown 13\n"
                                          "8 keyup 13\n"));
  const std::string shot = tree.Path("menus.png");
  const RunResult r = Run({tree.Path("menus"), "--input", tree.Path("keys.txt"), "--shot", shot});
  ASSERT_EQ(r.status, 0) << r.err;
  TFileStream file(shot, plat::TFileMode::Read);
  TDIBSurface picture;
  ReadPng(file, picture);
  EXPECT_EQ(picture.GetPixel(32, 4), 1u << 16);      // the second item's index, blue-green-red
  EXPECT_EQ(picture.GetPixel(22, 4), 0x00FF00u);     // MenuClose closed the second menu
  EXPECT_EQ(picture.GetPixel(3, 3), 0x101010u);      // the first menu closed and is gone
  EXPECT_EQ(picture.GetPixel(3, 25), 0x101010u);     // the second too
  // The trace shows the handlers' events in the menu's order.
  std::vector<std::string> handlers;
  for (const std::string& line : r.log) {
    if (line.size() > 18 && line.compare(11, 7, "<Event>") == 0) handlers.push_back(line.substr(18));
  }
  EXPECT_EQ(handlers, (std::vector<std::string>{"opening.ksb(1)", "opened.ksb(1)", "pick.ksb(1)", "closing.ksb(1)",
                                                "closed.ksb(1)", "closed2.ksb(1)"}));

  // Without the keys the first menu stays open, filled with its colour.
  const RunResult idle = Run({tree.Path("menus"), "--shot", shot});
  ASSERT_EQ(idle.status, 0) << idle.err;
  TFileStream again(shot, plat::TFileMode::Read);
  ReadPng(again, picture);
  EXPECT_EQ(picture.GetPixel(2, 2), 0x202020u);
  EXPECT_EQ(picture.GetPixel(32, 4), 0x404040u);
}

// A picture of `colours.size()` cells of w x h side by side.
std::vector<uint8_t> CellsPicture(int32_t w, int32_t h, const std::vector<uint32_t>& colours) {
  std::vector<uint32_t> px;
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w * int32_t(colours.size()); ++x) px.push_back(colours[size_t(x / w)]);
  }
  return LayeredPicture(w * int32_t(colours.size()), h, {{px}});
}

// A settings screen played by recorded keys and mouse: a key on the focused slider opens a menu
// (its key handler creates it), Down twice and Enter choose its second item and the menu closes,
// then the slider's thumb is dragged to the end of its track. The trace runs the handlers in the
// order the controls queue their events; the last picture shows what they set.
TEST_F(KovarunTest, AMenuOpenedByAKeyIsChosenAndASliderDraggedInTheirEventsOrder) {
  ProjectBuilder p = TestGameProject();
  p.screen_width = 64;
  p.screen_height = 48;
  tree.WriteFile("settings/kova.kpb", p.Build());
  tree.WriteFile("settings/install.dat", TestGameInstallSet());
  // Track halves 20 x 6, thumb cells 6 x 8, button cells 5 x 8.
  tree.WriteFile("settings/track.wxa", CellsPicture(20, 6, {0x202080, 0x20A020}));
  tree.WriteFile("settings/thumb.wxa", CellsPicture(6, 8, {0xC00000, 0xD00000, 0xE00000}));
  tree.WriteFile("settings/buttons.wxa", CellsPicture(5, 8, {0x10, 0x20, 0x30, 0x40, 0x50, 0x60}));
  constexpr int32_t kBoxNew = 8, kMenu = 25, kSliderNew = 51;
  auto handler = [](const char* page) { return Value(S(page)); };
  PageWriter start;
  start.SetProp(Value(S("BASE0")), Value(I(PR_COLOR)), Value(I(0)));
  for (const auto& [name, left] : std::vector<std::pair<std::string, int32_t>>{{"chosen", 50}, {"volume", 58}}) {
    start.Component(kBoxNew, {{PR_NAME, Value(S(name))}, {PR_LEFT, Value(I(left))}, {PR_TOP, Value(I(2))},
                              {PR_WIDTH, Value(I(4))}, {PR_HEIGHT, Value(I(4))}, {PR_COLOR, Value(I(0x404040))}});
  }
  // The slider at (4, 30): track x 12 .. 32, thumb at 0 over x 9 .. 15, rows 30 .. 38.
  start.Component(kSliderNew, {{PR_NAME, Value(S("vol"))}, {PR_SOURCE, Value(S("track.wxa"))},
                               {PR_THUMBSOURCE, Value(S("thumb.wxa"))}, {PR_BUTTONSOURCE, Value(S("buttons.wxa"))},
                               {PR_LEFT, Value(I(4))}, {PR_TOP, Value(I(30))}, {PR_MIN, Value(I(0))},
                               {PR_MAX, Value(I(10))}, {PR_HANDLEKEY, Value(B(true))},
                               {PR_ONKEYDOWN, handler("open.ksb")}, {PR_ONHOLD, handler("hold.ksb")},
                               {PR_ONNOTIFY, handler("notify.ksb")}, {PR_ONRELEASE, handler("release.ksb")}});
  start.Wait(NoResult(), Value(I(800)));
  start.Terminate();
  tree.WriteFile("settings/start.ksb", start.Bytes());
  PageWriter open;
  open.Component(kMenu, {{PR_NAME, Value(S("speed"))}, {PR_TEXT, Value(S("slow\r\nnormal\r\nfast"))},
                         {PR_LEFT, Value(I(2))}, {PR_TOP, Value(I(2))}, {PR_FONTHEIGHT, Value(I(6))},
                         {PR_ROWCOUNT, Value(I(3))}, {PR_COLOR, Value(I(0x202020))},
                         {PR_HANDLEKEY, Value(B(true))}, {PR_AUTOSCRAP, Value(B(true))},
                         {PR_ONOPENING, handler("opening.ksb")}, {PR_ONOPENED, handler("opened.ksb")},
                         {PR_ONSELECT, handler("select.ksb")}, {PR_ONCLOSING, handler("closing.ksb")},
                         {PR_ONCLOSED, handler("closed.ksb")}});
  tree.WriteFile("settings/open.ksb", open.Bytes());
  // Each other handler runs one command: the chosen item and the slider's last value paint boxes.
  auto one = [&](const char* page, ExprBuilder e) {
    PageWriter w;
    w.Calc(e);
    tree.WriteFile(std::string("settings/") + page, w.Bytes());
  };
  for (const char* page : {"opening.ksb", "opened.ksb", "closing.ksb", "closed.ksb", "hold.ksb", "notify.ksb"}) {
    one(page, Assign("x", I(0)));
  }
  one("select.ksb", ExprBuilder().Call(3, "____0", {S("chosen"), I(PR_COLOR), V("@SelIndex")}));
  one("release.ksb", ExprBuilder()
                         .Call(2, "____0", {S("vol"), I(PR_VALUE)})
                         .Call(3, "____1", {S("volume"), I(PR_COLOR), V("____0")}));
  p.Var(ProjectVariable::Int("x", 0));
  tree.WriteFile("settings/kova.kpb", p.Build());

  // M on the slider; Down, Down, Enter on the menu; then the drag: on the thumb, pressed, moved
  // half the track and past its end, released.
  tree.WriteFile("settings.txt", std::string("3 keydown 77\n4 keyup 77\n"
                                             "10 keydown 40\n11 keyup 40\n12 keydown 40\n13 keyup 40\n"
                                             "14 keydown 13\n15 keyup 13\n"
                                             "30 move 11 34\n31 ldown 11 34\n32 move 21 34\n33 move 40 34\n"
                                             "34 lup 40 34\n"));
  const std::string shot = tree.Path("settings.png");
  const RunResult r = Run({tree.Path("settings"), "--input", tree.Path("settings.txt"), "--shot", shot});
  ASSERT_EQ(r.status, 0) << r.err;
  // The trace marks the start of each event's handler with "<Event>".
  std::vector<std::string> events;
  for (const std::string& line : r.log) {
    const size_t at = line.find(" : <Event>");
    if (at != std::string::npos) events.push_back(line.substr(at + 10));
  }
  EXPECT_EQ(events, (std::vector<std::string>{"open.ksb(1)", "opening.ksb(1)", "opened.ksb(1)", "select.ksb(1)",
                                              "closing.ksb(1)", "closed.ksb(1)", "hold.ksb(1)", "notify.ksb(1)",
                                              "notify.ksb(1)", "release.ksb(1)"}));
  TFileStream file(shot, plat::TFileMode::Read);
  TDIBSurface picture;
  ReadPng(file, picture);
  EXPECT_EQ(picture.GetPixel(51, 3), 1u << 16);   // the second item, blue-green-red
  EXPECT_EQ(picture.GetPixel(59, 3), 10u << 16);  // the slider at its end
  EXPECT_EQ(picture.GetPixel(3, 3), 0u);          // the menu is gone
  EXPECT_EQ(picture.GetPixel(30, 34), 0xC00000u);  // the thumb at the track's end, not hovered
  EXPECT_EQ(picture.GetPixel(13, 31), 0x20A020u);  // the track filled up to it
}

// The demo game's settings screen played by the recorded mouse: the title's Settings button shows
// it, the volume thumb is dragged from 1000 to the middle of its track, "Fast" is chosen in the
// text-speed menu, each through its handler; Done goes back to the title and the screen's controls
// go with it.
TEST_F(KovarunTest, TheDemosSettingsScreenTakesTheVolumeAndTheTextSpeed) {
  namespace demo = test::demo;
  const std::string folder = tree.Path("demo");
  ASSERT_EQ(Run(KOVADEMO_PATH, {folder}, false).status, 0);
  const demo::Rect& settings = demo::kSettingsButton;
  const int32_t thumb_x = demo::ThumbLeft(demo::kVolumeMax) + demo::kThumbWidth / 2;
  const int32_t thumb_y = demo::kVolumeTop + demo::kThumbHeight / 2;
  const int32_t half = thumb_x - demo::kTrackLength / 2;
  const int32_t fast_y = demo::SpeedItemCentreY(2);
  std::ostringstream input;
  input << "3 move " << settings.CentreX() << " " << settings.CentreY() << "\n4 ldown " << settings.CentreX() << " "
        << settings.CentreY() << "\n5 lup " << settings.CentreX() << " " << settings.CentreY() << "\n"
        << "20 move " << thumb_x << " " << thumb_y << "\n21 ldown " << thumb_x << " " << thumb_y << "\n22 move " << half
        << " " << thumb_y << "\n23 lup " << half << " " << thumb_y << "\n"
        << "30 move 230 " << fast_y << "\n31 ldown 230 " << fast_y << "\n32 lup 230 " << fast_y << "\n";
  tree.WriteFile("settings.txt", input.str());
  const std::string shot = tree.Path("settings.png");
  const RunResult r = Run({folder, "--input", tree.Path("settings.txt"), "--frames", "50", "--shot", shot});
  ASSERT_EQ(r.status, 0) << r.err;
  std::vector<std::string> events;
  for (const std::string& line : r.log) {
    const size_t at = line.find(" : <Event>");
    if (at != std::string::npos) events.push_back(line.substr(at + 10));
  }
  EXPECT_EQ(events, (std::vector<std::string>{"on_settings.ksb(1)", "on_volume.ksb(1)", "on_speed.ksb(1)"}));
  TFileStream file(shot, plat::TFileMode::Read);
  TDIBSurface picture;
  ReadPng(file, picture);
  auto rgb = [&](int32_t x, int32_t y) { return picture.GetPixel(x, y) & 0xFFFFFF; };
  EXPECT_EQ(rgb(10, 10), demo::kSettingsColour);
  // The volume 500: the track filled up to the thumb in the middle, empty beyond it.
  const int32_t track_y = demo::kTrackTop + demo::kTrackHeight / 2;
  EXPECT_EQ(rgb(demo::kTrackLeft + 2, track_y), demo::kTrackFilled);
  EXPECT_EQ(rgb(demo::ThumbLeft(500) + 2, track_y), demo::kThumbColours[0]);
  EXPECT_EQ(rgb(demo::kTrackLeft + demo::kTrackLength - 2, track_y), demo::kTrackEmpty);

  // Done: back to the title without the slider or the menu.
  const demo::Rect& done = demo::kDoneButton;
  input << "40 move " << done.CentreX() << " " << done.CentreY() << "\n41 ldown " << done.CentreX() << " "
        << done.CentreY() << "\n42 lup " << done.CentreX() << " " << done.CentreY() << "\n";
  tree.WriteFile("settings.txt", input.str());
  const RunResult back = Run({folder, "--input", tree.Path("settings.txt"), "--frames", "60", "--shot", shot});
  ASSERT_EQ(back.status, 0) << back.err;
  TFileStream again(shot, plat::TFileMode::Read);
  ReadPng(again, picture);
  EXPECT_EQ(rgb(10, 10), demo::kTitleColour);
  EXPECT_EQ(rgb(demo::kTrackLeft + 2, track_y), demo::kTitleColour);
  EXPECT_EQ(rgb(demo::kSpeedLeft + 1, demo::kSpeedTop + 1), demo::kTitleColour);
}

// A game with a map image of two regions and a box: the recorded click on the second region runs
// the map's select handler, which recolours the box; the shot shows the hover picture inside that
// region only.
TEST_F(KovarunTest, AClickOnAMapRegionRunsItsSelectHandler) {
  ProjectBuilder p = TestGameProject();
  p.screen_width = 32;
  p.screen_height = 24;
  tree.WriteFile("map/kova.kpb", p.Build());
  tree.WriteFile("map/install.dat", TestGameInstallSet());
  tree.WriteFile("map/base.wxa", LayeredPicture(20, 8, {{Solid(20, 8, 0x800000)}}));
  tree.WriteFile("map/hover.wxa", LayeredPicture(20, 8, {{Solid(20, 8, 0x0000C0)}}));
  MapFileWriter regions;
  regions.Rect("a", 0, 0, 9, 7).Rect("b", 10, 0, 19, 7);
  tree.WriteFile("map/m.map", regions.Bytes());

  constexpr int32_t kBoxNew = 8, kMapImgNew = 48;
  constexpr int32_t kLeft = 3, kTop = 4, kWidth = 5, kHeight = 6, kColor = 8, kSource = 2, kOnSelect = 72,
                    kHoverSource = 83, kMapSource = 106;
  PageWriter start;
  start.SetProp(Value(S("BASE0")), Value(I(kColor)), Value(I(0)));
  start.Component(kBoxNew, {{0, Value(S("box"))}});
  const int32_t box_props[][2] = {{kLeft, 24}, {kTop, 16}, {kWidth, 6}, {kHeight, 6}, {kColor, 0x0000FF}};
  for (const auto& [id, v] : box_props) start.SetProp(Value(S("box")), Value(I(id)), Value(I(v)));
  start.Component(kMapImgNew, {{0, Value(S("map"))}});
  start.SetProp(Value(S("map")), Value(I(kSource)), Value(S("base.wxa")));
  start.SetProp(Value(S("map")), Value(I(kHoverSource)), Value(S("hover.wxa")));
  start.SetProp(Value(S("map")), Value(I(kMapSource)), Value(S("m.map")));
  start.SetProp(Value(S("map")), Value(I(kLeft)), Value(I(2)));
  start.SetProp(Value(S("map")), Value(I(kTop)), Value(I(4)));
  start.SetProp(Value(S("map")), Value(I(kOnSelect)), Value(S("select.ksb")));
  start.Wait(NoResult(), Value(I(400)));
  start.Terminate();
  tree.WriteFile("map/start.ksb", start.Bytes());
  PageWriter select;
  select.SetProp(Value(S("box")), Value(I(kColor)), Value(I(0x00FF00)));
  tree.WriteFile("map/select.ksb", select.Bytes());

  auto shot = [&](const std::vector<std::string>& extra) {
    std::vector<std::string> args = {tree.Path("map"), "--shot", tree.Path("map.png")};
    args.insert(args.end(), extra.begin(), extra.end());
    const RunResult r = Run(args);
    EXPECT_EQ(r.status, 0) << r.err;
    TFileStream file(tree.Path("map.png"), plat::TFileMode::Read);
    TDIBSurface picture;
    ReadPng(file, picture);
    return [picture = std::make_shared<TDIBSurface>(std::move(picture))](int32_t x, int32_t y) {
      return picture->GetPixel(x, y);
    };
  };
  // Pointed at, pressed and released inside region "b" (the map's 15, 2).
  tree.WriteFile("click.txt", std::string("3 move 17 6\n4 ldown 17 6\n5 lup 17 6\n"));
  auto clicked = shot({"--input", tree.Path("click.txt")});
  EXPECT_EQ(clicked(26, 18), 0x00FF00u);  // the box, recoloured by the select handler
  EXPECT_EQ(clicked(2 + 5, 4 + 2), 0x800000u);  // region "a": the base picture
  EXPECT_EQ(clicked(2 + 10, 4 + 0), 0x0000C0u);  // region "b": the hover picture
  EXPECT_EQ(clicked(2 + 19, 4 + 7), 0x0000C0u);
  EXPECT_EQ(clicked(2 + 20, 4 + 7), 0u);

  // A click beside the regions selects nothing.
  tree.WriteFile("miss.txt", std::string("3 move 27 6\n4 ldown 27 6\n5 lup 27 6\n"));
  auto missed = shot({"--input", tree.Path("miss.txt")});
  EXPECT_EQ(missed(26, 18), 0xFF0000u);
  EXPECT_EQ(missed(2 + 15, 4 + 2), 0x800000u);
}

// A timer of 100 ms on the virtual clock of 16 ms a frame: its handler counts, and after a wait of
// one second the layer takes the count as its colour.
TEST_F(KovarunTest, ATimerFiresOncePerPeriodOfTheGameClock) {
  ProjectBuilder p = TestGameProject();
  p.screen_width = 8;
  p.screen_height = 8;
  p.Var(ProjectVariable::Int("ticks", 0));
  tree.WriteFile("timer/kova.kpb", p.Build());
  tree.WriteFile("timer/install.dat", TestGameInstallSet());
  constexpr int32_t kTimer = 11, kColor = 8, kDelay = 26, kOnNotify = 33;
  PageWriter start;
  start.Component(kTimer, {{0, Value(S("t"))}});
  start.SetProp(Value(S("t")), Value(I(kDelay)), Value(I(100)));
  start.SetProp(Value(S("t")), Value(I(kOnNotify)), Value(S("tick.ksb")));
  start.Wait(NoResult(), Value(I(1000)));
  start.Calc(ExprBuilder().Call(3, "____0", {S("BASE0"), I(kColor), V("ticks")}));  // SetProp
  start.Wait(NoResult(), Value(I(50)));
  start.Terminate();
  tree.WriteFile("timer/start.ksb", start.Bytes());
  PageWriter tick;
  tick.Calc(Step("ticks", ExprBuilder::Plus, I(1)));
  tree.WriteFile("timer/tick.ksb", tick.Bytes());

  const std::string shot = tree.Path("timer.png");
  const RunResult r = Run({tree.Path("timer"), "--shot", shot});
  ASSERT_EQ(r.status, 0) << r.err;
  TFileStream file(shot, plat::TFileMode::Read);
  TDIBSurface picture;
  ReadPng(file, picture);
  // Periods end at 100, 200, ... 900 ms; the tenth ends with the wait and is heard after it.
  EXPECT_EQ(picture.GetPixel(0, 0), 9u << 16);
}

// The game saves in slot 1 while its timer moves an image and its button shows its picture, waits
// and ends; run again, it loads slot 1 from its first frame. The commands run after the load, each
// at the same time after it as after the save, and the last picture are those of the saving run.
TEST_F(KovarunTest, AGameLoadedInAFreshRunEndsAsTheSavingRunDid) {
  ProjectBuilder p = TestGameProject();
  p.screen_width = 32;
  p.screen_height = 24;
  tree.WriteFile("saves/kova.kpb", p.Build());
  tree.WriteFile("saves/install.dat", TestGameInstallSet());
  tree.WriteFile("saves/n.wxa", NumberedPicture(4, 2));
  constexpr int32_t kImgNew = 9, kTimer = 11, kButton = 30;
  constexpr int32_t kSource = 2, kLeft = 3, kTop = 4, kColor = 8, kDelay = 26, kOnNotify = 33;
  PageWriter start;
  start.GameLoad(Value(I(1)));                                         // 0: nothing to load yet
  start.Wait(NoResult(), Value(I(16)));                                // 1
  start.VarNew("ticks", 1, Value(I(0)));  // a game variable: status variables outlive a load
  start.SetProp(Value(S("BASE0")), Value(I(kColor)), Value(I(0)));
  start.Component(kImgNew, {{0, Value(S("pic"))}, {2, Value(S("n.wxa"))}, {3, Value(I(0))}, {4, Value(I(2))}});
  start.Component(kButton, {{0, Value(S("btn"))}});
  start.SetProp(Value(S("btn")), Value(I(kSource)), Value(S("n.wxa")));
  start.SetProp(Value(S("btn")), Value(I(kLeft)), Value(I(20)));
  start.SetProp(Value(S("btn")), Value(I(kTop)), Value(I(12)));
  start.Component(kTimer, {{0, Value(S("t"))}});
  start.SetProp(Value(S("t")), Value(I(kDelay)), Value(I(100)));
  start.SetProp(Value(S("t")), Value(I(kOnNotify)), Value(S("tick.ksb")));
  start.Wait(NoResult(), Value(I(250)));
  // A loaded timer starts its period anew: setting its delay starts it here as well.
  start.SetProp(Value(S("t")), Value(I(kDelay)), Value(I(100)));
  const int32_t save_at = start.Next();
  start.GameSave(Value(I(1)), "", 0, Value(S("run")));
  start.Wait(NoResult(), Value(I(500)));
  start.Terminate();
  tree.WriteFile("saves/start.ksb", start.Bytes());
  PageWriter tick;  // each period moves "pic" one pixel to the right
  tick.Calc(Step("ticks", ExprBuilder::Plus, I(1)));
  tick.Calc(ExprBuilder().Call(3, "____0", {S("pic"), I(kLeft), V("ticks")}));  // SetProp
  tree.WriteFile("saves/tick.ksb", tick.Bytes());

  // The trace from the line of `mark` on, each line's clock made relative to that line's.
  auto after = [](const std::vector<std::string>& log, const std::string& mark) {
    std::vector<std::string> lines;
    uint32_t from = 0;
    for (const std::string& line : log) {
      if (line.size() < 11) continue;
      const uint32_t clock = uint32_t(std::stoul(line.substr(0, 8), nullptr, 16));
      if (lines.empty() && line.substr(11) != mark) continue;
      if (lines.empty()) from = clock;
      lines.push_back(std::to_string(clock - from) + " " + line.substr(11));
    }
    return lines;
  };
  auto shot = [&](const std::string& name) {
    TFileStream file(name, plat::TFileMode::Read);
    TDIBSurface picture;
    ReadPng(file, picture);
    std::vector<uint32_t> pixels;
    for (int32_t y = 0; y < picture.Height(); ++y)
      for (int32_t x = 0; x < picture.Width(); ++x) pixels.push_back(picture.GetPixel(x, y));
    return pixels;
  };
  const RunResult saving = Run({tree.Path("saves"), "--shot", tree.Path("saving.png")});
  ASSERT_EQ(saving.status, 0) << saving.err;
  ASSERT_NE(saving.err.find("terminated"), std::string::npos) << saving.err;
  const RunResult loading = Run({tree.Path("saves"), "--shot", tree.Path("loading.png")});
  ASSERT_EQ(loading.status, 0) << loading.err;
  ASSERT_NE(loading.err.find("terminated"), std::string::npos) << loading.err;

  // The trace names each command by its line, one past its index: the GameSave of the saving run
  // and the GameLoad of the loading run mark the frames where they were served.
  std::vector<std::string> after_save = after(saving.log, "start.ksb(" + std::to_string(save_at + 1) + ")");
  std::vector<std::string> after_load = after(loading.log, "start.ksb(1)");
  ASSERT_GT(after_save.size(), 4u);
  ASSERT_FALSE(after_load.empty());
  after_save.erase(after_save.begin());
  after_load.erase(after_load.begin());
  EXPECT_EQ(after_load, after_save);
  const std::vector<uint32_t> picture = shot(tree.Path("saving.png"));
  EXPECT_EQ(shot(tree.Path("loading.png")), picture);
  // The picture shows the button, and the image moved away from where it was made by the ticks.
  EXPECT_EQ(picture[size_t(20 + 12 * 32)] >> 16 & 0xFF, 0x10u);
  EXPECT_EQ(picture[size_t(0 + 2 * 32)], 0u);
  bool image_seen = false;
  for (int32_t x = 1; x < 20; ++x) image_seen |= (picture[size_t(x + 2 * 32)] >> 16 & 0xFF) == 0x10u;
  EXPECT_TRUE(image_seen);
}

// Labels of Japanese and English text in two faces (bold, and one plain beside it), made by the
// creating command of a test game and drawn by kovarun from the installed outline fonts. The same
// labels laid out here over the same fonts say where the text goes: the shot holds ink in every
// line's rectangle and nowhere else, pixel for pixel what the scene draws here.
TEST_F(KovarunTest, ShotShowsLabelsOfJapaneseAndEnglishTextInTwoFaces) {
  plat::TFontconfigSource font_source;
  if (!font_source.FindFamily("IPAGothic") || !font_source.FindFamily("IPAMincho")) {
    GTEST_SKIP() << "the IPA Gothic and Mincho fonts are not installed";
  }
  constexpr int32_t kW = 160, kH = 120;
  ProjectBuilder p = TestGameProject();
  p.screen_width = kW;
  p.screen_height = kH;
  tree.WriteFile("labels/kova.kpb", p.Build());
  tree.WriteFile("labels/install.dat", TestGameInstallSet());

  struct LabelDesc {
    const char* name;
    const char* face;  // UTF-8
    int32_t style, left, top;
  };
  const LabelDesc labels[] = {
      {"gothic", "ＭＳ ゴシック", 1, 4, 4},
      {"mincho", "ＭＳ 明朝", 1, 4, 42},
      {"plain", "ＭＳ ゴシック", 0, 4, 80},
  };
  const std::string text = plat::Utf8ToCp932("日本語のテキスト\r\nKova Label");
  constexpr int32_t kCaption = 24, kHeight = 16;
  PageWriter start;
  start.SetProp(Value(S("BASE0")), Value(I(8)), Value(I(0)));  // a black layer
  for (const LabelDesc& l : labels) {
    start.Component(kCaption, {{PR_NAME, Value(S(l.name))},
                               {PR_LEFT, Value(I(l.left))},
                               {PR_TOP, Value(I(l.top))},
                               {PR_FONTNAME, Value(S(plat::Utf8ToCp932(l.face)))},
                               {PR_FONTHEIGHT, Value(I(kHeight))},
                               {PR_FONTSTYLE, Value(I(l.style))},
                               {PR_FONTCOLOR, Value(I(0xFFFFFF))},
                               {PR_ANTIALIAS, Value(B(true))},
                               {PR_TEXT, Value(S(text))}});
  }
  start.Wait(NoResult(), Value(I(50)));
  start.Terminate();
  tree.WriteFile("labels/start.ksb", start.Bytes());

  const std::string shot = tree.Path("labels.png");
  const RunResult r = Run({tree.Path("labels"), "--shot", shot});
  ASSERT_EQ(r.status, 0) << r.err;
  TFileStream file(shot, plat::TFileMode::Read);
  TDIBSurface picture;
  ReadPng(file, picture);
  ASSERT_EQ(picture.Width(), kW);
  ASSERT_EQ(picture.Height(), kH);

  // The same labels here, over the same fonts.
  plat::TFreeTypeFonts fonts(font_source);
  TGlyphLayerFont font(fonts);
  TFontPixelManager cache(font);
  SceneDriver scene(kDisplay8888, kW, kH, {.glyph_cache = &cache});
  std::vector<TRect> line_rects;  // screen coordinates
  std::vector<TKovaLabel*> made;
  for (const LabelDesc& l : labels) {
    auto* label = static_cast<TKovaLabel*>(scene.root.CreateComponent(KT_LABEL));
    label->SetName(l.name);
    label->SetParent(scene.root.ActiveBase());
    label->SetLeft(l.left);
    label->SetTop(l.top);
    label->SetFontName(plat::Utf8ToCp932(l.face));
    label->SetFontHeight(kHeight);
    label->SetFontStyle(TFontStyles{uint8_t(l.style)});
    label->SetFontColor(0xFFFFFF);
    label->SetAntialias(true);
    label->SetText(text);
    ASSERT_EQ(label->LineRects().size(), 2u) << l.name;
    for (size_t i = 0; i < 2; ++i) {
      const TRect& lr = label->LineRects()[i];
      // Each line's ink stays in its own row of the label.
      EXPECT_GE(lr.Top, int32_t(i) * kHeight) << l.name << " line " << i;
      EXPECT_LE(lr.Bottom, int32_t(i + 1) * kHeight) << l.name << " line " << i;
      line_rects.push_back(TRect{lr.Left + l.left, lr.Top + l.top, lr.Right + l.left, lr.Bottom + l.top});
    }
    made.push_back(label);
  }
  scene.Frame();

  int32_t inked_outside = 0, differing = 0;
  std::vector<int32_t> ink_per_line(line_rects.size(), 0);
  for (int32_t y = 0; y < kH; ++y) {
    for (int32_t x = 0; x < kW; ++x) {
      const uint32_t got = picture.GetPixel(x, y) & 0xFFFFFF;
      differing += got != (scene.Pixel(x, y) & 0xFFFFFF);
      if (got == 0) continue;
      bool inside = false;
      for (size_t i = 0; i < line_rects.size(); ++i) {
        if (PointInRect(TPoint{x, y}, line_rects[i])) {
          inside = true;
          ++ink_per_line[i];
        }
      }
      inked_outside += !inside;
    }
  }
  EXPECT_EQ(inked_outside, 0);
  EXPECT_EQ(differing, 0);
  for (size_t i = 0; i < line_rects.size(); ++i) EXPECT_GT(ink_per_line[i], 20) << "line " << i;

  // Two faces: the same text draws differently in Mincho; bold draws more ink than plain.
  auto Patch = [&](const TRect& rect, int32_t dx, int32_t dy) {
    std::vector<uint32_t> px;
    for (int32_t y = rect.Top; y < rect.Bottom; ++y)
      for (int32_t x = rect.Left; x < rect.Right; ++x) px.push_back(picture.GetPixel(x + dx, y + dy));
    return px;
  };
  const TRect gothic_area{4, 4, 4 + made[0]->NaturalWidth(), 4 + made[0]->NaturalHeight()};
  EXPECT_NE(Patch(gothic_area, 0, 0), Patch(gothic_area, 0, 38));
  EXPECT_GT(ink_per_line[0], ink_per_line[4]);
  EXPECT_GT(ink_per_line[1], ink_per_line[5]);
}

// A compiled message text: the UTF-8 lines in code page 932, every character revealed after
// `delay` milliseconds.
std::string MessageText(const std::vector<std::string>& lines, int32_t delay) {
  GlyphListWriter w(kGlyphListVersion);
  w.Decorate({});
  for (size_t l = 0; l < lines.size(); ++l) {
    const std::string sj = plat::Utf8ToCp932(lines[l]);
    for (size_t i = 0; i < sj.size(); ++i) {
      const uint8_t b = uint8_t(sj[i]);
      const bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
      w.Char(lead ? uint16_t(b << 8 | uint8_t(sj[++i])) : b, 0, delay);
    }
    if (l + 1 < lines.size()) w.Return();
  }
  const std::vector<uint8_t> bytes = w.Bytes();
  return std::string(bytes.begin(), bytes.end());
}

// A message window in a test game played by kovarun over the installed fonts. First run, with
// clicks: a text of two pages (Japanese and English) is completed and advanced by clicks, a choice
// of two links is answered, a second text is read, the game saves and recalls the whole history
// into the window. Second run: the game loads the save and goes on as the first did (trace and
// shot alike). Third run, the same clicks as the first: the pages count as read now, from the
// read marks the earlier runs left in the status entry.
TEST_F(KovarunTest, AMessageWindowIsReadByClicksAnsweredByALinkSavedAndRecalled) {
  plat::TFontconfigSource font_source;
  if (!font_source.FindFamily("IPAGothic")) GTEST_SKIP() << "the IPA Gothic font is not installed";
  constexpr int32_t kW = 160, kH = 96;
  constexpr TRect kWindow{8, 8, 152, 48};
  ProjectBuilder p = TestGameProject();
  p.screen_width = kW;
  p.screen_height = kH;
  p.Var(ProjectVariable::Int("runs", 0));  // a status variable: it outlives the runs
  tree.WriteFile("msg/kova.kpb", p.Build());
  tree.WriteFile("msg/install.dat", TestGameInstallSet());
  constexpr int32_t kMesNew = 10;
  const auto mes_prop = [](PageWriter& page, int32_t id, const Operand& v) {
    page.SetProp(Value(S("mes")), Value(I(id)), Value(v));
  };
  const auto step_is = [](int32_t v) { return Compare(ExprBuilder::Equal, V("step"), I(v)); };
  // Waits while "step" is `v`.
  const auto wait_step = [&](PageWriter& page, int32_t v) {
    const int32_t head = page.Next();
    page.While(step_is(v), head + 3);
    page.Indent(1).Wait(NoResult(), Value(I(16)));
    page.Indent(0).WhileLoop(NoResult(), head);
  };
  PageWriter start;
  start.Calc(Step("runs", ExprBuilder::Plus, I(1)));
  start.If(Compare(ExprBuilder::Equal, V("runs"), I(2)));
  start.Indent(1).GameLoad(Value(I(1)));
  start.Wait(NoResult(), Value(I(16)));
  start.Indent(0).VarNew("step", 1, Value(I(0)));
  start.VarNew("done", 1, Value(I(0)));
  start.VarNew("choice", 4, Value(S("")));
  start.VarNew("reads", 1, Value(I(0)));
  start.VarNew("idx", 1, Value(I(0)));
  start.VarNew("cnt", 1, Value(I(0)));
  start.Calc(Assign("@TextDelay", I(20)));
  start.SetProp(Value(S("BASE0")), Value(I(PR_COLOR)), Value(I(0)));
  start.Component(kMesNew, {{PR_NAME, Value(S("mes"))}});
  for (const auto& [id, v] : std::vector<std::pair<int32_t, int32_t>>{{PR_LEFT, kWindow.Left}, {PR_TOP, kWindow.Top},
                                                                      {PR_WIDTH, kWindow.Width()},
                                                                      {PR_HEIGHT, kWindow.Height()},
                                                                      {PR_FONTHEIGHT, 16}, {PR_FONTCOLOR, 0xFFFFFF}}) {
    mes_prop(start, id, I(v));
  }
  mes_prop(start, PR_FONTNAME, S(plat::Utf8ToCp932("ＭＳ ゴシック")));
  mes_prop(start, PR_ONPLAYSTART, S("ps.ksb"));
  mes_prop(start, PR_ONPLAYEND, S("pe.ksb"));
  mes_prop(start, PR_ONLBTNDOWN, S("click.ksb"));
  mes_prop(start, PR_ONLINK, S("link.ksb"));
  start.FormatHist(Value(S("mes")));  // the history lays pages out as the window does
  start.TextIns(MessageText({"こんにちは", "Hello", "世界", "World"}, 40), Value(S("mes")), Yes(), NoResult());
  wait_step(start, 0);
  mes_prop(start, PR_TEXT, S(plat::Utf8ToCp932("<A HREF=\"left\">左 Left</A><BR><A HREF=\"right\">右 Right</A>")));
  wait_step(start, 1);
  start.If(Compare(ExprBuilder::Equal, V("choice"), S("right")));
  start.Indent(1).SetProp(Value(S("BASE0")), Value(I(PR_COLOR)), Value(I(0x400000)));
  start.Indent(0).TextIns(MessageText({"右へ", "Right"}, 40), Value(S("mes")), Yes(), NoResult());
  wait_step(start, 2);
  const int32_t save_at = start.Next();
  start.GameSave(Value(I(1)), "", 0, Value(S("msg")));
  start.CallHist(Value(S("mes")), Value(I(0)), Value(V("@HistoryCount")), No());
  start.Wait(NoResult(), Value(I(300)));
  start.Terminate();
  tree.WriteFile("msg/start.ksb", start.Bytes());

  PageWriter ps;  // the page became current: not done; line 3 runs for a page already read
  ps.Calc(Assign("done", I(0)));
  ExprBuilder read;
  read.Op(ExprBuilder::DimTo, "____0", {V("@ParamStr"), I(0)}).Op(ExprBuilder::Equal, "____1", {V("____0"), S("1")});
  read.Result(V("____1"));
  ps.If(read);
  ps.Indent(1).Calc(Step("reads", ExprBuilder::Plus, I(1)));
  tree.WriteFile("msg/ps.ksb", ps.Bytes());
  PageWriter pe;
  pe.Calc(Assign("done", I(1)));
  tree.WriteFile("msg/pe.ksb", pe.Bytes());
  PageWriter click;  // completes the page being revealed, else shows the next page, else goes on
  click.If(Compare(ExprBuilder::Equal, V("done"), I(0)));
  click.Indent(1).SetProp(Value(S("mes")), Value(I(PR_TEXTDELAY)), Value(I(0)));
  click.Indent(0).Else();
  click.Indent(1).SetProp(Value(S("mes")), Value(I(PR_TEXTDELAY)), Value(I(256)));
  click.GetProp(Value(S("mes")), Value(I(PR_INDEX)), "idx");
  click.GetProp(Value(S("mes")), Value(I(PR_COUNT)), "cnt");
  click.Calc(Step("idx", ExprBuilder::Plus, I(1)));
  click.If(Compare(ExprBuilder::Small, V("idx"), V("cnt")));
  click.Indent(2).SetProp(Value(S("mes")), Value(I(PR_INDEX)), Value(V("idx")));
  click.Indent(1).Else();
  click.Indent(2).Calc(Step("step", ExprBuilder::Plus, I(1)));
  tree.WriteFile("msg/click.ksb", click.Bytes());
  PageWriter link;  // the link's first HREF line is the choice
  ExprBuilder href;
  href.Op(ExprBuilder::DimTo, "____0", {V("@ParamStr"), I(1)}).Op(ExprBuilder::To, "choice", {V("____0")});
  link.Calc(href);
  link.Calc(Step("step", ExprBuilder::Plus, I(1)));
  tree.WriteFile("msg/link.ksb", link.Bytes());

  // Clicks inside the window: complete page 0, show page 1, complete it, go on to the choice;
  // then the link of the second row; then past the second text.
  std::string input;
  const auto click_at = [&](int frame, int32_t x, int32_t y) {
    input += std::to_string(frame) + " move " + std::to_string(x) + " " + std::to_string(y) + "\n";
    input += std::to_string(frame + 1) + " ldown " + std::to_string(x) + " " + std::to_string(y) + "\n";
    input += std::to_string(frame + 2) + " lup " + std::to_string(x) + " " + std::to_string(y) + "\n";
  };
  for (int frame : {12, 30, 48, 66}) click_at(frame, 120, 40);
  click_at(130, kWindow.Left + 4, kWindow.Top + 24);
  click_at(200, 120, 40);
  tree.WriteFile("msg_input.txt", input);

  const auto shot_pixels = [&](const std::string& name) {
    TFileStream file(name, plat::TFileMode::Read);
    TDIBSurface picture;
    ReadPng(file, picture);
    std::vector<uint32_t> pixels;
    for (int32_t y = 0; y < picture.Height(); ++y)
      for (int32_t x = 0; x < picture.Width(); ++x) pixels.push_back(picture.GetPixel(x, y) & 0xFFFFFF);
    return pixels;
  };
  const auto count = [](const std::vector<std::string>& log, const std::string& what) {
    return std::count_if(log.begin(), log.end(), [&](const std::string& l) { return l.size() > 11 && l.substr(11) == what; });
  };
  const auto after = [](const std::vector<std::string>& log, const std::string& mark) {
    std::vector<std::string> lines;
    uint32_t from = 0;
    for (const std::string& line : log) {
      if (line.size() < 11) continue;
      const uint32_t clock = uint32_t(std::stoul(line.substr(0, 8), nullptr, 16));
      if (lines.empty() && line.substr(11) != mark) continue;
      if (lines.empty()) from = clock;
      lines.push_back(std::to_string(clock - from) + " " + line.substr(11));
    }
    return lines;
  };

  const RunResult first = Run({tree.Path("msg"), "--input", tree.Path("msg_input.txt"), "--shot", tree.Path("first.png")});
  ASSERT_EQ(first.status, 0) << first.err;
  ASSERT_NE(first.err.find("terminated"), std::string::npos) << first.err;
  // Each click ran its handler; the link answered "right"; five pages became current (two, the
  // choice, one, the recalled history) and none was read before.
  EXPECT_EQ(count(first.log, "<Event>click.ksb(1)"), 5);
  EXPECT_EQ(count(first.log, "<Event>link.ksb(1)"), 1);
  EXPECT_EQ(count(first.log, "<Event>ps.ksb(1)"), 5);
  EXPECT_EQ(count(first.log, "ps.ksb(3)"), 0);
  const std::vector<uint32_t> picture = shot_pixels(tree.Path("first.png"));
  ASSERT_EQ(picture.size(), size_t(kW * kH));
  // The layer took the colour of the choice; the recalled text has ink inside the window only.
  EXPECT_EQ(picture[0], 0x000040u) << std::hex << picture[0];  // read back red-green-blue
  int32_t inside = 0, outside = 0;
  for (int32_t y = 0; y < kH; ++y) {
    for (int32_t x = 0; x < kW; ++x) {
      const uint32_t px = picture[size_t(x + y * kW)];
      if (px == picture[0]) continue;
      (PointInRect(TPoint{x, y}, kWindow) ? inside : outside)++;
    }
  }
  EXPECT_GT(inside, 100);
  EXPECT_EQ(outside, 0);

  const RunResult second = Run({tree.Path("msg"), "--shot", tree.Path("second.png")});
  ASSERT_EQ(second.status, 0) << second.err;
  std::vector<std::string> after_save = after(first.log, "start.ksb(" + std::to_string(save_at + 1) + ")");
  std::vector<std::string> after_load = after(second.log, "start.ksb(3)");
  ASSERT_GT(after_save.size(), 2u);
  ASSERT_FALSE(after_load.empty());
  after_save.erase(after_save.begin());
  after_load.erase(after_load.begin());
  EXPECT_EQ(after_load, after_save);
  EXPECT_EQ(shot_pixels(tree.Path("second.png")), picture);

  const RunResult third = Run({tree.Path("msg"), "--input", tree.Path("msg_input.txt"), "--shot", tree.Path("third.png")});
  ASSERT_EQ(third.status, 0) << third.err;
  // The two pages of the first text and the one of the second were read in the first run.
  EXPECT_EQ(count(third.log, "ps.ksb(3)"), 3);
  EXPECT_EQ(shot_pixels(tree.Path("third.png")), picture);
}

// Plays the demo game (written once by kovademo) through recorded input: each
// Play runs it from the start for the frames asked and gives the picture it
// ends with and the trace.
class DemoPlayTest : public KovarunTest {
 protected:
  struct Played {
    RunResult run;
    TDIBSurface picture;
    uint32_t Rgb(int32_t x, int32_t y) const { return picture.GetPixel(x, y) & 0xFFFFFF; }
    // The times (milliseconds of game clock) at which the handler page ran as
    // an event.
    std::vector<int64_t> EventTimes(const std::string& page) const {
      std::vector<int64_t> times;
      for (const std::string& line : run.log) {
        if (line.size() > 11 && line.substr(11) == "<Event>" + page + "(1)") {
          times.push_back(std::stoll(line.substr(0, 8), nullptr, 16));
        }
      }
      return times;
    }
  };

  void SetUp() override {
    folder = tree.Path("demo");
    ASSERT_EQ(Run(KOVADEMO_PATH, {folder}, false).status, 0);
  }
  void Click(int frame, int32_t x, int32_t y) {
    for (const char* kind : {"move", "ldown", "lup"}) {
      input << frame++ << " " << kind << " " << x << " " << y << "\n";
    }
  }
  void Click(int frame, const test::demo::Rect& r) { Click(frame, r.CentreX(), r.CentreY()); }
  void Key(int frame, int32_t vk) {
    input << frame << " keydown " << vk << "\n" << frame + 1 << " keyup " << vk << "\n";
  }
  void Line(const std::string& line) { input << line << "\n"; }
  Played Play(int frames) {
    tree.WriteFile("demo_input.txt", input.str());
    const std::string shot = tree.Path("demo.png");
    std::remove(shot.c_str());
    Played p;
    p.run = Run({folder, "--input", tree.Path("demo_input.txt"), "--frames", std::to_string(frames), "--shot", shot});
    EXPECT_EQ(p.run.status, 0) << p.run.err;
    TFileStream file(shot, plat::TFileMode::Read);
    ReadPng(file, p.picture);
    return p;
  }

  std::string folder;
  std::ostringstream input;
};

namespace demo = test::demo;

// The screen's pixels are of fewer bits than the colours named: a pixel shows a
// colour when each channel is within 8 of it.
bool Near(uint32_t px, uint32_t rgb) {
  for (int shift : {0, 8, 16}) {
    if (std::abs(int32_t(px >> shift & 0xFF) - int32_t(rgb >> shift & 0xFF)) > 8) return false;
  }
  return true;
}

// The rows of the message window that hold text (white or link pixels), as
// pixel rows.
std::vector<std::vector<uint32_t>> TextRows(const TDIBSurface& picture) {
  const demo::Rect& w = demo::kMessageWindow;
  std::vector<std::vector<uint32_t>> rows;
  bool seen = false;
  for (int32_t y = w.top; y < w.bottom; ++y) {
    std::vector<uint32_t> row;
    bool text = false;
    for (int32_t x = w.left; x < w.right; ++x) {
      row.push_back(picture.GetPixel(x, y) & 0xFFFFFF);
      text = text || !Near(row.back(), demo::kSceneColour);
    }
    seen = seen || text;
    if (seen) rows.push_back(std::move(row));
  }
  while (!rows.empty() && std::all_of(rows.back().begin(), rows.back().end(),
                                      [](uint32_t px) { return Near(px, demo::kSceneColour); })) {
    rows.pop_back();
  }
  return rows;
}

// Whether the window of `picture` shows the text rows `rows` at some height.
bool WindowShows(const TDIBSurface& picture, const std::vector<std::vector<uint32_t>>& rows) {
  const demo::Rect& w = demo::kMessageWindow;
  for (int32_t top = w.top; top + int32_t(rows.size()) <= w.bottom; ++top) {
    bool same = true;
    for (size_t i = 0; same && i < rows.size(); ++i) {
      for (int32_t x = w.left; same && x < w.right; ++x) {
        same = (picture.GetPixel(x, top + int32_t(i)) & 0xFFFFFF) == rows[i][size_t(x - w.left)];
      }
    }
    if (same) return true;
  }
  return false;
}

int32_t CountInWindow(const TDIBSurface& picture, uint32_t rgb) {
  const demo::Rect& w = demo::kMessageWindow;
  int32_t n = 0;
  for (int32_t y = w.top; y < w.bottom; ++y) {
    for (int32_t x = w.left; x < w.right; ++x) n += Near(picture.GetPixel(x, y), rgb);
  }
  return n;
}

// The demo game's story, played by the keys, the mouse and the wheel: Enter
// completes a page and goes on; History shows the page just read (the newest
// text) and a click there goes back to that page without moving the story on;
// Enter then goes on to the choice; the wheel opens the history over the
// choice, Escape closes it and then goes back to the title.
TEST_F(DemoPlayTest, TheStoryIsReadByKeysAndTheHistoryShowsTheNewestText) {
  plat::TFontconfigSource font_source;
  if (!font_source.FindFamily("IPAGothic")) GTEST_SKIP() << "the IPA Gothic font is not installed";
  const demo::Rect& w = demo::kMessageWindow;
  Click(10, demo::kStartButton);
  Key(40, demo::kKeyEnter);  // the first page whole
  Key(70, demo::kKeySpace);  // the second page (the road)
  Key(90, demo::kKeyEnter);  // ... whole
  const Played road = Play(200);
  EXPECT_EQ(road.EventTimes("on_mes_key.ksb").size(), 3u);
  const auto road_rows = TextRows(road.picture);
  ASSERT_GT(road_rows.size(), size_t(demo::kMessageFontHeight / 2));  // the road's line
  // White text in the window only.
  int32_t inside = 0, outside = 0;
  for (int32_t y = 0; y < demo::kHeight; ++y) {
    for (int32_t x = 0; x < demo::kWidth; ++x) {
      if (!Near(road.Rgb(x, y), 0xFFFFFF)) continue;
      (y >= w.top && y < w.bottom && x >= w.left && x < w.right ? inside : outside)++;
    }
  }
  EXPECT_GT(inside, 200);
  EXPECT_EQ(outside, 0);

  Click(210, demo::kHistoryButton);
  const Played history = Play(260);
  EXPECT_EQ(history.EventTimes("on_history.ksb").size(), 1u);
  EXPECT_TRUE(WindowShows(history.picture, road_rows)) << "the page just read is not in the history";
  EXPECT_GT(TextRows(history.picture).size(),
            road_rows.size());  // with the first page above it

  Click(270, w.right - 20, w.bottom - 10);
  const Played back = Play(300);
  EXPECT_TRUE(TextRows(back.picture) == road_rows);  // the road again, not the choice

  Key(310, demo::kKeyEnter);
  const Played choice = Play(420);
  EXPECT_GT(CountInWindow(choice.picture, demo::kLinkColour), 100);
  EXPECT_EQ(CountInWindow(choice.picture, 0xFFFFFF), 0);

  Line("430 move " + std::to_string(w.CentreX()) + " " + std::to_string(w.CentreY()));
  Line("431 wheelup");
  const Played wheel = Play(460);
  EXPECT_EQ(wheel.EventTimes("on_mes_wheelup.ksb").size(), 1u);
  EXPECT_TRUE(WindowShows(wheel.picture, road_rows));

  Key(470, demo::kKeyEscape);
  const Played closed = Play(500);
  EXPECT_GT(CountInWindow(closed.picture, demo::kLinkColour), 100);
  EXPECT_EQ(CountInWindow(closed.picture, 0xFFFFFF), 0);

  Key(510, demo::kKeyEscape);
  const Played title = Play(540);
  EXPECT_EQ(title.Rgb(10, 10), demo::kTitleColour);
}

// The title's film loops: its panel swings between its two colours and the square runs round
// it; after kTitleFilmTicks ticks (4000 ms, the 252nd frame: two frames' wait, then 16 ms a
// frame) both are back where they started.
TEST_F(DemoPlayTest, TheTitleFilmLoopsItsPanelAndItsSquare) {
  const demo::Rect& f = demo::kTitleFilm;
  const int32_t px = f.left + 100, py = f.top + 140;  // on the panel, off the square's path
  auto between = [](uint32_t rgb) {
    for (int shift : {0, 8, 16}) {
      const int32_t a = int32_t(demo::kTitleFilmPanel[0] >> shift & 0xFF);
      const int32_t b = int32_t(demo::kTitleFilmPanel[1] >> shift & 0xFF);
      const int32_t v = int32_t(rgb >> shift & 0xFF);
      if (v < std::min(a, b) - 8 || v > std::max(a, b) + 8) return false;
    }
    return true;
  };
  const Played early = Play(40);
  const Played later = Play(120);
  EXPECT_TRUE(between(early.Rgb(px, py))) << std::hex << early.Rgb(px, py);
  EXPECT_TRUE(between(later.Rgb(px, py))) << std::hex << later.Rgb(px, py);
  EXPECT_NE(early.Rgb(px, py), later.Rgb(px, py));
  EXPECT_NE(early.Rgb(px, py), demo::kTitleColour);
  // Outside the film the title's colour shows.
  EXPECT_EQ(early.Rgb(f.left - 2, py), demo::kTitleColour);
  const Played looped = Play(252);
  EXPECT_TRUE(Near(looped.Rgb(px, py), demo::kTitleFilmPanel[0])) << std::hex << looped.Rgb(px, py);
  EXPECT_TRUE(Near(looped.Rgb(f.left + 20, f.top + 20), demo::kTitleFilmSquare));
}

// The bands of rows of `r` that hold ink (pixels away from `background`), as
// [top, bottom) pairs, and the columns that hold ink.
struct Ink {
  std::vector<std::pair<int32_t, int32_t>> bands;
  int32_t left = INT32_MAX, right = INT32_MIN;
  int32_t Width() const { return right - left; }
};
Ink InkIn(const TDIBSurface& picture, const demo::Rect& r, uint32_t background) {
  Ink ink;
  bool in_band = false;
  for (int32_t y = r.top; y < r.bottom; ++y) {
    bool row = false;
    for (int32_t x = r.left; x < r.right; ++x) {
      if (Near(picture.GetPixel(x, y) & 0xFFFFFF, background)) continue;
      row = true;
      ink.left = std::min(ink.left, x);
      ink.right = std::max(ink.right, x + 1);
    }
    if (row && !in_band) ink.bands.emplace_back(y, y + 1);
    if (row) ink.bands.back().second = y + 1;
    in_band = row;
  }
  return ink;
}

std::vector<uint32_t> PixelsIn(const TDIBSurface& picture, const demo::Rect& r) {
  std::vector<uint32_t> pixels;
  for (int32_t y = r.top; y < r.bottom; ++y) {
    for (int32_t x = r.left; x < r.right; ++x) pixels.push_back(picture.GetPixel(x, y) & 0xFFFFFF);
  }
  return pixels;
}

// The story's English lines show in a caption over the message window, drawn
// proportionally, and follow the page: the opening's two lines, the road's one,
// the choice's two; the window holds the Japanese lines alone. The caption
// hides while the history shows and comes back with the page, a load brings
// back the one of the page saved, and the title shows none.
TEST_F(DemoPlayTest, TheEnglishLinesFollowThePageInACaptionOverTheWindow) {
  plat::TFontconfigSource font_source;
  if (!font_source.FindFamily("IPAGothic")) GTEST_SKIP() << "the IPA Gothic font is not installed";
  const demo::Rect& w = demo::kMessageWindow;
  const demo::Rect& e = demo::kEnglishCaption;
  const auto caption = [&](const Played& p) { return InkIn(p.picture, e, demo::kSceneColour); };
  Click(10, demo::kStartButton);
  Key(40, demo::kKeyEnter);  // the opening whole
  const Played opening = Play(60);
  ASSERT_EQ(caption(opening).bands.size(), 2u);
  EXPECT_EQ(InkIn(opening.picture, w, demo::kSceneColour).bands.size(), 2u)
      << "the window holds more than the two Japanese lines";
  // "Welcome to the world of Kova." in far less than square cells of its
  // height.
  EXPECT_LT(caption(opening).Width(), 29 * demo::kEnglishFontHeight * 2 / 3);
  EXPECT_GT(CountInWindow(opening.picture, 0xFFFFFF), 100);
  const std::vector<uint32_t> opening_caption = PixelsIn(opening.picture, e);

  Click(130, demo::kSaveButton);
  Click(150, w.CentreX(), w.CentreY());  // the road
  Click(170, w.CentreX(), w.CentreY());  // ... whole
  const Played road = Play(190);
  EXPECT_EQ(caption(road).bands.size(), 1u);
  EXPECT_EQ(InkIn(road.picture, w, demo::kSceneColour).bands.size(), 1u);
  const std::vector<uint32_t> road_caption = PixelsIn(road.picture, e);

  Click(200, demo::kHistoryButton);
  const Played history = Play(230);
  EXPECT_GT(CountInWindow(history.picture, 0xFFFFFF), 100);
  EXPECT_TRUE(caption(history).bands.empty()) << "the caption shows over the history";

  Click(240, w.CentreX(), w.CentreY());  // back to the road
  const Played back = Play(260);
  EXPECT_EQ(PixelsIn(back.picture, e), road_caption);

  Click(270, w.CentreX(), w.CentreY());  // the choice
  const Played choice = Play(290);
  EXPECT_EQ(caption(choice).bands.size(), 2u);
  EXPECT_NE(PixelsIn(choice.picture, e), opening_caption);

  Click(300, demo::kLoadButton);
  const Played loaded = Play(320);
  EXPECT_EQ(PixelsIn(loaded.picture, e), opening_caption);

  Click(330, demo::kBackButton);
  const Played title = Play(350);
  EXPECT_EQ(title.Rgb(10, 10), demo::kTitleColour);
  EXPECT_TRUE(InkIn(title.picture, e, demo::kTitleColour).bands.empty());
}

// The text speed of the settings screen decides how long the story's first page
// takes to reveal: the keys choose it from the first press (Down one step
// faster, Up one slower), the menu by the mouse, and the first Left press
// lowers the volume one step.
TEST_F(DemoPlayTest, TheTextSpeedSetsTheRevealTimeAndTheFirstKeyPressCounts) {
  struct Case {
    const char* name;
    int32_t key;    // pressed once on the settings screen, or 0
    int32_t item;   // the menu item clicked, or -1
    int32_t delay;  // the "@TextDelay" it gives
  };
  const Case cases[] = {{"normal", 0, -1, demo::kTextDelays[1]},
                        {"down", demo::kKeyDown, -1, demo::kTextDelays[2]},
                        {"up", demo::kKeyUp, -1, demo::kTextDelays[0]},
                        {"menu", 0, 2, demo::kTextDelays[2]}};
  std::map<std::string, int64_t> reveal;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    input.str("");
    Click(3, demo::kSettingsButton);
    if (c.key) Key(20, c.key);
    if (c.item >= 0) Click(20, demo::kSpeedLeft + 30, demo::SpeedItemCentreY(c.item));
    Key(30, demo::kKeyLeft);
    Click(40, demo::kDoneButton);
    Click(60, demo::kStartButton);
    const Played p = Play(700);
    const std::vector<int64_t> start = p.EventTimes("on_mes_start.ksb"), end = p.EventTimes("on_mes_end.ksb");
    ASSERT_EQ(start.size(), 1u);
    ASSERT_EQ(end.size(), 1u);
    reveal[c.name] = end[0] - start[0];
    // 23 characters, each costing the speed's delay.
    EXPECT_NEAR(double(reveal[c.name]), 23.0 * c.delay, 23.0 * c.delay / 8 + 50);
    if (c.key) {
      EXPECT_EQ(p.EventTimes("on_settings_key.ksb").size(), 2u);
    }
  }
  // The volume, one step down: the thumb left of the track's end.
  input.str("");
  Click(3, demo::kSettingsButton);
  Key(20, demo::kKeyLeft);
  const Played volume = Play(30);
  const int32_t track_y = demo::kTrackTop + demo::kTrackHeight / 2;
  EXPECT_EQ(volume.Rgb(demo::ThumbLeft(demo::kVolumeMax - demo::kVolumeStep) + 2, track_y), demo::kThumbColours[0]);
  EXPECT_NE(volume.Rgb(demo::ThumbLeft(demo::kVolumeMax - demo::kVolumeStep) + demo::kThumbWidth + 2, track_y),
            demo::kThumbColours[0]);
}

// Save and Load leave a notice by the buttons for a while; a load goes on
// through the save's resume page, so its notice is the load's.
TEST_F(DemoPlayTest, SaveAndLoadLeaveANotice) {
  const demo::Rect& n = demo::kNotice;
  const auto notice = [&](const Played& p) {
    std::vector<uint32_t> pixels;
    int32_t lit = 0;
    for (int32_t y = n.top; y < n.bottom; ++y) {
      for (int32_t x = n.left; x < n.right; ++x) {
        pixels.push_back(p.Rgb(x, y));
        lit += Near(pixels.back(), demo::kNoticeColour);
      }
    }
    return std::pair{lit, pixels};
  };
  Click(10, demo::kStartButton);
  const auto none = notice(Play(30));
  EXPECT_EQ(none.first, 0);
  Click(30, demo::kLoadButton);  // nothing saved yet
  const auto nothing = notice(Play(45));
  EXPECT_GT(nothing.first, 20);
  Click(50, demo::kSaveButton);
  const Played saved_run = Play(65);
  const auto saved = notice(saved_run);
  EXPECT_GT(saved.first, 20);
  EXPECT_NE(saved.second, nothing.second);
  Click(70, demo::kLoadButton);
  const Played loaded_run = Play(90);
  const auto loaded = notice(loaded_run);
  EXPECT_GT(loaded.first, 20);
  EXPECT_NE(loaded.second, saved.second);
  EXPECT_NE(loaded.second, nothing.second);
  EXPECT_TRUE(std::any_of(loaded_run.run.log.begin(), loaded_run.run.log.end(),
                          [](const std::string& l) { return l.ends_with(" : on_loaded.ksb(1)"); }));
  // ... and goes again.
  EXPECT_EQ(notice(Play(90 + demo::kNoticeFrames + 10)).first, 0);
}

}  // namespace
}  // namespace kova::test

namespace kova::test {
namespace {

// The hostile reproducers end at once: a 4 MiB string set as a message window's
// text or a caption is refused with the system's error, and a 1.3 KB
// tab-separated text loaded into a table leaves a small save.
TEST_F(KovarunTest, HugeTextsAndWideTablesEndQuicklyWithBoundedCosts) {
  const std::string message = MsgTextUtf8(TMsg::TextTooLong);
  const std::string too_long = message.substr(0, message.find(" ("));
  for (const uint8_t command : {uint8_t(10), uint8_t(24)}) {  // a message window, a label
    SCOPED_TRACE(int(command));
    const std::string folder = "text" + std::to_string(command);
    tree.WriteFile(folder + "/kova.kpb", TestGameProject().Build());
    tree.WriteFile(folder + "/install.dat", TestGameInstallSet());
    tree.WriteFile(folder + "/start.ksb", LongTextPage(command, 22).Bytes());
    const RunResult r = Run({tree.Path(folder), "--frames", "10"});
    // The error is shown as the script's error and the page goes on to its end.
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find(too_long), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("terminated"), std::string::npos) << r.err;
  }

  tree.WriteFile("tsv/kova.kpb", TestGameProject().Build());
  tree.WriteFile("tsv/install.dat", TestGameInstallSet());
  tree.WriteFile("tsv/items.tsv", WideTsv());
  tree.WriteFile("tsv/start.ksb", TsvSavePage("items.tsv").Bytes());
  const RunResult r = Run({tree.Path("tsv"), "--frames", "10"});
  EXPECT_EQ(r.status, 0) << r.err;
  const std::vector<uint8_t> save = GameTree::ReadHostFile(tree.Path("tsv/save.dat"));
  EXPECT_FALSE(save.empty());
  EXPECT_LT(save.size(), size_t(256) << 10);
}

// Many boxes and deep chains: twenty thousand boxes are made and drawn in one run; a chain of
// boxes deeper than the scene allows stops at the limit with the system's error.
TEST_F(KovarunTest, ManyBoxesAndDeepChainsEndQuickly) {
  GameTree tree;
  tree.WriteFile("boxes/kova.kpb", TestGameProject().Build());
  tree.WriteFile("boxes/install.dat", TestGameInstallSet());
  tree.WriteFile("boxes/start.ksb", BoxesPage(20000, false).Bytes());
  RunResult r = Run({tree.Path("boxes"), "--frames", "100"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("terminated"), std::string::npos) << r.err;

  const std::string message = MsgTextUtf8(TMsg::TreeTooDeep);
  tree.WriteFile("chain/kova.kpb", TestGameProject().Build());
  tree.WriteFile("chain/install.dat", TestGameInstallSet());
  tree.WriteFile("chain/start.ksb", BoxesPage(5000, true).Bytes());
  r = Run({tree.Path("chain"), "--frames", "100"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find(message.substr(0, message.find(" ("))), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("terminated"), std::string::npos) << r.err;
}

}  // namespace
}  // namespace kova::test
