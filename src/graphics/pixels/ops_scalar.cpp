// The reference table: every operation in every format as plain C++, and the gathers and walks.
#include <algorithm>
#include <cstring>

#include "graphics/pixels/ops.h"
#include "graphics/pixels/ops_reference.h"

namespace kova::pixels {

namespace {

// Plain copies move whole rows; mirrored rows go pixel by pixel.
template <class F>
void CopyRow(uint8_t* d, const uint8_t* s, const uint8_t* m, int32_t n, int32_t dir, const TOpArgs& a) {
  if (dir > 0) {
    std::memmove(d, s, size_t(n) * F::kBytes);
    return;
  }
  RowOf<F, OpCopy>(d, s, m, n, dir, a);
}

template <class F>
void FillRow(uint8_t* d, const uint8_t*, const uint8_t*, int32_t n, int32_t, const TOpArgs& a) {
  if constexpr (F::kBytes == 1) {
    std::memset(d, int(a.color & 0xFF), size_t(n));
  } else if constexpr (F::kBytes == 2) {
    const uint16_t v = uint16_t(a.color);
    if ((v & 0xFF) == (v >> 8)) {
      std::memset(d, v & 0xFF, size_t(n) * 2);
    } else {
      for (int32_t i = 0; i < n; ++i) std::memcpy(d + 2 * i, &v, 2);
    }
  } else if constexpr (F::kBytes == 4) {
    uint32_t* p = reinterpret_cast<uint32_t*>(d);
    std::fill_n(p, n, a.color);
  } else {
    for (int32_t i = 0; i < n; ++i, d += F::kBytes) F::Store(d, a.color);
  }
}

template <class F>
void SetFormat(TPixelOps& t, TFormat f) {
  Put<CopyRow<F>>(t, TOp::Copy, f);
  Put<RowOf<F, OpKey>>(t, TOp::Key, f);
  Put<RowOf<F, OpBlend>>(t, TOp::Blend, f);
  Put<RowOf<F, OpTranslucent>>(t, TOp::Translucent, f);
  Put<RowOf<F, OpAdd>>(t, TOp::Add, f);
  Put<RowOf<F, OpMask>>(t, TOp::Mask, f);
  Put<RowOf<F, OpMaskBlend>>(t, TOp::MaskBlend, f);
  Put<RowOf<F, OpMaskAdd>>(t, TOp::MaskAdd, f);
  Put<RowOf<F, OpTable>>(t, TOp::Table, f);
  Put<FillRow<F>>(t, TOp::Fill, f);
  Put<RowOf<F, OpFillBlend>>(t, TOp::FillBlend, f);
  Put<RowOf<F, OpFillAdd>>(t, TOp::FillAdd, f);
  Put<RowOf<F, OpFillSub>>(t, TOp::FillSub, f);
  Put<RowOf<F, OpFillMask>>(t, TOp::FillMask, f);
  Put<RowOf<F, OpCover>>(t, TOp::Cover, f);
}

template <int B>
void Gather(uint8_t* out, const uint8_t* row, const int32_t* cols, int32_t n) {
  for (int32_t i = 0; i < n; ++i, out += B) std::memcpy(out, row + ptrdiff_t(cols[i]) * B, B);
}

template <int B>
void Walk(uint8_t* out, const uint8_t* base, ptrdiff_t pitch, const TWalk& w, int32_t n) {
  int64_t u = w.u, v = w.v;
  for (int32_t i = 0; i < n; ++i, out += B, u += w.du, v += w.dv)
    std::memcpy(out, base + ptrdiff_t(v >> 16) * pitch + ptrdiff_t(u >> 16) * B, B);
}

TPixelOps MakeScalar() {
  TPixelOps t;
  SetFormat<F8>(t, TFormat::P8);
  SetFormat<F555>(t, TFormat::P555);
  SetFormat<F565>(t, TFormat::P565);
  SetFormat<F24>(t, TFormat::P24);
  SetFormat<F32>(t, TFormat::P32);
  SetFormat<F32Bytes>(t, TFormat::P32Bytes);
  const TGatherFn gathers[5] = {nullptr, Gather<1>, Gather<2>, Gather<3>, Gather<4>};
  const TWalkFn walks[5] = {nullptr, Walk<1>, Walk<2>, Walk<3>, Walk<4>};
  std::copy_n(gathers, 5, t.gathers);
  std::copy_n(walks, 5, t.walks);
  return t;
}

}  // namespace

const TPixelOps& ScalarPixelOps() {
  static const TPixelOps table = MakeScalar();
  return table;
}

const TPixelOps& PixelOps(TSimdLevel level) {
  switch (level) {
    case TSimdLevel::Avx2: return Avx2PixelOps();
    case TSimdLevel::Sse2: return Sse2PixelOps();
    default: return ScalarPixelOps();
  }
}

const TPixelOps& PixelOps() { return PixelOps(ActiveSimdLevel()); }

}  // namespace kova::pixels
