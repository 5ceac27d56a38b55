#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "testkit/decompile_fixture.h"
#include "testkit/image_builder.h"
#include "testkit/log_text.h"
#include "verify/verify.h"
#include "volume/listing.h"
#include "volume/walk.h"

namespace zanthrel {
namespace {

namespace fs = std::filesystem;
using testkit::Bytes;
using testkit::ImageBuilder;
using testkit::kFileEntryHead;
using testkit::kLoneHeadOfOneEntry;
using testkit::kOneBlockBurstAndGap;
using testkit::Win;

class HostileImageTest : public testkit::DecompileFixture {
 protected:
  // A root with two copies: copy 0 in block 1 as the test corrupts it, copy 1
  // in block 2 intact; both hold the file "ok".
  ImageBuilder TwoCopies() {
    ImageBuilder builder(5);
    testkit::LabelFields label;
    label.rootCopies = {1, 2};
    builder.Label(label);
    builder.Directory(1, {testkit::FileEntry("ok", 3, 2)});
    builder.Directory(2, {testkit::FileEntry("ok", 3, 2)});
    builder.Data(3, Bytes{'o', 'k'});
    return builder;
  }
  void ExpectSecondCopyWins(const Bytes& image) {
    auto result = Run(image);
    EXPECT_TRUE(result.ok);
    EXPECT_EQ(testkit::ReadText(Out("ok")), "ok");
    // The log ends with the walk of the intact copy.
    EXPECT_TRUE(result.log.ends_with(Win(Root() + "\n" +
                                         kLoneHeadOfOneEntry +
                                         kFileEntryHead +
                                         "\tРазмер файла:\t2\n" +
                                         kOneBlockBurstAndGap +
                                         "\tИмя:\tok\n"
                                         "\tКоличество копий:\t1\n"
                                         "\t\t0) 0x00000003(3)\n"
                                         "Образ демонтирован успешно. Выход.\n")))
        << result.log;
  }
};

TEST_F(HostileImageTest, EntryOffsetsPastTheBlockFailTheCopy) {
  ImageBuilder builder = TwoCopies();
  testkit::Put32(builder.Block(1) + 16, 4000);  // first entry past the block
  testkit::Put32(builder.Block(1) + 12, 5000);
  ExpectSecondCopyWins(builder.Image());

  builder = TwoCopies();
  testkit::Put32(builder.Block(1) + 16, 2000);  // fixed part runs past the end
  testkit::Put32(builder.Block(1) + 12, 0xFFFFFFFF);
  ExpectSecondCopyWins(builder.Image());
}

TEST_F(HostileImageTest, CopyListRunningPastTheBlockFailsTheCopy) {
  ImageBuilder builder = TwoCopies();
  testkit::Put32(builder.Block(1) + 20 + 64, 10000);  // 10,000 copies in one entry
  ExpectSecondCopyWins(builder.Image());
  builder = TwoCopies();
  testkit::Put32(builder.Block(1) + 20 + 64, 0xFFFFFFFE);  // a negative copy count
  ExpectSecondCopyWins(builder.Image());
}

TEST_F(HostileImageTest, DirectoryBlocksInACircleEnd) {
  ImageBuilder builder(6);
  testkit::LabelFields label;
  label.rootBlockCount = 0xFFFFFFFF;
  builder.Label(label);
  builder.Directory(1, {testkit::FileEntry("a", 4, 1)}, testkit::Links(1, 1));
  builder.Directory(2, {testkit::FileEntry("b", 4, 1)}, testkit::Links(0, 0));
  auto result = Run(builder.Image());
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.outcome, DecompileOutcome::kAllRootCopiesFailed);
}

TEST_F(HostileImageTest, DirectoryThatContainsItselfFailsLikeAnUnreadableCopy) {
  ImageBuilder builder(4);
  builder.Label({});
  builder.Directory(1, {testkit::FileEntry("f", 3, 1), testkit::DirEntry("loop", 2)});
  builder.Directory(2, {testkit::DirEntry("back", 1)});
  auto result = Run(builder.Image());
  EXPECT_FALSE(result.ok);
  const std::string line = Win("!!!Не удалось считать сектор №0x00000001! Возврат.\n");
  EXPECT_NE(result.log.find(Out("loop/back\n") + line), std::string::npos);
  EXPECT_FALSE(fs::exists(testkit::PathOf(Out("loop/back/loop"))));
}

TEST_F(HostileImageTest, BlockSizesOfZeroTinyAndHugeAreRefused) {
  // Found by fuzzing: a directory block of 2 bytes had its header read past the block.
  for (uint32_t size : {0u, 2u, 19u, 0xFFFFFFFFu}) {
    ImageBuilder builder(4);
    testkit::LabelFields label;
    label.rootBlockSize = size;
    builder.Label(label);
    builder.Directory(1, {});
    fs::remove_all(temp_ / "PARCE_disc");
    auto result = Run(builder.Image());
    EXPECT_FALSE(result.ok) << size;
    EXPECT_NE(result.log.find(Win("!!!Не удалось считать сектор №0x00000001! Возврат.\n")),
              std::string::npos)
        << size;
  }

  ImageBuilder files(4);
  files.Label({});
  testkit::EntryFields zero = testkit::FileEntry("zero", 2, 10);
  zero.blockSize = 0;
  testkit::EntryFields huge = testkit::FileEntry("huge", 2, 10);
  huge.blockSize = 0xFFFFFFF0;
  testkit::EntryFields empty = testkit::FileEntry("empty", 2, 0);
  empty.blockSize = 0;
  files.Directory(1, {empty, zero});
  fs::remove_all(temp_ / "PARCE_disc");
  auto result = Run(files.Image());
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(fs::file_size(testkit::PathOf(Out("empty"))), 0u);
  files.Directory(1, {huge});
  fs::remove_all(temp_ / "PARCE_disc");
  result = Run(files.Image());
  EXPECT_FALSE(result.ok);
}

TEST_F(HostileImageTest, FileOfTwoToThe31BlocksInASmallImage) {
  ImageBuilder builder(4);
  builder.Label({});
  testkit::EntryFields file = testkit::FileEntry("big", 2, 0xFFFFFFFF);
  file.blockCount = 0x80000000;  // past the volume: read as far as it holds the file
  testkit::EntryFields runs = testkit::FileEntry("runs", 2, 0x7FFFFFFF);
  runs.blockCount = 0x7FFFFFFF;  // read until the image ends: fails, does not hang
  builder.Directory(1, {file});
  auto result = Run(builder.Image());
  EXPECT_EQ(result.outcome, DecompileOutcome::kDamagedFiles);
  EXPECT_EQ(fs::file_size(testkit::PathOf(Out("big"))), 2 * 2048u);
  builder.Directory(1, {runs});
  fs::remove_all(temp_ / "PARCE_disc");
  result = Run(builder.Image());
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(fs::file_size(testkit::PathOf(Out("runs"))), 2 * 2048u);
}

TEST_F(HostileImageTest, RootOfTwoToThe31BlocksAndALabelOfBlockSize1End) {
  ImageBuilder builder(4);
  testkit::LabelFields label;
  label.rootBlockCount = 0x80000000;
  builder.Label(label);
  builder.Directory(1, {testkit::FileEntry("f", 3, 1)}, testkit::Links(5, 0xFFFFFFFF));
  auto result = Run(builder.Image());  // block 1 + 5 lies past the image
  EXPECT_FALSE(result.ok);
  EXPECT_TRUE(fs::exists(testkit::PathOf(Out("f"))));

  // Block size 1: every block number counts bytes; the run ends with a clear line.
  ImageBuilder tiny(4);
  label = testkit::LabelFields();
  label.blockSize = 1;
  label.rootCopies = {2048};
  tiny.Label(label);
  tiny.Directory(1, {testkit::FileEntry("g", 3 * 2048, 1)});
  fs::remove_all(temp_ / "PARCE_disc");
  result = Run(tiny.Image());
  EXPECT_TRUE(result.ok);
  EXPECT_TRUE(fs::exists(testkit::PathOf(Out("g"))));
}

// Every folder is made and entered from its parent's open handle, so a tree
// whose paths are longer than the host can name (130 levels of 32-byte names,
// over 4,096 bytes) comes out whole, and the entries after it too.
TEST_F(HostileImageTest, TreeDeeperThanAHostPathComesOutWhole) {
#ifdef _WIN32
  // Past MAX_PATH; wine, which runs these tests, names no more than 4,096 bytes.
  const uint32_t depth = 60;
#else
  const uint32_t depth = 130;
#endif
  const std::string name(32, 'n');
  ImageBuilder builder(depth + 3);
  builder.Label({});
  builder.Directory(1, {testkit::DirEntry(name, 2), testkit::FileEntry("z after", depth + 2, 5)});
  for (uint32_t level = 1; level < depth; ++level) {
    builder.Directory(1 + level, {testkit::DirEntry(name, 2 + level)});
  }
  builder.Directory(1 + depth, {testkit::FileEntry("bottom", depth + 2, 5)});
  builder.Data(depth + 2, Bytes{'h', 'e', 'l', 'l', 'o'});
  auto result = Run(builder.Image());
  EXPECT_TRUE(result.ok);
  EXPECT_TRUE(result.log.ends_with(Win("Образ демонтирован успешно. Выход.\n")));
  EXPECT_EQ(testkit::ReadText(Out("z after")), "hello");
#ifndef _WIN32  // the toolchain's std::filesystem stops at MAX_PATH there
  // Past the path limit the tree is listed one folder at a time, by the
  // kinds that the listing gives.
  uint32_t folders = 0;
  bool bottom = false;
  for (auto it = fs::recursive_directory_iterator(Root()); it != fs::recursive_directory_iterator(); ++it) {
    if (it->is_directory()) ++folders;
    if (it->path().filename() == "bottom") bottom = it->is_regular_file();
  }
  EXPECT_EQ(folders, depth);
  EXPECT_TRUE(bottom);
#endif
}

// The image written to temp/<file> and opened.
void OpenBuilt(ImageSource& source, const fs::path& file, const Bytes& image) {
  testkit::WriteBytes(file.string(), image);
  ASSERT_TRUE(OpenImageFile(source, file.string()));
}

TEST_F(HostileImageTest, FoldersSharedTwiceAtEveryLevelDoNotDoubleTheWalk) {
  // Each of 40 folders names the next one twice: 2^40 paths in 42 blocks.
  const uint32_t depth = 40;
  ImageBuilder builder(depth + 3);
  builder.Label({});
  for (uint32_t level = 0; level < depth; ++level) {
    builder.Directory(1 + level, {testkit::DirEntry("a", 2 + level), testkit::DirEntry("b", 2 + level)});
  }
  builder.Directory(1 + depth, {testkit::FileEntry("f", depth + 2, 1)});
  builder.Data(depth + 2, Bytes{'f'});
  const Bytes image = builder.Image();

  auto result = Run(image);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.outcome, DecompileOutcome::kAllRootCopiesFailed);
  size_t made = 0;
  for (auto it = fs::recursive_directory_iterator(Root()); it != fs::recursive_directory_iterator(); ++it) {
    ++made;
  }
  EXPECT_LT(made, 20000u);

