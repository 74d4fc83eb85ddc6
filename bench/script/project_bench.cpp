// Opening a game.
//
// BM_OpenProject opens a game whose project file declares 1,000 status variables and whose save
// file holds 100 game entries of 64 KiB (each inflated to list its caption): the whole open with
// a fresh file manager and variable store each time, loose files on disk. BM_InflateSaveEntries
// inflates the same 100 entries from memory with zlib alone, the floor of listing the slots.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "core/archive.h"
#include "core/file_manager.h"
#include "core/stream.h"
#include "core/stream_records.h"
#include "script/call_man.h"
#include "script/param_collection.h"
#include "player/session.h"
#include "platform/services.h"
#include "script/project.h"

namespace kova {
namespace {

constexpr int kVariables = 1000;
constexpr int kSlots = 100;
constexpr int kEntryBytes = 64 * 1024;

void WriteFile(const std::string& path, const TMemoryStream& bytes) { bytes.SaveToFile(path); }

// A save entry: version, caption, then game data that compresses like a real save (repeating
// records with changing numbers).
TMemoryStream SaveEntry(int slot) {
  TMemoryStream s;
  WriteStreamInteger(s, 129);
  WriteStreamString(s, "Slot " + std::to_string(slot));
  uint32_t x = 2463534242u + static_cast<uint32_t>(slot);
  while (s.Size() < kEntryBytes) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    WriteStreamString(s, "variable_" + std::to_string(x % 97));
    WriteStreamInteger(s, static_cast<int32_t>(x % 1000));
  }
  return s;
}

struct TBenchGame {
  std::string folder;
  std::vector<std::vector<uint8_t>> compressed;  // the entries' zlib forms
  std::vector<uLongf> sizes;                     // their inflated sizes

  TBenchGame() {
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
    WriteStreamInteger(project, kVariables);
    for (int i = 0; i < kVariables; ++i) {
      WriteStreamByte(project, 1);
      WriteStreamString(project, "status_" + std::to_string(i));
      WriteStreamInteger(project, i);
    }
    WriteFile(folder + "/kova.kpb", project);

    // The install set of version 103: every field up to the complete flag, which is set.
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

    TMemoryStream page;  // an empty page: version, result type, no property sets, no commands
    WriteStreamInteger(page, 109);
    WriteStreamByte(page, 1);
    WriteStreamInteger(page, 0);
    WriteStreamInteger(page, 20);
    WriteStreamInteger(page, 0);
    WriteFile(folder + "/start.ksb", page);

    TVrFileCollection save;
    for (int slot = 0; slot < kSlots; ++slot) {
      TMemoryStream entry = SaveEntry(slot);
      save.AddData("GAMESAVEDATA" + std::to_string(slot))->Data->LoadFromStream(entry);
      TMemoryStream packed;
      packed.LoadFromStream(entry);
      sizes.push_back(static_cast<uLongf>(packed.Size()));
      CompressStream(packed);
      compressed.emplace_back(packed.Bytes().begin(), packed.Bytes().end());
    }
    save.SaveToFile(folder + "/save.dat");
  }
  ~TBenchGame() {
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
  }
};

TBenchGame& Game() {
  static TBenchGame game;
  return game;
}

void BM_OpenProject(benchmark::State& state) {
  TBenchGame& game = Game();
  TLaunchInfo launch;
  launch.Params = {game.folder};
  plat::THeadlessServices services;
  for (auto _ : state) {
    TSession session(services, TVrFileManagerOptions{{}, std::vector<std::string>{}});
    session.Open(launch);
    const TProject* project = session.Project();
    if (!project->Started() || project->SlotList.Count() != kSlots) state.SkipWithError("open failed");
    benchmark::DoNotOptimize(project->SlotList.Count());
  }
}
BENCHMARK(BM_OpenProject)->Unit(benchmark::kMillisecond);

void BM_InflateSaveEntries(benchmark::State& state) {
  TBenchGame& game = Game();
  std::vector<uint8_t> out(kEntryBytes * 2);
  for (auto _ : state) {
    for (size_t i = 0; i < game.compressed.size(); ++i) {
      uLongf size = static_cast<uLongf>(out.size());
      uncompress(out.data(), &size, game.compressed[i].data(), static_cast<uLong>(game.compressed[i].size()));
      benchmark::DoNotOptimize(out.data());
    }
  }
}
BENCHMARK(BM_InflateSaveEntries)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kova
