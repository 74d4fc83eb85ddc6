#include "player/sound_settings.h"

#include <algorithm>

#include "core/format.h"
#include "core/messages.h"
#include "platform/text/text_codec.h"


namespace kova {

int32_t NormaliseDelayTime(int32_t stored) {
  return std::clamp(stored / 100 * 100, kMinDelayTime, kMaxDelayTime);
}

TSoundSettings ReadSoundSettings(const plat::TIniFile& ini) {
  TSoundSettings s;
  s.UseDirectSound = ini.ReadBool(kSoundSection, kDirectSoundKey, true);
  s.DelayTime = NormaliseDelayTime(ini.ReadInteger(kSoundSection, kDelayTimeKey, kDefaultDelayTime));
  return s;
}

TSettingsFile::TSettingsFile(plat::TGameUserFolder folder)
    : folder_(std::move(folder)), ini_(folder_.ReadPath(kSettingsFileName)) {}

bool TSettingsFile::Write(const TSoundSettings& settings) {
  error_.clear();
  // The per-user folder is made only now, when something is written.
  const std::string path = folder_.WritePath(kSettingsFileName);
  const auto fail = [&](const std::string& where, const std::string& why) {
    error_ = Format(MsgText(TMsg::FileCreateError).c_str(), plat::Utf8ToCp932(where).c_str());
    if (!why.empty()) error_ += " (" + plat::Utf8ToCp932(why) + ")";
    return false;
  };
  if (path.empty()) return fail(folder_.Folder().empty() ? std::string(kSettingsFileName) : folder_.Folder(), {});
  ini_.WriteTo(path);
  if (!ini_.WriteBool(kSoundSection, kDirectSoundKey, settings.UseDirectSound) ||
      !ini_.WriteInteger(kSoundSection, kDelayTimeKey, settings.DelayTime)) {
    return fail(path, ini_.Error());
  }
  return true;
}

}  // namespace kova
