// Archives: opening in every placement, lookups, reading entries and range windows.
#include "core/archive.h"

#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <utility>

#include "core/archive_internal.h"
#include "core/big_stream.h"
#include "core/errors.h"
#include "core/host_path.h"
#include "core/resources.h"
#include "core/sjis.h"
#include "platform/text/text_codec.h"

namespace kova {

namespace {

bool StatRegular(const std::string& path, struct stat& st) {
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// The extension of a host path's last component, with its point ("" when none).
std::string_view HostExtension(std::string_view path) {
  size_t slash = path.find_last_of('/');
  size_t dot = path.find_last_of('.');
  if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) return {};
  return path.substr(dot);
}

bool SameAsciiText(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
           return lower(x) == lower(y);
         });
}

// The program's own file (the running executable), for recognising "our own module".
const std::string& ProgramPath() {
  static const std::string path = [] {
    char buffer[4096];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
  }();
  return path;
}

bool IsOwnModule(const std::string& module_name) {
  if (module_name.empty()) return true;
  const std::string& own = ProgramPath();
  if (own.empty()) return false;
  std::string_view base = own;
  if (size_t slash = base.find_last_of('/'); slash != std::string_view::npos) base.remove_prefix(slash + 1);
  return SjisSameText(module_name, own) || SjisSameText(module_name, base);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Internal helpers shared by the reader and the writer.

namespace archive_detail {

void ReadExact(TStream& source, void* buffer, int64_t count) {
  if (count > 0 && source.Read(buffer, count) != count) Raise<EReadError>(TMsg::StreamReadError);
}

void CopyExact(TStream& dest, TStream& source, int64_t count, uint32_t* crc) {
  if (count <= 0) return;
  if (const uint8_t* memory = source.DirectMemory()) {
    int64_t position = source.GetPosition();
    if (source.GetSize() - position < count) Raise<EReadError>(TMsg::StreamReadError);
    if (crc) *crc = Crc32(memory + position, static_cast<size_t>(count), *crc);
    dest.WriteBuffer(memory + position, count);
    source.Seek(count, TSeekOrigin::Current);
    return;
  }
  if (auto* memory_dest = dynamic_cast<TMemoryStream*>(&dest)) {
    // Straight into the destination's block: one read, no bounce buffer.
    int64_t at = memory_dest->GetPosition();
    int64_t old_size = memory_dest->Size();
    int64_t end = at + count;
    if (end > old_size) memory_dest->SetSizeUninitialized(end);
    int64_t got = source.Read(memory_dest->Memory() + at, count);
    if (got != count) {
      memory_dest->SetSize(old_size);
      Raise<EReadError>(TMsg::StreamReadError);
    }
    if (crc) *crc = Crc32(memory_dest->Memory() + at, static_cast<size_t>(count), *crc);
    memory_dest->SetPosition(end);
    return;
  }
  const int64_t block = std::min<int64_t>(count, kCopyBlock);
  std::unique_ptr<uint8_t[]> buffer(new uint8_t[static_cast<size_t>(block)]);
  while (count > 0) {
    int64_t want = std::min(block, count);
    ReadExact(source, buffer.get(), want);
    if (crc) *crc = Crc32(buffer.get(), static_cast<size_t>(want), *crc);
    dest.WriteBuffer(buffer.get(), want);
    count -= want;
  }
}

void InflateExact(TStream& dest, TStream& source, int64_t count, int64_t limit) {
  z_stream z{};
  if (inflateInit(&z) != Z_OK) Raise<EZDecompressionError>(TMsg::DecompressError);
  struct TEnd {
    z_stream* z;
    ~TEnd() { inflateEnd(z); }
  } end{&z};

  auto* memory_dest = dynamic_cast<TMemoryStream*>(&dest);
  const int64_t dest_start = dest.GetPosition();
  const int64_t old_size = memory_dest ? memory_dest->Size() : 0;
  auto fail = [&](TMsg msg) {
    if (memory_dest) memory_dest->SetSize(old_size);
    if (msg == TMsg::StreamReadError) Raise<EReadError>(msg);
    Raise<EZDecompressionError>(msg);
  };

  // Input: in place when the source lies in memory, else in blocks.
  const uint8_t* direct = source.DirectMemory();
  std::unique_ptr<uint8_t[]> in_buffer;
  int64_t in_left = count;
  if (direct) {
    int64_t position = source.GetPosition();
    if (source.GetSize() - position < count) fail(TMsg::StreamReadError);
    direct += position;
    source.Seek(count, TSeekOrigin::Current);
  } else {
    in_buffer.reset(new uint8_t[static_cast<size_t>(std::min<int64_t>(count, kInflateBlock))]);
  }

  // Output: straight into a memory destination (grown as needed), else through a block.
  std::unique_ptr<uint8_t[]> out_buffer;
  int64_t out_at = dest_start;  // memory destination: where the next inflated byte goes
  int64_t capacity = 0;         // memory destination: its size while inflating
  // A memory destination never grows past the limit and one byte (that byte tells an entry
  // that inflates to exactly the limit from a longer one).
  const int64_t most = dest_start + limit + 1;
  if (memory_dest) {
    capacity = std::max(old_size, std::min(most, dest_start + std::max<int64_t>(std::min(count, limit) * 4, 4096)));
    memory_dest->SetSizeUninitialized(capacity);
  } else {
    out_buffer.reset(new uint8_t[kInflateBlock]);
  }

  int status = Z_OK;
  while (status != Z_STREAM_END) {
    if (z.avail_in == 0 && in_left > 0) {
      int64_t take = std::min<int64_t>(in_left, direct ? int64_t{1} << 30 : kInflateBlock);
      if (direct) {
        z.next_in = const_cast<Bytef*>(direct);
        direct += take;
      } else {
        if (source.Read(in_buffer.get(), take) != take) fail(TMsg::StreamReadError);
        z.next_in = in_buffer.get();
      }
      z.avail_in = static_cast<uInt>(take);
      in_left -= take;
    }
    uint8_t* out;
    int64_t room;
    if (memory_dest) {
      if (capacity - out_at < kInflateBlock / 4 && capacity < most) {
        capacity = std::min(most, std::max(out_at + kInflateBlock, capacity + capacity / 2));
        memory_dest->SetSizeUninitialized(capacity);
      }
      out = memory_dest->Memory() + out_at;
      room = std::min<int64_t>(capacity - out_at, int64_t{1} << 30);
    } else {
      out = out_buffer.get();
      room = kInflateBlock;
    }
    z.next_out = out;
    z.avail_out = static_cast<uInt>(room);
    status = inflate(&z, Z_NO_FLUSH);
    if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR)
      fail(TMsg::DecompressError);
    int64_t produced = room - static_cast<int64_t>(z.avail_out);
    if (memory_dest) {
      out_at += produced;
      if (out_at - dest_start > limit) fail(TMsg::DecompressError);
    } else if (produced > 0) {
      out_at += produced;
      if (out_at - dest_start > limit) fail(TMsg::DecompressError);
      dest.WriteBuffer(out, produced);
    }
    // No progress with all input consumed: the data end before the zlib stream does.
    if (status != Z_STREAM_END && z.avail_in == 0 && in_left == 0 && produced == 0)
      fail(TMsg::DecompressError);
  }
  if (memory_dest) {
    memory_dest->SetSizeUninitialized(std::max(old_size, out_at));
    memory_dest->SetPosition(out_at);
  }
}

}  // namespace archive_detail

