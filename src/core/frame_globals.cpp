#include "core/frame_globals.h"

namespace kova {

bool QuitRequested = false;
uint32_t LastFrameTime = 0;
int32_t GameClock = 0;
int32_t FrameDelta = 0;
int32_t FrameInterval = 16;
int32_t UpdateCount = 0;

void ResetFrameGlobals() {
  QuitRequested = false;
  LastFrameTime = 0;
  GameClock = 0;
  FrameDelta = 0;
  FrameInterval = 16;
  UpdateCount = 0;
}

}  // namespace kova
