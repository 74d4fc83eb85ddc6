#include "support/archive_builder.h"

#include <zlib.h>

#include "support/le_writer.h"

namespace kova::test {

std::vector<uint8_t> ZlibCompress(const std::vector<uint8_t>& bytes, int level) {
  uLongf len = compressBound(bytes.size());
  std::vector<uint8_t> out(len);
  compress2(out.data(), &len, bytes.data(), bytes.size(), level);
  out.resize(len);
  return out;
}

std::vector<uint8_t> ArchiveBuilder::StoredBytes(size_t i) const {
  for (const auto& [index, data] : data_overrides_)
    if (index == i) return data;
  const ArchiveEntry& e = entries_[i];
  // Archives before version 101 have no stored flag: every entry is compressed.
  bool stored = version_ >= 101 && e.stored;
  return stored ? e.contents : ZlibCompress(e.contents);
}

uint32_t ArchiveBuilder::CrcOf(size_t i) const {
  const ArchiveEntry& e = entries_[i];
  if (e.crc) return *e.crc;
  std::vector<uint8_t> over = e.crc_of_source ? e.contents : StoredBytes(i);
  return static_cast<uint32_t>(crc32(crc32(0, nullptr, 0), over.data(), static_cast<uInt>(over.size())));
}

int64_t ArchiveBuilder::DirectorySize() const {
  int64_t n = static_cast<int64_t>(entries_.size());
  int64_t size = version_ >= 100 ? 6 : 0;
  size += 4;
  for (const auto& e : entries_) size += 4 + static_cast<int64_t>(e.name.size());
  size += (n + 1) * (version_ >= 101 ? 8 : 4);
  if (version_ >= 101) size += n + 4 * n + 4 * n;
  if (version_ >= 102) size += n;
  return size;
}

std::vector<uint8_t> ArchiveBuilder::Directory(int64_t base) const {
  LeWriter w;
  if (version_ >= 100) w.Raw("vf").I32(version_);
  w.I32(count_override_ ? *count_override_ : static_cast<int32_t>(entries_.size()));

  Keystream names;
  for (const auto& e : entries_) {
    w.I32(static_cast<int32_t>(e.name.size()));
    for (char c : e.name) {
      uint8_t b = static_cast<uint8_t>(c);
      if (version_ >= 100) b ^= static_cast<uint8_t>(names.Next());
      w.U8(b);
    }
  }

  std::vector<int64_t> offsets;
  int64_t at = base;
  for (size_t i = 0; i < entries_.size(); ++i) {
    offsets.push_back(at);
    at += static_cast<int64_t>(StoredBytes(i).size());
  }
  offsets.push_back(at);
  for (const auto& [i, value] : offset_overrides_) offsets.at(i) = value;

  Keystream keys;
  for (int64_t off : offsets) {
    if (version_ >= 101) {
      int64_t key = static_cast<int32_t>(keys.Next());  // sign-extended
      w.I64(off ^ key);
    } else if (version_ == 100) {
      w.U32(static_cast<uint32_t>(off) ^ keys.Next());
    } else {
      w.U32(static_cast<uint32_t>(off));
    }
  }
  if (version_ >= 101) {
    for (const auto& e : entries_) w.Flag(e.stored);
    for (const auto& e : entries_) w.I32(e.file_age);
    for (size_t i = 0; i < entries_.size(); ++i) w.U32(CrcOf(i));
  }
  if (version_ >= 102)
    for (const auto& e : entries_) w.Flag(e.crc_of_source);
  return w.Bytes();
}

std::vector<uint8_t> ArchiveBuilder::Data() const {
  std::vector<uint8_t> out;
  for (size_t i = 0; i < entries_.size(); ++i) {
    auto bytes = StoredBytes(i);
    out.insert(out.end(), bytes.begin(), bytes.end());
  }
  return out;
}

std::vector<uint8_t> ArchiveBuilder::Build() const {
  std::vector<uint8_t> out = Directory(DirectorySize());
  auto data = Data();
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

std::vector<uint8_t> ArchiveBuilder::BuildAppended(const std::vector<uint8_t>& program) const {
  std::vector<uint8_t> out = program;
  auto archive = Build();  // offsets are counted from the directory position
  out.insert(out.end(), archive.begin(), archive.end());
  LeWriter tail;
  tail.U32(static_cast<uint32_t>(program.size())).Raw("kv");
  out.insert(out.end(), tail.Bytes().begin(), tail.Bytes().end());
  return out;
}

}  // namespace kova::test
