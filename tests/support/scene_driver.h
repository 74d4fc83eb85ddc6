// A scene for tests: a root container over a headless screen of a chosen display format, stub
// component kinds registered for codes whose real kinds come later, and a frame step that runs the
// scene the way the player does (clock, scripted input, Process, Update, Draw, EndFrame), with the
// script step replaced by taking the queued events. Header-only: only programs that link the
// engine include it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "components/scene/kova_base_list.h"
#include "components/scene/scene_parts.h"
#include "components/scene/scene_subsystem.h"
#include "components/scene/scene_input.h"
#include "core/stream_records.h"
#include "core/vocabulary.h"
#include "graphics/dibx.h"

namespace kova::test {

// A visual stub kind (registered as KT_BOX): fills its bounds with its colour, keeps a paused flag
// and one field of its own in its save form.
class StubBox : public TKovaControl {
 public:
  using TKovaControl::TKovaControl;
  uint8_t GetCompoType() const override { return KT_BOX; }
  bool GetPaused() const override { return paused; }
  void SetPaused(bool v) override { paused = v; }
  int32_t GetZoomX() const override { return zoom_x; }
  void SetZoomX(int32_t v) override { zoom_x = v; }
  bool GetFlipH() const override { return flip_h; }
  void SetFlipH(bool v) override { flip_h = v; }
  int32_t GetScrollX() const override { return scroll_x; }
  TCustomDIBX* GetDIB() const override { return dib; }
  bool GetAutoScrap() const override { return auto_scrap; }
  bool GetRepeat() const override { return repeat; }
  std::string GetOnPlayEnd() const override { return on_play_end; }
  void MediaPause() override { ++media_pauses; }
  void MediaResume() override { ++media_resumes; }
  void Draw() override {
    if (TCustomDIBX* target = GetTargetDIB()) {
      target->FillRect(GetBoundsRect(), uint32_t(target->ColorToPixel(GetColor())));
    }
    DrawChildren();
  }
  bool Update() override {
    ++updates;
    return finish || TKovaControl::Update();
  }
  void SaveToStream(TStream& stream) const override {
    TKovaControl::SaveToStream(stream);
    WriteStreamInteger(stream, extra);
  }
  void LoadFromStream(TStream& stream, int32_t version) override {
    TKovaControl::LoadFromStream(stream, version);
    extra = ReadStreamInteger(stream);
  }
  bool paused = false;
  bool finish = false;
  int updates = 0;
  int32_t extra = 0;
  int32_t zoom_x = 256;
  bool flip_h = false;
  int32_t scroll_x = 0;
  TCustomDIBX* dib = nullptr;
  bool auto_scrap = false;
  bool repeat = false;
  std::string on_play_end;
  int media_pauses = 0, media_resumes = 0;
};

// A non-visual stub kind (registered as KT_TIMER).
class StubTimer : public TKovaComponent {
 public:
  using TKovaComponent::TKovaComponent;
  uint8_t GetCompoType() const override { return KT_TIMER; }
  std::string GetOnIdle() const override { return on_idle; }
  void SetOnIdle(const std::string& v) override { on_idle = v; }
  bool Update() override {
    ++updates;
    if (on_update) on_update(*this);
    return finish;
  }
  void SaveToStream(TStream& stream) const override {
    TKovaComponent::SaveToStream(stream);
    WriteStreamInteger(stream, extra);
  }
  void LoadFromStream(TStream& stream, int32_t version) override {
    TKovaComponent::LoadFromStream(stream, version);
    extra = ReadStreamInteger(stream);
  }
  std::string on_idle;
  bool finish = false;
  int updates = 0;
  int32_t extra = 0;
  void (*on_update)(StubTimer&) = nullptr;
};

inline void RegisterStubKinds(TKovaBaseList& root) {
  root.Factory().Register(KT_BOX, &TComponentFactory::Make<StubBox>);
  root.Factory().Register(KT_TIMER, &TComponentFactory::Make<StubTimer>);
}

// One queued event as the tests compare it: "target code handler params...".
inline std::string EventText(const TTimerData& e) {
  const TScenePort* scene = e.Queue->Root();
  const TKovaObject* target = scene ? scene->Resolve(e.Target) : nullptr;
  std::string s = (target ? target->GetName() : std::string("-")) + " " + std::to_string(e.Code) + " " + e.Handler;
  for (const std::string& p : e.Params) s += " " + p;
  return s;
}

// What a test hands the scene's parts besides the screen (see TSceneInputs).
struct SceneWiring {
  TParamCollection* store = nullptr;
  TFontPixelManager* glyph_cache = nullptr;
  IPictureSource* pictures = nullptr;
};

class SceneDriver {
 public:
  explicit SceneDriver(TDisplayFormat format = kDisplay8888, int32_t width = 64, int32_t height = 48,
                       SceneWiring wiring = {})
      : host(format),
        globals(TSceneInputs{
            .host = &host, .store = wiring.store, .glyph_cache = wiring.glyph_cache, .pictures = wiring.pictures}),
        root(globals.Root()) {
    host.SetScreenSize(width, height);
    globals.BuildColorTables();
    RegisterSceneKinds(globals.Kinds());
    RegisterStubKinds(root);
    root.SetWidth(width);
    root.SetHeight(height);
    root.Bases(0)->SetVisible(true);
    root.Bases(1)->SetVisible(true);
  }
  explicit SceneDriver(SceneWiring wiring) : SceneDriver(kDisplay8888, 64, 48, wiring) {}

