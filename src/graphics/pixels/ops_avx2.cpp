// The 32-bit row routines with AVX2 (eight pixels per vector), and the 16-bit ones (sixteen);
// compiled with -mavx2 and used only when the processor has AVX2.
#include <immintrin.h>

#include <cstring>
#include <type_traits>

#include "graphics/pixels/formats.h"
#include "graphics/pixels/ops.h"
#include "graphics/pixels/ops_reference.h"

namespace kova::pixels {
namespace avx2 {

struct V {
  using T = __m256i;
  static constexpr int32_t N = 8;
  static T load(const uint32_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
  static void store(uint32_t* p, T v) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), v); }
  static T set1(uint32_t v) { return _mm256_set1_epi32(int32_t(v)); }
  static T set1_16(uint16_t v) { return _mm256_set1_epi16(int16_t(v)); }
  static T zero() { return _mm256_setzero_si256(); }
  static T rev(T v) { return _mm256_permutevar8x32_epi32(v, _mm256_setr_epi32(7, 6, 5, 4, 3, 2, 1, 0)); }
  static T weights(const uint8_t* m) {
    const T v = _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(m)));
    const T spread = _mm256_setr_epi8(0, 0, 0, 0, 4, 4, 4, 4, 8, 8, 8, 8, 12, 12, 12, 12,
                                      0, 0, 0, 0, 4, 4, 4, 4, 8, 8, 8, 8, 12, 12, 12, 12);
    return _mm256_shuffle_epi8(v, spread);
  }
  static T lo8(T v) { return _mm256_unpacklo_epi8(v, _mm256_setzero_si256()); }
  static T hi8(T v) { return _mm256_unpackhi_epi8(v, _mm256_setzero_si256()); }
  static T pack16(T lo, T hi) { return _mm256_packus_epi16(lo, hi); }
  static T mul16(T a, T b) { return _mm256_mullo_epi16(a, b); }
  static T add16(T a, T b) { return _mm256_add_epi16(a, b); }
  static T sub16(T a, T b) { return _mm256_sub_epi16(a, b); }
  static T srl8(T a) { return _mm256_srli_epi16(a, 8); }
  static T sll8(T a) { return _mm256_slli_epi16(a, 8); }
  static T cmpeq32(T a, T b) { return _mm256_cmpeq_epi32(a, b); }
  static T and_(T a, T b) { return _mm256_and_si256(a, b); }
  static T or_(T a, T b) { return _mm256_or_si256(a, b); }
  static T adds8(T a, T b) { return _mm256_adds_epu8(a, b); }
  static T subs8(T a, T b) { return _mm256_subs_epu8(a, b); }
  static bool all_ones(T m) { return _mm256_movemask_epi8(m) == -1; }
  static bool all_zero(T m) { return _mm256_testz_si256(m, m) != 0; }
  static T select(T mask, T a, T b) { return _mm256_blendv_epi8(b, a, mask); }
  // The 16-bit rows'.
  static T loadp(const void* p) { return _mm256_loadu_si256(static_cast<const __m256i*>(p)); }
  static void storep(void* p, T v) { _mm256_storeu_si256(static_cast<__m256i*>(p), v); }
  static T rev16(T v) {
    const T r = _mm256_setr_epi8(14, 15, 12, 13, 10, 11, 8, 9, 6, 7, 4, 5, 2, 3, 0, 1,
                                 14, 15, 12, 13, 10, 11, 8, 9, 6, 7, 4, 5, 2, 3, 0, 1);
    return _mm256_permute4x64_epi64(_mm256_shuffle_epi8(v, r), 0x4E);
  }
  static T weights16(const uint8_t* m) {
    return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(m)));
  }
  static T cmpeq16(T a, T b) { return _mm256_cmpeq_epi16(a, b); }
  template <int K>
  static T srl16(T a) {
    return _mm256_srli_epi16(a, K);
  }
  static T adds16(T a, T b) { return _mm256_adds_epu16(a, b); }
  static T subs16(T a, T b) { return _mm256_subs_epu16(a, b); }
};

#include "graphics/pixels/ops_simd32.inl"
#include "graphics/pixels/ops_simd16.inl"

}  // namespace avx2

const TPixelOps& Avx2PixelOps() {
  static const TPixelOps table = [] {
    TPixelOps t = avx2::MakeTable();
    avx2::p16::SetFormats(t);
    return t;
  }();
  return table;
}

}  // namespace kova::pixels