  ImageSource source;
  OpenBuilt(source, temp_ / "shared.iso", image);
  // The listing names the folders it gives up on and lists the rest, within bounds.
  TreeListing listing;
  EXPECT_TRUE(ListTree(source, listing));
  EXPECT_LT(listing.entries.size(), 20000u);
  EXPECT_FALSE(listing.unreadableFolders.empty());
  const VerifyReport report = VerifyImage(source);
  EXPECT_EQ(report.directories, 2 * depth + 1);
}

TEST_F(HostileImageTest, ChainDeeperThanAnyWalkGoesIsRefusedNotFollowed) {
  const uint32_t depth = kMaxWalkDepth + 10;
  ImageBuilder builder(depth + 2);
  builder.Label({});
  for (uint32_t level = 0; level < depth; ++level) {
    builder.Directory(1 + level, {testkit::DirEntry("d", 2 + level)});
  }
  builder.Directory(1 + depth, {});
  ImageSource source;
  OpenBuilt(source, temp_ / "deep.iso", builder.Image());

  // Listed down to the limit; the folder past it is named.
  TreeListing listing;
  EXPECT_TRUE(ListTree(source, listing));
  EXPECT_EQ(listing.entries.size(), kMaxWalkDepth);
  ASSERT_EQ(listing.unreadableFolders.size(), 1u);
  EXPECT_EQ(listing.unreadableFolders[0].size(), 2 * kMaxWalkDepth - 1);  // "d/d/.../d"
  const VerifyReport report = VerifyImage(source);
  EXPECT_EQ(report.directories, kMaxWalkDepth + 1);
  ASSERT_EQ(report.corrupt.size(), 1u);
  EXPECT_EQ(report.corrupt[0].blocks.firstBlock, kMaxWalkDepth + 1);
}

