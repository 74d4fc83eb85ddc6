// Fakes of the platform services, installed for the lifetime of a FakePlatform: scripted message
// boxes that log what they show, a fixed list of disc roots, a fixed font list, a fixed work area,
// a wallpaper recorder and a headless main window. The services in use before come back when it
// goes; the frame globals are reset on both ends.
#pragma once

#include <string>
#include <vector>

#include "core/main_window.h"
#include "platform/dialogs.h"
#include "platform/font_source.h"
#include "platform/optical_drives.h"
#include "platform/service.h"
#include "platform/wallpaper.h"
#include "platform/work_area.h"

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
  ~FakePlatform();
  FakePlatform(const FakePlatform&) = delete;
  FakePlatform& operator=(const FakePlatform&) = delete;

  plat::THeadlessDialogs dialogs;
  plat::TFixedOpticalDrives optical;
  plat::TFixedFontSource fonts;
  plat::TFixedWorkArea work_area;
  WallpaperRecorder wallpaper;
  THeadlessMainWindow window;

  // The texts of the boxes shown so far, in order.
  std::vector<std::string> ShownTexts() const;

 private:
  plat::TScopedService<plat::IDialogs> dialogs_in_{dialogs, plat::InstallDialogs};
  plat::TScopedService<plat::IOpticalDrives> optical_in_{optical, plat::InstallOpticalDrives};
  plat::TScopedService<plat::IFontSource> fonts_in_{fonts, plat::InstallFontSource};
  plat::TScopedService<plat::IWorkArea> work_area_in_{work_area, plat::InstallWorkArea};
  plat::TScopedService<plat::IWallpaper> wallpaper_in_{wallpaper, plat::InstallWallpaper};
  plat::TScopedService<IMainWindow> window_in_{window, InstallMainWindow};
};

}  // namespace kova::test
