// The system calls through which a file that replaces another is written: the writes, the flush
// to disk and the rename over the old file. Whoever saves the player's files takes them from the
// session's services, so a test can hand in calls that fail at a chosen step (a full disk, a
// failing disk, a crash before the rename) and check that the old file stays whole.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kova::plat {

class IFileCalls {
 public:
  virtual ~IFileCalls() = default;
  // As write(2): the bytes written, or -1 with errno set.
  virtual int64_t Write(int fd, const void* buffer, size_t count) = 0;
  // As fsync(2): 0, or -1 with errno set.
  virtual int Sync(int fd) = 0;
  // As rename(2): 0, or -1 with errno set.
  virtual int Rename(const char* from, const char* to) = 0;
};

// The system's own calls.
class TSystemFileCalls : public IFileCalls {
 public:
  int64_t Write(int fd, const void* buffer, size_t count) override;
  int Sync(int fd) override;
  int Rename(const char* from, const char* to) override;
};

// One shared instance of the system's calls (it holds no state).
IFileCalls& SystemFileCalls();

}  // namespace kova::plat
