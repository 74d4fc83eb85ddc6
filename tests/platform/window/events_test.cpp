// The event sources: the mouse rules, the scripted twin, posted events from other threads, and the
// SDL source's translation of keys, mouse, focus and text (dummy driver, events pushed into SDL's
// queue as the system would deliver them).
#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

#include "platform/window/headless_video.h"
#include "platform/window/mouse_filter.h"
#include "platform/sdl/sdl_keys.h"
#include "platform/sdl/sdl_video.h"
#include "platform/text/text_codec.h"

namespace kova::plat {
namespace {

using K = TEventKind;
using B = TMouseButton;

TEvent Mouse(K kind, B button, int32_t x, int32_t y) {
  TEvent e;
  e.kind = kind;
  e.button = button;
  e.pos = {x, y};
  return e;
}

// A sequence of raw window events through the mouse rules, with the picture at 2x from (40, 0):
// what passes on, in game pixels.
TEST(MouseFilter, CapturesWhileAButtonIsHeld) {
  const TViewport view({208, 96}, 0, {64, 48});
  struct Step {
    K kind;
    B button;
    TPoint window;
    bool passes;
    TPoint game;
  };
  const Step steps[] = {
      {K::MouseMove, B::None, {10, 10}, false, {}},          // in the bar, nothing held
      {K::MouseDown, B::Left, {10, 10}, false, {}},          // a press in the bar is dropped
      {K::MouseUp, B::Left, {10, 10}, false, {}},            // and so is its release
      {K::MouseMove, B::None, {41, 3}, true, {0, 1}},
      {K::MouseDown, B::Right, {100, 50}, true, {30, 25}},
      {K::MouseMove, B::None, {300, -20}, true, {63, 0}},    // held: clamped to the edge
      {K::MouseDown, B::Left, {300, -20}, false, {}},        // outside: dropped even while held
      {K::MouseUp, B::Right, {300, 200}, true, {63, 47}},    // the release always arrives
      {K::MouseMove, B::None, {300, 200}, false, {}},        // nothing held any more
      {K::MouseUp, B::Left, {100, 50}, true, {30, 25}},      // a release over the picture passes
      {K::MouseDown, B::None, {100, 50}, false, {}},         // the middle button is ignored
  };
  TMouseFilter filter;
  for (const Step& s : steps) {
    SCOPED_TRACE(::testing::Message() << int(s.kind) << " at " << s.window.x << "," << s.window.y);
    TEvent out;
    const bool passed = s.kind == K::MouseMove ? filter.Move(view, s.window, out)
                        : s.kind == K::MouseDown ? filter.Down(view, s.button, s.window, out)
                                                 : filter.Up(view, s.button, s.window, out);
    ASSERT_EQ(passed, s.passes);
    if (passed) {
      EXPECT_EQ(out.kind, s.kind);
      EXPECT_EQ(out.button, s.button);
      EXPECT_EQ(out.pos, s.game);
    }
  }
  TEvent out;
  ASSERT_TRUE(filter.Down(view, B::Left, {42, 4}, out));
  ASSERT_TRUE(filter.Down(view, B::Right, {44, 6}, out));
  const std::vector<TEvent> ups = filter.ReleaseAll();
  ASSERT_EQ(ups.size(), 2u);
  EXPECT_EQ(ups[0].button, B::Left);
  EXPECT_EQ(ups[1].button, B::Right);
  EXPECT_EQ(ups[1].pos, (TPoint{2, 3}));
  EXPECT_FALSE(filter.AnyHeld());
}

std::vector<K> Drain(IEventSource& source) {
  std::vector<K> kinds;
  TEvent e;
  while (source.Poll(e)) kinds.push_back(e.kind);
  return kinds;
}

// Events come out by frame; waiting with nothing due jumps to the next scripted frame; a used-up
// script answers a wait without limit with Close.
TEST(ScriptedEvents, ReleasesByFrameAndNeverWaitsForever) {
  TScriptedEvents events;
  events.Add(3, Mouse(K::MouseDown, B::Left, 1, 2));
  events.Add(1, Mouse(K::MouseMove, B::None, 1, 2));
  events.Add(3, Mouse(K::MouseUp, B::Left, 1, 2));
  events.Add(9, Mouse(K::Activate, B::None, 0, 0));
  EXPECT_TRUE(Drain(events).empty());
  events.OnFrame(1);
  EXPECT_EQ(Drain(events), (std::vector<K>{K::MouseMove}));
  events.OnFrame(2);
  EXPECT_TRUE(Drain(events).empty());
  events.OnFrame(4);
  EXPECT_EQ(Drain(events), (std::vector<K>{K::MouseDown, K::MouseUp}));
  TEvent e;
  ASSERT_TRUE(events.Wait(e));
  EXPECT_EQ(e.kind, K::Activate);
  EXPECT_EQ(events.Frame(), 9u);
  EXPECT_FALSE(events.Wait(e, 0));
  ASSERT_TRUE(events.Wait(e));
  EXPECT_EQ(e.kind, K::Close);
}

// Posts from several threads arrive, each thread's in its own order; a burst of wakes is one Wake;
// a waiting main thread is woken by a post.
void PostsFromThreads(IEventSource& source) {
  constexpr int kThreads = 4, kEach = 200;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&source, t] {
      for (int i = 0; i < kEach; ++i) source.PostUser(0x680 + uint32_t(t), i, -i);
    });
  }
  for (auto& th : threads) th.join();
  int next[kThreads] = {};
  TEvent e;
  int taken = 0;
  while (source.Poll(e)) {
    if (e.kind != K::User) continue;
    const int t = int(e.code) - 0x680;
    ASSERT_TRUE(t >= 0 && t < kThreads);
    ASSERT_EQ(e.param1, next[t]);
    ASSERT_EQ(e.param2, -next[t]);
    ++next[t];
    ++taken;
  }
  EXPECT_EQ(taken, kThreads * kEach);

  for (int i = 0; i < 5; ++i) source.Wake();
  int wakes = 0;
  while (source.Poll(e)) wakes += e.kind == K::Wake;
  EXPECT_EQ(wakes, 1);
  source.Wake();  // a wake after the last one was taken counts again
  ASSERT_TRUE(source.Poll(e));
  EXPECT_EQ(e.kind, K::Wake);

  std::thread late([&source] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    source.PostUser(0x6B0, 7, 0);
  });
  ASSERT_TRUE(source.Wait(e, 5000));
  late.join();
  EXPECT_EQ(e.kind, K::User);
  EXPECT_EQ(e.code, 0x6B0u);
  EXPECT_FALSE(source.Wait(e, 10));
}

