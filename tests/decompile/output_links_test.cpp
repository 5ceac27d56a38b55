// Decompile never writes outside its output folder, whatever stands in it
// already: a link where the disc has a folder or a file, in place of the log
// or of PARCE_<base> itself is refused as a write failure of that entry, and
// nothing it leads to is written or emptied. A folder that cannot be made for
// a reason of its own is passed over and named, and the run goes on.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/text.h"
#include "testkit/faulty_host.h"
#include "testkit/files.h"
#include "testkit/image_builder.h"
#include "testkit/log_text.h"
#include "testkit/process.h"
#include "testkit/temp_folder.h"
#include "workflow/decompile_job.h"

namespace zanthrel {
namespace {

namespace fs = std::filesystem;
using testkit::Bytes;
using testkit::Win;

std::string TextOf(const fs::path& file) { return testkit::ReadText(testkit::Utf8Of(file)); }

constexpr uint32_t kBigBytes = 200000;  // copied straight from the image, past the write queue

// A root holding a folder "first" (with a small file), a large file "big", a
// small file "small" and, last, a small file "later".
Bytes Disc() {
  testkit::ImageBuilder builder(4 + kBigBytes / 2048 + 4);
  builder.Label({});
  const uint32_t small = 3 + kBigBytes / 2048 + 1;
  builder.Directory(1, {testkit::DirEntry("first", 2), testkit::FileEntry("big", 3, kBigBytes),
                        testkit::FileEntry("small", small, 5), testkit::FileEntry("later", small + 1, 5)});
  builder.Directory(2, {testkit::FileEntry("inner", small, 5)});
  builder.Data(3, testkit::Pattern(kBigBytes, 1));
  builder.Data(small, Bytes{'s', 'm', 'a', 'l', 'l'});
  builder.Data(small + 1, Bytes{'l', 'a', 't', 'e', 'r'});
  return builder.Image();
}

class OutputLinkTest : public ::testing::Test {
 protected:
  void SetUp() override {
#ifdef _WIN32
    GTEST_SKIP() << "symbolic links need rights that a test cannot count on here";
#endif
    testkit::WriteBytes(temp_ / "disc.iso", Disc());
    fs::create_directories(temp_.Path() / "outside");
    testkit::WriteText(temp_ / "outside/victim", "keep me");
  }
  DecompileReport Run(Host& host = SystemHost()) {
    DecompileRequest request;
    request.imagePath = temp_ / "disc.iso";
    request.outputDir = temp_.Path().string();
    request.host = &host;
    request.force = true;  // the links stand in the folder already
    return DecompileImageFile(request);
  }
  // Where the run makes its folder, and a link there to what lies outside.
  fs::path Out(const std::string& relative) const { return temp_.Path() / "PARCE_disc" / relative; }
  void LinkOutside(const std::string& relative, const std::string& target) {
    fs::create_directories(Out(relative).parent_path());
    fs::create_symlink(temp_.Path() / "outside" / target, Out(relative));
  }
  std::string RealOut(const std::string& relative) const {
    return testkit::Utf8Of(fs::canonical(temp_.Path())) + "/PARCE_disc/" + relative;
  }
  void ExpectOutsideUntouched() const {
    EXPECT_EQ(testkit::NamesBelow(temp_.Path() / "outside"), std::vector<std::string>{"victim"});
    EXPECT_EQ(testkit::ReadText(temp_ / "outside/victim"), "keep me");
  }
  std::string Log() const { return testkit::ReadText(temp_ / "disc.log"); }

