#include "motion/film_track.h"

#include <gtest/gtest.h>

#include "components/scene/image_cache.h"
#include "components/scene/kova_object.h"
#include "graphics/dibx.h"
#include "motion/film_image_frame.h"

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

namespace kova {
namespace {

// A frame of a fixed duration and offset.
class TTicksFrame : public TCustomFrame {
 public:
  TTicksFrame(TCustomFrameList& track, int32_t ticks, TPoint offset = {})
      : TCustomFrame(track), ticks_(ticks), offset_(offset) {}
  int32_t Duration() const override { return ticks_; }
  TPoint Offset() const override { return offset_; }

 private:
  int32_t ticks_;
  TPoint offset_;
};

// A film that is only its list of tracks.
class TTrackFilm : public IFilmOfTracks {
 public:
  int32_t TrackCount() const override { return static_cast<int32_t>(tracks.size()); }
  TCustomFrameList* TrackAt(int32_t index) const override {
    return index >= 0 && index < TrackCount() ? tracks[static_cast<size_t>(index)].get() : nullptr;
  }
  bool MotionMode() const override { return motion; }
  bool DrawsTarget() const override { return target; }
  int32_t WipeParityAt(int64_t tick) const override { return tick >= parity_from ? 1 : 0; }
  void PlaceOnLayer(TKovaObject& sprite, int32_t layer) override { placed.push_back({&sprite, layer}); }
  bool Relative() const override { return relative; }
  TPoint Origin() const override { return origin; }

  template <class Track = TCustomImageFrameList>
  Track& Add() {
    tracks.push_back(std::make_unique<Track>(this));
    return static_cast<Track&>(*tracks.back());
  }
  std::vector<TCustomFrameList*> Pointers() const {
    std::vector<TCustomFrameList*> out;
    for (const auto& t : tracks) out.push_back(t.get());
    return out;
  }

  std::vector<std::unique_ptr<TCustomFrameList>> tracks;
  bool motion = false, relative = false, target = false;
  TPoint origin;
  int64_t parity_from = 1000;  // the film's first transition starts here
  std::vector<std::pair<TKovaObject*, int32_t>> placed;
};

// An image-like track that keeps what it is asked to do.
class TPoseTrack : public TCustomImageFrameList {
 public:
  using TCustomImageFrameList::TCustomImageFrameList;
  TKovaObject* CreateSprite() override {
    ++created;
    if (!Sprite) Sprite = &sprite;
    return Sprite;
  }
  void HideSprite() override {
    ++hidden;
    Sprite = nullptr;
  }
  void Apply(const TCustomFrame& frame, const TPose& pose) override { applied.push_back({&frame, pose}); }

