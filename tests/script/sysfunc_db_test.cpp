// The database system functions, called through compiled expressions.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/file_manager.h"
#include "script/db_manager.h"
#include "script/db_test_util.h"
#include "script/param_collection.h"
#include "script/script_ports.h"
#include "script/script_test_util.h"
#include "script/sysfunc.h"
#include "support/game_tree.h"

namespace kova {
namespace {

using test::B;
using test::ColumnTexts;
using test::ExprBuilder;
using test::F;
using test::I;
using test::LoadExpr;
using test::S;
using test::V;
using F_ = TSysFunc;
using Texts = std::vector<std::string>;

class SysFuncDB : public testing::Test {
 protected:
  void SetUp() override {
    TParamCollectionItem* cols = store.Declare("cols", PT_STR, TVarScope::Global);
    const int32_t two[] = {2};
    cols->SetDims(two);
    cols->SetStrAt(0, "level");
    cols->SetStrAt(1, "boss");
    TParamCollectionItem* vals = store.Declare("vals", PT_INT, TVarScope::Global);
    vals->SetDims(two);
    vals->SetIntAt(0, 3);
    vals->SetIntAt(1, 0);
  }

  // Runs "____0 := f(operands); ____arg := ____0" and answers the result's text.
  template <class... Ops>
  std::string Run(TSysFunc f, Ops... operands) {
    ExprBuilder e;
    e.Call(static_cast<uint8_t>(Ord(f)), "____0", {operands...}).Result(V("____0"));
    auto p = LoadExpr(e);
    p->Execute(store);
    return p->Result() ? p->Result()->GetStr() : "-";
  }

  // Items: name (string 10), level, w (float), boss (flag) with slime 3, dragon 9, bat 2.
  void MakeItems() {
    ASSERT_EQ(Run(F_::DBCreateTable, S("Items"), B(false)), "TRUE");
    ASSERT_EQ(Run(F_::DBAddField, S("name"), I(4), I(10)), "TRUE");
    ASSERT_EQ(Run(F_::DBAddField, S("level"), I(1)), "TRUE");
    ASSERT_EQ(Run(F_::DBAddField, S("w"), I(2)), "TRUE");
    ASSERT_EQ(Run(F_::DBAddField, S("boss"), I(3)), "TRUE");
    ASSERT_EQ(Run(F_::DBInsert, S("slime"), I(3), F(1.5L), B(false)), "TRUE");
    ASSERT_EQ(Run(F_::DBInsert, S("dragon"), I(9), F(2.5L), B(true)), "TRUE");
    // Each argument goes in by its own type: the text "2" into the integer column.
    ASSERT_EQ(Run(F_::DBInsert, S("bat"), S("2"), F(0.25L)), "TRUE");
  }

