// Random pages run through the interpreter and through a plain reference interpreter written in
// this file from the rules of values, expressions, the variable store and the flow commands; both
// must end with the same variables. The pages mix the operators on every value type, temporaries
// (also reused with other types, and a variable that has a temporary's name), names in other
// letter cases, missing variables, system variables ("@TextDelay", "@Result", "@ParamCount"),
// operations with too few or too many operands, nested loops that run the same expressions again
// after variables were declared, deleted and shadowed, and calls to a page with locals. Most steps
// append a value's text to a log variable, so the values along the way are compared as well.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/vocabulary.h"
#include "script/call_man.h"
#include "script/param_collection.h"
#include "script/value_text.h"
#include "support/frame_driver.h"

namespace kova {
namespace {

using test::ExprBuilder;
using E = ExprBuilder;

// ---- Pages as trees ----

struct Val {
  int32_t type = PT_INT;
  int32_t i = 0;
  long double f = 0;
  bool b = false;
  std::string s;
};

struct Arg {
  bool is_const = true;
  Val value;         // a constant
  std::string name;  // a variable
};

struct Op {
  uint8_t code = 0;
  std::string dest;
  std::vector<Arg> args;
};
using Expr = std::vector<Op>;

struct Cmd {
  enum Kind { Calc, If, While, Break, Exit, VarNew, VarDel, Call } kind = Calc;
  Expr expr;                   // Calc, If, Break, Exit (condition), VarNew (initial value)
  std::vector<Cmd> body, alt;  // If (then, else), While (body)
  std::string name;            // VarNew, VarDel (variable), While (counter), Call (result variable)
  int32_t limit = 0;           // While: turns
  uint8_t type = PT_INT;       // VarNew
  uint8_t scope = 0;           // VarNew
};

// ---- The reference interpreter ----

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const char x = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] + 32) : a[i];
    const char y = b[i] >= 'A' && b[i] <= 'Z' ? static_cast<char>(b[i] + 32) : b[i];
    if (x != y) return false;
  }
  return true;
}

int32_t ToInt(const Val& v) {
  switch (v.type) {
    case PT_INT: return v.i;
    case PT_FLOAT: return FloatToScriptInt(v.f);
    case PT_BOOL: return v.b ? 1 : 0;
    case PT_STR: return ParseScriptInt(v.s);
    default: return 0;
  }
}
long double ToFloat(const Val& v) {
  switch (v.type) {
    case PT_INT: return v.i;
    case PT_FLOAT: return v.f;
    case PT_BOOL: return v.b ? 1 : 0;
    case PT_STR: return ParseScriptFloat(v.s);
    default: return 0;
  }
}
bool ToFlag(const Val& v) {
  switch (v.type) {
    case PT_INT: return v.i != 0;
    case PT_FLOAT: return v.f != 0;
    case PT_BOOL: return v.b;
    case PT_STR: return v.s == "TRUE";
    default: return false;
  }
}
std::string ToStr(const Val& v) {
  switch (v.type) {
    case PT_INT: return IntToScriptStr(v.i);
    case PT_FLOAT: return FloatToScriptStr(v.f);
    case PT_BOOL: return v.b ? "TRUE" : "FALSE";
    case PT_STR: return v.s;
    default: return {};
  }
}

Val Default(int32_t type) {
  Val v;
  v.type = type;
  return v;
}

// The text of a value without a copy when it is text.
const std::string& TextOf(const Val& v, std::string& scratch) {
  if (v.type == PT_STR) return v.s;
  return scratch = ToStr(v);
}

// Stores `from` into a value of type `type`, converted.
Val Stored(int32_t type, Val&& from) {
  if (from.type == type) return std::move(from);
  Val v = Default(type);
  switch (type) {
    case PT_INT: v.i = ToInt(from); break;
    case PT_FLOAT: v.f = ToFloat(from); break;
    case PT_BOOL: v.b = ToFlag(from); break;
    default: v.s = ToStr(from); break;
  }
  return v;
}

