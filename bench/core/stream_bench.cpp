// Copying and zlib coding of whole streams against the bare library calls.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstring>
#include <random>
#include <vector>

#include "core/stream_records.h"

namespace {

std::vector<uint8_t> MixedData(size_t n) {
  std::mt19937 rng(7);
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = (i / 64) % 3 == 0 ? uint8_t(rng()) : uint8_t(i % 17);
  return v;
}

constexpr size_t kCopySize = 64 << 20;
constexpr size_t kZipSize = 16 << 20;

void BM_CopyStreamData_Memory(benchmark::State& state) {
  kova::TMemoryStream src(MixedData(kCopySize));
  kova::TMemoryStream dest;
  dest.SetSize(kCopySize);
  for (auto _ : state) {
    dest.SetPosition(0);
    benchmark::DoNotOptimize(kova::CopyStreamData(dest, src, 0));
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kCopySize);
}
BENCHMARK(BM_CopyStreamData_Memory)->Unit(benchmark::kMillisecond);

void BM_Memcpy(benchmark::State& state) {
  auto src = MixedData(kCopySize);
  std::vector<uint8_t> dest(kCopySize);
  for (auto _ : state) {
    std::memcpy(dest.data(), src.data(), kCopySize);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kCopySize);
}
BENCHMARK(BM_Memcpy)->Unit(benchmark::kMillisecond);

std::vector<uint8_t> Packed() {
  auto data = MixedData(kZipSize);
  std::vector<uint8_t> packed(compressBound(kZipSize));
  uLongf len = packed.size();
  compress2(packed.data(), &len, data.data(), kZipSize, 1);
  packed.resize(len);
  return packed;
}

void BM_DecompressStream(benchmark::State& state) {
  auto packed = Packed();
  for (auto _ : state) {
    kova::TMemoryStream s(packed);
    kova::DecompressStream(s);
    benchmark::DoNotOptimize(s.Memory());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kZipSize);
}
BENCHMARK(BM_DecompressStream)->Unit(benchmark::kMillisecond);

void BM_ZlibUncompress(benchmark::State& state) {
  auto packed = Packed();
  for (auto _ : state) {
    // Same work as the stream form: take the packed bytes, inflate into a presized buffer.
    std::vector<uint8_t> in(packed);
    std::vector<uint8_t> out(kZipSize);
    uLongf len = out.size();
    uncompress(out.data(), &len, in.data(), in.size());
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kZipSize);
}
BENCHMARK(BM_ZlibUncompress)->Unit(benchmark::kMillisecond);

void BM_CompressStream(benchmark::State& state) {
  auto data = MixedData(kZipSize);
  for (auto _ : state) {
    kova::TMemoryStream s(data);
    kova::CompressStream(s);
    benchmark::DoNotOptimize(s.Memory());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kZipSize);
}
BENCHMARK(BM_CompressStream)->Unit(benchmark::kMillisecond);

void BM_ZlibCompress2(benchmark::State& state) {
  auto data = MixedData(kZipSize);
  for (auto _ : state) {
    std::vector<uint8_t> in(data);
    std::vector<uint8_t> out(compressBound(kZipSize));
    uLongf len = out.size();
    compress2(out.data(), &len, in.data(), in.size(), 1);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kZipSize);
}
BENCHMARK(BM_ZlibCompress2)->Unit(benchmark::kMillisecond);

}  // namespace
