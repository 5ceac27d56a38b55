// The whole command line, from arguments in UTF-8 to the exit status; main()
// on POSIX and wmain() on Windows (windows_main.cpp) call it.
#pragma once

namespace zanthrel::cli {

int RunCommandLine(int argc, char** argv);

}  // namespace zanthrel::cli
