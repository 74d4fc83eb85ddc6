// The menu (and the list box under it) on a 32-bit headless screen with the fake fonts: items from
// the text, the layout and its geometry, the scroll column's hold and drag, keys, selection, the
// opening and closing machine with its events, right click and Escape, the drawing checked by
// pixels, and the save record across versions.
#include "components/widgets/kova_menu.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "core/stream.h"
#include "core/stream_records.h"
#include "core/vocabulary.h"
#include "script/param_collection.h"
#include "support/fake_glyph_fonts.h"
#include "support/le_writer.h"
#include "support/picture_fixtures.h"
#include "support/scene_driver.h"
#include "text/font_pixel.h"
#include "text/glyph_layer_font.h"

namespace kova {
namespace {

using test::FakeGlyphFonts;
using test::LayeredPicture;
using test::Solid;

constexpr int32_t kUp = 38, kDown = 40, kPageUp = 33, kPageDown = 34, kEnter = 13, kEscape = 27;

// Items of the fake font at height 10: each character advances 5; "ab" is 10 wide.
class MenuTest : public ::testing::Test {
 protected:
  MenuTest() : scene(kDisplay8888, 120, 120, {.store = &store, .glyph_cache = &cache, .pictures = &files}) {
    scene.root.SetColor(0);
    // The scroll picture: seven 3 x 4 cells whose red channel is 0x10 * (1 + cell).
    std::vector<uint32_t> scroll;
    for (int32_t y = 0; y < 4; ++y)
      for (int32_t x = 0; x < 21; ++x) scroll.push_back(uint32_t(0x10 * (1 + x / 3)) << 16);
    files.Add("scroll.wxa", LayeredPicture(21, 4, {{scroll}}));
    // The check picture: two 4 x 4 cells, green 0x40 then 0x80.
    std::vector<uint32_t> check;
    for (int32_t y = 0; y < 4; ++y)
      for (int32_t x = 0; x < 8; ++x) check.push_back(x < 4 ? 0x004000 : 0x008000);
    files.Add("check.wxa", LayeredPicture(8, 4, {{check}}));
  }

  TKovaMenu* Menu(const std::string& text, int32_t rows, TPoint at = {10, 10}) {
    auto* m = static_cast<TKovaMenu*>(scene.root.CreateComponent(KT_MENU));
    m->SetName("m" + std::to_string(++made));
    m->SetParent(scene.root.ActiveBase());
    m->SetLeft(at.X);
    m->SetTop(at.Y);
    m->SetFontHeight(10);
    m->SetRowCount(rows);
    m->SetText(text);
    m->Layout();
    return m;
  }
  // Opens the menu at once and lets its events go by.
  TKovaMenu* OpenMenu(const std::string& text, int32_t rows, TPoint at = {10, 10}) {
    TKovaMenu* m = Menu(text, rows, at);
    m->SetPlayState(TKovaMenu::kOpen);
    scene.Frame();
    return m;
  }
  void Press(TInputKind kind, TPoint p) { scene.Input(kind, p.X, p.Y); }
  void Key(int32_t vk) {
    scene.Key(TInputKind::KeyDown, vk);
    scene.Frame();
    scene.Key(TInputKind::KeyUp, vk);
  }
  uint32_t Red(int32_t x, int32_t y) { return scene.Pixel(x, y) >> 16 & 0xFF; }
  uint32_t Green(int32_t x, int32_t y) { return scene.Pixel(x, y) >> 8 & 0xFF; }

