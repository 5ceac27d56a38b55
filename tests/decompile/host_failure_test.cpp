// Decompile runs on a host that fails on demand: every outcome that a host
// failure can cause, with the host's own reason passed on, and never a
// change of the process's current directory.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "decompile/decompile_run.h"
#include "source/image_source.h"
#include "support/text.h"
#include "testkit/faulty_host.h"
#include "testkit/files.h"
#include "testkit/image_builder.h"
#include "testkit/log_text.h"
#include "testkit/memory_device.h"
#include "testkit/scratch_folder.h"
#include "testkit/sample_disc.h"
#include "testkit/temp_folder.h"
#include "workflow/decompile_job.h"

namespace zanthrel {
namespace {

namespace fs = std::filesystem;
using testkit::FaultyHost;
using testkit::HostCall;
using testkit::Win;

// The sample disc, padded to 40 blocks so that a read near its end moves the
// image's buffer away from the label.
testkit::Bytes Disc() {
  testkit::Bytes image = testkit::MakeSampleDisc().image;
  image.resize(40 * 2048);
  return image;
}

class HostFailureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testkit::WriteBytes(temp_ / "disc.iso", Disc());
    start_ = fs::current_path();
  }
  void TearDown() override { EXPECT_EQ(fs::current_path(), start_); }

  DecompileResult Run(bool additionalInfo = false) {
    ImageSource source;
    EXPECT_TRUE(OpenImageFile(source, temp_ / "disc.iso", host_));
    return Decompile(source, additionalInfo);
  }
  DecompileResult Decompile(ImageSource& source, bool additionalInfo = false) {
    DecompileOptions options;
    options.host = &host_;
    options.additionalInfo = additionalInfo;
    return DecompileImage(source, temp_ / "PARCE_disc", temp_ / "disc.log", options);
  }
  std::string Log() const { return testkit::ReadText(temp_ / "disc.log"); }
  std::string Root() const { return testkit::Utf8Of(fs::canonical(temp_.Path()) / "PARCE_disc"); }
  std::string Out(const std::string& relative) const { return testkit::HostPath(Root() + "/" + relative); }
  // The full path of `name` beside the log.
  std::string Beside(const std::string& name) const {
    return testkit::HostPath(testkit::Utf8Of(fs::canonical(temp_.Path())) + "/" + name);
  }

  testkit::TempFolder temp_;
  FaultyHost host_;
  fs::path start_;
};

const std::string kSuccess = "Образ демонтирован успешно. Выход.\n";
const std::string kWithWriteErrors = "!!!Образ демонтирован с ошибками записи! Выход.\n";

TEST_F(HostFailureTest, FileThatRunsOutOfSpaceIsLoggedAndTheRestExtracted) {
  host_.Add({HostCall::kWrite, testkit::HostPath("PARCE_disc/LaunchMe"), ENOSPC, 3000});
  const DecompileResult result = Run();
  EXPECT_EQ(result.outcome, DecompileOutcome::kWriteFailures);
  EXPECT_EQ(result.hostFailure, Out("LaunchMe: ") + ErrorText(ENOSPC));
  const std::string log = Log();
  EXPECT_NE(log.find(Win("!!!Не удалось записать файл ") + Out("LaunchMe!\n")), std::string::npos);
  EXPECT_TRUE(log.ends_with(Win(kWithWriteErrors)));
  EXPECT_LE(fs::file_size(testkit::PathOf(Out("LaunchMe"))), 3000u);
  EXPECT_EQ(fs::file_size(testkit::PathOf(Out("Игры/a!3Ab"))), 10u);  // extraction went on
}

