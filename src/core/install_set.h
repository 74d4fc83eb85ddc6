// The install set ("install.dat"): which game a data set belongs to, which of its discs it is and
// whether the installed data are complete; and the project's list of folders with the disc each
// lies on.
//
// "install.dat" (little-endian; strings as a 4-byte length and the bytes), version V:
//   "is" + 3 decimal digits (V; digits that are no number give 0)    absent in version 0
//   disk index (4)   game key (string)   3 strings   byte   string   byte   record count C (4)
//   string   4 bytes   byte   byte   2 strings
//   C records of 4 numbers, then 4 numbers (4 bytes each when V < 100, else 8)
//   byte   [V>=101] byte   [V>=102] count + strings (first list)   [V>=103] complete flag
//   [V>=104] byte   [V>=105] byte   [V>=106] count + strings (second list)   [V>=107] string
// A file that ends early reads what it has: the rest stays zero or empty. Counts never reach past
// the end of the file.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/stream.h"
#include "core/stream_records.h"
#include "core/string_list.h"

namespace kova {

class TKovaInstallSet {
 public:
  // Reads the set from the stream's position (every field is reset first).
  void LoadFromStream(TStream& stream);
  // Reads the set from a host file; raises EFOpenError when it cannot be opened.
  void LoadFromFile(const std::string& host_path);
  // Back to the empty set.
  void Clear() { *this = TKovaInstallSet(); }

  int32_t Version = 0;
  // Which disc of the game this set describes, counted from 0.
  int32_t DiskIndex = 0;
  // Identifies the game: equal keys mean the same game.
  std::string GameKey;
  // 1: the installed data are complete (version 103 and later).
  uint8_t Complete = 0;

  // The other fields of the file, in file order (the player does not use them).
  std::array<std::string, 3> Texts{};
  uint8_t Flag1 = 0;
  std::string Text4;
  uint8_t Flag2 = 0;
  std::string Text5;
  int32_t Value1 = 0;
  uint8_t Flag3 = 0;
  uint8_t Flag4 = 0;
  std::array<std::string, 2> Texts2{};
  // The declared record count C, and the records read (fewer when the file ends first).
  int32_t RecordCount = 0;
  std::vector<std::array<uint64_t, 4>> Records;
  std::array<uint64_t, 4> Totals{};
  uint8_t Flag5 = 0;
  uint8_t Flag6 = 0;        // version 101
  TStringList FirstList;    // version 102: the non-empty strings only
  uint8_t Flag7 = 0;        // version 104
  uint8_t Flag8 = 0;        // version 105
  TStringList SecondList;   // version 106: every string
  std::string Text6;        // version 107
};

// One item per folder: the folder (a game path, code page 932) and the disc it lies on, counted
// from 1, in the item's object slot.
class TFolderDiskList : public TStringList {
 public:
  void AddFolder(std::string folder, int32_t disk);
  int32_t Disks(int index) const { return static_cast<int32_t>(ObjectInt(index)); }

  // The disc of a game path: the disc of the deepest listed folder that holds it (folders and
  // path compared without regard to case, "\" and "/" alike), 0 when none does.
  int32_t DiskOf(std::string_view path) const;

  // Stream form: a 4-byte count, then per item the folder (string) and the disc (4 bytes). Loading
  // replaces the contents; a count below 0 or beyond what the stream holds raises EReadError when
  // checked, and reads what is there when lenient.
  void SaveToStream(TStream& stream) const;
  void LoadFromStream(TStream& stream, TReadMode mode = TReadMode::Checked);
};

}  // namespace kova
