// The player window's text fields: drawn with the outline fonts (TDrawnTextFieldSet) and shown by
// the window's presenter over the game's picture, scaled with it, each time the picture is shown;
// the window's text input (the input method) follows the field that has the keyboard, and the
// clipboard is the desktop's. Main thread only; the window and presenter must outlive the set.
#pragma once

#include <SDL.h>

#include <vector>

#include "platform/fields/drawn_text_fields.h"
#include "platform/sdl/sdl_video.h"

namespace kova::plat {

class TSdlTextFields : public TDrawnTextFieldSet {
 public:
  TSdlTextFields(TSdlWindow& window, TSdlPresenter& presenter, IGlyphFonts& fonts);
  ~TSdlTextFields() override;

  std::string ClipboardText() override;
  void SetClipboardText(std::string_view text) override;
  // Shows the fields again when something they show changed since they were last shown.
  void ShowChanges() override;

 private:
  struct TShown {
    TScreenRect bounds;
    SDL_Texture* texture = nullptr;
  };
  // Paints the fields anew when they changed, then copies them over the picture.
  void Overlay(SDL_Renderer* renderer, const TViewport& view);
  void DropTextures();

  TSdlPresenter& presenter_;
  std::vector<TShown> shown_;
};

}  // namespace kova::plat
