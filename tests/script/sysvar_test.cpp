#include "script/param_system.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <numbers>

#include "core/stream_records.h"
#include "script/datetime.h"
#include "script/param_collection.h"
#include "script/script_errors.h"
#include "support/fake_script_host.h"

namespace kova {
namespace {

using test::FakeScriptHost;

class SystemVariables : public ::testing::Test {
 protected:
  TParamCollectionItem& Var(const char* name) { return *store.FindParam(name); }

  FakeScriptHost host;
  TParamCollection store{host.Ports(), &host.Interpreter()};
};

// Reads of every system variable: {name, host state, type code, integer, string, flag}.
TEST_F(SystemVariables, ReadTable) {
  struct Case {
    const char* name;
    std::function<void(FakeScriptHost&, TParamCollection&)> setup;
    int32_t type;
    int32_t i;
    std::string s;
    bool b;
  } cases[] = {
      {"@LClick", [](auto& h, auto&) { h.lclick = true; }, PT_BOOL, 1, "TRUE", true},
      {"@RClick", [](auto&, auto&) {}, PT_BOOL, 0, "FALSE", false},
      {"@LPush", [](auto& h, auto&) { h.lpush = true; }, PT_BOOL, 1, "TRUE", true},
      {"@RPush", [](auto& h, auto&) { h.rpush = true; }, PT_BOOL, 1, "TRUE", true},
      {"@MouseX", [](auto& h, auto&) { h.mouse_x = 12; }, PT_INT, 12, "12", true},
      {"@MouseY", [](auto& h, auto&) { h.mouse_y = -3; }, PT_INT, -3, "-3", true},
      {"@TextDelay", [](auto&, auto&) {}, PT_INT, 50, "50", true},
      {"@HistoryCount", [](auto& h, auto&) { h.history_count = 4; }, PT_INT, 4, "4", true},
      {"@ParamCount", [](auto& h, auto&) { h.SetArgs({"a", "b"}); }, PT_INT, 2, "2", true},
      {"@ParamStr", [](auto& h, auto&) { h.SetArgs({"7"}); }, PT_STR, 0, "", false},
      // No event is being handled: no sender (the events tests read a real one).
      {"@Sender", [](auto&, auto&) {}, PT_STR, 0, "", false},
      {"@ScrWidth", [](auto&, auto&) {}, PT_INT, 640, "640", true},
      {"@ScrHeight", [](auto&, auto&) {}, PT_INT, 480, "480", true},
      {"@TickCount", [](auto& h, auto&) { h.Clock().GameClock = 1600; }, PT_INT, 1600, "1600", true},
      {"@PCTickCount", [](auto& h, auto&) { h.clock.SetTick(0xFFFFFFFBu); }, PT_INT, -5, "-5", true},
      {"@UpdateCount", [](auto& h, auto&) { h.Clock().UpdateCount = 99; }, PT_INT, 99, "99", true},
      // 36526.5 is 1 January 2000, 12:00, a Saturday.
      {"@Year", [](auto& h, auto&) { h.Clock().Now = 36526.5 + 61.0 / 86400; }, PT_INT, 2000, "2000", true},
      {"@Month", [](auto& h, auto&) { h.Clock().Now = 36526.5; }, PT_INT, 1, "1", true},
      {"@Day", [](auto& h, auto&) { h.Clock().Now = 36526.5; }, PT_INT, 1, "1", true},
      {"@Week", [](auto& h, auto&) { h.Clock().Now = 36526.5; }, PT_INT, 7, "7", true},
      {"@Hour", [](auto& h, auto&) { h.Clock().Now = 36526.5 + 61.0 / 86400; }, PT_INT, 12, "12", true},
      {"@Min", [](auto& h, auto&) { h.Clock().Now = 36526.5 + 61.0 / 86400; }, PT_INT, 1, "1", true},
      {"@Sec", [](auto& h, auto&) { h.Clock().Now = 36526.5 + 61.0 / 86400; }, PT_INT, 1, "1", true},
      {"@Fonts", [](auto& h, auto&) { h.SetFonts({{"B", false}, {"A", true}, {"@A", true}}); }, PT_STR, 0, "A\r\nB\r\n", true},
      {"@FixedFonts", [](auto& h, auto&) { h.SetFonts({{"B", false}, {"A", true}}); }, PT_STR, 0, "A\r\n", true},
      {"@FixedFonts", [](auto&, auto&) {}, PT_STR, 0, "", false},
      {"@FullScr", [](auto& h, auto&) { h.has_screen = h.full_screen = true; }, PT_BOOL, 1, "TRUE", true},
      {"@Cursor", [](auto&, auto& s) { s.Globals.Cursor = "12"; }, PT_STR, 12, "12", true},
      {"@SelStr", [](auto&, auto& s) { s.SelStr = "x"; }, PT_STR, 0, "x", true},
      {"@SelIndex", [](auto&, auto& s) { s.SelIndex = 2; }, PT_INT, 2, "2", true},
      {"@Pi", [](auto&, auto&) {}, PT_FLOAT, 3, "3.14159265358979", true},
      {"@CGDither", [](auto& h, auto&) { h.cg_dither = true; }, PT_BOOL, 1, "TRUE", true},
      {"@1Hour", [](auto&, auto&) {}, PT_FLOAT, 0, "0.0416666666666667", true},
      {"@1Min", [](auto&, auto&) {}, PT_FLOAT, 0, "0.000694444444444444", true},
      {"@1Sec", [](auto&, auto&) {}, PT_FLOAT, 0, "1.15740740740741E-5", true},
      {"@KeyPush", [](auto& h, auto&) { h.key_down[0] = true; }, PT_BOOL, 0, "FALSE", false},
      {"@KeyClick", [](auto&, auto&) {}, PT_BOOL, 0, "FALSE", false},
      {"@DisplayModeCount", [](auto& h, auto&) { h.mode_count = 3; }, PT_INT, 0, "0", false},
      {"@DisplayModeCount", [](auto& h, auto&) { h.has_screen = true; h.mode_count = 3; }, PT_INT, 3, "3", true},
      {"@DisplayModeIndex", [](auto& h, auto&) { h.mode_index = 2; }, PT_INT, 2, "2", true},
      {"@Title", [](auto& h, auto&) { h.title = "Game"; }, PT_STR, 0, "Game", true},
      {"@Title", [](auto& h, auto&) { h.title = "$10"; }, PT_STR, 16, "$10", true},
      {"@SoundON", [](auto&, auto&) {}, PT_BOOL, 1, "TRUE", true},
      {"@ActiveCompo", [](auto& h, auto&) { h.active_compo = "ed"; }, PT_STR, 0, "ed", true},
      {"@KeyRepeat", [](auto&, auto&) {}, PT_BOOL, 0, "FALSE", false},
      {"@HistoryMaxCount", [](auto& h, auto&) { h.history_max = 100; }, PT_INT, 100, "100", true},
      {"@MidiPort", [](auto& h, auto&) { h.midi_current = "port"; }, PT_STR, 0, "", false},
      {"@MidiPort", [](auto& h, auto&) { h.has_midi = true; h.midi_current = "port"; }, PT_STR, 0, "port", true},
      {"@MidiPorts", [](auto& h, auto&) { h.has_midi = true; h.midi_devices = {"m0", "m1"}; }, PT_STR, 0, "m0", true},
      {"@WheelDown", [](auto& h, auto&) { h.wheel_down = true; }, PT_BOOL, 1, "TRUE", true},
      {"@WheelUp", [](auto&, auto&) {}, PT_BOOL, 0, "FALSE", false},
      {"@Result", [](auto&, auto&) {}, PT_NONE, 0, "", false},
      {"@Temp", [](auto&, auto&) {}, PT_NONE, 0, "", false},
  };
  for (const auto& c : cases) {
    FakeScriptHost h;
    TParamCollection s(h.Ports(), &h.Interpreter());
    c.setup(h, s);
    TParamCollectionItem& v = *s.FindParam(c.name);
    SCOPED_TRACE(c.name);
    EXPECT_EQ(v.TypeCode(), c.type);
    EXPECT_EQ(v.GetInt(), c.i);
    EXPECT_EQ(v.GetStr(), c.s);
    EXPECT_EQ(v.GetFlag(), c.b);
    // A string system variable never yields a fraction: its float form is its integer parse.
    if (c.type == PT_STR) {
      EXPECT_EQ(v.GetFloat(), static_cast<long double>(c.i));
    }
  }
}

TEST_F(SystemVariables, Constants) {
  EXPECT_EQ(Var("@Pi").GetFloat(), std::numbers::pi_v<long double>);
  uint8_t bytes[10];
  ExtendedToBytes(Var("@Pi").GetFloat(), bytes);
  const uint8_t pi[10] = {0x35, 0xC2, 0x68, 0x21, 0xA2, 0xDA, 0x0F, 0xC9, 0x00, 0x40};
  EXPECT_EQ(std::memcmp(bytes, pi, 10), 0);
  EXPECT_EQ(Var("@1Hour").GetFloat(), static_cast<long double>(1.0 / 24));
  EXPECT_EQ(Var("@1Min").GetFloat(), static_cast<long double>(1.0 / 1440));
  EXPECT_EQ(Var("@1Sec").GetFloat(), static_cast<long double>(1.0 / 86400));
  EXPECT_EQ(Var("@Pi").GetInt(), 3);
}

// Writes: {name, host state, the write, expected host calls, check afterwards}.
TEST_F(SystemVariables, WriteTable) {
  using Write = std::function<void(TParamCollectionItem&)>;
  struct Case {
    const char* name;
    std::function<void(FakeScriptHost&)> setup;
    Write write;
    std::vector<std::string> calls;
    std::function<bool(FakeScriptHost&, TParamCollection&)> check;
  } cases[] = {
      {"@LClick", [](auto&) {}, [](auto& v) { v.SetInt(5); }, {"SetLClick 1"}, nullptr},
      {"@RClick", [](auto&) {}, [](auto& v) { v.SetStr("0"); }, {"SetRClick 0"}, nullptr},
      {"@LPush", [](auto&) {}, [](auto& v) { v.SetFlag(true); }, {}, nullptr},
      {"@MouseX", [](auto&) {}, [](auto& v) { v.SetFloat(7.9L); }, {"SetCursorX 7"}, nullptr},
      {"@MouseY", [](auto&) {}, [](auto& v) { v.SetStr("$10"); }, {"SetCursorY 16"}, nullptr},
      // A failed strict parse writes nothing.
      {"@MouseY", [](auto&) {}, [](auto& v) { v.SetStr("12a"); }, {}, nullptr},
      {"@TextDelay", [](auto&) {}, [](auto& v) { v.SetStr("30"); }, {},
       [](auto&, auto& s) { return s.Globals.TextDelay == 30; }},
      {"@ScrWidth", [](auto&) {}, [](auto& v) { v.SetInt(5); }, {}, [](auto& h, auto&) { return h.screen_width == 640; }},
      {"@FullScr", [](auto& h) { h.has_screen = h.full_screen = true; }, [](auto& v) { v.SetStr("TRUE"); },
       {"SetFullScreen 0"}, nullptr},
      {"@FullScr", [](auto& h) { h.has_screen = true; }, [](auto& v) { v.SetStr("1"); }, {"SetFullScreen 1"}, nullptr},
      {"@FullScr", [](auto& h) { h.has_screen = h.full_screen = true; }, [](auto& v) { v.SetFlag(true); }, {}, nullptr},
      {"@FullScr", [](auto&) {}, [](auto& v) { v.SetFlag(true); }, {}, nullptr},
      {"@Cursor", [](auto&) {}, [](auto& v) { v.SetFlag(true); }, {},
       [](auto&, auto& s) { return s.Globals.Cursor == "TRUE"; }},
      {"@SelStr", [](auto&) {}, [](auto& v) { v.SetFloat(2.5L); }, {}, [](auto&, auto& s) { return s.SelStr == "2.5"; }},
      {"@SelIndex", [](auto&) {}, [](auto& v) { v.SetFlag(true); }, {}, [](auto&, auto& s) { return s.SelIndex == 1; }},
      {"@Pi", [](auto&) {}, [](auto& v) { v.SetFloat(3); }, {}, [](auto&, auto& s) {
         return s.FindParam("@Pi")->GetFloat() == std::numbers::pi_v<long double>;
       }},
      {"@CGDither", [](auto&) {}, [](auto& v) { v.SetFloat(0.5L); }, {"SetCGDither 1"}, nullptr},
      {"@DisplayModeIndex", [](auto&) {}, [](auto& v) { v.SetInt(2); }, {}, nullptr},
      {"@DisplayModeIndex", [](auto& h) { h.has_screen = true; }, [](auto& v) { v.SetInt(2); },
       {"ApplyFullScreenMode 2"}, nullptr},
      {"@SoundON", [](auto&) {}, [](auto& v) { v.SetInt(0); }, {"SetSoundOn 0"}, nullptr},
      {"@ActiveCompo", [](auto&) {}, [](auto& v) { v.SetStr("ed"); }, {"FocusCompo ed"}, nullptr},
      {"@ActiveCompo", [](auto&) {}, [](auto& v) { v.SetStr(""); }, {}, nullptr},
      {"@KeyPush", [](auto&) {}, [](auto& v) { v.SetFlagAt(3, true); }, {}, nullptr},
      {"@HistoryMaxCount", [](auto&) {}, [](auto& v) { v.SetInt(-1); }, {"SetHistoryMaxCount -1"}, nullptr},
      {"@MidiPort", [](auto&) {}, [](auto& v) { v.SetStr("m1"); }, {}, nullptr},
      {"@MidiPort", [](auto& h) { h.has_midi = true; }, [](auto& v) { v.SetStr("m1"); }, {"MidiSelectDevice m1"}, nullptr},
      {"@Result", [](auto&) {}, [](auto& v) { v.SetInt(1); }, {}, nullptr},
      {"@Temp", [](auto&) {}, [](auto& v) { v.SetStr("x"); }, {}, nullptr},
      {"@WheelUp", [](auto&) {}, [](auto& v) { v.SetInt(1); }, {}, nullptr},
  };
  for (const auto& c : cases) {
    FakeScriptHost h;
    TParamCollection s(h.Ports(), &h.Interpreter());
    c.setup(h);
    SCOPED_TRACE(c.name);
    c.write(*s.FindParam(c.name));
    EXPECT_EQ(h.calls, c.calls);
    if (c.check) {
      EXPECT_TRUE(c.check(h, s));
    }
  }
}

TEST_F(SystemVariables, KeyTablesAndArrays) {
  host.key_down[65] = true;
  host.key_pressed[13] = true;
  host.key_repeat[32] = true;
  host.wheel_down = true;
  TParamCollectionItem& push = Var("@KeyPush");
  EXPECT_EQ(push.Count(), 258);
  EXPECT_EQ(push.DimCount(), 1);
  EXPECT_EQ(push.Dim(0), 258);
  EXPECT_TRUE(push.GetFlagAt(65));
  EXPECT_EQ(push.GetIntAt(65), 1);
  EXPECT_FALSE(push.GetFlagAt(66));
  EXPECT_TRUE(push.GetFlagAt(256));  // the wheel-down latch
  EXPECT_FALSE(push.GetFlagAt(257));
  EXPECT_FALSE(push.GetFlagAt(258));
  EXPECT_FALSE(push.GetFlagAt(-1));
  EXPECT_FALSE(push.GetFlag());
  EXPECT_TRUE(Var("@KeyClick").GetFlagAt(13));
  EXPECT_TRUE(Var("@KeyRepeat").GetFlagAt(32));
  EXPECT_EQ(push.IndexOfStr("TRUE", true, false), 65);

  host.SetArgs({"one", "two"});
  TParamCollectionItem& params = Var("@ParamStr");
  EXPECT_EQ(params.Count(), 2);
  EXPECT_EQ(params.Dim(0), 2);
  EXPECT_EQ(params.GetStrAt(1), "two");
  EXPECT_EQ(params.GetStrAt(5), "");
  EXPECT_EQ(params.IndexOfStr("TWO", false, false), 1);

  host.has_midi = true;
  host.midi_devices = {"m0", "m1", "m2"};
  EXPECT_EQ(Var("@MidiPorts").Count(), 3);
  EXPECT_EQ(Var("@MidiPorts").GetStrAt(2), "m2");
  host.has_midi = false;
  EXPECT_EQ(Var("@MidiPorts").Count(), 0);

  // A scalar system variable ignores the index of element operations.
  EXPECT_EQ(Var("@ScrWidth").GetIntAt(77), 640);
  EXPECT_EQ(Var("@ScrWidth").Count(), 1);
  Var("@MouseX").SetIntAt(9, 4);
  EXPECT_EQ(host.calls, std::vector<std::string>{"SetCursorX 4"});
}

TEST_F(SystemVariables, ResultAndTempForward) {
  TCustomParam& result = host.PushResult(PT_STR);
  TParamCollectionItem& r = Var("@Result");
  EXPECT_EQ(r.TypeCode(), PT_STR);
  r.SetInt(5);
  EXPECT_EQ(result.GetStr(), "5");
  const int32_t d[] = {2, 3};
  r.SetDims(d);
  EXPECT_EQ(result.Count(), 6);
  EXPECT_EQ(r.DimCount(), 2);
  r.FillStr("z");
  EXPECT_EQ(result.GetStrAt(5), "z");

  TParamCollectionItem* target = store.Declare("t", PT_FLOAT, TVarScope::Global);
  store.Globals.TempTarget = "T";
  TParamCollectionItem& temp = Var("@Temp");
  EXPECT_EQ(temp.TypeCode(), PT_FLOAT);
  temp.SetStr("1.25");
  EXPECT_EQ(target->GetFloat(), 1.25L);
  EXPECT_EQ(temp.GetStr(), "1.25");

  // A reference loop through loaded data ends in an error instead of recursing without end.
  TParamCollectionItem* loop = store.AddParam(PT_NONE);
  loop->SetName("loop");
  loop->Value().AsVar()->Bind(store.FindParam("@Temp"));
  store.Globals.TempTarget = "loop";
  EXPECT_THROW(temp.GetInt(), EScriptError);
}

TEST(DateTime, Decode) {
  TDateParts p = DecodeDateTime(0.0);
  EXPECT_EQ(p.Year, 1899);
  EXPECT_EQ(p.Month, 12);
  EXPECT_EQ(p.Day, 30);
  EXPECT_EQ(p.Week, 7);
  p = DecodeDateTime(36526.75);
  EXPECT_EQ(p.Year, 2000);
  EXPECT_EQ(p.Hour, 18);
  EXPECT_EQ(DecodeDateTime(DateToValue(2024, 2, 29)).Day, 29);
  EXPECT_EQ(DecodeDateTime(DateToValue(2024, 2, 29)).Week, 5);  // a Thursday
  EXPECT_EQ(DateToValue(2000, 1, 1), 36526.0);
  // A time that rounds up to midnight is 0:00 of the next day.
  p = DecodeDateTime(1.0 - 1e-10);
  EXPECT_EQ(p.Day, 31);
  EXPECT_EQ(p.Hour, 0);
  // Negative values count the date backwards and the time forwards.
  p = DecodeDateTime(-1.25);
  EXPECT_EQ(p.Day, 29);
  EXPECT_EQ(p.Hour, 6);
  EXPECT_EQ(DecodeDateTime(std::nan("")).Year, 1899);
}

}  // namespace
}  // namespace kova
