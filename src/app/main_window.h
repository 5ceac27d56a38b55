// The main window: the two buttons, the two options, image file or drive.
// Its jobs run off the window's thread; while one runs both buttons are
// disabled, the progress bar moves and Cancel stops it between two blocks,
// and the status line tells how it ended.
#pragma once

#include <QWidget>
#include <atomic>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "app/run_window.h"
#include "app/workflow_dialogs.h"
#include "compile/unique_ids.h"
#include "support/cancel.h"
#include "support/progress.h"
#include "source/drive/device.h"
#include "source/drive/drive_list.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace zanthrel::app {

// What the window works with; every member left empty takes the host's own.
struct WindowServices {
  WorkflowDialogs* dialogs = nullptr;
  std::function<std::vector<DriveEntry>()> listDrives;
  DeviceOperations* device = nullptr;
};

class TForm1 : public QWidget {
  Q_OBJECT

 public:
  explicit TForm1(WindowServices services = {}, QWidget* parent = nullptr);
  ~TForm1() override;

  QPushButton* Button1;
  QPushButton* Button2;
  // Shown only while a job runs.
  QPushButton* CancelButton;
  QProgressBar* ProgressBar1;
  QCheckBox* CheckBox1;
  QCheckBox* CheckBox2;
  QRadioButton* RadioButton1;
  QRadioButton* RadioButton2;
  QComboBox* ComboBox1;
  QLabel* Label1;

  bool JobRunning() const { return worker_.joinable(); }

 signals:
  void JobFinished(const QString& status);

 public slots:
  void Button1Click();
  void Button2Click();
  void CancelClick();
  void RadioButton1Click();
  void RadioButton2Click();

 private:
  // Runs `job` on a thread of its own; it returns the status line.
  void StartJob(std::function<QString(const Progress&, CancelToken)> job);
  void FinishJob(const QString& status);

  WindowServices services_;
  std::unique_ptr<WorkflowDialogs> ownDialogs_;
  // Ids run on from image to image for as long as the window lives.
  UniqueIdGenerator ids_;
  std::thread worker_;
  std::atomic<int> shownPercent_{-1};
  std::atomic<bool> cancel_{false};
};

}  // namespace zanthrel::app