Val IntVal(int32_t i) { Val v; v.i = i; return v; }
Val FloatVal(long double f) { Val v; v.type = PT_FLOAT; v.f = f; return v; }
Val FlagVal(bool b) { Val v; v.type = PT_BOOL; v.b = b; return v; }
Val StrVal(std::string s) { Val v; v.type = PT_STR; v.s = std::move(s); return v; }

struct Failure {};  // ends an expression

struct RefVar {
  std::string name;
  Val value;
  bool local = false;
  int32_t depth = -1;
};

class Reference {
 public:
  std::vector<RefVar> vars;
  int32_t text_delay = 50;

  // The visible variable: a local of the current depth, else a non-local.
  RefVar* Find(std::string_view name) {
    RefVar* other = nullptr;
    for (RefVar& v : vars) {
      if (!SameName(v.name, name)) continue;
      if (v.local) {
        if (v.depth == depth_) return &v;
      } else if (!other) {
        other = &v;
      }
    }
    return other;
  }

  void RunPage(const std::vector<Cmd>& page) {
    bool exit = false, brk = false;
    Block(page, exit, brk);
  }

 private:
  // Where an operand or destination lives.
  struct Place {
    enum Kind { Plain, TextDelay, Result, ParamCount } kind = Plain;
    Val* value = nullptr;
  };

  // The temporaries of one evaluation (at most a few names; their places stay put).
  using Temps = std::vector<std::pair<std::string, Val>>;

  Place Resolve(const std::string& name, Temps& temps) {
    if (name.rfind("____", 0) == 0) {
      for (auto& [n, v] : temps) {
        if (SameName(n, name)) return {Place::Plain, &v};
      }
    }
    if (SameName(name, "@textdelay")) return {Place::TextDelay};
    if (SameName(name, "@paramcount")) return {Place::ParamCount};
    if (SameName(name, "@result")) return {Place::Result, result_.empty() ? nullptr : &result_.back()};
    RefVar* v = Find(name);
    if (!v) throw Failure();
    return {Place::Plain, &v->value};
  }

  // The value at a place; `scratch` holds values that are not stored as such.
  const Val& Read(const Place& p, Val& scratch) const {
    switch (p.kind) {
      case Place::TextDelay: return scratch = IntVal(text_delay);
      case Place::ParamCount: return scratch = IntVal(0);
      case Place::Result: return p.value ? *p.value : scratch = Default(PT_NONE);
      default: return *p.value;
    }
  }

  int32_t TypeOf(const Place& p) const {
    Val scratch;
    return Read(p, scratch).type;
  }

  // A scalar setter of the kind of v's type with value v.
  void Write(const Place& p, Val&& v) {
    switch (p.kind) {
      case Place::ParamCount: return;  // read-only
      case Place::TextDelay:
        // The own type is integer; text is parsed strictly and left alone when it is no number.
        if (v.type == PT_STR) {
          int32_t n = 0;
          if (TryParseScriptInt(v.s, n)) text_delay = n;
        } else {
          text_delay = ToInt(v);
        }
        return;
      default:
        // A value of no type (a result that is not there) takes nothing.
        if (!p.value || p.value->type < PT_INT || p.value->type > PT_STR) return;
        *p.value = Stored(p.value->type, std::move(v));
    }
  }

  static Val Joined(const Val& a, const Val& b) {
    std::string sa, sb;
    const std::string& x = TextOf(a, sa);
    const std::string& y = TextOf(b, sb);
    std::string out;
    out.reserve(x.size() + y.size());
    out.append(x).append(y);
    return StrVal(std::move(out));
  }

  static long double Checked(long double x) {
    if (!std::isfinite(x)) throw Failure();
    return x;
  }

  static int TempType(uint8_t code, int32_t a) {
    switch (code) {
      case ocTo: return a;
      case ocPlus: return a == PT_STR ? PT_STR : a == PT_FLOAT ? PT_FLOAT : PT_INT;
      case ocMinus: case ocMul: case ocDiv: return a == PT_FLOAT ? PT_FLOAT : PT_INT;
      case ocEqual: case ocBig: case ocSmall: case ocEBig: case ocESmall: case ocNEqual: return PT_BOOL;
      case ocComboStr: return PT_STR;
      default: return PT_INT;
    }
  }

