#include "app/qt_dialogs.h"

#include <QFileDialog>
#include <QMessageBox>

#include "app/folder_dialog.h"
#include "app/label_dialog.h"
#include "support/host.h"
#include "support/text.h"
#include "workflow/window_jobs.h"

namespace zanthrel::app {

QtDialogs::QtDialogs(QWidget* parent) : parent_(parent) {
  Result<std::string> current = SystemHost().CurrentDirectory();
  if (current) startFolder_ = *current;
}

std::optional<std::string> QtDialogs::ChooseImageFile() {
  const QString path = QFileDialog::getOpenFileName(
      parent_, "De-Compile", QString::fromStdString(startFolder_),
      QString(kImageFilesName) + " (" + kImageFilePatterns + ");;" + kAllFilesName + " (*)");
  if (path.isEmpty()) return std::nullopt;
  startFolder_ = FolderPartOf(path.toStdString()).value_or("");
  return path.toStdString();
}

std::optional<std::string> QtDialogs::SelectFolder() {
  FolderDialog dialog(parent_, QString::fromStdString(startFolder_));
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  startFolder_ = dialog.Path().toStdString();
  return startFolder_;
}

std::optional<std::string> QtDialogs::ChooseDecompileFolder(const std::string& proposed) {
  FolderDialog dialog(parent_, QString::fromStdString(proposed));
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.Path().toStdString();
}

std::optional<std::string> QtDialogs::ChooseImageToWrite(const std::string& startFolder,
                                                         const std::string& suggestedName) {
  QStringList filters;
  for (const ImageToWriteChoice& choice : kImagesToWrite) {
    filters << QString::fromUtf8(choice.name) + " (" + choice.pattern + ")";
  }
  QFileDialog dialog(parent_, "Compile ISO", QString::fromStdString(startFolder));
  dialog.selectFile(QString::fromStdString(suggestedName));
  dialog.setNameFilters(filters);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  // The filter chosen gives a name typed without extension its suffix, and so its container.
  dialog.setDefaultSuffix(kImagesToWrite[0].suffix);
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog, filters](const QString& filter) {
    const qsizetype choice = filters.indexOf(filter);
    if (choice >= 0) dialog.setDefaultSuffix(kImagesToWrite[choice].suffix);
  });
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().first().toStdString();
}

bool QtDialogs::ConfirmWriteInto(const std::string& folder) {
  return QMessageBox::question(parent_, "De-Compile", QString::fromStdString(WriteIntoFolderQuestion(folder)),
                               QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

bool QtDialogs::ConfirmCompileFolder(const std::string& folder) {
  return QMessageBox::question(parent_, "Compile ISO", QString::fromStdString(CompileFolderQuestion(folder)),
                               QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes) == QMessageBox::Yes;
}

std::optional<TypedLabelFields> QtDialogs::EditLabelFields(const TypedLabelFields& current,
                                                           const std::string& problem) {
  LabelDialog dialog(parent_, current, problem);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.Fields();
}

}  // namespace zanthrel::app
