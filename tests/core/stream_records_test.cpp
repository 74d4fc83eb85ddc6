#include "core/stream_records.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "core/errors.h"
#include "support/le_writer.h"

namespace kova {
namespace {

using test::HexBytes;
using test::LeWriter;

std::vector<uint8_t> BytesOf(const TMemoryStream& s) { return {s.Bytes().begin(), s.Bytes().end()}; }

TEST(StreamRecords, WritesExactBytes) {
  struct Case {
    const char* name;
    void (*write)(TStream&);
    const char* hex;
  } cases[] = {
      {"empty string", [](TStream& s) { WriteStreamString(s, ""); }, "00000000"},
      {"string", [](TStream& s) { WriteStreamString(s, "ab"); }, "02000000 6162"},
      {"shift-jis string", [](TStream& s) { WriteStreamString(s, "\x82\xA0"); }, "02000000 82a0"},
      {"integer -1", [](TStream& s) { WriteStreamInteger(s, -1); }, "ffffffff"},
      {"integer", [](TStream& s) { WriteStreamInteger(s, 0x12345678); }, "78563412"},
      {"flag", [](TStream& s) { WriteStreamBool(s, true); }, "01"},
      {"byte", [](TStream& s) { WriteStreamByte(s, 0xAB); }, "ab"},
      {"int64", [](TStream& s) { WriteStreamInt64(s, -2); }, "feffffffffffffff"},
      {"rect", [](TStream& s) { WriteStreamRect(s, TRect{1, -1, 640, 480}); },
       "01000000 ffffffff 80020000 e0010000"},
      {"extended 1.0", [](TStream& s) { WriteStreamExtended(s, 1.0L); }, "0000000000000080 ff3f"},
      {"extended -2.5", [](TStream& s) { WriteStreamExtended(s, -2.5L); }, "00000000000000a0 00c0"},
  };
  for (const auto& c : cases) {
    TMemoryStream s;
    c.write(s);
    EXPECT_EQ(BytesOf(s), HexBytes(c.hex)) << c.name;
  }
}

TEST(StreamRecords, ReadsWhatTheWriterBuilds) {
  auto bytes = LeWriter()
                   .Str("")
                   .Str("\x95\x5C" "abc")
                   .I32(-7)
                   .Flag(true)
                   .U8(2)
                   .Ext(3.25L)
                   .Rect(-1, 2, 3, 4)
                   .Bytes();
  TMemoryStream s(bytes);
  EXPECT_EQ(ReadStreamString(s), "");
  EXPECT_EQ(s.GetPosition(), 4);
  EXPECT_EQ(ReadStreamString(s), "\x95\x5C" "abc");
  EXPECT_EQ(ReadStreamInteger(s), -7);
  EXPECT_TRUE(ReadStreamBool(s));
  EXPECT_TRUE(ReadStreamBool(s));  // any non-zero byte is true
  EXPECT_EQ(ReadStreamExtended(s), 3.25L);
  EXPECT_EQ(ReadStreamRect(s), (TRect{-1, 2, 3, 4}));
  EXPECT_EQ(s.Remaining(), 0);
}

TEST(StreamRecords, LenientReadsGiveZerosPastTheEnd) {
  TMemoryStream s(HexBytes("0102"));
  EXPECT_EQ(ReadStreamInteger(s, TReadMode::Lenient), 0x0201);
  EXPECT_EQ(ReadStreamInteger(s, TReadMode::Lenient), 0);
  EXPECT_EQ(ReadStreamByte(s, TReadMode::Lenient), 0);
  EXPECT_EQ(ReadStreamString(s, TReadMode::Lenient), "");
}

TEST(StreamRecords, CheckedReadsRaiseOnShortOrCorruptRecords) {
  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"short integer", HexBytes("010203")},
      {"string longer than the stream", LeWriter().I32(10).Raw("abc").Bytes()},
      {"huge string length", LeWriter().I32(0x7FFFFFFF).Raw("abc").Bytes()},
      {"negative string length", LeWriter().I32(-5).Raw("abcdef").Bytes()},
  };
  for (const auto& c : cases) {
    TMemoryStream s(c.bytes);
    EXPECT_THROW(
        {
          ReadStreamInteger(s);
          s.SetPosition(0);
          ReadStreamString(s);
        },
        EReadError)
        << c.name;
  }
  TMemoryStream ext(HexBytes("000000000000"));
  EXPECT_THROW(ReadStreamExtended(ext), EReadError);
}

TEST(StreamRecords, LenientStringReadKeepsWhatIsThereWithoutGiantAllocation) {
  TMemoryStream s(LeWriter().I32(0x7FFFFFF0).Raw("abc").Bytes());
  EXPECT_EQ(ReadStreamString(s, TReadMode::Lenient), "abc");
  TMemoryStream neg(LeWriter().I32(-1).Raw("abc").Bytes());
  EXPECT_EQ(ReadStreamString(neg, TReadMode::Lenient), "");
}

