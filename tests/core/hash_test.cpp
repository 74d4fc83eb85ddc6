#include "core/hash.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/sjis.h"

namespace kova {
namespace {

// Full-width capital A and small a, and a katakana whose trail byte is an ASCII capital.
const std::string kWideA = "\x82\x60";
const std::string kWideSmallA = "\x82\x81";
const std::string kKanaTrailA = "\x83\x41";

TEST(HashName, Buckets) {
  struct Case {
    std::string name;
    int32_t bucket;
  } cases[] = {
      {"", 0},
      {"a", 16},
      {"Z", 16},
      {"ab", 226},
      {"AB", 226},
      {"Ab", 226},
      {"abc", (48 + 'b' + 'a') & 255},
      // The fold comes first: the second-to-last byte is the folded trail byte 0x81, not 0x60.
      {kWideA + "x", (48 + 0x81 + 0x82) & 255},
      {kWideA + kWideA, (64 + 0x82 + 0x82) & 255},
      // A trail byte is never folded.
      {kKanaTrailA + "x", (48 + 0x41 + 0x83) & 255},
  };
  for (const auto& c : cases) EXPECT_EQ(HashName(c.name), c.bucket) << c.name;
}

TEST(HashCollection, FindsNamesWithoutRegardToCase) {
  THashCollection c;
  c.Add("Alpha");
  c.Add("abc");  // "abc" and "abd" share a bucket
  c.Add("abd");
  c.Add(kWideA + "1");
  c.Add(kKanaTrailA);
  c.Add("");
  ASSERT_EQ(HashName("abc"), HashName("abd"));

  struct Case {
    std::string name;
    int32_t index;
  } cases[] = {
      {"alpha", 0}, {"ALPHA", 0}, {"ABC", 1}, {"abd", 2},
      {"abe", -1},  // a bucket that holds other items
      {"Alph", -1}, {"Alphaa", -1},
      {kWideSmallA + "1", 3},
      {kKanaTrailA, 4},
      {"\x83\x61", -1},  // the katakana with trail 0x61 is another character
      {"", 5},
      {"a long name well past any small-string size", -1},
  };
  for (const auto& t : cases) EXPECT_EQ(c.IndexOf(t.name), t.index) << t.name;
  EXPECT_EQ(c.Items(1)->Bucket(), HashName("abc"));
  EXPECT_EQ(c.Items(5)->Bucket(), 0);
}

TEST(HashCollection, MostRecentlyNamedCaseVariantIsFound) {
  THashCollection c;
  THashCollectionItem* first = c.Add("Flag");
  THashCollectionItem* second = c.Add("FLAG");
  EXPECT_EQ(c.IndexOf("flag"), 1);
  EXPECT_EQ(c.FindItem("flag"), second);
  EXPECT_EQ(second->NextSameName(), first);
  EXPECT_EQ(first->NextSameName(), nullptr);

  // Another case relinks the item at the head.
  first->SetName("flag");
  EXPECT_EQ(c.IndexOf("Flag"), 0);
  // The identical name changes nothing.
  second->SetName("FLAG");
  EXPECT_EQ(c.IndexOf("Flag"), 0);
  // Naming away leaves the other variant alone.
  first->SetName("other");
  EXPECT_EQ(c.IndexOf("flag"), 1);
  EXPECT_EQ(c.IndexOf("OTHER"), 0);
  EXPECT_EQ(second->NextSameName(), nullptr);
}

TEST(HashCollection, DeletingRenumbersLaterItems) {
  THashCollection c;
  c.Add("zero");
  c.Add("one");
  c.Add("two");
  c.Delete(0);
  EXPECT_EQ(c.Count(), 2);
  EXPECT_EQ(c.IndexOf("zero"), -1);
  EXPECT_EQ(c.IndexOf("one"), 0);
  EXPECT_EQ(c.IndexOf("two"), 1);
  EXPECT_EQ(c.Items(1)->Index(), 1);
  c.Delete(1);
  EXPECT_EQ(c.IndexOf("two"), -1);
  EXPECT_EQ(c.IndexOf("one"), 0);
  EXPECT_THROW(c.Delete(1), EListError);
  EXPECT_THROW(c.Items(-1), EListError);
  EXPECT_THROW(c.Items(1), EListError);
}

TEST(HashCollection, MovingAnItemKeepsIndexesEqualToPositions) {
  THashCollection c;
  for (const char* n : {"a", "b", "c", "d"}) c.Add(n);
  c.Items(0)->SetIndex(2);  // b c a d
  c.Items(3)->SetIndex(0);  // d b c a
  const char* order[] = {"d", "b", "c", "a"};
  for (int32_t i = 0; i < 4; ++i) {
    EXPECT_EQ(c.Items(i)->Name(), order[i]);
    EXPECT_EQ(c.Items(i)->Index(), i);
    EXPECT_EQ(c.IndexOf(order[i]), i);
  }
  EXPECT_THROW(c.Items(0)->SetIndex(4), EListError);
}

// Random adds, deletes, renames and moves against a plain model: a list of names with the time
// each was last named; IndexOf must answer the most recently named case-insensitive match.
TEST(HashCollection, AgreesWithPlainModelUnderRandomEdits) {
  struct Entry {
    std::string name;
    int stamp;
  };
  const std::vector<std::string> pool = {"", "a", "A", "ab", "aB", "abc", "abd", "xyz", "XYZ",
                                         kWideA, kWideSmallA, kKanaTrailA, "\x83\x61", "flag0001"};
  std::mt19937 rng(12345);
  auto pick = [&](size_t n) { return static_cast<size_t>(rng() % n); };
  THashCollection c;
  std::vector<Entry> model;
  int clock = 0;
  for (int step = 0; step < 3000; ++step) {
    const int action = static_cast<int>(pick(10));
    if (action < 4 || model.empty()) {
      std::string name = pool[pick(pool.size())];
      c.Add(name);
      model.push_back({name, ++clock});
    } else if (action < 6) {
      size_t i = pick(model.size());
      c.Delete(static_cast<int32_t>(i));
      model.erase(model.begin() + static_cast<std::ptrdiff_t>(i));
    } else if (action < 9) {
      size_t i = pick(model.size());
      std::string name = pool[pick(pool.size())];
      c.Items(static_cast<int32_t>(i))->SetName(name);
      if (name != model[i].name) model[i] = {name, ++clock};
    } else {
      size_t from = pick(model.size()), to = pick(model.size());
      c.Items(static_cast<int32_t>(from))->SetIndex(static_cast<int32_t>(to));
      Entry e = model[from];
      model.erase(model.begin() + static_cast<std::ptrdiff_t>(from));
      model.insert(model.begin() + static_cast<std::ptrdiff_t>(to), e);
    }
    ASSERT_EQ(c.Count(), static_cast<int32_t>(model.size()));
    for (size_t i = 0; i < model.size(); ++i) {
      ASSERT_EQ(c.Items(static_cast<int32_t>(i))->Name(), model[i].name);
      ASSERT_EQ(c.Items(static_cast<int32_t>(i))->Index(), static_cast<int32_t>(i));
    }
    for (const std::string& name : pool) {
      int32_t expected = -1;
      int best = 0;
      for (size_t i = 0; i < model.size(); ++i) {
        if (SjisSameText(model[i].name, name) && model[i].stamp > best) {
          best = model[i].stamp;
          expected = static_cast<int32_t>(i);
        }
      }
      ASSERT_EQ(c.IndexOf(name), expected) << "step " << step << " name " << name;
    }
  }
  c.Clear();
  EXPECT_EQ(c.Count(), 0);
  for (const std::string& name : pool) EXPECT_EQ(c.IndexOf(name), -1);
  c.Add("a");
  EXPECT_EQ(c.IndexOf("A"), 0);
}

// A collection that loads items in bulk, as the archive's directory load does.
template <class TItem>
class TBulkCollection : public THashCollectionOf<TItem> {
 public:
  using THashCollectionOf<TItem>::AddLoadedAll;
};

// Many names, so the name index grows through several sizes and its deletes close up long probe
// runs: after every batch each name must still find the item named last, and its chain must hold
// every item of that name, most recently named first. Some items come in bulk loads (one
// allocation, indexed in one pass), mixed with single adds, renames and deletes.
TEST(HashCollection, IndexKeepsEveryNameThroughGrowthAndDeletes) {
  constexpr int kNames = 1200;
  // Name n in one of its case variants (the low bits of `variant`); every third is long.
  auto make_name = [](int n, uint32_t variant) {
    std::string name = (variant & 1) ? "K" : "k";
    name += std::to_string(n);
    if (n % 3 == 0) name += (variant & 2) ? "_VARIABLE" : "_variable";
    return name;
  };
  auto random_name = [&](std::mt19937& r) { return make_name(static_cast<int>(r() % kNames), r()); };
  std::mt19937 rng(777);
  TBulkCollection<THashCollectionItem> c;
  // Folded name -> its items, most recently named last.
  std::map<std::string, std::vector<THashCollectionItem*>> model;
  auto forget = [&](THashCollectionItem* item) {
    auto& items = model[SjisLowerCase(item->Name())];
    items.erase(std::find(items.begin(), items.end(), item));
  };
  for (int step = 1; step <= 6000; ++step) {
    const uint32_t action = rng() % 40;
    if (action == 39) {
      std::vector<std::string> names(rng() % 400);
      for (std::string& name : names) name = random_name(rng);
      const int32_t first = c.AddLoadedAll(names);
      for (int32_t i = first; i < c.Count(); ++i) {
        THashCollectionItem* item = c.Items(i);
        ASSERT_EQ(item->Index(), i);
        ASSERT_EQ(item->Collection(), &c);
        ASSERT_EQ(item->Bucket(), HashName(item->Name()));
        if (i > 0) {
          ASSERT_EQ(item->ID(), c.Items(i - 1)->ID() + 1);
        }
        model[SjisLowerCase(item->Name())].push_back(item);
      }
    } else if (action < 20 || c.Count() == 0) {
      THashCollectionItem* item = c.Add(random_name(rng));
      model[SjisLowerCase(item->Name())].push_back(item);
    } else if (action < 28) {
      const auto i = static_cast<int32_t>(rng() % static_cast<uint32_t>(c.Count()));
      forget(c.Items(i));
      c.Delete(i);
    } else {
      THashCollectionItem* item = c.Items(static_cast<int32_t>(rng() % static_cast<uint32_t>(c.Count())));
      const std::string name = random_name(rng);
      if (name == item->Name()) continue;
      forget(item);
      item->SetName(name);
      model[SjisLowerCase(name)].push_back(item);
    }
    if (step % 500 != 0) continue;
    for (int n = 0; n < kNames; ++n) {
      for (const std::string& name : {make_name(n, 0), make_name(n, 3)}) {
        const auto& items = model[SjisLowerCase(name)];
        std::vector<THashCollectionItem*> chain;
        for (THashCollectionItem* it = c.FindItem(name); it; it = it->NextSameName()) chain.push_back(it);
        ASSERT_TRUE(std::equal(chain.rbegin(), chain.rend(), items.begin(), items.end()))
            << "step " << step << " name " << name;
      }
    }
  }
}

// A derived item that refuses names beginning with a digit and logs its destruction.
std::vector<std::string>* g_destroyed = nullptr;

class TCheckedItem : public THashCollectionItem {
 public:
  ~TCheckedItem() override {
    if (g_destroyed) g_destroyed->push_back(Name());
  }
  void SetName(std::string_view name) override {
    if (!name.empty() && name[0] >= '0' && name[0] <= '9') Raise<EKovaError>(TMsg::IllegalIndex);
    THashCollectionItem::SetName(name);
  }
  std::string ClassName() const override { return "TCheckedItem"; }
};

class HashCollectionItems : public ::testing::Test {
 protected:
  void SetUp() override { g_destroyed = &destroyed; }
  void TearDown() override { g_destroyed = nullptr; }
  std::vector<std::string> destroyed;
};

TEST_F(HashCollectionItems, FactoryMakesTheCollectionsItemClass) {
  THashCollectionOf<TCheckedItem> c;
  TCheckedItem* item = c.Add("x");
  EXPECT_EQ(c.Items(0), item);
  EXPECT_EQ(c.FindItem("X"), item);
  EXPECT_EQ(item->Collection(), &c);
  EXPECT_EQ(c.Add()->ID(), item->ID() + 1);
  EXPECT_EQ(c.Items(1)->GetDisplayName(), "TCheckedItem");
  EXPECT_EQ(item->GetDisplayName(), "x");
}

TEST_F(HashCollectionItems, RefusedNameRemovesTheNewItem) {
  THashCollectionOf<TCheckedItem> c;
  c.Add("a");
  EXPECT_THROW(c.Add("1a"), EKovaError);
  EXPECT_EQ(c.Count(), 1);
  EXPECT_EQ(c.IndexOf(""), -1);
  // A refused rename leaves the item as it was.
  EXPECT_THROW(c.Items(0)->SetName("2"), EKovaError);
  EXPECT_EQ(c.Items(0)->Name(), "a");
  EXPECT_EQ(c.IndexOf("A"), 0);
}

TEST_F(HashCollectionItems, ClearAndDestructionFreeEveryItemLastFirst) {
  {
    THashCollectionOf<TCheckedItem> c;
    for (const char* n : {"p", "q", "r"}) c.Add(n);
    c.Delete(1);
    EXPECT_EQ(destroyed, (std::vector<std::string>{"q"}));
    c.Clear();
    EXPECT_EQ(destroyed, (std::vector<std::string>{"q", "r", "p"}));
    EXPECT_EQ(c.IndexOf("p"), -1);
    c.Add("s");
    c.Add("t");
  }
  EXPECT_EQ(destroyed, (std::vector<std::string>{"q", "r", "p", "t", "s"}));
}

// Items loaded in bulk share one allocation but leave one by one, like any other item.
TEST_F(HashCollectionItems, BulkLoadedItemsLeaveOneByOne) {
  {
    TBulkCollection<TCheckedItem> c;
    c.Add("o");
    std::vector<std::string> names = {"p", "Q", "r", "q"};
    EXPECT_EQ(c.AddLoadedAll(names), 1);
    EXPECT_EQ(c.Count(), 5);
    EXPECT_EQ(c.IndexOf("q"), 4);  // the later of two case variants
    EXPECT_EQ(c.FindItem("Q")->NextSameName(), c.Items(2));
    EXPECT_EQ(c.Items(3)->Collection(), &c);
    c.Delete(2);
    EXPECT_EQ(destroyed, (std::vector<std::string>{"Q"}));
    EXPECT_EQ(c.IndexOf("q"), 3);
    c.Items(1)->SetName("x");
    EXPECT_EQ(c.IndexOf("X"), 1);
    EXPECT_EQ(c.IndexOf("p"), -1);
    c.Clear();
    EXPECT_EQ(destroyed, (std::vector<std::string>{"Q", "q", "r", "x", "o"}));
    names = {"s", "t"};
    c.AddLoadedAll(names);
  }
  EXPECT_EQ(destroyed, (std::vector<std::string>{"Q", "q", "r", "x", "o", "t", "s"}));
}

TEST_F(HashCollectionItems, AssignTakesTheNameOfAHashItemOnly) {
  THashCollectionOf<TCheckedItem> c;
  TCheckedItem* a = c.Add("a");
  TCheckedItem* b = c.Add("b");
  a->Assign(*b);
  EXPECT_EQ(a->Name(), "b");
  EXPECT_EQ(c.IndexOf("B"), 0);  // renamed most recently

  TCollection plain;
  TCollectionItem* other = plain.Add();
  EXPECT_THROW(a->Assign(*other), EListError);
  EXPECT_THROW(other->Assign(*a), EListError);
}

}  // namespace
}  // namespace kova
