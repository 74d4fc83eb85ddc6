// The test sinks: the real-time null device pulls on a thread of its own at the device's pace by
// the system clock, stops pulling when paused, and joins its thread and frees the pull on Close;
// the capture device keeps every sample it pulled.
#include "platform/audio_sinks.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

namespace kova::plat {
namespace {

TEST(RealTimeNullAudioDevice, PullsAtTheDevicesPace) {
  TRealTimeNullAudioDevice device;
  auto frames = std::make_shared<std::atomic<int64_t>>(0);
  auto largest = std::make_shared<std::atomic<size_t>>(0);
  std::string error;
  ASSERT_TRUE(device.Open(
      [frames, largest](std::span<int16_t> samples) {
        *frames += int64_t(samples.size() / 2);
        if (samples.size() / 2 > *largest) *largest = samples.size() / 2;
      },
      error));
  EXPECT_FALSE(device.PulledByCaller());
  EXPECT_FALSE(device.Open([](std::span<int16_t>) {}, error));
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(*frames, 0);  // opened paused

  const auto start = std::chrono::steady_clock::now();
  device.Resume();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  device.Pause();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const int64_t pulled = *frames;
  // Never ahead of the clock; behind it by no more than a slow machine's scheduling.
  EXPECT_LE(pulled, int64_t(seconds * 44100) + int64_t(TRealTimeNullAudioDevice::kChunkFrames));
  EXPECT_GE(pulled, int64_t(0.15 * 44100));
  EXPECT_LE(*largest, TRealTimeNullAudioDevice::kChunkFrames);
  EXPECT_EQ(device.PulledFrames(), pulled);

  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(*frames, pulled);  // paused: no pulls, and the pause is not made up after Resume
  const auto resumed = std::chrono::steady_clock::now();
  device.Resume();
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  const int64_t after = *frames;
  const double again = std::chrono::duration<double>(std::chrono::steady_clock::now() - resumed).count();
  EXPECT_LE(after - pulled, int64_t(again * 44100) + int64_t(TRealTimeNullAudioDevice::kChunkFrames));

  device.Close();
  EXPECT_FALSE(device.IsOpen());
  EXPECT_EQ(frames.use_count(), 1);  // the pull was freed
  device.Close();
}

TEST(CaptureAudioDevice, KeepsWhatItPulled) {
  TCaptureAudioDevice device;
  EXPECT_TRUE(device.PulledByCaller());
  std::string error;
  int16_t next = 0;
  ASSERT_TRUE(device.Open(
      [&next](std::span<int16_t> samples) {
        for (int16_t& s : samples) s = ++next;
      },
      error));
  EXPECT_FALSE(device.Pull(1));  // paused: silence, captured as such
  device.Resume();
  std::vector<int16_t> samples;
  ASSERT_TRUE(device.Pull(2, samples));
  EXPECT_EQ(samples, (std::vector<int16_t>{1, 2, 3, 4}));
  ASSERT_TRUE(device.Pull(1));
  EXPECT_EQ(device.Captured(), (std::vector<int16_t>{0, 0, 1, 2, 3, 4, 5, 6}));
  device.ClearCapture();
  device.Close();
  EXPECT_FALSE(device.Pull(1));
  EXPECT_EQ(device.Captured(), (std::vector<int16_t>{0, 0}));
}

}  // namespace
}  // namespace kova::plat
