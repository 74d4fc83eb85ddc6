#include "media/media_items.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "core/errors.h"
#include "core/file_manager.h"
#include "core/host_path.h"
#include "core/messages.h"
#include "core/range_stream.h"
#include "core/stream.h"
#include "media/ogg_stream.h"

namespace kova {

namespace {

[[noreturn]] void RaiseSoundDataInvalid() { Raise<EKovaError>(TMsg::SoundDataInvalid); }

IMediaBackend& BackendOf(const TSoundManagerParts& parts) {
  if (!parts.backend) RaiseSoundDataInvalid();  // a session without voices plays nothing
  return *parts.backend;
}

// The extension, ignoring case, is ".ogg"; anything else is taken for RIFF WAVE.
bool IsOggName(std::string_view name) {
  constexpr std::string_view kOgg = ".ogg";
  if (name.size() < kOgg.size()) return false;
  const std::string_view tail = name.substr(name.size() - kOgg.size());
  return std::equal(tail.begin(), tail.end(), kOgg.begin(),
                    [](char a, char b) { return char(a | 0x20) == b; });
}

// The stream an Ogg or WAV item reads: a disk file for an absolute name (a leading "/" or "\",
// looked up without regard to case as game names are), else the game's file wherever it lies. A
// drive name ("X:...") names no file here.
std::unique_ptr<TStream> OpenSoundSource(TVrFileManager& files, const std::string& name) {
  if (!name.empty() && (name[0] == '/' || name[0] == '\\')) {
    const auto path = ResolveHostPath(files.HostNames(), "/", std::string_view(name).substr(1));
    if (!path) Raise<EReadError>(TMsg::FileNotFound, name.c_str());
    return std::make_unique<TFileRangeStream>(*path, 0, 0);
  }
  if (name.size() >= 2 && name[1] == ':') Raise<EReadError>(TMsg::FileNotFound, name.c_str());
  return files.OpenRangeStream(name);
}

TVrFileManager& FilesOf(const TSoundManagerParts& parts) {
  if (!parts.files) Raise<EReadError>(TMsg::FileNotFound, "");
  return *parts.files;
}

// The part of the WMA and Ogg items that a backend voice plays. The first-sound step of the
// original (setting up the sound device when the first such item is made) has nothing to do
// here: the media subsystem opened the bus at media start and keeps it open, so no item opens
// or re-opens it, and sound that plays already is never cut.
class TVoiceItem : public TDMediaItem {
 public:
  TVoiceItem(TMediaManager& owner, IMediaBackend& backend, TVoiceHandle voice)
      : TDMediaItem(owner), backend_(backend), voice_(voice) {}
  ~TVoiceItem() override { backend_.Del(voice_); }

  bool GetAutoRepeat() override { return backend_.GetAutoRepeat(voice_); }
  void SetAutoRepeat(bool repeat) override { backend_.SetAutoRepeat(voice_, repeat); }
  int32_t GetPan() override { return backend_.GetPan(voice_); }
  int32_t GetVol() override { return backend_.GetVol(voice_); }
  void SetPan(int32_t pan) override { backend_.SetPan(voice_, pan); }
  void SetVol(int32_t volume) override { backend_.SetVol(voice_, volume); }
  int32_t GetPosition() override { return backend_.GetPosition(voice_); }
  // A negative position seeks to the start; either way the next end is reported again (the Ogg
  // item of the original never cleared its latch, so a sound played again reported no end).
  void SetPosition(int32_t ms) override {
    backend_.SetPosition(voice_, std::max(ms, 0));
    end_latched_ = false;
  }
  int32_t GetLen() override { return backend_.GetLen(voice_); }
  // One end is reported once.
  bool IsEnd() override {
    if (end_latched_ || !backend_.IsEnd(voice_)) return false;
    end_latched_ = true;
    return true;
  }
  bool IsPaused() override { return backend_.IsPaused(voice_); }
  // While the manager is disabled Play only marks the item, so that enabling plays it.
  void Play() override {
    if (!Owner().Enabled()) {
      Mark = true;
      return;
    }
    backend_.Play(voice_);
  }
  void Pause() override { backend_.Pause(voice_); }

 protected:
  IMediaBackend& backend_;
  const TVoiceHandle voice_;

 private:
  bool end_latched_ = false;
};

TVoiceHandle CheckedVoice(TVoiceHandle voice) {
  if (voice == 0) RaiseSoundDataInvalid();
  return voice;
}

// WMA/ASF sound: the whole file handed to a voice.
class TWmpItem final : public TVoiceItem {
 public:
  TWmpItem(TMediaManager& owner, const TSoundManagerParts& parts, const std::string& name)
      : TVoiceItem(owner, BackendOf(parts), CheckedVoice(BackendOf(parts).WmpAdd(LoadWhole(parts, name)))) {}

  bool IsPlaying() override { return backend_.IsPlaying(voice_); }

