// SaveCabinet and LoadCabinet run by the interpreter over the session's scene: controls of the
// hidden layer put aside into a cabinet by a name list (or all but it), brought back, the empty
// cabinet leaving the scene, a name that is no cabinet, and a cabinet that lies on the very layer
// it is filled from.
#include "components/scene/cabinet_commands.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "components/scene/kova_base_list.h"
#include "components/scene/kova_cabinet.h"
#include "core/vocabulary.h"
#include "support/frame_driver.h"

namespace kova::test {
namespace {

class CabinetCommandsTest : public ::testing::Test {
 protected:
  TKovaBaseList& Root() { return d.session.SceneRoot(); }
  TKovaBase& Hidden() { return *Root().Bases(Root().ActiveIndex() ^ 1); }
  TKovaControl* Box(const std::string& name) {
    auto* box = dynamic_cast<TKovaControl*>(Root().CreateComponent(KT_BOX));
    box->SetName(name);
    box->SetParent(&Hidden());
    return box;
  }
  static std::vector<ExprBuilder> Names(std::initializer_list<const char*> names) {
    std::vector<ExprBuilder> out;
    for (const char* n : names) out.push_back(Value(S(n)));
    return out;
  }
  // Runs one SaveCabinet (59) or LoadCabinet (60) of the cabinet `name`, then a frame more so
  // that what left the scene is freed.
  void Run(int32_t type, const char* name, bool exclude, std::initializer_list<const char*> names) {
    PageWriter page;
    page.Cabinet(type, {{PR_NAME, Value(S(name))}}, Value(B(exclude)), Names(names));
    page.VarNew("done", 1, Value(I(1)));
    // Each run a page of its own (pages are read once).
    const std::string file = "run" + std::to_string(++runs_) + ".ksb";
    d.AddPage(file, page);
    d.callman.Start(file);
    d.Frames(2);
    ASSERT_EQ(d.Int("done"), 1);
  }
  TKovaCabinet* Cabinet(const char* name) { return dynamic_cast<TKovaCabinet*>(Root().FindComponent(name)); }

  FrameDriver d{true};
  int runs_ = 0;
};

constexpr int32_t kSave = 59, kLoad = 60;

TEST_F(CabinetCommandsTest, ControlsGoAsideAndComeBackByTheirNames) {
  TKovaControl* a = Box("a");
  TKovaControl* b = Box("b");
  TKovaControl* c = Box("c");
  Run(kSave, "drawer", false, {"a", "c", "nobody"});
  TKovaCabinet* drawer = Cabinet("drawer");
  ASSERT_NE(drawer, nullptr);
  EXPECT_EQ(drawer->GetParent(), Root().Bases(0));
  EXPECT_EQ(a->GetParent(), drawer);
  EXPECT_EQ(c->GetParent(), drawer);
  EXPECT_EQ(b->GetParent(), &Hidden());
  // A second save into the same cabinet: every control but "a", which leaves b to take.
  Run(kSave, "drawer", true, {"a"});
  EXPECT_EQ(Cabinet("drawer"), drawer);
  EXPECT_EQ(b->GetParent(), drawer);
  // Back: "c" only, then all the rest; the empty cabinet leaves the scene.
  Run(kLoad, "drawer", false, {"c"});
  EXPECT_EQ(c->GetParent(), &Hidden());
  EXPECT_EQ(a->GetParent(), drawer);
  Run(kLoad, "drawer", true, {});
  EXPECT_EQ(a->GetParent(), &Hidden());
  EXPECT_EQ(b->GetParent(), &Hidden());
  EXPECT_EQ(Cabinet("drawer"), nullptr);
}

TEST_F(CabinetCommandsTest, NothingMatchedLeavesNoCabinetAndANameThatIsNoCabinetLoadsNothing) {
  TKovaControl* a = Box("a");
  Run(kSave, "drawer", false, {"b"});
  EXPECT_EQ(Cabinet("drawer"), nullptr);
  EXPECT_EQ(a->GetParent(), &Hidden());
  Run(kLoad, "a", true, {});  // "a" is a box
  EXPECT_EQ(a->GetParent(), &Hidden());
  EXPECT_NE(Root().FindComponent("a"), nullptr);
}

TEST_F(CabinetCommandsTest, ACabinetOnTheLayerItFillsFromNeverGoesIntoItself) {
  // With layer 0 hidden, the new cabinet lies on the layer whose controls it takes.
  Root().Flip(Root().ActiveIndex() ^ 1, WP_NONE, 0, 0, true, false);
  ASSERT_EQ(&Hidden(), Root().Bases(0));
  TKovaControl* a = Box("a");
  Run(kSave, "drawer", true, {});
  TKovaCabinet* drawer = Cabinet("drawer");
  ASSERT_NE(drawer, nullptr);
  EXPECT_EQ(a->GetParent(), drawer);
  EXPECT_EQ(drawer->GetParent(), Root().Bases(0));
  Run(kLoad, "drawer", true, {});
  EXPECT_EQ(a->GetParent(), &Hidden());
  EXPECT_EQ(Cabinet("drawer"), nullptr);
}

TEST(CabinetNames, MatchByTheListOrByAllButIt) {
  const std::vector<std::string> names = {"a", "b"};
  EXPECT_TRUE(CabinetNameMatches("a", false, names));
  EXPECT_FALSE(CabinetNameMatches("c", false, names));
  EXPECT_FALSE(CabinetNameMatches("b", true, names));
  EXPECT_TRUE(CabinetNameMatches("c", true, names));
  EXPECT_TRUE(CabinetNameMatches("A", true, names));  // names match exactly
  EXPECT_FALSE(CabinetNameMatches("", false, {}));
  EXPECT_TRUE(CabinetNameMatches("", true, {}));
}

}  // namespace
}  // namespace kova::test
