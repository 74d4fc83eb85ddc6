// Helpers shared by the archive reader and writer (not part of the public interface).
#pragma once

#include <cstdint>

#include "core/stream.h"
#include "core/stream_records.h"

namespace kova::archive_detail {

// Block sizes of chunked copies and of streamed inflation.
inline constexpr int64_t kCopyBlock = 1 << 20;
inline constexpr int64_t kInflateBlock = 256 << 10;

// Reads exactly `count` bytes or raises EReadError.
void ReadExact(TStream& source, void* buffer, int64_t count);
// Copies exactly `count` bytes from the source's position to dest's position, in blocks (in one
// piece when either side lies in memory), folding them into *crc when given. Raises EReadError
// when the source ends first (a memory dest is then restored to its old size).
void CopyExact(TStream& dest, TStream& source, int64_t count, uint32_t* crc);
// Inflates the zlib stream held in the next `count` bytes of the source into dest at its position,
// in blocks. Raises EReadError when the source ends first and EZDecompressionError on bad data or
// data that end before the zlib stream does (a memory dest is then restored to its old size).
// Entries declare no inflated size: inflating past `limit` bytes raises EZDecompressionError
// too, before more than that is held.
void InflateExact(TStream& dest, TStream& source, int64_t count, int64_t limit = kMaxInflatedSize);

}  // namespace kova::archive_detail
