// Shift-JIS (code page 932) character routines. A lead byte and the byte after it form one
// character; a lead byte that ends the string is one character by itself.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kova {

constexpr bool IsSjisLeadByte(uint8_t c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }
constexpr bool IsSjisLeadByte(char c) { return IsSjisLeadByte(static_cast<uint8_t>(c)); }

// Character-wise routines. Positions and counts are 1-based character numbers unless stated
// otherwise; every walk goes forward from the start of the string, so each routine is linear.

// The number of characters in s.
int SjisLength(std::string_view s);
// The 1-based byte position at which character i begins: 1 for i <= 1, Length(s) + 1 past the end.
int SjisCharToByte(std::string_view s, int i);
// The code of character i: its byte value, or lead * 256 + trail for a double-byte character;
// 0 when i lies outside 1 .. SjisLength(s).
int SjisCharAt(std::string_view s, int i);
// True when byte p (1-based) is the trail byte of a double-byte character. Raises EListError
// ("Illegal Index") when p lies outside 1 .. s.size().
bool SjisIsSecondByte(std::string_view s, int p);
// Characters index .. index + count - 1 (an index below 1 keeps that end but starts at 1).
std::string SjisCopy(std::string_view s, int index, int count);
// Inserts sub before character index (below 1 = at the front, past the end = appended).
void SjisInsert(std::string_view sub, std::string& s, int index);
// Deletes count characters from character index (below 1 = from the first); nothing when index
// lies past the end, up to the end when fewer than count characters follow.
void SjisDelete(std::string& s, int index, int count);
// The character number at which sub first occurs in s, matching only where a character begins;
// 0 when it does not occur or sub is empty.
int SjisPos(std::string_view sub, std::string_view s);
// Cuts the text before the first delimiter byte (met where a character begins) off s into token
// and drops that delimiter; without a delimiter, token takes all of s and s becomes empty.
// Returns true when a delimiter was met.
bool SjisFetchToken(std::string& s, std::string_view delimiters, std::string& token);
// The same on a view, which is advanced past the token and its delimiter: splitting a whole text
// this way costs time linear in its length.
bool SjisFetchToken(std::string_view& s, std::string_view delimiters, std::string_view& token);
// s without leading and trailing half-width (0x20) and full-width (0x81 0x40) spaces.
std::string SjisTrim(std::string_view s);
// The full-width form of s: printable ASCII and half-width katakana become their double-byte
// forms (a ka/sa/ta/ha-row kana and a following voiced mark, or a ha-row kana and a following
// semi-voiced mark, become one kana); double-byte characters are kept; other single bytes,
// control bytes such as CR and LF included, are dropped.
std::string SjisHanToZen(std::string_view s);
// The half-width form of s: double-byte characters that have a half-width form are replaced by it
// (a voiced or semi-voiced kana by the kana and its mark), the others are dropped; single bytes are
// kept.
std::string SjisZenToHan(std::string_view s);

// The code page's case fold, applied per character and never to a trail byte: ASCII letters and
// the double-byte full-width Latin, Greek and Cyrillic letters.
std::string SjisLowerCase(std::string_view s);
std::string SjisUpperCase(std::string_view s);
// ASCII letters only (double-byte letters kept), never a trail byte; every other byte kept.
std::string SjisAsciiLowerCase(std::string_view s);
std::string SjisAsciiUpperCase(std::string_view s);
// The same in place, reusing the string's memory.
void SjisAsciiUpperCaseInPlace(std::string& s);
// Case-insensitive comparison of whole strings under that fold.
bool SjisSameText(std::string_view a, std::string_view b);
// Three-way comparison of the folded forms, byte by byte (negative, 0, positive).
int SjisCompareText(std::string_view a, std::string_view b);

}  // namespace kova
