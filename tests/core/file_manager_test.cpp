#include "core/file_manager.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>

#include "core/archive.h"
#include "core/errors.h"
#include "core/host_path.h"
#include "core/resources.h"
#include "platform/files/dirs.h"
#include "platform/files/file.h"
#include "support/archive_builder.h"
#include "support/game_tree.h"

namespace kova {
namespace {

using test::ArchiveBuilder;
using test::GameTree;
using test::PatternBytes;

std::string AsString(const std::vector<uint8_t>& b) { return std::string(b.begin(), b.end()); }
std::string AsString(const TMemoryStream& m) {
  return std::string(reinterpret_cast<const char*>(m.Memory()), static_cast<size_t>(m.Size()));
}
std::string ReadAll(TStream& s) {
  std::string out(static_cast<size_t>(s.GetSize()), '\0');
  s.SetPosition(0);
  EXPECT_EQ(s.Read(out.data(), static_cast<int64_t>(out.size())), static_cast<int64_t>(out.size()));
  return out;
}
bool Exists(const std::string& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0;
}

// ":ファイルがありません" in code page 932.
constexpr const char* kNotFoundTail = ":\x83\x74\x83\x40\x83\x43\x83\x8B\x82\xAA\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1";

// A game tree with an override folder, two archives (the first compressed, the second stored) and
// a fake disc root. Each source holds some of the names below; a file's contents name its source.
class FileManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ArchiveBuilder a1, a2;
    for (const char* name : {"fa.txt", "a12.txt", "Later.txt"}) AddEntry(a1, "a1", name, false);
    for (const char* name : {"fa.txt", "a12.txt", "a2cd.txt", "Sub\\Deep.txt"}) AddEntry(a2, "a2", name, true);
    for (const char* name : {"fa.txt", "a2cd.txt", "cd.txt"}) tree_.WriteFile(std::string("cd/") + name, std::string("cd:") + name);
    for (const char* name : {"FA.TXT", "only_folder.txt", "Later.txt"}) {
      std::string lower = name;
      for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      tree_.WriteFile(std::string("override/") + name, "folder:" + lower);
    }
    a1_path_ = tree_.WriteArchive("a1/game.dat", a1);
    a2_path_ = tree_.WriteArchive("a2/game.dat", a2);
    tree_.MakeDir("tmp");
    manager_ = MakeManager();
    manager_->HostNames().Clear();
  }

  static void AddEntry(ArchiveBuilder& b, const std::string& source, const std::string& name, bool stored) {
    std::string key = name;
    for (char& c : key) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    b.Add(name, source + ":" + key, stored);
  }

  TVrFileManagerOptions Options() const {
    TVrFileManagerOptions o;
    o.temp_parent = tree_.Path("tmp");
    o.cd_roots = std::vector<std::string>{tree_.Path("cd")};
    return o;
  }

  std::unique_ptr<TVrFileManager> MakeManager() const {
    auto m = std::make_unique<TVrFileManager>(Options());
    m->SetFolder(tree_.Path("override"));
    EXPECT_EQ(m->AddArchive(a1_path_), 0);
    EXPECT_EQ(m->AddArchive(a2_path_), 1);
    return m;
  }

  std::string Load(std::string_view name) {
    TMemoryStream m;
    manager_->LoadFile(m, name);
    EXPECT_EQ(m.GetPosition(), 0);
    return AsString(m);
  }

  GameTree tree_;
  std::string a1_path_, a2_path_;
  std::unique_ptr<TVrFileManager> manager_;
};

// Which source serves each name, per operation ("" = none).
struct LookupCase {
  const char* name;
  const char* load;     // LoadFile: cache, Folder, archives, disc
  const char* real;     // GetRealFileName and OpenRangeStream: Folder, archives, disc
};

