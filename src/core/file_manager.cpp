#include "core/file_manager.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "core/archive.h"
#include "core/errors.h"
#include "core/utils.h"
#include "core/host_path.h"
#include "core/sjis.h"
#include "platform/files/dirs.h"
#include "platform/files/file.h"
#include "platform/text/text_codec.h"

namespace kova {
namespace {

// Copies a whole memory stream into dest: a memory dest takes the bytes as its contents; any
// other dest receives them at its position. dest ends at position 0.
void CopyOut(TStream& dest, const TMemoryStream& contents) {
  const int64_t n = contents.Size();
  if (auto* mem = dynamic_cast<TMemoryStream*>(&dest)) {
    mem->SetSizeUninitialized(n);
    if (n > 0) std::memcpy(mem->Memory(), contents.Memory(), static_cast<size_t>(n));
  } else {
    dest.WriteBuffer(contents.Memory(), n);
  }
  dest.SetPosition(0);
}

// A write-only stream into a newly created work file.
class TWorkFileStream : public TStream {
 public:
  explicit TWorkFileStream(plat::TNewFile& file) : file_(file) {}
  int64_t Read(void*, int64_t) override { return 0; }
  int64_t Write(const void* buffer, int64_t count) override {
    if (count <= 0) return 0;
    if (!file_.WriteAll(buffer, count)) {
      failed_ = true;
      return 0;
    }
    position_ += count;
    return count;
  }
  // The file only grows at its end.
  int64_t Seek(int64_t, TSeekOrigin) override { return position_; }
  int64_t GetSize() override { return position_; }
  bool Failed() const { return failed_; }

 private:
  plat::TNewFile& file_;
  int64_t position_ = 0;
  bool failed_ = false;
};

[[noreturn]] void RaiseNotFound(std::string_view name) {
  std::string text(name);
  Raise<EReadError>(TMsg::FileNotFound, text.c_str());
}

}  // namespace

// ---- TVrCacheList ----

std::string TVrCacheList::KeyOf(std::string_view name) { return SjisUpperCase(name); }

TVrCache* TVrCacheList::Find(std::string_view name) {
  auto it = index_.find(KeyOf(name));
  if (it == index_.end()) return nullptr;
  if (it->second != entries_.begin()) entries_.splice(entries_.begin(), entries_, it->second);
  return &*it->second;
}

TVrCache& TVrCacheList::Add(std::string_view name, TMemoryStream contents) {
  std::string key = KeyOf(name);
  if (auto it = index_.find(key); it != index_.end()) Erase(it->second);
  while (!entries_.empty() && total_ > kLimit) Erase(std::prev(entries_.end()));
  total_ += contents.Size();
  entries_.emplace_front(key, std::move(contents));
  index_[std::move(key)] = entries_.begin();
  return entries_.front();
}

void TVrCacheList::Erase(std::list<TVrCache>::iterator it) {
  total_ -= it->Size();
  index_.erase(it->Key());
  entries_.erase(it);
}

void TVrCacheList::Clear() {
  index_.clear();
  entries_.clear();
  total_ = 0;
}

// ---- Locks ----

std::string TVrLockData::MakeTempName(const std::string& temp_folder, uint32_t id, std::string_view name) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%.8X", id);
  std::string path = temp_folder;
  path += "~kv";
  path += digits;
  std::string_view ext = GameFileExtension(name);
  bool ascii = true;
  for (char c : ext) ascii = ascii && static_cast<uint8_t>(c) < 0x80;
  path += ascii ? std::string(ext) : plat::Cp932ToUtf8(ext);
  return path;
}

TVrLockData& TVrLockList::Add(std::string_view name, const std::string& temp_folder) {
  const uint32_t id = next_id_;
  auto held = [this](uint32_t n) {
    for (const auto& l : locks_) if (l->Id() == n) return true;
    for (const auto& l : released_) if (l->Id() == n) return true;
    return false;
  };
  ++next_id_;
  while (held(next_id_)) ++next_id_;
  locks_.push_back(std::make_unique<TVrLockData>(std::string(name), id,
                                                 TVrLockData::MakeTempName(temp_folder, id, name)));
  return *locks_.back();
}

TVrLockData* TVrLockList::Find(std::string_view name) const {
  for (const auto& l : locks_) {
    if (l->Name() == name) return l.get();
  }
  return nullptr;
}

TVrLockData& TVrLockList::Items(int32_t i) const {
  if (i < 0 || i >= Count()) Raise<EListError>(TMsg::ListIndexError, i);
  return *locks_[static_cast<size_t>(i)];
}

void TVrLockList::Remove(const TVrLockData& lock) {
  for (auto it = locks_.begin(); it != locks_.end(); ++it) {
    if (it->get() == &lock) {
      QueueDeletion(**it);
      locks_.erase(it);
      return;
    }
  }
}

