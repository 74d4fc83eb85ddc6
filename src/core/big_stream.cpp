#include "core/big_stream.h"

#include <algorithm>
#include <utility>

#include "core/errors.h"
#include "core/resources.h"
#include "core/stream_records.h"
#include "platform/text/text_codec.h"

namespace kova {
namespace {

// base + offset, held within [0, limit]; base must lie in [0, limit].
int64_t ClampedTarget(int64_t base, int64_t offset, int64_t limit) {
  if (offset > limit - base) return limit;
  if (offset < -base) return 0;
  return base + offset;
}

[[noreturn]] void RaiseOpen(const std::string& host_path) {
  Raise<EFOpenError>(TMsg::FileOpenError, plat::Utf8ToCp932(host_path).c_str());
}

[[noreturn]] void RaiseCreate(const std::string& host_path) {
  Raise<EFCreateError>(TMsg::FileCreateError, plat::Utf8ToCp932(host_path).c_str());
}

}  // namespace

// ---- TXrBigStream ----

int64_t TXrBigStream::CopyFromBig(TXrBigStream& source, int64_t count) {
  return CopyStreamData(*this, source, count);
}

int64_t TXrBigStream::CopyFrom(TStream& source, int64_t count) {
  return CopyStreamData(*this, source, count);
}

int64_t TXrBigStream::CopyTo(TStream& dest, int64_t count) {
  if (count <= 0) return 0;
  return CopyStreamData(dest, *this, count);
}

// ---- TXrBigFileStream ----

TXrBigFileStream::TXrBigFileStream(std::string file_name, plat::TFileMode mode, int64_t piece_size)
    : file_name_(std::move(file_name)), mode_(mode), piece_size_(piece_size > 0 ? piece_size : kPieceSize) {
  if (mode_ == plat::TFileMode::Read || mode_ == plat::TFileMode::ReadWrite) {
    OpenPieces();
  } else {
    DeletePieces();
  }
}

TXrBigFileStream::~TXrBigFileStream() = default;  // each piece flushes and closes itself

std::string TXrBigFileStream::PieceName(const std::string& file_name, int n) {
  if (n == 0) return file_name;
  size_t slash = file_name.rfind('/');
  size_t base = slash == std::string::npos ? 0 : slash + 1;
  size_t dot = file_name.rfind('.');
  size_t stem = dot != std::string::npos && dot >= base ? dot : file_name.size();
  return Format("%s.%.3d", file_name.substr(0, stem).c_str(), n);
}

void TXrBigFileStream::OpenPieces() {
  plat::TFileMode piece_mode =
      mode_ == plat::TFileMode::Read ? plat::TFileMode::Read : plat::TFileMode::ReadWrite;
  for (int n = 0;; ++n) {
    std::string name = PieceName(n);
    // A file named like a piece ("x.001") would otherwise be its own second piece.
    if (n > 0 && name == file_name_) break;
    if (!plat::FileExists(name)) break;
    TPiece piece;
    if (!piece.file.Open(name, piece_mode)) RaiseOpen(name);
    piece.size = piece.file.Size();
    if (piece.size < 0) RaiseOpen(name);
    piece.start = size_;
    size_ += piece.size;
    pieces_.push_back(std::move(piece));
  }
  if (pieces_.empty() && mode_ == plat::TFileMode::Read) RaiseOpen(file_name_);
}

void TXrBigFileStream::DeletePieces() {
  for (int n = 0;; ++n) {
    std::string name = PieceName(n);
    if (n > 0 && name == file_name_) break;
    if (!plat::FileExists(name)) break;
    if (!plat::DeleteFile(name)) RaiseCreate(name);
  }
}

size_t TXrBigFileStream::FindPiece(int64_t pos) {
  auto holds = [&](size_t i) {
    return i < pieces_.size() && pieces_[i].start <= pos && pos < pieces_[i].start + pieces_[i].size;
  };
  if (holds(hint_)) return hint_;
  if (holds(hint_ + 1)) return ++hint_;
  auto it = std::partition_point(pieces_.begin(), pieces_.end(),
                                 [&](const TPiece& p) { return p.start + p.size <= pos; });
  hint_ = static_cast<size_t>(it - pieces_.begin());
  return hint_;
}

bool TXrBigFileStream::AppendPiece() {
  std::string name = PieceName(static_cast<int>(pieces_.size()));
  if (!pieces_.empty() && name == file_name_) return false;
  TPiece piece;
  if (!piece.file.Open(name, plat::TFileMode::Create)) return false;
  piece.start = size_;
  pieces_.push_back(std::move(piece));
  return true;
}

int64_t TXrBigFileStream::Read(void* buffer, int64_t count) {
  auto* out = static_cast<uint8_t*>(buffer);
  int64_t total = 0;
  while (total < count && position_ < size_) {
    TPiece& piece = pieces_[FindPiece(position_)];
    int64_t offset = position_ - piece.start;
    int64_t n = std::min(piece.size - offset, count - total);
    int64_t got = piece.file.ReadAt(out + total, n, offset);
    if (got < 0) Raise<EReadError>(TMsg::StreamReadError);
    position_ += got;
    total += got;
    if (got < n) break;  // the piece file shrank under us
  }
  return total;
}

int64_t TXrBigFileStream::Write(const void* buffer, int64_t count) {
  if (mode_ == plat::TFileMode::Read) return 0;
  const auto* in = static_cast<const uint8_t*>(buffer);
  int64_t total = 0;
  while (total < count) {
    size_t i;
    if (position_ < size_) {
      i = FindPiece(position_);
    } else if (!pieces_.empty() && pieces_.back().size < piece_size_) {
      i = pieces_.size() - 1;
    } else {
      if (!AppendPiece()) break;
      i = pieces_.size() - 1;
    }
    TPiece& piece = pieces_[i];
    bool last = i + 1 == pieces_.size();
    int64_t offset = position_ - piece.start;
    // Only the last piece grows, up to the piece size; earlier ones are rewritten in place.
    int64_t room = (last ? std::max(piece_size_, piece.size) : piece.size) - offset;
    int64_t n = std::min(room, count - total);
    int64_t got = piece.file.WriteAt(in + total, n, offset);
    if (got <= 0) break;
    if (last && offset + got > piece.size) {
      size_ += offset + got - piece.size;
      piece.size = offset + got;
    }
    position_ += got;
    total += got;
    if (got < n) break;
  }
  return total;
}

int64_t TXrBigFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t base = origin == TSeekOrigin::Beginning ? 0
                 : origin == TSeekOrigin::Current ? position_
                                                  : size_;
  position_ = ClampedTarget(base, offset, size_);
  return position_;
}

