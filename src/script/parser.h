// Compiled expressions: an ordered list of three-address operations, each reading its operands
// and writing one destination variable. Intermediate results live in temporaries ("____" names)
// that belong to one evaluation; the result is what the last operation assigns to "____arg".
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/stream.h"
#include "script/params.h"

namespace kova {

class TParamCollection;
class TParamCollectionItem;

// The names of temporaries begin with this.
inline constexpr std::string_view kTempPrefix = "____";
inline bool IsTempName(std::string_view name) { return name.substr(0, 4) == kTempPrefix; }

class TOpeData {
 public:
  uint8_t OpCode = 0;
  std::string DestName;
  uint8_t FuncId = 0;
  std::vector<std::unique_ptr<TCustomParam>> Operands;

  // Copies code, destination and function id; constants are copied by their scalar value, every
  // other operand becomes a new unbound reference of the same name.
  void Assign(const TOpeData& source);
  void SaveToStream(TStream& stream) const;
  // Raises EReadError for a truncated record or a count larger than the bytes left.
  void LoadFromStream(TStream& stream);
};

// A compiled expression. The operations are read (LoadFromStream, Assign) or built (AddOp) before
// they are evaluated: the first evaluation afterwards compiles them into a form that remembers
// what each name resolved to in the store (looked up again only when the store's names or its
// current depth have changed since) and gives every temporary a storage slot of its own that
// later evaluations reuse. Code that changes an operation's fields afterwards calls Changed().
class TKovaParser {
 public:
  TKovaParser();
  ~TKovaParser();
  TKovaParser(const TKovaParser&) = delete;
  TKovaParser& operator=(const TKovaParser&) = delete;

  int32_t Count() const { return static_cast<int32_t>(ops_.size()); }
  TOpeData* Items(int32_t i) const { return ops_.at(static_cast<size_t>(i)).get(); }
  TOpeData* AddOp();
  void Clear();
  void Assign(const TKovaParser& source);
  void SaveToStream(TStream& stream) const;
  void LoadFromStream(TStream& stream);
  // Drops the compiled form (the next evaluation compiles the operations again).
  void Changed();

  // Evaluates against the store. An error raised by an operation ends the evaluation silently
  // (later operations do not run). Afterwards Result() holds a copy of "____arg" when the last
  // operation assigns it and it exists, else nullptr; a "____arg" of type 0 raises
  // "____arg:不正な変数です" to the caller. Temporaries belong to one evaluation: an evaluation
  // nested in another (from inside a system function, say, even of this same expression) never
  // sees or changes the outer one's.
  void Execute(TParamCollection& store);
  TCustomParam* Result() const { return has_result_ ? result_.get() : nullptr; }

  struct TPlan;
  class TTempSlots;

 private:
  void Evaluate(TParamCollection& store, TTempSlots& temps);
  // Compiles the operations first, or evaluates from inside an evaluation of this expression.
  void ExecuteAside(TParamCollection& store);

  std::vector<std::unique_ptr<TOpeData>> ops_;
  std::unique_ptr<TPlan> plan_;  // the compiled form; null until the next evaluation
  // The result's storage, kept and reused while the results' types agree; Result() is it while
  // has_result_ is set.
  std::unique_ptr<TCustomParam> result_;
  bool has_result_ = false;
  bool running_ = false;
};

}  // namespace kova