  static int Compare(const Val& a, const Val& b) {
    switch (a.type) {
      case PT_STR: {
        std::string sa, sb;
        const std::string& x = TextOf(a, sa);
        const std::string& y = TextOf(b, sb);
        const int c = std::memcmp(x.data(), y.data(), std::min(x.size(), y.size()));
        if (c != 0) return c < 0 ? -1 : 1;
        return x.size() < y.size() ? -1 : x.size() > y.size() ? 1 : 0;
      }
      case PT_FLOAT: {
        const long double x = ToFloat(a), y = ToFloat(b);
        return (x > y) - (x < y);
      }
      case PT_BOOL: return int(ToFlag(a)) - int(ToFlag(b));
      default: {
        const int32_t x = ToInt(a), y = ToInt(b);
        return (x > y) - (x < y);
      }
    }
  }

  void RunOp(const Op& op, Temps& temps) {
    Val scratch[3];
    const Val* in[3] = {nullptr, nullptr, nullptr};
    const size_t n = op.args.size();
    for (size_t k = 0; k < n; ++k) {
      const Arg& a = op.args[k];
      in[k] = a.is_const ? &a.value : &Read(Resolve(a.name, temps), scratch[k]);
    }
    auto need = [n](size_t k) {
      if (n < k) throw Failure();
    };
    const bool valid = op.code >= ocTo && op.code <= ocNEqual && op.code != ocDimTo && op.code != ocFunc;
    Place dest;
    try {
      dest = Resolve(op.dest, temps);
    } catch (const Failure&) {
      if (op.dest.rfind("____", 0) != 0) throw;
      if (!valid) throw;
      const bool first_only = op.code == ocTo || op.code == ocPlus || op.code == ocMinus || op.code == ocMul ||
                              op.code == ocDiv;
      if (first_only) need(1);
      temps.emplace_back(op.dest, Default(TempType(op.code, first_only ? in[0]->type : PT_INT)));
      dest = {Place::Plain, &temps.back().second};
    }
    const int32_t dt = TypeOf(dest);
    const Val* a = in[0];
    const Val* b = in[1];
    auto setint = [&](uint32_t v) { Write(dest, IntVal(static_cast<int32_t>(v))); };
    switch (op.code) {
      case ocTo:
        need(1);
        if (dt >= PT_INT && dt <= PT_STR) Write(dest, Stored(dt, Val(*a)));
        return;
      case ocPlus:
        need(2);
        if (dt == PT_STR) Write(dest, Joined(*a, *b));
        else if (dt == PT_FLOAT) Write(dest, FloatVal(Checked(ToFloat(*a) + ToFloat(*b))));
        else setint(uint32_t(ToInt(*a)) + uint32_t(ToInt(*b)));
        return;
      case ocMinus: case ocMul: case ocDiv: {
        need(2);
        if (dt == PT_FLOAT) {
          const long double x = ToFloat(*a), y = ToFloat(*b);
          Write(dest, FloatVal(Checked(op.code == ocMinus ? x - y : op.code == ocMul ? x * y : x / y)));
          return;
        }
        const int32_t x = ToInt(*a), y = ToInt(*b);
        if (op.code == ocMinus) {
          setint(uint32_t(x) - uint32_t(y));
        } else if (op.code == ocMul) {
          setint(uint32_t(x) * uint32_t(y));
        } else {
          if (y == 0 || (x == INT32_MIN && y == -1)) throw Failure();
          Write(dest, IntVal(x / y));
        }
        return;
      }
      case ocMod: {
        need(2);
        const int32_t x = ToInt(*a), y = ToInt(*b);
        if (y == 0 || (x == INT32_MIN && y == -1)) throw Failure();
        Write(dest, IntVal(x % y));
        return;
      }
      case ocOr: need(2); setint(uint32_t(ToInt(*a)) | uint32_t(ToInt(*b))); return;
      case ocAnd: need(2); setint(uint32_t(ToInt(*a)) & uint32_t(ToInt(*b))); return;
      case ocXor: need(2); setint(uint32_t(ToInt(*a)) ^ uint32_t(ToInt(*b))); return;
      case ocShiftL: need(2); setint(uint32_t(ToInt(*a)) << (uint32_t(ToInt(*b)) & 31)); return;
      case ocShiftR: need(2); setint(uint32_t(ToInt(*a)) >> (uint32_t(ToInt(*b)) & 31)); return;
      case ocComboStr: need(2); Write(dest, Joined(*a, *b)); return;
      case ocEqual: case ocBig: case ocSmall: case ocEBig: case ocESmall: case ocNEqual: {
        need(2);
        const int c = Compare(*a, *b);
        const bool r = op.code == ocEqual ? c == 0 : op.code == ocBig ? c > 0 : op.code == ocSmall ? c < 0
                     : op.code == ocEBig ? c >= 0 : op.code == ocESmall ? c <= 0 : c != 0;
        Write(dest, FlagVal(r));
        return;
      }
      default: return;
    }
  }

