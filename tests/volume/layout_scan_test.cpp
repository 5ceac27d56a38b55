// The layout read from an image: its records as the image holds them, and
// for every entry the host path that decompile writes it as, checked against
// the folder a real decompile of the same image leaves.
#include "volume/layout_scan.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "decompile/decompile_run.h"
#include "testkit/files.h"
#include "testkit/image_builder.h"
#include "testkit/log_text.h"
#include "testkit/mastered_disc.h"
#include "testkit/sample_disc.h"
#include "testkit/temp_folder.h"

namespace zanthrel {
namespace {

using testkit::Bytes;

struct Scanned {
  DiscLayout layout;
  std::set<std::string> files;    // written by decompile, relative, "/" between parts
  std::set<std::string> folders;
  std::map<std::string, std::string> contents;  // of the files
};

// Decompiles the image into a folder and reads its layout with the same choices.
Scanned DecompileAndScan(const Bytes& image, bool extractDiscLabel = false,
                         TextEncoding names = TextEncoding::kCp1251) {
  testkit::TempFolder temp;
  testkit::WriteBytes(temp / "disc.iso", image);
  Scanned scanned;
  {
    ImageSource source;
    EXPECT_TRUE(OpenImageFile(source, temp / "disc.iso"));
    DecompileOptions options;
    options.extractDiscLabel = extractDiscLabel;
    options.names = names;
    EXPECT_TRUE(DecompileImage(source, temp / "out", temp / "disc.log", options).Succeeded());
  }
  for (const auto& [path, content] : testkit::TreeOf(temp / "out")) {
    if (path.ends_with('/')) {
      scanned.folders.insert(path.substr(0, path.size() - 1));
    } else {
      scanned.files.insert(path);
      scanned.contents[path] = content;
    }
  }
  ImageSource source;
  EXPECT_TRUE(OpenImageFile(source, temp / "disc.iso"));
  LayoutScanOptions options;
  options.extractDiscLabel = extractDiscLabel;
  options.names = names;
  Result<DiscLayout> layout = ScanLayout(source, options);
  EXPECT_TRUE(layout.Ok()) << (layout ? "" : layout.Failure().text);
  if (layout) scanned.layout = std::move(*layout);
  return scanned;
}

// The host paths the layout gives files and folders; the entries it gives none.
struct HostPaths {
  std::set<std::string> files;
  std::set<std::string> folders;
  std::vector<std::string> unnamed;  // Opera names
};

HostPaths HostPathsOf(const DiscLayout& layout) {
  HostPaths paths;
  for (const LayoutDirectory& directory : layout.directories) {
    for (const LayoutEntry& entry : directory.entries) {
      if (entry.hostPath.empty()) {
        paths.unnamed.push_back(entry.name);
      } else {
        EXPECT_TRUE((entry.IsDirectory() ? paths.folders : paths.files).insert(entry.hostPath).second)
            << entry.hostPath << " named twice";
      }
    }
  }
  return paths;
}

void ExpectPathsOfTheDecompiledFolder(const Scanned& scanned) {
  const HostPaths paths = HostPathsOf(scanned.layout);
  EXPECT_EQ(paths.files, scanned.files);
  EXPECT_EQ(paths.folders, scanned.folders);
}

TEST(LayoutScanTest, TheSampleDiscsRecordsAndPathsAreThoseOfTheImageAndOfDecompile) {
  const Scanned scanned = DecompileAndScan(testkit::MakeSampleDisc().image);
  ExpectPathsOfTheDecompiledFolder(scanned);
  const DiscLayout& layout = scanned.layout;
  EXPECT_EQ(layout.imageBlocks, 8u);
  EXPECT_EQ(layout.label.text, "CD-ROM");
  EXPECT_EQ(layout.label.volumeId, 0x11111111u);
  EXPECT_EQ(layout.label.rootId, 0x22222222u);
  EXPECT_EQ(layout.label.blockCount, 8u);
  EXPECT_EQ(layout.label.lastRootCopy, 0u);
  EXPECT_EQ(layout.label.rootCopies, (std::array<uint32_t, 8>{1, 0, 0, 0, 0, 0, 0, 0}));
  ASSERT_EQ(layout.directories.size(), 2u);

  const LayoutDirectory& root = layout.directories[0];
  EXPECT_EQ(root.hostPath, "");
  EXPECT_EQ(root.copies, std::vector<uint32_t>{1});
  ASSERT_EQ(root.blocks.size(), 1u);
  EXPECT_EQ(root.blocks[0].next, 0xFFFFFFFFu);
  EXPECT_EQ(root.blocks[0].firstEntry, 20u);
  EXPECT_EQ(root.blocks[0].firstFree, 20u + 3 * 72);
  EXPECT_EQ(root.blocks[0].entryCount, 3u);
  ASSERT_EQ(root.entries.size(), 3u);
  const LayoutEntry& launchMe = root.entries[0];
  EXPECT_EQ(launchMe.hostPath, "LaunchMe");
  EXPECT_EQ(launchMe.byteCount, 5000u);
  EXPECT_EQ(launchMe.blockCount, 3u);
  EXPECT_EQ(launchMe.copies, std::vector<uint32_t>{3});
  EXPECT_EQ(launchMe.uniqueId, 0x33333333u);
  EXPECT_EQ(launchMe.burst, 1u);
  EXPECT_TRUE(launchMe.sha1.empty());
  EXPECT_EQ(root.entries[1].name, testkit::Win("Игры"));
  EXPECT_EQ(root.entries[1].hostPath, "Игры");
  EXPECT_EQ(root.entries[1].type, (std::array<uint8_t, 4>{'*', 'd', 'i', 'r'}));
  // The label entry that decompile passes over takes no name.
  EXPECT_EQ(root.entries[2].name, "Disc label");
  EXPECT_EQ(root.entries[2].hostPath, "");

  const LayoutDirectory& games = layout.directories[1];
  EXPECT_EQ(games.hostPath, "Игры");
  EXPECT_EQ(games.copies, std::vector<uint32_t>{2});
  ASSERT_EQ(games.entries.size(), 1u);
  EXPECT_EQ(games.entries[0].hostPath, "Игры/a!3Ab");
  EXPECT_EQ(games.entries[0].byteCount, 10u);
}

// What mastered discs hold and compile never makes: every record as the
// image holds it, and the paths of exactly the files decompile wrote.
TEST(LayoutScanTest, AMasteredDiscsRecordsAndPathsAreThoseOfTheImageAndOfDecompile) {
  const testkit::MasteredDisc disc = testkit::MakeMasteredDisc();
  const Scanned scanned = DecompileAndScan(disc.image);
  ExpectPathsOfTheDecompiledFolder(scanned);
  std::map<std::string, std::string> expected;
  for (const auto& [path, content] : disc.files) expected[path] = std::string(content.begin(), content.end());
  EXPECT_EQ(scanned.contents, expected);
  EXPECT_EQ(scanned.folders, std::set<std::string>(disc.folders.begin(), disc.folders.end()));

  const DiscLayout& layout = scanned.layout;
  EXPECT_EQ(layout.imageBlocks, 400u);
  EXPECT_EQ(layout.label.comment, "Zanthrel mastered test disc");
  EXPECT_EQ(layout.label.text, "MASTERED");
  EXPECT_EQ(layout.label.volumeId, 0x5EA1D15Cu);
  EXPECT_EQ(layout.label.rootId, 0x0000A001u);
  EXPECT_EQ(layout.label.flags, 1u);
  EXPECT_EQ(layout.label.lastRootCopy, 1u);
  EXPECT_EQ(layout.label.rootBlockCount, 2u);
  std::vector<std::string> order;
  for (const LayoutDirectory& directory : layout.directories) order.push_back(directory.hostPath);
  EXPECT_EQ(order, (std::vector<std::string>{"", "System", "System/Kernel", "Игры"}));
  ASSERT_EQ(layout.directories.size(), 4u);

  const LayoutDirectory& root = layout.directories[0];
  EXPECT_EQ(root.copies, (std::vector<uint32_t>{2, 300}));
  ASSERT_EQ(root.blocks.size(), 2u);
  EXPECT_EQ(root.blocks[0].entryCount, 4u);
  EXPECT_EQ(root.blocks[0].next, 1u);
  EXPECT_EQ(root.blocks[1].entryCount, 3u);
  EXPECT_EQ(root.blocks[1].previous, 0u);
  EXPECT_EQ(root.blocks[1].firstFree, 20u + 76 + 80 + 72);  // two, three and one copies
  std::vector<std::string> names;
  for (const LayoutEntry& entry : root.entries) names.push_back(entry.name);
  EXPECT_EQ(names, (std::vector<std::string>{"zeta.dat", "LaunchMe", "Disc label", "System", "alpha",
                                             testkit::Win("Игры"), "empty"}));
  const LayoutEntry& zeta = root.entries[0];
  EXPECT_EQ(zeta.copies, (std::vector<uint32_t>{24, 320, 360}));
  EXPECT_EQ(zeta.lastCopyIndex, 2u);
  EXPECT_EQ(zeta.type, (std::array<uint8_t, 4>{'D', 'A', 'T', 'A'}));
  EXPECT_EQ(root.entries[3].flags, 0x40000000u | 7);  // the last of its block
  EXPECT_EQ(root.entries[1].type, (std::array<uint8_t, 4>{'*', 'z', 'a', 'p'}));
  EXPECT_EQ(root.entries[2].hostPath, "");
  const LayoutEntry& alpha = root.entries[4];
  EXPECT_EQ(alpha.flags, 0x202u);
  EXPECT_EQ(alpha.uniqueId, 0x7FFFFFFFu);
  EXPECT_EQ(alpha.type, (std::array<uint8_t, 4>{0, 0, 1, 0xFF}));
  EXPECT_EQ(alpha.burst, 7u);
  EXPECT_EQ(alpha.gap, 3u);
  EXPECT_EQ(root.entries[6].flags, 0x80000002u);
  EXPECT_EQ(root.entries[6].blockCount, 0u);

  const LayoutDirectory& games = layout.directories[3];
  EXPECT_EQ(games.copies, (std::vector<uint32_t>{14, 314, 350}));
  EXPECT_EQ(layout.directories[2].entries[0].gap, 0xFFFFFFFFu);
}

TEST(LayoutScanTest, AnExtractedLabelEntryIsNamedAsTheFileDecompileWrites) {
  const Scanned scanned = DecompileAndScan(testkit::MakeSampleDisc().image, true);
  ExpectPathsOfTheDecompiledFolder(scanned);
  EXPECT_TRUE(HostPathsOf(scanned.layout).files.contains("Disc label"));
}

// Names met twice in a folder take decompile's numbers, files and folders
// alike, and each folder numbers its own; a name past a zero byte reads as
// its end.
TEST(LayoutScanTest, NamesMetAgainTakeTheNumbersDecompileGivesThem) {
  using testkit::DirEntry;
  using testkit::FileEntry;
  testkit::ImageBuilder builder(8);
  builder.Label({});
  builder.Directory(1, {FileEntry("a.txt", 5, 3), DirEntry("a.txt", 2), FileEntry("a.txt", 5, 4),
                        FileEntry(std::string("b\0x", 3), 5, 1), FileEntry("b", 5, 2), DirEntry("sub", 3)});
  builder.Directory(2, {FileEntry("a.txt", 5, 1), FileEntry("a.txt", 5, 2)});
  builder.Directory(3, {FileEntry("..", 5, 1), FileEntry("", 5, 1), FileEntry("a.txt", 5, 1)});
  builder.Data(5, testkit::Pattern(2048, 3));
  const Scanned scanned = DecompileAndScan(builder.Image());
  ExpectPathsOfTheDecompiledFolder(scanned);
  const HostPaths paths = HostPathsOf(scanned.layout);
  EXPECT_EQ(paths.files, (std::set<std::string>{"a.txt", "a~2.txt", "b", "b~1", "a~1.txt/a.txt",
                                                "a~1.txt/a~1.txt", "sub/!2E!2E", "sub/!00", "sub/a.txt"}));
  EXPECT_EQ(paths.folders, (std::set<std::string>{"a~1.txt", "sub"}));
}

// Names read as UTF-8 keep their characters and escape the bytes that are
// not UTF-8, as decompile writes them.
TEST(LayoutScanTest, NamesReadAsUtf8AreTheHostNamesDecompileWrites) {
  using testkit::FileEntry;
  testkit::ImageBuilder builder(4);
  builder.Label({});
  builder.Directory(1, {FileEntry("Игры.txt", 2, 3), FileEntry("\xC0\xFF.bin", 2, 3), testkit::DirEntry("Ж", 3)});
  builder.Directory(3, {FileEntry("Игры.txt", 2, 1)});
  const Scanned scanned = DecompileAndScan(builder.Image(), false, TextEncoding::kUtf8);
  ExpectPathsOfTheDecompiledFolder(scanned);
  EXPECT_TRUE(HostPathsOf(scanned.layout).files.contains("Ж/Игры.txt"));
  EXPECT_EQ(scanned.layout.directories[0].entries[1].name, "\xC0\xFF.bin");
}

// Directories over several blocks, in several copies, the first of which
// breaks off: the record comes from the first copy that reads whole, block
// by block, and keeps every copy; a folder no copy of which reads keeps its
// entry and a record without blocks.
TEST(LayoutScanTest, DirectoriesAreReadFromTheirFirstWholeCopyBlockByBlock) {
  using testkit::DirEntry;
  using testkit::FileEntry;
  testkit::ImageBuilder builder(16);
  testkit::LabelFields label;
  label.rootBlockCount = 2;
  label.rootCopies = {1, 4};
  builder.Label(label);
  const std::vector<testkit::EntryFields> first = {FileEntry("one", 10, 5), DirEntry("lost", 12)};
  const std::vector<testkit::EntryFields> second = {DirEntry("deep", 8), FileEntry("two", 10, 7)};
  // Copy 1: its second block (2) is zeroed, an impossible header.
  builder.Directory(1, first, testkit::Links(1, 0xFFFFFFFF));
  // Copy 2: blocks 4 and 5, linked by their block numbers within the copy.
  builder.Directory(4, first, testkit::Links(1, 0xFFFFFFFF));
  testkit::HeaderFields tail = testkit::Links(0xFFFFFFFF, 0);
  tail.flags = 0x5A;
  builder.Directory(5, second, tail);
  builder.Directory(8, {FileEntry("three", 10, 9)});
  builder.Data(10, testkit::Pattern(2048, 4));

  testkit::TempFolder temp;
  testkit::WriteBytes(temp / "disc.iso", builder.Image());
  ImageSource source;
  ASSERT_TRUE(OpenImageFile(source, temp / "disc.iso"));
  const Result<DiscLayout> layout = ScanLayout(source, {});
  ASSERT_TRUE(layout.Ok());
  ASSERT_EQ(layout->directories.size(), 3u);
  const LayoutDirectory& root = layout->directories[0];
  EXPECT_EQ(root.copies, (std::vector<uint32_t>{1, 4}));
  EXPECT_EQ(root.blockCount, 2u);
  ASSERT_EQ(root.blocks.size(), 2u);
  EXPECT_EQ(root.blocks[0].next, 1u);
  EXPECT_EQ(root.blocks[0].entryCount, 2u);
  EXPECT_EQ(root.blocks[1].previous, 0u);
  EXPECT_EQ(root.blocks[1].flags, 0x5Au);
  EXPECT_EQ(root.blocks[1].entryCount, 2u);
  ASSERT_EQ(root.entries.size(), 4u);
  EXPECT_EQ(root.entries[3].name, "two");
  EXPECT_EQ(root.entries[3].byteCount, 7u);

  // Walk order: "lost" comes first, then "deep" with what it holds.
  const LayoutDirectory& lost = layout->directories[1];
  EXPECT_EQ(lost.hostPath, "lost");
  EXPECT_EQ(lost.copies, std::vector<uint32_t>{12});
  EXPECT_TRUE(lost.blocks.empty());
  EXPECT_TRUE(lost.entries.empty());
  const LayoutDirectory& deep = layout->directories[2];
  EXPECT_EQ(deep.hostPath, "deep");
  ASSERT_EQ(deep.entries.size(), 1u);
  EXPECT_EQ(deep.entries[0].hostPath, "deep/three");
}

TEST(LayoutScanTest, ImageBlocksCountWholeBlocksOfTheFileNotTheLabels) {
  testkit::ImageBuilder builder(8);
  testkit::LabelFields label;
  label.blockCount = 5;
  builder.Label(label);
  builder.Directory(1, {});
  testkit::TempFolder temp;
  testkit::WriteBytes(temp / "disc.iso", testkit::Concat(builder.Image(), Bytes(100, 0)));
  ImageSource source;
  ASSERT_TRUE(OpenImageFile(source, temp / "disc.iso"));
  const Result<DiscLayout> layout = ScanLayout(source, {});
  ASSERT_TRUE(layout.Ok());
  EXPECT_EQ(layout->imageBlocks, 8u);
  EXPECT_EQ(layout->label.blockCount, 5u);
}

TEST(LayoutScanTest, ARootNoCopyOfWhichReadsGivesNoLayout) {
  testkit::ImageBuilder builder(4);
  testkit::LabelFields label;
  label.rootCopies = {2, 3};
  builder.Label(label);
  testkit::TempFolder temp;
  testkit::WriteBytes(temp / "disc.iso", builder.Image());
  ImageSource source;
  ASSERT_TRUE(OpenImageFile(source, temp / "disc.iso"));
  const Result<DiscLayout> layout = ScanLayout(source, {});
  ASSERT_FALSE(layout.Ok());
  EXPECT_EQ(layout.Failure().text, "no copy of the root directory can be read");
}

}  // namespace
}  // namespace zanthrel
