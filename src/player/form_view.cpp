#include "player/form_view.h"

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "components/scene/scene_input.h"
#include "core/archive.h"
#include "core/errors.h"
#include "core/messages.h"
#include "core/resources.h"
#include "platform/text/text_codec.h"

namespace kova {

namespace {

constexpr uint32_t kShortestPacingSleepMs = 2;

// True when the file's last two bytes are "kv": an archive is appended to it.
bool HasAppendedData(const std::string& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in || !in.seekg(-2, std::ios::end)) return false;
  char tail[2] = {};
  return in.read(tail, 2) && tail[0] == 'k' && tail[1] == 'v';
}

// True when the program carries the game archive resource ("DUMMY" of type "BINTYPE", ending in
// "vf").
bool HasResourceData() {
  const std::span<const uint8_t> bytes = ProgramResources().FindResource("BINTYPE", "DUMMY");
  return bytes.size() >= 2 && bytes[bytes.size() - 2] == 'v' && bytes[bytes.size() - 1] == 'f';
}

}  // namespace

// ---- Parts of the view ----

void TFormView::TMainWindow::PostClose() {
  if (view_.window_.events) view_.window_.events->PostUser(kCloseEvent);
}

void* TFormView::TMainWindow::DialogOwner() const {
  return view_.window_.window ? view_.window_.window->NativeHandle() : nullptr;
}

void TFormView::TMainWindow::SetTitle(std::string_view title) {
  title_ = title;
  if (view_.window_.window) view_.window_.window->SetCaption(title);
}

void TFormView::TScreenHost::Present(TKovaBaseList& root) {
  if (view_.screen_) view_.screen_->Present(root);
}

TCustomDIBX* TFormView::TScreenHost::ScreenSurface() {
  return view_.screen_ ? &view_.screen_->BackBuffer() : nullptr;
}

int32_t TFormView::TScreenHost::ScreenBitCount() { return view_.screen_ ? view_.screen_->BitCount() : 32; }

plat::ITextFieldHost& TFormView::TScreenHost::TextFields() {
  if (view_.window_.text_fields) return *view_.window_.text_fields;
  return TSceneHost::TextFields();
}

TPoint TFormView::TScreenHost::PointerPosition() {
  return view_.session_ ? view_.session_->SceneRoot().ActiveBase()->MousePos() : TPoint{};
}

void TFormView::TScreenHost::WarpPointer(TPoint p) {
  if (view_.window_.window) view_.window_.window->WarpPointer(plat::TPoint{p.X, p.Y});
}

plat::TMessageAnswer TFormView::TReportingDialogs::ShowMessage(const plat::TMessageBox& box) {
  std::fprintf(stderr, "kovaplayer: %s\n", plat::Cp932ToUtf8(box.text).c_str());
  shown_.emplace_back(box.text);
  return boxes_.ShowMessage(box);
}

bool TFormView::TReportingDialogs::Shown(std::string_view text) const {
  return std::find(shown_.begin(), shown_.end(), text) != shown_.end();
}

// ---- Start-up ----

TFormView::TFormView(IDesktop& desktop, TSoundSettings settings)
    : desktop_(desktop), settings_(settings), dialogs_(*desktop.Services().dialogs), services_(desktop.Services()) {
  services_.window = &main_window_;
  services_.dialogs = &dialogs_;
  main_window_.SetTitle(MsgText(TMsg::PlayerCaption));
}

TFormView::~TFormView() { Close(); }

bool TFormView::Create(const TLaunchInfo& launch, const std::string& program_file) {
  TSessionPorts ports;
  ports.screen = this;
  session_ = std::make_unique<TSession>(services_, TVrFileManagerOptions{}, &screen_host_, std::move(ports));
  session_->SetSoundSettings(TMediaSettings{.use_direct_sound = settings_.UseDirectSound,
                                            .delay_time = settings_.DelayTime});
  session_->SetSettingsIni(settings_ini_);
  session_->SetErrorSink([this](std::string_view text) { ShowWarning(text); });
  bool opened = false;
  try {
    // Without a game folder the game may come with the program itself.
    if (launch.Params.empty()) {
      if (HasResourceData()) session_->Files().AddResourceArchive("", "DUMMY", "BINTYPE");
      if (!program_file.empty() && HasAppendedData(program_file)) {
        session_->Files().AddArchive(program_file, TVrPlacement::Appended);
      }
    }
    opened = session_->Open(launch);
  } catch (const EKovaError& e) {
    ShowWarning(e.Message());
    Close();
    status_ = 1;
    return false;
  }
  if (!opened) {
    // The project shows its own boxes; a failure it did not show is shown here.
    const std::string& text = session_->StopMessage();
    if (!dialogs_.Shown(text)) ShowWarning(text);
    Close();
    status_ = 1;
    return false;
  }
  PlaceWindow();
  return true;
}

