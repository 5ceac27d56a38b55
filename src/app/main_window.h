// The main window: the two buttons, the two options, image file or drive.
// What they do is the window controller's; this window shows it with Qt.
#pragma once

#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "app/run_window.h"
#include "workflow/window_controller.h"

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

  bool JobRunning() const { return controller_->JobRunning(); }

 signals:
  void JobFinished(const QString& status);

 public slots:
  void DecompileButtonClick();
  void CompileButtonClick();
  void CancelButtonClick();
  void ImageChoiceClick();
  void DriveChoiceClick();

 private:
  void ShowJobStarted() override;
  void ShowProgress(int percent) override;
  void DisableCancel() override;
  void ShowJobEnded(const std::string& status) override;
  void ShowStatus(const std::string& text) override;
  void ShowFailure(const std::string& reason, const std::string& logPath) override;
  void ShowImage(const BrowsedImage& image) override;
  void ShowReport(const std::string& title, const std::string& text) override;
  void ShowDrives(const std::vector<std::string>& names) override;
  void HideDrives() override;
  void PostProgress(int percent) override;
  void PostJobEnd() override;

  std::unique_ptr<WorkflowDialogs> ownDialogs_;
  std::unique_ptr<WindowController> controller_;
};

}  // namespace zanthrel::app
