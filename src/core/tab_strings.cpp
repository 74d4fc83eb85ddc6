#include "core/tab_strings.h"

#include <cstring>

#include "core/sjis.h"

namespace kova {

void TTabStrings::SetDelimitedText(std::string_view line) {
  Clear();
  const size_t n = line.size();
  auto add = [&](size_t from, size_t to) {
    if (Sorted()) {
      AddObject(std::string(line.substr(from, to - from)), nullptr);
    } else {
      items_.emplace_back().Str.assign(line.data() + from, to - from);
    }
  };
  const char* data = line.data();
  size_t start = 0;
  size_t i = 0;
  while (i < n) {
    // Find the next delimiter byte; it ends the field unless a double-byte character before it
    // takes it as its trail byte, which only a lead byte in between can do.
    const void* hit = std::memchr(data + i, static_cast<unsigned char>(Delimiter), n - i);
    const size_t d = hit ? static_cast<size_t>(static_cast<const char*>(hit) - data) : n;
    while (i < d && !IsSjisLeadByte(data[i])) ++i;
    if (i == d) {
      if (d == n) break;
      add(start, d);
      start = i = d + 1;
      continue;
    }
    // A lead byte: walk by characters to the next delimiter that begins a character.
    while (i < n && data[i] != Delimiter) i += (IsSjisLeadByte(data[i]) && i + 1 < n) ? 2 : 1;
    if (i < n) {
      add(start, i);
      start = ++i;
    }
  }
  if (start < n) add(start, n);
}

const std::string& TTabStrings::Field(const TStringList& strings, int i) {
  static const std::string kEmpty;
  return (i >= 0 && i < strings.Count()) ? strings.Strings(i) : kEmpty;
}

}  // namespace kova
