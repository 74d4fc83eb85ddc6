// A string list filled with the fields of one line, split at a one-byte delimiter (tab unless
// set otherwise). The byte after a Shift-JIS lead byte is never taken for the delimiter.
#pragma once

#include <string>
#include <string_view>

#include "core/string_list.h"

namespace kova {

class TTabStrings : public TStringList {
 public:
  TTabStrings() = default;
  explicit TTabStrings(char delimiter) : Delimiter(delimiter) {}

  void Clear() override { TStringList::Clear(); }

  // Replaces the contents by the fields of `line`: empty fields between two delimiters and a
  // leading empty field are kept; a trailing delimiter adds no field; an empty line gives none.
  void SetDelimitedText(std::string_view line);

  // String i when 0 <= i < Count, else the empty string.
  const std::string& Field(int i) const { return Field(*this, i); }
  static const std::string& Field(const TStringList& strings, int i);

  char Delimiter = '\t';
};

}  // namespace kova
