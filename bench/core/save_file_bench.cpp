// Saving one slot into a save file that holds many: the archive is opened, the slot's entry
// replaced and the whole file rewritten safely (to a new file, flushed, renamed), as every game
// save does. The other entries are carried over from the old file.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "core/archive.h"
#include "core/stream.h"

namespace {

using namespace kova;

constexpr size_t kSlotSize = 64 << 10;

// Game-state-like contents: words of a small vocabulary with numbers between them, which
// compress about as well as a real game entry.
std::vector<uint8_t> SlotContents(uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<std::string> words(2000);
  for (std::string& w : words) {
    w.resize(2 + rng() % 8);
    for (char& c : w) c = char('a' + rng() % 26);
  }
  std::vector<uint8_t> v;
  v.reserve(kSlotSize + 16);
  while (v.size() < kSlotSize) {
    const std::string& w = words[rng() % words.size()];
    v.insert(v.end(), w.begin(), w.end());
    v.push_back(' ');
    if (rng() % 20 == 0) {
      const uint32_t n = rng();
      for (int i = 0; i < 4; ++i) v.push_back(uint8_t(n >> (8 * i)));
    }
  }
  return v;
}

struct TSaveFolder {
  explicit TSaveFolder(int slots) {
    char name[] = "/tmp/kova-bench-save-XXXXXX";
    folder = ::mkdtemp(name);
    path = folder + "/save.dat";
    TVrFileCollection arc;
    for (int i = 1; i <= slots; ++i) {
      const std::vector<uint8_t> bytes = SlotContents(uint32_t(i));
      arc.AddData("GAMESAVEDATA" + std::to_string(i))->Data->WriteBuffer(bytes.data(), int64_t(bytes.size()));
    }
    arc.SaveToFile(path);
  }
  ~TSaveFolder() {
    ::unlink(path.c_str());
    ::rmdir(folder.c_str());
  }
  std::string folder;
  std::string path;
};

void BM_SaveOneSlotAmong(benchmark::State& state) {
  TSaveFolder save(int(state.range(0)));
  const std::vector<uint8_t> slot = SlotContents(12345);
  for (auto _ : state) {
    TVrFileCollection arc;
    arc.OpenEx(save.path, true, TVrPlacement::Plain);
    arc.Folder.clear();
    arc.Delete("GAMESAVEDATA1");
    arc.AddData("GAMESAVEDATA1")->Data->WriteBuffer(slot.data(), int64_t(slot.size()));
    arc.SaveToFile(save.path);
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * state.range(0));
}
BENCHMARK(BM_SaveOneSlotAmong)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

}  // namespace
