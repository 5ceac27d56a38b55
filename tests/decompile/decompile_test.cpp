#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "decompile/block_map.h"
#include "source/image_source.h"
#include "support/host.h"
#include "support/host_names.h"
#include "support/text.h"
#include "testkit/decompile_fixture.h"
#include "testkit/image_builder.h"
#include "testkit/log_text.h"
#include "testkit/memory_host.h"
#include "testkit/sample_disc.h"

namespace zanthrel {
namespace {

namespace fs = std::filesystem;
using testkit::Bytes;
using testkit::ImageBuilder;
using testkit::Slice;
using testkit::kDirectoryEntryHead;
using testkit::kFileEntryHead;
using testkit::kLoneHeadOfOneEntry;
using testkit::kOneBlockBurstAndGap;
using testkit::Win;

std::string Text(const Bytes& bytes) { return std::string(bytes.begin(), bytes.end()); }

// The root file of the sample disc as the log describes it, in UTF-8.
const std::string kSampleLaunchMe =
    kFileEntryHead +
    "\tРазмер файла:\t5000\n"
    "\tРазмер в блоках:\t3\n"
    "\tBurst(Взрыв)???:\t0x00000001 (1)\n"
    "\tGap(Промежуток)???:\t0x00000000 (0)\n"
    "\tИмя:\tLaunchMe\n"
    "\tКоличество копий:\t1\n"
    "\t\t0) 0x00000003(3)\n";

class DecompileTest : public testkit::DecompileFixture {};

TEST_F(DecompileTest, SampleRunLogsEveryLineAndExtractsTheTree) {
  const testkit::SampleDisc disc = testkit::MakeSampleDisc();
  auto result = Run(disc.image);
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.outcome, DecompileOutcome::kDone);
  const std::string root = Root();
  // The label entry comes last and ends the root; its file is not extracted.
  EXPECT_EQ(result.log, Win(testkit::kSampleLabelDescription +
                            root + "\n"
                            "HEAD\n"
                            "\tСледующий блок:\t0xFFFFFFFF (4294967295)\n"
                            "\tПредыдущий блок:\t0xFFFFFFFF (4294967295)\n"
                            "\tФлаги:\t0x00000000\n"
                            "\tПервый свободный байт:\t0x000000EC (236)\n"
                            "\tСмещение на первую запись:\t0x00000014 (20)\n" +
                            kSampleLaunchMe +
                            kDirectoryEntryHead +
                            kOneBlockBurstAndGap +
                            "\tИмя:\tИгры\n"
                            "\tКоличество копий:\t1\n"
                            "\t\t0) 0x00000002(2)\n" +
                            root + kPathSeparator + "Игры\n" +
                            kLoneHeadOfOneEntry +
                            kFileEntryHead +
                            "\tРазмер файла:\t10\n" +
                            kOneBlockBurstAndGap +
                            "\tИмя:\ta:b\n"
                            "\tКоличество копий:\t1\n"
                            "\t\t0) 0x00000006(6)\n" +
                            root + "\n"
                            "ENTRY\n"
                            "\tФлаги:\t0xC0000006\n"
                            "\tУникальный идентификатор:\t0x33333333\n"
                            "\tТип:\t0x2A6C626C(*lbl)\n"
                            "\tРазмер блока:\t2048\n"
                            "\tРазмер файла:\t132\n" +
                            kOneBlockBurstAndGap +
                            "\tИмя:\tDisc label\n"
                            "\tКоличество копий:\t1\n"
                            "\t\t0) 0x00000000(0)\n"
                            "Образ демонтирован успешно. Выход.\n"));
  EXPECT_EQ(Tree(), (std::map<std::string, std::string>{
                        {"PARCE_disc/", ""},
                        {"PARCE_disc/LaunchMe", Text(disc.launchMe)},
                        {"PARCE_disc/Игры/", ""},
                        {"PARCE_disc/Игры/a!3Ab", Text(disc.gamesAB)},
                        {"disc.iso", Text(disc.image)},
                        {"disc.log", result.log},
                    }));
}

TEST_F(DecompileTest, DiscLabelIsSkippedUnlessAskedForInAnyCaseAndBlanks) {
  ImageBuilder builder(3);
  builder.Label({});
  testkit::EntryFields label = testkit::LabelEntry();
  label.name = " \tDISC Label ";
  builder.Directory(1, {testkit::FileEntry("A", 2, 3), label});
  const Bytes& image = builder.Image();

  auto skipped = Run(image, false, true);
  EXPECT_TRUE(skipped.ok);
  EXPECT_FALSE(fs::exists(testkit::PathOf(Out(HostFileName(" \tDISC Label ")))));
  std::string map = testkit::ReadText(Beside("disc.spy"));
  EXPECT_EQ(map.find("Label"), std::string::npos);
  EXPECT_NE(map.find(Win("Дырка")), std::string::npos);  // block 0 is a hole

  fs::remove_all(temp_ / "PARCE_disc");
  auto extracted = Run(image, true, true);
  EXPECT_TRUE(extracted.ok);
  EXPECT_EQ(testkit::ReadBytes(Out(HostFileName(" \tDISC Label "))), Slice(image, 0, 132));
  map = testkit::ReadText(Beside("disc.spy"));
  EXPECT_EQ(map.substr(0, 24), "0x00000000 - 0x00000001\t");
  EXPECT_EQ(map.find(Win("Дырка")), std::string::npos);
}

TEST_F(DecompileTest, FileLengthsFollowTheByteCount) {
  ImageBuilder builder(8);
  builder.Label({});
  testkit::EntryFields exact = testkit::FileEntry("exact", 2, 4096);
  exact.blockCount = 3;  // one block more than the bytes need: read, not written
  testkit::EntryFields empty = testkit::FileEntry("empty", 5, 0);
  testkit::EntryFields noBlocks = testkit::FileEntry("noblocks", 6, 500);
  noBlocks.blockCount = 0;
  builder.Directory(1, {exact, empty, noBlocks});
  Bytes data = testkit::Pattern(6 * 2048, 3);
  builder.Data(2, data);
  auto result = Run(builder.Image());
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(testkit::ReadBytes(Out("exact")), Slice(data, 0, 4096));
  EXPECT_EQ(fs::file_size(testkit::PathOf(Out("empty"))), 0u);
  EXPECT_EQ(fs::file_size(testkit::PathOf(Out("noblocks"))), 0u);
}

TEST_F(DecompileTest, MultiBlockDirectoryFollowsRelativeNextBlocks) {
  ImageBuilder builder(12);
  testkit::LabelFields label;
  label.rootCopies = {5};
  label.rootBlockCount = 3;
  builder.Label(label);
  // Blocks 5, 6, 7 of the root copy are indexes 0, 1, 2; the chain runs 0 -> 2 -> 1.
  builder.Directory(5, {testkit::FileEntry("a", 9, 1)}, testkit::Links(2, 0xFFFFFFFF));
  builder.Directory(7, {testkit::FileEntry("b", 9, 2)}, testkit::Links(1, 0));
  builder.Directory(6, {testkit::FileEntry("c", 9, 3)}, testkit::Links(0xFFFFFFFF, 2));
  auto result = Run(builder.Image());
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.log, Win("Информация начального сектора(метки):\n"
                            "\tКомментарий:\t\n"
                            "\tИдентификатор:\tCD-ROM\n"
                            "\tУникальный идентфикатор тома:\t0x11111111\n"
                            "\tРазмер блока в томе:\t2048\n"
                            "\tКоличество блоков в томе:\t12\n"
                            "\tУникальный идентфикатор корня:\t0x22222222\n"
                            "\tКоличество блоков в корне:\t3\n"
                            "\tРазмер блока в корне:\t2048\n"
                            "\tКоличество копий корня:\t1\n"
                            "\t\t0) 0x00000005(5)\n"
                            "Дополнительно:\n"
                            "\tРазмер образа: 24576 байт\n"
                            "\tРазмер данных: 24576 байт\n"
                            "\n" +
                            Root() + "\n"
                            "HEAD\n"
                            "\tСледующий блок:\t0x00000002 (2)\n"
                            "\tПредыдущий блок:\t0xFFFFFFFF (4294967295)\n"
                            "\tФлаги:\t0x00000000\n"
                            "\tПервый свободный байт:\t0x0000005C (92)\n"
                            "\tСмещение на первую запись:\t0x00000014 (20)\n" +
                            kFileEntryHead +
                            "\tРазмер файла:\t1\n" +
                            kOneBlockBurstAndGap +
                            "\tИмя:\ta\n"
                            "\tКоличество копий:\t1\n"
                            "\t\t0) 0x00000009(9)\n"
                            "HEAD\n"
                            "\tСледующий блок:\t0x00000001 (1)\n"
                            "\tПредыдущий блок:\t0x00000000 (0)\n"
                            "\tФлаги:\t0x00000000\n"
                            "\tПервый свободный байт:\t0x0000005C (92)\n"
                            "\tСмещение на первую запись:\t0x00000014 (20)\n" +
                            kFileEntryHead +
                            "\tРазмер файла:\t2\n" +
                            kOneBlockBurstAndGap +
                            "\tИмя:\tb\n"
                            "\tКоличество копий:\t1\n"
                            "\t\t0) 0x00000009(9)\n"
                            "HEAD\n"
                            "\tСледующий блок:\t0xFFFFFFFF (4294967295)\n"
                            "\tПредыдущий блок:\t0x00000002 (2)\n"
                            "\tФлаги:\t0x00000000\n"
                            "\tПервый свободный байт:\t0x0000005C (92)\n"
                            "\tСмещение на первую запись:\t0x00000014 (20)\n" +
                            kFileEntryHead +
                            "\tРазмер файла:\t3\n" +
                            kOneBlockBurstAndGap +
                            "\tИмя:\tc\n"
                            "\tКоличество копий:\t1\n"
                            "\t\t0) 0x00000009(9)\n"
                            "Образ демонтирован успешно. Выход.\n"));
  EXPECT_TRUE(fs::exists(testkit::PathOf(Out("a"))) && fs::exists(testkit::PathOf(Out("b"))) && fs::exists(testkit::PathOf(Out("c"))));
}

