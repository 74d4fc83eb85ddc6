#include "motion/motion_subsystem.h"

#include "components/scene/component_factory.h"
#include "components/scene/image_cache.h"
#include "components/scene/kova_base_list.h"
#include "components/scene/kova_control.h"
#include "core/stream.h"
#include "motion/flip_command.h"
#include "motion/kova_cinema.h"
#include "motion/motion_film.h"
#include "motion/wipe_factory.h"

namespace kova {

void TMotionSubsystem::Register(TSubsystemRegistry& registry) {
  if (registry.makers) registry.makers->Register(*this);
  if (registry.kinds) registry.kinds->Register(KT_CINEMA, &TComponentFactory::Make<TKovaCinema>);
  if (registry.commands) RegisterFlipCommand(*registry.commands, root_);
}

// A missing file gives no film, as a missing picture gives a blank one; a malformed film raises
// its read error to the caller, as a malformed picture does.
std::unique_ptr<ISceneFilm> TMotionSubsystem::LoadFilm(const std::string& name, TKovaControl& target) {
  TKovaBaseList* root = target.Root();
  IPictureSource* files = root && root->ImageCache() ? root->ImageCache()->Source() : nullptr;
  if (!files) files = env_.pictures;
  if (!files || name.empty() || !files->PictureExists(name)) return nullptr;
  TMemoryStream bytes;
  files->LoadPicture(bytes, name);
  auto film = std::make_unique<TMotionFilm>(target);
  film->Load(bytes.Bytes(), name);
  return film;
}

std::unique_ptr<ISceneWipe> TMotionSubsystem::CreateWipe(int32_t kind, TCustomDIBX& dest, TCustomDIBX& from,
                                                         TCustomDIBX& to, int32_t length, bool reverse) {
  std::unique_ptr<TCustomWipe> wipe = kova::CreateWipe(kind, env_, dest, from, to);
  if (!wipe) return nullptr;
  wipe->SetLength(length);
  wipe->SetReverse(reverse);
  return wipe;
}

}  // namespace kova
