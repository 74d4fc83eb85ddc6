#include "support/fake_platform.h"

#include <stdexcept>

namespace kova::test {

bool WallpaperRecorder::SetWallpaper(const std::string& host_path, plat::TWallpaperStyle style) {
  calls.push_back(Call{host_path, style});
  if (raise) throw std::runtime_error("wallpaper service failed");
  return answer;
}

FakePlatform::FakePlatform() {
  services_.clock = &clock;
  services_.dialogs = &dialogs;
  services_.window = &window;
  services_.fonts = &fonts;
  services_.optical = &optical;
  services_.work_area = &work_area;
  services_.wallpaper = &wallpaper;
  services_.urls = &urls;
  services_.file_calls = &file_calls;
  services_.audio = &audio;
}

std::vector<std::string> FakePlatform::ShownTexts() const {
  std::vector<std::string> texts;
  for (const auto& shown : dialogs.Log()) texts.push_back(shown.text);
  return texts;
}

}  // namespace kova::test
