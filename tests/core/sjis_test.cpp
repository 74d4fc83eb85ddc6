#include "core/sjis.h"

#include <gtest/gtest.h>

#include <locale.h>
#include <wctype.h>

#include <climits>
#include <random>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/sjis_test_util.h"

namespace kova {
namespace {

// Characters used below, from explicit bytes. Each kanji's trail byte passes the lead-byte test,
// and the katakana a's trail byte is an ASCII 'A'.
const std::string kA = "\x88\x9F";     // a kanji (trail 0x9F)
const std::string kKa = "\x83\x41";    // katakana a (trail 'A')
const std::string kHyo = "\x95\x5C";   // a kanji whose trail byte is a backslash
const std::string kZenSp = "\x81\x40"; // full-width space

// a, kanji, b, katakana: 4 characters in 6 bytes.
const std::string kMixed = "a" + kA + "b" + kKa;

TEST(SjisCount, LengthCountsCharactersAndALoneFinalLeadByte) {
  struct Case {
    std::string s;
    int length;
  } cases[] = {
      {"", 0},           {"abc", 3},           {kA + kA, 2},     {kMixed, 4},
      {"ab\x82", 3},     {"\x82", 1},          {kA + "\x88", 2}, {"\xA1\xDF", 2},  // half-width kana
  };
  for (const auto& c : cases) EXPECT_EQ(SjisLength(c.s), c.length) << testing::PrintToString(c.s);
}

TEST(SjisCount, CharToByteAndCharAt) {
  struct Case {
    int i, byte, code;
  } cases[] = {
      {-3, 1, 0}, {0, 1, 0}, {1, 1, 'a'}, {2, 2, 0x889F}, {3, 4, 'b'}, {4, 5, 0x8341}, {5, 7, 0}, {99, 7, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SjisCharToByte(kMixed, c.i), c.byte) << c.i;
    EXPECT_EQ(SjisCharAt(kMixed, c.i), c.code) << c.i;
  }
  // A lone lead byte at the end is a character of one byte.
  EXPECT_EQ(SjisCharAt("a\x82", 2), 0x82);
  EXPECT_EQ(SjisCharToByte("a\x82", 3), 3);
  EXPECT_EQ(SjisCharToByte("a\x82", 9), 3);
}

TEST(SjisCount, IsSecondByteFollowsTheLeadRun) {
  const std::string s = kA + kA + kKa + "a";  // 88 9F 88 9F 83 41 61
  const bool expected[] = {false, true, false, true, false, true, false};
  for (int p = 1; p <= 7; ++p) EXPECT_EQ(SjisIsSecondByte(s, p), expected[p - 1]) << p;
}

TEST(SjisCount, IsSecondByteRaisesIllegalIndexOutsideTheString) {
  for (int p : {0, -1, 8}) {
    try {
      SjisIsSecondByte(kA + kA + kKa + "a", p);
      ADD_FAILURE() << "no exception for " << p;
    } catch (const EListError& e) {
      EXPECT_EQ(e.Message(), MsgText(TMsg::IllegalIndex));
    }
  }
  EXPECT_THROW(SjisIsSecondByte("", 1), EListError);
}

// Random byte strings rich in lead-range bytes, with plain bytes and delimiters mixed in: short
// ones, and long ones whose runs of lead-range bytes cross 64-byte blocks at every parity.
std::vector<std::string> RandomSjisTexts() {
  std::mt19937 rng(1105);
  const char pool[] = {'\x81', '\x88', '\x9F', '\xE0', '\xFC', '\x40', '\x5C', 'a', ',', ' ', '\xA1'};
  const char leads[] = {'\x81', '\x88', '\x9F', '\xE0', '\xFC'};
  std::vector<std::string> texts;
  for (int n = 0; n < 600; ++n) {
    std::string s(n < 300 ? rng() % 24 : rng() % 400, ' ');
    const unsigned lead_share = rng() % 10;  // in tenths
    for (char& c : s) c = rng() % 10 < lead_share ? leads[rng() % sizeof(leads)] : pool[rng() % sizeof(pool)];
    texts.push_back(s);
  }
  return texts;
}

// The forward walk and the backward trail-byte test must agree on every character start.
TEST(SjisCount, ForwardWalkAgreesWithTheTrailByteTest) {
  for (const auto& s : RandomSjisTexts()) {
    std::vector<bool> start(s.size() + 2, false);
    for (int i = 1; i <= SjisLength(s); ++i) start[size_t(SjisCharToByte(s, i))] = true;
    int trails = 0;
    for (int p = 1; p <= int(s.size()); ++p) {
      ASSERT_EQ(SjisIsSecondByte(s, p), !start[size_t(p)]) << testing::PrintToString(s) << " at " << p;
      trails += SjisIsSecondByte(s, p);
    }
    ASSERT_EQ(SjisLength(s), int(s.size()) - trails) << testing::PrintToString(s);
  }
}

TEST(SjisEdit, Copy) {
  struct Case {
    std::string s;
    int index, count;
    std::string expected;
  } cases[] = {
      {kMixed, 1, 2, "a" + kA},
      {kMixed, 2, 1, kA},
      {kMixed, 0, 2, "a"},  // starts at 1, keeps the end 0 + 2 - 1
      {kMixed, -1, 3, "a"},
      {kMixed, -5, 3, ""},
      {kMixed, 3, 10, "b" + kKa},
      {kMixed, 2, INT_MAX, kA + "b" + kKa},
      {kMixed, 5, 1, ""},
      {kMixed, 2, 0, ""},
      {kMixed, 2, -1, ""},
      {"", 1, 1, ""},
      {"ab\x82", 3, 1, "\x82"},
      {"ab\x82", 2, 5, "b\x82"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(SjisCopy(c.s, c.index, c.count), c.expected) << c.index << "," << c.count;
}

TEST(SjisEdit, InsertNeverSplitsACharacter) {
  struct Case {
    int index;
    std::string expected;
  } cases[] = {
      {-2, "Xa" + kA + "b"}, {0, "Xa" + kA + "b"},  {1, "Xa" + kA + "b"},
      {2, "aX" + kA + "b"},  {3, "a" + kA + "Xb"}, {4, "a" + kA + "bX"}, {99, "a" + kA + "bX"},
  };
  for (const auto& c : cases) {
    std::string s = "a" + kA + "b";
    SjisInsert("X", s, c.index);
    EXPECT_EQ(s, c.expected) << c.index;
  }
}

TEST(SjisEdit, DeleteNeverSplitsACharacter) {
  struct Case {
    std::string s;
    int index, count;
    std::string expected;
  } cases[] = {
      {kMixed, 2, 1, "ab" + kKa},
      {kMixed, 0, 1, kA + "b" + kKa},
      {kMixed, -5, 2, "b" + kKa},
      {kMixed, 3, 99, "a" + kA},
      {kMixed, 4, 1, "a" + kA + "b"},
      {kMixed, 3, INT_MAX, "a" + kA},
      {kMixed, 5, 1, kMixed},  // past the end
      {kMixed, 2, 0, kMixed},
      {kMixed, 2, -3, kMixed},
      {"ab\x82", 3, 1, "ab"},
      {"", 1, 1, ""},
  };
  for (const auto& c : cases) {
    std::string s = c.s;
    SjisDelete(s, c.index, c.count);
    EXPECT_EQ(s, c.expected) << c.index << "," << c.count;
  }
}

TEST(SjisSearch, PosMatchesOnlyWhereACharacterBegins) {
  struct Case {
    std::string sub, s;
    int pos;
  } cases[] = {
      {"A", kKa + "A", 2},          // not inside the katakana
      {"\x9F\x88", kA + kA, 0},     // would begin on a trail byte
      {"b", kMixed, 3},
      {kA, kMixed, 2},
      {kKa, kMixed, 4},             // the last place it fits
      {"b" + kKa + "c", kMixed, 0}, // runs past the end
      {"", kMixed, 0},
      {"", "", 0},
      {"a", "", 0},
      {"\x82", "ab\x82", 3},
  };
  for (const auto& c : cases)
    EXPECT_EQ(SjisPos(c.sub, c.s), c.pos) << testing::PrintToString(c.sub) << " in " << testing::PrintToString(c.s);
}

struct FetchCase {
  std::string s, delimiters, token, rest;
  bool found;
};

const FetchCase kFetchCases[] = {
    {"ab,cd", ",", "ab", "cd", true},
    {"ab", ",", "ab", "", false},
    {"", ",", "", "", false},
    {"a,b", "", "a,b", "", false},
    {kHyo + "a\\b", "\\", kHyo + "a", "b", true},  // the kanji's trail byte is no delimiter
    {"a;b,c", ",;", "a", "b,c", true},
    {",a", ",", "", "a", true},
    {"a,", ",", "a", "", true},
    {"x\r\ny", "\r\n", "x", "\ny", true},
    {"a" + kA, "\x9F", "a" + kA, "", false},  // a trail byte is never a delimiter
    {"a" + kA, "\x88", "a", "\x9F", true},     // a lead byte is, where a character begins
};

TEST(SjisSearch, FetchTokenOnAString) {
  for (const auto& c : kFetchCases) {
    std::string s = c.s, token = "old";
    EXPECT_EQ(SjisFetchToken(s, c.delimiters, token), c.found) << testing::PrintToString(c.s);
    EXPECT_EQ(token, c.token) << testing::PrintToString(c.s);
    EXPECT_EQ(s, c.rest) << testing::PrintToString(c.s);
  }
}

TEST(SjisSearch, FetchTokenOnAView) {
  for (const auto& c : kFetchCases) {
    std::string_view s = c.s, token = "old";
    EXPECT_EQ(SjisFetchToken(s, c.delimiters, token), c.found) << testing::PrintToString(c.s);
    EXPECT_EQ(token, c.token) << testing::PrintToString(c.s);
    EXPECT_EQ(s, c.rest) << testing::PrintToString(c.s);
  }
}

// The token ends at the first position that is no trail byte and holds a delimiter, as the
// trail-byte test decides it.
TEST(SjisSearch, FetchTokenAgreesWithTheTrailByteTest) {
  for (const auto& text : RandomSjisTexts()) {
    for (std::string_view delimiters : {",", "\x40", "\x5C\x88 ", "\xA1\x9F,; \x40"}) {
      std::string token, rest = text;
      SjisFetchToken(rest, delimiters, token);
      size_t expected = text.size();
      for (size_t p = 0; p < text.size() && expected == text.size(); ++p)
        if (delimiters.find(text[p]) != std::string_view::npos && !SjisIsSecondByte(text, int(p) + 1))
          expected = p;
      ASSERT_EQ(token, text.substr(0, expected)) << testing::PrintToString(text);
      ASSERT_EQ(rest, expected < text.size() ? text.substr(expected + 1) : "") << testing::PrintToString(text);
    }
  }
}

TEST(SjisTrimming, StripsBothSpaceWidthsOnly) {
  struct Case {
    std::string s, expected;
  } cases[] = {
      {" " + kZenSp + " a b" + kZenSp + " " + kZenSp, "a b"},
      {kZenSp + " " + kZenSp + "  ", ""},
      {"", ""},
      {"\tx\t", "\tx\t"},
      {" \tx\t ", "\tx\t"},
      {"x\x82\x20", "x\x82\x20"},          // the 0x20 is a trail byte
      {"a\x88\x81\x40", "a\x88\x81\x40"},  // 0x81 is a trail here, so 0x81 0x40 is no space
      {kZenSp + "\x81", "\x81"},           // a lone lead byte at the end
      {kA + kZenSp, kA},
  };
  for (const auto& c : cases) EXPECT_EQ(SjisTrim(c.s), c.expected) << testing::PrintToString(c.s);
}

// --- The code-page case fold -----------------------------------------------------------------

TEST(SjisCaseFold, FoldsLettersOfEveryWidthButNoTrailByte) {
  struct Case {
    std::string upper, lower;
  } cases[] = {
      {"ABC-XYZ", "abc-xyz"},
      {"\x82\x60\x82\x79", "\x82\x81\x82\x9A"},  // full-width A, Z
      {"\x83\x9F\x83\xB6", "\x83\xBF\x83\xD6"},  // Greek alpha, omega
      {"\x84\x40\x84\x46\x84\x4E\x84\x4F\x84\x60",
       "\x84\x70\x84\x76\x84\x7E\x84\x80\x84\x91"},  // Cyrillic A, Yo, N, O, Ya (around the 0x7F gap)
      {"A\x82", "a\x82"},                           // a lone lead byte stays
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SjisLowerCase(c.upper), c.lower);
    EXPECT_EQ(SjisUpperCase(c.lower), c.upper);
    EXPECT_TRUE(SjisSameText(c.upper, c.lower));
    EXPECT_EQ(SjisCompareText(c.upper, c.lower), 0);
  }
  // The trail byte 'A' of katakana a (0x83 0x41) is never folded, and 0x83 0x61 is another kana.
  EXPECT_EQ(SjisLowerCase(kKa + "A"), kKa + "a");
  EXPECT_EQ(SjisUpperCase("\x83\x61" "a"), "\x83\x61" "A");
  EXPECT_FALSE(SjisSameText(kKa, "\x83\x61"));
  EXPECT_FALSE(SjisSameText("ab", "abc"));
}

int Sign(int v) { return (v > 0) - (v < 0); }

TEST(SjisCaseFold, CompareOrdersAsTheLowerCasedBytes) {
  EXPECT_LT(SjisCompareText("a", "B"), 0);
  EXPECT_GT(SjisCompareText("abD", "ABC"), 0);
  EXPECT_LT(SjisCompareText("ab", "ABC"), 0);
  EXPECT_LT(SjisCompareText("\x82", "\x82\x60"), 0);
  EXPECT_GT(SjisCompareText("\x82\x9A", "\x82\x60"), 0);  // full-width z after A
  std::mt19937 rng(932);
  const char pool[] = {'A', 'a', 'Z', '~', '\x82', '\x60', '\x81', '\x83', '\x41', '\x9F', '\xBF'};
  for (int n = 0; n < 3000; ++n) {
    std::string a(rng() % 5, ' '), b(rng() % 5, ' ');
    for (char& c : a) c = pool[rng() % sizeof(pool)];
    for (char& c : b) c = pool[rng() % sizeof(pool)];
    ASSERT_EQ(Sign(SjisCompareText(a, b)), Sign(SjisLowerCase(a).compare(SjisLowerCase(b))))
        << testing::PrintToString(a) << " vs " << testing::PrintToString(b);
  }
}

// Every double-byte character of leads 0x82 .. 0x84 folds as the wide-character case mapping of
// its Unicode form does, whenever the code page holds the result.
TEST(SjisCaseFold, AgreesWithTheUnicodeCaseMapping) {
  locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(0));
  ASSERT_NE(utf8, locale_t(0));
  int folded = 0;
  for (int lead = 0x82; lead <= 0x84; ++lead) {
    for (int trail = 0x40; trail <= 0xFC; ++trail) {
      if (trail == 0x7F) continue;
      const std::string ch{char(lead), char(trail)};
      const char32_t u = test::UnicodeOf(ch);
      if (u == 0) continue;
      auto expect = [&](char32_t mapped) {
        const std::string m = test::Cp932Of(mapped);
        return m.size() == 2 ? m : ch;
      };
      const std::string lower = expect(char32_t(towlower_l(wint_t(u), utf8)));
      const std::string upper = expect(char32_t(towupper_l(wint_t(u), utf8)));
      EXPECT_EQ(SjisLowerCase(ch), lower) << std::hex << lead << " " << trail;
      EXPECT_EQ(SjisUpperCase(ch), upper) << std::hex << lead << " " << trail;
      if (lower != ch) ++folded;
    }
  }
  freelocale(utf8);
  EXPECT_EQ(folded, 26 + 24 + 33);  // Latin, Greek and Cyrillic capitals
}

}  // namespace
}  // namespace kova
