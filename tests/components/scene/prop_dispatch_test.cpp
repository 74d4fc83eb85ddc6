// Property dispatch: every id reaches its own accessor with the right conversion, the ids that do
// not follow the naming rule, and the failures.
#include <map>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "components/scene/prop_dispatch.h"
#include "core/messages.h"
#include "core/utils.h"
#include "script/params.h"
#include "script/prop_types.h"
#include "script/script_errors.h"
#include "support/scene_driver.h"

namespace kova {
namespace {

using test::SceneDriver;

// An object that stores every property it is given, each in a field of its own, so that a value
// routed to the wrong accessor shows up as a change of another id.
class PropertyBag : public TKovaComponent {
 public:
  using TKovaComponent::TKovaComponent;
#define KOVA_PAIR(T, N, D)                       \
  T N##_ = D;                                    \
  T Get##N() const override { return N##_; }    \
  void Set##N(T v) override { N##_ = v; }
#define KOVA_PAIR_S(N)                                         \
  std::string N##_;                                            \
  std::string Get##N() const override { return N##_; }        \
  void Set##N(const std::string& v) override { N##_ = v; }
#define KOVA_GETTER(T, N, D)
#define KOVA_INDEXED(T, N, D)                                        \
  std::map<int32_t, T> N##_;                                        \
  T Get##N(int32_t i) const override {                              \
    auto it = N##_.find(i);                                         \
    return it == N##_.end() ? D : it->second;                       \
  }                                                                 \
  void Set##N(int32_t i, T v) override { N##_[i] = v; }
#define KOVA_INDEXED_S(N)                                                     \
  std::map<int32_t, std::string> N##_;                                        \
  std::string Get##N(int32_t i) const override {                              \
    auto it = N##_.find(i);                                                   \
    return it == N##_.end() ? std::string() : it->second;                     \
  }                                                                           \
  void Set##N(int32_t i, const std::string& v) override { N##_[i] = v; }
#include "components/scene/kova_accessors.def"
#undef KOVA_PAIR
#undef KOVA_PAIR_S
#undef KOVA_GETTER
#undef KOVA_INDEXED
#undef KOVA_INDEXED_S
  int32_t orig_w = 0, orig_h = 0;
  bool visible = false;
  int32_t GetOrigWidth() const override { return orig_w; }
  void SetOrigWidth(int32_t v) override { orig_w = v; }
  int32_t GetOrigHeight() const override { return orig_h; }
  void SetOrigHeight(int32_t v) override { orig_h = v; }
  bool GetVisible() const override { return visible; }
  void SetVisible(bool v) override { visible = v; }
};

std::string Read(TKovaObject& c, int32_t id) {
  TParamStr s;
  GetProp(s, c, id);
  return s.GetStr();
}

TEST(PropDispatchTest, EveryWritableIdReachesItsOwnAccessorWithItsConversion) {
  PropertyBag bag(nullptr);
  for (int32_t id = 0; id < kPropCount; ++id) {
    if (id == PR_PARENT || id == PR_APPEARX || id == PR_APPEARY || id == PR_CARETX || id == PR_CARETY ||
        id == PR_PLAYING || id == PR_COMPOTYPE) {
      continue;
    }
    SCOPED_TRACE(id);
    std::map<int32_t, std::string> before;
    for (int32_t other = 0; other < kPropCount; ++other) before[other] = Read(bag, other);
    // Each value comes in a script type other than the property's, so that the conversion by the
    // property's type is what is checked.
    TParamStr expected;
    std::unique_ptr<TCustomParam> value;
    const bool byte_prop = id == PR_HALIGN || (id >= PR_BORDERHALIGNT && id <= PR_BORDERVALIGNR) ||
                           id == PR_IGNOREMOUSE || id == PR_PARTMOTION || id == PR_ORIENTATION;
    switch (PropValueType(id)) {
      case PT_INT:
        value = std::make_unique<TParamStr>();
        if (byte_prop) {
          value->SetStr("300");
          expected.SetInt(44);
        } else if (id == PR_FONTSTYLE || id == PR_FONTHOVERSTYLE) {
          value->SetStr("21");  // bit 4 has no flag
          expected.SetInt(5);
        } else {
          value->SetStr("7");
          expected.SetInt(7);
        }
        break;
      case PT_BOOL:
        value = std::make_unique<TParamInt>();
        value->SetInt(1);
        expected.SetFlag(true);
        break;
      case PT_STR:
        value = std::make_unique<TParamInt>();
        value->SetInt(42);
        expected.SetStr("42");
        break;
      case PT_FLOAT:
        value = std::make_unique<TParamInt>();
        value->SetInt(3);
        expected.SetFloat(3.0L);
        break;
    }
    SetProp(bag, id, *value);
    EXPECT_EQ(Read(bag, id), expected.GetStr());
    for (int32_t other = 0; other < kPropCount; ++other) {
      if (other != id) {
        EXPECT_EQ(Read(bag, other), before[other]) << "id " << other << " changed";
      }
    }
  }
}

