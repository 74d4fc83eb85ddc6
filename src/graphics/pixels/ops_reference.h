// The reference form of every operation: what one pixel becomes. The plain row routines are built
// from these, and the instruction-set routines use them for the ends of rows, so both give the
// same pixels by construction.
//
// Apply<F>(d, s, m, a) returns the new destination pixel (d itself where it is left). s is a
// source pixel, or an 8-bit code for Table, or unused by the fills; m is the mask value (255 where
// no mask is read).
#pragma once

#include <algorithm>
#include <cstdint>
#include <type_traits>

#include "graphics/pixels/formats.h"
#include "graphics/pixels/ops.h"

namespace kova::pixels {
namespace {

// Codes: one byte a pixel (the Table operation's codes, the Cover operation's coverage).
enum class TSourceKind { None, Pixels, Codes };

// The switches of TOpArgs an operation reads (kSwitches): the reference rows are built once for
// each setting of them, so that no switch is tested per pixel. kFullLevel: the level is 256 (the
// mask value is the weight), which leaves the multiply out.
constexpr uint8_t kKeyed = 1, kSkipEqual = 2, kSkipZeroWeight = 4, kFullLevel = 8;

// A mask value scaled by a level: m * level >> 8, m itself at 256.
inline uint32_t Weight(uint32_t m, uint32_t level) { return level == 256 ? m : m * level >> 8; }

struct OpCopy {
  static constexpr TSourceKind kSource = TSourceKind::Pixels;
  static constexpr bool kMask = false;
  static constexpr uint8_t kSwitches = 0;
  template <class F>
  static uint32_t Apply(uint32_t, uint32_t s, uint32_t, const TOpArgs&) {
    return s;
  }
};

struct OpKey {
  static constexpr TSourceKind kSource = TSourceKind::Pixels;
  static constexpr bool kMask = false;
  static constexpr uint8_t kSwitches = 0;
  template <class F>
  static uint32_t Apply(uint32_t d, uint32_t s, uint32_t, const TOpArgs& a) {
    return s == a.key ? d : s;
  }
};

struct OpBlend {
  static constexpr TSourceKind kSource = TSourceKind::Pixels;
  static constexpr bool kMask = false;
  static constexpr uint8_t kSwitches = kKeyed | kSkipEqual;
  template <class F>
  static uint32_t Apply(uint32_t d, uint32_t s, uint32_t, const TOpArgs& a) {
    if ((a.keyed && s == a.key) || (a.skip_equal && d == s)) return d;
    return F::Blend(d, s, a.level);
  }
};

struct OpTranslucent {
  static constexpr TSourceKind kSource = TSourceKind::Pixels;
  static constexpr bool kMask = false;
  static constexpr uint8_t kSwitches = kKeyed;
  template <class F>
  static uint32_t Apply(uint32_t d, uint32_t s, uint32_t, const TOpArgs& a) {
    if (a.keyed && s == a.key) return d;
    return F::Blend255(d, s, a.level);
  }
};

struct OpAdd {
  static constexpr TSourceKind kSource = TSourceKind::Pixels;
  static constexpr bool kMask = false;
  static constexpr uint8_t kSwitches = kKeyed | kSkipEqual;
  template <class F>
  static uint32_t Apply(uint32_t d, uint32_t s, uint32_t, const TOpArgs& a) {
    if ((a.keyed && s == a.key) || (a.skip_equal && d == s)) return d;
    return F::AddSat(d, F::Scale(s, a.level));
  }
};

struct OpMask {
  static constexpr TSourceKind kSource = TSourceKind::Pixels;
  static constexpr bool kMask = true;
  static constexpr uint8_t kSwitches = kSkipEqual;
  template <class F>
  static uint32_t Apply(uint32_t d, uint32_t s, uint32_t m, const TOpArgs& a) {
    if (m == 0 || (a.skip_equal && d == s)) return d;
    return m == 255 ? s : F::Blend(d, s, m);
  }
};

struct OpMaskBlend {
  static constexpr TSourceKind kSource = TSourceKind::Pixels;
  static constexpr bool kMask = true;
  static constexpr uint8_t kSwitches = kSkipEqual | kSkipZeroWeight | kFullLevel;
  template <class F>
  static uint32_t Apply(uint32_t d, uint32_t s, uint32_t m, const TOpArgs& a) {
    // The blend is worked out for every pixel and then kept or not: one select instead of
    // branches, which the compiler vectorises better.
    const uint32_t w = Weight(m, a.level);
    const uint32_t blended = F::Blend(d, s, w);
    return m == 0 || (a.skip_zero_weight && w == 0) || (a.skip_equal && d == s) ? d : blended;
  }
};

struct OpMaskAdd {
  static constexpr TSourceKind kSource = TSourceKind::Pixels;
  static constexpr bool kMask = true;
  static constexpr uint8_t kSwitches = kFullLevel;
  template <class F>
  static uint32_t Apply(uint32_t d, uint32_t s, uint32_t m, const TOpArgs& a) {
    // Where every bit of the pixel is a channel, adding nothing leaves it as it is: no test, so
    // the compiler can vectorise the row.
    if (!F::kEveryBitAChannel && m == 0) return d;
    return F::AddSat(d, F::Scale(s, Weight(m, a.level)));
  }
};

struct OpTable {
  static constexpr TSourceKind kSource = TSourceKind::Codes;
  static constexpr bool kMask = false;
  static constexpr uint8_t kSwitches = kKeyed;
  template <class F>
  static uint32_t Apply(uint32_t d, uint32_t code, uint32_t, const TOpArgs& a) {
    if ((a.keyed && code == a.key) || int32_t(code) < a.threshold) return d;
    const uint32_t t = a.table[code] & F::kPixelMask;
    switch (a.table_mode) {
      case TTableMode::Write: return t;
      case TTableMode::Blend:
        if (d == t) return d;
        return F::Blend(d, t, a.level);
      case TTableMode::AddNonZero:
        if (t == 0 || d >= (F::kBytes == 2 ? 0xFFFFu : 0xFFFFFFu)) return d;
        return F::AddSat(d, F::Scale(t, a.level));
      case TTableMode::Add: return F::AddSat(d, F::Scale(t, a.level));
    }
    return d;
  }
};

struct OpFill {
  static constexpr TSourceKind kSource = TSourceKind::None;
  static constexpr bool kMask = false;
  static constexpr uint8_t kSwitches = 0;
  template <class F>
  static uint32_t Apply(uint32_t, uint32_t, uint32_t, const TOpArgs& a) {
    return a.color;
  }
};

struct OpFillBlend {
  static constexpr TSourceKind kSource = TSourceKind::None;
  static constexpr bool kMask = false;
  static constexpr uint8_t kSwitches = 0;
  template <class F>
  static uint32_t Apply(uint32_t d, uint32_t, uint32_t, const TOpArgs& a) {
    const uint32_t c = a.color & F::kPixelMask;
    const uint32_t blended = F::Blend(d, c, a.level);
    return d == c ? d : blended;
  }
};

struct OpFillAdd {
  static constexpr TSourceKind kSource = TSourceKind::None;
  static constexpr bool kMask = false;
  static constexpr uint8_t kSwitches = 0;
  template <class F>
  static uint32_t Apply(uint32_t d, uint32_t, uint32_t, const TOpArgs& a) {
    return F::AddSat(d, a.color);
  }
};

struct OpFillSub {
  static constexpr TSourceKind kSource = TSourceKind::None;
  static constexpr bool kMask = false;
  static constexpr uint8_t kSwitches = 0;
  template <class F>
  static uint32_t Apply(uint32_t d, uint32_t, uint32_t, const TOpArgs& a) {
    return F::SubSat(d, a.color);
  }
};

struct OpFillMask {
  static constexpr TSourceKind kSource = TSourceKind::None;
  static constexpr bool kMask = true;
  static constexpr uint8_t kSwitches = kSkipEqual | kFullLevel;
  template <class F>
  static uint32_t Apply(uint32_t d, uint32_t, uint32_t m, const TOpArgs& a) {
    const uint32_t c = a.color & F::kPixelMask;
    if (m == 0 || (a.skip_equal && d == c)) return d;
    return F::Blend(d, c, Weight(m, a.level));
  }
};

struct OpCover {
  static constexpr TSourceKind kSource = TSourceKind::Codes;  // the coverage bytes, one a pixel
  static constexpr bool kMask = true;
  static constexpr uint8_t kSwitches = 0;
  template <class F>
  static uint32_t Apply(uint32_t d, uint32_t c, uint32_t m, const TOpArgs& a) {
    // Blended for every pixel and then kept or not: glyph coverage changes from pixel to pixel, and
    // selects cost less than the branches it would mispredict.
    const uint32_t blended = F::Blend(d, a.color, CoverWeight(c, m));
    return m == 0 ? d : m == 255 ? a.color : blended;
  }
};

// The reference row of an operation in a format, for one direction of the source and mask and
// one setting S of the operation's switches. Every destination pixel is stored (left pixels as
// they were), so the compiler may vectorise the loop; 16- and 32-bit pixels are read and written
// as such (their rows are aligned to their size).
template <class F, class Op, int Dir, uint8_t S>
void RowIn(uint8_t* d, const uint8_t* s, const uint8_t* m, int32_t n, const TOpArgs& args) {
  // A copy: the stores into d could otherwise change the arguments, so they would be read again for
  // every pixel. Its switches are the constants of S.
  TOpArgs a = args;
  if constexpr ((Op::kSwitches & kKeyed) != 0) a.keyed = (S & kKeyed) != 0;
  if constexpr ((Op::kSwitches & kSkipEqual) != 0) a.skip_equal = (S & kSkipEqual) != 0;
  if constexpr ((Op::kSwitches & kSkipZeroWeight) != 0) a.skip_zero_weight = (S & kSkipZeroWeight) != 0;
  if constexpr ((Op::kSwitches & kFullLevel) != 0) {
    // Either way the compiler knows which branch of Weight applies (levels above 256 are outside
    // the operations' range; they count as 255).
    a.level = (S & kFullLevel) != 0 ? 256 : std::min(a.level, 255u);
  }
  if constexpr (F::kBytes == 2 || F::kBytes == 4) {
    using P = std::conditional_t<F::kBytes == 4, uint32_t, uint16_t>;
    P* dp = reinterpret_cast<P*>(d);
    const P* sp = reinterpret_cast<const P*>(s);
    for (int32_t i = 0; i < n; ++i) {
      uint32_t sv = 0, mv = 255;
      if constexpr (Op::kSource == TSourceKind::Pixels) sv = sp[i * Dir];
      if constexpr (Op::kSource == TSourceKind::Codes) sv = s[i * Dir];
      if constexpr (Op::kMask) mv = m[i * Dir];
      dp[i] = P(Op::template Apply<F>(dp[i], sv, mv, a));
    }
  } else {
    constexpr ptrdiff_t kStep = Op::kSource == TSourceKind::Pixels ? Dir * F::kBytes : Dir;
    for (int32_t i = 0; i < n; ++i) {
      uint32_t sv = 0, mv = 255;
      if constexpr (Op::kSource == TSourceKind::Pixels) sv = F::Load(s + i * kStep);
      if constexpr (Op::kSource == TSourceKind::Codes) sv = s[i * kStep];
      if constexpr (Op::kMask) mv = m[i * Dir];
      uint8_t* p = d + ptrdiff_t(i) * F::kBytes;
      F::Store(p, Op::template Apply<F>(F::Load(p), sv, mv, a));
    }
  }
}

// Chooses the row built for the arguments' switches, one switch at a time.
template <class F, class Op, int Dir, uint8_t S = 0, uint8_t Bit = 1>
void RowSwitched(uint8_t* d, const uint8_t* s, const uint8_t* m, int32_t n, const TOpArgs& a) {
  if constexpr (Bit > kFullLevel) {
    RowIn<F, Op, Dir, S>(d, s, m, n, a);
  } else if constexpr ((Op::kSwitches & Bit) == 0) {
    RowSwitched<F, Op, Dir, S, uint8_t(Bit << 1)>(d, s, m, n, a);
  } else {
    const bool on = Bit == kKeyed       ? a.keyed != 0
                    : Bit == kSkipEqual ? a.skip_equal != 0
                    : Bit == kSkipZeroWeight ? a.skip_zero_weight != 0
                                             : a.level == 256;
    if (on) {
      RowSwitched<F, Op, Dir, uint8_t(S | Bit), uint8_t(Bit << 1)>(d, s, m, n, a);
    } else {
      RowSwitched<F, Op, Dir, S, uint8_t(Bit << 1)>(d, s, m, n, a);
    }
  }
}

template <class F, class Op>
void RowOf(uint8_t* d, const uint8_t* s, const uint8_t* m, int32_t n, int32_t dir, const TOpArgs& a) {
  if (dir < 0) {
    RowSwitched<F, Op, -1>(d, s, m, n, a);
  } else {
    RowSwitched<F, Op, 1>(d, s, m, n, a);
  }
}

// The block routine of a row routine: the rows one after another through the row routine, which
// the compiler inlines (it is a constant here), so its set-up can be hoisted out of the rows.
template <TRowFn Row>
void BlockOf(const TBlock& b, const TOpArgs& args) {
  const TOpArgs a = args;
  uint8_t* d = b.d;
  const uint8_t* s = b.s;
  const uint8_t* m = b.m;
  for (int32_t j = 0; j < b.rows; ++j) {
    Row(d, s, m, b.n, b.dir, a);
    d += b.d_pitch;
    if (s) s += b.s_pitch;
    if (m) m += b.m_pitch;
  }
}

// Sets an entry's row routine and its block routine.
template <TRowFn Row>
void Put(TPixelOps& t, TOp op, TFormat f) {
  t.rows[size_t(op)][size_t(f)] = Row;
  t.blocks[size_t(op)][size_t(f)] = BlockOf<Row>;
}

}  // namespace
}  // namespace kova::pixels
