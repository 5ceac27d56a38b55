// What either window does with its controls: the strip's two buttons,
// Cancel, image file or drive; File > Open, a dropped file or folder; and
// the buttons of the image shown, Extract, Verify and Convert. A job runs on
// a thread of its own; while one runs every button is disabled, the progress
// bar moves and Cancel stops it between two blocks, and the status line
// tells how it ended. A job that failed also shows its whole reason. The
// window shows what it is told through WindowView and asks the user through
// WorkflowDialogs.
#pragma once

#include <atomic>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "source/drive/device.h"
#include "source/drive/drive_list.h"
#include "support/cancel.h"
#include "support/host.h"
#include "support/progress.h"
#include "workflow/disc_browse.h"
#include "workflow/window_jobs.h"
#include "workflow/workflow_dialogs.h"

namespace zanthrel {

// What a window shows. Every call but the two Post ones comes on the
// window's thread.
class WindowView {
 public:
  virtual ~WindowView() = default;
  // Every button disabled (the strip's and the image's), Cancel shown and
  // enabled, the progress bar shown at 0.
  virtual void ShowJobStarted() = 0;
  virtual void ShowProgress(int percent) = 0;
  // Cancel clicked: it stays shown, disabled, until the job ends.
  virtual void DisableCancel() = 0;
  // The strip's buttons enabled, the image's too while an image is shown,
  // Cancel and the progress bar hidden, `status` on the status line as
  // ShowStatus shows it.
  virtual void ShowJobEnded(const std::string& status) = 0;
  // The status line: the first line of `text` (StatusLineOf), the whole of
  // it as the line's tooltip.
  virtual void ShowStatus(const std::string& text) = 0;
  // A message box with the whole `reason`, and a button that opens the log
  // at `logPath` when one is given.
  virtual void ShowFailure(const std::string& reason, const std::string& logPath) = 0;
  // The image opened: its summary (VolumeSummaryLines) and its tree
  // (`image.entries`) shown instead of any before; Extract, Verify and
  // Convert enabled.
  virtual void ShowImage(const BrowsedImage& image) = 0;
  // A report to read, such as verify's, under `title`.
  virtual void ShowReport(const std::string& title, const std::string& text) = 0;
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
  Host* host = nullptr;
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
  // File > Open: the image chosen is opened (OpenImage).
  void OpenClicked();
  // Reads the image and shows its volume and tree; a path given on start or
  // a file dropped. An image that fails to open is a failed job.
  void OpenImage(const std::string& path);
  // A file dropped on the window is opened; a folder offers Compile ISO.
  void PathDropped(const std::string& path);
  // The entries selected in the tree (BrowseEntry::path), extracted into
  // the folder chosen. Nothing when none is selected or no image is shown.
  void ExtractClicked(const std::vector<std::string>& entryPaths);
  // Reads every copy of everything of the image shown; shows the report.
  void VerifyClicked();
  // Writes the image shown as an ISO, a CUE/BIN or a CHD, as the save
  // dialog's choice names it.
  void ConvertClicked();
  // The image shown; empty when none is.
  const std::string& ImagePath() const { return imagePath_; }
  // On the window's thread, after PostJobEnd: waits for the job's thread and
  // shows the end. Nothing when no job runs.
  void FinishJob();

 private:
  // Runs `job` on a thread of its own; the status line says "Working…"
  // until it ends.
  void StartJob(std::function<JobOutcome(const Progress&, CancelToken)> job);
  void StartDecompile(DecompileRequest request);
  void StartCompile(const std::string& folder);
  Host& host() const { return *services_.host; }

  WindowView& view_;
  WindowServices services_;
  bool driveChosen_ = false;
  // The drives the list shows, in its order.
  std::vector<DriveEntry> drives_;
  // Ids run on from image to image for as long as the window lives.
  UniqueIdGenerator ids_;
  LabelFields label_;
  std::thread worker_;
  // The image shown, and where its last De-Compile wrote.
  std::string imagePath_;
  std::optional<std::string> lastDecompileFolder_;
  // Written by the job's thread before it posts its end, read after the join.
  JobOutcome outcome_;
  std::atomic<int> shownPercent_{-1};
  std::atomic<bool> cancel_{false};
};

}  // namespace zanthrel
