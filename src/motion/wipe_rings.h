// The ring and piece transitions: a ring of light passing over the screen that switches the
// pictures at its crest (WP_SPOT), a ripple spreading from the centre with the new picture
// displaced inside it (WP_RIPPLE), and the old picture breaking into square chips that jump and
// fall away (WP_CRACK).
//
// Spot and ripple write pixel memory directly at 15, 16 and 32 bits (every layer of the
// destination's depth), and go through GetPixel/SetPixel otherwise. Layers of another size than
// the destination, or a destination that changed size since the tables were built, are clipped
// to the size all of them share: nothing outside any surface is read or written.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "motion/wipe.h"

namespace kova {

// The pixel values of the grey colours (k, k, k), k = 0..255, in a surface's own format (its
// ColorToPixel): the 16-bit table at 15 and 16 bits, the 32-bit one otherwise.
class TWipeGreys {
 public:
  // Rebuilds the table when the surface's depth differs from the one it was built for.
  const std::array<uint32_t, 256>& For(const TCustomDIBX& surface);
  // The table holds the plain greys of the surface's channel masks (each channel the top bits of
  // k), which the vector rows compute instead of looking them up.
  bool Plain() const { return plain_; }

 private:
  std::array<uint32_t, 256> values_{};
  std::array<uint32_t, 3> masks_{};
  int32_t bits_ = -1;
  bool plain_ = false;
};

// WP_SPOT: a ring 512 distance units wide runs outward from the centre (inward from the corners
// when reversed). On the ring the old picture brightens to white, the new one takes over at full
// white and clears again.
class TWipeSpot : public TCustomWipe {
 public:
  // The distances are built here already (not reversed), so a step without SetReverse is safe.
  TWipeSpot(const TWipeEnv& env, TCustomDIBX& dest, TCustomDIBX& old_layer, TCustomDIBX& new_layer);

  // Rebuilds the distances: from the centre, or from the corners inward when reversed.
  void SetReverse(bool reverse) override;
  bool Step() override;

  // Per pixel of the destination (at the size it had when built), row by row.
  std::vector<int32_t> DistMap;
  // The ring position at which it has passed every pixel.
  int32_t Radius = 0;

 private:
  void BuildMap();

  int32_t map_width_ = 0;
  int32_t map_height_ = 0;
  // The least and greatest distance of each block of a row's pixels.
  std::vector<int32_t> block_lo_;
  std::vector<int32_t> block_hi_;
  TWipeGreys greys_;
};

// WP_RIPPLE: a ring spreads from the centre; beyond it the old picture, behind it the new one, and
// on it the new picture displaced outward by the saw-tooth wave (parameter 0 the amplitude in
// pixels). The tables hold one quarter of the screen, mirrored onto the other three.
class TWipeRipple : public TCustomWipe {
 public:
  TWipeRipple(const TWipeEnv& env, TCustomDIBX& dest, TCustomDIBX& old_layer, TCustomDIBX& new_layer);

  // Parameter 0 rebuilds the wave with that amplitude.
  void SetParam(int32_t index, int32_t value) override;
  bool Step() override;

  // The ring position at which it has passed every pixel: the half diagonal plus the wave's
  // length.
  int32_t Reach() const;

  // The quarter: QuarterWidth() x QuarterHeight() entries, row by row, for the pixels left of and
  // above the centre, with the middle column and row of an odd size included (written by the same
  // rule as the rest).
  std::vector<uint16_t> DistMap;
  // Cosine and sine x 65536 of the direction from the centre.
  std::vector<int32_t> CosMap;
  std::vector<int32_t> SinMap;
  // The ring's displacement profile, min(W div 2, H div 2) x 2 div 3 entries: four teeth rising
  // from 0 to just under the amplitude. All 0 when there are fewer than 4 entries (a destination
  // below 12 pixels: no displacement).
  std::vector<int32_t> Wave;

  int32_t QuarterWidth() const { return qw_; }
  int32_t QuarterHeight() const { return qh_; }

 private:
  int32_t width_ = 0;   // the destination's size the tables were built for
  int32_t height_ = 0;
  int32_t hw_ = 0;      // width div 2, height div 2: the centre
  int32_t hh_ = 0;
  int32_t qw_ = 0;      // (width + 1) div 2, (height + 1) div 2: the quarter with the middle lines
  int32_t qh_ = 0;
  // The least and greatest distance of each block of a quarter row's entries.
  std::vector<int32_t> block_lo_;
  std::vector<int32_t> block_hi_;
  // The greatest displaced radius (distance plus wave) in size.
  int64_t displaced_max_ = 0;
  // The wave with 8 entries of 0 after it, for the vector rows' reads of eight at a time.
  std::vector<int32_t> padded_wave_;
};

class TWipeCrack;

// One chip of WP_CRACK: the cell (Col, Row) of the old picture, starting to move at Delay.
class TWipeCrackDraw {
 public:
  // Draws the chip for time t (in place before Delay, then rising, back at its place 300 units
  // after Delay, then falling and drifting sideways); true when it has left the screen.
  bool Draw(int64_t t);

  TWipeCrack* Wipe = nullptr;
  int32_t Col = 0;
  int32_t Row = 0;
  int32_t Delay = 0;
  int32_t SpeedX = 0;  // -100..99: 1/100 pixel per time unit
};

// WP_CRACK: parameter 0 the chip size in pixels (below 17: 16), parameter 1 the delay between two
// chips' starts (below 0: 0). The chips' order and sideways speeds come from the environment's
// uniform draw, or from a generator of the transition's own with a fixed seed.
class TWipeCrack : public TCustomWipe {
 public:
  TWipeCrack(const TWipeEnv& env, TCustomDIBX& dest, TCustomDIBX& old_layer, TCustomDIBX& new_layer);
  ~TWipeCrack() override;

  // Parameter 0 makes the chips anew (in a random order, with random speeds); parameter 1 sets
  // their delays.
  void SetParam(int32_t index, int32_t value) override;
  bool Step() override;

  // The chips in start order; an entry is empty once its chip has fallen off.
  std::vector<std::unique_ptr<TWipeCrackDraw>> Pieces;
  // The time a chip needs to leave the screen from the top row.
  int32_t FallTime = 0;
  // The start delay of the last chip.
  int32_t TotalDelay = 0;

 private:
  friend class TWipeCrackDraw;
  // A uniform draw in 0 .. range - 1.
  uint32_t Random(uint32_t range);

  uint64_t own_state_;
};

}  // namespace kova
