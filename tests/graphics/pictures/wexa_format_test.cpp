// The layered format read back from the test writer in every version, plane coding and plane
// order: tags and headers, scrambled rows, tiles, zlib and raw planes, and the header probe.
#include <gtest/gtest.h>

#include "core/wexa_probe.h"
#include "graphics/pictures/wexa_header.h"
#include "graphics/pictures/wexa_test_util.h"
#include "graphics/graphics_test_util.h"

namespace kova::test {
namespace {

struct VersionCase {
  int32_t version;
  WexaCoding coding;
  bool permuted;
  int32_t tile_w, tile_h;
};

class WexaVersionRoundTrip : public ::testing::TestWithParam<VersionCase> {};

TEST_P(WexaVersionRoundTrip, LoadsTheWrittenPixels) {
  const VersionCase c = GetParam();
  // 13 x 7 with 5 x 3 tiles leaves a narrow last column and a short last row.
  const std::vector<uint32_t> pixels = Pattern(13, 7);
  WexaFileDesc desc = OneLayer(c.version, 13, 7, 24, pixels);
  desc.coding = c.coding;
  desc.permuted = c.permuted;
  desc.tile_width = c.tile_w;
  desc.tile_height = c.tile_h;
  desc.seed = 0x1234567u;
  desc.frames[0].duration = 42;

  TWexaFrameList list(desc.seed);
  LoadBytes(list, BuildWexa(desc));
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(list.Version, c.version);
  const TWexaFrame& frame = list.GetFrame(0);
  EXPECT_EQ(frame.Duration, 42);
  EXPECT_EQ(frame.Surface.BitCount(), 24);
  EXPECT_EQ(PixelsOf(frame.Surface), pixels);
}

std::vector<VersionCase> VersionCases() {
  std::vector<VersionCase> cases;
  for (int32_t v : {0, 100, 101, 102}) cases.push_back({v, WexaCoding::Raw, false, 0, 0});
  for (int32_t v : {103, 104, 105, 106}) {
    for (WexaCoding coding : {WexaCoding::Raw, WexaCoding::Zlib}) {
      cases.push_back({v, coding, false, 0, 0});
      cases.push_back({v, coding, true, 0, 0});
      cases.push_back({v, coding, false, 5, 3});
      cases.push_back({v, coding, true, 5, 3});
    }
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(AllVersions, WexaVersionRoundTrip, ::testing::ValuesIn(VersionCases()));

// Every stored depth, through scrambled rows (version 0) and zlib rows (version 106). Palette
// frames come out at 24 bits with their colours; deeper frames keep depth and raw values.
TEST(WexaDepths, EveryBitCountLoads) {
  const std::vector<uint32_t> palette = {0x000000, 0xFFFFFF, 0x102030, 0x405060, 0x708090, 0xA0B0C0,
                                         0xD0E0F0, 0x123456, 0x654321, 0xABCDEF, 0xFEDCBA, 0x0F0F0F,
                                         0xF0F0F0, 0x336699, 0x996633, 0x55AA55};
  for (int32_t version : {0, 106}) {
    for (int32_t bits : {1, 4, 8, 15, 16, 24, 32}) {
      SCOPED_TRACE(::testing::Message() << "version " << version << " bits " << bits);
      const uint32_t limit = bits <= 8 ? (1u << bits) : bits == 15 ? 0x8000u : bits == 16 ? 0x10000u : 0u;
      std::vector<uint32_t> pixels = Pattern(11, 5, limit, uint32_t(bits));
      if (bits == 32)
        for (uint32_t& p : pixels) p |= 0x5A000000;  // the top byte is kept as stored
      WexaFileDesc desc = OneLayer(version, 11, 5, bits, pixels);
      desc.coding = WexaCoding::Zlib;
      desc.seed = 77;
      desc.frames[0].palette.assign(palette.begin(), palette.end());
      desc.frames[0].palette.resize(256, 0x010203);
      TWexaFrameList list(77);
      LoadBytes(list, BuildWexa(desc));
      const TDIBSurface& s = list.GetFrame(0).Surface;
      if (bits <= 8) {
        ASSERT_EQ(s.BitCount(), 24);
        std::vector<uint32_t> colours;
        for (uint32_t p : pixels) colours.push_back(desc.frames[0].palette[p]);
        EXPECT_EQ(PixelsOf(s), colours);
      } else {
        EXPECT_EQ(s.StorageBitCount(), bits);
        EXPECT_EQ(PixelsOf(s), pixels);
      }
    }
  }
}

TEST(WexaHeader, BackgroundAndFlagsByVersion) {
  // Version 101 has no background colour; 102 does; FirstLayerOpaque counts from 105 on.
  for (int32_t version : {101, 102, 104, 105}) {
    WexaFileDesc desc = OneLayer(version, 2, 2, 24, Pattern(2, 2));
    desc.background = 0x00336699;
    desc.first_layer_opaque = true;
    TWexaFrameList list;
    LoadBytes(list, BuildWexa(desc));
    EXPECT_EQ(list.BackgroundColor, version >= 102 ? 0x336699 : 0) << version;
    EXPECT_EQ(list.FirstLayerOpaque, version >= 105) << version;
  }
}

TEST(WexaHeader, FirstOnlyReadsOneFrameOfFive) {
  WexaFileDesc desc;
  for (int32_t i = 0; i < 5; ++i) {
    WexaFrameDesc f;
    f.width = 3;
    f.height = 2;
    f.duration = i + 1;
    WexaLayerDesc l;
    l.pixels = Pattern(3, 2, 0, uint32_t(i));
    f.layers.push_back(l);
    desc.frames.push_back(f);
  }
  TWexaFrameList all, first;
  LoadBytes(all, BuildWexa(desc));
  LoadBytes(first, BuildWexa(desc), true);
  ASSERT_EQ(all.Count(), 5);
  EXPECT_EQ(all.GetFrame(4).Duration, 5);
  ASSERT_EQ(first.Count(), 1);
  EXPECT_EQ(PixelsOf(first.GetFrame(0).Surface), Pattern(3, 2, 0, 0));
}

TEST(WexaHeader, ShortAndLongHeaderRecords) {
  // A header of 23 bytes stops after the compression byte: the tiles read as 0 (not tiled).
  WexaFileDesc desc = OneLayer(106, 4, 3, 24, Pattern(4, 3));
  desc.header_size = 23;
  desc.tile_width = 2;  // cut off with the rest of the record
  desc.tile_height = 2;
  desc.coding = WexaCoding::Zlib;
  TWexaFrameList a;
  LoadBytes(a, BuildWexa(desc));
  EXPECT_EQ(PixelsOf(a.GetFrame(0).Surface), Pattern(4, 3));
  EXPECT_EQ(a.Compression(), 0);

  // A longer header is read for its 40 bytes and the rest skipped.
  desc.header_size = 64;
  desc.tile_width = desc.tile_height = 0;
  TWexaFrameList b;
  LoadBytes(b, BuildWexa(desc));
  EXPECT_EQ(PixelsOf(b.GetFrame(0).Surface), Pattern(4, 3));
}

TEST(WexaHeader, HeaderVersionFieldSelectsTheFrameLayout) {
  // Tag 104 with a header record that says 100: layers have no UseAlpha byte, frames no rectangle
  // lists, and planes are read in scrambled row order.
  WexaFileDesc desc = OneLayer(104, 5, 4, 24, Pattern(5, 4));
  desc.header_version = 100;
  desc.seed = 99;
  desc.frames[0].rects1 = {{0, 0, 1, 1}};  // not written at version 100
  TWexaFrameList list(99);
  LoadBytes(list, BuildWexa(desc));
  EXPECT_EQ(list.Version, 104);
  EXPECT_EQ(PixelsOf(list.GetFrame(0).Surface), Pattern(5, 4));
  EXPECT_TRUE(list.GetFrame(0).Rects1.empty());
}

TEST(WexaHeader, TagWithNonDigitsRaisesTheConversionError) {
  WexaFileDesc desc = OneLayer(106, 1, 1, 24, {0});
  desc.tag = "Wexa1x6";
  TWexaFrameList list;
  try {
    LoadBytes(list, BuildWexa(desc));
    FAIL() << "nothing raised";
  } catch (const EDIBError& e) {
    EXPECT_EQ(e.Message(), "'1x6' \x82\xCD\x97L\x8C\xF8\x82\xC8\x90\xAE\x90\x94\x92l\x82\xC5\x82\xCD\x82\xA0\x82\xE8\x82\xDC\x82\xB9\x82\xF1");
  }
}

TEST(WexaHeader, UntaggedStreamIsVersionZero) {
  WexaFileDesc desc = OneLayer(0, 3, 3, 24, Pattern(3, 3));
  desc.seed = 5;
  TWexaFrameList list(5);
  LoadBytes(list, BuildWexa(desc));
  EXPECT_EQ(list.Version, 0);
  EXPECT_EQ(list.BackgroundColor, 0);
  EXPECT_EQ(PixelsOf(list.GetFrame(0).Surface), Pattern(3, 3));
  // Read with another seed, the rows land elsewhere.
  TWexaFrameList other(6);
  LoadBytes(other, BuildWexa(desc));
  EXPECT_NE(PixelsOf(other.GetFrame(0).Surface), Pattern(3, 3));
}

// The archive writer's probe and the reader agree on which pictures are stored without compression.
TEST(WexaHeader, ProbeAgreesWithTheReader) {
  struct Case {
    int32_t version;
    WexaCoding coding;
    int32_t header_size;
  };
  const Case cases[] = {{0, WexaCoding::Raw, 40},    {102, WexaCoding::Raw, 40},  {103, WexaCoding::Raw, 40},
                        {103, WexaCoding::Zlib, 40}, {106, WexaCoding::Jpeg, 40}, {106, WexaCoding::Raw, 64},
                        {106, WexaCoding::Zlib, 22}, {105, WexaCoding::Zlib, 23}, {104, WexaCoding::Zlib, 0}};
  for (const Case& c : cases) {
    WexaFileDesc desc = OneLayer(c.version, 2, 2, 24, {0x808080, 0x808080, 0x808080, 0x808080});
    desc.coding = c.coding;
    desc.header_size = c.header_size;
    const std::vector<uint8_t> bytes = BuildWexa(desc);
    TMemoryStream probe{std::span<const uint8_t>(bytes)};
    TMemoryStream read{std::span<const uint8_t>(bytes)};
    const TWexaHeader h = ReadWexaHeader(read);
    const bool reader_says = h.TagVersion >= 103 && h.Compression == 1;
    SCOPED_TRACE(::testing::Message() << "version " << c.version << " header " << c.header_size);
    EXPECT_EQ(WexaIsUncompressed(probe), reader_says);
    TMemoryStream again{std::span<const uint8_t>(bytes)};
    EXPECT_EQ(TWexaFrameList::IsUncompressed(again), reader_says);
    // And the picture itself loads (a header too short to hold the frame count has no frames).
    TWexaFrameList list;
    LoadBytes(list, bytes);
    ASSERT_EQ(list.Count(), c.header_size >= 20 || c.version < 103 ? 1 : 0);
    if (list.Count() == 1) {
      EXPECT_EQ(list.GetFrame(0).Surface.GetPixel(1, 1), 0x808080u);
    }
  }
}

}  // namespace
}  // namespace kova::test
