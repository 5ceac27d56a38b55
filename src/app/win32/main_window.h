// The main window on Windows: the two buttons, the two options, image file or
// drive, as a dialog of native controls. Its jobs run off the window's
// thread; while one runs both buttons are disabled, the progress bar moves and
// Cancel stops it between two blocks, and the status line tells how it ended.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/workflow_dialogs.h"
#include "compile/unique_ids.h"
#include "source/drive/device.h"
#include "source/drive/drive_list.h"
#include "support/cancel.h"
#include "support/progress.h"

namespace zanthrel::app {

// What the window works with; every member left empty takes the host's own.
struct WindowServices {
  WorkflowDialogs* dialogs = nullptr;
  std::function<std::vector<DriveEntry>()> listDrives;
  DeviceOperations* device = nullptr;
};

class TForm1 {
 public:
  // The window is made hidden; ShowWindow shows it.
  explicit TForm1(WindowServices services = {});
  ~TForm1();
  TForm1(const TForm1&) = delete;
  TForm1& operator=(const TForm1&) = delete;

  HWND Handle() const { return window_; }
  bool JobRunning() const { return worker_.joinable(); }
  // Closing the window ends the message loop.
  void QuitOnClose() { quitOnClose_ = true; }
  // Told the status line each time a job ends.
  std::function<void(const std::string& status)> onJobFinished;

  HWND Button1 = nullptr;
  HWND Button2 = nullptr;
  // Shown only while a job runs.
  HWND CancelButton = nullptr;
  HWND ProgressBar1 = nullptr;
  HWND CheckBox1 = nullptr;
  HWND CheckBox2 = nullptr;
  HWND RadioButton1 = nullptr;
  HWND RadioButton2 = nullptr;
  HWND ComboBox1 = nullptr;
  HWND Label1 = nullptr;

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void PlaceControls();
  void Button1Click();
  void Button2Click();
  void CancelClick();
  void RadioButton1Click();
  void RadioButton2Click();
  // Runs `job` on a thread of its own; it returns the status line.
  void StartJob(std::function<std::string(const Progress&, CancelToken)> job);
  void FinishJob();
  void ShowStatus(const std::string& status);

  WindowServices services_;
  std::unique_ptr<WorkflowDialogs> ownDialogs_;
  HWND window_ = nullptr;
  HWND tooltip_ = nullptr;
  bool quitOnClose_ = false;
  // Which radio button was last seen selected: a click on the selected one fires nothing.
  bool driveChosen_ = false;
  // Ids run on from image to image for as long as the window lives.
  UniqueIdGenerator ids_;
  std::thread worker_;
  // Written by the worker before it posts its end, read after the join.
  std::string status_;
  std::atomic<int> shownPercent_{-1};
  std::atomic<bool> cancel_{false};
};

}  // namespace zanthrel::app
