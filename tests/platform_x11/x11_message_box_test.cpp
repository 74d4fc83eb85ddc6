// Message boxes and titles on a real X server (an Xvfb server of our own): the box is drawn by the
// player with its outline fonts, so its Japanese text is on the screen as our glyphs draw it; its
// buttons answer clicks and keys sent through the server; the owner's events wait for the box; and
// every window's legacy title (WM_NAME) reads back as the title. Skipped, with the reason, only
// where Xvfb cannot run.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/files/dirs.h"
#include "platform/fonts/fontconfig_source.h"
#include "platform/fonts/freetype_fonts.h"
#include "platform/sdl/sdl_dialogs.h"
#include "platform/sdl/sdl_video.h"
#include "platform/text/text_codec.h"
#include "support/x_desktop_test.h"
#include "x_window.h"

namespace kova::plat {
namespace {

using test::Grab;
using test::ReadWmName;
using test::SendCloseRequest;
using test::RunProgram;
using test::Screen;

TMessageBoxStyle Style() {
  TMessageBoxStyle style;
  style.face = Utf8ToCp932("ＭＳ Ｐゴシック");
  style.ok = "OK";
  style.cancel = Utf8ToCp932("キャンセル");
  return style;
}

// Runs with no window manager (a bare X server) and with one that follows the desktop conventions.
class X11MessageBoxTest : public test::XDesktopTest {
 protected:
  static void SetUpTestSuite() {
    XDesktopTest::SetUpTestSuite();
    ::setenv("SDL_VIDEODRIVER", "x11", 1);
  }
  void SetUp() override {
    XDesktopTest::SetUp();
    if (!Ready()) return;
    folder_ = *MakePrivateDirectory(SystemTempFolder(), "x11box");
    std::string error;
    video_ = TSdlVideo::Open(&error);
    ASSERT_TRUE(video_) << error;
    ASSERT_EQ(video_->DriverName(), "x11");
    owner_ = TSdlWindow::Create(*video_, Utf8ToCp932("デモゲーム"), {400, 300}, {}, &error);
    ASSERT_TRUE(owner_) << error;
    presenter_ = TSdlPresenter::Create(*owner_, {400, 300}, {}, &error);
    ASSERT_TRUE(presenter_) << error;
    events_ = std::make_unique<TSdlEvents>(*owner_);
    owner_->Show();
    // Should a box never be answered, a quit request closes it.
    watchdog_ = SDL_AddTimer(
        20000,
        [](Uint32, void*) -> Uint32 {
          SDL_Event quit{};
          quit.type = SDL_QUIT;
          SDL_PushEvent(&quit);
          return 0;
        },
        nullptr);
  }
  void TearDown() override {
    if (watchdog_) SDL_RemoveTimer(watchdog_);
    events_.reset();
    presenter_.reset();
    owner_.reset();
    video_.reset();
    XDesktopTest::TearDown();
    if (!folder_.empty()) std::system(("rm -rf '" + folder_ + "'").c_str());
  }

  // Looks at the box's window on each pass of the box's loop (the loop keeps handling the
  // server's events meanwhile) until the screen shows the box's picture there, then calls `then`
  // once; after 100 looks without it, calls `then` all the same (the box is to be answered).
  struct TBoxWatch {
    bool drawn = false;
    int looks = 0;
    bool done = false;
    Screen screen;
    TPoint origin;
  };
  void Watch(TBoxWatch& watch, SDL_Window* window, TDrawnMessageBox& box,
             const std::function<void(TDrawnMessageBox&)>& then) {
    if (watch.done) return;
    SDL_GetWindowPosition(window, &watch.origin.x, &watch.origin.y);
    watch.drawn = Grab(server_->Display(), folder_ + "/shot.xwd", watch.screen) &&
                  Matches(watch.screen, watch.origin, box.Paint());
    if (!watch.drawn && ++watch.looks < 100) return;
    watch.done = true;
    then(box);
  }
  static bool Matches(const Screen& screen, TPoint origin, const TImageArgb& image) {
    for (int32_t y = 0; y < image.height; ++y) {
      for (int32_t x = 0; x < image.width; ++x) {
        if (!screen.Has(origin.x + x, origin.y + y)) return false;
        if (screen.At(origin.x + x, origin.y + y) != (image.pixels[size_t(y) * image.width + x] & 0xFFFFFF)) {
          return false;
        }
      }
    }
    return true;
  }
  static void Click(TPoint at) {
    RunProgram({"xdotool", "mousemove", std::to_string(at.x), std::to_string(at.y), "click", "1"});
  }

