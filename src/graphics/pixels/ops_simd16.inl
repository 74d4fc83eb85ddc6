// The 16-bit row routines (P565 and P555) written once over a vector type V, included by the SSE2
// and AVX2 files after the 32-bit ones: a pixel a 16-bit lane, twice as many pixels per vector as
// at 32 bits. Each channel is taken out of its lane, weighted in 16-bit arithmetic exactly as the
// reference formulas do and put back in place, so the results equal the reference rows bit for
// bit; the ends of rows (fewer pixels than a vector) use the reference operations themselves, and
// arguments outside the ranges worked here (levels above 255, or above 256 for the add) take the
// reference row whole.
//
// Beyond what the 32-bit rows use, V provides: loadp/storep (a vector at any address), rev16
// (reverse the 16-bit lanes), weights16(bytes) (2 N mask bytes as 16-bit lanes), cmpeq16,
// srl16<K> (16-bit lanes >> K), adds16 and subs16 (unsigned saturated 16-bit lanes).

namespace p16 {

using T = V::T;
constexpr int32_t N = 2 * V::N;  // pixels per vector

template <bool Rev>
inline T LoadS(const uint16_t* s, int32_t i) {
  if constexpr (Rev) return V::rev16(V::loadp(s - i - (N - 1)));
  else return V::loadp(s + i);
}
template <bool Rev>
inline T LoadW(const uint8_t* m, int32_t i) {
  if constexpr (Rev) return V::rev16(V::weights16(m - i - (N - 1)));
  else return V::weights16(m + i);
}

// The reference operation over pixels i .. n - 1.
template <class F, class Op, bool Rev>
inline void Tail(uint16_t* d, const uint16_t* s, const uint8_t* m, int32_t i, int32_t n, const TOpArgs& args) {
  const TOpArgs a = args;
  for (; i < n; ++i) {
    uint32_t sv = 0, mv = 255;
    if constexpr (Op::kSource == TSourceKind::Pixels) sv = Rev ? s[-i] : s[i];
    if constexpr (Op::kMask) mv = Rev ? m[-i] : m[i];
    d[i] = uint16_t(Op::template Apply<F>(d[i], sv, mv, a));
  }
}

inline T Set(uint32_t v) { return V::set1_16(uint16_t(v)); }

// One channel, mask M in place. A channel from bit 8 up is worked 8 bits down from its place, so
// that a weighted sum x << (shift - 8) (at most 0xF8 * 256) has the result's bits in place: x >> 8
// at the channel's shift. The others are worked from bit 0 (x at most 63 * 256).
template <uint32_t M>
struct TChannel {
  static constexpr int kShift = __builtin_ctz(M);
  static constexpr bool kHigh = kShift >= 8;
  static constexpr uint32_t kBits = kHigh ? M >> 8 : M >> kShift;
  static_assert(kBits * 256 <= 0xFFFF, "a weighted channel must fit a 16-bit lane");

