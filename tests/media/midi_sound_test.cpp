// MIDI made audible: the software synthesizer's device and its sound, the outputs attached to the
// audio bus while they are open, and the MIDI devices the script sees through the media subsystem.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "media/audio_bus.h"
#include "media/media_subsystem.h"
#include "media/midi_sound.h"
#include "platform/audio_device.h"
#include "platform/media/synth_midi.h"
#include "support/game_tree.h"

namespace kova::test {
namespace {

std::string InstalledSoundFont() {
  const std::vector<std::string> candidates = plat::DefaultSoundFonts();
  return plat::FindSoundFont("", candidates);
}

int32_t Peak(const std::vector<int16_t>& s, size_t from, size_t to) {
  int32_t m = 0;
  for (size_t i = from; i < to && i < s.size(); ++i) m = std::max(m, std::abs(int32_t(s[i])));
  return m;
}

std::vector<int16_t> Render(plat::IMidiOut& out, size_t frames) {
  std::vector<int16_t> s(frames * 2, 1234);
  out.Render(s);
  return s;
}

TEST(SoundFontSearch, TheNamedFileElseTheFirstThatExists) {
  GameTree tree;
  tree.WriteFile("b.sf2", std::string("x"));
  const std::vector<std::string> candidates = {tree.Path("a.sf2"), tree.Path("b.sf2"), tree.Path("c.sf2")};
  EXPECT_EQ(plat::FindSoundFont("", candidates), tree.Path("b.sf2"));
  // A named file is kept even when it is missing: MIDI is then silent rather than another sound.
  EXPECT_EQ(plat::FindSoundFont("/no/such.sf2", candidates), "/no/such.sf2");
  EXPECT_EQ(plat::FindSoundFont("", std::vector<std::string>{tree.Path("a.sf2")}), "");
}

TEST(SynthMidiDevices, WithoutAReadableSoundFontThereIsNoDevice) {
  for (const char* path : {"", "/no/such.sf2"}) {
    plat::TSynthMidiDevices devices(path);
    EXPECT_TRUE(devices.Names().empty());
    EXPECT_EQ(devices.Open(-1), nullptr);
    EXPECT_EQ(devices.Open(0), nullptr);
  }
  // A file that is no SoundFont opens no synthesizer.
  GameTree tree;
  tree.WriteFile("bad.sf2", std::string("RIFF\x10\0\0\0sfbkLIST", 16));
  plat::TSynthMidiDevices bad(tree.Path("bad.sf2"));
  EXPECT_EQ(bad.Names().size(), 1u);
  EXPECT_EQ(bad.Open(-1), nullptr);
}

class SynthTest : public ::testing::Test {
 protected:
  void SetUp() override {
    soundfont_ = InstalledSoundFont();
    if (soundfont_.empty()) GTEST_SKIP() << "no General MIDI SoundFont installed";
    devices_ = std::make_unique<plat::TSynthMidiDevices>(soundfont_);
  }
  std::string soundfont_;
  std::unique_ptr<plat::TSynthMidiDevices> devices_;
};

TEST_F(SynthTest, ANoteSoundsFromItsNoteOnAndFadesAfterItsNoteOff) {
  ASSERT_EQ(devices_->Names().size(), 1u);
  EXPECT_EQ(devices_->Open(1), nullptr);
  std::unique_ptr<plat::IMidiOut> out = devices_->Open(-1);
  ASSERT_NE(out, nullptr);
  EXPECT_TRUE(out->HasSound());
  EXPECT_LE(Peak(Render(*out, 4410), 0, 8820), 2);  // silence (the dither) before any note
  out->ShortMsg(0xC0 | 0 << 8);                      // piano
  out->ShortMsg(0x90 | 60 << 8 | 100 << 16);         // middle C
  const std::vector<int16_t> on = Render(*out, 8820);
  EXPECT_GT(Peak(on, 0, on.size()), 1000);
  out->ShortMsg(0x80 | 60 << 8 | 64 << 16);
  Render(*out, 44100 * 2);
  EXPECT_LT(Peak(Render(*out, 4410), 0, 8820), 50);
}

TEST_F(SynthTest, TheSameMessagesGiveTheSameSamplesAndMasterVolumeScalesThem) {
  const auto play = [&](bool half) {
    std::unique_ptr<plat::IMidiOut> out = devices_->Open(0);
    EXPECT_NE(out, nullptr);
    if (!out) return std::vector<int16_t>();
    if (half) {
      const uint8_t master[] = {0xF0, 0x7F, 0x7F, 0x04, 0x01, 0x7F, 0x3F, 0xF7};  // half of 16383
      out->LongMsg(master);
    }
    const uint8_t gs_reset[] = {0xF0, 0x41, 0x10, 0x42, 0x12, 0x40, 0x00, 0x7F, 0x00, 0x41, 0xF7};
    out->LongMsg(gs_reset);
    const uint8_t escape[] = {0xF7, 0x90, 0x40, 0x7F};  // dropped
    out->LongMsg(escape);
    out->ShortMsg(0x90 | 64 << 8 | 110 << 16);
    return Render(*out, 8820);
  };
  const std::vector<int16_t> first = play(false), second = play(false), half = play(true);
  EXPECT_EQ(first, second);
  const int32_t full_peak = Peak(first, 0, first.size()), half_peak = Peak(half, 0, half.size());
  EXPECT_GT(full_peak, 1000);
  EXPECT_NEAR(double(half_peak) / full_peak, 0.5, 0.05);
}

TEST_F(SynthTest, ResetSilencesEveryChannel) {
  // Held notes of an organ go on until the reset; after it only the reverberation's tail is left.
  for (const bool reset : {false, true}) {
    std::unique_ptr<plat::IMidiOut> out = devices_->Open(-1);
    ASSERT_NE(out, nullptr);
    for (int channel = 0; channel < 3; ++channel) {
      out->ShortMsg(uint32_t(0xC0 | channel) | 19 << 8);
      out->ShortMsg(uint32_t(0x90 | channel) | 67 << 8 | 100 << 16);
    }
    Render(*out, 4410);
    if (reset) out->Reset();
    Render(*out, 44100);
    const int32_t peak = Peak(Render(*out, 4410), 0, 8820);
    if (reset) {
      EXPECT_LT(peak, 50);
    } else {
      EXPECT_GT(peak, 1000);
    }
  }
}

TEST_F(SynthTest, MessagesFromAnotherThreadWhileTheBusRendersIt) {
  std::unique_ptr<plat::IMidiOut> out = devices_->Open(-1);
  ASSERT_NE(out, nullptr);
  std::thread sender([&] {
    for (int i = 0; i < 200; ++i) {
      out->ShortMsg(uint32_t(0x90 | (i & 3)) | uint32_t(48 + i % 24) << 8 | 90 << 16);
      out->ShortMsg(uint32_t(0xB0 | (i & 3)) | 7 << 8 | uint32_t(i % 128) << 16);
    }
    out->Reset();
  });
  for (int block = 0; block < 50; ++block) Render(*out, 441);
  sender.join();
  Render(*out, 441);
}

// An output that counts what it is asked and renders a constant level.
class CountingOut : public plat::IMidiOut {
 public:
  explicit CountingOut(int* alive) : alive_(alive) { ++*alive_; }
  ~CountingOut() override { --*alive_; }
  void ShortMsg(uint32_t m) override { last = m; }
  void LongMsg(std::span<const uint8_t>) override {}
  void Reset() override {}
  bool HasSound() const override { return true; }
  void Render(std::span<int16_t> s) override { std::fill(s.begin(), s.end(), int16_t(30000)); }
  uint32_t last = 0;