TEST_F(DecompileTest, EveryStopRuleOfTheWalk) {
  // Last-in-block: the block is left even though its first free byte lies further on.
  // Last-in-directory: the directory ends although the next block is not -1.
  ImageBuilder builder(8);
  testkit::LabelFields label;
  label.rootBlockCount = 5;
  builder.Label(label);
  testkit::EntryFields endsBlock = testkit::FileEntry("first", 7, 1);
  endsBlock.flags |= 0x40000000;
  builder.Directory(1, {endsBlock, testkit::FileEntry("hidden1", 7, 1)},
                    testkit::Links(1, 0xFFFFFFFF));
  testkit::EntryFields endsDir = testkit::FileEntry("second", 7, 1);
  endsDir.flags |= 0x80000000;
  builder.Directory(2, {endsDir}, testkit::Links(2, 0));
  builder.Directory(3, {testkit::FileEntry("hidden2", 7, 1)});
  auto result = Run(builder.Image());
  EXPECT_TRUE(result.ok);
  EXPECT_TRUE(fs::exists(testkit::PathOf(Out("first"))) && fs::exists(testkit::PathOf(Out("second"))));
  EXPECT_FALSE(fs::exists(testkit::PathOf(Out("hidden1"))) || fs::exists(testkit::PathOf(Out("hidden2"))));

  // The block count ends the directory; an empty block goes by next and count alone.
  ImageBuilder counted(8);
  label.rootBlockCount = 2;
  counted.Label(label);
  counted.Directory(1, {}, testkit::Links(1, 0xFFFFFFFF));
  counted.Directory(2, {testkit::FileEntry("kept", 7, 1)}, testkit::Links(2, 0));
  counted.Directory(3, {testkit::FileEntry("beyond", 7, 1)});
  fs::remove_all(temp_ / "PARCE_disc");
  result = Run(counted.Image());
  EXPECT_TRUE(result.ok);
  EXPECT_TRUE(fs::exists(testkit::PathOf(Out("kept"))));
  EXPECT_FALSE(fs::exists(testkit::PathOf(Out("beyond"))));
}

