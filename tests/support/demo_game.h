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

// The scene changes go through screen transitions (kinds by their numbers): the title to the story a fade, the story back to the
// title a horizontal scroll, the title to the settings horizontal blinds, the settings back to
// the title a mask fade ordered by the grey picture kMaskPicture. Each runs kTransitionMs.
struct Transition {
  int32_t kind;
  const char* mask;  // the mask picture's name, or nullptr
};
inline constexpr Transition kToStory{1, nullptr};
inline constexpr Transition kToTitle{6, nullptr};
inline constexpr Transition kToSettings{2, nullptr};
inline constexpr Transition kFromSettings{19, "wipe_mask.bmp"};
inline constexpr const char* kMaskPicture = "wipe_mask.bmp";
inline constexpr int32_t kMaskWidth = 160, kMaskHeight = 120;
inline constexpr int32_t kTransitionMs = 160;

// The title's animated film, left of the buttons: a panel whose colour swings to and fro, a
// light square running round its edge and the demo's name, looping every kTitleFilmTicks ticks
// (1/60 s). Its background is transparent: the title's colour shows between its sprites.
inline constexpr Rect kTitleFilm{20, 240, 200, 420};
inline constexpr const char* kTitleFilmName = "title.kmt";
inline constexpr int32_t kTitleFilmTicks = 240;
inline constexpr uint32_t kTitleFilmPanel[2] = {0x603020, 0x206080};
inline constexpr uint32_t kTitleFilmSquare = 0xF8E070;

// The title's video, right of the buttons: a clip of colour fields (kClipColours in turn, each
// shown for kClipPicturesPerColour pictures at kClipFps) with a light bar running along their
// lowest quarter, looping, with no sound of its own, drawn over the title's picture. Made with the media library's own encoders (a ".wmv" file).
inline constexpr Rect kClip{452, 240, 612, 360};
inline constexpr const char* kClipName = "clip.wmv";
inline constexpr uint32_t kClipColours[] = {0xD05050, 0x50B060, 0x5070D0, 0xD0C050};
inline constexpr int32_t kClipFps = 10, kClipPicturesPerColour = 5;

// The title screen's buttons.
inline constexpr Rect kSettingsButton{220, 170, 420, 220};
inline constexpr Rect kStartButton{220, 240, 420, 290};
inline constexpr Rect kFullScreenButton{220, 310, 420, 360};
inline constexpr Rect kQuitButton{220, 380, 420, 430};
// The second scene's buttons: back to the title, save to slot 1 and load slot 1.
inline constexpr Rect kBackButton{20, 420, 180, 460};
inline constexpr Rect kSaveButton{460, 360, 620, 400};
inline constexpr Rect kLoadButton{460, 420, 620, 460};

// The settings screen, reached by the title's Settings button: its background, the button back to
// the title, the volume slider and the text-speed menu.
inline constexpr uint32_t kSettingsColour = 0x402850;
inline constexpr Rect kDoneButton{20, 420, 180, 460};
// The volume slider over the script volume 0 .. 1000 (1000 at start), stepping by 50: a track of
// two halves kTrackLength x kTrackHeight (the part up to the thumb filled), thumb cells
// kThumbWidth x kThumbHeight (normal, hover, pressed) and step buttons kStepSize square (the lower
// one left of the track, the higher one right of it).
inline constexpr int32_t kVolumeMax = 1000, kVolumeStep = 50;
inline constexpr int32_t kVolumeLeft = 200, kVolumeTop = 120;
inline constexpr int32_t kTrackLength = 200, kTrackHeight = 12, kThumbWidth = 16, kThumbHeight = 24, kStepSize = 24;
inline constexpr uint32_t kTrackEmpty = 0x505060, kTrackFilled = 0x60C070;
inline constexpr uint32_t kThumbColours[3] = {0xE0E0E0, 0xFFFFFF, 0xA0A0A0};
inline constexpr uint32_t kStepColours[3] = {0x8080A0, 0xA0A0C0, 0x606080};
// The track's left end on the screen and the thumb's left edge at a volume.
inline constexpr int32_t kTrackLeft = kVolumeLeft + kStepSize + kThumbWidth / 2;
inline constexpr int32_t kTrackTop = kVolumeTop + (kThumbHeight - kTrackHeight) / 2;
constexpr int32_t ThumbLeft(int32_t volume) { return kVolumeLeft + kStepSize + volume * kTrackLength / kVolumeMax; }
// The text-speed menu: its items, where it is, its rows' height, and the "@TextDelay" each item
// sets (slow, normal, fast).
inline constexpr const char* kSpeedItems = "Slow\r\nNormal\r\nFast";
inline constexpr int32_t kSpeedLeft = 200, kSpeedTop = 220, kSpeedRowHeight = 20;
inline constexpr int32_t kSpeedBorder = 2, kSpeedMarginX = 10, kSpeedMarginY = 6;
inline constexpr int32_t kTextDelays[3] = {90, 50, 10};
// Where the screen names the text speed in use ("Now: Normal"), right of the menu.
inline constexpr int32_t kSpeedValueLeft = 300;
constexpr int32_t SpeedItemCentreY(int32_t item) {
  return kSpeedTop + kSpeedBorder + kSpeedMarginY + item * kSpeedRowHeight + kSpeedRowHeight / 2;
}

