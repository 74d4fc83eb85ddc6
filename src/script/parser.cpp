#include "script/parser.h"

#include <cmath>
#include <exception>

#include "core/stream_records.h"
#include "core/vocabulary.h"
#include "script/param_collection.h"
#include "script/prop_types.h"
#include "script/script_errors.h"
#include "script/sysfunc.h"

namespace kova {

namespace {

constexpr size_t kMaxOperands = 1 << 16;

bool SameAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x == y) continue;
    if ((x | 0x20) != (y | 0x20) || (x | 0x20) < 'a' || (x | 0x20) > 'z') return false;
  }
  return true;
}

}  // namespace

// ---- The compiled form ----

// The temporaries of one evaluation: one slot per temporary name of the expression (names equal
// but for the case of ASCII letters share one). A slot's item stays allocated and named between
// evaluations and is reset when the temporary is created again, so evaluating allocates nothing
// for it after the first run. The items belong to no store.
class TKovaParser::TTempSlots {
 public:
  explicit TTempSlots(size_t count) : slots_(count) {}
  TTempSlots(const TTempSlots&) = delete;
  TTempSlots& operator=(const TTempSlots&) = delete;

  size_t Size() const { return slots_.size(); }

  // The temporary of slot s when this evaluation has created it, else nullptr.
  TParamCollectionItem* Active(int32_t s) const {
    const TSlot& slot = slots_[static_cast<size_t>(s)];
    return slot.active ? slot.item.get() : nullptr;
  }

  // Creates the temporary of slot s: named `name`, holding the default value of the type code
  // (0: an unbound element reference).
  TParamCollectionItem* Create(int32_t s, const std::string& name, int32_t type) {
    TSlot& slot = slots_[static_cast<size_t>(s)];
    if (!slot.item) slot.item = std::make_unique<TParamCollectionItem>();
    TParamCollectionItem* item = slot.item.get();
    if (slot.named != &name) {
      slot.named = nullptr;
      item->SetName(name);
      slot.named = &name;
    }
    TCustomParam& v = item->Value();
    if (type == PT_NONE) {
      if (TParamVar* ref = v.AsVar()) {
        ref->Unbind();
        ref->ElementIndex = 0;
      } else {
        item->SetType(PT_NONE);
      }
    } else if (v.PlainType() == type) {
      // What the scalar setter of the type does with the default value.
      switch (type) {
        case PT_INT: static_cast<TParamInt&>(v).SetFirst() = 0; break;
        case PT_FLOAT: static_cast<TParamFloat&>(v).SetFirst() = 0.0L; break;
        case PT_BOOL: static_cast<TParamFlag&>(v).SetFirst() = 0; break;
        default: static_cast<TParamStr&>(v).SetFirst().clear(); break;
      }
    } else {
      item->SetType(type);
    }
    slot.active = true;
    return item;
  }

  // Ends the evaluation: the temporaries leave, and references they hold are dropped.
  void Clear() noexcept {
    for (TSlot& slot : slots_) {
      if (!slot.active) continue;
      slot.active = false;
      TCustomParam& v = slot.item->Value();
      if (!v.PlainType()) {
        if (TParamVar* ref = v.AsVar()) ref->Unbind();
      }
    }
  }

 private:
  struct TSlot {
    std::unique_ptr<TParamCollectionItem> item;
    const std::string* named = nullptr;  // the destination name the item holds
    bool active = false;
  };
  std::vector<TSlot> slots_;
};

namespace {

// A name an operation reads or writes, with what it resolved to.
struct TNameRef {
  const std::string* name = nullptr;
  // The store's visible variable of that name, as looked up at the operation's stamp.
  TParamCollectionItem* item = nullptr;
  // The expression's temporary slot of that name; -1 when the name is no temporary's.
  int32_t temp = -1;
};

struct TOperandRef {
  TCustomParam* param = nullptr;  // the operand itself
  TParamVar* ref = nullptr;       // the operand when it refers to a variable; nullptr for a constant
  TNameRef name;                  // the variable's name (a reference only)
};

struct TCompiledOp {
  TOpeData* op = nullptr;
  uint8_t code = 0;
  std::vector<TOperandRef> operands;
  TNameRef dest;
  // The store, its stamp and its current depth when the names were looked up.
  const TParamCollection* store = nullptr;
  uint64_t stamp = 0;
  int32_t depth = 0;
};

}  // namespace

