#include "platform/files/dirs.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>

namespace kova::plat {

TPathKind PathKind(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return TPathKind::Missing;
  if (S_ISREG(st.st_mode)) return TPathKind::File;
  if (S_ISDIR(st.st_mode)) return TPathKind::Directory;
  return TPathKind::Other;
}

std::optional<TDirStamp> DirectoryStamp(const std::string& path) {
  struct stat st {};
  if (::stat(path.empty() ? "." : path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return std::nullopt;
  TDirStamp stamp;
  stamp.mtime_ns = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  stamp.inode = static_cast<uint64_t>(st.st_ino);
  stamp.device = static_cast<uint64_t>(st.st_dev);
  return stamp;
}

int64_t CoarseNowNs() {
  timespec ts {};
  ::clock_gettime(CLOCK_REALTIME_COARSE, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

std::optional<std::vector<TDirEntry>> ListDirectory(const std::string& path) {
  std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(path.empty() ? "." : path.c_str()), ::closedir);
  if (!dir) return std::nullopt;
  std::vector<TDirEntry> names;
  errno = 0;
  while (const dirent* e = ::readdir(dir.get())) {
    const char* n = e->d_name;
    if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0))) continue;
    TPathKind kind = TPathKind::Missing;
    switch (e->d_type) {
      case DT_REG: kind = TPathKind::File; break;
      case DT_DIR: kind = TPathKind::Directory; break;
      case DT_LNK: case DT_UNKNOWN: kind = TPathKind::Missing; break;
      default: kind = TPathKind::Other; break;
    }
    names.push_back(TDirEntry{n, kind});
  }
  if (errno != 0) return std::nullopt;
  return names;
}

std::string SystemTempFolder() {
  const char* env = std::getenv("TMPDIR");
  if (env && *env && PathKind(env) == TPathKind::Directory) return env;
  return "/tmp";
}

std::optional<std::string> MakePrivateDirectory(const std::string& parent, const std::string& prefix) {
  std::string pattern = parent;
  if (!pattern.empty() && pattern.back() != '/') pattern += '/';
  pattern += prefix + "XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back(0);
  if (::mkdtemp(buf.data()) == nullptr) return std::nullopt;  // mkdtemp creates it with 0700
  return std::string(buf.data());
}

bool RemoveFlatDirectory(const std::string& path) {
  if (path.empty()) return false;
  int dfd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (dfd < 0) return errno == ENOENT;
  bool ok = true;
  if (DIR* dir = ::fdopendir(dfd)) {
    std::vector<std::string> names;
    while (const dirent* e = ::readdir(dir)) {
      const char* n = e->d_name;
      if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0))) continue;
      names.emplace_back(n);
    }
    for (const std::string& n : names) {
      if (::unlinkat(dirfd(dir), n.c_str(), 0) != 0 && errno != ENOENT) ok = false;
    }
    ::closedir(dir);  // closes dfd
  } else {
    ::close(dfd);
    ok = false;
  }
  if (::rmdir(path.c_str()) != 0 && errno != ENOENT) ok = false;
  return ok;
}

TNewFile::~TNewFile() { Close(); }

bool TNewFile::Create(const std::string& path) {
  Close();
  do {
    fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  } while (fd_ < 0 && errno == EINTR);
  return fd_ >= 0;
}

bool TNewFile::WriteAll(const void* buffer, int64_t count) {
  if (fd_ < 0) return false;
  const char* p = static_cast<const char*>(buffer);
  while (count > 0) {
    ssize_t n = ::write(fd_, p, static_cast<size_t>(count));
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (n == 0) return false;
    p += n;
    count -= n;
  }
  return true;
}

bool TNewFile::Close() {
  if (fd_ < 0) return true;
  bool ok = ::close(fd_) == 0 || errno == EINTR;
  fd_ = -1;
  return ok;
}

namespace {

// Undoes the octal escapes (\040 and the like) of a mounts-file field.
std::string UnescapeMountField(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 3 < s.size() &&
        s[i + 1] >= '0' && s[i + 1] <= '3' && s[i + 2] >= '0' && s[i + 2] <= '7' &&
        s[i + 3] >= '0' && s[i + 3] <= '7') {
      out += static_cast<char>((s[i + 1] - '0') * 64 + (s[i + 2] - '0') * 8 + (s[i + 3] - '0'));
      i += 3;
    } else {
      out += s[i];
    }
  }
  return out;
}

}  // namespace

std::vector<std::string> OpticalMountRoots(const std::string& mounts_file) {
  std::vector<std::string> roots;
  std::ifstream in(mounts_file);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string device, mount_point, type;
    if (!(fields >> device >> mount_point >> type)) continue;
    if (type != "iso9660" && type != "udf") continue;
    std::string root = UnescapeMountField(mount_point);
    if (root.empty()) continue;
    if (root.back() != '/') root += '/';
    roots.push_back(std::move(root));
  }
  return roots;
}

namespace {

// The process's own state: the work folders to remove at exit. Never destroyed, so that an owner
// freed during exit can still forget its folder.
struct TExitFolders {
  std::mutex mutex;
  std::set<std::string> dirs;
};

TExitFolders& ExitFolders() {
  static auto* folders = new TExitFolders;
  return *folders;
}

void RemoveExitFolders() {
  TExitFolders& f = ExitFolders();
  std::lock_guard lock(f.mutex);
  for (const std::string& d : f.dirs) RemoveFlatDirectory(d);
  f.dirs.clear();
}

}  // namespace

void RemoveAtExit(const std::string& dir) {
  static const bool registered = [] { return std::atexit(RemoveExitFolders) == 0; }();
  (void)registered;
  TExitFolders& f = ExitFolders();
  std::lock_guard lock(f.mutex);
  f.dirs.insert(dir);
}

void ForgetAtExit(const std::string& dir) {
  TExitFolders& f = ExitFolders();
  std::lock_guard lock(f.mutex);
  f.dirs.erase(dir);
}

}  // namespace kova::plat
