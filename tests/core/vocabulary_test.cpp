#include "core/vocabulary.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "core/sjis.h"
#include "platform/text/text_codec.h"

namespace kova {
namespace {

struct TableCase {
  const char* what;
  const TNameTable& table;
  int32_t count;
  const char* first;
  const char* last;
};

// Every name table: its length matches its count constant, the first and last entries stand where
// stored data expects them, and no two names differ only in case (look-ups ignore case).
TEST(Vocabulary, NameTablesHaveTheirCountsEndsAndUniqueNames) {
  const TableCase cases[] = {
      {"component types", CompoTypeNames(), kCompoTypeCount, "KT_NONE", "KT_CABINET"},
      {"transitions", WipeTypeNames(), kWipeTypeCount, "WP_NONE", "WP_CLOCKHAND"},
      {"operators", OpCodeNames(), kOpCodeCount, "ocNone", "ocNEqual"},
      {"value types", ParamTypeNames(), kParamTypeCount, "PT_NONE", "PT_STR"},
      {"interpolation", MotionTypeNames(), kMotionTypeCount, "MT_NORMAL", "MT_DEC"},
      {"orientations", OrientationNames(), kOrientationCount, "OT_HORIZONTAL", "OT_VERTICAL"},
      {"mouse filters", IgnoreMouseNames(), kIgnoreMouseCount, "IM_NONE", "IM_RCLICK"},
      {"particle modes", ParticleModeNames(), kParticleModeCount, "PM_NONE", "PM_TWISTER"},
      {"play modes", MediaPlayModeNames(), kMediaPlayModeCount, "LP_PLAY", "LP_STOPFADE"},
      {"vertical alignment", VAlignNames(), kVAlignCount, "VA_TOP", "VA_BOTTOM"},
      {"horizontal alignment", HAlignNames(), kHAlignCount, "HA_LEFT", "HA_RIGHT"},
      {"flip placement", FlipPlaceNames(), kFlipPlaceCount, "FL_OUT", "FL_STAY"},
      {"font styles", FontStyleNames(), kFontStyleCount, "FS_BOLD", "FS_STRIKEOUT"},
      {"project messages", ProjectMessageNames(), kProjectMessageCount, "CHANGEMEDIA", "EXIT"},
      {"properties", PropNames(), kPropCount, "PR_NAME", "PR_MUTEONLOAD"},
      {"command kinds", CommandKindNames(), kCommandKindCount, "If", "LoadCabinet"},
      {"system functions", SysFuncNames(), kSysFuncCount, "IntToStr", "OpenUrl"},
      {"system variables", SysVarNames(), kSysVarCount, "@Result", "@WheelUp"},
      {"keys", KeyNames(), kKeyCount, "VkmBACK", "VkmWheelUp"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(c.table.Count(), c.count);
    EXPECT_EQ(c.table.Name(0), c.first);
    EXPECT_EQ(c.table.Name(c.count - 1), c.last);
    std::set<std::string> folded;
    for (std::string_view name : c.table.Names()) {
      EXPECT_FALSE(name.empty());
      EXPECT_TRUE(folded.insert(SjisUpperCase(name)).second) << "duplicate name " << name;
    }
  }
}

TEST(Vocabulary, CountsMatchTheLastEnumerators) {
  static_assert(KT_CABINET + 1 == kCompoTypeCount);
  static_assert(WP_CLOCKHAND + 1 == kWipeTypeCount);
  static_assert(ocNEqual + 1 == kOpCodeCount);
  static_assert(PT_STR + 1 == kParamTypeCount);
  static_assert(MT_DEC + 1 == kMotionTypeCount);
  static_assert(OT_VERTICAL + 1 == kOrientationCount);
  static_assert(IM_RCLICK + 1 == kIgnoreMouseCount);
  static_assert(PM_TWISTER + 1 == kParticleModeCount);
  static_assert(LP_STOPFADE + 1 == kMediaPlayModeCount);
  static_assert(VA_BOTTOM + 1 == kVAlignCount);
  static_assert(HA_RIGHT + 1 == kHAlignCount);
  static_assert(FL_STAY + 1 == kFlipPlaceCount);
  static_assert(FS_STRIKEOUT + 1 == kFontStyleCount);
  static_assert(EXIT + 1 == kProjectMessageCount);
  static_assert(PR_MUTEONLOAD + 1 == kPropCount && kPropCount == 159);
  static_assert(Ord(TCommandKind::LoadCabinet) + 1 == kCommandKindCount && kCommandKindCount == 61);
  static_assert(Ord(TSysFunc::OpenUrl) + 1 == kSysFuncCount && kSysFuncCount == 136);
  static_assert(Ord(TSysVar::WheelUp) + 1 == kSysVarCount && kSysVarCount == 49);
  static_assert(VkmWheelUp + 1 == kKeyCount && kKeyCount == 70);
  SUCCEED();
}

// Ordinals are positions in the stored order, which is not the order of the names; each case pairs
// an enumerator with the name its table holds at that position.
TEST(Vocabulary, EnumeratorsNameTheirTableEntries) {
  struct Case {
    const TNameTable& table;
    int32_t id;
    const char* name;
  } cases[] = {
      {PropNames(), PR_ZOOMX, "PR_ZOOMX"},
      {PropNames(), PR_ZOOMY, "PR_ZOOMY"},
      {PropNames(), PR_ONNOTIFY, "PR_ONNOTIFY"},
      {PropNames(), PR_BORDERSOURCETL, "PR_BORDERSOURCETL"},
      {PropNames(), PR_BORDERVALIGNR, "PR_BORDERVALIGNR"},
      {PropNames(), PR_PARAM3, "PR_PARAM3"},
      {PropNames(), PR_COMPOTYPE, "PR_COMPOTYPE"},
      {PropNames(), PR_TAG, "PR_TAG"},
      {OpCodeNames(), ocEqual, "ocEqual"},
      {OpCodeNames(), ocComboStr, "ocComboStr"},
      {OpCodeNames(), ocNEqual, "ocNEqual"},
      {CompoTypeNames(), KT_MES, "KT_MES"},
      {CompoTypeNames(), KT_PARTICLE, "KT_PARTICLE"},
      {WipeTypeNames(), WP_MASKFADE, "WP_MASKFADE"},
      {CommandKindNames(), Ord(TCommandKind::Exit), "Exit"},
      {CommandKindNames(), Ord(TCommandKind::Button), "Button"},
      {CommandKindNames(), Ord(TCommandKind::FormatHist), "FormatHist"},
      {SysFuncNames(), Ord(TSysFunc::GetProp), "GetProp"},
      {SysFuncNames(), Ord(TSysFunc::DBCreateTable), "DBCreateTable"},
      {SysFuncNames(), Ord(TSysFunc::DBClearRecord), "DBClearRecord"},
      {SysFuncNames(), Ord(TSysFunc::SetWallPaper), "SetWallPaper"},
      {SysVarNames(), Ord(TSysVar::TextDelay), "@TextDelay"},
      {SysVarNames(), Ord(TSysVar::OneHour), "@1Hour"},
      {SysVarNames(), Ord(TSysVar::Temp), "@Temp"},
      {KeyNames(), Vkm0, "Vkm0"},
      {KeyNames(), VkmF1, "VkmF1"},
      {KeyNames(), VkmWheelDown, "VkmWheelDown"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.table.Name(c.id), c.name) << "id " << c.id;
  static_assert(PR_ZOOMX == 7 && PR_ZOOMY == 132 && PR_ONNOTIFY == 33 && PR_TAG == 151);
  static_assert(ocEqual == 12 && ocComboStr == 19 && ocNEqual == 20);
  static_assert(Ord(TCommandKind::Exit) == 6 && Ord(TSysFunc::SetWallPaper) == 125);
  static_assert(Ord(TSysVar::OneHour) == 32 && VkmF1 == 56);
}

TEST(Vocabulary, NameOutsideTheTableIsEmpty) {
  for (int32_t id : {-1, kPropCount, 255, INT32_MAX}) EXPECT_EQ(PropName(id), "") << id;
  EXPECT_EQ(OpCodeName(kOpCodeCount), "");
  EXPECT_EQ(OpCodeName(-1), "");
  EXPECT_EQ(SysVarName(kSysVarCount), "");
}

TEST(Vocabulary, LookUpByNameIgnoresCase) {
  EXPECT_EQ(FindPropId("PR_NAME"), PR_NAME);
  EXPECT_EQ(FindPropId("pr_mutEonload"), PR_MUTEONLOAD);
  EXPECT_EQ(FindPropId("PR_ZOOMY"), PR_ZOOMY);
  EXPECT_EQ(FindSysVar("@result"), Ord(TSysVar::Result));
  EXPECT_EQ(FindSysVar("@WHEELUP"), Ord(TSysVar::WheelUp));
  EXPECT_EQ(FindSysVar("@1min"), Ord(TSysVar::OneMin));
  EXPECT_EQ(FindSysFunc("jcopy"), Ord(TSysFunc::JCopy));
  EXPECT_EQ(FindSysFunc("OPENURL"), Ord(TSysFunc::OpenUrl));
  EXPECT_EQ(FindCommandKind("loadcabinet"), Ord(TCommandKind::LoadCabinet));
  EXPECT_EQ(KeyNames().IndexOf("vkmf12"), VkmF12);
}

TEST(Vocabulary, LookUpMissesAnswerMinusOne) {
  EXPECT_EQ(FindPropId(""), -1);
  EXPECT_EQ(FindPropId("PR_NAM"), -1);   // a prefix of a name
  EXPECT_EQ(FindPropId("PR_NAMEX"), -1); // a name plus more
  EXPECT_EQ(FindPropId("NAME"), -1);     // names keep their prefix
  EXPECT_EQ(FindSysVar("Result"), -1);
  // A double-byte character never folds onto ASCII: full-width "PR_NAME" letters are no match.
  EXPECT_EQ(FindCommandKind("\x82\x68\x82\x86"), -1);  // full-width "If"
  EXPECT_EQ(FindCommandKind(std::string_view("If\0", 3)), -1);
}

// Labels are code page 932 bytes; converting back gives the UTF-8 text the tool shows.
TEST(Vocabulary, LabelsConvertBackToTheirTexts) {
  struct Case {
    const TLabelTable& table;
    int32_t id;
    const char* utf8;
  } cases[] = {
      {CompoTypeLabels(), KT_NONE, "なし"},
      {CompoTypeLabels(), KT_HTTP, "HTTP"},
      {CompoTypeLabels(), KT_MES, "メッセージボックス"},
      {CompoTypeLabels(), KT_CABINET, "キャビネット"},
      {WipeTypeLabels(), WP_GRIDH, "格子(横)"},
      {WipeTypeLabels(), WP_SUDAREV, "すだれ縦"},
      {WipeTypeLabels(), WP_CLOCKHAND, "時計の針"},
      {ParamTypeLabels(), PT_NONE, ""},
      {ParamTypeLabels(), PT_BOOL, "フラグ"},
      {MotionTypeLabels(), MT_DEC, "減速"},
      {OrientationLabels(), OT_VERTICAL, "垂直"},
      {IgnoreMouseLabels(), IM_LCLICK, "左クリックを無視"},
      {ParticleModeLabels(), PM_FLUFF, "ゆらゆら上昇"},
      {VAlignLabels(), VA_CENTER, "中央寄せ"},
      {HAlignLabels(), HA_RIGHT, "右寄せ"},
      {FlipPlaceLabels(), FL_STAY, "指定サーフェスを表に"},
      {FontStyleLabels(), FS_STRIKEOUT, "抹消線"},
      {ProjectMessageLabels(), CHANGEMEDIA, "ディスク入替(ディスク番号を%dで記述)"},
      {ProjectMessageLabels(), EXIT, "終了確認"},
      {VarScopeLabels(), 0, "グローバル"},
      {VarScopeLabels(), 1, "自動破棄"},
      {VarScopeLabels(), 3, "ステータス"},
  };
  for (const auto& c : cases) EXPECT_EQ(plat::Cp932ToUtf8(c.table.Label(c.id)), c.utf8) << c.utf8;

  // Explicit code-page 932 bytes for two labels, so the check does not rest on the converter alone.
  EXPECT_EQ(CompoTypeLabels().Label(KT_NONE), "\x82\xC8\x82\xB5");      // "なし"
  EXPECT_EQ(ParamTypeLabels().Label(PT_INT), "\x90\xAE\x90\x94");       // "整数"
}

TEST(Vocabulary, EveryLabelConvertsWithoutLoss) {
  struct Case {
    const char* what;
    const TLabelTable& table;
    int32_t count;
  } cases[] = {
      {"component types", CompoTypeLabels(), kCompoTypeCount},
      {"transitions", WipeTypeLabels(), kWipeTypeCount},
      {"value types", ParamTypeLabels(), kParamTypeCount},
      {"interpolation", MotionTypeLabels(), kMotionTypeCount},
      {"orientations", OrientationLabels(), kOrientationCount},
      {"mouse filters", IgnoreMouseLabels(), kIgnoreMouseCount},
      {"particle modes", ParticleModeLabels(), kParticleModeCount},
      {"vertical alignment", VAlignLabels(), kVAlignCount},
      {"horizontal alignment", HAlignLabels(), kHAlignCount},
      {"flip placement", FlipPlaceLabels(), kFlipPlaceCount},
      {"font styles", FontStyleLabels(), kFontStyleCount},
      {"project messages", ProjectMessageLabels(), kProjectMessageCount},
      {"variable scopes", VarScopeLabels(), kVarScopeCount},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(c.table.Count(), c.count);
    for (int32_t id = 0; id < c.count; ++id) {
      auto to932 = plat::ConvertText(c.table.Utf8(id), plat::TCodePage::Utf8, plat::TCodePage::Cp932);
      EXPECT_EQ(to932.unmapped, 0u) << id;
      EXPECT_EQ(to932.text, c.table.Label(id)) << id;
      auto back = plat::ConvertText(c.table.Label(id), plat::TCodePage::Cp932, plat::TCodePage::Utf8);
      EXPECT_EQ(back.unmapped, 0u) << id;
      EXPECT_EQ(back.text, c.table.Utf8(id)) << id;
      const bool mayBeEmpty = &c.table == &ParamTypeLabels() && id == PT_NONE;
      if (!mayBeEmpty) {
        EXPECT_FALSE(c.table.Label(id).empty()) << id;
      }
    }
  }
}

TEST(Vocabulary, LabelOutsideTheTableIsEmpty) {
  EXPECT_EQ(CompoTypeLabels().Label(kCompoTypeCount), "");
  EXPECT_EQ(CompoTypeLabels().Label(-1), "");
  EXPECT_EQ(VarScopeLabels().Label(4), "");
  EXPECT_EQ(VarScopeLabels().Utf8(4), "");
}

}  // namespace
}  // namespace kova
