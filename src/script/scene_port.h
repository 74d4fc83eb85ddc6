// The scene as the script engine sees it: the root container and its components. The component
// system implements this port; the interpreter, the event queue and the system functions reach
// components only through it. Every operation has a default that stands for "no scene": no
// component exists, nothing is created, every lookup fails and nothing changes.
//
// Components are named as the root container's FindComponent finds them (the two screen layers
// included); an operation on a name that no component holds answers false (or the stated value)
// and changes nothing. What the script keeps across frames (event targets, the sender) names a
// component by the handle the scene issued when it made it: a freed component's handles resolve
// to nothing. Main thread only.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/object_handle.h"
#include "core/stream.h"
#include "core/types.h"

namespace kova {

class TCallMan;
class TComComponent;
class TCustomParam;
class TKovaObject;

class TScenePort {
 public:
  virtual ~TScenePort() = default;

  // ---- finding components ----
  // The component of that name, or nullptr (also for the empty name).
  virtual TKovaObject* FindComponent(std::string_view /*name*/) const { return nullptr; }
  // The handle of the component FindComponent finds by that name; the null handle when none.
  virtual TObjectHandle FindHandle(std::string_view /*name*/) const { return {}; }
  // The component a handle names while it lives (one of the root container's components or
  // layers); nullptr for the null handle and once the component was freed.
  virtual TKovaObject* Resolve(TObjectHandle /*handle*/) const { return nullptr; }
  // The component's name (only asked for objects that Resolve returned).
  virtual std::string ComponentName(const TKovaObject* /*object*/) const { return {}; }
  // The component's KT_ type code; -1 when there is none.
  virtual int32_t CompoType(std::string_view /*name*/) const { return -1; }
  // The names of the components, in list order, whose type code is `type` (0: any) and whose
  // parent is the component `parent` names; without `parent` any parent is accepted; a parent
  // name that no component holds selects the components without a parent.
  virtual std::vector<std::string> ComponentNames(int32_t /*type*/, std::optional<std::string_view> /*parent*/) const {
    return {};
  }
  // True when the named control lies on the active screen layer and is not inside a cabinet.
  virtual bool InPrimary(std::string_view /*name*/) const { return false; }

  // ---- creating and deleting ----
  // A new component of type code `type` named `name` inside the component `parent` names (the
  // active layer when none has that name); nullptr when the scene cannot make one.
  virtual TKovaObject* CreateComponent(int32_t /*type*/, std::string_view /*name*/, std::string_view /*parent*/) {
    return nullptr;
  }
  // Frees the named component and its children; false when there is none.
  virtual bool DeleteComponent(std::string_view /*name*/) { return false; }
  // Runs a creating command: a new component of the command's kind in the active layer (or the
  // control its parent expression names), with the properties the command's expressions give.
  // nullptr when the kind has no class (yet).
  virtual TKovaObject* RunComponentCommand(TComComponent& /*command*/, TCallMan& /*callman*/) { return nullptr; }
  // Sets the named component's play state; false when there is no such component.
  virtual bool SetPlayState(std::string_view /*name*/, int32_t /*state*/) { return false; }
  // Frees every component and queued event and makes two new, empty screen layers.
  virtual void ResetScene() {}

  // ---- properties by id ----
  // Reads property `id` into `dest` (through dest's typed setters), respectively writes `value`
  // into it, as the property dispatch does.
  virtual bool GetProp(std::string_view /*name*/, int32_t /*id*/, TCustomParam& /*dest*/) { return false; }
  virtual bool SetProp(std::string_view /*name*/, int32_t /*id*/, const TCustomParam& /*value*/) { return false; }
  // The ItemChecked and ItemEnabled accessor pairs of item `index`.
  virtual bool GetItemChecked(std::string_view, int32_t /*index*/, bool& /*checked*/) { return false; }
  virtual bool SetItemChecked(std::string_view, int32_t /*index*/, bool /*checked*/) { return false; }
  virtual bool GetItemEnabled(std::string_view, int32_t /*index*/, bool& /*enabled*/) { return false; }
  virtual bool SetItemEnabled(std::string_view, int32_t /*index*/, bool /*enabled*/) { return false; }
  // The index of the item named `item` (with regard to case) of the named preview menu; -1 when
  // it has none.
  virtual int32_t PrevMenuItemIndex(std::string_view /*menu*/, std::string_view /*item*/) const { return -1; }
  // Converts a point between screen and the component's client coordinates.
  virtual bool ScreenToClient(std::string_view, TPoint&) const { return false; }
  virtual bool ClientToScreen(std::string_view, TPoint&) const { return false; }

  // ---- focus ----
  // The focused control's name, empty when none.
  virtual std::string ActiveCompo() const { return {}; }
  // Gives the key focus to the named control when it exists, is not paused, is visible and takes
  // keys; otherwise nothing.
  virtual void FocusCompo(std::string_view) {}

  // ---- the root container's settings ----
  // The picture cache mode.
  virtual bool CGDither() const { return false; }
  virtual void SetCGDither(bool) {}
  // The media enable flag; setting it pauses or resumes all media.
  virtual bool SoundOn() const { return true; }
  virtual void SetSoundOn(bool) {}

  // ---- message windows ----
  // The text-insert command: when `window` names a message window, it shows text command
  // `command_index` of page file `page_file` (its pages noted for the history and the read marks
  // when `record`) from its first page, and its handle is returned; the null handle otherwise.
  virtual TObjectHandle InsertMessageText(std::string_view /*window*/, std::string_view /*page_file*/,
                                          int32_t /*command_index*/, bool /*record*/) {
    return {};
  }
  // The handle of the message window of that name; the null handle when there is none.
  virtual TObjectHandle FindMessageWindow(std::string_view /*name*/) const { return {}; }
  // The number of pages `window` shows; 0 once it was freed.
  virtual int32_t MessagePageCount(TObjectHandle /*window*/) const { return 0; }
  // Empties the named message window (its history mark cleared); false when there is none.
  virtual bool ClearMessage(std::string_view /*window*/) { return false; }
  // Shows the history range [first, first + count) in the named message window with the recall
  // flag; false when the name names no message window.
  virtual bool RecallHistory(std::string_view /*window*/, int32_t /*first*/, int32_t /*count*/, bool /*flag*/) {
    return false;
  }

  // ---- game save ----
  // Writes the scene's section of a game save (its size, layers and components, the event queue
  // and the focused control); without a scene nothing is written.
  virtual void SaveScene(TStream& /*stream*/) const {}
  // Replaces the scene by a saved one of that data version; a malformed section raises and leaves
  // an empty scene.
  virtual void LoadScene(TStream& /*stream*/, int32_t /*version*/) {}

  // ---- pictures written to host files (wallpaper) ----
  // Saves the active screen layer's picture as a BMP file at a host path; true when written.
  virtual bool SaveLayerBitmap(const std::string& /*host_path*/) { return false; }
  // Saves the first frame of the named game picture (through the image cache) as a BMP file at a
  // host path; false when the picture has no frame or the file was not written.
  virtual bool SavePictureBitmap(std::string_view /*name*/, const std::string& /*host_path*/) { return false; }
};

}  // namespace kova
