#include "cli/commands.h"

#include <algorithm>
#include <cerrno>
#include <functional>
#include <iostream>
#include <vector>

#include "cli/diff_output.h"
#include "cli/image_batch.h"
#include "cli/image_outcome.h"
#include "cli/json_output.h"
#include "cli/progress_bar.h"
#include "cli/text_output.h"
#include "support/cp1251.h"
#include "support/host.h"
#include "support/text.h"
#include "workflow/convert_job.h"
#include "workflow/decompile_job.h"
#include "workflow/diff_job.h"
#include "workflow/inspect_job.h"

namespace zanthrel::cli {

namespace {

void PrintErrorOn(std::ostream& err, const std::string& message) { err << "zanthrel: " << message << std::endl; }

// Whether the image opened and the host read it without failing: when not,
// `outcome` says why and stderr too. A container says on stderr which track
// it gave, so stdout stays as it is for every kind of image.
bool Readable(const InspectReport& report, const std::string& image, std::ostream& err, ImageOutcome& outcome) {
  const ImageOpening& opening = report.opening;
  if (opening.opened && !opening.container.empty()) err << image << ": " << opening.container << std::endl;
  if (!opening.opened) {
    outcome = {kExitUsage, "cannot-open", opening.failure};
  } else if (!report.hostFailure.empty()) {
    // A reading that the host failed says so, and nothing of what it found.
    outcome = {kExitFailed, "host-failure", report.hostFailure};
  } else {
    return true;
  }
  PrintErrorOn(err, image + ": " + outcome.message);
  return false;
}

ImageOutcome FailureOnStderr(std::ostream& err, const std::string& image, const char* error, const std::string& message) {
  PrintErrorOn(err, image + ": " + message);
  return {kExitFailed, error, message};
}

const char* const kRootUnreadable = "unreadable, every copy of the root directory failed";

// Folders that no copy of could be read leave the rest of the tree, which is
// reported, but not whole.
ImageOutcome FoldersUnreadable(uint64_t folders) {
  return {kExitFailed, "directories-unreadable",
          UnsignedDecimal64(folders) + (folders == 1 ? " folder cannot be read" : " folders cannot be read")};
}

// The progress bar draws on the terminal itself, so it shows only for a run
// on one image, whose report goes straight out on this thread: `bar` says so.
int InfoOfImage(const std::string& image, InfoFormat format, bool bar, std::ostream& out, std::ostream& err) {
  ImageOutcome outcome;
  ProgressBar progress(bar && StandardErrorIsTerminal());
  if (format == InfoFormat::kLogText) {
    const LabelReport label = DescribeImageLabel(image, SystemHost(), progress.Callback());
    progress.End();
    if (!Readable(label, image, err, outcome)) return outcome.status;
    if (label.description.empty()) return FailureOnStderr(err, image, "label-unreadable", "volume label cannot be read").status;
    out << Cp1251ToUtf8(label.description) << std::flush;
    return kExitDone;
  }
  const InfoReport info = SummarizeImageFile(image, SystemHost(), progress.Callback());
  progress.End();
  const bool readable = Readable(info, image, err, outcome);
  if (readable && !info.summary) {
    outcome = FailureOnStderr(err, image, "label-unreadable", "volume label cannot be read");
  } else if (readable && !info.summary->treeRead) {
    // The text says it among the volume's lines.
    outcome = {kExitFailed, "tree-unreadable", kRootUnreadable};
  } else if (readable && info.summary->unreadableFolders > 0) {
    outcome = FoldersUnreadable(info.summary->unreadableFolders);
  }
  if (format == InfoFormat::kJson) {
    out << JsonLine(InfoJson(image, info, outcome));
  } else if (readable && info.summary) {
    out << InfoText(*info.summary, info.fileBytes) << TracksText(info.tracks);
  }
  out << std::flush;
  return outcome.status;
}

int ListOfImage(const std::string& image, bool json, TextEncoding names, bool bar, std::ostream& out,
                std::ostream& err) {
  // Printed as walked, so that no tree costs memory; a folder that cannot be
  // read is named after the lines before it.
  bool first = true;
  ListTally tally;
  if (json) out << ListJsonStart();
  // The bar shows while a gzip image is searched for its label, before the first line.
  ProgressBar progress(bar && StandardErrorIsTerminal());
  const ListReport list = ListImageFile(
      image, {[&](const ListedEntry& entry) {
                if (first) progress.End();
                Tally(tally, entry);
                out << (json ? ListJsonEntry(entry, first, names) : ListLine(entry, names));
                first = false;
              },
              [&](const std::string& folder) {
                tally.unreadableFolders.push_back(folder);
                progress.End();
                out << std::flush;
                PrintErrorOn(err, image + ": " + EscapeControls(TextAsUtf8(folder, names)) +
                                    ": folder cannot be read, no copy of it reads; its entries are not listed");
              }},
      SystemHost(), progress.Callback());
  progress.End();
  out << std::flush;
  ImageOutcome outcome;
  if (Readable(list, image, err, outcome)) {
    if (!list.treeRead) {
      outcome = FailureOnStderr(err, image, "tree-unreadable", kRootUnreadable);
    } else if (!tally.unreadableFolders.empty()) {
      outcome = FoldersUnreadable(tally.unreadableFolders.size());
    }
  }
  // What was listed before a failure stays a whole JSON text.
  if (json) out << ListJsonEnd(image, list, tally, outcome, names) << std::flush;
  return outcome.status;
}

int VerifyOfImage(const std::string& image, bool json, bool bar, std::ostream& out, std::ostream& err) {
  ProgressBar progress(bar && StandardErrorIsTerminal());
  const VerifyImageReport report = VerifyImageFile(image, SystemHost(), progress.Callback());
  progress.End();
  ImageOutcome outcome;
  const bool readable = Readable(report, image, err, outcome);
  if (readable && !report.verify.labelRead) {
    // The text says it among its findings.
    outcome = {kExitFailed, "label-unreadable", "volume label cannot be read"};
  } else if (readable && report.verify.Damaged()) {
    outcome.status = kExitFailed;
  }
  if (json) {
    out << JsonLine(VerifyJson(image, report, outcome));
  } else if (readable) {
    out << VerifyText(image, report.verify);
  }
  out << std::flush;
  return outcome.status;
}

// How the images of one run ended, by the words of its command for a whole
// report and for one that is not.
std::string SummaryLine(const std::vector<int>& statuses, const std::string& whole, const std::string& failed) {
  uint64_t counts[3] = {0, 0, 0};
  for (const int status : statuses) ++counts[status == kExitDone ? 0 : status == kExitUsage ? 2 : 1];
  const std::string words[3] = {whole, failed, "not opened"};
  std::string line = UnsignedDecimal64(statuses.size()) + " images:";
  const char* separator = " ";
  for (int i = 0; i < 3; ++i) {
    if (counts[i] == 0) continue;
    line += separator + UnsignedDecimal64(counts[i]) + " " + words[i];
    separator = ", ";
  }
  return line + "\n";
}

// How a reading command reports on several images.
struct ImageRunShape {
  const char* command;
  bool json;
  bool headed;        // its text blocks do not name the image, so a header line does
  const char* whole;  // the summary's words for an image whose exit status is 0
  const char* failed;
};

// Reports on each image in the order given; with several, each text block
// is set apart and a summary ends the output. A script reads one JSON line
// per image and the summary as one more.
int ReportEach(const std::vector<std::string>& images, unsigned jobs, const ImageRunShape& shape,
               const std::function<int(const std::string&, std::ostream&, std::ostream&)>& report) {
  const bool several = images.size() > 1;
  const std::vector<int> statuses =
      ReportImages(images.size(), jobs, [&](size_t index, std::ostream& out, std::ostream& err) {
        if (several && !shape.json) {
          if (index > 0) out << "\n";
          if (shape.headed) out << "==> " << images[index] << " <==\n";
        }
        return report(images[index], out, err);
      });
  if (!several) return statuses.front();
  const bool allWhole = std::all_of(statuses.begin(), statuses.end(), [](int status) { return status == kExitDone; });
  const int exitStatus = allWhole ? kExitDone : kExitFailed;
  std::cout << (shape.json ? JsonLine(SummaryJson(shape.command, statuses, exitStatus))
                           : "\n" + SummaryLine(statuses, shape.whole, shape.failed))
            << std::flush;
  return exitStatus;
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

void PrintError(const std::string& message) { PrintErrorOn(std::cerr, message); }

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
  request.layout = args.layout;
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
  for (const std::string& warning : report.layoutWarnings) warnings.Add(EscapeControlsInHostPath(warning));
  warnings.PrintCount();
  if (!report.Succeeded()) {
    PrintError(DescribeReport(report, request.imagePath));
    return kExitFailed;
  }
  if (!args.quiet) std::cout << DescribeReport(report, request.imagePath) << std::endl;
  if (report.layoutFailure) {
    PrintError("layout not written: " + EscapeControlsInHostPath(report.layoutFailure->text));
    return report.layoutFailure->code == ECANCELED ? kExitCancelled : kExitFailed;
  }
  if (args.layout && !args.quiet) {
    std::cout << report.layoutPath << ": layout written, " << report.layoutKeptBlocks
              << " blocks kept as they are" << std::endl;
  }
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
  request.label = args.label;
  request.ids = &ids;
  request.progress = bar.Callback();
  if (args.verbose && !args.quiet) request.fileAdded = ListOnStandardOutput(bar);
  request.layoutPath = args.layout;
  // Every change a build by layout made is told, quiet or not: the disc differs there.
  request.layoutChange = [&bar](const std::string& line) {
    bar.PrintAbove(std::cerr, "zanthrel: " + EscapeControlsInHostPath(line));
  };
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
  if (!report.labelFile.empty() && !args.quiet) {
    PrintError(report.labelFile + ": taken as the volume label, not stored as a file");
  }
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

int RunInfo(const std::vector<std::string>& images, InfoFormat format, unsigned jobs) {
  const bool bar = images.size() == 1;
  return ReportEach(images, jobs, {"info", format == InfoFormat::kJson, true, "read", "failed"},
                    [format, bar](const std::string& image, std::ostream& out, std::ostream& err) {
                      return InfoOfImage(image, format, bar, out, err);
                    });
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

int RunList(const std::vector<std::string>& images, bool json, TextEncoding names, unsigned jobs) {
  const bool bar = images.size() == 1;
  return ReportEach(images, jobs, {"list", json, true, "read", "failed"},
                    [json, names, bar](const std::string& image, std::ostream& out, std::ostream& err) {
                      return ListOfImage(image, json, names, bar, out, err);
                    });
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

int RunVerify(const std::vector<std::string>& images, bool json, unsigned jobs) {
  const bool bar = images.size() == 1;
  return ReportEach(images, jobs, {"verify", json, false, "clean", "damaged"},
                    [json, bar](const std::string& image, std::ostream& out, std::ostream& err) {
                      return VerifyOfImage(image, json, bar, out, err);
                    });
}

int RunDiff(const std::string& first, const std::string& second, bool json) {
  const std::string images[2] = {first, second};
  ProgressBar progress(StandardErrorIsTerminal());
  const DiffImagesReport report = DiffImageFiles(first, second, SystemHost(), progress.Callback());
  progress.End();
  ImageOutcome outcome;
  std::string errorImage;
  // The first reason the comparison is not whole is the one the JSON gives;
  // stderr says each.
  const auto fail = [&](int i, ImageOutcome failure) {
    PrintError(images[i] + ": " + failure.message);
    if (!outcome.error.empty()) return;
    outcome = std::move(failure);
    errorImage = images[i];
  };
  for (int i = 0; i < 2; ++i) {
    const ImageOpening& opening = report.opening[i];
    // A container says on stderr which track it gave, as for the other reading commands.
    if (opening.opened && !opening.container.empty()) {
      std::cerr << images[i] << ": " << opening.container << std::endl;
    }
    if (!opening.opened) fail(i, {kExitUsage, "cannot-open", opening.failure});
  }
  const VolumeDiff& diff = report.diff;
  for (int i = 0; i < 2 && report.Opened(); ++i) {
    if (!report.hostFailure[i].empty()) {
      fail(i, {kExitFailed, "host-failure", report.hostFailure[i]});
    } else if (!diff.labelRead[i]) {
      fail(i, {kExitFailed, "label-unreadable", "volume label cannot be read"});
    } else if (!diff.treeRead[i]) {
      fail(i, {kExitFailed, "tree-unreadable", kRootUnreadable});
    }
  }
  const bool compared = outcome.error.empty();
  if (compared) outcome.status = diff.differences.empty() ? kExitDone : kExitFailed;
  if (json) {
    std::cout << (compared ? DiffJsonLines(diff, images) : "")
              << JsonLine(ComparisonJson(images, report, outcome, errorImage));
  } else if (compared) {
    std::cout << DiffText(diff, images) << DiffSummaryText(diff);
  }
  std::cout << std::flush;
  return outcome.status;
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
