// A job stopped by the user: the decompile ends between two blocks with its
// own last log line, and a compile leaves the old image and nothing beside it.
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

std::vector<std::string> Names(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& item : fs::directory_iterator(folder)) {
    names.push_back(item.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

TEST(CancelTest, DecompileStopsBetweenBlocksAndSaysSoLast) {
  testkit::TempFolder temp;
  testkit::WriteBytes(temp / "disc.iso", testkit::MakeSampleDisc().image);
  // Stopped once `stopAfter` blocks are written; LaunchMe's first two blocks
  // are copied in one go, its third block alone.
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
    EXPECT_EQ(report.finalLogLine, testkit::Win(kCancelledLine));
    EXPECT_TRUE(testkit::ReadText(temp / "disc.log").ends_with(testkit::Win(kCancelledLine + "\n")));
    EXPECT_NE(DescribeReport(report, "disc.iso").find("stopped by the user"), std::string::npos);
    // Nothing after the stop: no folder "Игры", LaunchMe cut after its second block.
    if (stopAfter == 0) {
      EXPECT_TRUE(Names(temp.Path() / "PARCE_disc").empty());
    } else {
      EXPECT_EQ(Names(temp.Path() / "PARCE_disc"), std::vector<std::string>{"LaunchMe"});
      EXPECT_EQ(fs::file_size(temp.Path() / "PARCE_disc/LaunchMe"), 4096u);
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
  request.progress = [&](uint64_t, uint64_t) { stop = true; };
  EXPECT_EQ(DecompileImageFile(request).outcome, DecompileOutcome::kCancelled);
  EXPECT_EQ(fs::file_size(temp.Path() / "PARCE_disc/long"), 16u << 20);
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
