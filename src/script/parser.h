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
class TTempScope;

// The names of temporaries begin with this.
inline constexpr std::string_view kTempPrefix = "____";
inline bool IsTempName(std::string_view name) { return name.substr(0, 4) == kTempPrefix; }

// What one evaluation works in: the store and the evaluation's own temporaries, which are looked
// up before the store, so that an evaluation nested in another (from inside a system function,
// say) never sees or frees the outer one's temporaries.
class TExprContext {
 public:
  TExprContext(TParamCollection& store, TTempScope& temps) : store_(store), temps_(temps) {}
  TParamCollection& Store() const { return store_; }
  TTempScope& Temps() const { return temps_; }
  // The temporary, else the store's visible variable of that name; nullptr when none. The cache
  // remembers store lookups.
  TParamCollectionItem* Resolve(std::string_view name, TNameCache& cache) const;

 private:
  TParamCollection& store_;
  TTempScope& temps_;
};

class TOpeData {
 public:
  uint8_t OpCode = 0;
  std::string DestName;
  uint8_t FuncId = 0;
  std::vector<std::unique_ptr<TCustomParam>> Operands;

  // Binds the operands, creates the destination when it is a missing temporary, calculates, and
  // unbinds the operands again (also when an error ends the operation).
  void Execute(TExprContext& context);
  void Calculate(TExprContext& context, TParamCollectionItem& dest);
  // Copies code, destination and function id; constants are copied by their scalar value, every
  // other operand becomes a new unbound reference of the same name.
  void Assign(const TOpeData& source);
  void SaveToStream(TStream& stream) const;
  // Raises EReadError for a truncated record or a count larger than the bytes left.
  void LoadFromStream(TStream& stream);

 private:
  // The type code a new temporary destination takes.
  int32_t TempType() const;

  TNameCache dest_cache_;
};

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

  // Evaluates against the store. An error raised by an operation ends the evaluation silently
  // (later operations do not run). Afterwards Result() holds a copy of "____arg" when the last
  // operation assigns it and it exists, else nullptr; a "____arg" of type 0 raises
  // "____arg:不正な変数です" to the caller.
  void Execute(TParamCollection& store);
  TCustomParam* Result() const { return result_.get(); }

 private:
  void Evaluate(TExprContext& context);

  std::vector<std::unique_ptr<TOpeData>> ops_;
  std::unique_ptr<TCustomParam> result_;
  std::unique_ptr<TCustomParam> spare_result_;  // last result's storage, reused when types agree
  std::unique_ptr<TTempScope> temps_;           // reused across evaluations
  bool running_ = false;
};

}  // namespace kova
