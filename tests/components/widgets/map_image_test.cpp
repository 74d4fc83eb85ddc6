// The map image: its regions (rectangles with inclusive right and bottom, ellipses, polygons by
// the winding rule, the first region winning) and the map file with its damaged forms; then the
// component on a 32-bit headless screen driven by recorded mouse and keys: hover events and
// pictures, selection, auto-scrap, cancel by right click and Escape, pausing, and its save form.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "components/widgets/kova_map_image.h"
#include "components/widgets/map_regions.h"
#include "core/errors.h"
#include "core/stream.h"
#include "core/utils.h"
#include "core/vocabulary.h"
#include "script/param_collection.h"
#include "support/le_writer.h"
#include "support/map_file_writer.h"
#include "support/picture_fixtures.h"
#include "support/scene_driver.h"

namespace kova {
namespace {

using test::LayeredPicture;
using test::MapFileWriter;
using test::Solid;
using Events = std::vector<std::string>;

// ---- Regions ----

// A five-pointed star drawn in one stroke: its centre is crossed twice, so only the winding rule
// fills it.
TMapRegion Star() {
  return TMapRegion::Polygon({{25, 5}, {37, 41}, {6, 19}, {44, 19}, {13, 41}});
}

// A U shape: the notch between its arms is not covered.
TMapRegion UShape() {
  return TMapRegion::Polygon({{0, 0}, {30, 0}, {30, 30}, {20, 30}, {20, 10}, {10, 10}, {10, 30}, {0, 30}});
}

TEST(MapRegionTest, ShapesCoverThePixelsWhoseCentresLieInside) {
  struct Case {
    const char* name;
    TMapRegion region;
    std::vector<TPoint> in, out;
  };
  const Case cases[] = {
      {"rect 0,0,9,9 covers ten by ten", TMapRegion::Rect(0, 0, 9, 9), {{0, 0}, {9, 9}, {9, 0}, {0, 9}},
       {{10, 9}, {9, 10}, {-1, 0}, {0, -1}}},
      {"a rectangle turned inside out covers nothing", TMapRegion::Rect(9, 9, 0, 0), {}, {{5, 5}, {9, 9}, {0, 0}}},
      {"ellipse 0,0,19,9", TMapRegion::Ellipse(0, 0, 19, 9), {{10, 5}, {0, 5}, {19, 4}, {10, 0}},
       {{0, 0}, {19, 9}, {19, 0}, {0, 9}, {20, 5}}},
      {"star: centre and tips", Star(), {{25, 25}, {25, 8}, {40, 20}, {10, 20}}, {{10, 38}, {40, 38}, {25, 42}}},
      {"U: arms but not the notch", UShape(), {{5, 20}, {15, 5}, {25, 29}}, {{15, 20}, {15, 29}, {30, 5}}},
      {"a polygon of two points covers nothing", TMapRegion::Polygon({{0, 0}, {9, 9}}), {}, {{0, 0}, {4, 4}}},
  };
  for (const Case& c : cases) {
    for (TPoint p : c.in) EXPECT_TRUE(c.region.Contains(p)) << c.name << " " << p.X << "," << p.Y;
    for (TPoint p : c.out) EXPECT_FALSE(c.region.Contains(p)) << c.name << " " << p.X << "," << p.Y;
  }
  EXPECT_EQ(TMapRegion::Rect(0, 0, 9, 9).Bounds(), (TRect{0, 0, 10, 10}));
  EXPECT_TRUE(IsRectEmpty(TMapRegion::Rect(9, 9, 0, 0).Bounds()));
}

// What the pointer finds is what the picture shows: the masks painted for a region hold exactly
// the pixels its hit test answers true for, with the frame's own mask kept where it shows.
TEST(MapRegionTest, PaintedMasksAgreeWithTheHitTestPixelForPixel) {
  TDIBX frame_mask;
  frame_mask.SetSize(50, 50, 8);
  for (int32_t y = 0; y < 50; ++y) {
    for (int32_t x = 0; x < 50; ++x) frame_mask.SetPixel(x, y, uint32_t((x * 7 + y * 3) & 255));
  }
  const TMapRegion regions[] = {TMapRegion::Rect(-5, 3, 60, 8), TMapRegion::Ellipse(2, 4, 40, 30), Star(), UShape(),
                                TMapRegion::Polygon({{-100, -100}, {1000, -50}, {20, 1000}})};
  TDIBX cut, kept;
  cut.SetSize(50, 50, 8);
  kept.SetSize(50, 50, 8);
  for (size_t i = 0; i < std::size(regions); ++i) {
    MaskRegion(cut, &frame_mask, regions[i], false);
    MaskRegion(kept, &frame_mask, regions[i], true);
    for (int32_t y = 0; y < 50; ++y) {
      for (int32_t x = 0; x < 50; ++x) {
        const bool in = regions[i].Contains({x, y});
        const uint32_t own = frame_mask.GetPixel(x, y);
        ASSERT_EQ(cut.GetPixel(x, y), in ? 0u : own) << i << " at " << x << "," << y;
        ASSERT_EQ(kept.GetPixel(x, y), in ? own : 0u) << i << " at " << x << "," << y;
      }
    }
  }
  // Without a mask of its own the frame counts as opaque.
  MaskRegion(kept, nullptr, TMapRegion::Rect(0, 0, 0, 0), true);
  EXPECT_EQ(kept.GetPixel(0, 0), 255u);
  EXPECT_EQ(kept.GetPixel(1, 0), 0u);
}

TEST(MapFileTest, ReadsTextsAndShapesInFileOrder) {
  MapFileWriter w;
  w.Rect("\x93\x8c", 0, 0, 9, 9).Ellipse("west", 10, 0, 29, 19).Polygon("star", {{25, 5}, {37, 41}, {6, 19}, {44, 19}, {13, 41}}, 7);
  const std::vector<uint8_t> bytes = w.Bytes();
  const std::vector<TMapEntry> map = ReadMapFile(bytes);
  ASSERT_EQ(map.size(), 3u);
  EXPECT_EQ(map[0].text, "\x93\x8c");
  EXPECT_EQ(map[0].region.Shape(), TMapRegion::TShape::Rectangle);
  EXPECT_EQ(map[1].region.Shape(), TMapRegion::TShape::Ellipse);
  EXPECT_EQ(map[1].region.Bounds(), (TRect{10, 0, 30, 20}));
  EXPECT_EQ(map[2].region.Shape(), TMapRegion::TShape::Polygon);  // any kind above 1
  EXPECT_TRUE(map[2].region.Contains({25, 25}));
  EXPECT_TRUE(ReadMapFile(MapFileWriter().Bytes()).empty());
}

TEST(MapFileTest, DamagedFilesRaiseAndAllocateNothingForTheirCounts) {
  MapFileWriter w;
  w.Rect("a", 0, 0, 9, 9).Polygon("b", {{0, 0}, {9, 0}, {0, 9}}).Ellipse("c", 0, 0, 9, 9);
  const std::vector<uint8_t> whole = w.Bytes();
  for (size_t n = 0; n < whole.size(); ++n) {
    const std::vector<uint8_t> cut(whole.begin(), whole.begin() + ptrdiff_t(n));
    EXPECT_THROW(ReadMapFile(cut), EReadError) << "cut at " << n;
  }
  MapFileWriter too_many;
  too_many.Rect("a", 0, 0, 9, 9);
  too_many.count = 0x7FFFFFFF;
  MapFileWriter negative;
  negative.count = -1;
  const std::vector<uint8_t> huge_polygon = test::LeWriter().I32(1).Str("p").U8(2).I32(0x10000000).I32(0).I32(0).Bytes();
  const std::vector<uint8_t> huge_text = test::LeWriter().I32(1).I32(0x7FFFFFF0).Fill(16, 0).Bytes();
  for (const std::vector<uint8_t>& bad : {too_many.Bytes(), negative.Bytes(), huge_polygon, huge_text}) {
    EXPECT_THROW(ReadMapFile(bad), EReadError);
  }
}

// ---- The component ----

constexpr uint32_t kBaseRgb = 0xC00000, kHoverRgb = 0x00C000, kOtherRgb = 0x0000C0;
constexpr int32_t kLeft = 10, kTop = 20;

class MapImageTest : public ::testing::Test {
 protected:
  MapImageTest() : scene(test::SceneWiring{.store = &store, .pictures = &files}) {
    scene.root.SetColor(0);
    files.Add("base.wxa", LayeredPicture(30, 10, {{Solid(30, 10, kBaseRgb)}}));
    files.Add("hover.wxa", LayeredPicture(30, 10, {{Solid(30, 10, kHoverRgb)}}));
    files.Add("other.wxa", LayeredPicture(30, 10, {{Solid(30, 10, kOtherRgb)}}));
    // "left" 0..9 overlaps "wide" (0..19), which is found only right of it; "right" 20..29.
    MapFileWriter w;
    w.Rect("left", 0, 0, 9, 9).Rect("wide", 0, 0, 19, 9).Rect("right", 20, 0, 29, 9);
    files.Add("m.map", w.Bytes());
  }

