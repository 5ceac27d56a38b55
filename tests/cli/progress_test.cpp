// The progress bar and -v, run as a user sees them: in a terminal of a given
// width (a pseudo-terminal), with stderr on a pipe, with -q.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>
#ifndef _WIN32
#include <fcntl.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "testkit/files.h"
#include "testkit/process.h"
#include "testkit/sample_disc.h"
#include "testkit/temp_folder.h"

namespace zanthrel {
namespace {

namespace fs = std::filesystem;
using testkit::RunZanthrel;

struct TerminalRun {
  int status = -1;
  std::string terminal;  // what reached the terminal, as written
  std::string err;       // stderr, when it went to a pipe instead
};

// Runs zanthrel in the current folder with stdout, and stderr unless
// `stderrToPipe`, on a terminal `columns` wide. None where there are no
// pseudo-terminals.
std::optional<TerminalRun> RunInTerminal(const std::string& arguments, int columns, bool stderrToPipe = false) {
#ifdef _WIN32
  (void)arguments, (void)columns, (void)stderrToPipe;
  return std::nullopt;
#else
  winsize size{};
  size.ws_row = 24;
  size.ws_col = (unsigned short)columns;
  int master = -1;
  int errPipe[2];
  if (pipe(errPipe) != 0) return std::nullopt;
  const std::string command = "exec '" + testkit::ZanthrelProgram() + "' " + arguments + " </dev/null";
  const pid_t child = forkpty(&master, nullptr, nullptr, &size);
  if (child < 0) return std::nullopt;
  if (child == 0) {
    close(errPipe[0]);
    if (stderrToPipe) dup2(errPipe[1], STDERR_FILENO);
    close(errPipe[1]);
    execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(errPipe[1]);
  TerminalRun run;
  char buffer[4096];
  // The terminal's side reads until the program and its children have closed it.
  for (ssize_t n; (n = read(master, buffer, sizeof buffer)) > 0;) run.terminal.append(buffer, size_t(n));
  for (ssize_t n; (n = read(errPipe[0], buffer, sizeof buffer)) > 0;) run.err.append(buffer, size_t(n));
  close(master);
  close(errPipe[0]);
  int raw = 0;
  waitpid(child, &raw, 0);
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return run;
#endif
}

// The lines a terminal shows once the text has been written: a carriage
// return goes back to the start of the line, where the next text overwrites
// what stood; blanks at the end of a line do not show.
std::vector<std::string> Screen(const std::string& written) {
  std::vector<std::string> lines(1);
  size_t column = 0;
  for (char c : written) {
    if (c == '\r') {
      column = 0;
    } else if (c == '\n') {
      lines.emplace_back();
      column = 0;
    } else {
      std::string& line = lines.back();
      if (line.size() <= column) line.resize(column + 1, ' ');
      line[column++] = c;
    }
  }
  for (std::string& line : lines) line.erase(line.find_last_not_of(' ') + 1);
  if (lines.back().empty()) lines.pop_back();
  return lines;
}

// Every state of the bar as drawn: the text after each carriage return that
// holds a percentage.
std::vector<std::string> BarsDrawn(const std::string& written) {
  std::vector<std::string> bars;
  std::string piece;
  std::istringstream pieces(written);
  while (std::getline(pieces, piece, '\r')) {
    if (piece.find('%') != std::string::npos) bars.push_back(piece.substr(0, piece.find('\n')));
  }
  return bars;
}

#define SKIP_WITHOUT_TERMINAL(run)                                   \
  if (!(run)) GTEST_SKIP() << "no pseudo-terminal on this system"

// Each long job draws the bar within the width, and has cleared it when the
// summary is printed: the screen holds the summary alone.
TEST(ProgressBarTest, EachJobFitsTheTerminalAndEndsBeforeTheSummary) {
  testkit::TempFolder temp;
  const testkit::SampleDisc disc = testkit::MakeSampleDisc();
  testkit::WriteBytes(temp / "game.iso", disc.image);
  testkit::WriteGzip(temp / "game.iso.gz", disc.image);
  struct Job {
    std::string arguments;
    std::string summary;  // how the screen's first line starts
  };
  for (int columns : {30, 120}) {
    SCOPED_TRACE(columns);
    fs::remove_all(temp.Path() / "out");
    const std::vector<Job> jobs = {
        {"decompile -o out game.iso.gz", "game.iso.gz: decompiled into "},
        // The sample disc holds no boot code, which would be a warning above the summary.
        {"compile --no-boot-area out/PARCE_game new.iso -f", "new.iso: image written, "},
        {"convert -f game.iso.gz plain.iso", "plain.iso: plain image written, "},
        {"verify game.iso.gz", "game.iso.gz: 8 blocks; "},
    };
    for (const Job& job : jobs) {
      SCOPED_TRACE(job.arguments);
      const std::optional<TerminalRun> run = RunInTerminal(job.arguments, columns);
      SKIP_WITHOUT_TERMINAL(run);
      EXPECT_EQ(run->status, 0) << run->terminal;
      const std::vector<std::string> bars = BarsDrawn(run->terminal);
      ASSERT_FALSE(bars.empty()) << run->terminal;
      for (const std::string& bar : bars) {
        EXPECT_LE(int(bar.size()), columns - 1) << bar;
        EXPECT_EQ(bar[0], '[') << bar;
      }
      // A wide terminal has room for the bytes.
      if (columns == 120) {
        EXPECT_NE(bars.front().find(" / "), std::string::npos) << bars.front();
      }
      const std::vector<std::string> screen = Screen(run->terminal);
      ASSERT_FALSE(screen.empty());
      EXPECT_TRUE(screen.front().starts_with(job.summary)) << screen.front();
      for (const std::string& line : screen) EXPECT_EQ(line.find('%'), std::string::npos) << line;
    }
  }
}

TEST(ProgressBarTest, NoneOnAPipeNorWithQuiet) {
  testkit::TempFolder temp;
  testkit::WriteGzip(temp / "game.iso.gz", testkit::MakeSampleDisc().image);
  // stdout on the terminal, stderr on a pipe: the bar stays off.
  std::optional<TerminalRun> run = RunInTerminal("decompile game.iso.gz", 80, true);
  SKIP_WITHOUT_TERMINAL(run);
  EXPECT_EQ(run->status, 0);
  EXPECT_EQ(run->err, "");
  EXPECT_EQ(Screen(run->terminal).size(), 1u) << run->terminal;
  EXPECT_EQ(run->terminal.find('%'), std::string::npos) << run->terminal;

  for (const char* arguments : {"decompile -q -f game.iso.gz", "compile -q -f --no-boot-area PARCE_game new.iso",
                                "convert -q -f game.iso.gz plain.iso"}) {
    run = RunInTerminal(arguments, 80);
    EXPECT_EQ(run->status, 0) << arguments;
    EXPECT_EQ(run->terminal, "") << arguments;
  }
}

// Images read on several threads at once draw no bar, which would fight
// over the line; one image alone still does.
TEST(ProgressBarTest, NoneWhenSeveralImagesAreRead) {
  testkit::TempFolder temp;
  testkit::WriteGzip(temp / "game.iso.gz", testkit::MakeSampleDisc().image);
  std::optional<TerminalRun> run = RunInTerminal("verify game.iso.gz", 80);
  SKIP_WITHOUT_TERMINAL(run);
  EXPECT_FALSE(BarsDrawn(run->terminal).empty()) << run->terminal;
  for (const char* arguments : {"verify -j 2 game.iso.gz game.iso.gz", "info game.iso.gz game.iso.gz",
                                "list -j 1 game.iso.gz game.iso.gz"}) {
    run = RunInTerminal(arguments, 80);
    EXPECT_EQ(run->status, 0) << arguments << ": " << run->terminal;
    EXPECT_TRUE(BarsDrawn(run->terminal).empty()) << arguments << ": " << run->terminal;
  }
}

// -v names on stdout exactly the files written, each once, in the order
// written; on a terminal each stands on a line of its own beside the bar.
TEST(VerboseTest, ListsEachFileWrittenByItsPath) {
  testkit::TempFolder temp;
  testkit::WriteBytes(temp / "game.iso", testkit::MakeSampleDisc().image);
  testkit::ProcessOutcome piped = RunZanthrel("decompile -v game.iso");
  ASSERT_EQ(piped.status, 0) << piped.err;
  EXPECT_EQ(piped.err, "");
  // Full paths, each on a line, then the summary.
  const std::vector<std::string> lines = Screen(piped.out);
  ASSERT_EQ(lines.size(), 3u) << piped.out;
  EXPECT_TRUE(lines[0].ends_with(testkit::HostPath("/PARCE_game/LaunchMe"))) << lines[0];
  EXPECT_TRUE(lines[1].ends_with(testkit::HostPath("/PARCE_game/Игры/a!3Ab"))) << lines[1];
  EXPECT_TRUE(fs::path(lines[0]).is_absolute()) << lines[0];
  const std::string decompiled = lines[0] + "\n" + lines[1] + "\n";

  // The same files added back, and a folder's own name is not a file.
  piped = RunZanthrel("compile -v PARCE_game new.iso");
  ASSERT_EQ(piped.status, 0) << piped.err;
  EXPECT_EQ(piped.out, decompiled + "new.iso: image written, 309 blocks\n");

  // -q says nothing, -v included, but for the count of warnings (the sample
  // disc holds no boot code).
  piped = RunZanthrel("compile -q -v -f PARCE_game new.iso");
  EXPECT_EQ(piped.out, "");
  EXPECT_EQ(piped.err, "zanthrel: warning: 1 warning not shown (-q); run without -q to see each\n");

  const std::optional<TerminalRun> run = RunInTerminal("decompile -f -v game.iso", 40);
  SKIP_WITHOUT_TERMINAL(run);
  const std::vector<std::string> screen = Screen(run->terminal);
  ASSERT_EQ(screen.size(), 3u) << run->terminal;
  EXPECT_EQ(screen[0] + "\n" + screen[1] + "\n", decompiled);
  EXPECT_TRUE(screen[2].starts_with("game.iso: decompiled into")) << screen[2];
}

}  // namespace
}  // namespace zanthrel
