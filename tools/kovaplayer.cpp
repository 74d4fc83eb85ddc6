// kovaplayer: plays a game in a window.
//
//   kovaplayer [GAME_FOLDER ...]
//   kovaplayer --config [GAME_FOLDER]      (or /config) the sound settings dialog
//   kovaplayer --help | -h                 this usage on standard output
//
// The player runs on the desktop: windows, pictures and input through SDL2 (a hardware renderer
// where there is one), message boxes drawn by the player in SDL windows with its own fonts (so that
// their Japanese text reads on any X server), fonts through fontconfig and FreeType, optical discs
// from the mount table, web addresses through the desktop's opener, sound through SDL's audio device.
//
// Exit status: 0 when the game ended (its Terminate command or the window closed), the settings
// dialog closed, or the game runs already; 1 when the game could not start or stopped on an error;
// 2 for a bad command line (an unknown option); 3 when there is no display (said in one line on
// standard error; kovarun plays a game without one).
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/messages.h"
#include "platform/clock.h"
#include "platform/fonts/fontconfig_source.h"
#include "platform/fonts/freetype_fonts.h"
#include "platform/files/optical_drives.h"
#include "platform/media/media_codecs.h"
#include "platform/sdl/sdl_audio.h"
#include "platform/sdl/sdl_dialogs.h"
#include "platform/sdl/sdl_text_fields.h"
#include "platform/sdl/sdl_video.h"
#include "platform/sdl/sdl_work_area.h"
#include "platform/files/shell_open.h"
#include "platform/text/text_codec.h"
#include "platform/window/wallpaper.h"
#include "player/desktop.h"
#include "player/program_entry.h"

namespace {

using namespace kova;

constexpr int kNoDisplay = 3;

class TSdlDesktop : public IDesktop {
 public:
  explicit TSdlDesktop(plat::TSdlVideo& video)
      : video_(video), glyphs_(font_source_), dialogs_(glyphs_, DialogStyle()) {
    services_.clock = &clock_;
    services_.dialogs = &dialogs_;
    services_.window = &no_window_;
    services_.fonts = &font_source_;
    services_.glyphs = &glyphs_;  // the scene's text and the settings dialog's
    services_.optical = &optical_;
    services_.work_area = &work_area_;
    services_.wallpaper = &wallpaper_;
    services_.urls = &urls_;
    services_.audio = &audio_;
  }

  const plat::TServices& Services() override { return services_; }
  plat::IDisplay& Display() override { return display_; }
  plat::IGlyphFonts& Glyphs() override { return glyphs_; }

  bool OpenWindow(std::string_view caption, plat::TSize client, plat::TSize game, bool resizable, TDesktopWindow& out,
                  std::string& error) override {
    plat::TSdlWindow::TOptions options;
    options.resizable = resizable;
    options.hidden = true;
    std::shared_ptr<plat::TSdlWindow> window = plat::TSdlWindow::Create(video_, caption, client, options, &error);
    if (!window) return false;
    window->SetDialogs(&dialogs_);
    std::shared_ptr<plat::TSdlPresenter> presenter;
    if (game.width > 0 && game.height > 0) {
      presenter = plat::TSdlPresenter::Create(*window, game, {}, &error);
      if (!presenter) return false;
    }
    out.events = std::make_shared<plat::TSdlEvents>(*window);
    // The edits' and memos' fields, drawn over the picture.
    if (presenter) out.text_fields = std::make_shared<plat::TSdlTextFields>(*window, *presenter, glyphs_);
    out.presenter = std::move(presenter);
    out.window = std::move(window);
    return true;
  }

 private:
  // The message boxes' looks: the settings dialog's font and captions.
  static plat::TMessageBoxStyle DialogStyle() {
    plat::TMessageBoxStyle style;
    style.face = MsgText(TMsg::DialogFontFace);
    style.ok = MsgText(TMsg::ConfigOk);
    style.cancel = MsgText(TMsg::ConfigCancel);
    return style;
  }

  plat::TSdlVideo& video_;
  plat::TServices services_;
  plat::TSystemClock clock_;
  plat::THeadlessMainWindow no_window_;  // the player puts its own window in its services
  plat::TFontconfigSource font_source_;
  plat::TFreeTypeFonts glyphs_;
  plat::TSdlDialogs dialogs_;  // drawn with glyphs_
  plat::TMountTableOpticalDrives optical_;
  plat::TSdlWorkArea work_area_;
  plat::TDesktopWallpaper wallpaper_;  // the running desktop's own service
  plat::TSpawnUrlOpener urls_;
  plat::TSdlAudioDevice audio_;  // opened by the sound subsystem, closed before SDL's video stops
  plat::TSdlDisplay display_;
};

void Usage(FILE* to) {
  std::fputs("usage: kovaplayer [GAME_FOLDER ...]\n"
             "       kovaplayer --config [GAME_FOLDER]\n"
             "  plays the game in GAME_FOLDER (no folder: the game beside the program)\n"
             "  --config, /config  the sound settings dialog of that game\n"
             "  -h, --help         show this and end\n"
             "  \"--\" ends the options (for a folder whose name starts with \"-\")\n",
             to);
}

// This program's own file.
std::string ProgramFile() {
  std::vector<char> buffer(4096);
  const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  return n > 0 ? std::string(buffer.data(), size_t(n)) : std::string();
}

}  // namespace

int main(int argc, char** argv) {
  // Damaged sound data is the player's to report, not the media library's.
  kova::plat::QuietMediaLibraryLog();
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  const TCommandLine command_line = ParseCommandLine(args);
  if (!command_line.unknown_option.empty()) {
    std::fprintf(stderr, "kovaplayer: unknown option %s\n", command_line.unknown_option.c_str());
    Usage(stderr);
    return 2;
  }
  if (command_line.help) {
    Usage(stdout);
    return 0;
  }
  // Only the drivers of a display that is there, unless the environment names one (the tests'
  // dummy driver): SDL would fall back to a window that nobody sees.
  const auto set = [](const char* name) { return std::getenv(name) && *std::getenv(name); };
  if (!set("SDL_VIDEODRIVER")) {
    std::string drivers;
    if (set("DISPLAY")) drivers += "x11,";
    if (set("WAYLAND_DISPLAY")) drivers += "wayland,";
    drivers += "kmsdrm";
    SDL_SetHint(SDL_HINT_VIDEODRIVER, drivers.c_str());
  }
  std::string error;
  std::unique_ptr<plat::TSdlVideo> video = plat::TSdlVideo::Open(&error);
  if (!video) {
    std::fprintf(stderr, "kovaplayer: no display to open a window on (%s); kovarun plays a game without one\n",
                 error.c_str());
    return kNoDisplay;
  }
  try {
    TSdlDesktop desktop(*video);
    return RunPlayer(command_line, desktop, ProgramFile());
  } catch (const EKovaError& e) {
    std::fprintf(stderr, "kovaplayer: %s\n", plat::Cp932ToUtf8(e.Message()).c_str());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "kovaplayer: %s\n", e.what());
  }
  return 1;
}
