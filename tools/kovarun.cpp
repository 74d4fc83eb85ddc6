// kovarun: runs a game folder without a display, for tests and for checking a game.
//
//   kovarun GAME_FOLDER [--frames N] [--log FILE] [--input FILE] [--shot FILE.png] [--audio FILE.wav]
//           [--no-logo]
//   kovarun --help | -h                 this usage on standard output
//
// Opens the game the way the player does (GAME_FOLDER is the game's base folder: its loose files
// and its "game.dat"; its sound settings from "game.ini" as the player reads them), then runs frame steps on a virtual clock of 16 ms a frame until the script
// terminates or N frames (default 3600) have passed. With --log, the script's trace lines go to
// FILE (UTF-8, one per line; "-" for the standard output). Message boxes are answered as a headless player answers them and
// written to standard error.
//
// With --input, FILE holds recorded input, one event per line: FRAME EVENT [ARGS], frames counted
// from 1, "#" starting a comment; events move X Y, ldown X Y, lup X Y, rdown X Y, rup X Y,
// wheelup, wheeldown, keydown VK, keyup VK (game coordinates; VK a virtual-key number), and
// text STRING (the rest of the line after "text ", in UTF-8: typed as the window's input method
// commits it; a character code page 932 cannot hold is left out). Each is fed to the input step
// of its frame the way the player window feeds its events: the edit or memo with the keyboard
// takes the keys and the text, a click into a field gives it the keyboard, and the rest reaches
// the scene. With --shot, the screen's picture after the last frame (with the overlay videos over
// it, as the player shows them) is written to FILE.png as an 8-bit RGB PNG. With --audio, everything the game played is written to FILE.wav (RIFF WAVE,
// 44100 Hz, 16-bit, stereo): each frame's samples of 16 ms (705 or 706 frames in turn), decoded
// and mixed on the virtual clock, so that the same game and input give the same bytes every run.
// Like the player, the program first plays its opening logo (a film of about
// 1.5 s that a click or Space or Enter skips) and starts the game's script after it; --no-logo
// starts the script in the first frame.
//
// Exit status: 0 when the game ended by its Terminate command, was closed, or ran its N frames;
// 1 when start-up failed (in any form: no game data, no project, a start page too old for this
// player, ...) or the script stopped on an error; 2 for a bad command line; 4 when the run
// otherwise ended well but a save of the game (its GameSave command) could not be written (each
// failure's message is on standard error, and a last line counts them). Errors are written to
// standard error in UTF-8. The log file is replaced when the run ends, never written through a
// link that stands at its name.
//
// The program is a thin driver of the session (player/session.h): it gives it headless services,
// opens the game and steps frames until the session stops.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fstream>
#include <span>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "components/scene/scene_input.h"
#include "core/errors.h"
#include "core/messages.h"
#include "graphics/pictures/png_saver.h"
#include "platform/window/dialogs.h"
#include "platform/files/replacing_file.h"
#include "platform/services.h"
#include "platform/text/text_codec.h"
#include "platform/files/instance.h"
#include "player/session.h"
#include "platform/media/media_codecs.h"
#include "player/sound_settings.h"
#if KOVA_HAVE_FONTS
#include "platform/fonts/fontconfig_source.h"
#include "platform/fonts/freetype_fonts.h"
#endif

