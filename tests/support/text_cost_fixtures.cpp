#include "support/text_cost_fixtures.h"

namespace kova::test {

PageWriter LongTextPage(uint8_t command_kind, int32_t doublings) {
  constexpr int32_t kText = 50;
  PageWriter p;
  p.VarNew("s", 4, Value(S("a")));                            // 0
  p.VarNew("i", 1, Value(I(0)));                              // 1
  p.While(Compare(ExprBuilder::Small, V("i"), I(doublings)), 6);  // 2
  p.Indent(1).Calc(Step("s", ExprBuilder::ComboStr, V("s")));  // 3
  p.Calc(Step("i", ExprBuilder::Plus, I(1)));                 // 4
  p.Indent(0).WhileLoop(NoResult(), 2);                       // 5
  p.Component(command_kind, {{0, Value(S("t"))}});
  p.SetProp(Value(S("t")), Value(I(kText)), Value(V("s")));
  p.Terminate();
  return p;
}

std::string WideTsv() {
  std::string text;
  for (int c = 0; c < 16; ++c) text += (c ? "\t" : "") + std::string("c") + std::to_string(c) + " s 65535";
  text += "\r\n";
  while (text.size() + 3 <= 1311) text += "\t\r\n";
  return text;
}

PageWriter TsvSavePage(const std::string& tsv_file) {
  constexpr uint8_t kCreateTable = 87, kLoadTsvFile = 107;
  PageWriter p;
  p.Calc(ExprBuilder().Call(kCreateTable, "____0", {S("items"), I(0)}));
  p.Calc(ExprBuilder().Call(kLoadTsvFile, "____0", {S(tsv_file)}));
  p.GameSave(Value(I(1)), "", 0, Value(S("tsv")));
  p.Wait(NoResult(), Value(I(16)));
  p.Terminate();
  return p;
}

PageWriter BoxesPage(int32_t count, bool chain) {
  constexpr uint8_t kBoxNew = 8;
  PageWriter p;
  p.VarNew("i", 1, Value(I(0)));                                     // 0
  p.VarNew("n", 4, Value(S("")));                                    // 1
  p.VarNew("up", 4, Value(S("")));                                   // 2
  p.While(Compare(ExprBuilder::Small, V("i"), I(count)), 9);         // 3
  p.Indent(1).Calc(ExprBuilder().Op(ExprBuilder::ComboStr, "n", {S("b"), V("i")}));  // 4
  p.Component(kBoxNew, {{0, Value(V("n"))}, {1, Value(V("up"))}});   // 5
  p.Calc(Assign("up", chain ? V("n") : S("")));                      // 6
  p.Calc(Step("i", ExprBuilder::Plus, I(1)));                        // 7
  p.Indent(0).WhileLoop(NoResult(), 3);                              // 8
  p.Wait(NoResult(), Value(I(16)));                                  // 9
  p.Terminate();
  return p;
}

}  // namespace kova::test
