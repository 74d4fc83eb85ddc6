#include <gtest/gtest.h>

#include <vector>

#include "core/stream.h"
#include "graphics/dib.h"
#include "graphics/graphics_test_util.h"
#include "support/bmp_writer.h"
#include "support/le_writer.h"

namespace kova {
namespace {

using test::BmpFields;
using test::BuildBmp;
using test::DibErrorOf;
using test::RleStream;

void Load(TDIB& dib, const std::vector<uint8_t>& bytes) {
  TSpanStream stream(bytes);
  dib.LoadFromStream(stream);
}

void ExpectPixels(const TDIB& dib, int32_t width, int32_t height, const std::vector<uint32_t>& pixels) {
  ASSERT_EQ(dib.Width(), width);
  ASSERT_EQ(dib.Height(), height);
  for (int32_t y = 0; y < height; ++y)
    for (int32_t x = 0; x < width; ++x)
      EXPECT_EQ(dib.GetPixel(x, y), pixels[size_t(y * width + x)]) << "pixel " << x << "," << y;
}

std::vector<std::array<uint8_t, 3>> SmallPalette(int bits) {
  std::vector<std::array<uint8_t, 3>> p;
  for (int i = 0; i < (1 << bits); ++i) p.push_back({uint8_t(i * 3), uint8_t(i * 5), uint8_t(255 - i)});
  return p;
}

struct Layout {
  const char* name;
  uint16_t bits;
  uint32_t compression;
  std::array<uint32_t, 3> masks;
  TDIBPixelFormat format;
  std::vector<uint32_t> pixels;  // 5 x 2, top row first
};

std::vector<Layout> Layouts() {
  return {
      {"1 bit", 1, 0, {}, kFormat888, {1, 0, 1, 1, 0, 0, 1, 0, 0, 1}},
      {"4 bits", 4, 0, {}, kFormat888, {1, 2, 3, 4, 5, 15, 14, 13, 0, 7}},
      {"8 bits", 8, 0, {}, kFormat888, {1, 200, 3, 255, 5, 0, 14, 130, 9, 7}},
      {"16 bits 5-5-5", 16, 0, {}, kFormat555, {0x7C00, 0x3E0, 0x1F, 0x7FFF, 1, 0, 0x1234, 0x4321, 2, 3}},
      {"16 bits 5-6-5", 16, 3, {0xF800, 0x7E0, 0x1F}, kFormat565,
       {0xF800, 0x7E0, 0x1F, 0xFFFF, 1, 0, 0x1234, 0x8421, 2, 3}},
      {"16 bits 5-5-5 fields", 16, 3, {0x7C00, 0x3E0, 0x1F}, kFormat555,
       {0x7C00, 0x3E0, 0x1F, 0x7FFF, 1, 0, 0x1234, 0x4321, 2, 3}},
      {"24 bits", 24, 0, {}, kFormat888,
       {0xFF0000, 0xFF00, 0xFF, 0x123456, 1, 0, 0xABCDEF, 0x10, 0x808080, 3}},
      {"32 bits", 32, 0, {}, kFormat888, {0xFF0000, 0xFF00, 0xFF, 0x123456, 1, 0, 0xABCDEF, 0x10, 0x808080, 3}},
      {"32 bits fields", 32, 3, {0xFF0000, 0xFF00, 0xFF}, kFormat888,
       {0xFF0000, 0xFF00, 0xFF, 0x123456, 1, 0, 0xABCDEF, 0x10, 0x808080, 3}},
  };
}

// Every depth, with each header kind and row order the format allows.
TEST(DibBmp, ReadsEveryLayout) {
  for (const Layout& l : Layouts()) {
    for (int variant = 0; variant < 3; ++variant) {
      const bool core = variant == 2, top_down = variant == 1;
      if (core && l.compression != 0) continue;
      SCOPED_TRACE(std::string(l.name) + (core ? " core" : top_down ? " top-down" : ""));
      BmpFields s;
      s.width = 5;
      s.height = top_down ? -2 : 2;
      s.bit_count = l.bits;
      s.core_header = core;
      s.compression = l.compression;
      s.masks = l.masks;
      if (l.bits <= 8) s.palette = SmallPalette(l.bits);
      s.pixels = l.pixels;
      TDIB dib;
      Load(dib, BuildBmp(s));
      EXPECT_EQ(dib.BitCount(), l.bits);
      EXPECT_EQ(dib.NowPixelFormat(), l.format);
      ExpectPixels(dib, 5, 2, l.pixels);
      if (l.bits <= 8) {
        const auto& last = s.palette.back();
        EXPECT_EQ(dib.ColorTable()[size_t((1 << l.bits) - 1)], (TRGBQuad{last[2], last[1], last[0], 0}));
      }
    }
  }
}

TEST(DibBmp, PartialColourTableAndPixelOffset) {
  BmpFields s;
  s.width = 3;
  s.height = 1;
  s.bit_count = 8;
  s.palette = {{10, 20, 30}, {40, 50, 60}};
  s.colors_used = 2;
  s.pixels = {1, 0, 1};
  s.gap = 6;  // pixels start six bytes after the table, as the file header says
  TDIB dib;
  Load(dib, BuildBmp(s));
  ExpectPixels(dib, 3, 1, {1, 0, 1});
  EXPECT_EQ(dib.ColorTable()[1], (TRGBQuad{60, 50, 40, 0}));
  EXPECT_EQ(dib.ColorTable()[2], (TRGBQuad{2, 2, 2, 0}));  // beyond the table: greys
}

TEST(DibBmp, ReadsRle8) {
  BmpFields s;
  s.width = 6;
  s.height = 3;
  s.bit_count = 8;
  s.compression = 1;
  s.palette = SmallPalette(8);
  // Bottom row first; a delta moves right 3 and one row up the picture.
  s.rle = RleStream().Run(3, 5).Literal8({1, 2, 3}).EndOfLine().Run(1, 7).Delta(3, 1).Run(2, 9).EndOfBitmap().Data();
  TDIB dib;
  Load(dib, BuildBmp(s));
  EXPECT_EQ(dib.BitCount(), 8);
  ExpectPixels(dib, 6, 3, {0, 0, 0, 0, 9, 9, /**/ 7, 0, 0, 0, 0, 0, /**/ 5, 5, 5, 1, 2, 3});
}

TEST(DibBmp, ReadsRle4) {
  BmpFields s;
  s.width = 5;
  s.height = 2;
  s.bit_count = 4;
  s.compression = 2;
  s.palette = SmallPalette(4);
  s.rle = RleStream().Run(5, 0x12).EndOfLine().Literal4({3, 4, 5}).Delta(1, 0).Run(1, 0x60).Data();
  TDIB dib;
  Load(dib, BuildBmp(s));  // no end-of-bitmap: the data's end closes the picture
  ExpectPixels(dib, 5, 2, {3, 4, 5, 0, 6, /**/ 1, 2, 1, 2, 1});
}

TEST(DibBmp, WritesTheFileLayout) {
  TDIB dib;
  dib.PixelFormat = kFormat565;
  dib.SetSize(3, 2, 16);
  dib.SetPixel(0, 0, 0xF800);
  TMemoryStream out;
  dib.SaveToStream(out);
  const uint8_t* b = out.Memory();
  // 14 + 40 + 12 bytes of masks, then two rows of 8 bytes.
  ASSERT_EQ(out.Size(), 14 + 52 + 16);
  EXPECT_EQ(b[0], 'B');
  EXPECT_EQ(b[1], 'M');
  EXPECT_EQ(b[2], 82);   // file size
  EXPECT_EQ(b[10], 66);  // pixel offset
  EXPECT_EQ(b[14], 40);
  EXPECT_EQ(b[28], 16);  // bit count
  EXPECT_EQ(b[30], 3);   // bit fields
  EXPECT_EQ(b[34], 16);  // image size
  EXPECT_EQ(b[54 + 1], 0xF8);  // red mask 0xF800
  EXPECT_EQ(b[58 + 1], 0x07);  // green mask 0x7E0
  EXPECT_EQ(b[62], 0x1F);
  EXPECT_EQ(b[66 + 8 + 1], 0xF8);  // the top row is stored last
  TMemoryStream none;
  TDIB().SaveToStream(none);
  EXPECT_EQ(none.Size(), 0);
}

TEST(DibBmp, RoundTripsEveryDepth) {
  for (const Layout& l : Layouts()) {
    SCOPED_TRACE(l.name);
    TDIB dib;
    dib.PixelFormat = l.format;
    dib.SetSize(5, 2, l.bits);
    if (l.bits <= 8) dib.ColorTable()[1] = {1, 2, 3, 0};
    for (int32_t i = 0; i < 10; ++i) dib.SetPixel(i % 5, i / 5, l.pixels[size_t(i)]);
    TMemoryStream out;
    dib.SaveToStream(out);
    TDIB back;
    out.SetPosition(0);
    back.LoadFromStream(out);
    EXPECT_EQ(back.BitCount(), l.bits);
    EXPECT_EQ(back.NowPixelFormat(), l.format);
    if (l.bits <= 8) {
      EXPECT_EQ(back.ColorTable()[1], (TRGBQuad{1, 2, 3, 0}));
    }
    ExpectPixels(back, 5, 2, l.pixels);
  }
  // RLE pictures come back as plain 8-bit pictures with the same pixels.
  BmpFields s;
  s.width = 4;
  s.height = 1;
  s.bit_count = 8;
  s.compression = 1;
  s.palette = SmallPalette(8);
  s.rle = RleStream().Run(4, 200).EndOfBitmap().Data();
  TDIB rle;
  Load(rle, BuildBmp(s));
  TMemoryStream out;
  rle.SaveToStream(out);
  TDIB back;
  out.SetPosition(0);
  back.LoadFromStream(out);
  ExpectPixels(back, 4, 1, {200, 200, 200, 200});
}

TEST(DibBmp, NothingToReadAndHeaderOnly) {
  TDIB dib;
  dib.SetSize(2, 2, 8);
  Load(dib, {});
  EXPECT_EQ(dib.Width(), 2);  // unchanged
  test::LeWriter header_only;
  header_only.Raw("BM").U32(14).U32(0).U32(14);
  Load(dib, header_only.Bytes());
  EXPECT_TRUE(dib.Empty());
}

TEST(DibBmp, MalformedFilesRaiseTheirMessages) {
  BmpFields good;
  good.width = 4;
  good.height = 2;
  good.bit_count = 24;
  good.pixels.assign(8, 0x123456);
  const std::vector<uint8_t> good_bytes = BuildBmp(good);

  auto with = [&](auto change) {
    BmpFields s = good;
    change(s);
    return BuildBmp(s);
  };
  auto patched = [&](size_t at, uint8_t value) {
    std::vector<uint8_t> b = good_bytes;
    b[at] = value;
    return b;
  };
  BmpFields rle8;
  rle8.width = 4;
  rle8.height = 2;
  rle8.bit_count = 8;
  rle8.compression = 1;
  rle8.palette = SmallPalette(8);
  auto rle = [&](const RleStream& code) {
    BmpFields s = rle8;
    s.rle = code.Data();
    return BuildBmp(s);
  };

  struct Case {
    const char* name;
    std::vector<uint8_t> bytes;
    std::string message;
  } cases[] = {
      {"short file header", std::vector<uint8_t>(good_bytes.begin(), good_bytes.begin() + 10), test::kMsgInvalidDib},
      {"wrong signature", patched(1, 'X'), test::kMsgInvalidDib},
      {"info header cut short", std::vector<uint8_t>(good_bytes.begin(), good_bytes.begin() + 30), test::kMsgInvalidDib},
      {"108-byte header", patched(14, 108), test::kMsgInvalidDib},
      {"bit count 7", with([](BmpFields& s) { s.bit_count = 7; }),
       test::kMsgInvalidBitCountPrefix + "7)"},
      {"masks in blue-green-red order",
       with([](BmpFields& s) { s.bit_count = 16; s.compression = 3; s.masks = {0x1F, 0x7E0, 0xF800}; s.pixels.assign(8, 0); }),
       test::kMsgInvalidPixelFormat},
      {"ten-bit channels",
       with([](BmpFields& s) { s.bit_count = 32; s.compression = 3; s.masks = {0x3FF00000, 0xFFC00, 0x3FF}; }),
       test::kMsgInvalidPixelFormat},
      {"compression 4", with([](BmpFields& s) { s.compression = 4; }), test::kMsgInvalidDib},
      {"RLE8 at 24 bits", with([](BmpFields& s) { s.compression = 1; s.rle = {0, 1}; }), test::kMsgInvalidDib},
      {"zero width", with([](BmpFields& s) { s.width = 0; s.pixels.clear(); }), test::kMsgInvalidDib},
      {"pixels cut short", std::vector<uint8_t>(good_bytes.begin(), good_bytes.end() - 1), test::kMsgInvalidDib},
      {"height beyond the data", patched(22, 200), test::kMsgInvalidDib},
      {"colour count beyond the data", with([](BmpFields& s) { s.colors_used = 100000; }), test::kMsgInvalidDib},
      {"RLE literal cut short", rle(RleStream().Bytes({0, 5, 1, 2})), test::kMsgInvalidDib},
      {"RLE delta cut short", rle(RleStream().Bytes({0, 2, 1})), test::kMsgInvalidDib},
      {"RLE run past the row end", rle(RleStream().Run(5, 1)), test::kMsgInvalidDib},
      {"RLE rows past the top", rle(RleStream().EndOfLine().EndOfLine().Run(1, 1)), test::kMsgInvalidDib},
      {"RLE delta past the top", rle(RleStream().Delta(0, 2).Run(1, 1)), test::kMsgInvalidDib},
      {"RLE odd trailing byte", rle(RleStream().Run(1, 1).Bytes({3})), test::kMsgInvalidDib},
      {"RLE size beyond the data", with([&](BmpFields& s) { s = rle8; s.rle = {2, 1, 0, 1}; s.image_size = 400; }),
       test::kMsgInvalidDib},
      {"RLE picture too large", with([&](BmpFields& s) { s = rle8; s.width = 30000; s.height = 30000; s.rle = {0, 1}; }),
       test::kMsgInvalidDib},
      {"RLE top-down", with([&](BmpFields& s) { s = rle8; s.height = -2; s.rle = {0, 1}; }), test::kMsgInvalidDib},
  };
  for (const Case& c : cases) {
    TDIB dib;
    dib.SetSize(3, 3, 8);
    dib.SetPixel(1, 1, 42);
    EXPECT_EQ(DibErrorOf([&] { Load(dib, c.bytes); }), c.message) << c.name;
    // A failed load keeps the previous picture.
    EXPECT_EQ(dib.Width(), 3) << c.name;
    EXPECT_EQ(dib.GetPixel(1, 1), 42u) << c.name;
  }
}

}  // namespace
}  // namespace kova
