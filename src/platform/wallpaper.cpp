#include "platform/wallpaper.h"

namespace kova::plat {

bool TNoWallpaper::SetWallpaper(const std::string&, TWallpaperStyle) { return false; }

}  // namespace kova::plat
