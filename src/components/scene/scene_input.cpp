#include "components/scene/scene_input.h"

#include <algorithm>
#include <charconv>

#include "components/scene/kova_base_list.h"
#include "platform/text/text_codec.h"
#include "platform/window/video.h"

namespace kova {
namespace {

struct TEventName {
  std::string_view name;
  TInputKind kind;
  int args;  // 0 none, 1 a key, 2 a position
};

constexpr TEventName kNames[] = {
    {"move", TInputKind::Move, 2},       {"ldown", TInputKind::LDown, 2},     {"lup", TInputKind::LUp, 2},
    {"rdown", TInputKind::RDown, 2},     {"rup", TInputKind::RUp, 2},         {"wheelup", TInputKind::WheelUp, 0},
    {"wheeldown", TInputKind::WheelDown, 0}, {"keydown", TInputKind::KeyDown, 1}, {"keyup", TInputKind::KeyUp, 1},
};

constexpr std::string_view kTextEvent = "text";

template <class T>
bool ParseNumber(std::string_view s, T& out) {
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
  return ec == std::errc() && end == s.data() + s.size();
}

std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
    size_t j = i;
    while (j < line.size() && line[j] != ' ' && line[j] != '\t' && line[j] != '\r') ++j;
    if (j > i) words.push_back(line.substr(i, j - i));
    i = j;
  }
  return words;
}

}  // namespace

bool TSceneInputScript::Parse(std::string_view text, std::string& error) {
  std::vector<TInputEvent> parsed;
  size_t line_no = 0;
  while (!text.empty()) {
    ++line_no;
    const size_t eol = text.find('\n');
    std::string_view line = text.substr(0, eol);
    text = eol == std::string_view::npos ? std::string_view() : text.substr(eol + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    auto fail = [&](const char* what) {
      error = "line " + std::to_string(line_no) + ": " + what;
      return false;
    };
    TInputEvent e;
    // A text event's string is the rest of its line, comment sign and all.
    if (const std::vector<std::string_view> raw = Words(line); raw.size() >= 2 && raw[1] == kTextEvent &&
                                                               raw[0].find('#') == std::string_view::npos) {
      if (!ParseNumber(raw[0], e.Frame) || e.Frame < 1) return fail("the frame must be a number from 1");
      const size_t end = size_t(raw[1].data() - line.data()) + kTextEvent.size();
      if (end + 1 >= line.size()) return fail("the text is missing");
      e.Kind = TInputKind::Text;
      e.Text = plat::Utf8ToCp932Held(line.substr(end + 1));
      parsed.push_back(std::move(e));
      continue;
    }
    if (const size_t hash = line.find('#'); hash != std::string_view::npos) line = line.substr(0, hash);
    const std::vector<std::string_view> w = Words(line);
    if (w.empty()) continue;
    if (!ParseNumber(w[0], e.Frame) || e.Frame < 1) return fail("the frame must be a number from 1");
    if (w.size() < 2) return fail("an event is missing");
    const auto* name = std::find_if(std::begin(kNames), std::end(kNames), [&](const TEventName& n) { return n.name == w[1]; });
    if (name == std::end(kNames)) return fail("unknown event");
    e.Kind = name->kind;
    if (w.size() != size_t(2 + name->args)) return fail("wrong number of arguments");
    if (name->args == 2 && !(ParseNumber(w[2], e.X) && ParseNumber(w[3], e.Y))) return fail("bad position");
    if (name->args == 1 && !(ParseNumber(w[2], e.Key) && e.Key >= 0 && e.Key <= 255)) {
      return fail("the key must be a number from 0 to 255");
    }
    parsed.push_back(e);
  }
  events_.clear();
  next_ = 0;
  for (const TInputEvent& e : parsed) Add(e);
  return true;
}

void TSceneInputScript::Add(const TInputEvent& event) {
  auto at = std::upper_bound(events_.begin() + ptrdiff_t(next_), events_.end(), event.Frame,
                             [](int64_t f, const TInputEvent& e) { return f < e.Frame; });
  events_.insert(at, event);
}

namespace {

// The window's event that a recorded one stands for.
plat::TEvent WindowEventOf(const TInputEvent& in) {
  plat::TEvent e;
  e.pos = plat::TPoint{in.X, in.Y};
  e.key = in.Key;
  switch (in.Kind) {
    case TInputKind::Move: e.kind = plat::TEventKind::MouseMove; break;
    case TInputKind::LDown:
    case TInputKind::RDown:
      e.kind = plat::TEventKind::MouseDown;
      e.button = in.Kind == TInputKind::LDown ? plat::TMouseButton::Left : plat::TMouseButton::Right;
      break;
    case TInputKind::LUp:
    case TInputKind::RUp:
      e.kind = plat::TEventKind::MouseUp;
      e.button = in.Kind == TInputKind::LUp ? plat::TMouseButton::Left : plat::TMouseButton::Right;
      break;
    case TInputKind::WheelUp:
    case TInputKind::WheelDown:
      e.kind = plat::TEventKind::Wheel;
      e.wheel = in.Kind == TInputKind::WheelUp ? 1 : -1;
      break;
    case TInputKind::KeyDown: e.kind = plat::TEventKind::KeyDown; break;
    case TInputKind::KeyUp: e.kind = plat::TEventKind::KeyUp; break;
    case TInputKind::Text:
      e.kind = plat::TEventKind::TextInput;
      e.text = in.Text;
      break;
  }
  return e;
}

}  // namespace

void TSceneInputScript::Feed(int64_t frame, TKovaBaseList& root) {
  while (next_ < events_.size() && events_[next_].Frame < frame) ++next_;
  while (next_ < events_.size() && events_[next_].Frame == frame) {
    const TInputEvent& e = events_[next_++];
    // Text all of whose characters were refused is no event, as in the window.
    if (e.Kind == TInputKind::Text && e.Text.empty()) continue;
    if (root.SceneHost().TextFields().HandleEvent(WindowEventOf(e))) continue;
    FeedInputEvent(e, root);
  }
}

void FeedInputEvent(const TInputEvent& e, TKovaBaseList& root) {
  TKovaBase* active = root.ActiveBase();
  auto move = [&] {
    const TPoint p{e.X, e.Y};
    for (int i = 0; i < 2; ++i) {
      if (root.Bases(i)->MousePos() != p) root.Bases(i)->SetMousePos(p);
    }
  };
  auto held = [&](bool TKovaBase::*flag, bool v) {
    for (int i = 0; i < 2; ++i) root.Bases(i)->*flag = v;
  };
  switch (e.Kind) {
    case TInputKind::Move: move(); break;
    case TInputKind::LDown:
      move();
      active->LeftPress = true;
      held(&TKovaBase::LeftHeld, true);
      break;
    case TInputKind::LUp:
      move();
      held(&TKovaBase::LeftHeld, false);
      break;
    case TInputKind::RDown:
      move();
      active->RightPress = true;
      held(&TKovaBase::RightHeld, true);
      break;
    case TInputKind::RUp:
      move();
      held(&TKovaBase::RightHeld, false);
      break;
    case TInputKind::WheelUp: active->WheelUpPress = true; break;
    case TInputKind::WheelDown: active->WheelDownPress = true; break;
    case TInputKind::KeyDown:
      root.SetKeyDown(e.Key, true);
      root.SetKeyPressed(e.Key, true);
      break;
    case TInputKind::KeyUp: root.SetKeyDown(e.Key, false); break;
    case TInputKind::Text: break;
  }
}

}  // namespace kova
