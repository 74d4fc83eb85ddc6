// The transitions that move, stretch, rotate or squeeze whole pictures or lines of them: scrolls,
// bamboo blinds, twists, the old picture shrinking, the new one growing, the zoom into a point and
// the mosaic.
//
// Each follows the common frame of TCustomWipe::Step (the whole of Dest is marked changed, nothing
// is drawn once the position reaches the length) and draws with the surfaces' own operations, so
// layers of another size than Dest are cut to what lies inside both.
#pragma once

#include <cstdint>
#include <memory>

#include "motion/wipe.h"

namespace kova {

class TDIBX;

// The new picture pushes the old one out: from the right (reversed: from the left).
class TWipeScrollH : public TCustomWipe {
 public:
  using TCustomWipe::TCustomWipe;
  bool Step() override;
};

// As TWipeScrollH upwards: the new picture comes from below (reversed: from above).
class TWipeScrollV : public TCustomWipe {
 public:
  using TCustomWipe::TCustomWipe;
  bool Step() override;
};

// A smear of one column runs across the old picture to the far edge, then back across the new one
// (c = (2W - 1) x pos div len, folded back at W). Reversed: from the right edge.
class TWipeSudareH : public TCustomWipe {
 public:
  using TCustomWipe::TCustomWipe;
  bool Step() override;
};

// As TWipeSudareH with rows, from the top (reversed: from the bottom).
class TWipeSudareV : public TCustomWipe {
 public:
  using TCustomWipe::TCustomWipe;
  bool Step() override;
};

// Each row turns like a card about the vertical centre line, the turn travelling down the screen
// (reversed: up): row y's angle is pos x 3 pi / 2 / len - y / H x pi / 2, drawn while in 0..pi.
class TWipeTwistH : public TCustomWipe {
 public:
  using TCustomWipe::TCustomWipe;
  bool Step() override;
};

// As TWipeTwistH with columns about the horizontal centre line, travelling to the right
// (reversed: to the left); columns of equal height are drawn together.
class TWipeTwistV : public TCustomWipe {
 public:
  using TCustomWipe::TCustomWipe;
  bool Step() override;
};

// The old picture shrinks about the centre and fades out over the new one, turning by parameter 0
// (in 1/256 of a turn) over the whole transition (reversed: the other way).
class TWipeSmall : public TCustomWipe {
 public:
  using TCustomWipe::TCustomWipe;
  bool Step() override;
};

// The new picture grows from the centre and fades in, turning back to angle 0 from parameter 0.
class TWipeBig : public TCustomWipe {
 public:
  using TCustomWipe::TCustomWipe;
  bool Step() override;
};

// The old picture is magnified toward the point (parameter 0, parameter 1) until one pixel fills
// the screen at the middle; the new one then comes back from that magnification to full view.
class TWipeZoomin : public TCustomWipe {
 public:
  using TCustomWipe::TCustomWipe;
  bool Step() override;
};

// The pictures shrunk into a work surface and enlarged back, showing blocks: from blocks of about
// 4 pixels to about 42 at the middle and back, the new picture blended in around the middle.
class TWipeMosaic : public TCustomWipe {
 public:
  TWipeMosaic(const TWipeEnv& env, TCustomDIBX& dest, TCustomDIBX& old_layer, TCustomDIBX& new_layer);
  ~TWipeMosaic() override;
  bool Step() override;

  // The small picture: Dest's size and depth.
  TDIBX& Work() { return *work_; }

  // The scale (in 1/256 of a quarter of Dest) and the new picture's blend level (-1: not drawn;
  // 256: drawn alone) at v = pos x 1023 div len (0..1022).
  static int32_t ScaleAt(int32_t v);
  static int32_t NewLevelAt(int32_t v);

 private:
  std::unique_ptr<TDIBX> work_;
};

}  // namespace kova
