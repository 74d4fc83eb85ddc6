// A scripted input source: pointer, button, wheel and key events given per frame, fed to the
// scene the way the main window records them (the layers' latches and held flags, the pointer
// position, the key tables). Used by the headless runner's input files and by tests.
//
// Text form, one event per line: FRAME EVENT [ARGS], frames counted from 1, "#" starting a
// comment, blank lines ignored. Events: move X Y, ldown X Y, lup X Y, rdown X Y, rup X Y,
// wheelup, wheeldown, keydown VK, keyup VK (game coordinates; VK a virtual-key number 0..255).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kova {

class TKovaBaseList;

enum class TInputKind { Move, LDown, LUp, RDown, RUp, WheelUp, WheelDown, KeyDown, KeyUp };

struct TInputEvent {
  int64_t Frame = 0;
  TInputKind Kind = TInputKind::Move;
  int32_t X = 0, Y = 0;  // the pointer events' position
  int32_t Key = 0;       // the key events' virtual-key code
};

class TSceneInputScript {
 public:
  // Parses the text form; false with `error` ("line N: ...") on the first bad line, and then
  // nothing is kept.
  bool Parse(std::string_view text, std::string& error);
  void Add(const TInputEvent& event);
  const std::vector<TInputEvent>& Events() const { return events_; }

  // Feeds the events of `frame` to the scene, in their order (call before the scene's Process).
  void Feed(int64_t frame, TKovaBaseList& root);

 private:
  std::vector<TInputEvent> events_;  // sorted by frame, stable
  size_t next_ = 0;
};

// Records one event into the scene as the main window does: the position on both layers (marking
// a move when it changed), presses on the active layer, held flags on both, keys in the tables.
void FeedInputEvent(const TInputEvent& event, TKovaBaseList& root);

}  // namespace kova
