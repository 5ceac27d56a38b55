#include "app/win32/text_dialog.h"

#include <shellapi.h>

#include "app/win32/dialog_template.h"
#include "app/win32/wide_text.h"

namespace zanthrel::app {

namespace {

struct TextDialogState {
  std::wstring text;
  bool failure = false;
  bool withLog = false;
  bool openLogClicked = false;
};

// Windows' edit fields break lines at "\r\n" only.
std::wstring WithWindowsLineEnds(const std::string& text) {
  std::wstring lines;
  for (const wchar_t c : Utf8ToWide(text)) {
    if (c == L'\n') lines += L'\r';
    lines += c;
  }
  return lines;
}

void PlaceControls(HWND dialog, const TextDialogState& state) {
  // A failure's reason is a few lines; a report can be many.
  const int width = state.failure ? 480 : 560;
  const int height = state.failure ? 150 : 360;
  SetClientSize(dialog, width, height);
  int textLeft = 10;
  if (state.failure) {
    HWND icon = PlaceControl(dialog, L"STATIC", L"", WS_VISIBLE | SS_ICON, -1, 12, 12, 32, 32);
    // IDI_ERROR is a number in the narrow form of a name; either form takes it.
    HICON error = LoadIconW(nullptr, reinterpret_cast<const wchar_t*>(IDI_ERROR));
    SendMessageW(icon, STM_SETICON, reinterpret_cast<WPARAM>(error), 0);
    textLeft = 56;
  }
  PlaceControl(dialog, L"EDIT", state.text,
               WS_VISIBLE | WS_TABSTOP | WS_VSCROLL | WS_BORDER | ES_MULTILINE | ES_READONLY |
                   ES_AUTOVSCROLL,
               kTextField, textLeft, 10, width - 10 - textLeft, height - 55);
  HWND ok = PlaceControl(dialog, L"BUTTON", L"OK", WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, IDOK,
                         width - 90, height - 35, 80, 25);
  if (state.withLog) {
    PlaceControl(dialog, L"BUTTON", L"Open log", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                 kOpenLogButton, width - 178, height - 35, 80, 25);
  }
  SetFocus(ok);
}

INT_PTR CALLBACK TextDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = reinterpret_cast<TextDialogState*>(GetWindowLongPtrW(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      PlaceControls(dialog, *reinterpret_cast<TextDialogState*>(lParam));
      return FALSE;  // the focus is set
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
        case IDCANCEL:
          EndDialog(dialog, IDOK);
          return TRUE;
        case kOpenLogButton:
          state->openLogClicked = true;
          EndDialog(dialog, IDOK);
          return TRUE;
      }
      break;
  }
  return FALSE;
}

void RunTextDialog(HWND owner, const std::wstring& title, TextDialogState& state) {
  const DialogTemplate layout(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER, title);
  DialogBoxIndirectParamW(GetModuleHandleW(nullptr), layout.Get(), owner, TextDialogProc,
                          reinterpret_cast<LPARAM>(&state));
}

}  // namespace

void OpenWithShell(const std::string& path) {
  ShellExecuteW(nullptr, L"open", Utf8ToWide(path).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void ShowFailureDialog(HWND owner, const std::string& reason, const std::string& logPath,
                       const std::function<void(const std::string& path)>& openLog) {
  TextDialogState state{WithWindowsLineEnds(reason), true, !logPath.empty()};
  RunTextDialog(owner, kFailureDialogTitle, state);
  // Opened once the box is gone, so that the log's window comes on top.
  if (state.openLogClicked && openLog) openLog(logPath);
}

void ShowReportDialog(HWND owner, const std::string& title, const std::string& text) {
  TextDialogState state{WithWindowsLineEnds(text)};
  RunTextDialog(owner, Utf8ToWide(title), state);
}

}  // namespace zanthrel::app
