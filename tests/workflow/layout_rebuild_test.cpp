// A decompiled disc built again by its layout: the same bytes for the folder
// as decompile wrote it, and a sound disc holding the changes for a folder
// edited since.
#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <filesystem>
#include <map>

#include "compile/compile_run.h"
#include "compile/layout_build.h"
#include "testkit/files.h"
#include "testkit/mastered_disc.h"
#include "testkit/temp_folder.h"
#include "verify/verify.h"
#include "workflow/decompile_job.h"
#include "workflow/layout_record.h"

namespace zanthrel {
namespace {

namespace fs = std::filesystem;
using testkit::Bytes;

// A folder of the kind a game has: files of every size around a block's,
// folders inside folders, an empty file and an empty folder.
void MakeGameFolder(const fs::path& src) {
  fs::create_directories(src / "data" / "levels");
  fs::create_directories(src / "empty");
  testkit::WriteBytes((src / "LaunchMe").string(), testkit::Pattern(70000, 1));
  testkit::WriteBytes((src / "readme.txt").string(), testkit::Pattern(2047, 2));
  testkit::WriteBytes((src / "zero").string(), {});
  for (int i = 0; i < 40; ++i) {
    testkit::WriteBytes((src / "data" / ("part" + std::to_string(i) + ".bin")).string(),
                        testkit::Pattern(size_t(i) * 997, uint32_t(i + 10)));
  }
  testkit::WriteBytes((src / "data" / "levels" / "one.lvl").string(), testkit::Pattern(4096, 3));
  testkit::WriteBytes((src / "data" / "levels" / "two.lvl").string(), testkit::Pattern(6000, 4));
}

// The image decompiled, its layout recorded beside it.
struct Decompiled {
  std::string folder;
  std::string blocksPath;
  DiscLayout layout;
};

Decompiled DecompileWithLayout(const testkit::TempFolder& temp, const std::string& image) {
  DecompileRequest request;
  request.imagePath = image;
  request.outputDir = temp / "out";
  const DecompileReport report = DecompileImageFile(request);
  EXPECT_TRUE(report.Succeeded()) << DescribeReport(report, image);
  ImageSource source;
  EXPECT_TRUE(OpenImageFile(source, image).Ok());
  Decompiled decompiled{report.outputFolder, temp / "out/disc.layout.blocks", {}};
  Result<LayoutRecord> record = RecordLayout(source, decompiled.folder, decompiled.blocksPath, {});
  EXPECT_TRUE(record) << (record ? "" : record.Failure().text);
  if (record) decompiled.layout = record->layout;
  return decompiled;
}

struct Rebuilt {
  LayoutBuildReport report;
  std::vector<std::string> lines;
  Bytes image;
};

Rebuilt Rebuild(const testkit::TempFolder& temp, DiscLayout layout, const Decompiled& from) {
  Rebuilt rebuilt;
  const std::string path = temp / "rebuilt.iso";
  {
    Result<HostFile> file = SystemHost().CreateFile(path);
    EXPECT_TRUE(file);
    LayoutBuildOptions options;
    options.changed = [&](const std::string& line) { rebuilt.lines.push_back(line); };
    rebuilt.report = BuildByLayout(layout, from.folder, from.blocksPath, *file, options);
  }
  EXPECT_TRUE(rebuilt.report.written) << rebuilt.report.failure;
  rebuilt.image = testkit::ReadBytes(path);
  return rebuilt;
}

// The paths of a tree, and the size of each file, for a message.
std::string NamesOf(const std::map<std::string, std::string>& tree) {
  std::string text;
  for (const auto& [path, content] : tree) text += path + " (" + std::to_string(content.size()) + ")\n";
  return text;
}

VerifyReport Verify(const std::string& image) {
  ImageSource source;
  EXPECT_TRUE(OpenImageFile(source, image).Ok());
  return VerifyImage(source);
}

class LayoutRebuildTest : public ::testing::Test {
 protected:
  void SetUp() override {
    MakeGameFolder(temp_.Path() / "src");
    const CompileReport compiled = CompileImage((temp_ / "src"), (temp_ / "disc.iso"), true);
    ASSERT_TRUE(compiled.written) << compiled.failure;
    original_ = testkit::ReadBytes(temp_ / "disc.iso");
    decompiled_ = DecompileWithLayout(temp_, temp_ / "disc.iso");
  }

