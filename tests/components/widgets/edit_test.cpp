// The edit and the memo on a headless scene whose host keeps their text fields (the headless set,
// driven here with the events a window would give): where and when the field is shown, the keys
// typed into it and the notify events they queue, pause, the scene's focus rules, the properties
// as scripts see them, the save form, and the creating commands.
#include <gtest/gtest.h>

#include <algorithm>
#include <span>
#include <string>
#include <vector>

#include "components/widgets/kova_edit.h"
#include "components/scene/prop_dispatch.h"
#include "core/stream.h"
#include "core/stream_records.h"
#include "core/vocabulary.h"
#include "platform/fields/text_fields.h"
#include "script/params.h"
#include "support/frame_driver.h"
#include "support/scene_driver.h"

namespace kova {
namespace {

using Events = std::vector<std::string>;
using plat::TEvent;
using plat::TEventKind;

constexpr int32_t kVkReturn = 13, kVkEscape = 27, kVkBack = 8, kVkShift = 16;

TEvent Key(int32_t vk, TEventKind kind = TEventKind::KeyDown) {
  TEvent e;
  e.kind = kind;
  e.key = vk;
  return e;
}
TEvent Typed(std::string text) {
  TEvent e;
  e.kind = TEventKind::TextInput;
  e.text = std::move(text);
  return e;
}
TEvent Click(int32_t x, int32_t y) {
  TEvent e;
  e.kind = TEventKind::MouseDown;
  e.button = plat::TMouseButton::Left;
  e.pos = plat::TPoint{x, y};
  return e;
}

// SetProp with an integer or a flag.
void SetInt(TKovaObject& c, int32_t id, int32_t v) {
  TParamInt p;
  p.SetInt(v);
  SetProp(c, id, p);
}
void SetFlag(TKovaObject& c, int32_t id, bool v) {
  TParamFlag p;
  p.SetFlag(v);
  SetProp(c, id, p);
}

class EditTest : public ::testing::Test {
 protected:
  plat::TTextFieldSet& Fields() { return scene.host.OwnTextFields(); }
  template <class T = TKovaEdit>
  T* Make(uint8_t kind, const std::string& name, TRect bounds, TKovaControl* parent = nullptr) {
    auto* e = dynamic_cast<T*>(scene.root.CreateComponent(kind));
    e->SetName(name);
    e->SetParent(parent ? parent : scene.root.ActiveBase());
    e->SetLeft(bounds.Left);
    e->SetTop(bounds.Top);
    e->SetWidth(bounds.Width());
    e->SetHeight(bounds.Height());
    e->SetOnNotify("notify");
    return e;
  }
  TKovaEdit* Edit(const std::string& name, TRect bounds = {4, 4, 40, 20}, TKovaControl* parent = nullptr) {
    return Make(KT_EDIT, name, bounds, parent);
  }
  TKovaMemo* Memo(const std::string& name, TRect bounds = {4, 4, 60, 40}) {
    return Make<TKovaMemo>(KT_MEMO, name, bounds);
  }
  // Events into the fields; the number the fields took.
  int Send(std::initializer_list<TEvent> events) {
    int taken = 0;
    for (const TEvent& e : events) taken += Fields().HandleEvent(e) ? 1 : 0;
    return taken;
  }

