// Whole-process script speed: kovarun against lua5.4 on the same loop.
//
// The game is written with the test suite's writers: a project whose start page counts a While
// loop to 10^7 (WhileInit i := 0; While i < N; Calc n := n + 1; WhileLoop i := i + 1) and then
// terminates. BM_Kovarun_WhileLoop runs the kovarun program of this build folder on it, start-up
// and shut-down included; BM_Lua_WhileLoop_Globals and _Locals run lua5.4 on the same loop with
// global and with local variables. Each iteration is one whole process, timed on the wall clock.
//
// With KOVA_BENCH_LOOP_GAME set to a folder, the game is written there and kept (to run kovarun
// under a profiler). With KOVA_BENCH_OTHER_KOVARUN set to the path of another kovarun (an older build, say),
// BM_Kovarun_WhileLoop_Other runs that one on the same game, so two builds compare in one run.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/expr_builder.h"
#include "support/install_set_builder.h"
#include "support/page_writer.h"
#include "support/project_writer.h"

extern char** environ;

namespace kova {
namespace {

using test::ExprBuilder;
using test::I;
using test::V;

constexpr int32_t kLoopCount = 10000000;

std::string ProgramFolder() {
  std::error_code ec;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
  return ec ? std::string(".") : self.parent_path().string();
}

void WriteBytes(const std::filesystem::path& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// The game folder with the loop page, written once for the whole run.
class TLoopGame {
 public:
  TLoopGame() {
    if (const char* keep = std::getenv("KOVA_BENCH_LOOP_GAME"); keep && *keep) {
      std::filesystem::create_directories(keep);
      folder_ = keep;
      keep_ = true;
    } else {
      const char* tmp = std::getenv("TMPDIR");
      std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/kova-loop-XXXXXX";
      folder_ = ::mkdtemp(pattern.data()) ? pattern : std::string();
    }
    if (folder_.empty()) return;
    WriteBytes(std::filesystem::path(folder_) / "kova.kpb", test::ProjectBuilder().Build());
    test::InstallSetBuilder install;
    install.game_key = "KOVA-BENCH-LOOP";
    install.complete = 1;
    WriteBytes(std::filesystem::path(folder_) / "install.dat", install.Build());
    test::PageWriter page;
    page.VarNew("i", 1, test::NoResult()).VarNew("n", 1, test::NoResult());
    const int32_t head = page.Next() + 1;
    page.WhileInit(test::Assign("i", I(0)));
    page.While(test::Compare(ExprBuilder::Small, V("i"), I(kLoopCount)), head + 3);
    page.Calc(test::Step("n", ExprBuilder::Plus, I(1)));
    page.WhileLoop(test::Step("i", ExprBuilder::Plus, I(1)), head);
    page.Terminate();
    WriteBytes(std::filesystem::path(folder_) / "start.ksb", page.Bytes());
  }
  ~TLoopGame() {
    if (!folder_.empty() && !keep_) std::filesystem::remove_all(folder_);
  }
  const std::string& Folder() const { return folder_; }

 private:
  std::string folder_;
  bool keep_ = false;
};

const TLoopGame& LoopGame() {
  static const TLoopGame game;
  return game;
}

// Runs the program with its output thrown away; the wall time in seconds, or -1 when it could
// not run or failed.
double RunProcess(const std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return -1;
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid) return -1;
  const auto end = std::chrono::steady_clock::now();
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return std::chrono::duration<double>(end - start).count();
}

void TimeProcess(benchmark::State& state, const std::vector<std::string>& args) {
  double total = 0;
  for (auto _ : state) {
    const double seconds = RunProcess(args);
    if (seconds < 0) {
      state.SkipWithError((args[0] + " failed").c_str());
      return;
    }
    state.SetIterationTime(seconds);
    total += seconds;
  }
  // Nanoseconds per loop turn, start-up included.
  state.counters["ns_per_turn"] = total * 1e9 / (double(state.iterations()) * kLoopCount);
}

void BM_Kovarun_WhileLoop(benchmark::State& state) {
  const std::string& folder = LoopGame().Folder();
  TimeProcess(state, {ProgramFolder() + "/kovarun", folder, "--frames", "100000"});
}
BENCHMARK(BM_Kovarun_WhileLoop)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

void BM_Kovarun_WhileLoop_Other(benchmark::State& state) {
  const char* other = std::getenv("KOVA_BENCH_OTHER_KOVARUN");
  if (!other || !*other) {
    state.SkipWithError("KOVA_BENCH_OTHER_KOVARUN not set");
    return;
  }
  TimeProcess(state, {other, LoopGame().Folder(), "--frames", "100000"});
}
BENCHMARK(BM_Kovarun_WhileLoop_Other)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

const std::string kLuaLoop = std::to_string(kLoopCount);

void BM_Lua_WhileLoop_Globals(benchmark::State& state) {
  TimeProcess(state, {"lua5.4", "-e", "i = 0 n = 0 while i < " + kLuaLoop + " do n = n + 1 i = i + 1 end"});
}
BENCHMARK(BM_Lua_WhileLoop_Globals)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

void BM_Lua_WhileLoop_Locals(benchmark::State& state) {
  TimeProcess(state,
              {"lua5.4", "-e", "local i = 0 local n = 0 while i < " + kLuaLoop + " do n = n + 1 i = i + 1 end"});
}
BENCHMARK(BM_Lua_WhileLoop_Locals)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kova
