// Asking for a game disc and finding it. A partly installed game keeps some of its data on discs;
// each disc holds "install.dat" (which game, which disc) and "game.dat" (the archive). When a file
// lies on a disc that is not in a drive, the project asks the user for it; a disc found is added
// to the file manager as one more archive.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/file_manager.h"
#include "platform/services.h"

namespace kova {

// What the disc prompt takes from the project (all code page 932).
struct TDiscPromptContext {
  // The key of the running game; only discs with the same key are taken.
  std::string GameKey;
  // The disc-change message; its "%d" (printf flags and width allowed) becomes the disc number.
  std::string ChangeMediaText;
  // The question that confirms leaving the game.
  std::string ExitText;
  // The title of both boxes (the application's title).
  std::string Title;
};

// Searches the disc roots for the disc `index` (counted from 0) of the game `game_key`: a root
// that holds "game.dat" and "install.dat" whose game key equals `game_key` exactly and whose disk
// index is `index` has its "game.dat" added as an archive (unless that very file is open already).
// Every root is examined; true when at least one matched. The roots are the manager's, plus the
// optical discs mounted now (the manager's optical drive service), which join the manager's roots.
bool FindDisk(TVrFileManager& manager, int index, const std::string& game_key);

// The host paths of the "game.dat" archives of the discs of game `game_key` (of disc `index`
// only, when given) on the manager's disc roots and the optical discs mounted now, in root order.
std::vector<std::string> FindDiscArchives(TVrFileManager& manager, const std::string& game_key,
                                          std::optional<int> index);
// True when an archive opened from `host_path` is in the manager's list.
bool ArchiveOpen(const TVrFileManager& manager, const std::string& host_path);

// Asks for disc `n` (counted from 1) until it is found (true) or the user gives up (false):
// closes the archives read from disc roots, then shows the disc-change box (OK/Cancel) and looks
// for disc n - 1 on OK. Cancel asks for confirmation: OK posts a close to the main window and
// returns false; Cancel asks for the disc again. The boxes go through `services`.
bool AskDisk(TVrFileManager& manager, int n, const TDiscPromptContext& context, const plat::TServices& services);

// The disc-change text for disc n: each "%d" conversion (with printf flags, width and precision)
// becomes n and "%%" becomes "%"; any other "%" stays as it is, so the project's text can never
// read arguments that are not there.
std::string FormatDiscText(const std::string& pattern, int n);

}  // namespace kova
