#include "platform/sdl/sdl_dialogs.h"

#include <SDL.h>

#include <string>

#include "platform/text_codec.h"

namespace kova::plat {
namespace {

constexpr int kOkId = 1;
constexpr int kCancelId = 0;
// "キャンセル" in UTF-8.
constexpr const char* kCancelLabel = "\xE3\x82\xAD\xE3\x83\xA3\xE3\x83\xB3\xE3\x82\xBB\xE3\x83\xAB";

}  // namespace

TMessageAnswer TSdlDialogs::ShowMessage(const TMessageBox& box) {
  const std::string title = Cp932ToUtf8(box.title);
  const std::string text = Cp932ToUtf8(box.text);
  const SDL_MessageBoxButtonData buttons[] = {
      {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, kOkId, "OK"},
      {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, kCancelId, kCancelLabel},
  };
  const bool ok_cancel = box.buttons == TMessageButtons::OkCancel;
  SDL_MessageBoxData data{};
  data.flags = (ok_cancel ? SDL_MESSAGEBOX_WARNING : SDL_MESSAGEBOX_INFORMATION) |
               SDL_MESSAGEBOX_BUTTONS_LEFT_TO_RIGHT;
  data.window = static_cast<SDL_Window*>(box.owner);
  data.title = title.c_str();
  data.message = text.c_str();
  data.numbuttons = ok_cancel ? 2 : 1;
  data.buttons = buttons;
  int pressed = -1;
  if (SDL_ShowMessageBox(&data, &pressed) != 0) return fallback_.ShowMessage(box);
  if (!ok_cancel) return TMessageAnswer::Ok;
  // Closing the box without a button counts as Cancel.
  return pressed == kOkId ? TMessageAnswer::Ok : TMessageAnswer::Cancel;
}

}  // namespace kova::plat
