// The platform's dialogs, as the workflows ask for them.
#pragma once

#include <string>

#include "workflow/workflow_dialogs.h"

class QWidget;

namespace zanthrel::app {

// The dialogs open where the last one left off, at first in the current directory.
class QtDialogs : public WorkflowDialogs {
 public:
  explicit QtDialogs(QWidget* parent);
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
  QWidget* parent_;
  std::string startFolder_;
};

}  // namespace zanthrel::app
