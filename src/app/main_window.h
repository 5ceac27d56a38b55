// The main window: the strip of the two buttons, the two options, image file
// or drive, at the top; below it the volume and the tree of the image opened,
// with Extract, Verify and Convert. What they do is the window controller's;
// this window shows it with Qt.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <memory>
#include <string>
#include <vector>

#include "app/run_window.h"
#include "workflow/window_controller.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QMessageBox;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTreeWidget;

namespace zanthrel::app {

class MainWindow : public QMainWindow, private WindowView {
  Q_OBJECT

 public:
  explicit MainWindow(WindowServices services = {}, QWidget* parent = nullptr);
  ~MainWindow() override;

  // The strip, its smallest size the described 433 by 105.
  QWidget* strip;
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

  QAction* openAction;
  QAction* quitAction;
  // The image opened: its volume in a few lines, its tree, and what to do with it.
  QLabel* summary;
  QTreeWidget* tree;
  QPushButton* extractButton;
  QPushButton* verifyButton;
  QPushButton* convertButton;
  // The last failure's message box while it is open.
  QPointer<QMessageBox> failureBox;

  bool JobRunning() const { return controller_->JobRunning(); }
  // The entries selected in the tree, by their paths below the root.
  std::vector<std::string> SelectedEntries() const;
  const LabelFields& ChosenLabelFields() const { return controller_->ChosenLabelFields(); }

 signals:
  void JobFinished(const QString& status);

 public slots:
  void DecompileButtonClick();
  void CompileButtonClick();
  void CancelButtonClick();
  void ImageChoiceClick();
  void DriveChoiceClick();
  void OpenImage(const QString& path);
  void VolumeLabelClick();

 protected:
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  QWidget* MakeStrip();
  QWidget* MakeBrowser();
  void SetImageButtonsEnabled(bool enabled);

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
  bool imageShown_ = false;
};

}  // namespace zanthrel::app
