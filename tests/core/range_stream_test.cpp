#include "core/range_stream.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>
#include <vector>

#include "core/big_stream.h"
#include "core/errors.h"
#include "core/resources.h"
#include "core/stream_records.h"

namespace kova {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> Pattern(size_t n) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(i * 13 + (i >> 8) + (i >> 16));
  return v;
}

std::vector<uint8_t> Slice(const std::vector<uint8_t>& v, int64_t from, int64_t to) {
  return {v.begin() + from, v.begin() + to};
}

std::vector<uint8_t> ReadAll(TStream& s, int64_t count) {
  std::vector<uint8_t> v(static_cast<size_t>(count));
  v.resize(static_cast<size_t>(s.Read(v.data(), count)));
  return v;
}

class RangeStreamTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/kova_range_XXXXXX";
    ASSERT_NE(mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    bytes_ = Pattern(2000);
    Put("data.bin", bytes_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  void Put(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::ofstream(Path(name), std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }

  std::string dir_;
  std::vector<uint8_t> bytes_;
};

TEST_F(RangeStreamTest, WindowReadsAndEnds) {
  TFileRangeStream r(Path("data.bin"), 100, 1000);
  EXPECT_EQ(r.Offset(), 1000);
  EXPECT_EQ(r.GetSize(), 100);
  EXPECT_EQ(r.GetPosition(), 0);
  EXPECT_EQ(ReadAll(r, 60), Slice(bytes_, 1000, 1060));
  EXPECT_EQ(ReadAll(r, 60), Slice(bytes_, 1060, 1100));  // cut at the window's end
  EXPECT_EQ(r.Read(bytes_.data(), 1), 0);
  EXPECT_EQ(r.Write(bytes_.data(), 10), 0);
  EXPECT_EQ(r.GetPosition(), 100);
}

TEST_F(RangeStreamTest, SeeksAreHeldWithinTheWindow) {
  TFileRangeStream r(Path("data.bin"), 100, 1000);
  struct Case {
    int64_t offset;
    TSeekOrigin origin;
    int64_t expected;
  } cases[] = {
      {10, TSeekOrigin::Beginning, 10}, {5, TSeekOrigin::Current, 15}, {50, TSeekOrigin::End, 100},
      {-10, TSeekOrigin::End, 90},      {-5, TSeekOrigin::Beginning, 0}, {-500, TSeekOrigin::Current, 0},
      {INT64_MAX, TSeekOrigin::Current, 100}, {INT64_MIN, TSeekOrigin::End, 0}, {100, TSeekOrigin::Beginning, 100},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(r.Seek(c.offset, c.origin), c.expected) << c.offset;
    int64_t end = std::min<int64_t>(c.expected + 3, 100);
    EXPECT_EQ(ReadAll(r, 3), Slice(bytes_, 1000 + c.expected, 1000 + end)) << c.offset;
    r.Seek(c.expected, TSeekOrigin::Beginning);  // each case starts from its own result
  }
}

TEST_F(RangeStreamTest, WindowIsHeldWithinTheSource) {
  struct Case {
    int64_t size, offset, expected_offset, expected_size;
  } cases[] = {
      {0, 0, 0, 2000},        // size 0: the whole source
      {0, 1500, 1500, 500},   // size 0 with an offset: up to the source's end
      {0, 2500, 2000, 0},     // offset past the end: empty
      {800, 1500, 1500, 500}, // size past the end: cut
      {-4, 10, 10, 0},
  };
  for (const Case& c : cases) {
    TFileRangeStream r(Path("data.bin"), c.size, c.offset);
    EXPECT_EQ(r.Offset(), c.expected_offset) << c.size << "@" << c.offset;
    EXPECT_EQ(r.GetSize(), c.expected_size) << c.size << "@" << c.offset;
    EXPECT_EQ(ReadAll(r, 5000), Slice(bytes_, c.expected_offset, c.expected_offset + c.expected_size));
  }
  EXPECT_THROW(TFileRangeStream(Path("missing.bin"), 0, 0), EFOpenError);
}

TEST_F(RangeStreamTest, ServesCodeThatReadsStreams) {
  // A window over a file stored in pieces, read by the stream-record routines and copied whole.
  {
    TXrBigFileStream big(Path("game.dat"), plat::TFileMode::Create, 16);
    big.Write(bytes_.data(), 100);
    big.Close();
  }
  TRangeStream r(std::make_unique<TXrBigFileStream>(Path("game.dat"), plat::TFileMode::Read, 16), 40, 14);
  int32_t first = ReadStreamInteger(r);
  EXPECT_EQ(static_cast<uint32_t>(first),
            bytes_[14] | bytes_[15] << 8 | bytes_[16] << 16 | static_cast<uint32_t>(bytes_[17]) << 24);
  TMemoryStream copy;
  EXPECT_EQ(CopyStreamData(copy, r, 0), 40);
  EXPECT_EQ(std::vector<uint8_t>(copy.Bytes().begin(), copy.Bytes().end()), Slice(bytes_, 14, 54));
  r.SetPosition(38);
  EXPECT_THROW(ReadStreamInteger(r), EReadError);
}

TEST_F(RangeStreamTest, ThreadsReadThroughTheirOwnStreams) {
  std::vector<uint8_t> big = Pattern(4 << 20);
  Put("media.bin", big);
  struct Window {
    int64_t offset, size;
  } windows[] = {{0, 0}, {1 << 20, 2 << 20}, {12345, 3 << 20}, {1 << 20, 2 << 20}};
  std::vector<int> failures(std::size(windows), 0);
  std::vector<std::thread> threads;
  for (size_t t = 0; t < std::size(windows); ++t) {
    threads.emplace_back([&, t] {
      const Window w = windows[t];
      TFileRangeStream r(Path("media.bin"), w.size, w.offset);
      int64_t size = r.GetSize();
      std::mt19937 rng(static_cast<unsigned>(t));
      std::vector<uint8_t> buffer(70000);
      for (int round = 0; round < 200; ++round) {
        int64_t at = static_cast<int64_t>(rng() % static_cast<uint32_t>(size));
        int64_t want = 1 + static_cast<int64_t>(rng() % buffer.size());
        r.SetPosition(at);
        int64_t got = r.Read(buffer.data(), want);
        if (got != std::min(want, size - at) ||
            !std::equal(buffer.begin(), buffer.begin() + got, big.begin() + w.offset + at))
          ++failures[t];
      }
    });
  }
  for (std::thread& th : threads) th.join();
  EXPECT_EQ(failures, std::vector<int>(std::size(windows), 0));
}

// A blob compiled into the test program, as build-time sources embed theirs.
const std::vector<uint8_t> kEmbeddedBlob = Pattern(500);
const TEmbeddedResource kEmbedded("BINTYPE", "RANGETEST", kEmbeddedBlob);

TEST(ResourceRangeStream, WindowOntoAProgramResource) {
  {
    TResourceRangeStream r("RangeTest", 0, 100, "BINTYPE");
    EXPECT_EQ(r.GetSize(), 400);
    r.Seek(-10, TSeekOrigin::End);
    EXPECT_EQ(ReadAll(r, 50), Slice(kEmbeddedBlob, 490, 500));
  }
  TResourceRangeStream missing("DUMMY", 0, 0, "BINTYPE");
  EXPECT_EQ(missing.GetSize(), 0);
}

}  // namespace
}  // namespace kova
