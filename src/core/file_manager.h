// The virtual file system: the one place where the player finds its game files.
//
// Game files are named relative to the game (Shift-JIS names with "\" between folders) and found,
// depending on the operation, in the override folder, in the open archives in the order they were
// added, or in the root folder of an optical disc. Files read whole stay in a small
// most-recently-used cache; archive entries that a player can only open by path are extracted into
// work files inside a private directory of this run, removed when the manager goes.
//
// Lookup orders (the first source holding the name wins):
//   LoadFile         cache, Folder, archives that have a data stream, disc roots
//   FileExists       archives (any entry of that name), Folder, disc roots
//   GetRealFileName  Folder, archives, disc roots; else the name itself
//   OpenRangeStream  Folder, archives, disc roots
// Folder and disc roots are HOST folders; loose files below them are found whatever the case of
// their names on disk and whether those names are Shift-JIS or UTF-8 (core/host_path.h). An empty
// Folder holds nothing (lookups never depend on the current directory). An empty name exists
// nowhere.
#pragma once

#include <cstdint>
#include <list>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/archive.h"
#include "core/host_path.h"
#include "core/range_stream.h"
#include "core/stream.h"
#include "platform/files/optical_drives.h"

namespace kova {

class TVrFileCollection;
enum class TVrPlacement;

// ---- The cache of files loaded whole ----

// One cached file: its contents and its key (the name upper-cased under the code-page fold).
class TVrCache {
 public:
  TVrCache(std::string key, TMemoryStream contents)
      : key_(std::move(key)), contents_(std::move(contents)) {}
  const std::string& Key() const { return key_; }
  const TMemoryStream& Contents() const { return contents_; }
  int64_t Size() const { return contents_.Size(); }

 private:
  std::string key_;
  TMemoryStream contents_;
};

// Cached files, most recently used first. A file enters the cache only once it has been loaded in
// full, so a failed load leaves nothing behind.
class TVrCacheList {
 public:
  // The cache holds more than this only while its newest file alone exceeds it.
  static constexpr int64_t kLimit = 4194304;

  // The entry of `name` (any case), moved to the front; nullptr when the name is not cached.
  TVrCache* Find(std::string_view name);
  // Makes room and puts a loaded file at the front, replacing any entry of the same key. Making
  // room: while the cache holds an entry and the older entries together exceed kLimit bytes
  // (more than, not at), the least recently used one goes. The new entry is never evicted.
  TVrCache& Add(std::string_view name, TMemoryStream contents);
  // Drops every entry.
  void Clear();

  int32_t Count() const { return static_cast<int32_t>(entries_.size()); }
  // The sum of the entries' sizes.
  int64_t TotalSize() const { return total_; }
  // The entries, most recent first.
  const std::list<TVrCache>& Entries() const { return entries_; }

  static std::string KeyOf(std::string_view name);

 private:
  void Erase(std::list<TVrCache>::iterator it);

  std::list<TVrCache> entries_;
  std::unordered_map<std::string, std::list<TVrCache>::iterator> index_;
  int64_t total_ = 0;
};

// ---- Work files ----

// A work file extracted from an archive entry. The lock list queues its file for deletion when it
// frees the lock (TVrLockList::DeleteTempFiles).
class TVrLockData {
 public:
  TVrLockData(std::string name, uint32_t id, std::string temp_name)
      : name_(std::move(name)), id_(id), temp_name_(std::move(temp_name)) {}
  TVrLockData(const TVrLockData&) = delete;
  TVrLockData& operator=(const TVrLockData&) = delete;

  // The archive entry's name, exactly as it was asked for.
  const std::string& Name() const { return name_; }
  uint32_t Id() const { return id_; }
  // The host path of the work file: the work folder + "~kv" + the id as 8 upper-case hexadecimal
  // digits + the name's extension (with its point).
  const std::string& TempName() const { return temp_name_; }

  int32_t UseCount = 1;
  // Milliseconds left once released (see TVrLockList::Tick).
  int32_t Delay = 0;

  // The work file name of id `id` for the entry `name` inside `temp_folder` (ending in "/").
  static std::string MakeTempName(const std::string& temp_folder, uint32_t id, std::string_view name);

 private:
  std::string name_;
  uint32_t id_;
  std::string temp_name_;
};

class TVrLockList {
 public:
  TVrLockList() = default;
  TVrLockList(const TVrLockList&) = delete;
  TVrLockList& operator=(const TVrLockList&) = delete;

  // A new lock with the next free id and use count 1; the next free id then rises past every id
  // a lock holds.
  TVrLockData& Add(std::string_view name, const std::string& temp_folder);
  // The lock of exactly this name (case-sensitive), or nullptr.
  TVrLockData* Find(std::string_view name) const;
  // Frees a lock (its file is queued for deletion).
  void Remove(const TVrLockData& lock);
  // Frees every lock, released ones included.
  void Clear();

  int32_t Count() const { return static_cast<int32_t>(locks_.size()); }
  // Lock i (EListError when i is out of range).
  TVrLockData& Items(int32_t i) const;
  uint32_t NextId() const { return next_id_; }

  // Released locks whose delay counts down. Nothing in the player releases a lock (a lock lives
  // until the manager goes), so this list stays empty unless a caller fills it.
  std::vector<std::unique_ptr<TVrLockData>>& Released() { return released_; }
  // The per-frame step: every released lock, last first, loses the frame's delta (milliseconds)
  // and is freed once its delay falls below 1.
  void Tick(int32_t frame_delta);
  // Deletes the work files of the freed locks, ignoring failures. Called once per frame step;
  // costs nothing when none is queued.
  void DeleteTempFiles();
  // The number of work files queued for deletion.
  size_t PendingTempFileCount() const { return deletions_.size(); }

