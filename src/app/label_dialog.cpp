#include "app/label_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace zanthrel::app {

namespace {

QLineEdit* Edit(const std::string& text, const char* placeholder, QWidget* parent) {
  auto* edit = new QLineEdit(QString::fromStdString(text), parent);
  edit->setPlaceholderText(placeholder);
  return edit;
}

}  // namespace

LabelDialog::LabelDialog(QWidget* parent, const TypedLabelFields& current, const std::string& problem)
    : QDialog(parent) {
  setWindowTitle("Volume label");
  textEdit = Edit(current.text, "CD-ROM", this);
  commentEdit = Edit(current.comment, "none", this);
  volumeIdEdit = Edit(current.volumeId, "compile's own", this);
  rootIdEdit = Edit(current.rootId, "compile's own", this);
  problemLine = new QLabel(QString::fromStdString(problem), this);
  problemLine->setWordWrap(true);
  problemLine->setVisible(!problem.empty());

  auto* form = new QFormLayout;
  form->addRow("Label:", textEdit);
  form->addRow("Comment:", commentEdit);
  form->addRow("Volume id:", volumeIdEdit);
  form->addRow("Root id:", rootIdEdit);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(new QLabel("Texts: at most 32 bytes in Windows-1251. Ids: decimal or 0x hex.", this));
  layout->addWidget(problemLine);
  layout->addWidget(buttons);
}

TypedLabelFields LabelDialog::Fields() const {
  return {textEdit->text().toStdString(), commentEdit->text().toStdString(), volumeIdEdit->text().trimmed().toStdString(),
          rootIdEdit->text().trimmed().toStdString()};
}

}  // namespace zanthrel::app
