// Internal helpers of the drawing operations: lock brackets, raw pixel access by byte width, the
// per-depth dispatch and the common set-up of a blit (source cut, clip, mask check, locks).
#pragma once

#include <cstdint>
#include <cstring>

#include "graphics/dibx.h"
#include "graphics/kernels/pixel_ops.h"

namespace kova::raster {

// PixelAddress .. Unlock of one surface; nothing to unlock when the address was nil.
class TLock {
 public:
  TLock() = default;
  TLock(TCustomDIBX& surface, int32_t x, int32_t y) { Acquire(surface, x, y); }
  ~TLock() {
    if (p_) surface_->Unlock();
  }
  TLock(const TLock&) = delete;
  TLock& operator=(const TLock&) = delete;
  // Locks at (x, y); false when the surface gives no address.
  bool Acquire(TCustomDIBX& surface, int32_t x, int32_t y) {
    surface_ = &surface;
    p_ = surface.PixelAddress(x, y);
    return p_ != nullptr;
  }
  uint8_t* get() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  TCustomDIBX* surface_ = nullptr;
  uint8_t* p_ = nullptr;
};

template <int Bpp>
inline uint32_t Load(const uint8_t* p) {
  if constexpr (Bpp == 1) {
    return *p;
  } else if constexpr (Bpp == 2) {
    uint16_t v;
    std::memcpy(&v, p, 2);
    return v;
  } else if constexpr (Bpp == 3) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16;
  } else {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
  }
}

template <int Bpp>
inline void Store(uint8_t* p, uint32_t v) {
  if constexpr (Bpp == 1) {
    *p = uint8_t(v);
  } else if constexpr (Bpp == 2) {
    const uint16_t w = uint16_t(v);
    std::memcpy(p, &w, 2);
  } else if constexpr (Bpp == 3) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
  } else {
    std::memcpy(p, &v, 4);
  }
}

// Calls f.template operator()<Bpp, Channels>() for the depths drawing supports; others do nothing.
// 32 bits gets the three 8-bit channels here; callers pick the byte rows of the row rule themselves.
template <class F>
inline void ForDepth(int32_t bit_count, F&& f) {
  switch (bit_count) {
    case 8: f.template operator()<1, kernels::T888>(); break;
    case 15: f.template operator()<2, kernels::T555>(); break;
    case 16: f.template operator()<2, kernels::T565>(); break;
    case 24: f.template operator()<3, kernels::T888>(); break;
    case 32: f.template operator()<4, kernels::T888>(); break;
    default: break;
  }
}

inline bool Drawable(int32_t bit_count) {
  return bit_count == 8 || bit_count == 15 || bit_count == 16 || bit_count == 24 || bit_count == 32;
}

// A colour key as the zero-extended pixel values it matches: none for negative keys.
struct TKey {
  bool on = false;
  uint32_t value = 0;
  static TKey Of(int32_t key, bool use) { return TKey{use && key >= 0, uint32_t(key)}; }
  bool Match(uint32_t pixel) const { return on && pixel == value; }
};

// The rows of one blit after set-up. The source (and mask) pointers are at the first pixel to
// read; with `rev` they walk backwards along the row.
struct TBlitJob {
  uint8_t* dst = nullptr;
  ptrdiff_t dst_pitch = 0;
  const uint8_t* src = nullptr;
  ptrdiff_t src_pitch = 0;
  const uint8_t* mask = nullptr;
  ptrdiff_t mask_pitch = 0;
  bool rev = false;
  int32_t width = 0;
  int32_t height = 0;
  int32_t bit_count = 0;

  // Walks the rows bottom to top instead, which for bottom-up storage visits memory in rising
  // addresses (the hardware prefetchers' best case). Results are the same unless source or mask
  // is the destination itself, where the top-to-bottom order stays.
  void RisingAddresses() {
    if (dst_pitch >= 0 || height < 2) return;
    const ptrdiff_t last = height - 1;
    dst += last * dst_pitch;
    src += last * src_pitch;
    dst_pitch = -dst_pitch;
    src_pitch = -src_pitch;
    if (mask) {
      mask += last * mask_pitch;
      mask_pitch = -mask_pitch;
    }
  }
};

// Locks of a blit, released mask first, then source, then destination.
struct TBlitLocks {
  TLock dst, src, mask;
  ~TBlitLocks() = default;
};

// Cuts `src` to the source's bounds, moving (x, y) so the remaining pixels land where they would
// have (a mirrored axis moves the point when its far end is cut). False: nothing left.
bool CutToSource(const TCustomDIBX& source, TRect& src, int32_t& x, int32_t& y, bool mirror_x, bool mirror_y);

// The common set-up: level checks are the caller's. Source and destination of the same bytes
// per pixel and a drawable depth; an 8-bit mask covering the source pixels used. False: draw
// nothing (every lock taken has been released or is owned by `locks`).
bool SetUpBlit(TCustomDIBX& dst, int32_t x, int32_t y, TCustomDIBX& source, TRect src, bool mirror_x,
               bool mirror_y, TCustomDIBX* mask, TBlitLocks& locks, TBlitJob& job);

}  // namespace kova::raster
