#include "motion/wipe_rings.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>

#if defined(__SSE2__)
#include <immintrin.h>
#endif

#include "core/vocabulary.h"
#include "graphics/dibx.h"
#include "graphics/dibx_draw.h"
#include "graphics/pixels/formats.h"
#include "graphics/simd_dispatch.h"
#include "motion/wipe_kinds.h"

namespace kova {

namespace {

using draw::TPlane;

// The nearest integer, halves to even (the rounding of the tables' formulas).
int32_t RoundEven(double v) { return int32_t(std::nearbyint(v)); }

int32_t Clamp32(int64_t v) {
  return int32_t(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()));
}

// The channel masks of the destination, for the saturating add of a grey.
struct TMasks {
  uint32_t r = 0, g = 0, b = 0;
  static TMasks Of(const TCustomDIBX& s) { return TMasks{s.RedMask(), s.GreenMask(), s.BlueMask()}; }
};

// Per channel of the masks: (p and c) + (x and c), held at c; the channels or-ed (bits outside
// every mask come out 0).
inline uint32_t AddChannels(uint32_t p, uint32_t x, const TMasks& m) {
  const uint32_t r = std::min((p & m.r) + (x & m.r), m.r);
  const uint32_t g = std::min((p & m.g) + (x & m.g), m.g);
  const uint32_t b = std::min((p & m.b) + (x & m.b), m.b);
  return r | g | b;
}

// The bytes per pixel of the direct memory path (2 or 4), or 0 when the pixels go through
// GetPixel/SetPixel: the destination at 15, 16 or 32 bits and both layers stored at its depth.
int32_t DirectBytes(TCustomDIBX& dest, TCustomDIBX& old_layer, TCustomDIBX& new_layer) {
  const int32_t bits = dest.BitCount();
  if (bits != 15 && bits != 16 && bits != 32) return 0;
  const int32_t storage = dest.StorageBitCount();
  if (old_layer.StorageBitCount() != storage || new_layer.StorageBitCount() != storage) return 0;
  return storage == 16 ? 2 : storage == 32 ? 4 : 0;
}

// The size the destination, both layers and a table of (w, h) all cover.
struct TCommon {
  int32_t w = 0, h = 0;
  static TCommon Of(const TCustomWipe& wipe, int32_t w, int32_t h) {
    return TCommon{std::max(0, std::min({w, wipe.Dest.Width(), wipe.OldLayer.Width(), wipe.NewLayer.Width()})),
                   std::max(0, std::min({h, wipe.Dest.Height(), wipe.OldLayer.Height(), wipe.NewLayer.Height()}))};
  }
  bool Empty() const { return w <= 0 || h <= 0; }
};

// ---- Spot ----

// One pixel of the ring of light at ring position t: the new pixel once the crest (d + 256) is
// reached, else the old one; on the ring (d <= t < d + 512) a grey added that rises to white at
// the crest and falls again.
inline uint32_t SpotPixel(int32_t t, int32_t d, uint32_t old_pixel, uint32_t new_pixel,
                          const std::array<uint32_t, 256>& grey, const TMasks& m) {
  const int32_t u = t - d;
  const uint32_t p = u >= 256 ? new_pixel : old_pixel;
  if (u < 0 || u >= 512) return p;
  return AddChannels(p, grey[size_t(u < 256 ? u : 511 - u)], m);
}

// The distances of a row are summed up per block of this many pixels (their least and greatest),
// so that blocks wholly before, behind or on one side of the crest are done as such.
constexpr int32_t kSpotBlock = 64;

// What a segment of the ring needs: its pixels' distances, the ring position, the greys.
struct TSpotArgs {
  int32_t t = 0;
  const std::array<uint32_t, 256>* grey = nullptr;
  TMasks masks;
  // The vector rows in use: not Scalar when the greys are the plain ones of the masks.
  TSimdLevel level = TSimdLevel::Scalar;
};

// n pixels: o and nw are the old and new rows (or one of them twice when every pixel of the
// segment takes the same layer).
template <int Bytes>
void SpotSegment(uint8_t* d, const uint8_t* o, const uint8_t* nw, const int32_t* map, int32_t n, const TSpotArgs& a) {
  for (int32_t x = 0; x < n; ++x) {
    const int32_t u = a.t - map[x];
    uint32_t p = pixels::LoadPixel<Bytes>((u >= 256 ? nw : o) + ptrdiff_t(x) * Bytes);
    if (u >= 0 && u < 512) p = AddChannels(p, (*a.grey)[size_t(u < 256 ? u : 511 - u)], a.masks);
    pixels::StorePixel<Bytes>(d + ptrdiff_t(x) * Bytes, p);
  }
}

#if defined(__SSE2__)
// The vector rows. With v := u - 256 and s := the sign of v (the pixel still takes the old
// layer), k := 255 - (v xor s) is the grey of the ring, u or 511 - u, and negative off the ring.

// 32 bits, four pixels a vector: the grey in each channel byte is a saturating byte add of k,
// and the top byte (no channel) comes out 0 on the ring.
void SpotSegment32Sse2(uint8_t* d, const uint8_t* o, const uint8_t* nw, const int32_t* map, int32_t n,
                       const TSpotArgs& a) {
  const __m128i vt = _mm_set1_epi32(a.t - 256), v255 = _mm_set1_epi32(255), low = _mm_set1_epi32(0x00FFFFFF);
  int32_t x = 0;
  for (; x + 4 <= n; x += 4) {
    const __m128i v = _mm_sub_epi32(vt, _mm_loadu_si128(reinterpret_cast<const __m128i*>(map + x)));
    const __m128i take_old = _mm_srai_epi32(v, 31);
    const __m128i k = _mm_sub_epi32(v255, _mm_xor_si128(v, take_old));
    const __m128i off = _mm_srai_epi32(k, 31);
    const __m128i kc = _mm_andnot_si128(off, k);
    const __m128i grey = _mm_or_si128(kc, _mm_or_si128(_mm_slli_epi32(kc, 8), _mm_slli_epi32(kc, 16)));
    const __m128i po = _mm_loadu_si128(reinterpret_cast<const __m128i*>(o + ptrdiff_t(x) * 4));
    const __m128i pn = _mm_loadu_si128(reinterpret_cast<const __m128i*>(nw + ptrdiff_t(x) * 4));
    const __m128i p = _mm_or_si128(_mm_and_si128(take_old, po), _mm_andnot_si128(take_old, pn));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + ptrdiff_t(x) * 4),
                     _mm_and_si128(_mm_adds_epu8(p, grey), _mm_or_si128(low, off)));
  }
  SpotSegment<4>(d + ptrdiff_t(x) * 4, o + ptrdiff_t(x) * 4, nw + ptrdiff_t(x) * 4, map + x, n - x, a);
}