  static T Get(T v) {
    if constexpr (kShift == 0) return V::and_(v, Set(kBits));
    else if constexpr (kHigh) return V::and_(V::srl16<8>(v), Set(kBits));
    else return V::and_(V::srl16<kShift>(v), Set(kBits));
  }
  // The channel in place from a weighted sum x (or x << (shift - 8)) of Get values: (x >> 8).
  static T Put(T x) {
    if constexpr (kHigh) return V::and_(x, Set(M));
    else if constexpr (kShift == 0) return V::srl16<8>(x);
    else return V::and_(V::srl16<8 - kShift>(x), Set(M));
  }
  // (d * (255 - w) + s * w) >> 8, the weights iw = 255 - w and w as 16-bit lanes.
  static T Blend(T d, T s, T iw, T w) { return Put(V::add16(V::mul16(Get(d), iw), V::mul16(Get(s), w))); }
  // s * l >> 8, l up to 256.
  static T Scale(T s, T l) { return Put(V::mul16(Get(s), l)); }
  // min(d + x, M) on the channels in place (x a channel value, at most M): d + x + (0xFFFF - M)
  // saturates exactly where the sum passes M. xb is x + (0xFFFF - M).
  static T AddSatBiased(T d, T xb) {
    const T bias = Set(0xFFFF - M);
    return V::sub16(V::adds16(V::and_(d, Set(M)), xb), bias);
  }
  static T AddSat(T d, T x) { return AddSatBiased(d, V::add16(x, Set(0xFFFF - M))); }
};

template <class F>
struct TChannels {
  using R = TChannel<F::kMasks[0]>;
  using G = TChannel<F::kMasks[1]>;
  using B = TChannel<F::kMasks[2]>;
  static T Blend(T d, T s, T iw, T w) {
    return V::or_(V::or_(R::Blend(d, s, iw, w), G::Blend(d, s, iw, w)), B::Blend(d, s, iw, w));
  }
  static T AddScaled(T d, T s, T l) {
    return V::or_(V::or_(R::AddSat(d, R::Scale(s, l)), G::AddSat(d, G::Scale(s, l))), B::AddSat(d, B::Scale(s, l)));
  }
};

// The key as a 16-bit lane value, and whether any pixel can match it.
inline bool KeyFits(const TOpArgs& a) { return a.keyed && a.key <= 0xFFFF; }

struct KBlend {
  using Op = OpBlend;
  static bool Fits(const TOpArgs& a) { return a.level <= 255; }
  template <class F, bool Rev>
  static void Run(uint16_t* d, const uint16_t* s, const uint8_t* m, int32_t n, const TOpArgs& a) {
    const T w = Set(a.level), iw = Set(255 - a.level), k = Set(a.key);
    int32_t i = 0;
    WithSwitch(a.skip_equal, [&](auto equal) {
      WithSwitch(KeyFits(a), [&](auto keyed) {
        for (; i + N <= n; i += N) {
          const T sv = LoadS<Rev>(s, i);
          const T dv = V::loadp(d + i);
          if constexpr (equal || keyed) {
            T skip = equal ? V::cmpeq16(dv, sv) : V::cmpeq16(sv, k);
            if constexpr (equal && keyed) skip = V::or_(skip, V::cmpeq16(sv, k));
            if (V::all_ones(skip)) continue;
            V::storep(d + i, V::select(skip, dv, TChannels<F>::Blend(dv, sv, iw, w)));
          } else {
            V::storep(d + i, TChannels<F>::Blend(dv, sv, iw, w));
          }
        }
      });
    });
    Tail<F, OpBlend, Rev>(d, s, m, i, n, a);
  }
};

struct KAdd {
  using Op = OpAdd;
  static bool Fits(const TOpArgs& a) { return a.level <= 256; }
  template <class F, bool Rev>
  static void Run(uint16_t* d, const uint16_t* s, const uint8_t* m, int32_t n, const TOpArgs& a) {
    const T l = Set(a.level), k = Set(a.key);
    const bool keyed = KeyFits(a), equal = a.skip_equal != 0;
    int32_t i = 0;
    if (keyed || equal) {
      const T z = V::zero();
      for (; i + N <= n; i += N) {
        const T sv = LoadS<Rev>(s, i);
        const T dv = V::loadp(d + i);
        T skip = equal ? V::cmpeq16(dv, sv) : z;
        if (keyed) skip = V::or_(skip, V::cmpeq16(sv, k));
        if (V::all_ones(skip)) continue;
        V::storep(d + i, V::select(skip, dv, TChannels<F>::AddScaled(dv, sv, l)));
      }
    } else {
      for (; i + N <= n; i += N) V::storep(d + i, TChannels<F>::AddScaled(V::loadp(d + i), LoadS<Rev>(s, i), l));
    }
    Tail<F, OpAdd, Rev>(d, s, m, i, n, a);
  }
};

struct KMask {
  using Op = OpMask;
  static bool Fits(const TOpArgs&) { return true; }
  template <class F, bool Rev>
  static void Run(uint16_t* d, const uint16_t* s, const uint8_t* m, int32_t n, const TOpArgs& a) {
    const T z = V::zero(), full = Set(255);
    int32_t i = 0;
    WithSwitch(a.skip_equal, [&](auto equal) {
      for (; i + N <= n; i += N) {
        const T w = LoadW<Rev>(m, i);
        const T mzero = V::cmpeq16(w, z);
        if (V::all_ones(mzero)) continue;
        const T sv = LoadS<Rev>(s, i);
        const T mfull = V::cmpeq16(w, full);
        if (V::all_ones(mfull)) {
          // Copies; a pixel equal to its source stays the same either way.
          V::storep(d + i, sv);
          continue;
        }
        const T dv = V::loadp(d + i);
        T keep = mzero;
        if constexpr (equal) keep = V::or_(keep, V::cmpeq16(dv, sv));
        const T blended = V::select(mfull, sv, TChannels<F>::Blend(dv, sv, V::sub16(full, w), w));
        V::storep(d + i, V::select(keep, dv, blended));
      }
    });
    Tail<F, OpMask, Rev>(d, s, m, i, n, a);
  }
};

struct KMaskBlend {
  using Op = OpMaskBlend;
  static bool Fits(const TOpArgs&) { return true; }
  template <class F, bool Rev>
  static void Run(uint16_t* d, const uint16_t* s, const uint8_t* m, int32_t n, const TOpArgs& args) {
    // As the reference rows: levels above 256 count as 255, and 256 keeps the mask value.
    TOpArgs a = args;
    if (a.level > 256) a.level = 255;
    const T z = V::zero(), full = Set(255), lv = Set(a.level);
    int32_t i = 0;
    WithSwitch(a.skip_equal, [&](auto equal) {
      WithSwitch(a.skip_zero_weight, [&](auto zero_weight) {
        for (; i + N <= n; i += N) {
          const T mv = LoadW<Rev>(m, i);
          const T mzero = V::cmpeq16(mv, z);
          if (V::all_ones(mzero)) continue;
          const T sv = LoadS<Rev>(s, i);
          const T dv = V::loadp(d + i);
          const T w = V::srl16<8>(V::mul16(mv, lv));
          T keep = mzero;
          if constexpr (equal) keep = V::or_(keep, V::cmpeq16(dv, sv));
          if constexpr (zero_weight) keep = V::or_(keep, V::cmpeq16(w, z));
          V::storep(d + i, V::select(keep, dv, TChannels<F>::Blend(dv, sv, V::sub16(full, w), w)));
        }
      });
    });
    Tail<F, OpMaskBlend, Rev>(d, s, m, i, n, a);
  }
};

// The colour's share c * level of every blend is the same for every pixel: worked out once.
struct KFillBlend {
  using Op = OpFillBlend;
  static bool Fits(const TOpArgs& a) { return a.level <= 255; }
  template <class F, bool Rev>
  static void Run(uint16_t* d, const uint16_t* s, const uint8_t* m, int32_t n, const TOpArgs& a) {
    using C = TChannels<F>;
    const T c = Set(a.color & F::kPixelMask), w = Set(a.level), iw = Set(255 - a.level);
    const T cr = V::mul16(C::R::Get(c), w), cg = V::mul16(C::G::Get(c), w), cb = V::mul16(C::B::Get(c), w);
    const auto one = [&](uint16_t* p) {
      const T dv = V::loadp(p);
      const T r = C::R::Put(V::add16(V::mul16(C::R::Get(dv), iw), cr));
      const T g = C::G::Put(V::add16(V::mul16(C::G::Get(dv), iw), cg));
      const T b = C::B::Put(V::add16(V::mul16(C::B::Get(dv), iw), cb));
      V::storep(p, V::select(V::cmpeq16(dv, c), dv, V::or_(V::or_(r, g), b)));
    };
    int32_t i = 0;
    for (; i + 2 * N <= n; i += 2 * N) {
      one(d + i);
      one(d + i + N);
    }
    for (; i + N <= n; i += N) one(d + i);
    Tail<F, OpFillBlend, Rev>(d, s, m, i, n, a);
  }
};

// Saturated adds and subtractions of the colour, two vectors a turn.
template <bool Add>
struct KFillSat {
  using Op = std::conditional_t<Add, OpFillAdd, OpFillSub>;
  static bool Fits(const TOpArgs&) { return true; }
  template <class F, bool Rev>
  static void Run(uint16_t* d, const uint16_t* s, const uint8_t* m, int32_t n, const TOpArgs& a) {
    using C = TChannels<F>;
    constexpr uint32_t kR = F::kMasks[0], kG = F::kMasks[1], kB = F::kMasks[2];
    // The colour's channels, biased for the add (see TChannel::AddSatBiased).
    const T cr = Set((a.color & kR) + (Add ? 0xFFFF - kR : 0));
    const T cg = Set((a.color & kG) + (Add ? 0xFFFF - kG : 0));
    const T cb = Set((a.color & kB) + (Add ? 0xFFFF - kB : 0));
    const auto one = [&](uint16_t* p) {
      const T dv = V::loadp(p);
      if constexpr (Add) {
        V::storep(p, V::or_(V::or_(C::R::AddSatBiased(dv, cr), C::G::AddSatBiased(dv, cg)),
                            C::B::AddSatBiased(dv, cb)));
      } else {
        V::storep(p, V::or_(V::or_(V::subs16(V::and_(dv, Set(kR)), cr), V::subs16(V::and_(dv, Set(kG)), cg)),
                            V::subs16(V::and_(dv, Set(kB)), cb)));
      }
    };
    int32_t i = 0;
    for (; i + 2 * N <= n; i += 2 * N) {
      one(d + i);
      one(d + i + N);
    }
    for (; i + N <= n; i += N) one(d + i);
    Tail<F, Op, Rev>(d, s, m, i, n, a);
  }
};

// The row routine of a kernel: 16-bit rows, the direction chosen once per row; arguments the
// kernel does not work take the reference row.
template <class K, class F>
void Entry(uint8_t* d, const uint8_t* s, const uint8_t* m, int32_t n, int32_t dir, const TOpArgs& args) {
  const TOpArgs a = args;  // not read again after every store
  if (!K::Fits(a)) return RowOf<F, typename K::Op>(d, s, m, n, dir, a);
  uint16_t* dd = reinterpret_cast<uint16_t*>(d);
  const uint16_t* ss = reinterpret_cast<const uint16_t*>(s);
  if (dir < 0) {
    K::template Run<F, true>(dd, ss, m, n, a);
  } else {
    K::template Run<F, false>(dd, ss, m, n, a);
  }
}

template <class F>
void SetFormat(TPixelOps& t, TFormat f) {
  Put<Entry<KBlend, F>>(t, TOp::Blend, f);
  Put<Entry<KAdd, F>>(t, TOp::Add, f);
  Put<Entry<KMask, F>>(t, TOp::Mask, f);
  Put<Entry<KMaskBlend, F>>(t, TOp::MaskBlend, f);
  Put<Entry<KFillBlend, F>>(t, TOp::FillBlend, f);
  Put<Entry<KFillSat<true>, F>>(t, TOp::FillAdd, f);
  Put<Entry<KFillSat<false>, F>>(t, TOp::FillSub, f);
}

// The 16-bit rows of this instruction set into a table.
void SetFormats(TPixelOps& t) {
  SetFormat<F565>(t, TFormat::P565);
  SetFormat<F555>(t, TFormat::P555);
}

}  // namespace p16
