// Numeric system functions. Float results that are not finite (an argument outside a function's
// domain, an overflow) raise the float error, which ends the expression.
#include <cmath>
#include <cstdint>

#include "core/vocabulary.h"
#include "script/param_collection.h"
#include "script/script_errors.h"
#include "script/script_ports.h"
#include "script/sysfunc_procs.h"
#include "script/sysfunc_random.h"
#include "script/value_text.h"

namespace kova::sysfunc {
namespace {

// The processor's angle reduction works below 2^63; larger magnitudes give 0.
constexpr long double kReduceLimit = 9223372036854775808.0L;

void SetFloatResult(TSysCall& call, long double x) {
  if (!std::isfinite(x)) Raise<EScriptError>(TMsg::ExprFloatError);
  call.Dest().SetFloat(x);
}

template <long double (*Fn)(long double)>
void Trig(TSysCall& call) {
  const long double x = call.Float(0);
  SetFloatResult(call, std::fabs(x) < kReduceLimit ? Fn(x) : 0.0L);
}

long double SinL(long double x) { return std::sin(x); }
long double CosL(long double x) { return std::cos(x); }
long double TanL(long double x) { return std::tan(x); }

}  // namespace

void Random(TSysCall& call) { call.Dest().SetInt(ScriptRandom(call.Ports().random, call.Int(0))); }

void Int(TSysCall& call) { call.Dest().SetInt(FloatToScriptInt(call.Float(0))); }
void Float(TSysCall& call) { call.Dest().SetFloat(call.Float(0)); }

void Sin(TSysCall& call) { Trig<SinL>(call); }
void Cos(TSysCall& call) { Trig<CosL>(call); }
void Tan(TSysCall& call) { Trig<TanL>(call); }
void ArcSin(TSysCall& call) { SetFloatResult(call, std::asin(call.Float(0))); }
void ArcCos(TSysCall& call) { SetFloatResult(call, std::acos(call.Float(0))); }
void ArcTan(TSysCall& call) { SetFloatResult(call, std::atan(call.Float(0))); }
void ArcTan2(TSysCall& call) { SetFloatResult(call, std::atan2(call.Float(0), call.Float(1))); }
void Hypot(TSysCall& call) { SetFloatResult(call, std::hypot(call.Float(0), call.Float(1))); }

// Abs(n): -2147483648 stays itself (its magnitude has no 32-bit form).
void Abs(TSysCall& call) {
  const int32_t n = call.Int(0);
  call.Dest().SetInt(n < 0 ? static_cast<int32_t>(0u - static_cast<uint32_t>(n)) : n);
}

void Fabs(TSysCall& call) { SetFloatResult(call, std::fabs(call.Float(0))); }

void Min(TSysCall& call) {
  const int32_t a = call.Int(0), b = call.Int(1);
  call.Dest().SetInt(a < b ? a : b);
}

void Max(TSysCall& call) {
  const int32_t a = call.Int(0), b = call.Int(1);
  call.Dest().SetInt(a > b ? a : b);
}

void Fmin(TSysCall& call) {
  const long double a = call.Float(0), b = call.Float(1);
  SetFloatResult(call, a < b ? a : b);
}

void Fmax(TSysCall& call) {
  const long double a = call.Float(0), b = call.Float(1);
  SetFloatResult(call, a > b ? a : b);
}

void GetVarType(TSysCall& call) { call.Dest().SetInt(call.Arg(0).TypeCode()); }

}  // namespace kova::sysfunc