  // The result of an expression, if any.
  std::optional<Val> Eval(const Expr& e) {
    Temps temps;
    temps.reserve(16);  // operands point into it while a new temporary joins
    for (const Op& op : e) {
      try {
        RunOp(op, temps);
      } catch (const Failure&) {
        break;
      }
    }
    if (e.empty() || e.back().code != ocTo || e.back().dest != "____arg") return std::nullopt;
    try {
      Val scratch;
      return Read(Resolve("____arg", temps), scratch);
    } catch (const Failure&) {
      return std::nullopt;
    }
  }

  bool Holds(const Expr& e) {
    const std::optional<Val> r = Eval(e);
    return r && ToFlag(*r);
  }

  void Block(const std::vector<Cmd>& cmds, bool& exit, bool& brk) {
    for (const Cmd& c : cmds) {
      if (exit || brk) return;
      switch (c.kind) {
        case Cmd::Calc: Eval(c.expr); break;
        case Cmd::If:
          if (Holds(c.expr)) {
            Block(c.body, exit, brk);
          } else {
            Block(c.alt, exit, brk);
          }
          break;
        case Cmd::While: {
          RefVar* k = Find(c.name);
          k->value = IntVal(0);
          while (Find(c.name)->value.i < c.limit) {
            bool inner_break = false;
            Block(c.body, exit, inner_break);
            if (exit || inner_break) break;
            RefVar* counter = Find(c.name);
            counter->value.i += 1;
          }
          break;
        }
        case Cmd::Break:
          if (Holds(c.expr)) brk = true;
          break;
        case Cmd::Exit:
          if (Holds(c.expr)) exit = true;
          break;
        case Cmd::VarNew: {
          RefVar* v = nullptr;
          for (RefVar& x : vars) {
            if (SameName(x.name, c.name) && (c.scope == 2 ? (x.local && x.depth == depth_) : !x.local)) {
              v = &x;
              break;
            }
          }
          if (!v) {
            RefVar nv;
            nv.name = c.name;
            nv.value = Default(c.type);
            nv.local = c.scope == 2;
            nv.depth = (c.scope == 1 || c.scope == 2) ? depth_ : -1;
            vars.push_back(nv);
            v = &vars.back();
          }
          const size_t at = static_cast<size_t>(v - vars.data());
          if (std::optional<Val> r = Eval(c.expr)) vars[at].value = Stored(vars[at].value.type, std::move(*r));
          break;
        }
        case Cmd::VarDel:
          if (RefVar* v = Find(c.name)) vars.erase(vars.begin() + (v - vars.data()));
          break;
        case Cmd::Call: {
          ++depth_;
          result_.push_back(Default(sub_result_type));
          bool sub_exit = false, sub_break = false;
          Block(*sub_page, sub_exit, sub_break);
          // The level's variables go, then the result reaches the caller's variable.
          std::erase_if(vars, [this](const RefVar& v) { return v.depth == depth_; });
          --depth_;
          Val result = std::move(result_.back());
          result_.pop_back();
          if (RefVar* v = Find(c.name)) v->value = Stored(v->value.type, std::move(result));
          break;
        }
      }
    }
  }

