#include "core/replace_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "core/errors.h"
#include "platform/files/file_calls.h"
#include "platform/text/text_codec.h"

namespace kova {

namespace {

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

void SyncFolder(const std::string& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);  // best effort: the rename is already done
  ::close(fd);
}

[[noreturn]] void RaiseCreate(const std::string& host_path) {
  const std::string name = plat::Utf8ToCp932(host_path);
  Raise<EFCreateError>(TMsg::FileCreateError, name.c_str());
}

std::string BaseOf(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

// The replacements of `base` are named "." + base + "." + six letters or digits (mkstemp's).
bool IsReplacementName(std::string_view name, std::string_view base) {
  constexpr size_t kSuffix = 6;
  if (name.size() != base.size() + 2 + kSuffix || name[0] != '.' || name.substr(1, base.size()) != base ||
      name[base.size() + 1] != '.')
    return false;
  for (char c : name.substr(base.size() + 2)) {
    const bool alnum = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    if (!alnum) return false;
  }
  return true;
}

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

}  // namespace

// A stream over a file descriptor that it owns; writes and the flush go through the given calls.
class TReplacingFile::TFdStream : public TStream {
 public:
  TFdStream(int fd, plat::IFileCalls& calls) : fd_(fd), calls_(calls) {}
  ~TFdStream() override {
    if (fd_ >= 0) ::close(fd_);
  }
  TFdStream(const TFdStream&) = delete;
  TFdStream& operator=(const TFdStream&) = delete;

  int64_t Read(void* buffer, int64_t count) override {
    int64_t done = 0;
    while (done < count) {
      const ssize_t n = ::read(fd_, static_cast<char*>(buffer) + done,
                               static_cast<size_t>(std::min<int64_t>(count - done, INT_MAX)));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += n;
    }
    return done;
  }
  int64_t Write(const void* buffer, int64_t count) override {
    int64_t done = 0;
    while (done < count) {
      const int64_t n = calls_.Write(fd_, static_cast<const char*>(buffer) + done,
                                     static_cast<size_t>(std::min<int64_t>(count - done, INT_MAX)));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      done += n;
    }
    return done;
  }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override {
    const int whence = origin == TSeekOrigin::Beginning ? SEEK_SET : origin == TSeekOrigin::Current ? SEEK_CUR : SEEK_END;
    const off_t at = ::lseek(fd_, offset, whence);
    if (at < 0) Raise<EStreamError>(TMsg::StreamSeekError);
    return at;
  }
  int64_t GetSize() override {
    struct stat st {};
    return ::fstat(fd_, &st) == 0 ? st.st_size : 0;
  }
  void SetSize(int64_t size) override {
    if (::ftruncate(fd_, size) != 0) Raise<EStreamError>(TMsg::StreamSizeError);
  }
  // Flushes and closes; false when either fails.
  bool SyncAndClose() {
    bool ok = calls_.Sync(fd_) == 0;
    ok = ::close(fd_) == 0 && ok;
    fd_ = -1;
    return ok;
  }

 private:
  int fd_;
  plat::IFileCalls& calls_;
};

TReplacingFile::TReplacingFile(std::string host_path, plat::IFileCalls* calls)
    : target_(std::move(host_path)), calls_(calls ? *calls : plat::SystemFileCalls()) {
  const std::string folder = FolderOf(target_);
  const std::string base = target_.substr(target_.find_last_of('/') + 1);
  // mkstemp opens with O_CREAT | O_EXCL: never an existing file, never through a link. The new
  // file is locked for as long as it may still become the target (RemoveStaleReplacements
  // removes only unlocked ones); a cleaner that took it between its making and the lock has
  // removed it, and another name is made then.
  for (int attempt = 0;; ++attempt) {
    temp_ = folder + "." + base + ".XXXXXX";
    const int fd = ::mkostemp(temp_.data(), O_CLOEXEC);
    if (fd < 0) {
      temp_.clear();
      RaiseCreate(target_);
    }
    // A file system without locks: the file is written unlocked, and no cleaner can lock it
    // either, so none takes it for stale.
    struct stat mine {}, named {};
    if (::flock(fd, LOCK_EX) != 0 ||
        (::fstat(fd, &mine) == 0 && ::lstat(temp_.c_str(), &named) == 0 && SameFile(mine, named))) {
      lock_fd_ = fd;
      break;
    }
    ::close(fd);  // a cleaner removed it before the lock
    if (attempt == 8) {
      temp_.clear();
      RaiseCreate(target_);
    }
  }
  // The stream writes through a second descriptor of the same open file: closing it at the
  // commit reports the file's errors, while the lock stays on until the rename is done.
  const int fd = ::fcntl(lock_fd_, F_DUPFD_CLOEXEC, 0);
  if (fd < 0) {
    Abandon();
    RaiseCreate(target_);
  }
  struct stat st {};
  const mode_t mode = ::lstat(target_.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? (st.st_mode & 07777) : 0644;
  ::fchmod(fd, mode);
  stream_ = std::make_unique<TFdStream>(fd, calls_);
}

TReplacingFile::~TReplacingFile() { Abandon(); }

TStream& TReplacingFile::Stream() { return *stream_; }

void TReplacingFile::Abandon() {
  stream_.reset();
  if (!temp_.empty()) ::unlink(temp_.c_str());
  temp_.clear();
  ReleaseLock();
}

void TReplacingFile::ReleaseLock() {
  if (lock_fd_ >= 0) ::close(lock_fd_);
  lock_fd_ = -1;
}

void TReplacingFile::Commit() {
  if (temp_.empty() || !stream_) RaiseCreate(target_);
  if (!stream_->SyncAndClose()) {
    Abandon();
    Raise<EWriteError>(TMsg::StreamWriteError);
  }
  stream_.reset();
  if (calls_.Rename(temp_.c_str(), target_.c_str()) != 0) {
    Abandon();
    RaiseCreate(target_);
  }
  temp_.clear();
  ReleaseLock();
  SyncFolder(FolderOf(target_));
}

int RemoveStaleReplacements(const std::string& host_path) {
  const std::string folder = FolderOf(host_path);
  const std::string base = BaseOf(host_path);
  if (base.empty()) return 0;
  DIR* dir = ::opendir(folder.c_str());
  if (!dir) return 0;
  std::vector<std::string> names;
  while (const dirent* e = ::readdir(dir)) {
    if (IsReplacementName(e->d_name, base)) names.emplace_back(e->d_name);
  }
  ::closedir(dir);
  int removed = 0;
  for (const std::string& name : names) {
    const std::string path = folder + name;
    // Only our own regular files, never through a link, and only when no writer holds the lock
    // (the system drops it when the writing process ends in any way).
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat held {}, named {};
    if (::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && held.st_uid == ::geteuid() &&
        ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::lstat(path.c_str(), &named) == 0 && SameFile(held, named) &&
        ::unlink(path.c_str()) == 0) {
      ++removed;
    }
    ::close(fd);
  }
  return removed;
}

void ReplaceFileContents(const std::string& host_path, std::span<const uint8_t> bytes) {
  TReplacingFile file(host_path);
  file.Stream().WriteBytes(bytes);
  file.Commit();
}

}  // namespace kova
