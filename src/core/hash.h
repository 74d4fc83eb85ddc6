// Owned item collections, and the name-hashed collection built on them.
//
// TCollection owns its items (created through a virtual factory so that derived collections make
// their own item classes) and keeps every item's index equal to its position. THashCollection gives
// each item a name and finds items by name without regard to case (the code-page 932 fold of
// core/sjis.h), while the items keep their order and indexes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <vector>

namespace kova {

class TCollection;
class THashCollection;
class TCollectionItem;

// Items made together for a bulk load share one allocation, freed with the last of them; every
// other item has its own. A collection destroys its items through this, whichever they are.
struct TItemBlock {
  size_t live = 0;  // items of the block not yet destroyed
};
struct TItemDeleter {
  void operator()(TCollectionItem* item) const noexcept;
};
using TItemPtr = std::unique_ptr<TCollectionItem, TItemDeleter>;

class TCollectionItem {
 public:
  TCollectionItem() = default;
  virtual ~TCollectionItem() = default;
  TCollectionItem(const TCollectionItem&) = delete;
  TCollectionItem& operator=(const TCollectionItem&) = delete;

  // The owning collection (also while the item is being destroyed); nullptr before it is added.
  TCollection* Collection() const { return collection_; }
  // A number unique within the collection, given at creation.
  int32_t ID() const { return id_; }
  // The item's position in its collection; -1 once it has been removed.
  int32_t Index() const { return index_; }
  // Moves the item to position `index` (the items between shift by one); raises EListError when
  // `index` is out of range.
  virtual void SetIndex(int32_t index);

  // Copies the state of `source`; this base refuses every source (EListError).
  virtual void Assign(const TCollectionItem& source);
  // A name for display: the class name unless a derived class has something better.
  virtual std::string GetDisplayName() const { return ClassName(); }
  virtual std::string ClassName() const { return "TCollectionItem"; }

 protected:
  // Called once the item sits in its collection at its position (index valid).
  virtual void OnAdded() {}
  // Called when the item is about to leave its collection (Delete, Clear), before the later items
  // are renumbered. Must not throw.
  virtual void OnRemoving() noexcept {}

 private:
  friend class TCollection;
  friend class THashCollection;
  friend struct TItemDeleter;
  TCollection* collection_ = nullptr;
  TItemBlock* block_ = nullptr;  // the shared allocation the item lives in, or nullptr
  int32_t id_ = 0;
  int32_t index_ = -1;
};

class TCollection {
 public:
  TCollection() = default;
  virtual ~TCollection();
  TCollection(const TCollection&) = delete;
  TCollection& operator=(const TCollection&) = delete;

  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  // Raises EListError when `index` is out of range.
  TCollectionItem* Items(int32_t index) const;
  // Appends a new item made by CreateItem.
  TCollectionItem* Add();
  // Destroys the item at `index`; the later items move up and are renumbered. Raises EListError
  // when `index` is out of range.
  void Delete(int32_t index);
  // Destroys every item, last first. Derived collections that extend it call the base last.
  virtual void Clear();

 protected:
  // The factory of the collection's item class.
  virtual std::unique_ptr<TCollectionItem> CreateItem();
  // Raw view of the items for derived collections.
  const std::vector<TItemPtr>& ItemList() const { return items_; }
  // Appends an item made by the collection's factory (as Add does with a new one).
  TCollectionItem* Append(std::unique_ptr<TCollectionItem> item);
  // Makes room for `count` more items.
  void ReserveItems(size_t count) { items_.reserve(items_.size() + count); }
  // Appends an item living in `block` (or in its own allocation for nullptr) without running
  // OnAdded; room must have been made with ReserveItems.
  void AppendAdopted(TCollectionItem* item, TItemBlock* block) noexcept;

 private:
  friend class TCollectionItem;
  void MoveItem(int32_t from, int32_t to);

  std::vector<TItemPtr> items_;
  int32_t next_id_ = 0;
};

// The bucket (0-255) of a name: on the folded name s, (Length(s) * 16 + s[second-to-last byte] +
// s[first byte]) and 255, the two bytes counted only when s has at least two. Kept as the items'
// Bucket() value; the lookup itself uses a finer index.
int32_t HashName(std::string_view name);

class THashCollectionItem : public TCollectionItem {
 public:
  // The name in the case in which it was set.
  const std::string& Name() const { return name_; }
  // When `name` differs from the current name (case-sensitive), stores it and makes the item the
  // first of the items sharing its name without regard to case. Derived items check names here.
  virtual void SetName(std::string_view name);
  // HashName(Name()).
  int32_t Bucket() const { return bucket_; }
  // The next item whose name equals this one's without regard to case (named less recently), or
  // nullptr.
  THashCollectionItem* NextSameName() const { return next_; }
  THashCollectionItem* PreviousSameName() const { return previous_; }

  // From another hash item takes its name through SetName; other sources are refused.
  void Assign(const TCollectionItem& source) override;
  // The name, or the class name when it is empty.
  std::string GetDisplayName() const override;
  std::string ClassName() const override { return "THashCollectionItem"; }

 protected:
  void OnAdded() override;
  void OnRemoving() noexcept override;

 private:
  friend class THashCollection;

