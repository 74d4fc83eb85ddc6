// Finding game files on the host file system.
//
// Game names are Shift-JIS (code page 932) text with "\" (or "/") between folders, and they are
// matched without regard to case. On the host, a file's name may be stored either as the raw
// Shift-JIS bytes or as UTF-8, in any case. The resolver maps a game name below a host folder to
// the host path of the file that exists there.
#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace kova {

namespace host_path_detail {
struct TListing;
}

// The directory listings the resolver has read, each kept until its directory changes. Its owner
// is the file manager (which lends it to its archives and to the disc search); a resolver call
// works with the cache it is given. Locked, so an owner may share it with a worker.
class THostPathCache {
 public:
  THostPathCache();
  ~THostPathCache();
  THostPathCache(const THostPathCache&) = delete;
  THostPathCache& operator=(const THostPathCache&) = delete;

  // Drops every listing (tests that rewrite a folder within one mtime tick call this; normal
  // callers never need it).
  void Clear();
  // The number of directories listed.
  size_t Count() const;

 private:
  friend struct THostPathCacheAccess;
  mutable std::mutex mutex_;
  std::unordered_map<std::string, std::shared_ptr<const host_path_detail::TListing>> listings_;
};

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
//   Listings are kept in `cache` per directory and revalidated by the directory's modification
//   time, so repeated misses stay cheap.
std::optional<std::string> ResolveHostPath(THostPathCache& cache, const std::string& host_folder,
                                           std::string_view game_name);

// The same for a folder: the host path (without trailing "/") of the directory that `game_name`
// names below `host_folder`. An empty `game_name` gives `host_folder` itself when it is a
// directory.
std::optional<std::string> ResolveHostFolder(THostPathCache& cache, const std::string& host_folder,
                                             std::string_view game_name);

// True when ResolveHostPath finds a regular file.
inline bool HostFileExists(THostPathCache& cache, const std::string& host_folder,
                           std::string_view game_name) {
  return ResolveHostPath(cache, host_folder, game_name).has_value();
}

}  // namespace kova
