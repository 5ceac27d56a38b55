// Compile a tree, decompile the image, and find the same tree again.
#include <gtest/gtest.h>

#include <filesystem>
#include <limits>
#include <map>

#include "compile/compile_run.h"
#include "support/host.h"
#include "testkit/faulty_host.h"
#include "testkit/files.h"
#include "testkit/process.h"
#include "testkit/temp_folder.h"
#include "workflow/decompile_job.h"

namespace zanthrel {
namespace {

namespace fs = std::filesystem;

TEST(RoundTripTest, TreeComesBackByteForByte) {
  testkit::TempFolder temp;
  const fs::path src = temp.Path() / "src";
  const std::vector<std::string> folders = {"", "Музыка", "levels", "levels/world 1", "levels/w2",
                                            "a!3Ab"};
  for (const std::string& folder : folders) fs::create_directories(src / testkit::PathOf(folder));
  const size_t sizes[] = {0, 1, 2047, 2048, 2049, 4096, 5000, 70000, 300000};
  for (int i = 0; i < 100; ++i) {
    const std::string& folder = folders[size_t(i) % folders.size()];
    std::string name = i % 7 == 0 ? "Файл " : "file_";
    name += std::to_string(i);
    if (i % 3) name += ".dat";
    testkit::WriteBytes(testkit::Utf8Of(src / testkit::PathOf(folder) / testkit::PathOf(name)),
                        testkit::Pattern(sizes[size_t(i) % std::size(sizes)], uint32_t(i)));
  }
  testkit::WriteText((src / "what!3F").string(), "escaped");  // the file "what?" on the disc

  CompileReport report = CompileImage(src.string(), (temp / "game.iso"), true);
  ASSERT_TRUE(report.written) << report.failure;
  EXPECT_TRUE(report.problems.empty());
  DecompileRequest request;
  request.imagePath = temp / "game.iso";
  request.outputDir = temp.Path().string();
  DecompileReport decompiled = DecompileImageFile(request);
  ASSERT_TRUE(decompiled.Succeeded()) << DescribeReport(decompiled, "game.iso");

  std::map<std::string, std::string> expected = testkit::TreeOf(src.string());
  // "a!3Ab" names the folder "a:b" on the disc, which comes back escaped the same way.
  EXPECT_EQ(testkit::TreeOf(temp / "PARCE_game"), expected);
}

// Large files are copied into the image inside the system, a piece at a
// time; read through the program instead (as a host that watches their
// reads makes them), they must give the same image.
TEST(RoundTripTest, LargeFilesGiveTheSameImageCopiedOrRead) {
  testkit::TempFolder temp;
  const fs::path src = temp.Path() / "src";
  fs::create_directories(src / "sub");
  const size_t sizes[] = {262143, 262144, 262145, (16 << 20) + 3000, 5000};
  for (size_t i = 0; i < std::size(sizes); ++i) {
    std::string name = "sub/file";
    name += std::to_string(i);
    testkit::WriteBytes(testkit::Utf8Of(src / testkit::PathOf(name)), testkit::Pattern(sizes[i], uint32_t(i)));
  }
  const CompileReport copied = CompileImage(src.string(), temp / "copied.iso", true);
  ASSERT_TRUE(copied.written) << copied.failure;
  testkit::FaultyHost watched;
  watched.Add({testkit::HostCall::kRead, testkit::Utf8Of(src), EIO, 0, std::numeric_limits<int>::max()});
  CompileOptions options;
  options.host = &watched;
  const CompileReport read = CompileImage(src.string(), temp / "read.iso", true, options);
  ASSERT_TRUE(read.written) << read.failure;
  EXPECT_TRUE(copied.problems.empty() && read.problems.empty());
  EXPECT_EQ(testkit::ReadBytes(temp / "copied.iso"), testkit::ReadBytes(temp / "read.iso"));
}

// Folders are held open while their files are read or made, so a deep tree
// must not hold one open per level: both jobs run with 24 descriptors.
TEST(RoundTripTest, DeepTreeWithFilesAtEveryLevelNeedsFewDescriptors) {
#ifdef _WIN32
  GTEST_SKIP() << "ulimit -n is POSIX's";
#else
  testkit::TempFolder temp;
  fs::path folder = temp.Path() / "src";
  for (int level = 0; level < 60; ++level) {
    fs::create_directories(folder);
    testkit::WriteBytes((folder / "before").string(), testkit::Pattern(3000, uint32_t(level)));
    testkit::WriteBytes((folder / "z after").string(), testkit::Pattern(200000, uint32_t(level)));
    folder /= "level " + std::to_string(level);
  }
  const testkit::ProcessOutcome compiled = testkit::RunZanthrel("compile -q src deep.iso", "ulimit -n 24");
  ASSERT_EQ(compiled.status, 0) << compiled.err;
  const testkit::ProcessOutcome decompiled = testkit::RunZanthrel("decompile -q deep.iso", "ulimit -n 24");
  ASSERT_EQ(decompiled.status, 0) << decompiled.err;
  EXPECT_EQ(testkit::TreeOf(temp / "PARCE_deep"), testkit::TreeOf((temp.Path() / "src").string()));
#endif
}

}  // namespace
}  // namespace zanthrel
