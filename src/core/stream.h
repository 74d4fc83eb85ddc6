// Byte streams: the abstract stream with 64-bit size and position, the memory stream that
// exposes its block, a read-only view over caller-owned bytes, and the host file stream.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/files/file.h"

namespace kova {

enum class TSeekOrigin { Beginning, Current, End };

class TStream {
 public:
  virtual ~TStream() = default;

  // Reads up to `count` bytes; returns the bytes read (fewer at the end of the stream).
  virtual int64_t Read(void* buffer, int64_t count) = 0;
  // Writes up to `count` bytes; returns the bytes written.
  virtual int64_t Write(const void* buffer, int64_t count) = 0;
  // Moves the position; returns the new position.
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
  virtual int64_t GetSize();
  // Raises EStreamError when the stream cannot change its size.
  virtual void SetSize(int64_t size);
  // The stream's bytes when they lie in memory (a memory stream), else nullptr.
  virtual const uint8_t* DirectMemory() const { return nullptr; }

  int64_t GetPosition() { return Seek(0, TSeekOrigin::Current); }
  void SetPosition(int64_t position) { Seek(position, TSeekOrigin::Beginning); }
  // Bytes between the position and the end (never negative).
  int64_t Remaining();

  // Reads exactly `count` bytes or raises EReadError.
  void ReadBuffer(void* buffer, int64_t count);
  // Writes exactly `count` bytes or raises EWriteError.
  void WriteBuffer(const void* buffer, int64_t count);
  void WriteBytes(std::span<const uint8_t> bytes) {
    WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  }
};

// A growable stream in one memory block.
class TMemoryStream : public TStream {
 public:
  TMemoryStream() = default;
  explicit TMemoryStream(std::span<const uint8_t> bytes);
  ~TMemoryStream() override;
  TMemoryStream(TMemoryStream&& other) noexcept;
  TMemoryStream& operator=(TMemoryStream&& other) noexcept;
  TMemoryStream(const TMemoryStream&) = delete;
  TMemoryStream& operator=(const TMemoryStream&) = delete;

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t GetSize() override { return size_; }
  void SetSize(int64_t size) override;
  const uint8_t* DirectMemory() const override { return data_; }

  uint8_t* Memory() { return data_; }
  const uint8_t* Memory() const { return data_; }
  int64_t Size() const { return size_; }
  std::span<const uint8_t> Bytes() const { return {data_, static_cast<size_t>(size_)}; }
  std::span<uint8_t> MutableBytes() { return {data_, static_cast<size_t>(size_)}; }
  // Size 0, position 0, memory released.
  void Clear();

  // Replaces the contents by the whole of `source` (from its position 0); position 0 after.
  void LoadFromStream(TStream& source);
  // Replaces the contents by a host file's bytes; raises EFOpenError when it cannot be read.
  void LoadFromFile(const std::string& host_path);
  // Writes the whole contents to `dest` at its position.
  void SaveToStream(TStream& dest) const;
  // Writes the whole contents as a host file through a replacing file (core/replace_file.h).
  void SaveToFile(const std::string& host_path) const;

  // Makes room for `capacity` bytes without changing the size (raises EOutOfMemory).
  void Reserve(int64_t capacity);
  // Sets the size without clearing new bytes; for writers that fill them at once.
  void SetSizeUninitialized(int64_t size);

 private:
  uint8_t* data_ = nullptr;  // malloc'd block of capacity_ bytes; the first size_ are the contents
  int64_t capacity_ = 0;
  int64_t size_ = 0;
  int64_t position_ = 0;
};

// A read-only stream over bytes that the caller keeps alive.
class TSpanStream : public TStream {
 public:
  explicit TSpanStream(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t GetSize() override { return static_cast<int64_t>(bytes_.size()); }
  const uint8_t* DirectMemory() const override { return bytes_.data(); }

 private:
  std::span<const uint8_t> bytes_;
  int64_t position_ = 0;
};

// A stream over a host file. Written data are flushed to disk when the stream closes.
class TFileStream : public TStream {
 public:
  // Raises EFOpenError (EFCreateError for Create) when the file cannot be opened.
  TFileStream(const std::string& host_path, plat::TFileMode mode);

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t GetSize() override;
  void SetSize(int64_t size) override;

  const std::string& FileName() const { return path_; }
  // Flushes and closes; raises EWriteError when the flush fails.
  void Close();

 private:
  std::string path_;
  plat::TFile file_;
};

}  // namespace kova
