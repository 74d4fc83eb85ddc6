// What the script engine reaches outside itself, handed to it once by whoever makes it (the
// session): the ports that the layers above implement (scene, input, screen, media, history, the
// open project), the platform services (boxes, the main window, fonts, the desktop), the frame
// clock, the debug log, the table manager, the file manager and the random generator. The bundle
// holds references only and never changes: an absent part is given as its null port.
//
// TNullScriptParts owns a null part of each kind and the bundle over them: the parts of a store
// made on its own, and of tests that need only some of them.
#pragma once

#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "core/debug_log.h"
#include "core/file_manager.h"
#include "core/frame_clock.h"
#include "platform/services.h"
#include "script/db_manager.h"
#include "script/history_port.h"
#include "script/input_port.h"
#include "script/media_port.h"
#include "script/scene_port.h"
#include "script/screen_port.h"

namespace kova {

// One entry of the project's list of saved games.
struct TSaveCaption {
  int32_t Slot = 0;
  std::string Caption;
};

// The open project as the script engine sees it; the defaults are a player without a project.
class TProjectPort {
 public:
  virtual ~TProjectPort() = default;
  // The project's existence test of a game file (which may ask for a disc); nothing without a
  // project (the file manager answers then).
  virtual std::optional<bool> FileExists(std::string_view) const { return std::nullopt; }
  // The project's screen size and title (0 and empty without a project).
  virtual int32_t ScreenWidth() const { return 0; }
  virtual int32_t ScreenHeight() const { return 0; }
  virtual std::string Title() const { return {}; }
  // The project's list of saved games, in list order.
  virtual std::vector<TSaveCaption> SaveCaptions() const { return {}; }
  // The game save and load commands' requests, served after the frame's script step.
  virtual void RequestSave(int32_t /*slot*/, std::string /*page*/, std::string /*caption*/, int32_t /*index*/) {}
  virtual void RequestLoad(int32_t /*slot*/) {}
};

struct TScriptPorts {
  TScenePort& scene;
  TInputPort& input;
  TScreenPort& screen;
  TMediaPort& media;
  THistoryPort& history;
  TProjectPort& project;
  const plat::TServices& platform;
  TFrameClock& clock;
  TDebugLog& log;
  TDBManager& tables;
  TVrFileManager& files;
  // The generator of the Random function.
  std::mt19937_64& random;

  // The existence test of the interpreter's pages (event pages, Jump and Call): the project's,
  // else the file manager's.
  bool PageExists(std::string_view name) const;
  // The existence test of the system functions' game files: an empty name exists nowhere, else
  // as PageExists.
  bool GameFileExists(std::string_view name) const;
  // The system's millisecond timer, wrapping at 32 bits ("@PCTickCount"): the platform clock's.
  uint32_t PCTickCount() const { return platform.clock->TickMs(); }
  // The installed Japanese fonts (code page 932 names, sorted), or only the fixed-pitch ones.
  std::vector<std::string> ListFonts(bool fixed_pitch_only) const;
};

// A seed for a session's random generator, different on each call.
uint64_t RandomSeed();

class TNullScriptParts {
 public:
  TNullScriptParts();
  TNullScriptParts(const TNullScriptParts&) = delete;
  TNullScriptParts& operator=(const TNullScriptParts&) = delete;

  TScenePort scene;
  TInputPort input;
  TScreenPort screen;
  TMediaPort media;
  THistoryPort history;
  TProjectPort project;
  plat::THeadlessServices platform;
  TFrameClock clock;
  TDebugLog log;
  TDBManager tables;
  // No folder, no archives, no discs.
  TVrFileManager files{TVrFileManagerOptions{{}, std::vector<std::string>{}, nullptr}};
  std::mt19937_64 random;
  const TScriptPorts ports;
};

}  // namespace kova
