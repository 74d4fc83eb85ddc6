// Saving an archive to a host file without ever leaving a half-written target: a new file beside
// it, flushed, then renamed over it. File times as DOS date-times.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <string>

#include "core/archive.h"
#include "core/big_stream.h"
#include "core/errors.h"
#include "platform/file_calls.h"
#include "platform/text_codec.h"

namespace kova {

namespace {

// A stream over a file descriptor that it owns; written data are flushed by SyncAndClose. Writes
// and the flush go through the given calls.
class TFdStream : public TStream {
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
      ssize_t n = ::read(fd_, static_cast<char*>(buffer) + done, static_cast<size_t>(count - done));
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
    int whence = origin == TSeekOrigin::Beginning ? SEEK_SET
                 : origin == TSeekOrigin::Current ? SEEK_CUR
                                                  : SEEK_END;
    off_t at = ::lseek(fd_, offset, whence);
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

std::string FolderOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
}

void SyncFolder(const std::string& folder) {
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);  // best effort: the rename is already done
  ::close(fd);
}

[[noreturn]] void RaiseCreate(const std::string& host_path) {
  std::string name = plat::Utf8ToCp932(host_path);
  Raise<EFCreateError>(TMsg::FileCreateError, name.c_str());
}

}  // namespace

bool TVrFileCollection::SaveToFile(const std::string& host_path, plat::IFileCalls* calls) {
  plat::IFileCalls& io = calls ? *calls : plat::SystemFileCalls();
  const std::string folder = FolderOf(host_path);
  const std::string base = host_path.substr(host_path.find_last_of('/') + 1);

  // The new file, created exclusively beside the target (mkstemp opens with O_CREAT | O_EXCL).
  std::string temp = folder + "." + base + ".XXXXXX";
  int fd = ::mkstemp(temp.data());
  if (fd < 0) RaiseCreate(host_path);
  {
    struct stat st {};
    mode_t mode = ::stat(host_path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644;
    ::fchmod(fd, mode);
  }

  TFdStream out(fd, io);
  try {
    if (!SaveToStream(out)) {
      ::unlink(temp.c_str());
      return false;
    }
    if (!out.SyncAndClose()) Raise<EWriteError>(TMsg::StreamWriteError);
  } catch (...) {
    ::unlink(temp.c_str());
    throw;
  }

  // Is the target this archive's own file? Its open stream keeps reading the old data until the
  // archive is reopened below, so a failed rename leaves the archive as it was.
  bool own = false;
  if (stream_ && !IsResource() && data_ino_ != 0) {
    struct stat st {};
    own = ::stat(host_path.c_str(), &st) == 0 && static_cast<uint64_t>(st.st_dev) == data_dev_ &&
          static_cast<uint64_t>(st.st_ino) == data_ino_;
  }
  if (io.Rename(temp.c_str(), host_path.c_str()) != 0) {
    ::unlink(temp.c_str());
    RaiseCreate(host_path);
  }
  // Pieces the old target continued in would otherwise extend the new file.
  for (int i = 1;; ++i) {
    std::string piece = TXrBigFileStream::PieceName(host_path, i);
    if (::unlink(piece.c_str()) != 0) break;
  }
  SyncFolder(folder);

  // Entries of the saved archive are read from the new file from now on.
  if (own) {
    stream_.reset();
    OpenEx(host_path, true, TVrPlacement::Plain);
  }
  return true;
}

int32_t HostFileAge(const std::string& host_path) {
  struct stat st {};
  if (::stat(host_path.c_str(), &st) != 0) return 0;
  struct tm t {};
  time_t when = st.st_mtime;
  if (!::localtime_r(&when, &t)) return 0;
  int year = t.tm_year + 1900;
  if (year < 1980 || year > 2107) return 0;
  uint32_t date = static_cast<uint32_t>(((year - 1980) << 9) | ((t.tm_mon + 1) << 5) | t.tm_mday);
  uint32_t time = static_cast<uint32_t>((t.tm_hour << 11) | (t.tm_min << 5) | (t.tm_sec / 2));
  return static_cast<int32_t>((date << 16) | time);
}

}  // namespace kova
