// Scaled and rotated drawing of 32-bit surfaces against pixman: StretchDraw of 640 x 480 onto
// 1920 x 1080 against pixman's nearest scaling, and DrawRotate of 256 x 256 (angle 37, scale 384)
// against pixman's nearest affine transform.
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "graphics/dibx.h"

namespace kova {
namespace {

void FillNoise(TDIBX& s, uint32_t seed) {
  uint32_t v = seed;
  for (int32_t y = 0; y < s.Height(); ++y) {
    uint32_t* row = reinterpret_cast<uint32_t*>(s.PixelAddress(0, y));
    for (int32_t x = 0; x < s.Width(); ++x) {
      v = v * 1664525u + 1013904223u;
      row[x] = v & 0xFFFFFF;
    }
    s.Unlock();
  }
}

TDIBX& Surface(int32_t w, int32_t h, uint32_t seed) {
  auto* s = new TDIBX;  // kept for the whole run
  s->SetSize(w, h, 32);
  FillNoise(*s, seed);
  return *s;
}

// pixman images over our own pixel memory (top row and a signed pitch are what pixman wants too,
// but it needs a positive stride, so it gets its own buffers of the same pixels).
struct PixmanImage {
  std::vector<uint32_t> pixels;
  pixman_image_t* image = nullptr;
  PixmanImage(int32_t w, int32_t h, pixman_format_code_t format, uint32_t seed) : pixels(size_t(w) * size_t(h)) {
    uint32_t v = seed;
    for (uint32_t& p : pixels) {
      v = v * 1664525u + 1013904223u;
      p = (v & 0xFFFFFF) | 0xFF000000u;
    }
    image = pixman_image_create_bits(format, w, h, pixels.data(), w * 4);
  }
  ~PixmanImage() { pixman_image_unref(image); }
};

constexpr int32_t kSrcW = 640, kSrcH = 480, kDstW = 1920, kDstH = 1080;

void BM_StretchDraw(benchmark::State& state) {
  TDIBX& src = Surface(kSrcW, kSrcH, 1);
  TDIBX& dst = Surface(kDstW, kDstH, 2);
  const int32_t mode = int32_t(state.range(0));  // 0 copy, 1 keyed copy, 2 blend 128
  src.TransparentColor = mode == 1 ? int32_t(src.GetPixel(3, 3)) : -1;
  for (auto _ : state) {
    dst.StretchDraw(dst.BoundsRect(), src, src.BoundsRect(), mode == 1, false, false, mode == 2 ? 128 : 255);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * kDstW * kDstH);
}
BENCHMARK(BM_StretchDraw)->Arg(0)->Arg(1)->Arg(2)->ArgName("mode")->Unit(benchmark::kMicrosecond);

void BM_PixmanNearestScale(benchmark::State& state) {
  PixmanImage src(kSrcW, kSrcH, PIXMAN_x8r8g8b8, 1), dst(kDstW, kDstH, PIXMAN_x8r8g8b8, 2);
  pixman_transform_t t;
  pixman_transform_init_scale(&t, pixman_double_to_fixed(double(kSrcW) / kDstW),
                              pixman_double_to_fixed(double(kSrcH) / kDstH));
  pixman_image_set_transform(src.image, &t);
  pixman_image_set_filter(src.image, PIXMAN_FILTER_NEAREST, nullptr, 0);
  const bool blend = state.range(0) == 2;
  pixman_color_t half{0, 0, 0, 0x8080};
  pixman_image_t* mask = blend ? pixman_image_create_solid_fill(&half) : nullptr;
  for (auto _ : state) {
    pixman_image_composite32(blend ? PIXMAN_OP_OVER : PIXMAN_OP_SRC, src.image, mask, dst.image, 0, 0, 0, 0, 0, 0,
                             kDstW, kDstH);
    benchmark::ClobberMemory();
  }
  if (mask) pixman_image_unref(mask);
  state.SetItemsProcessed(int64_t(state.iterations()) * kDstW * kDstH);
}
BENCHMARK(BM_PixmanNearestScale)->Arg(0)->Arg(2)->ArgName("mode")->Unit(benchmark::kMicrosecond);

constexpr int32_t kRotSize = 256, kRotDstW = 800, kRotDstH = 600, kAngle = 37, kScale = 384;
constexpr int32_t kX = 400, kY = 300, kPivot = 128;

void BM_DrawRotate(benchmark::State& state) {
  TDIBX& src = Surface(kRotSize, kRotSize, 3);
  TDIBX& dst = Surface(kRotDstW, kRotDstH, 4);
  const int32_t level = state.range(0) ? 128 : 255;
  for (auto _ : state) {
    dst.DrawRotate(kX, kY, kScale, kScale, src, src.BoundsRect(), kPivot, kPivot, kAngle, false, false, false, level);
    benchmark::ClobberMemory();
  }
  const TRect box = CalcRotatedBounds(kX, kY, kPivot, kPivot, kAngle, src.BoundsRect(), kScale, kScale, 0, 0, false,
                                      false);
  state.SetItemsProcessed(int64_t(state.iterations()) * box.Width() * box.Height());
}
BENCHMARK(BM_DrawRotate)->Arg(0)->Arg(1)->ArgName("blend")->Unit(benchmark::kMicrosecond);

void BM_PixmanAffineNearest(benchmark::State& state) {
  PixmanImage src(kRotSize, kRotSize, PIXMAN_a8r8g8b8, 3), dst(kRotDstW, kRotDstH, PIXMAN_x8r8g8b8, 4);
  // Destination to source: the inverse rotation and scale about the pivot.
  const double a = kAngle * 2.0 * M_PI / 256.0, s = kScale / 256.0, c = std::cos(a) / s, n = std::sin(a) / s;
  pixman_f_transform ft{};
  ft.m[0][0] = c;
  ft.m[0][1] = n;
  ft.m[0][2] = kPivot - (c * kX + n * kY);
  ft.m[1][0] = -n;
  ft.m[1][1] = c;
  ft.m[1][2] = kPivot - (-n * kX + c * kY);
  ft.m[2][2] = 1;
  pixman_transform_t t;
  pixman_transform_from_pixman_f_transform(&t, &ft);
  pixman_image_set_transform(src.image, &t);
  pixman_image_set_filter(src.image, PIXMAN_FILTER_NEAREST, nullptr, 0);
  const TRect box = CalcRotatedBounds(kX, kY, kPivot, kPivot, kAngle, TRect{0, 0, kRotSize, kRotSize}, kScale, kScale,
                                      0, 0, false, false);
  const TRect area{std::max(box.Left, 0), std::max(box.Top, 0), std::min(box.Right, kRotDstW),
                   std::min(box.Bottom, kRotDstH)};
  const bool blend = state.range(0) != 0;
  pixman_color_t half{0, 0, 0, 0x8080};
  pixman_image_t* mask = blend ? pixman_image_create_solid_fill(&half) : nullptr;
  for (auto _ : state) {
    pixman_image_composite32(PIXMAN_OP_OVER, src.image, mask, dst.image, area.Left, area.Top, 0, 0, area.Left,
                             area.Top, area.Width(), area.Height());
    benchmark::ClobberMemory();
  }
  if (mask) pixman_image_unref(mask);
  state.SetItemsProcessed(int64_t(state.iterations()) * box.Width() * box.Height());
}
BENCHMARK(BM_PixmanAffineNearest)->Arg(0)->Arg(1)->ArgName("blend")->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace kova