TEST(Extended, RoundTripsEveryBitPattern) {
  // Sign, exponent and mantissa patterns, including denormals, infinities and NaNs.
  struct Case {
    bool negative;
    uint16_t exponent;
    uint64_t mantissa;
  } cases[] = {
      {false, 0, 0},                                // +0
      {true, 0, 0},                                 // -0
      {false, 0x3FFF, 0x8000000000000000ull},       // 1
      {false, 0x4000, 0xC90FDAA22168C235ull},       // pi
      {false, 0, 1},                                // smallest denormal
      {false, 0x7FFE, 0xFFFFFFFFFFFFFFFFull},       // largest finite
      {true, 0x7FFF, 0x8000000000000000ull},        // -infinity
      {false, 0x7FFF, 0xC000000000000001ull},       // a quiet NaN with payload
  };
  for (const auto& c : cases) {
    auto bytes = LeWriter().Ext(c.negative, c.exponent, c.mantissa).Bytes();
    TMemoryStream in(bytes);
    long double v = ReadStreamExtended(in);
    TMemoryStream out;
    WriteStreamExtended(out, v);
    EXPECT_EQ(BytesOf(out), bytes) << c.exponent << " " << c.mantissa;
  }
  uint8_t b[10];
  ExtendedToBytes(std::numeric_limits<long double>::infinity(), b);
  EXPECT_TRUE(std::isinf(BytesToExtended(b)));
  long double third = 1.0L / 3.0L;
  ExtendedToBytes(third, b);
  EXPECT_EQ(BytesToExtended(b), third);
}

// A source that yields at most `chunk` bytes per read and then ends early.
class ShortReadStream : public TStream {
 public:
  ShortReadStream(int64_t declared, int64_t actual, int64_t chunk)
      : declared_(declared), actual_(actual), chunk_(chunk) {}
  int64_t Read(void* buffer, int64_t count) override {
    int64_t n = std::min({count, chunk_, actual_ - position_});
    if (n <= 0) return 0;
    std::memset(buffer, 'x', static_cast<size_t>(n));
    position_ += n;
    ++reads;
    return n;
  }
  int64_t Write(const void*, int64_t) override { return 0; }
  int64_t Seek(int64_t offset, TSeekOrigin origin) override {
    int64_t base = origin == TSeekOrigin::Beginning ? 0 : origin == TSeekOrigin::Current ? position_ : declared_;
    position_ = std::max<int64_t>(0, base + offset);
    return position_;
  }
  int reads = 0;

 private:
  int64_t declared_, actual_, chunk_;
  int64_t position_ = 0;
};

TEST(CopyStreamData, MemorySourceFromItsPosition) {
  TMemoryStream src(std::vector<uint8_t>{1, 2, 3, 4, 5});
  src.SetPosition(1);
  TMemoryStream dest;
  dest.Write("z", 1);
  EXPECT_EQ(CopyStreamData(dest, src, 3), 3);
  EXPECT_EQ(BytesOf(dest), (std::vector<uint8_t>{'z', 2, 3, 4}));
  EXPECT_EQ(src.GetPosition(), 4);
}

TEST(CopyStreamData, CountZeroCopiesTheWholeSourceFromTheStart) {
  TMemoryStream src(std::vector<uint8_t>{1, 2, 3});
  src.SetPosition(2);
  TMemoryStream dest;
  EXPECT_EQ(CopyStreamData(dest, src, 0), 3);
  EXPECT_EQ(BytesOf(dest), (std::vector<uint8_t>{1, 2, 3}));

  TMemoryStream empty, dest2;
  EXPECT_EQ(CopyStreamData(dest2, empty, 0), 0);
  EXPECT_EQ(dest2.Size(), 0);
}

TEST(CopyStreamData, BufferedSourceInPieces) {
  ShortReadStream src(100, 100, 7);
  TMemoryStream dest;
  EXPECT_EQ(CopyStreamData(dest, src, 0), 100);
  EXPECT_EQ(dest.Size(), 100);
  EXPECT_EQ(src.reads, 15);
}

TEST(CopyStreamData, ShortSourceEndsTheCopyAndReportsIt) {
  ShortReadStream src(100, 40, 16);
  TMemoryStream dest;
  EXPECT_EQ(CopyStreamData(dest, src, 100), 40);
  EXPECT_EQ(dest.Size(), 40);

  TMemoryStream mem(std::vector<uint8_t>{1, 2, 3});
  TMemoryStream dest2;
  EXPECT_EQ(CopyStreamData(dest2, mem, 10), 3);
}

std::vector<uint8_t> MixedData(size_t n) {
  std::mt19937 rng(7);
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = (i / 64) % 3 == 0 ? uint8_t(rng()) : uint8_t(i % 17);
  return v;
}

