// Every program built to bin/ answers --help and -h with its usage on standard output and refuses
// an unknown option with its usage on standard error, and neither writes anything: each runs in
// an empty folder of its own, which stays empty.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace kova::test {
namespace {

namespace fs = std::filesystem;

struct RunResult {
  int status = -1;  // the exit status; -1 when the program did not exit by itself
  std::string out;
  std::string err;
};

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

// Runs `program` with `args` in `folder`, headless, its output kept beside the folder.
RunResult RunIn(const std::string& folder, const std::string& program, const std::vector<std::string>& args) {
  std::vector<std::string> all{program};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> env_text{"SDL_VIDEODRIVER=dummy", "SDL_AUDIODRIVER=dummy",
                                    "XDG_RUNTIME_DIR=" + folder + ".run"};
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    if (!entry.starts_with("SDL_VIDEODRIVER=") && !entry.starts_with("SDL_AUDIODRIVER=") &&
        !entry.starts_with("XDG_RUNTIME_DIR=") && !entry.starts_with("DISPLAY=")) {
      env_text.push_back(entry);
    }
  }
  std::vector<char*> envp;
  for (std::string& e : env_text) envp.push_back(e.data());
  envp.push_back(nullptr);
  fs::create_directories(folder + ".run");
  const std::string out_path = folder + ".out", err_path = folder + ".err";
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
  pid_t pid = 0;
  RunResult r;
  const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return r;
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (WIFEXITED(status)) r.status = WEXITSTATUS(status);
  r.out = ReadFile(out_path);
  r.err = ReadFile(err_path);
  return r;
}

class ProgramOptionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "kova-options-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    std::error_code ec;
    for (const char* tail : {"", ".run", ".out", ".err"}) fs::remove_all(dir_ + tail, ec);
  }

  // The programs, each with a command line that would do work were its option not refused.
  struct Program {
    std::string path;
    std::vector<std::string> work;  // arguments placed after the option
  };
  static std::vector<Program> Programs() {
    std::vector<Program> programs = {{KOVADEMO_PATH, {}}, {KOVARUN_PATH, {"game"}}, {KVARC_PATH, {"pack", "out", "."}}};
#ifdef KOVAPLAYER_PATH
    programs.push_back({KOVAPLAYER_PATH, {"game"}});
#endif
#ifdef REPLAY_PATH
    programs.push_back({REPLAY_PATH, {"."}});
#endif
    return programs;
  }

  std::vector<std::string> Written() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir_)) names.push_back(e.path().filename());
    return names;
  }

  std::string dir_;
};

TEST_F(ProgramOptionsTest, HelpGoesToStandardOutputAndWritesNothing) {
  for (const Program& p : Programs()) {
    for (const std::vector<std::string>& args : {std::vector<std::string>{"--help"}, std::vector<std::string>{"-h"}}) {
      std::vector<std::string> line = args;
      line.insert(line.end(), p.work.begin(), p.work.end());
      const RunResult r = RunIn(dir_, p.path, line);
      const std::string what = fs::path(p.path).filename().string() + " " + args.front();
      EXPECT_EQ(r.status, 0) << what << "\n" << r.err;
      EXPECT_TRUE(r.out.starts_with("usage: ")) << what << "\n" << r.out;
      EXPECT_EQ(r.err, "") << what;
      EXPECT_TRUE(Written().empty()) << what << ": wrote " << testing::PrintToString(Written());
    }
  }
}

TEST_F(ProgramOptionsTest, AnUnknownOptionIsRefusedWithTheUsageOnStandardError) {
  for (const Program& p : Programs()) {
    for (const char* option : {"--bogus", "-x", "-"}) {
      std::vector<std::string> line{option};
      line.insert(line.end(), p.work.begin(), p.work.end());
      const RunResult r = RunIn(dir_, p.path, line);
      const std::string what = fs::path(p.path).filename().string() + " " + option;
      EXPECT_EQ(r.status, 2) << what << "\n" << r.err;
      EXPECT_EQ(r.out, "") << what;
      EXPECT_NE(r.err.find("usage: "), std::string::npos) << what << "\n" << r.err;
      EXPECT_TRUE(Written().empty()) << what << ": wrote " << testing::PrintToString(Written());
    }
  }
}

// "--" ends the options: a folder whose name starts with "-" can still be given.
TEST_F(ProgramOptionsTest, AFolderNamedLikeAnOptionAfterTheEndOfTheOptions) {
  const RunResult r = RunIn(dir_, KOVADEMO_PATH, {"--", "-demo"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::is_regular_file(dir_ + "/-demo/game.dat"));
}

}  // namespace
}  // namespace kova::test
