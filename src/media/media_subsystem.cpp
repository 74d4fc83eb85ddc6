#include "media/media_subsystem.h"

#include <chrono>
#include <cstdio>
#include <thread>
#include <utility>

#include "components/scene/component_factory.h"
#include "media/cd_items.h"
#include "media/kova_sound.h"
#include "media/kova_video.h"
#include "media/media_backend.h"
#include "media/media_items.h"
#include "media/midi_items.h"
#include "media/midi_sound.h"
#include "media/video_items.h"
#include "media/wave_out.h"

namespace kova {

TMediaSubsystem::TMediaSubsystem(TMediaInputs inputs) : inputs_(std::move(inputs)) {
  if (!inputs_.warn) {
    inputs_.warn = [](std::string_view line) { std::fprintf(stderr, "%.*s\n", int(line.size()), line.data()); };
  }
  if (!inputs_.codecs) inputs_.codecs = &no_codecs_;
  if (!inputs_.video_codecs) inputs_.video_codecs = &no_video_codecs_;
  if (!inputs_.midi) {
    inputs_.midi = &no_midi_;
    warn_no_midi_ = false;  // a session that plays no MIDI at all
  }
}

TMediaSubsystem::~TMediaSubsystem() { Stop(); }

void TMediaSubsystem::Register(TSubsystemRegistry& registry) {
  if (registry.kinds) {
    RegisterSoundKind(*registry.kinds, layer_);
    RegisterVideoKind(*registry.kinds, layer_);
  }
  if (registry.media) registry.media->Register(*this);
}

void TMediaSubsystem::Start(const TMediaSettings& settings) {
  if (started_) return;
  started_ = true;
  std::string error;
  if (inputs_.device) {
    bus_ = std::make_unique<TAudioBus>(*inputs_.device);
    if (!bus_->Open(error)) bus_.reset();
  } else {
    error = "the player was given none";
  }
  if (!bus_) {
    // Without a device the game plays on, silently, its sounds timed by the session's clock.
    inputs_.warn("no sound device (" + error + "): the game plays without sound");
    bus_ = std::make_unique<TAudioBus>(fallback_device_);
    bus_->Open(error);
  }
  caller_pulled_ = bus_->PulledByCaller();
  backend_ = std::make_unique<TMediaBackend>(*bus_, BusVoiceDecoders(*inputs_.codecs));
  wave_out_ = std::make_unique<TBusWaveOut>(*bus_);
  TSoundManagerParts parts;
  parts.files = inputs_.files;
  parts.backend = backend_.get();
  parts.codecs = inputs_.codecs;
  parts.wave_out = wave_out_.get();
  parts.clock_ms = caller_pulled_ ? inputs_.game_ms : inputs_.platform_ms;
  parts.delay_time = settings.delay_time;
  parts.mixer_thread = !caller_pulled_;
  parts.use_direct_sound = settings.use_direct_sound;
  TVideoManagerParts video;
  video.files = inputs_.files;
  video.codecs = inputs_.video_codecs;
  video.backend = backend_.get();
  video.clock_ms = parts.clock_ms;
  video.wait_for_pictures = caller_pulled_;
  video.max_pixels = inputs_.max_video_pixels;
  layer_.Install(TMediaKind::Video, std::make_unique<TVideoManager>(std::move(video)));
  layer_.Install(TMediaKind::Wmp, std::make_unique<TWmpManager>(parts));
  layer_.Install(TMediaKind::Ogg, std::make_unique<TOggManager>(parts));
  layer_.Install(TMediaKind::Cdda,
                 std::make_unique<TCddaManager>(TCddaParts{inputs_.cd_drives, backend_.get(), inputs_.cd_drive}));

  midi_devices_ = std::make_unique<TBusMidiDevices>(*inputs_.midi, *bus_);
  if (warn_no_midi_ && midi_devices_->Names().empty()) inputs_.warn("no MIDI output (no SoundFont was found): MIDI songs stay silent");
  TMidiParts midi;
  midi.files = inputs_.files;
  midi.devices = midi_devices_.get();
  midi.clock_ms = parts.clock_ms;
  midi.timer_thread = !caller_pulled_;
  if (!caller_pulled_) {
    midi.sleep = [](uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); };
  } else {
    midi.sleep = [](uint32_t) {};  // the game clock does not move during a seek
  }
  layer_.Install(TMediaKind::Midi, std::make_unique<TMidiManager>(midi));
}

TMidiManager* TMediaSubsystem::Midi() const { return dynamic_cast<TMidiManager*>(layer_.Manager(TMediaKind::Midi)); }

bool TMediaSubsystem::HasMidi() const { return Midi() != nullptr; }

std::string TMediaSubsystem::MidiCurrentDevice() const {
  TMidiManager* midi = Midi();
  return midi ? midi->GetCurrentDeviceName() : std::string();
}

void TMediaSubsystem::MidiSelectDevice(std::string_view name) {
  if (TMidiManager* midi = Midi()) midi->SelectDevice(name);
}

int32_t TMediaSubsystem::MidiDeviceCount() const {
  TMidiManager* midi = Midi();
  return midi ? midi->GetDeviceCount() : 0;
}

std::string TMediaSubsystem::MidiDeviceName(int32_t index) const {
  TMidiManager* midi = Midi();
  return midi ? midi->GetDeviceName(index) : std::string();
}

void TMediaSubsystem::Frame(int32_t delta) {
  if (!bus_) return;
  if (caller_pulled_) {
    if (auto* ogg = dynamic_cast<TOggManager*>(layer_.Manager(TMediaKind::Ogg))) ogg->Mixer().Pump();
    if (TMidiManager* midi = Midi()) midi->Tick();  // the song's events up to now, then its sound
    frame_samples_.clear();
    bus_->PullFrame(delta, capture_ ? &frame_samples_ : nullptr);
    if (capture_) capture_(frame_samples_);
  }
  if (auto* cd = dynamic_cast<TCddaManager*>(layer_.Manager(TMediaKind::Cdda))) {
    const std::function<uint32_t()>& clock = caller_pulled_ ? inputs_.game_ms : inputs_.platform_ms;
    if (clock) cd->Poll(clock());
  }
}

void TMediaSubsystem::Stop() {
  // The items first (each stops its voice or its mixer source), then the players, then the bus.
  layer_.Stop();
  midi_devices_.reset();
  wave_out_.reset();
  backend_.reset();
  if (bus_) bus_->Close();
  bus_.reset();
}

}  // namespace kova
