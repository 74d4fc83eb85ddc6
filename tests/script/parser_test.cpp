#include "script/parser.h"

#include <gtest/gtest.h>

#include <functional>

#include "core/errors.h"
#include "core/stream.h"
#include "script/param_collection.h"
#include "script/script_errors.h"
#include "script/script_test_util.h"
#include "support/fake_script_host.h"
#include "support/le_writer.h"
#include "support/record_round_trip.h"

namespace kova {
namespace {

using test::B;
using test::ErrorOf;
using test::ExprBuilder;
using test::F;
using test::FRaw;
using test::HexBytes;
using test::I;
using test::LoadExpr;
using test::S;
using test::StreamBytes;
using test::V;
using E = ExprBuilder;

std::vector<uint8_t> Saved(const TKovaParser& p) {
  TMemoryStream s;
  p.SaveToStream(s);
  return StreamBytes(s);
}

TEST(ExpressionStream, WorkedBytesRoundTrip) {
  // ____arg := 1 + 2
  const std::vector<uint8_t> bytes = HexBytes(
      "02000000"
      "02 05000000 5F5F5F5F30 02000000 01 01000000 01 02000000"
      "01 07000000 5F5F5F5F617267 01000000 00 05000000 5F5F5F5F30");
  TSpanStream in(bytes);
  TKovaParser p;
  p.LoadFromStream(in);
  ASSERT_EQ(p.Count(), 2);
  EXPECT_EQ(p.Items(0)->OpCode, ocPlus);
  EXPECT_EQ(p.Items(1)->DestName, "____arg");
  EXPECT_EQ(Saved(p), bytes);
  TParamCollection store;
  p.Execute(store);
  ASSERT_NE(p.Result(), nullptr);
  EXPECT_EQ(p.Result()->TypeCode(), PT_INT);
  EXPECT_EQ(p.Result()->GetInt(), 3);
  EXPECT_EQ(store.Count(), kSysVarCount);  // the temporaries are gone
}

TEST(ExpressionStream, FunctionIdFloatsAndOddTypeBytes) {
  // A call carries its function id after the operand count; any type byte other than 1..4 names
  // a variable (and is written back as 0).
  E e;
  e.Call(20, "____0", {V("b", 7)}).Op(E::To, "x", {FRaw(false, 0x4000, 0xC90FDAA22168C235ull), B(true), S("s")});
  TKovaParser p;
  std::vector<uint8_t> bytes = e.Bytes();
  TSpanStream in(bytes);
  p.LoadFromStream(in);
  EXPECT_EQ(p.Items(0)->FuncId, 20);
  ASSERT_NE(p.Items(0)->Operands[0]->AsVar(), nullptr);
  EXPECT_EQ(p.Items(0)->Operands[0]->AsVar()->VarName, "b");
  std::vector<uint8_t> expected = bytes;
  expected[4 + 1 + 4 + 5 + 4 + 1] = 0;  // the reference's type byte
  EXPECT_EQ(Saved(p), expected);

  // Assign copies constants by value and references by name, unbound.
  TKovaParser copy;
  copy.Assign(p);
  EXPECT_EQ(Saved(copy), expected);
  EXPECT_NE(copy.Items(1)->Operands[0].get(), p.Items(1)->Operands[0].get());
}

TEST(ExpressionStream, EveryOperandKindBothWaysAgainstGoldenBytes) {
  E call;
  call.Call(20, "____0", {V("b", 0), I(-3)})
      .Op(E::To, "x", {FRaw(true, 0x3FFF, 0x8000000000000000ull), B(false), S("")});
  E empty_ops;
  empty_ops.Op(E::To, "", {});
  const std::vector<uint8_t> cases[] = {HexBytes("00000000"), call.Bytes(), empty_ops.Bytes()};
  for (const std::vector<uint8_t>& bytes : cases) {
    TKovaParser p;
    test::ExpectRecordRoundTrip(
        bytes, [&](TStream& s) { p.LoadFromStream(s); }, [&](TStream& s) { p.SaveToStream(s); });
  }
}

TEST(ExpressionStream, RejectsCorruptRecords) {
  const std::vector<std::vector<uint8_t>> cases = {
      HexBytes("FFFFFFFF"),                                   // negative count
      HexBytes("FFFFFF7F 01"),                                // count beyond the bytes
      HexBytes("01000000 01 01000000 78 FFFFFF7F"),           // operand count beyond the bytes
      HexBytes("01000000 0B 01000000 78 01000000"),           // function id missing
      HexBytes("01000000 01 01000000 78 01000000 02 000000"),  // float cut short
      HexBytes("01000000 01 05000000 78"),                    // destination cut short
  };
  for (const auto& bytes : cases) {
    TSpanStream in(bytes);
    TKovaParser p;
    EXPECT_THROW(p.LoadFromStream(in), EReadError);
  }
}

// {expression, expected result type (0: no result), expected text}.
struct EvalCase {
  const char* name;
  std::function<void(E&)> build;
  int32_t type;
  std::string text;
};

void RunEvalTable(const std::vector<EvalCase>& cases) {
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TParamCollection store;
    store.Declare("s", PT_STR, TVarScope::Global)->SetStr("abcdef");
    store.Declare("n", PT_INT, TVarScope::Global)->SetInt(7);
    E e;
    c.build(e);
    auto p = LoadExpr(e);
    p->Execute(store);
    if (c.type == 0) {
      EXPECT_EQ(p->Result(), nullptr);
      continue;
    }
    ASSERT_NE(p->Result(), nullptr);
    EXPECT_EQ(p->Result()->TypeCode(), c.type);
    EXPECT_EQ(p->Result()->GetStr(), c.text);
    EXPECT_EQ(store.Count(), kSysVarCount + 2);
  }
}

// A binary operation into a temporary, returned as the result.
std::function<void(E&)> Bin(uint8_t op, test::Operand a, test::Operand b) {
  return [=](E& e) { e.Op(op, "____0", {a, b}).Result(V("____0")); };
}

TEST(ExpressionEval, Operators) {
  RunEvalTable({
      {"empty", [](E&) {}, 0, ""},
      {"7 / 2", Bin(E::Div, I(7), I(2)), PT_INT, "3"},
      {"-7 / 2", Bin(E::Div, I(-7), I(2)), PT_INT, "-3"},
      {"7.0 / 2", Bin(E::Div, F(7), I(2)), PT_FLOAT, "3.5"},
      {"1 + 2.5", Bin(E::Plus, I(1), F(2.5)), PT_INT, "3"},
      {"2.5 + 1", Bin(E::Plus, F(2.5), I(1)), PT_FLOAT, "3.5"},
      {"'a' + 1", Bin(E::Plus, S("a"), I(1)), PT_STR, "a1"},
      {"1 + 'a'", Bin(E::Plus, I(1), S("a")), PT_INT, "1"},
      {"max + 1 wraps", Bin(E::Plus, I(INT32_MAX), I(1)), PT_INT, "-2147483648"},
      {"min - 1 wraps", Bin(E::Minus, I(INT32_MIN), I(1)), PT_INT, "2147483647"},
      {"product wraps", Bin(E::Mul, I(65536), I(65537)), PT_INT, "65536"},
      {"2.5 * 2", Bin(E::Mul, F(2.5), I(2)), PT_FLOAT, "5"},
      {"-7 mod 2", Bin(E::Mod, I(-7), I(2)), PT_INT, "-1"},
      {"7 mod -2", Bin(E::Mod, I(7), I(-2)), PT_INT, "1"},
      {"7.9 mod 2", Bin(E::Mod, F(7.75), I(2)), PT_INT, "1"},
      {"or", Bin(E::Or, I(12), I(3)), PT_INT, "15"},
      {"and", Bin(E::And, I(12), I(6)), PT_INT, "4"},
      {"xor", Bin(E::Xor, I(12), I(6)), PT_INT, "10"},
      {"1 shl 33", Bin(E::ShiftL, I(1), I(33)), PT_INT, "2"},
      {"1 shl -1", Bin(E::ShiftL, I(1), I(-1)), PT_INT, "-2147483648"},
      {"-1 shr 28", Bin(E::ShiftR, I(-1), I(28)), PT_INT, "15"},
      {"combo", Bin(E::ComboStr, I(1), F(2.5)), PT_STR, "12.5"},
      {"'abc' > 'abd'", Bin(E::Big, S("abc"), S("abd")), PT_BOOL, "FALSE"},
      {"'ab' < 'abc'", Bin(E::Small, S("ab"), S("abc")), PT_BOOL, "TRUE"},
      {"bytes compare unsigned", Bin(E::Big, S("\x82\xA0"), S("z")), PT_BOOL, "TRUE"},
      {"'a' = 'A'", Bin(E::Equal, S("a"), S("A")), PT_BOOL, "FALSE"},
      {"2 = '2.0'", Bin(E::Equal, I(2), S("2.0")), PT_BOOL, "FALSE"},
      {"2.0 = '2'", Bin(E::Equal, F(2), S("2")), PT_BOOL, "TRUE"},
      {"true > false", Bin(E::Big, B(true), I(0)), PT_BOOL, "TRUE"},
      {"3 >= 3", Bin(E::EBig, I(3), I(3)), PT_BOOL, "TRUE"},
      {"-1 <= -2", Bin(E::ESmall, I(-1), I(-2)), PT_BOOL, "FALSE"},
      {"1 <> 2", Bin(E::NEqual, I(1), I(2)), PT_BOOL, "TRUE"},
      {"var + const", Bin(E::Plus, V("N"), I(1)), PT_INT, "8"},
      {"string var", Bin(E::ComboStr, V("s"), V("n")), PT_STR, "abcdef7"},
      {"to keeps the operand's type", [](E& e) { e.Op(E::To, "____0", {V("s")}).Result(V("____0")); }, PT_STR, "abcdef"},
      {"assign into a variable", [](E& e) { e.Op(E::To, "n", {S("12")}).Result(V("n")); }, PT_INT, "12"},
  });
}

TEST(ExpressionEval, ErrorsEndTheExpressionSilently) {
  const test::Operand huge = FRaw(false, 0x7FFE, 0x8000000000000000ull);
  RunEvalTable({
      {"x / 0", Bin(E::Div, I(1), I(0)), 0, ""},
      {"x mod 0", Bin(E::Mod, I(1), I(0)), 0, ""},
      {"min / -1", Bin(E::Div, I(INT32_MIN), I(-1)), 0, ""},
      {"min mod -1", Bin(E::Mod, I(INT32_MIN), I(-1)), 0, ""},
      {"1.0 / 0", Bin(E::Div, F(1), I(0)), 0, ""},
      {"0.0 / 0", Bin(E::Div, F(0), F(0)), 0, ""},
      {"overflow", Bin(E::Mul, huge, F(4)), 0, ""},
      {"missing variable", Bin(E::Plus, V("nothing"), I(1)), 0, ""},
      {"missing destination", [](E& e) { e.Op(E::To, "nothing", {I(1)}).Result(I(2)); }, 0, ""},
      {"too few operands", [](E& e) { e.Op(E::Plus, "____0", {I(1)}).Result(V("____0")); }, 0, ""},
      {"no operands", [](E& e) { e.Op(E::To, "____0", {}).Result(V("____0")); }, 0, ""},
      {"operator 21", [](E& e) { e.Op(21, "____0", {I(1)}).Result(V("____0")); }, 0, ""},
      {"operator 0", [](E& e) { e.Op(0, "____0", {I(1)}).Result(V("____0")); }, 0, ""},
      {"GetProp id 159", [](E& e) { e.Call(2, "____0", {S("x"), I(159)}).Result(V("____0")); }, 0, ""},
      {"GetProp id -1", [](E& e) { e.Call(2, "____0", {S("x"), I(-1)}).Result(V("____0")); }, 0, ""},
  });
}

TEST(ExpressionEval, EarlierAssignmentsStayLaterOnesDoNotRun) {
  TParamCollection store;
  store.Declare("a", PT_INT, TVarScope::Global);
  store.Declare("b", PT_INT, TVarScope::Global);
  E e;
  e.Op(E::To, "a", {I(1)}).Op(E::Div, "____0", {I(1), I(0)}).Op(E::To, "b", {I(2)}).Result(V("a"));
  auto p = LoadExpr(e);
  p->Execute(store);
  EXPECT_EQ(store.FindParam("a")->GetInt(), 1);
  EXPECT_EQ(store.FindParam("b")->GetInt(), 0);
  EXPECT_EQ(p->Result(), nullptr);
  EXPECT_EQ(store.Count(), kSysVarCount + 2);
}

// Joining strings is held to the cap of built strings (64 MiB): doubling a string stops there,
// with either join operator, instead of growing without end.
TEST(ExpressionEval, JoinedStringsStopAtTheBuiltStringCap) {
  TParamCollection store;
  store.Declare("s", PT_STR, TVarScope::Global);
  for (uint8_t op : {E::Plus, E::ComboStr}) {
    store.FindParam("s")->SetStr(std::string(size_t(32) << 20, 'x'));
    E twice;
    twice.Op(op, "s", {V("s"), V("s")});
    auto p = LoadExpr(twice);
    p->Execute(store);  // 64 MiB: exactly the cap
    EXPECT_EQ(store.FindParam("s")->GetStr().size(), size_t(64) << 20);
    p->Execute(store);  // 128 MiB would be over it: the expression ends, s stays
    EXPECT_EQ(store.FindParam("s")->GetStr().size(), size_t(64) << 20);
  }
}

TEST(ExpressionEval, ArgOfTypeZeroRaisesToTheCaller) {
  TParamCollection store;
  E e;
  e.Result(V("@Result"));
  auto p = LoadExpr(e);
  EXPECT_EQ(ErrorOf<EScriptError>([&] { p->Execute(store); }),
            Format(MsgText(TMsg::ParamBadVariable).c_str(), "____arg"));
  EXPECT_EQ(store.Count(), kSysVarCount);
  // A result of an earlier run does not survive a failed one.
  E ok;
  ok.Result(I(1));
  auto q = LoadExpr(ok);
  q->Execute(store);
  ASSERT_NE(q->Result(), nullptr);
  E fail;
  fail.Op(E::Div, "____0", {I(1), I(0)}).Result(V("____0"));
  auto r = LoadExpr(fail);
  r->Execute(store);
  EXPECT_EQ(r->Result(), nullptr);
}

TEST(ExpressionEval, ElementReferences) {
  TParamCollection store;
  TParamCollectionItem* a = store.Declare("a", PT_INT, TVarScope::Global);
  const int32_t d[] = {2, 3};
  a->SetDims(d);
  // a[1, 2] := 5; ____arg := a[1, 2] + 1
  E e;
  e.Op(E::DimTo, "____0", {V("a"), I(1), I(2)})
      .Op(E::To, "____0", {I(5)})
      .Op(E::DimTo, "____1", {V("a"), I(1), I(2)})
      .Op(E::Plus, "____2", {V("____1"), I(1)})
      .Result(V("____2"));
  auto p = LoadExpr(e);
  p->Execute(store);
  EXPECT_EQ(a->GetIntAt(5), 5);
  EXPECT_EQ(a->Count(), 6);
  ASSERT_NE(p->Result(), nullptr);
  EXPECT_EQ(p->Result()->GetInt(), 6);

  // An index past the end ends the expression.
  E bad;
  bad.Op(E::DimTo, "____0", {V("a"), I(2), I(0)}).Op(E::To, "____0", {I(9)}).Result(I(1));
  auto q = LoadExpr(bad);
  q->Execute(store);
  EXPECT_EQ(q->Result(), nullptr);
  EXPECT_EQ(a->GetIntAt(0), 0);
}

TEST(ExpressionEval, TemporariesLiveOnlyInTheirEvaluation) {
  TParamCollection store;
  // A declared variable with a temporary's name is used like any other variable.
  store.Declare("____x", PT_STR, TVarScope::Global);
  E e;
  e.Op(E::Plus, "____x", {I(1), I(2)}).Op(E::Plus, "____0", {I(1), I(2)}).Result(V("____0"));
  auto p = LoadExpr(e);
  for (int run = 0; run < 3; ++run) {
    p->Execute(store);
    ASSERT_NE(p->Result(), nullptr);
    EXPECT_EQ(p->Result()->GetInt(), 3);
  }
  EXPECT_EQ(store.FindParam("____x")->GetStr(), "12");
  EXPECT_EQ(store.FindParam("____0"), nullptr);
  EXPECT_EQ(store.Count(), kSysVarCount + 1);
}

// A host whose pointer position is computed by evaluating another expression, as a system
// function or component getter might do in the middle of an evaluation.
class NestingHost : public test::FakeScriptHost {
 public:
  int32_t MouseX() const override {
    int32_t value = 0;
    if (inner && store && depth == 0) {
      ++depth;
      inner->Execute(*store);
      --depth;
      if (inner->Result()) value = inner->Result()->GetInt();
    }
    return value;
  }
  mutable int depth = 0;
  TKovaParser* inner = nullptr;
  TParamCollection* store = nullptr;
};

TEST(ExpressionEval, NestedEvaluationsShareNoTemporaries) {
  NestingHost host;
  TParamCollection store(host.Ports(), &host.Interpreter());
  host.store = &store;
  // Outer: ____0 := 10; ____1 := @MouseX + 0; ____arg := ____0 + ____1.
  E outer;
  outer.Op(E::To, "____0", {I(10)})
      .Op(E::Plus, "____1", {V("@MouseX"), I(0)})
      .Op(E::Plus, "____2", {V("____0"), V("____1")})
      .Result(V("____2"));
  // Inner: ____0 := 99; ____arg := ____0.
  E inner;
  inner.Op(E::To, "____0", {I(99)}).Result(V("____0"));
  auto po = LoadExpr(outer);
  auto pi = LoadExpr(inner);
  host.inner = pi.get();
  po->Execute(store);
  ASSERT_NE(po->Result(), nullptr);
  EXPECT_EQ(po->Result()->GetInt(), 109);

  // The same expression evaluated again from inside itself.
  host.inner = po.get();
  po->Execute(store);
  ASSERT_NE(po->Result(), nullptr);
  EXPECT_EQ(store.Count(), kSysVarCount);
}

}  // namespace
}  // namespace kova
