#include "app/qt_dialogs.h"

#include <QFileDialog>

#include "app/folder_dialog.h"
#include "support/host.h"

namespace zanthrel::app {

namespace {

std::optional<std::string> Chosen(const QString& path) {
  if (path.isEmpty()) return std::nullopt;
  return path.toStdString();
}

}  // namespace

std::optional<std::string> QtDialogs::ChooseImageFile() {
  return Chosen(QFileDialog::getOpenFileName(parent_, "De-Compile",
                                             QString::fromStdString(CurrentDirectory())));
}

std::optional<std::string> QtDialogs::SelectFolder() {
  FolderDialog dialog(parent_);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.Path().toStdString();
}

std::optional<std::string> QtDialogs::ChooseImageToWrite() {
  QFileDialog dialog(parent_, "Compile ISO", QString::fromStdString(CurrentDirectory()),
                     "CD Image \".iso\" (*.iso)");
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix("iso");
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().first().toStdString();
}

}  // namespace zanthrel::app