 public:
  const std::vector<Cmd>* sub_page = nullptr;
  int32_t sub_result_type = PT_INT;

 private:
  int32_t depth_ = 0;
  std::vector<Val> result_;
};

// ---- Random pages ----

class Generator {
 public:
  explicit Generator(uint32_t seed) : rng_(seed) {}

  int Pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng_); }
  bool Chance(int percent) { return Pick(100) < percent; }

  // Types as games use them: mostly integers.
  uint8_t RandomType() {
    const int r = Pick(100);
    return r < 50 ? PT_INT : r < 65 ? PT_FLOAT : r < 80 ? PT_BOOL : PT_STR;
  }

  Val RandomConst() {
    switch (RandomType()) {
      case PT_INT: {
        static const int32_t ints[] = {0, 1, 2, 3, 5, 7, -1, -7, 10, 31, 33, 100, 65536, INT32_MAX, INT32_MIN};
        return IntVal(ints[Pick(static_cast<int>(std::size(ints)))]);
      }
      case PT_FLOAT: {
        static const long double floats[] = {0.0L, 2.5L, -3.75L, 0.1L, 1e18L, -2.0L, 1e4000L, 7.0L};
        return FloatVal(floats[Pick(static_cast<int>(std::size(floats)))]);
      }
      case PT_BOOL: return FlagVal(Chance(50));
      default: {
        static const char* strs[] = {"", "abc", "12", "-3", "0x1F", "$10", "TRUE", "2.5", "ab", "z"};
        return StrVal(strs[Pick(static_cast<int>(std::size(strs)))]);
      }
    }
  }

  // A variable name in some letter case.
  std::string Cased(const std::string& name) {
    if (!Chance(30)) return name;
    std::string out = name;
    for (char& c : out) {
      if (c >= 'a' && c <= 'z' && Chance(50)) c = static_cast<char>(c - 32);
    }
    return out;
  }

  static constexpr const char* kPool[] = {"a", "b", "c", "s", "t", "x", "____1"};

  std::string VarName() {
    std::vector<std::string> pool(std::begin(kPool), std::end(kPool));
    if (in_sub_) {
      pool.push_back("m");
      pool.push_back("w");
    }
    if (Chance(5)) return "nothing";
    return Cased(pool[static_cast<size_t>(Pick(static_cast<int>(pool.size())))]);
  }

  std::string SystemName() {
    if (in_sub_ && Chance(50)) return Chance(50) ? "@Result" : "@ParamCount";
    return Chance(80) ? "@TextDelay" : "@textdelay";
  }

  Arg RandomArg(int temps_made) {
    Arg a;
    const int r = Pick(100);
    if (r < 35) {
      a.value = RandomConst();
    } else if (r < 70) {
      a.is_const = false;
      a.name = VarName();
    } else if (r < 90) {
      a.is_const = false;
      // Mostly a temporary made earlier in the expression.
      a.name = "____" + std::to_string(temps_made > 0 && Chance(90) ? Pick(temps_made) : Pick(3));
    } else {
      a.is_const = false;
      a.name = SystemName();
    }
    return a;
  }

  Expr RandomExpr(bool with_result) {
    static const uint8_t codes[] = {ocTo, ocTo, ocTo, ocPlus, ocPlus, ocMinus, ocMul, ocDiv, ocMod, ocOr, ocAnd,
                                    ocXor, ocShiftL, ocShiftR, ocComboStr, ocEqual, ocBig, ocSmall, ocEBig,
                                    ocESmall, ocNEqual, ocNone};
    Expr e;
    const int count = 1 + Pick(6);
    int temps_made = 0;
    for (int k = 0; k < count; ++k) {
      Op op;
      op.code = codes[Pick(static_cast<int>(std::size(codes)))];
      int operands = op.code == ocTo ? 1 : 2;
      if (Chance(5)) operands += Chance(50) ? 1 : -1;
      for (int i = 0; i < operands; ++i) op.args.push_back(RandomArg(temps_made));
      const int r = Pick(100);
      if (r < 55) {
        const int t = Pick(3);
        op.dest = "____" + std::to_string(t);
        temps_made = std::max(temps_made, t + 1);
      } else if (r < 90) {
        op.dest = VarName();
      } else {
        op.dest = SystemName();
      }
      e.push_back(op);
      // The operation's result goes to the log (temporaries included).
      if (Chance(70)) {
        e.push_back(Op{ocComboStr, "____9", {Arg{false, {}, "log"}, Arg{true, StrVal("|"), {}}}});
        e.push_back(Op{ocComboStr, "log", {Arg{false, {}, "____9"}, Arg{false, {}, op.dest}}});
      }
    }
    if (with_result) {
      Op last;
      last.code = ocTo;
      last.dest = "____arg";
      last.args.push_back(RandomArg(temps_made));
      if (last.args[0].is_const && Chance(50)) last.args[0].value = FlagVal(Chance(50));
      e.push_back(last);
    }
    return e;
  }

  // A condition that is true about half the time: a comparison of a variable with a constant.
  Expr Condition() {
    if (Chance(40)) return RandomExpr(true);
    Expr e;
    Op cmp;
    cmp.code = Chance(50) ? ocSmall : ocEqual;
    cmp.dest = "____0";
    Arg v;
    v.is_const = false;
    v.name = VarName();
    cmp.args = {v, Arg{true, IntVal(Pick(3)), {}}};
    Op res;
    res.code = ocTo;
    res.dest = "____arg";
    Arg t;
    t.is_const = false;
    t.name = "____0";
    res.args = {t};
    e = {cmp, res};
    return e;
  }

  std::vector<Cmd> Block(int depth, int loops) {
    std::vector<Cmd> cmds;
    const int count = depth == 0 ? 8 + Pick(8) : 1 + Pick(5);
    for (int k = 0; k < count; ++k) {
      Cmd c;
      const int r = Pick(100);
      if (r < 40 || depth >= 3) {
        c.kind = Cmd::Calc;
        c.expr = RandomExpr(Chance(50));
      } else if (r < 55) {
        c.kind = Cmd::If;
        c.expr = Condition();
        c.body = Block(depth + 1, loops);
        if (Chance(50)) c.alt = Block(depth + 1, loops);
      } else if (r < 67 && loops < 2) {
        c.kind = Cmd::While;
        c.name = (in_sub_ ? "j" : "k") + std::to_string(loops);
        c.limit = Pick(4);
        c.body = Block(depth + 1, loops + 1);
        if (Chance(30)) {
          Cmd b;
          b.kind = Cmd::Break;
          b.expr = Condition();
          c.body.insert(c.body.begin() + Pick(static_cast<int>(c.body.size()) + 1), b);
        }
      } else if (r < 77) {
        c.kind = Cmd::VarNew;
        c.name = VarName();
        if (c.name == "nothing") c.name = "fresh";
        c.type = RandomType();
        c.scope = static_cast<uint8_t>(in_sub_ ? Pick(3) : 0);
        c.expr = Chance(70) ? RandomExpr(true) : Expr{};
      } else if (r < 85) {
        c.kind = Cmd::VarDel;
        c.name = VarName();
      } else if (r < 93 && !in_sub_) {
        c.kind = Cmd::Call;
        c.name = VarName();
      } else {
        c.kind = Cmd::Exit;
        c.expr = Condition();
        if (!Chance(20)) c.expr = {};  // mostly an exit that does not hold
      }
      cmds.push_back(std::move(c));
      // Most steps append a value's text to the log, so the values along the way are compared too.
      if (Chance(60)) cmds.push_back(Record());
    }
    return cmds;
  }

  // log := log + "|" + (a variable's or a system variable's text).
  Cmd Record() {
    Cmd c;
    c.kind = Cmd::Calc;
    Arg log{false, {}, "log"};
    Arg sep{true, StrVal("|"), {}};
    Arg value{false, {}, Chance(85) ? VarName() : SystemName()};
    Op join1{ocComboStr, "____0", {log, sep}};
    Op join2{ocComboStr, "log", {Arg{false, {}, "____0"}, value}};
    c.expr = {join1, join2};
    return c;
  }

  std::vector<Cmd> Page(bool sub) {
    in_sub_ = sub;
    std::vector<Cmd> page;
    if (!sub) {
      Cmd log;
      log.kind = Cmd::VarNew;
      log.name = "log";
      log.type = PT_STR;
      page.push_back(log);
      // The pool's variables start declared, with values; later commands delete and declare them.
      for (const char* name : kPool) {
        Cmd c;
        c.kind = Cmd::VarNew;
        c.name = name;
        c.type = RandomType();
        Op init{ocTo, "____arg", {Arg{true, RandomConst(), {}}}};
        c.expr = {init};
        page.push_back(c);
      }
    }
    // The loop counters, which nothing else writes.
    for (int k = 0; k < 2; ++k) {
      Cmd c;
      c.kind = Cmd::VarNew;
      c.name = (sub ? "j" : "k") + std::to_string(k);
      c.type = PT_INT;
      c.scope = sub ? 2 : 0;
      page.push_back(c);
    }
    if (sub) {
      std::vector<Cmd> body = Block(0, 0);
      page.insert(page.end(), body.begin(), body.end());
      return page;
    }
    // The main page runs its body three times, each time over what the turns before left.
    Cmd counter;
    counter.kind = Cmd::VarNew;
    counter.name = "k9";
    page.push_back(counter);
    Cmd again;
    again.kind = Cmd::While;
    again.name = "k9";
    again.limit = 3;
    again.body = Block(0, 0);
    page.push_back(again);
    return page;
  }

 private:
  std::mt19937 rng_;
  bool in_sub_ = false;
};

