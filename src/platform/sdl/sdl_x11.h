// Questions about the X server behind an SDL window.
#pragma once

#include <SDL.h>

namespace kova::plat {

// False only on an X server where no window manager runs (one that follows the desktop conventions
// names its check window on the root window). Elsewhere there always is one that places windows.
bool HasWindowManager(SDL_Window* window);

}  // namespace kova::plat
