// The table manager: bookkeeping of the active table, copies between tables, direct cell access
// and the stream form of the tables.
#include "script/db_manager.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/format.h"
#include "core/stream_records.h"
#include "script/db_test_util.h"
#include "script/script_test_util.h"
#include "support/le_writer.h"
#include "support/record_round_trip.h"

namespace kova {
namespace {

using test::AddColumns;
using test::ColumnTexts;
using test::Ints;
using test::LeWriter;
using test::StreamBytes;
using test::Strs;
using Texts = std::vector<std::string>;

// ---- The manager's stream, written from its format description ----

struct ColumnDef {
  int32_t size;
  std::string name;
  uint8_t type;
};

struct TableDef {
  TableDef(std::string n, uint8_t k, std::vector<ColumnDef> c, std::vector<std::vector<uint8_t>> r, int32_t no)
      : name(std::move(n)), kind(k), columns(std::move(c)), records(std::move(r)), rec_no(no) {}
  std::string name;
  uint8_t kind = 0;
  std::vector<ColumnDef> columns;
  std::vector<std::vector<uint8_t>> records;
  int32_t rec_no = -1;
  std::optional<int32_t> record_count = std::nullopt;  // a count that differs from the records written
};

// Version, table count, per table the type byte 0 and its record, and the active name when given.
std::vector<uint8_t> DbStream(const std::vector<TableDef>& tables, std::optional<std::string> active,
                              int32_t version = 100) {
  LeWriter w;
  w.I32(version).I32(static_cast<int32_t>(tables.size()));
  for (const TableDef& t : tables) {
    w.U8(0).Str(t.name).U8(t.kind).I32(static_cast<int32_t>(t.columns.size()));
    for (const ColumnDef& c : t.columns) w.I32(c.size).Str(c.name).U8(c.type);
    w.I32(t.record_count.value_or(static_cast<int32_t>(t.records.size())));
    for (const auto& r : t.records) w.Raw(r);
    w.I32(t.rec_no);
  }
  if (active) w.Str(*active);
  return w.Bytes();
}

// A record of the columns id (integer), w (float), f (flag), s (string of length 4).
std::vector<uint8_t> Record(int32_t id, long double w, bool f, std::string_view s) {
  LeWriter r;
  r.I32(id).Ext(w).U8(f ? 1 : 0).Raw(s).Fill(5 - s.size(), 0);
  return r.Bytes();
}

const std::vector<ColumnDef> kColumns = {{4, "id", 1}, {10, "w", 2}, {1, "f", 3}, {5, "s", 4}};

std::vector<uint8_t> Save(const TDBManager& m, uint8_t kind) {
  TMemoryStream s;
  m.SaveToStream(s, kind);
  return test::StreamBytes(s);
}

void Load(TDBManager& m, const std::vector<uint8_t>& bytes, uint8_t kind) {
  TSpanStream s(bytes);
  m.LoadFromStream(s, kind);
  EXPECT_EQ(s.Remaining(), 0);
}

class DBManagerTest : public testing::Test {
 protected:
  // Items (game, two records, current record 1), Scores (status, empty), Party (game, empty).
  void Fill() {
    m.CreateTable("Items", kDBGameKind);
    AddColumns(*m.ActiveTable(), {{"id", kDBInt}, {"w", kDBFloat}, {"f", kDBBool}, {"s", kDBStr, 4}});
    TDBCustomTable& items = *m.ActiveTable();
    items.Append();
    items.SetIntAt(0, 0, 7);
    items.SetFloatAt(0, 1, 2.5L);
    items.SetStrAt(0, 3, "ab");
    items.Append();
    items.SetIntAt(1, 0, -1);
    items.SetBoolAt(1, 2, true);
    items.SetStrAt(1, 3, "wxyz");
    m.CreateTable("Scores", kDBStatusKind);
    m.ActiveTable()->Fields().AddField("n", kDBInt, 0);
    m.CreateTable("Party", kDBGameKind);
    m.SetActive("items");
  }

