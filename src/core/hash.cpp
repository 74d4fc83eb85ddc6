#include "core/hash.h"

#include <algorithm>
#include <cstring>

#include "core/errors.h"
#include "core/lists.h"
#include "core/sjis.h"

namespace kova {
namespace {

constexpr uint64_t kHighBits = 0x8080808080808080ull;

// Up to 8 bytes of `p` as one little-endian word, zero-padded.
inline uint64_t LoadWord(const char* p, size_t n) noexcept {
  uint64_t w = 0;
  std::memcpy(&w, p, n < 8 ? n : 8);
  return w;
}

// Lower-cases the ASCII capitals of a word whose bytes are all below 0x80.
inline uint64_t FoldAsciiWord(uint64_t w) noexcept {
  const uint64_t ones = 0x0101010101010101ull;
  uint64_t at_least_a = w + ones * (0x80 - 'A');
  uint64_t above_z = w + ones * (0x80 - 'Z' - 1);
  uint64_t upper = at_least_a & ~above_z & kHighBits;
  return w | (upper >> 2);
}

bool IsAscii(std::string_view s) noexcept {
  const char* p = s.data();
  size_t n = s.size();
  uint64_t acc = 0;
  for (; n >= 8; p += 8, n -= 8) acc |= LoadWord(p, 8);
  if (n) acc |= LoadWord(p, n);
  return (acc & kHighBits) == 0;
}

inline uint64_t MixWord(uint64_t h, uint64_t w) noexcept {
  h = (h ^ w) * 0x9E3779B97F4A7C15ull;
  return h ^ (h >> 32);
}

inline size_t FinishHash(uint64_t h) noexcept {
  h ^= h >> 29;
  h *= 0xBF58476D1CE4E5B9ull;
  return static_cast<size_t>(h ^ (h >> 32));
}

// Hash of the folded bytes of `s`; `fold` folds one word of `s` (identity for folded text).
template <class Fold>
inline size_t HashWords(std::string_view s, Fold fold) noexcept {
  const char* p = s.data();
  size_t n = s.size();
  uint64_t h = 0x27D4EB2F165667C5ull ^ n;
  for (; n >= 8; p += 8, n -= 8) h = MixWord(h, fold(LoadWord(p, 8)));
  if (n) h = MixWord(h, fold(LoadWord(p, n)));
  return FinishHash(h);
}

inline char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c | 0x20) : c; }

std::string FoldName(std::string_view name) {
  if (IsAscii(name)) {
    std::string out(name);
    for (char& c : out) c = AsciiLower(c);
    return out;
  }
  return SjisLowerCase(name);
}

}  // namespace

// ---- TCollectionItem ----

void TCollectionItem::SetIndex(int32_t index) {
  if (collection_ && index_ >= 0 && index != index_) collection_->MoveItem(index_, index);
}

void TCollectionItem::Assign(const TCollectionItem& source) {
  Raise<EListError>(TMsg::AssignError, source.ClassName().c_str(), ClassName().c_str());
}

// ---- TCollection ----

TCollection::~TCollection() { TCollection::Clear(); }

TCollectionItem* TCollection::Items(int32_t index) const {
  if (index < 0 || index >= Count()) Raise<EListError>(TMsg::ListIndexError, index);
  return items_[static_cast<size_t>(index)].get();
}

std::unique_ptr<TCollectionItem> TCollection::CreateItem() { return std::make_unique<TCollectionItem>(); }

TCollectionItem* TCollection::Add() { return Append(CreateItem()); }

TCollectionItem* TCollection::Append(std::unique_ptr<TCollectionItem> item) {
  TCollectionItem* raw = item.get();
  raw->collection_ = this;
  raw->id_ = next_id_;
  raw->index_ = Count();
  items_.push_back(std::move(item));
  ++next_id_;
  try {
    raw->OnAdded();
  } catch (...) {
    raw->index_ = -1;
    items_.pop_back();
    throw;
  }
  return raw;
}

void TCollection::Delete(int32_t index) {
  if (index < 0 || index >= Count()) Raise<EListError>(TMsg::ListIndexError, index);
  auto pos = items_.begin() + index;
  (*pos)->OnRemoving();
  std::unique_ptr<TCollectionItem> item = std::move(*pos);
  pos = items_.erase(pos);
  for (int32_t i = index; pos != items_.end(); ++pos, ++i) (*pos)->index_ = i;
  item->index_ = -1;
  // The item is destroyed after it has left the list, so the collection is consistent meanwhile.
}

void TCollection::Clear() {
  // Last first: no later item is left to renumber.
  while (!items_.empty()) {
    items_.back()->OnRemoving();
    std::unique_ptr<TCollectionItem> item = std::move(items_.back());
    items_.pop_back();
    item->index_ = -1;
  }
}

void TCollection::MoveItem(int32_t from, int32_t to) {
  MoveListElement(items_, from, to);
  for (int32_t i = std::min(from, to), last = std::max(from, to); i <= last; ++i) {
    items_[static_cast<size_t>(i)]->index_ = i;
  }
}

// ---- HashName ----

int32_t HashName(std::string_view name) {
  const size_t n = name.size();
  uint32_t h = static_cast<uint32_t>(n) * 16u;
  if (n >= 2) {
    uint8_t first, second_last;
    if (IsAscii(name)) {
      first = static_cast<uint8_t>(AsciiLower(name[0]));
      second_last = static_cast<uint8_t>(AsciiLower(name[n - 2]));
    } else {
      std::string s = SjisLowerCase(name);
      first = static_cast<uint8_t>(s[0]);
      second_last = static_cast<uint8_t>(s[n - 2]);
    }
    h += second_last + first;
  }
  return static_cast<int32_t>(h & 255u);
}

