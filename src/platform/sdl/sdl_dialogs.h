// Message boxes shown through SDL. A box that cannot be shown (no display) is answered by a
// headless fallback, so a prompt that loops until it is answered still ends.
#pragma once

#include "platform/dialogs.h"

namespace kova::plat {

class TSdlDialogs : public IDialogs {
 public:
  // box.owner is the SDL_Window* of the owning window, or null.
  TMessageAnswer ShowMessage(const TMessageBox& box) override;
  // Answers (and logs) the boxes that could not be shown.
  THeadlessDialogs& Fallback() { return fallback_; }

 private:
  THeadlessDialogs fallback_;
};

}  // namespace kova::plat