void TFormView::OpenScreen(int32_t width, int32_t height) {
  const bool picture = width > 0 && height > 0;
  const plat::TSize client = picture ? plat::TSize{width, height + kDockHeight} : kEmptyClient;
  const plat::TSize game = picture ? plat::TSize{width, height} : plat::TSize{};
  std::string error;
  if (!desktop_.OpenWindow(main_window_.Title(), client, game, true, window_, error)) {
    std::fprintf(stderr, "kovaplayer: %s\n", error.c_str());
    Raise<EKovaError>(TMsg::ScreenInitError);
  }
  window_.window->SetTopStrip(kDockHeight);
  if (!picture || !window_.presenter) return;
  const TProject* project = session_->Project();
  screen_ = std::make_unique<TScreenManager>(desktop_.Display(), *window_.window, *window_.presenter, width, height,
                                             project ? project->FullScreenWidth : 0,
                                             project ? project->FullScreenHeight : 0);
  screen_->SetOverlay(&session_->VideoOverlay());
}

void TFormView::PlaceWindow() {
  plat::IWindow& window = *window_.window;
  window.Show();
  // Centred in the work area, frame included.
  const plat::TScreenRect area = desktop_.Display().WorkArea();
  const plat::TSize frame = window.FrameSize();
  window.SetPosition(plat::TPoint{area.left + (area.Width() - frame.width) / 2,
                                  area.top + (area.Height() - frame.height) / 2});
  if (screen_) screen_->RepaintAll();
  if (window.HasFocus()) Activate();
}

// ---- Shut-down ----

void TFormView::Close() {
  if (closed_) return;
  closed_ = true;
  quit_ = true;
  if (session_) {
    const TStopReason reason = session_->StopReason();
    if (reason == TStopReason::Failed || reason == TStopReason::FailedStart) status_ = 1;
    session_->RequestClose();
  }
  // The game first (project, variables, scene), then what shows it.
  session_.reset();
  screen_.reset();
  // The window last: its fields, events and presenter work on it.
  window_.text_fields.reset();
  window_.events.reset();
  window_.presenter.reset();
  window_.window.reset();
}

// ---- The frame loop ----

int TFormView::Run() {
  const std::shared_ptr<plat::IEventSource> events = window_.events;
  if (quit_ || !events) return status_;
  events->OnFrame(uint64_t(steps_) + 1);
  plat::TEvent e;
  while (!quit_) {
    while (!quit_ && events->Poll(e)) Dispatch(e);
    if (quit_) break;
    const bool wait = Idle();
    ShowFieldChanges();
    if (wait && !quit_ && events->Wait(e)) {
      Dispatch(e);
      ShowFieldChanges();
    }
  }
  return status_;
}

bool TFormView::Idle() {
  if (quit_ || !active_ || !screen_ || !session_) return true;
  plat::IClock& clock = *services_.clock;
  const uint32_t now = clock.TickMs();
  // A long stall (or a clock going back) counts as no time: no step (the frame rule).
  const TRealTimeStep step = session_->StepRealTime();
  if (step == TRealTimeStep::NoTime) return false;
  ++steps_;
  if (step == TRealTimeStep::Stopped) {
    Close();
    return true;
  }
  if (window_.events) window_.events->OnFrame(uint64_t(steps_) + 1);
  const TProject* project = session_->Project();
  if (project && project->FramePacing) {
    const int64_t spent = static_cast<int32_t>(clock.TickMs() - now);
    clock.SleepMs(uint32_t(std::max<int64_t>(kShortestPacingSleepMs, session_->Clock().FrameInterval - spent)));
  }
  return false;
}

// ---- Window events ----

void TFormView::ShowFieldChanges() {
  if (!quit_ && window_.text_fields) window_.text_fields->ShowChanges();
}

