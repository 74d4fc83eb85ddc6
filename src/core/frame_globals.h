// The frame globals: the state of the frame loop that the shell writes and the rest of the system
// reads. They live in core so that no lower layer includes the shell. Main thread only.
#pragma once

#include <cstdint>

namespace kova {

// Set when the program is closing; no frame step runs once it is set.
extern bool QuitRequested;
// The clock value (milliseconds, wrapping) of the last accepted frame.
extern uint32_t LastFrameTime;
// The sum of all accepted frame deltas, in milliseconds.
extern int32_t GameClock;
// The last accepted frame delta in milliseconds; every animated part advances by it.
extern int32_t FrameDelta;
// The target frame time in milliseconds (never 0).
extern int32_t FrameInterval;
// The number of frame steps that ran the update pass.
extern int32_t UpdateCount;

// Puts every frame global back to its start value (start-up and tests).
void ResetFrameGlobals();

}  // namespace kova
