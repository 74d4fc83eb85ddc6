// The FreeType glyph layer with the IPA faces that the set-up script installs: which face a name
// resolves to, and properties of the glyphs (never pixel goldens: font versions differ). Skipped
// where the IPA Gothic faces are missing; the Mincho cases where the Mincho faces are.
#include "platform/fonts/freetype_fonts.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/fonts/fontconfig_source.h"
#include "platform/text/text_codec.h"

namespace kova::plat {
namespace {

class FreeTypeFonts : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!source.FindFamily("IPAGothic") || !source.FindFamily("IPAPGothic")) {
      GTEST_SKIP() << "the IPA Gothic fonts are not installed";
    }
  }
  std::shared_ptr<IGlyphFont> Open(std::string_view face_utf8, int32_t height, uint8_t style = 0) {
    const std::string face = Utf8ToCp932(face_utf8);
    return fonts.OpenFont({face, height, style});
  }
  bool HasMincho() { return source.FindFamily("IPAMincho") && source.FindFamily("IPAPMincho"); }

  TFontconfigSource source;
  TFreeTypeFonts fonts{source};
};

// Ink columns of a glyph: the number of columns with any level above 0.
int InkColumns(const TGlyphBitmap& g) {
  int n = 0;
  for (int32_t x = 0; x < g.width; ++x) {
    bool ink = false;
    for (int32_t y = 0; y < g.height; ++y) ink = ink || g.At(x, y) > 0;
    n += ink ? 1 : 0;
  }
  return n;
}

int InkSum(const TGlyphBitmap& g) {
  int n = 0;
  for (uint8_t v : g.levels) n += v;
  return n;
}

TEST_F(FreeTypeFonts, ResolvesTheFaceNamesGamesAskFor) {
  const struct {
    const char* asked;
    const char* family;
    bool mincho;
  } cases[] = {
      {"ＭＳ ゴシック", "IPAGothic", false},    {"MS Gothic", "IPAGothic", false},
      {"ＭＳ Ｐゴシック", "IPAPGothic", false}, {"MS PGothic", "IPAPGothic", false},
      {"MS UI Gothic", "IPAPGothic", false},    {"IPAPGothic", "IPAPGothic", false},
      {"IPAゴシック", "IPAGothic", false},  // a localised family name
      {"ipagothic", "IPAGothic", false},    // names are exact: this one falls back
      {"No Such Face", "IPAGothic", false},     {"", "IPAGothic", false},
      {"ＭＳ 明朝", "IPAMincho", true},         {"MS Mincho", "IPAMincho", true},
      {"ＭＳ Ｐ明朝", "IPAPMincho", true},      {"IPA明朝", "IPAMincho", true},
  };
  for (const auto& c : cases) {
    if (c.mincho && !HasMincho()) continue;
    EXPECT_EQ(Open(c.asked, 16)->Family(), c.family) << c.asked;
  }
  // A name that is no code page 932 text at all falls back too.
  EXPECT_EQ(fonts.OpenFont({"\x81\x20\xFF", 16, 0})->Family(), "IPAGothic");
}

TEST_F(FreeTypeFonts, MetricsAreSaneAndFollowThePitch) {
  const auto gothic = Open("ＭＳ ゴシック", 16);
  const auto pgothic = Open("ＭＳ Ｐゴシック", 16);
  const TTextMetrics& t = gothic->Metrics().tm;
  EXPECT_GT(t.Ascent, t.Descent);
  EXPECT_GT(t.Descent, 0);
  EXPECT_GT(t.AveCharWidth, 0);
  EXPECT_GE(t.MaxCharWidth, 16 - 1);
  EXPECT_EQ(t.Overhang, 0);
  EXPECT_EQ(t.PitchAndFamily & kTmVariablePitch, 0);
  EXPECT_EQ(pgothic->Metrics().tm.PitchAndFamily & kTmVariablePitch, kTmVariablePitch);
  EXPECT_GT(gothic->Metrics().EmSquare, 0u);
  EXPECT_LT(gothic->Metrics().UnderscorePosition, 0);  // below the baseline
  EXPECT_GT(gothic->Metrics().StrikeoutPosition, 0);   // above it
  // The fixed face gives every Latin letter one advance, the proportional one less to an "i";
  // a kanji is an em wide.
  EXPECT_EQ(gothic->Advance('i'), gothic->Advance('W'));
  EXPECT_LT(pgothic->Advance('i'), gothic->Advance('i'));
  EXPECT_NEAR(gothic->Advance(0x8ABF), t.Height - t.InternalLeading, 1);
  // An em request: the em is the asked height, the cell holds it.
  const auto em = fonts.OpenFont({Utf8ToCp932("ＭＳ Ｐゴシック"), 12, 0, true});
  EXPECT_EQ(em->Metrics().tm.Height - em->Metrics().tm.InternalLeading, 12);
}

