#include "components/scene_subsystem.h"

#include "components/kova_box.h"
#include "components/kova_button.h"
#include "components/kova_cabinet.h"
#include "components/kova_cg_label.h"
#include "components/kova_edit.h"
#include "components/kova_gauge.h"
#include "components/kova_images.h"
#include "components/kova_label.h"
#include "components/kova_map_image.h"
#include "components/kova_menu.h"
#include "components/kova_mes.h"
#include "components/kova_slider.h"
#include "components/kova_tile.h"
#include "components/kova_timer.h"
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
}

void TSceneSubsystem::Register(TSubsystemRegistry& registry) {
  if (registry.kinds) RegisterSceneKinds(*registry.kinds);
  registry.scene = &services_;
  registry.input = &services_;
  registry.history = &parts_.HistoryPort();
}

}  // namespace kova
