#include "decompile/describe.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "testkit/image_builder.h"
#include "testkit/log_text.h"
#include "testkit/temp_folder.h"

namespace zanthrel {
namespace {

using testkit::Win;

// The copy lines of `count` copies in blocks 100, 101 and on: too many to write out.
std::string CopyLinesFrom100(unsigned count) {
  std::string lines;
  for (unsigned i = 0; i < count; ++i) {
    char line[40];
    std::snprintf(line, sizeof line, "\t\t%u) 0x%08X(%u)\n", i, 100 + i, 100 + i);
    lines += line;
  }
  return lines;
}

TEST(DescribeLabelTest, CompiledLabelGivesEveryLineExactly) {
  testkit::TempFolder temp;
  testkit::ImageBuilder image(304);
  testkit::LabelFields label;
  label.volumeId = 0xA00BFEAA;
  label.rootId = 0x4017FD55;
  label.rootCopies = {303};
  image.Label(label);
  testkit::WriteBytes(temp / "img", image.Image());
  ImageSource source;
  ASSERT_TRUE(OpenImageFile(source, temp / "img"));
  EXPECT_EQ(DescribeLabel(source), Win("Информация начального сектора(метки):\n"
                                       "\tКомментарий:\t\n"
                                       "\tИдентификатор:\tCD-ROM\n"
                                       "\tУникальный идентфикатор тома:\t0xA00BFEAA\n"
                                       "\tРазмер блока в томе:\t2048\n"
                                       "\tКоличество блоков в томе:\t304\n"
                                       "\tУникальный идентфикатор корня:\t0x4017FD55\n"
                                       "\tКоличество блоков в корне:\t1\n"
                                       "\tРазмер блока в корне:\t2048\n"
                                       "\tКоличество копий корня:\t1\n"
                                       "\t\t0) 0x0000012F(303)\n"
                                       "Дополнительно:\n"
                                       "\tРазмер образа: 622592 байт\n"
                                       "\tРазмер данных: 622592 байт\n"
                                       "\n"));
  Close(source);
  EXPECT_EQ(DescribeLabel(source), "");
}

TEST(DescribeLabelTest, RootCopyCountsAtAndPastTheLimit) {
  const std::string mark = Win(" !!!Значение превышает лимит!!!");
  auto describe = [](uint32_t lastIndex) {
    testkit::ImageBuilder image(1);
    testkit::LabelFields label;
    label.rootCopies = {10, 11, 12, 13, 14, 15, 16, 17};
    label.lastRootCopyIndex = lastIndex;
    image.Label(label);
    return DescribeLabelBytes(image.Image().data());
  };
  const std::string count = Win("\tКоличество копий корня:\t");
  const std::string extra = Win("Дополнительно:\n");
  auto copyPart = [&](const std::string& text) {
    size_t from = text.find(count);
    return text.substr(from, text.find(extra) - from);
  };
  const std::string eightCopies = "\t\t0) 0x0000000A(10)\n"
                                  "\t\t1) 0x0000000B(11)\n"
                                  "\t\t2) 0x0000000C(12)\n"
                                  "\t\t3) 0x0000000D(13)\n"
                                  "\t\t4) 0x0000000E(14)\n"
                                  "\t\t5) 0x0000000F(15)\n"
                                  "\t\t6) 0x00000010(16)\n"
                                  "\t\t7) 0x00000011(17)\n";
  EXPECT_EQ(copyPart(describe(7)), count + "8\n" + eightCopies);
  EXPECT_EQ(copyPart(describe(8)), count + "9" + mark + "\n" + eightCopies);
  EXPECT_EQ(copyPart(describe(0xFFFFFFFF)), count + "0" + mark + "\n");
  EXPECT_EQ(copyPart(describe(0x80000000)), count + "2147483649" + mark + "\n");
}

TEST(DescribeLabelTest, ImageSizeTakesTheBlockSizeAsSigned) {
  testkit::ImageBuilder image(1);
  testkit::LabelFields label;
  label.blockSize = 0xFFFFFFFF;  // -1
  label.blockCount = 2;
  image.Label(label);
  std::string text = DescribeLabelBytes(image.Image().data());
  EXPECT_NE(text.find(Win("\tРазмер образа: 18446744073709551614 байт\n")), std::string::npos);
  EXPECT_NE(text.find(Win("\tРазмер блока в томе:\t4294967295\n")), std::string::npos);
}

TEST(DescribeDirectoryHeaderTest, EmptyDirectoryBlock) {
  testkit::ImageBuilder image(1);
  image.Directory(0, {});
  EXPECT_EQ(DescribeDirectoryHeader(image.Image().data()),
            Win("\tСледующий блок:\t0xFFFFFFFF (4294967295)\n"
                "\tПредыдущий блок:\t0xFFFFFFFF (4294967295)\n"
                "\tФлаги:\t0x00000000\n"
                "\tПервый свободный байт:\t0x00000014 (20)\n"
                "\tСмещение на первую запись:\t0x00000014 (20)\n"));
}

TEST(DescribeEntryTest, DirectoryEntryGivesEveryLineExactly) {
  testkit::ImageBuilder image(1);
  testkit::EntryFields dir = testkit::DirEntry("Y", 0x1D, 2);
  dir.id = 0x12345678;
  image.Directory(0, {dir});
  const uint8_t* block = image.Image().data();
  EXPECT_EQ(DescribeEntry(opera::EntryView(block + 20, block + 2048)),
            Win("\tФлаги:\t0x00000007\n"
                "\tУникальный идентификатор:\t0x12345678\n"
                "\tТип:\t0x2A646972(*dir)\n"
                "\tРазмер блока:\t2048\n"
                "\tРазмер файла:\t2048\n"
                "\tРазмер в блоках:\t2\n"
                "\tBurst(Взрыв)???:\t0x00000001 (1)\n"
                "\tGap(Промежуток)???:\t0x00000000 (0)\n"
                "\tИмя:\tY\n"
                "\tКоличество копий:\t1\n"
                "\t\t0) 0x0000001D(29)\n"));
}

TEST(DescribeEntryTest, CopyLinesAtTheLimitAndAtTheBlockEnd) {
  const std::string mark = Win(" !!!Значение превышает лимит!!!");
  const std::string count = Win("\tКоличество копий:\t");
  auto tail = [&](const std::string& text) { return text.substr(text.find(count)); };

  // A 4096-byte block holds an entry with 257 copy slots.
  std::vector<uint8_t> block(4096, 0);
  testkit::EntryFields entry = testkit::FileEntry("many", 0, 0);
  entry.copies.clear();
  for (uint32_t i = 0; i < 257; ++i) entry.copies.push_back(100 + i);
  testkit::Bytes bytes = testkit::EntryBytes(entry);
  std::copy(bytes.begin(), bytes.end(), block.begin());
  opera::EntryView view(block.data(), block.data() + block.size());

  testkit::Put32(block.data() + 64, 255);
  EXPECT_EQ(tail(DescribeEntry(view)), count + "256\n" + CopyLinesFrom100(256));
  testkit::Put32(block.data() + 64, 256);
  EXPECT_EQ(tail(DescribeEntry(view)), count + "257" + mark + "\n" + CopyLinesFrom100(256));
  testkit::Put32(block.data() + 64, 0xFFFFFFFE);
  EXPECT_EQ(tail(DescribeEntry(view)), count + "4294967295" + mark + "\n");

  // The same entry near the end of a 2048-byte block: the lines stop at the block end.
  opera::EntryView nearEnd(block.data(), block.data() + 68 + 4 * 3);
  testkit::Put32(block.data() + 64, 200);
  EXPECT_EQ(tail(DescribeEntry(nearEnd)), count + "201\n"
                                           "\t\t0) 0x00000064(100)\n"
                                           "\t\t1) 0x00000065(101)\n"
                                           "\t\t2) 0x00000066(102)\n");
}

TEST(DescribeEntryTest, NamesAreShownRawAndWhole) {
  testkit::ImageBuilder image(1);
  const std::string name32 = "abcdefghijklmnopqrstuvwxyz:?!012";
  image.Directory(0, {testkit::FileEntry(name32, 5, 10)});
  const uint8_t* block = image.Image().data();
  std::string text = DescribeEntry(opera::EntryView(block + 20, block + 2048));
  EXPECT_NE(text.find(Win("\tИмя:\t") + name32 + "\n"), std::string::npos);
  EXPECT_NE(text.find(Win("\tТип:\t0x20202020(    )\n")), std::string::npos);
}

}  // namespace
}  // namespace zanthrel
