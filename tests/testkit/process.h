// Runs the zanthrel program built with the tests, as a user would from a shell.
#pragma once

#include <string>

namespace zanthrel::testkit {

struct ProcessOutcome {
  int status = -1;  // the exit status; -1 when the program did not exit by itself
  std::string out;
  std::string err;
};

// The zanthrel program built with the tests.
std::string ZanthrelProgram();

// Runs zanthrel in the current folder with `arguments` as typed on a command
// line and no standard input. `setup`, when given, runs first in the same
// shell, to set limits that the program inherits. The output is caught outside
// the current folder, so that it never shows in a listing of it.
ProcessOutcome RunZanthrel(const std::string& arguments, const std::string& setup = "");
// The same, sent `signal` (such as "INT" or "KILL") after `seconds` unless it
// has ended by then; `status` is then 128 plus the signal's number.
ProcessOutcome RunZanthrelInterrupted(const std::string& arguments, const std::string& signal,
                                      double seconds);
// The same for another program, found on the PATH (chdman, for one).
ProcessOutcome RunProgram(const std::string& program, const std::string& arguments,
                          const std::string& setup = "");
bool ProgramAvailable(const std::string& program);

}  // namespace zanthrel::testkit
