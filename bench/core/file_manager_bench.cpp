// The virtual file system's hot paths against the bare operations they stand on: a cache hit
// against memcpy, a miss over a large folder against one stat, a case-folded hit against the exact
// stat, and a load from a compressed archive entry against zlib's uncompress.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/archive.h"
#include "core/file_manager.h"
#include "core/host_path.h"

namespace {

constexpr size_t kFileSize = 1 << 20;

std::vector<uint8_t> Pictureish(size_t n) {
  std::vector<uint8_t> v(n);
  uint32_t s = 1;
  for (size_t i = 0; i < n; ++i) {
    s = s * 1103515245u + 12345u;
    v[i] = (i % 64 < 40) ? uint8_t(i % 23) : uint8_t(s >> 24);
  }
  return v;
}

// A temporary folder for the run, removed at the end.
class TempTree {
 public:
  TempTree() {
    char pattern[] = "/tmp/kova-bench-XXXXXX";
    root_ = ::mkdtemp(pattern);
  }
  ~TempTree() {
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }
  std::string Write(const std::string& rel, const std::vector<uint8_t>& bytes) const {
    std::string path = root_ + "/" + rel;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
    return path;
  }
  const std::string& Root() const { return root_; }

 private:
  std::string root_;
};

kova::TVrFileManagerOptions Options(const TempTree& tree) {
  kova::TVrFileManagerOptions o;
  o.temp_parent = tree.Root();
  o.cd_roots = std::vector<std::string>{};
  return o;
}

void BM_LoadFile_CacheHit_1MiB(benchmark::State& state) {
  TempTree tree;
  tree.Write("game/Pic.bmp", Pictureish(kFileSize));
  kova::TVrFileManager manager(Options(tree));
  manager.SetFolder(tree.Root() + "/game");
  kova::TMemoryStream dest;
  manager.LoadFile(dest, "pic.bmp");
  for (auto _ : state) {
    manager.LoadFile(dest, "PIC.BMP");
    benchmark::DoNotOptimize(dest.Memory());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kFileSize));
}
BENCHMARK(BM_LoadFile_CacheHit_1MiB);

void BM_Memcpy_1MiB(benchmark::State& state) {
  std::vector<uint8_t> src = Pictureish(kFileSize);
  std::vector<uint8_t> dest(kFileSize);
  for (auto _ : state) {
    std::memcpy(dest.data(), src.data(), kFileSize);
    benchmark::DoNotOptimize(dest.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kFileSize));
}
BENCHMARK(BM_Memcpy_1MiB);

// A folder of 2,000 files, as a game's picture folder may hold.
struct BigFolder {
  TempTree tree;
  BigFolder() {
    const std::vector<uint8_t> one{1};
    for (int i = 0; i < 2000; ++i) {
      char name[64];
      std::snprintf(name, sizeof name, "game/Cg/Pic%04d.BMP", i);
      tree.Write(name, one);
    }
  }
};

void BM_FileExists_Miss_2000Files(benchmark::State& state) {
  BigFolder folder;
  kova::TVrFileManager manager(Options(folder.tree));
  manager.SetFolder(folder.tree.Root() + "/game");
  benchmark::DoNotOptimize(manager.FileExists("cg\\missing.bmp"));  // fills the listing
  for (auto _ : state) benchmark::DoNotOptimize(manager.FileExists("cg\\missing.bmp"));
}
BENCHMARK(BM_FileExists_Miss_2000Files);

void BM_Stat_Miss(benchmark::State& state) {
  BigFolder folder;
  const std::string path = folder.tree.Root() + "/game/Cg/missing.bmp";
  struct stat st {};
  for (auto _ : state) benchmark::DoNotOptimize(::stat(path.c_str(), &st));
}
BENCHMARK(BM_Stat_Miss);

void BM_Resolve_CaseFolded_2000Files(benchmark::State& state) {
  BigFolder folder;
  const std::string root = folder.tree.Root() + "/game";
  kova::THostPathCache cache;
  benchmark::DoNotOptimize(kova::ResolveHostPath(cache, root, "cg\\pic1234.bmp"));
  for (auto _ : state) benchmark::DoNotOptimize(kova::ResolveHostPath(cache, root, "cg\\pic1234.bmp"));
}
BENCHMARK(BM_Resolve_CaseFolded_2000Files);

void BM_Stat_Hit(benchmark::State& state) {
  BigFolder folder;
  const std::string path = folder.tree.Root() + "/game/Cg/Pic1234.BMP";
  struct stat st {};
  for (auto _ : state) benchmark::DoNotOptimize(::stat(path.c_str(), &st));
}
BENCHMARK(BM_Stat_Hit);

// A miss from a compressed 1 MiB archive entry (the cache emptied each time).
void BM_LoadFile_CompressedEntryMiss_1MiB(benchmark::State& state) {
  TempTree tree;
  const std::string path = tree.Root() + "/game.dat";
  {
    kova::TVrFileCollection archive;
    kova::TVrFile* entry = archive.AddData("pic.bmp");
    std::vector<uint8_t> bytes = Pictureish(kFileSize);
    entry->Data->WriteBuffer(bytes.data(), int64_t(bytes.size()));
    archive.SaveToFile(path);
  }
  kova::TVrFileManager manager(Options(tree));
  manager.AddArchive(path);
  kova::TMemoryStream dest;
  for (auto _ : state) {
    manager.Cache().Clear();
    manager.LoadFile(dest, "pic.bmp");
    benchmark::DoNotOptimize(dest.Memory());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kFileSize));
}
BENCHMARK(BM_LoadFile_CompressedEntryMiss_1MiB);

void BM_Uncompress_1MiB(benchmark::State& state) {
  std::vector<uint8_t> src = Pictureish(kFileSize);
  uLongf packed_size = compressBound(uLong(src.size()));
  std::vector<uint8_t> packed(packed_size);
  compress2(packed.data(), &packed_size, src.data(), uLong(src.size()), 1);
  std::vector<uint8_t> dest(kFileSize);
  for (auto _ : state) {
    uLongf n = uLongf(dest.size());
    benchmark::DoNotOptimize(uncompress(dest.data(), &n, packed.data(), packed_size));
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(kFileSize));
}
BENCHMARK(BM_Uncompress_1MiB);

}  // namespace
