// The session: the one composition root of a running game. It makes its parts once, in layer
// order, and hands each at construction what it uses: the platform services (given by the
// driver), the frame clock, the debug log and the file manager; the table manager, the command
// table, the variable store, the event queue, the interpreter and the mailbox of the worker
// threads; the text's fonts and glyph cache; the scene's parts (TSceneParts) over the screen. Then
// the subsystems come in through their registration (core/subsystem.h), in layer order: the
// scene's component kinds and its scene, input and history ports. The script engine's parts get
// one bundle of the ports of the layers above (scene, input, screen, media, history and the open
// project): the driver's (TSessionPorts) where it gave one, else the registered ones. The project
// is made when the game opens. On destruction the subsystems are stopped in reverse layer order
// before any part is freed, then the project goes, then the parts in reverse order.
//
// It steps one frame. kovarun, the tests' frame driver and the player window are thin drivers of
// it: they give it the platform services and their ports, open a game, call Step until it stops,
// and read why it stopped.
//
// Nothing of a session is shared with another: a process may hold several (tests do).
// Main thread only: the thread that made the session is the only one that may step it.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "components/scene/scene_host.h"
#include "components/scene/scene_parts.h"
#include "components/scene/scene_subsystem.h"
#include "core/debug_log.h"
#include "core/file_manager.h"
#include "core/frame_clock.h"
#include "core/main_thread.h"
#include "core/subsystem.h"
#include "media/media_subsystem.h"
#include "motion/motion_subsystem.h"
#include "platform/files/ini_file.h"
#include "platform/media/cdio_drives.h"
#include "platform/media/media_codecs.h"
#include "platform/media/video_decoder.h"
#include "platform/media/synth_midi.h"
#include "platform/services.h"
#include "player/screen_overlay.h"
#include "script/call_man.h"
#include "script/command_table.h"
#include "script/db_manager.h"
#include "script/event_queue.h"
#include "script/mailbox.h"
#include "script/param_collection.h"
#include "script/project.h"
#include "script/script_ports.h"
#include "text/font_pixel.h"
#include "text/glyph_layer_font.h"

namespace kova {

// Why a session stopped.
enum class TStopReason {
  None,          // still running
  Terminated,    // the script's Terminate command
  Closed,        // a close request (the user, or leaving the game at a disc prompt)
  Failed,        // the script stopped on an error (a page too old for this player, ...)
  FailedStart,   // the game could not be opened
  FramesRunOut,  // the driver's frame limit was reached
};

// What a real-time step did.
enum class TRealTimeStep {
  NoTime,   // the gap counted as no time (the frame rule): no step ran
  Stepped,  // one frame step ran and the session goes on
  Stopped,  // the session has stopped (by this step or before)
};

// The ports a driver hands its session at construction, over those the subsystems registered.
// None is owned; each must outlive the session; nullptr leaves the registered one.
struct TSessionPorts {
  // A stand-in for the scene as the script and the event queue see it (a test's fake scene): the
  // interpreter finds components through it instead of the session's root container. The
  // subsystems then register no command behaviours (theirs work on the session's own scene).
  TScenePort* scene = nullptr;
  // The script's input (pointer, buttons, keys); the scene's by default.
  TInputPort* input = nullptr;
  // The screen manager as the script sees it: window or full screen, the display modes (the
  // player window). nullptr: the null port (no screen manager).
  TScreenPort* screen = nullptr;
  // Registers a driver's own command behaviours in the interpreter's command table after the
  // subsystems registered theirs; nothing: none.
  std::function<void(TCommandTable&)> register_commands;
};

class TSession {
 public:
  // The longest one frame step runs script commands before it gives the frame back (a script that
  // never waits goes on in the next step where it was).
  static constexpr uint32_t kScriptTimeBudgetMs = 250;

  // `services` (and what it points to) must outlive the session. `screen` is the scene's host: the
  // screen the scene draws into and presents, the pointer (its position and the script's moves of
  // it), the text fields, films and media (the player window's); not owned; nullptr: the
  // session's own headless screen (SceneHost). `ports` are the driver's ports (see above).
  explicit TSession(const plat::TServices& services, TVrFileManagerOptions files = {}, TSceneHost* screen = nullptr,
                    TSessionPorts ports = {});
  ~TSession();
  TSession(const TSession&) = delete;
  TSession& operator=(const TSession&) = delete;

  // ---- Starting ----
  // Opens the game as the player's start-up does: the command line's data sources, then the
  // project (which starts its interpreter on the start page). False when the game cannot start:
  // the stop reason is then FailedStart and StopMessage says why (code page 932).
  bool Open(TLaunchInfo launch);