// The channels of a 15- or 16-bit pixel for the vector rows: each is shifted to the top of its
// 16-bit lane, where a saturating add of the grey's channel (the top bits of k) holds it at its
// maximum.
struct TChannels16 {
  uint16_t mask[3], top[3];
  int32_t shift[3];
  explicit TChannels16(const TMasks& m) {
    const uint32_t masks[3] = {m.r, m.g, m.b};
    for (int32_t c = 0; c < 3; ++c) {
      const int32_t width = std::popcount(masks[c]);
      mask[c] = uint16_t(masks[c]);
      top[c] = uint16_t(0xFFFFu << (16 - width));
      shift[c] = 16 - width - std::countr_zero(masks[c]);
    }
  }
};

// 15 and 16 bits, eight pixels a vector.
void SpotSegment16Sse2(uint8_t* d, const uint8_t* o, const uint8_t* nw, const int32_t* map, int32_t n,
                       const TSpotArgs& a) {
  const TChannels16 ch(a.masks);
  __m128i mask[3], top[3], shift[3];
  for (int32_t c = 0; c < 3; ++c) {
    mask[c] = _mm_set1_epi16(int16_t(ch.mask[c]));
    top[c] = _mm_set1_epi16(int16_t(ch.top[c]));
    shift[c] = _mm_cvtsi32_si128(ch.shift[c]);
  }
  const __m128i vt = _mm_set1_epi32(a.t - 256), v255 = _mm_set1_epi16(255);
  int32_t x = 0;
  for (; x + 8 <= n; x += 8) {
    // v held to 16 bits keeps its side of -256, 0 and 256.
    const __m128i v0 = _mm_sub_epi32(vt, _mm_loadu_si128(reinterpret_cast<const __m128i*>(map + x)));
    const __m128i v1 = _mm_sub_epi32(vt, _mm_loadu_si128(reinterpret_cast<const __m128i*>(map + x + 4)));
    const __m128i v = _mm_packs_epi32(v0, v1);
    const __m128i take_old = _mm_srai_epi16(v, 15);
    const __m128i k = _mm_sub_epi16(v255, _mm_xor_si128(v, take_old));
    const __m128i off = _mm_srai_epi16(k, 15);
    const __m128i k_top = _mm_slli_epi16(_mm_andnot_si128(off, k), 8);
    const __m128i po = _mm_loadu_si128(reinterpret_cast<const __m128i*>(o + ptrdiff_t(x) * 2));
    const __m128i pn = _mm_loadu_si128(reinterpret_cast<const __m128i*>(nw + ptrdiff_t(x) * 2));
    const __m128i p = _mm_or_si128(_mm_and_si128(take_old, po), _mm_andnot_si128(take_old, pn));
    __m128i lit = _mm_setzero_si128();
    for (int32_t c = 0; c < 3; ++c) {
      const __m128i pc = _mm_sll_epi16(_mm_and_si128(p, mask[c]), shift[c]);
      const __m128i sum = _mm_and_si128(_mm_adds_epu16(pc, _mm_and_si128(k_top, top[c])), top[c]);
      lit = _mm_or_si128(lit, _mm_srl_epi16(sum, shift[c]));
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(d + ptrdiff_t(x) * 2),
                     _mm_or_si128(_mm_andnot_si128(off, lit), _mm_and_si128(off, p)));
  }
  SpotSegment<2>(d + ptrdiff_t(x) * 2, o + ptrdiff_t(x) * 2, nw + ptrdiff_t(x) * 2, map + x, n - x, a);
}

// The same two with AVX2, twice the pixels a vector (compiled for AVX2 here, called only when
// the processor has it).
__attribute__((target("avx2"))) void SpotSegment32Avx2(uint8_t* d, const uint8_t* o, const uint8_t* nw,
                                                       const int32_t* map, int32_t n, const TSpotArgs& a) {
  const __m256i vt = _mm256_set1_epi32(a.t - 256), v255 = _mm256_set1_epi32(255);
  const __m256i low = _mm256_set1_epi32(0x00FFFFFF), zero = _mm256_setzero_si256();
  int32_t x = 0;
  for (; x + 8 <= n; x += 8) {
    const __m256i v = _mm256_sub_epi32(vt, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(map + x)));
    const __m256i take_old = _mm256_srai_epi32(v, 31);
    const __m256i k = _mm256_sub_epi32(v255, _mm256_xor_si256(v, take_old));
    const __m256i off = _mm256_srai_epi32(k, 31);
    const __m256i kc = _mm256_max_epi32(k, zero);
    const __m256i grey = _mm256_or_si256(kc, _mm256_or_si256(_mm256_slli_epi32(kc, 8), _mm256_slli_epi32(kc, 16)));
    const __m256i po = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(o + ptrdiff_t(x) * 4));
    const __m256i pn = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(nw + ptrdiff_t(x) * 4));
    const __m256i p = _mm256_blendv_epi8(pn, po, take_old);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + ptrdiff_t(x) * 4),
                        _mm256_and_si256(_mm256_adds_epu8(p, grey), _mm256_or_si256(low, off)));
  }
  SpotSegment32Sse2(d + ptrdiff_t(x) * 4, o + ptrdiff_t(x) * 4, nw + ptrdiff_t(x) * 4, map + x, n - x, a);
}

__attribute__((target("avx2"))) void SpotSegment16Avx2(uint8_t* d, const uint8_t* o, const uint8_t* nw,
                                                       const int32_t* map, int32_t n, const TSpotArgs& a) {
  const TChannels16 ch(a.masks);
  __m256i mask[3], top[3];
  __m128i shift[3];
  for (int32_t c = 0; c < 3; ++c) {
    mask[c] = _mm256_set1_epi16(int16_t(ch.mask[c]));
    top[c] = _mm256_set1_epi16(int16_t(ch.top[c]));
    shift[c] = _mm_cvtsi32_si128(ch.shift[c]);
  }
  const __m256i vt = _mm256_set1_epi32(a.t - 256), v255 = _mm256_set1_epi16(255);
  int32_t x = 0;
  for (; x + 16 <= n; x += 16) {
    const __m256i v0 = _mm256_sub_epi32(vt, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(map + x)));
    const __m256i v1 = _mm256_sub_epi32(vt, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(map + x + 8)));
    // The packing works within each half: put the quarters back in pixel order.
    const __m256i v = _mm256_permute4x64_epi64(_mm256_packs_epi32(v0, v1), 0xD8);
    const __m256i take_old = _mm256_srai_epi16(v, 15);
    const __m256i k = _mm256_sub_epi16(v255, _mm256_xor_si256(v, take_old));
    const __m256i off = _mm256_srai_epi16(k, 15);
    const __m256i k_top = _mm256_slli_epi16(_mm256_andnot_si256(off, k), 8);
    const __m256i po = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(o + ptrdiff_t(x) * 2));
    const __m256i pn = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(nw + ptrdiff_t(x) * 2));
    const __m256i p = _mm256_blendv_epi8(pn, po, take_old);
    __m256i lit = _mm256_setzero_si256();
    for (int32_t c = 0; c < 3; ++c) {
      const __m256i pc = _mm256_sll_epi16(_mm256_and_si256(p, mask[c]), shift[c]);
      const __m256i sum = _mm256_and_si256(_mm256_adds_epu16(pc, _mm256_and_si256(k_top, top[c])), top[c]);
      lit = _mm256_or_si256(lit, _mm256_srl_epi16(sum, shift[c]));
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(d + ptrdiff_t(x) * 2), _mm256_blendv_epi8(lit, p, off));
  }
  SpotSegment16Sse2(d + ptrdiff_t(x) * 2, o + ptrdiff_t(x) * 2, nw + ptrdiff_t(x) * 2, map + x, n - x, a);
}
#endif

