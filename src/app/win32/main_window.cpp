#include "app/win32/main_window.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <stdexcept>
#include <tuple>

#include "app/win32/dialog_template.h"
#include "app/win32/dropped_files.h"
#include "app/win32/file_dialogs.h"
#include "app/win32/resource_ids.h"
#include "app/win32/text_dialog.h"
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
  kSummaryText,
  kExtractButton,
  kVerifyButton,
  kConvertButton,
  kEntryList,
};

// From the job's thread to the window: the progress bar's new position, and the job's end.
constexpr UINT kProgressMessage = WM_APP + 1;
constexpr UINT kFinishedMessage = WM_APP + 2;

constexpr DWORD kTabStop = WS_VISIBLE | WS_TABSTOP;

// The size the window opens at: room for the tree below the strip.
constexpr int kOpeningWidth = 640;
constexpr int kOpeningHeight = 440;

constexpr int kSummaryLineHeight = 15;
constexpr const char* kNoImageText =
    "Open an image (File > Open...) or drop one on the window to see what it holds.";

struct Column {
  const wchar_t* title;
  int width;
  int format;
};
constexpr Column kColumns[] = {
    {L"Name", 250, LVCFMT_LEFT},  {L"Size", 90, LVCFMT_RIGHT},         {L"Type", 60, LVCFMT_LEFT},
    {L"Copies", 55, LVCFMT_RIGHT}, {L"First block", 75, LVCFMT_RIGHT},
};

bool IsChecked(HWND control) { return SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void Move(HWND control, int left, int top, int width, int height) {
  MoveWindow(control, left, top, width, std::max(height, 0), TRUE);
}

// One row's texts: a folder's path ends in "/", and has no size.
std::vector<std::string> RowOf(const BrowseEntry& entry) {
  return {entry.folder ? entry.path + "/" : entry.path, entry.folder ? "" : std::to_string(entry.size),
          entry.type, std::to_string(entry.copies), std::to_string(entry.firstBlock)};
}

void AddRow(HWND list, int index, const std::vector<std::string>& texts) {
  std::wstring text = Utf8ToWide(texts[0]);
  LVITEMW item{};
  item.mask = LVIF_TEXT;
  item.iItem = index;
  item.pszText = text.data();
  SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
  for (size_t column = 1; column < texts.size(); ++column) {
    text = Utf8ToWide(texts[column]);
    item.iSubItem = int(column);
    item.pszText = text.data();
    SendMessageW(list, LVM_SETITEMTEXTW, WPARAM(index), reinterpret_cast<LPARAM>(&item));
  }
}

std::string JoinedLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += (text.empty() ? "" : "\r\n") + line;
  return text;
}

}  // namespace

