// Damaged pictures: each malformed size, count, reference and plane length raises one of the
// system's errors; cut-short and mutated fixtures never crash or read out of bounds (the sanitizer
// build checks that); and the seed corpus of the fuzz targets replays through every loader.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

#include <zlib.h>

#include "graphics/dibx.h"
#include "graphics/pictures/picture_loader.h"
#include "graphics/pictures/wexa_test_util.h"
#include "support/bmp_writer.h"
#include "support/png_writer.h"

namespace kova::test {
namespace {

// Runs every loader over the bytes, then what the image cache does with each frame. Only the
// system's own errors may come out.
void ExerciseAllLoaders(const std::vector<uint8_t>& bytes) {
  const auto guarded = [](auto&& f) {
    try {
      f();
    } catch (const EKovaError&) {
    }
  };
  for (int mode = 0; mode < 4; ++mode) {
    TWexaFrameList list(0x5EED);
    list.TargetBitCount = mode == 1 ? 16 : 0;
    TMemoryStream s{std::span<const uint8_t>(bytes)};
    guarded([&] {
      switch (mode) {
        case 0: list.LoadFromStream(s, false); break;
        case 1: list.LoadLayered(s, false); break;
        case 2: list.LoadPng(s); break;
        default: list.LoadBmp(s); break;
      }
    });
    for (int32_t i = 0; i < list.Count(); ++i) {
      TWexaFrame& f = list.GetFrame(i);
      // Mutated sizes may give pictures of millions of pixels; the copies add nothing for those.
      if (int64_t(f.Surface.Width()) * f.Surface.Height() > (1 << 16)) continue;
      f.MakeMask();
      f.GetOpaqueRect();
      TDIBX target, mask;
      target.SetSize(1, 1, 32);
      f.CopyToDIBX(target);
      f.CopyAlphaToDIBX(mask);
    }
  }
  TDIBX surface;
  surface.SetSize(1, 1, 16);
  TMemoryStream s{std::span<const uint8_t>(bytes)};
  guarded([&] { surface.LoadFromStream(&s, 7); });
}

// Small fixtures covering every loader path; also the seed corpus of the fuzz targets.
std::vector<std::pair<std::string, std::vector<uint8_t>>> SeedPictures() {
  std::vector<std::pair<std::string, std::vector<uint8_t>>> out;
  for (int32_t v : {0, 100, 102, 104}) {
    WexaFileDesc desc = OneLayer(v, 5, 3, 24, Pattern(5, 3));
    desc.seed = 0x5EED;
    desc.frames[0].layers[0].alpha = AlphaPattern(5, 3);
    desc.frames[0].rects1 = {{0, 0, 2, 2}};
    out.push_back({"wexa_v" + std::to_string(v) + ".wxa", BuildWexa(desc)});
  }
  {
    WexaFileDesc desc = OneLayer(106, 6, 4, 8, Pattern(6, 4, 4));
    desc.coding = WexaCoding::Zlib;
    desc.frames[0].palette = {0x000000, 0xFF0000, 0x00FF00, 0x0000FF};
    desc.frames[0].transparent_index = 2;
    desc.frames[0].layers.push_back(desc.frames[0].layers[0]);
    desc.frames[0].layers[1].opacity = 100;
    out.push_back({"wexa_v106_zlib_palette.wxa", BuildWexa(desc)});
  }
  {
    WexaFileDesc desc = OneLayer(106, 8, 8, 24, std::vector<uint32_t>(64, 0x336699));
    desc.coding = WexaCoding::Jpeg;
    desc.jpeg_quality = 50;
    desc.frames[0].layers[0].alpha = AlphaPattern(8, 8);
    desc.frames[0].layers[0].use_alpha = true;
    out.push_back({"wexa_v106_jpeg.wxa", BuildWexa(desc)});
  }
  {
    WexaFileDesc desc = OneLayer(105, 5, 3, 16, Pattern(5, 3, 0x10000));
    desc.tile_width = 2;
    desc.tile_height = 2;
    desc.permuted = true;
    desc.seed = 0x5EED;
    desc.frames.push_back(desc.frames[0]);
    desc.frames[1].layers[0].color_tiles.assign(6, WexaTile{});
    desc.frames[1].layers[0].color_tiles[1] = {0, 0};
    desc.frames[1].layers[0].color_tiles[4] = {-2, 0};
    desc.frames[1].layers[0].pixels = Pattern(5, 3, 0x10000);
    out.push_back({"wexa_v105_tiles.wxa", BuildWexa(desc)});
  }
  {
    PngDesc rgb;
    rgb.width = 2;
    rgb.height = 2;
    rgb.samples = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    rgb.key = std::array<uint16_t, 3>{1, 2, 3};
    out.push_back({"png_rgb_key.png", BuildPng(rgb)});
    PngDesc rgba;
    rgba.width = 3;
    rgba.height = 3;
    rgba.color_type = 6;
    rgba.interlaced = true;
    for (int i = 0; i < 36; ++i) rgba.samples.push_back(uint16_t(i * 7));
    out.push_back({"png_rgba_interlaced.png", BuildPng(rgba)});
    PngDesc pal;
    pal.width = 4;
    pal.height = 1;
    pal.color_type = 3;
    pal.bit_depth = 2;
    pal.samples = {0, 1, 2, 3};
    pal.palette = {{{0, 0, 0}}, {{9, 9, 9}}, {{200, 0, 0}}, {{0, 200, 0}}};
    pal.palette_alpha = {255, 0};
    out.push_back({"png_palette_trns.png", BuildPng(pal)});
    PngDesc grey;
    grey.width = 2;
    grey.height = 1;
    grey.color_type = 0;
    grey.bit_depth = 16;
    grey.samples = {0x1234, 0xFFFF};
    out.push_back({"png_grey16.png", BuildPng(grey)});
  }
  {
    BmpFields bmp;
    bmp.width = 3;
    bmp.height = 2;
    bmp.pixels = {1, 2, 3, 4, 5, 6};
    out.push_back({"bmp_24.bmp", BuildBmp(bmp)});
    bmp.bit_count = 32;
    bmp.pixels = {0x80000001, 0xFF000002, 0, 4, 5, 0x10000006};
    out.push_back({"bmp_32_alpha.bmp", BuildBmp(bmp)});
    BmpFields rle;
    rle.width = 4;
    rle.height = 2;
    rle.bit_count = 8;
    rle.compression = 1;
    rle.palette = {{{0, 0, 0}}, {{255, 255, 255}}};
    rle.colors_used = 2;
    rle.rle = RleStream().Run(4, 1).EndOfLine().Literal8({0, 1, 1}).EndOfBitmap().Data();
    out.push_back({"bmp_rle8.bmp", BuildBmp(rle)});
  }
  return out;
}

// The seed corpus lives in tests/graphics/corpus, beside the fuzz targets' other inputs.
std::filesystem::path CorpusFolder() {
  return std::filesystem::path(KOVA_TESTS_DIR) / "graphics" / "corpus";
}

TEST(PictureCorpus, ReplaysEveryFileThroughEveryLoader) {
  size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(CorpusFolder())) {
    if (!entry.is_regular_file() || entry.path().filename().string().starts_with(".")) continue;
    SCOPED_TRACE(entry.path().filename().string());
    std::ifstream in(entry.path(), std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ExerciseAllLoaders(bytes);
    ++files;
  }
  EXPECT_GE(files, SeedPictures().size());
}

// Rewrites the seed corpus (run with KOVA_WRITE_PICTURE_CORPUS=1 after changing the fixtures).
TEST(PictureCorpus, SeedFilesAreCurrent) {
  for (const auto& [name, bytes] : SeedPictures()) {
    const auto path = CorpusFolder() / name;
    if (std::getenv("KOVA_WRITE_PICTURE_CORPUS")) {
      std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    }
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> stored((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // JPEG coders may differ between library builds; only the layout of the rest must match.
    if (name.find("jpeg") == std::string::npos) {
      EXPECT_EQ(stored, bytes) << name;
    }
  }
}

// Every prefix of every seed, and a few thousand seeded byte mutations of them.
TEST(PictureMalformed, CutAndMutatedFilesNeverCrash) {
  std::mt19937 rng(20240601);
  for (const auto& [name, bytes] : SeedPictures()) {
    SCOPED_TRACE(name);
    for (size_t cut = 0; cut < bytes.size(); cut += 1 + cut / 64) {
      ExerciseAllLoaders(std::vector<uint8_t>(bytes.begin(), bytes.begin() + ptrdiff_t(cut)));
    }
    for (int round = 0; round < 150; ++round) {
      std::vector<uint8_t> m = bytes;
      const int flips = 1 + int(rng() % 4);
      for (int k = 0; k < flips; ++k) {
        size_t at = rng() % m.size();
        // A BMP's width and height are the bitmap reader's to check (it accepts pictures of tens of
        // millions of pixels, which only make this loop slow); they stay as written.
        if (name.starts_with("bmp") && at >= 18 && at < 26) at = 26;
        m[at] = (rng() % 3 == 0) ? uint8_t(0xFF) : uint8_t(rng());
      }
      ExerciseAllLoaders(m);
    }
  }
}

template <class E>
void ExpectRaises(const std::vector<uint8_t>& bytes, const char* what) {
  TWexaFrameList list(0x5EED);
  EXPECT_THROW(LoadBytes(list, bytes), E) << what;
}

std::vector<uint8_t> Zlib(const std::vector<uint8_t>& data) {
  uLongf size = compressBound(uLong(data.size()));
  std::vector<uint8_t> out(size);
  compress2(out.data(), &size, data.data(), uLong(data.size()), 6);
  out.resize(size);
  return out;
}

std::vector<uint8_t> Patched(std::vector<uint8_t> bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes.at(at + size_t(i)) = uint8_t(value >> (8 * i));
  return bytes;
}

TEST(PictureMalformed, EachBadFieldRaises) {
  const auto with = [](auto change) {
    WexaFileDesc desc = OneLayer(106, 4, 3, 24, Pattern(4, 3));
    desc.seed = 0x5EED;
    change(desc);
    return BuildWexa(desc);
  };
  // Sizes and depths.
  ExpectRaises<EDIBError>(with([](WexaFileDesc& s) {
    s.frames[0].width = 0;
    s.frames[0].layers.clear();
  }), "width 0");
  ExpectRaises<EDIBError>(with([](WexaFileDesc& s) {
    s.frames[0].height = 40000;
    s.frames[0].layers.clear();
  }), "height beyond 32767");
  ExpectRaises<EDIBError>(with([](WexaFileDesc& s) {
    s.frames[0].width = 30000;
    s.frames[0].height = 30000;
    s.frames[0].bit_count = 32;
    s.frames[0].layers.clear();
  }), "a plane beyond the size limit");
  ExpectRaises<EDIBError>(with([](WexaFileDesc& s) {
    s.frames[0].bit_count = 7;
    s.frames[0].layers.clear();
  }), "bit count 7");
  // Plane lengths: 3 rows of 12 bytes are needed.
  ExpectRaises<EDIBError>(with([](WexaFileDesc& s) { s.frames[0].layers[0].color_stored = std::vector<uint8_t>(35, 0); }),
                          "raw plane one byte short");
  ExpectRaises<EDIBError>(with([](WexaFileDesc& s) {
    s.coding = WexaCoding::Zlib;
    s.frames[0].layers[0].color_stored = Zlib(std::vector<uint8_t>(35, 0));
  }), "zlib plane one byte short");
  ExpectRaises<EDIBError>(with([](WexaFileDesc& s) {
    s.coding = WexaCoding::Zlib;
    std::vector<uint8_t> cut = Zlib(std::vector<uint8_t>(36, 9));
    cut.resize(cut.size() - 6);
    s.frames[0].layers[0].color_stored = cut;
  }), "zlib stream cut short");
  ExpectRaises<EZDecompressionError>(with([](WexaFileDesc& s) {
    s.coding = WexaCoding::Zlib;
    s.frames[0].layers[0].color_stored = std::vector<uint8_t>{1, 2, 3, 4, 5, 6};
  }), "not a zlib stream");
  ExpectRaises<EDIBError>(with([](WexaFileDesc& s) {
    s.tile_width = 1;
    s.tile_height = 1;
    s.frames[0].layers[0].color_stored = std::vector<uint8_t>(95, 0xFF);  // 12 records need 96 bytes
  }), "tile table cut short");
  ExpectRaises<EDIBError>(with([](WexaFileDesc& s) {
    s.frames[0].layers[0].alpha_stored = std::vector<uint8_t>(11, 0);
  }), "alpha plane short");
  // Counts and lengths that pass the end of the file.
  ExpectRaises<EReadError>(with([](WexaFileDesc& s) { s.frames[0].layer_count = 1000000; }), "layer count");
  const std::vector<uint8_t> plain = with([](WexaFileDesc&) {});
  ExpectRaises<EReadError>(std::vector<uint8_t>(plain.begin(), plain.end() - 20), "plane cut short");
  ExpectRaises<EReadError>(Patched(plain, plain.size() - 8, 0x10000000), "rectangle count");
  ExpectRaises<EReadError>(Patched(plain, 7, 0x7FFFFFF0), "header size");
  ExpectRaises<EReadError>(Patched(plain, 51, 0x7FFFFFF0), "frame name length");
}

TEST(PictureMalformed, FramesReadBeforeAFailureStay) {
  WexaFileDesc desc = OneLayer(106, 2, 2, 24, Pattern(2, 2));
  desc.frame_count = 3;
  TWexaFrameList list;
  EXPECT_THROW(LoadBytes(list, BuildWexa(desc)), EReadError);
  ASSERT_EQ(list.Count(), 1);
  EXPECT_EQ(PixelsOf(list.GetFrame(0).Surface), Pattern(2, 2));
  EXPECT_THROW(list.GetFrame(1), EListError);
}

}  // namespace
}  // namespace kova::test
