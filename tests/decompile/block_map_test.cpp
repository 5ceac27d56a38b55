#include "decompile/block_map.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "testkit/image_builder.h"
#include "testkit/log_text.h"
#include "testkit/temp_folder.h"

namespace zanthrel {
namespace {

using testkit::Bytes;

// One copy list holding a single block number.
struct OneCopy {
  explicit OneCopy(uint32_t block) { testkit::Put32(bytes, block); }
  CopyList List() const { return {bytes, 1}; }
  uint8_t bytes[4];
};

class BlockMapTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testkit::ImageBuilder image(12);
    image.Label({});
    image.Data(1, testkit::Pattern(11 * 2048, 5));
    volume_ = image.Image();
    testkit::WriteBytes(temp_ / "img", volume_);
    ASSERT_TRUE(OpenImageFile(source_, temp_ / "img"));
  }
  void AddFile(uint32_t first, uint32_t blocks, uint32_t bytes, const std::string& name) {
    RecordFileCopies(map_, OneCopy(first).List(), blocks, bytes, name, blocks);
  }
  std::vector<FailedWrite> Write(const std::string& base) {
    return WriteBlockMap(map_, source_, SystemHost(), SystemHost().OpenFolder(temp_.Path().string()), base, 12);
  }
  Bytes Blocks(uint32_t first, uint32_t count) {
    return Bytes(volume_.begin() + first * 2048, volume_.begin() + (first + count) * 2048);
  }

  testkit::TempFolder temp_;
  Bytes volume_;
  ImageSource source_;
  BlockMap map_;
};

TEST_F(BlockMapTest, RangesHolesAndHoleFiles) {
  AddFile(10, 1, 100, "/out/c");
  AddFile(1, 2, 4000, "/out/a");
  AddFile(3, 4, 8000, "/out/\xD0\xB6");  // a UTF-8 host path is written in Windows-1251
  EXPECT_TRUE(Write("disc").empty());
  const std::string hole = testkit::Win("Дырка блин!!!!!!!!!!!!!!!!!!\n");
  EXPECT_EQ(testkit::ReadText("disc.spy"),
            hole + "0x00000001 - 0x00000003\t0x00000002\t0x00000FA0\t/out/a\n" +
                "0x00000003 - 0x00000007\t0x00000004\t0x00001F40\t/out/\xE6\n" + hole +
                "0x0000000A - 0x0000000B\t0x00000001\t0x00000064\t/out/c\n");
  EXPECT_EQ(testkit::ReadBytes("disc 0x00000000.spy"), Blocks(0, 1));
  EXPECT_EQ(testkit::ReadBytes("disc 0x00000007.spy"), Blocks(7, 3));
}

TEST_F(BlockMapTest, RepeatsOverlapsAndRangesPastTheVolume) {
  AddFile(0, 2, 1, "x");
  AddFile(0, 2, 1, "x");
  AddFile(20, 1, 1, "far");
  EXPECT_TRUE(Write("m").empty());
  const std::string hole = testkit::Win("Дырка блин!!!!!!!!!!!!!!!!!!\n");
  const std::string line = "0x00000000 - 0x00000002\t0x00000002\t0x00000001\tx\n";
  EXPECT_EQ(testkit::ReadText("m.spy"),
            line + hole + line + hole + "0x00000014 - 0x00000015\t0x00000001\t0x00000001\tfar\n");
  // The repeated range's hole has a negative length: an empty file. Past the volume: none.
  EXPECT_EQ(std::filesystem::file_size("m 0x00000002.spy"), 0u);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."), {}), 3);
}