 private:
  static std::vector<uint8_t> LoadWhole(const TSoundManagerParts& parts, const std::string& name) {
    TMemoryStream data;
    FilesOf(parts).LoadFile(data, name);
    const std::span<const uint8_t> bytes = data.Bytes();
    return {bytes.begin(), bytes.end()};
  }
};

// Ogg Vorbis or RIFF WAVE played by a voice, which reads the item's stream on its own thread.
class TOggItem final : public TVoiceItem {
 public:
  TOggItem(TMediaManager& owner, const TSoundManagerParts& parts, const std::string& name)
      : TVoiceItem(owner, BackendOf(parts),
                   CheckedVoice(BackendOf(parts).OggAdd(OpenSoundSource(FilesOf(parts), name), IsOggName(name)))) {}

  bool IsPlaying() override { return backend_.IsPlaying(voice_) && !backend_.IsPaused(voice_); }
};

// Ogg Vorbis or RIFF WAVE decoded here and played by the manager's wave-out mixer.
class TOggWaveItem final : public TDMediaItem {
 public:
  TOggWaveItem(TOggManager& owner, const TSoundManagerParts& parts, const std::string& name)
      : TDMediaItem(owner), mixer_(owner.Mixer()) {
    if (!parts.codecs) RaiseSoundDataInvalid();
    stream_ = std::make_unique<TOggStream>(*parts.codecs, OpenSoundSource(FilesOf(parts), name), IsOggName(name));
    source_ = mixer_.AddBuffer(stream_->Format(), *stream_);
  }
  ~TOggWaveItem() override {
    if (source_) mixer_.RemoveBuffer(source_);
  }

  bool GetAutoRepeat() override { return source_ && source_->Loop(); }
  void SetAutoRepeat(bool repeat) override {
    if (source_) source_->SetLoop(repeat);
  }
  // No pan: the mixer plays both sides alike.
  int32_t GetVol() override { return volume_; }
  // -5000 and below silent, 0 full (256).
  void SetVol(int32_t volume) override {
    volume_ = volume;
    if (source_) source_->SetLevel((std::max(volume, -5000) + 5000) * 256 / 5000);
  }
  int32_t GetPosition() override {
    const double per_second = BytesPerSecond();
    if (per_second <= 0 || !source_) return 0;
    return int32_t(std::lround(source_->GetPosition() / per_second * 1000));
  }
  // Held to a whole frame (a byte offset inside one would swap the sides or play noise), and to
  // the start for a negative position.
  void SetPosition(int32_t ms) override {
    if (!source_) return;
    const int64_t align = std::max(stream_->Format().BlockAlign(), 1);
    int64_t bytes = std::min<int64_t>(std::llround(std::max(ms, 0) * BytesPerSecond() / 1000), stream_->GetSize());
    bytes = std::clamp<int64_t>(bytes - bytes % align, 0, INT32_MAX - INT32_MAX % align);
    source_->SetPosition(int32_t(bytes));
  }
  int32_t GetLen() override { return stream_->LengthMs(); }
  // A looping source that ran out is started again; no latch.
  bool IsEnd() override {
    if (!source_) return true;
    if (source_->Loop() && source_->IsEnd()) {
      source_->Replay();
      return false;
    }
    return source_->IsEnd();
  }
  bool IsPlaying() override { return source_ && source_->Playing() && !source_->Paused() && !source_->IsEnd(); }
  bool IsPaused() override { return paused_; }
  // Plays even while the manager is disabled.
  void Play() override {
    if (source_) source_->Play();
    paused_ = false;
  }
  void Pause() override {
    if (source_) source_->Pause();
    paused_ = true;
  }

 private:
  double BytesPerSecond() const {
    const plat::TPcmFormat& f = stream_->Format();
    return double(f.bits) * f.channels * f.rate / 8;
  }

  TWavOut& mixer_;
  std::unique_ptr<TOggStream> stream_;  // owns the source stream under it
  TWavBuffer* source_ = nullptr;        // the mixer's
  bool paused_ = false;
  int32_t volume_ = 0;
};

}  // namespace

TWmpManager::TWmpManager(const TSoundManagerParts& parts) : parts_(parts) {}

void TWmpManager::Restore() {
  if (parts_.backend) parts_.backend->Restore();
}

std::unique_ptr<TDMediaItem> TWmpManager::CreateItem(const std::string& name) {
  return std::make_unique<TWmpItem>(*this, parts_, name);
}

TOggManager::TOggManager(const TSoundManagerParts& parts) : parts_(parts) {
  if (parts_.wave_out) {
    mixer_ = std::make_unique<TWavOut>(*parts_.wave_out, parts_.clock_ms, parts_.delay_time, parts_.mixer_thread);
  }
}

TOggManager::~TOggManager() {
  Clear();  // the items leave the mixer before it goes
  mixer_.reset();
}

void TOggManager::Restore() {
  if (parts_.backend) parts_.backend->Restore();
}

std::unique_ptr<TDMediaItem> TOggManager::CreateItem(const std::string& name) {
  if (parts_.use_direct_sound || !mixer_) return std::make_unique<TOggItem>(*this, parts_, name);
  mixer_->Open();  // false when it is open already
  return std::make_unique<TOggWaveItem>(*this, parts_, name);
}

}  // namespace kova
