#include "wm_name.h"

#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace kova::test {

std::string ReadWmName(SDL_Window* window) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return "<not X11>";
  Display* display = info.info.x11.display;
  XSync(display, False);
  XTextProperty property{};
  if (!XGetWMName(display, info.info.x11.window, &property)) return "<none>";
  char** list = nullptr;
  int count = 0;
  std::string text;
  if (Xutf8TextPropertyToTextList(display, &property, &list, &count) >= Success && list) {
    for (int i = 0; i < count; ++i) text += list[i];
    XFreeStringList(list);
  } else {
    text = "<unreadable>";
  }
  XFree(property.value);
  return text;
}

}  // namespace kova::test
