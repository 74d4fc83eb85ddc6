// Finding game files on the host file system.
//
// Game names are Shift-JIS (code page 932) text with "\" (or "/") between folders, and they are
// matched without regard to case. On the host, a file's name may be stored either as the raw
// Shift-JIS bytes or as UTF-8, in any case. The resolver maps a game name below a host folder to
// the host path of the file that exists there.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kova {

// The host path of the regular file that `game_name` names below `host_folder`, or nothing when
// there is none.
//
// - `host_folder` is a host path (with or without a trailing "/"); an empty folder means the
//   current directory. The folder itself is taken as it stands (no case matching).
// - Each component of `game_name` is matched against the names on disk under the code page's case
//   fold (SjisSameText). A name on disk that is valid UTF-8 is converted to code page 932 first;
//   any other name is compared as raw bytes. An exact byte match always wins.
// - Empty names, ".." components and absolute names (leading "\" or "/", or a drive prefix "X:")
//   are refused: the result never lies outside `host_folder`. Empty and "." components are
//   skipped.
// - The exact path is tried first with one stat; directory scans follow only when it misses.
//   Listings are cached per directory and revalidated by the directory's modification time, so
//   repeated misses stay cheap.
std::optional<std::string> ResolveHostPath(const std::string& host_folder,
                                           std::string_view game_name);

// The same for a folder: the host path (without trailing "/") of the directory that `game_name`
// names below `host_folder`. An empty `game_name` gives `host_folder` itself when it is a
// directory.
std::optional<std::string> ResolveHostFolder(const std::string& host_folder,
                                             std::string_view game_name);

// True when ResolveHostPath finds a regular file.
inline bool HostFileExists(const std::string& host_folder, std::string_view game_name) {
  return ResolveHostPath(host_folder, game_name).has_value();
}

// Drops every cached directory listing (tests that rewrite a folder within one mtime tick call
// this; normal callers never need it).
void ClearHostPathCache();

}  // namespace kova
