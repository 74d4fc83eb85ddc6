#include "platform/sdl/sdl_text_fields.h"

#include "platform/text/text_codec.h"

namespace kova::plat {

TSdlTextFields::TSdlTextFields(TSdlWindow& window, TSdlPresenter& presenter, IGlyphFonts& fonts)
    : TDrawnTextFieldSet(fonts), presenter_(presenter) {
  SetWindow(&window);
  presenter_.SetOverlay([this](SDL_Renderer* renderer, const TViewport& view) { Overlay(renderer, view); });
}

TSdlTextFields::~TSdlTextFields() {
  presenter_.SetOverlay({});
  DropTextures();
}

std::string TSdlTextFields::ClipboardText() {
  char* text = SDL_GetClipboardText();
  std::string out = text ? Utf8ToCp932Held(text) : std::string();
  SDL_free(text);
  return out;
}

void TSdlTextFields::SetClipboardText(std::string_view text) { SDL_SetClipboardText(Cp932ToUtf8(text).c_str()); }

void TSdlTextFields::ShowChanges() {
  if (HasChanges()) presenter_.ShowAgain();
}

void TSdlTextFields::DropTextures() {
  for (TShown& s : shown_) SDL_DestroyTexture(s.texture);
  shown_.clear();
}

void TSdlTextFields::Overlay(SDL_Renderer* renderer, const TViewport& view) {
  if (TakeChanged()) {
    DropTextures();
    for (TPaintedField& f : Paint()) {
      if (f.image.pixels.empty()) continue;
      SDL_Texture* t = SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STATIC,
                                         f.image.width, f.image.height);
      if (!t) continue;
      SDL_UpdateTexture(t, nullptr, f.image.pixels.data(), f.image.width * 4);
      shown_.push_back(TShown{f.bounds, t});
    }
  }
  const TScreenRect pic = view.Picture();
  const TSize game = view.Game();
  if (game.width <= 0 || game.height <= 0) return;
  auto x_of = [&](int32_t x) { return pic.left + int32_t(int64_t(x) * pic.Width() / game.width); };
  auto y_of = [&](int32_t y) { return pic.top + int32_t(int64_t(y) * pic.Height() / game.height); };
  for (const TShown& s : shown_) {
    const SDL_Rect dst{x_of(s.bounds.left), y_of(s.bounds.top), x_of(s.bounds.right) - x_of(s.bounds.left),
                       y_of(s.bounds.bottom) - y_of(s.bounds.top)};
    SDL_RenderCopy(renderer, s.texture, nullptr, &dst);
  }
}

}  // namespace kova::plat