 private:
  int* alive_;
};

class CountingDevices : public plat::IMidiDevices {
 public:
  std::vector<std::string> Names() const override { return {"dev A", "dev B"}; }
  std::unique_ptr<plat::IMidiOut> Open(int32_t index) override {
    opened.push_back(index);
    return std::make_unique<CountingOut>(&alive);
  }
  std::vector<int32_t> opened;
  int alive = 0;
};

TEST(BusMidiDevices, AnOpenOutputIsMixedIntoTheBusUntilItIsFreed) {
  plat::TNullAudioDevice device;
  TAudioBus bus(device);
  std::string error;
  ASSERT_TRUE(bus.Open(error));
  CountingDevices platform;
  TBusMidiDevices devices(platform, bus);
  EXPECT_EQ(devices.Names(), platform.Names());
  std::vector<int16_t> pulled;
  {
    std::unique_ptr<plat::IMidiOut> out = devices.Open(1);
    ASSERT_NE(out, nullptr);
    out->ShortMsg(0x90);
    bus.PullFrame(10, &pulled);
    ASSERT_EQ(pulled.size(), 882u);
    // Added with saturation to what the bus holds (silence here).
    EXPECT_TRUE(std::all_of(pulled.begin(), pulled.end(), [](int16_t v) { return v == 30000; }));
  }
  EXPECT_EQ(platform.alive, 0);
  pulled.clear();
  bus.PullFrame(10, &pulled);
  EXPECT_TRUE(std::all_of(pulled.begin(), pulled.end(), [](int16_t v) { return v == 0; }));
  EXPECT_EQ(platform.opened, std::vector<int32_t>({1}));
}

TEST(MediaSubsystemMidi, TheScriptSeesTheManagersDevicesOnceMediaHasStarted) {
  plat::TNullAudioDevice device;
  CountingDevices platform;
  std::vector<std::string> warnings;
  TMediaSubsystem media(TMediaInputs{.device = &device,
                                     .midi = &platform,
                                     .platform_ms = [] { return 0u; },
                                     .game_ms = [] { return 0u; },
                                     .cd_drives = nullptr,
                                     .cd_drive = {},
                                     .warn = [&](std::string_view w) { warnings.emplace_back(w); }});
  EXPECT_FALSE(media.HasMidi());
  EXPECT_EQ(media.MidiDeviceCount(), 0);
  EXPECT_EQ(media.MidiCurrentDevice(), "");
  media.Start({});
  EXPECT_TRUE(warnings.empty());
  ASSERT_TRUE(media.HasMidi());
  EXPECT_EQ(media.MidiDeviceCount(), 3);
  EXPECT_EQ(media.MidiDeviceName(2), "dev B");
  EXPECT_EQ(media.MidiCurrentDevice(), media.MidiDeviceName(0));  // the mapper
  media.MidiSelectDevice("dev B");
  EXPECT_EQ(media.MidiCurrentDevice(), "dev B");
  media.MidiSelectDevice("no such device");
  EXPECT_EQ(media.MidiCurrentDevice(), media.MidiDeviceName(0));
  media.Stop();
  EXPECT_FALSE(media.HasMidi());
}

TEST(MediaSubsystemMidi, OutputsWithoutADeviceWarnOnceAtMediaStart) {
  plat::TNullAudioDevice device;
  plat::TSynthMidiDevices none("");
  std::vector<std::string> warnings;
  TMediaSubsystem media(TMediaInputs{.device = &device,
                                     .midi = &none,
                                     .platform_ms = [] { return 0u; },
                                     .game_ms = [] { return 0u; },
                                     .cd_drives = nullptr,
                                     .cd_drive = {},
                                     .warn = [&](std::string_view w) { warnings.emplace_back(w); }});
  media.Start({});
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_NE(warnings[0].find("SoundFont"), std::string::npos);
  EXPECT_EQ(media.MidiDeviceCount(), 1);  // the mapper alone
}

}  // namespace
}  // namespace kova::test
