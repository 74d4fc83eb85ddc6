// The image, tile, box and label tracks over a real scene: their pictures from the image cache,
// the sprites they make, place and remove, the values each tick hands them (in a film of its own
// and in motion mode on a control), and what the root container then draws.
#include "motion/film_tracks.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "components/widgets/kova_box.h"
#include "components/widgets/kova_images.h"
#include "components/widgets/kova_label.h"
#include "components/widgets/kova_tile.h"
#include "support/fake_glyph_fonts.h"
#include "support/picture_fixtures.h"
#include "support/scene_driver.h"
#include "text/font_pixel.h"
#include "text/glyph_layer_font.h"

namespace kova {
namespace {

using test::FakeGlyphFonts;
using test::FrameSpec;
using test::LayeredPicture;
using test::MemoryPictures;
using test::SceneDriver;
using test::Solid;

// A film that is its tracks over a real root container, as the film manager would be.
class SceneFilm : public IFilmOfTracks {
 public:
  explicit SceneFilm(TKovaBaseList& root) : root_(root) {}
  int32_t TrackCount() const override { return int32_t(tracks.size()); }
  TCustomFrameList* TrackAt(int32_t i) const override {
    return i >= 0 && i < TrackCount() ? tracks[size_t(i)].get() : nullptr;
  }
  bool MotionMode() const override { return control != nullptr; }
  TKovaBaseList* Owner() const override { return &root_; }
  TKovaControl* Target() const override { return target; }
  TKovaControl* Control() const override { return control; }
  int32_t PriorityBase() const override { return priority_base; }
  bool DrawsTarget() const override { return target != nullptr; }
  int32_t FilmWidth() const override { return 64; }
  int32_t FilmHeight() const override { return 48; }
  void PlaceOnLayer(TKovaObject& sprite, int32_t layer) override {
    if (sprite.GetParent() != root_.Bases(layer)) sprite.SetParent(root_.Bases(layer));
  }
  void ClearCurrentWipe() override { ++wipe_clears; }

  template <class T>
  T& Add() {
    tracks.push_back(std::make_unique<T>(this));
    return static_cast<T&>(*tracks.back());
  }

  std::vector<std::unique_ptr<TCustomFrameList>> tracks;
  TKovaControl* target = nullptr;
  TKovaControl* control = nullptr;
  int32_t priority_base = 0;
  int wipe_clears = 0;

