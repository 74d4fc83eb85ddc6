#include "x_window.h"

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

bool SendCloseRequest(SDL_Window* window) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return false;
  Display* display = info.info.x11.display;
  XEvent e{};
  e.xclient.type = ClientMessage;
  e.xclient.window = info.info.x11.window;
  e.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  e.xclient.format = 32;
  e.xclient.data.l[0] = long(XInternAtom(display, "WM_DELETE_WINDOW", False));
  e.xclient.data.l[1] = CurrentTime;
  const bool sent = XSendEvent(display, info.info.x11.window, False, NoEventMask, &e) != 0;
  XFlush(display);
  return sent;
}

}  // namespace kova::test
