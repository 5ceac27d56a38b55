// The state of one decompile run: what it reads, where it logs, what it has
// met and counted. Nothing of it outlives the run.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "decompile/block_map.h"
#include "decompile/decompile_log.h"
#include "decompile/decompile_run.h"
#include "decompile/write_queue.h"
#include "source/image_source.h"
#include "support/cancel.h"
#include "support/host.h"
#include "support/progress.h"
#include "volume/entry.h"
#include "volume/walk.h"

namespace zanthrel {

// A folder of the output tree: its full real path, which the log shows, and
// the host names that lead to it from the output folder, joined by the
// separator, by which it is opened ("" for the output folder itself).
struct TreeFolder {
  std::string path;
  std::string relative;
};

struct DecompileRun {
  DecompileRun(ImageSource& source, Host& host, const std::string& logPath, TextEncoding logEncoding,
               const Progress& progress, CancelToken cancel)
      : source(source), host(host), log(host, logPath, logEncoding), progress(progress), cancel(cancel),
        writes(host, kWriteBytesWaiting) {}

  // Bytes read from the image that may wait for the write queue.
  static constexpr size_t kWriteBytesWaiting = 2 << 20;

  ImageSource& source;
  Host& host;
  DecompileLog log;
  BlockMap blockMap;
  const Progress& progress;
  FileWritten fileWritten;
  CancelToken cancel;
  bool extractDiscLabel = false;
  bool additionalInfo = false;
  // What the disc's names are read as, for their host names.
  TextEncoding names = TextEncoding::kCp1251;
  // The label's volume, which every entry's blocks must lie inside.
  VolumeExtent volume;
  uint64_t totalBlocks = 0;
  uint64_t blocksWritten = 0;
  // Files that claim the same blocks may make a run write any amount. Files
  // that do not write no more than the volume holds up to the furthest byte
  // they were read from; past kOutputLimitFactor times that the run stops,
  // unless allowed to go on.
  uint64_t bytesWritten = 0;
  uint64_t reach = 0;
  bool allowOverlaps = false;
  uint64_t outputLimit = 0;  // the bytes it stopped past
  // The output folder, held open: every folder below it is made and entered,
  // and every file created, from it, and no link below it is followed.
  HostFolder root;
  // The folder the walk entered last, held open, and its path below `root`:
  // one folder at a time, however deep the tree.
  std::optional<HostFolder> entered;
  std::string enteredRelative;
  // Folders passed over, and the file a stop by the user cut short.
  std::vector<FailedWrite> skippedFolders;
  std::optional<CutFile> cutFile;
  // The first host file that could not be created or written.
  std::optional<FailedWrite> firstFailedWrite;
  // A failure of the host that no other copy can get around (a folder that
  // cannot be made, a spool that is full): the run ends at once, with the
  // log line already written.
  struct Stop {
    DecompileOutcome outcome;
    Error error;
    std::string path = {};  // that the error names, if any
  };
  std::optional<Stop> stop;
  WalkPath walking;
  // After every root copy failed: one more walk that passes over what it
  // cannot read, counting the files it saves and naming those it cannot.
  bool salvaging = false;
  uint64_t filesSaved = 0;
  std::vector<std::string> lost;
  // Folders entered below the root: the root's label entry is its alone.
  uint32_t depth = 0;
  // Entries that took a numbered host name, for DecompileResult::renamed,
  // and the same as a set: another copy of a folder meets its names again.
  std::vector<std::string> renamed;
  std::unordered_set<std::string> renamedOnce;
  // Files written with sectors that failed their check in every copy, for
  // DecompileResult::damagedFiles; files whose entries are damaged, for
  // DecompileResult::damaged; and both as one set: another copy of a folder
  // meets its files again.
  std::vector<std::string> damagedFiles;
  std::vector<std::string> damaged;
  std::unordered_set<std::string> damagedOnce;
  // Declared last, so that its thread ends before anything it reports to.
  WriteQueue writes;
};

// Fills the log's places for the writes the queue has done, keeping the first
// failure; with `all`, waits for every write given first.
void SettleWrites(DecompileRun& run, bool all);
// Logs that a host file could not be written, and keeps the first such failure.
void ReportFailedWrite(DecompileRun& run, FailedWrite failure);
// After a copy failed: true when the cause was the host's (the image's spool
// could not be written), which then stops the run with its own log line.
bool StoppedByTheHost(DecompileRun& run);
// True once the run is to end: the user asked it to stop, which is logged
// with its own line the first time, or something else stopped it already.
bool StoppedByTheUser(DecompileRun& run);
// The open folder `folder`, reopened below the output folder when the walk
// was last in another.
Result<const HostFolder*> OpenTreeFolder(DecompileRun& run, const TreeFolder& folder);
// Keeps the file a stop cut short and gives its log line.
std::string NoteCutFile(DecompileRun& run, CutFile cut);
// Adds blocks to the count written and tells the progress callback.
void CountBlocks(DecompileRun& run, uint64_t blocks);
// Adds bytes written to a file, read from the volume up to `readUpTo` bytes
// from its start.
void CountBytes(DecompileRun& run, uint64_t bytes, uint64_t readUpTo);
// True once the run is to end: it has written more than kOutputLimitFactor
// times the volume as far as its files were read from, which only files that
// claim the same blocks can make it do, and was not asked to go on; logged
// with its own line the first time. Or something else stopped it already.
bool StoppedByTheOutputLimit(DecompileRun& run);

}  // namespace zanthrel
