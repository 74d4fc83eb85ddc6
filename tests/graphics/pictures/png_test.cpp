// PNG and BMP pictures as frames (depth, alpha plane, colour key), telling pictures apart by
// their leading bytes, and loading pictures into drawing surfaces.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "graphics/dibx.h"
#include "graphics/pictures/picture_loader.h"
#include "graphics/pictures/png_loader.h"
#include "graphics/pictures/wexa_test_util.h"
#include "support/bmp_writer.h"
#include "support/png_writer.h"

namespace kova::test {
namespace {

struct PngCase {
  const char* name;
  PngDesc desc;
  int32_t bits;
  std::vector<uint32_t> pixels;  // raw values, top row first
  std::vector<uint32_t> alpha;   // empty: no alpha plane
};

PngDesc Png(int color_type, int depth, std::vector<uint16_t> samples, int32_t w = 2, int32_t h = 1) {
  PngDesc s;
  s.width = w;
  s.height = h;
  s.color_type = color_type;
  s.bit_depth = depth;
  s.samples = std::move(samples);
  return s;
}

TEST(PngFrame, ColourTypes) {
  std::vector<PngCase> cases;
  cases.push_back({"RGB", Png(2, 8, {255, 0, 0, 1, 2, 3}), 24, {0xFF0000, 0x010203}, {}});
  cases.push_back({"RGB 16-bit keeps the high bytes", Png(2, 16, {0xABCD, 0x1234, 0x00FF, 0, 0xFFFF, 0x8000}), 24,
                   {0xAB1200, 0x00FF80}, {}});
  cases.push_back({"RGBA", Png(6, 8, {10, 20, 30, 0, 40, 50, 60, 255}), 24, {0x0A141E, 0x28323C}, {0, 255}});
  cases.push_back({"grey", Png(0, 8, {0x40, 0xFF}), 24, {0x404040, 0xFFFFFF}, {}});
  cases.push_back({"grey 2-bit widened", Png(0, 2, {1, 3}), 24, {0x555555, 0xFFFFFF}, {}});
  cases.push_back({"grey + alpha", Png(4, 8, {0x80, 7, 0x10, 200}), 24, {0x808080, 0x101010}, {7, 200}});
  {
    PngDesc s = Png(3, 4, {0, 2});
    s.palette = {{{1, 2, 3}}, {{4, 5, 6}}, {{7, 8, 9}}};
    cases.push_back({"palette stays 8-bit", s, 8, {0, 2}, {}});
  }
  {
    PngDesc s = Png(3, 8, {0, 1});
    s.palette = {{{255, 0, 0}}, {{0, 0, 255}}};
    s.palette_alpha = {128, 255};
    cases.push_back({"palette with partial transparency becomes RGB + alpha", s, 24, {0xFF0000, 0x0000FF}, {128, 255}});
  }
  {
    PngDesc s = Png(6, 8, {}, 3, 3);
    for (int i = 0; i < 9; ++i) s.samples.insert(s.samples.end(), {uint16_t(i * 20), uint16_t(i), 7, uint16_t(i * 30)});
    s.interlaced = true;
    std::vector<uint32_t> px, alpha;
    for (uint32_t i = 0; i < 9; ++i) {
      px.push_back((i * 20) << 16 | i << 8 | 7);
      alpha.push_back(i * 30);
    }
    cases.push_back({"interlaced RGBA", s, 24, px, alpha});
  }
  for (const PngCase& c : cases) {
    SCOPED_TRACE(c.name);
    TWexaFrameList list;
    LoadBytes(list, BuildPng(c.desc));
    ASSERT_EQ(list.Count(), 1);
    const TWexaFrame& f = list.GetFrame(0);
    EXPECT_EQ(f.Surface.BitCount(), c.bits);
    EXPECT_EQ(PixelsOf(f.Surface), c.pixels);
    ASSERT_EQ(f.HasAlpha(), !c.alpha.empty());
    if (f.HasAlpha()) {
      EXPECT_EQ(PixelsOf(*f.Surface.Alpha()), c.alpha);
    }
    // Without a transparent colour the frame keeps key 0, as such pictures always had.
    EXPECT_EQ(f.TransparentIndex, 0);
    EXPECT_EQ(f.TransparentColor, 0);
  }
}

TEST(PngFrame, TransparentColourIsAColourReference) {
  PngDesc rgb = Png(2, 8, {0x11, 0x22, 0x33, 0, 0, 0});
  rgb.key = std::array<uint16_t, 3>{0x11, 0x22, 0x33};
  TWexaFrameList list;
  LoadBytes(list, BuildPng(rgb));
  EXPECT_EQ(list.GetFrame(0).TransparentColor, 0x332211);  // red in the low byte
  EXPECT_EQ(list.GetFrame(0).TransparentIndex, 0x112233);  // the pixel value it names
  list.MakeMasks();
  EXPECT_EQ(PixelsOf(*list.GetFrame(0).Surface.Alpha()), (std::vector<uint32_t>{0, 255}));

  PngDesc grey16 = Png(0, 16, {0x8000, 0x1234});
  grey16.key = std::array<uint16_t, 3>{0x8000, 0, 0};
  LoadBytes(list, BuildPng(grey16));
  EXPECT_EQ(list.GetFrame(0).TransparentColor, 0x808080);

  // A palette entry that is wholly transparent names its index.
  PngDesc pal = Png(3, 8, {0, 1});
  pal.palette = {{{9, 8, 7}}, {{1, 2, 3}}};
  pal.palette_alpha = {255, 0};
  LoadBytes(list, BuildPng(pal));
  EXPECT_EQ(list.GetFrame(0).Surface.BitCount(), 8);
  EXPECT_EQ(list.GetFrame(0).TransparentIndex, 1);
  EXPECT_EQ(list.GetFrame(0).TransparentColor, 0x030201);
}

TEST(PngFrame, DamagedFilesRaise) {
  const std::vector<uint8_t> good = BuildPng(Png(2, 8, {1, 2, 3, 4, 5, 6}));
  for (size_t cut : {size_t(8), size_t(20), good.size() - 20}) {
    std::vector<uint8_t> part(good.begin(), good.begin() + ptrdiff_t(cut));
    TWexaFrameList list;
    EXPECT_THROW(LoadBytes(list, part), EDIBError) << cut;
  }
  std::vector<uint8_t> bad_crc = good;
  bad_crc[29] ^= 0xFF;  // inside the header chunk's CRC
  TWexaFrameList list;
  EXPECT_THROW(LoadBytes(list, bad_crc), EDIBError);
}

TEST(BmpFrame, DepthsAlphaAndKey) {
  BmpFields rgb;
  rgb.width = 2;
  rgb.height = 1;
  rgb.bit_count = 24;
  rgb.pixels = {0x102030, 0x405060};
  TWexaFrameList list;
  LoadBytes(list, BuildBmp(rgb));
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(PixelsOf(list.GetFrame(0).Surface), (std::vector<uint32_t>{0x102030, 0x405060}));
  EXPECT_FALSE(list.GetFrame(0).HasAlpha());
  EXPECT_EQ(list.GetFrame(0).TransparentIndex, 0);
  EXPECT_EQ(list.GetFrame(0).TransparentColor, 0);

  // 32 bits: the fourth byte is the alpha plane and the picture becomes 24-bit...
  BmpFields argb = rgb;
  argb.bit_count = 32;
  argb.pixels = {0x80102030, 0xFF405060};
  LoadBytes(list, BuildBmp(argb));
  EXPECT_EQ(list.GetFrame(0).Surface.BitCount(), 24);
  ASSERT_TRUE(list.GetFrame(0).HasAlpha());
  EXPECT_EQ(PixelsOf(*list.GetFrame(0).Surface.Alpha()), (std::vector<uint32_t>{0x80, 0xFF}));
  // ...unless every fourth byte is 0: a plain picture, which would otherwise vanish.
  argb.pixels = {0x00102030, 0x00405060};
  LoadBytes(list, BuildBmp(argb));
  EXPECT_EQ(list.GetFrame(0).Surface.BitCount(), 24);
  EXPECT_FALSE(list.GetFrame(0).HasAlpha());

  BmpFields pal;
  pal.width = 2;
  pal.height = 1;
  pal.bit_count = 8;
  pal.palette = {{{0, 0, 0}}, {{255, 0, 0}}};
  pal.colors_used = 2;
  pal.pixels = {1, 0};
  LoadBytes(list, BuildBmp(pal));
  EXPECT_EQ(list.GetFrame(0).Surface.BitCount(), 8);  // BMP frames are not post-processed
}

TEST(PictureKinds, ChosenByContentNotByName) {
  BmpFields bmp;
  bmp.width = 1;
  bmp.height = 1;
  bmp.pixels = {0x010203};
  const std::vector<uint8_t> png = BuildPng(Png(2, 8, {4, 5, 6}, 1, 1));
  const std::vector<uint8_t> wexa = BuildWexa(OneLayer(106, 1, 1, 24, {0x070809}));
  const std::vector<uint8_t> old = BuildWexa(OneLayer(0, 1, 1, 24, {0x0A0B0C}));

  struct Case {
    const std::vector<uint8_t>* bytes;
    TPictureKind kind;
    uint32_t pixel;
  };
  const std::vector<uint8_t> bmp_bytes = BuildBmp(bmp);
  const Case cases[] = {{&bmp_bytes, TPictureKind::Bmp, 0x010203},
                        {&png, TPictureKind::Png, 0x040506},
                        {&wexa, TPictureKind::Wexa, 0x070809},
                        {&old, TPictureKind::Unknown, 0x0A0B0C}};
  const auto dir = std::filesystem::temp_directory_path() / "kova_picture_kinds";
  std::filesystem::create_directories(dir);
  int i = 0;
  for (const Case& c : cases) {
    TMemoryStream s{std::span<const uint8_t>(*c.bytes)};
    EXPECT_EQ(SniffPictureHere(s), c.kind);
    // Any name will do: the file's bytes decide.
    const auto path = dir / ("picture" + std::to_string(i++) + ".dat");
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(c.bytes->data()), std::streamsize(c.bytes->size()));
    TWexaFrameList list;
    list.LoadFromFile(path.string(), false);
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.GetFrame(0).Surface.GetPixel(0, 0), c.pixel);
  }
  std::filesystem::remove_all(dir);
}

