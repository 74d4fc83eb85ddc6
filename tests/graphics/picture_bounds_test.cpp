// What a picture's header declares never costs more than the load's budget: frames, their final
// depth, layers and tile tables are charged before they are made, and RLE bitmaps are held to
// sides and a size no honest picture of these games needs.
#include <gtest/gtest.h>

#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "graphics/pictures/picture_budget.h"
#include "graphics/pictures/wexa_plane.h"
#include "graphics/pictures/wexa_test_util.h"
#include "support/bmp_writer.h"

namespace kova::test {
namespace {

WexaFrameDesc EmptyFrame(int32_t w, int32_t h, int32_t bits) {
  WexaFrameDesc frame;
  frame.width = w;
  frame.height = h;
  frame.bit_count = bits;
  return frame;
}

TEST(PictureBudget, DeclaredFramesBeyondTheBudgetRaiseBeforeTheyAreMade) {
  struct Case {
    const char* name;
    std::vector<WexaFrameDesc> frames;
    int32_t target_bits;
    int32_t frames_kept;
  } cases[] = {
      // One frame of no layers at the largest side: 3 GiB at 24 bits.
      {"largest frame", {EmptyFrame(32767, 32767, 24)}, 0, 0},
      // Small at 1 bit, but post-processing gives it 24 bits.
      {"final depth counts", {EmptyFrame(16384, 16384, 1)}, 0, 0},
      // 24-bit frames of 71.5 MiB: three fit, the fourth does not.
      {"frames add up", std::vector<WexaFrameDesc>(4, EmptyFrame(5000, 5000, 24)), 0, 3},
      // 121 MiB at 24 bits fits alone, but converting to 32 bits holds 161 MiB more.
      {"conversion counts", {EmptyFrame(6500, 6500, 24)}, 32, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WexaFileDesc desc;
    desc.version = 104;
    desc.frames = c.frames;
    const std::vector<uint8_t> bytes = BuildWexa(desc);
    EXPECT_LT(bytes.size(), 500u);
    TWexaFrameList list(0);
    list.TargetBitCount = c.target_bits;
    EXPECT_THROW(LoadBytes(list, bytes), EDIBError);
    EXPECT_EQ(list.Count(), c.frames_kept);
  }
}

// The tile table is charged before it is made: a table of a million records does not fit in what
// is left of the budget, whatever the plane's data could inflate to.
TEST(PictureBudget, TileTablesAreChargedBeforeTheyAreMade) {
  TDIB target;
  target.SetSize(1000, 1000, 1);
  const std::vector<uint8_t> zeros(size_t(8) << 20, 0);
  std::vector<uint8_t> packed(compressBound(zeros.size()));
  uLongf packed_len = packed.size();
  ASSERT_EQ(compress2(packed.data(), &packed_len, zeros.data(), zeros.size(), 9), Z_OK);
  packed.resize(packed_len);
  TPlaneLayout layout;
  layout.Order = TPlaneOrder::Tiled;
  layout.TileWidth = layout.TileHeight = 1;
  TPictureBudget budget;
  budget.Charge(kMaxPictureLoadBytes - (size_t(4) << 20));
  layout.Budget = &budget;
  TPlaneBytes bytes(packed, true);
  const auto no_planes = [](int32_t, int32_t) -> const TDIB& { throw EListError("none"); };
  EXPECT_THROW(DecodePlane(bytes, layout, target, no_planes), EDIBError);
  EXPECT_EQ(budget.Held(), kMaxPictureLoadBytes - (size_t(4) << 20));
}

// A 78-byte RLE bitmap of 16.5 million rows is refused at once.
TEST(PictureBudget, RleBitmapsAreHeldToSensibleSides) {
  BmpFields rle;
  rle.width = 1;
  rle.height = 16500000;
  rle.bit_count = 8;
  rle.compression = 1;
  rle.palette = {{{0, 0, 0}}};
  rle.colors_used = 1;
  rle.rle = RleStream().Run(1, 0).EndOfLine().EndOfBitmap().Data();
  const std::vector<uint8_t> bytes = BuildBmp(rle);
  EXPECT_LT(bytes.size(), 100u);
  TDIB dib;
  TMemoryStream s{std::span<const uint8_t>(bytes)};
  EXPECT_THROW(dib.LoadFromStream(s), EDIBError);
  // The same rows within the sides load.
  rle.height = 32767;
  const std::vector<uint8_t> fits = BuildBmp(rle);
  TMemoryStream t{std::span<const uint8_t>(fits)};
  dib.LoadFromStream(t);
  EXPECT_EQ(dib.Height(), 32767);
}

// Found by the PNG fuzz target: a 4098 x 17147 picture of 16-bit grey declared by 89 bytes with
// 22 bytes of image data, and by 67 bytes whose image-data chunk claims half a megabyte the file
// does not hold. Data that cannot inflate to the declared rows are refused before any picture is
// made (each took 0.7-1.7 s and 210 MB to find out before).
TEST(PictureBudget, PngImageDataMustBeAbleToHoldTheRows) {
  for (const char* name : {"png_short_image_data.png", "png_image_data_cut_short.png"}) {
    SCOPED_TRACE(name);
    const auto path = std::filesystem::path(KOVA_TESTS_DIR) / "graphics" / "corpus" / name;
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_LT(bytes.size(), 100u);
    TWexaFrameList list(0);
    TMemoryStream s{std::span<const uint8_t>(bytes)};
    EXPECT_THROW(list.LoadPng(s), EDIBError);
  }
}

}  // namespace
}  // namespace kova::test
