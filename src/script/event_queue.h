// The script event queue: components put events here (a click, a key, a finished sound, an idle
// frame) and the interpreter takes the first waiting one before its next command, runs its handler
// page at an event level and removes the events of that level when the handler returns. The queue
// belongs to the session (the root container fills it, the interpreter empties it) and is part of
// the game save. It lives with the script engine, below the component system that queues events.
// Main thread only: workers post through the session's mailbox (script/mailbox.h).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/array_string.h"
#include "core/main_thread.h"
#include "core/object_handle.h"
#include "core/stream.h"
#include "script/scene_port.h"

namespace kova {

class TTimerList;

// One queued event.
class TTimerData {
 public:
  explicit TTimerData(TTimerList* queue) : Queue(queue) {}

  TTimerList* Queue;
  // The handler page name (the value of the component's event property).
  std::string Handler;
  // The component that raised the event; the null handle for none. A target freed before the
  // event is handled resolves to nothing.
  TObjectHandle Target;
  // The property id of the event property that fired.
  uint8_t Code = 0;
  // 0 while waiting; otherwise the event level at which the interpreter runs its handler.
  int32_t Level = 0;
  TArrayString Params;
};

class TTimerList {
 public:
  // The queue finds and names its events' targets through `scene` (the root container; nullptr:
  // no scene, so no target is ever found).
  explicit TTimerList(TScenePort* scene = nullptr) : root_(scene) {}
  TTimerList(const TTimerList&) = delete;
  TTimerList& operator=(const TTimerList&) = delete;

  TScenePort* Root() const { return root_; }

  // Appends a waiting event of `target` (null: an event without a component); the parameters are
  // copied when given. Returns its index; an event whose target no longer resolves through the
  // scene is not queued (-1).
  int32_t AddEvent(TObjectHandle target, std::string_view handler, const TArrayString* params, uint8_t code);
  // The index of the oldest event of that component and code, whatever its level; -1 when none.
  int32_t IndexOfEvent(TObjectHandle target, uint8_t code) const;
  // The oldest waiting event (level 0) that has no target or whose target still lives, or
  // nullptr; the waiting events before it whose target was freed are dropped.
  TTimerData* NextWaiting();
  // True when the event names a target that no longer resolves through the scene.
  bool TargetGone(const TTimerData& event) const;
  // Frees every event of that level.
  void RemoveLevel(int32_t level);
  // Frees every event that is being handled (level not 0).
  void RemoveHandled();
  // Frees the waiting events of that component; its handled events stay.
  void RemoveWaiting(TObjectHandle target);
  // Frees one event (nothing when it is not in the queue).
  void Remove(const TTimerData* event);

  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  // Event i (EListError when i is out of range).
  TTimerData* Items(int32_t i) const;
  void Clear() { items_.clear(); }

  // Stream form: int32 count; per event, oldest first: handler, target name (empty when none or
  // freed), code byte, level int32, parameters.
  void SaveToStream(TStream& stream) const;
  // Replaces the queue by the events of the stream. `version` is the game-save data version: below
  // 114 the level is one byte (non-zero loads as 1). Targets are resolved by name through the root
  // container (an unknown name: no target). A truncated or inconsistent form raises EReadError
  // and leaves the queue unchanged.
  void LoadFromStream(TStream& stream, int32_t version);

 private:
  std::vector<std::unique_ptr<TTimerData>> items_;
  TScenePort* root_;
  TMainThread main_;
};

// The script event queue under the name the component system uses for it.
using TKovaEventQueue = TTimerList;

}  // namespace kova
