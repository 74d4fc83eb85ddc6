// Writing archives: the version-102 layout, rewriting, loose-file entries, the compression rule,
// progress, safe saving over the source file, and the CRC and picture-header helpers.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <ctime>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/archive.h"
#include "core/big_stream.h"
#include "core/errors.h"
#include "core/wexa_probe.h"
#include "support/archive_builder.h"
#include "support/file_faults.h"
#include "support/le_writer.h"
#include "archive_test_util.h"

namespace kova::test {
namespace {

struct Item {
  std::string name;
  std::vector<uint8_t> contents;
  int32_t age = 0;
  bool crc_of_source = false;
};

std::vector<Item> Items() {
  std::vector<Item> items = {{"a.txt", Bytes("alpha"), 7, false},
                             {"\x82\xA0.txt", Bytes("kana"), 0, true},
                             {"empty", {}, 0, false},
                             {"big.mpg", TextBytes(kVrCompressLimit, 4), 0, true}};  // at the limit: stored
  for (int i = 0; i < 9; ++i)
    items.push_back({"f" + std::to_string(i), i % 2 ? NoiseBytes(200, i) : TextBytes(900, i), i, i % 3 == 0});
  return items;
}

void Fill(TVrFileCollection& arc, const std::vector<Item>& items) {
  for (const Item& it : items) {
    TVrFile* f = arc.AddData(it.name);
    f->Data->WriteBytes(it.contents);
    f->FileAge = it.age;
    f->CrcOfSource = it.crc_of_source;
  }
}

std::vector<uint8_t> Save(TVrFileCollection& arc) {
  TMemoryStream out;
  EXPECT_TRUE(arc.SaveToStream(out));
  return StreamBytes(out);
}

// The writer's bytes equal those of the independent fixture writer for the same entries.
TEST(ArchiveWrite, WritesTheVersion102LayoutByteForByte) {
  std::vector<Item> items = Items();
  TVrFileCollection arc;
  Fill(arc, items);
  ArchiveBuilder expected(102);
  for (const Item& it : items) {
    ArchiveEntry e;
    e.name = it.name;
    e.contents = it.contents;
    e.stored = static_cast<int64_t>(it.contents.size()) >= kVrCompressLimit;
    e.file_age = it.age;
    e.crc_of_source = it.crc_of_source;
    expected.Add(std::move(e));
  }
  std::vector<uint8_t> written = Save(arc);
  EXPECT_TRUE(written == expected.Build());

  // And it reads back with the same contents.
  TVrFileCollection back;
  back.OpenStream(std::make_unique<TMemoryStream>(written));
  ASSERT_EQ(back.EntryCount(), static_cast<int32_t>(items.size()));
  for (const Item& it : items) {
    TMemoryStream m;
    back.ReadFile(m, it.name);
    EXPECT_EQ(StreamBytes(m), it.contents) << it.name;
  }
}

TEST(ArchiveWrite, WritingTwiceGivesTheSameBytesAndLeavesDataAlone) {
  std::vector<Item> items = Items();
  TVrFileCollection arc;
  Fill(arc, items);
  std::vector<uint8_t> first = Save(arc);
  EXPECT_EQ(Save(arc), first);
  for (size_t i = 0; i < items.size(); ++i) EXPECT_EQ(StreamBytes(*arc.Files(int32_t(i))->Data), items[i].contents);
}

TEST(ArchiveWrite, RewritingAnOpenArchiveKeepsContentsAndTheSource) {
  // A version-100 archive: every entry compressed, no flags or CRCs.
  ArchiveBuilder b(100);
  b.Add("small", "small text").Add("zero", "");
  ArchiveEntry big;
  big.name = "large.bin";
  big.contents = TextBytes(kVrCompressLimit + 10, 1);
  b.Add(big);
  for (int i = 0; i < 9; ++i) b.Add("n" + std::to_string(i), std::string(100 + i, char('a' + i)));
  TempFolder dir;
  WriteHostFile(dir / "old.dat", b.Build());

  TVrFileCollection arc;
  arc.Open(dir / "old.dat");
  ASSERT_EQ(arc.Count(), 13);  // with the end marker, which is not written
  std::vector<uint8_t> first = Save(arc);
  EXPECT_EQ(Save(arc), first);  // the entries still describe the source after a write

  TVrFileCollection back;
  back.OpenStream(std::make_unique<TMemoryStream>(first));
  ASSERT_EQ(back.EntryCount(), 12);
  EXPECT_EQ(back.Count(), 13);
  for (int32_t i = 0; i < back.EntryCount(); ++i) {
    TVrFile* f = back.Files(i);
    SCOPED_TRACE(f->Name());
    TMemoryStream was, now;
    arc.ReadFile(was, f->Name());
    back.ReadFile(now, f->Name());
    EXPECT_EQ(StreamBytes(now), StreamBytes(was));
    // Copied as they were stored: compressed, the large one too; the CRC the old version lacked
    // is taken over the stored bytes.
    EXPECT_FALSE(f->Stored);
    EXPECT_FALSE(f->CrcOfSource);
    std::vector<uint8_t> raw(static_cast<size_t>(f->Size));
    back.Stream()->SetPosition(f->Offset);
    back.Stream()->ReadBuffer(raw.data(), f->Size);
    EXPECT_EQ(f->Crc, static_cast<uint32_t>(crc32(0, raw.data(), static_cast<uInt>(raw.size()))));
  }
}

// Entries of the archive being rewritten go across as their stored bytes with their flags, time
// and CRC, never inflated: an entry whose zlib data are damaged is carried over as it stands (and
// still fails to read), and the others are written around it.
TEST(ArchiveWrite, RewritingCopiesStoredBytesWithoutInflating) {
  ArchiveBuilder b(102);
  ArchiveEntry packed;
  packed.name = "packed";
  packed.contents = TextBytes(3000, 2);
  packed.file_age = 0x12345678;
  packed.crc_of_source = true;
  b.Add(packed);
  ArchiveEntry damaged;
  damaged.name = "damaged";
  damaged.contents = Bytes("x");
  damaged.crc = 0xDEADBEEF;
  b.Add(damaged);
  b.OverrideData(1, {0x78, 0x01, 0xFF, 0xFF, 0xFF, 0x00, 0x12});  // marked compressed
  ArchiveEntry small_stored;
  small_stored.name = "small.dat";
  small_stored.contents = Bytes("kept stored although small");
  small_stored.stored = true;
  b.Add(small_stored);
  TempFolder dir;
  WriteHostFile(dir / "old.dat", b.Build());

  TVrFileCollection arc;
  arc.Open(dir / "old.dat");
  arc.AddData("new")->Data->WriteBytes(Bytes("added"));
  std::vector<uint8_t> written = Save(arc);
  TVrFileCollection back;
  back.OpenStream(std::make_unique<TMemoryStream>(written));
  ASSERT_EQ(back.EntryCount(), 4);
  for (int32_t i = 0; i < 3; ++i) {
    const TVrFile& was = *arc.Files(i);
    const TVrFile& now = *back.Files(i);
    SCOPED_TRACE(was.Name());
    EXPECT_EQ(now.Name(), was.Name());
    EXPECT_EQ(now.Size, was.Size);
    EXPECT_EQ(now.Stored, was.Stored);
    EXPECT_EQ(now.FileAge, was.FileAge);
    EXPECT_EQ(now.Crc, was.Crc);
    EXPECT_EQ(now.CrcOfSource, was.CrcOfSource);
    std::vector<uint8_t> old_raw(static_cast<size_t>(was.Size)), new_raw(static_cast<size_t>(now.Size));
    arc.Stream()->SetPosition(was.Offset);
    arc.Stream()->ReadBuffer(old_raw.data(), was.Size);
    back.Stream()->SetPosition(now.Offset);
    back.Stream()->ReadBuffer(new_raw.data(), now.Size);
    EXPECT_EQ(new_raw, old_raw);
  }
  TMemoryStream m;
  back.ReadFile(m, "packed");
  EXPECT_EQ(StreamBytes(m), packed.contents);
  EXPECT_THROW(back.ReadFile(m, "damaged"), EZDecompressionError);
  back.ReadFile(m, "new");
  EXPECT_EQ(StreamBytes(m), Bytes("added"));
}

TEST(ArchiveWrite, EntriesFromLooseFiles) {
  TempFolder dir;
  WriteHostFile(dir / "page.txt", TextBytes(4000, 1));      // compresses well
  WriteHostFile(dir / "noise.bin", NoiseBytes(4000, 2));    // does not: kept as it is
  WriteHostFile(dir / "Song.OGG", TextBytes(4000, 3));      // never compressed
  TVrFileCollection arc;
  arc.Open(dir.Path().substr(0, dir.Path().size() - 1));  // a folder of loose files
  arc.Add("page.txt");
  arc.Add("NOISE.BIN");
  arc.Add("song.ogg")->CrcOfSource = true;
  std::vector<uint8_t> bytes = Save(arc);

  TVrFileCollection back;
  back.OpenStream(std::make_unique<TMemoryStream>(bytes));
  struct Expect {
    const char* name;
    const char* host;
    bool stored;
  };
  for (Expect e : {Expect{"page.txt", "page.txt", false}, Expect{"NOISE.BIN", "noise.bin", true},
                   Expect{"song.ogg", "Song.OGG", true}}) {
    SCOPED_TRACE(e.name);
    TVrFile* f = back.FindItem(e.name);
    ASSERT_TRUE(f);
    std::vector<uint8_t> contents = ReadHostFile(dir / e.host);
    EXPECT_EQ(f->Stored, e.stored);
    EXPECT_EQ(f->FileAge, HostFileAge(dir / e.host));
    EXPECT_NE(f->FileAge, 0);
    TMemoryStream m;
    back.ReadFile(m, e.name);
    EXPECT_EQ(StreamBytes(m), contents);
    if (e.stored) {
      EXPECT_EQ(f->Crc, Crc32(contents.data(), contents.size()));
    }
  }
}

TEST(ArchiveWrite, ShouldCompressByExtensionAndSize) {
  auto wexa = [](const char* tag, int32_t header_size, int compression) {
    LeWriter w;
    w.Raw(tag).I32(header_size);
    std::vector<uint8_t> header(40, 0);
    header[22] = static_cast<uint8_t>(compression);
    w.Raw(std::span<const uint8_t>(header.data(), static_cast<size_t>(std::max(0, std::min(header_size, 40)))));
    return w.Bytes();
  };
  std::vector<uint8_t> small(100, 'x');
  std::vector<uint8_t> large(kVrCompressLimit, 'x');
  std::vector<uint8_t> raw_picture = wexa("Wexa104", 40, 1);
  raw_picture.resize(kVrCompressLimit + 1);  // any size
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    bool compress;
  };
  std::vector<Case> cases = {
      {"page.txt", small, true},
      {"page.txt", large, false},
      {"noextension", small, true},
      {"folder.d\\noextension", small, true},
      {"a.mp", small, false},  // ".MP" occurs inside ".MPG"
      {"a.Ogg", small, false},
      {"a.mpeg", small, false},
      {"a.DAT", small, false},
      {"a.wa", small, false},
      {"a.bmp", small, true},
      {"\x95\x5C.ogg", small, false},   // a trail byte 0x5C is not a folder separator
      {"\x95\x5C.txt", small, true},
      {"pic.wxa", raw_picture, true},
      {"pic.WXA", wexa("Wexa105", 40, 0), false},
      {"pic.wxa", wexa("Wexa103", 10, 0), true},  // too short to hold the byte: reads as 1
      {"pic.wxa", wexa("Wexa102", 40, 1), false},
      {"pic.wxa", small, false},
  };
  TVrFileCollection arc;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TVrFile* f = arc.Add(c.name);
    TMemoryStream file(c.bytes);
    EXPECT_EQ(f->ShouldCompress(file), c.compress);
    EXPECT_EQ(file.GetPosition(), 0);
  }
}

