// The Win32 device operations, with an image file in the place of "\\.\X:"
// (wine has no CD-ROM ioctls, and neither has a file), and the drive list of
// the system the tests run on.
#include "source/drive/device_win32.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "source/drive/drive_list.h"
#include "source/image_source.h"
#include "testkit/files.h"
#include "testkit/sample_disc.h"
#include "testkit/temp_folder.h"
#include "workflow/decompile_job.h"

namespace zanthrel {
namespace {

using testkit::Bytes;

TEST(WindowsDeviceTest, AnImageFileReadsLikeADriveWithoutIoctls) {
  testkit::TempFolder temp;
  const Bytes disc = testkit::Concat(testkit::Pattern(2 * 2048, 4), testkit::Pattern(3 * 2048, 5));
  testkit::WriteBytes(temp / "disc.iso", disc);
  WindowsDevice device;
  Result<DeviceHandle> opened = device.OpenForReading(temp / "disc.iso");
  ASSERT_TRUE(opened) << opened.Failure().text;
  const DeviceHandle handle = *opened;
  EXPECT_EQ(device.GetSectorSize(handle), 2048u);
  EXPECT_EQ(device.GetDiscSize(handle), disc.size());
  EXPECT_FALSE(device.LockMedia(handle));  // refused: the run goes on unlocked
  EXPECT_FALSE(device.UnlockMedia(handle));

  Bytes sector(2048);
  EXPECT_EQ(device.SeekTo(handle, 3 * 2048), 3 * 2048);
  EXPECT_EQ(device.ReadDevice(handle, sector.data(), 2048), 2048);
  EXPECT_EQ(sector, testkit::Slice(disc, 3 * 2048, 2048));
  // Reads advance the position: the next read takes the last sector.
  EXPECT_EQ(device.ReadDevice(handle, sector.data(), 2048), 2048);
  EXPECT_EQ(sector, testkit::Slice(disc, 4 * 2048, 2048));
  EXPECT_EQ(device.ReadDevice(handle, sector.data(), 2048), 0);  // the end
  EXPECT_EQ(device.SeekTo(handle, -1), -1);
  device.CloseDevice(handle);

  Result<DeviceHandle> missing = device.OpenForReading(temp / "missing.iso");
  ASSERT_FALSE(missing);
  EXPECT_NE(missing.Failure().text.find("missing.iso"), std::string::npos);
}

TEST(WindowsDeviceTest, DecompilesFromAnImageFileOpenedAsADrive) {
  testkit::TempFolder temp;
  const testkit::SampleDisc sample = testkit::MakeSampleDisc();
  testkit::WriteBytes(temp / "drive.bin", testkit::Concat(testkit::Pattern(5 * 2048, 7), sample.image));
  testkit::WriteBytes(temp / "disc.iso", sample.image);

  DecompileRequest fromDrive;
  fromDrive.imagePath = temp / "drive.bin";
  fromDrive.drive = &HostDevice();
  fromDrive.outputDir = temp / "drive";
  std::filesystem::create_directories(temp.Path() / "drive");
  DecompileReport driveReport = DecompileImageFile(fromDrive);
  ASSERT_TRUE(driveReport.Succeeded()) << DescribeReport(driveReport, "drive");

  DecompileRequest fromFile;
  fromFile.imagePath = temp / "disc.iso";
  fromFile.outputDir = temp / "file";
  std::filesystem::create_directories(temp.Path() / "file");
  ASSERT_TRUE(DecompileImageFile(fromFile).Succeeded());
  EXPECT_EQ(testkit::TreeOf(temp / "drive/PARCE_CD-ROM"), testkit::TreeOf(temp / "file/PARCE_disc"));
}

TEST(WindowsDeviceTest, TheDriveListNamesTheSystemsDrives) {
  const std::string roots = LogicalDriveStrings();
  ASSERT_FALSE(roots.empty());  // every Windows (and wine) has C:
  EXPECT_EQ(roots.back(), '\0');
  const std::vector<DriveEntry> drives = ListDrives();
  ASSERT_FALSE(drives.empty());
  bool sawC = false;
  for (const DriveEntry& drive : drives) {
    ASSERT_EQ(drive.name.size(), 2u) << drive.name;
    EXPECT_EQ(drive.name[1], ':');
    EXPECT_GE(drive.type, 0);
    EXPECT_LE(drive.type, 6);
    EXPECT_EQ(drive.type, DriveTypeOf(drive.name));
    sawC = sawC || drive.name == "C:";
  }
  EXPECT_TRUE(sawC);
  EXPECT_EQ(DriveTypeOf("C:"), kDriveFixed);
}

}  // namespace
}  // namespace zanthrel