template <int Bytes>
void SpotRun(uint8_t* d, const uint8_t* o, const uint8_t* nw, const int32_t* map, int32_t n, const TSpotArgs& a) {
#if defined(__SSE2__)
  if (a.level != TSimdLevel::Scalar) {
    const bool avx2 = a.level == TSimdLevel::Avx2;
    if constexpr (Bytes == 4) {
      avx2 ? SpotSegment32Avx2(d, o, nw, map, n, a) : SpotSegment32Sse2(d, o, nw, map, n, a);
    } else {
      avx2 ? SpotSegment16Avx2(d, o, nw, map, n, a) : SpotSegment16Sse2(d, o, nw, map, n, a);
    }
    return;
  }
#endif
  SpotSegment<Bytes>(d, o, nw, map, n, a);
}

// The common part of the screen, block by block: wholly before the ring the old picture and
// wholly behind it the new one, copied; a block on one side of the crest reads only that layer.
template <int Bytes>
void SpotDirect(const TPlane& d, const TPlane& o, const TPlane& n, const TWipeSpot& spot, int32_t map_w,
                const int32_t* block_lo, const int32_t* block_hi, const TCommon& c, const TSpotArgs& a) {
  const int32_t blocks = (map_w + kSpotBlock - 1) / kSpotBlock;
  for (int32_t y = 0; y < c.h; ++y) {
    uint8_t* dr = d.Row(y);
    const uint8_t* orow = o.Row(y);
    const uint8_t* nrow = n.Row(y);
    const int32_t* mr = spot.DistMap.data() + ptrdiff_t(y) * map_w;
    for (int32_t b = 0; b * kSpotBlock < c.w; ++b) {
      const int32_t x = b * kSpotBlock, count = std::min(kSpotBlock, c.w - x);
      const size_t at = size_t(y) * size_t(blocks) + size_t(b);
      const int32_t u_min = a.t - block_hi[at], u_max = a.t - block_lo[at];
      const ptrdiff_t off = ptrdiff_t(x) * Bytes;
      if (u_min >= 512 || u_max < 0) {
        std::memcpy(dr + off, (u_min >= 512 ? nrow : orow) + off, size_t(count) * Bytes);
        continue;
      }
      const uint8_t* from_old = u_min >= 256 ? nrow : orow;
      const uint8_t* from_new = u_max < 256 ? orow : nrow;
      SpotRun<Bytes>(dr + off, from_old + off, from_new + off, mr + x, count, a);
    }
  }
}

// ---- Ripple ----

// Where the pixels of the quarter entry (i, j) and its three mirrors come from.
struct TRippleGeometry {
  int32_t w = 0, h = 0;  // the size the tables were built for
  int32_t hw = 0, hh = 0;
  int32_t qw = 0, qh = 0;
};

// The quarter's distances are summed up per block of this many entries of a row.
constexpr int32_t kRippleBlock = 64;

// Pixel access of the ripple: direct memory, or GetPixel/SetPixel.
template <int Bytes>
struct TDirectAccess {
  TPlane d, o, n;
  uint32_t Old(int32_t x, int32_t y) const { return pixels::LoadPixel<Bytes>(o.Row(y) + ptrdiff_t(x) * Bytes); }
  uint32_t New(int32_t x, int32_t y) const { return pixels::LoadPixel<Bytes>(n.Row(y) + ptrdiff_t(x) * Bytes); }
  void Put(int32_t x, int32_t y, uint32_t v) const { pixels::StorePixel<Bytes>(d.Row(y) + ptrdiff_t(x) * Bytes, v); }
  // count pixels of row y from x, from the old or the new layer's same place.
  void Copy(bool old_layer, int32_t x, int32_t y, int32_t count) const {
    std::memcpy(d.Row(y) + ptrdiff_t(x) * Bytes, (old_layer ? o : n).Row(y) + ptrdiff_t(x) * Bytes,
                size_t(count) * Bytes);
  }
};

struct TPixelAccess {
  TCustomDIBX* d = nullptr;
  TCustomDIBX* o = nullptr;
  TCustomDIBX* n = nullptr;
  uint32_t Old(int32_t x, int32_t y) const { return o->GetPixel(x, y); }
  uint32_t New(int32_t x, int32_t y) const { return n->GetPixel(x, y); }
  void Put(int32_t x, int32_t y, uint32_t v) const { d->SetPixel(x, y, v); }
  void Copy(bool old_layer, int32_t x, int32_t y, int32_t count) const {
    for (int32_t i = x; i < x + count; ++i) Put(i, y, old_layer ? Old(i, y) : New(i, y));
  }
};

// Entries i0 .. i1 - 1 of quarter row j, and their mirrors, from one layer's own places; with
// Clip, what lies outside the common size is left.
template <typename Access, bool Clip>
void RippleCopy(const Access& a, const TRippleGeometry& g, const TCommon& c, bool old_layer, int32_t i0, int32_t i1,
                int32_t j) {
  const int32_t ys[2] = {j, g.h - 1 - j};
  const int32_t xs[2][2] = {{i0, i1}, {g.w - i1, g.w - i0}};
  for (int32_t y : ys) {
    if (Clip && y >= c.h) continue;
    for (const auto& span : xs) {
      const int32_t from = span[0], to = Clip ? std::min(span[1], c.w) : span[1];
      if (from < to) a.Copy(old_layer, from, y, to - from);
    }
  }
}

// What the vector ring rows read: the tables, the ring position and the locked surfaces (32 bits,
// all of the tables' size, every byte offset of the new layer within 31 bits, every displaced
// radius below 32768 so that the products with the cosines stay within 32 bits).
struct TRippleVector {
  const uint16_t* dist = nullptr;
  const int32_t* cos_map = nullptr;
  const int32_t* sin_map = nullptr;
  const int32_t* wave = nullptr;  // followed by 7 more readable entries
  int32_t last = 0, t = 0;
  TPlane d, o, n;
  TRippleGeometry g;
};

#if defined(__SSE2__)
// The small pieces of the AVX2 rows (compiled for AVX2 like them).
__attribute__((target("avx2"))) inline __m256i Load8(const uint8_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}
__attribute__((target("avx2"))) inline void Store8(uint8_t* p, __m256i x) {
  _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), x);
}
__attribute__((target("avx2"))) inline __m256i Reverse8(__m256i x, __m256i reverse) {
  return _mm256_permutevar8x32_epi32(x, reverse);
}
// (value x r) div 65536, toward zero.
__attribute__((target("avx2"))) inline __m256i ScaleQ16(__m256i value, __m256i r, __m256i low16) {
  const __m256i p = _mm256_mullo_epi32(value, r);
  return _mm256_srai_epi32(_mm256_add_epi32(p, _mm256_and_si256(_mm256_srai_epi32(p, 31), low16)), 16);
}

