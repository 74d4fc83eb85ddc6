#include "script/value_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <system_error>

namespace kova {
namespace {

inline int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

inline bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

bool TryParseScriptInt(std::string_view s, int32_t& out) {
  size_t i = 0;
  const size_t n = s.size();
  while (i < n && s[i] == ' ') ++i;
  bool negative = false;
  if (i < n && (s[i] == '-' || s[i] == '+')) {
    negative = s[i] == '-';
    ++i;
  }
  bool hex = false;
  if (i < n && s[i] == '$') {
    hex = true;
    ++i;
  } else if (i < n && (s[i] == 'x' || s[i] == 'X')) {
    hex = true;
    ++i;
  } else if (i + 1 < n && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i >= n) return false;
  uint64_t value = 0;
  if (hex) {
    for (; i < n; ++i) {
      int d = HexDigit(s[i]);
      if (d < 0) return false;
      value = value * 16 + static_cast<uint64_t>(d);
      if (value > 0xFFFFFFFFull) return false;
    }
    uint32_t bits = static_cast<uint32_t>(value);
    if (negative) bits = 0u - bits;
    out = static_cast<int32_t>(bits);
    return true;
  }
  for (; i < n; ++i) {
    if (!IsDigit(s[i])) return false;
    value = value * 10 + static_cast<uint64_t>(s[i] - '0');
    if (value > 0x80000000ull) return false;
  }
  if (!negative && value > 0x7FFFFFFFull) return false;
  out = negative ? static_cast<int32_t>(0u - static_cast<uint32_t>(value)) : static_cast<int32_t>(value);
  return true;
}

int32_t ParseScriptInt(std::string_view s) {
  int32_t v = 0;
  return TryParseScriptInt(s, v) ? v : 0;
}

bool TryParseScriptFloat(std::string_view s, long double& out) {
  size_t b = 0, e = s.size();
  while (b < e && s[b] == ' ') ++b;
  while (e > b && s[e - 1] == ' ') --e;
  // Validate the shape first: from_chars alone would accept "inf", "nan" and hexadecimal forms.
  size_t i = b;
  if (i < e && (s[i] == '-' || s[i] == '+')) ++i;
  const size_t mantissa = i;
  size_t digits = 0;
  bool point = false;
  for (; i < e; ++i) {
    if (IsDigit(s[i])) {
      ++digits;
    } else if (s[i] == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (digits == 0) return false;
  if (i < e && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    if (i < e && (s[i] == '-' || s[i] == '+')) ++i;
    size_t exp_digits = 0;
    while (i < e && IsDigit(s[i])) ++i, ++exp_digits;
    if (exp_digits == 0) return false;
  }
  if (i != e) return false;
  // from_chars takes no "+" and is locale-independent.
  const char* first = s.data() + mantissa;
  const char* last = s.data() + e;
  long double v = 0;
  auto [ptr, ec] = std::from_chars(first, last, v, std::chars_format::general);
  if (ec != std::errc() || ptr != last || !std::isfinite(v)) return false;
  out = (mantissa > b && s[b] == '-') ? -v : v;
  return true;
}

long double ParseScriptFloat(std::string_view s) {
  long double v = 0;
  return TryParseScriptFloat(s, v) ? v : 0.0L;
}

size_t IntToChars(int32_t n, char* buf) {
  auto [ptr, ec] = std::to_chars(buf, buf + 12, n);
  (void)ec;
  return static_cast<size_t>(ptr - buf);
}

std::string IntToScriptStr(int32_t n) {
  char buf[12];
  return std::string(buf, IntToChars(n, buf));
}

std::string LayoutGeneralFloat(bool negative, std::string_view digits, int exponent) {
  const int nd = static_cast<int>(digits.size());
  if (nd == 0) return "0";
  std::string out;
  out.reserve(static_cast<size_t>(nd) + 24);
  if (negative) out += '-';
  if (exponent >= -4 && exponent < 15) {
    if (exponent >= 0) {
      for (int k = 0; k <= exponent; ++k) out += k < nd ? digits[static_cast<size_t>(k)] : '0';
      if (nd > exponent + 1) {
        out += '.';
        out.append(digits.substr(static_cast<size_t>(exponent + 1)));
      }
    } else {
      out += "0.";
      out.append(static_cast<size_t>(-exponent - 1), '0');
      out.append(digits);
    }
    return out;
  }
  out += digits[0];
  if (nd > 1) {
    out += '.';
    out.append(digits.substr(1));
  }
  out += 'E';
  if (exponent < 0) out += '-';
  out += std::to_string(exponent < 0 ? -exponent : exponent);
  return out;
}

std::string FloatToScriptStr(long double x) {
  if (std::isnan(x)) return "NAN";
  if (std::isinf(x)) return x < 0 ? "-INF" : "INF";
  if (x == 0) return "0";
  if (std::fabs(x) < 1e15L && x == std::trunc(x)) {
    char buf[24];
    auto [ptr, ec] = std::to_chars(buf, buf + sizeof(buf), static_cast<int64_t>(x));
    (void)ec;
    return std::string(buf, ptr);
  }
  // 15 significant digits, rounded by the C library from the full extended value.
  char buf[64];
  std::snprintf(buf, sizeof(buf), "%.14Le", x);
  const bool negative = buf[0] == '-';
  char digits[16];
  int nd = 0;
  const char* p = buf;
  while (*p && *p != 'e' && *p != 'E') {
    if (IsDigit(*p) && nd < 15) digits[nd++] = *p;
    ++p;
  }
  int exponent = (*p == 'e' || *p == 'E') ? std::atoi(p + 1) : 0;
  while (nd > 1 && digits[nd - 1] == '0') --nd;

  return LayoutGeneralFloat(negative, std::string_view(digits, static_cast<size_t>(nd)), exponent);
}

int32_t FloatToScriptInt(long double x) {
  // Not-a-number fails the comparison too. The processor answers its "integer indefinite" for
  // these, whose low 32 bits are 0.
  if (!(std::fabs(x) < 9223372036854775808.0L)) return 0;
  const int64_t t = static_cast<int64_t>(x);
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(t)));
}

}  // namespace kova
