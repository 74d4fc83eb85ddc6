// Questions about the X server behind an SDL window.
#pragma once

#include <SDL.h>

namespace kova::plat {

// False only on an X server where no window manager runs (one that follows the desktop conventions
// names its check window on the root window). Elsewhere there always is one that places windows.
bool HasWindowManager(SDL_Window* window);

// Sets the window's legacy title property (WM_NAME) to `utf8_title` the way the X conventions
// want it: Latin-1 text as STRING, any other as COMPOUND_TEXT, so that every reader of the
// property gets the title (SDL writes the UTF-8 bytes there and calls them STRING). SDL itself
// sets the UTF-8 title (_NET_WM_NAME). Nothing off X11.
void SetLegacyTitle(SDL_Window* window, const char* utf8_title);

}  // namespace kova::plat
