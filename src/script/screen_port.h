// The screen manager as the script engine sees it: window or full screen and the display modes.
// The player window implements this port; the defaults are a player without a screen manager.
// Main thread only.
#pragma once

#include <cstdint>

namespace kova {

// One display mode of the screen manager.
struct TDisplayMode {
  int32_t Width = 0, Height = 0, Bits = 0, Rate = 0;
};

class TScreenPort {
 public:
  virtual ~TScreenPort() = default;
  virtual bool HasScreenManager() const { return false; }
  virtual bool FullScreen() const { return false; }
  // Switches to full screen or back (only called when the value differs).
  virtual void SetFullScreen(bool) {}
  virtual int32_t DisplayModeCount() const { return 0; }
  virtual int32_t DisplayModeIndex() const { return 0; }
  // Stores the chosen full-screen mode and applies it (only called with a screen manager).
  virtual void ApplyFullScreenMode(int32_t) {}
  // Display mode i; false outside 0 .. DisplayModeCount() - 1.
  virtual bool GetDisplayMode(int32_t /*i*/, TDisplayMode& /*mode*/) const { return false; }
};

}  // namespace kova
