#include "core/big_stream.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/resources.h"
#include "core/stream_records.h"
#include "support/le_writer.h"

namespace kova {
namespace {

namespace fs = std::filesystem;
using plat::TFileMode;

constexpr int64_t kPiece = 16;

std::vector<uint8_t> Pattern(size_t n, uint8_t seed = 0) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(i * 7 + seed + (i >> 8));
  return v;
}

std::vector<uint8_t> ReadAll(TStream& s, int64_t count) {
  std::vector<uint8_t> v(static_cast<size_t>(count));
  v.resize(static_cast<size_t>(s.Read(v.data(), count)));
  return v;
}

class BigFileStreamTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/kova_big_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override { fs::remove_all(dir_); }

  std::string Path(const std::string& name) const { return dir_ + "/" + name; }

  static void Put(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
  }
  static std::vector<uint8_t> Get(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  // The sizes of the files "game.dat", "game.001", ... that exist, in order.
  std::vector<int64_t> PieceSizes() const {
    std::vector<int64_t> sizes;
    for (int n = 0; fs::exists(TXrBigFileStream::PieceName(Path("game.dat"), n)); ++n)
      sizes.push_back(static_cast<int64_t>(fs::file_size(TXrBigFileStream::PieceName(Path("game.dat"), n))));
    return sizes;
  }
  // Writes `bytes` through a fresh big stream in chunks of `chunk` bytes.
  void WriteGame(const std::vector<uint8_t>& bytes, int64_t chunk, TFileMode mode = TFileMode::Create) {
    TXrBigFileStream s(Path("game.dat"), mode, kPiece);
    for (int64_t done = 0; done < static_cast<int64_t>(bytes.size()); done += chunk) {
      int64_t n = std::min<int64_t>(chunk, static_cast<int64_t>(bytes.size()) - done);
      ASSERT_EQ(s.Write(bytes.data() + done, n), n);
    }
    s.Close();
  }

  std::string dir_;
};

TEST(BigFileStreamNames, PieceNames) {
  struct Case {
    const char* file;
    int n;
    const char* expected;
  } cases[] = {
      {"/d/game.dat", 0, "/d/game.dat"},   {"/d/game.dat", 1, "/d/game.001"},
      {"/d/game.dat", 12, "/d/game.012"},  {"/d/game.dat", 1000, "/d/game.1000"},
      {"/d.x/game", 2, "/d.x/game.002"},   {"/d/a.tar.gz", 1, "/d/a.tar.001"},
      {"game.dat", 3, "game.003"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(TXrBigFileStream::PieceName(c.file, c.n), c.expected) << c.file << " " << c.n;
}

TEST_F(BigFileStreamTest, WritesCreatePiecesInOrder) {
  // Chunk sizes below, at and above the piece size, so that writes stop at, start at and cross
  // piece boundaries.
  for (int64_t chunk : {1, 5, 16, 23, 40}) {
    SCOPED_TRACE(chunk);
    std::vector<uint8_t> bytes = Pattern(40, static_cast<uint8_t>(chunk));
    WriteGame(bytes, chunk);
    EXPECT_EQ(PieceSizes(), (std::vector<int64_t>{16, 16, 8}));
    EXPECT_TRUE(fs::exists(Path("game.001")));
    EXPECT_TRUE(fs::exists(Path("game.002")));

    TXrBigFileStream s(Path("game.dat"), TFileMode::Read, kPiece);
    EXPECT_EQ(s.PieceCount(), 3);
    EXPECT_EQ(s.GetSize(), 40);
    EXPECT_EQ(ReadAll(s, 100), bytes);
  }
}

TEST_F(BigFileStreamTest, ReadsAcrossPieceBoundaries) {
  std::vector<uint8_t> bytes = Pattern(40);
  WriteGame(bytes, 40);
  TXrBigFileStream s(Path("game.dat"), TFileMode::Read, kPiece);
  for (int64_t start = 0; start <= 40; ++start) {
    for (int64_t count : {1, 5, 10, 17, 33}) {
      s.SetPosition(start);
      std::vector<uint8_t> got = ReadAll(s, count);
      int64_t end = std::min<int64_t>(start + count, 40);
      ASSERT_EQ(got, std::vector<uint8_t>(bytes.begin() + start, bytes.begin() + end))
          << start << "+" << count;
      EXPECT_EQ(s.GetPosition(), end);
    }
  }
}

TEST_F(BigFileStreamTest, PositionsAreHeldWithinTheStream) {
  WriteGame(Pattern(40), 40);
  TXrBigFileStream s(Path("game.dat"), TFileMode::Read, kPiece);
  EXPECT_EQ(s.Seek(100, TSeekOrigin::Beginning), 40);
  EXPECT_EQ(s.Read(nullptr, 0), 0);
  EXPECT_EQ(s.Seek(-3, TSeekOrigin::End), 37);
  EXPECT_EQ(s.Seek(-50, TSeekOrigin::Current), 0);
  EXPECT_EQ(s.Seek(INT64_MAX, TSeekOrigin::Current), 40);
  EXPECT_EQ(s.Seek(INT64_MIN, TSeekOrigin::End), 0);
}

TEST_F(BigFileStreamTest, CreateAndWriteDeleteStalePieces) {
  for (TFileMode mode : {TFileMode::Create, TFileMode::Write}) {
    for (const char* name : {"game.dat", "game.001", "game.002", "game.003"}) Put(Path(name), Pattern(16, 9));
    WriteGame(Pattern(20), 20, mode);
    EXPECT_EQ(PieceSizes(), (std::vector<int64_t>{16, 4}));
    EXPECT_FALSE(fs::exists(Path("game.002")));
    EXPECT_FALSE(fs::exists(Path("game.003")));
    std::vector<uint8_t> written = Pattern(20);
    EXPECT_EQ(Get(Path("game.001")), std::vector<uint8_t>(written.begin() + 16, written.end()));
  }
  // Pieces are created only when written.
  { TXrBigFileStream s(Path("game.dat"), TFileMode::Create, kPiece); }
  EXPECT_TRUE(PieceSizes().empty());
}

TEST_F(BigFileStreamTest, ReadWriteRewritesInPlaceAndGrowsTheLastPiece) {
  std::vector<uint8_t> bytes = Pattern(20);
  WriteGame(bytes, 20);
  {
    TXrBigFileStream s(Path("game.dat"), TFileMode::ReadWrite, kPiece);
    ASSERT_EQ(s.GetSize(), 20);
    std::vector<uint8_t> patch = Pattern(10, 0x80);
    s.SetPosition(10);
    ASSERT_EQ(s.Write(patch.data(), 10), 10);  // crosses the boundary at 16
    std::copy(patch.begin(), patch.end(), bytes.begin() + 10);
    std::vector<uint8_t> tail = Pattern(20, 0x40);
    s.Seek(0, TSeekOrigin::End);
    ASSERT_EQ(s.Write(tail.data(), 20), 20);
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    EXPECT_EQ(s.GetSize(), 40);
    s.SetPosition(0);
    EXPECT_EQ(ReadAll(s, 40), bytes);
    s.Close();
  }
  EXPECT_EQ(PieceSizes(), (std::vector<int64_t>{16, 16, 8}));
  TXrBigFileStream s(Path("game.dat"), TFileMode::Read, kPiece);
  EXPECT_EQ(ReadAll(s, 40), bytes);
  EXPECT_EQ(s.Write(bytes.data(), 1), 0);  // opened for reading
}

TEST_F(BigFileStreamTest, SetSizeCutsAndGrowsAcrossPieces) {
  std::vector<uint8_t> bytes = Pattern(40);
  WriteGame(bytes, 40);  // pieces of 16, 16, 8
  TXrBigFileStream s(Path("game.dat"), TFileMode::ReadWrite, kPiece);
  s.SetPosition(30);
  s.SetSize(20);  // the third piece goes, the second is cut
  EXPECT_EQ(PieceSizes(), (std::vector<int64_t>{16, 4}));
  EXPECT_EQ(s.GetSize(), 20);
  EXPECT_EQ(s.GetPosition(), 20);
  s.SetSize(16);  // exactly at a boundary: the second piece goes too
  EXPECT_EQ(PieceSizes(), (std::vector<int64_t>{16}));
  s.SetSize(37);  // grows into new pieces that read as zeros
  EXPECT_EQ(PieceSizes(), (std::vector<int64_t>{16, 16, 5}));
  s.SetPosition(0);
  std::vector<uint8_t> expected(bytes.begin(), bytes.begin() + 16);
  expected.resize(37, 0);
  EXPECT_EQ(ReadAll(s, 100), expected);
  s.SetSize(0);
  EXPECT_EQ(PieceSizes(), (std::vector<int64_t>{0}));
  s.Close();

  TXrBigFileStream reader(Path("game.dat"), TFileMode::Read, kPiece);
  EXPECT_THROW(reader.SetSize(1), EStreamError);
}

TEST_F(BigFileStreamTest, IrregularPiecesKeepTheirOrder) {
  // Pieces left by another tool: a short first piece must neither hide nor shift the second, and
  // a rewrite must not grow it over the second.
  Put(Path("game.dat"), Pattern(10));
  Put(Path("game.001"), Pattern(16, 3));
  std::vector<uint8_t> expected = Pattern(10);
  std::vector<uint8_t> second = Pattern(16, 3);
  expected.insert(expected.end(), second.begin(), second.end());
  TXrBigFileStream s(Path("game.dat"), TFileMode::ReadWrite, kPiece);
  EXPECT_EQ(s.GetSize(), 26);
  EXPECT_EQ(ReadAll(s, 26), expected);
  s.SetPosition(8);
  EXPECT_EQ(ReadAll(s, 4), std::vector<uint8_t>(expected.begin() + 8, expected.begin() + 12));

  const uint8_t patch[4] = {0xA1, 0xA2, 0xA3, 0xA4};
  s.SetPosition(8);
  ASSERT_EQ(s.Write(patch, 4), 4);
  std::copy(patch, patch + 4, expected.begin() + 8);
  s.SetPosition(0);
  EXPECT_EQ(ReadAll(s, 26), expected);
  s.Close();
  EXPECT_EQ(PieceSizes(), (std::vector<int64_t>{10, 16}));
}

TEST_F(BigFileStreamTest, MissingFileRaisesForReading) {
  EXPECT_THROW(TXrBigFileStream(Path("none.dat"), TFileMode::Read, kPiece), EFOpenError);
  // A file named like a piece is one piece, not its own second one.
  Put(Path("game.001"), Pattern(5));
  TXrBigFileStream s(Path("game.001"), TFileMode::Read, kPiece);
  EXPECT_EQ(s.GetSize(), 5);
}

TEST_F(BigFileStreamTest, UnopenablePieceRaisesAtOpen) {
  Put(Path("game.dat"), Pattern(16));
  Put(Path("game.001"), Pattern(4));
  ASSERT_EQ(chmod(dir_.c_str(), 0755), 0);
  ASSERT_EQ(chmod(Path("game.001").c_str(), 0), 0);
  auto open_as_unprivileged = [&] {
    // Permissions do not stop the superuser; drop to an ordinary user in the child.
    if (geteuid() == 0 && setuid(65534) != 0) std::_Exit(3);
    try {
      TXrBigFileStream s(Path("game.dat"), TFileMode::Read, kPiece);
    } catch (const EFOpenError& e) {
      std::_Exit(e.Message().find("game.001") != std::string::npos ? 0 : 2);
    }
    std::_Exit(1);
  };
  EXPECT_EXIT(open_as_unprivileged(), ::testing::ExitedWithCode(0), "");
}

TEST_F(BigFileStreamTest, CopiesWalkThePieces) {
  std::vector<uint8_t> bytes = Pattern(50);
  TMemoryStream source(bytes);
  source.SetPosition(30);
  TXrBigFileStream s(Path("game.dat"), TFileMode::Create, kPiece);
  EXPECT_EQ(s.CopyFrom(source, 0), 50);  // count 0: the whole source from its start
  EXPECT_EQ(PieceSizes(), (std::vector<int64_t>{16, 16, 16, 2}));

  TMemoryStream dest;
  s.SetPosition(12);
  EXPECT_EQ(s.CopyTo(dest, 30), 30);
  EXPECT_EQ(std::vector<uint8_t>(dest.Bytes().begin(), dest.Bytes().end()),
            std::vector<uint8_t>(bytes.begin() + 12, bytes.begin() + 42));
  EXPECT_EQ(s.CopyTo(dest, 100), 8);  // ends with the stream

  TXrBigMemoryStream memory;
  EXPECT_EQ(memory.CopyFromBig(s, 0), 50);
  EXPECT_EQ(std::vector<uint8_t>(memory.Memory().Bytes().begin(), memory.Memory().Bytes().end()), bytes);
}

TEST_F(BigFileStreamTest, MemoryKindForwardsToItsStream) {
  TXrBigMemoryStream m;
  std::vector<uint8_t> bytes = Pattern(30);
  ASSERT_EQ(m.Write(bytes.data(), 30), 30);
  EXPECT_EQ(m.GetSize(), 30);
  m.SaveToFile(Path("m.bin"));
  TXrBigMemoryStream loaded;
  loaded.LoadFromFile(Path("m.bin"));
  EXPECT_EQ(loaded.GetPosition(), 0);
  EXPECT_EQ(ReadAll(loaded, 100), bytes);
}

TEST(BigResourceStream, ReadsARegisteredBlobWithoutRegardToCase) {
  std::vector<uint8_t> blob = Pattern(300);
  ProgramResources().Add("BINTYPE", "DUMMY", blob);
  {
    TXrBigResourceStream s(ProgramResources(), "dummy", "BinType");
    EXPECT_EQ(s.GetSize(), 300);
    s.SetPosition(100);
    EXPECT_EQ(ReadAll(s, 10), std::vector<uint8_t>(blob.begin() + 100, blob.begin() + 110));
    EXPECT_EQ(s.Write(blob.data(), 1), 0);
    TXrBigResourceStream missing(ProgramResources(), "MADEWITH", "DATA");
    EXPECT_EQ(missing.GetSize(), 0);
  }
  EXPECT_TRUE(ProgramResources().Remove("bintype", "dummy"));
  EXPECT_TRUE(ProgramResources().FindResource("BINTYPE", "DUMMY").empty());
}

TEST(BigResourceStream, KeepsItsBytesWhenTheResourceIsReplacedOrRemoved) {
  TResourceTable module;
  std::vector<uint8_t> blob = Pattern(300);
  module.Add("DATA", "MADEWITH", blob);
  TXrBigResourceStream s(module, "MADEWITH", "DATA");
  module.Add("DATA", "MADEWITH", Pattern(10, 1));
  EXPECT_EQ(ReadAll(s, 150), std::vector<uint8_t>(blob.begin(), blob.begin() + 150));
  module.Remove("DATA", "MADEWITH");
  EXPECT_EQ(ReadAll(s, 150), std::vector<uint8_t>(blob.begin() + 150, blob.end()));
}

// ---- buffered reader ----

TEST(BuffBigStream, SmallReadsAcrossBlocksAndEndOfSource) {
  std::vector<uint8_t> bytes = Pattern(250000);
  TXrBigMemoryStream source;
  source.Write(bytes.data(), static_cast<int64_t>(bytes.size()));
  source.SetPosition(7);
  std::vector<uint8_t> got;
  {
    TXrBuffBigStream reader(source);
    uint8_t small[3];
    int64_t n;
    while ((n = reader.Read(small, 3)) > 0) got.insert(got.end(), small, small + n);
    EXPECT_EQ(reader.Read(small, 3), 0);
  }
  EXPECT_EQ(got, std::vector<uint8_t>(bytes.begin() + 7, bytes.end()));
  EXPECT_EQ(source.GetPosition(), 250000);
}

TEST(BuffBigStream, ReleaseLeavesTheSourceAfterTheLastByteServed) {
  // A directory of names as the archive stores them, followed by other data.
  test::LeWriter w;
  w.Raw("xx").I32(3).Str("a").Str("\x82\xA0\x82\xA2").Str("pic001.wxa").Fill(200000, 0xEE);
  TMemoryStream file(w.Bytes());
  TXrBigMemoryStream source;
  source.CopyFrom(file, 0);
  source.SetPosition(2);
  {
    TXrBuffBigStream reader(source);
    int32_t count = ReadStreamInteger(reader);
    ASSERT_EQ(count, 3);
    EXPECT_EQ(ReadStreamString(reader), "a");
    EXPECT_EQ(ReadStreamString(reader), "\x82\xA0\x82\xA2");
    EXPECT_EQ(ReadStreamString(reader), "pic001.wxa");
    EXPECT_EQ(source.GetPosition(), 2 + TXrBuffBigStream::kBufferSize);
  }
  EXPECT_EQ(source.GetPosition(), 2 + 4 + 5 + 8 + 14);
}

TEST(BuffBigStream, RepositionsWithinAndOutsideItsBlock) {
  std::vector<uint8_t> bytes = Pattern(300000);
  TXrBigMemoryStream source;
  source.Write(bytes.data(), static_cast<int64_t>(bytes.size()));
  source.SetPosition(0);
  TXrBuffBigStream reader(source);
  EXPECT_EQ(reader.GetSize(), 300000);
  struct Step {
    int64_t offset;
    TSeekOrigin origin;
    int64_t expected_position;
  } steps[] = {
      {10, TSeekOrigin::Beginning, 10},       // inside the first block
      {-4, TSeekOrigin::Current, 14},         // back within the block

      {150000, TSeekOrigin::Beginning, 150000},  // outside: a new block
      {-10, TSeekOrigin::End, 299990},
      {-5, TSeekOrigin::Current, 299993},
  };
  for (const Step& step : steps) {
    ReadAll(reader, 4);
    EXPECT_EQ(reader.Seek(step.offset, step.origin), step.expected_position);
    EXPECT_EQ(reader.GetPosition(), step.expected_position);
    int64_t end = std::min<int64_t>(step.expected_position + 4, 300000);
    EXPECT_EQ(ReadAll(reader, 4),
              std::vector<uint8_t>(bytes.begin() + step.expected_position, bytes.begin() + end));
  }
  // A read larger than a block, then small reads again.
  reader.SetPosition(1000);
  EXPECT_EQ(ReadAll(reader, 200000), std::vector<uint8_t>(bytes.begin() + 1000, bytes.begin() + 201000));
  EXPECT_EQ(ReadAll(reader, 2), std::vector<uint8_t>(bytes.begin() + 201000, bytes.begin() + 201002));
  reader.Release();
  EXPECT_EQ(source.GetPosition(), 201002);
}

// ---- the real piece size (slow: writes 1 GiB; KOVA_TEST_GIB=1 enables it) ----

TEST_F(BigFileStreamTest, CrossesTheRealGibBoundary) {
  const char* enabled = std::getenv("KOVA_TEST_GIB");
  if (enabled == nullptr || std::string(enabled) != "1") GTEST_SKIP() << "set KOVA_TEST_GIB=1 to run";
  constexpr int64_t kMiB = 1 << 20;
  auto chunk_of = [](int64_t index) {
    std::vector<uint8_t> chunk(kMiB);
    for (int64_t j = 0; j < kMiB; ++j) chunk[j] = static_cast<uint8_t>(j + index * 7 + (j >> 12));
    return chunk;
  };
  {
    TXrBigFileStream s(Path("game.dat"), TFileMode::Create);
    for (int64_t i = 0; i < 1024; ++i) ASSERT_EQ(s.Write(chunk_of(i).data(), kMiB), kMiB);
    std::vector<uint8_t> tail = chunk_of(1024);
    ASSERT_EQ(s.Write(tail.data(), 10), 10);
    s.Close();
  }
  EXPECT_EQ(PieceSizes(), (std::vector<int64_t>{int64_t{1} << 30, 10}));
  TXrBigFileStream s(Path("game.dat"), TFileMode::Read);
  ASSERT_EQ(s.GetSize(), (int64_t{1} << 30) + 10);
  std::vector<uint8_t> before = chunk_of(1023);
  std::vector<uint8_t> expected(before.end() - 5, before.end());
  std::vector<uint8_t> tail = chunk_of(1024);
  expected.insert(expected.end(), tail.begin(), tail.begin() + 10);
  s.SetPosition((int64_t{1} << 30) - 5);
  EXPECT_EQ(ReadAll(s, 100), expected);
  s.SetPosition(0);
  std::vector<uint8_t> got(kMiB);
  for (int64_t i = 0; i < 1024; ++i) {
    ASSERT_EQ(s.Read(got.data(), kMiB), kMiB);
    ASSERT_EQ(got, chunk_of(i)) << i;
  }
}

}  // namespace
}  // namespace kova
