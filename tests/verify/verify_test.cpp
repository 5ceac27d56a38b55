// Verify reads every copy: a clean disc, a cut one, copies that differ and
// blocks that two entries claim.
#include <gtest/gtest.h>

#include "source/image_source.h"
#include "testkit/cd_sectors.h"
#include "testkit/files.h"
#include "testkit/image_builder.h"
#include "testkit/sample_disc.h"
#include "testkit/temp_folder.h"
#include "verify/verify.h"

namespace zanthrel {

bool operator==(const BlockSpan& a, const BlockSpan& b) {
  return a.firstBlock == b.firstBlock && a.blockCount == b.blockCount;
}
bool operator==(const CopyProblem& a, const CopyProblem& b) {
  return a.path == b.path && a.copy == b.copy && a.blocks == b.blocks;
}
void PrintTo(const CopyProblem& p, std::ostream* out) {
  *out << p.path << " copy " << p.copy << " @" << p.blocks.firstBlock << "+" << p.blocks.blockCount;
}

namespace {

using testkit::Bytes;

VerifyReport Verify(const Bytes& image) {
  testkit::TempFolder temp;
  testkit::WriteBytes(temp / "disc.iso", image);
  ImageSource source;
  EXPECT_TRUE(OpenImageFile(source, temp / "disc.iso"));
  return VerifyImage(source);
}

TEST(VerifyTest, CleanDiscLeavesOnlyItsPaddingUnclaimed) {
  const VerifyReport report = Verify(testkit::MakeSampleDisc().image);
  EXPECT_TRUE(report.labelRead);
  EXPECT_FALSE(report.Damaged());
  EXPECT_EQ(report.volumeBlocks, 8u);
  EXPECT_EQ(report.directories, 2u);
  EXPECT_EQ(report.files, 3u);  // the label entry counts as a file
  ASSERT_EQ(report.unclaimed.size(), 1u);
  EXPECT_EQ(report.unclaimed[0], (BlockSpan{7, 1}));
}

TEST(VerifyTest, CutImageHasItsMissingBlocksUnreadable) {
  Bytes image = testkit::MakeSampleDisc().image;
  image.resize(4 * 2048);  // LaunchMe keeps its first block; a:b is gone
  VerifyReport report = Verify(image);
  EXPECT_TRUE(report.Damaged());
  EXPECT_EQ(report.unreadable, (std::vector<CopyProblem>{{"/LaunchMe", 0, {4, 2}},
                                                         {"/Игры/a:b", 0, {6, 1}}}));

  image.resize(2 * 2048);  // the folder's only copy is gone too
  report = Verify(image);
  EXPECT_TRUE(report.Damaged());
  ASSERT_EQ(report.unreadable.size(), 2u);
  EXPECT_EQ(report.unreadable[1], (CopyProblem{"/Игры", 0, {2, 1}}));
}

TEST(VerifyTest, CopiesThatDifferAreNamedByCopyAndBlock) {
  // Root copies in blocks 1 and 2, the second naming its file otherwise;
  // "twice" in blocks 3-4 and 5-6, its second copy off by one byte in its
  // second block; "solo" alone in block 7.
  testkit::ImageBuilder builder(9);
  testkit::LabelFields label;
  label.rootCopies = {1, 2};
  builder.Label(label);
  testkit::EntryFields twice = testkit::FileEntry("twice", 3, 4000);
  twice.copies = {3, 5};
  builder.Directory(1, {twice, testkit::FileEntry("solo", 7, 10)});
  twice.name = "other";
  builder.Directory(2, {twice, testkit::FileEntry("solo", 7, 10)});
  Bytes data = testkit::Pattern(2 * 2048, 3);
  builder.Data(3, data);
  data[2048 + 100] ^= 1;
  builder.Data(5, data);
  builder.Data(7, Bytes(10, 1));

  const VerifyReport report = Verify(builder.Image());
  EXPECT_TRUE(report.Damaged());
  EXPECT_TRUE(report.unreadable.empty());
  EXPECT_EQ(report.differing, (std::vector<CopyProblem>{{"/", 1, {2, 1}}, {"/twice", 1, {6, 1}}}));
  EXPECT_TRUE(report.shared.empty());
  ASSERT_EQ(report.unclaimed.size(), 1u);
  EXPECT_EQ(report.unclaimed[0], (BlockSpan{8, 1}));
  EXPECT_EQ(report.copiesRead, 5u);  // two root copies, two of "twice", one of "solo"
}

TEST(VerifyTest, BlocksOfTwoEntriesAndLoopsAreDamage) {
  // "a" in blocks 2-3 and "b" in block 3; "loop" is the root itself.
  testkit::ImageBuilder builder(6);
  builder.Label({});
  builder.Directory(1, {testkit::FileEntry("a", 2, 4000), testkit::FileEntry("b", 3, 10),
                        testkit::DirEntry("loop", 1)});
  const VerifyReport report = Verify(builder.Image());
  EXPECT_TRUE(report.Damaged());
  ASSERT_EQ(report.shared.size(), 2u);
  EXPECT_EQ(report.shared[0].blocks, (BlockSpan{1, 1}));  // the root and "loop"
  EXPECT_EQ(report.shared[1].blocks, (BlockSpan{3, 1}));
  EXPECT_EQ(report.shared[1].firstPath, "/a");
  EXPECT_EQ(report.shared[1].secondPath, "/b");
  EXPECT_TRUE(report.corrupt.empty());  // "loop" is not walked twice
  ASSERT_EQ(report.unclaimed.size(), 1u);
  EXPECT_EQ(report.unclaimed[0], (BlockSpan{4, 2}));
}

// Blocks that an entry claims past the end of the image are counted, not
// read: a 4 KiB image whose one file claims 2^32 - 1 blocks in 256 copies is
// checked at once, plain, gzip or raw, each copy's missing blocks one finding.
TEST(VerifyBoundsTest, BlocksClaimedPastTheImageAreOneRangePerCopy) {
  testkit::ImageBuilder builder(2);
  builder.Label({});
  testkit::EntryFields huge = testkit::FileEntry("huge", 1, 100);
  huge.blockCount = UINT32_MAX;
  for (uint32_t block = 2; block <= 256; ++block) huge.copies.push_back(block);
  builder.Directory(1, {huge});
  // The first copy starts in the directory block, the only one of its blocks
  // that the image holds; every other copy starts past the end.
  std::vector<CopyProblem> expected = {{"/huge", 0, {2, UINT32_MAX - 1}}};
  for (uint32_t c = 1; c < 256; ++c) expected.push_back({"/huge", c, {1 + c, UINT32_MAX}});

  testkit::TempFolder temp;
  testkit::WriteBytes(temp / "huge.iso", builder.Image());
  testkit::WriteGzip(temp / "huge.iso.gz", builder.Image());
  testkit::WriteBytes(temp / "huge.bin", testkit::Mode1Sectors(builder.Image()));
  for (const char* name : {"huge.iso", "huge.iso.gz", "huge.bin"}) {
    ImageSource source;
    ASSERT_TRUE(OpenImageFile(source, temp / name)) << name;
    const VerifyReport report = VerifyImage(source);
    EXPECT_TRUE(report.Damaged()) << name;
    EXPECT_EQ(report.files, 1u) << name;
    EXPECT_EQ(report.copiesRead, 257u) << name;
    EXPECT_EQ(report.unreadable, expected) << name;
    // The directory block is claimed twice; the copies of one file overlap
    // one another without being reported.
    ASSERT_EQ(report.shared.size(), 1u) << name;
    EXPECT_EQ(report.shared[0].blocks, (BlockSpan{1, 1})) << name;
  }
}

// A file cut off in both its copies: the blocks the image holds are read and
// compared, the rest of each copy is one finding.
TEST(VerifyBoundsTest, ACutFileIsReadToTheEndOfTheImageInEveryCopy) {
  testkit::ImageBuilder builder(152);
  builder.Label({});
  testkit::EntryFields twice = testkit::FileEntry("twice", 2, 160 * 2048);
  twice.copies.push_back(102);
  builder.Directory(1, {twice});
  Bytes data = testkit::Pattern(50 * 2048, 9);
  builder.Data(2, data);
  data[20 * 2048] ^= 1;
  builder.Data(102, data);
  const VerifyReport report = Verify(builder.Image());
  EXPECT_EQ(report.unreadable, (std::vector<CopyProblem>{{"/twice", 0, {152, 10}}, {"/twice", 1, {152, 110}}}));
  EXPECT_EQ(report.differing, (std::vector<CopyProblem>{{"/twice", 1, {122, 1}}}));
}

// Paths are spelled out from the tree of names only for what is reported:
// the two owners of a shared block, deep down, and a corrupt copy's folder.
TEST(VerifyBoundsTest, PathsOfDeepFindingsAreSpelledOutWhole) {
  testkit::ImageBuilder builder(6);
  builder.Label({});
  builder.Directory(1, {testkit::DirEntry("sub", 2)});
  builder.Directory(2, {testkit::FileEntry("x", 5, 10), testkit::DirEntry("deeper", 3)});
  builder.Directory(3, {testkit::FileEntry("y", 5, 10), testkit::DirEntry("", 4)});
  builder.Directory(4, {testkit::FileEntry("z", 4, 10)});
  const VerifyReport report = Verify(builder.Image());
  ASSERT_EQ(report.shared.size(), 2u);
  EXPECT_EQ(report.shared[0].firstPath, "/sub/deeper/");
  EXPECT_EQ(report.shared[0].secondPath, "/sub/deeper//z");
  EXPECT_EQ(report.shared[1].firstPath, "/sub/x");
  EXPECT_EQ(report.shared[1].secondPath, "/sub/deeper/y");
}

}  // namespace
}  // namespace zanthrel
