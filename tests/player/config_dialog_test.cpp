// The drawn settings dialog on the headless desktop: keys and clicks turned into the settings
// written, the ways out that write nothing, a write that fails, and how the controls look.
#include "player/config_dialog.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/messages.h"
#include "player/headless_desktop.h"
#include "player_test_util.h"
#include "support/fake_glyph_fonts.h"

namespace kova::test {
namespace {

using plat::TEvent;
using plat::TEventKind;

TEvent Key(int32_t key, TEventKind kind = TEventKind::KeyDown) {
  TEvent e;
  e.kind = kind;
  e.key = key;
  return e;
}

TEvent CloseBox() {
  TEvent e;
  e.kind = TEventKind::Close;
  return e;
}

TEvent Mouse(TEventKind kind, int32_t x, int32_t y) {
  TEvent e;
  e.kind = kind;
  e.pos = plat::TPoint{x, y};
  e.button = plat::TMouseButton::Left;
  return e;
}

// Pixels as the presenter keeps them (0xRRGGBB). Text goes through a full-coverage mask, which
// gives 255/256 of the colour (the drawing's blend rule).
constexpr uint32_t kFace = 0xD4D0C8, kBlack = 0x000000, kGreyText = 0x7F7F7F;

class ConfigDialogTest : public ::testing::Test {
 protected:
  ConfigDialogTest() { desktop.glyphs = &fonts; }

  // Runs the dialog over the game folder's settings with the scripted events (one a frame).
  int Run(const std::vector<TEvent>& events) {
    for (size_t i = 0; i < events.size(); ++i) desktop.Script(0).Add(i + 1, events[i]);
    TSettingsFile file(plat::TGameUserFolder(tree.Path("game"), "-GAME-", true));
    return RunConfigDialog(desktop, file);
  }
  std::string Ini() {
    const std::vector<uint8_t> bytes = GameTree::ReadHostFile(tree.Path("game/game.ini"));
    return std::string(bytes.begin(), bytes.end());
  }
  plat::THeadlessPresenter& Picture() { return *desktop.Opened().at(0).presenter; }