const LookupCase kLookupCases[] = {
    {"fa.txt", "folder", "folder"},           // everywhere: the folder first
    {"Fa.Txt", "folder", "folder"},           // any case
    {"only_folder.txt", "folder", "folder"},
    {"a12.txt", "a1", "a1"},                  // both archives: list order
    {"A12.TXT", "a1", "a1"},
    {"a2cd.txt", "a2", "a2"},                 // an archive before the disc
    {"SUB\\DEEP.TXT", "a2", "a2"},          // a folder inside an archive
    {"cd.txt", "cd", "cd"},
    {"Later.txt", "folder", "folder"},        // a1 and the folder
    {"missing.txt", "", ""},
};

std::string Expected(const char* source, std::string name) {
  for (char& c : name) c = static_cast<char>(c == '/' ? '\\' : std::tolower(static_cast<unsigned char>(c)));
  return std::string(source) + ":" + name;
}

TEST_F(FileManagerTest, LoadFileLookupOrder) {
  for (const LookupCase& c : kLookupCases) {
    if (*c.load) {
      EXPECT_EQ(Load(c.name), Expected(c.load, c.name)) << c.name;
    } else {
      EXPECT_THROW(Load(c.name), EReadError) << c.name;
    }
  }
}

TEST_F(FileManagerTest, FileExistsLookupOrder) {
  for (const LookupCase& c : kLookupCases) EXPECT_EQ(manager_->FileExists(c.name), *c.load != 0) << c.name;
  EXPECT_FALSE(manager_->FileExists(""));
  EXPECT_FALSE(manager_->FileExists("\\EOF\\"));  // the archives' end marker is no file
}

TEST_F(FileManagerTest, GetRealFileNameLookupOrder) {
  for (const LookupCase& c : kLookupCases) {
    std::string path = manager_->GetRealFileName(c.name);
    if (!*c.real) {
      EXPECT_EQ(path, c.name);
      continue;
    }
    EXPECT_EQ(AsString(GameTree::ReadHostFile(path)), Expected(c.real, c.name)) << c.name;
    const bool in_archive = std::string(c.real) == "a1" || std::string(c.real) == "a2";
    EXPECT_EQ(path.rfind(manager_->TempFolder(), 0) == 0 && !manager_->TempFolder().empty(), in_archive)
        << c.name << " -> " << path;
  }
  EXPECT_EQ(manager_->GetRealFileName("fa.txt"), tree_.Path("override/FA.TXT"));
  EXPECT_EQ(manager_->GetRealFileName("cd.txt"), tree_.Path("cd/cd.txt"));
}

TEST_F(FileManagerTest, OpenRangeStreamLookupOrder) {
  for (const LookupCase& c : kLookupCases) {
    if (!*c.real) {
      EXPECT_THROW(manager_->OpenRangeStream(c.name), EReadError) << c.name;
      continue;
    }
    std::unique_ptr<TRangeStream> range = manager_->OpenRangeStream(c.name);
    ASSERT_NE(range, nullptr) << c.name;
    // a1's entries are compressed: the window holds the inflated contents.
    EXPECT_EQ(ReadAll(*range), Expected(c.real, c.name)) << c.name;
  }
  EXPECT_EQ(manager_->Cache().Count(), 0);  // streamed media never pass through the cache
}

TEST_F(FileManagerTest, MissingNameRaisesWithTheName) {
  const std::string name = "\x83\x5C\\missing.txt";  // "ソ\missing.txt"
  for (int op = 0; op < 2; ++op) {
    try {
      if (op == 0) Load(name); else manager_->OpenRangeStream(name);
      ADD_FAILURE() << "no exception";
    } catch (const EReadError& e) {
      EXPECT_EQ(e.Message(), name + kNotFoundTail);
    }
  }
  EXPECT_EQ(manager_->Cache().Count(), 0);  // failed loads leave no entries behind
}