// Entries i_begin.. of quarter row j, eight at a time while eight are left, with AVX2; returns
// the first entry not done. The pixels of the left half of the row are the entries in order, those
// of the right half the entries reversed; off the ring each pixel is its own place's, on it the
// displaced one is gathered from the new layer.
// The wave at the entries' k (clamped to the wave): neighbouring entries differ by at most 1 in
// distance, so the eight lie within eight entries of the wave from the least.
__attribute__((target("avx2"))) inline __m256i WaveOf(const TRippleVector& v, __m128i dist16, __m256i kc) {
  const int32_t least = _mm_extract_epi16(_mm_minpos_epu16(dist16), 0);
  const int32_t first = std::clamp(v.last + least - v.t, 0, v.last);
  const __m256i window = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(v.wave + first));
  return _mm256_permutevar8x32_epi32(window, _mm256_sub_epi32(kc, _mm256_set1_epi32(first)));
}

__attribute__((target("avx2"))) int32_t RippleRun32Avx2(const TRippleVector& vector, int32_t j, int32_t i_begin,
                                                        int32_t i_end) {
  const TRippleVector v = vector;
  const int32_t y0 = j, y1 = v.g.h - 1 - j;
  uint8_t* d0 = v.d.Row(y0);
  uint8_t* d1 = v.d.Row(y1);
  const uint8_t* o0 = v.o.Row(y0);
  const uint8_t* o1 = v.o.Row(y1);
  const uint8_t* n0 = v.n.Row(y0);
  const uint8_t* n1 = v.n.Row(y1);
  const size_t row = size_t(j) * size_t(v.g.qw);
  const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7), reverse = _mm256_setr_epi32(7, 6, 5, 4, 3, 2, 1, 0);
  const __m256i zero = _mm256_setzero_si256(), minus1 = _mm256_set1_epi32(-1), low16 = _mm256_set1_epi32(0xFFFF);
  const __m256i k_base = _mm256_set1_epi32(v.last - v.t), last = _mm256_set1_epi32(v.last);
  const __m256i hw = _mm256_set1_epi32(v.g.hw), hh = _mm256_set1_epi32(v.g.hh);
  const __m256i w = _mm256_set1_epi32(v.g.w), h = _mm256_set1_epi32(v.g.h);
  const __m256i w1 = _mm256_set1_epi32(v.g.w - 1), h1 = _mm256_set1_epi32(v.g.h - 1);
  const __m256i pitch = _mm256_set1_epi32(int32_t(v.n.pitch)), y0v = _mm256_set1_epi32(y0);
  int32_t i = i_begin;
  for (; i + 8 <= i_end; i += 8) {
    const __m128i dist16 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(v.dist + row + i));
    const __m256i dist = _mm256_cvtepu16_epi32(dist16);
    const __m256i k = _mm256_add_epi32(dist, k_base);
    const __m256i beyond = _mm256_cmpgt_epi32(k, last), behind = _mm256_cmpgt_epi32(zero, k);
    const __m256i ring = _mm256_xor_si256(_mm256_or_si256(beyond, behind), minus1);
    // The own places: the left pixels at i.., the right ones (reversed) at w - 8 - i...
    const ptrdiff_t left = ptrdiff_t(i) * 4, right = ptrdiff_t(v.g.w - 8 - i) * 4;
    const __m256i beyond_r = Reverse8(beyond, reverse);
    __m256i p00 = _mm256_blendv_epi8(Load8(n0 + left), Load8(o0 + left), beyond);
    __m256i p10 = _mm256_blendv_epi8(Load8(n0 + right), Load8(o0 + right), beyond_r);
    __m256i p01 = _mm256_blendv_epi8(Load8(n1 + left), Load8(o1 + left), beyond);
    __m256i p11 = _mm256_blendv_epi8(Load8(n1 + right), Load8(o1 + right), beyond_r);
    if (!_mm256_testz_si256(ring, ring)) {
      const __m256i kc = _mm256_min_epi32(_mm256_max_epi32(k, zero), last);
      const __m256i r = _mm256_add_epi32(dist, WaveOf(v, dist16, kc));
      const __m256i cos = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(v.cos_map + row + i));
      const __m256i sin = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(v.sin_map + row + i));
      const __m256i sx = _mm256_add_epi32(ScaleQ16(cos, r, low16), hw);
      const __m256i sy = _mm256_add_epi32(ScaleQ16(sin, r, low16), hh);
      const __m256i in = _mm256_and_si256(_mm256_and_si256(_mm256_cmpgt_epi32(sx, minus1), _mm256_cmpgt_epi32(w, sx)),
                                          _mm256_and_si256(_mm256_cmpgt_epi32(sy, minus1), _mm256_cmpgt_epi32(h, sy)));
      const __m256i fx0 = _mm256_blendv_epi8(_mm256_add_epi32(_mm256_set1_epi32(i), lanes), sx, in);
      const __m256i fy0 = _mm256_blendv_epi8(y0v, sy, in);
      const __m256i fx1 = _mm256_sub_epi32(w1, fx0), fy1 = _mm256_sub_epi32(h1, fy0);
      const __m256i row0 = _mm256_mullo_epi32(fy0, pitch), row1 = _mm256_mullo_epi32(fy1, pitch);
      const __m256i col0 = _mm256_slli_epi32(fx0, 2), col1 = _mm256_slli_epi32(fx1, 2);
      const int* base = reinterpret_cast<const int*>(v.n.base);
      p00 = _mm256_mask_i32gather_epi32(p00, base, _mm256_add_epi32(row0, col0), ring, 1);
      const __m256i ring_r = Reverse8(ring, reverse);
      p10 = _mm256_mask_i32gather_epi32(p10, base, Reverse8(_mm256_add_epi32(row0, col1), reverse), ring_r, 1);
      p01 = _mm256_mask_i32gather_epi32(p01, base, _mm256_add_epi32(row1, col0), ring, 1);
      p11 = _mm256_mask_i32gather_epi32(p11, base, Reverse8(_mm256_add_epi32(row1, col1), reverse), ring_r, 1);
    }
    Store8(d0 + left, p00);
    Store8(d0 + right, p10);
    Store8(d1 + left, p01);
    Store8(d1 + right, p11);
  }
  return i;
}

