// Translucent and alpha-plane blits of 1280 x 720 32-bit surfaces against pixman's OVER with a
// solid mask and with an a8 mask.
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstdint>
#include <vector>

#include "graphics/dib_surface.h"

namespace kova {
namespace {

constexpr int32_t kW = 1280, kH = 720;

TDIBSurface MakeSurface(uint32_t seed) {
  TDIBSurface s;
  s.SetSize(kW, kH, 32);
  uint32_t v = seed;
  for (int32_t y = 0; y < kH; ++y) {
    uint32_t* row = reinterpret_cast<uint32_t*>(s.RowAddress(y));
    for (int32_t x = 0; x < kW; ++x) {
      v = v * 1664525u + 1013904223u;
      row[x] = v & 0xFFFFFF;
    }
  }
  return s;
}

// Alpha of every kind: partial values everywhere (`sprite` false) or a sprite-like mask with
// transparent and opaque areas and partial edges.
void FillAlpha(TDIBSurface& s, bool sprite) {
  s.NeedAlpha();
  for (int32_t y = 0; y < kH; ++y) {
    uint8_t* row = s.Alpha()->RowAddress(y);
    for (int32_t x = 0; x < kW; ++x) {
      if (!sprite) {
        row[x] = uint8_t((x + y) % 254 + 1);
      } else {
        const int32_t d = (x % 160) - 80;
        row[x] = d < -40 || d > 40 ? 0 : (d > -32 && d < 32) ? 255 : uint8_t(40 * 6 - (d < 0 ? -d : d) * 6);
      }
    }
  }
}

void SetPixels(benchmark::State& state) {
  state.SetItemsProcessed(int64_t(state.iterations()) * kW * kH);
}

void BM_DrawTranslucent32(benchmark::State& state) {
  const TDIBSurface src = MakeSurface(1);
  TDIBSurface dst = MakeSurface(2);
  const int64_t key = state.range(0) ? 0x123456 : -1;
  for (auto _ : state) {
    dst.DrawTranslucent(0, 0, 128, key, TRect{0, 0, kW, kH}, src);
    benchmark::DoNotOptimize(dst.PixelData());
  }
  SetPixels(state);
}
BENCHMARK(BM_DrawTranslucent32)->Arg(0)->Arg(1)->ArgName("keyed")->Unit(benchmark::kMicrosecond);

void BM_DrawAlphaMask32(benchmark::State& state) {
  TDIBSurface src = MakeSurface(1);
  FillAlpha(src, state.range(0) != 0);
  TDIBSurface dst = MakeSurface(2);
  for (auto _ : state) {
    dst.DrawAlphaMask(0, 0, 255, TRect{0, 0, kW, kH}, src);
    benchmark::DoNotOptimize(dst.PixelData());
  }
  SetPixels(state);
}
BENCHMARK(BM_DrawAlphaMask32)->Arg(0)->Arg(1)->ArgName("sprite")->Unit(benchmark::kMicrosecond);

// pixman over the same pixels: x8r8g8b8 source, mask, x8r8g8b8 destination.
struct PixmanImages {
  std::vector<uint32_t> src, dst;
  std::vector<uint8_t> mask;
  pixman_image_t* s = nullptr;
  pixman_image_t* d = nullptr;
  pixman_image_t* m = nullptr;
  PixmanImages(const TDIBSurface& a, const TDIBSurface& b, bool a8_mask) : src(kW * kH), dst(kW * kH) {
    for (int32_t y = 0; y < kH; ++y)
      for (int32_t x = 0; x < kW; ++x) {
        src[size_t(y * kW + x)] = a.GetPixel(x, y);
        dst[size_t(y * kW + x)] = b.GetPixel(x, y);
      }
    s = pixman_image_create_bits(PIXMAN_x8r8g8b8, kW, kH, src.data(), kW * 4);
    d = pixman_image_create_bits(PIXMAN_x8r8g8b8, kW, kH, dst.data(), kW * 4);
    if (a8_mask) {
      const int32_t stride = (kW + 3) & ~3;
      mask.resize(size_t(stride) * kH);
      for (int32_t y = 0; y < kH; ++y)
        for (int32_t x = 0; x < kW; ++x) mask[size_t(y * stride + x)] = uint8_t(a.Alpha()->GetPixel(x, y));
      m = pixman_image_create_bits(PIXMAN_a8, kW, kH, reinterpret_cast<uint32_t*>(mask.data()), stride);
    } else {
      pixman_color_t c{0, 0, 0, 0x8080};
      m = pixman_image_create_solid_fill(&c);
    }
  }
  ~PixmanImages() {
    pixman_image_unref(s);
    pixman_image_unref(d);
    pixman_image_unref(m);
  }
};

void BM_PixmanOverSolidMask(benchmark::State& state) {
  PixmanImages im(MakeSurface(1), MakeSurface(2), false);
  for (auto _ : state) {
    pixman_image_composite32(PIXMAN_OP_OVER, im.s, im.m, im.d, 0, 0, 0, 0, 0, 0, kW, kH);
    benchmark::DoNotOptimize(im.dst.data());
  }
  SetPixels(state);
}
BENCHMARK(BM_PixmanOverSolidMask)->Unit(benchmark::kMicrosecond);

void BM_PixmanOverA8Mask(benchmark::State& state) {
  TDIBSurface src = MakeSurface(1);
  FillAlpha(src, state.range(0) != 0);
  PixmanImages im(src, MakeSurface(2), true);
  for (auto _ : state) {
    pixman_image_composite32(PIXMAN_OP_OVER, im.s, im.m, im.d, 0, 0, 0, 0, 0, 0, kW, kH);
    benchmark::DoNotOptimize(im.dst.data());
  }
  SetPixels(state);
}
BENCHMARK(BM_PixmanOverA8Mask)->Arg(0)->Arg(1)->ArgName("sprite")->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kova
