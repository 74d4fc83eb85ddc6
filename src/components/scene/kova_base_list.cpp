#include "components/scene/kova_base_list.h"

#include <algorithm>
#include <string>

#include "components/scene/image_cache.h"
#include "components/scene/scene_subsystem.h"
#include "core/errors.h"
#include "core/record_io.h"
#include "core/stream_records.h"
#include "core/vocabulary.h"
#include "graphics/dibx.h"

namespace kova {

TKovaBaseList::TKovaBaseList(const TSceneRootParts& parts)
    : TKovaComponent(nullptr),
      parts_(parts),
      host_(parts.host ? parts.host : &no_host_),
      makers_(parts.makers ? parts.makers : &no_makers_),
      kinds_(parts.kinds),
      root_surface_(std::make_unique<TDIBX>()),
      own_events_(&names_),
      events_(parts.events ? parts.events : &own_events_) {
  if (!kinds_) {
    own_kinds_ = std::make_unique<TComponentFactory>();
    RegisterSceneKinds(*own_kinds_);
    kinds_ = own_kinds_.get();
  }
  MakeLayers();
}

TKovaBaseList::~TKovaBaseList() { FreeAll(); }

void TKovaBaseList::MakeLayers() {
  layers_[0] = MakeLayer(kBase0Name);
  layers_[1] = MakeLayer(kBase1Name);
  for (auto& layer : layers_) layer->handle_ = handles_.Issue(layer.get());
}

std::unique_ptr<TKovaBase> TKovaBaseList::MakeLayer(std::string name) {
  return std::make_unique<TKovaBase>(this, std::move(name));
}

void TKovaBaseList::FreeAll() {
  transition_.reset();
  focus_ = nullptr;
  // The layers free the controls of their trees; what is left has no parent.
  for (auto& layer : layers_) {
    if (layer) handles_.Retire(layer->handle_);
    layer.reset();
  }
  events_->Clear();
  while (!components_.empty()) {
    TKovaObject* c = components_.back();
    if (c) {
      DeleteComponent(c);
    } else {
      components_.pop_back();
      --holes_;
    }
  }
  holes_ = 0;
  names_index_.Clear();
  deferred_.clear();
  deferred_set_.clear();
  scrap_list_.Clear();
  focus_ = nullptr;
  focus_recalc_ = false;
}

// ---- Size and surfaces ----

void TKovaBaseList::SetWidth(int32_t v) {
  if (v == width_) return;
  width_ = v;
  if (SceneSurfaceSizeAllowed(width_, height_)) root_surface_->SetSize(width_, height_, host_->ScreenBitCount());
  for (auto& layer : layers_) {
    if (layer) layer->SetWidth(v);
  }
}

void TKovaBaseList::SetHeight(int32_t v) {
  if (v == height_) return;
  height_ = v;
  if (SceneSurfaceSizeAllowed(width_, height_)) root_surface_->SetSize(width_, height_, host_->ScreenBitCount());
  for (auto& layer : layers_) {
    if (layer) layer->SetHeight(v);
  }
}

void TKovaBaseList::SetColor(int32_t c) {
  for (auto& layer : layers_) layer->SetColor(c);
}

TCustomDIBX* TKovaBaseList::DrawTarget() { return host_->ScreenSurface(); }

TCustomDIBX* TKovaBaseList::RootSurface() const { return root_surface_.get(); }

void TKovaBaseList::FreeDIB() {
  root_surface_->ReleaseSurface();
  for (auto& layer : layers_) layer->FreeDIB();
  for (TKovaObject* c : std::vector<TKovaObject*>(components_)) {
    if (c && Contains(c)) c->FreeDIB();
  }
  if (parts_.image_cache) parts_.image_cache->FreeDIBs();
}

void TKovaBaseList::RecreateDIB() {
  if (SceneSurfaceSizeAllowed(width_, height_)) root_surface_->SetSize(width_, height_, host_->ScreenBitCount());
  if (parts_.image_cache) parts_.image_cache->RecreateDIBs();
  for (auto& layer : layers_) layer->RecreateDIB();
  for (TKovaObject* c : std::vector<TKovaObject*>(components_)) {
    if (c && Contains(c)) c->RecreateDIB();
  }
}

int32_t TKovaBaseList::ImageCacheMode() const {
  return parts_.image_cache ? parts_.image_cache->CacheMode() : host_->ImageCacheMode();
}

void TKovaBaseList::SetImageCacheMode(int32_t mode) {
  if (mode == ImageCacheMode()) return;
  if (parts_.image_cache) {
    parts_.image_cache->SetCacheMode(uint8_t(mode));
  } else {
    host_->SetImageCacheMode(mode);
  }
  for (auto& layer : layers_) layer->InvalidateAll();
}

// ---- Layers ----

ISceneWipe* TKovaBaseList::Flip(int32_t index, int32_t kind, int32_t length, int32_t position, bool restart,
                                bool reverse) {
  active_index_ = index & 1;
  if (restart) {
    transition_.reset();
    for (auto& layer : layers_) layer->InvalidateAll();
    if (kind != WP_NONE) {
      TCustomDIBX* shown = DrawTarget();
      // Layer `index` is the picture shown at position 0: it starts from what the screen shows.
      TKovaBase* start = ActiveBase();
      TKovaBase* other = Bases(active_index_ ^ 1);
      if (shown && start->Surface() && other->Surface()) {
        if (start->Surface() != shown) start->Surface()->Assign(*shown);
        transition_ = makers_->CreateWipe(kind, *shown, *start->Surface(), *other->Surface(), length, reverse);
      }
    }
    // No focused control is none on the new active layer either: the focus is looked for there.
    if (!focus_ || focus_->GetBase() != ActiveBase()) {
      focus_ = nullptr;
      focus_recalc_ = true;
    }
  }
  transition_kind_ = kind;
  if (transition_) transition_->SetPosition(position);
  return transition_.get();
}

// ---- Components ----

TKovaObject* TKovaBaseList::GetComponent(int32_t i) const {
  if (i < 0 || i >= GetComponentCount()) return nullptr;
  if (holes_ == 0) return components_[static_cast<size_t>(i)];
  for (TKovaObject* c : components_) {
    if (c && i-- == 0) return c;
  }
  return nullptr;
}

int32_t TKovaBaseList::IndexOfComponent(const TKovaObject* c) const {
  if (!Contains(c)) return -1;
  if (holes_ == 0) return int32_t(c->root_slot_);
  return int32_t(std::count_if(components_.begin(), components_.begin() + std::ptrdiff_t(c->root_slot_),
                               [](const TKovaObject* o) { return o != nullptr; }));
}

TKovaObject* TKovaBaseList::CreateComponent(uint8_t code) {
  if (GetComponentCount() >= component_limit_) Raise<EListError>(TMsg::TooManyComponents, int(component_limit_));
  return kinds_->Create(this, code);
}

TKovaObject* TKovaBaseList::FindComponent(std::string_view name) const {
  if (name.empty() || name == "BASE0") return ActiveBase();
  if (name == "BASE1" || name == "\x01") return Bases(active_index_ ^ 1);
  if (name == kBase0Name) return Bases(0);
  if (name == kBase1Name) return Bases(1);
  const auto* holders = names_index_.Holders(name);
  return holders ? holders->begin()->second : nullptr;
}

TKovaControl* TKovaBaseList::FindControl(std::string_view name) const {
  if (name.empty()) return ActiveBase();
  if (name == "\x01") return Bases(active_index_ ^ 1);
  if (name == kBase0Name) return Bases(0);
  if (name == kBase1Name) return Bases(1);
  if (const auto* holders = names_index_.Holders(name)) {
    for (const auto& [serial, c] : *holders) {
      if (TKovaControl* control = c->AsControl()) return control;
    }
  }
  return nullptr;
}

bool TKovaBaseList::HasComponent(const TKovaObject* object) const {
  return object && (object == layers_[0].get() || object == layers_[1].get() || Contains(object));
}

std::string TKovaBaseList::ComponentName(const TKovaObject* object) const { return object->GetName(); }

TObjectHandle TKovaBaseList::FindHandle(std::string_view name) const {
  const TKovaObject* object = FindComponent(name);
  return object ? object->handle_ : TObjectHandle{};
}

TKovaObject* TKovaBaseList::FindChildNamed(const TKovaObject* owner, std::string_view name,
                                           const TKovaObject* except) const {
  if (const auto* holders = names_index_.Holders(name)) {
    for (const auto& [serial, c] : *holders) {
      if (c != except && c->Owner() == owner) return c;
    }
  }
  return nullptr;
}

// Every component is the root container's own, so the index's hints hold for the one owner.
std::string TKovaBaseList::UniqueName(const TKovaObject* owner, std::string_view prefix) {
  const auto held = [&](const std::string& n) { return FindChildNamed(owner, n, nullptr) != nullptr; };
  return std::string(prefix) + std::to_string(names_index_.FirstFreeNumber(prefix, held));
}

std::string TKovaBaseList::RenameCandidate(const TKovaObject* owner, const std::string& base, int64_t start) {
  const auto held = [&](const std::string& n) { return FindChildNamed(owner, n, nullptr) != nullptr; };
  return base + "_" + std::to_string(names_index_.FirstFreeCounter(base, start, held));
}

void TKovaBaseList::NameChanged(TKovaObject* c, const std::string& old_name) {
  names_index_.Remove(c, c->root_serial_, old_name);
  names_index_.Add(c, c->root_serial_, c->GetName());
}

int32_t TKovaBaseList::GetComponentNames(std::vector<std::string>& names, uint8_t type,
                                         const TKovaObject* parent) const {
  int32_t added = 0;
  for (TKovaObject* c : components_) {
    if (!c) continue;
    if (type != 0 && c->GetCompoType() != type) continue;
    if (parent != this && c->GetParent() != parent) continue;
    names.push_back(c->GetName());
    ++added;
  }
  return added;
}

void TKovaBaseList::DeleteComponent(TKovaObject* c) {
  if (!c) return;
  if (TKovaControl* parent = c->GetParent()) parent->RemoveControl(c->AsControl());
  RemoveChild(c);
  delete c;
}

int32_t TKovaBaseList::AddChild(TKovaObject* c) {
  c->root_slot_ = components_.size();
  c->root_serial_ = next_serial_++;
  components_.push_back(c);
  live_.insert(c);
  c->handle_ = handles_.Issue(c);
  names_index_.Add(c, c->root_serial_, c->GetName());
  return int32_t(c->root_slot_);
}

void TKovaBaseList::RemoveChild(TKovaObject* c) {
  if (!live_.erase(c)) return;
  names_index_.Remove(c, c->root_serial_, c->GetName());
  components_[c->root_slot_] = nullptr;
  c->root_serial_ = 0;
  handles_.Retire(c->handle_);
  // A scheduled deletion of a component freed another way must not reach a later one that is
  // given the same address.
  deferred_set_.erase(c);
  ++holes_;
  CloseHoles();
}

void TKovaBaseList::CloseHoles() {
  if (updating_ || holes_ < 64 || holes_ * 2 < components_.size()) return;
  size_t n = 0;
  for (TKovaObject* c : components_) {
    if (!c) continue;
    c->root_slot_ = n;
    components_[n++] = c;
  }
  components_.resize(n);
  holes_ = 0;
}

bool TKovaBaseList::IsPendingDelete(const TKovaObject* c) const {
  return !deferred_set_.empty() && deferred_set_.count(c) != 0;
}

void TKovaBaseList::ChildRemoved(TKovaObject* c) {
  if (deferred_set_.insert(c).second) deferred_.push_back(c);
}

void TKovaBaseList::ForgetControl(const TKovaControl* c) {
  if (focus_ == c) {
    focus_ = nullptr;
    focus_recalc_ = true;
  }
  for (auto& layer : layers_) {
    if (layer) layer->ForgetHover(c);
  }
  scrap_list_.Remove(c);
  // The list keeps its entry; the pass over it skips what the set no longer holds.
  deferred_set_.erase(c);
}

// ---- Keys ----

void TKovaBaseList::SetKeyDown(int32_t k, bool down) {
  const size_t i = size_t(k & 255);
  if ((key_held_[i] != 0) == down) return;
  key_held_[i] = down;
  key_trigger_[i] = down;
  if (down) {
    repeat_countdown_[i] = kRepeatDelay;
    key_down_flag_ = key_repeat_flag_ = true;
  } else {
    key_up_flag_ = true;
  }
}

void TKovaBaseList::ClearKeys() {
  key_held_.fill(0);
  key_press_latch_.fill(0);
  key_trigger_.fill(0);
  repeat_countdown_.fill(0);
  key_down_flag_ = key_up_flag_ = key_repeat_flag_ = false;
}

// ---- Focus ----

void TKovaBaseList::SetFocusControl(TKovaControl* c) {
  if (c == focus_) return;
  TKovaControl* old = focus_;
  if (old && Contains(old) && !old->GetName().empty() && !old->GetEventLock()) {
    const std::string handler = old->GetOnFocusOut();
    if (!handler.empty()) events_->AddEvent(old->Handle(), handler, nullptr, PR_ONFOCUSOUT);
  }
  focus_ = c;
  if (c && !c->GetEventLock()) {
    const std::string handler = c->GetOnFocusIn();
    if (!handler.empty()) events_->AddEvent(c->Handle(), handler, nullptr, PR_ONFOCUSIN);
  }
  focus_recalc_ = false;
  if (c) c->SyncNative();
}

void TKovaBaseList::SetMediaEnabled(bool v) {
  media_enabled_ = v;
  host_->SetMediaEnabled(v);
  if (parts_.media) parts_.media->SetMediaEnabled(v);
}

// ---- The frame ----

void TKovaBaseList::Process() {
  if (focus_recalc_) {
    SetFocusControl(ActiveBase()->FindKeyControl());
    focus_recalc_ = false;
  }
  key_pressed_ = key_press_latch_;
  key_press_latch_.fill(0);
  key_repeat_seen_ = key_trigger_;
  ActiveBase()->MouseStep();
  if (focus_ && focus_->GetHandleKey()) {
    // A handler of a kind may free the focused control: ForgetControl clears focus_ then.
    if (key_down_flag_ && focus_) focus_->KeyDown(0);
    if (key_repeat_flag_ && focus_) focus_->KeyRepeat(0);
    if (key_up_flag_ && focus_) focus_->KeyUp(0);
  }
  key_down_flag_ = key_up_flag_ = key_repeat_flag_ = false;
  for (size_t k = 0; k < 256; ++k) {
    if (!key_held_[k]) continue;
    repeat_countdown_[k] -= frame_delta_;
    key_trigger_[k] = repeat_countdown_[k] < 1;
    if (key_trigger_[k]) {
      repeat_countdown_[k] += kRepeatInterval;
      key_repeat_flag_ = true;
    }
  }
}

bool TKovaBaseList::Update() {
  for (auto& layer : layers_) layer->Update();
  updating_ = true;
  // Components made during the pass join it; removed ones leave holes, so no place moves.
  for (size_t i = 0; i < components_.size(); ++i) {
    TKovaObject* c = components_[i];
    if (!c) continue;
    const bool in_cabinet = c->IsInCabinet();
    const std::string idle = c->GetOnIdle();
    if (!idle.empty() && !in_cabinet && !c->GetEventLock() && events_->IndexOfEvent(c->Handle(), PR_ONIDLE) < 0) {
      events_->AddEvent(c->Handle(), idle, nullptr, PR_ONIDLE);
    }
    if (!c->GetPaused() && !IsPendingDelete(c) && !in_cabinet && c->Update()) {
      if (Contains(c)) DeleteComponent(c);
    }
  }
  updating_ = false;
  const std::vector<TKovaObject*> scheduled = std::move(deferred_);
  deferred_.clear();
  for (TKovaObject* c : scheduled) {
    // An entry whose component was freed meanwhile has left the set.
    if (deferred_set_.erase(c) && Contains(c)) DeleteComponent(c);
  }
  CloseHoles();
  return false;
}

void TKovaBaseList::Draw() {
  transition_area_ = TRect{};
  layers_[0]->Draw();
  layers_[1]->Draw();
  if (transition_) {
    transition_->Step();
    transition_area_ = transition_->UpdateArea();
  }
}

void TKovaBaseList::EndFrame() {
  for (auto& layer : layers_) layer->DirtyList().Clear();
}

// ---- Reset, save and load ----

void TKovaBaseList::Reset() {
  const int32_t w = width_, h = height_;
  FreeAll();
  MakeLayers();
  width_ = height_ = 0;
  SetWidth(w);
  SetHeight(h);
  const TPoint pointer = host_->PointerPosition();
  for (auto& layer : layers_) layer->SetMousePos(pointer);
}

// The smallest record of a non-visual component: its code (1), name and priority (8).
constexpr int64_t kMinComponentBytes = 1 + 8;

template <class IO, class R>
void TKovaBaseList::Transfer(IO& io, R& r) {
  int32_t w = r.width_, h = r.height_;
  io.Int(w);
  io.Int(h);
  int32_t active = r.active_index_;
  if constexpr (IO::kLoading) {
    // A size no screen has: refusing it keeps a corrupt save from asking for gigabytes of surface.
    if (w < 0 || h < 0 || (w > 0 && h > 0 && !SceneSurfaceSizeAllowed(w, h))) Raise<EReadError>(TMsg::StreamReadError);
    r.SetWidth(w);
    r.SetHeight(h);
  }
  io.Int(active);
  if constexpr (IO::kLoading) {
    if (active != 0 && active != 1) Raise<EReadError>(TMsg::StreamReadError);
    r.active_index_ = active;
  }
  io.Versioned(*r.layers_[0]);
  io.Versioned(*r.layers_[1]);
  // The non-visual components: a count, then the code and record of each.
  if constexpr (IO::kLoading) {
    for (auto& layer : r.layers_) layer->InvalidateAll();
    int32_t count = 0;
    io.Count(count, kMinComponentBytes);
    for (int32_t i = 0; i < count; ++i) {
      uint8_t code = 0;
      io.Byte(code);
      TKovaObject* c = r.CreateComponent(code);
      if (!c) Raise<EReadError>(TMsg::StreamReadError);
      io.Versioned(*c);
    }
  } else {
    std::vector<const TKovaObject*> saved;
    for (const TKovaObject* c : r.components_) {
      if (!c || c->AsControl() || r.IsPendingDelete(c) || c->GetCompoType() == KT_NONE) continue;
      if (!IsInternalName(c->GetName())) saved.push_back(c);
    }
    io.Count(int32_t(saved.size()), kMinComponentBytes);
    for (const TKovaObject* c : saved) {
      io.Byte(c->GetCompoType());
      io.Versioned(*c);
    }
  }
  io.Versioned(*r.events_);
  // The focus, by name.
  if (io.Since(119)) {
    std::string focus = r.focus_ ? r.focus_->GetName() : std::string();
    io.Str(focus);
    if constexpr (IO::kLoading) {
      if (TKovaControl* c = focus.empty() ? nullptr : r.FindControl(focus)) {
        r.focus_ = c;
        c->SyncNative();
        r.focus_recalc_ = false;
      }
    }
  }
}

void TKovaBaseList::SaveToStream(TStream& stream) const {
  TRecordSaver io(stream);
  Transfer(io, *this);
}

void TKovaBaseList::LoadFromStream(TStream& stream, int32_t version) {
  const int32_t w = width_, h = height_;
  try {
    LoadScene(stream, version);
  } catch (...) {
    // Nothing half-loaded stays: the scene is empty, of the size it had.
    FreeAll();
    MakeLayers();
    width_ = height_ = 0;
    SetWidth(w);
    SetHeight(h);
    throw;
  }
}

void TKovaBaseList::LoadScene(TStream& stream, int32_t version) {
  Reset();
  TRecordLoader io(stream, version);
  Transfer(io, *this);
}

}  // namespace kova
