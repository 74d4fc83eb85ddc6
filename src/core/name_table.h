// Read-only tables of the vocabulary: names in ordinal order, and the matching display labels.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace kova {

// ASCII names in ordinal order; a name's ordinal is its position.
class TNameTable {
 public:
  constexpr explicit TNameTable(std::span<const std::string_view> names) : names_(names) {}

  int32_t Count() const { return static_cast<int32_t>(names_.size()); }
  bool InRange(int32_t id) const { return id >= 0 && id < Count(); }
  // The name of ordinal `id`; empty when `id` lies outside the table (ordinals come from files).
  std::string_view Name(int32_t id) const { return InRange(id) ? names_[static_cast<size_t>(id)] : std::string_view(); }
  // The ordinal of `name`, ASCII letters compared without regard to case; -1 when absent.
  int32_t IndexOf(std::string_view name) const;
  std::span<const std::string_view> Names() const { return names_; }

 private:
  std::span<const std::string_view> names_;
};

// Display labels in ordinal order, kept in the source as UTF-8 and converted to code page 932 once,
// when the table is built.
class TLabelTable {
 public:
  explicit TLabelTable(std::span<const char* const> utf8);

  int32_t Count() const { return static_cast<int32_t>(labels_.size()); }
  bool InRange(int32_t id) const { return id >= 0 && id < Count(); }
  // The code-page 932 label of ordinal `id`; an empty string when `id` lies outside the table.
  const std::string& Label(int32_t id) const { return InRange(id) ? labels_[static_cast<size_t>(id)] : kEmpty; }
  // The UTF-8 source text of the label; empty when `id` lies outside the table.
  std::string_view Utf8(int32_t id) const { return InRange(id) ? utf8_[static_cast<size_t>(id)] : std::string_view(); }

 private:
  inline static const std::string kEmpty{};
  std::span<const char* const> utf8_;
  std::vector<std::string> labels_;
};

// The ordinal of an enumerator of a scoped vocabulary enumeration, for table look-ups.
template <class E>
  requires std::is_enum_v<E>
constexpr int32_t Ord(E e) {
  return static_cast<int32_t>(e);
}

}  // namespace kova
