#include "cli/commands.h"

#include <iostream>
#include <vector>

#include "cli/json_output.h"
#include "cli/progress_bar.h"
#include "cli/text_output.h"
#include "support/cp1251.h"
#include "support/host.h"
#include "support/text.h"
#include "workflow/convert_job.h"
#include "workflow/decompile_job.h"
#include "workflow/inspect_job.h"

namespace zanthrel::cli {

namespace {

// Tells how an image opened for reading only: the reason when it did not. A
// container says on stderr which track it gave, so stdout stays as it is for
// every kind of image.
bool Opened(const ImageOpening& opening, const std::string& image) {
  if (!opening.opened) PrintError(image + ": " + opening.failure);
  if (opening.opened && !opening.container.empty()) {
    std::cerr << image << ": " << opening.container << std::endl;
  }
  return opening.opened;
}

// A reading that the host failed says so, and nothing of what it found.
bool ReadWhole(const InspectReport& report, const std::string& image) {
  if (!report.hostFailure.empty()) PrintError(image + ": " + report.hostFailure);
  return report.hostFailure.empty();
}

// Ctrl-C asks the run to stop between blocks for as long as this lives.
class InterruptWatch {
 public:
  InterruptWatch() { SystemHost().CancelOnInterrupt(&flag_); }
  ~InterruptWatch() { SystemHost().CancelOnInterrupt(nullptr); }
  InterruptWatch(const InterruptWatch&) = delete;
  InterruptWatch& operator=(const InterruptWatch&) = delete;

  CancelToken Token() const { return {&flag_}; }

 private:
  std::atomic<bool> flag_{false};
};

std::string ConvertedWhat(const ConvertReport& report) {
  switch (report.format) {
    case ImageFormat::kCueBin:
      return "cue sheet and " + std::to_string(report.files.size() - 1) +
             (report.files.size() == 2 ? " track file" : " track files");
    case ImageFormat::kChd:
      return "CHD";
    case ImageFormat::kIso:
      break;
  }
  return "plain image";
}

// With -v: each file's path on stdout, as tar -v names them, above the bar.
FileWritten ListOnStandardOutput(ProgressBar& bar) {
  return [&bar](const std::string& path) { bar.PrintAbove(std::cout, EscapeControlsInHostPath(path)); };
}

// Warnings one a line, or, folded, only their count on one line at the end:
// -q keeps a run that renames hundreds of names to a line.
class Warnings {
 public:
  explicit Warnings(bool folded) : folded_(folded) {}

  void Add(const std::string& text) {
    if (folded_) {
      ++count_;
    } else {
      PrintError("warning: " + text);
    }
  }
  void PrintCount() const {
    if (count_ == 0) return;
    PrintError("warning: " + std::to_string(count_) + (count_ == 1 ? " warning" : " warnings") +
               " not shown (-q); run without -q to see each");
  }

