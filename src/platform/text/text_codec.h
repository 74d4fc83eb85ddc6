// Conversion between the code pages the system meets: Shift-JIS (code page 932), EUC-JP and UTF-8.
// Text stays code-page 932 bytes inside the engine; this is the one place that converts it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace kova::plat {

enum class TCodePage { Cp932, EucJp, Utf8 };

struct TConvertResult {
  std::string text;
  std::size_t unmapped = 0;  // characters that had no form in the target (each written as '?')
};

// Converts `in` from one code page to another. Characters the target cannot hold, and bytes that
// are not valid in the source, are replaced by '?' and counted in `unmapped`.
TConvertResult ConvertText(std::string_view in, TCodePage from, TCodePage to);

std::string Cp932ToUtf8(std::string_view in);

// True for the first byte of a double-byte code page 932 character.
inline bool IsCp932LeadByte(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }
std::string Utf8ToCp932(std::string_view in);

// Typed or pasted text for the engine: each character of `in` (UTF-8) that code page 932 holds,
// converted; a character it cannot hold (and a byte that is no UTF-8) is left out, never replaced,
// so that what a text field shows is what the script reads. The look-alikes that input methods
// give for characters of the code page (the wave dash U+301C, the minus sign U+2212, the double
// vertical line U+2016, the cent, pound and not signs, the yen sign U+00A5 and the overline
// U+203E) are taken as the code page's own. `refused` (when given) counts what was left out.
std::string Utf8ToCp932Held(std::string_view in, std::size_t* refused = nullptr);

}  // namespace kova::plat