MainWindow::MainWindow(WindowServices services) : openLog(OpenWithShell) {
  const INITCOMMONCONTROLSEX classes{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS |
                                                                      ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&classes);
  const DialogTemplate layout(WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN | DS_CENTER, Utf8ToWide(WindowTitle()));
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
  AddMenu();
  SetIcons();
  // The strip, at its described pixels; Layout stretches it with the window.
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
  statusTip = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                              CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = window_;
  tool.uId = reinterpret_cast<UINT_PTR>(statusLine);
  tool.lpszText = const_cast<wchar_t*>(L"");
  SendMessageW(statusTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  SendMessageW(statusTip, TTM_SETMAXTIPWIDTH, 0, 600);

  // The image below the strip; Layout places it.
  summaryText = PlaceControl(window_, L"STATIC", Utf8ToWide(kNoImageText), WS_VISIBLE | SS_LEFT | SS_NOPREFIX,
                             kSummaryText, 0, 0, 0, 0);
  summaryLines_ = 1;
  extractButton = PlaceControl(window_, L"BUTTON", L"Extract...", kTabStop | WS_GROUP | BS_PUSHBUTTON,
                               kExtractButton, 0, 0, 0, 0);
  verifyButton =
      PlaceControl(window_, L"BUTTON", L"Verify", kTabStop | BS_PUSHBUTTON, kVerifyButton, 0, 0, 0, 0);
  convertButton =
      PlaceControl(window_, L"BUTTON", L"Convert...", kTabStop | BS_PUSHBUTTON, kConvertButton, 0, 0, 0, 0);
  entryList = PlaceControl(window_, WC_LISTVIEWW, L"", kTabStop | WS_BORDER | LVS_REPORT | LVS_SHOWSELALWAYS,
                           kEntryList, 0, 0, 0, 0);
  SendMessageW(entryList, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  for (const Column& column : kColumns) {
    LVCOLUMNW header{};
    header.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    header.fmt = column.format;
    header.cx = column.width;
    header.pszText = const_cast<wchar_t*>(column.title);
    SendMessageW(entryList, LVM_INSERTCOLUMNW, WPARAM(&column - kColumns), reinterpret_cast<LPARAM>(&header));
  }
  for (HWND button : {extractButton, verifyButton, convertButton}) EnableWindow(button, FALSE);

  DragAcceptFiles(window_, TRUE);
  SetClientSize(window_, kOpeningWidth, kOpeningHeight);
  ShowStatus(kIdleStatus);
}

void MainWindow::AddMenu() {
  HMENU file = CreatePopupMenu();
  AppendMenuW(file, MF_STRING, kOpenCommand, L"&Open...");
  AppendMenuW(file, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(file, MF_STRING, kExitCommand, L"E&xit");
  // The label of the images that Compile ISO writes, outside the strip.
  HMENU options = CreatePopupMenu();
  AppendMenuW(options, MF_STRING, kVolumeLabelCommand, L"Volume label...");
  HMENU bar = CreateMenu();
  AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"&File");
  AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(options), L"&Options");
  // The window destroys its menu with it.
  SetMenu(window_, bar);
}

void MainWindow::SetIcons() {
  const HINSTANCE module = GetModuleHandleW(nullptr);
  // Shared icons belong to the system, which frees them.
  for (const auto& [which, width, height] : {std::tuple{ICON_BIG, SM_CXICON, SM_CYICON},
                                             std::tuple{ICON_SMALL, SM_CXSMICON, SM_CYSMICON}}) {
    HANDLE icon = LoadImageW(module, MAKEINTRESOURCEW(ZANTHREL_ICON_ID), IMAGE_ICON, GetSystemMetrics(width),
                             GetSystemMetrics(height), LR_SHARED);
    if (icon) SendMessageW(window_, WM_SETICON, WPARAM(which), reinterpret_cast<LPARAM>(icon));
  }
}

void MainWindow::Layout(int width, int height) {
  // At the smallest size every control of the strip is where it was
  // described; wider, the buttons on the right follow the edge and the bars stretch.
  const int wider = std::max(width - kStripWidth, 0);
  Move(compileButton, 328 + wider, 8, 99, 25);
  Move(progressBar, 8, 72, 417 + wider, 13);
  Move(statusLine, 8, 88, 417 + wider, 15);

  const int summaryTop = kStripHeight + 4;
  const int summaryHeight = summaryLines_ * kSummaryLineHeight;
  Move(summaryText, 8, summaryTop, width - 16, summaryHeight);
  const int buttonsTop = summaryTop + summaryHeight + 6;
  Move(extractButton, 8, buttonsTop, 84, 25);
  Move(verifyButton, 96, buttonsTop, 84, 25);
  Move(convertButton, 184, buttonsTop, 84, 25);
  const int listTop = buttonsTop + 31;
  Move(entryList, 8, listTop, width - 16, height - 8 - listTop);
}

bool MainWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_COMMAND:
      // Buttons and menu items alike; the controller comes once the window
      // is made, and nothing is clicked before.
      if (HIWORD(wParam) != BN_CLICKED || !controller_) return false;
      return OnCommand(LOWORD(wParam));
    case WM_SIZE:
      Layout(LOWORD(lParam), HIWORD(lParam));
      return true;
    case WM_GETMINMAXINFO: {
      RECT strip{0, 0, kStripWidth, kStripHeight};
      AdjustWindowRectEx(&strip, DWORD(GetWindowLongPtrW(window_, GWL_STYLE)), GetMenu(window_) != nullptr,
                         DWORD(GetWindowLongPtrW(window_, GWL_EXSTYLE)));
      auto* limits = reinterpret_cast<MINMAXINFO*>(lParam);
      limits->ptMinTrackSize = {strip.right - strip.left, strip.bottom - strip.top};
      return true;
    }
    case WM_DROPFILES: {
      const std::vector<std::string> paths = TakeDroppedPaths(reinterpret_cast<HDROP>(wParam));
      if (!paths.empty() && controller_) controller_->PathDropped(paths.front());
      return true;
    }
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

bool MainWindow::OnCommand(int id) {
  switch (id) {
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
    case kOpenCommand:
      controller_->OpenClicked();
      return true;
    case kExitCommand:
      SendMessageW(window_, WM_CLOSE, 0, 0);
      return true;
    case kVolumeLabelCommand:
      controller_->VolumeLabelClicked();
      return true;
    case kExtractButton:
      controller_->ExtractClicked(SelectedEntries());
      return true;
    case kVerifyButton:
      controller_->VerifyClicked();
      return true;
    case kConvertButton:
      controller_->ConvertClicked();
      return true;
  }
  return false;
}

void MainWindow::DecompileButtonClick() {
  const LRESULT selected = SendMessageW(driveList, CB_GETCURSEL, 0, 0);
  controller_->DecompileClicked(IsChecked(additionalInfoBox), IsChecked(discLabelBox),
                                selected == CB_ERR ? -1 : int(selected));
}

std::vector<std::string> MainWindow::SelectedEntries() const {
  std::vector<std::string> selected;
  for (LRESULT row = SendMessageW(entryList, LVM_GETNEXTITEM, WPARAM(-1), LVNI_SELECTED); row >= 0;
       row = SendMessageW(entryList, LVM_GETNEXTITEM, WPARAM(row), LVNI_SELECTED)) {
    if (size_t(row) < entryPaths_.size()) selected.push_back(entryPaths_[size_t(row)]);
  }
  return selected;
}

void MainWindow::EnableButtons(bool enable) {
  EnableWindow(decompileButton, enable);
  EnableWindow(compileButton, enable);
  EnableMenuItem(GetMenu(window_), kOpenCommand, enable ? MF_ENABLED : MF_GRAYED);
  const bool withImage = enable && controller_ && !controller_->ImagePath().empty();
  for (HWND button : {extractButton, verifyButton, convertButton}) EnableWindow(button, withImage);
}

void MainWindow::ShowJobStarted() {
  EnableButtons(false);
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
  EnableButtons(true);
  ShowStatus(status);
  if (onJobFinished) onJobFinished(status);
}

void MainWindow::ShowStatus(const std::string& text) {
  const std::wstring line = Utf8ToWide(StatusLineOf(text));
  SetWindowTextW(statusLine, line.c_str());
  std::wstring whole = Utf8ToWide(text);
  TTTOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.hwnd = window_;
  tool.uId = reinterpret_cast<UINT_PTR>(statusLine);
  tool.lpszText = whole.data();
  SendMessageW(statusTip, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
}

void MainWindow::ShowFailure(const std::string& reason, const std::string& logPath) {
  ShowFailureDialog(window_, reason, logPath, openLog);
}

void MainWindow::ShowImage(const BrowsedImage& image) {
  const std::vector<std::string> lines = VolumeSummaryLines(image);
  SetWindowTextW(summaryText, Utf8ToWide(JoinedLines(lines)).c_str());
  summaryLines_ = std::max(int(lines.size()), 1);
  SendMessageW(entryList, WM_SETREDRAW, FALSE, 0);
  SendMessageW(entryList, LVM_DELETEALLITEMS, 0, 0);
  entryPaths_.clear();
  for (const BrowseEntry& entry : image.entries) {
    AddRow(entryList, int(entryPaths_.size()), RowOf(entry));
    entryPaths_.push_back(entry.path);
  }
  SendMessageW(entryList, WM_SETREDRAW, TRUE, 0);
  RECT client{};
  GetClientRect(window_, &client);
  Layout(client.right, client.bottom);
}

void MainWindow::ShowReport(const std::string& title, const std::string& text) {
  ShowReportDialog(window_, title, text);
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

}  // namespace zanthrel::app
