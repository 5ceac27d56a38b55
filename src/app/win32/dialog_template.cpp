#include "app/win32/dialog_template.h"

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
  SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
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
