#include "script/parser.h"

#include <cmath>
#include <exception>

#include "core/record_io.h"
#include "core/stream_records.h"
#include "core/vocabulary.h"
#include "script/param_collection.h"
#include "script/prop_types.h"
#include "script/script_errors.h"
#include "script/sysfunc.h"
#include "script/sysfunc_util.h"

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
    return slot.epoch == epoch_ ? slot.item.get() : nullptr;
  }

  // Creates the temporary of slot s: named `name`, holding the default value of the type code
  // (0: an unbound element reference).
  [[gnu::always_inline]] TParamCollectionItem* Create(int32_t s, const std::string& name, int32_t type) {
    TSlot& slot = slots_[static_cast<size_t>(s)];
    // The common case: the slot's last temporary had the same name and a value of the type.
    if (slot.named == &name) {
      TCustomParam& v = slot.item->Value();
      if (type != PT_NONE && v.PlainType() == type) {
        ResetPlain(v, type);
        slot.epoch = epoch_;
        return slot.item.get();
      }
    }
    return CreateAnew(slot, name, type);
  }

  // Ends the evaluation: the temporaries leave, and references they hold are dropped.
  void Clear() noexcept {
    ++epoch_;
    if (!refs_) return;
    refs_ = false;
    for (TSlot& slot : slots_) {
      if (!slot.item) continue;
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
    uint64_t epoch = 0;                  // the evaluation that created the temporary
  };

  // What the scalar setter of the type does with the type's default value.
  static void ResetPlain(TCustomParam& v, int32_t type) {
    switch (type) {
      case PT_INT: static_cast<TParamInt&>(v).SetFirst() = 0; break;
      case PT_FLOAT: static_cast<TParamFloat&>(v).SetFirst() = 0.0L; break;
      case PT_BOOL: static_cast<TParamFlag&>(v).SetFirst() = 0; break;
      default: static_cast<TParamStr&>(v).SetFirst().clear(); break;
    }
  }

  [[gnu::noinline]] TParamCollectionItem* CreateAnew(TSlot& slot, const std::string& name, int32_t type) {
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
      refs_ = true;
    } else if (v.PlainType() == type) {
      ResetPlain(v, type);
    } else {
      item->SetType(type);
    }
    slot.epoch = epoch_;
    return item;
  }

  std::vector<TSlot> slots_;
  // The current evaluation; a slot is active while its epoch is this one. Never wraps.
  uint64_t epoch_ = 1;
  // Some temporary was made an element reference (Clear unbinds those).
  bool refs_ = false;
};

namespace {

// A name an operation reads or writes, with what it resolved to.
struct TNameRef {
  const std::string* name = nullptr;
  // The store's visible variable of that name and its value, as looked up at the plan's stamp
  // (nullptr when there was none).
  TParamCollectionItem* item = nullptr;
  TCustomParam* value = nullptr;
  // The expression's temporary slot of that name; -1 when the name is no temporary's.
  int32_t temp = -1;
};

struct TOperandRef {
  TCustomParam* param = nullptr;  // the operand itself
  TParamVar* ref = nullptr;       // the operand when it refers to a variable; nullptr for a constant
  TNameRef name;                  // the variable's name (a reference only)
};

struct TCompiledOp;

// One evaluation in progress.
struct TEval {
  TParamCollection& store;
  TKovaParser::TTempSlots& temps;
};

// How an operation runs, chosen by its code and operand count when it is compiled: a two-operand
// operator (ocPlus .. ocNEqual) is its own code; besides those:
enum TOpKind : uint8_t {
  kOpTo = 32,       // assignment (one or two operands)
  kOpGeneral = 33,  // function calls, element references, more than two operands, an operand
                    // short, an invalid code
};

struct TCompiledOp {
  uint8_t kind = kOpGeneral;
  uint32_t count = 0;     // operands
  TOperandRef first[2];   // the first two operands
  TNameRef dest;
  TOpeData* op = nullptr;
  std::vector<TOperandRef> operands;  // all of them
};

}  // namespace