// The same at 15 and 16 bits, eight entries a time. A displaced pixel comes from the aligned
// 32-bit word that holds it (rows start on such words and hold whole ones, so the word stays
// inside the row).
__attribute__((target("avx2"))) inline __m128i Pack16(__m256i x) {
  return _mm256_castsi256_si128(_mm256_permute4x64_epi64(_mm256_packus_epi32(x, x), 0x08));
}
__attribute__((target("avx2"))) inline __m128i Masks16(__m256i x) {
  return _mm256_castsi256_si128(_mm256_permute4x64_epi64(_mm256_packs_epi32(x, x), 0x08));
}
__attribute__((target("avx2"))) inline __m128i Load4(const uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}
__attribute__((target("avx2"))) inline void Store4(uint8_t* p, __m128i x) {
  _mm_storeu_si128(reinterpret_cast<__m128i*>(p), x);
}

__attribute__((target("avx2"))) inline __m128i Gather16(const int* base, __m256i offset, __m256i half, __m256i ring) {
  const __m256i word = _mm256_mask_i32gather_epi32(_mm256_setzero_si256(), base, offset, ring, 1);
  return Pack16(_mm256_and_si256(_mm256_srlv_epi32(word, half), _mm256_set1_epi32(0xFFFF)));
}

__attribute__((target("avx2"))) int32_t RippleRun16Avx2(const TRippleVector& vector, int32_t j, int32_t i_begin,
                                                        int32_t i_end) {
  const TRippleVector v = vector;
  const int32_t y0 = j, y1 = v.g.h - 1 - j;
  uint8_t* d0 = v.d.Row(y0);
  uint8_t* d1 = v.d.Row(y1);
  const uint8_t* o0 = v.o.Row(y0);
  const uint8_t* o1 = v.o.Row(y1);
  const uint8_t* n0 = v.n.Row(y0);
  const uint8_t* n1 = v.n.Row(y1);
  const size_t row = size_t(j) * size_t(v.g.qw);
  const __m256i lanes = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
  const __m128i reverse = _mm_setr_epi8(14, 15, 12, 13, 10, 11, 8, 9, 6, 7, 4, 5, 2, 3, 0, 1);
  const __m256i zero = _mm256_setzero_si256(), minus1 = _mm256_set1_epi32(-1), low16 = _mm256_set1_epi32(0xFFFF);
  const __m256i one = _mm256_set1_epi32(1);
  const __m256i k_base = _mm256_set1_epi32(v.last - v.t), last = _mm256_set1_epi32(v.last);
  const __m256i hw = _mm256_set1_epi32(v.g.hw), hh = _mm256_set1_epi32(v.g.hh);
  const __m256i w = _mm256_set1_epi32(v.g.w), h = _mm256_set1_epi32(v.g.h);
  const __m256i w1 = _mm256_set1_epi32(v.g.w - 1), h1 = _mm256_set1_epi32(v.g.h - 1);
  const __m256i pitch = _mm256_set1_epi32(int32_t(v.n.pitch)), y0v = _mm256_set1_epi32(y0);
  const int* base = reinterpret_cast<const int*>(v.n.base);
  int32_t i = i_begin;
  for (; i + 8 <= i_end; i += 8) {
    const __m128i dist16 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(v.dist + row + i));
    const __m256i dist = _mm256_cvtepu16_epi32(dist16);
    const __m256i k = _mm256_add_epi32(dist, k_base);
    const __m256i beyond = _mm256_cmpgt_epi32(k, last), behind = _mm256_cmpgt_epi32(zero, k);
    const __m256i ring = _mm256_xor_si256(_mm256_or_si256(beyond, behind), minus1);
    const ptrdiff_t left = ptrdiff_t(i) * 2, right = ptrdiff_t(v.g.w - 8 - i) * 2;
    const __m128i beyond16 = Masks16(beyond), beyond16_r = _mm_shuffle_epi8(beyond16, reverse);
    __m128i p00 = _mm_blendv_epi8(Load4(n0 + left), Load4(o0 + left), beyond16);
    __m128i p10 = _mm_blendv_epi8(Load4(n0 + right), Load4(o0 + right), beyond16_r);
    __m128i p01 = _mm_blendv_epi8(Load4(n1 + left), Load4(o1 + left), beyond16);
    __m128i p11 = _mm_blendv_epi8(Load4(n1 + right), Load4(o1 + right), beyond16_r);
    if (!_mm256_testz_si256(ring, ring)) {
      const __m256i kc = _mm256_min_epi32(_mm256_max_epi32(k, zero), last);
      const __m256i r = _mm256_add_epi32(dist, WaveOf(v, dist16, kc));
      const __m256i cos = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(v.cos_map + row + i));
      const __m256i sin = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(v.sin_map + row + i));
      const __m256i sx = _mm256_add_epi32(ScaleQ16(cos, r, low16), hw);
      const __m256i sy = _mm256_add_epi32(ScaleQ16(sin, r, low16), hh);
      const __m256i in = _mm256_and_si256(_mm256_and_si256(_mm256_cmpgt_epi32(sx, minus1), _mm256_cmpgt_epi32(w, sx)),
                                          _mm256_and_si256(_mm256_cmpgt_epi32(sy, minus1), _mm256_cmpgt_epi32(h, sy)));
      const __m256i fx0 = _mm256_blendv_epi8(_mm256_add_epi32(_mm256_set1_epi32(i), lanes), sx, in);
      const __m256i fy0 = _mm256_blendv_epi8(y0v, sy, in);
      const __m256i fx1 = _mm256_sub_epi32(w1, fx0), fy1 = _mm256_sub_epi32(h1, fy0);
      const __m256i row0 = _mm256_mullo_epi32(fy0, pitch), row1 = _mm256_mullo_epi32(fy1, pitch);
      // The word of pixel x is at 4 (x div 2); its pixel is the high half for odd x.
      const __m256i word0 = _mm256_slli_epi32(_mm256_srli_epi32(fx0, 1), 2);
      const __m256i word1 = _mm256_slli_epi32(_mm256_srli_epi32(fx1, 1), 2);
      const __m256i half0 = _mm256_slli_epi32(_mm256_and_si256(fx0, one), 4);
      const __m256i half1 = _mm256_slli_epi32(_mm256_and_si256(fx1, one), 4);
      const __m128i ring16 = Masks16(ring), ring16_r = _mm_shuffle_epi8(ring16, reverse);
      p00 = _mm_blendv_epi8(p00, Gather16(base, _mm256_add_epi32(row0, word0), half0, ring), ring16);
      const __m128i g10 = Gather16(base, _mm256_add_epi32(row0, word1), half1, ring);
      p10 = _mm_blendv_epi8(p10, _mm_shuffle_epi8(g10, reverse), ring16_r);
      p01 = _mm_blendv_epi8(p01, Gather16(base, _mm256_add_epi32(row1, word0), half0, ring), ring16);
      const __m128i g11 = Gather16(base, _mm256_add_epi32(row1, word1), half1, ring);
      p11 = _mm_blendv_epi8(p11, _mm_shuffle_epi8(g11, reverse), ring16_r);
    }
    Store4(d0 + left, p00);
    Store4(d0 + right, p10);
    Store4(d1 + left, p01);
    Store4(d1 + right, p11);
  }
  return i;
}
#endif