TEST_F(DecompileTest, FailedRootCopyIsFollowedByTheNextFromTheRootFolder) {
  ImageBuilder builder(8);
  testkit::LabelFields label;
  label.rootCopies = {1, 2};
  builder.Label(label);
  // Copy 0 fails inside D: B lies past the end of the image.
  builder.Directory(1, {testkit::FileEntry("A", 4, 5), testkit::DirEntry("D", 3)});
  builder.Directory(3, {testkit::FileEntry("B", 50, 5)});
  builder.Directory(2, {testkit::FileEntry("A", 4, 5), testkit::FileEntry("C", 5, 7)});
  builder.Data(4, testkit::Pattern(2 * 2048, 8));
  auto result = Run(builder.Image());
  EXPECT_TRUE(result.ok);
  const std::string root = Root();
  const std::string entryA =
      kFileEntryHead +
      "\tРазмер файла:\t5\n" +
      kOneBlockBurstAndGap +
      "\tИмя:\tA\n"
      "\tКоличество копий:\t1\n"
      "\t\t0) 0x00000004(4)\n";
  // Copy 0 is walked until B fails, with no line of its own; copy 1 starts at the root again.
  const std::string rootHead = "HEAD\n"
                               "\tСледующий блок:\t0xFFFFFFFF (4294967295)\n"
                               "\tПредыдущий блок:\t0xFFFFFFFF (4294967295)\n"
                               "\tФлаги:\t0x00000000\n"
                               "\tПервый свободный байт:\t0x000000A4 (164)\n"
                               "\tСмещение на первую запись:\t0x00000014 (20)\n";
  EXPECT_EQ(result.log, Win(testkit::kEightBlockLabelHead +
                            "\tКоличество копий корня:\t2\n"
                            "\t\t0) 0x00000001(1)\n"
                            "\t\t1) 0x00000002(2)\n" +
                            testkit::kEightBlockLabelTail +
                            root + "\n" +
                            rootHead +
                            entryA +
                            kDirectoryEntryHead +
                            kOneBlockBurstAndGap +
                            "\tИмя:\tD\n"
                            "\tКоличество копий:\t1\n"
                            "\t\t0) 0x00000003(3)\n" +
                            root + kPathSeparator + "D\n" +
                            kLoneHeadOfOneEntry +
                            kFileEntryHead +
                            "\tРазмер файла:\t5\n" +
                            kOneBlockBurstAndGap +
                            "\tИмя:\tB\n"
                            "\tКоличество копий:\t1\n"
                            "\t\t0) 0x00000032(50)\n" +
                            root + "\n" +
                            rootHead +
                            entryA +
                            kFileEntryHead +
                            "\tРазмер файла:\t7\n" +
                            kOneBlockBurstAndGap +
                            "\tИмя:\tC\n"
                            "\tКоличество копий:\t1\n"
                            "\t\t0) 0x00000005(5)\n"
                            "Образ демонтирован успешно. Выход.\n"));
  EXPECT_TRUE(fs::exists(testkit::PathOf(Out("C"))));
  EXPECT_FALSE(fs::exists(testkit::PathOf(Out("D/C"))));
  EXPECT_TRUE(fs::is_directory(testkit::PathOf(Out("D"))));  // what the failed copy wrote stays
}

