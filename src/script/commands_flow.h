// The flow commands: blocks found by indentation (If, Elseif, Else), labels, jumps and calls to
// other pages, returns, loops with stored command indices, waits and the command that lets queued
// events run.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "script/commands.h"
#include "script/parser.h"

namespace kova {

class TComIf : public TCommand {
 public:
  using TCommand::TCommand;
  uint8_t Traits() const override { return kFixedFlags | kNoPrepare; }
  TCommandKind ComType() const override { return TCommandKind::If; }
  void LoadFromStream(TStream& stream) override;
  void Execute(TCallMan& callman, TPage*& page, int32_t& pc) override;
  TKovaParser Condition;
};

class TComElseif : public TComIf {
 public:
  using TComIf::TComIf;
  TCommandKind ComType() const override { return TCommandKind::Elseif; }
  void Execute(TCallMan& callman, TPage*& page, int32_t& pc) override;
};

class TComElse : public TCommand {
 public:
  using TCommand::TCommand;
  uint8_t Traits() const override { return kFixedFlags | kNoPrepare; }
  TCommandKind ComType() const override { return TCommandKind::Else; }
  bool GetRunNext() const override { return true; }
  void Execute(TCallMan& callman, TPage*& page, int32_t& pc) override;
};

class TComLabel : public TCommand {
 public:
  using TCommand::TCommand;
  uint8_t Traits() const override { return kFixedFlags | kNoPrepare; }
  TCommandKind ComType() const override { return TCommandKind::Label; }
  bool IsLabel(std::string_view name) const override { return name == Text; }
  void LoadFromStream(TStream& stream) override;
  std::string Text;
};

// Shares the label's record (its text is the comment); never executed.
class TComComment : public TComLabel {
 public:
  using TComLabel::TComLabel;
  TCommandKind ComType() const override { return TCommandKind::Comment; }
  bool IsLabel(std::string_view) const override { return false; }
  bool GetRunNext() const override { return false; }
  bool GetSkip() const override { return true; }
};

class TComJump : public TCommand {
 public:
  using TCommand::TCommand;
  uint8_t Traits() const override { return kFixedFlags | kNoPrepare; }
  TCommandKind ComType() const override { return TCommandKind::Jump; }
  void LoadFromStream(TStream& stream) override;
  void Execute(TCallMan& callman, TPage*& page, int32_t& pc) override;
  std::string PageName;
  int32_t Target = 0;
  TKovaParser Condition;
};

class TComCall : public TCommand {
 public:
  using TCommand::TCommand;
  uint8_t Traits() const override { return kFixedFlags | kNoPrepare; }
  TCommandKind ComType() const override { return TCommandKind::Call; }
  void LoadFromStream(TStream& stream) override;
  void Execute(TCallMan& callman, TPage*& page, int32_t& pc) override;
  std::string PageName;
  int32_t Target = 0;
  std::string ResultVar;
  TKovaParser Condition;
  std::vector<std::unique_ptr<TKovaParser>> Args;
};

class TComExit : public TCommand {
 public:
  using TCommand::TCommand;
  uint8_t Traits() const override { return kFixedFlags | kNoPrepare; }
  TCommandKind ComType() const override { return TCommandKind::Exit; }
  void LoadFromStream(TStream& stream) override;
  void Execute(TCallMan& callman, TPage*& page, int32_t& pc) override;
  TKovaParser Condition;
};

// Shares the exit's record and adds the target index.
class TComBreak : public TComExit {
 public:
  using TComExit::TComExit;
  TCommandKind ComType() const override { return TCommandKind::Break; }
  void LoadFromStream(TStream& stream) override;
  void Execute(TCallMan& callman, TPage*& page, int32_t& pc) override;
  int32_t Target = 0;
};

class TComContinue : public TComBreak {
 public:
  using TComBreak::TComBreak;
  TCommandKind ComType() const override { return TCommandKind::Continue; }
  void Execute(TCallMan& callman, TPage*& page, int32_t& pc) override;
};

class TComWait : public TCommand {
 public:
  using TCommand::TCommand;
  uint8_t Traits() const override { return kFixedFlags; }
  TCommandKind ComType() const override { return TCommandKind::Wait; }
  bool HoldsEvents() const override { return Hold != 0; }
  bool AllowsEvents() const override { return true; }
  void LoadFromStream(TStream& stream) override;
  void Prepare(TCallMan& callman) override;
  void Execute(TCallMan& callman, TPage*& page, int32_t& pc) override;
  void SaveState(TStream& stream) override;
  void LoadState(TStream& stream) override;

  TKovaParser Condition;
  TKovaParser Time;
  TKovaParser HoldExpr;
  // Run-time state: milliseconds left, frames still to wait before counting, the hold flag.
  int32_t Remaining = 0;
  int32_t Frames = 0;
  uint8_t Hold = 0;
};

class TComWhile : public TCommand {
 public:
  using TCommand::TCommand;
  uint8_t Traits() const override { return kFixedFlags | kNoPrepare; }
  TCommandKind ComType() const override { return TCommandKind::While; }
  void LoadFromStream(TStream& stream) override;
  void Execute(TCallMan& callman, TPage*& page, int32_t& pc) override;
  TKovaParser Condition;
  int32_t ExitIndex = 0;
};

class TComWhileInit : public TComRuntime {
 public:
  using TComRuntime::TComRuntime;
  uint8_t Traits() const override { return kFixedFlags | kNoPrepare; }
  TCommandKind ComType() const override { return TCommandKind::WhileInit; }
  bool GetRunNext() const override { return true; }
  void LoadFromStream(TStream& stream) override;
  void Execute(TCallMan& callman, TPage*& page, int32_t& pc) override;
  TKovaParser Expr;
};

// Shares the loop initialiser's class (and so its run-next rule) and adds the loop head index.
class TComWhileLoop : public TComWhileInit {
 public:
  using TComWhileInit::TComWhileInit;
  TCommandKind ComType() const override { return TCommandKind::WhileLoop; }
  void LoadFromStream(TStream& stream) override;
  void Execute(TCallMan& callman, TPage*& page, int32_t& pc) override;
  int32_t Head = 0;
};

class TComDoEvent : public TCommand {
 public:
  using TCommand::TCommand;
  uint8_t Traits() const override { return kFixedFlags | kNoPrepare; }
  TCommandKind ComType() const override { return TCommandKind::DoEvent; }
  bool GetRunNext() const override { return false; }
  bool AllowsEvents() const override { return true; }
};

}  // namespace kova
