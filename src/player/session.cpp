#include "player/session.h"

#include <algorithm>
#include <cstdlib>
#include <new>
#include <optional>
#include <utility>

#include "core/errors.h"
#include "core/messages.h"

namespace kova {

namespace {

plat::TServices WithWindow(plat::TServices services, plat::IMainWindow* window) {
  services.window = window;
  return services;
}

// The driver's port where it gave one, else the one a subsystem registered, else `none`.
template <class P>
P& Pick(P* driver, P* registered, P& none) {
  if (driver) return *driver;
  return registered ? *registered : none;
}

// The SoundFont of MIDI songs: the one KOVA_SOUNDFONT names, else a General MIDI one of Debian's.
std::string SoundFontPath() {
  const char* named = std::getenv("KOVA_SOUNDFONT");
  const std::vector<std::string> candidates = plat::DefaultSoundFonts();
  return plat::FindSoundFont(named ? named : "", candidates);
}

}  // namespace

TSession::TSession(const plat::TServices& services, TVrFileManagerOptions files, TSceneHost* screen,
                   TSessionPorts ports)
    : window_(*services.window, close_posted_),
      services_(WithWindow(services, &window_)),
      files_([&] {
        if (!files.optical) files.optical = services.optical;
        return std::move(files);
      }()),
      random_(RandomSeed()),
      store_(ports_, &interpreter_),
      events_(ports.scene ? ports.scene : &scene_),
      // The time budget is measured on the platform's clock, a real one.
      interpreter_(store_, ports_, commands_, &events_, *services_.clock),
      midi_out_(SoundFontPath()),
      media_subsystem_(TMediaInputs{.device = services_.audio,
                                    .files = &files_,
                                    .codecs = &codecs_,
                                    .video_codecs = &video_codecs_,
                                    .midi = &midi_out_,
                                    .platform_ms = [this] { return services_.clock->TickMs(); },
                                    .game_ms = [this] { return uint32_t(clock_.GameClock); },
                                    .cd_drives = cd_drives_.get(),
                                    .cd_drive = [this] { return CdDriveSetting(); },
                                    .warn = {}}),
      screen_(screen ? screen : &scene_host_),
      scene_parts_(TSceneInputs{.host = screen_,
                                .events = &events_,
                                .store = &store_,
                                .glyph_cache = &glyph_cache_,
                                .pictures = &picture_files_}),
      // The subsystems' commands work on the session's own scene: a driver that gives the script a
      // stand-in scene registers the behaviours it wants itself.
      registry_{.kinds = &scene_parts_.Kinds(), .commands = ports.scene ? nullptr : &commands_},
      // The subsystems in layer order; each registers as it is added.
      subsystems_(registry_, {&scene_subsystem_, &motion_subsystem_, &media_subsystem_}),
      // The driver's ports over the registered ones.
      ports_{Pick<TScenePort>(ports.scene, registry_.scene, scene_),
             Pick<TInputPort>(ports.input, registry_.input, scene_),
             Pick<TScreenPort>(ports.screen, registry_.screen, null_screen_),
             media_subsystem_,
             Pick<THistoryPort>(nullptr, registry_.history, null_history_),
             open_project_,
             services_,
             clock_,
             log_,
             tables_,
             files_,
             random_} {
  if (ports.register_commands) ports.register_commands(commands_);
  interpreter_.SetTimeBudget(kScriptTimeBudgetMs);
}

std::optional<bool> TSession::TOpenProject::FileExists(std::string_view name) const {
  if (TProject* project = session_.Project()) return project->FileExists(name);
  return std::nullopt;
}

int32_t TSession::TOpenProject::ScreenWidth() const {
  const TProject* project = session_.Project();
  return project ? project->ScreenWidth : 0;
}

int32_t TSession::TOpenProject::ScreenHeight() const {
  const TProject* project = session_.Project();
  return project ? project->ScreenHeight : 0;
}

std::string TSession::TOpenProject::Title() const {
  const TProject* project = session_.Project();
  return project ? project->Title : std::string();
}

std::vector<TSaveCaption> TSession::TOpenProject::SaveCaptions() const {
  std::vector<TSaveCaption> out;
  const TProject* project = session_.Project();
  if (!project) return out;
  const TStringList& slots = project->SlotList;
  out.reserve(static_cast<size_t>(slots.Count()));
  for (int i = 0; i < slots.Count(); ++i) {
    out.push_back({static_cast<int32_t>(slots.ObjectInt(i)), slots.Strings(i)});
  }
  return out;
}

void TSession::TOpenProject::RequestSave(int32_t slot, std::string page, std::string caption, int32_t index) {
  if (TProject* project = session_.Project()) project->RequestSave(slot, std::move(page), std::move(caption), index);
}

void TSession::TOpenProject::RequestLoad(int32_t slot) {
  if (TProject* project = session_.Project()) project->RequestLoad(slot);
}

bool TSession::TPictureFiles::PictureExists(std::string_view name) {
  if (TProject* project = session_.Project()) return project->FileExists(name);
  return !name.empty() && session_.Files().FileExists(name);
}

void TSession::TPictureFiles::LoadPicture(TStream& dest, std::string_view name) { session_.Files().LoadFile(dest, name); }

uint32_t TSession::TPictureFiles::PictureSeed() {
  TProject* project = session_.Project();
  return project ? uint32_t(project->PictureKey) : 0;
}

std::string TSession::CdDriveSetting() const {
  if (!settings_ini_ || !project_ || project_->KeyText.empty()) return {};
  return settings_ini_->ReadString("Software\\" + project_->KeyText, "CDDrive", "");
}

std::string TSession::CdImageFromEnvironment() {
  const char* image = std::getenv("KOVA_CD_IMAGE");
  return image ? std::string(image) : std::string();
}

TSession::~TSession() {
  // What runs on its own ends first (the highest subsystem first); then the project goes before
  // the store and the interpreter it works on, the file manager last.
  subsystems_.StopAll();
  project_.reset();
}

bool TSession::Open(TLaunchInfo launch) {
  main_.Check("TSession::Open");
  AddLaunchSources(files_, launch);
  project_ = std::make_unique<TProject>(std::move(launch), interpreter_, ports_);
  // A start page too old for this player stops the interpreter at its very start: a failed start
  // like any other.
  if (!project_->Started() || interpreter_.Stopped()) {
    std::string text = project_->Started() ? interpreter_.StopError() : project_->OpenError();
    if (text.empty()) text = MsgText(TMsg::ProjectMissing);
    Finish(TStopReason::FailedStart, std::move(text));
    return false;
  }
  clock_.Now = FrameDate();
  // The screen of the project's size; the colour tables follow its depth. A size the display
  // cannot hold is a failed start with the display's message.
  try {
    screen_->OpenScreen(project_->ScreenWidth, project_->ScreenHeight);
    scene_parts_.BuildColorTables();
    SceneRoot().SetWidth(project_->ScreenWidth);
    SceneRoot().SetHeight(project_->ScreenHeight);
    // Media start, once the screen exists. A video's pictures may be a few times the screen's.
    media_subsystem_.SetVideoPixelLimit(
        std::max<int64_t>(int64_t(1920) * 1080, int64_t(4) * project_->ScreenWidth * project_->ScreenHeight));
    media_subsystem_.Start(sound_settings_);
  } catch (const EKovaError& e) {
    Finish(TStopReason::FailedStart, e.Message());
    return false;
  } catch (const std::bad_alloc&) {
    Finish(TStopReason::FailedStart, MsgText(TMsg::OutOfMemory));
    return false;
  }
  return true;
}

double TSession::FrameDate() const { return services_.clock->Now(); }

void TSession::Finish(TStopReason reason, std::string message) {
  if (stop_ != TStopReason::None) return;
  stop_ = reason;
  stop_message_ = std::move(message);
}

bool TSession::CheckStop() {
  if (interpreter_.Stopped()) {
    // A stop without a message is the Terminate command; with one, an error ended the game.
    if (interpreter_.StopError().empty()) {
      Finish(TStopReason::Terminated);
    } else {
      Finish(TStopReason::Failed, interpreter_.StopError());
    }
  } else if (close_posted_ || close_requested_) {
    Finish(TStopReason::Closed);
  }
  return stop_ != TStopReason::None;
}

template <class F>
void TSession::Guarded(F&& work) {
  try {
    work();
  } catch (const EKovaError& e) {
    // The player reports the failure and goes on with the next frame.
    if (error_sink_) error_sink_(e.Message());
  } catch (const std::bad_alloc&) {
    if (error_sink_) error_sink_(MsgText(TMsg::OutOfMemory));
  }
}

bool TSession::Step(int32_t delta) {
  main_.Check("TSession::Step");
  if (stop_ != TStopReason::None) return false;
  clock_.Advance(delta);
  clock_.Now = FrameDate();
  files_.Locks().Tick(clock_.FrameDelta);
  files_.Locks().DeleteTempFiles();
  mailbox_.Drain(events_);
  ++frame_number_;
  if (frame_input_) frame_input_(frame_number_);
  TKovaBaseList& scene = SceneRoot();
  scene.SetClock(clock_.GameClock, clock_.FrameDelta);
  Guarded([&] {
    scene.Process();
    // Without a project (a driver that started the interpreter itself) the interpreter steps alone.
    if (project_ && !logo_done_) {
      LogoStep();
    } else if (project_) {
      project_->Step();
    } else {
      interpreter_.Step();
    }
  });
  // A close posted by the script (its Terminate command, a refused page, leaving the game at a
  // disc prompt) or asked for by the driver ends the step here: no update, no saves or loads
  // served, nothing drawn, and the step is not counted.
  if (close_posted_ || close_requested_) {
    CheckStop();
    return false;
  }
  Guarded([&] { scene.Update(); });
  // Every step that reached the update pass counts, held or not.
  ++clock_.UpdateCount;
  // The game's save and load requests: a load holds this frame and the next two without
  // drawing (the loaded scene is drawn whole in the third); the hold is set first, so a save
  // that fails after the load does not undo it.
  Guarded([&] {
    if (!project_) return;
    if (project_->PendingLoadSlot != -1) hold_frames_ = 3;
    project_->ServeRequests();
  });
  if (hold_frames_ > 0) {
    --hold_frames_;
  } else {
    Guarded([&] {
      scene.Draw();
      screen_->Present(scene);
      scene.EndFrame();
    });
  }
  // A sound device pulled by its caller plays this frame's samples now, on the session's clock.
  media_subsystem_.Frame(delta);
  return !CheckStop();
}

void TSession::RestartFrameTime() {
  real_time_started_ = true;
  clock_.LastFrameTime = services_.clock->TickMs();
}

TRealTimeStep TSession::StepRealTime() {
  if (stop_ != TStopReason::None) return TRealTimeStep::Stopped;
  if (!real_time_started_) {
    RestartFrameTime();
    return TRealTimeStep::NoTime;
  }
  const std::optional<int32_t> gap = clock_.TakeGap(services_.clock->TickMs());
  if (!gap) return TRealTimeStep::NoTime;
  return Step(*gap) ? TRealTimeStep::Stepped : TRealTimeStep::Stopped;
}

long TSession::Run(long frames, int32_t delta) {
  long steps = 0;
  while (steps < frames && Running()) {
    ++steps;
    if (!Step(delta)) break;
  }
  if (Running()) Finish(TStopReason::FramesRunOut);
  return steps;
}

}  // namespace kova
