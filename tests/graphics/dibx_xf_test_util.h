// Helpers of the scaled, rotated, tiled and proxy drawing tests: surfaces filled with
// reproducible noise, pixel dumps of any surface kind, and a memory surface that records the calls
// that reach it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/types.h"
#include "graphics/dibx.h"

namespace kova::test {

// The largest raw value of a depth (8, 15, 16, 24, 32 bits; the top byte of 32 stays 0).
inline uint32_t FullValue(int32_t bits) {
  switch (bits) {
    case 8: return 0xFF;
    case 15: return 0x7FFF;
    case 16: return 0xFFFF;
    default: return 0xFFFFFF;
  }
}

// Every pixel a pseudo-random value of the depth.
inline void FillNoise(TCustomDIBX& s, uint32_t seed) {
  uint32_t v = seed * 2654435761u + 12345;
  const uint32_t full = FullValue(s.BitCount());
  for (int32_t y = 0; y < s.Height(); ++y) {
    for (int32_t x = 0; x < s.Width(); ++x) {
      v = v * 1664525u + 1013904223u;
      s.SetPixel(x, y, (v >> 5) & full);
    }
  }
}

inline std::vector<uint32_t> Pixels(const TCustomDIBX& s) {
  std::vector<uint32_t> out;
  for (int32_t y = 0; y < s.Height(); ++y)
    for (int32_t x = 0; x < s.Width(); ++x) out.push_back(s.GetPixel(x, y));
  return out;
}

// A memory surface that records each call of the recorded operations (name, destination
// rectangle or point, source rectangle, level) and then draws as usual.
class TSpyDIBX : public TDIBX {
 public:
  struct TCall {
    std::string op;
    TRect dst;  // rectangle, or (x, y, x, y) for a point
    TRect src;
    int32_t level = 0;
    TRect clip;  // the clip rectangle at the call
  };
  std::vector<TCall> calls;

  void FillRect(const TRect& rect, uint32_t color) override {
    calls.push_back({"FillRect", rect, {}, 0, ClipRect});
    TDIBX::FillRect(rect, color);
  }
  void FillPattern(const TRect& rect, TCustomDIBX& pattern, int32_t ox, int32_t oy, bool mx, bool my) override {
    calls.push_back({"FillPattern", rect, TRect{ox, oy, ox, oy}, 0, ClipRect});
    TDIBX::FillPattern(rect, pattern, ox, oy, mx, my);
  }
  void Draw(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect, bool transparent, bool mx,
            bool my) override {
    calls.push_back({"Draw", TRect{x, y, x, y}, src_rect, 0, ClipRect});
    TDIBX::Draw(x, y, source, src_rect, transparent, mx, my);
  }
  void DrawAdd(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect, bool transparent, bool mx, bool my,
               int32_t level) override {
    calls.push_back({"DrawAdd", TRect{x, y, x, y}, src_rect, level, ClipRect});
    TDIBX::DrawAdd(x, y, source, src_rect, transparent, mx, my, level);
  }
  void StretchDraw(const TRect& dst_rect, TCustomDIBX& source, const TRect& src_rect, bool transparent, bool mx,
                   bool my, int32_t alpha) override {
    calls.push_back({"StretchDraw", dst_rect, src_rect, alpha, ClipRect});
    TDIBX::StretchDraw(dst_rect, source, src_rect, transparent, mx, my, alpha);
  }
  void StretchDrawAdd(const TRect& dst_rect, TCustomDIBX& source, const TRect& src_rect, bool transparent, bool mx,
                      bool my, int32_t level) override {
    calls.push_back({"StretchDrawAdd", dst_rect, src_rect, level, ClipRect});
    TDIBX::StretchDrawAdd(dst_rect, source, src_rect, transparent, mx, my, level);
  }
  void DrawRotate(int32_t x, int32_t y, int32_t sx, int32_t sy, TCustomDIBX& source, const TRect& src_rect,
                  int32_t px, int32_t py, int32_t angle, bool transparent, bool mx, bool my, int32_t level) override {
    calls.push_back({"DrawRotate", TRect{x, y, x, y}, src_rect, level, ClipRect});
    TDIBX::DrawRotate(x, y, sx, sy, source, src_rect, px, py, angle, transparent, mx, my, level);
  }
  void DrawTable(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect, bool transparent, bool mx,
                 bool my, int32_t level, std::span<const uint32_t> table) override {
    calls.push_back({"DrawTable", TRect{x, y, x, y}, src_rect, level, ClipRect});
    TDIBX::DrawTable(x, y, source, src_rect, transparent, mx, my, level, table);
  }
  void DrawMonoReduced(int32_t x, int32_t y, TCustomDIBX& source, const TRect& src_rect, uint32_t color, bool mx,
                       bool my, int32_t level, int32_t factor) override {
    calls.push_back({"DrawMonoReduced", TRect{x, y, x, y}, src_rect, level, ClipRect});
    TDIBX::DrawMonoReduced(x, y, source, src_rect, color, mx, my, level, factor);
  }
};

}  // namespace kova::test
