// Builds compiled page files ("ksb") for test fixtures, from the format description: the version,
// the result type, the property-set records (count, size, records by type code), then the
// commands, each a type byte, the base record (indent, skip, run-next, line) and its own record.
// Written independently of the page reader it tests.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "support/expr_builder.h"
#include "support/le_writer.h"

namespace kova::test {

using PropWords = std::array<uint32_t, 5>;

// The property sets a new page starts with, by type code (empty sets for other types).
const std::array<PropWords, 61>& DefaultPropWords();

// Expressions for the common cases.
ExprBuilder NoResult();                                   // an empty expression (no result)
ExprBuilder Yes();                                        // gives TRUE
ExprBuilder No();                                         // gives FALSE
ExprBuilder Value(const Operand& operand);                // gives the operand
// Gives `a op b` (a comparison or arithmetic operation code of ExprBuilder).
ExprBuilder Compare(uint8_t op, const Operand& a, const Operand& b);
// `var := operand`, no result.
ExprBuilder Assign(std::string_view var, const Operand& operand);
// `var := var op operand`, no result (e.g. Step("i", ExprBuilder::Plus, I(1))).
ExprBuilder Step(std::string_view var, uint8_t op, const Operand& operand);

class PageWriter {
 public:
  explicit PageWriter(int32_t version = 109, uint8_t result_type = 1)
      : version_(version), result_type_(result_type), sets_(DefaultPropWords()) {}

  // The version field (also decides the version-gated fields of later commands).
  PageWriter& Version(int32_t v) { version_ = v; return *this; }
  PageWriter& ResultType(uint8_t t) { result_type_ = t; return *this; }
  // Writes `count` property-set records of `size` bytes each: record i holds this writer's set of
  // type i (zeros for i of 61 or more), padded with 0xEE bytes beyond 20.
  PageWriter& PropRecords(int32_t count, int32_t size = 20) { set_count_ = count; set_size_ = size; return *this; }
  // Changes the writer's set for a type: component commands written afterwards carry expressions
  // for its bits; PropRecords puts it into the file.
  PageWriter& PropSet(int32_t type, PropWords words) { sets_.at(static_cast<size_t>(type)) = words; return *this; }
  const PropWords& Set(int32_t type) const { return sets_.at(static_cast<size_t>(type)); }
  // Overrides the command count field (for corrupt pages); -1 writes the real count.
  PageWriter& CountField(int32_t count) { count_field_ = count; return *this; }

  // ---- Base record of the following commands ----
  // The indent of every following command.
  PageWriter& Indent(int32_t indent) { indent_ = indent; return *this; }
  // One-shot changes for the next command: clear run-next flag, set skip flag, a line number
  // (default: the command's index + 1).
  PageWriter& NoRunNext() { run_next_once_ = false; return *this; }
  PageWriter& Skip() { skip_once_ = true; return *this; }
  PageWriter& Line(int32_t line) { line_once_ = line; return *this; }

  // The index the next command gets.
  int32_t Next() const { return count_; }

  // ---- Flow commands ----
  PageWriter& If(const ExprBuilder& cond) { return Cmd(0).Expr(cond); }
  PageWriter& Elseif(const ExprBuilder& cond) { return Cmd(1).Expr(cond); }
  PageWriter& Else() { return Cmd(2); }
  PageWriter& Label(std::string_view name) { return Cmd(3).Str(name); }
  PageWriter& Jump(std::string_view page, int32_t target, const ExprBuilder& cond = Yes()) {
    return Cmd(4).Str(page).I32(target).Expr(cond);
  }
  PageWriter& Call(std::string_view page, int32_t target = 0, std::string_view result_var = "",
                   const std::vector<ExprBuilder>& args = {}, const ExprBuilder& cond = Yes());
  PageWriter& Exit(const ExprBuilder& cond = Yes()) { return Cmd(6).Expr(cond); }
  // The hold expression is written only in pages of version 107 or later.
  PageWriter& Wait(const ExprBuilder& cond, const ExprBuilder& time, const ExprBuilder& hold = NoResult());
  PageWriter& Comment(std::string_view text) { return Cmd(27).Str(text); }
  PageWriter& While(const ExprBuilder& cond, int32_t exit_index) { return Cmd(31).Expr(cond).I32(exit_index); }
  PageWriter& WhileInit(const ExprBuilder& e) { return Cmd(32).Expr(e); }
  PageWriter& WhileLoop(const ExprBuilder& e, int32_t head) { return Cmd(33).Expr(e).I32(head); }
  PageWriter& Break(const ExprBuilder& cond, int32_t target) { return Cmd(34).Expr(cond).I32(target); }
  PageWriter& Continue(const ExprBuilder& cond, int32_t target) { return Cmd(35).Expr(cond).I32(target); }
  PageWriter& DoEvent() { return Cmd(46); }

