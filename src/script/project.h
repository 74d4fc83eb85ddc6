// The open game: its data sources, the project file "kova.kpb", the project's status variables,
// the interpreter started on the start page, and the answer to "does this game file exist" for
// the whole program (multi-disc games included).
//
// "kova.kpb" (little-endian; strings as a 4-byte length and the bytes), versions 103 to 109:
//   version (4)  title  screen width (4)  screen height (4)  two values (4 each)  start page
//   key text  picture key (4)  [104] status saving (1)  [106] frame pacing (1)
//   [109] media extensions  disc prompt  quit message
//   variable count (4), per variable: type (1), name, initial value (1: int32, 2: 10-byte
//   extended, 3: byte, 4: string; other codes carry no value)
//   the rest of the file: the folder list, one folder per text line
// The defaults entry "/original_kova.kpb" has the same head up to the variables, then a 4-byte
// count of (folder string, disk number (4)) pairs.
//
// The player's progress lives in "save.dat", an archive (core/archive.h) with one status entry and
// one game entry per slot:
//   "STATUSSAVEDATA": the 9 bytes "Status103" (no length), the status variables, the read marks,
//     the image cache mode (1 byte; status data above 100), the status tables (from 103). Data
//     without the tag are status version 0 and begin at the entry's first byte.
//   "GAMESAVEDATA<slot>" (the slot in decimal): version (4, 129 written, 107..129 read), caption,
//     resume page, resume index (4), then the sections: scene, message history, interpreter,
//     variables, game tables (from 123).
// "save.dat" lies beside the game (the first parameter's folder, else the program's) when that
// folder can be written, else in the per-user data folder under the game's instance name.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/disc_lookup.h"
#include "core/install_set.h"
#include "core/stream.h"
#include "core/string_list.h"
#include "core/types.h"
#include "platform/window/dialogs.h"
#include "platform/files/instance.h"

namespace kova {

class TCallMan;
class TVrFileCollection;
class TParamCollection;
class TVrFileManager;
struct TScriptPorts;

// The oldest and newest project file versions read.
inline constexpr int32_t kProjectMinVersion = 103;
inline constexpr int32_t kProjectMaxVersion = 109;

// The project file and the defaults entry, as the game names them.
inline constexpr std::string_view kProjectFileName = "kova.kpb";
inline constexpr std::string_view kProjectDefaultsName = "/original_kova.kpb";

// How the program was started.
struct TLaunchInfo {
  // The program's own folder (a host folder, with or without a trailing "/").
  std::string ProgramFolder;
  // The command-line parameters after the program's name (host bytes). The first names the
  // game's base folder; "/config" (any case) opens the project without its data sources.
  std::vector<std::string> Params;
  // Whether the game's folder (where "save.dat" goes) can be written; unset, the file system is
  // asked. A game on read-only media keeps its saves in the per-user data folder.
  std::optional<bool> GameFolderWritable;
};

// How an open ended.
enum class TProjectState {
  Started,         // the interpreter runs the start page
  NoData,          // no install set, or the disc search was given up
  Unreadable,      // "kova.kpb" could not be read
  Empty,           // "kova.kpb" is empty
  BadVersion,      // a version outside 103..109
  NoStartPage,     // the start page file does not exist
  Failed,          // an error while reading the project or starting the interpreter
};

// The save file's status entry and game entries (the entry names as stored).
inline constexpr std::string_view kStatusEntryName = "STATUSSAVEDATA";
inline constexpr std::string_view kGameEntryPrefix = "GAMESAVEDATA";
inline constexpr std::string_view kSaveFileName = "save.dat";
// The game entry's data version written, and the oldest read.
inline constexpr int32_t kGameSaveVersion = 129;
inline constexpr int32_t kGameSaveOldestVersion = 107;
// The status entry's version written.
inline constexpr int32_t kStatusSaveVersion = 103;

class TProject {
 public:
  // Opens the game (see project.cpp for the order of the steps) for `interpreter`, with the parts
  // of `ports` (which must outlive the project): the data sources through the file manager, the
  // status variables of the save file and the project's variables into the store, the boxes
  // and the main window's caption through the platform services; then starts the interpreter on
  // the start page. A failure shows the system's box where the game's users expect one, records
  // its text (OpenError) and leaves the interpreter's stop flag set (the session then ends the
  // game instead of idling); it never raises.
  TProject(TLaunchInfo launch, TCallMan& interpreter, const TScriptPorts& ports);
  ~TProject();
  TProject(const TProject&) = delete;
  TProject& operator=(const TProject&) = delete;

