// The scene subsystem: the root container and its component kinds, as the session brings them in
// (see core/subsystem.h). Its registration puts the scene's component kinds into the session's
// factory and the behaviour of the media and motion commands into the interpreter's command
// table, and serves the script's scene, input and history ports from the scene's parts. Nothing
// of it runs on its own, so its stop has nothing to end.
#pragma once

#include <string_view>

#include "components/scene/scene_parts.h"
#include "components/scene/scene_services.h"
#include "core/subsystem.h"

namespace kova {

// Registers the component kinds of the scene (every kind this program has) with `kinds`. A root
// container made without kinds of its own fills its own factory with these.
void RegisterSceneKinds(TComponentFactory& kinds);

class TSceneSubsystem : public TSubsystem {
 public:
  // `parts` and `services` (the script's ports over parts' root container; not owned) must
  // outlive the subsystem.
  TSceneSubsystem(TSceneParts& parts, TSceneServices& services) : parts_(parts), services_(services) {}

  std::string_view Name() const override { return "components"; }
  void Register(TSubsystemRegistry& registry) override;

  // The script's scene and input port over the root container.
  TSceneServices& Services() { return services_; }

 private:
  TSceneParts& parts_;
  TSceneServices& services_;
};

}  // namespace kova