 private:
  TKovaBaseList& root_;
};

struct TrackScene {
  TrackScene() {
    pictures.Add("three.wxa", LayeredPicture(4, 3, {FrameSpec(Solid(4, 3, 0xFF0000), 100),
                                                    FrameSpec(Solid(4, 3, 0x00FF00), 10),
                                                    FrameSpec(Solid(4, 3, 0x0000FF), 0)}));
    pictures.Add("red.wxa", LayeredPicture(4, 3, {FrameSpec(Solid(4, 3, 0xFF0000))}));
  }
  // The film's sprites the root holds (their names begin with byte 1).
  std::vector<TKovaObject*> Sprites() const {
    std::vector<TKovaObject*> out;
    for (int32_t i = 0; i < scene.root.GetComponentCount(); ++i) {
      TKovaObject* c = scene.root.GetComponent(i);
      if (TKovaObject::IsInternalName(c->GetName()) && !c->IsPendingDeleteSelf()) out.push_back(c);
    }
    return out;
  }
  void Draw() {
    scene.root.Update();
    scene.root.Draw();
    scene.root.EndFrame();
  }
  MemoryPictures pictures;
  FakeGlyphFonts fonts;
  TGlyphLayerFont font{fonts};
  TFontPixelManager cache{font};
  SceneDriver scene{kDisplay8888, 64, 48, {.glyph_cache = &cache, .pictures = &pictures}};
  SceneFilm film{scene.root};
};

TEST(FilmImageTrack, FramesTakeThePictureDelaysInTicksAndTheDurationRule) {
  TrackScene s;
  auto& track = s.film.Add<TImageFrameList>();
  track.SetFileName("three.wxa");
  ASSERT_EQ(track.FrameCount(), 3);
  std::vector<int32_t> ticks;
  for (const auto& f : track.Frames) ticks.push_back(f->Duration());
  EXPECT_EQ(ticks, (std::vector<int32_t>{6, 1, 1}));
  EXPECT_EQ(track.Cycle, 8);
  // A stored duration of 0 is one pass through the frames; a set one stays.
  EXPECT_EQ(track.Duration, 8);
  EXPECT_EQ(track.ImageWidth, 4);
  EXPECT_EQ(track.ImageHeight, 3);
  auto& kept = s.film.Add<TImageFrameList>();
  kept.Duration = 20;
  kept.FileName = "three.wxa";
  kept.LoadResources();
  EXPECT_EQ(kept.Duration, 20);
  EXPECT_EQ(kept.FrameCount(), 3);
  // A missing picture: the cache's blank frame; an empty name: no frames, active but nothing shown.
  auto& none = s.film.Add<TImageFrameList>();
  none.Duration = 3;
  none.SetFileName("");
  EXPECT_EQ(none.FrameCount(), 0);
  EXPECT_TRUE(none.Update(1));
}

TEST(FilmImageTrack, SpriteIsMadeNamedPlacedAndRemovedWithTheSpan) {
  TrackScene s;
  auto& track = s.film.Add<TImageFrameList>();
  track.Start = 2;
  track.Duration = 4;
  track.SetFileName("red.wxa");
  track.PosStart = {0, 0};
  track.PosEnd = {30, 0};
  EXPECT_FALSE(track.Update(1));
  EXPECT_TRUE(s.Sprites().empty());
  ASSERT_TRUE(track.Update(3));
  ASSERT_EQ(s.Sprites().size(), 1u);
  auto* image = dynamic_cast<TKovaImage*>(s.Sprites()[0]);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->GetName(), std::string("\x01") + "0");
  EXPECT_EQ(image->GetParent(), s.scene.root.Bases(0));
  // Tick 3 is step 1 of 4 (n - 1 = 3 steps of 10 pixels).
  EXPECT_EQ(image->GetLeft(), 10);
  s.Draw();
  EXPECT_EQ(s.scene.Pixel(10, 0), s.scene.PixelOf(0x0000FF)) << "red as a colour reference";
  EXPECT_EQ(s.scene.Pixel(13, 2), s.scene.PixelOf(0x0000FF));
  EXPECT_NE(s.scene.Pixel(14, 0), s.scene.PixelOf(0x0000FF));
  EXPECT_FALSE(track.Update(6));
  EXPECT_TRUE(s.Sprites().empty());

