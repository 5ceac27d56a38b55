// Compile runs on a host that fails on demand: a file that cannot be opened or
// read to its end is reported and the image is still written; an image that
// cannot be written or put in place leaves the old one and no temporary file.
#include <gtest/gtest.h>

#include <filesystem>

#include "compile/compile_run.h"
#include "testkit/faulty_host.h"
#include "testkit/files.h"
#include "testkit/image_reader.h"
#include "testkit/temp_folder.h"

namespace zanthrel {
namespace {

namespace fs = std::filesystem;
using testkit::HostCall;

class CompileHostFailureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(temp_.Path() / "src/d");
    testkit::WriteBytes(temp_ / "src/a", testkit::Pattern(700000, 1));
    testkit::WriteBytes(temp_ / "src/d/b", testkit::Pattern(5000, 2));
    testkit::WriteText(temp_ / "image.iso", "the old image");
    start_ = fs::current_path();
  }
  void TearDown() override {
    EXPECT_EQ(fs::current_path(), start_);
    // Nothing is left beside the image: no temporary file.
    std::vector<std::string> names;
    for (const auto& item : fs::directory_iterator(temp_.Path())) {
      names.push_back(item.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"image.iso", "src"}));
  }
  CompileReport Compile() {
    CompileOptions options;
    options.host = &host_;
    return CompileImage(temp_ / "src", temp_ / "image.iso", false, options);
  }
  // The byte count stored for a child of the root.
  uint32_t StoredBytes(const std::string& name) {
    const testkit::ImageReader image{testkit::ReadBytes(temp_ / "image.iso")};
    return image.Find(image.RootBlock(), name).byteCount;
  }

  testkit::TempFolder temp_;
  testkit::FaultyHost host_;
  fs::path start_;
};

TEST_F(CompileHostFailureTest, FileThatCannotBeOpenedIsReportedAndLeftEmpty) {
  host_.Add({HostCall::kOpenFile, testkit::HostPath("src/a"), EACCES});
  const CompileReport report = Compile();
  ASSERT_TRUE(report.written) << report.failure;
  EXPECT_EQ(report.problems,
            (std::vector<std::string>{testkit::Utf8Of(fs::canonical(temp_.Path()) / "src/a") +
                                      ": cannot be opened (" + ErrorText(EACCES) + ")"}));
  EXPECT_EQ(StoredBytes("a"), 0u);
}

TEST_F(CompileHostFailureTest, FileWhoseReadFailsMidwayIsCutThereAndReported) {
  host_.Add({HostCall::kRead, testkit::HostPath("src/a"), EIO, 300000});
  const CompileReport report = Compile();
  ASSERT_TRUE(report.written) << report.failure;
  ASSERT_EQ(report.problems.size(), 1u);
  EXPECT_TRUE(report.problems[0].ends_with(testkit::HostPath("/src/a") + ": read failed (" + ErrorText(EIO) + "); cut there"))
      << report.problems[0];
  const uint32_t stored = StoredBytes("a");
  EXPECT_LT(stored, 300000u);
  EXPECT_EQ(stored % (256 * 1024), 0u);  // whole chunks before the failure
}

TEST_F(CompileHostFailureTest, ImageThatCannotBeWrittenOrPutInPlaceLeavesTheOldOne) {
  auto expectOldImage = [this](const testkit::HostFault& fault, const std::string& failure) {
    host_.ClearFaults();
    host_.Add(fault);
    const CompileReport report = Compile();
    EXPECT_FALSE(report.written);
    EXPECT_EQ(report.failure, (temp_ / "image.iso") + ": " + failure);
    EXPECT_EQ(testkit::ReadText(temp_ / "image.iso"), "the old image");
  };
  expectOldImage({HostCall::kWrite, "", ENOSPC, 100000},
                 "write failed (" + ErrorText(ENOSPC) + ")");
  expectOldImage({HostCall::kRename, "image.iso", EXDEV},
                 "cannot be put in place (" + ErrorText(EXDEV) + ")");
}

TEST_F(CompileHostFailureTest, FolderThatCannotBeListedIsReportedAndCompiledEmpty) {
  host_.Add({HostCall::kListFolder, testkit::HostPath("src/d"), EACCES});
  const CompileReport report = Compile();
  ASSERT_TRUE(report.written) << report.failure;
  ASSERT_EQ(report.problems.size(), 1u);
  EXPECT_TRUE(report.problems[0].ends_with(testkit::HostPath("/src/d") + ": folder cannot be listed (" + ErrorText(EACCES) + ")"));
  EXPECT_EQ(StoredBytes("a"), 700000u);
}

}  // namespace
}  // namespace zanthrel