TEST_F(HostFailureTest, BlockMapAndHoleFilesThatCannotBeWritten) {
  host_.Add({HostCall::kWrite, "disc.spy", EIO, 100});
  host_.Add({HostCall::kCreateFile, "disc 0x00000000.spy", EACCES});
  const DecompileResult result = Run(true);
  EXPECT_EQ(result.outcome, DecompileOutcome::kWriteFailures);
  EXPECT_EQ(result.hostFailure, Beside("disc 0x00000000.spy: ") + ErrorText(EACCES));
  const std::string log = Log();
  const std::string tail = Win("!!!Не удалось записать файл ") + Beside("disc 0x00000000.spy!\n") +
                           Win("!!!Не удалось записать файл ") + Beside("disc.spy!\n") +
                           Win(kWithWriteErrors);
  EXPECT_TRUE(log.ends_with(tail)) << log.substr(log.size() - std::min<size_t>(log.size(), 300));
  EXPECT_LE(fs::file_size(testkit::PathOf(Beside("disc.spy"))), 100u);
  EXPECT_FALSE(fs::exists(testkit::PathOf(Beside("disc 0x00000000.spy"))));
  EXPECT_EQ(fs::file_size(testkit::PathOf(Out("LaunchMe"))), 5000u);
}

TEST_F(HostFailureTest, SubfolderRefusedEndsTheRunWithTheHostsReason) {
  host_.Add({HostCall::kMakeFolder, testkit::HostPath("PARCE_disc/Игры"), EACCES});
  const DecompileResult result = Run();
  EXPECT_EQ(result.outcome, DecompileOutcome::kCannotMakeFolder);
  EXPECT_EQ(result.hostFailure, Out("Игры: ") + ErrorText(EACCES));
  // The walk stops there: no other copy is tried and the disc is not blamed.
  EXPECT_TRUE(Log().ends_with(Win("ENTRY\n"
                                  "\tФлаги:\t0x00000007\n"
                                  "\tУникальный идентификатор:\t0x33333333\n"
                                  "\tТип:\t0x2A646972(*dir)\n"
                                  "\tРазмер блока:\t2048\n"
                                  "\tРазмер файла:\t2048\n"
                                  "\tРазмер в блоках:\t1\n"
                                  "\tBurst(Взрыв)???:\t0x00000001 (1)\n"
                                  "\tGap(Промежуток)???:\t0x00000000 (0)\n"
                                  "\tИмя:\tИгры\n"
                                  "\tКоличество копий:\t1\n"
                                  "\t\t0) 0x00000002(2)\n"
                                  "!!!Не удалось создать директорию! Выход.\n")));
  EXPECT_EQ(fs::file_size(testkit::PathOf(Out("LaunchMe"))), 5000u);  // written before the failure, and kept

  DecompileReport report;
  report.opened = true;
  report.outcome = result.outcome;
  report.hostFailure = result.hostFailure;
  report.logPath = "disc.log";
  report.logWritten = true;
  EXPECT_EQ(DescribeReport(report, "disc.iso"), "folder cannot be made: " + result.hostFailure + "; see disc.log");
  report.logWritten = false;
  EXPECT_EQ(DescribeReport(report, "disc.iso"), "folder cannot be made: " + result.hostFailure);
}

TEST_F(HostFailureTest, OutputFolderThatCannotBeMadeOrUsed) {
  host_.Add({HostCall::kMakeFolder, "PARCE_disc", EROFS});
  DecompileResult result = Run();
  EXPECT_EQ(result.outcome, DecompileOutcome::kCannotMakeFolder);
  EXPECT_EQ(result.hostFailure, (temp_ / "PARCE_disc") + ": " + ErrorText(EROFS));
  EXPECT_TRUE(Log().ends_with(Win("\n!!!Не удалось создать директорию! Выход.\n")));

  host_.ClearFaults();
  host_.Add({HostCall::kRealPath, "PARCE_disc", EACCES});
  result = Run();
  EXPECT_EQ(result.outcome, DecompileOutcome::kCannotEnterFolder);
  EXPECT_EQ(result.hostFailure, (temp_ / "PARCE_disc") + ": " + ErrorText(EACCES));
  EXPECT_TRUE(Log().ends_with(Win("\n!!!Не удалось сделать директорию текущей! Выход.\n")));
}

