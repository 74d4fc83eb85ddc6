#include "core/install_set.h"

#include <algorithm>

#include "core/errors.h"
#include "core/record_io.h"
#include "core/sjis.h"

namespace kova {
namespace {

constexpr TReadMode kLenient = TReadMode::Lenient;

// The version of a signature's three digits; 0 unless all three are decimal digits.
int32_t VersionOf(const char digits[3]) {
  int32_t v = 0;
  for (int i = 0; i < 3; ++i) {
    if (digits[i] < '0' || digits[i] > '9') return 0;
    v = v * 10 + (digits[i] - '0');
  }
  return v;
}

// A number of items 13 and 14: 4 bytes widened without sign, or 8 bytes.
uint64_t ReadNumber(TStream& stream, bool wide) {
  if (wide) return static_cast<uint64_t>(ReadStreamInt64(stream, kLenient));
  return static_cast<uint32_t>(ReadStreamInteger(stream, kLenient));
}

// A count followed by that many strings. The loop ends with the stream, so a wild count costs
// nothing.
template <class Keep>
void ReadStrings(TStream& stream, TStringList& list, Keep keep) {
  list.Clear();
  const int32_t count = ReadStreamInteger(stream, kLenient);
  for (int32_t i = 0; i < count && stream.Remaining() > 0; ++i) {
    std::string s = ReadStreamString(stream, kLenient);
    if (keep(s)) list.Add(std::move(s));
  }
}

}  // namespace

void TKovaInstallSet::LoadFromStream(TStream& stream) {
  Clear();
  const int64_t start = stream.GetPosition();
  char head[5] = {};
  const int64_t got = stream.Read(head, 5);
  if (got >= 2 && head[0] == 'i' && head[1] == 's') {
    Version = got == 5 ? VersionOf(head + 2) : 0;
  } else {
    stream.SetPosition(start);
  }
  const bool wide = Version >= 100;

  DiskIndex = ReadStreamInteger(stream, kLenient);
  GameKey = ReadStreamString(stream, kLenient);
  for (std::string& s : Texts) s = ReadStreamString(stream, kLenient);
  Flag1 = ReadStreamByte(stream, kLenient);
  Text4 = ReadStreamString(stream, kLenient);
  Flag2 = ReadStreamByte(stream, kLenient);
  RecordCount = ReadStreamInteger(stream, kLenient);
  Text5 = ReadStreamString(stream, kLenient);
  Value1 = ReadStreamInteger(stream, kLenient);
  Flag3 = ReadStreamByte(stream, kLenient);
  Flag4 = ReadStreamByte(stream, kLenient);
  for (std::string& s : Texts2) s = ReadStreamString(stream, kLenient);
  for (int32_t i = 0; i < RecordCount && stream.Remaining() > 0; ++i) {
    std::array<uint64_t, 4>& r = Records.emplace_back();
    for (uint64_t& n : r) n = ReadNumber(stream, wide);
  }
  for (uint64_t& n : Totals) n = ReadNumber(stream, wide);
  Flag5 = ReadStreamByte(stream, kLenient);
  if (Version >= 101) Flag6 = ReadStreamByte(stream, kLenient);
  if (Version >= 102) ReadStrings(stream, FirstList, [](const std::string& s) { return !s.empty(); });
  if (Version >= 103) Complete = ReadStreamByte(stream, kLenient);
  if (Version >= 104) Flag7 = ReadStreamByte(stream, kLenient);
  if (Version >= 105) Flag8 = ReadStreamByte(stream, kLenient);
  if (Version >= 106) ReadStrings(stream, SecondList, [](const std::string&) { return true; });
  if (Version >= 107) Text6 = ReadStreamString(stream, kLenient);
}

void TKovaInstallSet::LoadFromFile(const std::string& host_path) {
  TFileStream file(host_path, plat::TFileMode::Read);
  LoadFromStream(file);
}

// ---- TFolderDiskList ----

namespace {

// The byte position of the last "\" of a prepared path that is not the second byte of a
// double-byte character, or npos.
size_t LastDelimiter(std::string_view p) {
  size_t last = std::string_view::npos;
  for (size_t i = 0; i < p.size(); ++i) {
    if (IsSjisLeadByte(p[i]) && i + 1 < p.size()) {
      ++i;
    } else if (p[i] == '\\') {
      last = i;
    }
  }
  return last;
}

// A game path prepared for comparison: "/" read as "\", and a "\" appended unless the path ends in
// one. ("/" is never the second byte of a double-byte character, so it is replaced byte-wise; a
// final "\" counts only when it is not the second byte of one.)
std::string FolderKey(std::string_view path) {
  std::string key(path);
  std::replace(key.begin(), key.end(), '/', '\\');
  if (key.empty() || LastDelimiter(key) != key.size() - 1) key += '\\';
  return key;
}

}  // namespace

void TFolderDiskList::AddFolder(std::string folder, int32_t disk) {
  AddObject(std::move(folder), reinterpret_cast<void*>(static_cast<intptr_t>(disk)));
}

int32_t TFolderDiskList::DiskOf(std::string_view path) const {
  if (Empty()) return 0;
  std::vector<std::string> keys;
  keys.reserve(static_cast<size_t>(Count()));
  for (const TStringItem& item : Items()) keys.push_back(FolderKey(item.Str));

  std::string p = SjisUpperCase(path);
  std::replace(p.begin(), p.end(), '/', '\\');
  while (!p.empty()) {
    const std::string key = FolderKey(p);
    for (size_t i = 0; i < keys.size(); ++i) {
      if (SjisSameText(keys[i], key)) return Disks(static_cast<int>(i));
    }
    const size_t cut = LastDelimiter(p);
    p.resize(cut == std::string_view::npos ? 0 : cut);
  }
  return 0;
}

namespace {

struct TFolderDisk {
  std::string Folder;
  int32_t Disk = 0;
};

// Count (4), per item the folder and its disc (4); every item takes at least 8 bytes.
template <class IO, class L>
void TransferFolderDisks(IO& io, L& items) {
  io.List(items, 8, [&](auto& item) {
    io.Str(item.Folder);
    io.Int(item.Disk);
  });
}

}  // namespace

void TFolderDiskList::SaveToStream(TStream& stream) const {
  std::vector<TFolderDisk> items;
  items.reserve(static_cast<size_t>(Count()));
  for (int i = 0; i < Count(); ++i) items.push_back({Strings(i), Disks(i)});
  TRecordSaver io(stream);
  TransferFolderDisks(io, items);
}

void TFolderDiskList::LoadFromStream(TStream& stream, TReadMode mode) {
  Clear();
  std::vector<TFolderDisk> items;
  TRecordLoader io(stream, INT32_MAX, mode);
  TransferFolderDisks(io, items);
  for (TFolderDisk& item : items) AddFolder(std::move(item.Folder), item.Disk);
}

}  // namespace kova
