#include "core/desktop.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "support/fake_platform.h"

namespace kova {
namespace {

using plat::TFontFamily;
using test::FakePlatform;

// "IPAゴシック" in UTF-8 and in code page 932.
constexpr const char* kGothicUtf8 = "IPA\xE3\x82\xB4\xE3\x82\xB7\xE3\x83\x83\xE3\x82\xAF";
constexpr const char* kGothicSjis = "IPA\x83\x53\x83\x56\x83\x62\x83\x4E";

TFontFamily Family(std::string name, bool fixed, bool japanese = true, int weight = 400) {
  TFontFamily f;
  f.name = std::move(name);
  f.fixed_pitch = fixed;
  f.japanese = japanese;
  f.weight = weight;
  return f;
}

std::vector<std::string> Names(const TStringList& list) {
  std::vector<std::string> out;
  for (const TStringItem& item : list.Items()) out.push_back(item.Str);
  return out;
}

class Desktop : public ::testing::Test {
 protected:
  Desktop() {
    platform.fonts.SetFamilies({
        Family("Zeta P", false),
        Family(kGothicUtf8, true),
        Family("alpha", false),
        Family("ALPHA", false),
        Family("@Vertical", true),
        Family("Smile \xF0\x9F\x98\x80", true),  // has no code page 932 form
        Family("IPAGothic", true),
        Family("Latin Only", true, false),
    });
  }
  FakePlatform platform;
};

TEST_F(Desktop, ListFontsFiltersAndSorts) {
  using Strings = std::vector<std::string>;
  const struct {
    bool sorted, vertical, fixed;
    Strings names;
  } cases[] = {
      {true, false, false, {"alpha", "IPAGothic", kGothicSjis, "Zeta P"}},
      {false, false, false, {"Zeta P", kGothicSjis, "alpha", "ALPHA", "IPAGothic"}},
      {false, true, false, {"Zeta P", kGothicSjis, "alpha", "ALPHA", "@Vertical", "IPAGothic"}},
      {true, true, true, {"@Vertical", "IPAGothic", kGothicSjis}},
      {true, false, true, {"IPAGothic", kGothicSjis}},
  };
  for (const auto& c : cases) {
    TStringList list;
    list.Add("stale");
    ListFonts(platform.fonts, list, c.sorted, c.vertical, c.fixed);
    EXPECT_EQ(Names(list), c.names) << c.sorted << c.vertical << c.fixed;
  }
}

TEST_F(Desktop, GetFontLogFontDescribesAnInstalledFace) {
  const TLogFont font = GetFontLogFont(platform.fonts, kGothicSjis);
  EXPECT_EQ(font.Face(), kGothicSjis);
  EXPECT_EQ(font.Weight, 400);
  EXPECT_EQ(font.CharSet, kShiftJisCharset);
  EXPECT_EQ(font.PitchAndFamily & 0x03, kFixedPitch);
  EXPECT_EQ(font.Height, 0);
  EXPECT_EQ(font.Italic, 0);

  const TLogFont latin = GetFontLogFont(platform.fonts, "Latin Only");
  EXPECT_EQ(latin.CharSet, kAnsiCharset);
  EXPECT_EQ(GetFontLogFont(platform.fonts, "Zeta P").PitchAndFamily & 0x03, kVariablePitch);
}

TEST_F(Desktop, GetFontLogFontGivesZerosForAnUnknownFace) {
  for (const char* face : {"", "No Such Face", "ipagothic", "IPAGothic ", "\x83"}) {
    EXPECT_EQ(GetFontLogFont(platform.fonts, face), TLogFont{}) << face;
  }
}

TEST_F(Desktop, LongFaceNamesAreCutOnACharacterBoundary) {
  // 30 ASCII bytes, then "ア" (two bytes in code page 932): the name does not fit in 31 bytes.
  const std::string ascii(30, 'a');
  platform.fonts.SetFamilies({Family(ascii + "\xE3\x82\xA2", false)});
  const TLogFont font = GetFontLogFont(platform.fonts, ascii + "\x83\x41");
  EXPECT_EQ(font.Face(), ascii);
  EXPECT_EQ(font.FaceName.back(), '\0');
}

TEST_F(Desktop, WorkAreaComesFromTheDisplayService) {
  EXPECT_EQ(GetWorkAreaRect(platform.work_area), (TRect{0, 0, 1024, 768}));
  platform.work_area.SetRect({0, 32, 1920, 1080});
  EXPECT_EQ(GetWorkAreaRect(platform.work_area), (TRect{0, 32, 1920, 1080}));
}

TEST_F(Desktop, WallpaperPlacementsMapToStyles) {
  using plat::TWallpaperStyle;
  const struct {
    uint8_t placement;
    TWallpaperStyle style;
  } cases[] = {{0, TWallpaperStyle::Centred}, {1, TWallpaperStyle::Tiled},
               {2, TWallpaperStyle::Stretched}, {255, TWallpaperStyle::Stretched}};
  for (const auto& c : cases) {
    platform.wallpaper.calls.clear();
    EXPECT_TRUE(SetWallPaperImpl(platform.wallpaper, "/tmp/kovawall.bmp", c.placement));
    ASSERT_EQ(platform.wallpaper.calls.size(), 1u);
    EXPECT_EQ(platform.wallpaper.calls[0].style, c.style) << int(c.placement);
    EXPECT_EQ(platform.wallpaper.calls[0].path, "/tmp/kovawall.bmp");
  }
}

TEST_F(Desktop, WallpaperRefusedOrFailingAnswersFalse) {
  platform.wallpaper.answer = false;
  EXPECT_FALSE(SetWallPaperImpl(platform.wallpaper, "a.bmp", 1));
  platform.wallpaper.raise = true;
  EXPECT_NO_THROW(EXPECT_FALSE(SetWallPaperImpl(platform.wallpaper, "a.bmp", 1)));
}

TEST(DesktopHeadless, HeadlessServicesAnswerQuietly) {
  // No wallpaper service, the fixed work area, no fonts.
  plat::THeadlessServices headless;
  EXPECT_FALSE(SetWallPaperImpl(*headless.wallpaper, "/tmp/kovawall.bmp", 0));
  EXPECT_EQ(GetWorkAreaRect(*headless.work_area), (TRect{0, 0, 1024, 768}));
  TStringList list;
  ListFonts(*headless.fonts, list, true, false, false);
  EXPECT_TRUE(list.Empty());
}

}  // namespace
}  // namespace kova
