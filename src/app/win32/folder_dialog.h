// The folder dialog of both workflows: the path in an editable field,
// Browse... for the system's folder picker, OK, Cancel and Help. It opens at
// the folder it is given, takes a typed path to a folder that does not exist
// yet, asks before accepting such a path, and creates it with its missing
// parents.
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>

namespace zanthrel::app {

// `confirmCreate` asks Yes/No whether a missing folder may be created; a
// message box asks when it is empty. Nothing when cancelled.
std::optional<std::string> ChooseFolder(HWND owner, const std::string& startFolder,
                                        std::function<bool(const std::string& path)> confirmCreate = {});

// The system's folder picker (IFileOpenDialog with FOS_PICKFOLDERS), opened
// at `start`; COM must be set up on the calling thread.
std::optional<std::string> PickFolder(HWND owner, const std::string& start);

}  // namespace zanthrel::app
