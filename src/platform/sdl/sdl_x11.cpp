// Questions only the X server can answer, kept apart so that the X headers' names stay here.
#include "platform/sdl/sdl_x11.h"

#if defined(KOVA_HAVE_X11)
#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#endif

namespace kova::plat {

#if defined(KOVA_HAVE_X11)
namespace {

int IgnoreError(Display*, XErrorEvent*) { return 0; }

// The window named by `owner`'s _NET_SUPPORTING_WM_CHECK property, or None. An owner that no
// longer exists gives None (its error is swallowed).
Window CheckWindowOf(Display* display, Window owner, Atom check) {
  XSync(display, False);
  auto* previous = XSetErrorHandler(IgnoreError);
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  Window found = None;
  if (XGetWindowProperty(display, owner, check, 0, 1, False, XA_WINDOW, &type, &format, &count, &after, &data) ==
          Success &&
      data && count == 1 && type == XA_WINDOW && format == 32) {
    found = *reinterpret_cast<Window*>(data);
  }
  if (data) XFree(data);
  XSync(display, False);
  XSetErrorHandler(previous);
  return found;
}

}  // namespace
#endif

bool HasWindowManager(SDL_Window* window) {
#if defined(KOVA_HAVE_X11)
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return true;
  Display* display = info.info.x11.display;
  const Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", True);
  if (check == None) return false;
  // The root names the manager's check window, which names itself while the manager lives (a
  // manager that ended may leave the root's property behind).
  const Window child = CheckWindowOf(display, DefaultRootWindow(display), check);
  return child != None && CheckWindowOf(display, child, check) == child;
#else
  (void)window;
  return true;
#endif
}

void SetLegacyTitle(SDL_Window* window, const char* utf8_title) {
#if defined(KOVA_HAVE_X11)
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return;
  Display* display = info.info.x11.display;
  char* list[] = {const_cast<char*>(utf8_title)};
  XTextProperty property{};
  // Success, or the count of characters no standard set holds (written as '?'); below 0 a failure.
  if (Xutf8TextListToTextProperty(display, list, 1, XStdICCTextStyle, &property) < Success) return;
  XSetWMName(display, info.info.x11.window, &property);
  XFree(property.value);
  XFlush(display);
#else
  (void)window;
  (void)utf8_title;
#endif
}

}  // namespace kova::plat
