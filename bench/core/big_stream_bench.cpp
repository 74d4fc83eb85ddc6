// Big-stream reading speed: sequential 1 MiB reads through a file stored in pieces against plain
// read(), and 4-byte reads through the buffered reader against memory and unbuffered reads.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "core/big_stream.h"

namespace kova {
namespace {

constexpr int64_t kMiB = 1 << 20;
constexpr int64_t kLargeSize = 256 * kMiB;
constexpr int64_t kLargePiece = 64 * kMiB;  // four pieces
constexpr int64_t kSmallSize = 4 * kMiB;

// Test files under /tmp, written once and removed when the program ends.
class BenchFiles {
 public:
  static BenchFiles& Get() {
    static BenchFiles files;
    return files;
  }
  ~BenchFiles() { std::filesystem::remove_all(dir_); }

  std::string pieces;  // the large file stored as pieces through a big stream
  std::string plain;   // the same bytes in one file
  std::string small;   // a small file for the 4-byte reads
  std::vector<uint8_t> small_bytes;

 private:
  BenchFiles() {
    char tmpl[] = "/tmp/kova_bench_big_XXXXXX";
    if (mkdtemp(tmpl) == nullptr) std::abort();
    dir_ = tmpl;
    pieces = dir_ + "/game.dat";
    plain = dir_ + "/plain.bin";
    small = dir_ + "/small.bin";

    std::vector<uint8_t> block(kMiB);
    TXrBigFileStream big(pieces, plat::TFileMode::Create, kLargePiece);
    plat::TFile one;
    one.Open(plain, plat::TFileMode::Create);
    for (int64_t i = 0; i < kLargeSize / kMiB; ++i) {
      for (int64_t j = 0; j < kMiB; ++j) block[j] = static_cast<uint8_t>(i + j * 31);
      big.WriteBuffer(block.data(), kMiB);
      one.Write(block.data(), kMiB);
    }
    big.Close();
    one.Close();
    // One pass over both files so that each benchmark starts from the same warm page cache.
    for (const std::string* path : {&pieces, &plain}) {
      TXrBigFileStream warm(*path, plat::TFileMode::Read);
      while (warm.Read(block.data(), kMiB) > 0) {
      }
    }

    small_bytes.resize(kSmallSize);
    for (int64_t j = 0; j < kSmallSize; ++j) small_bytes[j] = static_cast<uint8_t>(j * 7 + (j >> 9));
    plat::TFile s;
    s.Open(small, plat::TFileMode::Create);
    s.Write(small_bytes.data(), kSmallSize);
    s.Close();
  }

  std::string dir_;
};

void BM_BigFileSequentialRead(benchmark::State& state) {
  BenchFiles& files = BenchFiles::Get();
  TXrBigFileStream big(files.pieces, plat::TFileMode::Read, kLargePiece);
  std::vector<uint8_t> block(kMiB);
  for (auto _ : state) {
    big.SetPosition(0);
    int64_t total = 0;
    while (int64_t n = big.Read(block.data(), kMiB)) total += n;
    if (total != kLargeSize) state.SkipWithError("short read");
    benchmark::DoNotOptimize(block.data());
  }
  state.SetBytesProcessed(state.iterations() * kLargeSize);
}
BENCHMARK(BM_BigFileSequentialRead)->Unit(benchmark::kMillisecond);

void BM_PlainReadSequential(benchmark::State& state) {
  BenchFiles& files = BenchFiles::Get();
  int fd = ::open(files.plain.c_str(), O_RDONLY | O_CLOEXEC);
  std::vector<uint8_t> block(kMiB);
  for (auto _ : state) {
    ::lseek(fd, 0, SEEK_SET);
    int64_t total = 0;
    while (ssize_t n = ::read(fd, block.data(), kMiB)) {
      if (n < 0) break;
      total += n;
    }
    if (total != kLargeSize) state.SkipWithError("short read");
    benchmark::DoNotOptimize(block.data());
  }
  ::close(fd);
  state.SetBytesProcessed(state.iterations() * kLargeSize);
}
BENCHMARK(BM_PlainReadSequential)->Unit(benchmark::kMillisecond);

// Reads the whole stream 4 bytes at a time through the TStream interface.
// Kept out of line so that every kind is read through a virtual call, as callers do.
[[gnu::noinline]] int64_t ReadInFours(TStream& stream) {
  uint32_t value;
  uint32_t sum = 0;
  int64_t reads = 0;
  while (stream.Read(&value, 4) == 4) {
    sum += value;
    ++reads;
  }
  benchmark::DoNotOptimize(sum);
  return reads;
}

void BM_BufferedReader4Bytes(benchmark::State& state) {
  BenchFiles& files = BenchFiles::Get();
  TXrBigFileStream big(files.small, plat::TFileMode::Read);
  for (auto _ : state) {
    big.SetPosition(0);
    TXrBuffBigStream reader(big);
    if (ReadInFours(reader) != kSmallSize / 4) state.SkipWithError("short read");
  }
  state.SetItemsProcessed(state.iterations() * kSmallSize / 4);
}
BENCHMARK(BM_BufferedReader4Bytes)->Unit(benchmark::kMillisecond);

void BM_MemoryStream4Bytes(benchmark::State& state) {
  BenchFiles& files = BenchFiles::Get();
  TMemoryStream memory(files.small_bytes);
  for (auto _ : state) {
    memory.SetPosition(0);
    if (ReadInFours(memory) != kSmallSize / 4) state.SkipWithError("short read");
  }
  state.SetItemsProcessed(state.iterations() * kSmallSize / 4);
}
BENCHMARK(BM_MemoryStream4Bytes)->Unit(benchmark::kMillisecond);

// The floor: the same 4-byte values copied straight out of an array.
void BM_RawMemory4Bytes(benchmark::State& state) {
  BenchFiles& files = BenchFiles::Get();
  const uint8_t* bytes = files.small_bytes.data();
  for (auto _ : state) {
    uint32_t sum = 0;
    for (int64_t i = 0; i < kSmallSize; i += 4) {
      uint32_t value;
      std::memcpy(&value, bytes + i, 4);
      sum += value;
      benchmark::DoNotOptimize(sum);
    }
  }
  state.SetItemsProcessed(state.iterations() * kSmallSize / 4);
}
BENCHMARK(BM_RawMemory4Bytes)->Unit(benchmark::kMillisecond);

void BM_UnbufferedBigFile4Bytes(benchmark::State& state) {
  BenchFiles& files = BenchFiles::Get();
  TXrBigFileStream big(files.small, plat::TFileMode::Read);
  for (auto _ : state) {
    big.SetPosition(0);
    if (ReadInFours(big) != kSmallSize / 4) state.SkipWithError("short read");
  }
  state.SetItemsProcessed(state.iterations() * kSmallSize / 4);
}
BENCHMARK(BM_UnbufferedBigFile4Bytes)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kova
