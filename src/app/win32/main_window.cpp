#include "app/win32/main_window.h"

#include <commctrl.h>

#include <stdexcept>

#include "app/win32/dialog_template.h"
#include "app/win32/file_dialogs.h"
#include "app/win32/wide_text.h"

namespace zanthrel::app {

namespace {

enum : int {
  kDecompileButton = 101,
  kCompileButton,
  kProgressBar,
  kAdditionalInfoBox,
  kDiscLabelBox,
  kImageChoice,
  kDriveChoice,
  kDriveList,
  kCancelButton,
  kStatusLine,
  kVolumeLabelItem,
};

// From the job's thread to the window: the progress bar's new position, and the job's end.
constexpr UINT kProgressMessage = WM_APP + 1;
constexpr UINT kFinishedMessage = WM_APP + 2;

constexpr DWORD kTabStop = WS_VISIBLE | WS_TABSTOP;

bool IsChecked(HWND control) { return SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED; }

}  // namespace

MainWindow::MainWindow(WindowServices services) {
  const INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX),
                                     ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_BAR_CLASSES};
  InitCommonControlsEx(&classes);
  const DialogTemplate layout(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER,
                              Utf8ToWide(WindowTitle()));
  window_ = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), layout.Get(), nullptr, DialogProc,
                                       reinterpret_cast<LPARAM>(this));
  if (!window_) {
    throw std::runtime_error("The window cannot be created: error " + std::to_string(GetLastError()));
  }
  postTarget_ = window_;
  if (!services.dialogs) {
    ownDialogs_ = std::make_unique<Win32Dialogs>(window_);
    services.dialogs = ownDialogs_.get();
  }
  controller_ = std::make_unique<WindowController>(static_cast<WindowView&>(*this), std::move(services));
}

MainWindow::~MainWindow() {
  // A job still running stops before the window goes.
  controller_.reset();
  if (window_) {
    SetWindowLongPtrW(window_, DWLP_USER, 0);
    DestroyWindow(window_);
  }
}

INT_PTR CALLBACK MainWindow::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* form = reinterpret_cast<MainWindow*>(lParam);
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    form->window_ = window;
    form->PlaceControls();
    return TRUE;
  }
  auto* form = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, DWLP_USER));
  return form && form->OnMessage(message, wParam, lParam);
}

void MainWindow::PlaceControls() {
  // "Volume label..." lives in a menu bar, which lies outside the client
  // area: the strip of controls keeps its size, places and tab order.
  HMENU options = CreatePopupMenu();
  AppendMenuW(options, MF_STRING, kVolumeLabelItem, L"Volume label...");
  HMENU bar = CreateMenu();
  AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(options), L"Options");
  SetMenu(window_, bar);
  SetClientSize(window_, 433, 105);
  decompileButton = PlaceControl(window_, L"BUTTON", L"De-Compile", kTabStop | BS_PUSHBUTTON,
                                 kDecompileButton, 8, 8, 84, 25);
  compileButton = PlaceControl(window_, L"BUTTON", L"Compile ISO", kTabStop | BS_PUSHBUTTON,
                               kCompileButton, 328, 8, 99, 25);
  progressBar = PlaceControl(window_, PROGRESS_CLASSW, L"", PBS_SMOOTH, kProgressBar, 8, 72, 417, 13);
  SendMessageW(progressBar, PBM_SETRANGE32, 0, 100);
  additionalInfoBox = PlaceControl(window_, L"BUTTON", L"Create additional info",
                                   kTabStop | BS_AUTOCHECKBOX, kAdditionalInfoBox, 8, 48, 169, 17);
  discLabelBox = PlaceControl(window_, L"BUTTON", L"Extract \"Disc label\"", kTabStop | BS_AUTOCHECKBOX,
                              kDiscLabelBox, 264, 48, 169, 17);
  imageChoice = PlaceControl(window_, L"BUTTON", L"ISO, BIN, NRG",
                             kTabStop | WS_GROUP | BS_AUTORADIOBUTTON, kImageChoice, 98, 4, 112, 17);
  driveChoice = PlaceControl(window_, L"BUTTON", L"CD-ROM", WS_VISIBLE | BS_AUTORADIOBUTTON, kDriveChoice,
                             98, 22, 112, 17);
  SendMessageW(imageChoice, BM_SETCHECK, BST_CHECKED, 0);
  // The height includes the list that drops down.
  driveList = PlaceControl(window_, WC_COMBOBOXW, L"", WS_TABSTOP | WS_GROUP | WS_VSCROLL | CBS_DROPDOWNLIST,
                           kDriveList, 212, 16, 110, 160);
  cancelButton = PlaceControl(window_, L"BUTTON", L"Cancel", WS_TABSTOP | BS_PUSHBUTTON, kCancelButton,
                              184, 44, 72, 25);
  statusLine = PlaceControl(window_, L"STATIC", L"",
                            WS_VISIBLE | SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS | SS_NOTIFY, kStatusLine, 8,
                            88, 417, 15);
  // The status line's whole text, where the label cuts it short.
  tooltip_ = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_,
                             nullptr, GetModuleHandleW(nullptr), nullptr);
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = window_;
  tool.uId = reinterpret_cast<UINT_PTR>(statusLine);
  tool.lpszText = const_cast<wchar_t*>(L"");
  SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, 600);
  ShowStatus(kIdleStatus);
}