  // The store's parts: the tables, and a file manager with no folder until a test gives one.
  TNullScriptParts parts;
  TParamCollection store{parts.ports, nullptr};
};

TEST_F(SysFuncDB, WithoutTables) {
  struct Case {
    std::string result;
    std::string expected;
  } cases[] = {
      {Run(F_::DBGetActive), ""},
      {Run(F_::DBGetRecNo), "-1"},
      {Run(F_::DBRecordCount), "-1"},
      {Run(F_::DBRecordCount, S("x")), "-1"},
      {Run(F_::DBSetActive, S("x")), "FALSE"},
      {Run(F_::DBAddField, S("a"), I(1)), "FALSE"},
      {Run(F_::DBSetRecNo, I(0)), "FALSE"},
      {Run(F_::DBInsert, I(1)), "FALSE"},
      {Run(F_::DBDelete), "FALSE"},
      {Run(F_::DBGetInt, S("a")), "0"},
      {Run(F_::DBGetFloat, S("a")), "0"},
      {Run(F_::DBGetBool, S("a")), "FALSE"},
      {Run(F_::DBGetStr, S("a")), ""},
      {Run(F_::DBSetInt, S("a"), I(1)), "FALSE"},
      {Run(F_::DBSetStr, S("a"), S("b")), "FALSE"},
      {Run(F_::DBFindFirst), "FALSE"},
      {Run(F_::DBFindLast), "FALSE"},
      {Run(F_::DBFindNext), "FALSE"},
      {Run(F_::DBFindPrior), "FALSE"},
      {Run(F_::DBLocate, S("a"), I(1)), "FALSE"},
      {Run(F_::DBLoadTsvFile, S("a.tsv")), "FALSE"},
      {Run(F_::DBDirectGetInt, S("t"), S("a"), I(1), B(false), B(false), S("b"), I(-5)), "-5"},
      {Run(F_::DBDirectGetStr, S("t"), S("a"), I(1), B(false), B(false), S("b"), S("none")), "none"},
      {Run(F_::DBDirectSetInt, S("t"), S("a"), I(1), B(false), B(false), S("b"), I(1)), "FALSE"},
      {Run(F_::DBCopyTable, S("t")), "FALSE"},
      {Run(F_::DBDeleteTable), "FALSE"},
      {Run(F_::DBInsertTable, S("t")), "FALSE"},
      {Run(F_::DBCopy, S("t")), "FALSE"},
      {Run(F_::DBSort, S("a"), B(false)), "FALSE"},
      {Run(F_::DBClearRecord), "FALSE"},
      // No result: a new temporary keeps the zero value of its type.
      {Run(F_::DBClearTable), "FALSE"},
  };
  for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(cases[i].result, cases[i].expected) << "case " << i;
}

TEST_F(SysFuncDB, CreateAndFill) {
  MakeItems();
  EXPECT_EQ(Run(F_::DBCreateTable, S("ITEMS"), B(true)), "FALSE");
  EXPECT_EQ(Run(F_::DBCreateTable, S(""), B(false)), "FALSE");
  EXPECT_EQ(Run(F_::DBGetActive), "Items");
  EXPECT_EQ(Run(F_::DBAddField, S("bad"), I(5)), "FALSE");
  EXPECT_EQ(Run(F_::DBAddField, S("neg"), I(4), I(-1)), "FALSE");
  EXPECT_EQ(Run(F_::DBRecordCount), "3");
  EXPECT_EQ(Run(F_::DBRecordCount, S("items")), "3");
  EXPECT_EQ(Run(F_::DBGetRecNo), "2");
  EXPECT_EQ(Run(F_::DBGetStr, S("NAME")), "bat");
  EXPECT_EQ(Run(F_::DBGetInt, S("level")), "2");
  EXPECT_EQ(Run(F_::DBGetBool, S("boss")), "FALSE");  // a missing argument leaves the cell zero

  EXPECT_EQ(Run(F_::DBSetRecNo, I(-1)), "TRUE");
  EXPECT_EQ(Run(F_::DBGetRecNo), "-1");
  EXPECT_EQ(Run(F_::DBGetStr, S("name")), "");
  EXPECT_EQ(Run(F_::DBSetInt, S("level"), I(1)), "FALSE");
  EXPECT_EQ(Run(F_::DBDelete), "FALSE");
  EXPECT_EQ(Run(F_::DBRecordCount), "3");
  EXPECT_EQ(Run(F_::DBSetRecNo, I(3)), "FALSE");
  EXPECT_EQ(Run(F_::DBSetRecNo, I(1)), "TRUE");
  EXPECT_EQ(Run(F_::DBGetFloat, S("w")), "2.5");
  EXPECT_EQ(Run(F_::DBGetBool, S("boss")), "TRUE");
  EXPECT_EQ(Run(F_::DBGetInt, S("nothing")), "0");
  EXPECT_EQ(Run(F_::DBSetStr, S("name"), S("wyrm of the north")), "TRUE");
  EXPECT_EQ(Run(F_::DBGetStr, S("name")), "wyrm of th");
  EXPECT_EQ(Run(F_::DBSetFloat, S("w"), S("3.25")), "TRUE");
  EXPECT_EQ(Run(F_::DBGetStr, S("w")), "3.25");
  EXPECT_EQ(Run(F_::DBSetBool, S("boss"), I(0)), "TRUE");
  EXPECT_EQ(Run(F_::DBGetBool, S("boss")), "FALSE");
  EXPECT_EQ(Run(F_::DBSetInt, S("level"), F(7.5L)), "TRUE");
  EXPECT_EQ(Run(F_::DBGetInt, S("level")), "7");  // the argument read as an integer: truncated
  EXPECT_EQ(Run(F_::DBSetInt, S("nothing"), I(1)), "FALSE");
}

TEST_F(SysFuncDB, MovingAndSearching) {
  MakeItems();
  EXPECT_EQ(Run(F_::DBFindFirst), "TRUE");
  EXPECT_EQ(Run(F_::DBGetRecNo), "0");
  EXPECT_EQ(Run(F_::DBFindPrior), "FALSE");
  EXPECT_EQ(Run(F_::DBFindNext), "TRUE");
  EXPECT_EQ(Run(F_::DBGetRecNo), "1");
  EXPECT_EQ(Run(F_::DBFindLast), "TRUE");
  EXPECT_EQ(Run(F_::DBFindNext), "FALSE");
  EXPECT_EQ(Run(F_::DBFindPrior), "TRUE");
  EXPECT_EQ(Run(F_::DBGetRecNo), "1");

  EXPECT_EQ(Run(F_::DBLocate, S("name"), S("BAT"), B(true)), "TRUE");
  EXPECT_EQ(Run(F_::DBGetRecNo), "2");
  EXPECT_EQ(Run(F_::DBLocate, S("name"), S("BAT")), "FALSE");
  EXPECT_EQ(Run(F_::DBGetRecNo), "2");
  // Arrays of names and values: level = 3 and boss = 0.
  EXPECT_EQ(Run(F_::DBLocate, V("cols"), V("vals")), "TRUE");
  EXPECT_EQ(Run(F_::DBGetRecNo), "0");
  // Two names and one value: only the first pair counts.
  EXPECT_EQ(Run(F_::DBLocate, V("cols"), I(9)), "TRUE");
  EXPECT_EQ(Run(F_::DBGetRecNo), "1");
  EXPECT_EQ(Run(F_::DBLocate, S("nothing"), I(9)), "FALSE");
  EXPECT_EQ(Run(F_::DBGetRecNo), "1");
  // Partial: the cell's text inside the value.
  EXPECT_EQ(Run(F_::DBLocate, S("name"), S("acrobats"), B(false), B(true)), "TRUE");
  EXPECT_EQ(Run(F_::DBGetRecNo), "2");

  EXPECT_EQ(Run(F_::DBSort, S("level"), B(true)), "TRUE");
  EXPECT_EQ(ColumnTexts(*store.Ports().tables.ActiveTable(), 0), (Texts{"dragon", "slime", "bat"}));
  EXPECT_EQ(Run(F_::DBGetRecNo), "2");
}

TEST_F(SysFuncDB, DirectAccess) {
  MakeItems();
  EXPECT_EQ(Run(F_::DBDirectGetInt, S("items"), S("name"), S("slime"), B(false), B(false), S("level"), I(-5)), "3");
  EXPECT_EQ(Run(F_::DBDirectGetInt, S("items"), S("name"), S("orc"), B(false), B(false), S("level"), I(-5)), "-5");
  EXPECT_EQ(Run(F_::DBDirectGetFloat, S("items"), V("cols"), V("vals"), B(false), B(false), S("w"), I(0)), "1.5");
  EXPECT_EQ(Run(F_::DBDirectGetBool, S("items"), S("level"), I(9), B(false), B(false), S("boss"), B(false)), "TRUE");
  EXPECT_EQ(Run(F_::DBDirectGetStr, S("items"), S("name"), S("DRAG"), B(true), B(true), S("name"), S("?")), "?");
  EXPECT_EQ(Run(F_::DBDirectGetStr, S("items"), S("name"), S("BATS"), B(true), B(true), S("name"), S("?")), "bat");
  EXPECT_EQ(Run(F_::DBDirectSetInt, S("items"), S("name"), S("bat"), B(false), B(false), S("level"), I(4)), "TRUE");
  EXPECT_EQ(Run(F_::DBDirectSetFloat, S("items"), S("name"), S("bat"), B(false), B(false), S("w"), F(8)), "TRUE");
  EXPECT_EQ(Run(F_::DBDirectSetBool, S("items"), S("name"), S("bat"), B(false), B(false), S("boss"), B(true)), "TRUE");
  EXPECT_EQ(Run(F_::DBDirectSetStr, S("items"), S("name"), S("bat"), B(false), B(false), S("name"), S("imp")), "TRUE");
  EXPECT_EQ(Run(F_::DBDirectSetStr, S("items"), S("name"), S("bat"), B(false), B(false), S("name"), S("x")), "FALSE");
  EXPECT_EQ(Run(F_::DBDirectSetStr, S("items"), S("name"), S("imp"), B(false), B(false), S("x"), S("x")), "FALSE");
  EXPECT_EQ(Run(F_::DBDirectGetStr, S("items"), S("level"), I(4), B(false), B(false), S("w"), S("")), "8");
  EXPECT_EQ(Run(F_::DBDirectGetStr, S("items"), S("w"), F(8), B(false), B(false), S("boss"), S("")), "TRUE");
}

TEST_F(SysFuncDB, CopyingBetweenTables) {
  MakeItems();
  EXPECT_EQ(Run(F_::DBCreateTable, S("Keep"), B(true)), "TRUE");
  EXPECT_EQ(store.Ports().tables.FindTable("Keep")->Kind, kDBStatusKind);
  EXPECT_EQ(Run(F_::DBSetActive, S("items")), "TRUE");
  // The records without the boss flag, with the active table's layout.
  EXPECT_EQ(Run(F_::DBCopyTable, S("keep"), S("boss"), B(false)), "TRUE");
  EXPECT_EQ(ColumnTexts(*store.Ports().tables.FindTable("Keep"), 0), (Texts{"slime", "bat"}));
  EXPECT_EQ(Run(F_::DBCopyTable, S("items")), "FALSE");
  EXPECT_EQ(Run(F_::DBCopyTable, S("nothing")), "FALSE");
  // Columns without values: every record.
  EXPECT_EQ(Run(F_::DBCopyTable, S("keep"), S("boss")), "TRUE");
  EXPECT_EQ(Run(F_::DBRecordCount, S("keep")), "3");

  EXPECT_EQ(Run(F_::DBInsertTable, S("keep"), S("name"), S("bat")), "TRUE");
  EXPECT_EQ(Run(F_::DBRecordCount), "4");
  EXPECT_EQ(Run(F_::DBInsertTable, S("keep")), "TRUE");
  EXPECT_EQ(Run(F_::DBRecordCount), "7");
  EXPECT_EQ(Run(F_::DBInsertTable, S("nothing")), "FALSE");

  // A copy of the current record (the last inserted: bat).
  EXPECT_EQ(Run(F_::DBCopy, S("keep")), "TRUE");
  EXPECT_EQ(ColumnTexts(*store.Ports().tables.FindTable("Keep"), 0), (Texts{"slime", "dragon", "bat", "bat"}));
  // Into the active table itself: the copy holds the record, not the new zeroed one.
  EXPECT_EQ(Run(F_::DBCopy, S("items")), "TRUE");
  EXPECT_EQ(Run(F_::DBRecordCount), "8");
  EXPECT_EQ(Run(F_::DBGetStr, S("name")), "bat");

  // Different layouts.
  EXPECT_EQ(Run(F_::DBCreateTable, S("Other"), B(false)), "TRUE");
  EXPECT_EQ(Run(F_::DBAddField, S("name"), I(4), I(11)), "TRUE");
  EXPECT_EQ(Run(F_::DBSetActive, S("items")), "TRUE");
  EXPECT_EQ(Run(F_::DBCopy, S("other")), "FALSE");
  EXPECT_EQ(Run(F_::DBInsertTable, S("other")), "FALSE");
}

TEST_F(SysFuncDB, DeletingAndClearing) {
  MakeItems();
  EXPECT_EQ(Run(F_::DBCreateTable, S("Other"), B(false)), "TRUE");
  EXPECT_EQ(Run(F_::DBSetActive, S("items")), "TRUE");
  // Deleting the last record moves to the new last one.
  EXPECT_EQ(Run(F_::DBDelete), "FALSE");
  EXPECT_EQ(Run(F_::DBRecordCount), "2");
  EXPECT_EQ(Run(F_::DBGetRecNo), "1");
  EXPECT_EQ(Run(F_::DBClearRecord, S("items")), "TRUE");
  EXPECT_EQ(Run(F_::DBRecordCount), "0");
  EXPECT_EQ(Run(F_::DBGetRecNo), "-1");
  EXPECT_EQ(Run(F_::DBClearRecord, S("nothing")), "FALSE");
  EXPECT_EQ(Run(F_::DBClearRecord), "TRUE");
  // Deleting another table keeps the active one; deleting the active one leaves none.
  EXPECT_EQ(Run(F_::DBDeleteTable, S("other")), "FALSE");
  EXPECT_EQ(Run(F_::DBRecordCount, S("other")), "-1");
  EXPECT_EQ(Run(F_::DBGetActive), "Items");
  EXPECT_EQ(Run(F_::DBDeleteTable), "FALSE");
  EXPECT_EQ(Run(F_::DBGetActive), "");
  EXPECT_EQ(store.Ports().tables.Count(), 0);

  MakeItems();
  EXPECT_EQ(Run(F_::DBCreateTable, S("Status"), B(true)), "TRUE");
  EXPECT_EQ(Run(F_::DBClearTable), "FALSE");
  EXPECT_EQ(store.Ports().tables.Count(), 0);
  EXPECT_EQ(Run(F_::DBGetActive), "");
}

TEST_F(SysFuncDB, LoadTsvFile) {
  test::GameTree tree;
  tree.WriteFile("items.tsv", "name str 8\tlevel int\r\nslime\t3\r\ndragon\t9\r\n");
  parts.files.SetFolder(tree.Root());
  EXPECT_EQ(Run(F_::DBLoadTsvFile, S("items.tsv")), "FALSE");  // no active table
  MakeItems();
  EXPECT_EQ(Run(F_::DBLoadTsvFile, S("missing.tsv")), "FALSE");
  EXPECT_EQ(Run(F_::DBRecordCount), "3");  // untouched
  EXPECT_EQ(Run(F_::DBLoadTsvFile, S("ITEMS.TSV")), "FALSE");
  EXPECT_EQ(Run(F_::DBRecordCount), "2");
  EXPECT_EQ(store.Ports().tables.ActiveTable()->Fields().Count(), 2);
  EXPECT_EQ(Run(F_::DBDirectGetInt, S("items"), S("name"), S("dragon"), B(false), B(false), S("level"), I(0)), "9");
}

}  // namespace
}  // namespace kova