  // With a target the name carries the target's, and the sprite lies on it.
  TKovaControl* target = s.scene.Box("host", {0, 0, 64, 48});
  s.film.target = target;
  ASSERT_TRUE(track.Update(2));
  ASSERT_EQ(s.Sprites().size(), 1u);
  EXPECT_EQ(s.Sprites()[0]->GetName(), std::string("\x01host\x01") + "0");
  EXPECT_EQ(s.Sprites()[0]->GetParent(), target);
}

TEST(FilmImageTrack, SpriteFreedByAScriptIsForgottenAndMadeAgain) {
  TrackScene s;
  auto& track = s.film.Add<TImageFrameList>();
  track.Duration = 10;
  track.SetFileName("red.wxa");
  ASSERT_TRUE(track.Update(0));
  ASSERT_EQ(s.Sprites().size(), 1u);
  s.scene.root.DeleteComponent(s.Sprites()[0]);
  EXPECT_TRUE(s.Sprites().empty());
  ASSERT_TRUE(track.Update(1));
  EXPECT_EQ(s.Sprites().size(), 1u);
  // Freeing the track removes its sprite.
  s.film.tracks.clear();
  EXPECT_TRUE(s.Sprites().empty());
}

TEST(FilmImageTrack, MotionModeSetsTheControlsOrderAndTruncatedZoomedSize) {
  TrackScene s;
  TKovaControl* control = s.scene.Box("driven", {0, 0, 8, 8});
  s.film.control = control;
  s.film.priority_base = 40;
  auto& track = s.film.Add<TImageFrameList>();
  track.Duration = 1;
  track.SetFileName("red.wxa");
  track.Order = 3;
  track.ZoomXStart = track.ZoomXEnd = -0.5;  // 4 x -128 / 256 = -2
  track.ZoomYStart = track.ZoomYEnd = 1.5;   // 3 x 384 / 256 = 4.5 -> 4
  track.PosStart = track.PosEnd = {5, 6};
  ASSERT_TRUE(track.Update(0));
  EXPECT_TRUE(s.Sprites().empty());
  EXPECT_EQ(control->Order(), 3);
  EXPECT_EQ(control->GetMotionX(), 5);
  EXPECT_EQ(control->GetMotionY(), 6);
  EXPECT_EQ(control->GetHeight(), 4);
  EXPECT_EQ(control->GetZoomX(), -128);
}

TEST(FilmTileTrack, ZeroSizesTakeThePictureAndMotionModeSetsThePriority) {
  TrackScene s;
  auto& tile = s.film.Add<TTileFrameList>();
  tile.Duration = 2;
  tile.WidthEnd = 12;
  tile.SetFileName("red.wxa");
  EXPECT_EQ(tile.WidthStart, 4);
  EXPECT_EQ(tile.WidthEnd, 12);
  EXPECT_EQ(tile.HeightStart, 3);
  EXPECT_EQ(tile.HeightEnd, 3);
  tile.ScrollXEnd = 6;
  ASSERT_TRUE(tile.Update(1));
  ASSERT_EQ(s.Sprites().size(), 1u);
  auto* sprite = dynamic_cast<TKovaTile*>(s.Sprites()[0]);
  ASSERT_NE(sprite, nullptr);
  EXPECT_EQ(sprite->GetWidth(), 12);
  EXPECT_EQ(sprite->GetScrollX(), 6);

  TKovaControl* control = s.scene.Box("driven", {0, 0, 8, 8});
  s.film.control = control;
  s.film.priority_base = 40;
  tile.Order = 2;
  ASSERT_TRUE(tile.Update(0));
  EXPECT_EQ(control->Priority(), 42);
  EXPECT_EQ(control->GetWidth(), 4);
}

TEST(FilmBoxTrack, ChannelsInterpolateApartAndTheBoxDraws) {
  TrackScene s;
  auto& box = s.film.Add<TBoxFrameList>();
  box.Duration = 3;
  box.ColorStart = 0x0000FF;
  box.ColorEnd = 0xFF0000;
  box.PosStart = {2, 4};
  box.PosEnd = {10, 4};
  box.WidthStart = box.WidthEnd = 6;
  box.HeightStart = box.HeightEnd = 5;
  box.AlphaStart = box.AlphaEnd = 0;
  ASSERT_TRUE(box.Update(1));
  ASSERT_EQ(s.Sprites().size(), 1u);
  auto* sprite = dynamic_cast<TKovaBox*>(s.Sprites()[0]);
  ASSERT_NE(sprite, nullptr);
  EXPECT_EQ(sprite->GetColor(), 0x7F0080);
  EXPECT_EQ(sprite->GetLeft(), 6);
  EXPECT_EQ(sprite->GetWidth(), 6);
  EXPECT_EQ(sprite->GetHeight(), 5);
  EXPECT_EQ(sprite->GetAlpha(), 255);
  s.Draw();
  EXPECT_EQ(s.scene.Pixel(6, 4), s.scene.PixelOf(0x7F0080));
  EXPECT_EQ(s.scene.Pixel(11, 8), s.scene.PixelOf(0x7F0080));
  EXPECT_NE(s.scene.Pixel(12, 4), s.scene.PixelOf(0x7F0080));
  // A box frame has the rectangle's start size, asked without recursion.
  EXPECT_EQ(box.FirstFrameWidth(), 6);
}

TEST(FilmBoxTrack, LinkedBoxStartsFromItsLinksEndValues) {
  TrackScene s;
  auto& first = s.film.Add<TBoxFrameList>();
  first.Duration = 2;
  first.PosEnd = {20, 10};
  first.WidthEnd = 8;
  first.HeightEnd = 4;
  first.AlphaEnd = 100;
  first.ColorEnd = 0x112233;
  first.BorderWidthEnd = 3;
  first.BorderColorEnd = 0x445566;
  auto& second = s.film.Add<TBoxFrameList>();
  second.Duration = 3;
  second.SetLink(&first);
  second.PosStart = {99, 99};
  second.PosEnd = {40, 10};
  second.WidthEnd = 8;
  second.HeightEnd = 4;
  second.AlphaEnd = 200;
  second.ColorEnd = 0x112233;
  second.BorderWidthEnd = 3;
  second.BorderColorEnd = 0x445566;
  EXPECT_EQ(second.GetStartTick(), 2);
  ASSERT_TRUE(second.Update(2));
  auto* sprite = dynamic_cast<TKovaBox*>(s.Sprites().back());
  ASSERT_NE(sprite, nullptr);
  EXPECT_EQ(sprite->GetLeft(), 20);
  EXPECT_EQ(sprite->GetTop(), 10);
  EXPECT_EQ(sprite->GetWidth(), 8);
  EXPECT_EQ(sprite->GetAlpha(), 100);
  EXPECT_EQ(sprite->GetColor(), 0x112233);
  EXPECT_EQ(sprite->GetBorderWidth(), 3);
  EXPECT_EQ(sprite->GetBorderColor(), 0x445566);
}

TEST(FilmBoxTrack, MotionModeMovesTheControlWithPriorityBasePlusOrder) {
  TrackScene s;
  TKovaControl* control = s.scene.Box("driven", {0, 0, 8, 8});
  s.film.control = control;
  s.film.priority_base = 10;
  auto& box = s.film.Add<TBoxFrameList>();
  box.Duration = 1;
  box.Order = 5;
  box.PosStart = box.PosEnd = {7, 9};
  box.WidthStart = box.WidthEnd = 3;
  box.HeightStart = box.HeightEnd = 2;
  ASSERT_TRUE(box.Update(0));
  EXPECT_TRUE(s.Sprites().empty());
  EXPECT_EQ(control->GetMotionX(), 7);
  EXPECT_EQ(control->GetMotionY(), 9);
  EXPECT_EQ(control->GetWidth(), 3);
  EXPECT_EQ(control->Priority(), 15);
}

TEST(FilmLabelTrack, MeasurementLinesItalicSlantAndFineHeights) {
  TrackScene s;
  s.fonts.SetShape('q', FakeGlyphFonts::Shape{3, 3, 1, 12, 5, std::vector<uint8_t>(9, 255)});
  auto& label = s.film.Add<TLabelFrameList>();
  label.FontHeight = 20;
  label.LineSpace = 4;
  label.Text = "ab\r\nabc\r\nx";
  label.Measure();
  EXPECT_EQ(label.LabelHeight, 68);
  // Box characters of a 20-pixel cell advance 10.
  EXPECT_EQ(label.LabelWidth, 30);
  label.FontStyle = 2;
  label.Measure();
  // Italic: the last character's C width (1 pixel) is taken off.
  EXPECT_EQ(label.LabelWidth, 29);
  label.FontStyle = 0;
  label.Text = "qq";
  label.Measure();
  EXPECT_EQ(label.LabelHeight, 20);
  EXPECT_EQ(label.LabelWidth, 10);
  // Antialiased, opaque, unzoomed and unturned: measured at four times the height (the fixed
  // 5-pixel advance then counts a quarter).
  label.Antialias = true;
  label.AlphaStart = label.AlphaEnd = 255;
  label.Measure();
  EXPECT_EQ(label.LabelWidth, 2);
  EXPECT_EQ(label.FirstFrameWidth(), 2);
}

TEST(FilmLabelTrack, SpriteShowsTheTextOnTheChosenLayer) {
  TrackScene s;
  auto& label = s.film.Add<TLabelFrameList>();
  label.Text = "ab";
  label.FontHeight = 16;
  label.FontColor = 0x00FF00;
  label.OtherLayer = true;
  label.PosStart = label.PosEnd = {3, 5};
  label.Order = 7;
  ASSERT_TRUE(label.Update(0));
  ASSERT_EQ(s.Sprites().size(), 1u);
  auto* sprite = dynamic_cast<TKovaLabel*>(s.Sprites()[0]);
  ASSERT_NE(sprite, nullptr);
  EXPECT_EQ(sprite->GetParent(), s.scene.root.Bases(1));
  EXPECT_EQ(sprite->GetText(), "ab");
  EXPECT_EQ(sprite->GetLeft(), 3);
  EXPECT_EQ(sprite->GetTop(), 5);
  EXPECT_EQ(sprite->Priority(), 7);
  EXPECT_EQ(sprite->GetFontColor(), 0x00FF00);
  EXPECT_FALSE(label.Update(5));
  EXPECT_TRUE(s.Sprites().empty());
}

TEST(FilmWipeTrack, ChangedSettingsRestartTheTransition) {
  TrackScene s;
  auto& wipe = s.film.Add<TWipeFrameList>();
  wipe.SetWipeKind(1);
  wipe.SetReverse(false);
  EXPECT_EQ(s.film.wipe_clears, 0);
  wipe.SetWipeKind(4);
  wipe.SetMaskName("m.bmp");
  wipe.SetParam0(3);
  wipe.SetParam1(2);
  wipe.SetReverse(true);
  EXPECT_EQ(s.film.wipe_clears, 5);
  EXPECT_FALSE(wipe.Update(0));
  EXPECT_EQ(wipe.FirstFrameWidth(), 0);
}

}  // namespace
}  // namespace kova