struct TKovaParser::TPlan {
  explicit TPlan(size_t temp_count) : temps(temp_count) {}
  std::vector<TCompiledOp> ops;
  TTempSlots temps;
  // The last operation assigns "____arg" (so the evaluation has a result).
  bool has_result = false;
  // The store, its stamp and its current depth when the names were looked up.
  const TParamCollection* store = nullptr;
  uint64_t stamp = 0;
  int32_t depth = 0;
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
// bytes into the storage it has (either text may be the destination's own). Joined strings are
// held to the same cap as the strings the system functions build; the error names the operator
// ("ocPlus:文字列が長すぎます").
void StoreConcat(const TCustomParam& a, const TCustomParam& b, TCustomParam& dest, uint8_t code) {
  std::string sa, sb;
  const std::string_view va = StrOf(a, sa), vb = StrOf(b, sb);
  if (va.size() + vb.size() > sysfunc::kMaxBuiltString)
    Raise<EScriptError>(TMsg::SysFuncStringTooLong, std::string(OpCodeName(code)).c_str());
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

// Reads operands a and b of an operation of that code (n of them are present; a and b are null
// past n) and writes its result into the destination's value (functions are called elsewhere).
void Calculate(uint8_t code, const TCustomParam* a, const TCustomParam* b, size_t n, TCustomParam& dest) {
  auto need = [n](size_t count) {
    if (n < count) RaiseTooFew();
  };
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
        case PT_STR: StoreConcat(*a, *b, dest, code); break;
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
      StoreConcat(*a, *b, dest, code);
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

inline void LookUp(TNameRef& r, const TParamCollection& store) {
  r.item = store.FindParam(*r.name);
  r.value = r.item ? &r.item->Value() : nullptr;
}

// Binds a reference operand to its variable; a reference to an element reference takes over its
// element.
inline void BindOperand(TParamVar& ref, TParamCollectionItem& item) {
  ref.Bind(&item);
  const TCustomParam& value = item.Value();
  const TParamVar* inner = value.PlainType() ? nullptr : value.AsVar();
  ref.ElementIndex = inner ? inner->ElementIndex : 0;
}

// The value an operand gives when it is a constant or a variable that holds its own elements
// (read straight from it); nullptr for a missing variable and any other value (the general form
// of the operation deals with those).
inline const TCustomParam* PlainOperand(const TOperandRef& o, const TEval& e) {
  if (!o.ref) return o.param;
  const TCustomParam* value = o.name.value;
  if (o.name.temp >= 0) {
    if (TParamCollectionItem* t = e.temps.Active(o.name.temp)) value = &t->Value();
  }
  return value && value->PlainType() ? value : nullptr;
}

// The destination's value when it is a value of its own: the temporary of this evaluation, else
// the store's variable, else (for a temporary's name) a new temporary of the type `type()` gives.
// nullptr (and nothing done) for a missing variable and any other destination.
template <class Type>
inline TCustomParam* PlainDestination(TCompiledOp& c, TEval& e, Type type) {
  TCustomParam* value = c.dest.value;
  if (c.dest.temp >= 0) {
    if (TParamCollectionItem* t = e.temps.Active(c.dest.temp)) {
      value = &t->Value();
    } else if (!value) {
      return &e.temps.Create(c.dest.temp, c.op->DestName, type())->Value();
    }
  }
  return value && value->PlainType() ? value : nullptr;
}

// The general form of an operation, for every operand and destination: each reference operand is
// bound to its variable first (a missing one raises) and the operation reads its operands through
// the references (functions read and write through them); a missing temporary destination is
// created with the operator's type.
[[gnu::noinline]] void RunGeneral(TCompiledOp& c, TEval& e) {
  struct TUnbindAll {
    std::vector<TOperandRef>& all;
    ~TUnbindAll() {
      for (TOperandRef& o : all) {
        if (o.ref) o.ref->Unbind();
      }
    }
  } unbind{c.operands};
  for (TOperandRef& o : c.operands) {
    if (!o.ref) continue;
    TParamCollectionItem* item = o.name.item;
    if (o.name.temp >= 0) {
      if (TParamCollectionItem* t = e.temps.Active(o.name.temp)) item = t;
    }
    if (!item) RaiseMissing(*o.name.name);
    BindOperand(*o.ref, *item);
  }
  TOpeData& op = *c.op;
  const size_t n = c.count;
  const uint8_t code = op.OpCode;
  TParamCollectionItem* dest = nullptr;
  if (c.dest.temp >= 0) dest = e.temps.Active(c.dest.temp);
  if (!dest) dest = c.dest.item;
  if (!dest) {
    if (c.dest.temp < 0) RaiseMissing(op.DestName);
    const int32_t type = TempType(op, n, [&](size_t i) -> const TCustomParam& { return *op.Operands[i]; });
    if (code == ocDimTo) {
      // Operand 1 names the array; the others are the indices.
      if (n == 0) RaiseTooFew();
      const TParamVar* array = c.operands[0].ref;
      if (!array || !array->BoundItem()) Raise<EScriptError>(TMsg::VarNotFound, "");
      std::vector<int32_t> indices;
      indices.reserve(n - 1);
      for (size_t i = 1; i < n; ++i) indices.push_back(op.Operands[i]->GetInt());
      dest = e.temps.Create(c.dest.temp, op.DestName, PT_NONE);
      dest->BindElement(*array->BoundItem(), indices);
    } else {
      dest = e.temps.Create(c.dest.temp, op.DestName, type);
    }
  }
  if (code == ocFunc) {
    TSysFuncMan::Execute(e.store, *dest, op.FuncId, op.Operands);
    return;
  }
  Calculate(code, n > 0 ? op.Operands[0].get() : nullptr, n > 1 ? op.Operands[1].get() : nullptr, n, dest->Value());
}

// Assignment between values of their own (a second operand is read and not used); false (and
// nothing done) for any other operands or destination.
[[gnu::always_inline]] inline bool RunTo(TCompiledOp& c, TEval& e) {
  const TCustomParam* a = PlainOperand(c.first[0], e);
  if (!a || (c.count > 1 && !PlainOperand(c.first[1], e))) return false;
  TCustomParam* dest = PlainDestination(c, e, [a] { return a->PlainType(); });
  if (!dest) return false;
  const int32_t dt = dest->PlainType();
  if (dt == a->PlainType()) {
    // The same type on both sides: element 0 is copied as stored (a flag as 0 or 1).
    switch (dt) {
      case PT_INT: static_cast<TParamInt&>(*dest).SetFirst() = AsInt(*a).First(); return true;
      case PT_FLOAT:
        static_cast<TParamFloat&>(*dest).SetFirst() = static_cast<const TParamFloat&>(*a).First();
        return true;
      case PT_BOOL:
        static_cast<TParamFlag&>(*dest).SetFirst() = static_cast<const TParamFlag&>(*a).First() != 0 ? 1 : 0;
        return true;
      default: break;  // strings go through SetStr, which guards against the text being freed
    }
  }
  Calculate(ocTo, a, nullptr, 1, *dest);
  return true;
}

// The type of a new temporary destination of a two-operand operator.
template <uint8_t kCode>
inline int32_t BinaryTempType(const TCustomParam& a) {
  if constexpr (kCode == ocPlus) {
    const int32_t t = TypeOf(a);
    return t == PT_STR ? PT_STR : t == PT_FLOAT ? PT_FLOAT : PT_INT;
  } else if constexpr (kCode == ocMinus || kCode == ocMul || kCode == ocDiv) {
    return TypeOf(a) == PT_FLOAT ? PT_FLOAT : PT_INT;
  } else if constexpr (kCode == ocComboStr) {
    return PT_STR;
  } else if constexpr ((kCode >= ocEqual && kCode <= ocESmall) || kCode == ocNEqual) {
    return PT_BOOL;
  } else {
    return PT_INT;
  }
}

template <uint8_t kCode>
constexpr bool kIsComparison = (kCode >= ocEqual && kCode <= ocESmall) || kCode == ocNEqual;

// Two-operand operators on values of their own. Integers (and, for comparisons, strings) are
// computed and stored here, the rest through Calculate; false (and nothing done) for any other
// operands or destination.
template <uint8_t kCode>
[[gnu::always_inline]] inline bool RunBinary(TCompiledOp& c, TEval& e) {
  const TCustomParam* a = PlainOperand(c.first[0], e);
  const TCustomParam* b = PlainOperand(c.first[1], e);
  if (!a || !b) return false;
  TCustomParam* dest = PlainDestination(c, e, [a] { return BinaryTempType<kCode>(*a); });
  if (!dest) return false;
  const int32_t ta = a->PlainType(), tb = b->PlainType(), td = dest->PlainType();
  if constexpr (kIsComparison<kCode>) {
    if (td == PT_BOOL && ta == tb && (ta == PT_INT || ta == PT_STR)) {
      int cmp;
      if (ta == PT_INT) {
        const int32_t x = AsInt(*a).First(), y = AsInt(*b).First();
        cmp = (x > y) - (x < y);
      } else {
        const int r = AsStr(*a).First().compare(AsStr(*b).First());
        cmp = (r > 0) - (r < 0);
      }
      static_cast<TParamFlag&>(*dest).SetFirst() = CompareResult(kCode, cmp) ? 1 : 0;
      return true;
    }
  } else if constexpr (kCode == ocPlus || kCode == ocMinus || kCode == ocMul || kCode == ocOr ||
                       kCode == ocAnd || kCode == ocXor) {
    if (td == PT_INT && ta == PT_INT && tb == PT_INT) {
      const uint32_t x = uint32_t(AsInt(*a).First()), y = uint32_t(AsInt(*b).First());
      uint32_t r;
      if constexpr (kCode == ocPlus) r = x + y;
      else if constexpr (kCode == ocMinus) r = x - y;
      else if constexpr (kCode == ocMul) r = x * y;
      else if constexpr (kCode == ocOr) r = x | y;
      else if constexpr (kCode == ocAnd) r = x & y;
      else r = x ^ y;
      static_cast<TParamInt&>(*dest).SetFirst() = Wrap(r);
      return true;
    }
  }
  Calculate(kCode, a, b, 2, *dest);
  return true;
}

uint8_t KindFor(uint8_t code, size_t count) {
  if (count > 2 || code == ocFunc || code == ocDimTo) return kOpGeneral;
  if (code == ocTo && count >= 1) return kOpTo;
  if (count == 2 && code >= ocPlus && code <= ocNEqual) return code;
  return kOpGeneral;
}

// Runs the operation on values of their own; false (and nothing done) when it takes its general
// form.
[[gnu::always_inline]] inline bool RunPlain(TCompiledOp& c, TEval& e) {
  switch (c.kind) {
    case kOpTo: return RunTo(c, e);
    case ocPlus: return RunBinary<ocPlus>(c, e);
    case ocMinus: return RunBinary<ocMinus>(c, e);
    case ocMul: return RunBinary<ocMul>(c, e);
    case ocDiv: return RunBinary<ocDiv>(c, e);
    case ocMod: return RunBinary<ocMod>(c, e);
    case ocOr: return RunBinary<ocOr>(c, e);
    case ocAnd: return RunBinary<ocAnd>(c, e);
    case ocXor: return RunBinary<ocXor>(c, e);
    case ocEqual: return RunBinary<ocEqual>(c, e);
    case ocBig: return RunBinary<ocBig>(c, e);
    case ocSmall: return RunBinary<ocSmall>(c, e);
    case ocEBig: return RunBinary<ocEBig>(c, e);
    case ocESmall: return RunBinary<ocESmall>(c, e);
    case ocShiftL: return RunBinary<ocShiftL>(c, e);
    case ocShiftR: return RunBinary<ocShiftR>(c, e);
    case ocComboStr: return RunBinary<ocComboStr>(c, e);
    case ocNEqual: return RunBinary<ocNEqual>(c, e);
    default: return false;
  }
}

// Copies a plain scalar integer or flag into a plain scalar of the same type; false (nothing
// done) for anything else.
inline bool CopyScalar(const TCustomParam& source, TCustomParam& dest, int32_t type) {
  switch (type) {
    case PT_INT: {
      auto& d = static_cast<TParamInt&>(dest);
      const auto& s = static_cast<const TParamInt&>(source);
      if (!d.IsScalar() || !s.IsScalar()) return false;
      d.SetFirst() = s.First();
      return true;
    }
    case PT_BOOL: {
      auto& d = static_cast<TParamFlag&>(dest);
      const auto& s = static_cast<const TParamFlag&>(source);
      if (!d.IsScalar() || !s.IsScalar()) return false;
      d.SetFirst() = s.First();
      return true;
    }
    default: return false;
  }
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

namespace {

// A new operand of a stored type: a constant of types 1 to 4, a reference for any other.
std::unique_ptr<TCustomParam> NewOperand(uint8_t type) {
  switch (type) {
    case PT_INT: return std::make_unique<TParamInt>();
    case PT_FLOAT: return std::make_unique<TParamFloat>();
    case PT_BOOL: return std::make_unique<TParamFlag>();
    case PT_STR: return std::make_unique<TParamStr>();
    default: return std::make_unique<TParamVar>();
  }
}

// An operand: its type (1), then a constant's value in that type's form, or a reference's name.
// A reference is written as type 0 with its name, whatever its variable's type.
template <class IO, class P>
void TransferOperand(IO& io, P& p) {
  uint8_t type = 0;
  if constexpr (!IO::kLoading) type = static_cast<uint8_t>(p->AsVar() ? PT_NONE : p->TypeCode());
  io.Byte(type);
  if constexpr (IO::kLoading) p = NewOperand(type);
  switch (type) {
    case PT_INT: {
      int32_t v = p->GetInt();
      io.Int(v);
      if constexpr (IO::kLoading) p->SetInt(v);
      break;
    }
    case PT_FLOAT: {
      long double v = p->GetFloat();
      io.Ext(v);
      if constexpr (IO::kLoading) p->SetFloat(v);
      break;
    }
    case PT_BOOL: {
      uint8_t v = p->GetFlag() ? 1 : 0;
      io.Byte(v);
      if constexpr (IO::kLoading) p->SetFlag(v != 0);
      break;
    }
    case PT_STR: {
      std::string v = p->GetStr();
      io.Str(v);
      if constexpr (IO::kLoading) p->SetStr(v);
      break;
    }
    default:
      if constexpr (IO::kLoading) {
        io.Str(p->AsVar()->VarName);
      } else {
        io.Str(p->AsVar() ? p->AsVar()->VarName : std::string());
      }
      break;
  }
}

// An operation: code (1), destination, operand count (4), the function id (1) of a function
// call, the operands. Each operand takes at least 2 bytes (a type byte and a flag).
template <class IO, class O>
void TransferOp(IO& io, O& op) {
  io.Byte(op.OpCode);
  io.Str(op.DestName);
  int32_t count = static_cast<int32_t>(op.Operands.size());
  io.Count(count, 2);
  if constexpr (IO::kLoading) {
    if (static_cast<size_t>(count) > kMaxOperands) Raise<EReadError>(TMsg::StreamReadError);
    op.Operands.resize(static_cast<size_t>(count));
  }
  if (op.OpCode == ocFunc) io.Byte(op.FuncId);
  for (auto& p : op.Operands) TransferOperand(io, p);
}

// An expression: operation count (4), the operations; an operation takes at least 9 bytes (code,
// destination length, operand count).
template <class IO, class L>
void TransferOps(IO& io, L& ops) {
  io.List(ops, 9, [&](auto& op) {
    if constexpr (IO::kLoading) op = std::make_unique<TOpeData>();
    TransferOp(io, *op);
  });
}

}  // namespace

void TOpeData::SaveToStream(TStream& stream) const {
  TRecordSaver io(stream);
  TransferOp(io, *this);
}

void TOpeData::LoadFromStream(TStream& stream) {
  TRecordLoader io(stream);
  TOpeData read;
  TransferOp(io, read);
  *this = std::move(read);
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
  TRecordSaver io(stream);
  TransferOps(io, ops_);
}

void TKovaParser::LoadFromStream(TStream& stream) {
  Clear();
  TRecordLoader io(stream);
  TransferOps(io, ops_);
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

// The compiled form of the operations.
std::unique_ptr<TKovaParser::TPlan> Compile(const std::vector<std::unique_ptr<TOpeData>>& ops) {
  TSlotNames slots;
  for (const auto& op : ops) slots.Add(op->DestName);
  auto plan = std::make_unique<TKovaParser::TPlan>(slots.Count());
  plan->ops.reserve(ops.size());
  for (const auto& op : ops) {
    TCompiledOp c;
    c.op = op.get();
    c.count = static_cast<uint32_t>(op->Operands.size());
    c.kind = KindFor(op->OpCode, c.count);
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
    for (size_t k = 0; k < 2 && k < c.operands.size(); ++k) c.first[k] = c.operands[k];
    plan->ops.push_back(std::move(c));
  }
  plan->has_result = !ops.empty() && ops.back()->OpCode == ocTo && ops.back()->DestName == "____arg";
  return plan;
}

}  // namespace

namespace {

// Looks every name of the plan up in the store again.
[[gnu::noinline]] void LookUpAll(TKovaParser::TPlan& plan, const TParamCollection& store) {
  for (TCompiledOp& c : plan.ops) {
    for (TOperandRef& o : c.operands) {
      if (o.ref) LookUp(o.name, store);
    }
    for (size_t k = 0; k < 2 && k < c.operands.size(); ++k) c.first[k] = c.operands[k];
    LookUp(c.dest, store);
  }
  plan.store = &store;
  plan.stamp = store.Stamp();
  plan.depth = store.CurrentDepth;
}

// The same when the store's names or its current depth changed since the last time.
inline void CheckLookups(TKovaParser::TPlan& plan, const TParamCollection& store) {
  if (plan.stamp != store.Stamp() || plan.depth != store.CurrentDepth || plan.store != &store) LookUpAll(plan, store);
}

}  // namespace

[[gnu::always_inline]] inline void TKovaParser::Evaluate(TParamCollection& store, TTempSlots& temps) {
  has_result_ = false;
  TPlan& plan = *plan_;
  TEval e{store, temps};
  // The lookups are checked before the first operation and after any operation that may have
  // changed the store's names: one in its general form (which calls functions and reads and
  // writes through references and system variables) or one that failed. Operations on values of
  // their own never do.
  bool unsure = true;
  try {
    for (TCompiledOp& c : plan.ops) {
      if (unsure) {
        CheckLookups(plan, store);
        unsure = false;
      }
      if (!RunPlain(c, e)) {
        unsure = true;
        RunGeneral(c, e);
      }
    }
  } catch (const std::exception&) {
    unsure = true;  // an error ends the expression silently
  }
  if (!plan.has_result) return;
  if (unsure) CheckLookups(plan, store);
  const TCompiledOp& last = plan.ops.back();
  TParamCollectionItem* arg = last.dest.item;
  if (last.dest.temp >= 0) {
    if (TParamCollectionItem* t = temps.Active(last.dest.temp)) arg = t;
  }
  if (!arg) return;
  const TCustomParam& value = arg->Value();
  const int32_t type = TypeOf(value);
  if (type < PT_INT || type > PT_STR) Raise<EScriptError>(TMsg::ParamBadVariable, last.op->DestName.c_str());
  if (result_ && result_->PlainType() == type && value.PlainType() == type && CopyScalar(value, *result_, type)) {
    has_result_ = true;
    return;
  }
  if (!result_ || result_->PlainType() != type) result_ = CreateParamByType(type);
  result_->Assign(value);
  has_result_ = true;
}

void TKovaParser::Execute(TParamCollection& store) {
  if (!plan_ || running_) {
    ExecuteAside(store);
    return;
  }
  running_ = true;
  // The temporaries leave when the evaluation ends, however it ends.
  struct TEnd {
    TKovaParser& parser;
    ~TEnd() {
      parser.plan_->temps.Clear();
      parser.running_ = false;
    }
  } end{*this};
  Evaluate(store, plan_->temps);
}

void TKovaParser::ExecuteAside(TParamCollection& store) {
  if (!plan_) plan_ = Compile(ops_);
  if (!running_) {
    Execute(store);
    return;
  }
  // Evaluated again from inside its own evaluation: the inner run gets temporaries of its own.
  TTempSlots scope(plan_->temps.Size());
  struct TEnd {
    TTempSlots& temps;
    ~TEnd() { temps.Clear(); }
  } end{scope};
  Evaluate(store, scope);
}

}  // namespace kova
