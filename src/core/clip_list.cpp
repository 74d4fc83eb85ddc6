#include "core/clip_list.h"

#include <algorithm>
#include <cstdint>

#include "core/lists.h"

namespace kova {
namespace {

// Widened to 64 bits so that rectangles at the ends of the int32 range cannot overflow.
bool IsNear(const TRect& r, const TRect& h) {
  constexpr int64_t d = TClipList::kMergeDistance;
  return r.Left <= int64_t{h.Right} + d && r.Top <= int64_t{h.Bottom} + d &&
         r.Right >= int64_t{h.Left} - d && r.Bottom >= int64_t{h.Top} - d;
}

bool Contains(const TRect& h, const TRect& r) {
  return h.Left <= r.Left && h.Top <= r.Top && h.Right >= r.Right && h.Bottom >= r.Bottom;
}

TRect Union(const TRect& a, const TRect& b) {
  return TRect{std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
               std::max(a.Bottom, b.Bottom)};
}

}  // namespace

void TClipList::Add(const TRect& rect) {
  if (rect.Left >= rect.Right || rect.Top >= rect.Bottom) return;
  TRect r = rect;
  // Each merge deletes the held rectangle and adds the union afresh, walking from the first
  // held rectangle again: the loop form of adding the union by the same rule.
  for (;;) {
    auto near = std::find_if(rects_.begin(), rects_.end(), [&](const TRect& h) { return IsNear(r, h); });
    if (near == rects_.end()) break;
    if (Contains(*near, r)) return;
    r = Union(r, *near);
    rects_.erase(near);
    Changed = true;
  }
  rects_.push_back(r);
  Changed = true;
}

const TRect& TClipList::Get(int index) const {
  CheckListIndex(index, rects_.size());
  return rects_[index];
}

void TClipList::Delete(int index) {
  CheckListIndex(index, rects_.size());
  rects_.erase(rects_.begin() + index);
  Changed = true;
}

void TClipList::Clear() {
  rects_.clear();
  Changed = true;
}

}  // namespace kova
