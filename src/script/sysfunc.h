// System functions: the dispatch by id, the result-type table and the calling rules.
//
// An ocFunc operation hands its destination, function id and operands to TSysFuncMan.Execute,
// which applies the calling rules before the function runs:
//  - an id outside 0..135 does nothing (the destination keeps its value);
//  - fewer operands than the function's required arguments raise (the expression ends);
//  - each "var!" argument must be a reference bound to a variable, else "Name:変数が見つかりません";
//  - a "var" argument is written back into the referenced variable; a constant given there is
//    written into a scratch copy instead, so the compiled expression never changes;
//  - a function without a result stores nothing into the destination.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "script/params.h"

namespace kova {

class TParamCollection;
class TParamCollectionItem;
struct TScriptPorts;

inline constexpr int32_t kSysFuncIdCount = 136;

// Result type code (1 integer, 2 float, 3 flag, 4 string) of each function id; for functions
// without a result, the type a new temporary destination takes. Entry 2 (GetProp) is not used:
// its type is the property's own.
extern const std::array<uint8_t, kSysFuncIdCount> SysFuncResultTypes;
// The result type of an id; PT_INT for ids outside the table.
int32_t SysFuncResultType(int32_t id);

// The calling rules of one function.
struct TSysFuncRule {
  uint8_t required;    // arguments that must be present
  uint16_t var_bound;  // bit i: argument i is "var!" (a reference bound to a variable)
  uint16_t var_out;    // bit i: argument i is "var" (written back)
};
const TSysFuncRule& SysFuncRule(int32_t id);

using TOperandList = std::span<const std::unique_ptr<TCustomParam>>;

// One call: the arguments, the destination, and the store and the store's parts the function may
// use.
class TSysCall {
 public:
  TSysCall(TParamCollection& store, TParamCollectionItem& dest, int32_t id, TOperandList args)
      : store_(store), dest_(dest), id_(id), args_(args) {}

  TParamCollection& Store() const { return store_; }
  // What the function reaches outside the script engine: the store's parts.
  const TScriptPorts& Ports() const;
  TParamCollectionItem& Dest() const { return dest_; }
  int32_t Id() const { return id_; }

  int32_t ArgCount() const { return static_cast<int32_t>(args_.size()); }
  bool Has(int32_t i) const { return i >= 0 && i < ArgCount(); }
  // Argument i (the rules have checked that the required ones exist; an optional one is read
  // only after Has).
  const TCustomParam& Arg(int32_t i) const;
  int32_t Int(int32_t i) const { return Arg(i).GetInt(); }
  long double Float(int32_t i) const { return Arg(i).GetFloat(); }
  bool Flag(int32_t i) const { return Arg(i).GetFlag(); }
  std::string Str(int32_t i) const { return Arg(i).GetStr(); }
  // A "var" argument to write into: the reference itself, or a scratch copy of a constant.
  TCustomParam& Var(int32_t i);
  // A "var!" argument: the variable the reference is bound to.
  TParamCollectionItem& BoundVar(int32_t i) const;

 private:
  TParamCollection& store_;
  TParamCollectionItem& dest_;
  int32_t id_;
  TOperandList args_;
  std::vector<std::pair<int32_t, std::unique_ptr<TCustomParam>>> scratch_;
};

using TSysFuncProc = void (*)(TSysCall& call);

class TSysFuncMan {
 public:
  // Runs function `id` with the operands as arguments, storing its result into `dest`.
  static void Execute(TParamCollection& store, TParamCollectionItem& dest, int32_t id, TOperandList args);
  // The function of an id, nullptr for ids outside the table or not yet provided.
  static TSysFuncProc Proc(int32_t id);
};

}  // namespace kova