struct TKovaParser::TPlan {
  explicit TPlan(size_t temp_count) : temps(temp_count) {}
  std::vector<TCompiledOp> ops;
  TTempSlots temps;
  // The last operation assigns "____arg" (so the evaluation has a result).
  bool has_result = false;
};

namespace {

using TTempSlots = TKovaParser::TTempSlots;

[[noreturn]] void RaiseTooFew() { Raise<EScriptError>(TMsg::ExprTooFewOperands); }
[[noreturn]] void RaiseMissing(const std::string& name) { Raise<EScriptError>(TMsg::VarNotFound, name.c_str()); }

inline long double CheckedFloat(long double v) {
  if (!std::isfinite(v)) Raise<EScriptError>(TMsg::ExprFloatError);
  return v;
}

inline int32_t Wrap(uint32_t v) { return static_cast<int32_t>(v); }

inline const TParamInt& AsInt(const TCustomParam& p) { return static_cast<const TParamInt&>(p); }
inline const TParamStr& AsStr(const TCustomParam& p) { return static_cast<const TParamStr&>(p); }

// The string form of a value without a copy when it is stored as a string.
inline std::string_view StrOf(const TCustomParam& p, std::string& scratch) {
  if (p.PlainType() == PT_STR) return AsStr(p).First();
  if (const std::string* s = p.StrRef()) return *s;
  scratch = p.GetStr();
  return scratch;
}

// Stores a's text followed by b's into the destination. A plain string destination takes the
// bytes into the storage it has (either text may be the destination's own).
void StoreConcat(const TCustomParam& a, const TCustomParam& b, TCustomParam& dest) {
  std::string sa, sb;
  const std::string_view va = StrOf(a, sa), vb = StrOf(b, sb);
  if (dest.PlainType() == PT_STR && static_cast<TParamStr&>(dest).IsScalar()) {
    std::string& d = static_cast<TParamStr&>(dest).SetFirst();
    const bool a_is_d = va.data() == d.data() && va.size() == d.size();
    const bool b_in_d = vb.data() >= d.data() && vb.data() < d.data() + d.size();
    if (a_is_d) {
      d.append(vb.data(), vb.size());
      return;
    }
    if (!b_in_d) {
      d.assign(va.data(), va.size());
      d.append(vb.data(), vb.size());
      return;
    }
  }
  std::string out;
  out.reserve(va.size() + vb.size());
  out.append(va).append(vb);
  dest.SetStr(out);
}

// -1, 0 or 1 by the type of operand 1: strings byte by byte (unsigned, a prefix first), floats,
// flags as 0/1, anything else as signed integers.
int Compare(const TCustomParam& a, const TCustomParam& b) {
  const int32_t type = a.PlainType() ? a.PlainType() : a.TypeCode();
  switch (type) {
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
      const int32_t x = a.PlainType() == PT_INT ? AsInt(a).First() : a.GetInt();
      const int32_t y = b.PlainType() == PT_INT ? AsInt(b).First() : b.GetInt();
      return (x > y) - (x < y);
    }
  }
}

inline bool CompareResult(uint8_t code, int c) {
  switch (code) {
    case ocEqual: return c == 0;
    case ocBig: return c > 0;
    case ocSmall: return c < 0;
    case ocEBig: return c >= 0;
    case ocESmall: return c <= 0;
    default: return c != 0;
  }
}

// The type code of a value as an operand.
inline int32_t TypeOf(const TCustomParam& p) { return p.PlainType() ? p.PlainType() : p.TypeCode(); }

