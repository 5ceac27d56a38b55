#include "app/qt_dialogs.h"

#include <QFileDialog>

#include "app/folder_dialog.h"
#include "support/host.h"
#include "support/text.h"

namespace zanthrel::app {

namespace {

std::string FolderOf(const std::string& file) {
  const size_t slash = file.rfind(kPathSeparator);
  return slash == std::string::npos ? "" : file.substr(0, slash);
}

}  // namespace

QtDialogs::QtDialogs(QWidget* parent) : parent_(parent) {
  Result<std::string> current = SystemHost().CurrentDirectory();
  if (current) startFolder_ = *current;
}

std::optional<std::string> QtDialogs::ChooseImageFile() {
  const QString path = QFileDialog::getOpenFileName(
      parent_, "De-Compile", QString::fromStdString(startFolder_),
      "Disc images (*.iso *.bin *.img *.cue *.chd *.nrg *.gz);;All files (*)");
  if (path.isEmpty()) return std::nullopt;
  startFolder_ = FolderOf(path.toStdString());
  return path.toStdString();
}

std::optional<std::string> QtDialogs::SelectFolder() {
  FolderDialog dialog(parent_, QString::fromStdString(startFolder_));
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  startFolder_ = dialog.Path().toStdString();
  return startFolder_;
}

std::optional<std::string> QtDialogs::ChooseImageToWrite() {
  QFileDialog dialog(parent_, "Compile ISO", QString::fromStdString(startFolder_),
                     "CD Image \".iso\" (*.iso)");
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setDefaultSuffix("iso");
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  const std::string path = dialog.selectedFiles().first().toStdString();
  startFolder_ = FolderOf(path);
  return path;
}

}  // namespace zanthrel::app