TEST(SurfaceLoading, PicturesTakeTheSurfaceDepth) {
  BmpFields bmp;
  bmp.width = 2;
  bmp.height = 1;
  bmp.pixels = {0xFF0000, 0x0000FF};
  const std::vector<uint8_t> bmp_bytes = BuildBmp(bmp);
  PngDesc rgba = Png(6, 8, {255, 0, 0, 0, 0, 0, 255, 255});
  const std::vector<uint8_t> png = BuildPng(rgba);
  WexaFileDesc desc = OneLayer(106, 2, 1, 24, {0xFF0000, 0x0000FF});
  desc.permuted = true;
  desc.seed = 31;
  const std::vector<uint8_t> wexa = BuildWexa(desc);

  for (const std::vector<uint8_t>* bytes : {&bmp_bytes, &png, &wexa}) {
    SCOPED_TRACE(bytes == &bmp_bytes ? "BMP" : bytes == &png ? "PNG" : "layered");
    TDIBX surface;
    surface.SetSize(5, 5, 16);
    TMemoryStream s{std::span<const uint8_t>(*bytes)};
    s.SetPosition(3);  // the signatures are looked for at fixed offsets
    surface.LoadFromStream(&s, 31);
    EXPECT_EQ(surface.Width(), 2);
    EXPECT_EQ(surface.BitCount(), 16);
    EXPECT_EQ(surface.GetPixel(0, 0), 0xF800u);
    EXPECT_EQ(surface.GetPixel(1, 0), 0x001Fu);
  }
}

TEST(SurfaceLoading, NothingMatchingLeavesTheSurface) {
  // An untagged layered picture has no signature a surface could recognise.
  const std::vector<uint8_t> old = BuildWexa(OneLayer(0, 1, 1, 24, {0x0A0B0C}));
  TDIBX surface;
  surface.SetSize(3, 3, 32);
  surface.SetPixel(1, 1, 0x123456);
  const std::vector<uint8_t> junk = {'J', 'U', 'N', 'K', 0, 0, 0, 0};
  TMemoryStream s{std::span<const uint8_t>(junk)};
  surface.LoadFromStream(&s, 0);
  TMemoryStream o{std::span<const uint8_t>(old)};
  surface.LoadFromStream(&o, 0);
  surface.LoadFromStream(nullptr, 0);
  surface.LoadFromFile("/nonexistent/picture.bmp");
  EXPECT_EQ(surface.Width(), 3);
  EXPECT_EQ(surface.GetPixel(1, 1), 0x123456u);
}

}  // namespace
}  // namespace kova::test
