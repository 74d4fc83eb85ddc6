// kovarun: runs a game folder without a display, for tests and for checking a game.
//
//   kovarun GAME_FOLDER [--frames N] [--log FILE]
//
// Opens the game the way the player does (GAME_FOLDER is the game's base folder: its loose files
// and its "game.dat"), then runs frame steps on a virtual clock of 16 ms a frame until the script
// terminates or N frames (default 3600) have passed. With --log, the script's trace lines go to
// FILE (UTF-8, one per line; "-" for the standard output). Message boxes are answered as a headless player answers them and
// written to standard error.
//
// Exit status: 0 when the game ended by its Terminate command, was closed, or ran its N frames;
// 1 when start-up failed or the script stopped on an error; 2 for a bad command line. Errors are
// written to standard error in UTF-8.
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/debug_log.h"
#include "core/errors.h"
#include "core/file_manager.h"
#include "core/frame_globals.h"
#include "core/main_window.h"
#include "platform/dialogs.h"
#include "platform/service.h"
#include "platform/text_codec.h"
#include "script/call_man.h"
#include "script/param_collection.h"
#include "script/project.h"

namespace {

using namespace kova;

constexpr int32_t kFrameMs = 16;
constexpr long kDefaultFrames = 3600;

struct TOptions {
  std::string game_folder;
  long frames = kDefaultFrames;
  std::string log_file;
};

void Usage() {
  std::fputs("usage: kovarun GAME_FOLDER [--frames N] [--log FILE|-]\n", stderr);
}

bool ParseArgs(int argc, char** argv, TOptions& options) {
  bool have_folder = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--frames" && i + 1 < argc) {
      const std::string_view n = argv[++i];
      auto [end, ec] = std::from_chars(n.data(), n.data() + n.size(), options.frames);
      if (ec != std::errc() || end != n.data() + n.size() || options.frames < 0) return false;
    } else if (arg == "--log" && i + 1 < argc) {
      options.log_file = argv[++i];
    } else if (!arg.starts_with("--") && !have_folder) {
      options.game_folder = std::string(arg);
      have_folder = true;
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
  size_t Count() const { return shown_.size(); }
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
// so that the trace and the program's other output share one file position.
class TLogFile {
 public:
  bool Open(const std::string& path) {
    if (path == "-" || path == "/dev/stdout") {
      file_ = stdout;
      return true;
    }
    file_ = std::fopen(path.c_str(), "w");
    owned_ = file_ != nullptr;
    return file_ != nullptr;
  }
  ~TLogFile() {
    if (owned_) std::fclose(file_);
  }
  void Write(std::string_view line) {
    const std::string text = plat::Cp932ToUtf8(line);
    std::fwrite(text.data(), 1, text.size(), file_);
    std::fputc('\n', file_);
    std::fflush(file_);
  }

 private:
  std::FILE* file_ = nullptr;
  bool owned_ = false;
};

enum class TRunEnd { Terminated, Closed, FramesDone, Stopped };

int Run(const TOptions& options) {
  TReportingDialogs dialogs;
  plat::TScopedService<plat::IDialogs> dialogs_in(dialogs, plat::InstallDialogs);
  THeadlessMainWindow window;
  plat::TScopedService<IMainWindow> window_in(window, InstallMainWindow);
  ResetFrameGlobals();
  ScriptStopped = false;

  TLogFile log;
  if (!options.log_file.empty()) {
    if (!log.Open(options.log_file)) {
      std::fprintf(stderr, "kovarun: %s: %s\n", options.log_file.c_str(), std::strerror(errno));
      return 1;
    }
    SetLogWriter([&log](std::string_view line) { log.Write(line); });
  }
  TProjectScriptHost host;
  TParamCollection store(&host);
  CreateFileManager();
  // The project goes before the store it works on, and the file manager last.
  struct TUnbind {
    ~TUnbind() {
      SetLogWriter({});
      FreeProject();
      FreeFileManager();
    }
  } unbind;

  TLaunchInfo launch;
  launch.ProgramFolder = ProgramFolder();
  launch.Params = {options.game_folder};
  AddLaunchSources(*FileManager(), launch);
  TProject& project = OpenProject(launch, store, *FileManager());
  if (!project.Started()) {
    std::string text = project.OpenError();
    if (text.empty()) text = MsgText(TMsg::ProjectMissing);
    if (!dialogs.Shown(text)) PrintError(text);
    return 1;
  }
  // The project's own failure path sets QuitRequested; a started game begins with it clear.
  QuitRequested = false;

  const size_t boxes_at_start = dialogs.Count();
  TRunEnd end = TRunEnd::FramesDone;
  long frame = 0;
  for (; frame < options.frames; ++frame) {
    GameClock += kFrameMs;
    FrameDelta = kFrameMs;
    FileManager()->Locks().Tick();
    DeleteTempFiles();
    try {
      project.Step();
    } catch (const EKovaError& e) {
      // The player reports a failing command and goes on with the next frame.
      PrintError(e.Message());
    }
    if (window.ClosePosts() > 0 || QuitRequested) {
      // The stop flag with a close and no message is the Terminate command; with a message it is
      // an error that ended the game (a page too old for this player, a save that cannot load).
      if (!ScriptStopped) {
        end = TRunEnd::Closed;
      } else {
        end = dialogs.Count() == boxes_at_start ? TRunEnd::Terminated : TRunEnd::Stopped;
      }
      ++frame;
      break;
    }
    if (ScriptStopped) {
      end = TRunEnd::Stopped;
      ++frame;
      break;
    }
    ++UpdateCount;
  }

  switch (end) {
    case TRunEnd::Terminated:
      std::fprintf(stderr, "kovarun: the game terminated at frame %ld\n", frame);
      return 0;
    case TRunEnd::Closed:
      std::fprintf(stderr, "kovarun: the game was closed at frame %ld\n", frame);
      return 0;
    case TRunEnd::FramesDone:
      std::fprintf(stderr, "kovarun: %ld frames run\n", frame);
      return 0;
    case TRunEnd::Stopped:
      std::fprintf(stderr, "kovarun: the script stopped at frame %ld\n", frame);
      return 1;
  }
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  TOptions options;
  if (!ParseArgs(argc, argv, options)) {
    Usage();
    return 2;
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