TEST_F(HostFailureTest, LabelThatCannotBeReadAgain) {
  ImageSource source;
  ASSERT_TRUE(OpenImageFile(source, temp_ / "disc.iso", host_));
  // Read far from the label, so that the run must read the label from the host again.
  testkit::Bytes block(2048);
  ASSERT_TRUE(Seek(source, 39, 2048, 0));
  ASSERT_TRUE(ReadRecords(source, block.data(), 2048, 1));
  host_.Add({HostCall::kRead, "disc.iso", EIO, 0, 0});
  const DecompileResult result = Decompile(source);
  EXPECT_EQ(result.outcome, DecompileOutcome::kCannotReadLabel);
  // The label's description is missing too: it could not be read either.
  EXPECT_EQ(Log(), Win("!!!Не удалось считать сектор №0x00000000! Выход.\n"));
}

TEST_F(HostFailureTest, FullSpoolEndsTheRunWithTheHostsReason) {
  // A file 80 KiB into a gzip image, past the spool's first chunk.
  testkit::ImageBuilder image(48);
  image.Label({});
  image.Directory(1, {testkit::FileEntry("far", 40, 4096), testkit::LabelEntry()});
  image.Data(40, testkit::Pattern(4096, 9));
  testkit::WriteGzip(temp_ / "disc.iso", image.Image());
  fs::create_directories(temp_.Path() / "scratch");
  const DecompileResult result = [&] {
    testkit::ScratchFolderOverride scratch(temp_ / "scratch");
    host_.Add({HostCall::kWrite, testkit::HostPath("/scratch"), ENOSPC, 64 * 1024});
    return Run();
  }();
  EXPECT_EQ(result.outcome, DecompileOutcome::kSpoolFailure);
  EXPECT_EQ(result.hostFailure, (temp_ / "scratch") + ": " + ErrorText(ENOSPC));
  EXPECT_TRUE(Log().ends_with(Win("!!!Не удалось распаковать образ во временный файл! Выход.\n")));
}

TEST(DriveHostFailureTest, BlockZeroThatCannotBeReachedAfterOpening) {
  testkit::TempFolder temp;
  const fs::path start = fs::current_path();
  MemoryDevice device;
  device.discs["/dev/sr0"].bytes = Disc();
  ImageSource source;
  ASSERT_TRUE(OpenDrive(source, device, "/dev/sr0"));
  device.discs["/dev/sr0"].badSectors.insert(0);
  const DecompileResult result = DecompileImage(source, temp / "PARCE_CD-ROM", temp / "cd-rom.log");
  EXPECT_EQ(result.outcome, DecompileOutcome::kBlockZeroNotFound);
  EXPECT_EQ(testkit::ReadText(temp / "cd-rom.log"), Win("!!!Не найден нулевой сектор! Выход.\n"));
  EXPECT_FALSE(fs::exists(temp.Path() / "PARCE_CD-ROM"));
  EXPECT_FALSE(device.Locked("/dev/sr0"));
  EXPECT_EQ(fs::current_path(), start);
}

TEST_F(HostFailureTest, CleanRunLeavesTheCurrentDirectoryAlone) {
  EXPECT_TRUE(Run(true).Succeeded());
  EXPECT_TRUE(Log().ends_with(Win(kSuccess)));
  EXPECT_TRUE(fs::exists(testkit::PathOf(Beside("disc.spy"))));
  EXPECT_EQ(host_.Calls(HostCall::kCurrentDirectory), 0);
}

TEST(ConcurrentRunsTest, TwoRunsIntoOneFolderBothSucceed) {
  testkit::TempFolder temp;
  testkit::WriteBytes(temp / "disc.iso", Disc());
  DecompileRequest request;
  request.imagePath = temp / "disc.iso";
  request.outputDir = temp / "out";
  request.force = true;  // each run may find the other's files already there
  fs::create_directories(temp.Path() / "out");
  for (int round = 0; round < 20; ++round) {
    fs::remove_all(temp.Path() / "out/PARCE_disc");
    DecompileReport first, second;
    std::thread other([&] { second = DecompileImageFile(request); });
    first = DecompileImageFile(request);
    other.join();
    ASSERT_TRUE(first.Succeeded()) << DescribeReport(first, "disc.iso");
    ASSERT_TRUE(second.Succeeded()) << DescribeReport(second, "disc.iso");
  }
}

}  // namespace
}  // namespace zanthrel
