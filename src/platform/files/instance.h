// One player per game: the instance name of a game, the lock that marks a running instance, and
// the folder where the files a game keeps for its player go.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kova::plat {

// The instance name made from `source` (code page 932): the game's first parameter, or the
// program's folder when there is none. Single-byte letters are upper-cased (double-byte characters
// are kept whole), a delimiter is appended unless the text ends in one, and every single-byte "\"
// or "/" becomes "-": "/home/ann/Story" gives "-HOME-ANN-STORY-", "C:\Games\Story" gives
// "C:-GAMES-STORY-".
std::string MakeInstanceName(std::string_view source);

// The instance name of a game folder (a host path): made from the folder's canonical path (made
// absolute, "." and ".." and symbolic links resolved), so that one folder named two ways ("demo",
// "/home/ann/demo", "demo/.", a link to it) gives one name. A folder that cannot be resolved (one
// that is not there) keeps the parts that cannot, made absolute.
std::string FolderInstanceName(const std::string& host_folder);

// An instance name as a file name (UTF-8): names too long for one are cut and end in a hash of
// the whole name.
std::string InstanceFileName(std::string_view instance_name);

// The per-user runtime folder, ending in "/": $XDG_RUNTIME_DIR when it names a directory, else
// a private folder (0700, owned by this user, not a link) in the temporary folder. Nothing when
// neither can be had.
std::optional<std::string> RuntimeFolder();

// The lock of one instance name: a lock file in `folder` (by default the runtime folder's
// "kovaplayer/"), held with flock for as long as this object lives. The system drops the lock when
// the process ends in any way; programs the process starts do not inherit it.
class TInstanceLock {
 public:
  enum class TResult { Acquired, HeldElsewhere, Failed };

  TInstanceLock() = default;
  ~TInstanceLock() { Release(); }
  TInstanceLock(const TInstanceLock&) = delete;
  TInstanceLock& operator=(const TInstanceLock&) = delete;

  TResult Acquire(std::string_view instance_name);
  TResult Acquire(std::string_view instance_name, const std::string& folder);
  void Release();

  bool Held() const { return fd_ >= 0; }
  // The lock file's path (after any Acquire), and the system's reason for the last Failed.
  const std::string& Path() const { return path_; }
  const std::string& Error() const { return error_; }

 private:
  int fd_ = -1;
  std::string path_;
  std::string error_;
};

// Where the files a game keeps for its player go (its settings, its saves): beside the game when
// the game's folder can be written, else in the per-user data folder under the game's instance
// name ("<data folder>/games/<instance name>/").
class TGameUserFolder {
 public:
  // `game_folder`: a host path (a trailing "/" optional); `instance_name` as MakeInstanceName.
  TGameUserFolder(std::string game_folder, std::string_view instance_name);
  // The same with the answer to "can the game's folder be written" given.
  TGameUserFolder(std::string game_folder, std::string_view instance_name, bool game_folder_writable);

  // The folder writes go to, ending in "/"; empty when there is none (no writable game folder and
  // no per-user data folder).
  const std::string& Folder() const { return folder_; }
  bool BesideGame() const { return beside_game_; }

  // Where to write the file `name`. Creates the per-user folder (0700) when needed; empty when it
  // cannot be made.
  std::string WritePath(std::string_view name) const;
  // Where to read the file `name` from: the written copy when there is one, else the game folder's
  // own copy (a read-only game's shipped file) when there is one, else the write path.
  std::string ReadPath(std::string_view name) const;

 private:
  std::string game_folder_;
  std::string folder_;
  bool beside_game_ = false;
};

}  // namespace kova::plat
