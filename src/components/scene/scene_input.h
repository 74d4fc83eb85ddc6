// A scripted input source: pointer, button, wheel, key and typed-text events given per frame, fed
// the way the main window feeds its own: each goes first to the scene host's text fields, which
// take the keys and the typed text while an edit or a memo has the keyboard, a click into a
// field and what its scroll bar holds; the rest reaches the scene as the window records it (the
// layers' latches and held flags, the pointer position, the key tables). Used by the headless
// runner's input files and by tests.
//
// Text form, one event per line: FRAME EVENT [ARGS], frames counted from 1, "#" starting a
// comment, blank lines ignored. Events: move X Y, ldown X Y, lup X Y, rdown X Y, rup X Y,
// wheelup, wheeldown, keydown VK, keyup VK (game coordinates; VK a virtual-key number 0..255),
// and text STRING: the rest of the line after "text " (a "#" in it included), in UTF-8, typed as
// the window's input method commits text; it is taken into code page 932 as typed text is, a
// character the code page cannot hold left out.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kova {

class TKovaBaseList;

enum class TInputKind { Move, LDown, LUp, RDown, RUp, WheelUp, WheelDown, KeyDown, KeyUp, Text };

struct TInputEvent {
  int64_t Frame = 0;
  TInputKind Kind = TInputKind::Move;
  int32_t X = 0, Y = 0;  // the pointer events' position
  int32_t Key = 0;       // the key events' virtual-key code
  std::string Text;      // the text event's text (code page 932)
};

class TSceneInputScript {
 public:
  // Parses the text form; false with `error` ("line N: ...") on the first bad line, and then
  // nothing is kept.
  bool Parse(std::string_view text, std::string& error);
  void Add(const TInputEvent& event);
  const std::vector<TInputEvent>& Events() const { return events_; }

  // Feeds the events of `frame` in their order, each to the host's text fields first and, unless
  // a field took it, to the scene (call before the scene's Process).
  void Feed(int64_t frame, TKovaBaseList& root);

 private:
  std::vector<TInputEvent> events_;  // sorted by frame, stable
  size_t next_ = 0;
};

// Records one event into the scene as the main window does: the position on both layers (marking
// a move when it changed), presses on the active layer, held flags on both, keys in the tables
// (text is for the text fields only: the scene takes none).
void FeedInputEvent(const TInputEvent& event, TKovaBaseList& root);

}  // namespace kova
