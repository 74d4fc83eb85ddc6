// The label cache with the fake fonts: widths by the spacing rule, rendering only when needed,
// drawing, and the stored settings across versions.
#include "text/label_list.h"

#include <gtest/gtest.h>

#include "core/stream.h"
#include "core/stream_records.h"
#include "support/fake_glyph_fonts.h"
#include "support/le_writer.h"
#include "support/record_round_trip.h"
#include "text/font_pixel.h"
#include "text/glyph_layer_font.h"

namespace kova::test {
namespace {

struct LabelRig {
  LabelRig() {
    // 'a' overhangs its advance by one pixel on the right (C = -1); 'b' has room (C = 2).
    fonts.SetShape('a', FakeGlyphFonts::Shape{4, 3, 1, 6, 4, std::vector<uint8_t>(12, 255)});
    fonts.SetShape('b', FakeGlyphFonts::Shape{3, 3, 0, 6, 5, std::vector<uint8_t>(9, 255)});
    list.FontHeight = 8;
    target.SetSize(40, 20, 32);
    target.Fill(0);
    list.Target = &target;
  }
  FakeGlyphFonts fonts;
  TGlyphLayerFont font{fonts};
  TFontPixelManager cache{font};
  TXrLabelList list{&cache};
  TDIBX target;
};

TEST(LabelList, WidthsFollowTheSpacingRule) {
  LabelRig rig;
  rig.list.BorderWidth = 1;
  TXrLabelDIB* aba = rig.list.Add();
  aba->SetText("aba");
  TXrLabelDIB* ab = rig.list.Add();
  ab->SetText("ab");
  TXrLabelDIB* empty = rig.list.Add();
  rig.list.Measure();
  // A + B + C + 2 x border; the last 'a' also covers its overhang.
  EXPECT_EQ(aba->CharWidths, (std::vector<int32_t>{6, 7, 7}));
  EXPECT_EQ(aba->Width, 20);
  EXPECT_EQ(aba->Height, 8 + 2);
  // The same characters measure the same in the next label.
  EXPECT_EQ(ab->CharWidths, (std::vector<int32_t>{6, 7}));
  EXPECT_EQ(empty->Width, 0);
  EXPECT_EQ(rig.list.MaxWidth(), 20);
  EXPECT_EQ(rig.list.Items(3), nullptr);
  EXPECT_EQ(rig.list.Items(-1), nullptr);
  // The metrics record of the measured font: its size and the cell height.
  EXPECT_EQ(rig.list.Metrics[0], 212);
  EXPECT_EQ(rig.list.Metrics[4], 8);
}

TEST(LabelList, RendersOnlyWhenTheTextOrDepthChanges) {
  LabelRig rig;
  TXrLabelDIB* l = rig.list.Add();
  l->SetText("ab");
  EXPECT_EQ(l->Dirty, 1);
  l->Draw(2, 3);
  EXPECT_EQ(l->Dirty, 0);
  EXPECT_EQ(l->ColorSurface.BitCount(), 32);
  l->SetText("ab");
  EXPECT_EQ(l->Dirty, 0);
  l->SetText("ba");
  EXPECT_EQ(l->Dirty, 1);
  l->Render();
  rig.list.Invalidate();
  EXPECT_EQ(l->Dirty, 1);
  l->Render();
  // A target of another depth renders again at its depth.
  TDIBX other;
  other.SetSize(40, 20, 16);
  rig.list.Target = &other;
  l->Draw(0, 0);
  EXPECT_EQ(l->ColorSurface.BitCount(), 16);
}

TEST(LabelList, DrawsTheColourThroughTheCoverage) {
  LabelRig rig;
  rig.list.Color = 0x0000FF;
  TXrLabelDIB* l = rig.list.Add();
  l->SetText("b");
  l->Draw(10, 4);
  // 'b' fills its 3 x 3 box from the cell's top (ascent 6, top 6 above the baseline).
  for (int32_t y = 3; y < 8; ++y) {
    for (int32_t x = 9; x < 14; ++x) {
      const bool ink = x >= 10 && x < 13 && y >= 4 && y < 7;
      EXPECT_EQ(rig.target.GetPixel(x, y) != 0, ink) << x << "," << y;
    }
  }
  // Levels above 255 draw as 255; an empty label draws nothing.
  rig.target.Fill(0);
  rig.list.Alpha = 300;
  l->Draw(10, 4);
  const uint32_t full = rig.target.GetPixel(11, 5);
  rig.list.Alpha = 255;
  rig.target.Fill(0);
  l->Draw(10, 4);
  EXPECT_EQ(rig.target.GetPixel(11, 5), full);
  TXrLabelDIB* none = rig.list.Add();
  rig.target.Fill(0);
  none->Draw(0, 0);
  EXPECT_TRUE(none->ColorSurface.IsEmpty());
}

TEST(LabelList, ShadowsAreNotCut) {
  LabelRig rig;
  rig.list.ShadowWidth = 2;
  rig.list.ShadowColor = 0x00FF00;
  rig.list.Color = 0x0000FF;
  TXrLabelDIB* l = rig.list.Add();
  l->SetText("a");
  rig.list.Measure();
  EXPECT_EQ(l->Width, 5);  // the measured width stays what list layout uses
  l->Draw(0, 0);
  EXPECT_EQ(l->ColorSurface.Width(), 5 + 2);
  EXPECT_EQ(l->ColorSurface.Height(), 8 + 2);
  // 'a' covers columns 1..4; its shadow reaches column 6, past the measured width.
  EXPECT_EQ(rig.target.GetPixel(6, 4), 0x00FF00u);
}

TEST(LabelList, StoredSettingsAcrossVersions) {
  LabelRig rig;
  rig.list.BorderWidth = 2;
  rig.list.Alpha = 200;
  rig.list.FontName = "F";
  rig.list.Color = 0x123456;
  rig.list.BorderColor = 0x654321;
  rig.list.Style = kStyleBold;
  rig.list.ShadowWidth = 3;
  rig.list.ShadowColor = 0x0A0B0C;
  rig.list.Metrics[100] = 7;
  const struct {
    int32_t version, stored_quality, quality;
    bool shadow;
  } cases[] = {
      {108, 1, 0, false}, {108, 2, 3, false}, {108, 0, 0, false}, {109, 1, 1, false},
      {121, 2, 2, false}, {122, 3, 3, true},
  };
  for (const auto& c : cases) {
    rig.list.Quality = c.stored_quality;
    TMemoryStream stream;
    rig.list.SaveToStream(stream);
    if (!c.shadow) stream.SetSize(stream.Size() - 8);  // older settings end before the shadow
    stream.SetPosition(0);
    TXrLabelList loaded;
    loaded.LoadFromStream(stream, c.version);
    EXPECT_EQ(stream.GetPosition(), stream.Size()) << c.version;
    EXPECT_EQ(loaded.Quality, c.quality) << c.version << "/" << c.stored_quality;
    EXPECT_EQ(loaded.BorderWidth, 2);
    EXPECT_EQ(loaded.Alpha, 200);
    EXPECT_EQ(loaded.FontName, "F");
    EXPECT_EQ(loaded.Color, 0x123456);
    EXPECT_EQ(loaded.BorderColor, 0x654321);
    EXPECT_EQ(loaded.Style, kStyleBold);
    EXPECT_EQ(loaded.Metrics[100], 7);
    EXPECT_EQ(loaded.ShadowWidth, c.shadow ? 3 : 0);
    EXPECT_EQ(loaded.ShadowColor, c.shadow ? 0x0A0B0C : 0);
  }
  // A truncated record raises the stream's error.
  TMemoryStream cut;
  rig.list.SaveToStream(cut);
  cut.SetSize(30);
  cut.SetPosition(0);
  TXrLabelList loaded;
  EXPECT_ANY_THROW(loaded.LoadFromStream(cut, 130));
}

TEST(LabelList, StoredSettingsBothWaysAgainstGoldenBytes) {
  std::vector<uint8_t> metrics(212, 0);
  metrics[0] = 1;
  metrics[211] = 9;
  auto settings = [&](int32_t quality, bool shadow) {
    LeWriter w;
    w.I32(quality).I32(2).I32(200).I32(8).Str("F").I32(0x123456).I32(0x654321).U8(kStyleBold).Raw(metrics);
    if (shadow) w.I32(3).I32(0x0A0B0C);
    return w.Bytes();
  };
  // Older settings save in the newest form: their quality mapped, the shadow as it was before.
  const struct {
    int32_t version, stored_quality, saved_quality;
  } cases[] = {{108, 1, 0}, {108, 2, 3}, {121, 2, 2}, {122, 1, 1}, {130, 3, 3}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.version);
    const bool shadow = c.version >= 122;
    LeWriter saved_writer;
    const std::vector<uint8_t> newest = settings(c.saved_quality, shadow);
    std::vector<uint8_t> saved = newest;
    if (!shadow) {
      saved_writer.Raw(newest).I32(0).I32(0);  // a fresh list's shadow
      saved = saved_writer.Bytes();
    }
    std::unique_ptr<TXrLabelList> list;
    ExpectRecordRoundTrip(
        settings(c.stored_quality, shadow),
        [&](TStream& s) {
          list = std::make_unique<TXrLabelList>();
          list->LoadFromStream(s, c.version);
        },
        [&](TStream& s) { list->SaveToStream(s); }, &saved);
  }
}

}  // namespace
}  // namespace kova::test
