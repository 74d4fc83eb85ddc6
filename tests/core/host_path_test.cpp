#include "core/host_path.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "support/game_tree.h"

namespace kova {
namespace {

using test::GameTree;

// Names on disk: ASCII in mixed case, a raw Shift-JIS folder whose first character has the trail
// byte 0x5C ("ソフト"), and a UTF-8 folder ("画像") holding a full-width name ("Ｂｉｇ.png").
constexpr const char* kSjisSofuto = "\x83\x5C\x83\x74\x83\x67";
constexpr const char* kUtf8Gazou = "\xE7\x94\xBB\xE5\x83\x8F";
constexpr const char* kUtf8BigPng = "\xEF\xBC\xA2\xEF\xBD\x89\xEF\xBD\x87.png";

class HostPathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    cache_.Clear();
    tree_.WriteFile("Data/Pic01.BMP", "pic");
    tree_.WriteFile(std::string(kSjisSofuto) + "/Read Me.TXT", "sjis");
    tree_.WriteFile(std::string(kUtf8Gazou) + "/" + kUtf8BigPng, "utf8");
    tree_.MakeDir("Data/Sub");
  }
  GameTree tree_;
  THostPathCache cache_;
};

TEST_F(HostPathTest, FindsNamesWhateverTheirCaseAndEncodingOnDisk) {
  struct Case {
    std::string game_name;  // Shift-JIS
    std::string on_disk;    // expected host path below the tree
  };
  const std::string sofuto_file = std::string(kSjisSofuto) + "/Read Me.TXT";
  const std::string gazou_file = std::string(kUtf8Gazou) + "/" + kUtf8BigPng;
  const Case cases[] = {
      {"Data\\Pic01.BMP", "Data/Pic01.BMP"},
      {"data\\pic01.bmp", "Data/Pic01.BMP"},
      {"DATA/PIC01.bmp", "Data/Pic01.BMP"},
      {".\\Data\\\\Pic01.BMP", "Data/Pic01.BMP"},
      // Raw Shift-JIS on disk; the trail byte 0x5C of the first character is no separator.
      {std::string(kSjisSofuto) + "\\read me.txt", sofuto_file},
      // UTF-8 on disk, asked for in Shift-JIS with the full-width letters in the other case.
      {"\x89\xE6\x91\x9C\\\x82\x82\x82\x89\x82\x87.PNG", gazou_file},
      {"\x89\xE6\x91\x9C\\\x82\x61\x82\x89\x82\x87.png", gazou_file},
  };
  for (const Case& c : cases) {
    std::optional<std::string> found = ResolveHostPath(cache_, tree_.Root(), c.game_name);
    ASSERT_TRUE(found.has_value()) << c.game_name;
    EXPECT_EQ(*found, tree_.Path(c.on_disk)) << c.game_name;
    // A trailing "/" on the folder changes nothing.
    EXPECT_EQ(ResolveHostPath(cache_, tree_.Root() + "/", c.game_name), found) << c.game_name;
  }
}

TEST_F(HostPathTest, RefusesNamesOutsideTheFolderAndWhatIsNoFile) {
  tree_.WriteFile("outside.txt", "x");
  const std::string folder = tree_.Path("Data");
  for (std::string_view name : {"", "..\\outside.txt", "Sub\\..\\..\\outside.txt", "\\outside.txt",
                                "/outside.txt", "C:outside.txt", "Sub", "Missing.bmp",
                                "Pic01.BMP\\x"}) {
    EXPECT_FALSE(ResolveHostPath(cache_, folder, name).has_value()) << name;
  }
  EXPECT_FALSE(ResolveHostPath(cache_, folder, std::string_view("Pic01.BMP\0x", 11)).has_value());
}

TEST_F(HostPathTest, FoldersResolveLikeFiles) {
  EXPECT_EQ(ResolveHostFolder(cache_, tree_.Root(), "data\\SUB"), tree_.Path("Data/Sub"));
  EXPECT_EQ(ResolveHostFolder(cache_, tree_.Root(), ""), tree_.Root());
  EXPECT_FALSE(ResolveHostFolder(cache_, tree_.Root(), "Data\\Pic01.BMP").has_value());
}

TEST_F(HostPathTest, ExactSpellingWinsOverCaseVariants) {
  tree_.WriteFile("Data/pic01.bmp", "lower");
  EXPECT_EQ(ResolveHostPath(cache_, tree_.Root(), "Data\\pic01.bmp"), tree_.Path("Data/pic01.bmp"));
  EXPECT_EQ(ResolveHostPath(cache_, tree_.Root(), "Data\\Pic01.BMP"), tree_.Path("Data/Pic01.BMP"));
  std::optional<std::string> other = ResolveHostPath(cache_, tree_.Root(), "DATA\\PIC01.Bmp");
  ASSERT_TRUE(other.has_value());
  EXPECT_TRUE(*other == tree_.Path("Data/pic01.bmp") || *other == tree_.Path("Data/Pic01.BMP"));
}

TEST_F(HostPathTest, CachedListingsSeeFilesAddedAfterAMiss) {
  // Misses fill the listing cache; later changes to the folder must still be seen.
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(ResolveHostPath(cache_, tree_.Root(), "data\\new.txt").has_value());
  tree_.WriteFile("Data/New.TXT", "new");
  EXPECT_EQ(ResolveHostPath(cache_, tree_.Root(), "data\\new.txt"), tree_.Path("Data/New.TXT"));
  std::remove(tree_.Path("Data/New.TXT").c_str());
  EXPECT_FALSE(ResolveHostPath(cache_, tree_.Root(), "data\\new.txt").has_value());
}

TEST_F(HostPathTest, EachCacheKeepsItsOwnListings) {
  EXPECT_TRUE(ResolveHostPath(cache_, tree_.Root(), "data\\pic01.bmp").has_value());
  const size_t listed = cache_.Count();
  EXPECT_GT(listed, 0u);
  THostPathCache other;
  EXPECT_TRUE(ResolveHostPath(other, tree_.Root(), "DATA\\PIC01.BMP").has_value());
  EXPECT_EQ(other.Count(), listed);
  other.Clear();
  EXPECT_EQ(other.Count(), 0u);
  EXPECT_EQ(cache_.Count(), listed);
}

}  // namespace
}  // namespace kova
