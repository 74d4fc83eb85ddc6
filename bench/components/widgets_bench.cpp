// The box and the tile at full screen (1280 x 720, 32 bits) against their yardsticks: a box
// filled at alpha 128 through the scene against pixman's solid OVER, a 64 x 64 tile copied
// over the screen against memcpy of the screen's bytes, and the tile's blended table draw
// against pixman's repeating source composited OVER through a solid mask.
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "components/scene/kova_base_list.h"
#include "components/widgets/kova_box.h"
#include "components/scene/scene_host.h"
#include "components/widgets/tile_render.h"
#include "graphics/dibx.h"

namespace kova {
namespace {

constexpr int32_t kW = 1280, kH = 720, kTile = 64;

uint32_t Lcg(uint32_t& v) {
  v = v * 1664525u + 1013904223u;
  return v;
}

void Noise(TDIBX& s, int32_t w, int32_t h, uint32_t seed) {
  s.SetSize(w, h, 32);
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) s.SetPixel(x, y, Lcg(seed) & 0xFFFFFF);
  }
}

// ---- Box ----

struct BoxScene {
  BoxScene() : host(kDisplay8888), root(&host) {
    host.SetScreenSize(kW, kH);
    root.SetWidth(kW);
    root.SetHeight(kH);
    root.SetColor(-1);  // the layer clears nothing: each frame costs the box alone
    root.ActiveBase()->SetVisible(true);
    box = new TKovaBox(&root);
    box->SetParent(root.ActiveBase());
    box->SetBounds(0, 0, kW, kH);
    box->SetColor(0x2B1A09);
    box->SetAlpha(128);
  }
  THeadlessSceneHost host;
  TKovaBaseList root;
  TKovaBox* box;
};

void BM_BoxFillAlpha128(benchmark::State& state) {
  BoxScene scene;
  for (auto _ : state) {
    scene.root.ActiveBase()->InvalidateAll();
    scene.root.Draw();
    scene.root.EndFrame();
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kW * kH * 4);
}
BENCHMARK(BM_BoxFillAlpha128)->Unit(benchmark::kMicrosecond);

// pixman: a solid colour of alpha 128 OVER the screen.
void BM_PixmanSolidOver(benchmark::State& state) {
  std::vector<uint32_t> dst(size_t(kW) * kH, 0x404040);
  pixman_image_t* d = pixman_image_create_bits(PIXMAN_x8r8g8b8, kW, kH, dst.data(), kW * 4);
  const pixman_color_t colour{0x0909, 0x1A1A, 0x2B2B, 0x8080};
  pixman_image_t* solid = pixman_image_create_solid_fill(&colour);
  for (auto _ : state) {
    pixman_image_composite32(PIXMAN_OP_OVER, solid, nullptr, d, 0, 0, 0, 0, 0, 0, kW, kH);
    benchmark::ClobberMemory();
  }
  pixman_image_unref(solid);
  pixman_image_unref(d);
  state.SetBytesProcessed(int64_t(state.iterations()) * kW * kH * 4);
}
BENCHMARK(BM_PixmanSolidOver)->Unit(benchmark::kMicrosecond);

// ---- Tile ----

void BM_TilePatternFill(benchmark::State& state) {
  TDIBX screen, tile;
  Noise(screen, kW, kH, 1);
  Noise(tile, kTile, kTile, 2);
  TTileLook look;
  look.Rect = TRect{0, 0, kW, kH};
  look.ScrollX = 13;
  look.ScrollY = 7;
  for (auto _ : state) {
    RenderTile(screen, tile, nullptr, look);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kW * kH * 4);
}
BENCHMARK(BM_TilePatternFill)->Unit(benchmark::kMicrosecond);

void BM_MemcpyScreen(benchmark::State& state) {
  std::vector<uint32_t> src(size_t(kW) * kH, 0x123456), dst(size_t(kW) * kH);
  for (auto _ : state) {
    std::memcpy(dst.data(), src.data(), dst.size() * 4);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kW * kH * 4);
}
BENCHMARK(BM_MemcpyScreen)->Unit(benchmark::kMicrosecond);

void BM_TileBlendedTable(benchmark::State& state) {
  TDIBX screen, tile;
  Noise(screen, kW, kH, 1);
  Noise(tile, kTile, kTile, 2);
  TTileLook look;
  look.Rect = TRect{0, 0, kW, kH};
  look.ScrollX = 13;
  look.ScrollY = 7;
  look.Alpha = 128;
  for (auto _ : state) {
    RenderTile(screen, tile, nullptr, look);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * kW * kH * 4);
}
BENCHMARK(BM_TileBlendedTable)->Unit(benchmark::kMicrosecond);

// pixman: a 64 x 64 source repeated over the screen, OVER through a solid mask of 128.
void BM_PixmanRepeatOver(benchmark::State& state) {
  std::vector<uint32_t> dst(size_t(kW) * kH, 0x404040), src(size_t(kTile) * kTile);
  uint32_t seed = 2;
  for (uint32_t& p : src) p = Lcg(seed) & 0xFFFFFF;
  pixman_image_t* d = pixman_image_create_bits(PIXMAN_x8r8g8b8, kW, kH, dst.data(), kW * 4);
  pixman_image_t* s = pixman_image_create_bits(PIXMAN_x8r8g8b8, kTile, kTile, src.data(), kTile * 4);
  pixman_image_set_repeat(s, PIXMAN_REPEAT_NORMAL);
  const pixman_color_t half{0, 0, 0, 0x8080};
  pixman_image_t* mask = pixman_image_create_solid_fill(&half);
  for (auto _ : state) {
    pixman_image_composite32(PIXMAN_OP_OVER, s, mask, d, 13, 7, 0, 0, 0, 0, kW, kH);
    benchmark::ClobberMemory();
  }
  for (pixman_image_t* i : {d, s, mask}) pixman_image_unref(i);
  state.SetBytesProcessed(int64_t(state.iterations()) * kW * kH * 4);
}
BENCHMARK(BM_PixmanRepeatOver)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kova
