// The shared picture cache: one read per picture for any number of holders, the pending list and
// its budget, missing and damaged pictures, masks, trimming, durations, the picture mode, new
// surfaces after a depth change, and the drawing of cached frames.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "components/scene/image_cache.h"
#include "components/scene/scene_host.h"
#include "core/errors.h"
#include "core/stream.h"
#include "core/utils.h"
#include "support/picture_fixtures.h"

namespace kova {
namespace {

using test::FrameSpec;
using test::LayeredPicture;
using test::MemoryPictures;
using test::Solid;

// A screen whose depth the test chooses.
class DepthHost : public TSceneHost {
 public:
  int32_t ScreenBitCount() override { return depth; }
  int32_t depth = 32;
};

class ImageCacheTest : public ::testing::Test {
 protected:
  DepthHost host;
  MemoryPictures files;
  TWexaCollection cache{&host, &files};
  int a = 0, b = 0;  // two holders
};

TEST_F(ImageCacheTest, APictureIsReadOnceWhileHeldOrPending) {
  files.Add("bg.wxa", LayeredPicture(2, 2, {{Solid(2, 2, 0x102030)}}));
  TWexaItem* item = cache.Acquire(&a, "bg.wxa", false, false);
  EXPECT_EQ(cache.Acquire(&b, "BG.WXA", false, false), item);  // names differing in case share an item
  EXPECT_EQ(cache.Acquire(&a, "bg.wxa", false, false), item);  // a holder counts once
  EXPECT_EQ(item->OwnerCount(), 2);

  item->Release(&a);
  item->Release(&a);  // no longer a holder: nothing
  EXPECT_FALSE(item->Pending());
  item->Release(&b);
  EXPECT_TRUE(item->Pending());
  EXPECT_EQ(cache.PendingCount(), 1);

  EXPECT_EQ(cache.Acquire(&a, "bg.wxa", false, false), item);
  EXPECT_FALSE(item->Pending());
  EXPECT_EQ(files.Reads("bg.wxa"), 1);

  // With the mask flag the same file is another item, read again.
  TWexaItem* masked = cache.Acquire(&a, "bg.wxa", true, false);
  EXPECT_NE(masked, item);
  EXPECT_EQ(masked->Name(), "bg.wxa?m");
  EXPECT_EQ(files.Reads("bg.wxa"), 2);
}

TEST_F(ImageCacheTest, FramesKeepDurationsKeysAndMasks) {
  std::vector<uint32_t> keyed = Solid(3, 2, 0x00FF00);
  keyed[0] = 0xFF00FF;
  files.Add("anim.wxa", LayeredPicture(3, 2, {{Solid(3, 2, 0x112233), 0}, {keyed, 50, 0xFF00FF}, {Solid(3, 2, 1), 7}}));
  TWexaItem* item = cache.Acquire(&a, "anim.wxa", false, false);
  ASSERT_EQ(item->GetFrameCount(), 3);
  EXPECT_EQ(item->Width, 3);
  EXPECT_EQ(item->Height, 2);
  EXPECT_EQ(item->Frame(0).Duration, 1);  // 0 is stored as 1
  EXPECT_EQ(item->Frame(1).Duration, 50);
  EXPECT_EQ(item->TotalDuration, 58);
  TDIBX& s = item->Frame(1).Surface();
  EXPECT_EQ(s.BitCount(), 32);
  EXPECT_EQ(s.TransparentColor, s.ColorToPixel(0xFF00FF));
  EXPECT_EQ(s.GetPixel(1, 0), uint32_t(s.ColorToPixel(0x00FF00)));
  EXPECT_EQ(item->Frame(1).Mask(), nullptr);

  // The mask flag builds a mask from the key: 0 on the key, 255 elsewhere.
  TWexaItem* masked = cache.Acquire(&a, "anim.wxa", true, false);
  ASSERT_NE(masked->Frame(1).Mask(), nullptr);
  EXPECT_EQ(masked->Frame(1).Mask()->GetPixel(0, 0), 0u);
  EXPECT_EQ(masked->Frame(1).Mask()->GetPixel(1, 0), 255u);

  // A picture with real alpha and no key draws through its alpha, without a key.
  files.Add("soft.png", test::RgbaPng(2, 1, {0xFF0000, 0x0000FF}, {40, 255}));
  TWexaItem* soft = cache.Acquire(&a, "soft.png", false, false);
  ASSERT_NE(soft->Frame(0).Mask(), nullptr);
  EXPECT_EQ(soft->Frame(0).Mask()->GetPixel(0, 0), 40u);
  EXPECT_EQ(soft->Frame(0).Surface().TransparentColor, -1);
}

TEST_F(ImageCacheTest, TrimmedFramesStartAtTheirOpaqueArea) {
  std::vector<uint32_t> px = Solid(4, 3, 0xFF00FF);
  px[1 * 4 + 2] = 0x123456;
  files.Add("dot.wxa", LayeredPicture(4, 3, {{px, 0, 0xFF00FF}}));
  TWexaItem* item = cache.Acquire(&a, "dot.wxa", false, true);
  EXPECT_EQ(item->Name(), "dot.wxa?t");
  const TWexaItemFrame& f = item->Frame(0);
  EXPECT_EQ(f.OffsetX, 2);
  EXPECT_EQ(f.OffsetY, 1);
  EXPECT_EQ(f.Surface().Width(), 1);
  EXPECT_EQ(f.Surface().GetPixel(0, 0), uint32_t(f.Surface().ColorToPixel(0x563412)));
}

TEST_F(ImageCacheTest, AMissingPictureIsOneBlankFrameThatDrawsNothing) {
  TWexaItem* item = cache.Acquire(&a, "nothing.wxa", true, false);
  ASSERT_EQ(item->GetFrameCount(), 1);
  EXPECT_EQ(item->Width, 0);
  EXPECT_EQ(item->Height, 0);
  EXPECT_EQ(item->Frame(0).Surface().Width(), 8);
  ASSERT_NE(item->Frame(0).Mask(), nullptr);
  TDIBX target;
  target.SetSize(8, 8, 32);
  target.Fill(0x445566);
  for (int32_t level : {128, 255, 300}) {
    item->Frame(0).Draw(target, 0, 0, TRect{0, 0, 8, 8}, false, false, level);
    cache.Acquire(&a, "nothing.wxa", false, false)->Frame(0).Draw(target, 0, 0, TRect{0, 0, 8, 8}, false, false, level);
  }
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 8; ++x) ASSERT_EQ(target.GetPixel(x, y), 0x445566u);
}

TEST_F(ImageCacheTest, ADamagedPictureRaisesAndLeavesNoItem) {
  std::vector<uint8_t> bytes = LayeredPicture(4, 4, {{Solid(4, 4, 0x808080)}});
  bytes.resize(bytes.size() - 20);
  files.Add("cut.wxa", bytes);
  EXPECT_THROW(cache.Acquire(&a, "cut.wxa", false, false), EKovaError);
  EXPECT_EQ(cache.Count(), 0);
  // Not a poisoned entry: the next request reads the file again.
  EXPECT_THROW(cache.Acquire(&a, "cut.wxa", false, false), EKovaError);
  EXPECT_EQ(files.Reads("cut.wxa"), 2);
}

TEST_F(ImageCacheTest, PendingPicturesAreFreedOldestFirstBeyondTheBudget) {
  // 1200 x 1200 at 4 bytes is exactly the budget.
  files.Add("big.png", test::RgbPng(1200, 1200, Solid(1200, 1200, 0x204060)));
  files.Add("small.wxa", LayeredPicture(1, 1, {{Solid(1, 1, 0)}}));
  files.Add("other.wxa", LayeredPicture(1, 1, {{Solid(1, 1, 0)}}));
  TWexaItem* big = cache.Acquire(&a, "big.png", false, false);
  TWexaItem* small = cache.Acquire(&a, "small.wxa", false, false);
  TWexaItem* other = cache.Acquire(&b, "other.wxa", false, false);
  EXPECT_EQ(big->MemorySize(), TWexaCollection::kPendingBudget);
  big->Release(&a);
  EXPECT_EQ(cache.PendingSize(), TWexaCollection::kPendingBudget);  // at the budget: kept
  small->Release(&a);
  // Over the budget: the oldest goes, the newest stays.
  EXPECT_EQ(cache.FindItem("big.png"), nullptr);
  EXPECT_EQ(cache.PendingCount(), 1);
  EXPECT_EQ(cache.PendingSize(), 4);
  EXPECT_EQ(other->OwnerCount(), 1);  // held items are never freed
  cache.Acquire(&a, "big.png", false, false)->Release(&a);
  EXPECT_EQ(files.Reads("big.png"), 2);
  // A single pending item larger than the budget stays too.
  EXPECT_NE(cache.FindItem("big.png"), nullptr);
}

TEST_F(ImageCacheTest, ThePictureModeReloadsAndItsStatusByteIsGatedByVersion) {
  files.Add("p.wxa", LayeredPicture(1, 1, {{Solid(1, 1, 0x010203)}}));
  cache.Acquire(&a, "p.wxa", false, false);
  cache.SetCacheMode(1);
  EXPECT_EQ(files.Reads("p.wxa"), 2);
  cache.SetCacheMode(1);  // the same mode: nothing
  EXPECT_EQ(files.Reads("p.wxa"), 2);

  TMemoryStream saved;
  cache.SaveMode(saved);
  EXPECT_EQ(saved.Size(), 1);
  TWexaCollection other;
  saved.SetPosition(0);
  other.LoadMode(saved, 100);
  EXPECT_EQ(other.CacheMode(), 0);
  EXPECT_EQ(saved.GetPosition(), 0);
  other.LoadMode(saved, 101);
  EXPECT_EQ(other.CacheMode(), 1);
}

TEST_F(ImageCacheTest, NewSurfacesAfterADepthChangeShowTheSamePicture) {
  host.depth = 16;
  files.Add("p.wxa", LayeredPicture(2, 1, {{{0xFF0000, 0x00FF00}}}));
  TWexaItem* item = cache.Acquire(&a, "p.wxa", false, false);
  EXPECT_EQ(item->Frame(0).Surface().BitCount(), 16);
  cache.FreeDIBs();
  host.depth = 32;
  cache.RecreateDIBs();
  const TDIBX& s = item->Frame(0).Surface();
  EXPECT_EQ(s.BitCount(), 32);
  EXPECT_EQ(s.GetPixel(0, 0), uint32_t(s.ColorToPixel(0x0000FF)));
  EXPECT_EQ(s.GetPixel(1, 0), uint32_t(s.ColorToPixel(0x00FF00)));
  // A file that has gone away leaves the item as it was.
  files.Remove("p.wxa");
  cache.RecreateDIBs();
  EXPECT_EQ(item->Frame(0).Surface().GetPixel(1, 0), uint32_t(s.ColorToPixel(0x00FF00)));
}

class CachedFrameDrawTest : public ImageCacheTest {
 protected:
  // A 2 x 2 frame of four colours, and a 32-bit target cleared to black.
  CachedFrameDrawTest() {
    files.Add("q.wxa", LayeredPicture(2, 2, {{{0x000010, 0x000020, 0x000030, 0x000040}}}));
    frame = &cache.Acquire(&a, "q.wxa", false, false)->Frame(0);
    target.SetSize(8, 4, 32);
    target.Fill(0);
  }
  // The blue channel of a target pixel.
  uint32_t At(int32_t x, int32_t y) { return target.GetPixel(x, y) & 0xFF; }
  const TWexaItemFrame* frame = nullptr;
  TDIBX target;
};

TEST_F(CachedFrameDrawTest, LevelsChooseCopyBlendOrAdd) {
  struct Case {
    int32_t level;
    uint32_t expected;  // blue of source 0x40 drawn over blue 0x20
  };
  for (const Case& c : {Case{255, 0x40}, Case{128, (0x20 * 127 + 0x40 * 128) >> 8}, Case{256, 0x20},
                        Case{300, 0x20 + 0x40 * 44 / 256}}) {
    target.Fill(0x20);
    frame->Draw(target, 0, 0, TRect{1, 1, 2, 2}, false, false, c.level);
    EXPECT_EQ(At(0, 0), c.expected) << c.level;
  }
}

TEST_F(CachedFrameDrawTest, TilesFollowPhaseAndMirroring) {
  // Source blue values: row 0: 10 20, row 1: 30 40.
  auto source = [](int32_t col, int32_t row) { return uint32_t(0x10 * (1 + col + 2 * row)); };
  struct Case {
    int32_t phase_x, phase_y;
    bool mirror_x;
  };
  // Each case whole and through a clip rectangle that cuts the tiling's first pieces: the pieces
  // inside the clip are those of the whole tiling.
  const TRect clip{2, 1, 5, 3};  // odd cuts on every side of the destination {1, 0, 6, 3}
  for (bool clipped : {false, true}) {
    for (const Case& c : {Case{0, 0, false}, Case{1, 1, false}, Case{-1, 3, false}, Case{1, 0, true}}) {
      target.ResetClipRect();
      target.Fill(0);
      if (clipped) target.AddClipRect(clip);
      frame->DrawTiled(target, TRect{1, 0, 6, 3}, TRect{0, 0, 2, 2}, c.phase_x, c.phase_y, c.mirror_x, false, 255);
      for (int32_t y = 0; y < 3; ++y) {
        for (int32_t x = 0; x < 5; ++x) {
          // Column x of the tiling shows source column (x + phase) mod 2; mirrored, the whole
          // tiling is mirrored inside the destination.
          const int32_t col = ((x + c.phase_x) % 2 + 2) % 2, row = ((y + c.phase_y) % 2 + 2) % 2;
          const int32_t dx = c.mirror_x ? 5 - x : 1 + x;
          const bool shown = !clipped || PointInRect(TPoint{dx, y}, clip);
          const uint32_t want = shown ? source(col, row) : 0;
          ASSERT_EQ(At(dx, y), want) << c.phase_x << "," << c.phase_y << " mirror " << c.mirror_x << " clipped "
                                     << clipped << " at " << x << "," << y;
        }
      }
      EXPECT_EQ(At(0, 0), 0u);
      EXPECT_EQ(At(6, 0), 0u);
    }
  }
  target.ResetClipRect();
  target.Fill(0);
  frame->DrawTiled(target, TRect{0, 0, 8, 4}, TRect{1, 1, 1, 2}, 0, 0, false, false, 255);  // empty source
  EXPECT_EQ(At(0, 0), 0u);
}

}  // namespace
}  // namespace kova