  // A stub box on `parent` (the active layer by default).
  StubBox* Box(const std::string& name, TRect bounds, TKovaControl* parent = nullptr, int32_t color = 0xFFFFFF) {
    auto* box = static_cast<StubBox*>(root.CreateComponent(KT_BOX));
    box->SetName(name);
    box->SetParent(parent ? parent : root.ActiveBase());
    box->SetBounds(bounds.Left, bounds.Top, bounds.Width(), bounds.Height());
    box->SetColor(color);
    return box;
  }
  StubTimer* Timer(const std::string& name) {
    auto* timer = static_cast<StubTimer*>(root.CreateComponent(KT_TIMER));
    timer->SetName(name);
    return timer;
  }

  // Queues an input event for the next frame.
  void Input(TInputKind kind, int32_t x = 0, int32_t y = 0) { input.Add(TInputEvent{frame + 1, kind, x, y, 0, {}}); }
  void Key(TInputKind kind, int32_t vk) { input.Add(TInputEvent{frame + 1, kind, 0, 0, vk, {}}); }

  // One frame: input, Process, then the events the scene queued this frame are taken (as the
  // interpreter would run and finish their handlers unless `keep_events`), Update, Draw, EndFrame.
  std::vector<std::string> Frame(int32_t delta = 16, bool keep_events = false) {
    ++frame;
    clock += delta;
    root.SetClock(clock, delta);
    input.Feed(frame, root);
    root.Process();
    std::vector<std::string> events = TakeEvents(keep_events);
    root.Update();
    root.Draw();
    root.EndFrame();
    return events;
  }

  std::vector<std::string> TakeEvents(bool keep = false) {
    std::vector<std::string> out;
    for (int32_t i = 0; i < root.Events().Count(); ++i) {
      if (root.Events().Items(i)->Level == 0) out.push_back(EventText(*root.Events().Items(i)));
    }
    if (!keep) root.Events().Clear();
    return out;
  }

  uint32_t Pixel(int32_t x, int32_t y) { return host.Screen().GetPixel(x, y); }
  uint32_t PixelOf(int32_t color) { return uint32_t(host.Screen().ColorToPixel(color)); }

  THeadlessSceneHost host;
  TSceneParts globals;
  TKovaBaseList& root;
  TSceneInputScript input;
  int64_t frame = 0;
  int32_t clock = 0;
};

}  // namespace kova::test
