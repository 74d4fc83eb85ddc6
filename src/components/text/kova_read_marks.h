// The read marks: for each page file, the pairs (text command index, page index) whose reveal has
// completed, so that a script can tell text already read. A message window notes the page it
// shows and commits the mark when the page's reveal completes. Kept in the status entry, so marks
// written in one run are seen by the next. One per scene, made with the scene's parts; main
// thread only.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/hash.h"
#include "core/stream.h"

namespace kova {

// The marks of one page file (the item's name).
class TKovaRead : public THashCollectionItem {
 public:
  std::vector<int32_t> CommandIndex;
  std::vector<int32_t> PageIndex;
  bool Holds(int32_t command_index, int32_t page_index) const;
  std::string ClassName() const override { return "TKovaRead"; }
};

class TKovaReadList : public THashCollectionOf<TKovaRead> {
 public:
  // The pending mark.
  std::string PageFile;  // empty: nothing pending
  int32_t CommandIndex = 0;
  int32_t PageIndex = 0;
  std::string MesName;

  void Note(std::string_view mes_name, std::string_view page_file, int32_t page_index, int32_t command_index);
  // Marks the pending page read when it belongs to the window `mes_name` (exact name). A pair
  // already marked stays pending.
  void Commit(std::string_view mes_name);
  bool IsRead(std::string_view page_file, int32_t command_index, int32_t page_index) const;
  // Removes every mark and the pending one (the ClrRead command).
  void Clear() override;

  // The record of the status entry.
  void SaveToStream(TStream& stream) const;
  // Replaces the marks by those of the record (none before status data version 100). A malformed
  // record raises EReadError and leaves the marks as they were.
  void LoadFromStream(TStream& stream, int32_t status_version);
};

}  // namespace kova
