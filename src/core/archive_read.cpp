// Reading an archive directory: tag and version, names, offsets and the entry arrays, every count
// and offset checked against the bytes that are there before anything is built.
#include <cstring>
#include <string>
#include <vector>

#include "core/archive.h"
#include "core/archive_internal.h"
#include "core/big_stream.h"
#include "core/errors.h"
#include "core/xr_random.h"

namespace kova {

namespace {

// The seed of the keystreams that scramble directory names and offsets.
constexpr uint32_t kKeySeed = 1436280957u;

uint32_t LoadU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

uint64_t LoadU64(const uint8_t* p) {
  return static_cast<uint64_t>(LoadU32(p)) | (static_cast<uint64_t>(LoadU32(p + 4)) << 32);
}

}  // namespace

void TVrFileCollection::LoadDirectory(TStream& stream) {
  try {
    ReadDirectory(stream, stream_ ? stream_->GetSize() : stream.GetSize());
  } catch (...) {
    THashCollection::Clear();
    throw;
  }
}

void TVrFileCollection::ReadDirectory(TStream& dir, int64_t data_size) {
  THashCollection::Clear();
  const int64_t d = dir.GetPosition();
  int64_t left = dir.GetSize() - d;  // directory bytes not yet read
  auto take = [&](void* buffer, int64_t count) {
    if (count > left || dir.Read(buffer, count) != count) RaiseCorrupt();
    left -= count;
  };

  // Tag and version.
  int32_t version = 0;
  uint8_t head[4];
  if (left >= 2 && dir.Read(head, 2) == 2 && head[0] == 'v' && head[1] == 'f') {
    left -= 2;
    take(head, 4);
    version = static_cast<int32_t>(LoadU32(head));
    if (version < 100 || version > kVrArchiveVersion) RaiseCorrupt();
  } else {
    dir.SetPosition(d);
  }
  const bool scrambled = version >= 100;
  const int64_t offset_size = version >= 101 ? 8 : 4;
  const int64_t array_bytes = version >= 102 ? 10 : version >= 101 ? 9 : 0;  // per entry

  take(head, 4);
  const int64_t n = static_cast<int32_t>(LoadU32(head));
  // Every entry needs at least its name length, its offset and its array bytes; the end offset
  // follows. A count that cannot fit is corrupt, and nothing is allocated for it.
  if (n < 0 || n > (left - offset_size) / (4 + offset_size + array_bytes)) RaiseCorrupt();

  // Names, through the block reader.
  std::vector<std::string> names(static_cast<size_t>(n));
  {
    TXrBuffBigStream reader(dir);
    TXrRandom keys(kKeySeed);
    for (std::string& name : names) {
      uint8_t length_bytes[4];
      if (left < 4 || reader.Read(length_bytes, 4) != 4) RaiseCorrupt();
      left -= 4;
      int64_t length = static_cast<int32_t>(LoadU32(length_bytes));
      if (length < 0 || length > left) RaiseCorrupt();
      name.resize(static_cast<size_t>(length));
      if (reader.Read(name.data(), length) != length) RaiseCorrupt();
      left -= length;
      if (scrambled)
        for (char& c : name) c = static_cast<char>(static_cast<uint8_t>(c) ^ static_cast<uint8_t>(keys.Raw()));
    }
    reader.Release();
  }
  // The names may have used up what the count check left for the arrays.
  if ((n + 1) * offset_size + n * array_bytes > left) RaiseCorrupt();

  // Offsets, in one read.
  std::vector<uint8_t> raw(static_cast<size_t>((n + 1) * offset_size));
  take(raw.data(), static_cast<int64_t>(raw.size()));
  std::vector<int64_t> offsets(static_cast<size_t>(n + 1));
  {
    TXrRandom keys(kKeySeed);
    for (size_t i = 0; i < offsets.size(); ++i) {
      if (offset_size == 8) {
        uint64_t v = LoadU64(&raw[i * 8]);
        if (scrambled) v ^= static_cast<uint64_t>(static_cast<int64_t>(static_cast<int32_t>(keys.Raw())));
        offsets[i] = static_cast<int64_t>(v);
      } else {
        uint32_t v = LoadU32(&raw[i * 4]);
        if (scrambled) v ^= keys.Raw();
        offsets[i] = static_cast<int64_t>(v);  // 4-byte offsets are unsigned
      }
    }
  }
  // Offsets run forward from 0 and the data end inside the data stream.
  if (offsets[0] < 0) RaiseCorrupt();
  for (size_t i = 1; i < offsets.size(); ++i)
    if (offsets[i] < offsets[i - 1]) RaiseCorrupt();
  if (offsets.back() > data_size - d) RaiseCorrupt();

  // The entry arrays, in one read.
  std::vector<uint8_t> arrays(static_cast<size_t>(n * array_bytes));
  take(arrays.data(), static_cast<int64_t>(arrays.size()));

  // The directory is valid: build the entries.
  const size_t count = static_cast<size_t>(n);
  Reserve(count + 1);
  const int32_t first = AddLoadedAll(names);
  for (size_t i = 0; i < count; ++i) {
    TVrFile* entry = Items(first + static_cast<int32_t>(i));
    entry->Offset = offsets[i] + d;
    entry->Size = offsets[i + 1] - offsets[i];
    if (version >= 101) {
      entry->Stored = arrays[i] != 0;
      entry->FileAge = static_cast<int32_t>(LoadU32(&arrays[count + 4 * i]));
      entry->Crc = LoadU32(&arrays[5 * count + 4 * i]);
      if (version >= 102) entry->CrcOfSource = arrays[9 * count + i] != 0;
    }
  }
  loaded_version_ = version;
  TVrFile* eof = AddLoaded(std::string(kVrEofName));
  eof->Offset = offsets[count] + d;
}

}  // namespace kova
