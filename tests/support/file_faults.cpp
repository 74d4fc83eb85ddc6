#include "support/file_faults.h"

#include <cerrno>

namespace kova::test {

void FileFaults::Arm(Step step, int32_t nth, int error) {
  armed_ = true;
  fired_ = false;
  step_ = step;
  nth_ = nth;
  error_ = error;
  ResetCounts();
}

bool FileFaults::Fail(Step step) {
  const int32_t n = ++counts_[static_cast<int>(step)];
  if (!armed_ || step != step_ || n != nth_) return false;
  armed_ = false;
  fired_ = true;
  errno = error_;
  return true;
}

int64_t FileFaults::Write(int fd, const void* buffer, size_t count) {
  if (Fail(Step::Write)) return -1;
  return system_.Write(fd, buffer, count);
}

int FileFaults::Sync(int fd) {
  if (Fail(Step::Sync)) return -1;
  return system_.Sync(fd);
}

int FileFaults::Rename(const char* from, const char* to) {
  if (Fail(Step::Rename)) return -1;
  return system_.Rename(from, to);
}

}  // namespace kova::test
