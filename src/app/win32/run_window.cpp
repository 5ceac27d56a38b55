// zanthrel.exe is a console program, so that the command line prints where
// it was typed. Run without arguments, or with an image to show, it opens
// the window; the console that Windows made for it alone (started from
// Explorer) is let go, so that only the window stays. A console it shares
// with a shell is left as it is.
#include "app/run_window.h"

#include <windows.h>

#include <objbase.h>

#include <exception>

#include "app/win32/main_window.h"
#include "app/win32/wide_text.h"

namespace zanthrel::app {

namespace {

// COM for the folder picker, on the window's thread.
class ComApartment {
 public:
  ComApartment()
      : ready_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}
  ~ComApartment() {
    if (ready_) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  bool ready_;
};

void LetGoOfOwnConsole() {
  DWORD processes[2];
  if (GetConsoleProcessList(processes, 2) == 1) FreeConsole();
}

int RunMessageLoop(const MainWindow& window) {
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (window.Handle() && IsDialogMessageW(window.Handle(), &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return int(message.wParam);
}

void ShowError(const std::string& text) {
  MessageBoxW(nullptr, Utf8ToWide(text).c_str(), L"Zanthrel", MB_OK | MB_ICONERROR);
}

}  // namespace

bool WindowCanOpen() {
  // A service's window station has no desktop that anyone sees.
  USEROBJECTFLAGS flags{};
  return GetUserObjectInformationW(GetProcessWindowStation(), UOI_FLAGS, &flags, sizeof flags,
                                   nullptr) &&
         (flags.dwFlags & WSF_VISIBLE) != 0;
}

int RunWindow(int argc, char** argv) {
  LetGoOfOwnConsole();
  const ComApartment com;
  try {
    MainWindow window;
    window.QuitOnClose();
    ShowWindow(window.Handle(), SW_SHOWNORMAL);
    // An image opened with zanthrel.exe from Explorer comes as the one argument.
    if (argc > 1) window.OpenImage(argv[1]);
    return RunMessageLoop(window);
  } catch (const std::exception& error) {
    ShowError(error.what());
  } catch (...) {
    ShowError("");
  }
  return 1;
}

}  // namespace zanthrel::app
