// Fakes of the platform services, handed to what a test builds (a session, the disc prompt, the
// desktop helpers) as one plat::TServices: a virtual clock, scripted message boxes that log what they show, a
// fixed list of disc roots, a fixed font list, a fixed work area, a wallpaper recorder, a
// recorder of opened addresses, a headless main window and the null sound device.
#pragma once

#include <string>
#include <vector>

#include "platform/services.h"
#include "support/file_faults.h"

namespace kova::test {

class WallpaperRecorder : public plat::IWallpaper {
 public:
  struct Call {
    std::string path;
    plat::TWallpaperStyle style;
  };
  bool SetWallpaper(const std::string& host_path, plat::TWallpaperStyle style) override;

  std::vector<Call> calls;
  bool answer = true;   // what the desktop answers
  bool raise = false;   // throw instead of answering
};

class FakePlatform {
 public:
  FakePlatform();
  FakePlatform(const FakePlatform&) = delete;
  FakePlatform& operator=(const FakePlatform&) = delete;

  plat::TVirtualClock clock;
  plat::THeadlessDialogs dialogs;
  plat::TFixedOpticalDrives optical;
  plat::TFixedFontSource fonts;
  plat::TFixedWorkArea work_area;
  WallpaperRecorder wallpaper;
  plat::THeadlessMainWindow window;
  plat::TRecordingUrlOpener urls;
  // The system's file calls until a test arms a fault.
  FileFaults file_calls;
  plat::TNullAudioDevice audio;

  // All of the above as the services a session or a helper takes.
  const plat::TServices& Services() const { return services_; }

  // The texts of the boxes shown so far, in order.
  std::vector<std::string> ShownTexts() const;

 private:
  plat::TServices services_;
};

}  // namespace kova::test
