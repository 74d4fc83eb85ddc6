// The part of the screen that windows may use (the display less panels and task bars). The SDL
// backend (platform/sdl) asks the display; the headless one answers a fixed rectangle.
#pragma once

#include <cstdint>

#include "platform/geometry.h"

namespace kova::plat {

class IWorkArea {
 public:
  virtual ~IWorkArea() = default;
  virtual TScreenRect WorkArea() = 0;
};

// A fixed rectangle, by default (0, 0, 1024, 768).
class TFixedWorkArea : public IWorkArea {
 public:
  static constexpr TScreenRect kDefault{0, 0, 1024, 768};
  TFixedWorkArea() = default;
  explicit TFixedWorkArea(TScreenRect rect) : rect_(rect) {}
  TScreenRect WorkArea() override { return rect_; }
  void SetRect(TScreenRect rect) { rect_ = rect; }

 private:
  TScreenRect rect_ = kDefault;
};

}  // namespace kova::plat
