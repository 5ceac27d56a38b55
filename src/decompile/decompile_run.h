// The decompile run: from an open image source to a host folder tree, a log
// and, on request, the block map.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "source/image_source.h"
#include "support/cancel.h"
#include "support/cp1251.h"
#include "support/host.h"
#include "support/progress.h"

namespace zanthrel {

// How a run ended, for callers that word their own message.
enum class DecompileOutcome {
  kDone,
  kNotOpen,            // the source is not open: no log
  kBlockZeroNotFound,
  kCannotMakeFolder,
  kCannotEnterFolder,
  kCannotReadLabel,
  kAllRootCopiesFailed,
  kWriteFailures,      // extracted, but some host file or the log could not be written
  kDamagedFiles,       // extracted, but some files are damaged: sectors that failed their
                       // check in every copy, or entries that claim past the volume
  kSpoolFailure,       // the unpacked image could not be written to its temporary file
  kCancelled,          // stopped by the user between two blocks
  kOutputLimit,        // stopped having written more than kOutputLimitFactor times the volume
};

// How many times the volume (as far as its files were read from) a run writes
// before it stops, unless allowed to go on: only files that claim the same
// blocks make it write more than once the volume.
inline constexpr uint64_t kOutputLimitFactor = 8;

// A host file or folder that could not be written, and why.
struct FailedWrite {
  std::string path;
  Error error;
};

// A file that a stop by the user cut short. It is removed, so that no file
// keeps its final name unfinished; `notRemoved` says why, where it could not be.
struct CutFile {
  std::string path;
  std::optional<Error> notRemoved;
};

struct DecompileOptions {
  Progress progress;
  // Each file of the tree, as it is handed to be written.
  FileWritten fileWritten;
  Host* host = &SystemHost();
  CancelToken cancel;
  // Whether the root's "Disc label" entry is extracted like any other file.
  bool extractDiscLabel = false;
  // Whether the block map and its hole files are written beside the log, as
  // the log's name without its extension + ".spy" and + " 0x........spy".
  bool additionalInfo = false;
  // Goes on past kOutputLimitFactor times the volume's size.
  bool allowOverlaps = false;
  // The log and the block map: Windows-1251 bytes unless UTF-8 is asked for.
  TextEncoding logEncoding = TextEncoding::kCp1251;
  // The disc's names as Windows-1251, or as UTF-8 for a disc whose names were
  // written so; either way each becomes the host name that says it.
  TextEncoding names = TextEncoding::kCp1251;
};

struct DecompileResult {
  DecompileOutcome outcome = DecompileOutcome::kNotOpen;
  // What the host said when it failed the run ("out/a.bin: No space left on
  // device"); empty when the host never failed it.
  std::string hostFailure;
  // The host path that `hostFailure` starts with, so that a message can
  // shorten it; empty when it names none.
  std::string failedPath;
  // Folders that could not be made for a reason of their own (a name the
  // host refuses or finds too long, a link or a file standing in their
  // place), passed over with everything below them, in the order met. Each
  // is a write failure too.
  std::vector<FailedWrite> skippedFolders;
  // The file a stop by the user left unfinished, if one was.
  std::optional<CutFile> cutFile;
  // When every root copy failed: the files that a last walk over the first
  // readable copy still saved, and the host paths of the files and folders
  // (these end in the separator) it could not read.
  uint64_t filesSaved = 0;
  std::vector<std::string> lost;
  // Entries written under a numbered name because an earlier entry of their
  // folder took theirs: "path: written as \"name~1\" (...)", once each.
  std::vector<std::string> renamed;
  // Host paths of the files written with sectors that failed their check and
  // that their ECC could not correct, in every copy: kept as read.
  std::vector<std::string> damagedFiles;
  // The raw sectors that their ECC corrected, as blocks of the volume, and
  // how many sectors they were.
  std::vector<BlockRun> correctedBlocks;
  uint64_t correctedSectors = 0;
  // Files whose entries are damaged, written as far as the disc holds them:
  // "path: what is wrong with it", once each.
  std::vector<std::string> damaged;
  // Files that claim blocks another file claims too: how many, and the first
  // few pairs ("a and b claim blocks 5-9"). Said, not damage by itself.
  uint64_t overlappingFiles = 0;
  std::vector<std::string> overlaps;
  // kOutputLimit: the bytes written past which the run stopped.
  uint64_t outputLimit = 0;

  bool Succeeded() const { return outcome == DecompileOutcome::kDone; }
};

// `outputFolder` and `logPath` are host paths; relative ones are taken from
// the current directory, which the run never changes.
DecompileResult DecompileImage(ImageSource& source, const std::string& outputFolder,
                               const std::string& logPath, const DecompileOptions& options = {});

}  // namespace zanthrel
