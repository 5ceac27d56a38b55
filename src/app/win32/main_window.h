// The main window on Windows: the two buttons, the two options, image file or
// drive, as a dialog of native controls. What they do is the window
// controller's; this window shows it with the controls of Windows.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "workflow/window_controller.h"

namespace zanthrel::app {

class MainWindow : private WindowView {
 public:
  // The window is made hidden; ShowWindow shows it.
  explicit MainWindow(WindowServices services = {});
  ~MainWindow() override;
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  HWND Handle() const { return window_; }
  bool JobRunning() const { return controller_->JobRunning(); }
  // Closing the window ends the message loop.
  void QuitOnClose() { quitOnClose_ = true; }
  // Told the status line each time a job ends.
  std::function<void(const std::string& status)> onJobFinished;

  HWND decompileButton = nullptr;
  HWND compileButton = nullptr;
  // Shown only while a job runs.
  HWND cancelButton = nullptr;
  HWND progressBar = nullptr;
  HWND additionalInfoBox = nullptr;
  HWND discLabelBox = nullptr;
  HWND imageChoice = nullptr;
  HWND driveChoice = nullptr;
  HWND driveList = nullptr;
  HWND statusLine = nullptr;

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void PlaceControls();
  void DecompileButtonClick();
  void ShowStatus(const std::string& status);

  void ShowJobStarted() override;
  void ShowProgress(int percent) override;
  void DisableCancel() override;
  void ShowJobEnded(const std::string& status) override;
  void ShowDrives(const std::vector<std::string>& names) override;
  void HideDrives() override;
  void PostProgress(int percent) override;
  void PostJobEnd() override;

  HWND window_ = nullptr;
  // Where the job's thread posts to: the window as made, never changed.
  HWND postTarget_ = nullptr;
  HWND tooltip_ = nullptr;
  bool quitOnClose_ = false;
  std::unique_ptr<WorkflowDialogs> ownDialogs_;
  std::unique_ptr<WindowController> controller_;
};

}  // namespace zanthrel::app
