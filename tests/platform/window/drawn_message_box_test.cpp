// The message box drawn with the player's fonts: its rows (line breaks, wrapping, the cap on rows),
// its buttons, its answers to keys, clicks and the close box, and its pixels. The fonts are the
// deterministic fakes: at the box's 12-pixel em a single-byte character is 6 pixels wide and a
// double-byte one 12, each drawn as a box of ink.
#include "platform/window/drawn_message_box.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "support/fake_glyph_fonts.h"

namespace kova::plat {
namespace {

using test::FakeGlyphFonts;

const std::string kA = "\x83\x41";  // "ア"

TMessageBoxStyle Style() {
  TMessageBoxStyle style;
  style.face = "\x82\x6c\x82\x72 \x82\x6f\x83\x53\x83\x56\x83\x62\x83\x4e";  // "ＭＳ Ｐゴシック"
  style.ok = "OK";
  style.cancel = "\x83\x4c\x83\x83\x83\x93\x83\x5a\x83\x8b";  // "キャンセル"
  return style;
}

TDrawnMessageBox MakeBox(FakeGlyphFonts& fonts, const std::string& text,
                         TMessageButtons buttons = TMessageButtons::Ok) {
  TMessageBox box;
  box.title = "\x8f\xee\x95\xf1";  // "情報"
  box.text = text;
  box.buttons = buttons;
  return TDrawnMessageBox(fonts, Style(), box);
}

std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

TEST(DrawnMessageBox, RowsSplitAtLineBreaksAndWrapAtSpacesOrBetweenCharacters) {
  struct Case {
    std::string text;
    std::vector<std::string> rows;
  } cases[] = {
      {"", {""}},
      {"A\r\nB\nC\rD", {"A", "B", "C", "D"}},
      {"A\n\nB\n", {"A", "", "B"}},
      // 560 pixels hold 93 single-byte characters: the words after the last space move down.
      {Repeat("a", 50) + " " + Repeat("b", 50), {Repeat("a", 50), Repeat("b", 50)}},
      {Repeat("x", 100), {Repeat("x", 93), Repeat("x", 7)}},
      // A space where the row is full is left out.
      {Repeat("x", 93) + " y", {Repeat("x", 93), "y"}},
      // 46 double-byte characters; none is cut in two.
      {Repeat(kA, 50), {Repeat(kA, 46), Repeat(kA, 4)}},
  };
  FakeGlyphFonts fonts;
  for (const Case& c : cases) EXPECT_EQ(MakeBox(fonts, c.text).Rows(), c.rows) << c.text;
}

// A hostile text (a megabyte of line breaks, or of one long word) shows its first rows only, and
// laying it out stays quick.
TEST(DrawnMessageBox, AHugeTextShowsItsFirstRowsOnly) {
  FakeGlyphFonts fonts;
  const auto start = std::chrono::steady_clock::now();
  for (const std::string& text : {Repeat("x\n", 1 << 19), std::string(1 << 20, 'x')}) {
    const TDrawnMessageBox box = MakeBox(fonts, text);
    EXPECT_EQ(box.Rows().size(), size_t(TDrawnMessageBox::kMaxRows));
    EXPECT_LE(box.Size().height, 2 * TDrawnMessageBox::kMargin + TDrawnMessageBox::kMaxRows * box.RowHeight() + 64);
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST(DrawnMessageBox, ButtonsStandCentredBelowTheText) {
  FakeGlyphFonts fonts;
  const TDrawnMessageBox ok = MakeBox(fonts, "A\nB");
  ASSERT_EQ(ok.ButtonCount(), 1);
  EXPECT_EQ(ok.Size().width, TDrawnMessageBox::kMinWidth);
  const TScreenRect b = ok.ButtonRect(0);
  EXPECT_EQ(b.left + b.right, ok.Size().width);
  EXPECT_GE(b.top, ok.TextOrigin().y + 2 * ok.RowHeight());
  EXPECT_EQ(b.bottom + TDrawnMessageBox::kMargin, ok.Size().height);

  const TDrawnMessageBox both = MakeBox(fonts, Repeat("x", 100), TMessageButtons::OkCancel);
  ASSERT_EQ(both.ButtonCount(), 2);
  EXPECT_EQ(both.Size().width, 93 * 6 + 2 * TDrawnMessageBox::kMargin);
  EXPECT_EQ(both.ButtonRect(0).left + both.ButtonRect(1).right, both.Size().width);
  EXPECT_LT(both.ButtonRect(0).right, both.ButtonRect(1).left);
  EXPECT_EQ(both.ButtonRect(0).top, both.ButtonRect(1).top);
}

TEST(DrawnMessageBox, AnswersKeysClicksAndTheCloseBox) {
  constexpr int32_t kEnter = 0x0D, kEscape = 0x1B, kTab = 0x09, kSpace = 0x20, kRight = 0x27, kA_key = 0x41;
  struct Step {
    enum { Key, Down, Move, Up, Close } kind;
    int32_t key_or_button = 0;  // the key, or the button the pointer is on (-1 outside)
  };
  struct Case {
    const char* what;
    TMessageButtons buttons;
    std::vector<Step> steps;
    std::optional<TMessageAnswer> answer;
  } cases[] = {
      {"Enter on OK", TMessageButtons::Ok, {{Step::Key, kEnter}}, TMessageAnswer::Ok},
      {"Escape on an OK box", TMessageButtons::Ok, {{Step::Key, kEscape}}, TMessageAnswer::Ok},
      {"closed OK box", TMessageButtons::Ok, {{Step::Close}}, TMessageAnswer::Ok},
      {"other keys", TMessageButtons::OkCancel, {{Step::Key, kA_key}}, std::nullopt},
      {"Enter", TMessageButtons::OkCancel, {{Step::Key, kEnter}}, TMessageAnswer::Ok},
      {"Escape", TMessageButtons::OkCancel, {{Step::Key, kEscape}}, TMessageAnswer::Cancel},
      {"closed", TMessageButtons::OkCancel, {{Step::Close}}, TMessageAnswer::Cancel},
      {"Tab, Enter", TMessageButtons::OkCancel, {{Step::Key, kTab}, {Step::Key, kEnter}}, TMessageAnswer::Cancel},
      {"Right, Tab, Space", TMessageButtons::OkCancel, {{Step::Key, kRight}, {Step::Key, kTab}, {Step::Key, kSpace}},
       TMessageAnswer::Ok},
      {"click on Cancel", TMessageButtons::OkCancel, {{Step::Down, 1}, {Step::Up, 1}}, TMessageAnswer::Cancel},
      {"click on OK", TMessageButtons::OkCancel, {{Step::Down, 0}, {Step::Up, 0}}, TMessageAnswer::Ok},
      {"press on Cancel, released outside", TMessageButtons::OkCancel,
       {{Step::Down, 1}, {Step::Move, -1}, {Step::Up, -1}}, std::nullopt},
      {"press on OK, released on Cancel", TMessageButtons::OkCancel, {{Step::Down, 0}, {Step::Up, 1}}, std::nullopt},
      {"press outside, released on OK", TMessageButtons::OkCancel, {{Step::Down, -1}, {Step::Up, 0}}, std::nullopt},
  };
  FakeGlyphFonts fonts;
  for (const Case& c : cases) {
    TDrawnMessageBox box = MakeBox(fonts, "?", c.buttons);
    auto at = [&](int32_t button) {
      if (button < 0) return TPoint{1, 1};
      const TScreenRect r = box.ButtonRect(button);
      return TPoint{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    };
    for (const Step& s : c.steps) {
      switch (s.kind) {
        case Step::Key: box.KeyDown(s.key_or_button); break;
        case Step::Down: box.MouseDown(at(s.key_or_button)); break;
        case Step::Move: box.MouseMove(at(s.key_or_button)); break;
        case Step::Up: box.MouseUp(at(s.key_or_button)); break;
        case Step::Close: box.Close(); break;
      }
    }
    EXPECT_EQ(box.Answer(), c.answer) << c.what;
  }
}

// Each character is drawn as the font draws it, at its own advance: a double-byte character is one
// glyph of a full cell, never two bytes of half a cell each.
TEST(DrawnMessageBox, PaintsTheTextInTheFontsGlyphs) {
  FakeGlyphFonts fonts;
  TDrawnMessageBox box = MakeBox(fonts, "a" + kA + "b");
  const TImageArgb image = box.Paint();
  ASSERT_EQ(image.width, box.Size().width);
  ASSERT_EQ(image.height, box.Size().height);
  const uint32_t face = 0xFF000000u | kBoxFaceRgb, ink = 0xFF000000u | kBoxTextRgb;
  auto at = [&](int32_t x, int32_t y) { return image.pixels[size_t(y) * size_t(image.width) + size_t(x)]; };
  const TPoint o = box.TextOrigin();
  const int32_t middle = o.y + 6;  // inside every box (cell rows 1..8)
  EXPECT_EQ(at(1, 1), face);
  // "a" at 0..5 (its box 1..4), "ア" at 6..17 (its box 7..16), "b" at 18..23.
  EXPECT_EQ(at(o.x, middle), face);
  EXPECT_EQ(at(o.x + 2, middle), ink);
  EXPECT_EQ(at(o.x + 5, middle), face);
  EXPECT_EQ(at(o.x + 8, middle), ink);
  EXPECT_EQ(at(o.x + 12, middle), ink);
  EXPECT_EQ(at(o.x + 15, middle), ink);
  EXPECT_EQ(at(o.x + 17, middle), face);
  EXPECT_EQ(at(o.x + 20, middle), ink);
  EXPECT_EQ(at(o.x + 26, middle), face);
  // The caption of the button is drawn inside it, and the box's pixels are opaque everywhere.
  const TScreenRect b = box.ButtonRect(0);
  int inked = 0;
  for (int32_t y = b.top + 5; y < b.bottom - 5; ++y) {
    for (int32_t x = b.left + 5; x < b.right - 5; ++x) inked += at(x, y) == ink;
  }
  EXPECT_GT(inked, 20);
  for (uint32_t p : image.pixels) ASSERT_EQ(p >> 24, 0xFFu);
}

}  // namespace
}  // namespace kova::plat
