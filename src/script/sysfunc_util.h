// Helpers shared by the system functions: the size cap of built strings, Shift-JIS aware byte
// scanning (character starts, ASCII case folds, delimiters), line splitting, and access to the
// typed element arrays behind a value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/sjis.h"
#include "script/params.h"

namespace kova::sysfunc {

// The longest string a system function builds; a longer one raises "Name:文字列が長すぎます".
inline constexpr size_t kMaxBuiltString = size_t(64) << 20;
// Raises the length error of function `id` when `size` exceeds kMaxBuiltString.
void CheckBuiltSize(int32_t id, uint64_t size);

// Answers, for increasing byte offsets, whether an offset begins a character (is not the trail
// byte of a double-byte character). Each question walks back only over the run of bytes that
// pass the lead-byte test, never past the last answer, so a whole scan costs linear time.
class TCharStarts {
 public:
  explicit TCharStarts(std::string_view s) : s_(s) {}
  // `p` must not be smaller than in the previous call.
  bool IsStart(size_t p) {
    // known_ only passes the previous offset when that one was a trail byte.
    if (p <= known_) return p == known_;
    size_t q = p;
    while (q > known_ && IsSjisLeadByte(s_[q - 1])) --q;
    // q is a character start: either the remembered one, or the byte after one that fails the
    // lead-byte test (such a byte always ends a character).
    const bool start = ((p - q) & 1) == 0;
    known_ = start ? p : p + 1;
    return start;
  }

 private:
  std::string_view s_;
  size_t known_ = 0;
};

// True when byte offset p of s begins a character (the trail-byte test of the Shift-JIS
// routines, 0-based; p must lie inside s).
bool IsCharStart(std::string_view s, size_t p);


// The offset of the last single-byte character of s that occurs in `chars`, or npos.
size_t LastSingleByteOf(std::string_view s, std::string_view chars);

// Splits text into lines at CR LF, LF or CR; a break at the very end gives no empty last line,
// and empty text gives no line.
std::vector<std::string> SplitLines(std::string_view text);
// Cuts text at every character that is one of the characters of `delims` (whole characters,
// double-byte ones included); two delimiters in a row give an empty piece, a delimiter at the
// end gives no empty last piece, and empty text gives no piece. Empty `delims`: the whole text.
std::vector<std::string> SplitAtChars(std::string_view text, std::string_view delims);

// Makes v one-dimensional with one element per item and stores the items as strings (converted
// to v's own type). No item is the dimension error, raised before v changes.
void StoreStrings(TCustomParam& v, std::vector<std::string>&& items);

// The value that a value stands for: the value itself, or the value of the variable a reference
// is bound to (through nested references); nullptr for an unbound reference.
TCustomParam* Underlying(TCustomParam& value);
const TCustomParam* Underlying(const TCustomParam& value);

}  // namespace kova::sysfunc