  testkit::TempFolder temp_;
};

const std::string kWithWriteErrors = "!!!Образ демонтирован с ошибками записи! Выход.\n";

TEST_F(OutputLinkTest, LinksWhereTheDiscHasFilesAreWriteFailures) {
  // One through the write queue, one copied straight, one to nowhere yet.
  LinkOutside("small", "victim");
  LinkOutside("big", "victim");
  LinkOutside("first/inner", "new");
  const DecompileReport report = Run();
  EXPECT_EQ(report.outcome, DecompileOutcome::kWriteFailures);
  ExpectOutsideUntouched();
  const std::string log = Log();
  for (const char* name : {"small", "big", "first/inner"}) {
    EXPECT_NE(log.find(Win("!!!Не удалось записать файл ") + RealOut(name) + "!\n"), std::string::npos) << name;
    EXPECT_TRUE(fs::is_symlink(Out(name))) << name;
  }
  EXPECT_TRUE(log.ends_with(Win(kWithWriteErrors)));
  EXPECT_EQ(report.failedPath, RealOut("first/inner"));
  EXPECT_EQ(TextOf(Out("later")), "later");
}

TEST_F(OutputLinkTest, LinkWhereTheDiscHasAFolderIsPassedOver) {
  LinkOutside("first", "");
  const DecompileReport report = Run();
  EXPECT_EQ(report.outcome, DecompileOutcome::kWriteFailures);
  ExpectOutsideUntouched();
  ASSERT_EQ(report.skippedFolders.size(), 1u);
  EXPECT_EQ(report.skippedFolders[0].path, RealOut("first"));
  EXPECT_EQ(report.skippedFolders[0].error.code, ELOOP);
  EXPECT_NE(Log().find(Win("!!!Не удалось создать директорию " + RealOut("first") +
                           "! Пропущена со всем содержимым.\n")),
            std::string::npos);
  EXPECT_TRUE(Log().ends_with(Win(kWithWriteErrors)));
  // The entries after it are written all the same.
  EXPECT_EQ(TextOf(Out("later")), "later");
  EXPECT_EQ(fs::file_size(Out("big")), kBigBytes);
}

TEST_F(OutputLinkTest, LinkInPlaceOfTheLogIsNotFollowed) {
  fs::create_symlink(temp_.Path() / "outside/victim", temp_.Path() / "disc.log");
  const DecompileReport report = Run();
  EXPECT_EQ(report.outcome, DecompileOutcome::kWriteFailures);
  ExpectOutsideUntouched();
  EXPECT_TRUE(fs::is_symlink(temp_.Path() / "disc.log"));
  EXPECT_FALSE(report.logWritten);  // nor read through the link
  EXPECT_EQ(TextOf(Out("later")), "later");
}

TEST_F(OutputLinkTest, OutputFolderThatIsALinkIsRefused) {
  fs::create_directory_symlink(temp_.Path() / "outside", temp_.Path() / "PARCE_disc");
  const DecompileReport report = Run();
  EXPECT_EQ(report.outcome, DecompileOutcome::kCannotMakeFolder);
  ExpectOutsideUntouched();
  EXPECT_TRUE(Log().ends_with(Win("!!!Не удалось создать директорию! Выход.\n")));
  EXPECT_NE(DescribeReport(report, "disc.iso").find("a symbolic link stands there"), std::string::npos);
}

TEST_F(OutputLinkTest, TheFolderGivenMayBeReachedThroughALink) {
  fs::create_directories(temp_.Path() / "real");
  fs::create_directory_symlink(temp_.Path() / "real", temp_.Path() / "via");
  DecompileRequest request;
  request.imagePath = temp_ / "disc.iso";
  request.outputDir = temp_ / "via";
  const DecompileReport report = DecompileImageFile(request);
  EXPECT_TRUE(report.Succeeded()) << DescribeReport(report, "disc.iso");
  EXPECT_EQ(testkit::ReadText(temp_ / "real/PARCE_disc/later"), "later");
}

TEST_F(OutputLinkTest, EveryLinkFailureEndsTheCommandWithStatus1) {
  LinkOutside("small", "victim");
  testkit::ProcessOutcome outcome = testkit::RunZanthrel("decompile -q -f disc.iso");
  EXPECT_EQ(outcome.status, 1) << outcome.err;
  fs::remove_all(temp_.Path() / "PARCE_disc");
  LinkOutside("first", "");
  outcome = testkit::RunZanthrel("decompile -q -f disc.iso");
  EXPECT_EQ(outcome.status, 1) << outcome.err;
  EXPECT_NE(outcome.err.find("zanthrel: " + RealOut("first") + ": a symbolic link stands there"), std::string::npos)
      << outcome.err;
  fs::remove(temp_.Path() / "PARCE_disc/first");
  fs::remove_all(temp_.Path() / "PARCE_disc");
  fs::create_directory_symlink(temp_.Path() / "outside", temp_.Path() / "PARCE_disc");
  // A link to a folder that holds files is refused before any work, unforced.
  EXPECT_EQ(testkit::RunZanthrel("decompile -q disc.iso").status, 2);
  outcome = testkit::RunZanthrel("decompile -q -f disc.iso");
  EXPECT_EQ(outcome.status, 1) << outcome.err;
  ExpectOutsideUntouched();
}

class FolderSkipTest : public OutputLinkTest {};

// A file where a folder goes, or a folder name the host refuses: that folder
// is passed over and named, and the run goes on and ends with problems.
TEST_F(FolderSkipTest, FolderThatCannotBeMadeIsPassedOverAndTheRunGoesOn) {
  fs::create_directories(temp_.Path() / "PARCE_disc");
  testkit::WriteText(temp_ / "PARCE_disc/first", "mine");
  DecompileReport report = Run();
  EXPECT_EQ(report.outcome, DecompileOutcome::kWriteFailures);
  EXPECT_EQ(TextOf(Out("first")), "mine");
  ASSERT_EQ(report.skippedFolders.size(), 1u);
  EXPECT_EQ(report.skippedFolders[0].error.code, ENOTDIR);
  EXPECT_EQ(TextOf(Out("later")), "later");
  const std::vector<std::string> lines = DescribeSkippedFolders(report);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0], RealOut("first") + ": " + ErrorText(ENOTDIR) +
                          "; the folder and everything in it were passed over");

