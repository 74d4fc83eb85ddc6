#include "platform/files/instance.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "platform/files/dirs.h"
#include "platform/files/shell_open.h"
#include "platform/text/text_codec.h"

namespace kova::plat {

namespace {

constexpr size_t kMaxNameBytes = 200;  // well below the 255 bytes of a file name

bool IsDelimiter(char c) { return c == '\\' || c == '/'; }

bool IsDirectory(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// A folder of this user's only: made 0700 when missing; refused when it is a link, someone
// else's, or open to others.
bool PrivateFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() &&
         (st.st_mode & 077) == 0;
}

std::string WithSlash(std::string path) {
  if (path.empty() || path.back() != '/') path += '/';
  return path;
}

}  // namespace

std::string MakeInstanceName(std::string_view source) {
  std::string name;
  name.reserve(source.size() + 1);
  bool ends_in_delimiter = false;
  for (size_t i = 0; i < source.size(); ++i) {
    const auto c = static_cast<unsigned char>(source[i]);
    if (IsCp932LeadByte(c) && i + 1 < source.size()) {
      name += source[i];
      name += source[++i];
      ends_in_delimiter = false;
      continue;
    }
    ends_in_delimiter = IsDelimiter(char(c));
    name += ends_in_delimiter ? '-' : (c >= 'a' && c <= 'z') ? char(c - 32) : char(c);
  }
  if (!ends_in_delimiter) name += '-';
  return name;
}

std::string FolderInstanceName(const std::string& host_folder) {
  namespace fs = std::filesystem;
  const fs::path folder = host_folder.empty() ? fs::path(".") : fs::path(host_folder);
  std::error_code ec;
  fs::path canonical = fs::weakly_canonical(fs::absolute(folder, ec), ec);
  if (ec) canonical = folder.lexically_normal();
  return MakeInstanceName(canonical.string());
}

std::string InstanceFileName(std::string_view instance_name) {
  std::string file = Cp932ToUtf8(instance_name);
  for (char& c : file) {
    if (c == '/' || c == '\0') c = '-';
  }
  if (file.size() <= kMaxNameBytes) return file;
  uint64_t hash = 14695981039346656037ull;  // FNV-1a over the whole name
  for (unsigned char c : instance_name) hash = (hash ^ c) * 1099511628211ull;
  size_t cut = kMaxNameBytes - 17;
  while (cut > 0 && (static_cast<unsigned char>(file[cut]) & 0xC0) == 0x80) --cut;  // whole UTF-8 characters
  char tail[18];
  std::snprintf(tail, sizeof tail, "~%016llx", static_cast<unsigned long long>(hash));
  return file.substr(0, cut) + tail;
}

std::optional<std::string> RuntimeFolder() {
  const char* xdg = std::getenv("XDG_RUNTIME_DIR");
  if (xdg && xdg[0] == '/' && IsDirectory(xdg)) return WithSlash(xdg);
  const std::string fallback = WithSlash(SystemTempFolder()) + "kovaplayer-" + std::to_string(::getuid());
  if (!PrivateFolder(fallback)) return std::nullopt;
  return fallback + "/";
}

TInstanceLock::TResult TInstanceLock::Acquire(std::string_view instance_name) {
  const std::optional<std::string> runtime = RuntimeFolder();
  if (!runtime) {
    Release();
    error_ = "no runtime folder";
    return TResult::Failed;
  }
  const std::string folder = *runtime + "kovaplayer";
  if (!PrivateFolder(folder)) {
    Release();
    error_ = folder + ": " + strerror(errno ? errno : EPERM);
    return TResult::Failed;
  }
  return Acquire(instance_name, folder);
}

TInstanceLock::TResult TInstanceLock::Acquire(std::string_view instance_name, const std::string& folder) {
  Release();
  error_.clear();
  path_ = WithSlash(folder) + InstanceFileName(instance_name) + ".lock";
  const int fd = ::open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    error_ = path_ + ": " + strerror(errno);
    return TResult::Failed;
  }
  int r;
  do {
    r = ::flock(fd, LOCK_EX | LOCK_NB);
  } while (r != 0 && errno == EINTR);
  if (r != 0) {
    const int e = errno;
    ::close(fd);
    if (e == EWOULDBLOCK) return TResult::HeldElsewhere;
    error_ = path_ + ": " + strerror(e);
    return TResult::Failed;
  }
  fd_ = fd;
  // The holder's process id, for people looking at the file; the lock itself is what counts.
  const std::string pid = std::to_string(::getpid()) + "\n";
  if (::ftruncate(fd_, 0) == 0) (void)!::pwrite(fd_, pid.data(), pid.size(), 0);
  return TResult::Acquired;
}

void TInstanceLock::Release() {
  if (fd_ < 0) return;
  ::close(fd_);  // closing the only descriptor drops the lock; the file stays for the next holder
  fd_ = -1;
}

TGameUserFolder::TGameUserFolder(std::string game_folder, std::string_view instance_name)
    : TGameUserFolder(game_folder, instance_name,
                      IsDirectory(WithSlash(game_folder)) && ::access(WithSlash(game_folder).c_str(), W_OK) == 0) {}

TGameUserFolder::TGameUserFolder(std::string game_folder, std::string_view instance_name, bool game_folder_writable)
    : game_folder_(WithSlash(std::move(game_folder))) {
  if (game_folder_writable) {
    folder_ = game_folder_;
    beside_game_ = true;
    return;
  }
  if (const std::optional<std::string> data = UserDataFolder(false)) {
    folder_ = *data + "games/" + InstanceFileName(instance_name) + "/";
  }
}

std::string TGameUserFolder::WritePath(std::string_view name) const {
  if (folder_.empty()) return {};
  if (!beside_game_) {
    // The data folder, its "games/" and the game's own folder, each private.
    const std::optional<std::string> data = UserDataFolder(true);
    if (!data || !PrivateFolder(*data + "games") || !PrivateFolder(folder_.substr(0, folder_.size() - 1))) {
      return {};
    }
  }
  return folder_ + std::string(name);
}

std::string TGameUserFolder::ReadPath(std::string_view name) const {
  const std::string own = folder_.empty() ? std::string() : folder_ + std::string(name);
  if (!own.empty() && PathKind(own) == TPathKind::File) return own;
  const std::string shipped = game_folder_ + std::string(name);
  if (PathKind(shipped) == TPathKind::File) return shipped;
  return own;
}

}  // namespace kova::plat
