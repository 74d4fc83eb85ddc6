#include "platform/frame_pixels.h"

#include <algorithm>
#include <cstring>

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

template <uint32_t (*Widen)(uint16_t)>
void WidenRows(const TFrameBuffer& frame, const TScreenRect& rect, uint8_t* out, ptrdiff_t out_pitch) {
  const int32_t w = rect.Width();
  for (int32_t y = rect.top; y < rect.bottom; ++y, out += out_pitch) {
    const uint8_t* src = frame.Row(y) + ptrdiff_t{rect.left} * 2;
    uint32_t* dst = reinterpret_cast<uint32_t*>(out);
    for (int32_t x = 0; x < w; ++x) {
      uint16_t p;
      std::memcpy(&p, src + 2 * x, 2);
      dst[x] = Widen(p);
    }
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
      WidenRows<Widen565>(frame, rect, out, out_pitch);
      break;
    case 15:
      WidenRows<Widen555>(frame, rect, out, out_pitch);
      break;
    default:
      break;
  }
}

}  // namespace kova::plat
