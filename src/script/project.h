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
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/disc_lookup.h"
#include "core/install_set.h"
#include "core/stream.h"
#include "core/string_list.h"
#include "core/types.h"
#include "platform/dialogs.h"

namespace kova {

class TCallMan;
class TParamCollection;
class TVrFileManager;

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

class TProject {
 public:
  // Opens the game (see project.cpp for the order of the steps) for `interpreter`, with what its
  // store's host provides: the data sources through the host's file manager (which must be set),
  // the status variables of the save file and the project's variables into the store, the boxes
  // and the main window's caption through the platform services; then starts the interpreter on
  // the start page. A failure shows the system's box where the game's users expect one, records
  // its text (OpenError) and leaves the interpreter's stop flag set (the session then ends the
  // game instead of idling); it never raises.
  TProject(TLaunchInfo launch, TCallMan& interpreter);
  ~TProject();
  TProject(const TProject&) = delete;
  TProject& operator=(const TProject&) = delete;

  // One script step of the frame (nothing without an interpreter).
  void Step();

  // True when the game file exists; for a file on a disc that is not in a drive (a folder of the
  // disc list with a disk number above 0, and an extension that is not a media extension) the
  // user is asked for that disc.
  bool FileExists(std::string_view name);
  // The host path of "save.dat": in the first parameter's folder, else in the program's folder.
  std::string SaveFileName() const;

  // Finds the game's data: the install set, "game.dat" beside the program, or a disc. False when
  // there is none (the user has been told).
  bool OpenArchive();
  // Reads the defaults entry when the game has one: its folder and disk pairs join the disc list.
  void LoadDefaults();
  // Fills the slot list from the game entries of the save file.
  void ListSaves();
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
  void StartInterpreter();
  void UpdateDiscPrompt();
  plat::TMessageAnswer ShowBox(std::string_view text, std::string_view caption,
                               plat::TMessageButtons buttons = plat::TMessageButtons::Ok);
  void Fail(TProjectState state, std::string text, bool show, const std::string& caption);
  bool SearchDiscs(const std::string& game_key);

  TLaunchInfo launch_;
  TCallMan& interpreter_;
  TParamCollection& store_;
  TVrFileManager& files_;
  const plat::TServices& services_;
  TDiscPromptContext disc_context_;
  TProjectState state_ = TProjectState::Failed;
  std::string open_error_;
  int32_t version_ = 0;
};

// Registers the game data named on the command line, as the player's start-up does before the
// project opens: the first parameter becomes the file system's override folder, and each
// parameter's folder that holds "game.dat" has it added as an archive, in order.
void AddLaunchSources(TVrFileManager& files, const TLaunchInfo& launch);

}  // namespace kova
