// Array and variable system functions: dimension lists, element moves that stay inside the
// array, a variable given as both source and destination, and constants in var positions.
#include <gtest/gtest.h>

#include "script/sysfunc_rig.h"

namespace kova {
namespace {

using test::Ab;
using test::Ai;
using test::Ar;
using test::As;
using test::Msg;
using test::SysFuncRig;
using F = TSysFunc;

const std::string kSizeError = MsgText(TMsg::ParamSizeError);

TEST(SysFuncArray, DimensionsFillAndCopyMem) {
  SysFuncRig rig;
  TParamCollectionItem* v = rig.Var("v", PT_INT);
  EXPECT_EQ(rig.Call(F::SetArray, {Ar("v"), Ai(3), Ai(4)}), "0");
  EXPECT_EQ(rig.Call(F::GetArraySize, {Ar("v"), Ai(0)}), "4");
  EXPECT_EQ(rig.Call(F::GetArraySize, {Ar("v"), Ai(1)}), "3");
  EXPECT_EQ(rig.Call(F::GetArraySize, {Ar("v")}), "12");
  // A size below 1 changes nothing.
  EXPECT_EQ(rig.Call(F::SetArray, {Ar("v"), Ai(2), Ai(0)}), "!" + kSizeError);
  EXPECT_EQ(v->Count(), 12);
  EXPECT_EQ(rig.Call(F::FillMem, {Ar("v"), As("7")}), "0");
  EXPECT_EQ(v->GetIntAt(0), 7);
  EXPECT_EQ(v->GetIntAt(11), 7);
  TParamCollectionItem* s = rig.Var("s", PT_STR);
  rig.Call(F::FillMem, {Ar("s"), Ai(3)});
  EXPECT_EQ(s->GetStr(), "3");

  TParamCollectionItem* w = rig.IntArray("w", {1, 2});
  rig.Var("f", PT_FLOAT);
  EXPECT_EQ(rig.Call(F::CopyMem, {Ar("v"), Ar("f")}), "!" + MsgText(TMsg::ParamCopyMemTypeError));
  EXPECT_EQ(rig.Call(F::CopyMem, {Ar("v"), Ar("w")}), "0");
  EXPECT_EQ(rig.Elements("v"), "1|2");
  EXPECT_EQ(v->DimCount(), 1);
  EXPECT_EQ(w->Count(), 2);
  EXPECT_EQ(rig.Call(F::FillMem, {Ai(1), Ai(2)}), "!" + Msg(TMsg::SysFuncVarNotFound, "FillMem"));
}

TEST(SysFuncArray, AddInsertDeleteCopy) {
  struct Case {
    const char* name;
    TSysFunc f;
    std::vector<test::Arg> args;
    std::string result;    // the function's result text
    std::string elements;  // v afterwards
  } cases[] = {
      {"append", F::AddArray, {Ar("v"), Ar("w")}, "5", "1|2|3|8|9"},
      {"append itself", F::AddArray, {Ar("v"), Ar("v")}, "6", "1|2|3|1|2|3"},
      {"append converted", F::AddArray, {Ar("v"), Ar("t")}, "5", "1|2|3|5|0"},
      {"append to 2x2", F::AddArray, {Ar("m"), Ar("w")}, "4", "1|2|3"},
      {"append a 2x2", F::AddArray, {Ar("v"), Ar("m")}, "3", "1|2|3"},
      {"insert", F::InsertArray, {Ar("v"), Ai(1), Ar("w")}, "5", "1|8|9|2|3"},
      {"insert before 0", F::InsertArray, {Ar("v"), Ai(-5), Ar("w")}, "5", "8|9|1|2|3"},
      {"insert past the end", F::InsertArray, {Ar("v"), Ai(99), Ar("w")}, "5", "1|2|3|8|9"},
      {"insert itself", F::InsertArray, {Ar("v"), Ai(1), Ar("v")}, "6", "1|1|2|3|2|3"},
      {"delete clamped", F::DeleteArray, {Ar("v"), Ai(5), Ai(10)}, "2", "1|2"},
      {"delete first", F::DeleteArray, {Ar("v"), Ai(0), Ai(1)}, "2", "2|3"},
      {"delete middle", F::DeleteArray, {Ar("v"), Ai(1), Ai(1)}, "2", "1|3"},
      {"delete negative count", F::DeleteArray, {Ar("v"), Ai(1), Ai(-2)}, "3", "1|2|3"},
      {"delete from negative index", F::DeleteArray, {Ar("v"), Ai(-4), Ai(2)}, "1", "3"},
      {"delete all", F::DeleteArray, {Ar("v"), Ai(0), Ai(3)}, "!" + kSizeError, "1|2|3"},
      {"copy", F::CopyArray, {Ar("v"), Ar("t")}, "TRUE", "5|0"},
      {"copy itself", F::CopyArray, {Ar("v"), Ar("v")}, "TRUE", "1|2|3"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SysFuncRig rig;
    rig.IntArray("v", {1, 2, 3});
    rig.IntArray("w", {8, 9});
    rig.StrArray("t", {"5", "x"});
    TParamCollectionItem* m = rig.IntArray("m", {1, 2, 3, 4});
    const int32_t two_by_two[] = {2, 2};
    m->SetDims(two_by_two);
    EXPECT_EQ(rig.Call(c.f, c.args), c.result);
    const std::string target = c.args[0].s;
    if (target == "m") {
      EXPECT_EQ(rig.Elements("m"), "1|2|3|4");
      EXPECT_EQ(m->DimCount(), 2);
    } else {
      EXPECT_EQ(rig.Elements(target), c.elements);
    }
  }
}

TEST(SysFuncArray, CopyArrayTakesTheSourceDimensions) {
  SysFuncRig rig;
  TParamCollectionItem* dest = rig.Var("dest", PT_INT);
  TParamCollectionItem* src = rig.StrArray("src", {"1", "2", "x", "4"});
  const int32_t two_by_two[] = {2, 2};
  src->SetDims(two_by_two);
  EXPECT_EQ(rig.Call(F::CopyArray, {Ar("dest"), Ar("src")}), "TRUE");
  EXPECT_EQ(rig.Elements("dest"), "1|2|0|4");
  EXPECT_EQ(dest->DimCount(), 2);
  // A constant in the var position: the call works on a copy and answers as usual.
  EXPECT_EQ(rig.Call(F::AddArray, {Ai(1), Ai(2)}), "2");
}

TEST(SysFuncArray, StringsAndArrays) {
  SysFuncRig rig;
  rig.IntArray("n", {1, 2, 3});
  rig.StrArray("abc", {"ABC", "xbx"});
  TParamCollectionItem* v = rig.Var("v", PT_STR);
  TParamCollectionItem* iv = rig.Var("iv", PT_INT);
  test::RunRows(rig, {
      {F::ArrayToString, {Ar("n")}, "1\r\n2\r\n3"},
      {F::ArrayToString, {Ar("n"), As(",")}, "1,2,3"},
      {F::ArrayToString, {Ai(5)}, "5"},
      {F::IndexOfStr, {Ar("abc"), As("b"), Ab(false), Ab(true)}, "0"},
      {F::IndexOfStr, {Ar("abc"), As("abc")}, "-1"},
      {F::IndexOfStr, {Ar("abc"), As("abc"), Ab(false)}, "0"},
      {F::IndexOfStr, {Ar("abc"), As("xbx")}, "1"},
      {F::IndexOfStr, {Ar("abc"), As("b")}, "-1"},
      {F::IndexOfStr, {Ar("n"), As("3")}, "2"},
  });
  struct Split {
    std::string text;
    std::vector<test::Arg> delim;
    std::string elements;
  } splits[] = {
      {"a\r\nb\nc\rd\r\n", {}, "a|b|c|d"},
      {"\r\n", {}, ""},
      {"a", {}, "a"},
      {"a,,b,", {As(",")}, "a||b"},
      {",a", {As(",")}, "|a"},
      {"a;b,c", {As(",;")}, "a|b|c"},
      {"ab", {As("")}, "ab"},
      // "、" (81 41) cuts only where the whole character stands, never at "A" or at "。" (81 42).
      {"x\x81\x41y\x81\x42zA", {As("\x81\x41")}, "x|y\x81\x42zA"},
      {"\x95\x5C\\a", {As("\\")}, "\x95\x5C|a"},
  };
  for (const Split& sp : splits) {
    SCOPED_TRACE(sp.text);
    std::vector<test::Arg> args = {As(sp.text), Ar("v")};
    args.insert(args.end(), sp.delim.begin(), sp.delim.end());
    EXPECT_EQ(rig.Call(F::StringToArray, args), "0");
    EXPECT_EQ(rig.Elements("v"), sp.elements);
  }
  EXPECT_EQ(v->DimCount(), 1);
  // Empty text: the dimension error before anything changes.
  EXPECT_EQ(rig.Call(F::StringToArray, {As(""), Ar("v")}), "!" + kSizeError);
  EXPECT_EQ(rig.Elements("v"), "\x95\x5C|a");
  // Pieces are stored as strings into a variable of another type.
  rig.Call(F::StringToArray, {As("4,x"), Ar("iv"), As(",")});
  EXPECT_EQ(rig.Elements("iv"), "4|0");
  EXPECT_EQ(iv->TypeCode(), PT_INT);
}

TEST(SysFuncArray, SortStr) {
  SysFuncRig rig;
  rig.StrArray("v", {"b", "A", "a", "C", "_", "", "ab"});
  EXPECT_EQ(rig.Call(F::SortStr, {Ar("v")}), "0");
  // Case folded, compared byte by byte (a prefix first), equal keys in their old order.
  EXPECT_EQ(rig.Elements("v"), "|_|A|a|ab|b|C");
  // The dimension list stays; numbers sort by their text.
  TParamCollectionItem* m = rig.IntArray("m", {10, 9, 100, -1});
  const int32_t two_by_two[] = {2, 2};
  m->SetDims(two_by_two);
  rig.Call(F::SortStr, {Ar("m")});
  EXPECT_EQ(rig.Elements("m"), "-1|10|100|9");
  EXPECT_EQ(m->DimCount(), 2);
}

TEST(SysFuncArray, VarExistsFollowsScopes) {
  SysFuncRig rig;
  rig.Var("g", PT_INT);
  rig.store.CurrentDepth = 1;
  rig.store.Declare("loc", PT_INT, TVarScope::Local);
  test::RunRows(rig, {
      {F::VarExists, {As("g")}, "TRUE"},
      {F::VarExists, {As("G")}, "TRUE"},
      {F::VarExists, {As("loc")}, "TRUE"},
      {F::VarExists, {As("nope")}, "FALSE"},
      {F::VarExists, {As("")}, "FALSE"},
  });
  rig.store.CurrentDepth = 2;
  EXPECT_EQ(rig.Call(F::VarExists, {As("loc")}), "FALSE");
}

}  // namespace
}  // namespace kova
