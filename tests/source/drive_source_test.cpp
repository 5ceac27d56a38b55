#include <gtest/gtest.h>

#include <algorithm>

#include "source/image_source.h"
#include "testkit/memory_device.h"
#include "testkit/image_builder.h"

namespace zanthrel {
namespace {

using testkit::Bytes;

// A disc whose label stands in sector `labelSector`, with 4 patterned blocks behind it.
MemoryDisc DiscWithLabelAt(uint32_t labelSector, uint8_t version = 1, uint8_t flags = 0) {
  testkit::ImageBuilder image(5);
  testkit::LabelFields label;
  label.version = version;
  label.flags = flags;
  image.Label(label);
  image.Data(1, testkit::Pattern(4 * 2048, 9));
  MemoryDisc disc;
  disc.bytes = testkit::Pattern(labelSector * 2048 + image.Image().size(), 1);
  std::copy(image.Image().begin(), image.Image().end(), disc.bytes.begin() + labelSector * 2048);
  return disc;
}

TEST(OpenDriveTest, LabelInALaterSectorSetsTheOffset) {
  MemoryDevice device;
  device.discs["/dev/sr0"] = DiscWithLabelAt(3);
  ImageSource source;
  ASSERT_TRUE(OpenDrive(source, device, "/dev/sr0"));
  EXPECT_EQ(source.Kind(), SourceKind::kDrive);
  EXPECT_EQ(source.LabelOffset(), 6144u);
  EXPECT_EQ(source.Name(), "/dev/sr0");
  EXPECT_FALSE(source.RawSectors());
  EXPECT_EQ(source.ContainerAsFields().format, "drive");
  EXPECT_EQ(source.ContainerAsFields().mode, "MODE1/2048");
  EXPECT_EQ(source.ContainerAsFields().description, "drive");
  EXPECT_FALSE(device.Locked("/dev/sr0"));  // locked only while searching
  EXPECT_EQ(device.Reads(), 4u);

  Bytes block(2048);
  ASSERT_TRUE(Seek(source, 2, 2048, 0));
  ASSERT_TRUE(ReadRecords(source, block.data(), 2048, 1));
  const Bytes& disc = device.discs["/dev/sr0"].bytes;
  EXPECT_TRUE(std::equal(block.begin(), block.end(), disc.begin() + 5 * 2048));

  // The next block follows without any I/O for the seek itself.
  size_t reads = device.Reads();
  ASSERT_TRUE(Seek(source, 3, 2048, 0));
  EXPECT_EQ(device.Reads(), reads);
  Close(source);
  EXPECT_EQ(device.OpenHandles(), 0u);
}

TEST(OpenDriveTest, RefusalsCloseTheDeviceAndUnlock) {
  struct Case {
    const char* what;
    MemoryDisc disc;
    OpenFailure expected;
  };
  MemoryDisc smallSectors = DiscWithLabelAt(0);
  smallSectors.sectorSize = 512;
  MemoryDisc empty;
  MemoryDisc noSectorSize = DiscWithLabelAt(0);
  noSectorSize.sectorSize = 0;  // what the host's drive says of a regular file
  MemoryDisc badRead = DiscWithLabelAt(4);
  badRead.badSectors = {2};
  MemoryDisc noLabel;
  noLabel.bytes = Bytes(8 * 2048, 0);
  std::vector<Case> cases = {
      {"512-byte sectors", smallSectors, OpenFailure::kSectorSize},
      {"no sector size", noSectorSize, OpenFailure::kNotADrive},
      {"no disc", empty, OpenFailure::kEmptyDisc},
      {"read error mid-search", badRead, OpenFailure::kReadError},
      {"no label", noLabel, OpenFailure::kNoLabel},
      {"version 2", DiscWithLabelAt(0, 2, 0), OpenFailure::kNoLabel},
      {"flags not 0", DiscWithLabelAt(0, 1, 4), OpenFailure::kNoLabel},
  };
  for (const Case& c : cases) {
    MemoryDevice device;
    device.discs["d"] = c.disc;
    ImageSource source;
    const OpenStatus opened = OpenDrive(source, device, "d");
    ASSERT_FALSE(opened) << c.what;
    EXPECT_EQ(opened.Failure().failure, c.expected) << c.what;
    EXPECT_FALSE(source.IsOpen()) << c.what;
    EXPECT_EQ(device.OpenHandles(), 0u) << c.what;
    EXPECT_FALSE(device.Locked("d")) << c.what;
    if (c.expected == OpenFailure::kSectorSize || c.expected == OpenFailure::kNotADrive) {
      EXPECT_EQ(device.Reads(), 0u);
    }
  }
  MemoryDevice device;
  ImageSource source;
  const OpenStatus absent = OpenDrive(source, device, "absent");
  ASSERT_FALSE(absent);
  EXPECT_EQ(absent.Failure().failure, OpenFailure::kCannotOpen);
  EXPECT_EQ(absent.Failure().text, "cannot be opened (" + ErrorText(ENOENT) + ")");
}

TEST(PrepareDriveTest, LocksForTheRunAndUnlocksWhenTheLabelIsGone) {
  MemoryDevice device;
  device.discs["d"] = DiscWithLabelAt(1);
  ImageSource source;
  ASSERT_TRUE(OpenDrive(source, device, "d"));
  EXPECT_TRUE(PrepareDrive(source));
  EXPECT_TRUE(source.TrayLocked());
  EXPECT_TRUE(device.Locked("d"));
  EXPECT_TRUE(ReleaseDrive(source));
  EXPECT_FALSE(source.TrayLocked());
  EXPECT_FALSE(device.Locked("d"));

  // The disc changed under the open source: no signature at block 0 any more.
  device.discs["d"].bytes[2048 + 6] = 2;
  EXPECT_FALSE(PrepareDrive(source));
  EXPECT_FALSE(source.TrayLocked());
  EXPECT_FALSE(device.Locked("d"));

  device.discs["d"].refuseLock = true;
  device.discs["d"].bytes[2048 + 6] = 1;
  EXPECT_TRUE(PrepareDrive(source));
  EXPECT_FALSE(source.TrayLocked());
}

}  // namespace
}  // namespace zanthrel
