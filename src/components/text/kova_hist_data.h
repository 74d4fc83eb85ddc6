// The references to compiled message text that the message history and the message windows keep
// instead of the text itself: a text is named by its page file and the index of its text-insert
// command in that page, with the range of text positions shown.
//
// TKovaHistData is a list of segments held as parallel arrays. A segment's page file is stored
// only when it differs (without regard to case) from the last name stored before it; PageFileAt
// gives the name in force. TKovaHistDataList holds the history's entries (each a group of
// segments no taller together than the history's page height). THistoryOldData is one entry of
// the legacy history (a page of a text at the window size it was shown at).
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>
#include <vector>

#include "core/stream.h"
#include "core/types.h"
#include "script/history_records.h"

namespace kova {

class TKovaHistData {
 public:
  // One element per segment.
  std::vector<std::string> PageFile;     // empty: the last non-empty name before it
  std::vector<int32_t> CommandIndex;     // the text-insert command's index in its page
  std::vector<int32_t> First;            // first text position (0: from the start)
  std::vector<int32_t> Last;             // last text position (-1: to the end)
  std::vector<int32_t> Height;           // pixels as laid out for the history (0: not from it)
  std::vector<std::string> VarText;      // name=value lines the VAR tags of the segment showed
  int32_t TotalHeight = 0;               // the sum of Height

  void Clear();
  // Appends a segment (its page file stored only when it differs from the last name stored) and
  // adds its height to TotalHeight.
  void AddText(std::string_view page_file, int32_t command_index, std::string_view var_text, int32_t height,
               int32_t last, int32_t first);
  int32_t Count() const { return static_cast<int32_t>(CommandIndex.size()); }
  bool Empty() const { return CommandIndex.empty(); }
  // The last non-empty name at or before segment i (empty when there is none or i is out of range).
  std::string PageFileAt(int32_t i) const;

  // The stored form (the segment list record); loading raises EReadError for a truncated record
  // or a count beyond the bytes left, and then leaves the list as it was.
  void SaveToStream(TStream& stream) const;
  void LoadFromStream(TStream& stream, int32_t version);
  THistorySegments ToRecord() const;
  void FromRecord(const THistorySegments& record);
};

// The history's entries (new form), oldest first.
class TKovaHistDataList {
 public:
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  bool Empty() const { return items_.empty(); }
  TKovaHistData& Items(int32_t i) { return items_[static_cast<size_t>(i)]; }
  const TKovaHistData& Items(int32_t i) const { return items_[static_cast<size_t>(i)]; }
  TKovaHistData& Last() { return items_.back(); }
  const TKovaHistData& Last() const { return items_.back(); }
  // Appends an empty entry.
  TKovaHistData& Add() { return items_.emplace_back(); }
  void DeleteFirst() { items_.pop_front(); }
  void Clear() { items_.clear(); }

 private:
  std::deque<TKovaHistData> items_;
};

// One entry of the legacy history.
struct THistoryOldData {
  std::string PageFile;  // empty: the previous non-empty name
  int32_t CommandIndex = 0;
  int32_t PageIndex = 0;
  TPoint Size;           // the message window's width (X) and height (Y) when the page was shown
};

// The legacy history, oldest first.
class THistoryOldDataList {
 public:
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  bool Empty() const { return items_.empty(); }
  const THistoryOldData& Items(int32_t i) const { return items_[static_cast<size_t>(i)]; }
  // Appends an entry named `page_file` (stored empty when it equals the last name stored).
  void Add(std::string_view page_file, int32_t command_index, int32_t page_index, TPoint size);
  // Appends an entry in its stored form, as a save holds it.
  void AddStored(THistoryOldData entry);
  // Removes the oldest entry; a name the next entry relies on moves into it, so no later entry
  // loses its page file.
  void DeleteFirst();
  void Clear();
  // The last non-empty name at or before entry i (empty when there is none).
  std::string PageFileAt(int32_t i) const;

 private:
  std::deque<THistoryOldData> items_;
  std::string last_name_;  // the last non-empty name stored
};

}  // namespace kova
