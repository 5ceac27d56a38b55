// Where the Linux window program lives. The window is a program of its own
// (zanthrel-window), so that the command line never loads Qt; zanthrel run
// without arguments finds it and becomes it.
#pragma once

#include <optional>
#include <string>

#include "support/host.h"
#include "support/result.h"

namespace zanthrel::cli {

// Whether a desktop is there to show the window on: an X or Wayland session,
// or a Qt platform named.
bool DisplayAvailable();

// Why the X display that the window would open on cannot be opened (a
// DISPLAY left behind by a session that has ended); nothing when it opens,
// or when the window goes elsewhere (Wayland, a Qt platform named). Asked
// without Qt, through libxcb when it is installed.
std::optional<std::string> DisplayFailure();

// The window program of the zanthrel in `programFolder` (a full path): beside
// it, as in the build tree, or in ../libexec/zanthrel, as installed under any
// prefix. Fails with the places looked in when neither holds it.
Result<std::string> FindWindowProgram(Host& host, const std::string& programFolder);

}  // namespace zanthrel::cli