  // The rebuilt image decompiles into a folder equal to the edited one.
  void ExpectDecompilesTo(const Bytes& image, const std::string& folder) {
    testkit::WriteBytes(temp_ / "check.iso", image);
    const VerifyReport verified = Verify(temp_ / "check.iso");
    EXPECT_FALSE(verified.Damaged());
    EXPECT_TRUE(verified.shared.empty());
    DecompileRequest request;
    request.imagePath = temp_ / "check.iso";
    request.outputDir = temp_ / "again";
    const DecompileReport report = DecompileImageFile(request);
    ASSERT_TRUE(report.Succeeded()) << DescribeReport(report, "check.iso");
    const std::map<std::string, std::string> got = testkit::TreeOf(report.outputFolder);
    const std::map<std::string, std::string> expected = testkit::TreeOf(folder);
    EXPECT_TRUE(got == expected) << NamesOf(got) << "\nexpected\n" << NamesOf(expected);
  }

  testkit::TempFolder temp_;
  Bytes original_;
  Decompiled decompiled_;
};

TEST_F(LayoutRebuildTest, UnchangedFolderGivesTheSameBytes) {
  const Rebuilt rebuilt = Rebuild(temp_, decompiled_.layout, decompiled_);
  EXPECT_EQ(rebuilt.image.size(), original_.size());
  EXPECT_TRUE(rebuilt.image == original_);
  EXPECT_TRUE(rebuilt.lines.empty());
  EXPECT_EQ(rebuilt.report.blocksChanged, 0u);
  // Every file's SHA-1 is in the layout, for a later build to tell a changed file.
  for (const LayoutDirectory& directory : decompiled_.layout.directories) {
    for (const LayoutEntry& entry : directory.entries) {
      if (!entry.IsDirectory() && !entry.hostPath.empty()) {
        EXPECT_EQ(entry.sha1.size(), 40u) << entry.hostPath;
      }
    }
  }
}

TEST_F(LayoutRebuildTest, ImageWithoutBootAreaNeedsNoBlocksFile) {
  // Every block of a compile without its boot area is one that the records and files give again.
  ASSERT_TRUE(CompileImage((temp_ / "src"), (temp_ / "bare.iso"), false).written);
  fs::remove_all(temp_.Path() / "out");
  const Decompiled decompiled = DecompileWithLayout(temp_, temp_ / "bare.iso");
  EXPECT_TRUE(decompiled.layout.patches.empty());
  EXPECT_TRUE(decompiled.layout.blocksFile.empty());
  EXPECT_FALSE(fs::exists(decompiled.blocksPath));
  EXPECT_TRUE(Rebuild(temp_, decompiled.layout, decompiled).image == testkit::ReadBytes(temp_ / "bare.iso"));
}

TEST_F(LayoutRebuildTest, StopLeavesNoBlocksFile) {
  ImageSource source;
  ASSERT_TRUE(OpenImageFile(source, temp_ / "disc.iso").Ok());
  fs::remove(decompiled_.blocksPath);
  const std::atomic<bool> stop{true};
  const Result<LayoutRecord> record =
      RecordLayout(source, decompiled_.folder, decompiled_.blocksPath, {}, SystemHost(), CancelToken{&stop});
  ASSERT_FALSE(record);
  EXPECT_EQ(record.Failure().code, ECANCELED);
  EXPECT_FALSE(fs::exists(decompiled_.blocksPath));
}

TEST_F(LayoutRebuildTest, UnclaimedBlocksAndOddBytesComeBackFromTheBlocksFile) {
  // Bytes no record gives: junk in an unclaimed boot block, behind a file's
  // end, and behind the root's last entry.
  Bytes odd = original_;
  odd[100 * 2048 + 5] = 0x42;
  const LayoutDirectory& root = decompiled_.layout.directories.front();
  odd[size_t(root.copies.front()) * 2048 + 2040] ^= 0xFF;
  testkit::WriteBytes(temp_ / "odd.iso", odd);
  fs::remove_all(temp_.Path() / "out");
  const Decompiled decompiled = DecompileWithLayout(temp_, temp_ / "odd.iso");
  EXPECT_FALSE(decompiled.layout.patches.empty());
  EXPECT_TRUE(Rebuild(temp_, decompiled.layout, decompiled).image == odd);
}

TEST_F(LayoutRebuildTest, FilesChangedInPlaceKeepEveryOtherBlock) {
  const fs::path folder = decompiled_.folder;
  testkit::WriteBytes((folder / "readme.txt").string(), testkit::Pattern(2047, 99));  // same size
  testkit::WriteBytes((folder / "data" / "part7.bin").string(), testkit::Pattern(100, 5));  // smaller
  const Rebuilt rebuilt = Rebuild(temp_, decompiled_.layout, decompiled_);
  EXPECT_EQ(rebuilt.image.size(), original_.size());
  EXPECT_TRUE(rebuilt.lines.empty());
  size_t differing = 0;
  for (size_t b = 0; b < original_.size() / 2048; ++b) {
    differing += !std::equal(original_.begin() + long(b * 2048), original_.begin() + long(b * 2048 + 2048),
                             rebuilt.image.begin() + long(b * 2048));
  }
  // The two files' blocks, and the block of data/ whose entry now says fewer bytes.
  EXPECT_GE(differing, 3u);
  EXPECT_LE(differing, 1u + 4u + 1u);
  ExpectDecompilesTo(rebuilt.image, decompiled_.folder);
}

TEST_F(LayoutRebuildTest, GrownAddedAndRemovedEntriesGiveASoundDisc) {
  const fs::path folder = decompiled_.folder;
  testkit::WriteBytes((folder / "readme.txt").string(), testkit::Pattern(50000, 7));  // grown: moved
  fs::remove(folder / "data" / "part3.bin");
  testkit::WriteBytes((folder / "new file.txt").string(), testkit::Pattern(3000, 8));
  fs::create_directories(folder / "added" / "inner");
  testkit::WriteBytes((folder / "added" / "inner" / "deep.bin").string(), testkit::Pattern(9000, 9));
  testkit::WriteBytes((folder / "added" / "top.bin").string(), testkit::Pattern(10, 10));
  // A file whose name is now a folder's: the file removed, the folder added.
  fs::remove(folder / "zero");
  fs::create_directories(folder / "zero");
  testkit::WriteBytes((folder / "zero" / "inside").string(), testkit::Pattern(100, 11));
  DiscLayout layout = decompiled_.layout;
  const Rebuilt rebuilt = Rebuild(temp_, layout, decompiled_);
  EXPECT_GT(rebuilt.image.size(), original_.size());
  EXPECT_GT(rebuilt.report.blocksChanged, 0u);
  std::string lines;
  for (const std::string& line : rebuilt.lines) lines += line + "\n";
  EXPECT_NE(lines.find("moved readme.txt"), std::string::npos) << lines;
  EXPECT_NE(lines.find("removed data/part3.bin"), std::string::npos) << lines;
  EXPECT_NE(lines.find("added new file.txt"), std::string::npos) << lines;
  EXPECT_NE(lines.find("added added/inner/deep.bin"), std::string::npos) << lines;
  EXPECT_NE(lines.find("removed zero"), std::string::npos) << lines;
  EXPECT_NE(lines.find("added zero/"), std::string::npos) << lines;
  ExpectDecompilesTo(rebuilt.image, decompiled_.folder);
}

TEST_F(LayoutRebuildTest, FolderThatOutgrowsItsBlocksMovesToTheEnd) {
  // data/ holds 40 entries in two blocks; 40 more need a third.
  const fs::path folder = decompiled_.folder;
  for (int i = 0; i < 40; ++i) {
    testkit::WriteBytes((folder / "data" / ("more" + std::to_string(i))).string(), testkit::Pattern(10, uint32_t(i)));
  }
  fs::remove_all(folder / "empty");
  const Rebuilt rebuilt = Rebuild(temp_, decompiled_.layout, decompiled_);
  std::string lines;
  for (const std::string& line : rebuilt.lines) lines += line + "\n";
  EXPECT_NE(lines.find("moved data/"), std::string::npos) << lines;
  EXPECT_NE(lines.find("removed empty/"), std::string::npos) << lines;
  ExpectDecompilesTo(rebuilt.image, decompiled_.folder);
}

TEST_F(LayoutRebuildTest, LayoutThatDoesNotFitTheFolderIsBuiltOrRefusedNeverFollowed) {
  DiscLayout layout = decompiled_.layout;
  // Paths that lead out of the folder are never read.
  fs::create_directories(temp_.Path() / "secret");
  testkit::WriteBytes((temp_.Path() / "secret" / "key").string(), testkit::Pattern(2047, 77));
  for (LayoutEntry& entry : layout.directories.front().entries) {
    if (entry.hostPath == "readme.txt") entry.hostPath = "../secret/key";
  }
  Rebuilt rebuilt = Rebuild(temp_, layout, decompiled_);
  EXPECT_EQ(std::search(rebuilt.image.begin(), rebuilt.image.end(), testkit::Pattern(2047, 77).begin(),
                        testkit::Pattern(2047, 77).begin() + 64),
            rebuilt.image.end());
  EXPECT_FALSE(rebuilt.report.warnings.empty());

  // Sizes and places far past any disc: refused, or kept to the image.
  DiscLayout huge = decompiled_.layout;
  huge.imageBlocks = 0xFFFFFFF0;
  Result<HostFile> file = SystemHost().CreateFile(temp_ / "huge.iso");
  ASSERT_TRUE(file);
  EXPECT_FALSE(BuildByLayout(huge, decompiled_.folder, "", *file).written);
  DiscLayout wild = decompiled_.layout;
  for (LayoutDirectory& directory : wild.directories) {
    for (LayoutEntry& entry : directory.entries) {
      entry.lastCopyIndex = 0xFFFFFFFF;
      for (uint32_t& copy : entry.copies) copy = 0xFFFFFF00;
    }
    for (LayoutDirectoryBlock& block : directory.blocks) block.firstEntry = 4000;
  }
  wild.patches.push_back({0xFFFFFFF0, 0xFFFF, 1ull << 60});
  const LayoutBuildReport report = BuildByLayout(wild, decompiled_.folder, decompiled_.blocksPath, *file);
  EXPECT_LE(uint64_t(report.blockCount), uint64_t(original_.size() / 2048) + 64);
}

// A disc as mastering tools lay it out: copies far apart, directories over
// several blocks, odd fields, unclaimed blocks holding data.
class MasteredLayoutTest : public LayoutRebuildTest {
 protected:
  void SetUp() override {
    original_ = testkit::MakeMasteredDisc().image;
    testkit::WriteBytes(temp_ / "disc.iso", original_);
    decompiled_ = DecompileWithLayout(temp_, temp_ / "disc.iso");
  }
};

TEST_F(MasteredLayoutTest, UnchangedFolderGivesTheSameBytes) {
  const Rebuilt rebuilt = Rebuild(temp_, decompiled_.layout, decompiled_);
  EXPECT_TRUE(rebuilt.image == original_);
  EXPECT_TRUE(rebuilt.lines.empty());
}

TEST_F(MasteredLayoutTest, ByteChangedAtTheFilesSizeIsTheOnlyByteThatDiffers) {
  // The bytes behind each file's end (a mastering tool's leftovers) stay as they were.
  for (const char* name : {"System/os_code", "System/Kernel/kernel"}) {
    const std::string path = (fs::path(decompiled_.folder) / testkit::PathOf(name)).string();
    Bytes bytes = testkit::ReadBytes(path);
    bytes[100] ^= 0xFF;
    testkit::WriteBytes(path, bytes);
  }
  const Rebuilt rebuilt = Rebuild(temp_, decompiled_.layout, decompiled_);
  ASSERT_EQ(rebuilt.image.size(), original_.size());
  size_t differing = 0;
  for (size_t i = 0; i < original_.size(); ++i) differing += original_[i] != rebuilt.image[i];
  EXPECT_EQ(differing, 1u + 2u);  // os_code in one copy, kernel in two
}

TEST_F(MasteredLayoutTest, ChangesReachEveryCopyAndLeaveASoundDisc) {
  const fs::path folder = decompiled_.folder;
  // Three copies, the third unequal on the disc: grown, every copy moves.
  testkit::WriteBytes((folder / "zeta.dat").string(), testkit::Pattern(9000, 21));
  // Two copies, the same size.
  testkit::WriteBytes((folder / "System" / "Kernel" / "kernel").string(), testkit::Pattern(4096, 22));
  fs::remove(folder / "alpha");  // two copies, odd flags
  testkit::WriteBytes((folder / "System" / "added.txt").string(), testkit::Pattern(5, 23));
  fs::create_directories(folder / "Extra");
  testkit::WriteBytes((folder / "Extra" / "x.bin").string(), testkit::Pattern(3000, 24));
  const Rebuilt rebuilt = Rebuild(temp_, decompiled_.layout, decompiled_);
  std::string lines;
  for (const std::string& line : rebuilt.lines) lines += line + "\n";
  EXPECT_NE(lines.find("moved zeta.dat"), std::string::npos) << lines;
  EXPECT_NE(lines.find("removed alpha"), std::string::npos) << lines;
  EXPECT_NE(lines.find("added System/added.txt"), std::string::npos) << lines;
  EXPECT_NE(lines.find("added Extra/"), std::string::npos) << lines;
  // The label's count grows with the image.
  const uint32_t labelBlocks = uint32_t(rebuilt.image[80]) << 24 | uint32_t(rebuilt.image[81]) << 16 |
                               uint32_t(rebuilt.image[82]) << 8 | rebuilt.image[83];
  EXPECT_EQ(labelBlocks, rebuilt.image.size() / 2048);
  ExpectDecompilesTo(rebuilt.image, decompiled_.folder);
  // The label's own text and the fields of the entries left alone stay.
  EXPECT_TRUE(std::equal(original_.begin(), original_.begin() + 80, rebuilt.image.begin()));
}

}  // namespace
}  // namespace zanthrel
