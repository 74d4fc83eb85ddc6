#include "platform/wallpaper.h"

#include "platform/service.h"

namespace kova::plat {

bool TNoWallpaper::SetWallpaper(const std::string&, TWallpaperStyle) { return false; }

namespace {

TServiceSlot<IWallpaper>& Slot() {
  static TNoWallpaper none;
  static TServiceSlot<IWallpaper> slot(none);
  return slot;
}

}  // namespace

IWallpaper& Wallpaper() { return Slot().Get(); }
IWallpaper* InstallWallpaper(IWallpaper* wallpaper) { return Slot().Install(wallpaper); }

}  // namespace kova::plat
