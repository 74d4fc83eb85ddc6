// Handles: how one layer or thread names a scene object that another owns. A handle is an id (a
// slot of the owner's handle table) with the generation the slot had when the handle was issued;
// freeing the object moves the slot's generation on, so every handle issued for it resolves to
// nothing from then on, even after the slot is given to a new object. A handle is two integers:
// copied freely, compared, hashed, kept across frames and handed to other threads (only the
// owner's table resolves it, on the owner's thread).
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace kova {

struct TObjectHandle {
  // 0: the null handle, which names no object.
  uint32_t id = 0;
  uint32_t generation = 0;

  bool IsNull() const { return id == 0; }
  explicit operator bool() const { return id != 0; }
  friend bool operator==(const TObjectHandle&, const TObjectHandle&) = default;
};

// The slots of one owner's objects. Issue gives a live object a handle, Retire ends it, Resolve
// finds the object of a handle that is still live. Freed slots are reused (the table holds as many
// slots as the most objects that lived at once); a slot whose generation has run out is not.
template <class T>
class THandleTable {
 public:
  TObjectHandle Issue(T* object) {
    uint32_t index;
    if (!free_.empty()) {
      index = free_.back();
      free_.pop_back();
    } else {
      index = static_cast<uint32_t>(slots_.size());
      slots_.push_back(TSlot{});
    }
    slots_[index].object = object;
    ++live_;
    return TObjectHandle{index + 1, slots_[index].generation};
  }

  // Ends the handle (and every copy of it); nothing for the null handle or one already ended.
  void Retire(TObjectHandle handle) {
    if (!IsLive(handle)) return;
    TSlot& slot = slots_[handle.id - 1];
    slot.object = nullptr;
    --live_;
    if (slot.generation == UINT32_MAX) return;
    ++slot.generation;
    free_.push_back(handle.id - 1);
  }

  // The object while its handle is live; nullptr otherwise.
  T* Resolve(TObjectHandle handle) const {
    return IsLive(handle) ? slots_[handle.id - 1].object : nullptr;
  }

  size_t LiveCount() const { return live_; }
  size_t SlotCount() const { return slots_.size(); }

 private:
  struct TSlot {
    T* object = nullptr;
    uint32_t generation = 1;
  };

  bool IsLive(TObjectHandle handle) const {
    if (handle.id == 0 || handle.id > slots_.size()) return false;
    const TSlot& slot = slots_[handle.id - 1];
    return slot.object && slot.generation == handle.generation;
  }

  std::vector<TSlot> slots_;
  std::vector<uint32_t> free_;
  size_t live_ = 0;
};

}  // namespace kova

template <>
struct std::hash<kova::TObjectHandle> {
  size_t operator()(const kova::TObjectHandle& h) const noexcept {
    return std::hash<uint64_t>()((uint64_t(h.id) << 32) | h.generation);
  }
};
