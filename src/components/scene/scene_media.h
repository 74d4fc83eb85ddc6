// The scene's media switch: the script's sound on and off (the scene's SetMediaEnabled) reaches the
// media layer, which sits above the scene, through this slot. The media subsystem registers itself
// while the session is made; a scene whose slot stays empty switches nothing.
#pragma once

#include <stdexcept>

namespace kova {

class ISceneMedia {
 public:
  virtual ~ISceneMedia() = default;
  // Pauses (false) or resumes (true) every playing sound of the kinds the switch covers.
  virtual void SetMediaEnabled(bool enabled) = 0;
};

class TSceneMediaSlot : public ISceneMedia {
 public:
  // `media` (not owned) must outlive the scene. A second registration is a wiring fault.
  void Register(ISceneMedia& media) {
    if (media_) throw std::logic_error("the scene's media switch has an owner already");
    media_ = &media;
  }
  bool Registered() const { return media_ != nullptr; }
  void SetMediaEnabled(bool enabled) override {
    if (media_) media_->SetMediaEnabled(enabled);
  }

 private:
  ISceneMedia* media_ = nullptr;
};

}  // namespace kova
