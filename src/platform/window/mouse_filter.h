// The mouse rules of the player's window, over window positions: what a window that captures the
// pointer while a button is held passes on to the game (see IEventSource in video.h).
#pragma once

#include <vector>

#include "platform/window/video.h"

namespace kova::plat {

class TMouseFilter {
 public:
  // Each returns true and fills `out` when the event is passed on.
  bool Move(const TViewport& view, TPoint window, TEvent& out);
  bool Down(const TViewport& view, TMouseButton button, TPoint window, TEvent& out);
  bool Up(const TViewport& view, TMouseButton button, TPoint window, TEvent& out);
  // The releases of the buttons still held (at the last position passed on), in button order; no
  // button is held afterwards.
  std::vector<TEvent> ReleaseAll();
  bool AnyHeld() const { return left_ || right_; }

 private:
  bool& Held(TMouseButton button) { return button == TMouseButton::Left ? left_ : right_; }

  bool left_ = false;
  bool right_ = false;
  TPoint last_;
};

}  // namespace kova::plat
