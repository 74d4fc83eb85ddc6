#include "platform/sdl/sdl_dialogs.h"

#include <SDL.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/sdl/sdl_keys.h"
#include "platform/sdl/sdl_x11.h"
#include "platform/text/text_codec.h"

namespace kova::plat {
namespace {

// Events of other windows held while a drawn box is up; past this many, mouse moves are dropped.
constexpr size_t kMaxHeldEvents = 4096;

// The window an event is for; 0 for the events of no window.
Uint32 WindowOf(const SDL_Event& e) {
  switch (e.type) {
    case SDL_WINDOWEVENT: return e.window.windowID;
    case SDL_KEYDOWN:
    case SDL_KEYUP: return e.key.windowID;
    case SDL_TEXTEDITING: return e.edit.windowID;
    case SDL_TEXTINPUT: return e.text.windowID;
    case SDL_MOUSEMOTION: return e.motion.windowID;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: return e.button.windowID;
    case SDL_MOUSEWHEEL: return e.wheel.windowID;
    case SDL_DROPFILE:
    case SDL_DROPTEXT:
    case SDL_DROPBEGIN:
    case SDL_DROPCOMPLETE: return e.drop.windowID;
    default: return e.type >= SDL_USEREVENT ? e.user.windowID : 0;
  }
}

// Shows the box's picture in its window.
void Present(SDL_Window* window, TDrawnMessageBox& box) {
  SDL_Surface* target = SDL_GetWindowSurface(window);
  if (!target) return;
  TImageArgb image = box.Paint();
  SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(image.pixels.data(), image.width, image.height, 32,
                                                           image.width * 4, SDL_PIXELFORMAT_ARGB8888);
  if (!source) return;
  SDL_SetSurfaceBlendMode(source, SDL_BLENDMODE_NONE);
  SDL_BlitSurface(source, nullptr, target, nullptr);
  SDL_FreeSurface(source);
  SDL_UpdateWindowSurface(window);
}

constexpr int kOkId = 1;
constexpr int kCancelId = 0;
// "キャンセル" in UTF-8.
constexpr const char* kCancelLabel = "\xE3\x82\xAD\xE3\x83\xA3\xE3\x83\xB3\xE3\x82\xBB\xE3\x83\xAB";

}  // namespace

std::optional<TMessageAnswer> TSdlDialogs::ShowDrawn(const TMessageBox& box) {
  const char* driver = SDL_GetCurrentVideoDriver();
  if (!fonts_ || !driver || (std::strcmp(driver, "x11") != 0 && std::strcmp(driver, "wayland") != 0)) {
    return std::nullopt;
  }
  TDrawnMessageBox drawn(*fonts_, style_, box);
  const TSize size = drawn.Size();
  // Centred on its owner while the owner shows, else on the display.
  auto* owner = static_cast<SDL_Window*>(box.owner);
  int x = SDL_WINDOWPOS_CENTERED, y = SDL_WINDOWPOS_CENTERED;
  if (owner && (SDL_GetWindowFlags(owner) & SDL_WINDOW_SHOWN)) {
    int ox = 0, oy = 0, ow = 0, oh = 0;
    SDL_GetWindowPosition(owner, &ox, &oy);
    SDL_GetWindowSize(owner, &ow, &oh);
    x = ox + (ow - size.width) / 2;
    y = oy + (oh - size.height) / 2;
  }
  const std::string title = Cp932ToUtf8(box.title);
  // Closing the box is no request to quit, even when it is the only window.
  const char* quit_hint = SDL_GetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE);
  const std::optional<std::string> quit_on_close = quit_hint ? std::optional<std::string>(quit_hint) : std::nullopt;
  auto restore_quit_hint = [&] {
    if (quit_on_close) {
      SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, quit_on_close->c_str());
    } else {
      SDL_ResetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE);
    }
  };
  SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
  SDL_Window* window = SDL_CreateWindow(title.c_str(), x, y, size.width, size.height, SDL_WINDOW_HIDDEN);
  if (!window) {
    restore_quit_hint();
    return std::nullopt;
  }
  // The window's surface first: making it may make the X window anew, which takes SDL's title.
  SDL_GetWindowSurface(window);
  SetLegacyTitle(window, title.c_str());
  if (owner) SDL_SetWindowModalFor(window, owner);
  SDL_ShowWindow(window);
  SDL_RaiseWindow(window);
  // With nobody to hand out the focus the box takes it, so that its keys work.
  if (!HasWindowManager(window)) SDL_SetWindowInputFocus(window);
  Present(window, drawn);

  const Uint32 id = SDL_GetWindowID(window);
  std::vector<SDL_Event> held;
  while (!drawn.Answer()) {
    if (shown_hook_) shown_hook_(window, drawn);
    SDL_Event e;
    if (!SDL_WaitEventTimeout(&e, 100)) continue;
    if (e.type == SDL_QUIT) {
      held.push_back(e);
      drawn.Close();
      break;
    }
    if (WindowOf(e) != id) {
      // A click on the owner gives it the focus: the box takes it back, as a modal box does.
      if (e.type == SDL_WINDOWEVENT && e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED && owner &&
          e.window.windowID == SDL_GetWindowID(owner)) {
        SDL_RaiseWindow(window);
        if (!HasWindowManager(window)) SDL_SetWindowInputFocus(window);
      }
      if (held.size() < kMaxHeldEvents || e.type != SDL_MOUSEMOTION) held.push_back(e);
      continue;
    }
    switch (e.type) {
      case SDL_KEYDOWN: drawn.KeyDown(VirtualKeyOf(e.key.keysym.sym, e.key.keysym.mod)); break;
      case SDL_MOUSEBUTTONDOWN:
        if (e.button.button == SDL_BUTTON_LEFT) drawn.MouseDown(TPoint{e.button.x, e.button.y});
        break;
      case SDL_MOUSEBUTTONUP:
        if (e.button.button == SDL_BUTTON_LEFT) drawn.MouseUp(TPoint{e.button.x, e.button.y});
        break;
      case SDL_MOUSEMOTION: drawn.MouseMove(TPoint{e.motion.x, e.motion.y}); break;
      case SDL_WINDOWEVENT:
        if (e.window.event == SDL_WINDOWEVENT_CLOSE) drawn.Close();
        break;
      default: continue;
    }
    if (!drawn.Answer()) Present(window, drawn);
  }
  SDL_DestroyWindow(window);
  restore_quit_hint();
  for (SDL_Event& e : held) SDL_PushEvent(&e);
  return drawn.Answer();
}

TMessageAnswer TSdlDialogs::ShowMessage(const TMessageBox& box) {
  if (const std::optional<TMessageAnswer> answer = ShowDrawn(box)) return *answer;
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
