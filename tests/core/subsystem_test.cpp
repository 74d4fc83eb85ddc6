// The subsystem contract: registration in layer order, stop in reverse order, once.
#include "core/subsystem.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace kova {
namespace {

class Recorder : public TSubsystem {
 public:
  Recorder(std::string name, std::vector<std::string>& log) : name_(std::move(name)), log_(log) {}
  std::string_view Name() const override { return name_; }
  void Register(TSubsystemRegistry& registry) override {
    // A higher subsystem sees what the lowest one registered (the stand-in port names it).
    const auto* first = reinterpret_cast<const Recorder*>(registry.scene);
    log_.push_back("register " + name_ + (first ? " over " + first->name_ : ""));
    if (!first) registry.scene = reinterpret_cast<TScenePort*>(this);
  }
  void Stop() override { log_.push_back("stop " + name_); }

 private:
  std::string name_;
  std::vector<std::string>& log_;
};

TEST(SubsystemsTest, RegisterInLayerOrderAndStopInReverseOnce) {
  std::vector<std::string> log;
  Recorder scene("scene", log), media("media", log), player("player", log);
  TSubsystemRegistry registry;
  {
    TSubsystems subsystems(registry);
    subsystems.Add(scene);
    subsystems.Add(media);
    subsystems.Add(player);
    ASSERT_EQ(subsystems.Running().size(), 3u);
    EXPECT_EQ(subsystems.Running().front()->Name(), "scene");
    subsystems.StopAll();
    EXPECT_TRUE(subsystems.Running().empty());
    log.push_back("-");
  }  // the destructor stops nothing twice
  EXPECT_EQ(log, (std::vector<std::string>{"register scene", "register media over scene",
                                           "register player over scene", "stop player", "stop media",
                                           "stop scene", "-"}));
  EXPECT_EQ(registry.scene, reinterpret_cast<TScenePort*>(&scene));
}

TEST(SubsystemsTest, TheDestructorStopsWhatIsStillRunning) {
  std::vector<std::string> log;
  Recorder text("text", log), scene("scene", log);
  TSubsystemRegistry registry;
  {
    TSubsystems subsystems(registry);
    subsystems.Add(text);
    subsystems.Add(scene);
  }
  EXPECT_EQ(log, (std::vector<std::string>{"register text", "register scene over text", "stop scene", "stop text"}));
}

}  // namespace
}  // namespace kova
