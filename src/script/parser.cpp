#include "script/parser.h"

#include <cmath>
#include <exception>

#include "core/stream_records.h"
#include "core/vocabulary.h"
#include "script/param_collection.h"
#include "script/prop_types.h"
#include "script/script_errors.h"
#include "script/sysfunc.h"
#include "script/sysfunc_util.h"

namespace kova {

// The temporaries of one evaluation. Their items stay allocated between evaluations of the same
// expression and are reset when created again, so evaluating allocates nothing for them after
// the first run.
class TTempScope {
 public:
  TParamCollectionItem* Find(std::string_view name) const {
    for (size_t i = 0; i < active_; ++i) {
      const std::string& n = items_[i]->Name();
      if (n.size() == name.size() && SameAscii(n, name)) return items_[i].get();
    }
    return nullptr;
  }

  // A new temporary of that name holding the default value of the type code.
  TParamCollectionItem* Create(std::string_view name, int32_t type) {
    if (active_ == items_.size()) items_.push_back(std::make_unique<TParamCollectionItem>());
    TParamCollectionItem* item = items_[active_].get();
    TCustomParam& v = item->Value();
    if (TParamVar* ref = v.AsVar(); ref && type == PT_NONE) {
      ref->Unbind();
      ref->ElementIndex = 0;
    } else if (type != PT_NONE && !v.AsVar() && v.TypeCode() == type) {
      switch (type) {  // a scalar setter also drops dimensions
        case PT_INT: v.SetInt(0); break;
        case PT_FLOAT: v.SetFloat(0); break;
        case PT_BOOL: v.SetFlag(false); break;
        default: v.SetStr({}); break;
      }
    } else {
      item->SetType(type);
    }
    item->SetName(name);
    ++active_;
    return item;
  }

  // Ends the evaluation: the temporaries leave, and references they hold are dropped.
  void Clear() noexcept {
    for (size_t i = 0; i < active_; ++i) {
      if (TParamVar* ref = items_[i]->Value().AsVar()) ref->Unbind();
    }
    active_ = 0;
  }

 private:
  static bool SameAscii(std::string_view a, std::string_view b) {
    for (size_t i = 0; i < a.size(); ++i) {
      char x = a[i], y = b[i];
      if (x == y) continue;
      if ((x | 0x20) != (y | 0x20) || (x | 0x20) < 'a' || (x | 0x20) > 'z') return false;
    }
    return true;
  }

