// Searching, sorting and tab-separated text.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "script/db_table.h"
#include "script/db_test_util.h"
#include "support/text_cost_fixtures.h"

namespace kova {
namespace {

using test::AddColumns;
using test::ColumnTexts;
using test::Flags;
using test::Floats;
using test::Ints;
using test::Strs;
using Texts = std::vector<std::string>;
using List = std::vector<int32_t>;

// A table of monsters: name (string 10), level (integer), weight (float), boss (flag).
class DBQuery : public testing::Test {
 protected:
  void SetUp() override {
    AddColumns(t, {{"name", kDBStr, 10}, {"level", kDBInt}, {"weight", kDBFloat}, {"boss", kDBBool}});
    Add("drag", 5, 2.5L, false);
    Add("Dragons", 7, 1.0L, true);
    Add("slime", 5, 0.5L, false);
    Add("DRAG", 9, 2.5L, true);
    Add("", 1, 0, false);
  }
  void Add(const char* name, int32_t level, long double weight, bool boss) {
    t.Append();
    const int32_t r = t.RecNo();
    t.SetStrAt(r, 0, name);
    t.SetIntAt(r, 1, level);
    t.SetFloatAt(r, 2, weight);
    t.SetBoolAt(r, 3, boss);
  }
  List Select(const TCustomParam* columns, const TCustomParam* values, bool nocase = false, bool partial = false) {
    List list;
    t.Select(list, columns, values, nocase, partial);
    return list;
  }

