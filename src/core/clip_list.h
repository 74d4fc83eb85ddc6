// The list of dirty rectangles of a screen layer. A rectangle added within 20 pixels of one
// already held is merged with it, and the merged rectangle may absorb further ones in turn, so
// that the list stays short.
#pragma once

#include <span>
#include <vector>

#include "core/types.h"

namespace kova {

class TClipList {
 public:
  // How near (in pixels, inclusive) a rectangle must come to a held one to be merged with it.
  static constexpr int32_t kMergeDistance = 20;

  int Count() const { return static_cast<int>(rects_.size()); }
  bool Empty() const { return rects_.empty(); }

  // Adds a dirty rectangle by the merge rule; an empty rectangle, or one inside the first held
  // rectangle near it, changes nothing.
  void Add(const TRect& r);
  // Out-of-range indexes raise EListError.
  const TRect& Get(int index) const;
  const TRect& operator[](int index) const { return Get(index); }
  void Delete(int index);
  void Clear();

  std::span<const TRect> Items() const { return rects_; }

  // Set by every addition, deletion and clearing; the layers read and reset it.
  bool Changed = false;

 private:
  std::vector<TRect> rects_;
};

}  // namespace kova
