// Decompiles from the in-memory drive and compares with the same image read
// from a file, and follows the tray lock call by call.
#include <gtest/gtest.h>

#include <filesystem>

#include "testkit/memory_device.h"
#include "support/host.h"
#include "testkit/files.h"
#include "testkit/image_builder.h"
#include "testkit/sample_disc.h"
#include "testkit/temp_folder.h"
#include "workflow/decompile_job.h"

namespace zanthrel {
namespace {

namespace fs = std::filesystem;
using testkit::Bytes;

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// Only the calls that open, close, lock or unlock.
std::vector<std::string> LockCalls(const MemoryDevice& device) {
  std::vector<std::string> calls;
  for (const std::string& call : device.calls) {
    if (call.rfind("read", 0) != 0 && call.rfind("seek", 0) != 0 && call.find("size") == std::string::npos) {
      calls.push_back(call);
    }
  }
  return calls;
}

TEST(DriveDecompileTest, SameTreeAndLogAsTheImageFile) {
  testkit::TempFolder temp;
  MemoryDevice device;
  MemoryDisc disc;
  const Bytes image = testkit::MakeSampleDisc().image;
  disc.bytes = testkit::Concat(testkit::Pattern(3 * 2048, 9), image);  // label in sector 3
  device.discs["/dev/sr0"] = disc;
  DecompileRequest fromDrive;
  fromDrive.imagePath = "/dev/sr0";
  fromDrive.drive = &device;
  fromDrive.outputDir = temp / "drive";
  fromDrive.additionalInfo = true;
  fs::create_directories(temp.Path() / "drive");
  DecompileReport driveReport = DecompileImageFile(fromDrive);
  ASSERT_TRUE(driveReport.Succeeded()) << DescribeReport(driveReport, "drive");
  EXPECT_EQ(driveReport.outputFolder, temp / "drive/PARCE_CD-ROM");
  EXPECT_EQ(driveReport.logPath, temp / "drive/cd-rom.log");

  testkit::WriteBytes(temp / "disc.iso", image);
  DecompileRequest fromFile;
  fromFile.imagePath = temp / "disc.iso";
  fromFile.outputDir = temp / "file";
  fromFile.additionalInfo = true;
  fs::create_directories(temp.Path() / "file");
  DecompileReport fileReport = DecompileImageFile(fromFile);
  ASSERT_TRUE(fileReport.Succeeded());

  const std::string driveRoot = fs::canonical(temp.Path() / "drive/PARCE_CD-ROM").string();
  const std::string fileRoot = fs::canonical(temp.Path() / "file/PARCE_disc").string();
  EXPECT_EQ(Replace(testkit::ReadText(driveReport.logPath), driveRoot, "ROOT"),
            Replace(testkit::ReadText(fileReport.logPath), fileRoot, "ROOT"));
  auto driveTree = testkit::TreeOf(temp / "drive/PARCE_CD-ROM");
  auto fileTree = testkit::TreeOf(temp / "file/PARCE_disc");
  EXPECT_EQ(Replace(testkit::ReadText(temp / "drive/cd-rom.spy"), driveRoot, "ROOT"),
            Replace(testkit::ReadText(temp / "file/disc.spy"), fileRoot, "ROOT"));
  EXPECT_EQ(driveTree, fileTree);
  // The hole files lie beside the logs, named after them.
  auto driveBeside = testkit::TreeOf(temp / "drive");
  int holes = 0;
  for (const auto& [name, content] : testkit::TreeOf(temp / "file")) {
    if (!name.starts_with("disc 0x")) continue;
    ++holes;
    EXPECT_EQ(driveBeside[Replace(name, "disc ", "cd-rom ")], content) << name;
  }
  EXPECT_GT(holes, 0);
}

TEST(DriveDecompileTest, TrayIsLockedForTheRunAndUnlockedOnEveryPath) {
  const std::vector<std::string> whole = {"open /dev/sr0", "lock", "unlock",  // search
                                          "lock", "unlock",                   // the run
                                          "unlock", "close"};                 // closing
  struct Case {
    const char* what;
    Bytes disc;
  };
  const Bytes clean = testkit::MakeSampleDisc().image;
  Bytes dead = clean;
  testkit::Put32(dead.data() + 100, 500);  // the root copy lies past the disc
  for (const Case& c : {Case{"clean run", clean}, Case{"failed run", dead}}) {
    testkit::TempFolder temp;
    MemoryDevice device;
    device.discs["/dev/sr0"].bytes = c.disc;
    DecompileRequest request;
    request.imagePath = "/dev/sr0";
    request.drive = &device;
    request.outputDir = temp.Path().string();
    DecompileImageFile(request);
    EXPECT_EQ(LockCalls(device), whole) << c.what;
    EXPECT_FALSE(device.Locked("/dev/sr0")) << c.what;
    EXPECT_EQ(device.OpenHandles(), 0u) << c.what;
    // Every read of the run itself happened with the tray locked.
    bool locked = false;
    int lockCount = 0;
    for (const std::string& call : device.calls) {
      if (call == "lock") locked = ++lockCount == 2;
      if (call == "unlock") locked = false;
      if (lockCount == 2 && call.rfind("read", 0) == 0) {
        EXPECT_TRUE(locked) << c.what;
      }
    }
  }
  testkit::TempFolder temp;
  MemoryDevice device;
  device.discs["/dev/sr0"].bytes = Bytes(4096, 0);  // no label: refused, unlocked and closed
  DecompileRequest request;
  request.imagePath = "/dev/sr0";
  request.drive = &device;
  request.outputDir = temp.Path().string();
  DecompileReport report = DecompileImageFile(request);
  EXPECT_FALSE(report.opened);
  EXPECT_EQ(LockCalls(device), (std::vector<std::string>{"open /dev/sr0", "lock", "unlock", "close"}));
  EXPECT_FALSE(fs::exists(temp.Path() / "cd-rom.log"));
}

}  // namespace
}  // namespace zanthrel
