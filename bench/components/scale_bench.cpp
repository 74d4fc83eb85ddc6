// Scenes of many components: making n boxes (distinct names, and all of one name, which renames the
// holder each time), a chain of boxes as deep as the scene allows, and one frame (input step,
// update, draw) over n boxes that do not change.
#include <string>

#include <benchmark/benchmark.h>

#include "components/scene/kova_base_list.h"
#include "components/scene/kova_control.h"
#include "components/scene/scene_host.h"
#include "core/vocabulary.h"

namespace kova {
namespace {

struct BoxScene {
  BoxScene() : host(kDisplay8888), root(&host) {
    host.SetScreenSize(640, 480);
    root.SetWidth(640);
    root.SetHeight(480);
  }
  TKovaControl* Box(const std::string& name, TKovaControl* parent, int32_t i) {
    TKovaControl* box = root.CreateComponent(KT_BOX)->AsControl();
    box->SetName(name);
    box->SetParent(parent);
    box->SetBounds((i * 7) % 636, (i * 13) % 476, 4, 4);
    return box;
  }
  THeadlessSceneHost host;
  TKovaBaseList root;
};

// Makes n boxes on the active layer, named by `name_of`(i), and frees them untimed.
template <typename NameOf>
void CreateBoxes(benchmark::State& state, NameOf name_of) {
  const int n = int(state.range(0));
  for (auto _ : state) {
    BoxScene scene;
    for (int i = 0; i < n; ++i) scene.Box(name_of(i), scene.root.ActiveBase(), i);
    state.PauseTiming();
    scene.root.Reset();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * n);
}

void BM_CreateBoxes(benchmark::State& state) {
  CreateBoxes(state, [](int i) { return "b" + std::to_string(i); });
}
BENCHMARK(BM_CreateBoxes)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_CreateSameNamedBoxes(benchmark::State& state) {
  CreateBoxes(state, [](int) { return std::string("b"); });
}
BENCHMARK(BM_CreateSameNamedBoxes)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void BM_CreateDeepestChain(benchmark::State& state) {
  for (auto _ : state) {
    BoxScene scene;
    TKovaControl* parent = scene.root.ActiveBase();
    for (int i = 0; i < kMaxTreeDepth; ++i) parent = scene.Box("c" + std::to_string(i), parent, 0);
    scene.root.Reset();
  }
  state.SetItemsProcessed(state.iterations() * kMaxTreeDepth);
}
BENCHMARK(BM_CreateDeepestChain)->Unit(benchmark::kMicrosecond);

void BM_FrameOverBoxes(benchmark::State& state) {
  const int n = int(state.range(0));
  BoxScene scene;
  for (int i = 0; i < n; ++i) scene.Box("b" + std::to_string(i), scene.root.ActiveBase(), i);
  scene.root.Process();
  scene.root.Update();
  scene.root.Draw();
  scene.root.EndFrame();
  for (auto _ : state) {
    scene.root.Process();
    scene.root.Update();
    scene.root.Draw();
    scene.root.EndFrame();
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_FrameOverBoxes)->Arg(10000)->Arg(30000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kova
