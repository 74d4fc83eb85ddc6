#include "core/stream_records.h"

#include <zlib.h>

#include <algorithm>
#include <cfloat>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "core/errors.h"

namespace kova {
namespace {

static_assert(LDBL_MANT_DIG == 64, "script floats need the 80-bit extended format in memory");

// Reads `count` bytes into `buffer`. Checked: raises when short. Lenient: zero-fills the rest.
void ReadRecord(TStream& stream, void* buffer, int64_t count, TReadMode mode) {
  int64_t n = stream.Read(buffer, count);
  if (n < 0) n = 0;
  if (n == count) return;
  if (mode == TReadMode::Checked) Raise<EReadError>(TMsg::StreamReadError);
  std::memset(static_cast<uint8_t*>(buffer) + n, 0, static_cast<size_t>(count - n));
}

uint32_t LoadLe32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void StoreLe32(uint8_t* p, uint32_t v) {
  p[0] = uint8_t(v);
  p[1] = uint8_t(v >> 8);
  p[2] = uint8_t(v >> 16);
  p[3] = uint8_t(v >> 24);
}

}  // namespace

void WriteStreamString(TStream& stream, const std::string& s) {
  WriteStreamInteger(stream, static_cast<int32_t>(s.size()));
  if (!s.empty()) stream.WriteBuffer(s.data(), static_cast<int64_t>(s.size()));
}

std::string ReadStreamString(TStream& stream, TReadMode mode) {
  int32_t length = ReadStreamInteger(stream, mode);
  if (length <= 0) {
    if (length < 0 && mode == TReadMode::Checked) Raise<EReadError>(TMsg::StreamReadError);
    return {};
  }
  int64_t left = stream.Remaining();
  if (length > left) {
    if (mode == TReadMode::Checked) Raise<EReadError>(TMsg::StreamReadError);
    length = static_cast<int32_t>(left);
  }
  std::string s(static_cast<size_t>(length), '\0');
  int64_t n = stream.Read(s.data(), length);
  if (n < length) {
    if (mode == TReadMode::Checked) Raise<EReadError>(TMsg::StreamReadError);
    s.resize(static_cast<size_t>(n < 0 ? 0 : n));
  }
  return s;
}

void WriteStreamInteger(TStream& stream, int32_t n) {
  uint8_t b[4];
  StoreLe32(b, static_cast<uint32_t>(n));
  stream.WriteBuffer(b, 4);
}

int32_t ReadStreamInteger(TStream& stream, TReadMode mode) {
  uint8_t b[4];
  ReadRecord(stream, b, 4, mode);
  return static_cast<int32_t>(LoadLe32(b));
}

void WriteStreamByte(TStream& stream, uint8_t b) { stream.WriteBuffer(&b, 1); }

uint8_t ReadStreamByte(TStream& stream, TReadMode mode) {
  uint8_t b = 0;
  ReadRecord(stream, &b, 1, mode);
  return b;
}

void WriteStreamBool(TStream& stream, bool b) { WriteStreamByte(stream, b ? 1 : 0); }

bool ReadStreamBool(TStream& stream, TReadMode mode) { return ReadStreamByte(stream, mode) != 0; }

void WriteStreamInt64(TStream& stream, int64_t n) {
  uint8_t b[8];
  StoreLe32(b, static_cast<uint32_t>(static_cast<uint64_t>(n)));
  StoreLe32(b + 4, static_cast<uint32_t>(static_cast<uint64_t>(n) >> 32));
  stream.WriteBuffer(b, 8);
}

int64_t ReadStreamInt64(TStream& stream, TReadMode mode) {
  uint8_t b[8];
  ReadRecord(stream, b, 8, mode);
  return static_cast<int64_t>(uint64_t(LoadLe32(b)) | uint64_t(LoadLe32(b + 4)) << 32);
}

void ExtendedToBytes(long double value, uint8_t out[10]) {
  // On x86-64 the long double is the 80-bit format itself, little-endian, in its first 10 bytes.
  uint8_t raw[sizeof(long double)];
  std::memcpy(raw, &value, sizeof value);
  std::memcpy(out, raw, 10);
}

long double BytesToExtended(const uint8_t in[10]) {
  uint8_t raw[sizeof(long double)] = {};
  std::memcpy(raw, in, 10);
  long double value;
  std::memcpy(&value, raw, sizeof value);
  return value;
}

void WriteStreamExtended(TStream& stream, long double value) {
  uint8_t b[10];
  ExtendedToBytes(value, b);
  stream.WriteBuffer(b, 10);
}

long double ReadStreamExtended(TStream& stream, TReadMode mode) {
  uint8_t b[10];
  ReadRecord(stream, b, 10, mode);
  return BytesToExtended(b);
}

void WriteStreamRect(TStream& stream, const TRect& r) {
  WriteStreamInteger(stream, r.Left);
  WriteStreamInteger(stream, r.Top);
  WriteStreamInteger(stream, r.Right);
  WriteStreamInteger(stream, r.Bottom);
}

TRect ReadStreamRect(TStream& stream, TReadMode mode) {
  TRect r;
  r.Left = ReadStreamInteger(stream, mode);
  r.Top = ReadStreamInteger(stream, mode);
  r.Right = ReadStreamInteger(stream, mode);
  r.Bottom = ReadStreamInteger(stream, mode);
  return r;
}

int64_t CopyStreamData(TStream& dest, TStream& source, int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.GetSize();
  }
  if (count <= 0) return 0;

