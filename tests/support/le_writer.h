// Builds little-endian byte records for test fixtures, written from the format descriptions
// (never through the production writers).
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kova::test {

class LeWriter {
 public:
  LeWriter& U8(uint8_t v) { bytes_.push_back(v); return *this; }
  LeWriter& Flag(bool v) { return U8(v ? 1 : 0); }
  LeWriter& U16(uint16_t v) { return U8(uint8_t(v)).U8(uint8_t(v >> 8)); }
  LeWriter& U32(uint32_t v) { return U16(uint16_t(v)).U16(uint16_t(v >> 16)); }
  LeWriter& I32(int32_t v) { return U32(static_cast<uint32_t>(v)); }
  LeWriter& U64(uint64_t v) { return U32(uint32_t(v)).U32(uint32_t(v >> 32)); }
  LeWriter& I64(int64_t v) { return U64(static_cast<uint64_t>(v)); }
  // A string record: 4-byte length, then the bytes.
  LeWriter& Str(std::string_view s) { I32(int32_t(s.size())); return Raw(s); }
  // A 10-byte extended real from its parts: sign, 15-bit biased exponent, 64-bit mantissa.
  LeWriter& Ext(bool negative, uint16_t exponent, uint64_t mantissa) {
    U64(mantissa);
    return U16(uint16_t((negative ? 0x8000 : 0) | (exponent & 0x7FFF)));
  }
  // A 10-byte extended real of an exactly representable value (integers and simple fractions).
  LeWriter& Ext(long double v);
  LeWriter& Rect(int32_t l, int32_t t, int32_t r, int32_t b) { return I32(l).I32(t).I32(r).I32(b); }
  LeWriter& Raw(std::string_view s) { bytes_.insert(bytes_.end(), s.begin(), s.end()); return *this; }
  LeWriter& Raw(std::span<const uint8_t> b) { bytes_.insert(bytes_.end(), b.begin(), b.end()); return *this; }
  LeWriter& Raw(std::initializer_list<uint8_t> b) { bytes_.insert(bytes_.end(), b.begin(), b.end()); return *this; }
  LeWriter& Fill(size_t count, uint8_t v) { bytes_.insert(bytes_.end(), count, v); return *this; }

  // Overwrites 4 bytes at `offset` (for fields known only later, such as sizes and positions).
  LeWriter& PatchU32(size_t offset, uint32_t v) {
    for (int i = 0; i < 4; ++i) bytes_.at(offset + i) = uint8_t(v >> (8 * i));
    return *this;
  }

  size_t Size() const { return bytes_.size(); }
  const std::vector<uint8_t>& Bytes() const { return bytes_; }
  // The first `n` bytes (a record cut short).
  std::vector<uint8_t> Truncated(size_t n) const {
    return std::vector<uint8_t>(bytes_.begin(), bytes_.begin() + std::min(n, bytes_.size()));
  }
  std::string AsString() const { return std::string(bytes_.begin(), bytes_.end()); }

 private:
  std::vector<uint8_t> bytes_;
};

// Bytes from a hex text such as "76 66 00"; spaces are ignored.
std::vector<uint8_t> HexBytes(std::string_view hex);

}  // namespace kova::test