TEST(ArchiveWrite, WexaProbe) {
  auto probe = [](std::vector<uint8_t> bytes) {
    TMemoryStream s(bytes);
    return WexaIsUncompressed(s);
  };
  auto header = [](const char* tag, int32_t size, std::vector<uint8_t> body) {
    return LeWriter().Raw(tag).I32(size).Raw(std::span<const uint8_t>(body)).Bytes();
  };
  std::vector<uint8_t> body(40, 0);
  body[22] = 1;
  EXPECT_TRUE(probe(header("Wexa103", 40, body)));
  EXPECT_TRUE(probe(header("Wexa106", -4, {})));
  EXPECT_TRUE(probe(header("Wexa103", 40, {1, 2, 3})));  // the file ends before the byte
  body[22] = 2;
  EXPECT_FALSE(probe(header("Wexa103", 40, body)));
  EXPECT_FALSE(probe(header("Wexa1x3", 40, body)));
  EXPECT_FALSE(probe(header("Wexa099", 40, body)));
  EXPECT_FALSE(probe(Bytes("Wex")));
  EXPECT_FALSE(probe(Bytes("Wexa103")));  // no header size
}

TEST(ArchiveWrite, ProgressReportsEachEntryAndCanCancel) {
  TVrFileCollection arc;
  Fill(arc, {{"a", Bytes("aaa")}, {"b", Bytes("bbbb")}, {"c", Bytes("c")}});
  std::vector<std::string> seen;
  arc.OnProgress = [&](TVrFileCollection& sender, TVrFile& entry, int64_t bytes, int32_t index,
                       int32_t count, bool& cancel) {
    EXPECT_EQ(&sender, &arc);
    seen.push_back(entry.Name() + ":" + std::to_string(bytes > 0) + ":" + std::to_string(index) + "/" +
                   std::to_string(count));
    (void)cancel;
  };
  Save(arc);
  EXPECT_EQ(seen, (std::vector<std::string>{"a:0:0/3", "a:1:0/3", "b:0:1/3", "b:1:1/3", "c:0:2/3", "c:1:2/3"}));

  // Cancelled before the first entry: the header and the zeroed placeholders are there.
  arc.OnProgress = [](TVrFileCollection&, TVrFile&, int64_t, int32_t, int32_t, bool& cancel) { cancel = true; };
  TMemoryStream out;
  EXPECT_FALSE(arc.SaveToStream(out));
  std::vector<uint8_t> partial = StreamBytes(out);
  ASSERT_EQ(partial.size(), 10 + 3 * 5 + 4 * 8 + 3 * 10);
  EXPECT_EQ(std::vector<uint8_t>(partial.begin() + 25, partial.end()), std::vector<uint8_t>(62, 0));
}

