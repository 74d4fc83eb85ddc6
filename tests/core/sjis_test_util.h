// Helpers for checking Shift-JIS tables against the code-page converter: single characters
// between Unicode code points and code-page 932 bytes.
#pragma once

#include <string>
#include <string_view>

#include "platform/text/text_codec.h"

namespace kova::test {

inline std::string Utf8Of(char32_t u) {
  std::string s;
  if (u < 0x80) {
    s += char(u);
  } else if (u < 0x800) {
    s += char(0xC0 | (u >> 6));
    s += char(0x80 | (u & 0x3F));
  } else if (u < 0x10000) {
    s += char(0xE0 | (u >> 12));
    s += char(0x80 | ((u >> 6) & 0x3F));
    s += char(0x80 | (u & 0x3F));
  } else {
    s += char(0xF0 | (u >> 18));
    s += char(0x80 | ((u >> 12) & 0x3F));
    s += char(0x80 | ((u >> 6) & 0x3F));
    s += char(0x80 | (u & 0x3F));
  }
  return s;
}

// The single code point of a UTF-8 string, or 0 when it holds anything else.
inline char32_t CodePointOf(std::string_view s) {
  if (s.empty()) return 0;
  const auto b = [&](size_t i) { return char32_t(static_cast<unsigned char>(s[i])); };
  if (s.size() == 1 && b(0) < 0x80) return b(0);
  if (s.size() == 2 && (b(0) >> 5) == 0x6) return (b(0) & 0x1F) << 6 | (b(1) & 0x3F);
  if (s.size() == 3 && (b(0) >> 4) == 0xE) return (b(0) & 0x0F) << 12 | (b(1) & 0x3F) << 6 | (b(2) & 0x3F);
  return 0;
}

// The code-page 932 bytes of one code point, or "" when the code page has no form for it.
inline std::string Cp932Of(char32_t u) {
  auto r = plat::ConvertText(Utf8Of(u), plat::TCodePage::Utf8, plat::TCodePage::Cp932);
  return r.unmapped == 0 ? r.text : std::string();
}

// The code point of one code-page 932 character, or 0 when it maps to none (or to several).
inline char32_t UnicodeOf(std::string_view cp932) {
  auto r = plat::ConvertText(cp932, plat::TCodePage::Cp932, plat::TCodePage::Utf8);
  return r.unmapped == 0 ? CodePointOf(r.text) : 0;
}

}  // namespace kova::test