 private:
  void QueueDeletion(const TVrLockData& lock);

  std::vector<std::unique_ptr<TVrLockData>> locks_;
  std::vector<std::unique_ptr<TVrLockData>> released_;
  std::vector<std::string> deletions_;
  uint32_t next_id_ = 0;
};

// ---- The manager ----

struct TVrFileManagerOptions {
  // The folder in which the private work directory is made; empty: the system's temporary folder
  // ($TMPDIR or /tmp).
  std::string temp_parent;
  // The root folders of optical discs; nothing: those of the optical drive service.
  std::optional<std::vector<std::string>> cd_roots;
  // The optical drive service (the session's; the mount table's on a desktop). Null: no drives.
  plat::IOpticalDrives* optical = nullptr;
};

class TVrFileManager {
 public:
  explicit TVrFileManager(TVrFileManagerOptions options = {});
  // Frees the archives, the cache and the locks (their work files are queued for deletion), then
  // removes the private work directory with whatever it still holds.
  ~TVrFileManager();
  TVrFileManager(const TVrFileManager&) = delete;
  TVrFileManager& operator=(const TVrFileManager&) = delete;

  // --- Sources ---

  // The override folder (a host folder): "/" is appended unless it is empty or ends in "/".
  void SetFolder(const std::string& folder);
  const std::string& Folder() const { return folder_; }

  // Opens the archive at a host path and appends it; returns its index. Returns -1, opening
  // nothing, when the path equals (without regard to case) the Folder of an archive already
  // listed. A missing file is no error (its path is taken for a folder of loose files); a
  // corrupt archive raises and is not added.
  int32_t AddArchive(const std::string& file_name);
  // The same with the directory's place given (an archive appended to the program file).
  int32_t AddArchive(const std::string& file_name, TVrPlacement placement);
  // Opens an archive held in a module's resource and appends it; returns its index. A missing
  // resource raises "リソースが見つかりません".
  int32_t AddResourceArchive(const std::string& module_name, const std::string& resource_name,
                             const std::string& resource_type);
  // Frees archive i and removes it (EListError when i is out of range).
  void DeleteArchive(int32_t i);
  int32_t ArchiveCount() const { return static_cast<int32_t>(archives_.size()); }
  TVrFileCollection& Archives(int32_t i) const;

  // The modules resource archives are opened from (AddResourceArchive): the program's own and the
  // loader of foreign ones.
  TVrModules& Modules() { return modules_; }

  // The directory listings of case-insensitive name lookups below Folder, the archives' folders
  // and the disc roots (core/host_path.h); lent to every archive the manager opens.
  THostPathCache& HostNames() const { return host_names_; }

  // The root folders of optical discs (host folders ending in "/").
  const std::vector<std::string>& CdRoots() const { return cd_roots_; }
  // The optical drive service the disc search asks for the discs mounted now.
  plat::IOpticalDrives& OpticalDrives() const { return *optical_; }
  void SetCdRoots(std::vector<std::string> roots);

  // --- Reading ---

  // The file's contents into dest, positioned at 0. A memory stream is emptied first (its block is
  // kept); other streams receive the bytes at their position. Raises EReadError
  // "%s:ファイルがありません" when no source has the name; a truncated or corrupt entry raises and
  // is never cached.
  void LoadFile(TStream& dest, std::string_view name);
  bool FileExists(std::string_view name) const;
  // A host path to open the file by: the loose file, the work file of an archive entry (one per
  // exact name, extracted on first use), the disc's file, or else the name itself.
  std::string GetRealFileName(std::string_view name);
  // A read-only window onto the file's contents, owned by the caller: the whole loose file, an
  // archive entry (inflated when compressed), or the disc's file. Raises EReadError
  // "%s:ファイルがありません" when no source has the name.
  std::unique_ptr<TRangeStream> OpenRangeStream(std::string_view name);

  // Extracts the archive entry `name` into a new work file and returns its host path. Stored
  // entries are copied and compressed ones inflated in blocks, never loaded whole. Raises
  // "作業用ファイルが作れません" when the work file cannot be made or written; any failure leaves
  // no lock and no work file behind.
  std::string ExtractToTemp(std::string_view name);

  // The folder part of a name: for a name beginning with "\\" or with ":" as its second character,
  // the name up to and including its last "\", "/" or ":"; else the name up to and including its
  // last "\" or "/", or "" when it has none. Shift-JIS aware.
  static std::string ExtractFolder(std::string_view name);

  // --- State ---

  TVrCacheList& Cache() { return cache_; }
  TVrLockList& Locks() { return locks_; }
  // The private work directory (ending in "/"), or "" before the first extraction made it.
  const std::string& TempFolder() const { return temp_folder_; }

 private:
  // The host path of `name` below the override folder, or nothing.
  std::optional<std::string> FolderFile(std::string_view name) const;
  // The host path of `name` in the first disc root that has it, or nothing.
  std::optional<std::string> CdFile(std::string_view name) const;
  // Loads the file from Folder, the archives and the disc roots into `out`; false when none has it.
  bool LoadUncached(TMemoryStream& out, std::string_view name);
  // Makes the private work directory on first use.
  const std::string& EnsureTempFolder();
  // Writes the contents of `name` into a new work file at `path`.
  void WriteWorkFile(const std::string& path, std::string_view name);

  plat::TFixedOpticalDrives no_discs_;
  plat::IOpticalDrives* optical_;
  // Declared before the archives, which borrow it.
  mutable THostPathCache host_names_;
  TVrModules modules_;
  std::vector<std::unique_ptr<TVrFileCollection>> archives_;
  std::vector<std::string> cd_roots_;
  std::string folder_;
  TVrCacheList cache_;
  TVrLockList locks_;
  std::string temp_parent_;
  std::string temp_folder_;
};

}  // namespace kova
