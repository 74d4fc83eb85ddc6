// The player program's entry: its command line, the refusal to run from an optical disc, the one
// instance per game, and the choice between the settings dialog and the game's window.
//
//   kovaplayer [GAME_FOLDER ...]          plays the game (no folder: the game beside the program)
//   kovaplayer --config [GAME_FOLDER]     the sound settings dialog of that game ("/config", in any
//                                         case, is the same switch)
//
// One instance per instance name (platform/files/instance.h): the first game folder's, or the program's
// folder when none is given, made from the folder's canonical path; the settings dialog has the
// name of the switch itself, so a game and its settings can run side by side. A second start of
// the same game ends at once, with one line on standard error.
#pragma once

#include <span>
#include <string>
#include <vector>

namespace kova {

class IDesktop;

struct TCommandLine {
  bool config = false;              // the settings dialog
  bool help = false;                // "--help" or "-h": the usage only
  std::string unknown_option;       // the first option the player does not know, if any
  std::vector<std::string> params;  // the game's folders, in order
};

// Reads the arguments after the program's name: the first "/config" (any case) or "--config"
// selects the settings dialog, "--help" or "-h" asks for the usage; "--" ends the options; any
// other argument starting with "-" before it is an unknown option; every other argument is a game
// folder (host bytes).
TCommandLine ParseCommandLine(std::span<const std::string> args);

// The program's folder of `program_file` (a host path), ending in "/".
std::string ProgramFolder(const std::string& program_file);

// Runs the player on `desktop` for `program_file` (this program's own path) and returns the exit
// status: 0 when the game ended or was closed (or the dialog closed), 1 when the game could not
// start or stopped on an error, 0 for the silent ends (a program on an optical disc, a second
// instance).
int RunPlayer(const TCommandLine& command_line, IDesktop& desktop, const std::string& program_file);

}  // namespace kova
