// The main window: the two buttons, the two options, image file or drive.
// What they do is the window controller's; this window shows it with Qt.
#pragma once

#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "app/run_window.h"
#include "workflow/window_controller.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace zanthrel::app {

class MainWindow : public QWidget, private WindowView {
  Q_OBJECT

 public:
  explicit MainWindow(WindowServices services = {}, QWidget* parent = nullptr);
  ~MainWindow() override;

  QPushButton* decompileButton;
  QPushButton* compileButton;
  // Shown only while a job runs.
  QPushButton* cancelButton;
  QProgressBar* progressBar;
  QCheckBox* additionalInfoBox;
  QCheckBox* discLabelBox;
  QRadioButton* imageChoice;
  QRadioButton* driveChoice;
  QComboBox* driveList;
  QLabel* statusLine;
  // "Volume label...", in the window's context menu and on Ctrl+L, so that
  // the strip of controls keeps its size, places and tab order.
  QAction* volumeLabelAction;

  bool JobRunning() const { return controller_->JobRunning(); }
  const LabelFields& ChosenLabelFields() const { return controller_->ChosenLabelFields(); }

 signals:
  void JobFinished(const QString& status);

 public slots:
  void DecompileButtonClick();
  void CompileButtonClick();
  void CancelButtonClick();
  void ImageChoiceClick();
  void DriveChoiceClick();
  void VolumeLabelClick();

 private:
  void ShowJobStarted() override;
  void ShowProgress(int percent) override;
  void DisableCancel() override;
  void ShowJobEnded(const std::string& status) override;
  void ShowDrives(const std::vector<std::string>& names) override;
  void HideDrives() override;
  void PostProgress(int percent) override;
  void PostJobEnd() override;

  std::unique_ptr<WorkflowDialogs> ownDialogs_;
  std::unique_ptr<WindowController> controller_;
};

}  // namespace zanthrel::app
