// The row routines written once over a vector type V (included by the SSE2 and AVX2 files): the
// 32-bit rows for both 32-bit formats (P32Bytes puts all four bytes through the arithmetic, P32
// clears the top byte of every computed pixel; copied and skipped pixels keep theirs), and the
// 24-bit translucency in 128-bit vectors at both instruction sets. Each byte goes through 16-bit
// arithmetic exactly as the reference formulas do, and the ends of rows (fewer pixels than a
// vector) use the reference operations themselves, so the results equal the reference rows bit for
// bit.
//
// V provides: T, N (pixels per vector), load/store, set1 (32-bit), set1_16, zero, rev (reverse
// the pixel order), weights(bytes) (N mask bytes, each repeated over its pixel's four bytes),
// lo8/hi8 (bytes to 16-bit lanes), pack16, mul16, add16, sub16, srl8 / sll8 (16-bit lanes >> 8, << 8),
// cmpeq32, and_, or_, adds8, subs8, all_ones, all_zero, select(mask, a, b) = mask ? a : b.

namespace {

using T = V::T;
constexpr int32_t N = V::N;

template <bool Clear>
using Fmt = std::conditional_t<Clear, F32, F32Bytes>;

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

// The reference operation over pixels i .. n - 1.
template <class Op, bool Rev, bool Clear>
inline void Tail(uint32_t* d, const uint32_t* s, const uint8_t* m, int32_t i, int32_t n, const TOpArgs& args) {
  const TOpArgs a = args;
  for (; i < n; ++i) {
    uint32_t sv = 0, mv = 255;
    if constexpr (Op::kSource == TSourceKind::Pixels) sv = Rev ? s[-i] : s[i];
    if constexpr (Op::kSource == TSourceKind::Codes) {
      const uint8_t* b = reinterpret_cast<const uint8_t*>(s);
      sv = Rev ? b[-i] : b[i];
    }
    if constexpr (Op::kMask) mv = Rev ? m[-i] : m[i];
    d[i] = Op::template Apply<Fmt<Clear>>(d[i], sv, mv, a);
  }
}

// A computed pixel: the top byte cleared in P32.
template <bool Clear>
inline T Computed(T v) {
  if constexpr (Clear) return V::and_(v, V::set1(0x00FFFFFF));
  else return v;
}

// Calls f with the switch as a constant (std::true_type or std::false_type), so that loops test
// their arguments' switches once, not once a vector.
template <class Fn>
inline void WithSwitch(bool on, Fn&& f) {
  if (on) f(std::true_type{});
  else f(std::false_type{});
}

// (d * (255 - w) + s * w) >> 8 per byte, w given as 16-bit lanes for the low and high halves.
// Computed as (d * 256 - d + w * (s - d)) >> 8 in wrapping 16-bit arithmetic: the true sum lies in
// 0..65025, so the wrapped one equals it, with one multiply per half instead of two.
inline T BlendHalf(T d16, T s16, T w16) {
  return V::srl8(V::add16(V::sub16(V::sll8(d16), d16), V::mul16(w16, V::sub16(s16, d16))));
}
inline T BlendW(T d, T s, T wl, T wh) {
  return V::pack16(BlendHalf(V::lo8(d), V::lo8(s), wl), BlendHalf(V::hi8(d), V::hi8(s), wh));
}
// s * w >> 8 per byte (w up to 256).
inline T ScaleW(T s, T wl, T wh) {
  return V::pack16(V::srl8(V::mul16(V::lo8(s), wl)), V::srl8(V::mul16(V::hi8(s), wh)));
}
// Mask weights scaled by a level: w * level >> 8 per lane (level 256 keeps w).
inline void LevelW(T w, T lv, T& wl, T& wh) {
  wl = V::srl8(V::mul16(V::lo8(w), lv));
  wh = V::srl8(V::mul16(V::hi8(w), lv));
}

struct KCopyRev {
  template <bool Rev, bool Clear>
  static void Run(uint32_t* d, const uint32_t* s, const uint8_t*, int32_t n, const TOpArgs&) {
    int32_t i = 0;
    for (; i + 2 * N <= n; i += 2 * N) {
      const T v0 = LoadS<true>(s, i), v1 = LoadS<true>(s, i + N);
      V::store(d + i, v0);
      V::store(d + i + N, v1);
    }
    for (; i + N <= n; i += N) V::store(d + i, LoadS<true>(s, i));
    for (; i < n; ++i) d[i] = s[-i];
  }
};

// One vector of a keyed copy: source pixels where they differ from the key.
inline void KeyVector(uint32_t* d, T sv, T skip) {
  if (V::all_zero(skip)) {
    V::store(d, sv);
  } else if (!V::all_ones(skip)) {
    V::store(d, V::select(skip, V::load(d), sv));
  }
}

// The keyed copy runs at about a vector a cycle from cache, so instruction fetch bounds it, not
// memory: one vector a turn made its speed swing by a third with where the loop happened to lie in
// the code (a 16-byte shift of the same instructions). Four vectors a turn, with one test for the
// common cases (all copied, all skipped), take half the fetch work per pixel wherever they lie.
struct KKey {
  template <bool Rev, bool Clear>
  static void Run(uint32_t* d, const uint32_t* s, const uint8_t* m, int32_t n, const TOpArgs& a) {
    const T k = V::set1(a.key);
    int32_t i = 0;
    for (; i + 4 * N <= n; i += 4 * N) {
      const T s0 = LoadS<Rev>(s, i), s1 = LoadS<Rev>(s, i + N);
      const T s2 = LoadS<Rev>(s, i + 2 * N), s3 = LoadS<Rev>(s, i + 3 * N);
      const T k0 = V::cmpeq32(s0, k), k1 = V::cmpeq32(s1, k);
      const T k2 = V::cmpeq32(s2, k), k3 = V::cmpeq32(s3, k);
      if (V::all_zero(V::or_(V::or_(k0, k1), V::or_(k2, k3)))) {
        V::store(d + i, s0);
        V::store(d + i + N, s1);
        V::store(d + i + 2 * N, s2);
        V::store(d + i + 3 * N, s3);
        continue;
      }
      if (V::all_ones(V::and_(V::and_(k0, k1), V::and_(k2, k3)))) continue;
      KeyVector(d + i, s0, k0);
      KeyVector(d + i + N, s1, k1);
      KeyVector(d + i + 2 * N, s2, k2);
      KeyVector(d + i + 3 * N, s3, k3);
    }
    for (; i + N <= n; i += N) {
      const T sv = LoadS<Rev>(s, i);
      KeyVector(d + i, sv, V::cmpeq32(sv, k));
    }
    Tail<OpKey, Rev, Clear>(d, s, m, i, n, a);
  }
};

struct KFill {
  template <bool Rev, bool Clear>
  static void Run(uint32_t* d, const uint32_t*, const uint8_t*, int32_t n, const TOpArgs& a) {
    const T c = V::set1(a.color);
    int32_t i = 0;
    for (; i + N <= n; i += N) V::store(d + i, c);
    for (; i < n; ++i) d[i] = a.color;
  }
};

// The fills' loops do little work per vector, so they too take two vectors a turn: fewer loop
// instructions per pixel and a speed that no longer swings with where the loop lies in the code.
struct KFillBlend {
  template <bool Rev, bool Clear>
  static void Run(uint32_t* d, const uint32_t* s, const uint8_t* m, int32_t n, const TOpArgs& a) {
    const T c = V::set1(a.color);
    const T w = V::set1_16(uint16_t(a.level));
    const T iw = V::set1_16(uint16_t(255 - a.level));
    // The colour's share c * level is the same for every pixel.
    const T cl = V::mul16(V::lo8(c), w), ch = V::mul16(V::hi8(c), w);
    const auto one = [&](uint32_t* p) {
      const T dv = V::load(p);
      const T skip = V::cmpeq32(dv, c);
      const T lo = V::srl8(V::add16(V::mul16(V::lo8(dv), iw), cl));
      const T hi = V::srl8(V::add16(V::mul16(V::hi8(dv), iw), ch));
      V::store(p, V::select(skip, dv, Computed<Clear>(V::pack16(lo, hi))));
    };
    int32_t i = 0;
    for (; i + 2 * N <= n; i += 2 * N) {
      one(d + i);
      one(d + i + N);
    }
    if (i + N <= n) {
      one(d + i);
      i += N;
    }
    Tail<OpFillBlend, Rev, Clear>(d, s, m, i, n, a);
  }
};

// Saturated adds and subtractions of the colour: four vectors a turn (a load, one or two
// operations and a store each, so the loop's own instructions would otherwise be a third of the
// work).
template <bool Add>
struct KFillSat {
  template <bool Rev, bool Clear>
  static void Run(uint32_t* d, const uint32_t* s, const uint8_t* m, int32_t n, const TOpArgs& a) {
    const T c = V::set1(a.color);
    const auto one = [&](uint32_t* p) {
      const T dv = V::load(p);
      V::store(p, Computed<Clear>(Add ? V::adds8(dv, c) : V::subs8(dv, c)));
    };
    int32_t i = 0;
    for (; i + 4 * N <= n; i += 4 * N) {
      one(d + i);
      one(d + i + N);
      one(d + i + 2 * N);
      one(d + i + 3 * N);
    }
    for (; i + N <= n; i += N) one(d + i);
    using Op = std::conditional_t<Add, OpFillAdd, OpFillSub>;
    Tail<Op, Rev, Clear>(d, s, m, i, n, a);
  }
};
using KFillAdd = KFillSat<true>;
using KFillSub = KFillSat<false>;

struct KFillMask {
  template <bool Rev, bool Clear>
  static void Run(uint32_t* d, const uint32_t* s, const uint8_t* m, int32_t n, const TOpArgs& a) {
    const T c = V::set1(a.color);
    const T z = V::zero();
    const T lv = V::set1_16(uint16_t(a.level));
    int32_t i = 0;
    // Level 256: the weight is the mask value itself.
    WithSwitch(a.skip_equal, [&](auto equal) {
      WithSwitch(a.level < 256, [&](auto scaled) {
        for (; i + N <= n; i += N) {
          const T w = LoadW<Rev>(m, i);
          const T mzero = V::cmpeq32(w, z);
          if (V::all_ones(mzero)) continue;
          const T dv = V::load(d + i);
          T skip = mzero;
          if constexpr (equal) skip = V::or_(mzero, V::cmpeq32(dv, c));
          T wl = V::lo8(w), wh = V::hi8(w);
          if constexpr (scaled) LevelW(w, lv, wl, wh);
          V::store(d + i, V::select(skip, dv, Computed<Clear>(BlendW(dv, c, wl, wh))));
        }
      });
    });
    Tail<OpFillMask, Rev, Clear>(d, s, m, i, n, a);
  }
};

struct KBlend {
  template <bool Rev, bool Clear>
  static void Run(uint32_t* d, const uint32_t* s, const uint8_t* m, int32_t n, const TOpArgs& a) {
    const T w = V::set1_16(uint16_t(a.level));
    const T k = V::set1(a.key);
    int32_t i = 0;
    WithSwitch(a.skip_equal, [&](auto equal) {
      WithSwitch(a.keyed, [&](auto keyed) {
        for (; i + N <= n; i += N) {
          const T sv = LoadS<Rev>(s, i);
          const T dv = V::load(d + i);
          const T blended = Computed<Clear>(BlendW(dv, sv, w, w));
          if constexpr (equal || keyed) {
            T skip = equal ? V::cmpeq32(dv, sv) : V::cmpeq32(sv, k);
            if constexpr (equal && keyed) skip = V::or_(skip, V::cmpeq32(sv, k));
            if (V::all_ones(skip)) continue;
            V::store(d + i, V::select(skip, dv, blended));
          } else {
            V::store(d + i, blended);
          }
        }
      });
    });
    Tail<OpBlend, Rev, Clear>(d, s, m, i, n, a);
  }
};

struct KAdd {
  template <bool Rev, bool Clear>
  static void Run(uint32_t* d, const uint32_t* s, const uint8_t* m, int32_t n, const TOpArgs& a) {
    const T lv = V::set1_16(uint16_t(a.level));
    const auto sum = [&](T dv, T sv) { return Computed<Clear>(V::adds8(dv, ScaleW(sv, lv, lv))); };
    int32_t i = 0;
    if (a.keyed || a.skip_equal) {
      const T k = V::set1(a.key);
      const T z = V::zero();
      for (; i + N <= n; i += N) {
        const T sv = LoadS<Rev>(s, i);
        const T dv = V::load(d + i);
        T skip = a.skip_equal ? V::cmpeq32(dv, sv) : z;
        if (a.keyed) skip = V::or_(skip, V::cmpeq32(sv, k));
        if (V::all_ones(skip)) continue;
        V::store(d + i, V::select(skip, dv, sum(dv, sv)));
      }
    } else {
      // Nothing skips: two vectors a turn.
      for (; i + 2 * N <= n; i += 2 * N) {
        const T s0 = LoadS<Rev>(s, i), s1 = LoadS<Rev>(s, i + N);
        V::store(d + i, sum(V::load(d + i), s0));
        V::store(d + i + N, sum(V::load(d + i + N), s1));
      }
      for (; i + N <= n; i += N) V::store(d + i, sum(V::load(d + i), LoadS<Rev>(s, i)));
    }
    Tail<OpAdd, Rev, Clear>(d, s, m, i, n, a);
  }
};

struct KMask {
  template <bool Rev, bool Clear>
  static void Run(uint32_t* d, const uint32_t* s, const uint8_t* m, int32_t n, const TOpArgs& a) {
    const T z = V::zero();
    const T ones = V::cmpeq32(z, z);
    int32_t i = 0;
    WithSwitch(a.skip_equal, [&](auto equal) {
      for (; i + N <= n; i += N) {
        const T w = LoadW<Rev>(m, i);
        const T mzero = V::cmpeq32(w, z);
        if (V::all_ones(mzero)) continue;
        const T sv = LoadS<Rev>(s, i);
        const T mfull = V::cmpeq32(w, ones);
        if (V::all_ones(mfull)) {
          // Copies; a pixel equal to its source stays the same either way.
          V::store(d + i, sv);
          continue;
        }
        const T dv = V::load(d + i);
        T keep = mzero;
        if constexpr (equal) keep = V::or_(mzero, V::cmpeq32(dv, sv));
        const T blended = V::select(mfull, sv, Computed<Clear>(BlendW(dv, sv, V::lo8(w), V::hi8(w))));
        V::store(d + i, V::select(keep, dv, blended));
      }
    });
    Tail<OpMask, Rev, Clear>(d, s, m, i, n, a);
  }
};

struct KMaskBlend {
  template <bool Rev, bool Clear>
  static void Run(uint32_t* d, const uint32_t* s, const uint8_t* m, int32_t n, const TOpArgs& a) {
    const T z = V::zero();
    const T lv = V::set1_16(uint16_t(a.level));
    int32_t i = 0;
    WithSwitch(a.skip_equal, [&](auto equal) {
      WithSwitch(a.skip_zero_weight, [&](auto zero_weight) {
        for (; i + N <= n; i += N) {
          const T w = LoadW<Rev>(m, i);
          const T mzero = V::cmpeq32(w, z);
          if (V::all_ones(mzero)) continue;
          const T sv = LoadS<Rev>(s, i);
          const T dv = V::load(d + i);
          T wl, wh;
          LevelW(w, lv, wl, wh);
          T keep = mzero;
          if constexpr (equal) keep = V::or_(keep, V::cmpeq32(dv, sv));
          if constexpr (zero_weight) keep = V::or_(keep, V::cmpeq32(V::pack16(wl, wh), z));
          V::store(d + i, V::select(keep, dv, Computed<Clear>(BlendW(dv, sv, wl, wh))));
        }
      });
    });
    Tail<OpMaskBlend, Rev, Clear>(d, s, m, i, n, a);
  }
};

struct KMaskAdd {
  template <bool Rev, bool Clear>
  static void Run(uint32_t* d, const uint32_t* s, const uint8_t* m, int32_t n, const TOpArgs& a) {
    const T z = V::zero();
    const T lv = V::set1_16(uint16_t(a.level));
    int32_t i = 0;
    for (; i + N <= n; i += N) {
      const T w = LoadW<Rev>(m, i);
      const T mzero = V::cmpeq32(w, z);
      if (V::all_ones(mzero)) continue;
      const T sv = LoadS<Rev>(s, i);
      const T dv = V::load(d + i);
      T wl, wh;
      LevelW(w, lv, wl, wh);
      const T sum = V::adds8(dv, ScaleW(sv, wl, wh));
      // Adding a weight of 0 leaves all four bytes; only P32 must keep a masked-out top byte.
      if constexpr (Clear) V::store(d + i, V::select(mzero, dv, Computed<Clear>(sum)));
      else V::store(d + i, sum);
    }
    Tail<OpMaskAdd, Rev, Clear>(d, s, m, i, n, a);
  }
};

// The colour through a glyph's coverage m over the coverage c the pixels had (the source, a byte
// a pixel). The weight is m where all of a vector's c are 255 (the two-colour blend, and glyphs
// over full coverage) and 255 where all are 0 (a glyph over nothing); otherwise each pixel's
// weight comes from the reference formula, one division a pixel.
struct KCover {
  template <bool Rev, bool Clear>
  static void Run(uint32_t* d, const uint32_t* s, const uint8_t* m, int32_t n, const TOpArgs& a) {
    const uint8_t* c = reinterpret_cast<const uint8_t*>(s);
    const T z = V::zero(), ones = V::set1(0xFFFFFFFFu), color = V::set1(a.color);
    int32_t i = 0;
    for (; i + N <= n; i += N) {
      const T w = LoadW<Rev>(m, i);
      const T mzero = V::cmpeq32(w, z);
      if (V::all_ones(mzero)) continue;
      const T cv = LoadW<Rev>(c, i);
      T weight = w;
      if (V::all_ones(V::cmpeq32(cv, z))) {
        weight = ones;
      } else if (!V::all_ones(V::cmpeq32(cv, ones))) {
        uint8_t each[N];
        for (int32_t k = 0; k < N; ++k) {
          const int32_t j = Rev ? -(i + k) : i + k;
          each[k] = uint8_t(CoverWeight(c[j], m[j]));
        }
        weight = V::weights(each);
      }
      const T dv = V::load(d + i);
      const T blended = Computed<Clear>(BlendW(dv, color, V::lo8(weight), V::hi8(weight)));
      V::store(d + i, V::select(mzero, dv, V::select(V::cmpeq32(w, ones), color, blended)));
    }
    Tail<OpCover, Rev, Clear>(d, s, m, i, n, a);
  }
};

// The row routine of a kernel: 32-bit rows, the direction chosen once per row.
template <class K, bool Clear>
void Entry(uint8_t* d, const uint8_t* s, const uint8_t* m, int32_t n, int32_t dir, const TOpArgs& args) {
  const TOpArgs a = args;  // not read again after every store
  uint32_t* dd = reinterpret_cast<uint32_t*>(d);
  const uint32_t* ss = reinterpret_cast<const uint32_t*>(s);
  if (dir < 0) {
    K::template Run<true, Clear>(dd, ss, m, n, a);
  } else {
    K::template Run<false, Clear>(dd, ss, m, n, a);
  }
}

void CopyEntry(uint8_t* d, const uint8_t* s, const uint8_t* m, int32_t n, int32_t dir, const TOpArgs& a) {
  if (dir > 0) {
    std::memmove(d, s, size_t(n) * 4);
    return;
  }
  KCopyRev::Run<true, false>(reinterpret_cast<uint32_t*>(d), reinterpret_cast<const uint32_t*>(s), m, n, a);
}

template <bool Clear>
void SetFormat(TPixelOps& t, TFormat f) {
  Put<CopyEntry>(t, TOp::Copy, f);
  Put<Entry<KKey, Clear>>(t, TOp::Key, f);
  Put<Entry<KBlend, Clear>>(t, TOp::Blend, f);
  Put<Entry<KAdd, Clear>>(t, TOp::Add, f);
  Put<Entry<KMask, Clear>>(t, TOp::Mask, f);
  Put<Entry<KMaskBlend, Clear>>(t, TOp::MaskBlend, f);
  Put<Entry<KMaskAdd, Clear>>(t, TOp::MaskAdd, f);
  Put<Entry<KFill, Clear>>(t, TOp::Fill, f);
  Put<Entry<KFillBlend, Clear>>(t, TOp::FillBlend, f);
  Put<Entry<KFillAdd, Clear>>(t, TOp::FillAdd, f);
  Put<Entry<KFillSub, Clear>>(t, TOp::FillSub, f);
  Put<Entry<KFillMask, Clear>>(t, TOp::FillMask, f);
  Put<Entry<KCover, Clear>>(t, TOp::Cover, f);
}

// ---- 24 bits: the alpha surface's translucency (Blend255) ----
// Every byte of a 24-bit row is a channel of its own, so four pixels (12 bytes) blend as 16-bit
// lanes of one 128-bit vector: x = d (255 - a) + s a <= 255 * 255, and x / 255 = (x + 1 + (x >> 8))
// >> 8. The four bytes after the twelve are loaded and stored back unchanged, as are the bytes of
// keyed pixels (the key is tested pixel by pixel).

// Byte masks that keep the pixels of a 4-bit pattern (bit k: pixel k) and the four spare bytes.
struct TKeep24 {
  alignas(16) uint8_t bytes[16][16];
  constexpr TKeep24() : bytes() {
    for (int p = 0; p < 16; ++p)
      for (int b = 0; b < 16; ++b) bytes[p][b] = (b >= 12 || ((p >> (b / 3)) & 1)) ? 0xFF : 0;
  }
};
constexpr TKeep24 kKeep24;

inline __m128i Div255(__m128i x) {
  const __m128i one = _mm_set1_epi16(1);
  return _mm_srli_epi16(_mm_add_epi16(_mm_add_epi16(x, one), _mm_srli_epi16(x, 8)), 8);
}

// Sixteen bytes blended: (d (255 - a) + s a) / 255 each.
inline __m128i Translucent16(__m128i dv, __m128i sv, __m128i wd, __m128i wa) {
  const __m128i z = _mm_setzero_si128();
  const __m128i lo = Div255(_mm_add_epi16(_mm_mullo_epi16(_mm_unpacklo_epi8(dv, z), wd),
                                          _mm_mullo_epi16(_mm_unpacklo_epi8(sv, z), wa)));
  const __m128i hi = Div255(_mm_add_epi16(_mm_mullo_epi16(_mm_unpackhi_epi8(dv, z), wd),
                                          _mm_mullo_epi16(_mm_unpackhi_epi8(sv, z), wa)));
  return _mm_packus_epi16(lo, hi);
}

void Translucent24(uint8_t* d, const uint8_t* s, const uint8_t* m, int32_t n, int32_t dir, const TOpArgs& args) {
  const TOpArgs a = args;
  if (dir < 0) return RowOf<F24, OpTranslucent>(d, s, m, n, dir, a);
  const __m128i wa = _mm_set1_epi16(int16_t(a.level)), wd = _mm_set1_epi16(int16_t(255 - a.level));
  int32_t i = 0;
  if (!a.keyed) {
    // Sixteen pixels are three vectors of bytes.
    for (; i + 16 <= n; i += 16) {
      __m128i* dp = reinterpret_cast<__m128i*>(d + 3 * ptrdiff_t(i));
      const __m128i* sp = reinterpret_cast<const __m128i*>(s + 3 * ptrdiff_t(i));
      for (int k = 0; k < 3; ++k)
        _mm_storeu_si128(dp + k, Translucent16(_mm_loadu_si128(dp + k), _mm_loadu_si128(sp + k), wd, wa));
    }
  } else {
    // Sixteen bytes are read and written from each group of four pixels: two pixels of room.
    for (; i + 6 <= n; i += 4) {
      uint8_t* dp = d + 3 * ptrdiff_t(i);
      const uint8_t* sp = s + 3 * ptrdiff_t(i);
      const __m128i dv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dp));
      const __m128i sv = _mm_loadu_si128(reinterpret_cast<const __m128i*>(sp));
      int keyed = 0;
      for (int k = 0; k < 4; ++k) keyed |= int(LoadPixel<3>(sp + 3 * k) == a.key) << k;
      const __m128i keep = _mm_load_si128(reinterpret_cast<const __m128i*>(kKeep24.bytes[keyed]));
      const __m128i out = _mm_or_si128(_mm_and_si128(keep, dv), _mm_andnot_si128(keep, Translucent16(dv, sv, wd, wa)));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(dp), out);
    }
  }
  RowOf<F24, OpTranslucent>(d + 3 * ptrdiff_t(i), s + 3 * ptrdiff_t(i), m, n - i, dir, a);
}

// The reference table with the rows of this instruction set.
TPixelOps MakeTable() {
  TPixelOps t = ScalarPixelOps();
  SetFormat<true>(t, TFormat::P32);
  SetFormat<false>(t, TFormat::P32Bytes);
  Put<Translucent24>(t, TOp::Translucent, TFormat::P24);
  return t;
}

}  // namespace