TEST(ScriptedEvents, PostsFromOtherThreads) {
  TScriptedEvents events;
  PostsFromThreads(events);
}

// The SDL source over a hidden window on the dummy driver.
class SdlEventsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    video_ = TSdlVideo::Open(&error);
    ASSERT_TRUE(video_) << error;
    window_ = TSdlWindow::Create(*video_, "events", {208, 105}, TSdlWindow::TOptions{true, true}, &error);
    ASSERT_TRUE(window_) << error;
    window_->SetTopStrip(9);
    window_->SetGameSize({64, 48});
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    events_ = std::make_unique<TSdlEvents>(*window_);
  }
  uint32_t Id() const { return SDL_GetWindowID(window_->Handle()); }
  void PushKey(bool down, SDL_Keycode key, uint16_t mod = 0, bool repeat = false) {
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.windowID = Id();
    e.key.keysym.sym = key;
    e.key.keysym.mod = mod;
    e.key.repeat = repeat;
    SDL_PushEvent(&e);
  }
  void PushButton(bool down, uint8_t button, int x, int y) {
    SDL_Event e{};
    e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    e.button.windowID = Id();
    e.button.button = button;
    e.button.x = x;
    e.button.y = y;
    SDL_PushEvent(&e);
  }
  void PushWindow(SDL_WindowEventID id) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = Id();
    e.window.event = id;
    SDL_PushEvent(&e);
  }
  std::vector<TEvent> All() {
    std::vector<TEvent> out;
    TEvent e;
    while (events_->Poll(e)) out.push_back(e);
    return out;
  }

  std::unique_ptr<TSdlVideo> video_;
  std::unique_ptr<TSdlWindow> window_;
  std::unique_ptr<TSdlEvents> events_;
};

