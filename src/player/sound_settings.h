// The player's two sound settings and the file that keeps them: "game.ini", section "Sound", key
// "DirectSound" (whether sound goes through the system's sound device or the player's own mixer)
// and key "DelayTime" (the length of the own mixer's buffers, in milliseconds). The player reads
// them at start; only the settings dialog writes them.
//
// The file lives where a game's user files go (platform/files/instance.h): beside the game when its
// folder can be written, else in the per-user data folder under the game's instance name; a game
// that ships its own copy in a read-only folder is read from there until the user saves one.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/files/ini_file.h"
#include "platform/files/instance.h"

namespace kova {

inline constexpr std::string_view kSettingsFileName = "game.ini";
inline constexpr std::string_view kSoundSection = "Sound";
inline constexpr std::string_view kDirectSoundKey = "DirectSound";
inline constexpr std::string_view kDelayTimeKey = "DelayTime";

inline constexpr int32_t kDefaultDelayTime = 500;
inline constexpr int32_t kMinDelayTime = 100;
inline constexpr int32_t kMaxDelayTime = 500;

struct TSoundSettings {
  bool UseDirectSound = true;
  int32_t DelayTime = kDefaultDelayTime;  // 100 .. 500 in steps of 100
  friend bool operator==(const TSoundSettings&, const TSoundSettings&) = default;
};

// A stored delay as the player uses it: rounded toward zero to hundreds, then held to 100 .. 500.
int32_t NormaliseDelayTime(int32_t stored);

// The settings as the player reads them at start (a missing or damaged file gives the defaults).
TSoundSettings ReadSoundSettings(const plat::TIniFile& ini);

// The settings file of one game: read from where the user's copy is (or the game's own copy),
// written where the user's files go.
class TSettingsFile {
 public:
  // The file of the game whose user folder is `folder`.
  explicit TSettingsFile(plat::TGameUserFolder folder);

  const plat::TIniFile& Ini() const { return ini_; }
  TSoundSettings Read() const { return ReadSoundSettings(ini_); }
  // Writes both settings (DirectSound as "1" or "0"), each key replacing the file atomically;
  // false when the file could not be written, with Error() the system's message (code page 932).
  bool Write(const TSoundSettings& settings);
  const std::string& Error() const { return error_; }

 private:
  plat::TGameUserFolder folder_;
  plat::TIniFile ini_;
  std::string error_;
};

}  // namespace kova
