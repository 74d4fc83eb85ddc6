#include "platform/files/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace kova::plat {

TFile::~TFile() { Close(); }

TFile::TFile(TFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), written_(std::exchange(other.written_, false)) {}

TFile& TFile::operator=(TFile&& other) noexcept {
  if (this != &other) {
    Close();
    fd_ = std::exchange(other.fd_, -1);
    written_ = std::exchange(other.written_, false);
  }
  return *this;
}

bool TFile::Open(const std::string& path, TFileMode mode) {
  Close();
  int flags = O_CLOEXEC;
  switch (mode) {
    case TFileMode::Read: flags |= O_RDONLY; break;
    case TFileMode::Write: flags |= O_WRONLY; break;
    case TFileMode::ReadWrite: flags |= O_RDWR; break;
    case TFileMode::Create: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
  }
  do {
    fd_ = ::open(path.c_str(), flags, 0644);
  } while (fd_ < 0 && errno == EINTR);
  if (fd_ < 0) return false;
  struct stat st {};
  if (::fstat(fd_, &st) == 0 && S_ISDIR(st.st_mode)) {
    ::close(fd_);
    fd_ = -1;
    errno = EISDIR;
    return false;
  }
  written_ = mode == TFileMode::Create;
  return true;
}

bool TFile::Close() {
  if (fd_ < 0) return true;
  bool ok = true;
  if (written_ && ::fsync(fd_) != 0 && errno != EINVAL && errno != EROFS) ok = false;
  if (::close(fd_) != 0 && errno != EINTR) ok = false;
  fd_ = -1;
  written_ = false;
  return ok;
}

namespace {

// Repeats one system call until `count` bytes have moved: io(done, left) moves up to `left`
// bytes at offset `done` of the caller's buffer. Interrupted calls are retried; a call that moves
// nothing ends the transfer. Returns the bytes moved, or -1 when the first call failed.
template <class Io>
int64_t TransferAll(int64_t count, Io io) {
  int64_t done = 0;
  while (done < count) {
    const ssize_t n = io(done, static_cast<size_t>(count - done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return done > 0 ? done : -1;
    }
    if (n == 0) break;
    done += n;
  }
  return done;
}

}  // namespace

int64_t TFile::Read(void* buffer, int64_t count) {
  if (fd_ < 0) return -1;
  auto* p = static_cast<char*>(buffer);
  return TransferAll(count, [&](int64_t done, size_t left) { return ::read(fd_, p + done, left); });
}

int64_t TFile::ReadAt(void* buffer, int64_t count, int64_t offset) const {
  if (fd_ < 0) return -1;
  auto* p = static_cast<char*>(buffer);
  return TransferAll(count,
                     [&](int64_t done, size_t left) { return ::pread(fd_, p + done, left, offset + done); });
}

int64_t TFile::Write(const void* buffer, int64_t count) {
  if (fd_ < 0) return -1;
  const auto* p = static_cast<const char*>(buffer);
  const int64_t done =
      TransferAll(count, [&](int64_t at, size_t left) { return ::write(fd_, p + at, left); });
  if (done > 0) written_ = true;
  return done;
}

int64_t TFile::WriteAt(const void* buffer, int64_t count, int64_t offset) {
  if (fd_ < 0) return -1;
  const auto* p = static_cast<const char*>(buffer);
  const int64_t done = TransferAll(
      count, [&](int64_t at, size_t left) { return ::pwrite(fd_, p + at, left, offset + at); });
  if (done > 0) written_ = true;
  return done;
}

int64_t TFile::Seek(int64_t offset, int whence) {
  if (fd_ < 0) return -1;
  return ::lseek(fd_, offset, whence);
}

int64_t TFile::Size() const {
  if (fd_ < 0) return -1;
  struct stat st {};
  if (::fstat(fd_, &st) != 0) return -1;
  return st.st_size;
}

bool TFile::Truncate(int64_t size) {
  if (fd_ < 0) return false;
  if (::ftruncate(fd_, size) != 0) return false;
  written_ = true;
  return true;
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DeleteFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

}  // namespace kova::plat