template <typename Access, bool Clip>
void RippleQuarters(const Access& access, const TRippleGeometry& geometry, const TCommon& common,
                    const TWipeRipple& wipe, const int32_t* block_lo, const int32_t* block_hi, int32_t t,
                    const TRippleVector* vector = nullptr) {
  // Everything the loops read, in locals: the pixel stores may alias any memory, and would make
  // the compiler read tables and surfaces through the references again after every pixel.
  const Access a = access;
  const TRippleGeometry g = geometry;
  const TCommon c = common;
  const uint16_t* dist = wipe.DistMap.data();
  const int32_t* cos_map = wipe.CosMap.data();
  const int32_t* sin_map = wipe.SinMap.data();
  const int32_t* wave = wipe.Wave.data();
  const int32_t last = int32_t(wipe.Wave.size()) - 1;
  const int32_t blocks = (g.qw + kRippleBlock - 1) / kRippleBlock;
  const auto inside = [c](int32_t x, int32_t y) { return !Clip || (x < c.w && y < c.h); };
  for (int32_t j = 0; j < g.qh; ++j) {
    const int32_t y0 = j, y1 = g.h - 1 - j;
    const size_t row = size_t(j) * size_t(g.qw);
    for (int32_t b = 0; b < blocks; ++b) {
      const int32_t i_begin = b * kRippleBlock, i_end = std::min(g.qw, i_begin + kRippleBlock);
      const size_t at = size_t(j) * size_t(blocks) + size_t(b);
      // Wholly beyond the ring (k > last: d > t) the old picture; wholly behind it (k < 0) the
      // new one; each at its own place.
      if (block_lo[at] > t || block_hi[at] < t - last) {
        RippleCopy<Access, Clip>(a, g, c, block_lo[at] > t, i_begin, i_end, j);
        continue;
      }
      int32_t i = i_begin;
#if defined(__SSE2__)
      if constexpr (!Clip && std::is_same_v<Access, TDirectAccess<4>>) {
        if (vector) i = RippleRun32Avx2(*vector, j, i_begin, i_end);
      } else if constexpr (!Clip && std::is_same_v<Access, TDirectAccess<2>>) {
        if (vector) i = RippleRun16Avx2(*vector, j, i_begin, i_end);
      }
#endif
      for (; i < i_end; ++i) {
        const int32_t x0 = i, x1 = g.w - 1 - i;
        const int32_t d = dist[row + size_t(i)];
        const int32_t k = last + d - t;
        if (k > last || k < 0) {
          const bool old_side = k > last;
          for (const auto& [x, y] : {std::pair{x0, y0}, std::pair{x1, y0}, std::pair{x0, y1}, std::pair{x1, y1}}) {
            if (inside(x, y)) a.Put(x, y, old_side ? a.Old(x, y) : a.New(x, y));
          }
          continue;
        }
        // On the ring: the new picture displaced outward by the wave, or at its own place when
        // the displaced place lies off the screen.
        const int64_t r = int64_t(d) + wave[k];
        const int64_t sx = int64_t(cos_map[row + size_t(i)]) * r / 65536 + g.hw;
        const int64_t sy = int64_t(sin_map[row + size_t(i)]) * r / 65536 + g.hh;
        const bool displaced = sx >= 0 && sx < g.w && sy >= 0 && sy < g.h;
        const int32_t sx0 = displaced ? int32_t(sx) : x0, sy0 = displaced ? int32_t(sy) : y0;
        const int32_t sx1 = g.w - 1 - sx0, sy1 = g.h - 1 - sy0;
        if (!Clip) {
          a.Put(x0, y0, a.New(sx0, sy0));
          a.Put(x1, y0, a.New(sx1, sy0));
          a.Put(x0, y1, a.New(sx0, sy1));
          a.Put(x1, y1, a.New(sx1, sy1));
          continue;
        }
        const std::pair<int32_t, int32_t> to[4] = {{x0, y0}, {x1, y0}, {x0, y1}, {x1, y1}};
        const std::pair<int32_t, int32_t> from[4] = {{sx0, sy0}, {sx1, sy0}, {sx0, sy1}, {sx1, sy1}};
        for (int32_t q = 0; q < 4; ++q) {
          const auto [x, y] = to[q];
          if (!inside(x, y)) continue;
          const auto [fx, fy] = from[q];
          // A source outside the common size: the pixel's own place.
          a.Put(x, y, inside(fx, fy) ? a.New(fx, fy) : a.New(x, y));
        }
      }
    }
  }
}

// The least and greatest value of each block of `block` entries of each row of a table.
template <typename T>
void SumUpBlocks(const std::vector<T>& table, int32_t w, int32_t h, int32_t block, std::vector<int32_t>& lo,
                 std::vector<int32_t>& hi) {
  const int32_t blocks = (w + block - 1) / block;
  lo.assign(size_t(blocks) * size_t(std::max(h, 0)), 0);
  hi.assign(lo.size(), 0);
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t b = 0; b < blocks; ++b) {
      const T* first = table.data() + size_t(y) * size_t(w) + size_t(b * block);
      const auto [mn, mx] = std::minmax_element(first, first + std::min(block, w - b * block));
      lo[size_t(y) * size_t(blocks) + size_t(b)] = int32_t(*mn);
      hi[size_t(y) * size_t(blocks) + size_t(b)] = int32_t(*mx);
    }
  }
}

// ---- Crack ----

// A generator of the transition's own when the environment brings none (splitmix64, fixed seed).
constexpr uint64_t kCrackSeed = 0x6B6F7661u;

uint64_t SplitMix(uint64_t& state) {
  uint64_t z = (state += 0x9E3779B97F4A7C15ull);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
  return z ^ (z >> 31);
}

// The chips' time scale is held here: far beyond it every chip has left any surface, and the
// products of the rise and fall stay within 64 bits.
constexpr int64_t kMaxChipTime = int64_t(1) << 24;

int64_t ChipRise(int64_t e) { return e * (5 * e - 1500) / 1000; }

}  // namespace

// ---- Greys ----

const std::array<uint32_t, 256>& TWipeGreys::For(const TCustomDIBX& surface) {
  const int32_t bits = surface.BitCount();
  const std::array<uint32_t, 3> masks{surface.RedMask(), surface.GreenMask(), surface.BlueMask()};
  if (bits != bits_ || masks != masks_) {
    bits_ = bits;
    masks_ = masks;
    // Channels of 1 to 8 contiguous bits.
    plain_ = true;
    for (uint32_t m : masks) {
      plain_ = plain_ && m != 0 && std::popcount(m) <= 8 && (m >> std::countr_zero(m)) == (1u << std::popcount(m)) - 1;
    }
    for (int32_t k = 0; k < 256; ++k) {
      values_[size_t(k)] = uint32_t(surface.ColorToPixel(k * 0x010101));
      uint32_t plain = 0;
      for (uint32_t m : masks) {
        if (m) plain |= (uint32_t(k) >> (8 - std::min(std::popcount(m), 8))) << std::countr_zero(m);
      }
      plain_ = plain_ && values_[size_t(k)] == plain;
    }
  }
  return values_;
}

