// The Windows entry: the arguments come as UTF-16 (wmain), so that names
// outside the console's code page arrive whole, and the console shows the
// program's UTF-8 output as such while it runs.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "support/windows_paths.h"

namespace {

// Sets the console's output code page to UTF-8 and gives the old one back.
class Utf8Console {
 public:
  Utf8Console() : previous_(::GetConsoleOutputCP()) { ::SetConsoleOutputCP(CP_UTF8); }
  ~Utf8Console() {
    if (previous_ != 0) ::SetConsoleOutputCP(previous_);
  }
  Utf8Console(const Utf8Console&) = delete;
  Utf8Console& operator=(const Utf8Console&) = delete;

 private:
  UINT previous_;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> arguments;
  for (int i = 0; i < argc; ++i) {
    const std::wstring wide = argv[i];
    arguments.push_back(zanthrel::Utf16ToUtf8(std::u16string(wide.begin(), wide.end())));
  }
  std::vector<char*> pointers;
  for (std::string& argument : arguments) pointers.push_back(argument.data());
  pointers.push_back(nullptr);
  // Lines end in "\n" alone, as on every host, so that output piped into a
  // file or another program is the same bytes; consoles show them alike.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  Utf8Console console;
  return zanthrel::cli::RunCommandLine(argc, pointers.data());
}
