// Text system functions: byte and character positions, the Shift-JIS character boundaries every
// search and fold respects, and the cap on built strings.
#include <gtest/gtest.h>

#include "script/sysfunc_rig.h"

namespace kova {
namespace {

using test::Ab;
using test::Ai;
using test::Ar;
using test::As;
using test::CallRow;
using test::Msg;
using test::SysFuncRig;
using F = TSysFunc;

// Shift-JIS samples: 表 and ソ end in the byte of "\", ア in the byte of "A"; 漢字; full-width A/a.
constexpr const char* kHyou = "\x95\x5C";
constexpr const char* kSo = "\x83\x5C";
constexpr const char* kA = "\x83\x41";
constexpr const char* kDi = "\x83\x61";  // the character a wrong fold of ア would give
constexpr const char* kKanji = "\x8A\xBF\x8E\x9A";
constexpr const char* kZenA = "\x82\x60";
constexpr const char* kZenSmallA = "\x82\x81";

std::string Cat(std::initializer_list<std::string_view> parts) {
  std::string s;
  for (auto p : parts) s += p;
  return s;
}

TEST(SysFuncText, PositionsAndCounts) {
  SysFuncRig rig;
  const std::string kanji_ab = Cat({kKanji, "ab"});
  test::RunRows(rig, {
      {F::IntToHex, {Ai(255), Ai(4)}, "00FF"},
      {F::IntToHex, {Ai(-1), Ai(0)}, "FFFFFFFF"},
      {F::IntToHex, {Ai(-1), Ai(10)}, "00FFFFFFFF"},
      {F::IntToHex, {Ai(26), Ai(-3)}, "1A"},
      {F::IntToHex, {Ai(1), Ai(100000000)}, "!" + Msg(TMsg::SysFuncStringTooLong, "IntToHex")},
      {F::JLength, {As(kanji_ab)}, "4"},
      {F::JLength, {As("a\x82")}, "2"},
      {F::Copy, {As("abcdef"), Ai(3)}, "cdef"},
      {F::Copy, {As("abc"), Ai(0), Ai(2)}, "ab"},
      {F::Copy, {As("abc"), Ai(INT32_MIN), Ai(2)}, "ab"},
      {F::Copy, {As("abc"), Ai(2), Ai(INT32_MAX)}, "bc"},
      {F::Copy, {As("abc"), Ai(4)}, ""},
      {F::Copy, {As("abc"), Ai(2), Ai(0)}, ""},
      {F::Copy, {As("abc"), Ai(2), Ai(-1)}, ""},
      {F::JCopy, {As(kanji_ab), Ai(2), Ai(2)}, Cat({"\x8E\x9A", "a"})},
      {F::JCopy, {As(kanji_ab), Ai(3)}, "ab"},
      {F::JCopy, {As("abc"), Ai(0), Ai(2)}, "a"},
      {F::JCopy, {As(kanji_ab), Ai(2), Ai(INT32_MAX)}, Cat({"\x8E\x9A", "ab"})},
      {F::Pos, {As("c"), As("abcabc")}, "3"},
      {F::Pos, {As(""), As("abc")}, "0"},
      {F::Pos, {As("x"), As("abc")}, "0"},
      {F::Pos, {As("\\"), As(kHyou)}, "2"},  // a byte function: the trail byte counts
      {F::JPos, {As("\\"), As(Cat({kHyou, "\\"}))}, "2"},
      {F::JPos, {As("b"), As(Cat({kKanji, "b"}))}, "3"},
      {F::CompareStr, {As("abc"), As("abd")}, "-1"},
      {F::CompareStr, {As("b"), As("a")}, "1"},
      {F::CompareStr, {As("ab"), As("abcd")}, "-2"},
      {F::CompareStr, {As("\x82\xA0"), As("a")}, "33"},
      {F::CompareStr, {As(""), As("")}, "0"},
      {F::CompareText, {As("ABC"), As("abc")}, "0"},
      {F::CompareText, {As("a"), As("_")}, "-30"},
      {F::CompareText, {As(kA), As(kDi)}, "-32"},  // trail bytes are no letters
  });
}

TEST(SysFuncText, TrimCaseAndWidth) {
  SysFuncRig rig;
  const std::string zen_space = "\x81\x40";
  test::RunRows(rig, {
      {F::Trim, {As("\t a \r\n")}, "a"},
      {F::Trim, {As(zen_space + "a")}, zen_space + "a"},
      {F::Trim, {As("   ")}, ""},
      {F::JTrim, {As(zen_space + " a\t" + zen_space)}, "a\t"},
      {F::FixStr, {As("a\x82")}, "a"},
      {F::FixStr, {As("\x82\xA0")}, "\x82\xA0"},
      {F::FixStr, {As("\x82")}, "\x82"},
      {F::FixStr, {As("\x82\x82")}, "\x82\x82"},
      {F::FixStr, {As("\x82\x82\x82")}, "\x82\x82"},
      {F::LowerCase, {As(Cat({"ABC", kA, kZenA}))}, Cat({"abc", kA, kZenA})},
      {F::UpperCase, {As(Cat({"abc", kDi}))}, Cat({"ABC", kDi})},
      {F::HanToZen, {As("\xB6\xDE")}, "\x83\x4B"},
      {F::ZenToHan, {As("\x83\x4B")}, "\xB6\xDE"},
      {F::AddDelimiter, {As(","), As("")}, ""},
      {F::AddDelimiter, {As(","), As("a")}, "a,"},
      {F::StringOfChar, {As("ab"), Ai(3)}, "ababab"},
      {F::StringOfChar, {As("ab"), Ai(0)}, ""},
      {F::StringOfChar, {As("ab"), Ai(-1)}, ""},
      {F::StringOfChar, {As(""), Ai(INT32_MAX)}, ""},
      {F::StringOfChar, {As("x"), Ai(100000000)}, "!" + Msg(TMsg::SysFuncStringTooLong, "StringOfChar")},
      {F::StringOfChar, {As("abcd"), Ai(INT32_MAX)}, "!" + Msg(TMsg::SysFuncStringTooLong, "StringOfChar")},
  });
}

TEST(SysFuncText, PathsSplitOnlyAtWholeCharacters) {
  SysFuncRig rig;
  const std::string hyou_txt = Cat({kHyou, ".txt"});
  const std::string path = Cat({"dir\\", hyou_txt});
  test::RunRows(rig, {
      {F::ExtractFilePath, {As(path)}, "dir\\"},
      {F::ExtractFilePath, {As(hyou_txt)}, ""},
      {F::ExtractFilePath, {As("c:x")}, "c:"},
      {F::ExtractFileName, {As(path)}, hyou_txt},
      {F::ExtractFileName, {As(Cat({"a\\", kSo}))}, kSo},
      {F::ExtractFileExt, {As(path)}, ".txt"},
      {F::ExtractFileExt, {As("a.b\\c")}, ""},
      {F::ExtractFileExt, {As(kHyou)}, ""},
      {F::ChangeFileExt, {As(hyou_txt), As(".bmp")}, Cat({kHyou, ".bmp"})},
      {F::ChangeFileExt, {As("dir.d\\file"), As(".x")}, "dir.d\\file.x"},
      {F::IsPathDelimiter, {As(kHyou), Ai(2)}, "FALSE"},
      {F::IsPathDelimiter, {As("a\\"), Ai(2)}, "TRUE"},
      {F::IsPathDelimiter, {As("a\\"), Ai(3)}, "FALSE"},
      {F::IsPathDelimiter, {As("a\\"), Ai(0)}, "FALSE"},
      {F::AddBackSlash, {As("")}, "\\"},
      {F::AddBackSlash, {As("a\\")}, "a\\"},
      {F::AddBackSlash, {As(kHyou)}, Cat({kHyou, "\\"})},
      {F::IsDelimiter, {As(",\\"), As(Cat({kHyou, ","})), Ai(2)}, "FALSE"},
      {F::IsDelimiter, {As(",\\"), As(Cat({kHyou, ","})), Ai(3)}, "TRUE"},
      {F::IsDelimiter, {As(kHyou), As("a\\"), Ai(2)}, "FALSE"},  // the delimiter list's "\" is a trail byte
      {F::IsDelimiter, {As(","), As("a,"), Ai(9)}, "FALSE"},
  });
}

TEST(SysFuncText, StringReplace) {
  SysFuncRig rig;
  test::RunRows(rig, {
      {F::StringReplace, {As("aAa"), As("a"), As("b"), Ab(true), Ab(true)}, "bbb"},
      {F::StringReplace, {As("aAa"), As("a"), As("b")}, "bAa"},
      {F::StringReplace, {As("aAa"), As("a"), As("b"), Ab(true)}, "bAb"},
      {F::StringReplace, {As("abc"), As(""), As("x"), Ab(true)}, "abc"},
      {F::StringReplace, {As("aaa"), As("aa"), As("b"), Ab(true)}, "ba"},
      {F::StringReplace, {As("abab"), As("ab"), As(""), Ab(true)}, ""},
      // A trail byte never starts a match, in either mode.
      {F::StringReplace, {As(Cat({kHyou, "\\"})), As("\\"), As("/"), Ab(true)}, Cat({kHyou, "/"})},
      {F::StringReplace, {As(kA), As("a"), As("x"), Ab(true), Ab(true)}, kA},
      {F::StringReplace, {As(Cat({"\x82", kA})), As(kA), As("x"), Ab(true)}, Cat({"\x82", kA})},
      // Without case, the code page's fold also pairs full-width letters.
      {F::StringReplace, {As(kZenA), As(kZenSmallA), As("x"), Ab(false), Ab(true)}, "x"},
  });
}

// Functions that write a "var" argument: the variable changes, the destination does not.
TEST(SysFuncText, VarArgumentsChangeTheVariable) {
  SysFuncRig rig;
  TParamCollectionItem* s = rig.Var("s", PT_STR);
  TParamCollectionItem* dest = rig.Var("d", PT_STR);
  const std::string kanji_ab = Cat({kKanji, "ab"});
  struct Case {
    TSysFunc f;
    std::string before;
    std::vector<test::Arg> args;
    std::string after;
  } cases[] = {
      {F::JDelete, kanji_ab, {Ar("s"), Ai(2)}, "\x8A\xBF"},
      {F::JDelete, kanji_ab, {Ar("s"), Ai(2), Ai(1)}, Cat({"\x8A\xBF", "ab"})},
      {F::JDelete, kanji_ab, {Ar("s"), Ai(9), Ai(1)}, kanji_ab},
      {F::JDelete, kanji_ab, {Ar("s"), Ai(1), Ai(-1)}, kanji_ab},
      {F::Insert, "abc", {As("X"), Ar("s"), Ai(0)}, "Xabc"},
      {F::Insert, "abc", {As("X"), Ar("s"), Ai(10)}, "abcX"},
      {F::Insert, "abc", {As("X"), Ar("s"), Ai(2)}, "aXbc"},
      {F::Insert, "abc", {As(""), Ar("s"), Ai(2)}, "abc"},
      {F::JInsert, kKanji, {As("X"), Ar("s"), Ai(2)}, Cat({"\x8A\xBF", "X", "\x8E\x9A"})},
      {F::JInsert, kKanji, {As("X"), Ar("s"), Ai(0)}, Cat({"X", kKanji})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(SysFuncNames().Name(Ord(c.f)));
    s->SetStr(c.before);
    dest->SetStr("dest");
    EXPECT_EQ(rig.CallInto(*dest, c.f, c.args), "");
    EXPECT_EQ(s->GetStr(), c.after);
    EXPECT_EQ(dest->GetStr(), "dest");
  }
  // A constant in the var position is worked on as a scratch copy: no error, no change.
  auto constant = As("abc");
  EXPECT_EQ(rig.CallInto(*dest, F::Insert, {As("X"), constant, Ai(1)}), "");
  EXPECT_EQ(dest->GetStr(), "dest");
}

}  // namespace
}  // namespace kova
