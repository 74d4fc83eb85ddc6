// Scenes of many components: the children's drawing order under any mix of adds, removals and
// priority changes, names looked up and handed out among thousands, and the stated limits on the
// number of live components and on the depth of a control tree.
#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "core/errors.h"
#include "core/format.h"
#include "core/messages.h"
#include "support/scene_driver.h"

namespace kova {
namespace {

using test::SceneDriver;
using test::StubBox;

// The order the children must be in: internal names first, then priority plus order, then the
// names' bytes, ties kept in the order the children came.
std::vector<const TKovaControl*> ExpectedOrder(std::vector<const TKovaControl*> arrival) {
  std::stable_sort(arrival.begin(), arrival.end(), [](const TKovaControl* a, const TKovaControl* b) {
    const bool ai = TKovaObject::IsInternalName(a->GetName()), bi = TKovaObject::IsInternalName(b->GetName());
    if (ai != bi) return ai;
    const int64_t ka = int64_t(a->Priority()) + a->Order(), kb = int64_t(b->Priority()) + b->Order();
    if (ka != kb) return ka < kb;
    return std::lexicographical_compare(a->GetName().begin(), a->GetName().end(), b->GetName().begin(),
                                        b->GetName().end(), [](char x, char y) { return uint8_t(x) < uint8_t(y); });
  });
  return arrival;
}

TEST(SceneScaleTest, ChildrenStayInOrderThroughAddsRemovalsAndPriorityChanges) {
  SceneDriver scene;
  TKovaControl* layer = scene.root.ActiveBase();
  std::mt19937 random(7);
  std::vector<StubBox*> live;
  std::vector<const TKovaControl*> arrival;
  int serial = 0;
  for (int round = 0; round < 60; ++round) {
    // Several changes between two reads of the order, as a script makes them within one frame.
    for (int step = 0; step < 40; ++step) {
      const unsigned what = random() % 10;
      if (what < 5 || live.empty()) {
        StubBox* b = scene.Box((random() % 4 == 0 ? "\x01" : "") + std::to_string(random() % 50) + "_" +
                                   std::to_string(serial++),
                               TRect{});
        b->SetPriority(int32_t(random() % 5));
        live.push_back(b);
        arrival.push_back(b);
      } else if (what < 8) {
        const size_t i = random() % live.size();
        live[i]->SetPriority(int32_t(random() % 5) - 2);
        // A moved child joins its equals last, as if it had come anew.
        arrival.erase(std::find(arrival.begin(), arrival.end(), live[i]));
        arrival.push_back(live[i]);
      } else {
        const size_t i = random() % live.size();
        arrival.erase(std::find(arrival.begin(), arrival.end(), live[i]));
        scene.root.DeleteComponent(live[i]);
        live.erase(live.begin() + std::ptrdiff_t(i));
      }
    }
    arrival = ExpectedOrder(arrival);
    ASSERT_EQ(layer->GetControlCount(), int32_t(live.size()));
    const std::vector<TKovaControl*>& got = layer->Controls();
    ASSERT_TRUE(std::equal(got.begin(), got.end(), arrival.begin(), arrival.end())) << "round " << round;
    for (int32_t i = 0; i < layer->GetControlCount(); ++i) ASSERT_EQ(layer->GetControl(i), arrival[size_t(i)]);
  }
}

TEST(SceneScaleTest, NamesAmongThousandsAreFoundAndHandedOutLikeAmongFew) {
  SceneDriver scene;
  std::vector<StubBox*> boxes;
  for (int i = 0; i < 3000; ++i) boxes.push_back(scene.Box("b" + std::to_string(i), TRect{}));
  EXPECT_EQ(scene.root.FindComponent("b2999"), boxes.back());
  EXPECT_EQ(scene.root.FindControl("b17"), boxes[17]);
  EXPECT_EQ(scene.root.FindComponent("b3000"), nullptr);
  EXPECT_EQ(scene.root.UniqueName(&scene.root, "object"), "object0");

  // Taking a name renames its holder to the first free counter, also once a counter was freed.
  for (int i = 0; i < 5; ++i) scene.Box("same", TRect{});
  EXPECT_NE(scene.root.FindComponent("same_2"), nullptr);
  EXPECT_NE(scene.root.FindComponent("same_5"), nullptr);
  EXPECT_EQ(scene.root.FindComponent("same_6"), nullptr);
  scene.root.DeleteComponent(scene.root.FindComponent("same_3"));
  TKovaObject* newest = scene.root.FindComponent("same");
  scene.Box("same", TRect{});
  EXPECT_EQ(newest->GetName(), "same_3");

  // Generated names reuse the lowest free number.
  boxes[0]->StoreName("object0");
  boxes[2]->StoreName("object2");
  EXPECT_EQ(scene.root.UniqueName(&scene.root, "object"), "object1");
  boxes[1]->StoreName("object1");
  EXPECT_EQ(scene.root.UniqueName(&scene.root, "object"), "object3");
  scene.root.DeleteComponent(boxes[0]);
  EXPECT_EQ(scene.root.UniqueName(&scene.root, "object"), "object0");
  // With two holders of one name the older one is found, and the other after it is gone.
  boxes[5]->StoreName("twin");
  boxes[4]->StoreName("twin");
  EXPECT_EQ(scene.root.FindComponent("twin"), boxes[4]);
  scene.root.DeleteComponent(boxes[4]);
  EXPECT_EQ(scene.root.FindComponent("twin"), boxes[5]);
}

TEST(SceneScaleTest, TheLiveComponentLimitRaisesTheSystemsError) {
  SceneDriver scene;
  EXPECT_EQ(TKovaBaseList::kMaxComponents, 1000000);
  scene.root.SetComponentLimit(3);
  std::vector<StubBox*> boxes;
  for (int i = 0; i < 3; ++i) boxes.push_back(scene.Box("b" + std::to_string(i), TRect{}));
  try {
    scene.root.CreateComponent(KT_BOX);
    FAIL() << "a fourth component was made";
  } catch (const EListError& e) {
    EXPECT_EQ(e.Message(), Format(MsgText(TMsg::TooManyComponents).c_str(), 3));
  }
  EXPECT_EQ(scene.root.GetComponentCount(), 3);
  scene.root.DeleteComponent(boxes[0]);
  EXPECT_NE(scene.root.CreateComponent(KT_BOX), nullptr);
}

TEST(SceneScaleTest, TreesGrowToTheDepthLimitAndNoFurther) {
  SceneDriver scene;
  TKovaControl* parent = scene.root.ActiveBase();
  std::vector<StubBox*> chain;
  for (int32_t i = 0; i < kMaxTreeDepth; ++i) {
    chain.push_back(scene.Box("n" + std::to_string(i), TRect{0, 0, 10, 10}, parent));
    parent = chain.back();
  }
  // The deepest box is hit, drawn and placed through all its ancestors.
  EXPECT_EQ(scene.root.ActiveBase()->HitTest(TPoint{5, 5}, kMaskOther), chain.back());
  EXPECT_EQ(chain.back()->GetScreenLeft(), 0);
  EXPECT_EQ(chain.front()->SubtreeHeight(), kMaxTreeDepth - 1);

  // One level more is refused, for a new leaf and for a subtree moved under the chain, and
  // nothing moves.
  StubBox* leaf = scene.Box("leaf", TRect{});
  try {
    leaf->SetParent(chain.back());
    FAIL() << "a control was parented past the limit";
  } catch (const EListError& e) {
    EXPECT_EQ(e.Message(), Format(MsgText(TMsg::TreeTooDeep).c_str(), int(kMaxTreeDepth)));
  }
  EXPECT_EQ(leaf->GetParent(), scene.root.ActiveBase());
  StubBox* top = scene.Box("top", TRect{});
  scene.Box("under", TRect{}, top);
  EXPECT_THROW(top->SetParent(chain[size_t(kMaxTreeDepth - 2)]), EListError);
  EXPECT_EQ(top->GetParent(), scene.root.ActiveBase());
  top->SetParent(chain[size_t(kMaxTreeDepth - 3)]);
  EXPECT_EQ(top->GetParent(), chain[size_t(kMaxTreeDepth - 3)]);

  // Freeing the chain's root frees every box on it.
  scene.root.DeleteComponent(chain.front());
  EXPECT_EQ(scene.root.GetComponentCount(), 1);  // the leaf
}

TEST(SceneScaleTest, AHundredThousandBoxesUnderOneParentKeepTheirOrder) {
  SceneDriver scene;
  constexpr int kCount = 100000;
  for (int i = 0; i < kCount; ++i) scene.Box("b" + std::to_string(i), TRect{});
  const std::vector<TKovaControl*>& got = scene.root.ActiveBase()->Controls();
  ASSERT_EQ(got.size(), size_t(kCount));
  EXPECT_TRUE(std::is_sorted(got.begin(), got.end(), [](const TKovaControl* a, const TKovaControl* b) {
    return a->GetName() < b->GetName();
  }));
  EXPECT_EQ(scene.root.FindComponent("b99999"), got[size_t(kCount - 1)]);
  scene.root.Reset();
  EXPECT_EQ(scene.root.GetComponentCount(), 0);
}

}  // namespace
}  // namespace kova
