// The script's component, property and control commands on the real scene: creation through the
// factory with the fixed order and defaults, GetProp, SetProp, ObjDel, MenuClose, PCReset in both
// modes and Reset.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "components/scene/component_commands.h"
#include "components/scene/kova_base_list.h"
#include "components/widgets/kova_images.h"
#include "core/errors.h"
#include "core/messages.h"
#include "core/vocabulary.h"
#include "support/frame_driver.h"
#include "support/picture_fixtures.h"

namespace kova {
namespace {

using test::ExprBuilder;
using test::FrameDriver;
using test::I;
using test::LayeredPicture;
using test::NoResult;
using test::PageWriter;
using test::S;
using test::Solid;
using test::Value;

constexpr int32_t kImgNew = 9, kMesNew = 10, kMenu = 25;

// A menu stand-in that keeps its play state.
class StubMenu : public TKovaControl {
 public:
  using TKovaControl::TKovaControl;
  uint8_t GetCompoType() const override { return KT_MENU; }
  int32_t GetPlayState() const override { return play_state; }
  void SetPlayState(int32_t v) override { play_state = v; }
  int32_t play_state = 0;
};

class ComponentCommandsTest : public ::testing::Test {
 protected:
  ComponentCommandsTest() : d(true) {
    d.AddFile("a.wxa", LayeredPicture(4, 2, {{Solid(4, 2, 0x102030), 10}, {Solid(4, 2, 0x203040), 10}}));
  }
  TKovaBaseList& Root() { return d.session.SceneRoot(); }
  TKovaImages* Image(const std::string& name) { return dynamic_cast<TKovaImages*>(Root().FindComponent(name)); }
  void Run(const PageWriter& page, int frames = 1) {
    d.AddPage("start.ksb", page);
    d.callman.Start("start.ksb");
    d.Frames(frames);
  }
  FrameDriver d;
};

TEST(ApplyOrderTest, ZoomBeforeSizeBeforePositionAndTheFixedExceptions) {
  const std::span<const int32_t> order = ApplyOrder();
  const std::vector<int32_t> head(order.begin(), order.begin() + 12);
  EXPECT_EQ(head, (std::vector<int32_t>{PR_NAME, PR_PARENT, PR_SOURCE, PR_ZOOMX, PR_ZOOMY, PR_POSZOOMED, PR_WIDTH,
                                        PR_HEIGHT, PR_LEFT, PR_TOP, PR_COLOR, PR_BARSIZE}));
  auto at = [&](int32_t id) { return std::find(order.begin(), order.end(), id) - order.begin(); };
  EXPECT_EQ(at(PR_FONTHOVERBORDER), at(PR_HOVERCOLOR) + 1);
  EXPECT_EQ(at(PR_FONTHOVERSHADOWCOLOR), at(PR_HOVERCOLOR) + 4);
  EXPECT_EQ(at(PR_ANTIALIAS), at(PR_HOVERCOLOR) + 5);
  EXPECT_EQ(order.back(), PR_MUTEONLOAD);
  EXPECT_EQ(order.size(), size_t(kPropCount - 6));
  for (int32_t never : {PR_CARETX, PR_CARETY, PR_APPEARX, PR_APPEARY, PR_PLAYING, PR_COMPOTYPE}) {
    EXPECT_EQ(at(never), std::ptrdiff_t(order.size())) << never;
  }
}

TEST_F(ComponentCommandsTest, ImgNewMakesAnImageSetWithTheCommandsPropertiesAndDefaults) {
  PageWriter page;
  page.Component(kImgNew, {{PR_NAME, Value(S("pic"))}, {PR_SOURCE, Value(S("a.wxa"))}, {PR_LEFT, Value(I(5))},
                           {PR_TOP, Value(I(6))}, {PR_DELAY, Value(I(500))}});
  page.Component(kImgNew, {{PR_NAME, Value(S("child"))}, {PR_PARENT, Value(S("pic"))}, {PR_SOURCE, Value(S("a.wxa"))}});
  page.Component(kImgNew, {{PR_NAME, Value(S("stray"))}, {PR_PARENT, Value(S("nobody"))}});
  page.Component(kMesNew, {{PR_NAME, Value(S("window"))}});  // a message window
  page.VarNew("after", 1, Value(I(1)));
  Run(page);
  TKovaImages* pic = Image("pic");
  ASSERT_NE(pic, nullptr);
  EXPECT_EQ(pic->GetCompoType(), KT_IMAGES);
  EXPECT_EQ(pic->GetLeft(), 5);
  EXPECT_EQ(pic->GetTop(), 6);
  EXPECT_EQ(pic->GetWidth(), 4);
  EXPECT_EQ(pic->GetAlpha(), 255);   // an expression without a result gives the default
  EXPECT_EQ(pic->GetZoomX(), 256);
  EXPECT_TRUE(pic->GetVisible());
  EXPECT_EQ(pic->GetParent(), Root().ActiveBase());
  EXPECT_EQ(Image("child")->GetParent(), pic);
  EXPECT_EQ(Image("stray")->GetParent(), Root().ActiveBase());
  ASSERT_NE(Root().FindComponent("window"), nullptr);
  EXPECT_EQ(Root().FindComponent("window")->GetCompoType(), KT_MES);
  EXPECT_EQ(d.Int("after"), 1);

  // The command's delay expression lengthens the last frame (reached in this frame's update).
  EXPECT_EQ(pic->GetIndex(), 1);
  EXPECT_EQ(pic->RemainingTime(), 10 + 500);
}

TEST_F(ComponentCommandsTest, AComponentKeepsItsOwnDefaultForAPropertyItsCommandLacks) {
  // With the index in the set, an index expression without a result sets 0; without it in the
  // set, the component keeps its own -1.
  PageWriter other;
  test::PropWords set = other.Set(kImgNew);
  set[PR_INDEX / 32] &= ~(1u << (PR_INDEX % 32));
  other.PropSet(kImgNew, set).PropRecords(61);
  other.Component(kImgNew, {{PR_NAME, Value(S("without"))}});
  d.AddPage("other.ksb", other);
  PageWriter page;
  page.Component(kImgNew, {{PR_NAME, Value(S("with"))}});
  page.Call("other.ksb");
  Run(page);
  ASSERT_NE(Image("with"), nullptr);
  ASSERT_NE(Image("without"), nullptr);
  EXPECT_EQ(Image("with")->GetIndex(), 0);
  EXPECT_EQ(Image("without")->GetIndex(), -1);
}

TEST_F(ComponentCommandsTest, ADamagedPictureLeavesAnEmptyComponentAndTheMessage) {
  std::vector<uint8_t> cut = LayeredPicture(4, 4, {{Solid(4, 4, 1)}});
  cut.resize(cut.size() - 10);
  d.AddFile("cut.wxa", cut);
  PageWriter page;
  page.Component(kImgNew, {{PR_NAME, Value(S("bad"))}, {PR_SOURCE, Value(S("cut.wxa"))}, {PR_LEFT, Value(I(9))}});
  page.VarNew("after", 1, Value(I(1)));
  d.AddPage("start.ksb", page);
  d.callman.Start("start.ksb");
  EXPECT_THROW(d.Frame(), EKovaError);
  TKovaImages* bad = Image("bad");
  ASSERT_NE(bad, nullptr);
  EXPECT_EQ(bad->GetCount(), 0);
  EXPECT_EQ(bad->GetLeft(), 9);  // the other properties were still applied
  d.Frame();
  EXPECT_EQ(d.Int("after"), 1);  // the script goes on after the failed command
}

TEST_F(ComponentCommandsTest, PropertyCommandsReadWriteAndDeleteByName) {
  PageWriter page;
  page.Component(kImgNew, {{PR_NAME, Value(S("pic"))}, {PR_SOURCE, Value(S("a.wxa"))}});
  page.VarNew("x", 1, Value(I(0)));
  page.VarNew("s", 4, Value(S("")));
  page.SetProp(Value(S("pic")), Value(I(PR_LEFT + 256)), Value(I(40)));  // the id is taken as a byte
  page.SetProp(Value(S("pic")), Value(I(PR_TOP)), NoResult());           // no value: unchanged
  page.SetProp(Value(S("ghost")), NoResult(), Value(I(1)));               // no component: nothing at all
  page.GetProp(Value(S("pic")), Value(I(PR_LEFT)), "x");
  page.GetProp(Value(S("pic")), Value(I(PR_SOURCE)), "s");
  page.GetProp(Value(S("pic")), Value(I(PR_LEFT)), "undeclared");
  page.ObjDel(Value(S("pic")));
  page.ObjDel(Value(S("ghost")));
  Run(page);
  EXPECT_EQ(d.Int("x"), 40);
  EXPECT_EQ(d.Str("s"), "a.wxa");
  EXPECT_FALSE(d.Has("undeclared"));
  EXPECT_EQ(Root().FindComponent("pic"), nullptr);

  PageWriter bad;
  bad.Component(kImgNew, {{PR_NAME, Value(S("pic"))}});
  bad.SetProp(Value(S("pic")), NoResult(), Value(I(1)));
  bad.VarNew("after", 1, Value(I(1)));
  d.AddPage("bad.ksb", bad);
  d.callman.Start("bad.ksb");
  try {
    d.Frame();
    FAIL() << "no error";
  } catch (const EKovaError& e) {
    EXPECT_EQ(e.Message(), MsgText(TMsg::PropIdInvalid));
  }
}

TEST_F(ComponentCommandsTest, MenuCloseWaitsForItsMenu) {
  Root().Factory().Register(KT_MENU, &TComponentFactory::Make<StubMenu>);
  PageWriter page;
  page.MenuClose(Value(S("menu")));
  page.VarNew("closed", 1, Value(I(1)));
  Run(page, 3);
  EXPECT_FALSE(d.Has("closed"));

  PageWriter maker;
  maker.Component(kMenu, {{PR_NAME, Value(S("menu"))}});
  d.AddPage("maker.ksb", maker);
  d.queue.AddEvent({}, "maker.kss", nullptr, PR_ONNOTIFY);
  d.Frame();  // the event makes the menu (play state 1 after its properties)
  auto* menu = dynamic_cast<StubMenu*>(Root().FindComponent("menu"));
  ASSERT_NE(menu, nullptr);
  d.Frames(2);
  EXPECT_EQ(menu->play_state, 3);
  EXPECT_EQ(d.Int("closed"), 1);
}

class RestartTest : public ComponentCommandsTest {
 protected:
  // The main flow waits (events may run); the handler restarts; "other.ksb" marks where it runs.
  void Prepare(const PageWriter& handler) {
    PageWriter main;
    main.Component(kImgNew, {{PR_NAME, Value(S("pic"))}});
    main.VarNew("local", 1, Value(I(1)), 2);
    main.Wait(NoResult(), Value(I(10000)));
    main.VarNew("main_went_on", 1, Value(I(1)));
    d.AddPage("main.ksb", main);
    d.AddPage("h.ksb", handler);
    PageWriter other;
    other.VarNew("skipped", 1, Value(I(1)));
    other.VarNew("arrived", 1, Value(I(1)));
    other.Wait(NoResult(), Value(I(10000)));
    d.AddPage("other.ksb", other);
    d.callman.Start("main.ksb");
    d.Frame();
    d.queue.AddEvent(Root().FindComponent("pic")->Handle(), "h.kss", nullptr, PR_ONLBTNDOWN);
    d.queue.AddEvent(Root().FindComponent("pic")->Handle(), "h.kss", nullptr, PR_ONLBTNUP);
  }
};

TEST_F(RestartTest, WithoutTheFlagTheHandlerEndsThenTheMainFlowGoesOnAtTheNewPlace) {
  PageWriter handler;
  handler.PCReset("other.ksb", 1, false);
  handler.VarNew("handler_ended", 1, Value(I(1)));
  Prepare(handler);
  d.Frames(3);
  EXPECT_EQ(d.Int("handler_ended"), 1);
  EXPECT_EQ(d.Int("arrived"), 1);
  EXPECT_FALSE(d.Has("skipped"));
  EXPECT_FALSE(d.Has("main_went_on"));
  EXPECT_EQ(d.callman.GetPageName(), "other.ksb");
}

TEST_F(RestartTest, WithTheFlagEverythingIsAbandonedAndTheQueueCleared) {
  PageWriter handler;
  handler.PCReset("other.ksb", 1, true);
  handler.VarNew("handler_ended", 1, Value(I(1)));
  Prepare(handler);
  d.Frames(3);
  EXPECT_FALSE(d.Has("handler_ended"));
  EXPECT_EQ(d.Int("arrived"), 1);
  EXPECT_EQ(d.queue.Count(), 0);  // the second event went with the queue
  EXPECT_EQ(d.callman.Stack().Count(), 0);
}

TEST_F(ComponentCommandsTest, ResetEmptiesTheSceneAndTheGameAndStartsAgain) {
  PageWriter page;
  page.VarNew("game", 1, Value(I(7)));
  page.VarNew("kept", 1, Value(I(8)), 3);
  page.Component(kImgNew, {{PR_NAME, Value(S("pic"))}, {PR_SOURCE, Value(S("a.wxa"))}});
  page.Reset("again.ksb", 1);
  page.VarNew("not_reached", 1, Value(I(1)));
  PageWriter again;
  again.VarNew("skipped", 1, Value(I(1)));
  again.VarNew("started", 1, Value(I(1)));
  again.Wait(NoResult(), Value(I(10000)));
  d.AddPage("again.ksb", again);
  Run(page);
  EXPECT_EQ(Root().FindComponent("pic"), nullptr);
  EXPECT_EQ(Root().GetComponentCount(), 0);
  EXPECT_FALSE(d.Has("game"));
  EXPECT_EQ(d.Int("kept"), 8);  // status variables survive
  EXPECT_FALSE(d.Has("not_reached"));
  EXPECT_FALSE(d.Has("skipped"));
  EXPECT_EQ(d.Int("started"), 1);
  // The picture nobody shows any more waits in the cache.
  EXPECT_TRUE(d.session.SceneRoot().ImageCache()->FindItem("a.wxa")->Pending());
}

}  // namespace
}  // namespace kova
