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
#include "core/stream.h"
#include "script/scene_port.h"

namespace kova {

class TKovaObject;
class TTimerList;

// One queued event.
class TTimerData {
 public:
  explicit TTimerData(TTimerList* queue) : Queue(queue) {}

  TTimerList* Queue;
  // The handler page name (the value of the component's event property).
  std::string Handler;
  // The component that raised the event; may be null.
  TKovaObject* Target = nullptr;
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

  // Appends a waiting event; the parameters are copied when given. Returns its index.
  int32_t AddEvent(TKovaObject* component, std::string_view handler, const TArrayString* params, uint8_t code);
  // The index of the oldest event of that component and code, whatever its level; -1 when none.
  int32_t IndexOfEvent(const TKovaObject* component, uint8_t code) const;
  // The oldest waiting event (level 0), or nullptr.
  TTimerData* NextWaiting() const;
  // Frees every event of that level.
  void RemoveLevel(int32_t level);
  // Frees every event that is being handled (level not 0).
  void RemoveHandled();
  // Frees the waiting events of that component; its handled events stay.
  void RemoveWaiting(const TKovaObject* component);
  // Frees one event (nothing when it is not in the queue).
  void Remove(const TTimerData* event);
  // Clears the target of every remaining event of that component (called when the component is
  // freed, so that no event keeps a dangling target).
  void ForgetTarget(const TKovaObject* component);

  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  // Event i (EListError when i is out of range).
  TTimerData* Items(int32_t i) const;
  void Clear() { items_.clear(); }

  // Stream form: int32 count; per event, oldest first: handler, target name (empty when none or no
  // longer a component of the root container), code byte, level int32, parameters.
  void SaveToStream(TStream& stream) const;
  // Replaces the queue by the events of the stream. `version` is the game-save data version: below
  // 114 the level is one byte (non-zero loads as 1). Targets are resolved by name through the root
  // container. A truncated or inconsistent form raises EReadError and leaves the queue unchanged.
  void LoadFromStream(TStream& stream, int32_t version);

 private:
  std::vector<std::unique_ptr<TTimerData>> items_;
  TScenePort* root_;
  TMainThread main_;
};

// The script event queue under the name the component system uses for it.
using TKovaEventQueue = TTimerList;

}  // namespace kova