void TVrLockList::QueueDeletion(const TVrLockData& lock) {
  if (!lock.TempName().empty()) deletions_.push_back(lock.TempName());
}

void TVrLockList::Clear() {
  for (const auto& lock : released_) QueueDeletion(*lock);
  for (const auto& lock : locks_) QueueDeletion(*lock);
  released_.clear();
  locks_.clear();
}

void TVrLockList::Tick(int32_t frame_delta) {
  for (size_t i = released_.size(); i-- > 0;) {
    released_[i]->Delay -= frame_delta;
    if (released_[i]->Delay < 1) {
      QueueDeletion(*released_[i]);
      released_.erase(released_.begin() + static_cast<std::ptrdiff_t>(i));
    }
  }
}

void TVrLockList::DeleteTempFiles() {
  if (deletions_.empty()) return;
  for (const std::string& path : deletions_) plat::DeleteFile(path);
  deletions_.clear();
}

// ---- TVrFileManager ----

TVrFileManager::TVrFileManager(TVrFileManagerOptions options)
    : optical_(options.optical ? options.optical : &no_discs_), temp_parent_(std::move(options.temp_parent)) {
  SetCdRoots(options.cd_roots ? std::move(*options.cd_roots) : optical_->Roots());
}

TVrFileManager::~TVrFileManager() {
  archives_.clear();
  cache_.Clear();
  locks_.Clear();
  locks_.DeleteTempFiles();
  if (!temp_folder_.empty()) {
    plat::RemoveFlatDirectory(temp_folder_);
    plat::ForgetAtExit(temp_folder_);
  }
}

void TVrFileManager::SetFolder(const std::string& folder) {
  folder_ = folder;
  if (!folder_.empty() && folder_.back() != '/') folder_ += '/';
}

void TVrFileManager::SetCdRoots(std::vector<std::string> roots) {
  cd_roots_ = std::move(roots);
  for (std::string& r : cd_roots_) {
    if (!r.empty() && r.back() != '/') r += '/';
  }
}

int32_t TVrFileManager::AddArchive(const std::string& file_name) {
  return AddArchive(file_name, TVrPlacement::Auto);
}

int32_t TVrFileManager::AddArchive(const std::string& file_name, TVrPlacement placement) {
  for (const auto& a : archives_) {
    if (SjisSameText(file_name, a->Folder)) return -1;
  }
  auto archive = std::make_unique<TVrFileCollection>();
  archive->UseHostNames(host_names_);
  archive->OpenEx(file_name, false, placement);
  archives_.push_back(std::move(archive));
  return static_cast<int32_t>(archives_.size()) - 1;
}

int32_t TVrFileManager::AddResourceArchive(const std::string& module_name,
                                           const std::string& resource_name,
                                           const std::string& resource_type) {
  auto archive = std::make_unique<TVrFileCollection>();
  archive->UseHostNames(host_names_);
  archive->Modules = modules_;
  archive->OpenResource(module_name, resource_name, resource_type);
  archives_.push_back(std::move(archive));
  return static_cast<int32_t>(archives_.size()) - 1;
}

void TVrFileManager::DeleteArchive(int32_t i) {
  if (i < 0 || i >= ArchiveCount()) Raise<EListError>(TMsg::ListIndexError, i);
  archives_.erase(archives_.begin() + i);
}

TVrFileCollection& TVrFileManager::Archives(int32_t i) const {
  if (i < 0 || i >= ArchiveCount()) Raise<EListError>(TMsg::ListIndexError, i);
  return *archives_[static_cast<size_t>(i)];
}

std::optional<std::string> TVrFileManager::FolderFile(std::string_view name) const {
  if (folder_.empty()) return std::nullopt;
  return ResolveHostPath(host_names_, folder_, name);
}

std::optional<std::string> TVrFileManager::CdFile(std::string_view name) const {
  for (const std::string& root : cd_roots_) {
    if (std::optional<std::string> path = ResolveHostPath(host_names_, root, name)) return path;
  }
  return std::nullopt;
}

bool TVrFileManager::LoadUncached(TMemoryStream& out, std::string_view name) {
  if (std::optional<std::string> path = FolderFile(name)) {
    out.LoadFromFile(*path);
    return true;
  }
  for (const auto& a : archives_) {
    if (!a->HasStream()) continue;
    if (const TVrFile* entry = a->FindItem(name)) {
      a->ReadEntry(out, *entry);
      return true;
    }
  }
  if (std::optional<std::string> path = CdFile(name)) {
    out.LoadFromFile(*path);
    return true;
  }
  return false;
}

