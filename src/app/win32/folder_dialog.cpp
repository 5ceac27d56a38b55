#include "app/win32/folder_dialog.h"

#include <shobjidl.h>

#include "app/win32/com_ptr.h"
#include "app/win32/dialog_template.h"
#include "app/win32/wide_text.h"
#include "workflow/folder_choice.h"

namespace zanthrel::app {

namespace {

enum : int { kPathField = 100, kBrowse, kHelp };

struct FolderDialogState {
  std::string path;
  std::function<bool(const std::string&)> confirmCreate;
};

std::wstring TextOf(HWND control) {
  std::wstring text(size_t(GetWindowTextLengthW(control)) + 1, L'\0');
  text.resize(size_t(GetWindowTextW(control, text.data(), int(text.size()))));
  return text;
}

void ShowHelp(HWND dialog) {
  MessageBoxW(dialog, Utf8ToWide(kFolderHelpText).c_str(), Utf8ToWide(kFolderHelpTitle).c_str(),
              MB_OK | MB_ICONINFORMATION);
}

void Accept(HWND dialog, FolderDialogState& state) {
  const std::string path = WideToUtf8(TextOf(GetDlgItem(dialog, kPathField)));
  const auto askUser = [dialog](const std::string& missing) {
    return MessageBoxW(dialog, Utf8ToWide(CreateFolderQuestion(missing)).c_str(), L"Zanthrel",
                       MB_YESNO | MB_ICONQUESTION) == IDYES;
  };
  const FolderAnswer answer =
      state.confirmCreate ? AcceptFolder(path, state.confirmCreate) : AcceptFolder(path, askUser);
  if (answer.choice == FolderChoice::kNotCreated) {
    MessageBoxW(dialog, Utf8ToWide(answer.failure).c_str(), L"Zanthrel", MB_OK | MB_ICONWARNING);
  }
  if (answer.choice != FolderChoice::kAccepted) return;
  state.path = path;
  EndDialog(dialog, IDOK);
}

void Browse(HWND dialog) {
  HWND field = GetDlgItem(dialog, kPathField);
  if (std::optional<std::string> chosen = PickFolder(dialog, WideToUtf8(TextOf(field)))) {
    SetWindowTextW(field, Utf8ToWide(*chosen).c_str());
  }
}

void PlaceControls(HWND dialog, const FolderDialogState& state) {
  SetClientSize(dialog, 480, 96);
  PlaceControl(dialog, L"STATIC", L"Folder:", WS_VISIBLE | SS_LEFT, -1, 10, 10, 460, 16);
  HWND field = PlaceControl(dialog, L"EDIT", Utf8ToWide(state.path),
                            WS_VISIBLE | WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, kPathField, 10,
                            29, 370, 23);
  PlaceControl(dialog, L"BUTTON", L"Browse...", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, kBrowse,
               388, 28, 82, 25);
  PlaceControl(dialog, L"BUTTON", L"OK", WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, IDOK, 222,
               63, 80, 25);
  PlaceControl(dialog, L"BUTTON", L"Cancel", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, IDCANCEL,
               306, 63, 80, 25);
  PlaceControl(dialog, L"BUTTON", L"Help", WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, kHelp, 390, 63,
               80, 25);
  SetFocus(field);
  SendMessageW(field, EM_SETSEL, 0, -1);
}

INT_PTR CALLBACK FolderDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = reinterpret_cast<FolderDialogState*>(GetWindowLongPtrW(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrW(dialog, DWLP_USER, lParam);
      PlaceControls(dialog, *reinterpret_cast<FolderDialogState*>(lParam));
      return FALSE;  // the focus is set
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
          Accept(dialog, *state);
          return TRUE;
        case IDCANCEL:
          EndDialog(dialog, IDCANCEL);
          return TRUE;
        case kBrowse:
          Browse(dialog);
          return TRUE;
        case kHelp:
          ShowHelp(dialog);
          return TRUE;
      }
      break;
    case WM_HELP:
      ShowHelp(dialog);
      return TRUE;
  }
  return FALSE;
}

}  // namespace

std::optional<std::string> ChooseFolder(HWND owner, const std::string& startFolder,
                                        std::function<bool(const std::string&)> confirmCreate) {
  FolderDialogState state{startFolder, std::move(confirmCreate)};
  const DialogTemplate layout(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER |
                                  DS_CONTEXTHELP,
                              Utf8ToWide(kFolderDialogTitle));
  const INT_PTR result = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), layout.Get(), owner,
                                                 FolderDialogProc, reinterpret_cast<LPARAM>(&state));
  if (result != IDOK) return std::nullopt;
  return state.path;
}

std::optional<std::string> PickFolder(HWND owner, const std::string& start) {
  IFileOpenDialog* created = nullptr;
  if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
                              IID_PPV_ARGS(&created)))) {
    return std::nullopt;
  }
  ComPtr<IFileOpenDialog> picker(created);
  FILEOPENDIALOGOPTIONS options = 0;
  picker->GetOptions(&options);
  picker->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_NOCHANGEDIR);
  picker->SetTitle(Utf8ToWide(kFolderDialogTitle).c_str());
  IShellItem* startItem = nullptr;
  if (!start.empty() && SUCCEEDED(SHCreateItemFromParsingName(Utf8ToWide(start).c_str(), nullptr,
                                                              IID_PPV_ARGS(&startItem)))) {
    ComPtr<IShellItem> folder(startItem);
    picker->SetFolder(folder.get());
  }
  if (FAILED(picker->Show(owner))) return std::nullopt;
  IShellItem* result = nullptr;
  if (FAILED(picker->GetResult(&result))) return std::nullopt;
  ComPtr<IShellItem> chosen(result);
  wchar_t* path = nullptr;
  if (FAILED(chosen->GetDisplayName(SIGDN_FILESYSPATH, &path))) return std::nullopt;
  CoTaskPtr<wchar_t> owned(path);
  return WideToUtf8(owned.get());
}

}  // namespace zanthrel::app
