#include "components/scene/scene_subsystem.h"

#include "components/widgets/kova_box.h"
#include "components/widgets/kova_button.h"
#include "components/scene/cabinet_commands.h"
#include "components/scene/kova_cabinet.h"
#include "components/scene/media_commands.h"
#include "components/widgets/kova_cg_label.h"
#include "components/widgets/kova_edit.h"
#include "components/widgets/kova_fire.h"
#include "components/widgets/kova_gauge.h"
#include "components/widgets/kova_images.h"
#include "components/widgets/kova_label.h"
#include "components/widgets/kova_map_image.h"
#include "components/widgets/kova_menu.h"
#include "components/widgets/kova_prop_motion.h"
#include "components/text/kova_mes.h"
#include "components/widgets/kova_slider.h"
#include "components/widgets/kova_tile.h"
#include "components/widgets/kova_timer.h"
#include "components/widgets/kova_wave.h"
#include "core/vocabulary.h"

namespace kova {

void RegisterSceneKinds(TComponentFactory& kinds) {
  kinds.Register(KT_BOX, &TComponentFactory::Make<TKovaBox>);
  kinds.Register(KT_TIMER, &TComponentFactory::Make<TKovaTimer>);
  kinds.Register(KT_IMAGES, &TComponentFactory::Make<TKovaImages>);
  kinds.Register(KT_BUTTON, &TComponentFactory::Make<TKovaButton>);
  kinds.Register(KT_TILE, &TComponentFactory::Make<TKovaTile>);
  kinds.Register(KT_CABINET, &TComponentFactory::Make<TKovaCabinet>);
  kinds.Register(KT_LABEL, &TComponentFactory::Make<TKovaLabel>);
  kinds.Register(KT_MENU, &TComponentFactory::Make<TKovaMenu>);
  kinds.Register(KT_MES, &TComponentFactory::Make<TKovaMes>);
  kinds.Register(KT_MAPIMG, &TComponentFactory::Make<TKovaMapImage>);
  kinds.Register(KT_EDIT, &TComponentFactory::Make<TKovaEdit>);
  kinds.Register(KT_MEMO, &TComponentFactory::Make<TKovaMemo>);
  kinds.Register(KT_SLIDER, &TComponentFactory::Make<TKovaSlider>);
  kinds.Register(KT_SCROLLBAR, &TComponentFactory::Make<TKovaScrollbar>);
  kinds.Register(KT_GAUGE, &TComponentFactory::Make<TKovaGauge>);
  kinds.Register(KT_CGLABEL, &TComponentFactory::Make<TKovaCGLabel>);
  kinds.Register(KT_PROPMOTION, &TComponentFactory::Make<TKovaPropMotion>);
  kinds.Register(KT_FIRE, &TComponentFactory::Make<TKovaFire>);
  kinds.Register(KT_WAVE, &TComponentFactory::Make<TKovaWave>);
}

void TSceneSubsystem::Register(TSubsystemRegistry& registry) {
  if (registry.kinds) RegisterSceneKinds(*registry.kinds);
  if (registry.commands) {
    RegisterMediaCommands(*registry.commands, parts_.Root());
    RegisterCabinetCommands(*registry.commands, parts_.Root());
  }
  registry.makers = &parts_.Makers();
  registry.media = &parts_.Media();
  registry.scene = &services_;
  registry.input = &services_;
  registry.history = &parts_.HistoryPort();
}

}  // namespace kova