TEST_F(FileManagerTest, CacheServesTheSameNameInAnyCase) {
  EXPECT_EQ(Load("only_folder.txt"), "folder:only_folder.txt");
  std::remove(tree_.Path("override/only_folder.txt").c_str());
  EXPECT_EQ(Load("ONLY_FOLDER.TXT"), "folder:only_folder.txt");
  EXPECT_EQ(manager_->Cache().Count(), 1);
  // A stream that is not a memory stream gets the bytes at its position and ends at 0.
  std::string path = tree_.Path("out.bin");
  {
    TFileStream out(path, plat::TFileMode::Create);
    out.WriteBuffer("xy", 2);
    manager_->LoadFile(out, "Only_Folder.txt");
    EXPECT_EQ(out.GetPosition(), 0);
  }
  EXPECT_EQ(AsString(GameTree::ReadHostFile(path)), "xyfolder:only_folder.txt");
}

TEST_F(FileManagerTest, CacheEvictsOnlyOnAMissAndNeverTheNewest) {
  TVrCacheList& cache = manager_->Cache();
  const int64_t limit = TVrCacheList::kLimit;
  tree_.WriteFile("override/big.bin", PatternBytes(static_cast<size_t>(limit + 1000), 1));
  tree_.WriteFile("override/a.bin", PatternBytes(static_cast<size_t>(limit - 100), 2));
  tree_.WriteFile("override/b.bin", PatternBytes(100, 3));
  tree_.WriteFile("override/c.bin", PatternBytes(10, 4));

  Load("big.bin");  // more than the limit: cached alone
  Load("BIG.BIN");  // a hit: nothing changes
  EXPECT_EQ(cache.Count(), 1);
  EXPECT_EQ(cache.TotalSize(), limit + 1000);
  Load("a.bin");    // the next miss evicts it
  ASSERT_EQ(cache.Count(), 1);
  EXPECT_EQ(cache.Entries().front().Key(), "A.BIN");

  Load("b.bin");    // a + b = exactly the limit
  Load("c.bin");    // at the limit is not above it: nothing goes
  EXPECT_EQ(cache.Count(), 3);
  EXPECT_EQ(cache.TotalSize(), limit + 10);
  Load("fa.txt");   // above it: the least recently used (a) goes, then the total fits
  EXPECT_EQ(cache.Count(), 3);
  std::vector<std::string> keys;
  for (const TVrCache& e : cache.Entries()) keys.push_back(e.Key());
  EXPECT_EQ(keys, (std::vector<std::string>{"FA.TXT", "C.BIN", "B.BIN"}));
}

TEST_F(FileManagerTest, CorruptOrTruncatedEntriesRaiseAndAreNeverCached) {
  ArchiveBuilder bad;
  bad.Add("bad.txt", "some contents", false).OverrideData(0, {0x78, 0x9C, 0xFF, 0xFF, 0xFF, 0xFF});
  bad.Add("cut.bin", AsString(PatternBytes(4000, 5)), true);
  const std::string path = tree_.WriteArchive("bad/game.dat", bad);
  ASSERT_EQ(manager_->AddArchive(path), 2);
  // Cut the archive's last entry short after it was opened.
  std::filesystem::resize_file(path, std::filesystem::file_size(path) - 100);

  for (const char* name : {"bad.txt", "cut.bin"}) {
    for (int attempt = 0; attempt < 2; ++attempt) {
      TMemoryStream m;
      EXPECT_THROW(manager_->LoadFile(m, name), EKovaError) << name;
      EXPECT_EQ(manager_->Cache().Find(name), nullptr) << name;
    }
    EXPECT_THROW(manager_->GetRealFileName(name), EKovaError) << name;
    EXPECT_EQ(manager_->Locks().Count(), 0) << name;  // no lock, no half-written work file
  }
  EXPECT_EQ(manager_->Cache().Count(), 0);
  ASSERT_FALSE(manager_->TempFolder().empty());
  EXPECT_TRUE(std::filesystem::is_empty(manager_->TempFolder()));
}

