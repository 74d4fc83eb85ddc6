// The style records that characters share. Every character and VAR glyph points at one
// decoration of its document's list; equal styles share one record, counted by its users.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace kova {

// The ten attributes of a decoration, in the order of the record.
struct TDecorateValues {
  int32_t Color = -1;        // colour reference; -1 = the document's text colour
  int32_t BColor = -1;       // border colour; -1 = the document's
  int32_t SColor = -1;       // shadow colour; -1 = the document's
  int32_t Size = 0;          // pixels; 0 = the document's font size
  uint8_t Style = 0;         // 1 bold, 2 italic, 4 underline, 8 strike-out
  std::string FontName;      // empty = the document's
  uint8_t NoBreak = 0;
  std::string Ruby;          // the ruby text over the character's run
  int32_t Border = 0;        // pixels; -1 = the document's border width
  int32_t Shadow = 0;        // pixels; -1 = the document's shadow width
  friend bool operator==(const TDecorateValues&, const TDecorateValues&) = default;
};

class TDecorate {
 public:
  int32_t UseCount = 0;
  TDecorateValues Values;

 private:
  friend class TDecorateList;
  size_t index_ = 0;  // position in the owning list
};

class TDecorateList {
 public:
  TDecorateList() = default;
  TDecorateList(const TDecorateList&) = delete;
  TDecorateList& operator=(const TDecorateList&) = delete;

  int Count() const { return static_cast<int>(items_.size()); }
  TDecorate* Items(int i) const {
    return i >= 0 && i < Count() ? items_[size_t(i)].get() : nullptr;
  }
  // The position of a decoration of this list.
  int IndexOf(const TDecorate* d) const { return static_cast<int>(d->index_); }

  // The first decoration with exactly these values, one use more; else a new one with one use,
  // appended.
  TDecorate* FindOrAdd(const TDecorateValues& values);
  // Appends a new decoration without looking for an equal one (stored lists keep their records).
  TDecorate* Append(const TDecorateValues& values, int32_t use_count);
  // One use less; below one use the decoration is removed and freed.
  void Release(TDecorate* d);
  // Points `current` at a decoration with the new values: another decoration that has them
  // (taking one use, the old one released); else, when the old one has other users, a new one;
  // else the old one, changed in place.
  void Change(TDecorate*& current, const TDecorateValues& values);
  // Removes and frees decorations from position `from` on (undoing an append).
  void Truncate(int from);
  void Clear();
  // Frees, in one pass, the decorations from position `from` on that have no use left.
  void RemoveUnused(int from);

  // While set, Release changes nothing (the document is freeing all its glyphs and then the list).
  bool Dropping = false;

 private:
  struct KeyHash {
    size_t operator()(const TDecorateValues& v) const;
  };
  TDecorate* Find(const TDecorateValues& values, const TDecorate* except) const;
  void Index(TDecorate* d);
  void Unindex(TDecorate* d);
  void RemoveAt(size_t index);

  std::vector<std::unique_ptr<TDecorate>> items_;
  // Decorations by value, each bucket in the order they were indexed.
  std::unordered_map<TDecorateValues, std::vector<TDecorate*>, KeyHash> by_value_;
};

}  // namespace kova
