#include "app/win32/main_window.h"

#include <commctrl.h>

#include <stdexcept>

#include "app/win32/dialog_template.h"
#include "app/win32/file_dialogs.h"
#include "app/win32/wide_text.h"
#include "source/drive/device.h"
#include "workflow/window_jobs.h"

namespace zanthrel::app {

namespace {

enum : int {
  kButton1 = 101,
  kButton2,
  kProgressBar1,
  kCheckBox1,
  kCheckBox2,
  kRadioButton1,
  kRadioButton2,
  kComboBox1,
  kCancelButton,
  kLabel1,
};

// From the worker to the window: the progress bar's new position, and the job's end.
constexpr UINT kProgressMessage = WM_APP + 1;
constexpr UINT kFinishedMessage = WM_APP + 2;

constexpr DWORD kTabStop = WS_VISIBLE | WS_TABSTOP;

bool IsChecked(HWND control) { return SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED; }

std::string SelectedDrive(HWND comboBox) {
  const LRESULT index = SendMessageW(comboBox, CB_GETCURSEL, 0, 0);
  if (index == CB_ERR) return "";
  std::wstring name(size_t(SendMessageW(comboBox, CB_GETLBTEXTLEN, WPARAM(index), 0)) + 1, L'\0');
  const LRESULT length =
      SendMessageW(comboBox, CB_GETLBTEXT, WPARAM(index), reinterpret_cast<LPARAM>(name.data()));
  name.resize(length == CB_ERR ? 0 : size_t(length));
  return WideToUtf8(name);
}

}  // namespace

TForm1::TForm1(WindowServices services) : services_(std::move(services)) {
  if (!services_.listDrives) services_.listDrives = [] { return ListDrives(); };
  if (!services_.device) services_.device = &HostDevice();
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
  if (!services_.dialogs) {
    ownDialogs_ = std::make_unique<Win32Dialogs>(window_);
    services_.dialogs = ownDialogs_.get();
  }
}

TForm1::~TForm1() {
  // A window closed mid-job stops the job rather than wait for its end.
  cancel_ = true;
  if (worker_.joinable()) worker_.join();
  if (window_) {
    SetWindowLongPtrW(window_, DWLP_USER, 0);
    DestroyWindow(window_);
  }
}

INT_PTR CALLBACK TForm1::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    auto* form = reinterpret_cast<TForm1*>(lParam);
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    form->window_ = window;
    form->PlaceControls();
    return TRUE;
  }
  auto* form = reinterpret_cast<TForm1*>(GetWindowLongPtrW(window, DWLP_USER));
  return form && form->OnMessage(message, wParam, lParam);
}

void TForm1::PlaceControls() {
  SetClientSize(window_, 433, 105);
  Button1 = PlaceControl(window_, L"BUTTON", L"De-Compile", kTabStop | BS_PUSHBUTTON, kButton1, 8,
                         8, 84, 25);
  Button2 = PlaceControl(window_, L"BUTTON", L"Compile ISO", kTabStop | BS_PUSHBUTTON, kButton2,
                         328, 8, 99, 25);
  ProgressBar1 = PlaceControl(window_, PROGRESS_CLASSW, L"", PBS_SMOOTH, kProgressBar1, 8, 72, 417, 13);
  SendMessageW(ProgressBar1, PBM_SETRANGE32, 0, 100);
  CheckBox1 = PlaceControl(window_, L"BUTTON", L"Create additional info",
                           kTabStop | BS_AUTOCHECKBOX, kCheckBox1, 8, 48, 169, 17);
  CheckBox2 = PlaceControl(window_, L"BUTTON", L"Extract \"Disc label\"",
                           kTabStop | BS_AUTOCHECKBOX, kCheckBox2, 264, 48, 169, 17);
  RadioButton1 = PlaceControl(window_, L"BUTTON", L"ISO, BIN, NRG",
                              kTabStop | WS_GROUP | BS_AUTORADIOBUTTON, kRadioButton1, 98, 4, 112, 17);
  RadioButton2 = PlaceControl(window_, L"BUTTON", L"CD-ROM", WS_VISIBLE | BS_AUTORADIOBUTTON,
                              kRadioButton2, 98, 22, 112, 17);
  SendMessageW(RadioButton1, BM_SETCHECK, BST_CHECKED, 0);
  // The height includes the list that drops down.
  ComboBox1 = PlaceControl(window_, WC_COMBOBOXW, L"", WS_TABSTOP | WS_GROUP | WS_VSCROLL | CBS_DROPDOWNLIST,
                           kComboBox1, 212, 16, 110, 160);
  CancelButton = PlaceControl(window_, L"BUTTON", L"Cancel", WS_TABSTOP | BS_PUSHBUTTON,
                              kCancelButton, 184, 44, 72, 25);
  Label1 = PlaceControl(window_, L"STATIC", L"", WS_VISIBLE | SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS | SS_NOTIFY,
                        kLabel1, 8, 88, 417, 15);
  // The status line's whole text, where the label cuts it short.
  tooltip_ = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                             CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_,
                             nullptr, GetModuleHandleW(nullptr), nullptr);
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = window_;
  tool.uId = reinterpret_cast<UINT_PTR>(Label1);
  tool.lpszText = const_cast<wchar_t*>(L"");
  SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  SendMessageW(tooltip_, TTM_SETMAXTIPWIDTH, 0, 600);
  ShowStatus(kIdleStatus);
}

