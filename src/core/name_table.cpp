#include "core/name_table.h"

#include "platform/text/text_codec.h"

namespace kova {
namespace {

constexpr char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool AsciiSameText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  return true;
}

}  // namespace

int32_t TNameTable::IndexOf(std::string_view name) const {
  // Names are plain ASCII, so a byte of a double-byte character never matches one of them.
  for (size_t i = 0; i < names_.size(); ++i)
    if (AsciiSameText(names_[i], name)) return static_cast<int32_t>(i);
  return -1;
}

TLabelTable::TLabelTable(std::span<const char* const> utf8) : utf8_(utf8) {
  labels_.reserve(utf8.size());
  for (const char* text : utf8) labels_.push_back(plat::Utf8ToCp932(text));
}

}  // namespace kova
