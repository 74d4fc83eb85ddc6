// The transitions ordered by a grey picture, the mask picture named by the transition's mask
// name: bright parts change first, dark parts last (the other way round when reversed). MASKFADE
// fades each pixel from the old to the new picture at its own moment; MASKWHITE and MASKBLACK
// brighten (darken) each pixel to white (black), switch pictures at the peak and clear again.
//
// The mask picture is read once, in Prepare, through the game's pictures (TWipeEnv): its first
// frame, made negative when reversed, repeated across and down the destination, each colour taken
// as the grey round((r + g + b) / 3). Without a picture of that name every pixel behaves as white
// (MASKFADE is then a plain fade over the first half, the others a plain flash); a picture that
// cannot be read raises the picture reader's error from Prepare, and the transition then runs as
// without one.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "motion/wipe_mask.h"

namespace kova {

// Per destination pixel, row by row: the mask picture's grey level g at that pixel, less 255
// (-255 black .. 0 white); all 0 when there is no picture. Raises what the pictures and the
// picture reader raise.
void ReadWipeLevelMap(const TWipeEnv& env, const std::string& mask_name, bool reverse, int32_t width,
                      int32_t height, std::vector<int32_t>& level_map);

// MASKFADE: mask value clamp(pos x 512 div len + g - 256, 0, 255).
class TWipeShadow : public TWipeMask {
 public:
  using TWipeMask::TWipeMask;
  void Prepare() override;
  bool UpdateMask() override;

  std::vector<int32_t> LevelMap;
  // 0 below 256, i - 256 up to 511, 255 above.
  std::array<uint8_t, 768> Ramp{};
};

// MASKWHITE: the old pixel brightens by k = clamp(pos x 768 div len + g - 256, 0, 511) up to
// white, then the new pixel clears from white, each channel saturating at its full value.
class TWipeShadowWhite : public TCustomWipe {
 public:
  using TCustomWipe::TCustomWipe;
  // The level map, the ramp and the grey pixels of Dest's format.
  void Prepare() override;
  // Nothing is drawn until Prepare has run for Dest's current size.
  bool Step() override;

  std::vector<int32_t> LevelMap;
  // 0 below 256, i - 256 up to 767, 511 above.
  std::array<uint16_t, 1024> Ramp{};
  // Grey k as a pixel of Dest's format.
  std::array<uint32_t, 256> Grey{};

 protected:
  void Compose(bool darken);
};

// MASKBLACK: as MASKWHITE through black, each channel stopping at 0.
class TWipeShadowBlack : public TWipeShadowWhite {
 public:
  using TWipeShadowWhite::TWipeShadowWhite;
  bool Step() override;
};

}  // namespace kova
