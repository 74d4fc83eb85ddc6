// The frame of an image track: one frame of a cached picture, which stays the cache's.
#pragma once

#include <cstdint>

#include "motion/film_track.h"

namespace kova {

class TWexaItemFrame;

class TImageFrame : public TCustomFrame {
 public:
  // `image_frame` must outlive the frame.
  TImageFrame(TCustomFrameList& track, const TWexaItemFrame& image_frame)
      : TCustomFrame(track), ImageFrame(image_frame) {}

  // The size of the cached frame's surface.
  int32_t Width() const override;
  int32_t Height() const override;
  TPoint Offset() const override;
  // The cached frame's delay in ticks, rounded to the nearest (halves to even); at least 1.
  int32_t Duration() const override;

  const TWexaItemFrame& ImageFrame;
};

// Milliseconds as ticks: Round(ms / 16.666666666666668), halves to even.
int32_t MillisecondsToTicks(int32_t ms);

}  // namespace kova
