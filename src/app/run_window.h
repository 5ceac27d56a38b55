// The window as the command line opens it when run without arguments: the Qt
// window on Linux, the native one on Windows.
#pragma once

namespace zanthrel::app {

// Whether a window can be shown here: a desktop to show it on.
bool WindowCanOpen();

// Opens the window and runs until it is closed; the process's exit status.
int RunWindow(int argc, char** argv);

}  // namespace zanthrel::app
