// The first system functions: integer text, array size, byte length and deletion, negation and
// the "@Temp" target.
#include <algorithm>
#include <cstdint>
#include <string>

#include "core/vocabulary.h"
#include "script/param_collection.h"
#include "script/script_errors.h"
#include "script/sysfunc_procs.h"
#include "script/value_text.h"

namespace kova::sysfunc {
namespace {

// The most digits IntToStr pads to.
constexpr int32_t kMaxPrecision = 255;

// The precision argument read as a string: plain decimal digits only (it is never used as a
// format text).
int32_t Precision(const TSysCall& call, int32_t i) {
  const std::string text = call.Str(i);
  int64_t value = 0;
  bool ok = !text.empty();
  for (char c : text) {
    if (c < '0' || c > '9') {
      ok = false;
      break;
    }
    value = value * 10 + (c - '0');
    if (value > kMaxPrecision) ok = false;
  }
  if (!ok) Raise<EScriptError>(TMsg::SysFuncBadArgument, "IntToStr");
  return static_cast<int32_t>(value);
}

}  // namespace

// IntToStr(n [, digits]): the decimal text of n, with digits at least that many digits after the
// sign, zero-padded.
void IntToStr(TSysCall& call) {
  const int32_t n = call.Int(0);
  if (!call.Has(1)) {
    call.Dest().SetStr(IntToScriptStr(n));
    return;
  }
  const int32_t precision = Precision(call, 1);
  const uint32_t magnitude = n < 0 ? 0u - static_cast<uint32_t>(n) : static_cast<uint32_t>(n);
  std::string digits = std::to_string(magnitude);
  std::string out;
  if (n < 0) out += '-';
  if (static_cast<int32_t>(digits.size()) < precision) out.append(static_cast<size_t>(precision) - digits.size(), '0');
  out += digits;
  call.Dest().SetStr(out);
}

// GetArraySize(var! v [, k]): the element count, or the size of dimension DimCount - 1 - k.
void GetArraySize(TSysCall& call) {
  TParamCollectionItem& v = call.BoundVar(0);
  if (!call.Has(1)) {
    call.Dest().SetInt(v.Count());
    return;
  }
  const int64_t k = call.Int(1);
  call.Dest().SetInt(v.Dim(static_cast<int32_t>(std::clamp<int64_t>(v.DimCount() - 1 - k, -1, INT32_MAX))));
}

void Length(TSysCall& call) { call.Dest().SetInt(static_cast<int32_t>(call.Str(0).size())); }

// Delete(var s, i [, n]): deletes n bytes at 1-based position i; a position outside the string or
// a count of 0 or less deletes nothing; n defaults to the byte length.
void Delete(TSysCall& call) {
  TCustomParam& target = call.Var(0);
  std::string s = target.GetStr();
  const int64_t i = call.Int(1);
  const int64_t n = call.Has(2) ? call.Int(2) : static_cast<int64_t>(s.size());
  const int64_t length = static_cast<int64_t>(s.size());
  if (i >= 1 && i <= length && n > 0) s.erase(static_cast<size_t>(i - 1), static_cast<size_t>(std::min(n, length - i + 1)));
  target.SetStr(s);
}

void Not(TSysCall& call) { call.Dest().SetFlag(!call.Flag(0)); }

// AssignTemp(name): "@Temp" stands for the named variable from now on (never for itself).
void AssignTemp(TSysCall& call) { call.Dest().SetFlag(call.Store().AssignTemp(call.Str(0))); }

}  // namespace kova::sysfunc
