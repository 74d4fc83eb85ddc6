// The root container: the one scene of a player (or of a film player). It owns every component,
// the two screen layers, the running screen transition, the event queue, the focused control and
// the keyboard state. The player drives it once per frame: Process (input), the script step,
// Update (per-component update and deletion), and on drawn frames Draw; then it presents the
// picture and calls EndFrame.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "components/scene/component_factory.h"
#include "components/scene/component_names.h"
#include "script/event_queue.h"
#include "script/scene_port.h"
#include "components/scene/kova_base.h"
#include "components/widgets/kova_list.h"
#include "components/scene/kova_object.h"
#include "components/scene/scene_host.h"
#include "components/scene/scene_makers.h"
#include "components/scene/scene_media.h"

namespace kova {

class TDIBX;
class ISceneMakers;
class TParamCollection;
class TTextImagePort;
class TWexaCollection;
class TFontPixelManager;
class TKovaNewHistory;
class TKovaReadList;

// First auto-repeat of a held key, and the time between repeats (milliseconds). List boxes and
// sliders use the same two values for their own holds.
inline constexpr int32_t kRepeatDelay = 300;
inline constexpr int32_t kRepeatInterval = 50;

// The names of the two screen layers.
inline const std::string kBase0Name = "\x01" "BASE0";
inline const std::string kBase1Name = "\x01" "BASE1";

// What a root container hands its components, given to it at construction (made once by the
// session's scene parts) and fixed for its life. None of it is owned; each may be nullptr.
struct TSceneRootParts {
  // Serves the screen, films, transitions, media and the pointer (nullptr: a scene without
  // screen, whose host answers "no such part" to all).
  TSceneHost* host = nullptr;
  // The component kinds (nullptr: the root's own factory, holding the scene's kinds).
  TComponentFactory* kinds = nullptr;
  // The event queue the scene fills (nullptr: the root's own; the player's is the interpreter's).
  TTimerList* events = nullptr;
  // The shared picture cache (nullptr: no pictures are read).
  TWexaCollection* image_cache = nullptr;
  // The picture port of text documents' IMG glyphs (nullptr: text shows no pictures).
  TTextImagePort* text_pictures = nullptr;
  // The variable store the components' expressions run against (nullptr: none run).
  TParamCollection* store = nullptr;
  // The glyph cache labels and text draw from (nullptr: text draws nothing).
  TFontPixelManager* glyph_cache = nullptr;
  // The message history and the read marks message windows feed (nullptr: none).
  TKovaNewHistory* history = nullptr;
  TKovaReadList* read_marks = nullptr;
  // The checker pattern of control frames (nullptr: no frames).
  TCustomDIBX* pattern = nullptr;
  // The makers of motion films and screen transitions (nullptr: none; films and transitions are
  // not made).
  ISceneMakers* makers = nullptr;
  // The media switch (nullptr: the script's sound switch reaches only the host).
  ISceneMedia* media = nullptr;
};

class TKovaBaseList : public TKovaComponent {
 public:
  explicit TKovaBaseList(const TSceneRootParts& parts);
  // A root over `host` alone (nullptr: a scene without screen).
  explicit TKovaBaseList(TSceneHost* host = nullptr) : TKovaBaseList(TSceneRootParts{.host = host}) {}
  ~TKovaBaseList() override;

  TKovaBaseList* AsRoot() override { return this; }
  TSceneHost& SceneHost() const { return *host_; }
  // The makers of motion films and screen transitions (an empty slot when none were given).
  ISceneMakers& Makers() const { return *makers_; }
  TComponentFactory& Factory() { return *kinds_; }
  // The event queue the scene fills: its own, or the one it was given (the interpreter's).
  TTimerList& Events() { return *events_; }
  // What the root was given at construction (the film roots inside it are made with the same).
  const TSceneRootParts& Parts() const { return parts_; }

  // ---- The frame clock (set by the player before Process) ----
  // The host's text fields go by the same clock (their carets blink on it).
  void SetClock(int32_t game_clock, int32_t frame_delta) {
    game_clock_ = game_clock;
    frame_delta_ = frame_delta;
    host_->TextFields().SetTime(static_cast<uint32_t>(game_clock));
  }
  int32_t GameClock() const { return game_clock_; }
  int32_t FrameDelta() const { return frame_delta_; }

