// Reading archives: every version and placement, lookups, loose files, range windows and every
// corrupt form.
#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/archive.h"
#include "core/archive_internal.h"
#include "core/errors.h"
#include "core/resources.h"
#include "support/archive_builder.h"
#include "support/le_writer.h"
#include "archive_test_util.h"

namespace kova::test {
namespace {

// Twelve entries (so that an 8-byte offset meets a keystream value with bit 31 set), Shift-JIS
// and nested names, an empty entry, and optionally one stored entry of more than 5 MiB.
std::vector<ArchiveEntry> Entries(bool with_big) {
  std::vector<ArchiveEntry> out;
  auto add = [&](std::string name, std::vector<uint8_t> contents, bool stored, int32_t age,
                 bool crc_of_source) {
    ArchiveEntry e;
    e.name = std::move(name);
    e.contents = std::move(contents);
    e.stored = stored;
    e.file_age = age;
    e.crc_of_source = crc_of_source;
    out.push_back(std::move(e));
  };
  add("a.txt", Bytes("hello archive"), false, 0, false);
  add("\x82\xA0\x82\xA2.txt", Bytes("kana name"), true, 1, true);  // "あい.txt"
  add("dir\\sub\\\x95\x5C.bin", Bytes("a trail byte 0x5C in the name"), false, 2, false);
  add("empty.dat", {}, true, 3, false);
  for (int i = 0; i < 7; ++i)
    add("e" + std::to_string(i) + ".txt", i % 2 ? NoiseBytes(300 + 50 * i, i) : TextBytes(2000 + 100 * i, i),
        i % 3 == 0, 0x52345678 + i, i % 2 == 1);
  add("movie.mpg", with_big ? TextBytes(kVrCompressLimit + 3, 9) : TextBytes(40, 9), true, -5, false);
  return out;
}

ArchiveBuilder MakeArchive(int version, const std::vector<ArchiveEntry>& entries) {
  ArchiveBuilder b(version);
  for (const ArchiveEntry& e : entries) b.Add(e);
  return b;
}

// The entries of the loaded archive match the builder's, field by field, and read back whole.
void ExpectMatches(TVrFileCollection& arc, const ArchiveBuilder& b, int version,
                   const std::vector<ArchiveEntry>& entries) {
  ASSERT_EQ(arc.EntryCount(), static_cast<int32_t>(entries.size()));
  ASSERT_EQ(arc.Count(), arc.EntryCount() + 1);
  EXPECT_EQ(arc.Files(arc.Count() - 1)->Name(), kVrEofName);
  for (size_t i = 0; i < entries.size(); ++i) {
    const ArchiveEntry& e = entries[i];
    SCOPED_TRACE(e.name);
    TVrFile* f = arc.Files(static_cast<int32_t>(i));
    EXPECT_EQ(f->Name(), e.name);
    EXPECT_EQ(arc.IndexOf(e.name), static_cast<int32_t>(i));
    EXPECT_EQ(f->Size, static_cast<int64_t>(b.StoredBytes(i).size()));
    EXPECT_EQ(f->Stored, version >= 101 && e.stored);
    EXPECT_EQ(f->Crc, version >= 101 ? b.CrcOf(i) : 0u);
    EXPECT_EQ(f->FileAge, version >= 101 ? e.file_age : 0);
    EXPECT_EQ(f->CrcOfSource, version >= 102 && e.crc_of_source);

    TMemoryStream m;
    arc.ReadFile(m, e.name);
    EXPECT_EQ(m.GetPosition(), 0);
    EXPECT_EQ(StreamBytes(m), e.contents);
    auto range = arc.OpenRange(e.name);
    ASSERT_TRUE(range);
    EXPECT_EQ(ReadAll(*range), e.contents);
  }
}

class ArchiveVersions : public ::testing::TestWithParam<int> {};

TEST_P(ArchiveVersions, PlainFileWithABigEntryLoadsExactly) {
  int version = GetParam();
  TempFolder dir;
  auto entries = Entries(true);
  ArchiveBuilder b = MakeArchive(version, entries);
  WriteHostFile(dir / "game.dat", b.Build());
  TVrFileCollection arc;
  arc.Open(dir / "game.dat");
  EXPECT_EQ(arc.Folder, dir.Path());
  EXPECT_EQ(arc.FileName, dir / "game.dat");
  ExpectMatches(arc, b, version, entries);
}

// Every placement, each holding the same directory.
TEST_P(ArchiveVersions, EveryPlacementLoads) {
  int version = GetParam();
  auto entries = Entries(false);
  ArchiveBuilder b = MakeArchive(version, entries);
  TempFolder dir;
  std::vector<uint8_t> program = NoiseBytes(777, 1);

  struct Case {
    const char* what;
    std::function<void(TVrFileCollection&)> open;
  };
  std::vector<Case> cases = {
      {"directory file beside the data",
       [&](TVrFileCollection& a) {
         WriteHostFile(dir / "side.dat", b.BuildExtData());
         WriteHostFile(dir / "side.ext", b.BuildExtDirectory());
         a.Open(dir / "side.dat");
       }},
      {"appended to a program (.exe)",
       [&](TVrFileCollection& a) {
         WriteHostFile(dir / "Player.EXE", b.BuildAppended(program));
         a.Open(dir / "Player.EXE");
       }},
      {"appended to a program (.scr)",
       [&](TVrFileCollection& a) {
         WriteHostFile(dir / "logo.scr", b.BuildAppended(program));
         a.Open(dir / "logo.scr");
       }},
      {"appended, asked for explicitly",
       [&](TVrFileCollection& a) {
         WriteHostFile(dir / "kovaplayer", b.BuildAppended(program));
         a.OpenEx(dir / "kovaplayer", true, TVrPlacement::Appended);
       }},
      {"continued in pieces",
       [&](TVrFileCollection& a) {
         std::vector<uint8_t> all = b.Build();
         for (size_t at = 0, n = 0; at < all.size(); at += 97, ++n) {
           std::string name = n == 0 ? dir / "big.dat" : dir / ("big." + std::string(n < 10 ? "00" : "0") + std::to_string(n));
           WriteHostFile(name, std::vector<uint8_t>(all.begin() + at, all.begin() + std::min(all.size(), at + 97)));
         }
         a.Open(dir / "big.dat");
       }},
      {"a resource of a module",
       [&](TVrFileCollection& a) {
         auto module = std::make_shared<TResourceTable>();
         module->Add("BINTYPE", "DUMMY", b.Build());
         a.OpenResource(module, "DUMMY", "BINTYPE");
       }},
      {"a resource of the program",
       [&](TVrFileCollection& a) {
         ProgramResources().Add("DATA", "ARCTEST", b.Build());
         a.OpenResource("", "ARCTEST", "DATA");
       }},
      {"memory",
       [&](TVrFileCollection& a) {
         std::vector<uint8_t> all = b.Build();
         a.OpenStream(std::make_unique<TMemoryStream>(all));
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TVrFileCollection arc;
    c.open(arc);
    ExpectMatches(arc, b, version, entries);
  }
  ProgramResources().Remove("DATA", "ARCTEST");
}

INSTANTIATE_TEST_SUITE_P(Versions, ArchiveVersions, ::testing::Values(0, 100, 101, 102));

TEST(ArchiveRead, GoldenArchiveLoads) {
  TVrFileCollection arc;
  arc.OpenStream(std::make_unique<TMemoryStream>(HexBytes(
      "76 66 66 00 00 00 01 00 00 00 01 00 00 00 1c 54 e8 9b 55 00 00 00 00"
      " c2 72 a7 01 00 00 00 00 01 00 00 00 00 67 ba 8e eb 00 78 79 7a")));
  ASSERT_EQ(arc.EntryCount(), 1);
  TVrFile* f = arc.Files(0);
  EXPECT_EQ(f->Name(), "a");
  EXPECT_EQ(f->Offset, 41);
  EXPECT_EQ(f->Size, 3);
  EXPECT_TRUE(f->Stored);
  EXPECT_EQ(f->Crc, 0xEB8EBA67u);
  EXPECT_FALSE(f->CrcOfSource);
  EXPECT_EQ(arc.Files(1)->Offset, 44);
  TMemoryStream m;
  arc.ReadFile(m, "A");
  EXPECT_EQ(StreamBytes(m), Bytes("xyz"));
}

TEST(ArchiveRead, EndMarkerIsInvisibleToLookups) {
  TVrFileCollection arc;
  arc.OpenStream(std::make_unique<TMemoryStream>(MakeArchive(102, Entries(false)).Build()));
  EXPECT_EQ(arc.Files(arc.Count() - 1)->Name(), "\\EOF\\");
  EXPECT_EQ(arc.IndexOf("\\EOF\\"), -1);
  EXPECT_EQ(arc.IndexOf("\\eof\\"), -1);
  EXPECT_EQ(arc.FindItem("\\EOF\\"), nullptr);
  EXPECT_EQ(arc.OpenRange("\\EOF\\"), nullptr);
  TMemoryStream m;
  EXPECT_THROW(arc.ReadFile(m, "\\EOF\\"), EFOpenError);
}

TEST(ArchiveRead, EmptyEntriesReadAsEmptyEvenWhenMarkedCompressed) {
  // A compressed entry of no bytes at all (not even a zlib header).
  ArchiveBuilder b(102);
  b.Add("a", "x").Add("zero", "").Add("b", "y");
  b.OverrideData(1, {});
  TVrFileCollection arc;
  arc.OpenStream(std::make_unique<TMemoryStream>(b.Build()));
  ASSERT_EQ(arc.Files(1)->Size, 0);
  ASSERT_FALSE(arc.Files(1)->Stored);
  TMemoryStream m;
  m.WriteBytes(Bytes("old"));
  arc.ReadFile(m, "zero");
  EXPECT_EQ(m.Size(), 0);
  auto range = arc.OpenRange("zero");
  ASSERT_TRUE(range);
  EXPECT_EQ(range->GetSize(), 0);
}

TEST(ArchiveRead, MissingNamesRaiseTheFileNotFoundMessage) {
  TVrFileCollection arc;
  arc.OpenStream(std::make_unique<TMemoryStream>(MakeArchive(102, Entries(false)).Build()));
  TMemoryStream m;
  try {
    arc.ReadFile(m, "\x82\xA4.txt");
    FAIL() << "no exception";
  } catch (const EFOpenError& e) {
    EXPECT_EQ(e.Message(), "\x82\xA4.txt" + MsgText(TMsg::FileNotFound).substr(2));
  }
  EXPECT_EQ(arc.OpenRange("nothing"), nullptr);
}

TEST(ArchiveRead, LooseFilesInTheFolderComeFirstExceptTheArchiveItself) {
  TempFolder dir;
  ArchiveBuilder b(102);
  b.Add("a.txt", "from the archive").Add("game.dat", "entry named like the archive").Add("b.txt", "only in the archive");
  WriteHostFile(dir / "game.dat", b.Build());
  WriteHostFile(dir / "A.TXT", Bytes("loose"));

  TVrFileCollection arc;
  arc.Open(dir / "game.dat");
  TMemoryStream m;
  arc.ReadFile(m, "a.txt");
  EXPECT_EQ(StreamBytes(m), Bytes("loose"));
  arc.ReadFile(m, "GAME.DAT");
  EXPECT_EQ(StreamBytes(m), Bytes("entry named like the archive"));
  arc.ReadFile(m, "b.txt");
  EXPECT_EQ(StreamBytes(m), Bytes("only in the archive"));
  // Into a stream that is not a memory stream.
  {
    TFileStream out(dir / "copy.out", plat::TFileMode::Create);
    arc.ReadFile(out, "a.txt");
    EXPECT_EQ(ReadAll(out), Bytes("loose"));
  }
}

TEST(ArchiveRead, MissingFileIsAFolderOfLooseFilesOrAnEmptyArchive) {
  TempFolder dir;
  WriteHostFile(dir / "x.txt", Bytes("loose x"));

  TVrFileCollection folder;
  std::string folder_path = dir.Path().substr(0, dir.Path().size() - 1);
  folder.Open(folder_path);
  EXPECT_EQ(folder.Folder, dir.Path());
  EXPECT_FALSE(folder.HasStream());
  EXPECT_EQ(folder.Count(), 0);
  TMemoryStream m;
  folder.ReadFile(m, "X.txt");
  EXPECT_EQ(StreamBytes(m), Bytes("loose x"));

  TVrFileCollection missing;
  missing.OpenEx(dir / "nope.dat", true);
  EXPECT_FALSE(missing.HasStream());
  EXPECT_EQ(missing.Folder, dir.Path());
  missing.ReadFile(m, "x.txt");
  EXPECT_EQ(StreamBytes(m), Bytes("loose x"));
}

TEST(ArchiveRead, RangesOfStoredEntriesReadInPlaceAndCompressedOnesInflated) {
  TempFolder dir;
  ArchiveBuilder b(102);
  b.Add("voice.ogg", "stored bytes of a voice", true).Add("page.txt", "compressed page text");
  WriteHostFile(dir / "game.dat", b.Build());
  TVrFileCollection arc;
  arc.Open(dir / "game.dat");

  auto stored = arc.OpenRange("VOICE.OGG");
  ASSERT_TRUE(stored);
  EXPECT_EQ(stored->Offset(), arc.Files(0)->Offset);  // a window onto the archive file itself
  stored->Seek(7, TSeekOrigin::Beginning);
  char buf[6] = {};
  EXPECT_EQ(stored->Read(buf, 5), 5);
  EXPECT_EQ(std::string(buf), "bytes");
  auto inflated = arc.OpenRange("page.txt");
  ASSERT_TRUE(inflated);
  EXPECT_EQ(ReadAll(*inflated), Bytes("compressed page text"));

  // The window outlives the archive.
  arc.Close();
  EXPECT_EQ(ReadAll(*stored), Bytes("stored bytes of a voice"));
}

TEST(ArchiveRead, ResourceRangesReadTheArchivesOwnModule) {
  ArchiveBuilder b(102);
  b.Add("logo.bmp", "module bytes", true);
  auto module = std::make_shared<TResourceTable>();
  module->Add("DATA", "MADEWITH", b.Build());
  // The program's own module holds a different resource of the same name.
  ArchiveBuilder other(102);
  other.Add("logo.bmp", "program bytes", true);
  ProgramResources().Add("DATA", "MADEWITH", other.Build());

  std::unique_ptr<TRangeStream> range;
  {
    TVrFileCollection arc;
    arc.OpenResource(module, "MADEWITH", "DATA");
    module.reset();
    range = arc.OpenRange("logo.bmp");
  }
  ProgramResources().Remove("DATA", "MADEWITH");
  ASSERT_TRUE(range);
  EXPECT_EQ(ReadAll(*range), Bytes("module bytes"));  // kept alive by the window
}

TEST(ArchiveRead, ResourceFailures) {
  TVrFileCollection arc;
  try {
    arc.OpenResource("", "NO-SUCH", "BINTYPE");
    FAIL() << "no exception";
  } catch (const EReadError& e) {
    EXPECT_EQ(e.Message(), MsgText(TMsg::ResourceNotFound));
  }
  // A module that cannot be loaded leaves the archive empty, without an error.
  EXPECT_NO_THROW(arc.OpenResource("other-module.dll", "DUMMY", "BINTYPE"));
  EXPECT_EQ(arc.Count(), 0);

  ArchiveBuilder b(102);
  b.Add("x", "from a loaded module", true);
  auto module = std::make_shared<TResourceTable>();
  module->Add("BINTYPE", "DUMMY", b.Build());
  auto previous = TVrFileCollection::SetModuleLoader([&](const std::string& name) {
    return name == "other-module.dll" ? module : nullptr;
  });
  arc.OpenResource("other-module.dll", "DUMMY", "BINTYPE");
  TVrFileCollection::SetModuleLoader(previous);
  TMemoryStream m;
  arc.ReadFile(m, "x");
  EXPECT_EQ(StreamBytes(m), Bytes("from a loaded module"));
}

// --- Corrupt archives -------------------------------------------------------------------------

void ExpectCorrupt(const std::vector<uint8_t>& bytes) {
  TVrFileCollection arc;
  try {
    arc.OpenStream(std::make_unique<TMemoryStream>(bytes));
    ADD_FAILURE() << "loaded";
  } catch (const EReadError& e) {
    EXPECT_NE(e.Message().find(MsgText(TMsg::ArchiveCorrupt).substr(2)), std::string::npos) << e.what();
  }
  EXPECT_EQ(arc.Count(), 0);
  EXPECT_FALSE(arc.HasStream());
}

TEST(ArchiveCorrupt, BadDirectoriesRaiseTheCorruptArchiveError) {
  auto three = [](int version) {
    ArchiveBuilder b(version);
    b.Add("a", "aaaa").Add("b", "bbbb").Add("c", "cccc");
    return b;
  };
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
  };
  std::vector<Case> cases = {
      {"count far beyond the bytes", three(102).OverrideCount(1000000).Build()},
      {"count of 2^31 - 1", three(101).OverrideCount(0x7FFFFFFF).Build()},
      {"negative count", three(102).OverrideCount(-1).Build()},
      {"count one too high", three(0).OverrideCount(4).Build()},
      {"offsets out of order", three(102).OverrideOffset(2, 20).Build()},
      {"end offset past the end", three(100).OverrideOffset(3, 100000).Build()},
      {"entry offset past the end", three(101).OverrideOffset(1, 1 << 30).Build()},
      {"negative first offset", three(102).OverrideOffset(0, -8).Build()},
      {"name length past the end", LeWriter().Raw("vf").I32(102).I32(1).I32(0x7FFFFFF0).Bytes()},
      {"negative name length", LeWriter().Raw("vf").I32(102).I32(1).I32(-2).Raw("ab").Fill(20, 0).Bytes()},
      {"unknown version 103", LeWriter().Raw("vf").I32(103).I32(0).I64(0).Bytes()},
      {"unknown version 99", LeWriter().Raw("vf").I32(99).I32(0).U32(0).Bytes()},
      {"empty stream", {}},
      {"tag only", LeWriter().Raw("vf").Bytes()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ExpectCorrupt(c.bytes);
  }
}

TEST(ArchiveCorrupt, EveryTruncationOfASmallArchiveRaises) {
  for (int version : {0, 100, 101, 102}) {
    ArchiveBuilder b(version);
    b.Add("one", "first entry").Add("\x82\xA0", "second", true).Add("three", "");
    std::vector<uint8_t> all = b.Build();
    for (size_t n = 0; n < all.size(); ++n) {
      SCOPED_TRACE(testing::Message() << "version " << version << ", " << n << " bytes");
      ExpectCorrupt(std::vector<uint8_t>(all.begin(), all.begin() + n));
    }
  }
}

TEST(ArchiveCorrupt, AnySingleDamagedByteNeverCrashes) {
  ArchiveBuilder b(102);
  b.Add("one", "first entry, compressed").Add("two", "second", true).Add("three", "third");
  std::vector<uint8_t> all = b.Build();
  for (size_t i = 0; i < all.size(); ++i) {
    for (uint8_t flip : {0x01, 0x80, 0xFF}) {
      std::vector<uint8_t> bytes = all;
      bytes[i] ^= flip;
      TVrFileCollection arc;
      try {
        arc.OpenStream(std::make_unique<TMemoryStream>(bytes));
        for (int32_t k = 0; k < arc.EntryCount(); ++k) {
          TMemoryStream m;
          try {
            arc.ReadFile(m, arc.Files(k)->Name());
          } catch (const EKovaError&) {
          }
        }
      } catch (const EKovaError&) {
      }
    }
  }
}

TEST(ArchiveCorrupt, BadOrTruncatedZlibDataRaiseAndLeaveNothing) {
  std::vector<uint8_t> good = ZlibCompress(TextBytes(5000, 3));
  ArchiveBuilder b(102);
  b.Add("garbage", "x").Add("cut", "y").Add("ok", "fine");
  b.OverrideData(0, {0x78, 0x01, 0xFF, 0xFF, 0xFF, 0x00});
  b.OverrideData(1, std::vector<uint8_t>(good.begin(), good.begin() + good.size() / 2));
  TVrFileCollection arc;
  arc.OpenStream(std::make_unique<TMemoryStream>(b.Build()));
  for (const char* name : {"garbage", "cut"}) {
    SCOPED_TRACE(name);
    TMemoryStream m;
    EXPECT_THROW(arc.ReadFile(m, name), EZDecompressionError);
    EXPECT_EQ(m.Size(), 0);
    EXPECT_THROW(arc.OpenRange(name), EZDecompressionError);
  }
  TMemoryStream m;
  arc.ReadFile(m, "ok");
  EXPECT_EQ(StreamBytes(m), Bytes("fine"));
}

// Entries declare no inflated size: an entry inflates to the limit at most, into memory or
// through any other stream, and a memory destination gets its old contents back.
TEST(ArchiveCorrupt, EntriesInflateToTheLimitAtMost) {
  const std::vector<uint8_t> zeros(200000, 0);
  std::vector<uint8_t> packed(compressBound(zeros.size()));
  uLongf packed_len = packed.size();
  ASSERT_EQ(compress2(packed.data(), &packed_len, zeros.data(), zeros.size(), 9), Z_OK);
  packed.resize(packed_len);
  for (bool to_memory : {true, false}) {
    SCOPED_TRACE(to_memory);
    TMemoryStream source(packed);
    TMemoryStream memory(Bytes("kept"));
    memory.SetPosition(4);
    TempFolder dir;
    TFileStream file(dir / "out", plat::TFileMode::Create);
    TStream& dest = to_memory ? static_cast<TStream&>(memory) : file;
    EXPECT_THROW(archive_detail::InflateExact(dest, source, int64_t(packed.size()), 150000), EZDecompressionError);
    if (to_memory) {
      EXPECT_EQ(StreamBytes(memory), Bytes("kept"));
    }
    source.SetPosition(0);
    TMemoryStream whole;
    archive_detail::InflateExact(whole, source, int64_t(packed.size()), 200000);
    EXPECT_EQ(whole.Size(), 200000);
  }
}

TEST(ArchiveCorrupt, DataCutAfterOpeningRaiseInsteadOfReadingShort) {
  TempFolder dir;
  ArchiveBuilder b(102);
  b.Add("packed", std::string(3000, 'p')).Add("raw", std::string(3000, 'r'), true);
  std::vector<uint8_t> all = b.Build();
  WriteHostFile(dir / "game.dat", all);
  TVrFileCollection arc;
  arc.Open(dir / "game.dat");
  // The file shrinks under the open archive: both entries lose their tails.
  ASSERT_EQ(::truncate((dir / "game.dat").c_str(), static_cast<off_t>(arc.Files(0)->Offset + 5)), 0);
  TVrFileCollection reopened;  // (a fresh open now refuses the directory)
  EXPECT_THROW(reopened.Open(dir / "game.dat"), EReadError);
  for (const char* name : {"packed", "raw"}) {
    SCOPED_TRACE(name);
    TMemoryStream m;
    EXPECT_THROW(arc.ReadFile(m, name), EReadError);
    EXPECT_EQ(m.Size(), 0);
  }
}

TEST(ArchiveCorrupt, AppendedTrailerIsChecked) {
  TempFolder dir;
  ArchiveBuilder b(102);
  b.Add("a", "x");
  std::vector<uint8_t> file = b.BuildAppended(NoiseBytes(100, 2));
  struct Case {
    const char* what;
    size_t at;
    uint8_t value;
  };
  for (Case c : {Case{"no kv", file.size() - 1, uint8_t('x')},
                 Case{"position past the end", file.size() - 3, uint8_t(0x7F)},
                 Case{"negative position", file.size() - 3, uint8_t(0xFF)}}) {
    SCOPED_TRACE(c.what);
    std::vector<uint8_t> bad = file;
    bad[c.at] = c.value;
    WriteHostFile(dir / "p.exe", bad);
    TVrFileCollection arc;
    EXPECT_THROW(arc.Open(dir / "p.exe"), EReadError);
    EXPECT_EQ(arc.Count(), 0);
  }
  WriteHostFile(dir / "tiny.exe", {'k', 'v'});
  TVrFileCollection arc;
  EXPECT_THROW(arc.Open(dir / "tiny.exe"), EReadError);
}

}  // namespace
}  // namespace kova::test