// The type code a new temporary destination of the operation takes; operand(i) gives operand i
// as the operation reads it.
template <class Operand>
int32_t TempType(const TOpeData& op, size_t n, Operand operand) {
  auto at = [&](size_t i) -> const TCustomParam& {
    if (i >= n) RaiseTooFew();
    return operand(i);
  };
  switch (op.OpCode) {
    case ocTo: return TypeOf(at(0));
    case ocPlus: {
      const int32_t t = TypeOf(at(0));
      return t == PT_STR ? PT_STR : t == PT_FLOAT ? PT_FLOAT : PT_INT;
    }
    case ocMinus: case ocMul: case ocDiv:
      return TypeOf(at(0)) == PT_FLOAT ? PT_FLOAT : PT_INT;
    case ocMod: case ocOr: case ocAnd: case ocXor: case ocShiftL: case ocShiftR:
      return PT_INT;
    case ocDimTo: return PT_NONE;
    case ocFunc:
      if (op.FuncId == Ord(TSysFunc::GetProp)) {
        const int32_t type = PropValueType(at(1).GetInt());
        if (type == PT_NONE) Raise<EScriptError>(TMsg::ExprGetPropArg);
        return type;
      }
      return SysFuncResultType(op.FuncId);
    case ocEqual: case ocBig: case ocSmall: case ocEBig: case ocESmall: case ocNEqual:
      return PT_BOOL;
    case ocComboStr: return PT_STR;
    default: {
      std::string message = Format(MsgText(TMsg::ExprInvalid).c_str(), op.DestName.c_str(),
                                   std::string(OpCodeName(op.OpCode)).c_str());
      for (size_t i = 0; i < n; ++i) message += "\r\n" + operand(i).GetStr();
      throw EScriptError(message);
    }
  }
}

// Integer operations on plain integers, written straight into a plain integer destination.
// False (nothing done) for any other combination.
inline bool FastInt(uint8_t code, const TCustomParam& a, const TCustomParam& b, TCustomParam& dest) {
  if (dest.PlainType() != PT_INT || a.PlainType() != PT_INT || b.PlainType() != PT_INT) return false;
  const int32_t x = AsInt(a).First(), y = AsInt(b).First();
  int32_t r;
  switch (code) {
    case ocPlus: r = Wrap(uint32_t(x) + uint32_t(y)); break;
    case ocMinus: r = Wrap(uint32_t(x) - uint32_t(y)); break;
    case ocMul: r = Wrap(uint32_t(x) * uint32_t(y)); break;
    default: return false;
  }
  static_cast<TParamInt&>(dest).SetFirst() = r;
  return true;
}