void TFormView::Dispatch(const plat::TEvent& e) {
  if (quit_ || !session_) return;
  // The text field with the keyboard takes the keys and the typed text; a press into a field
  // takes the keyboard to it. What a field takes the game does not see.
  const bool press = e.kind == plat::TEventKind::MouseDown || e.kind == plat::TEventKind::KeyDown;
  if (window_.text_fields && (active_ || !press) && window_.text_fields->HandleEvent(e)) return;
  TKovaBaseList& root = session_->SceneRoot();
  TInputEvent in;
  in.X = e.pos.x;
  in.Y = e.pos.y;
  const bool left = e.button == plat::TMouseButton::Left;
  switch (e.kind) {
    case plat::TEventKind::MouseMove:
      in.Kind = TInputKind::Move;
      FeedInputEvent(in, root);
      return;
    case plat::TEventKind::MouseDown:
      if (!active_ || e.button == plat::TMouseButton::None) return;
      in.Kind = left ? TInputKind::LDown : TInputKind::RDown;
      FeedInputEvent(in, root);
      return;
    case plat::TEventKind::MouseUp:
      if (e.button == plat::TMouseButton::None) return;
      in.Kind = left ? TInputKind::LUp : TInputKind::RUp;
      FeedInputEvent(in, root);
      return;
    case plat::TEventKind::Wheel:
      if (e.wheel == 0) return;
      in.Kind = e.wheel > 0 ? TInputKind::WheelUp : TInputKind::WheelDown;
      FeedInputEvent(in, root);
      return;
    case plat::TEventKind::KeyDown:
      if (!active_ || e.repeat || e.key < 0 || e.key > 255) return;
      in.Kind = TInputKind::KeyDown;
      in.Key = e.key;
      FeedInputEvent(in, root);
      return;
    case plat::TEventKind::KeyUp:
      if (e.key < 0 || e.key > 255) return;
      in.Kind = TInputKind::KeyUp;
      in.Key = e.key;
      FeedInputEvent(in, root);
      return;
    case plat::TEventKind::Activate:
      Activate();
      return;
    case plat::TEventKind::Deactivate:
      Deactivate();
      return;
    case plat::TEventKind::Close:
      Close();
      return;
    case plat::TEventKind::Expose:
      if (screen_) screen_->RepaintAll();
      return;
    case plat::TEventKind::User:
      if (e.code == kCloseEvent) Close();
      return;
    default:
      return;
  }
}

void TFormView::Activate() {
  active_ = true;
  if (!session_) return;
  session_->RestartFrameTime();
  session_->Media().Layer().Activate();
}

void TFormView::Deactivate() {
  active_ = false;
  if (!session_) return;
  session_->SceneRoot().ClearKeys();
  session_->Media().Layer().Deactivate();
}

void TFormView::ShowWarning(std::string_view text) {
  plat::TMessageBox box;
  box.owner = main_window_.DialogOwner();
  const std::string& caption = MsgText(TMsg::CaptionWarning);
  box.title = caption;
  box.text = text;
  dialogs_.ShowMessage(box);
}

// ---- Window and full screen ----

void TFormView::SetFullScreen(bool full_screen) {
  if (!screen_) return;
  if (full_screen) {
    if (screen_->FullScreen() || screen_->ModeIndex < 0) return;
    SuspendVideo();
    screen_->SetMode(screen_->ModeIndex);
  } else {
    if (!screen_->FullScreen()) return;
    SuspendVideo();
    screen_->SetMode(-1);
  }
  AfterModeChange();
}

void TFormView::ApplyFullScreenMode(int32_t index) {
  if (!screen_) return;
  screen_->ModeIndex = index;
  if (!screen_->FullScreen() || index < 0 || index == screen_->CurrentMode()) return;
  SuspendVideo();
  screen_->SetMode(index);
  AfterModeChange();
}

bool TFormView::GetDisplayMode(int32_t i, TDisplayMode& mode) const {
  plat::TDisplayMode m;
  if (!screen_ || !screen_->GetMode(i, m)) return false;
  mode = TDisplayMode{m.Width, m.Height, m.BitCount, m.RefreshRate};
  return true;
}

void TFormView::SuspendVideo() {
  if (session_) session_->Media().Layer().SuspendVideo();
}

void TFormView::AfterModeChange() {
  window_.window->SetTopStrip(screen_->FullScreen() ? 0 : kDockHeight);
  // The overlay videos show again in the new window, drawn with the whole picture.
  if (session_) session_->Media().Layer().ResumeVideo();
  screen_->RepaintAll();
}

}  // namespace kova
