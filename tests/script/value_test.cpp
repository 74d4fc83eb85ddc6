#include "script/params.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "core/errors.h"
#include "core/stream.h"
#include "core/stream_records.h"
#include "script/param_collection.h"
#include "script/script_errors.h"
#include "script/value_text.h"
#include "script/script_test_util.h"
#include "support/le_writer.h"
#include "support/record_round_trip.h"

namespace kova {
namespace {

using test::ErrorOf;
using test::HexBytes;
using test::LeWriter;
using test::StreamBytes;

std::unique_ptr<TCustomParam> MakeInt(int32_t v) { auto p = std::make_unique<TParamInt>(); p->SetInt(v); return p; }
std::unique_ptr<TCustomParam> MakeFloat(long double v) { auto p = std::make_unique<TParamFloat>(); p->SetFloat(v); return p; }
std::unique_ptr<TCustomParam> MakeFlag(bool v) { auto p = std::make_unique<TParamFlag>(); p->SetFlag(v); return p; }
std::unique_ptr<TCustomParam> MakeStr(std::string v) { auto p = std::make_unique<TParamStr>(); p->SetStr(v); return p; }

// Every stored type read as every type.
TEST(ScriptValue, ConversionTable) {
  static constexpr long double inf = std::numeric_limits<long double>::infinity();
  struct Case {
    std::function<std::unique_ptr<TCustomParam>()> make;
    int32_t i;
    long double f;
    bool b;
    std::string s;
  } cases[] = {
      {[] { return MakeInt(0); }, 0, 0.0L, false, "0"},
      {[] { return MakeInt(-5); }, -5, -5.0L, true, "-5"},
      {[] { return MakeInt(INT32_MAX); }, INT32_MAX, 2147483647.0L, true, "2147483647"},
      {[] { return MakeFloat(2.9L); }, 2, 2.9L, true, "2.9"},
      {[] { return MakeFloat(-2.9L); }, -2, -2.9L, true, "-2.9"},
      {[] { return MakeFloat(3E10L); }, -64771072, 3E10L, true, "30000000000"},
      {[] { return MakeFloat(1E15L); }, int32_t(uint32_t(1000000000000000ull)), 1E15L, true, "1E15"},
      {[] { return MakeFloat(1.5E-5L); }, 0, 1.5E-5L, true, "1.5E-5"},
      {[] { return MakeFloat(0.0001L); }, 0, 0.0001L, true, "0.0001"},
      {[] { return MakeFloat(2.5L); }, 2, 2.5L, true, "2.5"},
      {[] { return MakeFloat(-3.0L); }, -3, -3.0L, true, "-3"},
      {[] { return MakeFloat(1.0L / 3); }, 0, 1.0L / 3, true, "0.333333333333333"},
      {[] { return MakeFloat(-2.0L / 3 * 1E20L); }, FloatToScriptInt(-2.0L / 3 * 1E20L), -2.0L / 3 * 1E20L, true, "-6.66666666666667E19"},
      {[] { return MakeFloat(123456789012345.6L); }, FloatToScriptInt(123456789012345.6L), 123456789012345.6L, true, "123456789012346"},
      {[] { return MakeFloat(999999999999999.9L); }, FloatToScriptInt(999999999999999.9L), 999999999999999.9L, true, "1E15"},
      {[] { return MakeFloat(0.0); }, 0, 0.0L, false, "0"},
      {[] { return MakeFloat(inf); }, 0, inf, true, "INF"},
      {[] { return MakeFloat(-inf); }, 0, -inf, true, "-INF"},
      {[] { return MakeFloat(9223372036854775808.0L); }, 0, 9223372036854775808.0L, true, "9.22337203685478E18"},
      {[] { return MakeFlag(true); }, 1, 1.0L, true, "TRUE"},
      {[] { return MakeFlag(false); }, 0, 0.0L, false, "FALSE"},
      {[] { return MakeStr("  12"); }, 12, 12.0L, false, "  12"},
      {[] { return MakeStr("12a"); }, 0, 0.0L, false, "12a"},
      {[] { return MakeStr("$1F"); }, 31, 0.0L, false, "$1F"},
      {[] { return MakeStr("1.5"); }, 0, 1.5L, false, "1.5"},
      {[] { return MakeStr("TRUE"); }, 0, 0.0L, true, "TRUE"},
      {[] { return MakeStr("true"); }, 0, 0.0L, false, "true"},
      {[] { return MakeStr("True"); }, 0, 0.0L, false, "True"},
  };
  for (const auto& c : cases) {
    auto p = c.make();
    SCOPED_TRACE(c.s);
    EXPECT_EQ(p->GetInt(), c.i);
    if (std::isnan(c.f)) {
      EXPECT_TRUE(std::isnan(p->GetFloat()));
    } else {
      EXPECT_EQ(p->GetFloat(), c.f);
    }
    EXPECT_EQ(p->GetFlag(), c.b);
    EXPECT_EQ(p->GetStr(), c.s);
    // The element operations convert the same way.
    EXPECT_EQ(p->GetIntAt(0), c.i);
    EXPECT_EQ(p->GetStrAt(0), c.s);
  }
  auto nan = MakeFloat(std::numeric_limits<long double>::quiet_NaN());
  EXPECT_EQ(nan->GetInt(), 0);
  EXPECT_EQ(nan->GetStr(), "NAN");
}

TEST(ScriptValue, IntegerParse) {
  struct Case {
    const char* text;
    bool ok;
    int32_t value;
  } cases[] = {
      {"12", true, 12}, {"  12", true, 12}, {"+3", true, 3}, {"-2147483648", true, INT32_MIN},
      {"2147483647", true, INT32_MAX}, {"2147483648", false, 0}, {"-2147483649", false, 0},
      {"$1F", true, 31}, {"x1f", true, 31}, {"X10", true, 16}, {"0x10", true, 16}, {"0X10", true, 16},
      {"-$10", true, -16}, {"$FFFFFFFF", true, -1}, {"$100000000", false, 0}, {"12a", false, 0},
      {"12 ", false, 0}, {"", false, 0}, {"  ", false, 0}, {"-", false, 0}, {"$", false, 0},
      {"0x", false, 0}, {"1.5", false, 0}, {"007", true, 7},
  };
  for (const auto& c : cases) {
    int32_t v = 99;
    EXPECT_EQ(TryParseScriptInt(c.text, v), c.ok) << c.text;
    EXPECT_EQ(ParseScriptInt(c.text), c.value) << c.text;
    if (!c.ok) {
      EXPECT_EQ(v, 99) << c.text;
    }
  }
}

TEST(ScriptValue, FloatParse) {
  struct Case {
    const char* text;
    bool ok;
    long double value;
  } cases[] = {
      {"1.5", true, 1.5L}, {" 1.5 ", true, 1.5L}, {"-2.5e3", true, -2500.0L}, {"+4E-2", true, 0.04L},
      {".5", true, 0.5L}, {"5.", true, 5.0L}, {"12", true, 12.0L}, {".", false, 0}, {"1e", false, 0},
      {"1E+", false, 0}, {"1.2.3", false, 0}, {"inf", false, 0}, {"nan", false, 0}, {"0x10", false, 0},
      {"$10", false, 0}, {"1e5000", false, 0}, {"", false, 0}, {"1 5", false, 0},
  };
  for (const auto& c : cases) {
    long double v = 99;
    EXPECT_EQ(TryParseScriptFloat(c.text, v), c.ok) << c.text;
    EXPECT_EQ(ParseScriptFloat(c.text), c.value) << c.text;
  }
}

TEST(ScriptValue, StoringConverts) {
  TParamInt i;
  i.SetFloat(2.9L);
  EXPECT_EQ(i.GetInt(), 2);
  i.SetStr("x");
  EXPECT_EQ(i.GetInt(), 0);
  i.SetFlag(true);
  EXPECT_EQ(i.GetInt(), 1);
  TParamFloat f;
  f.SetStr("1.5");
  EXPECT_EQ(f.GetFloat(), 1.5L);
  f.SetStr("abc");
  EXPECT_EQ(f.GetFloat(), 0.0L);
  TParamFlag b;
  b.SetInt(5);
  EXPECT_TRUE(b.GetFlag());
  b.SetFloat(0.0L);
  EXPECT_FALSE(b.GetFlag());
  b.SetStr("TRUE");
  EXPECT_TRUE(b.GetFlag());
  b.SetStr("1");
  EXPECT_FALSE(b.GetFlag());
  TParamStr s;
  s.SetFloat(2.5L);
  EXPECT_EQ(s.GetStr(), "2.5");
  s.SetFlag(false);
  EXPECT_EQ(s.GetStr(), "FALSE");
  s.SetInt(-7);
  EXPECT_EQ(s.GetStr(), "-7");
}

TEST(ScriptValue, FactoryMasksTheCode) {
  EXPECT_EQ(CreateParamByType(1)->TypeCode(), PT_INT);
  EXPECT_EQ(CreateParamByType(128 + 4)->TypeCode(), PT_STR);
  EXPECT_NE(CreateParamByType(0)->AsVar(), nullptr);
  EXPECT_EQ(CreateParamByType(0)->TypeCode(), PT_NONE);
  EXPECT_EQ(CreateParamByType(5), nullptr);
  EXPECT_EQ(CreateParamByType(127), nullptr);
  auto p = CreateParamByType(2);
  EXPECT_EQ(p->Count(), 1);
  EXPECT_EQ(p->GetFloat(), 0.0L);
  EXPECT_FALSE(p->HasDims());
}

TEST(ScriptValue, Dimensions) {
  TParamInt v;
  EXPECT_EQ(v.DimCount(), 1);
  EXPECT_EQ(v.Dim(0), 1);
  EXPECT_EQ(v.Dim(5), 1);
  v.SetInt(42);
  const int32_t d3[] = {3};
  v.SetDims(d3);
  EXPECT_EQ(v.Count(), 3);
  EXPECT_EQ(v.GetIntAt(0), 42);
  EXPECT_EQ(v.GetIntAt(2), 0);

  const int32_t d23[] = {2, 3};
  v.SetDims(d23);
  EXPECT_EQ(v.Count(), 6);
  EXPECT_EQ(v.DimCount(), 2);
  EXPECT_EQ(v.Dim(1), 3);
  const int32_t idx[] = {1, 2};
  EXPECT_EQ(FlatIndex(v.DimList(), idx), 5);
  v.SetIntAt(5, 9);
  EXPECT_EQ(v.GetIntAt(5), 9);

  // A bad size changes nothing at all: neither the count nor the dimension list.
  const int32_t bad[] = {4, 0};
  const std::string size_error = MsgText(TMsg::ParamSizeError);
  EXPECT_EQ(ErrorOf<EScriptError>([&] { v.SetDims(bad); }), size_error);
  EXPECT_EQ(v.Count(), 6);
  EXPECT_EQ(v.DimCount(), 2);
  EXPECT_EQ(v.Dim(0), 2);
  const int32_t huge[] = {65536, 65536};
  EXPECT_EQ(ErrorOf<EScriptError>([&] { v.SetDims(huge); }), size_error);
  EXPECT_EQ(v.Count(), 6);

  const std::string index_error = MsgText(TMsg::ParamIndexError);
  EXPECT_EQ(ErrorOf<EScriptError>([&] { v.GetIntAt(6); }), index_error);
  EXPECT_EQ(ErrorOf<EScriptError>([&] { v.SetStrAt(-1, "x"); }), index_error);

  v.SetInt(7);  // a scalar store makes it a scalar
  EXPECT_EQ(v.Count(), 1);
  EXPECT_FALSE(v.HasDims());
  EXPECT_EQ(v.GetInt(), 7);
}

TEST(ScriptValue, FillsActOnTheirOwnTypeOnly) {
  TParamStr s;
  const int32_t d[] = {3};
  s.SetDims(d);
  s.FillInt(5);
  EXPECT_EQ(s.GetStrAt(1), "");
  s.FillStr("a");
  EXPECT_EQ(s.GetStrAt(2), "a");
  TParamFloat f;
  f.SetDims(d);
  f.FillFloat(1.5L);
  f.FillFlag(true);
  EXPECT_EQ(f.GetFloatAt(2), 1.5L);
}

TEST(ScriptValue, CopyMemAndAssignConverted) {
  TParamInt a, b;
  const int32_t d[] = {2, 2};
  b.SetDims(d);
  b.FillInt(3);
  a.CopyMem(b);
  EXPECT_EQ(a.Count(), 4);
  EXPECT_EQ(a.Dim(1), 2);
  EXPECT_EQ(a.GetIntAt(3), 3);

  TParamStr s;
  EXPECT_EQ(ErrorOf<EScriptError>([&] { s.CopyMem(b); }), MsgText(TMsg::ParamCopyMemTypeError));
  EXPECT_EQ(s.Count(), 1);

  // A scalar source yields one element and a one-entry dimension list.
  TParamInt scalar;
  scalar.SetInt(9);
  s.AssignConverted(scalar);
  EXPECT_EQ(s.GetStr(), "9");
  EXPECT_TRUE(s.HasDims());
  s.AssignConverted(b);
  EXPECT_EQ(s.Count(), 4);
  EXPECT_EQ(s.GetStrAt(2), "3");
}

TEST(ScriptValue, IndexOfStr) {
  TParamStr v;
  const int32_t d[] = {3};
  v.SetDims(d);
  v.SetStrAt(0, "ABC");
  v.SetStrAt(1, "xbx");
  v.SetStrAt(2, "\x83\x41");  // a katakana whose trail byte is "A"
  EXPECT_EQ(v.IndexOfStr("b", false, true), 0);
  EXPECT_EQ(v.IndexOfStr("b", true, true), 1);
  EXPECT_EQ(v.IndexOfStr("abc", true, false), -1);
  EXPECT_EQ(v.IndexOfStr("abc", false, false), 0);
  EXPECT_EQ(v.IndexOfStr("ab", false, false), -1);
  // The trail byte is neither folded nor found as a character of its own.
  EXPECT_EQ(v.IndexOfStr("\x83\x61", false, false), -1);
  EXPECT_EQ(v.IndexOfStr("a", false, true), 0);
  v.SetStrAt(0, "");
  EXPECT_EQ(v.IndexOfStr("a", false, true), -1);
  EXPECT_EQ(v.IndexOfStr("\x83\x41", true, false), 2);

  // Numbers are matched by their string forms.
  TParamInt n;
  n.SetDims(d);
  n.SetIntAt(1, 22);
  EXPECT_EQ(n.IndexOfStr("22", true, false), 1);
  EXPECT_EQ(TParamVar().IndexOfStr("0", true, false), -1);
}

// ---- stream form ----

std::vector<uint8_t> Saved(const TCustomParam& p) {
  TMemoryStream s;
  p.SaveToStream(s);
  return StreamBytes(s);
}

TEST(ScriptValueStream, GoldenForms) {
  TParamInt i;
  i.SetInt(-2);
  EXPECT_EQ(Saved(i), HexBytes("00000000 01000000 FEFFFFFF"));

  TParamFloat f;
  const int32_t d23[] = {2, 3};
  f.SetDims(d23);
  f.SetFloatAt(1, 1.0L);
  f.SetFloatAt(5, 2.5L);
  LeWriter w;
  w.I32(2).I32(2).I32(3).I32(6).Ext(0.0L).Ext(1.0L).Ext(0.0L).Ext(0.0L).Ext(0.0L).Ext(2.5L);
  EXPECT_EQ(Saved(f), w.Bytes());

  TParamStr s;
  const int32_t d2[] = {2};
  s.SetDims(d2);
  s.SetStrAt(0, "ab");
  EXPECT_EQ(Saved(s), HexBytes("01000000 02000000 02000000 02000000 6162 00000000"));

  TParamFlag b;
  b.SetFlag(true);
  EXPECT_EQ(Saved(b), HexBytes("00000000 01000000 01"));

  TParamVar v;
  v.VarName = "x";
  v.ElementIndex = 3;
  EXPECT_EQ(Saved(v), HexBytes("00000000 01000000 78 00000000 00 03000000"));
}

TEST(ScriptValueStream, RoundTripsEveryTypeBitExactly) {
  // pi, 1.0, a denormal, -0.0, +infinity and a quiet NaN with a payload, as stored bytes.
  const std::vector<uint8_t> form = HexBytes(
      "01000000 06000000 06000000"
      "35C26821A2DA0FC9 0040"
      "0000000000000080 FF3F"
      "0100000000000000 0000"
      "0000000000000000 0080"
      "0000000000000080 FF7F"
      "34120000000000C0 FFFF");
  TSpanStream in(form);
  TParamFloat f;
  f.LoadFromStream(in);
  EXPECT_EQ(f.Count(), 6);
  EXPECT_EQ(f.GetFloatAt(1), 1.0L);
  EXPECT_TRUE(std::signbit(f.GetFloatAt(3)));
  EXPECT_EQ(Saved(f), form);

  for (auto make : {+[] { auto p = std::make_unique<TParamStr>(); p->SetStr("\x82\xA0z"); return std::unique_ptr<TCustomParam>(std::move(p)); },
                    +[] { return std::unique_ptr<TCustomParam>(MakeInt(INT32_MIN)); },
                    +[] { return std::unique_ptr<TCustomParam>(MakeFlag(true)); }}) {
    auto p = make();
    auto bytes = Saved(*p);
    TSpanStream s(bytes);
    auto q = CreateParamByType(p->TypeCode());
    q->LoadFromStream(s);
    EXPECT_EQ(q->GetStr(), p->GetStr());
    EXPECT_EQ(Saved(*q), bytes);
  }
}

TEST(ScriptValueStream, EveryKindBothWaysAgainstGoldenBytes) {
  struct Case {
    const char* name;
    int32_t type;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"integer", PT_INT, HexBytes("00000000 01000000 FEFFFFFF")},
      {"integer array", PT_INT, HexBytes("02000000 02000000 01000000 02000000 07000000 08000000")},
      {"real", PT_FLOAT, LeWriter().I32(1).I32(2).I32(2).Ext(1.0L).Ext(-2.5L).Bytes()},
      {"flag", PT_BOOL, HexBytes("00000000 01000000 01")},
      {"string array", PT_STR, HexBytes("01000000 02000000 02000000 02000000 6162 00000000")},
      {"reference", PT_NONE, HexBytes("00000000 01000000 78 00000000 01 03000000")},
      {"reference with sizes", PT_NONE, HexBytes("01000000 04000000 00000000 00000000 00 00000000")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<TCustomParam> value;
    test::ExpectRecordRoundTrip(
        c.bytes,
        [&](TStream& s) {
          value = CreateParamByType(c.type);
          value->LoadFromStream(s);
        },
        [&](TStream& s) { value->SaveToStream(s); });
  }
  // A loaded reference is unbound until the store rebinds it (the store's section test saves it
  // bound): the bound name it read is kept for that.
  const std::vector<uint8_t> bound = HexBytes("00000000 01000000 78 01000000 79 01 03000000");
  TSpanStream in(bound);
  TParamVar ref;
  ref.LoadFromStream(in);
  EXPECT_EQ(ref.VarName, "x");
  EXPECT_EQ(ref.LoadedBoundName(), "y");
  EXPECT_EQ(ref.RefFlag, 1);
  EXPECT_EQ(ref.ElementIndex, 3);
}

TEST(ScriptValueStream, RejectsInconsistentForms) {
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"count differs from product", HexBytes("01000000 03000000 02000000 0100000002000000")},
      {"negative dimension count", HexBytes("FFFFFFFF 01000000 00000000")},
      {"zero size", HexBytes("01000000 00000000 00000000")},
      {"count past the end", HexBytes("00000000 FFFFFF0F 01000000")},
      {"negative count", HexBytes("00000000 FEFFFFFF")},
      {"truncated element", HexBytes("00000000 01000000 0100")},
  };
  for (const auto& c : cases) {
    TSpanStream s(c.bytes);
    TParamInt v;
    v.SetInt(5);
    EXPECT_THROW(v.LoadFromStream(s), EReadError) << c.name;
    EXPECT_EQ(v.GetInt(), 5) << c.name;
    EXPECT_EQ(v.Count(), 1) << c.name;
  }
  const std::vector<uint8_t> long_string = HexBytes("00000000 01000000 10000000 6162");
  TSpanStream s(long_string);
  TParamStr str;
  EXPECT_THROW(str.LoadFromStream(s), EReadError);

