#include "platform/text/text_codec.h"

#include <gtest/gtest.h>

#include <string>

namespace kova::plat {
namespace {

constexpr auto kCp932 = TCodePage::Cp932;
constexpr auto kEuc = TCodePage::EucJp;
constexpr auto kUtf8 = TCodePage::Utf8;

// The same text in the three code pages: "A", hiragana a, a kanji, half-width katakana a, the
// full-width yen sign and ideographic space.
const std::string kTextCp932 = "A\x82\xA0\x8A\xBF\xB1\x81\x8F\x81\x40";
const std::string kTextEuc = "A\xA4\xA2\xB4\xC1\x8E\xB1\xA1\xEF\xA1\xA1";
const std::string kTextUtf8 = "A\xE3\x81\x82\xE6\xBC\xA2\xEF\xBD\xB1\xEF\xBF\xA5\xE3\x80\x80";

TEST(TextCodec, ConvertsBetweenAllThreeCodePages) {
  struct Case {
    const std::string& in;
    TCodePage from;
    const std::string& out;
    TCodePage to;
  } cases[] = {
      {kTextCp932, kCp932, kTextUtf8, kUtf8}, {kTextUtf8, kUtf8, kTextCp932, kCp932},
      {kTextEuc, kEuc, kTextUtf8, kUtf8},     {kTextUtf8, kUtf8, kTextEuc, kEuc},
      {kTextCp932, kCp932, kTextEuc, kEuc},   {kTextEuc, kEuc, kTextCp932, kCp932},
  };
  for (const auto& c : cases) {
    const TConvertResult r = ConvertText(c.in, c.from, c.to);
    EXPECT_EQ(r.text, c.out);
    EXPECT_EQ(r.unmapped, 0u);
  }
  EXPECT_EQ(Cp932ToUtf8(kTextCp932), kTextUtf8);
  EXPECT_EQ(Utf8ToCp932(kTextUtf8), kTextCp932);
}

// Every double-byte character of the code page that has a Unicode form comes back unchanged.
TEST(TextCodec, Cp932RoundTripsThroughUtf8) {
  std::string all;
  for (int c = 0x20; c <= 0x7E; ++c) all += char(c);
  for (int c = 0xA1; c <= 0xDF; ++c) all += char(c);
  for (int lead : {0x81, 0x82, 0x83, 0x84, 0x88, 0x8A, 0x98, 0x9F, 0xE0, 0xEA}) {
    for (int trail = 0x40; trail <= 0xFC; ++trail) {
      if (trail == 0x7F) continue;
      const std::string ch{char(lead), char(trail)};
      if (ConvertText(ch, kCp932, kUtf8).unmapped == 0) all += ch;
    }
  }
  const TConvertResult utf8 = ConvertText(all, kCp932, kUtf8);
  EXPECT_EQ(utf8.unmapped, 0u);
  const TConvertResult back = ConvertText(utf8.text, kUtf8, kCp932);
  EXPECT_EQ(back.unmapped, 0u);
  EXPECT_EQ(back.text, all);
}

TEST(TextCodec, UnmappableCharactersAreCountedAndReplaced) {
  struct Case {
    std::string in;
    TCodePage from, to;
    std::string out;
    size_t unmapped;
  } cases[] = {
      {"a\xC3\xA9" "b", kUtf8, kCp932, "a?b", 1},                       // e acute
      {"\xC3\xA9\xE2\x82\xAC" "x\xF0\x9F\x98\x80", kUtf8, kCp932, "??x?", 3},  // e acute, euro, emoji
      {"\x82\xA0\x87\x40\x82\xA0", kCp932, kEuc, "\xA4\xA2?\xA4\xA2", 1},      // circled one
  };
  for (const auto& c : cases) {
    const TConvertResult r = ConvertText(c.in, c.from, c.to);
    EXPECT_EQ(r.text, c.out) << testing::PrintToString(c.in);
    EXPECT_EQ(r.unmapped, c.unmapped) << testing::PrintToString(c.in);
  }
}

TEST(TextCodec, InvalidInputIsReplacedPerCharacter) {
  struct Case {
    std::string in;
    TCodePage from;
    std::string out;
    size_t unmapped;
  } cases[] = {
      {"a\x80" "b\xFF", kCp932, "a?b?", 2},
      {"\x82\x20x", kCp932, "? x", 1},    // a lead byte before a byte that cannot be a trail
      {"\x85\x40" "a", kCp932, "?a", 1},  // a pair the code page does not assign
      {"\xC3(\xBF", kUtf8, "?(?", 2},
      {"\xA4" "a", kEuc, "?a", 1},
      {"", kCp932, "", 0},
  };
  for (const auto& c : cases) {
    const TConvertResult r = ConvertText(c.in, c.from, c.from == kUtf8 ? kCp932 : kUtf8);
    EXPECT_EQ(r.text, c.out) << testing::PrintToString(c.in);
    EXPECT_EQ(r.unmapped, c.unmapped) << testing::PrintToString(c.in);
  }
}

TEST(TextCodec, InputEndingInsideACharacterGivesOneReplacement) {
  struct Case {
    std::string in;
    TCodePage from;
    std::string out;
  } cases[] = {
      {"ab\x82", kCp932, "ab?"},
      {"\x82\xA0\x9F", kCp932, "\xE3\x81\x82?"},
      {"a\xE3\x81", kUtf8, "a?"},
      {"a\x8F\xB0", kEuc, "a?"},
  };
  for (const auto& c : cases) {
    const TConvertResult r = ConvertText(c.in, c.from, c.from == kUtf8 ? kCp932 : kUtf8);
    EXPECT_EQ(r.text, c.out) << testing::PrintToString(c.in);
    EXPECT_EQ(r.unmapped, 1u) << testing::PrintToString(c.in);
  }
}

// A long text in which most characters grow on conversion still comes out whole.
TEST(TextCodec, LongTextsConvertWhole) {
  std::string half(100000, '\xB1');
  const TConvertResult r = ConvertText(half, kCp932, kUtf8);
  ASSERT_EQ(r.text.size(), 300000u);
  EXPECT_EQ(r.text.substr(299997), "\xEF\xBD\xB1");
  EXPECT_EQ(ConvertText(r.text, kUtf8, kCp932).text, half);
}

// Typed text keeps what the code page holds, takes the input methods' look-alikes as the code
// page's own characters, and leaves out (never replaces) what it cannot hold.
TEST(TextCodec, TypedTextKeepsOnlyWhatTheCodePageHolds) {
  struct Case {
    std::string utf8;
    std::string cp932;
    size_t refused;
  } cases[] = {
      {kTextUtf8, kTextCp932, 0},
      {"a?b", "a?b", 0},                                            // a real question mark stays
      {"a\xF0\x9F\x98\x80" "b", "ab", 1},                           // an emoji
      {"\xE2\x82\xAC\xEA\xB0\x80x", "x", 2},                        // the euro sign, a hangul syllable
      {"\xE3\x80\x9C\xE2\x88\x92\xC2\xA5", "\x81\x60\x81\x7C\x5C", 0},  // wave dash, minus, yen
      {"a\xFF\xE3\x81", "a", 3},                                     // bytes that are no UTF-8
  };
  for (const Case& c : cases) {
    size_t refused = 99;
    EXPECT_EQ(Utf8ToCp932Held(c.utf8, &refused), c.cp932) << c.utf8;
    EXPECT_EQ(refused, c.refused) << c.utf8;
  }
}

}  // namespace
}  // namespace kova::plat
