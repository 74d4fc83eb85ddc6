#include "script/param_collection.h"

#include <gtest/gtest.h>

#include "core/errors.h"
#include "core/format.h"
#include "core/stream.h"
#include "script/param_system.h"
#include "script/script_errors.h"
#include "script/script_test_util.h"
#include "support/le_writer.h"
#include "support/record_round_trip.h"

namespace kova {
namespace {

using test::ErrorOf;
using test::LeWriter;
using test::StreamBytes;

TEST(VariableStore, RegistersTheSystemVariables) {
  TParamCollection store;
  ASSERT_EQ(store.Count(), kSysVarCount);
  for (int32_t id = 0; id < kSysVarCount; ++id) {
    TParamCollectionItem* item = store.Items(id);
    EXPECT_TRUE(item->IsSystem());
    EXPECT_EQ(item->SystemId(), id);
    EXPECT_EQ(item->Name(), SysVarName(id));
  }
  EXPECT_EQ(store.IndexOf("@RESULT"), 0);
  EXPECT_EQ(store.IndexOf("@wheelup"), 48);
  EXPECT_EQ(store.IndexOf("@nothing"), -1);
}

TEST(VariableStore, NameRule) {
  TParamCollection store;
  for (const char* bad : {"1abc", "a b", "", "9", " x"}) {
    const std::string expected = Format(MsgText(TMsg::VarNameError).c_str(), bad);
    EXPECT_EQ(ErrorOf<EScriptError>([&] { store.Declare(bad, PT_INT, TVarScope::Global); }), expected) << bad;
  }
  EXPECT_EQ(store.Count(), kSysVarCount);  // refused names leave no item behind
  // "@" and "____" names pass; a full-width space (81 40) is no half-width space, and a name of
  // double-byte characters may hold any trail byte.
  for (const char* good : {"@x", "____1", "a\x81\x40" "b", "\x82\xA0", "x1"}) {
    EXPECT_NO_THROW(store.Declare(good, PT_INT, TVarScope::Global)) << good;
  }
  TParamCollectionItem* x = store.FindParam("x1");
  EXPECT_THROW(x->SetName("0x"), EScriptError);
  EXPECT_EQ(x->Name(), "x1");
}

TEST(VariableStore, ScopesAndLookup) {
  TParamCollection store;
  TParamCollectionItem* global = store.Declare("x", PT_INT, TVarScope::Global);
  global->SetInt(1);
  store.CurrentDepth = 2;
  TParamCollectionItem* local = store.Declare("X", PT_INT, TVarScope::Local);
  local->SetInt(2);
  EXPECT_EQ(local->FrameDepth, 2);
  EXPECT_EQ(local->LocalFlag, 1);
  EXPECT_EQ(store.FindParam("x"), local);
  store.CurrentDepth = 3;
  EXPECT_EQ(store.FindParam("x"), global);
  store.CurrentDepth = 1;
  EXPECT_EQ(store.FindParam("x"), global);
  EXPECT_EQ(store.FindScoped("x", true), nullptr);
  store.CurrentDepth = 2;
  EXPECT_EQ(store.FindScoped("x", true), local);
  EXPECT_EQ(store.FindScoped("x", false), global);

  // Of two non-locals of one name, the one named earliest is found; declarations find the latest.
  TParamCollectionItem* second = store.AddParam(PT_STR);
  second->SetName("dup");
  TParamCollectionItem* third = store.AddParam(PT_STR);
  third->SetName("DUP");
  EXPECT_EQ(store.FindParam("dup"), second);
  EXPECT_EQ(store.FindScoped("dup", false), third);
}

TEST(VariableStore, FreeDepthAndClearGame) {
  TParamCollection store;
  store.Declare("g", PT_INT, TVarScope::Global);
  TParamCollectionItem* status = store.Declare("s", PT_STR, TVarScope::Status);
  status->SetStr("kept");
  store.CurrentDepth = 1;
  store.Declare("a1", PT_INT, TVarScope::AutoFree);
  store.CurrentDepth = 2;
  store.Declare("a2", PT_INT, TVarScope::AutoFree);
  store.Declare("l2", PT_INT, TVarScope::Local);
  store.FreeDepth(2);
  EXPECT_EQ(store.FindParam("a2"), nullptr);
  EXPECT_EQ(store.FindParam("l2"), nullptr);
  EXPECT_NE(store.FindParam("a1"), nullptr);
  store.FreeDepth(-1);  // never frees globals, status or system variables
  EXPECT_EQ(store.Count(), kSysVarCount + 3);

  store.Globals.TextDelay = 10;
  store.Globals.Cursor = "hand";
  store.Globals.HistFormat = {1, 2, 3, 4, 5, 6};
  store.ClearGame();
  EXPECT_EQ(store.Count(), kSysVarCount + 1);
  EXPECT_EQ(store.FindParam("s")->GetStr(), "kept");
  EXPECT_EQ(store.Globals.TextDelay, 50);
  EXPECT_EQ(store.Globals.Cursor, "");
  EXPECT_EQ(store.Globals.HistFormat[5], 0);

  // Declaring an existing status variable keeps its value; any other declaration resets.
  EXPECT_EQ(store.Declare("s", PT_STR, TVarScope::Status)->GetStr(), "kept");
  TParamCollectionItem* g = store.Declare("g2", PT_INT, TVarScope::Global);
  g->SetInt(5);
  EXPECT_EQ(store.Declare("g2", PT_FLOAT, TVarScope::Global)->TypeCode(), PT_FLOAT);
}

TEST(VariableStore, BindElement) {
  TParamCollection store;
  TParamCollectionItem* a = store.Declare("a", PT_INT, TVarScope::Global);
  const int32_t d[] = {3, 4};
  a->SetDims(d);
  a->SetIntAt(5, 55);
  TParamCollectionItem* ref = store.AddParam(PT_NONE);
  ref->SetName("____r");

  const int32_t ok[] = {0, 5};  // one index past its own dimension, flat index 5 still inside
  store.BindElement(*ref, "a", ok);
  EXPECT_EQ(ref->GetInt(), 55);
  EXPECT_EQ(ref->TypeCode(), PT_INT);

  struct Case {
    std::vector<int32_t> indices;
    TMsg msg;
    const char* list;
  } cases[] = {
      {{2, 4}, TMsg::VarSubscriptRange, "2,4"},
      {{-1, 0}, TMsg::VarSubscriptRange, "-1,0"},
      {{0, -1}, TMsg::VarSubscriptRange, "0,-1"},
      {{1}, TMsg::VarBadSubscript, "1"},
      {{1, 1, 1}, TMsg::VarBadSubscript, "1,1,1"},
      {{2147483647, 2147483647}, TMsg::VarSubscriptRange, "2147483647,2147483647"},
  };
  for (const auto& c : cases) {
    const std::string expected = Format(MsgText(c.msg).c_str(), "a", c.list);
    EXPECT_EQ(ErrorOf<EScriptError>([&] { store.BindElement(*ref, "a", c.indices); }), expected) << c.list;
  }
  EXPECT_EQ(ErrorOf<EScriptError>([&] { store.BindElement(*ref, "zz", ok); }),
            Format(MsgText(TMsg::VarNotFound).c_str(), "zz"));
}

TEST(VariableStore, CopyValue) {
  TParamCollection store;
  TParamCollectionItem* a = store.Declare("a", PT_STR, TVarScope::Global);
  const int32_t d[] = {2};
  a->SetDims(d);
  a->SetStrAt(1, "z");
  auto copy = store.CopyValue("A");
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(copy->TypeCode(), PT_STR);
  EXPECT_EQ(copy->GetStrAt(1), "z");
  a->SetStrAt(1, "y");
  EXPECT_EQ(copy->GetStrAt(1), "z");
  EXPECT_EQ(store.CopyValue("none"), nullptr);
  EXPECT_EQ(ErrorOf<EScriptError>([&] { store.CopyValue("@Temp"); }),
            Format(MsgText(TMsg::ParamBadVariable).c_str(), "@Temp"));
}

TEST(VariableStore, TempTargetNeverRefersToItself) {
  TParamCollection store;
  store.Declare("v", PT_INT, TVarScope::Global)->SetInt(4);
  EXPECT_FALSE(store.AssignTemp("@temp"));
  EXPECT_FALSE(store.AssignTemp("missing"));
  EXPECT_FALSE(store.AssignTemp(""));
  EXPECT_EQ(store.Globals.TempTarget, "");
  EXPECT_TRUE(store.AssignTemp("v"));
  TParamCollectionItem* temp = store.FindParam("@Temp");
  EXPECT_EQ(temp->GetInt(), 4);
  // A saved target naming "@Temp" itself reads as no target instead of recursing.
  store.Globals.TempTarget = "@TEMP";
  EXPECT_EQ(temp->TypeCode(), PT_NONE);
  EXPECT_EQ(temp->GetInt(), 0);
  temp->SetInt(3);
}

TEST(VariableStore, ManyVariablesStayFindable) {
  TParamCollection store;
  for (int i = 1; i <= 9999; ++i) store.Declare(Format("flag%04d", i), PT_BOOL, TVarScope::Global);
  for (int i = 1; i <= 9999; i += 97) {
    TParamCollectionItem* item = store.FindParam(Format("FLAG%04d", i));
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->Index(), kSysVarCount + i - 1);
  }
}

// ---- sections ----

// Two globals, an automatically freed and a local variable, and a status variable.
void Populate(TParamCollection& store) {
  TParamCollectionItem* a = store.Declare("a", PT_INT, TVarScope::Global);
  const int32_t d[] = {2, 2};
  a->SetDims(d);
  a->SetIntAt(3, 7);
  store.Declare("s", PT_STR, TVarScope::Global)->SetStr("\x82\xA0");
  store.CurrentDepth = 1;
  store.Declare("f", PT_FLOAT, TVarScope::AutoFree)->SetFloat(0.1L);
  store.Declare("l", PT_BOOL, TVarScope::Local)->SetFlag(true);
  store.Declare("st", PT_INT, TVarScope::Status)->SetInt(9);
  store.Globals.TextDelay = 20;
  store.Globals.Cursor = "cur";
  store.SelStr = "sel";
  store.SelIndex = 3;
  store.Globals.HistFormat = {1, 2, 3, 4, 5, 6};
  store.Globals.TempTarget = "a";
}

std::vector<uint8_t> SaveGame(const TParamCollection& store) {
  TMemoryStream s;
  store.SaveToStream(s);
  return StreamBytes(s);
}

TEST(VariableSections, GameRecordsFromLastToFirst) {
  TParamCollection store;
  Populate(store);
  const std::vector<uint8_t> bytes = SaveGame(store);
  LeWriter w;
  w.I32(4);
  w.U8(PT_BOOL).Str("l").I32(0).I32(1).U8(1).U8(0).U8(0).I32(1).U8(1);
  w.U8(PT_FLOAT).Str("f").I32(0).I32(1).Ext(false, 0x3FFB, 0xCCCCCCCCCCCCCCCDull).U8(0).U8(0).I32(1).U8(0);
  w.U8(PT_STR).Str("s").I32(0).I32(1).Str("\x82\xA0").U8(0).U8(0).I32(-1).U8(0);
  w.U8(PT_INT).Str("a").I32(2).I32(2).I32(2).I32(4).I32(0).I32(0).I32(0).I32(7).U8(0).U8(0).I32(-1).U8(0);
  w.I32(20).Str("cur").Str("sel").I32(3).I32(1).I32(2).I32(3).I32(4).I32(5).I32(6).Str("a");
  EXPECT_EQ(bytes, w.Bytes());
}

TEST(VariableSections, SaveLoadSaveReversesThenRestores) {
  TParamCollection first;
  Populate(first);
  const std::vector<uint8_t> save1 = SaveGame(first);

  TParamCollection second;
  second.Declare("old", PT_INT, TVarScope::Global);
  second.Declare("st2", PT_INT, TVarScope::Status);
  TSpanStream in1(save1);
  second.LoadFromStream(in1, 129);
  EXPECT_EQ(in1.Remaining(), 0);
  EXPECT_EQ(second.FindParam("old"), nullptr);
  EXPECT_NE(second.FindParam("st2"), nullptr);  // status variables stay
  EXPECT_EQ(second.FindParam("a")->GetIntAt(3), 7);
  EXPECT_EQ(second.FindParam("f")->GetFloat(), 0.1L);
  // The local keeps its depth, so it is visible only at depth 1.
  EXPECT_EQ(second.FindParam("l"), nullptr);
  second.CurrentDepth = 1;
  EXPECT_TRUE(second.FindParam("l")->GetFlag());
  EXPECT_EQ(second.Globals.TempTarget, "a");
  EXPECT_EQ(second.SelIndex, 3);
  // The items are now in reverse order, so the next save reverses the records; a second cycle
  // gives the first bytes again.
  EXPECT_EQ(second.Items(kSysVarCount + 1)->Name(), "l");
  const std::vector<uint8_t> save2 = SaveGame(second);
  EXPECT_NE(save2, save1);
  TParamCollection third;
  TSpanStream in2(save2);
  third.LoadFromStream(in2, 129);
  EXPECT_EQ(SaveGame(third), save1);
}

TEST(VariableSections, StatusSection) {
  TParamCollection store;
  Populate(store);
  store.Declare("st_b", PT_STR, TVarScope::Status)->SetStr("b");
  TMemoryStream out;
  store.SaveStatus(out);
  const std::vector<uint8_t> bytes = StreamBytes(out);
  TParamCollection other;
  other.Declare("g", PT_INT, TVarScope::Global);
  TSpanStream in(bytes);
  other.LoadStatus(in, 129);
  EXPECT_EQ(in.Remaining(), 0);
  EXPECT_NE(other.FindParam("g"), nullptr);  // nothing freed
  EXPECT_EQ(other.FindParam("st")->GetInt(), 9);
  EXPECT_EQ(other.FindParam("st_b")->StatusFlag, 1);
  EXPECT_EQ(other.FindParam("a"), nullptr);
  TMemoryStream again;
  other.SaveStatus(again);
  TParamCollection third;
  const std::vector<uint8_t> again_bytes = StreamBytes(again);
  TSpanStream in2(again_bytes);
  third.LoadStatus(in2, 129);
  TMemoryStream last;
  third.SaveStatus(last);
  EXPECT_EQ(StreamBytes(last), bytes);
}

// A section of one integer variable "v" = 5 followed by the trailer fields up to a version.
std::vector<uint8_t> SectionForVersion(int32_t version) {
  LeWriter w;
  w.I32(1).U8(PT_INT).Str("v").I32(0).I32(1).I32(5).U8(0).U8(0).I32(-1).U8(0);
  w.I32(77).Str("c");
  if (version >= 103) w.Str("sel").I32(8);
  if (version >= 113) w.I32(11).I32(12).I32(13).I32(14).I32(15).I32(16);
  if (version >= 121) w.Str("v");
  return w.Bytes();
}

TEST(VariableSections, TrailerFieldsByVersion) {
  for (int32_t version : {102, 103, 113, 121, 129}) {
    TParamCollection store;
    store.SelStr = "old";
    store.SelIndex = -1;
    store.Globals.HistFormat = {9, 9, 9, 9, 9, 9};
    store.Globals.TempTarget = "old";
    const std::vector<uint8_t> bytes = SectionForVersion(version);
    TSpanStream in(bytes);
    store.LoadFromStream(in, version);
    SCOPED_TRACE(version);
    EXPECT_EQ(in.Remaining(), 0);
    EXPECT_EQ(store.FindParam("v")->GetInt(), 5);
    EXPECT_EQ(store.Globals.TextDelay, 77);
    EXPECT_EQ(store.Globals.Cursor, "c");
    EXPECT_EQ(store.SelStr, version >= 103 ? "sel" : "old");
    EXPECT_EQ(store.SelIndex, version >= 103 ? 8 : -1);
    EXPECT_EQ(store.Globals.HistFormat[0], version >= 113 ? 11 : 9);
    EXPECT_EQ(store.Globals.TempTarget, version >= 121 ? "v" : "old");
  }
}

TEST(VariableSections, SectionsBothWaysAgainstGoldenBytes) {
  // An integer, a reference bound to it (written after it), and the game trailer.
  LeWriter game;
  game.I32(2);
  game.U8(PT_INT).Str("a").I32(1).I32(2).I32(2).I32(5).I32(6).U8(0).U8(0).I32(-1).U8(0);
  game.U8(PT_NONE).Str("r").I32(0).Str("a").Str("a").U8(1).I32(1).U8(0).U8(0).I32(-1).U8(0);
  game.I32(20).Str("cur").Str("sel").I32(3).I32(1).I32(2).I32(3).I32(4).I32(5).I32(6).Str("a");
  LeWriter status;
  status.I32(1).U8(PT_STR).Str("st").I32(0).I32(1).Str("\x82\xA0").U8(1).U8(0).I32(-1).U8(0);
  for (bool is_status : {false, true}) {
    SCOPED_TRACE(is_status);
    std::unique_ptr<TParamCollection> store;
    test::ExpectRecordRoundTrip(
        is_status ? status.Bytes() : game.Bytes(),
        [&](TStream& s) {
          store = std::make_unique<TParamCollection>();
          if (is_status) {
            store->LoadStatus(s, 129);
          } else {
            store->LoadFromStream(s, 129);
          }
        },
        [&](TStream& s) {
          if (is_status) {
            store->SaveStatus(s);
          } else {
            store->SaveToStream(s);
          }
        });
  }
}

TEST(VariableSections, BrokenSectionLeavesTheStoreAlone) {
  TParamCollection source;
  Populate(source);
  const std::vector<uint8_t> bytes = SaveGame(source);
  for (size_t cut : {size_t(2), size_t(20), bytes.size() / 2, bytes.size() - 1}) {
    TParamCollection store;
    store.Declare("keep", PT_INT, TVarScope::Global)->SetInt(1);
    std::vector<uint8_t> part(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut));
    TSpanStream in(part);
    EXPECT_THROW(store.LoadFromStream(in, 129), EReadError) << cut;
    EXPECT_EQ(store.FindParam("keep")->GetInt(), 1);
    EXPECT_EQ(store.Count(), kSysVarCount + 1);
  }
  // An unknown type byte, a huge count and a bad name are refused the same way.
  LeWriter bad_type;
  bad_type.I32(1).U8(9).Str("v").I32(0).I32(1).I32(5).U8(0).U8(0).I32(-1).U8(0);
  LeWriter huge;
  huge.I32(0x7FFFFFFF);
  LeWriter bad_name;
  bad_name.I32(1).U8(PT_INT).Str("1v").I32(0).I32(1).I32(5).U8(0).U8(0).I32(-1).U8(0).I32(50).Str("");
  for (const LeWriter* w : {&bad_type, &huge, &bad_name}) {
    TParamCollection store;
    TSpanStream in(w->Bytes());
    EXPECT_THROW(store.LoadFromStream(in, 102), EKovaError);
    EXPECT_EQ(store.Count(), kSysVarCount);
  }
}

