// The text forms of script numbers: the integer and float parses that every string-to-number
// conversion uses, and the decimal and general-format texts of numbers.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kova {

// Integer parse: leading half-width spaces, an optional "-" or "+", then decimal digits, or
// hexadecimal digits after one of "$", "x", "X", "0x", "0X". Every remaining byte must be a digit
// of that base. A decimal number must fit 32 bits signed; a hexadecimal one may use all 32 bits
// ("$FFFFFFFF" is -1, so that hexadecimal texts of negative numbers read back). Returns false (and
// leaves `out` alone) for anything else, the empty string included.
bool TryParseScriptInt(std::string_view s, int32_t& out);
// The same, 0 when the parse fails.
int32_t ParseScriptInt(std::string_view s);

// Float parse: optional leading and trailing half-width spaces, an optional sign, digits with at
// most one ".", at least one digit, an optional exponent "E"/"e" with optional sign and at least
// one digit. Values out of the extended range fail too. Returns false for anything else.
bool TryParseScriptFloat(std::string_view s, long double& out);
// The same, 0.0 when the parse fails.
long double ParseScriptFloat(std::string_view s);

// Decimal text of n ("-" for negatives).
std::string IntToScriptStr(int32_t n);
// Writes the decimal text of n into buf (at least 12 bytes); returns its length.
size_t IntToChars(int32_t n, char* buf);

// General format with 15 significant digits: trailing zeros removed, "0" for zero; fixed notation
// for 0.0001 <= |x| < 1E15 with a point only when there are fraction digits, else scientific
// ("1E15", "1.5E-5"). Not-a-number and infinities print "NAN", "INF" and "-INF".
std::string FloatToScriptStr(long double x);
// The general layout of a float from its significant digits (no trailing zeros needed) and
// decimal exponent: plain notation for exponents from -4 to 14, else "d.dddE[-]x".
std::string LayoutGeneralFloat(bool negative, std::string_view digits, int exponent);

// Float to integer: truncation toward zero, the low 32 bits of the 64-bit truncation. Not-a-number,
// infinities and magnitudes of 2^63 or more give 0.
int32_t FloatToScriptInt(long double x);

// The flag texts "TRUE" and "FALSE"; only the exact text "TRUE" reads as true.
inline std::string_view FlagToScriptStr(bool b) { return b ? "TRUE" : "FALSE"; }
inline bool ScriptStrToFlag(std::string_view s) { return s == "TRUE"; }

}  // namespace kova
