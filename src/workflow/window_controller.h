// What either window does with its controls: the two buttons, Cancel, image
// file or drive. A job runs on a thread of its own; while one runs both
// buttons are disabled, the progress bar moves and Cancel stops it between
// two blocks, and the status line tells how it ended. The window shows what
// it is told through WindowView and asks the user through WorkflowDialogs.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "source/drive/device.h"
#include "source/drive/drive_list.h"
#include "support/cancel.h"
#include "support/progress.h"
#include "workflow/window_jobs.h"
#include "workflow/workflow_dialogs.h"

namespace zanthrel {

// What a window shows. Every call but the two Post ones comes on the
// window's thread.
class WindowView {
 public:
  virtual ~WindowView() = default;
  // Both buttons disabled, Cancel shown and enabled, the progress bar shown at 0.
  virtual void ShowJobStarted() = 0;
  virtual void ShowProgress(int percent) = 0;
  // Cancel clicked: it stays shown, disabled, until the job ends.
  virtual void DisableCancel() = 0;
  // Both buttons enabled, Cancel and the progress bar hidden, `status` on the status line.
  virtual void ShowJobEnded(const std::string& status) = 0;
  // The drive list filled with `names`, the first one selected, and shown.
  virtual void ShowDrives(const std::vector<std::string>& names) = 0;
  // The drive list hidden; it keeps its names and selection.
  virtual void HideDrives() = 0;

  // From the job's thread: ShowProgress(percent) wanted on the window's thread.
  virtual void PostProgress(int percent) = 0;
  // From the job's thread, once the job is over: WindowController::FinishJob
  // wanted on the window's thread.
  virtual void PostJobEnd() = 0;
};

// What the window works with; every member left empty but `dialogs` takes
// the host's own.
struct WindowServices {
  WorkflowDialogs* dialogs = nullptr;
  std::function<std::vector<DriveEntry>()> listDrives;
  DeviceOperations* device = nullptr;
};

class WindowController {
 public:
  // `services.dialogs` must be given.
  WindowController(WindowView& view, WindowServices services);
  // A window closed mid-job stops the job rather than wait for its end.
  ~WindowController();
  WindowController(const WindowController&) = delete;
  WindowController& operator=(const WindowController&) = delete;

  bool JobRunning() const { return worker_.joinable(); }

  // The radio buttons; selecting the one already selected does nothing.
  void ImageChoiceSelected();
  void DriveChoiceSelected();
  // `driveIndex` is the drive list's selection, -1 for none.
  void DecompileClicked(bool additionalInfo, bool extractDiscLabel, int driveIndex);
  // Compile ISO, with the label fields chosen last.
  void CompileClicked();
  // "Volume label...": asks until the answer can be stored or is cancelled;
  // the fields answered are kept for every compile after.
  void VolumeLabelClicked();
  const LabelFields& ChosenLabelFields() const { return label_; }
  void CancelClicked();
  // On the window's thread, after PostJobEnd: waits for the job's thread and
  // shows the end. Nothing when no job runs.
  void FinishJob();

 private:
  // Runs `job` on a thread of its own; it returns the status line.
  void StartJob(std::function<std::string(const Progress&, CancelToken)> job);

  WindowView& view_;
  WindowServices services_;
  bool driveChosen_ = false;
  // The drives the list shows, in its order.
  std::vector<DriveEntry> drives_;
  // Ids run on from image to image for as long as the window lives.
  UniqueIdGenerator ids_;
  LabelFields label_;
  std::thread worker_;
  // Written by the job's thread before it posts its end, read after the join.
  std::string status_;
  std::atomic<int> shownPercent_{-1};
  std::atomic<bool> cancel_{false};
};

}  // namespace zanthrel
