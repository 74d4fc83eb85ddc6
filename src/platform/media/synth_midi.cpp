#include "platform/media/synth_midi.h"

#include <fluidsynth.h>

#include <algorithm>
#include <cstdio>

namespace kova::plat {

namespace {

constexpr double kRate = 44100.0;
constexpr double kGain = 0.5;  // the synthesizer's level at full master volume
constexpr int kBlockFrames = 441;  // at most 10 ms rendered at a time

bool Readable(const std::string& path) {
  if (path.empty()) return false;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return false;
  std::fclose(f);
  return true;
}

// The library writes its diagnostics to standard error by default; this player keeps it quiet.
void QuietSynthLog() {
  for (int level = FLUID_PANIC; level <= FLUID_DBG; ++level) fluid_set_log_function(level, nullptr, nullptr);
}

class TSynthOut final : public IMidiOut {
 public:
  TSynthOut(fluid_settings_t* settings, fluid_synth_t* synth) : settings_(settings), synth_(synth) {}
  ~TSynthOut() override {
    delete_fluid_synth(synth_);
    delete_fluid_settings(settings_);
  }
  TSynthOut(const TSynthOut&) = delete;
  TSynthOut& operator=(const TSynthOut&) = delete;

  void ShortMsg(uint32_t message) override {
    const int status = int(message & 0xFF);
    const int channel = status & 0x0F;
    const int d1 = int((message >> 8) & 0x7F);
    const int d2 = int((message >> 16) & 0x7F);
    switch (status & 0xF0) {
      case 0x80: fluid_synth_noteoff(synth_, channel, d1); break;
      case 0x90:
        if (d2 == 0) {
          fluid_synth_noteoff(synth_, channel, d1);
        } else {
          fluid_synth_noteon(synth_, channel, d1, d2);
        }
        break;
      case 0xA0: fluid_synth_key_pressure(synth_, channel, d1, d2); break;
      case 0xB0: fluid_synth_cc(synth_, channel, d1, d2); break;
      case 0xC0: fluid_synth_program_change(synth_, channel, d1); break;
      case 0xD0: fluid_synth_channel_pressure(synth_, channel, d1); break;
      case 0xE0: fluid_synth_pitch_bend(synth_, channel, d1 | (d2 << 7)); break;
      default: break;  // no channel message
    }
  }

  void LongMsg(std::span<const uint8_t> message) override {
    if (message.size() < 2 || message.front() != 0xF0) return;  // F7 packets are dropped
    std::span<const uint8_t> body = message.subspan(1);
    if (!body.empty() && body.back() == 0xF7) body = body.first(body.size() - 1);
    if (body.size() == 6 && body[0] == 0x7F && body[2] == 0x04 && body[3] == 0x01) {
      const int level = (body[5] & 0x7F) << 7 | (body[4] & 0x7F);
      fluid_synth_set_gain(synth_, float(kGain * level / 16383.0));
      return;
    }
    if (body.empty() || std::any_of(body.begin(), body.end(), [](uint8_t b) { return b >= 0x80; })) return;
    fluid_synth_sysex(synth_, reinterpret_cast<const char*>(body.data()), int(body.size()), nullptr, nullptr,
                      nullptr, 0);
  }

  void Reset() override {
    fluid_synth_all_sounds_off(synth_, -1);
    for (int channel = 0; channel < 16; ++channel) fluid_synth_cc(synth_, channel, 121, 0);
  }

  bool HasSound() const override { return true; }

  void Render(std::span<int16_t> stereo) override {
    const size_t frames = stereo.size() / 2;
    for (size_t done = 0; done < frames;) {
      const int n = int(std::min<size_t>(kBlockFrames, frames - done));
      int16_t* out = stereo.data() + done * 2;
      if (fluid_synth_write_s16(synth_, n, out, 0, 2, out, 1, 2) != FLUID_OK) {
        std::fill(out, stereo.data() + frames * 2, int16_t(0));
        return;
      }
      done += size_t(n);
    }
  }

 private:
  fluid_settings_t* settings_;
  fluid_synth_t* synth_;
};

}  // namespace

std::vector<std::string> DefaultSoundFonts() {
  return {"/usr/share/sounds/sf2/default-GM.sf2", "/usr/share/sounds/sf2/TimGM6mb.sf2",
          "/usr/share/sounds/sf2/FluidR3_GM.sf2"};
}

std::string FindSoundFont(std::string_view named, std::span<const std::string> candidates) {
  if (!named.empty()) return std::string(named);
  for (const std::string& path : candidates) {
    if (Readable(path)) return path;
  }
  return {};
}

TSynthMidiDevices::TSynthMidiDevices(std::string soundfont)
    : soundfont_(std::move(soundfont)), readable_(Readable(soundfont_)) {
  QuietSynthLog();
}

std::vector<std::string> TSynthMidiDevices::Names() const {
  if (!readable_) return {};
  const size_t slash = soundfont_.find_last_of('/');
  const std::string file = slash == std::string::npos ? soundfont_ : soundfont_.substr(slash + 1);
  // The file name is the user's; only its ASCII part shows, so the name stays code page 932.
  std::string shown;
  for (char c : file) shown += (uint8_t(c) >= 0x20 && uint8_t(c) < 0x7F) ? c : '?';
  return {"Software synthesizer (" + shown + ")"};
}

std::unique_ptr<IMidiOut> TSynthMidiDevices::Open(int32_t index) {
  if (!readable_ || (index != 0 && index != -1)) return nullptr;
  fluid_settings_t* settings = new_fluid_settings();
  if (!settings) return nullptr;
  fluid_settings_setnum(settings, "synth.sample-rate", kRate);
  fluid_settings_setnum(settings, "synth.gain", kGain);
  fluid_settings_setint(settings, "synth.cpu-cores", 1);
  fluid_settings_setint(settings, "synth.threadsafe-api", 1);
  fluid_synth_t* synth = new_fluid_synth(settings);
  if (!synth) {
    delete_fluid_settings(settings);
    return nullptr;
  }
  auto out = std::make_unique<TSynthOut>(settings, synth);
  if (fluid_synth_sfload(synth, soundfont_.c_str(), 1) == FLUID_FAILED) return nullptr;
  return out;
}

}  // namespace kova::plat
