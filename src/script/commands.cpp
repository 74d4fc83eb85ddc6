#include "script/commands.h"

#include <cstring>

#include "core/errors.h"
#include "core/stream_records.h"
#include "script/call_man.h"
#include "script/page.h"
#include "script/params.h"
#include "script/parser.h"

namespace kova {

void TCommand::LoadFromStream(TStream& stream) {
  Indent = ReadStreamInteger(stream);
  Skip = ReadStreamByte(stream);
  RunNext = ReadStreamByte(stream);
  Line = ReadStreamInteger(stream);
}

void TCommand::Execute(TCallMan& /*callman*/, TPage*& /*page*/, int32_t& pc) { ++pc; }

void TCommand::Settle() {
  const uint8_t traits = Traits();
  if (!(traits & kFixedFlags)) {
    settled_ = 0;
    return;
  }
  settled_ = kTurnSettled | (GetSkip() ? kTurnSkip : 0) | (GetRunNext() ? kTurnRunNext : 0) |
             (AllowsEvents() ? kTurnAllows : 0) | (traits & kNoPrepare ? 0 : kTurnPrepare);
}

int32_t TCommand::ReadStateTag(TStream& stream) {
  const int64_t start = stream.GetPosition();
  char tag[7];
  if (stream.Read(tag, 7) == 7 && std::memcmp(tag, "kova", 4) == 0) {
    int32_t n = 0;
    bool digits = true;
    for (int i = 4; i < 7; ++i) {
      if (tag[i] < '0' || tag[i] > '9') digits = false;
      n = n * 10 + (tag[i] - '0');
    }
    if (digits) return n;
  }
  stream.SetPosition(start);
  return 0;
}

void TCommand::WriteStateTag(TStream& stream) { stream.WriteBuffer("kova100", 7); }

// ---- Helpers ----

void ReadExpr(TStream& stream, TKovaParser& expr) { expr.LoadFromStream(stream); }

std::unique_ptr<TKovaParser> ReadNewExpr(TStream& stream) {
  auto expr = std::make_unique<TKovaParser>();
  expr->LoadFromStream(stream);
  return expr;
}

bool EvalFlag(TKovaParser& expr, TCallMan& callman, bool def) {
  const TCustomParam* r = EvalExpr(expr, callman);
  return r ? r->GetFlag() : def;
}

int32_t EvalInt(TKovaParser& expr, TCallMan& callman, int32_t def) {
  const TCustomParam* r = EvalExpr(expr, callman);
  return r ? r->GetInt() : def;
}

std::string EvalStr(TKovaParser& expr, TCallMan& callman, std::string_view def) {
  const TCustomParam* r = EvalExpr(expr, callman);
  return r ? r->GetStr() : std::string(def);
}

void RaisePageCorrupt(const TPage& page) { Raise<EReadError>(TMsg::PageCorrupt, page.Name.c_str()); }

int32_t ReadRecordCount(TStream& stream, const TPage& page, int64_t min_size) {
  const int32_t count = ReadStreamInteger(stream);
  if (count < 0 || count > stream.Remaining() / min_size) RaisePageCorrupt(page);
  return count;
}

}  // namespace kova
