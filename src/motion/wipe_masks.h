// The transitions of procedural masks: blinds, curtains, grids, the random dither and the clock
// hand. Each rebuilds its mask (wipe_mask.h) when its step value changes.
//
// Parameters: p0 is the period or cell size in pixels (blinds, curtains, grids), p1 the softness,
// the number of steps over which a pixel goes from 0 to 255 (1: a hard edge, the mask then holds
// only 0 and 255). Dither and clock hand read neither.
#pragma once

#include <cstdint>
#include <vector>

#include "motion/wipe_mask.h"

namespace kova {

// Stripes p0 columns wide opening from their left edge (right edge when reversed), one column
// every 2 steps. One mask row.
class TWipeBlindH : public TWipeMask {
 public:
  using TWipeMask::TWipeMask;
  bool UpdateMask() override;
  int32_t MaskHeight() override { return 1; }
};

// Bands p0 rows high opening from their top (bottom when reversed). The mask is one band (no
// higher than Dest: rows below it would never show).
class TWipeBlindV : public TWipeMask {
 public:
  using TWipeMask::TWipeMask;
  bool UpdateMask() override;
  int32_t MaskHeight() override;
};

// The base of the curtains: both parameters at least 1.
class TWipeOrderHMask : public TWipeMask {
 public:
  using TWipeMask::TWipeMask;
  void SetParam(int32_t index, int32_t value) override;

 protected:
  int64_t Period() const { return Params[0] < 1 ? 1 : Params[0]; }
  int64_t Softness() const { return Params[1] < 1 ? 1 : Params[1]; }
  // Fills `count` mask levels of positions 0 .. count - 1 along the sweep (mirrored when
  // reversed); false when the step has not changed.
  bool UpdateOrder(int32_t count, uint8_t* levels);
};

class TWipeOrderVMask : public TWipeOrderHMask {
 public:
  using TWipeOrderHMask::TWipeOrderHMask;
};

// Segments of p0 columns, each opening from its left edge one column every 16 steps, each 16
// steps after the one before: a diagonal sweep. One mask row.
class TWipeCurtainH : public TWipeOrderHMask {
 public:
  using TWipeOrderHMask::TWipeOrderHMask;
  bool UpdateMask() override;
  int32_t MaskHeight() override { return 1; }

 private:
  std::vector<uint8_t> levels_;
};

// The same over the rows.
class TWipeCurtainV : public TWipeOrderVMask {
 public:
  using TWipeOrderVMask::TWipeOrderVMask;
  bool UpdateMask() override;

 private:
  std::vector<uint8_t> levels_;
};

// Cells of p0 x p0, each a square growing from its centre while its level rises, 4 steps apart
// by the distance of the cell from the top-left corner (bottom-right when reversed).
class TWipeGrid : public TWipeMask {
 public:
  using TWipeMask::TWipeMask;
  bool UpdateMask() override;

 protected:
  // The number of cells along the order, and the delay index of cell (j, k); cx and cy cells.
  virtual int64_t OrderCount(int64_t cx, int64_t cy) const;
  virtual int64_t DelayIndex(int64_t j, int64_t k, int64_t cx, int64_t cy) const;
};

// Cells in order from left to right (right to left when reversed). The mask is one cell row.
class TWipeGridH : public TWipeGrid {
 public:
  using TWipeGrid::TWipeGrid;
  int32_t MaskHeight() override;

 protected:
  int64_t OrderCount(int64_t cx, int64_t cy) const override;
  int64_t DelayIndex(int64_t j, int64_t k, int64_t cx, int64_t cy) const override;
};

// Cells in order from top to bottom (bottom to top when reversed).
class TWipeGridV : public TWipeGrid {
 public:
  using TWipeGrid::TWipeGrid;

 protected:
  int64_t OrderCount(int64_t cx, int64_t cy) const override;
  int64_t DelayIndex(int64_t j, int64_t k, int64_t cx, int64_t cy) const override;
};

// A 64 x 64 block repeated across the screen whose cells turn to the new picture in a fixed
// random order; level pos x 4096 div len of the 4096 cells are new.
class TWipeDither : public TWipeMask {
 public:
  static constexpr uint32_t kSeed = 12341;
  static constexpr int32_t kBlock = 64;

  using TWipeMask::TWipeMask;
  // The mask (W x 64), then the order of the cells.
  void Prepare() override;
  bool UpdateMask() override;
  int32_t MaskHeight() override { return kBlock; }

  // Cell i of the order, as row x 64 + column of the block.
  std::vector<int32_t> CellOrder;
};

// A hand sweeping clockwise from twelve o'clock (counter-clockwise when reversed) reveals the new
// picture.
class TWipeClockhand : public TWipeMask {
 public:
  TWipeClockhand(const TWipeEnv& env, TCustomDIBX& dest, TCustomDIBX& old_layer, TCustomDIBX& new_layer);
  bool UpdateMask() override;

  // The hand's length: the destination's diagonal, so that its tip is always off screen.
  double Radius = 0;
  // The angle of the last rebuild (radians, 0 up, growing clockwise).
  double LastAngle = 0;

 private:
  // Sets every mask pixel touched by the triangle (its interior and its edges) to 255.
  void FillTriangle(double ax, double ay, double bx, double by, double cx, double cy);
};

}  // namespace kova
