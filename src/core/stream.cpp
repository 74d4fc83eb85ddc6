#include "core/stream.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <utility>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

#include "core/replace_file.h"
#include "core/errors.h"
#include "platform/text/text_codec.h"

namespace kova {
namespace {

int64_t ClampPosition(int64_t base, int64_t offset) {
  if (offset > 0 && base > std::numeric_limits<int64_t>::max() - offset)
    return std::numeric_limits<int64_t>::max();
  int64_t p = base + offset;
  return p < 0 ? 0 : p;
}

int64_t Origin(TSeekOrigin origin, int64_t position, int64_t size) {
  switch (origin) {
    case TSeekOrigin::Beginning: return 0;
    case TSeekOrigin::Current: return position;
    case TSeekOrigin::End: return size;
  }
  return 0;
}

}  // namespace

// ---- TStream ----

int64_t TStream::GetSize() {
  int64_t pos = Seek(0, TSeekOrigin::Current);
  int64_t size = Seek(0, TSeekOrigin::End);
  Seek(pos, TSeekOrigin::Beginning);
  return size;
}

void TStream::SetSize(int64_t) { Raise<EStreamError>(TMsg::StreamSizeError); }

int64_t TStream::Remaining() {
  int64_t left = GetSize() - GetPosition();
  return left < 0 ? 0 : left;
}

void TStream::ReadBuffer(void* buffer, int64_t count) {
  if (count <= 0) return;
  if (Read(buffer, count) != count) Raise<EReadError>(TMsg::StreamReadError);
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
  if (count <= 0) return;
  if (Write(buffer, count) != count) Raise<EWriteError>(TMsg::StreamWriteError);
}

// ---- TMemoryStream ----

TMemoryStream::TMemoryStream(std::span<const uint8_t> bytes) {
  SetSizeUninitialized(static_cast<int64_t>(bytes.size()));
  if (!bytes.empty()) std::memcpy(data_, bytes.data(), bytes.size());
}

TMemoryStream::~TMemoryStream() { std::free(data_); }

TMemoryStream::TMemoryStream(TMemoryStream&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      capacity_(std::exchange(other.capacity_, 0)),
      size_(std::exchange(other.size_, 0)),
      position_(std::exchange(other.position_, 0)) {}

TMemoryStream& TMemoryStream::operator=(TMemoryStream&& other) noexcept {
  if (this != &other) {
    std::free(data_);
    data_ = std::exchange(other.data_, nullptr);
    capacity_ = std::exchange(other.capacity_, 0);
    size_ = std::exchange(other.size_, 0);
    position_ = std::exchange(other.position_, 0);
  }
  return *this;
}

void TMemoryStream::Reserve(int64_t capacity) {
  if (capacity <= capacity_) return;
  // Grow geometrically; realloc moves large blocks by remapping pages, not by copying.
  int64_t grown = std::max<int64_t>(capacity, capacity_ + capacity_ / 2);
  grown = (grown + 8191) & ~int64_t{8191};
  void* p = std::realloc(data_, static_cast<size_t>(grown));
  if (!p) {
    grown = capacity;
    p = std::realloc(data_, static_cast<size_t>(grown));
    if (!p) Raise<EOutOfMemory>(TMsg::OutOfMemory);
  }
  data_ = static_cast<uint8_t*>(p);
  capacity_ = grown;
}

void TMemoryStream::SetSizeUninitialized(int64_t size) {
  if (size < 0) size = 0;
  Reserve(size);
  size_ = size;
  if (position_ > size_) position_ = size_;
}

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
  if (count <= 0 || position_ >= size_) return 0;
  int64_t n = std::min(count, size_ - position_);
  std::memcpy(buffer, data_ + position_, static_cast<size_t>(n));
  position_ += n;
  return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  int64_t end = position_ + count;
  Reserve(end);
  if (position_ > size_) std::memset(data_ + size_, 0, static_cast<size_t>(position_ - size_));
  std::memcpy(data_ + position_, buffer, static_cast<size_t>(count));
  position_ = end;
  if (end > size_) size_ = end;
  return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  position_ = ClampPosition(Origin(origin, position_, size_), offset);
  return position_;
}

void TMemoryStream::SetSize(int64_t size) {
  if (size < 0) size = 0;
  int64_t old = size_;
  SetSizeUninitialized(size);
  if (size > old) std::memset(data_ + old, 0, static_cast<size_t>(size - old));
}

void TMemoryStream::Clear() {
  std::free(data_);
  data_ = nullptr;
  capacity_ = 0;
  size_ = 0;
  position_ = 0;
}

void TMemoryStream::LoadFromStream(TStream& source) {
  source.SetPosition(0);
  int64_t size = source.GetSize();
  SetSizeUninitialized(size);
  position_ = 0;
  if (size > 0) source.ReadBuffer(data_, size);
}

void TMemoryStream::LoadFromFile(const std::string& host_path) {
  TFileStream file(host_path, plat::TFileMode::Read);
  LoadFromStream(file);
}

void TMemoryStream::SaveToStream(TStream& dest) const {
  dest.WriteBuffer(data_, size_);
}

void TMemoryStream::SaveToFile(const std::string& host_path) const {
  ReplaceFileContents(host_path, std::span<const uint8_t>(data_, static_cast<size_t>(size_)));
}

// ---- TSpanStream ----

int64_t TSpanStream::Read(void* buffer, int64_t count) {
  int64_t size = static_cast<int64_t>(bytes_.size());
  if (count <= 0 || position_ >= size) return 0;
  int64_t n = std::min(count, size - position_);
  std::memcpy(buffer, bytes_.data() + position_, static_cast<size_t>(n));
  position_ += n;
  return n;
}

int64_t TSpanStream::Write(const void*, int64_t) { return 0; }

int64_t TSpanStream::Seek(int64_t offset, TSeekOrigin origin) {
  position_ = ClampPosition(Origin(origin, position_, static_cast<int64_t>(bytes_.size())), offset);
  return position_;
}

// ---- TFileStream ----

TFileStream::TFileStream(const std::string& host_path, plat::TFileMode mode) : path_(host_path) {
  if (!file_.Open(host_path, mode)) {
    std::string name = plat::Utf8ToCp932(host_path);
    if (mode == plat::TFileMode::Create) Raise<EFCreateError>(TMsg::FileCreateError, name.c_str());
    Raise<EFOpenError>(TMsg::FileOpenError, name.c_str());
  }
}

int64_t TFileStream::Read(void* buffer, int64_t count) {
  if (count <= 0) return 0;
  int64_t n = file_.Read(buffer, count);
  if (n < 0) Raise<EReadError>(TMsg::StreamReadError);
  return n;
}

int64_t TFileStream::Write(const void* buffer, int64_t count) {
  if (count <= 0) return 0;
  int64_t n = file_.Write(buffer, count);
  return n < 0 ? 0 : n;
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  int whence = origin == TSeekOrigin::Beginning ? SEEK_SET
               : origin == TSeekOrigin::Current ? SEEK_CUR
                                                : SEEK_END;
  int64_t p = file_.Seek(offset, whence);
  if (p < 0) {
    // Seeking before the start stops at the start, as the memory streams do.
    p = file_.Seek(0, SEEK_SET);
    if (p < 0) Raise<EStreamError>(TMsg::StreamSeekError);
  }
  return p;
}

int64_t TFileStream::GetSize() {
  int64_t size = file_.Size();
  if (size < 0) Raise<EStreamError>(TMsg::StreamSeekError);
  return size;
}

void TFileStream::SetSize(int64_t size) {
  if (!file_.Truncate(size < 0 ? 0 : size)) Raise<EStreamError>(TMsg::StreamSizeError);
  if (GetPosition() > size) Seek(0, TSeekOrigin::End);
}

void TFileStream::Close() {
  if (!file_.Close()) Raise<EWriteError>(TMsg::StreamWriteError);
}

}  // namespace kova