  TDBTable t{"monsters"};
};

TEST_F(DBQuery, SelectByType) {
  struct Case {
    const char* name;
    std::unique_ptr<TCustomParam> columns, values;
    bool nocase, partial;
    List expected;
  };
  Case cases[] = {
      {"no condition", nullptr, Ints({1}), false, false, {0, 1, 2, 3, 4}},
      {"integer", Strs({"LEVEL"}), Ints({5}), false, false, {0, 2}},
      {"float exactly", Strs({"weight"}), Floats({2.5L}), false, false, {0, 3}},
      {"flag", Strs({"boss"}), Flags({true}), false, false, {1, 3}},
      {"integer against a string cell", Strs({"name"}), Ints({0}), false, false, {0, 1, 2, 3, 4}},
      {"string against an integer cell", Strs({"level"}), Strs({"9"}), false, false, {3}},
      {"two pairs", Strs({"level", "boss"}), Ints({5, 0}), false, false, {0, 2}},
      // Only min(columns, values) pairs are compared.
      {"extra column ignored", Strs({"level", "nothing"}), Ints({5}), false, false, {0, 2}},
      {"extra value ignored", Strs({"level"}), Ints({5, 99}), false, false, {0, 2}},
      // A column that does not exist stops the search with nothing found.
      {"missing column", Strs({"level", "nothing"}), Ints({5, 1}), false, false, {}},
      {"exact string", Strs({"name"}), Strs({"drag"}), false, false, {0}},
      {"exact without case", Strs({"name"}), Strs({"drag"}), true, false, {0, 3}},
      // Partial: the cell's text must occur within the value.
      {"partial", Strs({"name"}), Strs({"dragon"}), false, true, {0}},
      {"partial without case", Strs({"name"}), Strs({"dragon"}), true, true, {0, 3}},
      {"partial, longer cell", Strs({"name"}), Strs({"Dragon"}), false, true, {}},
      {"partial on a number cell", Strs({"level"}), Strs({"level 7"}), false, true, {1}},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Select(c.columns.get(), c.values.get(), c.nocase, c.partial), c.expected);
  }
  // The list is appended to.
  List list = {42};
  auto columns = Strs({"level"});
  auto values = Ints({9});
  t.Select(list, columns.get(), values.get(), false, false);
  EXPECT_EQ(list, (List{42, 3}));
}

TEST_F(DBQuery, SelectRespectsDoubleByteCharacters) {
  // The value "\x83\x41" ends in the byte 'A'; a cell "A" must not be found inside it, and its
  // second byte must not be folded to 'a' either.
  Add("A", 0, 0, false);
  Add("\x83\x41", 0, 0, false);
  auto columns = Strs({"name"});
  auto kana = Strs({"\x83\x41"});
  EXPECT_EQ(Select(columns.get(), kana.get(), true, true), (List{6}));
  auto other = Strs({"\x83\x61"});
  EXPECT_EQ(Select(columns.get(), other.get(), true, false), (List{}));
}

// Exact text searches and sorts at every text length, up to the declared length of 10.
TEST(DBSelect, TextsOfEveryLength) {
  TDBTable t("t");
  t.Fields().AddField("s", kDBStr, 10);
  const Texts texts = {"abcdefghij", "abcdefghZ", "", "abcdefgh", "a", "abcdefghA"};
  for (const std::string& s : texts) {
    t.Append();
    t.SetStrAt(t.RecNo(), 0, s);
  }
  auto column = Strs({"s"});
  for (size_t i = 0; i < texts.size(); ++i) {
    auto value = Strs({texts[i].c_str()});
    List list;
    t.Select(list, column.get(), value.get(), false, false);
    EXPECT_EQ(list, (List{static_cast<int32_t>(i)})) << texts[i];
  }
  for (const std::string& miss : {std::string("abcdefghijk"), std::string("abcdefgh\0", 9), std::string("abcdefgi")}) {
    TParamStr value;
    value.SetStr(miss);
    List list;
    t.Select(list, column.get(), &value, false, false);
    EXPECT_TRUE(list.empty()) << miss;
  }
  auto ascending = Flags({false});
  t.Sort(column.get(), ascending.get());
  EXPECT_EQ(ColumnTexts(t, 0), (Texts{"", "a", "abcdefgh", "abcdefghA", "abcdefghZ", "abcdefghij"}));
}

TEST_F(DBQuery, SortKeys) {
  struct Case {
    const char* name;
    std::unique_ptr<TCustomParam> columns, descending;
    Texts names;
  };
  Case cases[] = {
      // Byte order: upper case before lower case, a prefix before the longer text.
      {"name", Strs({"name"}), Flags({false}), {"", "DRAG", "Dragons", "drag", "slime"}},
      {"name descending", Strs({"name"}), Flags({true}), {"slime", "drag", "Dragons", "DRAG", ""}},
      {"level, then name", Strs({"level", "name"}), Flags({false, true}), {"", "slime", "drag", "Dragons", "DRAG"}},
      {"weight descending, then level", Strs({"weight", "level"}), Flags({true, false}),
       {"drag", "DRAG", "Dragons", "slime", ""}},
      {"boss, unknown names skipped", Strs({"x", "boss", "name"}), Flags({false, true, false}),
       {"DRAG", "Dragons", "", "drag", "slime"}},
      {"boss, then level descending", Strs({"boss", "level"}), Flags({false, true}),
       {"drag", "slime", "", "DRAG", "Dragons"}},
      {"flags shorter than names", Strs({"boss", "name"}), Flags({true}), {"Dragons", "DRAG", "drag", "slime", ""}},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.name);
    TDBTable copy("copy");
    copy.Fields().AssignLayout(t.Fields());
    for (int32_t r = 0; r < t.RecordCount(); ++r) copy.AppendCopy(t.RecordData(r));
    copy.SetRecNo(1);
    copy.Sort(c.columns.get(), c.descending.get());
    EXPECT_EQ(ColumnTexts(copy, 0), c.names);
    EXPECT_EQ(copy.RecNo(), 1);  // the number stays
  }
}

