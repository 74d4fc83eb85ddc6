#include "core/wexa_probe.h"

#include <cstdint>
#include <cstring>

namespace kova {

bool WexaIsUncompressed(TStream& stream) {
  uint8_t tag[7];
  if (stream.Read(tag, 7) != 7) return false;
  if (std::memcmp(tag, "Wexa", 4) != 0) return false;
  int version = 0;
  for (int i = 4; i < 7; ++i) {
    if (tag[i] < '0' || tag[i] > '9') return false;
    version = version * 10 + (tag[i] - '0');
  }
  if (version < 103) return false;

  uint8_t size_bytes[4];
  if (stream.Read(size_bytes, 4) != 4) return false;
  int32_t header_size = static_cast<int32_t>(size_bytes[0] | (size_bytes[1] << 8) |
                                             (size_bytes[2] << 16) |
                                             (static_cast<uint32_t>(size_bytes[3]) << 24));
  // Only the bytes up to the compression byte matter; the record is 40 bytes, and a longer header
  // is never read further here.
  constexpr int32_t kCompressionAt = 22;
  // A header (negative or) too short to hold the byte leaves it missing: it reads as 1.
  if (header_size <= kCompressionAt) return true;
  uint8_t header[kCompressionAt + 1];
  int64_t got = stream.Read(header, kCompressionAt + 1);
  if (got <= kCompressionAt) return true;  // the file ends before it: missing, read as 1
  return header[kCompressionAt] == 1;
}

}  // namespace kova
