#include "compile/compile_run.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>
#endif

#include <algorithm>
#include <filesystem>

#include "support/host.h"
#include "testkit/faulty_host.h"
#include "testkit/files.h"
#include "testkit/image_reader.h"
#include "testkit/memory_host.h"
#include "testkit/temp_folder.h"

namespace zanthrel {
namespace {

namespace fs = std::filesystem;
using testkit::Bytes;
using testkit::ImageDirectoryBlock;
using testkit::ImageEntry;
using testkit::ImageReader;

class CompileTest : public ::testing::Test {
 protected:
  ImageReader Compile(bool boot = false, CompileReport* report = nullptr) {
    CompileReport local = CompileImage(temp_ / "src", temp_ / "out.iso", boot);
    EXPECT_TRUE(local.written) << local.failure;
    if (report) *report = local;
    return ImageReader{testkit::ReadBytes(temp_ / "out.iso")};
  }
  void Make(const std::string& relative, const Bytes& content) {
    fs::create_directories((temp_.Path() / "src" / relative).parent_path());
    testkit::WriteBytes(temp_ / ("src/" + relative), content);
  }
  void Folder(const std::string& relative) { fs::create_directories(temp_.Path() / "src" / relative); }

  testkit::TempFolder temp_;
};

Bytes Blocks(const Bytes& data) {
  Bytes padded = data;
  padded.resize((data.size() + 2047) / 2048 * 2048, 0);
  return padded;
}

TEST_F(CompileTest, DirectoriesOf28_29And56Children) {
  for (int children : {28, 29, 56}) {
    fs::remove_all(temp_.Path() / "src");
    for (int i = 0; i < children; ++i) {
      char name[16];
      std::snprintf(name, sizeof name, "d/f%02d", i);
      Make(name, Bytes{uint8_t(i)});
    }
    ImageReader image = Compile();
    ImageEntry d = image.Find(image.RootBlock(), "d");
    const uint32_t blocks = children <= 28 ? 1 : 2;
    EXPECT_EQ(d.blockCount, blocks) << children;
    EXPECT_EQ(d.byteCount, 2048u) << children;
    ImageDirectoryBlock first = image.DirectoryBlock(d.copy);
    EXPECT_EQ(first.previous, 0xFFFFFFFFu);
    EXPECT_EQ(first.firstFree, 2036u);
    if (blocks == 1) {
      EXPECT_EQ(first.next, 0xFFFFFFFFu);
      EXPECT_EQ(first.entries.back().flags, 2u);
      continue;
    }
    EXPECT_EQ(first.next, 1u);
    EXPECT_EQ(first.entries[27].flags, 0x40000002u);
    EXPECT_EQ(first.entries[26].flags, 2u);
    ImageDirectoryBlock second = image.DirectoryBlock(d.copy + 1);
    EXPECT_EQ(second.next, 0xFFFFFFFFu);
    EXPECT_EQ(second.previous, 0u);
    EXPECT_EQ(second.firstFree, uint32_t(20 + 72 * (children - 28)));
    EXPECT_EQ(second.entries.back().flags, 2u);  // no last-in-directory bit below the root
    // Every child stands in name order, its one byte in its one block.
    std::vector<ImageEntry> all = image.Directory(d.copy);
    for (int i = 0; i < children; ++i) EXPECT_EQ(image.bytes[size_t(all[size_t(i)].copy) * 2048], i);
  }
}

TEST_F(CompileTest, RootOf28ChildrenPutsTheLabelEntryInASecondBlock) {
  for (int i = 0; i < 28; ++i) Make(std::to_string(100 + i), Bytes{1});
  ImageReader image = Compile();
  ImageDirectoryBlock first = image.DirectoryBlock(image.RootBlock());
  EXPECT_EQ(first.entries.size(), 28u);
  EXPECT_EQ(first.entries[27].flags, 0x40000002u);
  ImageDirectoryBlock second = image.DirectoryBlock(image.RootBlock() + 1);
  EXPECT_EQ(second.firstFree, 92u);
  EXPECT_EQ(second.entries[0].flags, 0xC0000006u);
  EXPECT_EQ(image.Field(0, 88), 2u);  // root block count
  EXPECT_EQ(image.Field(0, 80), image.BlockCount());
}

TEST_F(CompileTest, FileSizesGiveWholeBlocks) {
  Bytes exact = testkit::Pattern(2048, 1), over = testkit::Pattern(2049, 2);
  Make("a_exact", exact);
  Make("b_over", over);
  Make("c_empty", {});
  Make("d_after", Bytes{7});
  ImageReader image = Compile();
  ImageEntry a = image.Find(image.RootBlock(), "a_exact");
  ImageEntry b = image.Find(image.RootBlock(), "b_over");
  ImageEntry c = image.Find(image.RootBlock(), "c_empty");
  ImageEntry d = image.Find(image.RootBlock(), "d_after");
  EXPECT_EQ(a.byteCount, 2048u);
  EXPECT_EQ(a.blockCount, 1u);
  EXPECT_EQ(image.Blocks(a.copy, 1), exact);
  EXPECT_EQ(b.byteCount, 2049u);
  EXPECT_EQ(b.blockCount, 2u);
  EXPECT_EQ(image.Blocks(b.copy, 2), Blocks(over));
  EXPECT_EQ(c.byteCount, 0u);
  EXPECT_EQ(c.blockCount, 0u);
  EXPECT_EQ(c.copy, d.copy);  // the block written next
  EXPECT_EQ(a.type, 0x20202020u);
}

TEST_F(CompileTest, NamesTypesAndDotFolders) {
  const std::string forty(40, 'n');
  for (const char* name : {"a!41b", "x!00y", "a!4", "a!zz", "readme.txt", "a.tar.gz", "x.jpeg2",
                           ".profile", "Игра.дат", "日本", "w!2Fl"}) {
    Make(name, Bytes{1});
  }
  Make(forty, Bytes{1});
  Make(".git/config", Bytes{1});
  Make(".cache/x", Bytes{1});
  ImageReader image = Compile();
  std::vector<std::string> names;
  for (const ImageEntry& entry : image.Directory(image.RootBlock())) names.push_back(entry.name);
  EXPECT_EQ(names, (std::vector<std::string>{".profile", "a!4", "aAb", "a!zz", "a.tar.gz",
                                             std::string(32, 'n'), "readme.txt", "w/l", "xy",
                                             "x.jpeg2", "\xC8\xE3\xF0\xE0.\xE4\xE0\xF2", "??",
                                             "Disc label"}));
  EXPECT_EQ(image.Find(image.RootBlock(), "readme.txt").type, 0x74787420u);  // "txt "
  EXPECT_EQ(image.Find(image.RootBlock(), "a.tar.gz").type, 0x677A2020u);    // "gz  "
  EXPECT_EQ(image.Find(image.RootBlock(), "x.jpeg2").type, 0x6A706567u);     // "jpeg"
  EXPECT_EQ(image.Find(image.RootBlock(), ".profile").type, 0x70726F66u);    // "prof"
}

TEST_F(CompileTest, BootFilesGoToTheirSlotsOnlyWhereTheyAreSpecial) {
#ifdef _WIN32
  GTEST_SKIP() << "host names holding a tab are POSIX's";
#endif
  Bytes romTags = testkit::Pattern(100, 1), banner = testkit::Pattern(5000, 2);
  Bytes bootCode = testkit::Pattern(3000, 3), osCode = testkit::Pattern(9000, 4);
  Bytes miscCode = testkit::Pattern(2048, 5), ordinary = testkit::Pattern(10, 6);
  Make("ROM_TAGS ", romTags);
  Make("\tBannerScreen", banner);
  Make(" System/Boot_Code", bootCode);
  Make("system/KERNEL/os_code", osCode);
  Make("system/kernel/kernel /misc_code", miscCode);
  Make("system/other/kernel/os_code", ordinary);     // "other" breaks the chain
  Make("sub/rom_tags", ordinary);                    // below the root
  Make("rom_tags_folder/x", ordinary);
  Make("boot_code", ordinary);                       // a root file is no boot code
  ImageReader image = Compile(true);
  const Bytes fill = image.Blocks(2 + 4 - 1, 1);     // boot_code takes 2 blocks of 4
  EXPECT_EQ(std::string(fill.begin(), fill.begin() + 8), "iamaduck");
  EXPECT_EQ(image.Blocks(1, 1), Blocks(romTags));
  EXPECT_EQ(image.Blocks(226, 1), Blocks(romTags));
  EXPECT_EQ(image.Blocks(227, 3), Blocks(banner));
  EXPECT_EQ(image.Blocks(2, 2), Blocks(bootCode));
  EXPECT_EQ(image.Blocks(6, 5), Blocks(osCode));
  EXPECT_EQ(image.Blocks(70, 1), Blocks(miscCode));
  EXPECT_EQ(image.Blocks(0, 1), image.Blocks(225, 1));
  // The normal places hold the files too.
  ImageEntry rom = image.Find(image.RootBlock(), "ROM_TAGS ");
  EXPECT_GE(rom.copy, 303u);
  EXPECT_EQ(image.Blocks(rom.copy, 1), Blocks(romTags));
  // Nothing else reached the boot area: the fill pattern stands in every other slot block.
  for (uint32_t block : {11u, 71u, 224u, 230u, 302u}) {
    EXPECT_EQ(image.Blocks(block, 1), image.Blocks(300, 1)) << block;
  }

  // Without the boot area nothing is special: the first file in order starts at block 1.
  ImageReader plain = Compile(false);
  EXPECT_EQ(plain.Find(plain.RootBlock(), "\tBannerScreen").copy, 1u);
  EXPECT_EQ(plain.Field(0, 80), plain.BlockCount());
  EXPECT_LT(plain.BlockCount(), 303u);
}

TEST_F(CompileTest, BootFileLongerThanItsSlotIsCutAndReported) {
  Bytes banner = testkit::Pattern(80 * 2048, 9);
  Make("bannerscreen", banner);
  CompileReport report;
  ImageReader image = Compile(true, &report);
  EXPECT_EQ(image.Blocks(227, 76), Bytes(banner.begin(), banner.begin() + 76 * 2048));
  ImageEntry entry = image.Find(image.RootBlock(), "bannerscreen");
  EXPECT_EQ(entry.copy, 303u);
  EXPECT_EQ(image.Blocks(303, 80), banner);  // the tree's own copy is whole
  ASSERT_EQ(report.problems.size(), 1u);
  EXPECT_NE(report.problems[0].find("bannerscreen: longer than its boot slot of 76 blocks"),
            std::string::npos);
}

TEST_F(CompileTest, UnreadableEntriesLoopsAndTheImageItselfAreHandled) {
#ifdef _WIN32
  GTEST_SKIP() << "symbolic links to folders and FIFOs as POSIX makes them";
#else
  Make("good", Bytes{1, 2, 3});
  fs::create_symlink("nowhere", temp_.Path() / "src/dangling");
  fs::create_symlink(".", temp_.Path() / "src/sub");
  Folder("deep");
  fs::create_symlink("../../src", temp_.Path() / "src/deep/up");
  ASSERT_EQ(mkfifo((temp_ / "src/pipe").c_str(), 0600), 0);
  // The image is written into the folder that is compiled.
  CompileReport report = CompileImage(temp_ / "src", temp_ / "src/self.iso", false);
  EXPECT_TRUE(report.written);
  ImageReader image{testkit::ReadBytes(temp_ / "src/self.iso")};
  std::vector<std::string> names;
  for (const ImageEntry& entry : image.Directory(image.RootBlock())) names.push_back(entry.name);
  EXPECT_EQ(names, (std::vector<std::string>{"deep", "good", "Disc label"}));
  EXPECT_TRUE(image.Directory(image.Find(image.RootBlock(), "deep").copy).empty());
  std::string all;
  for (const std::string& problem : report.problems) all += problem + "\n";
  EXPECT_NE(all.find("src/dangling: cannot be read"), std::string::npos) << all;
  EXPECT_NE(all.find("src/pipe: not a regular file"), std::string::npos) << all;
  EXPECT_NE(all.find("src/deep/up: leads back to a folder above it"), std::string::npos) << all;
  EXPECT_NE(all.find("src/sub: leads back to a folder above it"), std::string::npos) << all;
  EXPECT_EQ(report.problems.size(), 4u) << all;

  // Compiled again, the old image is not taken as a source file either.
  EXPECT_TRUE(CompileImage(temp_ / "src", temp_ / "src/self.iso", false).written);
  ImageReader again{testkit::ReadBytes(temp_ / "src/self.iso")};
  EXPECT_EQ(again.Directory(again.RootBlock()).size(), 3u);
#endif
}

// The folders are listed ahead of the walk, on a thread of their own, which
// must enter the very folders that the walk enters, link loops left out: then
// each folder is listed once, and the image is what a walk that lists each
// folder in turn writes.
TEST_F(CompileTest, EveryFolderIsListedOnceAheadOfTheWalk) {
#ifdef _WIN32
  GTEST_SKIP() << "symbolic links to folders as POSIX makes them";
#else
  int folders = 1;  // the root
  for (int a = 0; a < 4; ++a) {
    for (int b = 0; b < 5; ++b) {
      std::string file = "a";  // built by appending: "a" + string draws a false overlap warning
      file += std::to_string(a);
      file += "/b";
      file += std::to_string(b);
      file += "/f";
      Make(file, Bytes(3000, uint8_t(a * 5 + b)));
      ++folders;
    }
    ++folders;
  }
  fs::create_symlink("..", temp_.Path() / "src/a1/up");
  fs::create_symlink("../../a2", temp_.Path() / "src/a3/b4/side");  // not a loop: entered again
  folders += 5 + 1;
  testkit::FaultyHost host;
  CompileOptions options;
  options.host = &host;
  const CompileReport report = CompileImage(temp_ / "src", temp_ / "new.iso", false, options);
  ASSERT_TRUE(report.written);
  EXPECT_EQ(host.Calls(testkit::HostCall::kListFolder), folders);
  ASSERT_EQ(report.problems.size(), 1u);
  EXPECT_NE(report.problems[0].find("src/a1/up: leads back to a folder above it"), std::string::npos);
  ImageReader image{testkit::ReadBytes(temp_ / "new.iso")};
  const uint32_t side = image.Find(image.Find(image.Find(image.RootBlock(), "a3").copy, "b4").copy, "side").copy;
  EXPECT_EQ(image.Directory(side).size(), 5u);
#endif
}

TEST_F(CompileTest, FileOf4GiBIsReportedNotStoredWrong) {
  Folder("");
  {
    std::filesystem::path huge = temp_.Path() / "src/huge";
    testkit::WriteText(huge.string(), "");
    fs::resize_file(huge, 4ull << 30);  // sparse
  }
  CompileReport report;
  ImageReader image = Compile(false, &report);
  ImageEntry huge = image.Find(image.RootBlock(), "huge");
  EXPECT_EQ(huge.byteCount, 0u);
  EXPECT_EQ(huge.blockCount, 0u);
  ASSERT_EQ(report.problems.size(), 1u);
  EXPECT_NE(report.problems[0].find("4 GiB or more"), std::string::npos);
}

TEST_F(CompileTest, MissingOutputFolderOrSourceFails) {
  Folder("");
  CompileReport report = CompileImage(temp_ / "src", temp_ / "nowhere/out.iso", false);
  EXPECT_FALSE(report.written);
  EXPECT_EQ(report.failure, (temp_ / "nowhere/out.iso") + ": cannot be created (" + ErrorText(ENOENT) + ")");
  report = CompileImage(temp_ / "missing", temp_ / "out.iso", false);
  EXPECT_FALSE(report.written);
  EXPECT_EQ(report.failure, (temp_ / "missing") + ": folder cannot be read (" + ErrorText(ENOENT) + ")");
  EXPECT_FALSE(fs::exists(temp_.Path() / "out.iso"));
  EXPECT_EQ(std::distance(fs::directory_iterator(temp_.Path()), {}), 1);
}

TEST_F(CompileTest, ProgressCountsBytesAgainstTheTotal) {
  Make("a", testkit::Pattern(5000, 1));
  Make("d/b", testkit::Pattern(300000, 2));
  uint64_t done = 0, total = 0;
  CompileOptions options;
  options.progress = [&](uint64_t d, uint64_t t) { done = d, total = t; };
  EXPECT_TRUE(CompileImage(temp_ / "src", temp_ / "out.iso", true, options).written);
  EXPECT_EQ(total, 305000u);
  EXPECT_EQ(done, 305000u);
}

// On a host in memory every call of the run can be seen: each file of the
// folder is read once, and the image is made under a temporary name beside
// its place and renamed onto it, nothing else.
TEST(CompileInMemoryTest, ReadsEachFileOnceAndMakesOnlyTheImage) {
  testkit::MemoryHost host;
  const Bytes a = testkit::Pattern(5000, 1), b = testkit::Pattern(3, 2);
  host.PutFile("src/a", a);
  host.PutFile("src/d/b", b);
  host.PutFolder("src/empty");
  CompileOptions options;
  options.host = &host;
  const CompileReport report = CompileImage("src", "out.iso", 0, options);
  ASSERT_TRUE(report.written) << report.failure;
  EXPECT_TRUE(report.problems.empty());

  std::vector<std::string> read = host.Read();
  std::sort(read.begin(), read.end());
  EXPECT_EQ(read, (std::vector<std::string>{"/work/src/a", "/work/src/d/b"}));
  const std::vector<std::string> made = host.Made();
  ASSERT_EQ(made.size(), 2u);
  EXPECT_EQ(made[0].rfind("/work/", 0), 0u);
  EXPECT_TRUE(IsTemporaryFileName(made[0].substr(6))) << made[0];
  EXPECT_EQ(made[1], "/work/out.iso");
  EXPECT_EQ(host.Removed(), (std::vector<std::string>{made[0]}));
  EXPECT_EQ(host.Tree("/work"), (std::vector<std::string>{"out.iso", "src/", "src/a", "src/d/", "src/d/b",
                                                          "src/empty/"}));
  EXPECT_EQ(host.OpenFiles(), 0u);

  const std::optional<Bytes> bytes = host.FileBytes("out.iso");
  ASSERT_TRUE(bytes);
  ImageReader image{*bytes};
  const ImageEntry entry = image.Find(image.Find(image.RootBlock(), "d").copy, "b");
  EXPECT_EQ(image.Blocks(entry.copy, 1), Blocks(b));
  EXPECT_EQ(image.Find(image.RootBlock(), "a").byteCount, 5000u);
}

}  // namespace
}  // namespace zanthrel
