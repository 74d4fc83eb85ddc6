#include "core/utils.h"

#include <gtest/gtest.h>

namespace kova {
namespace {

TEST(Rects, EmptinessOverlapAndContainment) {
  EXPECT_TRUE(IsRectEmpty({0, 0, 0, 10}));
  EXPECT_TRUE(IsRectEmpty({5, 0, 4, 10}));
  EXPECT_TRUE(IsRectEmpty({0, 3, 10, 3}));
  EXPECT_FALSE(IsRectEmpty({0, 0, 1, 1}));

  EXPECT_TRUE(RectsOverlap({0, 0, 10, 10}, {9, 9, 20, 20}));
  EXPECT_FALSE(RectsOverlap({0, 0, 10, 10}, {10, 0, 20, 10}));  // touching edges only

  EXPECT_TRUE(PointInRect({0, 0}, {0, 0, 10, 10}));
  EXPECT_FALSE(PointInRect({10, 10}, {0, 0, 10, 10}));
  EXPECT_FALSE(PointInRect({9, 10}, {0, 0, 10, 10}));
  EXPECT_EQ(MakePoint(3, -4), (TPoint{3, -4}));
}

TEST(Rects, Intersection) {
  struct Case {
    TRect a, b, expected;
  } cases[] = {
      {{0, 0, 10, 10}, {5, -5, 20, 8}, {5, 0, 10, 8}},
      {{0, 0, 10, 10}, {10, 0, 20, 10}, {0, 0, 0, 0}},  // touching at an edge
      {{0, 0, 10, 10}, {2, 2, 3, 3}, {2, 2, 3, 3}},
      {{0, 0, 10, 10}, {50, 50, 60, 60}, {0, 0, 0, 0}},
  };
  for (const auto& c : cases) EXPECT_EQ(IntersectRects(c.a, c.b), c.expected);
}

TEST(Colors, ScaleColorWrapsWithoutSaturation) {
  struct Case {
    TColor color;
    int32_t factor;
    TColor expected;
  } cases[] = {
      {0xFF123456, 256, 0x00123456},  // unchanged, high byte cleared
      {0x00123456, 0, 0},
      {0x00FF8040, 128, 0x007F4020},
      {0x00FF8040, 512, 0x00FE0080},  // 0xFF*2 = 0x1FE -> 0xFE; 0x80*2 -> 0x00; 0x40*2 -> 0x80
      {0x00000001, 255, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(ScaleColor(c.color, c.factor), c.expected) << std::hex << c.color;
}

TEST(FontStyles, IntegerForm) {
  TFontStyles s;
  s.Include(0);
  s.Include(3);
  EXPECT_EQ(FlagSetToInt(s), 9);
  EXPECT_EQ(IntToFlagSet(16), TFontStyles{});
  EXPECT_TRUE(IntToFlagSet(0x12).Has(1));
  EXPECT_FALSE(IntToFlagSet(0x12).Has(4));
  EXPECT_EQ(FlagSetToInt(IntToFlagSet(-1)), 15);
}

TEST(Paths, AddPathDelimiter) {
  EXPECT_EQ(AddPathDelimiter("data"), "data\\");
  EXPECT_EQ(AddPathDelimiter("data\\"), "data\\");
  EXPECT_EQ(AddPathDelimiter(""), "\\");
  // 0x95 0x5C is one double-byte character whose trail byte equals "\".
  EXPECT_EQ(AddPathDelimiter("\x95\x5C"), "\x95\x5C\\");
}

TEST(Names, SplitNameSuffix) {
  struct Case {
    const char* name;
    const char* suffix;
    const char* rest;
  } cases[] = {
      {"start.ksb:menu", "menu", "start.ksb"},
      {"c:\\data\\page", "", "c:\\data\\page"},
      {"page", "", "page"},
      {"a:b.c", "", "a:b.c"},
      {":x", "", ":x"},               // the first byte is never a separator
      {"p:", "", "p"},                // an empty label
      {"a:b:c", "c", "a:b"},          // the last colon counts
      {"x:\x83:", "\x83:", "x"},      // 0x83 0x3A is one character: only the first colon counts
      {"\x95\x5C" "abc", "", "\x95\x5C" "abc"},
      {"p\x95\x5C:lab", "lab", "p\x95\x5C"},
  };
  for (const auto& c : cases) {
    std::string name = c.name;
    EXPECT_EQ(SplitNameSuffix(name), c.suffix) << c.name;
    EXPECT_EQ(name, c.rest) << c.name;
  }
}

TEST(Text, UnescapeText) {
  struct Case {
    const char* in;
    const char* out;
  } cases[] = {
      {"a\\\\b", "a\\b"},
      {"say \\\"hi\\\"", "say \"hi\""},
      {"1\\n2", "1\r\n2"},
      {"\\t stays", "\\t stays"},
      {"end\\", "end\\"},
      {"\x95\\n", "\x95\\n"},  // 0x95 0x5C is one character; the following "n" stays
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(UnescapeText(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace kova
