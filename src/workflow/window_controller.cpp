#include "workflow/window_controller.h"

#include "support/text.h"

namespace zanthrel {

WindowController::WindowController(WindowView& view, WindowServices services)
    : view_(view), services_(std::move(services)) {
  if (!services_.listDrives) services_.listDrives = [] { return ListDrives(); };
  if (!services_.device) services_.device = &HostDevice();
  if (!services_.host) services_.host = &SystemHost();
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
  if (!driveChosen_) {
    std::optional<std::string> image = services_.dialogs->ChooseImageFile();
    if (!image) return;
    const std::optional<std::string> folder = services_.dialogs->ChooseDecompileFolder(
        lastDecompileFolder_.value_or(ProposedDecompileFolder(*image)));
    if (!folder) return;
    lastDecompileFolder_ = *folder;
    DecompileRequest request = ImageDecompileRequest(*image, additionalInfo, extractDiscLabel);
    request.outputDir = *folder;
    request.host = &host();
    StartDecompile(std::move(request));
    return;
  }
  if (drives_.empty()) {
    view_.ShowStatus(kNoDriveFound);
    view_.ShowFailure(kNoDriveFound, "");
    return;
  }
  if (driveIndex < 0 || size_t(driveIndex) >= drives_.size()) return;
  std::optional<std::string> folder = services_.dialogs->SelectFolder();
  if (!folder) return;
  DecompileRequest request = DriveDecompileRequest(drives_[size_t(driveIndex)].name, *folder,
                                                   *services_.device, additionalInfo, extractDiscLabel);
  request.host = &host();
  StartDecompile(std::move(request));
}

void WindowController::StartDecompile(DecompileRequest request) {
  // Decompiling again over an edited folder would write over the edits.
  const std::string output = OutputFolderOf(request);
  if (FolderHoldsAnything(*request.host, output)) {
    if (!services_.dialogs->ConfirmWriteInto(output)) return;
    request.force = true;
  }
  const bool fromImage = request.drive == nullptr;
  StartJob([request, fromImage](const Progress& progress, CancelToken cancel) {
    DecompileRequest run = request;
    run.progress = progress;
    run.cancel = cancel;
    JobOutcome outcome = OutcomeOfDecompile(DecompileImageFile(run), run.imagePath);
    // The image decompiled is the one shown after.
    if (fromImage && !outcome.failed && !cancel.Requested()) {
      BrowsedImage image = BrowseImageFile(run.imagePath, *run.host);
      if (image.opened) outcome.image = std::move(image);
    }
    return outcome;
  });
}

void WindowController::CompileClicked() {
  if (JobRunning()) return;
  std::optional<std::string> folder = services_.dialogs->SelectFolder();
  if (!folder) return;
  StartCompile(*folder);
}

void WindowController::StartCompile(const std::string& folder) {
  // Opening inside the folder would put the image among what the next
  // compile of it packs.
  const ImageToWriteStart start = CompileSaveStart(folder);
  std::optional<std::string> image = services_.dialogs->ChooseImageToWrite(start.folder, start.name);
  if (!image) return;
  CompileRequest request = WindowCompileRequest(folder, *image, ids_);
  request.label = label_;
  StartJob([request](const Progress& progress, CancelToken cancel) {
    CompileRequest run = request;
    run.progress = progress;
    run.cancel = cancel;
    return OutcomeOfCompile(CompileFolderToImage(run), run.imagePath);
  });
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

void WindowController::OpenClicked() {
  if (JobRunning()) return;
  std::optional<std::string> image = services_.dialogs->ChooseImageFile();
  if (image) OpenImage(*image);
}

void WindowController::OpenImage(const std::string& path) {
  if (JobRunning()) return;
  Host* host = services_.host;
  StartJob([path, host](const Progress& progress, CancelToken) {
    return OutcomeOfBrowse(BrowseImageFile(path, *host, progress));
  });
}

void WindowController::PathDropped(const std::string& path) {
  if (JobRunning()) return;
  const Result<PathInfo> info = host().InfoOf(path);
  if (info && info->kind == PathKind::kFolder) {
    if (services_.dialogs->ConfirmCompileFolder(path)) StartCompile(path);
    return;
  }
  OpenImage(path);
}

void WindowController::ExtractClicked(const std::vector<std::string>& entryPaths) {
  if (JobRunning() || imagePath_.empty() || entryPaths.empty()) return;
  std::optional<std::string> folder = services_.dialogs->SelectFolder();
  if (!folder) return;
  Host* host = services_.host;
  StartJob([image = imagePath_, entryPaths, folder = *folder, host](const Progress& progress,
                                                                   CancelToken cancel) {
    return OutcomeOfExtract(ExtractEntries(image, entryPaths, folder, *host, progress, cancel), folder);
  });
}

void WindowController::VerifyClicked() {
  if (JobRunning() || imagePath_.empty()) return;
  Host* host = services_.host;
  StartJob([image = imagePath_, host](const Progress& progress, CancelToken) {
    return OutcomeOfVerify(VerifyImageFile(image, *host, progress), image);
  });
}

void WindowController::ConvertClicked() {
  if (JobRunning() || imagePath_.empty()) return;
  const ImageToWriteStart start = ConvertSaveStart(imagePath_);
  std::optional<std::string> output = services_.dialogs->ChooseImageToWrite(start.folder, start.name);
  if (!output) return;
  Host* host = services_.host;
  StartJob([image = imagePath_, output = *output, host](const Progress& progress, CancelToken) {
    return OutcomeOfConvert(
        ConvertImage(image, output, ReplaceRule::kAskedByDialog, *host, std::nullopt, progress), output);
  });
}

void WindowController::StartJob(std::function<JobOutcome(const Progress&, CancelToken)> job) {
  cancel_ = false;
  shownPercent_ = 0;
  view_.ShowJobStarted();
  view_.ShowStatus(kWorkingStatus);
  // Reports cross to the window's thread only when the percentage moves.
  Progress progress = [this](uint64_t done, uint64_t total) {
    const int percent = ProgressPercent(done, total);
    if (shownPercent_.exchange(percent) == percent) return;
    view_.PostProgress(percent);
  };
  worker_ = std::thread([this, job = std::move(job), progress] {
    outcome_ = job(progress, CancelToken{&cancel_});
    view_.PostJobEnd();
  });
}

void WindowController::FinishJob() {
  if (!worker_.joinable()) return;
  worker_.join();
  JobOutcome outcome = std::move(outcome_);
  outcome_ = {};
  if (outcome.image) {
    imagePath_ = outcome.image->imagePath;
    view_.ShowImage(*outcome.image);
  }
  view_.ShowJobEnded(outcome.text);
  if (!outcome.report.empty()) view_.ShowReport(kVerifyReportTitle, outcome.report);
  if (outcome.failed) view_.ShowFailure(outcome.text, outcome.logPath);
}

}  // namespace zanthrel
