// Builds the stored form of compiled expressions for test fixtures, from the format description:
// int32 operation count; per operation the op byte, the destination (int32 length + bytes), the
// int32 operand count, a function-id byte only for op 11, then each operand as a type byte and
// its payload (1 int32, 2 10-byte extended, 3 one byte, 4 string, any other byte a variable name).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "support/le_writer.h"

namespace kova::test {

// One operand's type byte and payload.
struct Operand {
  uint8_t type = 0;
  std::vector<uint8_t> payload;
};

inline Operand I(int32_t v) { LeWriter w; w.I32(v); return {1, w.Bytes()}; }
inline Operand F(long double v) { LeWriter w; w.Ext(v); return {2, w.Bytes()}; }
// A float from its raw parts (for values that are not exactly representable by LeWriter::Ext).
inline Operand FRaw(bool negative, uint16_t exponent, uint64_t mantissa) {
  LeWriter w; w.Ext(negative, exponent, mantissa); return {2, w.Bytes()};
}
inline Operand B(bool v) { return {3, {uint8_t(v ? 1 : 0)}}; }
inline Operand S(std::string_view v) { LeWriter w; w.Str(v); return {4, w.Bytes()}; }
inline Operand V(std::string_view name, uint8_t type = 0) { LeWriter w; w.Str(name); return {type, w.Bytes()}; }

class ExprBuilder {
 public:
  // Operation codes as stored.
  enum : uint8_t {
    None = 0, To = 1, Plus = 2, Minus = 3, Mul = 4, Div = 5, Mod = 6, Or = 7, And = 8, Xor = 9,
    DimTo = 10, Func = 11, Equal = 12, Big = 13, Small = 14, EBig = 15, ESmall = 16, ShiftL = 17,
    ShiftR = 18, ComboStr = 19, NEqual = 20,
  };

  ExprBuilder& Op(uint8_t code, std::string_view dest, std::initializer_list<Operand> operands) {
    return Add(code, dest, 0, operands);
  }
  ExprBuilder& Call(uint8_t func_id, std::string_view dest, std::initializer_list<Operand> operands) {
    return Add(Func, dest, func_id, operands);
  }
  // "____arg := operand" as the last operation of an expression that yields a value.
  ExprBuilder& Result(const Operand& operand) { return Op(To, "____arg", {operand}); }

  size_t Count() const { return count_; }
  std::vector<uint8_t> Bytes() const {
    LeWriter w;
    w.I32(static_cast<int32_t>(count_));
    w.Raw(body_.Bytes());
    return w.Bytes();
  }

 private:
  ExprBuilder& Add(uint8_t code, std::string_view dest, uint8_t func_id, std::initializer_list<Operand> operands) {
    body_.U8(code).Str(dest).I32(static_cast<int32_t>(operands.size()));
    if (code == Func) body_.U8(func_id);
    for (const Operand& o : operands) body_.U8(o.type).Raw(o.payload);
    ++count_;
    return *this;
  }

  LeWriter body_;
  size_t count_ = 0;
};

}  // namespace kova::test
