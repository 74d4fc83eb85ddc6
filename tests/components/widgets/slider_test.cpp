// The slider and the scroll bar on a 32-bit headless screen, driven by the scene's recorded mouse
// and keys: the layout of both kinds in both orientations, the pictures' parts on the screen, the
// thumb drag and the track click, held buttons and the held scroll-bar track on the game clock,
// the keys, the alpha hit tests, the guards of an empty range, and the save form with its gates.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "components/scene/kova_base_list.h"
#include "components/widgets/kova_slider.h"
#include "core/stream.h"
#include "core/vocabulary.h"
#include "support/picture_fixtures.h"
#include "support/scene_driver.h"

namespace kova {
namespace {

using test::LayeredPicture;
using test::Solid;
using Events = std::vector<std::string>;

// Track halves (left: the empty part, right: the filled part), thumb cells, button cells.
constexpr uint32_t kEmpty = 0x202080, kFilled = 0x20A020;
constexpr uint32_t kThumb[3] = {0xC00000, 0xD00000, 0xE00000};
constexpr uint32_t kButton[6] = {0x000010, 0x000020, 0x000030, 0x000040, 0x000050, 0x000060};

// A picture of `cells` cells of w x h, side by side, in the colours given.
std::vector<uint8_t> Cells(int32_t w, int32_t h, std::vector<uint32_t> colours) {
  const int32_t n = int32_t(colours.size());
  std::vector<uint32_t> px;
  for (int32_t y = 0; y < h; ++y) {
    for (int32_t x = 0; x < w * n; ++x) px.push_back(colours[size_t(x / w)]);
  }
  return LayeredPicture(w * n, h, {{px}});
}

class SliderTest : public ::testing::Test {
 protected:
  SliderTest() : scene(kDisplay8888, 96, 80, {.pictures = &files}) {
    scene.root.SetColor(0);
    // Track halves 20 x 6, thumb cells 6 x 8, button cells 5 x 8.
    files.Add("track.wxa", Cells(20, 6, {kEmpty, kFilled}));
    files.Add("thumb.wxa", Cells(6, 8, {kThumb[0], kThumb[1], kThumb[2]}));
    files.Add("buttons.wxa", Cells(5, 8, {kButton[0], kButton[1], kButton[2], kButton[3], kButton[4], kButton[5]}));
  }
  // A slider (or scroll bar) at (4, 4) over 0 .. 10 with every picture.
  TKovaSlider* Make(uint8_t kind = KT_SLIDER, uint8_t orientation = 0, int32_t bar_size = 0) {
    auto* s = static_cast<TKovaSlider*>(scene.root.CreateComponent(kind));
    s->SetName(kind == KT_SLIDER ? "slider" : "bar");
    s->SetParent(scene.root.ActiveBase());
    s->SetLeft(4);
    s->SetTop(4);
    s->SetOrientation(orientation);
    s->SetBarSize(bar_size);
    s->SetSource("track.wxa");
    s->SetThumbSource("thumb.wxa");
    s->SetButtonSource("buttons.wxa");
    s->SetMax(10);
    s->SetOnNotify("notify");
    return s;
  }
  uint32_t Rgb(int32_t x, int32_t y) { return scene.Pixel(x, y) & 0xFFFFFF; }
  // Moves the pointer in one frame, presses in the next (the hover states come from the move).
  Events Press(int32_t x, int32_t y) {
    scene.Input(TInputKind::Move, x, y);
    scene.Frame();
    scene.Input(TInputKind::LDown, x, y);
    return scene.Frame();
  }