TEST(ArchiveWrite, RefusesToWriteOverItsOwnStream) {
  TVrFileCollection arc;
  Fill(arc, {{"a", Bytes("x")}});
  arc.OpenStream(std::make_unique<TMemoryStream>(Save(arc)));
  EXPECT_THROW(arc.SaveToStream(*arc.Stream()), EWriteError);
}

// --- Saving over the source file ------------------------------------------------------------

class ArchiveSave : public ::testing::Test {
 protected:
  void SetUp() override {
    ArchiveBuilder b(102);
    for (int i = 0; i < 12; ++i) b.Add("slot" + std::to_string(i), std::string(500 + i, char('A' + i)), i % 2);
    original_ = b.Build();
    path_ = dir_ / "save.dat";
    WriteHostFile(path_, original_);
  }
  void ExpectOriginalIntact() {
    EXPECT_TRUE(ReadHostFile(path_) == original_);
    TVrFileCollection again;
    again.Open(path_);
    ASSERT_EQ(again.EntryCount(), 12);
    for (int i = 0; i < 12; ++i) {
      TMemoryStream m;
      again.ReadFile(m, "slot" + std::to_string(i));
      EXPECT_EQ(StreamBytes(m), Bytes(std::string(500 + i, char('A' + i))));
    }
  }
  // Only the save file itself (and its pieces, when a test made some) are in the folder.
  std::vector<std::string> Files() { return dir_.List(); }

