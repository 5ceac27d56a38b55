#include "app/win32/file_dialogs.h"

#include <commdlg.h>

#include <algorithm>

#include "app/win32/dialog_filter.h"
#include "app/win32/folder_dialog.h"
#include "app/win32/label_dialog.h"
#include "app/win32/wide_text.h"
#include "support/host.h"
#include "support/text.h"
#include "workflow/window_jobs.h"

namespace zanthrel::app {

namespace {

// Room for the longest path Windows takes, with its \\?\ prefix.
constexpr size_t kPathCapacity = 32768;

struct ChosenFile {
  std::string path;
  size_t filter = 0;  // the filter chosen, from 0
};

// The chosen path, or nothing when the dialog was cancelled; `name` is in
// the dialog's name field as it opens.
template <typename ShowDialog>
std::optional<ChosenFile> AskForFile(HWND owner, const std::string& startFolder, const std::string& name,
                                      const std::wstring& filter, const wchar_t* title,
                                      const wchar_t* defaultSuffix, DWORD flags, ShowDialog show) {
  std::wstring path = Utf8ToWide(name);
  path.resize(std::max(path.size() + 1, kPathCapacity), L'\0');
  const std::wstring start = Utf8ToWide(startFolder);
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = filter.c_str();
  dialog.nFilterIndex = 1;
  dialog.lpstrFile = path.data();
  dialog.nMaxFile = DWORD(path.size());
  dialog.lpstrInitialDir = start.empty() ? nullptr : start.c_str();
  dialog.lpstrTitle = title;
  dialog.lpstrDefExt = defaultSuffix;
  dialog.Flags = flags | OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_NOCHANGEDIR;
  if (!show(&dialog)) return std::nullopt;
  path.resize(path.find(L'\0'));
  return ChosenFile{WideToUtf8(path), dialog.nFilterIndex > 0 ? size_t(dialog.nFilterIndex - 1) : 0};
}

}  // namespace

Win32Dialogs::Win32Dialogs(HWND owner) : owner_(owner) {
  Result<std::string> current = SystemHost().CurrentDirectory();
  if (current) startFolder_ = *current;
}

std::optional<std::string> Win32Dialogs::ChooseImageFile() {
  const std::optional<ChosenFile> chosen =
      AskForFile(owner_, startFolder_, "", ImageFileFilter(), L"De-Compile", nullptr,
                 OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST, GetOpenFileNameW);
  if (!chosen) return std::nullopt;
  startFolder_ = FolderPartOf(chosen->path).value_or("");
  return chosen->path;
}

std::optional<std::string> Win32Dialogs::SelectFolder() {
  std::optional<std::string> folder = ChooseFolder(owner_, startFolder_);
  if (folder) startFolder_ = *folder;
  return folder;
}

std::optional<std::string> Win32Dialogs::ChooseDecompileFolder(const std::string& proposed) {
  std::optional<std::string> folder = ChooseFolder(owner_, proposed);
  if (folder) startFolder_ = *folder;
  return folder;
}

std::optional<std::string> Win32Dialogs::ChooseImageToWrite(const std::string& startFolder,
                                                            const std::string& suggestedName) {
  const std::wstring suffix = Utf8ToWide(kImagesToWrite[0].suffix);
  // An existing image is replaced without a question.
  const std::optional<ChosenFile> chosen =
      AskForFile(owner_, startFolder.empty() ? startFolder_ : startFolder, suggestedName, ImageToWriteFilter(),
                 L"Compile ISO", suffix.c_str(), OFN_PATHMUSTEXIST, GetSaveFileNameW);
  if (!chosen) return std::nullopt;
  startFolder_ = FolderPartOf(chosen->path).value_or("");
  // The filter chosen names the container of a name typed without extension.
  return WithChoiceSuffix(chosen->path, chosen->filter);
}

bool Win32Dialogs::ConfirmWriteInto(const std::string& folder) {
  // No is the default button: Enter pressed by habit writes nothing.
  return MessageBoxW(owner_, Utf8ToWide(WriteIntoFolderQuestion(folder)).c_str(), L"De-Compile",
                     MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) == IDYES;
}

bool Win32Dialogs::ConfirmCompileFolder(const std::string& folder) {
  return MessageBoxW(owner_, Utf8ToWide(CompileFolderQuestion(folder)).c_str(), L"Compile ISO",
                     MB_YESNO | MB_ICONQUESTION) == IDYES;
}

std::optional<TypedLabelFields> Win32Dialogs::EditLabelFields(const TypedLabelFields& current,
                                                              const std::string& problem) {
  return AskLabelFields(owner_, current, problem);
}

}  // namespace zanthrel::app
