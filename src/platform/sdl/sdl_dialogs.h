// Message boxes shown through SDL. With the player's fonts a box is drawn by the player itself
// (platform/window/drawn_message_box.h) in a window of its own, modal for its owner, on the desktop
// drivers (X11, Wayland); elsewhere, or when that window cannot be made, it is SDL's own box. A
// box that cannot be shown at all (no display) is answered by a headless fallback, so a prompt
// that loops until it is answered still ends.
//
// While a drawn box is up, the events of the other windows wait: they are put back in SDL's queue
// once the box is answered, and a request to quit closes the box (as its close box does) and is
// put back too.
#pragma once

#include <SDL.h>

#include <functional>
#include <optional>

#include "platform/window/dialogs.h"
#include "platform/window/drawn_message_box.h"
#include "platform/text/glyph_fonts.h"

namespace kova::plat {

class TSdlDialogs : public IDialogs {
 public:
  // SDL's own boxes.
  TSdlDialogs() = default;
  // Boxes drawn with `fonts` (which must outlive the dialogs) in `style`.
  TSdlDialogs(IGlyphFonts& fonts, TMessageBoxStyle style) : fonts_(&fonts), style_(std::move(style)) {}

  // box.owner is the SDL_Window* of the owning window, or null.
  TMessageAnswer ShowMessage(const TMessageBox& box) override;
  // Answers (and logs) the boxes that could not be shown.
  THeadlessDialogs& Fallback() { return fallback_; }

  // Called on each pass of a drawn box's event loop (at least every 100 ms) once the box is painted
  // and shown, with its window and the box: the tests of real windows look at it then and answer
  // it through the X server.
  using TShownHook = std::function<void(SDL_Window*, TDrawnMessageBox&)>;
  void SetShownHook(TShownHook hook) { shown_hook_ = std::move(hook); }

 private:
  std::optional<TMessageAnswer> ShowDrawn(const TMessageBox& box);

  IGlyphFonts* fonts_ = nullptr;
  TMessageBoxStyle style_;
  THeadlessDialogs fallback_;
  TShownHook shown_hook_;
};

}  // namespace kova::plat
