#include "media/audio_mixer.h"

#include <algorithm>

namespace kova {

bool TAudioMixer::Select(int32_t device) {
  if (device < 0 || device >= DeviceCount()) return false;
  selected_ = device;
  return true;
}

void TAudioMixer::GetVolume(int32_t destination, int32_t connection, int32_t& mute, int32_t& left,
                            int32_t& right) const {
  if (!Valid(destination, connection)) {
    mute = left = right = -1;
    return;
  }
  mute = cd_line_->mute.load() ? 1 : 0;
  left = cd_line_->left.load();
  right = cd_line_->right.load();
}

void TAudioMixer::SetVolume(int32_t destination, int32_t connection, int32_t mute, int32_t right, int32_t left) {
  if (!Valid(destination, connection)) return;
  if (mute >= 0) cd_line_->mute.store(mute != 0);
  if (left >= 0) cd_line_->left.store(std::min(left, 65535));
  if (right >= 0) cd_line_->right.store(std::min(right, 65535));
}

}  // namespace kova