// ---- Spot ----

TWipeSpot::TWipeSpot(const TWipeEnv& env, TCustomDIBX& dest, TCustomDIBX& old_layer, TCustomDIBX& new_layer)
    : TCustomWipe(env, dest, old_layer, new_layer) {
  BuildMap();
}

void TWipeSpot::SetReverse(bool reverse) {
  const bool same_size = map_width_ == std::max(0, Dest.Width()) && map_height_ == std::max(0, Dest.Height());
  if (same_size && reverse == Reverse) return;
  Reverse = reverse;
  if (!same_size) {
    BuildMap();
    return;
  }
  // The distances from the corners are those from the centre taken from the greatest.
  const int32_t reach = Radius - 512;
  for (int32_t& d : DistMap) d = reach - d;
  SumUpBlocks(DistMap, map_width_, map_height_, kSpotBlock, block_lo_, block_hi_);
}

void TWipeSpot::BuildMap() {
  map_width_ = std::max(0, Dest.Width());
  map_height_ = std::max(0, Dest.Height());
  const int32_t cx = map_width_ / 2, cy = map_height_ / 2;
  const int32_t reach = RoundEven(std::hypot(double(cy), double(cx)));
  Radius = reach + 512;
  DistMap.assign(size_t(map_width_) * size_t(map_height_), 0);
  for (int32_t y = 0; y < map_height_; ++y) {
    int32_t* row = DistMap.data() + ptrdiff_t(y) * map_width_;
    for (int32_t x = 0; x < map_width_; ++x) {
      const int32_t r = RoundEven(std::hypot(double(std::abs(y - cy)), double(std::abs(x - cx))));
      row[x] = Reverse ? reach - r : r;
    }
  }
  SumUpBlocks(DistMap, map_width_, map_height_, kSpotBlock, block_lo_, block_hi_);
}

bool TWipeSpot::Step() {
  if (BeginStep()) return true;
  const TCommon c = TCommon::Of(*this, map_width_, map_height_);
  if (c.Empty()) return false;
  TSpotArgs a;
  a.t = int32_t(int64_t(Position) * Radius / Length);
  a.grey = &greys_.For(Dest);
  a.masks = TMasks::Of(Dest);
  if (const int32_t bytes = DirectBytes(Dest, OldLayer, NewLayer)) {
    draw::TDrawScope scope(Dest, bytes == 2 ? pixels::TFormat::P565 : pixels::TFormat::P32, &OldLayer, &NewLayer);
    if (!scope.Ok()) return false;
    // The vector rows compute the greys from the masks: only for the plain greys of byte-wide
    // channels at 32 bits, of channels within the 16-bit word at 15 and 16 bits.
    const uint32_t all = a.masks.r | a.masks.g | a.masks.b;
    const auto byte_wide = [](uint32_t m) { return m == 0xFF || m == 0xFF00 || m == 0xFF0000; };
    const bool bytes_wide = byte_wide(a.masks.r) && byte_wide(a.masks.g) && byte_wide(a.masks.b) && all == 0xFFFFFF;
    if (greys_.Plain() && (bytes == 4 ? bytes_wide : all <= 0xFFFF)) a.level = ActiveSimdLevel();
    if (bytes == 2) {
      SpotDirect<2>(scope.dst, scope.src, scope.mask, *this, map_width_, block_lo_.data(), block_hi_.data(), c, a);
    } else {
      SpotDirect<4>(scope.dst, scope.src, scope.mask, *this, map_width_, block_lo_.data(), block_hi_.data(), c, a);
    }
    return false;
  }
  for (int32_t y = 0; y < c.h; ++y) {
    for (int32_t x = 0; x < c.w; ++x) {
      const int32_t d = DistMap[size_t(y) * size_t(map_width_) + size_t(x)];
      Dest.SetPixel(x, y, SpotPixel(a.t, d, OldLayer.GetPixel(x, y), NewLayer.GetPixel(x, y), *a.grey, a.masks));
    }
  }
  return false;
}

// ---- Ripple ----

TWipeRipple::TWipeRipple(const TWipeEnv& env, TCustomDIBX& dest, TCustomDIBX& old_layer, TCustomDIBX& new_layer)
    : TCustomWipe(env, dest, old_layer, new_layer) {
  width_ = std::max(0, Dest.Width());
  height_ = std::max(0, Dest.Height());
  hw_ = width_ / 2;
  hh_ = height_ / 2;
  qw_ = (width_ + 1) / 2;
  qh_ = (height_ + 1) / 2;
  const size_t count = size_t(qw_) * size_t(qh_);
  DistMap.resize(count);
  CosMap.resize(count);
  SinMap.resize(count);
  for (int32_t j = 0; j < qh_; ++j) {
    for (int32_t i = 0; i < qw_; ++i) {
      const int32_t dx = i - hw_, dy = j - hh_;
      const size_t e = size_t(j) * size_t(qw_) + size_t(i);
      const int32_t dist = RoundEven(std::hypot(double(std::abs(dy)), double(std::abs(dx))));
      DistMap[e] = uint16_t(std::min(dist, 65535));
      const double angle = std::atan2(double(dy), double(dx));
      CosMap[e] = RoundEven(std::cos(angle) * 65536.0);
      SinMap[e] = RoundEven(std::sin(angle) * 65536.0);
    }
  }
  SumUpBlocks(DistMap, qw_, qh_, kRippleBlock, block_lo_, block_hi_);
  Wave.assign(size_t(std::min(hw_, hh_) * 2 / 3), 0);
  SetParam(0, 5);
}

void TWipeRipple::SetParam(int32_t index, int32_t value) {
  TCustomWipe::SetParam(index, value);
  if (index != 0) return;
  const int32_t q = int32_t(Wave.size() / 4);
  int64_t wave_max = 0;
  for (size_t n = 0; n < Wave.size(); ++n) {
    Wave[n] = q < 1 ? 0 : Clamp32(int64_t(int32_t(n) % q) * value / q);
    wave_max = std::max(wave_max, std::abs(int64_t(Wave[n])));
  }
  padded_wave_ = Wave;
  padded_wave_.resize(Wave.size() + 8, 0);
  const int32_t dist_max = DistMap.empty() ? 0 : *std::max_element(DistMap.begin(), DistMap.end());
  displaced_max_ = wave_max + dist_max;
}

int32_t TWipeRipple::Reach() const { return RoundEven(std::hypot(double(hh_), double(hw_))) + int32_t(Wave.size()); }