  // ---- Size and surfaces ----
  int32_t GetWidth() const override { return width_; }
  int32_t GetHeight() const override { return height_; }
  void SetWidth(int32_t v) override;
  void SetHeight(int32_t v) override;
  // The colour both layers clear their dirty rectangles with (below 0: no clearing).
  void SetColor(int32_t c) override;
  // The root container's drawing target: the screen's back surface (a film player's root: its own
  // root surface).
  virtual TCustomDIBX* DrawTarget();
  TCustomDIBX* GetDIB() const override { return const_cast<TKovaBaseList*>(this)->DrawTarget(); }
  TCustomDIBX* RootSurface() const;
  void FreeDIB() override;
  void RecreateDIB() override;
  void SetImageCacheMode(int32_t mode);
  // The parts given at construction (see TSceneRootParts).
  TCustomDIBX* PatternSurface() const { return parts_.pattern; }
  TWexaCollection* ImageCache() const { return parts_.image_cache; }
  int32_t ImageCacheMode() const;
  TTextImagePort* TextPictures() const { return parts_.text_pictures; }
  TParamCollection* Store() const { return parts_.store; }
  TFontPixelManager* GlyphCache() const { return parts_.glyph_cache; }
  TKovaNewHistory* History() const { return parts_.history; }
  TKovaReadList* ReadMarks() const { return parts_.read_marks; }

  // ---- Layers ----
  TKovaBase* Bases(int32_t i) const { return layers_[static_cast<size_t>(i & 1)].get(); }
  int32_t ActiveIndex() const { return active_index_; }
  TKovaBase* ActiveBase() const { return Bases(active_index_); }
  int32_t TransitionKind() const { return transition_kind_; }
  ISceneWipe* Transition() const { return transition_.get(); }
  TRect TransitionArea() const { return transition_area_; }
  // Makes layer `index` active, optionally through a transition; returns the transition.
  ISceneWipe* Flip(int32_t index, int32_t kind, int32_t length, int32_t position, bool restart, bool reverse);
  int32_t GetWipeLength() const { return transition_ ? transition_->GetLength() : 0; }
  void SetWipePosition(int32_t p) {
    if (transition_) transition_->SetPosition(p);
  }

  // ---- Components ----
  // At most this many components live at once; creating one more raises EListError.
  static constexpr int32_t kMaxComponents = 1000000;
  void SetComponentLimit(int32_t limit) { component_limit_ = limit; }
  int32_t GetComponentCount() const override { return int32_t(live_.size()); }
  // The i-th live component in creation order.
  TKovaObject* GetComponent(int32_t i) const override;
  // The place of a listed component among the live ones in creation order, or -1.
  int32_t IndexOfComponent(const TKovaObject* c) const;
  // True for a component in the list (the pointer need not be live: it is only compared).
  bool Contains(const TKovaObject* c) const { return c && live_.count(c) != 0; }
  // "" and "BASE0": the active layer; "BASE1" and "\x01": the other one; else the first component
  // of exactly that name (also a layer's full name); nullptr.
  TKovaObject* FindComponent(std::string_view name) const;
  // "": the active layer; "\x01": the other; the layers' full names: layer 0 and 1; else the
  // first control of that name; nullptr.
  TKovaControl* FindControl(std::string_view name) const;
  // True for the components and the two layers (the mouse step's liveness test).
  bool HasComponent(const TKovaObject* object) const;
  // The component or layer a handle names while it lives; nullptr once it was freed.
  TKovaObject* Resolve(TObjectHandle handle) const { return handles_.Resolve(handle); }
  // The handle of the component FindComponent finds by that name; the null handle when none.
  TObjectHandle FindHandle(std::string_view name) const;
  std::string ComponentName(const TKovaObject* object) const;
  // The first of prefix0, prefix1, ... that no child of `owner` holds.
  std::string UniqueName(const TKovaObject* owner, std::string_view prefix);
  // True when a component other than `except` owned by `owner` has that exact name.
  TKovaObject* FindChildNamed(const TKovaObject* owner, std::string_view name, const TKovaObject* except) const;
  // The first base_k (k >= start) that no child of `owner` holds: the new name of a child whose
  // name another one takes.
  std::string RenameCandidate(const TKovaObject* owner, const std::string& base, int64_t start);
  // Called by a listed component whose name changed from `old_name`.
  void NameChanged(TKovaObject* c, const std::string& old_name);
  // Adds to `names` the component names of that type (0: any) whose parent is `parent` (the root
  // container itself: any parent); the number added.
  int32_t GetComponentNames(std::vector<std::string>& names, uint8_t type, const TKovaObject* parent) const;
  // A new component of the type code, or nullptr when the code has no class; EListError when the
  // scene already holds its limit of components.
  TKovaObject* CreateComponent(uint8_t code);
  // Takes the component out of its parent and the list and frees it (and its child controls).
  void DeleteComponent(TKovaObject* c);
  TKovaList& ScrapList() { return scrap_list_; }

  int32_t AddChild(TKovaObject* c) override;
  void RemoveChild(TKovaObject* c) override;
  bool IsPendingDelete(const TKovaObject* c) const override;
  void ChildRemoved(TKovaObject* c) override;

  // ---- Keys ----
  bool GetKeyDown(int32_t k) const { return key_held_[k & 255] != 0; }
  void SetKeyDown(int32_t k, bool down);
  bool GetKeyPressed(int32_t k) const { return key_pressed_[k & 255] != 0; }
  void SetKeyPressed(int32_t k, bool v) { key_press_latch_[k & 255] = v; }
  bool GetKeyRepeat(int32_t k) const { return key_repeat_seen_[k & 255] != 0; }
  void ClearKeys();

