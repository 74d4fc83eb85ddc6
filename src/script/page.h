// Compiled pages: one "ksb" file per page, an ordered list of commands with the page's result type
// and the property sets that tell component commands which property expressions their records
// hold. TPage reads the file; the index of a command in the page is the interpreter's program
// counter.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/stream.h"

namespace kova {

class TVrFileManager;

class TCommand;

// Page-file versions: newer files load as empty pages, older ones stop the game.
inline constexpr int32_t kPageVersion = 109;
inline constexpr int32_t kPageOldestVersion = 103;
// The version of a page that was created but not loaded.
inline constexpr int32_t kPageNewVersion = 104;

// One property set: bit n (bit n % 32 of word n / 32) set means a component command of that type
// carries an expression for property id n.
using TPropSet = std::array<uint32_t, 5>;
inline constexpr int32_t kPropSetCount = 61;
inline constexpr int32_t kPropSetBytes = 20;
using TPropSets = std::array<TPropSet, kPropSetCount>;

// The built-in sets a new page starts with (component commands only; every other set is empty).
const TPropSets& BuiltinPropSets();

// The commands of a page, owned, in page order.
class TComList {
 public:
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  // The command at index i (EListError when out of range).
  TCommand* GetItem(int32_t i) const;
  // Unchecked access for the interpreter, which tests the range itself.
  TCommand* operator[](int32_t i) const { return items_[static_cast<size_t>(i)].get(); }
  // Appends a command that has read its record (and settles what it answers the interpreter).
  void Add(std::unique_ptr<TCommand> command);
  void Clear();
  ~TComList();

 private:
  std::vector<std::unique_ptr<TCommand>> items_;
};

class TPage {
 public:
  // An empty page: version 104, result type 1, the built-in property sets.
  TPage();
  ~TPage();
  TPage(const TPage&) = delete;
  TPage& operator=(const TPage&) = delete;

  // Clears the commands, stores the name and reads the file through `files`. A missing file
  // raises "%s:ファイルがありません"; see LoadFromStream for the rest.
  void LoadFromFile(TVrFileManager& files, std::string_view name);
  // Parses a page file from the stream's position. A version above kPageVersion leaves the page
  // empty; one below kPageOldestVersion leaves it empty and TooOld (the interpreter then stops the
  // script, tells the player to rebuild the game and closes the main window). A command of unknown kind raises
  // "不正なコマンド"; a truncated file, or a count or size larger than the bytes left, raises
  // "%s:ページが壊れています". After a failure the page holds no commands.
  void LoadFromStream(TStream& stream);

  // The index of the first label command of exactly that name, or -1.
  int32_t FindLabel(std::string_view name) const;
  // The index of `command` in this page, or -1.
  int32_t IndexOf(const TCommand* command) const;

  int32_t Count() const { return Commands.Count(); }
  // The command at index i (unchecked; 0 <= i < Count()).
  TCommand* Command(int32_t i) const { return Commands[i]; }
  // True when the property set of command type `type` holds property id `id`.
  bool HasProp(int32_t type, int32_t id) const;

  uint8_t ResultType = 1;
  TComList Commands;
  std::string Name;
  TPropSets PropSets;
  int32_t Version = kPageNewVersion;
  // True when the file read was older than this player reads.
  bool TooOld() const { return Version < kPageOldestVersion; }

 private:
  void ClearCommands();
  void Parse(TStream& stream);
};

}  // namespace kova
