// The reading jobs' reports: how the image opened, and what was read from it
// when it did, the same for every report.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include "support/host.h"
#include "testkit/cd_sectors.h"
#include "testkit/faulty_host.h"
#include "testkit/image_builder.h"
#include "testkit/scratch_folder.h"
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

// A gzip image is unpacked into a temporary file: a full temporary folder is
// the host's failure, told with its path and the system's words, never taken
// for damage of the disc.
TEST(InspectJobTest, FullTemporaryFolderIsTheHostsFailureNotDamage) {
  testkit::TempFolder temp;
  // A folder and a file 80 KiB into the image, past the spool's first chunk.
  testkit::ImageBuilder image(48);
  image.Label({});
  image.Directory(1, {testkit::DirEntry("docs", 40), testkit::FileEntry("far", 41, 4096),
                      testkit::LabelEntry()});
  image.Directory(40, {});
  image.Data(41, testkit::Pattern(4096, 9));
  testkit::WriteGzip(temp / "disc.iso.gz", image.Image());
  std::filesystem::create_directories(temp.Path() / "scratch");
  testkit::ScratchFolderOverride scratch(temp / "scratch");
  testkit::FaultyHost host;
  const std::string full = "the unpacked image cannot be written to a temporary file: " +
                           (temp / "scratch") + ": " + ErrorText(ENOSPC);

  // Whole, every report is to be trusted.
  EXPECT_EQ(VerifyImageFile(temp / "disc.iso.gz", host).hostFailure, "");
  EXPECT_EQ(ListImageFile(temp / "disc.iso.gz", host).hostFailure, "");
  EXPECT_EQ(SummarizeImageFile(temp / "disc.iso.gz", host).hostFailure, "");

  host.Add({testkit::HostCall::kWrite, testkit::HostPath("/scratch"), ENOSPC, 64 * 1024});
  const VerifyImageReport verify = VerifyImageFile(temp / "disc.iso.gz", host);
  EXPECT_TRUE(verify.opening.opened);
  EXPECT_EQ(verify.hostFailure, full);
  const ListReport list = ListImageFile(temp / "disc.iso.gz", host);
  EXPECT_EQ(list.hostFailure, full);
  // The folder that no longer reads once the host failed is not named as unreadable.
  EXPECT_TRUE(list.unreadableFolders.empty());
  const InfoReport info = SummarizeImageFile(temp / "disc.iso.gz", host);
  ASSERT_TRUE(info.summary);
  EXPECT_EQ(info.hostFailure, full);
  // The label lies before the failure: its description reads whole.
  EXPECT_EQ(DescribeImageLabel(temp / "disc.iso.gz", host).hostFailure, "");
}

}  // namespace
}  // namespace zanthrel
