// The video decoders over the media library: pictures, their times and colours, seeking, the
// sound track, the pixel budget, and damaged files, over videos the test writer encodes from
// solid colours and a tone.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "core/stream.h"
#include "media/sound_decoders.h"
#include "platform/media/media_codecs.h"
#include "platform/media/video_decoder.h"
#include "support/sound_writer.h"
#include "support/video_writer.h"

namespace kova::test {
namespace {

using Bytes = std::vector<uint8_t>;
using plat::TVideoPicture;

constexpr int64_t kBudget = 1 << 20;
// Decoded colours come within this many levels of what was encoded.
constexpr int kColourTolerance = 8;

std::unique_ptr<plat::IByteSource> Source(const Bytes& bytes) {
  return std::make_unique<TStreamByteSource>(std::make_unique<TMemoryStream>(bytes));
}

bool Near(uint32_t got, uint32_t want) {
  for (int shift : {0, 8, 16}) {
    if (std::abs(int((got >> shift) & 0xff) - int((want >> shift) & 0xff)) > kColourTolerance) return false;
  }
  return true;
}

// Every pixel of `picture` is near `colour`.
::testing::AssertionResult Solid(const TVideoPicture& picture, uint32_t colour) {
  if (picture.pixels.size() != size_t(picture.width) * size_t(picture.height)) {
    return ::testing::AssertionFailure() << "pixels " << picture.pixels.size();
  }
  for (size_t i = 0; i < picture.pixels.size(); ++i) {
    if (!Near(picture.pixels[i], colour)) {
      return ::testing::AssertionFailure() << std::hex << "pixel " << std::dec << i << " is " << std::hex
                                           << (picture.pixels[i] & 0xffffff) << ", not " << colour;
    }
  }
  return ::testing::AssertionSuccess();
}

// 48 x 32, 10 pictures a second: red, green, blue, white, black, a grey, two pictures each.
VideoSpec Clip(const std::string& container) {
  VideoSpec clip;
  clip.width = 48;
  clip.height = 32;
  clip.colours = {0xff0000, 0x00ff00, 0x0000ff, 0xffffff, 0x000000, 0x808080};
  clip.container = container;
  return clip;
}

class VideoDecoder : public ::testing::TestWithParam<std::string> {
 protected:
  static void SetUpTestSuite() { plat::QuietMediaLibraryLog(); }
  void SetUp() override {
    clip_ = Clip(GetParam());
    bytes_ = VideoBytes(clip_);
    if (bytes_.empty()) GTEST_SKIP() << "the media library cannot encode " << GetParam();
  }
  std::unique_ptr<plat::IVideoDecoder> Open(int64_t budget = kBudget) { return codecs_.OpenVideo(Source(bytes_), budget); }
  uint32_t ColourAt(int64_t picture) const { return clip_.colours[size_t(picture / clip_.pictures_per_colour)]; }
  int64_t Pictures() const { return int64_t(clip_.colours.size()) * clip_.pictures_per_colour; }

