// SDL key codes as the Windows virtual-key codes the game's key tables use.
#pragma once

#include <SDL.h>

#include <cstdint>

namespace kova::plat {

// The virtual-key code (1 to 255) of a key, or 0 for keys the game never sees. Both Shift, Control
// and Alt keys give the one code of their kind; keypad digits give the keypad codes while Num Lock
// is on (`mod` has KMOD_NUM) and the moving keys they carry while it is off.
int32_t VirtualKeyOf(SDL_Keycode key, uint16_t mod);

}  // namespace kova::plat
