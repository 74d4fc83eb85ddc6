#include "platform/files/atomic_file.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cstdint>

namespace kova::plat {

namespace {

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes.remove_prefix(size_t(n));
  }
  return true;
}

uint64_t UniqueNumber() {
  timespec ts{};
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  return uint64_t(ts.tv_sec) * 1000000000u + uint64_t(ts.tv_nsec);
}

}  // namespace

int ReplaceFileAtomically(const std::string& path, std::string_view bytes) {
  std::string target = path;
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    char resolved[PATH_MAX];
    if (!::realpath(path.c_str(), resolved)) return errno;
    target = resolved;
  }
  mode_t mode = 0;
  const bool exists = ::stat(target.c_str(), &st) == 0;
  if (exists) {
    if (!S_ISREG(st.st_mode)) return EISDIR;
    mode = st.st_mode & 07777;
  }
  const std::string folder = FolderOf(target);
  // The temporary is created with 0644, so the process's mask applies as for any new file.
  std::string temp;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    temp = folder + "." + target.substr(folder.size()) + "." + std::to_string(::getpid()) + "." +
           std::to_string(UniqueNumber() + attempt);
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0 && errno != EEXIST) return errno;
  }
  if (fd < 0) return EEXIST;
  int error = 0;
  if ((exists && ::fchmod(fd, mode) != 0) || !WriteAll(fd, bytes) || ::fsync(fd) != 0) error = errno ? errno : EIO;
  if (::close(fd) != 0 && error == 0) error = errno;
  if (error == 0 && ::rename(temp.c_str(), target.c_str()) != 0) error = errno;
  if (error != 0) {
    ::unlink(temp.c_str());
    return error;
  }
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);  // best effort: the new file is in place already
    ::close(dir);
  }
  return 0;
}

}  // namespace kova::plat
