// The variable, property and control commands: Calc, VarNew, VarDel; GetProp, SetProp, ObjDel and
// MenuClose on the scene's components (a name no component holds makes them do nothing, MenuClose
// waits for its menu); PCReset and Reset restart the interpreter; ClrHist and ClrRead empty the
// history and the read marks; Terminate sets the stop flag and closes the main window.
#pragma once

#include <cstdint>
#include <string>

#include "script/commands.h"
#include "script/parser.h"

namespace kova {

class TComCalc : public TCommand {
 public:
  using TCommand::TCommand;
  TCommandKind ComType() const override { return TCommandKind::Calc; }
  void LoadFromStream(TStream& stream) override;
  void Execute(TCallMan& callman, TPage*& page, int32_t& pc) override;
  TKovaParser Expr;
};

class TComVarNew : public TCommand {
 public:
  using TCommand::TCommand;
  TCommandKind ComType() const override { return TCommandKind::VarNew; }
  void LoadFromStream(TStream& stream) override;
  void Execute(TCallMan& callman, TPage*& page, int32_t& pc) override;
  std::string VarName;
  uint8_t VarType = 1;
  TKovaParser Init;
  uint8_t Scope = 0;
};

class TComVarDel : public TCommand {
 public:
  using TCommand::TCommand;
  TCommandKind ComType() const override { return TCommandKind::VarDel; }
  void LoadFromStream(TStream& stream) override;
  void Execute(TCallMan& callman, TPage*& page, int32_t& pc) override;
  std::string VarName;
};

class TComGetProp : public TCommand {
 public:
  using TCommand::TCommand;
  TCommandKind ComType() const override { return TCommandKind::GetProp; }
  void LoadFromStream(TStream& stream) override;
  void Execute(TCallMan& callman, TPage*& page, int32_t& pc) override;
  TKovaParser CompoName;
  TKovaParser PropId;
  std::string VarName;
};

class TComSetProp : public TCommand {
 public:
  using TCommand::TCommand;
  TCommandKind ComType() const override { return TCommandKind::SetProp; }
  void LoadFromStream(TStream& stream) override;
  void Execute(TCallMan& callman, TPage*& page, int32_t& pc) override;
  TKovaParser CompoName;
  TKovaParser PropId;
  TKovaParser Value;
};

// ObjDel and MenuClose: one component name expression.
class TComObjDel : public TCommand {
 public:
  using TCommand::TCommand;
  TCommandKind ComType() const override { return TCommandKind::ObjDel; }
  void LoadFromStream(TStream& stream) override;
  void Execute(TCallMan& callman, TPage*& page, int32_t& pc) override;
  TKovaParser CompoName;
};

class TComMenuClose : public TComObjDel {
 public:
  using TComObjDel::TComObjDel;
  TCommandKind ComType() const override { return TCommandKind::MenuClose; }
  void Execute(TCallMan& callman, TPage*& page, int32_t& pc) override;
};

class TComPCReset : public TCommand {
 public:
  using TCommand::TCommand;
  TCommandKind ComType() const override { return TCommandKind::PCReset; }
  void LoadFromStream(TStream& stream) override;
  // With the reset-all flag: every frame is abandoned and the interpreter starts on the page. Without
  // it: the main flow under the running event handler continues on the page when the handler
  // returns (in the main flow itself, the page is entered at once).
  void Execute(TCallMan& callman, TPage*& page, int32_t& pc) override;
  std::string PageName;
  int32_t Target = 0;
  uint8_t ResetAll = 0;
};

class TComReset : public TComPCReset {
 public:
  using TComPCReset::TComPCReset;
  TCommandKind ComType() const override { return TCommandKind::Reset; }
  void Execute(TCallMan& callman, TPage*& page, int32_t& pc) override;
};

// Sets the script stop flag and asks the main window to close; pc stays.
class TComTerminate : public TCommand {
 public:
  using TCommand::TCommand;
  TCommandKind ComType() const override { return TCommandKind::Terminate; }
  void Execute(TCallMan& callman, TPage*& page, int32_t& pc) override;
};

class TComClrHist : public TCommand {
 public:
  using TCommand::TCommand;
  TCommandKind ComType() const override { return TCommandKind::ClrHist; }
  void Execute(TCallMan& callman, TPage*& page, int32_t& pc) override;
};

class TComClrRead : public TCommand {
 public:
  using TCommand::TCommand;
  TCommandKind ComType() const override { return TCommandKind::ClrRead; }
  void Execute(TCallMan& callman, TPage*& page, int32_t& pc) override;
};

}  // namespace kova
