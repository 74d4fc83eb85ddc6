#include "platform/window/viewport.h"

#include <gtest/gtest.h>

namespace kova::plat {
namespace {

struct FitCase {
  TSize client;
  int32_t strip;
  TSize game;
  TScreenRect picture;
};

// The picture keeps its aspect, is centred in the area below the strip, and sits 1:1 when the area
// has the game's size.
TEST(Viewport, FitsThePictureBelowTheStrip) {
  const FitCase cases[] = {
      {{800, 609}, 9, {800, 600}, {0, 9, 800, 609}},       // a window of the game's size
      {{1024, 768}, 0, {800, 600}, {0, 0, 1024, 768}},     // same aspect, scaled up
      {{1920, 1080}, 0, {800, 600}, {240, 0, 1680, 1080}}, // bars left and right
      {{800, 900}, 0, {800, 600}, {0, 150, 800, 750}},     // bars above and below
      {{400, 309}, 9, {800, 600}, {0, 9, 400, 309}},       // scaled down
      {{641, 489}, 9, {640, 480}, {0, 9, 640, 489}},       // one spare column: odd bar split
      {{100, 5}, 9, {640, 480}, {0, 5, 0, 5}},             // nothing left below the strip
      {{100, 100}, 0, {0, 0}, {0, 0, 0, 0}},               // no game size
  };
  for (const FitCase& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.client.width << "x" << c.client.height << " strip " << c.strip);
    EXPECT_EQ(TViewport(c.client, c.strip, c.game).Picture(), c.picture);
  }
}

// Every game pixel sent out to the window comes back as itself whenever the picture is at least
// the game's size, and positions map through the bars and the strip correctly.
TEST(Viewport, MapsBetweenWindowAndGame) {
  for (const TSize client : {TSize{64, 57}, TSize{100, 57}, TSize{147, 200}, TSize{192, 153}}) {
    const TViewport view(client, 9, {64, 48});
    for (int32_t y = 0; y < 48; ++y) {
      for (int32_t x = 0; x < 64; ++x) {
        TPoint back;
        ASSERT_TRUE(view.ToGame(view.ToWindow({x, y}), back)) << x << "," << y;
        ASSERT_EQ(back, (TPoint{x, y})) << client.width << "x" << client.height;
      }
    }
  }
  // 2x with 40-pixel bars left and right: window 139 is game 49; the bars clamp to the edges.
  const TViewport view({208, 96}, 0, {64, 48});
  TPoint g;
  EXPECT_TRUE(view.ToGame({139, 95}, g));
  EXPECT_EQ(g, (TPoint{49, 47}));
  EXPECT_FALSE(view.ToGame({39, 10}, g));
  EXPECT_EQ(g, (TPoint{0, 5}));
  EXPECT_FALSE(view.ToGame({168, 200}, g));
  EXPECT_EQ(g, (TPoint{63, 47}));
  EXPECT_FALSE(view.ToGame({-5, -5}, g));
  EXPECT_EQ(g, (TPoint{0, 0}));
}

}  // namespace
}  // namespace kova::plat
