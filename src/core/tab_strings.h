// A string list filled with the fields of one line, split at a one-byte delimiter (tab unless
// set otherwise). The byte after a Shift-JIS lead byte is never taken for the delimiter.
#pragma once

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

#include "core/sjis.h"
#include "core/string_list.h"

namespace kova {

// Calls field(from, to) with the byte range of each field of `line`, split at `delimiter`:
// empty fields between two delimiters and a leading empty field are kept; a trailing delimiter
// adds no field; an empty line gives none. A delimiter byte that is the trail byte of a
// double-byte character does not split.
template <class F>
void ForEachDelimitedField(std::string_view line, char delimiter, F&& field) {
  const char* data = line.data();
  const size_t n = line.size();
  size_t start = 0;
  size_t i = 0;
  while (i < n) {
    // Find the next delimiter byte; it ends the field unless a double-byte character before it
    // takes it as its trail byte, which only a lead byte in between can do.
    const void* hit = std::memchr(data + i, static_cast<unsigned char>(delimiter), n - i);
    const size_t d = hit ? static_cast<size_t>(static_cast<const char*>(hit) - data) : n;
    while (i < d && !IsSjisLeadByte(data[i])) ++i;
    if (i == d) {
      if (d == n) break;
      field(start, d);
      start = i = d + 1;
      continue;
    }
    // A lead byte: walk by characters to the next delimiter that begins a character.
    while (i < n && data[i] != delimiter) i += (IsSjisLeadByte(data[i]) && i + 1 < n) ? 2 : 1;
    if (i < n) {
      field(start, i);
      start = ++i;
    }
  }
  if (start < n) field(start, n);
}

class TTabStrings : public TStringList {
 public:
  TTabStrings() = default;
  explicit TTabStrings(char delimiter) : Delimiter(delimiter) {}

  void Clear() override { TStringList::Clear(); }

  // Replaces the contents by the fields of `line` (ForEachDelimitedField).
  void SetDelimitedText(std::string_view line);

  // String i when 0 <= i < Count, else the empty string.
  const std::string& Field(int i) const { return Field(*this, i); }
  static const std::string& Field(const TStringList& strings, int i);

  char Delimiter = '\t';
};

}  // namespace kova
