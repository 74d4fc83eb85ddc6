// The 32-bit row routines written once over a vector type V (included by the SSE2 and AVX2
// files). Each lane's bytes go through 16-bit arithmetic exactly as TBytes32 does, so the
// results equal the scalar rows; the ends of rows (fewer pixels than a vector) use the scalar
// pixel formulas themselves.
//
// V provides: T, N (pixels per vector), load/store, set1 (32-bit), set1_16, zero, rev (reverse
// the pixel order), weights(bytes) (N mask bytes, each repeated over its pixel's four bytes),
// lo8/hi8 (bytes to 16-bit lanes), pack16, mul16, add16, sub16, srl8 / sll8 (16-bit lanes >> 8, << 8),
// cmpeq32, and_, or_, adds8, subs8, all_ones, select(mask, a, b) = mask ? a : b.

namespace {

using T = V::T;
constexpr int32_t N = V::N;

template <bool Rev>
inline T LoadS(const uint32_t* s, int32_t i) {
  if constexpr (Rev) return V::rev(V::load(s - i - (N - 1)));
  else return V::load(s + i);
}
template <bool Rev>
inline T LoadW(const uint8_t* m, int32_t i) {
  if constexpr (Rev) return V::rev(V::weights(m - i - (N - 1)));
  else return V::weights(m + i);
}
template <bool Rev>
inline uint32_t S1(const uint32_t* s, int32_t i) { return Rev ? s[-i] : s[i]; }
template <bool Rev>
inline uint8_t M1(const uint8_t* m, int32_t i) { return Rev ? m[-i] : m[i]; }

// (d * (255 - w) + s * w) >> 8 per byte, w given as 16-bit lanes for the low and high halves.
// Computed as (d * 256 - d + w * (s - d)) >> 8 in wrapping 16-bit arithmetic: the true sum lies in
// 0..65025, so the wrapped one equals it, with one multiply per half instead of two.
inline T BlendHalf(T d16, T s16, T w16) {
  return V::srl8(V::add16(V::sub16(V::sll8(d16), d16), V::mul16(w16, V::sub16(s16, d16))));
}
inline T BlendW(T d, T s, T wl, T wh) {
  return V::pack16(BlendHalf(V::lo8(d), V::lo8(s), wl), BlendHalf(V::hi8(d), V::hi8(s), wh));
}
// s * w >> 8 per byte.
inline T ScaleW(T s, T wl, T wh) {
  return V::pack16(V::srl8(V::mul16(V::lo8(s), wl)), V::srl8(V::mul16(V::hi8(s), wh)));
}

void CopyRev(uint32_t* d, const uint32_t* s, int32_t n) {
  int32_t i = 0;
  for (; i + N <= n; i += N) V::store(d + i, LoadS<true>(s, i));
  for (; i < n; ++i) d[i] = s[-i];
}

template <bool Rev>
void CopyKeyT(uint32_t* d, const uint32_t* s, int32_t n, uint32_t key) {
  const T k = V::set1(key);
  int32_t i = 0;
  for (; i + N <= n; i += N) {
    const T sv = LoadS<Rev>(s, i);
    const T skip = V::cmpeq32(sv, k);
    if (V::all_zero(skip)) {
      V::store(d + i, sv);
    } else if (!V::all_ones(skip)) {
      V::store(d + i, V::select(skip, V::load(d + i), sv));
    }
  }
  for (; i < n; ++i) {
    const uint32_t v = S1<Rev>(s, i);
    if (v != key) d[i] = v;
  }
}
void CopyKey(uint32_t* d, const uint32_t* s, bool rev, int32_t n, uint32_t key) {
  rev ? CopyKeyT<true>(d, s, n, key) : CopyKeyT<false>(d, s, n, key);
}

void Fill(uint32_t* d, int32_t n, uint32_t color) {
  const T c = V::set1(color);
  int32_t i = 0;
  for (; i + N <= n; i += N) V::store(d + i, c);
  for (; i < n; ++i) d[i] = color;
}

void FillAlpha(uint32_t* d, int32_t n, uint32_t color, uint32_t alpha) {
  const T c = V::set1(color);
  const T w = V::set1_16(uint16_t(alpha));
  const T iw = V::set1_16(uint16_t(255 - alpha));
  // The colour's share c * alpha is the same for every pixel.
  const T cl = V::mul16(V::lo8(c), w), ch = V::mul16(V::hi8(c), w);
  int32_t i = 0;
  for (; i + N <= n; i += N) {
    const T dv = V::load(d + i);
    const T skip = V::cmpeq32(dv, c);
    const T lo = V::srl8(V::add16(V::mul16(V::lo8(dv), iw), cl));
    const T hi = V::srl8(V::add16(V::mul16(V::hi8(dv), iw), ch));
    V::store(d + i, V::select(skip, dv, V::pack16(lo, hi)));
  }
  for (; i < n; ++i) d[i] = FillAlphaPx(d[i], color, alpha);
}

void FillAdd(uint32_t* d, int32_t n, uint32_t color) {
  const T c = V::set1(color);
  int32_t i = 0;
  for (; i + N <= n; i += N) V::store(d + i, V::adds8(V::load(d + i), c));
  for (; i < n; ++i) d[i] = TBytes32::AddSat(d[i], color);
}

void FillSub(uint32_t* d, int32_t n, uint32_t color) {
  const T c = V::set1(color);
  int32_t i = 0;
  for (; i + N <= n; i += N) V::store(d + i, V::subs8(V::load(d + i), c));
  for (; i < n; ++i) d[i] = TBytes32::SubSat(d[i], color);
}

template <bool Rev>
void FillMaskT(uint32_t* d, const uint8_t* m, int32_t n, uint32_t color, uint32_t level) {
  const T c = V::set1(color);
  const T z = V::zero();
  const T lv = V::set1_16(uint16_t(level));
  const bool full = level >= 255;
  int32_t i = 0;
  for (; i + N <= n; i += N) {
    const T w = LoadW<Rev>(m, i);
    const T mzero = V::cmpeq32(w, z);
    if (V::all_ones(mzero)) continue;
    const T dv = V::load(d + i);
    const T skip = V::or_(mzero, V::cmpeq32(dv, c));
    T wl = V::lo8(w), wh = V::hi8(w);
    if (!full) {
      wl = V::srl8(V::mul16(wl, lv));
      wh = V::srl8(V::mul16(wh, lv));
    }
    V::store(d + i, V::select(skip, dv, BlendW(dv, c, wl, wh)));
  }
  for (; i < n; ++i) d[i] = FillMaskPx(d[i], M1<Rev>(m, i), color, level);
}
void FillMask(uint32_t* d, const uint8_t* m, bool rev, int32_t n, uint32_t color, uint32_t level) {
  rev ? FillMaskT<true>(d, m, n, color, level) : FillMaskT<false>(d, m, n, color, level);
}

template <bool Rev>
void BlendT(uint32_t* d, const uint32_t* s, int32_t n, uint32_t alpha, bool keyed, uint32_t key) {
  const T w = V::set1_16(uint16_t(alpha));
  const T k = V::set1(key);
  int32_t i = 0;
  for (; i + N <= n; i += N) {
    const T sv = LoadS<Rev>(s, i);
    const T dv = V::load(d + i);
    T skip = V::cmpeq32(dv, sv);
    if (keyed) skip = V::or_(skip, V::cmpeq32(sv, k));
    if (V::all_ones(skip)) continue;
    V::store(d + i, V::select(skip, dv, BlendW(dv, sv, w, w)));
  }
  for (; i < n; ++i) d[i] = BlendPx(d[i], S1<Rev>(s, i), alpha, keyed, key);
}
void Blend(uint32_t* d, const uint32_t* s, bool rev, int32_t n, uint32_t alpha, bool keyed, uint32_t key) {
  rev ? BlendT<true>(d, s, n, alpha, keyed, key) : BlendT<false>(d, s, n, alpha, keyed, key);
}

template <bool Rev>
void MaskT(uint32_t* d, const uint32_t* s, const uint8_t* m, int32_t n) {
  const T z = V::zero();
  const T ones = V::cmpeq32(z, z);
  int32_t i = 0;
  for (; i + N <= n; i += N) {
    const T w = LoadW<Rev>(m, i);
    const T mzero = V::cmpeq32(w, z);
    if (V::all_ones(mzero)) continue;
    const T sv = LoadS<Rev>(s, i);
    const T mfull = V::cmpeq32(w, ones);
    if (V::all_ones(mfull)) {
      V::store(d + i, sv);
      continue;
    }
    const T dv = V::load(d + i);
    const T keep = V::or_(mzero, V::cmpeq32(dv, sv));
    const T blended = V::select(mfull, sv, BlendW(dv, sv, V::lo8(w), V::hi8(w)));
    V::store(d + i, V::select(keep, dv, blended));
  }
  for (; i < n; ++i) d[i] = MaskPx(d[i], S1<Rev>(s, i), M1<Rev>(m, i));
}
void Mask(uint32_t* d, const uint32_t* s, const uint8_t* m, bool rev, int32_t n) {
  rev ? MaskT<true>(d, s, m, n) : MaskT<false>(d, s, m, n);
}

template <bool Rev>
void MaskAlphaT(uint32_t* d, const uint32_t* s, const uint8_t* m, int32_t n, uint32_t alpha) {
  const T z = V::zero();
  const T lv = V::set1_16(uint16_t(alpha));
  int32_t i = 0;
  for (; i + N <= n; i += N) {
    const T w = LoadW<Rev>(m, i);
    const T mzero = V::cmpeq32(w, z);
    if (V::all_ones(mzero)) continue;
    const T sv = LoadS<Rev>(s, i);
    const T dv = V::load(d + i);
    const T keep = V::or_(mzero, V::cmpeq32(dv, sv));
    const T wl = V::srl8(V::mul16(V::lo8(w), lv)), wh = V::srl8(V::mul16(V::hi8(w), lv));
    V::store(d + i, V::select(keep, dv, BlendW(dv, sv, wl, wh)));
  }
  for (; i < n; ++i) d[i] = MaskAlphaPx(d[i], S1<Rev>(s, i), M1<Rev>(m, i), alpha);
}
void MaskAlpha(uint32_t* d, const uint32_t* s, const uint8_t* m, bool rev, int32_t n, uint32_t alpha) {
  rev ? MaskAlphaT<true>(d, s, m, n, alpha) : MaskAlphaT<false>(d, s, m, n, alpha);
}

template <bool Rev>
void AddT(uint32_t* d, const uint32_t* s, int32_t n, uint32_t level, bool keyed, uint32_t key) {
  const T lv = V::set1_16(uint16_t(level));
  const T k = V::set1(key);
  int32_t i = 0;
  for (; i + N <= n; i += N) {
    const T sv = LoadS<Rev>(s, i);
    const T dv = V::load(d + i);
    const T sum = V::adds8(dv, ScaleW(sv, lv, lv));
    if (keyed) {
      const T skip = V::cmpeq32(sv, k);
      if (V::all_ones(skip)) continue;
      V::store(d + i, V::select(skip, dv, sum));
    } else {
      V::store(d + i, sum);
    }
  }
  for (; i < n; ++i) d[i] = AddPx(d[i], S1<Rev>(s, i), level, keyed, key);
}
void Add(uint32_t* d, const uint32_t* s, bool rev, int32_t n, uint32_t level, bool keyed, uint32_t key) {
  rev ? AddT<true>(d, s, n, level, keyed, key) : AddT<false>(d, s, n, level, keyed, key);
}

template <bool Rev>
void MaskAddT(uint32_t* d, const uint32_t* s, const uint8_t* m, int32_t n, uint32_t level) {
  const T z = V::zero();
  const T lv = V::set1_16(uint16_t(level));
  int32_t i = 0;
  for (; i + N <= n; i += N) {
    const T w = LoadW<Rev>(m, i);
    if (V::all_ones(V::cmpeq32(w, z))) continue;
    const T sv = LoadS<Rev>(s, i);
    const T wl = V::srl8(V::mul16(V::lo8(w), lv)), wh = V::srl8(V::mul16(V::hi8(w), lv));
    V::store(d + i, V::adds8(V::load(d + i), ScaleW(sv, wl, wh)));
  }
  for (; i < n; ++i) d[i] = MaskAddPx(d[i], S1<Rev>(s, i), M1<Rev>(m, i), level);
}
void MaskAdd(uint32_t* d, const uint32_t* s, const uint8_t* m, bool rev, int32_t n, uint32_t level) {
  rev ? MaskAddT<true>(d, s, m, n, level) : MaskAddT<false>(d, s, m, n, level);
}

}  // namespace

constexpr TRow32Kernels kTable = {CopyRev, CopyKey, Fill,      FillAlpha, FillAdd, FillSub,
                              FillMask, Blend,  Mask,      MaskAlpha, Add,     MaskAdd};
