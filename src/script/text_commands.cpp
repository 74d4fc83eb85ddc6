// The text and history commands that act on message windows: TextIns, TextClr and CallHist. The
// windows belong to the scene, reached through the scene port.
#include <algorithm>

#include "core/stream_records.h"
#include "script/call_man.h"
#include "script/commands_later.h"
#include "script/page.h"
#include "script/script_host.h"

namespace kova {

// ---- TextIns ----

void TComTextIns::Prepare(TCallMan& callman) {
  Target = {};
  TargetName.clear();
  Restored = false;
  Hold = Page().Version >= 107 && EvalFlag(HoldExpr, callman, false) ? 1 : 0;
  if (!Text.empty()) {
    const std::string name = EvalStr(Window, callman, "");
    if (!name.empty()) {
      TScenePort& scene = callman.Host().Scene();
      if (scene.FindMessageWindow(name)) {
        const bool record = EvalFlag(History, callman, false);
        Target = scene.InsertMessageText(name, Page().Name, Page().IndexOf(this), record);
        if (Target) TargetName = name;
      }
    }
  }
  Wait = EvalFlag(WaitExpr, callman, false) ? 1 : 0;
}

void TComTextIns::Execute(TCallMan& callman, TPage*& /*page*/, int32_t& pc) {
  TScenePort& scene = callman.Host().Scene();
  if (Restored) {
    Target = TargetName.empty() ? TObjectHandle{} : scene.FindMessageWindow(TargetName);
    Restored = false;
  }
  // A window the scene no longer holds ends the wait.
  if (Target && Wait && scene.MessagePageCount(Target) > 0) {
    callman.SetRunning(false);
    return;
  }
  ++pc;
}

void TComTextIns::SaveState(TStream& stream) {
  WriteStateTag(stream);
  WriteStreamString(stream, Target || Restored ? TargetName : std::string());
  WriteStreamByte(stream, Wait);
  WriteStreamByte(stream, Hold);
}

void TComTextIns::LoadState(TStream& stream) {
  const int32_t version = ReadStateTag(stream);
  Target = {};
  TargetName = ReadStreamString(stream);
  Restored = true;
  Wait = ReadStreamByte(stream);
  if (version >= 100) Hold = ReadStreamByte(stream);
}

// ---- TextClr ----

void TComTextClr::Execute(TCallMan& callman, TPage*& /*page*/, int32_t& pc) {
  ++pc;
  const std::string name = EvalStr(Window, callman, "");
  if (!name.empty()) callman.Host().Scene().ClearMessage(name);
}

// ---- CallHist ----

void TComCallHist::Execute(TCallMan& callman, TPage*& /*page*/, int32_t& pc) {
  ++pc;
  const std::string name = EvalStr(Window, callman, "");
  TScenePort& scene = callman.Host().Scene();
  if (name.empty() || !scene.FindMessageWindow(name)) return;
  const int32_t first = std::max(EvalInt(First, callman, 0), 0);
  int32_t count = EvalInt(EntryCount, callman, 1);
  const bool flag = EvalFlag(Flag, callman, false);
  const int32_t total = callman.Host().History().HistoryCount();
  if (int64_t(total) < int64_t(first) + count) count = total - first;
  if (count > 0) scene.RecallHistory(name, first, count, flag);
}

}  // namespace kova