TEST_F(FreeTypeFonts, AKanjiRendersInkInEveryFormat) {
  const auto font = Open("ＭＳ 明朝", 32);
  TGlyphBitmap g;
  for (TGlyphFormat format :
       {TGlyphFormat::Mono, TGlyphFormat::Grey2, TGlyphFormat::Grey4, TGlyphFormat::Grey8}) {
    ASSERT_TRUE(font->Glyph(0x8ABF, format, g));  // 漢
    EXPECT_GT(g.width, 16);
    EXPECT_GT(g.height, 16);
    EXPECT_LE(g.origin_y, font->Metrics().tm.Ascent);
    EXPECT_GE(g.origin_y - g.height, -font->Metrics().tm.Descent);
    int partial = 0;
    for (uint8_t v : g.levels) partial += v > 0 && v < MaxLevel(format) ? 1 : 0;
    // Mono has no levels between; the grey formats smooth the edges.
    if (format == TGlyphFormat::Mono) {
      EXPECT_EQ(partial, 0);
    } else {
      EXPECT_GT(partial, 10);
    }
  }
  // Mono sets the pixels the grey glyph covers at least half, give or take its edges.
  TGlyphBitmap mono, grey;
  ASSERT_TRUE(font->Glyph(0x8ABF, TGlyphFormat::Mono, mono));
  ASSERT_TRUE(font->Glyph(0x8ABF, TGlyphFormat::Grey8, grey));
  int set = 0, wrong = 0;
  for (int32_t y = 0; y < mono.height; ++y) {
    for (int32_t x = 0; x < mono.width; ++x) {
      const int32_t gx = x + mono.origin_x - grey.origin_x, gy = y - mono.origin_y + grey.origin_y;
      const int level =
          gx >= 0 && gx < grey.width && gy >= 0 && gy < grey.height ? grey.At(gx, gy) : 0;
      set += mono.At(x, y);
      wrong += mono.At(x, y) ? level < 16 : level > 48;
    }
  }
  EXPECT_GT(set, 100);
  EXPECT_LT(wrong, set / 10);
}

TEST_F(FreeTypeFonts, SynthesisedBoldIsWiderAndItalicLeans) {
  TGlyphBitmap regular, bold, italic;
  ASSERT_TRUE(Open("ＭＳ ゴシック", 24)->Glyph('|', TGlyphFormat::Grey8, regular));
  ASSERT_TRUE(Open("ＭＳ ゴシック", 24, kFontBold)->Glyph('|', TGlyphFormat::Grey8, bold));
  ASSERT_TRUE(Open("ＭＳ ゴシック", 24, kFontItalic)->Glyph('|', TGlyphFormat::Grey8, italic));
  EXPECT_GT(InkColumns(bold), InkColumns(regular));
  EXPECT_GT(InkSum(bold), InkSum(regular));
  EXPECT_EQ(bold.origin_x, regular.origin_x);  // bold widens to the right
  // The upright bar leans right: the sheared box is wider, its top further right.
  EXPECT_GT(italic.width, regular.width + 24 / 8);
  auto centre = [](const TGlyphBitmap& g, int32_t y) {
    double sum = 0, weight = 0;
    for (int32_t x = 0; x < g.width; ++x) sum += double(x) * g.At(x, y), weight += g.At(x, y);
    return g.origin_x + sum / weight;
  };
  EXPECT_GT(centre(italic, 1) - centre(italic, italic.height - 2), 2.0);
  EXPECT_NEAR(centre(regular, 1) - centre(regular, regular.height - 2), 0.0, 1.0);
}

TEST_F(FreeTypeFonts, Byte5CDrawsTheYenSign) {
  // The yen sign is symmetric, with ink at both upper corners; the backslash is not.
  auto mirror_difference = [](const TGlyphBitmap& g) {
    int diff = 0;
    for (int32_t y = 0; y < g.height; ++y)
      for (int32_t x = 0; x < g.width; ++x) diff += std::abs(g.At(x, y) - g.At(g.width - 1 - x, y));
    return double(diff) / InkSum(g);
  };
  const auto font = Open("ＭＳ ゴシック", 32);
  TGlyphBitmap yen, backslash;
  ASSERT_TRUE(font->Glyph(0x5C, TGlyphFormat::Grey8, yen));
  ASSERT_TRUE(font->Glyph(0x815F, TGlyphFormat::Grey8, backslash));  // the full-width backslash
  ASSERT_FALSE(yen.Blank());
  EXPECT_LT(mirror_difference(yen), 0.5);
  EXPECT_GT(mirror_difference(backslash), 1.0);
  int top_left = 0, top_right = 0;
  for (int32_t y = 0; y < yen.height / 4; ++y) {
    for (int32_t x = 0; x < yen.width / 3; ++x) top_left += yen.At(x, y);
    for (int32_t x = yen.width - yen.width / 3; x < yen.width; ++x) top_right += yen.At(x, y);
  }
  EXPECT_GT(top_left, 0);
  EXPECT_GT(top_right, 0);
}

