// The sound output: the null device pulls only when a test asks and the headless services hand it
// out; the SDL device over SDL's dummy driver pulls on its own thread, pause stops the pulls, close
// joins the device's thread and frees the pull.
#include "platform/audio_device.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/sdl/sdl_audio.h"
#include "platform/services.h"

namespace kova::plat {
namespace {

// What the pulls saw. The pull holds it through a shared pointer, so that a test sees when the
// device freed the pull (the count drops back to one).
struct Pulls {
  std::atomic<int> calls{0};
  std::mutex mutex;
  std::vector<size_t> sizes;
  std::vector<std::thread::id> threads;
  bool silent_on_entry = true;
};

IAudioDevice::TPull Recorder(const std::shared_ptr<Pulls>& pulls) {
  return [pulls](std::span<int16_t> samples) {
    {
      std::lock_guard lock(pulls->mutex);
      for (int16_t s : samples) pulls->silent_on_entry &= s == 0;
      pulls->sizes.push_back(samples.size());
      pulls->threads.push_back(std::this_thread::get_id());
    }
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = int16_t(i % 2 == 0 ? 1000 : -1000);
    ++pulls->calls;
  };
}

TEST(NullAudioDevice, PullsOnlyWhenOpenAndPlaying) {
  TNullAudioDevice device;
  auto pulls = std::make_shared<Pulls>();
  std::vector<int16_t> samples;
  EXPECT_FALSE(device.Pull(16, samples));  // closed

  std::string error;
  ASSERT_TRUE(device.Open(Recorder(pulls), error));
  EXPECT_TRUE(device.IsOpen());
  EXPECT_FALSE(device.Open(Recorder(pulls), error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(device.Pull(16, samples));  // opened paused
  EXPECT_EQ(samples, std::vector<int16_t>(32, 0));

  device.Resume();
  ASSERT_TRUE(device.Pull(16, samples));
  EXPECT_EQ(samples.size(), 32u);
  EXPECT_EQ(samples[0], 1000);
  EXPECT_EQ(samples[31], -1000);
  EXPECT_TRUE(device.Pull(3, samples));
  EXPECT_EQ(pulls->sizes, (std::vector<size_t>{32, 6}));
  EXPECT_TRUE(pulls->silent_on_entry);

  device.Pause();
  EXPECT_FALSE(device.Pull(16, samples));
  EXPECT_EQ(samples, std::vector<int16_t>(32, 0));
  EXPECT_EQ(pulls->calls, 2);

  device.Close();
  EXPECT_FALSE(device.IsOpen());
  EXPECT_EQ(pulls.use_count(), 1);  // the pull is freed
  device.Resume();                  // closed: stays silent
  EXPECT_FALSE(device.Pull(16, samples));
  ASSERT_TRUE(device.Open(Recorder(pulls), error));  // opens again after a close
}

// A pull from another thread (the test's device thread) runs while Close waits: once Close returns
// no pull runs any more.
TEST(NullAudioDevice, CloseWaitsForARunningPull) {
  TNullAudioDevice device;
  std::atomic<bool> in_pull{false};
  std::atomic<bool> finished{false};
  std::string error;
  ASSERT_TRUE(device.Open(
      [&](std::span<int16_t>) {
        in_pull = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        finished = true;
      },
      error));
  device.Resume();
  std::thread puller([&] {
    std::vector<int16_t> samples;
    device.Pull(8, samples);
  });
  while (!in_pull) std::this_thread::yield();
  device.Close();
  EXPECT_TRUE(finished);
  puller.join();
}

TEST(NullAudioDevice, TheHeadlessServicesPlayNothing) {
  THeadlessServices services;
  ASSERT_NE(services.audio, nullptr);
  auto pulls = std::make_shared<Pulls>();
  std::string error;
  ASSERT_TRUE(services.audio->Open(Recorder(pulls), error));
  services.audio->Resume();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(pulls->calls, 0);
  services.audio->Close();
}

// SDL's dummy driver, whatever the environment says (the tests run with it set; a direct run gets
// it here).
class SdlAudioDevice : public ::testing::Test {
 protected:
  void SetUp() override { setenv("SDL_AUDIODRIVER", "dummy", 1); }

  // Waits up to two seconds for the pulls to reach `count`.
  static bool WaitForCalls(const Pulls& pulls, int count) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (pulls.calls < count) {
      if (std::chrono::steady_clock::now() > until) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
  }
};

TEST_F(SdlAudioDevice, PullsOnItsThreadUntilPausedAndClosed) {
  TSdlAudioDevice device;
  auto pulls = std::make_shared<Pulls>();
  std::string error;
  ASSERT_TRUE(device.Open(Recorder(pulls), error)) << error;
  EXPECT_EQ(device.DriverName(), "dummy");
  EXPECT_FALSE(device.Open(Recorder(pulls), error));

  // Opened paused: nothing is pulled until Resume.
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  EXPECT_EQ(pulls->calls, 0);
  device.Resume();
  ASSERT_TRUE(WaitForCalls(*pulls, 3));
  {
    std::lock_guard lock(pulls->mutex);
    for (size_t size : pulls->sizes) EXPECT_EQ(size % TAudioFormat::kChannels, 0u);
    EXPECT_GT(pulls->sizes[0], 0u);
    for (std::thread::id id : pulls->threads) EXPECT_NE(id, std::this_thread::get_id());
    EXPECT_TRUE(pulls->silent_on_entry);
  }

  // Once Pause returns no pull runs: the count stands still over several pull periods.
  device.Pause();
  const int paused_at = pulls->calls;
  std::this_thread::sleep_for(std::chrono::milliseconds(120));
  EXPECT_EQ(pulls->calls, paused_at);
  device.Resume();
  ASSERT_TRUE(WaitForCalls(*pulls, paused_at + 2));

  // Close joins SDL's audio thread and frees the pull.
  device.Close();
  EXPECT_FALSE(device.IsOpen());
  EXPECT_EQ(pulls.use_count(), 1);
  const int closed_at = pulls->calls;
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  EXPECT_EQ(pulls->calls, closed_at);
  device.Close();  // a second close does nothing

  // It opens again, and its destructor closes it.
  ASSERT_TRUE(device.Open(Recorder(pulls), error)) << error;
  device.Resume();
  EXPECT_TRUE(WaitForCalls(*pulls, closed_at + 1));
}

}  // namespace
}  // namespace kova::plat
