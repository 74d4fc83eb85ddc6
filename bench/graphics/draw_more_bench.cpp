// Drawing paths without vector rows of their own, at 1280 x 720: 16-bit (5-6-5) blends and fills,
// masked stretching and rotation, scaled pattern fills, code tables and reduced glyphs; 32 bits
// unless named. Each runs at the active instruction set.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "graphics/dibx.h"

namespace kova {
namespace {

constexpr int32_t kW = 1280, kH = 720;

void Noise(TDIBX& s, int32_t w, int32_t h, int32_t bits, uint32_t seed) {
  s.SetSize(w, h, bits);
  uint32_t v = seed;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      v = v * 1664525u + 1013904223u;
      s.SetPixel(x, y, bits == 8 ? (x + y) % 254 + 1 : (v >> 8) & (bits == 16 ? 0xFFFF : 0xFFFFFF));
    }
}

void Pixels(benchmark::State& state, int64_t per_iteration) {
  state.SetItemsProcessed(int64_t(state.iterations()) * per_iteration);
}

void BM_DrawAlpha16(benchmark::State& state) {
  TDIBX src, dst;
  Noise(src, kW, kH, 16, 1);
  Noise(dst, kW, kH, 16, 2);
  for (auto _ : state) {
    dst.DrawAlpha(0, 0, src, src.BoundsRect(), false, false, false, 128);
    benchmark::ClobberMemory();
  }
  Pixels(state, kW * kH);
}
BENCHMARK(BM_DrawAlpha16)->Unit(benchmark::kMicrosecond);

void BM_DrawMask16(benchmark::State& state) {
  TDIBX src, dst, mask;
  Noise(src, kW, kH, 16, 1);
  Noise(dst, kW, kH, 16, 2);
  Noise(mask, kW, kH, 8, 3);
  for (auto _ : state) {
    dst.DrawMask(0, 0, src, src.BoundsRect(), true, false, mask);
    benchmark::ClobberMemory();
  }
  Pixels(state, kW * kH);
}
BENCHMARK(BM_DrawMask16)->Unit(benchmark::kMicrosecond);

void BM_FillRectAlpha16(benchmark::State& state) {
  TDIBX dst;
  Noise(dst, kW, kH, 16, 2);
  for (auto _ : state) {
    dst.FillRectAlpha(dst.BoundsRect(), 0x1234, 100);
    benchmark::ClobberMemory();
  }
  Pixels(state, kW * kH);
}
BENCHMARK(BM_FillRectAlpha16)->Unit(benchmark::kMicrosecond);

void BM_StretchDrawMask(benchmark::State& state) {
  TDIBX src, dst, mask;
  Noise(src, 640, 360, 32, 1);
  Noise(mask, 640, 360, 8, 3);
  Noise(dst, kW, kH, 32, 2);
  const int32_t alpha = int32_t(state.range(0));
  for (auto _ : state) {
    dst.StretchDrawMask(dst.BoundsRect(), src, src.BoundsRect(), false, false, mask, alpha);
    benchmark::ClobberMemory();
  }
  Pixels(state, kW * kH);
}
BENCHMARK(BM_StretchDrawMask)->Arg(255)->Arg(128)->ArgName("alpha")->Unit(benchmark::kMicrosecond);

void BM_DrawRotateMask(benchmark::State& state) {
  TDIBX src, dst, mask;
  Noise(src, 256, 256, 32, 1);
  Noise(mask, 256, 256, 8, 3);
  Noise(dst, 800, 600, 32, 2);
  for (auto _ : state) {
    dst.DrawRotateMask(400, 300, 384, 384, src, src.BoundsRect(), 128, 128, 37, false, false, mask, 200);
    benchmark::ClobberMemory();
  }
  Pixels(state, 384 * 384);
}
BENCHMARK(BM_DrawRotateMask)->Unit(benchmark::kMicrosecond);

void BM_DrawPatternTable(benchmark::State& state) {
  TDIBX pattern, dst;
  Noise(pattern, 64, 64, 32, 1);
  Noise(dst, kW, kH, 32, 2);
  const int32_t level = int32_t(state.range(0));
  for (auto _ : state) {
    dst.DrawPatternTable(dst.BoundsRect(), 384, 384, pattern, 5, 7, false, false, false, level);
    benchmark::ClobberMemory();
  }
  Pixels(state, kW * kH);
}
BENCHMARK(BM_DrawPatternTable)->Arg(255)->Arg(128)->ArgName("level")->Unit(benchmark::kMicrosecond);

// A screen of 8-bit codes added through a table (the glyph-plane form).
void BM_DrawTableAdd(benchmark::State& state) {
  TDIBX codes, dst;
  Noise(codes, kW, kH, 8, 1);
  Noise(dst, kW, kH, 32, 2);
  std::vector<uint32_t> table(256);
  for (uint32_t i = 0; i < 256; ++i) table[i] = i * 0x010101;
  for (auto _ : state) {
    dst.DrawTableAdd(0, 0, codes, codes.BoundsRect(), 16, false, false, 200, table);
    benchmark::ClobberMemory();
  }
  Pixels(state, kW * kH);
}
BENCHMARK(BM_DrawTableAdd)->Unit(benchmark::kMicrosecond);

// 4 x 4 supersampled 1-bit glyphs of 24 x 24 pixels, a page of them.
void BM_DrawMonoReduced(benchmark::State& state) {
  TDIBX mono, dst;
  mono.SetSize(96, 96, 1);
  for (int32_t y = 0; y < 96; ++y)
    for (int32_t x = 0; x < 96; ++x) mono.SetPixel(x, y, ((x / 3 + y / 5) & 1) != 0);
  Noise(dst, kW, kH, 32, 2);
  for (auto _ : state) {
    for (int32_t i = 0; i < 200; ++i)
      dst.DrawMonoReduced((i % 40) * 30, (i / 40) * 30, mono, mono.BoundsRect(), 0xFFFFFF, false, false, 255, 4);
    benchmark::ClobberMemory();
  }
  Pixels(state, 200 * 24 * 24);
}
BENCHMARK(BM_DrawMonoReduced)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kova
