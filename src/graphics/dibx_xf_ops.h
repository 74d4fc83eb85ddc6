// Internal pieces shared by the scaled, rotated, tiled, table and reduced drawing operations:
// per-depth pixel access and channel arithmetic, the pixel operations (copy, blend, add and their
// keyed and masked forms), a lock guard for surfaces and the source/mask rectangle checks.
// Not part of the drawing surface's interface.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "core/types.h"
#include "graphics/dibx.h"

namespace kova::xf {

// ---- Pixel formats: load, store and per-channel arithmetic on raw values ----
// Blend(d, s, a) is ((d & M) * (255 - a) + (s & M) * a) >> 8 & M per channel; Add(d, s, l) is
// (d & M) + ((s & M) * l >> 8), saturated at M. Both are evaluated on the extracted channel
// values, which gives the same bits as the in-place masked form.

inline uint32_t AddChannel(uint32_t dc, uint32_t sc, uint32_t l, uint32_t max) {
  const uint32_t t = dc + ((sc * l) >> 8);
  return t > max ? max : t;
}

struct Fmt8 {
  static constexpr int kBytes = 1;
  static uint32_t Load(const uint8_t* p) { return *p; }
  static void Store(uint8_t* p, uint32_t v) { *p = uint8_t(v); }
  static uint32_t Blend(uint32_t d, uint32_t s, uint32_t a) {
    return (((d & 0xFF) * (255 - a) + (s & 0xFF) * a) >> 8);
  }
  static uint32_t Add(uint32_t d, uint32_t s, uint32_t l) { return AddChannel(d & 0xFF, s & 0xFF, l, 0xFF); }
};

template <int RShift, int RBits, int GShift, int GBits>
struct Fmt16 {
  static constexpr int kBytes = 2;
  static constexpr uint32_t kRMax = (1u << RBits) - 1, kGMax = (1u << GBits) - 1, kBMax = 31;
  static uint32_t Load(const uint8_t* p) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
  }
  static void Store(uint8_t* p, uint32_t v) {
    const uint16_t w = uint16_t(v);
    std::memcpy(p, &w, 2);
  }
  static uint32_t Blend(uint32_t d, uint32_t s, uint32_t a) {
    const uint32_t na = 255 - a;
    const uint32_t r = (((d >> RShift) & kRMax) * na + ((s >> RShift) & kRMax) * a) >> 8;
    const uint32_t g = (((d >> GShift) & kGMax) * na + ((s >> GShift) & kGMax) * a) >> 8;
    const uint32_t b = ((d & kBMax) * na + (s & kBMax) * a) >> 8;
    return (r << RShift) | (g << GShift) | b;
  }
  static uint32_t Add(uint32_t d, uint32_t s, uint32_t l) {
    const uint32_t r = AddChannel((d >> RShift) & kRMax, (s >> RShift) & kRMax, l, kRMax);
    const uint32_t g = AddChannel((d >> GShift) & kGMax, (s >> GShift) & kGMax, l, kGMax);
    const uint32_t b = AddChannel(d & kBMax, s & kBMax, l, kBMax);
    return (r << RShift) | (g << GShift) | b;
  }
};
using Fmt555 = Fmt16<10, 5, 5, 5>;
using Fmt565 = Fmt16<11, 5, 5, 6>;

// Three 8-bit channels in the low 24 bits (blue lowest); the top byte of the result is 0.
inline uint32_t Blend888(uint32_t d, uint32_t s, uint32_t a) {
  const uint32_t na = 255 - a;
  const uint32_t rb = (((d & 0xFF00FF) * na + (s & 0xFF00FF) * a) >> 8) & 0xFF00FF;
  const uint32_t g = (((d & 0xFF00) * na + (s & 0xFF00) * a) >> 8) & 0xFF00;
  return rb | g;
}
inline uint32_t Add888(uint32_t d, uint32_t s, uint32_t l) {
  return AddChannel(d & 0xFF, s & 0xFF, l, 0xFF) | (AddChannel((d >> 8) & 0xFF, (s >> 8) & 0xFF, l, 0xFF) << 8) |
         (AddChannel((d >> 16) & 0xFF, (s >> 16) & 0xFF, l, 0xFF) << 16);
}