  // ---- Running ----
  // One frame step of `delta` milliseconds: the frame clock advances, the file manager's
  // housekeeping runs, the mailbox is drained into the event queue, the script runs until it
  // waits (or its time budget is spent), the scene is updated and the update count grows, the
  // game's load and save requests are served, and the scene is drawn and presented (unless the
  // frame is held after a load). A close posted during the script (its Terminate command) or
  // asked for ends the step right after the script: nothing is updated, served, drawn or counted.
  // A script error is handed to the error sink and the game goes on. False (and nothing runs)
  // once the session has stopped; the step that stops it returns false too.
  bool Step(int32_t delta);
  // A step whose delta is the time since the last accepted frame on the platform clock, by the
  // frame rule (TFrameClock::TakeGap): a gap of more than 3000 ms, or one that runs backwards,
  // counts as no time and no step runs. The first call only starts the count.
  TRealTimeStep StepRealTime();
  // Starts the count of the real-time step afresh at the platform clock's now: the time until
  // the next real-time step is all that counts (after the window got the focus back).
  void RestartFrameTime();
  // Steps `frames` frames of `delta` ms, or until the session stops; a session still running then
  // stops with FramesRunOut. Returns the number of steps taken.
  long Run(long frames, int32_t delta);
  // A request to close (the user closing the window): the next step stops with Closed.
  void RequestClose() { close_requested_ = true; }

  TStopReason StopReason() const { return stop_; }
  bool Running() const { return stop_ == TStopReason::None; }
  // The message of a failed start or of the error that stopped the script (code page 932).
  const std::string& StopMessage() const { return stop_message_; }
  // Receives the message (code page 932) of each error a frame step catches. The sink runs inside
  // the step's handler, so a driver that wants the error itself may rethrow it (`throw;`).
  void SetErrorSink(std::function<void(std::string_view)> sink) { error_sink_ = std::move(sink); }

  // ---- Parts ----
  const plat::TServices& Platform() const { return services_; }
  TVrFileManager& Files() { return files_; }
  TParamCollection& Store() { return store_; }
  TDBManager& Tables() { return tables_; }
  TTimerList& Events() { return events_; }
  TCallMan& Interpreter() { return interpreter_; }
  // The project, nullptr before Open.
  TProject* Project() { return project_.get(); }
  TFrameClock& Clock() { return clock_; }
  TDebugLog& Log() { return log_; }
  TMailbox& Mailbox() { return mailbox_; }
  // What the script engine reaches outside itself (the same bundle for all its parts).
  const TScriptPorts& Ports() const { return ports_; }
  // The behaviours registered for the subsystems' commands.
  const TCommandTable& Commands() const { return commands_; }
  // Frame steps still to pass without drawing (after a game load).
  int32_t HoldFrames() const { return hold_frames_; }
  // The session's own scene: the root container, drawn into the screen's back buffer of the
  // project's size (the host's, or the headless one's). It answers the script's scene (unless
  // the driver gave a stand-in) and input ports from construction on.
  TKovaBaseList& SceneRoot() { return scene_parts_.Root(); }
  TSceneParts& Scene() { return scene_parts_; }
  // The input of the session's own scene (what a driver's input port may build on).
  TInputPort& SceneInput() { return scene_; }
  // The media subsystem: the sound of the game (its managers, its bus once the game opened).
  TMediaSubsystem& Media() { return media_subsystem_; }
  // The overlay videos, drawn over the scene's picture when it is presented.
  IScreenOverlay& VideoOverlay() { return video_overlay_; }
  // The sound settings media start uses (game.ini's, read by the player; the defaults otherwise).
  // Set before Open.
  void SetSoundSettings(const TMediaSettings& settings) { sound_settings_ = settings; }
  // The game's settings file (game.ini), which outlives the session; "CDDrive" is read from it.
  void SetSettingsIni(const plat::TIniFile* ini) { settings_ini_ = ini; }
  // The settings' CD drive: section "Software\" and the project's key text, key "CDDrive"; empty
  // without a project, a key or the file.
  std::string CdDriveSetting() const;
  // The disc image the environment names (KOVA_CD_IMAGE, a .cue sheet), empty when none.
  static std::string CdImageFromEnvironment();
  // The subsystems, lowest first (those not stopped yet).
  const TSubsystems& Subsystems() const { return subsystems_; }
  // The headless screen (unused when the session was given a host of its own).
  THeadlessSceneHost& SceneHost() { return scene_host_; }
  // The glyph cache of the scene's text, over the platform's outline fonts.
  TFontPixelManager& GlyphCache() { return glyph_cache_; }
  // Called at the start of each frame step with the frame's number (from 1), before the scene's
  // input step: drivers feed recorded input here.
  void SetFrameInput(std::function<void(int64_t frame)> input) { frame_input_ = std::move(input); }

  // ---- The opening logo ----
  // A program that carries the logo archive (the resource "MADEWITH" of type "DATA") plays its
  // film before the game's first script step: the script starts one step after the film ended,
  // or was skipped by a click (not on its label) or by Space or Enter. Without the resource, or
  // after SkipLogo (before the first step), the script starts at once.
  void SkipLogo() { logo_done_ = true; }
  bool LogoDone() const { return logo_done_; }

 private:
  // The main window as the session's parts see it: every request goes to the driver's window, and
  // a close request is also noted for the frame step.
  class TWindowRelay : public plat::IMainWindow {
   public:
    TWindowRelay(plat::IMainWindow& window, bool& close_posted) : window_(window), close_posted_(close_posted) {}
    void PostClose() override {
      close_posted_ = true;
      window_.PostClose();
    }
    void* DialogOwner() const override { return window_.DialogOwner(); }
    std::string Title() const override { return window_.Title(); }
    void SetTitle(std::string_view title) override { window_.SetTitle(title); }