  // One script step of the frame (nothing without an interpreter).
  void Step();

  // True when the game file exists; for a file on a disc that is not in a drive (a folder of the
  // disc list with a disk number above 0, and an extension that is not a media extension) the
  // user is asked for that disc.
  bool FileExists(std::string_view name);
  // The host path "save.dat" is read from: the copy the player wrote (beside the game, or in the
  // per-user folder of a game whose folder cannot be written), else the game folder's own.
  std::string SaveFileName() const;
  // The host path "save.dat" is written to (the per-user folder is made when needed); empty when
  // there is nowhere to write.
  std::string SaveWritePath() const;
  const plat::TGameUserFolder& UserFolder() const { return user_folder_; }

  // Finds the game's data: the install set, "game.dat" beside the program, or a disc. False when
  // there is none (the user has been told).
  bool OpenArchive();
  // Reads the defaults entry when the game has one: its folder and disk pairs join the disc list.
  void LoadDefaults();
  // Fills the slot list from the game entries of the save file.
  void ListSaves();

  // ---- Saving and loading games ----
  // The requests of the GameSave and GameLoad commands, served after the frame's script step.
  void RequestSave(int32_t slot, std::string page, std::string caption, int32_t index);
  void RequestLoad(int32_t slot);
  // Serves the pending load, then the pending save (written from the loaded state), and clears
  // them. True when a load was served (the frame loop then holds three frames without drawing).
  // A save that cannot be written raises after both requests are cleared (and is counted in
  // FailedSaves).
  bool ServeRequests();
  // The number of the game's save requests that failed so far.
  int32_t FailedSaves() const { return failed_saves_; }
  // Writes the game into the slot's entry and, with status saving on, the status entry, in one
  // safe replacement of the save file (core/archive.h SaveToFile); the slot list shows the caption
  // once the file is written. An empty caption saves nothing (false). Raises when the file cannot
  // be written; the old file then stays as it was.
  bool DoSave(int32_t slot, const std::string& page, const std::string& caption, int32_t index);
  // The game entry's contents: version, caption, resume page and index, and the sections.
  void SaveGame(TStream& entry, const std::string& caption, const std::string& page, int32_t index) const;
  // Writes the status entry into the save file when status saving is on and the save file's
  // folder exists, unless the file already holds the same entry. True when the file holds it.
  // Raises when the file cannot be written.
  bool SaveStatus();
  // The status entry's contents.
  void WriteStatus(TStream& entry) const;
  // Reads a status entry's contents (an entry without its tag holds the status variables only);
  // raises on any failure.
  void ReadStatusEntry(TStream& entry);
  // Loads the game of the slot; nothing when the save file or the entry is missing (false). An
  // entry that cannot be used stops the scripts and shows the warning (true: the load was tried).
  bool LoadGame(int32_t slot);
  // Reads a game entry's contents into the engine (see LoadGame); raises on any failure.
  void ReadGame(TStream& entry);
  // The caption of a listed slot, empty when the slot is not listed.
  std::string GetSaveCaption(int32_t slot) const;
  // Replaces the caption of a listed slot, or lists it.
  void SetSaveCaption(int32_t slot, std::string caption);

  // ---- State of the open ----
  TProjectState State() const { return state_; }
  bool Started() const { return state_ == TProjectState::Started; }
  // Why the open failed (code page 932), empty when it succeeded.
  const std::string& OpenError() const { return open_error_; }
  // The version of the project file read (0 before).
  int32_t Version() const { return version_; }

