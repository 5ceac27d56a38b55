// The boxes that show a text too long for a message box line: a failed
// job's whole reason, with a button that opens the job's log, and a report
// such as verify's. The text is in a read-only field that scrolls and can
// be copied from, so that no path or word of the system is cut off.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace zanthrel::app {

// The title a failure's box is found by.
inline constexpr const wchar_t* kFailureDialogTitle = L"Zanthrel: the job failed";
// The text field, and the button that opens the log; IDOK closes the box.
inline constexpr int kTextField = 100;
inline constexpr int kOpenLogButton = 200;

// Opens `path` as Explorer would (ShellExecuteW "open").
void OpenWithShell(const std::string& path);

// Modal over `owner`, with the error icon. "Open log" is there only when
// `logPath` is not empty; clicking it closes the box and hands the path to
// `openLog`.
void ShowFailureDialog(HWND owner, const std::string& reason, const std::string& logPath,
                       const std::function<void(const std::string& path)>& openLog);

// Modal over `owner`: `text` under `title`, and OK.
void ShowReportDialog(HWND owner, const std::string& title, const std::string& text);

}  // namespace zanthrel::app
