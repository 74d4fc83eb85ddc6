// The root container's name index: which components hold a name, in creation order, so that a
// lookup by name costs about log n however many components the scene holds; and the hints that let
// the generated names ("object0", ...) and the renames of a taken name ("btn_2", ...) find the first
// free number without trying every number taken before it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>

namespace kova {

class TKovaObject;

// Splits a name into the base and the first counter of its renames: "btn_3" -> ("btn", 3); a name
// without a "_k" tail (k >= 2, fitting an int32) keeps itself as base and counts from 2. The tail
// is looked for at character starts only, so a Shift-JIS trail byte 0x5F is never taken for "_".
void SplitRenameCounter(const std::string& name, std::string& base, int64_t& counter);

class TComponentNames {
 public:
  // `serial` orders the holders of one name: smaller is older.
  void Add(TKovaObject* c, uint64_t serial, const std::string& name);
  void Remove(TKovaObject* c, uint64_t serial, const std::string& name);
  void Clear();

  // The holders of a name, oldest first (nullptr when nobody holds it).
  const std::map<uint64_t, TKovaObject*>* Holders(std::string_view name) const;

  // The first number k >= 0 such that prefix + k is not held, where `held` tells whether a name is.
  template <typename Held>
  int64_t FirstFreeNumber(std::string_view prefix, Held held) {
    int64_t& hint = number_hint_[std::string(prefix)];
    int64_t k = hint;
    while (held(std::string(prefix) + std::to_string(k))) ++k;
    hint = k;
    return k;
  }
  // The first counter k >= start such that base + "_" + k is not held.
  template <typename Held>
  int64_t FirstFreeCounter(const std::string& base, int64_t start, Held held) {
    auto [it, made] = counter_hint_.try_emplace(base, 2);
    int64_t k = std::max(start, it->second);
    while (held(base + "_" + std::to_string(k))) ++k;
    // Every counter from the hint up to k is held now; k is about to be.
    if (start <= it->second) it->second = k + 1;
    return k;
  }

 private:
  // A name given up may free a number below a hint: the hint moves back to it.
  void Released(const std::string& name);

  std::unordered_map<std::string, std::map<uint64_t, TKovaObject*>> holders_;
  // prefix -> h: prefix0 ... prefix(h-1) are all held.
  std::unordered_map<std::string, int64_t> number_hint_;
  // base -> h: base_2 ... base_(h-1) are all held.
  std::unordered_map<std::string, int64_t> counter_hint_;
};

}  // namespace kova
