// Saving and loading a game.
//
// The game holds 1,000 game variables (integers, floats, strings and arrays), 200 components in
// the scene (containers, half of them inside others) and a game table of 10,000 rows (an integer
// and a 24-byte text column). BM_GameSave serves a save of it: the entry built, compressed and
// written with the status entry through the safe replacement of "save.dat" (new file, flush,
// rename). BM_GameLoad serves a load of it: the entry read, inflated and every section restored.
// BM_PlainWrite and BM_PlainRead write and read the same bytes as "save.dat" holds with plain file
// calls (open, write or read, close; BM_PlainWriteSynced adds the flush), the floor of either.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/stream.h"
#include "core/stream_records.h"
#include "platform/services.h"
#include "player/session.h"
#include "script/db_table.h"
#include "script/project.h"

namespace kova {
namespace {

constexpr int kVariables = 1000;
constexpr int kComponents = 200;
constexpr int kRows = 10000;

void WriteFile(const std::string& path, const TMemoryStream& bytes) { bytes.SaveToFile(path); }

struct TBenchSaveGame {
  std::string folder;
  plat::THeadlessServices services;
  std::unique_ptr<TSession> session;

  TBenchSaveGame() {
    const char* env = std::getenv("TMPDIR");
    std::string pattern = (env && *env ? std::string(env) : std::string("/tmp")) + "/kova-bench-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back(0);
    folder = mkdtemp(buf.data()) ? std::string(buf.data()) : std::string("/tmp");

    TMemoryStream project;
    WriteStreamInteger(project, 109);
    WriteStreamString(project, "Bench");
    for (int32_t v : {640, 480, 0, 0}) WriteStreamInteger(project, v);
    WriteStreamString(project, "start.ksb");
    WriteStreamString(project, "");
    WriteStreamInteger(project, 0);
    WriteStreamByte(project, 1);
    WriteStreamByte(project, 0);
    WriteStreamString(project, ".wav.wma.ogg.mid");
    WriteStreamString(project, "disc %d");
    WriteStreamString(project, "quit");
    WriteStreamInteger(project, 0);
    WriteFile(folder + "/kova.kpb", project);

    // The install set of version 103, complete on disk.
    TMemoryStream install;
    install.WriteBuffer("is103", 5);
    WriteStreamInteger(install, 0);
    for (int i = 0; i < 4; ++i) WriteStreamString(install, i == 0 ? "BENCH" : "");
    WriteStreamByte(install, 0);
    WriteStreamString(install, "");
    WriteStreamByte(install, 0);
    WriteStreamInteger(install, 0);
    WriteStreamString(install, "");
    WriteStreamInteger(install, 0);
    WriteStreamByte(install, 0);
    WriteStreamByte(install, 0);
    WriteStreamString(install, "");
    WriteStreamString(install, "");
    for (int i = 0; i < 4; ++i) WriteStreamInt64(install, 0);
    WriteStreamByte(install, 0);
    WriteStreamByte(install, 0);
    WriteStreamInteger(install, 0);
    WriteStreamByte(install, 1);
    WriteFile(folder + "/install.dat", install);

    TMemoryStream page;  // an empty page
    WriteStreamInteger(page, 109);
    WriteStreamByte(page, 1);
    WriteStreamInteger(page, 0);
    WriteStreamInteger(page, 20);
    WriteStreamInteger(page, 0);
    WriteFile(folder + "/start.ksb", page);

    session = std::make_unique<TSession>(services, TVrFileManagerOptions{{}, std::vector<std::string>{}});
    TLaunchInfo launch;
    launch.Params = {folder};
    session->Open(launch);

    TParamCollection& store = session->Store();
    for (int i = 0; i < kVariables; ++i) {
      const std::string name = "var_" + std::to_string(i);
      switch (i % 4) {
        case 0: store.Declare(name, PT_INT, TVarScope::Global)->SetInt(i * 7); break;
        case 1: store.Declare(name, PT_FLOAT, TVarScope::Global)->SetFloat(i / 3.0L); break;
        case 2: store.Declare(name, PT_STR, TVarScope::Global)->SetStr("text of variable " + name); break;
        default: {
          TParamCollectionItem* item = store.Declare(name, PT_INT, TVarScope::Global);
          const std::vector<int32_t> dims = {4, 8};
          item->Value().SetDims(dims);
          for (int k = 0; k < 32; ++k) item->Value().SetIntAt(k, i + k);
        }
      }
    }
    TScenePort& scene = session->Ports().scene;
    for (int i = 0; i < kComponents; ++i) {
      const std::string parent = i % 2 ? "box_" + std::to_string(i - 1) : std::string();
      scene.CreateComponent(KT_CABINET, "box_" + std::to_string(i), parent);
    }
    TDBManager& tables = session->Tables();
    tables.CreateTable("rows", 0);
    TDBCustomTable* table = tables.ActiveTable();
    table->Fields().AddField("number", 1, 0);
    table->Fields().AddField("label", 4, 24);
    for (int r = 0; r < kRows; ++r) {
      table->Append();
      table->SetIntAt(r, 0, r * 31);
      table->SetStrAt(r, 1, "row " + std::to_string(r));
    }
    session->Project()->DoSave(1, "", "bench", 0);
  }
  ~TBenchSaveGame() {
    session.reset();
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
  }
  std::string SaveFile() const { return folder + "/save.dat"; }
};

TBenchSaveGame& Game() {
  static TBenchSaveGame game;
  return game;
}

void BM_GameSave(benchmark::State& state) {
  TBenchSaveGame& game = Game();
  TProject& project = *game.session->Project();
  for (auto _ : state) {
    if (!project.DoSave(1, "", "bench", 0)) state.SkipWithError("save failed");
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(std::filesystem::file_size(game.SaveFile())));
}
BENCHMARK(BM_GameSave)->Unit(benchmark::kMillisecond);

void BM_GameLoad(benchmark::State& state) {
  TBenchSaveGame& game = Game();
  TProject& project = *game.session->Project();
  for (auto _ : state) {
    project.LoadGame(1);
    if (game.session->Interpreter().Stopped()) state.SkipWithError("load failed");
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(std::filesystem::file_size(game.SaveFile())));
}
BENCHMARK(BM_GameLoad)->Unit(benchmark::kMillisecond);

std::vector<char> FileBytes(const std::string& path) {
  std::vector<char> bytes(std::filesystem::file_size(path));
  const int fd = ::open(path.c_str(), O_RDONLY);
  if (::read(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) bytes.clear();
  ::close(fd);
  return bytes;
}

void PlainWrite(benchmark::State& state, bool sync) {
  TBenchSaveGame& game = Game();
  const std::vector<char> bytes = FileBytes(game.SaveFile());
  const std::string path = game.folder + "/plain.dat";
  for (auto _ : state) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) state.SkipWithError("write");
    if (sync) ::fsync(fd);
    ::close(fd);
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}

void BM_PlainWrite(benchmark::State& state) { PlainWrite(state, false); }
BENCHMARK(BM_PlainWrite)->Unit(benchmark::kMillisecond);

void BM_PlainWriteSynced(benchmark::State& state) { PlainWrite(state, true); }
BENCHMARK(BM_PlainWriteSynced)->Unit(benchmark::kMillisecond);

void BM_PlainRead(benchmark::State& state) {
  TBenchSaveGame& game = Game();
  const std::vector<char> bytes = FileBytes(game.SaveFile());
  std::vector<char> in(bytes.size());
  for (auto _ : state) {
    const int fd = ::open(game.SaveFile().c_str(), O_RDONLY);
    if (::read(fd, in.data(), in.size()) != static_cast<ssize_t>(in.size())) state.SkipWithError("read");
    ::close(fd);
    benchmark::DoNotOptimize(in.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes.size()));
}
BENCHMARK(BM_PlainRead)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kova
