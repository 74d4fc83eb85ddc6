// The audio bus: pulls on the caller's clock in whole frames, its inputs added with saturation in
// the order they were attached, and an input detached while another thread pulls is not used
// once Detach returns.
#include "media/audio_bus.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "platform/audio_device.h"

namespace kova {
namespace {

// Adds one constant to every value it is given, and counts its calls.
class ConstantInput : public IAudioInput {
 public:
  explicit ConstantInput(int16_t value) : value_(value) {}
  void MixInto(std::span<int16_t> samples, bool wait) override {
    std::vector<int16_t> mine(samples.size(), value_);
    MixSaturated(samples, mine);
    last_wait = wait;
    ++calls;
  }
  std::atomic<int> calls{0};
  std::atomic<bool> last_wait{false};

 private:
  int16_t value_;
};

TEST(AudioBus, PullsWholeFramesOnTheCallersClock) {
  plat::TNullAudioDevice device;
  TAudioBus bus(device);
  ConstantInput input(3);
  bus.Attach(input);
  std::vector<int16_t> out;
  bus.PullFrame(16, &out);  // closed: nothing
  EXPECT_TRUE(out.empty());

  std::string error;
  ASSERT_TRUE(bus.Open(error));
  EXPECT_TRUE(bus.PulledByCaller());
  std::vector<size_t> sizes;
  for (int i = 0; i < 5; ++i) {
    const size_t before = out.size();
    bus.PullFrame(16, &out);
    sizes.push_back((out.size() - before) / 2);
  }
  // 705.6 frames a frame: the remainder is carried, 80 ms give exactly 3528 frames.
  EXPECT_EQ(sizes, (std::vector<size_t>{705, 706, 705, 706, 706}));
  EXPECT_TRUE(input.last_wait);
  EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](int16_t v) { return v == 3; }));
  bus.PullFrame(0, &out);
  EXPECT_EQ(out.size(), 2u * 3528);
}

// Saturation makes the order visible: 30000 + 30000 - 30000 is 2767 in that order, 30000 in the
// other.
TEST(AudioBus, AddsInputsInAttachOrderWithSaturation) {
  struct Case {
    std::vector<int16_t> inputs;
    int16_t expect;
  };
  const Case cases[] = {
      {{30000, 30000, -30000}, 2767},
      {{30000, -30000, 30000}, 30000},
      {{-30000, -30000}, -32768},
      {{}, 0},
  };
  for (const Case& c : cases) {
    plat::TNullAudioDevice device;
    TAudioBus bus(device);
    std::vector<std::unique_ptr<ConstantInput>> inputs;
    for (int16_t v : c.inputs) {
      inputs.push_back(std::make_unique<ConstantInput>(v));
      bus.Attach(*inputs.back());
      bus.Attach(*inputs.back());  // once only
    }
    std::string error;
    ASSERT_TRUE(bus.Open(error));
    std::vector<int16_t> samples;
    ASSERT_TRUE(device.Pull(4, samples));
    EXPECT_EQ(samples, std::vector<int16_t>(8, c.expect)) << c.inputs.size() << " inputs";
    for (auto& input : inputs) EXPECT_EQ(input->calls, 1);
  }
}

TEST(AudioBus, DetachedInputIsNotUsedAfterDetachReturns) {
  plat::TNullAudioDevice device;
  TAudioBus bus(device);
  std::string error;
  ASSERT_TRUE(bus.Open(error));
  ConstantInput stays(1);
  bus.Attach(stays);
  std::atomic<bool> stop{false};
  std::thread puller([&] {
    std::vector<int16_t> samples;
    while (!stop) device.Pull(64, samples);
  });
  for (int round = 0; round < 50; ++round) {
    auto input = std::make_unique<ConstantInput>(2);
    bus.Attach(*input);
    while (input->calls == 0) std::this_thread::yield();
    bus.Detach(*input);
    const int calls = input->calls;
    std::this_thread::sleep_for(std::chrono::microseconds(200));
    EXPECT_EQ(input->calls, calls);
    // freed here while the other thread goes on pulling (ASan sees a late use)
  }
  bus.Detach(stays);
  ConstantInput unknown(5);
  bus.Detach(unknown);
  stop = true;
  puller.join();
  EXPECT_GT(stays.calls, 0);
}

}  // namespace
}  // namespace kova
