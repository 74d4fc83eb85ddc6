#include "core/clip_list.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "core/errors.h"

namespace kova {
namespace {

std::vector<TRect> RectsOf(const TClipList& list) { return {list.Items().begin(), list.Items().end()}; }

TEST(ClipList, MergeSequences) {
  struct Case {
    const char* name;
    std::vector<TRect> added;
    std::vector<TRect> held;
  } cases[] = {
      {"15 pixels apart merge", {{0, 0, 10, 10}, {25, 0, 35, 10}}, {{0, 0, 35, 10}}},
      {"21 pixels apart stay", {{0, 0, 10, 10}, {31, 0, 40, 10}}, {{0, 0, 10, 10}, {31, 0, 40, 10}}},
      {"exactly 20 pixels merge", {{0, 0, 10, 10}, {30, 0, 40, 10}}, {{0, 0, 40, 10}}},
      {"20 pixels to the left merge", {{30, 0, 40, 10}, {0, 0, 10, 10}}, {{0, 0, 40, 10}}},
      {"21 pixels below stay", {{0, 0, 10, 10}, {0, 31, 10, 40}}, {{0, 0, 10, 10}, {0, 31, 10, 40}}},
      {"20 pixels above merge", {{0, 30, 10, 40}, {0, 0, 10, 10}}, {{0, 0, 10, 40}}},
      {"diagonal within 20 merge", {{0, 0, 10, 10}, {30, 30, 40, 40}}, {{0, 0, 40, 40}}},
      {"empty rectangles ignored", {{5, 5, 5, 10}, {5, 5, 10, 5}, {9, 9, 1, 1}}, {}},
      {"the cascade absorbs a second held rectangle",
       {{0, 0, 10, 10}, {100, 0, 110, 10}, {20, 0, 90, 10}},
       {{0, 0, 110, 10}}},
      {"a cascade keeps far rectangles and the order of the rest",
       {{0, 0, 10, 10}, {500, 500, 510, 510}, {100, 0, 110, 10}, {20, 0, 90, 10}},
       {{500, 500, 510, 510}, {0, 0, 110, 10}}},
      {"a larger rectangle swallows a held one",
       {{10, 10, 20, 20}, {0, 0, 100, 100}},
       {{0, 0, 100, 100}}},
      {"far ends of the coordinate range stay apart",
       {{INT32_MAX - 10, INT32_MAX - 10, INT32_MAX, INT32_MAX},
        {INT32_MIN, INT32_MIN, INT32_MIN + 10, INT32_MIN + 10}},
       {{INT32_MAX - 10, INT32_MAX - 10, INT32_MAX, INT32_MAX},
        {INT32_MIN, INT32_MIN, INT32_MIN + 10, INT32_MIN + 10}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TClipList list;
    for (const auto& r : c.added) list.Add(r);
    EXPECT_EQ(RectsOf(list), c.held);
    EXPECT_EQ(list.Changed, !c.held.empty());
  }
}

TEST(ClipList, ContainedRectangleChangesNothing) {
  TClipList list;
  list.Add({0, 0, 100, 100});
  list.Changed = false;
  list.Add({10, 10, 20, 20});
  list.Add({0, 0, 100, 100});
  EXPECT_EQ(RectsOf(list), (std::vector<TRect>{{0, 0, 100, 100}}));
  EXPECT_FALSE(list.Changed);
}

TEST(ClipList, DeleteAndClearSetTheChangedFlag) {
  TClipList list;
  list.Add({0, 0, 10, 10});
  list.Add({100, 100, 110, 110});
  list.Changed = false;
  list.Delete(0);
  EXPECT_TRUE(list.Changed);
  EXPECT_EQ(list.Get(0), (TRect{100, 100, 110, 110}));
  list.Changed = false;
  list.Clear();
  EXPECT_TRUE(list.Changed);
  EXPECT_EQ(list.Count(), 0);
  list.Changed = false;
  EXPECT_THROW(list.Get(0), EListError);
  EXPECT_THROW(list.Delete(0), EListError);
  EXPECT_FALSE(list.Changed);
}

}  // namespace
}  // namespace kova
