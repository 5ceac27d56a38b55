#include "app/win32/dialog_template.h"

#include <algorithm>
#include <string>

namespace zanthrel::app {

namespace {

void AppendText(std::vector<WORD>& words, std::wstring_view text) {
  words.insert(words.end(), text.begin(), text.end());
  words.push_back(0);
}

}  // namespace

DialogTemplate::DialogTemplate(DWORD style, std::wstring_view title) {
  style |= DS_SETFONT;
  words_ = {LOWORD(style), HIWORD(style), 0, 0,  // style, extended style
            0,                                  // no controls
            0, 0, 100, 50,                      // x, y, cx, cy in dialog units; resized later
            0, 0};                              // no menu, the standard class
  AppendText(words_, title);
  words_.push_back(8);  // points
  AppendText(words_, L"MS Shell Dlg");
}

void SetClientSize(HWND window, int width, int height) {
  RECT frame{0, 0, width, height};
  AdjustWindowRectEx(&frame, DWORD(GetWindowLongPtrW(window, GWL_STYLE)), GetMenu(window) != nullptr,
                     DWORD(GetWindowLongPtrW(window, GWL_EXSTYLE)));
  const int frameWidth = frame.right - frame.left;
  const int frameHeight = frame.bottom - frame.top;
  // Around the centre it had (a dialog is centred at its template's small
  // size), never above or left of the screen's work area.
  RECT before{};
  GetWindowRect(window, &before);
  MONITORINFO screen{};
  screen.cbSize = sizeof screen;
  GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), &screen);
  const int left = std::max<int>((before.left + before.right - frameWidth) / 2, screen.rcWork.left);
  const int top = std::max<int>((before.top + before.bottom - frameHeight) / 2, screen.rcWork.top);
  SetWindowPos(window, nullptr, left, top, frameWidth, frameHeight, SWP_NOZORDER | SWP_NOACTIVATE);
}

HWND PlaceControl(HWND dialog, const wchar_t* className, std::wstring_view text, DWORD style,
                  int id, int left, int top, int width, int height) {
  const std::wstring caption(text);
  HWND control = CreateWindowExW(0, className, caption.c_str(), WS_CHILD | style, left, top, width,
                                 height, dialog, reinterpret_cast<HMENU>(INT_PTR(id)),
                                 GetModuleHandleW(nullptr), nullptr);
  SendMessageW(control, WM_SETFONT, SendMessageW(dialog, WM_GETFONT, 0, 0), FALSE);
  return control;
}

}  // namespace zanthrel::app
