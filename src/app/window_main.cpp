// zanthrel-window: the Qt window as a program of its own, which zanthrel
// becomes when run without arguments on a desktop.
#include "app/run_window.h"

int main(int argc, char** argv) { return zanthrel::app::RunWindow(argc, argv); }