  TKovaObject sprite{nullptr};
  int created = 0, hidden = 0;
  std::vector<std::pair<const TCustomFrame*, TPose>> applied;
};

struct TIntCase {
  int32_t mode, start, end, n;
  std::vector<int32_t> expected;  // at steps 0 .. n - 1
};

TEST(FilmTrackInterpolationTest, IntegerStepsOfEachMode) {
  const TIntCase cases[] = {
      {MT_NORMAL, 0, 10, 5, {0, 2, 5, 7, 10}},
      {MT_DEC, 0, 100, 4, {0, 38, 71, 100}},
      {MT_INC, 0, 100, 4, {0, 29, 62, 100}},
      {7, 0, 100, 4, {0, 38, 71, 100}},    // any other mode is MT_DEC
      {MT_NORMAL, 10, 0, 5, {10, 8, 5, 3, 0}},  // the division truncates toward zero
      {MT_DEC, 100, 0, 4, {100, 62, 29, 0}},
      {MT_NORMAL, 3, 9, 1, {3}},           // one tick shows the start only
      {MT_DEC, 3, 9, 1, {3}},
      // sin(pi / 6) * 3 falls just below 1.5 with the constant pi / 2: 1, not 2.
      {MT_DEC, 0, 3, 3, {0, 1, 3}},
      {MT_INC, 0, 3, 3, {0, 2, 3}},
  };
  for (const TIntCase& c : cases) {
    for (int32_t i = 0; i < c.n; ++i) {
      EXPECT_EQ(InterpolateSteps(uint8_t(c.mode), c.start, c.end, i, c.n), c.expected[size_t(i)])
          << "mode " << c.mode << " " << c.start << ".." << c.end << " over " << c.n << " at " << i;
    }
  }
}

TEST(FilmTrackInterpolationTest, FloatStepsDivideByTheLength) {
  const double linear[] = {0, 2, 4, 6, 10};
  for (int32_t i = 0; i < 5; ++i) EXPECT_DOUBLE_EQ(InterpolateStepsFloat(MT_NORMAL, i, 0, 10, 5), linear[i]) << i;
  EXPECT_DOUBLE_EQ(InterpolateStepsFloat(MT_DEC, 1, 0, 100, 4), 100 * std::sin(1.5707963267948966 / 4));
  EXPECT_DOUBLE_EQ(InterpolateStepsFloat(MT_INC, 1, 0, 100, 4), 100 - 100 * std::sin(2 * 1.5707963267948966 / 4));
  EXPECT_DOUBLE_EQ(InterpolateStepsFloat(MT_INC, 3, 0.5, 2.5, 4), 2.5);
}

TEST(FilmTrackInterpolationTest, WideSpansNeitherWrapNorDivideByZero) {
  constexpr int32_t lo = std::numeric_limits<int32_t>::min(), hi = std::numeric_limits<int32_t>::max();
  // A 32-bit product wraps here (100000 * 50000).
  EXPECT_EQ(InterpolateSteps(MT_NORMAL, 0, 100000, 50000, 100001), 50000);
  EXPECT_EQ(InterpolateSteps(MT_NORMAL, lo, hi, 1, 3), -1);
  EXPECT_EQ(InterpolateSteps(MT_DEC, lo, hi, 2, 4), lo + 3037000499);  // Round(sin(pi / 4) * (2^32 - 1))
  // Steps outside the span stay in the Int32 range.
  EXPECT_EQ(InterpolateSteps(MT_NORMAL, 0, hi, 4, 3), hi);
  EXPECT_EQ(InterpolateSteps(MT_NORMAL, 0, lo, hi, 3), lo);
  // No room to divide: a step past the span gives the end value.
  EXPECT_EQ(InterpolateSteps(MT_NORMAL, 1, 9, 5, 1), 9);
  EXPECT_EQ(InterpolateSteps(MT_DEC, 1, 9, 5, 0), 9);
  EXPECT_EQ(InterpolateStepsFloat(MT_NORMAL, 5, 1, 9, 0), 9);
  EXPECT_EQ(InterpolateSteps(MT_NORMAL, 1, 9, -1, 0), 9);  // n - 1 = -1 is the end
  // Steps and lengths no track has are held at the Int32 bounds, not overflowed.
  constexpr int64_t far = std::numeric_limits<int64_t>::max();
  EXPECT_EQ(InterpolateSteps(MT_NORMAL, 0, hi, far, far), hi);
  EXPECT_EQ(InterpolateSteps(MT_DEC, 0, 100, -far, -far), 100);
  EXPECT_EQ(InterpolateStepsFloat(MT_NORMAL, -far, 0, 4, std::numeric_limits<int64_t>::min()), 4);
}

TEST(FilmTrackInterpolationTest, AFollowerAddsOneStepSoTheTrackNeverShowsItsEnd) {
  TTrackFilm film;
  auto& a = film.Add();
  a.Duration = 4;
  std::vector<int32_t> alone, followed;
  std::vector<double> alone_f, followed_f;
  for (int32_t i = 0; i < 4; ++i) {
    alone.push_back(a.InterpolateInt(MT_NORMAL, 0, 120, i));
    alone_f.push_back(a.InterpolateFloat(MT_NORMAL, i, 0, 120));
  }
  auto& b = film.Add();
  ASSERT_TRUE(b.SetLink(&a));
  for (int32_t i = 0; i < 4; ++i) {
    followed.push_back(a.InterpolateInt(MT_NORMAL, 0, 120, i));
    followed_f.push_back(a.InterpolateFloat(MT_NORMAL, i, 0, 120));
  }
  EXPECT_EQ(alone, (std::vector<int32_t>{0, 40, 80, 120}));
  EXPECT_EQ(followed, (std::vector<int32_t>{0, 30, 60, 90}));
  EXPECT_EQ(alone_f, (std::vector<double>{0, 30, 60, 120}));
  EXPECT_EQ(followed_f, (std::vector<double>{0, 24, 48, 72}));
  EXPECT_EQ(a.FindFollower(), &b);
  EXPECT_EQ(b.FindFollower(), nullptr);
}

TEST(FilmTrackFrameTest, FrameAtATick) {
  struct TCase {
    std::vector<int32_t> durations;
    int32_t cycle;
    std::vector<std::pair<int64_t, int32_t>> ticks;  // t, frame index
  };
  const TCase cases[] = {
      {{2, 3, 1}, 6, {{0, 0}, {1, 0}, {2, 1}, {4, 1}, {5, 2}, {6, 0}, {8, 1}, {6000000001, 0}}},
      // A negative time keeps its sign through the modulo: the first frame.
      {{2, 3, 1}, 6, {{-1, 0}, {-5, 0}}},
      // A cycle of 0 (or below) counts as 1: frame 0 all along.
      {{3, 3}, 0, {{0, 0}, {2, 0}, {5, 0}}},
      {{3, 3}, -4, {{7, 0}}},
      // A cycle longer than the frames holds the last frame.
      {{2, 3}, 10, {{4, 1}, {7, 1}, {9, 1}, {10, 0}}},
      // Frames of no time are passed over.
      {{0, 2, 0, 1}, 3, {{0, 1}, {1, 1}, {2, 3}}},
      {{}, 5, {{0, -1}, {3, -1}}},
  };
  for (const TCase& c : cases) {
    TCustomFrameList track(nullptr);
    for (int32_t d : c.durations) track.Frames.push_back(std::make_unique<TTicksFrame>(track, d));
    track.Cycle = c.cycle;
    for (auto [t, index] : c.ticks) {
      EXPECT_EQ(track.FrameIndexAt(t), index) << "cycle " << c.cycle << " frames " << c.durations.size() << " t " << t;
    }
  }
}

TEST(FilmTrackFrameTest, ClearingFramesEndsTheTrack) {
  TCustomFrameList track(nullptr);
  track.Duration = 9;
  track.Frames.push_back(std::make_unique<TCustomFrame>(track));
  EXPECT_EQ(track.Frames[0]->Duration(), 1);
  EXPECT_EQ(track.FirstFrameWidth(), 0);
  track.ClearFrames();
  EXPECT_EQ(track.FrameCount(), 0);
  EXPECT_EQ(track.Duration, 0);
  EXPECT_EQ(track.FrameIndexAt(0), -1);
}

TEST(FilmTrackFrameTest, ImageFramesLastTheirDelayInTicks) {
  struct TCase {
    int32_t ms, ticks;
  };
  // 25 ms is 1.5 ticks and 75 ms 4.5: halves go to the even neighbour.
  for (TCase c : {TCase{100, 6}, TCase{10, 1}, TCase{1, 1}, TCase{25, 2}, TCase{75, 4}, TCase{1000, 60}}) {
    TCustomFrameList track(nullptr);
    TWexaItemFrame cached;
    cached.Duration = c.ms;
    EXPECT_EQ(TImageFrame(track, cached).Duration(), c.ticks) << c.ms;
  }
  TCustomFrameList track(nullptr);
  TWexaItemFrame cached;
  cached.NewSurface(32);
  cached.Surface().SetSize(13, 11, 32);
  cached.OffsetX = 4, cached.OffsetY = -2;
  track.Frames.push_back(std::make_unique<TImageFrame>(track, cached));
  EXPECT_EQ(track.FirstFrameWidth(), 13);
  EXPECT_EQ(track.FirstFrameHeight(), 11);
  EXPECT_EQ(track.Frames[0]->Offset(), (TPoint{4, -2}));
}

TEST(FilmTrackLinkTest, LinkedTracksStartAtTheEndOfTheirLink) {
  TTrackFilm film;
  for (int k = 0; k < 4; ++k) film.Add();
  auto t = film.Pointers();
  t[0]->Start = 10, t[0]->Duration = 20;
  t[1]->Start = 999, t[1]->Duration = 5;  // its own Start is not used while linked
  t[2]->Duration = 7;
  t[3]->Start = 4, t[3]->Duration = 1;
  // 1 after 0, 2 after 1, 3's index lies outside the film.
  EXPECT_EQ(ResolveTrackLinks(t, std::vector<int32_t>{-1, 0, 1, 4}), 0);
  EXPECT_EQ(t[1]->Link(), t[0]);
  EXPECT_EQ(t[3]->Link(), nullptr);
  struct TCase {
    int track;
    int64_t start;
  };
  for (TCase c : {TCase{0, 10}, TCase{1, 30}, TCase{2, 35}, TCase{3, 4}}) {
    const TCustomFrameList& track = *t[size_t(c.track)];
    EXPECT_EQ(track.GetStartTick(), c.start) << c.track;
    EXPECT_FALSE(track.IsActiveAt(c.start - 1)) << c.track;
    EXPECT_TRUE(track.IsActiveAt(c.start)) << c.track;
    EXPECT_TRUE(track.IsActiveAt(c.start + track.Duration - 1)) << c.track;
    EXPECT_FALSE(track.IsActiveAt(c.start + track.Duration)) << c.track;
  }
  // A track of no length is never active.
  t[3]->Duration = 0;
  EXPECT_FALSE(t[3]->IsActiveAt(4));
}

TEST(FilmTrackLinkTest, StartTicksAddUpInSixtyFourBits) {
  TTrackFilm film;
  TCustomFrameList* prev = nullptr;
  for (int k = 0; k < 3; ++k) {
    auto& track = film.Add();
    track.Start = std::numeric_limits<int32_t>::max();
    track.Duration = std::numeric_limits<int32_t>::max();
    track.SetLink(prev);
    prev = &track;
  }
  EXPECT_EQ(prev->GetStartTick(), 3 * int64_t{std::numeric_limits<int32_t>::max()});
  EXPECT_TRUE(prev->IsActiveAt(4 * int64_t{std::numeric_limits<int32_t>::max()} - 1));
}

TEST(FilmTrackLinkTest, ALinkThatClosesACycleIsDropped) {
  struct TCase {
    std::vector<int32_t> links;
    int32_t dropped;
    std::vector<int32_t> kept;  // the link index each track ends with
  };
  const TCase cases[] = {
      {{0}, 1, {-1}},                        // a track linked to itself
      {{1, 0}, 1, {1, -1}},                  // two tracks after each other
      {{1, 2, 0}, 1, {1, 2, -1}},            // a ring of three: the last link in film order goes
      {{-1, 2, 3, 1, 0}, 1, {-1, 2, 3, -1, 0}},  // a ring beside a chain into it
      {{3, 0, 1, -1}, 0, {3, 0, 1, -1}},     // a chain whose links point backward and forward
  };
  for (const TCase& c : cases) {
    TTrackFilm film;
    for (size_t k = 0; k < c.links.size(); ++k) film.Add().Duration = 2;
    auto t = film.Pointers();
    EXPECT_EQ(ResolveTrackLinks(t, c.links), c.dropped);
    for (size_t k = 0; k < t.size(); ++k) {
      TCustomFrameList* expected = c.kept[k] < 0 ? nullptr : t[size_t(c.kept[k])];
      EXPECT_EQ(t[k]->Link(), expected) << "track " << k;
      t[k]->GetStartTick();  // ends: every chain reaches a track without a link
      t[k]->FindFollower();
    }
  }
  // The setter refuses a cycle whenever it is called, and the track keeps no link.
  TTrackFilm film;
  auto& a = film.Add();
  auto& b = film.Add();
  ASSERT_TRUE(b.SetLink(&a));
  EXPECT_FALSE(a.SetLink(&b));
  EXPECT_EQ(a.Link(), nullptr);
  EXPECT_TRUE(b.SetLink(nullptr));
  EXPECT_TRUE(a.SetLink(&b));
}

TEST(FilmTrackLinkTest, LinkedStartValuesAreTheLinksEndValues) {
  TTrackFilm film;
  auto& a = film.Add();
  a.PosEnd = {5, 6};
  a.ZoomXEnd = 2.5, a.ZoomYEnd = 0.5;
  a.RotationEnd = 90, a.AlphaEnd = 40;
  a.ClipOriginEnd = {1, 2}, a.ClipSizeEnd = {30, 40};
  auto& b = film.Add();
  b.PosStart = {-1, -1};
  b.ZoomXStart = b.ZoomYStart = 3.0;
  b.RotationStart = 7, b.AlphaStart = 8;
  b.ClipOriginStart = {9, 9}, b.ClipSizeStart = {9, 9};
  ASSERT_TRUE(b.SetLink(&a));
  EXPECT_EQ(b.GetPosStart(), (TPoint{5, 6}));
  EXPECT_EQ(b.GetZoomXStart(), 2.5);
  EXPECT_EQ(b.GetZoomYStart(), 0.5);
  EXPECT_EQ(b.GetRotationStart(), 90);
  EXPECT_EQ(b.GetAlphaStart(), 40);
  EXPECT_EQ(b.GetClipOriginStart(), (TPoint{1, 2}));
  EXPECT_EQ(b.GetClipSizeStart(), (TPoint{30, 40}));
  EXPECT_EQ(b.GetStartValues().Start, (TPoint{5, 6}));
  // The own start fields stay as they were.
  EXPECT_EQ(b.PosStart, (TPoint{-1, -1}));
  EXPECT_EQ(b.ZoomXStart, 3.0);
  EXPECT_EQ(b.RotationStart, 7);

  // A link to a track of another kind gives that kind's base values; no link, the own values.
  auto& other = film.Add<TCustomFrameList>();
  ASSERT_TRUE(b.SetLink(&other));
  EXPECT_EQ(b.GetPosStart(), (TPoint{0, 0}));
  EXPECT_EQ(b.GetZoomXStart(), 1.0);
  EXPECT_EQ(b.GetAlphaStart(), 0);
  ASSERT_TRUE(b.SetLink(nullptr));
  EXPECT_EQ(b.GetPosStart(), (TPoint{-1, -1}));
  EXPECT_EQ(b.GetClipSizeStart(), (TPoint{9, 9}));
}

TEST(FilmTrackLinkTest, RelativeMotionPositionsAreOffsetsFromTheOrigin) {
  TTrackFilm film;
  auto& track = film.Add();
  track.PosStart = {100, 50};
  track.PosEnd = {130, 20};
  film.origin = {100, 40};
  struct TCase {
    bool motion, relative;
    TPoint start, end;
  };
  for (TCase c : {TCase{false, false, {100, 50}, {130, 20}}, TCase{false, true, {100, 50}, {130, 20}},
                  TCase{true, false, {100, 50}, {130, 20}}, TCase{true, true, {0, 10}, {30, -20}}}) {
    film.motion = c.motion, film.relative = c.relative;
    const auto v = track.GetStartValues();
    EXPECT_EQ(v.Start, c.start) << c.motion << c.relative;
    EXPECT_EQ(v.End, c.end) << c.motion << c.relative;
  }
}

TEST(FilmTrackPoseTest, RotationAndAlphaOverTheSpan) {
  struct TCase {
    int32_t start, end, duration, i, rotation;
  };
  const TCase rotations[] = {
      {-90, -90, 1, 0, 192}, {450, 450, 1, 0, 64}, {0, 0, 3, 1, 0},
      // Degrees divide by the length (72, 144, then the end); 256 steps to a turn.
      {0, 360, 5, 1, 51}, {0, 360, 5, 2, 102}, {0, 360, 5, 4, 0}, {0, -720, 3, 1, 85},
  };
  for (const TCase& c : rotations) {
    TTrackFilm film;
    auto& track = film.Add();
    track.RotationStart = c.start, track.RotationEnd = c.end, track.Duration = c.duration;
    TCustomFrame frame(track);
    EXPECT_EQ(track.PoseAt(frame, c.i).Rotation, c.rotation) << c.start << ".." << c.end << " at " << c.i;
  }
  const TCase alphas[] = {
      {0, 0, 3, 1, 255}, {0, 128, 3, 0, 255}, {0, 128, 3, 1, 192}, {0, 128, 3, 2, 128}, {40, 0, 2, 1, 255},
      {-10, -10, 1, 0, 266},  // a negative result is replaced by 256 minus it
  };
  for (const TCase& c : alphas) {
    TTrackFilm film;
    auto& track = film.Add();
    track.AlphaStart = c.start, track.AlphaEnd = c.end, track.Duration = c.duration;
    TCustomFrame frame(track);
    EXPECT_EQ(track.PoseAt(frame, c.i).Alpha, c.rotation) << c.start << ".." << c.end << " at " << c.i;
  }
}

TEST(FilmTrackPoseTest, PositionZoomClipAndOffset) {
  TTrackFilm film;
  auto& track = film.Add();
  track.Duration = 3;
  track.Center = {10, 4};
  track.PosStart = {0, 100}, track.PosEnd = {20, 0};
  track.YMode = MT_DEC;
  track.ZoomXStart = 0.5, track.ZoomXEnd = 2.0;
  track.ZoomYStart = 0.999;  // truncated: 255
  track.ClipSizeStart = {0, 10}, track.ClipSizeEnd = {10, 10};
  track.ClipOriginStart = {2, 2}, track.ClipOriginEnd = {4, 8};
  TTicksFrame frame(track, 1, {3, 5});
  const auto at0 = track.PoseAt(frame, 0);
  EXPECT_EQ(at0.Offset, (TPoint{7, -1}));
  EXPECT_EQ((TPoint{at0.X, at0.Y}), (TPoint{0, 100}));
  EXPECT_EQ(at0.ZoomX, 128);
  EXPECT_EQ(at0.ZoomY, 255);
  EXPECT_EQ(at0.Clip, (TRect{0, 0, 0, 0}));  // a width below 1: no clipping
  const auto at1 = track.PoseAt(frame, 1);
  EXPECT_EQ((TPoint{at1.X, at1.Y}), (TPoint{10, 50}));  // 100 + Round(sin(pi / 6) * -100)
  EXPECT_EQ(at1.ZoomX, 320);
  EXPECT_EQ(at1.ZoomY, 255);
  EXPECT_EQ(at1.Clip, (TRect{3, 5, 8, 15}));
  const auto at2 = track.PoseAt(frame, 2);
  EXPECT_EQ((TPoint{at2.X, at2.Y}), (TPoint{20, 0}));
  EXPECT_EQ(at2.ZoomX, 512);
  EXPECT_EQ(at2.ZoomY, 256);
  EXPECT_EQ(at2.Clip, (TRect{4, 8, 14, 18}));

  // A linked track starts from its link's end values.
  auto& next = film.Add();
  next.Duration = 2;
  next.PosEnd = {40, 0};
  next.ZoomXEnd = 1.0;
  next.AlphaEnd = 100;
  ASSERT_TRUE(next.SetLink(&track));
  track.AlphaEnd = 50;
  const auto linked = next.PoseAt(frame, 0);
  EXPECT_EQ((TPoint{linked.X, linked.Y}), (TPoint{20, 0}));
  EXPECT_EQ(linked.ZoomX, 512);
  EXPECT_EQ(linked.Alpha, 50);
  // The first track now has a follower: one step more, so tick 2 falls short of its end.
  EXPECT_EQ(track.PoseAt(frame, 2).X, 13);
}

TEST(FilmTrackPoseTest, UpdateDrivesTheSpriteWhileActive) {
  TTrackFilm film;
  auto& track = film.Add<TPoseTrack>();
  track.Start = 5, track.Duration = 3, track.Cycle = 2;
  track.PosStart = {0, 0}, track.PosEnd = {30, 0};
  track.Frames.push_back(std::make_unique<TTicksFrame>(track, 1));
  track.Frames.push_back(std::make_unique<TTicksFrame>(track, 1));

  EXPECT_FALSE(track.Update(4));
  EXPECT_EQ(track.hidden, 0);  // no sprite yet
  for (int64_t tick : {5, 6, 7}) EXPECT_TRUE(track.Update(tick)) << tick;
  EXPECT_EQ(track.created, 3);
  ASSERT_EQ(track.applied.size(), 3u);
  EXPECT_EQ(track.applied[0].first, track.Frames[0].get());
  EXPECT_EQ(track.applied[1].first, track.Frames[1].get());
  EXPECT_EQ(track.applied[2].first, track.Frames[0].get());
  EXPECT_EQ(track.applied[1].second.X, 15);
  EXPECT_EQ(track.applied[2].second.X, 30);
  EXPECT_EQ(film.placed, (std::vector<std::pair<TKovaObject*, int32_t>>(3, {&track.sprite, 0})));
  EXPECT_FALSE(track.Update(8));
  EXPECT_EQ(track.hidden, 1);
  EXPECT_EQ(track.Sprite, nullptr);

  // The layer follows the transitions started by the track's start tick; OtherLayer flips it.
  film.placed.clear();
  film.parity_from = 5;
  track.Update(5);
  track.OtherLayer = true;
  track.Update(6);
  film.target = true;  // a film drawing into its target chooses no layer
  track.Update(7);
  EXPECT_EQ(film.placed, (std::vector<std::pair<TKovaObject*, int32_t>>{{&track.sprite, 1}, {&track.sprite, 0}}));

  // In motion mode the film moves a control: no sprite is made or hidden, the pose still goes out.
  TTrackFilm motion_film;
  motion_film.motion = true;
  auto& moving = motion_film.Add<TPoseTrack>();
  moving.Duration = 2;
  moving.Frames.push_back(std::make_unique<TTicksFrame>(moving, 1));
  moving.Sprite = &moving.sprite;
  EXPECT_TRUE(moving.Update(0));
  EXPECT_FALSE(moving.Update(2));
  EXPECT_EQ(moving.created + moving.hidden, 0);
  EXPECT_EQ(moving.applied.size(), 1u);
  EXPECT_TRUE(motion_film.placed.empty());

  // Without frames the track is active and applies nothing.
  TTrackFilm empty_film;
  auto& empty = empty_film.Add<TPoseTrack>();
  empty.Duration = 4;
  EXPECT_TRUE(empty.Update(1));
  EXPECT_EQ(empty.created, 1);
  EXPECT_TRUE(empty.applied.empty());
}

}  // namespace
}  // namespace kova