bool MainWindow::OnMessage(UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_COMMAND:
      // The controller comes once the window is made; nothing is clicked
      // before. A menu item comes as a click does (0).
      if (HIWORD(wParam) != BN_CLICKED || !controller_) return false;
      switch (LOWORD(wParam)) {
        case kDecompileButton:
          DecompileButtonClick();
          return true;
        case kCompileButton:
          controller_->CompileClicked();
          return true;
        case kCancelButton:
          controller_->CancelClicked();
          return true;
        case kImageChoice:
          controller_->ImageChoiceSelected();
          return true;
        case kDriveChoice:
          controller_->DriveChoiceSelected();
          return true;
        case kVolumeLabelItem:
          controller_->VolumeLabelClicked();
          return true;
      }
      return false;
    case kProgressMessage:
      ShowProgress(int(wParam));
      return true;
    case kFinishedMessage:
      if (controller_) controller_->FinishJob();
      return true;
    case WM_CLOSE:
      DestroyWindow(window_);
      return true;
    case WM_DESTROY:
      window_ = nullptr;
      if (quitOnClose_) PostQuitMessage(0);
      return true;
  }
  return false;
}

void MainWindow::DecompileButtonClick() {
  const LRESULT selected = SendMessageW(driveList, CB_GETCURSEL, 0, 0);
  controller_->DecompileClicked(IsChecked(additionalInfoBox), IsChecked(discLabelBox),
                                selected == CB_ERR ? -1 : int(selected));
}

void MainWindow::ShowJobStarted() {
  EnableWindow(decompileButton, FALSE);
  EnableWindow(compileButton, FALSE);
  EnableWindow(cancelButton, TRUE);
  ShowWindow(cancelButton, SW_SHOW);
  SendMessageW(progressBar, PBM_SETPOS, 0, 0);
  ShowWindow(progressBar, SW_SHOW);
}

void MainWindow::ShowProgress(int percent) { SendMessageW(progressBar, PBM_SETPOS, WPARAM(percent), 0); }

void MainWindow::DisableCancel() { EnableWindow(cancelButton, FALSE); }

void MainWindow::ShowJobEnded(const std::string& status) {
  ShowWindow(progressBar, SW_HIDE);
  ShowWindow(cancelButton, SW_HIDE);
  EnableWindow(decompileButton, TRUE);
  EnableWindow(compileButton, TRUE);
  ShowStatus(status);
  if (onJobFinished) onJobFinished(status);
}

void MainWindow::ShowDrives(const std::vector<std::string>& names) {
  SendMessageW(driveList, CB_RESETCONTENT, 0, 0);
  for (const std::string& name : names) {
    SendMessageW(driveList, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Utf8ToWide(name).c_str()));
  }
  const bool any = SendMessageW(driveList, CB_GETCOUNT, 0, 0) > 0;
  SendMessageW(driveList, CB_SETCURSEL, any ? 0 : WPARAM(-1), 0);
  ShowWindow(driveList, SW_SHOW);
}

void MainWindow::HideDrives() { ShowWindow(driveList, SW_HIDE); }

void MainWindow::PostProgress(int percent) {
  PostMessageW(postTarget_, kProgressMessage, WPARAM(percent), 0);
}

void MainWindow::PostJobEnd() { PostMessageW(postTarget_, kFinishedMessage, 0, 0); }

void MainWindow::ShowStatus(const std::string& status) {
  const std::wstring text = Utf8ToWide(status);
  SetWindowTextW(statusLine, text.c_str());
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.hwnd = window_;
  tool.uId = reinterpret_cast<UINT_PTR>(statusLine);
  tool.lpszText = const_cast<wchar_t*>(text.c_str());
  SendMessageW(tooltip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

}  // namespace zanthrel::app