TEST_F(DecompileTest, FileCopiesSwitchMidFileAndNeverGoBack) {
  ImageBuilder builder(14);
  builder.Label({});
  testkit::EntryFields file = testkit::FileEntry("F", 12, 6000);
  file.copies = {12, 2};  // copy 0: blocks 12, 13, then the image ends
  builder.Directory(1, {file});
  Bytes copy1 = testkit::Pattern(3 * 2048, 1);
  Bytes copy0 = testkit::Pattern(2 * 2048, 2);
  builder.Data(2, copy1);
  builder.Data(12, copy0);
  auto result = Run(builder.Image());
  EXPECT_TRUE(result.ok);
  Bytes expected = testkit::Concat(copy0, Slice(copy1, 2 * 2048, 6000 - 4096));
  EXPECT_EQ(testkit::ReadBytes(Out("F")), expected);

  // A first copy that cannot be reached at all is passed over.
  ImageBuilder second(6);
  second.Label({});
  testkit::EntryFields far = testkit::FileEntry("G", 2, 10);
  far.copies = {1000, 999, 2};
  second.Directory(1, {far});
  second.Data(2, Bytes(10, 'g'));
  fs::remove_all(temp_ / "PARCE_disc");
  result = Run(second.Image());
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(testkit::ReadText(Out("G")), "gggggggggg");
}

// Large files are copied inside the system from a plain or gzip image and
// read out through the write queue from raw sectors; a copy that ends
// mid-file hands over to the next on either way.
// The framings an image file comes in besides plain 2048-byte blocks: each
// decompiles to the plain image's log and tree.
struct Framing {
  const char* name;
  const char* file;
  bool raw;
  bool gzip;
};

// What GoogleTest and CTest show of a case, instead of the record's bytes.
void PrintTo(const Framing& framing, std::ostream* out) { *out << framing.file; }