  THashCollection* hash_ = nullptr;  // the collection while the item is linked
  int32_t bucket_ = 0;
  std::string name_;
  size_t key_hash_ = 0;  // the name index's code of the folded name
  THashCollectionItem* previous_ = nullptr;
  THashCollectionItem* next_ = nullptr;
};

class THashCollection : public TCollection {
 public:
  THashCollection() = default;
  ~THashCollection() override;

  THashCollectionItem* Items(int32_t index) const {
    return static_cast<THashCollectionItem*>(TCollection::Items(index));
  }
  // Appends a nameless item.
  THashCollectionItem* Add() { return static_cast<THashCollectionItem*>(TCollection::Add()); }
  // Appends a new item and names it; when naming raises, the item is removed again.
  THashCollectionItem* Add(std::string_view name);
  // The index of the item with that name without regard to case (of several, the one named most
  // recently), or -1.
  virtual int32_t IndexOf(std::string_view name) const;
  // The item IndexOf would answer, or nullptr. Its NextSameName() chain holds every item of that
  // name, most recently named first.
  THashCollectionItem* FindItem(std::string_view name) const;
  void Clear() override;

 protected:
  // The factory of the collection's item class.
  virtual std::unique_ptr<THashCollectionItem> CreateHashItem();
  // For loaders that add many items in one go: makes room for `count` more items and names.
  void Reserve(size_t count);
  // Appends a new item already bearing `name` (taken over), linked into the name index once.
  // SetName is not run, so only collections whose items check no names load through here.
  THashCollectionItem* AddLoaded(std::string&& name);
  // Appends `count` items already made in one block (count live in it), item i at
  // first + i * stride bearing names[i] (taken over), as AddLoaded would one by one; their index
  // entries are made in one pass, in the order of the table, rather than one scattered probe per
  // name. OnAdded is not run: only items that add nothing to it load through here.
  void AdoptLoaded(TItemBlock* block, std::byte* first, size_t stride, size_t count, std::string* names);

 private:
  friend class THashCollectionItem;

  // The name index: open addressing with linear probing over a power-of-two table, at most half
  // full. A slot holds the code of a folded name and the most recently named item bearing it; the
  // item's NextSameName() chain holds the others. Items are compared through their own names, so
  // the index keeps no copy of a name.
  struct TSlot {
    size_t hash = 0;
    THashCollectionItem* head = nullptr;  // nullptr: the slot is free
  };

  std::unique_ptr<TCollectionItem> CreateItem() final;
  // Makes the table big enough for `count` names in all without growing again.
  void ReserveSlots(size_t count);
  // The slot holding `name` (with code `hash`), or the free slot where it would go.
  size_t Probe(std::string_view name, size_t hash) const noexcept;
  // Links an item (name and code set) as the first of its name. Room for it must have been made.
  void Link(THashCollectionItem* item) noexcept;
  // Takes an item out of its name's chain, dropping the slot when it was the last of its name.
  void Unlink(THashCollectionItem* item) noexcept;
  void EraseSlot(size_t index) noexcept;

  std::vector<TSlot> slots_;
  size_t used_ = 0;  // slots in use
};

// A hash collection whose items are of class TItem (default-constructible), with typed access.
template <class TItem>
class THashCollectionOf : public THashCollection {
 public:
  TItem* Items(int32_t index) const { return static_cast<TItem*>(THashCollection::Items(index)); }
  TItem* Add() { return static_cast<TItem*>(THashCollection::Add()); }
  TItem* Add(std::string_view name) { return static_cast<TItem*>(THashCollection::Add(name)); }
  TItem* FindItem(std::string_view name) const { return static_cast<TItem*>(THashCollection::FindItem(name)); }

 protected:
  std::unique_ptr<THashCollectionItem> CreateHashItem() override { return std::make_unique<TItem>(); }
  TItem* AddLoaded(std::string&& name) { return static_cast<TItem*>(THashCollection::AddLoaded(std::move(name))); }
  // Appends one new item per name (taken over), in order, all made in one allocation; returns the
  // index of the first. Same rules as AddLoaded, and the items' class must add nothing to OnAdded.
  int32_t AddLoadedAll(std::vector<std::string>& names);
};

template <class TItem>
int32_t THashCollectionOf<TItem>::AddLoadedAll(std::vector<std::string>& names) {
  static_assert(alignof(TItem) <= __STDCPP_DEFAULT_NEW_ALIGNMENT__);
  const int32_t first_index = Count();
  const size_t count = names.size();
  if (count == 0) return first_index;
  constexpr size_t kHead = (sizeof(TItemBlock) + alignof(TItem) - 1) / alignof(TItem) * alignof(TItem);
  void* memory = ::operator new(kHead + count * sizeof(TItem));
  auto* block = new (memory) TItemBlock;
  std::byte* first = static_cast<std::byte*>(memory) + kHead;
  size_t made = 0;
  try {
    for (; made < count; ++made) new (first + made * sizeof(TItem)) TItem();
    block->live = count;
    AdoptLoaded(block, first, sizeof(TItem), count, names.data());
  } catch (...) {
    // AdoptLoaded takes the items only once nothing can fail.
    while (made > 0) reinterpret_cast<TItem*>(first + --made * sizeof(TItem))->~TItem();
    block->~TItemBlock();
    ::operator delete(memory);
    throw;
  }
  return first_index;
}

}  // namespace kova
