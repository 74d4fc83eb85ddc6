// The picture-font label on a 32-bit headless screen: characters found in the map (double-byte
// ones whole) draw their cells, missing ones leave a gap, lines align, the label sizes itself to
// its text, an animated sheet steps, a sheet smaller than a cell draws nothing, and the save form.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "components/widgets/kova_cg_label.h"
#include "core/stream.h"
#include "core/vocabulary.h"
#include "support/picture_fixtures.h"
#include "support/scene_driver.h"

namespace kova {
namespace {

using test::LayeredPicture;

// The map of the sheet's eight cells: A .. G and the double-byte "あ".
const std::string kMap = "ABCDEFG\x82\xA0";

// Cell i of a sheet: red 0x10 * (i + 1) (plus `tint` blue).
uint32_t CellColour(int32_t i, uint32_t tint = 0) { return uint32_t(0x10 * (i + 1)) << 16 | tint; }

// A sheet of 4 x 2 cells of 4 x 5 pixels.
std::vector<uint32_t> Sheet(uint32_t tint = 0) {
  std::vector<uint32_t> px;
  for (int32_t y = 0; y < 10; ++y) {
    for (int32_t x = 0; x < 16; ++x) px.push_back(CellColour(y / 5 * 4 + x / 4, tint));
  }
  return px;
}

class CGLabelTest : public ::testing::Test {
 protected:
  CGLabelTest() : scene(test::SceneWiring{.pictures = &files}) {
    scene.root.SetColor(0);
    files.Add("sheet.wxa", LayeredPicture(16, 10, {{Sheet()}}));
    files.Add("anim.wxa", LayeredPicture(16, 10, {{Sheet(), 30}, {Sheet(0x80), 30}}));
  }
  TKovaCGLabel* Make(const std::string& text, const std::string& source = "sheet.wxa") {
    auto* l = static_cast<TKovaCGLabel*>(scene.root.CreateComponent(KT_CGLABEL));
    l->SetName("cg");
    l->SetParent(scene.root.ActiveBase());
    l->SetLeft(2);
    l->SetTop(3);
    l->SetSource(source);
    l->SetMapText(kMap);
    l->SetGlyphWidth(4);
    l->SetGlyphHeight(5);
    l->SetText(text);
    return l;
  }
  uint32_t Rgb(int32_t x, int32_t y) { return scene.Pixel(x, y) & 0xFFFFFF; }
  // The colour of each 4-pixel cell along the row at y, from x 2 for `cells` cells.
  std::vector<uint32_t> Row(int32_t y, int32_t cells) {
    std::vector<uint32_t> out;
    for (int32_t i = 0; i < cells; ++i) out.push_back(Rgb(2 + 4 * i + 1, y));
    return out;
  }

