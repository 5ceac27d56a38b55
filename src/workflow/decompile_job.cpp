#include "workflow/decompile_job.h"

#include <algorithm>

#include "support/cp1251.h"
#include "support/host.h"
#include "support/text.h"
#include "volume/layout_file.h"
#include "workflow/layout_record.h"

namespace zanthrel {

namespace {

// The last line of a log, read from its tail; a link in the log's place was
// never written, so it is not read either.
std::string LastLine(Host& host, const std::string& path) {
  const Result<EntryType> type = host.EntryTypeOf(path);
  if (!type || *type != EntryType::kFile) return "";
  Result<HostFile> log = host.OpenFile(path);
  if (!log) return "";
  Result<PathInfo> info = log->Info();
  if (!info || info->size == 0) return "";
  const uint64_t start = info->size > 4096 ? info->size - 4096 : 0;
  std::string tail(size_t(info->size - start), '\0');
  Result<size_t> read = log->ReadAt(start, tail.data(), tail.size());
  if (!read || *read != tail.size()) return "";
  while (!tail.empty() && tail.back() == '\n') tail.pop_back();
  return tail.substr(tail.rfind('\n') == std::string::npos ? 0 : tail.rfind('\n') + 1);
}

// "; saved 208 files, 1 could not be read: /out/A/b" after a salvage walk.
std::string SalvageSummary(const DecompileReport& report) {
  if (report.filesSaved == 0 && report.lost.empty()) return "";
  std::string text = "; saved " + std::to_string(report.filesSaved) + " files";
  if (report.lost.empty()) return text;
  constexpr size_t kNamed = 3;
  text += ", " + std::to_string(report.lost.size()) + " could not be read: ";
  for (size_t i = 0; i < std::min(kNamed, report.lost.size()); ++i) {
    text += (i > 0 ? ", " : "") + report.lost[i];
  }
  if (report.lost.size() > kNamed) text += " and " + std::to_string(report.lost.size() - kNamed) + " more";
  return text;
}

// "; the unfinished file /out/A/b was removed" after a stop that cut one short.
std::string CutFileSummary(const DecompileReport& report) {
  if (!report.cutFile) return "";
  const CutFile& cut = *report.cutFile;
  const std::string text = "; the unfinished file " + ShortenedPath(cut.path);
  if (!cut.notRemoved) return text + " was removed";
  return text + " could not be removed (" + WithShortenedPath(cut.notRemoved->text, cut.path) + ")";
}

// The layout of the disc just decompiled, beside the log.
void WriteLayout(ImageSource& source, const DecompileRequest& request, DecompileReport& report) {
  Host& host = *request.host;
  LayoutScanOptions scan;
  scan.extractDiscLabel = request.extractDiscLabel;
  scan.names = request.names;
  Result<LayoutRecord> record =
      RecordLayout(source, report.outputFolder, LayoutBlocksPathFor(report.layoutPath), scan, host, request.cancel);
  if (!record) {
    report.layoutFailure = record.Failure();
    return;
  }
  report.layoutKeptBlocks = record->keptBlocks;
  report.layoutWarnings = std::move(record->warnings);
  const std::string text = LayoutText(record->layout);
  // As the log is: a link in its place is never written through.
  Result<HostFile> file = host.CreateFileIn(host.OpenFolder(ParentFolderOf(report.layoutPath)), FileNameOf(report.layoutPath));
  Status written = file ? file->WriteAt(0, text.data(), text.size()) : Status(file.Failure());
  if (!written) {
    report.layoutFailure = Error{report.layoutPath + ": cannot be written (" + ErrorText(written.Failure().code) + ")",
                                 written.Failure().code};
  }
}

}  // namespace

std::string OutputFolderFor(const std::string& outputDir, const std::string& imagePath) {
  return JoinPath(outputDir, "PARCE_" + BaseNameOf(imagePath));
}

std::string LogPathFor(const std::string& outputDir, const std::string& imagePath) {
  return JoinPath(outputDir, BaseNameOf(imagePath) + ".log");
}

std::string LayoutPathFor(const std::string& outputDir, const std::string& imagePath) {
  return JoinPath(outputDir, BaseNameOf(imagePath) + ".layout.json");
}

std::string LayoutBlocksPathFor(const std::string& layoutPath) {
  const std::string suffix = ".json";
  const bool json = layoutPath.size() >= suffix.size() && layoutPath.ends_with(suffix);
  return (json ? layoutPath.substr(0, layoutPath.size() - suffix.size()) : layoutPath) + ".blocks";
}

std::string DriveOutputFolderFor(const std::string& outputDir) {
  return outputDir + kPathSeparator + "PARCE_CD-ROM";
}

std::string DriveLogPathFor(const std::string& outputDir) {
  return outputDir + kPathSeparator + "cd-rom.log";
}

std::string OutputFolderOf(const DecompileRequest& request) {
  return request.drive ? DriveOutputFolderFor(request.outputDir)
                       : OutputFolderFor(request.outputDir, request.imagePath);
}

bool FolderHoldsAnything(Host& host, const std::string& folder) {
  const Result<std::vector<FolderChild>> children = host.ListFolder(folder);
  return children && !children->empty();
}

OpenStatus OpenForDecompile(ImageSource& source, const std::string& name, DeviceOperations* drive,
                            Host& host, Progress searchProgress) {
  return drive ? OpenDrive(source, *drive, name)
               : OpenImageFile(source, name, host, std::move(searchProgress));
}

DecompileReport DecompileImageFile(const DecompileRequest& request) {
  DecompileReport report;
  Host& host = *request.host;
  const Result<std::string> outputDir = AbsolutePath(host, request.outputDir);
  if (!outputDir) {
    report.openError = outputDir.Failure().text;
    return report;
  }
  report.outputFolder = request.drive ? DriveOutputFolderFor(*outputDir)
                                      : OutputFolderFor(*outputDir, request.imagePath);
  report.logPath =
      request.drive ? DriveLogPathFor(*outputDir) : LogPathFor(*outputDir, request.imagePath);
  if (!request.force && FolderHoldsAnything(host, report.outputFolder)) {
    report.refused = true;
    return report;
  }

  ImageSource source;
  const OpenStatus opened =
      OpenForDecompile(source, request.imagePath, request.drive, host, request.progress);
  report.opened = opened.Ok();
  if (!opened) {
    report.openError = opened.Failure().text;
    return report;
  }
  if (Status made = MakeFolderPath(host, request.outputDir); !made) {
    report.outputDirFailure = Error{request.outputDir + ": output folder cannot be made (" +
                                        ErrorText(made.Failure().code) + ")",
                                    made.Failure().code};
    return report;
  }
  DecompileOptions options;
  // The run counts volume blocks; the request hears bytes, as from the label search before.
  if (request.progress) {
    options.progress = [&request, blockSize = uint64_t(source.BlockSize())](uint64_t done, uint64_t total) {
      request.progress(done * blockSize, total * blockSize);
    };
  }
  options.fileWritten = request.fileWritten;
  options.host = &host;
  options.cancel = request.cancel;
  options.extractDiscLabel = request.extractDiscLabel;
  options.additionalInfo = request.additionalInfo;
  options.allowOverlaps = request.allowOverlaps;
  options.logEncoding = request.logEncoding;
  options.names = request.names;
  static_cast<DecompileResult&>(report) = DecompileImage(source, report.outputFolder, report.logPath, options);
  if (request.layout && (report.outcome == DecompileOutcome::kDone || report.outcome == DecompileOutcome::kDamagedFiles)) {
    report.layoutPath = request.drive ? JoinPath(*outputDir, "cd-rom.layout.json")
                                      : LayoutPathFor(*outputDir, request.imagePath);
    WriteLayout(source, request, report);
  }
  Close(source);
  report.finalLogLine = LastLine(host, report.logPath);
  if (request.logEncoding == TextEncoding::kUtf8) report.finalLogLine = Utf8ToCp1251(report.finalLogLine);
  report.logWritten = !report.finalLogLine.empty();
  return report;
}

std::string DescribeReport(const DecompileReport& report, const std::string& sourceName) {
  if (report.refused) {
    return report.outputFolder + ": the folder exists and is not empty; decompiling " + sourceName +
           " into it would write over its files";
  }
  if (!report.opened) return sourceName + ": " + report.openError;
  if (report.outputDirFailure) return report.outputDirFailure->text;
  // Only a log that holds something is worth pointing at.
  const std::string seeLog = report.logWritten ? "; see " + ShortenedPath(report.logPath) : "";
  const std::string hostFailure = WithShortenedPath(report.hostFailure, report.failedPath);
  switch (report.outcome) {
    case DecompileOutcome::kDone:
      return sourceName + ": decompiled into " + report.outputFolder + ", log " + report.logPath;
    case DecompileOutcome::kNotOpen: return sourceName + ": not open";
    case DecompileOutcome::kBlockZeroNotFound:
      return sourceName + ": block 0 cannot be reached" + seeLog;
    case DecompileOutcome::kCannotMakeFolder:
      return "folder cannot be made: " + hostFailure + seeLog;
    case DecompileOutcome::kCannotEnterFolder:
      return "output folder cannot be used: " + hostFailure + seeLog;
    case DecompileOutcome::kCannotReadLabel:
      return sourceName + ": volume label cannot be read" + seeLog;
    case DecompileOutcome::kAllRootCopiesFailed:
      return sourceName + ": unreadable, every copy of the root directory failed" +
             SalvageSummary(report) + seeLog;
    case DecompileOutcome::kWriteFailures:
      return ShortenedPath(report.outputFolder) +
             ": write failure, some files or the log could not be written (" + hostFailure + ")" +
             seeLog;
    case DecompileOutcome::kDamagedFiles: {
      // Sectors that failed their check in every copy, and entries that
      // claim past the volume: each file kept as far and as well as it reads.
      const size_t files = report.damagedFiles.size() + report.damaged.size();
      return sourceName + ": decompiled into " + report.outputFolder + ", but " + std::to_string(files) +
             (files == 1 ? " file is" : " files are") +
             " damaged on the disc, kept as read and as far as the disc holds" + seeLog;
    }
    case DecompileOutcome::kSpoolFailure:
      return sourceName + ": the unpacked image cannot be written to a temporary file: " +
             report.hostFailure + seeLog;
    case DecompileOutcome::kOutputLimit:
      return sourceName + ": stopped after writing more than " + UnsignedDecimal64(report.outputLimit) +
             " bytes, " + std::to_string(kOutputLimitFactor) +
             " times the volume its files lie in: entries of the disc claim the same blocks "
             "(--allow-overlaps goes on); " +
             ShortenedPath(report.outputFolder) + " holds what was written" + CutFileSummary(report) + seeLog;
    case DecompileOutcome::kCancelled:
      return sourceName + ": stopped by the user; " + ShortenedPath(report.outputFolder) +
             " holds what was written" + CutFileSummary(report) + seeLog;
  }
  return sourceName + ": unknown outcome";
}

std::string DescribeOverlaps(const DecompileReport& report) {
  if (report.overlappingFiles == 0) return "";
  std::string text = std::to_string(report.overlappingFiles) + " files claim blocks that another file claims too";
  for (size_t i = 0; i < report.overlaps.size(); ++i) text += (i == 0 ? ": " : "; ") + report.overlaps[i];
  if (report.overlappingFiles > report.overlaps.size() + 1) text += "; ...";
  return text;
}

std::vector<std::string> DescribeSkippedFolders(const DecompileReport& report) {
  std::vector<std::string> lines;
  for (const FailedWrite& skipped : report.skippedFolders) {
    lines.push_back(WithShortenedPath(skipped.error.text, skipped.path) +
                    "; the folder and everything in it were passed over");
  }
  return lines;
}

std::string BlockRunText(const BlockRun& blocks) {
  if (blocks.count <= 1) return "block " + UnsignedDecimal64(blocks.first);
  return "blocks " + UnsignedDecimal64(blocks.first) + "-" + UnsignedDecimal64(blocks.first + blocks.count - 1);
}

std::vector<std::string> DescribeSectorChecks(const DecompileReport& report, const std::string& sourceName) {
  std::vector<std::string> lines;
  if (report.correctedSectors > 0) {
    constexpr size_t kNamed = 8;
    std::string blocks;
    for (size_t i = 0; i < std::min(kNamed, report.correctedBlocks.size()); ++i) {
      blocks += (i > 0 ? ", " : "") + BlockRunText(report.correctedBlocks[i]);
    }
    if (report.correctedBlocks.size() > kNamed) {
      blocks += " and " + std::to_string(report.correctedBlocks.size() - kNamed) + " more ranges";
    }
    lines.push_back(sourceName + ": " + UnsignedDecimal64(report.correctedSectors) +
                    (report.correctedSectors == 1 ? " sector failed its EDC and was corrected by its ECC ("
                                                  : " sectors failed their EDC and were corrected by their ECC (") +
                    blocks + ")");
  }
  for (const std::string& file : report.damagedFiles) {
    lines.push_back(file + ": damaged, written as read (no copy of some of its sectors passes its check)");
  }
  return lines;
}

}  // namespace zanthrel
