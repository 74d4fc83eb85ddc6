// Image and tile tracks over a real headless scene and image cache: frame timing from the
// picture's delays, the sprites they make and remove, what they hand a driven control, tile sizes
// and the pixels a drawn image track leaves at a tick.
#include <gtest/gtest.h>

#include "components/scene/image_cache.h"
#include "components/widgets/kova_images.h"
#include "components/widgets/kova_tile.h"
#include "film_scene.h"
#include "support/picture_fixtures.h"
#include "support/scene_driver.h"

namespace kova {
namespace {

using test::FrameSpec;
using test::LayeredPicture;
using test::SceneFilm;
using test::Solid;

// A control that keeps what a film hands it.
class RecordingControl : public test::StubBox {
 public:
  using StubBox::StubBox;
  void SetWidth(int32_t v) override { width = v; }
  void SetHeight(int32_t v) override { height = v; }
  void SetDIB(TCustomDIBX* v) override { dib = v; }
  int32_t width = 0, height = 0;
};

struct PictureScene {
  PictureScene() {
    pictures.Add("anim.wxa", LayeredPicture(4, 3, {FrameSpec(Solid(4, 3, 0xFF0000), 100),
                                                  FrameSpec(Solid(4, 3, 0x00FF00), 10),
                                                  FrameSpec(Solid(4, 3, 0x0000FF), 0)}));
    pictures.Add("red.wxa", LayeredPicture(4, 4, {FrameSpec(Solid(4, 4, 0xFF0000), 50)}));
  }
  test::MemoryPictures pictures;
  test::SceneDriver scene{kDisplay8888, 64, 48, {.pictures = &pictures}};
  SceneFilm film{scene.root};
};

TEST(FilmImageTrack, FramesTimeAndCycleComeFromThePictureDelays) {
  PictureScene s;
  auto& track = s.film.Add<TImageFrameList>();
  track.FileName = "anim.wxa";
  track.Duration = 0;
  track.LoadResources();
  ASSERT_EQ(track.FrameCount(), 3);
  EXPECT_EQ(track.Frames[0]->Duration(), 6);
  EXPECT_EQ(track.Frames[1]->Duration(), 1);
  EXPECT_EQ(track.Frames[2]->Duration(), 1);
  EXPECT_EQ(track.Cycle, 8);
  EXPECT_EQ(track.Duration, 8);  // a stored length of 0 is one pass
  EXPECT_EQ(track.ImageWidth, 4);
  EXPECT_EQ(track.FirstFrameHeight(), 3);
  TWexaItem* picture = track.Picture;
  ASSERT_NE(picture, nullptr);
  EXPECT_TRUE(picture->HasOwner(&track));

  // A stored length stays through a reload; another picture lets the first go.
  track.Duration = 20;
  track.LoadResources();
  EXPECT_EQ(track.Duration, 20);
  track.SetFileName("red.wxa");
  EXPECT_FALSE(picture->HasOwner(&track));
  EXPECT_EQ(track.FrameCount(), 1);
  EXPECT_EQ(track.Duration, 20);

  TStringList names;
  track.EnumFileNames(names);
  track.EnumFileNames(names);
  auto& missing = s.film.Add<TImageFrameList>();
  missing.FileName = "gone.wxa";
  missing.EnumFileNames(names);
  EXPECT_EQ(names.Text(), "red.wxa\r\n");
}

TEST(FilmImageTrack, SpritesComeAndGoWithTheSpanAndAreNamedPrivately) {
  PictureScene s;
  test::StubBox* target = s.scene.Box("tgt", {0, 0, 32, 32});
  for (bool with_target : {false, true}) {
    s.film.target = with_target ? target : nullptr;
    auto& track = s.film.Add<TImageFrameList>();
    track.Start = 2;
    track.Duration = 3;
    track.FileName = "red.wxa";
    track.LoadResources();
    EXPECT_TRUE(track.Update(1) == false && s.film.Sprites().empty());
    EXPECT_TRUE(track.Update(2));
    ASSERT_EQ(s.film.Sprites().size(), 1u);
    auto* sprite = dynamic_cast<TKovaImage*>(s.film.Sprites()[0]);
    ASSERT_NE(sprite, nullptr);
    EXPECT_EQ(sprite->GetName(), with_target ? std::string("\x01tgt\x01" "0") : std::string("\x01" "0"));
    EXPECT_EQ(sprite->GetParent(), with_target ? static_cast<TKovaControl*>(target) : s.scene.root.Bases(0));
    track.Update(3);
    EXPECT_EQ(s.film.Sprites().size(), 1u);  // the same sprite on

    // Deleted by others (a script): the track notices and makes a new one.
    s.scene.root.DeleteComponent(sprite);
    track.Update(4);
    ASSERT_EQ(s.film.Sprites().size(), 1u);
    EXPECT_FALSE(track.Update(5));
    EXPECT_TRUE(s.film.Sprites().empty());
    s.scene.Frame();
    track.Update(3);
    EXPECT_EQ(s.film.Sprites().size(), 1u);
    s.film.tracks.clear();  // a freed track takes its sprite away
    EXPECT_TRUE(s.film.Sprites().empty());
    s.scene.Frame();
  }
}

TEST(FilmImageTrack, OtherLayerAndParityChooseTheLayer) {
  PictureScene s;
  auto& track = s.film.Add<TImageFrameList>();
  track.Duration = 5;
  track.FileName = "red.wxa";
  track.LoadResources();
  const struct {
    int32_t parity;
    bool other;
    int32_t layer;
  } cases[] = {{0, false, 0}, {0, true, 1}, {1, false, 1}, {1, true, 0}};
  for (const auto& c : cases) {
    s.film.parity = c.parity;
    track.OtherLayer = c.other;
    track.Update(1);
    EXPECT_EQ(track.Sprite->GetParent(), s.scene.root.Bases(c.layer)) << c.parity << c.other;
  }
}

TEST(FilmImageTrack, MotionModeDrivesTheControlsOrderAndTruncatedSize) {
  PictureScene s;
  s.pictures.Add("five.wxa", LayeredPicture(5, 5, {FrameSpec(Solid(5, 5, 0xFF0000), 50)}));
  auto* control = new RecordingControl(&s.scene.root);
  control->SetPriority(7);
  s.film.control = control;
  s.film.priority_base = 100;
  for (double zoom : {1.5, -1.5}) {
    auto& image = s.film.Add<TImageFrameList>();
    image.FileName = "five.wxa";
    image.Duration = 4;
    image.Order = 3;
    image.ZoomXStart = image.ZoomYStart = zoom;
    image.PosStart = {10, 20};
    image.LoadResources();
    EXPECT_TRUE(image.Update(0));
    EXPECT_TRUE(s.film.Sprites().empty());
    EXPECT_EQ(control->Order(), 3);
    EXPECT_EQ(control->Priority(), 7);
    EXPECT_EQ(control->width, zoom > 0 ? 7 : -7);  // 5 * 384 / 256 = 7.5 toward zero
    EXPECT_EQ(control->height, zoom > 0 ? 7 : -7);
    EXPECT_EQ(control->GetMotionX(), 10);
    EXPECT_EQ(control->GetMotionY(), 20);
    EXPECT_EQ(control->GetDIB(), &image.Picture->Frame(0).Surface());
  }

  auto& tile = s.film.Add<TTileFrameList>();
  tile.FileName = "five.wxa";
  tile.Duration = 4;
  tile.Order = 3;
  tile.LoadResources();
  tile.Update(0);
  EXPECT_EQ(control->Priority(), 103);  // the base plus the order
  EXPECT_EQ(control->Order(), 0);
  EXPECT_EQ(control->width, 5);
  s.film.tracks.clear();
}

TEST(FilmTileTrack, ZeroSizesTakeThePictureAndSizesScrollInterpolate) {
  PictureScene s;
  auto& tile = s.film.Add<TTileFrameList>();
  tile.FileName = "anim.wxa";
  tile.HeightEnd = 9;
  tile.Duration = 3;
  tile.PosEnd = {10, 0};
  tile.ScrollXEnd = 8;
  tile.LoadResources();
  EXPECT_EQ(tile.WidthStart, 4);
  EXPECT_EQ(tile.WidthEnd, 4);
  EXPECT_EQ(tile.HeightStart, 3);
  EXPECT_EQ(tile.HeightEnd, 9);

  tile.Update(1);
  auto* sprite = dynamic_cast<TKovaTile*>(tile.Sprite);
  ASSERT_NE(sprite, nullptr);
  EXPECT_EQ(sprite->GetLeft(), 5);
  EXPECT_EQ(sprite->GetWidth(), 4);
  EXPECT_EQ(sprite->GetHeight(), 6);  // bottom 2 .. 8 halfway: 5
  EXPECT_EQ(sprite->GetScrollX(), 4);
}

TEST(FilmImageTrack, TheDrawnSpriteShowsThePositionAndAlphaOfTheTick) {
  PictureScene s;
  auto& track = s.film.Add<TImageFrameList>();
  track.FileName = "red.wxa";
  track.Duration = 4;
  track.PosEnd = {30, 6};
  track.AlphaStart = 255;
  track.AlphaEnd = 3;  // 255, 171, 87, 3
  track.LoadResources();
  track.Update(1);
  s.scene.Frame();
  EXPECT_EQ(s.scene.Pixel(9, 2), s.scene.PixelOf(0));
  EXPECT_EQ(s.scene.Pixel(14, 6), s.scene.PixelOf(0));
  const uint32_t inside = s.scene.Pixel(10, 2);
  EXPECT_NEAR(int(inside >> 16 & 255), 171, 2);
  EXPECT_EQ(inside & 0xFFFF, 0u);
  EXPECT_NE(s.scene.Pixel(13, 5), s.scene.PixelOf(0));
}

// A picture without a colour key keeps every pixel: its white is not taken for a key.
TEST(FilmImageTrack, APictureWithoutAKeyShowsItsWhitePixels) {
  PictureScene s;
  s.pictures.Add("white.wxa", LayeredPicture(4, 4, {FrameSpec(Solid(4, 4, 0xFFFFFF), 50)}));
  auto& track = s.film.Add<TImageFrameList>();
  track.FileName = "white.wxa";
  track.Duration = 4;
  track.PosStart = track.PosEnd = {5, 5};
  track.LoadResources();
  track.Update(0);
  s.scene.Frame();
  EXPECT_EQ(s.scene.Pixel(6, 6), s.scene.PixelOf(0xFFFFFF));
}

}  // namespace
}  // namespace kova
