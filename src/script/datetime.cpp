#include "script/datetime.h"

#include <cmath>

#include "platform/clock.h"

namespace kova {
namespace {

constexpr int64_t kMSecsPerDay = 86400000;
// Days from 1970-01-01 to 1899-12-30.
constexpr int64_t kEpochShift = -25569;

// The proleptic Gregorian date of a day count since 1970-01-01.
void CivilFromDays(int64_t z, int32_t& y, int32_t& m, int32_t& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const int64_t doe = z - era * 146097;
  const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const int64_t mp = (5 * doy + 2) / 153;
  d = static_cast<int32_t>(doy - (153 * mp + 2) / 5 + 1);
  m = static_cast<int32_t>(mp < 10 ? mp + 3 : mp - 9);
  y = static_cast<int32_t>(yoe + era * 400 + (m <= 2));
}

}  // namespace

TDateParts DecodeDateTime(double t) {
  TDateParts parts;
  // 0001-01-01 is -693593, 9999-12-31 is 2958465.
  if (!std::isfinite(t) || t < -693594.0 || t >= 2958466.0) return parts;
  double whole = std::trunc(t);
  int64_t day = static_cast<int64_t>(whole);
  int64_t ms = std::llround(std::fabs(t - whole) * double(kMSecsPerDay));
  if (ms >= kMSecsPerDay) {
    ms -= kMSecsPerDay;
    ++day;
  }
  const int64_t unix_days = day + kEpochShift;
  CivilFromDays(unix_days, parts.Year, parts.Month, parts.Day);
  const int64_t weekday = ((unix_days + 4) % 7 + 7) % 7;  // 1970-01-01 was a Thursday
  parts.Week = static_cast<int32_t>(weekday + 1);
  parts.Hour = static_cast<int32_t>(ms / 3600000);
  parts.Min = static_cast<int32_t>(ms / 60000 % 60);
  parts.Sec = static_cast<int32_t>(ms / 1000 % 60);
  parts.MSec = static_cast<int32_t>(ms % 1000);
  return parts;
}

double DateToValue(int32_t year, int32_t month, int32_t day) {
  return plat::DayCount(year, month, day);
}

double TimeToValue(int32_t hour, int32_t min, int32_t sec, int32_t msec) {
  const long double ms = (long double)hour * 3600000 + (long double)min * 60000 + (long double)sec * 1000 + msec;
  return static_cast<double>(ms / (long double)kMSecsPerDay);
}

}  // namespace kova
