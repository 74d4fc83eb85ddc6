#include "player/config_model.h"

#include <algorithm>

#include "core/format.h"

namespace kova {

TConfigModel::TConfigModel(TSettingsFile& file) : file_(file) {
  const plat::TIniFile& ini = file.Ini();
  checked_ = ini.ReadBool(kSoundSection, kDirectSoundKey, true);
  // The stored delay in hundreds, as the track bar keeps it (0 becomes 1, 9 becomes 5).
  SetPosition(ini.ReadInteger(kSoundSection, kDelayTimeKey, kDefaultDelayTime) / 100);
}

void TConfigModel::SetPosition(int32_t position) { position_ = std::clamp(position, kMinPosition, kMaxPosition); }

std::string TConfigModel::DelayText() const { return Format("%dms", DelayTime()); }

bool TConfigModel::Ok() {
  if (!file_.Write(TSoundSettings{checked_, DelayTime()})) {
    error_ = file_.Error();
    return false;
  }
  error_.clear();
  open_ = false;
  return true;
}

}  // namespace kova
