#include "platform/files/optical_drives.h"

#include "platform/files/dirs.h"

namespace kova::plat {

std::vector<std::string> TMountTableOpticalDrives::Roots() { return OpticalMountRoots(mounts_file_); }

void TFixedOpticalDrives::SetRoots(std::vector<std::string> roots) {
  roots_ = std::move(roots);
  for (std::string& r : roots_) {
    if (!r.empty() && r.back() != '/') r += '/';
  }
}

}  // namespace kova::plat
