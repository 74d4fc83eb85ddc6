#include "core/disc_lookup.h"

#include <gtest/gtest.h>

#include <functional>

#include "core/archive.h"
#include "core/stream.h"
#include "support/archive_builder.h"
#include "support/fake_platform.h"
#include "support/game_tree.h"
#include "support/install_set_builder.h"

namespace kova {
namespace {

using plat::TMessageAnswer;
using test::ArchiveBuilder;
using test::FakePlatform;
using test::GameTree;
using test::InstallSetBuilder;

constexpr const char* kKey = "GAME-KEY";
constexpr TMessageAnswer kOk = TMessageAnswer::Ok;
constexpr TMessageAnswer kCancel = TMessageAnswer::Cancel;

// Boxes answered from the script, with a hook that runs before each answer (the user changing
// discs while the box is up).
class DiscChangingDialogs : public plat::THeadlessDialogs {
 public:
  std::function<void(int box)> before_answer;
  TMessageAnswer ShowMessage(const plat::TMessageBox& box) override {
    if (before_answer) before_answer(shown_++);
    return THeadlessDialogs::ShowMessage(box);
  }

 private:
  int shown_ = 0;
};

class DiscLookup : public ::testing::Test {
 protected:
  // A disc in folder `rel`: "game.dat" holding `entry` and "install.dat" of that key and index.
  std::string WriteDisc(const std::string& rel, const std::string& key, int index,
                        const std::string& entry, const char* archive_name = "game.dat",
                        const char* install_name = "install.dat") {
    ArchiveBuilder archive;
    archive.Add(entry, "contents of " + entry);
    tree.WriteArchive(rel + "/" + archive_name, archive);
    InstallSetBuilder set;
    set.version = 103;
    set.game_key = key;
    set.disk_index = index;
    tree.WriteFile(rel + "/" + install_name, set.Build());
    return tree.Path(rel) + "/";
  }

  TVrFileManager Manager(std::vector<std::string> roots) {
    TVrFileManagerOptions options;
    options.cd_roots = std::move(roots);
    options.temp_parent = tree.Root();
    options.optical = &platform.optical;
    return TVrFileManager(std::move(options));
  }

  TDiscPromptContext Context() const {
    return TDiscPromptContext{kKey, "Insert disc %d", "Quit the game?", "My Game"};
  }

  std::vector<std::string> ArchiveFiles(const TVrFileManager& m) const {
    std::vector<std::string> files;
    for (int32_t i = 0; i < m.ArchiveCount(); ++i) files.push_back(m.Archives(i).FileName);
    return files;
  }

