#include "player/program_entry.h"

#include <cstdio>

#include "platform/files/instance.h"
#include "player/config_dialog.h"
#include "player/desktop.h"
#include "player/form_view.h"
#include "player/sound_settings.h"

namespace kova {

namespace {

bool SameAsciiText(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = char(x + 32);
    if (y >= 'A' && y <= 'Z') y = char(y + 32);
    if (x != y) return false;
  }
  return true;
}

// True when the file lies on one of the optical discs mounted now.
bool OnOpticalDisc(const std::string& file, plat::IOpticalDrives* drives) {
  if (!drives || file.empty()) return false;
  for (const std::string& root : drives->Roots()) {
    if (!root.empty() && file.starts_with(root)) return true;
  }
  return false;
}

}  // namespace

TCommandLine ParseCommandLine(std::span<const std::string> args) {
  TCommandLine line;
  bool options_end = false;
  for (const std::string& arg : args) {
    if (options_end) {
      line.params.push_back(arg);
    } else if (arg == "--config" || (!line.config && SameAsciiText(arg, "/config"))) {
      line.config = true;
    } else if (arg == "--") {
      options_end = true;
    } else if (arg == "--help" || arg == "-h") {
      line.help = true;
    } else if (arg.starts_with("-")) {
      if (line.unknown_option.empty()) line.unknown_option = arg;
    } else {
      line.params.push_back(arg);
    }
  }
  return line;
}

std::string ProgramFolder(const std::string& program_file) {
  const size_t slash = program_file.rfind('/');
  return slash == std::string::npos ? std::string("./") : program_file.substr(0, slash + 1);
}

int RunPlayer(const TCommandLine& command_line, IDesktop& desktop, const std::string& program_file) {
  // A player started from a disc ends at once: the game is to be installed first.
  if (OnOpticalDisc(program_file, desktop.Services().optical)) return 0;

  const std::string program_folder = ProgramFolder(program_file);
  const std::string game_folder = command_line.params.empty() ? program_folder : command_line.params.front();
  const std::string game_name = plat::MakeInstanceName(game_folder);
  // The lock is keyed on the folder itself, however it was named.
  const std::string instance_name =
      command_line.config ? plat::MakeInstanceName("/config") : plat::FolderInstanceName(game_folder);

  plat::TInstanceLock lock;
  switch (lock.Acquire(instance_name)) {
    case plat::TInstanceLock::TResult::Acquired:
      break;
    case plat::TInstanceLock::TResult::HeldElsewhere:
      std::fprintf(stderr, "kovaplayer: %s is running already (%s)\n",
                   command_line.config ? "the settings dialog" : "this game", lock.Path().c_str());
      return 0;
    case plat::TInstanceLock::TResult::Failed:
      // Nothing marks the instance then; the game still runs.
      std::fprintf(stderr, "kovaplayer: no instance lock: %s\n", lock.Error().c_str());
      break;
  }

  TSettingsFile settings(plat::TGameUserFolder(game_folder, game_name));
  if (command_line.config) return RunConfigDialog(desktop, settings);

  TFormView view(desktop, settings.Read());
  view.SetSettingsIni(&settings.Ini());
  TLaunchInfo launch;
  launch.ProgramFolder = program_folder;
  launch.Params = command_line.params;
  if (!view.Create(launch, program_file)) return 1;
  return view.Run();
}

}  // namespace kova