struct Fmt24 {
  static constexpr int kBytes = 3;
  static uint32_t Load(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16; }
  static void Store(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
  }
  static uint32_t Blend(uint32_t d, uint32_t s, uint32_t a) { return Blend888(d, s, a); }
  static uint32_t Add(uint32_t d, uint32_t s, uint32_t l) { return Add888(d, s, l); }
};

// 32 bits with the per-pixel results: the top byte of a blended or added pixel is 0.
struct Fmt32 {
  static constexpr int kBytes = 4;
  static uint32_t Load(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
  }
  static void Store(uint8_t* p, uint32_t v) { std::memcpy(p, &v, 4); }
  static uint32_t Blend(uint32_t d, uint32_t s, uint32_t a) { return Blend888(d, s, a); }
  static uint32_t Add(uint32_t d, uint32_t s, uint32_t l) { return Add888(d, s, l); }
};

// 32 bits with the row results: the top byte goes through the arithmetic like a channel.
struct Fmt32Row : Fmt32 {
  static uint32_t Blend(uint32_t d, uint32_t s, uint32_t a) {
    const uint32_t na = 255 - a;
    const uint32_t ag = (((d >> 8) & 0xFF00FF) * na + ((s >> 8) & 0xFF00FF) * a) & 0xFF00FF00;
    return Blend888(d, s, a) | ag;
  }
  static uint32_t Add(uint32_t d, uint32_t s, uint32_t l) {
    return Add888(d, s, l) | (AddChannel(d >> 24, s >> 24, l, 0xFF) << 24);
  }
};

enum class TFormatId { None, P8, P555, P565, P24, P32, P32Row };

// The format of a destination: 15 and 16 bits by their depth, 32 bits by the result rule.
inline TFormatId FormatOf(const TCustomDIBX& s) {
  switch (s.BitCount()) {
    case 8: return TFormatId::P8;
    case 15: return TFormatId::P555;
    case 16: return s.GreenMask() == 0x3E0 ? TFormatId::P555 : TFormatId::P565;
    case 24: return TFormatId::P24;
    case 32: return DrawResultRule(32) == TDrawRule::Row ? TFormatId::P32Row : TFormatId::P32;
    default: return TFormatId::None;
  }
}

// Calls `visit` with a value of the format's type; nothing for TFormatId::None.
template <class Visitor>
void VisitFormat(TFormatId id, Visitor&& visit) {
  switch (id) {
    case TFormatId::P8: visit(Fmt8{}); break;
    case TFormatId::P555: visit(Fmt555{}); break;
    case TFormatId::P565: visit(Fmt565{}); break;
    case TFormatId::P24: visit(Fmt24{}); break;
    case TFormatId::P32: visit(Fmt32{}); break;
    case TFormatId::P32Row: visit(Fmt32Row{}); break;
    case TFormatId::None: break;
  }
}

// ---- Pixel operations: Put(p, s, m) combines source pixel s (mask value m) into the pixel at p ----

// A colour key as a raw value; a negative key matches nothing.
struct TKey {
  bool on = false;
  uint32_t value = 0;
  static TKey Of(bool transparent, int32_t key) { return TKey{transparent && key >= 0, uint32_t(key)}; }
  bool Matches(uint32_t s) const { return on && s == value; }
};

struct OpCopy {
  static constexpr bool kMask = false;
  template <class F>
  void Put(uint8_t* p, uint32_t s, uint32_t) const { F::Store(p, s); }
};

struct OpCopyKey {
  static constexpr bool kMask = false;
  uint32_t key;
  template <class F>
  void Put(uint8_t* p, uint32_t s, uint32_t) const {
    if (s != key) F::Store(p, s);
  }
};

// Blend with a fixed weight; skip_equal leaves a destination pixel that equals the source.
struct OpBlend {
  static constexpr bool kMask = false;
  TKey key;
  uint32_t alpha;
  bool skip_equal;
  template <class F>
  void Put(uint8_t* p, uint32_t s, uint32_t) const {
    if (key.Matches(s)) return;
    const uint32_t d = F::Load(p);
    if (skip_equal && d == s) return;
    F::Store(p, F::Blend(d, s, alpha));
  }
};

struct OpAdd {
  static constexpr bool kMask = false;
  TKey key;
  uint32_t level;
  bool skip_equal;
  template <class F>
  void Put(uint8_t* p, uint32_t s, uint32_t) const {
    if (key.Matches(s)) return;
    const uint32_t d = F::Load(p);
    if (skip_equal && d == s) return;
    F::Store(p, F::Add(d, s, level));
  }
};