  plat::TMediaVideoCodecs codecs_;
  VideoSpec clip_;
  Bytes bytes_;
};

TEST_P(VideoDecoder, GivesEveryPictureAtItsTimeInItsColour) {
  EXPECT_EQ(VideoBytes(clip_), bytes_) << "the writer makes the same bytes every run";
  auto video = Open();
  ASSERT_NE(video, nullptr);
  EXPECT_EQ(video->Width(), 48);
  EXPECT_EQ(video->Height(), 32);
  EXPECT_NEAR(double(video->DurationMs()), 1200.0, 120.0);
  TVideoPicture picture;
  int64_t count = 0;
  const uint32_t* buffer = nullptr;
  while (video->ReadPicture(picture)) {
    ASSERT_LT(count, Pictures()) << "more pictures than were written";
    EXPECT_EQ(picture.width, 48);
    EXPECT_EQ(picture.height, 32);
    EXPECT_EQ(picture.time_ms, count * 100) << "picture " << count;
    EXPECT_TRUE(Solid(picture, ColourAt(count))) << "picture " << count;
    if (count == 1) buffer = picture.pixels.data();
    if (count > 1) {
      EXPECT_EQ(picture.pixels.data(), buffer) << "the pixel buffer is reused";
    }
    ++count;
  }
  EXPECT_EQ(count, Pictures());
  EXPECT_FALSE(video->ReadPicture(picture)) << "the end stays the end";
}

TEST_P(VideoDecoder, SeekGivesThePictureShownAtThatTime) {
  auto video = Open();
  ASSERT_NE(video, nullptr);
  TVideoPicture picture;
  // Forward and backward, onto key frames and between them, to a picture's start and inside it.
  for (int64_t ms : {450, 0, 1150, 100, 730, 399, 1000, 10000}) {
    SCOPED_TRACE(ms);
    ASSERT_TRUE(video->Seek(ms));
    ASSERT_TRUE(video->ReadPicture(picture));
    const int64_t index = std::min<int64_t>(ms / 100, Pictures() - 1);
    EXPECT_EQ(picture.time_ms, index * 100);
    EXPECT_TRUE(Solid(picture, ColourAt(index)));
    if (index + 1 < Pictures()) {
      ASSERT_TRUE(video->ReadPicture(picture)) << "the pictures go on after the seek";
      EXPECT_EQ(picture.time_ms, (index + 1) * 100);
      EXPECT_TRUE(Solid(picture, ColourAt(index + 1)));
    }
  }
  // After reading to the end, a seek plays again.
  while (video->ReadPicture(picture)) {
  }
  ASSERT_TRUE(video->Seek(200));
  ASSERT_TRUE(video->ReadPicture(picture));
  EXPECT_EQ(picture.time_ms, 200);
}

// The frames where the tone crosses zero upward in `samples` (left channel).
std::vector<int64_t> Crossings(const std::vector<int16_t>& samples) {
  std::vector<int64_t> out;
  for (size_t i = 2; i + 1 < samples.size(); i += 2) {
    if (samples[i - 2] < 0 && samples[i] >= 0) out.push_back(int64_t(i / 2));
  }
  return out;
}

std::vector<int16_t> ReadAll(plat::IPcmDecoder& sound, int64_t limit_frames) {
  std::vector<int16_t> all;
  std::vector<int16_t> chunk(2 * 1000);
  int64_t got = 0;
  while (int64_t(all.size()) / 2 < limit_frames && (got = sound.Read(chunk.data(), int64_t(chunk.size()) * 2)) > 0) {
    all.insert(all.end(), chunk.begin(), chunk.begin() + got / 2);
  }
  return all;
}

TEST_P(VideoDecoder, SoundTrackIsTheToneInTheBusFormat) {
  auto sound = codecs_.OpenVideoSound(Source(bytes_));
  ASSERT_NE(sound, nullptr);
  EXPECT_EQ(sound->Format(), (plat::TPcmFormat{2, 44100, 16}));
  const double frames = 1.2 * 44100;
  EXPECT_NEAR(double(sound->TotalFrames()), frames, 4096.0);
  const std::vector<int16_t> all = ReadAll(*sound, 10 * 44100);
  EXPECT_NEAR(double(all.size() / 2), frames, 4096.0);
  EXPECT_EQ(sound->FramePosition(), int64_t(all.size() / 2));
  // A 440 Hz tone at half scale: its level, and one upward crossing every 100 or so frames.
  const std::vector<int64_t> crossings = Crossings(all);
  ASSERT_GT(crossings.size(), 400u);
  const double period = double(crossings[400] - crossings[100]) / 300.0;
  EXPECT_NEAR(period, 44100.0 / 440.0, 0.5);
  int peak = 0;
  for (size_t i = 2 * 8192; i < 2 * 16384; ++i) peak = std::max(peak, std::abs(int(all[i])));
  EXPECT_NEAR(peak, 16384, 2000);
}

// The offset within +-2000 frames at which `part` best matches `all` from `frame`.
int64_t BestOffset(const std::vector<int16_t>& all, const std::vector<int16_t>& part, int64_t frame) {
  int64_t best = 0;
  double best_error = 1e300;
  for (int64_t off = -2000; off <= 2000; ++off) {
    if (frame + off < 0 || size_t(2 * (frame + off)) + part.size() > all.size()) continue;
    double error = 0;
    for (size_t i = 0; i < part.size(); i += 2) error += std::abs(part[i] - all[size_t(2 * (frame + off)) + i]);
    if (error < best_error) {
      best_error = error;
      best = off;
    }
  }
  return best;
}

TEST_P(VideoDecoder, SoundSeeksToTheFrameAsked) {
  // A slow tone, so that a sound that is off by up to a few thousand frames cannot look right.
  VideoSpec slow = clip_;
  slow.frequency = 10.0;
  const Bytes bytes = VideoBytes(slow);
  auto sound = codecs_.OpenVideoSound(Source(bytes));
  ASSERT_NE(sound, nullptr);
  const std::vector<int16_t> all = ReadAll(*sound, 10 * 44100);
  // The sound's timestamps are whole ms in ASF; uncompressed sound in AVI is exact.
  const int64_t tolerance = GetParam() == "asf" ? 45 : 0;
  // Back through the container, back to near the start, a little ahead, and right after opening.
  for (int64_t frame : {30000, 5000, 9000, 20000}) {
    SCOPED_TRACE(frame);
    ASSERT_TRUE(sound->SeekFrame(frame));
    EXPECT_EQ(sound->FramePosition(), frame);
    const std::vector<int16_t> part = ReadAll(*sound, 2000);
    ASSERT_GE(part.size(), 2u * 2000);
    EXPECT_LE(std::abs(BestOffset(all, part, frame)), tolerance);
  }
  auto fresh = codecs_.OpenVideoSound(Source(bytes));
  ASSERT_TRUE(fresh->SeekFrame(40000));
  EXPECT_LE(std::abs(BestOffset(all, ReadAll(*fresh, 2000), 40000)), tolerance);
}

TEST_P(VideoDecoder, AVideoWithoutSoundHasNoSoundTrack) {
  VideoSpec silent = clip_;
  silent.sound = false;
  const Bytes bytes = VideoBytes(silent);
  ASSERT_FALSE(bytes.empty());
  EXPECT_EQ(codecs_.OpenVideoSound(Source(bytes)), nullptr);
  EXPECT_NE(codecs_.OpenVideo(Source(bytes), kBudget), nullptr);
}

TEST_P(VideoDecoder, RefusesPicturesOverThePixelBudgetAndFilesWithoutPictures) {
  EXPECT_EQ(Open(48 * 32 - 1), nullptr);
  EXPECT_EQ(Open(0), nullptr);
  EXPECT_NE(Open(48 * 32), nullptr);
  const Bytes sound_only = WmaTone({2, 44100, 44100, 440.0, 0.5});
  ASSERT_FALSE(sound_only.empty());
  EXPECT_EQ(codecs_.OpenVideo(Source(sound_only), kBudget), nullptr);
  EXPECT_NE(codecs_.OpenVideoSound(Source(sound_only)), nullptr) << "a sound in any container opens";
}

TEST(VideoDecoderSizes, PicturesOfAnotherSizeAreScaledToTheFirst) {
  plat::QuietMediaLibraryLog();
  for (auto [w, h] : {std::pair{64, 48}, {32, 16}}) {
    SCOPED_TRACE(testing::Message() << w << " x " << h);
    VideoSpec clip = Clip("avi");
    clip.resize_at = 6;
    clip.resized_width = w;
    clip.resized_height = h;
    const Bytes bytes = VideoBytes(clip);
    if (bytes.empty()) GTEST_SKIP() << "no MPEG-4 encoder";
    plat::TMediaVideoCodecs codecs;
    auto video = codecs.OpenVideo(Source(bytes), kBudget);
    ASSERT_NE(video, nullptr);
    ASSERT_EQ(video->Width(), 48);
    ASSERT_EQ(video->Height(), 32);
    TVideoPicture picture;
    int count = 0;
    while (video->ReadPicture(picture)) {
      EXPECT_EQ(picture.width, 48);
      EXPECT_EQ(picture.height, 32);
      EXPECT_TRUE(Solid(picture, clip.colours[size_t(count / 2)])) << "picture " << count;
      ++count;
    }
    EXPECT_EQ(count, 12);
  }
}

// Opens `bytes` and reads what it gives: never more pictures than the bytes could hold, each of
// the video's size, and a seek and the sound track likewise.
void ReadsSafely(const Bytes& bytes) {
  plat::TMediaVideoCodecs codecs;
  if (auto video = codecs.OpenVideo(Source(bytes), kBudget)) {
    ASSERT_GT(video->Width(), 0);
    ASSERT_GT(video->Height(), 0);
    ASSERT_LE(int64_t(video->Width()) * video->Height(), kBudget);
    TVideoPicture picture;
    for (int pass = 0; pass < 2; ++pass) {
      int count = 0;
      while (video->ReadPicture(picture)) {
        ASSERT_LT(++count, 1000) << "pictures without end";
        ASSERT_EQ(picture.width, video->Width());
        ASSERT_EQ(picture.height, video->Height());
        ASSERT_EQ(picture.pixels.size(), size_t(picture.width) * size_t(picture.height));
      }
      video->Seek(500);
    }
  }
  if (auto sound = codecs.OpenVideoSound(Source(bytes))) {
    ReadAll(*sound, 60 * 44100);
    sound->SeekFrame(1000);
    ReadAll(*sound, 60 * 44100);
  }
}

// Every place where the picture's width and height stand in the bytes side by side (32-bit,
// little-endian) gets `width` and `height` instead.
Bytes WithSize(Bytes bytes, uint32_t width, uint32_t height) {
  const uint32_t from[2] = {48, 32};
  const uint32_t to[2] = {width, height};
  for (size_t at = 0; at + sizeof from <= bytes.size(); ++at) {
    if (std::memcmp(bytes.data() + at, from, sizeof from) == 0) std::memcpy(bytes.data() + at, to, sizeof to);
  }
  return bytes;
}

TEST_P(VideoDecoder, DamagedFilesEndEarlyWithoutHarm) {
  ASSERT_NE(WithSize(bytes_, 40000, 40000), bytes_) << "the header holds the size";
  for (auto [w, h] : {std::pair<uint32_t, uint32_t>{0, 0}, {40000, 40000}, {0x7fffffff, 2}, {0xfffffff0, 32}, {4000, 4000}}) {
    SCOPED_TRACE(testing::Message() << "size " << w << " x " << h);
    ReadsSafely(WithSize(bytes_, w, h));
  }
  for (size_t cut : {size_t(0), size_t(16), size_t(200), bytes_.size() / 4, bytes_.size() / 2, bytes_.size() * 9 / 10,
                     bytes_.size() - 1}) {
    SCOPED_TRACE(testing::Message() << "cut at " << cut);
    ReadsSafely(Bytes(bytes_.begin(), bytes_.begin() + ptrdiff_t(cut)));
  }
  // The header kept, the rest garbage; and the whole file flipped here and there.
  Bytes garbage = bytes_;
  uint32_t state = 12345;
  auto next = [&state] { return (state = state * 1103515245u + 12345u) >> 16; };
  for (size_t i = 600; i < garbage.size(); ++i) garbage[i] = uint8_t(next());
  ReadsSafely(garbage);
  Bytes flipped = bytes_;
  for (size_t i = 0; i < flipped.size(); i += 97) flipped[i] ^= uint8_t(next());
  ReadsSafely(flipped);
  Bytes noise(50000);
  for (uint8_t& b : noise) b = uint8_t(next());
  ReadsSafely(noise);
  EXPECT_EQ(codecs_.OpenVideo(Source({}), kBudget), nullptr);
  EXPECT_EQ(codecs_.OpenVideoSound(Source({})), nullptr);
  EXPECT_EQ(codecs_.OpenVideo(nullptr, kBudget), nullptr);
  EXPECT_EQ(codecs_.OpenVideoSound(nullptr), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Containers, VideoDecoder, ::testing::Values("asf", "avi"),
                         [](const auto& info) { return info.param; });

}  // namespace
}  // namespace kova::test
