// The desktop wallpaper through each desktop's own service, proven with a search path of stub
// programs that record their arguments (never the real desktop).
#include "platform/window/wallpaper.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/files/dirs.h"

namespace kova::plat {
namespace {

class StubPrograms {
 public:
  StubPrograms() : path_(*MakePrivateDirectory(SystemTempFolder(), "wallpaper")) {}
  ~StubPrograms() { std::system(("rm -rf '" + path_ + "'").c_str()); }

  // A program that appends its arguments, one line per call ("name|arg|arg"), to calls.txt,
  // prints `output` and exits with `status`.
  void Add(const std::string& name, int status = 0, const std::string& output = "") {
    const std::string file = path_ + "/" + name;
    {
      std::ofstream out(file);
      out << "#!/bin/sh\nline=\"$(basename \"$0\")\"\nfor a in \"$@\"; do line=\"$line|$a\"; done\n"
          << "printf '%s\\n' \"$line\" >> '" << path_ << "/calls.txt'\nprintf '%s' '" << output << "'\nexit "
          << status << "\n";
    }
    ::chmod(file.c_str(), 0700);
  }
  std::vector<std::string> Calls() const {
    std::ifstream in(path_ + "/calls.txt");
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

TEST(DesktopWallpaper, EachDesktopUsesItsOwnService) {
  const std::string pic = "/home/p/My Pictures/kovawall.bmp";
  const std::string uri = "file:///home/p/My%20Pictures/kovawall.bmp";
  struct Case {
    const char* desktop;
    TWallpaperStyle style;
    std::vector<std::string> calls;
  } cases[] = {
      {"ubuntu:GNOME", TWallpaperStyle::Stretched,
       {"gsettings|set|org.gnome.desktop.background|picture-uri|" + uri,
        "gsettings|set|org.gnome.desktop.background|picture-uri-dark|" + uri,
        "gsettings|set|org.gnome.desktop.background|picture-options|stretched"}},
      {"X-Cinnamon", TWallpaperStyle::Tiled,
       {"gsettings|set|org.cinnamon.desktop.background|picture-uri|" + uri,
        "gsettings|set|org.cinnamon.desktop.background|picture-uri-dark|" + uri,
        "gsettings|set|org.cinnamon.desktop.background|picture-options|wallpaper"}},
      {"MATE", TWallpaperStyle::Centred,
       {"gsettings|set|org.mate.background|picture-filename|" + pic,
        "gsettings|set|org.mate.background|picture-options|centered"}},
      {"XFCE", TWallpaperStyle::Tiled,
       {"xfconf-query|-c|xfce4-desktop|-l",
        "xfconf-query|-c|xfce4-desktop|-p|/backdrop/screen0/monitor0/workspace0/last-image|-s|" + pic,
        "xfconf-query|-c|xfce4-desktop|-p|/backdrop/screen0/monitor0/workspace0/image-style|-n|-t|int|-s|2",
        "xfconf-query|-c|xfce4-desktop|-p|/backdrop/screen0/monitorHDMI/workspace1/last-image|-s|" + pic,
        "xfconf-query|-c|xfce4-desktop|-p|/backdrop/screen0/monitorHDMI/workspace1/image-style|-n|-t|int|-s|2"}},
      {"KDE", TWallpaperStyle::Centred, {"plasma-apply-wallpaperimage|--fill-mode|pad|" + pic}},
  };
  for (const Case& c : cases) {
    StubPrograms stubs;
    stubs.Add("gsettings");
    stubs.Add("xfconf-query", 0,
              "/backdrop/screen0/monitor0/workspace0/color-style\n/backdrop/screen0/monitor0/workspace0/last-image\n"
              "/backdrop/screen0/monitorHDMI/workspace1/last-image\n");
    stubs.Add("plasma-apply-wallpaperimage");
    TDesktopWallpaper wallpaper(c.desktop, stubs.Path());
    EXPECT_TRUE(wallpaper.SetWallpaper(pic, c.style)) << c.desktop;
    EXPECT_EQ(stubs.Calls(), c.calls) << c.desktop;
  }
}

// Arguments reach the program as they are: no shell ever reads them.
TEST(DesktopWallpaper, PathsAreNeverShellText) {
  StubPrograms stubs;
  stubs.Add("plasma-apply-wallpaperimage");
  const std::string pic = "/tmp/a b;touch " + stubs.Path() + "/pwned;$(id)`id`.bmp";
  EXPECT_TRUE(TDesktopWallpaper("KDE", stubs.Path()).SetWallpaper(pic, TWallpaperStyle::Stretched));
  EXPECT_EQ(stubs.Calls(), std::vector<std::string>{"plasma-apply-wallpaperimage|--fill-mode|stretch|" + pic});
  struct stat st {};
  EXPECT_NE(::stat((stubs.Path() + "/pwned").c_str(), &st), 0);
}

TEST(DesktopWallpaper, FalseWhereNoServiceAnswers) {
  StubPrograms stubs;
  stubs.Add("gsettings", 1);
  stubs.Add("xfconf-query", 0, "/backdrop/screen0/monitor0/workspace0/color-style\n");  // no image yet
  stubs.Add("plasma-apply-wallpaperimage");
  const std::string pic = "/tmp/w.bmp";
  EXPECT_FALSE(TDesktopWallpaper("GNOME", stubs.Path()).SetWallpaper(pic, TWallpaperStyle::Centred));
  EXPECT_FALSE(TDesktopWallpaper("XFCE", stubs.Path()).SetWallpaper(pic, TWallpaperStyle::Centred));
  EXPECT_FALSE(TDesktopWallpaper("", stubs.Path()).SetWallpaper(pic, TWallpaperStyle::Centred));
  EXPECT_FALSE(TDesktopWallpaper("LXQt", stubs.Path()).SetWallpaper(pic, TWallpaperStyle::Centred));
  EXPECT_FALSE(TDesktopWallpaper("MATE", "/nonexistent").SetWallpaper(pic, TWallpaperStyle::Centred));
  EXPECT_FALSE(TDesktopWallpaper("KDE", stubs.Path()).SetWallpaper("relative.bmp", TWallpaperStyle::Centred));

  // A plasma tool that refuses both the call with --fill-mode and the plain one.
  StubPrograms old_plasma;
  old_plasma.Add("plasma-apply-wallpaperimage", 1);
  EXPECT_FALSE(TDesktopWallpaper("KDE", old_plasma.Path()).SetWallpaper(pic, TWallpaperStyle::Tiled));
  EXPECT_EQ(old_plasma.Calls(), (std::vector<std::string>{"plasma-apply-wallpaperimage|--fill-mode|tile|" + pic,
                                                          "plasma-apply-wallpaperimage|" + pic}));
}

}  // namespace
}  // namespace kova::plat
