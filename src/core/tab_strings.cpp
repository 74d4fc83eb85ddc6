#include "core/tab_strings.h"

namespace kova {

void TTabStrings::SetDelimitedText(std::string_view line) {
  Clear();
  auto add = [&](size_t from, size_t to) {
    if (Sorted()) {
      AddObject(std::string(line.substr(from, to - from)), nullptr);
    } else {
      items_.emplace_back().Str.assign(line.data() + from, to - from);
    }
  };
  ForEachDelimitedField(line, Delimiter, add);
}

const std::string& TTabStrings::Field(const TStringList& strings, int i) {
  static const std::string kEmpty;
  return (i >= 0 && i < strings.Count()) ? strings.Strings(i) : kEmpty;
}

}  // namespace kova