TEST(KeyTable, GivesWindowsVirtualKeys) {
  struct Case {
    SDL_Keycode key;
    uint16_t mod;
    int32_t vk;
  };
  const Case cases[] = {
      {SDLK_RETURN, 0, 0x0D}, {SDLK_KP_ENTER, 0, 0x0D}, {SDLK_SPACE, 0, 0x20}, {SDLK_a, 0, 0x41},
      {SDLK_z, KMOD_SHIFT, 0x5A}, {SDLK_0, 0, 0x30}, {SDLK_9, 0, 0x39}, {SDLK_F1, 0, 0x70},
      {SDLK_F10, 0, 0x79}, {SDLK_F12, 0, 0x7B}, {SDLK_LEFT, 0, 0x25}, {SDLK_DOWN, 0, 0x28},
      {SDLK_PAGEUP, 0, 0x21}, {SDLK_HOME, 0, 0x24}, {SDLK_ESCAPE, 0, 0x1B}, {SDLK_BACKSPACE, 0, 0x08},
      {SDLK_TAB, 0, 0x09}, {SDLK_LSHIFT, 0, 0x10}, {SDLK_RSHIFT, 0, 0x10}, {SDLK_RCTRL, 0, 0x11},
      {SDLK_LALT, 0, 0x12}, {SDLK_RALT, 0, 0x12}, {SDLK_PAUSE, 0, 0x13}, {SDLK_CAPSLOCK, 0, 0x14},
      {SDLK_INSERT, 0, 0x2D}, {SDLK_DELETE, 0, 0x2E},
      {SDLK_KP_0, KMOD_NUM, 0x60}, {SDLK_KP_7, KMOD_NUM, 0x67}, {SDLK_KP_PERIOD, KMOD_NUM, 0x6E},
      {SDLK_KP_8, 0, 0x26}, {SDLK_KP_3, 0, 0x22}, {SDLK_KP_PERIOD, 0, 0x2E},  // Num Lock off: moves
      {SDLK_KP_PLUS, 0, 0x6B}, {SDLK_COMMA, 0, 0xBC},
      {SDLK_VOLUMEUP, 0, 0}, {SDLK_MODE, 0, 0}, {SDLK_UNKNOWN, 0, 0},  // never reach the game
  };
  for (const Case& c : cases) EXPECT_EQ(VirtualKeyOf(c.key, c.mod), c.vk) << SDL_GetKeyName(c.key);
}

TEST_F(SdlEventsTest, KeysCarryTheirCodeAndRepeat) {
  PushKey(true, SDLK_LALT);
  PushKey(true, SDLK_F10);
  PushKey(true, SDLK_F10, 0, true);
  PushKey(true, SDLK_VOLUMEUP);
  PushKey(false, SDLK_F10);
  const std::vector<TEvent> got = All();
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(got[0].kind, K::KeyDown);
  EXPECT_EQ(got[0].key, 0x12);
  EXPECT_FALSE(got[1].repeat);
  EXPECT_EQ(got[1].key, 0x79);
  EXPECT_TRUE(got[2].repeat);
  EXPECT_EQ(got[3].kind, K::KeyUp);
  EXPECT_EQ(got[3].key, 0x79);
}

