#include "components/scene/component_names.h"

#include <charconv>
#include <vector>

#include "core/sjis.h"

namespace kova {

void SplitRenameCounter(const std::string& name, std::string& base, int64_t& counter) {
  base = name;
  counter = 2;
  std::vector<size_t> underscores;
  for (size_t i = 0; i < name.size();) {
    if (name[i] == '_' && i >= 1) underscores.push_back(i);
    i += (IsSjisLeadByte(name[i]) && i + 1 < name.size()) ? 2 : 1;
  }
  for (auto it = underscores.rbegin(); it != underscores.rend(); ++it) {
    const std::string_view tail = std::string_view(name).substr(*it + 1);
    int32_t k = 0;
    auto [end, ec] = std::from_chars(tail.data(), tail.data() + tail.size(), k);
    if (tail.empty() || ec != std::errc() || end != tail.data() + tail.size() || tail[0] == '+' || k < 2) continue;
    base = name.substr(0, *it);
    counter = k;
    return;
  }
}

void TComponentNames::Add(TKovaObject* c, uint64_t serial, const std::string& name) { holders_[name][serial] = c; }

void TComponentNames::Remove(TKovaObject* c, uint64_t serial, const std::string& name) {
  auto it = holders_.find(name);
  if (it == holders_.end()) return;
  auto held = it->second.find(serial);
  if (held == it->second.end() || held->second != c) return;
  it->second.erase(held);
  if (it->second.empty()) {
    holders_.erase(it);
    Released(name);
  }
}

void TComponentNames::Clear() {
  holders_.clear();
  number_hint_.clear();
  counter_hint_.clear();
}

const std::map<uint64_t, TKovaObject*>* TComponentNames::Holders(std::string_view name) const {
  auto it = holders_.find(std::string(name));
  return it == holders_.end() ? nullptr : &it->second;
}

namespace {

// The number of "prefix" + digits (no sign, no leading zero, at most 18 digits), or -1.
int64_t NumberAfter(std::string_view name, std::string_view prefix) {
  if (name.size() <= prefix.size() || name.substr(0, prefix.size()) != prefix) return -1;
  const std::string_view tail = name.substr(prefix.size());
  if (tail.size() > 18 || (tail.size() > 1 && tail[0] == '0')) return -1;
  int64_t k = 0;
  auto [end, ec] = std::from_chars(tail.data(), tail.data() + tail.size(), k);
  return (ec == std::errc() && end == tail.data() + tail.size() && tail[0] != '-') ? k : -1;
}

}  // namespace

void TComponentNames::Released(const std::string& name) {
  for (auto& [prefix, hint] : number_hint_) {
    const int64_t k = NumberAfter(name, prefix);
    if (k >= 0 && k < hint) hint = k;
  }
  if (counter_hint_.empty()) return;
  std::string base;
  int64_t counter = 0;
  SplitRenameCounter(name, base, counter);
  if (base == name) return;
  auto it = counter_hint_.find(base);
  if (it != counter_hint_.end() && counter < it->second) it->second = counter;
}

}  // namespace kova
