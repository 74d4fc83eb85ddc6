// The 32-bit row routines in plain C++: the reference every SIMD table is tested against.
#include <algorithm>

#include "graphics/kernels/pixel_ops.h"
#include "graphics/kernels/row32.h"

namespace kova::kernels {

namespace {

inline const uint32_t* At(const uint32_t* s, bool rev, int32_t i) { return rev ? s - i : s + i; }
inline const uint8_t* At(const uint8_t* m, bool rev, int32_t i) { return rev ? m - i : m + i; }

void CopyRev(uint32_t* d, const uint32_t* s, int32_t n) {
  for (int32_t i = 0; i < n; ++i) d[i] = s[-i];
}
void CopyKey(uint32_t* d, const uint32_t* s, bool rev, int32_t n, uint32_t key) {
  for (int32_t i = 0; i < n; ++i) {
    const uint32_t v = *At(s, rev, i);
    if (v != key) d[i] = v;
  }
}
void Fill(uint32_t* d, int32_t n, uint32_t color) { std::fill_n(d, n, color); }
void FillAlpha(uint32_t* d, int32_t n, uint32_t color, uint32_t alpha) {
  for (int32_t i = 0; i < n; ++i) d[i] = FillAlphaPx(d[i], color, alpha);
}
void FillAdd(uint32_t* d, int32_t n, uint32_t color) {
  for (int32_t i = 0; i < n; ++i) d[i] = TBytes32::AddSat(d[i], color);
}
void FillSub(uint32_t* d, int32_t n, uint32_t color) {
  for (int32_t i = 0; i < n; ++i) d[i] = TBytes32::SubSat(d[i], color);
}
void FillMask(uint32_t* d, const uint8_t* m, bool rev, int32_t n, uint32_t color, uint32_t level) {
  for (int32_t i = 0; i < n; ++i) d[i] = FillMaskPx(d[i], *At(m, rev, i), color, level);
}
void Blend(uint32_t* d, const uint32_t* s, bool rev, int32_t n, uint32_t alpha, bool keyed, uint32_t key) {
  for (int32_t i = 0; i < n; ++i) d[i] = BlendPx(d[i], *At(s, rev, i), alpha, keyed, key);
}
void Mask(uint32_t* d, const uint32_t* s, const uint8_t* m, bool rev, int32_t n) {
  for (int32_t i = 0; i < n; ++i) d[i] = MaskPx(d[i], *At(s, rev, i), *At(m, rev, i));
}
void MaskAlpha(uint32_t* d, const uint32_t* s, const uint8_t* m, bool rev, int32_t n, uint32_t alpha) {
  for (int32_t i = 0; i < n; ++i) d[i] = MaskAlphaPx(d[i], *At(s, rev, i), *At(m, rev, i), alpha);
}
void Add(uint32_t* d, const uint32_t* s, bool rev, int32_t n, uint32_t level, bool keyed, uint32_t key) {
  for (int32_t i = 0; i < n; ++i) d[i] = AddPx(d[i], *At(s, rev, i), level, keyed, key);
}
void MaskAdd(uint32_t* d, const uint32_t* s, const uint8_t* m, bool rev, int32_t n, uint32_t level) {
  for (int32_t i = 0; i < n; ++i) d[i] = MaskAddPx(d[i], *At(s, rev, i), *At(m, rev, i), level);
}

}  // namespace

const TRow32Kernels kRow32Scalar = {CopyRev, CopyKey, Fill,      FillAlpha, FillAdd, FillSub,
                                    FillMask, Blend,  Mask,      MaskAlpha, Add,     MaskAdd};

}  // namespace kova::kernels
