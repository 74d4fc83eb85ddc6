// The flow commands' records and behaviour.
#include "core/record_io.h"
#include "core/stream_records.h"
#include "script/call_man.h"
#include "script/commands_flow.h"
#include "script/page.h"
#include "script/params.h"
#include "script/script_ports.h"

namespace kova {

namespace {

// Passes over the commands after pc whose indent is greater than `indent`.
void SkipBlock(const TPage& page, int32_t indent, int32_t& pc) {
  const int32_t n = page.Count();
  while (pc < n && page.Command(pc)->Indent > indent) ++pc;
}

// An expression takes at least its 4-byte operation count.
constexpr int64_t kMinExprSize = 4;

}  // namespace

// ---- If, Elseif, Else ----

void TComIf::LoadFromStream(TStream& stream) {
  TCommand::LoadFromStream(stream);
  ReadExpr(stream, Condition);
}

void TComIf::Execute(TCallMan& callman, TPage*& page, int32_t& pc) {
  ++pc;
  if (EvalCondition(Condition, callman)) return;
  const TPage& p = *page;
  const int32_t n = p.Count();
  while (pc < n) {
    TCommand* c = p.Command(pc);
    if (c->Indent > Indent) {
      ++pc;
      continue;
    }
    if (c->Indent < Indent) return;
    switch (c->ComType()) {
      case TCommandKind::Elseif:
        ++pc;
        if (EvalCondition(static_cast<TComElseif*>(c)->Condition, callman)) return;
        break;
      case TCommandKind::Else:
        ++pc;
        return;
      default:
        return;
    }
  }
}

void TComElseif::Execute(TCallMan& /*callman*/, TPage*& page, int32_t& pc) {
  ++pc;
  SkipBlock(*page, Indent, pc);
}

void TComElse::Execute(TCallMan& /*callman*/, TPage*& page, int32_t& pc) {
  ++pc;
  SkipBlock(*page, Indent, pc);
}

// ---- Label ----

void TComLabel::LoadFromStream(TStream& stream) {
  TCommand::LoadFromStream(stream);
  Text = ReadStreamString(stream);
}

// ---- Jump, Call, Exit ----

void TComJump::LoadFromStream(TStream& stream) {
  TCommand::LoadFromStream(stream);
  PageName = ReadStreamString(stream);
  Target = ReadStreamInteger(stream);
  ReadExpr(stream, Condition);
}

void TComJump::Execute(TCallMan& callman, TPage*& page, int32_t& pc) {
  ++pc;
  if (!EvalCondition(Condition, callman) || !callman.FileExists(PageName)) return;
  page = callman.GetPage(PageName, true);
  pc = Target;
}

void TComCall::LoadFromStream(TStream& stream) {
  TCommand::LoadFromStream(stream);
  PageName = ReadStreamString(stream);
  Target = ReadStreamInteger(stream);
  ResultVar = ReadStreamString(stream);
  ReadExpr(stream, Condition);
  const int32_t count = ReadRecordCount(stream, Page(), kMinExprSize);
  Args.clear();
  Args.reserve(static_cast<size_t>(count));
  for (int32_t i = 0; i < count; ++i) Args.push_back(ReadNewExpr(stream));
}

void TComCall::Execute(TCallMan& callman, TPage*& page, int32_t& pc) {
  ++pc;
  if (!EvalCondition(Condition, callman) || !callman.FileExists(PageName)) return;
  TArrayString args;
  for (const auto& arg : Args) {
    if (const TCustomParam* r = EvalExpr(*arg, callman)) args.Add(r->GetStr());
  }
  // The called page is loaded before the frame is pushed, so a page that fails to load leaves
  // no frame behind.
  TPage* called = callman.FetchPage(PageName);
  TStack& frame = callman.PushFrame();
  frame.PageName = page ? page->Name : std::string();
  frame.PC = pc;
  frame.ResultVar = ResultVar;
  frame.Running = callman.Running() ? 1 : 0;
  frame.Sender = callman.Sender();
  frame.Args.Assign(callman.Args());
  callman.Args().Assign(args);
  page = called;
  pc = Target;
  frame.Result = CreateParamByType(page->ResultType);
}

void TComExit::LoadFromStream(TStream& stream) {
  TCommand::LoadFromStream(stream);
  ReadExpr(stream, Condition);
}

void TComExit::Execute(TCallMan& callman, TPage*& page, int32_t& pc) {
  if (EvalCondition(Condition, callman)) {
    page = nullptr;
  } else {
    ++pc;
  }
}

// ---- Loops ----

void TComBreak::LoadFromStream(TStream& stream) {
  TComExit::LoadFromStream(stream);
  Target = ReadStreamInteger(stream);
}

void TComBreak::Execute(TCallMan& callman, TPage*& page, int32_t& pc) {
  if (!EvalCondition(Condition, callman)) {
    ++pc;
  } else if (Target < 0) {
    page = nullptr;
  } else {
    pc = Target;
  }
}

void TComContinue::Execute(TCallMan& callman, TPage*& page, int32_t& pc) {
  ++pc;
  if (!EvalCondition(Condition, callman)) return;
  if (Target < 0) {
    page = nullptr;
  } else {
    pc = Target;
  }
}

void TComWhile::LoadFromStream(TStream& stream) {
  TCommand::LoadFromStream(stream);
  ReadExpr(stream, Condition);
  ExitIndex = ReadStreamInteger(stream);
}

void TComWhile::Execute(TCallMan& callman, TPage*& /*page*/, int32_t& pc) {
  ++pc;
  if (!EvalCondition(Condition, callman)) pc = ExitIndex;
}

void TComWhileInit::LoadFromStream(TStream& stream) {
  TCommand::LoadFromStream(stream);
  ReadExpr(stream, Expr);
}

void TComWhileInit::Execute(TCallMan& callman, TPage*& /*page*/, int32_t& pc) {
  ++pc;
  EvalExpr(Expr, callman);
}

void TComWhileLoop::LoadFromStream(TStream& stream) {
  TComWhileInit::LoadFromStream(stream);
  Head = ReadStreamInteger(stream);
}

void TComWhileLoop::Execute(TCallMan& callman, TPage*& /*page*/, int32_t& pc) {
  pc = Head;
  EvalExpr(Expr, callman);
}

// ---- Wait ----

void TComWait::LoadFromStream(TStream& stream) {
  TCommand::LoadFromStream(stream);
  ReadExpr(stream, Condition);
  ReadExpr(stream, Time);
  if (Page().Version >= 107) ReadExpr(stream, HoldExpr);
}

void TComWait::Prepare(TCallMan& callman) {
  Remaining = EvalInt(Time, callman, 0);
  Frames = 1;
  Hold = HoldExpr.Count() > 0 && EvalFlag(HoldExpr, callman, false) ? 1 : 0;
}

void TComWait::Execute(TCallMan& callman, TPage*& /*page*/, int32_t& pc) {
  if (const TCustomParam* r = EvalExpr(Condition, callman); r && !r->GetFlag()) {
    ++pc;
    return;
  }
  if (Remaining == 0) {
    callman.SetRunning(false);
    return;
  }
  if (Frames > 0) {
    --Frames;
    callman.SetRunning(false);
    return;
  }
  // The remaining time counts in 32 bits and wraps like them (a time of INT32_MIN included).
  Remaining = static_cast<int32_t>(static_cast<uint32_t>(Remaining) -
                                   static_cast<uint32_t>(callman.Ports().clock.FrameDelta));
  if (Remaining > 0) {
    callman.SetRunning(false);
    return;
  }
  ++pc;
}

namespace {

// The Wait command's state after its tag; the hold flag from tag version 100.
template <class IO, class W>
void TransferWaitState(IO& io, W& wait) {
  io.Int(wait.Remaining);
  io.Int(wait.Frames);
  if (io.Since(100)) io.Byte(wait.Hold);
}

}  // namespace

void TComWait::SaveState(TStream& stream) {
  WriteStateTag(stream);
  TRecordSaver io(stream, 100);
  TransferWaitState(io, *this);
}

void TComWait::LoadState(TStream& stream) {
  TRecordLoader io(stream, ReadStateTag(stream));
  TransferWaitState(io, *this);
}

}  // namespace kova