// The window is 208 x 105 with a 9-row strip: the 64 x 48 game shows at 2x from (40, 9).
TEST_F(SdlEventsTest, MouseMapsIntoTheScaledPicture) {
  PushButton(true, SDL_BUTTON_LEFT, 10, 50);      // in the bar: dropped
  PushButton(true, SDL_BUTTON_MIDDLE, 100, 50);   // ignored
  PushButton(true, SDL_BUTTON_LEFT, 101, 50);
  PushButton(true, SDL_BUTTON_RIGHT, 167, 104);
  SDL_Event wheel{};
  wheel.type = SDL_MOUSEWHEEL;
  wheel.wheel.windowID = Id();
  wheel.wheel.y = -2;
  SDL_PushEvent(&wheel);
  wheel.wheel.direction = SDL_MOUSEWHEEL_FLIPPED;
  SDL_PushEvent(&wheel);
  PushWindow(SDL_WINDOWEVENT_FOCUS_LOST);  // both buttons still held: released first
  const std::vector<TEvent> got = All();
  ASSERT_EQ(got.size(), 7u);
  EXPECT_EQ(got[0].kind, K::MouseDown);
  EXPECT_EQ(got[0].button, B::Left);
  EXPECT_EQ(got[0].pos, (TPoint{30, 20}));
  EXPECT_EQ(got[1].button, B::Right);
  EXPECT_EQ(got[1].pos, (TPoint{63, 47}));
  EXPECT_EQ(got[2].kind, K::Wheel);
  EXPECT_EQ(got[2].wheel, -2);
  EXPECT_EQ(got[3].wheel, 2);
  EXPECT_EQ(got[4].kind, K::MouseUp);
  EXPECT_EQ(got[4].button, B::Left);
  EXPECT_EQ(got[5].kind, K::MouseUp);
  EXPECT_EQ(got[5].button, B::Right);
  EXPECT_EQ(got[6].kind, K::Deactivate);
}

TEST_F(SdlEventsTest, WindowEventsAndText) {
  PushWindow(SDL_WINDOWEVENT_FOCUS_GAINED);
  PushWindow(SDL_WINDOWEVENT_EXPOSED);
  PushWindow(SDL_WINDOWEVENT_SIZE_CHANGED);
  PushWindow(SDL_WINDOWEVENT_MOVED);  // nothing for the game
  PushWindow(SDL_WINDOWEVENT_CLOSE);
  SDL_Event text{};
  text.type = SDL_TEXTINPUT;
  text.text.windowID = Id();
  std::strcpy(text.text.text, "\xE3\x81\x82" "A");  // "あA"
  SDL_PushEvent(&text);
  SDL_Event edit{};
  edit.type = SDL_TEXTEDITING;
  edit.edit.windowID = Id();
  std::strcpy(edit.edit.text, "\xE6\xBC\xA2\xE5\xAD\x97");  // "漢字"
  edit.edit.start = 1;
  edit.edit.length = 1;
  SDL_PushEvent(&edit);
  SDL_Event quit{};
  quit.type = SDL_QUIT;
  SDL_PushEvent(&quit);
  const std::vector<TEvent> got = All();
  ASSERT_EQ(got.size(), 7u);
  EXPECT_EQ(got[0].kind, K::Activate);
  EXPECT_EQ(got[1].kind, K::Expose);
  EXPECT_EQ(got[2].kind, K::Expose);
  EXPECT_EQ(got[3].kind, K::Close);
  EXPECT_EQ(got[4].kind, K::TextInput);
  EXPECT_EQ(got[4].text, "\x82\xA0" "A");
  EXPECT_EQ(got[5].kind, K::TextEditing);
  EXPECT_EQ(got[5].text, "\x8A\xBF\x8E\x9A");
  EXPECT_EQ(got[5].edit_start, 1);
  EXPECT_EQ(got[6].kind, K::Close);
}

TEST_F(SdlEventsTest, PostsFromOtherThreads) { PostsFromThreads(*events_); }

}  // namespace
}  // namespace kova::plat
