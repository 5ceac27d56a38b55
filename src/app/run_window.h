// The window's entry: the main of zanthrel-window on Linux
// (app/window_main.cpp), and zanthrel.exe run without arguments on Windows
// (cli/open_window_win32.cpp).
#pragma once

namespace zanthrel::app {

// Opens the window and runs until it is closed; the process's exit status.
int RunWindow(int argc, char** argv);

#ifdef _WIN32
// Whether a window can be shown here: a desktop that someone sees. On Linux
// the command line asks this itself, without Qt (cli/window_program.h).
bool WindowCanOpen();
#endif

}  // namespace zanthrel::app
