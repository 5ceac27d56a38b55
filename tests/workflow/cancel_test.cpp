// A job stopped by the user: the decompile ends between two blocks with its
// own log line and removes the file it cut short, naming it, and a compile
// leaves the old image and nothing beside it.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>

#include "testkit/faulty_host.h"
#include "testkit/files.h"
#include "testkit/image_builder.h"
#include "testkit/log_text.h"
#include "testkit/sample_disc.h"
#include "testkit/temp_folder.h"
#include "workflow/compile_job.h"
#include "workflow/decompile_job.h"

namespace zanthrel {
namespace {

namespace fs = std::filesystem;

const std::string kCancelledLine = "!!!Демонтирование прервано пользователем! Выход.";

// The host path of `relative` in the real path of the temporary folder, as the log names it.
std::string RealPathIn(const testkit::TempFolder& temp, const std::string& relative) {
  return testkit::HostPath(testkit::Utf8Of(fs::canonical(temp.Path())) + "/" + relative);
}

std::vector<std::string> Names(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& item : fs::directory_iterator(folder)) {
    names.push_back(item.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(CancelTest, DecompileStopsBetweenBlocksAndRemovesTheFileItCut) {
  testkit::TempFolder temp;
  testkit::WriteBytes(temp / "disc.iso", testkit::MakeSampleDisc().image);
  // Stopped once `stopAfter` blocks are written; LaunchMe's first two blocks
  // are copied in one go, its third block alone. LaunchMe is small, so the
  // write queue makes it, and removes it once done with it.
  for (uint64_t stopAfter : {0u, 2u}) {
    SCOPED_TRACE(stopAfter);
    fs::remove_all(temp.Path() / "PARCE_disc");
    std::atomic<bool> stop{stopAfter == 0};
    DecompileRequest request;
    request.imagePath = temp / "disc.iso";
    request.outputDir = temp.Path().string();
    request.cancel = {&stop};
    request.progress = [&](uint64_t done, uint64_t) {
      if (done >= stopAfter) stop = true;
    };
    const DecompileReport report = DecompileImageFile(request);
    EXPECT_EQ(report.outcome, DecompileOutcome::kCancelled);
    const std::string described = DescribeReport(report, "disc.iso");
    EXPECT_NE(described.find("stopped by the user"), std::string::npos);
    // Nothing after the stop: no folder "Игры", and no LaunchMe that looks whole.
    EXPECT_TRUE(Names(temp.Path() / "PARCE_disc").empty());
    const std::string log = testkit::ReadText(temp / "disc.log");
    if (stopAfter == 0) {
      EXPECT_FALSE(report.cutFile);
      EXPECT_EQ(report.finalLogLine, testkit::Win(kCancelledLine));
      EXPECT_TRUE(log.ends_with(testkit::Win(kCancelledLine + "\n")));
    } else {
      const std::string cut = RealPathIn(temp, "PARCE_disc/LaunchMe");
      ASSERT_TRUE(report.cutFile);
      EXPECT_EQ(report.cutFile->path, cut);
      EXPECT_FALSE(report.cutFile->notRemoved);
      EXPECT_TRUE(log.ends_with(testkit::Win(kCancelledLine + "\n!!!Незаконченный файл " + cut + " удалён.\n")));
      EXPECT_NE(described.find("the unfinished file " + cut + " was removed"), std::string::npos) << described;
    }
  }
}

TEST(CancelTest, DecompileHearsAStopInsideALongFile) {
  // One file of 40 MiB, copied straight into its host file 16 MiB at a time.
  constexpr uint32_t kFileBlocks = 20480;
  testkit::ImageBuilder builder(kFileBlocks + 2);
  builder.Label({});
  builder.Directory(1, {testkit::FileEntry("long", 2, kFileBlocks * 2048)});
  testkit::TempFolder temp;
  testkit::WriteBytes(temp / "disc.iso", builder.Image());
  std::atomic<bool> stop{false};
  DecompileRequest request;
  request.imagePath = temp / "disc.iso";
  request.outputDir = temp.Path().string();
  request.cancel = {&stop};
  // The job counts bytes: the first piece is 16 MiB.
  request.progress = [&](uint64_t done, uint64_t) {
    EXPECT_EQ(done, 16u << 20) << "the copy went on after the stop";
    stop = true;
  };
  const DecompileReport report = DecompileImageFile(request);
  EXPECT_EQ(report.outcome, DecompileOutcome::kCancelled);
  // Cut after its first 16 MiB, and removed.
  EXPECT_TRUE(Names(temp.Path() / "PARCE_disc").empty());
  ASSERT_TRUE(report.cutFile);
  EXPECT_EQ(report.cutFile->path, RealPathIn(temp, "PARCE_disc/long"));
  EXPECT_TRUE(testkit::ReadText(temp / "disc.log")
                  .ends_with(testkit::Win("!!!Незаконченный файл " + report.cutFile->path + " удалён.\n")));
}

TEST(CancelTest, AFileCutShortIsRemovedOnlyWhereTheRunMadeIt) {
  // A link stands where the long file goes: the run never made that file,
  // so the stop removes nothing, least of all what the link leads to.
#ifdef _WIN32
  GTEST_SKIP() << "symbolic links need rights that a test cannot count on here";
#else
  constexpr uint32_t kFileBlocks = 20480;
  testkit::ImageBuilder builder(kFileBlocks + 2);
  builder.Label({});
  builder.Directory(1, {testkit::FileEntry("long", 2, kFileBlocks * 2048)});
  testkit::TempFolder temp;
  testkit::WriteBytes(temp / "disc.iso", builder.Image());
  fs::create_directories(temp.Path() / "PARCE_disc");
  testkit::WriteText(temp / "kept", "not the disc's");
  fs::create_symlink(temp.Path() / "kept", temp.Path() / "PARCE_disc/long");
  std::atomic<bool> stop{false};
  DecompileRequest request;
  request.imagePath = temp / "disc.iso";
  request.outputDir = temp.Path().string();
  request.cancel = {&stop};
  request.force = true;  // the link stands in the folder already
  request.progress = [&](uint64_t, uint64_t) { stop = true; };
  const DecompileReport report = DecompileImageFile(request);
  EXPECT_EQ(report.outcome, DecompileOutcome::kCancelled);
  EXPECT_FALSE(report.cutFile);
  EXPECT_TRUE(fs::is_symlink(temp.Path() / "PARCE_disc/long"));
  EXPECT_EQ(testkit::ReadText(temp / "kept"), "not the disc's");
#endif
}

TEST(CancelTest, StoppedCompileKeepsTheOldImageAndLeavesNothing) {
  testkit::TempFolder temp;
  fs::create_directories(temp.Path() / "src/sub");
  // Several copy chunks each, so that the stop comes in the middle.
  for (const char* name : {"src/one", "src/sub/two", "src/three"}) {
    testkit::WriteBytes(temp / name, testkit::Bytes(700 * 1024, 0x42));
  }
  testkit::FaultyHost unnamedRefused;  // the temporary image then has a name of its own
  unnamedRefused.Add({testkit::HostCall::kCreateUnnamedFile, "", ENOTSUP});
  for (Host* host : {&SystemHost(), static_cast<Host*>(&unnamedRefused)}) {
    testkit::WriteText(temp / "game.iso", "the old image");
    std::atomic<bool> stop{false};
    uint64_t reports = 0;
    CompileRequest request;
    request.folder = temp / "src";
    request.imagePath = temp / "game.iso";
    request.host = host;
    request.cancel = {&stop};
    request.progress = [&](uint64_t done, uint64_t total) {
      ++reports;
      EXPECT_LT(done, total) << "the copy went on after the stop";
      if (reports == 2) stop = true;
    };
    const CompileReport report = CompileFolderToImage(request);
    EXPECT_TRUE(report.cancelled);
    EXPECT_FALSE(report.written);
    EXPECT_EQ(reports, 2u);
    EXPECT_EQ(testkit::ReadText(temp / "game.iso"), "the old image");
    EXPECT_EQ(Names(temp.Path()), (std::vector<std::string>{"game.iso", "src"}));
  }
}
}  // namespace
}  // namespace zanthrel
