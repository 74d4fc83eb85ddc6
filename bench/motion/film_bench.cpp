// The film manager's cost: SetTime over a film of 200 box tracks and two wipe tracks on a
// headless root container (the clock walk, the tracks' interpolation into their 200 live box
// sprites, the wipe lookup, the flip and the layer sort), and loading a 1,000-track film from
// memory against copying its bytes.
#include <cstring>
#include <vector>

#include <benchmark/benchmark.h>

#include "components/scene/kova_base_list.h"
#include "components/scene/scene_host.h"
#include "motion/film_manager.h"
#include "support/film_writer.h"

namespace kova {
namespace {

std::vector<uint8_t> Film(int32_t tracks) {
  test::FilmWriter w;
  for (int32_t i = 0; i < tracks; ++i) {
    test::FilmBox box;
    box.base.start = i % 50;
    box.base.duration = 100;
    box.rect.pos_end = {i, i};
    box.rect.width_end = 20;
    box.rect.height_end = 10;
    box.color_end = 0xFF;
    w.Add(box);
  }
  for (int32_t start : {40, 120}) {
    test::FilmWipe wipe;
    wipe.base.start = start;
    wipe.base.duration = 20;
    w.Add(wipe);
  }
  return w.Bytes();
}

void BM_FilmSetTime200(benchmark::State& state) {
  THeadlessSceneHost host;
  host.SetScreenSize(320, 240);
  TKovaBaseList root(&host);
  root.SetWidth(320);
  root.SetHeight(240);
  TFilmManager film;
  film.SetOwner(&root);
  film.LoadFromStream(Film(200), "bench.kmt");
  // Ticks 50 to 99: every track is active, so each call moves and recolours 200 live sprites
  // (none is made or removed); each
  // frame's end empties the dirty lists.
  int32_t tick = 50;
  for (auto _ : state) {
    film.SetTime(tick);
    // A frame's end empties the layers' dirty lists, as every frame does.
    root.EndFrame();
    tick = 50 + (tick + 1) % 50;
  }
  state.SetItemsProcessed(state.iterations() * film.Count());
}
BENCHMARK(BM_FilmSetTime200);

void BM_FilmLoad1000(benchmark::State& state) {
  const std::vector<uint8_t> bytes = Film(1000);
  for (auto _ : state) {
    TFilmManager film;
    film.LoadFromStream(bytes, "bench.kmt");
    benchmark::DoNotOptimize(film.Count());
  }
  state.SetBytesProcessed(state.iterations() * int64_t(bytes.size()));
}
BENCHMARK(BM_FilmLoad1000);

void BM_FilmBytesMemcpy1000(benchmark::State& state) {
  const std::vector<uint8_t> bytes = Film(1000);
  std::vector<uint8_t> copy(bytes.size());
  for (auto _ : state) {
    std::memcpy(copy.data(), bytes.data(), bytes.size());
    benchmark::DoNotOptimize(copy.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * int64_t(bytes.size()));
}
BENCHMARK(BM_FilmBytesMemcpy1000);

}  // namespace
}  // namespace kova
