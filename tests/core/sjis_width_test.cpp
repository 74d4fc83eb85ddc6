// The half-width/full-width tables, checked against the code-page converter and the Unicode
// compatibility forms of the half-width characters.
#include <gtest/gtest.h>

#include <string>

#include "core/sjis.h"
#include "core/sjis_test_util.h"

namespace kova {
namespace {

using test::Cp932Of;
using test::UnicodeOf;

std::string Byte(int c) { return std::string(1, char(c)); }

// The printable signs whose full-width form is not the code page's FULLWIDTH form of that sign.
char32_t FullWidthOf(char c) {
  switch (c) {
    case ' ': return 0x3000;    // ideographic space
    case '"': return 0x201D;    // right double quotation mark
    case '\'': return 0x2019;   // right single quotation mark
    case '`': return 0x2018;    // left single quotation mark
    case '\\': return 0xFFE5;   // full-width yen sign
    default: return char32_t(0xFF01 + (c - 0x21));
  }
}

TEST(SjisWidth, PrintableAsciiBecomesTheCodePagesFullWidthForm) {
  for (int c = 0x20; c <= 0x7E; ++c) {
    const std::string zen = Cp932Of(FullWidthOf(char(c)));
    ASSERT_EQ(zen.size(), 2u) << c;
    EXPECT_EQ(SjisHanToZen(Byte(c)), zen) << "0x" << std::hex << c;
    EXPECT_EQ(SjisZenToHan(zen), Byte(c)) << "0x" << std::hex << c;
  }
}

// Every FULLWIDTH form the code page holds, including its second forms of the apostrophe, the
// double quote, the grave accent and the backslash, goes back to its ASCII sign; so do the left
// double quotation mark and the tilde.
TEST(SjisWidth, EveryFullWidthAsciiFormBecomesHalfWidth) {
  for (int c = 0x21; c <= 0x7E; ++c) {
    const std::string zen = Cp932Of(char32_t(0xFF01 + (c - 0x21)));
    ASSERT_EQ(zen.size(), 2u) << c;
    EXPECT_EQ(SjisZenToHan(zen), Byte(c)) << "0x" << std::hex << c;
  }
  EXPECT_EQ(SjisZenToHan(Cp932Of(0x201C)), "\"");
  // The double quotation marks are one-way: both become '"', which becomes the right one.
  EXPECT_EQ(SjisHanToZen(SjisZenToHan(Cp932Of(0x201C))), Cp932Of(0x201D));
}

// The Unicode compatibility forms of U+FF61 .. U+FF9F, with the spacing voiced and semi-voiced
// marks in place of the combining ones.
constexpr char32_t kHalfKanaFull[0x3F] = {
    0x3002, 0x300C, 0x300D, 0x3001, 0x30FB, 0x30F2, 0x30A1, 0x30A3, 0x30A5, 0x30A7, 0x30A9,
    0x30E3, 0x30E5, 0x30E7, 0x30C3, 0x30FC, 0x30A2, 0x30A4, 0x30A6, 0x30A8, 0x30AA, 0x30AB,
    0x30AD, 0x30AF, 0x30B1, 0x30B3, 0x30B5, 0x30B7, 0x30B9, 0x30BB, 0x30BD, 0x30BF, 0x30C1,
    0x30C4, 0x30C6, 0x30C8, 0x30CA, 0x30CB, 0x30CC, 0x30CD, 0x30CE, 0x30CF, 0x30D2, 0x30D5,
    0x30D8, 0x30DB, 0x30DE, 0x30DF, 0x30E0, 0x30E1, 0x30E2, 0x30E4, 0x30E6, 0x30E8, 0x30E9,
    0x30EA, 0x30EB, 0x30EC, 0x30ED, 0x30EF, 0x30F3, 0x309B, 0x309C,
};

TEST(SjisWidth, HalfWidthKanaBecomeTheirFullWidthForms) {
  for (int b = 0xA1; b <= 0xDF; ++b) {
    ASSERT_EQ(UnicodeOf(Byte(b)), char32_t(0xFF61 + (b - 0xA1))) << b;
    const std::string zen = Cp932Of(kHalfKanaFull[b - 0xA1]);
    ASSERT_EQ(zen.size(), 2u) << b;
    EXPECT_EQ(SjisHanToZen(Byte(b)), zen) << "0x" << std::hex << b;
    EXPECT_EQ(SjisZenToHan(zen), Byte(b)) << "0x" << std::hex << b;
  }
}

// In Unicode a voiced kana follows its plain kana, and a semi-voiced one follows the voiced one.
TEST(SjisWidth, VoicedAndSemiVoicedKanaCombine) {
  const std::string voiced = "\xDE", semi = "\xDF";
  auto full = [](int b) { return kHalfKanaFull[b - 0xA1]; };
  auto check = [](const std::string& han, char32_t u) {
    const std::string zen = Cp932Of(u);
    ASSERT_EQ(zen.size(), 2u);
    EXPECT_EQ(SjisHanToZen(han), zen) << testing::PrintToString(han);
    EXPECT_EQ(SjisZenToHan(zen), han) << testing::PrintToString(han);
  };
  for (int b = 0xB6; b <= 0xC4; ++b) check(Byte(b) + voiced, full(b) + 1);  // ka, sa, ta rows
  for (int b = 0xCA; b <= 0xCE; ++b) {                                       // ha row
    check(Byte(b) + voiced, full(b) + 1);
    check(Byte(b) + semi, full(b) + 2);
  }
}

TEST(SjisWidth, OtherKanaKeepAFollowingMarkApart) {
  const std::string markZen = Cp932Of(0x309B), semiZen = Cp932Of(0x309C);
  for (int b : {0xB1, 0xB3, 0xC5, 0xCF, 0xDC, 0xDD, 0xB0, 0xDE}) {
    const std::string zen = Cp932Of(kHalfKanaFull[b - 0xA1]);
    EXPECT_EQ(SjisHanToZen(Byte(b) + "\xDE"), zen + markZen) << b;
  }
  EXPECT_EQ(SjisHanToZen("\xB6\xDF"), Cp932Of(0x30AB) + semiZen);  // ka takes no semi-voiced mark
  // The full-width vu has a half-width form (u and the mark), which does not combine back.
  EXPECT_EQ(SjisZenToHan(Cp932Of(0x30F4)), "\xB3\xDE");
  EXPECT_EQ(SjisHanToZen("\xB3\xDE"), Cp932Of(0x30A6) + markZen);
}

TEST(SjisWidth, HanToZenKeepsDoubleBytesAndDropsOtherBytes) {
  const std::string kanji = "\x8A\xBF";
  EXPECT_EQ(SjisHanToZen("a\r\nb"), Cp932Of(0xFF41) + Cp932Of(0xFF42));
  EXPECT_EQ(SjisHanToZen(kanji + "\x01" + kanji), kanji + kanji);
  EXPECT_EQ(SjisHanToZen("\x83\x41"), "\x83\x41");  // the trail 'A' is not converted
  std::string dropped;
  for (int c = 0; c < 0x20; ++c) dropped += char(c);
  dropped += "\x7F\x80\xA0\x9F";  // and a lone lead byte at the end
  EXPECT_EQ(SjisHanToZen(dropped), "");
  EXPECT_EQ(SjisHanToZen("\xFD\xFE\xFF"), "");
  EXPECT_EQ(SjisHanToZen("\xE0"), "");
}

TEST(SjisWidth, ZenToHanKeepsSingleBytesAndDropsTheRest) {
  const std::string kanji = "\x8A\xBF", hiragana = "\x82\xA0";
  EXPECT_EQ(SjisZenToHan("a\r\n\xB1\x01"), "a\r\n\xB1\x01");
  EXPECT_EQ(SjisZenToHan(kanji + "x" + hiragana), "x");
  EXPECT_EQ(SjisZenToHan(Cp932Of(0x30AC)), "\xB6\xDE");  // full-width ga
  EXPECT_EQ(SjisZenToHan("x\x82"), "x\x82");              // a lone lead byte is a single byte
}

// Every full-width katakana either has no half-width form or comes back from it unchanged.
TEST(SjisWidth, FullWidthKatakanaRoundTrip) {
  for (char32_t u = 0x30A1; u <= 0x30FE; ++u) {
    const std::string zen = Cp932Of(u);
    if (zen.size() != 2) continue;
    const std::string han = SjisZenToHan(zen);
    const bool noHalfForm = u == 0x30EE || u == 0x30F0 || u == 0x30F1 || u == 0x30F5 || u == 0x30F6 ||
                            u == 0x30FD || u == 0x30FE;  // small wa, wi, we, small ka, ke, iteration marks
    if (noHalfForm) {
      EXPECT_EQ(han, "") << std::hex << uint32_t(u);
    } else if (u != 0x30F4) {  // vu, above
      EXPECT_EQ(SjisHanToZen(han), zen) << std::hex << uint32_t(u);
    }
  }
}

}  // namespace
}  // namespace kova
