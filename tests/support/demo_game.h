// The demo game's layout, shared by its writer (tools/kovademo.cpp) and the tests that play it:
// the screen size, the scenes' colours, where its buttons are (game pixels) and their pictures'
// colours.
#pragma once

#include <cstdint>

namespace kova::test::demo {

struct Rect {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
  int32_t CentreX() const { return (left + right) / 2; }
  int32_t CentreY() const { return (top + bottom) / 2; }
};

inline constexpr int32_t kWidth = 640;
inline constexpr int32_t kHeight = 480;

// The background of the title screen and of the second scene (0xRRGGBB).
inline constexpr uint32_t kTitleColour = 0x203060;
inline constexpr uint32_t kSceneColour = 0x286030;

// The title screen's buttons.
inline constexpr Rect kStartButton{220, 240, 420, 290};
inline constexpr Rect kFullScreenButton{220, 310, 420, 360};
inline constexpr Rect kQuitButton{220, 380, 420, 430};
// The second scene's buttons: back to the title, save to slot 1 and load slot 1.
inline constexpr Rect kBackButton{20, 420, 180, 460};
inline constexpr Rect kSaveButton{460, 360, 620, 400};
inline constexpr Rect kLoadButton{460, 420, 620, 460};

// Every button's picture: a face inside a border kButtonBorderWidth pixels wide.
inline constexpr uint32_t kButtonFace = 0xC8C8D8;
inline constexpr uint32_t kButtonBorder = 0xF8E070;
inline constexpr int32_t kButtonBorderWidth = 3;

// The second scene's message window: the story's text (Japanese and English) revealed in it, a
// click completing the page being revealed or going on, a choice of two links, and the History
// button that shows the whole message history in it.
inline constexpr Rect kMessageWindow{40, 40, 600, 200};
inline constexpr int32_t kMessageFontHeight = 20;
inline constexpr uint32_t kMessageColour = 0xFFFFFF;
inline constexpr uint32_t kLinkColour = 0xFFE080, kLinkHoverColour = 0xFF9040;
inline constexpr Rect kHistoryButton{20, 360, 180, 400};

}  // namespace kova::test::demo
