#include "platform/window/frame_pixels.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kova::plat {

TScreenRect ClipToFrame(const TFrameBuffer& frame, TScreenRect rect) {
  rect.left = std::max(rect.left, 0);
  rect.top = std::max(rect.top, 0);
  rect.right = std::min(rect.right, frame.width);
  rect.bottom = std::min(rect.bottom, frame.height);
  if (rect.IsEmpty()) return TScreenRect{};
  return rect;
}

namespace {

// One row of 16-bit pixels widened to 32 bits; kRedShift is 11 for 5-6-5 and 10 for 5-5-5.
template <int kRedShift>
void WidenRow(const uint8_t* src, uint32_t* dst, int32_t count) {
  int32_t x = 0;
#if defined(__SSE2__)
  const __m128i five = _mm_set1_epi16(0x1F);
  const __m128i green_mask = _mm_set1_epi16(kRedShift == 11 ? 0x3F : 0x1F);
  for (; x + 8 <= count; x += 8) {
    const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src + 2 * x));
    const __m128i r = _mm_and_si128(_mm_srli_epi16(p, kRedShift), five);
    const __m128i g = _mm_and_si128(_mm_srli_epi16(p, 5), green_mask);
    const __m128i b = _mm_and_si128(p, five);
    const __m128i r8 = _mm_or_si128(_mm_slli_epi16(r, 3), _mm_srli_epi16(r, 2));
    const __m128i g8 = kRedShift == 11 ? _mm_or_si128(_mm_slli_epi16(g, 2), _mm_srli_epi16(g, 4))
                                       : _mm_or_si128(_mm_slli_epi16(g, 3), _mm_srli_epi16(g, 2));
    const __m128i b8 = _mm_or_si128(_mm_slli_epi16(b, 3), _mm_srli_epi16(b, 2));
    const __m128i gb = _mm_or_si128(b8, _mm_slli_epi16(g8, 8));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + x), _mm_unpacklo_epi16(gb, r8));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst + x + 4), _mm_unpackhi_epi16(gb, r8));
  }
#endif
  for (; x < count; ++x) {
    uint16_t p;
    std::memcpy(&p, src + 2 * x, 2);
    dst[x] = kRedShift == 11 ? Widen565(p) : Widen555(p);
  }
}

template <int kRedShift>
void WidenRows(const TFrameBuffer& frame, const TScreenRect& rect, uint8_t* out, ptrdiff_t out_pitch) {
  for (int32_t y = rect.top; y < rect.bottom; ++y, out += out_pitch) {
    WidenRow<kRedShift>(frame.Row(y) + ptrdiff_t{rect.left} * 2, reinterpret_cast<uint32_t*>(out), rect.Width());
  }
}

}  // namespace

void ConvertFrameRect(const TFrameBuffer& frame, const TScreenRect& rect, uint8_t* out,
                      ptrdiff_t out_pitch) {
  if (rect.IsEmpty()) return;
  switch (frame.bits) {
    case 32: {
      const size_t bytes = size_t(rect.Width()) * 4;
      for (int32_t y = rect.top; y < rect.bottom; ++y, out += out_pitch) {
        std::memcpy(out, frame.Row(y) + ptrdiff_t{rect.left} * 4, bytes);
      }
      break;
    }
    case 16:
      WidenRows<11>(frame, rect, out, out_pitch);
      break;
    case 15:
      WidenRows<10>(frame, rect, out, out_pitch);
      break;
    default:
      break;
  }
}

}  // namespace kova::plat
