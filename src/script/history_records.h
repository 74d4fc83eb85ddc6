// The stored forms of the message history (a section of every game save) and of the read marks
// (part of the status entry), as plain records. The history and the read marks themselves belong
// to the scene; they fill and read these records, and a player without them keeps the records as
// they were read, so nothing a save holds is lost.
//
// History record, in this order:
//   legacy entries: count (4), per entry: page file, command index (4), page index (4), width (4),
//     height (4)
//   pending note: page file, command index (4), page index (4), width (4), height (4), window name
//   limit (4); layout: font size, border width, shadow offset, wrap width, page height, line
//     spacing (4 each)
//   first (4), last (4)
//   entries: count (4), per entry a segment list: count (4), per segment: page file, command
//     index (4), first (4), last (4), height (4), [124] variable text; then the total height (4)
//   [124] the pending note's variable text
// Saves before 113 hold: one string (dropped), the legacy entries as parallel arrays (count (4),
// the page files, the command indices, the page indices, the sizes as pairs), then the pending
// note; the later fields keep their values.
//
// Read marks record: count (4), per page: page file, n (4), n command indices (4 each), n page
// indices (4 each); then the pending mark: page file, command index (4), page index (4), window
// name. Status data before version 100 hold none.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "core/stream.h"

namespace kova {

struct THistorySegment {
  std::string PageFile;
  int32_t CommandIndex = 0;
  int32_t First = 0;
  int32_t Last = -1;
  int32_t Height = 0;
  std::string VarText;
};

struct THistorySegments {
  std::vector<THistorySegment> Segments;
  int32_t TotalHeight = 0;

  // The segment list record: count (4), the segments, the total height (4). The segments' variable
  // texts are read from data version 124; a truncated record, or a count beyond the bytes left,
  // raises EReadError.
  void SaveToStream(TStream& stream) const;
  void LoadFromStream(TStream& stream, int32_t version);
};

// A count (4) of elements of at least `min_bytes` bytes each, refused (EReadError) when negative
// or when the bytes left cannot hold that many.
int32_t ReadBoundedCount(TStream& stream, int64_t min_bytes);

struct THistoryOldEntry {
  std::string PageFile;
  int32_t CommandIndex = 0;
  int32_t PageIndex = 0;
  int32_t Width = 0;
  int32_t Height = 0;
};

struct THistoryRecord {
  std::vector<THistoryOldEntry> Legacy;
  THistoryOldEntry Pending;
  std::string MesName;
  int32_t Limit = 0;
  std::array<int32_t, 6> Layout{};
  int32_t First = 0;
  int32_t Last = 0;
  std::vector<THistorySegments> Entries;
  std::string VarText;

  void SaveToStream(TStream& stream) const;
  // Reads a record of the game save's data version. A truncated or inconsistent record raises
  // EReadError; counts are bounded by the bytes left.
  void LoadFromStream(TStream& stream, int32_t version);
};

struct TReadMark {
  std::string PageFile;
  std::vector<int32_t> CommandIndex;
  std::vector<int32_t> PageIndex;
};

struct TReadMarksRecord {
  std::vector<TReadMark> Pages;
  std::string PageFile;
  int32_t CommandIndex = 0;
  int32_t PageIndex = 0;
  std::string MesName;

  void SaveToStream(TStream& stream) const;
  // Clears the record, then reads it when the status data version is 100 or above.
  void LoadFromStream(TStream& stream, int32_t status_version);
};

}  // namespace kova
