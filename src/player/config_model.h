// The sound settings dialog without its looks: the check box "use the sound device" and the delay
// track bar (positions 1 to 5, a hundred milliseconds each) as they stand, which controls are
// enabled, the text beside the track bar, and OK and Cancel. The drawn dialog (config_dialog.h)
// shows it and turns keys and clicks into its operations.
#pragma once

#include <cstdint>
#include <string>

#include "player/sound_settings.h"

namespace kova {

class TConfigModel {
 public:
  static constexpr int32_t kMinPosition = 1;
  static constexpr int32_t kMaxPosition = 5;

  // Opens with the file's settings (a missing or damaged file: the defaults).
  explicit TConfigModel(TSettingsFile& file);

  bool IsOpen() const { return open_; }

  bool Checked() const { return checked_; }
  void SetChecked(bool checked) { checked_ = checked; }
  // The delay applies only to the player's own mixer: its label, track bar and value are enabled
  // exactly when the sound device is not used.
  bool DelayEnabled() const { return !checked_; }

  int32_t Position() const { return position_; }
  // Held to 1 .. 5.
  void SetPosition(int32_t position);
  int32_t DelayTime() const { return position_ * 100; }
  // The value beside the track bar: "%dms" of the delay.
  std::string DelayText() const;

  // Writes the settings and closes. False, with Error() (code page 932), when the file could not be
  // written: the dialog stays open.
  bool Ok();
  const std::string& Error() const { return error_; }
  // Closes without writing.
  void Cancel() { open_ = false; }

 private:
  TSettingsFile& file_;
  bool open_ = true;
  bool checked_ = true;
  int32_t position_ = kMaxPosition;
  std::string error_;
};

}  // namespace kova
