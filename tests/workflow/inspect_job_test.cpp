// The reading jobs' reports: how the image opened, and what was read from it
// when it did, the same for every report.
#include <gtest/gtest.h>

#include "testkit/cd_sectors.h"
#include "testkit/files.h"
#include "testkit/sample_disc.h"
#include "testkit/temp_folder.h"
#include "workflow/inspect_job.h"

namespace zanthrel {
namespace {

TEST(InspectJobTest, EachReportSaysHowTheImageOpenedAndReadsOnlyWhatOpened) {
  testkit::TempFolder temp;
  const testkit::SampleDisc disc = testkit::MakeSampleDisc();
  testkit::WriteBytes(temp / "plain.iso", disc.image);
  testkit::WriteBytes(temp / "raw.bin", testkit::Mode1Sectors(disc.image));
  testkit::WriteBytes(temp / "junk.iso", testkit::Bytes(5000, 1));
  const auto openings = [](const std::string& image) {
    return std::vector<ImageOpening>{SummarizeImageFile(image).opening,
                                     DescribeImageLabel(image).opening, ListImageFile(image).opening,
                                     VerifyImageFile(image).opening};
  };
  for (const ImageOpening& opening : openings(temp / "plain.iso")) {
    EXPECT_TRUE(opening.opened);
    EXPECT_EQ(opening.failure, "");
    EXPECT_EQ(opening.container, "");
  }
  for (const ImageOpening& opening : openings(temp / "raw.bin")) {
    EXPECT_TRUE(opening.opened);
    EXPECT_EQ(opening.container, "raw 2352");
  }
  for (const std::string& image : {temp / "junk.iso", temp / "missing.iso"}) {
    for (const ImageOpening& opening : openings(image)) {
      EXPECT_FALSE(opening.opened);
      EXPECT_NE(opening.failure, "") << image;
      EXPECT_EQ(opening.container, "");
    }
  }
  EXPECT_NE(openings(temp / "junk.iso")[0].failure, openings(temp / "missing.iso")[0].failure);

  const InfoReport info = SummarizeImageFile(temp / "raw.bin");
  ASSERT_TRUE(info.summary);
  EXPECT_TRUE(info.summary->treeRead);
  EXPECT_EQ(info.summary->container, "raw 2352");
  EXPECT_EQ(DescribeImageLabel(temp / "raw.bin").description.rfind("\xC8\xED\xF4", 0), 0u);  // "Инф"
  const ListReport list = ListImageFile(temp / "plain.iso");
  EXPECT_TRUE(list.treeRead);
  std::vector<std::string> kinds;
  for (const ListedEntry& entry : list.entries) kinds.push_back(entry.path + " " + ListedKind(entry));
  EXPECT_EQ(kinds, (std::vector<std::string>{"LaunchMe file", "\xC8\xE3\xF0\xFB dir",
                                             "\xC8\xE3\xF0\xFB/a:b file", "Disc label file"}));
  const VerifyImageReport verify = VerifyImageFile(temp / "plain.iso");
  EXPECT_TRUE(verify.verify.labelRead);
  EXPECT_FALSE(verify.verify.Damaged());

  EXPECT_FALSE(SummarizeImageFile(temp / "junk.iso").summary);
  EXPECT_TRUE(ListImageFile(temp / "junk.iso").entries.empty());
  EXPECT_FALSE(VerifyImageFile(temp / "junk.iso").verify.labelRead);
}

}  // namespace
}  // namespace zanthrel