  TempFolder dir_;
  std::string path_;
  std::vector<uint8_t> original_;
};

TEST_F(ArchiveSave, ReplacesTheFileAndReopensFromIt) {
  // The old save continues in a piece: the new one is a single file and the piece goes.
  std::vector<uint8_t> head(original_.begin(), original_.begin() + 300);
  std::vector<uint8_t> rest(original_.begin() + 300, original_.end());
  WriteHostFile(path_, head);
  WriteHostFile(dir_ / "save.001", rest);

  TVrFileCollection arc;
  arc.Open(path_);
  ASSERT_EQ(arc.EntryCount(), 12);
  arc.Delete("SLOT3");
  arc.AddData("slot3")->Data->WriteBytes(Bytes("replaced"));
  arc.AddData("new")->Data->WriteBytes(Bytes("added"));
  ASSERT_TRUE(arc.SaveToFile(path_));

  EXPECT_EQ(Files(), std::vector<std::string>{"save.dat"});
  EXPECT_EQ(arc.EntryCount(), 13);
  EXPECT_EQ(arc.Files(0)->Data, nullptr);  // reopened: entries come from the new file
  for (int i = 0; i < 12; ++i) {
    TMemoryStream m;
    arc.ReadFile(m, "slot" + std::to_string(i));
    EXPECT_EQ(StreamBytes(m), i == 3 ? Bytes("replaced") : Bytes(std::string(500 + i, char('A' + i))));
  }
  TMemoryStream m;
  arc.ReadFile(m, "new");
  EXPECT_EQ(StreamBytes(m), Bytes("added"));
}

