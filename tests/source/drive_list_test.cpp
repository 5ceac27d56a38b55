#include "source/drive/drive_list.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "testkit/files.h"
#include "testkit/temp_folder.h"

namespace zanthrel {
namespace {

namespace fs = std::filesystem;

TEST(DriveListTest, TypesFromAFakeSysAndDevLayout) {
  testkit::TempFolder temp;
  struct Device {
    const char* name;
    const char* removable;  // null: no such file
    bool node;
  };
  for (const Device& device : {Device{"sr1", "1", true}, Device{"sr0", "1", true},
                               Device{"sdb", "1", true}, Device{"sda", "0", true},
                               Device{"ram0", "0", true}, Device{"sdc", "1", false},
                               Device{"odd", nullptr, true}}) {
    fs::create_directories(temp.Path() / "sys" / device.name);
    if (device.removable) {
      testkit::WriteText(temp / ("sys/" + std::string(device.name) + "/removable"),
                         std::string(device.removable) + "\n");
    }
    fs::create_directories(temp.Path() / "dev");
    if (device.node) testkit::WriteText(temp / ("dev/" + std::string(device.name)), "");
  }
  std::vector<DriveEntry> drives = ListBlockDevices(SystemHost(), temp / "sys", temp / "dev");
  std::vector<std::pair<std::string, int32_t>> seen;
  for (const DriveEntry& drive : drives) seen.push_back({fs::path(drive.name).filename().string(), drive.type});
  EXPECT_EQ(seen, (std::vector<std::pair<std::string, int32_t>>{
                      {"odd", kDriveUnknown}, {"ram0", kDriveRamDisk}, {"sda", kDriveFixed},
                      {"sdb", kDriveRemovable}, {"sr0", kDriveCdRom}, {"sr1", kDriveCdRom}}));
  EXPECT_EQ(drives[4].name, temp / "dev/sr0");

  std::vector<DriveEntry> offered = OfferedDrives(drives);
  ASSERT_EQ(offered.size(), 3u);
  EXPECT_EQ(offered[0].name, temp / "dev/sdb");
  EXPECT_EQ(offered[1].name, temp / "dev/sr0");

  EXPECT_TRUE(ListBlockDevices(SystemHost(), temp / "no-sys", temp / "dev").empty());
}

TEST(DriveListTest, RootsAsTheSystemListsThemInItsOrder) {
  const std::string roots("C:\\\0D:\\\0A:\\\0Z:\0", 16);
  std::vector<std::string> asked;
  const std::vector<DriveEntry> drives = DrivesFromRoots(roots, [&](const std::string& name) {
    asked.push_back(name);
    return name == "C:" ? 3 : name == "D:" ? 5 : name == "A:" ? 2 : 9;
  });
  EXPECT_EQ(asked, (std::vector<std::string>{"C:", "D:", "A:", "Z:"}));
  std::vector<std::pair<std::string, int32_t>> seen;
  for (const DriveEntry& drive : drives) seen.push_back({drive.name, drive.type});
  EXPECT_EQ(seen, (std::vector<std::pair<std::string, int32_t>>{
                      {"C:", kDriveFixed}, {"D:", kDriveCdRom}, {"A:", kDriveRemovable},
                      {"Z:", kDriveUnknown}}));  // a code outside 0..6 counts as unknown
  const std::vector<DriveEntry> offered = OfferedDrives(drives);
  ASSERT_EQ(offered.size(), 2u);
  EXPECT_EQ(offered[0].name, "D:");
  EXPECT_EQ(offered[1].name, "A:");

  auto none = [](const std::string&) { return kDriveFixed; };
  EXPECT_TRUE(DrivesFromRoots("", none).empty());  // the call failed
  EXPECT_TRUE(DrivesFromRoots(std::string("\0C:\\\0", 5), none).empty());
  // A list cut short still gives what it holds.
  EXPECT_EQ(DrivesFromRoots("E:\\", none).size(), 1u);
}

}  // namespace
}  // namespace zanthrel
