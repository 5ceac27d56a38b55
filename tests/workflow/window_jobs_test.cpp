// What both windows do once their dialogs have answered: where the output
// goes, the status line after each kind of ending, the progress bar's
// position, and what OK does with a typed folder path.
#include <gtest/gtest.h>

#include <filesystem>
#include <utility>
#include <vector>

#include "support/text.h"
#include "testkit/files.h"
#include "testkit/log_text.h"
#include "testkit/memory_device.h"
#include "testkit/sample_disc.h"
#include "testkit/temp_folder.h"
#include "workflow/folder_choice.h"
#include "workflow/window_jobs.h"

namespace zanthrel {
namespace {

namespace fs = std::filesystem;

const std::string kSep(1, kPathSeparator);

TEST(WindowJobsTest, ImageOutputGoesBesideTheImageAndDriveOutputIntoTheChosenFolder) {
  const DecompileRequest nested =
      ImageDecompileRequest("discs" + kSep + "old" + kSep + "game.iso.gz", true, false);
  EXPECT_EQ(nested.outputDir, "discs" + kSep + "old");
  EXPECT_TRUE(nested.additionalInfo);
  EXPECT_FALSE(nested.extractDiscLabel);
  EXPECT_EQ(nested.drive, nullptr);
  // A bare name lies in the current directory; a file at the root beside the
  // root, which an empty folder stands for when joined.
  EXPECT_EQ(ImageDecompileRequest("game.iso", false, true).outputDir, ".");
  EXPECT_EQ(ImageDecompileRequest(kSep + "game.iso", false, false).outputDir, "");
  // "/" separates on every host.
  EXPECT_EQ(ImageDecompileRequest("discs/old" + kSep + "game.iso", false, false).outputDir,
            "discs/old");
  EXPECT_EQ(ImageDecompileRequest("discs/game.iso", false, false).outputDir, "discs");

  MemoryDevice device;
  const DecompileRequest drive = DriveDecompileRequest("D:", "out", device, false, true);
  EXPECT_EQ(drive.imagePath, "D:");
  EXPECT_EQ(drive.outputDir, "out");
  EXPECT_EQ(drive.drive, &device);
  EXPECT_TRUE(drive.extractDiscLabel);
}

TEST(WindowJobsTest, DecompileStatusIsTheLogsLastLineUnlessTheImageDidNotOpen) {
  testkit::TempFolder temp;
  testkit::WriteBytes(temp / "game.iso", testkit::MakeSampleDisc().image);
  const DecompileRequest good = ImageDecompileRequest(temp / "game.iso", false, false);
  EXPECT_EQ(DecompileStatusLine(DecompileImageFile(good), good.imagePath),
            "Образ демонтирован успешно. Выход.");

  testkit::WriteBytes(temp / "junk.iso", testkit::Bytes(5000, 1));
  const DecompileRequest junk = ImageDecompileRequest(temp / "junk.iso", false, false);
  const std::string status = DecompileStatusLine(DecompileImageFile(junk), junk.imagePath);
  EXPECT_NE(status.find("junk.iso"), std::string::npos) << status;
  EXPECT_NE(status.find("no Opera volume label found"), std::string::npos) << status;
  EXPECT_FALSE(fs::exists(temp.Path() / "PARCE_junk"));

  DecompileReport numbered;
  numbered.opened = true;
  numbered.outcome = DecompileOutcome::kDone;
  numbered.finalLogLine = testkit::Win("Образ демонтирован успешно. Выход.");
  numbered.renamed = {"/o/x: written as \"x~1\" (why)", "/o/y: written as \"y~1\" (why)"};
  EXPECT_EQ(DecompileStatusLine(numbered, "x.iso"),
            "Образ демонтирован успешно. Выход. Names numbered: 2; /o/x: written as \"x~1\" (why)");
}

TEST(WindowJobsTest, CompileStatusNamesTheImageTheFailureOrTheFirstChangedName) {
  testkit::TempFolder temp;
  UniqueIdGenerator ids;
  fs::create_directories(temp.Path() / "src");
  testkit::WriteText(temp / "src/file", "content");
  const std::string image = temp / "out.iso";
  // The window always writes the boot area, and the folder holds no boot file.
  EXPECT_EQ(CompileStatusLine(CompileFolderToImage(WindowCompileRequest(temp / "src", image, ids)),
                              image),
            "Image written, 1 warning: " + testkit::NoBootFilesWarning(temp / "src"));

  // Two names alike in their first 32 bytes: both are cut, one is made unique.
  const std::string longName(32, 'n');
  testkit::WriteText(temp / ("src/" + longName + "1"), "a");
  testkit::WriteText(temp / ("src/" + longName + "2"), "b");
  const std::string renamed =
      CompileStatusLine(CompileFolderToImage(WindowCompileRequest(temp / "src", image, ids)), image);
  EXPECT_EQ(renamed.rfind("Image written, 2 names changed: ", 0), 0u) << renamed;
  EXPECT_NE(renamed.find(longName), std::string::npos) << renamed;

  const std::string nowhere = temp / "missing/out.iso";
  const std::string failed = CompileStatusLine(
      CompileFolderToImage(WindowCompileRequest(temp / "src", nowhere, ids)), nowhere);
  EXPECT_EQ(failed.rfind("Image not written: ", 0), 0u) << failed;
  EXPECT_FALSE(fs::exists(temp.Path() / "missing"));
}

// The save dialog's choice names the container of a name typed without an
// extension; Compile ISO then writes that container, the image inside the
// folder being compiled included.
TEST(WindowJobsTest, TheSaveChoiceNamesTheContainerWritten) {
  EXPECT_EQ(WithChoiceSuffix("game", 1), "game.cue");
  EXPECT_EQ(WithChoiceSuffix("game.iso", 2), "game.iso");
  EXPECT_EQ(WithChoiceSuffix("v1.0" + kSep + "game", 2), "v1.0" + kSep + "game.chd");

  testkit::TempFolder temp;
  UniqueIdGenerator ids;
  fs::create_directories(temp.Path() / "src");
  testkit::WriteText(temp / "src/file", "content");
  const std::string image = temp / WithChoiceSuffix("src/game", 1);
  EXPECT_EQ(CompileStatusLine(CompileFolderToImage(WindowCompileRequest(temp / "src", image, ids)), image),
            "Image written, 1 warning: " + testkit::NoBootFilesWarning(temp / "src"));
  EXPECT_EQ(testkit::NamesBelow(temp.Path() / "src"),
            (std::vector<std::string>{"file", "game (Track 1).bin", "game.cue"}));
}

TEST(WindowJobsTest, CompileRefusesAnImagePathThatIsNotARegularFile) {
  testkit::TempFolder temp;
  UniqueIdGenerator ids;
  fs::create_directories(temp.Path() / "src");
  testkit::WriteText(temp / "src/file", "content");
  fs::create_directories(temp.Path() / "folder.iso");
  std::vector<std::pair<std::string, std::string>> refused = {{temp / "folder.iso", "a folder"}};
#ifndef _WIN32  // a link as POSIX makes it
  testkit::WriteText(temp / "old.iso", "old");
  fs::create_symlink("old.iso", temp.Path() / "link.iso");
  refused.push_back({temp / "link.iso", "a symbolic link"});
#endif
  for (const auto& [image, what] : refused) {
    const CompileReport report = CompileFolderToImage(WindowCompileRequest(temp / "src", image, ids));
    EXPECT_TRUE(report.refused) << image;
    EXPECT_EQ(CompileStatusLine(report, image),
              "Image not written: " + image + ": not a regular file (" + what +
                  "); the image is written only to a regular file or a new name");
  }
  EXPECT_TRUE(fs::is_empty(temp.Path() / "folder.iso"));
#ifndef _WIN32
  EXPECT_EQ(testkit::ReadText(temp / "old.iso"), "old");
  EXPECT_TRUE(fs::is_symlink(temp.Path() / "link.iso"));
#endif
}

TEST(WindowJobsTest, CompileReplacesWhatTheSaveDialogConfirmedEvenInsideTheFolder) {
  testkit::TempFolder temp;
  UniqueIdGenerator ids;
  fs::create_directories(temp.Path() / "src");
  testkit::WriteText(temp / "src/file", "content");
  testkit::WriteText(temp / "old.iso", "old");
  // The dialog asked before it gave a name that exists; the command line's
  // rules are not the window's.
  for (const std::string& image : {temp / "old.iso", temp / "src/inside.iso"}) {
    const CompileReport report = CompileFolderToImage(WindowCompileRequest(temp / "src", image, ids));
    EXPECT_TRUE(report.written) << image << ": " << report.failure;
    EXPECT_EQ(fs::file_size(image), 305u * 2048) << image;  // boot area, file, root
  }
  // The image written inside the folder is never packed into a later one.
  const CompileReport again =
      CompileFolderToImage(WindowCompileRequest(temp / "src", temp / "src/inside.iso", ids));
  EXPECT_TRUE(again.written);
  EXPECT_EQ(fs::file_size(temp.Path() / "src/inside.iso"), 305u * 2048);

  // The command line's rules, as a request of its own gives them.
  CompileRequest forced = WindowCompileRequest(temp / "src", temp / "src/inside.iso", ids);
  forced.replace = ReplaceRule::kForced;
  const CompileReport refused = CompileFolderToImage(forced);
  EXPECT_TRUE(refused.refused);
  EXPECT_NE(refused.failure.find("lies inside the folder being compiled"), std::string::npos) << refused.failure;
  forced.imagePath = temp / "old.iso";
  forced.replace = ReplaceRule::kRefuseExisting;
  EXPECT_EQ(CompileFolderToImage(forced).failure,
            temp / "old.iso" + ": exists already; use -f or --force to replace it");
}

TEST(WindowJobsTest, CompileStatusNamesTheFirstWarningOfAnImageWritten) {
#ifdef _WIN32
  GTEST_SKIP() << "symbolic links as POSIX makes them";
#else
  testkit::TempFolder temp;
  UniqueIdGenerator ids;
  fs::create_directories(temp.Path() / "src");
  testkit::WriteText(temp / "secret", "key");
  fs::create_symlink("../secret", temp.Path() / "src/key");
  const std::string image = temp / "out.iso";
  const std::string status =
      CompileStatusLine(CompileFolderToImage(WindowCompileRequest(temp / "src", image, ids)), image);
  EXPECT_EQ(status, "Image written, 2 warnings: " + fs::canonical(temp.Path() / "src").string() +
                        "/key: a link to " + fs::canonical(temp.Path() / "secret").string() +
                        ", outside the folder being compiled");
#endif
}

TEST(WindowJobsTest, ProgressStaysWithinTheBar) {
  EXPECT_EQ(ProgressPercent(5, 0), 0);
  EXPECT_EQ(ProgressPercent(0, 10), 0);
  EXPECT_EQ(ProgressPercent(1, 3), 33);
  EXPECT_EQ(ProgressPercent(10, 10), 100);
  EXPECT_EQ(ProgressPercent(11, 10), 100);
  // A 4 GiB file is counted in bytes.
  EXPECT_EQ(ProgressPercent(3ull << 31, 1ull << 33), 75);
}

TEST(FolderChoiceTest, MissingFolderIsCreatedWithItsParentsOnlyAfterYes) {
  testkit::TempFolder temp;
  std::vector<std::string> asked;
  bool answer = false;
  const auto confirm = [&](const std::string& path) {
    asked.push_back(path);
    return answer;
  };
  const std::string missing = temp / "a/b/c";
  EXPECT_EQ(AcceptFolder(missing, confirm).choice, FolderChoice::kKeepOpen);
  EXPECT_EQ(asked, std::vector<std::string>{missing});
  EXPECT_FALSE(fs::exists(temp.Path() / "a"));

  answer = true;
  EXPECT_EQ(AcceptFolder(missing, confirm).choice, FolderChoice::kAccepted);
  EXPECT_TRUE(fs::is_directory(temp.Path() / "a/b/c"));
  EXPECT_EQ(asked.size(), 2u);

  // An existing folder needs no question, and an empty field is no answer.
  EXPECT_EQ(AcceptFolder(temp.Path().string(), confirm).choice, FolderChoice::kAccepted);
  EXPECT_EQ(AcceptFolder("", confirm).choice, FolderChoice::kKeepOpen);
  EXPECT_EQ(asked.size(), 2u);
}

TEST(FolderChoiceTest, AFileInTheWayIsReportedAndLeftAsItWas) {
  testkit::TempFolder temp;
  testkit::WriteText(temp / "file", "kept");
  for (const std::string& path : {temp / "file", temp / "file/below"}) {
    SCOPED_TRACE(path);
    const FolderAnswer answer = AcceptFolder(path, [](const std::string&) { return true; });
    EXPECT_EQ(answer.choice, FolderChoice::kNotCreated);
    EXPECT_EQ(answer.failure.rfind("The folder cannot be created: ", 0), 0u) << answer.failure;
    EXPECT_GT(answer.failure.size(), std::string("The folder cannot be created: ").size());
  }
  EXPECT_EQ(testkit::ReadText(temp / "file"), "kept");
  EXPECT_EQ(CreateFolderQuestion("C:\\new"), "The folder\nC:\\new\ndoes not exist. Create it?");
}

}  // namespace
}  // namespace zanthrel