TEST_F(ArchiveSave, AnErrorMidwayLeavesTheOldFileWhole) {
  TVrFileCollection arc;
  arc.Open(path_);
  arc.Delete("slot0");
  arc.OnProgress = [](TVrFileCollection&, TVrFile&, int64_t bytes, int32_t index, int32_t, bool&) {
    if (index == 4 && bytes > 0) throw std::runtime_error("disk full");
  };
  EXPECT_THROW(arc.SaveToFile(path_), std::runtime_error);
  ExpectOriginalIntact();
  EXPECT_EQ(Files(), std::vector<std::string>{"save.dat"});
  // The archive itself still reads its entries from the old file.
  TMemoryStream m;
  arc.ReadFile(m, "slot11");
  EXPECT_EQ(StreamBytes(m), Bytes(std::string(511, 'L')));
}

TEST_F(ArchiveSave, ACancelMidwayLeavesTheOldFileWhole) {
  TVrFileCollection arc;
  arc.Open(path_);
  arc.AddData("extra")->Data->WriteBytes(Bytes("x"));
  arc.OnProgress = [](TVrFileCollection&, TVrFile&, int64_t, int32_t index, int32_t, bool& cancel) {
    cancel = index == 6;
  };
  EXPECT_FALSE(arc.SaveToFile(path_));
  ExpectOriginalIntact();
  EXPECT_EQ(Files(), std::vector<std::string>{"save.dat"});
}