TEST(Zlib, CompressedStreamInflatesWithPlainZlib) {
  auto data = MixedData(200000);
  TMemoryStream s(data);
  CompressStream(s);
  EXPECT_EQ(s.GetPosition(), s.Size());
  EXPECT_EQ(s.Memory()[0], 0x78);
  EXPECT_EQ(s.Memory()[1], 0x01);  // level 1: the fastest
  std::vector<uint8_t> out(data.size());
  uLongf out_len = out.size();
  ASSERT_EQ(uncompress(out.data(), &out_len, s.Memory(), s.Size()), Z_OK);
  EXPECT_EQ(out_len, data.size());
  EXPECT_EQ(out, data);
}

TEST(Zlib, PlainZlibOutputDecompresses) {
  for (size_t n : {size_t{0}, size_t{1}, size_t{100000}, size_t{3000000}}) {
    auto data = MixedData(n);
    std::vector<uint8_t> packed(compressBound(n));
    uLongf packed_len = packed.size();
    ASSERT_EQ(compress2(packed.data(), &packed_len, data.data(), n, 9), Z_OK);
    packed.resize(packed_len);
    TMemoryStream s(packed);
    DecompressStream(s);
    EXPECT_EQ(BytesOf(s), data) << n;
  }
}

TEST(Zlib, CompressThenDecompressRoundTrips) {
  auto data = MixedData(70000);
  TMemoryStream s(data);
  CompressStream(s);
  DecompressStream(s);
  EXPECT_EQ(BytesOf(s), data);
}

TEST(Zlib, CorruptOrTruncatedInputRaisesAndLeavesTheStream) {
  auto data = MixedData(50000);
  TMemoryStream packed(data);
  CompressStream(packed);
  auto good = BytesOf(packed);

  std::vector<std::vector<uint8_t>> bad;
  bad.emplace_back();                                            // empty
  bad.emplace_back(good.begin(), good.begin() + 2);               // header only
  bad.emplace_back(good.begin(), good.begin() + good.size() / 2); // cut in the middle
  bad.emplace_back(good.begin(), good.end() - 1);                 // Adler-32 cut short
  auto flipped = good;
  flipped[good.size() / 2] ^= 0x55;
  bad.push_back(flipped);
  auto wrong_adler = good;
  wrong_adler.back() ^= 1;
  bad.push_back(wrong_adler);
  bad.push_back(HexBytes("0102030405"));

  for (size_t i = 0; i < bad.size(); ++i) {
    TMemoryStream s(bad[i]);
    EXPECT_THROW(DecompressStream(s), EZDecompressionError) << i;
    EXPECT_EQ(BytesOf(s), bad[i]) << i;
  }
}

// zlib counts in 32 bits: contents go to it in pieces (1 GiB in the product, small ones here), so
// contents beyond 4 GiB are compressed whole rather than modulo 2^32.
TEST(Zlib, CompressionInPiecesGivesOneWholeStream) {
  auto data = MixedData(300000);
  for (int64_t piece : {int64_t(1), int64_t(977), int64_t(65536), int64_t(1) << 30}) {
    TMemoryStream s(data);
    detail::CompressStreamInPieces(s, piece);
    std::vector<uint8_t> out(data.size());
    uLongf out_len = out.size();
    ASSERT_EQ(uncompress(out.data(), &out_len, s.Memory(), s.Size()), Z_OK) << piece;
    EXPECT_EQ(out, data) << piece;
  }
}

// Data without a declared size inflate to the limit at most: exactly the limit is fine, one byte
// more raises and leaves the stream as it was.
TEST(Zlib, InflationStopsAtTheLimit) {
  const std::vector<uint8_t> zeros(100000, 0);
  std::vector<uint8_t> packed(compressBound(zeros.size()));
  uLongf packed_len = packed.size();
  ASSERT_EQ(compress2(packed.data(), &packed_len, zeros.data(), zeros.size(), 9), Z_OK);
  packed.resize(packed_len);
  {
    TMemoryStream s(packed);
    DecompressStream(s, 100000);
    EXPECT_EQ(s.Size(), 100000);
  }
  TMemoryStream s(packed);
  EXPECT_THROW(DecompressStream(s, 99999), EZDecompressionError);
  EXPECT_EQ(BytesOf(s), packed);
}

TEST(Errors, CarryCodePage932Text) {
  try {
    TMemoryStream s(HexBytes("01"));
    ReadStreamInteger(s);
    FAIL();
  } catch (const EReadError& e) {
    std::string msg = e.Message();
    ASSERT_FALSE(msg.empty());
    // No UTF-8 lead bytes of the three-byte forms: the text is code page 932.
    EXPECT_EQ(msg.find('\xE3'), std::string::npos);
  }
  EXPECT_EQ(MsgText(TMsg::FileNotFound), std::string("%s:\x83t\x83@\x83""C\x83\x8B\x82\xAA\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1"));
}

}  // namespace
}  // namespace kova
