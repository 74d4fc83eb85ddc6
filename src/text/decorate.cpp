#include "text/decorate.h"

#include <algorithm>
#include <functional>

namespace kova {

size_t TDecorateList::KeyHash::operator()(const TDecorateValues& v) const {
  size_t h = std::hash<std::string>()(v.FontName) ^ (std::hash<std::string>()(v.Ruby) * 31);
  for (int64_t x : {int64_t(v.Color), int64_t(v.BColor), int64_t(v.SColor), int64_t(v.Size), int64_t(v.Style),
                    int64_t(v.NoBreak), int64_t(v.Border), int64_t(v.Shadow)}) {
    h = h * 1000003u ^ std::hash<int64_t>()(x);
  }
  return h;
}

TDecorate* TDecorateList::Find(const TDecorateValues& values, const TDecorate* except) const {
  auto it = by_value_.find(values);
  if (it == by_value_.end()) return nullptr;
  for (TDecorate* d : it->second) {
    if (d != except) return d;
  }
  return nullptr;
}

void TDecorateList::Index(TDecorate* d) { by_value_[d->Values].push_back(d); }

void TDecorateList::Unindex(TDecorate* d) {
  auto it = by_value_.find(d->Values);
  if (it == by_value_.end()) return;
  auto& bucket = it->second;
  bucket.erase(std::remove(bucket.begin(), bucket.end(), d), bucket.end());
  if (bucket.empty()) by_value_.erase(it);
}

TDecorate* TDecorateList::Append(const TDecorateValues& values, int32_t use_count) {
  auto d = std::make_unique<TDecorate>();
  d->UseCount = use_count;
  d->Values = values;
  d->index_ = items_.size();
  TDecorate* raw = d.get();
  items_.push_back(std::move(d));
  Index(raw);
  return raw;
}

TDecorate* TDecorateList::FindOrAdd(const TDecorateValues& values) {
  if (TDecorate* d = Find(values, nullptr)) {
    ++d->UseCount;
    return d;
  }
  return Append(values, 1);
}

void TDecorateList::RemoveAt(size_t index) {
  Unindex(items_[index].get());
  items_.erase(items_.begin() + ptrdiff_t(index));
  for (size_t i = index; i < items_.size(); ++i) items_[i]->index_ = i;
}

void TDecorateList::Release(TDecorate* d) {
  if (!d || Dropping) return;
  if (--d->UseCount < 1) RemoveAt(d->index_);
}

void TDecorateList::Change(TDecorate*& current, const TDecorateValues& values) {
  if (!current) {
    current = FindOrAdd(values);
    return;
  }
  if (current->Values == values) return;
  if (TDecorate* other = Find(values, current)) {
    ++other->UseCount;
    Release(current);
    current = other;
  } else if (current->UseCount > 1) {
    --current->UseCount;
    current = FindOrAdd(values);
  } else {
    Unindex(current);
    current->Values = values;
    Index(current);
  }
}

void TDecorateList::Truncate(int from) {
  if (from < 0) from = 0;
  while (Count() > from) {
    Unindex(items_.back().get());
    items_.pop_back();
  }
}

void TDecorateList::RemoveUnused(int from) {
  size_t out = size_t(std::max(from, 0));
  for (size_t i = out; i < items_.size(); ++i) {
    if (items_[i]->UseCount < 1) {
      Unindex(items_[i].get());
      continue;
    }
    items_[i]->index_ = out;
    if (out != i) items_[out] = std::move(items_[i]);
    ++out;
  }
  items_.resize(out);
}

void TDecorateList::Clear() {
  by_value_.clear();
  items_.clear();
}

}  // namespace kova
