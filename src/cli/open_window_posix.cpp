#include "cli/open_window.h"

#include <unistd.h>

#include <cerrno>
#include <iostream>
#include <string>

#include "cli/window_program.h"
#include "support/host.h"
#include "support/text.h"

namespace zanthrel::cli {

namespace {

// Becomes the window program; returns only when that failed, with the reason.
std::string ExecWindowProgram(char** argv) {
  Host& host = SystemHost();
  const Result<std::string> self = host.RealPath("/proc/self/exe");
  if (!self) return "the window program cannot be found: " + self.Failure().text;
  const Result<std::string> program = FindWindowProgram(host, FolderPartOf(*self).value_or(""));
  if (!program) return program.Failure().text;
  execv(program->c_str(), argv);
  return "the window program cannot be started (" + HostError(*program, errno).text + ")";
}

}  // namespace

std::optional<int> OpenWindow(int, char** argv) {
  if (!DisplayAvailable()) return std::nullopt;
  // Qt would abort on a display it cannot open; the help is more use.
  if (const std::optional<std::string> failure = DisplayFailure()) {
    std::cerr << "zanthrel: " << *failure << '\n';
    return std::nullopt;
  }
  const std::string reason = ExecWindowProgram(argv);
  std::cerr << "zanthrel: " << reason << '\n';
  return std::nullopt;
}

}  // namespace zanthrel::cli