  // ---- Variable and control commands ----
  PageWriter& Calc(const ExprBuilder& e) { return Cmd(14).Expr(e); }
  PageWriter& VarNew(std::string_view name, uint8_t type, const ExprBuilder& init, uint8_t scope = 0) {
    return Cmd(15).Str(name).U8(type).Expr(init).U8(scope);
  }
  PageWriter& VarDel(std::string_view name) { return Cmd(16).Str(name); }
  PageWriter& GetProp(const ExprBuilder& name, const ExprBuilder& id, std::string_view var) {
    return Cmd(17).Expr(name).Expr(id).Str(var);
  }
  PageWriter& SetProp(const ExprBuilder& name, const ExprBuilder& id, const ExprBuilder& value) {
    return Cmd(18).Expr(name).Expr(id).Expr(value);
  }
  PageWriter& ObjDel(const ExprBuilder& name) { return Cmd(19).Expr(name); }
  PageWriter& ClrHist() { return Cmd(22); }
  PageWriter& MenuClose(const ExprBuilder& name) { return Cmd(26).Expr(name); }
  PageWriter& PCReset(std::string_view page, int32_t target, bool reset_all) {
    return Cmd(40).Str(page).I32(target).U8(reset_all ? 1 : 0);
  }
  PageWriter& Reset(std::string_view page, int32_t target) { return Cmd(41).Str(page).I32(target).U8(0); }
  PageWriter& Terminate() { return Cmd(45); }
  PageWriter& ClrRead() { return Cmd(47); }

  // ---- Component commands: one expression per bit of the writer's set for the type, in
  // increasing id; ids missing from `props` get an empty expression ----
  PageWriter& Component(int32_t type, const std::map<int32_t, ExprBuilder>& props = {});
  // SaveCabinet (59) or LoadCabinet (60): the component record, exclude, names.
  PageWriter& Cabinet(int32_t type, const std::map<int32_t, ExprBuilder>& props, const ExprBuilder& exclude,
                      const std::vector<ExprBuilder>& names);

  // ---- Text, media, flip, save ----
  PageWriter& TextIns(std::string_view text, const ExprBuilder& window, const ExprBuilder& history,
                      const ExprBuilder& wait, const ExprBuilder& hold = NoResult());
  PageWriter& TextClr(const ExprBuilder& window) { return Cmd(28).Expr(window); }
  PageWriter& CallHist(const ExprBuilder& window, const ExprBuilder& first, const ExprBuilder& count,
                       const ExprBuilder& flag) {
    return Cmd(29).Expr(window).Expr(first).Expr(count).Expr(flag);
  }
  PageWriter& FormatHist(const ExprBuilder& name) { return Cmd(58).Expr(name); }
  PageWriter& MovieStop(const ExprBuilder& name, const ExprBuilder& fade, const ExprBuilder& wait,
                        const ExprBuilder& hold = NoResult());
  PageWriter& MediaPlay(const ExprBuilder& name) { return Cmd(55).Expr(name); }
  // Seven expressions: name, target, id, value, duration, mode, paused (paused from version 108).
  PageWriter& PropMotion(const std::vector<ExprBuilder>& exprs);
  // Kind, length, reverse, move mode, name lists, clear, param 0, param 1, mask (from 101), hold
  // (from 107); expressions not given are empty.
  PageWriter& Flip(const ExprBuilder& kind, const ExprBuilder& length, const std::vector<ExprBuilder>& names = {});
  // Every field of the flip's record.
  struct FlipRecord {
    ExprBuilder kind, length, reverse, move_mode;
    std::vector<ExprBuilder> names;
    ExprBuilder clear, param0, param1, mask, hold;
  };
  PageWriter& Flip(const FlipRecord& r);
  PageWriter& GameSave(const ExprBuilder& slot, std::string_view resume_page, int32_t resume_index,
                       const ExprBuilder& caption);
  PageWriter& GameLoad(const ExprBuilder& slot) { return Cmd(39).Expr(slot); }

  // A command of any type byte followed by the base record and the raw bytes given.
  PageWriter& Raw(uint8_t type, std::initializer_list<uint8_t> record = {});

  // The whole file.
  std::vector<uint8_t> Bytes() const;
  // The file's size up to the end of the command count field (where the first command begins).
  size_t HeaderSize() const;

 private:
  PageWriter& Cmd(uint8_t type);
  PageWriter& Expr(const ExprBuilder& e) { body_.Raw(e.Bytes()); return *this; }
  PageWriter& Str(std::string_view s) { body_.Str(s); return *this; }
  PageWriter& I32(int32_t v) { body_.I32(v); return *this; }
  PageWriter& U8(uint8_t v) { body_.U8(v); return *this; }
  void Header(LeWriter& w) const;

  int32_t version_;
  uint8_t result_type_;
  std::array<PropWords, 61> sets_;
  int32_t set_count_ = 0;
  int32_t set_size_ = 20;
  int32_t count_field_ = -1;
  int32_t indent_ = 0;
  bool run_next_once_ = true;
  bool skip_once_ = false;
  int32_t line_once_ = -1;
  int32_t count_ = 0;
  LeWriter body_;
};

}  // namespace kova::test
