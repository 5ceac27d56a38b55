#include "testkit/process.h"

#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>

#include "testkit/files.h"

namespace zanthrel::testkit {

namespace {

// A new empty file in the system's temporary folder, removed with its owner.
class CaptureFile {
 public:
  CaptureFile() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "zanthrel-capture-XXXXXX").string();
    const int fd = mkstemp(pattern.data());
    if (fd < 0) throw std::runtime_error("cannot make a capture file");
    close(fd);
    path_ = pattern;
  }
  ~CaptureFile() { std::filesystem::remove(path_); }
  CaptureFile(const CaptureFile&) = delete;
  CaptureFile& operator=(const CaptureFile&) = delete;

  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace

ProcessOutcome RunProgram(const std::string& program, const std::string& arguments,
                          const std::string& setup) {
  CaptureFile out, err;
  std::string command = "(";
  if (!setup.empty()) command += setup + "; ";
  command += "exec " + program + " " + arguments + ")";
  command += " >'" + out.Path() + "' 2>'" + err.Path() + "' </dev/null";
  const int raw = std::system(command.c_str());
  return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, ReadText(out.Path()), ReadText(err.Path())};
}

std::string ZanthrelProgram() { return ZANTHREL_BINARY; }

ProcessOutcome RunZanthrel(const std::string& arguments, const std::string& setup) {
  return RunProgram("'" + ZanthrelProgram() + "'", arguments, setup);
}

ProcessOutcome RunZanthrelInterrupted(const std::string& arguments, const std::string& signal,
                                      double seconds) {
  return RunProgram("timeout --preserve-status -s " + signal + " " + std::to_string(seconds) + " '" +
                        ZANTHREL_BINARY + "'",
                    arguments);
}

bool ProgramAvailable(const std::string& program) {
  return RunProgram("sh", "-c 'command -v " + program + "'").status == 0;
}

}  // namespace zanthrel::testkit
