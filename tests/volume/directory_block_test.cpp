// The rule of a directory block: which headers are impossible and make the
// block unreadable, and which entries a sound block hands over.
#include "volume/directory_block.h"

#include <gtest/gtest.h>

#include "testkit/image_builder.h"

namespace zanthrel {
namespace {

using testkit::Put32;

// A block of three one-copy entries at 20, 92 and 164; first free byte 236.
testkit::Bytes ThreeEntries() {
  testkit::ImageBuilder builder(1);
  builder.Directory(0, {testkit::FileEntry("a", 3, 1), testkit::FileEntry("b", 4, 1),
                        testkit::FileEntry("c", 5, 1)});
  return builder.Image();
}

std::optional<std::vector<uint32_t>> OffsetsWith(size_t field, uint32_t value) {
  testkit::Bytes block = ThreeEntries();
  Put32(block.data() + field, value);
  return EntryOffsets(block);
}

TEST(DirectoryBlockTest, ImpossibleHeadersMakeTheBlockUnreadable) {
  EXPECT_EQ(EntryOffsets(ThreeEntries()), (std::vector<uint32_t>{20, 92, 164}));
  EXPECT_FALSE(EntryOffsets(testkit::Bytes(2048, 0)));  // a zeroed block
  testkit::Bytes junk(2048);
  for (size_t i = 0; i < junk.size(); ++i) junk[i] = uint8_t("iamaduck"[i % 8]);
  EXPECT_FALSE(EntryOffsets(junk));
  // The first entry inside the header, or past the block.
  EXPECT_FALSE(OffsetsWith(16, 19));
  EXPECT_FALSE(OffsetsWith(16, 0));
  EXPECT_FALSE(OffsetsWith(16, 2049));
  EXPECT_FALSE(OffsetsWith(16, 0xFFFFFFFF));
  // The first free byte before the first entry, or past the block.
  EXPECT_FALSE(OffsetsWith(12, 19));
  EXPECT_FALSE(OffsetsWith(12, 2049));
  EXPECT_FALSE(OffsetsWith(12, 0xFFFFFFFF));
  // An entry that runs past the first free byte: its copy list, its fixed part.
  EXPECT_FALSE(OffsetsWith(12, 235));
  EXPECT_FALSE(OffsetsWith(12, 164 + 67));
  EXPECT_FALSE(OffsetsWith(92 + 64, 1));  // "b" claims two copies where it has one
  EXPECT_FALSE(OffsetsWith(92 + 64, 0xFFFFFFFF));
  EXPECT_FALSE(EntryOffsets(testkit::Bytes(19, 0)));  // shorter than a header
}

TEST(DirectoryBlockTest, EmptyFullAndEndedBlocksAreSound) {
  // An empty folder: the first free byte is the first entry, at the header's end.
  testkit::ImageBuilder empty(1);
  empty.Directory(0, {});
  EXPECT_EQ(EntryOffsets(empty.Image()), std::vector<uint32_t>{});
  // Entries up to the last byte of the block.
  EXPECT_EQ(OffsetsWith(12, 236), (std::vector<uint32_t>{20, 92, 164}));
  testkit::ImageBuilder full(1);
  full.Directory(0, std::vector<testkit::EntryFields>(28, testkit::FileEntry("f", 3, 1)),
                 {.firstFree = 2048, .firstEntry = 20 + 2048 - 20 - 28 * 72});
  EXPECT_EQ(EntryOffsets(full.Image())->size(), 28u);
  // An entry that ends the block or the directory ends the entries, whatever
  // the first free byte says; the bytes after it are not looked at.
  for (uint32_t flag : {0x40000000u, 0x80000000u}) {
    testkit::Bytes block = ThreeEntries();
    Put32(block.data() + 92, 2 | flag);
    Put32(block.data() + 164 + 64, 0xFFFFFFFF);
    EXPECT_EQ(EntryOffsets(block), (std::vector<uint32_t>{20, 92}));
  }
}

}  // namespace
}  // namespace zanthrel
