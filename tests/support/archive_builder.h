// Builds game archives byte by byte from the archive format, independently of the production
// reader and writer: directory (tag "vf", version, count, scrambled names and offsets, flag and
// CRC arrays) followed by the entries' data, in every version and placement, with knobs for
// corrupt forms.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kova::test {

struct ArchiveEntry {
  std::string name;               // Shift-JIS bytes, as stored
  std::vector<uint8_t> contents;  // the file's contents
  bool stored = false;            // false: the data are the zlib form of the contents
  int32_t file_age = 0;
  bool crc_of_source = false;     // CRC over the contents (true) or over the stored bytes
  std::optional<uint32_t> crc;    // overrides the computed CRC
};

// The keystream that scrambles directory names and offsets: state := state * 5 + seed.
class Keystream {
 public:
  uint32_t Next() { return state_ = state_ * 5u + 1436280957u; }

 private:
  uint32_t state_ = 0;
};

class ArchiveBuilder {
 public:
  explicit ArchiveBuilder(int version = 102) : version_(version) {}

  ArchiveBuilder& Add(ArchiveEntry entry) { entries_.push_back(std::move(entry)); return *this; }
  ArchiveBuilder& Add(std::string name, std::string contents, bool stored = false) {
    ArchiveEntry e;
    e.name = std::move(name);
    e.contents.assign(contents.begin(), contents.end());
    e.stored = stored;
    return Add(std::move(e));
  }

  // Corruption knobs.
  ArchiveBuilder& OverrideCount(int32_t n) { count_override_ = n; return *this; }
  // Replaces offset i (directory-relative, before scrambling); index N is the end sentinel.
  ArchiveBuilder& OverrideOffset(size_t i, int64_t offset) { offset_overrides_.emplace_back(i, offset); return *this; }
  // Replaces the data bytes of entry i (e.g. corrupt zlib); offsets follow the new length.
  ArchiveBuilder& OverrideData(size_t i, std::vector<uint8_t> data) { data_overrides_.emplace_back(i, std::move(data)); return *this; }

  // The directory alone (as a ".ext" directory file holds it), with offsets counted from `base`.
  std::vector<uint8_t> Directory(int64_t base) const;
  // The entries' data alone, in entry order.
  std::vector<uint8_t> Data() const;

  // Directory followed by the data (the plain placement).
  std::vector<uint8_t> Build() const;
  // `program` bytes, then the archive, then the 4-byte directory position and "kv".
  std::vector<uint8_t> BuildAppended(const std::vector<uint8_t>& program) const;
  // The ".ext" placement: the data file (data from offset 0) and the directory file.
  std::vector<uint8_t> BuildExtData() const { return Data(); }
  std::vector<uint8_t> BuildExtDirectory() const { return Directory(0); }

  // The bytes stored for entry i (compressed unless stored) and the CRC written for it.
  std::vector<uint8_t> StoredBytes(size_t i) const;
  uint32_t CrcOf(size_t i) const;

  size_t Count() const { return entries_.size(); }

 private:
  int64_t DirectorySize() const;

  int version_;
  std::vector<ArchiveEntry> entries_;
  std::optional<int32_t> count_override_;
  std::vector<std::pair<size_t, int64_t>> offset_overrides_;
  std::vector<std::pair<size_t, std::vector<uint8_t>>> data_overrides_;
};

// zlib form of `bytes` (for fixtures), at the given level.
std::vector<uint8_t> ZlibCompress(const std::vector<uint8_t>& bytes, int level = 1);

}  // namespace kova::test
