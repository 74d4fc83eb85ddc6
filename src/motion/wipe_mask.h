// The base of the transitions that show the new picture through an 8-bit mask: 0 keeps the old
// layer, 255 shows the new one, values between blend the two. A kind rebuilds the mask
// (UpdateMask) only when its step value changes and says how many rows the mask has (MaskHeight);
// the mask is repeated down the destination every MaskHeight rows, and the base composes.
//
// Two compositions give the same pixels: the direct one walks the destination, the two layers and
// the mask row by row through the pixel operations (a copy of the old row, then the mask blend of
// the new row), the other draws through the surfaces (Assign, then DrawMask with the mask
// repeated to the destination's height). The direct one serves 15-, 16- and 32-bit destinations
// whose layers have their pixel size.
#pragma once

#include <cstddef>
#include <cstdint>

#include "graphics/dibx.h"
#include "motion/wipe.h"

namespace kova {

// pos x n div len for 0 <= n and 0 <= pos < len, without overflow (a position below 0 counts
// as 0).
inline int64_t WipeScaled(int32_t position, int64_t n, int32_t length) {
  const int64_t pos = position < 0 ? 0 : position, len = length;
  return pos * (n / len) + pos * (n % len) / len;
}

// The surfaces a direct composition reads and writes, locked at (0, 0) for the helper's life and
// released in the reverse order; a surface given twice is locked once. A surface that is empty or
// cannot be locked leaves Ok() false (and nothing may be touched).
class TWipeLocks {
 public:
  struct TPlane {
    uint8_t* base = nullptr;
    ptrdiff_t pitch = 0;
    uint8_t* Row(int32_t y) const { return base + ptrdiff_t(y) * pitch; }
  };

  TWipeLocks() = default;
  ~TWipeLocks();
  TWipeLocks(const TWipeLocks&) = delete;
  TWipeLocks& operator=(const TWipeLocks&) = delete;

  // The plane of `s`; after a failure (this or an earlier one) Ok() is false.
  TPlane Lock(TCustomDIBX& s);
  bool Ok() const { return ok_; }

 private:
  static constexpr int kMax = 4;
  TCustomDIBX* locked_[kMax] = {};
  TPlane planes_[kMax];
  int count_ = 0;
  bool ok_ = true;
};

class TWipeMask : public TCustomWipe {
 public:
  TWipeMask(const TWipeEnv& env, TCustomDIBX& dest, TCustomDIBX& old_layer, TCustomDIBX& new_layer);
  ~TWipeMask() override;

  // Parameter 0 at least 2, parameter 1 at least 1.
  void SetParam(int32_t index, int32_t value) override;
  // The mask: Dest's width x MaskHeight at 8 bits, all 0.
  void Prepare() override;
  // Nothing is drawn while the mask does not have the size Prepare gave it for the current
  // destination (never prepared, or Dest has changed size), nor when UpdateMask reports no change.
  bool Step() override;

  // Rebuilds the mask for the current position; true when it changed. Called by Step only with a
  // mask of the prepared size. Base: false.
  virtual bool UpdateMask() { return false; }
  // Rows of the mask. Base: Dest's height.
  virtual int32_t MaskHeight() { return Dest.Height(); }

  TDIBX Mask;
  // The step value of the last rebuild; -1 until the first.
  int64_t LastStep = -1;
  // True when the mask holds only 0 and 255.
  bool HardMask = false;
  // The direct composition where it serves (the default); false: always through the surfaces.
  bool FastPath = true;

 protected:
  // Row y of the mask (0 = top), for UpdateMask.
  uint8_t* MaskRow(int32_t y) { return Mask.Surface().RowAddress(y); }
  // The parameters as the mask rules read them, whatever was stored (p0 >= 2, p1 >= 1).
  int64_t P0() const { return Params[0] < 2 ? 2 : Params[0]; }
  int64_t P1() const { return Params[1] < 1 ? 1 : Params[1]; }
  // Level of a pixel with delay d at step s: 0 before its delay, then rising over p1 steps to 255.
  static uint8_t Level(int64_t s, int64_t d, int64_t p1) {
    if (d > s) return 0;
    const int64_t v = (s - d) * 255 / p1;
    return uint8_t(v > 255 ? 255 : v);
  }
  int64_t Scaled(int64_t n) const { return WipeScaled(Position, n, Length); }

 private:
  bool MaskFits();
  void ComposeDirect();
  void ComposeThroughSurfaces();

  // The mask repeated to Dest's height, for the composition through the surfaces.
  TDIBX full_mask_;
};

}  // namespace kova
