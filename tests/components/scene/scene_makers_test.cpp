#include "components/scene/scene_makers.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "components/scene/kova_control.h"
#include "components/scene/scene_parts.h"
#include "components/scene/scene_subsystem.h"
#include "core/subsystem.h"
#include "graphics/dibx.h"

namespace kova {
namespace {

class CountingMakers : public ISceneMakers {
 public:
  std::unique_ptr<ISceneFilm> LoadFilm(const std::string& name, TKovaControl&) override {
    films.push_back(name);
    return nullptr;
  }
  std::unique_ptr<ISceneWipe> CreateWipe(int32_t kind, TCustomDIBX&, TCustomDIBX&, TCustomDIBX&, int32_t,
                                         bool) override {
    wipes.push_back(kind);
    return nullptr;
  }
  std::vector<std::string> films;
  std::vector<int32_t> wipes;
};

// A subsystem above the scene that registers its makers, as the motion layer does.
class MakerSubsystem : public TSubsystem {
 public:
  std::string_view Name() const override { return "motion"; }
  void Register(TSubsystemRegistry& registry) override { registry.makers->Register(makers); }
  CountingMakers makers;
};

TEST(SceneMakersTest, TheSceneAsksTheMakersAHigherSubsystemRegistered) {
  TSceneParts parts;
  TSceneServices services(parts.Root());
  TSceneSubsystem scene(parts, services);
  MakerSubsystem motion;
  TSubsystemRegistry registry{.kinds = &parts.Kinds()};
  TSubsystems subsystems(registry, {&scene, &motion});
  ASSERT_EQ(registry.makers, &parts.Makers());

  // The root owns the components made over it.
  TKovaControl& target = *new TKovaControl(&parts.Root());
  TDIBX a, b, c;
  EXPECT_EQ(parts.Root().Makers().LoadFilm("walk.kmt", target), nullptr);
  EXPECT_EQ(parts.Root().Makers().CreateWipe(3, a, b, c, 10, false), nullptr);
  EXPECT_EQ(motion.makers.films, std::vector<std::string>{"walk.kmt"});
  EXPECT_EQ(motion.makers.wipes, std::vector<int32_t>{3});
  // One subsystem owns the films and transitions.
  CountingMakers other;
  EXPECT_THROW(parts.Makers().Register(other), std::logic_error);
}

TEST(SceneMakersTest, AnEmptySlotMakesNothing) {
  TSceneParts parts;
  // The root owns the components made over it.
  TKovaControl& target = *new TKovaControl(&parts.Root());
  TDIBX a, b, c;
  EXPECT_FALSE(parts.Makers().Registered());
  EXPECT_EQ(parts.Root().Makers().LoadFilm("walk.kmt", target), nullptr);
  EXPECT_EQ(parts.Root().Makers().CreateWipe(3, a, b, c, 10, false), nullptr);
}

}  // namespace
}  // namespace kova