  FakePlatform platform;
  GameTree tree;
};

TEST_F(DiscLookup, FindDiskAddsTheArchiveOfTheMatchingDiscOnly) {
  const std::string d0 = WriteDisc("d0", kKey, 0, "zero.txt");
  const std::string d1 = WriteDisc("d1", kKey, 1, "one.txt");
  const std::string other = WriteDisc("other", "OTHER", 1, "other.txt");
  const std::string empty = tree.MakeDir("empty") + "/";
  TVrFileManager m = Manager({d0, other, empty, d1});

  EXPECT_TRUE(FindDisk(m, 1, kKey));
  EXPECT_EQ(ArchiveFiles(m), std::vector<std::string>{d1 + "game.dat"});
  EXPECT_TRUE(m.FileExists("one.txt"));
  // Found again: the archive already open is not added twice.
  EXPECT_TRUE(FindDisk(m, 1, kKey));
  EXPECT_EQ(m.ArchiveCount(), 1);

  EXPECT_FALSE(FindDisk(m, 5, kKey));
  EXPECT_FALSE(FindDisk(m, 1, "game-key"));  // keys are compared exactly
  EXPECT_EQ(m.ArchiveCount(), 1);
}

TEST_F(DiscLookup, FindDiskAddsEveryMatchingDisc) {
  const std::string a = WriteDisc("a", kKey, 1, "a.txt");
  const std::string b = WriteDisc("b", kKey, 1, "b.txt", "GAME.DAT", "Install.Dat");
  TVrFileManager m = Manager({a, b});
  EXPECT_TRUE(FindDisk(m, 1, kKey));
  EXPECT_EQ(ArchiveFiles(m), (std::vector<std::string>{a + "game.dat", b + "GAME.DAT"}));
}

TEST_F(DiscLookup, FindDiskSkipsARootWithoutBothFiles) {
  tree.WriteFile("b/install.dat", [] {
    InstallSetBuilder s;
    s.game_key = kKey;
    s.disk_index = 1;
    return s.Build();
  }());
  TVrFileManager m = Manager({tree.Path("b") + "/"});
  EXPECT_FALSE(FindDisk(m, 1, kKey));
  EXPECT_EQ(m.ArchiveCount(), 0);
}

TEST_F(DiscLookup, FindDiskSeesADiscMountedAfterTheStart) {
  const std::string d1 = WriteDisc("media/DISC2", kKey, 1, "one.txt");
  TVrFileManager m = Manager({});
  platform.optical.SetRoots({d1});
  EXPECT_TRUE(FindDisk(m, 1, kKey));
  EXPECT_EQ(m.CdRoots(), std::vector<std::string>{d1});
  EXPECT_EQ(m.ArchiveCount(), 1);
}

TEST_F(DiscLookup, AskDiskLooksForTheDiscBeforeItsNumber) {
  const std::string d1 = WriteDisc("d1", kKey, 1, "one.txt");
  TVrFileManager m = Manager({d1});
  platform.dialogs.Script({kOk});
  EXPECT_TRUE(AskDisk(m, 2, Context(), platform.Services()));
  EXPECT_EQ(platform.ShownTexts(), std::vector<std::string>{"Insert disc 2"});
  const auto& shown = platform.dialogs.Log().front();
  EXPECT_EQ(shown.title, "My Game");
  EXPECT_EQ(shown.buttons, plat::TMessageButtons::OkCancel);
  EXPECT_EQ(m.ArchiveCount(), 1);
}

TEST_F(DiscLookup, AskDiskClosesTheArchivesOfARemovedDisc) {
  const std::string d0 = WriteDisc("d0", kKey, 0, "zero.txt");
  const std::string d1 = WriteDisc("d1", kKey, 1, "one.txt");
  ArchiveBuilder local;
  local.Add("local.txt", "here");
  const std::string installed = tree.WriteArchive("installed/game.dat", local);
  TVrFileManager m = Manager({d0, d1});
  m.AddArchive(installed);
  ASSERT_TRUE(FindDisk(m, 0, kKey));
  ASSERT_EQ(m.ArchiveCount(), 2);

  platform.dialogs.Script({kOk});
  EXPECT_TRUE(AskDisk(m, 2, Context(), platform.Services()));
  EXPECT_EQ(ArchiveFiles(m), (std::vector<std::string>{installed, d1 + "game.dat"}));
  EXPECT_FALSE(m.FileExists("zero.txt"));
}

TEST_F(DiscLookup, AskDiskAsksAgainUntilTheDiscIsIn) {
  const std::string root = tree.MakeDir("drive") + "/";
  TVrFileManager m = Manager({root});
  DiscChangingDialogs dialogs;
  plat::TServices services = platform.Services();
  services.dialogs = &dialogs;
  dialogs.Script({kOk, kOk, kOk});
  dialogs.before_answer = [&](int box) {
    if (box == 1) WriteDisc("drive", "OTHER", 2, "wrong.txt");  // a disc of another game
    if (box == 2) WriteDisc("drive", kKey, 2, "right.txt");
  };
  EXPECT_TRUE(AskDisk(m, 3, Context(), services));
  EXPECT_EQ(dialogs.Log().size(), 3u);
  EXPECT_TRUE(m.FileExists("right.txt"));
}

TEST_F(DiscLookup, CancelThenKeepPlayingAsksForTheDiscAgain) {
  const std::string d1 = WriteDisc("d1", kKey, 1, "one.txt");
  TVrFileManager m = Manager({d1});
  platform.dialogs.Script({kCancel, kCancel, kOk});
  EXPECT_TRUE(AskDisk(m, 2, Context(), platform.Services()));
  EXPECT_EQ(platform.ShownTexts(),
            (std::vector<std::string>{"Insert disc 2", "Quit the game?", "Insert disc 2"}));
  EXPECT_EQ(platform.window.ClosePosts(), 0);
}

TEST_F(DiscLookup, CancelConfirmedEndsThePlayer) {
  TVrFileManager m = Manager({});
  platform.dialogs.Script({kCancel, kOk});
  EXPECT_FALSE(AskDisk(m, 2, Context(), platform.Services()));
  EXPECT_EQ(platform.ShownTexts(), (std::vector<std::string>{"Insert disc 2", "Quit the game?"}));
  EXPECT_EQ(platform.dialogs.Log()[1].title, "My Game");
  EXPECT_EQ(platform.window.ClosePosts(), 1);
}

TEST_F(DiscLookup, EmptyScriptGivesUpWithoutHanging) {
  TVrFileManager m = Manager({});
  platform.dialogs.Script({kOk, kOk});  // the disc never comes
  EXPECT_FALSE(AskDisk(m, 4, Context(), platform.Services()));
  EXPECT_EQ(platform.ShownTexts(), (std::vector<std::string>{"Insert disc 4", "Insert disc 4",
                                                              "Insert disc 4", "Quit the game?"}));
  EXPECT_EQ(platform.window.ClosePosts(), 1);
}

TEST(DiscText, OnlyNumberConversionsAreFilledIn) {
  const struct {
    const char* pattern;
    const char* text;
  } cases[] = {
      {"Insert disc %d", "Insert disc 3"},
      {"%02d/%d", "03/3"},
      {"%-3d|", "3  |"},
      {"100%% %d", "100% 3"},
      {"%s and %x %d", "%s and %x 3"},
      {"%n%999999d", "%n%999999d"},
      {"end %", "end %"},
      {"\x83\x66\x83\x42\x83\x58\x83\x4E%d", "\x83\x66\x83\x42\x83\x58\x83\x4E" "3"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatDiscText(c.pattern, 3), c.text) << c.pattern;
}

}  // namespace
}  // namespace kova