  // ---- The project's fields ----
  // "情報" until the project file is read, then the game's title.
  std::string Title;
  int32_t ScreenWidth = 0;
  int32_t ScreenHeight = 0;
  // Half the game's screen size (rounded toward zero).
  TPoint ScreenCenter() const { return TPoint{ScreenWidth / 2, ScreenHeight / 2}; }
  // The two values after the screen size (the preferred full-screen width and height).
  int32_t FullScreenWidth = 0;
  int32_t FullScreenHeight = 0;
  std::string StartPage;
  // The string after the start page (the project's key text).
  std::string KeyText;
  // Handed to every layered-picture loader.
  int32_t PictureKey = 0;
  // When clear, the status entry is not written to the save file.
  uint8_t StatusSaving = 1;
  // When set, the frame loop sleeps out the rest of each frame interval.
  uint8_t FramePacing = 1;
  // Extensions separated and ended by points, compared in lower case.
  std::string MediaExtensions;
  // Pending requests of the scripts, served after the frame's script step (-1: none).
  int32_t PendingLoadSlot = -1;
  int32_t PendingSaveSlot = -1;
  std::string PendingSavePage;
  std::string PendingSaveCaption;
  int32_t PendingSaveIndex = 0;
  // One line per saved slot: its caption, with the slot number in the object slot.
  TStringList SlotList;
  // Folders of a multi-disc game with their disk numbers.
  TFolderDiskList FolderDisks;
  // The disc prompt (one "%d" for the disk number) and the quit message.
  std::string DiscPrompt;
  std::string QuitMessage;
  // The install set read at open.
  TKovaInstallSet InstallSet;

  // The interpreter the project was opened for.
  TCallMan& CallMan() const { return interpreter_; }
  // What the disc prompt shows (the game key, the project's texts and title).
  const TDiscPromptContext& DiscPromptContext() const { return disc_context_; }
  const TLaunchInfo& Launch() const { return launch_; }

 private:
  void Open();
  bool ReadProject();
  void ReadProjectFields(TStream& stream);
  void ReadStatus();
  // The game entry's head: the caption of the slot list, the page the loaded game resumes in and
  // the command index there.
  struct TGameHead {
    std::string Caption;
    std::string Page;
    int32_t Index = 0;
  };
  // The entries' descriptions, run both ways (P is the project, const when saving).
  template <class IO, class P>
  static void TransferGame(IO& io, P& p, TGameHead& head);
  template <class IO, class P>
  static void TransferStatus(IO& io, P& p);
  // The save file's entries to rewrite: none for a missing file; a file that is no archive is
  // kept as "save.dat.bad" and replaced by a new one.
  void OpenSaveArchive(TVrFileCollection& save);
  // Replaces the entry `name` of `save` by `contents`.
  static void PutEntry(TVrFileCollection& save, std::string_view name, const TMemoryStream& contents);
  // Writes `save` (opened by OpenSaveArchive) to the save file `path`: stale new files of killed
  // saves beside it are removed first; entries whose old bytes cannot be read any more are left
  // out, the old file kept as "save.dat.bad".
  void WriteSaveArchive(TVrFileCollection& save, const std::string& path);
  bool StatusWritable() const;
  void FailLoad();
  void StartInterpreter();
  void UpdateDiscPrompt();
  plat::TMessageAnswer ShowBox(std::string_view text, std::string_view caption,
                               plat::TMessageButtons buttons = plat::TMessageButtons::Ok);
  void Fail(TProjectState state, std::string text, bool show, const std::string& caption);
  bool SearchDiscs(const std::string& game_key);

  TLaunchInfo launch_;
  plat::TGameUserFolder user_folder_;
  TCallMan& interpreter_;
  TParamCollection& store_;
  const TScriptPorts& ports_;
  TVrFileManager& files_;
  const plat::TServices& services_;
  TDiscPromptContext disc_context_;
  TProjectState state_ = TProjectState::Failed;
  // Set by a load that failed: the engine holds a half-loaded game, and nothing of it is written
  // into the save file any more.
  bool load_failed_ = false;
  int32_t failed_saves_ = 0;
  std::string open_error_;
  int32_t version_ = 0;
};

// Registers the game data named on the command line, as the player's start-up does before the
// project opens: the first parameter becomes the file system's override folder, and each
// parameter's folder that holds "game.dat" has it added as an archive, in order.
void AddLaunchSources(TVrFileManager& files, const TLaunchInfo& launch);

}  // namespace kova
