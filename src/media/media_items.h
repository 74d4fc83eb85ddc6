// The media items of sound the backend and the mixer play, and their managers:
//   TWmpItem      WMA/ASF sound: the whole file handed to a backend voice;
//   TOggItem      Ogg or WAV played by a backend voice (DirectSound in use, the default);
//   TOggWaveItem  Ogg or WAV decoded here and played by the wave-out mixer (DirectSound off);
//   TWmpManager, TOggManager (which owns the mixer) make them.
// A name is read from the game's files (a range stream wherever the game keeps it); a name that
// begins with a path delimiter is a disk file. Errors making an item (no such file, data that is
// no sound: "サウンドデータが不正です") pass to the caller of the manager's Add.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "media/media_backend.h"
#include "media/media_manager.h"
#include "media/wave_out.h"

namespace kova {

class TVrFileManager;

// What the sound managers read and play through.
struct TSoundManagerParts {
  TVrFileManager* files = nullptr;
  IMediaBackend* backend = nullptr;
  plat::ISoundCodecs* codecs = nullptr;  // the mixer's decoders
  // The mixer's wave-out device and clock, and its settings.
  IWaveOutDevice* wave_out = nullptr;
  std::function<uint32_t()> clock_ms;
  int32_t delay_time = 500;
  bool mixer_thread = true;  // false: the session pumps the mixer once a frame
  bool use_direct_sound = true;
};

class TWmpManager : public TMediaManager {
 public:
  explicit TWmpManager(const TSoundManagerParts& parts);
  void Restore() override;

 protected:
  std::unique_ptr<TDMediaItem> CreateItem(const std::string& name) override;

 private:
  TSoundManagerParts parts_;
};

class TOggManager : public TMediaManager {
 public:
  explicit TOggManager(const TSoundManagerParts& parts);
  ~TOggManager() override;  // frees its items before its mixer
  void Restore() override;
  TWavOut& Mixer() { return *mixer_; }

 protected:
  std::unique_ptr<TDMediaItem> CreateItem(const std::string& name) override;

 private:
  TSoundManagerParts parts_;
  std::unique_ptr<TWavOut> mixer_;
};

}  // namespace kova
