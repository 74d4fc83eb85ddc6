// The variable, property and control commands.
#include "core/errors.h"
#include "core/stream_records.h"
#include "script/call_man.h"
#include "script/commands_var.h"
#include "script/db_manager.h"
#include "script/event_queue.h"
#include "script/history_port.h"
#include "script/page.h"
#include "script/param_collection.h"
#include "script/scene_port.h"
#include "script/script_errors.h"
#include "script/script_ports.h"

namespace kova {

void TComCalc::LoadFromStream(TStream& stream) {
  TCommand::LoadFromStream(stream);
  ReadExpr(stream, Expr);
}

void TComCalc::Execute(TCallMan& callman, TPage*& /*page*/, int32_t& pc) {
  ++pc;
  EvalExpr(Expr, callman);
}

void TComVarNew::LoadFromStream(TStream& stream) {
  TCommand::LoadFromStream(stream);
  VarName = ReadStreamString(stream);
  VarType = ReadStreamByte(stream);
  ReadExpr(stream, Init);
  Scope = ReadStreamByte(stream);
}

void TComVarNew::Execute(TCallMan& callman, TPage*& /*page*/, int32_t& pc) {
  ++pc;
  if (VarName.empty()) Raise<EScriptError>(TMsg::VarNameMissing);
  TParamCollection& store = callman.Store();
  const auto scope = static_cast<TVarScope>(Scope);
  TParamCollectionItem* item = store.FindScoped(VarName, scope == TVarScope::Local);
  if (item) {
    // A status variable keeps the value it came with.
    if (item->StatusFlag) return;
  } else {
    // Only the four script types make a variable that holds a value.
    if (VarType < PT_INT || VarType > PT_STR) Raise<EScriptError>(TMsg::ParamBadTypeCode, int(VarType));
    item = store.AddParam(VarType);
    try {
      item->SetName(VarName);
    } catch (...) {
      store.Delete(item->Index());
      throw;
    }
    if (scope == TVarScope::AutoFree || scope == TVarScope::Local) item->FrameDepth = store.CurrentDepth;
    if (scope == TVarScope::Local) item->LocalFlag = 1;
    if (scope == TVarScope::Status) item->StatusFlag = 1;
    store.Touch();
  }
  if (const TCustomParam* r = EvalExpr(Init, callman)) item->AssignConverted(*r);
}

void TComVarDel::LoadFromStream(TStream& stream) {
  TCommand::LoadFromStream(stream);
  VarName = ReadStreamString(stream);
}

void TComVarDel::Execute(TCallMan& callman, TPage*& /*page*/, int32_t& pc) {
  ++pc;
  if (VarName.empty()) return;
  TParamCollection& store = callman.Store();
  TParamCollectionItem* item = store.FindParam(VarName);
  // System variables stay: the store and the expressions rely on them.
  if (item && !item->IsSystem()) store.Delete(item->Index());
}


// ---- Property and component commands ----

namespace {

// The property id of a GetProp or SetProp: its expression's integer taken as a byte.
int32_t PropIdOf(TKovaParser& expr, TCallMan& callman) {
  const TCustomParam* id = EvalExpr(expr, callman);
  if (!id) Raise<EScriptError>(TMsg::PropIdInvalid);
  return id->GetInt() & 0xFF;
}

}  // namespace

void TComGetProp::Execute(TCallMan& callman, TPage*& /*page*/, int32_t& pc) {
  ++pc;
  const std::string name = EvalStr(CompoName, callman, "");
  TScenePort& scene = callman.Ports().scene;
  if (name.empty() || !scene.FindComponent(name)) return;
  const int32_t id = PropIdOf(PropId, callman);
  if (VarName.empty()) return;
  if (TParamCollectionItem* item = callman.Store().FindParam(VarName)) scene.GetProp(name, id, item->Value());
}

void TComSetProp::Execute(TCallMan& callman, TPage*& /*page*/, int32_t& pc) {
  ++pc;
  const std::string name = EvalStr(CompoName, callman, "");
  TScenePort& scene = callman.Ports().scene;
  if (name.empty() || !scene.FindComponent(name)) return;
  const int32_t id = PropIdOf(PropId, callman);
  // A value expression without a result leaves the property as it is.
  if (const TCustomParam* value = EvalExpr(Value, callman)) scene.SetProp(name, id, *value);
}

void TComObjDel::Execute(TCallMan& callman, TPage*& /*page*/, int32_t& pc) {
  ++pc;
  const std::string name = EvalStr(CompoName, callman, "");
  if (!name.empty()) callman.Ports().scene.DeleteComponent(name);
}

void TComMenuClose::Execute(TCallMan& callman, TPage*& /*page*/, int32_t& pc) {
  const std::string name = EvalStr(CompoName, callman, "");
  // Until the menu exists the command stays where it is; the interpreter then ends the frame's
  // script work and tries again in the next frame.
  if (!name.empty() && callman.Ports().scene.SetPlayState(name, 3)) ++pc;
}

void TComPCReset::Execute(TCallMan& callman, TPage*& page, int32_t& pc) {
  ++pc;
  TParamCollection& store = callman.Store();
  TStackList& stack = callman.Stack();
  const std::string target_page = PageName;
  const int32_t target = Target;
  store.FreeDepth(stack.Count());
  if (ResetAll) {
    for (int32_t i = stack.Count() - 1; i >= 0; --i) {
      store.FreeDepth(i);
      TStack& frame = stack.Items(i);
      if (frame.Sender || !frame.Entered || frame.PageName.empty()) continue;
      TPage* frame_page = callman.FetchPage(frame.PageName);
      if (frame.PC < 0 || frame.PC >= frame_page->Count()) continue;
      TCommand* command = frame_page->Command(frame.PC);
      // The page may have been read anew since: the command takes its saved state back first.
      if (frame.State) {
        frame.State->SetPosition(0);
        command->LoadState(*frame.State);
      }
      command->Abandon(callman);
    }
    page = callman.Start(target_page);
    pc = target;
    if (TTimerList* queue = callman.EventQueue()) queue->Clear();
    return;
  }
  // The lowest frame an event handler pushed; inside a handler of the main flow, the top.
  int32_t position = -1;
  for (int32_t i = 0; i < stack.Count(); ++i) {
    if (stack.Items(i).Sender) {
      position = i;
      break;
    }
  }
  if (position < 0 && !callman.GetSenderName().empty()) position = stack.Count();
  TStack* main_flow = nullptr;
  for (int32_t i = position - 1; i >= 0; --i) {
    if (!stack.Items(i).Sender) {
      store.FreeDepth(i);
      main_flow = &stack.Items(i);
      break;
    }
  }
  if (main_flow) {
    main_flow->PageName = target_page;
    main_flow->PC = target;
    main_flow->Entered = 0;
    main_flow->ResultVar.clear();
    main_flow->Result.reset();
    main_flow->Args.Clear();
    main_flow->State.reset();
  } else {
    page = callman.FetchPage(target_page);
    pc = target;
  }
  if (TTimerList* queue = callman.EventQueue()) queue->RemoveHandled();
}

void TComReset::Execute(TCallMan& callman, TPage*& page, int32_t& pc) {
  const std::string target_page = PageName;
  const int32_t target = Target;
  const TScriptPorts& ports = callman.Ports();
  ports.scene.ResetScene();
  callman.Store().ClearGame();
  ports.tables.ClearGameTables();
  ports.history.ResetHistory();
  page = callman.Start(target_page);
  pc = target;
}

void TComClrHist::Execute(TCallMan& callman, TPage*& /*page*/, int32_t& pc) {
  ++pc;
  callman.Ports().history.ClearHistory();
}

void TComClrRead::Execute(TCallMan& callman, TPage*& /*page*/, int32_t& pc) {
  ++pc;
  callman.Ports().history.ClearReadMarks();
}

}  // namespace kova