namespace {

using namespace kova;

constexpr int32_t kFrameMs = 16;
constexpr long kDefaultFrames = 3600;

struct TOptions {
  std::string game_folder;
  long frames = kDefaultFrames;
  std::string log_file;
  std::string input_file;
  std::string shot_file;
  std::string audio_file;
  bool no_logo = false;
  bool help = false;  // --help or -h: the usage, nothing run
};

void Usage(FILE* to) {
  std::fputs("usage: kovarun GAME_FOLDER [--frames N] [--log FILE|-] [--input FILE] [--shot FILE.png]\n"
             "               [--audio FILE.wav] [--no-logo]\n"
             "  --frames N      run at most N frames of 16 ms (default 3600)\n"
             "  --log FILE      write the script's trace lines to FILE (\"-\": standard output)\n"
             "  --input FILE    feed recorded input: one event a line, FRAME EVENT [ARGS], frames from 1,\n"
             "                  \"#\" starts a comment; events: move X Y, ldown X Y, lup X Y, rdown X Y,\n"
             "                  rup X Y, wheelup, wheeldown, keydown VK, keyup VK, text STRING (the\n"
             "                  rest of the line, UTF-8, typed into the edit or memo with the keyboard)\n"
             "  --shot FILE.png write the screen's picture after the last frame as an RGB PNG\n"
             "  --audio FILE.wav write what the game plays as a WAVE file (44100 Hz, 16-bit, stereo;\n"
             "                  each 16 ms frame's samples on the virtual clock)\n"
             "  --no-logo       start the game at once, without the opening logo\n"
             "  -h, --help      show this and end\n"
             "  \"--\" ends the options (for a folder whose name starts with \"-\")\n",
             to);
}

// False for a bad command line: an unknown option (anything else starting with "-" before "--"),
// an option without its value, no folder or two.
bool ParseArgs(int argc, char** argv, TOptions& options) {
  // The help wins wherever it stands before "--", even where an option's value is expected.
  for (int i = 1; i < argc && std::string_view(argv[i]) != "--"; ++i) {
    if (std::string_view(argv[i]) == "--help" || std::string_view(argv[i]) == "-h") {
      options.help = true;
      return true;
    }
  }
  bool have_folder = false;
  bool options_end = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (options_end || !arg.starts_with("-")) {
      if (have_folder) return false;
      options.game_folder = std::string(arg);
      have_folder = true;
    } else if (arg == "--") {
      options_end = true;
    } else if (arg == "--frames" && i + 1 < argc) {
      const std::string_view n = argv[++i];
      auto [end, ec] = std::from_chars(n.data(), n.data() + n.size(), options.frames);
      if (ec != std::errc() || end != n.data() + n.size() || options.frames < 0) return false;
    } else if (arg == "--log" && i + 1 < argc) {
      options.log_file = argv[++i];
    } else if (arg == "--input" && i + 1 < argc) {
      options.input_file = argv[++i];
    } else if (arg == "--shot" && i + 1 < argc) {
      options.shot_file = argv[++i];
    } else if (arg == "--audio" && i + 1 < argc) {
      options.audio_file = argv[++i];
    } else if (arg == "--no-logo") {
      options.no_logo = true;
    } else {
      return false;
    }
  }
  return have_folder;
}

