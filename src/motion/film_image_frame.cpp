#include "motion/film_image_frame.h"

#include <cmath>

#include "components/scene/image_cache.h"
#include "graphics/dibx.h"

namespace kova {

int32_t TImageFrame::Width() const { return ImageFrame.Surface().Width(); }
int32_t TImageFrame::Height() const { return ImageFrame.Surface().Height(); }
TPoint TImageFrame::Offset() const { return {ImageFrame.OffsetX, ImageFrame.OffsetY}; }

int32_t TImageFrame::Duration() const {
  const int32_t ticks = MillisecondsToTicks(ImageFrame.Duration);
  return ticks == 0 ? 1 : ticks;
}

int32_t MillisecondsToTicks(int32_t ms) {
  // |ms| / 16.67 stays far inside the Int32 range.
  return static_cast<int32_t>(std::nearbyint(static_cast<double>(ms) / kFilmTickMs));
}

}  // namespace kova
