#include "components/scene/component_commands.h"

#include <array>
#include <exception>
#include <memory>

#include "components/scene/kova_base_list.h"
#include "components/widgets/kova_custom_image.h"
#include "components/scene/prop_dispatch.h"
#include "core/errors.h"
#include "core/vocabulary.h"
#include "script/params.h"
#include "script/prop_types.h"
#include "script/subsystem_commands.h"

namespace kova {

namespace {

using TKind = TCommandKind;

struct TKindType {
  TKind kind;
  uint8_t type;
};

constexpr TKindType kKindTypes[] = {
    {TKind::BoxNew, KT_BOX},           {TKind::ImgNew, KT_IMAGES},       {TKind::MesNew, KT_MES},
    {TKind::Timer, KT_TIMER},          {TKind::Movie, KT_VIDEO},         {TKind::Cinema, KT_CINEMA},
    {TKind::Caption, KT_LABEL},        {TKind::Menu, KT_MENU},           {TKind::Button, KT_BUTTON},
    {TKind::ParticleNew, KT_PARTICLE}, {TKind::FireNew, KT_FIRE},        {TKind::Sound, KT_SOUND},
    {TKind::EditNew, KT_EDIT},         {TKind::MemoNew, KT_MEMO},        {TKind::MapImgNew, KT_MAPIMG},
    {TKind::WaveNew, KT_WAVE},         {TKind::TileNew, KT_TILE},        {TKind::SliderNew, KT_SLIDER},
    {TKind::ScrollbarNew, KT_SCROLLBAR}, {TKind::GaugeNew, KT_GAUGE},    {TKind::CGCaption, KT_CGLABEL},
    {TKind::PrevMenuNew, KT_PREVMENU},
};

// Ids ApplyProps never sets: read-only or taken by the component itself.
bool NeverApplied(int32_t id) {
  return id == PR_CARETX || id == PR_CARETY || id == PR_APPEARX || id == PR_APPEARY || id == PR_PLAYING ||
         id == PR_COMPOTYPE;
}

struct TOrder {
  std::array<int32_t, kPropCount> ids{};
  int32_t count = 0;
};

TOrder MakeOrder() {
  TOrder o;
  std::array<bool, kPropCount> done{};
  auto put = [&](int32_t id) {
    if (done[size_t(id)] || NeverApplied(id)) return;
    done[size_t(id)] = true;
    o.ids[size_t(o.count++)] = id;
  };
  // Names and parent first, then the picture, zoom before size, size before position.
  for (int32_t id : {PR_NAME, PR_PARENT, PR_SOURCE, PR_ZOOMX, PR_ZOOMY, PR_POSZOOMED, PR_WIDTH, PR_HEIGHT, PR_LEFT,
                     PR_TOP, PR_COLOR, PR_BARSIZE}) {
    put(id);
  }
  // Done at the end: the mute switch.
  done[PR_MUTEONLOAD] = true;
  for (int32_t id = PR_BORDERWIDTH; id < kPropCount; ++id) {
    put(id);
    if (id == PR_HOVERCOLOR) {
      for (int32_t hover = PR_FONTHOVERBORDER; hover <= PR_FONTHOVERSHADOWCOLOR; ++hover) put(hover);
    }
  }
  done[PR_MUTEONLOAD] = false;
  put(PR_MUTEONLOAD);
  return o;
}

const TOrder& Order() {
  static const TOrder order = MakeOrder();
  return order;
}

// The value an id takes when its expression gives no result.
std::unique_ptr<TCustomParam> DefaultValue(int32_t id) {
  const int32_t type = PropValueType(id);
  std::unique_ptr<TCustomParam> v = CreateParamByType(type);
  if (type == PT_BOOL) {
    v->SetFlag(id == PR_VISIBLE || id == PR_OVERLAY);
  } else if (type == PT_INT) {
    int32_t d = 0;
    switch (id) {
      case PR_ZOOMX: case PR_ZOOMY: case PR_TEXTDELAY: d = 256; break;
      case PR_ALPHA: d = 255; break;
      case PR_FONTHEIGHT: d = 16; break;
      case PR_VOLUME: d = 1000; break;
      case PR_WAVELEN: d = 100; break;
      case PR_COLOR: case PR_BORDERCOLOR: case PR_HOVERCOLOR: d = -1; break;
      case PR_COLCOUNT: case PR_ROWCOUNT: case PR_AMP: case PR_SMALLCHANGE: case PR_LARGECHANGE:
      case PR_GLYPHWIDTH: case PR_GLYPHHEIGHT: d = 1; break;
      default: break;
    }
    v->SetInt(d);
  }
  return v;
}

void ApplyOne(TKovaBaseList& root, TKovaObject& c, int32_t id, const TCustomParam& value) {
  switch (id) {
    case PR_NAME: {
      const std::string name = value.GetStr();
      if (!name.empty()) c.SetName(name);
      return;
    }
    case PR_PARENT: {
      const std::string name = value.GetStr();
      TKovaControl* parent = name.empty() ? nullptr : root.FindControl(name);
      c.SetParent(parent ? parent : root.ActiveBase());
      return;
    }
    case PR_LEFT:
      if (auto* image = dynamic_cast<TKovaCustomImage*>(&c); image && image->GetReanchor()) {
        image->RecalcHorz();
        image->RecalcVert();
      }
      c.SetLeft(value.GetInt());
      return;
    case PR_TEXT:
      // A window's text set at creation is the component's own: no record-mode change here.
      c.SetText(value.GetStr());
      return;
    default:
      SetProp(c, id, value);
  }
}

}  // namespace

uint8_t ComponentTypeOfCommand(int32_t command_kind) {
  for (const TKindType& k : kKindTypes) {
    if (int32_t(k.kind) == command_kind) return k.type;
  }
  return 0;
}

std::span<const int32_t> ApplyOrder() {
  const TOrder& o = Order();
  return std::span<const int32_t>(o.ids.data(), size_t(o.count));
}

void ApplyProps(TKovaBaseList& root, TKovaObject& component, TComComponent& command, TCallMan& callman) {
  std::exception_ptr first_error;
  for (int32_t id : ApplyOrder()) {
    TKovaParser* expr = command.Prop(id);
    if (!expr) continue;
    // A component that an earlier setter removed gets nothing more.
    if (!root.Contains(&component)) break;
    try {
      if (const TCustomParam* value = EvalExpr(*expr, callman)) {
        ApplyOne(root, component, id, *value);
      } else {
        ApplyOne(root, component, id, *DefaultValue(id));
      }
    } catch (const EKovaError&) {
      if (!first_error) first_error = std::current_exception();
    }
  }
  if (first_error) std::rethrow_exception(first_error);
}

TKovaObject* RunComponentCommand(TKovaBaseList& root, TComComponent& command, TCallMan& callman) {
  const uint8_t type = ComponentTypeOfCommand(int32_t(command.ComType()));
  if (type == 0) return nullptr;
  TKovaObject* c = root.CreateComponent(type);
  if (!c) return nullptr;
  c->TakeCommandExpressions(command);
  std::exception_ptr error;
  try {
    ApplyProps(root, *c, command, callman);
  } catch (const EKovaError&) {
    error = std::current_exception();
  }
  if (root.Contains(c)) {
    switch (command.ComType()) {
      case TKind::Movie:
      case TKind::Sound:
        c->SetPlayState(c->GetDelay() != 0 ? 1 : 0);
        break;
      case TKind::Menu:
        c->SetPlayState(1);
        break;
      default:
        break;
    }
  }
  if (error) std::rethrow_exception(error);
  return root.Contains(c) ? c : nullptr;
}

}  // namespace kova
