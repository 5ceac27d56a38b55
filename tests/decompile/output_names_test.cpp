// Where a decompile puts what it writes: the disc's files alone in the output
// folder, each entry under a host name of its own, the map beside the log.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/host_names.h"
#include "testkit/decompile_fixture.h"
#include "testkit/image_builder.h"
#include "testkit/log_text.h"

namespace zanthrel {
namespace {

namespace fs = std::filesystem;
using testkit::Bytes;
using testkit::ImageBuilder;
using testkit::Win;

class OutputNamesTest : public testkit::DecompileFixture {};

// Disc files named like the map and a hole file keep their bytes, and the
// output folder holds the disc's files and nothing else.
TEST_F(OutputNamesTest, BlockMapAndHoleFilesLieBesideTheLog) {
  ImageBuilder builder(5);
  builder.Label({});
  builder.Directory(1, {testkit::FileEntry("disc.spy", 2, 5), testkit::FileEntry("disc 0x00000003.spy", 4, 7)});
  builder.Data(2, Bytes(5, 'a'));
  builder.Data(3, Bytes(2048, 'h'));
  builder.Data(4, Bytes(7, 'b'));
  const auto run = Run(builder.Image(), false, true);
  ASSERT_TRUE(run.ok) << run.log;
  EXPECT_EQ(testkit::NamesBelow(temp_.Path() / "PARCE_disc"),
            (std::vector<std::string>{"disc 0x00000003.spy", "disc.spy"}));
  EXPECT_EQ(testkit::ReadBytes(Out("disc.spy")), Bytes(5, 'a'));
  EXPECT_EQ(testkit::ReadBytes(Out("disc 0x00000003.spy")), Bytes(7, 'b'));
  // The map names the disc's files by their paths in the output folder.
  const std::string map = testkit::ReadText(Beside("disc.spy"));
  EXPECT_NE(map.find("0x00000002 - 0x00000003\t0x00000001\t0x00000005\t" + Out("disc.spy") + "\n"),
            std::string::npos)
      << map;
  // Blocks 0 and 3 belong to no entry: their dumps are beside the log too.
  EXPECT_EQ(testkit::ReadBytes(Beside("disc 0x00000003.spy")), Bytes(2048, 'h'));
  EXPECT_EQ(fs::file_size(testkit::PathOf(Beside("disc 0x00000000.spy"))), 2048u);
}

// Only the root's "Disc label" is the label entry; one below is a file like
// any other, with or without the option.
TEST_F(OutputNamesTest, DiscLabelBelowTheRootIsAnOrdinaryFile) {
  ImageBuilder builder(4);
  builder.Label({});
  builder.Directory(1, {testkit::DirEntry("sub", 2), testkit::LabelEntry()});
  builder.Directory(2, {testkit::FileEntry("Disc label", 3, 4), testkit::FileEntry("disc LABEL ", 3, 2)});
  builder.Data(3, Bytes{'d', 'a', 't', 'a'});
  for (const bool extractDiscLabel : {false, true}) {
    fs::remove_all(temp_ / "PARCE_disc");
    const auto run = Run(builder.Image(), extractDiscLabel);
    ASSERT_TRUE(run.ok) << run.log;
    EXPECT_EQ(fs::exists(testkit::PathOf(Out("Disc label"))), extractDiscLabel);
    EXPECT_EQ(testkit::ReadBytes(Out("sub/Disc label")), (Bytes{'d', 'a', 't', 'a'}));
    // Its neighbour's host name: on Windows, apart by letter case and with
    // its final space escaped.
    FolderHostNames names;
    names.FileName("Disc label");
    EXPECT_EQ(testkit::ReadBytes(Out("sub/" + names.FileName("disc LABEL "))), (Bytes{'d', 'a'}));
  }
}

// Entries of one folder that would meet on the host: the same name twice,
// names equal up to a zero byte, a file and a folder of one name, whatever
// the file's size. The earlier keeps its name, the later takes a number.
TEST_F(OutputNamesTest, EntriesThatMeetEachKeepTheirBytesUnderNamesOfTheirOwn) {
  constexpr uint32_t kBig = 300 << 10;  // copied straight from the image
  ImageBuilder builder(8 + kBig / 2048);
  builder.Label({});
  builder.Directory(1, {testkit::FileEntry("a.txt", 3, 3), testkit::FileEntry("a~2.txt", 4, 1),
                        testkit::FileEntry(std::string("a.txt\0old", 9), 5, 2),
                        testkit::FileEntry("x", 4, 1), testkit::DirEntry("x", 2),
                        testkit::FileEntry("big", 8, kBig), testkit::DirEntry("big", 2),
                        testkit::FileEntry("a.txt", 6, 4)});
  builder.Directory(2, {testkit::FileEntry("in", 7, 2)});
  builder.Data(3, Bytes{'o', 'n', 'e'});
  builder.Data(4, Bytes{'2'});
  builder.Data(5, Bytes{'n', 'u'});
  builder.Data(6, Bytes{'f', 'o', 'u', 'r'});
  builder.Data(7, Bytes{'i', 'n'});
  const Bytes big = testkit::Pattern(kBig, 3);
  builder.Data(8, big);
  const auto run = Run(builder.Image());
  ASSERT_TRUE(run.ok) << run.log;
  EXPECT_EQ(testkit::NamesBelow(temp_.Path() / "PARCE_disc"),
            (std::vector<std::string>{"a.txt", "a~1.txt", "a~2.txt", "a~3.txt", "big", "big~1",
                                      "big~1/in", "x", "x~1", "x~1/in"}));
  EXPECT_EQ(testkit::ReadBytes(Out("a.txt")), (Bytes{'o', 'n', 'e'}));
  EXPECT_EQ(testkit::ReadBytes(Out("a~2.txt")), (Bytes{'2'}));
  EXPECT_EQ(testkit::ReadBytes(Out("a~1.txt")), (Bytes{'n', 'u'}));
  EXPECT_EQ(testkit::ReadBytes(Out("a~3.txt")), (Bytes{'f', 'o', 'u', 'r'}));
  EXPECT_EQ(testkit::ReadBytes(Out("x")), (Bytes{'2'}));
  EXPECT_EQ(testkit::ReadBytes(Out("big")), big);
  EXPECT_EQ(testkit::ReadBytes(Out("big~1/in")), (Bytes{'i', 'n'}));
  // One log line for each numbered name, right behind its entry's description.
  const std::string taken = Win("!!!Имя уже занято в этой директории, записываем как ");
  for (const char* name : {"a~1.txt", "x~1", "big~1", "a~3.txt"}) {
    const size_t line = run.log.find(taken + Out(name) + "!\n");
    ASSERT_NE(line, std::string::npos) << name;
    EXPECT_EQ(run.log.rfind("ENTRY\n", line), run.log.rfind("ENTRY\n", line + 1)) << name;
  }
  size_t lines = 0;
  for (size_t at = 0; (at = run.log.find(taken, at)) != std::string::npos; ++at) ++lines;
  EXPECT_EQ(lines, 4u);
  EXPECT_EQ(run.renamed,
            (std::vector<std::string>{
                Out("a.txt") + ": written as \"a~1.txt\" (an earlier entry of the folder has the name)",
                Out("x") + ": written as \"x~1\" (an earlier entry of the folder has the name)",
                Out("big") + ": written as \"big~1\" (an earlier entry of the folder has the name)",
                Out("a.txt") + ": written as \"a~3.txt\" (an earlier entry of the folder has the name)"}));
  EXPECT_TRUE(run.log.ends_with(Win("Образ демонтирован успешно. Выход.\n")));
}

// A folder copy that fails after its first block is walked again from the
// next copy: the same names come out, warned once.
TEST_F(OutputNamesTest, AnotherCopyOfAFolderGivesTheSameNamesWarnedOnce) {
  ImageBuilder builder(6);
  builder.Label({});
  testkit::EntryFields sub = testkit::DirEntry("sub", 5, 2);
  sub.copies = {5, 2};  // copy 0: block 5, then the image ends
  builder.Directory(1, {sub});
  const std::vector<testkit::EntryFields> twice = {testkit::FileEntry("x", 4, 1), testkit::FileEntry("x", 4, 1)};
  builder.Directory(2, twice, testkit::Links(1, 0xFFFFFFFF));
  builder.Directory(3, {}, testkit::Links(0xFFFFFFFF, 0));
  builder.Directory(5, twice, testkit::Links(1, 0xFFFFFFFF));
  builder.Data(4, Bytes{'x'});
  const auto run = Run(builder.Image());
  ASSERT_TRUE(run.ok) << run.log;
  EXPECT_EQ(testkit::NamesBelow(temp_.Path() / "PARCE_disc"), (std::vector<std::string>{"sub", "sub/x", "sub/x~1"}));
  EXPECT_EQ(run.renamed.size(), 1u);
  // The log tells of each walk, the failed one included.
  const std::string taken = Win("!!!Имя уже занято в этой директории, записываем как ") + Out("sub/x~1") + "!\n";
  const size_t first = run.log.find(taken);
  ASSERT_NE(first, std::string::npos);
  EXPECT_NE(run.log.find(taken, first + 1), std::string::npos);
}

}  // namespace
}  // namespace zanthrel
