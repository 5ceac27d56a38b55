// "Volume label...": the label's text and comment and the volume and root
// ids that the window's next compiles write, each left empty for the
// compile's own.
#pragma once

#include <QDialog>
#include <string>

#include "workflow/label_fields.h"

class QLabel;
class QLineEdit;

namespace zanthrel::app {

class LabelDialog : public QDialog {
  Q_OBJECT

 public:
  // Filled with `current`; `problem`, when not empty, says why the last answer was not taken.
  LabelDialog(QWidget* parent, const TypedLabelFields& current, const std::string& problem);

  TypedLabelFields Fields() const;

  QLineEdit* textEdit;
  QLineEdit* commentEdit;
  QLineEdit* volumeIdEdit;
  QLineEdit* rootIdEdit;
  QLabel* problemLine;
};

}  // namespace zanthrel::app
