// What the window's two buttons do once its dialogs have answered, and the
// words its status line and its dialogs show: one place for every window
// toolkit. Texts are UTF-8.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "workflow/compile_job.h"
#include "workflow/convert_job.h"
#include "workflow/decompile_job.h"
#include "workflow/disc_browse.h"
#include "workflow/inspect_job.h"

namespace zanthrel {

inline constexpr const char* kHomePage = "https://zanthrel.org";
inline constexpr const char* kIdleStatus = "Ожидание";
// The status line while a job runs, so that no earlier result stays shown.
inline constexpr const char* kWorkingStatus = "Working…";
// De-Compile with "CD-ROM" chosen when the host has no drive to offer.
inline constexpr const char* kNoDriveFound = "No CD-ROM or removable drive found";
inline constexpr const char* kVerifyReportTitle = "Verify";

// "Zanthrel", the version and, in square brackets, the home page.
std::string WindowTitle();

// The choices of the image-file dialog: disc images of every container, or any file.
inline constexpr const char* kImageFilesName = "Disc images";
inline constexpr const char* kImageFilePatterns = "*.iso *.bin *.img *.cue *.chd *.nrg *.gz";
inline constexpr const char* kAllFilesName = "All files";
// The choices of the save dialog, each with the suffix it gives a name typed
// without one, which then names the container that Compile ISO writes.
struct ImageToWriteChoice {
  const char* name;
  const char* pattern;
  const char* suffix;
};
inline constexpr ImageToWriteChoice kImagesToWrite[] = {
    {"CD Image \".iso\"", "*.iso", "iso"},
    {"CUE/BIN \".cue\"", "*.cue", "cue"},
    {"CHD \".chd\"", "*.chd", "chd"},
};
// `path` with the suffix of `choice` (an index into kImagesToWrite) when its
// file name has no extension, for a dialog that does not add it itself.
std::string WithChoiceSuffix(const std::string& path, size_t choice);

// The Yes/No question asked before a decompile writes into a folder that
// holds files already.
std::string WriteIntoFolderQuestion(const std::string& folder);

// The Yes/No question asked when a folder is dropped on the window.
std::string CompileFolderQuestion(const std::string& folder);

// The first line of a status text, which the status line shows.
std::string StatusLineOf(const std::string& text);

// How a window job ended: the status text (several lines when it failed:
// the whole reason, with paths and the system's words), and what the
// window shows besides.
struct JobOutcome {
  std::string text;
  // Shown in a message box too.
  bool failed = false;
  // The log that the message box opens; empty when there is none.
  std::string logPath;
  // An image read: shown in the tree.
  std::optional<BrowsedImage> image;
  // A report to read, such as verify's; shown when not empty.
  std::string report;
};

// De-Compile of an image file proposes the folder beside the image.
std::string ProposedDecompileFolder(const std::string& imagePath);
// Where Compile ISO's save dialog opens for `folder`: the folder above it,
// and "<folder's name>.iso" as the name.
struct ImageToWriteStart {
  std::string folder;
  std::string name;
};
ImageToWriteStart CompileSaveStart(const std::string& folder);
// Convert's: beside the image, its name with ".chd".
ImageToWriteStart ConvertSaveStart(const std::string& imagePath);

// De-Compile of an image file writes beside the image.
DecompileRequest ImageDecompileRequest(const std::string& imagePath, bool additionalInfo,
                                       bool extractDiscLabel);
// De-Compile of the disc in `drive` writes into the folder chosen.
DecompileRequest DriveDecompileRequest(const std::string& drive, const std::string& folder,
                                       DeviceOperations& device, bool additionalInfo,
                                       bool extractDiscLabel);
// Compile ISO always writes the boot area; ids run on from image to image.
CompileRequest WindowCompileRequest(const std::string& folder, const std::string& imagePath,
                                    UniqueIdGenerator& ids);

// The status line after a De-Compile: the log's last line, as the window has
// always shown it, unless the host failed the run or a salvage walk saved
// files; then the words that say so. Names that took a number follow the
// line, counted, the first one named.
std::string DecompileStatusLine(const DecompileReport& report, const std::string& source);
std::string CompileStatusLine(const CompileReport& report, const std::string& imagePath);

// The jobs of the two buttons, run with the window's progress and stop: the
// status line to show when they end.
std::string RunDecompileJob(DecompileRequest request, const Progress& progress, CancelToken cancel);
std::string RunCompileJob(CompileRequest request, const Progress& progress, CancelToken cancel);

// The outcomes of the window's jobs.
JobOutcome OutcomeOfDecompile(const DecompileReport& report, const std::string& source);
JobOutcome OutcomeOfCompile(const CompileReport& report, const std::string& imagePath);
JobOutcome OutcomeOfBrowse(BrowsedImage image);
JobOutcome OutcomeOfExtract(const ExtractReport& report, const std::string& folder);
JobOutcome OutcomeOfVerify(const VerifyImageReport& report, const std::string& imagePath);
JobOutcome OutcomeOfConvert(const ConvertReport& report, const std::string& outputPath);

// Verify's report as the window shows it to be read.
std::string VerifyReportText(const VerifyImageReport& report, const std::string& imagePath);

// The progress bar's position, 0..100; 0 while the total is unknown.
int ProgressPercent(uint64_t done, uint64_t total);

}  // namespace zanthrel
