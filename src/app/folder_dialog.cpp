#include "app/folder_dialog.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "workflow/folder_choice.h"

namespace zanthrel::app {

namespace {

bool AskToCreate(QWidget* parent, const QString& path) {
  return QMessageBox::question(parent, "Zanthrel",
                               QString::fromStdString(CreateFolderQuestion(path.toStdString())),
                               QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

}  // namespace

FolderDialog::FolderDialog(QWidget* parent, const QString& startFolder,
                           std::function<bool(const QString&)> confirm)
    : QDialog(parent), path_(new QLineEdit(startFolder)),
      confirm_(std::move(confirm)) {
  setWindowTitle(kFolderDialogTitle);
  if (!confirm_) confirm_ = [this](const QString& path) { return AskToCreate(this, path); };
  auto* browse = new QPushButton("Browse...");
  auto* buttons =
      new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel | QDialogButtonBox::Help);
  connect(browse, &QPushButton::clicked, this, &FolderDialog::Browse);
  connect(buttons, &QDialogButtonBox::accepted, this, &FolderDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &FolderDialog::reject);
  connect(buttons, &QDialogButtonBox::helpRequested, this, &FolderDialog::ShowHelp);
  auto* row = new QHBoxLayout;
  row->addWidget(path_, 1);
  row->addWidget(browse);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel("Folder:"));
  layout->addLayout(row);
  layout->addWidget(buttons);
  resize(480, height());
}

QString FolderDialog::Path() const { return path_->text(); }

void FolderDialog::accept() {
  const FolderAnswer answer = AcceptFolder(
      Path().toStdString(), [this](const std::string& path) {
        return confirm_(QString::fromStdString(path));
      });
  if (answer.choice == FolderChoice::kNotCreated) {
    QMessageBox::warning(this, "Zanthrel", QString::fromStdString(answer.failure));
  }
  if (answer.choice == FolderChoice::kAccepted) QDialog::accept();
}

void FolderDialog::Browse() {
  const QString chosen = QFileDialog::getExistingDirectory(this, kFolderDialogTitle, Path());
  if (!chosen.isEmpty()) path_->setText(chosen);
}

void FolderDialog::ShowHelp() { QMessageBox::information(this, kFolderHelpTitle, kFolderHelpText); }

}  // namespace zanthrel::app
