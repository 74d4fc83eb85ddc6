// Pictures drawn over the scene's picture when it is presented: the overlay videos. They never
// touch the back buffer the scene draws into; the screen manager composes them into a picture of
// its own (and kovarun into its shots).
#pragma once

#include <vector>

#include "core/types.h"
#include "graphics/dibx.h"

namespace kova {

class TMediaLayer;

class IScreenOverlay {
 public:
  virtual ~IScreenOverlay() = default;
  // Something would be drawn now.
  virtual bool Visible() = 0;
  // Draws into `picture` (of the back buffer's size and depth), appending each rectangle drawn
  // to `areas`.
  virtual void Draw(TCustomDIBX& picture, std::vector<TRect>& areas) = 0;
};

// The session's overlay: the visible overlay items of the media layer's video manager.
class TVideoOverlay : public IScreenOverlay {
 public:
  explicit TVideoOverlay(TMediaLayer& media) : media_(media) {}
  bool Visible() override;
  void Draw(TCustomDIBX& picture, std::vector<TRect>& areas) override;

 private:
  TMediaLayer& media_;
};

// `screen` with `overlay` drawn over it, into `out` (a copy of `screen` when nothing is drawn).
void ComposeOverlay(TCustomDIBX& screen, IScreenOverlay& overlay, TDIBX& out);

}  // namespace kova
