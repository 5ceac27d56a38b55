#include "support/host.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/text.h"
#include "testkit/files.h"
#include "testkit/temp_folder.h"

namespace zanthrel {
namespace {

namespace fs = std::filesystem;
using testkit::TempFolder;

TEST(HostFileTest, InvalidHandleAnswersMinusOneEverywhere) {
  TempFolder temp;
  HostFile missing = OpenHostFile("missing", 0);
  EXPECT_FALSE(missing.IsOpen());
  char byte = 0;
  EXPECT_EQ(ReadHostFile(missing, &byte, 1), -1);
  EXPECT_EQ(WriteHostFile(missing, &byte, 1), -1);
  EXPECT_EQ(SeekHostFile(missing, 0, SeekOrigin::kStart), -1);
  CloseHostFile(missing);
  EXPECT_FALSE(OpenHostFile("missing", 3).IsOpen());
  testkit::WriteText("present", "x");
  EXPECT_FALSE(OpenHostFile("present", 3).IsOpen());
  EXPECT_TRUE(OpenHostFile("present", 4).IsOpen());  // only the two low bits count
}

TEST(HostFileTest, CreateEmptiesAnExistingFileAndBinaryDataPassesUnchanged) {
  TempFolder temp;
  testkit::WriteText("f", "old contents");
  {
    HostFile file = CreateHostFile("f");
    ASSERT_TRUE(file.IsOpen());
    EXPECT_EQ(SeekHostFile(file, 0, SeekOrigin::kEnd), 0);
    const char data[] = "a\r\nb\0c";
    EXPECT_EQ(WriteHostFile(file, data, 6), 6);
    EXPECT_EQ(SeekHostFile(file, 0, SeekOrigin::kEnd), 6);
    EXPECT_EQ(SeekHostFile(file, 1, SeekOrigin::kStart), 1);
    char back[8] = {};
    EXPECT_EQ(ReadHostFile(file, back, 8), 5);
    EXPECT_EQ(std::string(back, 5), std::string("\r\nb\0c", 5));
    EXPECT_EQ(ReadHostFile(file, back, 8), 0);
  }  // closes here
  EXPECT_EQ(fs::file_size("f"), 6u);
  HostFile moved = OpenHostFile("f", 0);
  HostFile target = std::move(moved);
  EXPECT_FALSE(moved.IsOpen());
  EXPECT_TRUE(target.IsOpen());
}

TEST(HostFolderTest, MakeAndEnterRelativeAndAbsolute) {
  TempFolder temp;
  EXPECT_TRUE(MakeDirectory("out"));
  EXPECT_TRUE(MakeDirectory("out"));  // existing folder counts as made
  EXPECT_FALSE(MakeDirectory("missing/child"));
  testkit::WriteText("file", "x");
  EXPECT_FALSE(MakeDirectory("file"));
  EXPECT_TRUE(MakeDirectory(temp / "abs"));

  std::string start = CurrentDirectory();
  EXPECT_TRUE(CanEnterDirectory("out"));
  EXPECT_FALSE(CanEnterDirectory("file"));
  EXPECT_FALSE(CanEnterDirectory("nowhere"));
  EXPECT_EQ(CurrentDirectory(), start);

  EXPECT_TRUE(EnterDirectory("out"));
  EXPECT_EQ(CurrentDirectory(), fs::canonical(temp.Path() / "out").string());
  EXPECT_TRUE(EnterDirectory(".."));
  EXPECT_TRUE(EnterDirectory(temp / "abs"));
  EXPECT_EQ(FileNameOf(CurrentDirectory()), "abs");
  EXPECT_FALSE(EnterDirectory(""));
}

TEST(HostFolderTest, CurrentDirectoryOfAnyLength) {
  TempFolder temp;
  std::string expected = fs::canonical(temp.Path()).string();
  for (int i = 0; i < 12; ++i) {
    std::string name(40, char('a' + i));
    ASSERT_TRUE(MakeDirectory(name));
    ASSERT_TRUE(EnterDirectory(name));
    expected += "/" + name;
  }
  EXPECT_GT(expected.size(), 255u);
  EXPECT_EQ(CurrentDirectory(), expected);
}

}  // namespace
}  // namespace zanthrel
