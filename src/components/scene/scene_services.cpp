#include "components/scene/scene_services.h"

#include "components/scene/component_commands.h"
#include "components/scene/image_cache.h"
#include "components/scene/kova_base_list.h"
#include "components/scene/prop_dispatch.h"
#include "core/errors.h"
#include "graphics/dibx.h"

namespace kova {

bool TSceneServices::LClick() const { return root_.ActiveBase()->LeftClick; }
void TSceneServices::SetLClick(bool v) { root_.ActiveBase()->LeftClick = v; }
bool TSceneServices::RClick() const { return root_.ActiveBase()->RightClick; }
void TSceneServices::SetRClick(bool v) { root_.ActiveBase()->RightClick = v; }
bool TSceneServices::LPush() const { return root_.ActiveBase()->LeftHeld; }
bool TSceneServices::RPush() const { return root_.ActiveBase()->RightHeld; }
int32_t TSceneServices::MouseX() const { return root_.ActiveBase()->MousePos().X; }
int32_t TSceneServices::MouseY() const { return root_.ActiveBase()->MousePos().Y; }
void TSceneServices::SetCursorX(int32_t x) { root_.SceneHost().WarpPointer(TPoint{x, MouseY()}); }
void TSceneServices::SetCursorY(int32_t y) { root_.SceneHost().WarpPointer(TPoint{MouseX(), y}); }
bool TSceneServices::WheelDown() const { return root_.ActiveBase()->WheelDownClick; }
bool TSceneServices::WheelUp() const { return root_.ActiveBase()->WheelUpClick; }
bool TSceneServices::KeyDown(int32_t key) const { return key >= 0 && key < 256 && root_.GetKeyDown(key); }
bool TSceneServices::KeyPressed(int32_t key) const { return key >= 0 && key < 256 && root_.GetKeyPressed(key); }
bool TSceneServices::KeyRepeat(int32_t key) const { return key >= 0 && key < 256 && root_.GetKeyRepeat(key); }

bool TSceneServices::SoundOn() const { return root_.MediaEnabled(); }
void TSceneServices::SetSoundOn(bool v) { root_.SetMediaEnabled(v); }
bool TSceneServices::CGDither() const { return root_.ImageCacheMode() != 0; }
void TSceneServices::SetCGDither(bool v) { root_.SetImageCacheMode(v ? 1 : 0); }

void TSceneServices::SaveScene(TStream& stream) const { root_.SaveToStream(stream); }

void TSceneServices::LoadScene(TStream& stream, int32_t version) { root_.LoadFromStream(stream, version); }

bool TSceneServices::SaveLayerBitmap(const std::string& host_path) {
  TCustomDIBX* picture = root_.ActiveBase()->GetDIB();
  if (!picture || picture->IsEmpty()) return false;
  try {
    picture->SaveToFile(host_path);
    return true;
  } catch (const EKovaError&) {
    return false;
  }
}

TKovaObject* TSceneServices::FindComponent(std::string_view name) const {
  return name.empty() ? nullptr : root_.FindComponent(name);
}

TObjectHandle TSceneServices::FindHandle(std::string_view name) const {
  const TKovaObject* object = FindComponent(name);
  return object ? object->Handle() : TObjectHandle{};
}

TKovaObject* TSceneServices::Resolve(TObjectHandle handle) const { return root_.Resolve(handle); }

std::string TSceneServices::ComponentName(const TKovaObject* object) const { return root_.ComponentName(object); }

TKovaObject* TSceneServices::CreateComponent(int32_t type, std::string_view name, std::string_view parent) {
  TKovaObject* c = root_.CreateComponent(uint8_t(type));
  if (!c) return nullptr;
  if (!name.empty()) c->SetName(std::string(name));
  if (TKovaControl* control = c->AsControl()) {
    TKovaControl* p = parent.empty() ? nullptr : root_.FindControl(parent);
    control->SetParent(p ? p : root_.ActiveBase());
  }
  return c;
}

bool TSceneServices::DeleteComponent(std::string_view name) {
  if (name.empty()) return false;
  TKovaObject* c = root_.FindComponent(name);
  if (!c || !root_.Contains(c)) return false;
  c->RemoveFromOwner();
  return true;
}

TKovaObject* TSceneServices::RunComponentCommand(TComComponent& command, TCallMan& callman) {
  return kova::RunComponentCommand(root_, command, callman);
}

bool TSceneServices::SetPlayState(std::string_view name, int32_t state) {
  TKovaObject* c = name.empty() ? nullptr : root_.FindComponent(name);
  if (!c) return false;
  c->SetPlayState(state);
  return true;
}

void TSceneServices::ResetScene() { root_.Reset(); }

bool TSceneServices::SavePictureBitmap(std::string_view name, const std::string& host_path) {
  TWexaCollection* cache = root_.ImageCache();
  if (!cache || name.empty()) return false;
  TWexaItem* item = nullptr;
  bool written = false;
  try {
    item = cache->Acquire(this, name, false, false);
    if (item->GetFrameCount() > 0 && item->Width > 0) {
      item->Frame(0).Surface().SaveToFile(host_path);
      written = true;
    }
  } catch (const EKovaError&) {
    written = false;
  }
  if (item) item->Release(this);
  return written;
}

std::string TSceneServices::ActiveCompo() const {
  TKovaControl* focus = root_.FocusControl();
  return focus ? focus->GetName() : std::string();
}

void TSceneServices::FocusCompo(std::string_view name) {
  if (name.empty()) return;
  TKovaControl* c = root_.FindControl(name);
  if (c && !c->GetPaused() && c->GetVisible() && c->GetHandleKey()) root_.SetFocusControl(c);
}

bool TSceneServices::CompoExists(std::string_view name) const {
  return !name.empty() && root_.FindComponent(name) != nullptr;
}

int32_t TSceneServices::CompoType(std::string_view name) const {
  TKovaObject* c = root_.FindComponent(name);
  return c ? c->GetCompoType() : -1;
}

bool TSceneServices::GetProp(std::string_view name, int32_t id, TCustomParam& dest) {
  TKovaObject* c = root_.FindComponent(name);
  if (!c) return false;
  kova::GetProp(dest, *c, id);
  return true;
}

bool TSceneServices::SetProp(std::string_view name, int32_t id, const TCustomParam& value) {
  TKovaObject* c = root_.FindComponent(name);
  if (!c) return false;
  kova::SetProp(*c, id, value);
  return true;
}

bool TSceneServices::GetItemChecked(std::string_view name, int32_t index, bool& checked) {
  TKovaObject* c = root_.FindComponent(name);
  if (!c) return false;
  checked = c->GetItemChecked(index);
  return true;
}

bool TSceneServices::SetItemChecked(std::string_view name, int32_t index, bool checked) {
  TKovaObject* c = root_.FindComponent(name);
  if (!c) return false;
  c->SetItemChecked(index, checked);
  return true;
}

bool TSceneServices::GetItemEnabled(std::string_view name, int32_t index, bool& enabled) {
  TKovaObject* c = root_.FindComponent(name);
  if (!c) return false;
  enabled = c->GetItemEnabled(index);
  return true;
}

bool TSceneServices::SetItemEnabled(std::string_view name, int32_t index, bool enabled) {
  TKovaObject* c = root_.FindComponent(name);
  if (!c) return false;
  c->SetItemEnabled(index, enabled);
  return true;
}

bool TSceneServices::ScreenToClient(std::string_view name, TPoint& p) const {
  TKovaObject* c = root_.FindComponent(name);
  if (!c) return false;
  p = c->ScreenToClient(p);
  return true;
}

bool TSceneServices::ClientToScreen(std::string_view name, TPoint& p) const {
  TKovaObject* c = root_.FindComponent(name);
  if (!c) return false;
  p = c->ClientToScreen(p);
  return true;
}

std::vector<std::string> TSceneServices::ComponentNames(int32_t type, std::optional<std::string_view> parent) const {
  std::vector<std::string> names;
  const uint8_t code = uint8_t(type);
  const uint8_t wanted = code > 27 ? 0 : code;
  const TKovaObject* p = &root_;
  if (parent) p = root_.FindComponent(*parent);
  root_.GetComponentNames(names, wanted, p);
  return names;
}

bool TSceneServices::InPrimary(std::string_view name) const {
  if (name.empty()) return false;
  TKovaControl* c = root_.FindControl(name);
  return c && c->GetBase() == root_.ActiveBase() && !c->IsInCabinet();
}

}  // namespace kova
