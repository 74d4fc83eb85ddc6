// What the script engine reaches outside itself, wired by its session: the ports that the layers
// above implement (scene, input, screen, media, history), the platform services (boxes, the main
// window, fonts, the desktop), and the session's parts that scripts read: the interpreter and the
// project, the file manager, the frame clock, the debug log, the table manager and the random
// generator. The variable store holds one host; system variables and functions reach the player
// through it.
//
// Until the session sets a part, the host stands in with its own: null ports (no scene, no input,
// no screen manager, no media, no history), headless services, a stopped clock, no log, an empty
// table manager, no file manager, no interpreter, no project. Nothing is shared between hosts.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "core/debug_log.h"
#include "core/frame_clock.h"
#include "platform/services.h"
#include "script/history_port.h"
#include "script/input_port.h"
#include "script/media_port.h"
#include "script/scene_port.h"
#include "script/screen_port.h"

namespace kova {

class TCallMan;
class TDBManager;
class TProject;
class TVrFileManager;

// One entry of the project's list of saved games.
struct TSaveCaption {
  int32_t Slot = 0;
  std::string Caption;
};

class TScriptHost {
 public:
  TScriptHost();
  virtual ~TScriptHost();
  TScriptHost(const TScriptHost&) = delete;
  TScriptHost& operator=(const TScriptHost&) = delete;

  // ---- ports of the layers above (nullptr: the null port) ----
  TScenePort& Scene() const { return *scene_; }
  TInputPort& Input() const { return *input_; }
  TScreenPort& Screen() const { return *screen_; }
  TMediaPort& Media() const { return *media_; }
  THistoryPort& History() const { return *history_; }
  void SetScene(TScenePort* port) { scene_ = port ? port : &null_scene_; }
  void SetInput(TInputPort* port) { input_ = port ? port : &null_input_; }
  void SetScreen(TScreenPort* port) { screen_ = port ? port : &null_screen_; }
  void SetMedia(TMediaPort* port) { media_ = port ? port : &null_media_; }
  void SetHistory(THistoryPort* port) { history_ = port ? port : &null_history_; }

  // ---- services of the layers below (nullptr: the host's own) ----
  const plat::TServices& Platform() const { return *platform_; }
  void SetPlatform(const plat::TServices* services) { platform_ = services ? services : &headless_; }
  TFrameClock& Clock() const { return *clock_; }
  void SetClock(TFrameClock* clock) { clock_ = clock ? clock : &own_clock_; }
  TDebugLog& Log() const { return *log_; }
  void SetLog(TDebugLog* log) { log_ = log ? log : &own_log_; }
  TDBManager& Tables() const { return *tables_; }
  void SetTables(TDBManager* tables);
  // The file manager of the game, or nullptr before there is one.
  TVrFileManager* Files() const { return files_; }
  void SetFiles(TVrFileManager* files) { files_ = files; }

  // ---- the session's script parts ----
  // The interpreter whose running call "@Result", "@ParamCount", "@ParamStr" and "@Sender" read.
  TCallMan* Interpreter() const { return interpreter_; }
  void SetInterpreter(TCallMan* interpreter) { interpreter_ = interpreter; }
  // The open project (screen size, title, saved games, the existence test of game files).
  TProject* Project() const { return project_; }
  void SetProject(TProject* project) { project_ = project; }

  // ---- what the host answers itself (the project's answers may be a test's own) ----
  // The system's millisecond timer, wrapping at 32 bits ("@PCTickCount"): the platform clock's.
  uint32_t PCTickCount() const { return platform_->clock->TickMs(); }
  // The generator of the Random function.
  std::mt19937_64& Random() { return random_; }
  // The project's existence test of a game file: the project's (which may ask for a disc), else
  // the file manager's; an empty name exists nowhere.
  virtual bool ProjectFileExists(std::string_view name) const;
  // The installed Japanese fonts (code page 932 names, sorted), or only the fixed-pitch ones.
  std::vector<std::string> ListFonts(bool fixed_pitch_only) const;
  // The project's screen size and title (0 and empty without a project).
  virtual int32_t ScreenWidth() const;
  virtual int32_t ScreenHeight() const;
  virtual std::string Title() const;
  // The project's list of saved games, in list order.
  virtual std::vector<TSaveCaption> SaveCaptions() const;

 private:
  TScenePort null_scene_;
  TInputPort null_input_;
  TScreenPort null_screen_;
  TMediaPort null_media_;
  THistoryPort null_history_;
  TScenePort* scene_ = &null_scene_;
  TInputPort* input_ = &null_input_;
  TScreenPort* screen_ = &null_screen_;
  TMediaPort* media_ = &null_media_;
  THistoryPort* history_ = &null_history_;

  plat::THeadlessServices headless_;
  const plat::TServices* platform_ = &headless_;
  TFrameClock own_clock_;
  TFrameClock* clock_ = &own_clock_;
  TDebugLog own_log_;
  TDebugLog* log_ = &own_log_;
  std::unique_ptr<TDBManager> own_tables_;
  TDBManager* tables_;
  TVrFileManager* files_ = nullptr;
  TCallMan* interpreter_ = nullptr;
  TProject* project_ = nullptr;
  std::mt19937_64 random_;
};

}  // namespace kova
