// Box, label and wipe tracks over a real headless scene: per-channel colours, linked start values,
// the frames' sizes, what a driven control gets, the label's measurement (with the label
// component's own routine), wipe settings restarting the transition, and a drawn box's pixels.
#include <gtest/gtest.h>

#include "components/widgets/kova_box.h"
#include "components/widgets/kova_label.h"
#include "film_scene.h"
#include "support/fake_glyph_fonts.h"
#include "support/scene_driver.h"
#include "text/font_pixel.h"
#include "text/glyph_layer_font.h"

namespace kova {
namespace {

using test::SceneFilm;

struct ShapeScene {
  test::FakeGlyphFonts fonts;
  TGlyphLayerFont font{fonts};
  TFontPixelManager cache{font};
  test::SceneDriver scene{kDisplay8888, 64, 48, {.glyph_cache = &cache}};
  SceneFilm film{scene.root};
};

TEST(FilmBoxTrack, ColoursBorderAndBoundsInterpolatePerChannel) {
  ShapeScene s;
  auto& box = s.film.Add<TBoxFrameList>();
  box.Duration = 3;
  box.ColorStart = 0x0000FF;
  box.ColorEnd = 0xFF0000;
  box.BorderColorStart = 0x0000FF;
  box.BorderColorEnd = 0xFF0000;
  box.BorderWidthEnd = 10;
  box.PosEnd = {20, 0};
  box.WidthStart = 10;
  box.WidthEnd = 30;
  box.HeightStart = box.HeightEnd = 4;
  box.Order = 5;
  EXPECT_TRUE(box.Update(1));
  auto* sprite = dynamic_cast<TKovaBox*>(box.Sprite);
  ASSERT_NE(sprite, nullptr);
  EXPECT_EQ(sprite->GetName(), std::string("\x01" "0"));
  EXPECT_EQ(sprite->GetColor(), 0x7F0080);
  EXPECT_EQ(sprite->GetBorderColor(), 0x7F0080);
  EXPECT_EQ(sprite->GetBorderWidth(), 5);
  EXPECT_EQ(sprite->GetBounds(), (TRect{10, 0, 30, 4}));  // right 9 .. 49 halfway: 29
  EXPECT_EQ(sprite->Priority(), 5);
  EXPECT_EQ(sprite->GetAlpha(), 255);
  EXPECT_EQ(sprite->GetParent(), s.scene.root.Bases(0));
  s.scene.Frame();
  EXPECT_EQ(s.scene.Pixel(20, 2), s.scene.PixelOf(0x7F0080));
  EXPECT_EQ(s.scene.Pixel(9, 2), s.scene.PixelOf(0));

  // Deleted by others: noticed; the span's end removes the sprite, and so does the freed track.
  s.scene.root.DeleteComponent(sprite);
  box.Update(2);
  ASSERT_EQ(s.film.Sprites().size(), 1u);
  EXPECT_FALSE(box.Update(3));
  EXPECT_TRUE(s.film.Sprites().empty());
  box.Update(0);
  s.film.tracks.clear();
  EXPECT_TRUE(s.film.Sprites().empty());
}

TEST(FilmBoxTrack, ALinkedBoxStartsFromItsPredecessorsEnd) {
  ShapeScene s;
  auto& a = s.film.Add<TBoxFrameList>();
  a.Duration = 2;
  a.PosEnd = {7, 8};
  a.WidthStart = 3;
  a.WidthEnd = 11;
  a.HeightEnd = 12;
  a.AlphaEnd = 100;
  a.ColorEnd = 0x123456;
  a.BorderWidthEnd = 3;
  a.BorderColorEnd = 0x654321;
  auto& b = s.film.Add<TBoxFrameList>();
  b.Duration = 4;
  ASSERT_TRUE(b.SetLink(&a));
  b.PosStart = {90, 90};  // ignored while linked
  b.PosEnd = {90, 90};
  b.WidthEnd = b.HeightEnd = 1;
  b.ColorEnd = b.BorderColorEnd = 0;
  EXPECT_EQ(b.GetStartTick(), 2);
  EXPECT_TRUE(b.Update(2));
  TKovaObject* sprite = b.Sprite;
  ASSERT_NE(sprite, nullptr);
  EXPECT_EQ(sprite->GetBounds(), (TRect{7, 8, 18, 20}));
  EXPECT_EQ(sprite->GetAlpha(), 100);
  EXPECT_EQ(sprite->GetColor(), 0x123456);
  EXPECT_EQ(sprite->GetBorderWidth(), 3);
  EXPECT_EQ(sprite->GetBorderColor(), 0x654321);
  // A box frame's size is the track's start size (through the link), asking nothing back.
  EXPECT_EQ(a.FirstFrameWidth(), 3);
  EXPECT_EQ(b.FirstFrameWidth(), 11);
  EXPECT_EQ(b.FirstFrameHeight(), 12);
  auto& wipe = s.film.Add<TWipeFrameList>();
  EXPECT_EQ(wipe.FirstFrameWidth(), 0);
}

TEST(FilmBoxTrack, MotionModeDrivesTheControl) {
  ShapeScene s;
  test::StubBox* control = s.scene.Box("c", {0, 0, 1, 1});
  s.film.control = control;
  s.film.priority_base = 40;
  auto& box = s.film.Add<TBoxFrameList>();
  box.Duration = 2;
  box.PosStart = {3, 4};
  box.WidthStart = box.WidthEnd = 6;
  box.HeightStart = box.HeightEnd = 2;
  box.Order = 2;
  box.ColorStart = box.ColorEnd = 0x00FF00;
  box.Update(0);
  EXPECT_TRUE(s.film.Sprites().empty());
  EXPECT_EQ(control->GetMotionX(), 3);
  EXPECT_EQ(control->GetMotionY(), 4);
  EXPECT_EQ(control->GetWidth(), 6);
  EXPECT_EQ(control->GetHeight(), 2);
  EXPECT_EQ(control->Priority(), 42);
  EXPECT_EQ(control->GetColor(), 0x00FF00);
}

TEST(FilmLabelTrack, MeasuresWithTheLabelsRoutine) {
  ShapeScene s;
  // 'q' keeps its shape at every size: advance 5, a bitmap 7 wide from 1 (C = 5 - 1 - 7 = -3).
  // A box character of height 20 advances 10 with C = 1.
  s.fonts.SetShape('q', test::FakeGlyphFonts::Shape{7, 3, 1, 3, 5, std::vector<uint8_t>(21, 255)});
  auto& label = s.film.Add<TLabelFrameList>();
  label.SetFontHeight(20);
  label.SetLineSpace(4);
  label.SetText("ab\r\nabc\r\nq");
  EXPECT_EQ(label.LabelHeight, 68);
  EXPECT_EQ(label.LabelWidth, 30);  // "abc" at 10 a character
  EXPECT_EQ(label.FirstFrameWidth(), 30);
  label.SetText("x");
  EXPECT_EQ(label.LabelHeight, 20);

  const struct {
    const char* text;
    uint8_t style;
    bool antialias;
    int32_t alpha_start, alpha_end;
    double zoom;
    int32_t width;
  } cases[] = {
      {"qq", 0, false, 255, 255, 1.0, 16},   // the label's cell: 1 + 7 past an advance of 5
      {"qq", 2, false, 255, 255, 1.0, 19},   // italic: less the last C width
      {"aq", 2, false, 255, 255, 1.0, 21},
      {"qa", 2, false, 255, 255, 1.0, 17},   // 'a' has C = 1
      {"qqqq", 0, true, 255, 255, 1.0, 8},   // four times the height, a quarter of the width
      {"qqqq", 0, true, 0, 255, 1.0, 32},    // an unset alpha is not exactly 255
      {"qqqq", 0, true, 255, 255, 1.5, 32},  // zoomed
      {"qqqq", 0, false, 255, 255, 1.0, 32},
  };
  for (const auto& c : cases) {
    label.AlphaStart = c.alpha_start;
    label.AlphaEnd = c.alpha_end;
    label.ZoomXEnd = c.zoom;
    label.FontStyle = c.style;
    label.Antialias = c.antialias;
    label.SetText(c.text);
    label.Measure();
    EXPECT_EQ(label.LabelWidth, c.width) << c.text << " " << int(c.style) << c.antialias << c.alpha_start << c.zoom;
  }

  // The sprite the track shows has the width the track measured.
  label.AlphaStart = label.AlphaEnd = 0;
  label.ZoomXEnd = 1.0;
  label.FontStyle = 0;
  label.Antialias = false;
  label.SetText("ab\r\nabc");
  label.Duration = 3;
  label.PosEnd = {8, 0};
  label.OtherLayer = true;
  s.film.parity = 1;
  EXPECT_TRUE(label.Update(1));
  auto* sprite = dynamic_cast<TKovaLabel*>(label.Sprite);
  ASSERT_NE(sprite, nullptr);
  EXPECT_EQ(sprite->NaturalWidth(), label.LabelWidth);
  EXPECT_EQ(sprite->GetText(), "ab\r\nabc");
  EXPECT_EQ(sprite->GetLeft(), 4);
  EXPECT_EQ(sprite->GetParent(), s.scene.root.Bases(0));  // the other layer of parity 1
  EXPECT_FALSE(label.Update(3));
  EXPECT_TRUE(s.film.Sprites().empty());
}

TEST(FilmWipeTrack, ADifferentSettingRestartsTheTransition) {
  ShapeScene s;
  auto& wipe = s.film.Add<TWipeFrameList>();
  wipe.SetWipeKind(1);
  wipe.SetParam0(0);
  wipe.SetMaskName("");
  wipe.SetReverse(false);
  EXPECT_EQ(s.film.wipes_cleared, 0);
  wipe.SetWipeKind(5);
  wipe.SetMaskName("m.bmp");
  wipe.SetParam0(2);
  wipe.SetParam1(3);
  wipe.SetReverse(true);
  EXPECT_EQ(s.film.wipes_cleared, 5);
  EXPECT_FALSE(wipe.Update(0));
}

}  // namespace
}  // namespace kova
