// The window as zanthrel opens it when run without arguments: on Windows
// inside this process (open_window_win32.cpp); on Linux the program
// zanthrel-window takes this process's place (open_window_posix.cpp), so
// that no command-line run loads Qt.
#pragma once

#include <optional>

namespace zanthrel::cli {

// Opens the window when there is a desktop to show it on: the exit status once
// it is closed. Nothing when it did not open; on a desktop, the reason is
// printed on stderr first, so that the help that follows is understood.
std::optional<int> OpenWindow(int argc, char** argv);

}  // namespace zanthrel::cli
