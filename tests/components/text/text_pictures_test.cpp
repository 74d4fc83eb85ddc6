// Pictures in rich text read through the shared picture cache: an IMG glyph takes its size from the
// cached picture, draws its pixels (colour key kept, blended and additive levels), steps through its
// frames and gives the picture back to the cache with the document; a missing file shows nothing.
#include "components/text/text_pictures.h"

#include <gtest/gtest.h>

#include "components/scene/image_cache.h"
#include "components/scene/scene_host.h"
#include "graphics/dibx.h"
#include "support/picture_fixtures.h"
#include "text/glyph.h"
#include "text/xr_word.h"

namespace kova {
namespace {

using test::LayeredPicture;
using test::MemoryPictures;
using test::Solid;

class ScreenHost : public TSceneHost {
 public:
  int32_t ScreenBitCount() override { return 32; }
};

class TextPicturesTest : public ::testing::Test {
 protected:
  TextPicturesTest() {
    target.SetSize(16, 8, 32);
    target.Fill(kBack);
    doc.Target = &target;
    doc.Images = &pictures;
    doc.ScreenBits = 32;
    doc.WrapWidth = 16;
    doc.PageHeight = 8;
    doc.UpdateRect = TRect{0, 0, 16, 8};
  }
  // The document shows `text`; its first glyph (the picture) at `alpha`, composed onto the target.
  TWdImg* Show(const std::string& text, int32_t alpha = 255) {
    doc.Parse(text);
    pages.clear();
    doc.Layout(pages);
    auto* img = static_cast<TWdImg*>(doc.Glyphs(0));
    img->SetAlpha(alpha);
    pages[0]->Compose();
    return img;
  }
  // Pixels of the 32-bit target are $RRGGBB.
  uint32_t Rgb(int32_t x, int32_t y) const { return target.GetPixel(x, y); }

  static constexpr uint32_t kBack = 0x204060;
  ScreenHost host;
  MemoryPictures files;
  TWexaCollection cache{&host, &files};
  TTextPictureCache pictures{cache};
  TDIBX target;
  TXrWord doc;
  TPageList pages;
};

TEST_F(TextPicturesTest, APictureGlyphDrawsItsPixelsAtItsLevel) {
  // 3 x 2: red, green, the key (magenta); blue, white, black.
  files.Add("pic.wxa", LayeredPicture(3, 2, {{{0xFF0000, 0x00FF00, 0xFF00FF, 0x0000FF, 0xFFFFFF, 0x000000}, 0, 0xFF00FF}}));
  TWdImg* img = Show("<IMG SRC=pic.wxa>");
  ASSERT_NE(img->Pictures, nullptr);
  EXPECT_EQ(img->W, 3);
  EXPECT_EQ(img->H, 2);
  const int32_t x = img->AbsX(), y = img->AbsY();
  EXPECT_EQ(Rgb(x, y), 0xFF0000u);
  EXPECT_EQ(Rgb(x + 1, y), 0x00FF00u);
  EXPECT_EQ(Rgb(x + 2, y), kBack);  // the colour key leaves the target alone
  EXPECT_EQ(Rgb(x, y + 1), 0x0000FFu);
  EXPECT_EQ(Rgb(x + 1, y + 1), 0xFFFFFFu);
  EXPECT_EQ(Rgb(x + 2, y + 1), 0x000000u);
  EXPECT_EQ(Rgb(x + 3, y), kBack);
  EXPECT_EQ(Rgb(x, y + 2), kBack);

  // The document at 384 adds the picture at half its level.
  target.Fill(kBack);
  doc.Alpha = 384;
  img = Show("<IMG SRC=pic.wxa>");
  const uint32_t added = Rgb(img->AbsX(), img->AbsY() + 1);  // blue over 0x204060
  EXPECT_EQ(added & 0xFFFF00, 0x204000u);
  EXPECT_GT(added & 0xFF, 0x60u);
  EXPECT_LT(added & 0xFF, 0xFFu);
  EXPECT_EQ(files.Reads("pic.wxa"), 1);  // the second document took the cached picture
}

TEST_F(TextPicturesTest, FramesStepOnTheClockAndThePictureGoesBackToTheCache) {
  files.Add("anim.wxa", LayeredPicture(2, 1, {{Solid(2, 1, 0x112233), 40}, {Solid(2, 1, 0x445566), 40}}));
  TWdImg* img = Show("<IMG SRC=anim.wxa>");
  ASSERT_TRUE(img->Pictures && img->Pictures->Animated());
  EXPECT_EQ(Rgb(img->AbsX(), img->AbsY()), 0x112233u);
  EXPECT_FALSE(img->Pictures->Step(20));
  EXPECT_TRUE(img->Pictures->Step(30));
  pages[0]->Compose();
  EXPECT_EQ(Rgb(img->AbsX() + 1, img->AbsY()), 0x445566u);

  TWexaItem* item = cache.Acquire(this, "anim.wxa", false, false);
  item->Release(this);
  EXPECT_EQ(item->OwnerCount(), 1);  // the glyph's picture
  doc.Clear();
  EXPECT_EQ(item->OwnerCount(), 0);
  EXPECT_TRUE(item->Pending());
}

TEST_F(TextPicturesTest, AMissingPictureIsEmptyAndDrawsNothing) {
  TWdImg* img = Show("<IMG SRC=none.wxa>");
  EXPECT_EQ(img->Pictures, nullptr);
  EXPECT_EQ(img->W, 0);
  EXPECT_EQ(img->H, 0);
  for (int32_t y = 0; y < 8; ++y)
    for (int32_t x = 0; x < 16; ++x) ASSERT_EQ(Rgb(x, y), kBack) << x << "," << y;
  EXPECT_EQ(cache.Count(), 0);  // no blank item was made for it
}

}  // namespace
}  // namespace kova