// Files that claim the same blocks are counted and the first pairs named; a
// file recorded twice (its folder walked again) and directories are not.
TEST_F(BlockMapTest, OverlapsAreFilesThatClaimTheSameBlocks) {
  AddFile(1, 2, 4000, "a");
  AddFile(1, 2, 4000, "a");
  RecordDirectoryCopies(map_, source_, OneCopy(1).List(), "dir");
  EXPECT_EQ(OverlapsOf(map_).files, 0u);
  AddFile(3, 4, 8000, "b");
  EXPECT_EQ(OverlapsOf(map_).files, 0u);  // a ends where b starts
  AddFile(2, 1, 10, "c");
  AddFile(6, 3, 10, "d");
  for (int i = 0; i < 5; ++i) AddFile(8, 1, 10, std::string("e") + std::to_string(i));
  const Overlaps overlaps = OverlapsOf(map_);
  EXPECT_EQ(overlaps.files, 9u);
  EXPECT_EQ(overlaps.examples, (std::vector<std::string>{"a and c claim blocks 2-2", "b and d claim blocks 6-6",
                                                         "d and e0 claim blocks 8-8"}));
}

// Without additional info the run writes no map at all: the sample run's tree
// in decompile_test.cpp holds no .spy file.
TEST_F(BlockMapTest, NothingForNoCopies) {
  RecordFileCopies(map_, CopyList{OneCopy(1).bytes, 0}, 1, 1, "none", 1);
  RecordDirectoryCopies(map_, source_, CopyList{OneCopy(1).bytes, 0}, "none");
  EXPECT_TRUE(map_.ranges.empty());
}

TEST_F(BlockMapTest, DirectoryCountEndsAtTheMarkerOrAtTheImageEnd) {
  // Blocks 1..11 hold patterned data: no -1 marker before the image ends.
  RecordDirectoryCopies(map_, source_, OneCopy(4).List(), "dir");
  ASSERT_EQ(map_.ranges.size(), 1u);
  EXPECT_EQ(map_.ranges[0].blockCount, 8u);
  EXPECT_EQ(map_.ranges[0].byteCount, 0xFFFFFFFFu);

  testkit::ImageBuilder image(6);
  image.Label({});
  image.Directory(2, {}, testkit::Links(1, 0xFFFFFFFF));
  image.Directory(3, {}, testkit::Links(0xFFFFFFFF, 0));
  testkit::WriteBytes(temp_ / "dirs", image.Image());
  ImageSource source;
  ASSERT_TRUE(OpenImageFile(source, temp_ / "dirs"));
  BlockMap map;
  uint8_t twoCopies[8];
  testkit::Put32(twoCopies, 2);
  testkit::Put32(twoCopies + 4, 4);
  RecordDirectoryCopies(map, source, CopyList{twoCopies, 2}, "d");
  ASSERT_EQ(map.ranges.size(), 2u);
  EXPECT_EQ(map.ranges[0].blockCount, 2u);
  EXPECT_EQ(map.ranges[1].firstBlock, 4u);
  EXPECT_EQ(map.ranges[1].blockCount, 2u);  // every copy gets the first copy's count
}

TEST(BlockMapOrderTest, MatchesTheExchangeSortWithTies) {
  std::deque<BlockRange> ranges;
  const uint32_t firsts[] = {5, 3, 5, 1, 3, 5, 0, 3, 9, 1};
  for (size_t i = 0; i < std::size(firsts); ++i) {
    ranges.push_back({firsts[i], 1, 1, std::to_string(i)});
  }
  // The exchange sort's order, in which ties need not keep their input order:
  // of the three ranges from block 3 (1, 4, 7), 7 comes before 4.
  EXPECT_EQ(BlockMapOrder(ranges), (std::vector<size_t>{6, 3, 9, 1, 7, 4, 0, 2, 5, 8}));
  // Distinct first blocks take the fast path and give the same order.
  ranges.clear();
  for (uint32_t first : {7u, 2u, 9u, 4u}) ranges.push_back({first, 1, 1, ""});
  EXPECT_EQ(BlockMapOrder(ranges), (std::vector<size_t>{1, 3, 0, 2}));
}

}  // namespace
}  // namespace zanthrel
