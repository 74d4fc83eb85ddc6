// Drawing a whole permutation (SetRange(n) and n Next) against removing from a plain list.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "core/xr_random.h"

namespace kova {
namespace {

void BM_XrRandomPermutation(benchmark::State& state) {
  const auto n = static_cast<int32_t>(state.range(0));
  TXrRandom r(12341);
  for (auto _ : state) {
    r.SetRange(n);
    for (int32_t i = 0; i < n; ++i) benchmark::DoNotOptimize(r.Next());
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_XrRandomPermutation)->Arg(4096)->Arg(65536)->Arg(307200)->Unit(benchmark::kMicrosecond);

void BM_PlainListPermutation(benchmark::State& state) {
  const auto n = static_cast<int32_t>(state.range(0));
  uint32_t s = 0;
  const uint32_t seed = 12341;
  std::vector<int32_t> list;
  for (auto _ : state) {
    list.clear();
    for (int32_t i = 0; i < n; ++i) list.push_back(i);
    for (int32_t i = 0; i < n; ++i) {
      s = s * 5u + seed;
      const uint32_t k = s % static_cast<uint32_t>(list.size());
      benchmark::DoNotOptimize(list[k]);
      list.erase(list.begin() + k);
    }
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_PlainListPermutation)->Arg(4096)->Arg(65536)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kova