  if (const uint8_t* memory = source.DirectMemory()) {
    int64_t position = source.GetPosition();
    int64_t n = std::min(count, source.GetSize() - position);
    if (n <= 0) return 0;
    dest.WriteBuffer(memory + position, n);
    source.Seek(n, TSeekOrigin::Current);
    return n;
  }

  constexpr int64_t kMaxBuffer = 10 * 1024 * 1024;
  constexpr int64_t kStep = 1024 * 1024;
  int64_t size = std::min(count, kMaxBuffer);
  std::unique_ptr<uint8_t[]> buffer;
  for (;;) {
    buffer.reset(new (std::nothrow) uint8_t[static_cast<size_t>(size)]);
    if (buffer) break;
    size -= kStep;
    if (size <= 0) Raise<EOutOfMemory>(TMsg::OutOfMemory);
  }

  int64_t copied = 0;
  while (copied < count) {
    int64_t want = std::min(size, count - copied);
    int64_t got = source.Read(buffer.get(), want);
    if (got <= 0) break;  // the source ended early: stop and report what was copied
    dest.WriteBuffer(buffer.get(), got);
    copied += got;
  }
  return copied;
}

namespace detail {

void CompressStreamInPieces(TMemoryStream& stream, int64_t piece) {
  z_stream z{};
  if (deflateInit(&z, 1) != Z_OK) Raise<EZCompressionError>(TMsg::CompressError);
  std::unique_ptr<z_stream, int (*)(z_stream*)> guard(&z, deflateEnd);

  // zlib counts in 32 bits: the input goes in pieces, the output grows as it comes.
  const int64_t in_size = stream.Size();
  const uint8_t* in = stream.Memory();
  int64_t in_left = in_size;
  TMemoryStream out;
  out.Reserve(std::min<int64_t>(in_size, piece) / 2 + 65536);
  int64_t produced = 0;
  int rc = Z_OK;
  while (rc != Z_STREAM_END) {
    if (z.avail_in == 0 && in_left > 0) {
      const int64_t take = std::min(in_left, piece);
      z.next_in = const_cast<Bytef*>(in + (in_size - in_left));
      z.avail_in = static_cast<uInt>(take);
      in_left -= take;
    }
    const int64_t room = std::min<int64_t>(std::max<int64_t>(produced / 2, 65536), piece);
    out.SetSizeUninitialized(produced + room);
    z.next_out = out.Memory() + produced;
    z.avail_out = static_cast<uInt>(room);
    rc = deflate(&z, in_left == 0 ? Z_FINISH : Z_NO_FLUSH);
    if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) Raise<EZCompressionError>(TMsg::CompressError);
    produced += room - static_cast<int64_t>(z.avail_out);
  }
  out.SetSizeUninitialized(produced);
  stream.Clear();
  stream.Write(out.Memory(), produced);
}

}  // namespace detail

void CompressStream(TMemoryStream& stream) { detail::CompressStreamInPieces(stream, int64_t(1) << 30); }

void DecompressStream(TMemoryStream& stream, int64_t limit) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) Raise<EZDecompressionError>(TMsg::DecompressError);
  std::unique_ptr<z_stream, int (*)(z_stream*)> guard(&z, inflateEnd);

  const int64_t in_size = stream.Size();
  TMemoryStream out;
  // Never more than the limit and one byte (which tells data of exactly the limit from more).
  const int64_t most = limit + 1;
  out.Reserve(std::min(most, std::max<int64_t>(in_size * 3, 65536)));
  z.next_in = const_cast<Bytef*>(stream.Memory());
  int64_t in_left = in_size;
  int64_t produced = 0;
  for (;;) {
    if (z.avail_in == 0 && in_left > 0) {
      uInt chunk = static_cast<uInt>(std::min<int64_t>(in_left, 1 << 30));
      z.avail_in = chunk;
      in_left -= chunk;
    }
    const int64_t grown = std::min(most, produced + std::max<int64_t>(produced / 2, 65536));
    out.SetSizeUninitialized(produced);
    out.Reserve(grown);
    out.SetSizeUninitialized(grown);
    int64_t room = std::min<int64_t>(out.Size() - produced, 1 << 30);
    z.next_out = out.Memory() + produced;
    z.avail_out = static_cast<uInt>(room);
    int rc = inflate(&z, Z_NO_FLUSH);
    produced += room - z.avail_out;
    if (produced > limit) Raise<EZDecompressionError>(TMsg::DecompressError);
    if (rc == Z_STREAM_END) break;
    // A stream that ends before zlib's end marker is as corrupt as one with bad bytes.
    if (rc != Z_OK && rc != Z_BUF_ERROR) Raise<EZDecompressionError>(TMsg::DecompressError);
    if (rc == Z_BUF_ERROR && z.avail_in == 0 && in_left == 0)
      Raise<EZDecompressionError>(TMsg::DecompressError);
  }

  int64_t consumed = in_size - in_left - z.avail_in;
  out.SetSizeUninitialized(produced);
  stream = std::move(out);
  stream.SetPosition(std::min(consumed, produced));
}

}  // namespace kova
