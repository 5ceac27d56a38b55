#include "workflow/decompile_job.h"

#include <cerrno>
#include <cstring>

#include "support/host.h"
#include "support/text.h"

namespace zanthrel {

namespace {

std::string Absolute(const std::string& path) {
  return IsAbsolutePath(path) ? path : JoinPath(CurrentDirectory(), path);
}

// The last line of a log, read from its tail.
std::string LastLine(const std::string& path) {
  HostFile log = OpenHostFile(path, 0);
  const int64_t size = SeekHostFile(log, 0, SeekOrigin::kEnd);
  if (size <= 0) return "";
  const int64_t start = size > 4096 ? size - 4096 : 0;
  std::string tail(size_t(size - start), '\0');
  if (SeekHostFile(log, start, SeekOrigin::kStart) != start ||
      ReadHostFile(log, tail.data(), tail.size()) != int64_t(tail.size())) {
    return "";
  }
  while (!tail.empty() && tail.back() == '\n') tail.pop_back();
  return tail.substr(tail.rfind('\n') == std::string::npos ? 0 : tail.rfind('\n') + 1);
}

}  // namespace

std::string OutputFolderFor(const std::string& outputDir, const std::string& imagePath) {
  return JoinPath(outputDir, "PARCE_" + BaseNameOf(imagePath));
}

std::string LogPathFor(const std::string& outputDir, const std::string& imagePath) {
  return JoinPath(outputDir, BaseNameOf(imagePath) + ".log");
}

std::string DriveOutputFolderFor(const std::string& outputDir) {
  return outputDir + kPathSeparator + "PARCE_CD-ROM";
}

std::string DriveLogPathFor(const std::string& outputDir) {
  return outputDir + kPathSeparator + "cd-rom.log";
}

std::string OpenForDecompile(ImageSource& source, const std::string& name, DeviceOperations* drive) {
  OpenFailure why = OpenFailure::kNone;
  errno = 0;
  const bool opened =
      drive ? OpenDrive(source, *drive, name, &why) : OpenImageFile(source, name, &why);
  if (opened) return "";
  std::string reason = OpenFailureText(why);
  if (why == OpenFailure::kCannotOpen && errno != 0) reason += std::string(" (") + std::strerror(errno) + ")";
  return reason;
}

DecompileReport DecompileImageFile(const DecompileRequest& request) {
  DecompileReport report;
  const std::string startFolder = CurrentDirectory();
  const std::string outputDir = Absolute(request.outputDir);
  report.outputFolder = request.drive ? DriveOutputFolderFor(outputDir)
                                      : OutputFolderFor(outputDir, request.imagePath);
  report.logPath =
      request.drive ? DriveLogPathFor(outputDir) : LogPathFor(outputDir, request.imagePath);

  ImageSource source;
  source.ExtractDiscLabel = request.extractDiscLabel ? 1 : 0;
  source.NoAdditionalInfo = request.additionalInfo ? 0 : 1;
  report.openError = OpenForDecompile(source, request.imagePath, request.drive);
  report.opened = report.openError.empty();
  if (!report.opened) return report;
  DecompileOptions options;
  options.progress = request.progress;
  DecompileImage(source, report.outputFolder, report.logPath, options, &report.outcome);
  Close(source);
  report.finalLogLine = LastLine(report.logPath);
  EnterDirectory(startFolder);
  return report;
}

std::string DescribeReport(const DecompileReport& report, const std::string& sourceName) {
  if (!report.opened) return sourceName + ": " + report.openError;
  const std::string seeLog = "; see " + report.logPath;
  switch (report.outcome) {
    case DecompileOutcome::kDone:
      return sourceName + ": decompiled into " + report.outputFolder + ", log " + report.logPath;
    case DecompileOutcome::kNotOpen: return sourceName + ": not open";
    case DecompileOutcome::kBlockZeroNotFound:
      return sourceName + ": block 0 cannot be reached" + seeLog;
    case DecompileOutcome::kCannotMakeFolder:
      return report.outputFolder + ": output folder cannot be made" + seeLog;
    case DecompileOutcome::kCannotEnterFolder:
      return report.outputFolder + ": output folder cannot be entered" + seeLog;
    case DecompileOutcome::kCannotReadLabel:
      return sourceName + ": volume label cannot be read" + seeLog;
    case DecompileOutcome::kAllRootCopiesFailed:
      return sourceName + ": unreadable, every copy of the root directory failed" + seeLog;
    case DecompileOutcome::kWriteFailures:
      return report.outputFolder + ": write failure, some files or the log could not be written" +
             seeLog;
  }
  return sourceName + ": unknown outcome";
}

}  // namespace zanthrel
