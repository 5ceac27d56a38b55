// The platform's dialogs, as the workflows ask for them.
#pragma once

#include "app/workflow_dialogs.h"

class QWidget;

namespace zanthrel::app {

class QtDialogs : public WorkflowDialogs {
 public:
  explicit QtDialogs(QWidget* parent) : parent_(parent) {}
  std::optional<std::string> ChooseImageFile() override;
  std::optional<std::string> SelectFolder() override;
  std::optional<std::string> ChooseImageToWrite() override;

 private:
  QWidget* parent_;
};

}  // namespace zanthrel::app
