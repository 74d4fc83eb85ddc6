// The fontconfig font source against the fonts installed on this machine. Skipped where no
// Japanese-capable font is installed.
#include <gtest/gtest.h>

#include <set>

#include "core/desktop.h"
#include "core/sjis.h"
#include "platform/fonts/fontconfig_source.h"
#include "platform/text/text_codec.h"

namespace kova::plat {
namespace {

class Fontconfig : public ::testing::Test {
 protected:
  void SetUp() override {
    families = source.JapaneseFamilies();
    if (families.empty()) GTEST_SKIP() << "no Japanese-capable font installed";
  }
  TFontconfigSource source;
  std::vector<TFontFamily> families;
};

TEST_F(Fontconfig, ListsEachJapaneseFamilyOnce) {
  std::set<std::string> seen;
  for (const TFontFamily& f : families) {
    EXPECT_FALSE(f.name.empty());
    EXPECT_TRUE(f.japanese) << f.name;
    EXPECT_TRUE(seen.insert(f.name).second) << "listed twice: " << f.name;
  }
}

TEST_F(Fontconfig, FindsFamiliesByTheirExactName) {
  const TFontFamily& first = families.front();
  const std::optional<TFontFamily> found = source.FindFamily(first.name);
  ASSERT_TRUE(found.has_value());
  EXPECT_EQ(*found, first);
  EXPECT_FALSE(source.FindFamily("No Such Family 7f3a").has_value());
  EXPECT_FALSE(source.FindFamily("").has_value());
  for (const TFontFamily& f : families) {
    const std::string lower = SjisLowerCase(f.name);
    if (lower != f.name) {
      EXPECT_FALSE(source.FindFamily(lower).has_value()) << lower;
      break;
    }
  }
}

TEST_F(Fontconfig, JapaneseMonospacedFacesCountAsFixed) {
  // IPAGothic is the monospaced face of the IPA package; its Japanese name is listed.
  const std::optional<TFontFamily> gothic = source.FindFamily("IPAGothic");
  if (!gothic) GTEST_SKIP() << "IPAGothic not installed";
  EXPECT_TRUE(gothic->fixed_pitch);
  EXPECT_TRUE(gothic->japanese);
  EXPECT_EQ(gothic->weight, 400);
}

TEST_F(Fontconfig, ListFontsGivesSortedShiftJisNames) {
  TStringList list;
  ListFonts(source, list, true, false, false);
  ASSERT_FALSE(list.Empty());
  for (int i = 1; i < list.Count(); ++i) {
    EXPECT_LT(SjisCompareText(list[i - 1], list[i]), 0) << list[i];
  }
  // Every name is code page 932 that converts back to a listed family.
  std::set<std::string> utf8;
  for (const TFontFamily& f : families) utf8.insert(f.name);
  for (int i = 0; i < list.Count(); ++i) EXPECT_EQ(utf8.count(Cp932ToUtf8(list[i])), 1u) << list[i];

  TStringList fixed;
  ListFonts(source, fixed, true, false, true);
  EXPECT_LE(fixed.Count(), list.Count());
  const TLogFont font = GetFontLogFont(source, list[0]);
  EXPECT_EQ(font.Face(), list[0].substr(0, 31));
  EXPECT_EQ(font.CharSet, kShiftJisCharset);
}

TEST_F(Fontconfig, ListsTheFaceNamesGamesAskForWhenAStandInIsInstalled) {
  if (!source.FindFamily("IPAGothic") || !source.FindFamily("IPAPGothic")) {
    GTEST_SKIP() << "the IPA Gothic fonts are not installed";
  }
  TStringList all, fixed;
  ListFonts(source, all, true, false, false);
  ListFonts(source, fixed, true, false, true);
  const std::string gothic = Utf8ToCp932("ＭＳ ゴシック");
  const std::string pgothic = Utf8ToCp932("ＭＳ Ｐゴシック");
  EXPECT_GE(all.IndexOf(gothic), 0);
  EXPECT_GE(all.IndexOf(pgothic), 0);
  EXPECT_GE(all.IndexOf("MS UI Gothic"), 0);
  EXPECT_LT(all.IndexOf("MS Gothic"), 0);  // the Latin names are found but not listed
  EXPECT_GE(fixed.IndexOf(gothic), 0);
  EXPECT_LT(fixed.IndexOf(pgothic), 0);
  EXPECT_EQ(GetFontLogFont(source, gothic).Face(), gothic);
  EXPECT_EQ(GetFontLogFont(source, gothic).CharSet, kShiftJisCharset);
  EXPECT_EQ(GetFontLogFont(source, pgothic).PitchAndFamily & 0x03, kVariablePitch);
  EXPECT_EQ(GetFontLogFont(source, "MS Gothic").Face(), "MS Gothic");
  if (source.FindFamily("IPAMincho")) {
    EXPECT_GE(all.IndexOf(Utf8ToCp932("ＭＳ 明朝")), 0);
  }
}

}  // namespace
}  // namespace kova::plat
