// The motion subsystem: the screen transitions and (to come) the motion films, as the session
// brings them in (see core/subsystem.h). Its registration puts its makers into the scene's slot
// (the root container's flip creates its transitions through them) and the behaviour of the flip
// command into the interpreter's command table. Nothing of it runs on its own.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "components/scene/scene_makers.h"
#include "core/subsystem.h"
#include "motion/wipe.h"

namespace kova {

class TKovaBaseList;

class TMotionSubsystem : public TSubsystem, public ISceneMakers {
 public:
  // `root` (the session's root container, which the flip command works on) and what `env`
  // points to must outlive the subsystem.
  TMotionSubsystem(TKovaBaseList& root, TWipeEnv env) : root_(root), env_(std::move(env)) {}

  std::string_view Name() const override { return "motion"; }
  void Register(TSubsystemRegistry& registry) override;

  // ISceneMakers: a transition of `kind` with its length and reverse flag set.
  std::unique_ptr<ISceneFilm> LoadFilm(const std::string& name, TKovaControl& target) override;
  std::unique_ptr<ISceneWipe> CreateWipe(int32_t kind, TCustomDIBX& dest, TCustomDIBX& from, TCustomDIBX& to,
                                         int32_t length, bool reverse) override;

 private:
  TKovaBaseList& root_;
  TWipeEnv env_;
};

}  // namespace kova
