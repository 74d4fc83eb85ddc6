// Questions only the X server can answer, kept apart so that the X headers' names stay here.
#include "platform/sdl/sdl_x11.h"

#if defined(KOVA_HAVE_X11)
#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#endif

namespace kova::plat {

bool HasWindowManager(SDL_Window* window) {
#if defined(KOVA_HAVE_X11)
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return true;
  Display* display = info.info.x11.display;
  const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", True);
  if (check == None) return false;
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  const bool found = XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False, XA_WINDOW, &type,
                                        &format, &count, &after, &data) == Success &&
                     data && count == 1 && type == XA_WINDOW;
  if (data) XFree(data);
  return found;
#else
  (void)window;
  return true;
#endif
}

}  // namespace kova::plat
