// The 32-bit drawing-surface rows against their natural yardsticks, at 1920 x 1080 and 64 x 64:
// FillRect against memset, Draw against memcpy, and the blends against pixman's OVER and ADD with
// solid and a8 masks. Our operations take a second argument, the instruction set (0 scalar,
// 1 SSE2, 2 AVX2; capped at what the processor runs).
#include <benchmark/benchmark.h>
#include <pixman.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include "graphics/dibx.h"
#include "graphics/simd_dispatch.h"

namespace kova {
namespace {

struct TSize {
  int32_t w, h;
};
constexpr TSize kSizes[] = {{1920, 1080}, {64, 64}};

TSize SizeOf(const benchmark::State& state) { return kSizes[state.range(0)]; }

uint32_t Lcg(uint32_t& v) {
  v = v * 1664525u + 1013904223u;
  return v;
}

void FillSurface(TDIBX& s, TSize sz, int32_t bits, uint32_t seed) {
  s.SetSize(sz.w, sz.h, bits);
  uint32_t v = seed;
  for (int32_t y = 0; y < sz.h; ++y) {
    uint8_t* row = s.PixelAddress(0, y);
    for (int32_t x = 0; x < sz.w; ++x) {
      if (bits == 32) {
        const uint32_t p = Lcg(v) & 0xFFFFFF;
        std::memcpy(row + 4 * x, &p, 4);
      } else {
        // Coverage of every kind: partial values in most places (the hard case for a blend).
        row[x] = uint8_t((x + y) % 254 + 1);
      }
    }
    s.Unlock();
  }
}

// The instruction set of our benchmarks, restored afterwards.
class TLevelScope {
 public:
  explicit TLevelScope(const benchmark::State& state) : saved_(ActiveSimdLevel()) {
    const TSimdLevel want = TSimdLevel(state.range(1));
    got_ = SetSimdLevel(want);
    ok_ = got_ == want;
  }
  ~TLevelScope() { SetSimdLevel(saved_); }
  bool ok() const { return ok_; }

