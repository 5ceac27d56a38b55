// The platform's dialogs, as the workflows ask for them: GetOpenFileNameW,
// GetSaveFileNameW, the folder dialog, a Yes/No MessageBoxW and the label
// dialog. They open where the workflow asks, else where the last one left
// off, at first in the current directory, and never change it.
#pragma once

#include <windows.h>

#include <string>

#include "workflow/workflow_dialogs.h"

namespace zanthrel::app {

class Win32Dialogs : public WorkflowDialogs {
 public:
  explicit Win32Dialogs(HWND owner);
  std::optional<std::string> ChooseImageFile() override;
  std::optional<std::string> SelectFolder() override;
  std::optional<std::string> ChooseDecompileFolder(const std::string& proposed) override;
  std::optional<std::string> ChooseImageToWrite(const std::string& startFolder,
                                                const std::string& suggestedName) override;
  bool ConfirmWriteInto(const std::string& folder) override;
  bool ConfirmCompileFolder(const std::string& folder) override;
  std::optional<TypedLabelFields> EditLabelFields(const TypedLabelFields& current,
                                                  const std::string& problem) override;

 private:
  HWND owner_;
  std::string startFolder_;
};

}  // namespace zanthrel::app
