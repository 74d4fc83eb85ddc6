// Setting the desktop wallpaper. Linux desktops share no common service for it, so the built-in
// implementation refuses every request; a desktop-specific one can take its place in the session's services.
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

}  // namespace kova::plat
