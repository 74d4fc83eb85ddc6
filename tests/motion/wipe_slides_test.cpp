#include "motion/wipe_slides.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "core/vocabulary.h"
#include "wipe_scene.h"

namespace kova {
namespace {

using wipetest::Blend;
using wipetest::FirstDifference;
using wipetest::Picture;
using wipetest::Rgb;
using wipetest::TWipeScene;

constexpr int32_t kDepths[] = {15, 16, 32};
constexpr double kPi = std::numbers::pi;

TEST(WipeScrollTest, NewPicturePushesTheOldOneOut) {
  for (int32_t bits : kDepths)
    for (bool rev : {false, true}) {
      // 16 x 12 over length 16 at pos 4: o = 4 across, 3 down.
      TWipeScene h(WP_SCROLLH, 16, 12, bits, 16, rev), v(WP_SCROLLV, 16, 12, bits, 16, rev);
      h.StepAt(0);
      v.StepAt(0);
      EXPECT_EQ(FirstDifference(*h.dest, *h.from), "") << bits << rev;
      EXPECT_EQ(FirstDifference(*v.dest, *v.from), "") << bits << rev;
      h.StepAt(4);
      v.StepAt(4);
      for (int32_t y = 0; y < 12; ++y)
        for (int32_t x = 0; x < 16; ++x) {
          const uint32_t want_h = !rev ? (x < 12 ? h.Old(x + 4, y) : h.New(x - 12, y))
                                       : (x < 4 ? h.New(x + 12, y) : h.Old(x - 4, y));
          const uint32_t want_v = !rev ? (y < 9 ? v.Old(x, y + 3) : v.New(x, y - 9))
                                       : (y < 3 ? v.New(x, y + 9) : v.Old(x, y - 3));
          ASSERT_EQ(h.At(x, y), want_h) << bits << rev << " (" << x << ", " << y << ")";
          ASSERT_EQ(v.At(x, y), want_v) << bits << rev << " (" << x << ", " << y << ")";
        }
    }
}

TEST(WipeSudareTest, ColumnSmearRunsOutOverTheOldPictureAndBackOverTheNew) {
  // W 640 over length 1279: c = pos up to 639, then 1279 - pos.
  struct Case {
    int32_t pos, c;
    bool old_picture;
  };
  const Case cases[] = {{0, 0, true}, {300, 300, true}, {639, 639, true}, {640, 639, false},
                        {1000, 279, false}, {1278, 1, false}};
  for (int32_t bits : kDepths)
    for (bool rev : {false, true})
      for (const Case& k : cases) {
        TWipeScene s(WP_SUDAREH, 640, 2, bits, 1279, rev);
        s.StepAt(k.pos);
        auto src = [&](int32_t x, int32_t y) { return k.old_picture ? s.Old(x, y) : s.New(x, y); };
        const int32_t smear = rev ? 639 - k.c : k.c;  // the column stretched
        for (int32_t y = 0; y < 2; ++y)
          for (int32_t x : {0, 1, k.c / 2, k.c, k.c + 1, 638 - k.c, 639 - k.c, 640 - k.c, 320, 639}) {
            if (x < 0 || x > 639) continue;
            const bool smeared = rev ? x >= 639 - k.c : x <= k.c;
            ASSERT_EQ(s.At(x, y), smeared ? src(smear, y) : src(x, y))
                << bits << rev << " pos " << k.pos << " x " << x;
          }
      }
}

TEST(WipeSudareTest, RowSmearRunsDownAndBack) {
  // H 20 over length 39: c = pos up to 19, then 39 - pos.
  for (int32_t bits : kDepths)
    for (bool rev : {false, true})
      for (int32_t pos : {0, 7, 19, 20, 33, 38}) {
        TWipeScene s(WP_SUDAREV, 6, 20, bits, 39, rev);
        s.StepAt(pos);
        const bool old_picture = pos < 20;
        const int32_t c = old_picture ? pos : 39 - pos, smear = rev ? 19 - c : c;
        auto src = [&](int32_t x, int32_t y) { return old_picture ? s.Old(x, y) : s.New(x, y); };
        for (int32_t y = 0; y < 20; ++y)
          for (int32_t x = 0; x < 6; x += 5) {
            const bool smeared = rev ? y >= 19 - c : y <= c;
            ASSERT_EQ(s.At(x, y), smeared ? src(x, smear) : src(x, y)) << bits << rev << " pos " << pos << " y " << y;
          }
      }
}

// Pictures whose colour depends on one coordinate only, so that a line squeezed by the twist
// shows that line's colour wherever it lies.
int32_t OldLine(int32_t i) { return Rgb(50 + 4 * i, 100, 30 + 2 * i); }
int32_t NewLine(int32_t i) { return Rgb(20, 200 - 3 * i, 90 + 2 * i); }

// The twist's picture from the Part's formulas: line i (a row of TwistH, a column of TwistV) of
// `lines` lines `across` long; the colour at offset t along the line, or the marker when the line
// has not started.
struct TwistLine {
  enum { NotStarted, Turning, Finished } state;
  int32_t c;
};
TwistLine TwistOf(int32_t pos, int32_t len, int32_t lines, int32_t across, int32_t i, bool rev) {
  const int32_t walk = rev ? lines - 1 - i : i;  // the step of the walk that reaches line i
  const double phase = pos * (3 * kPi / 2) / len;
  const double a = phase - double(walk) / lines * (kPi / 2);
  if (a < 0) return {TwistLine::NotStarted, 0};
  if (a > kPi) return {TwistLine::Finished, 0};
  return {TwistLine::Turning, int32_t(std::nearbyint(std::cos(a) * across))};
}

TEST(WipeTwistTest, RowsTurnLikeCardsDownTheScreen) {
  for (int32_t bits : kDepths)
    for (bool rev : {false, true})
      for (int32_t pos : {0, 50, 100, 170, 250, 299}) {
        const int32_t w = 30, h = 40;
        TWipeScene s(WP_TWISTH, Picture(w, h, bits, [](int32_t, int32_t) { return wipetest::kMarker; }),
                     Picture(w, h, bits, [](int32_t, int32_t y) { return OldLine(y); }),
                     Picture(w, h, bits, [](int32_t, int32_t y) { return NewLine(y); }), 300, rev);
        s.StepAt(pos);
        for (int32_t y = 0; y < h; ++y) {
          const TwistLine t = TwistOf(pos, 300, h, w, y, rev);
          for (int32_t x = 0; x < w; ++x) {
            uint32_t want = 0;
            if (t.state == TwistLine::NotStarted) want = s.Marker();
            if (t.state == TwistLine::Finished) want = s.New(0, y);
            if (t.c > 0 && x >= (w - t.c) / 2 && x < (w - t.c) / 2 + t.c) want = s.Old(0, y);
            if (t.c < 0 && x >= (w + t.c) / 2 && x < (w + t.c) / 2 - t.c) want = s.New(0, y);
            ASSERT_EQ(s.At(x, y), want) << bits << rev << " pos " << pos << " (" << x << ", " << y << ")";
          }
        }
      }
}

TEST(WipeTwistTest, ThePartsRowsAtAThirdOfTheLength) {
  // 300 x 300 over 300 at pos 100: the top row edge-on (black), the bottom row still at full width.
  TWipeScene s(WP_TWISTH, 300, 300, 32, 300);
  s.StepAt(100);
  for (int32_t x = 0; x < 300; x += 7) {
    EXPECT_EQ(s.At(x, 0), 0u) << x;
    EXPECT_EQ(s.At(x, 299), s.Old(x, 299)) << x;
  }
}

TEST(WipeTwistTest, ColumnsTurnInRunsAcrossTheScreen) {
  for (int32_t bits : kDepths)
    for (bool rev : {false, true})
      for (int32_t pos : {0, 40, 100, 160, 230, 299}) {
        const int32_t w = 45, h = 33;
        TWipeScene s(WP_TWISTV, Picture(w, h, bits, [](int32_t, int32_t) { return wipetest::kMarker; }),
                     Picture(w, h, bits, [](int32_t x, int32_t) { return OldLine(x); }),
                     Picture(w, h, bits, [](int32_t x, int32_t) { return NewLine(x); }), 300, rev);
        s.StepAt(pos);
        for (int32_t x = 0; x < w; ++x) {
          const TwistLine t = TwistOf(pos, 300, w, h, x, rev);
          const int32_t size = t.c < 0 ? -t.c : t.c, m = (h - size) / 2;
          for (int32_t y = 0; y < h; ++y) {
            uint32_t want = 0;  // the bands above and below are black, down to the bottom row
            if (t.state == TwistLine::NotStarted) want = s.Marker();
            if (t.state == TwistLine::Finished) want = s.New(x, 0);
            if (t.c > 0 && y >= m && y < m + size) want = s.Old(x, 0);
            if (t.c < 0 && y >= m && y < m + size) want = s.New(x, 0);
            ASSERT_EQ(s.At(x, y), want) << bits << rev << " pos " << pos << " (" << x << ", " << y << ")";
          }
        }
      }
}

// Dest as the Part draws Small or Big at this step, made with the drawing operation directly.
std::unique_ptr<TDIBX> Rotated(TWipeScene& s, bool small, int32_t z, int32_t angle) {
  auto ref = std::make_unique<TDIBX>();
  ref->SetSize(s.dest->Width(), s.dest->Height(), s.dest->BitCount());
  TDIBX& under = small ? *s.to : *s.from;
  TDIBX& over = small ? *s.from : *s.to;
  ref->Assign(under);
  ref->DrawRotate(ref->Width() / 2, ref->Height() / 2, z, z, over, over.BoundsRect(), over.Width() / 2,
                  over.Height() / 2, angle, false, false, false, z);
  return ref;
}

TEST(WipeSmallBigTest, SmallShrinksAndTurnsOnceOverTheTransition) {
  for (int32_t bits : kDepths) {
    // p0 = 256: one whole turn; z falls from 255 with (len - 1 - pos) / len.
    struct Case {
      int32_t pos, z, angle;
    };
    for (const Case& c : {Case{0, 252, 0}, Case{25, 189, 64}, Case{50, 125, 128}, Case{75, 61, 192}}) {
      TWipeScene fwd(WP_SMALL, 40, 30, bits, 100), back(WP_SMALL, 40, 30, bits, 100, true);
      fwd.wipe->SetParam(0, 256);
      back.wipe->SetParam(0, 256);
      fwd.StepAt(c.pos);
      back.StepAt(c.pos);
      EXPECT_EQ(FirstDifference(*fwd.dest, *Rotated(fwd, true, c.z, c.angle)), "") << bits << " pos " << c.pos;
      EXPECT_EQ(FirstDifference(*back.dest, *Rotated(back, true, c.z, -c.angle)), "") << bits << " pos " << c.pos;
      if (c.angle == 64) {
        EXPECT_NE(FirstDifference(*fwd.dest, *back.dest), "");  // the turn's direction shows
      }
    }
  }
}

TEST(WipeSmallBigTest, BigGrowsFromNothingAndTurnsBackToUpright) {
  for (int32_t bits : kDepths) {
    TWipeScene s(WP_BIG, 40, 30, bits, 100), r(WP_BIG, 40, 30, bits, 100, true);
    s.wipe->SetParam(0, 256);
    r.wipe->SetParam(0, 256);
    // pos 0: level 0 draws nothing over the old picture.
    s.StepAt(0);
    EXPECT_EQ(FirstDifference(*s.dest, *s.from), "") << bits;
    // pos 60: z = Round(0.6 x 255) = 153, angle = Round(256 x 39 / 100) = 100.
    s.StepAt(60);
    r.StepAt(60);
    EXPECT_EQ(FirstDifference(*s.dest, *Rotated(s, false, 153, 100)), "") << bits;
    EXPECT_EQ(FirstDifference(*r.dest, *Rotated(r, false, 153, -100)), "") << bits;
  }
}

TEST(WipeZoominTest, MagnifiesTowardThePointAndBack) {
  for (int32_t bits : kDepths) {
    // f = 1 at pos = len / 2: a 1 x 1 source fills the screen.
    struct Point {
      int32_t p0, p1, x, y;
    };
    for (const Point& p : {Point{0, 0, 0, 0}, Point{5, 3, 5, 3}, Point{100, -100, 15, 0}}) {
      TWipeScene s(WP_ZOOMIN, 16, 12, bits, 100);
      s.wipe->SetParam(0, p.p0);
      s.wipe->SetParam(1, p.p1);
      s.StepAt(50);
      for (int32_t y = 0; y < 12; y += 5)
        for (int32_t x = 0; x < 16; x += 5) ASSERT_EQ(s.At(x, y), s.Old(p.x, p.y)) << bits << " " << p.p0;
    }
    TWipeScene s(WP_ZOOMIN, 16, 12, bits, 100);
    s.StepAt(0);
    EXPECT_EQ(FirstDifference(*s.dest, *s.from), "") << bits;
    // f = 0.5 toward (12, 3): a source of 8 x 6 at left Round(2) + 8 - 4 = 6, top
    // Round(-1.5) + 6 - 3 = 1 (halves to even); at f = 1.5 the same rectangle of the new picture.
    s.wipe->SetParam(0, 12);
    s.wipe->SetParam(1, 3);
    s.StepAt(25);
    EXPECT_EQ(s.At(0, 0), s.Old(6, 1)) << bits;
    EXPECT_EQ(s.At(15, 11), s.Old(13, 6)) << bits;
    EXPECT_EQ(s.At(2, 2), s.Old(7, 2)) << bits;
    s.StepAt(75);
    EXPECT_EQ(s.At(0, 0), s.New(6, 1)) << bits;
    EXPECT_EQ(s.At(15, 11), s.New(13, 6)) << bits;
  }
}

TEST(WipeMosaicTest, SmallPictureSizesAtTheEndsAndTheMiddle) {
  // 640 x 480: 164 x 123 at v = 0 and at v = 1022 (e = 263), 15 x 11 at v = 511 (e = 24).
  struct Case {
    int32_t pos, w, h;
  };
  for (const Case& c : {Case{0, 164, 123}, Case{511, 15, 11}, Case{1022, 164, 123}}) {
    TWipeScene s(WP_MOSAIC, 640, 480, 32, 1023);
    s.from->Fill(uint32_t(s.from->ColorToPixel(0x103050)));
    s.to->Fill(uint32_t(s.to->ColorToPixel(0x605040)));
    auto* m = dynamic_cast<TWipeMosaic*>(s.wipe.get());
    ASSERT_TRUE(m);
    ASSERT_EQ(m->Work().Width(), 640);
    s.StepAt(c.pos);
    EXPECT_NE(m->Work().GetPixel(c.w - 1, c.h - 1), 0u) << c.pos;
    EXPECT_EQ(m->Work().GetPixel(c.w, 0), 0u) << c.pos;
    EXPECT_EQ(m->Work().GetPixel(0, c.h), 0u) << c.pos;
  }
}

TEST(WipeMosaicTest, NewPictureBlendsInAroundTheMiddle) {
  // Length 1023: v = pos. Levels (v - 256) div 4 in the second quarter, (v - 256) div 2 in the
  // third: 63 then 128.
  struct Case {
    int32_t v;
    int32_t level;  // -1: the old picture alone (0 draws nothing either); 256: the new one alone
  };
  const Case cases[] = {{0, -1},   {255, -1},  {256, 0},   {296, 10},  {511, 63},
                        {512, 128}, {700, 222}, {767, 255}, {768, 256}, {1022, 256}};
  for (int32_t bits : kDepths)
    for (const Case& c : cases) {
      TWipeScene s(WP_MOSAIC, 64, 48, bits, 1023);
      const uint32_t a = uint32_t(s.from->ColorToPixel(0x103050)), b = uint32_t(s.to->ColorToPixel(0x60A040));
      s.from->Fill(a);
      s.to->Fill(b);
      s.StepAt(c.v);
      const uint32_t want = c.level <= 0 ? a : c.level >= 255 ? b : Blend(*s.dest, a, b, uint32_t(c.level));
      for (int32_t y = 0; y < 48; y += 11)
        for (int32_t x = 0; x < 64; x += 9) ASSERT_EQ(s.At(x, y), want) << bits << " v " << c.v;
    }
}

TEST(WipeMosaicTest, BlocksOfTheSmallPicture) {
  // 64 x 48 at v = 0: 16 x 12 x 263 shr 8 = 16 x 12, blocks of 4 x 4 pixels of the old picture.
  TWipeScene s(WP_MOSAIC, 64, 48, 32, 1023);
  s.StepAt(0);
  auto* m = dynamic_cast<TWipeMosaic*>(s.wipe.get());
  for (int32_t y = 0; y < 48; y += 5)
    for (int32_t x = 0; x < 64; x += 3) ASSERT_EQ(s.At(x, y), m->Work().GetPixel(x / 4, y / 4)) << x << ", " << y;
  EXPECT_EQ(m->Work().GetPixel(3, 2), s.Old(12, 8));
}

}  // namespace
}  // namespace kova
