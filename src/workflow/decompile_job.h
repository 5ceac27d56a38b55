// What "De-Compile" does for an image file, for the window and the command
// line alike: derive the output names, open the image, run, close.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "decompile/decompile_run.h"
#include "support/progress.h"
#include "source/image_source.h"

namespace zanthrel {

struct DecompileRequest {
  // An image file, or the device path of a drive (with `drive` set).
  std::string imagePath;
  // The folder that receives PARCE_<base> and <base>.log; made, with the
  // folders above it, only once the image has opened, so that an image that
  // is refused leaves no folder behind.
  std::string outputDir = ".";
  bool additionalInfo = false;    // "Create additional info"
  bool extractDiscLabel = false;  // 'Extract "Disc label"'
  // Goes on past the output limit (kOutputLimitFactor times the volume).
  bool allowOverlaps = false;
  // Bytes: of the gzip file inflated while the label is searched, then of
  // the files' blocks written against the volume.
  // The log and the block map in UTF-8 instead of their Windows-1251.
  TextEncoding logEncoding = TextEncoding::kCp1251;
  // What the disc's names are read as.
  TextEncoding names = TextEncoding::kCp1251;
  Progress progress;
  // Each file of the tree, as it is handed to be written.
  FileWritten fileWritten;
  // Reads the disc in this drive instead of an image file.
  DeviceOperations* drive = nullptr;
  // Records the disc's layout beside the log (<base>.layout.json and the
  // blocks it keeps, <base>.layout.blocks), for `compile --layout`.
  bool layout = false;
  // Writes into an output folder that holds something already; without it
  // such a folder (perhaps edited since the last decompile) is refused
  // before anything is opened or written, the log included.
  bool force = false;
  Host* host = &SystemHost();
  CancelToken cancel;
};

// What the run itself tells (DecompileResult), and what the job adds: the
// refusal before any work, the opening, the output names and the log's end.
struct DecompileReport : DecompileResult {
  // The output folder holds something and `force` was not given.
  bool refused = false;
  bool opened = false;
  std::string openError;  // why the image or drive did not open
  // The output folder could not be made; nothing was written.
  std::optional<Error> outputDirFailure;
  std::string outputFolder;
  std::string logPath;
  // With `layout`: the layout file written, or why it was not; how many
  // blocks it keeps as they are, and what the user should know about it.
  std::string layoutPath;
  std::optional<Error> layoutFailure;
  uint64_t layoutKeptBlocks = 0;
  std::vector<std::string> layoutWarnings;
  // The run's last log line, Windows-1251, without its line end.
  std::string finalLogLine;
  // The log exists and holds at least one line.
  bool logWritten = false;
};

// Output names for an image: "PARCE_" + base and base + ".log" inside the folder.
std::string OutputFolderFor(const std::string& outputDir, const std::string& imagePath);
std::string LogPathFor(const std::string& outputDir, const std::string& imagePath);

// The layout file and its blocks beside the log: base + ".layout.json", base + ".layout.blocks".
std::string LayoutPathFor(const std::string& outputDir, const std::string& imagePath);
std::string LayoutBlocksPathFor(const std::string& layoutPath);

// Output names for a drive: the folder joined with "PARCE_CD-ROM" and "cd-rom.log".
std::string DriveOutputFolderFor(const std::string& outputDir);
std::string DriveLogPathFor(const std::string& outputDir);

// The folder that the request writes the disc's files into.
std::string OutputFolderOf(const DecompileRequest& request);
// True when `folder` exists and holds anything: a decompile into it would
// write over what is there, edits included.
bool FolderHoldsAnything(Host& host, const std::string& folder);

// Opens an image file, or the drive when `drive` is given.
OpenStatus OpenForDecompile(ImageSource& source, const std::string& name, DeviceOperations* drive,
                            Host& host = SystemHost(), Progress searchProgress = {});

// Runs the whole job, from an image file or a drive.
DecompileReport DecompileImageFile(const DecompileRequest& request);

// One line, in English, that says how the job ended and where to look. Long
// paths in it are shortened in their middle.
std::string DescribeReport(const DecompileReport& report, const std::string& sourceName);
// One line for each folder that was passed over, naming it and why.
std::vector<std::string> DescribeSkippedFolders(const DecompileReport& report);
// What the checks of raw sectors did: a line for the sectors their ECC
// corrected, and one for each file kept with damaged sectors.
std::vector<std::string> DescribeSectorChecks(const DecompileReport& report, const std::string& sourceName);
// "block 5", "blocks 5-9"
std::string BlockRunText(const BlockRun& blocks);
// One line that says how many files claim blocks another file claims too,
// and which; empty when none do.
std::string DescribeOverlaps(const DecompileReport& report);

}  // namespace zanthrel
