// A small rig for calling system functions directly: a variable store, arguments made from
// constants or references to the store's variables, and the call's result as text (or the
// message of the error it raised).
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/errors.h"
#include "core/format.h"
#include "core/messages.h"
#include "core/vocabulary.h"
#include "script/param_collection.h"
#include "script/script_ports.h"
#include "script/sysfunc.h"
#include "support/fake_script_host.h"

namespace kova::test {

// One argument: a constant of one of the four types, or a reference to a variable.
struct Arg {
  enum Kind { kInt, kFloat, kFlag, kStr, kRef } kind = kInt;
  int32_t i = 0;
  long double f = 0;
  bool b = false;
  std::string s;
};

inline Arg Ai(int32_t v) { return {Arg::kInt, v, 0, false, {}}; }
inline Arg Af(long double v) { return {Arg::kFloat, 0, v, false, {}}; }
inline Arg Ab(bool v) { return {Arg::kFlag, 0, 0, v, {}}; }
inline Arg As(std::string_view v) { return {Arg::kStr, 0, 0, false, std::string(v)}; }
inline Arg Ar(std::string_view name) { return {Arg::kRef, 0, 0, false, std::string(name)}; }

// The message an error of a catalogue entry carries (with its arguments).
template <class... A>
std::string Msg(TMsg m, A... args) {
  return Format(MsgText(m).c_str(), args...);
}

class SysFuncRig {
 public:
  // The store is made with the fake's parts and interpreter, or with null parts of the rig's own.
  explicit SysFuncRig(FakeScriptHost* host = nullptr)
      : store(host ? host->Ports() : parts.ports, host ? &host->Interpreter() : nullptr) {}

  TNullScriptParts parts;
  TParamCollection store;

  TParamCollectionItem* Var(std::string_view name, int32_t type) {
    return store.Declare(name, type, TVarScope::Global);
  }
  TParamCollectionItem* IntArray(std::string_view name, std::vector<int32_t> values) {
    TParamCollectionItem* v = Var(name, PT_INT);
    const int32_t size[] = {static_cast<int32_t>(values.size())};
    v->SetDims(size);
    for (size_t k = 0; k < values.size(); ++k) v->SetIntAt(static_cast<int32_t>(k), values[k]);
    return v;
  }
  TParamCollectionItem* StrArray(std::string_view name, std::vector<std::string> values) {
    TParamCollectionItem* v = Var(name, PT_STR);
    const int32_t size[] = {static_cast<int32_t>(values.size())};
    v->SetDims(size);
    for (size_t k = 0; k < values.size(); ++k) v->SetStrAt(static_cast<int32_t>(k), values[k]);
    return v;
  }

  // Runs f into `dest`; returns "" or the message of the error raised.
  std::string CallInto(TParamCollectionItem& dest, TSysFunc f, const std::vector<Arg>& args) {
    std::vector<std::unique_ptr<TCustomParam>> operands;
    for (const Arg& a : args) operands.push_back(Make(a));
    try {
      TSysFuncMan::Execute(store, dest, Ord(f), operands);
    } catch (const EKovaError& e) {
      return e.what();
    }
    return {};
  }

  // Runs f into a fresh variable "____r" of the function's result type; returns the result's
  // text, or "!" and the error message.
  std::string Call(TSysFunc f, const std::vector<Arg>& args) {
    TParamCollectionItem* r = Var("____r", SysFuncResultType(Ord(f)));
    const std::string error = CallInto(*r, f, args);
    return error.empty() ? r->GetStr() : "!" + error;
  }

  // Elements of a variable as text, joined by "|".
  std::string Elements(std::string_view name) const {
    TParamCollectionItem* v = store.FindParam(name);
    if (!v) return "<none>";
    std::string out;
    for (int32_t k = 0; k < v->Count(); ++k) out += (k ? "|" : "") + v->GetStrAt(k);
    return out;
  }

 private:
  std::unique_ptr<TCustomParam> Make(const Arg& a) {
    switch (a.kind) {
      case Arg::kInt: { auto p = std::make_unique<TParamInt>(); p->SetInt(a.i); return p; }
      case Arg::kFloat: { auto p = std::make_unique<TParamFloat>(); p->SetFloat(a.f); return p; }
      case Arg::kFlag: { auto p = std::make_unique<TParamFlag>(); p->SetFlag(a.b); return p; }
      case Arg::kStr: { auto p = std::make_unique<TParamStr>(); p->SetStr(a.s); return p; }
      case Arg::kRef: {
        auto p = std::make_unique<TParamVar>();
        p->VarName = a.s;
        if (TParamCollectionItem* item = store.FindParam(a.s)) p->Bind(item);
        return p;
      }
    }
    return nullptr;
  }
};

// A table row: a call and the expected result text ("!" + message for an error).
struct CallRow {
  TSysFunc f;
  std::vector<Arg> args;
  std::string expected;
};

inline void RunRows(SysFuncRig& rig, const std::vector<CallRow>& rows) {
  for (size_t k = 0; k < rows.size(); ++k) {
    const CallRow& row = rows[k];
    EXPECT_EQ(rig.Call(row.f, row.args), row.expected)
        << "row " << k << ": " << SysFuncNames().Name(Ord(row.f));
  }
}

}  // namespace kova::test
