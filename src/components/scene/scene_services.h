// What the script engine asks of the scene (system variables and functions over components,
// pointer, keys and focus), answered from a root container: the session gives it to the script
// engine as its scene and input ports; names are looked up as the root container's
// FindComponent finds them, and an operation on a name no component holds answers false (or the
// stated value) and changes nothing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/types.h"
#include "script/input_port.h"
#include "script/scene_port.h"

namespace kova {

class TCustomParam;
class TKovaBaseList;
class TKovaObject;

class TSceneServices : public TScenePort, public TInputPort {
 public:
  explicit TSceneServices(TKovaBaseList& root) : root_(root) {}
  TKovaBaseList& Root() const { return root_; }

  // ---- Pointer and keys (the active layer and the key tables) ----
  bool LClick() const override;
  void SetLClick(bool v) override;
  bool RClick() const override;
  void SetRClick(bool v) override;
  // The buttons held, on the active layer.
  bool LPush() const override;
  bool RPush() const override;
  int32_t MouseX() const override;
  int32_t MouseY() const override;
  // Moves the pointer through the scene's host, keeping the other coordinate.
  void SetCursorX(int32_t x) override;
  void SetCursorY(int32_t y) override;
  bool WheelDown() const override;
  bool WheelUp() const override;
  bool KeyDown(int32_t key) const override;
  bool KeyPressed(int32_t key) const override;
  bool KeyRepeat(int32_t key) const override;

  // ---- Root container ----
  bool SoundOn() const override;
  void SetSoundOn(bool v) override;
  // The picture cache mode.
  bool CGDither() const override;
  void SetCGDither(bool v) override;
  // The root container's save form.
  void SaveScene(TStream& stream) const override;
  void LoadScene(TStream& stream, int32_t version) override;
  // Saves the active layer's picture as a BMP file at a host path; true when written.
  bool SaveLayerBitmap(const std::string& host_path) override;
  // The focused control's name, empty when none.
  std::string ActiveCompo() const override;
  // Focuses the named control when it exists, is not paused, is visible and takes keys.
  void FocusCompo(std::string_view name) override;

  // ---- Components ----
  // The component of that name, or nullptr (also for the empty name).
  TKovaObject* FindComponent(std::string_view name) const override;
  // The handle of the component FindComponent finds; the null handle when none.
  TObjectHandle FindHandle(std::string_view name) const override;
  TKovaObject* Resolve(TObjectHandle handle) const override;
  std::string ComponentName(const TKovaObject* object) const override;
  // A new component of type code `type` named `name` (an automatic name when empty); a control
  // goes inside the control `parent` names, the active layer when none has that name. nullptr
  // when the type has no class.
  TKovaObject* CreateComponent(int32_t type, std::string_view name, std::string_view parent) override;
  // The named component leaves its owner and loses its name; the update pass frees it. False for
  // an empty name, a layer, or no such component.
  bool DeleteComponent(std::string_view name) override;
  // Creates the command's component through the factory and applies its properties.
  TKovaObject* RunComponentCommand(TComComponent& command, TCallMan& callman) override;
  bool SetPlayState(std::string_view name, int32_t state) override;
  void ResetScene() override;
  // The first frame of the named picture, through the image cache, as a BMP file.
  bool SavePictureBitmap(std::string_view name, const std::string& host_path) override;
  // ---- Message windows ----
  TObjectHandle InsertMessageText(std::string_view window, std::string_view page_file, int32_t command_index,
                                  bool record) override;
  TObjectHandle FindMessageWindow(std::string_view name) const override;
  int32_t MessagePageCount(TObjectHandle window) const override;
  bool ClearMessage(std::string_view window) override;
  bool RecallHistory(std::string_view window, int32_t first, int32_t count, bool flag) override;
  bool CompoExists(std::string_view name) const;
  // The KT_ code; -1 when there is no such component.
  int32_t CompoType(std::string_view name) const override;
  // GetProp / SetProp of the named component (the property dispatch's errors pass through).
  bool GetProp(std::string_view name, int32_t id, TCustomParam& dest) override;
  bool SetProp(std::string_view name, int32_t id, const TCustomParam& value) override;
  bool GetItemChecked(std::string_view name, int32_t index, bool& checked) override;
  bool SetItemChecked(std::string_view name, int32_t index, bool checked) override;
  bool GetItemEnabled(std::string_view name, int32_t index, bool& enabled) override;
  bool SetItemEnabled(std::string_view name, int32_t index, bool enabled) override;
  bool ScreenToClient(std::string_view name, TPoint& p) const override;
  bool ClientToScreen(std::string_view name, TPoint& p) const override;
  // The names of the components of `type` (0: any) whose parent is the one `parent` names;
  // without `parent` any parent; a parent name no component holds: the components without parent.
  std::vector<std::string> ComponentNames(int32_t type, std::optional<std::string_view> parent) const override;
  // True when the named control lies on the active layer and not inside a cabinet.
  bool InPrimary(std::string_view name) const override;

 private:
  TKovaBaseList& root_;
};

}  // namespace kova
