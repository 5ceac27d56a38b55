// The main window on Windows: at the top the strip of the two buttons, the
// two options, image file or drive; below it the image opened, its volume
// and its tree, with Extract..., Verify and Convert...; a menu bar with
// File > Open... and Exit, and Options > Volume label... for Compile ISO. A dialog of native controls that can be resized,
// never below the strip's own size. What the controls do is the window
// controller's; this window shows it with the controls of Windows.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "workflow/window_controller.h"

namespace zanthrel::app {

// The strip's client size, the smallest the window takes.
inline constexpr int kStripWidth = 433;
inline constexpr int kStripHeight = 105;

// The menu bar's commands.
enum : int { kOpenCommand = 301, kExitCommand, kVolumeLabelCommand };

class MainWindow : private WindowView {
 public:
  // The window is made hidden; ShowWindow shows it.
  explicit MainWindow(WindowServices services = {});
  ~MainWindow() override;
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  HWND Handle() const { return window_; }
  bool JobRunning() const { return controller_->JobRunning(); }
  // Reads the image and shows it: a path given on start.
  void OpenImage(const std::string& path) { controller_->OpenImage(path); }
  // Closing the window ends the message loop.
  void QuitOnClose() { quitOnClose_ = true; }
  // Told the status text each time a job ends.
  std::function<void(const std::string& status)> onJobFinished;
  // Opens a failed job's log; the shell's "open" unless replaced.
  std::function<void(const std::string& path)> openLog;

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
  // The status line's whole text.
  HWND statusTip = nullptr;
  // The image shown: its volume in a few lines, its tree as a list of paths
  // (name, size, type, copies, first block), and what is done with it.
  HWND summaryText = nullptr;
  HWND entryList = nullptr;
  HWND extractButton = nullptr;
  HWND verifyButton = nullptr;
  HWND convertButton = nullptr;

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  bool OnCommand(int id);
  void PlaceControls();
  void AddMenu();
  void SetIcons();
  // Places every control for a client area of `width` x `height`.
  void Layout(int width, int height);
  void DecompileButtonClick();
  void ExtractButtonClick();
  void EnableButtons(bool enable);
  // The paths of the selected entries, in the list's order.
  std::vector<std::string> SelectedEntries() const;

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

  HWND window_ = nullptr;
  // Where the job's thread posts to: the window as made, never changed.
  HWND postTarget_ = nullptr;
  bool quitOnClose_ = false;
  // The entries the list shows, in its order.
  std::vector<std::string> entryPaths_;
  int summaryLines_ = 0;
  std::unique_ptr<WorkflowDialogs> ownDialogs_;
  std::unique_ptr<WindowController> controller_;
};

}  // namespace zanthrel::app