   private:
    plat::IMainWindow& window_;
    bool& close_posted_;
  };

  // The image cache reads the game's pictures: the project's file test (the file manager's before
  // a project is open), the file manager and the project's picture seed.
  class TPictureFiles : public IPictureSource {
   public:
    explicit TPictureFiles(TSession& session) : session_(session) {}
    bool PictureExists(std::string_view name) override;
    void LoadPicture(TStream& dest, std::string_view name) override;
    uint32_t PictureSeed() override;

   private:
    TSession& session_;
  };

  // The open project as the script engine sees it: the session's project once Open made it.
  class TOpenProject : public TProjectPort {
   public:
    explicit TOpenProject(TSession& session) : session_(session) {}
    std::optional<bool> FileExists(std::string_view name) const override;
    int32_t ScreenWidth() const override;
    int32_t ScreenHeight() const override;
    std::string Title() const override;
    std::vector<TSaveCaption> SaveCaptions() const override;
    void RequestSave(int32_t slot, std::string page, std::string caption, int32_t index) override;
    void RequestLoad(int32_t slot) override;

   private:
    TSession& session_;
  };

  double FrameDate() const;
  void Finish(TStopReason reason, std::string message = {});
  // Stops the session when the script stopped or a close was asked for.
  bool CheckStop();
  // Runs a part of the frame step; its error goes to the error sink and the step goes on.
  template <class F>
  void Guarded(F&& work);

  TMainThread main_;
  bool close_posted_ = false;
  bool close_requested_ = false;
  TWindowRelay window_;
  plat::TServices services_;
  TFrameClock clock_;
  TDebugLog log_;
  TVrFileManager files_;
  TDBManager tables_;
  std::mt19937_64 random_;
  TScreenPort null_screen_;
  TOpenProject open_project_{*this};
  TCommandTable commands_;
  // The script engine's parts get ports_ (made below, after the scene whose ports it holds) when
  // they are made; none of them reads it before the first frame step.
  TParamCollection store_;
  TTimerList events_;
  TCallMan interpreter_;
  TMailbox mailbox_;
  // The sound: made before the scene and freed after it, so that the sound components, freed with
  // the scene, find the media layer still there (stopped, with no managers left).
  plat::TMediaCodecs codecs_;
  plat::TMediaVideoCodecs video_codecs_;
  // MIDI through the software synthesizer, with the SoundFont KOVA_SOUNDFONT names or Debian's.
  plat::TSynthMidiDevices midi_out_;
  // The CD drives and the disc image KOVA_CD_IMAGE names; the settings file "CDDrive" is read from.
  std::unique_ptr<plat::ICdDrives> cd_drives_ = plat::MakeCdioDrives(CdImageFromEnvironment());
  const plat::TIniFile* settings_ini_ = nullptr;
  TMediaSettings sound_settings_;
  TMediaSubsystem media_subsystem_;
  TVideoOverlay video_overlay_{media_subsystem_.Layer()};
  // The text's fonts and glyph cache (blank glyphs when the platform gives no fonts).
  plat::TBlankGlyphFonts blank_glyphs_;
  TGlyphLayerFont text_font_{services_.glyphs ? *services_.glyphs : blank_glyphs_};
  TFontPixelManager glyph_cache_{text_font_};
  // The scene: freed before the queue and the interpreter it fills.
  THeadlessSceneHost scene_host_;
  TSceneHost* screen_;
  TPictureFiles picture_files_{*this};
  TSceneParts scene_parts_;
  TSceneServices scene_{scene_parts_.Root()};
  TSceneSubsystem scene_subsystem_{scene_parts_, scene_};
  // The screen transitions (and the flip command) over the scene's root container; their random
  // draws come from the session's generator.
  TMotionSubsystem motion_subsystem_{scene_parts_.Root(), TWipeEnv{.pictures = &picture_files_,
                                                                   .random = [this](uint32_t range) {
                                                                     return range ? uint32_t(random_() % range) : 0u;
                                                                   }}};
  // The registry the subsystems register into, and the subsystems in layer order (registered as
  // they are made, stopped first).
  TSubsystemRegistry registry_;
  TSubsystems subsystems_;
  // The null history port, for a session whose subsystems serve none.
  THistoryPort null_history_;
  const TScriptPorts ports_;
  std::function<void(int64_t)> frame_input_;
  int64_t frame_number_ = 0;
  // Frame steps still to pass without drawing after a game load.
  int32_t hold_frames_ = 0;
  std::unique_ptr<TProject> project_;
  TStopReason stop_ = TStopReason::None;
  std::string stop_message_;
  std::function<void(std::string_view)> error_sink_;
  bool real_time_started_ = false;
  // The opening logo's step (in place of the script's while the logo runs).
  void LogoStep();
  void EndLogo();
  static bool ProgramHasLogo();
  bool logo_done_ = !ProgramHasLogo();
  TObjectHandle logo_cinema_;
  int32_t logo_archive_ = -1;
};

}  // namespace kova
