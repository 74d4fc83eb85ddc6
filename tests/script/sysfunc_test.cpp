#include "script/sysfunc.h"

#include <gtest/gtest.h>

#include <functional>

#include "core/format.h"
#include "script/param_collection.h"
#include "script/script_errors.h"
#include "script/script_test_util.h"

namespace kova {
namespace {

using test::B;
using test::ErrorOf;
using test::ExprBuilder;
using test::F;
using test::I;
using test::LoadExpr;
using test::S;
using test::StreamBytes;
using test::V;
using E = ExprBuilder;

TEST(SysFuncTable, ResultTypes) {
  EXPECT_EQ(SysFuncResultTypes.size(), 136u);
  struct Case {
    TSysFunc f;
    int32_t type;
  } cases[] = {
      {TSysFunc::IntToStr, PT_STR}, {TSysFunc::SetProp, PT_STR}, {TSysFunc::Delete, PT_STR},
      {TSysFunc::JInsert, PT_STR}, {TSysFunc::SetArray, PT_INT}, {TSysFunc::CopyMem, PT_INT},
      {TSysFunc::Not, PT_BOOL}, {TSysFunc::Float, PT_FLOAT}, {TSysFunc::Fabs, PT_FLOAT},
      {TSysFunc::VarExists, PT_BOOL}, {TSysFunc::EncodeDate, PT_FLOAT}, {TSysFunc::DecodeTime, PT_INT},
      {TSysFunc::GetWeekJStr, PT_STR}, {TSysFunc::GetDisplayMode, PT_BOOL}, {TSysFunc::CopyArray, PT_BOOL},
      {TSysFunc::DBGetFloat, PT_FLOAT}, {TSysFunc::DBDirectGetStr, PT_STR}, {TSysFunc::DBClearTable, PT_BOOL},
      {TSysFunc::DBGetActive, PT_STR}, {TSysFunc::DBGetRecNo, PT_INT}, {TSysFunc::Fmax, PT_FLOAT},
      {TSysFunc::SetEnabled, PT_INT}, {TSysFunc::AddDelimiter, PT_STR}, {TSysFunc::ListSaveCaption, PT_INT},
      {TSysFunc::OpenUrl, PT_BOOL},
  };
  for (const auto& c : cases) EXPECT_EQ(SysFuncResultType(Ord(c.f)), c.type) << SysFuncNames().Name(Ord(c.f));
  EXPECT_EQ(SysFuncResultType(200), PT_INT);
  EXPECT_EQ(SysFuncResultType(-1), PT_INT);
  EXPECT_EQ(SysFuncRule(Ord(TSysFunc::DBDirectSetStr)).required, 7);
  EXPECT_EQ(SysFuncRule(Ord(TSysFunc::DecodeDate)).var_out, 0b1110);
}

// The calling-rule errors, raised to the expression (which then ends silently).
TEST(SysFuncCalling, RuleErrors) {
  TParamCollection store;
  TParamCollectionItem* v = store.Declare("v", PT_INT, TVarScope::Global);
  TParamCollectionItem* dest = store.Declare("d", PT_INT, TVarScope::Global);
  dest->SetInt(5);
  auto ref = [v] {
    auto r = std::make_unique<TParamVar>();
    r->VarName = "v";
    r->Bind(v);
    return std::unique_ptr<TCustomParam>(std::move(r));
  };
  auto unbound = [] {
    auto r = std::make_unique<TParamVar>();
    r->VarName = "v";
    return std::unique_ptr<TCustomParam>(std::move(r));
  };
  auto constant = [] {
    auto c = std::make_unique<TParamInt>();
    c->SetInt(3);
    return std::unique_ptr<TCustomParam>(std::move(c));
  };
  auto not_found = [](const char* f) { return Format(MsgText(TMsg::SysFuncVarNotFound).c_str(), f); };
  const std::string too_few = MsgText(TMsg::ExprTooFewOperands);
  struct Case {
    TSysFunc f;
    std::vector<std::function<std::unique_ptr<TCustomParam>()>> args;
    std::string message;
  } cases[] = {
      {TSysFunc::GetArraySize, {constant}, not_found("GetArraySize")},
      {TSysFunc::GetArraySize, {unbound}, not_found("GetArraySize")},
      {TSysFunc::SetArray, {constant, constant}, not_found("SetArray")},
      {TSysFunc::FillMem, {constant, constant}, not_found("FillMem")},
      {TSysFunc::CopyMem, {ref, constant}, not_found("CopyMem")},
      {TSysFunc::CopyMem, {constant, ref}, not_found("CopyMem")},
      {TSysFunc::IntToStr, {}, too_few},
      {TSysFunc::Delete, {ref}, too_few},
      {TSysFunc::DBDirectGetInt, {constant, constant, constant, constant, constant, constant}, too_few},
      {TSysFunc::IntToStr, {constant, [] { auto s = std::make_unique<TParamStr>(); s->SetStr("%s");
                                          return std::unique_ptr<TCustomParam>(std::move(s)); }},
       Format(MsgText(TMsg::SysFuncBadArgument).c_str(), "IntToStr")},
  };
  for (const auto& c : cases) {
    std::vector<std::unique_ptr<TCustomParam>> args;
    for (const auto& make : c.args) args.push_back(make());
    SCOPED_TRACE(SysFuncNames().Name(Ord(c.f)));
    EXPECT_EQ(ErrorOf<EScriptError>([&] { TSysFuncMan::Execute(store, *dest, Ord(c.f), args); }), c.message);
    EXPECT_EQ(dest->GetInt(), 5);
  }
  // Ids beyond the table do nothing at all, even without arguments.
  std::vector<std::unique_ptr<TCustomParam>> none;
  TSysFuncMan::Execute(store, *dest, 200, none);
  EXPECT_EQ(dest->GetInt(), 5);
}

struct CallCase {
  const char* name;
  std::function<void(E&)> build;
  std::string text;  // the result's text; "-" for no result
};

void RunCalls(const std::vector<CallCase>& cases) {
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TParamCollection store;
    store.Declare("s", PT_STR, TVarScope::Global)->SetStr("abcdef");
    TParamCollectionItem* a = store.Declare("a", PT_INT, TVarScope::Global);
    const int32_t d[] = {3, 4};
    a->SetDims(d);
    store.Declare("d", PT_INT, TVarScope::Global)->SetInt(5);
    E e;
    c.build(e);
    auto p = LoadExpr(e);
    p->Execute(store);
    if (c.text == "-") {
      EXPECT_EQ(p->Result(), nullptr);
    } else {
      ASSERT_NE(p->Result(), nullptr);
      EXPECT_EQ(p->Result()->GetStr(), c.text);
    }
  }
}

std::function<void(E&)> Call(TSysFunc f, std::initializer_list<test::Operand> args) {
  std::vector<test::Operand> list(args);
  return [f, list](E& e) {
    switch (list.size()) {
      case 1: e.Call(static_cast<uint8_t>(Ord(f)), "____0", {list[0]}); break;
      case 2: e.Call(static_cast<uint8_t>(Ord(f)), "____0", {list[0], list[1]}); break;
      default: e.Call(static_cast<uint8_t>(Ord(f)), "____0", {list[0], list[1], list[2]}); break;
    }
    e.Result(V("____0"));
  };
}

TEST(SysFuncCalling, WiredFunctions) {
  RunCalls({
      {"IntToStr(7)", Call(TSysFunc::IntToStr, {I(7)}), "7"},
      {"IntToStr(7, 3)", Call(TSysFunc::IntToStr, {I(7), I(3)}), "007"},
      {"IntToStr(-7, 3)", Call(TSysFunc::IntToStr, {I(-7), I(3)}), "-007"},
      {"IntToStr(0, 0)", Call(TSysFunc::IntToStr, {I(0), S("0")}), "0"},
      {"IntToStr(min, 12)", Call(TSysFunc::IntToStr, {I(INT32_MIN), I(12)}), "-002147483648"},
      {"IntToStr(1, -1)", Call(TSysFunc::IntToStr, {I(1), I(-1)}), "-"},
      {"IntToStr(1, 256)", Call(TSysFunc::IntToStr, {I(1), I(256)}), "-"},
      {"Length", Call(TSysFunc::Length, {S("\x82\xA0" "a")}), "3"},
      {"Length of a number", Call(TSysFunc::Length, {F(2.5)}), "3"},
      {"Not(0)", Call(TSysFunc::Not, {I(0)}), "TRUE"},
      {"Not('TRUE')", Call(TSysFunc::Not, {S("TRUE")}), "FALSE"},
      {"GetArraySize(a)", Call(TSysFunc::GetArraySize, {V("a")}), "12"},
      {"GetArraySize(a, 0)", Call(TSysFunc::GetArraySize, {V("a"), I(0)}), "4"},
      {"GetArraySize(a, 1)", Call(TSysFunc::GetArraySize, {V("a"), I(1)}), "3"},
      {"GetArraySize(a, 2)", Call(TSysFunc::GetArraySize, {V("a"), I(2)}), "1"},
      {"GetArraySize(a, -1)", Call(TSysFunc::GetArraySize, {V("a"), I(-1)}), "1"},
      {"GetArraySize(7)", Call(TSysFunc::GetArraySize, {I(7)}), "-"},
      // A function without a result leaves a new temporary at the zero value of its type.
      {"Delete into a temporary", Call(TSysFunc::Delete, {V("s"), I(2)}), ""},
      {"AssignTemp(@Temp)", Call(TSysFunc::AssignTemp, {S("@TEMP")}), "FALSE"},
      {"AssignTemp(s)", Call(TSysFunc::AssignTemp, {S("s")}), "TRUE"},
      {"GetProp types its temporary", [](E& e) { e.Call(2, "____0", {S("x"), I(PR_VISIBLE)}).Result(V("____0")); }, "FALSE"},
      {"unknown id", [](E& e) { e.Call(200, "d", {I(1)}).Result(V("d")); }, "5"},
  });
}

TEST(SysFuncCalling, VarArguments) {
  TParamCollection store;
  TParamCollectionItem* s = store.Declare("s", PT_STR, TVarScope::Global);
  s->SetStr("abcdef");
  TParamCollectionItem* d = store.Declare("d", PT_STR, TVarScope::Global);
  d->SetStr("dest");
  // Delete(s, 2) writes into s and leaves the destination alone.
  E e;
  e.Call(Ord(TSysFunc::Delete), "d", {V("s"), I(2)});
  auto p = LoadExpr(e);
  p->Execute(store);
  EXPECT_EQ(s->GetStr(), "a");
  EXPECT_EQ(d->GetStr(), "dest");

  // Delete(s, 2, 2) on one element of an array.
  TParamCollectionItem* arr = store.Declare("arr", PT_STR, TVarScope::Global);
  const int32_t dims[] = {2};
  arr->SetDims(dims);
  arr->FillStr("wxyz");
  E el;
  el.Op(E::DimTo, "____0", {V("arr"), I(1)}).Call(Ord(TSysFunc::Delete), "d", {V("____0"), I(2), I(2)});
  auto pe = LoadExpr(el);
  pe->Execute(store);
  EXPECT_EQ(arr->GetStrAt(0), "wxyz");
  EXPECT_EQ(arr->GetStrAt(1), "wz");
  EXPECT_EQ(arr->Count(), 2);

  // A constant in a var position is written into a scratch copy: the compiled expression keeps
  // its constant, so every run sees the same text.
  E c;
  c.Call(Ord(TSysFunc::Delete), "d", {S("abcdef"), I(2)}).Call(Ord(TSysFunc::Length), "____1", {S("abcdef")})
      .Result(V("____1"));
  auto pc = LoadExpr(c);
  TMemoryStream before;
  pc->SaveToStream(before);
  for (int run = 0; run < 2; ++run) {
    pc->Execute(store);
    ASSERT_NE(pc->Result(), nullptr);
    EXPECT_EQ(pc->Result()->GetInt(), 6);
  }
  TMemoryStream after;
  pc->SaveToStream(after);
  EXPECT_EQ(StreamBytes(after), StreamBytes(before));
  EXPECT_EQ(pc->Items(0)->Operands[0]->GetStr(), "abcdef");
}

}  // namespace
}  // namespace kova
