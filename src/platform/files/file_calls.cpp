#include "platform/files/file_calls.h"

#include <stdio.h>
#include <unistd.h>

namespace kova::plat {

int64_t TSystemFileCalls::Write(int fd, const void* buffer, size_t count) { return ::write(fd, buffer, count); }

int TSystemFileCalls::Sync(int fd) { return ::fsync(fd); }

int TSystemFileCalls::Rename(const char* from, const char* to) { return ::rename(from, to); }

IFileCalls& SystemFileCalls() {
  static TSystemFileCalls calls;  // stateless: shared by every session
  return calls;
}

}  // namespace kova::plat
