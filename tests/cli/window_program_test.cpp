// zanthrel run without arguments on Linux: where it finds the window program
// and how it becomes it, with real folders and a copy of zanthrel beside
// stand-ins for the window program, so that no window ever opens.
#include "cli/window_program.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "testkit/files.h"
#include "testkit/process.h"
#include "testkit/temp_folder.h"

namespace zanthrel {
namespace {

namespace fs = std::filesystem;

// The same environment with no desktop, or with Qt's offscreen platform as one.
const char kNoDisplay[] = "unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM";
const char kOffscreen[] = "unset DISPLAY WAYLAND_DISPLAY; export QT_QPA_PLATFORM=offscreen";

// An installed-like tree: TREE/bin/zanthrel (a copy of the one built) and an
// empty TREE/libexec/zanthrel.
class CopiedProgram {
 public:
  explicit CopiedProgram(const testkit::TempFolder& temp)
      : root_(fs::canonical(temp.Path()).string()), bin_(root_ + "/bin"), libexec_(root_ + "/libexec/zanthrel") {
    fs::create_directories(bin_);
    fs::create_directories(libexec_);
    fs::copy_file(testkit::ZanthrelProgram(), bin_ + "/zanthrel");
  }

  const std::string& Bin() const { return bin_; }
  const std::string& Libexec() const { return libexec_; }
  testkit::ProcessOutcome RunWithoutArguments(const std::string& setup) const { return Run("", setup); }
  testkit::ProcessOutcome Run(const std::string& arguments, const std::string& setup) const {
    return testkit::RunProgram("'" + bin_ + "/zanthrel'", arguments, setup);
  }

 private:
  std::string root_, bin_, libexec_;
};

// A window program that only tells that it ran, and with what, and ends with status 7.
void WriteStandIn(const std::string& path) {
  testkit::WriteText(path, "#!/bin/sh\necho \"stand-in at $0$@\"\nexit 7\n");
  fs::permissions(path, fs::perms::owner_exec, fs::perm_options::add);
}

std::string HelpText() { return testkit::RunZanthrel("--help").out; }

TEST(WindowProgramTest, IsLookedForBesideTheProgramThenInLibexec) {
  testkit::TempFolder temp;
  const std::string bin = temp / "bin", libexec = temp / "libexec/zanthrel";
  fs::create_directories(bin);
  fs::create_directories(libexec);
  Host& host = SystemHost();

  Result<std::string> found = cli::FindWindowProgram(host, bin);
  ASSERT_FALSE(found);
  EXPECT_EQ(found.Failure().text, "the window program is not installed (" + bin + "/zanthrel-window, " +
                                      libexec + "/zanthrel-window)");

  // A folder of that name is not the program.
  fs::create_directory(bin + "/zanthrel-window");
  EXPECT_FALSE(cli::FindWindowProgram(host, bin));
  fs::remove(bin + "/zanthrel-window");

  WriteStandIn(libexec + "/zanthrel-window");
  found = cli::FindWindowProgram(host, bin);
  ASSERT_TRUE(found) << found.Failure().text;
  EXPECT_EQ(*found, libexec + "/zanthrel-window");

  WriteStandIn(bin + "/zanthrel-window");
  found = cli::FindWindowProgram(host, bin);
  ASSERT_TRUE(found) << found.Failure().text;
  EXPECT_EQ(*found, bin + "/zanthrel-window");
}

TEST(WindowProgramTest, WithoutADisplayZanthrelPrintsHelpAsBefore) {
  testkit::TempFolder temp;
  const CopiedProgram program(temp);
  WriteStandIn(program.Bin() + "/zanthrel-window");
  const testkit::ProcessOutcome run = program.RunWithoutArguments(kNoDisplay);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "");
  EXPECT_NE(run.out.find("Commands:"), std::string::npos);
  EXPECT_EQ(run.out, HelpText());
}

TEST(WindowProgramTest, OnADisplayZanthrelBecomesTheWindowProgram) {
  testkit::TempFolder temp;
  const CopiedProgram program(temp);
  WriteStandIn(program.Libexec() + "/zanthrel-window");
  testkit::ProcessOutcome run = program.RunWithoutArguments(kOffscreen);
  EXPECT_EQ(run.status, 7);
  EXPECT_EQ(run.out, "stand-in at " + program.Libexec() + "/zanthrel-window\n");
  EXPECT_EQ(run.err, "");

  WriteStandIn(program.Bin() + "/zanthrel-window");
  run = program.RunWithoutArguments(kOffscreen);
  EXPECT_EQ(run.status, 7);
  EXPECT_EQ(run.out, "stand-in at " + program.Bin() + "/zanthrel-window\n");
}

TEST(WindowProgramTest, OnADisplayWithoutTheWindowProgramZanthrelSaysWhyAndPrintsHelp) {
  testkit::TempFolder temp;
  const CopiedProgram program(temp);
  testkit::ProcessOutcome run = program.RunWithoutArguments(kOffscreen);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "zanthrel: the window program is not installed (" + program.Bin() +
                         "/zanthrel-window, " + program.Libexec() + "/zanthrel-window)\n");
  EXPECT_EQ(run.out, HelpText());

