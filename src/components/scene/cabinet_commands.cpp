#include "components/scene/cabinet_commands.h"

#include <algorithm>

#include "components/scene/kova_base_list.h"
#include "components/scene/kova_cabinet.h"
#include "core/vocabulary.h"
#include "script/call_man.h"
#include "script/command_table.h"
#include "script/commands.h"
#include "script/subsystem_commands.h"

namespace kova {

namespace {

struct TCabinetArgs {
  std::string name;
  bool exclude = false;
  std::vector<std::string> names;
};

// The cabinet's name; with `with_names`, the exclude flag and every name, each evaluated once.
TCabinetArgs Evaluate(TComCabinet& command, TCallMan& callman, bool with_names) {
  TCabinetArgs args;
  if (TKovaParser* name = command.Prop(PR_NAME)) args.name = EvalStr(*name, callman, "");
  if (!with_names) return args;
  args.exclude = EvalFlag(command.Exclude, callman, false);
  args.names.reserve(command.Names.size());
  for (const auto& expr : command.Names) args.names.push_back(expr ? EvalStr(*expr, callman, "") : std::string());
  return args;
}

TKovaCabinet* FindCabinet(TKovaBaseList& root, const std::string& name) {
  return name.empty() ? nullptr : dynamic_cast<TKovaCabinet*>(root.FindComponent(name));
}

// The matching controls of `from` go to `to`, from the last to the first; never `to` itself.
void MoveMatching(TKovaControl& from, TKovaControl& to, const TCabinetArgs& args) {
  for (int32_t i = from.GetControlCount() - 1; i >= 0; --i) {
    TKovaControl* c = from.GetControl(i);
    if (!c || c == &to) continue;
    if (CabinetNameMatches(c->GetName(), args.exclude, args.names)) c->SetParent(&to);
  }
}

void SaveCabinet(TKovaBaseList& root, TComCabinet& command, TCallMan& callman, int32_t& pc) {
  ++pc;
  const std::string name = Evaluate(command, callman, false).name;
  TKovaCabinet* cabinet = FindCabinet(root, name);
  if (!cabinet) {
    cabinet = dynamic_cast<TKovaCabinet*>(root.CreateComponent(KT_CABINET));
    if (!cabinet) return;
    if (!name.empty()) cabinet->SetName(name);
    cabinet->SetParent(root.Bases(0));
  }
  TCabinetArgs args = Evaluate(command, callman, true);
  MoveMatching(*root.Bases(root.ActiveIndex() ^ 1), *cabinet, args);
  if (cabinet->GetControlCount() == 0) cabinet->RemoveFromOwner();
}

void LoadCabinet(TKovaBaseList& root, TComCabinet& command, TCallMan& callman, int32_t& pc) {
  ++pc;
  const std::string name = Evaluate(command, callman, false).name;
  TKovaCabinet* cabinet = FindCabinet(root, name);
  if (!cabinet) return;
  TCabinetArgs args = Evaluate(command, callman, true);
  TKovaControl& layer = *root.Bases(root.ActiveIndex() ^ 1);
  for (int32_t i = cabinet->GetControlCount() - 1; i >= 0; --i) {
    TKovaControl* c = cabinet->GetControl(i);
    if (c && CabinetNameMatches(c->GetName(), args.exclude, args.names)) c->SetParent(&layer);
  }
  if (cabinet->GetControlCount() == 0) cabinet->RemoveFromOwner();
}

}  // namespace

bool CabinetNameMatches(std::string_view name, bool exclude, const std::vector<std::string>& names) {
  const bool listed = std::find(names.begin(), names.end(), name) != names.end();
  return listed ? !exclude : exclude;
}

void RegisterCabinetCommands(TCommandTable& commands, TKovaBaseList& root) {
  commands.Register(TCommandKind::SaveCabinet, [&root](TCommand& command, TCallMan& callman, TPage*&, int32_t& pc) {
    SaveCabinet(root, static_cast<TComCabinet&>(command), callman, pc);
  });
  commands.Register(TCommandKind::LoadCabinet, [&root](TCommand& command, TCallMan& callman, TPage*&, int32_t& pc) {
    LoadCabinet(root, static_cast<TComCabinet&>(command), callman, pc);
  });
}

}  // namespace kova
