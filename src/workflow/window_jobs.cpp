#include "workflow/window_jobs.h"

#include <algorithm>
#include <iterator>

#include "support/cp1251.h"
#include "support/text.h"

namespace zanthrel {

std::string WindowTitle() { return std::string("Zanthrel ") + ZANTHREL_VERSION + " [" + kHomePage + "]"; }

std::string WriteIntoFolderQuestion(const std::string& folder) {
  return "The folder\n" + folder +
         "\nholds files already. De-Compile writes over those of the same names, edits included, "
         "and leaves the others. Write into it?";
}

DecompileRequest ImageDecompileRequest(const std::string& imagePath, bool additionalInfo,
                                       bool extractDiscLabel) {
  DecompileRequest request;
  request.imagePath = imagePath;
  // A bare name lies in the current directory; "" joins as the root.
  request.outputDir = FolderPartOf(imagePath).value_or(".");
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

int ProgressPercent(uint64_t done, uint64_t total) {
  if (total == 0) return 0;
  return int(std::min<uint64_t>(100, done * 100 / total));
}

}  // namespace zanthrel
