// Object handles and the handle table: a retired handle never resolves again, not even once its
// slot holds a new object; slots are reused.
#include "core/object_handle.h"

#include <gtest/gtest.h>

#include <unordered_set>

namespace kova {
namespace {

TEST(HandleTable, RetiredHandlesResolveToNothingAfterTheirSlotIsReused) {
  int a = 0, b = 0, c = 0;
  THandleTable<int> table;
  const TObjectHandle ha = table.Issue(&a);
  const TObjectHandle hb = table.Issue(&b);
  EXPECT_TRUE(ha && hb);
  EXPECT_NE(ha, hb);
  EXPECT_EQ(table.Resolve(ha), &a);
  EXPECT_EQ(table.Resolve(hb), &b);
  EXPECT_EQ(table.Resolve(TObjectHandle{}), nullptr);
  EXPECT_FALSE(TObjectHandle{});
  EXPECT_EQ(table.Resolve(TObjectHandle{99, 1}), nullptr);

  table.Retire(ha);
  table.Retire(ha);  // a second retire of the same handle changes nothing
  EXPECT_EQ(table.Resolve(ha), nullptr);
  EXPECT_EQ(table.Resolve(hb), &b);
  const TObjectHandle hc = table.Issue(&c);
  EXPECT_EQ(hc.id, ha.id);  // the freed slot is taken again...
  EXPECT_NE(hc, ha);        // ...under a new generation
  EXPECT_EQ(table.Resolve(hc), &c);
  EXPECT_EQ(table.Resolve(ha), nullptr);
  table.Retire(ha);  // the stale handle does not end the slot's new holder
  EXPECT_EQ(table.Resolve(hc), &c);
  EXPECT_EQ(table.LiveCount(), 2u);
}

TEST(HandleTable, ChurnKeepsTheTableAsSmallAsTheMostLiveObjects) {
  int objects[3] = {};
  THandleTable<int> table;
  std::unordered_set<TObjectHandle> seen;
  for (int round = 0; round < 1000; ++round) {
    TObjectHandle live[3];
    for (int i = 0; i < 3; ++i) live[i] = table.Issue(&objects[i]);
    for (const TObjectHandle& h : live) {
      EXPECT_TRUE(seen.insert(h).second);  // no handle is ever issued twice
      table.Retire(h);
    }
  }
  EXPECT_EQ(table.SlotCount(), 3u);
  EXPECT_EQ(table.LiveCount(), 0u);
  EXPECT_EQ(seen.size(), 3000u);
}

}  // namespace
}  // namespace kova
