// Calc, VarNew and VarDel.
#include "core/errors.h"
#include "core/stream_records.h"
#include "script/call_man.h"
#include "script/commands_var.h"
#include "script/param_collection.h"
#include "script/script_errors.h"

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

}  // namespace kova
