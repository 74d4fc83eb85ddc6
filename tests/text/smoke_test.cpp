#include <gtest/gtest.h>
#include "text/xr_word.h"
TEST(Smoke, Builds) { kova::TXrWord w; w.Parse("abc"); EXPECT_EQ(w.GlyphCount(), 3); }
