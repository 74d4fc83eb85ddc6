// Small shared lists: the list that owns its objects, and the two integer lists.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <span>
#include <utility>
#include <vector>

namespace kova {

// Raises EListError with the catalogue's index message for `index`.
[[noreturn]] void RaiseListIndexError(int64_t index);

inline void CheckListIndex(int64_t index, size_t count) {
  if (index < 0 || static_cast<uint64_t>(index) >= count) RaiseListIndexError(index);
}

// Moves element `from` of a vector to position `to`; the elements between shift by one. Both
// indexes are checked (EListError).
template <class V>
void MoveListElement(V& items, int64_t from, int64_t to) {
  CheckListIndex(from, items.size());
  CheckListIndex(to, items.size());
  const auto first = items.begin();
  if (from < to) {
    std::rotate(first + from, first + from + 1, first + to + 1);
  } else if (from > to) {
    std::rotate(first + to, first + from, first + from + 1);
  }
}

// A list of objects that it owns. Deleting an item or clearing the list frees the objects;
// destroying the list clears it. Subsystems derive from it and may override Clear.
// Out-of-range indexes raise EListError.
template <class T>
class TObjList {
 public:
  using TItems = std::vector<std::unique_ptr<T>>;

  TObjList() = default;
  TObjList(const TObjList&) = delete;
  TObjList& operator=(const TObjList&) = delete;
  TObjList(TObjList&& other) noexcept : items_(std::move(other.items_)) {}
  TObjList& operator=(TObjList&& other) noexcept {
    if (this != &other) {
      FreeAll();
      items_ = std::move(other.items_);
    }
    return *this;
  }
  virtual ~TObjList() { FreeAll(); }

  // Frees every object, from the first to the last, then leaves the list empty.
  virtual void Clear() { FreeAll(); }

  int Count() const { return static_cast<int>(items_.size()); }
  bool Empty() const { return items_.empty(); }

  // Appends; returns the new item's index.
  int Add(std::unique_ptr<T> item) {
    items_.push_back(std::move(item));
    return Count() - 1;
  }
  // Constructs an object of type U (T or derived from it) at the end and returns it.
  template <class U = T, class... Args>
  U& Emplace(Args&&... args) {
    auto item = std::make_unique<U>(std::forward<Args>(args)...);
    U& ref = *item;
    items_.push_back(std::move(item));
    return ref;
  }
  // Inserts before index (index == Count appends).
  void Insert(int index, std::unique_ptr<T> item) {
    if (index != Count()) CheckListIndex(index, items_.size());
    items_.insert(items_.begin() + index, std::move(item));
  }
  // Frees object `index` and removes its slot. The slot goes first, so that the object's
  // destructor never sees itself in the list.
  void Delete(int index) { Extract(index).reset(); }
  // Removes item `index` without freeing it and hands it to the caller.
  std::unique_ptr<T> Extract(int index) {
    CheckListIndex(index, items_.size());
    std::unique_ptr<T> item = std::move(items_[index]);
    items_.erase(items_.begin() + index);
    return item;
  }

  T* Items(int index) const {
    CheckListIndex(index, items_.size());
    return items_[index].get();
  }
  T* operator[](int index) const { return Items(index); }
  T* First() const { return Items(0); }
  T* Last() const { return Items(Count() - 1); }
  // The index of the object, or -1.
  int IndexOf(const T* item) const {
    for (size_t i = 0; i < items_.size(); ++i)
      if (items_[i].get() == item) return static_cast<int>(i);
    return -1;
  }

  // Moves item `from` to position `to` (the items between shift by one).
  void Move(int from, int to) { MoveListElement(items_, from, to); }
  void Exchange(int a, int b) {
    CheckListIndex(a, items_.size());
    CheckListIndex(b, items_.size());
    std::swap(items_[a], items_[b]);
  }

  typename TItems::const_iterator begin() const { return items_.begin(); }
  typename TItems::const_iterator end() const { return items_.end(); }

 private:
  // The objects leave the list before they are freed, first to last, so that a destructor that
  // looks at the list sees no freed object; anything added meanwhile stays.
  void FreeAll() {
    TItems doomed;
    doomed.swap(items_);
    for (auto& item : doomed) item.reset();
  }

  TItems items_;
};

// A list of 32-bit integers.
class TIntList {
 public:
  int Count() const { return static_cast<int>(items_.size()); }
  // Appends; returns the new item's index.
  int Add(int32_t n) {
    items_.push_back(n);
    return Count() - 1;
  }
  int32_t Get(int index) const {
    CheckListIndex(index, items_.size());
    return items_[index];
  }
  int32_t operator[](int index) const { return Get(index); }
  void Put(int index, int32_t n) {
    CheckListIndex(index, items_.size());
    items_[index] = n;
  }
  // Inserts before index (index == Count appends).
  void Insert(int index, int32_t n) {
    if (index != Count()) CheckListIndex(index, items_.size());
    items_.insert(items_.begin() + index, n);
  }
  // Removes item `index`; later items move down by one.
  void Delete(int index) {
    CheckListIndex(index, items_.size());
    items_.erase(items_.begin() + index);
  }
  // The index of the first item equal to n, or -1.
  int IndexOf(int32_t n) const {
    for (size_t i = 0; i < items_.size(); ++i)
      if (items_[i] == n) return static_cast<int>(i);
    return -1;
  }
  void Clear() { items_.clear(); }
  void Reserve(int capacity) { items_.reserve(capacity > 0 ? static_cast<size_t>(capacity) : 0); }
  std::span<const int32_t> Items() const { return items_; }

 private:
  std::vector<int32_t> items_;
};

// A growable array of signed 32-bit integers.
class TIntArray {
 public:
  int Count() const { return static_cast<int>(items_.size()); }
  // Grows the array by one.
  void Add(int32_t n) { items_.push_back(n); }
  int32_t Get(int index) const {
    CheckListIndex(index, items_.size());
    return items_[index];
  }
  int32_t operator[](int index) const { return Get(index); }
  void Set(int index, int32_t n) {
    CheckListIndex(index, items_.size());
    items_[index] = n;
  }
  void Clear() { items_.clear(); }
  std::span<const int32_t> Items() const { return items_; }

 private:
  std::vector<int32_t> items_;
};

}  // namespace kova
