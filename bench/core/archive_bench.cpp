// Archives: reading a 4 MiB compressed entry against zlib's uncompress, loading a 50,000-entry
// directory against a bare parse of the same bytes, and the stream CRC against zlib's crc32.
#include <benchmark/benchmark.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "core/archive.h"
#include "core/stream.h"

namespace {

using namespace kova;

constexpr size_t kEntrySize = 4 << 20;
constexpr int kDirectoryEntries = 50000;

std::vector<uint8_t> MixedData(size_t n) {
  std::mt19937 rng(7);
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = (i / 64) % 3 == 0 ? uint8_t(rng()) : uint8_t(i % 17);
  return v;
}

std::vector<uint8_t> SaveBytes(TVrFileCollection& arc) {
  TMemoryStream out;
  arc.SaveToStream(out);
  return {out.Bytes().begin(), out.Bytes().end()};
}

// One archive file on disk holding a 4 MiB entry (compressed), shared by the read benchmarks.
struct TBigEntryFixture {
  std::vector<uint8_t> contents = MixedData(kEntrySize);
  std::vector<uint8_t> packed;
  std::string path;

  TBigEntryFixture() {
    TVrFileCollection arc;
    arc.AddData("page.bin")->Data->WriteBytes(contents);
    std::vector<uint8_t> bytes = SaveBytes(arc);
    char name[] = "/tmp/kova-arc-bench-XXXXXX";
    int fd = ::mkstemp(name);
    path = name;
    if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size())) std::abort();
    ::close(fd);
    uLongf length = compressBound(kEntrySize);
    packed.resize(length);
    compress2(packed.data(), &length, contents.data(), kEntrySize, 1);
    packed.resize(length);
  }
  ~TBigEntryFixture() { std::remove(path.c_str()); }
};

TBigEntryFixture& BigEntry() {
  static TBigEntryFixture fixture;
  return fixture;
}

void BM_Archive_ReadFile_4MiBCompressed(benchmark::State& state) {
  TVrFileCollection arc;
  arc.OpenEx(BigEntry().path, true);
  TMemoryStream dest;
  for (auto _ : state) {
    arc.ReadFile(dest, "page.bin");
    benchmark::DoNotOptimize(dest.Memory());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kEntrySize);
}
BENCHMARK(BM_Archive_ReadFile_4MiBCompressed)->Unit(benchmark::kMicrosecond);

// The same entry read through a range window (inflated into memory first).
void BM_Archive_OpenRange_4MiBCompressed(benchmark::State& state) {
  TVrFileCollection arc;
  arc.OpenEx(BigEntry().path, true);
  for (auto _ : state) {
    auto range = arc.OpenRange("page.bin");
    benchmark::DoNotOptimize(range.get());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kEntrySize);
}
BENCHMARK(BM_Archive_OpenRange_4MiBCompressed)->Unit(benchmark::kMicrosecond);

void BM_Zlib_Uncompress_4MiB(benchmark::State& state) {
  const TBigEntryFixture& f = BigEntry();
  std::vector<uint8_t> out(kEntrySize);
  for (auto _ : state) {
    uLongf length = kEntrySize;
    uncompress(out.data(), &length, f.packed.data(), f.packed.size());
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kEntrySize);
}
BENCHMARK(BM_Zlib_Uncompress_4MiB)->Unit(benchmark::kMicrosecond);

// A 50,000-entry directory ("cg\ev0001.png" and so on, with empty data).
const std::vector<uint8_t>& BigDirectory() {
  static const std::vector<uint8_t> bytes = [] {
    TVrFileCollection arc;
    char name[64];
    for (int i = 0; i < kDirectoryEntries; ++i) {
      std::snprintf(name, sizeof name, "cg\\ev%05d_%c.png", i, 'a' + i % 26);
      arc.AddData(name);
    }
    return SaveBytes(arc);
  }();
  return bytes;
}

void BM_Archive_LoadDirectory_50000(benchmark::State& state) {
  const std::vector<uint8_t>& bytes = BigDirectory();
  for (auto _ : state) {
    TVrFileCollection arc;
    TSpanStream source(bytes);
    arc.LoadDirectory(source);
    benchmark::DoNotOptimize(arc.Count());
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * kDirectoryEntries);
}
BENCHMARK(BM_Archive_LoadDirectory_50000)->Unit(benchmark::kMillisecond);

// The floor: unscramble the names and offsets of the same bytes into plain vectors.
void BM_RawParse_Directory_50000(benchmark::State& state) {
  const std::vector<uint8_t>& bytes = BigDirectory();
  auto u32 = [&](size_t at) {
    return uint32_t(bytes[at]) | uint32_t(bytes[at + 1]) << 8 | uint32_t(bytes[at + 2]) << 16 |
           uint32_t(bytes[at + 3]) << 24;
  };
  for (auto _ : state) {
    size_t at = 6;
    uint32_t n = u32(at);
    at += 4;
    std::vector<std::string> names(n);
    uint32_t key = 0;
    for (auto& name : names) {
      uint32_t length = u32(at);
      at += 4;
      name.assign(reinterpret_cast<const char*>(&bytes[at]), length);
      for (char& c : name) {
        key = key * 5u + 1436280957u;
        c = static_cast<char>(static_cast<uint8_t>(c) ^ static_cast<uint8_t>(key));
      }
      at += length;
    }
    std::vector<int64_t> offsets(n + 1);
    key = 0;
    for (auto& off : offsets) {
      key = key * 5u + 1436280957u;
      off = static_cast<int64_t>((uint64_t(u32(at)) | uint64_t(u32(at + 4)) << 32) ^
                                 uint64_t(int64_t(int32_t(key))));
      at += 8;
    }
    benchmark::DoNotOptimize(names.data());
    benchmark::DoNotOptimize(offsets.data());
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * kDirectoryEntries);
}
BENCHMARK(BM_RawParse_Directory_50000)->Unit(benchmark::kMillisecond);

void BM_StreamCrc32_4MiB(benchmark::State& state) {
  TMemoryStream s(BigEntry().contents);
  for (auto _ : state) benchmark::DoNotOptimize(StreamCrc32(s));
  state.SetBytesProcessed(int64_t(state.iterations()) * kEntrySize);
}
BENCHMARK(BM_StreamCrc32_4MiB)->Unit(benchmark::kMicrosecond);

void BM_Zlib_Crc32_4MiB(benchmark::State& state) {
  const std::vector<uint8_t>& data = BigEntry().contents;
  for (auto _ : state) benchmark::DoNotOptimize(crc32(0, data.data(), static_cast<uInt>(data.size())));
  state.SetBytesProcessed(int64_t(state.iterations()) * kEntrySize);
}
BENCHMARK(BM_Zlib_Crc32_4MiB)->Unit(benchmark::kMicrosecond);

}  // namespace