TEST_F(FreeTypeFonts, AnAbsurdSizeIsClampedAndStillDraws) {
  const auto huge = Open("ＭＳ ゴシック", 10000);
  EXPECT_EQ(huge->Metrics().tm.Height, kMaxCellHeight);
  TGlyphBitmap g;
  ASSERT_TRUE(huge->Glyph(0x82A0, TGlyphFormat::Mono, g));
  EXPECT_GT(g.width, kMaxCellHeight / 2);
  EXPECT_LE(g.width, kMaxCellHeight);
}

TEST_F(FreeTypeFonts, ALatinFaceShowsNoKanjiAndDrawsRealStyleFaces) {
  if (!source.FindFamily("DejaVu Sans")) GTEST_SKIP() << "DejaVu Sans is not installed";
  const auto font = Open("DejaVu Sans", 20);
  EXPECT_EQ(font->Family(), "DejaVu Sans");
  TGlyphBitmap g;
  ASSERT_TRUE(font->Glyph(0x8ABF, TGlyphFormat::Grey8, g));
  EXPECT_TRUE(g.Blank());
  EXPECT_EQ(g.advance, 10);
  ASSERT_TRUE(font->Glyph('A', TGlyphFormat::Grey8, g));
  EXPECT_FALSE(g.Blank());
  // The family's own bold and oblique faces are taken; the IPA faces have none and synthesise.
  const std::vector<TFaceFile> bold = source.FaceCandidates("DejaVu Sans", true, true);
  ASSERT_FALSE(bold.empty());
  EXPECT_NE(bold.front().path.find("BoldOblique"), std::string::npos) << bold.front().path;
  EXPECT_FALSE(bold.front().synthetic_bold);
  EXPECT_FALSE(bold.front().synthetic_italic);
  const TFaceFile regular = source.FaceCandidates("DejaVu Sans", false, false).front();
  EXPECT_EQ(regular.path.substr(regular.path.rfind('/')),
            "/DejaVuSans.ttf");  // not a condensed one
  const TFaceFile ipa = source.FaceCandidates("IPAGothic", true, true).front();
  EXPECT_TRUE(ipa.synthetic_bold);
  EXPECT_TRUE(ipa.synthetic_italic);
}

// A machine without any font: every request still gives a font, of blank glyphs.
TEST(FreeTypeWithoutFonts, GivesBlankFontsOfTheAskedSize) {
  const std::filesystem::path conf = std::filesystem::temp_directory_path() /
                                     ("kova-nofonts-" + std::to_string(::getpid()) + ".conf");
  std::ofstream(conf) << "<?xml version=\"1.0\"?>\n<fontconfig></fontconfig>\n";
  const char* old = std::getenv("FONTCONFIG_FILE");
  const std::string saved = old ? old : "";
  ::setenv("FONTCONFIG_FILE", conf.c_str(), 1);
  {
    TFontconfigSource source;
    TFreeTypeFonts fonts(source);
    EXPECT_TRUE(source.JapaneseFamilies().empty());
    const auto font = fonts.OpenFont({"\x82\x6C\x82\x72", 30, kFontBold});
    EXPECT_EQ(font->Metrics().tm.Height, 30);
    EXPECT_EQ(font->Metrics().tm.Ascent + font->Metrics().tm.Descent, 30);
    EXPECT_EQ(font->Metrics().tm.Weight, 700);
    TGlyphBitmap g;
    EXPECT_TRUE(font->Glyph(0x8ABF, TGlyphFormat::Grey8, g));
    EXPECT_TRUE(g.Blank());
    EXPECT_EQ(g.advance, 15);
    EXPECT_EQ(font->AbcWidths('A'), (TAbcWidths{0, 0, 15}));
  }
  if (old) {
    ::setenv("FONTCONFIG_FILE", saved.c_str(), 1);
  } else {
    ::unsetenv("FONTCONFIG_FILE");
  }
  std::filesystem::remove(conf);
}

}  // namespace
}  // namespace kova::plat
