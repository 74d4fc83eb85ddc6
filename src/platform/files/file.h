// A host file opened through POSIX: 64-bit positions, and written data flushed to disk on close.
#pragma once

#include <cstdint>
#include <string>

namespace kova::plat {

enum class TFileMode {
  Read,       // existing file, reading only
  Write,      // existing file, writing only
  ReadWrite,  // existing file, reading and writing
  Create,     // created, or truncated when present; reading and writing
};

class TFile {
 public:
  TFile() = default;
  ~TFile();
  TFile(TFile&& other) noexcept;
  TFile& operator=(TFile&& other) noexcept;
  TFile(const TFile&) = delete;
  TFile& operator=(const TFile&) = delete;

  // Opens `path` (a host path in the file system's own encoding). Returns false, with errno set,
  // when the file cannot be opened.
  bool Open(const std::string& path, TFileMode mode);
  // Flushes written data to disk (fsync) and closes. Returns false when the flush failed.
  bool Close();
  bool IsOpen() const { return fd_ >= 0; }

  // Reads up to `count` bytes at the current position; returns the bytes read, -1 on error.
  int64_t Read(void* buffer, int64_t count);
  // Positioned read that leaves the file position alone (safe from several threads).
  int64_t ReadAt(void* buffer, int64_t count, int64_t offset) const;
  // Writes `count` bytes; returns the bytes written, -1 on error.
  int64_t Write(const void* buffer, int64_t count);
  // Positioned write that leaves the file position alone; returns the bytes written, -1 on error.
  int64_t WriteAt(const void* buffer, int64_t count, int64_t offset);
  // whence: SEEK_SET, SEEK_CUR or SEEK_END. Returns the new position, -1 on error.
  int64_t Seek(int64_t offset, int whence);
  int64_t Size() const;
  bool Truncate(int64_t size);

 private:
  int fd_ = -1;
  bool written_ = false;
};

bool FileExists(const std::string& path);
bool DeleteFile(const std::string& path);

}  // namespace kova::plat