class DecompileFramingTest : public testkit::DecompileFixture,
                             public ::testing::WithParamInterface<Framing> {
 protected:
  // Decompiles `plain` in this case's framing, after the plain image's own
  // run has been cleared away but for its log, which this run replaces.
  testkit::DecompileRunResult RunFramed(const Bytes& plain, bool additionalInfo) {
    fs::remove_all(temp_ / "PARCE_disc");
    fs::remove(temp_ / "disc.iso");
    const Framing& framing = GetParam();
    return Run(framing.raw ? testkit::RawFraming(plain) : plain, false, additionalInfo, framing.file,
               framing.gzip);
  }
};

TEST_P(DecompileFramingTest, SampleGivesThePlainImagesLogAndTree) {
  const Bytes plain = testkit::MakeSampleDisc().image;
  const auto reference = Run(plain, false, true);
  auto tree = Tree();
  tree.erase("disc.iso");
  const auto result = RunFramed(plain, true);
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.log, reference.log);
  auto other = Tree();
  other.erase(GetParam().file);
  EXPECT_EQ(other, tree);
}

TEST_P(DecompileFramingTest, LargeFileSwitchesCopiesMidFile) {
  constexpr uint32_t kBlocks = 100, kCopy0 = 110, kCopy0Blocks = 60;
  ImageBuilder builder(kCopy0 + kCopy0Blocks);
  builder.Label({});
  testkit::EntryFields file = testkit::FileEntry("Big", 2, kBlocks * 2048 - 100);
  file.copies = {kCopy0, 2};
  builder.Directory(1, {file});
  const Bytes copy1 = testkit::Pattern(kBlocks * 2048, 1);
  const Bytes copy0 = testkit::Pattern(kCopy0Blocks * 2048, 2);
  builder.Data(2, copy1);
  builder.Data(kCopy0, copy0);
  const Bytes plain = builder.Image();
  const Bytes expected =
      testkit::Concat(copy0, Slice(copy1, kCopy0Blocks * 2048, (kBlocks - kCopy0Blocks) * 2048 - 100));
  const auto reference = Run(plain);
  EXPECT_TRUE(reference.ok);
  EXPECT_EQ(testkit::ReadBytes(Out("Big")), expected);
  const auto result = RunFramed(plain, false);
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(result.log, reference.log);
  EXPECT_EQ(testkit::ReadBytes(Out("Big")), expected);
}

