// The label component with the fake fonts: its size from the text and zoom, line alignment, the
// three drawing paths, the rotated hit test and its save record across versions.
#include "components/widgets/kova_label.h"

#include <gtest/gtest.h>

#include <set>

#include "core/stream.h"
#include "support/fake_glyph_fonts.h"
#include "support/le_writer.h"
#include "support/scene_driver.h"
#include "text/font_pixel.h"
#include "text/glyph_layer_font.h"

namespace kova {
namespace {

using test::FakeGlyphFonts;
using test::SceneDriver;

// Single-byte box characters of cell 16 advance 8 (a 6-pixel box one pixel in); 'q' advances 5.
struct LabelScene {
  explicit LabelScene(TDisplayFormat format = kDisplay8888) : scene(format, 96, 64, {.glyph_cache = &cache}) {
    fonts.SetShape('q', FakeGlyphFonts::Shape{3, 3, 1, 12, 5, std::vector<uint8_t>(9, 255)});
  }
  TKovaLabel* Label(const std::string& text, int32_t left = 0, int32_t top = 0) {
    auto* l = static_cast<TKovaLabel*>(scene.root.CreateComponent(KT_LABEL));
    l->SetName("l" + std::to_string(++made));
    l->SetParent(scene.root.ActiveBase());
    l->SetLeft(left);
    l->SetTop(top);
    l->SetFontHeight(16);
    l->SetText(text);
    return l;
  }
  std::set<int32_t> InkColumns() {
    std::set<int32_t> cols;
    for (int32_t y = 0; y < 64; ++y) {
      for (int32_t x = 0; x < 96; ++x) {
        if (scene.Pixel(x, y)) cols.insert(x);
      }
    }
    return cols;
  }
  FakeGlyphFonts fonts;
  TGlyphLayerFont font{fonts};
  TFontPixelManager cache{font};
  SceneDriver scene;
  int made = 0;
};

TEST(Label, SizeFollowsTheTextAndTheZoom) {
  LabelScene s;
  TKovaLabel* l = s.Label("ab\r\nabc\r\n");
  EXPECT_EQ(s.scene.root.Factory().Has(KT_LABEL), true);
  EXPECT_EQ(l->GetCompoType(), KT_LABEL);
  // A final line break adds no line.
  EXPECT_EQ(l->Lines().Count(), 2);
  EXPECT_EQ(l->GetText(), "ab\r\nabc");
  l->SetLineSpace(2);
  EXPECT_EQ(l->NaturalWidth(), 24);
  EXPECT_EQ(l->NaturalHeight(), (16 + 2) * 2);
  EXPECT_EQ(l->GetWidth(), 24);
  EXPECT_EQ(l->GetHeight(), 36);
  l->SetZoomX(512);
  l->SetZoomY(128);
  EXPECT_EQ(l->GetWidth(), 48);
  EXPECT_EQ(l->GetHeight(), 18);
  for (int32_t bad : {0, -5}) {
    l->SetZoomX(bad);
    EXPECT_EQ(l->GetZoomX(), 1);
    EXPECT_EQ(l->GetWidth(), 0);
  }
  TKovaLabel* empty = s.Label("");
  EXPECT_EQ(empty->GetWidth(), 0);
  EXPECT_EQ(empty->GetHeight(), 0);
  EXPECT_TRUE(empty->TextSurface().IsEmpty());
  // Unknown faces, a zero and a huge size: a fallback face or a clamped one, never a crash.
  l->SetFontName("no such face");
  l->SetFontHeight(0);
  l->SetFontHeight(10000);
  EXPECT_GT(l->NaturalWidth(), 0);
}

TEST(Label, LinesAlignWithinTheWidest) {
  LabelScene s;
  TKovaLabel* l = s.Label("ab\r\nq");  // 16 and 5 wide: an odd difference of 11
  const struct {
    uint8_t align;
    int32_t q_left;  // the first ink column of the second line: its x + 1
  } cases[] = {{0, 1}, {1, 5 + 1}, {2, 11 + 1}};
  for (const auto& c : cases) {
    l->SetHAlign(c.align);
    ASSERT_EQ(l->LineRects().size(), 2u);
    EXPECT_EQ(l->LineRects()[1].Left, c.q_left) << int(c.align);
    EXPECT_EQ(l->LineRects()[1].Top, 16 + 12 - 12);  // 'q' stands at the top of its line
  }
  // The line rectangles cover the ink: 'a' and 'b' at 1..6 and 9..14, rows 1..12.
  EXPECT_EQ(l->LineRects()[0], (TRect{1, 1, 15, 12}));
}

TEST(Label, DrawsUnzoomedZoomedAndAdditive) {
  for (TDisplayFormat format : {kDisplay8888, kDisplay565}) {
    LabelScene s(format);
    TKovaLabel* l = s.Label("ab", 10, 20);
    l->SetFontColor(0x0000FF);
    s.scene.Frame();
    std::set<int32_t> ink;
    for (int32_t x = 11; x <= 16; ++x) ink.insert(x);
    for (int32_t x = 19; x <= 24; ++x) ink.insert(x);
    EXPECT_EQ(s.InkColumns(), ink);
    const uint32_t red = s.scene.Pixel(13, 25);
    EXPECT_NE(red, 0u);

    // Zoomed twice as wide: stretched into the doubled bounds.
    l->SetZoomX(512);
    s.scene.Frame();
    const std::set<int32_t> cols = s.InkColumns();
    EXPECT_EQ(*cols.begin(), 12);
    EXPECT_EQ(*cols.rbegin(), 2 * 15 + 9);

    // Alpha 300 adds the text at level 44 (over black: a covered pixel added at that level).
    l->SetZoomX(256);
    l->SetAlpha(300);
    s.scene.root.SetColor(0);
    s.scene.Frame();
    TDIBX probe, red_pixel, full;
    probe.SetSize(1, 1, s.scene.host.Screen().BitCount());
    probe.Fill(0);
    red_pixel.SetSize(1, 1, probe.BitCount());
    red_pixel.Fill(uint32_t(probe.ColorToPixel(0x0000FF)));
    full.SetSize(1, 1, 8);
    full.Fill(255);
    probe.DrawMaskAdd(0, 0, red_pixel, TRect{0, 0, 1, 1}, false, false, full, 44);
    EXPECT_EQ(s.scene.Pixel(13, 25), probe.GetPixel(0, 0));

    // Alpha 0 and no text draw nothing, children neither.
    l->SetAlpha(0);
    s.scene.Frame();
    EXPECT_TRUE(s.InkColumns().empty());
  }
}

TEST(Label, RotatedLabelsAreHitWhereTheyTurned) {
  LabelScene s;
  TKovaLabel* l = s.Label("abc", 20, 10);  // 24 x 16
  const struct {
    int32_t angle;
    TPoint point;
    bool hit;
  } cases[] = {
      {0, {25, 15}, true},   {0, {15, 15}, false},
      // A quarter turn about the anchor (20, 10): (15, 15) turns back to (25, 15), inside; (25, 15)
      // turns back to (25, 5), outside.
      {64, {15, 15}, true},  {64, {25, 15}, false},
      {128, {15, 5}, true},  {128, {25, 15}, false},
  };
  for (const auto& c : cases) {
    l->SetAngle(c.angle);
    EXPECT_EQ(l->HitTest(c.point, kMaskOther) == l, c.hit) << c.angle << " " << c.point.X << "," << c.point.Y;
  }
  // The rotated bounds hold the turned text.
  l->SetAngle(64);
  const TRect b = l->GetBoundsRect();
  EXPECT_LE(b.Left, 5);
  EXPECT_GE(b.Right, 20);
  EXPECT_LE(b.Top, 10);
  EXPECT_GE(b.Bottom, 34);
  l->SetVisible(false);
  EXPECT_EQ(l->HitTest(TPoint{15, 15}, kMaskOther), nullptr);
}

TEST(Label, SaveRecordRoundTripsAndOldRecordsLoad) {
  LabelScene s;
  TKovaLabel* l = s.Label("ab\r\nc", 3, 4);
  l->SetFontStyle(TFontStyles{kStyleBold});
  l->SetLineSpace(3);
  l->SetAlpha(200);
  l->SetFontColor(0x102030);
  l->SetHAlign(2);
  l->SetAntialias(true);
  l->SetFlipH(true);
  l->SetAngle(7);
  l->SetZoomX(300);
  l->SetZoomY(400);
  l->SetOnIdle("idle");
  l->SetRepeat(true);
  l->SetAutoScrap(true);
  l->SetOnPlayEnd("end");
  l->SetPaused(true);
  TMemoryStream stream;
  l->SaveToStream(stream);

  TKovaLabel* copy = s.Label("");
  stream.SetPosition(0);
  copy->LoadFromStream(stream, 129);
  EXPECT_EQ(stream.GetPosition(), stream.Size());
  TMemoryStream again;
  copy->SaveToStream(again);
  EXPECT_EQ(std::vector<uint8_t>(again.Bytes().begin(), again.Bytes().end()),
            std::vector<uint8_t>(stream.Bytes().begin(), stream.Bytes().end()));
  EXPECT_EQ(copy->GetText(), "ab\r\nc");
  EXPECT_EQ(copy->GetZoomY(), 400);
  EXPECT_EQ(copy->GetHeight(), (16 + 3) * 2 * 400 / 256);

  // A version 103 record: the control without clip or key fields, the label without the last seven.
  test::LeWriter w;
  w.Str("old").I32(0);                              // name, priority
  w.I32(5).I32(6).I32(0).I32(0).I32(0).I32(0);      // bounds and offsets
  w.Flag(false);                                    // zoomed position
  w.Flag(true).I32(0).Rect(0, 0, 1, 1).U8(0);       // visible, colour, aux rectangle, ignore mouse
  for (int i = 0; i < 10; ++i) w.Str("");           // cursor and mouse handlers
  w.I32(0);                                         // children
  w.Str("F").I32(16).I32(0).U8(0).I32(255).I32(0xFF).U8(0).Flag(false).Flag(false).Flag(false);
  w.I32(0).I32(512).Str("ab");                      // angle, zoom x, text
  TMemoryStream old;
  old.Write(w.Bytes().data(), int64_t(w.Bytes().size()));
  old.SetPosition(0);
  TKovaLabel* loaded = s.Label("");
  loaded->LoadFromStream(old, 103);
  EXPECT_EQ(old.GetPosition(), old.Size());
  EXPECT_EQ(loaded->GetName(), "old");
  EXPECT_EQ(loaded->GetFontName(), "F");
  EXPECT_EQ(loaded->GetZoomY(), 256);
  EXPECT_EQ(loaded->GetWidth(), 32);
  EXPECT_EQ(loaded->GetHeight(), 16);
  EXPECT_EQ(loaded->GetText(), "ab");

  // The whole scene with the label saves and loads back byte for byte.
  TMemoryStream scene_bytes;
  s.scene.root.SaveToStream(scene_bytes);
  LabelScene other;
  scene_bytes.SetPosition(0);
  other.scene.root.LoadFromStream(scene_bytes, 129);
  TMemoryStream resaved;
  other.scene.root.SaveToStream(resaved);
  EXPECT_EQ(std::vector<uint8_t>(resaved.Bytes().begin(), resaved.Bytes().end()),
            std::vector<uint8_t>(scene_bytes.Bytes().begin(), scene_bytes.Bytes().end()));
}

}  // namespace
}  // namespace kova
