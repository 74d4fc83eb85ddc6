// The text fields' host: editing by keys and typed text over code page 932 text (double-byte
// characters and a memo's CR LF move and go as one), selection and the clipboard, the typing cap,
// the memo's rows and its up and down keys, the mouse placing the caret, the window's text input
// following the keyboard, and the fields painted with the outline fonts over their rectangle.
#include "platform/text_fields.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/drawn_text_fields.h"
#include "platform/headless_video.h"
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
  // A memo's scroll bar along its right edge; a hidden field is not painted.
  auto m = set.CreateField(TTextFieldKind::MultiLine);
  m->SetBounds(TScreenRect{0, 0, 60, 30});
  m->SetVisible(true);
  f->SetVisible(false);
  painted = set.Paint();
  ASSERT_EQ(painted.size(), 1u);
  EXPECT_EQ(painted[0].image.pixels[size_t(10) * 60 + 60 - kFieldScrollBarWidth / 2], 0xFF000000u | kFieldScrollThumbRgb);
  EXPECT_EQ(painted[0].image.pixels[size_t(10) * 60 + 60 - kFieldScrollBarWidth], 0xFF000000u | kFieldScrollTrackRgb);
}

}  // namespace
}  // namespace kova::plat
