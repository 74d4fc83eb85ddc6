// The media subsystem: the session's sound (see core/subsystem.h). It owns the audio bus on the
// session's sound device, the backend's voices and the media layer's managers; it registers the
// sound component's kind and the scene's media switch. Media start (when the game opens) opens
// the bus and makes the managers from the sound settings; media stop frees them and closes the
// bus. On a device pulled by its caller (headless runs, tests) every frame step pumps the mixer
// and pulls the frame's samples on the session's clock, optionally into a capture.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/subsystem.h"
#include "components/scene/scene_media.h"
#include "media/audio_bus.h"
#include "media/media_layer.h"
#include "script/media_port.h"
#include "platform/audio_device.h"
#include "platform/midi_out.h"
#include "platform/cd_audio.h"
#include "platform/sound_codecs.h"
#include "platform/video_codecs.h"

namespace kova {

class TMediaBackend;
class TBusWaveOut;
class TBusMidiDevices;
class TMidiManager;
class TVrFileManager;

struct TMediaSettings {
  bool use_direct_sound = true;  // false: Ogg and WAV through the wave-out mixer
  int32_t delay_time = 500;      // the mixer's sound delay, 100 .. 500 ms
};

struct TMediaInputs {
  plat::IAudioDevice* device = nullptr;  // the session's sound device (closed)
  TVrFileManager* files = nullptr;
  plat::ISoundCodecs* codecs = nullptr;  // the Ogg and WMA decoders and the rate converter
  plat::IVideoCodecs* video_codecs = nullptr;  // the video decoders (none: videos show nothing)
  // The most pixels a video's picture may have (larger videos are refused).
  int64_t max_video_pixels = int64_t(1920) * 1080 * 4;
  // The MIDI outputs; without a device among them media start warns once (nullptr: none, quietly).
  plat::IMidiDevices* midi = nullptr;
  // The platform's milliseconds (the mixer's clock on a real device).
  std::function<uint32_t()> platform_ms;
  // The session's game clock in ms (the mixer's clock on a device pulled by its caller).
  std::function<uint32_t()> game_ms;
  // The CD drives (none when absent), and the drive the game's settings name ("CDDrive").
  plat::ICdDrives* cd_drives = nullptr;
  std::function<std::string()> cd_drive;
  // Where a line about a missing sound device goes (standard error by default).
  std::function<void(std::string_view)> warn;
};

class TMediaSubsystem : public TSubsystem, public ISceneMedia, public TMediaPort {
 public:
  explicit TMediaSubsystem(TMediaInputs inputs);
  ~TMediaSubsystem() override;

  std::string_view Name() const override { return "media"; }
  void Register(TSubsystemRegistry& registry) override;
  // Media stop, then the bus closed.
  void Stop() override;

  // Media start: opens the bus (without a device the game plays silently, on the session's
  // clock, with one line of warning) and makes the managers. A second start does nothing.
  void Start(const TMediaSettings& settings);
  bool Started() const { return started_; }
  // The most pixels a video's picture may have, for the video manager made at the next start.
  void SetVideoPixelLimit(int64_t pixels) { inputs_.max_video_pixels = pixels; }
  // After each frame step of `delta` ms, for a device pulled by its caller: the mixer is pumped
  // and the frame's samples pulled (into the capture when one is set). On every device the CD
  // player is then polled (on the game clock when pulled by the caller, else the platform's).
  void Frame(int32_t delta);
  // Every frame's samples pulled from now on go to `capture` (interleaved stereo; empty: none).
  using TCapture = std::function<void(std::span<const int16_t> samples)>;
  void SetCapture(TCapture capture) { capture_ = std::move(capture); }

  // ISceneMedia: the script's sound switch.
  void SetMediaEnabled(bool enabled) override { layer_.SetEnabled(enabled); }
  TMediaLayer& Layer() { return layer_; }

  // TMediaPort: the script's MIDI device list and choice, through the MIDI manager.
  bool HasMidi() const override;
  std::string MidiCurrentDevice() const override;
  void MidiSelectDevice(std::string_view name) override;
  int32_t MidiDeviceCount() const override;
  std::string MidiDeviceName(int32_t index) const override;
  // The bus, once started.
  TAudioBus* Bus() { return bus_.get(); }

 private:
  TMediaInputs inputs_;
  TMidiManager* Midi() const;

  plat::TNoSoundCodecs no_codecs_;
  plat::TNoVideoCodecs no_video_codecs_;
  plat::TNoMidiDevices no_midi_;
  bool warn_no_midi_ = true;  // one line when the MIDI outputs given have no device
  plat::TNullAudioDevice fallback_device_;  // when the session's device cannot be opened
  // Declared in the order they are made; the managers (with their items and the mixer) go first.
  std::unique_ptr<TAudioBus> bus_;
  std::unique_ptr<TMediaBackend> backend_;
  std::unique_ptr<TBusWaveOut> wave_out_;
  std::unique_ptr<TBusMidiDevices> midi_devices_;
  TMediaLayer layer_;
  bool started_ = false;
  bool caller_pulled_ = false;
  TCapture capture_;
  std::vector<int16_t> frame_samples_;
};

}  // namespace kova
