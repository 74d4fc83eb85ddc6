// One step of a screen transition over a 1280 x 720 screen (32 bits, and 16 where it is cheap to
// add), against a copy of one frame of that size and, for the mask kinds' composition, against a
// bound of four frame streams (three read, one written).
//
// Every kind is made through CreateWipe. A kind whose family is not built yet (its maker answers
// nothing) reports an error for its benchmark and the others still run. The position moves on
// each iteration, so the mask kinds rebuild their mask and compose again every step (their length
// is their number of steps) and the others draw a new picture each time.
#include <cstring>
#include <optional>
#include <vector>

#include <benchmark/benchmark.h>

#include "core/vocabulary.h"
#include "graphics/dibx.h"
#include "motion/wipe_factory.h"

namespace kova {
namespace {

constexpr int32_t kW = 1280, kH = 720;

void BM_FrameMemcpy(benchmark::State& state) {
  const size_t bytes = size_t(kW) * kH * size_t(state.range(0) / 8);
  std::vector<uint8_t> from(bytes, 0x30), to(bytes);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), bytes);
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * int64_t(bytes));
}
BENCHMARK(BM_FrameMemcpy)->Arg(32)->Arg(16)->Unit(benchmark::kMicrosecond);

// The memory bound of the mask composition: per pixel three 32-bit frames read (old, new and a
// selector of the same size) and one written, by a plain loop the compiler vectorises.
void BM_FourStreamBound(benchmark::State& state) {
  const size_t n = size_t(kW) * kH;
  std::vector<uint32_t> old_frame(n, 0x102030), new_frame(n, 0x405060), select(n), out(n);
  for (size_t i = 0; i < n; ++i) select[i] = (i / 7) % 2 ? 0xFFFFFFFFu : 0u;
  for (auto _ : state) {
    const uint32_t* o = old_frame.data();
    const uint32_t* nw = new_frame.data();
    const uint32_t* m = select.data();
    uint32_t* d = out.data();
    for (size_t i = 0; i < n; ++i) d[i] = (nw[i] & m[i]) | (o[i] & ~m[i]);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * int64_t(n * 4));
}
BENCHMARK(BM_FourStreamBound)->Unit(benchmark::kMicrosecond);

// The two layers: horizontal bands of colours (the old picture) and vertical ones (the new), so
// no pixel of one equals the other's.
void PaintLayers(TDIBX& from, TDIBX& to) {
  for (int32_t y = 0; y < kH; y += 8) {
    from.FillRect(TRect{0, y, kW, y + 8}, uint32_t(from.ColorToPixel(0x102040 + (y & 0xF8))));
  }
  for (int32_t x = 0; x < kW; x += 8) {
    to.FillRect(TRect{x, 0, x + 8, kH}, uint32_t(to.ColorToPixel(0xE0C000 + ((x >> 3) & 0x7F))));
  }
}

struct TWipeCase {
  int32_t kind = WP_NONE;
  int32_t length = 1000;
  std::optional<int32_t> p0, p1;
};

TWipeCase Plain(int32_t kind) {
  TWipeCase c;
  c.kind = kind;
  return c;
}

void RunWipeStep(benchmark::State& state, TWipeCase c) {
  const int32_t bits = int32_t(state.range(0));
  TDIBX dest, from, to;
  dest.SetSize(kW, kH, bits);
  from.SetSize(kW, kH, bits);
  to.SetSize(kW, kH, bits);
  PaintLayers(from, to);
  dest.Assign(from);
  const auto wipe = CreateWipe(c.kind, TWipeEnv{}, dest, from, to);
  if (!wipe) {
    state.SkipWithError("this kind of transition is not built yet");
    return;
  }
  const auto configure = [&] {
    if (c.p0) wipe->SetParam(0, *c.p0);
    if (c.p1) wipe->SetParam(1, *c.p1);
  };
  wipe->SetLength(c.length);
  configure();
  wipe->Prepare();
  int32_t pos = 0;
  for (auto _ : state) {
    // 1 .. length - 1, and round again.
    pos = pos % (c.length - 1) + 1;
    if (pos == 1 && c.kind == WP_CRACK) {
      // The chips fall off for good: a new round starts with new ones.
      state.PauseTiming();
      wipe->SetParam(0, wipe->GetParam(0));
      configure();
      state.ResumeTiming();
    }
    wipe->SetPosition(pos);
    benchmark::DoNotOptimize(wipe->Step());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * int64_t(kW) * kH * (bits / 8));
}

BENCHMARK_CAPTURE(RunWipeStep, fade, Plain(WP_FADE))->Arg(32)->Arg(16)->Unit(benchmark::kMicrosecond);
// Blinds of 20 columns: hard edges (p1 = 1, 39 steps) and soft ones over 64 steps (102 steps).
BENCHMARK_CAPTURE(RunWipeStep, blind_hard, TWipeCase{WP_BLINDH, 39, 20, 1})
    ->Arg(32)
    ->Arg(16)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(RunWipeStep, blind_soft, TWipeCase{WP_BLINDH, 102, 20, 64})
    ->Arg(32)
    ->Arg(16)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(RunWipeStep, scroll, Plain(WP_SCROLLH))->Arg(32)->Arg(16)->Unit(benchmark::kMicrosecond);
// Zooming into the screen's centre.
BENCHMARK_CAPTURE(RunWipeStep, zoomin, TWipeCase{WP_ZOOMIN, 1000, 640, 360})
    ->Arg(32)
    ->Arg(16)
    ->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(RunWipeStep, mosaic, Plain(WP_MOSAIC))->Arg(32)->Arg(16)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(RunWipeStep, spot, Plain(WP_SPOT))->Arg(32)->Arg(16)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(RunWipeStep, ripple, Plain(WP_RIPPLE))->Arg(32)->Arg(16)->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(RunWipeStep, crack, Plain(WP_CRACK))->Arg(32)->Arg(16)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kova