TEST_F(HostileImageTest, NamesOfDotsSlashesBackslashesZerosAndFF) {
  ImageBuilder builder(4);
  builder.Label({});
  builder.Directory(1, {testkit::FileEntry(".", 3, 1), testkit::FileEntry("\\", 3, 1),
                        testkit::FileEntry(std::string(32, '\0'), 3, 1),
                        testkit::FileEntry(std::string(32, '\xFF'), 3, 1),
                        testkit::DirEntry("/", 2), testkit::DirEntry("\\\\", 2)});
  builder.Directory(2, {testkit::FileEntry("..", 3, 1)});
  auto result = Run(builder.Image());
  EXPECT_TRUE(result.ok);
  std::set<std::string> names;
  for (const auto& item : fs::recursive_directory_iterator(testkit::PathOf(Root()))) {
    const std::u8string relative = fs::relative(item.path(), testkit::PathOf(Root())).generic_u8string();
    names.insert(std::string(relative.begin(), relative.end()));
  }
  std::string ya;
  for (int i = 0; i < 32; ++i) ya += "\u044F";
  EXPECT_EQ(names, (std::set<std::string>{"!2E", "!5C", "!00", ya, "!2F", "!2F/!2E!2E", "!5C!5C",
                                          "!5C!5C/!2E!2E"}));
  EXPECT_EQ(std::distance(fs::directory_iterator(temp_.Path()), {}), 3);
}

}  // namespace
}  // namespace zanthrel
