// Setting the desktop wallpaper. Linux desktops share no common service for it: the built-in
// implementation refuses every request (headless runs and tests); the player window hands its
// session a TDesktopWallpaper, which asks the running desktop's own service.
#pragma once

#include <string>
#include <vector>

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

// The desktop's own wallpaper service, chosen by the desktop's name (XDG_CURRENT_DESKTOP, a list
// separated by ":", compared without case):
//   GNOME, Unity, Budgie, Pantheon: gsettings, schema org.gnome.desktop.background (picture-uri,
//     picture-uri-dark where the desktop has it, picture-options centered/wallpaper/stretched);
//   Cinnamon: gsettings, schema org.cinnamon.desktop.background (the same keys);
//   MATE: gsettings, schema org.mate.background (picture-filename, picture-options);
//   XFCE: xfconf-query, channel xfce4-desktop: every ".../last-image" property listed gets the
//     path and its ".../image-style" 1 centred, 2 tiled, 3 stretched;
//   KDE: plasma-apply-wallpaperimage with --fill-mode pad/tile/stretch (once more without the
//     option for versions that lack it).
// The programs are looked up in the search path and started without a shell, with an argument
// vector, standard input from /dev/null and no output shown; each may take 10 s. The answer is
// true when the service took the picture; false for another desktop, a missing program or a
// failure.
class TDesktopWallpaper : public IWallpaper {
 public:
  // The desktop's name and the search path from the environment at each request.
  TDesktopWallpaper() = default;
  // Fixed ones (tests).
  TDesktopWallpaper(std::string desktop, std::string search_path);
  bool SetWallpaper(const std::string& host_path, TWallpaperStyle style) override;

 private:
  bool Run(const std::vector<std::string>& args, std::string* output = nullptr) const;

  bool fixed_ = false;
  std::string desktop_;
  std::string search_path_;
};

}  // namespace kova::plat
