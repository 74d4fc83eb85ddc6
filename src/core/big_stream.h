// Big streams: streams over data that may exceed what one file of the game data may hold. The file
// kind splits one logical file into pieces of 2^30 bytes: the file itself, then the name without
// its extension followed by ".001", ".002", ... A buffered reader serves many small reads from
// large blocks of any stream.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "core/resources.h"
#include "core/stream.h"
#include "platform/files/file.h"

namespace kova {

// A stream with 64-bit size and position, plus copy operations between streams.
class TXrBigStream : public TStream {
 public:
  // Copies from another big stream; count 0 copies the whole source from its start. Returns the
  // bytes copied (fewer when the source ends first).
  virtual int64_t CopyFromBig(TXrBigStream& source, int64_t count);
  // Copies from any stream; count 0 copies the whole source from its start.
  virtual int64_t CopyFrom(TStream& source, int64_t count);
  // Copies `count` bytes from the position into `dest`; returns the bytes copied.
  virtual int64_t CopyTo(TStream& dest, int64_t count);
};

// One logical file stored as pieces of `piece_size` bytes (2^30 unless a test asks otherwise).
// Positions are clamped to [0, size]. Reads and writes use positioned I/O, so no file position is
// shared with other handles on the same files.
//
// Opening:
// - Read, ReadWrite: every existing piece is opened, from the file itself upwards. A piece that
//   exists but cannot be opened raises EFOpenError. For Read, a missing file raises EFOpenError.
// - Write, Create: every existing piece is deleted (EFCreateError when one cannot be); pieces are
//   created as writes reach them.
// Pieces that were written are flushed to disk (fsync) when the stream closes.
class TXrBigFileStream : public TXrBigStream {
 public:
  static constexpr int64_t kPieceSize = int64_t{1} << 30;

  TXrBigFileStream(std::string file_name, plat::TFileMode mode, int64_t piece_size = kPieceSize);
  // Closes the pieces; a failing flush is ignored here (call Close to learn of it).
  ~TXrBigFileStream() override;
  TXrBigFileStream(const TXrBigFileStream&) = delete;
  TXrBigFileStream& operator=(const TXrBigFileStream&) = delete;

  // Reads across pieces; returns the bytes read (fewer at the end). Raises EReadError when the
  // system reports an I/O error.
  int64_t Read(void* buffer, int64_t count) override;
  // Writes across pieces, creating them as needed; a write that finds no space (or cannot create
  // a piece) returns the smaller count. Writing needs a mode other than Read.
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t GetSize() override { return size_; }
  // Cuts or extends the logical file (needs a mode other than Read): pieces wholly beyond the new
  // size are deleted and the piece holding its end is cut; growing fills the last piece up to the
  // piece size and then makes new pieces, all reading as zeros. The position stays, held within
  // the new size. Raises EStreamError when a piece cannot be cut, grown, made or deleted.
  void SetSize(int64_t size) override;

  // The host path of piece n: the file name itself for n = 0, else the name without its extension
  // followed by "." and at least three digits.
  static std::string PieceName(const std::string& file_name, int n);
  std::string PieceName(int n) const { return PieceName(file_name_, n); }
  int PieceCount() const { return static_cast<int>(pieces_.size()); }
  int64_t PieceSize() const { return piece_size_; }
  const std::string& FileName() const { return file_name_; }
  plat::TFileMode Mode() const { return mode_; }

  // Flushes written pieces to disk and closes them all; raises EWriteError when a flush failed.
  // The stream is empty afterwards.
  void Close();

 private:
  struct TPiece {
    plat::TFile file;
    int64_t start = 0;  // logical position of the piece's first byte
    int64_t size = 0;
  };

  void OpenPieces();
  void DeletePieces();
  // The index of the piece holding logical position `pos` (< size_), using the last hit as a hint.
  size_t FindPiece(int64_t pos);
  bool AppendPiece();

  std::string file_name_;
  plat::TFileMode mode_;
  int64_t piece_size_;
  std::vector<TPiece> pieces_;
  int64_t size_ = 0;
  int64_t position_ = 0;
  size_t hint_ = 0;
};

// A big stream in memory (an owned memory stream).
class TXrBigMemoryStream : public TXrBigStream {
 public:
  TXrBigMemoryStream() = default;

  int64_t Read(void* buffer, int64_t count) override { return memory_.Read(buffer, count); }
  int64_t Write(const void* buffer, int64_t count) override { return memory_.Write(buffer, count); }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override { return memory_.Seek(offset, origin); }
  int64_t GetSize() override { return memory_.GetSize(); }
  void SetSize(int64_t size) override { memory_.SetSize(size); }
  const uint8_t* DirectMemory() const override { return memory_.DirectMemory(); }

  void SaveToFile(const std::string& host_path) const { memory_.SaveToFile(host_path); }
  void LoadFromFile(const std::string& host_path) { memory_.LoadFromFile(host_path); }
  TMemoryStream& Memory() { return memory_; }

 private:
  TMemoryStream memory_;
};

// A read-only big stream over a module's resource. A missing resource gives an empty stream;
// callers that need the resource test the size. The stream keeps the bytes it reads alive.
class TXrBigResourceStream : public TXrBigStream {
 public:
  TXrBigResourceStream(const TResourceModule& module, std::string resource_name,
                       std::string resource_type);

  int64_t Read(void* buffer, int64_t count) override { return resource_.Read(buffer, count); }
  int64_t Write(const void*, int64_t) override { return 0; }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override { return resource_.Seek(offset, origin); }
  int64_t GetSize() override { return resource_.GetSize(); }
  const uint8_t* DirectMemory() const override { return resource_.DirectMemory(); }

  const std::string& ResourceName() const { return name_; }
  const std::string& ResourceType() const { return type_; }

 private:
  std::string name_;
  std::string type_;
  TResourceModule::THeldResource held_;
  TSpanStream resource_;
};

// Serves reads of a source stream from blocks of 102,400 bytes. The source must not be moved by
// others while the reader holds a block. Releasing the reader (or destroying it) moves the source
// back to just after the last byte handed out.
class TXrBuffBigStream : public TStream {
 public:
  static constexpr int64_t kBufferSize = 102400;

  explicit TXrBuffBigStream(TStream& source);
  ~TXrBuffBigStream() override;
  TXrBuffBigStream(const TXrBuffBigStream&) = delete;
  TXrBuffBigStream& operator=(const TXrBuffBigStream&) = delete;

  // Returns the bytes served: fewer than asked only when the source has ended.
  int64_t Read(void* buffer, int64_t count) override {
    if (count > 0 && count <= filled_ - served_) {
      std::memcpy(buffer, buffer_.get() + served_, static_cast<size_t>(count));
      served_ += count;
      return count;
    }
    return ReadSlow(static_cast<uint8_t*>(buffer), count);
  }
  int64_t Write(const void*, int64_t) override { return 0; }
  // Moves within the block when the target lies in it; otherwise drops the block and moves the
  // source.
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t GetSize() override { return source_.GetSize(); }

  // Moves the source back by the buffered bytes not yet served and drops the block.
  void Release();

 private:
  int64_t ReadSlow(uint8_t* buffer, int64_t count);

  TStream& source_;
  std::unique_ptr<uint8_t[]> buffer_;
  int64_t block_start_ = 0;  // source position of the block's first byte
  int64_t filled_ = 0;       // bytes in the block
  int64_t served_ = 0;       // bytes of the block handed out
};

}  // namespace kova
