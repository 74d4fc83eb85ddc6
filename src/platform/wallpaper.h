// Setting the desktop wallpaper. Linux desktops share no common service for it, so the built-in
// implementation refuses every request; a desktop-specific one can be installed.
#pragma once

#include <string>

namespace kova::plat {

enum class TWallpaperStyle { Centred, Tiled, Stretched };

class IWallpaper {
 public:
  virtual ~IWallpaper() = default;
  // Sets the wallpaper to the picture at a host path; true when the desktop accepted it.
  virtual bool SetWallpaper(const std::string& host_path, TWallpaperStyle style) = 0;
};

// Refuses every request (false).
class TNoWallpaper : public IWallpaper {
 public:
  bool SetWallpaper(const std::string& host_path, TWallpaperStyle style) override;
};

// The wallpaper service in use (a TNoWallpaper until another is installed).
IWallpaper& Wallpaper();
// Installs a wallpaper service (nullptr: the built-in one); returns the one installed before.
IWallpaper* InstallWallpaper(IWallpaper* wallpaper);

}  // namespace kova::plat
