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

// The name index's code of a name without regard to case: that of its folded bytes.
size_t NameKeyHash(std::string_view name) {
  if (IsAscii(name)) return HashWords(name, FoldAsciiWord);
  const std::string folded = SjisLowerCase(name);
  return HashWords(folded, [](uint64_t w) { return w; });
}

// Whether two names are equal without regard to case; plain ASCII is folded a word at a time.
bool SameFoldedName(std::string_view a, std::string_view b) noexcept {
  const size_t n = a.size();
  if (n != b.size()) return false;
  const char* p = a.data();
  const char* q = b.data();
  for (size_t i = 0; i < n; i += 8) {
    const size_t len = n - i < 8 ? n - i : 8;
    const uint64_t wa = LoadWord(p + i, len);
    const uint64_t wb = LoadWord(q + i, len);
    if ((wa | wb) & kHighBits) return SjisLowerCase(a) == SjisLowerCase(b);
    if (FoldAsciiWord(wa) != FoldAsciiWord(wb)) return false;
  }
  return true;
}

}  // namespace

// ---- TItemDeleter ----

void TItemDeleter::operator()(TCollectionItem* item) const noexcept {
  TItemBlock* block = item->block_;
  if (!block) {
    delete item;
    return;
  }
  item->~TCollectionItem();
  if (--block->live == 0) {
    block->~TItemBlock();
    ::operator delete(static_cast<void*>(block));
  }
}

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
  items_.push_back(TItemPtr(item.release()));
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

void TCollection::AppendAdopted(TCollectionItem* item, TItemBlock* block) noexcept {
  item->collection_ = this;
  item->block_ = block;
  item->id_ = next_id_++;
  item->index_ = Count();
  items_.push_back(TItemPtr(item));
}

void TCollection::Delete(int32_t index) {
  if (index < 0 || index >= Count()) Raise<EListError>(TMsg::ListIndexError, index);
  auto pos = items_.begin() + index;
  (*pos)->OnRemoving();
  TItemPtr item = std::move(*pos);
  pos = items_.erase(pos);
  for (int32_t i = index; pos != items_.end(); ++pos, ++i) (*pos)->index_ = i;
  item->index_ = -1;
  // The item is destroyed after it has left the list, so the collection is consistent meanwhile.
}

