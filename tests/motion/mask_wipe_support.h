// The surfaces of the mask transitions' tests: a destination and two layers filled with patterns
// of raw pixel values, and pixel snapshots to compare.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/vocabulary.h"
#include "graphics/dibx.h"
#include "motion/wipe.h"
#include "motion/wipe_factory.h"

namespace kova::test {

// Every bit a pixel of this depth holds (the top byte of 32-bit pixels too).
inline uint32_t PixelBits(int32_t bits) {
  switch (bits) {
    case 8: return 0xFF;
    case 15: return 0x7FFF;
    case 16: return 0xFFFF;
    case 24: return 0xFFFFFF;
    default: return 0xFFFFFFFF;
  }
}

// A pattern of pixel values that differs between seeds; where `equal_every` divides x + y the
// pixel is that of seed 0, so that two layers share some pixels.
inline void FillPattern(TCustomDIBX& s, uint32_t seed, int32_t equal_every = 0) {
  const uint32_t bits = PixelBits(s.BitCount());
  for (int32_t y = 0; y < s.Height(); ++y) {
    for (int32_t x = 0; x < s.Width(); ++x) {
      const uint32_t k = equal_every > 0 && (x + y) % equal_every == 0 ? 0 : seed;
      uint32_t v = uint32_t(x) * 0x9E3779B1u ^ uint32_t(y) * 0x85EBCA77u ^ (k + 1) * 0xC2B2AE3Du;
      v ^= v >> 15;
      v *= 0x2C1B3C6Du;
      v ^= v >> 12;
      s.SetPixel(x, y, v & bits);
    }
  }
}

inline std::vector<uint32_t> Pixels(const TCustomDIBX& s) {
  std::vector<uint32_t> out;
  for (int32_t y = 0; y < s.Height(); ++y)
    for (int32_t x = 0; x < s.Width(); ++x) out.push_back(s.GetPixel(x, y));
  return out;
}

// A destination and its two layers.
struct TWipeSurfaces {
  TWipeSurfaces(int32_t w, int32_t h, int32_t bits) : TWipeSurfaces(w, h, w, h, w, h, bits) {}
  TWipeSurfaces(int32_t w, int32_t h, int32_t ow, int32_t oh, int32_t nw, int32_t nh, int32_t bits) {
    dest.SetSize(w, h, bits);
    old_layer.SetSize(ow, oh, bits);
    new_layer.SetSize(nw, nh, bits);
    FillPattern(dest, 7);
    FillPattern(old_layer, 1, 5);
    FillPattern(new_layer, 2, 5);
  }
  std::unique_ptr<TCustomWipe> Make(int32_t kind, const TWipeEnv& env = TWipeEnv{}) {
    return CreateWipe(kind, env, dest, old_layer, new_layer);
  }
  TDIBX dest, old_layer, new_layer;
};

// The kinds built on the 8-bit mask, and all kinds of this family.
inline const std::vector<int32_t>& MaskKinds() {
  static const std::vector<int32_t> kinds = {WP_BLINDH, WP_BLINDV, WP_CURTAINH, WP_CURTAINV,  WP_GRID,
                                             WP_GRIDH,  WP_GRIDV,  WP_DITHER,   WP_CLOCKHAND, WP_MASKFADE};
  return kinds;
}
inline std::vector<int32_t> AllMaskFamilyKinds() {
  std::vector<int32_t> kinds = MaskKinds();
  kinds.push_back(WP_MASKWHITE);
  kinds.push_back(WP_MASKBLACK);
  return kinds;
}

// Sets up a transition as its drivers do: length, reverse, position 0, Prepare.
inline void Configure(TCustomWipe& w, int32_t length, bool reverse) {
  w.SetLength(length);
  w.SetReverse(reverse);
  w.SetPosition(0);
  w.Prepare();
}

}  // namespace kova::test
