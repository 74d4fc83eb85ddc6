#include "core/string_list.h"

#include <algorithm>

#include "core/errors.h"
#include "core/lists.h"
#include "core/sjis.h"

namespace kova {

const std::string& TStringList::Strings(int index) const {
  CheckListIndex(index, items_.size());
  return items_[index].Str;
}

void TStringList::SetString(int index, std::string s) {
  RequireUnsorted();
  CheckListIndex(index, items_.size());
  items_[index].Str = std::move(s);
}

void* TStringList::Objects(int index) const {
  CheckListIndex(index, items_.size());
  return items_[index].Object;
}

void TStringList::SetObject(int index, void* object) {
  CheckListIndex(index, items_.size());
  items_[index].Object = object;
}

int TStringList::AddObject(std::string s, void* object) {
  if (!sorted_) {
    items_.push_back(TStringItem{std::move(s), object});
    return Count() - 1;
  }
  int index;
  if (Find(s, index)) return index;
  items_.insert(items_.begin() + index, TStringItem{std::move(s), object});
  return index;
}

void TStringList::Insert(int index, std::string s, void* object) {
  RequireUnsorted();
  if (index != Count()) CheckListIndex(index, items_.size());
  items_.insert(items_.begin() + index, TStringItem{std::move(s), object});
}

void TStringList::Delete(int index) {
  CheckListIndex(index, items_.size());
  items_.erase(items_.begin() + index);
}

void TStringList::Move(int from, int to) {
  RequireUnsorted();
  MoveListElement(items_, from, to);
}

int TStringList::IndexOf(std::string_view s) const {
  if (sorted_) {
    int index;
    return Find(s, index) ? index : -1;
  }
  for (size_t i = 0; i < items_.size(); ++i)
    if (SjisSameText(items_[i].Str, s)) return static_cast<int>(i);
  return -1;
}

int TStringList::IndexOfObject(const void* object) const {
  for (size_t i = 0; i < items_.size(); ++i)
    if (items_[i].Object == object) return static_cast<int>(i);
  return -1;
}

bool TStringList::Find(std::string_view s, int& index) const {
  if (!sorted_) {
    for (size_t i = 0; i < items_.size(); ++i) {
      if (SjisSameText(items_[i].Str, s)) {
        index = static_cast<int>(i);
        return true;
      }
    }
    index = Count();
    return false;
  }
  size_t low = 0, high = items_.size();
  while (low < high) {
    size_t mid = low + (high - low) / 2;
    int c = SjisCompareText(items_[mid].Str, s);
    if (c == 0) {
      index = static_cast<int>(mid);
      return true;
    }
    if (c < 0) {
      low = mid + 1;
    } else {
      high = mid;
    }
  }
  index = static_cast<int>(low);
  return false;
}

void TStringList::SetSorted(bool sorted) {
  if (sorted == sorted_) return;
  sorted_ = sorted;
  if (!sorted) return;
  std::stable_sort(items_.begin(), items_.end(), [](const TStringItem& a, const TStringItem& b) {
    return SjisCompareText(a.Str, b.Str) < 0;
  });
  auto last = std::unique(items_.begin(), items_.end(), [](const TStringItem& a, const TStringItem& b) {
    return SjisCompareText(a.Str, b.Str) == 0;
  });
  items_.erase(last, items_.end());
}

std::string TStringList::Text() const {
  size_t size = 0;
  for (const auto& item : items_) size += item.Str.size() + 2;
  std::string text;
  text.reserve(size);
  for (const auto& item : items_) {
    text += item.Str;
    text += "\r\n";
  }
  return text;
}

void TStringList::SetText(std::string_view text) {
  Clear();
  size_t start = 0;
  const size_t n = text.size();
  while (start < n) {
    size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) end = n;
    Add(std::string(text.substr(start, end - start)));
    if (end < n && text[end] == '\r' && end + 1 < n && text[end + 1] == '\n') ++end;
    start = end + 1;
  }
}

int TStringList::IndexOfName(std::string_view name) const {
  for (size_t i = 0; i < items_.size(); ++i) {
    std::string_view line = items_[i].Str;
    size_t eq = line.find('=');
    if (eq != std::string_view::npos && SjisSameText(line.substr(0, eq), name))
      return static_cast<int>(i);
  }
  return -1;
}

std::string TStringList::Values(std::string_view name) const {
  int i = IndexOfName(name);
  if (i < 0) return {};
  const std::string& line = items_[i].Str;
  return line.substr(line.find('=') + 1);
}

void TStringList::RequireUnsorted() const {
  if (sorted_) Raise<EListError>(TMsg::SortedListOperation);
}

}  // namespace kova
