// The helper programs never destroy data: kvarc extract writes beside its output and refuses the
// archive itself, kvarc pack follows no link, writes no entry it cannot read and leaves other
// files alone, kvarc list shows no raw control bytes, kovademo replaces its output whole.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "core/archive.h"
#include "support/run_program.h"
#include "support/archive_builder.h"


namespace kova::test {
namespace {

namespace fs = std::filesystem;

struct RunResult {
  int status = -1;
  std::string out;
  std::string err;
};

class ToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "kova-tools-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }

  std::string Path(const std::string& name) const { return dir_ + "/" + name; }

  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }
  static void Write(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
  }
  void WriteArchive(const std::string& path, const ArchiveBuilder& b) {
    const std::vector<uint8_t> bytes = b.Build();
    Write(path, std::string(bytes.begin(), bytes.end()));
  }
  // The names in the folder, sorted.
  std::vector<std::string> Names(const std::string& folder = "") const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder.empty() ? dir_ : folder)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

  RunResult Run(const char* program, std::vector<std::string> args) {
    const std::string out_path = dir_ + ".out", err_path = dir_ + ".err";
    RunResult r;
    r.status = RunProgram(program, args, out_path, err_path);
    r.out = Read(out_path);
    r.err = Read(err_path);
    ::unlink(out_path.c_str());
    ::unlink(err_path.c_str());
    return r;
  }

  std::string dir_;
};

ArchiveBuilder TwoEntries() {
  ArchiveBuilder b(102);
  b.Add("start.ksb", "the start page", false);
  b.Add("bad.ksb", "stored bytes", false);
  b.OverrideData(1, {0x78, 0x9C, 0xFF, 0xFF, 0xFF});  // zlib header, then damage
  return b;
}

TEST_F(ToolTest, ExtractNeverWritesOverTheArchiveOrKeepsHalfAnEntry) {
  // The archive's directory in "s.ext" beside its data in "s.dat".
  const std::string arc = Path("s.dat");
  const std::vector<uint8_t> dir = TwoEntries().BuildExtDirectory(), data = TwoEntries().BuildExtData();
  Write(Path("s.ext"), std::string(dir.begin(), dir.end()));
  Write(arc, std::string(data.begin(), data.end()));
  const std::string original = Read(arc);
  ASSERT_EQ(::symlink(arc.c_str(), Path("link.ksb").c_str()), 0);

  for (const std::string& out : {arc, Path("link.ksb"), Path("s.ext")}) {
    const RunResult r = Run(KVARC_PATH, {"extract", arc, "start.ksb", out});
    EXPECT_EQ(r.status, 1) << out;
    EXPECT_NE(r.err.find("is the archive itself"), std::string::npos) << r.err;
  }
  EXPECT_EQ(Read(arc), original);
  EXPECT_EQ(Read(Path("s.ext")), std::string(dir.begin(), dir.end()));

  // A corrupt entry leaves an existing output as it was, and nothing beside it.
  Write(Path("out.ksb"), "precious");
  const RunResult bad = Run(KVARC_PATH, {"extract", arc, "bad.ksb", Path("out.ksb")});
  EXPECT_EQ(bad.status, 1);
  EXPECT_EQ(Read(Path("out.ksb")), "precious");
  EXPECT_EQ(Names(), (std::vector<std::string>{"link.ksb", "out.ksb", "s.dat", "s.ext"}));

  const RunResult good = Run(KVARC_PATH, {"extract", arc, "start.ksb", Path("out.ksb")});
  EXPECT_EQ(good.status, 0) << good.err;
  EXPECT_EQ(Read(Path("out.ksb")), "the start page");
}

TEST_F(ToolTest, PackFollowsNoLinkAndLeavesOtherFilesAlone) {
  fs::create_directories(Path("game/sub"));
  fs::create_directories(Path("outside"));
  Write(Path("game/a.txt"), "alpha");
  Write(Path("game/sub/b.txt"), "beta");
  Write(Path("outside/secret"), "secret");
  ASSERT_EQ(::symlink(Path("outside/secret").c_str(), Path("game/file-link").c_str()), 0);
  ASSERT_EQ(::symlink(Path("outside").c_str(), Path("game/folder-link").c_str()), 0);
  ASSERT_EQ(::symlink(Path("game/loop").c_str(), Path("game/loop").c_str()), 0);
  Write(Path("OUT.001"), "someone else's");
  Write(Path("OUT.002"), "and this");

  const RunResult r = Run(KVARC_PATH, {"pack", Path("OUT.dat"), Path("game")});
  ASSERT_EQ(r.status, 0) << r.err;
  for (const char* link : {"file-link", "folder-link", "loop"})
    EXPECT_NE(r.err.find(std::string(link) + ": symbolic link skipped"), std::string::npos) << r.err;
  EXPECT_EQ(Read(Path("OUT.001")), "someone else's");
  EXPECT_EQ(Read(Path("OUT.002")), "and this");

  TVrFileCollection packed;
  packed.OpenEx(Path("OUT.dat"), true);
  std::vector<std::string> names;
  for (int32_t i = 0; i < packed.EntryCount(); ++i) names.push_back(packed.Files(i)->Name());
  EXPECT_EQ(names, (std::vector<std::string>{"a.txt", "sub\\b.txt"}));
}

TEST_F(ToolTest, PackRefusesAFileItCannotReadBackByItsGameName) {
  fs::create_directories(Path("game"));
  Write(Path("game/a.txt"), "alpha");
  Write(Path("game/back\\slash.txt"), "a host name with the game's folder delimiter");
  const RunResult r = Run(KVARC_PATH, {"pack", Path("OUT.dat"), Path("game")});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("cannot be found again"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(Path("OUT.dat")));
}

TEST_F(ToolTest, ListEscapesControlBytes) {
  ArchiveBuilder b(102);
  b.Add("a\x1b[31m\x07z\x82\xA0\xFF.txt", "x", true);
  WriteArchive(Path("s.dat"), b);
  const RunResult r = Run(KVARC_PATH, {"list", Path("s.dat")});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out.substr(0, r.out.find('\t')), "a\\x1b[31m\\x07z\x82\xA0\\xff.txt");
}

TEST_F(ToolTest, KovademoReplacesItsOutputWhole) {
  fs::create_directories(Path("demo"));
  Write(Path("elsewhere"), "not the demo");
  ASSERT_EQ(::symlink(Path("elsewhere").c_str(), Path("demo/game.dat").c_str()), 0);
  const RunResult r = Run(KOVADEMO_PATH, {Path("demo")});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Read(Path("elsewhere")), "not the demo");
  struct stat st {};
  ASSERT_EQ(::lstat(Path("demo/game.dat").c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
  EXPECT_EQ(Names(Path("demo")), std::vector<std::string>{"game.dat"});
  TVrFileCollection demo;
  demo.OpenEx(Path("demo/game.dat"), true);
  EXPECT_GE(demo.EntryCount(), 3);  // the project file, the install set, the start page
}

}  // namespace
}  // namespace kova::test
