#include "core/lists.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/array_string.h"
#include "core/errors.h"
#include "support/le_writer.h"

namespace kova {
namespace {

using test::HexBytes;
using test::LeWriter;

// Records the order in which tracked objects are destroyed.
struct Tracked {
  Tracked(int id, std::vector<int>* log) : id(id), log(log) {}
  virtual ~Tracked() { log->push_back(id); }
  int id;
  std::vector<int>* log;
};

struct TrackedChild : Tracked {
  using Tracked::Tracked;
};

std::vector<int> Ids(const TObjList<Tracked>& list) {
  std::vector<int> ids;
  for (const auto& item : list) ids.push_back(item->id);
  return ids;
}

class ObjListTest : public ::testing::Test {
 protected:
  void Fill(TObjList<Tracked>& list, int n) {
    for (int i = 0; i < n; ++i) list.Add(std::make_unique<Tracked>(i, &freed));
  }
  std::vector<int> freed;
};

TEST_F(ObjListTest, ClearFreesFirstToLastAndEmpties) {
  TObjList<Tracked> list;
  Fill(list, 4);
  list.Clear();
  EXPECT_EQ(freed, (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(list.Count(), 0);
}

TEST_F(ObjListTest, DestroyingFreesEveryObjectOnce) {
  {
    TObjList<Tracked> list;
    Fill(list, 3);
    list.Emplace<TrackedChild>(7, &freed);
  }
  EXPECT_EQ(freed, (std::vector<int>{0, 1, 2, 7}));
}

TEST_F(ObjListTest, DeleteFreesOnlyThatObject) {
  TObjList<Tracked> list;
  Fill(list, 3);
  list.Delete(1);
  EXPECT_EQ(freed, std::vector<int>{1});
  EXPECT_EQ(Ids(list), (std::vector<int>{0, 2}));
}

TEST_F(ObjListTest, ExtractHandsOverWithoutFreeing) {
  TObjList<Tracked> list;
  Fill(list, 3);
  Tracked* middle = list[1];
  std::unique_ptr<Tracked> taken = list.Extract(1);
  EXPECT_EQ(taken.get(), middle);
  EXPECT_TRUE(freed.empty());
  EXPECT_EQ(list.IndexOf(middle), -1);
  EXPECT_EQ(list.IndexOf(list[1]), 1);
  list.Clear();
  EXPECT_EQ(freed, (std::vector<int>{0, 2}));
}

TEST_F(ObjListTest, InsertMoveAndExchangeReorderWithoutFreeing) {
  TObjList<Tracked> list;
  Fill(list, 4);                                        // 0 1 2 3
  list.Insert(0, std::make_unique<Tracked>(9, &freed));  // 9 0 1 2 3
  list.Insert(5, std::make_unique<Tracked>(8, &freed));  // 9 0 1 2 3 8
  list.Move(0, 3);                                      // 0 1 2 9 3 8
  list.Move(5, 1);                                      // 0 8 1 2 9 3
  list.Exchange(0, 5);                                  // 3 8 1 2 9 0
  EXPECT_EQ(Ids(list), (std::vector<int>{3, 8, 1, 2, 9, 0}));
  EXPECT_TRUE(freed.empty());
}

// A destructor that looks at its owner: the freed objects are never still in the list.
struct Watcher {
  Watcher(TObjList<Watcher>* owner, std::vector<int>* counts) : owner(owner), counts(counts) {}
  ~Watcher() { counts->push_back(owner->Count()); }
  TObjList<Watcher>* owner;
  std::vector<int>* counts;
};

TEST(ObjListReentry, DestructorsNeverSeeFreedObjects) {
  std::vector<int> counts;
  TObjList<Watcher> list;
  for (int i = 0; i < 3; ++i) list.Emplace(&list, &counts);
  list.Delete(0);
  list.Clear();
  EXPECT_EQ(counts, (std::vector<int>{2, 0, 0}));
}

// A subsystem list that overrides Clear: destroying the base frees the objects.
class CountingList : public TObjList<Tracked> {
 public:
  void Clear() override {
    ++clears;
    TObjList<Tracked>::Clear();
  }
  int clears = 0;
};

TEST_F(ObjListTest, DerivedClearOverrides) {
  auto list = std::make_unique<CountingList>();
  Fill(*list, 2);
  TObjList<Tracked>& base = *list;
  base.Clear();
  EXPECT_EQ(list->clears, 1);
  Fill(*list, 2);
  std::unique_ptr<TObjList<Tracked>> owner = std::move(list);
  owner.reset();
  EXPECT_EQ(freed.size(), 4u);
}

TEST(ListIndexErrors, OutOfRangeRaisesWithTheIndex) {
  TObjList<int> objs;
  objs.Add(std::make_unique<int>(1));
  TIntList ints;
  ints.Add(5);
  TIntArray array;
  array.Add(5);
  TArrayString strings;
  strings.Add("a");
  try {
    objs.Items(3);
    FAIL() << "no error";
  } catch (const EListError& e) {
    EXPECT_EQ(e.Message(), Format(MsgText(TMsg::ListIndexError).c_str(), 3));
  }
  EXPECT_THROW(objs.Items(-1), EListError);
  EXPECT_THROW(objs.Delete(1), EListError);
  EXPECT_THROW(objs.Insert(2, nullptr), EListError);
  EXPECT_THROW(ints.Get(1), EListError);
  EXPECT_THROW(ints.Delete(-1), EListError);
  EXPECT_THROW(array.Get(1), EListError);
  EXPECT_THROW(strings.Get(1), EListError);
  EXPECT_EQ(objs.Count(), 1);
}

TEST(IntList, AddGetDeleteInsert) {
  TIntList list;
  EXPECT_EQ(list.Add(INT32_MIN), 0);
  EXPECT_EQ(list.Add(7), 1);
  EXPECT_EQ(list.Add(INT32_MAX), 2);
  list.Delete(1);
  list.Insert(0, -3);
  EXPECT_EQ(list.Count(), 3);
  EXPECT_EQ(list.Get(0), -3);
  EXPECT_EQ(list.Get(1), INT32_MIN);
  EXPECT_EQ(list.Get(2), INT32_MAX);
  EXPECT_EQ(list.IndexOf(INT32_MAX), 2);
  EXPECT_EQ(list.IndexOf(7), -1);
}

TEST(IntArray, GrowsByOne) {
  TIntArray array;
  for (int i = 0; i < 5; ++i) array.Add(-i);
  EXPECT_EQ(array.Count(), 5);
  EXPECT_EQ(array.Get(4), -4);
  array.Set(4, 40);
  EXPECT_EQ(array[4], 40);
}

TEST(ArrayString, StreamBytes) {
  struct Case {
    const char* name;
    std::vector<std::string> strings;
    const char* hex;
  } cases[] = {
      {"empty array writes only the count", {}, "00000000"},
      {"strings with an empty one", {"ab", "", "\x82\xA0"},
       "03000000 02000000 6162 00000000 02000000 82a0"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TArrayString array;
    for (const auto& s : c.strings) array.Add(s);
    TMemoryStream out;
    array.SaveToStream(out);
    std::vector<uint8_t> written(out.Bytes().begin(), out.Bytes().end());
    EXPECT_EQ(written, HexBytes(c.hex));

    TArrayString loaded;
    loaded.Add("stale");
    std::vector<uint8_t> bytes = HexBytes(c.hex);
    TSpanStream source(bytes);
    loaded.LoadFromStream(source);
    EXPECT_EQ(loaded, array);
    EXPECT_EQ(source.Remaining(), 0);
  }
}

TEST(ArrayString, CorruptCountsRaiseWithoutAllocating) {
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"huge count", LeWriter().I32(0x7FFFFFFF).Str("a").Bytes()},
      {"negative count", LeWriter().I32(-1).Bytes()},
      {"count larger than the strings there", LeWriter().I32(3).Str("a").Str("b").Bytes()},
      {"string cut short", LeWriter().I32(1).I32(10).Raw("abc").Bytes()},
      {"count cut short", LeWriter().U16(1).Bytes()},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TArrayString array;
    array.Add("stale");
    TSpanStream source(c.bytes);
    EXPECT_THROW(array.LoadFromStream(source), EReadError);
    EXPECT_EQ(array.Count(), 0);
  }
}

TEST(ArrayString, AssignCopies) {
  TArrayString a, b;
  a.Add("x");
  a.Add("y");
  b.Add("old");
  b.Assign(a);
  a.Set(0, "changed");
  EXPECT_EQ(b.Count(), 2);
  EXPECT_EQ(b[0], "x");
  EXPECT_EQ(b[1], "y");
}

}  // namespace
}  // namespace kova