  // Found but not runnable: the system's reason.
  testkit::WriteText(program.Bin() + "/zanthrel-window", "not a program\n");
  run = program.RunWithoutArguments(kOffscreen);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "zanthrel: the window program cannot be started (" + program.Bin() +
                         "/zanthrel-window: Permission denied)\n");
  EXPECT_EQ(run.out, HelpText());
}

// A DISPLAY whose server is gone: Qt would abort, so the help comes instead,
// with the reason, and the status is that of a run without a display.
TEST(WindowProgramTest, OnADisplayThatCannotBeOpenedZanthrelSaysWhyAndPrintsHelp) {
  testkit::TempFolder temp;
  const CopiedProgram program(temp);
  WriteStandIn(program.Bin() + "/zanthrel-window");
  const testkit::ProcessOutcome run =
      program.RunWithoutArguments("unset WAYLAND_DISPLAY QT_QPA_PLATFORM; export DISPLAY=:7391");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, "zanthrel: the display :7391 cannot be opened, so the window cannot be shown\n");
  EXPECT_EQ(run.out, HelpText());
}

// A file manager runs `zanthrel IMAGE`: the window opens on it. A command's
// name, an option or a missing file stays the command line's.
TEST(WindowProgramTest, AnExistingFileNamedAloneOpensTheWindowOnIt) {
  testkit::TempFolder temp;
  const CopiedProgram program(temp);
  WriteStandIn(program.Bin() + "/zanthrel-window");
  testkit::WriteText(temp / "game.iso", "an image");
  testkit::ProcessOutcome run = program.Run("'" + (temp / "game.iso") + "'", kOffscreen);
  EXPECT_EQ(run.status, 7);
  EXPECT_EQ(run.out, "stand-in at " + program.Bin() + "/zanthrel-window" + (temp / "game.iso") + "\n");

  run = program.Run("'" + (temp / "game.iso") + "'", kNoDisplay);
  EXPECT_NE(run.status, 7);
  EXPECT_EQ(run.out.find("stand-in"), std::string::npos);
  for (const std::string& arguments : {std::string("info"), std::string("--version"), "'" + (temp / "missing.iso") + "'"}) {
    run = program.Run(arguments, kOffscreen);
    EXPECT_NE(run.status, 7) << arguments;
    EXPECT_EQ(run.out.find("stand-in"), std::string::npos) << arguments;
  }
  // "info" names a command even where a file of that name lies.
  testkit::WriteText(temp / "info", "not an image");
  run = program.Run("info", "cd '" + temp.Path().string() + "'; " + kOffscreen);
  EXPECT_NE(run.status, 7);
}

}  // namespace
}  // namespace zanthrel