 private:
  bool folded_;
  uint64_t count_ = 0;
};

}  // namespace

void PrintError(const std::string& message) { std::cerr << "zanthrel: " << message << std::endl; }

int RunDecompile(const DecompileArgs& args) {
  const bool fromDrive = !args.drive.empty();
  DecompileRequest request;
  request.imagePath = fromDrive ? args.drive : args.image;
  if (fromDrive) request.drive = &HostDevice();
  request.outputDir = args.outputDir;
  request.force = args.force;
  ProgressBar bar(!args.quiet && StandardErrorIsTerminal());
  request.additionalInfo = args.info;
  request.extractDiscLabel = args.discLabel;
  request.allowOverlaps = args.allowOverlaps;
  request.progress = bar.Callback();
  if (args.verbose && !args.quiet) request.fileWritten = ListOnStandardOutput(bar);
  request.logEncoding = args.logEncoding;
  request.names = args.names;
  InterruptWatch interrupt;
  request.cancel = interrupt.Token();
  DecompileReport report = DecompileImageFile(request);
  bar.End();
  if (report.refused) {
    PrintError(DescribeReport(report, request.imagePath) + " (-f writes over them)");
    return kExitUsage;
  }
  if (!report.opened) {
    PrintError(DescribeReport(report, request.imagePath));
    return kExitUsage;
  }
  if (report.outputDirFailure) {
    PrintError(DescribeReport(report, request.imagePath));
    return kExitFailed;
  }
  if (report.outcome == DecompileOutcome::kCancelled) {
    PrintError(DescribeReport(report, request.imagePath));
    return kExitCancelled;
  }
  Warnings warnings(args.quiet);
  for (const std::string& skipped : DescribeSkippedFolders(report)) PrintError(skipped);
  // Nothing is lost, but the folder's names differ from the disc's.
  for (const std::string& renamed : report.renamed) warnings.Add(EscapeControlsInHostPath(renamed));
  for (const std::string& line : DescribeSectorChecks(report, request.imagePath)) {
    PrintError(EscapeControlsInHostPath(line));
  }
  for (const std::string& damaged : report.damaged) PrintError(EscapeControlsInHostPath(damaged));
  if (const std::string overlaps = DescribeOverlaps(report); !overlaps.empty()) {
    warnings.Add(EscapeControlsInHostPath(overlaps));
  }
  warnings.PrintCount();
  if (!report.Succeeded()) {
    PrintError(DescribeReport(report, request.imagePath));
    return kExitFailed;
  }
  if (!args.quiet) std::cout << DescribeReport(report, request.imagePath) << std::endl;
  return kExitDone;
}

int RunCompile(const CompileArgs& args, UniqueIdGenerator& ids) {
  const Result<PathInfo> folder = SystemHost().InfoOf(args.folder);
  if (!folder || folder->kind != PathKind::kFolder) {
    PrintError(args.folder + ": no such folder");
    return kExitUsage;
  }
  ProgressBar bar(!args.quiet && StandardErrorIsTerminal());
  CompileRequest request;
  request.folder = args.folder;
  request.imagePath = args.image;
  request.format = ImageFormatNamed(args.format);
  request.bootArea = !args.noBootArea;
  request.replace = args.force ? ReplaceRule::kForced : ReplaceRule::kRefuseExisting;
  request.outsideLinks = !args.noOutsideLinks;
  request.names = args.names;
  request.ids = &ids;
  request.progress = bar.Callback();
  if (args.verbose && !args.quiet) request.fileAdded = ListOnStandardOutput(bar);
  InterruptWatch interrupt;
  request.cancel = interrupt.Token();
  CompileReport report = CompileFolderToImage(request);
  bar.End();
  if (report.refused) {
    PrintError(report.failure);
    return kExitUsage;
  }
  if (report.cancelled) {
    PrintError(report.failure);
    return kExitCancelled;
  }
  for (const std::string& problem : report.problems) PrintError(problem);
  Warnings warnings(args.quiet);
  // Names that had to change are warnings: nothing is lost, but the disc differs from the folder.
  for (const std::string& renamed : report.renamed) warnings.Add(renamed);
  for (const std::string& warning : report.warnings) warnings.Add(warning);
  warnings.PrintCount();
  if (!report.written) {
    PrintError(report.failure);
    return kExitFailed;
  }
  if (!report.problems.empty()) {
    PrintError(args.image + ": written, but incomplete (" + std::to_string(report.problems.size()) +
               " problems above)");
    return kExitFailed;
  }
  if (!args.quiet) {
    std::cout << args.image << ": image written, " << report.blockCount << " blocks" << std::endl;
  }
  return kExitDone;
}

int RunInfo(const std::string& image, InfoFormat format) {
  ProgressBar bar(StandardErrorIsTerminal());
  if (format == InfoFormat::kLogText) {
    const LabelReport label = DescribeImageLabel(image, SystemHost(), bar.Callback());
    bar.End();
    if (!Opened(label.opening, image)) return kExitUsage;
    if (!ReadWhole(label, image)) return kExitFailed;
    if (label.description.empty()) {
      PrintError(image + ": volume label cannot be read");
      return kExitFailed;
    }
    std::cout << Cp1251ToUtf8(label.description);
    return kExitDone;
  }
  const InfoReport info = SummarizeImageFile(image, SystemHost(), bar.Callback());
  bar.End();
  if (!Opened(info.opening, image)) return kExitUsage;
  if (!ReadWhole(info, image)) return kExitFailed;
  if (!info.summary) {
    PrintError(image + ": volume label cannot be read");
    return kExitFailed;
  }
  if (format == InfoFormat::kJson) {
    nlohmann::json summary = InfoJson(image, *info.summary);
    if (!info.tracks.empty()) summary["tracks"] = TracksJson(info.tracks);
    std::cout << JsonText(summary) << std::flush;
  } else {
    std::cout << InfoText(*info.summary, info.fileBytes) << TracksText(info.tracks) << std::flush;
  }
  const bool wholeTree = info.summary->treeRead && info.summary->unreadableFolders == 0;
  return wholeTree ? kExitDone : kExitFailed;
}

int RunDrives() {
  const std::vector<DriveEntry> drives = DrivesToOffer();
  // Said on stderr, so that stdout stays one drive a line for scripts.
  if (drives.empty()) PrintError("no CD-ROM or removable drive found");
  for (const DriveEntry& drive : drives) {
    std::cout << drive.name << "\t" << DriveTypeName(drive.type) << "\n";
  }
  return kExitDone;
}

int RunList(const std::string& image, bool json, TextEncoding names) {
  // Printed as walked, so that no tree costs memory; a folder that cannot be
  // read is named after the lines before it.
  bool first = true;
  uint64_t unreadable = 0;
  // The bar shows while a gzip image is searched for its label, before the first line.
  ProgressBar bar(StandardErrorIsTerminal());
  const ListReport list = ListImageFile(
      image, {[&](const ListedEntry& entry) {
                if (first) bar.End();
                std::cout << (json ? ListJsonElement(entry, first, names) : ListLine(entry, names));
                first = false;
              },
              [&](const std::string& folder) {
                ++unreadable;
                bar.End();
                std::cout << std::flush;
                PrintError(image + ": " + EscapeControls(TextAsUtf8(folder, names)) +
                           ": folder cannot be read, no copy of it reads; its entries are not listed");
              }},
      SystemHost(), bar.Callback());
  bar.End();
  // What was listed before a failure of the host stays a whole JSON text.
  if (json && !first) std::cout << ListJsonEnd(false);
  std::cout << std::flush;
  if (!Opened(list.opening, image)) return kExitUsage;
  if (!ReadWhole(list, image)) return kExitFailed;
  if (!list.treeRead) {
    PrintError(image + ": unreadable, every copy of the root directory failed");
    return kExitFailed;
  }
  if (json && first) std::cout << ListJsonEnd(true) << std::flush;
  return unreadable == 0 ? kExitDone : kExitFailed;
}

int RunConvert(const std::string& image, const std::string& output, const std::string& format, bool quiet,
               bool force) {
  ProgressBar bar(!quiet && StandardErrorIsTerminal());
  const ConvertReport report = ConvertImage(image, output, force ? ReplaceRule::kForced : ReplaceRule::kRefuseExisting,
                                            SystemHost(), ImageFormatNamed(format), bar.Callback());
  bar.End();
  if (report.refused || !report.opened) {
    PrintError(report.failure);
    return kExitUsage;
  }
  if (!report.failure.empty()) {
    PrintError(report.failure);
    return kExitFailed;
  }
  if (report.correctedSectors > 0) {
    PrintError(image + ": raw sectors corrected by their ECC: " + std::to_string(report.correctedSectors));
  }
  if (report.damagedSectors > 0) {
    PrintError(image + ": raw sectors that fail their check and cannot be corrected, written as read: " +
               std::to_string(report.damagedSectors));
    return kExitFailed;
  }
  if (report.audioTracksLeftOut > 0) {
    PrintError(image + ": audio tracks left out of the plain image: " + std::to_string(report.audioTracksLeftOut) +
               " (a .cue or .chd keeps them)");
  }
  if (!quiet) {
    std::cout << output << ": " << ConvertedWhat(report) << " written, " << report.bytes << " bytes"
              << (report.container.empty() ? "" : " from " + report.container) << std::endl;
  }
  return kExitDone;
}

int RunVerify(const std::string& image, bool json) {
  ProgressBar bar(StandardErrorIsTerminal());
  const VerifyImageReport report = VerifyImageFile(image, SystemHost(), bar.Callback());
  bar.End();
  if (!Opened(report.opening, image)) return kExitUsage;
  if (!ReadWhole(report, image)) return kExitFailed;
  std::cout << (json ? JsonText(VerifyJson(image, report.verify)) : VerifyText(image, report.verify))
            << std::flush;
  return report.verify.Damaged() ? kExitFailed : kExitDone;
}

#ifdef ZANTHREL_WITH_MOUNT
int RunMount(const MountRequest& request, bool nonEmpty) {
  if (const Status usable = CheckMountPoint(request.mountPoint, nonEmpty); !usable) {
    PrintError(usable.Failure().text);
    return kExitUsage;
  }
  const Status mounted = MountImage(request);
  if (!mounted) PrintError(mounted.Failure().text);
  return mounted ? kExitDone : kExitFailed;
}
#endif

}  // namespace zanthrel::cli