// Reads the operation's operands a and b (n of them are present; a and b are null past n) and
// writes its result into the destination.
void Calculate(const TOpeData& op, const TCustomParam* a, const TCustomParam* b, size_t n,
               TParamCollectionItem& dest_item) {
  auto need = [n](size_t count) {
    if (n < count) RaiseTooFew();
  };
  TCustomParam& dest = dest_item.Value();
  const uint8_t code = op.OpCode;
  switch (code) {
    case ocTo: {
      need(1);
      const int32_t dt = dest.PlainType();
      if (dt && dt == a->PlainType()) {
        // The same type on both sides: element 0 is copied as stored.
        switch (dt) {
          case PT_INT: static_cast<TParamInt&>(dest).SetFirst() = AsInt(*a).First(); return;
          case PT_FLOAT:
            static_cast<TParamFloat&>(dest).SetFirst() = static_cast<const TParamFloat&>(*a).First();
            return;
          case PT_BOOL:
            static_cast<TParamFlag&>(dest).SetFirst() = static_cast<const TParamFlag&>(*a).First() != 0 ? 1 : 0;
            return;
          default: break;  // strings go through SetStr, which guards against the text being freed
        }
      }
      switch (dt ? dt : dest.TypeCode()) {
        case PT_INT: dest.SetInt(a->GetInt()); break;
        case PT_FLOAT: dest.SetFloat(a->GetFloat()); break;
        case PT_BOOL: dest.SetFlag(a->GetFlag()); break;
        case PT_STR: {
          std::string scratch;
          dest.SetStr(StrOf(*a, scratch));
          break;
        }
        default: break;
      }
      return;
    }
    case ocPlus: {
      need(2);
      if (FastInt(code, *a, *b, dest)) return;
      switch (TypeOf(dest)) {
        case PT_STR: StoreConcat(*a, *b, dest); break;
        case PT_FLOAT: dest.SetFloat(CheckedFloat(a->GetFloat() + b->GetFloat())); break;
        default: dest.SetInt(Wrap(uint32_t(a->GetInt()) + uint32_t(b->GetInt()))); break;
      }
      return;
    }
    case ocMinus: case ocMul: case ocDiv: {
      need(2);
      if (FastInt(code, *a, *b, dest)) return;
      if (TypeOf(dest) == PT_FLOAT) {
        const long double x = a->GetFloat(), y = b->GetFloat();
        const long double r = code == ocMinus ? x - y : code == ocMul ? x * y : x / y;
        dest.SetFloat(CheckedFloat(r));
        return;
      }
      const int32_t x = a->GetInt(), y = b->GetInt();
      if (code == ocMinus) {
        dest.SetInt(Wrap(uint32_t(x) - uint32_t(y)));
      } else if (code == ocMul) {
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
      const int32_t x = a->GetInt(), y = b->GetInt();
      if (y == 0 || (x == INT32_MIN && y == -1)) Raise<EScriptError>(TMsg::ExprDivByZero);
      dest.SetInt(x % y);
      return;
    }
    case ocOr: case ocAnd: case ocXor: {
      need(2);
      const uint32_t x = uint32_t(a->GetInt()), y = uint32_t(b->GetInt());
      dest.SetInt(Wrap(code == ocOr ? x | y : code == ocAnd ? x & y : x ^ y));
      return;
    }
    case ocShiftL: case ocShiftR: {
      need(2);
      // The count is taken modulo 32 as the processor does, also for negative counts.
      const uint32_t x = uint32_t(a->GetInt());
      const uint32_t s = uint32_t(b->GetInt()) & 31u;
      dest.SetInt(Wrap(code == ocShiftL ? x << s : x >> s));
      return;
    }
    case ocComboStr:
      need(2);
      StoreConcat(*a, *b, dest);
      return;
    case ocEqual: case ocBig: case ocSmall: case ocEBig: case ocESmall: case ocNEqual: {
      need(2);
      const bool r = CompareResult(code, Compare(*a, *b));
      if (dest.PlainType() == PT_BOOL) {
        static_cast<TParamFlag&>(dest).SetFirst() = r ? 1 : 0;
      } else {
        dest.SetFlag(r);
      }
      return;
    }
    default:
      return;  // ocDimTo made its reference when the temporary was created; ocNone does nothing
  }
}

// Looks the operation's names up in the store again.
void LookUp(TCompiledOp& c, const TParamCollection& store) {
  for (TOperandRef& o : c.operands) {
    if (o.ref) o.name.item = store.FindParam(*o.name.name);
  }
  c.dest.item = store.FindParam(*c.dest.name);
  c.store = &store;
  c.stamp = store.Stamp();
  c.depth = store.CurrentDepth;
}

inline void Refresh(TCompiledOp& c, const TParamCollection& store) {
  if (c.stamp != store.Stamp() || c.depth != store.CurrentDepth || c.store != &store) LookUp(c, store);
}

// The temporary of this evaluation, else the store's visible variable; nullptr when none.
inline TParamCollectionItem* Resolve(const TNameRef& r, const TTempSlots& temps) {
  if (r.temp >= 0) {
    if (TParamCollectionItem* t = temps.Active(r.temp)) return t;
  }
  return r.item;
}

// Binds a reference operand to its variable; a reference to an element reference takes over its
// element.
inline void BindOperand(TParamVar& ref, TParamCollectionItem& item) {
  ref.Bind(&item);
  const TCustomParam& value = item.Value();
  const TParamVar* inner = value.PlainType() ? nullptr : value.AsVar();
  ref.ElementIndex = inner ? inner->ElementIndex : 0;
}

// Unbinds the references an operation bound when it ends, however it ends.
struct TUnbindGuard {
  TParamVar* refs[2] = {nullptr, nullptr};
  std::vector<TOperandRef>* all = nullptr;
  ~TUnbindGuard() {
    if (refs[0]) refs[0]->Unbind();
    if (refs[1]) refs[1]->Unbind();
    if (all) {
      for (TOperandRef& o : *all) {
        if (o.ref) o.ref->Unbind();
      }
    }
  }
};

// Function calls, element references and operations of more than two operands: every reference
// is bound (the functions read and write through them), as the operation reads them.
void RunBound(TCompiledOp& c, TParamCollection& store, TTempSlots& temps) {
  TUnbindGuard unbind;
  unbind.all = &c.operands;
  for (TOperandRef& o : c.operands) {
    if (!o.ref) continue;
    TParamCollectionItem* item = Resolve(o.name, temps);
    if (!item) RaiseMissing(*o.name.name);
    BindOperand(*o.ref, *item);
  }
  TOpeData& op = *c.op;
  const size_t n = c.operands.size();
  TParamCollectionItem* dest = Resolve(c.dest, temps);
  if (!dest) {
    if (c.dest.temp < 0) RaiseMissing(op.DestName);
    const int32_t type = TempType(op, n, [&](size_t i) -> const TCustomParam& { return *op.Operands[i]; });
    if (c.code == ocDimTo) {
      // Operand 1 names the array; the others are the indices.
      if (n == 0) RaiseTooFew();
      const TParamVar* array = c.operands[0].ref;
      if (!array || !array->BoundItem()) Raise<EScriptError>(TMsg::VarNotFound, "");
      std::vector<int32_t> indices;
      indices.reserve(n - 1);
      for (size_t i = 1; i < n; ++i) indices.push_back(op.Operands[i]->GetInt());
      dest = temps.Create(c.dest.temp, op.DestName, PT_NONE);
      dest->BindElement(*array->BoundItem(), indices);
    } else {
      dest = temps.Create(c.dest.temp, op.DestName, type);
    }
  }
  if (c.code == ocFunc) {
    TSysFuncMan::Execute(store, *dest, op.FuncId, op.Operands);
    return;
  }
  Calculate(op, n > 0 ? op.Operands[0].get() : nullptr, n > 1 ? op.Operands[1].get() : nullptr, n, *dest);
}

// One operation. Operands that are variables holding their own elements are read straight from
// the variables' values; any other variable is read through its bound reference operand.
void RunOp(TCompiledOp& c, TParamCollection& store, TTempSlots& temps) {
  Refresh(c, store);
  const size_t n = c.operands.size();
  if (n > 2 || c.code == ocFunc || c.code == ocDimTo) {
    RunBound(c, store, temps);
    return;
  }
  TUnbindGuard unbind;
  const TCustomParam* v[2] = {nullptr, nullptr};
  for (size_t k = 0; k < n; ++k) {
    TOperandRef& o = c.operands[k];
    if (!o.ref) {
      v[k] = o.param;
      continue;
    }
    TParamCollectionItem* item = Resolve(o.name, temps);
    if (!item) RaiseMissing(*o.name.name);
    const TCustomParam& value = item->Value();
    if (value.PlainType()) {
      v[k] = &value;
      continue;
    }
    BindOperand(*o.ref, *item);
    unbind.refs[k] = o.ref;
    v[k] = o.ref;
  }
  TParamCollectionItem* dest = Resolve(c.dest, temps);
  if (!dest) {
    if (c.dest.temp < 0) RaiseMissing(c.op->DestName);
    const int32_t type = TempType(*c.op, n, [&](size_t i) -> const TCustomParam& { return *v[i]; });
    dest = temps.Create(c.dest.temp, c.op->DestName, type);
  }
  Calculate(*c.op, v[0], v[1], n, *dest);
}

// Copies the value of "____arg" into `result`, reusing its storage when the types agree.
void CopyResult(const TCustomParam& source, int32_t type, std::unique_ptr<TCustomParam>& result) {
  if (result && result->PlainType() == type && source.PlainType() == type) {
    switch (type) {
      case PT_INT: {
        auto& r = static_cast<TParamInt&>(*result);
        const auto& s = static_cast<const TParamInt&>(source);
        if (r.IsScalar() && s.IsScalar()) {
          r.SetFirst() = s.First();
          return;
        }
        break;
      }
      case PT_BOOL: {
        auto& r = static_cast<TParamFlag&>(*result);
        const auto& s = static_cast<const TParamFlag&>(source);
        if (r.IsScalar() && s.IsScalar()) {
          r.SetFirst() = s.First();
          return;
        }
        break;
      }
      default: break;
    }
  }
  if (!result || result->PlainType() != type) result = CreateParamByType(type);
  result->Assign(source);
}

}  // namespace

