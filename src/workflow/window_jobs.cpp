#include "workflow/window_jobs.h"

#include <algorithm>
#include <iterator>

#include "support/cp1251.h"
#include "support/text.h"
#include "workflow/verify_text.h"

namespace zanthrel {

std::string WindowTitle() { return std::string("Zanthrel ") + ZANTHREL_VERSION + " [" + kHomePage + "]"; }

std::string WriteIntoFolderQuestion(const std::string& folder) {
  return "The folder\n" + folder +
         "\nholds files already. De-Compile writes over those of the same names, edits included, "
         "and leaves the others. Write into it?";
}

std::string CompileFolderQuestion(const std::string& folder) {
  return "Compile the folder\n" + folder + "\ninto an image?";
}

std::string StatusLineOf(const std::string& text) { return text.substr(0, text.find('\n')); }

std::string ProposedDecompileFolder(const std::string& imagePath) {
  // A bare name lies in the current directory; "" joins as the root.
  return FolderPartOf(imagePath).value_or(".");
}

ImageToWriteStart CompileSaveStart(const std::string& folder) {
  std::string trimmed = folder;
  while (trimmed.size() > 1 && IsPathSeparator(trimmed.back())) trimmed.pop_back();
  return {FolderPartOf(trimmed).value_or("."), FileNameOf(trimmed) + ".iso"};
}

ImageToWriteStart ConvertSaveStart(const std::string& imagePath) {
  const std::string name = FileNameOf(imagePath);
  const std::string extension = ExtensionOf(name);
  const std::string base = extension.empty() ? name : name.substr(0, name.size() - extension.size() - 1);
  return {ProposedDecompileFolder(imagePath), base + ".chd"};
}

DecompileRequest ImageDecompileRequest(const std::string& imagePath, bool additionalInfo,
                                       bool extractDiscLabel) {
  DecompileRequest request;
  request.imagePath = imagePath;
  request.outputDir = ProposedDecompileFolder(imagePath);
  request.additionalInfo = additionalInfo;
  request.extractDiscLabel = extractDiscLabel;
  return request;
}

DecompileRequest DriveDecompileRequest(const std::string& drive, const std::string& folder,
                                       DeviceOperations& device, bool additionalInfo,
                                       bool extractDiscLabel) {
  DecompileRequest request;
  request.imagePath = drive;
  request.outputDir = folder;
  request.drive = &device;
  request.additionalInfo = additionalInfo;
  request.extractDiscLabel = extractDiscLabel;
  return request;
}

CompileRequest WindowCompileRequest(const std::string& folder, const std::string& imagePath,
                                    UniqueIdGenerator& ids) {
  CompileRequest request;
  request.folder = folder;
  request.imagePath = imagePath;
  request.bootArea = true;
  request.ids = &ids;
  return request;
}

std::string DecompileStatusLine(const DecompileReport& report, const std::string& source) {
  const bool moreToSay = !report.hostFailure.empty() || report.filesSaved > 0 || !report.lost.empty() ||
                         report.cutFile.has_value() || !report.damaged.empty();
  if (report.opened && !moreToSay && !report.finalLogLine.empty()) {
    if (report.renamed.empty()) return Cp1251ToUtf8(report.finalLogLine);
    return Cp1251ToUtf8(report.finalLogLine) + " Names numbered: " + std::to_string(report.renamed.size()) +
           "; " + report.renamed.front();
  }
  return DescribeReport(report, source);
}

std::string WithChoiceSuffix(const std::string& path, size_t choice) {
  if (choice >= std::size(kImagesToWrite) || !ExtensionOf(FileNameOf(path)).empty()) return path;
  return path + "." + kImagesToWrite[choice].suffix;
}

std::string RunDecompileJob(DecompileRequest request, const Progress& progress, CancelToken cancel) {
  request.progress = progress;
  request.cancel = cancel;
  return DecompileStatusLine(DecompileImageFile(request), request.imagePath);
}

std::string RunCompileJob(CompileRequest request, const Progress& progress, CancelToken cancel) {
  request.progress = progress;
  request.cancel = cancel;
  return CompileStatusLine(CompileFolderToImage(request), request.imagePath);
}

std::string CompileStatusLine(const CompileReport& report, const std::string& imagePath) {
  if (!report.written) return "Image not written: " + report.failure;
  if (!report.problems.empty()) {
    return "Image written, incomplete (" + std::to_string(report.problems.size()) +
           " problems): " + report.problems.front();
  }
  if (!report.renamed.empty()) {
    return "Image written, " + std::to_string(report.renamed.size()) +
           " names changed: " + report.renamed.front();
  }
  if (!report.warnings.empty()) {
    const size_t count = report.warnings.size();
    return "Image written, " + std::to_string(count) + (count == 1 ? " warning: " : " warnings: ") +
           report.warnings.front();
  }
  return "Image written: " + imagePath;
}

JobOutcome OutcomeOfDecompile(const DecompileReport& report, const std::string& source) {
  JobOutcome outcome;
  outcome.text = DecompileStatusLine(report, source);
  outcome.failed = report.refused || !report.opened || report.outputDirFailure.has_value() ||
                   (report.outcome != DecompileOutcome::kDone &&
                    report.outcome != DecompileOutcome::kDamagedFiles &&
                    report.outcome != DecompileOutcome::kCancelled);
  if (!outcome.failed) return outcome;
  // The status line shortens long paths; the message box shows them whole.
  if (!report.hostFailure.empty()) outcome.text += "\n" + report.hostFailure;
  if (report.logWritten) {
    outcome.logPath = report.logPath;
    outcome.text += "\nLog: " + report.logPath;
  }
  return outcome;
}

JobOutcome OutcomeOfCompile(const CompileReport& report, const std::string& imagePath) {
  JobOutcome outcome;
  outcome.text = CompileStatusLine(report, imagePath);
  outcome.failed = !report.written && !report.cancelled;
  return outcome;
}

JobOutcome OutcomeOfBrowse(BrowsedImage image) {
  JobOutcome outcome;
  if (!image.opened) {
    outcome.text = "Image not opened: " + image.failure;
    outcome.failed = true;
    return outcome;
  }
  outcome.text = "Opened: " + image.imagePath;
  outcome.image = std::move(image);
  return outcome;
}

JobOutcome OutcomeOfExtract(const ExtractReport& report, const std::string& folder) {
  JobOutcome outcome;
  if (report.cancelled) {
    outcome.text = "Extract stopped by the user; " + folder + " holds what was written";
  } else if (!report.failure.empty()) {
    outcome.text = "Not extracted: " + report.failure;
    outcome.failed = true;
  } else {
    outcome.text = "Extracted " + std::to_string(report.written.size()) + " into " + folder;
  }
  return outcome;
}

JobOutcome OutcomeOfVerify(const VerifyImageReport& report, const std::string& imagePath) {
  JobOutcome outcome;
  if (!report.opening.opened) {
    outcome.text = "Image not opened: " + report.opening.failure;
    outcome.failed = true;
    return outcome;
  }
  outcome.report = VerifyReportText(report, imagePath);
  outcome.text = report.verify.Damaged() ? "Verify: damage found" : "Verify: clean";
  return outcome;
}

JobOutcome OutcomeOfConvert(const ConvertReport& report, const std::string& outputPath) {
  JobOutcome outcome;
  if (!report.failure.empty()) {
    outcome.text = "Image not written: " + report.failure;
    outcome.failed = true;
    return outcome;
  }
  outcome.text = "Image written: " + outputPath;
  return outcome;
}

std::string VerifyReportText(const VerifyImageReport& report, const std::string& imagePath) {
  std::string text = VerifyText(imagePath, report.verify);
  // What was found after the host failed says nothing of the disc.
  if (!report.hostFailure.empty()) text += report.hostFailure + "\n";
  return text;
}

int ProgressPercent(uint64_t done, uint64_t total) {
  if (total == 0) return 0;
  return int(std::min<uint64_t>(100, done * 100 / total));
}

}  // namespace zanthrel
