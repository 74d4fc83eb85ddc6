// The root folders of the optical discs present now. On Linux a disc has a folder only while it is
// mounted, so the list is asked for again whenever a disc is looked for.
#pragma once

#include <string>
#include <vector>

namespace kova::plat {

class IOpticalDrives {
 public:
  virtual ~IOpticalDrives() = default;
  // Host folders, each ending in "/", in a stable order.
  virtual std::vector<std::string> Roots() = 0;
};

// The mount points of iso9660 and udf file systems in a mount table (/proc/self/mounts).
class TMountTableOpticalDrives : public IOpticalDrives {
 public:
  explicit TMountTableOpticalDrives(std::string mounts_file = "/proc/self/mounts")
      : mounts_file_(std::move(mounts_file)) {}
  std::vector<std::string> Roots() override;

 private:
  std::string mounts_file_;
};

// A fixed list (empty unless set): the headless default, and the fake discs of tests.
class TFixedOpticalDrives : public IOpticalDrives {
 public:
  TFixedOpticalDrives() = default;
  explicit TFixedOpticalDrives(std::vector<std::string> roots) { SetRoots(std::move(roots)); }
  std::vector<std::string> Roots() override { return roots_; }
  // A "/" is appended to a root that lacks it.
  void SetRoots(std::vector<std::string> roots);

 private:
  std::vector<std::string> roots_;
};

}  // namespace kova::plat
