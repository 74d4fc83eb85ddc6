// The system's clocks: a millisecond counter for frame timing and "@PCTickCount", and the local
// date and time for the date variables.
#pragma once

#include <cstdint>

namespace kova::plat {

// Milliseconds of a monotonic clock, wrapping at 32 bits (only differences mean anything).
uint32_t MilliTicks();

struct TLocalTime {
  int year = 1899, month = 12, day = 30, hour = 0, minute = 0, second = 0, millisecond = 0;
};
// The local date and time now.
TLocalTime LocalNow();

}  // namespace kova::plat