bool TWipeRipple::Step() {
  if (BeginStep()) return true;
  const int32_t t = int32_t(int64_t(Position) * Reach() / Length);
  const TCommon c = TCommon::Of(*this, width_, height_);
  if (c.Empty()) return false;
  const TRippleGeometry g{width_, height_, hw_, hh_, qw_, qh_};
  const bool clip = c.w != width_ || c.h != height_;
  const int32_t* lo = block_lo_.data();
  const int32_t* hi = block_hi_.data();
  if (const int32_t bytes = DirectBytes(Dest, OldLayer, NewLayer)) {
    draw::TDrawScope scope(Dest, bytes == 2 ? pixels::TFormat::P565 : pixels::TFormat::P32, &OldLayer, &NewLayer);
    if (!scope.Ok()) return false;
    const TDirectAccess<2> a2{scope.dst, scope.src, scope.mask};
    const TDirectAccess<4> a4{scope.dst, scope.src, scope.mask};
    if (clip) {
      bytes == 2 ? RippleQuarters<TDirectAccess<2>, true>(a2, g, c, *this, lo, hi, t)
                 : RippleQuarters<TDirectAccess<4>, true>(a4, g, c, *this, lo, hi, t);
      return false;
    }
    // The vector rows where their products and byte offsets stay within 32 bits (and, at 16
    // bits, the new layer's rows start on 32-bit words).
    const int64_t span = std::abs(int64_t(scope.mask.pitch)) * height_ + int64_t(width_) * bytes;
    const bool words = (reinterpret_cast<uintptr_t>(scope.mask.base) | uintptr_t(scope.mask.pitch)) % 4 == 0;
    const bool vectors = ActiveSimdLevel() == TSimdLevel::Avx2 && displaced_max_ < 32768 &&
                         span < (int64_t(1) << 31) && words;
    const TRippleVector vector{DistMap.data(), CosMap.data(), SinMap.data(), padded_wave_.data(),
                               int32_t(Wave.size()) - 1, t, scope.dst, scope.src, scope.mask, g};
    bytes == 2 ? RippleQuarters<TDirectAccess<2>, false>(a2, g, c, *this, lo, hi, t, vectors ? &vector : nullptr)
               : RippleQuarters<TDirectAccess<4>, false>(a4, g, c, *this, lo, hi, t, vectors ? &vector : nullptr);
    return false;
  }
  RippleQuarters<TPixelAccess, true>(TPixelAccess{&Dest, &OldLayer, &NewLayer}, g, c, *this, lo, hi, t);
  return false;
}

// ---- Crack ----

bool TWipeCrackDraw::Draw(int64_t t) {
  TWipeCrack& w = *Wipe;
  const int64_t p0 = w.Params[0];
  const int64_t left = p0 * Col, top = p0 * Row;
  int64_t x = left, y = top;
  bool gone = false;
  if (t >= Delay) {
    const int64_t e = std::min(t - Delay, kMaxChipTime);
    x = left + e * SpeedX / 100;
    y = top + ChipRise(e);
    gone = y >= w.Dest.Height();
  }
  // The cell, cut to the surface's right and bottom edges.
  const TRect src{Clamp32(left), Clamp32(top), Clamp32(std::min<int64_t>(left + p0, w.Dest.Width())),
                  Clamp32(std::min<int64_t>(top + p0, w.Dest.Height()))};
  w.Dest.Draw(Clamp32(x), Clamp32(y), w.OldLayer, src, false, false, false);
  return gone;
}

TWipeCrack::TWipeCrack(const TWipeEnv& env, TCustomDIBX& dest, TCustomDIBX& old_layer, TCustomDIBX& new_layer)
    : TCustomWipe(env, dest, old_layer, new_layer), own_state_(kCrackSeed) {}

TWipeCrack::~TWipeCrack() = default;

uint32_t TWipeCrack::Random(uint32_t range) {
  if (range == 0) return 0;
  if (Env().random) return Env().random(range) % range;
  // Uniform without bias: draws in the last incomplete multiple of the range are drawn again.
  const uint32_t limit = uint32_t(-range) % range;
  for (;;) {
    const uint32_t v = uint32_t(SplitMix(own_state_) >> 32);
    if (v >= limit) return v % range;
  }
}

void TWipeCrack::SetParam(int32_t index, int32_t value) {
  if (index == 1) {
    Params[1] = std::max(value, 0);
    const int64_t p1 = Params[1];
    TotalDelay = Clamp32(std::max<int64_t>(int64_t(Pieces.size()) - 1, 0) * p1);
    for (size_t k = 0; k < Pieces.size(); ++k) {
      // A chip that has fallen off is gone for good.
      if (Pieces[k]) Pieces[k]->Delay = Clamp32(p1 * int64_t(k));
    }
    return;
  }
  if (index != 0) return;
  Pieces.clear();
  Params[0] = value < 17 ? 16 : value;
  const int64_t p0 = Params[0], p1 = Params[1];
  const int64_t w = std::max(0, Dest.Width()), h = std::max(0, Dest.Height());
  const int64_t cols = (w + p0 - 1) / p0, rows = (h + p0 - 1) / p0;
  // The first time at which a chip leaving the top row is below the bottom edge.
  int64_t e = 0;
  while (h > ChipRise(e)) e = std::max<int64_t>(e + 1, 300);
  FallTime = Clamp32(e);
  const int64_t count = cols * rows;
  std::vector<int32_t> cells(static_cast<size_t>(count));
  for (int64_t i = 0; i < count; ++i) cells[size_t(i)] = int32_t(i);
  Pieces.reserve(size_t(count));
  for (int64_t k = 0; k < count; ++k) {
    // The chip's cell first, then its speed.
    const size_t pick = Random(uint32_t(cells.size()));
    auto chip = std::make_unique<TWipeCrackDraw>();
    chip->Wipe = this;
    chip->Delay = Clamp32(p1 * k);
    chip->Col = int32_t(cells[pick] % cols);
    chip->Row = int32_t(cells[pick] / cols);
    chip->SpeedX = int32_t(Random(200)) - 100;
    cells.erase(cells.begin() + ptrdiff_t(pick));
    Pieces.push_back(std::move(chip));
  }
  TotalDelay = Clamp32(std::max<int64_t>(count - 1, 0) * p1);
}

bool TWipeCrack::Step() {
  if (BeginStep()) return true;
  const int64_t t = (int64_t(FallTime) + TotalDelay) * Position / Length;
  ClipWhole();
  Dest.Assign(NewLayer);
  // Chips still waiting first, in place; then the moving ones, the last started drawn first.
  for (const auto& chip : Pieces) {
    if (chip && t < chip->Delay) chip->Draw(t);
  }
  for (size_t k = Pieces.size(); k-- > 0;) {
    auto& chip = Pieces[k];
    if (chip && t >= chip->Delay && chip->Draw(t)) chip.reset();
  }
  return false;
}

// ---- Maker ----

std::unique_ptr<TCustomWipe> MakeRingWipe(int32_t kind, const TWipeEnv& env, TCustomDIBX& dest, TCustomDIBX& old_layer,
                                          TCustomDIBX& new_layer) {
  switch (kind) {
    case WP_SPOT: return std::make_unique<TWipeSpot>(env, dest, old_layer, new_layer);
    case WP_RIPPLE: return std::make_unique<TWipeRipple>(env, dest, old_layer, new_layer);
    case WP_CRACK: return std::make_unique<TWipeCrack>(env, dest, old_layer, new_layer);
    default: return nullptr;
  }
}

}  // namespace kova