// ---- Writing the trees as page files ----

test::Operand ToOperand(const Arg& a) {
  if (!a.is_const) return test::V(a.name);
  switch (a.value.type) {
    case PT_INT: return test::I(a.value.i);
    case PT_FLOAT: return test::F(a.value.f);
    case PT_BOOL: return test::B(a.value.b);
    default: return test::S(a.value.s);
  }
}

ExprBuilder Build(const Expr& e) {
  ExprBuilder b;
  for (const Op& op : e) {
    switch (op.args.size()) {
      case 0: b.Op(op.code, op.dest, {}); break;
      case 1: b.Op(op.code, op.dest, {ToOperand(op.args[0])}); break;
      case 2: b.Op(op.code, op.dest, {ToOperand(op.args[0]), ToOperand(op.args[1])}); break;
      default: b.Op(op.code, op.dest, {ToOperand(op.args[0]), ToOperand(op.args[1]), ToOperand(op.args[2])}); break;
    }
  }
  return b;
}

// The number of page commands a command takes.
int32_t Size(const Cmd& c);
int32_t Size(const std::vector<Cmd>& cmds) {
  int32_t n = 0;
  for (const Cmd& c : cmds) n += Size(c);
  return n;
}
int32_t Size(const Cmd& c) {
  switch (c.kind) {
    case Cmd::If: return 1 + Size(c.body) + (c.alt.empty() ? 0 : 1 + Size(c.alt));
    case Cmd::While: return 3 + Size(c.body);
    default: return 1;
  }
}

