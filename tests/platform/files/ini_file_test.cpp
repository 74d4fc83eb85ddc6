#include "platform/files/ini_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/files/atomic_file.h"
#include "platform/files/dirs.h"

namespace kova::plat {
namespace {

class TempFolder {
 public:
  TempFolder() : path_(*MakePrivateDirectory(SystemTempFolder(), "ini")) {}
  ~TempFolder() { std::system(("rm -rf '" + path_ + "'").c_str()); }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

void Write(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(IniFile, ReadsLikeThePrivateProfileRoutines) {
  TempFolder dir;
  Write(dir.File("game.ini"),
        "\xEF\xBB\xBF"
        "DelayTime=111\r\n"                 // before any section: belongs to none
        "; comment=1\r\n"
        "[sound]\r\n"
        "  directsound = 0 \r\n"
        "DelayTime=250\r\n"
        "DelayTime=400\r\n"                 // the first key wins
        "Name = \"  quoted  \"\r\n"
        "Other='x'\r\n"
        "[Sound]\r\n"
        "Extra=9\r\n"                       // the second section of the name is never read
        "[\x83\x5C]\r\n"                    // "ソ"
        "Key=\x95\x5C\r\n");
  const TIniFile ini(dir.File("game.ini"));
  EXPECT_FALSE(ini.ReadBool("Sound", "DirectSound", true));
  EXPECT_EQ(ini.ReadInteger("SOUND", "delaytime", 500), 250);
  EXPECT_EQ(ini.ReadString("Sound", "Name", ""), "  quoted  ");
  EXPECT_EQ(ini.ReadString("Sound", "Other", ""), "x");
  EXPECT_EQ(ini.ReadInteger("Sound", "Extra", -1), -1);
  EXPECT_EQ(ini.ReadString("Sound", "; comment", "none"), "none");
  EXPECT_EQ(ini.ReadString("\x83\x5C", "key", ""), "\x95\x5C");
  EXPECT_EQ(ini.ReadString("\x83\x7C", "key", "none"), "none");  // double-byte names compare exactly
}

// Numbers are decimal; anything else reads as the default.
TEST(IniFile, NumbersOrTheDefault) {
  TempFolder dir;
  const std::pair<std::string, int32_t> cases[] = {
      {"650", 650}, {"-50", -50}, {"+7", 7}, {" 0 ", 0}, {"2147483647", 2147483647},
      {"abc", 500}, {"12abc", 500}, {"", 500}, {"$1F4", 500}, {"0x1F4", 500}, {"1e3", 500},
      {"2147483648", 500}, {"--1", 500},
  };
  for (const auto& [text, value] : cases) {
    Write(dir.File("n.ini"), "[Sound]\nDelayTime=" + text + "\n");
    EXPECT_EQ(TIniFile(dir.File("n.ini")).ReadInteger("Sound", "DelayTime", 500), value) << text;
  }
}

// Damaged, foreign, huge or missing files read as defaults; one that cannot be read is never
// written over.
TEST(IniFile, DamagedFilesReadAsDefaults) {
  TempFolder dir;
  std::string garbage;
  for (int i = 0; i < 4096; ++i) garbage += char((i * 131 + 7) & 0xFF);
  const std::string damaged[] = {
      garbage,
      std::string("[Sound\0]\nDirectSound=0\n", 23),
      "[Sound]DirectSound=0",
      "\r\r\r=\n[\n]\n=0\n",
      std::string(size_t(TIniFile::kMaxBytes) + 1, '\n') + "[Sound]\nDirectSound=0\n",
  };
  for (const std::string& bytes : damaged) {
    Write(dir.File("bad.ini"), bytes);
    EXPECT_TRUE(TIniFile(dir.File("bad.ini")).ReadBool("Sound", "DirectSound", true));
  }
  TIniFile huge(dir.File("bad.ini"));
  EXPECT_FALSE(huge.WriteInteger("Sound", "DelayTime", 300));
  EXPECT_EQ(Read(dir.File("bad.ini")).size(), size_t(TIniFile::kMaxBytes) + 23);
  EXPECT_TRUE(TIniFile(dir.File("missing.ini")).ReadBool("Sound", "DirectSound", true));
  EXPECT_TRUE(TIniFile(dir.File("")).ReadBool("Sound", "DirectSound", true));  // a folder
}

// A write changes its own line only, keeping comments, other sections, spelling and line ends;
// missing keys and sections are added.
TEST(IniFile, WriteChangesOnlyItsKey) {
  TempFolder dir;
  const std::string path = dir.File("game.ini");
  Write(path, "; settings\n[Other]\nDelayTime=7\n\n[sound]\n  DIRECTSOUND = 1 ; on\nX=1\n\n[Last]\nY=2");
  TIniFile ini(path);
  ASSERT_TRUE(ini.WriteBool("Sound", "DirectSound", false)) << ini.Error();
  ASSERT_TRUE(ini.WriteInteger("Sound", "DelayTime", 300));
  ASSERT_TRUE(ini.WriteString("New", "Key", "v"));
  EXPECT_EQ(Read(path),
            "; settings\n[Other]\nDelayTime=7\n\n[sound]\nDIRECTSOUND=0\nX=1\nDelayTime=300\n\n[Last]\nY=2\n"
            "[New]\nKey=v\n");
  EXPECT_EQ(TIniFile(path).ReadInteger("Sound", "DelayTime", 500), 300);

  const std::string fresh = dir.File("fresh.ini");
  TIniFile created(fresh);
  ASSERT_TRUE(created.WriteBool("Sound", "DirectSound", true));
  ASSERT_TRUE(created.WriteInteger("Sound", "DelayTime", 200));
  EXPECT_EQ(Read(fresh), "[Sound]\r\nDirectSound=1\r\nDelayTime=200\r\n");

  // Texts that would make new lines or keys are refused.
  EXPECT_FALSE(created.WriteString("Sound", "DelayTime", "1\r\n[Evil]"));
  EXPECT_FALSE(created.WriteString("Sound", "A=B", "1"));
  EXPECT_FALSE(created.WriteString("So]und", "A", "1"));
  EXPECT_EQ(Read(fresh), "[Sound]\r\nDirectSound=1\r\nDelayTime=200\r\n");
}

// The file is replaced whole: a link keeps pointing at it, its mode stays, and a write that
// cannot happen leaves everything as it was, with the reason told.
TEST(IniFile, ReplacesTheFileAtomically) {
  TempFolder dir;
  const std::string target = dir.File("real.ini");
  Write(target, "[Sound]\nDelayTime=100\n");
  ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
  ASSERT_EQ(::symlink(target.c_str(), dir.File("game.ini").c_str()), 0);
  TIniFile ini(dir.File("game.ini"));
  ASSERT_TRUE(ini.WriteInteger("Sound", "DelayTime", 400));
  EXPECT_EQ(Read(target), "[Sound]\nDelayTime=400\n");
  struct stat st {};
  ASSERT_EQ(::lstat(dir.File("game.ini").c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);

  TIniFile nowhere(dir.File("no/such/folder/game.ini"));
  EXPECT_FALSE(nowhere.WriteInteger("Sound", "DelayTime", 400));
  EXPECT_FALSE(nowhere.Error().empty());

  EXPECT_NE(ReplaceFileAtomically(dir.File(""), "x"), 0);  // a folder is never replaced
  const auto entries = ListDirectory(dir.File(""));
  ASSERT_TRUE(entries);
  EXPECT_EQ(entries->size(), 2u);  // no temporary left behind
}

}  // namespace
}  // namespace kova::plat
