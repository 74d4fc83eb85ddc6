// Numeric and date system functions.
#include <gtest/gtest.h>

#include <set>

#include "script/script_ports.h"
#include "script/sysfunc_random.h"
#include "script/sysfunc_rig.h"

namespace kova {
namespace {

using test::Af;
using test::Ai;
using test::Ab;
using test::Ar;
using test::As;
using test::Msg;
using test::SysFuncRig;
using F = TSysFunc;

constexpr long double kTwo63 = 9223372036854775808.0L;

TEST(SysFuncNumeric, Table) {
  SysFuncRig rig;
  rig.Var("fv", PT_FLOAT);
  const std::string float_error = "!" + MsgText(TMsg::ExprFloatError);
  test::RunRows(rig, {
      {F::Int, {Af(2.9L)}, "2"},
      {F::Int, {Af(-2.9L)}, "-2"},
      {F::Int, {As("1.5")}, "1"},
      {F::Int, {Af(3E10L)}, "-64771072"},
      {F::Float, {Ai(3)}, "3"},
      {F::Float, {As("2.5")}, "2.5"},
      {F::Sin, {Af(0)}, "0"},
      {F::Cos, {Af(0)}, "1"},
      {F::Sin, {Af(kTwo63)}, "0"},
      {F::Cos, {Af(-kTwo63)}, "0"},
      {F::Tan, {Af(kTwo63)}, "0"},
      {F::ArcSin, {Af(1)}, "1.5707963267949"},
      {F::ArcSin, {Af(2)}, float_error},
      {F::ArcCos, {Af(-2)}, float_error},
      {F::ArcTan, {Af(1)}, "0.785398163397448"},
      {F::ArcTan2, {Af(0), Af(0)}, "0"},
      {F::ArcTan2, {Af(0), Af(-1)}, "3.14159265358979"},
      {F::ArcTan2, {Af(-1), Af(0)}, "-1.5707963267949"},
      {F::Hypot, {Af(3), Af(4)}, "5"},
      {F::Hypot, {Af(1E4932L), Af(1E4932L)}, float_error},
      {F::Abs, {Ai(INT32_MIN)}, "-2147483648"},
      {F::Abs, {Ai(-5)}, "5"},
      {F::Fabs, {Af(-2.5L)}, "2.5"},
      {F::Min, {Ai(3), Ai(-1)}, "-1"},
      {F::Max, {Ai(3), Ai(-1)}, "3"},
      {F::Fmin, {Af(1.5L), Ai(2)}, "1.5"},
      {F::Fmax, {Af(1.5L), Ai(2)}, "2"},
      {F::GetVarType, {Ai(1)}, "1"},
      {F::GetVarType, {Af(1)}, "2"},
      {F::GetVarType, {Ab(true)}, "3"},
      {F::GetVarType, {As("1")}, "4"},
      {F::GetVarType, {Ar("fv")}, "2"},
      {F::Random, {Ai(0)}, "0"},
      {F::Random, {Ai(-3)}, "0"},
      {F::Random, {Ai(1)}, "0"},
  });
}

TEST(SysFuncNumeric, RandomStaysInRangeAndRepeatsFromASeed) {
  SysFuncRig rig;
  auto draws = [&rig] {
    std::vector<std::string> out;
    for (int k = 0; k < 200; ++k) out.push_back(rig.Call(F::Random, {Ai(7)}));
    return out;
  };
  rig.store.Ports().random.seed(42);
  const std::vector<std::string> first = draws();
  rig.store.Ports().random.seed(42);
  EXPECT_EQ(draws(), first);
  std::set<std::string> seen(first.begin(), first.end());
  EXPECT_EQ(seen, (std::set<std::string>{"0", "1", "2", "3", "4", "5", "6"}));
}

TEST(SysFuncDate, Table) {
  SysFuncRig rig;
  // 2000-01-01 is day 36526, a Saturday; 18:30:15 is 66615 seconds into the day.
  const long double evening = 36526.0L + 66615.0L / 86400.0L;
  test::RunRows(rig, {
      {F::EncodeDate, {Ai(1899), Ai(12), Ai(30)}, "0"},
      {F::EncodeDate, {Ai(2000), Ai(1), Ai(1)}, "36526"},
      {F::EncodeDate, {Ai(2000), Ai(2), Ai(29)}, "36585"},
      {F::EncodeDate, {Ai(1), Ai(1), Ai(1)}, "-693593"},
      {F::EncodeDate, {Ai(1900), Ai(2), Ai(29)}, "!" + Msg(TMsg::SysFuncBadDate, "EncodeDate")},
      {F::EncodeDate, {Ai(2001), Ai(2), Ai(29)}, "!" + Msg(TMsg::SysFuncBadDate, "EncodeDate")},
      {F::EncodeDate, {Ai(0), Ai(1), Ai(1)}, "!" + Msg(TMsg::SysFuncBadDate, "EncodeDate")},
      {F::EncodeDate, {Ai(2000), Ai(13), Ai(1)}, "!" + Msg(TMsg::SysFuncBadDate, "EncodeDate")},
      {F::EncodeDate, {Ai(2000), Ai(4), Ai(31)}, "!" + Msg(TMsg::SysFuncBadDate, "EncodeDate")},
      {F::EncodeTime, {Ai(12), Ai(0), Ai(0)}, "0.5"},
      {F::EncodeTime, {Ai(6), Ai(0), Ai(0)}, "0.25"},
      {F::EncodeTime, {Ai(24), Ai(0), Ai(0)}, "!" + Msg(TMsg::SysFuncBadTime, "EncodeTime")},
      {F::EncodeTime, {Ai(0), Ai(60), Ai(0)}, "!" + Msg(TMsg::SysFuncBadTime, "EncodeTime")},
      {F::EncodeTime, {Ai(0), Ai(0), Ai(-1)}, "!" + Msg(TMsg::SysFuncBadTime, "EncodeTime")},
      {F::GetWeek, {Af(36526)}, "7"},
      {F::GetWeekStr, {Af(36526)}, "Saturday"},
      {F::GetWeekJStr, {Af(36526)}, "\x93\x79"},
      {F::GetWeek, {Af(36527)}, "1"},
      {F::GetWeekStr, {Af(36527)}, "Sunday"},
      {F::GetWeekJStr, {Af(36527)}, "\x93\xFA"},
      {F::GetWeekJStr, {Af(36532)}, "\x8B\xE0"},  // Friday
      {F::GetWeek, {Af(0)}, "7"},
      {F::GetYear, {Af(evening)}, "2000"},
      {F::GetMonth, {Af(evening)}, "1"},
      {F::GetDay, {Af(evening)}, "1"},
      {F::GetHour, {Af(evening)}, "18"},
      {F::GetMin, {Af(evening)}, "30"},
      {F::GetSec, {Af(evening)}, "15"},
      {F::GetDay, {Af(36585)}, "29"},
      {F::GetMonth, {Af(36585)}, "2"},
  });
}

TEST(SysFuncDate, DecodeWritesTheVariables) {
  SysFuncRig rig;
  TParamCollectionItem* a = rig.Var("a", PT_INT);
  TParamCollectionItem* b = rig.Var("b", PT_INT);
  TParamCollectionItem* c = rig.Var("c", PT_STR);
  TParamCollectionItem* dest = rig.Var("d", PT_INT);
  dest->SetInt(9);
  auto abc = [&] { return a->GetStr() + "|" + b->GetStr() + "|" + c->GetStr(); };
  // 2000-02-29 12:34:56.789: the milliseconds are dropped, not rounded.
  const long double t = 36585.0L + (45296.0L + 0.789L) / 86400.0L;
  EXPECT_EQ(rig.CallInto(*dest, F::DecodeDate, {test::Af(t), Ar("a"), Ar("b"), Ar("c")}), "");
  EXPECT_EQ(abc(), "2000|2|29");
  EXPECT_EQ(rig.CallInto(*dest, F::DecodeTime, {test::Af(t), Ar("a"), Ar("b"), Ar("c")}), "");
  EXPECT_EQ(abc(), "12|34|56");
  // Before 1899-12-30 the date counts back and the time of day forward.
  EXPECT_EQ(rig.CallInto(*dest, F::DecodeDate, {test::Af(-1.25L), Ar("a"), Ar("b"), Ar("c")}), "");
  EXPECT_EQ(abc(), "1899|12|29");
  EXPECT_EQ(rig.CallInto(*dest, F::DecodeTime, {test::Af(-1.25L), Ar("a"), Ar("b"), Ar("c")}), "");
  EXPECT_EQ(abc(), "6|0|0");
  EXPECT_EQ(dest->GetInt(), 9);
}

}  // namespace
}  // namespace kova
