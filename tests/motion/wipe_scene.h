// A transition over three memory surfaces made for a test: the old and new pictures of
// wipe_pictures.h and a destination that starts with a marker colour found in neither.
#pragma once

#include <cstdint>
#include <memory>

#include "motion/wipe_factory.h"
#include "wipe_pictures.h"

namespace kova::wipetest {

inline constexpr int32_t kMarker = 0x00FF01FF;  // (255, 1, 255)

struct TWipeScene {
  TWipeScene(int32_t kind, int32_t w, int32_t h, int32_t bits, int32_t length, bool reverse = false)
      : dest(Picture(w, h, bits, [](int32_t, int32_t) { return kMarker; })),
        from(Picture(w, h, bits, OldColour)),
        to(Picture(w, h, bits, NewColour)) {
    Make(kind, length, reverse);
  }
  // With pictures of the caller's own.
  TWipeScene(int32_t kind, std::unique_ptr<TDIBX> dest_picture, std::unique_ptr<TDIBX> old_picture,
             std::unique_ptr<TDIBX> new_picture, int32_t length, bool reverse = false)
      : dest(std::move(dest_picture)), from(std::move(old_picture)), to(std::move(new_picture)) {
    Make(kind, length, reverse);
  }

  // Position := pos, then one step; its result.
  bool StepAt(int32_t pos) {
    wipe->SetPosition(pos);
    return wipe->Step();
  }
  uint32_t At(int32_t x, int32_t y) const { return dest->GetPixel(x, y); }
  uint32_t Old(int32_t x, int32_t y) const { return from->GetPixel(x, y); }
  uint32_t New(int32_t x, int32_t y) const { return to->GetPixel(x, y); }
  uint32_t Marker() const { return uint32_t(dest->ColorToPixel(kMarker)); }

  std::unique_ptr<TDIBX> dest, from, to;
  std::unique_ptr<TCustomWipe> wipe;

 private:
  void Make(int32_t kind, int32_t length, bool reverse) {
    wipe = CreateWipe(kind, TWipeEnv{}, *dest, *from, *to);
    if (!wipe) return;
    wipe->SetLength(length);
    wipe->SetReverse(reverse);
    wipe->Prepare();
  }
};

}  // namespace kova::wipetest
