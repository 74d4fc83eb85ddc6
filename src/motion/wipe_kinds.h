// The makers of each family of transitions (one file each); each answers nullptr for a kind that
// is not of its family. Used by CreateWipe only.
#pragma once

#include <cstdint>
#include <memory>

#include "motion/wipe.h"

namespace kova {

// Fades and colour flashes: WP_FADE, WP_WHITE, WP_BLACK, WP_FLASH, WP_BLURWHITE, WP_BLURBLACK.
std::unique_ptr<TCustomWipe> MakeFadeWipe(int32_t kind, const TWipeEnv& env, TCustomDIBX& dest,
                                          TCustomDIBX& old_layer, TCustomDIBX& new_layer);
// Mask transitions: WP_BLINDH, WP_BLINDV, WP_CURTAINH, WP_CURTAINV, WP_GRID, WP_GRIDH, WP_GRIDV,
// WP_DITHER, WP_CLOCKHAND.
std::unique_ptr<TCustomWipe> MakeMaskWipe(int32_t kind, const TWipeEnv& env, TCustomDIBX& dest,
                                          TCustomDIBX& old_layer, TCustomDIBX& new_layer);
// Sliding, scaling and twisting: WP_SCROLLH, WP_SCROLLV, WP_MOSAIC, WP_SUDAREH, WP_SUDAREV,
// WP_SMALL, WP_BIG, WP_TWISTH, WP_TWISTV, WP_ZOOMIN.
std::unique_ptr<TCustomWipe> MakeSlideWipe(int32_t kind, const TWipeEnv& env, TCustomDIBX& dest,
                                           TCustomDIBX& old_layer, TCustomDIBX& new_layer);
// Mask-image transitions: WP_MASKFADE, WP_MASKWHITE, WP_MASKBLACK.
std::unique_ptr<TCustomWipe> MakeImageWipe(int32_t kind, const TWipeEnv& env, TCustomDIBX& dest,
                                           TCustomDIBX& old_layer, TCustomDIBX& new_layer);
// Ring and piece transitions: WP_SPOT, WP_RIPPLE, WP_CRACK.
std::unique_ptr<TCustomWipe> MakeRingWipe(int32_t kind, const TWipeEnv& env, TCustomDIBX& dest,
                                          TCustomDIBX& old_layer, TCustomDIBX& new_layer);

}  // namespace kova
