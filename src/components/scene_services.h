// What the script engine asks of the scene (system variables and functions over components,
// pointer, keys and focus), answered from a root container. The player's script host forwards
// its scene and input operations here; names are looked up as the root container's
// FindComponent finds them, and an operation on a name no component holds answers false (or the
// stated value) and changes nothing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/types.h"

namespace kova {

class TCustomParam;
class TKovaBaseList;
class TKovaObject;

class TSceneServices {
 public:
  explicit TSceneServices(TKovaBaseList& root) : root_(root) {}

  // ---- Pointer and keys (the active layer and the key tables) ----
  bool LClick() const;
  void SetLClick(bool v);
  bool RClick() const;
  void SetRClick(bool v);
  // The buttons held, on the active layer.
  bool LPush() const;
  bool RPush() const;
  int32_t MouseX() const;
  int32_t MouseY() const;
  bool WheelDown() const;
  bool WheelUp() const;
  bool KeyDown(int32_t key) const;
  bool KeyPressed(int32_t key) const;
  bool KeyRepeat(int32_t key) const;

  // ---- Root container ----
  bool SoundOn() const;
  void SetSoundOn(bool v);
  // The picture cache mode.
  bool CGDither() const;
  void SetCGDither(bool v);
  // Saves the active layer's picture as a BMP file at a host path; true when written.
  bool SaveLayerBitmap(const std::string& host_path);
  // The focused control's name, empty when none.
  std::string ActiveCompo() const;
  // Focuses the named control when it exists, is not paused, is visible and takes keys.
  void FocusCompo(std::string_view name);

  // ---- Components ----
  // The component of that name, or nullptr (also for the empty name).
  TKovaObject* FindComponent(std::string_view name) const;
  bool HasComponent(const TKovaObject* object) const;
  std::string ComponentName(const TKovaObject* object) const;
  // A new component of type code `type` named `name` (an automatic name when empty); a control
  // goes inside the control `parent` names, the active layer when none has that name. nullptr
  // when the type has no class.
  TKovaObject* CreateComponent(int32_t type, std::string_view name, std::string_view parent);
  // The named component leaves its owner and loses its name; the update pass frees it. False for
  // an empty name, a layer, or no such component.
  bool DeleteComponent(std::string_view name);
  bool CompoExists(std::string_view name) const;
  // The KT_ code; -1 when there is no such component.
  int32_t CompoType(std::string_view name) const;
  // GetProp / SetProp of the named component (the property dispatch's errors pass through).
  bool GetCompoProp(std::string_view name, int32_t id, TCustomParam& dest) const;
  bool SetCompoProp(std::string_view name, int32_t id, const TCustomParam& value);
  bool GetItemChecked(std::string_view name, int32_t index, bool& checked) const;
  bool SetItemChecked(std::string_view name, int32_t index, bool checked);
  bool GetItemEnabled(std::string_view name, int32_t index, bool& enabled) const;
  bool SetItemEnabled(std::string_view name, int32_t index, bool enabled);
  bool ScreenToClient(std::string_view name, TPoint& p) const;
  bool ClientToScreen(std::string_view name, TPoint& p) const;
  // The names of the components of `type` (0: any) whose parent is the one `parent` names;
  // without `parent` any parent; a parent name no component holds: the components without parent.
  std::vector<std::string> ComponentNames(int32_t type, std::optional<std::string_view> parent) const;
  // True when the named control lies on the active layer and not inside a cabinet.
  bool InPrimary(std::string_view name) const;

 private:
  TKovaBaseList& root_;
};

}  // namespace kova
