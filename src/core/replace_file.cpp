#include "core/replace_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>

#include "core/errors.h"
#include "platform/text_codec.h"

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

}  // namespace

// A stream over a file descriptor that it owns.
class TReplacingFile::TFdStream : public TStream {
 public:
  explicit TFdStream(int fd) : fd_(fd) {}
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
      const ssize_t n = ::write(fd_, static_cast<const char*>(buffer) + done,
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
    bool ok = ::fsync(fd_) == 0;
    ok = ::close(fd_) == 0 && ok;
    fd_ = -1;
    return ok;
  }

 private:
  int fd_;
};

TReplacingFile::TReplacingFile(std::string host_path) : target_(std::move(host_path)) {
  const std::string folder = FolderOf(target_);
  const std::string base = target_.substr(target_.find_last_of('/') + 1);
  // mkstemp opens with O_CREAT | O_EXCL: never an existing file, never through a link.
  temp_ = folder + "." + base + ".XXXXXX";
  const int fd = ::mkstemp(temp_.data());
  if (fd < 0) {
    temp_.clear();
    RaiseCreate(target_);
  }
  struct stat st {};
  const mode_t mode = ::lstat(target_.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? (st.st_mode & 07777) : 0644;
  ::fchmod(fd, mode);
  stream_ = std::make_unique<TFdStream>(fd);
}

TReplacingFile::~TReplacingFile() { Abandon(); }

TStream& TReplacingFile::Stream() { return *stream_; }

void TReplacingFile::Abandon() {
  stream_.reset();
  if (!temp_.empty()) ::unlink(temp_.c_str());
  temp_.clear();
}

void TReplacingFile::Commit() {
  if (temp_.empty() || !stream_) RaiseCreate(target_);
  if (!stream_->SyncAndClose()) {
    Abandon();
    Raise<EWriteError>(TMsg::StreamWriteError);
  }
  stream_.reset();
  if (::rename(temp_.c_str(), target_.c_str()) != 0) {
    Abandon();
    RaiseCreate(target_);
  }
  temp_.clear();
  SyncFolder(FolderOf(target_));
}

void ReplaceFileContents(const std::string& host_path, std::span<const uint8_t> bytes) {
  TReplacingFile file(host_path);
  file.Stream().WriteBytes(bytes);
  file.Commit();
}

}  // namespace kova
