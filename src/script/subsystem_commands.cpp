// Records of the subsystems' commands, the runs of their registered behaviours, and Terminate.
#include <array>

#include "core/stream_records.h"
#include "script/call_man.h"
#include "script/command_table.h"
#include "script/commands_var.h"
#include "script/page.h"
#include "script/param_collection.h"
#include "script/params.h"
#include "script/script_ports.h"
#include "script/subsystem_commands.h"

namespace kova {

namespace {
// An expression takes at least its 4-byte operation count.
constexpr int64_t kMinExprSize = 4;

TCommandBehaviour* Registered(const TCommand& command, const TCallMan& callman) {
  return callman.Commands().Find(command.ComType());
}

}  // namespace

// ---- Registered behaviours ----

void TComRegistered::Prepare(TCallMan& callman) {
  if (TCommandBehaviour* behaviour = Registered(*this, callman)) behaviour->Prepare(*this, callman);
}

void TComRegistered::Execute(TCallMan& callman, TPage*& page, int32_t& pc) {
  if (TCommandBehaviour* behaviour = Registered(*this, callman)) {
    behaviour->Execute(*this, callman, page, pc);
  } else {
    TCommand::Execute(callman, page, pc);
  }
}

void TComRegistered::Abandon(TCallMan& callman) {
  if (TCommandBehaviour* behaviour = Registered(*this, callman)) behaviour->Abandon(*this, callman);
}

void TComCabinet::Prepare(TCallMan& callman) {
  if (TCommandBehaviour* behaviour = Registered(*this, callman)) behaviour->Prepare(*this, callman);
}

void TComCabinet::Execute(TCallMan& callman, TPage*& page, int32_t& pc) {
  if (TCommandBehaviour* behaviour = Registered(*this, callman)) {
    behaviour->Execute(*this, callman, page, pc);
  } else {
    TCommand::Execute(callman, page, pc);
  }
}

void TComCabinet::Abandon(TCallMan& callman) {
  if (TCommandBehaviour* behaviour = Registered(*this, callman)) behaviour->Abandon(*this, callman);
}

// ---- Component commands ----

void TComComponent::LoadFromStream(TStream& stream) {
  TCommand::LoadFromStream(stream);
  const int32_t type = static_cast<int32_t>(ComType());
  // Only ids 0-158 have slots: bit 159 of a set names no property and carries no expression.
  for (int32_t id = 0; id < kPropIdCount; ++id) {
    if (Page().HasProp(type, id)) props_[static_cast<size_t>(id)] = ReadNewExpr(stream);
  }
}

void TComComponent::Execute(TCallMan& callman, TPage*& /*page*/, int32_t& pc) {
  ++pc;
  callman.Ports().scene.RunComponentCommand(*this, callman);
}

void TComCabinet::LoadFromStream(TStream& stream) {
  TComComponent::LoadFromStream(stream);
  ReadExpr(stream, Exclude);
  const int32_t count = ReadRecordCount(stream, Page(), kMinExprSize);
  Names.clear();
  Names.reserve(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) Names.push_back(ReadNewExpr(stream));
}

// ---- Variable, property and control commands ----

void TComGetProp::LoadFromStream(TStream& stream) {
  TCommand::LoadFromStream(stream);
  ReadExpr(stream, CompoName);
  ReadExpr(stream, PropId);
  VarName = ReadStreamString(stream);
}

void TComSetProp::LoadFromStream(TStream& stream) {
  TCommand::LoadFromStream(stream);
  ReadExpr(stream, CompoName);
  ReadExpr(stream, PropId);
  ReadExpr(stream, Value);
}

void TComObjDel::LoadFromStream(TStream& stream) {
  TCommand::LoadFromStream(stream);
  ReadExpr(stream, CompoName);
}

void TComPCReset::LoadFromStream(TStream& stream) {
  TCommand::LoadFromStream(stream);
  PageName = ReadStreamString(stream);
  Target = ReadStreamInteger(stream);
  ResetAll = ReadStreamByte(stream);
}

void TComTerminate::Execute(TCallMan& callman, TPage*& /*page*/, int32_t& /*pc*/) {
  callman.Stop();
  callman.Ports().platform.window->PostClose();
}

// ---- Text and history commands ----

void TComTextIns::LoadFromStream(TStream& stream) {
  TCommand::LoadFromStream(stream);
  Text = ReadStreamString(stream);
  ReadExpr(stream, Window);
  ReadExpr(stream, History);
  ReadExpr(stream, WaitExpr);
  if (Page().Version >= 107) ReadExpr(stream, HoldExpr);
}

void TComTextClr::LoadFromStream(TStream& stream) {
  TCommand::LoadFromStream(stream);
  ReadExpr(stream, Window);
}

void TComCallHist::LoadFromStream(TStream& stream) {
  TCommand::LoadFromStream(stream);
  ReadExpr(stream, Window);
  ReadExpr(stream, First);
  ReadExpr(stream, EntryCount);
  ReadExpr(stream, Flag);
}

void TComEntryHist::Execute(TCallMan& callman, TPage*& /*page*/, int32_t& pc) {
  ++pc;
  const std::string name = EvalStr(CompoName, callman, "");
  TScenePort& scene = callman.Ports().scene;
  if (name.empty() || !scene.FindComponent(name)) return;
  static constexpr std::array<int32_t, 6> kIds = {PR_FONTHEIGHT, PR_FONTBORDER, PR_FONTSHADOW,
                                                  PR_WIDTH,      PR_HEIGHT,     PR_LINESPACE};
  std::array<int32_t, 6> format{};
  for (size_t i = 0; i < kIds.size(); ++i) {
    TParamInt value;
    scene.GetProp(name, kIds[i], value);
    format[i] = value.GetInt();
  }
  callman.Store().Globals.HistFormat = format;
}

void TComEntryHist::LoadFromStream(TStream& stream) {
  TCommand::LoadFromStream(stream);
  ReadExpr(stream, CompoName);
}

// ---- Media and motion commands ----

void TComMovieStop::LoadFromStream(TStream& stream) {
  TCommand::LoadFromStream(stream);
  ReadExpr(stream, CompoName);
  ReadExpr(stream, Fade);
  ReadExpr(stream, WaitExpr);
  if (Page().Version >= 107) ReadExpr(stream, HoldExpr);
}

void TComMovieStop::SaveState(TStream& stream) {
  WriteStateTag(stream);
  std::string name;
  if (Restored) {
    name = TargetName;
  } else if (const TKovaObject* target = Scene ? Scene->Resolve(Target) : nullptr) {
    name = Scene->ComponentName(target);
  }
  WriteStreamString(stream, name);
  WriteStreamByte(stream, Wait);
  WriteStreamByte(stream, Hold);
}

void TComMovieStop::LoadState(TStream& stream) {
  const int32_t version = ReadStateTag(stream);
  Target = {};
  TargetName = ReadStreamString(stream);
  Wait = ReadStreamByte(stream);
  if (version >= 100) Hold = ReadStreamByte(stream);
  Restored = true;
}

void TComMediaPlay::LoadFromStream(TStream& stream) {
  TCommand::LoadFromStream(stream);
  ReadExpr(stream, CompoName);
}

void TComPropMotion::LoadFromStream(TStream& stream) {
  TCommand::LoadFromStream(stream);
  ReadExpr(stream, MotionName);
  ReadExpr(stream, TargetName);
  ReadExpr(stream, PropId);
  ReadExpr(stream, Value);
  ReadExpr(stream, Duration);
  ReadExpr(stream, Mode);
  if (Page().Version >= 108) ReadExpr(stream, Paused);
}

// ---- Flip ----

bool TComFlip::AllowsEvents() const {
  const TCustomParam* r = Length.Result();
  return r && r->GetInt() > 0;
}

void TComFlip::LoadFromStream(TStream& stream) {
  TCommand::LoadFromStream(stream);
  ReadExpr(stream, Kind);
  ReadExpr(stream, Length);
  ReadExpr(stream, Reverse);
  ReadExpr(stream, MoveMode);
  const int32_t count = ReadRecordCount(stream, Page(), kMinExprSize);
  NameLists.clear();
  NameLists.reserve(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) NameLists.push_back(ReadNewExpr(stream));
  ReadExpr(stream, Clear);
  ReadExpr(stream, Param0);
  ReadExpr(stream, Param1);
  if (Page().Version >= 101) ReadExpr(stream, Mask);
  if (Page().Version >= 107) ReadExpr(stream, HoldExpr);
}

void TComFlip::SaveState(TStream& stream) {
  WriteStateTag(stream);
  WriteStreamByte(stream, HoldFlag);
  WriteStreamByte(stream, ClearFlag);
}

void TComFlip::LoadState(TStream& stream) {
  if (ReadStateTag(stream) < 100) return;
  HoldFlag = ReadStreamByte(stream);
  ClearFlag = ReadStreamByte(stream);
}

// ---- Game save and load ----

void TComGameSave::Execute(TCallMan& callman, TPage*& /*page*/, int32_t& pc) {
  ++pc;
  const int32_t slot = EvalInt(Slot, callman, 0);
  std::string caption = EvalStr(Caption, callman, "");
  callman.Ports().project.RequestSave(slot, ResumePage, std::move(caption), ResumeIndex);
}

void TComGameLoad::Execute(TCallMan& callman, TPage*& /*page*/, int32_t& pc) {
  ++pc;
  const int32_t slot = EvalInt(Slot, callman, 0);
  callman.Ports().project.RequestLoad(slot);
}

void TComGameSave::LoadFromStream(TStream& stream) {
  TCommand::LoadFromStream(stream);
  ReadExpr(stream, Slot);
  ResumePage = ReadStreamString(stream);
  if (Page().Version >= 105) ResumeIndex = ReadStreamInteger(stream);
  ReadExpr(stream, Caption);
}

void TComGameLoad::LoadFromStream(TStream& stream) {
  TCommand::LoadFromStream(stream);
  ReadExpr(stream, Slot);
}

}  // namespace kova