  test::SceneDriver scene;
};

TEST_F(EditTest, TheFieldLiesOverTheComponentOnlyWhileItIsVisibleOnTheActiveLayer) {
  TKovaEdit* e = Edit("e", {4, 5, 34, 17});
  plat::ITextField& f = e->Field();
  scene.Frame();
  EXPECT_TRUE(f.Visible());
  EXPECT_EQ(f.Bounds(), (plat::TScreenRect{4, 5, 34, 17}));

  // Moving, resizing and moving the parent move the field at once.
  auto* panel = scene.Box("panel", {20, 10, 60, 40});
  e->SetParent(panel);
  EXPECT_EQ(f.Bounds(), (plat::TScreenRect{24, 15, 54, 27}));
  panel->SetLeft(10);
  EXPECT_EQ(f.Bounds().left, 14);
  e->SetWidth(10);
  EXPECT_EQ(f.Bounds(), (plat::TScreenRect{14, 15, 24, 27}));
  // A parent's scroll moves it without telling it: the next update follows.
  panel->scroll_x = 4;
  scene.Frame();
  EXPECT_EQ(f.Bounds(), (plat::TScreenRect{10, 15, 20, 27}));

  struct Case {
    const char* what;
    void (*hide)(TKovaEdit&, TKovaControl&, TKovaBaseList&);
    void (*show)(TKovaEdit&, TKovaControl&, TKovaBaseList&);
  };
  const Case cases[] = {
      {"own visibility", [](TKovaEdit& c, TKovaControl&, TKovaBaseList&) { c.SetVisible(false); },
       [](TKovaEdit& c, TKovaControl&, TKovaBaseList&) { c.SetVisible(true); }},
      {"hidden parent", [](TKovaEdit&, TKovaControl& p, TKovaBaseList&) { p.SetVisible(false); },
       [](TKovaEdit&, TKovaControl& p, TKovaBaseList&) { p.SetVisible(true); }},
      {"the other layer active", [](TKovaEdit&, TKovaControl&, TKovaBaseList& r) { r.Flip(1, 0, 0, 0, true, false); },
       [](TKovaEdit&, TKovaControl&, TKovaBaseList& r) { r.Flip(0, 0, 0, 0, true, false); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.hide(*e, *panel, scene.root);
    scene.Frame();
    EXPECT_FALSE(f.Visible());
    c.show(*e, *panel, scene.root);
    scene.Frame();
    EXPECT_TRUE(f.Visible());
  }
  // Nothing of the field is drawn into the layer.
  EXPECT_EQ(scene.Pixel(16, 17), scene.Pixel(12, 12));
}

TEST_F(EditTest, KeysQueueTheNotifyEventWithTheTextBeforeTheKeyActs) {
  TKovaEdit* e = Edit("e");
  TKovaMemo* m = Memo("m", {4, 24, 60, 46});
  scene.Frame();  // the focus goes to a key control: the edit made last is on top
  ASSERT_EQ(scene.root.FocusControl(), m);
  EXPECT_TRUE(m->Field().Focused());

  // The memo: Enter breaks the line after the event took the text without it.
  EXPECT_EQ(Send({Typed("ab"), Key('C'), Typed("c"), Key(kVkReturn), Key(kVkReturn, TEventKind::KeyUp)}), 4);
  EXPECT_EQ(scene.TakeEvents(), (Events{"m 33 notify 67 ab", "m 33 notify 13 abc"}));
  EXPECT_EQ(m->GetText(), "abc\r\n");
  EXPECT_EQ(Send({Key(kVkBack)}), 1);
  EXPECT_EQ(m->GetText(), "abc");  // the line break goes as one
  EXPECT_EQ(scene.TakeEvents(), (Events{"m 33 notify 8 abc\r\n"}));

  // The edit: Enter and Escape are told and insert nothing.
  scene.root.SetFocusControl(e);
  EXPECT_TRUE(e->Field().Focused());
  EXPECT_FALSE(m->Field().Focused());
  Send({Typed("abc"), Key(kVkReturn), Key(kVkEscape)});
  EXPECT_EQ(scene.TakeEvents(), (Events{"e 33 notify 13 abc", "e 33 notify 27 abc"}));
  EXPECT_EQ(e->GetText(), "abc");
  // Keys typed into the field never reach the scene's key table; releases do.
  EXPECT_EQ(scene.Frame(), Events{});
  EXPECT_FALSE(scene.root.GetKeyDown(kVkReturn));

  // Without a handler nothing is queued; the text still changes.
  e->SetOnNotify("");
  Send({Key('D'), Typed("d")});
  EXPECT_EQ(scene.TakeEvents(), Events{});
  EXPECT_EQ(e->GetText(), "abcd");
}

TEST_F(EditTest, APausedFieldTakesNoInputAndGivesUpTheKeyboard) {
  TKovaEdit* e = Edit("e");
  scene.Frame();
  ASSERT_TRUE(e->Field().Focused());
  SetFlag(*e, PR_PAUSED, true);
  EXPECT_FALSE(e->Field().Enabled());
  EXPECT_FALSE(e->Field().Focused());
  EXPECT_EQ(Send({Key('A'), Typed("a"), Click(10, 10)}), 0);
  EXPECT_EQ(e->GetText(), "");
  EXPECT_EQ(scene.TakeEvents(), Events{});
  // A paused edit is no key control: the scene's focus leaves it at the next recalculation.
  scene.root.RequestFocusRecalc(true);
  scene.Frame();
  EXPECT_EQ(scene.root.FocusControl(), nullptr);
  SetFlag(*e, PR_PAUSED, false);
  EXPECT_EQ(Send({Click(10, 10), Typed("a")}), 2);
  EXPECT_EQ(e->GetText(), "a");
  EXPECT_EQ(scene.root.FocusControl(), e);
}

// Recorded input (the headless runner's) reaches the fields as the window's events do: a click
// gives a field the keyboard, text is typed (UTF-8 taken into code page 932, a character it cannot
// hold left out), the keys edit the text and are told to the script, and the scene sees none of
// them. The caret blinks on the scene's game clock.
TEST_F(EditTest, RecordedInputTypesIntoTheFieldsAndTheCaretBlinksOnTheGameClock) {
  TKovaEdit* e = Edit("e", {4, 4, 40, 20});
  TKovaMemo* m = Memo("m", {4, 24, 60, 46});
  scene.Frame();
  std::string error;
  ASSERT_TRUE(scene.input.Parse("2 ldown 10 10\n2 lup 10 10\n"
                                "3 text \xE3\x81\x82#\xF0\x9F\x98\x80" "b\n"  // "a#", an emoji, "b"
                                "4 keydown 8\n5 keydown 13\n5 keyup 13\n"
                                "6 ldown 10 30\n7 text x\n7 keydown 13\n7 text y\n",
                                error))
      << error;
  Events events;
  while (scene.frame < 7) {
    for (std::string& ev : scene.Frame()) events.push_back(ev);
  }
  EXPECT_EQ(e->GetText(), "\x82\xA0#");
  EXPECT_EQ(m->GetText(), "x\r\ny");
  EXPECT_EQ(scene.root.FocusControl(), m);
  EXPECT_EQ(events, (Events{"e 33 notify 8 \x82\xA0#b", "e 33 notify 13 \x82\xA0#", "m 33 notify 13 x"}));
  EXPECT_FALSE(scene.root.GetKeyDown(8));  // the key went to the field, not to the scene

  // Typed at frame 7 (game clock 112): shown until 500 ms later, then hidden for as long.
  auto caret_on = [&] { return Fields().VisibleLooks().at(1).caret_on; };
  EXPECT_TRUE(caret_on());
  scene.Frame(int32_t(plat::kCaretBlinkMs) - 16);
  EXPECT_TRUE(caret_on());
  scene.Frame(16);
  EXPECT_FALSE(caret_on());
  scene.Frame(int32_t(plat::kCaretBlinkMs));
  EXPECT_TRUE(caret_on());
}

TEST_F(EditTest, FocusFollowsTheScene) {
  TKovaEdit* a = Edit("a", {0, 0, 30, 14});
  TKovaEdit* b = Edit("b", {0, 20, 30, 34});
  a->SetOnFocusIn("in_a");
  b->SetOnFocusOut("out_b");
  scene.Frame();
  ASSERT_EQ(scene.root.FocusControl(), b);
  EXPECT_TRUE(b->Field().Focused());

  // A click into the other field makes it the scene's focused control, with the focus events.
  EXPECT_EQ(Send({Click(5, 5)}), 1);
  EXPECT_EQ(scene.root.FocusControl(), a);
  EXPECT_TRUE(a->Field().Focused());
  EXPECT_FALSE(b->Field().Focused());
  EXPECT_EQ(scene.TakeEvents(), (Events{"b 149 out_b", "a 148 in_a"}));
  EXPECT_EQ(Send({Click(50, 40)}), 0);  // outside every field: the game's

  // The scene's focus moving to another control takes the keyboard back from the field.
  auto* key_box = scene.Box("keys", {40, 0, 50, 10});
  key_box->SetHandleKey(true);
  scene.root.SetFocusControl(key_box);
  scene.Frame();
  EXPECT_EQ(Fields().FocusedField(), nullptr);
  EXPECT_EQ(Send({Key('A')}), 0);
  key_box->SetHandleKey(false);

  // Deleting the focused edit leaves no focus behind; the recalculation finds the other one.
  scene.root.SetFocusControl(a);
  scene.root.DeleteComponent(a);
  EXPECT_EQ(scene.root.FocusControl(), nullptr);
  EXPECT_EQ(Fields().FocusedField(), nullptr);
  EXPECT_EQ(Fields().FieldCount(), 1);
  scene.Frame();
  EXPECT_EQ(scene.root.FocusControl(), b);
  EXPECT_TRUE(b->Field().Focused());
}

TEST_F(EditTest, PropertiesAsScriptsSeeThem) {
  TKovaMemo* m = Memo("m");
  auto get = [&](int32_t id) {
    TParamStr v;
    GetProp(v, *m, id);
    return v.GetStr();
  };
  SetInt(*m, PR_FONTHEIGHT, -14);
  EXPECT_EQ(m->Field().FontHeight(), -14);
  EXPECT_EQ(get(PR_FONTHEIGHT), "14");
  SetInt(*m, PR_FONTSTYLE, 1 | 4);
  EXPECT_EQ(m->Field().FontStyle(), 5);
  EXPECT_EQ(get(PR_FONTSTYLE), "5");
  SetInt(*m, PR_COLOR, 0x123456);
  EXPECT_EQ(m->Field().Color(), 0x123456);
  SetInt(*m, PR_HALIGN, 2);
  EXPECT_EQ(m->Field().Alignment(), plat::kFieldAlignCenter);
  SetFlag(*m, PR_HANDLEKEY, false);
  EXPECT_EQ(get(PR_HANDLEKEY), "TRUE");
  SetFlag(*m, PR_READONLY, true);
  m->Field().Focus();
  Send({Typed("x")});
  EXPECT_EQ(get(PR_TEXT), "");
  // The edit has no alignment.
  TKovaEdit* e = Edit("e");
  SetInt(*e, PR_HALIGN, 2);
  EXPECT_EQ(e->Field().Alignment(), plat::kFieldAlignLeft);
}

TEST_F(EditTest, TheSaveFormKeepsEveryPropertyAndTheMemosAlignmentByte) {
  TKovaEdit* e = Edit("e", {3, 4, 33, 18});
  TKovaMemo* m = Memo("m", {2, 20, 62, 46});
  for (TKovaEdit* c : {e, static_cast<TKovaEdit*>(m)}) {
    c->SetText("\x82\xA0" "b\r\nc");
    c->SetFontName("face");
    c->SetFontHeight(-13);
    c->SetFontStyle(TFontStyles{6});
    c->SetFontColor(0x0000FF);
    c->SetColor(0x00FF00);
    c->SetReadOnly(true);
  }
  m->SetHAlign(1);
  m->SetPaused(true);
  e->SetVisible(false);
  TMemoryStream saved;
  scene.root.SaveToStream(saved);

  test::SceneDriver other;
  saved.SetPosition(0);
  other.root.LoadFromStream(saved, 129);
  auto* e2 = dynamic_cast<TKovaEdit*>(other.root.FindComponent("e"));
  auto* m2 = dynamic_cast<TKovaMemo*>(other.root.FindComponent("m"));
  ASSERT_NE(e2, nullptr);
  ASSERT_NE(m2, nullptr);
  for (TKovaEdit* c : {e2, static_cast<TKovaEdit*>(m2)}) {
    EXPECT_EQ(c->GetText(), "\x82\xA0" "b\r\nc");
    EXPECT_EQ(c->Field().FontName(), "face");
    EXPECT_EQ(c->Field().FontHeight(), -13);
    EXPECT_EQ(c->Field().FontStyle(), 6);
    EXPECT_EQ(c->GetFontColor(), 0x0000FF);
    EXPECT_EQ(c->GetColor(), 0x00FF00);
    EXPECT_TRUE(c->GetReadOnly());
    EXPECT_EQ(c->GetOnNotify(), "notify");
  }
  EXPECT_EQ(m2->GetHAlign(), 1);
  EXPECT_TRUE(m2->GetPaused());
  EXPECT_FALSE(e2->GetPaused());
  // The fields are placed at once: the memo shown where it was, the hidden edit not.
  EXPECT_TRUE(m2->Field().Visible());
  EXPECT_EQ(m2->Field().Bounds(), (plat::TScreenRect{2, 20, 62, 46}));
  EXPECT_FALSE(e2->Field().Visible());
  TMemoryStream again;
  other.root.SaveToStream(again);
  EXPECT_TRUE(std::ranges::equal(again.Bytes(), saved.Bytes()));

  // The memo's record is the edit's with the alignment byte before the handler name.
  auto tail = [](TKovaEdit& c) {
    TMemoryStream s;
    c.SaveToStream(s);
    const std::span<const uint8_t> b = s.Bytes();
    return std::vector<uint8_t>(b.end() - 4 - 6 - 1, b.end());  // HAlign, length, "notify"
  };
  const std::vector<uint8_t> memo_tail = tail(*m2), edit_tail = tail(*e2);
  EXPECT_EQ(memo_tail[0], 1);
  EXPECT_EQ(edit_tail[0], 1);  // the edit's ReadOnly byte
  EXPECT_EQ(std::vector<uint8_t>(memo_tail.begin() + 1, memo_tail.end()),
            std::vector<uint8_t>(edit_tail.begin() + 1, edit_tail.end()));
}

TEST(EditCommandsTest, EditNewAndMemoNewMakeFieldsWithTheCommandsProperties) {
  constexpr int32_t kEditNew = 43, kMemoNew = 44;
  using test::I;
  using test::S;
  using test::Value;
  test::FrameDriver d(true);
  test::PageWriter page;
  page.Component(kEditNew, {{PR_NAME, Value(S("name"))}, {PR_LEFT, Value(I(10))}, {PR_TOP, Value(I(12))},
                            {PR_WIDTH, Value(I(80))}, {PR_HEIGHT, Value(I(16))}, {PR_TEXT, Value(S("Alice"))},
                            {PR_ONNOTIFY, Value(S("typed.ksb"))}});
  page.Component(kMemoNew, {{PR_NAME, Value(S("note"))}, {PR_HALIGN, Value(I(1))}});
  d.AddPage("start.ksb", page);
  d.callman.Start("start.ksb");
  d.Frames(2);
  TKovaBaseList& root = d.session.SceneRoot();
  auto* edit = dynamic_cast<TKovaEdit*>(root.FindComponent("name"));
  auto* memo = dynamic_cast<TKovaMemo*>(root.FindComponent("note"));
  ASSERT_NE(edit, nullptr);
  ASSERT_NE(memo, nullptr);
  EXPECT_EQ(edit->GetText(), "Alice");
  EXPECT_EQ(edit->GetOnNotify(), "typed.ksb");
  EXPECT_EQ(edit->Field().Bounds(), (plat::TScreenRect{10, 12, 90, 28}));
  EXPECT_EQ(edit->GetFontHeight(), 16);  // the command's default height
  EXPECT_EQ(memo->GetHAlign(), 1);
  EXPECT_EQ(memo->GetCompoType(), KT_MEMO);
}

}  // namespace
}  // namespace kova
