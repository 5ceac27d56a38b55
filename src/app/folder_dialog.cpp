#include "app/folder_dialog.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "support/host.h"

namespace zanthrel::app {

namespace {

constexpr const char* kHelpText =
    "Choose the folder to work in.\n\n"
    "De-Compile (CD-ROM) writes PARCE_CD-ROM and cd-rom.log into it; Compile ISO "
    "builds the image from its contents.\n\n"
    "You may type the path of a folder that does not exist yet: after you confirm, "
    "it is created together with any missing parent folders.";

bool AskToCreate(QWidget* parent, const QString& path) {
  return QMessageBox::question(parent, "Zanthrel",
                               "The folder\n" + path + "\ndoes not exist. Create it?",
                               QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

}  // namespace

FolderDialog::FolderDialog(QWidget* parent, const QString& startFolder,
                           std::function<bool(const QString&)> confirm)
    : QDialog(parent), path_(new QLineEdit(startFolder)),
      confirm_(std::move(confirm)) {
  setWindowTitle("Select folder");
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
  if (Path().isEmpty()) return;
  const std::string path = Path().toStdString();
  Host& host = SystemHost();
  const Result<PathInfo> info = host.InfoOf(path);
  if (!info || info->kind != PathKind::kFolder) {
    if (!confirm_(Path())) return;  // No keeps the dialog open
    if (Status made = MakeFolderPath(host, path); !made) {
      QMessageBox::warning(this, "Zanthrel",
                           "The folder cannot be created: " +
                               QString::fromStdString(ErrorText(made.Failure().code)));
      return;
    }
  }
  QDialog::accept();
}

void FolderDialog::Browse() {
  const QString chosen = QFileDialog::getExistingDirectory(this, "Select folder", Path());
  if (!chosen.isEmpty()) path_->setText(chosen);
}

void FolderDialog::ShowHelp() { QMessageBox::information(this, "Zanthrel help", kHelpText); }

}  // namespace zanthrel::app