void Write(test::PageWriter& w, const std::vector<Cmd>& cmds, int32_t indent, int32_t loop_exit,
           const std::string& sub) {
  for (const Cmd& c : cmds) {
    w.Indent(indent);
    switch (c.kind) {
      case Cmd::Calc: w.Calc(Build(c.expr)); break;
      case Cmd::If:
        w.If(Build(c.expr));
        Write(w, c.body, indent + 1, loop_exit, sub);
        if (!c.alt.empty()) {
          w.Indent(indent).Else();
          Write(w, c.alt, indent + 1, loop_exit, sub);
        }
        break;
      case Cmd::While: {
        w.WhileInit(test::Assign(c.name, test::I(0)));
        const int32_t head = w.Next();
        const int32_t exit = head + 2 + Size(c.body);
        w.While(test::Compare(E::Small, test::V(c.name), test::I(c.limit)), exit);
        Write(w, c.body, indent + 1, exit, sub);
        w.Indent(indent).WhileLoop(test::Step(c.name, E::Plus, test::I(1)), head);
        break;
      }
      case Cmd::Break: w.Break(Build(c.expr), loop_exit); break;
      case Cmd::Exit: w.Exit(Build(c.expr)); break;
      case Cmd::VarNew: w.VarNew(c.name, c.type, Build(c.expr), c.scope); break;
      case Cmd::VarDel: w.VarDel(c.name); break;
      case Cmd::Call: w.Call(sub, 0, c.name); break;
    }
  }
}