  std::string folder_;
  SDL_TimerID watchdog_ = 0;
  std::unique_ptr<TSdlVideo> video_;
  std::unique_ptr<TSdlWindow> owner_;
  std::unique_ptr<TSdlPresenter> presenter_;
  std::unique_ptr<TSdlEvents> events_;
  TFontconfigSource font_source_;
  TFreeTypeFonts fonts_{font_source_};
};

// The box on the screen is the box our glyphs paint, every pixel; each of its Japanese
// characters has ink (the fonts have it); its title reads back from WM_NAME; a click on OK,
// sent through the server, answers it.
TEST_P(X11MessageBoxTest, ShowsJapaneseTextInOurGlyphsAndAnswersAClick) {
  const std::string title = Utf8ToCp932("情報");
  const std::string text = Utf8ToCp932("インストールし直してください");
  TSdlDialogs dialogs(fonts_, Style());
  bool shown = false;
  std::string wm_name;
  std::vector<std::string> rows;
  int32_t row_height = 0;
  TPoint text_origin;
  TBoxWatch watch;
  dialogs.SetShownHook([&](SDL_Window* window, TDrawnMessageBox& box) {
    shown = true;
    Watch(watch, window, box, [&](TDrawnMessageBox& b) {
      wm_name = ReadWmName(window);
      rows = b.Rows();
      row_height = b.RowHeight();
      text_origin = b.TextOrigin();
      const TScreenRect ok = b.ButtonRect(0);
      Click(TPoint{watch.origin.x + (ok.left + ok.right) / 2, watch.origin.y + (ok.top + ok.bottom) / 2});
    });
  });
  TMessageBox box;
  box.owner = owner_->Handle();
  box.title = title;
  box.text = text;
  EXPECT_EQ(dialogs.ShowMessage(box), TMessageAnswer::Ok);
  ASSERT_TRUE(shown) << "the box was not drawn by the player";
  EXPECT_TRUE(dialogs.Fallback().Log().empty());
  EXPECT_TRUE(watch.drawn) << "the screen never showed the box's picture";
  EXPECT_EQ(wm_name, "情報");
  ASSERT_EQ(rows, std::vector<std::string>{text});
  ASSERT_TRUE(watch.drawn);
  const Screen& screen = watch.screen;
  const TPoint origin = watch.origin;

  // Every character's cell in the row has dark pixels of its glyph.
  const std::shared_ptr<IGlyphFont> font = fonts_.OpenFont(TFontRequest{Style().face, 12, 0, true});
  int32_t pen = origin.x + text_origin.x;
  for (size_t i = 0; i + 1 < text.size(); i += 2) {
    const int32_t advance = font->Advance(uint16_t(uint8_t(text[i]) << 8 | uint8_t(text[i + 1])));
    int dark = 0;
    for (int32_t y = origin.y + text_origin.y; y < origin.y + text_origin.y + row_height; ++y) {
      for (int32_t x = pen; x < pen + advance; ++x) dark += (screen.At(x, y) & 0xFF) < 0x60;
    }
    EXPECT_GT(dark, 3) << "character " << i / 2 << " has no ink";
    pen += advance;
  }
}

// An OK/Cancel box answers Escape with Cancel; a click on the owner while the box is up reaches the
// owner once the box is gone.
TEST_P(X11MessageBoxTest, EscapeCancelsAndTheOwnersEventsWaitForTheBox) {
  TSdlDialogs dialogs(fonts_, Style());
  bool shown = false;
  TBoxWatch watch;
  Uint32 clicked_at = 0;
  dialogs.SetShownHook([&](SDL_Window* window, TDrawnMessageBox& box) {
    shown = true;
    Watch(watch, window, box, [&](TDrawnMessageBox&) {
      // Where the owner is now (a window manager places it while the box's loop runs).
      TPoint owner_origin;
      SDL_GetWindowPosition(owner_->Handle(), &owner_origin.x, &owner_origin.y);
      Click(TPoint{owner_origin.x + 5, owner_origin.y + 5});
      clicked_at = SDL_GetTicks();
    });
    // The key once the box has had time to take the focus back from the clicked owner.
    if (clicked_at && SDL_GetTicks() - clicked_at > 500) {
      RunProgram({"xdotool", "key", "Escape"});
      clicked_at = 0;
    }
  });
  const std::string title = Utf8ToCp932("確認"), text = Utf8ToCp932("終了しますか？");
  TMessageBox box;
  box.owner = owner_->Handle();
  box.title = title;
  box.text = text;
  box.buttons = TMessageButtons::OkCancel;
  EXPECT_EQ(dialogs.ShowMessage(box), TMessageAnswer::Cancel);
  ASSERT_TRUE(shown);
  EXPECT_TRUE(watch.drawn) << "the screen never showed the box's picture";
  bool clicked = false;
  TEvent e;
  while (!clicked && events_->Wait(e, 500)) clicked = e.kind == TEventKind::MouseDown;
  EXPECT_TRUE(clicked) << "the owner's click was lost";
}

// A box of its own (no other window is open) closed by its close box answers Cancel, and that
// close is no request to quit the program.
TEST_P(X11MessageBoxTest, ClosingTheOnlyWindowAnswersCancelAndQuitsNothing) {
  events_.reset();
  presenter_.reset();
  owner_.reset();
  TSdlDialogs dialogs(fonts_, Style());
  TBoxWatch watch;
  dialogs.SetShownHook([&](SDL_Window* window, TDrawnMessageBox& box) {
    Watch(watch, window, box, [&](TDrawnMessageBox&) { EXPECT_TRUE(SendCloseRequest(window)); });
  });
  const std::string title = Utf8ToCp932("確認"), text = Utf8ToCp932("ディスクを入れてください");
  TMessageBox box;
  box.title = title;
  box.text = text;
  box.buttons = TMessageButtons::OkCancel;
  EXPECT_EQ(dialogs.ShowMessage(box), TMessageAnswer::Cancel);
  EXPECT_TRUE(watch.drawn) << "the screen never showed the box's picture";
  SDL_RemoveTimer(watchdog_);
  watchdog_ = 0;
  SDL_Delay(200);
  SDL_PumpEvents();
  EXPECT_FALSE(SDL_HasEvent(SDL_QUIT));
}

// The main window's legacy title reads back as its caption, when made (and its renderer made) and
// after each change.
TEST_P(X11MessageBoxTest, TheWindowsLegacyTitleReadsBack) {
  EXPECT_EQ(ReadWmName(owner_->Handle()), "デモゲーム");
  for (const char* caption : {"設定 - 音量", "KovaPlayer", "ｶﾀｶﾅ と 漢字"}) {
    owner_->SetCaption(Utf8ToCp932(caption));
    EXPECT_EQ(ReadWmName(owner_->Handle()), caption);
  }
}

INSTANTIATE_TEST_SUITE_P(WindowManager, X11MessageBoxTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return std::string(info.param ? "WithOpenbox" : "Bare");
                         });

}  // namespace
}  // namespace kova::plat
