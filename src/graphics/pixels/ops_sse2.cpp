// The 32-bit row routines with SSE2 (four pixels per vector), and the 16-bit ones (eight).
#include <emmintrin.h>

#include <cstring>
#include <type_traits>

#include "graphics/pixels/formats.h"
#include "graphics/pixels/ops.h"
#include "graphics/pixels/ops_reference.h"

namespace kova::pixels {
namespace sse2 {

struct V {
  using T = __m128i;
  static constexpr int32_t N = 4;
  static T load(const uint32_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
  static void store(uint32_t* p, T v) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), v); }
  static T set1(uint32_t v) { return _mm_set1_epi32(int32_t(v)); }
  static T set1_16(uint16_t v) { return _mm_set1_epi16(int16_t(v)); }
  static T zero() { return _mm_setzero_si128(); }
  static T rev(T v) { return _mm_shuffle_epi32(v, 0x1B); }
  static T weights(const uint8_t* m) {
    int32_t bytes;
    std::memcpy(&bytes, m, 4);
    T v = _mm_cvtsi32_si128(bytes);
    v = _mm_unpacklo_epi8(v, v);
    return _mm_unpacklo_epi16(v, v);
  }
  static T lo8(T v) { return _mm_unpacklo_epi8(v, _mm_setzero_si128()); }
  static T hi8(T v) { return _mm_unpackhi_epi8(v, _mm_setzero_si128()); }
  static T pack16(T lo, T hi) { return _mm_packus_epi16(lo, hi); }
  static T mul16(T a, T b) { return _mm_mullo_epi16(a, b); }
  static T add16(T a, T b) { return _mm_add_epi16(a, b); }
  static T sub16(T a, T b) { return _mm_sub_epi16(a, b); }
  static T srl8(T a) { return _mm_srli_epi16(a, 8); }
  static T sll8(T a) { return _mm_slli_epi16(a, 8); }
  static T cmpeq32(T a, T b) { return _mm_cmpeq_epi32(a, b); }
  static T and_(T a, T b) { return _mm_and_si128(a, b); }
  static T or_(T a, T b) { return _mm_or_si128(a, b); }
  static T adds8(T a, T b) { return _mm_adds_epu8(a, b); }
  static T subs8(T a, T b) { return _mm_subs_epu8(a, b); }
  static bool all_ones(T m) { return _mm_movemask_epi8(m) == 0xFFFF; }
  static bool all_zero(T m) { return _mm_movemask_epi8(m) == 0; }
  static T select(T mask, T a, T b) { return _mm_or_si128(_mm_and_si128(mask, a), _mm_andnot_si128(mask, b)); }
  // The 16-bit rows'.
  static T loadp(const void* p) { return _mm_loadu_si128(static_cast<const __m128i*>(p)); }
  static void storep(void* p, T v) { _mm_storeu_si128(static_cast<__m128i*>(p), v); }
  static T rev16(T v) { return _mm_shuffle_epi32(_mm_shufflehi_epi16(_mm_shufflelo_epi16(v, 0x1B), 0x1B), 0x4E); }
  static T weights16(const uint8_t* m) {
    return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(m)), _mm_setzero_si128());
  }
  static T cmpeq16(T a, T b) { return _mm_cmpeq_epi16(a, b); }
  template <int K>
  static T srl16(T a) {
    return _mm_srli_epi16(a, K);
  }
  static T adds16(T a, T b) { return _mm_adds_epu16(a, b); }
  static T subs16(T a, T b) { return _mm_subs_epu16(a, b); }
};

#include "graphics/pixels/ops_simd32.inl"
#include "graphics/pixels/ops_simd16.inl"

}  // namespace sse2

const TPixelOps& Sse2PixelOps() {
  static const TPixelOps table = [] {
    TPixelOps t = sse2::MakeTable();
    sse2::p16::SetFormats(t);
    return t;
  }();
  return table;
}

}  // namespace kova::pixels