void TXrBigFileStream::SetSize(int64_t size) {
  if (mode_ == plat::TFileMode::Read || size < 0) Raise<EStreamError>(TMsg::StreamSizeError);
  hint_ = 0;
  if (size < size_) {
    while (pieces_.size() > 1 && pieces_.back().start >= size) {
      const std::string name = PieceName(static_cast<int>(pieces_.size()) - 1);
      pieces_.back().file.Close();
      pieces_.pop_back();
      if (!plat::DeleteFile(name)) Raise<EStreamError>(TMsg::StreamSizeError);
    }
    TPiece& last = pieces_.back();
    if (!last.file.Truncate(size - last.start)) Raise<EStreamError>(TMsg::StreamSizeError);
    last.size = size - last.start;
    size_ = size;
  }
  while (size_ < size) {
    if ((pieces_.empty() || pieces_.back().size >= piece_size_) && !AppendPiece())
      Raise<EStreamError>(TMsg::StreamSizeError);
    TPiece& last = pieces_.back();
    const int64_t grown = last.size + std::min(piece_size_ - last.size, size - size_);
    if (!last.file.Truncate(grown)) Raise<EStreamError>(TMsg::StreamSizeError);
    size_ += grown - last.size;
    last.size = grown;
  }
  position_ = std::min(position_, size_);
}

void TXrBigFileStream::Close() {
  bool ok = true;
  for (TPiece& piece : pieces_) {
    if (!piece.file.Close()) ok = false;
  }
  pieces_.clear();
  size_ = 0;
  position_ = 0;
  hint_ = 0;
  if (!ok) Raise<EWriteError>(TMsg::StreamWriteError);
}

// ---- TXrBigResourceStream ----

TXrBigResourceStream::TXrBigResourceStream(const TResourceModule& module, std::string resource_name,
                                           std::string resource_type)
    : name_(std::move(resource_name)),
      type_(std::move(resource_type)),
      held_(module.HoldResource(type_, name_)),
      resource_(held_.bytes) {}

// ---- TXrBuffBigStream ----

TXrBuffBigStream::TXrBuffBigStream(TStream& source) : source_(source) {}

TXrBuffBigStream::~TXrBuffBigStream() {
  try {
    Release();
  } catch (...) {
    // A source that cannot seek back keeps its position; nothing else can be done here.
  }
}

int64_t TXrBuffBigStream::ReadSlow(uint8_t* buffer, int64_t count) {
  int64_t total = 0;
  while (total < count) {
    int64_t available = filled_ - served_;
    if (available == 0) {
      int64_t position = source_.GetPosition();
      if (count - total >= kBufferSize) {
        // A large read goes straight to the source; the bytes and the end position are the same.
        filled_ = served_ = 0;
        int64_t got = source_.Read(buffer + total, count - total);
        if (got > 0) total += got;
        break;
      }
      int64_t want = std::min(source_.GetSize() - position, kBufferSize);
      if (want <= 0) break;
      if (!buffer_) buffer_ = std::make_unique_for_overwrite<uint8_t[]>(kBufferSize);
      block_start_ = position;
      int64_t got = source_.Read(buffer_.get(), want);
      filled_ = got > 0 ? got : 0;
      served_ = 0;
      if (filled_ == 0) break;
      available = filled_;
    }
    int64_t n = std::min(available, count - total);
    std::memcpy(buffer + total, buffer_.get() + served_, static_cast<size_t>(n));
    served_ += n;
    total += n;
  }
  return total;
}

int64_t TXrBuffBigStream::Seek(int64_t offset, TSeekOrigin origin) {
  int64_t current = filled_ > 0 ? block_start_ + served_ : source_.GetPosition();
  if (origin == TSeekOrigin::Current && offset == 0) return current;
  int64_t base = origin == TSeekOrigin::Beginning ? 0
                 : origin == TSeekOrigin::Current ? current
                                                  : source_.GetSize();
  int64_t target = ClampedTarget(base, offset, INT64_MAX);
  if (filled_ > 0 && target >= block_start_ && target <= block_start_ + filled_) {
    served_ = target - block_start_;
    return target;
  }
  filled_ = served_ = 0;
  return source_.Seek(target, TSeekOrigin::Beginning);
}

void TXrBuffBigStream::Release() {
  if (filled_ > served_) source_.Seek(block_start_ + served_, TSeekOrigin::Beginning);
  filled_ = served_ = 0;
}

}  // namespace kova
