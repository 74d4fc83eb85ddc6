// The string list: code-page 932 strings, each with an object slot that the list does not own.
// Comparisons ignore case through the code page's fold. A sorted list keeps its strings in the
// byte order of their folded forms and ignores strings it already holds.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kova {

struct TStringItem {
  std::string Str;
  void* Object = nullptr;  // not owned
};

class TStringList {
 public:
  TStringList() = default;
  TStringList(const TStringList&) = default;
  TStringList& operator=(const TStringList&) = default;
  TStringList(TStringList&&) noexcept = default;
  TStringList& operator=(TStringList&&) noexcept = default;
  virtual ~TStringList() = default;

  virtual void Clear() { items_.clear(); }

  int Count() const { return static_cast<int>(items_.size()); }
  bool Empty() const { return items_.empty(); }

  // Out-of-range indexes raise EListError.
  const std::string& Strings(int index) const;
  const std::string& operator[](int index) const { return Strings(index); }
  // Replaces string `index`; raises EListError on a sorted list.
  void SetString(int index, std::string s);
  void* Objects(int index) const;
  void SetObject(int index, void* object);
  // A small integer kept in the object slot instead of a pointer.
  intptr_t ObjectInt(int index) const { return reinterpret_cast<intptr_t>(Objects(index)); }
  void SetObjectInt(int index, intptr_t n) { SetObject(index, reinterpret_cast<void*>(n)); }

  // Appends (a sorted list inserts at the string's place). Returns the string's index; a sorted
  // list that already holds the string (without regard to case) returns that index and keeps
  // its item as it was.
  int Add(std::string s) { return AddObject(std::move(s), nullptr); }
  int AddObject(std::string s, void* object);
  // Inserts before index (index == Count appends); raises EListError on a sorted list.
  void Insert(int index, std::string s, void* object = nullptr);
  void Delete(int index);
  // Moves item `from` to position `to`; raises EListError on a sorted list.
  void Move(int from, int to);

  // The index of the first string equal to s without regard to case, or -1.
  int IndexOf(std::string_view s) const;
  int IndexOfObject(const void* object) const;
  // Searches a sorted list by bisection: true when found, with `index` at the string; otherwise
  // `index` is where the string would be inserted. An unsorted list is searched in order, and
  // `index` is Count when the string is absent.
  bool Find(std::string_view s, int& index) const;

  bool Sorted() const { return sorted_; }
  // Turning sorting on sorts the list and drops later duplicates of a string.
  void SetSorted(bool sorted);

  // Every string followed by CR LF.
  std::string Text() const;
  // Replaces the contents by the lines of a text; lines end at CR LF, LF or CR, and a final line
  // break adds no empty line.
  void SetText(std::string_view text);

  // "name=value" lines: the index of the first line whose name (the text before its first "=")
  // equals `name` without regard to case, or -1; and that line's value ("" when there is none).
  int IndexOfName(std::string_view name) const;
  std::string Values(std::string_view name) const;

  std::span<const TStringItem> Items() const { return items_; }

 protected:
  std::vector<TStringItem> items_;

 private:
  void RequireUnsorted() const;

  bool sorted_ = false;
};

}  // namespace kova
