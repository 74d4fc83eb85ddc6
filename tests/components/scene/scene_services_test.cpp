// What the script engine reads and changes of the scene by component name.
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "components/scene/kova_cabinet.h"
#include "components/scene/scene_services.h"
#include "script/params.h"
#include "support/scene_driver.h"

namespace kova {
namespace {

using test::SceneDriver;
using test::StubBox;
using Names = std::vector<std::string>;

TEST(SceneServicesTest, ComponentsByName) {
  SceneDriver scene;
  TSceneServices services(scene.root);
  StubBox* a = scene.Box("a", TRect{10, 20, 30, 40});
  scene.Box("b", TRect{0, 0, 5, 5}, a);
  scene.Timer("t");
  auto* cabinet = scene.root.CreateComponent(KT_CABINET)->AsControl();
  cabinet->SetName("cab");
  cabinet->SetParent(scene.root.ActiveBase());
  scene.Box("parked", TRect{}, cabinet);

  EXPECT_TRUE(services.CompoExists("a"));
  EXPECT_FALSE(services.CompoExists(""));
  EXPECT_FALSE(services.CompoExists("A"));  // names are exact
  EXPECT_EQ(services.CompoType("t"), KT_TIMER);
  EXPECT_EQ(services.CompoType("none"), -1);

  TParamInt v;
  ASSERT_TRUE(services.GetProp("a", PR_TOP, v));
  EXPECT_EQ(v.GetInt(), 20);
  v.SetInt(25);
  EXPECT_TRUE(services.SetProp("a", PR_LEFT, v));
  EXPECT_EQ(a->GetLeft(), 25);
  EXPECT_FALSE(services.SetProp("none", PR_LEFT, v));

  TPoint p{30, 30};
  ASSERT_TRUE(services.ScreenToClient("a", p));
  EXPECT_EQ(p, (TPoint{5, 10}));

  EXPECT_EQ(services.ComponentNames(0, std::nullopt), (Names{"a", "b", "t", "cab", "parked"}));
  EXPECT_EQ(services.ComponentNames(KT_BOX, std::string_view("a")), (Names{"b"}));
  EXPECT_EQ(services.ComponentNames(99, std::string_view("nobody")), (Names{"t"}));
  EXPECT_EQ(services.ComponentNames(KT_BOX | 256, std::nullopt), (Names{"a", "b", "parked"}));

  EXPECT_TRUE(services.InPrimary("b"));
  EXPECT_FALSE(services.InPrimary("parked"));
  EXPECT_FALSE(services.InPrimary(""));
  a->SetParent(scene.root.Bases(1));
  EXPECT_FALSE(services.InPrimary("b"));
}

TEST(SceneServicesTest, CreateAndDelete) {
  SceneDriver scene;
  TSceneServices services(scene.root);
  TKovaObject* box = services.CreateComponent(KT_BOX, "box", "");
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->GetParent(), scene.root.ActiveBase());
  TKovaObject* inner = services.CreateComponent(KT_BOX, "", "box");
  EXPECT_EQ(inner->GetName(), "object0");
  EXPECT_EQ(inner->GetParent(), box);
  EXPECT_EQ(services.CreateComponent(KT_BOX, "x", "nobody")->GetParent(), scene.root.ActiveBase());
  EXPECT_EQ(services.CreateComponent(KT_HTTP, "m", ""), nullptr);  // no class yet
  EXPECT_FALSE(services.DeleteComponent("BASE0"));
  EXPECT_FALSE(services.DeleteComponent(""));
  EXPECT_TRUE(services.DeleteComponent("box"));
  EXPECT_EQ(services.FindComponent("box"), nullptr);  // it lost its name at once
  scene.root.Update();                                // and is freed with its children
  EXPECT_EQ(scene.root.GetComponentCount(), 1);

  // The active layer's picture as a BMP file.
  const std::string path = ::testing::TempDir() + "kova_layer.bmp";
  EXPECT_TRUE(services.SaveLayerBitmap(path));
  std::remove(path.c_str());
}

TEST(SceneServicesTest, FocusAndPointer) {
  SceneDriver scene;
  TSceneServices services(scene.root);
  StubBox* keys = scene.Box("keys", TRect{0, 0, 10, 10});
  StubBox* plain = scene.Box("plain", TRect{0, 0, 10, 10});
  services.FocusCompo("plain");  // takes no keys
  EXPECT_EQ(services.ActiveCompo(), "");
  keys->SetHandleKey(true);
  services.FocusCompo("keys");
  EXPECT_EQ(services.ActiveCompo(), "keys");
  plain->SetHandleKey(true);
  plain->paused = true;
  services.FocusCompo("plain");
  EXPECT_EQ(services.ActiveCompo(), "keys");

  scene.Input(TInputKind::LDown, 3, 4);
  scene.Key(TInputKind::KeyDown, 37);
  scene.Frame();
  EXPECT_EQ(services.MouseX(), 3);
  EXPECT_EQ(services.MouseY(), 4);
  EXPECT_TRUE(services.LPush());
  EXPECT_TRUE(services.KeyDown(37));
  EXPECT_TRUE(services.KeyPressed(37));
  EXPECT_FALSE(services.KeyDown(300));
  services.SetSoundOn(false);
  EXPECT_FALSE(scene.root.MediaEnabled());
}

}  // namespace
}  // namespace kova