void TCollection::Clear() {
  // Last first: no later item is left to renumber.
  while (!items_.empty()) {
    items_.back()->OnRemoving();
    TItemPtr item = std::move(items_.back());
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

void THashCollectionItem::OnAdded() {
  hash_ = dynamic_cast<THashCollection*>(Collection());
  bucket_ = HashName(name_);
  if (hash_) {
    key_hash_ = NameKeyHash(name_);
    hash_->ReserveSlots(hash_->used_ + 1);
    hash_->Link(this);
  }
}

void THashCollectionItem::OnRemoving() noexcept {
  if (hash_) hash_->Unlink(this);
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
  const size_t key_hash = NameKeyHash(new_name);
  hash_->ReserveSlots(hash_->used_ + 1);
  hash_->Unlink(this);
  name_.swap(new_name);
  bucket_ = bucket;
  key_hash_ = key_hash;
  hash_->Link(this);
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
  ReserveSlots(used_ + count);
}

THashCollectionItem* THashCollection::AddLoaded(std::string&& name) {
  std::unique_ptr<THashCollectionItem> item = CreateHashItem();
  item->name_ = std::move(name);
  return static_cast<THashCollectionItem*>(Append(std::move(item)));
}

void THashCollection::AdoptLoaded(TItemBlock* block, std::byte* first, size_t stride, size_t count,
                                  std::string* names) {
  // Everything that can throw comes first: the room in the item list and the table, the order.
  ReserveItems(count);
  ReserveSlots(used_ + count);
  const size_t mask = slots_.size() - 1;
  // The items are linked in the order of their home slots, coarsely: by the top 12 bits of the
  // home (a counting sort, stable, so items of one name stay in the order they are named), and the
  // table is walked once from start to end instead of once at random per name.
  int shift = 0;
  while ((mask >> shift) >= 4096) ++shift;
  std::vector<uint32_t> starts((mask >> shift) + 2, 0);
  std::vector<uint32_t> order(count);
  std::vector<size_t> hashes(count);
  for (size_t i = 0; i < count; ++i) hashes[i] = NameKeyHash(names[i]);
  // From here nothing throws: the items are the collection's.
  for (size_t i = 0; i < count; ++i) {
    auto* item = reinterpret_cast<THashCollectionItem*>(first + i * stride);
    AppendAdopted(item, block);
    item->hash_ = this;
    item->name_ = std::move(names[i]);
    item->bucket_ = HashName(item->name_);
    item->key_hash_ = hashes[i];
    ++starts[((hashes[i] & mask) >> shift) + 1];
  }
  for (size_t g = 1; g < starts.size(); ++g) starts[g] += starts[g - 1];
  for (size_t i = 0; i < count; ++i) order[starts[(hashes[i] & mask) >> shift]++] = static_cast<uint32_t>(i);
  for (const uint32_t i : order) {
    auto* item = reinterpret_cast<THashCollectionItem*>(first + i * stride);
    const size_t hash = hashes[i];
    size_t at = hash & mask;
    // Only a slot with the same code is compared by name (the item is then read).
    while (slots_[at].head && !(slots_[at].hash == hash && SameFoldedName(slots_[at].head->name_, item->name_)))
      at = (at + 1) & mask;
    TSlot& slot = slots_[at];
    if (slot.head) {
      slot.head->previous_ = item;
      item->next_ = slot.head;
    } else {
      slot.hash = hash;
      ++used_;
    }
    slot.head = item;
  }
}

void THashCollection::ReserveSlots(size_t count) {
  if (count * 2 <= slots_.size()) return;
  size_t size = slots_.empty() ? 16 : slots_.size();
  while (size < count * 2) size *= 2;
  std::vector<TSlot> grown(size);  // the only step that can throw
  const size_t mask = size - 1;
  for (const TSlot& slot : slots_) {
    if (!slot.head) continue;
    size_t i = slot.hash & mask;
    while (grown[i].head) i = (i + 1) & mask;
    grown[i] = slot;
  }
  slots_.swap(grown);
}

size_t THashCollection::Probe(std::string_view name, size_t hash) const noexcept {
  const size_t mask = slots_.size() - 1;
  size_t i = hash & mask;
  for (; slots_[i].head; i = (i + 1) & mask) {
    if (slots_[i].hash == hash && SameFoldedName(slots_[i].head->name_, name)) break;
  }
  return i;
}

void THashCollection::Link(THashCollectionItem* item) noexcept {
  TSlot& slot = slots_[Probe(item->name_, item->key_hash_)];
  item->previous_ = nullptr;
  item->next_ = slot.head;
  if (slot.head) {
    slot.head->previous_ = item;
  } else {
    slot.hash = item->key_hash_;
    ++used_;
  }
  slot.head = item;
}

void THashCollection::Unlink(THashCollectionItem* item) noexcept {
  if (item->previous_) {
    item->previous_->next_ = item->next_;
    if (item->next_) item->next_->previous_ = item->previous_;
  } else {
    // The first of its name: its slot points at it.
    const size_t mask = slots_.size() - 1;
    size_t i = item->key_hash_ & mask;
    while (slots_[i].head != item) i = (i + 1) & mask;
    if (item->next_) {
      item->next_->previous_ = nullptr;
      slots_[i].head = item->next_;
    } else {
      EraseSlot(i);
    }
  }
  item->previous_ = nullptr;
  item->next_ = nullptr;
}

void THashCollection::EraseSlot(size_t index) noexcept {
  // Backward shift: each later slot of the run moves into the hole unless its home lies
  // cyclically after the hole, so no probe ever crosses a free slot to reach its name.
  const size_t mask = slots_.size() - 1;
  size_t hole = index;
  for (size_t j = (hole + 1) & mask; slots_[j].head; j = (j + 1) & mask) {
    const size_t home = slots_[j].hash & mask;
    const bool stays = hole <= j ? (home > hole && home <= j) : (home > hole || home <= j);
    if (stays) continue;
    slots_[hole] = slots_[j];
    hole = j;
  }
  slots_[hole] = TSlot{};
  --used_;
}

THashCollectionItem* THashCollection::FindItem(std::string_view name) const {
  if (slots_.empty()) return nullptr;
  return slots_[Probe(name, NameKeyHash(name))].head;
}

int32_t THashCollection::IndexOf(std::string_view name) const {
  const THashCollectionItem* item = FindItem(name);
  return item ? item->Index() : -1;
}

void THashCollection::Clear() {
  // Drop the whole name index at once; the items then leave without unlinking one by one.
  for (const auto& item : ItemList()) {
    auto* hash_item = static_cast<THashCollectionItem*>(item.get());
    hash_item->previous_ = nullptr;
    hash_item->next_ = nullptr;
    hash_item->hash_ = nullptr;
  }
  std::fill(slots_.begin(), slots_.end(), TSlot{});
  used_ = 0;
  TCollection::Clear();
}

}  // namespace kova