  // No elements at all loads one default element.
  const std::vector<uint8_t> empty = HexBytes("00000000 00000000");
  TSpanStream e(empty);
  TParamStr v;
  v.SetStr("x");
  v.LoadFromStream(e);
  EXPECT_EQ(v.Count(), 1);
  EXPECT_EQ(v.GetStr(), "");
}

// ---- references ----

TEST(ScriptReference, ForwardsToTheBoundVariable) {
  TParamCollection store;
  TParamCollectionItem* a = store.Declare("a", PT_INT, TVarScope::Global);
  const int32_t d[] = {2, 3};
  a->SetDims(d);
  TParamVar ref;
  EXPECT_EQ(ref.TypeCode(), PT_NONE);
  ref.SetInt(5);  // unbound: ignored
  EXPECT_EQ(ref.GetStr(), "");
  ref.Bind(a);
  ref.ElementIndex = 4;
  ref.SetStr("12");
  EXPECT_EQ(a->GetIntAt(4), 12);
  EXPECT_EQ(a->Count(), 6);  // the variable keeps its dimensions
  EXPECT_EQ(ref.GetInt(), 12);
  EXPECT_EQ(ref.GetIntAt(0), 0);
  EXPECT_EQ(ref.TypeCode(), PT_INT);
  EXPECT_EQ(ref.DimCount(), 2);
  ref.FillInt(1);
  EXPECT_EQ(a->GetIntAt(5), 1);
}

TEST(ScriptReference, BecomesUnboundWhenItsVariableGoes) {
  TParamCollection store;
  store.CurrentDepth = 1;
  TParamCollectionItem* x = store.Declare("x", PT_INT, TVarScope::Local);
  x->SetInt(3);
  TParamVar r1, r2;
  r1.Bind(x);
  r2.Bind(x);
  EXPECT_EQ(r2.GetInt(), 3);
  store.FreeDepth(1);
  EXPECT_EQ(r1.BoundItem(), nullptr);
  EXPECT_EQ(r2.BoundItem(), nullptr);
  EXPECT_EQ(r1.GetInt(), 0);
}

}  // namespace
}  // namespace kova
