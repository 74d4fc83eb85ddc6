// Our own mixer device: the sound lines whose level the program may set. With a CD drive it has
// one device with one destination whose one connection is the CD line (component type 0x1005),
// with a volume control (0 .. 65535, left and right) and a mute control; its level is the CD
// voice's gain on the bus. Without a drive it has no device (and so no CD line). Main thread only.
#pragma once

#include <cstdint>
#include <memory>

#include "media/cd_player.h"

namespace kova {

inline constexpr uint32_t kMixerLineCompactDisc = 0x1005;

class TAudioMixer {
 public:
  // `cd_line`: the CD voice's level; nullptr (or no drive) gives a mixer without devices.
  explicit TAudioMixer(std::shared_ptr<TCdLineLevel> cd_line) : cd_line_(std::move(cd_line)) {}

  int32_t DeviceCount() const { return cd_line_ ? 1 : 0; }
  // Selects device `device`; false when there is no such device.
  bool Select(int32_t device);
  int32_t Selected() const { return selected_; }
  // Of the selected device (0 without one).
  int32_t Destinations() const { return selected_ == 0 ? 1 : 0; }
  int32_t Connections(int32_t destination) const { return Valid(destination, 0) ? 1 : 0; }
  uint32_t ComponentType(int32_t destination, int32_t connection) const {
    return Valid(destination, connection) ? kMixerLineCompactDisc : 0;
  }
  // The line's mute (0 or 1), left and right volume; each -1 when the line does not exist.
  void GetVolume(int32_t destination, int32_t connection, int32_t& mute, int32_t& left, int32_t& right) const;
  // Writes them back (-1 leaves a value as it is; volumes are held within 0 .. 65535).
  void SetVolume(int32_t destination, int32_t connection, int32_t mute, int32_t right, int32_t left);

 private:
  bool Valid(int32_t destination, int32_t connection) const {
    return selected_ == 0 && cd_line_ && destination == 0 && connection == 0;
  }
  std::shared_ptr<TCdLineLevel> cd_line_;
  int32_t selected_ = -1;
};

}  // namespace kova
