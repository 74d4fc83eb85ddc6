#include "support/le_writer.h"

#include <cmath>
#include <stdexcept>

namespace kova::test {

LeWriter& LeWriter::Ext(long double v) {
  // Built from the value's parts, not from the host's memory layout.
  if (v == 0) return Ext(std::signbit(v), 0, 0);
  bool negative = v < 0;
  if (negative) v = -v;
  int exp = 0;
  long double frac = std::frexp(v, &exp);  // v = frac * 2^exp, frac in [0.5, 1)
  uint64_t mantissa = static_cast<uint64_t>(std::ldexp(frac, 64));
  return Ext(negative, static_cast<uint16_t>(exp - 1 + 16383), mantissa);
}

std::vector<uint8_t> HexBytes(std::string_view hex) {
  std::vector<uint8_t> out;
  int high = -1;
  for (char c : hex) {
    int v;
    if (c >= '0' && c <= '9') v = c - '0';
    else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
    else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
    else if (c == ' ' || c == '\n') continue;
    else throw std::invalid_argument("bad hex");
    if (high < 0) {
      high = v;
    } else {
      out.push_back(uint8_t(high << 4 | v));
      high = -1;
    }
  }
  return out;
}

}  // namespace kova::test