// Not-a-number cells sort after every number (before them when descending) and never upset the
// sort, whatever their share.
TEST(DBSort, NotANumberIsOrdered) {
  const long double nan = std::numeric_limits<long double>::quiet_NaN();
  TDBTable t("t");
  AddColumns(t, {{"x", kDBFloat}, {"i", kDBInt}});
  for (int32_t i = 0; i < 2000; ++i) {
    t.Append();
    t.SetFloatAt(i, 0, i % 3 == 0 ? nan : static_cast<long double>((i * 7919) % 1000) - 500);
    t.SetIntAt(i, 1, i);
  }
  for (bool descending : {false, true}) {
    auto columns = Strs({"x"});
    auto flags = Flags({descending});
    t.Sort(columns.get(), flags.get());
    ASSERT_EQ(t.RecordCount(), 2000);
    long double prev = 0;
    for (int32_t r = 0; r < 2000; ++r) {
      long double x;
      t.GetFloatAt(r, 0, x);
      const bool nan_part = descending ? r < 667 : r >= 1333;
      ASSERT_EQ(std::isnan(x), nan_part) << r;
      if (!nan_part && ((descending && r > 667) || (!descending && r > 0))) {
        ASSERT_TRUE(descending ? x <= prev : x >= prev) << r;
      }
      prev = x;
    }
  }
}

TEST(DBSort, EqualKeysKeepTheirOrder) {
  TDBTable t("t");
  AddColumns(t, {{"k", kDBInt}, {"n", kDBInt}});
  for (int32_t i = 0; i < 100; ++i) {
    t.Append();
    t.SetIntAt(i, 0, i % 2);
    t.SetIntAt(i, 1, i);
  }
  auto columns = Strs({"k"});
  auto flags = Flags({false});
  t.Sort(columns.get(), flags.get());
  for (int32_t r = 0; r < 100; ++r) {
    int32_t n;
    t.GetIntAt(r, 1, n);
    EXPECT_EQ(n, r < 50 ? r * 2 : (r - 50) * 2 + 1);
  }
}

TEST(DBTsv, HeaderCells) {
  TDBTable t("t");
  t.LoadTsv("score int\tname\ttitle string 20\tx Int\tw  float \tb bool 3\ts str -4\tz str abc\r\n");
  struct Col {
    const char* name;
    uint8_t type;
    int32_t size;
  } expected[] = {
      {"score", kDBInt, 4}, {"name", kDBStr, 81}, {"title", kDBStr, 21}, {"x", kDBStr, 81},
      {"w", kDBFloat, 10},  {"b", kDBBool, 1},    {"s", kDBStr, 81},     {"z", kDBStr, 81},
  };
  ASSERT_EQ(t.Fields().Count(), 8);
  for (int32_t i = 0; i < 8; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(t.Fields().Items(i).Name, expected[i].name);
    EXPECT_EQ(t.Fields().Items(i).Type, expected[i].type);
    EXPECT_EQ(t.Fields().Items(i).Size, expected[i].size);
  }
  EXPECT_EQ(t.RecordCount(), 0);
}

TEST(DBTsv, Records) {
  TDBTable t("t");
  t.Fields().AddField("old", kDBInt, 0);
  t.Append();
  EXPECT_FALSE(t.LoadTsv(
      "name str 8\tlevel int\tboss bool\n"
      "slime\t3\tFALSE\n"
      "\n"
      "say \\\"hi\\\"\\n\\\\\t7\tTRUE\r"
      "short\r\n"
      "a\t\t\tignored\n"
      "much too long\t$10"));
  ASSERT_EQ(t.Fields().Count(), 3);
  EXPECT_EQ(ColumnTexts(t, 0), (Texts{"slime", "say \"hi\"", "short", "a", "much too"}));
  EXPECT_EQ(ColumnTexts(t, 1), (Texts{"3", "7", "0", "0", "16"}));
  EXPECT_EQ(ColumnTexts(t, 2), (Texts{"FALSE", "TRUE", "FALSE", "FALSE", "FALSE"}));
  EXPECT_EQ(t.RecNo(), 4);

  // The escapes: \n becomes CR LF.
  t.LoadTsv("s str 20\nx\\ny\\\\z");
  EXPECT_EQ(ColumnTexts(t, 0), (Texts{"x\r\ny\\z"}));
}

