// An in-memory dialog template without controls, in the dialog font. Both
// windows are dialogs made from one, so that Tab, Enter and Escape work as
// in any dialog; their controls are placed in pixels at WM_INITDIALOG.
#pragma once

#include <windows.h>

#include <string_view>
#include <vector>

namespace zanthrel::app {

class DialogTemplate {
 public:
  DialogTemplate(DWORD style, std::wstring_view title);
  const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(words_.data()); }

 private:
  std::vector<WORD> words_;
};

// Resizes a window so that its client area is `width` x `height` pixels,
// below its menu bar when it has one, keeping its centre where it was.
void SetClientSize(HWND window, int width, int height);

// A child control at a pixel position, in its dialog's font.
HWND PlaceControl(HWND dialog, const wchar_t* className, std::wstring_view text, DWORD style,
                  int id, int left, int top, int width, int height);

}  // namespace zanthrel::app
