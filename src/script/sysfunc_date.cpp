// Date and time system functions: date-time values are days since 30 December 1899, the fraction
// being the time of day (script/datetime.h).
#include <cstdint>
#include <string_view>

#include "core/vocabulary.h"
#include "script/datetime.h"
#include "script/param_collection.h"
#include "script/script_errors.h"
#include "script/sysfunc_procs.h"

namespace kova::sysfunc {
namespace {

bool IsLeapYear(int32_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int32_t DaysInMonth(int32_t y, int32_t m) {
  static constexpr int32_t kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return (m == 2 && IsLeapYear(y)) ? 29 : kDays[m - 1];
}

std::string FuncName(const TSysCall& call) { return std::string(SysFuncNames().Name(call.Id())); }

TDateParts Parts(const TSysCall& call) { return DecodeDateTime(static_cast<double>(call.Float(0))); }

constexpr std::string_view kWeekNames[7] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
// 日 月 火 水 木 金 土
constexpr std::string_view kWeekJNames[7] = {"\x93\xFA", "\x8C\x8E", "\x89\xCE", "\x90\x85",
                                            "\x96\xD8", "\x8B\xE0", "\x93\x79"};

}  // namespace

// EncodeDate(y, m, d): the date of a valid day of the years 1..9999.
void EncodeDate(TSysCall& call) {
  const int32_t y = call.Int(0), m = call.Int(1), d = call.Int(2);
  if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1 || d > DaysInMonth(y, m)) {
    Raise<EScriptError>(TMsg::SysFuncBadDate, FuncName(call).c_str());
  }
  call.Dest().SetFloat(DateToValue(y, m, d));
}

// EncodeTime(h, n, s): the time of day, hours 0..23, minutes and seconds 0..59.
void EncodeTime(TSysCall& call) {
  const int32_t h = call.Int(0), n = call.Int(1), s = call.Int(2);
  if (h < 0 || h > 23 || n < 0 || n > 59 || s < 0 || s > 59) {
    Raise<EScriptError>(TMsg::SysFuncBadTime, FuncName(call).c_str());
  }
  call.Dest().SetFloat(TimeToValue(h, n, s, 0));
}

void DecodeDate(TSysCall& call) {
  const TDateParts p = Parts(call);
  call.Var(1).SetInt(p.Year);
  call.Var(2).SetInt(p.Month);
  call.Var(3).SetInt(p.Day);
}

void DecodeTime(TSysCall& call) {
  const TDateParts p = Parts(call);
  call.Var(1).SetInt(p.Hour);
  call.Var(2).SetInt(p.Min);
  call.Var(3).SetInt(p.Sec);
}

void GetYear(TSysCall& call) { call.Dest().SetInt(Parts(call).Year); }
void GetMonth(TSysCall& call) { call.Dest().SetInt(Parts(call).Month); }
void GetDay(TSysCall& call) { call.Dest().SetInt(Parts(call).Day); }
void GetHour(TSysCall& call) { call.Dest().SetInt(Parts(call).Hour); }
void GetMin(TSysCall& call) { call.Dest().SetInt(Parts(call).Min); }
void GetSec(TSysCall& call) { call.Dest().SetInt(Parts(call).Sec); }
void GetWeek(TSysCall& call) { call.Dest().SetInt(Parts(call).Week); }
void GetWeekStr(TSysCall& call) { call.Dest().SetStr(kWeekNames[Parts(call).Week - 1]); }
void GetWeekJStr(TSysCall& call) { call.Dest().SetStr(kWeekJNames[Parts(call).Week - 1]); }

}  // namespace kova::sysfunc
