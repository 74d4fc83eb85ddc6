#include "platform/clock.h"

#include <errno.h>
#include <time.h>

namespace kova::plat {

namespace {

// Days from 1970-01-01 to a civil date (the usual era-based conversion).
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const int64_t yoe = y - era * 400;
  const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

constexpr int64_t kUnixEpochDay = 25569;  // 1970-01-01 counted from 1899-12-30

}  // namespace

double DayCount(int32_t year, int32_t month, int32_t day, int32_t hour, int32_t minute,
                int32_t second, int32_t millisecond) {
  const int64_t days = DaysFromCivil(year, month, day) + kUnixEpochDay;
  const double ms = ((hour * 60.0 + minute) * 60.0 + second) * 1000.0 + millisecond;
  return static_cast<double>(days) + ms / 86400000.0;
}

uint32_t TSystemClock::TickMs() {
  timespec ts{};
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  const uint64_t ms = uint64_t(ts.tv_sec) * 1000u + uint64_t(ts.tv_nsec) / 1000000u;
  return static_cast<uint32_t>(ms);
}

void TSystemClock::SleepMs(uint32_t ms) {
  timespec left{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
  while (::nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

double TSystemClock::Now() {
  timespec ts{};
  ::clock_gettime(CLOCK_REALTIME, &ts);
  tm local{};
  const time_t secs = ts.tv_sec;
  if (!::localtime_r(&secs, &local)) return 0.0;
  return DayCount(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                  local.tm_sec, static_cast<int32_t>(ts.tv_nsec / 1000000));
}

void TVirtualClock::SleepMs(uint32_t ms) {
  sleeps_.push_back(ms);
  Advance(ms);
}

void TVirtualClock::Advance(uint32_t ms) {
  tick_ += ms;
  date_ += ms / 86400000.0;
}

}  // namespace kova::plat