TEST(PropDispatchTest, BorderIdsMapToTheirCells) {
  PropertyBag bag(nullptr);
  TParamInt v;
  v.SetInt(2);
  SetProp(bag, PR_BORDERHALIGNC, v);
  SetProp(bag, PR_BORDERVALIGNR, v);
  EXPECT_EQ(bag.BorderHAlign_.at(4), 2);
  EXPECT_EQ(bag.BorderVAlign_.at(5), 2);
  TParamStr s;
  s.SetStr("corner.png");
  SetProp(bag, PR_BORDERSOURCEBR, s);
  EXPECT_EQ(bag.BorderSource_.at(8), "corner.png");
}

TEST(PropDispatchTest, ObjectsAnswerTheBaseDefaultsOfPropertiesTheyLack) {
  SceneDriver scene;
  TKovaObject* timer = scene.Timer("t");
  const std::pair<int32_t, int32_t> table[] = {
      {PR_ZOOMX, 256},      {PR_ZOOMY, 256},       {PR_COLOR, 0xFFFFFF},  {PR_BORDERCOLOR, -1},
      {PR_HOVERCOLOR, -1},  {PR_INDEX, -1},        {PR_ALPHA, 255},       {PR_BRIGHTNESS, 255},
      {PR_TEXTDELAY, 256},  {PR_SMALLCHANGE, 1},   {PR_LARGECHANGE, 1},   {PR_PARTMOTION, 1},
      {PR_REWINDONLOAD, 1}, {PR_OVERLAY, 1},       {PR_LEFT, 0},          {PR_APPEARX, 0},
      {PR_COMPOTYPE, KT_TIMER}, {PR_VISIBLE, 0},   {PR_PLAYING, 0},
  };
  for (auto [id, want] : table) {
    TParamInt v;
    GetProp(v, *timer, id);
    EXPECT_EQ(v.GetInt(), want) << "id " << id;
  }
  // A setter the object lacks changes nothing.
  TParamInt v;
  v.SetInt(99);
  SetProp(*timer, PR_ZOOMX, v);
  EXPECT_EQ(timer->GetZoomX(), 256);
}

TEST(PropDispatchTest, ReadOnlyAndSpecialIds) {
  SceneDriver scene;
  auto* box = scene.Box("b", TRect{0, 0, 10, 10});
  TParamInt v;
  v.SetInt(5);
  for (int32_t id : {PR_COMPOTYPE, PR_PLAYING, PR_CARETX, PR_CARETY}) EXPECT_NO_THROW(SetProp(*box, id, v));
  EXPECT_EQ(box->GetCompoType(), KT_BOX);

  // Font styles: 5 is bold and underline.
  PropertyBag bag(nullptr);
  SetProp(bag, PR_FONTSTYLE, v);
  EXPECT_TRUE(bag.FontStyle_.Has(0) && bag.FontStyle_.Has(2) && !bag.FontStyle_.Has(1));

  // Parent: a name no control holds leaves it; a layer ignores it; a control's name moves it.
  auto* other = scene.Box("o", TRect{0, 0, 10, 10});
  TParamStr name;
  name.SetStr("nobody");
  SetProp(*box, PR_PARENT, name);
  EXPECT_EQ(box->GetParent(), scene.root.ActiveBase());
  name.SetStr("o");
  SetProp(*scene.root.Bases(0), PR_PARENT, name);
  EXPECT_EQ(scene.root.Bases(0)->GetParent(), nullptr);
  SetProp(*box, PR_PARENT, name);
  EXPECT_EQ(box->GetParent(), other);
  EXPECT_EQ(Read(*box, PR_PARENT), "o");
  EXPECT_EQ(Read(*scene.root.Bases(0), PR_PARENT), "");

  // Tag is stored without invalidation; priority goes through SetPriority.
  scene.root.EndFrame();
  name.SetStr("note");
  SetProp(*box, PR_TAG, name);
  EXPECT_EQ(box->Tag(), "note");
  EXPECT_TRUE(scene.root.ActiveBase()->DirtyList().Empty());
}

TEST(PropDispatchTest, IdsOutOfRangeAndAppearRaise) {
  SceneDriver scene;
  auto* box = scene.Box("b", TRect{3, 0, 10, 10});
  TParamInt v;
  v.SetInt(1);
  for (int32_t id : {159, 255, -1}) {
    EXPECT_THROW(SetProp(*box, id, v), EScriptError);
    EXPECT_THROW(GetProp(v, *box, id), EScriptError);
  }
  try {
    SetProp(*box, PR_APPEARX, v);
    FAIL() << "no error";
  } catch (const EScriptError& e) {
    EXPECT_EQ(e.Message(), MsgText(TMsg::SetPropError));
  }
  try {
    GetProp(v, *box, 159);
  } catch (const EScriptError& e) {
    EXPECT_EQ(e.Message(), MsgText(TMsg::GetPropError));
  }
  EXPECT_EQ(box->GetLeft(), 3);
}

}  // namespace
}  // namespace kova
