// The folder dialog of both workflows: it opens at the folder it is given,
// takes a typed path to a folder that does not exist yet, asks before
// accepting such a path, and creates it with its missing parents.
#pragma once

#include <QDialog>
#include <functional>

class QLineEdit;

namespace zanthrel::app {

class FolderDialog : public QDialog {
  Q_OBJECT

 public:
  // `confirm` asks Yes/No whether a missing folder may be created.
  explicit FolderDialog(QWidget* parent, const QString& startFolder,
                        std::function<bool(const QString& path)> confirm = {});

  QString Path() const;
  QLineEdit* PathField() const { return path_; }

  void accept() override;

 private:
  void Browse();
  void ShowHelp();

  QLineEdit* path_;
  std::function<bool(const QString&)> confirm_;
};

}  // namespace zanthrel::app
