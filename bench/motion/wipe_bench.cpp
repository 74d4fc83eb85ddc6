// One step of a screen transition over a 1280 x 720 screen at 32 bits, against a copy of one
// frame of that size.
#include <cstring>
#include <vector>

#include <benchmark/benchmark.h>

namespace kova {
namespace {

constexpr int32_t kW = 1280, kH = 720;

void BM_FrameMemcpy(benchmark::State& state) {
  std::vector<uint32_t> from(size_t(kW) * kH, 0x102030), to(size_t(kW) * kH);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), to.size() * sizeof(uint32_t));
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * int64_t(to.size() * sizeof(uint32_t)));
}
BENCHMARK(BM_FrameMemcpy);

}  // namespace
}  // namespace kova