  test::SceneDriver scene;
  test::MemoryPictures files;
};

// ---- Layout ----

struct LayoutCase {
  const char* what;
  uint8_t kind, orientation;
  int32_t bar_size, value;
  TRect bounds, track, thumb, button1;
};

TEST_F(SliderTest, BothKindsLayOutTheirPartsInBothOrientations) {
  const LayoutCase cases[] = {
      // Track 20 + thumb 6 + two buttons of 5; the track starts half a thumb in.
      {"slider", KT_SLIDER, 0, 0, 5, {4, 4, 40, 12}, {12, 5, 32, 11}, {19, 4, 25, 12}, {35, 4, 40, 12}},
      // The scroll bar's thumb moves inside the track: 5 of 10 over 20 - 6 pixels.
      {"scroll bar", KT_SCROLLBAR, 0, 0, 5, {4, 4, 34, 12}, {9, 5, 29, 11}, {16, 4, 22, 12}, {29, 4, 34, 12}},
      // Vertical, BarSize gives the track's length: the slider's Max is at the top...
      {"vertical slider", KT_SLIDER, 1, 30, 10, {4, 4, 24, 58}, {4, 16, 24, 46}, {11, 12, 17, 20}, {11, 50, 16, 58}},
      {"vertical slider at min", KT_SLIDER, 1, 30, 0, {4, 4, 24, 58}, {4, 16, 24, 46}, {11, 42, 17, 50}, {11, 50, 16, 58}},
      // ... and the scroll bar's at the bottom.
      {"vertical scroll bar", KT_SCROLLBAR, 1, 30, 10, {4, 4, 24, 50}, {4, 12, 24, 42}, {11, 34, 17, 42}, {11, 42, 16, 50}},
  };
  for (const LayoutCase& c : cases) {
    SCOPED_TRACE(c.what);
    TKovaSlider* s = Make(c.kind, c.orientation, c.bar_size);
    s->SetValue(c.value);
    EXPECT_EQ(s->GetBoundsRect(), c.bounds);
    EXPECT_EQ(s->GetTrackRect(), c.track);
    EXPECT_EQ(s->GetThumbRect(), c.thumb);
    EXPECT_EQ(s->GetButtonRect(1), c.button1);
    scene.root.DeleteComponent(s);
  }
}

TEST_F(SliderTest, BarSizeZeroTakesTheTrackFromThePictureAndNoTrackMeansNoSize) {
  TKovaSlider* s = Make(KT_SLIDER, 0, 50);
  EXPECT_EQ(s->TrackSize(), (TPartSize{50, 6}));
  s->SetBarSize(0);
  EXPECT_EQ(s->TrackSize(), (TPartSize{20, 6}));
  EXPECT_EQ(s->GetWidth(), 36);
  // A huge BarSize is kept as set but lays out a bounded track, drawn only where it shows.
  s->SetBarSize(INT32_MAX);
  s->SetValue(3);
  EXPECT_EQ(s->GetBarSize(), INT32_MAX);
  EXPECT_EQ(s->TrackSize(), (TPartSize{kMaxBarSize, 6}));
  scene.Frame();
  EXPECT_EQ(Rgb(12, 5), kFilled);
  s->SetBarSize(0);
  s->SetSource("");
  EXPECT_EQ(s->GetWidth(), 0);
  EXPECT_EQ(s->GetHeight(), 0);
  // A damaged picture raises the reader's error and leaves the part empty.
  s->SetSource("track.wxa");
  files.Add("bad.wxa", {'W', 'e', 'x', 'a', '1', '0', '6', 0xFF});
  EXPECT_ANY_THROW(s->SetSource("bad.wxa"));
  EXPECT_EQ(s->TrackSize(), (TPartSize{}));
  EXPECT_EQ(s->GetWidth(), 0);
  // Cells narrower than a pixel: a thumb picture of 2 pixels has no cells, and nothing divides.
  files.Add("thin.wxa", Cells(1, 3, {0x111111, 0x222222}));
  s->SetSource("track.wxa");
  s->SetThumbSource("thin.wxa");
  EXPECT_EQ(s->ThumbCell(), (TPartSize{0, 3}));
  scene.Frame();
}

// ---- Drawing ----

TEST_F(SliderTest, TheTrackIsFilledUpToTheThumbAndThePartsShowTheirStates) {
  TKovaSlider* s = Make();
  s->SetValue(5);  // ThumbPos 10: the track's first 10 pixels are filled
  scene.Frame();
  // Track 12 .. 32 (rows 5 .. 10), thumb 19 .. 25 (rows 4 .. 11).
  EXPECT_EQ(Rgb(12, 5), kFilled);
  EXPECT_EQ(Rgb(18, 5), kFilled);
  EXPECT_EQ(Rgb(26, 5), kEmpty);
  EXPECT_EQ(Rgb(31, 10), kEmpty);
  EXPECT_EQ(Rgb(32, 5), 0u);
  EXPECT_EQ(Rgb(19, 4), kThumb[0]);
  EXPECT_EQ(Rgb(4, 4), kButton[0]);
  EXPECT_EQ(Rgb(39, 11), kButton[3]);
  // Hovering the thumb, then button 1.
  scene.Input(TInputKind::Move, 20, 6);
  scene.Frame();
  EXPECT_EQ(Rgb(19, 4), kThumb[1]);
  scene.Input(TInputKind::Move, 37, 6);
  scene.Frame();
  EXPECT_EQ(Rgb(19, 4), kThumb[0]);
  EXPECT_EQ(Rgb(37, 6), kButton[4]);
  // Paused: no hover states.
  s->SetPaused(true);
  scene.Input(TInputKind::Move, 20, 6);
  scene.Frame();
  EXPECT_EQ(Rgb(19, 4), kThumb[0]);
  // An empty range hides the thumb even where it stands (value 0, thumb at x 9 .. 15).
  s->SetValue(0);
  scene.Frame();
  EXPECT_EQ(Rgb(10, 4), kThumb[0]);
  s->SetMax(0);
  scene.Frame();
  EXPECT_EQ(Rgb(10, 4), 0u);
}

TEST_F(SliderTest, AVerticalSliderFillsFromTheBottomTiledFromItsBottomEnd) {
  // A track picture whose rows differ: halves 2 x 4, row y of the left half 0x10 * (y + 1) blue,
  // of the right half green.
  std::vector<uint32_t> px;
  for (int32_t y = 0; y < 4; ++y) {
    for (int32_t x = 0; x < 4; ++x) px.push_back(x < 2 ? uint32_t(0x10 * (y + 1)) : uint32_t(0x10 * (y + 1)) << 8);
  }
  files.Add("rows.wxa", LayeredPicture(4, 4, {{px}}));
  TKovaSlider* s = Make(KT_SLIDER, 1, 30);
  s->SetSource("rows.wxa");
  s->SetThumbSource("");
  s->SetButtonSource("");
  s->SetValue(3);  // ThumbPos 9 of 30
  scene.Frame();
  const TRect t = s->GetTrackRect();
  ASSERT_EQ(t.Height(), 30);
  for (int32_t y = t.Top; y < t.Bottom; ++y) {
    // Counted from the bottom end: the bottom row shows the picture's bottom row.
    const uint32_t level = 0x10 * uint32_t(4 - (t.Bottom - 1 - y) % 4);
    const bool filled = y >= t.Bottom - 9;
    ASSERT_EQ(Rgb(t.Left, y), filled ? level << 8 : level) << y;
  }
}

TEST_F(SliderTest, AHeldScrollBarTrackLightsTheHeldSideUpToTheThumb) {
  TKovaSlider* bar = Make(KT_SCROLLBAR);
  bar->SetLargeChange(2);
  bar->SetValue(8);  // thumb at 9 + 11 = 20 .. 26
  scene.Frame();
  EXPECT_EQ(Rgb(12, 5), kEmpty);
  Press(11, 6);  // before the thumb: value 6, thumb 9 + 8 = 17 .. 23
  EXPECT_EQ(bar->GetValue(), 6);
  EXPECT_EQ(bar->MouseState(), TKovaSlider::kPageBefore);
  EXPECT_EQ(Rgb(12, 5), kFilled);
  EXPECT_EQ(Rgb(27, 5), kEmpty);
  scene.Input(TInputKind::LUp, 11, 6);
  scene.Frame();
  EXPECT_EQ(Rgb(12, 5), kEmpty);
}

// ---- Mouse ----

TEST_F(SliderTest, DraggingTheThumbNotifiesEachValueAndHoldAndReleaseBracketIt) {
  TKovaSlider* s = Make();
  s->SetOnHold("hold");
  s->SetOnRelease("release");
  s->SetOnLBtnDown("down");
  // The thumb at 0: x 9 .. 14; pressed 1 pixel right of its centre.
  EXPECT_EQ(Press(13, 6), (Events{"slider 36 down 9 2", "slider 135 hold"}));
  EXPECT_EQ(s->ThumbState(), 2);
  EXPECT_EQ(s->MouseState(), TKovaSlider::kDragging);
  // 2 pixels per unit: moved 6 pixels is value 3, then 20 more is beyond Max.
  scene.Input(TInputKind::Move, 19, 30);
  EXPECT_EQ(scene.Frame(), (Events{"slider 33 notify 3"}));
  scene.Input(TInputKind::Move, 60, 6);
  EXPECT_EQ(scene.Frame(), (Events{"slider 33 notify 10"}));
  scene.Input(TInputKind::Move, 61, 6);
  EXPECT_EQ(scene.Frame(), Events{});  // no change, no event
  scene.Input(TInputKind::LUp, 60, 6);
  EXPECT_EQ(scene.Frame(), (Events{"slider 136 release"}));
  EXPECT_EQ(s->MouseState(), TKovaSlider::kIdle);
  EXPECT_EQ(s->ThumbState(), 0);  // the pointer is not over the thumb any more
  EXPECT_EQ(s->GetThumbRect().Left, 29);
}

TEST_F(SliderTest, AClickOnTheTrackJumpsThereAndStartsADrag) {
  TKovaSlider* s = Make();
  s->SetOnRelease("release");
  // Track 12 .. 32: x 26 is 14 pixels in, value 7.
  EXPECT_EQ(Press(26, 6), (Events{"slider 33 notify 7"}));
  EXPECT_EQ(s->MouseState(), TKovaSlider::kDragging);
  scene.Input(TInputKind::Move, 22, 6);
  EXPECT_EQ(scene.Frame(), (Events{"slider 33 notify 5"}));
  scene.Input(TInputKind::LUp, 22, 6);
  EXPECT_EQ(scene.Frame(), (Events{"slider 136 release"}));
  EXPECT_EQ(s->ThumbState(), 1);  // released over the thumb
}

TEST_F(SliderTest, AVerticalSliderDragsUpwards) {
  TKovaSlider* s = Make(KT_SLIDER, 1, 30);  // track y 16 .. 46, 3 pixels per unit
  Press(10, 40);                               // 5 pixels up from the bottom row: 1.67, value 2
  EXPECT_EQ(s->GetValue(), 2);
  scene.Input(TInputKind::Move, 10, 20);
  scene.Frame();
  EXPECT_EQ(s->GetValue(), 8);  // 25 pixels up
}

TEST_F(SliderTest, AHeldButtonStepsAtOnceAfterTheRepeatDelayThenEachIntervalAndOnlyWhileOverIt) {
  TKovaSlider* s = Make();
  s->SetSmallChange(2);
  EXPECT_EQ(Press(37, 6), (Events{"slider 33 notify 2"}));
  EXPECT_EQ(s->ButtonState(1), 2);
  // 10 ms frames: the next step 300 ms later, then every 50 ms.
  std::vector<int32_t> stepped_at;
  for (int32_t t = 10; t <= 400; t += 10) {
    if (!scene.Frame(10).empty()) stepped_at.push_back(t);
  }
  EXPECT_EQ(stepped_at, (std::vector<int32_t>{300, 350, 400}));
  EXPECT_EQ(s->GetValue(), 8);
  // Off the button: no steps, and the button shows unpressed.
  scene.Input(TInputKind::Move, 60, 30);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(scene.Frame(10), Events{});
  EXPECT_EQ(s->ButtonState(1), 0);
  EXPECT_EQ(Rgb(37, 6), kButton[3]);
  // Back on it: the steps go on up to Max, where they stop queueing.
  scene.Input(TInputKind::Move, 37, 6);
  Events all;
  for (int i = 0; i < 20; ++i) {
    for (const std::string& e : scene.Frame(10)) all.push_back(e);
  }
  EXPECT_EQ(all, (Events{"slider 33 notify 10"}));
  EXPECT_EQ(s->ButtonState(1), 2);
  scene.Input(TInputKind::LUp, 37, 6);
  scene.Frame();
  EXPECT_EQ(s->ButtonState(1), 1);
  EXPECT_EQ(s->MouseState(), TKovaSlider::kIdle);
}

TEST_F(SliderTest, TheVerticalSlidersTopButtonRaisesAndTheScrollBarsLowers) {
  TKovaSlider* s = Make(KT_SLIDER, 1, 30);  // button 0 at x 11 .. 16, y 4 .. 12
  Press(12, 6);
  EXPECT_EQ(s->GetValue(), 1);
  scene.Input(TInputKind::LUp, 12, 6);
  scene.Frame();
  scene.root.DeleteComponent(s);
  TKovaSlider* bar = Make(KT_SCROLLBAR, 1, 30);
  bar->SetValue(5);
  Press(12, 6);
  EXPECT_EQ(bar->GetValue(), 4);
}

TEST_F(SliderTest, AHeldScrollBarTrackPagesUntilTheThumbReachesThePointer) {
  TKovaSlider* bar = Make(KT_SCROLLBAR);  // thumb at 9 .. 15, 14 pixels over 10 units
  bar->SetLargeChange(3);
  EXPECT_EQ(Press(27, 6), (Events{"bar 33 notify 3"}));
  EXPECT_EQ(bar->MouseState(), TKovaSlider::kPageAfter);
  Events all;
  for (int i = 0; i < 60; ++i) {
    for (const std::string& e : scene.Frame(10)) all.push_back(e);
  }
  // 3: thumb 13 .. 19, 6: 17 .. 23, 9: 22 .. 28 holds the pointer, and the paging stops.
  EXPECT_EQ(all, (Events{"bar 33 notify 6", "bar 33 notify 9"}));
  EXPECT_FALSE(bar->PageLit());
}

TEST_F(SliderTest, EveryUserStepQueuesItsNotifyEvenWhileOneWaits) {
  TKovaSlider* s = Make();
  scene.Input(TInputKind::Move, 37, 6);
  scene.Frame();
  scene.Input(TInputKind::LDown, 37, 6);
  scene.Frame(16, true);
  scene.Input(TInputKind::LUp, 37, 6);
  scene.Frame(16, true);
  scene.Input(TInputKind::LDown, 37, 6);
  const Events waiting = scene.Frame(16, true);
  EXPECT_EQ(waiting, (Events{"slider 33 notify 1", "slider 33 notify 2"}));
  EXPECT_EQ(s->GetValue(), 2);
  // A script's own change queues nothing.
  s->SetValue(7);
  EXPECT_EQ(scene.TakeEvents().size(), 2u);
}

TEST_F(SliderTest, AlphaMasksHitFromLevel128) {
  // Thumb cells 2 x 1 whose left pixel is 127 opaque and the right 128; button cells likewise.
  const std::vector<uint32_t> rgb(6, 0xFF0000);
  files.Add("mthumb.png", test::RgbaPng(6, 1, rgb, {127, 128, 127, 128, 127, 128}));
  files.Add("mbuttons.png", test::RgbaPng(12, 1, std::vector<uint32_t>(12, 0x00FF00),
                                          {255, 255, 255, 255, 255, 255, 127, 128, 255, 255, 255, 255}));
  TKovaSlider* s = Make();
  s->SetThumbSource("mthumb.png");
  s->SetButtonSource("mbuttons.png");
  const TRect thumb = s->GetThumbRect(), button1 = s->GetButtonRect(1);
  // Without CaptureMask the whole thumb is hit.
  scene.Input(TInputKind::Move, thumb.Left, thumb.Top);
  scene.Frame();
  EXPECT_EQ(s->ThumbState(), 1);
  s->SetCaptureMask(true);
  struct Probe {
    TPoint p;
    int32_t thumb, button1;
  };
  for (const Probe& probe : {Probe{{thumb.Left + 1, thumb.Top}, 1, 0}, Probe{{thumb.Left, thumb.Top}, 0, 0},
                             Probe{{button1.Left, button1.Top}, 0, 0}, Probe{{button1.Left + 1, button1.Top}, 0, 1}}) {
    scene.Input(TInputKind::Move, probe.p.X, probe.p.Y);
    scene.Frame();
    EXPECT_EQ(s->ThumbState(), probe.thumb) << probe.p.X;
    EXPECT_EQ(s->ButtonState(1), probe.button1) << probe.p.X;
  }
}

// ---- Keys ----

TEST_F(SliderTest, KeysStepTheFocusedControlInItsOwnDirections) {
  struct KeyCase {
    uint8_t kind, orientation;
    int32_t raise, lower;
  };
  // Left 37, Up 38, Right 39, Down 40.
  for (const KeyCase& c : {KeyCase{KT_SLIDER, 0, 39, 37}, KeyCase{KT_SLIDER, 1, 38, 40},
                           KeyCase{KT_SCROLLBAR, 0, 39, 37}, KeyCase{KT_SCROLLBAR, 1, 40, 38}}) {
    SCOPED_TRACE(int(c.kind) * 10 + c.orientation);
    TKovaSlider* s = Make(c.kind, c.orientation, 30);
    s->SetHandleKey(true);
    s->SetSmallChange(4);
    s->SetValue(8);
    scene.root.SetFocusControl(s);
    scene.Key(TInputKind::KeyDown, c.raise);
    EXPECT_EQ(scene.Frame(), (Events{std::string(c.kind == KT_SLIDER ? "slider" : "bar") + " 33 notify 10"}));
    scene.Key(TInputKind::KeyUp, c.raise);
    scene.Frame();
    scene.Key(TInputKind::KeyDown, c.lower);
    scene.Frame();
    EXPECT_EQ(s->GetValue(), 6);
    scene.Key(TInputKind::KeyUp, c.lower);
    scene.Frame();
    scene.root.DeleteComponent(s);
  }
}

// ---- Values and guards ----

TEST_F(SliderTest, AValueBeyondTheRangeReadsClampedAndIsKeptAsStored) {
  TKovaSlider* s = Make();
  s->SetValue(20);
  EXPECT_EQ(s->GetValue(), 10);
  EXPECT_EQ(s->RawValue(), 20);
  EXPECT_EQ(s->ThumbPos(), 20);
  s->SetMax(40);
  EXPECT_EQ(s->GetValue(), 20);
}

TEST_F(SliderTest, AnEmptyOrInvertedRangeHidesTheThumbAndTakesNoMouse) {
  for (int32_t max : {0, -5}) {
    SCOPED_TRACE(max);
    TKovaSlider* s = Make();
    s->SetMin(0);
    s->SetMax(max);
    s->SetValue(3);
    EXPECT_EQ(s->GetValue(), 0);  // Min when Max is below it
    EXPECT_EQ(s->ThumbPos(), 0);
    Press(11, 6);
    EXPECT_EQ(s->MouseState(), TKovaSlider::kIdle);
    EXPECT_EQ(s->ThumbState(), 0);
    scene.Input(TInputKind::LUp, 11, 6);
    scene.Frame();
    Press(26, 6);
    EXPECT_EQ(s->GetValue(), 0);
    scene.Input(TInputKind::LUp, 26, 6);
    scene.Frame();
    EXPECT_EQ(Rgb(10, 4), 0u);  // no thumb drawn
    scene.root.DeleteComponent(s);
  }
}

TEST_F(SliderTest, ATrackAsShortAsTheThumbLeavesTheValueWhenDragged) {
  TKovaSlider* bar = Make(KT_SCROLLBAR, 0, 6);  // thumb as long as the track: nothing to move over
  bar->SetValue(4);
  Press(bar->GetThumbRect().Left + 1, 6);
  EXPECT_EQ(bar->MouseState(), TKovaSlider::kDragging);
  scene.Input(TInputKind::Move, 40, 6);
  EXPECT_EQ(scene.Frame(), Events{});
  EXPECT_EQ(bar->GetValue(), 4);
}

// ---- Save form ----

TEST_F(SliderTest, TheSaveFormRoundTripsAndOldVersionsLackCaptureMaskAndBarSize) {
  TKovaSlider* bar = Make(KT_SCROLLBAR, 1, 30);
  bar->SetMin(-3);
  bar->SetValue(40);
  bar->SetSmallChange(2);
  bar->SetLargeChange(5);
  bar->SetAlpha(300);
  bar->SetPaused(true);
  bar->SetOnHold("h");
  bar->SetOnRelease("r");
  bar->SetOnIdle("i");
  bar->SetCaptureMask(true);
  TMemoryStream saved;
  scene.root.SaveToStream(saved);
  test::SceneDriver other(kDisplay8888, 96, 80, {.pictures = &files});
  saved.SetPosition(0);
  other.root.LoadFromStream(saved, 129);
  auto* back = dynamic_cast<TKovaScrollbar*>(other.root.FindComponent("bar"));
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->GetSource(), "track.wxa");
  EXPECT_EQ(back->GetButtonSource(), "buttons.wxa");
  EXPECT_EQ(back->RawValue(), 40);
  EXPECT_EQ(back->GetMin(), -3);
  EXPECT_EQ(back->GetLargeChange(), 5);
  EXPECT_EQ(back->GetBarSize(), 30);
  EXPECT_EQ(back->GetBoundsRect(), bar->GetBoundsRect());
  EXPECT_EQ(back->GetThumbRect(), bar->GetThumbRect());
  TMemoryStream again;
  other.root.SaveToStream(again);
  EXPECT_TRUE(std::ranges::equal(again.Bytes(), saved.Bytes()));

