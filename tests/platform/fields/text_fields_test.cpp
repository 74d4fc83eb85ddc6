// The text fields' host: editing by keys and typed text over code page 932 text (double-byte
// characters and a memo's CR LF move and go as one), selection and the clipboard, the typing cap,
// the memo's rows and its up and down keys, the mouse placing the caret, the window's text input
// following the keyboard, and the fields painted with the outline fonts over their rectangle.
#include "platform/fields/text_fields.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/fields/drawn_text_fields.h"
#include "platform/window/headless_video.h"
#include "support/fake_glyph_fonts.h"

namespace kova::plat {
namespace {

enum : int32_t {
  kBack = 0x08, kReturn = 0x0D, kShift = 0x10, kControl = 0x11, kEnd = 0x23, kHome = 0x24, kLeft = 0x25,
  kUp = 0x26, kRight = 0x27, kDown = 0x28, kDelete = 0x2E,
};

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
  e.button = TMouseButton::Left;
  e.pos = TPoint{x, y};
  return e;
}

// Records the keys a field tells, with the text it had then.
struct Listener : ITextFieldListener {
  explicit Listener(ITextField*& f) : field(f) {}
  void TextFieldKeyDown(int32_t key) override { keys.push_back(std::to_string(key) + ":" + field->Text()); }
  void TextFieldFocused() override { ++focused; }
  ITextField*& field;
  std::vector<std::string> keys;
  int focused = 0;
};

// A shown field with the keyboard; fonts of height 10 lay single-byte characters 5 pixels wide
// and double-byte ones 10.
class FieldTest : public ::testing::Test {
 protected:
  std::unique_ptr<ITextField> Make(TTextFieldKind kind, TScreenRect bounds = {0, 0, 100, 14}) {
    auto f = set.CreateField(kind);
    f->SetFontHeight(10);
    f->SetBounds(bounds);
    f->SetVisible(true);
    f->Focus();
    return f;
  }
  void Send(std::initializer_list<TEvent> events) {
    for (const TEvent& e : events) set.HandleEvent(e);
  }
  TTextFieldSet set;
};

TEST_F(FieldTest, KeysEditCodePage932TextByWholeCharacters) {
  const std::string a = "\x82\xA0";  // a double-byte character whose trail byte is no lead byte
  const std::string so = "\x83\x5C";  // a trail byte 0x5C
  struct Case {
    const char* what;
    std::string text;
    std::vector<TEvent> events;
    std::string want;
  } cases[] = {
      {"backspace takes a double-byte character", "x" + a, {Key(kBack)}, "x"},
      {"left steps over a double-byte character", "x" + so + "y", {Key(kLeft), Key(kLeft), Typed("-")}, "x-" + so + "y"},
      {"delete takes it whole", so + "y", {Key(kHome), Key(kDelete)}, "y"},
      {"a selection is replaced", "abcd", {Key(kLeft), Key(kShift), Key(kLeft), Key(kLeft), Key(kShift, TEventKind::KeyUp), Typed("X")},
       "aXd"},
      {"select all and cut, then paste twice", "ab" + a,
       {Key(kControl), Key('A'), Key('X'), Key('V'), Key('V'), Key(kControl, TEventKind::KeyUp)}, "ab" + a + "ab" + a},
      {"control characters are not typed", "", {Typed("a\tb\x01" "c\r\n")}, "abc"},
      {"enter and escape do nothing", "ab", {Key(kReturn), Key(0x1B)}, "ab"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto f = Make(TTextFieldKind::SingleLine);
    f->SetText(c.text);
    for (const TEvent& e : c.events) EXPECT_TRUE(set.HandleEvent(e) || e.kind == TEventKind::KeyUp);
    EXPECT_EQ(f->Text(), c.want);
  }
}

TEST_F(FieldTest, TheListenerHearsEveryKeyBeforeItActsAndReadOnlyKeepsTheText) {
  ITextField* raw = nullptr;
  Listener listener(raw);
  auto f = Make(TTextFieldKind::SingleLine);
  raw = f.get();
  f->SetListener(&listener);
  f->SetText("ab");
  TEvent repeat = Key(kBack);
  repeat.repeat = true;
  Send({Key(kBack), repeat, Key('Z'), Typed("z")});
  EXPECT_EQ(listener.keys, (std::vector<std::string>{"8:ab", "8:a", "90:"}));
  EXPECT_EQ(f->Text(), "z");
  f->SetReadOnly(true);
  Send({Key(kBack), Typed("q"), Key(kControl), Key('V')});
  EXPECT_EQ(f->Text(), "z");
  EXPECT_EQ(listener.keys.size(), 6u);
}

// Japanese through the input method: the composition shows at the caret and is no part of the
// text until it is committed.
TEST_F(FieldTest, TheInputMethodsCompositionShowsAtTheCaretUntilItCommits) {
  auto f = Make(TTextFieldKind::SingleLine);
  f->SetText("x");
  TEvent editing;
  editing.kind = TEventKind::TextEditing;
  editing.text = "\x82\xA9";  // "ka" while composing
  EXPECT_TRUE(set.HandleEvent(editing));
  std::vector<TTextFieldLook> looks = set.VisibleLooks();
  EXPECT_EQ(looks[0].composition, "\x82\xA9");
  EXPECT_EQ(f->Text(), "x");
  Send({Typed("\x89\xC6")});  // committed as a kanji
  EXPECT_EQ(f->Text(), "x\x89\xC6");
  EXPECT_EQ(set.VisibleLooks()[0].composition, "");
  EXPECT_EQ(set.VisibleLooks()[0].caret, 3u);
}

TEST_F(FieldTest, TypingStopsAtTheCapOnACharacterBoundary) {
  auto f = Make(TTextFieldKind::SingleLine);
  f->SetText(std::string(kMaxTypedBytes - 3, 'x'));  // a script may set any length
  Send({Typed("\x82\xA0\x82\xA0" "b")});
  EXPECT_EQ(f->Text().size(), kMaxTypedBytes - 1);
  EXPECT_EQ(f->Text().substr(kMaxTypedBytes - 3), "\x82\xA0");
}

TEST_F(FieldTest, AMemoBreaksAndWrapsItsRowsAndMovesUpAndDownByThem) {
  // 40 pixels of content: 8 single-byte characters a row.
  auto f = Make(TTextFieldKind::MultiLine, TScreenRect{0, 0, 40 + 2 * kFieldMargin + kFieldScrollBarWidth, 24});
  Send({Typed("abcdefghij"), Key(kReturn), Typed("kl")});
  EXPECT_EQ(f->Text(), "abcdefghij\r\nkl");
  std::vector<TTextFieldLook> looks = set.VisibleLooks();
  ASSERT_EQ(looks.size(), 1u);
  ASSERT_EQ(looks[0].rows.size(), 3u);
  EXPECT_EQ(looks[0].rows[0].end, 8u);   // wrapped
  EXPECT_EQ(looks[0].rows[1].start, 8u);
  EXPECT_EQ(looks[0].rows[1].end, 10u);  // the break is not shown
  EXPECT_EQ(looks[0].rows[2].start, 12u);
  EXPECT_EQ(looks[0].first_row, 1);      // two rows fit: scrolled to the caret's
  // Up from the end of "kl" keeps the x: after "ij"; after "ij1", up: after "abc"; down at the
  // last row stays; a typed LF is CR LF.
  Send({Key(kUp), Typed("1"), Key(kUp), Typed("2"), Key(kDown), Key(kDown), Key(kDown), Typed("3")});
  EXPECT_EQ(f->Text(), "abc2defghij1\r\nkl3");
  Send({Key(kHome), Key(kBack), Key(kEnd), Typed("\n")});
  EXPECT_EQ(f->Text(), "abc2defghij1kl3\r\n");
  f->SetAlignment(kFieldAlignRight);
  looks = set.VisibleLooks();
  EXPECT_EQ(looks[0].RowLeft(2), looks[0].content.right);  // an empty last row
}

TEST_F(FieldTest, AClickGivesTheKeyboardAndPlacesTheCaretAndTextInputFollows) {
  THeadlessWindow window;
  set.SetWindow(&window);
  auto a = set.CreateField(TTextFieldKind::SingleLine);
  auto b = set.CreateField(TTextFieldKind::SingleLine);
  ITextField* raw = b.get();
  Listener listener(raw);
  b->SetListener(&listener);
  for (ITextField* f : {a.get(), b.get()}) {
    f->SetFontHeight(10);
    f->SetText("abcd");
    f->SetVisible(true);
  }
  a->SetBounds(TScreenRect{0, 0, 50, 14});
  b->SetBounds(TScreenRect{0, 20, 50, 34});
  a->Focus();
  EXPECT_TRUE(window.TextInputOn());
  EXPECT_EQ(window.TextInputField(), (TScreenRect{0, 0, 50, 14}));
  // Between the second and the third character (margin 2, 5 pixels each).
  EXPECT_TRUE(set.HandleEvent(Click(2 + 11, 25)));
  EXPECT_EQ(set.FocusedField(), b.get());
  EXPECT_EQ(listener.focused, 1);
  EXPECT_EQ(window.TextInputField(), (TScreenRect{0, 20, 50, 34}));
  Send({Typed("-")});
  EXPECT_EQ(b->Text(), "ab-cd");
  EXPECT_FALSE(set.HandleEvent(Click(60, 25)));
  b->SetVisible(false);
  EXPECT_EQ(set.FocusedField(), nullptr);
  EXPECT_FALSE(window.TextInputOn());
  EXPECT_FALSE(set.HandleEvent(Typed("x")));
  // A field that outlives its set keeps its text and shows nowhere.
  auto outliving = std::make_unique<TTextFieldSet>();
  auto kept = outliving->CreateField(TTextFieldKind::SingleLine);
  kept->Focus();
  outliving.reset();
  kept->SetText("still");
  kept->SetVisible(true);
  kept->Focus();
  EXPECT_FALSE(kept->Focused());
  EXPECT_EQ(kept->Text(), "still");
}

// A memo of 20 rows showing 10: its scroll bar (x 44 .. 60) has arrows 16 high at the top and the
// bottom and a track of 72 between, the thumb 36 long. It scrolls without moving the caret or
// taking the keyboard, and the game sees none of what it takes.
TEST_F(FieldTest, AMemosScrollBarAndTheWheelScrollItWithoutMovingTheCaret) {
  auto edit = Make(TTextFieldKind::SingleLine, TScreenRect{0, 200, 40, 214});
  auto m = Make(TTextFieldKind::MultiLine, TScreenRect{0, 0, 60, 104});
  std::string text;
  for (int i = 0; i < 20; ++i) text += (i ? "\r\n" : "") + std::to_string(i % 10);
  m->SetText(text);
  Send({Key(kControl), Key(kHome), Key(kControl, TEventKind::KeyUp)});  // the caret to the start
  edit->Focus();
  auto first = [&] { return set.VisibleLooks().at(1).first_row; };
  ASSERT_EQ(first(), 0);
  TEvent move;
  move.kind = TEventKind::MouseMove;
  auto at = [](TEvent e, int32_t x, int32_t y) {
    e.pos = TPoint{x, y};
    return e;
  };
  TEvent up = Click(0, 0);
  up.kind = TEventKind::MouseUp;
  TEvent wheel;
  wheel.kind = TEventKind::Wheel;
  struct Case {
    const char* what;
    std::vector<TEvent> events;
    int32_t want;
  } cases[] = {
      {"the up arrow at the top", {Click(50, 5), at(up, 50, 5)}, 0},
      {"the down arrow", {Click(50, 95), at(up, 50, 95)}, 1},
      {"the wheel down over the memo", {[&] { TEvent w = wheel; w.wheel = -1; return w; }()}, 4},
      {"the wheel up", {[&] { TEvent w = wheel; w.wheel = 1; return w; }()}, 1},
      {"the track below the thumb (y 19 .. 55) pages", {Click(50, 80), at(up, 50, 80)}, 10},
      {"the track above it pages back", {Click(50, 20), at(up, 50, 20)}, 0},
      {"the thumb dragged by half its way", {Click(50, 20), at(move, 50, 38), at(move, 90, 38), at(up, 90, 38)}, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (const TEvent& e : c.events) EXPECT_TRUE(set.HandleEvent(e)) << int(e.kind);
    EXPECT_EQ(first(), c.want);
  }
  EXPECT_EQ(set.FocusedField(), edit.get());
  EXPECT_EQ(set.VisibleLooks().at(1).caret, 0u);
  // After the release the moves are the game's again, and so is the wheel off the memo.
  EXPECT_FALSE(set.HandleEvent(at(move, 50, 38)));
  EXPECT_FALSE(set.HandleEvent(at(move, 20, 150)));
  EXPECT_FALSE(set.HandleEvent(wheel));

  // Held, the down arrow repeats after the delay and then at the interval while over it.
  set.SetTime(1000);
  set.HandleEvent(Click(50, 95));
  EXPECT_EQ(first(), 6);
  for (auto [time, want] : {std::pair{1000 + kScrollRepeatDelayMs - 1, 6}, {1000 + kScrollRepeatDelayMs, 7},
                            {1000 + kScrollRepeatDelayMs + kScrollRepeatMs, 8}}) {
    set.SetTime(time);
    EXPECT_EQ(first(), want) << time;
  }
  set.HandleEvent(at(move, 50, 60));  // off the arrow: no more
  set.SetTime(1000 + kScrollRepeatDelayMs + 3 * kScrollRepeatMs);
  EXPECT_EQ(first(), 8);
  set.HandleEvent(at(up, 50, 60));
  // Typing scrolls the caret back into view.
  m->Focus();
  Send({Typed("x")});
  EXPECT_EQ(first(), 0);
  EXPECT_EQ(m->Text().substr(0, 2), "x0");
}

TEST(DrawnTextFields, AFieldIsPaintedInItsColoursWithTheCaretAndAMemosScrollBar) {
  test::FakeGlyphFonts fonts;
  TDrawnTextFieldSet set(fonts);
  auto f = set.CreateField(TTextFieldKind::SingleLine);
  f->SetFontHeight(12);  // boxes of 6 pixels (4 wide, from 1 right of the pen), rows of 12
  f->SetFontColor(0x0000FF);  // red
  f->SetColor(0xFF0000);      // blue
  f->SetText("ab");
  f->SetBounds(TScreenRect{10, 20, 50, 36});
  f->SetVisible(true);
  f->Focus();
  std::vector<TPaintedField> painted = set.Paint();
  ASSERT_EQ(painted.size(), 1u);
  const TImageArgb& img = painted[0].image;
  ASSERT_EQ(img.width, 40);
  ASSERT_EQ(img.height, 16);
  auto at = [&](int32_t x, int32_t y) { return img.pixels[size_t(y) * 40 + size_t(x)]; };
  EXPECT_EQ(at(0, 0), 0xFF0000FFu);                           // the background
  EXPECT_EQ(at(kFieldMargin + 3, kFieldMargin + 5), 0xFFFF0000u);  // inside the first box
  EXPECT_EQ(at(kFieldMargin + 12, kFieldMargin + 5), 0xFFFF0000u);  // the caret after "ab"
  EXPECT_EQ(at(kFieldMargin + 13, kFieldMargin + 5), 0xFF0000FFu);
  // Disabled: grey text on grey, no caret.
  f->SetEnabled(false);
  painted = set.Paint();
  EXPECT_EQ(painted[0].image.pixels[0], 0xFF000000u | kFieldDisabledRgb);
  EXPECT_EQ(painted[0].image.pixels[size_t(kFieldMargin + 5) * 40 + kFieldMargin + 3], 0xFF000000u | kFieldGreyTextRgb);
  EXPECT_EQ(painted[0].image.pixels[size_t(kFieldMargin + 5) * 40 + kFieldMargin + 12], 0xFF000000u | kFieldDisabledRgb);
  // A memo's scroll bar along its right edge: with nothing to scroll, grey arrows and no thumb;
  // with twice the rows it shows, the thumb half the track long, at the top. A hidden field is not
  // painted.
  auto m = set.CreateField(TTextFieldKind::MultiLine);
  m->SetFontHeight(12);
  m->SetBounds(TScreenRect{0, 0, 60, 4 + 96});  // 8 rows in view, a track of 68
  m->SetVisible(true);
  f->SetVisible(false);
  painted = set.Paint();
  ASSERT_EQ(painted.size(), 1u);
  auto bar_at = [&](int32_t x, int32_t y) { return painted[0].image.pixels[size_t(y) * 60 + size_t(60 - kFieldScrollBarWidth + x)]; };
  const int32_t mid = kFieldScrollBarWidth / 2;
  EXPECT_EQ(bar_at(mid, 6), 0xFF000000u | kFieldScrollArrowOffRgb);  // the up arrow's tip
  EXPECT_EQ(bar_at(mid, 40), 0xFF000000u | kFieldScrollTrackRgb);
  EXPECT_EQ(bar_at(0, 40), 0xFF000000u | kFieldScrollTrackRgb);
  std::string rows;
  for (int i = 0; i < 16; ++i) rows += "1\r\n";
  m->SetText(rows.substr(0, rows.size() - 2));
  m->Blur();
  set.HandleEvent(Click(60 - mid, 20));  // the caret's row is the last; the track above the thumb pages to the top
  painted = set.Paint();
  EXPECT_EQ(bar_at(mid, 6), 0xFF000000u | kFieldScrollArrowRgb);
  EXPECT_EQ(bar_at(mid, 16), 0xFF000000u | kFieldScrollThumbRgb);
  EXPECT_EQ(bar_at(mid, 16 + 33), 0xFF000000u | kFieldScrollThumbRgb);
  EXPECT_EQ(bar_at(mid, 16 + 34), 0xFF000000u | kFieldScrollTrackRgb);
  EXPECT_EQ(bar_at(0, 20), 0xFF000000u | kFieldScrollTrackRgb);
}

// The caret blinks on the time the scene gives: shown for half a second, hidden for as long, and
// shown again at once by a key or typed text; each turn asks for a new painting.
TEST(DrawnTextFields, TheCaretBlinksOnTheTimeItIsGivenAndShowsAtOnceAfterTyping) {
  test::FakeGlyphFonts fonts;
  TDrawnTextFieldSet set(fonts);
  auto f = set.CreateField(TTextFieldKind::SingleLine);
  f->SetFontHeight(12);
  f->SetText("ab");
  f->SetBounds(TScreenRect{0, 0, 40, 16});
  f->SetVisible(true);
  set.SetTime(1000);
  f->Focus();
  auto caret_shown = [&] {
    const TImageArgb img = set.Paint().at(0).image;
    const int32_t x = kFieldMargin + 6 * int32_t(f->Text().size());
    return img.pixels[size_t(kFieldMargin + 5) * 40 + size_t(x)] == 0xFF000000u;  // black text
  };
  struct Step {
    uint32_t time;
    bool shown;
    bool repaint;
  } steps[] = {{1000 + kCaretBlinkMs - 1, true, false}, {1000 + kCaretBlinkMs, false, true},
               {1000 + 2 * kCaretBlinkMs - 16, false, false}, {1000 + 2 * kCaretBlinkMs, true, true}};
  set.TakeChanged();
  for (const Step& s : steps) {
    SCOPED_TRACE(s.time);
    set.SetTime(s.time);
    EXPECT_EQ(set.TakeChanged(), s.repaint);
    EXPECT_EQ(caret_shown(), s.shown);
  }
  set.SetTime(1000 + 3 * kCaretBlinkMs);  // hidden
  EXPECT_FALSE(caret_shown());
  set.HandleEvent(Typed("c"));
  EXPECT_TRUE(caret_shown());
  set.SetTime(1000 + 4 * kCaretBlinkMs - 1);
  EXPECT_TRUE(caret_shown());
  set.SetTime(1000 + 4 * kCaretBlinkMs);
  EXPECT_FALSE(caret_shown());
}

}  // namespace
}  // namespace kova::plat
