// Reads the values of a film file from its bytes: little-endian integers, IEEE doubles, bytes,
// points and strings (an Int32 byte count, then that many bytes of Shift-JIS text). Every read
// is checked against the bytes left: a value, a string length or a count that runs past the end
// raises the stream's read error, so no length read from a file ever costs more than the file's
// own bytes.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "core/types.h"

namespace kova {

class TFilmReader {
 public:
  explicit TFilmReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

  int32_t Int32();
  uint8_t Byte();
  bool Bool() { return Byte() != 0; }
  double Double();
  TPoint Point();
  std::string String();
  // Copies the next `n` bytes.
  std::string Raw(size_t n);
  void Skip(size_t n);

  size_t Left() const { return bytes_.size() - pos_; }
  size_t Position() const { return pos_; }
  // Raises the read error unless `n` bytes are left (for counts: n = count * the least bytes
  // one item takes).
  void Need(uint64_t n) const;

 private:
  std::span<const uint8_t> bytes_;
  size_t pos_ = 0;
};

}  // namespace kova
