#include "script/script_ports.h"

#include <chrono>

#include "core/desktop.h"
#include "core/string_list.h"

namespace kova {

uint64_t RandomSeed() {
  return static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
         static_cast<uint64_t>(std::chrono::system_clock::now().time_since_epoch().count());
}

bool TScriptPorts::PageExists(std::string_view name) const {
  if (std::optional<bool> found = project.FileExists(name)) return *found;
  return files.FileExists(name);
}

bool TScriptPorts::GameFileExists(std::string_view name) const { return !name.empty() && PageExists(name); }

std::vector<std::string> TScriptPorts::ListFonts(bool fixed_pitch_only) const {
  TStringList list;
  kova::ListFonts(*platform.fonts, list, true, false, fixed_pitch_only);
  std::vector<std::string> names;
  names.reserve(static_cast<size_t>(list.Count()));
  for (int i = 0; i < list.Count(); ++i) names.push_back(list.Strings(i));
  return names;
}

TNullScriptParts::TNullScriptParts()
    : random(RandomSeed()),
      ports{scene, input, screen, media, history, project, platform, clock, log, tables, files, random} {}

}  // namespace kova