INSTANTIATE_TEST_SUITE_P(EveryFraming, DecompileFramingTest,
                         ::testing::Values(Framing{"Raw", "disc.bin", true, false},
                                           Framing{"Gzip", "disc.iso.gz", false, true},
                                           Framing{"RawGzip", "disc.bin.gz", true, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DecompileTest, OddNamesAreEscapedAndNothingLeavesTheOutputFolder) {
  ImageBuilder builder(10);
  builder.Label({});
  builder.Directory(1, {testkit::FileEntry("a:b?", 8, 1), testkit::FileEntry("...", 8, 2),
                        testkit::DirEntry("..", 2), testkit::DirEntry(".", 3),
                        testkit::DirEntry("a/b", 4), testkit::DirEntry("x:y", 5),
                        testkit::DirEntry("wall w/ light!", 6)});
  for (uint32_t block = 2; block <= 6; ++block) {
    std::string name(1, 'f');
    name += std::to_string(block);
    builder.Directory(block, {testkit::FileEntry(name, 8, block)});
  }
  builder.Data(8, Bytes(2048, 'z'));
  auto result = Run(builder.Image());
  EXPECT_TRUE(result.ok);
  std::map<std::string, std::string> tree = Tree();
  tree.erase("disc.iso");
  tree.erase("disc.log");
  EXPECT_EQ(tree, (std::map<std::string, std::string>{
                      {"PARCE_disc/", ""},
                      {"PARCE_disc/a!3Ab!3F", "z"},
                      {"PARCE_disc/!2E!2E!2E", "zz"},
                      {"PARCE_disc/!2E!2E/", ""},
                      {"PARCE_disc/!2E!2E/f2", "zz"},
                      {"PARCE_disc/!2E/", ""},
                      {"PARCE_disc/!2E/f3", "zzz"},
                      {"PARCE_disc/a!2Fb/", ""},
                      {"PARCE_disc/a!2Fb/f4", "zzzz"},
                      {"PARCE_disc/x!3Ay/", ""},
                      {"PARCE_disc/x!3Ay/f5", "zzzzz"},
                      {"PARCE_disc/wall w!2F light!21/", ""},
                      {"PARCE_disc/wall w!2F light!21/f6", "zzzzzz"},
                  }));
}

TEST_F(DecompileTest, RootCopyIndexPastTheSlotsTriesEightAndNegativeTriesNone) {
  ImageBuilder builder(2);
  testkit::LabelFields label;
  label.rootCopies = {100, 101, 102, 103, 104, 105, 106, 107};
  label.lastRootCopyIndex = 9;
  builder.Label(label);
  auto result = Run(builder.Image());
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.outcome, DecompileOutcome::kAllRootCopiesFailed);
  // The label's lines before the root copies.
  const std::string head =
      "Информация начального сектора(метки):\n"
      "\tКомментарий:\t\n"
      "\tИдентификатор:\tCD-ROM\n"
      "\tУникальный идентфикатор тома:\t0x11111111\n"
      "\tРазмер блока в томе:\t2048\n"
      "\tКоличество блоков в томе:\t2\n"
      "\tУникальный идентфикатор корня:\t0x22222222\n"
      "\tКоличество блоков в корне:\t1\n"
      "\tРазмер блока в корне:\t2048\n";
  std::string expected =
      head +
      "\tКоличество копий корня:\t10 !!!Значение превышает лимит!!!\n"
      "\t\t0) 0x00000064(100)\n"
      "\t\t1) 0x00000065(101)\n"
      "\t\t2) 0x00000066(102)\n"
      "\t\t3) 0x00000067(103)\n"
      "\t\t4) 0x00000068(104)\n"
      "\t\t5) 0x00000069(105)\n"
      "\t\t6) 0x0000006A(106)\n"
      "\t\t7) 0x0000006B(107)\n"
      "Дополнительно:\n"
      "\tРазмер образа: 4096 байт\n"
      "\tРазмер данных: 4096 байт\n"
      "\n";
  for (const char* copy : {"0x00000064", "0x00000065", "0x00000066", "0x00000067", "0x00000068",
                           "0x00000069", "0x0000006A", "0x0000006B"}) {
    expected += Root() + "\n!!!Не удалось считать сектор №" + copy + "! Возврат.\n";
  }
  EXPECT_EQ(result.log, Win(expected + "!!!Образ убит дальше некуда! Выход.\n"));

  label.lastRootCopyIndex = 0x80000000;
  ImageBuilder negative(2);
  negative.Label(label);
  result = Run(negative.Image(), false, true);
  EXPECT_FALSE(result.ok);
  // The count still carries the mark; a negative index lists no copy and tries none.
  EXPECT_EQ(result.log, Win(head +
                            "\tКоличество копий корня:\t2147483649 !!!Значение превышает лимит!!!\n"
                            "Дополнительно:\n"
                            "\tРазмер образа: 4096 байт\n"
                            "\tРазмер данных: 4096 байт\n"
                            "\n"
                            "!!!Образ убит дальше некуда! Выход.\n"));
  EXPECT_FALSE(fs::exists(testkit::PathOf(Beside("disc.spy"))));
}

TEST_F(DecompileTest, ExistingOutputIsReusedAndFilesReplaced) {
  fs::create_directories(testkit::PathOf(temp_ / "PARCE_disc/Игры"));
  testkit::WriteText(temp_ / "PARCE_disc/Игры/a!3Ab", std::string(50000, 'o'));
  testkit::WriteText(temp_ / "PARCE_disc/keep", "mine");
  auto result = Run(testkit::MakeSampleDisc().image);
  EXPECT_TRUE(result.ok);
  EXPECT_EQ(fs::file_size(testkit::PathOf(Out("Игры/a!3Ab"))), 10u);
  EXPECT_EQ(testkit::ReadText(Out("keep")), "mine");
}

TEST_F(DecompileTest, WriteFailuresAreReportedNotHidden) {
#ifdef _WIN32
  GTEST_SKIP() << "/dev/full, a file whose writes fail, reached through a symbolic link, is POSIX's";
#endif
  const Bytes image = testkit::MakeSampleDisc().image;
  fs::create_directories(temp_ / "PARCE_disc");
  fs::create_symlink("/dev/full", temp_ / "PARCE_disc/LaunchMe");
  auto result = Run(image);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.outcome, DecompileOutcome::kWriteFailures);
  const std::string failure = "!!!Не удалось записать файл " + Out("LaunchMe!\n");
  EXPECT_NE(result.log.find(Win(kSampleLaunchMe + failure)), std::string::npos);
  EXPECT_TRUE(result.log.ends_with(Win("!!!Образ демонтирован с ошибками записи! Выход.\n")));
  EXPECT_EQ(fs::file_size(testkit::PathOf(Out("Игры/a!3Ab"))), 10u);  // extraction went on

  // A log that cannot be written fails the run too.
  fs::remove_all(temp_ / "PARCE_disc");
  fs::remove(temp_ / "disc.log");
  fs::create_symlink("/dev/full", temp_ / "disc.log");
  result = Run(image);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.outcome, DecompileOutcome::kWriteFailures);
  EXPECT_EQ(fs::file_size(testkit::PathOf(Out("LaunchMe"))), 5000u);
}

