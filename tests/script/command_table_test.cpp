// The command table: the behaviour a subsystem registers for one of its command kinds runs that
// command (prepared once, executed until it advances pc); a kind nothing registered only advances
// pc; a kind has one owner.
#include "script/command_table.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <vector>

#include "script/subsystem_commands.h"
#include "support/frame_driver.h"

namespace kova::test {
namespace {

// A flip of the test's own: each run notes the kind its command evaluates; it waits until it has
// run as many frames as the command's length gives, then pc advances.
class CountingFlip : public TCommandBehaviour {
 public:
  void Prepare(TCommand& /*command*/, TCallMan& /*callman*/) override { ++prepared; }
  void Execute(TCommand& command, TCallMan& callman, TPage*& /*page*/, int32_t& pc) override {
    auto& flip = static_cast<TComFlip&>(command);
    kinds.push_back(EvalInt(flip.Kind, callman, -1));
    if (static_cast<int32_t>(kinds.size()) < EvalInt(flip.Length, callman, 0)) {
      callman.SetRunning(false);
      return;
    }
    ++pc;
  }
  int prepared = 0;
  std::vector<int32_t> kinds;
};

PageWriter FlipThenMedia() {
  PageWriter page;
  page.Flip(Value(I(7)), Value(I(2))).MediaPlay(Value(S("bgm"))).Calc(Assign("done", I(1)));
  return page;
}

TEST(CommandTable, ARegisteredBehaviourRunsItsCommand) {
  auto flip = std::make_unique<CountingFlip>();
  CountingFlip& seen = *flip;
  FrameDriver d(false, [&flip](TCommandTable& table) { table.Register(TCommandKind::Flip, std::move(flip)); });
  d.SetInt("done", 0);
  d.AddPage("main.ksb", FlipThenMedia());
  d.callman.Start("main.ksb");
  d.Frame();
  EXPECT_EQ(seen.kinds, std::vector<int32_t>{7});
  EXPECT_EQ(d.Int("done"), 0);
  d.Frame();
  // Prepared once, run in both frames; the unregistered media command only advanced.
  EXPECT_EQ(seen.prepared, 1);
  EXPECT_EQ(seen.kinds, (std::vector<int32_t>{7, 7}));
  EXPECT_EQ(d.Int("done"), 1);
}

TEST(CommandTable, WithoutARegistrationTheCommandsOnlyAdvance) {
  FrameDriver d;
  EXPECT_TRUE(d.session.Commands().Empty());
  d.SetInt("done", 0);
  d.AddPage("main.ksb", FlipThenMedia());
  d.callman.Start("main.ksb");
  d.Frame();
  EXPECT_EQ(d.Int("done"), 1);
}

TEST(CommandTable, AKindHasOneOwner) {
  TCommandTable table;
  auto noop = [](TCommand&, TCallMan&, TPage*&, int32_t& pc) { ++pc; };
  table.Register(TCommandKind::MediaPlay, noop);
  EXPECT_NE(table.Find(TCommandKind::MediaPlay), nullptr);
  EXPECT_EQ(table.Find(TCommandKind::Flip), nullptr);
  EXPECT_THROW(table.Register(TCommandKind::MediaPlay, noop), std::logic_error);
  EXPECT_THROW(table.Register(TCommandKind::Flip, std::unique_ptr<TCommandBehaviour>()), std::logic_error);
  EXPECT_EQ(table.Find(TCommandKind::Flip), nullptr);
}

}  // namespace
}  // namespace kova::test
