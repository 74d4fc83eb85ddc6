#include "platform/files/optical_drives.h"
#include "platform/services.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/game_tree.h"

namespace kova::plat {
namespace {

TEST(OpticalDrives, MountTableGivesTheDiscMountPoints) {
  test::GameTree tree;
  const std::string mounts = tree.WriteFile(
      "mounts",
      "/dev/sda1 / ext4 rw,relatime 0 0\n"
      "/dev/sr0 /media/user/GAME\\040DISC\\0402 iso9660 ro,nosuid 0 0\n"
      "proc /proc proc rw 0 0\n"
      "/dev/sr1 /mnt/dvd/ udf ro 0 0\n"
      "broken-line\n"
      "/dev/loop0 /snap/core squashfs ro 0 0\n");
  TMountTableOpticalDrives drives(mounts);
  EXPECT_EQ(drives.Roots(), (std::vector<std::string>{"/media/user/GAME DISC 2/", "/mnt/dvd/"}));
  EXPECT_TRUE(TMountTableOpticalDrives(tree.Path("missing")).Roots().empty());
}

TEST(OpticalDrives, FixedListEndsEachRootWithASlash) {
  TFixedOpticalDrives drives({"/a", "/b/"});
  EXPECT_EQ(drives.Roots(), (std::vector<std::string>{"/a/", "/b/"}));
  // The headless service is an empty list.
  EXPECT_TRUE(THeadlessServices().optical->Roots().empty());
}

}  // namespace
}  // namespace kova::plat
