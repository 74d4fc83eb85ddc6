// Host directories: listings with a change stamp, the private per-run work directory, files
// created without following links, and the mount points of optical discs.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kova::plat {

// What identifies one state of a directory: when its contents last changed, and which directory
// it is. Two equal stamps mean an unchanged listing, provided the listing was taken after the
// clock had moved past `mtime_ns` (see CoarseNowNs).
struct TDirStamp {
  int64_t mtime_ns = 0;
  uint64_t inode = 0;
  uint64_t device = 0;
  bool operator==(const TDirStamp&) const = default;
};

enum class TPathKind { Missing, File, Directory, Other };

// The kind of what `path` names (links followed).
TPathKind PathKind(const std::string& path);
// The stamp of a directory; nothing when `path` is not a directory.
std::optional<TDirStamp> DirectoryStamp(const std::string& path);
// The clock that stamps file-system changes, in nanoseconds: a change made after this call gets a
// modification time no earlier than the value returned.
int64_t CoarseNowNs();

struct TDirEntry {
  std::string name;
  // The kind the listing reports; Missing when it cannot tell (a link, or a file system that does
  // not say), in which case the caller asks PathKind.
  TPathKind kind = TPathKind::Missing;
};

// The entries of a directory (without "." and ".."), in the order the system gives them. Nothing
// when the directory cannot be read.
std::optional<std::vector<TDirEntry>> ListDirectory(const std::string& path);

// The folder for temporary files: $TMPDIR when it names a directory, else "/tmp".
std::string SystemTempFolder();
// Creates a new private directory (mode 0700, unique name beginning with `prefix`) in `parent`.
// Returns its path, or nothing when it cannot be created.
std::optional<std::string> MakePrivateDirectory(const std::string& parent, const std::string& prefix);
// Removes a directory and the files directly inside it (work directories hold no subfolders);
// links are removed, never followed. Returns false when something stayed.
bool RemoveFlatDirectory(const std::string& path);
// Work folders of this process removed (flat) at its exit: a best effort for owners that are never
// freed. Thread-safe.
void RemoveAtExit(const std::string& dir);
void ForgetAtExit(const std::string& dir);

// A file created anew for writing: fails when the name exists (a link included), never follows a
// link, mode 0600. Closed on destruction.
class TNewFile {
 public:
  TNewFile() = default;
  ~TNewFile();
  TNewFile(const TNewFile&) = delete;
  TNewFile& operator=(const TNewFile&) = delete;

  // Returns false (errno set) when the file cannot be created.
  bool Create(const std::string& path);
  // Writes all of `count` bytes; false on failure.
  bool WriteAll(const void* buffer, int64_t count);
  // Returns false when closing reported an error.
  bool Close();
  bool IsOpen() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// The mount points of optical discs (file systems iso9660 and udf) listed in `mounts_file`
// (the format of /proc/self/mounts), each ending in "/". Empty when the file cannot be read.
std::vector<std::string> OpticalMountRoots(const std::string& mounts_file = "/proc/self/mounts");

}  // namespace kova::plat
