// JPEG-coded colour planes: flat colours decode exactly, photographic pictures within a tolerance,
// other frame depths take the decoded colours converted, and alpha planes beside them are zlib rows.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "graphics/pictures/jpeg_plane.h"
#include "graphics/pictures/wexa_test_util.h"

namespace kova::test {
namespace {

std::vector<uint32_t> Flat(int32_t w, int32_t h, uint32_t rgb) { return std::vector<uint32_t>(size_t(w * h), rgb); }

// A smooth picture with detail: gradients and a soft diagonal wave.
std::vector<uint32_t> Photo(int32_t w, int32_t h) {
  std::vector<uint32_t> out;
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w; ++x) {
      const uint32_t r = uint32_t(x * 255 / (w - 1));
      const uint32_t g = uint32_t(y * 255 / (h - 1));
      const uint32_t b = uint32_t(128 + 60 * std::sin((x + y) * 0.15));
      out.push_back(r << 16 | g << 8 | b);
    }
  }
  return out;
}

struct ChannelError {
  int worst = 0;
  double mean = 0;
};

ChannelError CompareChannels(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
  ChannelError e;
  double sum = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    for (int shift : {0, 8, 16}) {
      const int d = std::abs(int(a[i] >> shift & 255) - int(b[i] >> shift & 255));
      e.worst = std::max(e.worst, d);
      sum += d;
    }
  }
  e.mean = sum / double(a.size() * 3);
  return e;
}

// Colours whose YCbCr form converts back to themselves (greys and others; libjpeg's colour
// conversion moves some colours, such as 0xFF0000, by one step, whatever the decoder does).
TEST(WexaJpeg, FlatColoursDecodeExactly) {
  for (uint32_t colour : {0x000000u, 0xFFFFFFu, 0x7F7F7Fu, 0x102030u, 0xC0C000u, 0x800000u, 0x00FFFFu, 0x404080u}) {
    WexaFileDesc desc = OneLayer(106, 37, 21, 24, Flat(37, 21, colour));
    desc.coding = WexaCoding::Jpeg;
    desc.jpeg_quality = 95;
    TWexaFrameList list;
    LoadBytes(list, BuildWexa(desc));
    EXPECT_EQ(PixelsOf(list.GetFrame(0).Surface), Flat(37, 21, colour)) << std::hex << colour;
  }
}

// Photographic planes at quality 95 (colour planes subsampled 2 x 2): every channel within 16 of
// the original, and within 2 on average.
TEST(WexaJpeg, PhotographicPlaneWithinTolerance) {
  const std::vector<uint32_t> picture = Photo(64, 48);
  WexaFileDesc desc = OneLayer(103, 64, 48, 24, picture);
  desc.coding = WexaCoding::Jpeg;
  desc.jpeg_quality = 95;
  TWexaFrameList list;
  LoadBytes(list, BuildWexa(desc));
  const ChannelError e = CompareChannels(PixelsOf(list.GetFrame(0).Surface), picture);
  EXPECT_LE(e.worst, 16);
  EXPECT_LE(e.mean, 2.0);
}

TEST(WexaJpeg, OtherFrameDepthsTakeConvertedColours) {
  // 32-bit frame: the decoded colour with the top byte 0; 16-bit: packed 5-6-5.
  WexaFileDesc desc = OneLayer(106, 8, 8, 32, Flat(8, 8, 0x5AC0C000));
  desc.coding = WexaCoding::Jpeg;
  desc.jpeg_quality = 100;
  TWexaFrameList list;
  LoadBytes(list, BuildWexa(desc));
  EXPECT_EQ(list.GetFrame(0).Surface.BitCount(), 32);
  EXPECT_EQ(list.GetFrame(0).Surface.GetPixel(3, 3), 0xC0C000u);

  WexaFileDesc s16 = OneLayer(106, 8, 8, 16, Flat(8, 8, 0xF800));
  s16.coding = WexaCoding::Jpeg;
  s16.jpeg_quality = 100;
  TWexaFrameList l16;
  LoadBytes(l16, BuildWexa(s16));
  EXPECT_EQ(l16.GetFrame(0).Surface.GetPixel(7, 7), 0xF800u);
}

TEST(WexaJpeg, AlphaPlaneBesideAJpegPlane) {
  WexaFileDesc desc = OneLayer(106, 9, 6, 24, Flat(9, 6, 0x404040));
  desc.coding = WexaCoding::Jpeg;
  desc.tile_width = 4;  // never applies to JPEG-coded pictures
  desc.tile_height = 4;
  desc.permuted = true;
  desc.frames[0].layers[0].alpha = AlphaPattern(9, 6);
  desc.frames[0].layers[0].use_alpha = true;
  TWexaFrameList list;
  LoadBytes(list, BuildWexa(desc));
  const TWexaFrame& f = list.GetFrame(0);
  ASSERT_TRUE(f.HasAlpha());
  const std::vector<uint8_t> stored = AlphaPattern(9, 6);
  const std::vector<uint32_t> alpha(stored.begin(), stored.end());
  EXPECT_EQ(PixelsOf(*f.Surface.Alpha()), alpha);
}

TEST(WexaJpeg, PictureOfAnotherSizeIsRefused) {
  WexaFileDesc desc = OneLayer(106, 8, 8, 24, Flat(8, 8, 0));
  desc.coding = WexaCoding::Jpeg;
  desc.frames[0].layers[0].color_stored = EncodeJpeg(9, 8, Flat(9, 8, 0), 90);
  TWexaFrameList list;
  EXPECT_THROW(LoadBytes(list, BuildWexa(desc)), EDIBError);
  EXPECT_EQ(list.Count(), 0);
}

TEST(WexaJpeg, DecoderErrorsRaise) {
  const std::vector<uint8_t> good = EncodeJpeg(16, 16, Photo(16, 16), 90);
  TDIBSurface s;
  EXPECT_THROW(DecodeJpegPlane(std::span<const uint8_t>(good.data(), 20), 16, 16, s), EDIBError);
  std::vector<uint8_t> not_jpeg = {0x89, 'P', 'N', 'G', 1, 2, 3};
  EXPECT_THROW(DecodeJpegPlane(not_jpeg, 16, 16, s), EDIBError);
  DecodeJpegPlane(good, 16, 16, s);
  EXPECT_EQ(s.BitCount(), 24);
}

}  // namespace
}  // namespace kova::test