using namespace archive_detail;

// ---------------------------------------------------------------------------------------------
// TVrFile

TVrFileCollection* TVrFile::Archive() const { return dynamic_cast<TVrFileCollection*>(Collection()); }

// ---------------------------------------------------------------------------------------------
// TVrFileCollection: opening

TVrFileCollection::TVrFileCollection() = default;

TVrFileCollection::~TVrFileCollection() { THashCollection::Clear(); }

void TVrFileCollection::ResetArchive() {
  THashCollection::Clear();
  stream_.reset();
  module_.reset();
  resource_name_.clear();
  resource_type_.clear();
  data_path_.clear();
  data_dev_ = 0;
  data_ino_ = 0;
  loaded_version_ = kVrArchiveVersion;
}

void TVrFileCollection::Close() { ResetArchive(); }

void TVrFileCollection::RaiseCorrupt() const {
  std::string name = IsResource() ? resource_name_ : plat::Utf8ToCp932(FileName);
  Raise<EReadError>(TMsg::ArchiveCorrupt, name.c_str());
}

void TVrFileCollection::OpenEx(const std::string& host_path, bool as_archive,
                               TVrPlacement placement) {
  ResetArchive();
  FileName = host_path;
  struct stat st {};
  bool exists = StatRegular(host_path, st);
  if (!exists && !as_archive) {
    Folder = host_path;
  } else {
    size_t slash = host_path.find_last_of('/');
    Folder = slash == std::string::npos ? std::string("./") : host_path.substr(0, slash + 1);
  }
  if (!Folder.empty() && Folder.back() != '/') Folder += '/';
  if (!exists) return;

  try {
    LoadPlaced(host_path, placement);
    data_dev_ = static_cast<uint64_t>(st.st_dev);
    data_ino_ = static_cast<uint64_t>(st.st_ino);
  } catch (...) {
    ResetArchive();
    throw;
  }
}