  TKovaMapImage* Map(const std::string& name, int32_t top = kTop) {
    auto* m = static_cast<TKovaMapImage*>(scene.root.CreateComponent(KT_MAPIMG));
    m->SetName(name);
    m->SetParent(scene.root.ActiveBase());
    m->SetSource("base.wxa");
    m->SetHoverSource("hover.wxa");
    m->SetMapSource("m.map");
    m->SetLeft(kLeft);
    m->SetTop(top);
    m->SetOnMapIn("in");
    m->SetOnMapOut("out");
    m->SetOnSelect("sel");
    return m;
  }
  // The colour shown at (x, y) of the map placed at (kLeft, top).
  uint32_t Shown(int32_t x, int32_t y, int32_t top = kTop) { return scene.Pixel(kLeft + x, top + y) & 0xFFFFFF; }
  void MoveTo(int32_t x, int32_t y) { scene.Input(TInputKind::Move, kLeft + x, kTop + y); }
  void Press(TInputKind down, TInputKind up, int32_t x, int32_t y) {
    scene.Input(down, kLeft + x, kTop + y);
    scene.Frame(16, true);
    scene.Input(up, kLeft + x, kTop + y);
  }
  void Keys(TKovaMapImage* m) {
    m->SetHandleKey(true);
    scene.root.SetFocusControl(m);
  }
  // A key pressed and released over two frames; the events of the press frame.
  Events Key(int32_t vk) {
    scene.Key(TInputKind::KeyDown, vk);
    Events e = scene.Frame();
    scene.Key(TInputKind::KeyUp, vk);
    scene.Frame();
    return e;
  }

