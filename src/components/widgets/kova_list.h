// Small containers of the scene: TKovaList, a plain list of objects it does not own (the root
// container's right-click scrap list), and the clip manager, a list of rectangle sets.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "core/types.h"

namespace kova {

class TKovaObject;

class TKovaList {
 public:
  int32_t Count() const { return int32_t(items_.size()); }
  // nullptr out of range.
  TKovaObject* Items(int32_t i) const {
    return i >= 0 && i < Count() ? items_[static_cast<size_t>(i)] : nullptr;
  }
  // The index of `obj`, appending it when it is not held yet.
  int32_t AddUnique(TKovaObject* obj);
  void Remove(const TKovaObject* obj);
  void Clear() { items_.clear(); }

 private:
  std::vector<TKovaObject*> items_;
};

// Two growable sets of rectangles.
struct TClipData {
  std::vector<TRect> Rects1;
  std::vector<TRect> Rects2;
  void Add1(const TRect& r) { Rects1.push_back(r); }
  void Add2(const TRect& r) { Rects2.push_back(r); }
};

class TClipManager {
 public:
  // Appends a new empty set and returns it (owned by the manager).
  TClipData& Add() { return *items_.emplace_back(std::make_unique<TClipData>()); }
  int32_t Count() const { return int32_t(items_.size()); }
  TClipData& Items(int32_t i) const { return *items_.at(static_cast<size_t>(i)); }
  void Clear() { items_.clear(); }

 private:
  std::vector<std::unique_ptr<TClipData>> items_;
};

}  // namespace kova
