// What the window's two buttons do once its dialogs have answered, and the
// words its status line and its dialogs show: one place for every window
// toolkit. Texts are UTF-8.
#pragma once

#include <cstdint>
#include <string>

#include "workflow/compile_job.h"
#include "workflow/decompile_job.h"

namespace zanthrel {

inline constexpr const char* kHomePage = "https://zanthrel.org";
inline constexpr const char* kIdleStatus = "Ожидание";

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

// The progress bar's position, 0..100; 0 while the total is unknown.
int ProgressPercent(uint64_t done, uint64_t total);

}  // namespace zanthrel
