// The makers of what the scene plays but does not build itself: the motion films of controls and
// the screen transitions of the flip. The subsystem that builds them (above the scene) registers
// its makers in the scene's slot while the session is made; a scene whose slot stays empty has no
// films and no transitions (every request answers nullptr).
#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>

#include "components/scene/scene_host.h"

namespace kova {

class TCustomDIBX;
class TKovaControl;

class ISceneMakers {
 public:
  virtual ~ISceneMakers() = default;
  // The motion film `name` driving `target`; nullptr when it cannot be loaded.
  virtual std::unique_ptr<ISceneFilm> LoadFilm(const std::string& name, TKovaControl& target) = 0;
  // A transition of `kind` from `from` (the picture shown now) to `to` (the new active layer's
  // picture), drawn into `dest`; nullptr when the kind is unknown.
  virtual std::unique_ptr<ISceneWipe> CreateWipe(int32_t kind, TCustomDIBX& dest, TCustomDIBX& from, TCustomDIBX& to,
                                                 int32_t length, bool reverse) = 0;
};

// The scene's slot: made with the scene (before the layers above it exist), filled once by the
// registration of the subsystem that makes films and transitions.
class TSceneMakerSlot : public ISceneMakers {
 public:
  // `makers` (not owned) must outlive the scene. A second registration is a wiring fault.
  void Register(ISceneMakers& makers) {
    if (makers_) throw std::logic_error("the scene's films and transitions have a maker already");
    makers_ = &makers;
  }
  bool Registered() const { return makers_ != nullptr; }

  std::unique_ptr<ISceneFilm> LoadFilm(const std::string& name, TKovaControl& target) override {
    return makers_ ? makers_->LoadFilm(name, target) : nullptr;
  }
  std::unique_ptr<ISceneWipe> CreateWipe(int32_t kind, TCustomDIBX& dest, TCustomDIBX& from, TCustomDIBX& to,
                                         int32_t length, bool reverse) override {
    return makers_ ? makers_->CreateWipe(kind, dest, from, to, length, reverse) : nullptr;
  }

 private:
  ISceneMakers* makers_ = nullptr;
};

}  // namespace kova
