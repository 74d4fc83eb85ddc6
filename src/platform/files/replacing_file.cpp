#include "platform/files/replacing_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>

namespace kova::plat {

TReplacingFile::~TReplacingFile() { Discard(); }

bool TReplacingFile::Open(const std::string& target) {
  Discard();
  const size_t slash = target.find_last_of('/');
  const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  std::string temp = folder + "." + base + ".XXXXXX";
  // mkstemp creates with O_CREAT | O_EXCL: a name that exists (a planted link included) is never
  // opened.
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) return false;
  struct stat st {};
  // lstat: the permissions of a link's target are not taken over.
  const mode_t mode = ::lstat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? (st.st_mode & 0777) : 0644;
  ::fchmod(fd, mode);
  fd_ = fd;
  failed_ = false;
  target_ = target;
  temp_ = std::move(temp);
  return true;
}

bool TReplacingFile::Write(const void* buffer, int64_t count) {
  if (fd_ < 0 || failed_) return false;
  int64_t done = 0;
  while (done < count) {
    const ssize_t n = ::write(fd_, static_cast<const char*>(buffer) + done,
                              static_cast<size_t>(std::min<int64_t>(count - done, INT_MAX)));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      failed_ = true;
      return false;
    }
    done += n;
  }
  return true;
}

bool TReplacingFile::WriteAt(int64_t offset, const void* buffer, int64_t count) {
  if (fd_ < 0 || failed_ || offset < 0) return false;
  int64_t done = 0;
  while (done < count) {
    const ssize_t n = ::pwrite(fd_, static_cast<const char*>(buffer) + done,
                               static_cast<size_t>(std::min<int64_t>(count - done, INT_MAX)), off_t(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      failed_ = true;
      return false;
    }
    done += n;
  }
  return true;
}

bool TReplacingFile::Commit() {
  if (fd_ < 0) return false;
  bool ok = !failed_ && ::fsync(fd_) == 0;
  ok = ::close(fd_) == 0 && ok;
  fd_ = -1;
  if (ok && ::rename(temp_.c_str(), target_.c_str()) == 0) {
    temp_.clear();
    return true;
  }
  const int error = errno;
  ::unlink(temp_.c_str());
  temp_.clear();
  errno = error;
  return false;
}

void TReplacingFile::Discard() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  if (!temp_.empty()) ::unlink(temp_.c_str());
  temp_.clear();
}

}  // namespace kova::plat
