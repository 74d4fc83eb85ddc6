#include "platform/clock.h"

#include <time.h>

namespace kova::plat {

uint32_t MilliTicks() {
  timespec ts{};
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint32_t>(static_cast<uint64_t>(ts.tv_sec) * 1000u + static_cast<uint64_t>(ts.tv_nsec) / 1000000u);
}

TLocalTime LocalNow() {
  timespec ts{};
  ::clock_gettime(CLOCK_REALTIME, &ts);
  tm parts{};
  const time_t seconds = ts.tv_sec;
  if (!::localtime_r(&seconds, &parts)) return {};
  return TLocalTime{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour,
                    parts.tm_min,         parts.tm_sec,      static_cast<int>(ts.tv_nsec / 1000000)};
}

}  // namespace kova::plat
