// Exact bytes of compiled images. Each compile runs in a fresh zanthrel
// process, so that its unique ids are those of a first run.
#include <gtest/gtest.h>

#include <filesystem>

#include "testkit/files.h"
#include "testkit/image_builder.h"
#include "testkit/process.h"
#include "testkit/temp_folder.h"

namespace zanthrel {
namespace {

namespace fs = std::filesystem;
using testkit::Bytes;
using testkit::ImageBuilder;

// The ids of a process's first image, one after the other: the volume, the
// root, then one per entry in the order compile gives them out.
const std::vector<uint32_t> kFirstRunIds = {0xA00BFEAA, 0x4017FD55, 0x802FFAAA,
                                            0x005FF554, 0x00BFEAA8, 0x017FD551};

testkit::ProcessOutcome Compile(const std::string& arguments) {
  return testkit::RunZanthrel("compile -q " + arguments);
}

testkit::LabelFields CompiledLabel(const std::vector<uint32_t>& ids, uint32_t rootBlock,
                                 uint32_t rootBlocks) {
  testkit::LabelFields label;
  label.volumeId = ids[0];
  label.rootId = ids[1];
  label.rootCopies = {rootBlock};
  label.rootBlockCount = rootBlocks;
  return label;
}

testkit::EntryFields CompiledLabelEntry(uint32_t id) {
  testkit::EntryFields entry = testkit::LabelEntry();
  entry.id = id;
  return entry;
}

TEST(ExactImageTest, FiveBlockExample) {
  testkit::TempFolder temp;
  fs::create_directories(temp / "src/D");
  Bytes text = testkit::Pattern(3000, 4);
  testkit::WriteBytes(temp / "src/A.TXT", text);
  testkit::WriteText(temp / "src/D/B", "");
  const testkit::ProcessOutcome run = Compile("--no-boot-area src image.iso");
  ASSERT_EQ(run.status, 0) << run.err;

  const std::vector<uint32_t>& ids = kFirstRunIds;
  ImageBuilder expected(5);
  expected.Fill(0);
  expected.Label(CompiledLabel(ids, 4, 1));
  expected.Data(1, text);
  testkit::EntryFields b = testkit::FileEntry("B", 3, 0);
  b.id = ids[3];
  expected.Fill(3);
  expected.Directory(3, {b});
  testkit::EntryFields a = testkit::FileEntry("A.TXT", 1, 3000);
  a.id = ids[2];
  a.type = "TXT ";
  testkit::EntryFields d = testkit::DirEntry("D", 3);
  d.id = ids[4];
  expected.Fill(4);
  expected.Directory(4, {a, d, CompiledLabelEntry(ids[5])});
  EXPECT_EQ(testkit::ReadBytes(temp / "image.iso"), expected.Image());

  // The same folder gives the same image on every run of a fresh process.
  ASSERT_EQ(Compile("--no-boot-area src again.iso").status, 0);
  EXPECT_EQ(testkit::ReadBytes(temp / "again.iso"), expected.Image());
}

TEST(ExactImageTest, EmptyFolderWithAndWithoutTheBootArea) {
  testkit::TempFolder temp;
  fs::create_directories(temp / "empty");
  const std::vector<uint32_t>& ids = kFirstRunIds;

  ASSERT_EQ(Compile("--no-boot-area empty small.iso").status, 0);
  ImageBuilder small(2);
  small.Fill(0);
  small.Label(CompiledLabel(ids, 1, 1));
  small.Fill(1);
  small.Directory(1, {CompiledLabelEntry(ids[2])});
  EXPECT_EQ(testkit::ReadBytes(temp / "small.iso"), small.Image());

  ASSERT_EQ(Compile("empty boot.iso").status, 0);
  ImageBuilder boot(304);
  for (uint32_t block = 0; block < 304; ++block) boot.Fill(block);
  boot.Label(CompiledLabel(ids, 303, 1));
  std::copy(boot.Block(0), boot.Block(0) + 2048, boot.Block(225));
  boot.Directory(303, {CompiledLabelEntry(ids[2])});
  const Bytes image = testkit::ReadBytes(temp / "boot.iso");
  EXPECT_EQ(image, boot.Image());
  EXPECT_EQ(std::string(image.begin() + 132, image.begin() + 136), "duck");
}

TEST(ExactImageTest, FailedWriteLeavesTheExistingImage) {
#ifdef _WIN32
  GTEST_SKIP() << "ulimit -f and SIGXFSZ are POSIX's";
#endif
  testkit::TempFolder temp;
  fs::create_directories(temp / "src");
  testkit::WriteBytes(temp / "src/big", testkit::Pattern(400000, 1));
  testkit::WriteText(temp / "image.iso", "the old image");
  // Writes past 64 KiB fail with EFBIG, as on a full disc.
  const testkit::ProcessOutcome run =
      testkit::RunZanthrel("compile -q -f src image.iso", "trap '' XFSZ; ulimit -f 64");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("image.iso: write failed"), std::string::npos);
  EXPECT_EQ(testkit::ReadText(temp / "image.iso"), "the old image");
  EXPECT_EQ(std::distance(fs::directory_iterator(temp.Path()), {}), 2);  // no leftover
}

}  // namespace
}  // namespace zanthrel