  fs::remove_all(temp_.Path() / "PARCE_disc");
  testkit::FaultyHost host;
  host.Add({testkit::HostCall::kMakeFolder, "PARCE_disc/first", ENAMETOOLONG});
  report = Run(host);
  EXPECT_EQ(report.outcome, DecompileOutcome::kWriteFailures);
  ASSERT_EQ(report.skippedFolders.size(), 1u);
  EXPECT_EQ(TextOf(Out("later")), "later");
  EXPECT_FALSE(fs::exists(Out("first")));
}

// Error lines show a long path shortened in its middle.
TEST_F(FolderSkipTest, ErrorLinesShortenLongPaths) {
  const std::string name(32, 'n');
  testkit::ImageBuilder builder(12);
  builder.Label({});
  for (uint32_t level = 0; level < 8; ++level) builder.Directory(1 + level, {testkit::DirEntry(name, 2 + level)});
  builder.Directory(9, {});
  testkit::WriteBytes(temp_ / "disc.iso", builder.Image());
  testkit::FaultyHost host;
  std::string deepest = "PARCE_disc";
  for (int level = 0; level < 8; ++level) deepest += "/" + name;
  host.Add({testkit::HostCall::kMakeFolder, deepest, ENAMETOOLONG});
  const DecompileReport report = Run(host);
  ASSERT_EQ(report.skippedFolders.size(), 1u);
  const std::string& path = report.skippedFolders[0].path;
  ASSERT_GT(path.size(), 200u);
  EXPECT_EQ(DescribeSkippedFolders(report)[0],
            ShortenedPath(path) + ": " + ErrorText(ENAMETOOLONG) + "; the folder and everything in it were passed over");
  const std::string described = DescribeReport(report, "disc.iso");
  EXPECT_EQ(described.find(path), std::string::npos);
  EXPECT_NE(described.find(ShortenedPath(path) + ": " + ErrorText(ENAMETOOLONG)), std::string::npos) << described;
}

}  // namespace
}  // namespace zanthrel