// Weight a := m when `by_mask_alone`, else m * level >> 8; 0 skips. copy_full: a = 255 copies s.
struct OpMaskBlend {
  static constexpr bool kMask = true;
  uint32_t level;
  bool by_mask_alone;
  bool copy_full;
  bool skip_equal;
  template <class F>
  void Put(uint8_t* p, uint32_t s, uint32_t m) const {
    const uint32_t a = by_mask_alone ? m : (m * level) >> 8;
    if (a == 0) return;
    if (copy_full && a == 255) {
      F::Store(p, s);
      return;
    }
    const uint32_t d = F::Load(p);
    if (skip_equal && d == s) return;
    F::Store(p, F::Blend(d, s, a));
  }
};

struct OpMaskAdd {
  static constexpr bool kMask = true;
  uint32_t level;
  bool by_mask_alone;
  template <class F>
  void Put(uint8_t* p, uint32_t s, uint32_t m) const {
    const uint32_t a = by_mask_alone ? m : (m * level) >> 8;
    if (a == 0) return;
    F::Store(p, F::Add(F::Load(p), s, a));
  }
};

// ---- Surfaces ----

// Locks a surface at (0, 0) for the life of the guard; Base() is nullptr when it cannot be locked
// (and then nothing is unlocked).
class TSurfaceLock {
 public:
  explicit TSurfaceLock(TCustomDIBX& s) : surface_(s), base_(s.IsEmpty() ? nullptr : s.PixelAddress(0, 0)) {
    if (base_) pitch_ = s.Pitch();
  }
  ~TSurfaceLock() {
    if (base_) surface_.Unlock();
  }
  TSurfaceLock(const TSurfaceLock&) = delete;
  TSurfaceLock& operator=(const TSurfaceLock&) = delete;
  uint8_t* Base() const { return base_; }
  ptrdiff_t Pitch() const { return pitch_; }
  uint8_t* Row(int32_t y) const { return base_ + ptrdiff_t(y) * pitch_; }

 private:
  TCustomDIBX& surface_;
  uint8_t* base_;
  ptrdiff_t pitch_ = 0;
};

inline TRect CutRect(const TRect& r, const TRect& bounds) {
  return TRect{std::max(r.Left, bounds.Left), std::max(r.Top, bounds.Top), std::min(r.Right, bounds.Right),
               std::min(r.Bottom, bounds.Bottom)};
}
inline bool RectEmpty(const TRect& r) { return r.Left >= r.Right || r.Top >= r.Bottom; }

// Cuts an unscaled draw's source rectangle to the source's bounds, moving the destination point
// by what was cut at the end that lands there (the right and bottom ends on mirrored axes).
// False when nothing is left.
inline bool CutSourceRect(int32_t& x, int32_t& y, TRect& src, int32_t src_width, int32_t src_height,
                          bool mirror_x, bool mirror_y) {
  if (src.Left < 0) {
    if (!mirror_x) x += -src.Left;
    src.Left = 0;
  }
  if (src.Right > src_width) {
    if (mirror_x) x += src.Right - src_width;
    src.Right = src_width;
  }
  if (src.Top < 0) {
    if (!mirror_y) y += -src.Top;
    src.Top = 0;
  }
  if (src.Bottom > src_height) {
    if (mirror_y) y += src.Bottom - src_height;
    src.Bottom = src_height;
  }
  return !RectEmpty(src);
}

// An 8-bit mask that covers `area` of the source coordinates.
inline bool MaskCovers(const TCustomDIBX& mask, const TRect& area) {
  return mask.BitCount() == 8 && area.Left >= 0 && area.Top >= 0 && area.Right <= mask.Width() &&
         area.Bottom <= mask.Height();
}

// Sources and patterns must hold pixels of the destination's size.
inline bool SameBytesPerPixel(const TCustomDIBX& a, const TCustomDIBX& b) {
  return a.BytesPerPixel() == b.BytesPerPixel();
}

// Integer division rounding toward minus infinity and toward plus infinity (q != 0).
inline int64_t FloorDiv(int64_t p, int64_t q) {
  int64_t r = p / q;
  if ((p % q != 0) && ((p < 0) != (q < 0))) --r;
  return r;
}
inline int64_t CeilDiv(int64_t p, int64_t q) { return -FloorDiv(-p, q); }

}  // namespace kova::xf
