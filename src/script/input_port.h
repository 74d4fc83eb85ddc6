// Input as the script engine sees it: the active screen layer's mouse latches and the key tables
// of the root container. The component system implements this port; the defaults are a player
// without input (nothing held, nothing clicked). Main thread only.
#pragma once

#include <cstdint>

namespace kova {

class TInputPort {
 public:
  virtual ~TInputPort() = default;
  virtual bool LClick() const { return false; }
  virtual void SetLClick(bool) {}
  virtual bool RClick() const { return false; }
  virtual void SetRClick(bool) {}
  // Buttons held and not masked.
  virtual bool LPush() const { return false; }
  virtual bool RPush() const { return false; }
  virtual int32_t MouseX() const { return 0; }
  virtual int32_t MouseY() const { return 0; }
  // Moves the pointer to x (keeping y), respectively to y (keeping x), in view coordinates.
  virtual void SetCursorX(int32_t) {}
  virtual void SetCursorY(int32_t) {}
  virtual bool WheelDown() const { return false; }
  virtual bool WheelUp() const { return false; }
  // Key states by virtual-key code 0..255: held, pressed this frame, down or repeated this frame.
  virtual bool KeyDown(int32_t) const { return false; }
  virtual bool KeyPressed(int32_t) const { return false; }
  virtual bool KeyRepeat(int32_t) const { return false; }
};

}  // namespace kova