TEST(DBTsv, EmptyAndBrokenHeaders) {
  TDBTable t("t");
  t.Fields().AddField("old", kDBInt, 0);
  t.Append();
  t.LoadTsv("");
  EXPECT_EQ(t.Fields().Count(), 0);
  EXPECT_EQ(t.RecordCount(), 0);
  // A header cell without a name clears the columns and ends the load.
  t.LoadTsv("a int\t\tb int\n1\t2\n");
  EXPECT_EQ(t.Fields().Count(), 0);
  EXPECT_EQ(t.RecordCount(), 0);
  t.LoadTsv(" a int\n1\n");
  EXPECT_EQ(t.Fields().Count(), 0);
}

TEST(DBTsv, TabsInsideDoubleByteCharacters) {
  // A lead byte directly before a tab takes the tab as its second byte (as the tab splitter does).
  TDBTable t("t");
  t.LoadTsv("a\tb\n\x82\xA0x\ty\n\x82\tz\n");
  EXPECT_EQ(ColumnTexts(t, 0), (Texts{"\x82\xA0x", std::string("\x82\tz", 3)}));
  EXPECT_EQ(ColumnTexts(t, 1), (Texts{"y", ""}));
}

// Wide columns declared by a short header over many near-empty lines: the records kept cost at
// most a fixed multiple of the text's size, the first lines are the ones kept, and a table whose
// rows carry their cells loads whole.
TEST(DBTsv, RecordsCostNoMoreThanTheTextDescribes) {
  std::string columns;
  for (int c = 0; c < 300; ++c) columns += (c ? "\t" : "") + std::string(1, char('a' + c % 26));
  struct Case {
    const char* what;
    std::string text;
  } cases[] = {
      {"wide declared columns, tab-only lines", test::WideTsv()},
      {"many default columns, empty cells", columns + "\n" + [] {
         std::string rows;
         for (int r = 0; r < 300; ++r) rows += "x" + std::to_string(r) + "\t\n";
         return rows;
       }()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TDBTable t("t");
    t.LoadTsv(c.text);
    ASSERT_GT(t.Fields().Count(), 0);
    const int64_t cost = int64_t(t.RecordCount()) * (t.Fields().RecordSize() + kDBRecordOverhead);
    EXPECT_LE(cost, kDBTsvSlack + kDBTsvBytesPerByte * int64_t(c.text.size()));
  }
  TDBTable many("many");
  many.LoadTsv(cases[1].text);
  ASSERT_GT(many.RecordCount(), 0);
  EXPECT_LT(many.RecordCount(), 300);
  EXPECT_EQ(ColumnTexts(many, 0).front(), "x0");

  // Filled rows are far inside the bound however many columns they have.
  std::string filled = columns + "\n";
  for (int r = 0; r < 20; ++r) {
    for (int c = 0; c < 300; ++c) filled += (c ? "\t" : "") + std::to_string(r * c);
    filled += "\n";
  }
  TDBTable whole("whole");
  whole.LoadTsv(filled);
  EXPECT_EQ(whole.RecordCount(), 20);
}

// A large file: about 5 MiB of records in every column type.
TEST(DBTsv, LargeFile) {
  std::string text = "id int\tname str 40\tw float\tflag bool\n";
  int32_t lines = 0;
  while (text.size() < (size_t(5) << 20)) {
    text += std::to_string(lines) + "\tname number " + std::to_string(lines) + " \x82\xA0\x82\xA2\t" +
            std::to_string(lines) + ".25\t" + (lines % 2 ? "TRUE" : "FALSE") + "\r\n";
    ++lines;
  }
  TDBTable t("big");
  t.LoadTsv(text);
  ASSERT_EQ(t.RecordCount(), lines);
  int32_t id;
  long double w;
  std::string name;
  t.GetIntAt(lines - 1, 0, id);
  t.GetFloatAt(lines - 1, 2, w);
  t.GetStrAt(lines - 1, 1, name);
  EXPECT_EQ(id, lines - 1);
  EXPECT_EQ(w, lines - 1 + 0.25L);
  EXPECT_EQ(name, "name number " + std::to_string(lines - 1) + " \x82\xA0\x82\xA2");
}

}  // namespace
}  // namespace kova