// The folder of this program (for the install set and "game.dat" beside the program).
std::string ProgramFolder() {
  std::vector<char> buffer(4096);
  const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (n <= 0) return {};
  std::string path(buffer.data(), static_cast<size_t>(n));
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

void PrintError(std::string_view cp932_text) {
  std::fprintf(stderr, "kovarun: %s\n", plat::Cp932ToUtf8(cp932_text).c_str());
}

// Headless answers, with every box written to standard error.
class TReportingDialogs : public plat::IDialogs {
 public:
  plat::TMessageAnswer ShowMessage(const plat::TMessageBox& box) override {
    const plat::TMessageAnswer answer = answers_.ShowMessage(box);
    std::fprintf(stderr, "kovarun: [%s] %s\n", plat::Cp932ToUtf8(box.title).c_str(),
                 plat::Cp932ToUtf8(box.text).c_str());
    shown_.emplace_back(box.text);
    return answer;
  }
  bool Shown(std::string_view text) const {
    for (const std::string& s : shown_) {
      if (s == text) return true;
    }
    return false;
  }

 private:
  plat::THeadlessDialogs answers_;
  std::vector<std::string> shown_;
};

// The trace lines in UTF-8, one per line. "-" (or "/dev/stdout") is the standard output itself,
// so that the trace and the program's other output share one file position; a file is written
// beside its name and replaces it when the log closes.
class TLogFile {
 public:
  bool Open(const std::string& path) {
    if (path == "-" || path == "/dev/stdout") {
      stdout_ = true;
      return true;
    }
    return file_.Open(path);
  }
  ~TLogFile() { Close(); }
  // Replaces the named file with the lines written; false when that failed.
  bool Close() {
    if (stdout_ || !file_.IsOpen()) return true;
    return file_.Commit();
  }
  void Write(std::string_view line) {
    std::string text = plat::Cp932ToUtf8(line);
    text += '\n';
    if (stdout_) {
      std::fwrite(text.data(), 1, text.size(), stdout);
      std::fflush(stdout);
    } else {
      file_.Write(text.data(), static_cast<int64_t>(text.size()));
    }
  }

 private:
  bool stdout_ = false;
  plat::TReplacingFile file_;
};

// The sound of the run as a RIFF WAVE file (44100 Hz, 16-bit, stereo), written beside its name as
// it comes and put in its place at the end, with the header's sizes filled in then. The sizes of
// a run longer than the header can count (about 6.7 hours) stop at the largest it holds.
class TWaveFile {
 public:
  bool Open(const std::string& path) {
    if (!file_.Open(path)) return false;
    const uint8_t header[44] = {};
    return file_.Write(header, sizeof header);
  }
  bool IsOpen() const { return file_.IsOpen(); }
  void Write(std::span<const int16_t> samples) {
    bytes_.clear();
    for (int16_t v : samples) {
      bytes_.push_back(uint8_t(uint16_t(v) & 0xFF));
      bytes_.push_back(uint8_t(uint16_t(v) >> 8));
    }
    file_.Write(bytes_.data(), int64_t(bytes_.size()));
    data_size_ += int64_t(bytes_.size());
  }
  bool Close() {
    if (!file_.IsOpen()) return true;
    const uint32_t data = uint32_t(std::min<int64_t>(data_size_, 0xFFFFFFFFLL - 36));
    std::vector<uint8_t> h;
    const auto text = [&](const char* s) { h.insert(h.end(), s, s + 4); };
    const auto u32 = [&](uint32_t v) {
      for (int i = 0; i < 4; ++i) h.push_back(uint8_t(v >> (8 * i)));
    };
    const auto u16 = [&](uint16_t v) {
      h.push_back(uint8_t(v));
      h.push_back(uint8_t(v >> 8));
    };
    text("RIFF");
    u32(36 + data);
    text("WAVE");
    text("fmt ");
    u32(16);
    u16(1);                 // PCM
    u16(2);                 // channels
    u32(44100);             // frames a second
    u32(44100 * 4);         // bytes a second
    u16(4);                 // bytes a frame
    u16(16);                // bits a sample
    text("data");
    u32(data);
    return file_.WriteAt(0, h.data(), int64_t(h.size())) && file_.Commit();
  }

 private:
  plat::TReplacingFile file_;
  std::vector<uint8_t> bytes_;
  int64_t data_size_ = 0;
};

int Run(const TOptions& options) {
  TLogFile log;
  if (!options.log_file.empty() && !log.Open(options.log_file)) {
    std::fprintf(stderr, "kovarun: %s: %s\n", options.log_file.c_str(), std::strerror(errno));
    return 1;
  }
  TSceneInputScript input;
  if (!options.input_file.empty()) {
    std::ifstream in(options.input_file, std::ios::binary);
    if (!in) {
      std::fprintf(stderr, "kovarun: %s: %s\n", options.input_file.c_str(), std::strerror(errno));
      return 1;
    }
    std::stringstream text;
    text << in.rdbuf();
    std::string error;
    if (!input.Parse(text.str(), error)) {
      std::fprintf(stderr, "kovarun: %s: %s\n", options.input_file.c_str(), error.c_str());
      return 2;
    }
  }
  TWaveFile audio;
  if (!options.audio_file.empty() && !audio.Open(options.audio_file)) {
    std::fprintf(stderr, "kovarun: %s: %s\n", options.audio_file.c_str(), std::strerror(errno));
    return 1;
  }
  TReportingDialogs dialogs;
  plat::THeadlessServices services;
  services.dialogs = &dialogs;
#if KOVA_HAVE_FONTS
  // Text is drawn from the installed outline fonts (opened on first use).
  plat::TFontconfigSource font_source;
  plat::TFreeTypeFonts outline_fonts(font_source);
  services.glyphs = &outline_fonts;
#endif

  int status = 1;
  {
    TSession session(services);
    if (!options.log_file.empty()) session.Log().SetWriter([&log](std::string_view line) { log.Write(line); });
    session.SetErrorSink([](std::string_view text) { PrintError(text); });
    session.SetFrameInput([&](int64_t frame) { input.Feed(frame, session.SceneRoot()); });
    if (options.no_logo) session.SkipLogo();
    if (audio.IsOpen()) {
      session.Media().SetCapture([&audio](std::span<const int16_t> samples) { audio.Write(samples); });
    }

    // The game's sound settings ("game.ini"), read as the player reads them.
    const TSettingsFile settings_file(
        plat::TGameUserFolder(options.game_folder, plat::MakeInstanceName(options.game_folder)));
    const TSoundSettings sound = settings_file.Read();
    session.SetSoundSettings(TMediaSettings{.use_direct_sound = sound.UseDirectSound, .delay_time = sound.DelayTime});
    session.SetSettingsIni(&settings_file.Ini());  // its "CDDrive"

    TLaunchInfo launch;
    launch.ProgramFolder = ProgramFolder();
    launch.Params = {options.game_folder};
    if (!session.Open(launch)) {
      if (!dialogs.Shown(session.StopMessage())) PrintError(session.StopMessage());
    } else {
      const long frame = session.Run(options.frames, kFrameMs);
      switch (session.StopReason()) {
        case TStopReason::Terminated:
          std::fprintf(stderr, "kovarun: the game terminated at frame %ld\n", frame);
          status = 0;
          break;
        case TStopReason::Closed:
          std::fprintf(stderr, "kovarun: the game was closed at frame %ld\n", frame);
          status = 0;
          break;
        case TStopReason::FramesRunOut:
          std::fprintf(stderr, "kovarun: %ld frames run\n", frame);
          status = 0;
          break;
        default:
          std::fprintf(stderr, "kovarun: the script stopped at frame %ld\n", frame);
          status = 1;
          break;
      }
      if (const int32_t failed = session.Project()->FailedSaves(); failed > 0) {
        std::fprintf(stderr, "kovarun: %d save%s could not be written\n", int(failed), failed == 1 ? "" : "s");
        if (status == 0) status = 4;
      }
      // The shot is what the player shows: the scene's picture with the overlay videos over it.
      TDIBX shown;
      if (!options.shot_file.empty()) ComposeOverlay(session.SceneHost().Screen(), session.VideoOverlay(), shown);
      if (!options.shot_file.empty() && !SaveSurfacePng(shown, options.shot_file)) {
        std::fprintf(stderr, "kovarun: %s: the picture could not be written\n", options.shot_file.c_str());
        status = 1;
      }
    }
  }
  if (!audio.Close()) {
    std::fprintf(stderr, "kovarun: %s: %s\n", options.audio_file.c_str(), std::strerror(errno));
    return 1;
  }
  if (!log.Close()) {
    std::fprintf(stderr, "kovarun: %s: %s\n", options.log_file.c_str(), std::strerror(errno));
    return 1;
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  // Damaged sound data is the player's to report, not the media library's.
  kova::plat::QuietMediaLibraryLog();
  TOptions options;
  if (!ParseArgs(argc, argv, options)) {
    Usage(stderr);
    return 2;
  }
  if (options.help) {
    Usage(stdout);
    return 0;
  }
  try {
    return Run(options);
  } catch (const EKovaError& e) {
    PrintError(e.Message());
  } catch (const std::exception& e) {
    std::fprintf(stderr, "kovarun: %s\n", e.what());
  }
  return 1;
}