  // ---- Focus ----
  TKovaControl* FocusControl() const { return focus_; }
  void SetFocusControl(TKovaControl* c);
  void RequestFocusRecalc(bool v) { focus_recalc_ = v; }
  bool FocusRecalcRequested() const { return focus_recalc_; }

  // ---- Media ----
  bool MediaEnabled() const { return media_enabled_; }
  void SetMediaEnabled(bool v);
  int32_t DisplayScale() const { return display_scale_; }
  void SetDisplayScale(int32_t v) { display_scale_ = v; }

  // ---- The frame ----
  // The input step: focus recalculation, latches, the active layer's mouse step, key events,
  // auto-repeat.
  void Process();
  // Updates the layers and every component; frees the finished and the scheduled ones.
  bool Update() override;
  // Draws both layers' dirty rectangles, then steps the running transition.
  void Draw() override;
  // Empties both layers' dirty lists (after the picture was presented).
  void EndFrame();

  // Frees every component, event and the layers and makes new, empty layers of the screen size.
  void Reset();
  // Scene save form: size, active layer, both layers' control trees, the non-visual components,
  // the event queue, the focused control's name.
  void SaveToStream(TStream& stream) const override;
  // Replaces the scene by the stream's. A malformed form (an unknown component code, a truncated
  // record) raises EReadError and leaves an empty scene of the same size.
  void LoadFromStream(TStream& stream, int32_t version) override;

  // Called by a control being freed: forgets it as focus, hover and scheduled deletion.
  void ForgetControl(const TKovaControl* c);

 protected:
  // A new layer (a film player's root makes film layers).
  virtual std::unique_ptr<TKovaBase> MakeLayer(std::string name);

 private:
  void MakeLayers();
  void FreeAll();
  // Closes the list's holes once they are at least half of it (never during the update pass).
  void CloseHoles();
  void LoadScene(TStream& stream, int32_t version);
  // The scene's one description, run by SaveToStream and LoadScene.
  template <class IO, class R>
  static void Transfer(IO& io, R& r);

  // The lookups the scene's own event queue resolves its targets with.
  class TNames : public TScenePort {
   public:
    explicit TNames(const TKovaBaseList& root) : root_(root) {}
    TKovaObject* FindComponent(std::string_view name) const override { return root_.FindComponent(name); }
    TObjectHandle FindHandle(std::string_view name) const override { return root_.FindHandle(name); }
    TKovaObject* Resolve(TObjectHandle handle) const override { return root_.Resolve(handle); }
    std::string ComponentName(const TKovaObject* object) const override { return root_.ComponentName(object); }

   private:
    const TKovaBaseList& root_;
  };

  const TSceneRootParts parts_;
  // The host of a list made without one: the base host, which answers "no such part" to all.
  TSceneHost no_host_;
  TSceneMakerSlot no_makers_;
  TSceneHost* host_;
  ISceneMakers* makers_;
  TNames names_{*this};
  // The kinds of a root given none: the scene's.
  std::unique_ptr<TComponentFactory> own_kinds_;
  TComponentFactory* kinds_;
  std::array<std::unique_ptr<TKovaBase>, 2> layers_;
  int32_t width_ = 0, height_ = 0;
  std::unique_ptr<TDIBX> root_surface_;
  int32_t transition_kind_ = 0;
  std::unique_ptr<ISceneWipe> transition_;
  TRect transition_area_;
  int32_t active_index_ = 0;
  // The handles of the components and the layers: issued as they join, retired as they leave.
  THandleTable<TKovaObject> handles_;
  TTimerList own_events_;
  TTimerList* events_;
  // The components in creation order. A removal leaves a hole (nullptr) so that no place moves;
  // the holes are closed up outside the update pass once they are many.
  std::vector<TKovaObject*> components_;
  size_t holes_ = 0;
  uint64_t next_serial_ = 1;
  std::unordered_set<const TKovaObject*> live_;
  TComponentNames names_index_;
  int32_t component_limit_ = kMaxComponents;
  // The components scheduled for deletion, in the order they were handed over.
  std::vector<TKovaObject*> deferred_;
  std::unordered_set<const TKovaObject*> deferred_set_;
  bool updating_ = false;
  TKovaList scrap_list_;
  std::array<uint8_t, 256> key_held_{}, key_press_latch_{}, key_pressed_{}, key_trigger_{}, key_repeat_seen_{};
  std::array<int32_t, 256> repeat_countdown_{};
  bool media_enabled_ = true;
  TKovaControl* focus_ = nullptr;
  bool focus_recalc_ = false;
  bool key_down_flag_ = false, key_up_flag_ = false, key_repeat_flag_ = false;
  int32_t display_scale_ = 100;
  int32_t game_clock_ = 0, frame_delta_ = 0;
};

}  // namespace kova