void TVrFileCollection::LoadPlaced(const std::string& host_path, TVrPlacement placement) {
  std::string sidecar;
  {
    std::string_view ext = HostExtension(host_path);
    sidecar = host_path.substr(0, host_path.size() - ext.size()) + ".ext";
    if (placement == TVrPlacement::Auto) {
      struct stat st {};
      if (SameAsciiText(ext, ".exe") || SameAsciiText(ext, ".scr"))
        placement = TVrPlacement::Appended;
      else if (sidecar != host_path && StatRegular(sidecar, st))
        placement = TVrPlacement::Sidecar;
      else
        placement = TVrPlacement::Plain;
    }
  }

  auto file = std::make_shared<TXrBigFileStream>(host_path, plat::TFileMode::Read);
  stream_ = file;
  data_path_ = host_path;
  const int64_t size = file->GetSize();

  switch (placement) {
    case TVrPlacement::Auto:
    case TVrPlacement::Plain:
      file->SetPosition(0);
      ReadDirectory(*file, size);
      break;
    case TVrPlacement::Appended: {
      constexpr int64_t kTrailer = 6;
      if (size < kTrailer) RaiseCorrupt();
      uint8_t trailer[kTrailer];
      file->SetPosition(size - kTrailer);
      ReadExact(*file, trailer, kTrailer);
      if (trailer[4] != 'k' || trailer[5] != 'v') RaiseCorrupt();
      int64_t d = static_cast<int32_t>(trailer[0] | (trailer[1] << 8) | (trailer[2] << 16) |
                                       (static_cast<uint32_t>(trailer[3]) << 24));
      if (d < 0 || d > size - kTrailer) RaiseCorrupt();
      file->SetPosition(d);
      ReadDirectory(*file, size - kTrailer);
      break;
    }
    case TVrPlacement::Sidecar: {
      TMemoryStream directory;
      directory.LoadFromFile(sidecar);
      ReadDirectory(directory, size);
      break;
    }
  }
}

void TVrFileCollection::OpenStream(std::unique_ptr<TStream> stream) {
  ResetArchive();
  try {
    stream_ = std::move(stream);
    stream_->SetPosition(0);
    ReadDirectory(*stream_, stream_->GetSize());
  } catch (...) {
    ResetArchive();
    throw;
  }
}

void TVrFileCollection::OpenResource(const std::string& module_name,
                                     const std::string& resource_name,
                                     const std::string& resource_type) {
  ResetArchive();
  std::shared_ptr<const TResourceModule> module;
  if (IsOwnModule(module_name)) {
    module = Modules.program;
    // The program's own table lives as long as the program: share it without owning it.
    if (!module) module = std::shared_ptr<const TResourceModule>(std::shared_ptr<void>(), &ProgramResources());
  } else {
    if (Modules.loader) module = Modules.loader(module_name);
    if (!module) return;  // a module that cannot be loaded leaves the archive empty
  }
  OpenResource(std::move(module), resource_name, resource_type);
}

void TVrFileCollection::OpenResource(std::shared_ptr<const TResourceModule> module,
                                     const std::string& resource_name,
                                     const std::string& resource_type) {
  ResetArchive();
  if (!module) return;
  FileName = resource_name;
  try {
    auto stream = std::make_shared<TXrBigResourceStream>(*module, resource_name, resource_type);
    if (stream->GetSize() == 0) Raise<EReadError>(TMsg::ResourceNotFound);
    module_ = std::move(module);
    resource_name_ = resource_name;
    resource_type_ = resource_type;
    stream_ = stream;
    ReadDirectory(*stream, stream->GetSize());
  } catch (...) {
    ResetArchive();
    throw;
  }
}

// ---------------------------------------------------------------------------------------------
// Entries

TVrFile* TVrFileCollection::Add(std::string_view name) { return THashCollectionOf<TVrFile>::Add(name); }

TVrFile* TVrFileCollection::AddData(std::string_view name) {
  TVrFile* entry = Add(name);
  entry->Data = std::make_unique<TMemoryStream>();
  return entry;
}

void TVrFileCollection::Delete(std::string_view name) {
  while (TVrFile* entry = FindItem(name)) THashCollection::Delete(entry->Index());
}

TVrFile* TVrFileCollection::FindItem(std::string_view name) const {
  if (name.size() == kVrEofName.size() && SjisSameText(name, kVrEofName)) return nullptr;
  return THashCollectionOf<TVrFile>::FindItem(name);
}

int32_t TVrFileCollection::IndexOf(std::string_view name) const {
  const TVrFile* entry = FindItem(name);
  return entry ? entry->Index() : -1;
}