  TDBManager m;
};

TEST_F(DBManagerTest, StreamBytes) {
  Fill();
  const TableDef items{"Items", 0, kColumns, {Record(7, 2.5L, false, "ab"), Record(-1, 0, true, "wxyz")}, 1};
  const TableDef party{"Party", 0, {}, {}, -1};
  const TableDef scores{"Scores", 1, {{4, "n", 1}}, {}, -1};
  EXPECT_EQ(Save(m, kDBGameKind), DbStream({items, party}, "Items"));
  EXPECT_EQ(Save(m, kDBStatusKind), DbStream({scores}, std::nullopt));
  m.SetActive("Scores");
  m.ActiveTable()->SetRecNo(-1);
  EXPECT_EQ(Save(m, kDBGameKind), DbStream({items, party}, "Scores"));
  m.Clear();
  EXPECT_EQ(Save(m, kDBGameKind), DbStream({}, ""));
}

TEST_F(DBManagerTest, LoadAndSaveAgainGiveTheSameBytes) {
  // Cells as the stream holds them, padding bytes and an unusual flag byte included.
  std::vector<uint8_t> odd = Record(3, -0.0L, true, "q");
  odd[14] = 2;
  odd[17] = 'z';  // after the terminator
  const TableDef a{"A", 0, kColumns, {Record(1, 1.0L / 3, false, "abcd"), odd}, 0};
  const TableDef b{"B", 0, {{4, "n", 1}}, {{1, 0, 0, 0}, {2, 0, 0, 0}, {3, 0, 0, 0}}, 2};
  const std::vector<uint8_t> bytes = DbStream({a, b}, "b");
  Load(m, bytes, kDBGameKind);
  EXPECT_EQ(m.Count(), 2);
  ASSERT_NE(m.ActiveTable(), nullptr);
  EXPECT_EQ(m.ActiveTable()->Name, "B");
  EXPECT_EQ(m.ActiveTable()->RecNo(), 2);
  EXPECT_EQ(ColumnTexts(*m.Tables(0), 3), (Texts{"abcd", "q"}));
  EXPECT_EQ(Save(m, kDBGameKind), DbStream({a, b}, "B"));
}

TEST_F(DBManagerTest, LoadReplacesOnlyItsKind) {
  Fill();
  // A game load keeps the status tables and finds its active table by name.
  Load(m, DbStream({{"New", 0, {}, {}, -1}}, "NEW"), kDBGameKind);
  ASSERT_EQ(m.Count(), 2);
  EXPECT_EQ(m.Tables(0)->Name, "Scores");
  EXPECT_EQ(m.ActiveTable()->Name, "New");
  // An active name that is no table leaves none active.
  Load(m, DbStream({{"New", 0, {}, {}, -1}}, "gone"), kDBGameKind);
  EXPECT_EQ(m.ActiveTable(), nullptr);
  // A status load keeps the game tables; the last table read is active.
  Load(m, DbStream({{"S1", 1, {}, {}, -1}, {"S2", 1, {}, {}, -1}}, std::nullopt), kDBStatusKind);
  ASSERT_EQ(m.Count(), 3);
  EXPECT_EQ(m.Tables(0)->Name, "New");
  EXPECT_EQ(m.ActiveTable()->Name, "S2");
  Load(m, DbStream({}, std::nullopt), kDBStatusKind);
  EXPECT_EQ(m.Count(), 1);
  EXPECT_EQ(m.ActiveTable(), nullptr);
}

TEST_F(DBManagerTest, CorruptStreamsRaise) {
  auto with_columns = [](std::vector<ColumnDef> columns) {
    return DbStream({{"Good", 0, {}, {}, -1}, {"Bad", 0, std::move(columns), {}, -1}}, "");
  };
  const std::vector<uint8_t> good = DbStream({{"Good", 0, {}, {}, -1}, {"T", 0, kColumns, {Record(1, 2, false, "x")}, 0}}, "T");
  TableDef many{"Bad", 0, {{4, "n", 1}}, {{1, 0, 0, 0}}, 0};
  many.record_count = 3;
  TableDef negative{"Bad", 0, {{4, "n", 1}}, {}, -1};
  negative.record_count = -1;
  TableDef empty_rows{"Bad", 0, {}, {}, -1};
  empty_rows.record_count = 1 << 30;
  TableDef over_cap{"Bad", 0, {}, {}, -1};
  over_cap.record_count = int32_t(kDBMaxEmptyRecords) + 1;
  // Empty records take no bytes: all tables of one load share the cap.
  TableDef good_half{"Good", 0, {}, {}, -1}, bad_half{"Bad", 0, {}, {}, -1};
  good_half.record_count = bad_half.record_count = int32_t(kDBMaxEmptyRecords / 2) + 1;
  LeWriter huge_columns;
  huge_columns.I32(100).I32(1).U8(0).Str("Bad").U8(0).I32(0x7FFFFFFF);
  auto size_error = [](int n) { return Format(MsgText(TMsg::DBBadFieldSize).c_str(), n); };
  auto type_error = [](int n) { return Format(MsgText(TMsg::DBBadFieldType).c_str(), n); };
  const std::string corrupt = MsgText(TMsg::DBDataCorrupt);
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    std::string message;  // empty: any message
    bool good_read_first = true;
  } cases[] = {
      {"integer of 5 bytes", with_columns({{5, "n", 1}}), size_error(5)},
      {"float of 8 bytes", with_columns({{8, "n", 2}}), size_error(8)},
      {"string of 0 bytes", with_columns({{0, "n", 4}}), size_error(0)},
      {"negative string", with_columns({{-20, "n", 4}}), size_error(-20)},
      {"string too long", with_columns({{kDBMaxStrLength + 2, "n", 4}}), size_error(kDBMaxStrLength + 2)},
      {"type 5", with_columns({{4, "n", 5}}), type_error(5)},
      {"type 0", with_columns({{4, "n", 0}}), type_error(0)},
      {"more records than bytes", DbStream({{"Good", 0, {}, {}, -1}, many}, ""), corrupt},
      {"negative record count", DbStream({{"Good", 0, {}, {}, -1}, negative}, ""), corrupt},
      {"endless empty records", DbStream({{"Good", 0, {}, {}, -1}, empty_rows}, ""), corrupt},
      {"empty records over the cap", DbStream({{"Good", 0, {}, {}, -1}, over_cap}, ""), corrupt},
      {"empty records over the cap together", DbStream({good_half, bad_half}, ""), corrupt},
      {"huge column count", huge_columns.Bytes(), corrupt, false},
      {"cut in a record", LeWriter().Raw(good).Truncated(good.size() - 20), ""},
      {"cut in the active name", LeWriter().Raw(good).Truncated(good.size() - 1), ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TDBManager fresh;
    fresh.CreateTable("Status", kDBStatusKind);
    TSpanStream s(c.bytes);
    const std::string message = test::ErrorOf<EReadError>([&] { fresh.LoadFromStream(s, kDBGameKind); });
    EXPECT_FALSE(message.empty());
    if (!c.message.empty()) {
      EXPECT_EQ(message, c.message);
    }
    // The status table stays; a table read whole before the fault stays too.
    EXPECT_EQ(fresh.IndexOfTable("Status"), 0);
    EXPECT_EQ(fresh.IndexOfTable("Good"), c.good_read_first ? 1 : -1);
    EXPECT_EQ(fresh.IndexOfTable("Bad"), -1);
  }
}

TEST_F(DBManagerTest, CreateSetActiveDelete) {
  EXPECT_EQ(m.CreateTable("", kDBGameKind), -1);
  EXPECT_EQ(m.ActiveTable(), nullptr);
  EXPECT_EQ(m.CreateTable("One", kDBGameKind), 0);
  EXPECT_EQ(m.CreateTable("Two", kDBStatusKind), 1);
  EXPECT_EQ(m.ActiveIndex(), 1);
  EXPECT_EQ(m.CreateTable("ONE", kDBGameKind), -1);  // any letter case
  EXPECT_EQ(m.ActiveIndex(), 1);
  EXPECT_EQ(m.CreateTable("Three", kDBGameKind), 2);
  EXPECT_FALSE(m.SetActive("four"));
  EXPECT_EQ(m.ActiveIndex(), 2);
  EXPECT_TRUE(m.SetActive("three"));

  // Deleting another table keeps the active one by name.
  EXPECT_FALSE(m.DeleteTable("one"));
  EXPECT_EQ(m.Count(), 2);
  EXPECT_EQ(m.ActiveTable()->Name, "Three");
  EXPECT_FALSE(m.DeleteTable("nothing"));
  EXPECT_EQ(m.ActiveTable()->Name, "Three");
  // Deleting the active table leaves none.
  m.DeleteTable("Three");
  EXPECT_EQ(m.ActiveTable(), nullptr);

  m.CreateTable("G1", kDBGameKind);
  m.CreateTable("G2", kDBGameKind);
  m.ClearGameTables();
  ASSERT_EQ(m.Count(), 1);
  EXPECT_EQ(m.Tables(0)->Name, "Two");
  EXPECT_EQ(m.ActiveTable(), nullptr);
  m.Clear();
  EXPECT_EQ(m.Count(), 0);
}

TEST_F(DBManagerTest, CopyAndInsert) {
  Fill();
  // Copying into the active table itself, or without such a table, fails.
  EXPECT_FALSE(m.CopyTable("ITEMS", {0}));
  EXPECT_FALSE(m.CopyTable("none", {0}));
  // The target takes the layout and the listed records (in list order).
  m.SetActive("Items");
  EXPECT_TRUE(m.CopyTable("Scores", {1, 0, 1}));
  TDBCustomTable& scores = *m.FindTable("Scores");
  EXPECT_TRUE(scores.Fields().SameLayout(m.ActiveTable()->Fields()));
  EXPECT_EQ(ColumnTexts(scores, 3), (Texts{"wxyz", "ab", "wxyz"}));
  EXPECT_EQ(scores.Kind, kDBStatusKind);
  // Same layouts: records go back into the active table.
  EXPECT_TRUE(m.InsertTable("Scores", {0}));
  EXPECT_EQ(ColumnTexts(*m.ActiveTable(), 3), (Texts{"ab", "wxyz", "wxyz"}));
  // Into itself.
  EXPECT_TRUE(m.InsertTable("items", {0, 1, 2}));
  EXPECT_EQ(ColumnTexts(*m.ActiveTable(), 3), (Texts{"ab", "wxyz", "wxyz", "ab", "wxyz", "wxyz"}));
  // Different layouts refuse.
  EXPECT_FALSE(m.InsertTable("Party", {0}));
  TDBManager empty;
  EXPECT_FALSE(empty.InsertTable("x", {}));
}

TEST_F(DBManagerTest, DirectCellAccess) {
  Fill();
  auto id = Strs({"id"});
  auto seven = Ints({7});
  auto minus_one = Ints({-1});
  auto nine = Ints({9});
  EXPECT_EQ(m.DirectGetStr("items", id.get(), seven.get(), false, false, "S", "def"), "ab");
  EXPECT_EQ(m.DirectGetInt("items", id.get(), minus_one.get(), false, false, "f", 5), 1);
  EXPECT_EQ(m.DirectGetInt("items", id.get(), nine.get(), false, false, "f", 5), 5);
  EXPECT_EQ(m.DirectGetInt("items", id.get(), seven.get(), false, false, "nothing", 5), 5);
  EXPECT_EQ(m.DirectGetInt("nothing", id.get(), seven.get(), false, false, "id", 5), 5);
  EXPECT_EQ(m.DirectGetFloat("items", id.get(), seven.get(), false, false, "w", 0), 2.5L);
  EXPECT_TRUE(m.DirectGetBool("items", id.get(), seven.get(), false, false, "nothing", true));
  EXPECT_TRUE(m.DirectSetStr("items", id.get(), minus_one.get(), false, false, "s", "new"));
  EXPECT_EQ(ColumnTexts(*m.FindTable("Items"), 3), (Texts{"ab", "new"}));
  EXPECT_FALSE(m.DirectSetInt("items", id.get(), nine.get(), false, false, "id", 1));
  EXPECT_FALSE(m.DirectSetBool("items", id.get(), seven.get(), false, false, "x", true));
  EXPECT_TRUE(m.DirectSetFloat("party", nullptr, nullptr, false, false, "x", 1) == false);
}

TEST(DBSaves, SectionsBothWaysAgainstGoldenBytes) {
  const TableDef items{"Items", 0, kColumns, {Record(7, 2.5L, false, "ab"), Record(-1, 0, true, "wxyz")}, 1};
  const TableDef party{"Party", 0, {}, {}, -1};
  const TableDef scores{"Scores", 1, {{4, "n", 1}}, {{9, 0, 0, 0}}, 0};
  struct Case {
    uint8_t kind;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {kDBGameKind, DbStream({items, party}, "Party")},
      {kDBGameKind, DbStream({}, "")},
      {kDBStatusKind, DbStream({scores}, std::nullopt)},
  };
  for (const Case& c : cases) {
    TDBManager m;
    test::ExpectRecordRoundTrip(
        c.bytes, [&](TStream& s) { m.LoadFromStream(s, c.kind); }, [&](TStream& s) { m.SaveToStream(s, c.kind); });
  }
}

TEST(DBSaves, VersionGates) {
  TDBManager m;
  m.CreateTable("Game", kDBGameKind);
  m.CreateTable("Status", kDBStatusKind);
  TMemoryStream game, status;
  m.SaveGameTables(game);
  m.SaveStatusTables(status);
  m.Clear();
  // Older saves hold no tables: nothing is read.
  game.SetPosition(0);
  m.LoadGameTables(game, kDBFirstGameVersion - 1);
  EXPECT_EQ(game.GetPosition(), 0);
  m.LoadStatusTables(status, kDBFirstStatusVersion - 1);
  EXPECT_EQ(m.Count(), 0);
  m.LoadGameTables(game, 129);
  status.SetPosition(0);
  m.LoadStatusTables(status, kDBFirstStatusVersion);
  EXPECT_EQ(game.Remaining(), 0);
  EXPECT_EQ(status.Remaining(), 0);
  EXPECT_NE(m.FindTable("Game"), nullptr);
  EXPECT_NE(m.FindTable("Status"), nullptr);
}

}  // namespace
}  // namespace kova
