#include "platform/optical_drives.h"

#include "platform/dirs.h"
#include "platform/service.h"

namespace kova::plat {

std::vector<std::string> TMountTableOpticalDrives::Roots() { return OpticalMountRoots(mounts_file_); }

void TFixedOpticalDrives::SetRoots(std::vector<std::string> roots) {
  roots_ = std::move(roots);
  for (std::string& r : roots_) {
    if (!r.empty() && r.back() != '/') r += '/';
  }
}

namespace {

TServiceSlot<IOpticalDrives>& Slot() {
  static TFixedOpticalDrives none;
  static TServiceSlot<IOpticalDrives> slot(none);
  return slot;
}

}  // namespace

IOpticalDrives& OpticalDrives() { return Slot().Get(); }
IOpticalDrives* InstallOpticalDrives(IOpticalDrives* drives) { return Slot().Install(drives); }

}  // namespace kova::plat