  // The component's own record at older versions: without BarSize (127), without CaptureMask too
  // (118). The scroll bar's LargeChange follows either way.
  TMemoryStream record;
  bar->SaveToStream(record);
  const std::vector<uint8_t> full(record.Bytes().begin(), record.Bytes().end());
  for (int32_t version : {127, 118}) {
    SCOPED_TRACE(version);
    std::vector<uint8_t> old(full.begin(), full.end() - 4);  // LargeChange
    old.resize(old.size() - (version == 127 ? 4 : 5));
    for (int k = 0; k < 4; ++k) old.push_back(full[full.size() - 4 + size_t(k)]);
    // Before 120 the object record has no tag (here the empty one after name "bar", priority, order).
    if (version < 120) old.erase(old.begin() + 15, old.begin() + 19);
    TMemoryStream in;
    in.Write(old.data(), int64_t(old.size()));
    in.SetPosition(0);
    auto* loaded = static_cast<TKovaSlider*>(other.root.CreateComponent(KT_SCROLLBAR));
    loaded->LoadFromStream(in, version);
    EXPECT_EQ(in.GetPosition(), in.Size());
    EXPECT_EQ(loaded->GetCaptureMask(), version == 127);
    EXPECT_EQ(loaded->GetBarSize(), 0);
    EXPECT_EQ(loaded->GetLargeChange(), 5);
    EXPECT_EQ(loaded->TrackSize(), (TPartSize{20, 6}));
  }
}

}  // namespace
}  // namespace kova