  FakeGlyphFonts fonts;
  TGlyphLayerFont font{fonts};
  TFontPixelManager cache{font};
  test::SceneDriver scene;
  TParamCollection store;
  test::MemoryPictures files;
  int made = 0;
};

// ---- Items and layout ----

TEST_F(MenuTest, ItemsComeFromTheTextWithoutEmptyEnds) {
  TKovaMenu* m = Menu("\r\n\x01\r\nab\r\n\r\nabc\n\x02\r\n", 5);
  ASSERT_EQ(m->GetCount(), 3);
  EXPECT_EQ(m->NormalLabels().Items(0)->Text, "ab");
  EXPECT_EQ(m->NormalLabels().Items(1)->Text, "");
  EXPECT_EQ(m->HoverLabels().Items(2)->Text, "abc");
  EXPECT_EQ(m->GetText(), "\r\n\x01\r\nab\r\n\r\nabc\n\x02\r\n");
  EXPECT_EQ(scene.root.Factory().Has(KT_MENU), true);
  EXPECT_EQ(m->GetCompoType(), KT_MENU);
  // Every item has a check flag; flags outside the items read false and ignore writes.
  m->SetItemChecked(2, true);
  m->SetItemChecked(3, true);
  m->SetItemChecked(-1, true);
  EXPECT_TRUE(m->GetItemChecked(2));
  EXPECT_FALSE(m->GetItemChecked(3));
  EXPECT_FALSE(m->GetItemChecked(-1));
  // New text drops the flags and the scroll position.
  m->SetRowCount(1);
  m->SetTopIndex(2);
  EXPECT_EQ(m->GetTopIndex(), 2);
  m->SetText("x\r\ny");
  EXPECT_EQ(m->GetTopIndex(), 0);
  EXPECT_FALSE(m->GetItemChecked(0));
}

TEST_F(MenuTest, LayoutAddsLabelsBordersMarginsAndColumns) {
  files.Add("l.wxa", LayeredPicture(3, 2, {{Solid(3, 2, 0x100000)}}));
  files.Add("l5.wxa", LayeredPicture(5, 1, {{Solid(5, 1, 0x100000)}}));
  files.Add("r.wxa", LayeredPicture(4, 6, {{Solid(4, 6, 0x100000)}}));
  files.Add("b.wxa", LayeredPicture(2, 7, {{Solid(2, 7, 0x100000)}}));
  TKovaMenu* m = Menu("ab\r\nabcd\r\nabc", 2);
  m->SetBorderSource(0, "l.wxa");     // top left 3 x 2
  m->SetBorderSource(6, "l5.wxa");    // bottom left 5 x 1: the widest left cell
  m->SetBorderSource(2, "r.wxa");     // top right 4 x 6: the tallest top cell
  m->SetBorderSource(7, "b.wxa");     // bottom centre 2 x 7
  m->SetBorderSource(8, "none.wxa");  // missing: an empty cell
  EXPECT_EQ(m->BorderCellSize(6), (TPoint{5, 1}));
  EXPECT_EQ(m->BorderCellSize(8), (TPoint{0, 0}));
  m->SetBorderWidth(1);
  m->SetMarginX(2);
  m->SetMarginY(3);
  m->SetLineSpace(4);
  m->Layout();
  // Widest label 20, frame 2, left 5, right 4, margins 4; rows 2 of 10 with one spacing of 4,
  // frame 2, top 6, bottom 7, margins 6.
  EXPECT_EQ(m->GetWidth(), 20 + 2 + 5 + 4 + 4);
  EXPECT_EQ(m->GetHeight(), 20 + 4 + 2 + 6 + 7 + 6);
  // The scroll column (3 wide) shows because 3 items do not fit 2 rows; the check column always
  // takes its width.
  m->SetScrollSource("scroll.wxa");
  m->SetCheckSource("check.wxa");
  EXPECT_EQ(m->ScrollCell(), (TPoint{3, 4}));
  EXPECT_EQ(m->CheckCell(), (TPoint{4, 4}));
  m->Layout();
  EXPECT_EQ(m->GetWidth(), 35 + 3 + 4);
  m->SetRowCount(3);
  m->Layout();
  EXPECT_EQ(m->GetWidth(), 35 + 4);
  EXPECT_EQ(m->GetHeight(), 30 + 8 + 21);
  // A missing scroll picture keeps the one held.
  m->SetScrollSource("none.wxa");
  EXPECT_EQ(m->ScrollCell(), (TPoint{3, 4}));
  // Pictures too narrow for their cells give cells of width 0, never a division fault.
  files.Add("thin.wxa", LayeredPicture(6, 2, {{Solid(6, 2, 0x100000)}}));
  m->SetScrollSource("thin.wxa");
  m->SetCheckSource("thin.wxa");
  EXPECT_EQ(m->ScrollCell(), (TPoint{0, 2}));
  EXPECT_EQ(m->CheckCell(), (TPoint{3, 2}));
}

TEST_F(MenuTest, EmptyListsAndZeroSizesAreSafe) {
  TKovaMenu* m = Menu("", 4);
  m->SetLineSpace(6);
  m->SetMarginY(2);
  m->Layout();
  EXPECT_EQ(m->GetCount(), 0);
  EXPECT_EQ(m->GetHeight(), 4);  // the margins only: no rows take spacing
  EXPECT_EQ(m->GetWidth(), 0);
  m->SetHandleKey(true);
  m->SetOnSelect("sel.ksb");
  m->SetPlayState(TKovaMenu::kOpen);
  scene.Frame();
  EXPECT_EQ(scene.root.FocusControl(), m);
  for (int32_t vk : {kDown, kPageDown, kUp, kPageUp, kEnter}) Key(vk);
  EXPECT_EQ(m->HoverIndex(), -1);
  m->SelectItem();
  EXPECT_EQ(m->GetIndex(), 0);
  EXPECT_EQ(scene.Frame(), std::vector<std::string>{});
  // No rows at all, a negative row count, a zero font: nothing to scroll, no fault.
  m->SetText("a\r\nb");
  for (int32_t rows : {0, -3}) {
    m->SetRowCount(rows);
    m->Layout();
    m->SetTopIndex(5);
    EXPECT_EQ(m->GetTopIndex(), std::min(5, 2 - rows)) << rows;
    EXPECT_EQ(m->TopIndexAt(50), m->GetTopIndex());
    scene.Frame();
  }
  m->SetFontHeight(0);
  scene.Frame();
  // Extreme sizes a script may store: the menu lays out, draws and takes keys without a fault.
  m->SetHandleKey(true);
  m->SetHoverColor(0xFFFFFF);
  for (int32_t v : {INT32_MAX, INT32_MIN}) {
    m->SetFontHeight(v);
    m->SetMarginX(v);
    m->SetMarginY(v);
    m->SetLineSpace(v);
    m->SetBorderWidth(v);
    m->SetBorderColor(0xFFFFFF);
    m->SetRowCount(v);
    m->SetHoverIndex(0);
    scene.Frame();
    Key(kPageDown);
    EXPECT_GE(m->ItemAt(TPoint{12, 12}), -1);
  }
}

TEST_F(MenuTest, TopIndexIsClamped) {
  TKovaMenu* m = Menu("a\r\nb\r\nc\r\nd\r\ne", 2);
  const struct {
    int32_t set, read;
  } cases[] = {{-1, 0}, {2, 2}, {3, 3}, {4, 3}, {1000, 3}};
  for (const auto& c : cases) {
    m->SetTopIndex(c.set);
    EXPECT_EQ(m->GetTopIndex(), c.read) << c.set;
  }
  // A list that fits always reads 0.
  m->SetRowCount(5);
  m->SetTopIndex(2);
  EXPECT_EQ(m->GetTopIndex(), 0);
}

TEST_F(MenuTest, ItemAtCountsRowsFromTheTopIndexWithHalfTheSpacing) {
  TKovaMenu* m = Menu("a\r\nb\r\nc\r\nd\r\ne", 3, {10, 10});
  m->SetLineSpace(4);
  m->SetMarginY(5);
  m->Layout();
  // Rows of 10 with 4 between; the item area starts at 10 + 5 and reaches 2 above it.
  const struct {
    int32_t y, item;
  } cases[] = {{12, -1}, {13, 0}, {26, 0}, {27, 1}, {40, 1}, {41, 2}, {54, 2}, {55, -1}};
  for (const auto& c : cases) EXPECT_EQ(m->ItemAt(TPoint{12, c.y}), c.item) << c.y;
  EXPECT_EQ(m->ItemAt(TPoint{9, 20}), -1);
  m->SetTopIndex(2);
  EXPECT_EQ(m->ItemAt(TPoint{12, 20}), 2);
}

TEST_F(MenuTest, ThumbFollowsTheScrollPositionAndDragsBack) {
  TKovaMenu* m = Menu("a\r\nb\r\nc\r\nd\r\ne\r\nf", 4, {0, 0});
  m->SetScrollSource("scroll.wxa");
  m->Layout();
  ASSERT_EQ(m->GetHeight(), 40);
  // The track between the buttons is 40 - 3 x 4 = 28 long over the 2 scroll steps.
  const struct {
    int32_t top, thumb;
  } cases[] = {{0, 4}, {1, 18}, {2, 32}};
  for (const auto& c : cases) {
    m->SetTopIndex(c.top);
    EXPECT_EQ(m->ThumbTop(), c.thumb) << c.top;
  }
  // Back from a thumb centre: ratio (y - 6) / 28 of 2 steps, halves to even.
  const struct {
    int32_t y, top;
  } back[] = {{6, 0}, {13, 0}, {14, 1}, {20, 1}, {26, 1}, {27, 2}, {34, 2}, {-50, 0}, {90, 2}};
  // y 13 is half a step (to 0), y 27 one and a half (to 2).
  for (const auto& c : back) EXPECT_EQ(m->TopIndexAt(c.y), c.top) << c.y;

  // A drag from the thumb moves the items.
  m->SetPlayState(TKovaMenu::kOpen);
  m->SetTopIndex(0);
  scene.Frame();
  const int32_t x = m->GetWidth() - 2;
  Press(TInputKind::LDown, {x, 5});
  scene.Frame();
  EXPECT_EQ(m->MouseState(), TKovaCustomListBox::kDragThumb);
  Press(TInputKind::Move, {x, 33});
  scene.Frame();
  EXPECT_EQ(m->GetTopIndex(), 2);
  Press(TInputKind::LUp, {x, 33});
  scene.Frame();
  EXPECT_EQ(m->MouseState(), TKovaCustomListBox::kIdle);
}

// ---- The scroll column's hold ----

TEST_F(MenuTest, HoldingTheDownButtonRepeatsOnTheGameClockAndPausesOffIt) {
  std::string text = "i0";
  for (int i = 1; i < 20; ++i) text += "\r\ni" + std::to_string(i);
  TKovaMenu* m = OpenMenu(text, 4, {0, 0});
  m->SetScrollSource("scroll.wxa");
  scene.Frame();
  const int32_t x = m->GetWidth() - 2;
  const int32_t down_y = m->GetHeight() - 2;
  Press(TInputKind::LDown, {x, down_y});
  scene.Frame(10);
  // One row at once, the button drawn pressed (cell 3).
  EXPECT_EQ(m->GetTopIndex(), 1);
  EXPECT_TRUE(m->ButtonLit());
  EXPECT_EQ(Red(x, down_y), 0x40u);
  // Nothing more until 300 ms, then one row every 50 ms.
  std::vector<int32_t> tops;
  for (int i = 0; i < 40; ++i) {
    scene.Frame(10);
    tops.push_back(m->GetTopIndex());
  }
  EXPECT_EQ(tops[28], 1);  // 290 ms after the press
  EXPECT_EQ(tops[29], 2);  // 300 ms
  EXPECT_EQ(tops[33], 2);
  EXPECT_EQ(tops[34], 3);  // 350 ms
  EXPECT_EQ(tops[39], 4);  // 400 ms
  // Off the button: no steps, drawn released (cell 2); back on: steps again.
  Press(TInputKind::Move, {x, down_y - 10});
  for (int i = 0; i < 10; ++i) scene.Frame(10);
  EXPECT_EQ(m->GetTopIndex(), 4);
  EXPECT_FALSE(m->ButtonLit());
  EXPECT_EQ(Red(x, down_y), 0x30u);
  Press(TInputKind::Move, {x, down_y});
  for (int i = 0; i < 5; ++i) scene.Frame(10);
  EXPECT_EQ(m->GetTopIndex(), 5);
  Press(TInputKind::LUp, {x, down_y});
  scene.Frame(10);
  EXPECT_EQ(m->MouseState(), TKovaCustomListBox::kIdle);
  EXPECT_EQ(Red(x, down_y), 0x30u);
  // The up button (cell 0) and the track below the thumb, which pages by the row count.
  EXPECT_EQ(Red(x, 1), 0x10u);
  const int32_t below = down_y - 6;
  EXPECT_EQ(Red(x, below), 0x50u);
  Press(TInputKind::LDown, {x, below});
  scene.Frame(10);
  EXPECT_EQ(m->GetTopIndex(), 9);
  EXPECT_EQ(Red(x, below), 0x60u);  // the held track, lit
  Press(TInputKind::LUp, {x, below});
  scene.Frame(10);
  // The thumb (cell 6).
  EXPECT_EQ(Red(x, m->ThumbTop() + 1), 0x70u);
}

// ---- Keys and selection ----

TEST_F(MenuTest, KeysMoveTheHoverAndScrollItIntoView) {
  TKovaMenu* m = Menu("a\r\nb\r\nc\r\nd\r\ne\r\nf\r\ng", 3);
  m->SetHandleKey(true);
  m->SetPlayState(TKovaMenu::kOpen);
  scene.Frame();
  ASSERT_EQ(scene.root.FocusControl(), m);
  const struct {
    int32_t vk, hover, top;
  } steps[] = {
      {kUp, 6, 4},       // nothing hovered: Up hovers the last item
      {kUp, 5, 4},       {kPageUp, 2, 2}, {kPageUp, 0, 0}, {kUp, 0, 0},
      {kPageDown, 3, 1}, {kDown, 4, 2},   {kPageDown, 6, 4}, {kDown, 6, 4},
  };
  for (const auto& s : steps) {
    Key(s.vk);
    EXPECT_EQ(m->HoverIndex(), s.hover) << s.vk;
    EXPECT_EQ(m->GetTopIndex(), s.top) << s.vk;
  }
  // Down and Page Down with nothing hovered go to the first item.
  for (int32_t vk : {kDown, kPageDown}) {
    m->SetHoverIndex(-1);
    Key(vk);
    EXPECT_EQ(m->HoverIndex(), 0);
    EXPECT_EQ(m->GetTopIndex(), 0);
  }
  // Paused, the menu gives up the key focus; resumed, the focus search finds it again.
  m->SetPaused(true);
  EXPECT_EQ(scene.root.FocusControl(), nullptr);
  Key(kDown);
  EXPECT_EQ(m->HoverIndex(), 0);
  m->SetPaused(false);
  scene.Frame();
  EXPECT_EQ(scene.root.FocusControl(), m);
}

TEST_F(MenuTest, EnterSelectsTheHoveredItemAndTheSelectEventIsQueuedOnce) {
  TKovaMenu* m = Menu("ab\r\nxyz\r\nq", 3);
  m->SetHandleKey(true);
  m->SetOnSelect("sel.ksb");
  m->SetPlayState(TKovaMenu::kOpen);
  scene.Frame();
  Key(kDown);
  scene.Key(TInputKind::KeyDown, kDown);
  scene.Frame();
  scene.Key(TInputKind::KeyUp, kDown);
  scene.Key(TInputKind::KeyDown, kEnter);
  EXPECT_EQ(scene.Frame(16, true), std::vector<std::string>{"m1 72 sel.ksb xyz 1"});
  EXPECT_EQ(m->GetIndex(), 1);
  EXPECT_EQ(store.SelStr, "xyz");
  EXPECT_EQ(store.SelIndex, 1);
  // Held Enter repeats; the waiting event is not queued again.
  for (int i = 0; i < 30; ++i) scene.Frame(16, true);
  EXPECT_EQ(scene.root.Events().Count(), 1);
  scene.Key(TInputKind::KeyUp, kEnter);
  scene.root.Events().Clear();
  scene.Key(TInputKind::KeyDown, 32);  // space
  EXPECT_EQ(scene.Frame(), std::vector<std::string>{"m1 72 sel.ksb xyz 1"});
}

TEST_F(MenuTest, TheMouseHoversAndAClickSelects) {
  TKovaMenu* m = OpenMenu("ab\r\nxyz\r\nq", 4, {10, 10});
  m->SetOnSelect("sel.ksb");
  Press(TInputKind::Move, {12, 12});
  scene.Frame();
  EXPECT_EQ(m->HoverIndex(), 0);
  m->SetIndex(0);
  Press(TInputKind::Move, {12, 22});
  scene.Frame();
  EXPECT_EQ(m->HoverIndex(), 1);
  EXPECT_EQ(m->GetIndex(), -1);  // moving to another item forgets the last choice
  Press(TInputKind::LDown, {12, 22});
  EXPECT_EQ(scene.Frame(), std::vector<std::string>{});
  EXPECT_EQ(m->MouseState(), TKovaCustomListBox::kPressItems);
  Press(TInputKind::LUp, {12, 22});
  EXPECT_EQ(scene.Frame(), std::vector<std::string>{"m1 72 sel.ksb xyz 1"});
  EXPECT_EQ(m->GetIndex(), 1);
  EXPECT_EQ(store.SelStr, "xyz");
  // A menu made taller than its rows (a script may set its height) has a row below the last
  // item: a click there selects nothing.
  m->SetHeight(50);
  Press(TInputKind::Move, {12, 42});
  scene.Frame();
  EXPECT_EQ(m->HoverIndex(), 3);
  Press(TInputKind::LDown, {12, 42});
  scene.Frame();
  Press(TInputKind::LUp, {12, 42});
  EXPECT_EQ(scene.Frame(), std::vector<std::string>{});
  EXPECT_EQ(m->GetIndex(), -1);
  // Leaving the menu drops the hover.
  Press(TInputKind::Move, {100, 100});
  scene.Frame();
  EXPECT_EQ(m->HoverIndex(), -1);
  // A paused menu takes no mouse.
  m->SetPaused(true);
  Press(TInputKind::Move, {12, 22});
  scene.Frame();
  EXPECT_EQ(m->HoverIndex(), -1);
}

// ---- Opening and closing ----

TEST_F(MenuTest, OpensAndClosesOverItsDelayWithItsEventsInOrder) {
  TKovaMenu* m = Menu("a\r\nb\r\nc\r\nd", 4);
  m->SetDelay(100);
  m->SetOnOpening("opening");
  m->SetOnOpened("opened");
  m->SetOnClosing("closing");
  m->SetOnClosed("closed");
  m->SetPlayState(TKovaMenu::kOpening);
  std::vector<std::string> trace;
  std::vector<int32_t> heights;
  auto run = [&](int frames) {
    for (int i = 0; i < frames; ++i) {
      for (const std::string& e : scene.Frame(20)) trace.push_back(e);
      heights.push_back(m->GetHeight());
    }
  };
  run(8);
  // 100: opening queued, height 0; 101: the clock starts; 102 grows the height to 40 over 100 ms.
  EXPECT_EQ(heights, (std::vector<int32_t>{0, 0, 8, 16, 24, 32, 40, 40}));
  EXPECT_EQ(trace, (std::vector<std::string>{"m1 74 opening", "m1 75 opened"}));
  EXPECT_EQ(m->GetOrigHeight(), 40);
  // Opening an open menu changes nothing.
  m->SetPlayState(TKovaMenu::kOpening);
  EXPECT_EQ(m->MenuState(), TKovaMenu::kStepIdle);
  trace.clear();
  heights.clear();
  m->SetPlayState(TKovaMenu::kClosing);
  EXPECT_EQ(m->GetOrigHeight(), 40);
  run(1);
  EXPECT_TRUE(m->GetEventLock());
  run(5);
  EXPECT_EQ(heights, (std::vector<int32_t>{40, 32, 24, 16, 8, 8}));
  EXPECT_EQ(trace, (std::vector<std::string>{"m1 76 closing"}));
  // The closed event came with the last step; once it is handled the menu is freed.
  EXPECT_EQ(scene.Frame(), (std::vector<std::string>{"m1 77 closed"}));
  EXPECT_EQ(scene.root.FindComponent("m1"), nullptr);
}

TEST_F(MenuTest, AutoScrapClosesAtOnceAndTheMenuWaitsForItsEvents) {
  TKovaMenu* m = OpenMenu("a\r\nb", 2);
  m->SetAutoScrap(true);
  m->SetOnSelect("sel");
  m->SetOnClosing("closing");
  m->SetOnClosed("closed");
  m->SetHoverIndex(1);
  m->SelectItem();
  EXPECT_TRUE(m->GetEventLock());
  EXPECT_EQ(m->MenuState(), TKovaMenu::kStepCloseNow);
  // The update queues both closing events together after the select event.
  scene.Frame(16, true);
  EXPECT_EQ(scene.TakeEvents(true), (std::vector<std::string>{"m1 72 sel b 1", "m1 76 closing", "m1 77 closed"}));
  // A close asked for now (MenuClose from the select handler) starts no second closing.
  m->SetPlayState(TKovaMenu::kClosing);
  scene.Frame(16, true);
  EXPECT_EQ(scene.root.Events().Count(), 3);
  // While they wait the menu stays; once handled it is freed.
  for (int i = 0; i < 5; ++i) scene.Frame(16, true);
  EXPECT_EQ(scene.root.FindComponent("m1"), m);
  scene.root.Events().Clear();
  scene.Frame();
  EXPECT_EQ(scene.root.FindComponent("m1"), nullptr);
}

TEST_F(MenuTest, PlayStateRequests) {
  TKovaMenu* m = Menu("a\r\nb", 2);
  m->SetOnOpening("opening");
  m->SetOnOpened("opened");
  m->SetOnClosing("closing");
  m->SetOnClosed("closed");
  // Closing a closed menu does nothing; opening it at once queues both opening events.
  m->SetPlayState(TKovaMenu::kClosing);
  EXPECT_EQ(m->MenuState(), TKovaMenu::kStepIdle);
  m->SetPlayState(TKovaMenu::kOpen);
  EXPECT_EQ(m->GetHeight(), 20);
  EXPECT_EQ(scene.Frame(), (std::vector<std::string>{"m1 74 opening", "m1 75 opened"}));
  // With Delay 0 the opening and the closing finish in their first animated step.
  m->SetPlayState(TKovaMenu::kClosing);
  EXPECT_EQ(scene.Frame(), std::vector<std::string>{});
  // A second close request while closing starts nothing again.
  m->SetPlayState(TKovaMenu::kClosing);
  EXPECT_EQ(m->MenuState(), TKovaMenu::kStepClosing);
  EXPECT_EQ(scene.Frame(), std::vector<std::string>{"m1 76 closing"});
  EXPECT_EQ(scene.Frame(), std::vector<std::string>{"m1 77 closed"});
  EXPECT_EQ(scene.root.FindComponent("m1"), nullptr);

  TKovaMenu* n = Menu("a", 1);
  n->SetOnOpened("opened");
  n->SetPlayState(TKovaMenu::kOpening);
  scene.Frame();
  scene.Frame();
  EXPECT_EQ(scene.Frame(), std::vector<std::string>{});
  EXPECT_EQ(n->GetHeight(), 10);
  EXPECT_EQ(scene.TakeEvents(), std::vector<std::string>{"m2 75 opened"});
  // Closed at once: height 0, both closing events (none set here), still in the scene.
  n->SetPlayState(TKovaMenu::kClosed);
  EXPECT_EQ(n->GetHeight(), 0);
  scene.Frame();
  EXPECT_EQ(scene.root.FindComponent("m2"), n);
}

TEST_F(MenuTest, RightClickAndEscapeCloseAMenuThatAsks) {
  for (bool asks : {false, true}) {
    TKovaMenu* m = OpenMenu("a\r\nb", 2);
    m->SetRClickScrap(asks);
    m->SetOnClosed("closed");
    const std::string name = m->GetName();
    Press(TInputKind::RDown, {100, 100});  // anywhere on the layer
    scene.Frame();
    Press(TInputKind::RUp, {100, 100});
    for (int i = 0; i < 4; ++i) scene.Frame();
    EXPECT_EQ(scene.root.FindComponent(name) == nullptr, asks);
    if (!asks) scene.root.DeleteComponent(m);
  }
  // Escape with the key focus.
  TKovaMenu* m = OpenMenu("a\r\nb", 2);
  m->SetRClickScrap(true);
  m->SetHandleKey(true);
  scene.Frame();
  ASSERT_EQ(scene.root.FocusControl(), m);
  store.SelIndex = 5;
  Key(kEscape);
  EXPECT_EQ(m->MenuState(), TKovaMenu::kStepCloseStart);
  EXPECT_EQ(m->GetPlayState(), TKovaMenu::kClosing);
  // The focus leaves the closing menu and the focus search does not give it back.
  scene.Frame();
  EXPECT_EQ(scene.root.FocusControl(), nullptr);
  // A right press on the menu itself cancels: no selection.
  TKovaMenu* c = OpenMenu("a\r\nb", 2, {40, 40});
  c->SetRClickScrap(true);
  store.SelStr = "old";
  c->MouseRDown();
  EXPECT_EQ(store.SelStr, "");
  EXPECT_EQ(store.SelIndex, -1);
  EXPECT_EQ(c->GetPlayState(), TKovaMenu::kClosing);
}

// ---- Drawing ----

TEST_F(MenuTest, BorderCellsTileWithTheirAlignment) {
  // A 4 x 3 picture numbered by column in red and by row in green.
  std::vector<uint32_t> px;
  for (int32_t y = 0; y < 3; ++y)
    for (int32_t x = 0; x < 4; ++x) px.push_back(uint32_t(0x10 * (1 + x)) << 16 | uint32_t(0x10 * (1 + y)) << 8);
  files.Add("n.wxa", LayeredPicture(4, 3, {{px}}));
  files.Add("big.wxa", LayeredPicture(40, 30, {{Solid(40, 30, 0x000010)}}));
  // A centre cell 10 wide and 8 high (one item of width 10 and height 10 less margins).
  const struct {
    uint8_t align;
    int32_t first_col;  // the picture column shown at the cell's left edge
    int32_t first_row;
  } cases[] = {{0, 0, 0}, {1, 3, 2}, {2, 2, 1}};  // remainders 2 and 2: half of 2 is 1
  for (const auto& c : cases) {
    TKovaMenu* m = OpenMenu("ab", 1, {0, 0});
    m->SetBorderSource(4, "n.wxa");
    m->SetBorderHAlign(4, c.align);
    m->SetBorderVAlign(4, c.align);
    m->SetMarginY(-1);
    scene.Frame();
    ASSERT_EQ(m->GetHeight(), 8);
    ASSERT_EQ(m->GetWidth(), 10);
    for (int32_t x = 0; x < 10; ++x) {
      EXPECT_EQ(Red(x, 7) >> 4, uint32_t(1 + (x + c.first_col) % 4)) << int(c.align) << " x " << x;
    }
    for (int32_t y = 0; y < 8; ++y) {
      EXPECT_EQ(Green(9, y) >> 4, uint32_t(1 + (y + c.first_row) % 3)) << int(c.align) << " y " << y;
    }
    scene.root.DeleteComponent(m);
  }
  // A picture larger than the cell: left/top, centred, far edge.
  std::vector<uint32_t> wide;
  for (int32_t y = 0; y < 1; ++y)
    for (int32_t x = 0; x < 16; ++x) wide.push_back(uint32_t(0x08 * (1 + x)) << 16);
  files.Add("wide.wxa", LayeredPicture(16, 1, {{wide}}));
  const struct {
    uint8_t align;
    int32_t first_col;
  } larger[] = {{0, 0}, {1, 3}, {2, 6}};
  for (const auto& c : larger) {
    TKovaMenu* m = OpenMenu("ab", 1, {0, 0});
    m->SetBorderSource(4, "wide.wxa");
    m->SetBorderHAlign(4, c.align);
    scene.Frame();
    EXPECT_EQ(Red(0, 5) >> 3, uint32_t(1 + c.first_col)) << int(c.align);
    EXPECT_EQ(Red(9, 5) >> 3, uint32_t(10 + c.first_col)) << int(c.align);
    scene.root.DeleteComponent(m);
  }
}

TEST_F(MenuTest, RowsDrawTheHoverFillLabelsAndCheckMarks) {
  TKovaMenu* m = OpenMenu("ab\r\nab\r\nab", 3, {10, 10});
  m->SetCheckSource("check.wxa");
  m->SetHoverColor(0x0000FF);
  m->SetFontColor(0x00FF00);
  m->SetFontHoverColor(0xFF0000);
  m->SetMarginX(2);
  m->SetMarginY(2);
  m->SetLineSpace(2);
  m->SetItemChecked(0, true);
  m->SetItemChecked(1, true);
  m->SetHoverIndex(1);
  scene.Frame();
  // Rows at y 12, 24, 36; the check column at x 12, the text at 16.
  ASSERT_EQ(m->GetWidth(), 2 + 4 + 10 + 2);
  const uint32_t blue = scene.PixelOf(0x0000FF);
  // The hovered row is filled from x 11 for 16 pixels (the text, the check column and the margins
  // less 2) and one pixel of spacing above and below.
  EXPECT_EQ(scene.Pixel(11, 23), blue);
  EXPECT_EQ(scene.Pixel(26, 34), blue);
  EXPECT_NE(scene.Pixel(27, 30), blue);
  EXPECT_NE(scene.Pixel(10, 30), blue);
  EXPECT_NE(scene.Pixel(11, 22), blue);
  EXPECT_NE(scene.Pixel(11, 35), blue);
  // Check marks: cell 0 on the first row, cell 1 on the hovered one, none on the third.
  EXPECT_EQ(Green(12, 15), 0x40u);
  EXPECT_EQ(Green(12, 27), 0x80u);
  EXPECT_EQ(scene.Pixel(12, 39), 0u);
  auto ink = [&](int32_t top, uint32_t shift) {
    int n = 0;
    for (int32_t y = top; y < top + 10; ++y)
      for (int32_t x = 16; x < 26; ++x) n += (scene.Pixel(x, y) >> shift & 0xFF) > 0x40;
    return n;
  };
  // Labels: the normal colour (green) in rows 0 and 2, the hover colour (blue) in row 1.
  EXPECT_GT(ink(12, 8), 20);
  EXPECT_GT(ink(24, 0), 20);
  EXPECT_EQ(ink(24, 8), 0);
  EXPECT_EQ(ink(12, 0), 0);
  EXPECT_GT(ink(36, 8), 20);
  // Alpha 0 draws nothing at all.
  m->SetAlpha(0);
  scene.Frame();
  EXPECT_EQ(scene.Pixel(11, 23), 0u);
  EXPECT_EQ(scene.Pixel(12, 15), 0u);
}

TEST_F(MenuTest, FrameAndFillDrawAtTheMenusLevel) {
  TKovaMenu* m = OpenMenu("abcd", 1, {0, 0});
  m->SetBorderWidth(2);
  m->SetBorderColor(0xFFFFFF);
  m->SetColor(0x808080);
  m->SetFontColor(0);
  scene.Frame();
  ASSERT_EQ(m->GetWidth(), 24);
  ASSERT_EQ(m->GetHeight(), 14);
  const struct {
    int32_t alpha;
    uint32_t frame, fill;  // the red channel over black
  } cases[] = {{255, 0xFF, 0x80}, {300, 44, 0x80 * 44 / 256}, {128, 0x80, 0x40}};
  for (const auto& c : cases) {
    m->SetAlpha(c.alpha);
    scene.Frame();
    EXPECT_NEAR(double(Red(0, 0)), double(c.frame), 2) << c.alpha;
    EXPECT_NEAR(double(Red(23, 13)), double(c.frame), 2) << c.alpha;
    EXPECT_NEAR(double(Red(2, 2)), double(c.fill), 2) << c.alpha;
    EXPECT_EQ(Red(24, 5), 0u);
  }
}

TEST_F(MenuTest, ShorterItemsAlignInTheTextColumn) {
  TKovaMenu* m = OpenMenu("abcd\r\na", 2, {0, 0});
  m->SetFontColor(0xFFFFFF);
  // The first ink column of the second item ("a", 5 wide, its box 1 pixel in) in a column of 20.
  const struct {
    uint8_t align;
    int32_t first;
  } cases[] = {{0, 1}, {1, 7 + 1}, {2, 15 + 1}};
  for (const auto& c : cases) {
    m->SetHAlign(c.align);
    scene.Frame();
    int32_t first = -1;
    for (int32_t x = 0; x < 20 && first < 0; ++x)
      for (int32_t y = 10; y < 20; ++y)
        if (scene.Pixel(x, y) != 0) first = x;
    EXPECT_EQ(first, c.first) << int(c.align);
  }
}

// ---- Save form ----

TEST_F(MenuTest, TheRecordBringsTheMenuBackAcrossVersions) {
  files.Add("n.wxa", LayeredPicture(2, 2, {{Solid(2, 2, 0x200000)}}));
  TKovaMenu* m = OpenMenu("ab\r\nabc\r\nq", 2, {5, 6});
  m->SetScrollSource("scroll.wxa");
  m->SetCheckSource("check.wxa");
  m->SetBorderSource(1, "n.wxa");
  m->SetBorderHAlign(1, 2);
  m->SetBorderVAlign(4, 1);
  m->SetItemChecked(2, true);
  m->SetTopIndex(1);
  m->SetHoverColor(0x123456);
  m->SetFontHoverColor(0x654321);
  m->SetFontShadow(2);
  m->SetDelay(70);
  m->SetRClickScrap(true);
  m->SetOnSelect("sel");
  m->SetOnClosed("closed");
  m->SetIndex(2);
  m->SetAlpha(200);
  scene.Frame();
  TMemoryStream saved;
  m->SaveToStream(saved);
  const int64_t size = saved.Size();

  test::SceneDriver other(kDisplay8888, 120, 120, {.glyph_cache = &cache, .pictures = &files});
  other.root.SetColor(0);
  auto load = [&](TStream& s, int32_t version) {
    auto* n = static_cast<TKovaMenu*>(other.root.CreateComponent(KT_MENU));
    s.SetPosition(0);
    n->LoadFromStream(s, version);
    n->SetParent(other.root.ActiveBase());
    return n;
  };
  TKovaMenu* n = load(saved, 129);
  EXPECT_EQ(saved.GetPosition(), size);
  EXPECT_EQ(n->GetText(), m->GetText());
  EXPECT_EQ(n->GetBounds(), m->GetBounds());
  EXPECT_EQ(n->FullHeight(), m->GetHeight());
  EXPECT_EQ(n->GetTopIndex(), 1);
  EXPECT_TRUE(n->GetItemChecked(2));
  EXPECT_FALSE(n->GetItemChecked(1));
  EXPECT_EQ(n->GetBorderHAlign(1), 2);
  EXPECT_EQ(n->GetBorderVAlign(4), 1);
  EXPECT_EQ(n->BorderCellSize(1), (TPoint{2, 2}));
  EXPECT_EQ(n->ScrollCell(), (TPoint{3, 4}));
  EXPECT_EQ(n->GetHoverColor(), 0x123456);
  EXPECT_EQ(n->GetFontHoverColor(), 0x654321);
  EXPECT_EQ(n->GetFontShadow(), 2);
  EXPECT_EQ(n->GetDelay(), 70);
  EXPECT_TRUE(n->GetRClickScrap());
  EXPECT_EQ(n->GetOnSelect(), "sel");
  EXPECT_EQ(n->GetOnClosed(), "closed");
  EXPECT_EQ(n->GetIndex(), 2);
  EXPECT_EQ(n->GetAlpha(), 200);
  EXPECT_EQ(n->GetPlayState(), TKovaMenu::kOpen);
  EXPECT_EQ(n->NormalLabels().Metrics, m->NormalLabels().Metrics);
  // The same record saved again is the same bytes.
  TMemoryStream again;
  n->SaveToStream(again);
  ASSERT_EQ(again.Size(), size);
  std::vector<uint8_t> a(static_cast<size_t>(size)), b(static_cast<size_t>(size));
  saved.SetPosition(0);
  saved.ReadBuffer(a.data(), size);
  again.SetPosition(0);
  again.ReadBuffer(b.data(), size);
  EXPECT_EQ(a, b);
  // Both draw the same.
  other.Frame();
  scene.Frame();
  for (int32_t y = 0; y < 60; ++y)
    for (int32_t x = 0; x < 60; ++x) ASSERT_EQ(other.Pixel(x, y), scene.Pixel(x, y)) << x << "," << y;
}

// A menu record of an older version, written field by field: "ab", "q" in "Face" at height 10
// with quality 1, right-aligned, the second item checked, the select handler "sel", open.
std::vector<uint8_t> OldMenuRecord(int32_t version) {
  test::LeWriter w;
  w.Str("old").I32(0);
  if (version >= 104) w.I32(0);
  if (version >= 120) w.Str("");
  for (int32_t v : {4, 5, 0, 0, 0, 0}) w.I32(v);  // left, top, width, height, offsets
  w.Flag(false);
  if (version >= 104) w.I32(0).I32(0).I32(0).I32(0).Flag(false);
  w.Flag(true).I32(-1).Rect(0, 0, 1, 1).U8(0).Str("").Str("");
  if (version >= 102) w.Str("");
  for (int i = 0; i < 7; ++i) w.Str("");
  if (version >= 118) {
    w.Flag(false);
    for (int i = 0; i < 5; ++i) w.Str("");
  }
  w.I32(0);  // no children
  for (int list = 0; list < 2; ++list) {
    w.I32(1).I32(0).I32(255).I32(10).Str("Face").I32(0xFFFFFF).I32(0).U8(0);
    w.U8(212).Fill(211, uint8_t(list + 1));  // the metrics block, carried as it is
    if (version >= 122) w.I32(3).I32(0x112233);
  }
  w.Str("ab\r\nq");
  for (int32_t v : {0, 255, 0, 0, 0, -1, 2}) w.I32(v);  // spacing .. row count
  for (int cell = 0; cell < 9; ++cell) w.Str("").U8(0).U8(0);
  w.Str("").Str("");
  w.I32(0);
  if (version < 104) w.U8(0xEE);
  w.U8(2);           // right-aligned
  w.U8(0).U8(1);     // check flags
  w.Str("sel").U8(0).I32(-1).I32(0);
  w.I32(0).I32(-1).U8(0).U8(0).U8(0);  // delay, hover colour, scrap flags, open
  for (int i = 0; i < 4; ++i) w.Str("");
  return w.Bytes();
}

TEST_F(MenuTest, OlderRecordsLoadByTheirGates) {
  const struct {
    int32_t version;
    int32_t quality;  // a quality below 2 reads as 0 before 109
    int32_t shadow;   // shadow fields from 122
  } cases[] = {{103, 0, 0}, {108, 0, 0}, {121, 1, 0}, {129, 1, 3}};
  for (const auto& c : cases) {
    const std::vector<uint8_t> bytes = OldMenuRecord(c.version);
    TMemoryStream s;
    s.WriteBuffer(bytes.data(), int64_t(bytes.size()));
    s.SetPosition(0);
    auto* n = static_cast<TKovaMenu*>(scene.root.CreateComponent(KT_MENU));
    n->LoadFromStream(s, c.version);
    EXPECT_EQ(s.GetPosition(), s.Size()) << c.version;
    EXPECT_EQ(n->GetName(), "old") << c.version;
    EXPECT_EQ(n->GetCount(), 2) << c.version;
    EXPECT_EQ(n->GetHAlign(), 2) << c.version;
    EXPECT_FALSE(n->GetItemChecked(0)) << c.version;
    EXPECT_TRUE(n->GetItemChecked(1)) << c.version;
    EXPECT_EQ(n->GetOnSelect(), "sel") << c.version;
    EXPECT_EQ(n->GetFontName(), "Face") << c.version;
    EXPECT_EQ(n->NormalLabels().Quality, c.quality) << c.version;
    EXPECT_EQ(n->GetFontShadow(), c.shadow) << c.version;
    // Laid out from its items: two rows of 10.
    EXPECT_EQ(n->GetHeight(), 20) << c.version;
    EXPECT_EQ(n->FullHeight(), 20) << c.version;
    // Saved again at the current version, the metrics block (measured again by the layout) comes
    // back as it was saved.
    TMemoryStream again;
    n->SaveToStream(again);
    again.SetPosition(0);
    auto* back = static_cast<TKovaMenu*>(scene.root.CreateComponent(KT_MENU));
    back->LoadFromStream(again, 129);
    EXPECT_EQ(back->HoverLabels().Metrics, n->HoverLabels().Metrics) << c.version;
    scene.root.DeleteComponent(n);
    scene.root.DeleteComponent(back);
  }
  // A truncated record raises the stream's error, never a crash.
  const std::vector<uint8_t> bytes = OldMenuRecord(129);
  for (size_t cut : {size_t(10), size_t(200), size_t(700), bytes.size() - 3}) {
    TMemoryStream s;
    s.WriteBuffer(bytes.data(), int64_t(cut));
    s.SetPosition(0);
    auto* n = static_cast<TKovaMenu*>(scene.root.CreateComponent(KT_MENU));
    EXPECT_ANY_THROW(n->LoadFromStream(s, 129)) << cut;
    scene.root.DeleteComponent(n);
  }
}

}  // namespace
}  // namespace kova