  GameTree tree;
  FakeGlyphFonts fonts;
  THeadlessDesktop desktop;
};

TEST_F(ConfigDialogTest, KeysChangeAndWriteTheSettings) {
  tree.MakeDir("game");
  // Space unticks the box (the track bar comes alive), Tab walks OK, Cancel, the track bar; two
  // steps left from 500 ms; Enter is OK.
  EXPECT_EQ(Run({Key(0x20), Key(0x09), Key(0x09), Key(0x09), Key(0x25), Key(0x25), Key(0x0D)}), 0);
  EXPECT_EQ(Ini(), "[Sound]\r\nDirectSound=0\r\nDelayTime=300\r\n");
  ASSERT_EQ(desktop.Opened().size(), 1u);
  const auto& opened = desktop.Opened()[0];
  EXPECT_EQ(opened.window->Caption(), MsgText(TMsg::ConfigCaption));
  EXPECT_EQ(opened.window->ClientSize(), (plat::TSize{270, 179}));
  EXPECT_FALSE(opened.resizable);
  // Centred on the 1024 x 768 desktop.
  EXPECT_EQ(opened.window->Position(), (plat::TPoint{(1024 - 270) / 2, (768 - 179) / 2}));
}

TEST_F(ConfigDialogTest, TheMouseTicksDragsAndPresses) {
  tree.WriteFile("game/game.ini", "[Sound]\r\nDirectSound=1\r\nDelayTime=500\r\n");
  const int32_t track_y = TConfigDialog::kTrack.Top + 9;
  EXPECT_EQ(Run({Mouse(TEventKind::MouseDown, 60, 32), Mouse(TEventKind::MouseUp, 60, 32),  // the caption
                 Mouse(TEventKind::MouseDown, TConfigDialog::ThumbCentre(5), track_y),
                 Mouse(TEventKind::MouseMove, TConfigDialog::ThumbCentre(2) + 3, track_y),
                 Mouse(TEventKind::MouseUp, TConfigDialog::ThumbCentre(2) + 3, track_y + 30),
                 // pressed on OK, released outside: nothing; then a real click
                 Mouse(TEventKind::MouseDown, 120, 150), Mouse(TEventKind::MouseUp, 20, 150),
                 Mouse(TEventKind::MouseDown, 120, 150), Mouse(TEventKind::MouseUp, 121, 151)}),
            0);
  EXPECT_EQ(Ini(), "[Sound]\r\nDirectSound=0\r\nDelayTime=200\r\n");
}

TEST_F(ConfigDialogTest, EscapeCancelAndTheCloseBoxWriteNothing) {
  const std::string before = "[Sound]\r\nDelayTime=250\r\n";
  tree.WriteFile("game/game.ini", before);
  const std::vector<TEvent> ways[] = {
      {Key(0x20), Key(0x1B)},
      {Key(0x20), Key(0x09), Key(0x09), Key(0x20)},  // Space on Cancel
      {Key(0x20), Mouse(TEventKind::MouseDown, 200, 150), Mouse(TEventKind::MouseUp, 200, 150)},
      {Key(0x20), CloseBox()},
  };
  for (const std::vector<TEvent>& events : ways) {
    THeadlessDesktop fresh;
    fresh.glyphs = &fonts;
    for (size_t i = 0; i < events.size(); ++i) fresh.Script(0).Add(i + 1, events[i]);
    TSettingsFile file(plat::TGameUserFolder(tree.Path("game"), "-GAME-", true));
    EXPECT_EQ(RunConfigDialog(fresh, file), 0);
    EXPECT_EQ(Ini(), before);
  }
}

// OK on a file that cannot be written says so and keeps the dialog open.
TEST_F(ConfigDialogTest, AFailedWriteIsShownAndTheDialogStays) {
  tree.MakeDir("game/game.ini");
  EXPECT_EQ(Run({Key(0x0D), Key(0x1B)}), 0);
  const auto& warnings = desktop.Opened().at(0).window->Warnings();
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_NE(warnings[0].text.find("game.ini"), std::string::npos);
}

// The delay's controls are greyed while the box is ticked; the thumb stands at its position.
TEST_F(ConfigDialogTest, TheDelayIsGreyedWhileTheSoundDeviceIsUsed) {
  tree.WriteFile("game/game.ini", "[Sound]\r\nDelayTime=300\r\n");
  const int32_t label_x = TConfigDialog::kDelayLabel.Left + 3, label_y = TConfigDialog::kDelayLabel.Top + 5;
  const int32_t thumb_y = TConfigDialog::kTrack.Top + 9;  // the channel's dark line
  TSettingsFile file(plat::TGameUserFolder(tree.Path("game"), "-GAME-", true));
  TConfigModel model(file);
  TConfigDialog dialog(model, fonts);
  TDIBX picture;
  picture.SetSize(TConfigDialog::kWidth, TConfigDialog::kHeight, 32);
  dialog.Draw(picture);
  EXPECT_EQ(picture.GetPixel(label_x, label_y), kGreyText);
  EXPECT_EQ(picture.GetPixel(TConfigDialog::ThumbCentre(3), thumb_y), kFace);
  EXPECT_NE(picture.GetPixel(TConfigDialog::ThumbCentre(5), thumb_y), kFace);  // the channel
  dialog.KeyDown(0x20);
  dialog.KeyDown(0x44);  // D: the track bar
  dialog.KeyDown(0x23);  // End
  dialog.Draw(picture);
  EXPECT_EQ(dialog.Focus(), TConfigDialog::TControl::Track);
  EXPECT_EQ(picture.GetPixel(label_x, label_y), kBlack);
  EXPECT_EQ(picture.GetPixel(TConfigDialog::ThumbCentre(5), thumb_y), kFace);
  EXPECT_NE(picture.GetPixel(TConfigDialog::ThumbCentre(3), thumb_y), kFace);
  EXPECT_EQ(model.DelayText(), "500ms");
  // Ticking the box again takes the focus from the track bar.
  dialog.KeyDown(0x53);  // S
  EXPECT_TRUE(model.Checked());
  EXPECT_EQ(dialog.Focus(), TConfigDialog::TControl::Check);
}

}  // namespace
}  // namespace kova::test
