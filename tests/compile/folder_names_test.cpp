// Children whose names would meet on the disc: each keeps a name of its own,
// every change is reported, and a round trip loses no file.
#include "compile/folder_names.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "compile/compile_run.h"
#include "decompile/decompile_run.h"
#include "source/image_source.h"
#include "support/cp1251.h"
#include "support/text.h"
#include "testkit/files.h"
#include "testkit/process.h"
#include "testkit/temp_folder.h"

namespace zanthrel {
namespace {

namespace fs = std::filesystem;

std::vector<FolderItem> Files(const std::vector<std::string>& names) {
  std::vector<FolderItem> items;
  for (const std::string& name : names) items.push_back({false, name, {}, 0, 0, 0});
  return items;
}

// Stored names as UTF-8, each with its change when there is one.
std::vector<std::string> Stored(const std::vector<std::string>& hostNames, bool root = false) {
  std::vector<std::string> out;
  for (const StoredName& stored : StoredNames(Files(hostNames), root)) {
    out.push_back(Cp1251ToUtf8(stored.name) + (stored.change.empty() ? "" : " (" + stored.change + ")"));
  }
  return out;
}

TEST(StoredNamesTest, EveryWayTwoNamesCanMeet) {
  EXPECT_EQ(Stored({"中.txt", "文.txt", "?~1.txt"}),
            (std::vector<std::string>{"?.txt (characters without a Windows-1251 form)",
                                      "?~2.txt (another child has the name)", "?~1.txt"}));
  const std::string shared(32, 'n');
  EXPECT_EQ(Stored({shared + "-first.dat", shared + "-second.dat"}),
            (std::vector<std::string>{shared + " (cut to 32 bytes)",
                                      std::string(30, 'n') + "~1 (another child has the name)"}));
  // Escapes mean what they stand for.
  EXPECT_EQ(Stored({"a!3Ab", "a:b", "!41", "A"}),
            (std::vector<std::string>{"a:b", "a:b~1 (another child has the name)", "A",
                                      "A~1 (another child has the name)"}));
  // Only in the root does the label's name belong to the label.
  EXPECT_EQ(Stored({"Disc label", " disc LABEL\t", "Disc label~1"}, true),
            (std::vector<std::string>{"Disc label~2 (the volume label's name)",
                                      " disc LABEL\t~1 (the volume label's name)", "Disc label~1"}));
  EXPECT_EQ(Stored({"Disc label"}, false), (std::vector<std::string>{"Disc label"}));
}

TEST(StoredNamesTest, NumbersStayWithin32BytesAndKeepTheExtension) {
  EXPECT_EQ(NumberedName("photo.jpeg", 3), "photo~3.jpeg");
  EXPECT_EQ(NumberedName(std::string(32, 'x'), 12), std::string(29, 'x') + "~12");
  EXPECT_EQ(NumberedName(std::string(28, 'x') + ".txt", 1), std::string(26, 'x') + "~1.txt");
  const std::string longExtension = "a." + std::string(30, 'e');
  EXPECT_EQ(NumberedName(longExtension, 1), longExtension.substr(0, 30) + "~1");
  EXPECT_EQ(NumberedName(".profile", 1), ".profile~1");
}

TEST(StoredNamesTest, RoundTripOfMeetingNamesLosesNoFile) {
#ifdef _WIN32
  GTEST_SKIP() << "a host name holding \":\" is POSIX's";
#endif
  testkit::TempFolder temp;
  const std::string long1 = std::string(35, 'L') + "1", long2 = std::string(35, 'L') + "2";
  const std::vector<std::string> files = {"中.txt", "文.txt", "a:b", "a!3Ab", "Disc label", long1,
                                          "!41/x", "A/y"};
  for (size_t i = 0; i < files.size(); ++i) {
    fs::create_directories((temp.Path() / "src" / files[i]).parent_path());
    testkit::WriteText(temp / ("src/" + files[i]), "content " + std::to_string(i));
  }
  testkit::WriteText(temp / ("src/" + long2), "the other long one");
  const CompileReport report = CompileImage(temp / "src", temp / "names.iso", false);
  ASSERT_TRUE(report.written) << report.failure;
  EXPECT_TRUE(report.problems.empty());
  EXPECT_EQ(report.renamed.size(), 7u);  // both long names, 文, a:b, Disc label, and the folder A
  for (const std::string& line : report.renamed) EXPECT_NE(line.find(": stored as \""), std::string::npos);

  ImageSource source;
  ASSERT_TRUE(OpenImageFile(source, temp / "names.iso"));
  ASSERT_TRUE(DecompileImage(source, temp / "out", temp / "names.log").Succeeded());
  std::vector<std::string> contents;
  for (const auto& [path, content] : testkit::TreeOf(temp / "out")) {
    if (path.back() != '/') contents.push_back(content);
  }
  std::sort(contents.begin(), contents.end());
  std::vector<std::string> expected = {"the other long one"};
  for (size_t i = 0; i < files.size(); ++i) expected.push_back("content " + std::to_string(i));
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(contents, expected);
}

TEST(StoredNamesTest, TheCommandLineWarnsOfEachChangeAndSucceeds) {
  testkit::TempFolder temp;
  fs::create_directories(temp.Path() / "src");
  testkit::WriteText(temp / "src/中.txt", "1");
  testkit::WriteText(temp / "src/文.txt", "2");
  const testkit::ProcessOutcome outcome = testkit::RunZanthrel("compile src out.iso");
  EXPECT_EQ(outcome.status, 0) << outcome.err;
  const std::string root = testkit::Utf8Of(fs::canonical(temp.Path()) / "src") + kPathSeparator;
  EXPECT_EQ(outcome.err, "zanthrel: warning: " + root + "中.txt: stored as \"?.txt\" (characters without a "
                         "Windows-1251 form)\n"
                         "zanthrel: warning: " + root + "文.txt: stored as \"?~1.txt\" (another child has the name)\n"
                         "zanthrel: warning: " + testkit::NoBootFilesWarning(temp / "src") + "\n");
}

}  // namespace
}  // namespace zanthrel
