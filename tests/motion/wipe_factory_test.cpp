#include "motion/wipe_factory.h"

#include <gtest/gtest.h>

#include "core/vocabulary.h"
#include "graphics/dibx.h"

namespace kova {
namespace {

TEST(WipeFactoryTest, NoTransitionForKindZeroAndKindsBeyondTheTable) {
  TDIBX dest, from, to;
  for (TDIBX* s : {&dest, &from, &to}) s->SetSize(16, 12, 32);
  for (int32_t kind : {int32_t(WP_NONE), 32, 255, -1}) {
    EXPECT_EQ(CreateWipe(kind, TWipeEnv{}, dest, from, to), nullptr) << kind;
  }
}

TEST(WipeFactoryTest, DefaultParametersByKind) {
  const auto& t = WipeDefaultParams();
  EXPECT_EQ(t[WP_BLINDH], (std::array<int32_t, 2>{20, 1}));
  EXPECT_EQ(t[WP_CURTAINV], (std::array<int32_t, 2>{30, 1}));
  EXPECT_EQ(t[WP_GRIDV], (std::array<int32_t, 2>{80, 30}));
  EXPECT_EQ(t[WP_RIPPLE], (std::array<int32_t, 2>{5, 0}));
  EXPECT_EQ(t[WP_CRACK], (std::array<int32_t, 2>{64, 3}));
  EXPECT_EQ(t[WP_FADE], (std::array<int32_t, 2>{0, 0}));
}

}  // namespace
}  // namespace kova
