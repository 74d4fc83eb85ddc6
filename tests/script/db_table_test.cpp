#include "script/db_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "core/stream_records.h"
#include "script/db_test_util.h"

namespace kova {
namespace {

using test::AddColumns;

TEST(DBFieldList, AddFieldSizesAndRefusals) {
  TDBFieldList list;
  struct Case {
    int32_t type, length, index, size;
  } cases[] = {
      {kDBInt, 99, 0, 4}, {kDBFloat, 0, 1, 10}, {kDBBool, -5, 2, 1}, {kDBStr, 10, 3, 11}, {kDBStr, 0, 4, 1},
      {5, 10, -1, 0}, {0, 10, -1, 0}, {kDBStr, -1, -1, 0}, {kDBStr, kDBMaxStrLength + 1, -1, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "type " << c.type << " length " << c.length);
    EXPECT_EQ(list.AddField("c", c.type, c.length), c.index);
    if (c.index >= 0) {
      EXPECT_EQ(list.Items(c.index).Size, c.size);
    }
  }
  EXPECT_EQ(list.Count(), 5);
  EXPECT_EQ(list.RecordSize(), 4 + 10 + 1 + 11 + 1);
  EXPECT_EQ(list.FieldOffset(3), 15);
  // The record size is capped: a column that would pass it is refused.
  TDBFieldList big;
  for (int i = 0; i < 16; ++i) ASSERT_GE(big.AddField("s", kDBStr, kDBMaxStrLength), 0);
  EXPECT_EQ(big.AddField("s", kDBStr, kDBMaxStrLength), -1);
  EXPECT_EQ(big.RecordSize(), kDBMaxRecordSize);
}

TEST(DBFieldList, NamesAndLayouts) {
  TDBFieldList a;
  a.AddField("Score", kDBInt, 0);
  a.AddField("score", kDBStr, 5);
  // "\x83\x41" (a katakana whose second byte is 'A') differs from "\x83\x61".
  a.AddField("\x83\x41", kDBBool, 0);
  EXPECT_EQ(a.IndexOf("SCORE"), 0);
  EXPECT_EQ(a.IndexOf("\x83\x61"), -1);
  EXPECT_EQ(a.IndexOf("\x83\x41"), 2);
  EXPECT_EQ(a.IndexOf("scor"), -1);

  TDBFieldList b;
  b.AssignLayout(a);
  EXPECT_TRUE(b.SameLayout(a));
  EXPECT_EQ(b.RecordSize(), a.RecordSize());
  b.Items(0).Name = "SCORE";  // names compare with regard to case
  EXPECT_FALSE(b.SameLayout(a));
  TDBFieldList c;
  c.AddField("Score", kDBInt, 0);
  c.AddField("score", kDBStr, 6);
  c.AddField("\x83\x41", kDBBool, 0);
  EXPECT_FALSE(c.SameLayout(a));
  c.Clear();
  EXPECT_EQ(c.Count(), 0);
  EXPECT_EQ(c.RecordSize(), 0);
}

TEST(DBTable, ColumnsChangeExistingRecords) {
  TDBTable t("t");
  AddColumns(t, {{"a", kDBInt}, {"b", kDBStr, 3}, {"c", kDBInt}});
  t.Append();
  t.SetIntAt(0, 0, 7);
  t.SetStrAt(0, 1, "xyz");
  t.SetIntAt(0, 2, -1);
  // A new column gives every record a zeroed cell and keeps the others.
  ASSERT_EQ(t.Fields().AddField("d", kDBFloat, 0), 3);
  const uint8_t* r = t.RecordData(0);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(r[12 + i], 0) << i;
  int32_t v = 0;
  EXPECT_TRUE(t.GetIntAt(0, 2, v));
  EXPECT_EQ(v, -1);
  // Removing a column drops its cells; the later ones move down.
  t.Fields().RemoveField(1);
  EXPECT_EQ(t.Fields().RecordSize(), 18);
  EXPECT_TRUE(t.GetIntAt(0, 1, v));
  EXPECT_EQ(v, -1);
  EXPECT_TRUE(t.GetIntAt(0, 0, v));
  EXPECT_EQ(v, 7);
  // Clearing the columns drops the records.
  t.Fields().Clear();
  EXPECT_EQ(t.RecordCount(), 0);
  EXPECT_EQ(t.RecNo(), -1);
}

TEST(DBTable, Navigation) {
  TDBTable t("t");
  AddColumns(t, {{"n", kDBInt}});
  EXPECT_FALSE(t.First());
  EXPECT_FALSE(t.Last());
  EXPECT_FALSE(t.Next());
  EXPECT_EQ(t.RecNo(), -1);
  for (int i = 0; i < 3; ++i) {
    EXPECT_TRUE(t.Append());
    t.SetIntAt(i, 0, i * 10);
  }
  EXPECT_EQ(t.RecNo(), 2);
  EXPECT_FALSE(t.Next());
  EXPECT_TRUE(t.Prior());
  EXPECT_EQ(t.RecNo(), 1);
  EXPECT_TRUE(t.First());
  EXPECT_FALSE(t.Prior());
  EXPECT_TRUE(t.Next());
  EXPECT_EQ(t.RecNo(), 1);
  EXPECT_FALSE(t.SetRecNo(3));
  EXPECT_EQ(t.RecNo(), 1);
  EXPECT_TRUE(t.SetRecNo(-5));
  EXPECT_EQ(t.RecNo(), -1);
  EXPECT_EQ(t.CurrentRecord(), nullptr);
  EXPECT_FALSE(t.Next());  // no current record
  EXPECT_FALSE(t.Delete());
  EXPECT_EQ(t.RecordCount(), 3);

  // Deleting the middle record: the next one takes its number.
  t.SetRecNo(1);
  EXPECT_FALSE(t.Delete());
  EXPECT_EQ(t.RecordCount(), 2);
  EXPECT_EQ(t.RecNo(), 1);
  EXPECT_EQ(test::ColumnTexts(t, 0), (std::vector<std::string>{"0", "20"}));
  // Deleting the last record makes the new last one current.
  EXPECT_FALSE(t.Delete());
  EXPECT_EQ(t.RecNo(), 0);
  // Deleting the only record leaves no current record.
  t.Delete();
  EXPECT_EQ(t.RecordCount(), 0);
  EXPECT_EQ(t.RecNo(), -1);
}

TEST(DBTable, CellAccessOutOfRange) {
  TDBTable t("t");
  AddColumns(t, {{"n", kDBInt}});
  int32_t v = 5;
  EXPECT_FALSE(t.GetIntAt(0, 0, v));
  t.Append();
  EXPECT_FALSE(t.GetIntAt(1, 0, v));
  EXPECT_FALSE(t.GetIntAt(-1, 0, v));
  EXPECT_FALSE(t.GetIntAt(0, 1, v));
  EXPECT_FALSE(t.SetStrAt(0, -1, "1"));
  EXPECT_EQ(v, 5);
  EXPECT_TRUE(t.SetInt("N", 3));
  EXPECT_TRUE(t.GetInt("n", v));
  EXPECT_EQ(v, 3);
  EXPECT_FALSE(t.GetInt("m", v));
  t.SetRecNo(-1);
  EXPECT_FALSE(t.GetInt("n", v));
}

// Every type pair: a value stored through one setter into a column of each type, then read back
// through all four getters.
TEST(DBTable, CellConversions) {
  const long double nan = std::numeric_limits<long double>::quiet_NaN();
  struct Case {
    const char* name;
    int32_t type;
    std::function<void(TDBTable&)> set;
    int32_t i;
    long double f;
    bool b;
    std::string s;
  } cases[] = {
      // integer column
      {"int <- int", kDBInt, [](TDBTable& t) { t.SetIntAt(0, 0, -7); }, -7, -7, true, "-7"},
      {"int <- 2.5", kDBInt, [](TDBTable& t) { t.SetFloatAt(0, 0, 2.5L); }, 2, 2, true, "2"},
      {"int <- 3.5", kDBInt, [](TDBTable& t) { t.SetFloatAt(0, 0, 3.5L); }, 4, 4, true, "4"},
      {"int <- -2.5", kDBInt, [](TDBTable& t) { t.SetFloatAt(0, 0, -2.5L); }, -2, -2, true, "-2"},
      {"int <- nan", kDBInt, [nan](TDBTable& t) { t.SetFloatAt(0, 0, nan); }, 0, 0, false, "0"},
      {"int <- 1e30", kDBInt, [](TDBTable& t) { t.SetFloatAt(0, 0, 1e30L); }, 0, 0, false, "0"},
      {"int <- true", kDBInt, [](TDBTable& t) { t.SetBoolAt(0, 0, true); }, 1, 1, true, "1"},
      {"int <- '42'", kDBInt, [](TDBTable& t) { t.SetStrAt(0, 0, "42"); }, 42, 42, true, "42"},
      {"int <- '$1F'", kDBInt, [](TDBTable& t) { t.SetStrAt(0, 0, "$1F"); }, 31, 31, true, "31"},
      {"int <- 'x'", kDBInt, [](TDBTable& t) { t.SetStrAt(0, 0, "x"); }, 0, 0, false, "0"},
      // float column
      {"float <- int", kDBFloat, [](TDBTable& t) { t.SetIntAt(0, 0, 3); }, 3, 3, true, "3"},
      {"float <- 2.5", kDBFloat, [](TDBTable& t) { t.SetFloatAt(0, 0, 2.5L); }, 2, 2.5L, true, "2.5"},
      {"float <- 0.1", kDBFloat, [](TDBTable& t) { t.SetFloatAt(0, 0, 0.1L); }, 0, 0.1L, true, "0.1"},
      {"float <- 1e20", kDBFloat, [](TDBTable& t) { t.SetFloatAt(0, 0, 1e20L); }, 0, 1e20L, true, "1E20"},
      {"float <- nan", kDBFloat, [nan](TDBTable& t) { t.SetFloatAt(0, 0, nan); }, 0, nan, true, "NAN"},
      {"float <- true", kDBFloat, [](TDBTable& t) { t.SetBoolAt(0, 0, true); }, 1, 1, true, "1"},
      {"float <- '1.5E-5'", kDBFloat, [](TDBTable& t) { t.SetStrAt(0, 0, "1.5E-5"); }, 0, 1.5e-5L, true, "1.5E-5"},
      {"float <- 'abc'", kDBFloat, [](TDBTable& t) { t.SetStrAt(0, 0, "abc"); }, 0, 0, false, "0"},
      // flag column
      {"bool <- 5", kDBBool, [](TDBTable& t) { t.SetIntAt(0, 0, 5); }, 1, 1, true, "TRUE"},
      {"bool <- 0", kDBBool, [](TDBTable& t) { t.SetIntAt(0, 0, 0); }, 0, 0, false, "FALSE"},
      {"bool <- 0.5", kDBBool, [](TDBTable& t) { t.SetFloatAt(0, 0, 0.5L); }, 1, 1, true, "TRUE"},
      {"bool <- true", kDBBool, [](TDBTable& t) { t.SetBoolAt(0, 0, true); }, 1, 1, true, "TRUE"},
      {"bool <- 'TRUE'", kDBBool, [](TDBTable& t) { t.SetStrAt(0, 0, "TRUE"); }, 1, 1, true, "TRUE"},
      {"bool <- 'true'", kDBBool, [](TDBTable& t) { t.SetStrAt(0, 0, "true"); }, 0, 0, false, "FALSE"},
      // string column of length 10
      {"str <- int", kDBStr, [](TDBTable& t) { t.SetIntAt(0, 0, -123); }, -123, -123, false, "-123"},
      {"str <- min int", kDBStr, [](TDBTable& t) { t.SetIntAt(0, 0, INT32_MIN); }, -214748364, -214748364.0L, false,
       "-214748364"},
      {"str <- 2.5", kDBStr, [](TDBTable& t) { t.SetFloatAt(0, 0, 2.5L); }, 0, 2.5L, false, "2.5"},
      {"str <- true", kDBStr, [](TDBTable& t) { t.SetBoolAt(0, 0, true); }, 0, 0, true, "TRUE"},
      {"str <- false", kDBStr, [](TDBTable& t) { t.SetBoolAt(0, 0, false); }, 0, 0, false, "FALSE"},
      {"str <- long", kDBStr, [](TDBTable& t) { t.SetStrAt(0, 0, "abcdefghijkl"); }, 0, 0, false, "abcdefghij"},
      {"str <- ' 12'", kDBStr, [](TDBTable& t) { t.SetStrAt(0, 0, " 12"); }, 12, 12, false, " 12"},
      {"str <- 'True'", kDBStr, [](TDBTable& t) { t.SetStrAt(0, 0, "True"); }, 0, 0, false, "True"},
      // A double-byte character that would not fit whole is dropped, never cut in half.
      {"str <- cut kana", kDBStr, [](TDBTable& t) { t.SetStrAt(0, 0, "abcdefghi\x82\xA0"); }, 0, 0, false,
       "abcdefghi"},
      {"str <- fitting kana", kDBStr, [](TDBTable& t) { t.SetStrAt(0, 0, "abcdefgh\x82\xA0z"); }, 0, 0, false,
       "abcdefgh\x82\xA0"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TDBTable t("t");
    t.Fields().AddField("c", c.type, 10);
    t.Append();
    c.set(t);
    int32_t i = -99;
    long double f = -99;
    bool b = false;
    std::string s = "-";
    ASSERT_TRUE(t.GetIntAt(0, 0, i));
    ASSERT_TRUE(t.GetFloatAt(0, 0, f));
    ASSERT_TRUE(t.GetBoolAt(0, 0, b));
    ASSERT_TRUE(t.GetStrAt(0, 0, s));
    EXPECT_EQ(i, c.i);
    if (std::isnan(c.f)) {
      EXPECT_TRUE(std::isnan(f));
    } else {
      EXPECT_EQ(f, c.f);
    }
    EXPECT_EQ(b, c.b);
    EXPECT_EQ(s, c.s);
  }
}

TEST(DBTable, CellBytes) {
  TDBTable t("t");
  AddColumns(t, {{"i", kDBInt}, {"f", kDBFloat}, {"b", kDBBool}, {"s", kDBStr, 4}});
  t.Append();
  t.SetIntAt(0, 0, 0x01020304);
  t.SetFloatAt(0, 1, 2.5L);
  t.SetBoolAt(0, 2, true);
  t.SetStrAt(0, 3, "abcd");
  t.SetStrAt(0, 3, "x");  // a shorter text leaves zeros behind it
  const std::vector<uint8_t> expected = {0x04, 0x03, 0x02, 0x01, 0, 0, 0, 0, 0, 0, 0, 0xA0, 0x00, 0x40,
                                         0x01, 'x', 0, 0, 0, 0};
  ASSERT_EQ(t.Fields().RecordSize(), 20);
  EXPECT_EQ(std::vector<uint8_t>(t.RecordData(0), t.RecordData(0) + 20), expected);
}

TEST(DBCell, FloatTextReadsBack) {
  struct Case {
    long double x;
    const char* text;
  } cases[] = {
      {0, "0"},          {-0.0L, "0"},          {1, "1"},         {-3, "-3"},           {0.1L, "0.1"},
      {1e15L, "1E15"},   {123456789012345.0L, "123456789012345"},  {0.0001L, "0.0001"}, {1.5e-5L, "1.5E-5"},
      {-2.5e-7L, "-2.5E-7"}, {1.0L / 3, "0.33333333333333333334"},
      {std::numeric_limits<long double>::infinity(), "INF"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(dbcell::FloatText(c.x), c.text);
  }
  // Arbitrary values survive a trip through a string cell.
  TDBField field("s", 41, kDBStr);
  uint8_t cell[41];
  for (long double x : {1.0L / 3, 2.0L / 7 * 1e300L, 6.02214076e23L, -1e-4000L, 0.1L + 0.2L}) {
    dbcell::SetFloat(cell, field, x);
    EXPECT_EQ(dbcell::GetFloat(cell, field), x) << dbcell::FloatText(x);
  }
}

TEST(DBCell, RoundToInt) {
  struct Case {
    long double x;
    int32_t n;
  } cases[] = {
      {0.5L, 0}, {1.5L, 2}, {2.5L, 2}, {-0.5L, 0}, {-1.5L, -2}, {2.4999L, 2}, {2147483647.0L, INT32_MAX},
      {4294967296.0L + 5, 5}, {9.3e18L, 0}, {-9.3e18L, 0}, {std::numeric_limits<long double>::infinity(), 0},
  };
  for (const auto& c : cases) EXPECT_EQ(dbcell::RoundToInt(c.x), c.n) << static_cast<double>(c.x);
}

}  // namespace
}  // namespace kova
