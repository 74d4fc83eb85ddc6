// The record layouts every saver and loader shares (little-endian): strings as a 4-byte length
// and the bytes, 4-byte integers, 1-byte flags, 10-byte extended reals, rectangles; copying
// between streams and zlib compression of a whole memory stream in place.
#pragma once

#include <cstdint>
#include <string>

#include "core/stream.h"
#include "core/types.h"

namespace kova {

// Checked reads raise EReadError when the stream ends before the record does; lenient reads raise
// nothing (missing bytes read as 0). Loaders use checked reads unless their format says otherwise.
enum class TReadMode { Checked, Lenient };

void WriteStreamString(TStream& stream, const std::string& s);
// A length below 0 or beyond the bytes left is never allocated: checked reads raise EReadError;
// lenient reads give the bytes that are there (the empty string for a negative length).
std::string ReadStreamString(TStream& stream, TReadMode mode = TReadMode::Checked);

void WriteStreamInteger(TStream& stream, int32_t n);
int32_t ReadStreamInteger(TStream& stream, TReadMode mode = TReadMode::Checked);

void WriteStreamByte(TStream& stream, uint8_t b);
uint8_t ReadStreamByte(TStream& stream, TReadMode mode = TReadMode::Checked);

void WriteStreamBool(TStream& stream, bool b);
// Any non-zero byte reads as true.
bool ReadStreamBool(TStream& stream, TReadMode mode = TReadMode::Checked);

void WriteStreamInt64(TStream& stream, int64_t n);
int64_t ReadStreamInt64(TStream& stream, TReadMode mode = TReadMode::Checked);

// Script floats: 10-byte extended reals (sign, 15-bit exponent, 64-bit mantissa with explicit
// integer bit), kept in memory as long double so that every value round-trips exactly.
void WriteStreamExtended(TStream& stream, long double value);
long double ReadStreamExtended(TStream& stream, TReadMode mode = TReadMode::Checked);
void ExtendedToBytes(long double value, uint8_t out[10]);
long double BytesToExtended(const uint8_t in[10]);

void WriteStreamRect(TStream& stream, const TRect& r);
TRect ReadStreamRect(TStream& stream, TReadMode mode = TReadMode::Checked);

// Copies `count` bytes from the source's position to the destination's position. Count 0 copies
// the whole source: the source is first positioned at 0. Returns the bytes copied, which is less
// than asked only when the source ended first (the copy then stops).
int64_t CopyStreamData(TStream& dest, TStream& source, int64_t count);

// The most that zlib data without a declared size may inflate to (archive entries, whole
// streams). Only layered pictures that hold raw planes are ever stored compressed above 5 MiB,
// and those are bounded by the picture loader's budget of the same size.
inline constexpr int64_t kMaxInflatedSize = int64_t(256) << 20;

// Replaces the whole contents of a memory stream by their zlib form (level 1, with header and
// Adler-32), fed to zlib in pieces so that contents of any size (also beyond 4 GiB) are
// compressed whole. The position ends at the end.
void CompressStream(TMemoryStream& stream);
// Replaces the whole contents of a memory stream by their inflated form. Raises
// EZDecompressionError on corrupt or truncated data, or when the data would inflate to more than
// `limit` bytes (stopping there), leaving the contents unchanged. The position is not reset:
// callers position the stream themselves.
void DecompressStream(TMemoryStream& stream, int64_t limit = kMaxInflatedSize);

namespace detail {
// CompressStream with zlib fed at most `piece` bytes at a time (tests use small pieces).
void CompressStreamInPieces(TMemoryStream& stream, int64_t piece);
}  // namespace detail

}  // namespace kova