 private:
  TSimdLevel saved_, got_;
  bool ok_ = true;
};

void Pixels(benchmark::State& state) {
  const TSize sz = SizeOf(state);
  state.SetItemsProcessed(int64_t(state.iterations()) * sz.w * sz.h);
}

#define KOVA_OUR_OP(Name, Body)                                     \
  void Name(benchmark::State& state) {                              \
    TLevelScope level(state);                                       \
    if (!level.ok()) return state.SkipWithError("level not here");  \
    const TSize sz = SizeOf(state);                                 \
    TDIBX src, dst, mask;                                           \
    FillSurface(src, sz, 32, 1);                                    \
    FillSurface(dst, sz, 32, 2);                                    \
    FillSurface(mask, sz, 8, 3);                                    \
    const TRect r{0, 0, sz.w, sz.h};                                \
    (void)r;                                                        \
    for (auto _ : state) {                                          \
      Body;                                                         \
      benchmark::ClobberMemory();                                   \
    }                                                               \
    Pixels(state);                                                  \
  }                                                                 \
  BENCHMARK(Name)->ArgsProduct({{0, 1}, {0, 1, 2}})->ArgNames({"size", "simd"})->Unit(benchmark::kMicrosecond);

KOVA_OUR_OP(BM_FillRect, dst.FillRect(r, 0x123456))
KOVA_OUR_OP(BM_FillRectAlpha, dst.FillRectAlpha(r, 0x123456, 128))
KOVA_OUR_OP(BM_FillRectAdd, dst.FillRectAdd(r, 0x402010))
KOVA_OUR_OP(BM_FillMask, dst.FillMask(0, 0, mask, r, false, false, 0x123456, 255))
KOVA_OUR_OP(BM_Draw, dst.Draw(0, 0, src, r, false, false, false))
KOVA_OUR_OP(BM_DrawMirrored, dst.Draw(0, 0, src, r, false, true, false))
KOVA_OUR_OP(BM_DrawAlpha, dst.DrawAlpha(0, 0, src, r, false, false, false, 128))
KOVA_OUR_OP(BM_DrawMask, dst.DrawMask(0, 0, src, r, false, false, mask))
KOVA_OUR_OP(BM_DrawMaskAlpha, dst.DrawMaskAlpha(0, 0, src, r, false, false, mask, 200))
KOVA_OUR_OP(BM_DrawAdd, dst.DrawAdd(0, 0, src, r, false, false, false, 128))
KOVA_OUR_OP(BM_DrawMaskAdd, dst.DrawMaskAdd(0, 0, src, r, false, false, mask, 255))

// A keyed copy of a sprite whose transparent pixels come in runs (half the area).
void BM_DrawKeyed(benchmark::State& state) {
  TLevelScope level(state);
  if (!level.ok()) return state.SkipWithError("level not here");
  const TSize sz = SizeOf(state);
  TDIBX src, dst;
  FillSurface(src, sz, 32, 1);
  FillSurface(dst, sz, 32, 2);
  for (int32_t y = 0; y < sz.h; ++y)
    for (int32_t x = 0; x < sz.w; ++x)
      if ((x / 16 + y / 16) % 2) src.SetPixel(x, y, 0xFF00FF);
  src.TransparentColor = 0xFF00FF;
  const TRect r{0, 0, sz.w, sz.h};
  for (auto _ : state) {
    dst.Draw(0, 0, src, r, true, false, false);
    benchmark::ClobberMemory();
  }
  Pixels(state);
}
BENCHMARK(BM_DrawKeyed)->ArgsProduct({{0, 1}, {0, 1, 2}})->ArgNames({"size", "simd"})->Unit(benchmark::kMicrosecond);

// ---- Yardsticks ----

void BM_Memset(benchmark::State& state) {
  const TSize sz = SizeOf(state);
  std::vector<uint32_t> buf(size_t(sz.w) * sz.h);
  for (auto _ : state) {
    for (int32_t y = 0; y < sz.h; ++y) std::memset(buf.data() + size_t(y) * sz.w, 0x12, size_t(sz.w) * 4);
    benchmark::ClobberMemory();
  }
  Pixels(state);
}
BENCHMARK(BM_Memset)->Arg(0)->Arg(1)->ArgName("size")->Unit(benchmark::kMicrosecond);

void BM_Memcpy(benchmark::State& state) {
  const TSize sz = SizeOf(state);
  std::vector<uint32_t> a(size_t(sz.w) * sz.h, 1), b(size_t(sz.w) * sz.h, 2);
  for (auto _ : state) {
    for (int32_t y = 0; y < sz.h; ++y)
      std::memcpy(b.data() + size_t(y) * sz.w, a.data() + size_t(y) * sz.w, size_t(sz.w) * 4);
    benchmark::ClobberMemory();
  }
  Pixels(state);
}
BENCHMARK(BM_Memcpy)->Arg(0)->Arg(1)->ArgName("size")->Unit(benchmark::kMicrosecond);

// pixman over copies of the same pixels: 32-bit source and destination, an a8 mask of the same
// coverage, or a solid mask / solid source of alpha 0x80.
struct TPixman {
  std::vector<uint32_t> src, dst;
  std::vector<uint8_t> a8;
  pixman_image_t *s = nullptr, *d = nullptr, *m = nullptr, *solid_mask = nullptr, *solid_src = nullptr;
  pixman_image_t* const none = nullptr;
  explicit TPixman(TSize sz, pixman_format_code_t src_format = PIXMAN_x8r8g8b8) {
    TDIBX a, b, c;
    FillSurface(a, sz, 32, 1);
    FillSurface(b, sz, 32, 2);
    FillSurface(c, sz, 8, 3);
    const int32_t stride8 = (sz.w + 3) & ~3;
    src.resize(size_t(sz.w) * sz.h);
    dst.resize(size_t(sz.w) * sz.h);
    a8.resize(size_t(stride8) * sz.h);
    for (int32_t y = 0; y < sz.h; ++y)
      for (int32_t x = 0; x < sz.w; ++x) {
        src[size_t(y) * sz.w + x] = a.GetPixel(x, y) | 0xFF000000;
        dst[size_t(y) * sz.w + x] = b.GetPixel(x, y);
        a8[size_t(y) * stride8 + x] = uint8_t(c.GetPixel(x, y));
      }
    s = pixman_image_create_bits(src_format, sz.w, sz.h, src.data(), sz.w * 4);
    d = pixman_image_create_bits(PIXMAN_x8r8g8b8, sz.w, sz.h, dst.data(), sz.w * 4);
    m = pixman_image_create_bits(PIXMAN_a8, sz.w, sz.h, reinterpret_cast<uint32_t*>(a8.data()), stride8);
    const pixman_color_t half{0, 0, 0, 0x8080};
    solid_mask = pixman_image_create_solid_fill(&half);
    const pixman_color_t colour{0x0909, 0x1A1A, 0x2B2B, 0x8080};
    solid_src = pixman_image_create_solid_fill(&colour);
  }
  ~TPixman() {
    for (pixman_image_t* i : {s, d, m, solid_mask, solid_src}) pixman_image_unref(i);
  }
};

#define KOVA_PIXMAN_OP(Name, Format, Op, Src, Mask)                                        \
  void Name(benchmark::State& state) {                                                     \
    const TSize sz = SizeOf(state);                                                        \
    TPixman px(sz, Format);                                                                \
    for (auto _ : state) {                                                                 \
      pixman_image_composite32(Op, px.Src, px.Mask, px.d, 0, 0, 0, 0, 0, 0, sz.w, sz.h);  \
      benchmark::ClobberMemory();                                                          \
    }                                                                                      \
    Pixels(state);                                                                         \
  }                                                                                        \
  BENCHMARK(Name)->Arg(0)->Arg(1)->ArgName("size")->Unit(benchmark::kMicrosecond);

KOVA_PIXMAN_OP(BM_PixmanFillSolid, PIXMAN_x8r8g8b8, PIXMAN_OP_SRC, solid_src, none)
KOVA_PIXMAN_OP(BM_PixmanOverSolid, PIXMAN_x8r8g8b8, PIXMAN_OP_OVER, solid_src, none)
KOVA_PIXMAN_OP(BM_PixmanAddSolid, PIXMAN_x8r8g8b8, PIXMAN_OP_ADD, solid_src, none)
KOVA_PIXMAN_OP(BM_PixmanOverSolidA8, PIXMAN_x8r8g8b8, PIXMAN_OP_OVER, solid_src, m)
KOVA_PIXMAN_OP(BM_PixmanOverSolidMask, PIXMAN_x8r8g8b8, PIXMAN_OP_OVER, s, solid_mask)
KOVA_PIXMAN_OP(BM_PixmanOverA8, PIXMAN_x8r8g8b8, PIXMAN_OP_OVER, s, m)
KOVA_PIXMAN_OP(BM_PixmanAdd, PIXMAN_a8r8g8b8, PIXMAN_OP_ADD, s, none)
KOVA_PIXMAN_OP(BM_PixmanAddSolidMask, PIXMAN_a8r8g8b8, PIXMAN_OP_ADD, s, solid_mask)
KOVA_PIXMAN_OP(BM_PixmanAddA8, PIXMAN_a8r8g8b8, PIXMAN_OP_ADD, s, m)

}  // namespace
}  // namespace kova
