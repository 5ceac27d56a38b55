#include "opera/records.h"

#include <gtest/gtest.h>

#include <vector>

namespace zanthrel::opera {
namespace {

TEST(RecordsTest, BigEndianRoundTripAndFillPhase) {
  uint8_t bytes[4];
  WriteBig32(bytes, 0x0A0B0C0D);
  EXPECT_EQ(bytes[0], 0x0A);
  EXPECT_EQ(bytes[3], 0x0D);
  EXPECT_EQ(ReadBig32(bytes), 0x0A0B0C0Du);

  std::vector<uint8_t> block(2048);
  FillPattern(block.data(), block.size());
  // Behind a 132-byte label and a 20-byte header the pattern goes on with "duck".
  EXPECT_EQ(std::string(block.begin() + 132, block.begin() + 136), "duck");
  EXPECT_EQ(std::string(block.begin() + 20, block.begin() + 24), "duck");
  EXPECT_EQ(std::string(block.end() - 8, block.end()), "iamaduck");
}

TEST(RecordsTest, EntryLengthAndBoundsNeverWrap) {
  EXPECT_EQ(EntryLength(0), 72u);
  EXPECT_EQ(EntryLength(2), 80u);
  EXPECT_EQ(EntryLength(0xFFFFFFFF), 72u + 4u * 0xFFFFFFFFull);

  std::vector<uint8_t> block(2048, 0);
  EXPECT_TRUE(EntryView::FixedPartFits(2048, 2048 - 68));
  EXPECT_FALSE(EntryView::FixedPartFits(2048, 2048 - 67));
  EXPECT_FALSE(EntryView::FixedPartFits(2048, 0xFFFFFFFFull));

  // An entry near the block end with a huge copy index: only the slots inside count.
  const size_t at = 2048 - 80;
  WriteBig32(block.data() + at + entry::kLastCopy, 1000);
  EntryView view(block.data() + at, block.data() + block.size());
  EXPECT_EQ(view.CopiesInBlock(), 3u);
}

}  // namespace
}  // namespace zanthrel::opera