TEST_F(DecompileTest, OutputFolderThatCannotBeMadeEndsTheRun) {
  testkit::WriteText(temp_ / "PARCE_disc", "a file in the way");
  auto result = Run(testkit::MakeSampleDisc().image);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.outcome, DecompileOutcome::kCannotMakeFolder);
  EXPECT_EQ(result.log, Win(testkit::kSampleLabelDescription +
                            std::string("!!!Не удалось создать директорию! Выход.\n")));
}

TEST_F(DecompileTest, ClosedSourceWritesNoLog) {
  ImageSource source;
  EXPECT_EQ(DecompileImage(source, "out", "out.log").outcome, DecompileOutcome::kNotOpen);
  EXPECT_FALSE(fs::exists(temp_ / "out.log"));
  EXPECT_FALSE(fs::exists(temp_ / "out"));
}

TEST_F(DecompileTest, ProgressCountsFileBlocksAgainstTheVolume) {
  testkit::WriteBytes(temp_ / "disc.iso", testkit::MakeSampleDisc().image);
  ImageSource source;
  ASSERT_TRUE(OpenImageFile(source, temp_ / "disc.iso"));
  uint64_t last = 0, total = 0;
  DecompileOptions options;
  options.progress = [&](uint64_t done, uint64_t all) { last = done, total = all; };
  EXPECT_TRUE(DecompileImage(source, "PARCE_disc", "disc.log", options).Succeeded());
  EXPECT_EQ(last, 4u);  // LaunchMe: 3 blocks, a:b: 1 block
  EXPECT_EQ(total, 8u);
}

// On a host in memory every call of the run can be seen: it makes the output
// folder, the tree and the log, each once, reads nothing but the image, and
// leaves no file open.
TEST(DecompileInMemoryTest, MakesTheTreeAndTheLogOnceAndReadsOnlyTheImage) {
  const testkit::SampleDisc disc = testkit::MakeSampleDisc();
  testkit::MemoryHost host;
  host.PutFile("disc.iso", disc.image);
  {
    ImageSource source;
    ASSERT_TRUE(OpenImageFile(source, "disc.iso", host));
    DecompileOptions options;
    options.host = &host;
    ASSERT_TRUE(DecompileImage(source, "PARCE_disc", "disc.log", options).Succeeded());
  }
  // The log comes first; the files are made by the write queue's thread, in
  // no fixed order against the walk's folders.
  std::vector<std::string> made = host.Made();
  ASSERT_FALSE(made.empty());
  EXPECT_EQ(made.front(), "/work/disc.log");
  std::sort(made.begin(), made.end());
  EXPECT_EQ(made, (std::vector<std::string>{"/work/PARCE_disc/", "/work/PARCE_disc/LaunchMe",
                                            "/work/PARCE_disc/Игры/", "/work/PARCE_disc/Игры/a!3Ab",
                                            "/work/disc.log"}));
  EXPECT_EQ(host.Read(), (std::vector<std::string>{"/work/disc.iso"}));
  EXPECT_TRUE(host.Removed().empty());
  EXPECT_EQ(host.FileBytes("PARCE_disc/LaunchMe"), disc.launchMe);
  EXPECT_EQ(host.FileBytes("PARCE_disc/Игры/a!3Ab"), disc.gamesAB);
  EXPECT_EQ(host.OpenFiles(), 0u);
}

}  // namespace
}  // namespace zanthrel
