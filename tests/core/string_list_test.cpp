#include "core/string_list.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/errors.h"
#include "core/tab_strings.h"

namespace kova {
namespace {

std::vector<std::string> StringsOf(const TStringList& list) {
  std::vector<std::string> out;
  for (const auto& item : list.Items()) out.push_back(item.Str);
  return out;
}

using Strings = std::vector<std::string>;

TEST(TabStrings, SplitsLines) {
  struct Case {
    const char* name;
    char delimiter;
    std::string line;
    Strings fields;
  } cases[] = {
      {"empty inner field kept", '\t', "a\t\tb", {"a", "", "b"}},
      {"trailing delimiter adds nothing", '\t', "a\tb\t", {"a", "b"}},
      {"leading empty field kept", '\t', "\ta", {"", "a"}},
      {"empty line gives none", '\t', "", {}},
      {"lone delimiter", '\t', "\t", {""}},
      {"two delimiters", '\t', "\t\t", {"", ""}},
      {"no delimiter", '\t', "abc", {"abc"}},
      {"double-byte fields", '\t', "\x82\xA0\t\x82\xA2", {"\x82\xA0", "\x82\xA2"}},
      {"ASCII and double-byte fields mixed", '\\', "ab\\\x82\xA0" "c\\\x95\\\\d\\",
       {"ab", "\x82\xA0" "c", "\x95\\", "d"}},
      {"trail byte equal to the delimiter", '\\', "a\\\x95\\b\\c", {"a", "\x95\\b", "c"}},
      {"trail byte equal to the delimiter at the end", '\\', "\x95\\", {"\x95\\"}},
      {"lone lead byte at the end", '\t', "a\t\x95", {"a", "\x95"}},
      {"the byte after a lead byte is never a delimiter", '\t', "\x95\tb", {"\x95\tb"}},
      {"comma delimiter", ',', "1,,2", {"1", "", "2"}},
  };
  TTabStrings list;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    list.Delimiter = c.delimiter;
    list.SetDelimitedText(c.line);
    EXPECT_EQ(StringsOf(list), c.fields);
  }
}

TEST(TabStrings, TabByDefaultAndReplacesContents) {
  TTabStrings list;
  EXPECT_EQ(list.Delimiter, '\t');
  list.SetDelimitedText("a\tb\tc");
  list.SetDelimitedText("x");
  EXPECT_EQ(StringsOf(list), Strings{"x"});
}

TEST(TabStrings, FieldPastEitherEndIsEmpty) {
  TTabStrings list;
  list.SetDelimitedText("a\tb");
  EXPECT_EQ(list.Field(0), "a");
  EXPECT_EQ(list.Field(1), "b");
  EXPECT_EQ(list.Field(2), "");
  EXPECT_EQ(list.Field(-1), "");
  TStringList plain;
  plain.Add("p");
  EXPECT_EQ(TTabStrings::Field(plain, 0), "p");
  EXPECT_EQ(TTabStrings::Field(plain, 1), "");
}

TEST(StringList, UnsortedKeepsOrderAndFindsWithoutCase) {
  TStringList list;
  list.Add("Beta");
  list.Add("alpha");
  list.Add("BETA");
  list.Add("\x82\x60");  // full-width capital A
  EXPECT_EQ(StringsOf(list), (Strings{"Beta", "alpha", "BETA", "\x82\x60"}));
  EXPECT_EQ(list.IndexOf("beta"), 0);
  EXPECT_EQ(list.IndexOf("ALPHA"), 1);
  EXPECT_EQ(list.IndexOf("\x82\x81"), 3);  // full-width small a
  EXPECT_EQ(list.IndexOf("gamma"), -1);
}

TEST(StringList, SortedOrderIsFoldedBytesAndDropsDuplicates) {
  TStringList list;
  list.SetSorted(true);
  int dummy = 0;
  for (const char* s : {"Bx", "_x", "ax", "BX", "b", "\x82\x60", "\x82\x81"}) list.Add(s);
  EXPECT_EQ(list.AddObject("AX", &dummy), 1);  // already held: its index, item unchanged
  // Folded to lower case, "_" (0x5F) sorts before "a" and "b".
  EXPECT_EQ(StringsOf(list), (Strings{"_x", "ax", "b", "Bx", "\x82\x60"}));
  EXPECT_EQ(list.Objects(1), nullptr);
  EXPECT_EQ(list.IndexOf("bX"), 3);
  EXPECT_EQ(list.IndexOf("\x82\x81"), 4);
  int index = -1;
  EXPECT_FALSE(list.Find("az", index));
  EXPECT_EQ(index, 2);
  EXPECT_FALSE(list.Find("\x83\x40", index));
  EXPECT_EQ(index, 5);
}

TEST(StringList, TurningSortingOnKeepsTheFirstOfEqualStrings) {
  TStringList list;
  int first = 1, second = 2;
  list.AddObject("b", nullptr);
  list.AddObject("A", &first);
  list.AddObject("a", &second);
  list.SetSorted(true);
  ASSERT_EQ(StringsOf(list), (Strings{"A", "b"}));
  EXPECT_EQ(list.Objects(0), &first);
  list.SetSorted(false);
  list.Add("a");
  EXPECT_EQ(StringsOf(list), (Strings{"A", "b", "a"}));
}

TEST(StringList, PositionalChangesRefusedWhenSorted) {
  TStringList list;
  list.SetSorted(true);
  list.Add("a");
  EXPECT_THROW(list.Insert(0, "b"), EListError);
  EXPECT_THROW(list.SetString(0, "z"), EListError);
  EXPECT_THROW(list.Move(0, 0), EListError);
  EXPECT_EQ(StringsOf(list), Strings{"a"});
}

TEST(StringList, ObjectSlots) {
  TStringList list;
  int target = 0;
  list.AddObject("p", &target);
  list.Add("n");
  list.SetObjectInt(1, 3);
  EXPECT_EQ(list.Objects(0), &target);
  EXPECT_EQ(list.ObjectInt(1), 3);
  EXPECT_EQ(list.IndexOfObject(&target), 0);
  list.Delete(0);
  EXPECT_EQ(list.ObjectInt(0), 3);
  EXPECT_THROW(list.Objects(1), EListError);
}

TEST(StringList, TextJoinsWithCrLf) {
  TStringList list;
  EXPECT_EQ(list.Text(), "");
  list.Add("a");
  list.Add("");
  list.Add("\x82\xA0");
  EXPECT_EQ(list.Text(), "a\r\n\r\n\x82\xA0\r\n");
}

TEST(StringList, SetTextSplitsAtAnyLineBreak) {
  struct Case {
    const char* name;
    std::string text;
    Strings lines;
  } cases[] = {
      {"empty", "", {}},
      {"one line without break", "a", {"a"}},
      {"final break adds no line", "a\r\n", {"a"}},
      {"mixed breaks", "a\r\nb\nc\rd", {"a", "b", "c", "d"}},
      {"empty lines kept", "\r\n\n\rx\r\n\r\n", {"", "", "", "x", ""}},
      {"LF CR is two breaks", "a\n\rb", {"a", "", "b"}},
  };
  TStringList list;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    list.Add("stale");
    list.SetText(c.text);
    EXPECT_EQ(StringsOf(list), c.lines);
  }
}

TEST(StringList, NameValueLines) {
  TStringList list;
  list.SetText("Name=Taro\r\nempty=\r\nnoequals\r\nexpr=a=b\r\n");
  EXPECT_EQ(list.Values("name"), "Taro");
  EXPECT_EQ(list.Values("EXPR"), "a=b");
  EXPECT_EQ(list.IndexOfName("empty"), 1);
  EXPECT_EQ(list.Values("empty"), "");
  EXPECT_EQ(list.IndexOfName("noequals"), -1);
  EXPECT_EQ(list.Values("missing"), "");
}

}  // namespace
}  // namespace kova
