#include "motion/wipe_factory.h"

#include "core/vocabulary.h"
#include "motion/wipe_kinds.h"

namespace kova {

const std::array<std::array<int32_t, 2>, 32>& WipeDefaultParams() {
  static const std::array<std::array<int32_t, 2>, 32> table = [] {
    std::array<std::array<int32_t, 2>, 32> t{};
    t[WP_BLINDH] = {20, 1};
    t[WP_BLINDV] = {20, 1};
    t[WP_CURTAINH] = {30, 1};
    t[WP_CURTAINV] = {30, 1};
    t[WP_GRID] = {80, 30};
    t[WP_GRIDH] = {80, 30};
    t[WP_GRIDV] = {80, 30};
    t[WP_RIPPLE] = {5, 0};
    t[WP_CRACK] = {64, 3};
    return t;
  }();
  return table;
}

namespace {

std::unique_ptr<TCustomWipe> MakeOfKind(int32_t kind, const TWipeEnv& env, TCustomDIBX& dest, TCustomDIBX& old_layer,
                                        TCustomDIBX& new_layer) {
  switch (kind) {
    case WP_FADE:
    case WP_WHITE:
    case WP_BLACK:
    case WP_FLASH:
    case WP_BLURWHITE:
    case WP_BLURBLACK:
      return MakeFadeWipe(kind, env, dest, old_layer, new_layer);
    case WP_BLINDH:
    case WP_BLINDV:
    case WP_CURTAINH:
    case WP_CURTAINV:
    case WP_GRID:
    case WP_GRIDH:
    case WP_GRIDV:
    case WP_DITHER:
    case WP_CLOCKHAND:
      return MakeMaskWipe(kind, env, dest, old_layer, new_layer);
    case WP_SCROLLH:
    case WP_SCROLLV:
    case WP_MOSAIC:
    case WP_SUDAREH:
    case WP_SUDAREV:
    case WP_SMALL:
    case WP_BIG:
    case WP_TWISTH:
    case WP_TWISTV:
    case WP_ZOOMIN:
      return MakeSlideWipe(kind, env, dest, old_layer, new_layer);
    case WP_MASKFADE:
    case WP_MASKWHITE:
    case WP_MASKBLACK:
      return MakeImageWipe(kind, env, dest, old_layer, new_layer);
    case WP_SPOT:
    case WP_RIPPLE:
    case WP_CRACK:
      return MakeRingWipe(kind, env, dest, old_layer, new_layer);
    default:
      return nullptr;
  }
}

}  // namespace

std::unique_ptr<TCustomWipe> CreateWipe(int32_t kind, const TWipeEnv& env, TCustomDIBX& dest, TCustomDIBX& old_layer,
                                        TCustomDIBX& new_layer) {
  if (kind <= WP_NONE || kind >= kWipeTypeCount) return nullptr;
  std::unique_ptr<TCustomWipe> wipe = MakeOfKind(kind, env, dest, old_layer, new_layer);
  if (!wipe) return nullptr;
  const auto& defaults = WipeDefaultParams()[size_t(kind)];
  wipe->SetParam(0, defaults[0]);
  wipe->SetParam(1, defaults[1]);
  return wipe;
}

}  // namespace kova
