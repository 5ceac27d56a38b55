// The layout file: what is written reads back as the same records, every
// byte of every name included, and what is not a sound layout is refused
// with the line and the reason.
#include "volume/layout_file.h"

#include <gtest/gtest.h>

#include "testkit/files.h"
#include "testkit/mastered_disc.h"
#include "testkit/sample_disc.h"
#include "testkit/temp_folder.h"
#include "volume/layout_scan.h"

namespace zanthrel {
namespace {

LayoutEntry Entry(std::string hostPath, std::string name, uint32_t flags, std::vector<uint32_t> copies) {
  LayoutEntry entry;
  entry.hostPath = std::move(hostPath);
  entry.name = std::move(name);
  entry.flags = flags;
  entry.type = {'*', 'd', 'i', 'r'};
  entry.blockSize = 2048;
  entry.byteCount = 2048;
  entry.blockCount = 1;
  entry.burst = 1;
  entry.lastCopyIndex = uint32_t(copies.size() - 1);
  entry.copies = std::move(copies);
  return entry;
}

LayoutDirectory Directory(std::string hostPath, uint32_t copy, std::vector<LayoutEntry> entries) {
  LayoutDirectory directory;
  directory.hostPath = std::move(hostPath);
  directory.blockSize = 2048;
  directory.blockCount = 1;
  directory.copies = {copy};
  directory.blocks = {{0xFFFFFFFF, 0xFFFFFFFF, 0, 20 + 72 * uint32_t(entries.size()), 20, uint32_t(entries.size())}};
  directory.entries = std::move(entries);
  return directory;
}

// A root holding a folder "sub" and a file "f" of two copies, "sub" holding
// "g", and one patch.
DiscLayout SmallLayout() {
  DiscLayout layout;
  layout.imageBlocks = 10;
  layout.blocksFile = "disc.blocks";
  layout.label.text = "CD-ROM";
  layout.label.blockCount = 10;
  layout.label.rootBlockCount = 1;
  layout.label.rootBlockSize = 2048;
  layout.label.rootCopies[0] = 1;
  LayoutEntry f = Entry("f", "f", 2, {3, 7});
  f.type = {'t', 'e', 'x', 't'};
  f.byteCount = 5;
  f.sha1 = std::string(40, 'a');
  layout.directories = {Directory("", 1, {Entry("sub", "sub", 7, {2}), f}),
                        Directory("sub", 2, {Entry("sub/g", "g", 2, {4})})};
  layout.patches = {{5, 2, 0}};
  return layout;
}

TEST(LayoutFileTest, EveryByteOfEveryFieldReadsBack) {
  DiscLayout layout = SmallLayout();
  // Every byte a name can hold (none is zero), the type's zero bytes and the
  // byte Windows-1251 leaves unassigned, in the label's text fields too.
  std::vector<std::string> names;
  for (int first = 1; first < 256; first += 32) {
    std::string name;
    for (int byte = first; byte < first + 32 && byte < 256; ++byte) name += char(byte);
    names.push_back(name);
  }
  LayoutDirectory& root = layout.directories[0];
  for (size_t i = 0; i < names.size(); ++i) {
    LayoutEntry entry = Entry("n" + std::to_string(i), names[i], 0xC0000006u + uint32_t(i), {UINT32_MAX});
    entry.type = {0, 0x98, '\n', 0xFF};
    entry.uniqueId = UINT32_MAX - uint32_t(i);
    entry.gap = uint32_t(i);
    root.entries.push_back(entry);
  }
  root.blocks[0].entryCount = uint32_t(root.entries.size());
  layout.label.comment = names[0];
  layout.label.text = names[7];
  layout.label.flags = 0xFF;
  layout.label.lastRootCopy = UINT32_MAX;
  layout.label.rootCopies = {1, 2, 3, 4, 5, 6, 7, UINT32_MAX};
  layout.directories[1].entries[0].hostPath = "sub/Игры ~1.!3A";
  layout.patches.push_back({9, 1, UINT64_MAX - 2048});

  const std::string text = LayoutText(layout);
  const Result<DiscLayout> read = ParseLayout(text);
  ASSERT_TRUE(read.Ok()) << read.Failure().text;
  EXPECT_TRUE(*read == layout);
  EXPECT_EQ(LayoutText(*read), text);
  // One line a record, each starting as the documentation says.
  EXPECT_TRUE(text.starts_with("{\"zanthrelLayout\":1,"));
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1 + 2 + 2 + 1 + 2 + int(names.size()));
  EXPECT_NE(text.find("\"type\":\"\\u0000\u0098\\u000aя\""), std::string::npos);
}

TEST(LayoutFileTest, ScannedDiscsReadBackAsTheyWereScanned) {
  testkit::TempFolder temp;
  testkit::WriteBytes(temp / "sample.iso", testkit::MakeSampleDisc().image);
  for (const std::string& image : {temp / "sample.iso", testkit::WriteMasteredDisc(temp.Path().string())}) {
    ImageSource source;
    ASSERT_TRUE(OpenImageFile(source, image));
    Result<DiscLayout> layout = ScanLayout(source, {});
    ASSERT_TRUE(layout.Ok());
    layout->directories[0].entries[0].sha1 = "0123456789abcdef0123456789abcdef01234567";
    layout->blocksFile = "disc.blocks";
    layout->patches = {{0, 2, 0}, {4, 3, 4096}, {layout->imageBlocks - 1, 1, 10240}};
    const Result<DiscLayout> read = ParseLayout(LayoutText(*layout));
    ASSERT_TRUE(read.Ok()) << image << ": " << read.Failure().text;
    EXPECT_TRUE(*read == *layout) << image;
  }
}

// The small layout's text with `from` (which it must hold) replaced by `to`.
std::string Changed(const std::string& from, const std::string& to) {
  std::string text = LayoutText(SmallLayout());
  const size_t at = text.find(from);
  if (at == std::string::npos) ADD_FAILURE() << "not in the layout: " << from;
  return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

TEST(LayoutFileTest, WhatIsNotASoundLayoutIsRefusedWithItsLineAndReason) {
  const std::string good = LayoutText(SmallLayout());
  ASSERT_TRUE(ParseLayout(good).Ok()) << good;
  const std::string lastLine = "{\"patch\":5,\"blocks\":2,\"offset\":0}\n";
  const struct {
    std::string text;
    std::string error;
  } cases[] = {
      // Not a layout, or not one of this version.
      {"", "line 1: the file is empty, not a layout"},
      {"[1]\n", "line 1: not a JSON object"},
      {Changed("{\"zanthrelLayout\":1", "{\"zanthrelLayout\":2"),
       "line 1: layout version 2 is not known; this reader knows version 1"},
      {Changed("\"zanthrelLayout\":1", "\"zanthrel\":1"), "line 1: not a zanthrel layout: no member \"zanthrelLayout\""},
      // JSON that is not sound, or not what this reader takes.
      {Changed("\"directory\":\"sub\"", "\"directory\":\"sub"), "line 5: at byte 20: an object without a comma or its end"},
      {Changed("\"sha1\":\"\"}", "\"sha1\":\"\""), "line 3: at byte 173: an object without a comma or its end"},
      {Changed("\"gap\":0", "\"gap\":-1"), "line 3: at byte 131: a negative number"},
      {Changed("\"gap\":0", "\"gap\":0.5"), "line 3: at byte 132: a number that is not whole"},
      {Changed("\"gap\":0", "\"gap\":01"), "line 3: at byte 131: a number with a leading zero"},
      {Changed("\"imageBlocks\":10", "\"imageBlocks\":18446744073709551616"), "line 1: at byte 54: a number too large"},
      {Changed("\"name\":\"g\"", "\"name\":\"\\q\""), "line 6: at byte 28: an unknown escape"},
      {Changed("\"name\":\"g\"", "\"name\":\"\\ud800\""), "line 6: at byte 32: a lone surrogate"},
      {Changed("\"name\":\"g\"", "\"name\":\"\xC0\xAF\""), "line 6: at byte 26: a string that is not UTF-8"},
      {Changed("\"name\":\"g\"", "\"name\":\"\t\""), "line 6: at byte 26: a control character in a string"},
      {Changed("\"gap\":0", "\"gap\":0,\"gap\":0"), "line 3: at byte 138: a member named twice: gap"},
      {Changed("\"gap\":0", "\"gap\":[[[[[[[[[[[[[[[[[0]]]]]]]]]]]]]]]]]"), "line 3: at byte 146: nested too deep"},
      {Changed(lastLine, "{} x\n"), "line 7: at byte 4: text after the value"},
      {good + "{}\n", "line 8: a line past the layout's patches"},
      // Fields missing, of the wrong kind, unknown, or past their bounds.
      {Changed("\"imageBlocks\":10", "\"imageBlocks\":\"10\""), "line 1: \"imageBlocks\" must be a number"},
      {Changed(",\"burst\":1", ""), "line 3: member \"burst\" is missing"},
      {Changed(lastLine, "{\"patch\":5,\"blocks\":2,\"offset\":0,\"extra\":0}\n"), "line 7: unknown member \"extra\""},
      {Changed("\"rootId\":0", "\"rootId\":0,\"x\":1"), "line 1: unknown member \"x\""},
      {Changed("\"byteCount\":5", "\"byteCount\":4294967296"), "line 4: \"byteCount\" is more than 4294967295"},
      {Changed("\"copies\":[3,7]", "\"copies\":[3,4294967296]"),
       "line 4: \"copies\" must hold numbers up to 4294967295"},
      {Changed("0,0,0,0,0,0,0]", "0,0,0,0,0,0]"), "line 1: \"rootCopies\" must hold the label's 8 slots"},
      {Changed("\"recordType\":1", "\"recordType\":256"), "line 1: \"recordType\" is more than 255"},
      {Changed("\"text\":\"CD-ROM\"", "\"text\":\"CD\\u0000ROM\""), "line 1: \"text\" holds a zero byte"},
      {Changed("\"name\":\"g\"", "\"name\":\"日\""), "line 6: \"name\" holds a character Windows-1251 has not"},
      {Changed("\"name\":\"g\"", "\"name\":\"" + std::string(33, 'g') + "\""),
       "line 6: \"name\" is longer than 32 bytes"},
      {Changed("\"type\":\"text\"", "\"type\":\"txt\""), "line 4: \"type\" must be 4 bytes"},
      {Changed("\"sha1\":\"aaaa", "\"sha1\":\"Aaaa"), "line 4: \"sha1\" must be empty or 40 lower-case hex digits of a file"},
      // Counts that do not add up.
      {Changed("\"lastCopyIndex\":1", "\"lastCopyIndex\":2"), "line 4: \"copies\" must hold \"lastCopyIndex\" + 1 blocks"},
      {Changed("\"lastCopyIndex\":1", "\"lastCopyIndex\":4294967295"),
       "line 4: \"copies\" must hold \"lastCopyIndex\" + 1 blocks"},
      {Changed("\"entries\":2,\"blocks\"", "\"entries\":3,\"blocks\""), "line 2: \"entries\" is 3 but the blocks hold 2"},
      {Changed("\"firstEntry\":20,\"entries\":2", "\"firstEntry\":20,\"entries\":31"), "line 2: \"entries\" is more than 30"},
      {Changed("\"blockCount\":1,\"copies\":[1]", "\"blockCount\":0,\"copies\":[1]"), "line 2: more blocks than \"blockCount\""},
      {Changed("\"directory\":\"\",\"blockSize\":2048", "\"directory\":\"\",\"blockSize\":19"),
       "line 2: blocks of a size no directory that reads has"},
      {Changed("\"directories\":2", "\"directories\":3"), "line 7: member \"directory\" is missing"},
      {Changed("\"patches\":1", "\"patches\":2"), "line 7: the file ends before its 2 directories and 2 patches"},
      {Changed("\"directories\":2", "\"directories\":0"), "line 1: a layout without its root directory"},
      {Changed("\"patches\":1", "\"patches\":0"), "line 7: a line past the layout's patches"},
      {good.substr(0, good.size() - lastLine.size()), "line 6: the file ends before its 2 directories and 1 patches"},
      {Changed("\"entries\":1,\"blocks\":[{\"next\":4294967295,\"previous\":4294967295,\"flags\":0,\"firstFree\":92,"
               "\"firstEntry\":20,\"entries\":1}]}\n{\"entry\":\"sub/g\"",
               "\"entries\":1,\"blocks\":[{\"next\":4294967295,\"previous\":4294967295,\"flags\":0,\"firstFree\":92,"
               "\"firstEntry\":20,\"entries\":1}]}\n"),
       "line 6: at byte 1: not a JSON value"},
      // Paths that could lead outside the folder, or that do not fit the tree.
      {Changed("\"entry\":\"sub/g\"", "\"entry\":\"/sub/g\""), "line 6: a path that leads outside the folder"},
      {Changed("\"entry\":\"sub/g\"", "\"entry\":\"sub/../g\""), "line 6: a path that leads outside the folder"},
      {Changed("\"entry\":\"sub/g\"", "\"entry\":\"sub//g\""), "line 6: a path that leads outside the folder"},
      {Changed("\"entry\":\"sub/g\"", "\"entry\":\"sub/\\\\g\""), "line 6: a path that leads outside the folder"},
      {Changed("\"entry\":\"sub/g\"", "\"entry\":\"sub/g\\u0000\""), "line 6: a path that leads outside the folder"},
      {Changed("\"entry\":\"sub/g\"", "\"entry\":\"sub/C:g\""), "line 6: a path that leads outside the folder"},
      {Changed("\"entry\":\"sub/g\"", "\"entry\":\"sub/.\""), "line 6: a path that leads outside the folder"},
      {Changed("\"entry\":\"f\"", "\"entry\":\"sub\""), "line 4: a path named twice"},
      {Changed("\"entry\":\"sub/g\"", "\"entry\":\"g\""), "line 6: a path that does not lie in its directory"},
      {Changed("\"entry\":\"sub\"", "\"entry\":\"\""), "line 3: a folder entry without a path"},
      {Changed("\"directory\":\"sub\"", "\"directory\":\"../sub\""), "line 5: a directory path that leads outside the folder"},
      {Changed("\"directory\":\"sub\"", "\"directory\":\"f\""), "line 5: a directory that no folder entry before it names"},
      {Changed("\"directory\":\"\"", "\"directory\":\"x\""), "line 2: the first directory must be the root, \"\""},
      {Changed("\"blocksFile\":\"disc.blocks\"", "\"blocksFile\":\"../disc.blocks\""),
       "line 1: \"blocksFile\" must be a plain file name beside the layout"},
      {Changed("\"blocksFile\":\"disc.blocks\"", "\"blocksFile\":\"C:disc.blocks\""),
       "line 1: \"blocksFile\" must be a plain file name beside the layout"},
      // Patches that do not fit the image or each other.
      {Changed(lastLine, "{\"patch\":9,\"blocks\":2,\"offset\":0}\n"), "line 7: a patch past the image's blocks"},
      {Changed(lastLine, "{\"patch\":5,\"blocks\":0,\"offset\":0}\n"), "line 7: a patch of no blocks"},
      {Changed("\"patches\":1", "\"patches\":2") + lastLine, "line 8: a patch before or over the one above it"},
      {Changed(lastLine, "{\"patch\":5,\"blocks\":2,\"offset\":18446744073709551615}\n"),
       "line 7: a patch past what a blocks file can hold"},
      {Changed("\"blocksFile\":\"disc.blocks\"", "\"blocksFile\":\"\""), "line 7: a patch without a blocks file"},
  };
  for (const auto& [text, error] : cases) {
    const Result<DiscLayout> read = ParseLayout(text);
    if (read.Ok()) {
      ADD_FAILURE() << "taken: " << text;
    } else {
      EXPECT_EQ(read.Failure().text, error) << text;
    }
  }
}

}  // namespace
}  // namespace zanthrel
