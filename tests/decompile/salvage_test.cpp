// One unreadable file or folder does not lose the disc: once every root copy
// has failed, a last walk saves what it can and names what it cannot.
#include <gtest/gtest.h>

#include <filesystem>

#include "testkit/decompile_fixture.h"
#include "testkit/image_builder.h"
#include "testkit/log_text.h"
#include "workflow/decompile_job.h"

namespace zanthrel {
namespace {

namespace fs = std::filesystem;
using testkit::Win;

class SalvageTest : public testkit::DecompileFixture {};

// Root (block 1): A, B (pointing past the image), folder D (block 2) with E,
// folder G whose only copy is past the image, C, and the label entry.
testkit::Bytes DamagedDisc() {
  testkit::ImageBuilder image(8);
  image.Label({});
  image.Directory(1, {testkit::FileEntry("A", 3, 10), testkit::FileEntry("B", 500, 10),
                      testkit::DirEntry("D", 2), testkit::DirEntry("G", 600),
                      testkit::FileEntry("C", 4, 20), testkit::LabelEntry()});
  image.Directory(2, {testkit::FileEntry("E", 5, 30)});
  image.Data(3, testkit::Pattern(3 * 2048, 5));
  return image.Image();
}

TEST_F(SalvageTest, EverythingReadableIsSavedAndTheRestNamed) {
  const testkit::DecompileRunResult result = Run(DamagedDisc());
  EXPECT_EQ(result.outcome, DecompileOutcome::kAllRootCopiesFailed);
  EXPECT_EQ(fs::file_size(testkit::PathOf(Out("A"))), 10u);
  EXPECT_EQ(fs::file_size(testkit::PathOf(Out("C"))), 20u);
  EXPECT_EQ(fs::file_size(testkit::PathOf(Out("D/E"))), 30u);
  EXPECT_EQ(fs::file_size(testkit::PathOf(Out("B"))), 0u);  // kept with what could be read of it: nothing

  const std::string& log = result.log;
  const size_t salvage = log.find(Win("!!!Все копии корня испорчены, извлекаем что можно из первой читаемой.\n"));
  ASSERT_NE(salvage, std::string::npos);
  const std::string after = log.substr(salvage);
  EXPECT_NE(after.find(Win("!!!Не удалось считать файл ") + Out("B!\n")), std::string::npos);
  EXPECT_NE(after.find(Win("!!!Не удалось считать директорию ") + Out("G!\n")), std::string::npos);
  // The run still ends as a failed one.
  EXPECT_TRUE(log.ends_with(Win("!!!Образ убит дальше некуда! Выход.\n")));
  // Before the salvage walk, the normal walk names nothing.
  EXPECT_EQ(log.substr(0, salvage).find(Win("!!!Не удалось считать файл ")), std::string::npos);
}

TEST_F(SalvageTest, TheJobTellsHowManyFilesWereSavedAndNamesTheFirstLost) {
  testkit::WriteBytes(temp_ / "damaged.iso", DamagedDisc());
  DecompileRequest request;
  request.imagePath = temp_ / "damaged.iso";
  request.outputDir = temp_.Path().string();
  const DecompileReport report = DecompileImageFile(request);
  EXPECT_EQ(report.filesSaved, 3u);
  const std::string root = testkit::Utf8Of(fs::canonical(temp_.Path()) / "PARCE_damaged");
  const std::string b = testkit::HostPath(root + "/B"), g = testkit::HostPath(root + "/G/");
  EXPECT_EQ(report.lost, (std::vector<std::string>{b, g}));
  EXPECT_EQ(DescribeReport(report, "damaged.iso"),
            "damaged.iso: unreadable, every copy of the root directory failed; saved 3 files, 2 could "
            "not be read: " + b + ", " + g + "; see " + report.logPath);
}

}  // namespace
}  // namespace zanthrel
