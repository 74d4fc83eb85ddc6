// Writing a file that replaces another without ever leaving it half written, and without
// following a link that stands at its name: the bytes go to a new file beside the target (created
// exclusively, never through a link), which Commit flushes and renames over the target. A
// replacement never committed is removed when it goes.
#pragma once

#include <cstdint>
#include <string>

namespace kova::plat {

class TReplacingFile {
 public:
  TReplacingFile() = default;
  ~TReplacingFile();
  TReplacingFile(const TReplacingFile&) = delete;
  TReplacingFile& operator=(const TReplacingFile&) = delete;

  // Creates the new file beside `target` (a host path) with the target's permissions (0644 for a
  // new target). False, with errno set, when it cannot be created.
  bool Open(const std::string& target);
  bool IsOpen() const { return fd_ >= 0; }
  // Writes all of `count` bytes; false on failure (Commit then fails too).
  bool Write(const void* buffer, int64_t count);
  // Writes all of `count` bytes at `offset` of what was written (a header filled in at the end);
  // the position of Write does not move. False on failure (Commit then fails too).
  bool WriteAt(int64_t offset, const void* buffer, int64_t count);
  // Flushes the new file and renames it over the target; false (errno set, the target as it was)
  // when anything failed. A link at the target's name is replaced, not followed.
  bool Commit();
  // Removes the new file; the target stays as it was.
  void Discard();

 private:
  int fd_ = -1;
  bool failed_ = false;
  std::string target_;
  std::string temp_;
};

}  // namespace kova::plat