// ---- TOpeData ----

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

TKovaParser::TKovaParser() = default;
TKovaParser::~TKovaParser() = default;

TOpeData* TKovaParser::AddOp() {
  Changed();
  ops_.push_back(std::make_unique<TOpeData>());
  return ops_.back().get();
}

void TKovaParser::Clear() {
  Changed();
  ops_.clear();
}

void TKovaParser::Changed() { plan_.reset(); }

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

namespace {

// Gives every temporary name of the operations a slot: the destinations that are temporaries'
// names, in order of first appearance.
class TSlotNames {
 public:
  int32_t Find(const std::string& name) const {
    if (!IsTempName(name)) return -1;
    for (size_t i = 0; i < names_.size(); ++i) {
      if (SameAscii(*names_[i], name)) return static_cast<int32_t>(i);
    }
    return -1;
  }
  void Add(const std::string& name) {
    if (IsTempName(name) && Find(name) < 0) names_.push_back(&name);
  }
  size_t Count() const { return names_.size(); }

 private:
  std::vector<const std::string*> names_;
};

}  // namespace

void TKovaParser::Execute(TParamCollection& store) {
  if (!plan_) {
    TSlotNames slots;
    for (const auto& op : ops_) slots.Add(op->DestName);
    auto plan = std::make_unique<TPlan>(slots.Count());
    plan->ops.reserve(ops_.size());
    for (const auto& op : ops_) {
      TCompiledOp c;
      c.op = op.get();
      c.code = op->OpCode;
      c.dest.name = &op->DestName;
      c.dest.temp = slots.Find(op->DestName);
      c.operands.reserve(op->Operands.size());
      for (const auto& p : op->Operands) {
        TOperandRef o;
        o.param = p.get();
        o.ref = p->AsVar();
        if (o.ref) {
          o.name.name = &o.ref->VarName;
          o.name.temp = slots.Find(o.ref->VarName);
        }
        c.operands.push_back(o);
      }
      plan->ops.push_back(std::move(c));
    }
    plan->has_result = !ops_.empty() && ops_.back()->OpCode == ocTo && ops_.back()->DestName == "____arg";
    plan_ = std::move(plan);
  }
  if (running_) {
    // Evaluated again from inside its own evaluation: the inner run gets temporaries of its own.
    TTempSlots scope(plan_->temps.Size());
    Evaluate(store, scope);
    return;
  }
  running_ = true;
  struct TRunning {
    bool& flag;
    ~TRunning() { flag = false; }
  } running{running_};
  Evaluate(store, plan_->temps);
}

void TKovaParser::Evaluate(TParamCollection& store, TTempSlots& temps) {
  struct TClear {
    TTempSlots& temps;
    ~TClear() { temps.Clear(); }
  } clear{temps};
  if (result_) spare_result_ = std::move(result_);
  TPlan& plan = *plan_;
  for (TCompiledOp& c : plan.ops) {
    try {
      RunOp(c, store, temps);
    } catch (const std::exception&) {
      break;  // an error ends the expression silently
    }
  }
  if (!plan.has_result) return;
  TCompiledOp& last = plan.ops.back();
  Refresh(last, store);
  TParamCollectionItem* arg = Resolve(last.dest, temps);
  if (!arg) return;
  const TCustomParam& value = arg->Value();
  const int32_t type = TypeOf(value);
  if (type < PT_INT || type > PT_STR) Raise<EScriptError>(TMsg::ParamBadVariable, last.op->DestName.c_str());
  std::unique_ptr<TCustomParam> result = std::move(spare_result_);
  CopyResult(value, type, result);
  result_ = std::move(result);
}

}  // namespace kova
