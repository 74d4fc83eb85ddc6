#include "core/disc_lookup.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

#include "core/archive.h"
#include "core/errors.h"
#include "core/host_path.h"
#include "core/install_set.h"
#include "core/sjis.h"
#include "platform/window/dialogs.h"

namespace kova {
namespace {

bool StartsWithText(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && SjisSameText(s.substr(0, prefix.size()), prefix);
}

// The manager's disc roots, extended by the optical discs mounted now. A disc inserted after the
// start has a mount point of its own on Linux, so the list taken at start would never find it.
const std::vector<std::string>& RefreshRoots(TVrFileManager& manager) {
  std::vector<std::string> roots = manager.CdRoots();
  bool added = false;
  for (std::string& root : manager.OpticalDrives().Roots()) {
    bool known = false;
    for (const std::string& r : roots) known = known || r == root;
    if (!known) {
      roots.push_back(std::move(root));
      added = true;
    }
  }
  if (added) manager.SetCdRoots(std::move(roots));
  return manager.CdRoots();
}

// Closes every archive whose folder lies on a disc root, so that a disc just taken out is no
// longer read.
void CloseDiscArchives(TVrFileManager& manager) {
  const std::vector<std::string>& roots = RefreshRoots(manager);
  for (int32_t i = manager.ArchiveCount(); i-- > 0;) {
    const std::string& folder = manager.Archives(i).Folder;
    for (const std::string& root : roots) {
      if (StartsWithText(folder, root)) {
        manager.DeleteArchive(i);
        break;
      }
    }
  }
}

}  // namespace

bool ArchiveOpen(const TVrFileManager& manager, const std::string& host_path) {
  for (int32_t i = 0; i < manager.ArchiveCount(); ++i) {
    if (manager.Archives(i).FileName == host_path) return true;
  }
  return false;
}

std::vector<std::string> FindDiscArchives(TVrFileManager& manager, const std::string& game_key,
                                          std::optional<int> index) {
  std::vector<std::string> found;
  // A copy: adding an archive leaves the roots alone, but the caller's loop must not depend on it.
  const std::vector<std::string> roots = RefreshRoots(manager);
  for (const std::string& root : roots) {
    const std::optional<std::string> archive = ResolveHostPath(manager.HostNames(), root, "game.dat");
    const std::optional<std::string> install = ResolveHostPath(manager.HostNames(), root, "install.dat");
    if (!archive || !install) continue;
    TKovaInstallSet set;
    try {
      set.LoadFromFile(*install);
    } catch (const EStreamError&) {
      continue;  // unreadable: not the disc asked for
    }
    if (set.GameKey != game_key || (index && set.DiskIndex != *index)) continue;
    found.push_back(*archive);
  }
  return found;
}

bool FindDisk(TVrFileManager& manager, int index, const std::string& game_key) {
  const std::vector<std::string> archives = FindDiscArchives(manager, game_key, index);
  for (const std::string& archive : archives) {
    if (!ArchiveOpen(manager, archive)) manager.AddArchive(archive);
  }
  return !archives.empty();
}

bool AskDisk(TVrFileManager& manager, int n, const TDiscPromptContext& context, const plat::TServices& services) {
  CloseDiscArchives(manager);
  const std::string prompt = FormatDiscText(context.ChangeMediaText, n);
  plat::TMessageBox box;
  box.owner = services.window->DialogOwner();
  box.title = context.Title;
  box.buttons = plat::TMessageButtons::OkCancel;
  for (;;) {
    box.text = prompt;
    if (services.dialogs->ShowMessage(box) == plat::TMessageAnswer::Ok) {
      if (FindDisk(manager, n - 1, context.GameKey)) return true;
      continue;
    }
    box.text = context.ExitText;
    if (services.dialogs->ShowMessage(box) == plat::TMessageAnswer::Ok) {
      services.window->PostClose();
      return false;
    }
  }
}

std::string FormatDiscText(const std::string& pattern, int n) {
  std::string out;
  out.reserve(pattern.size() + 8);
  for (size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (IsSjisLeadByte(c) && i + 1 < pattern.size()) {
      out += c;
      out += pattern[++i];
      continue;
    }
    if (c != '%') {
      out += c;
      continue;
    }
    if (i + 1 < pattern.size() && pattern[i + 1] == '%') {
      out += '%';
      ++i;
      continue;
    }
    // "%" [flags] [width] ["." precision] "d", with bounded digits.
    size_t j = i + 1;
    while (j < pattern.size() && (pattern[j] == '-' || pattern[j] == '0' || pattern[j] == '+' ||
                                  pattern[j] == ' ')) {
      ++j;
    }
    size_t digits = 0;
    while (j < pattern.size() && pattern[j] >= '0' && pattern[j] <= '9' && digits < 3) ++j, ++digits;
    if (j < pattern.size() && pattern[j] == '.') {
      ++j;
      digits = 0;
      while (j < pattern.size() && pattern[j] >= '0' && pattern[j] <= '9' && digits < 3) ++j, ++digits;
    }
    if (j < pattern.size() && pattern[j] == 'd') {
      const std::string conversion = pattern.substr(i, j - i + 1);
      char buffer[1100];
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
      const int len = std::snprintf(buffer, sizeof buffer, conversion.c_str(), n);
#pragma GCC diagnostic pop
      if (len > 0) out.append(buffer, static_cast<size_t>(std::min<int>(len, sizeof buffer - 1)));
      i = j;
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace kova
