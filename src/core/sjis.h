// Shift-JIS (code page 932) character routines. A lead byte and the byte after it form one
// character; a lead byte that ends the string is one character by itself.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kova {

constexpr bool IsSjisLeadByte(uint8_t c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
constexpr bool IsSjisLeadByte(char c) { return IsSjisLeadByte(static_cast<uint8_t>(c)); }

// The code page's case fold, applied per character and never to a trail byte: ASCII letters and
// the double-byte full-width Latin, Greek and Cyrillic letters.
std::string SjisLowerCase(std::string_view s);
std::string SjisUpperCase(std::string_view s);
// Case-insensitive comparison of whole strings under that fold.
bool SjisSameText(std::string_view a, std::string_view b);
// Three-way comparison of the folded forms, byte by byte (negative, 0, positive).
int SjisCompareText(std::string_view a, std::string_view b);

}  // namespace kova