int32_t TVrFileCollection::EntryCount() const {
  int32_t n = Count();
  if (n > 0 && Items(n - 1)->Name() == kVrEofName) --n;
  return n;
}

// ---------------------------------------------------------------------------------------------
// Reading

std::optional<std::string> TVrFileCollection::LooseFilePath(std::string_view name) const {
  if (Folder.empty() || name.empty()) return std::nullopt;
  std::optional<std::string> path = ResolveHostPath(HostNames(), Folder, name);
  if (path && data_ino_ != 0) {
    struct stat st {};
    if (::stat(path->c_str(), &st) == 0 && static_cast<uint64_t>(st.st_dev) == data_dev_ &&
        static_cast<uint64_t>(st.st_ino) == data_ino_)
      return std::nullopt;  // the archive file itself is never a loose file of its own
  }
  return path;
}

void TVrFileCollection::ReadFile(TStream& dest, std::string_view name) {
  auto* memory_dest = dynamic_cast<TMemoryStream*>(&dest);
  if (memory_dest) memory_dest->Clear();

  if (std::optional<std::string> path = LooseFilePath(name)) {
    if (memory_dest) {
      memory_dest->LoadFromFile(*path);
    } else {
      TFileStream file(*path, plat::TFileMode::Read);
      CopyExact(dest, file, file.GetSize(), nullptr);
    }
    dest.SetPosition(0);
    return;
  }

  const TVrFile* entry = FindItem(name);
  if (!entry || (!entry->Data && !HasStream())) {
    std::string text(name);
    Raise<EFOpenError>(TMsg::FileNotFound, text.c_str());
  }
  ReadEntry(dest, *entry);
  dest.SetPosition(0);
}

void TVrFileCollection::ReadEntry(TStream& dest, const TVrFile& entry) {
  if (entry.Data) {
    dest.WriteBytes(entry.Data->Bytes());
    return;
  }
  if (entry.Size <= 0) return;  // an empty entry is an empty file, compressed or not
  if (!stream_) {
    std::string text(entry.Name());
    Raise<EFOpenError>(TMsg::FileNotFound, text.c_str());
  }
  stream_->SetPosition(entry.Offset);
  if (entry.Stored)
    CopyExact(dest, *stream_, entry.Size, nullptr);
  else
    InflateExact(dest, *stream_, entry.Size);
}

namespace {

// A read-only view over bytes kept alive by a shared owner (a resource module, a memory-backed
// archive stream): several windows read it at once, each with its own position.
class TSharedSpanStream : public TStream {
 public:
  TSharedSpanStream(std::shared_ptr<const void> owner, std::span<const uint8_t> bytes)
      : owner_(std::move(owner)), view_(bytes) {}
  int64_t Read(void* buffer, int64_t count) override { return view_.Read(buffer, count); }
  int64_t Write(const void*, int64_t) override { return 0; }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override { return view_.Seek(offset, origin); }
  int64_t GetSize() override { return view_.GetSize(); }
  const uint8_t* DirectMemory() const override { return view_.DirectMemory(); }

 private:
  std::shared_ptr<const void> owner_;
  TSpanStream view_;
};

std::unique_ptr<TRangeStream> MemoryRange(std::unique_ptr<TMemoryStream> memory) {
  return std::make_unique<TRangeStream>(std::move(memory), 0, 0);
}

}  // namespace

std::unique_ptr<TRangeStream> TVrFileCollection::OpenRange(std::string_view name) {
  const TVrFile* entry = FindItem(name);
  if (!entry || (!entry->Data && !stream_)) return nullptr;

  if (entry->Data || !entry->Stored || entry->Size <= 0) {
    // The window must hold the contents: inflate (or copy) them into memory.
    auto memory = std::make_unique<TMemoryStream>();
    ReadEntry(*memory, *entry);
    return MemoryRange(std::move(memory));
  }
  if (!data_path_.empty())
    return std::make_unique<TFileRangeStream>(data_path_, entry->Size, entry->Offset);
  if (const uint8_t* memory = stream_->DirectMemory()) {
    // A resource (of this archive's own module) or a memory-backed archive: read in place.
    std::shared_ptr<const void> owner =
        module_ ? std::shared_ptr<const void>(module_) : std::shared_ptr<const void>(stream_);
    std::span<const uint8_t> bytes(memory, static_cast<size_t>(stream_->GetSize()));
    return std::make_unique<TRangeStream>(std::make_unique<TSharedSpanStream>(owner, bytes),
                                          entry->Size, entry->Offset);
  }
  auto copy = std::make_unique<TMemoryStream>();
  ReadEntry(*copy, *entry);
  return MemoryRange(std::move(copy));
}

}  // namespace kova