void TVrFileManager::LoadFile(TStream& dest, std::string_view name) {
  if (auto* mem = dynamic_cast<TMemoryStream*>(&dest)) {
    mem->SetSizeUninitialized(0);
    mem->SetPosition(0);
  }
  if (name.empty()) RaiseNotFound(name);
  if (const TVrCache* hit = cache_.Find(name); hit && hit->Size() > 0) {
    CopyOut(dest, hit->Contents());
    return;
  }
  // The file is loaded in full before it enters the cache: a failed load leaves nothing behind.
  TMemoryStream contents;
  if (!LoadUncached(contents, name)) RaiseNotFound(name);
  const TVrCache& entry = cache_.Add(name, std::move(contents));
  CopyOut(dest, entry.Contents());
}

bool TVrFileManager::FileExists(std::string_view name) const {
  if (name.empty()) return false;
  for (const auto& a : archives_) {
    if (a->IndexOf(name) >= 0) return true;
  }
  return FolderFile(name).has_value() || CdFile(name).has_value();
}

std::string TVrFileManager::GetRealFileName(std::string_view name) {
  if (name.empty()) return std::string();
  if (std::optional<std::string> path = FolderFile(name)) return *path;
  for (const auto& a : archives_) {
    if (a->IndexOf(name) < 0) continue;
    if (TVrLockData* lock = locks_.Find(name)) {
      ++lock->UseCount;
      return lock->TempName();
    }
    return ExtractToTemp(name);
  }
  if (std::optional<std::string> path = CdFile(name)) return *path;
  return std::string(name);
}

std::unique_ptr<TRangeStream> TVrFileManager::OpenRangeStream(std::string_view name) {
  if (name.empty()) RaiseNotFound(name);
  if (std::optional<std::string> path = FolderFile(name)) {
    return std::make_unique<TFileRangeStream>(*path, 0, 0);
  }
  for (const auto& a : archives_) {
    if (std::unique_ptr<TRangeStream> range = a->OpenRange(name)) return range;
  }
  if (std::optional<std::string> path = CdFile(name)) {
    return std::make_unique<TFileRangeStream>(*path, 0, 0);
  }
  RaiseNotFound(name);
}

const std::string& TVrFileManager::EnsureTempFolder() {
  if (temp_folder_.empty()) {
    const std::string parent = temp_parent_.empty() ? plat::SystemTempFolder() : temp_parent_;
    std::optional<std::string> dir = plat::MakePrivateDirectory(parent, "kovaplayer-");
    if (!dir) Raise<EFCreateError>(TMsg::WorkFileError);
    plat::RemoveAtExit(*dir);
    temp_folder_ = *dir + "/";
  }
  return temp_folder_;
}

void TVrFileManager::WriteWorkFile(const std::string& path, std::string_view name) {
  plat::TNewFile file;
  if (!file.Create(path)) {
    // A leftover of the same name (our own directory): replace it, never following a link.
    if (errno != EEXIST || !plat::DeleteFile(path) || !file.Create(path)) {
      Raise<EFCreateError>(TMsg::WorkFileError);
    }
  }
  TWorkFileStream out(file);
  try {
    if (const TVrCache* hit = cache_.Find(name); hit && hit->Size() > 0) {
      out.WriteBuffer(hit->Contents().Memory(), hit->Size());
    } else {
      const TVrFile* entry = nullptr;
      TVrFileCollection* source = nullptr;
      for (const auto& a : archives_) {
        if (!a->HasStream()) continue;
        if ((entry = a->FindItem(name)) != nullptr) {
          source = a.get();
          break;
        }
      }
      if (source) {
        // Stored entries are copied and compressed ones inflated block by block.
        source->ReadEntry(out, *entry);
      } else {
        TMemoryStream contents;
        if (!LoadUncached(contents, name)) RaiseNotFound(name);
        out.WriteBuffer(contents.Memory(), contents.Size());
      }
    }
  } catch (const EWriteError&) {
    if (out.Failed()) Raise<EFCreateError>(TMsg::WorkFileError);
    throw;
  }
  if (!file.Close()) Raise<EFCreateError>(TMsg::WorkFileError);
}

std::string TVrFileManager::ExtractToTemp(std::string_view name) {
  const std::string& folder = EnsureTempFolder();
  TVrLockData& lock = locks_.Add(name, folder);
  const std::string path = lock.TempName();
  try {
    WriteWorkFile(path, name);
  } catch (...) {
    plat::DeleteFile(path);
    locks_.Remove(lock);
    throw;
  }
  return path;
}

std::string TVrFileManager::ExtractFolder(std::string_view name) {
  const bool rooted = (name.size() >= 2 && name[0] == '\\' && name[1] == '\\') ||
                      (name.size() >= 2 && name[1] == ':');
  size_t end = 0;  // one past the last delimiter
  for (size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    if (IsSjisLeadByte(c) && i + 1 < name.size()) {
      ++i;
    } else if (c == '\\' || c == '/' || (rooted && c == ':')) {
      end = i + 1;
    }
  }
  return std::string(name.substr(0, end));
}

}  // namespace kova
