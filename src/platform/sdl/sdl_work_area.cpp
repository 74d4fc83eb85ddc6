#include "platform/sdl/sdl_work_area.h"

#include <SDL.h>

namespace kova::plat {

TScreenRect TSdlWorkArea::WorkArea() {
  const bool started = SDL_WasInit(SDL_INIT_VIDEO) == 0;
  if (started && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return TFixedWorkArea::kDefault;
  TScreenRect result = TFixedWorkArea::kDefault;
  SDL_Rect r{};
  if (SDL_GetDisplayUsableBounds(display_, &r) == 0 && r.w > 0 && r.h > 0) {
    result = TScreenRect{r.x, r.y, r.x + r.w, r.y + r.h};
  }
  if (started) SDL_QuitSubSystem(SDL_INIT_VIDEO);
  return result;
}

}  // namespace kova::plat
