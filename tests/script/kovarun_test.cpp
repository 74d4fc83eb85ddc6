// Runs the kovarun program on game folders built by the test writers, as a person checking a game
// would: the exit status, the messages on standard error and the trace written with --log.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/messages.h"
#include "core/stream.h"
#include "graphics/pictures/png_loader.h"
#include "script/test_game.h"

extern char** environ;

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
  RunResult Run(std::vector<std::string> args, bool keep_log = false) {
    const std::string err_path = tree.Path("stderr.txt");
    const std::string log_path = tree.Path("trace.txt");
    if (!keep_log) std::remove(log_path.c_str());
    args.insert(args.begin(), KOVARUN_PATH);
    args.push_back("--log");
    args.push_back(log_path);
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    RunResult result;
    const int rc = posix_spawn(&pid, KOVARUN_PATH, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    EXPECT_EQ(rc, 0);
    if (rc != 0) return result;
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFEXITED(status)) result.status = WEXITSTATUS(status);
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

}  // namespace
}  // namespace kova::test
