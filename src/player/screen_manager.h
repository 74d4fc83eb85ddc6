// The screen manager: the player's view of the display. It lists the display modes that can show
// the game and picks the preferred full-screen mode, holds the back buffer (the memory surface of
// the game's size that the scene draws into), switches the window between a window and full
// screen, and presents the back buffer: only what changed is handed to the window's presenter.
//
// Full screen never changes the display's mode: it is a borderless window covering the desktop
// with the picture scaled to fit, its aspect kept. The modes are listed as a game expects to see
// them; choosing one chooses full screen, and the picture is scaled to the desktop either way. So
// the back buffer keeps the desktop's depth in both modes.
//
// Overlay pictures (the overlay videos) are drawn over the scene's when it is presented, into a
// composed picture of the back buffer's size: the scene's back buffer stays untouched, and while no
// overlay shows the back buffer is presented as it is.
#pragma once

#include <cstdint>
#include <vector>

#include "graphics/dibx.h"
#include "player/screen_overlay.h"
#include "platform/window/video.h"

namespace kova {

class TKovaBaseList;

// The modes a game of min_width x min_height can use, in the display's order (smaller ones and
// those of fewer than 16 bits are left out), and the one chosen for full screen (-1: none): the
// first listed, unless one has exactly the preferred size; among those of the preferred size the
// one of the preferred depth with the lowest refresh rate, the earliest of equals.
struct TModeChoice {
  std::vector<plat::TDisplayMode> modes;
  int32_t chosen = -1;
};
TModeChoice ChooseModes(const std::vector<plat::TDisplayMode>& offered, int32_t min_width, int32_t min_height,
                        int32_t preferred_width, int32_t preferred_height, int32_t preferred_bits);

// A memory surface's pixels as a presenter takes them (an invalid frame for an empty surface).
plat::TFrameBuffer FrameOf(TCustomDIBX& surface);

// The back buffer's depth on a desktop: 15 for 5-5-5 colour, 16 for other desktops of 16 bits or
// fewer, else 32.
int32_t BackBufferBits(const plat::TDesktopMode& desktop);

class TScreenManager {
 public:
  // Lists the display's modes for a game of min_width x min_height (also the back buffer's size),
  // picks the full-screen mode for the preferred size and makes the window's back buffer.
  TScreenManager(plat::IDisplay& display, plat::IWindow& window, plat::IPresenter& presenter, int32_t min_width,
                 int32_t min_height, int32_t preferred_width, int32_t preferred_height);

  int32_t ModeCount() const { return int32_t(modes_.size()); }
  // Mode i; false outside 0 .. ModeCount() - 1.
  bool GetMode(int32_t i, plat::TDisplayMode& mode) const;
  // The chosen full-screen mode (-1: none usable). The script may store any value here.
  int32_t ModeIndex = -1;
  // -1 in a window, else the index of the full-screen mode in use.
  int32_t CurrentMode() const { return current_mode_; }
  bool FullScreen() const { return full_screen_; }
  // The back buffer's depth (15, 16 or 32): every picture is converted to it.
  int32_t BitCount() const { return bit_count_; }
  int32_t DisplayBitCount() const { return display_bit_count_; }
  int32_t PreferredBitCount() const { return preferred_bit_count_; }
  TDIBX& BackBuffer() { return back_buffer_; }

  // Full screen for a mode index (0 or more), the window for -1. A mode the display does not list,
  // or a window that cannot cover the desktop, leaves the player in (or takes it back to) the
  // window.
  void SetMode(int32_t index);

  // Shows what the scene drew this frame: the area of the transition that stepped, else each
  // rectangle of the active layer's dirty list.
  void Present(const TKovaBaseList& root);
  // Shows the whole back buffer (after an expose or a change of size).
  void RepaintAll();
  // The back buffer as the presenter takes it.
  plat::TFrameBuffer Frame();
  // Draws `overlay` (not owned; nullptr: none) over the scene's picture whenever it is presented.
  void SetOverlay(IScreenOverlay* overlay) { overlay_ = overlay; }
  // The picture last presented: the composed one while overlays show, else the back buffer.
  TCustomDIBX& Shown() { return composing_ ? static_cast<TCustomDIBX&>(composed_) : back_buffer_; }

 private:
  plat::IWindow& window_;
  plat::IPresenter& presenter_;
  std::vector<plat::TDisplayMode> modes_;
  int32_t current_mode_ = -1;
  bool full_screen_ = false;
  int32_t bit_count_ = 32;
  int32_t display_bit_count_ = 32;
  int32_t preferred_bit_count_ = 24;
  TDIBX back_buffer_;
  std::vector<plat::TScreenRect> rects_;
  IScreenOverlay* overlay_ = nullptr;
  TDIBX composed_;
  bool composing_ = false;  // the last picture presented was composed_
  std::vector<TRect> overlay_areas_, last_areas_;
};

}  // namespace kova