// ---- THashCollectionItem ----

void THashCollectionItem::Attach(TChain* chain) noexcept {
  chain_ = chain;
  previous_ = nullptr;
  next_ = chain->second;
  if (next_) next_->previous_ = this;
  chain->second = this;
}

void THashCollectionItem::Detach() noexcept {
  if (previous_) {
    previous_->next_ = next_;
  } else if (chain_) {
    chain_->second = next_;
  }
  if (next_) next_->previous_ = previous_;
  previous_ = nullptr;
  next_ = nullptr;
  chain_ = nullptr;
}

void THashCollectionItem::OnAdded() {
  hash_ = dynamic_cast<THashCollection*>(Collection());
  bucket_ = HashName(name_);
  if (hash_) Attach(hash_->AcquireChain(name_));
}

void THashCollectionItem::OnRemoving() noexcept {
  if (TChain* old = chain_) {
    Detach();
    if (!old->second) hash_->ReleaseChain(old);
  }
  hash_ = nullptr;
}

void THashCollectionItem::SetName(std::string_view name) {
  if (name == name_) return;
  // Everything that can throw comes first, so a failure leaves the item as it was.
  std::string new_name(name);
  const int32_t bucket = HashName(new_name);
  if (!hash_) {
    name_.swap(new_name);
    bucket_ = bucket;
    return;
  }
  TChain* chain = hash_->AcquireChain(new_name);
  TChain* old = chain_;
  Detach();
  name_.swap(new_name);
  bucket_ = bucket;
  Attach(chain);
  if (old && old != chain && !old->second) hash_->ReleaseChain(old);
}

void THashCollectionItem::Assign(const TCollectionItem& source) {
  if (auto* item = dynamic_cast<const THashCollectionItem*>(&source)) {
    SetName(item->Name());
  } else {
    TCollectionItem::Assign(source);
  }
}

std::string THashCollectionItem::GetDisplayName() const {
  return name_.empty() ? TCollectionItem::GetDisplayName() : name_;
}

// ---- THashCollection ----

size_t THashCollection::TFoldedHash::operator()(std::string_view folded) const noexcept {
  return HashWords(folded, [](uint64_t w) { return w; });
}

size_t THashCollection::TFoldedHash::operator()(TAsciiName name) const noexcept {
  return HashWords(name.text, FoldAsciiWord);
}

bool THashCollection::TFoldedEqual::operator()(TAsciiName a, std::string_view folded) const noexcept {
  const size_t n = a.text.size();
  if (n != folded.size()) return false;
  const char* p = a.text.data();
  const char* q = folded.data();
  size_t i = 0;
  for (; i + 8 <= n; i += 8) {
    if (FoldAsciiWord(LoadWord(p + i, 8)) != LoadWord(q + i, 8)) return false;
  }
  return i == n || FoldAsciiWord(LoadWord(p + i, n - i)) == LoadWord(q + i, n - i);
}

THashCollection::~THashCollection() { THashCollection::Clear(); }

std::unique_ptr<TCollectionItem> THashCollection::CreateItem() { return CreateHashItem(); }

std::unique_ptr<THashCollectionItem> THashCollection::CreateHashItem() {
  return std::make_unique<THashCollectionItem>();
}

THashCollectionItem* THashCollection::Add(std::string_view name) {
  THashCollectionItem* item = Add();
  try {
    item->SetName(name);
  } catch (...) {
    Delete(item->Index());
    throw;
  }
  return item;
}

void THashCollection::Reserve(size_t count) {
  ReserveItems(count);
  chains_.reserve(chains_.size() + count);
}

THashCollectionItem* THashCollection::AddLoaded(std::string&& name) {
  std::unique_ptr<THashCollectionItem> item = CreateHashItem();
  item->name_ = std::move(name);
  return static_cast<THashCollectionItem*>(Append(std::move(item)));
}

THashCollectionItem* THashCollection::FindItem(std::string_view name) const {
  TChainMap::const_iterator it;
  if (IsAscii(name)) {
    it = chains_.find(TAsciiName{name});
  } else {
    std::string folded = SjisLowerCase(name);
    it = chains_.find(std::string_view(folded));
  }
  return it == chains_.end() ? nullptr : it->second;
}

int32_t THashCollection::IndexOf(std::string_view name) const {
  const THashCollectionItem* item = FindItem(name);
  return item ? item->Index() : -1;
}

THashCollectionItem::TChain* THashCollection::AcquireChain(std::string_view name) {
  // One look-up: the folded key is made first (short names fit the string itself), and a node is
  // made only when the key is new.
  return &*chains_.try_emplace(FoldName(name), nullptr).first;
}

void THashCollection::ReleaseChain(THashCollectionItem::TChain* chain) noexcept {
  // Every new item passes through the empty name's entry: it stays.
  if (chain->first.empty()) return;
  auto it = chains_.find(std::string_view(chain->first));
  if (it != chains_.end()) chains_.erase(it);
}

void THashCollection::Clear() {
  // Drop the whole name index at once; the items then leave without unlinking one by one.
  for (const auto& item : ItemList()) {
    auto* hash_item = static_cast<THashCollectionItem*>(item.get());
    hash_item->chain_ = nullptr;
    hash_item->previous_ = nullptr;
    hash_item->next_ = nullptr;
    hash_item->hash_ = nullptr;
  }
  chains_.clear();
  TCollection::Clear();
}

}  // namespace kova
