// The rules of an entry and of the label that every reader of a volume takes
// from the volume layer: copies held to the block and to the handled limit,
// records counted in the volume's blocks, the label entry's name, a file's
// bytes, and the label read from a real image file.
#include "volume/entry.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "testkit/files.h"
#include "testkit/image_builder.h"
#include "testkit/sample_disc.h"
#include "testkit/temp_folder.h"
#include "volume/label.h"

namespace zanthrel {
namespace {

using testkit::Bytes;

// One entry placed at `offset` of a directory block of `blockSize` bytes, so
// that its view knows where the block ends.
class PlacedEntry {
 public:
  PlacedEntry(const testkit::EntryFields& fields, size_t blockSize, size_t offset = 20)
      : block_(blockSize, 0) {
    const Bytes bytes = testkit::EntryBytes(fields);
    std::copy_n(bytes.begin(), std::min(bytes.size(), blockSize - offset), block_.begin() + offset);
    offset_ = offset;
  }
  opera::EntryView View() const { return {block_.data() + offset_, block_.data() + block_.size()}; }

 private:
  Bytes block_;
  size_t offset_;
};

testkit::EntryFields FileWithCopies(uint32_t count) {
  testkit::EntryFields fields = testkit::FileEntry("f", 100, 10);
  fields.copies.clear();
  for (uint32_t i = 0; i < count; ++i) fields.copies.push_back(100 + 7 * i);
  return fields;
}

TEST(EntryTest, CopiesAreHeldToTheBlockAndFilesToTheHandledLimit) {
  // 300 copies fit in a block of 4096 bytes: all of them are the entry's,
  // only the first 256 are read.
  const PlacedEntry many(FileWithCopies(300), 4096);
  const CopyList all = CopiesOf(many.View());
  ASSERT_EQ(all.count, 300u);
  EXPECT_EQ(all[0], 100u);
  EXPECT_EQ(all[299], 100u + 7 * 299);
  const CopyList handled = HandledCopiesOf(many.View());
  ASSERT_EQ(handled.count, opera::kEntryCopiesHandled);
  EXPECT_EQ(handled.Blocks().back(), 100u + 7 * 255);

  // A list that claims more than its block holds gives only the slots inside.
  testkit::EntryFields cut = FileWithCopies(3);
  cut.lastCopyIndex = 1000;
  const PlacedEntry nearTheEnd(cut, 2048, 2048 - 80);
  EXPECT_EQ(CopiesOf(nearTheEnd.View()).Blocks(), (std::vector<uint32_t>{100, 107, 114}));

  // A last copy index negative as a signed number means no copy, not four billion.
  for (uint32_t last : {0xFFFFFFFFu, 0x80000000u}) {
    testkit::EntryFields none = FileWithCopies(1);
    none.lastCopyIndex = last;
    const PlacedEntry entry(none, 2048);
    EXPECT_EQ(CopiesOf(entry.View()).count, 0u) << last;
    EXPECT_EQ(HandledCopiesOf(entry.View()).count, 0u) << last;
  }
}

TEST(EntryTest, RecordsAreCountedInTheVolumesBlocks) {
  // Records of the volume's own size: one block each.
  EXPECT_EQ(RecordBlock(10, 3, 2048, 2048), 13u);
  // Smaller records share a block; larger ones span several.
  EXPECT_EQ(RecordBlock(10, 3, 512, 2048), 10u);
  EXPECT_EQ(RecordBlock(10, 4, 512, 2048), 11u);
  EXPECT_EQ(RecordBlock(10, 3, 8192, 2048), 22u);
  // A volume of 1-byte blocks counts bytes.
  EXPECT_EQ(RecordBlock(2048, 2, 2048, 1), 2048u + 4096u);
  // The product of index and record size does not wrap at 32 bits.
  EXPECT_EQ(RecordBlock(1, 0x100000, 0x100000, 2048), 1u + (1u << 29));
}

TEST(EntryTest, TheLabelEntryIsKnownInAnyCaseWithSpacesAndTabsAround) {
  for (const char* name : {"Disc label", "DISC LABEL", "disc Label", " \tDisc label\t ", "\t\tdisc label"}) {
    EXPECT_TRUE(IsDiscLabelName(name)) << name;
  }
  // Only spaces and tabs are blanks; inner blanks and other letters count.
  for (const char* name : {"Disc  label", "Disclabel", "Disc label~1", "Disc label\n", "\xA0" "Disc label",
                           "Disc label.txt", ""}) {
    EXPECT_FALSE(IsDiscLabelName(name)) << name;
  }
  EXPECT_TRUE(IsDiscLabelName(kDiscLabelName));
}

TEST(EntryTest, AFileGivesItsBlocksUpToItsByteCount) {
  // The file's copy starts at block 5 of a volume of 1000 blocks.
  const VolumeExtent volume{1000, 2048};
  auto bytesOf = [&](uint32_t byteCount, uint32_t blockCount, uint32_t blockSize) {
    testkit::EntryFields fields = testkit::FileEntry("f", 5, byteCount);
    fields.blockSize = blockSize;
    fields.blockCount = blockCount;
    return FileBytes(PlacedEntry(fields, 2048).View(), volume);
  };
  EXPECT_EQ(bytesOf(5000, 3, 2048), 5000u);
  EXPECT_EQ(bytesOf(5000, 2, 2048), 4096u);  // the blocks end first
  EXPECT_EQ(bytesOf(5000, 0, 2048), 0u);
  EXPECT_EQ(bytesOf(5000, 3, 0), 0u);
  // Blocks times block size past 32 bits still holds the whole byte count,
  // however far past the volume a count below 2^31 reaches.
  EXPECT_EQ(bytesOf(0xFFFFFFFF, 0x7FFFFFFF, 2048), 0xFFFFFFFFull);
  // A count of 2^31 or more gives what the volume holds from the copy on.
  EXPECT_EQ(bytesOf(0xFFFFFFFF, 0x80000000, 2048), 995u * 2048);
  EXPECT_EQ(bytesOf(100, 0xFFFFFFFF, 2048), 100u);
  EXPECT_EQ(bytesOf(0xFFFFFFFF, 0x80000000, 512), 995u * 2048);
  EXPECT_EQ(bytesOf(0xFFFFFFFF, 0x80000000, 0), 0u);
}

TEST(EntryTest, ACountOf2To31OrMoreIsHeldToTheVolume) {
  auto blocksOf = [](uint32_t blockCount, uint32_t blockSize, VolumeExtent volume, uint32_t first) {
    testkit::EntryFields fields = testkit::FileEntry("f", first, 100);
    fields.blockSize = blockSize;
    fields.blockCount = blockCount;
    const FileBlocks blocks = FileBlocksOf(PlacedEntry(fields, 2048).View(), volume, first);
    return std::make_pair(blocks.count, blocks.pastTheVolume);
  };
  // Below 2^31 a count is read as it stands, inside the volume or not.
  EXPECT_EQ(blocksOf(0x7FFFFFFF, 2048, {10, 2048}, 2), std::make_pair(0x7FFFFFFFu, false));
  EXPECT_EQ(blocksOf(3, 2048, {10, 2048}, 20), std::make_pair(3u, false));
  // From 2^31 on, no further than the volume's end.
  EXPECT_EQ(blocksOf(0x80000000, 2048, {10, 2048}, 2), std::make_pair(8u, true));
  EXPECT_EQ(blocksOf(0xFFFFFFFF, 2048, {10, 2048}, 10), std::make_pair(0u, true));
  EXPECT_EQ(blocksOf(0xFFFFFFFF, 2048, {10, 2048}, 0xFFFFFFFF), std::make_pair(0u, true));
  // Blocks of one byte fit a volume of 2 GiB and more: nothing is past it.
  EXPECT_EQ(blocksOf(0x80000000, 1, {0x200000, 2048}, 0), std::make_pair(0x80000000u, false));
}

TEST(EntryTest, TheNameEndsAtItsFirstZeroOrAfter32Bytes) {
  EXPECT_EQ(EntryName(PlacedEntry(testkit::FileEntry("LaunchMe", 5, 1), 2048).View()), "LaunchMe");
  const std::string full(32, 'x');
  EXPECT_EQ(EntryName(PlacedEntry(testkit::FileEntry(full, 5, 1), 2048).View()), full);
}

TEST(LabelTest, ReadFromTheImageWithItsRootCopiesTextAndComment) {
  testkit::ImageBuilder builder(8);
  testkit::LabelFields fields;
  fields.rootCopies = {1, 5, 6};
  fields.labelText = std::string(32, 'L');  // fills its field: no zero ends it
  fields.comment = "a comment";
  builder.Label(fields);
  builder.Directory(1, {});
  testkit::TempFolder temp;
  testkit::WriteBytes(temp / "disc.iso", builder.Image());
  ImageSource source;
  ASSERT_TRUE(OpenImageFile(source, temp / "disc.iso"));

  const std::optional<Label> label = ReadLabel(source);
  ASSERT_TRUE(label);
  EXPECT_TRUE(std::equal(label->bytes.begin(), label->bytes.end(), builder.Image().begin()));
  EXPECT_EQ(label->RootCopies().Blocks(), (std::vector<uint32_t>{1, 5, 6}));
  EXPECT_EQ(LabelText(label->View()), std::string(32, 'L'));
  EXPECT_EQ(LabelComment(label->View()), "a comment");

  Close(source);
  EXPECT_FALSE(ReadLabel(source));
}

TEST(LabelTest, RootCopiesAreHeldToTheLabelsEightSlots) {
  testkit::ImageBuilder builder(4);
  testkit::LabelFields fields;
  fields.rootCopies = {1, 2, 3, 1, 2, 3, 1, 2};
  fields.lastRootCopyIndex = 40;
  builder.Label(fields);
  Label label;
  std::copy_n(builder.Image().begin(), label.bytes.size(), label.bytes.begin());
  EXPECT_EQ(label.RootCopies().count, 8u);
  fields.lastRootCopyIndex = 0xFFFFFFFF;
  builder.Label(fields);
  std::copy_n(builder.Image().begin(), label.bytes.size(), label.bytes.begin());
  EXPECT_EQ(label.RootCopies().count, 0u);
}

}  // namespace
}  // namespace zanthrel
