// Writing a host file without ever leaving it truncated or half-written: the bytes go to a new
// file created exclusively beside the target, are flushed to disk, and the new file is renamed
// over the target. A symbolic link at the target is itself replaced, never the file it points
// to. Until Commit the target is untouched; a writer destroyed without Commit removes its new
// file. The new file is named "." + the target's name + "." + six letters or digits and is held
// under an exclusive flock while it is written; the new files of writers that died (killed in a
// save) are what RemoveStaleReplacements removes.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "core/stream.h"

namespace kova::plat {
class IFileCalls;
}

namespace kova {

class TReplacingFile {
 public:
  // Creates the new file beside `host_path` (mode: the target's when it is a regular file, else
  // 0644). Raises EFCreateError when it cannot be made. The writes, the flush and the rename go
  // through `calls` (the system's when none is given).
  explicit TReplacingFile(std::string host_path, plat::IFileCalls* calls = nullptr);
  ~TReplacingFile();
  TReplacingFile(const TReplacingFile&) = delete;
  TReplacingFile& operator=(const TReplacingFile&) = delete;

  // The new file, positioned at 0; it can be read, written, sized and positioned.
  TStream& Stream();
  // Flushes and closes the new file and renames it over the target, then flushes the folder.
  // Raises EWriteError when the flush fails and EFCreateError when the rename does; the new file
  // is removed then and the target stays as it was.
  void Commit();
  // Removes the new file now (the target stays as it was).
  void Abandon();

  const std::string& TargetPath() const { return target_; }
  const std::string& NewPath() const { return temp_; }

 private:
  class TFdStream;
  std::string target_;
  std::string temp_;
  std::unique_ptr<TFdStream> stream_;
  plat::IFileCalls& calls_;
  // The new file's first descriptor, which holds its lock until the commit or the abandon.
  int lock_fd_ = -1;
  void ReleaseLock();
};

// Removes the new files that writers which are gone left beside `host_path`: files of exactly the
// replacement naming of that target, regular, owned by this user, whose lock no process holds (a
// live writer's file is locked until it is renamed or removed). Anything else beside the target
// stays. Returns the number removed.
int RemoveStaleReplacements(const std::string& host_path);

// Writes `bytes` to `host_path` through a TReplacingFile.
void ReplaceFileContents(const std::string& host_path, std::span<const uint8_t> bytes);

}  // namespace kova
