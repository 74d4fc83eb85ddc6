#include "core/path_parser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kova {
namespace {

using Strings = std::vector<std::string>;

Strings ComponentsOf(const TPathParser& parser) {
  Strings out;
  for (const auto& item : parser.Items()) out.push_back(item.Str);
  return out;
}

TEST(PathParser, SplitsIntoComponents) {
  struct Case {
    const char* name;
    std::string path;
    Strings components;
  } cases[] = {
      {"drive and folders", "C:\\Game\\Data\\", {"C:\\", "GAME\\", "DATA\\"}},
      {"missing final delimiter added", "c:\\game\\data", {"C:\\", "GAME\\", "DATA\\"}},
      {"bare drive", "d:", {"D:\\"}},
      {"UNC server", "\\\\server\\share\\dir", {"\\\\SERVER\\", "SHARE\\", "DIR\\"}},
      {"UNC server alone", "\\\\server", {"\\\\SERVER\\"}},
      {"bare double backslash", "\\\\", {"\\\\"}},
      {"relative folders", "data\\bgm", {"DATA\\", "BGM\\"}},
      {"rooted without drive", "\\data", {"\\", "DATA\\"}},
      {"empty", "", {}},
      // 0x95 0x5C is one character: its trail byte ends no component, and a final one gets
      // a delimiter of its own.
      {"trail byte 0x5C", "c:\\\x95\\x\\\x95\\", {"C:\\", "\x95\\X\\", "\x95\\\\"}},
      // Full-width letters are upper-cased too; the trail bytes of other characters stay.
      {"full-width letters", "\x82\x81\\\x82\xA0", {"\x82\x60\\", "\x82\xA0\\"}},
  };
  TPathParser parser;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    parser.SetPath(c.path);
    EXPECT_EQ(ComponentsOf(parser), c.components);
    std::string joined;
    for (const auto& s : c.components) joined += s;
    EXPECT_EQ(parser.GetPath(), joined);
  }
}

TEST(PathParser, DeletingTheLastComponentGoesUp) {
  TPathParser parser;
  parser.SetPath("C:\\game\\data");
  parser.Delete(parser.Count() - 1);
  EXPECT_EQ(parser.GetPath(), "C:\\GAME\\");
  parser.Delete(parser.Count() - 1);
  EXPECT_EQ(parser.GetPath(), "C:\\");
}

TEST(ExpandRelativePath, Resolves) {
  struct Case {
    const char* name;
    std::string relative;
    std::string base;
    std::string result;
  } cases[] = {
      {"two levels up", "..\\..\\x.wxa", "C:\\GAME\\DATA\\", "C:\\x.wxa"},
      {"one level up, base upper-cased, rest as it stands", "..\\Bg\\a.wxa", "c:\\game\\data\\",
       "C:\\GAME\\Bg\\a.wxa"},
      {"more levels than the base has", "..\\..\\..\\..\\x.wxa", "C:\\GAME\\DATA\\", "..\\x.wxa"},
      {"empty base", "..\\x", "", "..\\x"},
      {"UNC base", "..\\x", "\\\\srv\\share\\", "\\\\SRV\\x"},
      {"plain name joined to the base unchanged", "sub\\x.wxa", "c:\\Game\\", "c:\\Game\\sub\\x.wxa"},
      {"inner ..\\ is not resolved", "a\\..\\x", "C:\\G\\", "C:\\G\\a\\..\\x"},
      {"drive path unchanged", "d:\\x.wxa", "C:\\GAME\\", "d:\\x.wxa"},
      {"rooted path unchanged", "\\x.wxa", "C:\\GAME\\", "\\x.wxa"},
      {"UNC path unchanged", "\\\\srv\\x", "C:\\GAME\\", "\\\\srv\\x"},
      {"one character unchanged", "x", "C:\\GAME\\", "x"},
      {"empty unchanged", "", "C:\\GAME\\", ""},
      {"double-byte name", "..\\\x95\\.wxa", "C:\\\x95\\\\", "C:\\\x95\\.wxa"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ExpandRelativePath(c.relative, c.base), c.result);
  }
}

}  // namespace
}  // namespace kova
