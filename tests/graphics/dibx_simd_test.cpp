// Randomised differential tests: the SSE2 and AVX2 row routines against the scalar ones, pixel
// for pixel, over lengths around the vector widths, both directions, keys, masks and levels; and
// whole drawing operations under each forced instruction set.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "dibx_test_util.h"
#include "graphics/dibx.h"
#include "graphics/kernels/row32.h"
#include "graphics/simd_dispatch.h"

namespace kova {
namespace {

using kernels::TRow32Kernels;

struct TRandom {
  std::mt19937 gen{12345};
  uint32_t Next() { return uint32_t(gen()); }
  uint32_t Below(uint32_t n) { return Next() % n; }
  // Pixels drawn from a few values often, so equal pixels and key matches occur.
  uint32_t Pixel() {
    static const uint32_t common[] = {0, 0xFFFFFFFF, 0x00FFFFFF, 0x00123456, 0xFF808080};
    return Below(3) == 0 ? common[Below(5)] : Next();
  }
  uint8_t MaskValue() {
    const uint32_t k = Below(4);
    return k == 0 ? 0 : k == 1 ? 255 : uint8_t(Next());
  }
  uint32_t Level() {
    const uint32_t k = Below(4);
    return k == 0 ? 255 : k == 1 ? 1 : Below(256);
  }
};

// One buffer set: destination, source and mask with guard room on both sides of the row so that
// reversed walks have valid memory behind their first pixel.
struct TRowData {
  static constexpr int32_t kPad = 80;
  std::vector<uint32_t> d, s;
  std::vector<uint8_t> m;
  void Fill(TRandom& r, int32_t n) {
    d.assign(size_t(n + 2 * kPad), 0);
    s.assign(size_t(n + 2 * kPad), 0);
    m.assign(size_t(n + 2 * kPad), 0);
    for (auto& v : d) v = r.Pixel();
    for (auto& v : s) v = r.Below(4) == 0 ? 0x00123456 : r.Pixel();
    for (auto& v : m) v = r.MaskValue();
    // Some pixels equal to the source.
    for (size_t i = 0; i < d.size(); ++i)
      if (r.Below(5) == 0) d[i] = s[i];
  }
};

void CheckTable(const TRow32Kernels& k, const char* name) {
  const TRow32Kernels& ref = kernels::kRow32Scalar;
  TRandom r;
  for (int32_t iter = 0; iter < 600; ++iter) {
    const int32_t n = iter < 70 ? iter : int32_t(r.Below(70));
    const bool rev = r.Below(2) == 1;
    const bool keyed = r.Below(2) == 1;
    const uint32_t key = 0x00123456;
    const uint32_t level = r.Level();
    const uint32_t color = r.Pixel();
    TRowData base;
    base.Fill(r, n);
    const int32_t start = rev ? TRowData::kPad + n - 1 : TRowData::kPad;
    for (int32_t op = 0; op < 12; ++op) {
      TRowData a = base, b = base;
      auto run = [&](const TRow32Kernels& t, TRowData& x) {
        uint32_t* d = x.d.data() + TRowData::kPad;
        const uint32_t* s = x.s.data() + start;
        const uint8_t* m = x.m.data() + start;
        switch (op) {
          case 0: t.copy_rev(d, s, rev ? n : 0); break;
          case 1: t.copy_key(d, s, rev, n, key); break;
          case 2: t.fill(d, n, color); break;
          case 3: t.fill_alpha(d, n, color, level); break;
          case 4: t.fill_add(d, n, color); break;
          case 5: t.fill_sub(d, n, color); break;
          case 6: t.fill_mask(d, m, rev, n, color, level); break;
          case 7: t.blend(d, s, rev, n, level, keyed, key); break;
          case 8: t.mask(d, s, m, rev, n); break;
          case 9: t.mask_alpha(d, s, m, rev, n, level); break;
          case 10: t.add(d, s, rev, n, level, keyed, key); break;
          case 11: t.mask_add(d, s, m, rev, n, level); break;
        }
      };
      run(ref, a);
      run(k, b);
      ASSERT_EQ(a.d, b.d) << name << " op " << op << " n " << n << " rev " << rev << " level " << level;
    }
  }
}

TEST(DibxSimd, Sse2RowsEqualTheScalarRows) {
  if (SupportedSimdLevel() < TSimdLevel::Sse2) GTEST_SKIP() << "no SSE2";
  CheckTable(kernels::kRow32Sse2, "sse2");
}

TEST(DibxSimd, Avx2RowsEqualTheScalarRows) {
  if (SupportedSimdLevel() < TSimdLevel::Avx2) GTEST_SKIP() << "no AVX2";
  CheckTable(kernels::kRow32Avx2, "avx2");
}

TEST(DibxSimd, LevelsCanBeForcedAndAreCapped) {
  const TSimdLevel saved = ActiveSimdLevel();
  EXPECT_EQ(SetSimdLevel(TSimdLevel::Scalar), TSimdLevel::Scalar);
  EXPECT_EQ(&Row32Kernels(), &kernels::kRow32Scalar);
  EXPECT_EQ(SetSimdLevel(TSimdLevel::Avx2), SupportedSimdLevel());
  EXPECT_EQ(SimdLevelName(TSimdLevel::Sse2), "sse2");
  SetSimdLevel(saved);
}

// Every 32-bit operation on random surfaces, clipped and mirrored, gives the same pixels under
// each instruction set.
TEST(DibxSimd, WholeOperationsAgreeAcrossLevels) {
  const TSimdLevel saved = ActiveSimdLevel();
  TRandom r;
  for (int32_t iter = 0; iter < 40; ++iter) {
    const int32_t w = 1 + int32_t(r.Below(45)), h = 1 + int32_t(r.Below(5));
    TDIBX src, mask, base;
    src.SetSize(w, h, 32);
    mask.SetSize(w, h, 8);
    base.SetSize(w + 7, h + 3, 32);
    for (int32_t y = 0; y < h; ++y)
      for (int32_t x = 0; x < w; ++x) {
        src.SetPixel(x, y, r.Below(4) == 0 ? 0x123456 : r.Pixel());
        mask.SetPixel(x, y, r.MaskValue());
      }
    for (int32_t y = 0; y < base.Height(); ++y)
      for (int32_t x = 0; x < base.Width(); ++x) base.SetPixel(x, y, r.Pixel());
    src.TransparentColor = 0x123456;
    const int32_t dx = int32_t(r.Below(11)) - 3, dy = int32_t(r.Below(5)) - 1;
    const bool mx = r.Below(2), my = r.Below(2);
    const int32_t level = int32_t(r.Level());
    const uint32_t color = r.Pixel() & 0xFFFFFF;
    std::vector<std::vector<uint32_t>> results;
    for (TSimdLevel lv : {TSimdLevel::Scalar, TSimdLevel::Sse2, TSimdLevel::Avx2}) {
      if (lv > SupportedSimdLevel()) continue;
      SetSimdLevel(lv);
      TDIBX dst;
      dst.CopyFrom(base);
      const TRect sr = src.BoundsRect();
      dst.Draw(dx, dy, src, sr, true, mx, my);
      dst.DrawAlpha(dx + 1, dy, src, sr, true, mx, my, level);
      dst.DrawMask(dx, dy + 1, src, sr, mx, my, mask);
      dst.DrawMaskAlpha(dx + 2, dy, src, sr, mx, my, mask, level);
      dst.DrawAdd(dx, dy, src, sr, false, mx, my, level);
      dst.DrawMaskAdd(dx + 3, dy + 1, src, sr, mx, my, mask, level);
      dst.FillRectAlpha(TRect{dx, dy, dx + w, dy + h}, color, level);
      dst.FillRectAdd(TRect{dx + 1, dy, dx + w, dy + h}, color, level);
      dst.FillRectSub(TRect{dx, dy + 1, dx + w, dy + h}, color);
      dst.FillMask(dx, dy, mask, mask.BoundsRect(), mx, my, color, level);
      results.push_back(test::PixelsOf(dst));
    }
    for (size_t i = 1; i < results.size(); ++i) ASSERT_EQ(results[0], results[i]) << "iteration " << iter;
  }
  SetSimdLevel(saved);
}

}  // namespace
}  // namespace kova