  test::SceneDriver scene;
  test::MemoryPictures files;
};

TEST_F(CGLabelTest, CharactersDrawTheirCellsAndMissingOnesLeaveAGap) {
  // "?" is not in the map; "ア" (0x83 0x41) is not "A" although its second byte is.
  TKovaCGLabel* l = Make("AB?G\r\n\x82\xA0\x83\x41" "C");
  EXPECT_EQ(l->Rows(), (std::vector<std::vector<int32_t>>{{0, 1, -1, 6}, {7, -1, 2}}));
  EXPECT_EQ(l->GetWidth(), 16);
  EXPECT_EQ(l->GetHeight(), 10);
  scene.Frame();
  EXPECT_EQ(Row(3, 4), (std::vector<uint32_t>{CellColour(0), CellColour(1), 0, CellColour(6)}));
  EXPECT_EQ(Row(12, 4), (std::vector<uint32_t>{CellColour(7), 0, CellColour(2), 0}));
  EXPECT_EQ(Rgb(2, 3), CellColour(0));  // the cell's corners
  EXPECT_EQ(Rgb(5, 7), CellColour(0));
}

TEST_F(CGLabelTest, LinesAlignWithinTheWidest) {
  TKovaCGLabel* l = Make("ABCD\nEF");
  struct Case {
    uint8_t align;
    std::vector<uint32_t> second;
  };
  for (const Case& c : {Case{0, {CellColour(4), CellColour(5), 0, 0}}, Case{1, {0, CellColour(4), CellColour(5), 0}},
                        Case{2, {0, 0, CellColour(4), CellColour(5)}}, Case{7, {0, 0, CellColour(4), CellColour(5)}}}) {
    l->SetHAlign(c.align);
    scene.Frame();
    EXPECT_EQ(Row(9, 4), c.second) << int(c.align);
  }
}

TEST_F(CGLabelTest, TheLabelSizesItselfToItsText) {
  struct Case {
    const char* text;
    int32_t glyph_width, glyph_height, line_space;
    int32_t width, height;
  };
  const Case cases[] = {
      {"AB\nCDE\nF", 3, 20, 4, 9, 68},  // three lines: 3 x 20 + 2 x 4
      {"ABC", 0, -2, 4, 3, 1},          // sizes below 1 are 1; one line has no line space
      {"AB\r\n", 4, 5, 9, 8, 5},        // a final line break adds no line
      {"", 4, 5, 9, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TKovaCGLabel* l = Make(c.text);
    l->SetGlyphWidth(c.glyph_width);
    l->SetGlyphHeight(c.glyph_height);
    l->SetLineSpace(c.line_space);
    EXPECT_EQ(l->GetWidth(), c.width);
    EXPECT_EQ(l->GetHeight(), c.height);
    EXPECT_GE(l->GetGlyphWidth(), 1);
    scene.Frame();
    scene.root.DeleteComponent(l);
  }
}

TEST_F(CGLabelTest, ASheetSmallerThanOneCellDrawsNothing) {
  TKovaCGLabel* l = Make("AB");
  l->SetGlyphWidth(20);  // wider than the 16-pixel sheet
  scene.Frame();
  EXPECT_EQ(Rgb(3, 4), 0u);
  l->SetGlyphWidth(4);
  l->SetGlyphHeight(11);  // taller than the sheet: no cells either
  scene.Frame();
  EXPECT_EQ(Rgb(3, 4), 0u);
  EXPECT_EQ(l->GetOrigWidth(), 16);
  l->SetSource("missing.wxa");  // the cache's blank frame
  scene.Frame();
  EXPECT_EQ(Rgb(3, 4), 0u);
  l->SetSource("");
  EXPECT_EQ(l->GetOrigWidth(), 0);
  scene.Frame();
}

TEST_F(CGLabelTest, AnAnimatedSheetStepsItsFrames) {
  TKovaCGLabel* l = Make("A", "anim.wxa");
  scene.Frame(10);
  EXPECT_EQ(Rgb(3, 4), CellColour(0));
  for (int i = 0; i < 3; ++i) scene.Frame(10);
  EXPECT_EQ(Rgb(3, 4), CellColour(0, 0x80));
  l->SetAniPaused(true);
  for (int i = 0; i < 6; ++i) scene.Frame(10);
  EXPECT_EQ(Rgb(3, 4), CellColour(0, 0x80));
  EXPECT_FALSE(l->GetPlaying());
}

TEST_F(CGLabelTest, TheSaveFormRoundTripsAndVersion124HasNoIdleHandler) {
  TKovaCGLabel* l = Make("AB\nC");
  l->SetLineSpace(2);
  l->SetHAlign(1);
  l->SetAlpha(300);
  l->SetPaused(true);
  l->SetOnIdle("idle");
  TMemoryStream saved;
  scene.root.SaveToStream(saved);
  test::SceneDriver other(test::SceneWiring{.pictures = &files});
  saved.SetPosition(0);
  other.root.LoadFromStream(saved, 129);
  auto* back = dynamic_cast<TKovaCGLabel*>(other.root.FindComponent("cg"));
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->Rows(), l->Rows());
  EXPECT_EQ(back->GetHeight(), 12);
  EXPECT_EQ(back->GetOrigWidth(), 16);
  EXPECT_EQ(back->GetOnIdle(), "idle");
  TMemoryStream again;
  other.root.SaveToStream(again);
  EXPECT_TRUE(std::ranges::equal(again.Bytes(), saved.Bytes()));

  TMemoryStream record;
  l->SaveToStream(record);
  std::vector<uint8_t> old(record.Bytes().begin(), record.Bytes().end() - 8);  // "idle"
  TMemoryStream in;
  in.Write(old.data(), int64_t(old.size()));
  in.SetPosition(0);
  auto* loaded = static_cast<TKovaCGLabel*>(other.root.CreateComponent(KT_CGLABEL));
  loaded->LoadFromStream(in, 124);
  EXPECT_EQ(in.GetPosition(), in.Size());
  EXPECT_EQ(loaded->GetOnIdle(), "");
  EXPECT_EQ(loaded->GetWidth(), 8);
  EXPECT_EQ(loaded->GetAlpha(), 300);
}

}  // namespace
}  // namespace kova
