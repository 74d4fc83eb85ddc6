// A growable array of strings (call arguments, event parameters, name lists) with its stream
// form: a 4-byte count, then each string as a 4-byte byte length and the bytes.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "core/stream.h"

namespace kova {

class TArrayString {
 public:
  int Count() const { return static_cast<int>(items_.size()); }
  bool Empty() const { return items_.empty(); }
  void Add(std::string s) { items_.push_back(std::move(s)); }
  // Makes this array a copy of the other's strings.
  void Assign(const TArrayString& other) {
    if (this != &other) items_ = other.items_;
  }
  void Clear() { items_.clear(); }

  // Out-of-range indexes raise EListError.
  const std::string& Get(int index) const;
  const std::string& operator[](int index) const { return Get(index); }
  void Set(int index, std::string s);

  void SaveToStream(TStream& stream) const;
  // Clears, then reads the count and the strings. A count below 0 or larger than the bytes left
  // could hold, and a string cut short, raise EReadError (the array is then left empty).
  void LoadFromStream(TStream& stream);

  std::span<const std::string> Items() const { return items_; }
  std::vector<std::string>::const_iterator begin() const { return items_.begin(); }
  std::vector<std::string>::const_iterator end() const { return items_.end(); }

  friend bool operator==(const TArrayString&, const TArrayString&) = default;

 private:
  std::vector<std::string> items_;
};

}  // namespace kova