// Every button's picture: a face inside a border kButtonBorderWidth pixels wide.
inline constexpr uint32_t kButtonFace = 0xC8C8D8;
inline constexpr uint32_t kButtonBorder = 0xF8E070;
inline constexpr int32_t kButtonBorderWidth = 3;
// Every button's caption is centred on it; the face shows clear of it this far in from the left at
// mid-height.
inline constexpr int32_t kButtonFaceInset = 20;

// The second scene's message window: the story's Japanese text revealed in it, a
// click completing the page being revealed or going on, a choice of two links, and the History
// button that shows the whole message history in it.
inline constexpr Rect kMessageWindow{40, 88, 600, 248};
inline constexpr int32_t kMessageFontHeight = 20;
inline constexpr uint32_t kMessageColour = 0xFFFFFF;
inline constexpr uint32_t kLinkColour = 0xFFE080, kLinkHoverColour = 0xFF9040;
inline constexpr Rect kHistoryButton{20, 360, 180, 400};
// The English lines of the page being read: a caption over the window, its last line ending at
// the bottom of kEnglishCaption (just over the window's first line of text), drawn proportionally
// in kEnglishColour (the window lays every character out in a square cell, under which English
// reads letter-spaced, so the window holds the Japanese text alone); hidden while the history
// shows.
inline constexpr Rect kEnglishCaption{40, 36, 600, 84};
inline constexpr int32_t kEnglishFontHeight = 18, kEnglishLineSpace = 3;
inline constexpr uint32_t kEnglishColour = 0xB0D8FF;
// Every character of the story costs this many milliseconds at "@TextDelay" 50 (the WAIT base a
// text starts with): the window scales it by "@TextDelay" / 50.
inline constexpr int32_t kGlyphDelay = 50;
// The wheel (and Up and Down) move the history shown by this many pixels.
inline constexpr int32_t kHistoryStep = 40;
// The notice that Save and Load leave, shown for kNoticeFrames frames at the top left of kNotice.
inline constexpr Rect kNotice{460, 320, 620, 350};
inline constexpr int32_t kNoticeFontHeight = 18, kNoticeFrames = 120;
inline constexpr uint32_t kNoticeColour = 0xFFE080;

// The sound: music that loops from the title on (a phrase of kMusicNotes notes of kNoteFrames
// frames each, 44100 Hz stereo, at the volume the slider sets), and a click at every button.
inline constexpr const char* kMusicName = "music.ogg";
inline constexpr const char* kClickName = "click.ogg";
inline constexpr double kMusicNotes[] = {261.63, 329.63, 392.00, 523.25, 392.00, 329.63, 293.66, 349.23};
inline constexpr int64_t kNoteFrames = 11025;  // a quarter of a second
inline constexpr int64_t kClickFrames = 2205;  // 50 ms
inline constexpr double kClickFrequency = 1200.0;

// The virtual-key codes of the keys the demo's handlers take.
inline constexpr int32_t kKeyEnter = 13, kKeyEscape = 27, kKeySpace = 32, kKeyUp = 38, kKeyDown = 40;
inline constexpr int32_t kKeyLeft = 37, kKeyRight = 39;

}  // namespace kova::test::demo
