// The text and history commands that act on message windows: TextIns, TextClr and CallHist. The
// windows belong to the scene, reached through the scene port.
#include <algorithm>

#include "core/record_io.h"
#include "core/stream_records.h"
#include "script/call_man.h"
#include "script/page.h"
#include "script/script_ports.h"
#include "script/subsystem_commands.h"

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
      TScenePort& scene = callman.Ports().scene;
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
  TScenePort& scene = callman.Ports().scene;
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

namespace {

// The TextIns command's state after its tag: the target's name (empty while it has none), the
// wait flag, and from tag version 100 the hold flag.
template <class IO, class C, class S>
void TransferTextInsState(IO& io, C& command, S& target_name) {
  io.Str(target_name);
  io.Byte(command.Wait);
  if (io.Since(100)) io.Byte(command.Hold);
}

}  // namespace

void TComTextIns::SaveState(TStream& stream) {
  WriteStateTag(stream);
  TRecordSaver io(stream, 100);
  const std::string& target_name = Target || Restored ? TargetName : std::string();
  TransferTextInsState(io, *this, target_name);
}

void TComTextIns::LoadState(TStream& stream) {
  TRecordLoader io(stream, ReadStateTag(stream));
  Target = {};
  TransferTextInsState(io, *this, TargetName);
  Restored = true;
}

// ---- TextClr ----

void TComTextClr::Execute(TCallMan& callman, TPage*& /*page*/, int32_t& pc) {
  ++pc;
  const std::string name = EvalStr(Window, callman, "");
  if (!name.empty()) callman.Ports().scene.ClearMessage(name);
}

// ---- CallHist ----

void TComCallHist::Execute(TCallMan& callman, TPage*& /*page*/, int32_t& pc) {
  ++pc;
  const std::string name = EvalStr(Window, callman, "");
  TScenePort& scene = callman.Ports().scene;
  if (name.empty() || !scene.FindMessageWindow(name)) return;
  const int32_t first = std::max(EvalInt(First, callman, 0), 0);
  int32_t count = EvalInt(EntryCount, callman, 1);
  const bool flag = EvalFlag(Flag, callman, false);
  const int32_t total = callman.Ports().history.HistoryCount();
  if (int64_t(total) < int64_t(first) + count) count = total - first;
  if (count > 0) scene.RecallHistory(name, first, count, flag);
}

}  // namespace kova
