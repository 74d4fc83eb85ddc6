// Writing an archive: the version-102 directory over placeholders, each entry's data, then the
// offsets and arrays filled in; the CRC-32 of streams.
#include <zlib.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/archive.h"
#include "core/archive_internal.h"
#include "core/errors.h"
#include "core/utils.h"
#include "core/sjis.h"
#include "core/wexa_probe.h"
#include "core/xr_random.h"

namespace kova {

using namespace archive_detail;

namespace {

constexpr uint32_t kKeySeed = 1436280957u;

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void StoreU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

// The zlib form (level 1) of `bytes`, in a new buffer.
std::vector<uint8_t> Deflate(std::span<const uint8_t> bytes) {
  uLong bound = compressBound(static_cast<uLong>(bytes.size()));
  std::vector<uint8_t> out(bound);
  uLongf length = bound;
  if (compress2(out.data(), &length, bytes.data(), static_cast<uLong>(bytes.size()), 1) != Z_OK)
    Raise<EZCompressionError>(TMsg::CompressError);
  out.resize(length);
  return out;
}

bool IsSentinel(const TVrFile& entry) { return entry.Name() == kVrEofName; }

}  // namespace

bool TVrFile::ShouldCompress(TStream& file) const {
  std::string ext = SjisUpperCase(GameFileExtension(Name()));
  if (ext == ".WXA") {
    file.SetPosition(0);
    bool raw = WexaIsUncompressed(file);
    file.SetPosition(0);
    return raw;
  }
  static constexpr std::string_view kNeverCompressed = ".WAV.WMA.OGG.MPG.MPEG.WMV.ASF.DAT.";
  if (!ext.empty() && kNeverCompressed.find(ext) != std::string_view::npos) return false;
  return file.GetSize() < kVrCompressLimit;
}

TVrWritten TVrFile::WriteData(TStream& target) const {
  TVrWritten w;
  w.FileAge = FileAge;
  auto write = [&](std::span<const uint8_t> bytes) {
    target.WriteBytes(bytes);
    w.Size = static_cast<int64_t>(bytes.size());
  };

  // From memory.
  if (Data) {
    std::span<const uint8_t> contents = Data->Bytes();
    w.CrcOfSource = CrcOfSource;
    if (Data->Size() < kVrCompressLimit) {
      std::vector<uint8_t> packed = Deflate(contents);  // never in place: Data stays as it is
      write(packed);
      w.Crc = Crc32(CrcOfSource ? contents.data() : packed.data(),
                    CrcOfSource ? contents.size() : packed.size());
    } else {
      write(contents);
      w.Stored = true;
      w.Crc = Crc32(contents.data(), contents.size());
    }
    return w;
  }

  TVrFileCollection* archive = Archive();

  // From a loose file.
  if (std::optional<std::string> path = archive ? archive->LooseFilePath(Name()) : std::nullopt) {
    TFileStream file(*path, plat::TFileMode::Read);
    int64_t size = file.GetSize();
    w.FileAge = HostFileAge(*path);
    w.CrcOfSource = CrcOfSource;
    if (ShouldCompress(file)) {
      TMemoryStream contents;
      CopyExact(contents, file, size, nullptr);
      std::vector<uint8_t> packed = Deflate(contents.Bytes());
      if (static_cast<int64_t>(packed.size()) > size * 9 / 10) {
        write(contents.Bytes());
        w.Stored = true;
        w.Crc = Crc32(contents.Memory(), static_cast<size_t>(size));
      } else {
        write(packed);
        w.Crc = CrcOfSource ? Crc32(contents.Memory(), static_cast<size_t>(size))
                            : Crc32(packed.data(), packed.size());
      }
    } else {
      file.SetPosition(0);
      uint32_t crc = 0;
      CopyExact(target, file, size, &crc);
      w.Size = size;
      w.Stored = true;
      w.Crc = crc;
    }
    return w;
  }

  // From the archive being rewritten: the stored bytes go across as they are, never inflated, with
  // the entry's flags, time and CRC (an archive older than version 101 kept no CRC: it is taken
  // over the bytes copied). So an entry whose data are damaged is carried over unchanged and never
  // keeps the other entries from being written. An entry whose loose file has gone and that no
  // archive data hold has no contents at all: it is never written as an empty entry.
  if (!archive || !archive->Stream()) {
    std::string text(Name());
    Raise<EFOpenError>(TMsg::FileNotFound, text.c_str());
  }
  const bool crc_kept = archive->loaded_version_ >= 101;
  uint32_t crc = 0;
  try {
    TStream& source = *archive->Stream();
    source.SetPosition(Offset);
    CopyExact(target, source, Size, crc_kept ? nullptr : &crc);
  } catch (const EWriteError&) {
    throw;
  } catch (const EStreamError& e) {
    // The old bytes cannot be read (any more): the caller may leave the entry out.
    throw EVrUnreadableEntry(e.Message(), Name());
  }
  w.Size = Size;
  w.Stored = Stored;
  w.Crc = crc_kept ? Crc : crc;
  w.CrcOfSource = crc_kept && CrcOfSource;
  return w;
}

bool TVrFileCollection::SaveToStream(TStream& stream) {
  if (&stream == stream_.get()) Raise<EWriteError>(TMsg::StreamWriteError);

  std::vector<TVrFile*> entries;
  entries.reserve(static_cast<size_t>(Count()));
  for (int32_t i = 0; i < Count(); ++i)
    if (!IsSentinel(*Files(i))) entries.push_back(Files(i));
  const size_t n = entries.size();
  const int32_t count = static_cast<int32_t>(n);

  // Header and scrambled names.
  std::vector<uint8_t> head;
  head.push_back('v');
  head.push_back('f');
  PutU32(head, static_cast<uint32_t>(kVrArchiveVersion));
  PutU32(head, static_cast<uint32_t>(count));
  {
    TXrRandom keys(kKeySeed);
    for (const TVrFile* entry : entries) {
      const std::string& name = entry->Name();
      PutU32(head, static_cast<uint32_t>(name.size()));
      for (char c : name) head.push_back(static_cast<uint8_t>(c) ^ static_cast<uint8_t>(keys.Raw()));
    }
  }
  stream.SetPosition(0);
  stream.WriteBytes(head);

  // Placeholders for the offsets and arrays.
  const int64_t p = stream.GetPosition();
  const size_t offsets_bytes = (n + 1) * 8;
  std::vector<uint8_t> tail(offsets_bytes + n * 10, 0);
  stream.WriteBytes(tail);

  std::vector<int64_t> offsets(n + 1);
  uint8_t* stored = tail.data() + offsets_bytes;
  uint8_t* ages = stored + n;
  uint8_t* crcs = ages + 4 * n;
  uint8_t* of_source = crcs + 4 * n;
  for (size_t k = 0; k < n; ++k) {
    TVrFile& entry = *entries[k];
    bool cancel = false;
    if (OnProgress) {
      OnProgress(*this, entry, 0, static_cast<int32_t>(k), count, cancel);
      if (cancel) return false;
    }
    offsets[k] = stream.GetPosition();
    TVrWritten w = entry.WriteData(stream);
    stored[k] = w.Stored ? 1 : 0;
    StoreU32(ages + 4 * k, static_cast<uint32_t>(w.FileAge));
    StoreU32(crcs + 4 * k, w.Crc);
    of_source[k] = w.CrcOfSource ? 1 : 0;
    if (OnProgress) {
      OnProgress(*this, entry, w.Size, static_cast<int32_t>(k), count, cancel);
      if (cancel) return false;
    }
  }
  const int64_t end = stream.GetPosition();
  offsets[n] = end;

  TXrRandom keys(kKeySeed);
  for (size_t i = 0; i <= n; ++i) {
    uint64_t v = static_cast<uint64_t>(offsets[i]) ^
                 static_cast<uint64_t>(static_cast<int64_t>(static_cast<int32_t>(keys.Raw())));
    StoreU32(&tail[i * 8], static_cast<uint32_t>(v));
    StoreU32(&tail[i * 8 + 4], static_cast<uint32_t>(v >> 32));
  }
  stream.SetPosition(p);
  stream.WriteBytes(tail);
  // A target that held more bytes before is cut to the new archive.
  if (stream.GetSize() > end) stream.SetSize(end);
  stream.SetPosition(end);
  return true;
}

uint32_t Crc32(const void* data, size_t size, uint32_t crc) {
  auto* p = static_cast<const Bytef*>(data);
  constexpr size_t kMaxStep = size_t{1} << 30;
  uLong value = crc;
  while (size > 0) {
    size_t step = size < kMaxStep ? size : kMaxStep;
    value = crc32(value, p, static_cast<uInt>(step));
    p += step;
    size -= step;
  }
  return static_cast<uint32_t>(value);
}

uint32_t StreamCrc32(TStream& stream) {
  stream.SetPosition(0);
  int64_t left = stream.GetSize();
  if (const uint8_t* memory = stream.DirectMemory()) {
    stream.SetPosition(left);
    return Crc32(memory, static_cast<size_t>(left));
  }
  constexpr int64_t kBlock = 1 << 20;
  std::vector<uint8_t> buffer(static_cast<size_t>(std::min(left, kBlock)));
  uint32_t crc = 0;
  while (left > 0) {
    int64_t got = stream.Read(buffer.data(), std::min(left, kBlock));
    if (got <= 0) break;
    crc = Crc32(buffer.data(), static_cast<size_t>(got), crc);
    left -= got;
  }
  return crc;
}

}  // namespace kova
