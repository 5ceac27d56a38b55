#include "workflow/window_controller.h"

#include <optional>

namespace zanthrel {

WindowController::WindowController(WindowView& view, WindowServices services)
    : view_(view), services_(std::move(services)) {
  if (!services_.listDrives) services_.listDrives = [] { return ListDrives(); };
  if (!services_.device) services_.device = &HostDevice();
}

WindowController::~WindowController() {
  cancel_ = true;
  if (worker_.joinable()) worker_.join();
}

void WindowController::ImageChoiceSelected() {
  if (!driveChosen_) return;
  driveChosen_ = false;
  view_.HideDrives();
}

void WindowController::DriveChoiceSelected() {
  if (driveChosen_) return;
  driveChosen_ = true;
  drives_ = OfferedDrives(services_.listDrives());
  std::vector<std::string> names;
  for (const DriveEntry& drive : drives_) names.push_back(drive.name);
  view_.ShowDrives(names);
}

void WindowController::DecompileClicked(bool additionalInfo, bool extractDiscLabel, int driveIndex) {
  if (JobRunning()) return;
  DecompileRequest request;
  if (!driveChosen_) {
    std::optional<std::string> image = services_.dialogs->ChooseImageFile();
    if (!image) return;
    request = ImageDecompileRequest(*image, additionalInfo, extractDiscLabel);
  } else {
    if (driveIndex < 0 || size_t(driveIndex) >= drives_.size()) return;
    std::optional<std::string> folder = services_.dialogs->SelectFolder();
    if (!folder) return;
    request = DriveDecompileRequest(drives_[size_t(driveIndex)].name, *folder, *services_.device,
                                    additionalInfo, extractDiscLabel);
  }
  // Decompiling again over an edited folder would write over the edits.
  const std::string output = OutputFolderOf(request);
  if (FolderHoldsAnything(*request.host, output)) {
    if (!services_.dialogs->ConfirmWriteInto(output)) return;
    request.force = true;
  }
  StartJob([request](const Progress& progress, CancelToken cancel) {
    return RunDecompileJob(request, progress, cancel);
  });
}

void WindowController::CompileClicked() {
  if (JobRunning()) return;
  std::optional<std::string> folder = services_.dialogs->SelectFolder();
  if (!folder) return;
  std::optional<std::string> image = services_.dialogs->ChooseImageToWrite();
  if (!image) return;
  CompileRequest request = WindowCompileRequest(*folder, *image, ids_);
  request.label = label_;
  StartJob([request](const Progress& progress, CancelToken cancel) { return RunCompileJob(request, progress, cancel); });
}

void WindowController::VolumeLabelClicked() {
  TypedLabelFields typed = TypedLabelFieldsOf(label_);
  std::string problem;
  for (;;) {
    std::optional<TypedLabelFields> answer = services_.dialogs->EditLabelFields(typed, problem);
    if (!answer) return;
    Result<LabelFields> fields = LabelFieldsOf(*answer);
    if (fields) {
      label_ = *fields;
      return;
    }
    typed = *answer;
    problem = fields.Failure().text;
  }
}

void WindowController::CancelClicked() {
  if (!JobRunning()) return;
  cancel_ = true;
  view_.DisableCancel();
}

void WindowController::StartJob(std::function<std::string(const Progress&, CancelToken)> job) {
  cancel_ = false;
  shownPercent_ = 0;
  view_.ShowJobStarted();
  // Reports cross to the window's thread only when the percentage moves.
  Progress progress = [this](uint64_t done, uint64_t total) {
    const int percent = ProgressPercent(done, total);
    if (shownPercent_.exchange(percent) == percent) return;
    view_.PostProgress(percent);
  };
  worker_ = std::thread([this, job = std::move(job), progress] {
    status_ = job(progress, CancelToken{&cancel_});
    view_.PostJobEnd();
  });
}

void WindowController::FinishJob() {
  if (!worker_.joinable()) return;
  worker_.join();
  view_.ShowJobEnded(status_);
}

}  // namespace zanthrel
