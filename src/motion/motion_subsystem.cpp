#include "motion/motion_subsystem.h"

#include "components/scene/component_factory.h"
#include "motion/flip_command.h"
#include "motion/kova_cinema.h"
#include "motion/wipe_factory.h"

namespace kova {

void TMotionSubsystem::Register(TSubsystemRegistry& registry) {
  if (registry.makers) registry.makers->Register(*this);
  if (registry.kinds) registry.kinds->Register(KT_CINEMA, &TComponentFactory::Make<TKovaCinema>);
  if (registry.commands) RegisterFlipCommand(*registry.commands, root_);
}

std::unique_ptr<ISceneFilm> TMotionSubsystem::LoadFilm(const std::string&, TKovaControl&) { return nullptr; }

std::unique_ptr<ISceneWipe> TMotionSubsystem::CreateWipe(int32_t kind, TCustomDIBX& dest, TCustomDIBX& from,
                                                         TCustomDIBX& to, int32_t length, bool reverse) {
  std::unique_ptr<TCustomWipe> wipe = kova::CreateWipe(kind, env_, dest, from, to);
  if (!wipe) return nullptr;
  wipe->SetLength(length);
  wipe->SetReverse(reverse);
  return wipe;
}

}  // namespace kova
