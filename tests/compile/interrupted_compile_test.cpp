// A compile stopped by a signal, Ctrl-C included, leaves the old image and
// nothing beside it, and a leftover of an older program is never packed into a new image.
#include <gtest/gtest.h>

#include <filesystem>

#include "compile/compile_run.h"
#include "testkit/files.h"
#include "testkit/process.h"
#include "testkit/temp_folder.h"

namespace zanthrel {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> Names(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& item : fs::directory_iterator(folder)) names.push_back(item.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

TEST(InterruptedCompileTest, SignalsLeaveTheOldImageAndNothingElse) {
#ifdef _WIN32
  GTEST_SKIP() << "SIGINT, SIGTERM and SIGKILL sent by timeout(1) are POSIX's";
#endif
  testkit::TempFolder temp;
  fs::create_directories(temp.Path() / "src");
  // Big enough to be still compiling when the signal comes: a sparse file of 3 GiB.
  testkit::WriteText(temp / "src/big", "");
  fs::resize_file(temp.Path() / "src/big", 3ull << 30);
  for (const char* signal : {"INT", "TERM", "KILL"}) {
    testkit::WriteText(temp / "game.iso", "the old image");
    const testkit::ProcessOutcome outcome =
        testkit::RunZanthrelInterrupted("compile -q -f src game.iso", signal, 0.3);
    EXPECT_GT(outcome.status, 128) << signal << ": the compile ended before the signal";
    // Ctrl-C stops the run, which then ends as a shell reports SIGINT.
    if (std::string_view(signal) == "INT") {
      EXPECT_EQ(outcome.status, 130) << outcome.err;
    }
    EXPECT_EQ(testkit::ReadText(temp / "game.iso"), "the old image") << signal;
    EXPECT_EQ(Names(temp.Path()), (std::vector<std::string>{"game.iso", "src"})) << signal;
  }
}

TEST(InterruptedCompileTest, LeftoverTemporaryImagesAreNotPacked) {
  testkit::TempFolder temp;
  fs::create_directories(temp.Path() / "src");
  testkit::WriteText(temp / "src/file", "data");
  testkit::WriteText(temp / "src/game.iso.zanthrel-123-0", "an old leftover");
  const CompileReport report = CompileImage(temp / "src", temp / "game.iso", false);
  ASSERT_TRUE(report.written);
  ASSERT_EQ(report.problems.size(), 1u);
  EXPECT_TRUE(report.problems[0].ends_with("game.iso.zanthrel-123-0: a temporary image of this program, left out"));
  EXPECT_EQ(testkit::ReadBytes(temp / "game.iso").size(), 3u * 2048);  // label, one file block, root
}

}  // namespace
}  // namespace zanthrel
