// Date-time values of scripts: days since 30 December 1899 as a float, the fraction being the
// time of day (negative values count the date backwards and the time of day forwards).
#pragma once

#include <cstdint>

namespace kova {

struct TDateParts {
  int32_t Year = 1899, Month = 12, Day = 30;
  int32_t Hour = 0, Min = 0, Sec = 0, MSec = 0;
  // 1 = Sunday .. 7 = Saturday.
  int32_t Week = 7;
};

// Splits a date-time value. The date is the whole part truncated toward zero; the time is the
// magnitude of the fraction rounded to milliseconds (a time that rounds up to midnight counts as
// 0:00 of the next day). Values that are not finite or lie beyond the years 1..9999 give the
// parts of 0 (30 December 1899).
TDateParts DecodeDateTime(double t);

// The value of a date (no range check beyond the calendar arithmetic) and of a time of day.
double DateToValue(int32_t year, int32_t month, int32_t day);
double TimeToValue(int32_t hour, int32_t min, int32_t sec, int32_t msec);

}  // namespace kova
