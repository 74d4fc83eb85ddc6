#include "components/component_factory.h"

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
#include "components/kova_slider.h"
#include "components/kova_mes.h"
#include "components/kova_tile.h"
#include "components/kova_timer.h"
#include "core/vocabulary.h"

namespace kova {

TComponentFactory::TComponentFactory() { RegisterSceneKinds(*this); }

void TComponentFactory::Register(uint8_t code, TConstructor constructor) {
  if (code < 2 || code > 127 || code == KT_MAP || code == KT_AUDIO) return;
  table_[code] = constructor;
}

TKovaObject* TComponentFactory::Create(TKovaObject* owner, uint8_t code) const {
  const TConstructor make = table_[code & 127];
  return make ? make(owner) : nullptr;
}

void RegisterSceneKinds(TComponentFactory& factory) {
  factory.Register(KT_BOX, &TComponentFactory::Make<TKovaBox>);
  factory.Register(KT_TIMER, &TComponentFactory::Make<TKovaTimer>);
  factory.Register(KT_IMAGES, &TComponentFactory::Make<TKovaImages>);
  factory.Register(KT_BUTTON, &TComponentFactory::Make<TKovaButton>);
  factory.Register(KT_TILE, &TComponentFactory::Make<TKovaTile>);
  factory.Register(KT_CABINET, &TComponentFactory::Make<TKovaCabinet>);
  factory.Register(KT_LABEL, &TComponentFactory::Make<TKovaLabel>);
  factory.Register(KT_MENU, &TComponentFactory::Make<TKovaMenu>);
  factory.Register(KT_MES, &TComponentFactory::Make<TKovaMes>);
  factory.Register(KT_MAPIMG, &TComponentFactory::Make<TKovaMapImage>);
  factory.Register(KT_EDIT, &TComponentFactory::Make<TKovaEdit>);
  factory.Register(KT_MEMO, &TComponentFactory::Make<TKovaMemo>);
  factory.Register(KT_SLIDER, &TComponentFactory::Make<TKovaSlider>);
  factory.Register(KT_SCROLLBAR, &TComponentFactory::Make<TKovaScrollbar>);
  factory.Register(KT_GAUGE, &TComponentFactory::Make<TKovaGauge>);
  factory.Register(KT_CGLABEL, &TComponentFactory::Make<TKovaCGLabel>);
}

}  // namespace kova