// ---- The comparison ----

std::string Describe(const Val& v) {
  return std::to_string(v.type) + ":" + (v.type == PT_FLOAT ? FloatToScriptStr(v.f) : ToStr(v));
}

TEST(Differential, RandomPagesEndWithTheReferenceVariables) {
  constexpr int kPages = 200;
  // One session for all pages: each starts from an empty game (ClearGame) with pages of its own
  // names.
  test::FrameDriver d;
  d.session.Log().SetWriter(nullptr);  // no trace lines
  for (uint32_t seed = 1; seed <= kPages; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    Generator gen(seed);
    const std::vector<Cmd> main = gen.Page(false);
    const std::vector<Cmd> sub = gen.Page(true);
    const auto sub_type = static_cast<uint8_t>(1 + gen.Pick(4));

    Reference ref;
    ref.sub_page = &sub;
    ref.sub_result_type = sub_type;
    ref.RunPage(main);

    d.store.ClearGame();
    const std::string main_name = "main" + std::to_string(seed) + ".ksb";
    const std::string sub_name = "sub" + std::to_string(seed) + ".ksb";
    test::PageWriter main_writer, sub_writer(109, sub_type);
    Write(main_writer, main, 0, -1, sub_name);
    Write(sub_writer, sub, 0, -1, sub_name);
    d.AddPage(main_name, main_writer);
    d.AddPage(sub_name, sub_writer);
    d.callman.Start(main_name);
    for (int frame = 0; frame < 10 && d.callman.Page(); ++frame) d.Frame();
    ASSERT_EQ(d.callman.Page(), nullptr) << "the page did not end";

    // Every variable the reference holds, and no other.
    int32_t engine_vars = 0;
    for (int32_t i = 0; i < d.store.Count(); ++i) {
      if (!d.store.Items(i)->IsSystem()) ++engine_vars;
    }
    EXPECT_EQ(engine_vars, static_cast<int32_t>(ref.vars.size()));
    for (const RefVar& v : ref.vars) {
      const TParamCollectionItem* item = d.store.FindParam(v.name);
      ASSERT_NE(item, nullptr) << v.name;
      Val got;
      got.type = item->TypeCode();
      got.i = got.type == PT_INT ? item->GetInt() : 0;
      got.f = got.type == PT_FLOAT ? item->GetFloat() : 0;
      got.b = got.type == PT_BOOL ? item->GetFlag() : false;
      got.s = got.type == PT_STR ? item->GetStr() : std::string();
      const bool same = got.type == v.value.type && got.i == v.value.i && got.b == v.value.b &&
                        got.s == v.value.s && std::memcmp(&got.f, &v.value.f, 10) == 0;
      EXPECT_TRUE(same) << v.name << ": engine " << Describe(got) << ", reference " << Describe(v.value);
    }
    EXPECT_EQ(d.store.Globals.TextDelay, ref.text_delay);
    if (::testing::Test::HasFailure()) return;
  }
}

}  // namespace
}  // namespace kova
