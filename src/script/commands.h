// The command base: every command of a page is a TCommand subclass that reads its own record
// after the base record (indent, skip flag, run-next flag, line) and is run by the interpreter.
// Also the factory that makes a command from its type byte and the evaluation helpers the
// commands share.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/stream.h"
#include "core/vocabulary.h"
#include "script/call_man.h"
#include "script/parser.h"

namespace kova {

class TCallMan;
class TCustomParam;
class TKovaParser;
class TPage;

class TCommand {
 public:
  explicit TCommand(TPage& page) : page_(&page) {}
  virtual ~TCommand() = default;
  TCommand(const TCommand&) = delete;
  TCommand& operator=(const TCommand&) = delete;

  // The command's kind (its type code).
  virtual TCommandKind ComType() const = 0;
  // Set: after this command the interpreter goes on with the next one in the same frame.
  virtual bool GetRunNext() const { return RunNext != 0; }
  // Set: the command is stepped over without being prepared or executed.
  virtual bool GetSkip() const { return Skip != 0; }
  virtual void SetSkip(bool value) {
    Skip = value ? 1 : 0;
    if (settled_) Settle();
  }
  // True keeps queued events waiting while this command is the current, entered command.
  virtual bool HoldsEvents() const { return false; }
  virtual bool IsLabel(std::string_view /*name*/) const { return false; }
  // Reads the base record; every subclass calls it first, then reads its own fields.
  virtual void LoadFromStream(TStream& stream);
  // Called once when the interpreter enters the command.
  virtual void Prepare(TCallMan& /*callman*/) {}
  // Runs the command once. `page` and `pc` are the interpreter's current page and program
  // counter: a command changes pc to jump, sets page to switch pages (nullptr ends the page) and
  // clears the interpreter's running flag to wait. The base advances pc by one.
  virtual void Execute(TCallMan& callman, TPage*& page, int32_t& pc);
  // Writes the command's run-time state (the tag "kova100", then the state); nothing for
  // commands without one.
  virtual void SaveState(TStream& /*stream*/) {}
  // Reads what SaveState wrote (the tag through ReadStateTag).
  virtual void LoadState(TStream& /*stream*/) {}
  // Called on a command in progress that a restart of the interpreter abandons.
  virtual void Abandon(TCallMan& /*callman*/) {}
  // True lets queued events be dispatched while this command waits.
  virtual bool AllowsEvents() const { return false; }

  // What a command's class promises the interpreter (bits of TCommandTraits): kFixedFlags, that
  // GetSkip, GetRunNext and AllowsEvents always give the same answers for this command once it
  // has read its record; kNoPrepare, that Prepare does nothing. The base promises nothing.
  virtual uint8_t Traits() const { return 0; }
  enum TCommandTraits : uint8_t { kFixedFlags = 1, kNoPrepare = 2 };

  // The interpreter's view of the command on each turn (bits of TTurnFlags). A command whose
  // flags are fixed answers from what Settle read when its page added it; any other is asked.
  enum TTurnFlags : uint8_t { kTurnSkip = 1, kTurnRunNext = 2, kTurnAllows = 4, kTurnPrepare = 8, kTurnSettled = 16 };
  // Reads the fixed answers once (a page calls it for each command it has read).
  void Settle();
  // kTurnSkip, kTurnRunNext, kTurnAllows and kTurnPrepare as settled; 0 when the command is to be
  // asked (GetSkip before Prepare, GetRunNext and AllowsEvents after it).
  uint8_t SettledFlags() const { return settled_; }

  // Reads a 7-byte state tag: "kova" and three digits give their number (100 for "kova100");
  // anything else puts the stream back where it was and gives 0.
  static int32_t ReadStateTag(TStream& stream);
  // Writes the tag "kova100".
  static void WriteStateTag(TStream& stream);

  TPage& Page() const { return *page_; }

  // The base record. Code that changes RunNext or Skip of a settled command calls Settle again
  // (SetSkip does).
  uint8_t RunNext = 0;
  uint8_t Skip = 0;
  int32_t Line = 0;
  int32_t Indent = 0;

 private:
  TPage* page_;
  uint8_t settled_ = 0;
};

// A command with run-time behaviour of its own; no changes to the base.
class TComRuntime : public TCommand {
 public:
  using TCommand::TCommand;
};

// Makes the command of type byte `code` (its low seven bits) for `page`; codes above 60 raise
// "不正なコマンド".
std::unique_ptr<TCommand> CreateCommand(TPage& page, uint8_t code);

// ---- Helpers shared by the commands ----

// Reads an expression in its stream form.
void ReadExpr(TStream& stream, TKovaParser& expr);
std::unique_ptr<TKovaParser> ReadNewExpr(TStream& stream);
// Evaluates the expression against the interpreter's variable store; its result, or nullptr when
// it gives none.
inline TCustomParam* EvalExpr(TKovaParser& expr, TCallMan& callman) {
  expr.Execute(callman.Store());
  return expr.Result();
}
// True when the expression gives a result whose flag value is true.
inline bool EvalCondition(TKovaParser& expr, TCallMan& callman) {
  const TCustomParam* r = EvalExpr(expr, callman);
  if (r && r->PlainType() == PT_BOOL) return static_cast<const TParamFlag*>(r)->First() != 0;
  return r && r->GetFlag();
}
// The result converted, or the default when the expression gives none.
bool EvalFlag(TKovaParser& expr, TCallMan& callman, bool def);
int32_t EvalInt(TKovaParser& expr, TCallMan& callman, int32_t def);
std::string EvalStr(TKovaParser& expr, TCallMan& callman, std::string_view def);
// Reads an int32 count of records that take at least `min_size` bytes each; a negative count or
// one the bytes left cannot hold raises the page error of the command's page.
int32_t ReadRecordCount(TStream& stream, const TPage& page, int64_t min_size);
// Raises the page error ("%s:ページが壊れています") for `page`.
[[noreturn]] void RaisePageCorrupt(const TPage& page);

}  // namespace kova