bool TForm1::OnMessage(UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_COMMAND:
      if (HIWORD(wParam) != BN_CLICKED) return false;
      switch (LOWORD(wParam)) {
        case kButton1:
          Button1Click();
          return true;
        case kButton2:
          Button2Click();
          return true;
        case kCancelButton:
          CancelClick();
          return true;
        case kRadioButton1:
          if (driveChosen_) RadioButton1Click();
          return true;
        case kRadioButton2:
          if (!driveChosen_) RadioButton2Click();
          return true;
      }
      return false;
    case kProgressMessage:
      SendMessageW(ProgressBar1, PBM_SETPOS, wParam, 0);
      return true;
    case kFinishedMessage:
      FinishJob();
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

void TForm1::RadioButton1Click() {
  driveChosen_ = false;
  ShowWindow(ComboBox1, SW_HIDE);
}

void TForm1::RadioButton2Click() {
  driveChosen_ = true;
  SendMessageW(ComboBox1, CB_RESETCONTENT, 0, 0);
  for (const DriveEntry& drive : OfferedDrives(services_.listDrives())) {
    SendMessageW(ComboBox1, CB_ADDSTRING, 0,
                 reinterpret_cast<LPARAM>(Utf8ToWide(drive.name).c_str()));
  }
  const bool any = SendMessageW(ComboBox1, CB_GETCOUNT, 0, 0) > 0;
  SendMessageW(ComboBox1, CB_SETCURSEL, any ? 0 : WPARAM(-1), 0);
  ShowWindow(ComboBox1, SW_SHOW);
}

void TForm1::Button1Click() {
  if (JobRunning()) return;
  const bool info = IsChecked(CheckBox1);
  const bool label = IsChecked(CheckBox2);
  DecompileRequest request;
  if (IsChecked(RadioButton1)) {
    std::optional<std::string> image = services_.dialogs->ChooseImageFile();
    if (!image) return;
    request = ImageDecompileRequest(*image, info, label);
  } else {
    const std::string drive = SelectedDrive(ComboBox1);
    if (drive.empty()) return;
    std::optional<std::string> folder = services_.dialogs->SelectFolder();
    if (!folder) return;
    request = DriveDecompileRequest(drive, *folder, *services_.device, info, label);
  }
  StartJob([request](const Progress& progress, CancelToken cancel) {
    return RunDecompileJob(request, progress, cancel);
  });
}

void TForm1::Button2Click() {
  if (JobRunning()) return;
  std::optional<std::string> folder = services_.dialogs->SelectFolder();
  if (!folder) return;
  std::optional<std::string> image = services_.dialogs->ChooseImageToWrite();
  if (!image) return;
  StartJob([request = WindowCompileRequest(*folder, *image, ids_)](const Progress& progress,
                                                                    CancelToken cancel) {
    return RunCompileJob(request, progress, cancel);
  });
}

void TForm1::CancelClick() {
  if (!JobRunning()) return;
  cancel_ = true;
  EnableWindow(CancelButton, FALSE);
}

void TForm1::StartJob(std::function<std::string(const Progress&, CancelToken)> job) {
  EnableWindow(Button1, FALSE);
  EnableWindow(Button2, FALSE);
  cancel_ = false;
  EnableWindow(CancelButton, TRUE);
  ShowWindow(CancelButton, SW_SHOW);
  SendMessageW(ProgressBar1, PBM_SETPOS, 0, 0);
  ShowWindow(ProgressBar1, SW_SHOW);
  shownPercent_ = 0;
  // Reports cross to the window's thread only when the percentage moves.
  HWND window = window_;
  Progress progress = [this, window](uint64_t done, uint64_t total) {
    const int percent = ProgressPercent(done, total);
    if (shownPercent_.exchange(percent) == percent) return;
    PostMessageW(window, kProgressMessage, WPARAM(percent), 0);
  };
  worker_ = std::thread([this, window, job = std::move(job), progress] {
    status_ = job(progress, CancelToken{&cancel_});
    PostMessageW(window, kFinishedMessage, 0, 0);
  });
}

void TForm1::FinishJob() {
  if (!worker_.joinable()) return;
  worker_.join();
  ShowWindow(ProgressBar1, SW_HIDE);
  ShowWindow(CancelButton, SW_HIDE);
  EnableWindow(Button1, TRUE);
  EnableWindow(Button2, TRUE);
  ShowStatus(status_);
  if (onJobFinished) onJobFinished(status_);
}

void TForm1::ShowStatus(const std::string& status) {
  const std::wstring text = Utf8ToWide(status);
  SetWindowTextW(Label1, text.c_str());
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.hwnd = window_;
  tool.uId = reinterpret_cast<UINT_PTR>(Label1);
  tool.lpszText = const_cast<wchar_t*>(text.c_str());
  SendMessageW(tooltip_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

}  // namespace zanthrel::app
