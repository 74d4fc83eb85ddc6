// What one picture load may cost. A picture's header can declare any size from a few bytes, so
// every buffer a load makes (frames at their stored and final depths, alpha planes, layer
// planes, decoding temporaries, tile tables) is charged here before it is allocated.
//
// The games this player runs use screens of 640x480 to 1280x720: 256 MiB holds 64 Mi pixels at 32
// bits, some 70 full 1280x720 frames at once. Decoding work is bounded too: the pixels of all
// the planes a load decodes (layers are freed after they are composited, so they do not stay
// charged) may add up to 512 Mi, a little over a second of decoding.
#pragma once

#include <cstdint>

#include "core/errors.h"
#include "graphics/graphics_errors.h"

namespace kova {

inline constexpr int32_t kMaxPictureSide = 32767;
inline constexpr uint64_t kMaxPictureLoadBytes = uint64_t(256) << 20;
inline constexpr uint64_t kMaxPictureLoadPixels = uint64_t(512) << 20;

class TPictureBudget {
 public:
  // Charges `bytes` held from now on; raises "DIB を作成できません" when the buffers held together
  // would exceed the budget.
  void Charge(uint64_t bytes) {
    if (bytes > kMaxPictureLoadBytes - held_) Refuse();
    held_ += bytes;
  }
  // Gives back bytes charged before (a buffer that was freed).
  void Release(uint64_t bytes) { held_ -= bytes < held_ ? bytes : held_; }
  // Counts the pixels of one decoded plane against the work budget.
  void Decode(uint64_t pixels) {
    if (pixels > kMaxPictureLoadPixels - decoded_) Refuse();
    decoded_ += pixels;
  }
  uint64_t Held() const { return held_; }

 private:
  [[noreturn]] static void Refuse() { Raise<EDIBError>(TMsg::DibCannotCreate, "DIB"); }

  uint64_t held_ = 0;
  uint64_t decoded_ = 0;
};

}  // namespace kova