TEST_F(ArchiveSave, AProcessKilledMidwayLeavesTheOldFileWhole) {
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    TVrFileCollection arc;
    arc.Open(path_);
    arc.AddData("extra")->Data->WriteBytes(TextBytes(100000, 1));
    arc.OnProgress = [](TVrFileCollection&, TVrFile&, int64_t bytes, int32_t index, int32_t, bool&) {
      if (index == 7 && bytes > 0) ::_exit(42);  // dies with the new file half written
    };
    arc.SaveToFile(path_);
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  ASSERT_EQ(WEXITSTATUS(status), 42);
  ExpectOriginalIntact();
}

TEST_F(ArchiveSave, SavingElsewhereLeavesTheArchiveOnItsSource) {
  TVrFileCollection arc;
  arc.Open(path_);
  ASSERT_TRUE(arc.SaveToFile(dir_ / "copy.dat"));
  EXPECT_EQ(arc.FileName, path_);
  ExpectOriginalIntact();
  TVrFileCollection copy;
  copy.Open(dir_ / "copy.dat");
  EXPECT_EQ(copy.EntryCount(), 12);
}

// Files merely named like pieces of the target are someone else's; a link at the target is
// replaced, never written through.
TEST_F(ArchiveSave, KeepsOthersFilesAndNeverWritesThroughALink) {
  WriteHostFile(dir_ / "copy.001", Bytes("not a piece"));
  WriteHostFile(dir_ / "copy.002", Bytes("nor this"));
  WriteHostFile(dir_ / "elsewhere", Bytes("linked"));
  ASSERT_EQ(::symlink((dir_ / "elsewhere").c_str(), (dir_ / "copy.dat").c_str()), 0);
  TVrFileCollection arc;
  arc.Open(path_);
  ASSERT_TRUE(arc.SaveToFile(dir_ / "copy.dat"));
  EXPECT_EQ(ReadHostFile(dir_ / "copy.001"), Bytes("not a piece"));
  EXPECT_EQ(ReadHostFile(dir_ / "copy.002"), Bytes("nor this"));
  EXPECT_EQ(ReadHostFile(dir_ / "elsewhere"), Bytes("linked"));
  struct stat st {};
  ASSERT_EQ(::lstat((dir_ / "copy.dat").c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode));
}

// An entry added by name whose loose file is gone has no contents: saving raises instead of
// writing it empty.
TEST_F(ArchiveSave, AnEntryWithNothingToWriteRaises) {
  WriteHostFile(dir_ / "there.txt", Bytes("x"));
  TVrFileCollection arc;
  arc.Open(dir_.Path() + "nothing-here");  // a folder of loose files
  arc.Folder = dir_.Path();
  arc.Add("there.txt");
  arc.Add("gone.txt");
  EXPECT_THROW(arc.SaveToFile(dir_ / "out.dat"), EFOpenError);
  EXPECT_FALSE(std::filesystem::exists(dir_ / "out.dat"));
  ExpectOriginalIntact();
}

