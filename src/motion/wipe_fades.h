// The whole-picture transitions: the cross-fade, the passes through white and black, the white
// flash over the new picture, and the blurred passes through white and black.
//
// Each follows the common frame of TCustomWipe::Step (the whole of Dest is marked changed, nothing
// is drawn once the position reaches the length) and draws with the surfaces' own operations.
#pragma once

#include <cstdint>
#include <memory>

#include "motion/wipe.h"

namespace kova {

class TDIBX;

// The new picture blended over the old one at pos x 256 div len; with parameters (p0, p1) it also
// slides in from that offset to (0, 0).
class TWipeFade : public TCustomWipe {
 public:
  using TCustomWipe::TCustomWipe;
  bool Step() override;
};

// The old picture brightens to white over the first half (v = pos x 511 div len below 256, grey v
// added), then the new one is shown under grey 511 - v that clears.
class TWipeWhite : public TCustomWipe {
 public:
  using TCustomWipe::TCustomWipe;
  bool Step() override;
};

// As TWipeWhite with the grey subtracted: through black.
class TWipeBlack : public TCustomWipe {
 public:
  using TCustomWipe::TCustomWipe;
  bool Step() override;
};

// The new picture at once, under a white flash fading from grey 255 to 0.
class TWipeFlash : public TCustomWipe {
 public:
  using TCustomWipe::TCustomWipe;
  bool Step() override;
};

// The old picture blurs, turns white through its blurred copy, the blurred new picture comes out
// of white and sharpens (v = pos x 639 div len in four stretches: 0..255, 256..319, 320..383,
// 384..638). The two blurred copies are made once, here in the constructor, at the old layer's
// size and depth; a 16-bit (5-6-5) copy is blurred at 15 bits and brought back with the top green
// bit repeated as the lowest.
class TWipeBlurWhite : public TCustomWipe {
 public:
  TWipeBlurWhite(const TWipeEnv& env, TCustomDIBX& dest, TCustomDIBX& old_layer, TCustomDIBX& new_layer);
  ~TWipeBlurWhite() override;
  bool Step() override;

  // The blurred copies: each of the old layer's size and depth.
  TDIBX& BlurOld() { return *blur_old_; }
  TDIBX& BlurNew() { return *blur_new_; }
  // The blur's reach: min(Dest width, Dest height) div 20 (0: the copies are not blurred).
  int32_t BlurAmount() const { return amount_; }

 protected:
  // The white pass adds the grey, the black pass subtracts it.
  virtual bool SubtractsGrey() const { return false; }

 private:
  void ShowGrey(TCustomDIBX& picture, int32_t grey);

  std::unique_ptr<TDIBX> blur_old_;
  std::unique_ptr<TDIBX> blur_new_;
  int32_t amount_ = 0;
};

// As TWipeBlurWhite, through black.
class TWipeBlurBlack : public TWipeBlurWhite {
 public:
  using TWipeBlurWhite::TWipeBlurWhite;

 protected:
  bool SubtractsGrey() const override { return true; }
};

}  // namespace kova