TEST_F(FileManagerTest, EmptyEntriesReadAsEmpty) {
  ArchiveBuilder b;
  b.Add("empty_stored.ogg", "", true);
  b.Add("empty_packed.txt", "", false).OverrideData(1, {});  // size 0, flagged compressed
  ASSERT_EQ(manager_->AddArchive(tree_.WriteArchive("e/game.dat", b)), 2);
  for (const char* name : {"empty_stored.ogg", "empty_packed.txt"}) {
    TMemoryStream m;
    m.WriteBuffer("stale", 5);
    manager_->LoadFile(m, name);
    EXPECT_EQ(m.Size(), 0) << name;
    EXPECT_EQ(manager_->OpenRangeStream(name)->GetSize(), 0) << name;
    std::string path = manager_->GetRealFileName(name);
    EXPECT_TRUE(Exists(path)) << name;
    EXPECT_TRUE(GameTree::ReadHostFile(path).empty()) << name;
  }
}

TEST_F(FileManagerTest, WorkFilesOnePerExactNameWithIdsInOrder) {
  ArchiveBuilder b;
  b.Add("bgm\\snd.ogg", "ogg bytes", true);
  ASSERT_EQ(manager_->AddArchive(tree_.WriteArchive("w/game.dat", b)), 2);

  const std::string first = manager_->GetRealFileName("bgm\\snd.ogg");
  EXPECT_EQ(manager_->GetRealFileName("bgm\\snd.ogg"), first);  // the same work file again
  EXPECT_EQ(manager_->Locks().Find("bgm\\snd.ogg")->UseCount, 2);
  // Every other spelling is a new lock with the next id.
  const std::string base = "bgm\\snd.ogg";
  std::vector<std::string> paths{first};
  for (uint32_t mask = 1; paths.size() < 27; ++mask) {
    std::string name = base;
    for (size_t i = 0; i < name.size(); ++i)
      if (mask & (1u << i)) name[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(name[i])));
    if (name == base || manager_->Locks().Find(name)) continue;
    paths.push_back(manager_->GetRealFileName(name));
  }
  const std::string& dir = manager_->TempFolder();
  ASSERT_FALSE(dir.empty());
  for (uint32_t id = 0; id < paths.size(); ++id) {
    char expected[32];
    std::snprintf(expected, sizeof expected, "~kv%08X.ogg", id);
    EXPECT_EQ(paths[id], dir + expected);
    EXPECT_EQ(AsString(GameTree::ReadHostFile(paths[id])), "ogg bytes");
  }
  EXPECT_EQ(paths[26], dir + "~kv0000001A.ogg");
  EXPECT_EQ(manager_->Locks().NextId(), 27u);

  // The work directory is private to this run and lies in the temporary folder asked for.
  struct stat st {};
  ASSERT_EQ(::stat(dir.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_EQ(std::filesystem::path(dir).parent_path().parent_path(), std::filesystem::path(tree_.Path("tmp")));
}

TEST_F(FileManagerTest, LargeEntriesAreExtractedWithoutTheCache) {
  const std::vector<uint8_t> big = PatternBytes(6 * 1024 * 1024 + 123, 7);
  ArchiveBuilder b;
  test::ArchiveEntry stored, packed;
  stored.name = "movie.mpg";
  stored.contents = big;
  stored.stored = true;
  packed.name = "packed.bin";
  packed.contents = big;
  b.Add(stored).Add(packed);
  ASSERT_EQ(manager_->AddArchive(tree_.WriteArchive("big/game.dat", b)), 2);
  for (const char* name : {"movie.mpg", "packed.bin"}) {
    std::string path = manager_->GetRealFileName(name);
    EXPECT_TRUE(GameTree::ReadHostFile(path) == big) << name;
  }
  EXPECT_EQ(manager_->Cache().Count(), 0);
}

TEST_F(FileManagerTest, WorkFilesNeverFollowALeftoverLink) {
  ArchiveBuilder b;
  b.Add("v.avi", "video", true);
  ASSERT_EQ(manager_->AddArchive(tree_.WriteArchive("l/game.dat", b)), 2);
  manager_->GetRealFileName("fa.txt");  // no work directory yet: loose file
  EXPECT_TRUE(manager_->TempFolder().empty());
  manager_->GetRealFileName("a12.txt");  // id 0
  // A link planted where the next work file goes is replaced, not written through.
  const std::string victim = tree_.WriteFile("victim.txt", "keep");
  const std::string next = manager_->TempFolder() + "~kv00000001.avi";
  ASSERT_EQ(::symlink(victim.c_str(), next.c_str()), 0);
  EXPECT_EQ(manager_->GetRealFileName("v.avi"), next);
  EXPECT_EQ(AsString(GameTree::ReadHostFile(victim)), "keep");
  EXPECT_EQ(AsString(GameTree::ReadHostFile(next)), "video");
}

TEST_F(FileManagerTest, FreeingTheManagerRemovesEveryWorkFileAndTheDirectory) {
  auto m = std::make_unique<TVrFileManager>(Options());
  m->SetFolder(tree_.Path("override"));
  m->AddArchive(a1_path_);
  m->AddArchive(a2_path_);
  const std::string w1 = m->GetRealFileName("a12.txt");
  const std::string w2 = m->GetRealFileName("a2cd.txt");
  const std::string dir = m->TempFolder();
  ASSERT_TRUE(Exists(w1) && Exists(w2));
  m->Locks().DeleteTempFiles();  // per frame: nothing queued while the locks live
  EXPECT_TRUE(Exists(w1) && Exists(w2));
  EXPECT_EQ(m->Locks().PendingTempFileCount(), 0u);

  m.reset();
  EXPECT_FALSE(Exists(w1));
  EXPECT_FALSE(Exists(w2));
  EXPECT_FALSE(Exists(dir));
}

TEST_F(FileManagerTest, TickCountsReleasedLocksDownByTheFrameDelta) {
  const std::string file = tree_.WriteFile("tmp/released.ogg", "x");
  auto& released = manager_->Locks().Released();
  released.push_back(std::make_unique<TVrLockData>("released.ogg", 99, file));
  released.back()->Delay = 20;
  manager_->Locks().Tick(16);
  ASSERT_EQ(released.size(), 1u);
  EXPECT_EQ(released.back()->Delay, 4);
  manager_->Locks().Tick(16);  // -12: below 1, freed and its file queued
  EXPECT_TRUE(released.empty());
  EXPECT_EQ(manager_->Locks().PendingTempFileCount(), 1u);
  manager_->Locks().DeleteTempFiles();
  EXPECT_FALSE(Exists(file));
  manager_->Locks().DeleteTempFiles();  // an empty queue and files already gone are no error
}

TEST_F(FileManagerTest, AddArchiveRefusesOnlyAFolderAlreadyListed) {
  EXPECT_EQ(manager_->AddArchive(tree_.Path("a1") + "/"), -1);  // a1's folder
  EXPECT_EQ(manager_->AddArchive(a1_path_), 2);                  // the same file again is accepted
  EXPECT_EQ(manager_->AddArchive(tree_.Path("loose")), 3);       // a missing file: a folder, no entries
  EXPECT_EQ(manager_->AddArchive(tree_.Path("loose") + "/"), -1);
  manager_->DeleteArchive(0);
  EXPECT_EQ(manager_->ArchiveCount(), 3);
  EXPECT_EQ(Load("a12.txt"), "a2:a12.txt");
  EXPECT_THROW(manager_->DeleteArchive(3), EListError);
}

TEST_F(FileManagerTest, ResourceArchivesServeLikeFileArchives) {
  ArchiveBuilder b;
  b.Add("logo\\film.kcm", "film", false).Add("a12.txt", "res:a12.txt", true);
  auto program = std::make_shared<TResourceTable>();
  program->Add("BINTYPE", "VFSTEST", b.Build());
  manager_->Modules().program = program;
  EXPECT_THROW(manager_->AddResourceArchive("", "NOSUCH", "BINTYPE"), EKovaError);
  EXPECT_EQ(manager_->ArchiveCount(), 2);
  EXPECT_EQ(manager_->AddResourceArchive("", "VFSTEST", "BINTYPE"), 2);
  EXPECT_EQ(Load("LOGO\\FILM.KCM"), "film");
  EXPECT_EQ(ReadAll(*manager_->OpenRangeStream("logo\\film.kcm")), "film");
  EXPECT_EQ(Load("a12.txt"), "a1:a12.txt");  // added last, read last
  manager_->DeleteArchive(2);
  EXPECT_FALSE(manager_->FileExists("logo\\film.kcm"));
  // Foreign modules come from the manager's loader.
  manager_->Modules().loader = [&](const std::string& name) {
    return name == "other.dll" ? program : nullptr;
  };
  EXPECT_EQ(manager_->AddResourceArchive("other.dll", "VFSTEST", "BINTYPE"), 2);
  EXPECT_EQ(Load("logo\\film.kcm"), "film");
}

TEST_F(FileManagerTest, ArchivesResolveLooseNamesWithTheManagersListings) {
  for (int32_t i = 0; i < manager_->ArchiveCount(); ++i) {
    EXPECT_EQ(&manager_->Archives(i).HostNames(), &manager_->HostNames());
  }
  manager_->HostNames().Clear();
  tree_.WriteFile("a1/Loose.TXT", "loose");
  EXPECT_TRUE(manager_->Archives(0).LooseFilePath("loose.txt").has_value());
  EXPECT_GT(manager_->HostNames().Count(), 0u);
}

TEST_F(FileManagerTest, OpticalRootsComeFromTheMountTable) {
  const std::string mounts = tree_.WriteFile(
      "mounts",
      "/dev/sda1 / ext4 rw 0 0\n"
      "/dev/sr0 /media/user/GAME\\040DISC iso9660 ro 0 0\n"
      "/dev/sr1 /mnt/dvd/ udf ro 0 0\n");
  EXPECT_EQ(plat::OpticalMountRoots(mounts),
            (std::vector<std::string>{"/media/user/GAME DISC/", "/mnt/dvd/"}));
  EXPECT_TRUE(plat::OpticalMountRoots(tree_.Path("no-such-file")).empty());
}

TEST(FileManagerNames, ExtractFolder) {
  struct Case {
    const char* name;
    const char* folder;
  };
  const Case cases[] = {
      {"pic.bmp", ""},
      {"", ""},
      {"data\\pic.bmp", "data\\"},
      {"data/sub\\pic.bmp", "data/sub\\"},
      {"data\\", "data\\"},
      {"C:\\game\\pic.bmp", "C:\\game\\"},
      {"C:pic.bmp", "C:"},
      {"\\\\server\\share\\pic.bmp", "\\\\server\\share\\"},
      {"a:b\\c", "a:b\\"},
      {"\x83\x5C.bmp", ""},                       // "ソ.bmp": the trail byte 0x5C is no delimiter
      {"\x83\x5C\\\x83\x5C.bmp", "\x83\x5C\\"},
  };
  for (const Case& c : cases) EXPECT_EQ(TVrFileManager::ExtractFolder(c.name), c.folder) << c.name;
}

TEST(FileManagerNames, WorkFileNames) {
  EXPECT_EQ(TVrLockData::MakeTempName("/t/", 26, "bgm\\snd.ogg"), "/t/~kv0000001A.ogg");
  EXPECT_EQ(TVrLockData::MakeTempName("/t/", 0xABCDEF01u, "noext"), "/t/~kvABCDEF01");
  EXPECT_EQ(TVrLockData::MakeTempName("/t/", 1, "dir.x\\movie"), "/t/~kv00000001");
  // A Shift-JIS extension becomes UTF-8 on the host ("ソ" is E3 82 BD).
  EXPECT_EQ(TVrLockData::MakeTempName("/t/", 2, "a.\x83\x5C"), "/t/~kv00000002.\xE3\x82\xBD");
}

}  // namespace
}  // namespace kova