// An entry whose old bytes can no longer be read (the file was cut after it was opened) is left
// out: the old file is kept as ".bad" and the rest is saved. A save that fails after that gives
// the old file its name back; a file the archive was not opened from is never set aside.
TEST_F(ArchiveSave, AnUnreadableEntryIsLeftOutAndTheOldFileKeptAside) {
  TVrFileCollection arc, other, again;
  arc.Open(path_);
  other.Open(path_);
  again.Open(path_);
  const int64_t cut = arc.FindItem("slot11")->Offset + 2;
  ASSERT_EQ(::truncate(path_.c_str(), cut), 0);
  const std::vector<uint8_t> cut_file = ReadHostFile(path_);
  arc.AddData("new")->Data->WriteBytes(Bytes("added"));

  // Written elsewhere: left out, nothing set aside.
  {
    EXPECT_EQ(other.SaveKeepingUnreadable(dir_ / "copy.dat"), std::vector<std::string>{"slot11"});
    EXPECT_EQ(ReadHostFile(path_), cut_file);
    EXPECT_FALSE(std::filesystem::exists(dir_ / "copy.dat.bad"));
  }
  // The rename of the new file fails: the old one is back at its name.
  {
    FileFaults faults;
    faults.Arm(FileFaults::Step::Rename, 1);
    EXPECT_THROW(again.SaveKeepingUnreadable(path_, &faults), EFCreateError);
    EXPECT_EQ(ReadHostFile(path_), cut_file);
    EXPECT_FALSE(std::filesystem::exists(path_ + ".bad"));
  }

  EXPECT_EQ(arc.SaveKeepingUnreadable(path_), std::vector<std::string>{"slot11"});
  EXPECT_EQ(ReadHostFile(path_ + ".bad"), cut_file);
  TVrFileCollection back;
  back.Open(path_);
  ASSERT_EQ(back.EntryCount(), 12);
  EXPECT_EQ(back.FindItem("slot11"), nullptr);
  for (int i = 0; i < 11; ++i) {
    TMemoryStream m;
    back.ReadFile(m, "slot" + std::to_string(i));
    EXPECT_EQ(StreamBytes(m), Bytes(std::string(500 + i, char('A' + i))));
  }
  TMemoryStream m;
  back.ReadFile(m, "new");
  EXPECT_EQ(StreamBytes(m), Bytes("added"));
}

// Saving into a big file stream over an older, longer archive cuts the stream to the new size.
TEST_F(ArchiveSave, SavingOverALongerBigFileCutsIt) {
  TVrFileCollection arc;
  arc.Open(path_);
  arc.Delete("slot5");
  TMemoryStream expected;
  ASSERT_TRUE(arc.SaveToStream(expected));
  const std::string target = dir_ / "big.dat";
  WriteHostFile(target, std::vector<uint8_t>(original_.size() * 3, 0xEE));
  {
    TXrBigFileStream big(target, plat::TFileMode::ReadWrite);
    ASSERT_TRUE(arc.SaveToStream(big));
    big.Close();
  }
  EXPECT_EQ(ReadHostFile(target), StreamBytes(expected));
}

// --- Helpers ---------------------------------------------------------------------------------

TEST(ArchiveHelpers, Crc32OfStreamsIsTheStandardOne) {
  TMemoryStream memory(Bytes("123456789"));
  EXPECT_EQ(StreamCrc32(memory), 0xCBF43926u);
  TempFolder dir;
  std::vector<uint8_t> big = NoiseBytes(3 * 1024 * 1024 + 5, 8);
  WriteHostFile(dir / "f", big);
  TFileStream file(dir / "f", plat::TFileMode::Read);
  file.SetPosition(100);
  EXPECT_EQ(StreamCrc32(file), static_cast<uint32_t>(crc32(0, big.data(), static_cast<uInt>(big.size()))));
  EXPECT_EQ(Crc32(big.data() + 10, 20, Crc32(big.data(), 10)), Crc32(big.data(), 30));
}

TEST(ArchiveHelpers, HostFileAgeIsTheLocalDosDateTime) {
  TempFolder dir;
  WriteHostFile(dir / "f", Bytes("x"));
  struct tm t {};
  t.tm_year = 2001 - 1900;
  t.tm_mon = 1;
  t.tm_mday = 3;
  t.tm_hour = 4;
  t.tm_min = 5;
  t.tm_sec = 7;
  t.tm_isdst = -1;
  struct timeval times[2] = {{std::mktime(&t), 0}, {std::mktime(&t), 0}};
  ASSERT_EQ(::utimes((dir / "f").c_str(), times), 0);
  uint32_t expected = ((21u << 9 | 2u << 5 | 3u) << 16) | (4u << 11 | 5u << 5 | 3u);
  EXPECT_EQ(static_cast<uint32_t>(HostFileAge(dir / "f")), expected);
  EXPECT_EQ(HostFileAge(dir / "missing"), 0);
}

}  // namespace
}  // namespace kova::test