TEST(VariableSections, NamelessRecordsAreReadInTheirOwnFormAndDropped) {
  LeWriter w;
  w.I32(2);
  w.U8(PT_STR).Str("").I32(0).I32(2).Str("ab").Str("cde").U8(0).U8(0).I32(-1).U8(0);
  w.U8(PT_INT).Str("n").I32(0).I32(1).I32(3).U8(0).U8(0).I32(-1).U8(0);
  w.I32(50).Str("");
  TParamCollection store;
  TSpanStream in(w.Bytes());
  store.LoadFromStream(in, 102);
  EXPECT_EQ(in.Remaining(), 0);
  EXPECT_EQ(store.Count(), kSysVarCount + 1);
  EXPECT_EQ(store.FindParam("n")->GetInt(), 3);
}

TEST(VariableSections, ElementReferencesWaitForTheirVariable) {
  TParamCollection store;
  // "r" comes first in the store, so from last to first it would be written before "a".
  TParamCollectionItem* r = store.AddParam(PT_NONE);
  r->SetName("r");
  TParamCollectionItem* a = store.Declare("a", PT_STR, TVarScope::Global);
  const int32_t d[] = {3};
  a->SetDims(d);
  a->SetStrAt(2, "two");
  const int32_t idx[] = {2};
  store.BindElement(*r, "a", idx);
  // "q" refers to a status variable, which the game section never writes.
  store.Declare("st", PT_INT, TVarScope::Status)->SetInt(6);
  TParamCollectionItem* q = store.AddParam(PT_NONE);
  q->SetName("q");
  const int32_t zero[] = {0};
  store.BindElement(*q, "st", zero);

  const std::vector<uint8_t> bytes = SaveGame(store);
  TParamCollection other;
  other.Declare("st", PT_INT, TVarScope::Status)->SetInt(6);
  TSpanStream in(bytes);
  other.LoadFromStream(in, 129);
  EXPECT_EQ(in.Remaining(), 0);
  // "a" was written (and so loaded) before "r".
  EXPECT_LT(other.FindParam("a")->Index(), other.FindParam("r")->Index());
  EXPECT_EQ(other.FindParam("r")->GetStr(), "two");
  EXPECT_EQ(other.FindParam("r")->TypeCode(), PT_STR);
  EXPECT_EQ(other.FindParam("q")->GetInt(), 6);
  EXPECT_EQ(SaveGame(other).size(), bytes.size());
}

}  // namespace
}  // namespace kova
