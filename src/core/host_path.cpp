#include "core/host_path.h"

#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "core/sjis.h"
#include "platform/files/dirs.h"
#include "platform/text/text_codec.h"

namespace kova {
namespace host_path_detail {

// One directory's names, indexed by their folded code-page 932 form.
struct TListing {
  plat::TDirStamp stamp;
  bool trusted = false;  // taken after the clock had passed the directory's modification time
  std::vector<plat::TDirEntry> entries;
  // folded key -> the entries whose names fold to it, in listing order
  std::unordered_map<std::string, std::vector<uint32_t>> by_key;
};

}  // namespace host_path_detail

struct THostPathCacheAccess {
  static std::mutex& Mutex(THostPathCache& c) { return c.mutex_; }
  static auto& Listings(THostPathCache& c) { return c.listings_; }
};

namespace {

using host_path_detail::TListing;

constexpr size_t kMaxListings = 512;

bool HasHighBytes(std::string_view s) {
  for (char c : s) {
    if (static_cast<uint8_t>(c) >= 0x80) return true;
  }
  return false;
}

// The code-page 932 form of a name on disk: converted from UTF-8 when it is valid UTF-8 that code
// page 932 can hold, else nothing (the raw bytes are then the only form).
std::optional<std::string> Utf8NameAsCp932(const std::string& name) {
  if (!HasHighBytes(name)) return std::nullopt;
  plat::TConvertResult r = plat::ConvertText(name, plat::TCodePage::Utf8, plat::TCodePage::Cp932);
  if (r.unmapped != 0 || r.text == name) return std::nullopt;
  return std::move(r.text);
}

std::shared_ptr<const TListing> ScanDirectory(THostPathCache& cache, const std::string& dir) {
  std::mutex& mutex = THostPathCacheAccess::Mutex(cache);
  auto& listings = THostPathCacheAccess::Listings(cache);
  const int64_t now = plat::CoarseNowNs();
  std::optional<plat::TDirStamp> stamp = plat::DirectoryStamp(dir);
  if (!stamp) return nullptr;
  {
    std::lock_guard lock(mutex);
    auto it = listings.find(dir);
    if (it != listings.end() && it->second->trusted && it->second->stamp == *stamp) return it->second;
  }
  std::optional<std::vector<plat::TDirEntry>> entries = plat::ListDirectory(dir);
  if (!entries) return nullptr;
  auto listing = std::make_shared<TListing>();
  listing->stamp = *stamp;
  listing->trusted = now > stamp->mtime_ns;
  listing->entries = std::move(*entries);
  listing->by_key.reserve(listing->entries.size() * 2);
  for (uint32_t i = 0; i < listing->entries.size(); ++i) {
    const std::string& name = listing->entries[i].name;
    std::string raw_key = SjisUpperCase(name);
    if (std::optional<std::string> converted = Utf8NameAsCp932(name)) {
      std::string key = SjisUpperCase(*converted);
      if (key != raw_key) listing->by_key[std::move(key)].push_back(i);
    }
    listing->by_key[std::move(raw_key)].push_back(i);
  }
  std::lock_guard lock(mutex);
  if (listings.size() >= kMaxListings) listings.clear();
  listings[dir] = listing;
  return listing;
}

// Splits a game name into its components, walking Shift-JIS characters so that a trail byte equal
// to "\" never splits. False for names that must not be resolved.
bool SplitGameName(std::string_view name, std::vector<std::string_view>& parts) {
  parts.clear();
  if (name.empty()) return false;
  if (name[0] == '\\' || name[0] == '/') return false;               // absolute
  if (name.size() >= 2 && name[1] == ':') return false;               // drive prefix
  size_t start = 0;
  auto flush = [&](size_t end) {
    std::string_view part = name.substr(start, end - start);
    if (part.empty() || part == ".") return true;
    if (part == "..") return false;
    parts.push_back(part);
    return true;
  };
  for (size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    if (c == 0) return false;
    if (IsSjisLeadByte(c) && i + 1 < name.size()) {
      if (name[i + 1] == 0) return false;
      ++i;
      continue;
    }
    if (c == '\\' || c == '/') {
      if (!flush(i)) return false;
      start = i + 1;
    }
  }
  if (!flush(name.size())) return false;
  return !parts.empty();
}

// The host folder without its trailing delimiter ("" for the current directory, "/" for the root).
std::string NormalizeFolder(const std::string& folder) {
  std::string f = folder;
  while (f.size() > 1 && f.back() == '/') f.pop_back();
  if (f.size() > 1 && f.back() == '\\') {
    // A folder written with the game's delimiter at its end.
    std::string bare = f.substr(0, f.size() - 1);
    if (plat::PathKind(f) != plat::TPathKind::Directory &&
        plat::PathKind(bare) == plat::TPathKind::Directory) {
      f = std::move(bare);
    }
  }
  return f;
}

std::string Join(const std::string& dir, std::string_view name) {
  std::string path;
  path.reserve(dir.size() + 1 + name.size());
  path = dir;
  if (!path.empty() && path.back() != '/') path += '/';
  path += name;
  return path;
}

// The name on disk within `dir` that matches `part` and is of kind `want`.
std::optional<std::string> MatchComponent(THostPathCache& cache, const std::string& dir,
                                          std::string_view part, plat::TPathKind want) {
  std::shared_ptr<const TListing> listing = ScanDirectory(cache, dir);
  if (!listing) return std::nullopt;
  auto it = listing->by_key.find(SjisUpperCase(part));
  if (it == listing->by_key.end()) return std::nullopt;
  const std::vector<uint32_t>& matches = it->second;
  auto accept = [&](const plat::TDirEntry& e) {
    const plat::TPathKind kind =
        e.kind == plat::TPathKind::Missing ? plat::PathKind(Join(dir, e.name)) : e.kind;
    return kind == want;
  };
  if (matches.size() == 1) {
    const plat::TDirEntry& e = listing->entries[matches[0]];
    if (accept(e)) return e.name;
    return std::nullopt;
  }
  // Several names fold alike: the byte-exact name first, then the UTF-8 spelling of the same
  // name, then the case variants in listing order.
  auto rank = [&](const std::string& n) {
    if (n == part) return 0;
    std::optional<std::string> c = Utf8NameAsCp932(n);
    return c && *c == part ? 1 : 2;
  };
  for (int wanted = 0; wanted < 3; ++wanted) {
    for (uint32_t i : matches) {
      const plat::TDirEntry& e = listing->entries[i];
      if (rank(e.name) == wanted && accept(e)) return e.name;
    }
  }
  return std::nullopt;
}

std::optional<std::string> Resolve(THostPathCache& cache, const std::string& host_folder,
                                   std::string_view game_name, plat::TPathKind want) {
  std::vector<std::string_view> parts;
  if (!SplitGameName(game_name, parts)) return std::nullopt;
  const std::string folder = NormalizeFolder(host_folder);

  // The exact spelling: one stat.
  std::string exact = folder;
  for (std::string_view p : parts) exact = Join(exact, p);
  if (plat::PathKind(exact) == want) return exact;
  if (HasHighBytes(game_name)) {
    plat::TConvertResult utf8 = plat::ConvertText(exact.substr(folder.size()), plat::TCodePage::Cp932,
                                                  plat::TCodePage::Utf8);
    if (utf8.unmapped == 0) {
      std::string path = folder + utf8.text;
      if (plat::PathKind(path) == want) return path;
    }
  }

  // Component by component through the directory listings.
  std::string path = folder;
  for (size_t i = 0; i < parts.size(); ++i) {
    const bool last = i + 1 == parts.size();
    std::optional<std::string> name =
        MatchComponent(cache, path, parts[i], last ? want : plat::TPathKind::Directory);
    if (!name) return std::nullopt;
    path = Join(path, *name);
  }
  return path;
}

}  // namespace

THostPathCache::THostPathCache() = default;
THostPathCache::~THostPathCache() = default;

void THostPathCache::Clear() {
  std::lock_guard lock(mutex_);
  listings_.clear();
}

size_t THostPathCache::Count() const {
  std::lock_guard lock(mutex_);
  return listings_.size();
}

std::optional<std::string> ResolveHostPath(THostPathCache& cache, const std::string& host_folder,
                                           std::string_view game_name) {
  return Resolve(cache, host_folder, game_name, plat::TPathKind::File);
}

std::optional<std::string> ResolveHostFolder(THostPathCache& cache, const std::string& host_folder,
                                             std::string_view game_name) {
  if (game_name.empty()) {
    std::string folder = NormalizeFolder(host_folder);
    if (plat::PathKind(folder.empty() ? "." : folder) != plat::TPathKind::Directory) return std::nullopt;
    return folder;
  }
  return Resolve(cache, host_folder, game_name, plat::TPathKind::Directory);
}

}  // namespace kova