  test::SceneDriver scene;
  test::MemoryPictures files;
  TParamCollection store;
};

TEST_F(MapImageTest, HoverMovesBetweenRegionsWithOutBeforeInAndShowsTheHoverPictureOnlyThere) {
  TKovaMapImage* m = Map("m");
  // A second map on the same pictures: the first one's hover must not show through it.
  Map("twin", kTop + 15);
  scene.Frame();
  EXPECT_EQ(m->GetWidth(), 30);
  EXPECT_EQ(m->GetHeight(), 10);
  EXPECT_EQ(m->RegionCount(), 3);
  EXPECT_EQ(Shown(0, 0), kBaseRgb);

  MoveTo(5, 5);
  EXPECT_EQ(scene.Frame(), (Events{"m 104 in left 0"}));
  EXPECT_EQ(m->Hovered(), 0);
  for (int32_t x : {0, 9}) {
    EXPECT_EQ(Shown(x, 0), kHoverRgb) << x;
    EXPECT_EQ(Shown(x, 9), kHoverRgb) << x;
  }
  EXPECT_EQ(Shown(10, 5), kBaseRgb);
  EXPECT_EQ(Shown(25, 5), kBaseRgb);
  for (int32_t x : {0, 5, 9, 15, 25}) EXPECT_EQ(Shown(x, 5, kTop + 15), kBaseRgb) << "twin " << x;

  MoveTo(15, 5);
  EXPECT_EQ(scene.Frame(), (Events{"m 105 out left 0", "m 104 in wide 1"}));
  EXPECT_EQ(Shown(5, 5), kHoverRgb);  // "wide" covers 0..19
  EXPECT_EQ(Shown(19, 5), kHoverRgb);
  EXPECT_EQ(Shown(20, 5), kBaseRgb);
  MoveTo(15, 7);
  EXPECT_EQ(scene.Frame(), Events{});

  MoveTo(40, 5);  // off the map
  EXPECT_EQ(scene.Frame(), (Events{"m 105 out wide 1"}));
  EXPECT_EQ(m->Hovered(), -1);
  for (int32_t x : {0, 5, 15, 25}) EXPECT_EQ(Shown(x, 5), kBaseRgb) << x;
  for (int32_t x : {0, 5, 9, 15, 25}) EXPECT_EQ(Shown(x, 5, kTop + 15), kBaseRgb) << "twin " << x;
}

TEST_F(MapImageTest, AClickSelectsTheHoveredRegionOnceAndAutoScrapClosesTwoUpdatesLater) {
  TKovaMapImage* m = Map("m");
  MoveTo(25, 5);
  scene.Frame();
  Press(TInputKind::LDown, TInputKind::LUp, 25, 5);
  EXPECT_EQ(scene.Frame(16, true), (Events{"m 72 sel right 2"}));
  EXPECT_EQ(store.SelStr, "right");
  EXPECT_EQ(store.SelIndex, 2);

  // While its event waits, another click sets the variables but queues no second one.
  MoveTo(5, 5);
  scene.Frame(16, true);
  Press(TInputKind::LDown, TInputKind::LUp, 5, 5);
  EXPECT_EQ(scene.Frame(), (Events{"m 72 sel right 2", "m 105 out right 2", "m 104 in left 0"}));
  EXPECT_EQ(store.SelStr, "left");
  EXPECT_EQ(store.SelIndex, 0);

  m->SetAutoScrap(true);
  Press(TInputKind::LDown, TInputKind::LUp, 5, 5);
  EXPECT_EQ(m->Closing(), 101);  // after the press frame's update
  EXPECT_TRUE(m->GetEventLock());
  EXPECT_TRUE(scene.root.Contains(m));
  // From the selection on, input is ignored: the move to another region queues nothing.
  MoveTo(25, 5);
  EXPECT_EQ(scene.Frame(), (Events{"m 72 sel left 0"}));
  EXPECT_FALSE(scene.root.Contains(m));
}

TEST_F(MapImageTest, ArrowKeysWrapAroundEnterSelectsAndEscapeCancels) {
  TKovaMapImage* m = Map("m");
  Keys(m);
  scene.Frame();
  EXPECT_EQ(Key(38), (Events{"m 104 in right 2"}));  // Up from none: the last
  EXPECT_EQ(Key(40), (Events{"m 105 out right 2", "m 104 in left 0"}));  // Down from the last: the first
  Key(39);
  EXPECT_EQ(m->Hovered(), 1);
  Key(37);
  Key(37);
  EXPECT_EQ(m->Hovered(), 2);  // Left from the first: the last
  EXPECT_EQ(Shown(25, 5), kHoverRgb);
  EXPECT_EQ(Key(13), (Events{"m 72 sel right 2"}));
  EXPECT_EQ(Key(32), (Events{"m 72 sel right 2"}));
  EXPECT_EQ(store.SelStr, "right");

  // Escape cancels only with right-click scrap.
  Key(27);
  EXPECT_EQ(m->Closing(), 0);
  m->SetRClickScrap(true);
  Key(27);
  EXPECT_FALSE(scene.root.Contains(m));
  EXPECT_EQ(store.SelStr, "");
  EXPECT_EQ(store.SelIndex, -1);
}

TEST_F(MapImageTest, ARightClickCancelsAMapWithRightClickScrapAnywhereOnItsLayer) {
  TKovaMapImage* m = Map("m");
  test::StubBox* box = scene.Box("box", TRect{50, 35, 60, 45});
  box->SetOnRBtnDown("rdown");
  store.SelIndex = 5;
  Press(TInputKind::RDown, TInputKind::RUp, 45, 20);  // on the box, off the map
  EXPECT_EQ(scene.Frame().size(), 1u);                 // the box heard it
  EXPECT_EQ(m->Closing(), 0);
  m->SetRClickScrap(true);
  Press(TInputKind::RDown, TInputKind::RUp, 45, 20);
  EXPECT_EQ(m->Closing(), 101);
  EXPECT_EQ(store.SelIndex, -1);
  EXPECT_EQ(scene.Frame(), Events{});  // the map took the click: the box heard nothing
  EXPECT_FALSE(scene.root.Contains(m));
}

TEST_F(MapImageTest, PausedClicksSelectNothingButKeysStillDo) {
  TKovaMapImage* m = Map("m");
  m->SetPaused(true);
  Keys(m);
  MoveTo(5, 5);
  scene.Frame();
  Press(TInputKind::LDown, TInputKind::LUp, 5, 5);
  EXPECT_EQ(scene.Frame(), Events{});
  EXPECT_EQ(Key(13), (Events{"m 72 sel left 0"}));
}

TEST_F(MapImageTest, AMissingOrDamagedMapFileLeavesNoRegion) {
  TKovaMapImage* m = Map("m");
  MoveTo(5, 5);
  scene.Frame();
  ASSERT_EQ(m->Hovered(), 0);
  m->SetMapSource("none.map");
  EXPECT_EQ(m->RegionCount(), 0);
  EXPECT_EQ(m->Hovered(), -1);
  MoveTo(6, 5);
  scene.Frame();
  EXPECT_EQ(m->Hovered(), -1);

  m->SetMapSource("m.map");
  ASSERT_EQ(m->RegionCount(), 3);
  MapFileWriter w;
  w.Rect("a", 0, 0, 9, 9);
  std::vector<uint8_t> cut = w.Bytes();
  cut.resize(cut.size() - 3);
  files.Add("cut.map", cut);
  EXPECT_THROW(m->SetMapSource("cut.map"), EReadError);
  EXPECT_EQ(m->RegionCount(), 0);
  EXPECT_EQ(m->GetMapSource(), "cut.map");
}

TEST_F(MapImageTest, BrightnessShiftsBothPicturesAndTheCachedFramesStayAsTheyWere) {
  TKovaMapImage* m = Map("m");
  m->SetBrightness(-0x40);
  MoveTo(5, 5);
  scene.Frame();
  EXPECT_EQ(Shown(5, 5), kHoverRgb - 0x004000);
  EXPECT_EQ(Shown(25, 5), kBaseRgb - 0x400000);
  const TKovaImageData* frame = m->BaseImages().GetItem(0);
  ASSERT_NE(frame, nullptr);
  EXPECT_EQ(frame->CacheFrame().Surface().GetPixel(5, 5) & 0xFFFFFF, kBaseRgb);
  EXPECT_EQ(frame->CacheFrame().Mask()->GetPixel(5, 5), 255u);
}

// ---- Save form ----

std::vector<uint8_t> Saved(const TKovaObject& c) {
  TMemoryStream s;
  c.SaveToStream(s);
  return std::vector<uint8_t>(s.Bytes().begin(), s.Bytes().end());
}

TEST_F(MapImageTest, TheRecordRoundTripsAndOlderVersionsLoadByTheirGates) {
  TKovaMapImage* m = Map("m");
  m->SetWidth(60);  // stretched
  m->SetAlpha(200);
  m->SetBrightness(-3);
  m->SetAutoScrap(true);
  m->SetRClickScrap(true);
  m->SetOnIdle("idle");
  m->SetPaused(true);
  MoveTo(5, 5);
  scene.Frame();
  m->Cancel();
  const std::vector<uint8_t> record = Saved(*m);

  test::SceneDriver other(test::SceneWiring{.pictures = &files});
  auto* loaded = static_cast<TKovaMapImage*>(other.root.CreateComponent(KT_MAPIMG));
  TMemoryStream in(record);
  loaded->LoadFromStream(in, 129);
  EXPECT_EQ(in.GetPosition(), in.GetSize());
  EXPECT_EQ(Saved(*loaded), record);
  EXPECT_EQ(loaded->GetWidth(), 60);
  EXPECT_EQ(loaded->RegionCount(), 3);
  EXPECT_EQ(loaded->BaseImages().Count(), 1);
  EXPECT_EQ(loaded->HoverImages().Count(), 1);
  EXPECT_EQ(loaded->Closing(), 100);
  EXPECT_TRUE(loaded->GetEventLock());

  // Records as versions 114 and 103 wrote them: no closing state; before 104 also no idle
  // handler, pause or select handler.
  auto old = [&](int32_t version) {
    test::LeWriter w;
    // The control's record of that version: name, priority, (order), place and size, no clip,
    // visible, colour, aux rectangle, mouse mode, cursor and handlers, no children.
    w.Str("old").I32(0);
    if (version >= 104) w.I32(0);
    w.I32(kLeft).I32(kTop).I32(60).I32(10).I32(0).I32(0).Flag(false);
    if (version >= 104) w.I32(0).I32(0).I32(0).I32(0).Flag(false);
    w.Flag(true).I32(0).Rect(0, 0, 1, 1).U8(0).Str("").Str("");
    if (version >= 102) w.Str("");
    for (int i = 0; i < 7; ++i) w.Str("");
    w.I32(0);
    w.Str("base.wxa").Str("hover.wxa").Str("m.map").I32(200).I32(-3).Str("in").Str("out").Flag(true).Flag(true);
    if (version >= 104) w.Str("idle").Flag(true).Str("sel");
    return w.Bytes();
  };
  for (int32_t version : {114, 103}) {
    const std::vector<uint8_t> bytes = old(version);
    auto* o = static_cast<TKovaMapImage*>(other.root.CreateComponent(KT_MAPIMG));
    TMemoryStream s(bytes);
    o->LoadFromStream(s, version);
    EXPECT_EQ(s.GetPosition(), s.GetSize()) << version;
    EXPECT_EQ(o->Closing(), 0) << version;
    EXPECT_FALSE(o->GetEventLock()) << version;
    EXPECT_EQ(o->GetOnSelect(), version >= 104 ? "sel" : "") << version;
    EXPECT_EQ(o->GetPaused(), version >= 104) << version;
    EXPECT_EQ(o->GetAlpha(), 200) << version;
    EXPECT_EQ(o->RegionCount(), 3) << version;
    EXPECT_EQ(o->GetWidth(), 60) << version;
    EXPECT_EQ(o->GetOnMapOut(), "out") << version;
  }
}

}  // namespace
}  // namespace kova
