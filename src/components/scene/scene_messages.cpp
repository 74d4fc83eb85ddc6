// The scene services of the text and history commands: message windows found by name, filled
// from a text command, emptied and given recalled history.
#include <algorithm>

#include "components/scene/kova_base_list.h"
#include "components/text/kova_mes.h"
#include "components/text/kova_history.h"
#include "components/scene/scene_services.h"

namespace kova {
namespace {

TKovaMes* AsMessageWindow(TKovaObject* object) {
  return object && object->GetCompoType() == KT_MES ? static_cast<TKovaMes*>(object) : nullptr;
}

// The message window of that name, or nullptr.
TKovaMes* MessageWindow(const TKovaBaseList& root, std::string_view name) {
  return name.empty() ? nullptr : AsMessageWindow(root.FindControl(name));
}

}  // namespace

TObjectHandle TSceneServices::FindMessageWindow(std::string_view name) const {
  const TKovaMes* mes = MessageWindow(root_, name);
  return mes ? mes->Handle() : TObjectHandle{};
}

TObjectHandle TSceneServices::InsertMessageText(std::string_view window, std::string_view page_file,
                                                int32_t command_index, bool record) {
  TKovaMes* mes = MessageWindow(root_, window);
  if (!mes) return {};
  mes->SetSource(record, std::string(page_file), command_index);
  TKovaHistData& segments = mes->MesData().Segments;
  segments.Clear();
  segments.AddText(std::string(page_file), command_index, std::string(), 0, -1, 0);
  mes->InsertText(false);
  // InsertText may run nothing of the script, but the window stays the root's to check.
  if (!root_.HasComponent(mes)) return {};
  if (mes->GetCount() > 0) mes->SetIndex(0);
  return mes->Handle();
}

int32_t TSceneServices::MessagePageCount(TObjectHandle window) const {
  const TKovaMes* mes = AsMessageWindow(root_.Resolve(window));
  return mes ? mes->GetCount() : 0;
}

bool TSceneServices::ClearMessage(std::string_view window) {
  TKovaMes* mes = MessageWindow(root_, window);
  if (!mes) return false;
  mes->ResetRecordMode();
  mes->SetText(std::string());
  return true;
}

bool TSceneServices::RecallHistory(std::string_view window, int32_t first, int32_t count, bool flag) {
  TKovaMes* mes = MessageWindow(root_, window);
  if (!mes) return false;
  TKovaNewHistory* history = root_.History();
  if (!history || count < 1) return true;
  mes->SetHistoryFlag(flag ? 1 : 0);
  history->Recall(std::max(first, 0), count, mes);
  return true;
}

}  // namespace kova
