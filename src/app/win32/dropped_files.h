// The files and folders dropped on the window from Explorer (WM_DROPFILES).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace zanthrel::app {

// Every path the drop holds, in UTF-8, in the order given; the drop is let
// go of (DragFinish).
std::vector<std::string> TakeDroppedPaths(HDROP drop);

}  // namespace zanthrel::app