  std::vector<std::unique_ptr<TParamCollectionItem>> items_;
  size_t active_ = 0;
};

namespace {

constexpr size_t kMaxOperands = 1 << 16;

// Clears a scope when the evaluation ends, however it ends.
struct TScopeGuard {
  TTempScope& scope;
  ~TScopeGuard() { scope.Clear(); }
};

// Unbinds an operation's references when it ends, however it ends.
struct TUnbindGuard {
  std::vector<std::unique_ptr<TCustomParam>>& operands;
  ~TUnbindGuard() {
    for (auto& p : operands) {
      if (TParamVar* ref = p->AsVar()) ref->Unbind();
    }
  }
};

[[noreturn]] void RaiseTooFew() { Raise<EScriptError>(TMsg::ExprTooFewOperands); }

inline long double CheckedFloat(long double v) {
  if (!std::isfinite(v)) Raise<EScriptError>(TMsg::ExprFloatError);
  return v;
}

inline int32_t Wrap(uint32_t v) { return static_cast<int32_t>(v); }

// The string form of a value without a copy when it is stored as a string.
inline std::string_view StrOf(const TCustomParam& p, std::string& scratch) {
  if (const std::string* s = p.StrRef()) return *s;
  scratch = p.GetStr();
  return scratch;
}

// Joined strings are held to the same cap as the strings the system functions build; the error
// names the operator ("ocPlus:文字列が長すぎます").
std::string ConcatStr(const TCustomParam& a, const TCustomParam& b, int32_t op) {
  std::string sa, sb;
  std::string_view va = StrOf(a, sa), vb = StrOf(b, sb);
  if (va.size() + vb.size() > sysfunc::kMaxBuiltString)
    Raise<EScriptError>(TMsg::SysFuncStringTooLong, std::string(OpCodeName(op)).c_str());
  std::string out;
  out.reserve(va.size() + vb.size());
  out.append(va).append(vb);
  return out;
}

// -1, 0 or 1 by the type of operand 1: strings byte by byte (unsigned, a prefix first), floats,
// flags as 0/1, anything else as signed integers.
int Compare(const TCustomParam& a, const TCustomParam& b) {
  switch (a.TypeCode()) {
    case PT_STR: {
      std::string sa, sb;
      const int c = StrOf(a, sa).compare(StrOf(b, sb));
      return (c > 0) - (c < 0);
    }
    case PT_FLOAT: {
      const long double x = a.GetFloat(), y = b.GetFloat();
      return (x > y) - (x < y);
    }
    case PT_BOOL: return int(a.GetFlag()) - int(b.GetFlag());
    default: {
      const int32_t x = a.GetInt(), y = b.GetInt();
      return (x > y) - (x < y);
    }
  }
}

}  // namespace

TParamCollectionItem* TExprContext::Resolve(std::string_view name, TNameCache& cache) const {
  if (IsTempName(name)) {
    if (TParamCollectionItem* t = temps_.Find(name)) return t;
  }
  return store_.FindParam(name, cache);
}

// ---- TOpeData ----

int32_t TOpeData::TempType() const {
  auto operand = [this](size_t i) -> const TCustomParam& {
    if (i >= Operands.size()) RaiseTooFew();
    return *Operands[i];
  };
  switch (OpCode) {
    case ocTo: return operand(0).TypeCode();
    case ocPlus: {
      const int32_t t = operand(0).TypeCode();
      return t == PT_STR ? PT_STR : t == PT_FLOAT ? PT_FLOAT : PT_INT;
    }
    case ocMinus: case ocMul: case ocDiv:
      return operand(0).TypeCode() == PT_FLOAT ? PT_FLOAT : PT_INT;
    case ocMod: case ocOr: case ocAnd: case ocXor: case ocShiftL: case ocShiftR:
      return PT_INT;
    case ocDimTo: return PT_NONE;
    case ocFunc:
      if (FuncId == Ord(TSysFunc::GetProp)) {
        const int32_t type = PropValueType(operand(1).GetInt());
        if (type == PT_NONE) Raise<EScriptError>(TMsg::ExprGetPropArg);
        return type;
      }
      return SysFuncResultType(FuncId);
    case ocEqual: case ocBig: case ocSmall: case ocEBig: case ocESmall: case ocNEqual:
      return PT_BOOL;
    case ocComboStr: return PT_STR;
    default: {
      std::string message = Format(MsgText(TMsg::ExprInvalid).c_str(), DestName.c_str(),
                                   std::string(OpCodeName(OpCode)).c_str());
      for (const auto& p : Operands) message += "\r\n" + p->GetStr();
      throw EScriptError(message);
    }
  }
}

void TOpeData::Execute(TExprContext& context) {
  TUnbindGuard unbind{Operands};
  // 1. Bind the references; a reference to an element reference takes over its element.
  for (auto& p : Operands) {
    TParamVar* ref = p->AsVar();
    if (!ref) continue;
    TParamCollectionItem* item = context.Resolve(ref->VarName, ref->LookupCache);
    if (!item) Raise<EScriptError>(TMsg::VarNotFound, ref->VarName.c_str());
    ref->Bind(item);
    const TParamVar* inner = item->Value().AsVar();
    ref->ElementIndex = inner ? inner->ElementIndex : 0;
  }
  // 2. A missing temporary destination is created with the operator's type.
  TParamCollectionItem* dest = context.Resolve(DestName, dest_cache_);
  if (!dest && IsTempName(DestName)) {
    const int32_t type = TempType();
    if (OpCode == ocDimTo) {
      // Operand 1 names the array; the others are the indices.
      if (Operands.empty()) RaiseTooFew();
      const TParamVar* array = Operands[0]->AsVar();
      if (!array || !array->BoundItem()) Raise<EScriptError>(TMsg::VarNotFound, "");
      std::vector<int32_t> indices;
      indices.reserve(Operands.size() - 1);
      for (size_t i = 1; i < Operands.size(); ++i) indices.push_back(Operands[i]->GetInt());
      dest = context.Temps().Create(DestName, PT_NONE);
      dest->BindElement(*array->BoundItem(), indices);
    } else {
      dest = context.Temps().Create(DestName, type);
    }
  }
  // 3.
  if (!dest) Raise<EScriptError>(TMsg::VarNotFound, DestName.c_str());
  Calculate(context, *dest);
}

void TOpeData::Calculate(TExprContext& context, TParamCollectionItem& dest) {
  const size_t n = Operands.size();
  auto need = [n](size_t count) {
    if (n < count) RaiseTooFew();
  };
  switch (OpCode) {
    case ocTo: {
      need(1);
      const TCustomParam& a = *Operands[0];
      switch (dest.TypeCode()) {
        case PT_INT: dest.SetInt(a.GetInt()); break;
        case PT_FLOAT: dest.SetFloat(a.GetFloat()); break;
        case PT_BOOL: dest.SetFlag(a.GetFlag()); break;
        case PT_STR: {
          std::string scratch;
          dest.SetStr(StrOf(a, scratch));
          break;
        }
        default: break;
      }
      return;
    }
    case ocPlus: {
      need(2);
      const TCustomParam &a = *Operands[0], &b = *Operands[1];
      switch (dest.TypeCode()) {
        case PT_STR: dest.SetStr(ConcatStr(a, b, OpCode)); break;
        case PT_FLOAT: dest.SetFloat(CheckedFloat(a.GetFloat() + b.GetFloat())); break;
        default: dest.SetInt(Wrap(uint32_t(a.GetInt()) + uint32_t(b.GetInt()))); break;
      }
      return;
    }
    case ocMinus: case ocMul: case ocDiv: {
      need(2);
      const TCustomParam &a = *Operands[0], &b = *Operands[1];
      if (dest.TypeCode() == PT_FLOAT) {
        const long double x = a.GetFloat(), y = b.GetFloat();
        const long double r = OpCode == ocMinus ? x - y : OpCode == ocMul ? x * y : x / y;
        dest.SetFloat(CheckedFloat(r));
        return;
      }
      const int32_t x = a.GetInt(), y = b.GetInt();
      if (OpCode == ocMinus) {
        dest.SetInt(Wrap(uint32_t(x) - uint32_t(y)));
      } else if (OpCode == ocMul) {
        dest.SetInt(Wrap(uint32_t(x) * uint32_t(y)));
      } else {
        // The processor traps on both; so does the expression.
        if (y == 0 || (x == INT32_MIN && y == -1)) Raise<EScriptError>(TMsg::ExprDivByZero);
        dest.SetInt(x / y);
      }
      return;
    }
    case ocMod: {
      need(2);
      const int32_t x = Operands[0]->GetInt(), y = Operands[1]->GetInt();
      if (y == 0 || (x == INT32_MIN && y == -1)) Raise<EScriptError>(TMsg::ExprDivByZero);
      dest.SetInt(x % y);
      return;
    }
    case ocOr: case ocAnd: case ocXor: {
      need(2);
      const uint32_t x = uint32_t(Operands[0]->GetInt()), y = uint32_t(Operands[1]->GetInt());
      dest.SetInt(Wrap(OpCode == ocOr ? x | y : OpCode == ocAnd ? x & y : x ^ y));
      return;
    }
    case ocShiftL: case ocShiftR: {
      need(2);
      // The count is taken modulo 32 as the processor does, also for negative counts.
      const uint32_t x = uint32_t(Operands[0]->GetInt());
      const uint32_t s = uint32_t(Operands[1]->GetInt()) & 31u;
      dest.SetInt(Wrap(OpCode == ocShiftL ? x << s : x >> s));
      return;
    }
    case ocComboStr:
      need(2);
      dest.SetStr(ConcatStr(*Operands[0], *Operands[1], OpCode));
      return;
    case ocEqual: case ocBig: case ocSmall: case ocEBig: case ocESmall: case ocNEqual: {
      need(2);
      const int c = Compare(*Operands[0], *Operands[1]);
      bool r = false;
      switch (OpCode) {
        case ocEqual: r = c == 0; break;
        case ocBig: r = c > 0; break;
        case ocSmall: r = c < 0; break;
        case ocEBig: r = c >= 0; break;
        case ocESmall: r = c <= 0; break;
        default: r = c != 0; break;
      }
      dest.SetFlag(r);
      return;
    }
    case ocFunc:
      TSysFuncMan::Execute(context.Store(), dest, FuncId, Operands);
      return;
    default:
      return;  // ocDimTo made its reference when the temporary was created; ocNone does nothing
  }
}

void TOpeData::Assign(const TOpeData& source) {
  std::vector<std::unique_ptr<TCustomParam>> operands;
  operands.reserve(source.Operands.size());
  for (const auto& p : source.Operands) {
    const int32_t type = p->TypeCode();
    std::unique_ptr<TCustomParam> copy;
    if (!p->AsVar() && type >= PT_INT && type <= PT_STR) {
      copy = CreateParamByType(type);
      switch (type) {
        case PT_INT: copy->SetInt(p->GetInt()); break;
        case PT_FLOAT: copy->SetFloat(p->GetFloat()); break;
        case PT_BOOL: copy->SetFlag(p->GetFlag()); break;
        default: copy->SetStr(p->GetStr()); break;
      }
    } else {
      auto ref = std::make_unique<TParamVar>();
      if (const TParamVar* src = p->AsVar()) ref->VarName = src->VarName;
      copy = std::move(ref);
    }
    operands.push_back(std::move(copy));
  }
  OpCode = source.OpCode;
  DestName = source.DestName;
  FuncId = source.FuncId;
  Operands.swap(operands);
}

void TOpeData::SaveToStream(TStream& stream) const {
  WriteStreamByte(stream, OpCode);
  WriteStreamString(stream, DestName);
  WriteStreamInteger(stream, static_cast<int32_t>(Operands.size()));
  if (OpCode == ocFunc) WriteStreamByte(stream, FuncId);
  for (const auto& p : Operands) {
    // A reference is written as type 0 with its name, whatever its variable's type.
    const TParamVar* ref = p->AsVar();
    const int32_t type = ref ? PT_NONE : p->TypeCode();
    WriteStreamByte(stream, static_cast<uint8_t>(type));
    switch (type) {
      case PT_INT: WriteStreamInteger(stream, p->GetInt()); break;
      case PT_FLOAT: WriteStreamExtended(stream, p->GetFloat()); break;
      case PT_BOOL: WriteStreamByte(stream, p->GetFlag() ? 1 : 0); break;
      case PT_STR: WriteStreamString(stream, p->GetStr()); break;
      default: WriteStreamString(stream, ref ? ref->VarName : std::string()); break;
    }
  }
}

void TOpeData::LoadFromStream(TStream& stream) {
  const uint8_t code = ReadStreamByte(stream);
  std::string dest = ReadStreamString(stream);
  const int32_t count = ReadStreamInteger(stream);
  // Each operand takes at least 2 bytes (a type byte and a flag).
  if (count < 0 || static_cast<size_t>(count) > kMaxOperands || int64_t(count) * 2 > stream.Remaining()) {
    Raise<EReadError>(TMsg::StreamReadError);
  }
  const uint8_t func = code == ocFunc ? ReadStreamByte(stream) : 0;
  std::vector<std::unique_ptr<TCustomParam>> operands;
  operands.reserve(static_cast<size_t>(count));
  for (int32_t k = 0; k < count; ++k) {
    const uint8_t type = ReadStreamByte(stream);
    std::unique_ptr<TCustomParam> p;
    switch (type) {
      case PT_INT: p = std::make_unique<TParamInt>(); p->SetInt(ReadStreamInteger(stream)); break;
      case PT_FLOAT: p = std::make_unique<TParamFloat>(); p->SetFloat(ReadStreamExtended(stream)); break;
      case PT_BOOL: p = std::make_unique<TParamFlag>(); p->SetFlag(ReadStreamByte(stream) != 0); break;
      case PT_STR: p = std::make_unique<TParamStr>(); p->SetStr(ReadStreamString(stream)); break;
      default: {
        auto ref = std::make_unique<TParamVar>();
        ref->VarName = ReadStreamString(stream);
        p = std::move(ref);
        break;
      }
    }
    operands.push_back(std::move(p));
  }
  OpCode = code;
  DestName.swap(dest);
  FuncId = func;
  Operands.swap(operands);
}

// ---- TKovaParser ----

TKovaParser::TKovaParser() : temps_(std::make_unique<TTempScope>()) {}
TKovaParser::~TKovaParser() = default;

TOpeData* TKovaParser::AddOp() {
  ops_.push_back(std::make_unique<TOpeData>());
  return ops_.back().get();
}

void TKovaParser::Clear() { ops_.clear(); }

void TKovaParser::Assign(const TKovaParser& source) {
  if (&source == this) return;
  Clear();
  for (const auto& op : source.ops_) AddOp()->Assign(*op);
}

void TKovaParser::SaveToStream(TStream& stream) const {
  WriteStreamInteger(stream, Count());
  for (const auto& op : ops_) op->SaveToStream(stream);
}

void TKovaParser::LoadFromStream(TStream& stream) {
  Clear();
  const int32_t count = ReadStreamInteger(stream);
  // An operation takes at least 9 bytes (code, destination length, operand count).
  if (count < 0 || int64_t(count) * 9 > stream.Remaining()) Raise<EReadError>(TMsg::StreamReadError);
  ops_.reserve(static_cast<size_t>(count));
  for (int32_t k = 0; k < count; ++k) AddOp()->LoadFromStream(stream);
}

void TKovaParser::Evaluate(TExprContext& context) {
  if (result_) spare_result_ = std::move(result_);
  for (const auto& op : ops_) {
    try {
      op->Execute(context);
    } catch (const std::exception&) {
      break;  // an error ends the expression silently
    }
  }
  if (ops_.empty()) return;
  const TOpeData& last = *ops_.back();
  if (last.OpCode != ocTo || last.DestName != "____arg") return;
  TNameCache cache;
  TParamCollectionItem* arg = context.Resolve(last.DestName, cache);
  if (!arg) return;
  const int32_t type = arg->TypeCode();
  if (type < PT_INT || type > PT_STR) Raise<EScriptError>(TMsg::ParamBadVariable, last.DestName.c_str());
  std::unique_ptr<TCustomParam> result = std::move(spare_result_);
  if (!result || result->AsVar() || result->TypeCode() != type) result = CreateParamByType(type);
  result->Assign(arg->Value());
  result_ = std::move(result);
}

void TKovaParser::Execute(TParamCollection& store) {
  if (running_) {
    // Evaluated again from inside its own evaluation: the inner run gets a scope of its own.
    TTempScope scope;
    TScopeGuard guard{scope};
    TExprContext context(store, scope);
    Evaluate(context);
    return;
  }
  running_ = true;
  struct TRunning {
    bool& flag;
    ~TRunning() { flag = false; }
  } running{running_};
  TScopeGuard guard{*temps_};
  TExprContext context(store, *temps_);
  Evaluate(context);
}

}  // namespace kova
