// The film file: every version's gated fields, the tick doubling of old files, the records of
// each track kind, and malformed files (bad signature, truncation, huge counts, unknown kinds,
// bad version digits, links out of range or in a cycle). The files come from the test writer.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/errors.h"
#include "core/messages.h"
#include "motion/film_manager.h"
#include "motion/film_tracks.h"
#include "support/film_writer.h"

namespace kova {
namespace {

using test::FilmWriter;

// A film of `version` holding one track of each kind with distinct values.
FilmWriter AllKinds(int32_t version) {
  FilmWriter w(version);
  w.width = 320;
  w.height = 200;
  w.color = 0x123456;
  w.relative = true;
  w.origin = {7, 9};
  w.loop_start = 15;
  test::FilmImage image;
  image.base = {.link = -1, .duration = 10, .reserved = 5, .start = 3, .cycle = 4, .order = 2, .flip_h = true};
  image.block.zoom_x_start = 1.5;
  image.block.zoom_x_end = 2.5;
  image.block.zoom_x_mode = 1;
  image.block.zoom_y_start = 0.25;
  image.block.zoom_y_end = 0.75;
  image.block.zoom_y_mode = 2;
  image.block.clip_size_end = {30, 40};
  image.file_name = "pic.wxa";
  w.Add(image);
  test::FilmLabel label;
  label.text = "hi";
  label.font_name = "font";
  label.line_space = 6;
  label.font_color = 0x00FF00;
  label.h_align = 2;
  w.Add(label);
  test::FilmBox box;
  box.base.cycle = 6;
  box.alpha_end = 128;
  box.color_end = 0xFF;
  box.rect.width_end = 50;
  box.rect.clip_origin_start = {1, 2};
  w.Add(box);
  test::FilmWipe wipe;
  wipe.wipe_kind = 5;
  wipe.mask_name = "mask.wxa";
  wipe.param0 = 11;
  wipe.reverse = true;
  w.Add(wipe);
  test::FilmSound sound;
  sound.file_name = "s.wav";
  sound.volume_start = -995;
  sound.volume_end = 500;
  w.Add(sound);
  test::FilmTile tile;
  tile.image.file_name = "tile.wxa";
  tile.image.block.clip_size_start = {99, 99};
  tile.clip_size_start = {12, 13};
  tile.distance_y = 8;
  w.Add(tile);
  test::FilmParticle particle;
  particle.index = 3;
  particle.params[5] = 2.5;
  particle.alpha_end = 77;
  w.Add(particle);
  test::FilmFire fire;
  fire.power = 61;
  w.Add(fire);
  return w;
}

template <class T>
T& Track(TFilmManager& film, int32_t i) {
  auto* t = dynamic_cast<T*>(film.GetTrack(i));
  if (!t) throw std::runtime_error("track " + std::to_string(i) + " has another kind");
  return *t;
}

TEST(FilmFileTest, EveryVersionReadsItsGatedFields) {
  for (int32_t version = 100; version <= 109; ++version) {
    SCOPED_TRACE(version);
    const FilmWriter w = AllKinds(version);
    TFilmManager film;
    film.LoadFromStream(w.Bytes(), "films\\intro.kmt");
    ASSERT_EQ(film.Count(), 8);
    EXPECT_EQ(film.Signature, 0);
    EXPECT_EQ(film.Width, 320);
    EXPECT_EQ(film.Height, 200);
    EXPECT_EQ(film.Color, 0x123456);
    EXPECT_EQ(film.Relative(), version >= 102);
    EXPECT_EQ(film.Origin(), (version >= 104 ? TPoint{7, 9} : TPoint{}));
    EXPECT_EQ(film.LoopStart, version >= 107 ? 15 : version >= 106 ? 30 : 0);

    const int32_t twice = version < 107 ? 2 : 1;
    auto& image = Track<TImageFrameList>(film, 0);
    EXPECT_EQ(image.Start, 3 * twice);
    EXPECT_EQ(image.Duration, 10 * twice);
    // An image track's cycle is its picture's frames (none here); a box keeps the stored one.
    EXPECT_EQ(image.Cycle, 0);
    EXPECT_EQ(image.Reserved, 5);
    EXPECT_EQ(image.Order, 2);
    EXPECT_TRUE(image.FlipH);
    EXPECT_EQ(image.FileName, "films\\pic.wxa");
    EXPECT_EQ(image.ClipSizeEnd, (version >= 101 ? TPoint{30, 40} : TPoint{}));
    // Before 105 the y zoom copies the x zoom.
    EXPECT_EQ(image.ZoomYStart, version >= 105 ? 0.25 : 1.5);
    EXPECT_EQ(image.ZoomYEnd, version >= 105 ? 0.75 : 2.5);
    EXPECT_EQ(image.ZoomYMode, version >= 105 ? 2 : 1);

    auto& label = Track<TLabelFrameList>(film, 1);
    EXPECT_EQ(label.Text, "hi");
    EXPECT_EQ(label.FontName, "font");
    EXPECT_EQ(label.LineSpace, version >= 103 ? 6 : 0);
    EXPECT_EQ(label.FontColor, 0x00FF00);
    EXPECT_EQ(label.HAlign, version >= 103 ? 2 : 0);

    auto& box = Track<TBoxFrameList>(film, 2);
    EXPECT_EQ(box.Cycle, 6 * twice);
    EXPECT_EQ(box.AlphaEnd, 128);
    EXPECT_EQ(box.ColorEnd, 0xFF);
    EXPECT_EQ(box.WidthEnd, 50);
    EXPECT_EQ(box.ClipOriginStart, (version >= 101 ? TPoint{1, 2} : TPoint{}));

    auto& wipe = Track<TWipeFrameList>(film, 3);
    EXPECT_EQ(wipe.WipeKind, 5);
    EXPECT_EQ(wipe.MaskName, version >= 101 ? "films\\mask.wxa" : "");
    EXPECT_EQ(wipe.Param0, version >= 101 ? 11 : 0);
    EXPECT_EQ(wipe.Reverse, version >= 101);

    auto& sound = Track<TSoundFrameList>(film, 4);
    EXPECT_EQ(sound.FileName, "films\\s.wav");
    // v div 10 + 1000, truncating toward zero, below 108.
    EXPECT_EQ(sound.VolumeStart, version >= 108 ? -995 : 901);
    EXPECT_EQ(sound.VolumeEnd, version >= 108 ? 500 : 1050);

    auto& tile = Track<TTileFrameList>(film, 5);
    EXPECT_EQ(tile.FileName, "films\\tile.wxa");
    EXPECT_EQ(tile.DistanceY, 8);
    // The tile's own clip block replaces the image-like one.
    EXPECT_EQ(tile.ClipSizeStart, (version >= 101 ? TPoint{12, 13} : TPoint{}));

    auto& particle = Track<TParticleFrameList>(film, 6);
    EXPECT_EQ(particle.Index, 3);
    EXPECT_EQ(particle.Param2End, 2.5);
    EXPECT_EQ(particle.AlphaEnd, 77);
    // The last field of the last record: every record before it was read to its end.
    EXPECT_EQ(Track<TFireFrameList>(film, 7).Power, 61);
  }
}

TEST(FilmFileTest, OldTicksAreDoubledAndTheLengthSpansTheLinks) {
  FilmWriter w(106, "KovaMotion");
  test::FilmBox first;
  first.base.start = 10;
  first.base.duration = 20;
  w.Add(first);
  test::FilmBox second;
  second.base.link = 0;
  second.base.start = 1000;  // ignored: the link gives the start
  second.base.duration = 5;
  w.Add(second);
  TFilmManager film;
  film.LoadFromStream(w.Bytes(), "a.kmt");
  EXPECT_EQ(film.Signature, 1);
  TCustomFrameList* t = film.GetTrack(0);
  EXPECT_FALSE(t->IsActiveAt(19));
  EXPECT_TRUE(t->IsActiveAt(20));
  EXPECT_TRUE(t->IsActiveAt(59));
  EXPECT_FALSE(t->IsActiveAt(60));
  EXPECT_EQ(film.GetTrack(1)->GetStartTick(), 60);
  EXPECT_EQ(film.GetLength(), 70);
  EXPECT_EQ(film.FirstTrackAtZero(), nullptr);
}

TEST(FilmFileTest, NamesResolveAgainstTheFilmsFolder) {
  struct Case {
    const char* mask;
    const char* expected;
  } cases[] = {{"", ""}, {"m.wxa", "dir\\m.wxa"}, {"\\root.wxa", "\\root.wxa"}, {"c:x.wxa", "c:x.wxa"},
               {"..\\up.wxa", "dir\\..\\up.wxa"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mask);
    FilmWriter w;
    test::FilmWipe wipe;
    wipe.mask_name = c.mask;
    w.Add(wipe);
    test::FilmImage image;
    image.file_name = c.mask;
    w.Add(image);
    TFilmManager film;
    film.LoadFromStream(w.Bytes(), "dir\\f.kmt");
    EXPECT_EQ(Track<TWipeFrameList>(film, 0).MaskName, c.expected);
  }
  FilmWriter w;
  test::FilmImage image;
  image.file_name = "..\\up.wxa";
  w.Add(image);
  TFilmManager film;
  film.LoadFromStream(w.Bytes(), "dir\\sub\\f.kmt");
  EXPECT_EQ(Track<TImageFrameList>(film, 0).FileName, "DIR\\up.wxa");
}

TEST(FilmFileTest, AnUnknownSignatureLeavesTheFilmEmpty) {
  TFilmManager film;
  film.LoadFromStream(AllKinds(108).Bytes(), "a.kmt");
  ASSERT_EQ(film.Count(), 8);
  for (std::vector<uint8_t> bytes : {FilmWriter(108, "KovaCinemX").Bytes(), std::vector<uint8_t>{},
                                     std::vector<uint8_t>{'K', 'o', 'v', 'a'}}) {
    film.LoadFromStream(bytes, "a.kmt");
    EXPECT_EQ(film.Count(), 0);
    EXPECT_EQ(film.Signature, 2);
  }
}

// Loading `bytes` raises the stream's read error and leaves the film empty.
void ExpectReadError(const std::vector<uint8_t>& bytes, const std::string& message = MsgText(TMsg::StreamReadError)) {
  TFilmManager film;
  try {
    film.LoadFromStream(bytes, "a.kmt");
    ADD_FAILURE() << "no error for " << bytes.size() << " bytes";
  } catch (const EReadError& e) {
    EXPECT_EQ(e.Message(), message);
  }
  EXPECT_EQ(film.Count(), 0);
  EXPECT_EQ(film.GetLength(), 0);
}

TEST(FilmFileTest, EveryTruncationRaisesTheReadError) {
  const std::vector<uint8_t> whole = AllKinds(108).Bytes();
  for (size_t n = 10; n < whole.size(); ++n) {
    SCOPED_TRACE(n);
    ExpectReadError(std::vector<uint8_t>(whole.begin(), whole.begin() + std::ptrdiff_t(n)));
  }
}

TEST(FilmFileTest, CountsAndLengthsBeyondTheBytesRaiseBeforeAnyAllocation) {
  FilmWriter w;
  w.Add(test::FilmBox{});
  ExpectReadError(w.Bytes(0x7FFFFFFF));
  ExpectReadError(w.Bytes(2));
  ExpectReadError(w.Bytes(-1));
  FilmWriter s;
  test::FilmImage image;
  s.Add(image);
  std::vector<uint8_t> bytes = s.Bytes();
  // The image's file name length is the last 4 bytes (an empty name).
  std::memcpy(bytes.data() + bytes.size() - 4, "\xFF\xFF\xFF\x7F", 4);
  ExpectReadError(bytes);
}

TEST(FilmFileTest, KindsAboveSevenAreRejectedAndBitSevenIsIgnored) {
  FilmWriter bad;
  bad.AddRaw(8, {}, std::vector<uint8_t>(200, 0));
  ExpectReadError(bad.Bytes());
  FilmWriter high;
  high.AddRaw(0x80 | kTrackWipe, {}, {3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
  TFilmManager film;
  film.LoadFromStream(high.Bytes(), "a.kmt");
  EXPECT_EQ(Track<TWipeFrameList>(film, 0).WipeKind, 3);
}

TEST(FilmFileTest, VersionDigitsMustBeDecimal) {
  for (const char* digits : {"1a8", " 08", "-01"}) {
    FilmWriter w;
    w.digits = digits;
    ExpectReadError(w.Bytes(), "'" + std::string(digits) + "' " + MsgText(TMsg::PictureBadVersion).substr(5));
  }
}

TEST(FilmFileTest, LinksOutOfRangeOrInACycleAreDropped) {
  FilmWriter w;
  for (int32_t link : {5, -7, 3, 2}) {
    test::FilmBox box;
    box.base.link = link;
    w.Add(box);
  }
  TFilmManager film;
  film.LoadFromStream(w.Bytes(), "a.kmt");
  EXPECT_EQ(film.GetTrack(0)->Link(), nullptr);
  EXPECT_EQ(film.GetTrack(1)->Link(), nullptr);
  // 2 -> 3 is kept; 3 -> 2 would close the cycle.
  EXPECT_EQ(film.GetTrack(2)->Link(), film.GetTrack(3));
  EXPECT_EQ(film.GetTrack(3)->Link(), nullptr);
  EXPECT_EQ(film.GetLength(), 20);
}

}  // namespace
}  // namespace kova
