// One heat step of a 320 x 240 fire: the component's step (the rise through the cooling table,
// the noise and the floor) against a plain sum-of-four-neighbours loop over a field of the same
// bytes, the least any such step can cost.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "components/scene/kova_base_list.h"
#include "components/scene/scene_host.h"
#include "components/widgets/kova_fire.h"

namespace kova {
namespace {

constexpr int32_t kW = 320, kH = 240;

struct FireScene {
  FireScene() : host(kDisplay8888), root(&host) {
    host.SetScreenSize(kW, kH);
    root.SetWidth(kW);
    root.SetHeight(kH);
    fire = new TKovaFire(&root);
    fire->SetParent(root.ActiveBase());
    fire->SetPower(200);
    fire->SetOrigWidth(kW);
    fire->SetOrigHeight(kH);
    fire->Update();  // the field is made and heated
  }
  THeadlessSceneHost host;
  TKovaBaseList root;
  TKovaFire* fire;
};

void BM_FireStep(benchmark::State& state) {
  FireScene scene;
  for (auto _ : state) {
    scene.fire->Step();
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kW * kH);
}
BENCHMARK(BM_FireStep)->Unit(benchmark::kMicrosecond);

void BM_PlainNeighbourSum(benchmark::State& state) {
  std::vector<uint8_t> field(size_t(kW) * kH, 16);
  std::fill(field.end() - 4 * kW, field.end(), uint8_t(255));
  for (auto _ : state) {
    for (int32_t y = 0; y <= kH - 3; ++y) {
      uint8_t* row = field.data() + size_t(y) * kW;
      const uint8_t* below = row + kW;
      const uint8_t* below2 = below + kW;
      for (int32_t x = 1; x <= kW - 2; ++x) {
        const int32_t sum = below[x - 1] + below[x + 1] + row[x] + below2[x];
        row[x] = uint8_t(std::max(sum / 4 - 1, 16));
      }
    }
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kW * kH);
}
BENCHMARK(BM_PlainNeighbourSum)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kova
